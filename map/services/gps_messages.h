// The private window messages of the GPS.
#pragma once

#include "platform/types.h"

// A port received a unit: wParam the unit, lParam the port object. The
// port's reader waits until the window acknowledges it.
constexpr UINT WM_GPS_DATA = 0x8064;
// A new position: wParam the GpsPosition record.
constexpr UINT WM_GPS_POSITION = 0x8104;
