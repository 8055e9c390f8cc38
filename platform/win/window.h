// The window system: window classes and procedures, the window table with
// 32-bit handle tokens, the per-thread message queue with timers, focus,
// capture, coordinates and painting state. Headless: a display backend only
// presents the model and feeds user input in through win/input.h.
//
// Re-entrancy: SendMessage calls the window procedure at once on the calling
// thread (the window's thread); a procedure may create and destroy windows,
// send further messages and run nested message loops. No lock of the model is
// held while a procedure runs, so a handle kept across any call that may
// dispatch must be checked with IsWindow before use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"
#include "platform/win/winconst.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, uintptr_t, DWORD);

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;  // screen position of the pointer when the message was queued
};

// WM_COPYDATA's record (lParam): a kind chosen by the sender and its bytes.
struct COPYDATASTRUCT {
    uintptr_t dwData = 0;
    DWORD cbData = 0;
    void* lpData = nullptr;
};

struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    const WChar* lpszMenuName = nullptr;
    const WChar* lpszClassName = nullptr;
};

struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0, cx = 0, y = 0, x = 0;
    DWORD style = 0;
    const WChar* lpszName = nullptr;
    const WChar* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0, y = 0, cx = 0, cy = 0;
    UINT flags = 0;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint;
};

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// ---- classes ----
// Registers a class; false when the name is taken. Names compare without case.
bool RegisterClass(const WNDCLASS& wc);
bool UnregisterClass(const WChar* className, HINSTANCE instance);
bool GetClassInfo(HINSTANCE instance, const WChar* className, WNDCLASS* out);
int GetClassName(HWND hwnd, WChar* buffer, int size);
WString GetClassNameText(HWND hwnd);

// ---- creation and destruction ----
// Sends WM_CREATE (a -1 answer destroys the window and returns nullptr). The
// x, y of a child are in the parent's client coordinates; for a top-level
// window the window is owned by `parent`.
HWND CreateWindowEx(DWORD exStyle, const WChar* className, const WChar* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                    HINSTANCE instance, void* param);
HWND CreateWindow(const WChar* className, const WChar* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                  void* param);
// Destroys owned windows and children first (WM_DESTROY parent first, then
// children; WM_NCDESTROY children first).
bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);  // safe from any thread

// ---- procedures and messages ----
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure. From another thread the call is queued to the
// window's thread and waits until that thread's message loop delivers it.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues the message for the window's thread; any thread. nullptr hwnd posts
// to the calling thread. False when the window does not exist.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Removes the next message (waiting for one); false for WM_QUIT.
// Order: sent from other threads, posted, the user's input, quit, paint,
// timers (each in arrival order). Filters: hwnd (nullptr all, (HWND)-1 thread messages only)
// and an inclusive message range (0, 0 for all).
BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Turns a key press into WM_CHAR for printable keys and a few control keys.
bool TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
// Blocks until a message is queued (or a timer is due).
bool WaitMessage();
// Milliseconds of the message clock (the platform tick count).
DWORD GetMessageTime();
POINT GetMessagePos();

// ---- window data ----
intptr_t GetWindowLongPtr(HWND hwnd, int index);
intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value);
inline LONG GetWindowLong(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtr(hwnd, index));
}
inline LONG SetWindowLong(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtr(hwnd, index, static_cast<uint32_t>(value)));
}
int GetWindowText(HWND hwnd, WChar* buffer, int size);
WString GetWindowTextString(HWND hwnd);
int GetWindowTextLength(HWND hwnd);
bool SetWindowText(HWND hwnd, const WChar* text);
int GetDlgCtrlID(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);

// ---- relations ----
HWND GetParent(HWND hwnd);  // parent of a child, owner of a top-level window
HWND SetParent(HWND child, HWND newParent);
HWND GetOwner(HWND hwnd);
constexpr UINT GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4,
               GW_CHILD = 5;
HWND GetWindow(HWND hwnd, UINT cmd);
// Children in creation order.
std::vector<HWND> GetChildren(HWND hwnd);
bool IsChild(HWND parent, HWND hwnd);
// Top-level windows of all threads, in creation order.
std::vector<HWND> GetTopLevelWindows();
HWND FindWindow(const WChar* className, const WChar* windowName);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

// ---- geometry ----
bool GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
bool GetClientRect(HWND hwnd, RECT* rect);  // origin 0, 0
bool ClientToScreen(HWND hwnd, POINT* pt);
bool ScreenToClient(HWND hwnd, POINT* pt);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool CenterWindow(HWND hwnd, HWND relativeTo);
// Non-client thickness of a window with these styles (left, top, right, bottom).
RECT GetNonClientMargins(DWORD style, DWORD exStyle);
int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);

// ---- state ----
bool ShowWindow(HWND hwnd, int cmd);        // returns whether it was visible before
bool IsWindowVisible(HWND hwnd);            // visible and all ancestors visible
bool EnableWindow(HWND hwnd, bool enable);  // returns whether it was disabled
bool IsWindowEnabled(HWND hwnd);
HWND SetFocus(HWND hwnd);  // returns the previous focus
HWND GetFocus();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
bool SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
bool BringWindowToTop(HWND hwnd);
// Capture: the previous holder gets WM_CAPTURECHANGED with the new holder.
HWND SetCapture(HWND hwnd);
bool ReleaseCapture();
HWND GetCapture();

// ---- painting state (drawing itself is the graphics module's) ----
bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase);
bool ValidateRect(HWND hwnd, const RECT* rect);
bool GetUpdateRect(HWND hwnd, RECT* rect, bool erase);
// Sends WM_PAINT at once when the window has something to paint.
bool UpdateWindow(HWND hwnd);
// Sends WM_ERASEBKGND when an erase is pending, fills ps, validates.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
// Moves the client area's pixels by dx, dy (the surface and any pending
// update area) and invalidates what was uncovered. Without a rectangle the
// children move too. ScrollWindowEx flags: SW_SCROLLCHILDREN, SW_INVALIDATE,
// SW_ERASE.
constexpr UINT SW_SCROLLCHILDREN = 0x1;
constexpr UINT SW_INVALIDATE = 0x2;
constexpr UINT SW_ERASE = 0x4;
bool ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip);
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                   RECT* updateRect, UINT flags);
// A DC on the client area; nullptr: the screen as shown (what it draws lands
// in the surface of the topmost window showing each pixel).
HDC GetDC(HWND hwnd);
// A DC on the whole window, frame included.
HDC GetWindowDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

// ---- caret ----
// One caret, owned by a window (usually the one with the focus). It starts
// hidden; ShowCaret and HideCaret nest. It blinks on a timer of its owner
// and is hidden while its owner paints.
bool CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
bool DestroyCaret();
bool ShowCaret(HWND hwnd);
bool HideCaret(HWND hwnd);
bool SetCaretPos(int x, int y);  // client coordinates of the owner
bool GetCaretPos(POINT* pt);

// ---- keyboard state ----
// Down (high bit, as a negative value) and toggled (low bit) state of a key,
// as of the input message being handled.
int16_t GetKeyState(int vk);

// ---- timers ----
// Delivered as WM_TIMER (or to the procedure) at the lowest priority, in any
// message loop of the window's thread, nested ones included.
uintptr_t SetTimer(HWND hwnd, uintptr_t id, UINT elapseMs, TIMERPROC proc);
bool KillTimer(HWND hwnd, uintptr_t id);

// ---- cursors ----
HCURSOR LoadCursor(HINSTANCE instance, uintptr_t id);
// A cursor resource (RT_GROUP_CURSOR) by name; null when the module has none.
// The same name gives the same handle for the life of the process.
HCURSOR LoadCursor(HINSTANCE instance, const WChar* name);

// ---- bitmaps ----
// A bitmap resource (id through MAKEINTRESOURCE or a name) as a DIB section;
// null when the module has none or it is malformed. The caller deletes it.
HBITMAP LoadBitmap(HINSTANCE instance, const WChar* name);
// The image of an icon resource nearest to the size (pixels) as an icon;
// null when there is none. The caller destroys it.
HICON LoadIcon(HINSTANCE instance, const WChar* name, int size = 32);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The screen point of the pen or mouse (its last reported position).
bool GetCursorPos(POINT* pt);

// ---- misc ----
bool MessageBeep(UINT type);

namespace win {

// The application's main window (the framework's notion).
void SetMainWindow(HWND hwnd);
HWND GetMainWindow();

// The wait cursor: nests; shows IDC_WAIT while the count is above 0.
void BeginWaitCursor();
void EndWaitCursor();
bool IsWaitCursor();

// Screen size in pixels (default 240 x 320, as the handheld's).
void SetScreenSize(int width, int height);

// The persistent 32-bit surface of the top-level window holding hwnd (the
// whole window, frame included; created on first use, kept between paints,
// remade when the window's size changes), and where hwnd's client (0, 0) lies
// in it. Every DC of the window draws straight into it, so it can be read.
// nullptr gives the screen as shown: the visible top-level surfaces composed.
HBITMAP GetWindowSurface(HWND hwnd, POINT* clientOffset = nullptr);

// Whether the caret is drawn right now (tests).
bool IsCaretDrawn();

// Recorded MessageBeep types (tests).
std::vector<UINT> BeepLog();

// Destroys every window, clears queues, timers, classes registered by the
// program (the system classes stay), focus, capture and hooks. For tests.
void ResetForTests();

// Number of windows in the table.
size_t WindowCount();

}  // namespace win
