// Bitmaps and blits: indexed DIB sections (bottom-up and top-down) stretched
// by nearest neighbour with source rectangles reaching past the bitmap,
// monochrome conversions, raster operations, bitmap files and ScrollDC.
#include <cstring>

#include "tests/platform/gdi_picture.h"

using namespace gditest;

namespace {

// A DIB section with a 4-colour palette: 0 white, 1 red, 2 blue, 3 green.
struct Dib {
    HBITMAP bm = nullptr;
    uint8_t* bits = nullptr;
    int stride = 0;
    Dib(int bpp, int w, int h) {
        std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
        info->bmiHeader = BITMAPINFOHEADER{};
        info->bmiHeader.biWidth = w;
        info->bmiHeader.biHeight = h;  // negative: top-down
        info->bmiHeader.biBitCount = static_cast<WORD>(bpp);
        info->bmiHeader.biClrUsed = 4;
        const RGBQUAD pal[4] = {{255, 255, 255, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}};
        std::memcpy(info->bmiColors, pal, sizeof pal);
        void* p = nullptr;
        bm = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        stride = DibStride(bpp, w);
    }
    ~Dib() { DeleteObject(bm); }
};

// Rows of palette indexes, top row first, written through the bits pointer.
void Fill(Dib& d, int bpp, int h, bool bottomUp, const std::vector<std::string>& rows) {
    for (int y = 0; y < h; ++y) {
        uint8_t* row = d.bits + (bottomUp ? h - 1 - y : y) * d.stride;
        for (size_t x = 0; x < rows[y].size(); ++x) {
            int v = rows[y][x] - '0';
            if (bpp == 8) {
                row[x] = static_cast<uint8_t>(v);
            } else {
                int sh = (x & 1) ? 0 : 4;
                row[x / 2] = static_cast<uint8_t>(row[x / 2] | (v << sh));
            }
        }
    }
}

TEST(GdiBlits, IndexedDibsStretchWithClippedSourceRectangles) {
    const std::vector<std::string> src = {"0123", "1230", "2301", "3012"};
    struct Case {
        const char* name;
        int bpp;
        bool bottomUp;
        int sx, sy, sw, sh;
        std::vector<std::string> expected;
    } cases[] = {
        {"8-bit bottom-up, whole, x2",
         8,
         true,
         0,
         0,
         4,
         4,
         {"..rrbbgg", "..rrbbgg", "rrbbgg..", "rrbbgg..", "bbgg..rr", "bbgg..rr", "gg..rrbb",
          "gg..rrbb"}},
        {"4-bit top-down, whole, x2",
         4,
         false,
         0,
         0,
         4,
         4,
         {"..rrbbgg", "..rrbbgg", "rrbbgg..", "rrbbgg..", "bbgg..rr", "bbgg..rr", "gg..rrbb",
          "gg..rrbb"}},
        // Source rectangles reaching past the bitmap keep their scale; the
        // destination pixels they do not cover stay as they were (yellow).
        {"8-bit, past the right and bottom",
         8,
         true,
         2,
         2,
         4,
         4,
         {"..rryyyy", "..rryyyy", "rrbbyyyy", "rrbbyyyy", "yyyyyyyy", "yyyyyyyy", "yyyyyyyy",
          "yyyyyyyy"}},
        {"4-bit, before the left and top",
         4,
         true,
         -2,
         -2,
         4,
         4,
         {"yyyyyyyy", "yyyyyyyy", "yyyyyyyy", "yyyyyyyy", "yyyy..rr", "yyyy..rr", "yyyyrrbb",
          "yyyyrrbb"}},
        {"8-bit, shrunk 4 to 2, centre samples",
         8,
         false,
         0,
         0,
         4,
         4,
         {"b.yyyyyy", ".byyyyyy", "yyyyyyyy", "yyyyyyyy", "yyyyyyyy", "yyyyyyyy", "yyyyyyyy",
          "yyyyyyyy"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Dib d(k.bpp, 4, k.bottomUp ? 4 : -4);
        ASSERT_NE(d.bm, nullptr);
        Fill(d, k.bpp, 4, k.bottomUp, src);
        HDC mem = CreateCompatibleDC(nullptr);
        HBITMAP old = SelectObject(mem, d.bm);
        Canvas c(8, 8, kYellow);
        bool shrink = std::string(k.name).find("shrunk") != std::string::npos;
        StretchBlt(c.dc, 0, 0, shrink ? 2 : 8, shrink ? 2 : 8, mem, k.sx, k.sy, k.sw, k.sh,
                   SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        EXPECT_EQ(Show(c.Picture()), Show(k.expected));
    }
}

// A destination far larger than the surface (a raster at a deep zoom) costs
// only what is visible, and the extreme sizes neither wrap nor overflow.
TEST(GdiBlits, HugeDestinationsDrawOnlyTheirVisiblePart) {
    const std::vector<std::string> src = {"0123", "1230", "2301", "3012"};
    const std::vector<std::string> green(8, "gggggggg"), yellow(8, "yyyyyyyy");
    struct Case {
        const char* name;
        int x, y, w, h;
        std::vector<std::string> expected;
    } cases[] = {
        {"widest and tallest", 0, 0, INT32_MAX, INT32_MAX, green},
        {"mirrored, ending at the far corner", 8, 8, -INT32_MAX, -INT32_MAX, green},
        {"most negative width, all left of the surface", 0, 0, INT32_MIN, 8, yellow},
        {"most negative height, all above the surface", 0, 0, 8, INT32_MIN, yellow},
    };
    Dib d(8, 4, 4);
    ASSERT_NE(d.bm, nullptr);
    Fill(d, 8, 4, true, src);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, d.bm);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Canvas c(8, 8, kYellow);
        // One source pixel (column 1 of row 2: green) spread over it all.
        EXPECT_TRUE(StretchBlt(c.dc, k.x, k.y, k.w, k.h, mem, 1, 2, 1, 1, SRCCOPY));
        EXPECT_EQ(Show(c.Picture()), Show(k.expected));
    }
    SelectObject(mem, old);
    DeleteDC(mem);
}

TEST(GdiBlits, MonochromeConversionsAndRasterOperations) {
    // Monochrome source onto colour: 0 bits in the text colour, 1 bits in the
    // background colour of the destination DC.
    const uint8_t bits[4] = {0xA0, 0, 0x50, 0};  // rows 1010, 0101 (2-byte rows)
    HBITMAP mono = CreateBitmap(4, 2, 1, 1, bits);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, mono);
    Canvas c(4, 2);
    SetTextColor(c.dc, kRed);
    SetBkColor(c.dc, kBlue);
    BitBlt(c.dc, 0, 0, 4, 2, mem, 0, 0, SRCCOPY);
    EXPECT_PICTURE(c, "brbr", "rbrb");
    // Colour onto monochrome: the source's background colour becomes 1.
    SetBkColor(c.dc, kRed);
    BitBlt(mem, 0, 0, 4, 2, c.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mem, 1, 0), kWhite);
    EXPECT_EQ(GetPixel(mem, 0, 0), kBlack);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(mono);

    // Ternary operations on colours: invert, XOR with the source, pattern.
    Canvas d(2, 1, kRed);
    Canvas s(2, 1, kYellow);
    BitBlt(d.dc, 0, 0, 1, 1, nullptr, 0, 0, DSTINVERT);
    EXPECT_EQ(d.At(0, 0), RGB(0, 255, 255));
    BitBlt(d.dc, 1, 0, 1, 1, s.dc, 0, 0, SRCINVERT);  // red ^ yellow = green
    EXPECT_EQ(d.At(1, 0), kGreen);
    HBRUSH blue = CreateSolidBrush(kBlue);
    HBRUSH prev = SelectObject(d.dc, blue);
    PatBlt(d.dc, 0, 0, 1, 1, PATCOPY);
    EXPECT_EQ(d.At(0, 0), kBlue);
    BitBlt(d.dc, 1, 0, 1, 1, s.dc, 0, 0, MERGECOPY);  // pattern AND source
    EXPECT_EQ(d.At(1, 0), kBlack);
    SelectObject(d.dc, prev);
    DeleteObject(blue);
}

TEST(GdiBlits, CompatibleBitmapsAndTransparentCopies) {
    HDC mem = CreateCompatibleDC(nullptr);
    // A fresh memory DC holds a 1 x 1 monochrome bitmap, so its compatible
    // bitmaps are monochrome; a window-like surface DC makes colour ones.
    HBITMAP m = CreateCompatibleBitmap(mem, 3, 3);
    BITMAP info;
    GetObject(m, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    HBITMAP surface = gdi::CreateSurface(3, 3);
    HDC window = gdi::CreateSurfaceDC(surface);
    HBITMAP colour = CreateCompatibleBitmap(window, 3, 3);
    GetObject(colour, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(SelectObject(window, colour), nullptr);  // a surface DC keeps its surface
    // Magenta is left out of the copy.
    HBITMAP old = SelectObject(mem, colour);
    RECT all{0, 0, 3, 3};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(mem, &all, magenta);
    SetPixel(mem, 1, 1, kRed);
    HBRUSH white = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(window, &all, white);
    TransparentBlt(window, 0, 0, 3, 3, mem, 0, 0, 3, 3, RGB(255, 0, 255));
    EXPECT_EQ(GetPixel(window, 1, 1), kRed);
    EXPECT_EQ(GetPixel(window, 0, 0), kWhite);
    SelectObject(mem, old);
    DeleteObject(magenta);
    DeleteDC(window);
    DeleteDC(mem);
    for (HBITMAP b : {m, surface, colour}) EXPECT_TRUE(DeleteObject(b));
}

// Two memory DCs at once: each takes its own bitmap and gives it back by
// selecting the bitmap it started with (the shared stock one), in any order.
TEST(GdiBlits, MemoryDcsGiveTheirBitmapsBackInAnyOrder) {
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HBITMAP ba = CreateBitmap(2, 2, 1, 32, nullptr), bb = CreateBitmap(2, 2, 1, 32, nullptr);
    HBITMAP oldA = SelectObject(a, ba), oldB = SelectObject(b, bb);
    EXPECT_EQ(SelectObject(b, ba), nullptr);  // still in a
    EXPECT_EQ(SelectObject(a, oldA), ba);
    EXPECT_EQ(SelectObject(b, oldB), bb);
    // Both are free again.
    HDC c = CreateCompatibleDC(nullptr);
    HBITMAP oldC = SelectObject(c, ba);
    EXPECT_NE(oldC, nullptr);
    EXPECT_EQ(SelectObject(c, bb), ba);
    SelectObject(c, oldC);
    for (HDC dc : {a, b, c}) DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(ba));
    EXPECT_TRUE(DeleteObject(bb));
}

// A bitmap file in memory: file header, info header, palette, rows.
std::vector<uint8_t> BmpFile(int bpp, int w, int h, const std::vector<uint32_t>& palette,
                             const std::vector<uint8_t>& rows, uint32_t compression = 0) {
    std::vector<uint8_t> f;
    auto u16 = [&](uint32_t v) {
        f.push_back(v & 0xFF);
        f.push_back((v >> 8) & 0xFF);
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    uint32_t off = 14 + 40 + 4 * uint32_t(palette.size());
    f.push_back('B');
    f.push_back('M');
    u32(off + uint32_t(rows.size()));
    u32(0);
    u32(off);
    u32(40);
    u32(uint32_t(w));
    u32(uint32_t(h));
    u16(1);
    u16(uint32_t(bpp));
    u32(compression);
    u32(uint32_t(rows.size()));
    u32(0);
    u32(0);
    u32(uint32_t(palette.size()));
    u32(0);
    for (uint32_t p : palette) u32(p);
    f.insert(f.end(), rows.begin(), rows.end());
    return f;
}

TEST(GdiBlits, BitmapFiles) {
    // 2 bits per pixel (bottom-up, 4 pixels = 1 byte, padded to 4 bytes):
    // bottom row 0 1 2 3, top row 3 2 1 0.
    std::vector<uint8_t> two =
        BmpFile(2, 4, 2, {0xFFFFFF, 0xFF0000, 0x0000FF, 0x00FF00}, {0x1B, 0, 0, 0, 0xE4, 0, 0, 0});
    HBITMAP bm = LoadDibFromMemory(two.data(), two.size());
    ASSERT_NE(bm, nullptr);
    DIBSECTION ds;
    ASSERT_EQ(GetObject(bm, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 8);  // two-bit files become 8-bit sections
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, bm);
    EXPECT_EQ(GetPixel(mem, 0, 0), kGreen);
    EXPECT_EQ(GetPixel(mem, 1, 0), kBlue);
    EXPECT_EQ(GetPixel(mem, 2, 0), kRed);
    EXPECT_EQ(GetPixel(mem, 0, 1), kWhite);
    SelectObject(mem, old);
    DeleteObject(bm);

    // Run-length 8-bit: two runs on the bottom row, end of line, one literal run.
    std::vector<uint8_t> rle =
        BmpFile(8, 4, 2, {0xFFFFFF, 0xFF0000}, {2, 1, 2, 0, 0, 0, 0, 4, 1, 0, 1, 0, 0, 1}, 1);
    bm = LoadDibFromMemory(rle.data(), rle.size());
    ASSERT_NE(bm, nullptr);
    old = SelectObject(mem, bm);
    EXPECT_EQ(GetPixel(mem, 0, 1), kRed);
    EXPECT_EQ(GetPixel(mem, 2, 1), kWhite);
    EXPECT_EQ(GetPixel(mem, 0, 0), kRed);
    EXPECT_EQ(GetPixel(mem, 1, 0), kWhite);
    SelectObject(mem, old);
    DeleteObject(bm);
    DeleteDC(mem);

    // Damaged files give no bitmap: short pixel data, a palette past the end,
    // a huge width, an unknown depth.
    std::vector<uint8_t> shortRows = two;
    shortRows.resize(shortRows.size() - 3);
    EXPECT_EQ(LoadDibFromMemory(shortRows.data(), shortRows.size()), nullptr);
    EXPECT_EQ(LoadDibFromMemory(two.data(), 60), nullptr);
    std::vector<uint8_t> wide = two;
    wide[18] = 0xFF;
    wide[19] = 0xFF;
    wide[20] = 0xFF;
    EXPECT_EQ(LoadDibFromMemory(wide.data(), wide.size()), nullptr);
    std::vector<uint8_t> odd = two;
    odd[28] = 3;
    EXPECT_EQ(LoadDibFromMemory(odd.data(), odd.size()), nullptr);
    EXPECT_EQ(LoadDibFile(u"/nonexistent/file.bmp"), nullptr);
}

// Run-length data may move far past the end of a row (deltas of 255 pixels
// again and again): what lies beyond the row is dropped, and the column
// neither wraps around nor lands before the row.
TEST(GdiBlits, RunLengthMovesPastTheRowAreCut) {
    std::vector<uint8_t> data = {2, 1};  // two red pixels
    const size_t deltas = (size_t{1} << 31) / 255 + 2;
    data.reserve(data.size() + 4 * deltas + 4);
    for (size_t i = 0; i < deltas; ++i) data.insert(data.end(), {0, 2, 255, 0});
    data.insert(data.end(), {1, 1, 0, 1});  // one more red pixel, end of bitmap
    std::vector<uint8_t> rle = BmpFile(8, 4, 1, {0xFFFFFF, 0xFF0000}, data, 1);
    HBITMAP bm = LoadDibFromMemory(rle.data(), rle.size());
    ASSERT_NE(bm, nullptr);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, bm);
    EXPECT_EQ(GetPixel(mem, 0, 0), kRed);
    EXPECT_EQ(GetPixel(mem, 1, 0), kRed);
    EXPECT_EQ(GetPixel(mem, 2, 0), kWhite);
    EXPECT_EQ(GetPixel(mem, 3, 0), kWhite);
    SelectObject(mem, old);
    DeleteObject(bm);
    DeleteDC(mem);
}

TEST(GdiBlits, ScrollMovesPixelsAndReportsTheUncoveredPart) {
    Canvas c(6, 3);
    SetPixel(c.dc, 1, 1, kRed);
    RECT update;
    ScrollDC(c.dc, 2, 0, nullptr, nullptr, nullptr, &update);
    EXPECT_EQ(c.At(3, 1), kRed);
    EXPECT_TRUE(EqualRect(&update, &(const RECT&)RECT{0, 0, 2, 3}));
    ScrollDC(c.dc, 0, -1, nullptr, nullptr, nullptr, &update);
    EXPECT_EQ(c.At(3, 0), kRed);
    EXPECT_TRUE(EqualRect(&update, &(const RECT&)RECT{0, 2, 6, 3}));
}

}  // namespace

namespace {

TEST(GdiBlits, IconsDrawThroughTheirMask) {
    // A 2 x 1 icon: the left pixel opaque red, the right one transparent.
    const uint8_t maskBits[2] = {0x40, 0};  // 0 1
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, maskBits);
    HBITMAP colour = gdi::CreateSurface(2, 1);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, colour);
    SetPixel(mem, 0, 0, kRed);
    SetPixel(mem, 1, 0, kBlack);
    SelectObject(mem, old);
    DeleteDC(mem);
    ICONINFO ii;
    ii.hbmMask = mask;
    ii.hbmColor = colour;
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    DeleteObject(mask);  // the icon has its own copies
    DeleteObject(colour);
    Canvas c(3, 1, kBlue);
    EXPECT_TRUE(DrawIcon(c.dc, 0, 0, icon));
    EXPECT_PICTURE(c, "rbb");
    ICONINFO back;
    ASSERT_TRUE(GetIconInfo(icon, &back));
    BITMAP bm;
    GetObject(back.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    DeleteObject(back.hbmMask);
    DeleteObject(back.hbmColor);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
}

}  // namespace

namespace {

TEST(GdiBlits, PatternFillOfAnIndexedCache) {
    // An 8-bit bottom-up section with a grey ramp, cleared with the diagonal
    // pattern in black on white: pixels take the nearest palette entries.
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    info->bmiHeader = BITMAPINFOHEADER{};
    info->bmiHeader.biWidth = 8;
    info->bmiHeader.biHeight = 8;
    info->bmiHeader.biBitCount = 8;
    for (int i = 0; i < 256; ++i) info->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, dib);
    uint8_t rows[16] = {0x01, 0, 0x02, 0, 0x04, 0, 0x08, 0, 0x10, 0, 0x20, 0, 0x40, 0, 0x80, 0};
    HBITMAP pat = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = CreatePatternBrush(pat);
    SetTextColor(mem, kBlack);
    SetBkColor(mem, kWhite);
    RECT all{0, 0, 8, 8};
    FillRect(mem, &all, brush);
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    // Top row (the last in memory): set bit at x = 7 is white (255), the rest black.
    EXPECT_EQ(p[7 * 8 + 7], 255);
    EXPECT_EQ(p[7 * 8 + 0], 0);
    EXPECT_EQ(p[0 * 8 + 0], 255);  // bottom row: 0x80, the leftmost pixel
    // A changed colour table is honoured at once.
    RGBQUAD red{0, 0, 255, 0};
    SetDIBColorTable(mem, 0, 1, &red);
    SetPixel(mem, 3, 3, kRed);
    EXPECT_EQ(p[4 * 8 + 3], 0);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(brush);
    DeleteObject(pat);
    DeleteObject(dib);
}

}  // namespace
