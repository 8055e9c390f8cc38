// The per-thread message queues, timers and message delivery.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <deque>
#include <map>

#include "platform/sys/thread.h"
#include "platform/win/backend.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

struct Timer {
    HWND hwnd = nullptr;
    uintptr_t id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    uint64_t due = 0;
};

struct Sent {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct Queue {
    std::mutex m;
    std::condition_variable cv;
    std::deque<MSG> posted;  // PostMessage, PostThreadMessage, TranslateMessage
    std::deque<MSG> input;   // the user's pen and keys, after the posted ones
    std::deque<Sent*> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    uint64_t lastTime = 0;
    POINT lastPos;
    bool woken = false;  // a paint or timer change may need a look
};

struct Queues {
    std::mutex m;
    std::map<DWORD, std::unique_ptr<Queue>> byThread;
};

Queues& Q() {
    static Queues* q = new Queues;
    return *q;
}

Queue& QueueOf(DWORD thread) {
    std::lock_guard<std::mutex> lock(Q().m);
    auto& q = Q().byThread[thread];
    if (!q) q = std::make_unique<Queue>();
    return *q;
}

// Queues live as long as the program and thread numbers are never reused, so
// each thread looks its own up once (drawing loops poll it per feature).
Queue& MyQueue() {
    thread_local Queue* mine = &QueueOf(sys::GetCurrentThreadId());
    return *mine;
}

bool InRange(UINT msg, UINT lo, UINT hi) {
    if (lo == 0 && hi == 0) return true;
    return msg >= lo && msg <= hi;
}

bool HwndMatches(HWND filter, HWND target) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return target == nullptr;
    return target == filter || IsChild(filter, target);
}

// Delivers the calls other threads sent to this thread's windows.
void DeliverSent(Queue& q) {
    for (;;) {
        Sent* s = nullptr;
        {
            std::lock_guard<std::mutex> lock(q.m);
            if (q.sent.empty()) return;
            s = q.sent.front();
            q.sent.pop_front();
        }
        Window* w = Find(s->hwnd);
        LRESULT r = w ? CallWindowProc(w->proc, s->hwnd, s->msg, s->wParam, s->lParam) : 0;
        {
            std::lock_guard<std::mutex> lock(q.m);
            s->result = r;
            s->done = true;
        }
        q.cv.notify_all();
    }
}

// One attempt to take a message; the queue lock is not held on return.
bool TryTake(Queue& q, MSG* out, HWND hwnd, UINT lo, UINT hi, bool remove) {
    DWORD me = sys::GetCurrentThreadId();
    // Pen input goes to the window holding the capture when it is taken,
    // whoever was under the pen when it was queued.
    HWND capture = GetCapture();
    if (capture && GetWindowThreadProcessId(capture, nullptr) != me) capture = nullptr;
    POINT captureOrigin = capture ? ClientOrigin(capture) : POINT{};
    {
        std::lock_guard<std::mutex> lock(q.m);
        if (capture) {
            for (MSG& m : q.input) {
                if (m.message < WM_MOUSEFIRST || m.message > WM_MOUSELAST || m.hwnd == capture)
                    continue;
                m.hwnd = capture;
                m.lParam = MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(m.pt.x - captureOrigin.x)),
                                      static_cast<WORD>(static_cast<int16_t>(m.pt.y - captureOrigin.y)));
            }
        }
        for (std::deque<MSG>* list : {&q.posted, &q.input}) {
            for (auto it = list->begin(); it != list->end(); ++it) {
                if (InRange(it->message, lo, hi) && HwndMatches(hwnd, it->hwnd)) {
                    *out = *it;
                    if (remove) list->erase(it);
                    q.lastTime = out->time;
                    q.lastPos = out->pt;
                    return true;
                }
            }
        }
        // The quit request is not held back by a window filter.
        if (q.quit && InRange(WM_QUIT, lo, hi)) {
            *out = MSG{};
            out->message = WM_QUIT;
            out->wParam = static_cast<WPARAM>(q.quitCode);
            out->time = static_cast<DWORD>(sys::GetTickCount64());
            if (remove) q.quit = false;
            return true;
        }
    }
    if (InRange(WM_PAINT, lo, hi)) {
        for (HWND h : WindowsToPaint(me)) {
            if (!HwndMatches(hwnd, h)) continue;
            if (!IsWindowVisible(h)) continue;
            *out = MSG{};
            out->hwnd = h;
            out->message = WM_PAINT;
            out->time = static_cast<DWORD>(sys::GetTickCount64());
            return true;
        }
    }
    if (InRange(WM_TIMER, lo, hi)) {
        uint64_t now = sys::GetTickCount64();
        std::lock_guard<std::mutex> lock(q.m);
        Timer* best = nullptr;
        for (auto& t : q.timers)
            if (t.due <= now && HwndMatches(hwnd, t.hwnd) && (!best || t.due < best->due))
                best = &t;
        if (best) {
            *out = MSG{};
            out->hwnd = best->hwnd;
            out->message = WM_TIMER;
            out->wParam = best->id;
            out->lParam = reinterpret_cast<LPARAM>(best->proc);
            out->time = static_cast<DWORD>(now);
            out->pt = q.lastPos;
            if (remove) best->due = now + best->elapse;
            return true;
        }
    }
    return false;
}

// Waits until something may have arrived. With a fake clock and a timer
// pending, time jumps to the timer instead of waiting.
void WaitForWork(Queue& q, const char* loop) {
    sys::Clock& clock = sys::GetClock();
    std::unique_lock<std::mutex> lock(q.m);
    if (!q.posted.empty() || !q.input.empty() || !q.sent.empty() || q.quit || q.woken) {
        q.woken = false;
        return;
    }
    uint64_t nextDue = UINT64_MAX;
    for (auto& t : q.timers) nextDue = std::min(nextDue, t.due);
    // Timed test input waiting for its time counts as a timer.
    if (!clock.IsReal()) nextDue = std::min(nextDue, win::input::NextStepTime());
    uint64_t now = clock.NowMs();
    if (nextDue != UINT64_MAX && nextDue <= now) {
        lock.unlock();
        win::input::RunDueSteps();
        return;
    }
    if (nextDue != UINT64_MAX && !clock.IsReal()) {
        lock.unlock();
        clock.SleepMs(static_cast<uint32_t>(nextDue - now));
        win::input::RunDueSteps();
        return;
    }
    if (!clock.IsReal() &&
        !win::GetDisplayBackend().HasCapability(win::BackendCapability::NativeInput)) {
        // Nothing can end this wait but another thread: give it a moment,
        // then report the wait instead of hanging.
        auto arrived = [&] {
            return !q.posted.empty() || !q.input.empty() || !q.sent.empty() || q.quit || q.woken;
        };
        if (!q.cv.wait_for(lock, std::chrono::milliseconds(500), arrived)) {
            lock.unlock();
            win::input::ReportStall(loop);
            return;
        }
        q.woken = false;
        return;
    }
    win::DisplayBackend& backend = win::GetDisplayBackend();
    if (backend.HasCapability(win::BackendCapability::NativeInput)) {
        uint32_t wait =
            nextDue == UINT64_MAX
                ? UINT32_MAX
                : static_cast<uint32_t>(std::min<uint64_t>(nextDue - now, UINT32_MAX - 1));
        lock.unlock();
        backend.WaitForEvents(wait);
        return;
    }
    auto ready = [&] {
        return !q.posted.empty() || !q.input.empty() || !q.sent.empty() || q.quit || q.woken;
    };
    if (nextDue == UINT64_MAX)
        q.cv.wait(lock, ready);
    else
        q.cv.wait_for(lock, std::chrono::milliseconds(nextDue - now), ready);
    q.woken = false;
}

}  // namespace

namespace {
std::atomic<uint64_t> g_cursor{0};  // x in the low half, y in the high half
}  // namespace

POINT CursorPoint() {
    uint64_t v = g_cursor.load();
    return POINT{static_cast<LONG>(static_cast<uint32_t>(v)),
                 static_cast<LONG>(static_cast<uint32_t>(v >> 32))};
}

void SetCursorPoint(POINT p) {
    g_cursor = uint64_t(static_cast<uint32_t>(p.x)) | (uint64_t(static_cast<uint32_t>(p.y)) << 32);
}

void WakeThread(DWORD thread) {
    Queue& q = QueueOf(thread);
    {
        std::lock_guard<std::mutex> lock(q.m);
        q.woken = true;
    }
    q.cv.notify_all();
    win::GetDisplayBackend().Wake();
}

void KillWindowTimers(HWND hwnd) {
    std::lock_guard<std::mutex> lock(Q().m);
    for (auto& [th, q] : Q().byThread) {
        std::lock_guard<std::mutex> ql(q->m);
        std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd; });
    }
}

void ResetQueues() {
    std::lock_guard<std::mutex> lock(Q().m);
    for (auto& [th, q] : Q().byThread) {
        std::lock_guard<std::mutex> ql(q->m);
        q->posted.clear();
        q->input.clear();
        q->timers.clear();
        q->quit = false;
        q->quitCode = 0;
    }
}

namespace {
// Puts a message at the end of a thread's posted or input list and wakes it.
bool EnqueueTo(DWORD thread, bool input, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
               POINT pt) {
    if (!thread) return false;
    Queue& q = QueueOf(thread);
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(sys::GetTickCount64());
    m.pt = pt;
    {
        std::lock_guard<std::mutex> lock(q.m);
        (input ? q.input : q.posted).push_back(m);
    }
    q.cv.notify_all();
    win::GetDisplayBackend().Wake();
    return true;
}

bool Enqueue(bool input, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, POINT pt) {
    DWORD thread = hwnd ? GetWindowThreadProcessId(hwnd, nullptr) : sys::GetCurrentThreadId();
    return EnqueueTo(thread, input, hwnd, msg, wParam, lParam, pt);
}
}  // namespace

bool PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, POINT pt) {
    return Enqueue(true, hwnd, msg, wParam, lParam, pt);
}

bool PostToQueue(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, POINT pt) {
    return Enqueue(false, hwnd, msg, wParam, lParam, pt);
}

// Pointer input taken from the queue first asks its window for the cursor
// (without capture), as the platform does when it hands out the message.
void OfferCursor(const MSG& m) {
    NoteKeyMessage(m);
    if (m.message < WM_MOUSEFIRST || m.message > WM_MOUSELAST || !m.hwnd) return;
    if (GetCapture() || !IsWindow(m.hwnd)) return;
    SendMessage(m.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(m.hwnd),
                MAKELPARAM(1 /* HTCLIENT */, static_cast<WORD>(m.message)));
}

namespace {
uint8_t g_keys[256];  // bit 0x80 down, bit 1 toggled
}  // namespace

void NoteKeyMessage(const MSG& m) {
    if (m.message != WM_KEYDOWN && m.message != WM_KEYUP && m.message != WM_SYSKEYDOWN &&
        m.message != WM_SYSKEYUP)
        return;
    uint8_t& k = g_keys[m.wParam & 0xFF];
    bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
    // Alt pressed and released with no other key between enters the menu
    // bar of the window that has the keys.
    static bool altAlone = false;
    if (down) {
        altAlone = m.wParam == VK_MENU && (!(k & 0x80) || altAlone);
    } else if (m.wParam == VK_MENU && altAlone) {
        altAlone = false;
        HWND top = m.hwnd;
        while (top && (GetWindowLongPtr(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
        if (top) PostMessage(top, WM_SYSCOMMAND, SC_KEYMENU, 0);
    }
    if (down && !(k & 0x80)) k ^= 1;
    k = static_cast<uint8_t>(down ? (k | 0x80) : (k & ~0x80));
}

void ResetKeyState() {
    std::fill(std::begin(g_keys), std::end(g_keys), uint8_t{0});
}

}  // namespace win::detail

using namespace win::detail;

int16_t GetKeyState(int vk) {
    uint8_t k = g_keys[vk & 0xFF];
    return static_cast<int16_t>(((k & 0x80) ? 0x8000 : 0) | (k & 1));
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    if (!thread) return 0;
    if (thread == sys::GetCurrentThreadId()) {
        Window* w = Find(hwnd);
        return w ? CallWindowProc(w->proc, hwnd, msg, wParam, lParam) : 0;
    }
    Queue& q = QueueOf(thread);
    Queue& mine = MyQueue();
    Sent s{hwnd, msg, wParam, lParam};
    {
        std::lock_guard<std::mutex> lock(q.m);
        q.sent.push_back(&s);
    }
    q.cv.notify_all();
    win::GetDisplayBackend().Wake();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(q.m);
            if (q.cv.wait_for(lock, std::chrono::milliseconds(5), [&] { return s.done; }))
                return s.result;
            // The receiver may be gone for good: abandon the call while it
            // is still waiting to be delivered.
            if (!IsWindow(hwnd) && std::erase(q.sent, &s) > 0) return 0;
        }
        // Calls the receiver makes to this thread meanwhile are answered, so
        // two threads sending to each other do not wait for ever.
        DeliverSent(mine);
    }
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !IsWindow(hwnd)) return false;
    return PostToQueue(hwnd, msg, wParam, lParam, CursorPoint());
}

bool PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    return EnqueueTo(threadId, false, nullptr, msg, wParam, lParam, POINT{});
}

void PostQuitMessage(int exitCode) {
    Queue& q = MyQueue();
    {
        std::lock_guard<std::mutex> lock(q.m);
        q.quit = true;
        q.quitCode = exitCode;
    }
    q.cv.notify_all();
    win::GetDisplayBackend().Wake();
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    // PM_NOYIELD only looks at the queue: nothing is presented and the
    // display is not asked for new input.
    if (!(removeFlags & PM_NOYIELD)) {
        PresentPendingDrawing();
        win::GetDisplayBackend().PumpNativeEvents();
    }
    Queue& q = MyQueue();
    DeliverSent(q);
    MSG m;
    if (!TryTake(q, &m, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return FALSE;
    if (removeFlags & PM_REMOVE) OfferCursor(m);
    if (msg) *msg = m;
    return TRUE;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    Queue& q = MyQueue();
    MSG m;
    for (;;) {
        PresentPendingDrawing();
        win::GetDisplayBackend().PumpNativeEvents();
        DeliverSent(q);
        if (TryTake(q, &m, hwnd, filterMin, filterMax, true)) break;
        WaitForWork(q, "GetMessage");
    }
    OfferCursor(m);
    if (msg) *msg = m;
    return m.message == WM_QUIT ? FALSE : TRUE;
}

bool WaitMessage() {
    Queue& q = MyQueue();
    DeliverSent(q);
    WaitForWork(q, "WaitMessage");
    return true;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        if (!msg->hwnd || IsWindow(msg->hwnd))
            proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(sys::GetTickCount64()));
        return 0;
    }
    if (!msg->hwnd) return 0;
    Window* w = Find(msg->hwnd);
    if (!w) return 0;
    if (w->thread != sys::GetCurrentThreadId()) return 0;
    return CallWindowProc(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

bool TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return false;
    // The keyboard already queued what this key typed.
    if (msg->lParam & win::input::kKeyTextQueued) return false;
    UINT vk = static_cast<UINT>(msg->wParam);
    WChar ch = 0;
    if (vk >= 'A' && vk <= 'Z')
        ch = static_cast<WChar>(GetKeyState(VK_CONTROL) < 0 ? vk - 'A' + 1 : vk - 'A' + 'a');
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE ||
             vk == VK_BACK || vk == VK_TAB)
        ch = static_cast<WChar>(vk);
    if (!ch) return false;
    PostToQueue(msg->hwnd, WM_CHAR, ch, msg->lParam, msg->pt);
    return true;
}

DWORD GetMessageTime() {
    return static_cast<DWORD>(MyQueue().lastTime);
}
POINT GetMessagePos() {
    return MyQueue().lastPos;
}

uintptr_t SetTimer(HWND hwnd, uintptr_t id, UINT elapseMs, TIMERPROC proc) {
    DWORD thread = sys::GetCurrentThreadId();
    if (hwnd) {
        thread = GetWindowThreadProcessId(hwnd, nullptr);
        if (!thread) return 0;
    }
    Queue& q = QueueOf(thread);
    std::lock_guard<std::mutex> lock(q.m);
    if (!hwnd && id == 0) {
        // A thread timer gets a fresh id.
        id = 1;
        for (auto& t : q.timers)
            if (!t.hwnd) id = std::max(id, t.id + 1);
    }
    uint64_t due = sys::GetTickCount64() + std::max<UINT>(elapseMs, 1);
    for (auto& t : q.timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse = std::max<UINT>(elapseMs, 1);
            t.proc = proc;
            t.due = due;
            q.cv.notify_all();
            return hwnd ? 1 : id;
        }
    }
    q.timers.push_back(Timer{hwnd, id, std::max<UINT>(elapseMs, 1), proc, due});
    q.cv.notify_all();
    return hwnd ? 1 : id;
}

bool KillTimer(HWND hwnd, uintptr_t id) {
    DWORD thread = hwnd ? GetWindowThreadProcessId(hwnd, nullptr) : sys::GetCurrentThreadId();
    if (!thread) return false;
    Queue& q = QueueOf(thread);
    std::lock_guard<std::mutex> lock(q.m);
    auto n = std::erase_if(q.timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    // A WM_TIMER already taken from the queue is not recalled.
    return n > 0;
}

bool GetCursorPos(POINT* pt) {
    if (!pt) return false;
    *pt = CursorPoint();
    return true;
}
