// TrueType markers: the glyph placed about the point at angles, the one
// cached marker font and its offsets, a face that is not installed, and
// glyphs too small at the map scale.
#include "tests/map/symbology_harness.h"

using namespace gditest;

namespace {

using MarkerTest = SymbologyTest;

std::unique_ptr<CSymbol> Glyph(const std::string& attrs) {
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(text::FromUtf8("<TRUETYPEMARKERSYMBOL fontcolor=\"255,0,0\" " + attrs + "/>")));
    auto s = std::make_unique<CSymbol>();
    EXPECT_TRUE(s->ReadXml(doc.GetRoot(), false));
    return s;
}

TEST_F(MarkerTest, GlyphAtAnglesAboutThePoint) {
    // DejaVu Sans is installed; "L" at 8 points with the symbol's own angle
    // of 10 degrees, drawn anti-aliased ('?' marks the partly covered pixels).
    auto s = Glyph("font=\"DejaVu Sans\" character=\"76\" fontsize=\"8\" angle=\"10\"");
    Canvas a(24, 24);
    SIZE half = s->DrawMarker(a.dc, 12, 12, 0, 0, 0);
    EXPECT_PICTURE(a, "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "............??..........",
                   "............??..........",
                   "............???.........",
                   ".............??.........",
                   ".............??.........",
                   ".............??.........",
                   ".............??????.....",
                   ".............??????.....",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................");
    EXPECT_EQ(half.cx, half.cy);
    // Turned 90 degrees counter-clockwise by a rotation field.
    Canvas b(24, 24);
    SIZE turned = s->DrawMarker(b.dc, 12, 12, 1, 900, 0);
    EXPECT_PICTURE(b, "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   ".............??.........",
                   ".............??.........",
                   ".............??.........",
                   ".............??.........",
                   ".........??????.........",
                   ".......????????.........",
                   ".......???..............",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................",
                   "........................");
    EXPECT_EQ(turned.cx, half.cx);
}

TEST_F(MarkerTest, CachedFontKeepsItsOffsetsAndExtents) {
    auto glyph = Glyph("font=\"DejaVu Sans\" character=\"87\" fontsize=\"12\"");
    auto square = std::make_unique<CSymbol>(CSymbol::kTypeSimpleMarker);
    Canvas first(24, 24), second(24, 24);
    SIZE a = glyph->DrawMarker(first.dc, 12, 12, 0, 0, 0);
    SIZE s = square->DrawMarker(second.dc, 2, 2, 0, 0, 0);
    EXPECT_EQ(s.cx, 4);
    // The same font again: no new font, the same glyph position and extents.
    int live = gdi::LiveObjectCount();
    Canvas again(24, 24);
    int liveWithCanvas = gdi::LiveObjectCount();
    SIZE b = glyph->DrawMarker(again.dc, 12, 12, 0, 0, 0);
    EXPECT_EQ(gdi::LiveObjectCount(), liveWithCanvas);
    EXPECT_EQ(b.cx, a.cx);
    EXPECT_EQ(b.cy, a.cy);
    EXPECT_GT(a.cx, 2);
    EXPECT_EQ(first.Pixels(), again.Pixels());
    (void)live;
}

TEST_F(MarkerTest, FaceNotInstalledDrawsADot) {
    // 10 points are 13 pixels high at 96 dpi: a dot 13 across in the glyph colour.
    auto s = Glyph("font=\"Zarnip Symbols Not Installed\" character=\"65\" fontsize=\"10\" charset=\"Symbol\"");
    Canvas c(17, 17);
    SIZE half = s->DrawMarker(c.dc, 8, 8, 0, 0, 0);
    EXPECT_EQ(half.cx, 6);
    EXPECT_EQ(half.cy, 6);
    EXPECT_PICTURE(c, ".................",
                   ".................",
                   "......rrrrr......",
                   "....rrrrrrrrr....",
                   "...rrrrrrrrrrr...",
                   "...rrrrrrrrrrr...",
                   "..rrrrrrrrrrrrr..",
                   "..rrrrrrrrrrrrr..",
                   "..rrrrrrrrrrrrr..",
                   "..rrrrrrrrrrrrr..",
                   "..rrrrrrrrrrrrr..",
                   "...rrrrrrrrrrr...",
                   "...rrrrrrrrrrr...",
                   "....rrrrrrrrr....",
                   "......rrrrr......",
                   ".................",
                   ".................");
    // Nothing of it is left selected or alive.
    EXPECT_EQ(GetTextColor(c.dc), kBlack);
}

TEST_F(MarkerTest, TooSmallAtTheMapScaleIsOnePixel) {
    // 10 points at reference scale 1000 and map scale 30000: 3 tenths.
    auto s = Glyph("font=\"DejaVu Sans\" character=\"87\" fontsize=\"10\"");
    s->m_referenceScale = 1000;
    Canvas c(5, 5);
    SIZE half = s->DrawMarker(c.dc, 2, 2, 0, 0, 30000);
    EXPECT_PICTURE(c, ".....", ".....", "..r..", ".....", ".....");
    EXPECT_EQ(half.cx, 1);
    // The same for a face that is not installed.
    auto missing = Glyph("font=\"Not Installed\" fontsize=\"10\"");
    missing->m_referenceScale = 1000;
    Canvas d(5, 5);
    missing->DrawMarker(d.dc, 2, 2, 0, 0, 30000);
    EXPECT_PICTURE(d, ".....", ".....", "..r..", ".....", ".....");
    s.reset();
    missing.reset();
}

TEST_F(MarkerTest, LiveObjectsReturnOnceTheCachesAreReset) {
    {
        auto a = Glyph("font=\"DejaVu Sans\" character=\"87\" fontsize=\"12\"");
        auto b = Glyph("font=\"DejaVu Sans\" character=\"65\" fontsize=\"9\" angle=\"30\"");
        auto line = std::make_unique<CSymbol>(CSymbol::kTypeSimpleLine);
        Canvas c(24, 24);
        for (int i = 0; i < 3; ++i) {
            a->DrawMarker(c.dc, 12, 12, 2, 450, 0);
            b->DrawMarker(c.dc, 12, 12, 0, 0, 0);
            line->SelectPen(c.dc, 0);
        }
        SelectObject(c.dc, GetStockObject(BLACK_PEN));
    }
    CSymbol::ResetCaches();
    EXPECT_EQ(gdi::LiveObjectCount(), liveAtStart_);
}

}  // namespace
