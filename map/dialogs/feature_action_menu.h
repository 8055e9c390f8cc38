// The "Feature Action" menu (378) of the identify window and the Find
// dialog: Zoom to Feature, Center, Select and Hyperlink, shown at the centre
// of the button that opens it.
#pragma once

#include "platform/types.h"

// The command chosen (0: none). Select and Hyperlink are greyed unless
// allowed.
UINT TrackFeatureActionMenu(HWND owner, HWND button, bool canSelect, bool canOpenLink);
