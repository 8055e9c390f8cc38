// MGRS against GeoConvert (tools/mgrs_reference.sh), the letter table, the
// bands and the edges that have no reference.
#include "crs/mgrs.h"

#include <gtest/gtest.h>

#include "reference_table.h"

namespace {

TEST(Mgrs, AgreesWithGeoConvert) {
    const auto t = crs_test::ReadReferenceTable("mgrs_geoconvert");
    ASSERT_GE(t.rows.size(), 25u);
    CMGRSConverter c;
    for (const auto& r : t.rows) {
        const WString expect =
            text::Format(u"%02d%c%c%c%05d%05d", static_cast<int>(r[2]), static_cast<int>(r[3]),
                         static_cast<int>(r[4]), static_cast<int>(r[5]), static_cast<int>(r[6]),
                         static_cast<int>(r[7]));
        EXPECT_EQ(c.Format(r[1], r[0], Wgs84Datum()), expect) << r[0] << " " << r[1];
    }
}

TEST(Mgrs, BandsAndLetters) {
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(84.0), u'X');
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(84.0001), 0);
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(-80.0001), 0);
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(-80.0), u'C');
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(0.0), u'N');
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(-0.0001), u'M');
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(72.0), u'X');
    EXPECT_EQ(CMGRSConverter::GetLatitudeBand(71.9999), u'W');
    EXPECT_STREQ(CMGRSConverter::GetSquareLetters(0, 1, 100000, 0), "AA");
    EXPECT_STREQ(CMGRSConverter::GetSquareLetters(0, 2, 100000, 0), "JF");
    EXPECT_STREQ(CMGRSConverter::GetSquareLetters(0, 3, 800000, 1900000), "ZV");
    EXPECT_STREQ(CMGRSConverter::GetSquareLetters(1, 1, 100000, 0), "AL");
    EXPECT_STREQ(CMGRSConverter::GetSquareLetters(1, 2, 100000, 0), "JR");
    EXPECT_EQ(CMGRSConverter::GetSquareLetters(0, 0, 100000, 0), nullptr);
    EXPECT_EQ(CMGRSConverter::GetSquareLetters(0, 61, 100000, 0), nullptr);
    EXPECT_EQ(CMGRSConverter::GetSquareLetters(0, 1, 900000, 0), nullptr);
    EXPECT_EQ(CMGRSConverter::GetSquareLetters(0, 1, 100000, 2000000), nullptr);
}

TEST(Mgrs, EdgesGiveWellFormedOrEmptyText) {
    CMGRSConverter c;
    // -180 and 180 are one meridian, the western edge of zone 1.
    const WString west = c.Format(-180.0, 0.0, Wgs84Datum());
    EXPECT_EQ(west, u"01NAA6602100000");
    EXPECT_EQ(c.Format(180.0, 0.0, Wgs84Datum()), west);
    EXPECT_EQ(c.Format(180.0001, 0.0, Wgs84Datum()), u"");
    EXPECT_EQ(c.Format(20.0, 85.0, Wgs84Datum()), u"");  // polar: not provided
    EXPECT_EQ(c.Format(20.0, -80.5, Wgs84Datum()), u"");
    EXPECT_EQ(c.Format(20.0, 90.0001, Wgs84Datum()), u"");
    EXPECT_EQ(c.Format(crs_test::Wgs84().a / 0.0 * 0.0, 0.0, Wgs84Datum()), u"");  // NaN
    // The datum is applied when it changes within one zone.
    const WString wgs = c.Format(9.0, 50.0, Wgs84Datum());
    DatumTransformation intl = crs_test::International();
    const WString other = c.Format(9.0, 50.0, intl);
    EXPECT_NE(other, wgs);
    EXPECT_EQ(other.size(), 15u);
    EXPECT_EQ(c.Format(9.0, 50.0, Wgs84Datum()), wgs);
}

}  // namespace
