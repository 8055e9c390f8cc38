// Image files of any kind the program reads, as DIB sections chosen by the
// file's extension, a small bitmap owner, and icons made from bitmaps.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/text/text.h"

// A device path to a DIB section: ".jpg", ".jpeg" and ".jpe" through the
// JPEG reader, ".sid" at the MrSID image's coarsest level, anything else
// through the bitmap-file loader. Null on any failure.
HBITMAP LoadImageFile(WStringView path);
// A bitmap file read through the device file system.
HBITMAP LoadDibDevicePath(WStringView path);

// An owned bitmap handle.
class CImageBitmap {
public:
    CImageBitmap() = default;
    ~CImageBitmap();
    CImageBitmap(const CImageBitmap&) = delete;
    CImageBitmap& operator=(const CImageBitmap&) = delete;

    // Each deletes the current bitmap first, so a failed load leaves none.
    bool LoadFile(WStringView path);
    bool LoadDib(WStringView path);
    HBITMAP GetSafeHandle() const { return handle_.get(); }
    void DeleteObject();

private:
    gdi::OwnedBitmap handle_;
};

// An opaque icon (hot spot 0, 0) whose colour is the bitmap and whose mask,
// of the bitmap's own size, is all zero. The caller owns the icon and still
// owns the bitmap. Null for no bitmap.
HICON CreateIconFromBitmap(HBITMAP bitmap);
