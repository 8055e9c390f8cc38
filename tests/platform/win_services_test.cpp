// Menus, notification icons, command routing, template writing and the
// shell's extra controls.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/res/resource.h"
#include "platform/win/command.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/extra_controls.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/shell_notify.h"

namespace {

std::vector<std::pair<UINT, WPARAM>> g_msgs;
LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND || m == WM_INITMENUPOPUP || m >= WM_APP) g_msgs.emplace_back(m, w);
    return DefWindowProc(h, m, w, l);
}

class WinServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_msgs.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = u"ServicesTest";
        RegisterClass(wc);
        wnd_ = CreateWindowEx(0, u"ServicesTest", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                              nullptr, nullptr, nullptr, nullptr);
        win::input::DrainQueue();
        g_msgs.clear();
    }
    void TearDown() override { win::ResetForTests(); }
    HWND wnd_ = nullptr;
};

TEST_F(WinServicesTest, PopupMenuFromResourceAnswersThroughTheResponder) {
    HMENU bar = LoadMenu(nullptr, MAKEINTRESOURCE(347));
    ASSERT_NE(bar, nullptr);
    HMENU popup = GetSubMenu(bar, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetMenuItemCount(popup), 4);
    EXPECT_EQ(GetMenuText(popup, 1003, MF_BYCOMMAND), u"&Zoom in");
    EXPECT_EQ(GetMenuState(popup, 1004, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(GetMenuState(popup, 1005, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(GetMenuState(popup, 2, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
    EXPECT_EQ(CheckMenuItem(bar, 1005, MF_UNCHECKED), MF_CHECKED);  // found through the pop-up
    EXPECT_EQ(CheckMenuItem(bar, 9999, MF_CHECKED), static_cast<DWORD>(-1));

    std::vector<UINT> answers = {1003, 1004, 0};
    size_t next = 0;
    win::SetPopupMenuResponder([&](HMENU, POINT, HWND) { return answers[next++]; });
    EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 10, 20, 0, wnd_, nullptr), 1003);
    EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 10, 20, 0, wnd_, nullptr), 0);  // grey
    EXPECT_EQ(TrackPopupMenu(popup, TPM_RETURNCMD, 10, 20, 0, wnd_, nullptr), 0);  // dismissed
    EnableMenuItem(popup, 1004, MF_ENABLED);
    answers = {1004};
    next = 0;
    EXPECT_TRUE(TrackPopupMenu(popup, 0, 10, 20, 0, wnd_, nullptr));
    win::input::DrainQueue();
    ASSERT_FALSE(g_msgs.empty());
    EXPECT_EQ(g_msgs.back(), std::make_pair(WM_COMMAND, WPARAM(1004)));
    EXPECT_EQ(g_msgs.front().first, WM_INITMENUPOPUP);
    EXPECT_EQ(win::PopupMenuLog().size(), 4u);
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(popup));
}

TEST_F(WinServicesTest, TrayIconsAddModifyDeleteAndTap) {
    NOTIFYICONDATA nid;
    nid.hWnd = wnd_;
    nid.uID = 0x0123ABCD;
    nid.uFlags = NIF_MESSAGE | NIF_TIP;
    nid.uCallbackMessage = WM_APP + 3;
    std::u16string tip = u"Zarnip";
    std::copy(tip.begin(), tip.end(), nid.szTip);
    EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid));
    nid.uFlags = NIF_ICON;
    nid.hIcon = reinterpret_cast<HICON>(2);
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    auto icons = win::TrayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(std::u16string(icons[0].szTip), u"Zarnip");
    EXPECT_EQ(icons[0].hIcon, reinterpret_cast<HICON>(2));
    EXPECT_TRUE(win::TapTrayIcon(wnd_, 0x0123ABCD));
    win::input::DrainQueue();
    ASSERT_EQ(g_msgs.size(), 2u);
    EXPECT_EQ(g_msgs[1], std::make_pair(WM_APP + 3, WPARAM(0x0123ABCD)));
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_TRUE(win::TrayIcons().empty());
}

struct Target : CCmdTarget {
    UINT handles;
    int state;  // -1: carries out without a state; else enable flag
    std::vector<UINT> ran;
    Target(UINT id, int s) : handles(id), state(s) {}
    bool OnCmdMsg(UINT id, int, CCmdUI* ui) override {
        if (id != handles) return false;
        if (!ui) {
            ran.push_back(id);
            return true;
        }
        if (state < 0) return true;
        ui->Enable(state != 0);
        ui->SetCheck(1);
        return true;
    }
};

TEST_F(WinServicesTest, CommandsRouteAlongTheChain) {
    Target view(1040, 0), frame(1003, -1), app(1045, 1);
    std::vector<CCmdTarget*> chain = {&view, &frame, &app};
    EXPECT_TRUE(RouteCommand(chain, 1003));
    EXPECT_EQ(frame.ran, (std::vector<UINT>{1003}));
    EXPECT_FALSE(RouteCommand(chain, 2863));
    struct Case {
        UINT id;
        bool enabled;
        int check;
    } cases[] = {{1040, false, 1}, {1003, true, 0}, {1045, true, 1}, {2863, false, 0}};
    for (const auto& c : cases) {
        CCmdUI ui = QueryCommandUI(chain, c.id);
        EXPECT_EQ(ui.m_bEnabled, c.enabled) << c.id;
        EXPECT_EQ(ui.m_nCheck, c.check) << c.id;
    }
    EXPECT_TRUE(QueryCommandUI(chain, 2863, false).m_bEnabled);
}

TEST_F(WinServicesTest, TemplatesWrittenAndReadBack) {
    auto bytes = res::FindResourceData(nullptr, res::RT_DIALOG, res::ResName(u"DLG_NAMED"));
    auto t = ParseDialogTemplate(bytes.data(), bytes.size());
    ASSERT_TRUE(t);
    // The resource compiler names the class of a CONTROL statement as text;
    // we write the ordinal. Read back, both say the same.
    auto written = SerializeDialogTemplate(*t);
    auto back = ParseDialogTemplate(written.data(), written.size());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->extended);
    EXPECT_EQ(back->faceName, t->faceName);
    EXPECT_EQ(back->style, t->style);
    ASSERT_EQ(back->items.size(), t->items.size());
    for (size_t i = 0; i < t->items.size(); ++i) {
        EXPECT_EQ(back->items[i].className, t->items[i].className);
        EXPECT_EQ(back->items[i].id, t->items[i].id);
        EXPECT_EQ(back->items[i].style, t->items[i].style);
        EXPECT_EQ(back->items[i].title, t->items[i].title);
    }
    auto classic = res::FindResourceData(nullptr, res::RT_DIALOG, WORD(100));
    auto tc = ParseDialogTemplate(classic.data(), classic.size());
    ASSERT_TRUE(tc);
    auto again = SerializeDialogTemplate(*tc);
    EXPECT_EQ(again, std::vector<uint8_t>(classic.begin(), classic.end()));
    // A pre-creation change: the dialog without a caption, right to left.
    tc->style &= ~WS_CAPTION;
    tc->exStyle |= WS_EX_LAYOUTRTL | WS_EX_RTLREADING;
    HWND d = CreateDialogFromTemplate(nullptr, *tc, wnd_, nullptr, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(GetWindowLong(d, GWL_STYLE) & static_cast<LONG>(WS_CAPTION), 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLong(d, GWL_EXSTYLE)) & 0x202000u, 0x202000u);
}

TEST_F(WinServicesTest, ExtraControlsSplitTheirTooltip) {
    EXPECT_EQ(
        CreateWindowEx(0, u"TTBUTTON", u"x", WS_CHILD, 0, 0, 1, 1, wnd_, nullptr, nullptr, nullptr),
        nullptr);  // not offered until registered
    win::RegisterExtraControls();
    HWND b = CreateWindowEx(0, u"TTBUTTON", u"Save~~Save the record", WS_CHILD | WS_VISIBLE, 0, 0,
                            40, 14, wnd_, reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetWindowTextString(b), u"Save");
    EXPECT_EQ(win::GetToolTipText(b), u"Save the record");
    SetWindowText(b, u"Plain");
    EXPECT_EQ(GetWindowTextString(b), u"Plain");
    EXPECT_EQ(win::GetToolTipText(b), u"");
    SendMessage(b, BM_CLICK, 0, 0);
    win::input::DrainQueue();
    EXPECT_EQ(g_msgs.back(), std::make_pair(WM_COMMAND, WPARAM(5)));
}

}  // namespace

#include "platform/gdi/gdi.h"
#include "platform/win/backend.h"
#include "platform/win/ctlcolor.h"
#include "platform/win/list_actions.h"

namespace {

std::vector<std::pair<WPARAM, HWND>> g_scrolls;
HBRUSH g_editBrush = reinterpret_cast<HBRUSH>(0x77);
LRESULT ColourProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_CTLCOLOREDIT) {
        SetTextColor(reinterpret_cast<HDC>(w), RGB(255, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(w), RGB(0, 0, 255));
        return reinterpret_cast<LRESULT>(g_editBrush);
    }
    if (m == WM_HSCROLL) g_scrolls.emplace_back(w, reinterpret_cast<HWND>(l));
    return DefWindowProc(h, m, w, l);
}

TEST_F(WinServicesTest, ParentsColourTheirControls) {
    SetWindowLongPtr(wnd_, GWL_WNDPROC, reinterpret_cast<intptr_t>(&ColourProc));
    HWND edit =
        CreateWindowEx(0, u"EDIT", u"", WS_CHILD, 0, 0, 10, 10, wnd_, nullptr, nullptr, nullptr);
    HWND label =
        CreateWindowEx(0, u"STATIC", u"", WS_CHILD, 0, 0, 10, 10, wnd_, nullptr, nullptr, nullptr);
    win::ControlColors c = win::QueryControlColors(edit);
    EXPECT_TRUE(c.fromParent);
    EXPECT_EQ(c.text, RGB(255, 0, 0));
    EXPECT_EQ(c.background, RGB(0, 0, 255));
    EXPECT_EQ(c.brush, g_editBrush);
    win::ControlColors d = win::QueryControlColors(label);  // parent leaves statics alone
    EXPECT_FALSE(d.fromParent);
    EXPECT_EQ(d.background, GetSysColor(COLOR_BTNFACE));
    SendMessage(edit, EM_SETREADONLY, TRUE, 0);  // a read-only edit asks as a static
    EXPECT_FALSE(win::QueryControlColors(edit).fromParent);
}

TEST_F(WinServicesTest, ScrollBarActionsReachTheParentAndPositionsClamp) {
    SetWindowLongPtr(wnd_, GWL_WNDPROC, reinterpret_cast<intptr_t>(&ColourProc));
    HWND bar = CreateWindowEx(0, u"SCROLLBAR", u"", WS_CHILD | SBS_HORZ, 0, 0, 100, 13, wnd_,
                              nullptr, nullptr, nullptr);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 100;
    si.nPage = 10;
    si.nPos = 200;
    EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &si, false), 91);  // max - page + 1
    EXPECT_EQ(SendMessage(bar, SBM_GETPOS, 0, 0), 91);
    g_scrolls.clear();
    for (WORD code = SB_LINELEFT; code <= SB_RIGHT; ++code) win::ScrollBarUserAction(bar, code, 42);
    ASSERT_EQ(g_scrolls.size(), 8u);
    EXPECT_EQ(g_scrolls[5].first, MAKEWPARAM(SB_THUMBTRACK, 42));
    EXPECT_EQ(g_scrolls[0].first, MAKEWPARAM(SB_LINELEFT, 0));
    EXPECT_EQ(g_scrolls[0].second, bar);
    // A window's own bars.
    SetScrollRange(wnd_, SB_VERT, 0, 50, false);
    SetScrollPos(wnd_, SB_VERT, 60, false);
    EXPECT_EQ(GetScrollPos(wnd_, SB_VERT), 50);
}

struct RecordingBackend : win::DisplayBackend {
    std::vector<std::string> events;
    std::function<void()> onPump;
    void WindowCreated(HWND) override { events.push_back("created"); }
    void WindowDestroyed(HWND) override { events.push_back("destroyed"); }
    void WindowChanged(HWND, win::WindowChange c) override {
        if (c == win::WindowChange::Text) events.push_back("text");
        if (c == win::WindowChange::Shown) events.push_back("shown");
    }
    void PumpNativeEvents() override {
        if (onPump) {
            auto f = std::move(onPump);
            onPump = nullptr;
            f();
        }
    }
};

TEST_F(WinServicesTest, BackendHearsOfChangesAndFeedsInputBeforeAPeek) {
    RecordingBackend b;
    win::SetDisplayBackend(&b);
    HWND w = CreateWindowEx(0, u"ServicesTest", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                            nullptr, nullptr);
    SetWindowText(w, u"x");
    ShowWindow(w, SW_SHOW);
    DestroyWindow(w);
    EXPECT_EQ(b.events,
              (std::vector<std::string>{"created", "text", "shown", "shown", "destroyed"}));
    // Native input pending in the backend is queued before the queue is looked at.
    b.onPump = [&] { win::input::TapAt(wnd_, {1, 1}); };
    MSG m;
    EXPECT_TRUE(PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
    win::SetDisplayBackend(nullptr);
}

}  // namespace

namespace {

// A backend with device input: an empty queue waits in the backend, which
// delivers a tap; a post from another thread wakes it.
struct DeviceBackend : win::DisplayBackend {
    HWND target = nullptr;
    std::atomic<int> waits{0}, wakes{0};
    bool HasCapability(win::BackendCapability c) const override {
        return c == win::BackendCapability::NativeInput;
    }
    void WaitForEvents(uint32_t) override {
        if (++waits == 1) win::input::TapAt(target, {2, 2});
    }
    void Wake() override { ++wakes; }
};

TEST_F(WinServicesTest, DeviceInputArrivesWhileTheLoopWaitsInTheBackend) {
    DeviceBackend b;
    b.target = wnd_;
    win::SetDisplayBackend(&b);
    MSG m;
    ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_LBUTTONDOWN);
    EXPECT_EQ(b.waits.load(), 1);
    int before = b.wakes.load();
    std::thread([&] { PostMessage(wnd_, WM_APP, 0, 0); }).join();
    EXPECT_GT(b.wakes.load(), before);
    win::SetDisplayBackend(nullptr);
    win::input::DrainQueue();
}

}  // namespace

namespace {

TEST_F(WinServicesTest, WindowSurfaceKeepsDrawingAndScrollsWithTheUpdateArea) {
    // Without a display backend, both kinds of window DC draw on the surface.
    // A paint DC draws inside the update area only.
    RECT spot{11, 10, 12, 11};
    InvalidateRect(wnd_, &spot, false);
    PAINTSTRUCT ps;
    ASSERT_NE(BeginPaint(wnd_, &ps), nullptr);
    SetPixel(ps.hdc, 11, 10, RGB(0, 0, 255));
    SetPixel(ps.hdc, 12, 10, RGB(0, 0, 255));
    EndPaint(wnd_, &ps);
    HDC dc = GetDC(wnd_);
    ASSERT_NE(dc, nullptr);
    SetPixel(dc, 10, 10, RGB(255, 0, 0));
    ReleaseDC(wnd_, dc);
    ValidateRect(wnd_, nullptr);
    RECT square{0, 0, 4, 4};
    InvalidateRect(wnd_, &square, false);
    ScrollWindow(wnd_, 5, 0, nullptr, nullptr);
    int w = 0, h = 0, stride = 0;
    POINT o;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(wnd_, &o), &w, &h, &stride);
    ASSERT_NE(px, nullptr);
    auto at = [&](int x, int y) { return px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF; };
    EXPECT_EQ(at(15, 10), 0xFF0000u);  // 0x00RRGGBB
    EXPECT_EQ(at(16, 10), 0x0000FFu);
    EXPECT_NE(at(17, 10), 0x0000FFu);
    EXPECT_NE(at(10, 10), 0xFF0000u);
    RECT upd;
    ASSERT_TRUE(GetUpdateRect(wnd_, &upd, false));
    // The pending 0..4 square moved right by 5 and joined the uncovered strip.
    EXPECT_EQ(upd.left, 0);
    EXPECT_EQ(upd.right, 9);
    EXPECT_EQ(upd.bottom, 320);
}

// A child scrolled (a map panned under the pen) moves its own pixels only:
// its parent's around it stay as they were.
TEST_F(WinServicesTest, ScrollingAChildLeavesItsParentAlone) {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = u"ScrollChild";
    RegisterClass(wc);
    HWND child = CreateWindowEx(0, u"ScrollChild", u"", WS_CHILD | WS_VISIBLE, 20, 30, 50, 40, wnd_,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    ValidateRect(wnd_, nullptr);
    ValidateRect(child, nullptr);
    auto fill = [](HWND hwnd, RECT r, COLORREF colour) {
        HDC dc = GetDC(hwnd);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ReleaseDC(hwnd, dc);
    };
    fill(wnd_, RECT{0, 0, 240, 320}, RGB(0, 255, 0));
    fill(child, RECT{0, 0, 50, 40}, RGB(255, 0, 0));
    ScrollWindowEx(child, 10, -8, nullptr, nullptr, nullptr, nullptr, 0);
    int w = 0, h = 0, stride = 0;
    POINT o;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(wnd_, &o), &w, &h, &stride);
    ASSERT_NE(px, nullptr);
    auto at = [&](int x, int y) { return px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF; };
    // The parent's green above, left of and around the child, untouched.
    for (POINT p : {POINT{25, 25}, POINT{15, 35}, POINT{75, 35}, POINT{45, 75}, POINT{5, 5}})
        EXPECT_EQ(at(p.x, p.y), 0x00FF00u) << p.x << "," << p.y;
    // The child's red moved inside it.
    EXPECT_EQ(at(20 + 15, 30 + 5), 0xFF0000u);
    DestroyWindow(child);
}

HCURSOR g_cross = reinterpret_cast<HCURSOR>(IDC_CROSS);
LRESULT PlainProcForCursor(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProc(h, m, w, l);
}
LRESULT CursorParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_SETCURSOR && GetDlgCtrlID(reinterpret_cast<HWND>(w)) == 2) {
        SetCursor(g_cross);  // the parent decides for child 2
        return TRUE;
    }
    return DefWindowProc(h, m, w, l);
}

TEST_F(WinServicesTest, PointerInputAsksForTheCursorParentFirst) {
    WNDCLASS wc;
    wc.lpfnWndProc = PlainProcForCursor;
    wc.hCursor = LoadCursor(nullptr, IDC_IBEAM);
    wc.lpszClassName = u"IBeam";
    RegisterClass(wc);
    SetWindowLongPtr(wnd_, GWL_WNDPROC, reinterpret_cast<intptr_t>(&CursorParentProc));
    HWND one = CreateWindowEx(0, u"IBeam", u"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, wnd_,
                              reinterpret_cast<HMENU>(1), nullptr, nullptr);
    HWND two = CreateWindowEx(0, u"IBeam", u"", WS_CHILD | WS_VISIBLE, 60, 0, 50, 50, wnd_,
                              reinterpret_cast<HMENU>(2), nullptr, nullptr);
    win::input::PenMoveAt(one, {5, 5});
    win::input::DrainQueue();
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_IBEAM));
    win::input::PenMoveAt(two, {5, 5});
    win::input::DrainQueue();
    EXPECT_EQ(GetCursor(), g_cross);
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 65);
}

}  // namespace
