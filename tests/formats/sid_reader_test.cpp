// CSidReader without decoding: header values, level sizes, views.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/sid/sid_memory.h"
#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_reader.h"
#include "core/user_abort.h"
#include "platform/win/window.h"
#include "tests/formats/sid_test_writer.h"
#include "tests/platform/fs_test_root.h"

namespace {

// A header of `bands` x width x height with `levels`, and a zeroed directory.
std::string Header(uint32_t bands, uint32_t levels, uint32_t width, uint32_t height,
                   const char* magic = "msid", char version = 1) {
    std::string s = std::string(magic, 4) + version + std::string("\0\1", 2);
    for (uint32_t v : {bands, levels, width, height})
        for (int i = 3; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
    return s + std::string(4 * (3 * levels + 1), '\0');
}

class SidReaderTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        SidResetMemoryForTests();
        Put("img.sid", Header(3, 4, 1000, 700));
    }
};

TEST_F(SidReaderTest, LevelsAndViews) {
    CSidReader r;
    ASSERT_TRUE(r.Open(u"\\IMG.SID"));
    EXPECT_EQ(r.GetBands(), 3);
    EXPECT_EQ(r.GetLevels(), 4);
    const int sizes[4][2] = {{1000, 700}, {500, 350}, {250, 175}, {125, 88}};
    for (int level = 0; level < 4; ++level) {
        int w = 0, h = 0;
        ASSERT_TRUE(r.GetLevelSize(level, &w, &h));
        EXPECT_EQ(w, sizes[level][0]);
        EXPECT_EQ(h, sizes[level][1]);
        EXPECT_EQ(r.GetLevelWidth(level), w);
        EXPECT_EQ(r.GetLevelHeight(level), h);
    }
    int w, h;
    EXPECT_FALSE(r.GetLevelSize(4, &w, &h));
    EXPECT_FALSE(r.GetLevelSize(-1, &w, &h));

    const struct {
        const char* what;
        int level;
        bool hasRect;
        RECT rect;
        int stride;
        bool ok;
        RECT extent;
        int wantStride;
    } views[] = {
        {"coarsest, whole, word rows", -1, false, {}, -1, true, {0, 0, 124, 87}, 4 * 94},
        {"packed rows", 3, false, {}, 0, true, {0, 0, 124, 87}, 375},
        {"stride as given", 0, false, {}, 4000, true, {0, 0, 999, 699}, 4000},
        {"clamped window", 1, true, {-5, -7, 900, 10}, 0, true, {0, 0, 499, 10}, 1500},
        {"one pixel", 2, true, {249, 174, 249, 174}, -1, true, {249, 174, 249, 174}, 4},
        {"right of the level", 3, true, {125, 0, 200, 10}, 0, false, {}, 0},
        {"above the level", 0, true, {0, -20, 10, -1}, 0, false, {}, 0},
        {"level 4", 4, false, {}, 0, false, {}, 0},
    };
    for (const auto& v : views) {
        SCOPED_TRACE(v.what);
        EXPECT_EQ(r.SelectView(v.level, v.hasRect ? &v.rect : nullptr, v.stride), v.ok);
        EXPECT_EQ(r.HasView(), v.ok);
        RECT e;
        r.GetExtent(&e);
        EXPECT_EQ((std::vector<LONG>{e.left, e.top, e.right, e.bottom}),
                  (std::vector<LONG>{v.extent.left, v.extent.top, v.extent.right, v.extent.bottom}));
        EXPECT_EQ(r.GetStride(), v.wantStride);
        if (v.ok) {
            EXPECT_EQ(r.GetWidth(), v.extent.right - v.extent.left + 1);
            EXPECT_EQ(r.GetHeight(), v.extent.bottom - v.extent.top + 1);
            EXPECT_EQ(r.GetLevel(), v.level < 0 ? 3 : v.level);
        } else {
            EXPECT_EQ(r.GetStatus(), kSidFailed);
        }
    }
    r.SelectView(0, nullptr, 0);
    r.Close();
    EXPECT_FALSE(r.HasView());
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
}

TEST_F(SidReaderTest, OpenKeepsTheStatus) {
    const struct {
        const char* what;
        std::string bytes;
        int status;
    } files[] = {
        {"MSID", Header(3, 4, 1000, 700, "MSID"), kSidFailed},
        {"newer generation", Header(3, 4, 1000, 700, "msid", 3), kSidUnsupported},
        {"4 bands", Header(4, 4, 1000, 700), kSidUnsupported},
        {"one band", Header(1, 2, 10, 10), kSidOk},
    };
    for (const auto& f : files) {
        Put("x.sid", f.bytes);
        CSidReader r;
        EXPECT_EQ(r.Open(u"\\x.sid"), f.status == kSidOk) << f.what;
        EXPECT_EQ(r.GetStatus(), f.status) << f.what;
    }
    CSidReader r;
    EXPECT_FALSE(r.Open(u"\\missing.sid"));
    EXPECT_EQ(r.GetStatus(), kSidFailed);

    EXPECT_TRUE(CSidReader::IsSidFile(u"\\img.sid"));
    Put("short.sid", "msid\1\0\1\0\0\0");
    EXPECT_FALSE(CSidReader::IsSidFile(u"\\short.sid"));
    Put("upper.sid", Header(3, 4, 1000, 700, "MSID"));
    EXPECT_FALSE(CSidReader::IsSidFile(u"\\upper.sid"));
    EXPECT_FALSE(CSidReader::IsSidFile(u"\\missing.sid"));

    // The descriptor's window order against the reader's rectangle.
    const RECT rect = SidWindowToRect(1, 2, 3, 4);
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
              (std::vector<LONG>{1, 3, 2, 4}));
    int fc, lc, fr, lr;
    SidRectToWindow(rect, &fc, &lc, &fr, &lr);
    EXPECT_EQ((std::vector<int>{fc, lc, fr, lr}), (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace

namespace {

class SidDrawTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        SidResetMemoryForTests();
        ResetAbort();
        std::ifstream in(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", std::ios::binary);
        sample_.assign(std::istreambuf_iterator<char>(in), {});
        Put("n13250i.sid", sample_);
    }
    void TearDown() override {
        SidSetDrawHookForTests(nullptr);
        ResetAbort();
        DeviceRootTest::TearDown();
    }
    // The decoder's own output for a view: rows top first, bands packed.
    static std::vector<uint8_t> Decoded(const char* path, int level, RECT r, int bands) {
        const int w = r.right - r.left + 1, h = r.bottom - r.top + 1;
        SidImage* image = nullptr;
        std::vector<uint8_t> px(size_t(w) * h * bands);
        EXPECT_EQ(SidOpenImage(path, &image, level, r.left, r.right, r.top, r.bottom, w * bands), kSidOk);
        EXPECT_EQ(SidDecodeRegion(path, image, nullptr, px.data(), {}), kSidOk);
        SidCloseImage(image);
        return px;
    }
    // Pixel (x, y) from the top of a DIB section, as its bytes.
    static std::vector<uint8_t> Pixel(HBITMAP bitmap, int x, int y) {
        DIBSECTION ds{};
        GetObject(bitmap, sizeof ds, &ds);
        const int bytes = ds.dsBm.bmBitsPixel / 8;
        const auto* row = static_cast<const uint8_t*>(ds.dsBm.bmBits) +
                          size_t(ds.dsBmih.biHeight - 1 - y) * ds.dsBm.bmWidthBytes;
        return std::vector<uint8_t>(row + x * bytes, row + (x + 1) * bytes);
    }
    std::string sample_;
};

TEST_F(SidDrawTest, DrawsTheViewAtTheBitmapsTopLeft) {
    CSidReader r;
    ASSERT_TRUE(r.Open(u"\\n13250i.sid"));
    const RECT window{40, 300, 139, 379};
    ASSERT_TRUE(r.SelectView(1, &window, -1));
    EXPECT_EQ(r.Draw(nullptr, nullptr), false);  // no bitmap yet
    HBITMAP b = r.CreateBitmap(-1, 10, SIZE{240, 320});
    ASSERT_NE(b, nullptr);
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(b, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBmih.biWidth, 240);  // the screen's width
    EXPECT_EQ(ds.dsBmih.biHeight, 80);  // raised to the window's height
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
    ASSERT_TRUE(r.Draw(nullptr, nullptr));
    const std::vector<uint8_t> want = Decoded("\\n13250i.sid", 1, window, 3);
    for (int y = 0; y < 80; y += 7)
        for (int x = 0; x < 100; x += 3) {
            const uint8_t* rgb = &want[(size_t(y) * 100 + x) * 3];
            EXPECT_EQ(Pixel(b, x, y), (std::vector<uint8_t>{rgb[2], rgb[1], rgb[0]})) << x << "," << y;
        }

    // Targets that cannot take the view are refused before decoding.
    const struct {
        const char* what;
        int width, height, bits;
    } bad[] = {{"too narrow", 99, 80, 24}, {"too low", 100, 79, 24}, {"8 bits", 100, 80, 8},
               {"32 bits", 100, 80, 32}};
    for (const auto& t : bad) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biWidth = t.width;
        bmi.bmiHeader.biHeight = t.height;
        bmi.bmiHeader.biBitCount = WORD(t.bits);
        if (t.bits == 8) bmi.bmiHeader.biClrUsed = 1;  // the one colour the structure holds
        void* bits = nullptr;
        HBITMAP target = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(target, nullptr);
        SidResetMemoryForTests();
        EXPECT_FALSE(r.Draw(target, nullptr)) << t.what;
        EXPECT_EQ(SidGetMemoryCounters().heapsCreated, 0u) << t.what;
        EXPECT_TRUE(r.HasView());
        DeleteObject(target);
    }
    r.Close();
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
}

// A window larger than one piece of the draw (the whole full-resolution
// level) gives the bytes of the level decoded at once; a reduced view gives
// every third pixel of every third row of it.
TEST_F(SidDrawTest, LargeAndReducedViewsEqualTheWholeLevel) {
    const std::vector<uint8_t> whole = Decoded("\\n13250i.sid", 0, RECT{0, 0, 617, 1264}, 3);
    for (int factor : {1, 3}) {
        SCOPED_TRACE(factor);
        CSidReader r;
        ASSERT_TRUE(r.Open(u"\\n13250i.sid"));
        ASSERT_TRUE(r.SelectView(0, nullptr, 0, factor));
        EXPECT_EQ(r.GetOutputWidth(), (618 + factor - 1) / factor);
        EXPECT_EQ(r.GetOutputHeight(), (1265 + factor - 1) / factor);
        HBITMAP b = r.CreateBitmap(0, 0);
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(r.Draw(nullptr, nullptr));
        for (int y = 0; y < r.GetOutputHeight(); ++y)
            for (int x = 0; x < r.GetOutputWidth(); ++x) {
                const uint8_t* rgb = &whole[(size_t(y) * factor * 618 + size_t(x) * factor) * 3];
                ASSERT_EQ(Pixel(b, x, y), (std::vector<uint8_t>{rgb[2], rgb[1], rgb[0]})) << x << "," << y;
            }
    }
}

TEST_F(SidDrawTest, LoadsTheCoarsestLevelThatIsLargeEnough) {
    SidFileWriter w;
    w.bands = 3;
    w.levels = 4;
    w.width = 1000;
    w.height = 700;
    w.tileWidth = w.tileHeight = 1024;
    for (int32_t& v : w.At(0, 0)) v = 100;
    Put("big.sid", w.Write());
    const struct {
        int minWidth, minHeight, width, height;
    } cases[] = {{200, 150, 250, 175}, {0, 0, 125, 88}, {251, 0, 500, 350}, {2000, 10, 1000, 700}};
    for (const auto& c : cases) {
        HBITMAP b = SidLoadBitmap(u"\\big.sid", c.minWidth, c.minHeight);
        ASSERT_NE(b, nullptr);
        BITMAP bm{};
        GetObject(b, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, c.width) << c.minWidth;
        EXPECT_EQ(bm.bmHeight, c.height) << c.minWidth;
        DeleteObject(b);
    }
    EXPECT_EQ(SidLoadBitmap(u"\\missing.sid", 0, 0), nullptr);
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
}

// A stopped draw gives false and leaves no view; another reader's view and
// drawing are untouched.
TEST_F(SidDrawTest, AStoppedDrawLeavesTheOtherReaderAlone) {
    CSidReader a, b;
    ASSERT_TRUE(a.Open(u"\\n13250i.sid"));
    ASSERT_TRUE(b.Open(u"\\n13250i.sid"));
    ASSERT_TRUE(a.SelectView(2, nullptr, -1));
    ASSERT_TRUE(b.SelectView(2, nullptr, -1));
    ASSERT_NE(a.CreateBitmap(0, 0), nullptr);
    ASSERT_NE(b.CreateBitmap(0, 0), nullptr);
    int steps = 0;
    SidSetDrawHookForTests([&] {
        if (++steps == 30) RequestAbort();
    });
    EXPECT_FALSE(a.Draw(nullptr, &IsAbortRequested));
    EXPECT_EQ(a.GetStatus(), kSidStopped);
    EXPECT_FALSE(a.HasView());
    SidSetDrawHookForTests(nullptr);
    ResetAbort();
    EXPECT_FALSE(a.Draw(nullptr, &IsAbortRequested));  // nothing to draw without a new view

    ASSERT_TRUE(b.Draw(nullptr, &IsAbortRequested));
    const std::vector<uint8_t> want = Decoded("\\n13250i.sid", 2, RECT{0, 0, 154, 316}, 3);
    for (int y : {0, 100, 316})
        for (int x : {0, 77, 154}) {
            const uint8_t* rgb = &want[(size_t(y) * 155 + x) * 3];
            EXPECT_EQ(Pixel(b.GetBitmap(), x, y), (std::vector<uint8_t>{rgb[2], rgb[1], rgb[0]}));
        }
    ASSERT_TRUE(a.SelectView(2, nullptr, -1));
    EXPECT_TRUE(a.Draw(nullptr, nullptr));
}

// A one-band copy of the sample draws grey, without the red/blue swap, close
// to the luminance of the colour decode.
TEST_F(SidDrawTest, OneBandFilesDrawGrey) {
    Put("grey.sid", SidOneBandCopy(sample_));
    CSidReader r;
    ASSERT_TRUE(r.Open(u"\\grey.sid"));
    EXPECT_EQ(r.GetBands(), 1);
    for (int level : {0, 2}) {
        ASSERT_TRUE(r.SelectView(level, nullptr, -1));
        HBITMAP b = r.CreateBitmap(0, 0);
        ASSERT_NE(b, nullptr);
        DIBSECTION ds{};
        GetObject(b, sizeof ds, &ds);
        ASSERT_EQ(ds.dsBm.bmBitsPixel, 8);
        RGBQUAD palette[256];
        HDC dc = CreateCompatibleDC(nullptr);
        auto old = SelectObject(dc, b);
        ASSERT_EQ(GetDIBColorTable(dc, 0, 256, palette), 256u);
        SelectObject(dc, old);
        DeleteDC(dc);
        for (int i = 0; i < 256; i += 51)
            EXPECT_EQ((std::vector<int>{palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue}),
                      (std::vector<int>{i, i, i}));
        ASSERT_TRUE(r.Draw(nullptr, nullptr));
        const int w = r.GetWidth(), h = r.GetHeight();
        const std::vector<uint8_t> colour = Decoded("\\n13250i.sid", level, RECT{0, 0, w - 1, h - 1}, 3);
        double diff = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* rgb = &colour[(size_t(y) * w + x) * 3];
                diff += std::fabs(Pixel(b, x, y)[0] - (0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
            }
        diff /= double(w) * h;
        RecordProperty("greyDiff" + std::to_string(level), std::to_string(diff));
        EXPECT_LT(diff, 1.5) << level;
    }
}

}  // namespace
