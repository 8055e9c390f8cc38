// Drawing pieces of the classic look, shared by the frame, the controls, the
// menus and the dialogs: 3-D frames, check and radio marks, arrow glyphs,
// scroll bars, embossed disabled text. Colours come from the system colour
// table, sizes from the theme.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/win/theme.h"
#include "platform/win/window.h"

namespace win::look {

// The font a control draws with: the one it was given (WM_SETFONT), else
// the system font.
HFONT ControlFont(HWND hwnd);

// A button face: raised, or sunk while pressed; the default button gets an
// extra black frame. Fills the face and returns the inside.
RECT PushButtonFrame(HDC dc, RECT r, bool pressed, bool isDefault);
// Text in a rectangle with DrawText flags; disabled text is embossed: white
// one pixel down and right, then grey.
void Label(HDC dc, const WString& text, RECT r, UINT format, bool enabled, COLORREF colour);
// Right-to-left reading (WS_EX_RTLREADING): text starts at the right edge,
// unless the window is mirrored (WS_EX_LAYOUTRTL), where its left already
// is the right.
bool StartsAtRight(HWND hwnd);
// DT_RTLREADING for a window that reads right to left (the reading bit, or
// a mirrored layout), else 0.
UINT ReadingOrder(HWND hwnd);
// A focus rectangle (dotted, inverting).
void Focus(HDC dc, RECT r);

// Check box square (state 0 clear, 1 checked, 2 indeterminate) and radio
// circle, sunk, white inside unless disabled or pressed.
void CheckBox(HDC dc, RECT box, int state, bool enabled, bool pressed);
void RadioButton(HDC dc, RECT box, bool checked, bool enabled, bool pressed);
int CheckSize();  // the side of a check box or radio circle

enum class Arrow { Up, Down, Left, Right };
// A filled triangle centred in r.
void ArrowGlyph(HDC dc, RECT r, Arrow dir, bool enabled);
// A small square button with an arrow (scroll bars, up-down, combo boxes).
void ArrowButton(HDC dc, RECT r, Arrow dir, bool pressed, bool enabled);

// ---- scroll bars ----
enum class ScrollPart { None, LineUp, PageUp, Thumb, PageDown, LineDown };
struct ScrollLayout {
    RECT lineUp{}, lineDown{}, track{}, thumb{};
    bool thumbShown = false;
};
struct ScrollState {
    int min = 0, max = 100, page = 0, pos = 0;
};
ScrollLayout LayoutScrollBar(RECT r, bool vertical, const ScrollState& s);
ScrollPart HitScrollBar(const ScrollLayout& l, bool vertical, POINT p);
// The position a thumb dragged to thumbStart (its top or left pixel) stands for.
int ScrollPosAt(const ScrollLayout& l, bool vertical, const ScrollState& s, int thumbStart);
void DrawScrollBar(HDC dc, RECT r, bool vertical, const ScrollState& s, ScrollPart pressed,
                   bool enabled);

// Fills with a system colour.
void FillSys(HDC dc, const RECT& r, int colourIndex);

}  // namespace win::look
