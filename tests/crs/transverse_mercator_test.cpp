#include "crs/transverse_mercator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TransverseMercator, UtmZoneFromLongitude) {
    struct Row {
        double lon, lat;
        int zone;
    };
    const Row rows[] = {
        {6.0, 1, 32},     {0.0, 1, 30},   {-6.0, 1, 29},  {179.9, 1, 60},
        {-0.5, -10, -30}, {0.5, 10, 31},  {0.0, 0, 30},   {9, -0.0, 32},
        {180.0, 5, 1},    {-180.0, 5, 1}, {-180, -5, -1}, {-179.99, 5, 1},
        {3.0, 84, 31},    {-174, 1, 1},   {-173.9, 1, 2}, {540, 5, 1},  // the same meridian as 180
    };
    for (const auto& r : rows)
        EXPECT_EQ(UtmZoneFromLongitude(r.lon, r.lat), r.zone) << r.lon << " " << r.lat;
    EXPECT_EQ(UtmZoneFromLongitude(NAN, 0), 0);
}

TEST(TransverseMercator, SetUtmZoneSetsTheZoneParametersOnlyWhenTheZoneChanges) {
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    tm.SetUtmZone(-33);
    EXPECT_EQ(tm.m_centralMeridian, 15.0);
    EXPECT_EQ(tm.m_scaleFactor, 0.9996);
    EXPECT_EQ(tm.m_falseEasting, 500000.0);
    EXPECT_EQ(tm.m_falseNorthing, 10000000.0);
    tm.m_falseEasting = 0;
    tm.SetUtmZone(-33);  // same zone: the caller's false easting stays
    EXPECT_EQ(tm.m_falseEasting, 0.0);
    tm.SetUtmZone(33);
    EXPECT_EQ(tm.m_falseEasting, 500000.0);
    EXPECT_EQ(tm.m_falseNorthing, 0.0);
}

// On the central meridian the easting is the false easting exactly and the
// northing k0 times the meridian arc (GeodSolve: 5318427.5955 m to 48 N).
TEST(TransverseMercator, CentralMeridianAndFreshObject) {
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    double x, y;
    tm.GeographicToProjected(9, 48, &x, &y);  // no scale factor yet
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    tm.SetUtmZone(32);
    tm.GeographicToProjected(9, 48, &x, &y);
    EXPECT_EQ(x, 500000.0);
    EXPECT_NEAR(y, 0.9996 * 5318427.5955, 0.001);
    tm.GeographicToProjected(9, 0, &x, &y);
    EXPECT_EQ(x, 500000.0);
    EXPECT_EQ(y, 0.0);
}

TEST(TransverseMercator, GaussKrugerIsTheSameProjection) {
    CTransverseMercator tm;
    CGaussKruger gk;
    EXPECT_EQ(gk.m_projectionCode, 43005);
    for (CTransverseMercator* s : {&tm, static_cast<CTransverseMercator*>(&gk)}) {
        s->SetDatum(Wgs84Datum());
        s->SetUtmZone(32);
    }
    double x1, y1, x2, y2;
    tm.GeographicToProjected(10.5, 50, &x1, &y1);
    gk.GeographicToProjected(10.5, 50, &x2, &y2);
    EXPECT_EQ(x1, x2);
    EXPECT_EQ(y1, y2);
}

// Round trip across a UTM zone, to latitude 84.
TEST(TransverseMercator, RoundTripInsideAZone) {
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    tm.SetUtmZone(-20);
    double worst = 0;
    for (double lat = -84; lat <= 84; lat += 3.5)
        for (double dl = -3.5; dl <= 3.5; dl += 0.5) {
            double x, y, lon, la;
            tm.GeographicToProjected(-63 + dl, lat, &x, &y);
            tm.ProjectedToGeographic(x, y, &lon, &la);
            worst = std::max({worst, std::fabs(lon - (-63 + dl)), std::fabs(la - lat)});
        }
    EXPECT_LE(worst, 3e-8);
}

}  // namespace
