#include "crs/stereographic.h"

#include <gtest/gtest.h>

#include <cmath>

#include "reference_table.h"

using namespace crs_test;

namespace {

void MakeRd(CDoubleStereographic& rd) {
    rd.m_latitudeOfOrigin = 52.15616055555555;
    rd.m_centralMeridian = 5.38763888888889;
    rd.m_scaleFactor = 0.9999079;
    rd.m_falseEasting = 155000;
    rd.m_falseNorthing = 463000;
    rd.SetDatum(Bessel());
}

// IOGP Guidance Note 7-2, Oblique Stereographic worked example (Amersfoort /
// RD New): 53 N 6 E -> E 196105.283 m, N 557057.739 m.
TEST(DoubleStereographic, ReproducesThePublishedWorkedExample) {
    CDoubleStereographic rd;
    MakeRd(rd);
    double x, y, lon, lat;
    rd.GeographicToProjected(6, 53, &x, &y);
    EXPECT_NEAR(x, 196105.283, 0.001);
    EXPECT_NEAR(y, 557057.739, 0.001);
    rd.ProjectedToGeographic(x, y, &lon, &lat);
    EXPECT_NEAR(lon, 6, 1e-12);
    EXPECT_NEAR(lat, 53, 1e-12);
    rd.ProjectedToGeographic(155000, 463000, &lon, &lat);  // the origin
    EXPECT_NEAR(lon, 5.38763888888889, 1e-12);
    EXPECT_NEAR(lat, 52.15616055555555, 1e-12);
}

TEST(DoubleStereographic, SphereUsesTheSphericalProjectionDirectly) {
    CDoubleStereographic ds;
    ds.m_latitudeOfOrigin = 52;
    ds.m_centralMeridian = 5;
    ds.m_scaleFactor = 1;
    ds.SetDatum(Sphere());
    CStereographic st;
    st.m_latitudeOfOrigin = 52;
    st.m_centralMeridian = 5;
    st.m_scaleFactor = 1;
    st.SetDatum(Sphere());
    double x1, y1, x2, y2, lon, lat;
    ds.GeographicToProjected(7, 50, &x1, &y1);
    st.GeographicToProjected(7, 50, &x2, &y2);
    EXPECT_DOUBLE_EQ(x1, x2);
    EXPECT_DOUBLE_EQ(y1, y2);
    ds.ProjectedToGeographic(x1, y1, &lon, &lat);
    EXPECT_NEAR(lon, 7, 1e-12);
    EXPECT_NEAR(lat, 50, 1e-12);
}

TEST(Stereographic, AspectComesFromTheExactLatitudeOfOrigin) {
    struct Row {
        double lat0;
        int aspect;
    };
    const Row rows[] = {{90, CStereographic::kNorthPolar},
                        {-90, CStereographic::kSouthPolar},
                        {0, CStereographic::kEquatorial},
                        {-89.999999, CStereographic::kOblique},
                        {70, CStereographic::kOblique}};
    for (const auto& r : rows) {
        CStereographic s;
        s.m_latitudeOfOrigin = r.lat0;
        s.SetDatum(Wgs84());
        EXPECT_EQ(s.m_aspect, r.aspect) << r.lat0;
    }
}

// South polar with central meridian 10: a point on the central meridian lies
// on the positive y axis, on the ellipsoid and on the sphere alike.
TEST(Stereographic, SouthPolarCentralMeridianPointsUp) {
    for (const auto& spheroid : {Wgs84(), Sphere()}) {
        CStereographic s;
        s.m_latitudeOfOrigin = -90;
        s.m_centralMeridian = 10;
        s.m_scaleFactor = 0.994;
        s.SetDatum(spheroid);
        double x, y, lon, lat;
        s.GeographicToProjected(10, -70, &x, &y);
        EXPECT_NEAR(x, 0, 1e-9) << spheroid.a;
        EXPECT_GT(y, 2e6);
        s.ProjectedToGeographic(x, y, &lon, &lat);
        EXPECT_NEAR(lon, 10, 1e-12);
        EXPECT_NEAR(lat, -70, 1e-10);
    }
}

// Regression: the oblique inverse took the one-argument arctangent and put
// points more than 90 degrees from the central meridian 180 degrees off.
TEST(Stereographic, ObliqueInverseKeepsTheQuadrant) {
    CStereographic s;
    s.m_latitudeOfOrigin = 70;
    s.m_scaleFactor = 1;
    s.SetDatum(Wgs84());
    const double points[][2] = {{150, 80}, {180, 75}, {-120, 60}, {-179.5, 85}};
    for (const auto& p : points) {
        double x, y, lon, lat;
        s.GeographicToProjected(p[0], p[1], &x, &y);
        s.ProjectedToGeographic(x, y, &lon, &lat);
        EXPECT_NEAR(std::remainder(lon - p[0], 360.0), 0, 1e-10) << p[0] << " " << p[1];
        EXPECT_NEAR(lat, p[1], 1e-10);
    }
    double lon, lat;
    s.ProjectedToGeographic(0, 0, &lon, &lat);  // the origin, exactly
    EXPECT_EQ(lon, 0.0);
    EXPECT_EQ(lat, 70.0);
}

}  // namespace
