// The bundled sample map in the view, against gdal_rasterize burning the
// same shapefile over the view's extent and size: inside each polygon (away
// from its edges, where the two drawing rules differ) the view shows the
// fill of the polygon's population class, and away from every polygon the
// background.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "map/layers/layer_factory.h"
#include "map/layers/shape_layer.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::ViewHarness;

// The classes of the sample's layer file, as an SQL expression for the
// burn value (polygon number * 8 + class) and the fill of each class.
const char kBurnSql[] =
    "SELECT (rowid + 1) * 8 + CASE "
    "WHEN POP90_SQMI >= 0 AND POP90_SQMI <= 10000 THEN 1 WHEN POP90_SQMI <= 25000 THEN 2 "
    "WHEN POP90_SQMI <= 50000 THEN 3 WHEN POP90_SQMI <= 6000000 THEN 4 ELSE 0 END AS v, "
    "geometry FROM blockgroups";
const COLORREF kClassFill[5] = {RGB(255, 255, 255), RGB(255, 255, 204), RGB(161, 218, 180),
                                RGB(65, 182, 196), RGB(34, 94, 168)};

class MapViewSample : public ViewHarness {
protected:
    // The burn values over the view's extent and size; all touched: every
    // pixel a polygon touches, else those whose centre it holds.
    std::vector<int32_t> Burn(bool allTouched) {
        const int w = view_->GetClientWidth(), h = view_->GetClientHeight();
        const CDoubleRect& e = view_->GetExtent();
        char cmd[1024];
        std::snprintf(cmd, sizeof cmd,
                      "gdal_rasterize -q %s -dialect SQLite -sql \"%s\" -a v -ot Int32 -of ENVI "
                      "-te %.17g %.17g %.17g %.17g -ts %d %d blockgroups.shp burn.bin",
                      allTouched ? "-at" : "", kBurnSql, e.xmin, e.ymin, e.xmax, e.ymax, w, h);
        EXPECT_TRUE(ShellIn("Samples", cmd));
        std::ifstream in(Host("Samples/burn.bin"), std::ios::binary);
        std::vector<int32_t> out(static_cast<size_t>(w) * static_cast<size_t>(h));
        in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size() * 4));
        EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(out.size() * 4));
        return out;  // little-endian, as this machine
    }

    void CompareWithGdal(double scale) {
        const int w = view_->GetClientWidth(), h = view_->GetClientHeight();
        std::vector<int32_t> centres = Burn(false), touched = Burn(true);
        auto uniform = [&](const std::vector<int32_t>& b, int x, int y, int r, int32_t v) {
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx)
                    if (b[static_cast<size_t>((y + dy) * w + x + dx)] != v) return false;
            return true;
        };
        std::vector<COLORREF> px = Client();
        int inside = 0, outside = 0, wrong = 0;
        for (int y = 2; y < h - 2; ++y)
            for (int x = 2; x < w - 2; ++x) {
                int32_t v = centres[static_cast<size_t>(y * w + x)];
                COLORREF want;
                if (v == 0 && uniform(touched, x, y, 2, 0)) {
                    // No polygon within two pixels.
                    want = 0xFFFFFF;
                    ++outside;
                } else if (v != 0 && uniform(centres, x, y, 2, v)) {
                    // Two pixels into one polygon.
                    want = kClassFill[v % 8];
                    ++inside;
                    ++totals_[v % 8];
                } else {
                    continue;
                }
                COLORREF got = px[static_cast<size_t>(y * w + x)];
                if (got != want && ++wrong <= 10)
                    ADD_FAILURE() << "1:" << scale << " at " << x << "," << y << ": " << std::hex
                                  << got << " for " << want;
            }
        EXPECT_EQ(wrong, 0) << "1:" << scale;
        EXPECT_GT(inside, 5000) << "1:" << scale;
        EXPECT_GT(outside, 5000) << "1:" << scale;
    }
    int totals_[5] = {};
};

TEST_F(MapViewSample, PolygonInteriorsMatchGdalRasterize) {
    UseBuiltInLayerClass(LayerKind::Shape);
    const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
    ASSERT_TRUE(ShellIn("Samples", "cp '" + samples + "'/* ."));
    ASSERT_TRUE(doc_.OnOpenDocument(u"\\Samples\\Sample.znm"));
    doc_.SetScaleBarVisible(false);
    CreateView();
    // The whole city, then the dense north-east at 1:60000; both far
    // enough out that no labels are drawn (1:50000 and closer).
    struct Case {
        double cx, cy, scale;
    } cases[] = {{0, 0, 0}, {-122.41, 37.785, 60000}};
    for (const Case& c : cases) {
        if (c.scale > 0) {
            view_->CenterAt(c.cx, c.cy);
            view_->SetMapScale(c.scale);
            Pump();
        }
        ASSERT_GT(view_->GetMapScale(true), 50000);
        CompareWithGdal(c.scale);
    }
    // Every class was seen inside its polygons.
    for (int c = 1; c <= 4; ++c) EXPECT_GT(totals_[c], 20) << "class " << c;
}

}  // namespace
