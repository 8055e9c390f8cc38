// MrSID encoding, in MB of input pixels per second of wall time: a 4096 x
// 4096 three-band synthetic scene at 20:1 on one thread and on all, beside libjpeg-turbo compressing the same pixels
// at quality 75 in the same run; the largest image the export accepts
// (5e7 samples: 4096 x 4069 x 3) with the encoder's peak working memory;
// and the decoder's 256 x 256 windows at 16 places of level 0 of the
// encoded scene, as BM_SidLevel0Windows of sid_bench takes them on the
// sample chart.
//   build/bench/sid_encode_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <filesystem>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_encode.h"
#include "formats/sid/sid_file.h"
#include "formats/sid/sid_memory.h"
#include "platform/fs/fs.h"
#include "tests/formats/sid_scene.h"

namespace {

constexpr int kSide = 4096;

struct Fixture {
    std::string root;
    std::vector<uint8_t> scene = sidscene::Scene(kSide, kSide, 3);
    Fixture() {
        char tmpl[] = "/tmp/zn-sid-encode-bench-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
    }
    ~Fixture() { std::filesystem::remove_all(root); }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

// Argument: threads (0: one per processor).
void BM_SidEncodeScene20(benchmark::State& state) {
    Fixture& d = Data();
    SidEncodeStats stats;
    SidEncodeSettings settings;
    settings.threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (SidEncodeFile("\\scene.sid", d.scene.data(), kSide, kSide, 3, kSide * 3, settings, &stats) != kSidOk)
            state.SkipWithError("encode failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 3);
    state.counters["file_MB"] = double(stats.bytes) / 1e6;
    state.counters["trials"] = stats.trials;
}
BENCHMARK(BM_SidEncodeScene20)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime()->Arg(1)->Arg(0);

// libjpeg-turbo on the same pixels, quality 75, into memory.
void BM_JpegEncodeScenePeer(benchmark::State& state) {
    Fixture& d = Data();
    unsigned long bytes = 0;
    for (auto _ : state) {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        bytes = 0;
        jpeg_mem_dest(&c, &out, &bytes);
        c.image_width = kSide;
        c.image_height = kSide;
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 75, TRUE);
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW r = d.scene.data() + size_t(c.next_scanline) * kSide * 3;
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        free(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 3);
    state.counters["file_MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_JpegEncodeScenePeer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The largest export: 5e7 samples; the peak of working memory in MB.
void BM_SidEncodeLargestExport(benchmark::State& state) {
    const int w = 4096, h = 4069;  // w x h x 3 = 50,000,000 less a little
    static const std::vector<uint8_t> px = sidscene::Scene(w, h, 3, 11);
    SidEncodeStats stats;
    for (auto _ : state) {
        SidResetMemoryForTests();
        SidBytes file;
        if (SidEncodeImage(px.data(), w, h, 3, size_t(w) * 3, SidEncodeSettings{}, &file, &stats) != kSidOk)
            state.SkipWithError("encode failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 3);
    state.counters["peak_MB"] = double(stats.peakBytes) / 1e6;
}
BENCHMARK(BM_SidEncodeLargestExport)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The decoder's window case on our own file.
void BM_SidLevel0WindowsOfEncoded(benchmark::State& state) {
    Fixture& d = Data();
    if (!std::filesystem::exists(d.root + "/scene.sid") &&
        SidEncodeFile("\\scene.sid", d.scene.data(), kSide, kSide, 3, kSide * 3, SidEncodeSettings{}) != kSidOk) {
        state.SkipWithError("encode failed");
        return;
    }
    std::vector<uint8_t> px(256 * 256 * 3);
    for (auto _ : state)
        for (int i = 0; i < 16; ++i) {
            const int x = (i % 4) * (kSide - 256) / 3, y = (i / 4) * (kSide - 256) / 3;
            SidImage* image = nullptr;
            if (SidOpenImage("\\scene.sid", &image, 0, x, x + 255, y, y + 255, 256 * 3) != kSidOk ||
                SidDecodeRegion("\\scene.sid", image, nullptr, px.data(), {}) != kSidOk) {
                state.SkipWithError("decode failed");
                return;
            }
            SidCloseImage(image);
        }
    state.SetBytesProcessed(int64_t(state.iterations()) * 16 * 256 * 256 * 3);
}
BENCHMARK(BM_SidLevel0WindowsOfEncoded)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
