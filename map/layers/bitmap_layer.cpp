#include "map/layers/bitmap_layer.h"

#include "formats/raster/image_loading.h"

CBitmapLayer::CBitmapLayer() { m_kind = kLayerBitmap; }

bool CBitmapLayer::OpenDataset(const WString& path) {
    if (!ReadWorldFile(path)) return false;
    HBITMAP bitmap = LoadDibDevicePath(path);
    if (!bitmap) return false;
    BITMAP bm{};
    if (!GetObject(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) {
        DeleteObject(bitmap);
        return false;
    }
    FreeCacheBitmap();
    m_imageBitmap = bitmap;
    m_imageFullyLoaded = true;
    m_imageWidth = m_fullImageWidth = bm.bmWidth;
    m_imageHeight = m_fullImageHeight = bm.bmHeight;
    m_category = 1;
    m_displayClass = 4;
    m_kind = kLayerBitmap;
    ComputeExtent();
    return true;
}
