// Shapefile drawing against an independent rasteriser. The public block
// groups sample (tests/data/shape) is drawn through the engine's walk with a
// world-to-device transform onto 240 x 300 pixels of a window of it, polygons
// filled as joined rings with even-odd fill and no pen. gdal_rasterize burned
// the same window once (tests/data/gdi, made by tools/gdi_reference.sh) with
// pixel centres inside, no all-touched. The sampling rules differ (we sample
// the truncated vertices at whole pixels), so pixels may differ next to an
// edge and nowhere else. Filling each polygon with XOR into one bit and
// merging into another also shows that neighbours tile: no pixel is filled
// twice.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "dbf_test_util.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_visit.h"
#include "tests/platform/gdi_picture.h"

namespace {

constexpr int kW = 240, kH = 300;
const CDoubleRect kWindow(-122.47, 37.70, -122.39, 37.80);

class ShapeDrawOracleTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ShpResetForTests();
        ShpSetAbortPoll([] { return false; });
        for (const char* ext : {"shp", "shx", "dbf"})
            CopyIn(std::string(ZN_TEST_DATA) + "/shape/blockgroups." + ext,
                   std::string("bg.") + ext);
    }
    void TearDown() override {
        ShpSetAbortPoll(nullptr);
        DbfRootTest::TearDown();
    }
};

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / l2, 0.0, 1.0) : 0;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

TEST_F(ShapeDrawOracleTest, BlockGroupsMatchGdalRasterizeAwayFromEdges) {
    std::vector<std::string> reference;
    {
        std::ifstream f(std::string(ZN_TEST_DATA) + "/gdi/blockgroups_window.txt");
        std::string row;
        while (std::getline(f, row)) reference.push_back(row);
    }
    ASSERT_EQ(reference.size(), size_t(kH));
    ShpHandle h = ShpOpen(u"\\bg.shp", 0);
    ASSERT_NE(h, nullptr);
    ShpSetDrawTransform(h, RECT{0, 0, kW, kH}, &kWindow);

    gditest::Canvas c(kW, kH, gditest::kBlack);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    struct Pass {
        COLORREF colour;
        int rop2;
    } passes[] = {{RGB(1, 0, 0), R2_XORPEN}, {RGB(0, 1, 0), R2_MERGEPEN}};
    for (const Pass& p : passes) {
        HBRUSH b = CreateSolidBrush(p.colour);
        HBRUSH old = SelectObject(c.dc, b);
        SetROP2(c.dc, p.rop2);
        EXPECT_EQ(ShpDrawRecords(h, c.dc, nullptr, &kWindow, kShpDrawMapped | kShpDrawFillPolygons,
                                 nullptr, nullptr),
                  1);
        SelectObject(c.dc, old);
        DeleteObject(b);
    }

    // Every ring edge in (unrounded) device coordinates.
    const ShpDrawTransform& t = *ShpGetDrawTransform(h);
    std::vector<std::array<double, 4>> edges;
    for (int i = 0; i < ShpGetIndexCount(h); ++i) {
        ShapeRecord* r = ShpReadShape(h, i);
        ASSERT_NE(r, nullptr);
        const int n = ShpGetPointCount(r);
        for (int k = 0; k + 1 < n; ++k) {
            DoublePoint a = ShapeLoadPoint(ShapeGetPoints(r), k);
            DoublePoint b = ShapeLoadPoint(ShapeGetPoints(r), k + 1);
            edges.push_back({(a.x - t.world.xmin) * t.scaleX, kH - (a.y - t.world.ymin) * t.scaleY,
                             (b.x - t.world.xmin) * t.scaleX,
                             kH - (b.y - t.world.ymin) * t.scaleY});
        }
    }
    ShpClose(h);

    int burned = 0, mismatches = 0, twice = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const COLORREF px = c.At(x, y);
            const bool ours = (px & 0xFF00) != 0;
            if (ours && !(px & 0xFF)) ++twice;  // covered an even number of times
            const bool theirs = reference[y][x] == '#';
            burned += theirs;
            if (ours == theirs) continue;
            ++mismatches;
            double best = 1e9;
            for (const auto& e : edges)
                best = std::min(best, SegmentDistance(x + 0.5, y + 0.5, e[0], e[1], e[2], e[3]));
            EXPECT_LE(best, 1.5) << "pixel " << x << "," << y << " differs away from every edge";
        }
    }
    EXPECT_EQ(twice, 0);
    EXPECT_LT(mismatches, burned / 50) << mismatches << " of " << burned;
    std::printf("%d of %d burned pixels differ, all next to an edge\n", mismatches, burned);
}

}  // namespace
