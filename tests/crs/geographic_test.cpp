#include "crs/geographic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

TEST(Geographic, PassesCoordinatesThroughWithItsFalseOrigin) {
    CGeographic g;
    EXPECT_EQ(g.m_projectionCode, 43000);
    EXPECT_EQ(g.m_projectionUnitCode, 9102);
    g.m_falseEasting = 10;
    g.m_falseNorthing = -5;
    double x, y, lon, lat;
    g.GeographicToProjected(12.5, 47.25, &x, &y);
    EXPECT_EQ(x, 22.5);
    EXPECT_EQ(y, 42.25);
    g.ProjectedToGeographic(x, y, &lon, &lat);
    EXPECT_EQ(lon, 12.5);
    EXPECT_EQ(lat, 47.25);

    CUnknownProjection u;
    EXPECT_EQ(u.m_projectionCode, 0);
    EXPECT_EQ(u.m_projectionUnitCode, 0);
    EXPECT_EQ(u.m_projectionUnitFactor, 1.0);
}

TEST(Geographic, InitNaNWritesTheQuietNaNBytesAtAnyAddress) {
    alignas(8) unsigned char buffer[17];
    std::memset(buffer, 0xAB, sizeof buffer);
    // An odd address: InitNaN copies bytes, it never stores through a double.
    void* odd = buffer + 3;
    double* result = InitNaN(static_cast<double*>(odd));
    EXPECT_EQ(static_cast<void*>(result), odd);
    const unsigned char expected[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
    EXPECT_EQ(std::memcmp(buffer + 3, expected, 8), 0);
    EXPECT_EQ(buffer[2], 0xAB);
    EXPECT_EQ(buffer[11], 0xAB);
    double d;
    std::memcpy(&d, buffer + 3, 8);
    EXPECT_TRUE(std::isnan(d));
}

}  // namespace
