#include "core/path.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "core/file_find.h"
#include "platform/fs/special_folders.h"
#include "tests/platform/fs_test_root.h"

TEST(CPathText, Decomposition) {
    struct Row {
        const char16_t* path;
        const char16_t *dir, *dirSlash, *name, *title, *ext, *extNoDot, *noExt;
        bool drive;
    } rows[] = {
        {u"\\Storage Card\\maps\\roads.shp", u"\\Storage Card\\maps", u"\\Storage Card\\maps\\",
         u"roads.shp", u"roads", u".shp", u"shp", u"\\Storage Card\\maps\\roads", false},
        {u"\\roads.shp", u"", u"", u"roads.shp", u"roads", u".shp", u"shp", u"roads", false},
        {u"A:roads.shp", u"A:", u"A:\\", u"roads.shp", u"roads", u".shp", u"shp", u"A:\\roads",
         true},
        {u"C:\\data\\x.tar.gz", u"C:\\data", u"C:\\data\\", u"x.tar.gz", u"x.tar", u".gz", u"gz",
         u"C:\\data\\x.tar", true},
        {u"\\a.b\\readme", u"\\a.b", u"\\a.b\\", u"readme", u"readme", u"", u"", u"\\a.b\\readme",
         false},
        {u"roads", u"", u"", u"roads", u"roads", u"", u"", u"roads", false},
        {u"\\m\\.hidden", u"\\m", u"\\m\\", u".hidden", u"", u".hidden", u"hidden", u"\\m\\",
         false},
        {u"\\m\\x.", u"\\m", u"\\m\\", u"x.", u"x", u".", u"", u"\\m\\x", false},
        {u"\\m\\", u"\\m", u"\\m\\", u"", u"", u"", u"", u"\\m\\", false},
        {u"/host/style.txt", u"", u"", u"/host/style.txt", u"/host/style", u".txt", u"txt",
         u"/host/style", false},
        {u"", u"", u"", u"", u"", u"", u"", u"", false},
        {u"C:", u"C:", u"C:\\", u"", u"", u"", u"", u"C:\\", false},
    };
    for (const auto& r : rows) {
        CPath p(r.path);
        std::string what = text::ToUtf8(r.path);
        EXPECT_EQ(p.GetDirectory(), r.dir) << what;
        EXPECT_EQ(p.GetDirectoryWithSlash(), r.dirSlash) << what;
        EXPECT_EQ(p.GetFileName(), r.name) << what;
        EXPECT_EQ(p.GetTitle(), r.title) << what;
        EXPECT_EQ(p.GetExtension(true), r.ext) << what;
        EXPECT_EQ(p.GetExtension(false), r.extNoDot) << what;
        EXPECT_EQ(p.GetPathWithoutExtension(), r.noExt) << what;
        EXPECT_EQ(p.HasDrive(), r.drive) << what;
    }
    EXPECT_TRUE(CPath(static_cast<const WChar*>(nullptr)).IsEmpty());
    WChar buf[16];
    EXPECT_EQ(GetFileTitleOf(u"\\m\\roads.shp", buf, 16), 0);
    EXPECT_EQ(WString(buf), u"roads.shp");
    EXPECT_EQ(GetFileTitleOf(u"\\m\\roads.shp", buf, 9), 10);
}

TEST(CPathText, Setters) {
    enum Op { Dir, Name, Title, Ext };
    struct Row {
        const char16_t* path;
        Op op;
        const char16_t* arg;
        const char16_t* result;
    } rows[] = {
        {u"\\m\\roads.shp", Ext, u"prj", u"\\m\\roads.prj"},
        {u"\\m\\roads.shp", Ext, u"", u"\\m\\roads"},
        {u"\\m\\roads", Ext, u"dbf", u"\\m\\roads.dbf"},
        {u"\\a.b\\readme", Ext, u"txt", u"\\a.b\\readme.txt"},
        {u"\\m\\readme", Title, u"x", u"\\m\\x"},
        {u"\\m\\roads.shp", Title, u"rivers", u"\\m\\rivers.shp"},
        {u"roads.shp", Title, u"x", u"x.shp"},
        {u"\\m\\roads.shp", Dir, u"\\data", u"\\data\\roads.shp"},
        {u"\\m\\roads.shp", Dir, u"\\data\\", u"\\data\\\\roads.shp"},
        {u"\\m\\roads.shp", Dir, u"", u"\\roads.shp"},
        {u"A:roads.shp", Dir, u"\\x", u"\\x\\roads.shp"},
        {u"\\m\\roads.shp", Name, u"a.b", u"\\m\\a.b"},
        {u"roads.shp", Name, u"a.b", u"a.b"},
        {u"A:roads.shp", Name, u"a.b", u"A:\\a.b"},
    };
    for (const auto& r : rows) {
        CPath p(r.path);
        switch (r.op) {
            case Dir:
                p.SetDirectory(r.arg);
                break;
            case Name:
                p.SetFileName(r.arg);
                break;
            case Title:
                p.SetTitle(r.arg);
                break;
            case Ext:
                p.SetExtension(r.arg);
                break;
        }
        EXPECT_EQ(p.GetPath(), r.result) << text::ToUtf8(r.path) << " op " << r.op;
    }
}

using PathFiles = DeviceRootTest;

TEST_F(PathFiles, FindFileProtocol) {
    Put("dir/readme", "12345");
    Put("dir/ROADS.SHP", "");
    Put("dir/sub/x", "");
    CFileFindCE find;
    ASSERT_TRUE(find.FindFile(u"\\dir\\*.*"));
    EXPECT_EQ(find.GetRoot(), u"\\dir");
    EXPECT_EQ(find.GetFileName(), u"");  // nothing current before the first FindNextFile
    EXPECT_FALSE(find.MatchesMask(0xFFFFFFFF));
    std::vector<std::string> seen;
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        seen.push_back(text::ToUtf8(find.GetFilePath()) + (find.IsDirectory() ? "/" : ""));
        EXPECT_FALSE(find.IsDots());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"\\dir\\ROADS.SHP", "\\dir\\readme", "\\dir\\sub/"}));
    EXPECT_TRUE(find.MatchesMask(fs::kAttrDirectory));  // the last entry is still current
    EXPECT_EQ(find.GetFileURL(), u"file://\\dir\\sub");
    EXPECT_FALSE(find.FindNextFile());

    ASSERT_TRUE(find.FindFile(u"\\DIR\\readme"));
    EXPECT_FALSE(find.FindNextFile());
    EXPECT_EQ(find.GetLength(), 5u);
    EXPECT_TRUE(find.MatchesMask(fs::kAttrNormal));
    EXPECT_FALSE(find.MatchesMask(fs::kAttrDirectory | fs::kAttrHidden));
    time_t written = 0;
    ASSERT_TRUE(find.GetLastWriteTime(written));
    EXPECT_LE(std::abs(written - time(nullptr)), 120);

    ASSERT_TRUE(find.FindFile(u"\\dir\\*.shp"));
    find.FindNextFile();
    EXPECT_EQ(find.GetFileName(), u"ROADS.SHP");

    // No separator: from the root, and the path says so.
    Put("top.txt", "");
    ASSERT_TRUE(find.FindFile(u"*.txt"));
    find.FindNextFile();
    EXPECT_EQ(find.GetRoot(), u"");
    EXPECT_EQ(find.GetFilePath(), u"\\top.txt");

    EXPECT_FALSE(find.FindFile(u"\\dir\\*.prj"));
    EXPECT_EQ(fs::GetLastError(), fs::kErrorFileNotFound);
    EXPECT_FALSE(find.FindFile(u"\\none\\*.*"));
    EXPECT_EQ(fs::GetLastError(), fs::kErrorPathNotFound);
    EXPECT_FALSE(find.FindNextFile());
}

TEST_F(PathFiles, QueriesOnTheFile) {
    Put("m/ROADS.SHP", std::string(300, 'x'));
    CPath p(u"\\m\\roads.shp");
    EXPECT_TRUE(p.Exists());
    EXPECT_TRUE(FileExists(u"\\M"));
    EXPECT_TRUE(p.CorrectCase());
    EXPECT_EQ(p.GetPath(), u"\\m\\ROADS.SHP");
    EXPECT_EQ(p.GetFileSizeLow(), 300u);
    uint32_t lo = 0, hi = 9;
    EXPECT_TRUE(p.GetFileSize(&lo, &hi));
    EXPECT_EQ(lo, 300u);
    EXPECT_EQ(hi, 0u);
    CPath missing(u"\\m\\none.shp");
    EXPECT_FALSE(missing.CorrectCase());
    EXPECT_EQ(missing.GetPath(), u"\\m\\none.shp");
    EXPECT_EQ(missing.GetFileSizeLow(), 0u);

    uint64_t free = 0;
    ASSERT_TRUE(p.GetDiskFreeSpace(&free));
    struct statvfs vfs;
    ASSERT_EQ(statvfs(root_.c_str(), &vfs), 0);
    uint64_t expect = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    EXPECT_NEAR(static_cast<double>(free), static_cast<double>(expect), 64.0 * 1024 * 1024);
    EXPECT_EQ(p.GetFreeBytes(), free > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(free));

    CPath made(u"\\m\\made.txt");
    EXPECT_TRUE(made.CreateWithText("caf\xE9"));
    EXPECT_EQ(Get("m/made.txt"), "caf\xE9");
    EXPECT_FALSE(made.CreateWithText(nullptr));  // exists already
    EXPECT_EQ(fs::GetLastError(), fs::kErrorFileExists);
    CPath full(u"\\m\\full.txt");
    fs::test::SetWriteBudget(2);
    EXPECT_FALSE(full.CreateWithText("more than two"));
    EXPECT_EQ(fs::GetLastError(), fs::kErrorDiskFull);
    EXPECT_FALSE(full.Exists());
    fs::test::Reset();
    EXPECT_TRUE(made.DeleteFile());
    EXPECT_FALSE(made.Exists());

    fs::test::SetProgramFileName(u"\\Program Files\\Zarnip\\Zarnip.exe");
    CPath module(static_cast<HMODULE>(nullptr));
    EXPECT_EQ(module.GetDirectory(), u"\\Program Files\\Zarnip");
    fs::test::SetProgramFileName(u"");
}

TEST_F(PathFiles, FindNearby) {
    Put("P/sub/roads.shp", "");
    Put("G/lib/world.shp", "");
    CPath p(u"\\P\\D\\roads.shp");
    EXPECT_TRUE(p.FindNearby(u"sub"));
    EXPECT_EQ(p.GetPath(), u"\\P\\sub\\roads.shp");

    CPath g(u"\\G\\P\\D\\world.shp");
    EXPECT_TRUE(g.FindNearby(u"lib"));
    EXPECT_EQ(g.GetPath(), u"\\G\\lib\\world.shp");

    CPath none(u"\\P\\D\\nothing.shp");
    EXPECT_FALSE(none.FindNearby(u"sub"));
    EXPECT_EQ(none.GetPath(), u"\\P\\D\\nothing.shp");

    Put("x/here.shp", "");
    CPath here(u"\\x\\here.shp");
    EXPECT_TRUE(here.FindNearby(nullptr));
    EXPECT_EQ(here.GetPath(), u"\\x\\here.shp");
    CPath up(u"\\x\\y\\here.shp");
    EXPECT_TRUE(up.FindNearby(nullptr));
    EXPECT_EQ(up.GetPath(), u"\\x\\here.shp");
}
