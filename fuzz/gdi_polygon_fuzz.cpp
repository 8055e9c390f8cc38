// Drives the polygon filler and the pens with arbitrary coordinates (far
// outside the surface, degenerate, self-crossing), fill modes, pen widths,
// raster operations and clip regions. The rasteriser must neither read nor
// write outside its surface nor loop for long.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"

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

// Coordinates: mostly near the surface, sometimes anywhere in 32 bits.
int Coord(Reader& r) {
    uint8_t kind = r.Get<uint8_t>();
    if (kind < 200) return static_cast<int8_t>(r.Get<uint8_t>());
    return r.Get<int32_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HDC dc = nullptr;
    if (!dc) {
        dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, gdi::CreateSurface(61, 47));
    }
    Reader r{data, size};
    uint8_t flags = r.Get<uint8_t>();
    SetPolyFillMode(dc, (flags & 1) ? WINDING : ALTERNATE);
    SetROP2(dc, 1 + (r.Get<uint8_t>() % 16));
    gdi::OwnedPen pen(CreatePen(r.Get<uint8_t>() % 7, r.Get<uint8_t>() % 12, 0x123456));
    gdi::OwnedBrush brush(
        (flags & 2) ? CreateHatchBrush(r.Get<uint8_t>() % 6, 0x654321) : CreateSolidBrush(0xABCDEF));
    HPEN oldPen = SelectObject(dc, pen.get());
    HBRUSH oldBrush = SelectObject(dc, brush.get());
    if (flags & 4) {
        gdi::OwnedRegion a(CreateRectRgn(Coord(r), Coord(r), Coord(r), Coord(r)));
        gdi::OwnedRegion b(CreateRectRgn(Coord(r), Coord(r), Coord(r), Coord(r)));
        CombineRgn(a.get(), a.get(), b.get(), 1 + r.Get<uint8_t>() % 4);
        SelectClipRgn(dc, a.get());
    }
    std::vector<POINT> pts;
    std::vector<int> counts;
    int polys = 1 + r.Get<uint8_t>() % 4;
    for (int k = 0; k < polys && r.n; ++k) {
        int n = 2 + r.Get<uint8_t>() % 40;
        for (int i = 0; i < n; ++i) pts.push_back(POINT{Coord(r), Coord(r)});
        counts.push_back(n);
    }
    PolyPolygon(dc, pts.data(), counts.data(), static_cast<int>(counts.size()));
    Polyline(dc, pts.data(), static_cast<int>(pts.size()));
    if (pts.size() >= 2) {
        Ellipse(dc, pts[0].x, pts[0].y, pts[1].x, pts[1].y);
        Rectangle(dc, pts[0].x, pts[0].y, pts[1].x, pts[1].y);
        RoundRect(dc, pts[0].x, pts[0].y, pts[1].x, pts[1].y, pts[0].x & 31, pts[1].y & 31);
    }
    SelectClipRgn(dc, nullptr);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    return 0;
}
