// Drives the text path with arbitrary UTF-16 (labels and field values come
// from documents and tables): bidirectional order, shaping, fallback faces,
// tabs, prefixes and word breaking, through plain and mirrored DCs. Extents
// must agree with what is drawn and nothing may be read or written outside
// the surface.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    template <class T>
    T Get() {
        T v{};
        size_t k = n < sizeof v ? n : sizeof v;
        std::memcpy(&v, p, k);
        p += k;
        n -= k;
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HBITMAP surface = gdi::CreateSurface(97, 41);
    static HFONT fonts[2] = {nullptr, nullptr};
    if (!fonts[0]) {
        LOGFONT lf;
        lf.lfHeight = -13;
        const char16_t face[] = u"Tahoma";
        std::memcpy(lf.lfFaceName, face, sizeof face);
        fonts[0] = CreateFontIndirect(&lf);
        lf.lfHeight = -9;
        lf.lfEscapement = 450;
        lf.lfWeight = 700;
        fonts[1] = CreateFontIndirect(&lf);
    }
    Reader r{data, size};
    uint8_t flags = r.Get<uint8_t>();
    RECT view{5, 3, 90, 40};
    HDC dc = gdi::CreateSurfaceDC(surface, POINT{5, 3}, &view);
    if (flags & 1) gdi::SetSurfaceMirror(dc, 85);
    HFONT old = SelectObject(dc, fonts[(flags >> 1) & 1]);
    SetBkMode(dc, (flags & 4) ? OPAQUE : TRANSPARENT);
    SetTextAlign(dc, (flags & 8) ? TA_RTLREADING : 0);
    int x = static_cast<int8_t>(r.Get<uint8_t>());
    std::vector<WChar> text;
    while (r.n >= 2 && text.size() < 200) text.push_back(r.Get<uint16_t>());
    int n = static_cast<int>(text.size());
    UINT eto = (flags & 16) ? ETO_RTLREADING : 0;

    SIZE size16{};
    std::vector<int> partial(static_cast<size_t>(n) + 1);
    int fit = 0;
    GetTextExtentExPoint(dc, text.data(), n, 40, &fit, partial.data(), &size16);
    if (n > 0 && partial[static_cast<size_t>(n - 1)] != size16.cx) std::abort();
    std::vector<gdi::TextUnitPlace> places(static_cast<size_t>(n) + 1);
    gdi::GetTextUnitPlaces(dc, text.data(), n, eto, places.data());
    for (int i = 0; i < n; ++i)
        if (places[i].left > places[i].right || places[i].left < 0) std::abort();

    ExtTextOut(dc, x, 2, eto | ((flags & 32) ? ETO_CLIPPED : 0), &view, text.data(),
               static_cast<UINT>(n), nullptr);
    std::vector<int> dx(static_cast<size_t>(n) + 1, 3);
    ExtTextOut(dc, x, 12, eto, nullptr, text.data(), static_cast<UINT>(n), dx.data());
    RECT box{x, 0, x + 60, 38};
    UINT dt = DT_WORDBREAK | DT_EXPANDTABS | ((flags & 64) ? DT_RTLREADING : 0) |
              ((flags & 128) ? DT_CENTER : DT_RIGHT);
    DrawText(dc, text.data(), n, &box, dt);
    RECT calc = box;
    DrawText(dc, text.data(), n, &calc, dt | DT_CALCRECT);
    const int stops[] = {7, 19, 23};
    TabbedTextOut(dc, x, 20, text.data(), n, flags % 4, stops, x / 2);

    SelectObject(dc, old);
    DeleteDC(dc);
    return 0;
}
