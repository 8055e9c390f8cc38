// The private window messages of the map view: those it receives from the
// main window and the rest of the program, and the one it sends.
#pragma once

#include "platform/types.h"

// The notification icon's pen and tap events.
constexpr UINT WM_VIEW_TRAYNOTIFY = 0x8003;
// Refresh the view (wParam and lParam 0); posted by PostRefresh.
constexpr UINT WM_VIEW_REFRESH = 0x8004;
// Sent by the main window to the view after the options are applied
// (wParam and lParam 0).
constexpr UINT WM_VIEW_PREFSCHANGED = 0x8005;
// Sent by the view to the averaging listener on each fix.
constexpr UINT WM_AVERAGING_GPSFIX = 0x8006;
// Flash a shape: wParam the feature layer, lParam the record.
constexpr UINT WM_VIEW_FLASHSHAPE = 0x8008;
// Posted by the paint to fire the script's after-draw event.
constexpr UINT WM_VIEW_AFTERDRAW = 0x8009;
// Posted by the view to itself when a pen gesture ended: the GPS drawing
// held back during it is done.
constexpr UINT WM_VIEW_GPSCATCHUP = 0x8020;
// A modeless common dialog of the view was closed.
constexpr UINT WM_COMMONDIALOG_CLOSED = 0x800C;
