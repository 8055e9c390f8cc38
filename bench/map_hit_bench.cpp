// An identify tap on a shapefile layer of 1,000,000 points: the layer's hit
// test in the tolerance box around the tap (what the identify tool's
// FindFeatureAt runs), through the layer's spatial bin index and by a walk
// over every record, beside shapelib's reader of the same .sbn index with its
// own reading of the candidates. Run build/bench/map_hit_bench.
#include <benchmark/benchmark.h>
#include <shapefil.h>
#include <stdlib.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "map/layers/shape_layer.h"
#include "platform/fs/fs.h"

namespace {

constexpr int kPoints = 1000000;
constexpr int kTaps = 1000;
constexpr double kSide = 100000;
// Eight pixels at a view 240 pixels across 1% of the extent.
constexpr double kTolerance = kSide * 0.01 / 240 * 8;

const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-hit-bench-XXXXXX";
        std::string r = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", r.c_str(), 1);
        fs::ResetConfiguration();
        return r;
    }();
    return root;
}

const std::vector<std::pair<double, double>>& Points() {
    static const std::vector<std::pair<double, double>> p = [] {
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(0, kSide);
        std::vector<std::pair<double, double>> v;
        v.reserve(kPoints);
        for (int i = 0; i < kPoints; ++i) v.emplace_back(u(rng), u(rng));
        return v;
    }();
    return p;
}

// Taps on points (found) and beside them (a miss now and then).
const std::vector<std::pair<double, double>>& Taps() {
    static const std::vector<std::pair<double, double>> t = [] {
        std::mt19937 rng(2);
        std::uniform_int_distribution<int> pick(0, kPoints - 1);
        std::uniform_real_distribution<double> off(-kTolerance, kTolerance);
        std::vector<std::pair<double, double>> v;
        for (int i = 0; i < kTaps; ++i) {
            auto p = Points()[static_cast<size_t>(pick(rng))];
            v.emplace_back(p.first + off(rng), p.second + off(rng));
        }
        return v;
    }();
    return t;
}

// The shapefile, its table (written by shapelib) and our .sbn index.
CShapeLayer& Layer() {
    static CShapeLayer* layer = [] {
        const std::string base = Root() + "/points";
        SHPHandle shp = SHPCreate(base.c_str(), SHPT_POINT);
        DBFHandle dbf = DBFCreate(base.c_str());
        DBFAddField(dbf, "ID", FTInteger, 9, 0);
        int i = 0;
        for (const auto& [x, y] : Points()) {
            SHPObject* o = SHPCreateSimpleObject(SHPT_POINT, 1, &x, &y, nullptr);
            SHPWriteObject(shp, -1, o);
            SHPDestroyObject(o);
            DBFWriteIntegerAttribute(dbf, i, 0, i);
            ++i;
        }
        SHPClose(shp);
        DBFClose(dbf);
        auto* l = new CShapeLayer();
        if (!l->OpenDataset(u"\\points.shp")) return static_cast<CShapeLayer*>(nullptr);
        if (!l->HasSpatialIndex() && !l->BuildSpatialIndex()) return static_cast<CShapeLayer*>(nullptr);
        return l;
    }();
    if (!layer) std::abort();
    return *layer;
}

const CDoubleRect kExtent(0, 0, kSide, kSide);

int64_t TapAll(CShapeLayer& layer) {
    int64_t found = 0;
    for (const auto& [x, y] : Taps()) {
        double d = 0;
        found += layer.HitTest(DoublePoint{x, y}, &d, kTolerance, kExtent) > 0;
    }
    return found;
}

void BM_TapThroughIndex(benchmark::State& state) {
    CShapeLayer& layer = Layer();
    if (!layer.HasSpatialIndex()) layer.OpenSpatialIndex();
    int64_t found = 0;
    for (auto _ : state) found += TapAll(layer);
    state.SetItemsProcessed(state.iterations() * kTaps);
    state.counters["found/tap"] = static_cast<double>(found) / (state.iterations() * kTaps);
    state.counters["s/tap"] = benchmark::Counter(static_cast<double>(state.iterations() * kTaps),
                                                  benchmark::Counter::kIsRate |
                                                      benchmark::Counter::kInvert) ;
}
BENCHMARK(BM_TapThroughIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TapBruteForce(benchmark::State& state) {
    CShapeLayer& layer = Layer();
    layer.CloseSpatialIndex();
    int64_t found = 0;
    for (auto _ : state) {
        // A tenth of the taps: each walks every record.
        for (size_t k = 0; k < Taps().size(); k += 10) {
            double d = 0;
            found += layer.HitTest(DoublePoint{Taps()[k].first, Taps()[k].second}, &d, kTolerance,
                                   kExtent) > 0;
        }
    }
    layer.OpenSpatialIndex();
    state.SetItemsProcessed(state.iterations() * kTaps / 10);
    state.counters["s/tap"] = benchmark::Counter(static_cast<double>(state.iterations() * kTaps / 10),
                                                  benchmark::Counter::kIsRate |
                                                      benchmark::Counter::kInvert);
}
BENCHMARK(BM_TapBruteForce)->Unit(benchmark::kMillisecond)->Iterations(1);

// shapelib: the same .sbn searched in the tolerance box, each candidate read
// and the nearest within the tolerance kept.
void BM_TapShapelib(benchmark::State& state) {
    Layer();
    const std::string base = Root() + "/points";
    SBNSearchHandle sbn = SBNOpenDiskTree((base + ".sbn").c_str(), nullptr);
    SHPHandle shp = SHPOpen(base.c_str(), "rb");
    if (!sbn || !shp) {
        state.SkipWithError("shapelib cannot open the files");
        return;
    }
    int64_t found = 0;
    for (auto _ : state) {
        for (const auto& [x, y] : Taps()) {
            double lo[4] = {x - kTolerance, y - kTolerance, 0, 0};
            double hi[4] = {x + kTolerance, y + kTolerance, 0, 0};
            int n = 0;
            int* ids = SBNSearchDiskTree(sbn, lo, hi, &n);
            double best = kTolerance;
            int hit = -1;
            for (int i = 0; i < n; ++i) {
                SHPObject* o = SHPReadObject(shp, ids[i]);
                if (!o) continue;
                double d = std::hypot(o->padfX[0] - x, o->padfY[0] - y);
                if (d <= best) best = d, hit = ids[i];
                SHPDestroyObject(o);
            }
            SBNSearchFreeIds(ids);
            found += hit >= 0;
        }
    }
    SHPClose(shp);
    SBNCloseDiskTree(sbn);
    state.SetItemsProcessed(state.iterations() * kTaps);
    state.counters["found/tap"] = static_cast<double>(found) / (state.iterations() * kTaps);
    state.counters["s/tap"] = benchmark::Counter(static_cast<double>(state.iterations() * kTaps),
                                                  benchmark::Counter::kIsRate |
                                                      benchmark::Counter::kInvert);
}
BENCHMARK(BM_TapShapelib)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
