// Renderers: simple and value-map renderers read from layer files and map
// documents, written back, classes looked up by number and by text, and a
// value map drawing the features of a small table.
#include <cstring>

#include "map/symbology/label_renderer.h"
#include "map/symbology/renderer.h"
#include "tests/map/symbology_harness.h"

using namespace gditest;

namespace {

using RendererTest = SymbologyTest;

std::string Symbology(const std::string& inner) {
    return "<LAYER><SYMBOLOGY>" + inner + "</SYMBOLOGY><HYPERLINK field=\"URL\"/></LAYER>";
}

TEST_F(RendererTest, ReadsTheSymbologyElement) {
    struct Case {
        std::string xml;
        bool result;
        int classes;
        double refscale;
        int rotationType;
        const char16_t* rotationField;
    } cases[] = {
        {"<LAYER/>", false, 0, 7, 2, u""},
        {Symbology(""), false, 0, 7, 2, u""},
        // Only a label renderer: rotation and reference scales stay.
        {Symbology("<SIMPLELABELRENDERER field=\"N\"/>"), false, 0, 7, 2, u""},
        {Symbology("<SIMPLERENDERER/>"), true, 1, 0, 2, u""},
        {Symbology("<SIMPLERENDERER refscale=\"1:24000\" rotationfield=\"R\" rotationtype=\"Arithmetic\" "
                   "label=\"ignored\"><SIMPLELINESYMBOL/></SIMPLERENDERER>"),
         true, 1, 24000, 3, u"R"},
        // Without "1:" the scales stay as they are: 0 in the new class.
        {Symbology("<SIMPLERENDERER refscale=\"24000\" rotationtype=\"counterclockwise\"/>"), true, 1, 0, 1,
         u""},
        {Symbology("<SIMPLERENDERER refscale=\"1:2500,5\" rotationtype=\"spiral\"/>"), true, 1, 2500.5, 2,
         u""},
        // A value map needs EXACT or RANGE classes; OTHER alone is refused
        // (its refscale still reaches the classes already there).
        {Symbology("<VALUEMAPRENDERER lookupfield=\"K\" refscale=\"1:100\"><OTHER><SIMPLELINESYMBOL/></OTHER>"
                   "</VALUEMAPRENDERER>"),
         false, 0, 100, 2, u""},
        {Symbology("<VALUEMAPRENDERER lookupfield=\"K\" rotationtype=\"clockwise\"><EXACT value=\"1\"/>"
                   "<RANGE lower=\"2\" upper=\"3\"/><OTHER/></VALUEMAPRENDERER>"),
         true, 3, 0, 2, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        CRenderer r;
        auto doc = Parse(c.xml);
        if (c.classes == 0) {
            // Reference scales already there are kept when nothing is read.
            auto seed = Parse(Symbology("<SIMPLERENDERER refscale=\"1:7\"/>"));
            ASSERT_TRUE(r.ReadXml(seed->GetRoot()));
            r.m_hyperlinkField.clear();
        }
        EXPECT_EQ(r.ReadXml(doc->GetRoot()), c.result);
        if (c.result) {
            EXPECT_EQ(r.GetClassCount(), c.classes);
        }
        EXPECT_EQ(r.GetClass(0) ? r.GetClass(0)->m_referenceScale : 7, c.refscale);
        for (int i = 0; i < r.GetClassCount(); ++i) EXPECT_EQ(r.GetClass(i)->m_referenceScale, c.refscale);
        EXPECT_EQ(r.m_rotationType, c.rotationType);
        EXPECT_EQ(r.m_rotationField, c.rotationField);
        EXPECT_EQ(r.m_hyperlinkField, c.xml == "<LAYER/>" ? u"" : u"URL");
    }
}

TEST_F(RendererTest, FindsClassesByNumberAndByText) {
    auto doc = Parse(Symbology(
        "<VALUEMAPRENDERER lookupfield=\"K\">"
        "<EXACT value=\"A\" label=\"first A\"/><EXACT value=\"a\" label=\"second A\"/>"
        "<EXACT value=\"7\" label=\"first 7\"/><EXACT value=\"7.0\" label=\"second 7\"/>"
        "<RANGE lower=\"10\" upper=\"20\" label=\"10-20\"/>"
        "<EXACT value=\"north\" label=\"not a number\"/>"
        "<RANGE lower=\"m\" upper=\"p\" label=\"m-p\"/>"
        "</VALUEMAPRENDERER>"));
    CRenderer r;
    ASSERT_TRUE(r.ReadXml(doc->GetRoot()));
    ASSERT_EQ(r.GetClassCount(), 8);
    auto label = [](const CSymbol* s) { return s ? s->m_label : WString(u"none"); };
    struct Number {
        double value;
        const char16_t* label;
    } numbers[] = {  // texts that are no number match 0, the first of them wins{7, u"first 7"},  {10, u"10-20"}, {20, u"10-20"},         {15.5, u"10-20"},
                   {20.01, u"none"}, {9.99, u"none"}, {0, u"first A"}, {-1, u"none"}};
    for (const Number& n : numbers) EXPECT_EQ(label(r.FindClass(n.value)), n.label) << n.value;
    struct Text {
        const char16_t* value;
        const char16_t* label;
    } texts[] = {{u"A", u"second A"}, {u"7", u"first 7"},   {u"7.0", u"second 7"},
                 {u"15", u"10-20"},   {u"100", u"10-20"},    {u"2", u"10-20"},
                 {u"21", u"none"},    {u"NORTH", u"not a number"}, {u"NEW", u"m-p"},
                 {u"mango", u"m-p"},  {u"", u"none"}};
    for (const Text& t : texts)
        EXPECT_EQ(label(r.FindClass(WStringView(t.value))), t.label) << text::ToUtf8(t.value);
    EXPECT_EQ(r.FindClassIndex(u"A"), 2);
    EXPECT_EQ(r.FindClassIndex(u"zzz"), -1);
}

// Reads the layer file, writes the renderer and label renderer into a new
// one, reads that and compares class by class; the second write is the same.
TEST_F(RendererTest, LayerFileRoundTrip) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/symbology/all_symbols.znl", std::ios::binary);
    Put("data/all_symbols.znl", std::string(std::istreambuf_iterator<char>(in), {}));
    Put("data/pin.bmp", BitmapFile(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0}));
    CRenderer first;
    ASSERT_TRUE(first.ReadLayerFile(u"\\data\\all_symbols.znl"));
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\data\\all_symbols.znl"));
    CLabelRenderer labels;
    ASSERT_TRUE(labels.ReadFromLayer(doc.FindElement(u"LAYER", true)));

    ASSERT_EQ(first.GetClassCount(), 10);
    EXPECT_EQ(first.m_lookupField, u"KIND");
    EXPECT_EQ(first.m_rotationField, u"ROT");
    EXPECT_EQ(first.m_rotationType, 3);
    EXPECT_EQ(first.m_hyperlinkField, u"DOC");
    EXPECT_EQ(first.GetClass(1)->m_value, u"GAS");
    EXPECT_EQ(first.GetClass(2)->m_upper, u"20");
    EXPECT_EQ(first.GetClass(4)->m_glyph, 61473);
    EXPECT_NE(first.GetClass(5)->m_patternBitmap.get(), nullptr);
    EXPECT_NE(first.GetClass(6)->m_patternBitmap.get(), nullptr);
    EXPECT_EQ(first.GetClass(0)->m_fillMode, CSymbol::kFillNone);

    auto write = [&](const CRenderer& r, const CLabelRenderer& l) {
        return Write([&](CConfigXmlFile& out) {
            out.StartElement(-1, u"SYMBOLOGY", true);
            l.WriteXml(out);
            EXPECT_TRUE(r.WriteXml(out));
            out.EndElement(-1, u"SYMBOLOGY");
            out.WriteRaw(-1, u"<HYPERLINK field=\"DOC\"/>", true);
        });
    };
    std::string once = write(first, labels);
    Put("data/again.znl", once);
    CRenderer second;
    ASSERT_TRUE(second.ReadLayerFile(u"\\data\\again.znl"));
    CXmlDocument doc2;
    ASSERT_TRUE(doc2.LoadFile(u"\\data\\again.znl"));
    CLabelRenderer labels2;
    ASSERT_TRUE(labels2.ReadFromLayer(doc2.FindElement(u"LAYER", true)));

    ASSERT_EQ(second.GetClassCount(), first.GetClassCount());
    EXPECT_EQ(second.m_lookupField, first.m_lookupField);
    EXPECT_EQ(second.m_rotationField, first.m_rotationField);
    EXPECT_EQ(second.m_rotationType, first.m_rotationType);
    for (int i = 0; i < first.GetClassCount(); ++i) {
        SCOPED_TRACE(i);
        const CSymbol& a = *first.GetClass(i);
        const CSymbol& b = *second.GetClass(i);
        EXPECT_EQ(a.m_type, b.m_type);
        EXPECT_EQ(a.m_classKind, b.m_classKind);
        EXPECT_EQ(a.m_value, b.m_value);
        EXPECT_EQ(a.m_upper, b.m_upper);
        EXPECT_EQ(a.m_valueNumber, b.m_valueNumber);
        EXPECT_EQ(a.m_label, b.m_label);
        EXPECT_EQ(a.m_referenceScale, b.m_referenceScale);
        EXPECT_EQ(0, std::memcmp(&a.m_pen, &b.m_pen, sizeof a.m_pen));
        EXPECT_EQ(a.m_lineWidth, b.m_lineWidth);
        EXPECT_EQ(a.m_brushKind, b.m_brushKind);
        EXPECT_EQ(a.m_brushIndex, b.m_brushIndex);
        EXPECT_EQ(a.m_fillColor, b.m_fillColor);
        EXPECT_EQ(a.m_fillMode, b.m_fillMode);
        EXPECT_EQ(a.m_backgroundColor, b.m_backgroundColor);
        EXPECT_EQ(a.m_backgroundMode, b.m_backgroundMode);
        EXPECT_EQ(a.m_stippleWidth, b.m_stippleWidth);
        EXPECT_EQ(a.m_stippleHeight, b.m_stippleHeight);
        EXPECT_EQ(!a.m_stippleBits, !b.m_stippleBits);
        if (a.m_stippleBits)
            EXPECT_EQ(0, std::memcmp(a.m_stippleBits.get(), b.m_stippleBits.get(), 16));
        EXPECT_EQ(a.m_glyph, b.m_glyph);
        EXPECT_EQ(a.m_glyphColor, b.m_glyphColor);
        EXPECT_EQ(a.m_fontFace, b.m_fontFace);
        EXPECT_EQ(a.m_charSet, b.m_charSet);
        EXPECT_EQ(a.m_size, b.m_size);
        EXPECT_EQ(a.m_angle, b.m_angle);
        EXPECT_EQ(a.m_markerStyle, b.m_markerStyle);
        EXPECT_EQ(a.m_image, b.m_image);
        EXPECT_EQ(!a.m_patternBitmap, !b.m_patternBitmap);
    }
    EXPECT_EQ(labels2.m_field, labels.m_field);
    EXPECT_EQ(labels2.m_visible, true);
    EXPECT_EQ(labels2.m_minScale, 5000);
    EXPECT_EQ(labels2.m_maxScale, 250000);
    EXPECT_EQ(labels2.m_referenceScale, 10000);
    EXPECT_EQ(labels2.m_rotationField, u"ANGLE");
    const CTextSymbol& t1 = labels.m_textSymbol;
    const CTextSymbol& t2 = labels2.m_textSymbol;
    EXPECT_EQ(t2.m_size, 85);
    EXPECT_EQ(t2.m_angle, 125);
    EXPECT_EQ(t2.m_textColor, t1.m_textColor);
    EXPECT_TRUE(t2.m_blockout);
    EXPECT_EQ(t2.m_blockoutColor, RGB(250, 240, 230));
    EXPECT_EQ(t2.m_fontRecord.lfWeight, FW_BOLD);
    EXPECT_TRUE(t2.m_fontRecord.lfItalic);
    EXPECT_EQ(WString(t2.m_fontRecord.lfFaceName), u"DejaVu Sans");
    EXPECT_EQ(write(second, labels2), once);
}

TEST_F(RendererTest, ExporterLayerFileWithDecimalCommas) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/symbology/exporter_layer.znl", std::ios::binary);
    Put("x.znl", std::string(std::istreambuf_iterator<char>(in), {}));
    CRenderer r;
    ASSERT_TRUE(r.ReadLayerFile(u"\\x.znl"));
    ASSERT_EQ(r.GetClassCount(), 6);
    EXPECT_EQ(r.GetClass(0)->m_referenceScale, 12500.5);
    EXPECT_EQ(r.GetClass(0)->m_type, 0);  // OTHER without a symbol
    EXPECT_EQ(r.GetClass(1)->m_lineWidth, 0.4);
    EXPECT_EQ(r.GetClass(1)->m_fillMode, CSymbol::kFillSolid);
    EXPECT_EQ(r.GetClass(2)->m_fillMode, CSymbol::kFillNone);
    EXPECT_EQ(r.GetClass(2)->m_lineWidth, 1.5);
    EXPECT_EQ(r.GetClass(3)->m_size, 127);
    EXPECT_EQ(r.GetClass(3)->m_angle, -125);
    EXPECT_EQ(r.GetClass(3)->m_charSet, SYMBOL_CHARSET);
    EXPECT_EQ(r.GetClass(4)->m_lineWidth, 2.7);
    EXPECT_EQ(r.GetClass(4)->m_pen.lopnWidth.x, 2);
    EXPECT_EQ(r.GetClass(5)->m_size, 4);
    EXPECT_EQ(r.m_hyperlinkField, u"URL");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\x.znl"));
    CLabelRenderer l;
    ASSERT_TRUE(l.ReadFromLayer(doc.FindElement(u"LAYER", true)));
    EXPECT_EQ(l.m_referenceScale, 2500.5);
    EXPECT_EQ(l.m_minScale, 500);
    EXPECT_EQ(l.m_textSymbol.m_size, 82);
    EXPECT_EQ(l.m_textSymbol.m_angle, 225);
    EXPECT_EQ(l.m_textSymbol.m_fontRecord.lfWeight, FW_BOLD);
}

TEST_F(RendererTest, LayerFileFaults) {
    Put("bad.znl", "<Zarnip><LAYER>");
    Put("root.znl", "<Other><LAYER><SYMBOLOGY><SIMPLERENDERER/></SYMBOLOGY></LAYER></Other>");
    Put("nolayer.znl", "<Zarnip><MAP/></Zarnip>");
    CRenderer r;
    EXPECT_FALSE(r.ReadLayerFile(u"\\missing.znl"));
    EXPECT_FALSE(r.ReadLayerFile(u"\\bad.znl"));
    EXPECT_FALSE(r.ReadLayerFile(u"\\root.znl"));
    EXPECT_FALSE(r.ReadLayerFile(u"\\nolayer.znl"));
    EXPECT_EQ(MessageTexts(), (std::vector<WString>{
                                  u"Error parsing \\bad.znl",
                                  u"Error in \\root.znl, the root tag is not Zarnip."}));
    EXPECT_EQ(r.GetClassCount(), 0);
}

// A table of features drawn through a value map, one 3 x 3 square each in a
// row: the class is looked up as the layer does, counted, and drawn when
// visible; class 0 (no OTHER) draws a thin black outline without fill.
TEST_F(RendererTest, ValueMapDrawsATable) {
    auto doc = Parse(Symbology(
        "<VALUEMAPRENDERER lookupfield=\"K\">"
        "<EXACT value=\"A\"><SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" filltype=\"solid\" boundarytransparency=\"0\"/></EXACT>"
        "<EXACT value=\"A\"><SIMPLEPOLYGONSYMBOL fillcolor=\"0,255,0\" filltype=\"solid\" boundarytransparency=\"0\"/></EXACT>"
        "<RANGE lower=\"10\" upper=\"20\"><SIMPLEPOLYGONSYMBOL fillcolor=\"0,0,255\" filltype=\"solid\" boundarytransparency=\"0\"/></RANGE>"
        "<EXACT value=\"off\"><SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,0\" filltype=\"solid\" boundarytransparency=\"0\"/></EXACT>"
        "<EXACT value=\"10\"><SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,0\" filltype=\"solid\" boundarytransparency=\"0\"/></EXACT>"
        "</VALUEMAPRENDERER>"));
    CRenderer r;
    ASSERT_TRUE(r.ReadXml(doc->GetRoot()));
    r.GetClass(4)->m_visible = false;  // switched off in the legend
    auto draw = [&](Canvas& c, int i, CSymbol* s) {
        if (!s) s = r.GetClass(0);
        s->m_drawCount++;
        if (!s->m_visible) return;
        std::vector<POINT> pts = {{4 * i, 0}, {4 * i + 4, 0}, {4 * i + 4, 4}, {4 * i, 4}, {4 * i, 0}};
        pts.insert(pts.end(), pts.begin(), pts.end());
        pts.push_back(pts[0]);
        uint8_t start[4] = {};
        FillSymbolPolygon(c.dc, *s, pts.data(), 5, start, 1, 0);
    };
    // Text field: "a" upper-cased takes the second A; "15" and "100" lie
    // between "10" and "20" as texts; "off" counts but is not drawn.
    const char16_t* texts[] = {u"a", u"15", u"100", u"OFF", u"zzz"};
    Canvas t(21, 5);
    r.ResetDrawCounts();
    for (int i = 0; i < 5; ++i) draw(t, i, r.FindClass(WStringView(text::ToUpper(texts[i]))));
    EXPECT_PICTURE(t, "ggggbbbbbbbb....#####",
                      "ggggbbbbbbbb....#...#",
                      "ggggbbbbbbbb....#...#",
                      "ggggbbbbbbbb....#...#",
                      "................#####");
    EXPECT_EQ(r.GetClass(4)->m_drawCount, 1);
    EXPECT_EQ(r.GetClass(2)->m_drawCount, 1);
    EXPECT_EQ(r.GetClass(3)->m_drawCount, 2);
    // Number field: 10 is the range's first class (before the EXACT 10),
    // 20 lies in the range, 21 takes class 0.
    double numbers[] = {10, 20, 21};
    Canvas n(13, 5);
    r.ResetDrawCounts();
    for (int i = 0; i < 3; ++i) draw(n, i, r.FindClass(numbers[i]));
    EXPECT_PICTURE(n, "bbbbbbbb#####",
                      "bbbbbbbb#...#",
                      "bbbbbbbb#...#",
                      "bbbbbbbb#...#",
                      "........#####");
    EXPECT_EQ(r.GetClass(0)->m_drawCount, 1);
}

TEST_F(RendererTest, MapDocumentFormOfASimpleRenderer) {
    auto doc = Parse(Symbology("<SIMPLERENDERER refscale=\"1:5000\" rotationfield=\"ROT\" rotationtype=\"counterclockwise\">"
                               "<SIMPLEMARKERSYMBOL width=\"0\"/></SIMPLERENDERER>"));
    CRenderer r;
    ASSERT_TRUE(r.ReadXml(doc->GetRoot()));
    bool visible = true;
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& out) { r.WriteXml(out, &visible); }),
              "<SIMPLERENDERER visible=\"true\" refscale=\"1:5000\" rotationfield=\"ROT\" "
              "rotationtype=\"counterclockwise\">\n"
              "<SIMPLEMARKERSYMBOL color=\"0,0,0\" width=\"0\" type=\"circle\" outline=\"0,0,0\"/>\n"
              "</SIMPLERENDERER>\n");
    CRenderer empty;
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& out) { EXPECT_FALSE(empty.WriteXml(out)); }), "");
}


// New feature layers take the preferences' default symbol of their display
// class; other classes keep theirs.
TEST_F(RendererTest, FeatureLayerTakesTheDefaultSymbolOfItsClass) {
    PreferencesData& prefs = GetPreferences()->Data();
    auto doc = Parse("<SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" filltype=\"cross\"/>");
    ASSERT_TRUE(prefs.defaultsymbols.polygon.ReadXml(doc->GetRoot(), false));
    prefs.defaultsymbols.point.m_size = 5;
    prefs.defaultsymbols.line.SetLineWidth(2.5);
    struct Case {
        DisplayClass displayClass;
        int type;
    } cases[] = {{DisplayClass::Point, 1}, {DisplayClass::Line, 2}, {DisplayClass::Polygon, 3},
                 {DisplayClass::OtherFeatures, 0}};
    for (const Case& c : cases) {
        CFieldsLayer layer({u"NAME"});
        layer.SetDisplayClass(c.displayClass);
        layer.SetDefaultSymbol();
        const CSymbol& s = layer.m_defaultSymbol;
        EXPECT_EQ(s.m_type, c.type) << static_cast<int>(c.displayClass);
        if (c.type == 1) EXPECT_EQ(s.m_size, 5);
        if (c.type == 2) EXPECT_EQ(s.m_lineWidth, 2.5);
        if (c.type == 3) {
            EXPECT_EQ(s.m_fillMode, CSymbol::kFillHatch);
            EXPECT_EQ(s.m_brushIndex, HS_CROSS);
            EXPECT_EQ(s.m_fillColor, RGB(255, 0, 0));
            ASSERT_NE(s.m_brush, nullptr);
            EXPECT_NE(s.m_brush, prefs.defaultsymbols.polygon.m_brush);  // a brush of its own
        }
    }
}

}  // namespace
