// Internal to the window system: drawing and tracking of the non-client area
// (borders, caption and its buttons, window scroll bars).
#pragma once

#include "platform/win/look.h"
#include "platform/win/window.h"

namespace win::detail {

// Draws the frame of a window through its window DC.
void DrawNonClient(HWND hwnd);
// Where a screen point falls (HTCLIENT, HTCAPTION, HTCLOSE, HTCAPTIONOK,
// HTVSCROLL, HTHSCROLL, HTBORDER or HTNOWHERE), from geometry alone.
LRESULT NonClientHit(HWND hwnd, POINT screen);
// The pen went down on a non-client part: tracks it until the pen is lifted.
// False when the part does nothing.
bool NonClientButtonDown(HWND hwnd, LRESULT hit, POINT screen);
// Tracks the pen on a scroll bar: arrows and page areas repeat on a timer
// while held; the thumb sends SB_THUMBTRACK for each move, then
// SB_THUMBPOSITION and SB_ENDSCROLL. barRect and start are in the
// coordinates pen positions are measured in (window coordinates for SB_HORZ
// and SB_VERT, client coordinates for SB_CTL).
// mirrored: the bar is shown as its mirror image (a mirrored window's
// horizontal bar); the pen's x is mirrored about the bar.
void TrackScrollBar(HWND hwnd, int bar, RECT barRect, bool vertical, POINT start,
                    bool mirrored = false);
// The scroll-bar part shown pressed while a tracking loop runs.
look::ScrollPart PressedScrollPart(HWND hwnd);

}  // namespace win::detail
