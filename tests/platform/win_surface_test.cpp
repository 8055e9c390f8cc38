// Window surfaces: one per top-level window, child DCs as clipped views into
// it, painting order, persistence, the screen DC and what is handed to the
// display backend for presenting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/backend.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

std::vector<std::pair<HWND, COLORREF>> g_paints;  // who painted, in order

// Paints its whole client area in the colour kept in its user data.
LRESULT FillProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        COLORREF c = static_cast<COLORREF>(GetWindowLongPtr(h, GWLP_USERDATA));
        HBRUSH b = CreateSolidBrush(c);
        RECT rc;
        GetClientRect(h, &rc);
        FillRect(dc, &rc, b);
        DeleteObject(b);
        EndPaint(h, &ps);
        g_paints.emplace_back(h, c);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

struct Recorder : win::DisplayBackend {
    std::vector<std::pair<HWND, RECT>> dirty;
    void SurfaceDirty(HWND h, const RECT& r) override { dirty.emplace_back(h, r); }
};

class WinSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_paints.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = FillProc;
        wc.lpszClassName = u"SurfaceFill";
        RegisterClass(wc);
    }
    void TearDown() override {
        win::SetDisplayBackend(nullptr);
        win::ResetForTests();
    }
    HWND Make(HWND parent, DWORD style, RECT r, COLORREF c, DWORD ex = 0) {
        HWND h = CreateWindowEx(ex, u"SurfaceFill", u"", style | WS_VISIBLE, r.left, r.top,
                                r.right - r.left, r.bottom - r.top, parent, nullptr, nullptr,
                                nullptr);
        SetWindowLongPtr(h, GWLP_USERDATA, static_cast<intptr_t>(c));
        return h;
    }
    // Pixel of the top-level surface holding hwnd, at hwnd's client point.
    static uint32_t At(HWND hwnd, int x, int y) {
        POINT o;
        int w = 0, h = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(hwnd, &o), &w, &h, &stride);
        if (!px) return 0xFFFFFFFF;
        return px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF;
    }
    static std::vector<uint32_t> Snapshot(HWND hwnd) {
        int w = 0, h = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(hwnd), &w, &h, &stride);
        std::vector<uint32_t> out;
        for (int y = 0; y < h; ++y) out.insert(out.end(), px + y * (stride / 4), px + y * (stride / 4) + w);
        return out;
    }
};

TEST_F(WinSurfaceTest, ChildrenDrawIntoTheTopLevelSurfaceAtTheirPlace) {
    // A captioned, bordered frame: its surface covers the frame, the client
    // area starts below the caption.
    HWND top = Make(nullptr, WS_CAPTION | WS_SYSMENU, {10, 20, 130, 170}, RGB(0, 0, 255));
    HWND child = Make(top, WS_CHILD, {5, 6, 25, 26}, RGB(255, 0, 0));
    win::input::DrainQueue();
    int w = 0, h = 0, stride = 0;
    POINT o;
    ASSERT_NE(gdi::SurfacePixels(win::GetWindowSurface(child, &o), &w, &h, &stride), nullptr);
    EXPECT_EQ(w, 120);
    EXPECT_EQ(h, 150);
    RECT m = GetNonClientMargins(WS_CAPTION | WS_SYSMENU, 0);
    EXPECT_EQ(o.x, m.left + 5);
    EXPECT_EQ(o.y, m.top + 6);
    EXPECT_EQ(At(child, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(child, 19, 19), 0xFF0000u);
    EXPECT_EQ(At(top, 4, 5), 0x0000FFu);
    EXPECT_EQ(At(top, 25, 26), 0x0000FFu);
    // A child's DC cannot draw outside its client area.
    HDC dc = GetDC(child);
    RECT big{-10, -10, 100, 100};
    FillRect(dc, &big, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(child, dc);
    EXPECT_EQ(At(top, 4, 5), 0x0000FFu);
    EXPECT_EQ(At(top, 25, 26), 0x0000FFu);
    EXPECT_EQ(At(child, 0, 0), 0u);
}

TEST_F(WinSurfaceTest, ParentsPaintFirstAndSiblingsFromTheBottomUp) {
    HWND top = Make(nullptr, WS_POPUP, {0, 0, 100, 100}, RGB(0, 0, 255));
    // The first-made sibling lies on top: it paints last and wins the overlap.
    HWND a = Make(top, WS_CHILD, {10, 10, 50, 50}, RGB(255, 0, 0));
    HWND b = Make(top, WS_CHILD, {30, 30, 70, 70}, RGB(0, 255, 0));
    win::input::DrainQueue();
    ASSERT_EQ(g_paints.size(), 3u);
    EXPECT_EQ(g_paints[0].first, top);
    EXPECT_EQ(g_paints[1].first, b);
    EXPECT_EQ(g_paints[2].first, a);
    EXPECT_EQ(At(top, 40, 40), 0xFF0000u);
    // Invalidating the parent (which does not clip its children) repaints
    // the children it covers, in the same order.
    g_paints.clear();
    RECT part{0, 0, 35, 35};
    InvalidateRect(top, &part, true);
    win::input::DrainQueue();
    ASSERT_EQ(g_paints.size(), 3u);
    EXPECT_EQ(g_paints[1].first, b);
    EXPECT_EQ(g_paints[2].first, a);
    // Only the part that was invalid is painted again.
    EXPECT_EQ(At(top, 40, 40), 0xFF0000u);
    EXPECT_EQ(At(top, 60, 60), 0x00FF00u);
}

TEST_F(WinSurfaceTest, ClipStylesKeepOtherWindowsPixels) {
    HWND top = Make(nullptr, WS_POPUP | WS_CLIPCHILDREN, {0, 0, 100, 100}, RGB(0, 0, 255));
    HWND view = Make(top, WS_CHILD, {10, 10, 60, 60}, RGB(255, 0, 0));
    HWND sib = Make(top, WS_CHILD | WS_CLIPSIBLINGS, {40, 40, 90, 90}, RGB(0, 255, 0));
    win::input::DrainQueue();
    // The view keeps what it drew outside painting.
    HDC dc = GetDC(view);
    SetPixel(dc, 5, 5, RGB(1, 2, 3));
    ReleaseDC(view, dc);
    // The parent clips its children and the sibling clips the view above it:
    // neither repaint touches the view's pixels.
    g_paints.clear();
    InvalidateRect(top, nullptr, true);
    InvalidateRect(sib, nullptr, true);
    win::input::DrainQueue();
    ASSERT_EQ(g_paints.size(), 2u);
    EXPECT_EQ(At(view, 5, 5), 0x010203u);
    EXPECT_EQ(At(view, 45, 45), 0xFF0000u);  // under the sibling, the view wins
    EXPECT_EQ(At(sib, 25, 25), 0x00FF00u);
    EXPECT_EQ(At(top, 5, 5), 0x0000FFu);
}

TEST_F(WinSurfaceTest, XorTwiceOnAChildWindowDcRestoresTheSurface) {
    HWND top = Make(nullptr, WS_POPUP | WS_CLIPCHILDREN, {0, 0, 120, 120}, RGB(10, 20, 30));
    HWND view = Make(top, WS_CHILD, {20, 20, 100, 100}, RGB(200, 100, 50));
    win::input::DrainQueue();
    std::vector<uint32_t> before = Snapshot(top);
    for (int pass = 0; pass < 2; ++pass) {
        HDC dc = GetDC(view);
        SetROP2(dc, R2_NOT);
        MoveToEx(dc, -5, 40, nullptr);
        LineTo(dc, 200, 40);
        MoveToEx(dc, 40, -5, nullptr);
        LineTo(dc, 40, 200);
        RECT focus{10, 10, 60, 30};
        DrawFocusRect(dc, &focus);
        ReleaseDC(view, dc);
        if (pass == 0) {
            EXPECT_NE(Snapshot(top), before);
        }
    }
    EXPECT_EQ(Snapshot(top), before);
}

TEST_F(WinSurfaceTest, ScreenDcDrawsIntoTheTopmostWindowShowingEachPixel) {
    HWND low = Make(nullptr, WS_POPUP, {0, 0, 100, 100}, RGB(0, 0, 255));
    HWND high = Make(nullptr, WS_POPUP, {50, 50, 150, 150}, RGB(0, 255, 0));
    win::input::DrainQueue();
    std::vector<uint32_t> lowBefore = Snapshot(low), highBefore = Snapshot(high);
    // A dot across the overlap, as tap-and-hold draws its dots.
    RECT dot{45, 45, 51, 51};
    HDC dc = GetDC(nullptr);
    InvertRect(dc, &dot);
    EXPECT_EQ(GetPixel(dc, 47, 47), RGB(255, 255, 0));  // reads what is shown
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(At(low, 47, 47), 0xFFFF00u);
    EXPECT_EQ(At(high, 0, 0), 0xFF00FFu);
    EXPECT_EQ(At(low, 50, 50), 0x0000FFu);  // hidden under the higher window: untouched
    dc = GetDC(nullptr);
    InvertRect(dc, &dot);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(Snapshot(low), lowBefore);
    EXPECT_EQ(Snapshot(high), highBefore);
}

TEST_F(WinSurfaceTest, DrawingIsHandedToTheBackendForPresenting) {
    Recorder rec;
    win::SetDisplayBackend(&rec);
    HWND top = Make(nullptr, WS_POPUP, {0, 0, 100, 100}, RGB(0, 0, 255));
    HWND view = Make(top, WS_CHILD, {10, 20, 60, 70}, RGB(255, 0, 0));
    win::input::DrainQueue();
    // Painting is presented when the queue is next looked at.
    RECT whole{0, 0, 100, 100}, seen{};
    MSG m;
    PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);
    ASSERT_FALSE(rec.dirty.empty());
    for (auto& [h, r] : rec.dirty) {
        EXPECT_EQ(h, top);
        UnionRect(&seen, &seen, &r);
    }
    EXPECT_TRUE(EqualRect(&seen, &whole));
    // Nothing is held back once the queue was looked at.
    rec.dirty.clear();
    PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_TRUE(rec.dirty.empty());
    // A window DC outside painting is presented at once, only where it drew.
    rec.dirty.clear();
    HDC dc = GetDC(view);
    SetPixel(dc, 3, 4, RGB(0, 0, 0));
    EXPECT_TRUE(rec.dirty.empty());
    ReleaseDC(view, dc);
    ASSERT_EQ(rec.dirty.size(), 1u);
    EXPECT_EQ(rec.dirty[0].first, top);
    RECT want{13, 24, 14, 25};
    EXPECT_TRUE(EqualRect(&rec.dirty[0].second, &want));
    // A DC that drew nothing presents nothing.
    rec.dirty.clear();
    ReleaseDC(view, GetDC(view));
    PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_TRUE(rec.dirty.empty());
}

TEST_F(WinSurfaceTest, EraseFillsWithTheClassBrush) {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = u"SurfaceErase";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_HIGHLIGHT + 1));
    RegisterClass(wc);
    HWND h = CreateWindowEx(0, u"SurfaceErase", u"", WS_POPUP | WS_VISIBLE, 0, 0, 30, 30,
                            nullptr, nullptr, nullptr, nullptr);
    win::input::DrainQueue();
    EXPECT_EQ(At(h, 0, 0), 0x000080u);
    EXPECT_EQ(At(h, 29, 29), 0x000080u);
}

}  // namespace
