#include "platform/win/input.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/sys/thread.h"
#include "platform/win/nonclient.h"
#include "platform/win/window_impl.h"

namespace win::input {

namespace {

struct State {
    DoubleTapSettings dbl;
    HWND lastDownWnd = nullptr;
    uint64_t lastDownTime = 0;
    POINT lastDownPt;
    bool lastWasDouble = false;
    WPARAM buttons = 0;
};
State g_in;

// Points far outside the screen (a drag off the window) are clamped to the
// signed 16-bit range, never wrapped onto the other side.
LPARAM PointParam(POINT p) {
    auto clamp16 = [](LONG v) {
        return static_cast<WORD>(static_cast<int16_t>(std::clamp<LONG>(v, -32768, 32767)));
    };
    return MAKELPARAM(clamp16(p.x), clamp16(p.y));
}

HWND HitChild(HWND parent, POINT screen) {
    for (HWND c : GetChildren(parent)) {
        auto* w = detail::Find(c);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        RECT r;
        GetWindowRect(c, &r);
        if (screen.x < r.left || screen.x >= r.right || screen.y < r.top || screen.y >= r.bottom)
            continue;
        if (w->style & WS_DISABLED) return parent;
        if (text::EqualsNoCase(w->className, u"STATIC") && !(w->style & 0x0100 /*SS_NOTIFY*/))
            continue;
        // A group box is transparent to the pen: what it frames gets the tap.
        if (text::EqualsNoCase(w->className, u"BUTTON") && (w->style & 0xF) == 0x7 /*BS_GROUPBOX*/)
            continue;
        return HitChild(c, screen);
    }
    return parent;
}

HWND Target(POINT screen) {
    if (HWND cap = GetCapture()) return cap;
    return WindowFromPoint(screen);
}

// Moves and the lift of a held pen off every window still belong to the
// window it went down on (which may take the capture before they arrive).
HWND HeldTarget(POINT screen) {
    HWND t = Target(screen);
    if (!t && (g_in.buttons & MK_LBUTTON) && IsWindow(g_in.lastDownWnd)) t = g_in.lastDownWnd;
    return t;
}

void PostMouse(HWND target, UINT msg, POINT screen) {
    detail::SetCursorPoint(screen);
    if (!target) return;
    // The pen on a window's frame (caption buttons, scroll bars) goes to
    // the non-client handling, unless a window holds the capture.
    if (msg == WM_LBUTTONDOWN && GetCapture() != target) {
        LRESULT hit = detail::NonClientHit(target, screen);
        if (hit != HTCLIENT && hit != HTNOWHERE) {
            detail::PostInput(target, WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit),
                              MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(screen.x)),
                                         static_cast<WORD>(static_cast<int16_t>(screen.y))),
                              screen);
            return;
        }
    }
    POINT c = screen;
    ScreenToClient(target, &c);
    detail::PostInput(target, msg, g_in.buttons, PointParam(c), screen);
}

}  // namespace

void SetDoubleTapSettings(const DoubleTapSettings& s) {
    g_in.dbl = s;
}
DoubleTapSettings GetDoubleTapSettings() {
    return g_in.dbl;
}

HWND WindowFromPoint(POINT screen) {
    auto tops = GetTopLevelWindows();
    // Topmost windows first, then the rest; the newest is on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
            auto* w = detail::Find(*it);
            if (!w || !(w->style & WS_VISIBLE)) continue;
            if (((w->exStyle & WS_EX_TOPMOST) != 0) != (pass == 0)) continue;
            RECT r;
            GetWindowRect(*it, &r);
            if (screen.x < r.left || screen.x >= r.right || screen.y < r.top ||
                screen.y >= r.bottom)
                continue;
            if (w->style & WS_DISABLED) return nullptr;  // blocked by a modal window
            return HitChild(*it, screen);
        }
    }
    return nullptr;
}

void PenDown(POINT screen, Button b) {
    HWND t = Target(screen);
    if (b == Button::Right) {
        g_in.buttons |= MK_RBUTTON;
        PostMouse(t, WM_RBUTTONDOWN, screen);
        return;
    }
    if (b == Button::Middle) {
        g_in.buttons |= MK_MBUTTON;
        PostMouse(t, WM_MBUTTONDOWN, screen);
        return;
    }
    g_in.buttons |= MK_LBUTTON;
    uint64_t now = sys::GetTickCount64();
    auto* w = detail::Find(t);
    bool dbl = w && (w->classStyle & CS_DBLCLKS) && !g_in.lastWasDouble && t == g_in.lastDownWnd &&
               now - g_in.lastDownTime <= g_in.dbl.timeMs &&
               std::abs(screen.x - g_in.lastDownPt.x) <= g_in.dbl.distance &&
               std::abs(screen.y - g_in.lastDownPt.y) <= g_in.dbl.distance;
    PostMouse(t, dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, screen);
    g_in.lastWasDouble = dbl;
    g_in.lastDownWnd = t;
    g_in.lastDownTime = now;
    g_in.lastDownPt = screen;
}

void PenUp(POINT screen, Button b) {
    HWND t = HeldTarget(screen);
    UINT msg = WM_LBUTTONUP;
    if (b == Button::Right) {
        g_in.buttons &= ~MK_RBUTTON;
        msg = WM_RBUTTONUP;
    } else if (b == Button::Middle) {
        g_in.buttons &= ~MK_MBUTTON;
        msg = WM_MBUTTONUP;
    } else {
        g_in.buttons &= ~MK_LBUTTON;
    }
    PostMouse(t, msg, screen);
}

void PenMove(POINT screen) {
    PostMouse(HeldTarget(screen), WM_MOUSEMOVE, screen);
}

static POINT ToScreen(HWND hwnd, POINT client) {
    ClientToScreen(hwnd, &client);
    return client;
}

void PenDownAt(HWND hwnd, POINT client, Button b) {
    PenDown(ToScreen(hwnd, client), b);
}
void PenUpAt(HWND hwnd, POINT client, Button b) {
    PenUp(ToScreen(hwnd, client), b);
}
void PenMoveAt(HWND hwnd, POINT client) {
    PenMove(ToScreen(hwnd, client));
}
void TapAt(HWND hwnd, POINT client) {
    PenDownAt(hwnd, client);
    PenUpAt(hwnd, client);
}

static HWND KeyTarget() {
    HWND f = GetFocus();
    return f ? f : GetActiveWindow();
}

void KeyDown(UINT vk) {
    HWND t = KeyTarget();
    if (t) detail::PostInput(t, WM_KEYDOWN, vk, 1, detail::CursorPoint());
}

void KeyUp(UINT vk) {
    HWND t = KeyTarget();
    if (t)
        detail::PostInput(t, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u), detail::CursorPoint());
}

void Key(UINT vk) {
    KeyDown(vk);
    KeyUp(vk);
}

void DeviceKeyDown(UINT vk, bool autoRepeat, WStringView text) {
    HWND t = KeyTarget();
    if (!t) return;
    LPARAM lp = 1 | (autoRepeat ? 0x40000000 : 0) | (text.empty() ? 0 : kKeyTextQueued);
    detail::PostInput(t, WM_KEYDOWN, vk, lp, detail::CursorPoint());
    for (WChar c : text) detail::PostInput(t, WM_CHAR, c, 1, detail::CursorPoint());
}

void DeviceKeyUp(UINT vk) {
    KeyUp(vk);
}

void Char(WChar c) {
    HWND t = KeyTarget();
    if (t) detail::PostInput(t, WM_CHAR, c, 1, detail::CursorPoint());
}

void Type(WStringView text) {
    for (WChar c : text) Char(c);
}

// ---- timed input ----

namespace {

struct Scheduled {
    uint64_t due;
    uint64_t order;
    Gesture::Step step;
};

std::mutex g_stepLock;
std::vector<Scheduled> g_steps;  // not yet queued, by due time then order
uint64_t g_stepOrder = 0;
std::atomic<StallHandler> g_stallHandler{nullptr};
thread_local bool t_runningSteps = false;

void QueueStep(const Gesture::Step& s) {
    switch (s.kind) {
        case Gesture::Kind::PenDown: PenDownAt(s.hwnd, s.point); break;
        case Gesture::Kind::PenMove: PenMoveAt(s.hwnd, s.point); break;
        case Gesture::Kind::PenUp: PenUpAt(s.hwnd, s.point); break;
        case Gesture::Kind::KeyDown: KeyDown(s.vk); break;
        case Gesture::Kind::KeyUp: KeyUp(s.vk); break;
        case Gesture::Kind::Probe:
            if (s.probe) s.probe();
            break;
    }
}

void OnFakeTimeMoved() {
    RunDueSteps();
}

}  // namespace

Gesture& Gesture::Down(uint32_t atMs, HWND hwnd, POINT client) {
    steps_.push_back(Step{atMs, Kind::PenDown, hwnd, client, 0, {}});
    return *this;
}
Gesture& Gesture::Move(uint32_t atMs, HWND hwnd, POINT client) {
    steps_.push_back(Step{atMs, Kind::PenMove, hwnd, client, 0, {}});
    return *this;
}
Gesture& Gesture::Up(uint32_t atMs, HWND hwnd, POINT client) {
    steps_.push_back(Step{atMs, Kind::PenUp, hwnd, client, 0, {}});
    return *this;
}
Gesture& Gesture::KeyDown(uint32_t atMs, UINT vk) {
    steps_.push_back(Step{atMs, Kind::KeyDown, nullptr, {}, vk, {}});
    return *this;
}
Gesture& Gesture::KeyUp(uint32_t atMs, UINT vk) {
    steps_.push_back(Step{atMs, Kind::KeyUp, nullptr, {}, vk, {}});
    return *this;
}
Gesture& Gesture::Probe(uint32_t atMs, std::function<void()> probe) {
    steps_.push_back(Step{atMs, Kind::Probe, nullptr, {}, 0, std::move(probe)});
    return *this;
}

void Play(const Gesture& gesture) {
    uint64_t start = sys::GetTickCount64();
    {
        std::lock_guard<std::mutex> lock(g_stepLock);
        for (const auto& s : gesture.Steps()) g_steps.push_back({start + s.atMs, g_stepOrder++, s});
        std::stable_sort(g_steps.begin(), g_steps.end(), [](const Scheduled& a, const Scheduled& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
    }
    sys::SetFakeTimeHook(&OnFakeTimeMoved);
    RunDueSteps();
}

bool RunDueSteps() {
    if (t_runningSteps) return false;  // a probe that sleeps
    t_runningSteps = true;
    bool any = false;
    for (;;) {
        Gesture::Step step;
        {
            std::lock_guard<std::mutex> lock(g_stepLock);
            if (g_steps.empty() || g_steps.front().due > sys::GetTickCount64()) break;
            step = std::move(g_steps.front().step);
            g_steps.erase(g_steps.begin());
        }
        QueueStep(step);
        any = true;
    }
    t_runningSteps = false;
    return any;
}

uint64_t NextStepTime() {
    std::lock_guard<std::mutex> lock(g_stepLock);
    return g_steps.empty() ? UINT64_MAX : g_steps.front().due;
}

void ClearScheduledSteps() {
    std::lock_guard<std::mutex> lock(g_stepLock);
    g_steps.clear();
}

void SetStallHandler(StallHandler handler) {
    g_stallHandler = handler;
}

void ReportStall(const char* loop) {
    if (StallHandler handler = g_stallHandler.load()) {
        handler(loop);
        PostQuitMessage(0);
        return;
    }
    std::fprintf(stderr, "message wait under the fake clock can never end: %s\n", loop);
    std::abort();
}

void DrainQueue() {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
}

}  // namespace win::input

namespace win::detail {
void ResetInput() {
    win::input::g_in = {};
    win::input::ClearScheduledSteps();
    SetCursorPoint(POINT{});
}
}  // namespace win::detail
