#include "core/tap_and_hold.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/sys/thread.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

std::vector<NMRGINFO> g_notes;
LRESULT NoteProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NOTIFY) {
        g_notes.push_back(*reinterpret_cast<NMRGINFO*>(l));
        return 55;
    }
    return DefWindowProc(h, m, w, l);
}

// The pen acts at given times while the recogniser waits: a timer of the
// test window fires on the fake clock and plays the next step.

class TapAndHoldTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        sys::SetClock(&clock_);
        g_notes.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = NoteProc;
        wc.lpszClassName = u"HoldTest";
        RegisterClass(wc);
        frame_ = CreateWindowEx(0, u"HoldTest", u"", WS_POPUP | WS_VISIBLE, 10, 20, 200, 200,
                                nullptr, nullptr, nullptr, nullptr);
        view_ = CreateWindowEx(0, u"HoldTest", u"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, frame_,
                               reinterpret_cast<HMENU>(59648), nullptr, nullptr);
        win::input::DrainQueue();
        SetTapAndHoldDotPainter([this](const RECT& r) { ++inverted_[{r.left, r.top}]; });
    }
    void TearDown() override {
        SetTapAndHoldDotPainter(nullptr);
        win::ResetForTests();
        sys::SetClock(nullptr);
    }
    // Moves the pen at `atMs` after the start by a thread timer callback.
    void MoveAt(uint64_t atMs, POINT client) { moves_.push_back({atMs, client}); }
    DWORD Run(DWORD flags) {
        // Timers fire inside the recogniser's pump at their due time.
        for (size_t i = 0; i < moves_.size(); ++i) {
            SetTimer(view_, 100 + i, static_cast<UINT>(moves_[i].first), nullptr);
        }
        struct Sub {
            static LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
                if (m == WM_TIMER && w >= 100) {
                    KillTimer(h, w);
                    auto* self =
                        reinterpret_cast<TapAndHoldTest*>(GetWindowLongPtr(h, GWL_USERDATA));
                    win::input::PenMoveAt(h, self->moves_[w - 100].second);
                    return 0;
                }
                return NoteProc(h, m, w, l);
            }
        };
        SetWindowLongPtr(view_, GWL_USERDATA, reinterpret_cast<intptr_t>(this));
        SetWindowLongPtr(view_, GWL_WNDPROC, reinterpret_cast<intptr_t>(&Sub::Proc));
        SHRGINFO r;
        r.hwndClient = view_;
        r.ptDown = POINT{50, 60};
        r.dwFlags = flags;
        return EvaluateTapAndHold(r);
    }
    sys::FakeClock clock_;
    HWND frame_ = nullptr, view_ = nullptr;
    std::map<std::pair<int, int>, int> inverted_;
    std::vector<std::pair<uint64_t, POINT>> moves_;
};

TEST_F(TapAndHoldTest, HeldPenGivesTheContextGestureAndRestoresTheDots) {
    uint64_t t0 = clock_.NowMs();
    EXPECT_EQ(Run(SHRG_RETURNCMD), GN_CONTEXTMENU);
    EXPECT_EQ(clock_.NowMs() - t0, 500u);
    // Dots every 55 ms: 10 in 500 ms, on the ring around the screen point.
    EXPECT_EQ(inverted_.size(), 8u);  // positions repeat after 8
    int total = 0;
    for (auto& [pos, n] : inverted_) total += n;
    EXPECT_EQ(total, 20);  // each drawn once and inverted back once
    POINT screen{10 + 50, 20 + 60};
    EXPECT_EQ(inverted_.count({screen.x + 0 - 6, screen.y - 20 - 6}), 1u);
    EXPECT_EQ(inverted_.count({screen.x + 14 - 6, screen.y - 14 - 6}), 1u);
    for (auto& [pos, n] : inverted_) EXPECT_EQ(n % 2, 0) << "dot left on the screen";
}

TEST_F(TapAndHoldTest, MovingMoreThanThreePixelsCancels) {
    struct Case {
        POINT to;
        DWORD expect;
    } cases[] = {
        {{53, 60}, GN_CONTEXTMENU}, {{50, 57}, GN_CONTEXTMENU}, {{54, 60}, 0}, {{50, 64}, 0}};
    for (const auto& c : cases) {
        moves_.clear();
        MoveAt(200, c.to);
        uint64_t t0 = clock_.NowMs();
        EXPECT_EQ(Run(SHRG_RETURNCMD), c.expect) << c.to.x << "," << c.to.y;
        if (!c.expect) {
            EXPECT_LT(clock_.NowMs() - t0, 500u);
        }
        win::input::DrainQueue();
    }
}

TEST_F(TapAndHoldTest, LiftingThePenCancelsAndStaysQueued) {
    win::input::PenUpAt(view_, {50, 60});
    EXPECT_EQ(Run(SHRG_RETURNCMD), 0u);
    MSG m;
    EXPECT_TRUE(PeekMessage(&m, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE));
}

TEST_F(TapAndHoldTest, NotifyAsksTheWindowAndLongDelayWaitsASecond) {
    uint64_t t0 = clock_.NowMs();
    EXPECT_EQ(Run(SHRG_NOTIFYPARENT | SHRG_LONGDELAY), 55u);
    EXPECT_EQ(clock_.NowMs() - t0, 1000u);
    ASSERT_EQ(g_notes.size(), 1u);
    EXPECT_EQ(g_notes[0].code, GN_CONTEXTMENU);
    EXPECT_EQ(g_notes[0].idFrom, 59648u);
    EXPECT_EQ(g_notes[0].ptAction.x, 60);
    EXPECT_EQ(g_notes[0].ptAction.y, 80);
    g_notes.clear();
    EXPECT_TRUE(RecognizeTapAndHold(view_, {50, 60}, true));
    EXPECT_EQ(g_notes.size(), 1u);
}

TEST_F(TapAndHoldTest, QuitDuringTheHoldIsPassedOn) {
    PostQuitMessage(4);
    EXPECT_EQ(Run(SHRG_RETURNCMD), 0u);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 4u);
}

}  // namespace
