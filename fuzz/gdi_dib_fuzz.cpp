// Bitmap files from arbitrary bytes: the loader must refuse what does not fit
// and never read past the data; a loaded bitmap is drawn once.
#include <cstddef>
#include <cstdint>

#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HDC screen = nullptr;
    static HDC mem = nullptr;
    if (!screen) {
        screen = CreateCompatibleDC(nullptr);
        SelectObject(screen, gdi::CreateSurface(32, 24));
        mem = CreateCompatibleDC(nullptr);
    }
    gdi::OwnedBitmap bm(LoadDibFromMemory(data, size));
    if (!bm) return 0;
    HBITMAP old = SelectObject(mem, bm.get());
    BITMAP info;
    GetObject(bm.get(), sizeof info, &info);
    StretchBlt(screen, 0, 0, 32, 24, mem, -1, -1, info.bmWidth + 2, info.bmHeight + 2, SRCCOPY);
    SelectObject(mem, old);
    return 0;
}
