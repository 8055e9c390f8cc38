// The clipboard: one per desktop, opened by one window at a time. Text is
// exchanged as CF_UNICODETEXT in memory blocks (LocalAlloc). With a display
// backend that has a desktop clipboard the text travels through it; without
// one the clipboard lives in the process.
#pragma once

#include "platform/sys/local_memory.h"
#include "platform/win/window.h"

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_UNICODETEXT = 13;

// False while another window (or this thread, twice) holds it open.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
// Needs the clipboard open: drops every format and makes the opener the owner.
bool EmptyClipboard();
// Needs the clipboard open. The clipboard takes the block over (the caller
// must not free it) and returns it; nullptr on failure, when the caller
// keeps it. A CF_UNICODETEXT block is read up to its first NUL or its end.
HLOCAL SetClipboardData(UINT format, HLOCAL mem);
// Needs the clipboard open. The block stays the clipboard's; nullptr when the
// format is not there.
HLOCAL GetClipboardData(UINT format);
bool IsClipboardFormatAvailable(UINT format);
HWND GetClipboardOwner();

namespace win {
// The clipboard's text, or empty; and a shortcut that opens, empties, sets
// and closes (false when the clipboard is held open elsewhere).
WString ClipboardText();
bool PutClipboardText(WStringView text);
}  // namespace win

namespace win::detail {
void ResetClipboard();
}
