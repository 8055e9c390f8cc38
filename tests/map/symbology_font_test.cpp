// Point sizes and font heights at 96 dpi and the font attributes of layer
// files, map documents and the preferences.
#include "tests/map/symbology_harness.h"

namespace {

using FontTest = SymbologyTest;

LOGFONT Font(const char16_t* face, int height, int weight, BYTE charSet, bool italic = false,
             bool underline = false, bool strike = false) {
    LOGFONT lf;
    for (int i = 0; face[i]; ++i) lf.lfFaceName[i] = face[i];
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = charSet;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfStrikeOut = strike;
    return lf;
}

WString Face(const LOGFONT& lf) { return WString(lf.lfFaceName); }

TEST_F(FontTest, PointsAndHeightsTruncateAt96Dpi) {
    EXPECT_EQ(FontHeightToPoints(-13), 9);  // 9.75
    EXPECT_EQ(FontPointsToHeight(9), -12);
    EXPECT_EQ(FontPointsToHeight(11), -14);  // 14.67
    EXPECT_EQ(FontHeightToPoints(10), 10);   // positive: already points
    EXPECT_EQ(FontHeightToPoints(0), 0);
    // Extreme heights do not overflow.
    EXPECT_EQ(FontHeightToPoints(INT_MIN), static_cast<int>(2147483647LL * 72 / 96));
    EXPECT_EQ(FontPointsToHeight(INT_MAX), -INT_MAX);
    // The resolution is read once; a reset reads it again.
    gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 192, 192});
    EXPECT_EQ(FontPointsToHeight(9), -12);
    ResetFontMetricsForTests();
    EXPECT_EQ(FontPointsToHeight(9), -24);
}

TEST_F(FontTest, WrittenAttributes) {
    struct Case {
        LOGFONT font;
        const char* line;
    } cases[] = {
        // -13 is 9.75 points; 10 points reads back as -13.
        {Font(u"Tahoma", -13, 400, 186), "<F font=\"Tahoma\" fontsize=\"10\" charset=\"Baltic\" fontstyle=\"normal\"/>\n"},
        {Font(u"Arial", -16, 700, 3), "<F font=\"Arial\" fontsize=\"12\" charset=\"3\" fontstyle=\"bold\"/>\n"},
        {Font(u"A&B", 0, 400, 0), "<F font=\"A&amp;B\" charset=\"ANSI\" fontstyle=\"normal\"/>\n"},
        {Font(u"X", 10, 400, 161, false, false, true), "<F font=\"X\" fontsize=\"10\" charset=\"Greek\" fontstyle=\"normal,strikeout\"/>\n"},
        {Font(u"X", -11, 700, 0, true, true, false), "<F font=\"X\" fontsize=\"8\" charset=\"ANSI\" fontstyle=\"bold,italic,underline\"/>\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WriteBody([&](CConfigXmlFile& out) { WriteFontAttributes(out, u"F", c.font); }),
                  c.line);
    }
}

TEST_F(FontTest, ReadAttributes) {
    LOGFONT lf;
    // Only fontsize, no default: Tahoma, 12 points, ANSI, regular weight.
    auto doc = Parse("<F fontsize=\"12\"/>");
    ASSERT_TRUE(ReadFontAttributes(doc->GetRoot(), lf, nullptr));
    EXPECT_EQ(Face(lf), u"Tahoma");
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfCharSet, 0);
    EXPECT_EQ(lf.lfWeight, 400);

    struct Case {
        const char* xml;
        int height, weight, charSet, italic, underline, strike;
    } cases[] = {
        {"<F charset=\"greek\" fontstyle=\"bold,italic\"/>", -13, 700, 161, 1, 0, 0},
        {"<F charset=\"EAST EUROPE\" fontstyle=\"bolditalic\"/>", -13, 700, 238, 1, 0, 0},
        {"<F charset=\"77\" fontstyle=\"Bold\"/>", -13, 400, 77, 0, 0, 0},
        {"<F charset=\"nonsense\" fontstyle=\"underline|strikeout\"/>", -13, 400, 0, 0, 1, 1},
        {"<F fontsize=\"8,5\"/>", -10, 400, 0, 0, 0, 0},  // the exporter's decimal comma
        {"<F fontsize=\"1e300\"/>", -INT_MAX, 400, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        auto d = Parse(c.xml);
        ASSERT_TRUE(ReadFontAttributes(d->GetRoot(), lf, nullptr));
        EXPECT_EQ(lf.lfHeight, c.height == -13 ? FontPointsToHeight(10) : c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        EXPECT_EQ(lf.lfCharSet, c.charSet);
        EXPECT_EQ(lf.lfItalic, c.italic);
        EXPECT_EQ(lf.lfUnderline, c.underline);
        EXPECT_EQ(lf.lfStrikeOut, c.strike);
    }

    // A default gives the face and size, but not its character set.
    LOGFONT def = Font(u"Courier New", -16, 700, 186);
    auto d = Parse("<F fontstyle=\"italic\"/>");
    ASSERT_TRUE(ReadFontAttributes(d->GetRoot(), lf, &def));
    EXPECT_EQ(Face(lf), u"Courier New");
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfCharSet, 0);
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_TRUE(lf.lfItalic);
    // A face longer than the record keeps 31 characters.
    auto longFace = Parse("<F font=\"" + std::string(40, 'x') + "\"/>");
    ASSERT_TRUE(ReadFontAttributes(longFace->GetRoot(), lf, nullptr));
    EXPECT_EQ(Face(lf), WString(31, u'x'));

    // Without an element: false, the record holds the default; with neither: false, untouched.
    lf = Font(u"Keep", -1, 1, 1);
    EXPECT_FALSE(ReadFontAttributes(nullptr, lf, &def));
    EXPECT_EQ(Face(lf), u"Courier New");
    lf = Font(u"Keep", -1, 1, 1);
    EXPECT_FALSE(ReadFontAttributes(nullptr, lf, nullptr));
    EXPECT_EQ(Face(lf), u"Keep");

    EXPECT_FALSE(HasFontAttributes(Parse("<F size=\"1\"/>")->GetRoot()));
    EXPECT_TRUE(HasFontAttributes(Parse("<F charset=\"1\"/>")->GetRoot()));
}

TEST_F(FontTest, WriteReadRoundTrip) {
    // Sizes keep through the save: 10 and 8 points (-13 and -10) would
    // shrink to 9 and 7 with the truncated conversion alone.
    const LOGFONT fonts[] = {Font(u"DejaVu Sans", -16, 700, 186, true, false, true),
                             Font(u"Tahoma", -13, 400, 3, false, true, false),
                             Font(u"Tahoma", FontPointsToHeight(8), 400, 0)};
    for (const LOGFONT& f : fonts) {
        std::string first = Write([&](CConfigXmlFile& out) { WriteFontAttributes(out, u"F", f); });
        CXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(u"\\out.znx"));
        LOGFONT back;
        ASSERT_TRUE(ReadFontAttributes(doc.FindElement(u"F", true), back, nullptr));
        EXPECT_EQ(Face(back), Face(f));
        EXPECT_EQ(back.lfHeight, f.lfHeight);
        EXPECT_EQ(back.lfWeight, f.lfWeight);
        EXPECT_EQ(back.lfCharSet, f.lfCharSet);
        EXPECT_EQ(back.lfItalic, f.lfItalic);
        EXPECT_EQ(back.lfUnderline, f.lfUnderline);
        EXPECT_EQ(back.lfStrikeOut, f.lfStrikeOut);
        EXPECT_EQ(Write([&](CConfigXmlFile& out) { WriteFontAttributes(out, u"F", back); }), first);
    }
}

}  // namespace
