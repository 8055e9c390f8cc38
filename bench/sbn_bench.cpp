// The spatial bin index: building for 1,000,000 points and 100,000 polygons,
// and 10,000 window queries through our reader, shapelib's reader of the same
// files and a brute-force scan of the boxes. Run build/bench/sbn_bench.
#include <benchmark/benchmark.h>
#include <shapefil.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/shape/record_set.h"
#include "formats/shape/sbn_index.h"
#include "platform/fs/fs.h"

namespace {

constexpr int kPoints = 1000000;
constexpr int kPolygons = 100000;
constexpr int kQueries = 10000;
const EExtent kExtent(0, 0, 100000, 100000);

const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-sbn-bench-XXXXXX";
        std::string r = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", r.c_str(), 1);
        fs::ResetConfiguration();
        return r;
    }();
    return root;
}

std::vector<EExtent> Boxes(bool points) {
    std::mt19937 rng(points ? 1 : 2);
    std::uniform_real_distribution<double> u(0, 100000), size(0, 400);
    std::vector<EExtent> boxes;
    const int n = points ? kPoints : kPolygons;
    boxes.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double x = u(rng), y = u(rng);
        if (points)
            boxes.emplace_back(x, y, x, y);
        else
            boxes.emplace_back(x, y, std::min(x + size(rng), 100000.0),
                               std::min(y + size(rng), 100000.0));
    }
    return boxes;
}

const std::vector<EExtent>& Data(bool points) {
    static const std::vector<EExtent> p = Boxes(true), q = Boxes(false);
    return points ? p : q;
}

// Windows of 1% of the extent's width (0.01% of its area).
const std::vector<EExtent>& Queries() {
    static const std::vector<EExtent> q = [] {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> u(0, 99000);
        std::vector<EExtent> v;
        for (int i = 0; i < kQueries; ++i) {
            const double x = u(rng), y = u(rng);
            v.emplace_back(x, y, x + 1000, y + 1000);
        }
        return v;
    }();
    return q;
}

const WChar* Path(bool points) {
    return points ? u"\\points.sbn" : u"\\polygons.sbn";
}

void Build(bool points) {
    const auto& boxes = Data(points);
    ESpatialIndexBuilder b(static_cast<int>(boxes.size()), kExtent);
    for (size_t i = 0; i < boxes.size(); ++i) b.AddShape(static_cast<int>(i) + 1, boxes[i]);
    b.Write(Path(points));
}

void EnsureBuilt(bool points) {
    Root();
    static bool built[2] = {false, false};
    if (!built[points]) {
        Build(points);
        built[points] = true;
    }
}

void BM_Build(benchmark::State& state) {
    const bool points = state.range(0) != 0;
    Root();
    Data(points);
    for (auto _ : state) Build(points);
    state.SetLabel(points ? "1,000,000 points" : "100,000 polygons");
}
BENCHMARK(BM_Build)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_QueryOurs(benchmark::State& state) {
    const bool points = state.range(0) != 0;
    EnsureBuilt(points);
    // The second argument is the mapped window in MiB; 0 keeps the default
    // (the whole file).
    if (state.range(1) > 0) EFileIO::SetMapWindowSize(state.range(1) << 20);
    ESpatialIndex index;
    if (!index.Open(Path(points))) state.SkipWithError("open failed");
    ERecordSet set(static_cast<int>(Data(points).size()));
    int64_t hits = 0;
    for (auto _ : state) {
        for (const EExtent& q : Queries()) {
            set.RemoveAll();
            hits += index.Query(q, set);
        }
    }
    // Outside the timing: the candidates, filtered by their boxes, are
    // exactly the boxes a brute-force scan finds.
    int64_t exact = 0, brute = 0;
    const auto& boxes = Data(points);
    for (size_t k = 0; k < Queries().size(); k += 100) {
        const EExtent& q = Queries()[k];
        set.RemoveAll();
        index.Query(q, set);
        for (size_t i = 0; i < boxes.size(); ++i) {
            const bool meets = q.Intersects(boxes[i]);
            brute += meets;
            exact += meets && set.Contains(static_cast<int>(i) + 1);
        }
    }
    if (exact != brute) state.SkipWithError("the index lost features");
    index.Close();
    EFileIO::ResetForTests();
    state.counters["candidates/query"] =
        static_cast<double>(hits) / (state.iterations() * kQueries);
}
BENCHMARK(BM_QueryOurs)
    ->Args({1, 0})
    ->Args({1, 64})
    ->Args({0, 0})
    ->Args({0, 64})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_QueryShapelib(benchmark::State& state) {
    const bool points = state.range(0) != 0;
    EnsureBuilt(points);
    const std::string host = Root() + (points ? "/points.sbn" : "/polygons.sbn");
    SBNSearchHandle sbn = SBNOpenDiskTree(host.c_str(), nullptr);
    if (!sbn) {
        state.SkipWithError("shapelib cannot open the index");
        return;
    }
    int64_t hits = 0;
    for (auto _ : state) {
        for (const EExtent& q : Queries()) {
            double lo[4] = {q.xmin, q.ymin, 0, 0}, hi[4] = {q.xmax, q.ymax, 0, 0};
            int n = 0;
            int* ids = SBNSearchDiskTree(sbn, lo, hi, &n);
            hits += n;
            SBNSearchFreeIds(ids);
        }
    }
    SBNCloseDiskTree(sbn);
    state.counters["candidates/query"] =
        static_cast<double>(hits) / (state.iterations() * kQueries);
}
BENCHMARK(BM_QueryShapelib)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_QueryBruteForce(benchmark::State& state) {
    const bool points = state.range(0) != 0;
    const auto& boxes = Data(points);
    int64_t hits = 0;
    for (auto _ : state) {
        for (const EExtent& q : Queries())
            for (const EExtent& b : boxes) hits += q.Intersects(b);
    }
    state.counters["hits/query"] = static_cast<double>(hits) / (state.iterations() * kQueries);
}
BENCHMARK(BM_QueryBruteForce)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
