// The map view on a map of 100,000 polygons (written as a shapefile with its
// spatial index) in a 480 x 640 view:
//   - a pan frame: one paint with a valid buffer and every overlay (scale
//     bar, panning frame, destination), and one scroll step of a pan drag;
//   - the full redraw after a pan and after zooming in by 2 and by 8 (the
//     buffer rebuilt through the spatial index);
//   - beside them gdal_rasterize burning the same shapefile over the same
//     window and size (whole-process figures).
//
//   build/bench/map_view_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/shape/shp_engine.h"
#include "formats/shape/spatial_index.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

constexpr int kW = 480, kH = 640;
constexpr double kXmin = 500000, kYmin = 4000000, kXmax = 510240, kYmax = 4007680;

struct World {
    std::string dir;
    bool ok = false;
    CMapDoc doc;
    std::unique_ptr<CMapView> view;
    HWND frame = nullptr;
    CDoubleRect home;
};

World& world() {
    static World* w = [] {
        auto* w = new World;
        char tmpl[] = "/tmp/zn_view_bench_XXXXXX";
        if (!mkdtemp(tmpl)) return w;
        w->dir = tmpl;
        static std::string dir = w->dir;
        std::atexit([] { std::filesystem::remove_all(dir); });
        std::mt19937 rng(12345);
        std::uniform_real_distribution<double> ux(kXmin, kXmax), uy(kYmin, kYmax);
        std::uniform_real_distribution<double> ur(10, 60), ua(0, 2 * M_PI);
        std::uniform_int_distribution<int> un(5, 14);
        {
            std::ofstream f(w->dir + "/polys.csv");
            f.precision(12);
            f << "ID,WKT\n";
            for (int i = 0; i < 100000; ++i) {
                double cx = ux(rng), cy = uy(rng), r = ur(rng), a0 = ua(rng);
                int n = un(rng);
                f << i + 1 << ",\"POLYGON ((";
                for (int k = 0; k <= n; ++k) {
                    int kk = k % n;
                    double a = a0 - 2 * M_PI * kk / n, rr = r * ((kk & 1) ? 0.6 : 1.0);
                    f << (k ? "," : "") << cx + rr * std::cos(a) << ' ' << cy + rr * std::sin(a);
                }
                f << "))\"\n";
            }
        }
        if (std::system(("ogr2ogr -q " + w->dir + "/polys.shp " + w->dir +
                         "/polys.csv > /dev/null 2>&1")
                            .c_str()) != 0)
            return w;
        setenv("ZARNIP_ROOT", w->dir.c_str(), 1);
        fs::ResetConfiguration();
        ShpHandle h = ShpOpen(u"\\polys.shp", 0);
        if (!h) return w;
        CSpatialIndex index;
        bool indexed = index.Rebuild(h);
        ShpClose(h);
        if (!indexed) return w;

        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        win::SetScreenSize(kW, kH + 20);
        UseBuiltInLayerClass(LayerKind::Shape);
        GetPreferences()->Data().display.panframe = true;
        w->doc.OnNewDocument();
        CLayer* layer = nullptr;
        if (!w->doc.AddLayerFromPath(u"\\polys.shp", &layer) || !layer) return w;
        w->frame = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH + 20,
                                  nullptr, nullptr, nullptr, nullptr);
        w->view = std::make_unique<CMapView>();
        w->view->SetDocument(&w->doc);
        w->doc.AddView(w->view.get());
        if (!w->view->Create(w->frame, RECT{0, 0, kW, kH}, 0xE900)) return w;
        w->doc.SetMapExtent(CDoubleRect(kXmin, kYmin, kXmax, kYmax));
        w->view->OnInitialUpdate();
        w->view->SetGoToDestination(505000, 4003000, nullptr);
        win::input::DrainQueue();
        w->home = w->view->GetExtent();
        w->ok = true;
        return w;
    }();
    return *w;
}

void Paint(World& w) {
    InvalidateRect(w.view->GetSafeHwnd(), nullptr, false);
    UpdateWindow(w.view->GetSafeHwnd());
}

void BM_PanFramePaint(benchmark::State& state) {
    World& w = world();
    if (!w.ok) return state.SkipWithError("the test map could not be made");
    Paint(w);
    for (auto _ : state) Paint(w);
}
BENCHMARK(BM_PanFramePaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// One scroll step of a pan drag, as the pan tool makes it on each pen move:
// drawing is off for the drag, the window's pixels move by the pen's motion
// (horizontally, then vertically) with the uncovered strips invalidated and
// erased, and the resulting erase and (empty) paint are dispatched.
void BM_PanDragScrollStep(benchmark::State& state) {
    World& w = world();
    if (!w.ok) return state.SkipWithError("the test map could not be made");
    HWND view = w.view->GetSafeHwnd();
    Paint(w);
    w.view->EnableDrawing(false);
    int sign = 1;
    for (auto _ : state) {
        ScrollWindowEx(view, 7 * sign, 0, nullptr, nullptr, nullptr, nullptr,
                       SW_INVALIDATE | SW_ERASE);
        ScrollWindowEx(view, 0, 5 * sign, nullptr, nullptr, nullptr, nullptr,
                       SW_INVALIDATE | SW_ERASE);
        UpdateWindow(view);
        sign = -sign;
    }
    w.view->EnableDrawing(true);
    Paint(w);
}
BENCHMARK(BM_PanDragScrollStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// factor 0: a pan by a sixth of the width; else a zoom in by the factor.
void Redraw(benchmark::State& state, double factor) {
    World& w = world();
    if (!w.ok) return state.SkipWithError("the test map could not be made");
    for (auto _ : state) {
        state.PauseTiming();
        w.view->ZoomToExtent(w.home, false, 1.0);
        win::input::DrainQueue();
        state.ResumeTiming();
        if (factor == 0) {
            w.view->PanStep(PanDirection::Right);
        } else {
            CDoubleRect e = w.view->GetExtent();
            e.Scale(1.0 / factor);
            w.view->ZoomToExtent(e, false, 1.0);
        }
        UpdateWindow(w.view->GetSafeHwnd());
    }
}
void BM_RedrawAfterPan(benchmark::State& state) { Redraw(state, 0); }
void BM_RedrawZoomIn2(benchmark::State& state) { Redraw(state, 2); }
void BM_RedrawZoomIn8(benchmark::State& state) { Redraw(state, 8); }
BENCHMARK(BM_RedrawAfterPan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RedrawZoomIn2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RedrawZoomIn8)->Unit(benchmark::kMillisecond)->UseRealTime();

void Gdal(benchmark::State& state, double factor) {
    World& w = world();
    if (!w.ok) return state.SkipWithError("the test map could not be made");
    CDoubleRect e = w.home;
    if (factor == 0) e.Offset((e.xmax - e.xmin) / 6, 0);
    else e.Scale(1.0 / factor);
    char cmd[1024];
    std::snprintf(cmd, sizeof cmd,
                  "gdal_rasterize -q -burn 255 -ts %d %d -te %.6f %.6f %.6f %.6f -ot Byte "
                  "-of GTiff %s/polys.shp %s/out.tif > /dev/null 2>&1",
                  kW, kH, e.xmin, e.ymin, e.xmax, e.ymax, w.dir.c_str(), w.dir.c_str());
    for (auto _ : state) {
        std::remove((w.dir + "/out.tif").c_str());
        if (std::system(cmd) != 0) return state.SkipWithError("gdal_rasterize failed");
    }
}
void BM_GdalAfterPan(benchmark::State& state) { Gdal(state, 0); }
void BM_GdalZoomIn2(benchmark::State& state) { Gdal(state, 2); }
void BM_GdalZoomIn8(benchmark::State& state) { Gdal(state, 8); }
BENCHMARK(BM_GdalAfterPan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_GdalZoomIn2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_GdalZoomIn8)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
