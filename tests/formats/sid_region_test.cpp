// Decoding MrSID views into pixels: the sample chart at every level, checked
// by measures a person would agree with (brightness, agreement between
// levels, sharpness, legible text read by tesseract), windows against crops
// of whole decodes, hand-made files with known pixels, and damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_file.h"
#include "formats/sid/sid_memory.h"
#include "tests/formats/dbf_test_util.h"
#include "tests/formats/sid_test_writer.h"
#include "tests/platform/fs_test_root.h"

namespace {

struct Picture {
    int width = 0, height = 0, bands = 3;
    std::vector<uint8_t> px;  // rows top first, bands side by side
    uint8_t At(int x, int y, int b) const { return px[(size_t(y) * width + x) * bands + b]; }
    float Y(int x, int y) const {
        if (bands == 1) return At(x, y, 0);
        return 0.299f * At(x, y, 0) + 0.587f * At(x, y, 1) + 0.114f * At(x, y, 2);
    }
};

class SidRegionTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        SidResetMemoryForTests();
        Put("n13250i.sid", Sample());
    }
    static std::string Sample() {
        std::ifstream in(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Decodes a window of a level with packed rows; the status, with the
    // pixels in *out.
    static int Decode(const char* path, int level, int c0, int c1, int r0, int r1, Picture* out,
                      int bands = 3, const SidProgress& progress = {}) {
        SidImage* image = nullptr;
        const int w = c1 - c0 + 1, h = r1 - r0 + 1;
        int status = SidOpenImage(path, &image, level, c0, c1, r0, r1, w * bands);
        if (status != kSidOk) return status;
        out->width = w;
        out->height = h;
        out->bands = bands;
        out->px.assign(size_t(w) * h * bands, 0xAB);
        status = SidDecodeRegion(path, image, nullptr, out->px.data(), progress);
        if (status == kSidOk) SidCloseImage(image);
        return status;
    }
    static Picture Level(int level, const char* path = "\\n13250i.sid", int bands = 3) {
        const int w = int(SidLevelSize(618, level)), h = int(SidLevelSize(1265, level));
        Picture p;
        EXPECT_EQ(Decode(path, level, 0, w - 1, 0, h - 1, &p, bands), kSidOk) << level;
        return p;
    }

    // Writes a picture as PPM (or PGM) on the host.
    static void SavePnm(const Picture& p, const std::string& file) {
        std::ofstream out(file, std::ios::binary);
        out << (p.bands == 1 ? "P5\n" : "P6\n") << p.width << " " << p.height << "\n255\n";
        out.write(reinterpret_cast<const char*>(p.px.data()), std::streamsize(p.px.size()));
    }
};

double MeanY(const Picture& p) {
    double sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) sum += p.Y(x, y);
    return sum / (double(p.width) * p.height);
}

// Level L averaged over 2 x 2 blocks (edges replicated) against level L + 1.
double CrossLevelPsnr(const Picture& fine, const Picture& coarse) {
    double se = 0;
    for (int y = 0; y < coarse.height; ++y)
        for (int x = 0; x < coarse.width; ++x) {
            const int x1 = std::min(2 * x + 1, fine.width - 1), y1 = std::min(2 * y + 1, fine.height - 1);
            const double avg =
                (fine.Y(2 * x, 2 * y) + fine.Y(x1, 2 * y) + fine.Y(2 * x, y1) + fine.Y(x1, y1)) / 4;
            const double d = avg - coarse.Y(x, y);
            se += d * d;
        }
    const double mse = se / (double(coarse.width) * coarse.height);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

// The share of pixels where the larger step in Y to the right or down exceeds 40.
double EdgeDensity(const Picture& p) {
    long edges = 0;
    for (int y = 0; y + 1 < p.height; ++y)
        for (int x = 0; x + 1 < p.width; ++x) {
            const float d = std::max(std::fabs(p.Y(x + 1, y) - p.Y(x, y)), std::fabs(p.Y(x, y + 1) - p.Y(x, y)));
            edges += d > 40;
        }
    return double(edges) / (double(p.width - 1) * (p.height - 1));
}

Picture Enlarge2(const Picture& p) {
    Picture e;
    e.width = 2 * p.width;
    e.height = 2 * p.height;
    e.bands = p.bands;
    e.px.resize(size_t(e.width) * e.height * e.bands);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            for (int b = 0; b < e.bands; ++b)
                e.px[(size_t(y) * e.width + x) * e.bands + b] = p.At(x / 2, y / 2, b);
    return e;
}

Picture Crop(const Picture& p, int x0, int y0, int w, int h) {
    Picture c;
    c.width = w;
    c.height = h;
    c.bands = p.bands;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            for (int b = 0; b < p.bands; ++b)
                c.px.push_back(x < p.width && y < p.height && x >= 0 && y >= 0 ? p.At(x, y, b) : 0);
    return c;
}

// The folder where the decoded levels are left for a person to look at.
std::string OutputFolder() {
    const std::string dir = std::filesystem::current_path().string() + "/sid_region_test_output";
    std::filesystem::create_directories(dir);
    return dir;
}

TEST_F(SidRegionTest, TheSampleChartAtEveryLevel) {
    const int sizes[6][2] = {{618, 1265}, {309, 633}, {155, 317}, {78, 159}, {39, 80}, {20, 40}};
    std::vector<Picture> levels;
    for (int level = 0; level <= 5; ++level) {
        levels.push_back(Level(level));
        EXPECT_EQ(levels.back().width, sizes[level][0]);
        EXPECT_EQ(levels.back().height, sizes[level][1]);
        const std::string ppm = OutputFolder() + "/level" + std::to_string(level);
        SavePnm(levels.back(), ppm + ".ppm");
        RunTool("gdal_translate -q -of PNG '" + ppm + ".ppm' '" + ppm + ".png' >/dev/null 2>&1");
    }
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);

    // Brightness is kept from level to level.
    double lo = 255, hi = 0;
    for (const Picture& p : levels) {
        RecordProperty("meanY" + std::to_string(&p - levels.data()), std::to_string(MeanY(p)));
        lo = std::min(lo, MeanY(p));
        hi = std::max(hi, MeanY(p));
    }
    EXPECT_LT(hi - lo, 1.5) << lo << " to " << hi;
    EXPECT_GT(lo, 150);  // a chart: mostly paper

    // Each level is its finer neighbour, reduced.
    for (int level = 0; level < 5; ++level) {
        const double psnr = CrossLevelPsnr(levels[level], levels[level + 1]);
        RecordProperty("psnr" + std::to_string(level), std::to_string(psnr));
        EXPECT_GE(psnr, 23.0) << level;
    }

    // The finest level carries the finest detail; level 1 enlarged does not.
    const double d0 = EdgeDensity(levels[0]), d1 = EdgeDensity(levels[1]);
    RecordProperty("edges0", std::to_string(d0));
    RecordProperty("edges1", std::to_string(d1));
    EXPECT_GE(d0 / d1, 1.6) << d0 << " " << d1;
    EXPECT_LT(EdgeDensity(Enlarge2(levels[1])) / d1, 1.6);
}

TEST_F(SidRegionTest, TheHarbourNameIsLegible) {
    REQUIRE_TOOL("tesseract");
    const Picture level0 = Level(0);
    const Picture level1 = Level(1);
    const struct {
        const char* what;
        Picture picture;
    } cases[] = {
        {"level 0", Crop(level0, 100, 1100, 500, 165)},
        {"level 1 enlarged", Crop(Enlarge2(level1), 100, 1100, 500, 165)},
    };
    for (const auto& c : cases) {
        const std::string file = Host(std::string("ocr.ppm"));
        SavePnm(c.picture, file);
        const std::string text = RunTool("tesseract '" + file + "' stdout 2>/dev/null");
        EXPECT_NE(text.find("SESUIT HARBOR"), std::string::npos) << c.what << ": " << text;
    }
}

// Windows of a level equal the same crop of the whole level, byte for byte;
// parts beyond the level are zero.
TEST_F(SidRegionTest, WindowsEqualCropsOfTheWholeLevel) {
    std::mt19937 rng(23);
    for (int level : {0, 1, 2, 5}) {
        const Picture whole = Level(level);
        const int w = whole.width, h = whole.height;
        struct Win {
            int x, y, w, h;
        };
        std::vector<Win> wins = {{0, 0, 1, 1},          {w - 1, h - 1, 1, 1}, {w / 2 + 1, h / 3, 1, 1},
                                 {0, 0, w, 7},          {0, h - 5, w, 5},     {0, 0, 3, h},
                                 {w - 4, 0, 4, h},      {1, 1, w - 2, h - 2}, {w - 3, h - 3, 9, 9},
                                 {-2, -3, 6, 8},        {3, 5, 17, 11}};
        for (int i = 0; i < 12; ++i) {
            std::uniform_int_distribution<int> x(0, w - 1), y(0, h - 1), s(1, 40);
            wins.push_back({x(rng), y(rng), s(rng), s(rng)});
        }
        for (const Win& win : wins) {
            SCOPED_TRACE("level " + std::to_string(level) + " window " + std::to_string(win.x) + "," +
                         std::to_string(win.y) + " " + std::to_string(win.w) + "x" + std::to_string(win.h));
            Picture part;
            ASSERT_EQ(Decode("\\n13250i.sid", level, win.x, win.x + win.w - 1, win.y, win.y + win.h - 1, &part),
                      kSidOk);
            const Picture want = Crop(whole, win.x, win.y, win.w, win.h);
            EXPECT_TRUE(part.px == want.px);
        }
    }
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
}

TEST_F(SidRegionTest, OnlyWhatTheWindowNeedsIsRead) {
    SidTestResetBytesRead();
    Level(0);
    const uint64_t whole = SidTestBytesRead();
    Picture p;
    SidTestResetBytesRead();
    ASSERT_EQ(Decode("\\n13250i.sid", 0, 300, 331, 600, 631, &p), kSidOk);
    const uint64_t window = SidTestBytesRead();
    EXPECT_LT(window * 2, whole) << window << " of " << whole;
    RecordProperty("window32", std::to_string(double(window) / whole));
    SidTestResetBytesRead();
    Level(2);
    EXPECT_LT(SidTestBytesRead() * 2, whole);
    RecordProperty("level2", std::to_string(double(SidTestBytesRead()) / whole));
}
}  // namespace
