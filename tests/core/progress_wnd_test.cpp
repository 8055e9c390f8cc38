#include "core/progress_wnd.h"

#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "resources/zres.h"
#include "tests/core/ui_test_util.h"

namespace {

class ProgressWndTest : public uitest::UiTest {
protected:
    void TearDown() override {
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        UiTest::TearDown();
    }
    static RECT ChildRect(HWND parent, int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(parent, id), &r);
        POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
        MapWindowPoints(nullptr, parent, p, 2);
        return RECT{p[0].x, p[0].y, p[1].x, p[1].y};
    }
    static bool Same(const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

TEST(ProgressLayout, FixedMetricsGiveExactRectangles) {
    // Four lines of 13 pixels, a 13-pixel caption and edges of 2.
    const ProgressLayout l = ComputeProgressLayout(52, 17, 220, 2, 2);
    EXPECT_EQ(l.status.left, 2);
    EXPECT_EQ(l.status.top, 2);
    EXPECT_EQ(l.status.right, 222);
    EXPECT_EQ(l.status.bottom, 54);
    EXPECT_EQ(l.bar.left, 2);
    EXPECT_EQ(l.bar.top, 56);
    EXPECT_EQ(l.bar.right, 222);
    EXPECT_EQ(l.bar.bottom, 73);
    EXPECT_EQ(l.cancel.left, 75);
    EXPECT_EQ(l.cancel.top, 75);
    EXPECT_EQ(l.cancel.right, 149);
    EXPECT_EQ(l.cancel.bottom, 92);
    EXPECT_EQ(l.client.cx, 224);
    EXPECT_EQ(l.client.cy, 94);
}

TEST_F(ProgressWndTest, WindowIsLaidOutByTheFormula) {
    CProgressWnd p;
    ASSERT_TRUE(p.Create(nullptr, u"Packing shapefile"));
    HWND h = p.GetSafeHwnd();
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(GetWindowTextString(h), u"Packing shapefile");
    EXPECT_EQ(GetWindowTextString(GetDlgItem(h, CProgressWnd::kCancelId)), u" Cancel ");
    const DWORD ex = static_cast<DWORD>(GetWindowLong(h, GWL_EXSTYLE));
    EXPECT_NE(ex & WS_EX_TOPMOST, 0u);
    EXPECT_NE(ex & WS_EX_DLGMODALFRAME, 0u);
    // The system font's line height, measured as the window measures it.
    HDC dc = GetDC(h);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    RECT one{0, 0, 216, 0};
    DrawText(dc, u"M", 1, &one, DT_CALCRECT);
    ReleaseDC(h, dc);
    const int line = one.bottom;
    ASSERT_GT(line, 0);
    const int e = GetSystemMetrics(SM_CXEDGE);
    const ProgressLayout l = ComputeProgressLayout(4 * line, line + 2 * e, 220, e, e);
    EXPECT_TRUE(Same(ChildRect(h, CProgressWnd::kStatusId), l.status));
    EXPECT_TRUE(Same(ChildRect(h, CProgressWnd::kProgressId), l.bar));
    EXPECT_TRUE(Same(ChildRect(h, CProgressWnd::kCancelId), l.cancel));
    RECT c{};
    GetClientRect(h, &c);
    EXPECT_EQ(c.right, l.client.cx);
    EXPECT_EQ(c.bottom, l.client.cy);

    p.SetRange(0, 50, 5);
    p.StepIt();
    p.StepIt();
    EXPECT_EQ(SendMessage(GetDlgItem(h, CProgressWnd::kProgressId), PBM_GETPOS, 0, 0), 10);
    ShowWindow(h, SW_HIDE);
    p.SetPos(30);
    EXPECT_TRUE(IsWindowVisible(h));
    // Data in the arguments; the text stops at 511 characters.
    p.SetStatusText(u"%s ...", u"\\Maps\\100%s.shp");
    EXPECT_EQ(GetWindowTextString(GetDlgItem(h, CProgressWnd::kStatusId)), u"\\Maps\\100%s.shp ...");
    p.SetStatusText(u"%s", WString(600, u'x').c_str());
    EXPECT_EQ(GetWindowTextString(GetDlgItem(h, CProgressWnd::kStatusId)).size(), 511u);
    p.Reset();
    EXPECT_EQ(GetWindowTextString(GetDlgItem(h, CProgressWnd::kStatusId)), u"");
    EXPECT_EQ(SendMessage(GetDlgItem(h, CProgressWnd::kProgressId), PBM_GETPOS, 0, 0), 0);
}

TEST_F(ProgressWndTest, PumpMessagesCancelsOnEscapeAndTheKey0x87) {
    for (WPARAM key : {WPARAM(0x1B), WPARAM(0x87)}) {
        HWND owner = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300,
                                    nullptr, nullptr, nullptr, nullptr);
        CProgressWnd p;
        // Nothing waiting: true at once.
        ASSERT_TRUE(p.GoModal(owner, u"Work"));
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_TRUE(p.PumpMessages());
        EXPECT_EQ(GetFocus(), p.GetSafeHwnd());
        PostMessage(owner, WM_USER + 5, 0, 0);  // ordinary traffic is dispatched
        EXPECT_TRUE(p.PumpMessages());
        MSG m;
        EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
        PostMessage(p.GetSafeHwnd(), WM_CHAR, key, 0);
        EXPECT_FALSE(p.PumpMessages());
        EXPECT_TRUE(p.IsCancelled());
        // Modal: closed, and the owner works again.
        EXPECT_EQ(p.GetSafeHwnd(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_FALSE(p.PumpMessages());
        DestroyWindow(owner);
    }
    // Not modal: hidden.
    CProgressWnd p;
    ASSERT_TRUE(p.Create(nullptr, u"Work"));
    PostMessage(p.GetSafeHwnd(), WM_CHAR, 0x1B, 0);
    EXPECT_FALSE(p.PumpMessages());
    ASSERT_NE(p.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(IsWindowVisible(p.GetSafeHwnd()));
}

TEST_F(ProgressWndTest, PenUpOnCancelWhileModal) {
    HWND owner = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                                nullptr, nullptr, nullptr);
    CProgressWnd p;
    ASSERT_TRUE(p.GoModal(owner, u"Work"));
    HWND cancel = GetDlgItem(p.GetSafeHwnd(), CProgressWnd::kCancelId);
    RECT r{};
    GetClientRect(cancel, &r);
    // Outside the button: nothing.
    PostMessage(p.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    EXPECT_TRUE(p.PumpMessages());
    PostMessage(cancel, WM_LBUTTONUP, 0, MAKELPARAM(WORD(r.right / 2), WORD(r.bottom / 2)));
    EXPECT_FALSE(p.PumpMessages());
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(ProgressWndTest, QuitIsPassedOnAndTheLoopGoesOn) {
    CProgressWnd p;
    ASSERT_TRUE(p.Create(nullptr, u"Work"));
    PostQuitMessage(3);
    EXPECT_TRUE(p.PumpMessages());
    EXPECT_TRUE(p.PumpMessages());
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(ProgressWndTest, DestroyingAModalWindowEnablesTheOwner) {
    HWND owner = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                                nullptr, nullptr, nullptr);
    {
        CProgressWnd p;
        ASSERT_TRUE(p.CreateWithTitleId(owner, IDS_PACKING_SHAPEFILE));
        EXPECT_EQ(GetWindowTextString(p.GetSafeHwnd()), u"Packing shapefile");
        EXPECT_TRUE(p.IsModal());
        EXPECT_FALSE(IsWindowEnabled(owner));
    }
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

}  // namespace
