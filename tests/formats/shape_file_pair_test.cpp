// EShapeFilePair: headers, record layout, index names, the prefixed form,
// deletion and packing, and distrust of stored offsets.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "formats/shape/shape_file_pair.h"
#include "tests/platform/fs_test_root.h"

namespace {

class FilePairTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::test::Reset();
        EFileIO::ResetForTests();
    }
    void TearDown() override {
        fs::test::Reset();
        DeviceRootTest::TearDown();
    }
    static uint32_t BE(const std::string& s, size_t at) {
        return byte_order::LoadBe32(reinterpret_cast<const uint8_t*>(s.data() + at));
    }
    // A pair of n records of 8 bytes each ("rec0....", ...), closed.
    void MakePair(const WString& path, int n) {
        EShapeFilePair p(path);
        ASSERT_TRUE(p.Create(-400, true, false, 1, 0));
        for (int i = 0; i < n; ++i) {
            std::string c = "rec" + std::to_string(i);
            c.resize(8, '.');
            ASSERT_EQ(p.AppendRecord(c.data(), 8), i);
        }
        ASSERT_TRUE(p.Close());
    }
};

TEST_F(FilePairTest, FileCodesByKindAndRecordLength) {
    struct {
        int kind, length;
        uint32_t code;
        bool index;
    } cases[] = {{1, 0, 9994, true}, {1, 10, 9993, false}, {0, 10, 9991, false}, {0, 0, 9992, false}};
    for (auto c : cases) {
        const WString path = u"\\f" + text::FromUtf8(std::to_string(c.code)) + u".sbn";
        EShapeFilePair p(path);
        ASSERT_TRUE(p.Create(-400, true, false, c.kind, c.length));
        ASSERT_TRUE(p.Close());
        const std::string name = "f" + std::to_string(c.code);
        const std::string main = Get(name + ".sbn");
        ASSERT_EQ(main.size(), 100u);
        EXPECT_EQ(BE(main, 0), c.code);
        EXPECT_EQ(BE(main, 4), 0xFFFFFE70u);
        EXPECT_EQ(BE(main, 24), 50u);
        EXPECT_EQ(HostExists(name + ".sbx"), c.index) << c.code;
    }
}

TEST_F(FilePairTest, IndexFileNames) {
    struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {{u"roads.sbn", u"roads.sbx"}, {u"roads.shp", u"roads.shx"},
                 {u"arc.adf", u"arx.adf"},     {u"\\d\\ARC.ADF", u"\\d\\ARx.ADF"},
                 {u"a.adf", u"a.adx"}};
    for (auto c : cases) EXPECT_EQ(EShapeFilePair::GetIndexFileName(c.in), WString(c.out));
}

TEST_F(FilePairTest, AppendedRecordsLandWhereTheFormatSays) {
    EShapeFilePair p(u"\\t.sbn");
    ASSERT_TRUE(p.Create(-400, true, false, 1, 0));
    std::string a(16, 'a'), b(24, 'b');
    EXPECT_EQ(p.AppendRecord(a.data(), 16), 0);
    EXPECT_EQ(p.AppendRecord(b.data(), 24), 1);
    // Rewriting a record that is not the last with another length would
    // overwrite its neighbour: refused. Same length in place works.
    EXPECT_FALSE(p.WriteRecord(0, b.data(), 24));
    std::string a2(16, 'A');
    EXPECT_TRUE(p.WriteRecord(0, a2.data(), 16));
    ASSERT_TRUE(p.Close());
    const std::string main = Get("t.sbn"), index = Get("t.sbx");
    ASSERT_EQ(main.size(), 100u + 8 + 16 + 8 + 24);
    EXPECT_EQ(BE(main, 100), 1u);
    EXPECT_EQ(BE(main, 104), 8u);
    EXPECT_EQ(main.substr(108, 16), a2);
    EXPECT_EQ(BE(main, 124), 2u);
    EXPECT_EQ(BE(main, 128), 12u);
    EXPECT_EQ(BE(main, 24), main.size() / 2);
    ASSERT_EQ(index.size(), 116u);
    EXPECT_EQ(BE(index, 100), 50u);
    EXPECT_EQ(BE(index, 104), 8u);
    EXPECT_EQ(BE(index, 108), 62u);
    EXPECT_EQ(BE(index, 112), 12u);
    EXPECT_EQ(BE(index, 24), 58u);
}

TEST_F(FilePairTest, ReadOnlyOpenKeepsTheIndexInMemory) {
    MakePair(u"\\r.sbn", 3);
    EShapeFilePair p(u"\\r.sbn");
    ASSERT_TRUE(p.Open(false, true, false));  // the .sbx is 124 bytes, under 260
    EXPECT_EQ(p.GetRecordCount(), 3);
    EXPECT_EQ(fs::test::OpenFileCount(), 1u);
    EXPECT_TRUE(p.IsMapped());
    char buf[8];
    ASSERT_TRUE(p.ReadRecord(2, buf, 8));
    EXPECT_EQ(std::string(buf, 8), "rec2....");
    const uint8_t* ptr = p.GetRecordPointer(1);
    ASSERT_NE(ptr, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ptr), 8), "rec1....");
    EXPECT_FALSE(p.ReadRecord(3, buf, 8));
    EXPECT_FALSE(p.ReadRecord(-1, buf, 8));
}

TEST_F(FilePairTest, StoredOffsetsAndLengthsAreNotTrusted) {
    MakePair(u"\\c.sbn", 3);
    std::string index = Get("c.sbx");
    // Entry 1 points far past the main file; entry 2 claims a huge length.
    byte_order::StoreBe32(reinterpret_cast<uint8_t*>(index.data() + 108), 0x100000);
    byte_order::StoreBe32(reinterpret_cast<uint8_t*>(index.data() + 120), 0x7FFFFFF0);
    // The header claims more entries than the file holds.
    byte_order::StoreBe32(reinterpret_cast<uint8_t*>(index.data() + 24), 5000);
    Put("c.sbx", index);
    EShapeFilePair p(u"\\c.sbn");
    ASSERT_TRUE(p.Open(false, true, false));
    EXPECT_EQ(p.GetRecordCount(), 3);
    std::string buf(64, '\0');
    EXPECT_TRUE(p.ReadRecord(0, buf.data(), 8));
    EXPECT_FALSE(p.ReadRecord(1, buf.data(), 8));
    EXPECT_EQ(p.GetRecordPointer(1), nullptr);
    EXPECT_FALSE(p.ReadRecord(2, buf.data(), p.GetRecordLength(2) > 64 ? 64 : p.GetRecordLength(2)));
    EXPECT_EQ(p.GetRecordPointer(2), nullptr);
}

// A fixed record length from the file is a count of 16-bit words: twice it
// may not fit an int, and must neither wrap the record count negative (which
// would lift the bounds on reads) nor come back as a negative length.
TEST_F(FilePairTest, HugeFixedRecordLengthsAreNotTrusted) {
    for (uint32_t words : {0x7FFFFFFFu, 0x40000000u, 0x40000001u}) {
        SCOPED_TRACE(words);
        std::string main(100 + 64, '\0');
        auto* b = reinterpret_cast<uint8_t*>(main.data());
        byte_order::StoreBe32(b, 9991);
        byte_order::StoreBe32(b + 8, words);
        byte_order::StoreBe32(b + 24, static_cast<uint32_t>(main.size() / 2));
        Put("fx.sbn", main);
        EShapeFilePair p(u"\\fx.sbn");
        ASSERT_TRUE(p.Open(false, false, false));
        EXPECT_EQ(p.GetRecordCount(), 0);
        EXPECT_GE(p.GetRecordLength(0), 0);
        std::string buf(16, '\0');
        EXPECT_FALSE(p.ReadRecord(3, buf.data(), 16));
    }
}

TEST_F(FilePairTest, HeadersThatAreNotPairsDoNotOpen) {
    std::string prefixed(256 + 100, '\0');
    prefixed[1] = 0x04;
    prefixed[256] = static_cast<char>(9994 & 0xFF);
    prefixed[257] = static_cast<char>(9994 >> 8);
    Put("p.adf", prefixed);
    Put("p.adx", prefixed);
    EShapeFilePair p(u"\\p.adf");
    EXPECT_TRUE(p.Open(false, true, false));
    EXPECT_EQ(p.GetFileCode(), 9994);
    EXPECT_EQ(p.GetRecordCount(), 0);
    EXPECT_FALSE(p.Open(true, true, false));  // written only in the plain form
    std::string unmarked = prefixed;
    unmarked[1] = 0;
    Put("u.sbn", unmarked);
    EShapeFilePair u(u"\\u.sbn");
    EXPECT_FALSE(u.Open(false, false, false));
    Put("s.sbn", std::string(40, '\0'));
    EShapeFilePair s(u"\\s.sbn");
    EXPECT_FALSE(s.Open(false, false, false));
    EShapeFilePair m(u"\\missing.sbn");
    EXPECT_FALSE(m.Open(false, true, false));
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);  // nothing stays open after a failed open
}

TEST_F(FilePairTest, DeletedRecordsArePackedAwayOnClose) {
    MakePair(u"\\d.sbn", 3);
    {
        EShapeFilePair p(u"\\d.sbn");
        ASSERT_TRUE(p.Open(true, true, false));
        ASSERT_TRUE(p.DeleteRecord(1));
        EXPECT_TRUE(p.IsDeleted(1));
        EXPECT_FALSE(p.IsDeleted(0));
        EXPECT_TRUE(p.IsDeleted(7));
        char buf[8];
        EXPECT_FALSE(p.ReadRecord(1, buf, 8));
        EXPECT_TRUE(p.IsCurrentDeleted());
        EXPECT_FALSE(p.DeleteRecord(3));
        ASSERT_TRUE(p.Close());
    }
    EShapeFilePair p(u"\\d.sbn");
    ASSERT_TRUE(p.Open(false, true, false));
    ASSERT_EQ(p.GetRecordCount(), 2);
    char buf[8];
    ASSERT_TRUE(p.ReadRecord(1, buf, 8));
    EXPECT_EQ(std::string(buf, 8), "rec2....");
    const std::string main = Get("d.sbn");
    EXPECT_EQ(BE(main, 116), 2u);  // renumbered
    EXPECT_EQ(main.size(), 132u);
    // No temporary file is left beside it.
    EXPECT_EQ(HostList(""), (std::vector<std::string>{"d.sbn", "d.sbx"}));
}

// A pack whose index cannot be replaced keeps the old pair whole: never a
// packed main file beside the old index.
TEST_F(FilePairTest, PackThatCannotReplaceBothFilesKeepsThePair) {
    MakePair(u"\\d.sbn", 3);
    EShapeFilePair p(u"\\d.sbn");
    ASSERT_TRUE(p.Open(true, true, false));
    ASSERT_TRUE(p.DeleteRecord(1));
    const std::string main = Get("d.sbn"), index = Get("d.sbx");
    fs::test::FailPath(u"\\d.sbx", fs::kErrorSharingViolation);
    EXPECT_FALSE(p.Close());
    fs::test::Reset();
    EXPECT_EQ(Get("d.sbn"), main);
    EXPECT_EQ(Get("d.sbx"), index);
    EXPECT_EQ(HostList(""), (std::vector<std::string>{"d.sbn", "d.sbx"}));
}

// A read failing anywhere in a pack (the copy, or reopening the packed pair
// after the renames) leaves the old pair as it was and says so, never a pair
// short of a live record; a pack that goes through keeps every one.
TEST_F(FilePairTest, PackFailingAtAnyReadKeepsThePair) {
    bool packed = false;
    int reads = 0;
    for (int n = 1; n <= 60 && !packed; ++n) {
        SCOPED_TRACE(n);
        for (const std::string& name : HostList("")) std::filesystem::remove(Host(name));
        MakePair(u"\\d.sbn", 4);
        EShapeFilePair p(u"\\d.sbn");
        ASSERT_TRUE(p.Open(true, true, false));
        ASSERT_TRUE(p.DeleteRecord(1));
        const std::string main = Get("d.sbn"), index = Get("d.sbx");
        fs::test::FailNthRead(n);
        const bool closed = p.Close();
        packed = fs::test::ReadFaultPending();
        fs::test::Reset();
        EXPECT_EQ(closed, packed);
        if (!packed) {
            reads = n;
            EXPECT_EQ(Get("d.sbn"), main);
            EXPECT_EQ(Get("d.sbx"), index);
        }
        EXPECT_EQ(HostList(""), (std::vector<std::string>{"d.sbn", "d.sbx"}));
        EShapeFilePair r(u"\\d.sbn");
        ASSERT_TRUE(r.Open(false, true, false));
        const std::vector<std::string> live =
            packed ? std::vector<std::string>{"rec0", "rec2", "rec3"}
                   : std::vector<std::string>{"rec0", "", "rec2", "rec3"};
        ASSERT_EQ(r.GetRecordCount(), static_cast<int>(live.size()));
        for (size_t i = 0; i < live.size(); ++i) {
            char buf[8] = {};
            EXPECT_EQ(r.ReadRecord(static_cast<int>(i), buf, 8), !live[i].empty());
            if (!live[i].empty()) EXPECT_EQ(std::string(buf, 8), live[i] + "....");
        }
    }
    EXPECT_TRUE(packed);
    EXPECT_GT(reads, 4);
}

// The process ending right after any write, rename or delete of a pack
// leaves, for the next open, the old pair or the packed one, whole: never a
// packed main file beside the old index.
int g_stepsLeft = 0;

TEST_F(FilePairTest, EndingThePackAtAnyStepLeavesOldOrNewFiles) {
    constexpr int kEnded = 70, kFinished = 71, kFailed = 72;
    int finishedAt = 0;
    for (int step = 1; step < 500 && !finishedAt; ++step) {
        SCOPED_TRACE(step);
        for (const std::string& name : HostList("")) std::filesystem::remove(Host(name));
        MakePair(u"\\d.sbn", 4);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            g_stepsLeft = step;
            fs::test::OnStep(+[] {
                if (--g_stepsLeft == 0) _exit(kEnded);
            });
            EShapeFilePair p(u"\\d.sbn");
            const bool ok = p.Open(true, true, false) && p.DeleteRecord(1) && p.Close();
            _exit(ok ? kFinished : kFailed);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), kFailed);
        if (WEXITSTATUS(status) == kFinished) finishedAt = step;
        EShapeFilePair r(u"\\d.sbn");
        ASSERT_TRUE(r.Open(false, true, false));
        EXPECT_FALSE(HostExists("d.sbn.swap"));
        const int n = r.GetRecordCount();
        if (finishedAt) {
            EXPECT_EQ(n, 3);
        }
        const std::vector<std::string> live = n == 3 ? std::vector<std::string>{"rec0", "rec2", "rec3"}
                                                     : std::vector<std::string>{"rec0", "", "rec2", "rec3"};
        ASSERT_EQ(n, static_cast<int>(live.size()));
        for (size_t i = 0; i < live.size(); ++i) {
            char buf[8] = {};
            EXPECT_EQ(r.ReadRecord(static_cast<int>(i), buf, 8), !live[i].empty()) << i;
            if (!live[i].empty()) {
                EXPECT_EQ(std::string(buf, 8), live[i] + "....");
            }
        }
    }
    EXPECT_GT(finishedAt, 4);
}

TEST_F(FilePairTest, RenameAndCopyMoveBothFiles) {
    MakePair(u"\\a.sbn", 1);
    MakePair(u"\\b.sbn", 2);
    WString path = u"\\a.sbn";
    EXPECT_FALSE(EShapeFilePair::Rename(path, u"\\b.sbn"));  // never replaces
    EXPECT_EQ(path, u"\\a.sbn");
    EXPECT_TRUE(EShapeFilePair::Rename(path, u"\\c.sbn"));
    EXPECT_EQ(path, u"\\c.sbn");
    EXPECT_FALSE(HostExists("a.sbx"));
    EXPECT_TRUE(HostExists("c.sbx"));
    EXPECT_TRUE(EShapeFilePair::CopyPair(u"\\c.sbn", u"\\b.sbn"));
    EXPECT_EQ(Get("b.sbx"), Get("c.sbx"));
    EShapeFilePair p(u"\\b.sbn");
    EXPECT_TRUE(p.DeleteFiles());
    EXPECT_FALSE(HostExists("b.sbn"));
    EXPECT_FALSE(HostExists("b.sbx"));
}

}  // namespace
