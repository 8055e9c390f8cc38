// Lambert conformal conic and Albers: the published worked examples and the
// limits of the two-parallel formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "crs/albers.h"
#include "crs/lambert_conformal_conic.h"
#include "reference_table.h"

using namespace crs_test;

namespace {

template <class T>
void SnyderCone(T& s, double sp1, double sp2) {
    s.m_standardParallel1 = sp1;
    s.m_standardParallel2 = sp2;
    s.m_latitudeOfOrigin = 23;
    s.m_centralMeridian = -96;
    s.SetDatum(Clarke1866());
}

// Snyder, Map Projections - A Working Manual, appendix A: Clarke 1866, parallels
// 33 and 45, origin 23 N 96 W; 35 N 75 W -> x 1894410.9, y 1564649.5 (the book
// prints 0.1 m; the digits here are cs2cs's).
TEST(LambertConformalConic, SnyderWorkedExample) {
    CLambertConformalConic s;
    SnyderCone(s, 33, 45);
    double x, y, lon, lat;
    s.GeographicToProjected(-75, 35, &x, &y);
    EXPECT_NEAR(x, 1894410.8984, 0.0005);
    EXPECT_NEAR(y, 1564649.4785, 0.0005);
    s.ProjectedToGeographic(x, y, &lon, &lat);
    EXPECT_NEAR(lon, -75, 1e-9);
    EXPECT_NEAR(lat, 35, 1e-9);
}

// Snyder, appendix A: parallels 29.5 and 45.5; 35 N 75 W -> x 1885472.7, y 1535925.0.
TEST(Albers, SnyderWorkedExample) {
    CAlbers s;
    SnyderCone(s, 29.5, 45.5);
    double x, y, lon, lat;
    s.GeographicToProjected(-75, 35, &x, &y);
    EXPECT_NEAR(x, 1885472.7258, 0.0005);
    EXPECT_NEAR(y, 1535925.0050, 0.0005);
    s.ProjectedToGeographic(x, y, &lon, &lat);
    EXPECT_NEAR(lon, -75, 1e-12);
    EXPECT_NEAR(lat, 35, 1e-12);
}

TEST(Albers, InverseConvergesInFewSteps) {
    CAlbers s;
    s.m_standardParallel1 = 29.5;
    s.m_standardParallel2 = 45.5;
    s.m_latitudeOfOrigin = 23;
    s.m_centralMeridian = -96;
    s.SetDatum(Wgs84());
    for (double lat = 20; lat <= 85; lat += 5)
        for (double lon : {-120.0, -96.0, -70.0}) {
            double x, y, glon, glat;
            s.GeographicToProjected(lon, lat, &x, &y);
            s.ProjectedToGeographic(x, y, &glon, &glat);
            EXPECT_NEAR(glat, lat, 1e-12);
            EXPECT_NEAR(glon, lon, 1e-12);
            EXPECT_LE(s.m_lastIterations, 8) << lat;
        }
    double lon, lat, x, y;
    s.GeographicToProjected(-96, 90, &x, &y);  // the pole itself
    s.ProjectedToGeographic(x, y, &lon, &lat);
    EXPECT_NEAR(lat, 90, 1e-6);
}

// Round trips on a northern and a southern cone over their useful range.
TEST(LambertConformalConic, RoundTrip) {
    struct Cone {
        double sp1, sp2, lat0, cm;
        double latFrom, latTo;
    };
    const Cone cones[] = {{33, 45, 23, -96, 20, 70}, {-18, -36, 0, 134, -60, -5}};
    for (const auto& c : cones) {
        CLambertConformalConic s;
        s.m_standardParallel1 = c.sp1;
        s.m_standardParallel2 = c.sp2;
        s.m_latitudeOfOrigin = c.lat0;
        s.m_centralMeridian = c.cm;
        s.SetDatum(Wgs84());
        for (double lat = c.latFrom; lat <= c.latTo; lat += 2.5)
            for (double dl : {-20.0, -4.0, 0.0, 10.0, 150.0}) {
                const double lon0 = std::remainder(c.cm + dl, 360.0);
                double x, y, lon, la;
                s.GeographicToProjected(lon0, lat, &x, &y);
                s.ProjectedToGeographic(x, y, &lon, &la);
                EXPECT_NEAR(la, lat, 1e-9) << c.sp1 << " " << dl << " " << lat;
                EXPECT_NEAR(lon, lon0, 1e-9);
            }
    }
}

// A one-parallel system is SP1 = SP2 with a scale factor (NTF Lambert zones).
TEST(LambertConformalConic, TangentConeWithScaleFactor) {
    CLambertConformalConic s;
    s.m_standardParallel1 = s.m_standardParallel2 = s.m_latitudeOfOrigin = 46.8;
    s.m_scaleFactor = 0.99987742;
    s.SetDatum(Wgs84());
    double x, y;
    s.GeographicToProjected(0, 46.8, &x, &y);
    EXPECT_EQ(x, 0.0);
    EXPECT_NEAR(y, 0.0, 1e-9);
    // Scale on the standard parallel is k0: one arc-second of longitude.
    s.GeographicToProjected(1.0 / 3600, 46.8, &x, &y);
    const double N = 6378137.0 / std::sqrt(1 - s.m_e2 * std::pow(std::sin(46.8 * M_PI / 180), 2));
    EXPECT_NEAR(x / (N * std::cos(46.8 * M_PI / 180) * M_PI / 180 / 3600), 0.99987742, 1e-8);
}

// Regression: the Alaska Albers system (EPSG:3338) put the Aleutians west of
// 180 at x -4384819, y 3869512; cs2cs has -2143153.025, 866156.670.
TEST(Albers, AntimeridianIsCrossedTheShortWay) {
    CAlbers s;
    s.m_standardParallel1 = 55;
    s.m_standardParallel2 = 65;
    s.m_latitudeOfOrigin = 50;
    s.m_centralMeridian = -154;
    s.SetDatum(Grs80());
    double x, y;
    s.GeographicToProjected(172.9, 52.9, &x, &y);
    EXPECT_NEAR(x, -2143153.024944, 0.001);
    EXPECT_NEAR(y, 866156.670443, 0.001);
}

}  // namespace
