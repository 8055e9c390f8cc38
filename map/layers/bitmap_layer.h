// A Windows bitmap (.bmp, or a 2-bit .2bp) with a world file, loaded whole.
#pragma once

#include "map/layers/raster_layer.h"

class CBitmapLayer : public CRasterLayer {
public:
    CBitmapLayer();
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override {}
    bool LoadViewImage(bool) override { return false; }
};
