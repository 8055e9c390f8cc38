// The pen on a window's frame: caption buttons and scroll bars, through the
// model's input (null backend).
#include <gtest/gtest.h>

#include <vector>

#include "platform/sys/thread.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

struct Scroll {
    UINT msg;
    WORD code;
    int pos;
    bool operator==(const Scroll&) const = default;
};
std::vector<Scroll> g_scrolls;
std::vector<UINT> g_msgs;
int g_liftAfter = 0;  // lift the pen after this many scroll messages
POINT g_liftAt;

LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_VSCROLL || m == WM_HSCROLL) {
        g_scrolls.push_back({m, LOWORD(w), static_cast<int16_t>(HIWORD(w))});
        if (LOWORD(w) == SB_LINEDOWN || LOWORD(w) == SB_PAGEDOWN) {
            int bar = m == WM_VSCROLL ? SB_VERT : SB_HORZ;
            if (l) bar = SB_CTL;
            HWND target = l ? reinterpret_cast<HWND>(l) : h;
            SCROLLINFO si;
            si.fMask = SIF_POS;
            GetScrollInfo(target, bar, &si);
            SetScrollPos(target, bar, si.nPos + (LOWORD(w) == SB_LINEDOWN ? 1 : 10), true);
        }
        if (g_liftAfter && static_cast<int>(g_scrolls.size()) == g_liftAfter)
            win::input::PenUp(g_liftAt);
        return 0;
    }
    if (m == WM_CLOSE || m == WM_COMMAND) {
        g_msgs.push_back(m);
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class WinFrameInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_scrolls.clear();
        g_msgs.clear();
        g_liftAfter = 0;
        WNDCLASS wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = u"FrameInput";
        RegisterClass(wc);
    }
    void TearDown() override {
        sys::SetClock(nullptr);
        win::ResetForTests();
    }
    HWND Make(DWORD style, DWORD ex = 0) {
        HWND h = CreateWindowEx(ex, u"FrameInput", u"Frame", style | WS_VISIBLE, 0, 0, 120, 140,
                                nullptr, nullptr, nullptr, nullptr);
        win::input::DrainQueue();
        return h;
    }
};

TEST_F(WinFrameInputTest, CaptionButtonsActOnReleaseInside) {
    HWND h = Make(WS_CAPTION | WS_SYSMENU, WS_EX_CAPTIONOKBTN);
    // Find the buttons by hit testing along the caption.
    POINT close{}, ok{};
    for (int x = 119; x > 0; --x) {
        LRESULT hit = SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(x, 10));
        if (hit == HTCLOSE && !close.x) close = POINT{x - 2, 10};
        if (hit == HTCAPTIONOK && !ok.x) ok = POINT{x - 2, 10};
    }
    ASSERT_TRUE(close.x && ok.x);
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(5, 10)), HTCAPTION);
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(50, 80)), HTCLIENT);
    // Pressed, dragged off and released outside: nothing.
    win::input::PenDown(close);
    win::input::PenMove(POINT{50, 80});
    win::input::PenUp(POINT{50, 80});
    win::input::DrainQueue();
    EXPECT_TRUE(g_msgs.empty());
    // Released inside: the close button posts WM_CLOSE, OK posts IDOK.
    win::input::PenDown(close);
    win::input::PenUp(close);
    win::input::PenDown(ok);
    win::input::PenUp(ok);
    win::input::DrainQueue();
    EXPECT_EQ(g_msgs, (std::vector<UINT>{WM_CLOSE, WM_COMMAND}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WinFrameInputTest, ThumbDragTracksThenSetsAndEnds) {
    HWND h = Make(WS_VSCROLL);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 0;
    SetScrollInfo(h, SB_VERT, &si, true);
    win::input::DrainQueue();
    // The bar runs down the right edge: 13-pixel arrows, the thumb below the
    // top arrow.
    int x = 120 - 6;
    EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(x, 20)), HTVSCROLL);
    win::input::PenDown(POINT{x, 15});
    win::input::PenMove(POINT{x, 30});
    win::input::PenMove(POINT{x, 70});
    win::input::PenMove(POINT{x, 139});  // past the track: the last position
    win::input::PenUp(POINT{x, 139});
    win::input::DrainQueue();
    ASSERT_EQ(g_scrolls.size(), 5u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(g_scrolls[i].code, SB_THUMBTRACK);
    EXPECT_LT(g_scrolls[0].pos, g_scrolls[1].pos);
    EXPECT_EQ(g_scrolls[2].pos, 90);
    EXPECT_EQ(g_scrolls[3], (Scroll{WM_VSCROLL, SB_THUMBPOSITION, 90}));
    EXPECT_EQ(g_scrolls[4].code, SB_ENDSCROLL);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WinFrameInputTest, HeldArrowRepeatsOnTheTimer) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    HWND h = Make(WS_HSCROLL);
    SetScrollRange(h, SB_HORZ, 0, 50, true);
    win::input::DrainQueue();
    POINT arrow{120 - 5, 140 - 5};
    ASSERT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(arrow.x, arrow.y)), HTHSCROLL);
    g_liftAfter = 5;  // the person lifts after the fifth step
    g_liftAt = arrow;
    win::input::PenDown(arrow);
    win::input::DrainQueue();
    ASSERT_EQ(g_scrolls.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(g_scrolls[i], (Scroll{WM_HSCROLL, SB_LINERIGHT, 0}));
    EXPECT_EQ(g_scrolls[5].code, SB_ENDSCROLL);
    // The first repeat waits longer than the next ones.
    EXPECT_EQ(clock.NowMs(), 1000u + 400 + 3 * 100);
    EXPECT_EQ(GetScrollPos(h, SB_HORZ), 5);
}

TEST_F(WinFrameInputTest, ScrollBarControlNotifiesItsParent) {
    HWND parent = Make(WS_POPUP);
    HWND bar = CreateWindowEx(0, u"SCROLLBAR", u"", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 13,
                              100, parent, nullptr, nullptr, nullptr);
    SetScrollRange(bar, SB_CTL, 0, 100, true);
    win::input::DrainQueue();
    // A tap on the page area below the thumb pages once.
    win::input::TapAt(bar, POINT{6, 80});
    win::input::DrainQueue();
    ASSERT_EQ(g_scrolls.size(), 2u);
    EXPECT_EQ(g_scrolls[0], (Scroll{WM_VSCROLL, SB_PAGEDOWN, 0}));
    EXPECT_EQ(g_scrolls[1].code, SB_ENDSCROLL);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 10);
}

}  // namespace
