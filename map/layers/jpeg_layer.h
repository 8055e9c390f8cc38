// A JPEG image with a world file: small images are decoded whole, larger
// ones window by window into a cache of the screen's size.
#pragma once

#include "formats/raster/jpeg_reader.h"
#include "map/layers/raster_layer.h"

class CJpegLayer : public CRasterLayer {
public:
    CJpegLayer();
    ~CJpegLayer() override;
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override;
    bool LoadViewImage(bool firstChance) override;

private:
    CJpegReader m_reader;
};
