// Shapefiles: reading every vertex of a 1,000,000-point and a 100,000-polygon
// shapefile, appending 100,000 points, and visiting the records inside a
// window, our engine beside shapelib's SHP functions on the same files in the
// same run. Each pair checks that both saw the same coordinates.
//   build/bench/shape_bench [--benchmark_filter=Points]
#include <benchmark/benchmark.h>
#include <shapefil.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_internal.h"
#include "formats/shape/shp_visit.h"
#include "platform/fs/fs.h"

namespace {

constexpr int kPoints = 1000000;
constexpr int kPolygons = 100000;
constexpr int kRing = 21;  // points per polygon ring, closed
constexpr int kAppends = 100000;

void Be(std::string& s, uint32_t v) {
    uint8_t b[4];
    byte_order::StoreBe32(b, v);
    s.append(reinterpret_cast<char*>(b), 4);
}
void Le(std::string& s, const void* p, size_t n) {
    s.append(static_cast<const char*>(p), n);
}

// Writes the three files directly, so setting up takes no engine's time.
void WriteShapefile(const std::string& host, const std::string& name, int type, int count,
                    const std::function<std::string(int)>& content) {
    std::string shp, shx;
    std::string header(100, '\0');
    shp.reserve(static_cast<size_t>(count) * 64);
    shp = header;
    shx = header;
    double box[4] = {1e300, 1e300, -1e300, -1e300};
    for (int i = 0; i < count; ++i) {
        const std::string c = content(i);
        Be(shx, static_cast<uint32_t>(shp.size() / 2));
        Be(shx, static_cast<uint32_t>(c.size() / 2));
        Be(shp, static_cast<uint32_t>(i + 1));
        Be(shp, static_cast<uint32_t>(c.size() / 2));
        shp += c;
        double b[4];
        if (type == 1) {
            memcpy(b, c.data() + 4, 16);
            memcpy(b + 2, c.data() + 4, 16);
        } else {
            memcpy(b, c.data() + 4, 32);
        }
        box[0] = std::min(box[0], b[0]), box[1] = std::min(box[1], b[1]);
        box[2] = std::max(box[2], b[2]), box[3] = std::max(box[3], b[3]);
    }
    for (std::string* f : {&shp, &shx}) {
        auto* h = reinterpret_cast<uint8_t*>(f->data());
        byte_order::StoreBe32(h, 9994);
        byte_order::StoreBe32(h + 24, static_cast<uint32_t>(f->size() / 2));
        const int32_t version = 1000;
        memcpy(h + 28, &version, 4);
        memcpy(h + 32, &type, 4);
        memcpy(h + 36, box, 32);
    }
    std::ofstream(host + "/" + name + ".shp", std::ios::binary) << shp;
    std::ofstream(host + "/" + name + ".shx", std::ios::binary) << shx;
    const WString dbf = text::FromUtf8("\\" + name + ".dbf");
    DbfHandle t = DbfCreate(dbf.c_str(), 0);
    DbfAddField(t, u"ID", 'N', 10, 0);
    DbfSetRecordCount(t, count);
    DbfClose(t);
}

std::string PointContent(int i) {
    std::string c;
    const int32_t type = 1;
    const double xy[2] = {500000.0 + (i % 1000) * 10.0, 5200000.0 + (i / 1000) * 10.0};
    Le(c, &type, 4);
    Le(c, xy, 16);
    return c;
}

std::string PolygonContent(int i) {
    std::string c;
    const int32_t type = 5, parts = 1, points = kRing, start = 0;
    const double cx = (i % 300) * 100.0, cy = (i / 300) * 100.0, r = 40;
    const double box[4] = {cx - r, cy - r, cx + r, cy + r};
    Le(c, &type, 4);
    Le(c, box, 32);
    Le(c, &parts, 4);
    Le(c, &points, 4);
    Le(c, &start, 4);
    for (int k = 0; k < kRing; ++k) {
        const double a = -2 * M_PI * (k % (kRing - 1)) / (kRing - 1);
        const double xy[2] = {cx + r * std::cos(a), cy + r * std::sin(a)};
        Le(c, xy, 16);
    }
    return c;
}

struct Fixture {
    std::string root;
    Fixture() {
        char tmpl[] = "/tmp/zn-shape-bench-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
        WriteShapefile(root, "points", 1, kPoints, PointContent);
        WriteShapefile(root, "polys", 5, kPolygons, PolygonContent);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string Host(const char* name) const { return root + "/" + name; }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

// The checksum both engines must agree on.
double g_expected[2] = {0, 0};

void Check(benchmark::State& state, int which, double sum) {
    if (g_expected[which] == 0) g_expected[which] = sum;
    if (sum != g_expected[which]) state.SkipWithError("engines disagree");
}

int SumVertices(ShpHandle, int, ShapeRecord* r, void* user) {
    double* sum = static_cast<double*>(user);
    const uint8_t* pts = ShapeGetPoints(r);
    for (int i = 0, n = ShpGetPointCount(r); i < n; ++i) {
        const DoublePoint p = ShapeLoadPoint(pts, i);
        *sum += p.x + p.y;
    }
    return 1;
}

void ZarnipRead(benchmark::State& state, const char16_t* path, int which, bool mapped) {
    Data();
    for (auto _ : state) {
        ShpHandle h = ShpOpen(path, 0);
        double sum = 0;
        if (mapped) {
            ShpForEachMapped(h, SumVertices, &sum, nullptr, 0, -1, 0);
        } else {
            for (int i = 0, n = ShpGetRecordCount(h); i < n; ++i)
                if (ShapeRecord* r = ShpReadShape(h, i)) SumVertices(h, i, r, &sum);
        }
        ShpClose(h);
        Check(state, which, sum);
        benchmark::DoNotOptimize(sum);
    }
}

void ShapelibRead(benchmark::State& state, const char* name, int which) {
    const std::string path = Data().Host(name);
    for (auto _ : state) {
        SHPHandle h = SHPOpen(path.c_str(), "rb");
        int count = 0;
        SHPGetInfo(h, &count, nullptr, nullptr, nullptr);
        double sum = 0;
        for (int i = 0; i < count; ++i) {
            SHPObject* o = SHPReadObject(h, i);
            for (int k = 0; o && k < o->nVertices; ++k) sum += o->padfX[k] + o->padfY[k];
            SHPDestroyObject(o);
        }
        SHPClose(h);
        Check(state, which, sum);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_Points_Zarnip_Mapped(benchmark::State& s) {
    ZarnipRead(s, u"\\points.shp", 0, true);
}
void BM_Points_Zarnip_Read(benchmark::State& s) {
    ZarnipRead(s, u"\\points.shp", 0, false);
}
void BM_Points_Shapelib(benchmark::State& s) {
    ShapelibRead(s, "points.shp", 0);
}
void BM_Polygons_Zarnip_Mapped(benchmark::State& s) {
    ZarnipRead(s, u"\\polys.shp", 1, true);
}
void BM_Polygons_Zarnip_Read(benchmark::State& s) {
    ZarnipRead(s, u"\\polys.shp", 1, false);
}
void BM_Polygons_Shapelib(benchmark::State& s) {
    ShapelibRead(s, "polys.shp", 1);
}

void BM_Append_Zarnip(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        ShpHandle h = ShpCreate(u"\\append.shp", kShapePoint, 0);
        DbfAddField(ShpGetTable(h), u"ID", 'N', 10, 0);
        for (int i = 0; i < kAppends; ++i) ShpAppendPointXY(h, i, -i);
        ShpClose(h);
    }
    state.SetItemsProcessed(state.iterations() * kAppends);
}

void BM_Append_Shapelib(benchmark::State& state) {
    const std::string path = Data().Host("append_peer");
    for (auto _ : state) {
        SHPHandle h = SHPCreate(path.c_str(), SHPT_POINT);
        DBFHandle t = DBFCreate(path.c_str());
        DBFAddField(t, "ID", FTInteger, 10, 0);
        for (int i = 0; i < kAppends; ++i) {
            const double x = i, y = -i;
            SHPObject* o = SHPCreateSimpleObject(SHPT_POINT, 1, &x, &y, nullptr);
            const int n = SHPWriteObject(h, -1, o);
            DBFWriteNULLAttribute(t, n, 0);
            SHPDestroyObject(o);
        }
        DBFClose(t);
        SHPClose(h);
    }
    state.SetItemsProcessed(state.iterations() * kAppends);
}

// A window over a tenth of the polygons' area.
constexpr double kWindow[4] = {0, 0, 30000 * 0.316, 33400 * 0.316};
double g_windowSum = 0;

void BM_Window_Zarnip(benchmark::State& state) {
    Data();
    const CDoubleRect w(kWindow[0], kWindow[1], kWindow[2], kWindow[3]);
    for (auto _ : state) {
        ShpHandle h = ShpOpen(u"\\polys.shp", 0);
        double sum = 0;
        ShpForEachMapped(h, SumVertices, &sum, &w, 0, -1, 0);
        ShpClose(h);
        if (g_windowSum == 0) g_windowSum = sum;
        if (sum != g_windowSum) state.SkipWithError("engines disagree");
    }
}

void BM_Window_Shapelib(benchmark::State& state) {
    const std::string path = Data().Host("polys.shp");
    for (auto _ : state) {
        SHPHandle h = SHPOpen(path.c_str(), "rb");
        int count = 0;
        SHPGetInfo(h, &count, nullptr, nullptr, nullptr);
        double sum = 0;
        for (int i = 0; i < count; ++i) {
            SHPObject* o = SHPReadObject(h, i);
            if (o && o->dfXMin <= kWindow[2] && o->dfXMax >= kWindow[0] &&
                o->dfYMin <= kWindow[3] && o->dfYMax >= kWindow[1])
                for (int k = 0; k < o->nVertices; ++k) sum += o->padfX[k] + o->padfY[k];
            SHPDestroyObject(o);
        }
        SHPClose(h);
        if (g_windowSum == 0) g_windowSum = sum;
        if (sum != g_windowSum) state.SkipWithError("engines disagree");
    }
}

}  // namespace

BENCHMARK(BM_Points_Zarnip_Mapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Points_Zarnip_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Points_Shapelib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Polygons_Zarnip_Mapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Polygons_Zarnip_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Polygons_Shapelib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append_Zarnip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append_Shapelib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Window_Zarnip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Window_Shapelib)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
