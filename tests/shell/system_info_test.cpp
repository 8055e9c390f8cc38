// The System Information report: its lines from a fake provider, the real
// provider against the libraries' own version reports, and the window as
// the About box opens it.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <string>

#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/app/about_dlg.h"
#include "shell/app/system_info.h"
#include "shell/app/system_info_dlg.h"
#include "tests/shell/shell_doubles.h"

namespace {

const std::vector<std::string> kHeaders = {
    "--- Host Information ---", "--- OS Version ---",         "--- System Default Locale ---",
    "--- User Default Locale ---", "--- Neutral Locale ---",  "--- Memory Info ---",
    "--- Dialog ---",           "--- Device Caps ---",        "--- Raster Caps ---",
    "--- System Info ---",      "--- Shell Information ---",  "--- Store Information ---",
    "--- Libraries ---",
};

class FakeSystem : public ISystemInfoProvider {
public:
    bool resolves = true;
    WString libraryPath = u"/usr/lib/libfake.so.1";

    WString GetHostName() override { return u"fieldpad"; }
    std::optional<uint32_t> GetHostAddress() override {
        return resolves ? std::optional<uint32_t>(0xC0A80105) : std::nullopt;
    }
    OsVersion GetOsVersion() override { return {6, 1, 76, 3, u"#1 SMP", u"PocketPC", u"Handheld 9"}; }
    SystemLocaleFacts GetLocale(LocaleKind kind) override {
        SystemLocaleFacts l;
        l.languageId = kind == LocaleKind::Neutral ? 0x09 : 0x0409;
        l.countryCode = 1;
        l.country = l.englishCountry = l.nativeCountry = u"United States";
        l.countryAbbreviation = u"USA";
        l.language = u"English";
        l.ansiCodePage = 1252;
        l.oemCodePage = 437;
        return l;
    }
    Memory GetMemory() override {
        Memory m;
        m.load = 42;
        m.physicalTotal = 16ull << 30;  // 16 GiB
        m.physicalAvail = 0x123456789ull;
        return m;
    }
    LONG GetDialogBaseUnits() override { return MAKELONG(6, 13); }
    int GetDeviceCaps(int index) override { return index == RASTERCAPS ? (RC_BITBLT | RC_STRETCHBLT) : index; }
    Processor GetProcessor() override {
        Processor p;
        p.pageSize = 4096;
        p.revision = 0x0A05;
        p.maxAddress = 0x7FFFFFFEFFFFull;
        return p;
    }
    WString GetSpecialFolder(int id) override { return id == 5 ? u"\\Docs" : u""; }
    void GetObjectStore(uint64_t* size, uint64_t* free) override {
        *size = 5000000000ull;
        *free = 7;
    }
    std::vector<SystemStoreFacts> GetStores() override { return {{u"Storage Card", 1, 2, 3}}; }
    std::vector<SystemLibraryFacts> GetLibraries() override { return {{libraryPath, u"1.2.3.0", u"1.2.3.0"}}; }
};

std::vector<std::string> Lines(ISystemInfoProvider& provider) {
    std::vector<std::string> out;
    for (const WString& line : BuildSystemInfoLines(provider)) out.push_back(Narrow(line));
    return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(SystemInfoReport, SectionsInOrderWithWideSizesInFullAndLongLinesCut) {
    FakeSystem fake;
    fake.libraryPath = u"/" + WString(299, u'x');
    const std::vector<std::string> lines = Lines(fake);

    std::vector<std::string> headers;
    for (const std::string& l : lines)
        if (l.rfind("---", 0) == 0) headers.push_back(l);
    EXPECT_EQ(headers, kHeaders);

    for (const char* expected :
         {"Hostname : fieldpad", "IP : 192.168.1.5", "OS Build : 0000004C", "CSD : #1 SMP", "Platform : PocketPC",
          "ICountry : 1", "SAbbrevCtryName : USA", "ILanguage : 0009", "IDefaultANSICodePage : 1252",
          "Load : 42%", "Physical Total : 400000000", "Physical Avail : 123456789", "BaseUnitX : 6",
          "BaseUnitY : 13", "Horz Size : 4", "NumColors : 24", "Raster Caps", "BitBlt : Y", "Banding : N",
          "StretchBlt : Y", "StretchDIB : N", "ProcessorRevision : 0A05", "MaxAppAddress : 7FFFFFFEFFFF",
          "Personal Folder : \\Docs", "Internal Object Store", "  Size : 5000000000", "Store: \\Storage Card",
          "  1 Free Bytes Available", "  2 Total Free Bytes", "  3 Total Bytes"})
        EXPECT_TRUE(Has(lines, expected)) << expected;

    // The library line would be 300 + 20 characters: cut at 259.
    const std::string& last = lines.back();
    EXPECT_EQ(last.size(), kSystemInfoLineLength);
    EXPECT_EQ(last, "/" + std::string(258, 'x'));

    // A host that does not resolve loses its address line and nothing else.
    fake.resolves = false;
    std::vector<std::string> without = Lines(fake);
    EXPECT_EQ(without.size() + 1, lines.size());
    without.insert(without.begin() + 2, "IP : 192.168.1.5");
    EXPECT_EQ(without, lines);
}

TEST(SystemInfoReport, VersionTexts) {
    const std::pair<const char*, const char*> cases[] = {
        {"6.4.2", "6.4.2.0"},
        {"(GNU FriBidi) 1.0.13\ninterface version 4", "1.0.13.0"},
        {"62.3.0", "62.3.0.0"},
        {"1.2.3.4.5", "1.2.3.4"},
        {"", ""},
        {"none", ""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(Narrow(VersionQuad(in)), out) << in;
}

// The running system: every section is there, and each library line gives
// the version the library itself reports (read here through its own entry
// point, independently of the provider).
TEST(SystemInfoReport, TheRunningSystem) {
    auto provider = CreateSystemInfoProvider();
    const std::vector<std::string> lines = Lines(*provider);
    for (const std::string& h : kHeaders) EXPECT_TRUE(Has(lines, h)) << h;

    auto lineOf = [&](const char* soname) -> std::string {
        for (const std::string& l : lines)
            if (l.find(soname) != std::string::npos && l.find(" : ") != std::string::npos) return l;
        return "";
    };
    void* fontconfig = dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (fontconfig) {
        auto version = reinterpret_cast<int (*)()>(dlsym(fontconfig, "FcGetVersion"));
        ASSERT_NE(version, nullptr);
        const int n = version();
        const std::string v = std::to_string(n / 10000) + "." + std::to_string(n / 100 % 100) + "." +
                              std::to_string(n % 100) + ".0";
        EXPECT_NE(lineOf("libfontconfig.so").find(" : " + v + " (" + v + ")"), std::string::npos)
            << lineOf("libfontconfig.so");
        dlclose(fontconfig);
    }
    void* harfbuzz = dlopen("libharfbuzz.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (harfbuzz) {
        auto version = reinterpret_cast<const char* (*)()>(dlsym(harfbuzz, "hb_version_string"));
        ASSERT_NE(version, nullptr);
        const std::string v = std::string(version()) + ".0";
        EXPECT_NE(lineOf("libharfbuzz.so").find(" : " + v + " (" + v + ")"), std::string::npos)
            << lineOf("libharfbuzz.so");
        dlclose(harfbuzz);
    }
    void* qt = dlopen("libQt6Core.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (qt && dlopen("libQt6Gui.so.6", RTLD_LAZY | RTLD_NOLOAD)) {
        auto version = reinterpret_cast<const char* (*)()>(dlsym(qt, "_Z8qVersionv"));
        ASSERT_NE(version, nullptr);
        EXPECT_NE(lineOf("libQt6Gui.so").find(std::string(version()) + ".0"), std::string::npos);
    }
    // The platform library carries the script engine: its version follows.
    const std::string platform = lineOf("libznplatform.so");
    ASSERT_FALSE(platform.empty());
    void* self = dlopen("libznplatform.so", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(self, nullptr);
    auto duktape = reinterpret_cast<long (*)()>(dlsym(self, "zn_duktape_version"));
    ASSERT_NE(duktape, nullptr);
    const long n = duktape();
    EXPECT_GE(n, 20000);
    const std::string v = std::to_string(n / 10000) + "." + std::to_string(n / 100 % 100) + "." +
                          std::to_string(n % 100) + ".0";
    EXPECT_NE(platform.find("(" + v + ")"), std::string::npos) << platform;
    dlclose(self);
}

class SystemInfoWindow : public ShellTest {
protected:
    void TearDown() override {
        win::ClearModalHooks();
        CSystemInfoDlg::SetProviderFactoryForTests(nullptr);
        ShellTest::TearDown();
    }
};

TEST_F(SystemInfoWindow, TheAboutBoxOpensItModallyOverItself) {
    CSystemInfoDlg::SetProviderFactoryForTests(
        []() -> std::unique_ptr<ISystemInfoProvider> { return std::make_unique<FakeSystem>(); });
    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    HWND box = about.GetSafeHwnd();
    HWND button = GetDlgItem(box, IDC_ABOUT_SYSTEM_INFO);
    EXPECT_TRUE(IsWindowEnabled(button));

    FakeSystem reference;
    const size_t expected = BuildSystemInfoLines(reference).size();
    std::vector<std::string> seen;
    HWND owner = nullptr;
    win::PushModalHook([&](HWND dialog) {
        seen.push_back(Narrow(GetWindowTextString(dialog)));
        owner = GetParent(dialog);
        HWND list = GetDlgItem(dialog, IDC_SYSTEM_INFO_LIST);
        EXPECT_EQ(static_cast<size_t>(SendMessage(list, LB_GETCOUNT, 0, 0)), expected);
        // The list fills the dialog and follows it.
        RECT client, listRect;
        GetClientRect(dialog, &client);
        GetClientRect(list, &listRect);
        MoveWindow(dialog, 0, 0, 400, 300, true);
        RECT grown;
        GetClientRect(list, &grown);
        EXPECT_GT(grown.right, listRect.right);
        EXPECT_GT(grown.bottom, listRect.bottom);
        EndDialog(dialog, IDOK);
    });
    SendMessage(box, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_SYSTEM_INFO, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(seen, std::vector<std::string>{"System Information"});
    EXPECT_EQ(owner, box);
    about.DestroyWindow();
}

}  // namespace
