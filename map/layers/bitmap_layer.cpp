#include "map/layers/bitmap_layer.h"

#include "formats/raster/image_loading.h"

CBitmapLayer::CBitmapLayer() { SetKind(LayerKind::Bitmap); }

bool CBitmapLayer::OpenDataset(const WString& path) {
    if (!ReadWorldFile(path)) return false;
    HBITMAP bitmap = LoadDibDevicePath(path);
    if (!bitmap) return false;
    BITMAP bm{};
    if (!GetObject(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) {
        DeleteObject(bitmap);
        return false;
    }
    Cache().Adopt(bitmap);
    Cache().fullyLoaded = true;
    Cache().imageWidth = Cache().fullImageWidth = bm.bmWidth;
    Cache().imageHeight = Cache().fullImageHeight = bm.bmHeight;
    ComputeExtent();
    return true;
}
