// A JPEG image with a world file: small images are decoded whole, larger
// ones window by window into a cache of the screen's size.
#pragma once

#include <vector>

#include "formats/raster/jpeg_reader.h"
#include "map/layers/raster_layer.h"

class CJpegLayer : public CRasterLayer {
public:
    CJpegLayer();
    ~CJpegLayer() override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    bool LoadViewImage(bool firstChance) override;

    // What was decoded since the layer was made (tests follow decoding):
    // whole-image decodes, and the source windows of window decodes.
    int GetWholeDecodes() const { return m_wholeDecodes; }
    const std::vector<RECT>& GetDecodedWindows() const { return m_decodedWindows; }

private:
    CJpegReader m_reader;
    int m_wholeDecodes = 0;
    std::vector<RECT> m_decodedWindows;
};
