#include "core/stylus.h"

#include "platform/win/winconst.h"

namespace {
POINT g_lastStylusPoint{0, 0};
}  // namespace

POINT GetLastStylusPoint() { return g_lastStylusPoint; }

void SetLastStylusPoint(POINT point) { g_lastStylusPoint = point; }

bool IsStylusPointMessage(UINT message) {
    switch (message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            return true;
        default:
            return false;
    }
}
