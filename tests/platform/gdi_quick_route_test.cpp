// The quick drawing routes against the general ones: random scenes of
// polygons (rings, both fill modes, solid, hatched and pattern brushes, ROP2
// modes), polylines (thin, dashed with opaque and transparent gaps, wide),
// dashed rectangles and text, drawn once each way onto the same kinds of
// target, must leave the same bits and report the same written box; pattern
// fills of indexed and 24-bit sections and stretches from them likewise.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

constexpr int kW = 61, kH = 47;

enum class TargetKind { Memory, BottomUp, Clipped, Region, Window, Mirrored, Indexed };

// A drawing target of one kind with a busy background.
struct Target {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr, old = nullptr;
    void* bits = nullptr;
    bool window = false;
    int stride = 0;

    explicit Target(TargetKind kind) {
        switch (kind) {
            case TargetKind::BottomUp:
            case TargetKind::Indexed: {
                struct {
                    BITMAPINFOHEADER h;
                    RGBQUAD colours[256];
                } info{};
                info.h.biWidth = kW;
                info.h.biHeight = kind == TargetKind::BottomUp ? kH : -kH;
                info.h.biBitCount = kind == TargetKind::BottomUp ? 32 : 8;
                for (int i = 0; i < 256; ++i)
                    info.colours[i] = RGBQUAD{BYTE(i * 37), BYTE(i * 11), BYTE(i * 5), 0};
                info.h.biClrUsed = kind == TargetKind::Indexed ? 256 : 0;
                bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), 0, &bits,
                                          nullptr, 0);
                stride = DibStride(info.h.biBitCount, kW);
                dc = CreateCompatibleDC(nullptr);
                old = SelectObject(dc, bitmap);
                break;
            }
            case TargetKind::Window:
            case TargetKind::Mirrored: {
                bitmap = gdi::CreateSurface(kW, kH);
                RECT view{3, 2, kW - 4, kH - 5};
                dc = gdi::CreateSurfaceDC(bitmap, POINT{3, 2}, &view);
                if (kind == TargetKind::Mirrored) gdi::SetSurfaceMirror(dc, kW - 7);
                window = true;
                break;
            }
            default:
                bitmap = gdi::CreateSurface(kW, kH);
                dc = CreateCompatibleDC(nullptr);
                old = SelectObject(dc, bitmap);
                break;
        }
        if (!bits) {
            int w, h;
            bits = gdi::SurfacePixels(bitmap, &w, &h, &stride);
        }
        // Every byte set, the unused top byte of 32-bit pixels included.
        auto* b = static_cast<uint8_t*>(bits);
        for (int i = 0; i < stride * kH; ++i) b[i] = uint8_t(i * 7 + (i >> 5) * 13);
        if (window) gdi::TakeSurfaceDirty(dc, nullptr);
        if (kind == TargetKind::Clipped) IntersectClipRect(dc, 5, 4, kW - 9, kH - 6);
        if (kind == TargetKind::Region) {
            HRGN a = CreateRectRgn(2, 3, 30, 40), b2 = CreateRectRgn(20, 10, 58, 30);
            CombineRgn(a, a, b2, RGN_OR);
            SelectClipRgn(dc, a);
            DeleteObject(a);
            DeleteObject(b2);
        }
    }
    ~Target() {
        if (old) SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    std::vector<uint8_t> Bytes() const {
        auto* b = static_cast<const uint8_t*>(bits);
        return std::vector<uint8_t>(b, b + stride * kH);
    }
};

struct Scene {
    std::vector<uint8_t> bytes;
    std::vector<RECT> dirty;  // written boxes of a window target, figure by figure
};

const int kRops[] = {R2_COPYPEN, R2_COPYPEN, R2_COPYPEN, R2_XORPEN,   R2_NOT,
                     R2_MASKNOTPEN, R2_MERGEPEN, R2_NOP, R2_NOTCOPYPEN, R2_MASKPEN};
const int kPenStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL};

// Draws the scene of one seed; the same seed always draws the same figures.
Scene Draw(TargetKind kind, unsigned seed) {
    Target t(kind);
    std::mt19937 rng(seed);
    auto num = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto colour = [&] { return COLORREF(rng() & 0xFFFFFF); };
    auto coord = [&](int size) {
        switch (num(0, 19)) {
            case 0:
                return num(0, 1) ? num(INT_MAX / 4, INT_MAX / 2) : num(INT_MIN / 2, INT_MIN / 4);
            case 1:
                return num(-(1 << 29) - 50, -(1 << 29) + 50);
            case 2:
                return num(-400, size + 400);
            default:
                return num(-15, size + 15);
        }
    };
    Scene out;
    HBITMAP patternBits = nullptr;
    {
        uint8_t rows[16];
        for (uint8_t& r : rows) r = uint8_t(rng());
        patternBits = CreateBitmap(8, 8, 1, 1, rows);
    }
    SetViewportOrgEx(t.dc, num(-3, 3), num(-3, 3), nullptr);
    HFONT font = nullptr;
    {
        LOGFONT lf;
        lf.lfHeight = -num(8, 14);
        lf.lfQuality = num(0, 1) ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
        lf.lfEscapement = lf.lfOrientation = num(0, 2) ? 0 : 450;
        const char16_t face[] = u"DejaVu Sans";
        std::memcpy(lf.lfFaceName, face, sizeof face);
        font = CreateFontIndirect(&lf);
    }
    HFONT oldFont = SelectObject(t.dc, font);
    for (int figure = 0; figure < 24; ++figure) {
        SetROP2(t.dc, kRops[num(0, int(std::size(kRops)) - 1)]);
        SetBkMode(t.dc, num(0, 1) ? OPAQUE : TRANSPARENT);
        SetBkColor(t.dc, colour());
        SetTextColor(t.dc, colour());
        SetBrushOrgEx(t.dc, num(-5, 5), num(-5, 5), nullptr);
        SetPolyFillMode(t.dc, num(0, 1) ? WINDING : ALTERNATE);
        int style = kPenStyles[num(0, int(std::size(kPenStyles)) - 1)];
        int width = num(0, 3) ? num(0, 1) : num(2, 7);
        HPEN pen = CreatePen(style, width, colour());
        HBRUSH brush;
        switch (num(0, 4)) {
            case 0:
                brush = CreateHatchBrush(num(0, 5), colour());
                break;
            case 1:
                brush = CreatePatternBrush(patternBits);
                break;
            case 2:
                brush = reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
                break;
            default:
                brush = CreateSolidBrush(colour());
                break;
        }
        HPEN oldPen = SelectObject(t.dc, pen);
        HBRUSH oldBrush = SelectObject(t.dc, brush);
        std::vector<POINT> pts;
        std::vector<int> counts;
        switch (num(0, 5)) {
            case 0:
            case 1: {
                int rings = num(0, 2) ? 1 : num(2, 3);
                for (int r = 0; r < rings; ++r) {
                    int n = num(3, 12);
                    counts.push_back(n);
                    for (int i = 0; i < n; ++i) pts.push_back(POINT{coord(kW), coord(kH)});
                }
                PolyPolygon(t.dc, pts.data(), counts.data(), rings);
                break;
            }
            case 2: {
                // A small star, as map layers draw by the thousand.
                int n = num(5, 14), cx = num(-4, kW + 4), cy = num(-4, kH + 4), r = num(1, 9);
                for (int i = 0; i < n; ++i) {
                    double a = 6.2831853 * i / n, rr = (i & 1) ? r * 0.6 : r;
                    pts.push_back(POINT{cx + int(rr * std::cos(a)), cy + int(rr * std::sin(a))});
                }
                Polygon(t.dc, pts.data(), n);
                break;
            }
            case 3: {
                int n = num(2, 10);
                for (int i = 0; i < n; ++i) pts.push_back(POINT{coord(kW), coord(kH)});
                Polyline(t.dc, pts.data(), n);
                break;
            }
            case 4: {
                MoveToEx(t.dc, coord(kW), coord(kH), nullptr);
                for (int i = num(1, 4); i > 0; --i) LineTo(t.dc, coord(kW), coord(kH));
                Rectangle(t.dc, coord(kW), coord(kH), coord(kW), coord(kH));
                break;
            }
            default: {
                const char16_t* words[] = {u"Main 12", u"P4711", u"Gas", u"Wg"};
                const char16_t* w = words[num(0, 3)];
                int n = int(std::char_traits<char16_t>::length(w));
                if (num(0, 1)) {
                    ExtTextOut(t.dc, num(-10, kW), num(-10, kH), 0, nullptr, w, UINT(n), nullptr);
                } else {
                    RECT r{num(-10, kW / 2), num(-10, kH / 2), num(kW / 2, kW + 10),
                           num(kH / 2, kH + 10)};
                    DrawText(t.dc, w, n, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
                }
                break;
            }
        }
        SelectObject(t.dc, oldPen);
        SelectObject(t.dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        if (t.window) {
            RECT d{};
            gdi::TakeSurfaceDirty(t.dc, &d);
            out.dirty.push_back(d);
        }
    }
    SelectObject(t.dc, oldFont);
    DeleteObject(font);
    DeleteObject(patternBits);
    out.bytes = t.Bytes();
    return out;
}

TEST(GdiQuickRoutes, SameBitsAsTheGeneralRoute) {
    const struct {
        TargetKind kind;
        const char* name;
    } kinds[] = {{TargetKind::Memory, "memory"},   {TargetKind::BottomUp, "bottom-up"},
                 {TargetKind::Clipped, "clipped"}, {TargetKind::Region, "region"},
                 {TargetKind::Window, "window"},   {TargetKind::Mirrored, "mirrored"},
                 {TargetKind::Indexed, "indexed"}};
    Draw(TargetKind::Memory, 0);  // stock objects made once
    int live = gdi::LiveObjectCount();
    for (const auto& k : kinds) {
        for (unsigned seed = 1; seed <= 60; ++seed) {
            gdi::SetQuickDrawing(true);
            Scene quick = Draw(k.kind, seed);
            gdi::SetQuickDrawing(false);
            Scene general = Draw(k.kind, seed);
            gdi::SetQuickDrawing(true);
            ASSERT_EQ(quick.bytes, general.bytes) << k.name << " scene " << seed;
            ASSERT_EQ(quick.dirty.size(), general.dirty.size());
            for (size_t i = 0; i < quick.dirty.size(); ++i)
                ASSERT_TRUE(EqualRect(&quick.dirty[i], &general.dirty[i]))
                    << k.name << " scene " << seed << " figure " << i;
        }
    }
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

// Pattern fills of 4-, 8- and 24-bit sections, wider than the pieces the
// quick route copies, with odd sizes, brush and viewport origins, clips and
// ROP2 modes: the same bytes both ways.
std::vector<uint8_t> PatternScene(int bpp, bool bottomUp, unsigned seed) {
    constexpr int w = 613, h = 29;
    std::mt19937 rng(seed);
    auto num = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto colour = [&] { return COLORREF(rng() & 0xFFFFFF); };
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } info{};
    info.h.biWidth = w;
    info.h.biHeight = bottomUp ? h : -h;
    info.h.biBitCount = WORD(bpp);
    for (RGBQUAD& c : info.colours) c = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
    info.colours[0] = RGBQUAD{0, 0, 0, 0};
    info.colours[1] = RGBQUAD{255, 255, 255, 0};
    void* bits = nullptr;
    HBITMAP dib =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), 0, &bits, nullptr, 0);
    const int stride = DibStride(bpp, w);
    auto* b = static_cast<uint8_t*>(bits);
    for (int i = 0; i < stride * h; ++i) b[i] = uint8_t(i * 7 + (i >> 5) * 13);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(dc, dib);
    switch (num(0, 2)) {
        case 1:
            IntersectClipRect(dc, num(-5, 40), num(-3, 5), num(300, w + 5), num(20, h + 3));
            break;
        case 2: {
            HRGN a = CreateRectRgn(num(0, 100), 2, num(200, 400), 20);
            HRGN c = CreateRectRgn(num(150, 300), 9, num(450, 620), 27);
            CombineRgn(a, a, c, RGN_OR);
            SelectClipRgn(dc, a);
            DeleteObject(a);
            DeleteObject(c);
            break;
        }
    }
    SetViewportOrgEx(dc, num(-9, 9), num(-9, 9), nullptr);
    for (int figure = 0; figure < 12; ++figure) {
        SetBkMode(dc, num(0, 1) ? OPAQUE : TRANSPARENT);
        // Black and white, as raster caches are cleared, or any colours.
        const bool plain = num(0, 1);
        SetTextColor(dc, plain ? RGB(0, 0, 0) : colour());
        SetBkColor(dc, plain ? RGB(255, 255, 255) : colour());
        SetBrushOrgEx(dc, num(-11, 11), num(-11, 11), nullptr);
        HBITMAP pattern = nullptr;
        HBRUSH brush;
        switch (num(0, 3)) {
            case 0: {
                uint8_t rows[16];
                for (uint8_t& r : rows) r = uint8_t(rng());
                pattern = CreateBitmap(8, 8, 1, 1, rows);
                brush = CreatePatternBrush(pattern);
                break;
            }
            case 1: {
                // Colour patterns of any size, some wider than a copied piece.
                const int pw = num(0, 3) ? num(1, 13) : num(250, 300), ph = num(1, 5);
                std::vector<uint32_t> px(size_t(pw) * ph);
                for (uint32_t& v : px) v = num(0, 2) ? uint32_t(rng() & 0xFFFFFF) : 0xFFFFFF;
                pattern = CreateBitmap(pw, ph, 1, 32, px.data());
                brush = CreatePatternBrush(pattern);
                break;
            }
            case 2:
                brush = CreateHatchBrush(num(0, 5), colour());
                break;
            default:
                brush = CreateSolidBrush(colour());
                break;
        }
        RECT r{num(-20, w), num(-8, h), 0, 0};
        r.right = r.left + (num(0, 3) ? num(1, w + 20) : num(1, 9));
        r.bottom = r.top + num(1, h + 8);
        if (num(0, 2)) {
            FillRect(dc, &r, brush);
        } else {
            SetROP2(dc, kRops[num(0, int(std::size(kRops)) - 1)]);
            HPEN oldPen = SelectObject(dc, reinterpret_cast<HPEN>(GetStockObject(NULL_PEN)));
            HBRUSH oldBrush = SelectObject(dc, brush);
            if (num(0, 1))
                Rectangle(dc, r.left, r.top, r.right, r.bottom);
            else
                Ellipse(dc, r.left, r.top, r.right, r.bottom);
            SelectObject(dc, oldPen);
            SelectObject(dc, oldBrush);
        }
        DeleteObject(brush);
        if (pattern) DeleteObject(pattern);
    }
    std::vector<uint8_t> out(b, b + stride * h);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
    return out;
}

TEST(GdiQuickRoutes, PatternFillsOfIndexedAndRgbSections) {
    PatternScene(8, false, 0);  // stock objects made once
    int live = gdi::LiveObjectCount();
    for (int bpp : {4, 8, 24})
        for (bool bottomUp : {false, true})
            for (unsigned seed = 1; seed <= 40; ++seed) {
                gdi::SetQuickDrawing(true);
                std::vector<uint8_t> quick = PatternScene(bpp, bottomUp, seed);
                gdi::SetQuickDrawing(false);
                std::vector<uint8_t> general = PatternScene(bpp, bottomUp, seed);
                gdi::SetQuickDrawing(true);
                ASSERT_EQ(quick, general)
                    << bpp << " bits, bottom-up " << bottomUp << ", scene " << seed;
            }
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

// Plain copies and stretches of 4-, 8- and 24-bit sections (short colour
// tables too) onto a 32-bit surface, flipped, reaching past the source,
// clipped by a region: the same bytes both ways.
std::vector<uint8_t> StretchScene(int bpp, bool bottomUp, unsigned seed) {
    std::mt19937 rng(seed);
    auto num = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int sw = num(1, 40), sh = num(1, 30);
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } info{};
    info.h.biWidth = sw;
    info.h.biHeight = bottomUp ? sh : -sh;
    info.h.biBitCount = WORD(bpp);
    info.h.biClrUsed = bpp <= 8 && num(0, 1) ? DWORD(num(1, 1 << bpp)) : 0;
    for (RGBQUAD& c : info.colours) c = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
    void* sbits = nullptr;
    HBITMAP dib =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), 0, &sbits, nullptr, 0);
    auto* sb = static_cast<uint8_t*>(sbits);
    for (int i = 0; i < DibStride(bpp, sw) * sh; ++i) sb[i] = uint8_t(rng());
    HDC src = CreateCompatibleDC(nullptr);
    HBITMAP oldSrc = SelectObject(src, dib);
    Target t(num(0, 1) ? TargetKind::Region : TargetKind::BottomUp);
    for (int i = 0; i < 6; ++i) {
        const int x = num(-20, kW), y = num(-20, kH), w = num(-kW, kW), h = num(-kH, kH);
        const int sx = num(-5, sw), sy = num(-5, sh), ssw = num(-sw - 5, sw + 5),
                  ssh = num(-sh - 5, sh + 5);
        if (i % 3 == 0)
            BitBlt(t.dc, x, y, w, h, src, sx, sy, SRCCOPY);
        else
            StretchBlt(t.dc, x, y, w, h, src, sx, sy, ssw, ssh, SRCCOPY);
    }
    SelectObject(src, oldSrc);
    DeleteDC(src);
    DeleteObject(dib);
    return t.Bytes();
}

TEST(GdiQuickRoutes, StretchesOfIndexedAndRgbSections) {
    StretchScene(8, false, 0);  // stock objects made once
    int live = gdi::LiveObjectCount();
    for (int bpp : {4, 8, 24})
        for (bool bottomUp : {false, true})
            for (unsigned seed = 1; seed <= 40; ++seed) {
                gdi::SetQuickDrawing(true);
                std::vector<uint8_t> quick = StretchScene(bpp, bottomUp, seed);
                gdi::SetQuickDrawing(false);
                std::vector<uint8_t> general = StretchScene(bpp, bottomUp, seed);
                gdi::SetQuickDrawing(true);
                ASSERT_EQ(quick, general)
                    << bpp << " bits, bottom-up " << bottomUp << ", scene " << seed;
            }
    EXPECT_EQ(gdi::LiveObjectCount(), live);
}

}  // namespace
