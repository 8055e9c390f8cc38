// The colours a control is drawn with: the parent answers WM_CTLCOLOR...
// by setting the text and background colours of the device context and
// returning a brush for the background. A display backend asks this before
// presenting a control; tests ask it to check a dialog's colouring.
#pragma once

#include "platform/win/window.h"

namespace win {

struct ControlColors {
    COLORREF text = 0;
    COLORREF background = 0;
    HBRUSH brush = nullptr;  // nullptr: the parent left the default
    bool fromParent = false;
    // The brush to fill the background with: the parent's, else the
    // system colour's.
    HBRUSH Background() const;
};

// Sends the message that fits the control's class (EDIT, STATIC, BUTTON,
// LISTBOX, SCROLLBAR; a read-only or disabled edit asks as STATIC).
ControlColors QueryControlColors(HWND control);
// The same, asked with the paint DC while painting: the DC keeps the text
// and background colours the parent set.
ControlColors QueryControlColors(HWND control, HDC paintDc);

}  // namespace win
