// JPEG decoding: the reader's whole-picture decode and its point-sampled
// 500 x 500 window, beside plain libjpeg-turbo loops with djpeg's settings
// (islow DCT, fancy upsampling) on the same 4000 x 4000 file in the same run.
//   build/bench/jpeg_bench
// The djpeg command's own times: farm-bench 'djpeg -ppm -outfile /dev/null FILE'.
#include <benchmark/benchmark.h>
#include <stdlib.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <filesystem>
#include <string>
#include <vector>

#include "formats/raster/jpeg_reader.h"
#include "platform/fs/fs.h"

namespace {

constexpr int kSize = 4000;

struct Fixture {
    std::string root, file;
    Fixture() {
        char tmpl[] = "/tmp/zn-jpeg-bench-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
        const std::string ppm = root + "/big.ppm";
        file = root + "/big.jpg";
        if (FILE* f = fopen(ppm.c_str(), "wb")) {
            fprintf(f, "P6\n%d %d\n255\n", kSize, kSize);
            std::vector<unsigned char> row(kSize * 3);
            uint32_t r = 1;
            for (int y = 0; y < kSize; ++y) {
                for (int x = 0; x < kSize; ++x) {
                    r = r * 1103515245u + 12345u;
                    row[3 * x] = static_cast<unsigned char>((x / 3 + (r >> 28)) & 255);
                    row[3 * x + 1] = static_cast<unsigned char>((y / 5 + x / 7) & 255);
                    row[3 * x + 2] = static_cast<unsigned char>(((x ^ y) >> 3) & 255);
                }
                fwrite(row.data(), 1, row.size(), f);
            }
            fclose(f);
        }
        const std::string cmd = "cjpeg -quality 85 -outfile '" + file + "' '" + ppm + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "cjpeg failed\n");
        std::filesystem::remove(ppm);
    }
    ~Fixture() { std::filesystem::remove_all(root); }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

// djpeg's decode: the library's defaults, one row at a time; scale 1/8 when
// asked, as `djpeg -scale 1/8` does.
long PeerDecode(const std::string& path, int denom) {
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    FILE* f = fopen(path.c_str(), "rb");
    jpeg_stdio_src(&c, f);
    jpeg_read_header(&c, TRUE);
    c.scale_num = 1;
    c.scale_denom = static_cast<unsigned>(denom);
    jpeg_start_decompress(&c);
    std::vector<JSAMPLE> row(static_cast<size_t>(c.output_width) * c.output_components);
    long sum = 0;
    while (c.output_scanline < c.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&c, &r, 1);
        sum += row[0];
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    fclose(f);
    return sum;
}

void BM_ReadBitmap_Ours(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        HBITMAP b = LoadJpegBitmap(u"\\big.jpg");
        if (!b) state.SkipWithError("decode failed");
        DeleteObject(b);
    }
}
BENCHMARK(BM_ReadBitmap_Ours)->Unit(benchmark::kMillisecond);

void BM_ReadBitmap_PeerLoop(benchmark::State& state) {
    const std::string path = Data().file;
    for (auto _ : state) benchmark::DoNotOptimize(PeerDecode(path, 1));
}
BENCHMARK(BM_ReadBitmap_PeerLoop)->Unit(benchmark::kMillisecond);

// The same loop writing every row into a freshly allocated picture, as a
// whole-picture decode must: the floor that includes the allocation.
void BM_ReadBitmap_PeerIntoNewPicture(benchmark::State& state) {
    const std::string path = Data().file;
    for (auto _ : state) {
        jpeg_decompress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        FILE* f = fopen(path.c_str(), "rb");
        jpeg_stdio_src(&c, f);
        jpeg_read_header(&c, TRUE);
        jpeg_start_decompress(&c);
        const size_t stride = (static_cast<size_t>(c.output_width) * 3 + 3) & ~size_t{3};
        std::vector<JSAMPLE> picture(stride * c.output_height);
        while (c.output_scanline < c.output_height) {
            JSAMPROW r = picture.data() + stride * (c.output_height - 1 - c.output_scanline);
            jpeg_read_scanlines(&c, &r, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        fclose(f);
        benchmark::DoNotOptimize(picture.data());
    }
}
BENCHMARK(BM_ReadBitmap_PeerIntoNewPicture)->Unit(benchmark::kMillisecond);

void BM_DrawScaled500_Ours(benchmark::State& state) {
    Data();
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[256];
    } bmi{};
    bmi.h.biWidth = 500;
    bmi.h.biHeight = 500;
    bmi.h.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS, &bits, nullptr, 0);
    CJpegReader reader;
    reader.Open(u"\\big.jpg");
    for (auto _ : state)
        if (!reader.DrawScaled(target, 0, 0, kSize, kSize, nullptr)) state.SkipWithError("decode failed");
    DeleteObject(target);
}
BENCHMARK(BM_DrawScaled500_Ours)->Unit(benchmark::kMillisecond);

void BM_DrawScaled500_PeerScale8(benchmark::State& state) {
    const std::string path = Data().file;
    for (auto _ : state) benchmark::DoNotOptimize(PeerDecode(path, 8));
}
BENCHMARK(BM_DrawScaled500_PeerScale8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
