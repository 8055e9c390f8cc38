// Cost of mapping device paths in a folder of many files: an exact name (one
// lstat per component), a name in the wrong letter case (a folder scan), and
// a wildcard search; beside the plain host open/close they stand in for.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/fs/fs.h"

namespace {

// One device root with `count` files in \Data\Roads, made once per size.
std::string Root(int count) {
    static std::map<int, std::string> roots;
    auto& root = roots[count];
    if (root.empty()) {
        char tmpl[] = "/tmp/zn-fs-bench-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        root = tmpl;
        std::filesystem::create_directories(root + "/Data/Roads");
        for (int i = 0; i < count; ++i)
            std::ofstream(root + "/Data/Roads/ROADS" + std::to_string(i) + ".SHP") << "x";
    }
    fs::SetDeviceRoot(root);
    return root;
}

void BM_HostOpenClose(benchmark::State& state) {
    std::string host = Root(static_cast<int>(state.range(0))) + "/Data/Roads/ROADS7.SHP";
    for (auto _ : state) {
        int fd = open(host.c_str(), O_RDONLY);
        benchmark::DoNotOptimize(fd);
        close(fd);
    }
}

void BM_OpenExactName(benchmark::State& state) {
    Root(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fs::File f;
        benchmark::DoNotOptimize(f.Open(u"\\Data\\Roads\\ROADS7.SHP", fs::kGenericRead,
                                        fs::kShareRead, fs::kOpenExisting));
    }
}

void BM_OpenOtherCase(benchmark::State& state) {
    Root(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fs::File f;
        benchmark::DoNotOptimize(f.Open(u"\\data\\roads\\roads7.shp", fs::kGenericRead,
                                        fs::kShareRead, fs::kOpenExisting));
    }
}

void BM_FindAll(benchmark::State& state) {
    Root(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fs::FindData d;
        int n = 0;
        if (fs::FindHandle* h = fs::FindFirstFile(u"\\Data\\Roads\\*.shp", &d)) {
            do ++n;
            while (fs::FindNextFile(h, &d));
            fs::FindClose(h);
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_HostOpenClose)->Arg(10)->Arg(1000);
BENCHMARK(BM_OpenExactName)->Arg(10)->Arg(1000);
BENCHMARK(BM_OpenOtherCase)->Arg(10)->Arg(1000);
BENCHMARK(BM_FindAll)->Arg(10)->Arg(1000);
BENCHMARK_MAIN();
