#include "core/ini_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

#include "tests/platform/fs_test_root.h"
#include "tests/support/run_command.h"

using IniFile = DeviceRootTest;

namespace {

// Runs a command and returns what it printed.
std::string Capture(const std::string& cmd) {
    return testsupport::RunCommand(cmd);
}

}  // namespace

TEST_F(IniFile, LoadsTheFixture) {
    Put("roads.sbi",
        "Orphan=before any section\r\n"
        "; a comment line\r\n"
        "\r\n"
        "[General]\r\n"
        "  name = Roads  \r\n"
        "Visible=T\r\n"
        "NAME=Streets\r\n"
        "no equals sign here\r\n"
        "x\r\n"
        "[A]\r\n"
        "Visible=F\r\n"
        "Key = a = b\r\n"
        "[ ]\r\n"
        "Lost=1\r\n"
        "[ display ]\n"
        "Color=00FF80\n" +
            std::string("Long=") + std::string(3000, 'v') + "\n" + "Tail=1");
    CIniFile ini;
    EXPECT_TRUE(ini.Load(u"\\ROADS.SBI"));
    EXPECT_EQ(ini.GetSections().size(), 3u);
    EXPECT_EQ(ini.GetString(u"general", u"name"), u"Streets");  // the later line wins
    EXPECT_TRUE(ini.GetBool(u"general", u"visible", false));
    EXPECT_FALSE(ini.GetBool(u"A", u"Visible", true));  // a one-letter section is a section
    EXPECT_EQ(ini.GetString(u"a", u"KEY"), u"a = b");
    EXPECT_EQ(ini.GetString(u"general", u"orphan", u"none"), u"none");
    EXPECT_EQ(ini.GetString(u"General", u"no equals sign here", u"none"), u"none");
    EXPECT_EQ(ini.GetInt(u"General", u"Lost", 7), 7);
    EXPECT_EQ(ini.GetHex(u"DISPLAY", u"color", 0), 65408);
    EXPECT_EQ(ini.GetString(u"Display", u"Long").size(), 3000u);  // whole lines, never split
    EXPECT_EQ(ini.GetInt(u"Display", u"Tail", 0), 1);

    WString value = u"start";
    EXPECT_FALSE(ini.Lookup(value, u"Missing", u"x"));
    EXPECT_EQ(value, u"start");
    EXPECT_TRUE(ini.Lookup(value, u"General", u"missing", u"def"));
    EXPECT_EQ(value, u"def");

    CIniFile none;
    none.SetString(u"s", u"k", u"v");
    EXPECT_TRUE(none.Load(u"\\no-such-file.ini"));
    EXPECT_TRUE(none.GetSections().empty());
}

TEST_F(IniFile, TypedValues) {
    CIniFile ini;
    struct {
        const char16_t* text;
        bool value;
    } bools[] = {{u"T", true},      {u"y", true},   {u"1", true}, {u"0", false},
                 {u"false", false}, {u"Yes", true}, {u"", false}};
    for (const auto& b : bools) {
        ini.SetString(u"S", u"b", b.text);
        EXPECT_EQ(ini.GetBool(u"S", u"b", !b.value), b.value) << text::ToUtf8(b.text);
    }
    EXPECT_TRUE(ini.GetBool(u"S", u"absent", true));
    EXPECT_FALSE(ini.GetBool(u"S", u"absent", false));

    struct {
        const char16_t* text;
        int value;
    } hexes[] = {{u"00FF80", 65408}, {u"12G4", 18}, {u"ff", 255}, {u"G", 0}, {u"0x12", 0}};
    for (const auto& h : hexes) {
        ini.SetString(u"S", u"h", h.text);
        EXPECT_EQ(ini.GetHex(u"S", u"h", -1), h.value) << text::ToUtf8(h.text);
    }
    EXPECT_EQ(ini.GetHex(u"S", u"absent", 0xABC), 0xABC);
    ini.SetHex(u"S", u"h", 0x1A2B);
    EXPECT_EQ(ini.GetString(u"S", u"h"), u"001A2B");

    BYTE bytes[8] = {};
    ini.SetString(u"S", u"bin", u"0A0b1");
    EXPECT_EQ(ini.GetBinary(bytes, 8, u"S", u"bin"), 2);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[1], 11);
    ini.SetString(u"S", u"bin", u"01020304");
    EXPECT_EQ(ini.GetBinary(bytes, 3, u"S", u"bin"), 3);
    EXPECT_EQ(HexPairToByte(u"7G"), 0x70);
    EXPECT_EQ(HexPairToByte(u"G7"), 0);

    POINT p{5, 5};
    ini.SetString(u"S", u"pair", u"10 20");
    EXPECT_TRUE(ini.GetIntPair(p, u"S", u"pair"));
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    ini.SetString(u"S", u"pair", u"10");
    EXPECT_FALSE(ini.GetIntPair(p, u"S", u"pair"));
    ini.SetString(u"S", u"pair", u"");
    EXPECT_FALSE(ini.GetIntPair(p, u"S", u"pair"));
    EXPECT_TRUE(ini.GetIntPair(p, u"S", u"absent"));
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    short a = 0, b = 0;
    ini.SetString(u"S", u"pair", u"70000 -2");
    EXPECT_TRUE(ini.GetShortPair(a, b, u"S", u"pair"));
    EXPECT_EQ(a, static_cast<short>(70000));
    EXPECT_EQ(b, -2);

    ini.SetInt(u"S", u"i", -42);
    ini.SetUInt(u"S", u"u", 4000000000u);
    EXPECT_EQ(ini.GetString(u"S", u"u"), u"4000000000");
    EXPECT_EQ(ini.GetInt(u"S", u"i", 0), -42);
    EXPECT_EQ(ini.GetInt(u"S", u"absent", 17), 17);
    for (double d : {0.1, -1.0 / 3.0, 6378137.0, 1e-300, std::numeric_limits<double>::max()}) {
        ini.SetDouble(u"S", u"d", d);
        EXPECT_EQ(ini.GetDouble(u"S", u"d", 0), d);
    }
    EXPECT_EQ(ini.GetDouble(u"S", u"absent", 2.5), 2.5);
    ini.SetBool(u"S", u"bool", true);
    EXPECT_EQ(ini.GetString(u"S", u"bool"), u"1");
}

TEST_F(IniFile, SaveAndLoadRoundTrip) {
    CIniFile ini;
    ini.SetString(u"General", u"Name", u"Stra\u00DFen \u20AC");
    ini.SetString(u"general", u"Gone", u"x");
    ini.SetString(u"General", u"gone", nullptr);
    ini.SetString(u"Empty", u"Only", u"1");
    ini.SetString(u"Empty", u"only", nullptr);  // a section without keys is not written
    ini.SetString(u"B", u"Multi", u"line one\r\nline two");
    ASSERT_TRUE(ini.Save(u"\\meta.sbi"));
    EXPECT_EQ(Get("meta.sbi"),
              "[B]\r\nMULTI=line one  line two\r\n\r\n"
              "[GENERAL]\r\nNAME=Stra\xDF"
              "en \x80\r\n\r\n");

    CIniFile back;
    back.Load(u"\\meta.sbi");
    EXPECT_EQ(back.GetEncoding(), CIniFile::ansi);
    EXPECT_EQ(back.GetString(u"general", u"name"), u"Stra\u00DFen \u20AC");
    EXPECT_EQ(back.GetSections().count(u"EMPTY"), 0u);
    EXPECT_EQ(back.GetString(u"b", u"multi"), u"line one  line two");

    // Text the ANSI code page cannot hold is kept, as UTF-8 with a mark.
    back.SetString(u"General", u"Name", u"\u5730\u56FE");
    ASSERT_TRUE(back.Save(u"\\meta.sbi"));
    EXPECT_EQ(Get("meta.sbi").substr(0, 3), "\xEF\xBB\xBF");
    CIniFile wide;
    wide.Load(u"\\meta.sbi");
    EXPECT_EQ(wide.GetString(u"General", u"Name"), u"\u5730\u56FE");

    // ANSI bytes that happen to form UTF-8 (found by fuzzing, 2026-12-10:
    // "\xDE\x9F" came back as U+079F) are saved marked, so they read back unchanged.
    back.SetString(u"General", u"Name", u"\u00DE\u0178");
    ASSERT_TRUE(back.Save(u"\\meta2.sbi"));
    CIniFile again;
    again.Load(u"\\meta2.sbi");
    EXPECT_EQ(again.GetString(u"General", u"Name"), u"\u00DE\u0178");

    // A UTF-8 file without a mark stays UTF-8.
    Put("utf8.ini", "[S]\nK=caf\xC3\xA9\n");
    CIniFile u;
    u.Load(u"\\utf8.ini");
    EXPECT_EQ(u.GetEncoding(), CIniFile::utf8);
    EXPECT_EQ(u.GetString(u"S", u"K"), u"caf\u00E9");
    ASSERT_TRUE(u.Save(u"\\utf8.ini"));
    EXPECT_EQ(Get("utf8.ini"), "[S]\r\nK=caf\xC3\xA9\r\n\r\n");

    // An independent reader agrees.
    std::string py = Capture(
        "python3 -c \"import configparser,sys; c=configparser.ConfigParser(); "
        "c.read(sys.argv[1], encoding='utf-8-sig'); print(c['GENERAL']['name'])\" '" +
        Host("meta.sbi") + "' 2>/dev/null");
    EXPECT_EQ(py, "\xE5\x9C\xB0\xE5\x9B\xBE\n");
}

// A file that exists but cannot be read is reported, and a later save never
// replaces it with the few keys the program set meanwhile.
TEST_F(IniFile, UnreadableFileIsReportedAndNeverReplaced) {
    const std::string old = "[S]\r\nA=1\r\nB=2\r\n";
    struct {
        const char* what;
        std::function<void()> fault;
    } cases[] = {
        {"open", [] { fs::test::FailPath(u"\\keep.ini", fs::kErrorSharingViolation); }},
        {"read", [] { fs::test::FailNthRead(1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put("keep.ini", old);
        CIniFile ini;
        c.fault();
        EXPECT_FALSE(ini.Load(u"\\keep.ini"));
        fs::test::Reset();
        ini.SetString(u"S", u"C", u"3");
        EXPECT_FALSE(ini.Save(u"\\keep.ini"));
        EXPECT_EQ(fs::GetLastError(), fs::kErrorAccessDenied);
        EXPECT_EQ(Get("keep.ini"), old);
        // Another name is written as usual; a good load lifts the guard.
        EXPECT_TRUE(ini.Save(u"\\other.ini"));
        EXPECT_TRUE(ini.Load(u"\\keep.ini"));
        ini.SetString(u"S", u"C", u"3");
        EXPECT_TRUE(ini.Save(u"\\keep.ini"));
        EXPECT_EQ(Get("keep.ini"), "[S]\r\nA=1\r\nB=2\r\nC=3\r\n\r\n");
    }
}

TEST_F(IniFile, FailedSaveKeepsTheOldFile) {
    Put("keep.ini", "[S]\r\nK=old\r\n");
    CIniFile ini;
    ini.Load(u"\\keep.ini");
    ini.SetString(u"S", u"K", u"new");
    fs::test::FailNthWrite(1);
    EXPECT_FALSE(ini.Save(u"\\keep.ini"));
    fs::test::Reset();
    EXPECT_EQ(Get("keep.ini"), "[S]\r\nK=old\r\n");
    EXPECT_FALSE(ini.Save(u"\\no\\folder.ini"));
}
