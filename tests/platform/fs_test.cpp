#include "platform/fs/fs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <map>
#include <thread>

#include "platform/fs/fs_internal.h"
#include "tests/platform/fs_test_root.h"

using namespace fs;

namespace {

std::string Names(const WString& pattern) {
    std::string out;
    FindData d;
    FindHandle* h = FindFirstFile(pattern, &d);
    if (!h) return "<" + std::to_string(GetLastError()) + ">";
    do {
        if (!out.empty()) out += ",";
        out += text::ToUtf8(d.fileName);
    } while (FindNextFile(h, &d));
    EXPECT_EQ(GetLastError(), kErrorNoMoreFiles);
    FindClose(h);
    return out;
}

bool Shell(const std::string& cmd) {
    return std::system(cmd.c_str()) == 0;
}

}  // namespace

using Paths = DeviceRootTest;

TEST_F(Paths, ResolutionStaysInsideTheRoot) {
    Put("etc/passwd", "inside");
    Put("data/sub/x.txt", "x");
    struct Case {
        const char16_t* device;
        const char* host;  // relative to the root; "" is the root itself
    } cases[] = {
        {u"\\..\\..\\etc", "etc"},
        {u"..\\..\\..\\etc\\passwd", "etc/passwd"},
        {u"\\data\\sub\\..\\..\\..\\etc", "etc"},
        {u"\\\\data\\\\sub\\x.txt", "data/sub/x.txt"},
        {u"/data//sub/./x.txt", "data/sub/x.txt"},
        {u"data\\sub\\x.txt", "data/sub/x.txt"},
        {u"\\DATA\\Sub\\X.TXT", "data/sub/x.txt"},
        {u"\\data\\sub\\x.txt.", "data/sub/x.txt"},
        {u"\\data.\\sub \\x.txt", "data/sub/x.txt"},
        {u"\\", ""},
        {u"", ""},
        {u"\\..", ""},
    };
    for (const auto& c : cases) {
        Resolved r;
        ASSERT_TRUE(ResolvePath(c.device, &r)) << text::ToUtf8(c.device);
        std::string want = *c.host ? Host(c.host) : root_;
        EXPECT_EQ(r.host, want) << text::ToUtf8(c.device);
        EXPECT_TRUE(r.exists) << text::ToUtf8(c.device);
    }
    EXPECT_EQ(GetLastError(), 0u);
    std::string read;
    ASSERT_TRUE(ReadWholeFile(u"\\..\\..\\etc\\passwd", &read));
    EXPECT_EQ(read, "inside");

    struct Bad {
        const char16_t* device;
        uint32_t error;
    } bad[] = {
        {u"C:\\data\\sub\\x.txt", kErrorPathNotFound},
        {u"c:x.txt", kErrorPathNotFound},
        {u"\\nowhere\\x.txt", kErrorPathNotFound},
        {u"\\data\\sub\\x.txt\\y", kErrorPathNotFound},
        {u"\\data\\a:b", kErrorInvalidName},
        {u"\\data\\a*b", kErrorInvalidName},
        {u"\\data\\a|b", kErrorInvalidName},
        {u"\\data\\a\tb", kErrorInvalidName},
    };
    for (const auto& b : bad) {
        Resolved r;
        EXPECT_FALSE(ResolvePath(b.device, &r)) << text::ToUtf8(b.device);
        EXPECT_EQ(GetLastError(), b.error) << text::ToUtf8(b.device);
        EXPECT_EQ(GetFileAttributes(b.device), kInvalidAttributes);
    }
    // A missing last name is not an error of the resolution.
    Resolved r;
    ASSERT_TRUE(ResolvePath(u"\\data\\new.txt", &r));
    EXPECT_FALSE(r.exists);
    EXPECT_EQ(r.host, Host("data/new.txt"));
    EXPECT_EQ(GetFileAttributes(u"\\data\\new.txt"), kInvalidAttributes);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

// Symbolic links are followed only where they lead inside the root or a
// mount; one leading elsewhere, or nowhere, is refused, also for creating
// a file through it.
TEST_F(Paths, SymbolicLinksStayInsideTheRootOrAMount) {
    char outsideTmpl[] = "/tmp/zn-fs-out-XXXXXX", mountTmpl[] = "/tmp/zn-fs-mnt-XXXXXX";
    ASSERT_NE(mkdtemp(outsideTmpl), nullptr);
    ASSERT_NE(mkdtemp(mountTmpl), nullptr);
    const std::string outside = outsideTmpl, mount = mountTmpl;
    ASSERT_TRUE(Shell("echo secret > '" + outside + "/secret.txt' && echo card > '" + mount +
                      "/card.txt'"));
    AddMount(u"\\Storage Card", mount);
    Put("data/x.txt", "x");
    const std::string links =
        "cd '" + root_ + "' && ln -s data in && ln -s data/x.txt x.lnk && ln -s '" + outside +
        "' out && ln -s '" + outside + "/secret.txt' secret.lnk && ln -s '" + mount +
        "' card && ln -s '" + outside + "/missing.txt' dangling && ln -s /etc etc";
    ASSERT_TRUE(Shell(links));
    const struct {
        const char16_t* device;
        bool followed;
    } cases[] = {
        {u"\\in\\" u"x.txt", true},   {u"\\" u"x.lnk", true},
        {u"\\card\\card.txt", true},  {u"\\out\\secret.txt", false},
        {u"\\secret.lnk", false},     {u"\\dangling", false},
        {u"\\etc\\passwd", false},    {u"\\OUT\\Secret.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::ToUtf8(c.device));
        std::string bytes;
        EXPECT_EQ(ReadWholeFile(c.device, &bytes), c.followed);
        if (!c.followed) EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    }
    // Nothing is written through a link that leads out.
    File f;
    EXPECT_FALSE(f.Open(u"\\dangling", kGenericWrite, 0, kCreateAlways));
    EXPECT_FALSE(WriteWholeFile(u"\\out\\new.txt", "n", 1));
    EXPECT_FALSE(WriteWholeFile(u"\\secret.lnk", "n", 1));
    EXPECT_FALSE(Shell("test -e '" + outside + "/missing.txt' || test -e '" + outside +
                       "/new.txt'"));
    EXPECT_TRUE(Shell("grep -qx secret '" + outside + "/secret.txt'"));
    ASSERT_TRUE(Shell("rm -rf '" + outside + "' '" + mount + "'"));
}

TEST_F(Paths, ExactNameWinsThenFirstInByteOrder) {
    Put("d/a.txt", "lower");
    Put("d/A.TXT", "upper");
    Put("d/B.txt", "b");
    std::string s;
    ASSERT_TRUE(ReadWholeFile(u"\\d\\a.txt", &s));
    EXPECT_EQ(s, "lower");
    ASSERT_TRUE(ReadWholeFile(u"\\d\\A.TXT", &s));
    EXPECT_EQ(s, "upper");
    ASSERT_TRUE(ReadWholeFile(u"\\D\\a.Txt", &s));
    EXPECT_EQ(s, "upper");  // "A.TXT" sorts before "a.txt"
    ASSERT_TRUE(ReadWholeFile(u"\\d\\b.TXT", &s));
    EXPECT_EQ(s, "b");
}

// A folder's names are learnt once and reused while it stays unchanged:
// files made, renamed or removed since, by this program or another, are seen.
TEST_F(Paths, NamesInOtherCaseFollowChangesToTheFolder) {
    // Every scan is kept, however recent the folder's last change.
    detail::SetFolderSettleSecondsForTests(-1);
    Put("old/ROADS.SHP", "roads");
    const std::string folder = Host("old");
    std::string s;
    ASSERT_TRUE(ReadWholeFile(u"\\OLD\\roads.shp", &s));
    EXPECT_EQ(s, "roads");
    EXPECT_FALSE(ReadWholeFile(u"\\old\\lakes.shp", &s));
    // Another program adds a file, renames one, and sets the folder's time
    // back to what it was (a moment later: the kernel's clock for these
    // times moves in ticks).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    struct stat before;
    ASSERT_EQ(stat(folder.c_str(), &before), 0);
    Put("old/LAKES.SHP", "lakes");
    ASSERT_EQ(std::rename((folder + "/ROADS.SHP").c_str(), (folder + "/Rivers.shp").c_str()), 0);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
    ASSERT_TRUE(ReadWholeFile(u"\\old\\lakes.shp", &s));
    EXPECT_EQ(s, "lakes");
    EXPECT_FALSE(ReadWholeFile(u"\\old\\roads.shp", &s));
    ASSERT_TRUE(ReadWholeFile(u"\\old\\RIVERS.SHP", &s));
    EXPECT_EQ(s, "roads");
    // This program removes one.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(DeleteFile(u"\\old\\rivers.shp"));
    EXPECT_FALSE(ReadWholeFile(u"\\old\\RIVERS.shp", &s));
    detail::SetFolderSettleSecondsForTests(2);
}

// Companion files from desktop tools come in any case; writing one of them
// must overwrite it, never leave a lower-case twin beside it.
TEST_F(Paths, MixedCaseShapefileCompanions) {
    std::string dir = Host("Maps");
    ASSERT_TRUE(Shell("mkdir -p '" + dir + "' && cd '" + dir +
                      "' && shpcreate roads arc >/dev/null && dbfcreate roads -s NAME 20 "
                      ">/dev/null && dbfadd roads.dbf Main >/dev/null && mv roads.shp ROADS.SHP "
                      "&& mv roads.dbf ROADS.DBF && mv roads.shx Roads.Shx"));
    EXPECT_TRUE(Exists(u"\\maps\\roads.shp"));
    EXPECT_TRUE(Exists(u"\\MAPS\\roads.SHX"));
    EXPECT_FALSE(Exists(u"\\maps\\roads.prj"));

    File dbf;
    ASSERT_TRUE(dbf.Open(u"\\maps\\roads.dbf", kGenericRead, kShareRead, kOpenExisting));
    unsigned char header[32];
    size_t got = 0;
    ASSERT_TRUE(dbf.Read(header, sizeof header, &got));
    EXPECT_EQ(got, 32u);
    EXPECT_EQ(header[0], 0x03);
    EXPECT_EQ(header[4], 1);  // one record
    EXPECT_EQ(dbf.HostPath(), dir + "/ROADS.DBF");
    dbf.Close();

    // Overwrite through the lower-case name; then through a whole-file write.
    File out;
    ASSERT_TRUE(out.Open(u"\\maps\\roads.dbf", kGenericWrite, kShareNone, kCreateAlways));
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
    ASSERT_TRUE(out.Write("new", 3));
    out.Close();
    ASSERT_TRUE(WriteWholeFile(u"\\maps\\roads.prj", "GEOGCS", 6));
    ASSERT_TRUE(WriteWholeFile(u"\\maps\\ROADS.PRJ", "PROJCS", 6));
    ASSERT_TRUE(WriteWholeFile(u"\\maps\\roads.shx", "x", 1));
    EXPECT_EQ(HostList("Maps"),
              (std::vector<std::string>{"ROADS.DBF", "ROADS.SHP", "Roads.Shx", "roads.prj"}));
    EXPECT_EQ(Get("Maps/ROADS.DBF"), "new");
    EXPECT_EQ(Get("Maps/roads.prj"), "PROJCS");
}

TEST_F(Paths, MountsMatchWithoutRegardToCase) {
    char tmpl[] = "/tmp/zn-card-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string card = tmpl;
    std::string env = "\\Storage Card=" + card + ";\\Host=/nonexistent-zn";
    setenv("ZARNIP_MOUNTS", env.c_str(), 1);
    ResetConfiguration();
    Put("Storage Card/hidden.txt", "shadowed");  // a root folder the mount hides

    ASSERT_TRUE(WriteWholeFile(u"\\STORAGE CARD\\Track.txt", "t", 1));
    std::string s;
    ASSERT_TRUE(ReadWholeFile(u"\\storage card\\TRACK.TXT", &s));
    EXPECT_EQ(s, "t");
    EXPECT_FALSE(Exists(u"\\Storage Card\\hidden.txt"));
    EXPECT_EQ(GetFileAttributes(u"\\storage CARD"), kAttrDirectory | kAttrTemporary);
    // A mount whose host folder is missing (no card inserted) is not listed.
    EXPECT_EQ(Names(u"\\*.*"), "Storage Card");
    EXPECT_EQ(Names(u"\\Storage Card\\*"), "Track.txt");
    EXPECT_EQ(DevicePathFromHost(card + "/Track.txt"), u"\\Storage Card\\Track.txt");
    EXPECT_EQ(DevicePathFromHost(root_ + "/a/../b"), u"\\b");
    EXPECT_EQ(DevicePathFromHost("/definitely/outside"), u"");
    // ".." from a mount goes to the device root, not to the host folder above the card.
    Resolved r;
    ASSERT_TRUE(ResolvePath(u"\\Storage Card\\..\\x", &r));
    EXPECT_EQ(r.host, Host("x"));
    std::filesystem::remove_all(card);
}

TEST_F(Paths, ShareModesRefuseConflictingOpens) {
    Put("f.bin", "0123456789");
    struct Case {
        uint32_t access1, share1, access2, share2;
        bool second;
    } cases[] = {
        {kGenericRead, kShareNone, kGenericRead, kShareRead, false},
        {kGenericRead, kShareRead, kGenericRead, kShareRead, true},
        {kGenericRead, kShareRead, kGenericWrite, kShareRead, false},
        {kGenericRead, kShareRead | kShareWrite, kGenericWrite, kShareRead, true},
        {kGenericRead | kGenericWrite, kShareRead, kGenericRead, kShareRead, false},
        {kGenericRead | kGenericWrite, kShareRead, kGenericRead, kShareRead | kShareWrite, true},
        {kGenericRead, kShareRead, 0, kShareNone, true},  // a query-only open
    };
    for (const auto& c : cases) {
        File a, b;
        ASSERT_TRUE(a.Open(u"\\F.BIN", c.access1, c.share1, kOpenExisting));
        EXPECT_EQ(b.Open(u"\\f.bin", c.access2, c.share2, kOpenExisting), c.second)
            << c.access1 << "/" << c.share1 << " then " << c.access2 << "/" << c.share2;
        if (!c.second) {
            EXPECT_EQ(GetLastError(), kErrorSharingViolation);
        }
    }
    EXPECT_EQ(test::OpenFileCount(), 0u);

    File held;
    ASSERT_TRUE(held.Open(u"\\f.bin", kGenericRead, kShareRead | kShareWrite, kOpenExisting));
    EXPECT_FALSE(DeleteFile(u"\\f.bin"));
    EXPECT_EQ(GetLastError(), kErrorSharingViolation);
    EXPECT_FALSE(MoveFile(u"\\f.bin", u"\\g.bin"));
    EXPECT_EQ(GetLastError(), kErrorSharingViolation);
    EXPECT_FALSE(WriteWholeFile(u"\\f.bin", "x", 1));
    EXPECT_EQ(GetLastError(), kErrorSharingViolation);
    File writer;  // kCreateAlways must not truncate a file it may not open
    EXPECT_FALSE(writer.Open(u"\\f.bin", kGenericWrite, kShareNone, kCreateAlways));
    EXPECT_EQ(Get("f.bin"), "0123456789");
    held.Close();
    ASSERT_TRUE(held.Open(u"\\f.bin", kGenericRead, kShareRead | kShareDelete, kOpenExisting));
    EXPECT_TRUE(DeleteFile(u"\\f.bin"));
}

TEST_F(Paths, CreationDispositions) {
    Put("old.txt", "abcdef");
    struct Case {
        const char16_t* path;
        uint32_t access, disposition;
        bool ok;
        uint32_t error;
        const char* content;  // after the open ("-" when the file must not exist)
    } cases[] = {
        {u"\\old.txt", kGenericWrite, kCreateNew, false, kErrorFileExists, "abcdef"},
        {u"\\new1.txt", kGenericWrite, kCreateNew, true, 0, ""},
        {u"\\old.txt", kGenericRead, kOpenExisting, true, 0, "abcdef"},
        {u"\\missing.txt", kGenericRead, kOpenExisting, false, kErrorFileNotFound, "-"},
        {u"\\no\\missing.txt", kGenericRead, kOpenAlways, false, kErrorPathNotFound, "-"},
        {u"\\OLD.TXT", kGenericRead, kOpenAlways, true, kErrorAlreadyExists, "abcdef"},
        {u"\\new2.txt", kGenericRead, kOpenAlways, true, 0, ""},
        {u"\\old.txt", kGenericRead, kTruncateExisting, false, kErrorInvalidParameter, "abcdef"},
        {u"\\missing.txt", kGenericWrite, kTruncateExisting, false, kErrorFileNotFound, "-"},
        {u"\\old.txt", kGenericRead, kCreateAlways, true, kErrorAlreadyExists, ""},
        {u"\\", kGenericRead, kOpenExisting, false, kErrorAccessDenied, nullptr},
        {u"\\old.txt", kGenericRead, 9, false, kErrorInvalidParameter, ""},
    };
    for (const auto& c : cases) {
        File f;
        EXPECT_EQ(f.Open(c.path, c.access, kShareRead, c.disposition), c.ok)
            << text::ToUtf8(c.path) << " " << c.disposition;
        EXPECT_EQ(GetLastError(), c.error) << text::ToUtf8(c.path) << " " << c.disposition;
        f.Close();
        if (!c.content) continue;
        std::string rel = text::ToUtf8(WStringView(c.path).substr(1));
        for (auto& ch : rel) ch = static_cast<char>(std::tolower(ch));
        if (std::string(c.content) == "-")
            EXPECT_FALSE(HostExists(rel)) << rel;
        else
            EXPECT_EQ(Get(rel), c.content) << text::ToUtf8(c.path) << " " << c.disposition;
    }
}

TEST_F(Paths, ReadWriteSeekAndSize) {
    File f;
    ASSERT_TRUE(f.Open(u"\\rw.bin", kGenericRead | kGenericWrite, kShareNone, kCreateAlways));
    EXPECT_EQ(GetLastError(), 0u);
    ASSERT_TRUE(f.Write("hello world", 11));
    EXPECT_EQ(f.Size(), 11u);
    uint64_t pos = 0;
    ASSERT_TRUE(f.Seek(-5, kSeekEnd, &pos));
    EXPECT_EQ(pos, 6u);
    char buf[16] = {};
    size_t got = 0;
    ASSERT_TRUE(f.Read(buf, sizeof buf, &got));
    EXPECT_EQ(std::string(buf, got), "world");
    ASSERT_TRUE(f.Read(buf, 4, &got));  // at the end: success, nothing read
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(f.Seek(-20, kSeekCurrent));
    EXPECT_EQ(GetLastError(), kErrorNegativeSeek);
    EXPECT_EQ(f.Tell(), 11u);
    ASSERT_TRUE(f.Seek(5, kSeekBegin));
    ASSERT_TRUE(f.SetEnd());
    EXPECT_EQ(f.Size(), 5u);
    ASSERT_TRUE(f.Seek(8, kSeekBegin));  // past the end: a later write fills with zeros
    ASSERT_TRUE(f.Write("!", 1));
    ASSERT_TRUE(f.Flush());
    uint64_t created = 0, written = 0;
    ASSERT_TRUE(f.GetTimes(&created, nullptr, &written));
    EXPECT_GT(written, FileTimeFromUnix(1600000000, 0));
    f.Close();
    EXPECT_EQ(Get("rw.bin"), std::string("hello\0\0\0!", 9));
    EXPECT_FALSE(f.Read(buf, 1));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);

    File ro;
    ASSERT_TRUE(ro.Open(u"\\rw.bin", kGenericRead, kShareRead, kOpenExisting));
    EXPECT_FALSE(ro.Write("x", 1));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(ro.SetEnd());
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);

    EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000ULL);
    EXPECT_EQ(UnixFromFileTime(116444736000000000ULL + 25), 0);
}

TEST_F(Paths, ReadOnlyFilesEvenForRoot) {
    Put("ro.txt", "keep");
    ASSERT_TRUE(SetFileAttributes(u"\\RO.TXT", kAttrReadOnly));
    EXPECT_EQ(GetFileAttributes(u"\\ro.txt"), kAttrReadOnly);
    File f;
    EXPECT_FALSE(f.Open(u"\\ro.txt", kGenericWrite, kShareNone, kOpenExisting));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(f.Open(u"\\ro.txt", kGenericRead, kShareNone, kCreateAlways));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(DeleteFile(u"\\ro.txt"));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(WriteWholeFile(u"\\ro.txt", "x", 1));
    EXPECT_TRUE(f.Open(u"\\ro.txt", kGenericRead, kShareRead, kOpenExisting));
    f.Close();
    EXPECT_EQ(Get("ro.txt"), "keep");
    ASSERT_TRUE(SetFileAttributes(u"\\ro.txt", kAttrNormal));
    EXPECT_EQ(GetFileAttributes(u"\\ro.txt"), kAttrNormal);

    // Simulated, and a new file created read-only.
    test::SetReadOnly(u"\\ro.txt", true);
    EXPECT_EQ(GetFileAttributes(u"\\ro.txt"), kAttrReadOnly);
    EXPECT_FALSE(DeleteFile(u"\\ro.txt"));
    test::SetReadOnly(u"\\ro.txt", false);
    ASSERT_TRUE(f.Open(u"\\made.txt", kGenericWrite, kShareNone, kCreateNew, kAttrReadOnly));
    ASSERT_TRUE(f.Write("m", 1));
    f.Close();
    EXPECT_EQ(GetFileAttributes(u"\\made.txt"), kAttrReadOnly);

    Put(".hidden", "");
    Put("dir/x", "");
    EXPECT_EQ(GetFileAttributes(u"\\.hidden"), kAttrHidden);
    EXPECT_EQ(GetFileAttributes(u"\\DIR"), kAttrDirectory);
}

TEST_F(Paths, FaultInjection) {
    File f;
    ASSERT_TRUE(f.Open(u"\\w.bin", kGenericWrite, kShareNone, kCreateAlways));
    test::FailNthWrite(2);
    EXPECT_TRUE(f.Write("aa", 2));
    EXPECT_FALSE(f.Write("bb", 2));
    EXPECT_EQ(GetLastError(), kErrorDiskFull);
    EXPECT_TRUE(f.Write("cc", 2));
    test::SetWriteBudget(3);
    size_t done = 0;
    EXPECT_FALSE(f.Write("12345", 5, &done));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(GetLastError(), kErrorDiskFull);
    EXPECT_FALSE(f.Write("6", 1));
    f.Close();
    EXPECT_EQ(Get("w.bin"), "aacc123");
    test::Reset();

    ASSERT_TRUE(f.Open(u"\\w.bin", kGenericRead, kShareRead, kOpenExisting));
    test::FailNthRead(1, kErrorReadFault);
    char buf[4];
    EXPECT_FALSE(f.Read(buf, 4));
    EXPECT_EQ(GetLastError(), kErrorReadFault);
    EXPECT_TRUE(f.Read(buf, 4));
    f.Close();

    test::FailPath(u"\\W.BIN", kErrorAccessDenied);
    EXPECT_FALSE(f.Open(u"\\w.bin", kGenericRead, kShareRead, kOpenExisting));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(DeleteFile(u"\\w.bin"));
    test::FailPath(u"\\w.bin", 0);
    EXPECT_TRUE(f.Open(u"\\w.bin", kGenericRead, kShareRead, kOpenExisting));
    f.Close();

    // A failed whole-file write keeps the old content and leaves no temporary file.
    test::SetWriteBudget(2);
    EXPECT_FALSE(WriteWholeFile(u"\\w.bin", "replacement", 11));
    EXPECT_EQ(GetLastError(), kErrorDiskFull);
    test::Reset();
    EXPECT_EQ(Get("w.bin"), "aacc123");
    EXPECT_EQ(HostList(""), std::vector<std::string>{"w.bin"});

    // So does a copy over it that fails halfway; a good one keeps the
    // source's time of last writing.
    Put("src.bin", "replacement");
    test::SetWriteBudget(4);
    EXPECT_FALSE(CopyFile(u"\\src.bin", u"\\w.bin", false));
    EXPECT_EQ(GetLastError(), kErrorDiskFull);
    test::Reset();
    EXPECT_EQ(Get("w.bin"), "aacc123");
    EXPECT_EQ(HostList(""), (std::vector<std::string>{"src.bin", "w.bin"}));
    struct timespec old[2] = {{0, UTIME_OMIT}, {1000000000, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, Host("src.bin").c_str(), old, 0), 0);
    ASSERT_TRUE(CopyFile(u"\\src.bin", u"\\w.bin", false));
    EXPECT_EQ(Get("w.bin"), "replacement");
    struct stat st;
    ASSERT_EQ(stat(Host("w.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

TEST_F(Paths, WholeFileWriteKeepsPermissions) {
    Put("doc.znm", "old");
    chmod(Host("doc.znm").c_str(), 0640);
    ASSERT_TRUE(WriteWholeFile(u"\\DOC.ZNM", "new", 3));
    struct stat st;
    ASSERT_EQ(stat(Host("doc.znm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Get("doc.znm"), "new");
    EXPECT_FALSE(WriteWholeFile(u"\\missing\\doc.znm", "x", 1));
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

// Data opens and whole-file reads take regular files only: a FIFO (whose
// open would wait for a writer), a folder, a device or a socket is refused
// at once with "access denied".
TEST_F(Paths, OnlyRegularFilesAreOpened) {
    Put("plain.txt", "plain");
    ASSERT_EQ(mkfifo(Host("pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(Host("folder").c_str(), 0755), 0);
    AddMount(u"\\dev", "/dev");
    for (const char16_t* name : {u"\\pipe", u"\\folder", u"\\dev\\null", u"\\dev\\zero"}) {
        SCOPED_TRACE(text::ToUtf8(name));
        File f;
        EXPECT_FALSE(f.Open(name, kGenericRead, kShareRead, kOpenExisting));
        EXPECT_EQ(GetLastError(), kErrorAccessDenied);
        EXPECT_FALSE(f.Open(name, kGenericRead | kGenericWrite, kShareRead, kOpenAlways));
        std::string bytes;
        EXPECT_FALSE(ReadWholeFile(name, &bytes));
        EXPECT_EQ(GetLastError(), kErrorAccessDenied);
        EXPECT_FALSE(ReadWholeHostFile(HostPath(name), &bytes));
        EXPECT_FALSE(WriteWholeFile(name, "x", 1));
    }
    // The regular file is unchanged, and opens as before.
    File f;
    ASSERT_TRUE(f.Open(u"\\plain.txt", kGenericRead | kGenericWrite, kShareRead, kOpenExisting));
    ASSERT_TRUE(f.Write("P", 1));
    f.Close();
    EXPECT_EQ(Get("plain.txt"), "Plain");
    struct stat st;
    ASSERT_EQ(lstat(Host("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A whole-file write refuses a read-only file (permission bits or the
// platform's attribute), and writes through a symbolic link that stays
// inside the root: the link stays a link and its target has the content.
TEST_F(Paths, WholeFileWritesRespectReadOnlyFilesAndLinks) {
    Put("data/target.txt", "old");
    Put("ro.txt", "keep");
    chmod(Host("ro.txt").c_str(), 0444);
    Put("attr.txt", "keep");
    test::SetReadOnly(u"\\attr.txt", true);
    ASSERT_TRUE(
        Shell("cd '" + root_ + "' && ln -s data/target.txt link.txt && ln -s ro.txt ro.lnk"));
    struct Row {
        const char16_t* name;
        bool written;
        const char* file;  // the host file that must hold the result
        const char* content;
    } rows[] = {
        {u"\\link.txt", true, "data/target.txt", "new"},
        {u"\\ro.txt", false, "ro.txt", "keep"},
        {u"\\ro.lnk", false, "ro.txt", "keep"},
        {u"\\attr.txt", false, "attr.txt", "keep"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(text::ToUtf8(r.name));
        EXPECT_EQ(WriteWholeFile(r.name, "new", 3), r.written);
        if (!r.written) EXPECT_EQ(GetLastError(), kErrorAccessDenied);
        EXPECT_EQ(Get(r.file), r.content);
    }
    struct stat st;
    ASSERT_EQ(lstat(Host("link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(Host("ro.lnk").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    test::SetReadOnly(u"\\attr.txt", false);
}

TEST_F(Paths, FindFirstNext) {
    Put("d/readme", "12345");
    Put("d/roads.shp", "");
    Put("d/Roads.dbf", "");
    Put("d/sub/x", "");
    Put("d/.git", "");
    Put("d/a:b", "");
    Put("d/bad\\name", "");
    Put(std::string("d/latin\xE9"), "");  // not UTF-8: hidden
    Put("d/dotted.", "");                 // unreachable on the device: hidden
    EXPECT_EQ(Names(u"\\d\\*.*"), ".git,Roads.dbf,readme,roads.shp,sub");
    EXPECT_EQ(Names(u"\\d\\*"), ".git,Roads.dbf,readme,roads.shp,sub");
    EXPECT_EQ(Names(u"\\D\\*.SHP"), "roads.shp");
    EXPECT_EQ(Names(u"\\d\\r*"), "Roads.dbf,readme,roads.shp");
    EXPECT_EQ(Names(u"\\d\\*."), "readme,sub");
    EXPECT_EQ(Names(u"\\d\\READ?E.*"), "readme");
    EXPECT_EQ(Names(u"\\d\\ROADS.SHP"), "roads.shp");
    EXPECT_EQ(Names(u"\\d\\*.prj"), "<2>");
    EXPECT_EQ(Names(u"\\nowhere\\*.*"), "<3>");
    EXPECT_EQ(Names(u"\\d\\"), "<2>");

    FindData d;
    FindHandle* h = FindFirstFile(u"\\d\\readme", &d);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(d.attributes, kAttrNormal);
    EXPECT_EQ(d.fileSize, 5u);
    EXPECT_GT(d.lastWriteTime, FileTimeFromUnix(1600000000, 0));
    EXPECT_LE(d.creationTime, d.lastWriteTime + 10000000);
    EXPECT_FALSE(FindNextFile(h, &d));
    EXPECT_EQ(GetLastError(), kErrorNoMoreFiles);
    FindClose(h);
    h = FindFirstFile(u"\\d\\sub", &d);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(d.attributes, kAttrDirectory);
    FindClose(h);
    h = FindFirstFile(u"d\\.git", &d);  // no leading separator: from the root
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(d.attributes, kAttrHidden);
    FindClose(h);
}

TEST(Wildcards, PlatformRules) {
    struct Case {
        const char16_t* pattern;
        const char16_t* name;
        bool match;
    } cases[] = {
        {u"*.*", u"readme", true},
        {u"*.*", u"a.b.c", true},
        {u"*", u"readme", true},
        {u"*.shp", u"ROADS.SHP", true},
        {u"*.shp", u"roads.shpx", false},
        {u"*.shp", u"shp", false},
        {u"r?ads.*", u"roads", true},
        {u"r?ads", u"rads", false},
        {u"*.", u"readme", true},
        {u"*.", u"a.b", false},
        {u"a*b*c", u"aXbYbZc", true},
        {u"a*b*c", u"aXbYbZ", false},
        {u"*s", u"ROADS", true},
        {u"\u00C9*", u"\u00E9t\u00E9", true},
        {u"?", u"", false},
        {u"x.*", u"x.", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match)
            << text::ToUtf8(c.pattern) << " vs " << text::ToUtf8(c.name);
}

TEST_F(Paths, RenameCopyDeleteAndFolders) {
    Put("a.txt", "A");
    Put("B.TXT", "B");
    EXPECT_FALSE(MoveFile(u"\\a.txt", u"\\b.txt"));
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
    EXPECT_FALSE(MoveFile(u"\\missing", u"\\c.txt"));
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    ASSERT_TRUE(MoveFile(u"\\a.txt", u"\\b.txt", true));  // replaces B.TXT, no twin
    EXPECT_EQ(HostList(""), std::vector<std::string>{"B.TXT"});
    EXPECT_EQ(Get("B.TXT"), "A");
    ASSERT_TRUE(MoveFile(u"\\B.TXT", u"\\b.txt"));  // only the case changes
    EXPECT_EQ(HostList(""), std::vector<std::string>{"b.txt"});

    ASSERT_TRUE(CreateDirectory(u"\\Folder"));
    EXPECT_FALSE(CreateDirectory(u"\\FOLDER"));
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
    ASSERT_TRUE(CopyFile(u"\\b.txt", u"\\folder\\c.txt", true));
    EXPECT_FALSE(CopyFile(u"\\b.txt", u"\\folder\\C.TXT", true));
    EXPECT_EQ(GetLastError(), kErrorFileExists);
    EXPECT_EQ(Get("Folder/c.txt"), "A");
    EXPECT_FALSE(RemoveDirectory(u"\\folder"));
    EXPECT_EQ(GetLastError(), kErrorDirNotEmpty);
    EXPECT_FALSE(DeleteFile(u"\\folder"));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    ASSERT_TRUE(DeleteFile(u"\\FOLDER\\C.txt"));
    EXPECT_FALSE(DeleteFile(u"\\folder\\c.txt"));
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_FALSE(RemoveDirectory(u"\\b.txt"));
    EXPECT_EQ(GetLastError(), kErrorDirectory);
    ASSERT_TRUE(RemoveDirectory(u"\\folder"));
    EXPECT_FALSE(Exists(u"\\folder"));
}

// The renames of a set go together. Committed, each stays and the files set
// aside go; a failure at any one of them, a rollback, or the set going away
// uncommitted puts every file back byte for byte under its own name, and the
// failing rename's error survives the undo.
TEST_F(Paths, RenameSetIsAllOrNothing) {
    using Files = std::map<std::string, std::string>;
    auto snapshot = [&] {
        Files files;
        for (const std::string& name : HostList("")) files[name] = Get(name);
        return files;
    };
    const auto fresh = [&] {
        for (const std::string& name : HostList("")) std::filesystem::remove(Host(name));
        Put("NEW.A", "new a");
        Put("Old.A", "old a");
        Put("new.b", "new b");
        Put("c", "c");
        Put("d", "d");
        return snapshot();
    };
    // Five renames: Old.A aside, NEW.A over it, new.b to a free name, c
    // aside under a chosen name, d moved.
    auto run = [](RenameSet& set) {
        return set.Replace(u"\\new.a", u"\\old.a") && set.Replace(u"\\new.b", u"\\b") &&
               set.SetAside(u"\\c", u"\\c.bak") && set.Move(u"\\d", u"\\e");
    };
    // A fault at the source of each rename in turn.
    for (const char16_t* broken : {u"\\Old.A", u"\\NEW.A", u"\\new.b", u"\\c", u"\\d"}) {
        SCOPED_TRACE(text::ToUtf8(broken));
        const auto before = fresh();
        test::FailPath(broken, kErrorWriteProtect);
        RenameSet set;
        EXPECT_FALSE(run(set));
        EXPECT_EQ(GetLastError(), kErrorWriteProtect);
        test::Reset();
        EXPECT_EQ(snapshot(), before);
    }
    for (const bool explicitly : {true, false}) {
        const auto before = fresh();
        {
            RenameSet set;
            ASSERT_TRUE(run(set));
            EXPECT_EQ(Get("Old.A"), "new a");
            EXPECT_EQ(Get("Old.A~old"), "old a");
            test::FailPath(u"\\e", kErrorWriteProtect);  // the undo goes on past it
            if (explicitly) {
                SetLastError(kErrorDiskFull);
                EXPECT_FALSE(set.Rollback());
                EXPECT_EQ(GetLastError(), kErrorDiskFull);
            }
        }
        test::Reset();
        auto expected = before;
        expected.erase("d");
        expected["e"] = "d";
        EXPECT_EQ(snapshot(), expected);
    }
    fresh();
    {
        RenameSet set;
        ASSERT_TRUE(run(set));
        EXPECT_TRUE(set.Commit());
    }
    EXPECT_EQ(snapshot(), (Files{{"Old.A", "new a"}, {"b", "new b"}, {"e", "d"}}));
    // ReplaceFiles is one such set: all the moves or none.
    fresh();
    const auto before = snapshot();
    test::FailPath(u"\\b", kErrorAccessDenied);
    EXPECT_FALSE(ReplaceFiles({{u"\\NEW.A", u"\\old.a"}, {u"\\new.b", u"\\b"}}));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    test::Reset();
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(ReplaceFiles({{u"\\NEW.A", u"\\old.a"}, {u"\\new.b", u"\\b"}}));
    EXPECT_EQ(snapshot(), (Files{{"Old.A", "new a"}, {"b", "new b"}, {"c", "c"}, {"d", "d"}}));
}

TEST_F(Paths, MemoryMapping) {
    Put("m.bin", "abcdefgh");
    File f;
    FileMapping map;
    ASSERT_TRUE(f.Open(u"\\m.bin", kGenericRead, kShareRead, kOpenExisting));
    ASSERT_TRUE(map.Map(f, false));
    EXPECT_EQ(map.Size(), 8u);
    EXPECT_EQ(std::memcmp(map.Data(), "abcdefgh", 8), 0);
    EXPECT_FALSE(map.IsWritable());
    FileMapping other;
    EXPECT_FALSE(other.Map(f, true));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    map.Unmap();
    f.Close();

    ASSERT_TRUE(f.Open(u"\\m.bin", kGenericRead | kGenericWrite, kShareNone, kOpenExisting));
    ASSERT_TRUE(map.Map(f, true, 16));  // grows the file
    static_cast<char*>(map.Data())[0] = 'A';
    static_cast<char*>(map.Data())[15] = 'Z';
    ASSERT_TRUE(map.Flush());
    map.Unmap();
    f.Close();
    EXPECT_EQ(Get("m.bin"), std::string("Abcdefgh\0\0\0\0\0\0\0Z", 16));

    ASSERT_TRUE(f.Open(u"\\empty.bin", kGenericRead | kGenericWrite, kShareNone, kCreateNew));
    EXPECT_FALSE(map.Map(f, false));
    EXPECT_EQ(GetLastError(), kErrorFileInvalid);
    f.Close();

    // Windows of a larger file at offsets that are not page-aligned.
    std::string big(3 * 4096 + 100, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    Put("big.bin", big);
    ASSERT_TRUE(f.Open(u"\\big.bin", kGenericRead | kGenericWrite, kShareNone, kOpenExisting));
    for (uint64_t offset : {0ull, 1ull, 4095ull, 4096ull, 8000ull}) {
        ASSERT_TRUE(map.MapView(f, false, offset, 100)) << offset;
        EXPECT_EQ(std::memcmp(map.Data(), big.data() + offset, 100), 0) << offset;
        EXPECT_EQ(map.Size(), 100u);
    }
    ASSERT_TRUE(map.MapView(f, true, 5000, 2));
    static_cast<char*>(map.Data())[1] = 'W';
    ASSERT_TRUE(map.Flush());
    map.Unmap();
    f.Close();
    EXPECT_EQ(Get("big.bin")[5001], 'W');
    ASSERT_TRUE(f.Open(u"\\big.bin", kGenericRead, kShareRead, kOpenExisting));
    EXPECT_FALSE(map.MapView(f, false, big.size() - 10, 11));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(map.MapView(f, false, 0, 0));
    EXPECT_TRUE(map.MapView(f, false, big.size() - 10, 10));
}

// Writes into a mapped first page reach the file at once, count for the
// injected faults like any write, and stop at the bytes the file holds, also
// after it was cut below them (a store past the end would kill the process).
TEST_F(Paths, HeadPageWrites) {
    Put("h.bin", "0123456789");
    File f;
    ASSERT_TRUE(f.Open(u"\\h.bin", kGenericRead | kGenericWrite, kShareRead | kShareWrite,
                       kOpenExisting));
    EXPECT_FALSE(f.MapHead());  // another writer could cut the file under the page
    ASSERT_TRUE(f.Open(u"\\h.bin", kGenericRead | kGenericWrite, kShareRead, kOpenExisting));
    ASSERT_TRUE(f.MapHead());
    ASSERT_TRUE(f.WriteAt(2, "abcdefgh", 8));
    EXPECT_EQ(Get("h.bin"), "01abcdefgh");
    ASSERT_TRUE(f.WriteAt(8, "XYZ", 3));  // past the held bytes: grows the file
    EXPECT_EQ(Get("h.bin"), "01abcdefXYZ");

    test::FailNthWrite(1);
    EXPECT_FALSE(f.WriteAt(0, "q", 1));
    EXPECT_EQ(GetLastError(), kErrorDiskFull);
    test::SetWriteBudget(1);
    size_t done = 0;
    EXPECT_FALSE(f.WriteAt(0, "zz", 2, &done));
    EXPECT_EQ(done, 1u);
    test::Reset();
    EXPECT_EQ(Get("h.bin"), "z1abcdefXYZ");

    ASSERT_TRUE(f.Seek(0, kSeekBegin));
    ASSERT_TRUE(f.SetEnd());
    ASSERT_TRUE(f.WriteAt(0, "new", 3));
    f.Close();
    EXPECT_EQ(Get("h.bin"), "new");
}

TEST_F(Paths, FreeSpaceIs64Bit) {
    Put("d/x", "");
    uint64_t avail = 0, total = 0, free = 0;
    ASSERT_TRUE(GetDiskFreeSpace(u"\\d\\", &avail, &total, &free));
    struct statvfs vfs;
    ASSERT_EQ(statvfs(root_.c_str(), &vfs), 0);
    EXPECT_EQ(total, static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize);
    EXPECT_LE(avail, free);
    EXPECT_TRUE(GetDiskFreeSpace(u"\\d\\not-yet.txt", &avail, nullptr, nullptr));
    EXPECT_FALSE(GetDiskFreeSpace(u"\\nowhere\\x", &avail, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST_F(Paths, LastErrorIsPerThread) {
    SetLastError(77);
    std::thread([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(5);
    }).join();
    EXPECT_EQ(GetLastError(), 77u);
}
