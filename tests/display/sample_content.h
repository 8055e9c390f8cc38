// Sample content for a dialog's controls: a few items in lists, combo boxes,
// list and tree views, headers and tabs, and positions for bars. Used by the
// viewer and the display benchmark.
#pragma once

#include "platform/types.h"

namespace viewer {
// Column and header widths are 50 logical pixels at this scale.
void FillSampleContent(HWND dialog, int scale);
}  // namespace viewer
