// Brushes and device context state: hatches, monochrome patterns (0 bits in
// the text colour, 1 bits in the background colour), the transparent stipple
// made of two ROP2 passes, brush origin, selection and SaveDC/RestoreDC.
#include "tests/platform/gdi_picture.h"

using namespace gditest;

namespace {

TEST(GdiBrushes, EveryHatchStyleOpaqueAndTransparent) {
    const std::vector<std::string> expected[6] = {
        {"........", "........", "........", "........", "........", "........", "rrrrrrrr",
         "........"},
        {"....r...", "....r...", "....r...", "....r...", "....r...", "....r...", "....r...",
         "....r..."},
        {"r.......", ".r......", "..r.....", "...r....", "....r...", ".....r..", "......r.",
         ".......r"},
        {".......r", "......r.", ".....r..", "....r...", "...r....", "..r.....", ".r......",
         "r......."},
        {"....r...", "....r...", "....r...", "....r...", "....r...", "....r...", "rrrrrrrr",
         "....r..."},
        {"r......r", ".r....r.", "..r..r..", "...rr...", "...rr...", "..r..r..", ".r....r.",
         "r......r"},
    };
    for (int style = HS_HORIZONTAL; style <= HS_DIAGCROSS; ++style) {
        SCOPED_TRACE(style);
        for (int mode : {OPAQUE, TRANSPARENT}) {
            // Opaque: the gaps take the background colour (white); transparent:
            // they keep the blue underneath.
            Canvas c(8, 8, kBlue);
            SetBkColor(c.dc, kWhite);
            SetBkMode(c.dc, mode);
            HBRUSH b = CreateHatchBrush(style, kRed);
            RECT r{0, 0, 8, 8};
            FillRect(c.dc, &r, b);
            DeleteObject(b);
            std::vector<std::string> want = expected[style];
            if (mode == TRANSPARENT)
                for (auto& row : want)
                    for (char& ch : row)
                        if (ch == '.') ch = 'b';
            EXPECT_EQ(Show(c.Picture()), Show(want)) << (mode == OPAQUE ? "opaque" : "transparent");
        }
    }
}

// An 8 x 8 monochrome pattern from bytes with 2-byte rows.
HBRUSH PatternBrush(const uint8_t rows[8]) {
    uint8_t bits[16] = {};
    for (int i = 0; i < 8; ++i) bits[2 * i] = rows[i];
    HBITMAP bm = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH b = CreatePatternBrush(bm);
    DeleteObject(bm);  // the brush keeps its own copy
    return b;
}

TEST(GdiBrushes, MonochromePatternIgnoresBackgroundMode) {
    const uint8_t rows[8] = {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F};
    for (int mode : {OPAQUE, TRANSPARENT}) {
        Canvas c(8, 8, kBlue);
        SetTextColor(c.dc, kRed);   // 0 bits
        SetBkColor(c.dc, kYellow);  // 1 bits
        SetBkMode(c.dc, mode);
        HBRUSH b = PatternBrush(rows);
        RECT r{0, 0, 8, 8};
        FillRect(c.dc, &r, b);
        DeleteObject(b);
        EXPECT_PICTURE(c, "yyyyrrrr", "yyyyrrrr", "yyyyrrrr", "yyyyrrrr",  //
                       "rrrryyyy", "rrrryyyy", "rrrryyyy", "rrrryyyy");
    }
}

TEST(GdiBrushes, TransparentStippleInTwoRop2Passes) {
    // The stipple rows AA/55 are stored inverted, so their set bits are the
    // 0 bits of the pattern, which take the fill colour.
    uint8_t rows[8];
    for (int i = 0; i < 8; ++i) rows[i] = static_cast<uint8_t>(~((i % 2) ? 0x55 : 0xAA));
    Canvas c(8, 4, kBlue);
    HBRUSH b = PatternBrush(rows);
    HBRUSH oldBrush = SelectObject(c.dc, b);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    POINT square[] = {{0, 0}, {8, 0}, {8, 4}, {0, 4}};
    const COLORREF fill = kRed;
    // Pass 1: clear the fill colour's bits under the pattern's 0 bits.
    SetTextColor(c.dc, ~fill & 0xFFFFFF);
    SetBkColor(c.dc, kBlack);
    int oldRop = SetROP2(c.dc, R2_MASKNOTPEN);
    Polygon(c.dc, square, 4);
    // Pass 2: merge the fill colour into them.
    SetTextColor(c.dc, fill);
    SetBkColor(c.dc, kBlack);
    SetBkMode(c.dc, OPAQUE);
    SetROP2(c.dc, R2_MERGEPEN);
    Polygon(c.dc, square, 4);
    SetROP2(c.dc, oldRop);
    SelectObject(c.dc, oldBrush);
    DeleteObject(b);
    // The 1 bits of the pattern leave the blue background untouched.
    EXPECT_PICTURE(c, "rbrbrbrb",  //
                   "brbrbrbr",     //
                   "rbrbrbrb",     //
                   "brbrbrbr");
}

TEST(GdiBrushes, PatternsLineUpAtTheBrushOrigin) {
    // One 0 bit (text colour) at the pattern's top-left, 1 bits elsewhere.
    const uint8_t rows[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    uint8_t inv[8];
    for (int i = 0; i < 8; ++i) inv[i] = static_cast<uint8_t>(~rows[i]);
    Canvas c(10, 10);
    SetTextColor(c.dc, kRed);
    SetBkColor(c.dc, kWhite);
    HBRUSH b = PatternBrush(inv);
    // Two separate fills show one continuous pattern anchored at (0, 0)...
    RECT left{0, 0, 5, 10}, right{5, 0, 10, 10};
    FillRect(c.dc, &left, b);
    FillRect(c.dc, &right, b);
    EXPECT_EQ(c.At(0, 0), kRed);
    EXPECT_EQ(c.At(8, 8), kRed);
    EXPECT_EQ(c.At(1, 0), kWhite);
    // ...and move with the brush origin.
    SetBrushOrgEx(c.dc, 6, 2, nullptr);
    FillRect(c.dc, &right, b);
    EXPECT_EQ(c.At(6, 2), kRed);
    EXPECT_EQ(c.At(5, 2), kWhite);
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_EQ(c.At(0, 8), kRed);  // the left fill keeps its own
    DeleteObject(b);
}

TEST(GdiBrushes, StockObjectsSelectionAndSavedStates) {
    GetStockObject(WHITE_BRUSH);  // stock objects exist from here on
    const int live = gdi::LiveObjectCount();
    {
        Canvas c(4, 4);
        // Stock brushes 0-5 and their colours.
        const COLORREF greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
        for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) {
            LOGBRUSH lb;
            ASSERT_EQ(GetObject(GetStockObject(i), sizeof lb, &lb), int(sizeof lb));
            EXPECT_EQ(lb.lbColor, greys[i]);
        }
        LOGBRUSH hollow;
        GetObject(GetStockObject(NULL_BRUSH), sizeof hollow, &hollow);
        EXPECT_EQ(hollow.lbStyle, BS_NULL);
        EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));  // a no-op
        EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH);

        // Selection gives back the previous object; a selected object cannot be
        // deleted.
        HPEN red = CreatePen(PS_SOLID, 0, kRed);
        HPEN first = SelectObject(c.dc, red);
        EXPECT_EQ(first, reinterpret_cast<HPEN>(GetStockObject(BLACK_PEN)));
        EXPECT_FALSE(DeleteObject(red));
        // Saved states nest; restoring goes back to each level's objects and modes.
        int one = SaveDC(c.dc);
        SetROP2(c.dc, R2_XORPEN);
        SelectObject(c.dc, GetStockObject(NULL_PEN));
        int two = SaveDC(c.dc);
        SetTextColor(c.dc, kGreen);
        EXPECT_EQ(two, one + 1);
        EXPECT_TRUE(RestoreDC(c.dc, one));
        EXPECT_EQ(GetROP2(c.dc), R2_COPYPEN);
        EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), reinterpret_cast<HGDIOBJ>(red));
        EXPECT_FALSE(RestoreDC(c.dc, two));  // gone with its parent
        EXPECT_EQ(SetBkMode(c.dc, TRANSPARENT), OPAQUE);
        EXPECT_EQ(SetBkMode(c.dc, 7), 0);  // not a mode
        SelectObject(c.dc, first);
        EXPECT_TRUE(DeleteObject(red));
        EXPECT_EQ(GetObjectType(red), 0u);  // a stale handle is refused
    }
    EXPECT_EQ(gdi::LiveObjectCount(), live);  // everything made was freed
}

}  // namespace

namespace {

TEST(GdiBrushes, DibPatternsEdgesInversionAndColourMarker) {
    // A 2 x 2 colour DIB as a pattern brush (packed: header, colours, bits).
    struct Packed {
        BITMAPINFOHEADER h;
        RGBQUAD colours[2];
        uint8_t bits[8];
    } packed{};
    packed.h.biWidth = 2;
    packed.h.biHeight = 2;  // bottom-up: the first row of bits is the lower row
    packed.h.biBitCount = 1;
    packed.h.biClrUsed = 2;
    packed.colours[0] = RGBQUAD{0, 0, 255, 0};  // red
    packed.colours[1] = RGBQUAD{255, 0, 0, 0};  // blue
    packed.bits[0] = 0x40;                      // lower row: 0 1
    packed.bits[4] = 0x80;                      // upper row: 1 0
    HBRUSH dib = CreateDIBPatternBrushPt(&packed, DIB_RGB_COLORS);
    ASSERT_NE(dib, nullptr);
    Canvas c(4, 2);
    RECT all{0, 0, 4, 2};
    FillRect(c.dc, &all, dib);
    DeleteObject(dib);
    EXPECT_PICTURE(c, "brbr", "rbrb");

    // The colour chooser's marker byte is ignored when drawing.
    SetPixel(c.dc, 0, 0, 0x02000000 | kGreen);
    EXPECT_EQ(c.At(0, 0), kGreen);
    HBRUSH marked = CreateSolidBrush(0x02000000 | kYellow);
    RECT one{1, 0, 2, 1};
    FillRect(c.dc, &one, marked);
    DeleteObject(marked);
    EXPECT_EQ(c.At(1, 0), kYellow);

    // InvertRect twice restores; a sunken edge: dark top-left, light bottom-right.
    Canvas e(6, 6, RGB(192, 192, 192));
    RECT r{0, 0, 6, 6};
    InvertRect(e.dc, &r);
    EXPECT_EQ(e.At(2, 2), RGB(63, 63, 63));
    InvertRect(e.dc, &r);
    EXPECT_EQ(e.At(2, 2), RGB(192, 192, 192));
    DrawEdge(e.dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    EXPECT_EQ(e.At(0, 0), kGrey);
    EXPECT_EQ(e.At(1, 1), kBlack);
    EXPECT_EQ(e.At(5, 5), kWhite);
    EXPECT_EQ(e.At(4, 4), RGB(192, 192, 192));
    EXPECT_TRUE(EqualRect(&r, &(const RECT&)RECT{2, 2, 4, 4}));
}

}  // namespace
