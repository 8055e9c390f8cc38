// A full redraw of a shapefile layer of 100,000 polygons on a 1024 x 768
// surface, as the view redraws on a pan: the layer opened once, each
// iteration one DrawTo with a filled and outlined symbol, no labels. The peer
// is gdal_rasterize burning the same shapefile at the same extent and size
// (whole process: start-up and reading included). Also, without a peer: the
// redraw with the opening included, a zoomed view drawn through the spatial
// index, and the layer with a value map and labels.
//
//   build/bench/shape_layer_bench
//
// child_cpu_ms is the peer's processor time (user and system) per run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include <sys/resource.h>

#include "formats/shape/shp_engine.h"
#include "formats/shape/spatial_index.h"
#include "map/layers/shape_layer.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"

namespace {

constexpr int kW = 1024, kH = 768;
constexpr double kXmin = 500000, kYmin = 4000000, kXmax = 510240, kYmax = 4007680;  // 10 m pixels

struct Data {
    std::string dir;
    bool ready = false;
};

// The polygons of the drawing benchmark, written by ogr2ogr as polys.shp,
// and a copy with a spatial index and a layer file as classed.shp.
const Data& data() {
    static Data d = [] {
        Data d;
        char tmpl[] = "/tmp/zn_shape_layer_bench_XXXXXX";
        if (!mkdtemp(tmpl)) return d;
        d.dir = tmpl;
        static std::string dir = d.dir;
        std::atexit([] { std::filesystem::remove_all(dir); });
        std::mt19937 rng(12345);
        std::uniform_real_distribution<double> ux(kXmin, kXmax), uy(kYmin, kYmax);
        std::uniform_real_distribution<double> ur(10, 60), ua(0, 2 * M_PI);
        std::uniform_int_distribution<int> un(5, 14);
        {
            std::ofstream f(d.dir + "/polys.csv");
            f.precision(12);
            f << "ID,NAME,WKT\n";
            for (int i = 0; i < 100000; ++i) {
                double cx = ux(rng), cy = uy(rng), r = ur(rng), a0 = ua(rng);
                int n = un(rng);
                f << i + 1 << ",P" << i + 1 << ",\"POLYGON ((";
                for (int k = 0; k <= n; ++k) {
                    double a = a0 - 2 * M_PI * (k % n) / n, rr = r * ((k % n) & 1 ? 0.6 : 1.0);
                    f << (k ? "," : "") << cx + rr * std::cos(a) << ' ' << cy + rr * std::sin(a);
                }
                f << "))\"\n";
            }
        }
        std::string base = "ogr2ogr -q -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES ";
        if (std::system((base + d.dir + "/polys.shp " + d.dir + "/polys.csv >/dev/null 2>&1").c_str()))
            return d;
        std::system(("cd " + d.dir + " && for e in shp shx dbf; do cp polys.$e classed.$e; done").c_str());
        std::ofstream(d.dir + "/classed.znl")
            << "<?xml version=\"1.0\"?>\n<Zarnip><LAYER name=\"classed\"><SYMBOLOGY>"
               "<SIMPLELABELRENDERER field=\"NAME\" visible=\"true\"><TEXTSYMBOL fontsize=\"8\"/>"
               "</SIMPLELABELRENDERER><VALUEMAPRENDERER lookupfield=\"ID\">"
               "<RANGE lower=\"1\" upper=\"25000\"><SIMPLEPOLYGONSYMBOL filltype=\"solid\" "
               "fillcolor=\"255,0,0\"/></RANGE>"
               "<RANGE lower=\"25000\" upper=\"50000\"><SIMPLEPOLYGONSYMBOL filltype=\"bdiagonal\" "
               "fillcolor=\"0,128,0\"/></RANGE>"
               "<RANGE lower=\"50000\" upper=\"75000\"><SIMPLEPOLYGONSYMBOL filltype=\"solid\" "
               "fillcolor=\"0,0,255\" boundarywidth=\"2\"/></RANGE>"
               "<OTHER><SIMPLEPOLYGONSYMBOL filltype=\"solid\" fillcolor=\"200,200,200\"/></OTHER>"
               "</VALUEMAPRENDERER></SYMBOLOGY></LAYER></Zarnip>\n";
        setenv("ZARNIP_ROOT", d.dir.c_str(), 1);
        fs::ResetConfiguration();
        ShpHandle h = ShpOpen(u"\\classed.shp", 0);
        if (!h) return d;
        CSpatialIndex index;
        bool indexed = index.Rebuild(h);
        ShpClose(h);
        d.ready = indexed;
        return d;
    }();
    return d;
}

struct Surface {
    HDC dc;
    HBITMAP bm, old;
    Surface() {
        dc = CreateCompatibleDC(nullptr);
        bm = gdi::CreateSurface(kW, kH);
        old = SelectObject(dc, bm);
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
};

void FilledOutlined(CSymbol& s) {
    s.Reset(CSymbol::kTypeSimplePolygon);
    s.m_fillMode = CSymbol::kFillSolid;
    s.m_brushKind = CSymbol::kBrushSolid;
    s.m_fillColor = RGB(200, 180, 90);
    s.m_pen.lopnStyle = PS_SOLID;
    s.m_pen.lopnWidth = {1, 0};
    s.m_pen.lopnColor = RGB(0, 0, 0);
    s.CreateBrush();
}

std::unique_ptr<CShapeLayer> OpenLayer(const WChar* path, const CDoubleRect& view) {
    auto layer = std::make_unique<CShapeLayer>();
    if (!layer->Open(path)) return nullptr;
    if (!layer->UsesRenderer()) FilledOutlined(layer->m_defaultSymbol);
    layer->SetDrawExtent(view, kW, kH);
    return layer;
}

bool Ready(benchmark::State& state) {
    if (data().ready) return true;
    state.SkipWithError("ogr2ogr not available or the index was not built");
    return false;
}

const CDoubleRect kFull(kXmin, kYmin, kXmax, kYmax);

void RedrawLoop(benchmark::State& state, CShapeLayer& layer) {
    Surface s;
    for (auto _ : state) layer.DrawTo(s.dc, nullptr, 0);
}

void BM_ShapeLayerRedraw(benchmark::State& state) {
    if (!Ready(state)) return;
    auto layer = OpenLayer(u"\\polys.shp", kFull);
    if (!layer) return state.SkipWithError("layer does not open");
    RedrawLoop(state, *layer);
}
BENCHMARK(BM_ShapeLayerRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShapeLayerOpenAndRedraw(benchmark::State& state) {
    if (!Ready(state)) return;
    Surface s;
    for (auto _ : state) {
        auto layer = OpenLayer(u"\\polys.shp", kFull);
        if (!layer) return state.SkipWithError("layer does not open");
        layer->DrawTo(s.dc, nullptr, 0);
    }
}
BENCHMARK(BM_ShapeLayerOpenAndRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShapeLayerZoomedWithIndex(benchmark::State& state) {
    if (!Ready(state)) return;
    // A tenth of the width and height, as after zooming in.
    const CDoubleRect zoom(kXmin + 4608, kYmin + 3456, kXmin + 5632, kYmin + 4224);
    auto layer = OpenLayer(u"\\classed.shp", zoom);
    if (!layer || !layer->HasSpatialIndex()) return state.SkipWithError("no index");
    layer->SetUsesRenderer(false);
    layer->m_labelRenderer.m_visible = false;
    FilledOutlined(layer->m_defaultSymbol);
    RedrawLoop(state, *layer);
}
BENCHMARK(BM_ShapeLayerZoomedWithIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShapeLayerValueMapAndLabels(benchmark::State& state) {
    if (!Ready(state)) return;
    auto layer = OpenLayer(u"\\classed.shp", kFull);
    if (!layer || !layer->UsesRenderer()) return state.SkipWithError("layer file not read");
    layer->CloseSpatialIndex();
    RedrawLoop(state, *layer);
}
BENCHMARK(BM_ShapeLayerValueMapAndLabels)->Unit(benchmark::kMillisecond)->UseRealTime();

// Processor time of the finished child processes so far, in milliseconds: on
// a shared machine the peer's start-up waits for a processor, so its real
// time says more about the load than about the peer.
double ChildCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void BM_GdalRasterizePolygons(benchmark::State& state) {
    if (!Ready(state)) return;
    const std::string& dir = data().dir;
    char cmd[1024];
    std::snprintf(cmd, sizeof cmd,
                  "gdal_rasterize -q -burn 255 -ts %d %d -te %.0f %.0f %.0f %.0f -ot Byte "
                  "-of GTiff %s/polys.shp %s/polys.tif > /dev/null 2>&1",
                  kW, kH, kXmin, kYmin, kXmax, kYmax, dir.c_str(), dir.c_str());
    const double cpu0 = ChildCpuMs();
    for (auto _ : state) {
        std::remove((dir + "/polys.tif").c_str());
        if (std::system(cmd) != 0) return state.SkipWithError("gdal_rasterize failed");
    }
    state.counters["child_cpu_ms"] = (ChildCpuMs() - cpu0) / double(state.iterations());
}
BENCHMARK(BM_GdalRasterizePolygons)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
