// The caret: one per thread's focus, drawn by inverting its rectangle on the
// owner's window DC, blinking on a model timer (so a fake clock drives it).
// Painting hides it for the duration (BeginPaint to EndPaint).
#include "platform/gdi/gdi.h"
#include "platform/win/backend.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

constexpr uintptr_t kBlinkTimer = 0xFFFF0002;
constexpr UINT kBlinkMs = 500;

struct Caret {
    HWND owner = nullptr;
    int w = 0, h = 0;
    POINT pos;
    int hidden = 1;     // ShowCaret count: shown at 0
    bool drawn = false;  // the rectangle is inverted right now
    bool painting = false;
};
Caret g_caret;

void Invert() {
    if (!IsWindow(g_caret.owner)) return;
    HDC dc = GetDC(g_caret.owner);
    PatBlt(dc, g_caret.pos.x, g_caret.pos.y, g_caret.w, g_caret.h, DSTINVERT);
    ReleaseDC(g_caret.owner, dc);
    g_caret.drawn = !g_caret.drawn;
}

void Remove() {
    if (g_caret.drawn) Invert();
}

void Blink(HWND, UINT, uintptr_t, DWORD) {
    if (g_caret.hidden > 0 || g_caret.painting) return;
    Invert();
}

// Shown again: on at once, and the blink starts over.
void Restart() {
    if (g_caret.hidden > 0 || g_caret.painting || !IsWindow(g_caret.owner)) return;
    if (!g_caret.drawn) Invert();
    SetTimer(g_caret.owner, kBlinkTimer, kBlinkMs, Blink);
}

// The input method places its candidates at the caret.
void Report() {
    RECT r{g_caret.pos.x, g_caret.pos.y, g_caret.pos.x + g_caret.w, g_caret.pos.y + g_caret.h};
    GetDisplayBackend().CaretChanged(g_caret.owner, g_caret.owner ? &r : nullptr);
}

}  // namespace

void CaretBeginPaint(HWND hwnd) {
    if (g_caret.owner != hwnd) return;
    Remove();
    g_caret.painting = true;
}

void CaretEndPaint(HWND hwnd) {
    if (g_caret.owner != hwnd || !g_caret.painting) return;
    g_caret.painting = false;
    Restart();
}

void CaretWindowGone(HWND hwnd) {
    if (g_caret.owner != hwnd) return;
    g_caret = Caret{};
    Report();
}

}  // namespace win::detail

using namespace win::detail;

bool CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
    if (!IsWindow(hwnd)) return false;
    DestroyCaret();
    g_caret.owner = hwnd;
    g_caret.w = width > 0 ? width : 1;
    g_caret.h = height > 0 ? height : 1;
    Report();
    return true;
}

bool DestroyCaret() {
    if (!g_caret.owner) return false;
    Remove();
    if (IsWindow(g_caret.owner)) KillTimer(g_caret.owner, kBlinkTimer);
    HWND owner = g_caret.owner;
    g_caret = Caret{};
    win::GetDisplayBackend().CaretChanged(owner, nullptr);
    return true;
}

bool ShowCaret(HWND hwnd) {
    if (!g_caret.owner || (hwnd && hwnd != g_caret.owner)) return false;
    if (g_caret.hidden > 0 && --g_caret.hidden == 0) Restart();
    return true;
}

bool HideCaret(HWND hwnd) {
    if (!g_caret.owner || (hwnd && hwnd != g_caret.owner)) return false;
    if (g_caret.hidden++ == 0) {
        Remove();
        KillTimer(g_caret.owner, kBlinkTimer);
    }
    return true;
}

bool SetCaretPos(int x, int y) {
    if (!g_caret.owner) return false;
    if (g_caret.pos.x == x && g_caret.pos.y == y) return true;
    Remove();
    g_caret.pos = POINT{x, y};
    Report();
    Restart();
    return true;
}

bool GetCaretPos(POINT* pt) {
    if (!g_caret.owner || !pt) return false;
    *pt = g_caret.pos;
    return true;
}

namespace win {
bool IsCaretDrawn() {
    return g_caret.drawn;
}
}  // namespace win
