// MrSID window decoding, in MB of output pixels per second: the whole of
// level 0 of the harbour chart, 256 x 256 windows at 16 fixed places of
// level 0, and the whole of level 2. As a yardstick in the same run,
// libjpeg-turbo decodes the level-0 picture saved as JPEG (quality 90).
//   build/bench/sid_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_file.h"
#include "platform/fs/fs.h"

namespace {

constexpr int kWidth = 618, kHeight = 1265;

struct Fixture {
    std::string root, jpeg;
    Fixture() {
        char tmpl[] = "/tmp/zn-sid-bench-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
        std::filesystem::copy_file(std::string(ZN_SOURCE_DIR) + "/tests/data/mrsid/n13250i.sid",
                                   root + "/chart.sid");
        // The level-0 picture as PPM, then JPEG.
        std::vector<uint8_t> px(size_t(kWidth) * kHeight * 3);
        SidImage* image = nullptr;
        if (SidOpenImage("\\chart.sid", &image, 0, 0, kWidth - 1, 0, kHeight - 1, kWidth * 3) != kSidOk ||
            SidDecodeRegion("\\chart.sid", image, nullptr, px.data(), {}) != kSidOk) {
            fprintf(stderr, "decode failed\n");
            return;
        }
        SidCloseImage(image);
        const std::string ppm = root + "/chart.ppm";
        std::ofstream(ppm, std::ios::binary) << "P6\n" << kWidth << " " << kHeight << "\n255\n"
                                             << std::string(px.begin(), px.end());
        jpeg = root + "/chart.jpg";
        const std::string cmd = "cjpeg -quality 90 -outfile '" + jpeg + "' '" + ppm + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "cjpeg failed\n");
    }
    ~Fixture() { std::filesystem::remove_all(root); }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

bool DecodeWindow(int level, int c0, int r0, int w, int h, std::vector<uint8_t>& px) {
    px.resize(size_t(w) * h * 3);
    SidImage* image = nullptr;
    if (SidOpenImage("\\chart.sid", &image, level, c0, c0 + w - 1, r0, r0 + h - 1, w * 3) != kSidOk) return false;
    if (SidDecodeRegion("\\chart.sid", image, nullptr, px.data(), {}) != kSidOk) return false;
    SidCloseImage(image);
    return true;
}

void BM_SidLevel0Whole(benchmark::State& state) {
    Data();
    std::vector<uint8_t> px;
    for (auto _ : state)
        if (!DecodeWindow(0, 0, 0, kWidth, kHeight, px)) state.SkipWithError("decode failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(BM_SidLevel0Whole)->Unit(benchmark::kMillisecond);

void BM_SidLevel0Windows(benchmark::State& state) {
    Data();
    std::vector<uint8_t> px;
    for (auto _ : state)
        for (int i = 0; i < 16; ++i) {
            const int x = (i % 4) * (kWidth - 256) / 3, y = (i / 4) * (kHeight - 256) / 3;
            if (!DecodeWindow(0, x, y, 256, 256, px)) state.SkipWithError("decode failed");
        }
    state.SetBytesProcessed(int64_t(state.iterations()) * 16 * 256 * 256 * 3);
}
BENCHMARK(BM_SidLevel0Windows)->Unit(benchmark::kMillisecond);

void BM_SidLevel2Whole(benchmark::State& state) {
    Data();
    std::vector<uint8_t> px;
    const int w = int(SidLevelSize(kWidth, 2)), h = int(SidLevelSize(kHeight, 2));
    for (auto _ : state)
        if (!DecodeWindow(2, 0, 0, w, h, px)) state.SkipWithError("decode failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 3);
}
BENCHMARK(BM_SidLevel2Whole)->Unit(benchmark::kMillisecond);

// libjpeg-turbo on the same pixels: djpeg's defaults, one row at a time.
void BM_JpegLevel0Peer(benchmark::State& state) {
    const std::string path = Data().jpeg;
    std::vector<JSAMPLE> px(size_t(kWidth) * kHeight * 3);
    for (auto _ : state) {
        jpeg_decompress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        FILE* f = fopen(path.c_str(), "rb");
        jpeg_stdio_src(&c, f);
        jpeg_read_header(&c, TRUE);
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW r = px.data() + size_t(c.output_scanline) * c.output_width * 3;
            jpeg_read_scanlines(&c, &r, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        fclose(f);
        benchmark::DoNotOptimize(px.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(BM_JpegLevel0Peer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
