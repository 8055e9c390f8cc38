#include "core/shell_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/mru_list.h"
#include "platform/sys/device.h"
#include "platform/sys/registry.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/window.h"
#include "tests/platform/fs_test_root.h"

class Helpers : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        sys::SetRegistryFile(root_ + "/registry.txt");
        sys::test::ResetDevice();
    }
    void TearDown() override {
        SetShellErrorReporter(nullptr);
        sys::ResetRegistry();
        sys::test::ResetDevice();
        unsetenv("ZARNIP_OPENER");
        unsetenv("ZARNIP_SOUND_PLAYER");
        DeviceRootTest::TearDown();
    }
    // A stand-in program that writes each argument on its own line.
    void FakeProgram(const char* env) {
        Put("fake.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                           Host("args.txt") + "'\n");
        chmod(Host("fake.sh").c_str(), 0755);
        setenv(env, Host("fake.sh").c_str(), 1);
    }
    void SetOwner(const std::vector<uint8_t>& record) {
        sys::RegSetBinary(sys::Hive::CurrentUser, u"ControlPanel\\Owner", u"Owner", record.data(),
                          record.size());
    }
};

std::vector<uint8_t> Utf16At(std::vector<uint8_t> record, size_t offset, const char16_t* s) {
    for (; *s; ++s, offset += 2) {
        record[offset] = static_cast<uint8_t>(*s & 0xFF);
        record[offset + 1] = static_cast<uint8_t>(*s >> 8);
    }
    return record;
}

TEST_F(Helpers, OwnerRecord) {
    EXPECT_EQ(GetOwnerName(), u"");
    EXPECT_EQ(GetOwnerText2(), u"");
    std::vector<uint8_t> record(556, 0);
    record = Utf16At(record, 0, u"Ann S\u00F8rensen");
    record = Utf16At(record, 66, u"Field Co");
    SetOwner(record);
    EXPECT_EQ(GetOwnerName(), u"Ann S\u00F8rensen");
    EXPECT_EQ(GetOwnerText2(), u"Field Co");

    // No terminator anywhere: the texts end with the 556-byte record.
    SetOwner(std::vector<uint8_t>(1000, 'A'));
    EXPECT_EQ(GetOwnerName(), WString(278, u'\u4141'));
    EXPECT_EQ(GetOwnerText2(), WString(245, u'\u4141'));
    // A short record: the rest reads as zeros.
    SetOwner({'B', 0, 'o', 0, 'b'});
    EXPECT_EQ(GetOwnerName(), u"Bob");
    EXPECT_EQ(GetOwnerText2(), u"");
}

TEST_F(Helpers, PlatformType) {
    struct Row {
        const char16_t* type;
        bool pocket, palm;
    } rows[] = {{u"PocketPC", true, false},
                {u"pocketpc", true, false},
                {u"PALM PC2", true, false},
                {u"Palm PC", false, true},
                {u"Jupiter", false, false}};
    Put("Windows/AssetView.exe", "");
    for (const auto& r : rows) {
        sys::test::SetPlatformType(r.type);
        EXPECT_EQ(IsPocketPC(), r.pocket) << text::ToUtf8(r.type);
        EXPECT_EQ(IsPalmPC(), r.palm) << text::ToUtf8(r.type);
        EXPECT_EQ(HasAssetView(), r.pocket) << text::ToUtf8(r.type);
    }
    sys::test::SetPlatformType(u"PocketPC");
    std::filesystem::remove(Host("Windows/AssetView.exe"));
    EXPECT_FALSE(HasAssetView());
    EXPECT_EQ(GetPlatformId(), 3u);
}

sys::LedSettingsInfo g_led;
int g_sipRequest = -1;

TEST_F(Helpers, OptionalFunctionsMissingAndPresent) {
    EXPECT_EQ(GetLedCount(), 0);
    SetLed(1, 2, 3, 4, 5, 6, 7);  // nothing to call: nothing happens
    EXPECT_EQ(SipPreference(nullptr, 0), 0);
    EXPECT_EQ(InitExtraControls(), 0);
    EXPECT_FALSE(HasExtraControls());
    EXPECT_EQ(SetAppKeyWndAssoc(0xC1, nullptr), 0);
    EXPECT_EQ(SetNavBarText(nullptr, u"x"), 0);

    sys::LedGetDeviceInfoFunction count = [](int id, void* out) {
        if (id != sys::kLedCountInfoId) return 0;
        static_cast<sys::LedCountInfo*>(out)->count = 2;
        return 1;
    };
    sys::LedSetDeviceFunction set = [](int id, void* in) {
        if (id == sys::kLedSettingsInfoId) g_led = *static_cast<sys::LedSettingsInfo*>(in);
        return 1;
    };
    BOOL(*sip)
    (HWND, int) = [](HWND, int request) {
        g_sipRequest = request;
        return 1;
    };
    BOOL (*extra)() = [] { return 1; };
    sys::test::SetOptionalFunction("coredll.dll", "NLedGetDeviceInfo",
                                   reinterpret_cast<void*>(count));
    sys::test::SetOptionalFunction("coredll.dll", "NLedSetDevice", reinterpret_cast<void*>(set));
    sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference", reinterpret_cast<void*>(sip));
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls",
                                   reinterpret_cast<void*>(extra));
    EXPECT_EQ(GetLedCount(), 2);
    SetLed(1, 2, 300, 100, 200, 3, 4);
    EXPECT_EQ(g_led.ledNum, 1u);
    EXPECT_EQ(g_led.offOnBlink, 2);
    EXPECT_EQ(g_led.totalCycleTime, 300);
    EXPECT_EQ(g_led.onTime, 100);
    EXPECT_EQ(g_led.offTime, 200);
    EXPECT_EQ(g_led.metaCycleOn, 3);
    EXPECT_EQ(g_led.metaCycleOff, 4);
    EXPECT_EQ(SipPreference(nullptr, 1), 1);
    EXPECT_EQ(g_sipRequest, 1);
    EXPECT_TRUE(HasExtraControls());
    EXPECT_EQ(InitExtraControls(), 1);
}

TEST_F(Helpers, SpecialFolders) {
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", "/outside/the/device/root", 1);
    unsetenv("ZARNIP_DOCUMENTS");
    EXPECT_EQ(GetSpecialFolderPath(nullptr, kFolderPersonal), u"\\My Documents");
    WString path = u"unchanged";
    GetSpecialFolder(nullptr, 36, path);
    EXPECT_EQ(path, u"unchanged");
    GetSpecialFolderPath(path, nullptr, kFolderRecycleBin);
    EXPECT_EQ(path, u"");
    EXPECT_EQ(GetSpecialFolderPath(nullptr, kFolderTemplates), u"");
    Put("Data/Docs/x", "");
    setenv("ZARNIP_DOCUMENTS", Host("Data/Docs").c_str(), 1);
    EXPECT_EQ(GetSpecialFolderPath(nullptr, kFolderPersonal), u"\\Data\\Docs");
    unsetenv("ZARNIP_DOCUMENTS");
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(GetTempFolder(), u"\\Temp\\");
}

TEST_F(Helpers, ShellExecuteFile) {
    FakeProgram("ZARNIP_OPENER");
    std::vector<std::pair<unsigned, WString>> errors;
    SetShellErrorReporter(
        [&](HWND, unsigned id, const WString& insert) { errors.emplace_back(id, insert); });
    Put("Docs/Photo 1.JPG", "");
    EXPECT_EQ(ShellExecuteFile(nullptr, u"\\docs\\photo 1.jpg"), 1);
    EXPECT_EQ(ShellExecuteFile(nullptr, u"https://example.org/a b"), 1);
    EXPECT_EQ(Get("args.txt"), Host("Docs/Photo 1.JPG") + "\nhttps://example.org/a b\n");
    EXPECT_TRUE(errors.empty());

    EXPECT_EQ(ShellExecuteFile(nullptr, u"\\docs\\missing.jpg"), 0);
    EXPECT_EQ(ShellExecuteFile(nullptr, u"C:\\x.jpg"), 0);  // a drive letter is not an address
    setenv("ZARNIP_OPENER", "/nonexistent/opener", 1);
    EXPECT_EQ(ShellExecuteFile(nullptr, u"\\docs\\photo 1.jpg"), 0);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], (std::pair<unsigned, WString>{8004, u"\\docs\\missing.jpg"}));
    EXPECT_EQ(errors[2].second, u"\\docs\\photo 1.jpg");
}

TEST_F(Helpers, UrlShortcutBytes) {
    FakeProgram("ZARNIP_OPENER");
    EXPECT_EQ(OpenUrlShortcut(nullptr, u"http://x/caf\u00E9\r\n?q=\u4E2D\u20AC", nullptr), 1);
    EXPECT_EQ(Get("Temp/Temporary.url"), "[InternetShortcut]\r\nURL=http://x/caf\xE9?q=?\x80\r\n");
    EXPECT_EQ(Get("args.txt"), "http://x/caf\xC3\xA9?q=\xE4\xB8\xAD\xE2\x82\xAC\n");
    EXPECT_EQ(OpenUrlShortcut(nullptr, u"http://y/", u"Link.url"), 1);
    EXPECT_EQ(Get("Temp/Link.url"), "[InternetShortcut]\r\nURL=http://y/\r\n");
    EXPECT_EQ(OpenUrlShortcut(nullptr, u"-oops", u"Link.url"), 0);  // never an option
}

TEST_F(Helpers, PlaySoundFile) {
    FakeProgram("ZARNIP_SOUND_PLAYER");
    Put("Sounds/Alert.wav", std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
    EXPECT_FALSE(PlaySoundFile(u"\\sounds\\none.wav"));
    EXPECT_FALSE(PlaySoundFile(nullptr));
    EXPECT_TRUE(PlaySoundFile(u"\\sounds\\alert.wav"));
    for (int i = 0; i < 500 && Get("args.txt").empty(); ++i) usleep(10000);
    EXPECT_EQ(Get("args.txt"), Host("Sounds/Alert.wav") + "\n");
}

TEST_F(Helpers, MruListOnTheProfile) {
    CMruList list(u"Recent Maps", u"Map%d", 4);
    for (const char16_t* s : {u"\\a.znm", u"\\b.znm", u"\\c.znm", u"", u"\\d.znm"}) list.Add(s);
    EXPECT_EQ(list.GetEntries(),
              (std::vector<WString>{u"\\d.znm", u"\\c.znm", u"\\b.znm", u"\\a.znm"}));
    list.Add(u"\\b.znm");  // at position 3: moves to the front
    EXPECT_EQ(list.GetEntries(),
              (std::vector<WString>{u"\\b.znm", u"\\d.znm", u"\\c.znm", u"\\a.znm"}));
    list.Add(u"\\B.ZNM");  // exact comparison: a different entry
    list.Add(u"\\e.znm");  // full: the last entries drop off
    EXPECT_EQ(list.GetEntries(),
              (std::vector<WString>{u"\\e.znm", u"\\B.ZNM", u"\\b.znm", u"\\d.znm"}));
    list.Save();

    sys::SetRegistryFile(root_ + "/registry.txt");  // read back from the file
    EXPECT_EQ(sys::GetProfileString(u"Recent Maps", u"Map1"), u"\\e.znm");
    CMruList loaded(u"Recent Maps", u"Map%d", 4);
    loaded.Load();
    EXPECT_EQ(loaded.GetEntries(), list.GetEntries());

    // A shorter list saved over a longer one leaves no stale entries.
    CMruList shorter(u"Recent Maps", u"Map%d", 4);
    shorter.Add(u"\\only.znm");
    shorter.Save();
    loaded.Load();
    EXPECT_EQ(loaded.GetEntries(), std::vector<WString>{u"\\only.znm"});
    // A gap in the numbers is skipped; numbers beyond the maximum are not read.
    sys::WriteProfileString(u"Recent Maps", u"Map3", u"\\three.znm");
    sys::WriteProfileString(u"Recent Maps", u"Map5", u"\\five.znm");
    loaded.Load();
    EXPECT_EQ(loaded.GetEntries(), (std::vector<WString>{u"\\only.znm", u"\\three.znm"}));

    win::ResetForTests();
    HWND owner = CreateWindowEx(0, kDialogClass, u"Owner", WS_POPUP, 0, 0, 240, 320, nullptr,
                                nullptr, nullptr, nullptr);
    HWND combo = CreateWindowEx(0, u"COMBOBOX", u"typed", WS_CHILD | CBS_DROPDOWN, 0, 0, 100, 80,
                                owner, reinterpret_cast<HMENU>(1001), nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
    SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"stale"));
    SetWindowText(combo, u"typed");
    loaded.FillComboBox(combo);
    EXPECT_EQ(SendMessage(combo, CB_GETCOUNT, 0, 0), 2);
    WChar item[32];
    SendMessage(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(WString(item), u"\\three.znm");
    EXPECT_EQ(GetWindowTextString(combo), u"typed");
    win::ResetForTests();

    loaded.Clear();
    EXPECT_EQ(loaded.GetCount(), 0);
}
