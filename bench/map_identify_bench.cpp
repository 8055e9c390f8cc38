// A point-mode identify on the layer of 1,000,000 points: the candidates
// the layer's search gives for the tolerance box and the identify window's
// tests on each (not the tree), through the spatial bin index and by a walk
// over every record. Run build/bench/map_identify_bench.
#include <benchmark/benchmark.h>

#include "bench/points_layer_fixture.h"
#include "map/dialogs/identify_search.h"

namespace {

using namespace points_bench;

int64_t Identify(CShapeLayer& layer, size_t step) {
    int64_t found = 0;
    for (size_t k = 0; k < Taps().size(); k += step) {
        const IdentifySearch search = IdentifySearch::AtPoint(Taps()[k].first, Taps()[k].second, kTolerance);
        found += search.ForEach(layer, [](int) {});
    }
    return found;
}

void Report(benchmark::State& state, int64_t found, int64_t taps) {
    state.SetItemsProcessed(taps);
    state.counters["found/tap"] = static_cast<double>(found) / static_cast<double>(taps);
    state.counters["s/tap"] = benchmark::Counter(static_cast<double>(taps),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_IdentifyThroughIndex(benchmark::State& state) {
    CShapeLayer& layer = Layer();
    if (!layer.HasSpatialIndex()) layer.OpenSpatialIndex();
    int64_t found = 0;
    for (auto _ : state) found += Identify(layer, 1);
    Report(state, found, state.iterations() * kTaps);
}
BENCHMARK(BM_IdentifyThroughIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_IdentifyBruteForce(benchmark::State& state) {
    CShapeLayer& layer = Layer();
    layer.CloseSpatialIndex();
    int64_t found = 0;
    // A hundredth of the taps: each walks every record.
    for (auto _ : state) found += Identify(layer, 100);
    layer.OpenSpatialIndex();
    Report(state, found, state.iterations() * kTaps / 100);
}
BENCHMARK(BM_IdentifyBruteForce)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
