// Font sizes in tenths of a point on the screen, font records from a short
// description, and repainting without erasing.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/text/text.h"
#include "platform/types.h"

// -(tenths * vertical dpi) / 720, truncated toward zero; the screen's dpi is
// read once, on first use.
int PointsToFontHeight(int tenths);
// The same without the sign.
int PointsToPixels(int tenths);
// Forgets the screen dpi read before. For tests.
void ResetScreenDpiForTests();

// Font flags of FillLogFont.
constexpr DWORD kFontBold = 1;
constexpr DWORD kFontItalic = 2;
constexpr DWORD kFontUnderline = 4;
constexpr DWORD kFontStrikeOut = 8;

// Clears the record: default character set, the height of `tenths` points,
// the face (at most 31 characters and a terminator), escapement and
// orientation `angle` (tenths of a degree), and the flags above.
void FillLogFont(LOGFONT& font, int tenths, const WChar* faceName, int angle, DWORD flags);
HFONT CreateFontFromSpec(int tenths, const WChar* faceName, int angle, DWORD flags);

// Invalidates the whole client area without erasing the background.
void InvalidateNoErase(HWND window);
