// EFileIO: mapped windows, their boundaries and the error codes.
#include <gtest/gtest.h>

#include <string>

#include "core/file_stream.h"
#include "formats/shape/mapped_file.h"
#include "tests/platform/fs_test_root.h"

namespace {

class MappedFileTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::test::Reset();
        EFileIO::ResetForTests();
    }
    void TearDown() override {
        EFileIO::ResetForTests();
        fs::test::Reset();
        DeviceRootTest::TearDown();
    }
    // Byte i of a pattern file is i * 7 + (i >> 16).
    static std::string Pattern(size_t n) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + (i >> 16));
        return s;
    }
};

TEST_F(MappedFileTest, SmallFileIsMappedWholeAndReadsStopAtTheEnd) {
    Put("a.bin", Pattern(100));
    EFileIO f(u"\\a.bin");
    ASSERT_TRUE(f.Open(true, true, false, false, false));
    EXPECT_TRUE(f.IsMapped());
    EXPECT_EQ(f.GetWindow(), 0u);
    EXPECT_EQ(f.GetSize(), 100u);
    // A mapped file cannot be positioned at its very end.
    EXPECT_FALSE(f.Seek(100, 1, 0));
    EXPECT_EQ(f.GetError(), EFileIO::kBadPosition);
    EXPECT_FALSE(f.Seek(-1, 1, 0));
    EXPECT_EQ(f.GetPosition(), 0);  // a failed seek moves nothing
    ASSERT_TRUE(f.Seek(96, 4, 0));
    char buf[10];
    EXPECT_EQ(f.Read(buf, 10), 4u);
    EXPECT_EQ(f.GetError(), 0);
    EXPECT_EQ(std::string(buf, 4), Pattern(100).substr(96));
    // At the end: nothing, reported, no crash.
    EXPECT_EQ(f.Read(buf, 10), 0u);
    EXPECT_EQ(f.GetError(), EFileIO::kReadFailed);
    // Past the end, then read: refused, and the old position stays.
    EXPECT_FALSE(f.Seek(5000, 1, 0));
    EXPECT_EQ(f.Read(buf, 1), 0u);
    EXPECT_EQ(f.Write(buf, 1), 0u);
    EXPECT_EQ(f.GetError(), EFileIO::kCannotOpen);
    EXPECT_FALSE(f.SetLength(10));
    EXPECT_EQ(f.GetError(), EFileIO::kCannotOpen);
}

TEST_F(MappedFileTest, LargeFileRemapsAlignedWindows) {
    const std::string data = Pattern(3 << 20);
    Put("big.bin", data);
    {
        // By default a file is mapped whole: no window ever moves.
        EXPECT_EQ(EFileIO::GetMapWindowSize(), EFileIO::kWholeFile);
        EFileIO whole(u"\\big.bin");
        ASSERT_TRUE(whole.Open(true, true, false, false, false));
        EXPECT_EQ(whole.GetWindow(), 0u);
        ASSERT_TRUE(whole.Seek((3 << 20) - 8, 8, 0));
        EXPECT_EQ(whole.GetWindowOffset(), 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(whole.GetPointer()), 8),
                  data.substr((3 << 20) - 8));
    }
    // A window set explicitly (the handheld's 1 MiB) still moves on demand.
    EFileIO::SetMapWindowSize(1 << 20);
    EFileIO f(u"\\big.bin");
    ASSERT_TRUE(f.Open(true, true, false, false, false));
    EXPECT_EQ(f.GetWindow(), 1u << 20);
    const int64_t at = (2 << 20) - 4;
    ASSERT_TRUE(f.Seek(at, 8, 0));
    EXPECT_EQ(f.GetWindowOffset() % EFileIO::kAllocationGranularity, 0u);
    EXPECT_LE(f.GetWindowOffset(), static_cast<uint64_t>(at));
    ASSERT_NE(f.GetPointer(), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.GetPointer()), 8), data.substr(at, 8));
    // A read running past the window moves it.
    std::string buf(300000, '\0');
    ASSERT_TRUE(f.Seek((3 << 20) - 300000, 1, 0));
    ASSERT_TRUE(f.Seek((1 << 20) - 10, 1, 0));
    EXPECT_EQ(f.Read(buf.data(), 300000), 300000u);
    EXPECT_EQ(buf, data.substr((1 << 20) - 10, 300000));
    // The tail reads to the end through a window of 0 (to the end).
    ASSERT_TRUE(f.Seek((3 << 20) - 16, 1, 0));
    EXPECT_EQ(f.Read(buf.data(), 100), 16u);
    EXPECT_EQ(buf.substr(0, 16), data.substr((3 << 20) - 16));
}

TEST_F(MappedFileTest, UnmappedOpensAndErrors) {
    Put("a.bin", Pattern(100));
    Put("empty.bin", "");
    struct Case {
        bool shareWrite, noMapping;
        int64_t window;
    } cases[] = {{true, false, 0x100000}, {false, true, 0x100000}, {false, false, 0}};
    for (const Case& c : cases) {
        EFileIO::SetMapWindowSize(c.window);
        EFileIO f(u"\\a.bin");
        ASSERT_TRUE(f.Open(true, true, c.shareWrite, c.noMapping, false));
        EXPECT_FALSE(f.IsMapped());
        EXPECT_EQ(f.GetPointer(), nullptr);
        char buf[8];
        ASSERT_TRUE(f.SeekTo(96, 0));
        EXPECT_EQ(f.Read(buf, 8), 4u);
        EXPECT_EQ(f.GetError(), EFileIO::kReadFailed);  // short read through the handle
    }
    EFileIO::ResetForTests();
    EFileIO empty(u"\\empty.bin");
    ASSERT_TRUE(empty.Open(true, true, false, false, false));  // read through the handle
    EXPECT_FALSE(empty.IsMapped());

    EFileIO missing(u"\\missing.bin");
    EXPECT_FALSE(missing.Open(true, true, false, false, false));
    EXPECT_EQ(missing.GetError(), EFileIO::kNotFound);
    std::filesystem::create_directory(Host("folder"));
    EFileIO folder(u"\\folder");
    EXPECT_FALSE(folder.Open(true, true, false, false, false));
    EXPECT_EQ(folder.GetError(), EFileIO::kCannotOpen);
    char b;
    EXPECT_EQ(missing.Read(&b, 1), 0u);
    EXPECT_EQ(missing.GetError(), EFileIO::kNotOpen);
    // GetSize of a closed object measures without leaving it open.
    EFileIO closed(u"\\a.bin");
    EXPECT_EQ(closed.GetSize(), 100u);
    EXPECT_EQ(fs::test::OpenFileCount(), 1u);  // only `empty`
}

TEST_F(MappedFileTest, WindowSizeRoundsAndCreateWrites) {
    struct {
        int64_t in;
        uint32_t out;
    } sizes[] = {{-5, 0}, {0, 0}, {1, 0x10000}, {0x10000, 0x10000}, {0x10001, 0x20000}};
    for (auto s : sizes) {
        EFileIO::SetMapWindowSize(s.in);
        EXPECT_EQ(EFileIO::GetMapWindowSize(), s.out) << s.in;
    }
    EFileIO::ResetForTests();
    EFileIO f(u"\\new.bin");
    ASSERT_TRUE(f.Create(false, false));
    EXPECT_EQ(f.Write("abcdef", 6), 6u);
    ASSERT_TRUE(f.SetLength(4));
    f.Close();
    EXPECT_EQ(Get("new.bin"), "abcd");
    EXPECT_FALSE(f.Create(false, false));  // exists, not replaced
    EXPECT_EQ(f.GetError(), EFileIO::kCannotCreate);
    // A failing write reports 7.
    ASSERT_TRUE(f.Open(false, true, false, false, false));
    fs::test::FailNthWrite(1);
    EXPECT_EQ(f.Write("x", 1), 0u);
    EXPECT_EQ(f.GetError(), EFileIO::kWriteFailed);
    // Still mapped afterwards, still at the same place.
    f.Close();
    ASSERT_TRUE(f.Open(true, true, false, false, false));
    ASSERT_TRUE(f.Seek(2, 1, 0));
    EXPECT_TRUE(f.CanOpenForWriting());
    EXPECT_TRUE(f.IsMapped());
    EXPECT_EQ(f.GetPosition(), 2);
    fs::test::SetReadOnly(u"\\new.bin", true);
    EXPECT_FALSE(f.CanOpenForWriting());
    EXPECT_TRUE(f.IsOpen());
}

TEST_F(MappedFileTest, DeleteOnCloseAndCopy) {
    Put("a.bin", "hello");
    {
        EFileIO f(u"\\a.bin");
        ASSERT_TRUE(f.Open(true, true, false, false, true));
    }
    EXPECT_FALSE(HostExists("a.bin"));
    Put("b.bin", "x");
    Put("c.bin", "y");
    EXPECT_FALSE(EFileIO::CopyFile(u"\\b.bin", u"\\c.bin", true));
    EXPECT_TRUE(EFileIO::CopyFile(u"\\b.bin", u"\\c.bin", false));
    EXPECT_EQ(Get("c.bin"), "x");
}

}  // namespace
