// Text: the reference point at the top-left of the character cell, rotation
// about it, font height signs, extents and metrics, DrawText and faces.
// Glyph shapes come from FreeType, so the checks are on cells and ink boxes.
#include <cmath>

#include "tests/platform/gdi_picture.h"

using namespace gditest;

namespace {

HFONT MakeFont(int height, int escapement = 0, const char* face = "Tahoma", int weight = 400) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfEscapement = lf.lfOrientation = escapement;
    lf.lfWeight = weight;
    for (int i = 0; face[i]; ++i) lf.lfFaceName[i] = static_cast<WChar>(face[i]);
    return CreateFontIndirect(&lf);
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    void Add(int x, int y) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
    }
};

// Bounding box of the pixels matching a test.
template <class F>
Box Find(const Canvas& c, F match) {
    Box b;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            if (match(c.At(x, y))) b.Add(x, y);
    return b;
}

TEST(GdiText, CellIsAnchoredAtItsTopLeft) {
    Canvas c(120, 40);
    HFONT f = MakeFont(-16);
    HFONT old = SelectObject(c.dc, f);
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, kYellow);
    SetTextColor(c.dc, kBlack);
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32(c.dc, u"Label", 5, &size));
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(c.dc, &tm));
    EXPECT_EQ(size.cy, tm.tmHeight);
    ExtTextOut(c.dc, 10, 7, 0, nullptr, u"Label", 5, nullptr);
    // The opaque cell covers exactly the extent, from the reference point.
    Box cell = Find(c, [](COLORREF p) { return p != kWhite; });
    EXPECT_EQ(cell.left, 10);
    EXPECT_EQ(cell.top, 7);
    EXPECT_EQ(cell.right, 10 + size.cx - 1);
    EXPECT_EQ(cell.bottom, 7 + size.cy - 1);
    // Ink of "L" starts below the internal leading and ends on the baseline.
    Box ink = Find(c, [](COLORREF p) { return p != kWhite && p != kYellow; });
    EXPECT_GE(ink.top, 7 + tm.tmInternalLeading - 1);
    EXPECT_LE(ink.bottom, 7 + tm.tmAscent - 1);
    EXPECT_GE(ink.bottom, 7 + tm.tmAscent - 2);

    // Transparent mode paints the glyphs only; the baseline alignment moves
    // the cell up by the ascent.
    Canvas d(120, 40);
    SelectObject(d.dc, f);
    SetBkMode(d.dc, TRANSPARENT);
    SetTextAlign(d.dc, TA_BASELINE);
    ExtTextOut(d.dc, 10, 30, 0, nullptr, u"L", 1, nullptr);
    Box l = Find(d, [](COLORREF p) { return p != kWhite; });
    EXPECT_LE(l.bottom, 29);
    EXPECT_GE(l.bottom, 28);
    // Text ignores the ROP2 mode: drawn with XOR it comes out the same.
    Canvas e(120, 40);
    SelectObject(e.dc, f);
    SetBkMode(e.dc, TRANSPARENT);
    SetTextAlign(e.dc, TA_BASELINE);
    SetROP2(e.dc, R2_XORPEN);
    ExtTextOut(e.dc, 10, 30, 0, nullptr, u"L", 1, nullptr);
    EXPECT_EQ(e.Pixels(), d.Pixels());
    SelectObject(e.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(d.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(c.dc, old);
    DeleteObject(f);
}

TEST(GdiText, RotatedLabelTurnsAboutItsTopLeft) {
    Canvas c(140, 140);
    HFONT f = MakeFont(-16, 450);
    SelectObject(c.dc, f);
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, kYellow);
    SetTextColor(c.dc, kBlack);
    SIZE size;
    GetTextExtentPoint32(c.dc, u"Rotated", 7, &size);
    const int x = 30, y = 100;
    ExtTextOut(c.dc, x, y, 0, nullptr, u"Rotated", 7, nullptr);
    // The cell is the unrotated one turned 45 degrees counter-clockwise about
    // (x, y): that corner is its leftmost point, the end of its top edge its
    // highest, the end of its left edge its lowest.
    Box cell = Find(c, [](COLORREF p) { return p != kWhite; });
    const double s = std::sqrt(0.5);
    EXPECT_NEAR(cell.left, x, 1);
    EXPECT_NEAR(cell.top, y - size.cx * s, 1.5);
    EXPECT_NEAR(cell.bottom, y + size.cy * s, 1.5);
    EXPECT_NEAR(cell.right, x + (size.cx + size.cy) * s, 1.5);
    // At the leftmost column the cell touches the reference point.
    bool nearRef = false;
    for (int yy = y - 1; yy <= y + 1; ++yy) nearRef |= c.At(cell.left, yy) != kWhite;
    EXPECT_TRUE(nearRef);
    // Ink stays inside the cell.
    Box ink = Find(c, [](COLORREF p) { return p != kWhite && p != kYellow; });
    EXPECT_GT(ink.left, cell.left);
    EXPECT_LT(ink.top, y - 20);  // the text rises to the right
    SelectObject(c.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

TEST(GdiText, HeightSignsAndWeight) {
    HDC dc = CreateCompatibleDC(nullptr);
    struct Case {
        int height;
        bool cell;  // positive heights are cell heights, negative em heights
    } cases[] = {{-20, false}, {20, true}, {-9, false}, {40, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.height);
        HFONT f = MakeFont(k.height);
        HFONT old = SelectObject(dc, f);
        TEXTMETRIC tm;
        ASSERT_TRUE(GetTextMetrics(dc, &tm));
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        if (k.cell)
            EXPECT_NEAR(tm.tmHeight, k.height, 1);
        else
            EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, -k.height, 1);
        SelectObject(dc, old);
        DeleteObject(f);
    }
    // Device capabilities: the pinned resolution, the window model's screen.
    gdi::ScreenMetrics m;
    m.logPixelsY = 120;
    gdi::SetScreenMetrics(m);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 120);
    gdi::ResetForTests();
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 240);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 240);  // memory DCs report the display
    // Bold text is wider than regular text.
    HFONT regular = MakeFont(-14), bold = MakeFont(-14, 0, "Tahoma", FW_BOLD);
    SIZE a, b;
    HFONT old = SelectObject(dc, regular);
    GetTextExtentPoint32(dc, u"Wide words", 10, &a);
    SelectObject(dc, bold);
    GetTextExtentPoint32(dc, u"Wide words", 10, &b);
    EXPECT_GT(b.cx, a.cx);
    SelectObject(dc, old);
    DeleteObject(regular);
    DeleteObject(bold);
    DeleteDC(dc);
}

TEST(GdiText, DrawTextCentresAndMeasures) {
    Canvas c(100, 30);
    HFONT f = MakeFont(-12);
    SelectObject(c.dc, f);
    SetBkMode(c.dc, TRANSPARENT);
    SIZE ab, a, b;
    GetTextExtentPoint32(c.dc, u"ab", 2, &ab);
    GetTextExtentPoint32(c.dc, u"a", 1, &a);
    GetTextExtentPoint32(c.dc, u"b", 1, &b);
    EXPECT_EQ(ab.cx, a.cx + b.cx);  // whole-pixel advances add up
    RECT calc{0, 0, 0, 0};
    int h =
        DrawText(c.dc, u"Centre", -1, &calc, DT_SINGLELINE | DT_CENTER | DT_NOPREFIX | DT_CALCRECT);
    SIZE centre;
    GetTextExtentPoint32(c.dc, u"Centre", 6, &centre);
    EXPECT_EQ(calc.right, centre.cx);
    EXPECT_EQ(calc.bottom, centre.cy);
    EXPECT_EQ(h, centre.cy);
    // Drawn centred in the rectangle: the cell starts half the slack in.
    SetBkMode(c.dc, OPAQUE);
    SetBkColor(c.dc, kYellow);
    RECT r{0, 0, 100, 30};
    DrawText(c.dc, u"Centre", -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    Box cell = Find(c, [](COLORREF p) { return p != kWhite; });
    EXPECT_EQ(cell.left, (100 - centre.cx) / 2);
    EXPECT_EQ(cell.top, (30 - centre.cy) / 2);
    // Word breaking measures several lines.
    RECT wrap{0, 0, 40, 0};
    int lines = DrawText(c.dc, u"one two three four", -1, &wrap, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(lines, 2 * centre.cy);
    SelectObject(c.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

TEST(GdiText, MissingFacesMapToInstalledOnes) {
    EXPECT_EQ(gdi::SubstituteFace(u"Tahoma", 0), u"DejaVu Sans");
    EXPECT_EQ(gdi::SubstituteFace(u"Courier New", 0), u"DejaVu Sans Mono");
    EXPECT_EQ(gdi::SubstituteFace(u"No Such Face", 2), u"DejaVu Sans");
    EXPECT_EQ(gdi::SubstituteFace(u"DejaVu Serif", 0), u"DejaVu Serif");
    std::vector<WString> names;
    EnumFontFamilies(
        nullptr, nullptr,
        [](const LOGFONT* lf, const TEXTMETRIC* tm, DWORD type, LPARAM p) {
            EXPECT_EQ(type, TRUETYPE_FONTTYPE);
            EXPECT_GT(tm->tmHeight, 0);
            reinterpret_cast<std::vector<WString>*>(p)->push_back(lf->lfFaceName);
            return 1;
        },
        reinterpret_cast<LPARAM>(&names));
    EXPECT_NE(std::find(names.begin(), names.end(), u"DejaVu Sans"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), u"Tahoma"), names.end());
    // A symbol-charset font still draws a glyph for a character code.
    Canvas c(30, 30);
    LOGFONT lf;
    lf.lfHeight = -20;
    lf.lfCharSet = SYMBOL_CHARSET;
    const char* face = "Wingdings";
    for (int i = 0; face[i]; ++i) lf.lfFaceName[i] = static_cast<WChar>(face[i]);
    HFONT f = CreateFontIndirect(&lf);
    SelectObject(c.dc, f);
    SetBkMode(c.dc, TRANSPARENT);
    ExtTextOut(c.dc, 2, 2, 0, nullptr, u"#", 1, nullptr);
    EXPECT_GE(Find(c, [](COLORREF p) { return p != kWhite; }).right, 0);
    SelectObject(c.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

}  // namespace
