#include "map/layers/bitmap_layer.h"

#include "formats/raster/image_loading.h"

CBitmapLayer::CBitmapLayer() { SetKind(LayerKind::Bitmap); }

bool CBitmapLayer::OpenDataset(const WString& path) {
    if (!ReadWorldFile(path)) return false;
    gdi::OwnedBitmap bitmap(LoadDibDevicePath(path));
    if (!bitmap) return false;
    BITMAP bm{};
    if (!GetObject(bitmap.get(), sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
    Cache().Adopt(std::move(bitmap));
    Cache().fullyLoaded = true;
    Cache().imageWidth = Cache().fullImageWidth = bm.bmWidth;
    Cache().imageHeight = Cache().fullImageHeight = bm.bmHeight;
    ComputeExtent();
    return true;
}
