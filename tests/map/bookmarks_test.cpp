// Bookmarks: the bookmarks file, hidden names, lookups and the menu.
#include "map/layers/bookmarks.h"

#include <cstdio>
#include <functional>

#include "core/config_xml_file.h"
#include "platform/fs/fs.h"
#include "platform/win/menu.h"
#include "tests/map/map_doubles.h"
#include "tests/support/run_command.h"

namespace {

class Bookmarks : public MapTest {
protected:
    std::string Xpath(const std::string& file, const std::string& expr) {
        std::string out = testsupport::RunCommand("xmllint --xpath '" + expr + "' '" + Host(file) +
                                                  "' 2>/dev/null");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
};

TEST_F(Bookmarks, GlobalFileRoundTrip) {
    CBookmarkList list;
    list.Add(u"Camp & <river> \"north\"", CDoubleRect(1.5, -2, 3.25, 4e6), true);
    list.Add(u"*", CDoubleRect(0, 0, 1, 1), true);  // hidden: kept, never written
    list.Add(u"Survey", CDoubleRect(5, 6, 7, 8), false);
    list.Add(u"survey", CDoubleRect(9, 9, 9, 9), true);
    ASSERT_TRUE(list.SaveGlobal(u"\\Docs\\ZarnipBookmarks.znx"));

    int rc = std::system(("xmllint --noout '" + Host("Docs/ZarnipBookmarks.znx") + "'").c_str());
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(Xpath("Docs/ZarnipBookmarks.znx", "count(//BOOKMARK)"), "2");
    EXPECT_EQ(Xpath("Docs/ZarnipBookmarks.znx", "string(//BOOKMARK[1]/@name)"),
              "Camp & <river> \"north\"");
    EXPECT_EQ(Xpath("Docs/ZarnipBookmarks.znx", "string(//BOOKMARK[1]/@maxy)"), "4000000");

    CBookmarkList again;
    again.LoadGlobal();
    ASSERT_EQ(again.GetCount(), 2);
    EXPECT_EQ(again.GetAt(0)->m_name, u"Camp & <river> \"north\"");
    EXPECT_EQ(again.GetAt(0)->m_extent, CDoubleRect(1.5, -2, 3.25, 4e6));
    EXPECT_TRUE(again.GetAt(0)->m_global);

    // Names differing in case find the first.
    CDoubleRect e;
    ASSERT_TRUE(list.GetExtentByName(u"SURVEY", e));
    EXPECT_EQ(e, CDoubleRect(5, 6, 7, 8));
    EXPECT_FALSE(list.GetExtentByName(u"none", e));
    EXPECT_TRUE(list.GetExtentAt(3, e));
    EXPECT_FALSE(list.GetExtentAt(4, e));

    // Menu ids follow list order, the hidden one included.
    HMENU menu = CreatePopupMenu();
    list.FillMenu(menu, 2200);
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(GetMenuItemID(menu, k), 2200u + k);
    DestroyMenu(menu);

    list.RemoveBookmarks(false);
    EXPECT_EQ(list.GetCount(), 3);
    list.RemoveBookmarks(true);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(Bookmarks, FilesThatGiveNothing) {
    CBookmarkList list;
    list.Add(u"Survey", CDoubleRect(5, 6, 7, 8), false);
    ASSERT_TRUE(list.SaveGlobal(u"\\Docs\\only-map.znx"));
    EXPECT_EQ(Xpath("Docs/only-map.znx", "count(/Zarnip/BOOKMARKS)"), "1");
    EXPECT_EQ(Xpath("Docs/only-map.znx", "count(//BOOKMARK)"), "0");

    Put("Docs/other.znx", "<Other><BOOKMARKS><BOOKMARK name=\"x\"/></BOOKMARKS></Other>");
    list.Load(u"\\Docs\\other.znx");
    EXPECT_EQ(list.GetCount(), 0);
    list.Load(u"\\Docs\\missing.znx");
    EXPECT_EQ(list.GetCount(), 0);

    Put("Docs/partial.znx",
        "<Zarnip><BOOKMARKS><BOOKMARK name=\"a\" maxx=\"2\"/><OTHER name=\"b\"/><BOOKMARK/>"
        "</BOOKMARKS></Zarnip>");
    list.Load(u"\\Docs\\partial.znx");
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(0)->m_extent, CDoubleRect(0, 0, 2, 0));
    EXPECT_EQ(list.GetAt(1)->m_name, u"");
}

// A save that fails keeps the old bookmarks file whole.
TEST_F(Bookmarks, FailedSaveKeepsTheOldFile) {
    CBookmarkList list;
    list.Add(u"Old", CDoubleRect(1, 2, 3, 4), true);
    ASSERT_TRUE(list.SaveGlobal(u"\\Docs\\b.znx"));
    const std::string before = Get("Docs/b.znx");
    for (int i = 0; i < 50; ++i) list.Add(u"New bookmark", CDoubleRect(i, i, i + 1, i + 1), true);
    struct {
        const char* what;
        std::function<void()> arm;
    } faults[] = {
        {"write fails", [] { fs::test::FailNthWrite(1); }},
        {"disk full", [] { fs::test::SetWriteBudget(100); }},
        {"target locked", [] { fs::test::FailPath(u"\\Docs\\b.znx", fs::kErrorAccessDenied); }},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        f.arm();
        EXPECT_FALSE(list.SaveGlobal(u"\\Docs\\b.znx"));
        fs::test::Reset();
        EXPECT_EQ(Get("Docs/b.znx"), before);
        EXPECT_EQ(HostList("Docs"), std::vector<std::string>{"b.znx"});
    }
    EXPECT_FALSE(list.SaveGlobal(u"\\NoSuchFolder\\b.znx"));
}

}  // namespace
