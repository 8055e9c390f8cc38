#include "map/view/scale_bar.h"

#include <algorithm>
#include <cmath>

#include "core/text_helpers.h"
#include "core/window_helpers.h"
#include "crs/unit_text.h"
#include "platform/win/theme.h"

namespace {

int Px(int at96) {
    return win::theme::Scale(at96);
}

LOGFONT ScaleBarFont() {
    // The record's height is a pixel height (negative); the symbol keeps its
    // size in points, set exactly in the constructor.
    LOGFONT lf{};
    lf.lfHeight = PointsToFontHeight(80);
    const WChar face[] = u"Tahoma";
    for (size_t i = 0; i < sizeof face / sizeof face[0]; ++i) lf.lfFaceName[i] = face[i];
    return lf;
}

}  // namespace

unsigned ShownScaleDenominator(double scale) {
    return scale >= 4294967295.0 ? 4294967295u : scale > 0 ? static_cast<unsigned>(scale) : 0u;
}

ScaleBar::ScaleBar() : m_symbol(ScaleBarFont()) {
    m_symbol.m_size = 80;
}

RECT ScaleBar::Rect(const RECT& client, bool panFrame, int labelWidth) {
    int inset = Px(panFrame ? 11 : 4);
    RECT bar{client.left + Px(12), client.top + inset, client.right - Px(12),
             client.bottom - inset};
    bar.top = bar.bottom - Px(8);
    // Room on the right for the "1:N" text, ending inside the window: a
    // long one shortens the bar.
    bar.right = std::min(bar.right - Px(50), client.right - Px(4) - labelWidth - Px(2));
    bar.right = std::max(bar.right, bar.left + Px(8));
    return bar;
}

int ScaleBar::LabelWidth(double mapScale) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    m_symbol.SelectInto(dc);
    const WString t = text::Format(u"1:%u", ShownScaleDenominator(mapScale));
    SIZE size{0, 0};
    GetTextExtentPoint32(dc, t.c_str(), static_cast<int>(t.size()), &size);
    DeleteDC(dc);
    return size.cx;
}

void ScaleBar::Draw(HDC dc, RECT bar, double halfMetres, double mapScale, int units,
                    COLORREF background) {
    int quarter = bar.left + (bar.right - bar.left) / 4;
    int middle = bar.left + (bar.right - bar.left) / 2;
    int halfLine = bar.bottom - (bar.bottom - bar.top) / 2;
    double half = halfMetres;
    const WChar* unit = ScaleDistanceForDisplay(units, 9001, &half);
    half = RoundToDecimals(half, 2);
    if (half == 0 || !std::isfinite(half)) return;
    double whole = halfMetres * 2;
    const WChar* wholeUnit = ScaleDistanceForDisplay(units, 9001, &whole);
    whole = RoundToDecimals(whole, 2);

    int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Rectangle(dc, bar.left, bar.top, quarter, halfLine);
    Rectangle(dc, quarter, halfLine, middle, bar.bottom);
    Rectangle(dc, middle, bar.top, bar.right, halfLine);

    m_symbol.SelectInto(dc);
    SetBkColor(dc, background);
    SetBkMode(dc, OPAQUE);
    int height = bar.bottom - bar.top;
    OffsetRect(&bar, 0, -height);
    WString t = text::Format(u"0%s", unit);
    DrawText(dc, t.c_str(), -1, &bar, DT_LEFT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    t = text::Format(u"%.15g%s", half, unit);
    DrawText(dc, t.c_str(), -1, &bar, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    t = text::Format(u"%.15g%s", whole, wholeUnit);
    DrawText(dc, t.c_str(), -1, &bar, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    OffsetRect(&bar, bar.right - bar.left + Px(2), height);
    t = text::Format(u"1:%u", ShownScaleDenominator(mapScale));
    DrawText(dc, t.c_str(), -1, &bar, DT_LEFT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    RestoreDC(dc, saved);
}
