// The Bookmark and Bookmarks dialogs, driven headless through the window model.
#include "map/layers/bookmark_dlg.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/list_actions.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"

namespace {

class BookmarkDialogs : public MapTest {
protected:
    void TearDown() override {
        win::ClearModalHooks();
        MapTest::TearDown();
    }
    static WString Text(HWND dlg, int id) { return GetDlgItemTextString(dlg, id); }
    static std::vector<WString> Items(HWND list) {
        std::vector<WString> out;
        int n = static_cast<int>(SendMessage(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            WChar buf[300] = {};
            SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
            out.emplace_back(buf);
        }
        return out;
    }
};

TEST_F(BookmarkDialogs, BookmarkFieldsAndTheViewExtent) {
    CBookmark bookmark(u"Bookmark 1", CDoubleRect(1, 2, 3, 4), false);
    mainWindow_.hasView = true;
    mainWindow_.viewExtent = CDoubleRect(-10.5, 40, 5.25, 50);
    win::PushModalHook([&](HWND dlg) {
        EXPECT_EQ(Text(dlg, IDC_BOOKMARK_NAME), u"Bookmark 1");
        EXPECT_EQ(Text(dlg, IDC_BOOKMARK_XMIN), u"1");
        EXPECT_EQ(Text(dlg, IDC_BOOKMARK_YMAX), u"4");
        EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_BOOKMARK_GLOBAL), 0u);
        SetDlgItemText(dlg, IDC_BOOKMARK_NAME, u"Camp");
        CheckDlgButton(dlg, IDC_BOOKMARK_GLOBAL, BST_CHECKED);
        // A tap on the frame takes the view's extent.
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_BOOKMARK_VIEW, STN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_BOOKMARK_VIEW)));
        EXPECT_EQ(Text(dlg, IDC_BOOKMARK_XMIN), u"-10.5");
        EXPECT_EQ(Text(dlg, IDC_BOOKMARK_YMIN), u"40");
        EXPECT_EQ(Text(dlg, IDC_BOOKMARK_NAME), u"Camp");
        // A number that does not read keeps the dialog open.
        SetDlgItemText(dlg, IDC_BOOKMARK_XMAX, u"east");
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        EXPECT_EQ(bookmark.m_name, u"Bookmark 1");
        SetDlgItemText(dlg, IDC_BOOKMARK_XMAX, u"5.25");
        win::PressCaptionOk(dlg);
    });
    ASSERT_TRUE(RunBookmarkDialog(nullptr, &bookmark));
    EXPECT_EQ(bookmark.m_name, u"Camp");
    EXPECT_TRUE(bookmark.m_global);
    EXPECT_EQ(bookmark.m_extent, CDoubleRect(-10.5, 40, 5.25, 50));

    win::PushModalHook([&](HWND dlg) {
        SetDlgItemText(dlg, IDC_BOOKMARK_NAME, u"Changed");
        win::PressCaptionClose(dlg);
    });
    EXPECT_FALSE(RunBookmarkDialog(nullptr, &bookmark));
    EXPECT_EQ(bookmark.m_name, u"Camp");
}

TEST_F(BookmarkDialogs, BookmarksEditAndDelete) {
    CBookmarkList& list = mainWindow_.bookmarks;
    list.Add(u"Zulu", CDoubleRect(0, 0, 1, 1), true);
    list.Add(u"Alpha", CDoubleRect(0, 0, 2, 2), false);
    list.Add(u"Mike", CDoubleRect(0, 0, 3, 3), true);
    CBookmarksDlg dialog(list);
    win::PushModalHook([&](HWND dlg) {
        HWND box = GetDlgItem(dlg, IDC_BOOKMARK_LIST);
        HWND edit = GetDlgItem(dlg, IDC_BOOKMARK_EDIT);
        HWND del = GetDlgItem(dlg, IDC_BOOKMARK_DELETE);
        EXPECT_EQ(Items(box), (std::vector<WString>{u"Alpha", u"Mike", u"Zulu"}));
        EXPECT_FALSE(IsWindowEnabled(edit));
        EXPECT_FALSE(IsWindowEnabled(del));
        // Nothing selected: Edit and Delete do nothing.
        dialog.OnDelete();
        dialog.OnEdit();
        EXPECT_TRUE(MessageTexts().empty());

        win::ListBoxUserSelect(box, 2);  // Zulu
        EXPECT_TRUE(IsWindowEnabled(edit));
        EXPECT_TRUE(IsWindowEnabled(del));

        // Delete, answered No, then Yes.
        win::QueueMessageBoxAnswers({IDNO, IDYES});
        SendMessage(del, BM_CLICK, 0, 0);
        EXPECT_EQ(list.GetCount(), 3);
        SendMessage(del, BM_CLICK, 0, 0);
        EXPECT_EQ(list.GetCount(), 2);
        EXPECT_EQ(Items(box), (std::vector<WString>{u"Alpha", u"Mike"}));
        EXPECT_FALSE(IsWindowEnabled(edit));
        auto log = win::MessageBoxLog();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].text, u"Are you sure you want to delete this bookmark ?");
        EXPECT_EQ(log[0].type & 0xF, MB_YESNO);
        EXPECT_EQ(log[0].type & 0xF0, MB_ICONQUESTION);

        // Edit renames: the item moves to its sorted place.
        win::ListBoxUserSelect(box, 0);  // Alpha
        win::PushModalHook([](HWND inner) {
            SetDlgItemText(inner, IDC_BOOKMARK_NAME, u"Yankee");
            win::PressCaptionOk(inner);
        });
        SendMessage(edit, BM_CLICK, 0, 0);
        EXPECT_EQ(Items(box), (std::vector<WString>{u"Mike", u"Yankee"}));
        win::PressCaptionOk(dlg);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    // The main list keeps its own order: menu ids follow it, not the dialog's.
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(0)->m_name, u"Yankee");
    EXPECT_EQ(list.GetAt(1)->m_name, u"Mike");
}

}  // namespace
