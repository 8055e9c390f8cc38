// What controls and frames look like: each case is drawn through the window
// model on the null backend and compared pixel for pixel with a golden PNG
// (see win_golden.h for rewriting them). One table of cases per class, at 96
// dots per inch, and a set at 192.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/theme.h"
#include "platform/win/window.h"
#include "win_golden.h"

namespace {

// The parent answers WM_CTLCOLOR* with yellow on dark blue when asked to.
bool g_colourParent = false;
HBRUSH g_parentBrush = nullptr;
std::vector<std::pair<UINT, HWND>> g_colourAsks;

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m >= WM_CTLCOLORMSGBOX && m <= WM_CTLCOLORSTATIC) {
        g_colourAsks.emplace_back(m, reinterpret_cast<HWND>(l));
        if (!g_colourParent) return 0;
        SetTextColor(reinterpret_cast<HDC>(w), RGB(255, 255, 0));
        SetBkColor(reinterpret_cast<HDC>(w), RGB(0, 0, 128));
        return reinterpret_cast<LRESULT>(g_parentBrush);
    }
    return DefWindowProc(h, m, w, l);
}

struct Case {
    const char* name;
    const char16_t* cls;
    DWORD style;
    DWORD ex;
    const char16_t* text;
    int w, h;
    std::function<void(HWND)> setup;  // may be empty
    bool colours = false;             // the parent sets colours
};

class WinPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        gdi::ResetForTests();
        g_colourParent = false;
        g_colourAsks.clear();
        g_parentBrush = CreateSolidBrush(RGB(0, 0, 128));
        WNDCLASS wc;
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"PaintParent";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
        RegisterClass(wc);
    }
    void TearDown() override {
        win::ResetForTests();
        DeleteObject(g_parentBrush);
        gdi::ResetForTests();
    }

    // A control on a plain grey parent, painted, then compared.
    void Run(const std::string& prefix, const Case& c, HFONT font = nullptr) {
        SCOPED_TRACE(c.name);
        g_colourParent = c.colours;
        HWND parent = CreateWindowEx(0, u"PaintParent", u"", WS_POPUP | WS_VISIBLE, 0, 0,
                                     c.w + 8, c.h + 8, nullptr, nullptr, nullptr, nullptr);
        HWND ctl = CreateWindowEx(c.ex, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, 4, 4, c.w,
                                  c.h, parent, reinterpret_cast<HMENU>(uintptr_t(100)), nullptr,
                                  nullptr);
        ASSERT_NE(ctl, nullptr);
        if (font) SendMessage(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        if (c.setup) c.setup(ctl);
        win::input::DrainQueue();
        golden::Expect(prefix + c.name, ctl);
        DestroyWindow(parent);
        g_colourParent = false;
    }
};

const Case kButtons[] = {
    {"push", u"BUTTON", BS_PUSHBUTTON, 0, u"Cancel", 60, 22, {}},
    {"push_pressed", u"BUTTON", BS_PUSHBUTTON, 0, u"Cancel", 60, 22,
     [](HWND h) { SendMessage(h, BM_SETSTATE, 1, 0); }},
    {"push_default_focused", u"BUTTON", BS_DEFPUSHBUTTON, 0, u"OK", 60, 22,
     [](HWND h) { SetFocus(h); }},
    {"push_disabled", u"BUTTON", BS_PUSHBUTTON | WS_DISABLED, 0, u"&Apply", 60, 22, {}},
    {"push_multiline", u"BUTTON", BS_PUSHBUTTON | BS_MULTILINE, 0, u"Two line caption", 60, 34,
     {}},
    {"push_left", u"BUTTON", BS_PUSHBUTTON | BS_LEFT, 0, u"Left", 60, 22, {}},
    {"check", u"BUTTON", BS_AUTOCHECKBOX, 0, u"Snap to GPS", 90, 16, {}},
    {"check_checked_focused", u"BUTTON", BS_AUTOCHECKBOX, 0, u"Snap to GPS", 90, 16,
     [](HWND h) {
         SendMessage(h, BM_SETCHECK, BST_CHECKED, 0);
         SetFocus(h);
     }},
    {"check_indeterminate", u"BUTTON", BS_AUTO3STATE, 0, u"Mixed", 90, 16,
     [](HWND h) { SendMessage(h, BM_SETCHECK, 2, 0); }},
    {"check_disabled_checked", u"BUTTON", BS_AUTOCHECKBOX | WS_DISABLED, 0, u"Locked", 90, 16,
     [](HWND h) { SendMessage(h, BM_SETCHECK, BST_CHECKED, 0); }},
    {"check_lefttext", u"BUTTON", BS_AUTOCHECKBOX | BS_LEFTTEXT, 0, u"Left text", 90, 16, {}},
    {"radio", u"BUTTON", BS_AUTORADIOBUTTON, 0, u"Feet", 70, 16, {}},
    {"radio_checked", u"BUTTON", BS_AUTORADIOBUTTON, 0, u"Metres", 70, 16,
     [](HWND h) { SendMessage(h, BM_SETCHECK, BST_CHECKED, 0); }},
    {"groupbox", u"BUTTON", BS_GROUPBOX, 0, u"Units", 90, 50, {}},
    {"check_colours", u"BUTTON", BS_AUTOCHECKBOX, 0, u"Coloured", 90, 16, {}, true},
    {"check_rtl", u"BUTTON", BS_AUTOCHECKBOX, WS_EX_RTLREADING, u"Right", 90, 16, {}},
};

const Case kStatics[] = {
    {"left_wrap", u"STATIC", SS_LEFT, 0, u"A label that wraps onto two lines", 90, 30, {}},
    {"centre", u"STATIC", SS_CENTER, 0, u"Centred", 90, 16, {}},
    {"right", u"STATIC", SS_RIGHT, 0, u"Right", 90, 16, {}},
    {"prefix", u"STATIC", SS_LEFT, 0, u"&Name && more", 90, 16, {}},
    {"noprefix", u"STATIC", SS_LEFT | SS_NOPREFIX, 0, u"&Name && more", 90, 16, {}},
    {"border_disabled", u"STATIC", SS_LEFT | WS_BORDER | WS_DISABLED, 0, u"Disabled", 90, 18, {}},
    {"colours", u"STATIC", SS_LEFT, 0, u"Coloured", 90, 16, {}, true},
    {"rtl", u"STATIC", SS_LEFT, WS_EX_RTLREADING, u"Reading", 90, 16, {}},
};

void SetBar(HWND h, int bar, int max, int page, int pos) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = max;
    si.nPage = static_cast<UINT>(page);
    si.nPos = pos;
    SetScrollInfo(h, bar, &si, true);
}

const Case kScrollBars[] = {
    {"vertical", u"SCROLLBAR", SBS_VERT, 0, u"", 13, 80,
     [](HWND h) { SetBar(h, SB_CTL, 99, 20, 30); }},
    {"horizontal_nopage", u"SCROLLBAR", SBS_HORZ, 0, u"", 80, 13,
     [](HWND h) { SetBar(h, SB_CTL, 10, 0, 10); }},
    {"disabled", u"SCROLLBAR", SBS_HORZ | WS_DISABLED, 0, u"", 80, 13,
     [](HWND h) { SetBar(h, SB_CTL, 10, 0, 0); }},
};

const Case kEdits[] = {
    {"single", u"EDIT", ES_AUTOHSCROLL | WS_BORDER, 0, u"Field value", 80, 20, {}},
    {"focused_selection", u"EDIT", ES_AUTOHSCROLL | WS_BORDER, 0, u"Field value", 80, 20,
     [](HWND h) {
         SetFocus(h);
         SendMessage(h, EM_SETSEL, 2, 7);
     }},
    {"scrolled_to_caret", u"EDIT", ES_AUTOHSCROLL | WS_BORDER, 0,
     u"A long value that does not fit", 80, 20,
     [](HWND h) {
         SetFocus(h);
         SendMessage(h, EM_SETSEL, 30, 30);
     }},
    {"nohidesel", u"EDIT", ES_AUTOHSCROLL | ES_NOHIDESEL | WS_BORDER, 0, u"Kept", 80, 20,
     [](HWND h) { SendMessage(h, EM_SETSEL, 0, -1); }},
    {"password", u"EDIT", ES_PASSWORD | WS_BORDER, 0, u"secret", 80, 20, {}},
    {"centre", u"EDIT", ES_CENTER | WS_BORDER, 0, u"mid", 80, 20, {}},
    {"right", u"EDIT", ES_RIGHT | WS_BORDER, 0, u"12.5", 80, 20, {}},
    {"readonly", u"EDIT", ES_READONLY | WS_BORDER, 0, u"Read only", 80, 20, {}},
    {"disabled", u"EDIT", WS_DISABLED | WS_BORDER, 0, u"Disabled", 80, 20, {}},
    {"multiline_wrap", u"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, 0,
     u"Notes that wrap over several lines of the field\r\nand a second paragraph", 90, 50, {}},
    {"colours", u"EDIT", WS_BORDER, 0, u"Coloured", 80, 20, {}, true},
    {"rtl", u"EDIT", WS_BORDER, WS_EX_RTLREADING, u"Reading", 80, 20, {}},
};

void Fill(HWND h, UINT add, std::initializer_list<const char16_t*> items) {
    for (const char16_t* t : items) SendMessage(h, add, 0, reinterpret_cast<LPARAM>(t));
}

const Case kLists[] = {
    {"selection", u"LISTBOX", LBS_NOTIFY | WS_BORDER, 0, u"", 80, 45,
     [](HWND h) {
         Fill(h, LB_ADDSTRING, {u"Roads", u"Rivers", u"Towns"});
         SendMessage(h, LB_SETCURSEL, 1, 0);
     }},
    {"focused_scrolled", u"LISTBOX", LBS_NOTIFY | WS_BORDER | WS_VSCROLL, 0, u"", 80, 45,
     [](HWND h) {
         Fill(h, LB_ADDSTRING, {u"One", u"Two", u"Three", u"Four", u"Five", u"Six"});
         SetFocus(h);
         SendMessage(h, WM_KEYDOWN, VK_END, 0);
     }},
    {"multiple", u"LISTBOX", LBS_MULTIPLESEL | WS_BORDER, 0, u"", 80, 45,
     [](HWND h) {
         Fill(h, LB_ADDSTRING, {u"A", u"B", u"C"});
         SendMessage(h, LB_SETSEL, TRUE, 0);
         SendMessage(h, LB_SETSEL, TRUE, 2);
     }},
    {"tabs", u"LISTBOX", LBS_USETABSTOPS | WS_BORDER, 0, u"", 100, 30,
     [](HWND h) {
         int stops[] = {40};
         SendMessage(h, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(stops));
         Fill(h, LB_ADDSTRING, {u"Name\tValue", u"X\t12"});
     }},
    {"colours", u"LISTBOX", WS_BORDER, 0, u"", 80, 30,
     [](HWND h) { Fill(h, LB_ADDSTRING, {u"Coloured"}); }, true},
    {"rtl", u"LISTBOX", WS_BORDER, WS_EX_RTLREADING, u"", 80, 30,
     [](HWND h) { Fill(h, LB_ADDSTRING, {u"Reading", u"Order"}); }},
};

const Case kCombos[] = {
    {"droplist", u"COMBOBOX", CBS_DROPDOWNLIST, 0, u"", 80, 80,
     [](HWND h) {
         Fill(h, CB_ADDSTRING, {u"Feet", u"Metres"});
         SendMessage(h, CB_SETCURSEL, 1, 0);
     }},
    {"droplist_focused", u"COMBOBOX", CBS_DROPDOWNLIST, 0, u"", 80, 80,
     [](HWND h) {
         Fill(h, CB_ADDSTRING, {u"Feet", u"Metres"});
         SendMessage(h, CB_SETCURSEL, 0, 0);
         SetFocus(h);
     }},
    {"dropdown", u"COMBOBOX", CBS_DROPDOWN, 0, u"", 80, 80,
     [](HWND h) { SetWindowText(h, u"Typed"); }},
    {"rtl", u"COMBOBOX", CBS_DROPDOWN, WS_EX_RTLREADING, u"", 80, 80,
     [](HWND h) { SetWindowText(h, u"Reading"); }},
    {"disabled", u"COMBOBOX", CBS_DROPDOWNLIST | WS_DISABLED, 0, u"", 80, 80,
     [](HWND h) {
         Fill(h, CB_ADDSTRING, {u"Feet"});
         SendMessage(h, CB_SETCURSEL, 0, 0);
     }},
};

const Case kFrames[] = {
    {"caption_ok_close", u"STATIC", WS_CAPTION | WS_SYSMENU, WS_EX_CAPTIONOKBTN, u"Settings", 120,
     60, {}},
    {"caption_close", u"STATIC", WS_CAPTION | WS_SYSMENU, 0, u"Layers", 120, 60, {}},
    {"scrollbars", u"STATIC", WS_BORDER | WS_VSCROLL | WS_HSCROLL, 0, u"", 80, 60,
     [](HWND h) {
         SetBar(h, SB_VERT, 99, 25, 50);
         SetBar(h, SB_HORZ, 99, 50, 0);
     }},
    {"dialog_frame", u"STATIC", WS_DLGFRAME, 0, u"", 60, 30, {}},
    {"client_edge", u"STATIC", 0, WS_EX_CLIENTEDGE, u"", 60, 30, {}},
    {"static_edge", u"STATIC", 0, WS_EX_STATICEDGE, u"", 60, 30, {}},
};

TEST_F(WinPaintTest, Buttons) {
    for (const Case& c : kButtons) Run("button_", c);
}

TEST_F(WinPaintTest, Statics) {
    for (const Case& c : kStatics) Run("static_", c);
}

TEST_F(WinPaintTest, ScrollBars) {
    for (const Case& c : kScrollBars) Run("scrollbar_", c);
}

TEST_F(WinPaintTest, Edits) {
    for (const Case& c : kEdits) Run("edit_", c);
}

TEST_F(WinPaintTest, ListBoxes) {
    for (const Case& c : kLists) Run("listbox_", c);
}

TEST_F(WinPaintTest, ComboBoxes) {
    for (const Case& c : kCombos) Run("combo_", c);
}

// The open drop-down is a window of its own, in the list colours the combo
// box's parent chooses.
TEST_F(WinPaintTest, ComboDropDownList) {
    g_colourParent = false;
    HWND parent = CreateWindowEx(0, u"PaintParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 120, 120,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND combo = CreateWindowEx(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 4,
                                4, 90, 70, parent, nullptr, nullptr, nullptr);
    Fill(combo, CB_ADDSTRING, {u"One", u"Two", u"Three", u"Four", u"Five", u"Six"});
    SendMessage(combo, CB_SETCURSEL, 1, 0);
    SetFocus(combo);
    SendMessage(combo, CB_SHOWDROPDOWN, TRUE, 0);
    win::input::DrainQueue();
    HWND list = FindWindow(u"ComboLBox", nullptr);
    ASSERT_NE(list, nullptr);
    golden::Expect("combo_open_field", combo);
    golden::Expect("combo_open_list", list);
    EXPECT_EQ(g_colourAsks.back(), std::make_pair(WM_CTLCOLORLISTBOX, list));
}

TEST_F(WinPaintTest, Frames) {
    for (const Case& c : kFrames) Run("frame_", c);
}

// A larger screen: metrics and the font scale with LOGPIXELSY.
TEST_F(WinPaintTest, At192DotsPerInch) {
    gdi::ScreenMetrics m;
    m.logPixelsX = m.logPixelsY = 192;
    gdi::SetScreenMetrics(m);
    HFONT font = CreateFont(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
    const Case cases[] = {
        {"push_default", u"BUTTON", BS_DEFPUSHBUTTON, 0, u"OK", 120, 44, {}},
        {"check_checked", u"BUTTON", BS_AUTOCHECKBOX, 0, u"Snap", 120, 32,
         [](HWND h) { SendMessage(h, BM_SETCHECK, BST_CHECKED, 0); }},
        {"radio_checked", u"BUTTON", BS_AUTORADIOBUTTON, 0, u"Feet", 120, 32,
         [](HWND h) { SendMessage(h, BM_SETCHECK, BST_CHECKED, 0); }},
        {"static", u"STATIC", SS_LEFT, 0, u"Label", 120, 32, {}},
        {"caption_ok_close", u"STATIC", WS_CAPTION | WS_SYSMENU, WS_EX_CAPTIONOKBTN, u"Settings",
         240, 120, {}},
        {"scrollbars", u"STATIC", WS_VSCROLL | WS_HSCROLL, 0, u"", 120, 100,
         [](HWND h) {
             SetBar(h, SB_VERT, 99, 25, 50);
             SetBar(h, SB_HORZ, 99, 50, 0);
         }},
        {"edit_focused_selection", u"EDIT", ES_AUTOHSCROLL | WS_BORDER, 0, u"Field value", 160,
         36,
         [](HWND h) {
             SetFocus(h);
             SendMessage(h, EM_SETSEL, 2, 7);
         }},
        {"listbox", u"LISTBOX", LBS_NOTIFY | WS_BORDER | WS_VSCROLL, 0, u"", 160, 80,
         [](HWND h) {
             Fill(h, LB_ADDSTRING, {u"Roads", u"Rivers", u"Towns", u"Wells"});
             SendMessage(h, LB_SETCURSEL, 1, 0);
         }},
        {"combo", u"COMBOBOX", CBS_DROPDOWNLIST, 0, u"", 160, 160,
         [](HWND h) {
             Fill(h, CB_ADDSTRING, {u"Metres"});
             SendMessage(h, CB_SETCURSEL, 0, 0);
         }},
    };
    for (const Case& c : cases) Run("dpi192_", c, font);
    DeleteObject(font);
}

struct Drawn {
    UINT type, id, action, state;
    RECT rc;
};
std::vector<Drawn> g_drawn;
LRESULT OwnerParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_MEASUREITEM) {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        if (mi->CtlType == ODT_LISTBOX) mi->itemHeight = 17;
        return TRUE;
    }
    if (m == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        g_drawn.push_back({d->CtlType, d->itemID, d->itemAction, d->itemState, d->rcItem});
        // Selected items red, the rest green, so the drawing can be seen.
        HBRUSH b = CreateSolidBrush((d->itemState & ODS_SELECTED) ? RGB(255, 0, 0) : RGB(0, 255, 0));
        FillRect(d->hDC, &d->rcItem, b);
        DeleteObject(b);
        return TRUE;
    }
    return DefWindowProc(h, m, w, l);
}

// Owner-drawn controls: the action that changed and the states, drawn on
// the control's surface.
TEST_F(WinPaintTest, OwnerDrawActionsAndStates) {
    WNDCLASS wc;
    wc.lpfnWndProc = OwnerParentProc;
    wc.lpszClassName = u"OwnerParent";
    RegisterClass(wc);
    HWND parent = CreateWindowEx(0, u"OwnerParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND b = CreateWindowEx(0, u"BUTTON", u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10, 10, 40,
                            20, parent, reinterpret_cast<HMENU>(uintptr_t(31)), nullptr, nullptr);
    win::input::DrainQueue();
    SetFocus(b);
    win::input::PenDownAt(b, POINT{5, 5});
    win::input::DrainQueue();
    POINT o;
    int w, h, stride;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(b, &o), &w, &h, &stride);
    EXPECT_EQ(px[(5 + o.y) * (stride / 4) + 5 + o.x] & 0xFFFFFF, 0xFF0000u);  // pressed: red
    win::input::PenUpAt(b, POINT{5, 5});
    win::input::DrainQueue();
    EXPECT_EQ(px[(5 + o.y) * (stride / 4) + 5 + o.x] & 0xFFFFFF, 0x00FF00u);
    EnableWindow(b, false);
    win::input::DrainQueue();
    std::vector<std::pair<UINT, UINT>> seen;
    for (const Drawn& d : g_drawn) {
        EXPECT_EQ(d.type, ODT_BUTTON);
        EXPECT_EQ(d.rc.right, 40);
        seen.emplace_back(d.action, d.state);
    }
    std::vector<std::pair<UINT, UINT>> want = {
        {ODA_DRAWENTIRE, 0},
        {ODA_FOCUS, ODS_FOCUS},
        {ODA_SELECT, ODS_SELECTED | ODS_FOCUS},
        {ODA_SELECT, ODS_FOCUS},
        {ODA_FOCUS, ODS_DISABLED},  // disabling takes the focus away
        {ODA_DRAWENTIRE, ODS_DISABLED},
    };
    EXPECT_EQ(seen, want);
    // An owner-drawn list box: one item a row, the selected one marked.
    g_drawn.clear();
    HWND l = CreateWindowEx(0, u"LISTBOX", u"", WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED, 10, 40,
                            80, 40, parent, reinterpret_cast<HMENU>(uintptr_t(32)), nullptr,
                            nullptr);
    for (const char16_t* t : {u"a", u"b"}) SendMessage(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendMessage(l, LB_SETCURSEL, 1, 0);
    win::input::DrainQueue();
    ASSERT_EQ(g_drawn.size(), 2u);
    EXPECT_EQ(g_drawn[0].type, ODT_LISTBOX);
    EXPECT_EQ(g_drawn[0].state, 0u);
    EXPECT_EQ(g_drawn[1].state, static_cast<UINT>(ODS_SELECTED));
    EXPECT_EQ(g_drawn[1].rc.top, g_drawn[0].rc.bottom);
    // Rows as high as the owner measured them, for drawing and for the pen.
    EXPECT_EQ(g_drawn[0].rc.bottom - g_drawn[0].rc.top, 17);
    EXPECT_EQ(SendMessage(l, LB_GETITEMHEIGHT, 0, 0), 17);
    win::input::TapAt(l, POINT{5, 15});
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(l, LB_GETCURSEL, 0, 0), 0);
}

// A list box wider inside than its window scrolls sideways.
TEST_F(WinPaintTest, ListBoxHorizontalExtent) {
    HWND parent = CreateWindowEx(0, u"PaintParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND l = CreateWindowEx(0, u"LISTBOX", u"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL,
                            10, 10, 100, 60, parent, nullptr, nullptr, nullptr);
    for (const char16_t* t : {u"Roads and railways of the county", u"Lakes"})
        SendMessage(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    SendMessage(l, LB_SETHORIZONTALEXTENT, 200, 0);
    win::input::DrainQueue();
    RECT rc;
    GetClientRect(l, &rc);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(l, SB_HORZ, &si));
    EXPECT_EQ(si.nMax, 199);
    EXPECT_EQ(si.nPage, static_cast<UINT>(rc.right));
    // The page to the right shows the rest of the long row; more is refused.
    SendMessage(l, WM_HSCROLL, SB_PAGEDOWN, 0);
    SendMessage(l, WM_HSCROLL, SB_PAGEDOWN, 0);
    win::input::DrainQueue();
    GetScrollInfo(l, SB_HORZ, &si);
    EXPECT_EQ(si.nPos, 200 - rc.right);
    golden::Expect("listbox_hextent_scrolled", l);
    SendMessage(l, WM_HSCROLL, SB_LINEUP, 0);
    GetScrollInfo(l, SB_HORZ, &si);
    EXPECT_EQ(si.nPos, 200 - rc.right - 8);
}

// The details pinned by the pictures, checked by rule as well.
TEST_F(WinPaintTest, ClassicDetails) {
    HWND parent = CreateWindowEx(0, u"PaintParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND def = CreateWindowEx(0, u"BUTTON", u"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 10,
                              10, 60, 22, parent, nullptr, nullptr, nullptr);
    HWND group = CreateWindowEx(0, u"BUTTON", u"G", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 50,
                                100, 60, parent, nullptr, nullptr, nullptr);
    SetFocus(def);
    win::input::DrainQueue();
    POINT o;
    int w, h, stride;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(def, &o), &w, &h, &stride);
    auto at = [&](HWND hwnd, int x, int y) {
        POINT off;
        win::GetWindowSurface(hwnd, &off);
        return px[(y + off.y) * (stride / 4) + x + off.x] & 0xFFFFFF;
    };
    // The default button's extra black frame, then the raised edge.
    EXPECT_EQ(at(def, 0, 0), 0x000000u);
    EXPECT_EQ(at(def, 59, 21), 0x000000u);
    EXPECT_EQ(at(def, 2, 2), 0xFFFFFFu);
    // The focus rectangle: dotted, every other pixel inverted.
    int dotted = 0;
    for (int x = 4; x < 56; ++x) dotted += at(def, x, 4) != 0xC0C0C0u;
    EXPECT_NEAR(dotted, 26, 1);
    // A group box keeps whatever its inside held.
    HDC dc = GetDC(group);
    SetPixel(dc, 50, 30, RGB(1, 2, 3));
    ReleaseDC(group, dc);
    InvalidateRect(group, nullptr, false);
    win::input::DrainQueue();
    EXPECT_EQ(at(group, 50, 30), 0x010203u);
    // The parent was asked for colours with the paint DC, with the message
    // of each class.
    ASSERT_FALSE(g_colourAsks.empty());
    EXPECT_EQ(g_colourAsks.front().first, WM_CTLCOLORBTN);
}

}  // namespace
