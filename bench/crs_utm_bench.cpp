// One million UTM conversions, forward and inverse, by our Transverse
// Mercator and by PROJ's proj_trans on the same points in the same run.
// PROJ gets the bare projection ("+proj=utm"), radians in, no axis or unit
// handling, so both sides do the same work. Compare items_per_second.
#include <benchmark/benchmark.h>
#include <proj.h>

#include <cmath>
#include <random>
#include <vector>

#include "crs/transverse_mercator.h"

namespace {

constexpr size_t kPoints = 1000000;

struct Points {
    std::vector<double> lon, lat, x, y;
    Points() {
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> dlon(6.0, 12.0), dlat(0.0, 84.0);
        CTransverseMercator tm;
        tm.SetDatum(Wgs84Datum());
        tm.SetUtmZone(32);
        for (size_t i = 0; i < kPoints; ++i) {
            lon.push_back(dlon(rng));
            lat.push_back(dlat(rng));
            double px, py;
            tm.GeographicToProjected(lon.back(), lat.back(), &px, &py);
            x.push_back(px);
            y.push_back(py);
        }
    }
};

const Points& Data() {
    static const Points p;
    return p;
}

void ZarnipUtm(benchmark::State& state, bool forward) {
    const Points& p = Data();
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    tm.SetUtmZone(32);
    for (auto _ : state) {
        double sum = 0;
        for (size_t i = 0; i < kPoints; ++i) {
            double u, v;
            if (forward)
                tm.GeographicToProjected(p.lon[i], p.lat[i], &u, &v);
            else
                tm.ProjectedToGeographic(p.x[i], p.y[i], &u, &v);
            sum += u + v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void ZarnipUtmForward(benchmark::State& state) {
    ZarnipUtm(state, true);
}
void ZarnipUtmInverse(benchmark::State& state) {
    ZarnipUtm(state, false);
}

struct Proj {
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* pj = proj_create(ctx, "+proj=utm +zone=32 +ellps=WGS84");
    ~Proj() {
        proj_destroy(pj);
        proj_context_destroy(ctx);
    }
};

void ProjUtm(benchmark::State& state, PJ_DIRECTION direction) {
    const Points& p = Data();
    Proj proj;
    if (!proj.pj) {
        state.SkipWithError("proj_create failed");
        return;
    }
    const double toRad = M_PI / 180;
    for (auto _ : state) {
        double sum = 0;
        for (size_t i = 0; i < kPoints; ++i) {
            PJ_COORD c = direction == PJ_FWD ? proj_coord(p.lon[i] * toRad, p.lat[i] * toRad, 0, 0)
                                             : proj_coord(p.x[i], p.y[i], 0, 0);
            c = proj_trans(proj.pj, direction, c);
            sum += c.v[0] + c.v[1];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void ProjUtmForward(benchmark::State& state) { ProjUtm(state, PJ_FWD); }
void ProjUtmInverse(benchmark::State& state) { ProjUtm(state, PJ_INV); }

BENCHMARK(ZarnipUtmForward)->Unit(benchmark::kMillisecond);
BENCHMARK(ProjUtmForward)->Unit(benchmark::kMillisecond);
BENCHMARK(ZarnipUtmInverse)->Unit(benchmark::kMillisecond);
BENCHMARK(ProjUtmInverse)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
