// The GPS tracklog as a system layer of every map. The tracklog file (a
// point shapefile with the GPS fields) is written by the GPS subsystem;
// until it is built, OpenFile answers false and the track draws nothing.
#pragma once

#include "include/zarnip/znex.h"
#include "map/layers/system_layer.h"
#include "map/services/gps.h"

class CTracklogLayer : public CSystemLayer {
public:
    CTracklogLayer();
    ~CTracklogLayer() override;

    // Opens (or creates) the tracklog file named by the preferences.
    virtual bool OpenFile(int reserved);
    virtual void CloseFile();
    bool IsFileOpen() const { return m_fileOpen; }
    const WString& GetFilePath() const { return m_filePath; }
    // Appends one point; false when no file is open.
    virtual bool AppendPosition(CCoordSys* mapCoordSys, const GpsFix& wgs84, const GpsFix& datum,
                                const GpsFix& projected, const GpsPosition& position);
    // The track itself: only the newest segment when incremental, all of it
    // when full.
    virtual bool Draw(HDC dc, bool incremental, bool full);
    // As a layer of the list it draws nothing.
    bool Draw(HDC, HDC, double) override { return true; }
    void GetExtent(CDoubleRect& extent) override;

protected:
    bool m_fileOpen = false;
    WString m_filePath;
};
