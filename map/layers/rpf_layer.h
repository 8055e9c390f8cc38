// A CADRG/CIB frame: a window of the frame's 6 x 6 subframes, subsampled
// into a palette cache of the screen's size.
#pragma once

#include <vector>

#include "formats/raster/rpf_frame.h"
#include "map/layers/raster_layer.h"

class CRpfLayer : public CRasterLayer {
public:
    CRpfLayer();
    ~CRpfLayer() override;
    CCoordSys* GetCoordSys() override;
    void GetInfoText(WString& text) override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    bool LoadViewImage(bool firstChance) override;

    // 0: the frame's 216 colours in 8 bits; 1: 32 colours; 2: 16 colours
    // packed two pixels to a byte.
    int GetColourMode() const { return m_colourMode; }
    // Subframes read since the layer was made (tests follow decoding).
    int GetSubframeReads() const { return m_subframeReads; }

private:
    bool ReadSubframes(int firstColumn, int firstRow, int count);

    CRpfFrame m_frame;
    std::vector<uint8_t> m_subframe;
    int m_colourMode = 0;
    int m_paletteCount = 0;
    int m_subframeReads = 0;
    // The window loaded: first column, first row, side; -1 for none.
    int m_loadedColumn = -1;
    int m_loadedRow = -1;
    int m_loadedSide = -1;
};
