// The file layer: reopening in another mode, mappings, share modes through
// the device file system, and clean-up when memory runs out.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "dbf_test_util.h"

namespace {

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

// The permissions of the mapping of a host file in /proc/self/maps, or "".
std::string MapPermissions(const std::string& host) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.size() >= host.size() &&
            line.compare(line.size() - host.size(), host.size(), host) == 0)
            return line.substr(line.find(' ') + 1, 4);
    return "";
}

class FileIo : public DbfRootTest {
protected:
    FioFile* OpenRead(const WChar* path) {
        return fioOpen(path, kFioRead, kFioShareReadWrite, kFioOpenExisting, kFioAttrNormal, 0);
    }
};

TEST_F(FileIo, SetModeKeepsTheRecord) {
    Put("m.bin", "hello");
    FioFile* f = OpenRead(u"\\m.bin");
    ASSERT_NE(f, nullptr);
    const size_t opens = fs::test::OpenFileCount();
    // Same mode: nothing is reopened.
    EXPECT_EQ(fioSetMode(f, kFioRead, kFioShareReadWrite), 1);
    EXPECT_EQ(fs::test::OpenFileCount(), opens);
    // A write reopen that the file refuses keeps the old mode working.
    fs::test::SetReadOnly(u"\\m.bin", true);
    EXPECT_EQ(fioSetMode(f, kFioRead | kFioWrite, kFioShareRead), 0);
    EXPECT_EQ(fioGetAccess(f), kFioRead);
    char buf[8] = {};
    fioSeek(f, 1, 0);
    EXPECT_EQ(fioRead(f, buf, 4), 4u);
    EXPECT_STREQ(buf, "ello");
    fs::test::SetReadOnly(u"\\m.bin", false);
    // Success: every holder of the record writes through the new descriptor.
    FioFile* holder = f;
    ASSERT_EQ(fioSetMode(f, kFioRead | kFioWrite, kFioShareRead), 1);
    EXPECT_EQ(fioGetAccess(holder), kFioRead | kFioWrite);
    EXPECT_EQ(fioSeek(holder, 0, 2), 5);
    EXPECT_EQ(fioWrite(holder, "!", 1), 1u);
    EXPECT_EQ(fioIsAtEnd(holder), 1);
    EXPECT_EQ(fs::test::OpenFileCount(), opens);
    // A mapped file does not change mode: its view would outlive the descriptor.
    ASSERT_NE(fioMap(f), nullptr);
    EXPECT_EQ(fioSetMode(f, kFioRead, kFioShareReadWrite), 0);
    fioClose(f);
    EXPECT_EQ(Get("m.bin"), "hello!");
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
}

TEST_F(FileIo, MappingsFollowTheAccess) {
    Put("v.bin", "0123456789");
    const std::string host = Host("v.bin");
    FioFile* f = OpenRead(u"\\v.bin");
    auto* view = static_cast<const char*>(fioMap(f));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(fioGetViewLength(f), 10u);
    EXPECT_EQ(std::string(view, 10), "0123456789");
    EXPECT_EQ(MapPermissions(host).substr(0, 2), "r-");
    EXPECT_EQ(fioGetView(f), view);
    fioClose(f);
    EXPECT_EQ(MapPermissions(host), "") << "closing removes the view";

    f = fioOpen(u"\\v.bin", kFioRead | kFioWrite, kFioShareRead, kFioOpenExisting, kFioAttrNormal,
                kFioForMapping);
    auto* w = static_cast<char*>(fioMap(f));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(MapPermissions(host).substr(0, 2), "rw");
    w[0] = 'X';
    fioFlush(f);
    // Truncating under a live view is refused.
    fioSeek(f, 2, 0);
    EXPECT_EQ(fioTruncate(f), 0);
    fioUnmap(f);
    EXPECT_EQ(fioGetView(f), nullptr);
    EXPECT_EQ(fioTruncate(f), 1);
    fioClose(f);
    EXPECT_EQ(Get("v.bin"), "X1");

    Put("empty.bin", "");
    f = OpenRead(u"\\empty.bin");
    EXPECT_EQ(fioMap(f), nullptr);
    fioClose(f);
}

TEST_F(FileIo, ShareModesComeFromTheDeviceFileSystem) {
    Put("s.bin", "abc");
    struct Case {
        const char* what;
        uint32_t access1, share1, access2, share2, disposition2;
        bool second;
    } cases[] = {
        {"two readers", kFioRead, kFioShareRead, kFioRead, kFioShareRead, kFioOpenExisting, true},
        {"reader, then create", kFioRead, kFioShareRead, kFioRead | kFioWrite, kFioShareRead,
         kFioCreateAlways, false},
        {"writer sharing reads, then a writer", kFioRead | kFioWrite, kFioShareRead,
         kFioRead | kFioWrite, kFioShareReadWrite, kFioOpenExisting, false},
        {"no sharing, then a reader", kFioRead, kFioShareNone, kFioRead, kFioShareReadWrite,
         kFioOpenExisting, false},
    };
    for (const auto& c : cases) {
        FioFile* a = fioOpen(u"\\s.bin", c.access1, c.share1, kFioOpenExisting, kFioAttrNormal, 0);
        ASSERT_NE(a, nullptr) << c.what;
        FioFile* b = fioOpen(u"\\S.BIN", c.access2, c.share2, c.disposition2, kFioAttrNormal, 0);
        EXPECT_EQ(b != nullptr, c.second) << c.what;
        if (!b) {
            EXPECT_EQ(fioGetLastError(), fs::kErrorSharingViolation) << c.what;
        }
        fioClose(b);
        // Deleting an open file is refused as well.
        EXPECT_FALSE(fs::DeleteFile(u"\\s.bin")) << c.what;
        fioClose(a);
    }
    EXPECT_EQ(Get("s.bin"), "abc");
}

TEST_F(FileIo, AllocationFailureAsksAndNeverLeaks) {
    Put("a.bin", "x");
    const int fds = OpenDescriptors();
    const int64_t blocks = fioHeap().LiveBlocks();
    static int asked;
    static WString lastCaption;
    asked = 0;
    // Cancel (the headless default): null, and the open file is closed again.
    fioHeap().FailAllocation(1);
    EXPECT_EQ(OpenRead(u"\\a.bin"), nullptr);
    EXPECT_EQ(fioGetLastError(), fs::kErrorNotEnoughMemory);
    // Retry once, then the allocation succeeds.
    fioSetRetryHandler([](const WChar* text, const WChar* caption) {
        ++asked;
        lastCaption = caption;
        EXPECT_EQ(WString(text).rfind(u"fioAlloc(", 0), 0u);
        return 1;
    });
    fioHeap().FailAllocation(1);
    FioFile* f = OpenRead(u"\\a.bin");
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(lastCaption, u"FileIO Memory Allocation");
    fioClose(f);
    EXPECT_EQ(OpenRead(u"\\missing.bin"), nullptr);
    EXPECT_EQ(fioGetLastError(), fs::kErrorFileNotFound);
    EXPECT_EQ(fioHeap().LiveBlocks(), blocks);
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
}

TEST_F(FileIo, SeeksAndTransfers) {
    Put("t.bin", "abcdef");
    FioFile* f = fioOpen("\\t.bin", kFioRead, kFioShareRead, kFioOpenExisting, kFioAttrNormal, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(WString(fioGetPath(f)), u"\\t.bin");
    EXPECT_EQ(fioSeek(f, -2, 2), 4);
    EXPECT_EQ(fioTell(f), 4);
    EXPECT_EQ(fioSeek(f, -5, 1), -1) << "before the start";
    EXPECT_EQ(fioTell(f), 4);
    char buf[8] = {};
    EXPECT_EQ(fioRead(f, buf, 8), 2u);
    EXPECT_STREQ(buf, "ef");
    EXPECT_EQ(fioIsAtEnd(f), 1);
    EXPECT_EQ(fioWrite(f, "x", 1), 0u) << "opened for reading";
    fioFlush(f);  // nothing to flush without write access
    EXPECT_EQ(fioGetSize(f), 6);
    EXPECT_EQ(fioGetAttributes(f) & 1, 0u);
    fioClose(f);
    fioClose(nullptr);
}

}  // namespace

// Small reads that follow one another are served from a block read ahead;
// a write through any handle of the process, or a writable view, drops it.
TEST_F(FileIo, ReadAheadNeverServesStaleBytes) {
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
    Put("r.bin", data);
    FioFile* reader = fioOpen(u"\\r.bin", kFioRead, kFioShareReadWrite, kFioOpenExisting, kFioAttrNormal, 0);
    FioFile* writer = fioOpen(u"\\r.bin", kFioRead | kFioWrite, kFioShareReadWrite, kFioOpenExisting,
                              kFioAttrNormal, 0);
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    char row[10];
    auto readAt = [&](int64_t at) {
        EXPECT_EQ(fioSeek(reader, at, 0), at);
        EXPECT_EQ(fioRead(reader, row, sizeof row), sizeof row);
        return std::string(row, sizeof row);
    };
    // Rows one at a time, each read followed by a seek back, as the engine does.
    for (int64_t at = 0; at < 1000; at += 10) {
        EXPECT_EQ(readAt(at), data.substr(static_cast<size_t>(at), 10));
        fioSeek(reader, at, 0);
    }
    ASSERT_EQ(fioSeek(writer, 1010, 0), 1010);
    ASSERT_EQ(fioWrite(writer, "XXXXXXXXXX", 10), 10u);
    EXPECT_EQ(readAt(1000), data.substr(1000, 10));
    EXPECT_EQ(readAt(1010), "XXXXXXXXXX");
    // A writable view of the file may change it at any moment.
    EXPECT_EQ(readAt(1020), data.substr(1020, 10));
    auto* view = static_cast<char*>(fioMap(writer));
    ASSERT_NE(view, nullptr);
    memcpy(view + 1030, "YYYYYYYYYY", 10);
    EXPECT_EQ(readAt(1030), "YYYYYYYYYY");
    memcpy(view + 1040, "ZZZZZZZZZZ", 10);
    EXPECT_EQ(readAt(1040), "ZZZZZZZZZZ");
    fioUnmap(writer);
    // Reads across the block's end and at the file's end stay exact.
    const int64_t end = static_cast<int64_t>(data.size());
    EXPECT_EQ(readAt(end - 20), data.substr(data.size() - 20, 10));
    EXPECT_EQ(readAt(end - 10), data.substr(data.size() - 10, 10));
    EXPECT_EQ(fioRead(reader, row, sizeof row), 0u);
    fioClose(writer);
    fioClose(reader);
}
