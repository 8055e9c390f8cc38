// CSidReader without decoding: header values, level sizes, views.
#include <gtest/gtest.h>

#include <string>

#include "formats/sid/sid_memory.h"
#include "formats/sid/sid_reader.h"
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
