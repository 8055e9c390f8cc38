// Tree view and tab control on the null backend: building and walking a
// tree, expansion and collapse with their notifications (an owner that lists
// children when an item opens, as a folder tree does), the caret, and tabs
// with text, images, right-to-left reading and a selection that can be
// refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "win_ctl_harness.h"

namespace {

using ctltest::CtlTest;
using Lines = std::vector<std::string>;

HTREEITEM Insert(HWND tree, HTREEITEM parent, const WChar* text, HTREEITEM after = TVI_LAST,
                 int image = 0, int selected = 1, LPARAM data = 0) {
    TVINSERTSTRUCT is;
    is.hParent = parent;
    is.hInsertAfter = after;
    is.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    is.item.pszText = const_cast<WChar*>(text);
    is.item.iImage = image;
    is.item.iSelectedImage = selected;
    is.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(
        SendMessage(tree, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&is)));
}

HTREEITEM Next(HWND tree, HTREEITEM from, UINT code) {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(from)));
}

std::u16string TextOf(HWND tree, HTREEITEM item) {
    WChar buf[64] = {};
    TVITEM it;
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 64;
    if (!SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it))) return u"<none>";
    return buf;
}

std::vector<std::u16string> Children(HWND tree, HTREEITEM parent) {
    std::vector<std::u16string> out;
    for (HTREEITEM c = Next(tree, parent, TVGN_CHILD); c; c = Next(tree, c, TVGN_NEXT))
        out.push_back(TextOf(tree, c));
    return out;
}

bool Expanded(HWND tree, HTREEITEM item) {
    return SendMessage(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) != 0;
}

using TreeViewTest = CtlTest;

TEST_F(TreeViewTest, InsertAndWalkTheTree) {
    HWND tree = Child(WC_TREEVIEW, TVS_HASBUTTONS | TVS_LINESATROOT, 50);
    HTREEITEM pc = Insert(tree, TVI_ROOT, u"My Computer", TVI_LAST, 2, 3, 77);
    HTREEITEM storage = Insert(tree, pc, u"Storage");
    HTREEITEM card = Insert(tree, pc, u"Card");
    Insert(tree, pc, u"Apps", TVI_FIRST);
    Insert(tree, pc, u"Maps", TVI_SORT);
    Insert(tree, storage, u"x");
    Insert(tree, pc, u"Between", storage);
    EXPECT_EQ(Children(tree, pc),
              (std::vector<std::u16string>{u"Apps", u"Maps", u"Storage", u"Between", u"Card"}));
    EXPECT_EQ(SendMessage(tree, TVM_GETCOUNT, 0, 0), 7);
    EXPECT_EQ(Next(tree, nullptr, TVGN_ROOT), pc);
    EXPECT_EQ(Next(tree, storage, TVGN_PARENT), pc);
    EXPECT_EQ(Next(tree, pc, TVGN_PARENT), nullptr);
    EXPECT_EQ(Next(tree, Next(tree, card, TVGN_PREVIOUS), TVGN_PREVIOUS), storage);
    EXPECT_EQ(Next(tree, card, TVGN_NEXT), nullptr);

    TVITEM it;
    it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    it.hItem = pc;
    ASSERT_TRUE(SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it)));
    EXPECT_EQ(it.iImage, 2);
    EXPECT_EQ(it.iSelectedImage, 3);
    EXPECT_EQ(it.lParam, 77);
    EXPECT_EQ(it.cChildren, 1);
    it.hItem = reinterpret_cast<HTREEITEM>(0x7777);
    EXPECT_FALSE(SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it)));

    // Deleting an item takes its children; every item is announced.
    SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(storage));
    EXPECT_EQ(Take(), Lines({"TVN_DELETEITEM 50", "TVN_DELETEITEM 50"}));
    EXPECT_EQ(TextOf(tree, storage), u"<none>");
    // An owner that deletes the item again while told of it changes nothing.
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code != TVN_DELETEITEM) return false;
        auto* tv = reinterpret_cast<NMTREEVIEW*>(nm);
        SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(tv->itemOld.hItem));
        return true;
    };
    SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    ctltest::Answer() = nullptr;
    EXPECT_EQ(SendMessage(tree, TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(Next(tree, nullptr, TVGN_ROOT), nullptr);
}

TEST_F(TreeViewTest, ExpansionNotifiesAndTheOwnerRefillsChildren) {
    HWND tree = Child(WC_TREEVIEW, TVS_HASBUTTONS | TVS_EDITLABELS, 51);
    HTREEITEM root = Insert(tree, TVI_ROOT, u"\\");
    HTREEITEM folder = Insert(tree, root, u"Maps");
    Insert(tree, folder, u"");  // a placeholder so that it can open
    HTREEITEM leaf = Insert(tree, root, u"readme");
    Take();
    // The folder tree's way: after an item opens, its children are listed
    // afresh; after it closes, one placeholder is put back.
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code != TVN_ITEMEXPANDED) return false;
        auto* tv = reinterpret_cast<NMTREEVIEW*>(nm);
        HTREEITEM item = tv->itemNew.hItem;
        if (item != folder) return false;
        while (HTREEITEM c = Next(tree, item, TVGN_CHILD))
            SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(c));
        if (tv->action == TVE_EXPAND) {
            Insert(tree, item, u"a.shp");
            Insert(tree, item, u"b.shp");
        } else {
            Insert(tree, item, u"");
        }
        return true;
    };
    EXPECT_TRUE(SendMessage(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root)));
    EXPECT_TRUE(Expanded(tree, root));
    Take();
    win::TreeViewUserToggle(tree, folder);
    EXPECT_EQ(Take(), Lines({"TVN_ITEMEXPANDING 51", "TVN_ITEMEXPANDED 51", "TVN_DELETEITEM 51"}));
    EXPECT_TRUE(Expanded(tree, folder));
    EXPECT_EQ(Children(tree, folder), (std::vector<std::u16string>{u"a.shp", u"b.shp"}));
    win::TreeViewUserToggle(tree, folder);
    EXPECT_FALSE(Expanded(tree, folder));
    EXPECT_EQ(Children(tree, folder), (std::vector<std::u16string>{u""}));

    // Nothing to open on a leaf; a refusal keeps the item closed.
    Take();
    EXPECT_FALSE(SendMessage(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(leaf)));
    EXPECT_TRUE(Take().empty());
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        *r = nm->code == TVN_ITEMEXPANDING;
        return *r != 0;
    };
    EXPECT_FALSE(SendMessage(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(folder)));
    EXPECT_FALSE(Expanded(tree, folder));
    ctltest::Answer() = nullptr;

    // Collapse-reset drops the children.
    SendMessage(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(folder));
    SendMessage(tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                reinterpret_cast<LPARAM>(folder));
    EXPECT_TRUE(Children(tree, folder).empty());

    // With the edit-labels style removed no label can be edited.
    EXPECT_NE(SendMessage(tree, TVM_EDITLABEL, 0, reinterpret_cast<LPARAM>(leaf)), 0);
    SendMessage(tree, TVM_ENDEDITLABELNOW, TRUE, 0);
    SetWindowLong(tree, GWL_STYLE,
                  GetWindowLong(tree, GWL_STYLE) & ~static_cast<LONG>(TVS_EDITLABELS));
    EXPECT_EQ(SendMessage(tree, TVM_EDITLABEL, 0, reinterpret_cast<LPARAM>(leaf)), 0);
}

// The tree's label editor is the list view's: it ends once, keeping the
// text, on Enter or when it loses the focus; Escape cancels; it wants every
// key in a dialog; an owner that starts another edit or moves the focus
// from its end notification ends nothing twice; an item deleted meanwhile
// is not touched.
TEST_F(TreeViewTest, LabelEditEndsOnceOnEnterEscapeOrFocusLoss) {
    HWND tree = Child(WC_TREEVIEW, TVS_EDITLABELS, 53);
    HWND other = Child(u"EDIT", 0, 54, RECT{0, 210, 100, 230});
    HTREEITEM maps = Insert(tree, TVI_ROOT, u"Maps", TVI_LAST, 0, 1, 7);
    HTREEITEM data = Insert(tree, TVI_ROOT, u"Data");
    struct End {
        HTREEITEM item;
        LPARAM data;
        std::u16string text;  // "<null>" when cancelled
    };
    std::vector<End> ends;
    std::function<void()> onEnd;
    bool accept = true;
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT* r) {
        if (nm->code != TVN_ENDLABELEDIT) return false;
        auto* di = reinterpret_cast<NMTVDISPINFO*>(nm);
        ends.push_back(
            {di->item.hItem, di->item.lParam, di->item.pszText ? di->item.pszText : u"<null>"});
        if (onEnd) onEnd();
        *r = accept;
        return true;
    };
    auto begin = [&](HTREEITEM item) {
        return reinterpret_cast<HWND>(
            SendMessage(tree, TVM_EDITLABEL, 0, reinterpret_cast<LPARAM>(item)));
    };

    // Enter: the label takes the text and the tree the focus.
    HWND edit = begin(maps);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(GetWindowTextString(edit), u"Maps");
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessage(tree, TVM_GETEDITCONTROL, 0, 0)), edit);
    EXPECT_EQ(SendMessage(edit, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
    SetWindowText(edit, u"Charts");
    win::input::Key(VK_RETURN);
    win::input::DrainQueue();
    EXPECT_FALSE(IsWindow(edit));
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].item, maps);
    EXPECT_EQ(ends[0].data, 7);
    EXPECT_EQ(ends[0].text, u"Charts");
    EXPECT_EQ(TextOf(tree, maps), u"Charts");
    EXPECT_EQ(GetFocus(), tree);
    EXPECT_EQ(SendMessage(tree, TVM_GETEDITCONTROL, 0, 0), 0);

    // Escape: no text, the label stays.
    ends.clear();
    edit = begin(data);
    SetWindowText(edit, u"zzz");
    win::input::Key(VK_ESCAPE);
    win::input::DrainQueue();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].text, u"<null>");
    EXPECT_EQ(TextOf(tree, data), u"Data");

    // The focus going elsewhere ends the edit, keeping the text, and leaves
    // the focus where it went.
    ends.clear();
    edit = begin(data);
    SetWindowText(edit, u"Layers");
    SetFocus(other);
    EXPECT_FALSE(IsWindow(edit));
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].text, u"Layers");
    EXPECT_EQ(TextOf(tree, data), u"Layers");
    EXPECT_EQ(GetFocus(), other);

    // An owner that, told of the end, moves the focus, ends the edit again
    // and starts another: one end, and no second edit.
    ends.clear();
    edit = begin(maps);
    HWND nested = reinterpret_cast<HWND>(1);
    onEnd = [&] {
        SetFocus(other);
        SendMessage(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
        nested = begin(data);
    };
    SendMessage(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
    onEnd = nullptr;
    EXPECT_EQ(ends.size(), 1u);
    EXPECT_EQ(nested, nullptr);
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(GetFocus(), other);
    EXPECT_EQ(SendMessage(tree, TVM_GETEDITCONTROL, 0, 0), 0);

    // Starting an edit while one is open ends the first.
    ends.clear();
    HWND first = begin(maps);
    SetWindowText(first, u"Sheets");
    HWND second = begin(data);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].item, maps);
    EXPECT_EQ(TextOf(tree, maps), u"Sheets");
    SendMessage(tree, TVM_ENDEDITLABELNOW, TRUE, 0);

    // The item deleted while its label is edited: the end names no item.
    ends.clear();
    edit = begin(data);
    SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(data));
    SetWindowText(edit, u"gone");
    SendMessage(tree, TVM_ENDEDITLABELNOW, FALSE, 0);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].item, nullptr);
    EXPECT_EQ(Children(tree, TVI_ROOT), (std::vector<std::u16string>{u"Sheets"}));

    // An owner that destroys the tree when told of the end.
    edit = begin(maps);
    onEnd = [&] { DestroyWindow(tree); };
    SendMessage(edit, WM_KEYDOWN, VK_RETURN, 0);
    onEnd = nullptr;
    EXPECT_FALSE(IsWindow(tree));
    EXPECT_FALSE(IsWindow(edit));
    ctltest::Answer() = nullptr;
}

TEST_F(TreeViewTest, TheCaretFollowsSelectionAndOpensItsParents) {
    HWND tree = Child(WC_TREEVIEW, TVS_HASBUTTONS, 52);
    HTREEITEM root = Insert(tree, TVI_ROOT, u"My Computer");
    HTREEITEM storage = Insert(tree, root, u"Storage Card");
    HTREEITEM maps = Insert(tree, storage, u"Maps");
    Take();
    EXPECT_TRUE(SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(maps)));
    EXPECT_EQ(Next(tree, nullptr, TVGN_CARET), maps);
    EXPECT_TRUE(Expanded(tree, root));
    EXPECT_TRUE(Expanded(tree, storage));
    Lines heard = Take();
    ASSERT_GE(heard.size(), 2u);
    EXPECT_EQ(heard.front(), "TVN_SELCHANGING 52");
    EXPECT_EQ(heard.back(), "TVN_SELCHANGED 52");
    EXPECT_EQ(SendMessage(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(maps), TVIS_SELECTED),
              static_cast<LRESULT>(TVIS_SELECTED));

    // A tap on another item moves the caret, unless the owner refuses.
    win::TreeViewUserSelect(tree, storage);
    EXPECT_EQ(Next(tree, nullptr, TVGN_CARET), storage);
    EXPECT_EQ(SendMessage(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(maps), TVIS_SELECTED),
              0);
    EXPECT_EQ(Take(),
              Lines({"NM_SETFOCUS 52", "TVN_SELCHANGING 52", "TVN_SELCHANGED 52", "NM_CLICK 52"}));
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        *r = nm->code == TVN_SELCHANGING;
        return *r != 0;
    };
    win::TreeViewUserSelect(tree, root);
    EXPECT_EQ(Next(tree, nullptr, TVGN_CARET), storage);
    ctltest::Answer() = nullptr;

    // Keys walk the visible items.
    SendMessage(tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Next(tree, nullptr, TVGN_CARET), maps);
    SendMessage(tree, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(Next(tree, nullptr, TVGN_CARET), storage);
    SendMessage(tree, WM_KEYDOWN, VK_LEFT, 0);  // an open item closes first
    EXPECT_FALSE(Expanded(tree, storage));

    // Item rectangles and hit tests agree.
    RECT r;
    std::memcpy(static_cast<void*>(&r), &storage, sizeof storage);
    ASSERT_TRUE(SendMessage(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
    TVHITTESTINFO hi;
    hi.pt = POINT{r.left + 1, r.top + 1};
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(
                  SendMessage(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi))),
              storage);
    EXPECT_EQ(hi.flags, TVHT_ONITEMLABEL);
    std::memcpy(static_cast<void*>(&r), &maps, sizeof maps);  // hidden under a closed parent
    EXPECT_FALSE(SendMessage(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
}

using TabTest = CtlTest;

int AddTab(HWND tab, int index, const WChar* text, int image = -1, UINT extra = 0) {
    TCITEM ti;
    ti.mask = TCIF_TEXT | TCIF_IMAGE | extra;
    ti.pszText = const_cast<WChar*>(text);
    ti.iImage = image;
    return static_cast<int>(SendMessage(tab, TCM_INSERTITEM, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(&ti)));
}

TEST_F(TabTest, TabsKeepTextImagesAndReadingOrder) {
    HWND tab = Child(WC_TABCONTROL, 0, 60, RECT{0, 0, 200, 150});
    EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), -1);
    EXPECT_EQ(AddTab(tab, 0, u"General", 0), 0);
    EXPECT_EQ(AddTab(tab, 5, u"Symbol", 1, TCIF_RTLREADING), 1);
    EXPECT_EQ(AddTab(tab, 0, u"First"), 0);
    EXPECT_EQ(SendMessage(tab, TCM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), 1);  // the first inserted stays selected

    WChar buf[32] = {};
    TCITEM ti;
    ti.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_RTLREADING;
    ti.pszText = buf;
    ti.cchTextMax = 32;
    ASSERT_TRUE(SendMessage(tab, TCM_GETITEM, 2, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_EQ(std::u16string(buf), u"Symbol");
    EXPECT_EQ(ti.iImage, 1);
    EXPECT_EQ(ti.mask & TCIF_RTLREADING, TCIF_RTLREADING);
    ti.mask = TCIF_TEXT | TCIF_RTLREADING;
    SendMessage(tab, TCM_GETITEM, 1, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(ti.mask & TCIF_RTLREADING, 0u);

    ti.mask = TCIF_TEXT;
    ti.pszText = const_cast<WChar*>(u"Allgemein");
    EXPECT_TRUE(SendMessage(tab, TCM_SETITEM, 1, reinterpret_cast<LPARAM>(&ti)));
    ti.pszText = buf;
    SendMessage(tab, TCM_GETITEM, 1, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::u16string(buf), u"Allgemein");
    EXPECT_FALSE(SendMessage(tab, TCM_SETITEM, 9, reinterpret_cast<LPARAM>(&ti)));

    // The display area lies inside the control, below the tabs.
    RECT r{0, 0, 200, 150};
    SendMessage(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    EXPECT_GT(r.top, 0);
    EXPECT_LT(r.bottom, 150);
    SendMessage(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 150);
}

TEST_F(TabTest, AUsersTapNotifiesAndMayBeRefused) {
    HWND tab = Child(WC_TABCONTROL, 0, 61);
    AddTab(tab, 0, u"One");
    AddTab(tab, 1, u"Two");
    AddTab(tab, 2, u"Three");
    EXPECT_EQ(SendMessage(tab, TCM_SETCURSEL, 2, 0), 0);  // silent
    EXPECT_TRUE(Take().empty());
    win::TabUserSelect(tab, 1);
    EXPECT_EQ(Take(), Lines({"TCN_SELCHANGING 61", "TCN_SELCHANGE 61"}));
    EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), 1);
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        *r = nm->code == TCN_SELCHANGING;
        return *r != 0;
    };
    win::TabUserSelect(tab, 0);
    EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), 1);
    ctltest::Answer() = nullptr;

    // A tap on the first tab's rectangle.
    RECT r;
    SendMessage(tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    win::input::TapAt(tab, POINT{r.left + 2, r.top + 2});
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(SendMessage(tab, TCM_DELETEITEM, 0, 0));
    EXPECT_EQ(SendMessage(tab, TCM_GETCURSEL, 0, 0), -1);
}

}  // namespace
