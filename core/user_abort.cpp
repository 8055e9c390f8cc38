#include "core/user_abort.h"

#include <atomic>

#include "platform/sys/thread.h"
#include "platform/win/window.h"

namespace {
std::atomic<bool> g_abort{false};
}  // namespace

void RequestAbort() {
    g_abort = true;
    PostThreadMessage(sys::GetCurrentThreadId(), WM_ZARNIP_ABORT, 0, 0);
}

void ResetAbort() {
    g_abort = false;
    MSG m;
    PeekMessage(&m, reinterpret_cast<HWND>(static_cast<intptr_t>(-1)), WM_ZARNIP_ABORT,
                WM_ZARNIP_ABORT, PM_REMOVE);
}

bool IsAbortRequested() {
    if (g_abort) return true;
    // PM_NOYIELD looks at the queue without asking the display for its input.
    thread_local uint64_t lastInput = 0;
    thread_local bool anyInput = false;
    const uint64_t now = sys::GetTickCount64();
    UINT first = PM_NOREMOVE | PM_NOYIELD;
    if (!anyInput || now - lastInput >= kAbortInputIntervalMs || now < lastInput) {
        first = PM_NOREMOVE;
        lastInput = now;
        anyInput = true;
    }
    MSG m;
    if (PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_MOUSELAST, first) ||
        PeekMessage(&m, nullptr, WM_ZARNIP_ABORT, WM_ZARNIP_ABORT, PM_NOREMOVE | PM_NOYIELD)) {
        g_abort = true;
        return true;
    }
    if (PeekMessage(&m, nullptr, WM_KEYUP, WM_KEYUP, PM_NOREMOVE | PM_NOYIELD)) {
        g_abort = m.wParam == VK_ESCAPE;
        return g_abort;
    }
    return false;
}
