// Text in both directions: the order lines are shown in (checked against
// the characters drawn one at a time in the order written out by hand),
// joining and marks, glyphs from a fallback face, tab stops, extents, and
// mirrored DCs, whose figures are the mirror image while text and images
// keep reading the right way.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/platform/gdi_picture.h"

using namespace gditest;

namespace {

HFONT MakeFont(int height, const char* face = "Tahoma") {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWeight = 400;
    for (int i = 0; face[i]; ++i) lf.lfFaceName[i] = static_cast<WChar>(face[i]);
    return CreateFontIndirect(&lf);
}

// A canvas with black text on white in a 14-pixel font.
struct TextCanvas : Canvas {
    HFONT font;
    explicit TextCanvas(int w = 160, int h = 24, const char* face = "Tahoma")
        : Canvas(w, h), font(MakeFont(-14, face)) {
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kBlack);
    }
    ~TextCanvas() {
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(font);
    }
    int Width(const WString& s) {
        SIZE sz{};
        GetTextExtentPoint32(dc, s.data(), static_cast<int>(s.size()), &sz);
        return sz.cx;
    }
    // Each character alone, left to right in the given order.
    void OneByOne(int x, int y, const WString& shown) {
        for (WChar ch : shown) {
            ExtTextOut(dc, x, y, 0, nullptr, &ch, 1, nullptr);
            x += Width(WString(1, ch));
        }
    }
};

struct OrderCase {
    const char* name;
    WString text;
    UINT options;
    WString shown;  // left to right as a reader sees it
};

TEST(GdiTextDirection, LinesShowInTheBidirectionalOrder) {
    const OrderCase cases[] = {
        {"hebrew word", u"\u05E9\u05DC\u05D5\u05DD", 0, u"\u05DD\u05D5\u05DC\u05E9"},
        // A number after Hebrew belongs to the Hebrew run.
        {"hebrew inside latin", u"abc \u05D0\u05D1\u05D2 12", 0, u"abc 12 \u05D2\u05D1\u05D0"},
        {"same read right to left", u"abc \u05D0\u05D1\u05D2 12", ETO_RTLREADING,
         u"12 \u05D2\u05D1\u05D0 abc"},
        {"number inside hebrew", u"\u05D0\u05D1 123 \u05D2\u05D3", 0,
         u"\u05D3\u05D2 123 \u05D1\u05D0"},
        {"latin label read right to left", u"Name:", ETO_RTLREADING, u":Name"},
        {"brackets are mirrored", u"(\u05D0\u05D1)", ETO_RTLREADING, u"(\u05D1\u05D0)"},
        {"latin stays as it is", u"Roads (3)", 0, u"Roads (3)"},
    };
    for (const OrderCase& c : cases) {
        TextCanvas line, chars;
        ExtTextOut(line.dc, 3, 4, c.options, nullptr, c.text.data(),
                   static_cast<UINT>(c.text.size()), nullptr);
        chars.OneByOne(3, 4, c.shown);
        EXPECT_EQ(line.Pixels(), chars.Pixels()) << c.name;
        EXPECT_EQ(line.Width(c.text), line.Width(c.shown)) << c.name;
    }
    // The same through DrawText and through the DC's text alignment.
    TextCanvas drawn, aligned, chars;
    RECT r{3, 4, 160, 24};
    DrawText(drawn.dc, u"Name:", -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_RTLREADING);
    SetTextAlign(aligned.dc, TA_LEFT | TA_TOP | TA_RTLREADING);
    TextOut(aligned.dc, 3, 4, u"Name:", 5);
    chars.OneByOne(3, 4, u":Name");
    EXPECT_EQ(drawn.Pixels(), chars.Pixels());
    EXPECT_EQ(aligned.Pixels(), chars.Pixels());
}

TEST(GdiTextDirection, ArabicJoinsAndMarksSitOnTheirLetter) {
    // Two behs join: the final form on the left, the initial on the right,
    // which are the glyphs of the presentation forms.
    TextCanvas joined, forms;
    ExtTextOut(joined.dc, 3, 4, 0, nullptr, u"\u0628\u0628", 2, nullptr);
    forms.OneByOne(3, 4, u"\uFE90\uFE91");
    EXPECT_EQ(joined.Pixels(), forms.Pixels());
    TextCanvas isolated;
    isolated.OneByOne(3, 4, u"\u0628\u0628");
    EXPECT_NE(joined.Pixels(), isolated.Pixels());

    // A combining acute adds no width and stands above its e.
    TextCanvas e, marked;
    ExtTextOut(e.dc, 3, 4, 0, nullptr, u"e", 1, nullptr);
    ExtTextOut(marked.dc, 3, 4, 0, nullptr, u"e\u0301", 2, nullptr);
    EXPECT_EQ(marked.Width(u"e\u0301"), e.Width(u"e"));
    int eTop = 99, markBottom = -1, markLeft = 999, markRight = -1;
    for (int y = 0; y < e.h; ++y)
        for (int x = 0; x < e.w; ++x) {
            if (e.At(x, y) != kWhite) eTop = std::min(eTop, y);
            if (marked.At(x, y) != kWhite && e.At(x, y) == kWhite) {
                markBottom = std::max(markBottom, y);
                markLeft = std::min(markLeft, x);
                markRight = std::max(markRight, x);
            }
        }
    EXPECT_LT(markBottom, eTop + 1);
    EXPECT_GE(markLeft, 3);
    EXPECT_LT(markRight, 3 + e.Width(u"e") + 1);
}

TEST(GdiTextDirection, MissingGlyphsComeFromAFaceThatHasThem) {
    // U+2336 is in the monospaced face of the installed family, not in the
    // proportional one: the proportional font draws the other face's glyph.
    const WString sign = u"\u2336";
    TextCanvas sans(40, 24, "DejaVu Sans"), mono(40, 24, "DejaVu Sans Mono");
    ExtTextOut(sans.dc, 3, 4, 0, nullptr, sign.data(), 1, nullptr);
    ExtTextOut(mono.dc, 3, 4, 0, nullptr, sign.data(), 1, nullptr);
    EXPECT_EQ(sans.Pixels(), mono.Pixels());
    EXPECT_EQ(sans.Width(sign), mono.Width(sign));
    // Around it, the font's own letters.
    TextCanvas mixed(60, 24, "DejaVu Sans"), parts(60, 24, "DejaVu Sans");
    ExtTextOut(mixed.dc, 3, 4, 0, nullptr, u"a\u2336b", 3, nullptr);
    ExtTextOut(parts.dc, 3, 4, 0, nullptr, u"a", 1, nullptr);
    ExtTextOut(parts.dc, 3 + parts.Width(u"a") + mono.Width(sign), 4, 0, nullptr, u"b", 1,
               nullptr);
    for (int y = 0; y < 24; ++y)
        for (int x = 3 + parts.Width(u"a"); x < 3 + parts.Width(u"a") + mono.Width(sign); ++x)
            SetPixel(parts.dc, x, y, mono.At(x - parts.Width(u"a"), y));
    EXPECT_EQ(mixed.Pixels(), parts.Pixels());
}

// Chinese, Japanese and Korean characters, which the DejaVu faces lack, come
// from the CJK face setup installs: each shows a glyph of its own, not the
// missing-glyph box that a character no face has (U+0378, unassigned) shows.
TEST(GdiTextDirection, CjkCharactersShowTheirOwnGlyphs) {
    auto drawn = [](WChar ch) {
        TextCanvas c(40, 24);
        ExtTextOut(c.dc, 3, 4, 0, nullptr, &ch, 1, nullptr);
        return c.Pixels();
    };
    const auto box = drawn(u'\u0378');
    const auto blank = TextCanvas(40, 24).Pixels();
    ASSERT_NE(box, blank);  // the box has ink
    // Chinese "middle" and "text", Japanese hiragana "a", Korean "han".
    const WChar cjk[] = {u'\u4E2D', u'\u6587', u'\u3042', u'\uD55C'};
    std::vector<std::vector<uint32_t>> seen;
    for (WChar ch : cjk) {
        SCOPED_TRACE(static_cast<int>(ch));
        auto p = drawn(ch);
        EXPECT_NE(p, box);
        EXPECT_NE(p, blank);
        // Boxes would all look alike; glyphs do not.
        for (const auto& other : seen) EXPECT_NE(p, other);
        seen.push_back(p);
    }
    // Among Latin letters the character takes its own glyph's room.
    TextCanvas line(80, 24);
    EXPECT_GT(line.Width(u"a\u4E2Db"), line.Width(u"ab"));
}

TEST(GdiTextDirection, TabStops) {
    const int stops[] = {40, 70};
    struct Case {
        const char* name;
        int positions;
        const int* stops;
        int origin;
        int expectedCd;  // where "cd" starts
    } cases[] = {
        {"listed stops", 2, stops, 5, 5 + 40},
        {"one stop repeats", 1, stops, 5, 5 + 40},
        {"stops count from the origin", 2, stops, 0, 40},
    };
    for (const Case& c : cases) {
        TextCanvas tabbed, parts;
        LONG r = TabbedTextOut(tabbed.dc, 5, 4, u"ab\tcd", 5, c.positions, c.stops, c.origin);
        ExtTextOut(parts.dc, 5, 4, 0, nullptr, u"ab", 2, nullptr);
        ExtTextOut(parts.dc, c.expectedCd, 4, 0, nullptr, u"cd", 2, nullptr);
        EXPECT_EQ(tabbed.Pixels(), parts.Pixels()) << c.name;
        EXPECT_EQ(r & 0xFFFF, c.expectedCd - 5 + parts.Width(u"cd")) << c.name;
    }
    // Without stops a tab runs to the next multiple of eight average
    // characters; DT_TABSTOP sets another number in bits 8-15.
    TextCanvas c;
    TEXTMETRIC tm;
    GetTextMetrics(c.dc, &tm);
    DWORD ext = GetTabbedTextExtent(c.dc, u"a\tb", 3, 0, nullptr);
    EXPECT_EQ(int(ext & 0xFFFF), 8 * tm.tmAveCharWidth + c.Width(u"b"));
    EXPECT_EQ(int(ext >> 16), tm.tmHeight);
    TextCanvas expanded, pieces;
    RECT all{0, 4, 160, 24};
    DrawText(expanded.dc, u"a\tb", -1, &all, DT_EXPANDTABS | DT_TABSTOP | (4 << 8));
    ExtTextOut(pieces.dc, 0, 4, 0, nullptr, u"a", 1, nullptr);
    ExtTextOut(pieces.dc, 4 * tm.tmAveCharWidth, 4, 0, nullptr, u"b", 1, nullptr);
    EXPECT_EQ(expanded.Pixels(), pieces.Pixels());
    // Read right to left, the first piece stands at the right end.
    TextCanvas rtl, parts;
    SetTextAlign(rtl.dc, TA_RTLREADING);
    LONG w = TabbedTextOut(rtl.dc, 5, 4, u"ab\tcd", 5, 1, stops, 5);
    int width = w & 0xFFFF;
    ExtTextOut(parts.dc, 5 + width - parts.Width(u"ab"), 4, 0, nullptr, u"ab", 2, nullptr);
    ExtTextOut(parts.dc, 5 + width - 40 - parts.Width(u"cd"), 4, 0, nullptr, u"cd", 2, nullptr);
    EXPECT_EQ(rtl.Pixels(), parts.Pixels());
}

TEST(GdiTextDirection, ExtentsRunInReadingOrderPerUnit) {
    TextCanvas c;
    // Hebrew, a space and a character outside the basic plane.
    const WString s = u"\u05D0\u05D1 \U0001D400x";
    int partial[6] = {};
    int fit = 0;
    SIZE size{};
    ASSERT_TRUE(GetTextExtentExPoint(c.dc, s.data(), 6, c.Width(u"\u05D0\u05D1"), &fit, partial,
                                     &size));
    EXPECT_EQ(partial[0], c.Width(u"\u05D0"));
    EXPECT_EQ(partial[1], c.Width(u"\u05D0\u05D1"));
    EXPECT_EQ(partial[3], partial[4]);  // the pair's second unit adds nothing
    EXPECT_EQ(partial[5], size.cx);
    EXPECT_EQ(fit, 2);
    EXPECT_TRUE(std::is_sorted(partial, partial + 6));
}

// A surface with a mirrored view: 30 pixels wide at (4, 2) of a 40 x 14
// surface, beside an unmirrored view of the same place on another one.
struct MirrorPair {
    HBITMAP plainSurface = gdi::CreateSurface(40, 14);
    HBITMAP mirrorSurface = gdi::CreateSurface(40, 14);
    RECT view{4, 2, 34, 14};
    HDC plain = gdi::CreateSurfaceDC(plainSurface, POINT{4, 2}, &view);
    HDC mirror = gdi::CreateSurfaceDC(mirrorSurface, POINT{4, 2}, &view);
    MirrorPair() {
        EXPECT_TRUE(gdi::SetSurfaceMirror(mirror, 30));
        EXPECT_TRUE(gdi::IsSurfaceMirrored(mirror));
        RECT all{-4, -2, 36, 12};
        for (HDC dc : {plain, mirror}) FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    }
    ~MirrorPair() {
        DeleteDC(plain);
        DeleteDC(mirror);
        DeleteObject(plainSurface);
        DeleteObject(mirrorSurface);
    }
    static uint32_t At(HBITMAP s, int x, int y) {
        int w, h, stride;
        return gdi::SurfacePixels(s, &w, &h, &stride)[y * (stride / 4) + x] & 0xFFFFFF;
    }
    // The view of one flipped left to right equals the other's.
    bool Mirrored() const {
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 40; ++x) {
                bool in = x >= 4 && x < 34 && y >= 2;
                uint32_t want = in ? At(plainSurface, 4 + 33 - x, y) : At(plainSurface, x, y);
                if (At(mirrorSurface, x, y) != want) return false;
            }
        return true;
    }
};

TEST(GdiTextDirection, MirroredDcDrawsFiguresAsTheMirrorImage) {
    MirrorPair p;
    for (HDC dc : {p.plain, p.mirror}) {
        RECT r{0, 0, 5, 4};
        FillRect(dc, &r, (HBRUSH)GetStockObject(BLACK_BRUSH));
        HPEN pen = CreatePen(PS_SOLID, 1, kRed);
        auto oldPen = SelectObject(dc, pen);
        HBRUSH b = CreateSolidBrush(kBlue);
        auto oldBrush = SelectObject(dc, b);
        Rectangle(dc, 7, 1, 13, 6);
        Ellipse(dc, 14, 0, 22, 7);
        POINT line[] = {{1, 11}, {9, 6}, {25, 9}};
        Polyline(dc, line, 3);
        POINT tri[] = {{22, 2}, {29, 2}, {29, 8}};
        Polygon(dc, tri, 3);
        SetPixel(dc, 0, 9, kGreen);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(b);
        RECT focus{2, 6, 8, 11};
        DrawFocusRect(dc, &focus);
        // Application clipping is in logical coordinates too.
        int saved = SaveDC(dc);
        IntersectClipRect(dc, 20, 9, 30, 12);
        RECT all{0, 0, 30, 12};
        FillRect(dc, &all, (HBRUSH)GetStockObject(GRAY_BRUSH));
        RECT clipBox;
        GetClipBox(dc, &clipBox);
        EXPECT_EQ(clipBox.left, 20);
        EXPECT_EQ(clipBox.right, 30);
        RestoreDC(dc, saved);
    }
    EXPECT_TRUE(p.Mirrored());
    // Logical (0, 9) is the view's right-most column, and reads back.
    EXPECT_EQ(MirrorPair::At(p.mirrorSurface, 33, 11), 0x00FF00u);
    EXPECT_EQ(GetPixel(p.mirror, 0, 9), kGreen);
    // What was written is reported in the surface's own pixels.
    RECT dirty;
    ASSERT_TRUE(gdi::TakeSurfaceDirty(p.mirror, &dirty));
    EXPECT_EQ(dirty.right, 34);
}

TEST(GdiTextDirection, MirroredDcKeepsTextAndImagesReadable) {
    MirrorPair p;
    HFONT f = MakeFont(-11);
    for (HDC dc : {p.plain, p.mirror}) {
        SelectObject(dc, f);
        SetBkMode(dc, TRANSPARENT);
    }
    SIZE ab;
    GetTextExtentPoint32(p.plain, u"Ab", 2, &ab);
    // Text at logical x 2 stands with its right end 2 pixels from the
    // view's right edge, reading left to right.
    TextOut(p.mirror, 2, 0, u"Ab", 2);
    TextOut(p.plain, 30 - 2 - ab.cx, 0, u"Ab", 2);
    // An image keeps its orientation: only its place is mirrored.
    HBITMAP img = gdi::CreateSurface(4, 2);
    HDC src = CreateCompatibleDC(nullptr);
    auto oldBmp = SelectObject(src, img);
    SetPixel(src, 0, 0, kRed);
    SetPixel(src, 3, 1, kBlue);
    BitBlt(p.mirror, 1, 9, 4, 2, src, 0, 0, SRCCOPY);
    BitBlt(p.plain, 30 - 1 - 4, 9, 4, 2, src, 0, 0, SRCCOPY);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(MirrorPair::At(p.mirrorSurface, x, y), MirrorPair::At(p.plainSurface, x, y))
                << x << "," << y;
    // Reading back from a mirrored DC gives the image the right way round.
    HBITMAP back = gdi::CreateSurface(4, 2);
    HDC dst = CreateCompatibleDC(nullptr);
    auto oldBack = SelectObject(dst, back);
    BitBlt(dst, 0, 0, 4, 2, p.mirror, 1, 9, SRCCOPY);
    EXPECT_EQ(GetPixel(dst, 0, 0), kRed);
    EXPECT_EQ(GetPixel(dst, 3, 1), kBlue);
    SelectObject(dst, oldBack);
    SelectObject(src, oldBmp);
    DeleteDC(dst);
    DeleteDC(src);
    DeleteObject(back);
    DeleteObject(img);
    for (HDC dc : {p.plain, p.mirror}) SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

}  // namespace
