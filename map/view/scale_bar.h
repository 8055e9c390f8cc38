// The scale bar overlay: a black and white bar along the bottom of the
// window with the ground lengths of its half and whole, and the map scale
// "1:N" beside it, in its own font (Tahoma, 8 points).
#pragma once

#include "map/symbology/text_symbol.h"
#include "platform/gdi/gdi.h"

// A scale denominator as the "1:%u" texts show it (held to the unsigned
// range, 0 for none).
unsigned ShownScaleDenominator(double scale);

class ScaleBar {
public:
    ScaleBar();

    // The bar's rectangle in a client area (higher over a panning frame),
    // leaving room on its right for a "1:N" label `labelWidth` wide inside
    // the client area.
    static RECT Rect(const RECT& client, bool panFrame, int labelWidth = 0);
    // The width of the "1:N" label of a map scale in the bar's font.
    int LabelWidth(double mapScale);
    // Draws the bar in `bar`, its left half `halfMetres` long on the
    // ground, in the preferences' units; nothing when the half rounds to
    // no length.
    void Draw(HDC dc, RECT bar, double halfMetres, double mapScale, int units, COLORREF background);

private:
    CTextSymbol m_symbol;
};
