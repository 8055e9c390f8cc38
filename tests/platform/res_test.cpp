// Resource modules: the .res images windres builds from tests/data/win, read
// by our parser, embedded and from a language library file; windres itself
// decompiles the image as the oracle for the string tables.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "platform/res/formats.h"
#include "platform/res/locale.h"
#include "platform/res/resource.h"
#include "platform/res/version.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "tests/support/run_command.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class ResTest : public ::testing::Test {
protected:
    void SetUp() override { res::ResetForTests(); }
    void TearDown() override { res::ResetForTests(); }
};

// Threads asking for the program module at once share one parsed module:
// handles are numbered in order, so a second registration shows in the gap.
TEST_F(ResTest, ProgramModuleIsRegisteredOnceUnderContention) {
    auto dummy = res::ModuleFromHandle(res::GetProgramModule());
    ASSERT_TRUE(dummy);
    for (int round = 0; round < 50; ++round) {
        res::ResetForTests();
        HINSTANCE before = res::RegisterModule(dummy);
        res::UnregisterModule(before);
        std::atomic<int> ready{0};
        std::vector<HINSTANCE> got(8);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < got.size(); ++i) {
            threads.emplace_back([&, i] {
                ++ready;
                while (ready < int(got.size())) {
                }
                got[i] = res::GetProgramModule();
            });
        }
        for (auto& t : threads) t.join();
        for (HINSTANCE h : got) EXPECT_EQ(h, got[0]);
        HINSTANCE after = res::RegisterModule(dummy);
        res::UnregisterModule(after);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(after) - reinterpret_cast<uintptr_t>(before),
                  2u * 0x10000u)
            << "round " << round;
    }
}

TEST_F(ResTest, EmbeddedStringsFollowTheSixteenEntryBlocks) {
    HINSTANCE program = res::GetProgramModule();
    ASSERT_NE(program, nullptr);
    auto m = res::ModuleFromHandle(program);
    ASSERT_TRUE(m);
    EXPECT_EQ(res::LoadStringText(program, 15), u"fifteen");
    EXPECT_EQ(res::LoadStringText(program, 16), u"sixteen: äöü ß €");
    EXPECT_EQ(res::LoadStringText(program, 17), u"seventeen");
    EXPECT_EQ(res::LoadStringText(program, 18), u"");
    EXPECT_EQ(res::LoadStringText(program, IDS_APP_TITLE), u"Zarnip Test");
    // 15 is the last entry of block 1; 16 and 17 open block 2.
    const res::Resource* b1 = m->Find(res::RT_STRING, WORD(1));
    const res::Resource* b2 = m->Find(res::RT_STRING, WORD(2));
    ASSERT_TRUE(b1 && b2);
    EXPECT_EQ(b1->data.size(), 15 * 2 + 2 + 7 * 2);  // 15 empty entries, then "fifteen"
    WORD len16;
    std::memcpy(&len16, b2->data.data(), 2);
    EXPECT_EQ(len16, 16);
    // Buffer copies truncate and terminate.
    WChar small[5];
    EXPECT_EQ(res::LoadString(program, 17, small, 5), 4);
    EXPECT_EQ(WString(small), u"seve");
    EXPECT_EQ(res::LoadString(program, 9999, small, 5), 0);
    EXPECT_EQ(small[0], 0);
}

TEST_F(ResTest, StringTablesMatchWindresDecompilation) {
    // Decompiled to standard output: nothing is written beside the build.
    std::string cmd = std::string(ZN_WINDRES) + " -i " + ZN_WIN_TEST_RES + " -O rc";
    int status = -1;
    const std::string text = testsupport::RunCommand(cmd, &status);
    ASSERT_EQ(status, 0) << cmd;
    std::istringstream f(text);
    // Lines inside a STRINGTABLE look like:   16, L"sixteen: \344..."
    std::map<UINT, WString> oracle;
    std::string line;
    bool inTable = false;
    while (std::getline(f, line)) {
        if (line.rfind("STRINGTABLE", 0) == 0) inTable = true;
        if (line == "END") inTable = false;
        if (!inTable) continue;
        size_t comma = line.find(',');
        size_t quote = line.find('"');
        if (comma == std::string::npos || quote == std::string::npos) continue;
        UINT id = static_cast<UINT>(std::stoul(line.substr(0, comma)));
        WString s;
        for (size_t i = quote + 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                char e = line[++i];
                if (e == 'x') {
                    unsigned v = 0;
                    ++i;
                    while (i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])))
                        v = v * 16 + unsigned(std::stoi(std::string(1, line[i++]), nullptr, 16));
                    --i;
                    s.push_back(static_cast<WChar>(v));
                } else if (e >= '0' && e <= '7') {
                    unsigned v = 0;
                    while (i < line.size() && line[i] >= '0' && line[i] <= '7')
                        v = v * 8 + unsigned(line[i++] - '0');
                    --i;
                    s.push_back(static_cast<WChar>(v));
                } else {
                    s.push_back(e == 'n' ? u'\n' : e == 't' ? u'\t' : static_cast<WChar>(e));
                }
            } else if (static_cast<unsigned char>(line[i]) >= 0x80) {
                s.push_back(static_cast<WChar>(static_cast<unsigned char>(line[i])));
            } else {
                s.push_back(static_cast<WChar>(line[i]));
            }
        }
        oracle[id] = s;
    }
    auto m = res::ModuleFromHandle(res::GetProgramModule());
    ASSERT_TRUE(m);
    auto ours = m->AllStrings();
    ASSERT_EQ(ours.size(), oracle.size());
    for (const auto& [id, s] : ours) EXPECT_EQ(oracle[id], s) << "string " << id;
}

TEST_F(ResTest, DialogTemplatesByIdAndByName) {
    HINSTANCE program = res::GetProgramModule();
    auto bytes = res::FindResourceData(program, res::RT_DIALOG, WORD(100));
    auto t = ParseDialogTemplate(bytes.data(), bytes.size());
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->extended);
    EXPECT_FALSE(t->hasFont);
    EXPECT_EQ(t->title, u"Choices");
    EXPECT_EQ(t->cx, 160);
    ASSERT_EQ(t->items.size(), 11u);
    EXPECT_EQ(t->items[0].className, u"BUTTON");
    EXPECT_EQ(t->items[6].className, u"EDIT");
    EXPECT_EQ(t->items[7].className, u"LISTBOX");
    EXPECT_EQ(t->items[8].className, u"COMBOBOX");
    EXPECT_EQ(t->items[9].id, static_cast<DWORD>(IDOK));

    auto named =
        res::FindResourceData(nullptr, res::RT_DIALOG, res::ResName::FromPointer(u"dlg_named"));
    auto tn = ParseDialogTemplate(named.data(), named.size());
    ASSERT_TRUE(tn);
    EXPECT_TRUE(tn->extended);
    EXPECT_EQ(tn->faceName, u"Tahoma");
    EXPECT_EQ(tn->pointSize, 8);
    EXPECT_EQ(tn->exStyle, 0x00010000u);
    ASSERT_EQ(tn->items.size(), 2u);
    EXPECT_EQ(tn->items[0].className, u"STATIC");
    EXPECT_EQ(tn->items[1].id, 1101u);
    // "#100" names the ordinal.
    EXPECT_EQ(
        res::FindResourceData(program, res::RT_DIALOG, res::ResName::FromPointer(u"#100")).data(),
        bytes.data());
}

TEST_F(ResTest, VersionMenuToolbarBitmapAndIcon) {
    HINSTANCE program = res::GetProgramModule();
    auto vi = res::ParseVersionInfo(res::FindResourceData(program, res::RT_VERSION, WORD(1)));
    ASSERT_TRUE(vi);
    EXPECT_EQ(vi->fixed.dwProductVersionMS, 458753u);
    EXPECT_EQ(vi->fixed.dwProductVersionLS, 131075u);
    EXPECT_EQ(vi->fixed.dwFileFlags, 3u);
    EXPECT_EQ(vi->strings[u"ProductName"], u"Zarnip Test");

    auto menu = res::ParseMenu(res::FindResourceData(program, res::RT_MENU, WORD(347)));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->size(), 1u);
    const auto& popup = (*menu)[0];
    EXPECT_EQ(popup.text, u"Map");
    ASSERT_EQ(popup.children.size(), 4u);
    EXPECT_EQ(popup.children[0].id, 1003);
    EXPECT_TRUE(popup.children[1].flags & res::MF_GRAYED);
    EXPECT_TRUE(popup.children[2].IsSeparator());
    EXPECT_TRUE(popup.children[3].flags & res::MF_CHECKED);

    auto tb = res::ParseToolbar(res::FindResourceData(program, res::RT_TOOLBAR, WORD(221)));
    ASSERT_TRUE(tb);
    EXPECT_EQ(tb->width, 16);
    EXPECT_EQ(tb->ids, (std::vector<WORD>{1001, 0, 1002}));
    // Toolbars in the resource compiler's 32-bit layout are refused.
    for (WORD id : {222, 223}) {
        auto data = res::FindResourceData(program, res::RT_TOOLBAR, id);
        ASSERT_FALSE(data.empty()) << id;
        EXPECT_FALSE(res::ParseToolbar(data)) << id;
    }

    auto bmp = res::FindResourceData(program, res::RT_BITMAP, WORD(221));
    auto dib = res::ParseDib(bmp);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->width, 4);
    EXPECT_EQ(dib->height, 2);
    EXPECT_EQ(dib->bitCount, 24);
    EXPECT_EQ(dib->bitsOffset, 40u);
    EXPECT_EQ(bmp[dib->bitsOffset + 2], 255);  // red, stored B G R

    auto icon = res::FindIconImage(program, WORD(128), 16);
    EXPECT_FALSE(res::ParseDib(icon));  // as a plain DIB its rows run past the end
    auto idib = res::ParseDib(icon, true);
    ASSERT_TRUE(idib);
    EXPECT_EQ(idib->width, 16);
    EXPECT_EQ(idib->height, 16);
    EXPECT_EQ(idib->maskOffset, 40u + 16 * 16 * 4);
}

TEST_F(ResTest, LanguageLibraryFileAndCurrentModuleSwitch) {
    std::string error;
    auto deu = res::ResourceModule::FromFile(std::string(ZN_WIN_LOCALES) + "/DEU.res", &error);
    ASSERT_TRUE(deu) << error;
    HINSTANCE h = res::RegisterModule(deu);
    EXPECT_EQ(res::LoadStringText(h, 15), u"fünfzehn");
    auto vi = res::ParseVersionInfo(res::FindResourceData(h, res::RT_VERSION, WORD(1)));
    ASSERT_TRUE(vi);
    EXPECT_EQ(vi->fixed.dwFileVersionLS, 7u);
    auto dlg = res::FindResourceData(h, res::RT_DIALOG, WORD(100));
    auto t = ParseDialogTemplate(dlg.data(), dlg.size());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->title, u"Auswahl");
    EXPECT_EQ(deu->Resources()[0].language, 0x0407);

    // Without a handle, lookups use the current module: the program's first.
    EXPECT_EQ(res::LoadStringText(nullptr, IDS_APP_TITLE), u"Zarnip Test");
    res::SetResourceHandle(h);
    EXPECT_EQ(res::LoadStringText(nullptr, IDS_APP_TITLE), u"Zarnip Test (Deutsch)");
    res::SetResourceHandle(nullptr);
    EXPECT_EQ(res::LoadStringText(nullptr, IDS_APP_TITLE), u"Zarnip Test");
    res::UnregisterModule(h);
    EXPECT_EQ(res::LoadStringText(h, 15), u"");
}

TEST_F(ResTest, MalformedImagesAreRefused) {
    std::vector<uint8_t> good = ReadFile(ZN_WIN_TEST_RES);
    ASSERT_GT(good.size(), 64u);
    ASSERT_TRUE(res::ResourceModule::FromBytes(good.data(), good.size()));
    auto put32 = [](std::vector<uint8_t>& v, size_t at, uint32_t x) {
        std::memcpy(v.data() + at, &x, 4);
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    } cases[] = {
        {"data size past the end", [&](auto& v) { put32(v, 32, 0x7FFFFFF0); }},
        {"header size too small", [&](auto& v) { put32(v, 36, 8); }},
        {"header size past the end", [&](auto& v) { put32(v, 36, 0x10000000); }},
        {"cut in a header", [&](auto& v) { v.resize(40); }},
    };
    for (auto& c : cases) {
        auto v = good;
        c.damage(v);
        std::string error;
        EXPECT_FALSE(res::ResourceModule::FromBytes(v.data(), v.size(), &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    // A string block shorter than its lengths claim yields no string.
    EXPECT_FALSE(res::ParseVersionInfo(std::span<const uint8_t>(good.data(), 10)));
    EXPECT_FALSE(res::ParseDib(std::span<const uint8_t>(good.data(), 20)));
    std::string err;
    EXPECT_FALSE(ParseDialogTemplate(good.data(), 17, &err));
    auto tmpl = res::FindResourceData(res::GetProgramModule(), res::RT_DIALOG, WORD(100));
    for (size_t cut : {20u, 40u, 100u})
        EXPECT_FALSE(ParseDialogTemplate(tmpl.data(), std::min(cut, tmpl.size() - 1)))
            << "cut at " << cut;
}

TEST_F(ResTest, MessageFormattingReplacesNumberedInserts) {
    EXPECT_EQ(res::FormatMessageText(u"Error executing '%1'", {u"\\a b.exe"}),
              u"Error executing '\\a b.exe'");
    EXPECT_EQ(res::FormatMessageText(u"%2 before %1, %3 stays", {u"x", u"y"}),
              u"y before x, %3 stays");
}

}  // namespace

namespace {

TEST(LocaleTable, LooksUpByIdAndAbbreviationWithUsableCodePages) {
    const res::LocaleInfo* deu = res::FindLocaleByAbbreviation(u"deu");
    ASSERT_NE(deu, nullptr);
    EXPECT_EQ(deu->lcid, 0x0407u);
    EXPECT_EQ(deu->ansiCodePage, 1252u);
    EXPECT_EQ(res::FindLocale(0x0407), deu);
    // An unlisted sub-language falls back to its primary language's first row.
    EXPECT_EQ(res::FindLocale(0x1407)->lcid, 0x0407u);
    EXPECT_EQ(res::FindLocale(0x007F), nullptr);
    EXPECT_TRUE(res::FindLocale(0x040D)->rightToLeft);
    EXPECT_FALSE(res::FindLocale(0x0409)->rightToLeft);
    std::set<std::u16string> abbreviations;
    for (const auto& l : res::AllLocales()) {
        EXPECT_TRUE(abbreviations.insert(l.abbreviation).second) << "duplicate abbreviation";
        EXPECT_TRUE(text::IsCodePageSupported(l.ansiCodePage)) << "ANSI " << l.ansiCodePage;
        // Code page 720 (Arabic DOS) is missing from the C library's converters.
        if (l.oemCodePage != 720) {
            EXPECT_TRUE(text::IsCodePageSupported(l.oemCodePage)) << "OEM " << l.oemCodePage;
        }
    }
    EXPECT_GE(res::AllLocales().size(), 40u);
}

}  // namespace
