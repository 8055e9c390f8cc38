// Internal to the common controls: the in-place label editor of the list
// and tree views. Not for program code.
//
// An edit control over an item's label, a child of the control. Enter ends
// the edit keeping the text, and so does the edit losing the focus; Escape
// ends it without. In a dialog it asks for every key, so Enter and Escape
// reach it rather than the dialog's buttons. However many ways ask at once
// (a key whose notification moves the focus, an owner that starts another
// edit from its end notification), an edit ends once.
#pragma once

#include <functional>

#include "platform/win/window.h"

namespace win::detail {

// Called once when the edit ends, while the edit control still exists:
// `text` is what was typed, or null when the edit was cancelled. The control
// sends its end notification there and takes the text; the owner may destroy
// the control meanwhile.
using LabelEditEnd = std::function<void(HWND control, const WString* text)>;

// Puts the editor over `r` (the control's client coordinates) with `text`
// selected, the control's font and the focus; `style` is added to
// WS_CHILD | WS_VISIBLE | WS_BORDER. Null while an edit of the control is
// ending; the caller ends an edit in progress first.
HWND BeginLabelEdit(HWND control, const WString& text, const RECT& r, DWORD style, int id,
                    LabelEditEnd end);
// Ends the control's edit, if one is open and not already ending.
void EndLabelEdit(HWND control, bool cancel);
// The control's edit control while an edit is open, else null.
HWND LabelEditOf(HWND control);
// The control is going: its edit is dropped without an end notification.
void ForgetLabelEdit(HWND control);

}  // namespace win::detail
