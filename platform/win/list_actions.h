// What a user does with list and combo boxes that has no single message:
// picking an entry from a drop-down, clicking a list entry. Backends and tests
// call these; the controls then notify their parents as for a real user.
#pragma once

#include <vector>

#include "platform/win/window.h"

namespace win {

// Drop-down opened (if closed), entry chosen, closed: CBN_DROPDOWN,
// CBN_SELCHANGE (when it changed), CBN_SELENDOK, CBN_CLOSEUP.
void ComboUserSelect(HWND combo, int index);
// A click on the entry: focus, selection, LBN_SELCHANGE with LBS_NOTIFY.
void ListBoxUserSelect(HWND list, int index);
// The user works a scroll bar control: its parent gets WM_HSCROLL or
// WM_VSCROLL with the code (SB_LINELEFT ... SB_ENDSCROLL) and, for the thumb
// codes, the position. The bar does not move by itself: its owner sets it.
void ScrollBarUserAction(HWND bar, WORD code, int thumbPos = 0);
// The tab stops set by LB_SETTABSTOPS (dialog units / 4).
std::vector<int> ListBoxTabStops(HWND list);

}  // namespace win
