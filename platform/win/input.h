// User input into the model: what a display backend reports and what tests
// use to act as the user. Pen and mouse input goes to the capture holder, else
// to the window under the point; keys go to the focus. Everything is queued as
// the messages a user's action causes, with MSG.pt and time set.
#pragma once

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

// Runs the calling thread's queue until nothing is left (paint and due timers
// included, waiting timers not): what happens after the user acted.
void DrainQueue();

}  // namespace win::input
