#include "formats/raster/image_loading.h"

#include <string>
#include <vector>

#include "core/path.h"
#include "formats/raster/jpeg_reader.h"
#include "formats/sid/sid_reader.h"
#include "platform/fs/fs.h"

HBITMAP LoadDibDevicePath(WStringView path) {
    std::string bytes;
    if (!fs::ReadWholeFile(path, &bytes)) return nullptr;
    return LoadDibFromMemory(bytes.data(), bytes.size());
}

HBITMAP LoadImageFile(WStringView path) {
    const WString ext = CPath(WString(path)).GetExtension(false);
    // ".jpe" is a JPEG name too; the bitmap loader could only refuse it.
    if (text::EqualsNoCase(ext, u"jpg") || text::EqualsNoCase(ext, u"jpeg") || text::EqualsNoCase(ext, u"jpe"))
        return LoadJpegBitmap(path);
    // A MrSID image at its coarsest level.
    if (text::EqualsNoCase(ext, u"sid")) return SidLoadBitmap(path, 0, 0);
    return LoadDibDevicePath(path);
}

CImageBitmap::~CImageBitmap() {
    DeleteObject();
}

void CImageBitmap::DeleteObject() {
    handle_.reset();
}

bool CImageBitmap::LoadFile(WStringView path) {
    DeleteObject();
    handle_.reset(LoadImageFile(path));
    return handle_.get() != nullptr;
}

bool CImageBitmap::LoadDib(WStringView path) {
    DeleteObject();
    handle_.reset(LoadDibDevicePath(path));
    return handle_.get() != nullptr;
}

HICON CreateIconFromBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || GetObject(bitmap, sizeof bm, &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0) return nullptr;
    // An all-zero mask as large as the bitmap: every pixel opaque.
    const std::vector<uint8_t> zeros(static_cast<size_t>(((bm.bmWidth + 15) / 16) * 2) * bm.bmHeight, 0);
    gdi::OwnedBitmap mask(CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, zeros.data()));
    if (!mask) return nullptr;
    ICONINFO info;
    info.fIcon = TRUE;
    info.hbmMask = mask.get();
    info.hbmColor = bitmap;
    return CreateIconIndirect(&info);
}
