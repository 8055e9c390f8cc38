// Text symbols and label renderers: the style words, blockout, sizes and
// scales read and written, the font selected for a map scale, and labels
// drawn at an angle, anchored at the top-left of their cell.
#include <fstream>

#include "map/symbology/label_renderer.h"
#include "tests/map/symbology_harness.h"

using namespace gditest;

namespace {

class LabelTest : public SymbologyTest {
protected:
    void SetUp() override {
        SymbologyTest::SetUp();
        // Plain character rows: glyphs without anti-aliasing.
        GetPreferences()->Data().fonts.label.lfQuality = NONANTIALIASED_QUALITY;
    }
    static LOGFONT Selected(HDC dc) {
        LOGFONT lf;
        GetObject(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
        return lf;
    }
};

TEST_F(LabelTest, TextSymbolStyleWords) {
    struct Read {
        const char* style;
        int weight, italic, underline, strike;
    } reads[] = {
        {"bold,italic", 700, 1, 0, 0}, {"bolditalic", 700, 1, 0, 0}, {"Bold", 400, 0, 0, 0},
        {"regular", 400, 0, 0, 0},     {"underline strikeout", 400, 0, 1, 1},
    };
    for (const Read& r : reads) {
        SCOPED_TRACE(r.style);
        CTextSymbol t;
        ASSERT_TRUE(t.ReadXml(Parse(std::string("<TEXTSYMBOL fontstyle=\"") + r.style + "\"/>")->GetRoot(),
                              nullptr));
        EXPECT_EQ(t.m_fontRecord.lfWeight, r.weight);
        EXPECT_EQ(t.m_fontRecord.lfItalic, r.italic);
        EXPECT_EQ(t.m_fontRecord.lfUnderline, r.underline);
        EXPECT_EQ(t.m_fontRecord.lfStrikeOut, r.strike);
    }
    struct Written {
        int weight, italic, underline, strike;
        const char* words;
    } writes[] = {
        {400, 0, 0, 0, "regular"},   {700, 0, 0, 0, "bold"},         {400, 1, 0, 0, "italic"},
        {700, 1, 0, 0, "bolditalic"}, {400, 0, 1, 0, "underline"},    {400, 0, 0, 1, "normal,strikeout"},
        {700, 0, 1, 0, "bold,underline"}, {700, 1, 1, 1, "bold,italic,underline,strikeout"},
    };
    for (const Written& w : writes) {
        CTextSymbol t;
        t.m_fontRecord.lfWeight = w.weight;
        t.m_fontRecord.lfItalic = w.italic;
        t.m_fontRecord.lfUnderline = w.underline;
        t.m_fontRecord.lfStrikeOut = w.strike;
        std::string out = WriteBody([&](CConfigXmlFile& o) { t.WriteXml(o); });
        EXPECT_NE(out.find(std::string("fontstyle=\"") + w.words + "\""), std::string::npos) << out;
    }
}

TEST_F(LabelTest, TextSymbolReadAndWritten) {
    const LOGFONT& prefs = GetPreferences()->Data().fonts.label;
    // A new text symbol starts from the preferences' label font: -13 is 9 points.
    CTextSymbol fresh;
    EXPECT_EQ(WString(fresh.m_fontRecord.lfFaceName), u"Tahoma");
    EXPECT_EQ(fresh.m_size, 90);

    CTextSymbol t;
    ASSERT_TRUE(t.ReadXml(Parse("<TEXTSYMBOL fontcolor=\"1,2,3\" blockout=\"\" fontsize=\"8.5\"/>")->GetRoot(),
                          &prefs));
    EXPECT_TRUE(t.m_read);
    EXPECT_EQ(t.m_textColor, RGB(1, 2, 3));
    EXPECT_TRUE(t.m_blockout);  // present, whatever its value
    EXPECT_EQ(t.m_blockoutColor, RGB(255, 255, 255));
    EXPECT_EQ(WString(t.m_fontRecord.lfFaceName), u"Tahoma");
    EXPECT_EQ(t.m_size, 85);
    // 8.5 points are written back as 8.5 and drawn at 8.
    Canvas c(4, 4);
    HFONT old = t.SelectInto(c.dc);
    EXPECT_EQ(Selected(c.dc).lfHeight, FontPointsToHeight(8));
    EXPECT_EQ(GetBkMode(c.dc), OPAQUE);
    SelectObject(c.dc, old);
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& o) { t.WriteXml(o); }),
              "<TEXTSYMBOL fontcolor=\"1,2,3\" blockout=\"255,255,255\" font=\"Tahoma\" fontstyle=\"regular\" "
              "fontsize=\"8.5\"/>\n");

    // Without the attribute blockout is off; no fontsize: the default's points.
    CTextSymbol u;
    u.m_blockout = true;
    ASSERT_TRUE(u.ReadXml(Parse("<TEXTSYMBOL font=\"DejaVu Serif\" angle=\"-12.5\"/>")->GetRoot(), &prefs));
    EXPECT_FALSE(u.m_blockout);
    EXPECT_EQ(u.m_size, 90);
    EXPECT_EQ(u.m_angle, -125);
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& o) { u.WriteXml(o); }),
              "<TEXTSYMBOL fontcolor=\"0,0,0\" font=\"DejaVu Serif\" fontstyle=\"regular\" fontsize=\"9\" "
              "angle=\"-12.5\"/>\n");
    // No default: size 0, which is not written.
    CTextSymbol v;
    ASSERT_TRUE(v.ReadXml(Parse("<TEXTSYMBOL/>")->GetRoot(), nullptr));
    EXPECT_EQ(v.m_size, 0);
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& o) { v.WriteXml(o); }),
              "<TEXTSYMBOL fontcolor=\"0,0,0\" font=\"\" fontstyle=\"regular\"/>\n");
    EXPECT_FALSE(v.ReadXml(nullptr, &prefs));
}

TEST_F(LabelTest, ScaledSelection) {
    struct Case {
        int size;
        double factor;
        int height;  // 0: nothing selected
    } cases[] = {
        {80, 10000.0 / 25000, FontPointsToHeight(3)},  // s = 32: 3 points, 4 pixels
        {80, 10000.0 / 200000, 0},                      // s = 4, below 6
        {100, 0.35, FontPointsToHeight(3)},
        {100, 0.25, 0},  // 2 points are 2 pixels, below 4
        {100, 1, FontPointsToHeight(10)},
        {100, 2, FontPointsToHeight(20)},
        {100, 1e300, FontPointsToHeight(10000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        CTextSymbol t;
        t.m_size = c.size;
        Canvas cv(4, 4);
        HFONT before = reinterpret_cast<HFONT>(GetCurrentObject(cv.dc, OBJ_FONT));
        HFONT old = t.SelectScaled(cv.dc, c.factor, 0);
        if (c.height == 0) {
            EXPECT_EQ(old, nullptr);
            EXPECT_EQ(reinterpret_cast<HFONT>(GetCurrentObject(cv.dc, OBJ_FONT)), before);
        } else {
            EXPECT_EQ(old, before);
            EXPECT_EQ(Selected(cv.dc).lfHeight, c.height);
            SelectObject(cv.dc, old);
        }
    }
}

TEST_F(LabelTest, LabelRendererScales) {
    struct Case {
        const char* attrs;
        double min, max, ref;
    } cases[] = {
        {"minscale=\"1:5000\" maxscale=\"1:250000,5\" refscale=\"1:10000\"", 5000, 250000.5, 10000},
        // No "1:": unchanged; only the second character is looked at.
        {"minscale=\"5000\" maxscale=\"\" refscale=\"x:7\"", 1, 2, 7},
        {"", 1, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs);
        CLabelRenderer l;
        l.m_minScale = 1;
        l.m_maxScale = 2;
        l.m_referenceScale = 3;
        ASSERT_TRUE(l.ReadXml(Parse(std::string("<SIMPLELABELRENDERER field=\"N\" ") + c.attrs + "/>")->GetRoot()));
        EXPECT_EQ(l.m_minScale, c.min);
        EXPECT_EQ(l.m_maxScale, c.max);
        EXPECT_EQ(l.m_referenceScale, c.ref);
        EXPECT_FALSE(l.m_visible);
    }
    CLabelRenderer l;
    l.m_field = u"NAME";
    l.m_minScale = 5000;
    l.m_textSymbol.m_size = 100;
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& o) { l.WriteXml(o); }),
              "<SIMPLELABELRENDERER field=\"NAME\" minscale=\"1:5000\">\n"
              "<TEXTSYMBOL fontcolor=\"0,0,0\" font=\"Tahoma\" fontstyle=\"regular\" fontsize=\"10\"/>\n"
              "</SIMPLELABELRENDERER>\n");
    // The rotation field is written, so a map document keeps the layer file's.
    l.m_visible = true;
    l.m_minScale = 0;
    l.m_maxScale = 20000;
    l.m_rotationField = u"ANGLE";
    std::string out = WriteBody([&](CConfigXmlFile& o) { l.WriteXml(o); });
    EXPECT_EQ(out.substr(0, out.find('\n')),
              "<SIMPLELABELRENDERER field=\"NAME\" visible=\"true\" maxscale=\"1:20000\" rotationfield=\"ANGLE\">");
    CLabelRenderer back;
    ASSERT_TRUE(back.ReadXml(Parse(out)->GetRoot()));
    EXPECT_EQ(back.m_rotationField, u"ANGLE");
    EXPECT_TRUE(back.m_visible);
    EXPECT_EQ(back.m_maxScale, 20000);
    for (double s : {0.0, 20000.0, 1.0}) EXPECT_TRUE(back.IsInScaleRange(s)) << s;
    EXPECT_FALSE(back.IsInScaleRange(20000.5));
    back.m_minScale = 500;
    EXPECT_TRUE(back.IsInScaleRange(500));
    EXPECT_FALSE(back.IsInScaleRange(499));
    // A layer element without SYMBOLOGY or without the label renderer: false.
    EXPECT_FALSE(back.ReadFromLayer(Parse("<LAYER/>")->GetRoot()));
    EXPECT_FALSE(back.ReadFromLayer(Parse("<LAYER><SYMBOLOGY/></LAYER>")->GetRoot()));
}

// A label at 45 degrees: the text's cell starts at the point and turns
// counter-clockwise about it; with blockout the cell is painted first.
TEST_F(LabelTest, LabelAt45Degrees) {
    CLabelRenderer l;
    ASSERT_TRUE(l.ReadXml(Parse("<SIMPLELABELRENDERER field=\"N\"><TEXTSYMBOL font=\"DejaVu Sans\" "
                                "fontcolor=\"255,0,0\" fontsize=\"7\" angle=\"45\"/></SIMPLELABELRENDERER>")
                              ->GetRoot()));
    EXPECT_EQ(l.m_textSymbol.m_angle, 450);
    Canvas c(16, 14);
    HFONT old = l.SelectFont(c.dc, 0);
    ASSERT_NE(old, nullptr);
    // (2, 5) is the top-left corner of the cell: the blockout below shows it.
    ExtTextOut(c.dc, 2, 5, 0, nullptr, u"L", 1, nullptr);
    SelectObject(c.dc, old);
    EXPECT_PICTURE(c, "................",
                   "................",
                   "................",
                   "................",
                   "................",
                   "....r...........",
                   ".....r..........",
                   "......r...rr....",
                   ".......r.rr.....",
                   "........rr......",
                   "................",
                   "................",
                   "................",
                   "................");
    CLabelRenderer b;
    ASSERT_TRUE(b.ReadXml(Parse("<SIMPLELABELRENDERER field=\"N\"><TEXTSYMBOL font=\"DejaVu Sans\" "
                                "fontcolor=\"255,0,0\" blockout=\"0,0,255\" fontsize=\"7\" angle=\"45\"/>"
                                "</SIMPLELABELRENDERER>")
                              ->GetRoot()));
    Canvas d(16, 14);
    old = b.SelectFont(d.dc, 0);
    ExtTextOut(d.dc, 2, 5, 0, nullptr, u"L", 1, nullptr);
    SelectObject(d.dc, old);
    EXPECT_PICTURE(d, "................",
                   "................",
                   ".....bb.........",
                   "....bbbb........",
                   "...bbbbbb.......",
                   "..bbrbbbbb......",
                   "...bbrbbbbb.....",
                   "....bbrbbbrr....",
                   ".....bbrbrrbb...",
                   "......bbrrbbb...",
                   ".......bbbbb....",
                   "........bbb.....",
                   "................",
                   "................");
}

TEST_F(LabelTest, LabelsScaleWithTheReferenceScale) {
    CLabelRenderer l;
    ASSERT_TRUE(l.ReadXml(Parse("<SIMPLELABELRENDERER field=\"N\" refscale=\"1:10000\"><TEXTSYMBOL "
                                "font=\"DejaVu Sans\" fontsize=\"8\"/></SIMPLELABELRENDERER>")
                              ->GetRoot()));
    Canvas c(12, 8);
    HFONT old = l.SelectFont(c.dc, 25000);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(Selected(c.dc).lfHeight, FontPointsToHeight(3));
    ExtTextOut(c.dc, 1, 1, 0, nullptr, u"H", 1, nullptr);
    SelectObject(c.dc, old);
    EXPECT_PICTURE(c, "............",
                   "............",
                   "..##........",
                   "..##........",
                   "..##........",
                   "............",
                   "............",
                   "............");
    EXPECT_EQ(l.SelectFont(c.dc, 200000), nullptr);
    // Rotated labels scale the same way.
    old = l.SelectFontRotated(c.dc, 25000, 900);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(Selected(c.dc).lfEscapement, 900);
    EXPECT_EQ(Selected(c.dc).lfHeight, FontPointsToHeight(3));
    SelectObject(c.dc, old);
    old = l.SelectFontRotated(c.dc, 0, 900);
    EXPECT_EQ(Selected(c.dc).lfHeight, FontPointsToHeight(8));
    SelectObject(c.dc, old);
}

// One label as it is usually drawn, anti-aliased, against a stored picture
// that was looked at once (tests/data/symbology/label_aa.ppm). Set
// ZN_WRITE_PICTURES=1 to write it again after a deliberate change.
TEST_F(LabelTest, AntiAliasedLabelMatchesTheStoredPicture) {
    CTextSymbol t(GetPreferences()->Data().fonts.label);
    ASSERT_TRUE(t.ReadXml(Parse("<TEXTSYMBOL font=\"DejaVu Sans\" fontsize=\"9\" fontcolor=\"0,0,128\"/>")
                              ->GetRoot(),
                          nullptr));
    EXPECT_EQ(t.m_fontRecord.lfQuality, 0);
    Canvas c(24, 16);
    HFONT old = t.SelectInto(c.dc);
    ExtTextOut(c.dc, 2, 1, 0, nullptr, u"Ab", 2, nullptr);
    SelectObject(c.dc, old);
    std::string path = std::string(ZN_TEST_DATA) + "/symbology/label_aa.ppm";
    std::string ppm = "P3\n24 16\n255\n";
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            COLORREF p = c.At(x, y);
            ppm += std::to_string(GetRValue(p)) + " " + std::to_string(GetGValue(p)) + " " +
                   std::to_string(GetBValue(p)) + (x == 23 ? "\n" : "  ");
        }
    }
    if (getenv("ZN_WRITE_PICTURES")) std::ofstream(path) << ppm;
    std::ifstream in(path);
    std::string stored((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(ppm, stored);
}

}  // namespace
