// Distance, length and area: planar cases, the ellipsoidal distance against
// GeodSolve and the geographic area against Planimeter
// (tools/measure_reference.sh).
#include "crs/measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "crs/geographic.h"
#include "crs/transverse_mercator.h"
#include "formats/shape/shape_record.h"
#include "reference_table.h"

namespace {

// Planimeter's area of the cell lon0..lon1 x lat0..lat1 (m^2), from the table.
double PlanimeterArea(double lon0, double lat0, double lon1, double lat1) {
    for (const auto& r : crs_test::ReadReferenceTable("area_planimeter").rows)
        if (r[0] == lon0 && r[1] == lat0 && r[2] == lon1 && r[3] == lat1) return r[4];
    ADD_FAILURE() << "no reference cell " << lon0 << " " << lat0 << " " << lon1 << " " << lat1;
    return NAN;
}

// Difference of two azimuths in degrees, across 0/360.
double AzimuthDiff(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

TEST(Measure, PlanarDistanceAndAzimuths) {
    struct Case {
        double x2, y2, d, fwd, back;
    } cases[] = {
        {0, 10, 10, 360, 180},
        {10, 0, 10, 90, 270},
        {-10, 0, 10, 270, 90},
        {0, -10, 10, 180, 360},
        {0, 0, 0, 360, 180},  // coincident
        {3, 4, 5, 36.86989764584402, 216.86989764584402},
    };
    for (const auto& c : cases) {
        double fwd, back;
        EXPECT_DOUBLE_EQ(PlanarDistance(0, 0, c.x2, c.y2, &fwd, &back), c.d);
        EXPECT_DOUBLE_EQ(fwd, c.fwd) << c.x2 << " " << c.y2;
        EXPECT_DOUBLE_EQ(back, c.back) << c.x2 << " " << c.y2;
    }
    EXPECT_EQ(PlanarDistance(1, 1, 4, 5), 5.0);  // no azimuths asked
    const DoublePoint line[] = {{0, 0}, {3, 4}, {3, 10}};
    EXPECT_EQ(PolylineLength(3, line), 11.0);
    EXPECT_EQ(PolylineLength(1, line), 0.0);
}

TEST(Measure, RingAreaSignAndHoles) {
    const DoublePoint cw[] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    const DoublePoint ccw[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    EXPECT_EQ(RingArea(4, cw), 1.0);
    EXPECT_EQ(RingArea(4, ccw), -1.0);
    EXPECT_EQ(RingArea(2, cw), 0.0);
    // A 10 x 10 square (clockwise, closed) with a 2 x 2 hole (anticlockwise).
    const DoublePoint outer[] = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
    const DoublePoint hole[] = {{4, 4}, {6, 4}, {6, 6}, {4, 6}, {4, 4}};
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    EXPECT_EQ(RingArea(5, outer) + RingArea(5, hole), 96.0);
    EXPECT_EQ(std::fabs(MeasureSignedArea(&tm, 5, outer) + MeasureSignedArea(&tm, 5, hole)), 96.0);
    EXPECT_EQ(MeasureArea(&tm, 5, hole), 4.0);
    // The same in degrees on a geographic system: holes subtract there too.
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    const double whole = PlanimeterArea(0, 0, 10, 10), hole4 = PlanimeterArea(4, 4, 6, 6);
    EXPECT_NEAR(MeasureSignedArea(&g, 5, outer), whole, whole * 1e-6);
    EXPECT_NEAR(MeasureSignedArea(&g, 5, hole), -hole4, hole4 * 1e-6);
    EXPECT_NEAR(MeasureSignedArea(&g, 5, outer) + MeasureSignedArea(&g, 5, hole), whole - hole4,
                whole * 1e-6);
}

TEST(Measure, EllipsoidDistanceAgreesWithGeodSolve) {
    const auto t = crs_test::ReadReferenceTable("geodesic_geodsolve");
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    for (const auto& r : t.rows) {
        double fwd, back;
        const double s = MeasureDistanceXY(&g, r[0], r[1], r[2], r[3], &fwd, &back);
        // Second order in f: the error is about f^3 of the distance (0.5 m at
        // 13 000 km); nearly antipodal points (19 585 km) are off by 12 m.
        const bool antipodal = r[4] > 1.9e7;
        const double tol = std::max(0.001, r[4] * (antipodal ? 1e-6 : 5e-8));
        EXPECT_NEAR(s, r[4], tol) << r[0] << " " << r[1] << " " << r[2] << " " << r[3];
        if (antipodal) continue;
        EXPECT_LT(AzimuthDiff(fwd, r[5]), 2e-4) << fwd << " " << r[5];
        EXPECT_LT(AzimuthDiff(back, r[6] + 180.0), 2e-4) << back << " " << r[6];
        EXPECT_GT(fwd, 0.0);
        EXPECT_LE(fwd, 360.0);
    }
    double fwd = 0, back = 0;
    EXPECT_EQ(EllipsoidDistance(6378137.0, 1 / 298.257223563, 10, 50, 10, 50, &fwd, &back), 0.0);
    EXPECT_TRUE(std::isnan(fwd));
    EXPECT_TRUE(std::isnan(back));
}

TEST(Measure, GeographicAreaAgreesWithPlanimeter) {
    const auto t = crs_test::ReadReferenceTable("area_planimeter");
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    for (const auto& r : t.rows) {
        const DoublePoint cell[] = {
            {r[0], r[1]}, {r[0], r[3]}, {r[2], r[3]}, {r[2], r[1]}, {r[0], r[1]}};
        EXPECT_NEAR(MeasureArea(&g, 5, cell), r[4], r[4] * 1e-6) << r[0] << " " << r[1];
        EXPECT_GT(MeasureSignedArea(&g, 5, cell), 0.0);  // clockwise
    }
    const DoublePoint outside[] = {{0, 0}, {0, 1}, {181, 1}};
    EXPECT_TRUE(std::isnan(MeasureArea(&g, 3, outside)));
}

TEST(Measure, DistanceBetweenSystems) {
    // Geographic WGS 1984 and UTM 32 on a shifted datum.
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    CTransverseMercator utm;
    DatumTransformation shifted = crs_test::International();
    shifted.method = 9603;
    shifted.dx = -87, shifted.dy = -98, shifted.dz = -121;
    utm.SetDatum(shifted);
    utm.SetUtmZone(32);
    // The same place given in each system.
    double lon, lat, x, y;
    TransformBetweenDatums(nullptr, 9.5, 48.0, 0.0, &shifted, &lon, &lat, nullptr, false);
    utm.GeographicToProjected(lon, lat, &x, &y);
    EXPECT_NEAR(MeasureDistanceBetween(&g, {9.5, 48.0}, {x, y}, &utm), 0.0, 0.01);
    // Without the shift the two would be about 100 m apart.
    CTransverseMercator plain;
    plain.SetDatum(crs_test::International());
    plain.SetUtmZone(32);
    EXPECT_GT(MeasureDistanceBetween(&g, {9.5, 48.0}, {x, y}, &plain), 50.0);
    // Equal systems: planar, in the system's units.
    EXPECT_EQ(MeasureDistanceBetween(&utm, {0, 0}, {3, 4}, &utm), 5.0);
    EXPECT_EQ(MeasureDistanceBetween(&utm, {0, 0}, {3, 4}, nullptr), 5.0);
    const DoublePoint pts[] = {{0, 0}, {3, 4}, {3, 10}};
    EXPECT_EQ(MeasureLength(&utm, 3, pts), 11.0);
}

// A polygon or polyline record of the rings, built one byte off alignment.
ShapeRecord* Build(std::vector<uint8_t>& bytes, int type,
                   const std::vector<std::vector<DoublePoint>>& parts) {
    int n = 0;
    for (const auto& p : parts) n += static_cast<int>(p.size());
    bytes.assign(1 + ShapeRecordSize(type, static_cast<int>(parts.size()), n), 0);
    ShapeRecord* r = AsShapeRecord(bytes.data() + 1);
    ShapeInitRecord(nullptr, type, static_cast<int>(parts.size()), n, r);
    int i = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        ShapeStoreInt(ShapeGetParts(r) + 4 * k, i);
        for (const auto& v : parts[k]) ShapeStorePoint(ShapeGetPoints(r), i++, v);
    }
    return r;
}

TEST(Measure, ShapesSubtractHoles) {
    std::vector<uint8_t> bytes;
    const std::vector<DoublePoint> outer = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
    const std::vector<DoublePoint> hole = {{4, 4}, {6, 4}, {6, 6}, {4, 6}, {4, 4}};
    ShapeRecord* poly = Build(bytes, kShapePolygon, {outer, hole});
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    EXPECT_EQ(ShapeArea(poly), 96.0);
    EXPECT_EQ(MeasureShapeArea(&tm, poly), 96.0);  // not 104
    EXPECT_EQ(ShapeLength(poly), 48.0);
    EXPECT_EQ(MeasureShapeLength(&tm, poly), 48.0);
    // The same rings in degrees: the hole's share comes off the outline's.
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    const double expected = PlanimeterArea(0, 0, 10, 10) - PlanimeterArea(4, 4, 6, 6);
    EXPECT_NEAR(MeasureShapeArea(&g, poly), expected, expected * 1e-6);
    std::vector<uint8_t> lineBytes;
    ShapeRecord* line = Build(lineBytes, kShapePolylineZ, {{{0, 0}, {3, 4}}, {{0, 0}, {0, 2}}});
    EXPECT_EQ(ShapeLength(line), 7.0);
    EXPECT_EQ(ShapeArea(line), 0.0);  // not a polygon
    EXPECT_EQ(MeasureShapeArea(&tm, line), 0.0);
    EXPECT_EQ(ShapeLength(nullptr), 0.0);
}

}  // namespace
