// The GPS tracklog as a system layer of every map: a PointZ shapefile on
// WGS 1984 (x longitude, y latitude, z height, m the chosen measure) with
// the GPS fields in its table, drawn as a red line.
#pragma once

#include "formats/shape/shp_engine.h"
#include "include/zarnip/znex.h"
#include "map/layers/system_layer.h"
#include "map/services/gps.h"
#include "platform/gdi/owned.h"

class CTracklogLayer : public CSystemLayer {
public:
    // The table's fields, in the file's order.
    enum Field {
        kLatitude, kLongitude, kAltitude, kEasting, kNorthing, kUtcDate, kUtcTime, kSog, kCog,
        kMagVar, kSatsUsed, kHpe, kVpe, kEpe, kHdop, kVdop, kPdop, kQuality, kDiffAge, kDiffId,
        kDepth, kDepthOff, kWaterTemp, kFieldCount
    };
    struct FieldSpec {
        const WChar* name;
        char type;
        int width;
        int decimals;
    };
    static const FieldSpec kFields[kFieldCount];

    CTracklogLayer();
    ~CTracklogLayer() override;

    // Opens the tracklog file named by the preferences (read-write when
    // forWriting), creating it when it is missing. An existing file that
    // does not open is left alone: false. True at once when already open.
    virtual bool OpenFile(int forWriting);
    virtual void CloseFile();
    bool IsFileOpen() const { return m_shp != nullptr; }
    const WString& GetFilePath() const { return m_filePath; }
    // Creates an empty tracklog (shapefile, table and `.prj`) at the path of
    // the preferences, left open.
    bool CreateFile();
    // Closes, deletes the four files and creates an empty tracklog.
    bool DeleteFiles();
    static bool TracklogFileExists();
    // Points in the file (0 without a file); a closed file is opened for
    // this and closed again.
    int GetRecordCount();
    // The point of record `record` (from 0); zeros when closed or missing.
    bool ReadPoint(int record, double* x, double* y);
    // Appends one point (see the measure preference); false when nothing
    // was appended: no file, a repeated or not finite WGS 1984 fix, or a
    // write that failed.
    virtual bool AppendPosition(CCoordSys* mapCoordSys, const GpsFix& wgs84, const GpsFix& datum,
                                const GpsFix& projected, const GpsPosition& position);
    // The track itself: only the newest segment when newestOnly; polls for
    // a user abort between segments when pollAbort.
    virtual bool Draw(HDC dc, bool newestOnly, bool pollAbort);
    // As a layer of the list it draws nothing.
    bool Draw(HDC, HDC, double) override { return true; }
    // In degrees on WGS 1984: the file's bounds, else the whole world.
    void GetExtent(CDoubleRect& extent) override;

    // The M value of a point for a measure choice (0 PDOP ... 10 QUALITY,
    // others the time); kNoDataMeasure when the record has no such value.
    static double MeasureOf(int measure, const GpsPosition& position);
    // UTC seconds since 1970 of the record's date and time; 0 before 1900.
    static double TimeOf(const GpsPosition& position);

protected:
    ShpHandle m_shp = nullptr;
    WString m_filePath;
    int m_fieldIndex[kFieldCount];
    double m_lastFix[4];
    bool m_skipDuplicates = true;
    gdi::OwnedPen m_pen;

private:
    void ForgetLastFix();
    void FindFields();
    bool OpenExisting(bool forWriting);
};
