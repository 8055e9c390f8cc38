#include "crs/nz_map_grid.h"

#include <gtest/gtest.h>

namespace {

TEST(NewZealandMapGrid, OriginMapsToTheFalseOriginExactly) {
    CNewZealandMapGrid s;  // International 1924 and the grid's parameters
    double x, y, lon, lat;
    s.GeographicToProjected(173, -41, &x, &y);
    EXPECT_EQ(x, 2510000.0);
    EXPECT_EQ(y, 6023150.0);
    s.ProjectedToGeographic(x, y, &lon, &lat);
    EXPECT_EQ(lon, 173.0);
    EXPECT_EQ(lat, -41.0);
}

// Only a enters: another semi-major axis scales the grid about the origin.
TEST(NewZealandMapGrid, DatumChangeScalesByTheSemiMajorAxis) {
    CNewZealandMapGrid a, b;
    DatumTransformation other = Wgs84Datum();
    other.a = 6378388.0 * 1.001;
    other.f = 0.0;
    b.SetDatum(other);
    double xa, ya, xb, yb;
    a.GeographicToProjected(175, -39, &xa, &ya);
    b.GeographicToProjected(175, -39, &xb, &yb);
    EXPECT_NEAR(xb - 2510000, (xa - 2510000) * 1.001, 1e-6);
    EXPECT_NEAR(yb - 6023150, (ya - 6023150) * 1.001, 1e-6);
}

}  // namespace
