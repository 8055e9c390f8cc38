// The "Feature Action" menu (378) of the identify window and the Find
// dialog: Zoom to Feature, Center, Select and Hyperlink, shown at the centre
// of the button that opens it.
#pragma once

#include "platform/types.h"

// The command chosen (0: none). Select and Hyperlink are greyed unless
// allowed.
UINT TrackFeatureActionMenu(HWND owner, HWND button, bool canSelect, bool canOpenLink);

// The menu's pictures are drawn by the main frame, as the map view's are:
// the owner hands WM_MEASUREITEM and WM_DRAWITEM of menus (wParam 0) on.
// True (with the frame's answer) when the message was handed on.
bool ForwardMenuOwnerMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
