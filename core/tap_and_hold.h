// Tap-and-hold recognition with the program's own recogniser: the pen must
// stay within 3 pixels for the hold time while a ring of dots is inverted on
// the screen around it; the shell's gesture function is never used.
#pragma once

#include <functional>

#include "platform/types.h"

// The shell's gesture request record (20 bytes on the handheld).
struct SHRGINFO {
    DWORD cbSize = sizeof(SHRGINFO);
    HWND hwndClient = nullptr;
    POINT ptDown;  // client coordinates of hwndClient
    DWORD dwFlags = 0;
};

constexpr DWORD SHRG_RETURNCMD = 0x1;
constexpr DWORD SHRG_NOTIFYPARENT = 0x2;
constexpr DWORD SHRG_LONGDELAY = 0x8;
constexpr UINT GN_CONTEXTMENU = 1000;

// The notification a window gets (WM_NOTIFY) for a recognised gesture.
struct NMRGINFO {
    HWND hwndFrom = nullptr;
    uintptr_t idFrom = 0;
    UINT code = 0;
    POINT ptAction;  // screen coordinates
};

// Evaluates one request: GN_CONTEXTMENU (1000) when the hold time passed
// with SHRG_RETURNCMD; with SHRG_NOTIFYPARENT the window's answer to the
// notification; 0 when the pen moved, lifted or another button was pressed.
DWORD EvaluateTapAndHold(const SHRGINFO& request);

// True when the pen was held; with notify the request is evaluated again
// with notification of the window.
bool RecognizeTapAndHold(HWND window, POINT point, bool notify);

// Where the dots go: each call inverts one 6 x 6 square (screen pixels).
// Null restores the default, which inverts on the screen surface.
void SetTapAndHoldDotPainter(std::function<void(const RECT&)> painter);
