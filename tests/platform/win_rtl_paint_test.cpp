// Right-to-left pictures: each class that shows text, with Hebrew texts and
// the bits a right-to-left language gives it (mirrored layout and
// right-to-left reading), drawn through the model and compared pixel for
// pixel with golden PNGs (see win_golden.h for rewriting them).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/sys/thread.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/extra_controls.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "win_golden.h"
#include "win_report_rows.h"

namespace {

constexpr DWORD kRtl = WS_EX_LAYOUTRTL | WS_EX_RTLREADING;

// Hebrew words of the cases.
const char16_t* const kOk = u"\u05D0\u05D9\u05E9\u05D5\u05E8";                // OK
const char16_t* const kLayers = u"\u05E9\u05DB\u05D1\u05D5\u05EA";            // layers
const char16_t* const kRoads = u"\u05DB\u05D1\u05D9\u05E9\u05D9\u05DD";       // roads
const char16_t* const kRivers = u"\u05E0\u05D4\u05E8\u05D5\u05EA";            // rivers
const char16_t* const kUnits = u"\u05D9\u05D7\u05D9\u05D3\u05D5\u05EA";       // units
const char16_t* const kName = u"\u05E9\u05DD";                                // name
const char16_t* const kValue = u"\u05E2\u05E8\u05DA";                         // value
const char16_t* const kGeneral = u"\u05DB\u05DC\u05DC\u05D9";                 // general
const char16_t* const kDistance = u"\u05DE\u05E8\u05D7\u05E7: 12 m";          // distance: 12 m
const char16_t* const kShowGrid = u"\u05D4\u05E6\u05D2 \u05E8\u05E9\u05EA";   // show grid
const char16_t* const kDatum = u"\u05D3\u05D8\u05D5\u05DD WGS 1984";          // datum WGS 1984

// A 16x15 picture that is not its own mirror image: a flag on a pole at
// its left. The toolbar keeps the image list.
HIMAGELIST FlagImages() {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 15);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HBITMAP old = SelectObject(dc, bmp);
    RECT all{0, 0, 16, 15}, pole{2, 1, 4, 14}, flag{4, 2, 13, 8};
    HBRUSH back = CreateSolidBrush(0x00C0C0C0), red = CreateSolidBrush(0x000000C0);
    FillRect(dc, &all, back);
    FillRect(dc, &pole, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(dc, &flag, red);
    SelectObject(dc, old);
    DeleteObject(back);
    DeleteObject(red);
    DeleteDC(dc);
    HIMAGELIST list = ImageList_Create(16, 15, ILC_COLOR | ILC_MASK, 1, 1);
    ImageList_AddMasked(list, bmp, 0x00C0C0C0);
    DeleteObject(bmp);
    return list;
}

struct Case {
    const char* name;
    const char16_t* cls;
    DWORD style;
    const char16_t* text;
    int w, h;
    std::function<void(HWND)> setup;  // may be empty
};

void AddStrings(HWND h, UINT msg, std::initializer_list<const char16_t*> items) {
    for (const char16_t* t : items) SendMessage(h, msg, 0, reinterpret_cast<LPARAM>(t));
}

using reporttest::AddColumn;
using reporttest::AddRow;

const Case kCases[] = {
    {"push", u"BUTTON", BS_DEFPUSHBUTTON, kOk, 70, 24, {}},
    {"check", u"BUTTON", BS_AUTOCHECKBOX, kShowGrid, 100, 16,
     [](HWND h) { SendMessage(h, BM_SETCHECK, BST_CHECKED, 0); }},
    {"radio", u"BUTTON", BS_AUTORADIOBUTTON, kUnits, 80, 16, {}},
    {"groupbox", u"BUTTON", BS_GROUPBOX, kUnits, 100, 40, {}},
    {"static", u"STATIC", SS_LEFT, kDatum, 120, 16, {}},
    // The shell's extra controls draw as a button and a static: the same
    // pictures, without the tooltip after "~~".
    {"push", u"TTBUTTON", BS_DEFPUSHBUTTON,
     u"\u05D0\u05D9\u05E9\u05D5\u05E8~~\u05E9\u05DE\u05D5\u05E8", 70, 24, {}},
    {"static", u"TTSTATIC", SS_LEFT, u"\u05D3\u05D8\u05D5\u05DD WGS 1984~~GPS", 120, 16, {}},
    {"static_prefix", u"STATIC", SS_LEFT, u"&\u05E9\u05DD:", 80, 16, {}},
    {"edit_selection", u"EDIT", WS_BORDER, kDatum, 120, 20,
     [](HWND h) {
         SetFocus(h);
         SendMessage(h, EM_SETSEL, 0, 3);
     }},
    {"listbox", u"LISTBOX", WS_BORDER | WS_VSCROLL, u"", 110, 44,
     [](HWND h) {
         AddStrings(h, LB_ADDSTRING, {kRoads, kRivers, kDistance, kLayers, kUnits});
         SendMessage(h, LB_SETCURSEL, 1, 0);
     }},
    {"listbox_tabs", u"LISTBOX", WS_BORDER | LBS_USETABSTOPS, u"", 110, 32,
     [](HWND h) {
         int stops[] = {36};
         SendMessage(h, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(stops));
         AddStrings(h, LB_ADDSTRING, {u"\u05DB\u05D1\u05D9\u05E9\t12 m", u"\u05E0\u05D4\u05E8\t3 m"});
     }},
    {"combo", u"COMBOBOX", CBS_DROPDOWNLIST, u"", 100, 80,
     [](HWND h) {
         AddStrings(h, CB_ADDSTRING, {kRoads, kRivers});
         SendMessage(h, CB_SETCURSEL, 0, 0);
     }},
    {"tabs", WC_TABCONTROL, 0, u"", 130, 40,
     [](HWND h) {
         for (const char16_t* t : {kGeneral, kUnits, u"GPS"}) {
             TCITEM it;
             it.mask = TCIF_TEXT | TCIF_RTLREADING;
             it.pszText = const_cast<WChar*>(t);
             SendMessage(h, TCM_INSERTITEM, 99, reinterpret_cast<LPARAM>(&it));
         }
         SendMessage(h, TCM_SETCURSEL, 1, 0);
     }},
    {"status", STATUSCLASSNAME, 0, u"", 140, 18,
     [](HWND h) {
         int parts[] = {82, -1};
         SendMessage(h, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
         SendMessage(h, SB_SETTEXT, SBT_RTLREADING, reinterpret_cast<LPARAM>(kDistance));
         SendMessage(h, SB_SETTEXT, 1 | SBT_RTLREADING, reinterpret_cast<LPARAM>(kRoads));
     }},
    {"report", WC_LISTVIEW, LVS_REPORT | WS_BORDER, u"", 120, 60,
     [](HWND h) {
         // The header reads right to left too, as the program sets it.
         auto header = reinterpret_cast<HWND>(SendMessage(h, LVM_GETHEADER, 0, 0));
         SetWindowLongPtr(header, GWL_EXSTYLE, GetWindowLongPtr(header, GWL_EXSTYLE) | kRtl);
         AddColumn(h, 0, kName, 60);
         AddColumn(h, 1, kValue, 50);
         AddRow(h, 0, kRoads, u"12");
         AddRow(h, 1, kRivers, u"3");
         SendMessage(h, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
         LVITEM it;
         it.stateMask = it.state = LVIS_SELECTED;
         SendMessage(h, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&it));
     }},
    {"tree", WC_TREEVIEW, TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | WS_BORDER, u"", 110,
     60,
     [](HWND h) {
         TVINSERTSTRUCT ins;
         ins.hParent = TVI_ROOT;
         ins.hInsertAfter = TVI_LAST;
         ins.item.mask = TVIF_TEXT;
         ins.item.pszText = const_cast<WChar*>(kLayers);
         auto root = reinterpret_cast<HTREEITEM>(
             SendMessage(h, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
         ins.hParent = root;
         for (const char16_t* t : {kRoads, kRivers}) {
             ins.item.pszText = const_cast<WChar*>(t);
             SendMessage(h, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins));
         }
         SendMessage(h, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
     }},
    // Buttons with text beside a picture, in their states: the pictures keep
    // their orientation, the buttons run from the right.
    {"toolbar", TOOLBARCLASSNAME, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, u"", 224, 24,
     [](HWND h) {
         SendMessage(h, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FlagImages()));
         LRESULT first =
             SendMessage(h, TB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(u"\u05E9\u05DB\u05D1\u05D5\u05EA\0"
                                                  u"\u05D9\u05D7\u05D9\u05D3\u05D5\u05EA\0"
                                                  u"GPS 2\0"));
         TBBUTTON b[4];
         for (int i = 0; i < 4; ++i) {
             b[i].idCommand = 100 + i;
             b[i].iBitmap = i == 2 ? I_IMAGENONE : 0;
             b[i].fsState = TBSTATE_ENABLED;
             b[i].fsStyle = TBSTYLE_AUTOSIZE;
             b[i].iString = first + (i == 3 ? 2 : i % 2);
         }
         b[0].fsState |= TBSTATE_CHECKED;
         b[1].fsState = 0;  // disabled: grey text and image
         b[2].fsStyle = TBSTYLE_SEP;
         b[3].fsStyle |= TBSTYLE_DROPDOWN;
         SendMessage(h, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
         SendMessage(h, TB_ADDBUTTONS, 4, reinterpret_cast<LPARAM>(b));
     }},
    {"datetime", DATETIMEPICK_CLASS, DTS_SHOWNONE | WS_BORDER, u"", 110, 20,
     [](HWND h) {
         SYSTEMTIME t{};
         t.wYear = 2024;
         t.wMonth = 2;
         t.wDay = 29;
         SendMessage(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
     }},
};

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProc(h, m, w, l);
}

class WinRtlPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        gdi::ResetForTests();
        win::RegisterExtraControls();
        WNDCLASS wc;
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"RtlPaintParent";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
        RegisterClass(wc);
    }
    void TearDown() override {
        sys::SetClock(nullptr);
        win::ResetForTests();
    }
};

TEST_F(WinRtlPaintTest, Pictures) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        HWND parent = CreateWindowEx(kRtl, u"RtlPaintParent", u"", WS_POPUP | WS_VISIBLE, 0, 0,
                                     c.w + 8, c.h + 8, nullptr, nullptr, nullptr, nullptr);
        HWND h = CreateWindowEx(kRtl, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, 4, 4, c.w,
                                c.h, parent, reinterpret_cast<HMENU>(uintptr_t(9)), nullptr,
                                nullptr);
        ASSERT_NE(h, nullptr);
        if (c.setup) c.setup(h);
        win::input::DrainQueue();
        golden::Expect(std::string("rtl_") + c.name, h);
        DestroyWindow(parent);
    }
}

// A mirrored host for the pictures below.
HWND RtlHost(int w, int h, DWORD style = WS_POPUP | WS_VISIBLE) {
    return CreateWindowEx(kRtl, u"RtlPaintParent", u"", style, 0, 0, w, h, nullptr, nullptr,
                          nullptr, nullptr);
}

void SetBar(HWND h, int bar, int max, int page, int pos) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = max;
    si.nPage = static_cast<UINT>(page);
    si.nPos = pos;
    SetScrollInfo(h, bar, &si, true);
}

// The command bar with its menus and buttons, from the test resources
// (menu 132 in Hebrew, the toolbar bitmap 129).
TEST_F(WinRtlPaintTest, CommandBar) {
    HWND host = RtlHost(200, 60);
    HWND bar = CommandBar_Create(nullptr, host, 1);
    ASSERT_TRUE(CommandBar_InsertMenubar(bar, nullptr, 132, 0));
    ASSERT_TRUE(CommandBar_AddBitmap(bar, nullptr, 129, 3, 16, 15));
    TBBUTTON b[3];
    b[0].fsStyle = TBSTYLE_SEP;
    b[1].idCommand = 1800;
    b[1].iBitmap = 0;
    b[1].fsState = TBSTATE_ENABLED | TBSTATE_CHECKED;
    b[1].fsStyle = TBSTYLE_CHECK;
    b[2].idCommand = 1014;
    b[2].iBitmap = 2;
    b[2].fsState = TBSTATE_ENABLED;
    b[2].fsStyle = TBSTYLE_DROPDOWN;
    ASSERT_TRUE(CommandBar_AddButtons(bar, 3, b));
    SendMessage(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    win::input::DrainQueue();
    // The first menu stands at the bar's right end.
    RECT file, barRect;
    SendMessage(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&file));
    MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&file), 2);
    GetWindowRect(bar, &barRect);
    EXPECT_EQ(file.left, barRect.right);  // mapped point by point: left and right exchanged
    golden::Expect("rtl_commandbar", bar);
    DestroyWindow(host);
}

// The month calendar dropped from a mirrored picker is mirrored too.
TEST_F(WinRtlPaintTest, MonthCalendar) {
    HWND host = RtlHost(130, 40);
    SetWindowPos(host, nullptr, 100, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    HWND h = CreateWindowEx(kRtl, DATETIMEPICK_CLASS, u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 4,
                            110, 20, host, nullptr, nullptr, nullptr);
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 2;
    t.wDay = 29;
    SendMessage(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    win::input::DrainQueue();
    RECT r;
    GetClientRect(h, &r);
    win::input::TapAt(h, POINT{r.right - 4, 8});  // the drop button, at the left
    win::input::DrainQueue();
    HWND cal = FindWindow(MONTHCAL_CLASS, nullptr);
    ASSERT_NE(cal, nullptr);
    EXPECT_TRUE(GetWindowLongPtr(cal, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    RECT pr, cr;
    GetWindowRect(h, &pr);
    GetWindowRect(cal, &cr);
    EXPECT_EQ(cr.right, pr.right);
    golden::Expect("rtl_month_calendar", cal);
    // A tap on the 29th where it is shown picks it: February 2024 starts on
    // a Thursday, so the 29th is the fifth day from the right in the fifth
    // row (the calendar has a one-pixel border).
    t.wDay = 1;
    SendMessage(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    GetClientRect(cal, &r);
    int cell = (r.right - 2) / 7, rowH = (r.bottom - 2) / 8;
    POINT at{cr.right - 2 - (1 + 4 * cell + cell / 2), cr.top + 1 + 1 + 6 * rowH + rowH / 2};
    win::input::PenDown(at);
    win::input::PenUp(at);
    win::input::DrainQueue();
    EXPECT_FALSE(IsWindow(cal));
    SendMessage(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
    EXPECT_EQ(t.wDay, 29);
    DestroyWindow(host);
}

// A tooltip read right to left, shown while the pen is held on its tool.
TEST_F(WinRtlPaintTest, Tooltip) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    HWND host = RtlHost(120, 40);
    HWND tip = CreateWindowEx(kRtl, TOOLTIPS_CLASS, u"", WS_POPUP, 0, 0, 0, 0, host, nullptr,
                              nullptr, nullptr);
    TOOLINFO ti{};
    ti.uFlags = 0;
    ti.hwnd = host;
    ti.uId = 1;
    ti.rect = RECT{0, 0, 120, 40};
    ti.lpszText = const_cast<WChar*>(kDistance);
    ASSERT_TRUE(SendMessage(tip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti)));
    MSG m{};
    m.hwnd = host;
    m.message = WM_LBUTTONDOWN;
    m.lParam = MAKELPARAM(20, 10);
    SendMessage(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
    clock.Advance(500);
    win::input::DrainQueue();
    ASSERT_TRUE(IsWindowVisible(tip));
    golden::Expect("rtl_tooltip", tip);
    DestroyWindow(host);
    sys::SetClock(nullptr);
}

// The window's picture with each row reversed.
golden::Picture Reversed(golden::Picture p) {
    for (int y = 0; y < p.h; ++y)
        std::reverse(p.px.begin() + y * p.w, p.px.begin() + (y + 1) * p.w);
    return p;
}

// The non-client parts of a mirrored window are the mirror image of the
// same window laid out left to right, bevels included, as the mirrored
// controls inside it are: the vertical scroll bar at the left, lit from the
// right; the horizontal one with the thumb's first position at the right;
// the caption's OK and close buttons at the left.
TEST_F(WinRtlPaintTest, WindowScrollBars) {
    // Pixels that differ from the reversed left-to-right picture, but for
    // those inside the columns [keepFrom, keepTo) (a label, which reads the
    // same way in both).
    auto differing = [](HWND rtl, HWND ltr, int keepFrom = 0, int keepTo = 0) {
        golden::Picture r = golden::Capture(rtl), l = Reversed(golden::Capture(ltr));
        EXPECT_EQ(r.w, l.w);
        EXPECT_EQ(r.h, l.h);
        int n = 0;
        for (size_t i = 0; i < r.px.size() && i < l.px.size(); ++i) {
            int x = static_cast<int>(i % static_cast<size_t>(r.w));
            n += r.px[i] != l.px[i] && (x < keepFrom || x >= keepTo);
        }
        return n;
    };
    const DWORD bars = WS_POPUP | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL;
    for (int pos : {0, 30}) {
        SCOPED_TRACE(pos);
        HWND h = RtlHost(80, 60, bars);
        HWND ltr = CreateWindowEx(0, u"RtlPaintParent", u"", bars, 100, 0, 80, 60, nullptr,
                                  nullptr, nullptr, nullptr);
        for (HWND w : {h, ltr}) {
            SetBar(w, SB_VERT, 99, 25, 50);
            SetBar(w, SB_HORZ, 99, 50, pos);
        }
        win::input::DrainQueue();
        golden::Expect("rtl_frame_scrollbars_" + std::to_string(pos), h);
        EXPECT_EQ(differing(h, ltr), 0);
        DestroyWindow(h);
        DestroyWindow(ltr);
    }
    // A caption without a title: the buttons' bevels and the close cross
    // are mirrored; the OK label reads as it does left to right.
    const DWORD captioned = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    HWND h = CreateWindowEx(kRtl | WS_EX_CAPTIONOKBTN, u"RtlPaintParent", u"", captioned, 0, 0,
                            100, 50, nullptr, nullptr, nullptr, nullptr);
    HWND ltr = CreateWindowEx(WS_EX_CAPTIONOKBTN, u"RtlPaintParent", u"", captioned, 120, 0, 100,
                              50, nullptr, nullptr, nullptr, nullptr);
    win::input::DrainQueue();
    // The OK button's columns, by hit testing across the caption.
    int okFrom = -1, okTo = -1;
    RECT wr;
    GetWindowRect(h, &wr);
    int cy = GetSystemMetrics(SM_CYCAPTION) / 2;
    for (int x = 0; x < wr.right - wr.left; ++x)
        if (SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(wr.left + x, wr.top + cy)) == HTCAPTIONOK) {
            if (okFrom < 0) okFrom = x;
            okTo = x + 1;
        }
    ASSERT_GT(okTo - okFrom, 8);
    EXPECT_EQ(differing(h, ltr, okFrom + 2, okTo - 2), 0);
    EXPECT_GT(differing(h, ltr), 0);  // the label is not mirrored
    DestroyWindow(h);
    DestroyWindow(ltr);
}

}  // namespace
