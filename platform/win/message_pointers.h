// Which messages carry a pointer in wParam or lParam. A caller that takes
// message numbers and parameters as plain numbers (a script) must not send
// these: the receiver would read the number as an address.
#pragma once

#include "platform/types.h"

namespace win {

// True when the receiver of the message reads wParam or lParam as a pointer:
// the text and structure messages of every window and of the basic controls,
// every message from WM_USER up to the common controls (their messages pass
// structures) and to windows of the program's own classes (private
// messages carry pointers there).
bool MessageCarriesPointer(HWND target, UINT msg);

}  // namespace win
