// The extra controls of the handheld's shell: TTBUTTON and TTSTATIC, a button
// and a static text with a tooltip given as "caption~~tooltip".
#pragma once

#include "platform/win/window.h"

namespace win {
// Registers the two classes (once; they stay registered).
void RegisterExtraControls();
// The tooltip of a TTBUTTON or TTSTATIC; empty for others.
WString GetToolTipText(HWND hwnd);
}  // namespace win
