// User input into the model: what a display backend reports and what tests
// use to act as the user. Pen and mouse input goes to the capture holder, else
// to the window under the point; keys go to the focus. Everything is queued as
// the messages a user's action causes, with MSG.pt and time set.
#pragma once

#include <functional>
#include <vector>

#include "platform/win/window.h"

namespace win::input {

enum class Button { Left, Right, Middle };

// Double-tap recognition: a second left press on the same window within this
// time and distance (pixels in x and in y) becomes WM_LBUTTONDBLCLK, for
// windows whose class has CS_DBLCLKS.
struct DoubleTapSettings {
    uint32_t timeMs = 500;
    int distance = 8;
};
void SetDoubleTapSettings(const DoubleTapSettings& s);
DoubleTapSettings GetDoubleTapSettings();

// The deepest visible, enabled window under a screen point (static texts
// without SS_NOTIFY let the point through to their parent).
HWND WindowFromPoint(POINT screen);

// At a screen point.
void PenDown(POINT screen, Button b = Button::Left);
void PenUp(POINT screen, Button b = Button::Left);
void PenMove(POINT screen);
// At a point in a window's client coordinates.
void PenDownAt(HWND hwnd, POINT client, Button b = Button::Left);
void PenUpAt(HWND hwnd, POINT client, Button b = Button::Left);
void PenMoveAt(HWND hwnd, POINT client);
// Down and up at the same point.
void TapAt(HWND hwnd, POINT client);

void KeyDown(UINT vk);
void KeyUp(UINT vk);
void Key(UINT vk);  // down, then up
// A key as a keyboard reports it. The key-down's lParam carries a repeat
// count of 1 and the previous-state bit (set for an auto-repeat); the key-up
// has the previous-state and transition bits. `text` is what the key typed
// (a character outside the BMP as two units): queued as WM_CHAR right behind
// the key-down, which is marked with kKeyTextQueued so that TranslateMessage
// adds no character of its own.
void DeviceKeyDown(UINT vk, bool autoRepeat, WStringView text);
void DeviceKeyUp(UINT vk);
// lParam bit of a key-down whose characters are already queued (a bit the
// platform leaves reserved).
constexpr LPARAM kKeyTextQueued = 0x02000000;
void Char(WChar c);
void Type(WStringView text);  // WM_CHAR for each unit

// ---- timed input (tests) ----
// A gesture: steps at clock times (ms) relative to its start. Playing it
// queues every step that is due at once, before anything is dispatched, so
// the whole of a quick gesture is in the queue when its pen-down is handled;
// later steps are queued (probes run) when the clock reaches them: a sleep
// or an advance of the fake clock, or a message wait under the fake clock,
// which jumps to the earliest of the next timer and the next step.
class Gesture {
public:
    enum class Kind { PenDown, PenMove, PenUp, KeyDown, KeyUp, Probe };
    struct Step {
        uint32_t atMs = 0;
        Kind kind = Kind::Probe;
        HWND hwnd = nullptr;  // pen steps: client coordinates of this window
        POINT point{};
        UINT vk = 0;
        std::function<void()> probe;
    };
    Gesture& Down(uint32_t atMs, HWND hwnd, POINT client);
    Gesture& Move(uint32_t atMs, HWND hwnd, POINT client);
    Gesture& Up(uint32_t atMs, HWND hwnd, POINT client);
    Gesture& KeyDown(uint32_t atMs, UINT vk);
    Gesture& KeyUp(uint32_t atMs, UINT vk);
    // Runs at its time (it may read the window surfaces).
    Gesture& Probe(uint32_t atMs, std::function<void()> probe);
    const std::vector<Step>& Steps() const { return steps_; }

private:
    std::vector<Step> steps_;
};
void Play(const Gesture& gesture);
// Queues the steps whose time came; true when any was.
bool RunDueSteps();
// Clock time of the next step not yet queued; UINT64_MAX when none.
uint64_t NextStepTime();
// Forgets the steps not yet queued.
void ClearScheduledSteps();
// Called when a message wait under the fake clock has nothing to wait for
// (nothing queued, no timer, no step) and nothing arrived from other
// threads for a short real time: the wait would never end. `loop` names the
// waiting call. The default prints the name and aborts; tests install one
// that fails the running test. After it returns, the wait gives up: the
// thread is told to quit (WM_QUIT), so the waiting loop ends.
using StallHandler = void (*)(const char* loop);
void SetStallHandler(StallHandler handler);
void ReportStall(const char* loop);

// Runs the calling thread's queue until nothing is left (paint and due timers
// included, waiting timers not): what happens after the user acted.
void DrainQueue();

}  // namespace win::input
