// The window model's message queue: order, filters, re-entrancy, timers,
// threads, input synthesis, focus and capture.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sys/thread.h"
#include "platform/win/input.h"
#include "platform/win/window.h"

namespace {

// Ends the process when a test of threads has not finished in time: a
// deadlock fails the run at once with the test's name instead of hanging
// until ctest gives up on it.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::seconds(20), [this] { return finished_; })) {
                  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
                  std::fprintf(stderr, "watchdog: %s did not finish (deadlock?)\n",
                               info ? info->name() : "test");
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

// Every message a test window gets, as "name:wParam" entries.
std::vector<std::string> g_log;
std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> g_handler;

LRESULT RecordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            g_log.push_back("timer:" + std::to_string(wp));
            break;
        case WM_SETFOCUS:
            g_log.push_back("setfocus");
            break;
        case WM_KILLFOCUS:
            g_log.push_back("killfocus");
            break;
        case WM_CAPTURECHANGED:
            g_log.push_back("capturechanged");
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_MOUSEMOVE: {
            const char* n = msg == WM_LBUTTONDOWN     ? "down"
                            : msg == WM_LBUTTONUP     ? "up"
                            : msg == WM_LBUTTONDBLCLK ? "dbl"
                                                      : "move";
            g_log.push_back(std::string(n) + ":" + std::to_string(GET_X_LPARAM(lp)) + "," +
                            std::to_string(GET_Y_LPARAM(lp)));
            break;
        }
        default:
            if (msg >= WM_USER) g_log.push_back("user:" + std::to_string(msg - WM_USER));
            break;
    }
    LRESULT r = 0;
    if (g_handler && g_handler(h, msg, wp, lp, &r)) return r;
    return DefWindowProc(h, msg, wp, lp);
}

class WinQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        sys::SetClock(&clock_);
        g_log.clear();
        g_handler = nullptr;
        WNDCLASS wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = u"TestWindow";
        ASSERT_TRUE(RegisterClass(wc));
        wc.style = 0;
        wc.lpszClassName = u"NoDblClk";
        ASSERT_TRUE(RegisterClass(wc));
        main_ = CreateWindowEx(0, u"TestWindow", u"Main", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                               nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(main_, nullptr);
        Drain();
        g_log.clear();
    }
    void TearDown() override {
        g_handler = nullptr;
        win::ResetForTests();
        sys::SetClock(nullptr);
    }
    void Drain() { win::input::DrainQueue(); }

    sys::FakeClock clock_;
    HWND main_ = nullptr;
};

TEST_F(WinQueueTest, HandlesAreSmallTokensAndDieWithTheirWindow) {
    uint32_t token = HandleToToken(main_);
    EXPECT_NE(token, 0u);
    HWND child = CreateWindowEx(0, u"TestWindow", u"c", WS_CHILD, 0, 0, 10, 10, main_,
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
    EXPECT_EQ(GetDlgItem(main_, 7), child);
    EXPECT_EQ(GetParent(child), main_);
    EXPECT_TRUE(DestroyWindow(main_));
    EXPECT_FALSE(IsWindow(main_));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(PostMessage(main_, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(child, WM_GETTEXTLENGTH, 0, 0), 0);
}

TEST_F(WinQueueTest, CreateAbortsWhenProcedureRefuses) {
    g_handler = [](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg != WM_CREATE) return false;
        *r = -1;
        return true;
    };
    size_t before = win::WindowCount();
    EXPECT_EQ(CreateWindowEx(0, u"TestWindow", u"x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             nullptr, nullptr),
              nullptr);
    EXPECT_EQ(win::WindowCount(), before);
}

TEST_F(WinQueueTest, PostedBeforeTimersAndPeekFiltersWithoutRemoving) {
    SetTimer(main_, 1, 100, nullptr);
    clock_.Advance(150);
    PostMessage(main_, WM_USER + 1, 0, 0);
    PostMessage(main_, WM_LBUTTONDOWN, 0, 0);
    PostMessage(main_, WM_USER + 2, 0, 0);

    MSG m;
    // Range filter: only the button message matches; it stays queued.
    ASSERT_TRUE(PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_MOUSELAST, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_LBUTTONDOWN);
    ASSERT_TRUE(PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_MOUSELAST, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_LBUTTONDOWN);
    EXPECT_FALSE(PeekMessage(&m, nullptr, WM_KEYUP, WM_KEYUP, PM_NOREMOVE));
    // A window filter that names another window finds nothing.
    HWND other = CreateWindowEx(0, u"TestWindow", u"o", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_FALSE(PeekMessage(&m, other, WM_USER, WM_USER + 10, PM_NOREMOVE));

    std::vector<UINT> order;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_PAINT) {
            DispatchMessage(&m);
            continue;
        }
        order.push_back(m.message);
        if (order.size() > 10) break;
    }
    // Posted in arrival order; the due timer last, and once (it re-arms).
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_LBUTTONDOWN, WM_USER + 2, WM_TIMER}));
}

TEST_F(WinQueueTest, NestedLoopInsideHandlerDeliversLaterMessagesFirst) {
    // The handler of message 1 runs its own loop until message 3 arrives;
    // message 2, posted earlier, is delivered inside that loop.
    g_handler = [&](HWND h, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_USER + 1) {
            g_log.push_back("enter");
            MSG m;
            while (GetMessage(&m, nullptr, 0, 0)) {
                DispatchMessage(&m);
                if (m.message == WM_USER + 3) break;
            }
            g_log.push_back("leave");
            (void)h;
        }
        return false;
    };
    PostMessage(main_, WM_USER + 1, 0, 0);
    PostMessage(main_, WM_USER + 2, 0, 0);
    PostMessage(main_, WM_USER + 3, 0, 0);
    PostMessage(main_, WM_USER + 4, 0, 0);
    Drain();
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"user:1", "enter", "user:2", "user:3", "leave", "user:4"}));
}

TEST_F(WinQueueTest, PostedMessagesOvertakeWaitingInput) {
    win::input::TapAt(main_, {1, 1});
    PostMessage(main_, WM_USER + 9, 0, 0);
    MSG m;
    std::vector<UINT> order;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE))
        if (m.message != WM_PAINT) order.push_back(m.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 9, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(WinQueueTest, QuitEndsGetMessageAfterPostedMessages) {
    PostQuitMessage(3);
    PostMessage(main_, WM_USER + 1, 0, 0);
    MSG m;
    EXPECT_TRUE(GetMessage(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, WM_USER + 1);
    while (GetMessage(&m, nullptr, 0, 0)) DispatchMessage(&m);  // paint, if any
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(WinQueueTest, TimersFireInsideNestedLoopsOnTheFakeClock) {
    SetTimer(main_, 1, 15000, nullptr);
    SetTimer(main_, 2, 500, nullptr);
    int ticks2 = 0;
    g_handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM, LRESULT*) {
        if (msg == WM_TIMER && wp == 2 && ++ticks2 == 3) KillTimer(h, 2);
        if (msg == WM_TIMER && wp == 1) PostQuitMessage(0);
        return false;
    };
    uint64_t start = clock_.NowMs();
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) DispatchMessage(&m);
    EXPECT_EQ(g_log, (std::vector<std::string>{"timer:2", "timer:2", "timer:2", "timer:1"}));
    EXPECT_EQ(clock_.NowMs() - start, 15000u);
}

TEST_F(WinQueueTest, PostFromAnotherThreadWakesTheLoop) {
    Watchdog watchdog;
    sys::SetClock(nullptr);  // real waiting
    DWORD uiThread = sys::GetCurrentThreadId();
    std::atomic<int> acked{0};
    sys::Event ack(false, false);
    constexpr int kCount = 200;
    g_handler = [&](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT*) {
        if (msg == WM_USER + 100) {
            acked += static_cast<int>(wp);
            ack.Set();
        }
        return false;
    };
    std::thread reader([&] {
        for (int i = 0; i < kCount; ++i) {
            ASSERT_TRUE(IsWindow(main_));
            PostMessage(main_, WM_USER + 100, 1, 0);
            if (i % 50 == 49) ack.Wait(2000);
        }
        PostThreadMessage(uiThread, WM_QUIT + 0x9000, 0, 0);
    });
    MSG m;
    int got = 0;
    while (GetMessage(&m, nullptr, 0, 0)) {
        if (m.hwnd == nullptr && m.message == WM_QUIT + 0x9000) break;
        DispatchMessage(&m);
        ++got;
    }
    reader.join();
    Drain();
    EXPECT_EQ(acked.load(), kCount);
}

TEST_F(WinQueueTest, PostsRacingTheWindowsDestructionAreRefusedOrDropped) {
    Watchdog watchdog;
    sys::SetClock(nullptr);
    HWND target = CreateWindowEx(0, u"TestWindow", u"t", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> refused{0};
    std::thread poster([&] {
        while (!stop) {
            if (!PostMessage(target, WM_USER + 7, 0, 0)) {
                ++refused;
                break;
            }
        }
    });
    MSG m;
    for (int i = 0; i < 100; ++i)
        if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    DestroyWindow(target);
    // Whatever was queued before the end is dispatched to nobody.
    while (refused == 0) std::this_thread::yield();
    stop = true;
    poster.join();
    g_log.clear();
    Drain();
    for (const auto& e : g_log) EXPECT_NE(e, "user:7");
    EXPECT_FALSE(IsWindow(target));
}

TEST_F(WinQueueTest, SendFromAnotherThreadRunsOnTheWindowThread) {
    Watchdog watchdog;
    sys::SetClock(nullptr);
    DWORD uiThread = sys::GetCurrentThreadId();
    std::atomic<DWORD> ranOn{0};
    g_handler = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg != WM_USER + 5) return false;
        ranOn = sys::GetCurrentThreadId();
        *r = 42;
        return true;
    };
    std::atomic<LRESULT> result{0};
    std::thread t([&] {
        result = SendMessage(main_, WM_USER + 5, 0, 0);
        PostThreadMessage(uiThread, WM_USER + 6, 0, 0);
    });
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) {
        if (!m.hwnd && m.message == WM_USER + 6) break;
        DispatchMessage(&m);
    }
    t.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(ranOn.load(), uiThread);
}

TEST_F(WinQueueTest, ThreadsSendingToEachOtherDoNotDeadlock) {
    Watchdog watchdog;
    sys::SetClock(nullptr);
    std::atomic<HWND> workerWnd{nullptr};
    std::atomic<bool> done{false};
    std::atomic<LRESULT> inner{0};
    // The worker's window answers by sending back to the UI thread's window.
    g_handler = [&](HWND h, UINT msg, WPARAM, LPARAM, LRESULT* r) {
        if (msg == WM_USER + 20) {  // on the worker
            *r = SendMessage(main_, WM_USER + 21, 0, 0) + 1;
            return true;
        }
        if (msg == WM_USER + 21) {  // on the UI thread, while it waits for the worker
            *r = 41;
            return true;
        }
        (void)h;
        return false;
    };
    std::thread worker([&] {
        HWND w = CreateWindowEx(0, u"TestWindow", u"w", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
        workerWnd = w;
        MSG m;
        while (!done) {
            if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
            std::this_thread::yield();
        }
        DestroyWindow(w);
    });
    while (!workerWnd) std::this_thread::yield();
    inner = SendMessage(workerWnd, WM_USER + 20, 0, 0);
    done = true;
    worker.join();
    EXPECT_EQ(inner.load(), 42);
}

TEST_F(WinQueueTest, DoubleTapIsDownUpDoubleUpWithinTimeAndDistance) {
    win::input::SetDoubleTapSettings({500, 4});
    win::input::TapAt(main_, {10, 10});
    clock_.Advance(200);
    win::input::TapAt(main_, {13, 12});
    Drain();
    EXPECT_EQ(g_log, (std::vector<std::string>{"down:10,10", "up:10,10", "dbl:13,12", "up:13,12"}));
    struct Case {
        uint64_t gap;
        POINT second;
        const char* why;
    } cases[] = {{501, {10, 10}, "too late"}, {100, {15, 10}, "too far"}};
    for (const auto& c : cases) {
        g_log.clear();
        clock_.Advance(2000);
        win::input::TapAt(main_, {10, 10});
        clock_.Advance(c.gap);
        win::input::TapAt(main_, c.second);
        Drain();
        ASSERT_EQ(g_log.size(), 4u) << c.why;
        EXPECT_EQ(g_log[2].substr(0, 5), "down:") << c.why;
    }
    // A third tap after a double click starts a new pair.
    g_log.clear();
    clock_.Advance(2000);
    for (int i = 0; i < 3; ++i) win::input::TapAt(main_, {5, 5});
    Drain();
    EXPECT_EQ(g_log[4], "down:5,5");
    // Windows without CS_DBLCLKS never get double clicks.
    HWND plain = CreateWindowEx(0, u"NoDblClk", u"p", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                nullptr, nullptr, nullptr);
    Drain();
    g_log.clear();
    win::input::TapAt(plain, {1, 1});
    win::input::TapAt(plain, {1, 1});
    Drain();
    EXPECT_EQ(g_log[2], "down:1,1");
}

TEST_F(WinQueueTest, CaptureRoutesPenOutsideAsNegativeCoordinatesAndReportsLoss) {
    HWND child = CreateWindowEx(0, u"TestWindow", u"c", WS_CHILD | WS_VISIBLE, 100, 100, 50, 50,
                                main_, reinterpret_cast<HMENU>(1), nullptr, nullptr);
    Drain();
    g_log.clear();
    SetCapture(child);
    win::input::PenMove(POINT{90, 95});
    Drain();
    EXPECT_EQ(g_log, (std::vector<std::string>{"move:-10,-5"}));
    g_log.clear();
    SetCapture(main_);  // the child learns it lost the capture
    EXPECT_EQ(g_log, (std::vector<std::string>{"capturechanged"}));
    EXPECT_EQ(GetCapture(), main_);
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WinQueueTest, FocusMovesWithKillThenSet) {
    HWND a = CreateWindowEx(0, u"TestWindow", u"a", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, main_,
                            nullptr, nullptr, nullptr);
    HWND b = CreateWindowEx(0, u"TestWindow", u"b", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, main_,
                            nullptr, nullptr, nullptr);
    SetFocus(a);
    g_log.clear();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(g_log, (std::vector<std::string>{"killfocus", "setfocus"}));
    EnableWindow(b, false);  // a disabled window loses the focus
    EXPECT_EQ(GetFocus(), nullptr);
    SetFocus(a);
    DestroyWindow(a);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WinQueueTest, GeometryMapsBetweenClientAndScreen) {
    HWND frame = CreateWindowEx(0, u"TestWindow", u"f", WS_POPUP | WS_CAPTION, 10, 20, 200, 150,
                                nullptr, nullptr, nullptr, nullptr);
    RECT rc;
    GetClientRect(frame, &rc);
    EXPECT_EQ(rc.right, 200 - 2);
    EXPECT_EQ(rc.bottom, 150 - 2 - GetSystemMetrics(SM_CYCAPTION));
    HWND child = CreateWindowEx(0, u"TestWindow", u"c", WS_CHILD, 5, 6, 20, 20, frame, nullptr,
                                nullptr, nullptr);
    POINT p{1, 2};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 10 + 1 + 5 + 1);
    EXPECT_EQ(p.y, 20 + 1 + 24 + 6 + 2);
    ScreenToClient(frame, &p);
    EXPECT_EQ(p.x, 6);
    EXPECT_EQ(p.y, 8);
    POINT q{0, 0};
    MapWindowPoints(child, frame, &q, 1);
    EXPECT_EQ(q.x, 5);
    EXPECT_EQ(q.y, 6);
    MoveWindow(child, 0, 0, 40, 30, true);
    RECT wr;
    GetWindowRect(child, &wr);
    EXPECT_EQ(wr.right - wr.left, 40);
}

TEST_F(WinQueueTest, PaintComesWhenNothingElseWaitsAndErasesOnRequest) {
    int paints = 0, erases = 0;
    g_handler = [&](HWND h, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_ERASEBKGND) ++erases;
        if (msg == WM_PAINT && h) ++paints;
        return false;
    };
    InvalidateRect(main_, nullptr, false);
    PostMessage(main_, WM_USER + 1, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 1);
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_PAINT);
    DispatchMessage(&m);
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(erases, 0);
    EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    InvalidateRect(main_, nullptr, true);
    UpdateWindow(main_);
    EXPECT_EQ(erases, 1);
}

TEST_F(WinQueueTest, KeyboardGoesToFocusAndTranslatesToChar) {
    HWND a = CreateWindowEx(0, u"TestWindow", u"a", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, main_,
                            nullptr, nullptr, nullptr);
    SetFocus(a);
    win::input::Key('A');
    std::vector<std::pair<HWND, UINT>> seen;
    MSG m;
    while (PeekMessage(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        seen.emplace_back(m.hwnd, m.message);
        TranslateMessage(&m);
    }
    // The character is posted, so it comes before the key release waiting
    // in the input.
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], std::make_pair(a, WM_KEYDOWN));
    EXPECT_EQ(seen[1], std::make_pair(a, WM_CHAR));
    EXPECT_EQ(seen[2], std::make_pair(a, WM_KEYUP));
}

TEST_F(WinQueueTest, WaitCursorNests) {
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(arrow);
    win::BeginWaitCursor();
    win::BeginWaitCursor();
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
    win::EndWaitCursor();
    EXPECT_TRUE(win::IsWaitCursor());
    win::EndWaitCursor();
    EXPECT_EQ(GetCursor(), arrow);
}

}  // namespace
