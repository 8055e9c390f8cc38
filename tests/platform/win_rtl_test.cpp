// Right-to-left layout: a mirrored window places and hit-tests its children
// as the mirror image of the same window laid out left to right, and maps
// points so that a rectangle comes out with left and right exchanged.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

std::vector<std::pair<HWND, POINT>> g_downs;
LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_LBUTTONDOWN) g_downs.emplace_back(h, POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    return DefWindowProc(h, m, w, l);
}

class WinRtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_downs.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = u"RtlTest";
        RegisterClass(wc);
    }
    void TearDown() override { win::ResetForTests(); }
    struct Layout {
        HWND parent;
        std::vector<HWND> kids;
    };
    Layout Make(DWORD ex) {
        Layout l;
        l.parent = CreateWindowEx(ex, u"RtlTest", u"Dialog", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                                  10, 20, 200, 150, nullptr, nullptr, nullptr, nullptr);
        const RECT kids[] = {{5, 5, 60, 25}, {70, 5, 190, 25}, {5, 40, 100, 120}};
        for (const RECT& r : kids)
            l.kids.push_back(CreateWindowEx(0, u"RtlTest", u"", WS_CHILD | WS_VISIBLE, r.left,
                                            r.top, r.right - r.left, r.bottom - r.top, l.parent,
                                            nullptr, nullptr, nullptr));
        win::input::DrainQueue();
        return l;
    }
};

TEST_F(WinRtlTest, MirroredDialogIsTheMirrorImage) {
    Layout ltr = Make(0);
    Layout rtl = Make(WS_EX_LAYOUTRTL);
    POINT lo{0, 0};
    ClientToScreen(ltr.parent, &lo);
    RECT pr;
    GetWindowRect(rtl.parent, &pr);
    RECT lc;
    GetClientRect(ltr.parent, &lc);
    POINT rtlLeft{pr.left + 1, 0};  // the mirrored client area starts after the border
    for (size_t i = 0; i < ltr.kids.size(); ++i) {
        RECT a, b;
        GetWindowRect(ltr.kids[i], &a);
        GetWindowRect(rtl.kids[i], &b);
        // Relative to each parent's client area, b mirrors a.
        int aL = a.left - lo.x, aR = a.right - lo.x;
        int bL = b.left - rtlLeft.x, bR = b.right - rtlLeft.x;
        EXPECT_EQ(bL, lc.right - aR) << i;
        EXPECT_EQ(bR, lc.right - aL) << i;
        EXPECT_EQ(b.top, a.top) << i;  // both dialogs stand at the same place
        EXPECT_EQ(b.bottom, a.bottom) << i;
        // A tap at the middle of the mirrored child reaches it.
        POINT mid{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        EXPECT_EQ(win::input::WindowFromPoint(mid), rtl.kids[i]);
    }
    // Client coordinates run from the right edge: a point near the right
    // edge of the screen rectangle is near 0.
    POINT p{pr.right - 1 - 1, 40};  // the last client pixel, inside the border
    ScreenToClient(rtl.parent, &p);
    EXPECT_EQ(p.x, 1);
    // A child's rectangle mapped point by point into the mirrored parent
    // has left greater than right; exchanged, it is the child's own.
    RECT r;
    GetWindowRect(rtl.kids[1], &r);
    MapWindowPoints(nullptr, rtl.parent, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 190);
    EXPECT_EQ(r.right, 70);
    EXPECT_EQ(r.top, 5);
    // The children took the mirrored layout from their parent, so pen
    // input arrives in a child's own client coordinates, from its right
    // edge; a child that asks not to inherit it keeps left-to-right ones.
    EXPECT_NE(GetWindowLongPtr(rtl.kids[0], GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    HWND plain = CreateWindowEx(WS_EX_NOINHERITLAYOUT, u"RtlTest", u"", WS_CHILD | WS_VISIBLE, 5,
                                130, 20, 10, rtl.parent, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetWindowLongPtr(plain, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    DestroyWindow(plain);
    RECT k;
    GetWindowRect(rtl.kids[0], &k);
    win::input::PenDown(POINT{k.left + 3, k.top + 4});
    win::input::PenUp(POINT{k.left + 3, k.top + 4});
    win::input::DrainQueue();
    ASSERT_EQ(g_downs.size(), 1u);
    EXPECT_EQ(g_downs[0].first, rtl.kids[0]);
    EXPECT_EQ(g_downs[0].second.x, (k.right - k.left) - 3);
    EXPECT_EQ(g_downs[0].second.y, 4);
}

// A mirrored window has its caption buttons and its vertical scroll bar at
// the left, where a tap finds them.
TEST_F(WinRtlTest, MirroredFrameHasItsButtonsAndBarAtTheLeft) {
    for (DWORD ex : {DWORD(0), DWORD(WS_EX_LAYOUTRTL)}) {
        HWND d = CreateWindowEx(ex | WS_EX_CAPTIONOKBTN, u"RtlTest", u"Dialog",
                                WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_VSCROLL, 10,
                                20, 200, 150, nullptr, nullptr, nullptr, nullptr);
        RECT r;
        GetWindowRect(d, &r);
        int y = r.top + GetSystemMetrics(SM_CYCAPTION) / 2;
        auto hit = [&](int x) { return SendMessage(d, WM_NCHITTEST, 0, MAKELPARAM(x, y)); };
        bool rtl = ex != 0;
        EXPECT_EQ(hit(rtl ? r.left + 4 : r.right - 5), HTCLOSE) << rtl;
        EXPECT_EQ(hit(rtl ? r.right - 5 : r.left + 4), HTCAPTION) << rtl;
        // So is the vertical scroll bar, beside a client area as wide.
        y = r.top + 60;
        EXPECT_EQ(hit(rtl ? r.left + 4 : r.right - 5), HTVSCROLL) << rtl;
        EXPECT_EQ(hit(rtl ? r.right - 5 : r.left + 4), HTCLIENT) << rtl;
        DestroyWindow(d);
    }
}

}  // namespace
