// List view, header and image lists on the null backend: columns kept in the
// header, cells, selection and check boxes by tapping with the notifications
// in order, sorting with a callback, label editing with a movable editor,
// hit tests, custom draw and image lists from a bitmap resource.
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/win/dialog.h"
#include "win_ctl_harness.h"

namespace {

using ctltest::CtlTest;
using Lines = std::vector<std::string>;

int AddColumn(HWND list, int index, const WChar* text, int width, int subItem = -1) {
    LVCOLUMN c;
    c.mask = LVCF_TEXT | LVCF_WIDTH | (subItem >= 0 ? LVCF_SUBITEM : 0);
    c.pszText = const_cast<WChar*>(text);
    c.cx = width;
    c.iSubItem = subItem;
    return static_cast<int>(SendMessage(list, LVM_INSERTCOLUMN, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(&c)));
}

int AddItem(HWND list, int index, const WChar* text, LPARAM data = 0, int image = 0) {
    LVITEM it;
    it.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    it.iItem = index;
    it.pszText = const_cast<WChar*>(text);
    it.lParam = data;
    it.iImage = image;
    return static_cast<int>(SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it)));
}

void SetText(HWND list, int item, int sub, const WChar* text) {
    LVITEM it;
    it.iSubItem = sub;
    it.pszText = const_cast<WChar*>(text);
    SendMessage(list, LVM_SETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}

std::u16string Text(HWND list, int item, int sub = 0) {
    WChar buf[64] = {};
    LVITEM it;
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = 64;
    SendMessage(list, LVM_GETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    return buf;
}

UINT State(HWND list, int item, UINT mask) {
    return static_cast<UINT>(SendMessage(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
}

void CopyTextForTest(const std::u16string& t, WChar* out, int size) {
    size_t n = std::min(t.size(), static_cast<size_t>(size - 1));
    std::copy_n(t.data(), n, out);
    out[n] = 0;
}

HWND Header(HWND list) {
    return reinterpret_cast<HWND>(SendMessage(list, LVM_GETHEADER, 0, 0));
}

class ListViewTest : public CtlTest {
protected:
    HWND MakeList(DWORD style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS) {
        HWND list = Child(WC_LISTVIEW, style, 40, RECT{0, 0, 200, 120});
        AddColumn(list, 0, u"Name", 60);
        AddColumn(list, 1, u"Type", 50);
        AddColumn(list, 2, u"Value", 70);
        const WChar* names[] = {u"Bravo", u"alpha", u"Charlie", u"delta"};
        for (int i = 0; i < 4; ++i) {
            AddItem(list, i, names[i], 100 + i, i % 3);
            SetText(list, i, 1, u"T");
            SetText(list, i, 2, text::Format(u"%d", i * 10).c_str());
        }
        Take();
        return list;
    }
};

TEST_F(ListViewTest, ColumnsLiveInTheHeaderWithOrderDataAndImages) {
    HWND list = MakeList();
    HWND header = Header(list);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(GetClassNameText(header), u"SysHeader32");
    EXPECT_EQ(SendMessage(header, HDM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessage(list, LVM_GETCOLUMNWIDTH, 2, 0), 70);
    EXPECT_TRUE(SendMessage(list, LVM_SETCOLUMNWIDTH, 1, 44));
    HDITEM hd;
    hd.mask = HDI_WIDTH;
    SendMessage(header, HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&hd));
    EXPECT_EQ(hd.cxy, 44);

    // Column data and the image flag through the header, as the list's
    // owners keep them.
    hd.mask = HDI_LPARAM | HDI_IMAGE | HDI_FORMAT;
    hd.lParam = 0x12345678;
    hd.iImage = 2;
    hd.fmt = HDF_STRING | HDF_IMAGE;
    EXPECT_TRUE(SendMessage(header, HDM_SETITEM, 2, reinterpret_cast<LPARAM>(&hd)));
    HDITEM back;
    back.mask = HDI_LPARAM | HDI_IMAGE | HDI_FORMAT;
    SendMessage(header, HDM_GETITEM, 2, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(back.lParam, 0x12345678);
    EXPECT_EQ(back.iImage, 2);
    EXPECT_EQ(back.fmt & HDF_IMAGE, HDF_IMAGE);
    LVCOLUMN col;
    col.mask = LVCF_IMAGE | LVCF_WIDTH;
    SendMessage(list, LVM_GETCOLUMN, 2, reinterpret_cast<LPARAM>(&col));
    EXPECT_EQ(col.iImage, 2);

    // Swapping the display order moves the strips, not the data.
    int order[3] = {0, 2, 1};
    EXPECT_TRUE(SendMessage(list, LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order)));
    int got[3] = {};
    SendMessage(list, LVM_GETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(got));
    EXPECT_EQ(std::vector<int>(got, got + 3), std::vector<int>({0, 2, 1}));
    RECT r;
    r.top = 2;  // sub-item
    r.left = LVIR_BOUNDS;
    SendMessage(list, LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.right, 130);
    EXPECT_EQ(r.top, 20 + 16);  // below the header, second row
    int bad[3] = {0, 0, 1};
    EXPECT_FALSE(SendMessage(list, LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(bad)));

    // Hit test of a cell: the strip of column 2 (sub-item 2) now lies second.
    LVHITTESTINFO hi;
    hi.pt = POINT{70, 20 + 16 * 3 + 4};
    EXPECT_EQ(SendMessage(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hi)), 3);
    EXPECT_EQ(hi.iSubItem, 2);
    hi.pt = POINT{10, 20 + 16 * 9};
    EXPECT_EQ(SendMessage(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hi)), -1);

    // Deleting the first column repeatedly empties the list of columns.
    while (SendMessage(header, HDM_GETITEMCOUNT, 0, 0) > 0)
        ASSERT_TRUE(SendMessage(list, LVM_DELETECOLUMN, 0, 0));
    EXPECT_FALSE(SendMessage(list, LVM_DELETECOLUMN, 0, 0));
    EXPECT_EQ(Text(list, 2, 0), u"Charlie");  // the rows keep their cells
}

TEST_F(ListViewTest, TapsSelectWithNotificationsInOrderAndARefusalHolds) {
    HWND list = MakeList();
    win::ListViewUserTap(list, 1, 2);
    EXPECT_EQ(Take(), Lines({"NM_SETFOCUS 40", "LVN_ITEMCHANGING 40", "LVN_ITEMCHANGED 40",
                             "NM_CLICK 40"}));
    EXPECT_EQ(State(list, 1, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);

    win::ListViewUserTap(list, 3);
    // Row 1 loses the selection, then the focus; row 3 gets both.
    EXPECT_EQ(Take(), Lines({"LVN_ITEMCHANGING 40", "LVN_ITEMCHANGED 40", "LVN_ITEMCHANGING 40",
                             "LVN_ITEMCHANGED 40", "LVN_ITEMCHANGING 40", "LVN_ITEMCHANGED 40",
                             "NM_CLICK 40"}));
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
    EXPECT_EQ(SendMessage(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);

    // The owner refuses every change: nothing moves.
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        *r = nm->code == LVN_ITEMCHANGING;
        return nm->code == LVN_ITEMCHANGING;
    };
    win::ListViewUserTap(list, 0);
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
    EXPECT_EQ(State(list, 0, LVIS_SELECTED), 0u);
    ctltest::Answer() = nullptr;

    // Keyboard: down moves selection and focus, and the row comes into view.
    SendMessage(list, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);
    Take();
    win::ListViewUserDoubleTap(list, 2, 1);
    EXPECT_EQ(Take(), Lines({"NM_DBLCLK 40", "LVN_ITEMACTIVATE 40"}));
}

TEST_F(ListViewTest, CheckBoxesAreStateImagesToggledOnTheirIcon) {
    HWND list = MakeList(LVS_REPORT);
    SendMessage(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(State(list, 0, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    AddItem(list, 4, u"echo");
    EXPECT_EQ(State(list, 4, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    win::ListViewUserTap(list, 2, 0, true);
    EXPECT_EQ(State(list, 2, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_EQ(State(list, 2, LVIS_SELECTED), 0u);  // the check box does not select
    win::ListViewUserTap(list, 2, 0, true);
    EXPECT_EQ(State(list, 2, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));

    // A tap on the left strip of a row is on its state icon.
    LVHITTESTINFO hi;
    hi.pt = POINT{3, 20 + 16 + 3};
    SendMessage(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(hi.iItem, 1);
    EXPECT_EQ(hi.flags, LVHT_ONITEMSTATEICON);
    win::input::TapAt(list, POINT{3, 20 + 16 + 3});
    win::input::DrainQueue();
    EXPECT_EQ(State(list, 1, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    // Multiple selection: a tap selects only the tapped row.
    win::ListViewUserTap(list, 0);
    win::ListViewUserTap(list, 3);
    EXPECT_EQ(SendMessage(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
}

int CALLBACK_ByData(LPARAM a, LPARAM b, LPARAM descending) {
    int r = a < b ? -1 : a > b ? 1 : 0;
    return descending ? -r : r;
}

TEST_F(ListViewTest, SortingByCallbackAndSortedInsertion) {
    HWND list = MakeList();
    EXPECT_TRUE(SendMessage(list, LVM_SORTITEMS, 1, reinterpret_cast<LPARAM>(&CALLBACK_ByData)));
    EXPECT_EQ(Text(list, 0), u"delta");
    EXPECT_EQ(Text(list, 0, 2), u"30");  // the cells travel with the row
    EXPECT_EQ(Text(list, 3), u"Bravo");

    HWND sorted = Child(WC_LISTVIEW, LVS_REPORT | LVS_SORTASCENDING, 41);
    AddColumn(sorted, 0, u"Name", 80);
    for (const WChar* s : {u"b", u"C", u"a"}) AddItem(sorted, 0, s);
    EXPECT_EQ(Text(sorted, 0), u"a");
    EXPECT_EQ(Text(sorted, 1), u"b");
    EXPECT_EQ(Text(sorted, 2), u"C");

    LVFINDINFO fi;
    fi.flags = LVFI_PARAM;
    fi.lParam = 101;
    EXPECT_EQ(
        SendMessage(list, LVM_FINDITEM, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&fi)), 2);
    fi.flags = LVFI_STRING | LVFI_PARTIAL;
    fi.psz = u"CHA";
    EXPECT_EQ(
        SendMessage(list, LVM_FINDITEM, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&fi)), 1);
}

TEST_F(ListViewTest, LabelEditPlacesAMovableEditorAndReportsTheText) {
    HWND list = MakeList(LVS_REPORT | LVS_SINGLESEL | LVS_EDITLABELS);
    std::u16string endText;
    bool endWasNull = false;
    bool accept = true;
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT* r) {
        if (nm->code != LVN_ENDLABELEDIT) return false;
        auto* di = reinterpret_cast<NMLVDISPINFO*>(nm);
        endWasNull = di->item.pszText == nullptr;
        endText = di->item.pszText ? di->item.pszText : u"";
        *r = accept;
        return true;
    };
    HWND edit = reinterpret_cast<HWND>(SendMessage(list, LVM_EDITLABEL, 2, 0));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Take(), Lines({"NM_SETFOCUS 40", "LVN_BEGINLABELEDIT 40", "NM_KILLFOCUS 40"}));
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessage(list, LVM_GETEDITCONTROL, 0, 0)), edit);
    EXPECT_EQ(GetParent(edit), list);
    EXPECT_EQ(GetWindowTextString(edit), u"Charlie");
    EXPECT_EQ(GetFocus(), edit);
    RECT er, label;
    GetWindowRect(edit, &er);
    label.left = LVIR_LABEL;
    SendMessage(list, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&label));
    POINT tl{er.left, er.top};
    ScreenToClient(list, &tl);
    EXPECT_EQ(tl.x, label.left);
    EXPECT_EQ(tl.y, label.top);

    // The cell editor moves it over sub-item 2 and the user types.
    RECT cell;
    cell.top = 2;
    cell.left = LVIR_BOUNDS;
    SendMessage(list, LVM_GETSUBITEMRECT, 2, reinterpret_cast<LPARAM>(&cell));
    MoveWindow(edit, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, true);
    SetWindowText(edit, u"");
    win::input::Type(u"42");
    win::input::DrainQueue();
    win::input::Key(VK_RETURN);
    win::input::DrainQueue();
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(endText, u"42");
    EXPECT_EQ(Text(list, 2), u"42");  // accepted: the label takes it
    EXPECT_EQ(GetFocus(), list);
    Lines heard = Take();
    ASSERT_GE(heard.size(), 2u);
    EXPECT_EQ(Lines(heard.end() - 2, heard.end()),
              Lines({"LVN_ENDLABELEDIT 40", "NM_SETFOCUS 40"}));

    // Escape: the end notification carries no text; the label stays.
    edit = reinterpret_cast<HWND>(SendMessage(list, LVM_EDITLABEL, 1, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowText(edit, u"zzz");
    win::ListViewUserEndEdit(list, true);
    EXPECT_TRUE(endWasNull);
    EXPECT_EQ(Text(list, 1), u"alpha");

    // Refused by the owner on end, and at the start.
    accept = false;
    edit = reinterpret_cast<HWND>(SendMessage(list, LVM_EDITLABEL, 0, 0));
    SetWindowText(edit, u"nope");
    win::ListViewUserEndEdit(list, false);
    EXPECT_EQ(endText, u"nope");
    EXPECT_EQ(Text(list, 0), u"Bravo");
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        *r = nm->code == LVN_BEGINLABELEDIT;
        return *r != 0;
    };
    EXPECT_EQ(SendMessage(list, LVM_EDITLABEL, 0, 0), 0);
    HWND plain = MakeList(LVS_REPORT);
    EXPECT_EQ(SendMessage(plain, LVM_EDITLABEL, 0, 0), 0);  // no LVS_EDITLABELS
}

TEST_F(ListViewTest, CallbackTextIsAskedOfTheOwner) {
    HWND list = MakeList();
    LVITEM it;
    it.mask = LVIF_TEXT;
    it.iItem = 2;
    it.iSubItem = 1;
    it.pszText = LPSTR_TEXTCALLBACK;
    SendMessage(list, LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code != LVN_GETDISPINFO) return false;
        auto* di = reinterpret_cast<NMLVDISPINFO*>(nm);
        // The row's data names the record; the owner reads the cell from it.
        std::u16string t =
            text::Format(u"rec %d/%d", static_cast<int>(di->item.lParam), di->item.iSubItem);
        CopyTextForTest(t, di->item.pszText, di->item.cchTextMax);
        return true;
    };
    EXPECT_EQ(Text(list, 2, 1), u"rec 102/1");
    EXPECT_EQ(Text(list, 1, 1), u"T");  // only the callback cell asks
}

TEST_F(ListViewTest, DeletingNotifiesAndColumnClicksReachTheOwner) {
    HWND list = MakeList();
    SendMessage(list, LVM_DELETEITEM, 1, 0);
    EXPECT_EQ(Take(), Lines({"LVN_DELETEITEM 40"}));
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(Text(list, 1), u"Charlie");
    // An owner that answers TRUE to delete-all hears nothing per row.
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        *r = nm->code == LVN_DELETEALLITEMS;
        return *r != 0;
    };
    SendMessage(list, LVM_DELETEALLITEMS, 0, 0);
    EXPECT_EQ(Take(), Lines({"LVN_DELETEALLITEMS 40"}));
    EXPECT_EQ(SendMessage(list, LVM_GETITEMCOUNT, 0, 0), 0);
    ctltest::Answer() = nullptr;

    win::ListViewUserColumnClick(list, 1);
    EXPECT_EQ(Take(), Lines({"LVN_COLUMNCLICK 40"}));
    HWND nosort = MakeList(LVS_REPORT | LVS_NOSORTHEADER);
    win::ListViewUserColumnClick(nosort, 1);
    EXPECT_TRUE(Take().empty());
}

TEST_F(ListViewTest, CustomDrawAsksForItemsAndSubItemsWhenPainting) {
    HWND list = MakeList();
    std::vector<std::pair<DWORD, int>> stages;
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT* r) {
        if (nm->code != NM_CUSTOMDRAW) return false;
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
        stages.emplace_back(cd->nmcd.dwDrawStage,
                            static_cast<int>(cd->nmcd.dwItemSpec) * 10 + cd->iSubItem);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) *r = CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
            *r = cd->nmcd.dwItemSpec == 1 ? CDRF_NOTIFYSUBITEMDRAW : CDRF_DODEFAULT;
        return true;
    };
    InvalidateRect(list, nullptr, true);
    UpdateWindow(list);
    std::vector<std::pair<DWORD, int>> want = {
        {CDDS_PREPAINT, 0},
        {CDDS_ITEMPREPAINT, 0},
        {CDDS_ITEMPREPAINT, 10},
        {CDDS_ITEMPREPAINT | CDDS_SUBITEM, 10},
        {CDDS_ITEMPREPAINT | CDDS_SUBITEM, 11},
        {CDDS_ITEMPREPAINT | CDDS_SUBITEM, 12},
        {CDDS_ITEMPREPAINT, 20},
        {CDDS_ITEMPREPAINT, 30},
    };
    EXPECT_EQ(stages, want);
}

TEST_F(ListViewTest, OwnerDrawnRowsAndTheirPostPaint) {
    // As the feature list: the owner draws each row, then its symbol after
    // the row is painted.
    HWND list = MakeList(LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED);
    win::ListViewUserTap(list, 1);
    Take();
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT* r) {
        if (nm->code != NM_CUSTOMDRAW) return false;
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) *r = CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) *r = CDRF_NOTIFYPOSTPAINT;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPOSTPAINT)
            ctltest::Log().push_back("post " + std::to_string(cd->nmcd.dwItemSpec));
        return true;
    };
    std::vector<RECT> rows;
    ctltest::DrawHook() = [&](const DRAWITEMSTRUCT& dis) {
        EXPECT_EQ(dis.CtlType, ODT_LISTVIEW);
        EXPECT_EQ(dis.itemData, static_cast<uintptr_t>(100 + dis.itemID));
        rows.push_back(dis.rcItem);
    };
    InvalidateRect(list, nullptr, true);
    UpdateWindow(list);
    EXPECT_EQ(Take(), Lines({"WM_DRAWITEM 0 0", "post 0",
                             "WM_DRAWITEM 1 " + std::to_string(ODS_SELECTED | ODS_FOCUS), "post 1",
                             "WM_DRAWITEM 2 0", "post 2", "WM_DRAWITEM 3 0", "post 3"}));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].top, 20 + 16);
    EXPECT_EQ(rows[1].right, 60 + 50 + 70);
}

TEST_F(ListViewTest, ImageListsFromABitmapResourceWithAMaskColour) {
    HIMAGELIST il = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(129), 16, 1, 0x00C0C0C0);
    ASSERT_NE(il, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(il), 3);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(il, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 15);
    EXPECT_EQ(win::ImageListPixel(il, 0, 0, 0), CLR_NONE);  // the mask colour
    EXPECT_EQ(win::ImageListPixel(il, 0, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(win::ImageListPixel(il, 1, 5, 5), RGB(0, 255, 0));
    EXPECT_EQ(win::ImageListPixel(il, 2, 11, 10), RGB(0, 0, 255));
    EXPECT_EQ(ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(999), 16, 1, 0), nullptr);

    // Drawn: the image over what is there, transparent where masked.
    HBITMAP surface = gdi::CreateSurface(20, 20);
    HDC dc = gdi::CreateSurfaceDC(surface);
    RECT all{0, 0, 20, 20};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, white);
    DeleteObject(white);
    EXPECT_TRUE(ImageList_Draw(il, 1, dc, 2, 2, ILD_TRANSPARENT));
    EXPECT_EQ(GetPixel(dc, 2 + 5, 2 + 5), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255));
    EXPECT_FALSE(ImageList_Draw(il, 3, dc, 0, 0, ILD_NORMAL));
    DeleteDC(dc);
    DeleteObject(surface);

    HWND list = MakeList();
    EXPECT_EQ(SendMessage(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(il)), 0);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessage(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
              il);
    RECT icon;
    icon.left = LVIR_ICON;
    SendMessage(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&icon));
    EXPECT_EQ(icon.right - icon.left, 16);
    LVITEM it;
    it.mask = LVIF_IMAGE;
    it.iItem = 2;
    SendMessage(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_EQ(it.iImage, 2);
    EXPECT_TRUE(ImageList_Remove(il, 0));
    EXPECT_EQ(ImageList_GetImageCount(il), 2);
    EXPECT_TRUE(ImageList_Destroy(il));
    EXPECT_FALSE(ImageList_Destroy(il));
}

}  // namespace
