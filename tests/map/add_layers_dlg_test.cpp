// The Add Layer(s) dialog and its browser tree over a device root and a
// storage card: what is listed, with which icons, what a check collects,
// and the recent paths.
#include "map/dialogs/add_layers_dlg.h"

#include "map/server/server_workspaces.h"
#include "platform/fs/fs.h"
#include "platform/sys/registry.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tests/formats/rpf_test_writer.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/win_golden.h"

namespace {

class AddLayers : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        GetPreferences()->Data().paths.data = u"\\Data";
        MakePointShapefile("Data/shapes", "wells", {"1 1"});
        MakePointShapefile("Data/shapes/deeper", "springs", {"2 2"});
        MakePointShapefile("Data", "ROADS", {"3 3"});
        ASSERT_TRUE(ShellIn("Data", "mv ROADS.shp ROADS.SHP && mv ROADS.shx ROADS.SHX && mv ROADS.dbf ROADS.DBF"));
        MakePointShapefile("Data/roads.mvd.cache", "tile", {"4 4"});
        Put("Data/texts/a.txt", "text");
        Put("Data/pics/bare.jpg", "\xFF\xD8\xFF");
        Put("Data/pics2/aerial.jpg", "\xFF\xD8\xFF");
        Put("Data/pics2/aerial.jgw", "1\n0\n0\n-1\n0\n0\n");
        Put("Data/A0000000.TL1", rpftest::WriteFrame(rpftest::FrameSpec{}));
        CServerWorkspaces image;
        image.AddImageServerWorkspace(u"roads", u"http://127.0.0.1:1/servlet", u"roads");
        ASSERT_TRUE(image.Save(u"\\Data\\roads.mvd"));
        Put("Data/ws/plain.mvd", "<?xml version=\"1.0\"?><Zarnip><WORKSPACES/></Zarnip>\n");
        // A storage card with its own Data folder.
        MakePointShapefile("card/Data", "cardpts", {"5 5"});
        fs::AddMount(u"\\Storage Card", Host("card"));
        CMruList(u"Recent Path List", u"Path%d", 10).Save();
    }
    void TearDown() override {
        win::ClearModalHooks();
        MapTest::TearDown();
    }
    static HWND TreeOf(HWND dlg) { return GetDlgItem(dlg, IDC_ADD_LAYERS_TREE); }
    static HTREEITEM Child(HWND tree, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    }
    static HTREEITEM Next(HWND tree, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    static std::pair<WString, int> Item(HWND tree, HTREEITEM item) {
        WChar buf[128] = {};
        TVITEM it;
        it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_HANDLE;
        it.hItem = item;
        it.pszText = buf;
        it.cchTextMax = 128;
        SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
        return {buf, it.iImage};
    }
    static std::vector<std::pair<WString, int>> Children(HWND tree, HTREEITEM parent) {
        std::vector<std::pair<WString, int>> out;
        for (HTREEITEM c = Child(tree, parent); c; c = Next(tree, c)) out.push_back(Item(tree, c));
        return out;
    }
    static HTREEITEM Find(HWND tree, HTREEITEM parent, const WString& text) {
        for (HTREEITEM c = Child(tree, parent); c; c = Next(tree, c))
            if (Item(tree, c).first == text) return c;
        return nullptr;
    }
};

using Rows = std::vector<std::pair<WString, int>>;

TEST_F(AddLayers, ListsWhatOpensAndCollectsWhatIsChecked) {
    CAddLayersDlg dialog;
    win::PushModalHook([&](HWND dlg) {
        HWND tree = TreeOf(dlg);
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_ADD_LAYERS_PATH), u"\\Data");
        // Main memory and the storage card; the other locations are absent.
        const Rows roots = Children(tree, TVI_ROOT);
        ASSERT_EQ(roots.size(), 2u);
        EXPECT_EQ(roots[0].first, u"Main Memory");
        EXPECT_EQ(roots[1], (std::pair<WString, int>{u"Storage Card", CLayerBrowserTree::kIconCard}));
        HTREEITEM main = Child(tree, TVI_ROOT);
        EXPECT_EQ(Children(tree, main),
                  (Rows{{u"A0000000.TL1 (TLM 50)", CLayerBrowserTree::kIconImage},
                        {u"roads.mvd", CLayerBrowserTree::kIconServer},
                        {u"ROADS.SHP", CLayerBrowserTree::kIconPoint},
                        {u"pics2", CLayerBrowserTree::kIconFolder},
                        {u"shapes", CLayerBrowserTree::kIconFolder},
                        {u"ws", CLayerBrowserTree::kIconFolder}}));
        // Folders open lazily.
        HTREEITEM pics = Find(tree, main, u"pics2");
        EXPECT_EQ(Children(tree, pics), (Rows{{u"Dummy", CLayerBrowserTree::kIconFolder}}));
        win::TreeViewUserToggle(tree, pics);
        pics = Find(tree, main, u"pics2");
        EXPECT_EQ(Children(tree, pics), (Rows{{u"aerial.jpg", CLayerBrowserTree::kIconImage}}));
        // A definition without an image server is not listed, though it
        // keeps its folder.
        win::TreeViewUserToggle(tree, Find(tree, main, u"ws"));
        ASSERT_NE(Find(tree, main, u"ws"), nullptr);
        EXPECT_TRUE(Children(tree, Find(tree, main, u"ws")).empty());

        // Nothing checked: OK only beeps.
        win::PressCaptionOk(dlg);
        win::input::DrainQueue();
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        EXPECT_FALSE(Beeps().empty());

        // A checked folder brings its datasets, never a folder's path; its
        // unopened subfolder brings nothing.
        // A tap on the folder's box.
        RECT label{};
        *reinterpret_cast<HTREEITEM*>(&label) = Find(tree, main, u"shapes");
        SendMessage(tree, TVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&label));
        win::input::TapAt(tree, POINT{label.left - 6, (label.top + label.bottom) / 2});
        win::input::DrainQueue();
        EXPECT_TRUE(dialog.Tree().IsChecked(Find(tree, main, u"shapes")));
        dialog.Tree().ToggleCheck(Find(tree, main, u"roads.mvd"));
        std::vector<WString> paths;
        EXPECT_EQ(dialog.Tree().CollectChecked(paths, false), 2);
        EXPECT_EQ(paths, (std::vector<WString>{u"\\Data\\roads.mvd", u"\\Data\\shapes\\wells.shp"}));
        win::PressCaptionOk(dlg);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_result, (std::vector<WString>{u"\\Data\\roads.mvd", u"\\Data\\shapes\\wells.shp"}));
    CMruList recent(u"Recent Path List", u"Path%d", 10);
    recent.Load();
    ASSERT_EQ(recent.GetCount(), 1);
    EXPECT_EQ(recent[0], u"\\Data");
}

TEST_F(AddLayers, RefreshesOnlyWhenAskedAndTheRecentPathsWaitForOk) {
    CAddLayersDlg dialog;
    win::PushModalHook([&](HWND dlg) {
        const int builds = dialog.Tree().GetBuildCount();
        // The same path again (any case) does not rebuild; the refresh
        // button does.
        SetDlgItemText(dlg, IDC_ADD_LAYERS_PATH, u"\\DATA");
        dialog.Refresh(false);
        EXPECT_EQ(dialog.Tree().GetBuildCount(), builds);
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADD_LAYERS_REFRESH, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_ADD_LAYERS_REFRESH)));
        EXPECT_EQ(dialog.Tree().GetBuildCount(), builds + 1);
        // A path missing on the card: the card lists its own root.
        SetDlgItemText(dlg, IDC_ADD_LAYERS_PATH, u"\\Data\\shapes");
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADD_LAYERS_PATH, CBN_KILLFOCUS),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_ADD_LAYERS_PATH)));
        HWND tree = TreeOf(dlg);
        HTREEITEM main = Child(tree, TVI_ROOT);
        EXPECT_EQ(Children(tree, main), (Rows{{u"wells.shp", CLayerBrowserTree::kIconPoint},
                                              {u"deeper", CLayerBrowserTree::kIconFolder}}));
        EXPECT_EQ(Children(tree, Next(tree, main)), (Rows{{u"Data", CLayerBrowserTree::kIconFolder}}));
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        golden::Expect("add_layers_dialog", dlg);
        win::PressCaptionClose(dlg);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    CMruList recent(u"Recent Path List", u"Path%d", 10);
    recent.Load();
    EXPECT_EQ(recent.GetCount(), 0);
}

}  // namespace
