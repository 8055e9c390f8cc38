// The recent-file list: what a menu shows of each path, and removing one.
#include <gtest/gtest.h>

#include "core/recent_file_list.h"

namespace {

TEST(RecentFileList, DisplayNamesFitTheDisplayLength) {
    struct Case {
        const char16_t* path;
        const char16_t* shown;
    } cases[] = {
        {u"\\Maps\\a.znm", u"\\Maps\\a.znm"},  // fits whole
        {u"\\My Documents\\Field\\Survey 2024\\roads.shp", u"\\My Documents\\...\\roads.shp"},
        {u"\\Storage Card\\A\\B\\C\\D\\E\\layer.shp", u"\\Storage Card\\...\\E\\layer.shp"},
        {u"\\VeryLongFirstFolderNameHere\\x\\layer.shp", u"...\\layer.shp"},
        {u"\\a\\b\\an_extremely_long_layer_file_name_indeed.shp", u"an_extremely_long_layer_file_n"},
    };
    for (const Case& c : cases) {
        CRecentFileList list(u"Recent Layer List", u"Layer%d", 9, 30);
        list.Add(c.path);
        WString shown = list.GetDisplayName(0);
        EXPECT_EQ(text::ToUtf8(shown), text::ToUtf8(c.shown)) << text::ToUtf8(c.path);
        EXPECT_LE(shown.size(), 30u);
    }
    CRecentFileList whole(u"S", u"E%d", 9);
    whole.Add(u"\\a\\b\\an_extremely_long_layer_file_name_indeed.shp");
    EXPECT_EQ(whole.GetDisplayName(0), whole[0]);
    EXPECT_EQ(whole.GetDisplayName(1), u"");
}

TEST(RecentFileList, RemoveKeepsTheOrderOfTheRest) {
    CRecentFileList list(CRecentFileList::kMapSection, CRecentFileList::kMapEntryFormat,
                         CRecentFileList::kMapCount);
    for (int i = 1; i <= 12; ++i) list.Add(text::Format(u"\\m%d.znm", i));
    EXPECT_EQ(list.GetCount(), 9);
    list.Remove(1);
    list.Remove(-1);
    list.Remove(8);
    EXPECT_EQ(list.GetEntries(), (std::vector<WString>{u"\\m12.znm", u"\\m10.znm", u"\\m9.znm", u"\\m8.znm",
                                                      u"\\m7.znm", u"\\m6.znm", u"\\m5.znm", u"\\m4.znm"}));
}

}  // namespace
