// The MrSID file layer, header checks, view descriptors and the decoder's
// memory manager, on the sample image and damaged copies of it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/message_sink.h"
#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_file.h"
#include "formats/sid/sid_memory.h"
#include "platform/fs/fs.h"
#include "tests/platform/fs_test_root.h"

using namespace std::string_literals;

namespace {

std::string Sample() {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutBE32(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v >> 24);
    s[at + 1] = static_cast<char>(v >> 16);
    s[at + 2] = static_cast<char>(v >> 8);
    s[at + 3] = static_cast<char>(v);
}

class SidFileTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        SidResetMemoryForTests();
        ESetQuestionHook(nullptr);
    }
    void TearDown() override {
        ESetQuestionHook(nullptr);
        SidResetMemoryForTests();
        DeviceRootTest::TearDown();
    }
};

TEST_F(SidFileTest, SampleHeader) {
    Put("n13250i.sid", Sample());
    int bands, levels, width, height;
    uint8_t version[3];
    ASSERT_EQ(SidReadImageInfo("\\n13250i.sid", &bands, &levels, &width, &height, version), kSidOk);
    EXPECT_EQ(bands, 3);
    EXPECT_EQ(levels, 5);
    EXPECT_EQ(width, 618);
    EXPECT_EQ(height, 1265);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[1], 0);
    EXPECT_EQ(version[2], 1);
    // Paths are UTF-8 device paths, compared without regard to case.
    Put("Karten/\xCE\xA9-\xE6\xB5\xB7\xE5\x9B\xB3.sid", Sample());
    EXPECT_EQ(SidReadImageInfo("\\karten\\\xCE\xA9-\xE6\xB5\xB7\xE5\x9B\xB3.SID", &bands, &levels,
                               &width, &height, nullptr),
              kSidOk);
    EXPECT_EQ(SidReadImageInfo("\\missing.sid", &bands, &levels, &width, &height, nullptr),
              kSidFailed);
    EXPECT_EQ(SidReadImageInfo(nullptr, &bands, &levels, &width, &height, nullptr), kSidFailed);
}

// Every header number is checked before use; a newer generation or a band
// count other than 1 or 3 is "unsupported", and its numbers are not given out.
TEST_F(SidFileTest, DamagedAndUnsupportedHeaders) {
    const std::string sample = Sample();
    struct Case {
        const char* what;
        std::string bytes;
        int status;
    };
    auto with = [&](size_t at, uint32_t v) {
        std::string s = sample;
        PutBE32(s, at, v);
        return s;
    };
    auto withByte = [&](size_t at, char c) {
        std::string s = sample;
        s[at] = c;
        return s;
    };
    // A newer generation: the rest of its header means something else.
    std::string newer = "msid\x03\x00\x00"s + std::string(16, '\xFF');
    const Case cases[] = {
        {"upper-case magic", withByte(0, 'M'), kSidFailed},
        {"magic MSID", "MSID" + sample.substr(4), kSidFailed},
        {"empty file", "", kSidFailed},
        {"magic only", "msid", kSidFailed},
        {"newer generation", newer, kSidUnsupported},
        {"newer generation, header cut short", newer.substr(0, 7), kSidUnsupported},
        {"version byte 0", withByte(4, 0), kSidUnsupported},
        {"version bytes 01 00 00", withByte(6, 0), kSidOk},
        {"no band count", sample.substr(0, 9), kSidFailed},
        {"0 bands", with(7, 0), kSidUnsupported},
        {"1 band", with(7, 1), kSidOk},
        {"2 bands", with(7, 2), kSidUnsupported},
        {"4 bands", with(7, 4), kSidUnsupported},
        {"1,895,891,712 bands", with(7, 1895891712u), kSidUnsupported},
        {"0 levels", with(11, 0), kSidOk},
        {"31 levels, directory ends the file", with(11, 31).substr(0, 23 + 4 * 94), kSidOk},
        {"31 levels, directory past the end", with(11, 31).substr(0, 23 + 4 * 94 - 1), kSidFailed},
        {"32 levels", with(11, 32), kSidFailed},
        {"levels 0xFFFFFFFF", with(11, 0xFFFFFFFFu), kSidFailed},
        {"width 0", with(15, 0), kSidFailed},
        {"height 0", with(19, 0), kSidFailed},
        {"width 2^30", with(15, 1u << 30), kSidOk},
        {"width 2^30 + 1", with(15, (1u << 30) + 1), kSidFailed},
        {"height 0x80000000", with(19, 0x80000000u), kSidFailed},
        {"header cut in the height", sample.substr(0, 22), kSidFailed},
        {"directory cut short", sample.substr(0, 86), kSidFailed},
        {"directory ends the file", sample.substr(0, 87), kSidOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put("x.sid", c.bytes);
        int bands = -1, levels = -1, width = -1, height = -1;
        uint8_t version[3] = {9, 9, 9};
        SidResetMemoryForTests();
        EXPECT_EQ(SidReadImageInfo("\\x.sid", &bands, &levels, &width, &height, version), c.status);
        EXPECT_EQ(SidGetMemoryCounters().allocations, 0u);
        if (c.status != kSidOk) {
            EXPECT_EQ(bands, 0);
            EXPECT_EQ(levels, 0);
            EXPECT_EQ(width, 0);
            EXPECT_EQ(height, 0);
        }
        if (c.status == kSidUnsupported) {
            EXPECT_EQ(version[0], static_cast<uint8_t>(c.bytes[4]));
        }
        SidImage* image = reinterpret_cast<SidImage*>(1);
        EXPECT_EQ(SidOpenImage("\\x.sid", &image, 0, 0, 0, 0, 0, 3), c.status);
        EXPECT_EQ(image == nullptr, c.status != kSidOk);
        SidCloseImage(image);
        EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
    }
}

TEST_F(SidFileTest, EveryShortCopyOfTheHeaderAndDirectoryIsRefused) {
    const std::string sample = Sample();
    constexpr size_t kDirectoryEnd = 23 + 4 * 16;
    for (size_t n = 0; n <= kDirectoryEnd; ++n) {
        Put("cut.sid", sample.substr(0, n));
        EXPECT_EQ(SidReadImageInfo("\\cut.sid", nullptr, nullptr, nullptr, nullptr, nullptr),
                  n == kDirectoryEnd ? kSidOk : kSidFailed)
            << n;
    }
}

TEST_F(SidFileTest, LevelSizesHalveRoundingUp) {
    const struct {
        uint32_t width, height;
        int level;
        uint32_t w, h;
    } cases[] = {
        {618, 1265, 0, 618, 1265}, {618, 1265, 1, 309, 633}, {618, 1265, 2, 155, 317},
        {618, 1265, 3, 78, 159},   {618, 1265, 4, 39, 80},   {618, 1265, 5, 20, 40},
        {1000, 700, 3, 125, 88},   {1, 1, 31, 1, 1},         {1u << 30, 3, 31, 1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SidLevelSize(c.width, c.level), c.w) << c.width << " at " << c.level;
        EXPECT_EQ(SidLevelSize(c.height, c.level), c.h) << c.height << " at " << c.level;
    }
}

TEST_F(SidFileTest, ViewDescriptors) {
    Put("n13250i.sid", Sample());
    const char* path = "\\n13250i.sid";
    SidImage* image = nullptr;
    // Levels 0 to the level count (one coarser than the reader admits).
    for (int level = 0; level <= 5; ++level) {
        ASSERT_EQ(SidOpenImage(path, &image, level, 0, 19, 0, 39, 60), kSidOk) << level;
        EXPECT_EQ(SidGetLevel(image), level);
        SidCloseImage(image);
    }
    for (int level : {-1, 6, 1000}) {
        image = reinterpret_cast<SidImage*>(1);
        EXPECT_EQ(SidOpenImage(path, &image, level, 0, 0, 0, 0, 3), kSidFailed) << level;
        EXPECT_EQ(image, nullptr);
    }
    ASSERT_EQ(SidOpenImage(path, &image, 2, 10, 109, 20, 69, 304), kSidOk);
    EXPECT_EQ(image->levels, 5);
    EXPECT_EQ(image->width, 618);
    EXPECT_EQ(image->height, 1265);
    int fc, lc, fr, lr, w, h;
    SidGetWindow(image, &fc, &lc, &fr, &lr);
    EXPECT_EQ((std::vector<int>{fc, lc, fr, lr}), (std::vector<int>{10, 109, 20, 69}));
    EXPECT_EQ(SidGetWindowWidth(image, &w), 10);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(SidGetWindowHeight(image, &h), 20);
    EXPECT_EQ(h, 50);
    EXPECT_EQ(SidGetStride(image), 304);
    EXPECT_EQ(SidGetMemoryCounters().blocks, 1u);
    SidCloseImage(image);
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
    EXPECT_EQ(SidGetMemoryCounters().current, 0u);

    // No descriptor: zeros.
    SidGetWindow(nullptr, &fc, &lc, &fr, &lr);
    EXPECT_EQ((std::vector<int>{fc, lc, fr, lr}), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(SidGetWindowWidth(nullptr, &w), 0);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(SidGetWindowHeight(nullptr, &h), 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(SidGetLevel(nullptr), 0);
    EXPECT_EQ(SidGetStride(nullptr), 0);

    // A stride that cannot hold a row, windows past the output cap (described,
    // as a view decoded in parts may be, but refused by a decode of the
    // whole), and empty windows.
    const struct {
        int fc, lc, fr, lr, stride, status;
    } windows[] = {
        {0, 617, 0, 1264, 618 * 3, kSidOk},
        {0, 617, 0, 1264, 618 * 3 - 1, kSidFailed},
        {0, 16383, 0, 5460, 16384 * 3, kSidOk},        // just under 256 MiB
        {0, 16383, 0, 5461, 16384 * 3, kSidOk},        // just over
        {0, 0x7FFFFFFE, 0, 0x7FFFFFFE, 0x7FFFFFFF, kSidFailed},
        {5, 4, 0, 9, 0, kSidOk},                       // negative width: empty
        {0, 9, 7, -100, -5, kSidOk},                   // negative height: empty
        {700, 710, 2000, 2010, 33, kSidOk},            // outside the level, still a window
    };
    for (const auto& c : windows) {
        image = nullptr;
        EXPECT_EQ(SidOpenImage(path, &image, 0, c.fc, c.lc, c.fr, c.lr, c.stride), c.status)
            << c.fc << ".." << c.lc << " x " << c.fr << ".." << c.lr << " stride " << c.stride;
        SidCloseImage(image);
    }
    image = nullptr;
    ASSERT_EQ(SidOpenImage(path, &image, 0, 0, 16383, 0, 5461, 16384 * 3), kSidOk);
    uint8_t small[16];
    EXPECT_EQ(SidDecodeRegion(path, image, nullptr, small, {}), kSidFailed);  // closes the descriptor
}

TEST_F(SidFileTest, FileLayerReadsBigEndianAcrossItsBuffer) {
    std::string bytes(10000, '\0');
    std::mt19937 rng(5);
    for (char& c : bytes) c = static_cast<char>(rng());
    Put("r.bin", bytes);
    SidFile* f = SidOpenFile("\\r.bin");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(SidFileSize(f), 10000u);
    SidTestResetBytesRead();
    auto be32 = [&](size_t at) {
        return uint32_t{uint8_t(bytes[at])} << 24 | uint32_t{uint8_t(bytes[at + 1])} << 16 |
               uint32_t{uint8_t(bytes[at + 2])} << 8 | uint8_t(bytes[at + 3]);
    };
    // Random positions, some straddling the read buffer's edges.
    for (size_t at : {0ul, 4094ul, 4095ul, 8190ul, 17ul, 9996ul, 4096ul, 8000ul}) {
        ASSERT_FALSE(SidSeek(f, static_cast<int64_t>(at), 0));
        uint32_t v;
        ASSERT_FALSE(SidReadBE32(f, &v)) << at;
        EXPECT_EQ(v, be32(at)) << at;
        EXPECT_EQ(SidTell(f), at + 4);
    }
    EXPECT_EQ(SidTestBytesRead(), 32u);
    // Whole items only; at the end nothing more.
    ASSERT_FALSE(SidSeek(f, -10, 2));
    uint8_t buf[12];
    EXPECT_EQ(SidRead(buf, 4, 3, f), 2u);
    EXPECT_EQ(std::memcmp(buf, bytes.data() + 9990, 10), 0);
    EXPECT_EQ(SidReadByte(f), -1);
    uint32_t v;
    uint16_t v16;
    EXPECT_TRUE(SidReadBE32(f, &v));
    ASSERT_FALSE(SidSeek(f, -2, 1));
    ASSERT_FALSE(SidReadBE16(f, &v16));
    EXPECT_EQ(v16, (uint8_t(bytes[9998]) << 8) | uint8_t(bytes[9999]));
    // Past the end is a valid position with nothing to read; before the start is not.
    EXPECT_FALSE(SidSeek(f, 100, 2));
    EXPECT_EQ(SidReadByte(f), -1);
    EXPECT_TRUE(SidSeek(f, -1, 0));
    EXPECT_TRUE(SidSeek(f, 0, 7));
    ASSERT_FALSE(SidSeek(f, 3, 0));
    EXPECT_EQ(SidReadByte(f), uint8_t(bytes[3]));
    SidCloseFile(f);
    EXPECT_EQ(SidOpenFile("\\none.bin"), nullptr);

    uint8_t swap[5] = {1, 2, 3, 4, 5};
    SidSwapBytes(swap, 5);
    EXPECT_EQ(std::vector<uint8_t>(swap, swap + 5), (std::vector<uint8_t>{5, 4, 3, 2, 1}));
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
}

TEST_F(SidFileTest, AllocationFailureAsksRetryOrCancel) {
    std::vector<std::pair<WString, WString>> asked;
    int answer = kEAnswerCancel;
    ESetQuestionHook([&](const WString& text, const WString& caption) {
        asked.emplace_back(text, caption);
        return answer;
    });
    void* kept = SidAlloc(40);
    SidTestFailAllocation(1);
    EXPECT_EQ(SidAlloc(100), nullptr);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].second, u"MrSID Memory Allocation");
    const std::string text = text::ToUtf8(asked[0].first);
    EXPECT_EQ(text.rfind("Mode C=0 ", 0), 0u) << text;
    EXPECT_NE(text.find("% memAlloc(100)\nC=1 TC=1\nAlloc=00000028 TAlloc=00000028\n@Phys="),
              std::string::npos)
        << text;

    answer = kEAnswerRetry;
    SidTestFailAllocation(2);
    void* first = SidAlloc(8);
    void* second = SidAlloc(8);  // fails once, then the retry succeeds
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(asked.size(), 2u);

    // Without a question hook the answer is Cancel.
    ESetQuestionHook(nullptr);
    SidTestFailAllocation(1);
    EXPECT_EQ(SidCalloc(4, 4), nullptr);
    EXPECT_EQ(SidCalloc(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(SidHeapAlloc(SIZE_MAX - 8), nullptr);

    const SidMemoryCounters c = SidGetMemoryCounters();
    EXPECT_EQ(c.blocks, 3u);
    EXPECT_EQ(c.allocations, 3u);
    EXPECT_EQ(c.current, 56u);
    EXPECT_EQ(c.requested, 56u);
    EXPECT_EQ(c.largest, 40u);
    for (void* p : {kept, first, second}) SidFree(p);
    const SidMemoryCounters after = SidGetMemoryCounters();
    EXPECT_EQ(after.blocks, 0u);
    EXPECT_EQ(after.current, 0u);
    EXPECT_EQ(after.requested, 0u);
    EXPECT_EQ(after.requestedPeak, 0u);
    EXPECT_EQ(after.total, 56u);
    EXPECT_EQ(after.allocations, 3u);
}

// A decode's memory is its own: what it leaves behind is freed when it ends,
// and releasing it never touches blocks held outside it (another reader's
// view descriptor).
TEST_F(SidFileTest, DecodeHeapsReleaseOnlyTheirOwnBlocks) {
    Put("n13250i.sid", Sample());
    SidImage* other = nullptr;
    ASSERT_EQ(SidOpenImage("\\n13250i.sid", &other, 1, 0, 9, 0, 9, 30), kSidOk);
    {
        SidDecodeHeap heap;
        EXPECT_EQ(SidGetMemoryCounters().heapsCreated, 1u);
        auto* a = static_cast<uint8_t*>(SidCalloc(1000, 1));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a[999], 0);
        SidAlloc(50);
        {
            SidDecodeHeap inner;
            SidAlloc(7);
            SidReleaseMemory();  // the inner decode's block only
            EXPECT_EQ(SidGetMemoryCounters().blocks, 3u);
        }
        EXPECT_EQ(SidGetMemoryCounters().blocks, 3u);
        SidReleaseMemory();
        EXPECT_EQ(SidGetMemoryCounters().blocks, 1u);
        SidAlloc(9);  // left for the end of the decode
    }
    const SidMemoryCounters c = SidGetMemoryCounters();
    EXPECT_EQ(c.blocks, 1u);
    EXPECT_EQ(c.heapsCreated, 2u);
    // The other view is intact (AddressSanitizer would see a use after free).
    EXPECT_EQ(other->level, 1);
    EXPECT_EQ(other->stride, 30);
    SidReleaseMemory();  // outside a decode: nothing
    EXPECT_EQ(SidGetMemoryCounters().blocks, 1u);
    SidCloseImage(other);
    EXPECT_EQ(SidGetMemoryCounters().blocks, 0u);
    EXPECT_EQ(SidGetMemoryCounters().current, 0u);
}

}  // namespace
