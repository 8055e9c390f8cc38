// Common controls drawn through the model, compared with golden PNGs (one
// table of cases), and the list view's custom-draw stages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "win_golden.h"
#include "win_report_rows.h"

namespace {

struct Stage {
    DWORD stage;
    uintptr_t item;
    int sub;
    RECT rc;
};
std::vector<Stage> g_stages;
LRESULT g_prepaintAnswer = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
LRESULT g_itemAnswer = CDRF_NOTIFYPOSTPAINT;
bool g_tintRow1 = false;

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(l);
        g_stages.push_back({cd->nmcd.dwDrawStage, cd->nmcd.dwItemSpec, cd->iSubItem, cd->nmcd.rc});
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return g_prepaintAnswer;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            if (g_tintRow1 && cd->nmcd.dwItemSpec == 1) {
                cd->clrText = RGB(255, 0, 0);
                cd->clrTextBk = RGB(255, 255, 0);
            }
            return g_itemAnswer;
        }
        return CDRF_DODEFAULT;
    }
    return DefWindowProc(h, m, w, l);
}

using reporttest::AddColumn;
using reporttest::AddRow;
HWND Report(HWND lv) {
    AddColumn(lv, 0, u"Name", 50);
    AddColumn(lv, 1, u"Value", 50);
    AddRow(lv, 0, u"Roads", u"12");
    AddRow(lv, 1, u"Rivers", u"3");
    AddRow(lv, 2, u"A very long name", u"7");
    return lv;
}

struct Case {
    const char* name;
    const char16_t* cls;
    DWORD style;
    int w, h;
    std::function<void(HWND)> setup;
};

const Case kCases[] = {
    {"progress_half", PROGRESS_CLASS, 0, 100, 14,
     [](HWND h) { SendMessage(h, PBM_SETPOS, 50, 0); }},
    {"trackbar_ticks", TRACKBAR_CLASS, TBS_AUTOTICKS, 100, 26,
     [](HWND h) {
         SendMessage(h, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
         SendMessage(h, TBM_SETPOS, TRUE, 3);
     }},
    {"trackbar_vertical", TRACKBAR_CLASS, TBS_VERT, 26, 80,
     [](HWND h) { SendMessage(h, TBM_SETPOS, TRUE, 50); }},
    {"updown", UPDOWN_CLASS, 0, 16, 24, {}},
    {"updown_horizontal_disabled", UPDOWN_CLASS, UDS_HORZ | WS_DISABLED, 30, 16, {}},
    {"tabs", WC_TABCONTROL, 0, 120, 40,
     [](HWND h) {
         for (const char16_t* t : {u"General", u"Units", u"GPS"}) {
             TCITEM it;
             it.mask = TCIF_TEXT;
             it.pszText = const_cast<WChar*>(t);
             SendMessage(h, TCM_INSERTITEM, 99, reinterpret_cast<LPARAM>(&it));
         }
         SendMessage(h, TCM_SETCURSEL, 1, 0);
     }},
    {"status", STATUSCLASSNAME, 0, 120, 18,
     [](HWND h) {
         int parts[] = {60, -1};
         SendMessage(h, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
         SendMessage(h, SB_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Ready"));
         SendMessage(h, SB_SETTEXT, 1, reinterpret_cast<LPARAM>(u"12 m"));
     }},
    {"report", WC_LISTVIEW, LVS_REPORT | WS_BORDER, 110, 70,
     [](HWND h) {
         Report(h);
         SendMessage(h, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                     LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
         LVITEM it;
         it.stateMask = it.state = LVIS_SELECTED;
         SendMessage(h, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&it));
     }},
    {"datetime_shownone", DATETIMEPICK_CLASS, DTS_SHOWNONE | WS_BORDER, 110, 20,
     [](HWND h) {
         SYSTEMTIME t{};
         t.wYear = 2024;
         t.wMonth = 2;
         t.wDay = 29;
         SendMessage(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
     }},
    {"tree", WC_TREEVIEW, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | WS_BORDER, 110, 70,
     [](HWND h) {
         TVINSERTSTRUCT ins;
         ins.hParent = TVI_ROOT;
         ins.hInsertAfter = TVI_LAST;
         ins.item.mask = TVIF_TEXT;
         ins.item.pszText = const_cast<WChar*>(u"Layers");
         auto root = reinterpret_cast<HTREEITEM>(
             SendMessage(h, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
         ins.hParent = root;
         for (const char16_t* t : {u"Roads", u"Rivers"}) {
             ins.item.pszText = const_cast<WChar*>(t);
             SendMessage(h, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins));
         }
         ins.hParent = TVI_ROOT;
         ins.item.pszText = const_cast<WChar*>(u"Closed");
         auto closed = reinterpret_cast<HTREEITEM>(
             SendMessage(h, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
         ins.hParent = closed;
         ins.item.pszText = const_cast<WChar*>(u"Hidden");
         SendMessage(h, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins));
         SendMessage(h, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
     }},
};

class WinCommonPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        gdi::ResetForTests();
        g_stages.clear();
        g_prepaintAnswer = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        g_itemAnswer = CDRF_NOTIFYPOSTPAINT;
        g_tintRow1 = false;
        WNDCLASS wc;
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"CommonParent";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
        RegisterClass(wc);
    }
    void TearDown() override { win::ResetForTests(); }
    HWND Make(const char16_t* cls, DWORD style, int w, int h, HWND* parentOut = nullptr) {
        HWND parent = CreateWindowEx(0, u"CommonParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, w + 8,
                                     h + 8, nullptr, nullptr, nullptr, nullptr);
        if (parentOut) *parentOut = parent;
        return CreateWindowEx(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 4, 4, w, h, parent,
                              reinterpret_cast<HMENU>(uintptr_t(9)), nullptr, nullptr);
    }
};

TEST_F(WinCommonPaintTest, Pictures) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        HWND parent = nullptr;
        HWND h = Make(c.cls, c.style, c.w, c.h, &parent);
        ASSERT_NE(h, nullptr);
        if (c.setup) c.setup(h);
        win::input::DrainQueue();
        golden::Expect(std::string("common_") + c.name, h);
        DestroyWindow(parent);
    }
}

// The same controls on a 192 dots-per-inch screen, at twice the size.
TEST_F(WinCommonPaintTest, PicturesAt192DotsPerInch) {
    gdi::ScreenMetrics m;
    m.logPixelsX = m.logPixelsY = 192;
    gdi::SetScreenMetrics(m);
    HFONT font = CreateFont(-22, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        HWND parent = nullptr;
        HWND h = Make(c.cls, c.style, 2 * c.w, 2 * c.h, &parent);
        ASSERT_NE(h, nullptr);
        SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        if (c.setup) c.setup(h);
        // A report list's columns are as wide as its owner makes them.
        for (int col = 0; std::u16string_view(c.cls) == WC_LISTVIEW && col < 2; ++col)
            SendMessage(h, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(col),
                        2 * SendMessage(h, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(col), 0));
        win::input::DrainQueue();
        golden::Expect(std::string("dpi192_common_") + c.name, h);
        DestroyWindow(parent);
    }
    DeleteObject(font);
}

// The date-time picker's drop-down month calendar.
TEST_F(WinCommonPaintTest, MonthCalendar) {
    HWND h = Make(DATETIMEPICK_CLASS, WS_BORDER, 110, 20);
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 2;
    t.wDay = 29;
    SendMessage(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    win::input::DrainQueue();
    RECT r;
    GetClientRect(h, &r);
    win::input::TapAt(h, POINT{r.right - 4, 8});
    win::input::DrainQueue();
    HWND cal = FindWindow(MONTHCAL_CLASS, nullptr);
    ASSERT_NE(cal, nullptr);
    golden::Expect("common_datetime_dropped", h);
    golden::Expect("common_month_calendar", cal);
}

TEST_F(WinCommonPaintTest, CustomDrawStagesInOrderWithTheirRectangles) {
    HWND lv = Make(WC_LISTVIEW, LVS_REPORT, 110, 70);
    Report(lv);
    win::input::DrainQueue();
    ASSERT_FALSE(g_stages.empty());
    // Pre-paint, then each row's pre- and post-paint, then post-paint.
    std::vector<DWORD> order;
    for (const Stage& s : g_stages) order.push_back(s.stage);
    std::vector<DWORD> want = {CDDS_PREPAINT};
    for (int i = 0; i < 3; ++i) {
        want.push_back(CDDS_ITEMPREPAINT);
        want.push_back(CDDS_ITEMPOSTPAINT);
    }
    want.push_back(CDDS_POSTPAINT);
    EXPECT_EQ(order, want);
    RECT client;
    GetClientRect(lv, &client);
    EXPECT_TRUE(EqualRect(&g_stages.front().rc, &client));
    // Row rectangles are full width and stacked below the header.
    const Stage& row0 = g_stages[1];
    const Stage& row1 = g_stages[3];
    EXPECT_EQ(row0.item, 0u);
    EXPECT_EQ(row1.item, 1u);
    EXPECT_EQ(row1.rc.top, row0.rc.bottom);
    EXPECT_GT(row0.rc.top, 0);
}

TEST_F(WinCommonPaintTest, CustomDrawSkipDefaultAndColours) {
    HWND lv = Make(WC_LISTVIEW, LVS_REPORT, 110, 70);
    Report(lv);
    // The parent colours row 1.
    g_tintRow1 = true;
    win::input::DrainQueue();
    golden::Expect("common_report_customdraw_colours", lv);
    // CDRF_SKIPDEFAULT at the start leaves every row undrawn: the area shows
    // only what was there before the paint.
    HDC dc = GetDC(lv);
    RECT rc;
    GetClientRect(lv, &rc);
    FillRect(dc, &rc, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(lv, dc);
    g_prepaintAnswer = CDRF_SKIPDEFAULT;
    g_stages.clear();
    InvalidateRect(lv, nullptr, false);
    win::input::DrainQueue();
    ASSERT_EQ(g_stages.size(), 1u);
    POINT o;
    int w, h, stride;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(lv, &o), &w, &h, &stride);
    ASSERT_NE(px, nullptr);
    RECT row;
    row.left = LVIR_BOUNDS;
    SendMessage(lv, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    int x = row.left + 5, y = row.top + 3;
    EXPECT_EQ(px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF, 0u);
}

}  // namespace
