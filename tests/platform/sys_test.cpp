#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/sys/device.h"
#include "platform/sys/registry.h"
#include "platform/sys/shell.h"
#include "tests/platform/fs_test_root.h"

using namespace sys;

class Registry : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        file_ = root_ + "/config/zarnip/registry.txt";
        SetRegistryFile(file_);
    }
    void TearDown() override {
        ResetRegistry();
        DeviceRootTest::TearDown();
    }
    std::string file_;
};

TEST_F(Registry, ValuesSurviveTheFile) {
    const uint8_t owner[] = {'A', 0, 'n', 0, 0, 0, 0xFF};
    ASSERT_TRUE(RegSetString(Hive::CurrentUser, u"Software\\Zarnip\\Test", u"Name",
                             u"Stra\u00DFe \"7\" \\ new\nline"));
    ASSERT_TRUE(RegSetDword(Hive::CurrentUser, u"software\\zarnip\\test", u"Count", 0xFFFFFFFE));
    ASSERT_TRUE(
        RegSetBinary(Hive::CurrentUser, u"\\ControlPanel\\\\Owner", u"Owner", owner, sizeof owner));
    ASSERT_TRUE(RegSetString(Hive::LocalMachine, u"Software\\Zarnip\\Test", u"", u"machine"));

    SetRegistryFile(file_);  // drop the memory copy; read the file again
    RegValue v;
    ASSERT_TRUE(RegQueryValue(Hive::CurrentUser, u"SOFTWARE\\ZARNIP\\TEST", u"name", &v));
    EXPECT_EQ(v.type, kRegString);
    EXPECT_EQ(v.text, u"Stra\u00DFe \"7\" \\ new\nline");
    ASSERT_TRUE(RegQueryValue(Hive::CurrentUser, u"Software\\Zarnip\\Test", u"Count", &v));
    EXPECT_EQ(v.type, kRegDword);
    EXPECT_EQ(v.number, 0xFFFFFFFEu);
    ASSERT_TRUE(RegQueryValue(Hive::CurrentUser, u"ControlPanel\\Owner", u"Owner", &v));
    EXPECT_EQ(v.type, kRegBinary);
    EXPECT_EQ(v.bytes, std::vector<uint8_t>(owner, owner + sizeof owner));
    ASSERT_TRUE(RegQueryValue(Hive::LocalMachine, u"Software\\Zarnip\\Test", u"", &v));
    EXPECT_EQ(v.text, u"machine");
    EXPECT_FALSE(RegQueryValue(Hive::LocalMachine, u"Software\\Zarnip\\Test", u"Count", &v));

    EXPECT_EQ(RegEnumKeys(Hive::CurrentUser, u"Software"), std::vector<WString>{u"Zarnip"});
    EXPECT_EQ(RegEnumValues(Hive::CurrentUser, u"Software\\Zarnip\\Test"),
              (std::vector<WString>{u"Count", u"Name"}));

    // The file is plain UTF-8 text.
    std::ifstream in(file_, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(data.find("[HKEY_CURRENT_USER\\ControlPanel\\Owner]\r\n\"Owner\"=hex:41,00,6e,00,"
                        "00,00,ff\r\n"),
              std::string::npos);
    EXPECT_NE(data.find("\"Count\"=dword:fffffffe\r\n"), std::string::npos);
    EXPECT_NE(data.find("Stra\xC3\x9F"), std::string::npos);
}

TEST_F(Registry, FailedSavesAreReported) {
    ASSERT_TRUE(RegSetDword(Hive::CurrentUser, u"A", u"n", 1));
    ASSERT_TRUE(RegSetDword(Hive::CurrentUser, u"B", u"n", 1));
    // The file's folder cannot be made: a file stands in its way.
    SetRegistryFile(file_ + "/registry.txt");
    EXPECT_FALSE(RegSetDword(Hive::CurrentUser, u"A", u"m", 2));
    EXPECT_FALSE(RegDeleteValue(Hive::CurrentUser, u"A", u"m"));
    EXPECT_FALSE(RegDeleteKey(Hive::CurrentUser, u"A"));
    EXPECT_FALSE(RegKeyExists(Hive::CurrentUser, u"A"));  // gone from memory all the same
    SetRegistryFile(file_);
    EXPECT_TRUE(RegKeyExists(Hive::CurrentUser, u"A"));  // the file never changed
}

// A store that exists but cannot be read is never overwritten: changes stay
// in memory, every save says so, and the read failure is told once. A save
// that fails at its write keeps the old file as well.
TEST_F(Registry, UnreadableStoreIsNeverOverwritten) {
    ASSERT_TRUE(RegSetDword(Hive::CurrentUser, u"A", u"n", 1));
    std::string before;
    ASSERT_TRUE(fs::ReadWholeHostFile(file_, &before));

    fs::test::FailNthWrite(1);
    EXPECT_FALSE(RegSetDword(Hive::CurrentUser, u"A", u"n", 2));
    fs::test::Reset();
    std::string after;
    ASSERT_TRUE(fs::ReadWholeHostFile(file_, &after));
    EXPECT_EQ(after, before);

    SetRegistryFile(file_);
    fs::test::FailNthRead(1);
    EXPECT_FALSE(RegSetDword(Hive::CurrentUser, u"B", u"n", 3));
    fs::test::Reset();
    EXPECT_TRUE(RegistryReadFailed());
    EXPECT_FALSE(RegistryReadFailed());
    RegValue v;
    ASSERT_TRUE(RegQueryValue(Hive::CurrentUser, u"B", u"n", &v));  // kept in memory
    EXPECT_EQ(v.number, 3u);
    EXPECT_FALSE(RegDeleteKey(Hive::CurrentUser, u"B"));
    ASSERT_TRUE(fs::ReadWholeHostFile(file_, &after));
    EXPECT_EQ(after, before);

    // A store that does not exist yet is no failure.
    SetRegistryFile(root_ + "/config/zarnip/new.txt");
    EXPECT_TRUE(RegSetDword(Hive::CurrentUser, u"C", u"n", 4));
    EXPECT_FALSE(RegistryReadFailed());
}

TEST_F(Registry, KeyWithALineBreakIsRefused) {
    const WChar* key = u"A]\r\n[HKEY_LOCAL_MACHINE\\Planted";
    EXPECT_FALSE(RegSetString(Hive::CurrentUser, key, u"v", u"x"));
    EXPECT_FALSE(RegKeyExists(Hive::CurrentUser, key));
    ASSERT_TRUE(RegSetString(Hive::CurrentUser, u"A", u"v", u"x"));
    SetRegistryFile(file_);
    EXPECT_FALSE(RegKeyExists(Hive::LocalMachine, u"Planted"));
    EXPECT_TRUE(RegKeyExists(Hive::CurrentUser, u"A"));
}

TEST_F(Registry, DamagedLinesAreSkipped) {
    Put("config/zarnip/registry.txt",
        "[HKEY_CURRENT_USER\\A]\n"
        "\"good\"=dword:0000002a\n"
        "\"long\"=dword:123456789\n"
        "\"odd\"=hex:1,02\n"
        "\"open\"=\"no end\n"
        "\"x\"=something\n"
        "[NOHIVE\\B]\n"
        "\"lost\"=\"y\"\n"
        "[HKEY_CURRENT_USERS\\A]\n"
        "\"lost\"=\"z\"\n"
        "[HKEY_CURRENT_USER\\A\\Sub]\r\n"
        "@=\"default\"\r\n");
    SetRegistryFile(file_);
    RegValue v;
    ASSERT_TRUE(RegQueryValue(Hive::CurrentUser, u"A", u"good", &v));
    EXPECT_EQ(v.number, 42u);
    for (const char16_t* bad : {u"long", u"odd", u"open", u"x", u"lost"})
        EXPECT_FALSE(RegQueryValue(Hive::CurrentUser, u"A", bad, &v)) << text::ToUtf8(bad);
    EXPECT_FALSE(RegKeyExists(Hive::CurrentUser, u"S\\A"));  // not a hive name
    ASSERT_TRUE(RegQueryValue(Hive::CurrentUser, u"a\\sub", u"", &v));
    EXPECT_EQ(v.text, u"default");
}

TEST_F(Registry, ProfileSections) {
    SetProfileKey(u"Field Co", u"Zarnip");
    EXPECT_EQ(GetProfileKey(), u"Software\\Field Co\\Zarnip");
    ASSERT_TRUE(WriteProfileString(u"Recent", u"File1", u"\\a.znm"));
    ASSERT_TRUE(WriteProfileInt(u"Recent", u"Count", -3));
    ASSERT_TRUE(WriteProfileString(u"Recent Sub", u"x", u"y"));
    EXPECT_EQ(GetProfileString(u"recent", u"file1"), u"\\a.znm");
    EXPECT_EQ(GetProfileString(u"Recent", u"File2", u"none"), u"none");
    EXPECT_EQ(GetProfileInt(u"Recent", u"Count", 0), -3);
    EXPECT_EQ(GetProfileInt(u"Recent", u"File1", 7), 7);  // a string is not a number
    ASSERT_TRUE(WriteProfileString(u"Recent", u"File1", nullptr));
    EXPECT_EQ(GetProfileString(u"Recent", u"File1", u"gone"), u"gone");
    ASSERT_TRUE(WriteProfileString(u"Recent\\Deeper", u"z", u"1"));
    EXPECT_TRUE(DeleteProfileSection(u"Recent"));
    EXPECT_FALSE(RegKeyExists(Hive::CurrentUser, u"Software\\Field Co\\Zarnip\\Recent\\Deeper"));
    EXPECT_EQ(GetProfileInt(u"Recent", u"Count", 9), 9);
    EXPECT_EQ(GetProfileString(u"Recent Sub", u"x"), u"y");  // a sibling, not a child
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteProfileBinary(u"Bin", u"b", "\x01\x02", 2));
    ASSERT_TRUE(GetProfileBinary(u"Bin", u"b", &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2}));
}

TEST_F(Registry, MemoryOnlyStore) {
    SetRegistryFile("");
    ASSERT_TRUE(RegSetDword(Hive::CurrentUser, u"K", u"v", 1));
    RegValue v;
    EXPECT_TRUE(RegQueryValue(Hive::CurrentUser, u"K", u"v", &v));
    EXPECT_FALSE(HostExists("config"));
}

TEST(Device, OptionalFunctionsAreAbsentUntilReplaced) {
    test::ResetDevice();
    EXPECT_EQ(GetOptionalFunction("coredll.dll", "NLedGetDeviceInfo"), nullptr);
    static int calls = 0;
    LedGetDeviceInfoFunction fake = [](int, void*) { return ++calls; };
    test::SetOptionalFunction("coredll.dll", "NLedGetDeviceInfo", reinterpret_cast<void*>(fake));
    auto fn = reinterpret_cast<LedGetDeviceInfoFunction>(
        GetOptionalFunction("COREDLL.DLL", "NLedGetDeviceInfo"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(0, nullptr), 1);
    EXPECT_EQ(GetOptionalFunction("coredll.dll", "nledgetdeviceinfo"), nullptr);
    EXPECT_EQ(GetPlatformType(), u"PocketPC");
    test::SetPlatformType(u"PALM PC");
    EXPECT_EQ(GetPlatformType(), u"PALM PC");
    test::ResetDevice();
    EXPECT_EQ(GetOptionalFunction("coredll.dll", "NLedGetDeviceInfo"), nullptr);
    EXPECT_EQ(GetPlatformType(), u"PocketPC");
}

class Shell : public DeviceRootTest {
protected:
    // A stand-in opener that writes each argument on its own line.
    void FakeProgram(const char* env, int exitCode) {
        std::string script = Host("fake.sh");
        Put("fake.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                           Host("args.txt") + "'\nexit " + std::to_string(exitCode) + "\n");
        chmod(script.c_str(), 0755);
        setenv(env, script.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ZARNIP_OPENER");
        unsetenv("ZARNIP_SOUND_PLAYER");
        DeviceRootTest::TearDown();
    }
};

TEST_F(Shell, OpenerGetsOneArgumentNeverAShell) {
    FakeProgram("ZARNIP_OPENER", 0);
    std::string nasty = "http://x/?a=1&b=$(touch " + Host("pwned") + ");`id` 'q' \"d\"";
    EXPECT_TRUE(ShellOpen(nasty));
    EXPECT_EQ(Get("args.txt"), nasty + "\n");
    EXPECT_FALSE(HostExists("pwned"));
    EXPECT_FALSE(ShellOpen("--help"));
    EXPECT_FALSE(ShellOpen(""));
    FakeProgram("ZARNIP_OPENER", 3);  // the opener found nothing to open with
    EXPECT_FALSE(ShellOpen("/tmp/x"));
    setenv("ZARNIP_OPENER", "/nonexistent/opener", 1);
    EXPECT_FALSE(ShellOpen("/tmp/x"));
}

TEST_F(Shell, SoundNeedsAWaveFile) {
    FakeProgram("ZARNIP_SOUND_PLAYER", 0);
    std::string wav("RIFF\x24\0\0\0WAVEfmt ", 16);
    Put("beep.wav", wav);
    Put("text.wav", "not a wave file at all");
    EXPECT_FALSE(PlayWaveFile(Host("missing.wav")));
    EXPECT_FALSE(PlayWaveFile(Host("text.wav")));
    EXPECT_TRUE(PlayWaveFile(Host("beep.wav")));
    for (int i = 0; i < 500 && Get("args.txt").empty(); ++i) usleep(10000);
    EXPECT_EQ(Get("args.txt"), Host("beep.wav") + "\n");
    setenv("ZARNIP_SOUND_PLAYER", "/nonexistent/player", 1);
    EXPECT_FALSE(PlayWaveFile(Host("beep.wav")));
}

TEST_F(Shell, SpecialFolders) {
    Put("home/u/Docs/x", "");
    Put("home/u/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", Host("home/u").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("ZARNIP_DOCUMENTS");
    EXPECT_EQ(fs::GetDocumentsFolder(), u"\\home\\u\\Docs");
    setenv("ZARNIP_DOCUMENTS", Host("home").c_str(), 1);
    EXPECT_EQ(fs::GetDocumentsFolder(), u"\\home");
    setenv("ZARNIP_DOCUMENTS", "/outside/the/root", 1);
    EXPECT_EQ(fs::GetDocumentsFolder(), u"\\My Documents");
    unsetenv("ZARNIP_DOCUMENTS");
    setenv("HOME", home.c_str(), 1);

    fs::test::SetProgramFileName(u"\\Program Files\\Zarnip\\Zarnip.exe");
    EXPECT_EQ(fs::GetProgramFolder(), u"\\Program Files\\Zarnip");
    fs::test::SetProgramFileName(u"");
    EXPECT_FALSE(fs::GetProgramFileName().empty());
}
