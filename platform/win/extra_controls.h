// The extra controls of the handheld's shell: TTBUTTON and TTSTATIC, a button
// and a static text with a tooltip given as "caption~~tooltip", and CAPEDIT,
// an edit control that capitalises the first letter typed, or the first
// letter of every word after message 0x401 with wParam 1.
#pragma once

#include "platform/win/window.h"

namespace win {
// Registers the three classes (once; they stay registered).
void RegisterExtraControls();
// The tooltip of a TTBUTTON or TTSTATIC; empty for others.
WString GetToolTipText(HWND hwnd);
}  // namespace win
