// Profile values, shell file types and the command line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cmath>
#include <vector>

#include "platform/sys/registry.h"
#include "shell/app/command_line.h"
#include "shell/app/win_app_ext.h"
#include "tests/shell/shell_doubles.h"
#include "tests/platform/locale_guard.h"

namespace {

void CheckProfileDoubles() {
    struct Row {
        const WChar* text;
        bool ok;
        double value;
    } rows[] = {
        {u"12.5 ", true, 12.5}, {u"\t 12.5\t", true, 12.5}, {u"12.5x", false, 0}, {u"", false, 0},
        {u"0", true, 0},        {u"  0.0", true, 0},        {u"-0", true, 0},     {u"+0", true, 0},
        {u".0", false, 0},      {u"-12.25", true, -12.25},  {u"1e3", true, 1000}, {u"12,5", false, 0},
        {u"abc", false, 0},     {u"nan", false, 0},         {u"0x10", false, 0},
    };
    for (const Row& row : rows) {
        double value = -1;
        EXPECT_EQ(ParseProfileDouble(row.text, value), row.ok) << Narrow(row.text);
        if (row.ok) EXPECT_EQ(value, row.value) << Narrow(row.text);
    }
    double value = 5;
    EXPECT_FALSE(ParseProfileDouble(nullptr, value));
}

TEST(Profile, DoublesAndHex) {
    CheckProfileDoubles();
    EXPECT_EQ(ParseProfileHex(u"1Fz"), 31u);
    EXPECT_EQ(ParseProfileHex(u"z1"), 0u);
    EXPECT_EQ(ParseProfileHex(u"00FF8040"), 0xFF8040u);
}

TEST(Profile, DoublesUnderACommaDecimalLocale) {
    LocaleGuard locale;
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"})
        if ((chosen = std::setlocale(LC_ALL, name))) break;
    ASSERT_NE(chosen, nullptr) << "tools/setup installs de_DE.UTF-8";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    CheckProfileDoubles();
}

class App : public ShellTest {};

TEST_F(App, ProfileValuesThroughTheStore) {
    sys::SetProfileKey(CWinAppExt::kProfileCompany, u"Zarnip");
    EXPECT_EQ(Narrow(sys::GetProfileKey()), "Software\\QOVA\\Zarnip");
    ASSERT_TRUE(CWinAppExt::WriteProfileDouble(u"Location", u"Longitude", -0.0));
    EXPECT_EQ(Narrow(sys::GetProfileString(u"Location", u"Longitude")), "-0");
    double back = CWinAppExt::GetProfileDouble(u"Location", u"Longitude", 7);
    EXPECT_EQ(back, 0.0);
    EXPECT_TRUE(std::signbit(back));
    EXPECT_EQ(CWinAppExt::GetProfileDouble(u"Location", u"Missing", 2.5), 2.5);
    sys::WriteProfileString(u"Location", u"Bad", u"12.5x");
    EXPECT_EQ(CWinAppExt::GetProfileDouble(u"Location", u"Bad", 3), 3.0);
    ASSERT_TRUE(CWinAppExt::WriteProfileColor(u"Colors", u"Back", 0x0000FF));
    EXPECT_EQ(Narrow(sys::GetProfileString(u"Colors", u"Back")), "0000FF");
    EXPECT_EQ(CWinAppExt::GetProfileColor(u"Colors", u"Back", 1), 0x0000FFu);
    ASSERT_TRUE(CWinAppExt::WriteProfileHex(u"Colors", u"Mask", 0xABC));
    EXPECT_EQ(Narrow(sys::GetProfileString(u"Colors", u"Mask")), "ABC");
    EXPECT_EQ(CWinAppExt::GetProfileHex(u"Colors", u"Mask", 0), 0xABCu);
    EXPECT_EQ(CWinAppExt::GetProfileHex(u"Colors", u"None", 0x12), 0x12u);
}

TEST_F(App, ShellFileTypesStayInTheRegistryStore) {
    sys::SetRegistryFile(Host("registry.txt"));
    CWinAppExt app;
    for (const WChar* ext : {u".znm", u".shp", u".mvd"}) EXPECT_TRUE(app.RegisterShellFileType(ext, u"Zarnip File"));
    sys::SetRegistryFile(Host("registry.txt"));  // read back from the file
    sys::RegValue v;
    ASSERT_TRUE(sys::RegQueryValue(sys::Hive::ClassesRoot, u".shp", u"", &v));
    EXPECT_EQ(Narrow(v.text), "Zarnip");
    ASSERT_TRUE(sys::RegQueryValue(sys::Hive::ClassesRoot, u"Zarnip", u"", &v));
    EXPECT_EQ(Narrow(v.text), "Zarnip File");
    ASSERT_TRUE(sys::RegQueryValue(sys::Hive::ClassesRoot, u"Zarnip\\Shell\\Open\\Command", u"", &v));
    EXPECT_EQ(Narrow(v.text), "\"\\Program\\zarnip\" \"%1\"");
    ASSERT_TRUE(sys::RegQueryValue(sys::Hive::ClassesRoot, u"Zarnip\\DefaultIcon", u"", &v));
    EXPECT_EQ(Narrow(v.text), "\\Program\\zarnip,0");
    EXPECT_NE(Get("registry.txt").find("[HKEY_CLASSES_ROOT\\Zarnip\\Shell\\Open\\Command]"), std::string::npos);
    EXPECT_EQ(HostList(""), (std::vector<std::string>{"Docs", "Program", "registry.txt"}));
}

TEST_F(App, CommandLines) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(Host("Docs").c_str()), 0);
    struct Row {
        std::vector<const char*> words;
        const char* file;  // empty: nothing to open
        bool splash;
    } rows[] = {
        {{"a", "b", "c"}, "\\Docs\\a b c", true},
        {{"--no-splash", "my", "map.znm"}, "\\Docs\\my map.znm", false},
        {{"--no-splash"}, "", false},
        {{"--", "-odd.znm"}, "\\Docs\\-odd.znm", true},
        {{"-x", "m.znm"}, "\\Docs\\m.znm", true},
        {{"../Program/z.znm"}, "\\Program\\z.znm", true},
        {{}, "", true},
    };
    for (const Row& row : rows) {
        std::vector<const char*> argv{"zarnip"};
        argv.insert(argv.end(), row.words.begin(), row.words.end());
        CCommandLineInfoExt info;
        info.Parse(static_cast<int>(argv.size()), argv.data());
        SCOPED_TRACE(row.file);
        EXPECT_EQ(Narrow(info.m_fileName), row.file);
        EXPECT_EQ(info.m_shellCommand, *row.file ? CCommandLineInfoExt::FileOpen : CCommandLineInfoExt::FileNew);
        EXPECT_EQ(info.m_showSplash, row.splash);
    }
    CCommandLineInfoExt flagged;
    const char* argv[] = {"zarnip", "-x", "m.znm"};
    flagged.Parse(3, argv);
    EXPECT_EQ(flagged.m_warnings, "ignoring the unknown option -x\n");
    CCommandLineInfoExt outside;
    const char* far[] = {"zarnip", "/nonexistent-root-elsewhere/m.znm"};
    outside.Parse(2, far);
    EXPECT_EQ(outside.m_shellCommand, CCommandLineInfoExt::FileNew);
    EXPECT_NE(outside.m_warnings.find("outside the device folders"), std::string::npos);
    ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
