#include "core/folder_tree.h"

#include <filesystem>
#include <fstream>

#include "resources/zres.h"
#include "tests/core/ui_test_util.h"

namespace {

namespace stdfs = std::filesystem;

// Device root: \Data\Sub, \Data\notes.txt, \Maps (files only), \Hidden (a
// hidden file only), \prog; \Storage Card mounted from elsewhere with Maps.
class FolderTreeTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        stdfs::create_directories(root_ / "Data" / "Sub");
        std::ofstream(root_ / "Data" / "notes.txt") << "x";
        stdfs::create_directories(root_ / "Maps");
        std::ofstream(root_ / "Maps" / "roads.shp") << "x";
        stdfs::create_directories(root_ / "Hidden");
        std::ofstream(root_ / "Hidden" / ".secret") << "x";
        card_ = root_.string() + "_card";
        stdfs::remove_all(card_);
        stdfs::create_directories(stdfs::path(card_) / "Maps" / "Topo");
        fs::AddMount(u"\\Storage Card", card_);
        parent_ = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        HWND h = CreateWindowEx(0, WC_TREEVIEW, u"", WS_CHILD | TVS_EDITLABELS, 0, 0, 200, 200,
                                parent_, reinterpret_cast<HMENU>(1107), nullptr, nullptr);
        ASSERT_TRUE(tree_.Attach(h));
        // The parent passes the tree's notifications on, as the dialogs do.
        s_tree = &tree_;
        SetWindowLongPtr(parent_, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&ParentProc));
    }
    void TearDown() override {
        tree_.DestroyWindow();
        DestroyWindow(parent_);
        fs::ClearMounts();
        stdfs::remove_all(card_);
        UiTest::TearDown();
    }
    static LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_NOTIFY && s_tree && s_tree->HandleNotify(l)) return 0;
        return DefWindowProc(h, m, w, l);
    }
    HWND T() { return tree_.GetSafeHwnd(); }
    HTREEITEM Child(HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(
            SendMessage(T(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    }
    HTREEITEM Next(HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(
            SendMessage(T(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    std::vector<WString> Children(HTREEITEM item) {
        std::vector<WString> out;
        for (HTREEITEM c = Child(item); c; c = Next(c)) out.push_back(tree_.GetItemText(c));
        return out;
    }
    bool HasPlaceholder(HTREEITEM item) {
        HTREEITEM c = Child(item);
        return c && tree_.GetItemText(c).empty() && !Next(c);
    }
    void Expand(HTREEITEM item) { SendMessage(T(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)); }
    void Collapse(HTREEITEM item) { SendMessage(T(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item)); }

    static inline CFolderTreeCtrl* s_tree = nullptr;
    std::string card_;
    HWND parent_ = nullptr;
    CFolderTreeCtrl tree_;
};

TEST_F(FolderTreeTest, MyComputerListsTheDeviceLazily) {
    ASSERT_TRUE(tree_.Initialize(nullptr, false));
    EXPECT_EQ(GetWindowLong(T(), GWL_STYLE) & TVS_EDITLABELS, 0);
    HTREEITEM root = tree_.GetRootItem();
    EXPECT_EQ(tree_.GetItemText(root), u"My Computer");
    EXPECT_TRUE(HasPlaceholder(root));
    Expand(root);
    EXPECT_EQ(Children(root),
              (std::vector<WString>{u"Data", u"Hidden", u"Maps", u"prog", u"Storage Card"}));
    // Only folders with folders in them can be expanded while files are hidden.
    HTREEITEM data = tree_.FindChild(root, u"data");
    HTREEITEM maps = tree_.FindChild(root, u"Maps");
    EXPECT_TRUE(HasPlaceholder(data));
    EXPECT_EQ(Child(maps), nullptr);
    EXPECT_TRUE(HasPlaceholder(tree_.FindChild(root, u"Storage Card")));
    // Collapsing puts the placeholder back; expanding lists the folder afresh.
    Expand(data);
    EXPECT_EQ(Children(data), std::vector<WString>{u"Sub"});
    stdfs::create_directories(root_ / "Data" / "Added");
    Collapse(data);
    EXPECT_TRUE(HasPlaceholder(data));
    Expand(data);
    EXPECT_EQ(Children(data), (std::vector<WString>{u"Added", u"Sub"}));
    EXPECT_FALSE(win::IsWaitCursor());
}

TEST_F(FolderTreeTest, FilesShownWhenAsked) {
    ASSERT_TRUE(tree_.Initialize(u"\\", true));
    HTREEITEM top = reinterpret_cast<HTREEITEM>(SendMessage(T(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
    EXPECT_EQ(tree_.GetItemText(top), u"\\");
    // Listed at once: folders first, then files.
    HTREEITEM maps = tree_.FindChild(top, u"Maps");
    HTREEITEM hidden = tree_.FindChild(top, u"Hidden");
    EXPECT_TRUE(HasPlaceholder(maps));   // a file to show
    EXPECT_EQ(Child(hidden), nullptr);   // only a hidden file
    Expand(maps);
    EXPECT_EQ(Children(maps), std::vector<WString>{u"roads.shp"});
    EXPECT_EQ(tree_.GetItemPath(tree_.FindChild(maps, u"roads.shp")), u"\\Maps\\roads.shp");
    HTREEITEM data = tree_.FindChild(top, u"Data");
    Expand(data);
    EXPECT_EQ(Children(data), (std::vector<WString>{u"Sub", u"notes.txt"}));
}

TEST_F(FolderTreeTest, SelectPathIgnoresCaseAndLeavesMissingPathsAlone) {
    ASSERT_TRUE(tree_.Initialize(nullptr, false));
    EXPECT_TRUE(tree_.SelectPath(u"\\storage card\\MAPS"));
    HTREEITEM sel = tree_.GetSelectedItem();
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(tree_.GetItemText(sel), u"Maps");
    EXPECT_EQ(tree_.GetItemPath(sel), u"\\Storage Card\\Maps");
    EXPECT_EQ(Children(sel), std::vector<WString>{u"Topo"});

    const LRESULT count = SendMessage(T(), TVM_GETCOUNT, 0, 0);
    EXPECT_FALSE(tree_.SelectPath(u"\\Storage Card\\Nowhere"));
    EXPECT_FALSE(tree_.SelectPath(u""));
    EXPECT_EQ(SendMessage(T(), TVM_GETCOUNT, 0, 0), count);
    EXPECT_EQ(tree_.GetSelectedItem(), sel);

    // Selecting again lists the folders on the way afresh.
    stdfs::create_directories(stdfs::path(card_) / "Maps" / "Aerial");
    EXPECT_TRUE(tree_.SelectPath(u"\\Storage Card\\Maps\\Topo"));
    EXPECT_EQ(Children(tree_.FindChild(tree_.FindChild(tree_.GetRootItem(), u"Storage Card"), u"Maps")),
              (std::vector<WString>{u"Aerial", u"Topo"}));
    EXPECT_EQ(tree_.GetItemPath(tree_.GetRootItem()), u"");
}

TEST_F(FolderTreeTest, BrowseForFolderReturnsTheChosenFolder) {
    WString seen;
    win::PushModalHook([&](HWND dlg) {
        // The caption buttons replace OK and Cancel.
        EXPECT_EQ(GetDlgItem(dlg, IDOK), nullptr);
        HWND tree = GetDlgItem(dlg, IDC_FOLDER_TREE);
        auto sel = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        WChar buffer[64] = {};
        TVITEM it;
        it.mask = TVIF_TEXT | TVIF_HANDLE;
        it.hItem = sel;
        it.pszText = buffer;
        it.cchTextMax = 64;
        SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
        seen = buffer;
        // The user picks the parent folder and taps OK.
        auto parent = reinterpret_cast<HTREEITEM>(
            SendMessage(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(sel)));
        SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(parent));
        win::PressCaptionOk(dlg);
    });
    WString path = u"\\data\\sub";
    EXPECT_TRUE(BrowseForFolder(nullptr, path));
    EXPECT_EQ(seen, u"Sub");
    EXPECT_EQ(path, u"\\Data");

    win::PushModalHook([](HWND dlg) { win::PressCaptionClose(dlg); });
    EXPECT_FALSE(BrowseForFolder(nullptr, path));
    EXPECT_EQ(path, u"\\Data");
}

}  // namespace
