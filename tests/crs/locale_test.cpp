// Under a comma-decimal locale (as the Qt display sets it) nothing in the
// coordinate systems may change: no conversion reads the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

#include "crs/transverse_mercator.h"
#include "crs/unit_text.h"
#include "platform/text/text.h"
#include "reference_table.h"

namespace {

TEST(CrsLocale, CommaDecimalLocaleChangesNothing) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
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
    std::setlocale(LC_ALL, "C");
}

}  // namespace
