// The last stylus point: where the pen last went down, moved or
// double-tapped, in screen coordinates. The application's message filter
// writes it (button-ups are not recorded, so after a tap it still holds the
// tap's position); the command bars read it to tell a tap on a drop-down
// arrow from one on the button's body.
#pragma once

#include "platform/types.h"

POINT GetLastStylusPoint();
void SetLastStylusPoint(POINT point);
// Whether the message is one whose point becomes the last stylus point
// (pointer move, left down, left double tap, right down, right double tap).
bool IsStylusPointMessage(UINT message);
