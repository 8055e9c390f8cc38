// Under a comma-decimal locale (as the Qt display sets it) nothing in the
// coordinate systems may change: no conversion reads the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

#include "crs/coord_text.h"
#include "crs/transverse_mercator.h"
#include "crs/unit_text.h"
#include "crs/wkt.h"
#include "platform/text/text.h"
#include "reference_table.h"

namespace {

TEST(CrsLocale, CommaDecimalLocaleChangesNothing) {
    ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8"))
        << "de_DE.UTF-8 missing: tools/setup generates it";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5");  // the locale is really in force

    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    tm.SetUtmZone(32);
    const auto t = crs_test::ReadReferenceTable("tmerc_utm32n");
    for (const auto& r : t.rows) {
        double x, y;
        tm.GeographicToProjected(r[0], r[1], &x, &y);
        EXPECT_NEAR(x, r[2], 0.002);
        EXPECT_NEAR(y, r[3], 0.002);
    }
    double x, y;
    tm.GeographicToProjected(10.5, 48, &x, &y);
    const WString written = text::DoubleToText(x, 17);
    EXPECT_NE(written.find(u'.'), WString::npos);
    EXPECT_EQ(text::ParseDouble(written), x);
    double v = 1500;
    EXPECT_EQ(WString(ScaleDistanceForDisplay(0, 9001, &v)), u"km");
    EXPECT_EQ(v, 1.5);
    // Well-known text and coordinate text are written and read the same.
    const WString wkt = FormatWkt(tm, false);
    EXPECT_NE(wkt.find(u"PARAMETER[\"Scale_Factor\",0.9996]"), WString::npos);
    CWktCoordSys parser;
    ASSERT_TRUE(parser.ParseWkt(wkt));
    EXPECT_EQ(parser.m_scaleFactor, 0.9996);
    EXPECT_EQ(FormatDmsForEdit(-12.5, false), u"12 30 00.000 W");
    EXPECT_EQ(ParseCoordinate(u"45.25"), 45.25);
    std::setlocale(LC_ALL, "C");
}

}  // namespace
