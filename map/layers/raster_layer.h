// The base of the image layers: the world file that places an image on the
// map, one cache bitmap holding the part of the image the view needs, the
// cache window recomputed when the view changes, and the stretch of the
// cached pixels into the view.
#pragma once

#include <string_view>

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

// Overlays a palette file ("index red green blue" lines, "#" comments) on
// a colour table of 256 entries. False when the file cannot be read.
bool ReadPaletteFile(const WString& path, RGBQUAD palette[256]);

class CRasterLayer : public CLayer {
public:
    CRasterLayer();
    ~CRasterLayer() override;

    void OnViewChanged() override;
    bool Draw(HDC target, HDC second, double mapScale) override;
    // First chance: true when the layer handled the whole view change.
    // Otherwise it fills the cache window computed by the base.
    virtual bool LoadViewImage(bool firstChance) = 0;

    // False when the world file is missing or unusable.
    bool ReadWorldFile(const WString& imagePath);
    void ComputeExtent();
    // A bottom-up DIB section: 8 bits with `paletteCount` entries (the
    // given palette, else a grey ramp, overlaid by the palette file) when
    // the count is above 0, else 24 bits. It is cleared.
    bool CreateCacheBitmap(int width, int height, int paletteCount, const RGBQUAD* palette,
                           const WString* paletteFile, int bitsPerPixel = 0);
    // Fills the cache with the diagonal hatch of uncovered parts.
    void ClearCacheBitmap();
    void FreeCacheBitmap();

    void MapToImagePixel(double x, double y, double* px, double* py) const;
    void ImagePixelToMap(double px, double py, double* x, double* y) const;
    void MapToCachePixel(double x, double y, int* px, int* py) const;
};

// The display's larger side in pixels (the screen metrics).
int LargerScreenSide();

// Registers the bitmap, JPEG, CADRG/CIB and MrSID layer classes.
void RegisterRasterLayerClasses();
