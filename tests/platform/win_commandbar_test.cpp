// Toolbars, command bars and command bands on the null backend, built from
// resources compiled from .rc: buttons with images and states, drop-down
// buttons, tooltips answered by the owner, menu bar buttons whose pop-ups the
// scripted responder answers, and bands in rows.
#include <gtest/gtest.h>

#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "platform/win/dialog.h"
#include "platform/win/menu.h"
#include "platform/sys/thread.h"
#include "win_ctl_harness.h"
#include "win_golden.h"

namespace {

using ctltest::CtlTest;
using Lines = std::vector<std::string>;
using CommandBarTest = CtlTest;

TBBUTTON ButtonAt(HWND tb, int i) {
    TBBUTTON b;
    SendMessage(tb, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
    return b;
}

void SetStyle(HWND tb, int cmd, BYTE style) {
    TBBUTTONINFO bi;
    bi.dwMask = TBIF_STYLE;
    bi.fsStyle = style;
    SendMessage(tb, TB_SETBUTTONINFO, static_cast<WPARAM>(cmd), reinterpret_cast<LPARAM>(&bi));
}

TEST_F(CommandBarTest, ToolbarFromAResourceWithImagesStatesAndCommands) {
    HWND tb = Child(TOOLBARCLASSNAME, TBSTYLE_FLAT, 129, RECT{0, 0, 240, 24});
    ASSERT_TRUE(win::LoadToolbarResource(tb, nullptr, 129));
    EXPECT_FALSE(win::LoadToolbarResource(tb, nullptr, 999));
    ASSERT_EQ(SendMessage(tb, TB_BUTTONCOUNT, 0, 0), 4);
    EXPECT_EQ(ButtonAt(tb, 0).idCommand, 1800);
    EXPECT_EQ(ButtonAt(tb, 2).fsStyle, TBSTYLE_SEP);
    EXPECT_EQ(ButtonAt(tb, 3).iBitmap, 2);  // images count the commands only
    EXPECT_EQ(SendMessage(tb, TB_COMMANDTOINDEX, 1014, 0), 3);
    auto il = reinterpret_cast<HIMAGELIST>(SendMessage(tb, TB_GETIMAGELIST, 0, 0));
    EXPECT_EQ(ImageList_GetImageCount(il), 3);
    EXPECT_EQ(win::ImageListPixel(il, 2, 0, 0), CLR_NONE);  // light grey is transparent
    EXPECT_EQ(win::ImageListPixel(il, 2, 6, 6), RGB(0, 0, 255));

    RECT r;
    SendMessage(tb, TB_GETRECT, 1014, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 23 + 23 + 8);  // two buttons and a separator before it
    win::input::TapAt(tb, POINT{r.left + 3, r.top + 3});
    win::input::DrainQueue();
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 1014 0"}));

    SendMessage(tb, TB_ENABLEBUTTON, 1800, FALSE);
    EXPECT_FALSE(SendMessage(tb, TB_ISBUTTONENABLED, 1800, 0));
    win::ToolbarUserTap(tb, 0);
    EXPECT_TRUE(Take().empty());

    // Check buttons, alone and as a group.
    SetStyle(tb, 1014, static_cast<BYTE>(TBSTYLE_CHECK));
    win::ToolbarUserTap(tb, 3);
    EXPECT_TRUE(SendMessage(tb, TB_ISBUTTONCHECKED, 1014, 0));
    win::ToolbarUserTap(tb, 3);
    EXPECT_FALSE(SendMessage(tb, TB_ISBUTTONCHECKED, 1014, 0));
    SendMessage(tb, TB_ENABLEBUTTON, 1800, TRUE);
    SetStyle(tb, 1800, static_cast<BYTE>(TBSTYLE_CHECKGROUP));
    SetStyle(tb, 1801, static_cast<BYTE>(TBSTYLE_CHECKGROUP));
    win::ToolbarUserTap(tb, 0);
    win::ToolbarUserTap(tb, 1);
    EXPECT_FALSE(SendMessage(tb, TB_ISBUTTONCHECKED, 1800, 0));
    EXPECT_TRUE(SendMessage(tb, TB_ISBUTTONCHECKED, 1801, 0));
    Take();

    // A button takes another command and image (the mode buttons do).
    TBBUTTONINFO bi;
    bi.dwMask = TBIF_COMMAND | TBIF_IMAGE;
    bi.idCommand = 1802;
    bi.iImage = 1;
    SendMessage(tb, TB_SETBUTTONINFO, 1800, reinterpret_cast<LPARAM>(&bi));
    EXPECT_EQ(ButtonAt(tb, 0).idCommand, 1802);
    EXPECT_EQ(SendMessage(tb, TB_GETBITMAP, 1802, 0), 1);
    EXPECT_TRUE(SendMessage(tb, TB_DELETEBUTTON, 2, 0));
    EXPECT_EQ(SendMessage(tb, TB_BUTTONCOUNT, 0, 0), 3);
}

TEST_F(CommandBarTest, DropDownButtonsNotifyWithTheirRectangle) {
    HWND tb = Child(TOOLBARCLASSNAME, TBSTYLE_FLAT, 130, RECT{0, 0, 240, 24});
    win::LoadToolbarResource(tb, nullptr, 129);
    SetStyle(tb, 1014, static_cast<BYTE>(TBSTYLE_DROPDOWN));
    Take();
    NMTOOLBAR seen;
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code == TBN_DROPDOWN) seen = *reinterpret_cast<NMTOOLBAR*>(nm);
        return false;
    };
    win::ToolbarUserTap(tb, 3);  // without arrows the whole button drops down
    EXPECT_EQ(Take(), Lines({"TBN_DROPDOWN 130"}));
    EXPECT_EQ(seen.iItem, 1014);
    RECT r;
    SendMessage(tb, TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(seen.rcButton.left, r.left);
    EXPECT_EQ(seen.rcButton.right, r.right);

    SendMessage(tb, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessage(tb, TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.right - r.left, 23 + 12);
    win::input::TapAt(tb, POINT{r.left + 2, r.top + 2});
    win::input::TapAt(tb, POINT{r.right - 2, r.top + 2});
    win::input::DrainQueue();
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 1014 0", "TBN_DROPDOWN 130"}));

    // The arrow part shows a downward triangle: three rows of 5, 3 and 1
    // text-coloured pixels; a disabled button's in grey.
    auto arrowPixels = [&](COLORREF ink) {
        InvalidateRect(tb, nullptr, false);
        win::input::DrainQueue();
        POINT o;
        int w, h, stride;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(tb, &o), &w, &h, &stride);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.right - 12; x < r.right; ++x)
                n += (px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF) ==
                     ((GetRValue(ink) << 16) | (GetGValue(ink) << 8) | GetBValue(ink));
        return n;
    };
    EXPECT_EQ(arrowPixels(GetSysColor(COLOR_BTNTEXT)), 9);
    SendMessage(tb, TB_ENABLEBUTTON, 1014, 0);
    EXPECT_EQ(arrowPixels(GetSysColor(COLOR_GRAYTEXT)), 9);
}

TEST_F(CommandBarTest, TooltipsAskTheOwnerForTheButtonText) {
    HWND tb = Child(TOOLBARCLASSNAME, TBSTYLE_TOOLTIPS, 131, RECT{0, 0, 240, 24});
    win::LoadToolbarResource(tb, nullptr, 129);
    auto tip = reinterpret_cast<HWND>(SendMessage(tb, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessage(tip, TTM_GETTOOLCOUNT, 0, 0), 3);
    // The owner answers with a string resource of the command's id.
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code != TTN_GETDISPINFO) return false;
        auto* di = reinterpret_cast<NMTTDISPINFO*>(nm);
        di->hinst = res::GetResourceHandle();
        di->lpszText = const_cast<WChar*>(MAKEINTRESOURCE(static_cast<WORD>(nm->idFrom)));
        return true;
    };
    RECT r;
    SendMessage(tb, TB_GETRECT, 1801, reinterpret_cast<LPARAM>(&r));
    Take();
    EXPECT_EQ(win::ToolTipHover(tip, tb, POINT{r.left + 1, r.top + 1}), u"Zoom out");
    EXPECT_EQ(Take().front(), "TTN_GETDISPINFO 1801");
    SendMessage(tb, TB_DELETEBUTTON, 0, 0);
    EXPECT_EQ(SendMessage(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    SendMessage(tb, TB_GETRECT, 1801, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(win::ToolTipHover(tip, tb, POINT{r.left + 1, r.top + 1}), u"Zoom out");
}

TEST_F(CommandBarTest, TooltipShownWhileThePenIsHeldOnAButton) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    HWND tb = Child(TOOLBARCLASSNAME, TBSTYLE_TOOLTIPS, 131, RECT{0, 0, 240, 24});
    win::LoadToolbarResource(tb, nullptr, 129);
    auto tip = reinterpret_cast<HWND>(SendMessage(tb, TB_GETTOOLTIPS, 0, 0));
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code != TTN_GETDISPINFO) return false;
        reinterpret_cast<NMTTDISPINFO*>(nm)->lpszText = const_cast<WChar*>(u"Zoom in");
        return true;
    };
    RECT r;
    SendMessage(tb, TB_GETRECT, 1800, reinterpret_cast<LPARAM>(&r));
    POINT at{r.left + 5, r.top + 5};
    win::input::PenDownAt(tb, at);
    win::input::DrainQueue();
    clock.Advance(499);
    win::input::DrainQueue();
    EXPECT_EQ(win::ToolTipShownText(tip), u"");
    clock.Advance(1);
    win::input::DrainQueue();
    EXPECT_EQ(win::ToolTipShownText(tip), u"Zoom in");
    ASSERT_TRUE(IsWindowVisible(tip));
    RECT tr;
    GetWindowRect(tip, &tr);
    POINT screen = at;
    ClientToScreen(tb, &screen);
    EXPECT_GT(tr.top, screen.y);  // below the pen, clear of the finger
    EXPECT_GT(tr.right - tr.left, 20);
    golden::Expect("tooltip_held", tip);
    // Lifted: the tip goes, and the button still acts.
    Take();
    win::input::PenUpAt(tb, at);
    win::input::DrainQueue();
    EXPECT_FALSE(IsWindowVisible(tip));
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 1800 0"}));
    // Moved away before the time: no tip.
    win::input::PenDownAt(tb, at);
    win::input::PenMoveAt(tb, POINT{at.x + 10, at.y});
    win::input::DrainQueue();
    clock.Advance(1000);
    win::input::DrainQueue();
    EXPECT_EQ(win::ToolTipShownText(tip), u"");
    win::input::PenUpAt(tb, at);
    win::input::DrainQueue();
    sys::SetClock(nullptr);
}

TEST_F(CommandBarTest, CommandBarMenusFromAMenuResource) {
    HWND bar = CommandBar_Create(nullptr, host_, 1);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetParent(bar), host_);
    ASSERT_TRUE(CommandBar_InsertMenubar(bar, nullptr, 130, 0));
    EXPECT_FALSE(CommandBar_InsertMenubar(bar, nullptr, 999, 0));
    ASSERT_TRUE(CommandBar_AddBitmap(bar, nullptr, 129, 3, 16, 15));
    TBBUTTON zoom;
    zoom.idCommand = 1800;
    zoom.iBitmap = 0;
    zoom.fsState = TBSTATE_ENABLED;
    ASSERT_TRUE(CommandBar_AddButtons(bar, 1, &zoom));
    EXPECT_EQ(SendMessage(bar, TB_BUTTONCOUNT, 0, 0), 3);
    EXPECT_GT(CommandBar_Height(bar), 20);

    HMENU file = CommandBar_GetMenu(bar, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuItemCount(file), 4);
    EXPECT_EQ(GetMenuText(file, 57601, MF_BYCOMMAND), u"&Open");
    EXPECT_EQ(GetMenuState(file, 57603, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    HMENU view = CommandBar_GetMenu(bar, 1);
    EXPECT_EQ(GetMenuState(view, 1036, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(CommandBar_GetMenu(bar, 2), nullptr);

    // The user opens File and picks Open; a grey item cannot be picked.
    std::vector<UINT> picks = {57601, 57603};
    size_t next = 0;
    std::vector<POINT> where;
    win::SetPopupMenuResponder([&](HMENU menu, POINT at, HWND) {
        EXPECT_EQ(menu, file);
        where.push_back(at);
        return picks[next++];
    });
    win::ToolbarUserTap(bar, 0);
    win::ToolbarUserTap(bar, 0);
    win::input::DrainQueue();
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 57601 0"}));
    ASSERT_EQ(where.size(), 2u);
    RECT r;
    SendMessage(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    POINT below{r.left, r.bottom};
    ClientToScreen(bar, &below);
    EXPECT_EQ(where[0].x, below.x);  // below the button
    EXPECT_EQ(where[0].y, below.y);

    // The same pop-up with the return-command option, as the view's menus.
    picks = {1036};
    next = 0;
    win::SetPopupMenuResponder([&](HMENU, POINT, HWND) { return picks[next++]; });
    EXPECT_EQ(TrackPopupMenu(view, TPM_RETURNCMD | TPM_NONOTIFY, 5, 5, 0, host_, nullptr), 1036);
    win::input::DrainQueue();
    EXPECT_TRUE(Take().empty());  // returned, not posted
    win::ToolbarUserTap(bar, 2);
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 1800 0"}));
    EXPECT_TRUE(CommandBar_Show(bar, false));
    EXPECT_FALSE(IsWindowVisible(bar));
}

TEST_F(CommandBarTest, ImageMenuItemsAreMeasuredAndDrawnByTheOwner) {
    // An image menu: owner-drawn items carry their data; the owner draws
    // each one's toolbar image and, when checked, a frame.
    HIMAGELIST il = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(129), 16, 1, 0x00C0C0C0);
    HMENU popup = CreatePopupMenu();
    AppendMenu(popup, MF_OWNERDRAW, 1800, reinterpret_cast<const WChar*>(uintptr_t{0}));
    AppendMenu(popup, MF_OWNERDRAW | MF_CHECKED | MF_GRAYED, 1801,
               reinterpret_cast<const WChar*>(uintptr_t{1}));
    AppendMenu(popup, MF_STRING, 1014, u"Full extent");
    MENUITEMINFO mi;
    mi.fMask = MIIM_DATA | MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfo(popup, 1, true, &mi));
    EXPECT_EQ(mi.dwItemData, 1u);
    EXPECT_EQ(mi.fType, MFT_OWNERDRAW);
    EXPECT_EQ(mi.fState & MFS_CHECKED, MFS_CHECKED);
    mi.fMask = MIIM_DATA;
    mi.dwItemData = 2;
    EXPECT_TRUE(SetMenuItemInfo(popup, 1014, false, &mi));
    EXPECT_FALSE(SetMenuItemInfo(popup, 4242, false, &mi));

    std::vector<COLORREF> drawn;
    ctltest::DrawHook() = [&](const DRAWITEMSTRUCT& dis) {
        EXPECT_EQ(dis.CtlType, ODT_MENU);
        EXPECT_EQ(dis.hwndItem, reinterpret_cast<HWND>(popup));
        ImageList_Draw(il, static_cast<int>(dis.itemData), dis.hDC, dis.rcItem.left, dis.rcItem.top,
                       (dis.itemState & ODS_GRAYED) ? ILD_BLEND50 : ILD_TRANSPARENT);
        drawn.push_back(GetPixel(dis.hDC, dis.rcItem.left + 6, dis.rcItem.top + 6));
    };
    win::SetPopupMenuResponder([](HMENU, POINT, HWND) { return 1801u; });
    EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 0, 0, 0, host_, nullptr), 0);  // grey
    EXPECT_EQ(Take(), Lines({"WM_MEASUREITEM 1800 0", "WM_MEASUREITEM 1801 1", "WM_DRAWITEM 1800 0",
                             "WM_DRAWITEM 1801 " + std::to_string(ODS_GRAYED | ODS_CHECKED)}));
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0], RGB(255, 0, 0));
    EXPECT_NE(drawn[1], RGB(0, 255, 0));  // dimmed
    DestroyMenu(popup);
    ImageList_Destroy(il);
}

TEST_F(CommandBarTest, CommandBandsHoldBarsInRows) {
    HIMAGELIST bandImages = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(129), 16, 1, 0x00C0C0C0);
    HWND bands =
        CommandBands_Create(nullptr, host_, 59396, RBS_VARHEIGHT | RBS_BANDBORDERS, bandImages);
    ASSERT_NE(bands, nullptr);
    Take();
    REBARBANDINFO info[3];
    for (UINT i = 0; i < 3; ++i) {
        info[i].fMask = RBBIM_ID | RBBIM_STYLE | RBBIM_SIZE | RBBIM_IMAGE | RBBIM_LPARAM;
        info[i].wID = 128 + i;
        info[i].fStyle = i == 0 ? 0 : RBBS_BREAK | RBBS_GRIPPERALWAYS;
        info[i].cx = 120;
        info[i].iImage = static_cast<int>(i);
        info[i].lParam = 10 + i;
    }
    ASSERT_TRUE(CommandBands_AddBands(bands, nullptr, 3, info));
    EXPECT_EQ(SendMessage(bands, RB_GETBANDCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessage(bands, RB_GETROWCOUNT, 0, 0), 3);
    HWND browse = CommandBands_GetCommandBar(bands, 1);
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(GetClassNameText(browse), u"ToolbarWindow32");
    EXPECT_EQ(GetDlgCtrlID(browse), 129);
    EXPECT_EQ(SendMessage(bands, RB_IDTOINDEX, 130, 0), 2);
    int height = static_cast<int>(SendMessage(bands, RB_GETBARHEIGHT, 0, 0));
    RECT r;
    GetWindowRect(bands, &r);
    EXPECT_EQ(r.bottom - r.top, height);
    Lines heard = Take();
    EXPECT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), "RBN_HEIGHTCHANGE 59396");

    // The browse bar's buttons reach the frame through the bands.
    win::LoadToolbarResource(browse, nullptr, 129);
    win::ToolbarUserTap(browse, 1);
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 1801 0"}));

    // Hiding the last band takes a row away; a new row flag joins rows.
    SendMessage(bands, RB_SHOWBAND, 2, FALSE);
    EXPECT_EQ(SendMessage(bands, RB_GETROWCOUNT, 0, 0), 2);
    EXPECT_FALSE(IsWindowVisible(CommandBands_GetCommandBar(bands, 2)));
    EXPECT_LT(SendMessage(bands, RB_GETBARHEIGHT, 0, 0), height);
    REBARBANDINFO style;
    style.fMask = RBBIM_STYLE;
    style.fStyle = 0;
    SendMessage(bands, RB_SETBANDINFO, 1, reinterpret_cast<LPARAM>(&style));
    EXPECT_EQ(SendMessage(bands, RB_GETROWCOUNT, 0, 0), 1);
    REBARBANDINFO back;
    back.fMask = RBBIM_LPARAM | RBBIM_IMAGE;
    SendMessage(bands, RB_GETBANDINFO, 2, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(back.lParam, 12);
    EXPECT_EQ(back.iImage, 2);
    ImageList_Destroy(bandImages);
}

}  // namespace

namespace {

// Steps run one at a time whenever the loop that is running is idle (a
// timer of a window of the test's own).
std::vector<std::function<void()>> g_steps;
HWND g_stepper = nullptr;

LRESULT StepperProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER) {
        KillTimer(h, w);
        if (!g_steps.empty()) {
            auto step = std::move(g_steps.front());
            g_steps.erase(g_steps.begin());
            if (!g_steps.empty()) SetTimer(h, 1, 0, nullptr);
            step();
        }
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class MenuBarTest : public CtlTest {
protected:
    void SetUp() override {
        CtlTest::SetUp();
        WNDCLASS wc;
        wc.lpfnWndProc = StepperProc;
        wc.lpszClassName = u"Stepper";
        RegisterClass(wc);
        g_stepper = CreateWindowEx(0, u"Stepper", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
        bar_ = CommandBar_Create(nullptr, host_, 1);
        ASSERT_TRUE(CommandBar_InsertMenubar(bar_, nullptr, 130, 0));
        win::UseRealWindows(true);
        SetFocus(host_);
        win::input::DrainQueue();
        Take();
    }
    void TearDown() override {
        g_steps.clear();
        CtlTest::TearDown();
    }
    void Steps(std::vector<std::function<void()>> steps) {
        g_steps = std::move(steps);
        SetTimer(g_stepper, 1, 0, nullptr);
    }
    std::vector<HMENU> Opened() const {
        std::vector<HMENU> out;
        for (const auto& r : win::PopupMenuLog()) out.push_back(r.menu);
        return out;
    }
    POINT Centre(int index) const {
        RECT r;
        SendMessage(bar_, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    HWND bar_ = nullptr;
};

TEST_F(MenuBarTest, AltEntersTheBarAndLeftRightGoRoundItsMenus) {
    HMENU file = CommandBar_GetMenu(bar_, 0), view = CommandBar_GetMenu(bar_, 1);
    // Alt alone opens File; Left goes round to View, Right back to File,
    // Escape leaves the bar.
    win::input::Key(VK_MENU);
    Steps({[] { win::input::Key(VK_LEFT); }, [] { win::input::Key(VK_RIGHT); },
           [] { win::input::Key(VK_ESCAPE); }});
    win::input::DrainQueue();
    EXPECT_EQ(Opened(), (std::vector<HMENU>{file, view, file}));
    EXPECT_TRUE(Take().empty());
    // Entered from the keys, a menu opens with its first item ready.
    win::input::Key(VK_MENU);
    Steps({[] { win::input::Key(VK_RIGHT); }, [] { win::input::Key(VK_RETURN); }});
    win::input::DrainQueue();
    EXPECT_EQ(Take(), Lines({"WM_COMMAND 1036 0"}));
    // Alt with another key between does not enter it.
    size_t before = win::PopupMenuLog().size();
    win::input::KeyDown(VK_MENU);
    win::input::Key(VK_F1 + 4);
    win::input::KeyUp(VK_MENU);
    win::input::DrainQueue();
    EXPECT_EQ(win::PopupMenuLog().size(), before);
}

TEST_F(MenuBarTest, ATapOnAnotherMenuButtonOpensItsMenu) {
    HMENU file = CommandBar_GetMenu(bar_, 0), view = CommandBar_GetMenu(bar_, 1);
    win::input::TapAt(bar_, Centre(0));
    Steps({[this] { win::input::TapAt(bar_, Centre(1)); },
           [this] {
               // View is open below its button, which shows pressed.
               EXPECT_EQ(SendMessage(bar_, TB_GETSTATE, 0xE101, 0) & TBSTATE_PRESSED,
                         TBSTATE_PRESSED);
               EXPECT_EQ(SendMessage(bar_, TB_GETSTATE, 0xE100, 0) & TBSTATE_PRESSED, 0);
               win::input::TapAt(host_, POINT{200, 300});
           }});
    win::input::DrainQueue();
    EXPECT_EQ(Opened(), (std::vector<HMENU>{file, view}));
    EXPECT_EQ(SendMessage(bar_, TB_GETSTATE, 0xE101, 0) & TBSTATE_PRESSED, 0);
    EXPECT_TRUE(Take().empty());
}

// On a mirrored host (a right-to-left language), the menu bar's pop-ups
// are mirrored too: each opens below its button with its right edge at the
// button's right edge, and a tap on the other menu button opens that menu.
TEST_F(MenuBarTest, MirroredBarOpensMirroredMenusAtTheButtonsRightEdge) {
    HWND rtlHost = CreateWindowEx(WS_EX_LAYOUTRTL, u"CtlTestHost", u"", WS_POPUP | WS_VISIBLE,
                                  0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
    HWND bar = CommandBar_Create(nullptr, rtlHost, 1);
    ASSERT_TRUE(CommandBar_InsertMenubar(bar, nullptr, 132, 0));
    win::input::DrainQueue();
    auto buttonOnScreen = [bar](int i) {
        RECT r;
        SendMessage(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&r), 2);
        std::swap(r.left, r.right);  // mapped point by point into a mirrored window
        return r;
    };
    auto check = [&](int i) {
        HWND menu = FindWindow(u"#32768", nullptr);
        ASSERT_NE(menu, nullptr);
        EXPECT_NE(GetWindowLongPtr(menu, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
        RECT m, b = buttonOnScreen(i);
        GetWindowRect(menu, &m);
        EXPECT_EQ(m.right, b.right) << i;
        EXPECT_EQ(m.top, b.bottom) << i;
    };
    RECT first = buttonOnScreen(0), second = buttonOnScreen(1);
    EXPECT_LE(second.right, first.left);  // the second menu stands to the left
    win::input::PenDown(POINT{(first.left + first.right) / 2, first.top + 4});
    win::input::PenUp(POINT{(first.left + first.right) / 2, first.top + 4});
    Steps({[&] {
               check(0);
               POINT at{(second.left + second.right) / 2, second.top + 4};
               win::input::PenDown(at);
               win::input::PenUp(at);
           },
           [&] {
               check(1);
               win::input::Key(VK_ESCAPE);
           }});
    win::input::DrainQueue();
    EXPECT_EQ(Opened(), (std::vector<HMENU>{CommandBar_GetMenu(bar, 0), CommandBar_GetMenu(bar, 1)}));
    DestroyWindow(rtlHost);
}

}  // namespace

namespace {

// Pictures of the bars: a command bar with its menus and buttons in their
// states at 96 and 192 dots per inch, and command bands in rows.
class BarPictureTest : public CtlTest {
protected:
    void TearDown() override {
        CtlTest::TearDown();
        gdi::ResetForTests();  // the screen's dots per inch back to 96
    }
};

HWND PictureBar(HWND host) {
    HWND bar = CommandBar_Create(nullptr, host, 1);
    CommandBar_InsertMenubar(bar, nullptr, 130, 0);
    CommandBar_AddBitmap(bar, nullptr, 129, 3, 16, 15);
    TBBUTTON buttons[5];
    buttons[0].fsStyle = TBSTYLE_SEP;
    buttons[1].idCommand = 1800;
    buttons[1].iBitmap = 0;
    buttons[1].fsState = TBSTATE_ENABLED | TBSTATE_CHECKED;
    buttons[1].fsStyle = TBSTYLE_CHECK;
    buttons[2].idCommand = 1801;
    buttons[2].iBitmap = 1;
    buttons[2].fsState = 0;  // disabled: greyed image
    buttons[3].idCommand = 1014;
    buttons[3].iBitmap = 2;
    buttons[3].fsState = TBSTATE_ENABLED;
    buttons[3].fsStyle = TBSTYLE_DROPDOWN;
    buttons[4].idCommand = 1015;
    buttons[4].iBitmap = 2;
    buttons[4].fsState = TBSTATE_ENABLED | TBSTATE_PRESSED;
    CommandBar_AddButtons(bar, 5, buttons);
    SendMessage(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    return bar;
}

TEST_F(BarPictureTest, CommandBarAt96And192) {
    HWND bar = PictureBar(host_);
    win::input::DrainQueue();
    golden::Expect("commandbar_menus_buttons", bar);
    DestroyWindow(bar);

    gdi::ScreenMetrics m;
    m.logPixelsX = m.logPixelsY = 192;
    gdi::SetScreenMetrics(m);
    // A screen of twice the dots per inch is twice as wide.
    SetWindowPos(host_, nullptr, 0, 0, 480, 640, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND big = PictureBar(host_);
    win::input::DrainQueue();
    // The menus' texts fit their buttons, and the bar is as high as they are.
    RECT file, view;
    SendMessage(big, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&file));
    SendMessage(big, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&view));
    HDC dc = GetDC(big);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(big, WM_GETFONT, 0, 0))
                         ? reinterpret_cast<HFONT>(SendMessage(big, WM_GETFONT, 0, 0))
                         : reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
    SIZE text{};
    GetTextExtentPoint32(dc, u"File", 4, &text);
    ReleaseDC(big, dc);
    EXPECT_GE(file.right - file.left, text.cx);
    EXPECT_GE(file.bottom - file.top, text.cy);
    EXPECT_EQ(view.left, file.right);
    // The images are the bitmap's, every pixel doubled; the buttons hold them.
    auto images = reinterpret_cast<HIMAGELIST>(SendMessage(big, TB_GETIMAGELIST, 0, 0));
    HIMAGELIST at96 = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(129), 16, 1, 0x00C0C0C0);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 30);
    ASSERT_EQ(ImageList_GetImageCount(images), ImageList_GetImageCount(at96));
    for (int i = 0; i < ImageList_GetImageCount(images); ++i)
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                ASSERT_EQ(win::ImageListPixel(images, i, x, y), win::ImageListPixel(at96, i, x / 2, y / 2))
                    << i << " " << x << "," << y;
    ImageList_Destroy(at96);
    RECT zoom;
    SendMessage(big, TB_GETRECT, 1800, reinterpret_cast<LPARAM>(&zoom));
    EXPECT_EQ(zoom.right - zoom.left, 46);
    EXPECT_GE(zoom.bottom - zoom.top, 44);
    golden::Expect("dpi192_commandbar_menus_buttons", big);
}

// A bar docked at a side has one button a row; a drop-down button's arrow
// sits beside its image, and the bar is as wide as that button.
TEST_F(BarPictureTest, VerticalBarPutsTheDropDownArrowBesideTheImage) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        gdi::ScreenMetrics m;
        m.logPixelsX = m.logPixelsY = dpi;
        gdi::SetScreenMetrics(m);
        const int u = dpi / 96;
        HWND bar = Child(TOOLBARCLASSNAME, TBSTYLE_FLAT | CCS_VERT | CCS_NODIVIDER, 140,
                         RECT{0, 0, 10, 10});
        SendMessage(bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
        SendMessage(bar, TB_SETBITMAPSIZE, 0, MAKELONG(16, 15));
        TBADDBITMAP ab;
        ab.hInst = res::GetResourceHandle();
        ab.nID = 129;
        ASSERT_EQ(SendMessage(bar, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&ab)), 0);
        TBBUTTON buttons[3];
        buttons[0].idCommand = 1800;
        buttons[0].iBitmap = 0;
        buttons[0].fsState = TBSTATE_ENABLED | TBSTATE_WRAP;
        buttons[1].fsStyle = TBSTYLE_SEP;
        buttons[2].idCommand = 1014;
        buttons[2].iBitmap = 2;
        buttons[2].fsState = TBSTATE_ENABLED | TBSTATE_WRAP;
        buttons[2].fsStyle = TBSTYLE_DROPDOWN;
        SendMessage(bar, TB_ADDBUTTONS, 3, reinterpret_cast<LPARAM>(buttons));
        SendMessage(bar, TB_AUTOSIZE, 0, 0);
        RECT zoom, drop, window;
        SendMessage(bar, TB_GETRECT, 1800, reinterpret_cast<LPARAM>(&zoom));
        SendMessage(bar, TB_GETRECT, 1014, reinterpret_cast<LPARAM>(&drop));
        GetWindowRect(bar, &window);
        EXPECT_EQ(zoom.right - zoom.left, 23 * u);
        EXPECT_EQ(drop.left, 0);
        EXPECT_EQ(drop.top, zoom.bottom + 8 * u);  // below the separator
        EXPECT_EQ(drop.right - drop.left, (23 + 12) * u);
        EXPECT_EQ(window.right - window.left, drop.right);
        win::input::DrainQueue();
        // The arrow's ink lies right of the image, and the image is whole.
        POINT o;
        int w, h, stride;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(bar, &o), &w, &h, &stride);
        auto at = [&](int x, int y) { return px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF; };
        const int imageLeft = drop.left + 3 * u, imageRight = imageLeft + 16 * u;
        const int imageTop = (drop.top + drop.bottom - 15 * u) / 2;
        int ink = 0;
        for (int y = drop.top; y < drop.bottom; ++y)
            for (int x = drop.left; x < drop.right; ++x)
                if (at(x, y) == 0) {
                    ++ink;
                    EXPECT_GE(x, imageRight) << x << "," << y;
                }
        EXPECT_EQ(ink, 9 * u * u);
        EXPECT_EQ(at(imageLeft + 6 * u, imageTop + 6 * u), 0x0000FFu);
        golden::Expect(dpi == 96 ? "toolbar_vertical_dropdown" : "dpi192_toolbar_vertical_dropdown",
                       bar);
        DestroyWindow(bar);
    }
}

// At 192 dots per inch the grippers, rows and bars are twice the size; the
// band images are the caller's list as given.
TEST_F(BarPictureTest, CommandBandsInRows) {
    HIMAGELIST images = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(129), 16, 1, 0x00C0C0C0);
    for (int dpi : {96, 192}) {
        gdi::ScreenMetrics m;
        m.logPixelsX = m.logPixelsY = dpi;
        gdi::SetScreenMetrics(m);
        HWND bands =
            CommandBands_Create(nullptr, host_, 59396, RBS_VARHEIGHT | RBS_BANDBORDERS, images);
        REBARBANDINFO info[3];
        for (UINT i = 0; i < 3; ++i) {
            info[i].fMask = RBBIM_ID | RBBIM_STYLE | RBBIM_SIZE | RBBIM_IMAGE;
            info[i].wID = 128 + i;
            info[i].fStyle = i == 2 ? RBBS_BREAK | RBBS_GRIPPERALWAYS : RBBS_GRIPPERALWAYS;
            info[i].cx = static_cast<UINT>(110 * dpi / 96);
            info[i].iImage = static_cast<int>(i);
        }
        ASSERT_TRUE(CommandBands_AddBands(bands, nullptr, 3, info));
        CommandBar_InsertMenubar(CommandBands_GetCommandBar(bands, 0), nullptr, 130, 0);
        win::input::DrainQueue();
        golden::Expect(dpi == 96 ? "commandbands_rows" : "dpi192_commandbands_rows", bands);
        DestroyWindow(bands);
    }
    ImageList_Destroy(images);
}

}  // namespace
