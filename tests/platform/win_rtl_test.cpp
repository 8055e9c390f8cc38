// Right-to-left layout: a mirrored window places and hit-tests its children
// as the mirror image of the same window laid out left to right, and maps
// points so that a rectangle comes out with left and right exchanged.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

std::vector<std::pair<HWND, POINT>> g_downs;
struct Scroll {
    WORD code;
    int pos;
    bool operator==(const Scroll&) const = default;
};
std::vector<Scroll> g_scrolls;
LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_LBUTTONDOWN) g_downs.emplace_back(h, POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    if (m == WM_HSCROLL) {
        g_scrolls.push_back({LOWORD(w), static_cast<int16_t>(HIWORD(w))});
        if (LOWORD(w) == SB_THUMBPOSITION)
            SetScrollPos(h, SB_HORZ, static_cast<int16_t>(HIWORD(w)), true);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class WinRtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_downs.clear();
        g_scrolls.clear();
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

// A mirrored window's horizontal scroll bar is the mirror image of the
// left-to-right one: the line-left arrow at the right, the thumb's first
// position at the right end of the track, and the pen finds the parts where
// they are shown. Both windows get the same pen paths, mirrored.
TEST_F(WinRtlTest, MirroredHorizontalBarTracksThePenMirrored) {
    std::vector<Scroll> seen[2];
    std::vector<uint32_t> bars[2];
    for (int rtl = 0; rtl < 2; ++rtl) {
        g_scrolls.clear();
        HWND h = CreateWindowEx(rtl ? WS_EX_LAYOUTRTL : 0, u"RtlTest", u"",
                                WS_POPUP | WS_VISIBLE | WS_HSCROLL, 0, 0, 120, 140, nullptr,
                                nullptr, nullptr, nullptr);
        SCROLLINFO si;
        si.fMask = SIF_ALL;
        si.nMin = 0;
        si.nMax = 99;
        si.nPage = 10;
        si.nPos = 0;
        SetScrollInfo(h, SB_HORZ, &si, true);
        win::input::DrainQueue();
        // x as the left-to-right window has it, mirrored for the other.
        auto at = [&](int x) { return POINT{rtl ? 119 - x : x, 134}; };
        EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(at(3).x, 134)), HTHSCROLL);
        // The line-left arrow: 13 pixels at the bar's start.
        win::input::PenDown(at(5));
        win::input::PenUp(at(5));
        // The thumb just past it, dragged to the far end and beyond.
        win::input::PenDown(at(16));
        win::input::PenMove(at(40));
        win::input::PenMove(at(119));
        win::input::PenUp(at(119));
        win::input::DrainQueue();
        // The bar at position 90 as each window shows it.
        int w = 0, ht = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(h, nullptr), &w, &ht, &stride);
        ASSERT_NE(px, nullptr);
        for (int y = 127; y < 140; ++y)
            for (int x = 0; x < 120; ++x)
                bars[rtl].push_back(px[size_t(y) * (stride / 4) + (rtl ? 119 - x : x)] & 0xFFFFFF);
        // A tap on the track between the thumb and the line-left arrow pages
        // towards the start.
        win::input::PenDown(at(60));
        win::input::PenUp(at(60));
        win::input::DrainQueue();
        seen[rtl] = g_scrolls;
        DestroyWindow(h);
    }
    ASSERT_EQ(seen[0].size(), 8u);
    EXPECT_EQ(seen[0][0], (Scroll{SB_LINELEFT, 0}));
    EXPECT_EQ(seen[0][1].code, SB_ENDSCROLL);
    EXPECT_EQ(seen[0][2].code, SB_THUMBTRACK);
    EXPECT_GT(seen[0][2].pos, 0);
    EXPECT_EQ(seen[0][3], (Scroll{SB_THUMBTRACK, 90}));
    EXPECT_EQ(seen[0][4], (Scroll{SB_THUMBPOSITION, 90}));
    EXPECT_EQ(seen[0][5].code, SB_ENDSCROLL);
    EXPECT_EQ(seen[0][6], (Scroll{SB_PAGELEFT, 0}));
    EXPECT_EQ(seen[1], seen[0]);
    // Pixel for pixel the mirror image.
    EXPECT_EQ(bars[1], bars[0]);
}

// ScrollWindow and ScrollDC take dx in the window's own client x: in a
// mirrored window a positive dx moves the pixels towards the left of the
// screen, and the uncovered strip and the children follow. Both windows,
// scrolled alike, stay each other's mirror image.
TEST_F(WinRtlTest, ScrollingAMirroredWindowIsTheMirrorImage) {
    HWND win[2], kid[2];
    RECT uncovered[2];
    for (int rtl = 0; rtl < 2; ++rtl) {
        win[rtl] = CreateWindowEx(rtl ? WS_EX_LAYOUTRTL : 0, u"RtlTest", u"", WS_POPUP | WS_VISIBLE,
                                  0, 200 * rtl, 60, 30, nullptr, nullptr, nullptr, nullptr);
        kid[rtl] = CreateWindowEx(WS_EX_NOINHERITLAYOUT, u"RtlTest", u"", WS_CHILD | WS_VISIBLE, 40,
                                  20, 6, 6, win[rtl], nullptr, nullptr, nullptr);
    }
    win::input::DrainQueue();
    for (int rtl = 0; rtl < 2; ++rtl) {
        HDC dc = GetDC(win[rtl]);
        RECT all{0, 0, 60, 30}, a{3, 2, 9, 12}, b{20, 5, 22, 25};
        FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FillRect(dc, &a, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        FillRect(dc, &b, reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        SetPixel(dc, 30, 3, RGB(255, 0, 0));
        // Part of the window, scrolled back by 4 within its own rectangle.
        RECT part{0, 0, 30, 15};
        ScrollDC(dc, -4, 0, &part, &part, nullptr, nullptr);
        ReleaseDC(win[rtl], dc);
        ValidateRect(win[rtl], nullptr);
        ScrollWindowEx(win[rtl], 5, 0, nullptr, nullptr, nullptr, &uncovered[rtl],
                       SW_SCROLLCHILDREN | SW_INVALIDATE);
    }
    // The same uncovered rectangle in each window's own client x.
    EXPECT_TRUE(EqualRect(&uncovered[0], &uncovered[1]));
    EXPECT_EQ(uncovered[0].left, 0);
    EXPECT_EQ(uncovered[0].right, 5);
    RECT upd[2];
    ASSERT_TRUE(GetUpdateRect(win[0], &upd[0], false));
    ASSERT_TRUE(GetUpdateRect(win[1], &upd[1], false));
    EXPECT_TRUE(EqualRect(&upd[0], &upd[1]));
    // Pixels: the right-to-left window shows the mirror image.
    auto pixel = [&](int rtl, int x, int y) {
        int w = 0, ht = 0, stride = 0;
        uint32_t* px =
            gdi::SurfacePixels(win::GetWindowSurface(win[rtl], nullptr), &w, &ht, &stride);
        return px[size_t(y) * (stride / 4) + x] & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(0, 35, 3), 0xFF0000u);  // moved right by 5
    for (int y = 0; y < 30; ++y)
        for (int x = 5; x < 60; ++x)
            ASSERT_EQ(pixel(1, 59 - x, y), pixel(0, x, y)) << x << "," << y;
    // The children moved with the pixels.
    RECT k0, k1, p0, p1;
    GetWindowRect(kid[0], &k0);
    GetWindowRect(kid[1], &k1);
    GetWindowRect(win[0], &p0);
    GetWindowRect(win[1], &p1);
    EXPECT_EQ(k0.left - p0.left, 45);
    EXPECT_EQ(p1.right - k1.right, 45);
    EXPECT_EQ(k1.top - p1.top, k0.top - p0.top);
}

}  // namespace
