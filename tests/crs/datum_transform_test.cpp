// The shift methods against PROJ (tables by tools/datum_reference.sh): 1 mm
// forward, heights included. The reverse negates the parameters, which PROJ
// does not: 1 cm horizontally; the height of a row with a large scale
// difference is off by ds x |T| (OSGB36, -20.5 ppm x 700 m: 1.2 cm), so
// reverse heights are held to 1.5 cm.
#include <gtest/gtest.h>

#include <cmath>

#include "crs/datum_table.h"
#include "reference_table.h"

namespace {

// Horizontal and vertical difference in metres, near enough for checks.
double Metres(double lon1, double lat1, double lon2, double lat2) {
    const double k = 111320.0;
    const double dx = (lon1 - lon2) * k * std::cos(lat1 * 3.141592653589793 / 180.0);
    const double dy = (lat1 - lat2) * k;
    return std::hypot(dx, dy);
}

DatumTransformation Row(double a, double rf, int32_t method, double dx, double dy, double dz,
                        double rx = 0, double ry = 0, double rz = 0, double ds = 0) {
    DatumTransformation r;
    r.index = 1;
    r.a = a;
    r.f = 1.0 / rf;
    r.method = method;
    r.dx = dx, r.dy = dy, r.dz = dz, r.rx = rx, r.ry = ry, r.rz = rz, r.ds = ds;
    r.datumName = u"test";
    return r;
}

struct ShiftCase {
    const char* table;
    DatumTransformation row;
};

const DatumTransformation kClarke1866Gt = Row(6378206.4, 294.978698213898, 9603, -8, 160, 176);
const DatumTransformation kOsgbPv =
    Row(6377563.396, 299.3249646, 9606, 446.448, -125.157, 542.06, 0.15, 0.247, 0.842, -20.489);
const DatumTransformation kOsgbCf =
    Row(6377563.396, 299.3249646, 9607, 446.448, -125.157, 542.06, -0.15, -0.247, -0.842, -20.489);

TEST(DatumTransform, EachMethodAgreesWithProj) {
    const ShiftCase cases[] = {
        {"nad27_geocentric", kClarke1866Gt},
        {"osgb36_position_vector", kOsgbPv},
        {"osgb36_coordinate_frame", kOsgbCf},
        {"ed50_molodensky", Row(6378388.0, 297.0, 9604, -87, -98, -121)},
        {"ed50_molodensky", Row(6378388.0, 297.0, 9605, -87, -98, -121)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        const auto t = crs_test::ReadReferenceTable(std::string("datum_") + c.table);
        ASSERT_FALSE(t.rows.empty());
        for (const auto& r : t.rows) {
            double lon, lat, h;
            TransformDatum(c.row, r[0], r[1], r[2], &lon, &lat, &h, false);
            EXPECT_LT(Metres(lon, lat, r[3], r[4]), 0.001) << r[0] << " " << r[1];
            EXPECT_NEAR(h, r[5], 0.001);
            TransformDatum(c.row, r[0], r[1], r[2], &lon, &lat, &h, true);
            EXPECT_LT(Metres(lon, lat, r[6], r[7]), 0.01) << r[0] << " " << r[1];
            EXPECT_NEAR(h, r[8], 0.015);
            // Through TransformBetweenDatums both ways with heights.
            double lon2, lat2, h2;
            TransformBetweenDatums(&c.row, r[0], r[1], r[2], nullptr, &lon, &lat, &h, true);
            TransformBetweenDatums(nullptr, lon, lat, h, &c.row, &lon2, &lat2, &h2, true);
            EXPECT_LT(Metres(lon2, lat2, r[0], r[1]), 0.01);
            EXPECT_NEAR(h2, r[2], 0.015);
        }
    }
}

TEST(DatumTransform, PositionVectorAndCoordinateFrameWithNegatedRotationsAgree) {
    double lon1, lat1, h1, lon2, lat2, h2;
    TransformDatum(kOsgbPv, -2.0, 54.0, 100.0, &lon1, &lat1, &h1, false);
    TransformDatum(kOsgbCf, -2.0, 54.0, 100.0, &lon2, &lat2, &h2, false);
    EXPECT_DOUBLE_EQ(lon1, lon2);
    EXPECT_DOUBLE_EQ(lat1, lat2);
    EXPECT_NEAR(h1, h2, 1e-9);
    // Bursa_Wolf (109607) is the coordinate frame too.
    DatumTransformation bw = kOsgbCf;
    bw.method = 109607;
    TransformDatum(bw, -2.0, 54.0, 100.0, &lon2, &lat2, &h2, false);
    EXPECT_DOUBLE_EQ(lon1, lon2);
}

// Only "no transformation" leaves a position as it was; a method we do not
// carry out (grid files, unknown names) cannot convert at all, whichever way.
TEST(DatumTransform, MethodsNotCarriedOutCannotConvert) {
    for (int32_t method : {0, -1, 9601, 9613, 109613, 9615}) {
        SCOPED_TRACE(method);
        DatumTransformation r = kClarke1866Gt;
        r.method = method;
        EXPECT_EQ(IsDatumShiftSupported(r), method == 0);
        for (bool toRow : {false, true}) {
            double lon = 0, lat = 0, h = 0;
            TransformDatum(r, -100.0, 40.0, 12.5, &lon, &lat, &h, toRow);
            if (method == 0) {
                EXPECT_EQ(lon, -100.0);
                EXPECT_EQ(lat, 40.0);
                EXPECT_EQ(h, 12.5);
            } else {
                EXPECT_TRUE(std::isnan(lon) && std::isnan(lat) && std::isnan(h));
            }
            TransformDatum(r, -100.0, 40.0, 12.5, &lon, &lat, nullptr, toRow);  // null height
            EXPECT_EQ(std::isnan(lat), method != 0);
            double outLon = 0, outLat = 0;
            TransformBetweenDatums(toRow ? nullptr : &r, -100.0, 40.0, 0, toRow ? &r : nullptr,
                                   &outLon, &outLat, nullptr, false);
            EXPECT_EQ(std::isnan(outLon) && std::isnan(outLat), method != 0);
        }
    }
    DatumTransformation gt = kClarke1866Gt;
    EXPECT_TRUE(IsDatumShiftSupported(gt));
}

TEST(DatumTransform, BetweenDatums) {
    // DX = 100 on WGS 1984's own spheroid: X grows by 100 m towards WGS 1984.
    DatumTransformation r = Row(6378137.0, 298.257223563, 9603, 100, 0, 0);
    ASSERT_FALSE(IsWgs84Identity(r));
    double lon, lat, h;
    TransformBetweenDatums(&r, 0.0, 0.0, 0.0, nullptr, &lon, &lat, &h, true);
    EXPECT_NEAR(lon, 0.0, 1e-12);
    EXPECT_NEAR(h, 100.0, 1e-6);
    TransformBetweenDatums(nullptr, 0.0, 0.0, 0.0, &r, &lon, &lat, &h, true);
    EXPECT_NEAR(h, -100.0, 1e-6);
    // All parameters 0: through geocentric and back, the same place.
    r.dx = 0;
    TransformBetweenDatums(&r, 12.3, 45.6, 78.9, &Wgs84Datum(), &lon, &lat, &h, true);
    EXPECT_NEAR(lon, 12.3, 1e-11);
    EXPECT_NEAR(lat, 45.6, 1e-11);
    EXPECT_NEAR(h, 78.9, 1e-6);

    // Without heights the height output is the input, whatever the shift;
    // the horizontal result is that of height 0.
    double lon0, lat0;
    TransformBetweenDatums(&kOsgbPv, -2.0, 54.0, 0.0, &kClarke1866Gt, &lon0, &lat0, nullptr, false);
    TransformBetweenDatums(&kOsgbPv, -2.0, 54.0, 3000.0, &kClarke1866Gt, &lon, &lat, &h, false);
    EXPECT_EQ(h, 3000.0);
    EXPECT_EQ(lon, lon0);
    EXPECT_EQ(lat, lat0);
    // The same row object: no shift at all.
    TransformBetweenDatums(&kOsgbPv, -2.0, 54.0, 7.0, &kOsgbPv, &lon, &lat, &h, true);
    EXPECT_EQ(lon, -2.0);
    EXPECT_EQ(h, 7.0);
}

TEST(DatumTransform, SphereRowWorks) {
    // f = 0 (a sphere row): finite results, and the round trip closes.
    DatumTransformation s = Row(6371000.0, 1.0, 9603, 10, 20, 30);
    s.f = 0.0;
    double lon, lat, h, lon2, lat2, h2;
    TransformDatum(s, 10.0, 50.0, 0.0, &lon, &lat, &h, false);
    ASSERT_TRUE(std::isfinite(lon) && std::isfinite(lat) && std::isfinite(h));
    TransformDatum(s, lon, lat, h, &lon2, &lat2, &h2, true);
    EXPECT_NEAR(lon2, 10.0, 1e-9);
    EXPECT_NEAR(lat2, 50.0, 1e-9);
}

}  // namespace
