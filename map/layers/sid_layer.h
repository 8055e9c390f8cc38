// A MrSID image with a world file. Its decoder is not part of the program
// yet, so such an image does not open as a layer.
#pragma once

#include "map/layers/raster_layer.h"

class CSidLayer : public CRasterLayer {
public:
    CSidLayer();
    // False: MrSID images are not read yet.
    bool OpenDataset(const WString& path) override;
    void CloseDataset() override {}
    bool LoadViewImage(bool) override { return false; }
};
