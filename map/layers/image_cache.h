// The image of an image layer as the view needs it: one bitmap holding a
// window of the image (or all of it), where that window lies in the image
// and on the map, and the one routine that copies the cached pixels into
// the view. Raster layers and internet layers each own one.
#pragma once

#include <cstdint>

#include "core/double_rect.h"
#include "core/text_helpers.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/types.h"

class CLayer;

class ImageCache {
public:
    ImageCache() = default;
    ~ImageCache() { Free(); }
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    // ---- the bitmap ----
    HBITMAP GetBitmap() const { return m_bitmap.get(); }
    // The pixels of a bitmap made by Create (null for an adopted one).
    void* GetBits() const { return m_bits; }
    int32_t GetStride() const { return m_stride; }
    // A bottom-up DIB section: 8 bits with `paletteCount` entries (the
    // given palette, else a grey ramp, overlaid by the palette file) when
    // the count is above 0, else 24 bits. It is cleared to the hatch.
    bool Create(int width, int height, int paletteCount, const RGBQUAD* palette,
                const WString* paletteFile, int bitsPerPixel = 0);
    // Takes a bitmap decoded elsewhere (a whole image).
    void Adopt(gdi::OwnedBitmap bitmap);
    // Fills the bitmap with the diagonal hatch of uncovered parts.
    void Clear();
    void Free();

    // Copies the cached pixels that fall in the layer's draw extent into the
    // target, stretched by the layer's draw transform. With `clipToBitmap`
    // only what the bitmap covers is drawn (the cache extent may run past
    // it). False when nothing is drawn.
    bool Draw(HDC target, const CLayer& layer, bool clipToBitmap) const;

    // ---- where the image lies ----
    void MapToImagePixel(double x, double y, double* px, double* py) const;
    void ImagePixelToMap(double px, double py, double* x, double* y) const;
    void MapToCachePixel(double x, double y, int* px, int* py) const;

    // The bitmap's pixels: their count, size on the map and the outer
    // corner of the upper-left one.
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    double pixelWidth = 0;
    double pixelHeight = 0;
    double leftX = 0;
    double topY = 0;
    // The whole image, as its world file places it.
    int32_t fullImageWidth = 0;
    int32_t fullImageHeight = 0;
    double worldPixelWidth = 0;
    double worldPixelHeight = 0;
    double worldLeftX = 0;
    double worldTopY = 0;
    // The image pixels the cache holds (inclusive), its size, its zoom
    // (negative: decode again on the next view change), the tile factor
    // of its size and the two marks.
    RECT cacheWindow = {-1, -1, -1, -1};
    int32_t cacheWidth = 0;
    int32_t cacheHeight = 0;
    double cacheZoom = 0;
    int32_t tileFactor = 0;
    int32_t mark1 = 0;
    int32_t mark2 = 0;
    // The whole image is in the bitmap: view changes decode nothing.
    bool fullyLoaded = false;
    // The map extent the cache covers, and the visible part of the image.
    CDoubleRect cacheExtent;
    CDoubleRect visibleExtent;

private:
    gdi::OwnedBitmap m_bitmap;
    void* m_bits = nullptr;
    int32_t m_stride = 0;
};

// Overlays a palette file ("index red green blue" lines, "#" comments) on
// a colour table of 256 entries. False when the file cannot be read.
bool ReadPaletteFile(const WString& path, RGBQUAD palette[256]);

// A pixel coordinate from a map computation: truncated, non-finite values 0,
// kept within a billion either way.
int TruncPixel(double v);
