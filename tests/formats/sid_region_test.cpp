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
        // One thread: tesseract's worker threads spin for a minute on a busy machine.
        const std::string text = RunTool("OMP_THREAD_LIMIT=1 tesseract '" + file + "' stdout 2>/dev/null");
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

namespace {

// The quoted dither values, written out again for the known-pixel check.
double Dither(int x, int y) {
    static const double row0[10] = {-0.164586, 0.124951, -0.201814, 0.185233, 0.038652,
                                    0.1429,    0.096097, -0.065617, 0.186952, 0.122548};
    static const double row1[4] = {0.178876, 0.144467, 0.039238, -0.200255};
    x %= 128;
    y %= 128;
    if (y == 0 && x < 10) return row0[x];
    if (y == 1 && x < 4) return row1[x];
    return 0;
}

// Random coefficients for every subband of every band.
void Fill(SidFileWriter& w, uint32_t seed, int range) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> v(-range, range);
    for (uint32_t b = 0; b < w.bands; ++b)
        for (int s = 0; s < int(3 * w.levels + 1); ++s)
            for (int32_t& c : w.At(b, s)) c = v(rng);
}

}  // namespace

// With no levels the image is its one subband: every pixel is known from
// its coefficient, the step and the dither.
TEST_F(SidRegionTest, HandMadeFilesGiveKnownPixels) {
    SidFileWriter w;
    w.width = 12;
    w.height = 3;
    w.tileWidth = 5;
    w.tileHeight = 2;
    w.quantisation = 2.0f;
    auto& c = w.At(0, 0);
    const int32_t values[36] = {0, 1, 2, 3, 4, 50, 60, 70, 80, 90, 100, 127,
                                -5, 128, 200, 255, 300, 70000 % 65536, -300, 120, 121, 122, 123, 124,
                                7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    c.assign(values, values + 36);
    for (int phase : {0, 1}) {
        SCOPED_TRACE(phase);
        w.phaseX = uint8_t(phase * 2);
        w.phaseY = uint8_t(phase);
        Put("k.sid", w.Write());
        Picture p;
        ASSERT_EQ(Decode("\\k.sid", 0, 0, 11, 0, 2, &p, 1), kSidOk);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 12; ++x) {
                const int32_t q = values[y * 12 + x];
                // (q - 0.44) t + t / 2 towards zero's side, minus t x dither.
                double v = q == 0 ? 0 : q > 0 ? (q - 0.44) * 2 + 1 : (q + 0.44) * 2 - 1;
                v -= 2 * Dither(x + w.phaseX, y + w.phaseY);
                const int want = v <= 0 ? 0 : v >= 255 ? 255 : int(v);
                EXPECT_EQ(p.At(x, y, 0), want) << x << "," << y << " q " << q;
            }
    }

    // A lookup table applies to every sample.
    uint8_t invert[256];
    for (int i = 0; i < 256; ++i) invert[i] = uint8_t(255 - i);
    SidImage* image;
    ASSERT_EQ(SidOpenImage("\\k.sid", &image, 0, 0, 11, 0, 2, 12), kSidOk);
    std::vector<uint8_t> inverted(36);
    ASSERT_EQ(SidDecodeRegion("\\k.sid", image, invert, inverted.data(), {}), kSidOk);
    SidCloseImage(image);
    Picture p;
    ASSERT_EQ(Decode("\\k.sid", 0, 0, 11, 0, 2, &p, 1), kSidOk);
    for (int i = 0; i < 36; ++i) EXPECT_EQ(inverted[i], 255 - p.px[i]);

    // Tiles that end at once, and a quantisation value of 0, give zeros.
    SidFileWriter z = w;
    z.levels = 1;
    z.width = z.height = 8;
    Fill(z, 5, 90);
    z.tileOverride = std::string("\xFF\xA3\xFF\xD9", 4);
    Put("z.sid", z.Write());
    ASSERT_EQ(Decode("\\z.sid", 0, 0, 7, 0, 7, &p, 1), kSidOk);
    EXPECT_EQ(p.px, std::vector<uint8_t>(64, 0));
    z.tileOverride.clear();
    z.quantisation = 0.0f;
    Put("z.sid", z.Write());
    ASSERT_EQ(Decode("\\z.sid", 0, 0, 7, 0, 7, &p, 1), kSidOk);
    EXPECT_EQ(p.px, std::vector<uint8_t>(64, 0));
}

// Tiny images, down to subbands of one sample and of none: a flat image
// stays flat and equally bright at every level, and windows equal crops.
TEST_F(SidRegionTest, TinyImages) {
    const struct {
        uint32_t width, height, levels;
    } sizes[] = {{1, 1, 2}, {2, 1, 1}, {3, 5, 2}, {1, 7, 3}, {4, 4, 1}, {5, 3, 2}, {16, 16, 4}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height) + " levels " +
                     std::to_string(s.levels));
        SidFileWriter w;
        w.bands = 3;
        w.width = s.width;
        w.height = s.height;
        w.levels = s.levels;
        w.tileWidth = 2;
        w.tileHeight = 3;
        w.phaseY = 2;  // clear of the known dither rows
        Fill(w, s.width * 7 + s.height, 30);
        for (int32_t& v : w.At(0, 0)) v += 120;
        Put("t.sid", w.Write());
        for (int level = 0; level <= int(s.levels); ++level) {
            const int lw = int(SidLevelSize(s.width, level)), lh = int(SidLevelSize(s.height, level));
            Picture whole;
            ASSERT_EQ(Decode("\\t.sid", level, 0, lw - 1, 0, lh - 1, &whole), kSidOk) << level;
            for (int y = 0; y < lh; ++y)
                for (int x = 0; x < lw; ++x) {
                    Picture one;
                    ASSERT_EQ(Decode("\\t.sid", level, x, x, y, y, &one), kSidOk);
                    EXPECT_EQ(one.px, Crop(whole, x, y, 1, 1).px) << level << ": " << x << "," << y;
                }
        }
    }

    // Flat: only the coarsest low/low subband has values. Sequences of one
    // sample keep theirs unscaled, so only sizes that never reach them are
    // compared across levels.
    for (uint32_t size : {4u, 6u, 12u}) {
        SidFileWriter w;
        w.width = w.height = size;
        w.levels = 1;
        w.phaseY = 2;
        for (int32_t& v : w.At(0, 0)) v = 150;
        Put("f.sid", w.Write());
        Picture fine, coarse;
        ASSERT_EQ(Decode("\\f.sid", 0, 0, int(size) - 1, 0, int(size) - 1, &fine, 1), kSidOk);
        ASSERT_EQ(Decode("\\f.sid", 1, 0, int(size / 2) - 1, 0, int(size / 2) - 1, &coarse, 1), kSidOk);
        for (uint8_t v : fine.px) EXPECT_NEAR(v, coarse.px[0], 1) << size;
        for (uint8_t v : coarse.px) EXPECT_EQ(v, coarse.px[0]);
    }
}

TEST_F(SidRegionTest, DamagedFilesFailCleanly) {
    SidFileWriter w;
    w.width = w.height = 16;
    w.levels = 2;
    Fill(w, 9, 40);
    const std::string good = w.Write();
    auto patch = [&](size_t at, uint32_t v) {
        std::string s = good;
        SidFileWriter::SetBE32(s, at, v);
        return s;
    };
    const size_t band = good.find("\xFF\xAA");
    uint32_t firstRecord = 0;
    for (int i = 0; i < 4; ++i) firstRecord = firstRecord << 8 | uint8_t(good[23 + i]);
    SidFileWriter runs = w;
    runs.tileOverride = TileWriter{}.Symbol(100).Symbol(100).End();
    std::string overSubscribed = good, tooManyCodes = good;
    overSubscribed[band + 2] = 2;
    tooManyCodes[band + 2 + 9] = 10;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"a run past the tile", runs.Write()},
        {"tile width 0", patch(band + 2 + 16 + 256 + 4, 0)},
        {"tile height 0", patch(band + 2 + 16 + 256 + 8, 0)},
        {"an over-subscribed code", overSubscribed},
        {"codes adding up to more than 256", tooManyCodes},
        {"a block outside its subband", patch(firstRecord + 8 + 4 + 8, 4)},
        {"a subband past the end", patch(23, uint32_t(good.size() + 10))},
        {"band data past the end", patch(firstRecord + 8, uint32_t(good.size()))},
        {"a wrong record marker", patch(firstRecord, 0xFFAB0000u)},
        {"a non-finite quantisation value", patch(band + 2 + 16 + 256, 0x7F800000u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put("d.sid", c.bytes);
        SidResetMemoryForTests();
        Picture p;
        EXPECT_EQ(Decode("\\d.sid", 0, 0, 15, 0, 15, &p, 1), kSidFailed);
        EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
    }

    // A file replaced after its view was opened: the view no longer fits it.
    Put("d.sid", good);
    SidImage* image = nullptr;
    ASSERT_EQ(SidOpenImage("\\d.sid", &image, 0, 0, 15, 0, 15, 16), kSidOk);
    SidFileWriter other = w;
    other.width = 8;
    Put("d.sid", other.Write());
    std::vector<uint8_t> buf(256, 0xAB);
    EXPECT_EQ(SidDecodeRegion("\\d.sid", image, nullptr, buf.data(), {}), kSidFailed);
    EXPECT_EQ(buf, std::vector<uint8_t>(256, 0xAB));

    // The sample cut short anywhere in its coded data (its last tile ends
    // at 87468; a trailer the decoder does not read follows).
    const std::string sample = Sample();
    for (size_t cut : {100ul, 300ul, 1000ul, 5000ul, 20000ul, 40000ul, 60000ul, 75000ul, 80000ul,
                       85000ul, 87000ul, 87467ul}) {
        SCOPED_TRACE(cut);
        Put("cut.sid", sample.substr(0, cut));
        SidResetMemoryForTests();
        Picture p;
        EXPECT_EQ(Decode("\\cut.sid", 0, 0, 617, 0, 1264, &p), kSidFailed);
        EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
    }
}

// A failed allocation, answered with Cancel, fails the decode wherever it
// happens, and leaves nothing allocated.
TEST_F(SidRegionTest, AllocationFailureAtEveryPoint) {
    Picture want;
    ASSERT_EQ(Decode("\\n13250i.sid", 3, 5, 60, 7, 90, &want), kSidOk);
    for (int k = 1;; ++k) {
        SidResetMemoryForTests();
        SidTestFailAllocation(k);
        Picture p;
        const int status = Decode("\\n13250i.sid", 3, 5, 60, 7, 90, &p);
        EXPECT_EQ(SidGetMemoryCounters().blocks, 0u) << k;
        if (status == kSidOk) {
            EXPECT_EQ(p.px, want.px);
            EXPECT_GT(k, 20);
            break;
        }
        EXPECT_EQ(status, kSidFailed) << k;
    }
}

// Stopping one decode leaves another reader's view alone.
TEST_F(SidRegionTest, StoppingOneDecodeLeavesTheOtherView) {
    SidImage* a = nullptr;
    SidImage* b = nullptr;
    ASSERT_EQ(SidOpenImage("\\n13250i.sid", &a, 2, 0, 154, 0, 316, 155 * 3), kSidOk);
    ASSERT_EQ(SidOpenImage("\\n13250i.sid", &b, 2, 10, 109, 20, 119, 100 * 3), kSidOk);
    std::vector<uint8_t> pa(155 * 317 * 3), pb(100 * 100 * 3);
    for (int after : {1, 50, 2000}) {
        int calls = 0;
        SidImage* c = nullptr;
        ASSERT_EQ(SidOpenImage("\\n13250i.sid", &c, 2, 0, 154, 0, 316, 155 * 3), kSidOk);
        EXPECT_EQ(SidDecodeRegion("\\n13250i.sid", c, nullptr, pa.data(),
                                  [&](int, int) { return ++calls >= after; }),
                  kSidStopped);
        EXPECT_EQ(calls, after);
    }
    ASSERT_EQ(SidDecodeRegion("\\n13250i.sid", b, nullptr, pb.data(), {}), kSidOk);
    ASSERT_EQ(SidDecodeRegion("\\n13250i.sid", a, nullptr, pa.data(), {}), kSidOk);
    Picture whole = Level(2);
    EXPECT_EQ(pa, whole.px);
    EXPECT_EQ(pb, Crop(whole, 10, 20, 100, 100).px);
    SidCloseImage(a);
    SidCloseImage(b);
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
}

// Windows partly or wholly outside the level, and empty ones.
TEST_F(SidRegionTest, WindowsOutsideTheLevel) {
    const struct {
        const char* what;
        int c0, c1, r0, r1;
        size_t bytes;  // of the buffer written (window height x stride)
    } cases[] = {
        {"wholly right of the level", 700, 709, 0, 9, 10 * 30},
        {"wholly above", 0, 9, -20, -11, 10 * 30},
        {"negative width", 5, 4, 0, 9, 0},
        {"negative height", 0, 9, 5, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SidImage* image;
        ASSERT_EQ(SidOpenImage("\\n13250i.sid", &image, 0, c.c0, c.c1, c.r0, c.r1, 30), kSidOk);
        std::vector<uint8_t> buf(400, 0xAB);
        ASSERT_EQ(SidDecodeRegion("\\n13250i.sid", image, nullptr, buf.data(), {}), kSidOk);
        SidCloseImage(image);
        for (size_t i = 0; i < buf.size(); ++i) ASSERT_EQ(buf[i], i < c.bytes ? 0 : 0xAB) << i;
    }
}
