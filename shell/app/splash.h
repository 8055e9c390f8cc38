// The splash window: the program's picture in a borderless pop-up, centred,
// for 3.5 seconds. At most one exists; none while splashes are off.
#pragma once

#include "platform/types.h"

// Shows the splash owned by the parent, unless splashes are off or one is
// already up.
void ShowSplashWindow(HWND parent);
void SetSplashEnabled(bool enabled);
bool IsSplashEnabled();
// The splash window while it is up, else null.
HWND GetSplashWindow();
