// Shapefile drawing: the world to device transform, joined rings that show
// holes under even-odd fill, part-by-part drawing and very large shapes.
#include "formats/shape/shape_draw.h"

#include <gtest/gtest.h>

#include <vector>

#include "dbf_test_util.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_visit.h"
#include "tests/platform/gdi_picture.h"

namespace {

using Ring = std::vector<DoublePoint>;

// A record of `type` built into `bytes` at an odd offset (doubles unaligned).
ShapeRecord* Build(std::vector<uint8_t>& bytes, int type, const std::vector<Ring>& parts) {
    int n = 0;
    for (auto& p : parts) n += static_cast<int>(p.size());
    const size_t size = ShapeRecordSize(type, static_cast<int>(parts.size()), n);
    bytes.assign(size + 3, 0);
    ShapeRecord* r = AsShapeRecord(bytes.data() + 3);
    ShapeInitRecord(nullptr, type, static_cast<int>(parts.size()), n, r);
    int i = 0;
    for (size_t k = 0; k < parts.size(); ++k) {
        ShapeStoreInt(ShapeGetParts(r) + 4 * k, i);
        for (const DoublePoint& p : parts[k]) ShapeStorePoint(ShapeGetPoints(r), i++, p);
    }
    ShpComputeShapeBounds(r);
    return r;
}

ShpDrawTransform Transform(double x0, double y0, double x1, double y1, int w, int h) {
    ShpDrawTransform t;
    ShpSetDrawTransform(&t, RECT{0, 0, w, h}, CDoubleRect(x0, y0, x1, y1));
    return t;
}

TEST(ShapeDraw, WorldToDevice) {
    const ShpDrawTransform t = Transform(0, 0, 24, 32, 240, 320);
    struct Case {
        double x, y;
        LONG dx, dy;
    } cases[] = {
        {12, 16, 120, 160},
        {24, 32, 240, 0},
        {0, 0, 0, 320},        // the lower-left corner: (0, height)
        {0.09, 0.09, 0, 320},  // truncation toward zero
        {-0.09, 31.99, 0, 1},
        // Far outside: clamped to 2^27 before the conversion, never undefined.
        {1e12, -1e12, 134217728, 320 + 134217728},
        {-1e300, 1e300, -134217728, 320 - 134217728},
    };
    for (const Case& k : cases) {
        POINT p = ShpWorldToDevice(t, k.x, k.y);
        EXPECT_EQ(p.x, k.dx) << k.x << "," << k.y;
        EXPECT_EQ(p.y, k.dy) << k.x << "," << k.y;
    }
    RECT r = ShpWorldRectToDevice(t, CDoubleRect(6, 8, 18, 24));
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right, 180);
    EXPECT_EQ(r.bottom, 240);
    // A world extent of zero width (one point) is widened by 1 on both sides.
    const ShpDrawTransform z = Transform(5, 5, 5, 9, 240, 320);
    EXPECT_DOUBLE_EQ(z.scaleX, 120.0);
    EXPECT_EQ(ShpWorldToDevice(z, 5, 7).x, 120);
    EXPECT_EQ(ShpWorldToDevice(z, 5, 7).y, 160);
}

TEST(ShapeDraw, PolygonWithHole) {
    // A 10 x 8 world square with a 4 x 4 hole, on a 12 x 10 surface, 1 unit a pixel.
    std::vector<uint8_t> bytes;
    const ShapeRecord* r = Build(
        bytes, kShapePolygon,
        {{{1, 1}, {1, 9}, {11, 9}, {11, 1}, {1, 1}}, {{4, 3}, {8, 3}, {8, 7}, {4, 7}, {4, 3}}});
    const ShpDrawTransform t = Transform(0, 0, 12, 10, 12, 10);
    // Joined path: n points, then each ring and the first point again.
    POINT* p = ShpTransformRings(t, r);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[10].x, p[0].x);
    EXPECT_EQ(p[15].x, p[0].x);
    EXPECT_EQ(p[15].y, p[0].y);
    EXPECT_EQ(p[16].x, 4);
    EXPECT_EQ(p[21].y, p[0].y);

    gditest::Canvas c(12, 10);
    HBRUSH red = CreateSolidBrush(gditest::kRed);
    HBRUSH old = SelectObject(c.dc, red);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    EXPECT_EQ(ShpDrawPolygonRecord(t, c.dc, r), 1);
    EXPECT_EQ(c.At(2, 2), gditest::kRed);
    EXPECT_EQ(c.At(5, 5), gditest::kWhite);  // the hole stays open
    // Drawn as a shape with fill, each ring is filled on its own: no hole.
    gditest::Canvas d(12, 10);
    SelectObject(d.dc, red);
    SelectObject(d.dc, GetStockObject(NULL_PEN));
    EXPECT_EQ(ShpDrawShape(t, d.dc, r, true), 1);
    EXPECT_EQ(d.At(5, 5), gditest::kRed);
    SelectObject(d.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(c.dc, old);
    DeleteObject(red);
    // Without fill the rings are outlined with the pen.
    gditest::Canvas e(12, 10);
    EXPECT_EQ(ShpDrawShape(t, e.dc, r, false), 1);
    EXPECT_EQ(e.At(1, 2), gditest::kBlack);
    EXPECT_EQ(e.At(4, 4), gditest::kBlack);
    EXPECT_EQ(e.At(2, 3), gditest::kWhite);
}

TEST(ShapeDraw, PartsAreDrawnLastToFirstAndCheckedFirst) {
    gditest::Canvas c(8, 4);
    POINT pts[] = {{0, 0}, {3, 0}, {0, 2}, {5, 2}};
    uint8_t starts[8];
    ShapeStoreInt(starts, 0);
    ShapeStoreInt(starts + 4, 2);
    EXPECT_EQ(ShpPolylineParts(c.dc, pts, 4, starts, 2), 1);
    EXPECT_PICTURE(c, "###.....", "........", "#####...", "........");
    EXPECT_EQ(ShpPolylineParts(c.dc, pts, 4, starts, 0), 1);   // nothing to draw
    EXPECT_EQ(ShpPolylineParts(c.dc, pts, 4, starts, -1), 0);  // a negative count
    ShapeStoreInt(starts + 4, 9);                              // a start past the points
    EXPECT_EQ(ShpPolygonParts(c.dc, pts, 4, starts, 2), 0);
}

TEST(ShapeDraw, VeryLargeLineIsDrawn) {
    // 300,000 points: more than the handheld's fixed buffer held. The buffer
    // grows instead, and the zig-zag crosses the whole surface.
    const int n = 300000;
    std::vector<DoublePoint> line(n);
    for (int i = 0; i < n; ++i) line[i] = DoublePoint{double(i % 100), double((i / 100) % 2) * 50};
    std::vector<uint8_t> bytes;
    const ShapeRecord* r = Build(bytes, kShapePolyline, {line});
    const ShpDrawTransform t = Transform(0, 0, 100, 50, 100, 50);
    gditest::Canvas c(100, 51);
    EXPECT_EQ(ShpDrawShape(t, c.dc, r, false), 1);
    EXPECT_GE(ShpPointBufferSize(), n);
    EXPECT_EQ(c.At(50, 50), gditest::kBlack);
    EXPECT_EQ(c.At(50, 0), gditest::kBlack);
}

// Shapefiles on a temporary device root, drawn through the engine's walks.
class ShapeDrawFileTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ShpResetForTests();
        ShpSetAbortPoll([] { return false; });
    }
    void TearDown() override {
        ShpSetAbortPoll(nullptr);
        DbfRootTest::TearDown();
    }
    // A file of one type; each shape is a list of rings (or one point list).
    ShpHandle Make(const char16_t* name, int type, const std::vector<std::vector<Ring>>& shapes) {
        ShpHandle h = ShpCreate(name, type, 0);
        EXPECT_NE(h, nullptr);
        for (const auto& rings : shapes) {
            int n = 0;
            for (auto& r : rings) n += static_cast<int>(r.size());
            int parts = IsLineOrPolygonShapeType(type) ? static_cast<int>(rings.size()) : 0;
            ShapeInitRecord(h, type, parts, n, nullptr);
            ShapeRecord* r = ShpGetShapeBuffer(h);
            int i = 0;
            for (size_t k = 0; k < rings.size(); ++k) {
                if (parts) ShapeStoreInt(ShapeGetParts(r) + 4 * k, i);
                for (const DoublePoint& p : rings[k]) ShapeStorePoint(ShapeGetPoints(r), i++, p);
            }
            if (type != kShapePoint) ShpComputeShapeBounds(r);
            EXPECT_GE(ShpAppendShape(h, r), 0);
        }
        return h;
    }
};

struct Log {
    std::vector<std::pair<int, int>> calls;  // phase, record
    int skip = -1;
};

int Record(ShpDrawContext* c, ShpHandle, int record, const ShapeRecord*) {
    auto* log = static_cast<Log*>(c->user);
    log->calls.emplace_back(c->phase, record);
    return !(c->phase == kShpDrawBeforeRecord && record == log->skip);
}

TEST_F(ShapeDrawFileTest, PhasesAndASkippedRecord) {
    ShpHandle h = Make(u"\\pts.shp", kShapePoint, {{{{1.5, 1.5}}}, {{{3.5, 1.5}}}, {{{5.5, 1.5}}}});
    ShpSetDrawTransform(h, RECT{0, 0, 8, 3}, nullptr);  // the header's box
    ShpSetDrawTransform(h, RECT{0, 0, 8, 3}, &(const CDoubleRect&)CDoubleRect(0, 0, 8, 3));
    gditest::Canvas c(8, 3);
    SetTextColor(c.dc, gditest::kRed);
    Log log;
    log.skip = 1;
    for (int flags : {0, kShpDrawMapped}) {
        log.calls.clear();
        EXPECT_EQ(ShpDrawRecords(h, c.dc, nullptr, nullptr, flags, Record, &log), 1);
        const std::vector<std::pair<int, int>> want = {{0, -1}, {2, 0}, {3, 0}, {2, 1},
                                                       {2, 2},  {3, 2}, {1, -1}};
        EXPECT_EQ(log.calls, want);
    }
    // Points are pixels in the text colour; the skipped one is not drawn.
    EXPECT_PICTURE(c, "........", "........", ".r...r..");
    ShpClose(h);
}

TEST_F(ShapeDrawFileTest, DrawerFollowsClassAndFillFlag) {
    const std::vector<Ring> holed = {{{1, 1}, {1, 9}, {11, 9}, {11, 1}, {1, 1}},
                                     {{4, 3}, {8, 3}, {8, 7}, {4, 7}, {4, 3}}};
    ShpHandle h = Make(u"\\poly.shp", kShapePolygon, {holed});
    ShpSetDrawTransform(h, RECT{0, 0, 12, 10}, &(const CDoubleRect&)CDoubleRect(0, 0, 12, 10));
    for (int flags : {kShpDrawFillPolygons, 0}) {
        gditest::Canvas c(12, 10);
        HBRUSH red = CreateSolidBrush(gditest::kRed);
        HBRUSH old = SelectObject(c.dc, red);
        ShpDrawRecords(h, c.dc, nullptr, nullptr, flags, nullptr, nullptr);
        SelectObject(c.dc, old);
        DeleteObject(red);
        // Filled: the ring red inside its black outline, the hole white.
        // Not filled: outlines only.
        EXPECT_EQ(c.At(1, 2), gditest::kBlack);
        EXPECT_EQ(c.At(2, 2), flags ? gditest::kRed : gditest::kWhite);
        EXPECT_EQ(c.At(4, 4), gditest::kBlack);
        EXPECT_EQ(c.At(5, 5), gditest::kWhite);
    }
    ShpClose(h);
}

struct Progress {
    HDC screen;
    std::vector<int> seen;  // records whose predecessor was on screen at once
};

int Watch(ShpDrawContext* c, ShpHandle, int record, const ShapeRecord*) {
    auto* p = static_cast<Progress*>(c->user);
    if (c->phase == kShpDrawBeforeRecord && record > 0) {
        int prev = record - 1;
        if (GetPixel(p->screen, prev % 100, prev / 100) == gditest::kRed) p->seen.push_back(record);
    }
    return 1;
}

TEST_F(ShapeDrawFileTest, ScreenCopiesEvery1024Records) {
    std::vector<std::vector<Ring>> shapes;
    for (int i = 0; i < 3000; ++i) shapes.push_back({{{i % 100 + 0.5, 30.5 - i / 100}}});
    ShpHandle h = Make(u"\\many.shp", kShapePoint, shapes);
    ShpSetDrawTransform(h, RECT{0, 0, 100, 30}, &(const CDoubleRect&)CDoubleRect(0, 0, 100, 30));
    gditest::Canvas draw(100, 30), screen(100, 30);
    SetTextColor(draw.dc, gditest::kRed);
    Progress p{screen.dc, {}};
    EXPECT_EQ(ShpDrawRecords(h, draw.dc, screen.dc, nullptr, kShpDrawMapped, Watch, &p), 1);
    // Copies after records 0, 1024 and 2048 (seen at the record after each).
    EXPECT_EQ(p.seen, (std::vector<int>{1, 1025, 2049}));
    EXPECT_EQ(draw.At(99, 29), gditest::kRed);
    ShpClose(h);
}

struct Visits {
    std::vector<int> records;
    std::vector<POINT> first;
    int stopAfter = 100;
};

int Visit(ShpHandle, int record, const ShapeRecord*, POINT* pts, void* user, int, int) {
    auto* v = static_cast<Visits*>(user);
    v->records.push_back(record);
    v->first.push_back(pts[0]);
    return static_cast<int>(v->records.size()) < v->stopAfter;
}

TEST_F(ShapeDrawFileTest, VisitorsHandOverDevicePoints) {
    ShpHandle h = Make(u"\\lines.shp", kShapePolyline,
                       {{{{0, 0}, {4, 4}}}, {{{1, 1}, {2, 2}}}, {{{3, 0}, {3, 4}}}});
    ShpSetDrawTransform(h, RECT{0, 0, 4, 4}, &(const CDoubleRect&)CDoubleRect(0, 0, 4, 4));
    Visits v;
    EXPECT_EQ(ShpForEachInExtent(h, nullptr, 0, Visit, &v), 1);
    EXPECT_EQ(v.records, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(v.first[2].x, 3);
    EXPECT_EQ(v.first[2].y, 4);
    // Record numbers 1 and 3 (indexes 0 and 2) from a set's words.
    Visits w;
    const uint32_t words[1] = {(1u << 1) | (1u << 3)};
    EXPECT_EQ(ShpForEachInList(h, 3, 2, words, Visit, &w), 1);
    EXPECT_EQ(w.records, (std::vector<int>{0, 2}));
    // From a source of indexes, until -1; the callback's 0 ends the visit.
    Visits s;
    s.stopAfter = 2;
    int order[] = {2, 0, 1, -1}, at = 0;
    struct Source {
        int* order;
        int* at;
        Visits* v;
    } src{order, &at, &s};
    auto next = [](void* user) {
        auto* q = static_cast<Source*>(user);
        return q->order[(*q->at)++];
    };
    EXPECT_EQ(
        ShpForEachFromSource(
            h, next,
            [](ShpHandle hh, int record, const ShapeRecord* r, POINT* pts, void* user, int x,
               int y) { return Visit(hh, record, r, pts, static_cast<Source*>(user)->v, x, y); },
            &src),
        1);
    EXPECT_EQ(s.records, (std::vector<int>{2, 0}));
    ShpClose(h);
}

}  // namespace
