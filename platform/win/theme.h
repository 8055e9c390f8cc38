// The classic look: system colour numbers and brushes (the table itself is
// the graphics module's, gdi::SystemColour), and the sizes of the parts
// every control draws (scaled with the screen's LOGPIXELSY / 96).
// Every colour and metric the drawing code uses comes from here.
#pragma once

#include "platform/types.h"
#include "platform/win/winconst.h"

constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_STATIC = 25;
constexpr int COLOR_STATICTEXT = 26;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int kSysColorCount = 27;

// A solid brush of a system colour, owned by the system (never deleted).
HBRUSH GetSysColorBrush(int index);

namespace win::theme {

// A size given at 96 dots per inch, at the screen's LOGPIXELSY.
int Scale(int at96);
// Drops the cached brushes (tests).
void ResetForTests();

}  // namespace win::theme
