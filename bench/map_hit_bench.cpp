// An identify tap on a shapefile layer of 1,000,000 points: the layer's hit
// test in the tolerance box around the tap (what the identify tool's
// FindFeatureAt runs), through the layer's spatial bin index and by a walk
// over every record, beside shapelib's reader of the same .sbn index with its
// own reading of the candidates. Run build/bench/map_hit_bench.
#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <cmath>
#include <string>

#include "bench/points_layer_fixture.h"

namespace {

using namespace points_bench;

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
