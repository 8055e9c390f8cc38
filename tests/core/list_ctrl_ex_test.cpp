#include "core/list_ctrl_ex.h"

#include "resources/zres.h"
#include "tests/core/ui_test_util.h"

namespace {

class ListCtrlExTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        parent_ = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
        HWND h = CreateWindowEx(0, WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0,
                                300, 200, parent_, reinterpret_cast<HMENU>(10), nullptr, nullptr);
        ASSERT_TRUE(list_.Attach(h));
    }
    void TearDown() override {
        list_.DestroyWindow();
        DestroyWindow(parent_);
        UiTest::TearDown();
    }
    // Rows r0..r3, cells "rN.c", image N on column 0 and 10 + N on column 2,
    // item data 100 + N.
    void Fill4x3() {
        list_.InsertColumn(0, u"A", LVCFMT_LEFT, 50);
        list_.InsertColumn(1, u"B", LVCFMT_LEFT, 60);
        list_.InsertColumn(2, u"C", LVCFMT_LEFT, 70);
        for (int r = 0; r < 4; ++r) {
            const WString base = u"r" + text::IntToText(r);
            list_.InsertItem(r, (base + u".0").c_str(), r);
            list_.SetItemText(r, 1, (base + u".1").c_str());
            list_.SetItemText(r, 2, (base + u".2").c_str());
            list_.SetItemImage(r, 2, 10 + r);
            list_.SetItemData(r, 100 + r);
        }
    }
    // Each row as "text0|text1|text2 image0 image2 data".
    std::vector<WString> Rows() {
        std::vector<WString> rows;
        for (int r = 0; r < list_.GetItemCount(); ++r)
            rows.push_back(list_.GetItemText(r, 0) + u"|" + list_.GetItemText(r, 1) + u"|" +
                           list_.GetItemText(r, 2) + u" " +
                           text::IntToText(list_.GetItemImage(r, 0)) + u" " +
                           text::IntToText(list_.GetItemImage(r, 2)) + u" " +
                           text::IntToText(static_cast<int>(list_.GetItemData(r))));
        return rows;
    }
    static WString Row(int n) {
        const WString b = u"r" + text::IntToText(n);
        return b + u".0|" + b + u".1|" + b + u".2 " + text::IntToText(n) + u" " +
               text::IntToText(10 + n) + u" " + text::IntToText(100 + n);
    }
    HWND parent_ = nullptr;
    CListCtrlEx list_;
};

TEST_F(ListCtrlExTest, MovingRowsTakesEveryCellAlong) {
    Fill4x3();
    ASSERT_TRUE(list_.MoveItem(3, 1));
    EXPECT_EQ(Rows(), (std::vector<WString>{Row(0), Row(3), Row(1), Row(2)}));
    // Downwards the row is inserted before the source goes: it lands at to - 1.
    ASSERT_TRUE(list_.MoveItem(1, 3));
    EXPECT_EQ(Rows(), (std::vector<WString>{Row(0), Row(1), Row(3), Row(2)}));
    EXPECT_FALSE(list_.MoveItem(2, 2));
    EXPECT_FALSE(list_.MoveItem(-1, 2));
    // A negative target means the top.
    ASSERT_TRUE(list_.MoveItem(2, -4));
    EXPECT_EQ(Rows(), (std::vector<WString>{Row(3), Row(0), Row(1), Row(2)}));
    EXPECT_FALSE(list_.CopyItem(1, 1));
    EXPECT_FALSE(list_.CopyItem(9, 0));
    ASSERT_TRUE(list_.CopyItem(0, 4));
    EXPECT_EQ(Rows().back(), Row(3));
}

TEST_F(ListCtrlExTest, SortByColumnIsStableWithAndWithoutCase) {
    list_.InsertColumn(0, u"Name", LVCFMT_LEFT, 80);
    list_.InsertColumn(1, u"Key", LVCFMT_LEFT, 80);
    struct Case {
        std::vector<WString> in;
        bool caseSensitive;
        std::vector<WString> out;
    };
    const Case cases[] = {
        {{u"b", u"A", u"c"}, false, {u"A", u"b", u"c"}},
        {{u"b", u"A", u"c"}, true, {u"A", u"b", u"c"}},
        {{u"a", u"B"}, true, {u"B", u"a"}},
        {{u"a", u"B"}, false, {u"a", u"B"}},
        {{u"x", u"X", u"x"}, false, {u"x", u"X", u"x"}},  // equal keys keep their order
    };
    for (const Case& c : cases) {
        list_.DeleteAllItems();
        for (size_t i = 0; i < c.in.size(); ++i) {
            list_.InsertItem(static_cast<int>(i), u"row");
            list_.SetItemText(static_cast<int>(i), 1, c.in[i].c_str());
            list_.SetItemData(static_cast<int>(i), static_cast<LPARAM>(i));
        }
        list_.SelectItem(0);
        const WString firstKey = c.in[0];
        list_.SortByColumn(1, c.caseSensitive);
        std::vector<WString> got;
        for (int i = 0; i < list_.GetItemCount(); ++i) got.push_back(list_.GetItemText(i, 1));
        EXPECT_EQ(got, c.out);
        // Item data and selection travel with the row.
        for (int i = 0; i < list_.GetItemCount(); ++i)
            EXPECT_EQ(c.in[static_cast<size_t>(list_.GetItemData(i))], got[static_cast<size_t>(i)]);
        const int sel = list_.GetNextItem(-1, LVNI_SELECTED);
        ASSERT_GE(sel, 0);
        EXPECT_EQ(list_.GetItemData(sel), 0);
    }
}

TEST_F(ListCtrlExTest, ChecksHitTestsAndHeaderImages) {
    Fill4x3();
    list_.SetCheck(1, true);
    list_.SetCheck(2, false);
    EXPECT_TRUE(list_.GetCheck(1));
    EXPECT_FALSE(list_.GetCheck(2));
    EXPECT_EQ(list_.GetItemState(1, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_EQ(list_.GetItemState(2, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    EXPECT_TRUE(list_.GetCheck(3));  // no state image at all is not "unchecked"

    RECT row{};
    row.left = LVIR_BOUNDS;
    SendMessage(list_.GetSafeHwnd(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    const int y = (row.top + row.bottom) / 2;
    struct Hit {
        int x, column, left, right;
    };
    const Hit hits[] = {{row.left, 0, row.left, row.left + 50},
                        {row.left + 49, 0, row.left, row.left + 50},
                        {row.left + 50, 1, row.left + 50, row.left + 110},
                        {row.left + 179, 2, row.left + 110, row.left + 180},
                        {row.left + 180, -1, 0, 0}};
    for (const Hit& h : hits) {
        RECT r{};
        EXPECT_EQ(list_.SubItemHitTest(1, POINT{h.x, y}, &r), h.column) << h.x;
        if (h.column >= 0) {
            EXPECT_EQ(r.left, h.left);
            EXPECT_EQ(r.right, h.right);
            EXPECT_EQ(r.top, row.top);
            EXPECT_EQ(r.bottom, row.bottom);
        }
    }
    EXPECT_EQ(list_.SubItemHitTest(1, POINT{row.left + 10, row.bottom + 1}, nullptr), -1);
    // With the first two columns shown the other way round, the strips
    // follow what the user sees (a tap on the left strip hit column 0
    // before, 2026-12-11).
    list_.SwapColumns(0, 1);
    EXPECT_EQ(list_.SubItemHitTest(1, POINT{row.left + 5, y}, nullptr), 1);
    EXPECT_EQ(list_.SubItemHitTest(1, POINT{row.left + 65, y}, nullptr), 0);
    EXPECT_EQ(list_.SubItemHitTest(1, POINT{row.left + 179, y}, nullptr), 2);
    list_.SwapColumns(0, 1);

    // Header images and column data.
    EXPECT_TRUE(list_.SetImageList(IDB_DEFAULT_MARK, 16, 1, RGB(255, 0, 255)));
    list_.SetColumnImage(1, 0);
    HDITEM item;
    item.mask = HDI_FORMAT;
    SendMessage(list_.GetHeader(), HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_NE(item.fmt & HDF_IMAGE, 0);
    EXPECT_EQ(list_.SetColumnImage(1, -1), 0);
    SendMessage(list_.GetHeader(), HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.fmt & HDF_IMAGE, 0);
    list_.SetColumnData(2, 0x12345678);
    EXPECT_EQ(list_.GetColumnData(2), 0x12345678);
    EXPECT_EQ(list_.GetColumnData(0), 0);
}

TEST_F(ListCtrlExTest, ImagesNumbersSelectionAndColumns) {
    Fill4x3();
    // 255 means no image.
    EXPECT_EQ(list_.SetItemImage(0, 0, CListCtrlEx::kNoImage), 0);
    EXPECT_LT(list_.GetItemImage(0, 0), 0);
    list_.SetItemNumber(1, 1, 0.0, true);
    EXPECT_EQ(list_.GetItemText(1, 1), u"");
    list_.SetItemNumber(1, 1, 0.0, false);
    EXPECT_EQ(list_.GetItemText(1, 1), u"0");
    list_.SetItemNumber(1, 1, 0.5, true);
    EXPECT_EQ(list_.GetItemText(1, 1), u"0.5");
    list_.SetItemNumber(1, 1, 1.0 / 3, true);
    EXPECT_EQ(list_.GetItemText(1, 1), u"0.333333333333333");

    list_.SelectItem(2);
    EXPECT_EQ(list_.GetItemState(2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    list_.DeselectFirst();
    EXPECT_EQ(list_.GetItemState(2, LVIS_SELECTED | LVIS_FOCUSED), LVIS_FOCUSED);
    list_.SelectFocused();
    EXPECT_EQ(list_.GetItemState(2, LVIS_SELECTED), LVIS_SELECTED);

    list_.SetColumnWidths({20, 30, 40});
    EXPECT_EQ(SendMessage(list_.GetSafeHwnd(), LVM_GETCOLUMNWIDTH, 2, 0), 40);
    list_.SwapColumns(0, 2);
    int order[3] = {};
    SendMessage(list_.GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
    EXPECT_EQ(order[0], 2);
    EXPECT_EQ(order[1], 1);
    EXPECT_EQ(order[2], 0);
    list_.DeleteAllColumns();
    EXPECT_EQ(list_.GetColumnCount(), 0);

    // The image list from the program's bitmap: the magenta corner is clear.
    EXPECT_TRUE(list_.SetImageList(IDB_DEFAULT_MARK, ListImages::Small, 16, RGB(255, 0, 255)));
    auto small = reinterpret_cast<HIMAGELIST>(
        SendMessage(list_.GetSafeHwnd(), LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(small), 1);
    EXPECT_EQ(win::ImageListPixel(small, 0, 0, 0), CLR_NONE);
    EXPECT_EQ(win::ImageListPixel(small, 0, 3, 9), RGB(0, 128, 0));
    EXPECT_FALSE(list_.SetImageList(9999, ListImages::Small, 16, CLR_NONE));
}

TEST_F(ListCtrlExTest, HeaderItems) {
    HWND h = CreateWindowEx(0, WC_HEADER, u"", WS_CHILD, 0, 0, 200, 20, parent_,
                            reinterpret_cast<HMENU>(11), nullptr, nullptr);
    CHeaderCtrlEx header;
    ASSERT_TRUE(header.Attach(h));
    EXPECT_EQ(header.InsertItem(-1, u"one", 40, 0, nullptr, 7), 0);
    EXPECT_EQ(header.InsertItem(-1, u"two", -1, HDF_RIGHT, nullptr, 8), 1);
    EXPECT_EQ(header.InsertItem(0, u"zero", 25, 0, nullptr, 9), 0);
    EXPECT_EQ(header.GetItemCount(), 3);
    EXPECT_EQ(header.GetItemData(0), 9);
    EXPECT_EQ(header.GetItemData(2), 8);
    header.SetItemWidth(2, 35);
    EXPECT_EQ(header.GetTotalWidth(), 25 + 40 + 35);
    EXPECT_TRUE(header.SetImageList(IDB_FOLDERS, 16, RGB(0, 0, 0)));
    EXPECT_EQ(header.SetItemImage(1, 1), 0);
    EXPECT_EQ(header.GetItemImage(1), 1);
    header.SetItemImage(1, -1);
    HDITEM item;
    item.mask = HDI_FORMAT;
    SendMessage(h, HDM_GETITEM, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.fmt & HDF_IMAGE, 0);
    header.DeleteAllItems();
    EXPECT_EQ(header.GetItemCount(), 0);
    header.DestroyWindow();
}

TEST_F(ListCtrlExTest, MapPointsThroughTheScreen) {
    HWND other = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 40, 30, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    POINT p[2] = {{5, 6}, {0, 0}};
    POINT origin{0, 0};
    ClientToScreen(parent_, &origin);
    MapPointsToWindow(parent_, p, 2, nullptr);
    EXPECT_EQ(p[0].x, origin.x + 5);
    EXPECT_EQ(p[1].y, origin.y);
    POINT q{45, 36};
    MapPointsToWindow(parent_, &q, 1, other);
    POINT o2{0, 0};
    ClientToScreen(other, &o2);
    EXPECT_EQ(q.x, origin.x + 45 - o2.x);
    DestroyWindow(other);
}

}  // namespace
