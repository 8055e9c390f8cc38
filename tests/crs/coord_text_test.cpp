// Coordinate text: display and edit-field forms and the parser.
#include "crs/coord_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "reference_table.h"

namespace {

std::string U8(const WString& s) {
    return text::ToUtf8(s);
}

TEST(CoordText, DisplayForms) {
    struct Case {
        double v;
        bool lat;
        const char* dms;
        const char* dmm;
    } cases[] = {
        {-117.5, false, "117°30'W", "117°30.0000'W"},
        {45.25, true, " 45°15'N", " 45°15.0000'N"},
        {0.0, true, "  0°N", "  0° 0.0000'N"},
        {0.0, false, "  0°E", "  0° 0.0000'E"},
        {12.3456789, true, " 12°20'44.444\"N", " 12°20.7407'N"},
        {-33.5, true, " 33°30'S", " 33°30.0000'S"},
        {10.1, false, " 10°06'E", " 10° 6.0000'E"},
        {-0.5 / 3600.0, true, "  0°00'00.500\"S", "  0° 0.0083'S"},
        // Just below a whole degree: carried, never 60 seconds or 60.0000 minutes
        // (seconds are truncated to thousandths, minutes rounded).
        {10.99999999999, true, " 11°N", " 11° 0.0000'N"},
        {45.9999999, false, " 45°59'59.999\"E", " 46° 0.0000'E"},
        {59.99996 / 60.0, true, "  0°59'59.997\"N", "  1° 0.0000'N"},
        {180.0, false, "180°E", "180° 0.0000'E"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U8(FormatDms(c.v, c.lat)), c.dms) << c.v;
        EXPECT_EQ(U8(FormatDmm(c.v, c.lat)), c.dmm) << c.v;
    }
}

TEST(CoordText, EditFormsAndSplitting) {
    EXPECT_EQ(FormatDmsForEdit(-117.5, false), u"117 30 00.000 W");
    EXPECT_EQ(FormatDmmForEdit(-33.5, true), u"33 30.000000000 S");
    EXPECT_EQ(FormatDmsForEdit(59.9996 / 3600.0, true), u"0 01 00.000 N");  // carried
    EXPECT_EQ(FormatDmmForEdit(45.9999999999999, false), u"46 00.000000000 E");
    int d, m;
    double s;
    WChar letter;
    DegreesToDms(-117.5, false, &d, &m, &s, &letter);
    EXPECT_EQ(d, 117);
    EXPECT_EQ(m, 30);
    EXPECT_NEAR(s, 0.000005, 1e-9);
    EXPECT_EQ(letter, u'W');
    SplitDms(29.999999999, true, &d, &m, &s, &letter);  // +0.000005 s passes 60
    EXPECT_EQ(d, 30);
    EXPECT_EQ(m, 0);
    EXPECT_LT(s, 1.0);
    double mins;
    DegreesToDmm(-10.1, false, &d, &mins, &letter);
    EXPECT_EQ(d, 10);
    EXPECT_NEAR(mins, 6.0, 1e-9);
    // No degree count holds these: they split as 0 rather than overflow.
    for (double bad : {std::nan(""), -HUGE_VAL, 1e300}) {
        DegreesToDms(bad, true, &d, &m, &s, &letter);
        EXPECT_EQ(d, 0);
        EXPECT_EQ(m, 0);
        DegreesToDmm(bad, true, &d, &mins, &letter);
        EXPECT_EQ(d, 0);
        EXPECT_EQ(mins, 0.0);
    }
    EXPECT_EQ(DmsToDegrees(-117, 30, 0), -117.5);
    EXPECT_EQ(DmsToDegrees(45, 15, 36), 45.26);
    EXPECT_EQ(FormatCString(u"Zone %d", 11), u"Zone 11");
}

// Edit-field DMS rounds to thousandths of a second as GeoConvert -: does.
TEST(CoordText, EditDmsAgreesWithGeoConvert) {
    const auto t = crs_test::ReadReferenceTable("dms_geoconvert");
    for (const auto& r : t.rows) {
        const WString expect = text::Format(u"%d %02d %06.3lf %c", static_cast<int>(r[1]),
                                            static_cast<int>(r[2]), r[3], r[4] < 0 ? u'W' : u'E');
        EXPECT_EQ(FormatDmsForEdit(r[0], false), expect) << r[0];
        EXPECT_NEAR(ParseCoordinate(expect), r[0], 0.0005 / 3600) << r[0];
    }
}

TEST(CoordText, Parse) {
    struct Case {
        const char16_t* text;
        double expect;
        bool ok;
    } cases[] = {
        {u"45.25", 45.25, true},
        {u"-45.25", -45.25, true},  // the minus is a sign
        {u"+45.25", 45.25, true},
        {u".5", 0.5, true},
        {u"N 45 30", 45.5, true},
        {u"45 30 E", 45.5, true},
        {u"45 30 w", -45.5, true},
        {u"S45 30 36", -45.51, true},
        {u"117 30 00.000 W", -117.5, true},
        {u"33 30.000000000 S", -33.5, true},
        {u" 45\u00B015'N", 45.25, true},  // the display texts read back
        {u" 12\u00B020'44.444\"N", 12.0 + 20.0 / 60 + 44.444 / 3600, true},
        {u"117\u00B030'W", -117.5, true},
        {u"  0\u00B0N", 0.0, true},
        {u"", 0.0, false},
        {u"W", 0.0, false},
        {u"abc", 0.0, false},
        {u"45 x 30", 0.0, false},
        {u"45 -30", 0.0, false},
        {u"1 2 3 4", 0.0, false},
        {u"45,5", 0.0, false},
    };
    for (const auto& c : cases) {
        bool ok = !c.ok;
        EXPECT_DOUBLE_EQ(ParseCoordinate(c.text, &ok), c.expect) << U8(c.text);
        EXPECT_EQ(ok, c.ok) << U8(c.text);
    }
}

}  // namespace
