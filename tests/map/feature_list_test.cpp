// The feature list: its columns from the layer's fields, rows that hold
// record numbers and read their cells from the layer when painted, sorting
// by a field's text, the symbol drawn in the first column, and the field
// combo of the layer pages.
#include <gtest/gtest.h>

#include "map/dialogs/feature_list_ctrl.h"
#include "map/layers/shape_layer.h"
#include "map/services/preferences.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"

namespace {

CFeatureListCtrl* g_list = nullptr;

// The list's parent hands on what the list needs, as a dialog does.
LRESULT HostProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (g_list && msg == WM_DRAWITEM && g_list->HandleDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(l)))
        return TRUE;
    if (g_list && msg == WM_NOTIFY) {
        LRESULT r = 0;
        if (g_list->HandleNotify(reinterpret_cast<NMHDR*>(l), &r)) return r;
    }
    return DefWindowProc(h, msg, w, l);
}

class FeatureList : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        WNDCLASS wc;
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = u"ZnFeatureListHost";
        RegisterClass(wc);
        host_ = CreateWindowEx(0, u"ZnFeatureListHost", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                               nullptr, nullptr, nullptr, nullptr);
        HWND list = CreateWindowEx(0, WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED,
                                   0, 0, 240, 200, host_, reinterpret_cast<HMENU>(1131), nullptr, nullptr);
        ASSERT_TRUE(list_.Attach(list));
        g_list = &list_;
        // NAME (4 characters: 76 pixels), VAL, WHEN, OK.
        std::string command =
            "shpcreate t point >/dev/null && dbfcreate t -s NAME 8 -n VAL 5 0 >/dev/null";
        const char* rows[][2] = {{"b", "9"}, {"A", "10"}, {"c", "100"}};
        int x = 10;
        for (const auto& row : rows) {
            command += " && shpadd t " + std::to_string(x) + " 10 >/dev/null && dbfadd t.dbf " +
                       row[0] + " " + row[1] + " >/dev/null";
            x += 10;
        }
        ASSERT_TRUE(ShellIn("d", command)) << command;
        Put("d/t.znl",
            "<Zarnip><LAYER><SYMBOLOGY><SIMPLERENDERER><SIMPLEMARKERSYMBOL type=\"square\" "
            "color=\"0,0,255\" width=\"9\"/></SIMPLERENDERER></SYMBOLOGY></LAYER></Zarnip>");
        ASSERT_TRUE(layer_.Open(u"\\d\\t.shp"));
    }
    void TearDown() override {
        g_list = nullptr;
        list_.SetLayer(nullptr);
        if (host_) DestroyWindow(host_);
        layer_.Close();
        MapTest::TearDown();
    }
    // The records of the rows, top to bottom.
    std::vector<int> Records() {
        std::vector<int> out;
        for (int r = 0; r < list_.GetItemCount(); ++r) out.push_back(list_.GetRecord(r));
        return out;
    }
    std::vector<int> Order() {
        std::vector<int> order(static_cast<size_t>(list_.GetColumnCount()));
        SendMessage(list_.GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, order.size(),
                    reinterpret_cast<LPARAM>(order.data()));
        return order;
    }
    int Width(int column) {
        return static_cast<int>(SendMessage(list_.GetSafeHwnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    }

    HWND host_ = nullptr;
    CFeatureListCtrl list_;
    CShapeLayer layer_;
};

TEST_F(FeatureList, ColumnsComeFromTheFieldsWithTheChosenOneSecond) {
    list_.SetLayer(&layer_);
    list_.SetupColumns(1);
    ASSERT_EQ(list_.GetColumnCount(), 3);
    struct Column {
        int width;
        LPARAM data;
        int image;
    };
    const Column expected[] = {{27, -1, 15}, {4 * 11 + 32, 0, 0}, {3 * 11 + 32, 1, 1}};
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(Width(c), expected[c].width);
        EXPECT_EQ(list_.GetColumnData(c), expected[c].data);
        EXPECT_EQ(list_.GetColumnImage(c), expected[c].image);
    }
    // VAL shows second; the columns themselves stay in field order.
    EXPECT_EQ(Order(), (std::vector<int>{0, 2, 1}));

    // A layer without fields: the symbol column only.
    ASSERT_TRUE(ShellIn("d", "shpcreate bare point >/dev/null && dbfcreate bare >/dev/null"));
    CShapeLayer bare;
    ASSERT_TRUE(bare.Open(u"\\d\\bare.shp"));
    list_.SetLayer(&bare);
    list_.SetupColumns(-1);
    EXPECT_EQ(list_.GetColumnCount(), 1);
    list_.SetLayer(nullptr);
}

TEST_F(FeatureList, SortingComparesFieldTextsIgnoringCase) {
    list_.SetLayer(&layer_);
    list_.SetupColumns(-1);
    for (int r = 1; r <= 3; ++r) list_.AddRecord(r - 1, r);
    // The symbol header does not sort.
    win::ListViewUserColumnClick(list_.GetSafeHwnd(), 0);
    EXPECT_EQ(Records(), (std::vector<int>{1, 2, 3}));
    // NAME: A, b, c whatever their case.
    win::ListViewUserColumnClick(list_.GetSafeHwnd(), 1);
    EXPECT_EQ(Records(), (std::vector<int>{2, 1, 3}));
    EXPECT_EQ(list_.GetSortField(), 0);
    // VAL as text: "10" < "100" < "9".
    win::ListViewUserColumnClick(list_.GetSafeHwnd(), 2);
    EXPECT_EQ(Records(), (std::vector<int>{2, 3, 1}));
}

TEST_F(FeatureList, TheComboListsTheFieldsAfterNone) {
    ASSERT_TRUE(ShellIn("d", "shpcreate three point >/dev/null && dbfcreate three -s A 4 -n B 4 0 -s C 4 >/dev/null"));
    CShapeLayer three;
    ASSERT_TRUE(three.Open(u"\\d\\three.shp"));
    HWND combo = CreateWindowEx(0, u"COMBOBOX", u"", WS_CHILD | CBS_DROPDOWNLIST, 0, 210, 100, 80, host_,
                                reinterpret_cast<HMENU>(77), nullptr, nullptr);
    FillComboFromList(host_, 77, &three, true);
    ASSERT_EQ(SendMessage(combo, CB_GETCOUNT, 0, 0), 4);
    const WChar* names[] = {u"<None>", u"A", u"B", u"C"};
    for (int i = 0; i < 4; ++i) {
        WChar buffer[16] = {};
        SendMessage(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        EXPECT_EQ(WString(buffer), names[i]);
        EXPECT_EQ(SendMessage(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0), i - 1);
    }
}

TEST_F(FeatureList, ARowDrawsItsRecordsSymbolInTheFirstColumn) {
    list_.SetLayer(&layer_);
    list_.SetupColumns(-1);
    list_.AddRecord(0, 2);
    InvalidateRect(list_.GetSafeHwnd(), nullptr, TRUE);
    UpdateWindow(list_.GetSafeHwnd());
    RECT cell{};
    cell.top = 0;
    cell.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessage(list_.GetSafeHwnd(), LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
    cell.right = cell.left + 27;
    // The symbol as the layer draws it on a white cell of the same size.
    const int w = cell.right - cell.left, h = cell.bottom - cell.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    auto old = SelectObject(memory, bitmap);
    RECT local{0, 0, w, h};
    HBRUSH white = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    FillRect(memory, &local, white);
    DeleteObject(white);
    layer_.DrawFeatureSymbol(2, memory, local);
    HDC dc = GetDC(list_.GetSafeHwnd());
    int differing = 0, inked = 0;
    // Inside the grid: the cell's own pixels.
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            COLORREF want = GetPixel(memory, x, y);
            inked += want != GetSysColor(COLOR_WINDOW);
            differing += GetPixel(dc, cell.left + x, cell.top + y) != want;
        }
    ReleaseDC(list_.GetSafeHwnd(), dc);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EXPECT_GT(inked, 0);
    EXPECT_EQ(differing, 0);
}

}  // namespace
