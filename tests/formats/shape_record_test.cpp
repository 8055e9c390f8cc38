#include "formats/shape/shape_record.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Vertex {
    double x = 0, y = 0, z = 0, m = 0;
};

// Builds a record of `type` with the given rings into `bytes` at `offset`,
// so that every double lies off its natural alignment.
ShapeRecord* Build(std::vector<uint8_t>& bytes, size_t offset, int type,
                   const std::vector<std::vector<Vertex>>& parts, size_t spare = 0) {
    int n = 0;
    for (auto& p : parts) n += static_cast<int>(p.size());
    const size_t size = ShapeRecordSize(type, static_cast<int>(parts.size()), n);
    bytes.assign(offset + size + spare, 0xEE);
    ShapeRecord* r = AsShapeRecord(bytes.data() + offset);
    ShapeInitRecord(nullptr, type, static_cast<int>(parts.size()), n, r);
    uint8_t* starts = ShapeGetParts(r);
    int i = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        if (starts) ShapeStoreInt(starts + 4 * k, i);
        for (const Vertex& v : parts[k]) {
            // Fill unconditionally: the Z and M arrays may be absent.
            ShapeStorePoint(ShapeGetPoints(r), i, DoublePoint{v.x, v.y});
            if (ShapeGetZArray(r)) ShapeStoreDouble(ShapeGetZArray(r) + 8 * i, v.z);
            if (ShapeGetMArray(r)) ShapeStoreDouble(ShapeGetMArray(r) + 8 * i, v.m);
            ++i;
        }
    }
    if (ShapeGetZRange(r)) {
        ShapeStoreDouble(ShapeGetZRange(r), -7);
        ShapeStoreDouble(ShapeGetZRange(r) + 8, 7);
    }
    if (ShapeGetMRange(r)) {
        ShapeStoreDouble(ShapeGetMRange(r), -9);
        ShapeStoreDouble(ShapeGetMRange(r) + 8, 9);
    }
    ShpComputeShapeBounds(r);
    return r;
}

Vertex At(const ShapeRecord* r, int i) {
    Vertex v{};
    EXPECT_EQ(ShpGetPartPoint(nullptr, i, &v.x, &v.y, &v.z, &v.m, r), i);
    return v;
}

void ExpectSame(const Vertex& a, const Vertex& b) {
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
    EXPECT_EQ(a.m, b.m);
}

// Every ring closed in X, Y, Z and M; part starts increasing from 0; box exact.
void ExpectSound(const ShapeRecord* r) {
    const int parts = ShapeGetPartCount(r);
    double xmin = 1e300, ymin = 1e300, xmax = -1e300, ymax = -1e300;
    for (int k = 0; k < parts; ++k) {
        int last;
        const int first = ShapeGetPartRange(r, k, &last);
        ASSERT_GE(first, 0);
        ASSERT_GT(last, first);
        ExpectSame(At(r, first), At(r, last));
    }
    for (int i = 0; i < ShpGetPointCount(r); ++i) {
        Vertex v = At(r, i);
        xmin = std::min(xmin, v.x), ymin = std::min(ymin, v.y);
        xmax = std::max(xmax, v.x), ymax = std::max(ymax, v.y);
    }
    CDoubleRect box;
    ASSERT_TRUE(ShpGetShapeBounds(r, &box));
    EXPECT_EQ(box, CDoubleRect(xmin, ymin, xmax, ymax));
}

const std::vector<std::vector<Vertex>> kTwoRings = {
    {{0, 0, 1, 10}, {0, 10, 2, 20}, {10, 10, 3, 30}, {10, 0, 4, 40}, {0, 0, 1, 10}},
    {{2, 2, 5, 50}, {4, 2, 6, 60}, {4, 4, 7, 70}, {2, 4, 8, 80}, {2, 2, 5, 50}},
};

}  // namespace

TEST(ShapeRecord, SizesAndClassesOfEveryType) {
    struct Row {
        int type, parts, points;
        size_t size;
        int geometryClass;
    } rows[] = {
        {0, 0, 0, 0, -1},
        {1, 0, 0, 20, 0},
        {3, 1, 5, 44 + 4 + 80, 1},
        {5, 1, 5, 128, 2},
        {8, 0, 3, 88, 0},
        {11, 0, 0, 36, 0},
        {13, 2, 4, 76 + 8 + 128, 1},
        {15, 1, 5, 240, 2},
        {18, 0, 2, 72 + 64, 0},
        {21, 0, 0, 28, 0},
        {23, 1, 2, 60 + 4 + 48, 1},
        {25, 1, 5, 60 + 4 + 120, 2},
        {28, 0, 3, 128, 0},
        {31, 1, 5, 0, 2},
        {2, 0, 0, 0, -1},
        {5, -1, 5, 0, 2},
        {5, 1, -5, 0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(ShapeRecordSize(row.type, row.parts, row.points), row.size);
        EXPECT_EQ(GetShapeTypeGeometryClass(row.type), row.geometryClass);
    }
    EXPECT_TRUE(IsShapeTypeZ(31));
    EXPECT_FALSE(IsShapeTypeZ(21));
    EXPECT_TRUE(IsShapeTypeZM(21));
}

TEST(ShapeRecord, AccessorsOnMisalignedPolygonZM) {
    std::vector<uint8_t> bytes;
    ShapeRecord* r = Build(bytes, 4, kShapePolygonM, kTwoRings);
    EXPECT_EQ(ShapeGetRecordSize(r), ShapeRecordSize(25, 2, 10));
    EXPECT_EQ(ShapeGetPartCount(r), 2);
    EXPECT_EQ(ShapeGetPartPointCount(r, 1), 5);
    EXPECT_EQ(ShapeGetPartPointCount(r, 2), -1);
    int within = -1;
    EXPECT_EQ(ShapeFindPart(r, 7, &within), 1);
    EXPECT_EQ(within, 2);
    EXPECT_EQ(ShapeFindPart(r, 10, &within), -1);
    EXPECT_EQ(ShapeGetZArray(r), nullptr);
    double x, y;
    // Getters clamp into the part; a part past the last fails.
    ASSERT_EQ(ShpGetVertexXY(nullptr, 1, 99, &x, &y, r), 1);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(ShpGetVertexXY(nullptr, 2, 0, &x, &y, r), 0);
    // Setters fail outside the part instead of writing beyond it.
    EXPECT_EQ(ShpSetVertexXY(nullptr, 0, 5, 1, 1, r), 0);
    EXPECT_EQ(ShpSetVertexXY(nullptr, 0, -1, 1, 1, r), 0);
    EXPECT_EQ(ShpSetPartPoint(nullptr, 10, 1, 1, 0, 0, r), -1);
    // No byte beyond the record was touched.
    for (size_t i = 4 + ShapeGetRecordSize(r); i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0xEE);
    ExpectSound(r);

    ShapeExtent e;
    ASSERT_TRUE(ShpGetShapeExtent(nullptr, &e, r));
    EXPECT_EQ(e.zmin, 0);
    EXPECT_EQ(e.mmax, 9);
}

TEST(ShapeRecord, RingsStayClosedOnSetInsertAndDelete) {
    enum Op { kSet, kInsert, kDelete };
    struct Row {
        Op op;
        int index;
        int expectedPoints;
    } rows[] = {
        {kSet, 0, 12},     {kSet, 5, 12},     {kSet, 2, 12},    {kSet, 6, 12},    {kSet, 11, 12},
        {kSet, 8, 12},     {kInsert, 0, 13},  {kInsert, 5, 13}, {kInsert, 2, 13}, {kInsert, 6, 13},
        {kInsert, 11, 13}, {kInsert, 12, 13}, {kDelete, 0, 11}, {kDelete, 5, 11}, {kDelete, 2, 11},
        {kDelete, 6, 11},  {kDelete, 11, 11}, {kDelete, 8, 11},
    };
    // Rings of 6 points so that deletes are allowed.
    std::vector<std::vector<Vertex>> rings = kTwoRings;
    rings[0].insert(rings[0].begin() + 2, Vertex{5, 12, 9, 90});
    rings[1].insert(rings[1].begin() + 2, Vertex{5, 3, 9, 95});
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.op << " at " << row.index);
        std::vector<uint8_t> bytes;
        ShapeRecord* r = Build(bytes, 4, kShapePolygonZ, rings, 64);
        int got = -1;
        if (row.op == kSet) got = ShpSetPartPoint(nullptr, row.index, -3, 20, 11, 12, r);
        if (row.op == kInsert)
            got = ShpInsertVertexXYZM(nullptr, row.index, -3, 20, 11, 12, r, bytes.size() - 4);
        if (row.op == kDelete) got = ShpDeleteVertex(nullptr, row.index, r);
        EXPECT_EQ(got, row.index);
        EXPECT_EQ(ShpGetPointCount(r), row.expectedPoints);
        ExpectSound(r);
        if (row.op != kDelete) ExpectSame(At(r, row.index), Vertex{-3, 20, 11, 12});
        // Ranges are left alone by vertex edits.
        EXPECT_EQ(ShapeLoadDouble(ShapeGetZRange(r) + 8), 7);
        EXPECT_EQ(ShapeLoadDouble(ShapeGetMRange(r)), -9);
    }
}

TEST(ShapeRecord, DeletesThatWouldBreakAPartAreRefused) {
    std::vector<uint8_t> bytes;
    ShapeRecord* r = Build(bytes, 0, kShapePolygon, {{{0, 0}, {0, 1}, {1, 0}, {0, 0}}});
    const std::vector<uint8_t> before = bytes;
    EXPECT_EQ(ShpDeleteVertex(nullptr, 1, r), -1);
    EXPECT_EQ(bytes, before);
    ShapeRecord* line = Build(bytes, 0, kShapePolyline, {{{0, 0}, {1, 1}}});
    EXPECT_EQ(ShpDeleteVertex(nullptr, 0, line), -1);
    EXPECT_EQ(ShpGetPointCount(line), 2);
    // A polyline Z keeps the other Z and M values.
    r = Build(bytes, 1, kShapePolylineZ, {{{0, 0, 1, 2}, {1, 1, 3, 4}, {2, 0, 5, 6}}});
    ASSERT_EQ(ShpDeleteVertex(nullptr, 1, r), 1);
    ExpectSame(At(r, 0), Vertex{0, 0, 1, 2});
    ExpectSame(At(r, 1), Vertex{2, 0, 5, 6});
}

TEST(ShapeRecord, InsertNeedsRoomOrGrowsTheHandleBuffer) {
    std::vector<uint8_t> bytes;
    ShapeRecord* r = Build(bytes, 4, kShapePolyline, {{{0, 0}, {1, 1}}});
    EXPECT_EQ(ShpInsertVertexXY(nullptr, 1, 5, 5, r, bytes.size() - 4), -1);  // no room
    EXPECT_EQ(ShpInsertVertexXY(nullptr, 1, 5, 5, r), -1);  // not a heap block, no capacity
    EXPECT_EQ(ShpGetPointCount(r), 2);
}

TEST(ShapeRecord, HeapBlocksGrowIn256ByteSteps) {
    ShapeRecord* b = ShapeHeapRealloc(nullptr, 256);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(ShapeHeapCapacity(b), 512u);
    EXPECT_EQ(ShapeHeapRealloc(b, 300), b);
    // A failed growth keeps the old block.
    ShapeHeapFailAllocation(1);
    EXPECT_EQ(ShapeHeapRealloc(b, 4000), nullptr);
    EXPECT_EQ(ShapeHeapCapacity(b), 512u);
    ShapeRecord* c = ShapeHeapRealloc(b, 4000);
    EXPECT_EQ(ShapeHeapCapacity(c), 4096u);
    EXPECT_EQ(ShapeHeapCapacity(b), 0u);
    ShapeFreeBuffer(c);
}

TEST(ShapeRecord, ValidationRejectsCountsBeyondTheContent) {
    std::vector<uint8_t> bytes;
    ShapeRecord* r = Build(bytes, 0, kShapePolygon, kTwoRings);
    const size_t size = ShapeGetRecordSize(r);
    EXPECT_TRUE(ShapeValidateRecord(r, size));
    EXPECT_FALSE(ShapeValidateRecord(r, size - 1));
    uint8_t* b = ShapeBytes(r);
    ShapeStoreInt(b + 44 + 4, 12);  // part start past the point count
    EXPECT_FALSE(ShapeValidateRecord(r, size));
    ShapeStoreInt(b + 44 + 4, 0);  // parts not increasing
    EXPECT_FALSE(ShapeValidateRecord(r, size));
    ShapeStoreInt(b + 44 + 4, 5);
    ShapeStoreInt(b + 40, -1);
    EXPECT_FALSE(ShapeValidateRecord(r, size));
    ShapeStoreInt(b + 40, 0x7FFFFFFF);
    EXPECT_FALSE(ShapeValidateRecord(r, size));
}

TEST(ShapeRecord, PointsAndEmptyBoxes) {
    std::vector<uint8_t> bytes;
    ShapeRecord* p = Build(bytes, 3, kShapePointZ, {{{3, 4, 5, 6}}});
    EXPECT_EQ(ShapeGetPartCount(p), 1);
    EXPECT_EQ(ShapeFindPart(p, 0, nullptr), 0);
    DoublePoint pt;
    ASSERT_EQ(ShpGetPoint(nullptr, &pt, p), 1);
    EXPECT_EQ(pt.x, 3);
    ShapeExtent e;
    ASSERT_TRUE(ShpGetShapeExtent(nullptr, &e, p));
    EXPECT_EQ(e.zmin, 5);
    EXPECT_EQ(e.mmax, 6);
    ShapeRecord* empty = Build(bytes, 1, kShapeMultiPoint, {{}});
    CDoubleRect box;
    ShpGetShapeBounds(empty, &box);
    EXPECT_EQ(box, CDoubleRect(0, 0, -1, -1));
    ShapeRecord* m = Build(bytes, 1, kShapeMultiPointM, {{{1, 1, 0, 2}, {2, 2, 0, 3}}});
    ShapeResetValues(m);
    EXPECT_EQ(At(m, 1).m, kNoDataMeasure);
    ShapeFillM(m, 4);
    EXPECT_EQ(At(m, 0).m, 4);
}
