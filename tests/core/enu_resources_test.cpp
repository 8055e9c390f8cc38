// The English language library against the program's dialog templates, and
// our resource reader against windres's own decompilation of the library.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include "platform/res/resource.h"
#include "platform/text/text.h"
#include "platform/win/dialog.h"
#include "tests/support/run_command.h"

namespace {

std::shared_ptr<res::ResourceModule> Enu() {
    auto m = res::ResourceModule::FromFile(ZN_ENU_RES);
    EXPECT_TRUE(m);
    return m;
}

TEST(EnglishLibrary, WindresReadsTheSameIdsAndTexts) {
    const std::string rc =
        testsupport::RunCommand(std::string(ZN_WINDRES) + " -i " + ZN_ENU_RES + " -O rc");
    ASSERT_FALSE(rc.empty());
    std::map<UINT, std::string> theirs;
    const std::regex line(R"re(^\s*(\d+),\s*"(.*)"\s*$)re");
    size_t start = 0;
    while (start < rc.size()) {
        size_t end = rc.find('\n', start);
        if (end == std::string::npos) end = rc.size();
        std::smatch m;
        const std::string l = rc.substr(start, end - start);
        if (std::regex_match(l, m, line)) {
            std::string t = m[2];
            std::string u;
            for (size_t i = 0; i < t.size(); ++i) {
                const bool doubled = (t[i] == '"' || t[i] == '\\') && i + 1 < t.size() && t[i + 1] == t[i];
                const bool escaped = t[i] == '\\' && i + 1 < t.size() && t[i + 1] == '"';
                // windres writes line ends and tabs back as escapes.
                const bool control = t[i] == '\\' && i + 1 < t.size() &&
                                     (t[i + 1] == 'r' || t[i + 1] == 'n' || t[i + 1] == 't');
                if (control) {
                    ++i;
                    u.push_back(t[i] == 'r' ? '\r' : t[i] == 'n' ? '\n' : '\t');
                    continue;
                }
                if (doubled || escaped) ++i;
                u.push_back(t[i]);
            }
            theirs[static_cast<UINT>(std::stoul(m[1]))] = u;
        }
        start = end + 1;
    }
    auto ours = Enu()->AllStrings();
    ASSERT_EQ(ours.size(), theirs.size());
    for (const auto& [id, s] : ours) {
        ASSERT_TRUE(theirs.count(id)) << id;
        EXPECT_EQ(text::ToUtf8(s), theirs[id]) << id;
    }
}

TEST(EnglishLibrary, HoldsEveryCaptionAndLabelOfTheProgramsDialogs) {
    auto enu = Enu();
    auto program = res::ModuleFromHandle(res::GetProgramModule());
    ASSERT_TRUE(program);
    int dialogs = 0;
    for (const res::Resource& r : program->Resources()) {
        if (!r.type.IsOrdinal() || r.type.id != res::RT_DIALOG) continue;
        ++dialogs;
        auto tmpl = ParseDialogTemplate(r.data.data(), r.data.size());
        ASSERT_TRUE(tmpl);
        // A named template has no caption id.
        if (r.name.IsOrdinal()) {
            EXPECT_EQ(enu->LoadString(r.name.id).value_or(u"<missing>"), tmpl->title) << r.name.id;
        }
        for (const DialogItemTemplate& item : tmpl->items) {
            const WString cls = text::ToUpper(item.className);
            if (cls != u"BUTTON" && cls != u"STATIC") continue;
            if (item.id == 0xFFFF || item.id == 0xFFFFFFFF || item.title.empty()) continue;
            // An owner-drawn button never shows its text.
            if (cls == u"BUTTON" && (item.style & 0xF) == 0xB) continue;
            EXPECT_EQ(enu->LoadString(item.id).value_or(u"<missing>"), item.title)
                << "dialog " << r.name.id << " control " << item.id;
        }
    }
    EXPECT_GE(dialogs, 7);
}

}  // namespace
