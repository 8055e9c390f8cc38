// The base of the image layers: the world file that places an image on the
// map, one cache bitmap holding the part of the image the view needs, the
// cache window recomputed when the view changes, and the stretch of the
// cached pixels into the view.
#pragma once

#include <string_view>

#include "map/layers/image_cache.h"
#include "map/layers/layer.h"

// The six numbers of a world file. Rotation terms are read and ignored.
struct WorldFile {
    double pixelWidth = 0;
    double pixelHeight = 0;  // positive: the file's line 4 negated
    double leftX = 0;        // outer corner of the upper-left pixel
    double topY = 0;
};

// False unless six lines each hold one number (a decimal point or comma)
// and the pixel width and height are finite and not zero.
bool ParseWorldFile(std::string_view text, WorldFile& out);

class CRasterLayer : public CLayer {
public:
    CRasterLayer();
    ~CRasterLayer() override;

    void OnViewChanged() override;
    bool Draw(HDC target, HDC second, double mapScale) override;
    void ReleaseImage() override { m_cache.Free(); }
    // First chance: true when the layer handled the whole view change.
    // Otherwise it fills the cache window computed by the base.
    virtual bool LoadViewImage(bool firstChance) = 0;

    const ImageCache& GetImageCache() const { return m_cache; }
    // The next view change decodes its window again.
    void DiscardCacheWindow() {
        m_cache.cacheZoom = -1;
        m_cache.cacheWindow = {-1, -1, -1, -1};
    }

protected:
    ImageCache& Cache() { return m_cache; }
    const ImageCache& Cache() const { return m_cache; }
    // False when the world file is missing or unusable.
    bool ReadWorldFile(const WString& imagePath);
    // The layer's extent from the world file and the image size; the cache
    // covers it.
    void ComputeExtent();

private:
    ImageCache m_cache;
};

// The display's larger side in pixels (the screen metrics).
int LargerScreenSide();
