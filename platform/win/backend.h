// Internal seam between the window model and a display backend (the Qt
// display, later). Not for program code. The model tells the backend what
// changed; the backend never reaches into the model: it reports user input
// through win/input.h and answers message boxes, menus and common dialogs by
// installing their responders. Without a backend (the null backend) nothing is
// shown and tests drive the model directly.
#pragma once

#include <optional>

#include "platform/win/window.h"

namespace win {

enum class WindowChange {
    Shown,    // visibility changed
    Moved,    // position or size changed
    Enabled,  // enabled state changed
    Text,     // window text changed
    Style,    // style or extended style changed
    Focus,    // gained or lost the keyboard focus
    Content,  // control state changed (items, selection, check, ...)
};

enum class BackendCapability {
    Display,      // windows are shown to a person
    NativeInput,  // input arrives from a device
};

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    virtual void WindowCreated(HWND) {}
    virtual void WindowDestroyed(HWND) {}
    virtual void WindowChanged(HWND, WindowChange) {}
    // Present this part of a top-level window's surface (surface pixels, the
    // frame included; win::GetWindowSurface gives the bitmap). nullptr is
    // never passed: the screen DC's drawing arrives per window. Drawing
    // through a window DC outside painting comes at once; painting comes
    // before the queue is next looked at (before PumpNativeEvents).
    virtual void SurfaceDirty(HWND, const RECT&) {}
    // Called before the queue is looked at (PeekMessage, GetMessage): turn
    // pending native events into queued messages, without dispatching.
    virtual void PumpNativeEvents() {}
    // With NativeInput: an empty queue waits here (up to timeoutMs, or
    // without limit for UINT32_MAX) instead of on the queue's own
    // condition, so that device events can arrive. Wake, which any thread
    // may call, ends such a wait early: something was posted.
    virtual void WaitForEvents(uint32_t timeoutMs) { (void)timeoutMs; }
    virtual void Wake() {}
    virtual bool HasCapability(BackendCapability) const { return false; }
    // The caret of a window moved (client rectangle) or went away (nullptr):
    // an input method puts its candidates there.
    virtual void CaretChanged(HWND, const RECT*) {}
    // The cursor over the program's windows may have changed (SetCursor, the
    // wait cursor).
    virtual void CursorChanged() {}
    // The desktop's clipboard. A backend without one answers false and
    // nullopt; the model then keeps the clipboard in the process.
    // SetClipboardText(nullptr) empties it.
    virtual bool SetClipboardText(const WString*) { return false; }
    virtual std::optional<WString> ClipboardText() { return std::nullopt; }
};

// nullptr restores the null backend. The caller keeps ownership.
void SetDisplayBackend(DisplayBackend* backend);
DisplayBackend& GetDisplayBackend();

}  // namespace win
