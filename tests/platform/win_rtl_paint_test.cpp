// Right-to-left pictures: each class that shows text, with Hebrew texts and
// the bits a right-to-left language gives it (mirrored layout and
// right-to-left reading), drawn through the model and compared pixel for
// pixel with golden PNGs (see win_golden.h for rewriting them).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
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
        WNDCLASS wc;
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"RtlPaintParent";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
        RegisterClass(wc);
    }
    void TearDown() override { win::ResetForTests(); }
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

}  // namespace
