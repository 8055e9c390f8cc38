#include "core/user_abort.h"

#include <gtest/gtest.h>

#include "platform/sys/thread.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProc(h, m, w, l);
}

class UserAbortTest : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    // A new window with the focus, an empty queue and no abort pending.
    void Fresh() {
        win::ResetForTests();
        ResetAbort();
        WNDCLASS wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = u"AbortTest";
        RegisterClass(wc);
        wnd_ = CreateWindowEx(0, u"AbortTest", u"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                              nullptr, nullptr, nullptr);
        SetFocus(wnd_);
        win::input::DrainQueue();
    }
    void TearDown() override {
        ResetAbort();
        win::ResetForTests();
    }
    size_t Pending(UINT lo, UINT hi) {
        // Counts without disturbing: take everything out, then put it back.
        std::vector<MSG> all;
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_PAINT) {
                DispatchMessage(&m);
                continue;
            }
            all.push_back(m);
        }
        size_t n = 0;
        for (const MSG& x : all) {
            if (x.message >= lo && x.message <= hi) ++n;
            if (x.hwnd)
                PostMessage(x.hwnd, x.message, x.wParam, x.lParam);
            else
                PostThreadMessage(sys::GetCurrentThreadId(), x.message, x.wParam, x.lParam);
        }
        return n;
    }
    HWND wnd_ = nullptr;
};

TEST_F(UserAbortTest, PendingInputAbortsAndStaysQueuedUntilReset) {
    struct Case {
        const char* what;
        std::function<void()> user;
        bool aborts;
        UINT lo, hi;  // the message that must still be queued
    } cases[] = {
        {"tap",
         [&] {
             win::input::TapAt(wnd_, {5, 5});
         },
         true, WM_LBUTTONDOWN, WM_LBUTTONUP},
        {"right button",
         [&] {
             win::input::PenDownAt(wnd_, {5, 5}, win::input::Button::Right);
         },
         true, WM_RBUTTONDOWN, WM_RBUTTONDOWN},
        {"Escape released", [] { win::input::KeyUp(VK_ESCAPE); }, true, WM_KEYUP, WM_KEYUP},
        {"letter released", [] { win::input::KeyUp('A'); }, false, WM_KEYUP, WM_KEYUP},
        {"pen move only",
         [&] {
             win::input::PenMoveAt(wnd_, {7, 7});
         },
         false, WM_MOUSEMOVE, WM_MOUSEMOVE},
        {"abort message",
         [] { PostThreadMessage(sys::GetCurrentThreadId(), WM_ZARNIP_ABORT, 0, 0); }, true,
         WM_ZARNIP_ABORT, WM_ZARNIP_ABORT},
    };
    for (const auto& c : cases) {
        Fresh();
        c.user();
        EXPECT_EQ(IsAbortRequested(), c.aborts) << c.what;
        EXPECT_GE(Pending(c.lo, c.hi), 1u) << c.what << ": the message must stay queued";
        if (!c.aborts) continue;
        // Sticks after the queue is emptied, until reset.
        win::input::DrainQueue();
        EXPECT_TRUE(IsAbortRequested()) << c.what;
        ResetAbort();
        EXPECT_FALSE(IsAbortRequested()) << c.what;
    }
}

TEST_F(UserAbortTest, RequestPostsOneAbortMessageThatResetRemoves) {
    RequestAbort();
    EXPECT_TRUE(IsAbortRequested());
    EXPECT_EQ(Pending(WM_ZARNIP_ABORT, WM_ZARNIP_ABORT), 1u);
    ResetAbort();
    EXPECT_EQ(Pending(WM_ZARNIP_ABORT, WM_ZARNIP_ABORT), 0u);
    EXPECT_FALSE(IsAbortRequested());
}

}  // namespace
