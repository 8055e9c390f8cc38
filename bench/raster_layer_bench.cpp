// Image layers redrawn at full view on a 1024 x 768 surface with a pinned
// 1024 x 768 screen, beside GDAL's C API reading the same extent into
// 1024 x 768 with nearest resampling (its default overview use) in the same
// run.
//   build/bench/raster_layer_bench
#include <benchmark/benchmark.h>
#include <gdal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "map/layers/jpeg_layer.h"
#include "map/layers/rpf_layer.h"
#include "map/layers/sid_layer.h"
#include "platform/fs/fs.h"
#include "platform/win/window.h"
#include "tests/formats/rpf_test_writer.h"

namespace {

constexpr int kW = 1024, kH = 768;

struct Fixture {
    std::string root;
    Fixture() {
        char tmpl[] = "/tmp/zn-raster-bench-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
        win::SetScreenSize(kW, kH);
        GDALAllRegister();
        // An 8000 x 6000 photo-like picture.
        const std::string ppm = root + "/big.ppm";
        if (FILE* f = fopen(ppm.c_str(), "wb")) {
            fprintf(f, "P6\n8000 6000\n255\n");
            std::vector<unsigned char> row(8000 * 3);
            uint32_t r = 1;
            for (int y = 0; y < 6000; ++y) {
                for (int x = 0; x < 8000; ++x) {
                    r = r * 1103515245u + 12345u;
                    row[3 * x] = static_cast<unsigned char>((x / 3 + (r >> 28)) & 255);
                    row[3 * x + 1] = static_cast<unsigned char>((y / 5 + x / 7) & 255);
                    row[3 * x + 2] = static_cast<unsigned char>(((x ^ y) >> 3) & 255);
                }
                fwrite(row.data(), 1, row.size(), f);
            }
            fclose(f);
        }
        const std::string cmd = "cjpeg -quality 85 -outfile '" + root + "/big.jpg' '" + ppm + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "cjpeg failed\n");
        std::filesystem::remove(ppm);
        std::ofstream(root + "/big.jgw") << "1\n0\n0\n-1\n0\n6000\n";
        // A CADRG frame of random indices.
        rpftest::FrameSpec spec;
        uint32_t r = 7;
        auto next = [&] { return r = r * 1103515245u + 12345u, static_cast<uint8_t>(r >> 16); };
        for (int i = 0; i < 216 * 4; ++i) spec.palette.push_back(i % 4 == 3 ? 255 : next());
        spec.codebook.resize(65536);
        for (uint8_t& b : spec.codebook) b = static_cast<uint8_t>(next() % 216);
        spec.spatial.resize(36 * 6144);
        for (uint8_t& b : spec.spatial) b = next();
        std::ofstream(root + "/A0000000.TL1", std::ios::binary) << rpftest::WriteFrame(spec);
        // The MrSID harbour chart with its world file.
        for (const char* ext : {".sid", ".sdw"})
            std::filesystem::copy_file(std::string(ZN_SOURCE_DIR) + "/tests/data/mrsid/n13250i" + ext,
                                       root + "/chart" + ext);
    }
    ~Fixture() { std::filesystem::remove_all(root); }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

struct Surface {
    HBITMAP bitmap = gdi::CreateSurface(kW, kH);
    HDC dc = gdi::CreateSurfaceDC(bitmap);
    ~Surface() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

void Forget(CRasterLayer& layer) { layer.DiscardCacheWindow(); }

void BM_JpegLayerCold(benchmark::State& state) {
    Data();
    CJpegLayer layer;
    if (!layer.Open(u"\\big.jpg")) return state.SkipWithError("open");
    Surface s;
    CDoubleRect full = layer.Extent();
    for (auto _ : state) {
        Forget(layer);
        layer.SetDrawExtent(full, kW, kH);
        layer.DrawTo(s.dc, nullptr, 0);
    }
}
BENCHMARK(BM_JpegLayerCold)->Unit(benchmark::kMillisecond);

void BM_JpegLayerWarm(benchmark::State& state) {
    Data();
    CJpegLayer layer;
    if (!layer.Open(u"\\big.jpg")) return state.SkipWithError("open");
    Surface s;
    layer.SetDrawExtent(layer.Extent(), kW, kH);
    for (auto _ : state) layer.DrawTo(s.dc, nullptr, 0);
}
BENCHMARK(BM_JpegLayerWarm)->Unit(benchmark::kMillisecond);

void GdalRead(benchmark::State& state, const std::string& file) {
    std::vector<uint8_t> out(static_cast<size_t>(kW) * kH * 3);
    for (auto _ : state) {
        GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
        if (!ds) return state.SkipWithError("GDAL open");
        const int w = GDALGetRasterXSize(ds), h = GDALGetRasterYSize(ds);
        const int bands = GDALGetRasterCount(ds);
        GDALRasterIOExtraArg extra;
        INIT_RASTERIO_EXTRA_ARG(extra);
        extra.eResampleAlg = GRIORA_NearestNeighbour;
        int list[3] = {1, 2, 3};
        const int n = bands >= 3 ? 3 : 1;
        // The same extent as the layer's full view (the frame is square:
        // its full view is the upper 1536 x 1152 rows' aspect).
        const int readH = w * kH / kW < h ? w * kH / kW : h;
        CPLErr e = GDALDatasetRasterIOEx(ds, GF_Read, 0, 0, w, readH, out.data(), kW, kH, GDT_Byte, n, list, 3,
                                         3 * kW, 1, &extra);
        benchmark::DoNotOptimize(out.data());
        GDALClose(ds);
        if (e != CE_None) return state.SkipWithError("GDAL read");
    }
}

void BM_GdalJpegFullView(benchmark::State& state) { GdalRead(state, Data().root + "/big.jpg"); }
BENCHMARK(BM_GdalJpegFullView)->Unit(benchmark::kMillisecond);

void BM_RpfLayerCold(benchmark::State& state) {
    Data();
    CRpfLayer layer;
    if (!layer.Open(u"\\a0000000.tl1")) return state.SkipWithError("open");
    Surface s;
    // The frame's full width at the surface's aspect.
    CDoubleRect view = layer.Extent();
    view.ymin = view.ymax - (view.xmax - view.xmin) * kH / kW;
    for (auto _ : state) {
        CRpfLayer fresh;
        fresh.Open(u"\\a0000000.tl1");
        fresh.SetDrawExtent(view, kW, kH);
        fresh.DrawTo(s.dc, nullptr, 0);
    }
}
BENCHMARK(BM_RpfLayerCold)->Unit(benchmark::kMillisecond);

void BM_GdalRpfFullView(benchmark::State& state) { GdalRead(state, Data().root + "/A0000000.TL1"); }
BENCHMARK(BM_GdalRpfFullView)->Unit(benchmark::kMillisecond);

// The MrSID chart at full view, cold: the time only, as no peer reads MrSID.
void BM_SidLayerCold(benchmark::State& state) {
    Data();
    CSidLayer layer;
    if (!layer.Open(u"\\chart.sid")) return state.SkipWithError("open");
    Surface s;
    const CDoubleRect full = layer.Extent();
    for (auto _ : state) {
        Forget(layer);
        layer.SetDrawExtent(full, kW, kH);
        layer.DrawTo(s.dc, nullptr, 0);
    }
}
BENCHMARK(BM_SidLayerCold)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
