#include "map/view/map_tracker.h"
#include "platform/gdi/owned.h"

#include <algorithm>
#include <cmath>

void CMapTracker::SetTransform(const RECT& client, const CDoubleRect& extent) {
    int w = client.right - client.left;
    int h = client.bottom - client.top;
    double ew = extent.xmax - extent.xmin;
    double eh = extent.ymax - extent.ymin;
    if (w <= 0 || h <= 0 || !(ew > 0) || !(eh > 0) || !std::isfinite(ew) || !std::isfinite(eh))
        return;
    m_client = client;
    m_extent = extent;
    m_scale = std::min(w / ew, h / eh);
}

void CMapTracker::ScreenToMap(int px, int py, double& x, double& y) const {
    x = (px - m_client.left) / m_scale + m_extent.xmin;
    y = (m_client.bottom - py) / m_scale + m_extent.ymin;
}

void CMapTracker::SetReadout(HWND statusBar, int distancePane, int coordPane, int decimals,
                             bool coords, int format) {
    m_statusBar = statusBar;
    m_distancePane = distancePane;
    m_coordPane = coordPane;
    m_decimals = decimals;
    m_showCoords = coords;
    m_coordFormat = format;
}

void CMapTracker::NormalizeRect() {
    if (m_rect.left > m_rect.right) std::swap(m_rect.left, m_rect.right);
    if (m_rect.top > m_rect.bottom) std::swap(m_rect.top, m_rect.bottom);
}

void CMapTracker::Draw(HDC dc) const {
    int saved = SaveDC(dc);
    RECT r = m_rect;
    if (m_style & (kDottedLine | kSolidLine)) {
        gdi::OwnedPen pen(CreatePen((m_style & kDottedLine) ? PS_DOT : PS_SOLID, 1, 0x000000));
        SelectObject(dc, pen.get());
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, 0xFFFFFF);
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        RestoreDC(dc, saved);
        pen.reset();
        saved = SaveDC(dc);
    }
    if (m_handleMask && (m_style & (kResizeInside | kResizeOutside))) {
        int s = m_handleSize;
        bool outside = (m_style & kResizeOutside) != 0;
        int cx = r.left + (r.right - r.left - s) / 2;
        int cy = r.top + (r.bottom - r.top - s) / 2;
        int left = outside ? r.left - s : r.left;
        int right = outside ? r.right : r.right - s;
        int top = outside ? r.top - s : r.top;
        int bottom = outside ? r.bottom : r.bottom - s;
        // Corners (bits 0-3: top-left, top-right, bottom-right, bottom-left),
        // then sides (4-7: top, right, bottom, left).
        const POINT at[8] = {{left, top},  {right, top}, {right, bottom}, {left, bottom},
                             {cx, top},    {right, cy},  {cx, bottom},    {left, cy}};
        HBRUSH black = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        for (int i = 0; i < 8; ++i) {
            if (!(m_handleMask & (1u << i))) continue;
            RECT h{at[i].x, at[i].y, at[i].x + s, at[i].y + s};
            FillRect(dc, &h, black);
        }
    }
    RestoreDC(dc, saved);
}
