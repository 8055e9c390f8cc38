// Internal to the window system: the window record and the table. Not for
// program code; controls and dialogs of this module use it.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/win/window.h"

namespace win::detail {

// Per-window state of a built-in control; each control class derives its own.
struct ControlState {
    virtual ~ControlState() = default;
};

struct Window {
    HWND self = nullptr;
    DWORD thread = 0;
    HWND parent = nullptr;  // children only
    HWND owner = nullptr;   // top-level windows only
    std::vector<HWND> children;
    WString className;
    UINT classStyle = 0;
    HBRUSH background = nullptr;
    HCURSOR cursor = nullptr;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    intptr_t id = 0;
    WString text;
    HFONT font = nullptr;
    RECT rect;  // in the parent's client coordinates, or on the screen
    intptr_t userData = 0;
    intptr_t dlgMsgResult = 0;
    intptr_t dlgProc = 0;
    intptr_t dlgUser = 0;
    bool created = false;
    bool destroying = false;
    bool redraw = true;
    bool updatePending = false;
    bool erasePending = false;
    bool framePending = false;  // the non-client area needs drawing
    RECT update;
    struct Bar {
        int min = 0, max = 100, page = 0, pos = 0, trackPos = 0;
    } bars[3];  // SB_HORZ, SB_VERT, SB_CTL
    std::unique_ptr<ControlState> control;
};

// Looks a window up; nullptr when the handle is not (or no longer) a window.
// The record may only be used on the window's own thread.
Window* Find(HWND hwnd);

template <class T>
T* Control(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? dynamic_cast<T*>(w->control.get()) : nullptr;
}
template <class T>
T* EnsureControl(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (!w->control) w->control = std::make_unique<T>();
    return dynamic_cast<T*>(w->control.get());
}

// Called once, for the next window this thread creates, before its first
// message (the framework attaches its object there).
using CreationHook = void (*)(HWND);
void SetCreationHook(CreationHook hook);
extern thread_local CreationHook t_creationHook;

// Registers a built-in class (kept across ResetForTests).
void RegisterSystemClass(const WChar* name, WNDPROC proc, UINT style);
// Registers the built-in control and dialog classes once.
void EnsureSystemClasses();

// Screen origin (top-left) of the client area, and the window's rectangle
// on the screen (a child of a mirrored window is placed mirrored).
POINT ClientOrigin(HWND hwnd);
RECT ScreenRect(HWND hwnd);
// The window's thread's queue wakes up (a timer or paint became pending).
void WakeThread(DWORD thread);
// Drops the timers of a window being destroyed.
void KillWindowTimers(HWND hwnd);
// Clears queues and timers (ResetForTests).
void ResetQueues();
// Windows of a thread that need painting.
std::vector<HWND> WindowsToPaint(DWORD thread);
// Notifies the parent with WM_COMMAND (id, code, hwnd).
void NotifyParent(HWND hwnd, WORD code);
// Where the pen or mouse was last (screen); MSG.pt of posted messages.
POINT CursorPoint();
void SetCursorPoint(POINT p);
// Queues a message of the user's input for the window's thread with its
// screen point. Input is taken after the posted messages, as the platform
// does: a message a handler posts runs before a tap that is already waiting.
bool PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, POINT pt);
// Queues a posted message.
bool PostToQueue(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, POINT pt);
void ResetInput();
// Window and screen surfaces (the graphics module's bitmaps). A window's DC
// is a view into its top-level window's surface: the client area (or the
// whole window), clipped as the window's styles ask, and for painting also
// to the update area (client coordinates). nullptr hwnd: the screen.
HDC WindowViewDC(HWND hwnd, bool client, bool paint, const RECT* paintArea);
// False when the DC is not one of ours.
bool ReleaseWindowViewDC(HDC dc);
// Hands what painting drew to the display backend.
void PresentPendingDrawing();
// The screen as shown, composed from the top-level surfaces.
HBITMAP ComposeScreen();
// Windows in painting order: parents first, siblings bottom of the z-order up.
std::vector<HWND> PaintOrder();
void DropSurface(HWND hwnd);
// The caret around painting and destruction.
void CaretBeginPaint(HWND hwnd);
void CaretEndPaint(HWND hwnd);
void CaretWindowGone(HWND hwnd);
// Keeps the key state as key messages are taken from the queue.
void NoteKeyMessage(const MSG& m);
void ResetKeyState();
void DropAllSurfaces();
void ResetDialogs();

}  // namespace win::detail
