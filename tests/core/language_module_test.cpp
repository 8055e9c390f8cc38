#include "core/language_module.h"

#include <cstring>

#include "platform/text/text.h"
#include "tests/core/ui_test_util.h"

namespace {

// The program's own strings: 15 (20 units), 16, 17, 18 and 0xE000. The
// Hebrew library holds 17 and so the block of 16 to 31, but not 16 or 18.
class LanguageModuleTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        static const std::vector<uint8_t> program = uitest::ReadBytes(ZN_LANG_PROGRAM_RES);
        ASSERT_FALSE(program.empty());
        res::SetProgramResources(program.data(), program.size());
        res::SetResourceHandle(nullptr);
    }
    CLanguageModule& Module() { return *GetLanguageModule(); }
};

const WString kHebrew17 = u"שלום %1";

TEST_F(LanguageModuleTest, LibraryPathAndExistence) {
    WString path;
    ASSERT_TRUE(Module().GetModulePath(0x0409, path));
    EXPECT_EQ(path, u"\\prog\\Locales\\ENU.res");
    EXPECT_FALSE(Module().ModuleExists(0x0409));
    InstallLibrary(ZN_ENU_RES, "ENU.res");
    EXPECT_TRUE(Module().ModuleExists(0x0409));
    EXPECT_EQ(CLanguageModule::GetAbbrevLangName(0x040D), u"HEB");
    EXPECT_EQ(CLanguageModule::GetLanguageId(0x0407), 0x0407);
}

TEST_F(LanguageModuleTest, RightToLeftLocales) {
    for (DWORD lcid : {0x0401u, 0x040Du, 0x0429u, 0x0801u}) EXPECT_TRUE(IsRightToLeftLanguage(lcid)) << lcid;
    for (DWORD lcid : {0x0409u, 0x0407u, 0x0411u}) EXPECT_FALSE(IsRightToLeftLanguage(lcid)) << lcid;
    LoadHebrew();
    EXPECT_TRUE(Module().IsRightToLeft());
    EXPECT_EQ(Module().GetAnsiCodePage(), 1255u);
    EXPECT_EQ(Module().GetOemCodePage(), 862u);
}

TEST_F(LanguageModuleTest, LoadStringTable) {
    struct Case {
        bool library;
        UINT id;
        bool fallback;
        bool clear;
        int result;
        WString buffer;  // what the 64-unit buffer holds after the call ("x" before)
    };
    const Case cases[] = {
        {false, 15, false, false, 0, u"x"},  // no library and no fallback: nothing asked
        {false, 15, false, true, 0, u"x"},
        {false, 15, true, false, 20, u"ABCDEFGHIJKLMNOPQRST"},
        {false, 99, true, false, 0, u"x"},  // missing: the buffer is put back
        {false, 99, true, true, 0, u""},    // missing with clear: emptied
        {true, 17, false, false, 7, kHebrew17},
        {true, 17, true, false, 7, kHebrew17},
        {true, 16, false, true, 0, u""},  // the library's block lacks 16
        {true, 16, true, false, 15, u"Open %1 from %2"},
        {true, 18, true, true, 16, u"Program eighteen"},
        {true, 15, false, false, 0, u"x"},  // the library lacks the block
        {true, 0, true, true, 0, u"x"},     // id 0 asks nothing
    };
    for (const Case& c : cases) {
        if (c.library && !Module().GetLibrary()) LoadHebrew();
        if (!c.library && Module().GetLibrary()) Module().FreeLibrary();
        WChar buffer[64] = u"x";
        EXPECT_EQ(Module().LoadString(c.id, buffer, 64, c.fallback, c.clear), c.result) << c.id;
        EXPECT_EQ(WString(buffer), c.buffer) << c.id << " fallback " << c.fallback;
    }
}

TEST_F(LanguageModuleTest, TruncationAndBuffersThatCannotHoldAnything) {
    WChar small[10];
    std::fill(std::begin(small), std::end(small), u'#');
    EXPECT_EQ(Module().LoadString(15, small, 10, true, false), 20);
    EXPECT_EQ(WString(small), u"ABCDEFGHI");
    // A null buffer or no room still reports the length and writes nothing.
    EXPECT_EQ(Module().LoadString(15, nullptr, 10, true, true), 20);
    WChar one[2] = {u'#', u'#'};
    EXPECT_EQ(Module().LoadString(15, one, 0, true, true), 20);
    EXPECT_EQ(Module().LoadString(15, one, -5, true, true), 20);
    EXPECT_EQ(one[0], u'#');
    EXPECT_EQ(one[1], u'#');
    // The string forms.
    WString s = u"old";
    EXPECT_FALSE(Module().LoadString(99, s, true, false));
    EXPECT_EQ(s, u"old");
    EXPECT_FALSE(Module().LoadString(99, s, true, true));
    EXPECT_EQ(s, u"");
    EXPECT_EQ(Module().LoadString(15, true), u"ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(Module().LoadString(15, false), u"");
}

TEST_F(LanguageModuleTest, String17IsEntryOneOfBlockTwo) {
    auto program = res::ModuleFromHandle(res::GetProgramModule());
    ASSERT_TRUE(program);
    const res::Resource* block = program->Find(res::RT_STRING, res::ResName(WORD(2)));
    ASSERT_NE(block, nullptr);
    // Walk the raw block: 16 entries of a length and that many units.
    const uint8_t* p = block->data.data();
    auto unit = [&](size_t i) { return uint16_t(p[2 * i] | (p[2 * i + 1] << 8)); };
    size_t at = 0;
    at += 1 + unit(at);  // entry 0 (16)
    const uint16_t len = unit(at);
    WString raw;
    for (size_t i = 0; i < len; ++i) raw.push_back(static_cast<WChar>(unit(at + 1 + i)));
    EXPECT_EQ(raw, u"Program seventeen");
    EXPECT_EQ(Module().LoadString(17, true), raw);
}

TEST_F(LanguageModuleTest, MessagesTakeTheProgramTextWhereTheLibraryEntryIsEmpty) {
    LoadHebrew();
    win::ClearMessageBoxLog();
    // 18's block is in the library, its entry is not.
    Module().MessageBox(18, 0);
    Module().MessageBox(17, 0);
    auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, u"Program eighteen");
    EXPECT_EQ(log[0].caption, u"Zarnip");
    EXPECT_EQ(log[1].text, kHebrew17);

    WString out;
    Module().FormatString2(out, 16, u"roads.shp", u"\\Storage Card");
    EXPECT_EQ(out, u"Open roads.shp from \\Storage Card");
    Module().FormatString1(out, 17, u"X");
    EXPECT_EQ(out, u"שלום X");
    Module().FormatString1(out, 18, u"X");
    EXPECT_EQ(out, u"Program eighteen");
}

TEST_F(LanguageModuleTest, FrameworkLookupsTryTheLibraryThenTheProgram) {
    LoadHebrew();
    EXPECT_EQ(res::LoadStringText(nullptr, 17), kHebrew17);
    EXPECT_EQ(res::LoadStringText(nullptr, 16), u"Open %1 from %2");
    EXPECT_EQ(res::LoadStringText(nullptr, 0xE000), u"Zarnip");
    Module().FreeLibrary();
    EXPECT_EQ(res::GetResourceHandle(), res::GetProgramModule());
    EXPECT_EQ(res::LoadStringText(nullptr, 17), u"Program seventeen");
}

TEST_F(LanguageModuleTest, WindowTextFromTheLibraryOnly) {
    LoadHebrew();
    HWND parent = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND child = CreateWindowEx(0, u"STATIC", u"keep", WS_CHILD, 0, 0, 50, 10, parent,
                                reinterpret_cast<HMENU>(17), nullptr, nullptr);
    EXPECT_TRUE(Module().LoadWindowText(child, -1));
    EXPECT_EQ(GetWindowTextString(child), kHebrew17);
    SetWindowText(child, u"keep");
    EXPECT_FALSE(Module().LoadWindowText(child, 16));  // only the program has it
    EXPECT_FALSE(Module().LoadWindowText(child, 0));
    EXPECT_EQ(GetWindowTextString(child), u"keep");
    DestroyWindow(parent);
}

TEST_F(LanguageModuleTest, NarrowStringsInTheLocaleCodePage) {
    LoadHebrew();
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Module().LoadStringA(17, buffer, 32, false, true), 7);
    EXPECT_STREQ(buffer, "\xF9\xEC\xE5\xED %1");
    // Truncated and terminated within the size.
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Module().LoadStringA(17, buffer, 3, false, true), 7);
    EXPECT_STREQ(buffer, "\xF9\xEC");
    EXPECT_EQ(buffer[3], '#');
    // The program's text through the system code page.
    EXPECT_EQ(Module().LoadStringA(16, buffer, 32, true, true), 15);
    EXPECT_STREQ(buffer, "Open %1 from %2");
    EXPECT_EQ(Module().LoadStringA(16, buffer, 32, false, true), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(LanguageModuleTest, RightToLeftStyleOnceOnly) {
    HWND w = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                            nullptr, nullptr);
    EXPECT_FALSE(Module().ApplyRtlStyle(w));  // a left-to-right module does nothing
    EXPECT_EQ(GetWindowLong(w, GWL_EXSTYLE) & kRtlExStyles, 0);
    LoadHebrew();
    EXPECT_TRUE(Module().ApplyRtlStyle(w));
    const LONG ex = GetWindowLong(w, GWL_EXSTYLE);
    EXPECT_EQ(DWORD(ex) & kRtlExStyles, kRtlExStyles);
    RECT before, after;
    GetWindowRect(w, &before);
    EXPECT_FALSE(Module().ApplyRtlStyle(w));
    GetWindowRect(w, &after);
    EXPECT_EQ(GetWindowLong(w, GWL_EXSTYLE), ex);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_FALSE(Module().ApplyRtlStyleToWnd(nullptr));
    DestroyWindow(w);
}

TEST_F(LanguageModuleTest, MissingOrMalformedLibraryLeavesNone) {
    EXPECT_FALSE(Module().LoadForLocale(0x0407));  // no DEU.res
    EXPECT_EQ(Module().GetLibrary(), nullptr);
    EXPECT_EQ(Module().GetLocale(), 0x0407u);
    std::ofstream(root_ / "prog" / "Locales" / "DEU.res") << "not a resource file";
    EXPECT_FALSE(Module().LoadForLocale(0x0407));
    EXPECT_EQ(Module().GetLibrary(), nullptr);
    EXPECT_EQ(Module().LoadString(17, true), u"Program seventeen");
    EXPECT_EQ(Module().LoadString(17, false), u"");
    // A library replaces the one before; freeing leaves the program's texts.
    LoadHebrew();
    EXPECT_EQ(Module().LoadString(17, false), kHebrew17);
    EXPECT_FALSE(Module().LoadForLocale(0x0407));
    EXPECT_EQ(res::LoadStringText(nullptr, 17), u"Program seventeen");
}

TEST_F(LanguageModuleTest, LayoutFunctionsAreAbsent) {
    fs::SetLastError(0);
    EXPECT_TRUE(CLanguageModule::SetProcessDefaultLayout(0));
    EXPECT_FALSE(CLanguageModule::SetProcessDefaultLayout(1));
    EXPECT_EQ(fs::GetLastError(), 120u);
    DWORD layout = 7;
    fs::SetLastError(0);
    EXPECT_FALSE(CLanguageModule::GetProcessDefaultLayout(&layout));
    EXPECT_EQ(fs::GetLastError(), 120u);
}

TEST_F(LanguageModuleTest, ResStringGrowsUntilItFits) {
    CResString s;
    EXPECT_TRUE(s.Load(nullptr, 16));
    EXPECT_EQ(s.Text(), u"Open %1 from %2");
    EXPECT_FALSE(s.Load(nullptr, 99));
    EXPECT_EQ(s.Text(), u"");
}

}  // namespace
