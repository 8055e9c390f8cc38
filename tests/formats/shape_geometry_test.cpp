#include "formats/shape/shape_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "formats/shape/shape_builders.h"
#include "shape_test_util.h"

namespace {

std::vector<uint8_t> Points(const std::vector<DoublePoint>& pts) {
    std::vector<uint8_t> b(16 * pts.size());
    for (size_t i = 0; i < pts.size(); ++i) ShapeStorePoint(b.data(), static_cast<int>(i), pts[i]);
    return b;
}

// A polygon record of the given rings, placed at an odd offset.
struct Polygon {
    std::vector<uint8_t> bytes;
    ShapeRecord* r = nullptr;
    explicit Polygon(const std::vector<std::vector<DoublePoint>>& rings) {
        int n = 0;
        for (auto& ring : rings) n += static_cast<int>(ring.size());
        bytes.assign(1 + ShapeRecordSize(kShapePolygon, static_cast<int>(rings.size()), n), 0);
        r = AsShapeRecord(bytes.data() + 1);
        ShapeInitRecord(nullptr, kShapePolygon, static_cast<int>(rings.size()), n, r);
        int i = 0;
        for (size_t k = 0; k < rings.size(); ++k) {
            ShapeStoreInt(ShapeGetParts(r) + 4 * k, i);
            for (const DoublePoint& p : rings[k]) ShapeStorePoint(ShapeGetPoints(r), i++, p);
        }
        ShpComputeShapeBounds(r);
    }
};

const std::vector<DoublePoint> kDiamondCw = {{0, 1}, {1, 2}, {2, 1}, {1, 0}, {0, 1}};
const std::vector<DoublePoint> kDiamondCcw = {{0, 1}, {1, 0}, {2, 1}, {1, 2}, {0, 1}};
const std::vector<DoublePoint> kHexagon = {{0, 1}, {1, 2}, {3, 2}, {4, 1}, {3, 0}, {1, 0}, {0, 1}};
const std::vector<DoublePoint> kSquare = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
const std::vector<DoublePoint> kHole = {{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};
const std::vector<DoublePoint> kShifted = {{5, 5}, {5, 15}, {15, 15}, {15, 5}, {5, 5}};

}  // namespace

TEST(ShapeGeometry, PointInShapeOnVertexRowsForBothWindings) {
    struct Row {
        const char* what;
        std::vector<std::vector<DoublePoint>> rings;
        DoublePoint p;
        int inside;
    } rows[] = {
        {"clockwise diamond, level with both side vertices", {kDiamondCw}, {1, 1}, 1},
        {"anticlockwise diamond", {kDiamondCcw}, {1, 1}, 1},
        {"clockwise, level with right vertex, outside", {kDiamondCw}, {2.5, 1}, 0},
        {"clockwise, level with left vertex, outside", {kDiamondCw}, {-0.5, 1}, 0},
        {"hexagon on its side-vertex row", {kHexagon}, {2, 1}, 1},
        {"hexagon just above", {kHexagon}, {2, 1.0001}, 1},
        {"reversed hexagon", {{kHexagon.rbegin(), kHexagon.rend()}}, {2, 1}, 1},
        {"inside a hole", {kSquare, kHole}, {3, 3}, 0},
        {"beside a hole", {kSquare, kHole}, {1, 3}, 1},
        {"on the hole's vertex row", {kSquare, kHole}, {6, 2}, 1},
        {"two overlapping rings, overlap", {kSquare, kShifted}, {7, 7}, 0},
        {"two overlapping rings, one only", {kSquare, kShifted}, {12, 12}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Polygon poly(row.rings);
        EXPECT_EQ(PointInShape(row.p, poly.r), row.inside);
    }
    EXPECT_EQ(PointInShape(DoublePoint{NAN, 1}, Polygon({kSquare}).r), 0);
}

TEST(ShapeGeometry, DistancesSegmentsAndLabels) {
    const auto line = Points({{0, 0}, {10, 0}, {10, 10}});
    DoublePoint foot{};
    double d = -1;
    EXPECT_EQ(FindNearestSegment({5, 1}, 3, line.data(), &foot, &d), 0);
    EXPECT_EQ(foot.x, 5);
    EXPECT_EQ(foot.y, 0);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(FindNearestSegment({12, 12}, 3, line.data(), &foot, &d), -1);
    EXPECT_DOUBLE_EQ(DistanceToPolyline({12, 12}, line.data(), 3), std::sqrt(8.0));
    // A repeated vertex, as GPS tracks have, measures to the point itself.
    const auto track = Points({{0, 0}, {0, 0}, {4, 4}});
    EXPECT_EQ(FindNearestSegment({-1, 0}, 3, track.data(), &foot, &d), 0);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(DistanceToPolyline({0, 0}, track.data(), 1), DBL_MAX);

    const auto square = Points({{0, 0}, {0, 2}, {2, 2}, {2, 0}, {0, 0}});
    DoublePoint label;
    EXPECT_DOUBLE_EQ(std::fabs(GetLabelPoint(&label, square.data(), 5)), 8.0 / 3);
    EXPECT_DOUBLE_EQ(label.x, 1);
    EXPECT_DOUBLE_EQ(label.y, 1);
    EXPECT_GT(RingSignedArea(square.data(), 5), 0);  // clockwise
    EXPECT_EQ(RingSignedArea(square.data(), 2), 0);

    DoublePoint x;
    EXPECT_EQ(SegmentIntersection(&x, {0, 0}, {2, 2}, {0, 2}, {2, 0}), 1);
    EXPECT_EQ(x.x, 1);
    EXPECT_EQ(SegmentIntersection(&x, {0, 0}, {2, 2}, {0, 1}, {2, 3}), 0);
    EXPECT_EQ(IsNoDataMeasure(-1e39), 1);
    EXPECT_EQ(IsNoDataMeasure(NAN), 1);
    EXPECT_EQ(IsNoDataMeasure(-9.9e38), 0);
}

class ShapeHitTest : public DbfRootTest {};

TEST_F(ShapeHitTest, HitTestsPickTheRightRecord) {
    ShpHandle polys = ShpCreate(u"\\p.shp", kShapePolygon, 0);
    ShpAppendRectangle(polys, CDoubleRect(0, 0, 10, 10));
    ShpAppendRectangle(polys, CDoubleRect(5, 5, 15, 15));
    for (bool mapped : {true, false}) {
        EXPECT_EQ(FindContainingPolygon(polys, {7, 7}, 0.1, nullptr, mapped), 0);
        EXPECT_EQ(FindContainingPolygon(polys, {12, 12}, 0.1, nullptr, mapped), 1);
        EXPECT_EQ(FindContainingPolygon(polys, {20, 20}, 0.1, nullptr, mapped), -1);
    }
    ShpClose(polys);

    ShpHandle pts = ShpCreate(u"\\q.shp", kShapePoint, 0);
    ShpAppendPointXY(pts, 1, 0);
    ShpAppendPointXY(pts, -1, 0);
    double d;
    EXPECT_EQ(FindNearestPoint(pts, {0, 0}, 2, &d, nullptr, true), 0);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(FindNearestPoint(pts, {0, 0}, 0.5, &d, nullptr, false), -1);
    EXPECT_EQ(d, DBL_MAX);
    ShpClose(pts);

    // Every point of a multipoint counts, not the corner of its box.
    ShpHandle multi = ShpCreate(u"\\m.shp", kShapeMultiPoint, 0);
    ShapeInitRecord(multi, kShapeMultiPoint, 0, 2, nullptr);
    ShpSetPartPointXY(multi, 0, 0, 10);
    ShpSetPartPointXY(multi, 1, 10, 0);
    ShpAppendShape(multi);
    EXPECT_EQ(FindNearestPoint(multi, {10, 0.5}, 1, &d, nullptr, true), 0);
    EXPECT_EQ(FindNearestPoint(multi, {0, 0}, 1, &d, nullptr, true), -1);
    ShpClose(multi);

    ShpHandle lines = ShpCreate(u"\\l.shp", kShapePolyline, 0);
    ShpAppendSegmentXY(lines, 0, 0, 10, 0, 0, kNoDataMeasure);
    ShpAppendSegmentXY(lines, 0, 2, 10, 2, 0, kNoDataMeasure);
    EXPECT_EQ(FindNearestLine(lines, {5, 1.5}, 1, &d, nullptr, true), 1);
    EXPECT_EQ(d, 0.5);
    const uint32_t words[] = {0x2};  // record number 1 only
    EXPECT_EQ(FindNearestLineInSet(lines, {5, 1.5}, 1, &d, 2, 1, words), -1);
    EXPECT_EQ(d, DBL_MAX);
    EXPECT_EQ(FindNearestLineInSet(lines, {5, 1.5}, 2, &d, 2, 1, words), 0);
    EXPECT_EQ(d, 1.5);
    ShpClose(lines);
}

TEST_F(ShapeHitTest, BuildersAcceptTheirFileTypesOnly) {
    using Builder = int (*)(ShpHandle);
    struct B {
        const char* name;
        Builder build;
        std::vector<int> accepted;
    } builders[] = {
        {"point", [](ShpHandle h) { return ShpAppendPointXY(h, 1, 2); }, {1, 11, 21}},
        {"rectangle",
         [](ShpHandle h) { return ShpAppendRectangle(h, CDoubleRect(0, 0, 10, 5)); },
         {3, 5, 13, 15, 23, 25}},
        {"ellipse",
         [](ShpHandle h) { return ShpAppendEllipse(h, CDoubleRect(0, 0, 8, 4), 4); },
         {3, 5, 13, 15, 23, 25}},
        {"segment",
         [](ShpHandle h) {
             return ShpAppendSegment(h, DoublePoint{0, 0}, DoublePoint{1, 1});
         },
         {3, 13, 23}},
        {"flat ellipse",
         [](ShpHandle h) { return ShpAppendEllipse(h, CDoubleRect(0, 0, 0, 4), 4); },
         {}},
        {"ellipse q 0",
         [](ShpHandle h) { return ShpAppendEllipse(h, CDoubleRect(0, 0, 8, 4), 0); },
         {}},
    };
    for (const B& b : builders) {
        for (int type : {1, 11, 21, 3, 5, 13, 15, 23, 25, 8}) {
            SCOPED_TRACE(std::string(b.name) + " on " + std::to_string(type));
            ShpHandle h = ShpCreate(u"\\b.shp", type, 0);
            ASSERT_NE(h, nullptr);
            const int64_t size = ShpGetTotalSize(h);
            const bool ok =
                std::find(b.accepted.begin(), b.accepted.end(), type) != b.accepted.end();
            EXPECT_EQ(b.build(h), ok ? 0 : -1);
            if (!ok) {
                EXPECT_EQ(ShpGetTotalSize(h), size);
            }
            ShpClose(h);
        }
    }
}

TEST_F(ShapeHitTest, FiguresAreClosedAndClockwise) {
    ShpHandle h = ShpCreate(u"\\g.shp", kShapePolygon, 0);
    ASSERT_EQ(ShpAppendRectangle(h, CDoubleRect(0, 0, 10, 5)), 0);
    ShapeRecord* r = ShpReadShape(h, 0);
    const std::vector<DoublePoint> ring = {{0, 5}, {10, 5}, {10, 0}, {0, 0}, {0, 5}};
    ASSERT_EQ(ShpGetPointCount(r), 5);
    for (int i = 0; i < 5; ++i) {
        const DoublePoint p = ShapeLoadPoint(ShapeGetPoints(r), i);
        EXPECT_EQ(p.x, ring[i].x);
        EXPECT_EQ(p.y, ring[i].y);
    }
    ASSERT_EQ(ShpAppendEllipse(h, CDoubleRect(0, 0, 8, 4), 4), 1);
    r = ShpReadShape(h, 1);
    ASSERT_EQ(ShpGetPointCount(r), 17);
    const DoublePoint first = ShapeLoadPoint(ShapeGetPoints(r), 0);
    const DoublePoint fifth = ShapeLoadPoint(ShapeGetPoints(r), 4);
    EXPECT_EQ(first.x, 4);
    EXPECT_EQ(first.y, 4);
    EXPECT_EQ(fifth.x, 8);
    EXPECT_EQ(fifth.y, 2);
    EXPECT_GT(RingSignedArea(ShapeGetPoints(r), 17), 0);
    // An anticlockwise triangle is closed and stored clockwise.
    const DoublePoint tri[] = {{0, 0}, {2, 0}, {1, 1}};
    ASSERT_EQ(ShpAppendPointList(h, 3, tri), 2);
    r = ShpReadShape(h, 2);
    ASSERT_EQ(ShpGetPointCount(r), 4);
    EXPECT_GT(RingSignedArea(ShapeGetPoints(r), 4), 0);
    const DoublePoint degenerate[] = {{0, 0}, {1, 1}, {0, 0}, {1, 1}};
    EXPECT_EQ(ShpAppendPointList(h, 4, degenerate), -1);
    ShpClose(h);
    {
        REQUIRE_TOOL("shpdump");
        int status = -1;
        const std::string v = RunTool("shpdump -validate '" + Host("g.shp") + "'", &status);
        EXPECT_EQ(status, 0) << v;
        EXPECT_NE(v.find("Shape:2"), std::string::npos) << v;
        EXPECT_EQ(v.find("wrong direction"), std::string::npos) << v;
    }
    h = ShpCreate(u"\\g.shp", kShapePolyline, 0);
    ASSERT_EQ(ShpAppendPointList(h, 3, tri), 0);
    EXPECT_EQ(ShpGetPointCount(ShpReadShape(h, 0)), 3);
    ShpClose(h);
}
