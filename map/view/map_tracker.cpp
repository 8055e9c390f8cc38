#include "map/view/map_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"
#include "crs/unit_text.h"
#include "map/services/preferences.h"
#include "platform/gdi/owned.h"
#include "platform/win/commctrl.h"
#include "platform/win/theme.h"
#include "platform/win/window.h"

namespace {

constexpr UINT kVkEscape = 0x1B;

// Pen positions arrive as signed 16-bit client coordinates (negative
// outside the window).
POINT PenPoint(LPARAM lParam) {
    return POINT{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT Normalized(RECT r) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return r;
}

// The coordinates of the rectangle a handle moves: x and y (null when the
// handle does not move them). The middle moves the top-left corner.
void ModifiedSides(RECT& r, int handle, LONG*& x, LONG*& y) {
    x = y = nullptr;
    switch (handle) {
        case CMapTracker::kHitTopLeft: x = &r.left, y = &r.top; break;
        case CMapTracker::kHitTopRight: x = &r.right, y = &r.top; break;
        case CMapTracker::kHitBottomRight: x = &r.right, y = &r.bottom; break;
        case CMapTracker::kHitBottomLeft: x = &r.left, y = &r.bottom; break;
        case CMapTracker::kHitTop: y = &r.top; break;
        case CMapTracker::kHitRight: x = &r.right; break;
        case CMapTracker::kHitBottom: y = &r.bottom; break;
        case CMapTracker::kHitLeft: x = &r.left; break;
        case CMapTracker::kHitMiddle: x = &r.left, y = &r.top; break;
        default: break;
    }
}

// Whole degrees, minutes and truncated seconds of a value's magnitude.
void SplitDms(double v, int& d, int& m, int& s) {
    v = std::fabs(v);
    d = static_cast<int>(v);
    double minutes = (v - d) * 60.0;
    m = static_cast<int>(minutes);
    s = static_cast<int>((minutes - m) * 60.0);
}

}  // namespace

// The window DC the band is drawn on, for the length of one gesture.
struct CMapTracker::Loop {
    Loop(HWND view, HWND clip) : target(clip ? clip : view), dc(GetDC(target)) {}
    ~Loop() { ReleaseDC(target, dc); }
    HWND target;
    HDC dc;
};

CMapTracker::CMapTracker() = default;
CMapTracker::~CMapTracker() = default;

// ---- transform and read-out ----

void CMapTracker::SetTransform(const RECT& client, const CDoubleRect& extent) {
    int w = client.right - client.left;
    int h = client.bottom - client.top;
    double ew = extent.xmax - extent.xmin;
    double eh = extent.ymax - extent.ymin;
    if (w <= 0 || h <= 0 || !(ew > 0) || !(eh > 0) || !std::isfinite(ew) || !std::isfinite(eh))
        return;
    double xs = w / ew, ys = h / eh;
    if (!std::isfinite(xs) || !std::isfinite(ys) || !(xs > 0) || !(ys > 0)) return;
    m_client = RECT{0, 0, w, h};
    m_extent = extent;
    m_xScale = xs;
    m_yScale = ys;
}

void CMapTracker::ScreenToMap(int px, int py, double& x, double& y) const {
    x = px / m_xScale + m_extent.xmin;
    y = (m_client.bottom - static_cast<double>(py)) / m_yScale + m_extent.ymin;
}

void CMapTracker::SetCoordSys(CCoordSys* cs) {
    m_coordSys = cs;
    m_unitAbbreviation.clear();
    if (cs) {
        if (const WChar* a = GetUnitAbbreviation(cs->m_projectionUnitCode)) m_unitAbbreviation = a;
    }
    // The zone projection is made again, on the map's datum, at the next
    // UTM read-out.
    m_utm.m_utmZone = 0;
}

void CMapTracker::SetReadout(HWND statusBar, int distancePane, int coordPane, int decimals,
                             bool coords, int format) {
    SetReadoutTargets(statusBar, distancePane, coordPane);
    m_decimals = decimals;
    m_showCoords = coords;
    m_coordFormat = format;
}

void CMapTracker::SetReadoutTargets(HWND statusBar, int distancePane, int coordPane) {
    m_statusBar = statusBar;
    m_distancePane = distancePane;
    m_coordPane = coordPane;
}

WString CMapTracker::DistanceText(double sx, double sy, double x, double y) const {
    if (!m_coordSys) return WString();
    double azimuth = 0;
    double d = MeasureDistanceXY(m_coordSys, sx, sy, x, y, &azimuth);
    if (m_coordSys->m_projectionCode != crs_code::kGeographic)
        d *= m_coordSys->m_projectionUnitFactor;
    if (!std::isfinite(azimuth)) azimuth = 0;
    const WChar* unit = ScaleDistanceForDisplay(GetPreferences()->Data().display.units, 9001, &d);
    return text::Format(u"%3.0f\u00B0 %.1f%s", azimuth, d, unit);
}

WString CMapTracker::CoordinateText(double x, double y) {
    CCoordSys* cs = m_coordSys;
    bool geographic = cs && cs->m_projectionCode == crs_code::kGeographic;
    int format = m_coordFormat;
    if (format == 0) format = geographic ? 2 : 1;
    if (format == 1) {
        return text::Format(u"%.*f %.*f %s", m_decimals, x, m_decimals, y, m_unitAbbreviation.c_str());
    }
    if (!cs || cs->m_projectionCode == 0) return WString();
    double lon = x, lat = y;
    if (!geographic) cs->ProjectedToGeographic(x, y, &lon, &lat);
    if (!std::isfinite(lon) || !std::isfinite(lat)) return WString();
    WChar ns = lat < 0 ? u'S' : u'N';
    WChar ew = lon < 0 ? u'W' : u'E';
    switch (format) {
        case 2: {
            int d1, m1, s1, d2, m2, s2;
            SplitDms(lat, d1, m1, s1);
            SplitDms(lon, d2, m2, s2);
            return text::Format(u"%d\u00B0%d'%d\"%c %d\u00B0%d'%d\"%c", d1, m1, s1, ns, d2, m2, s2, ew);
        }
        case 3: {
            double alat = std::fabs(lat), alon = std::fabs(lon);
            int d1 = static_cast<int>(alat), d2 = static_cast<int>(alon);
            return text::Format(u"%3d\u00B0%7.4f'%c %3d\u00B0%7.4f'%c", d1, (alat - d1) * 60.0, ns, d2,
                          (alon - d2) * 60.0, ew);
        }
        case 4: {
            int zone = UtmZoneFromLongitude(lon, lat);
            if (zone != m_utm.m_utmZone) {
                m_utm.SetUtmZone(zone);
                m_utm.SetDatum(cs->m_datum);
            }
            double e = 0, n = 0;
            m_utm.GeographicToProjected(lon, lat, &e, &n);
            if (!std::isfinite(e) || !std::isfinite(n)) return WString();
            return text::Format(u"%d %d %d%c", static_cast<int>(e), static_cast<int>(n), std::abs(zone),
                          zone >= 1 ? u'N' : u'S');
        }
        case 5:
            return m_mgrs.Format(lon, lat, cs->m_datum);
        default:
            return WString();
    }
}

void CMapTracker::Redraw(const RECT* rect, HWND clip, HDC dc, HWND view) {
    // The band only: a read-out written here would repaint the status bar,
    // whose paint comes back through the loop and would draw again.
    m_quiet = true;
    DrawTrackerRect(rect, clip, dc, view);
    m_quiet = false;
}

void CMapTracker::UpdateReadout(const POINT* point) {
    if (!m_statusBar || m_coordFormat < 0 || m_quiet) return;
    POINT p = point ? *point : m_endPoint;
    double x, y;
    ScreenToMap(p.x, p.y, x, y);
    if (!point && (m_rubberBandStyle == kBandLine || m_rubberBandStyle == kBandSegment ||
                   m_rubberBandStyle == kBandTwoSegments || m_rubberBandStyle == kBandCircle)) {
        double sx, sy;
        ScreenToMap(m_startPoint.x, m_startPoint.y, sx, sy);
        WString text = DistanceText(sx, sy, x, y);
        SendMessage(m_statusBar, SB_SETTEXT, static_cast<WPARAM>(m_distancePane),
                    reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (m_showCoords) {
        WString text = CoordinateText(x, y);
        SendMessage(m_statusBar, SB_SETTEXT, static_cast<WPARAM>(m_coordPane),
                    reinterpret_cast<LPARAM>(text.c_str()));
    }
}

// ---- the selection box ----

UINT CMapTracker::GetHandleMask() const {
    if (m_handleMask != kRuleHandles) return m_handleMask;
    UINT mask = 0x0F;
    int size = GetHandleSize() * 3;
    if (std::abs(m_rect.right - m_rect.left) - size > 4) mask |= 0x50;
    if (std::abs(m_rect.bottom - m_rect.top) - size > 4) mask |= 0xA0;
    return mask;
}

void CMapTracker::NormalizeRect() {
    m_rect = Normalized(m_rect);
}

namespace {

// The handles' squares of a normalised rectangle, in mask-bit order.
void HandleRects(const RECT& r, int s, bool outside, RECT out[8]) {
    int cx = r.left + (r.right - r.left - s) / 2;
    int cy = r.top + (r.bottom - r.top - s) / 2;
    int left = outside ? r.left - s : r.left;
    int right = outside ? r.right : r.right - s;
    int top = outside ? r.top - s : r.top;
    int bottom = outside ? r.bottom : r.bottom - s;
    const POINT at[8] = {{left, top}, {right, top}, {right, bottom}, {left, bottom},
                         {cx, top},   {right, cy},  {cx, bottom},    {left, cy}};
    for (int i = 0; i < 8; ++i) out[i] = RECT{at[i].x, at[i].y, at[i].x + s, at[i].y + s};
}

}  // namespace

void CMapTracker::Draw(HDC dc) const {
    int saved = SaveDC(dc);
    RECT r = m_rect;
    if (m_rubberBandStyle == kBandFocusRects) {
        // A point's box: three focus rectangles.
        RECT n = Normalized(r);
        for (int grow = 0; grow <= 2; ++grow) {
            RECT g = n;
            InflateRect(&g, grow, grow);
            DrawFocusRect(dc, &g);
        }
        RestoreDC(dc, saved);
        return;
    }
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
    UINT mask = GetHandleMask();
    if (mask && (m_style & (kResizeInside | kResizeOutside))) {
        RECT handles[8];
        HandleRects(r, GetHandleSize(), (m_style & kResizeOutside) != 0, handles);
        HBRUSH black = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        for (int i = 0; i < 8; ++i)
            if (mask & (1u << i)) FillRect(dc, &handles[i], black);
    }
    RestoreDC(dc, saved);
}

int CMapTracker::HitTest(POINT p) const {
    RECT r = Normalized(m_rect);
    UINT mask = (m_style & (kResizeInside | kResizeOutside)) ? GetHandleMask() : 0;
    if (mask) {
        RECT handles[8];
        HandleRects(r, GetHandleSize(), (m_style & kResizeOutside) != 0, handles);
        // The handles of the rectangle as it is, whatever its orientation:
        // a handle's hit names the side it moves.
        for (int i = 0; i < 8; ++i)
            if ((mask & (1u << i)) && PtInRect(&handles[i], p)) {
                int hit = i;
                bool flipX = m_rect.left > m_rect.right, flipY = m_rect.top > m_rect.bottom;
                static const int swapX[8] = {1, 0, 3, 2, 4, 7, 6, 5};
                static const int swapY[8] = {3, 2, 1, 0, 6, 5, 4, 7};
                if (flipX) hit = swapX[hit];
                if (flipY) hit = swapY[hit];
                return hit;
            }
    }
    return PtInRect(&r, p) ? kHitMiddle : kHitNothing;
}

// ---- modal tracking ----

void CMapTracker::AdjustRect(int handle, RECT* rect) {
    // Lines, circles and ellipses run from their anchor to the pen exactly;
    // only a rectangle keeps its least size.
    if (handle == kHitMiddle || !rect ||
        (m_rubberBandStyle != kBandRectangle && m_rubberBandStyle != kBandFocusRects))
        return;
    LONG *x, *y;
    ModifiedSides(*rect, handle, x, y);
    int min = win::theme::Scale(kMinSize);
    auto enforce = [&](LONG* side, LONG* low, LONG* high) {
        LONG* other = side == low ? high : low;
        LONG extent = *high - *low;
        LONG absExtent = m_allowInvert ? std::abs(extent) : extent;
        if (absExtent >= min) return;
        // Keep the direction the pen dragged in; a zero extent grows right
        // or down.
        LONG sign = (absExtent != 0 && extent < 0) ? -1 : 1;
        if (side == high)
            *side = *other + sign * min;
        else
            *side = *other - sign * min;
    };
    if (x) enforce(x, &rect->left, &rect->right);
    if (y) enforce(y, &rect->top, &rect->bottom);
}

CMapTracker::TrackEnd CMapTracker::RunHandleLoop(int handle, HWND view, POINT p, HWND clip,
                                                 bool showAtOnce, bool& moved) {
    moved = false;
    m_downPoint = m_upPoint = p;
    if (GetCapture() != nullptr || !IsWindow(view)) return m_end = TrackEnd::Refused;
    const int width = m_rect.right - m_rect.left, height = m_rect.bottom - m_rect.top;
    SetCapture(view);
    UpdateWindow(view);
    if (clip) UpdateWindow(clip);
    LONG *px, *py;
    ModifiedSides(m_rect, handle, px, py);
    const int offX = px ? p.x - *px : 0, offY = py ? p.y - *py : 0;
    Loop loop(view, clip);
    bool drawn = false;
    if (showAtOnce) {
        DrawTrackerRect(&m_rect, clip, loop.dc, view);
        drawn = true;
    }
    TrackEnd end = TrackEnd::CaptureLost;
    MSG m;
    for (;;) {
        if (!GetMessage(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (!IsWindow(view) || GetCapture() != view) break;
        bool cancel = m.message == WM_RBUTTONDOWN ||
                      (m.message == WM_KEYDOWN && m.wParam == kVkEscape);
        if (m.message == WM_MOUSEMOVE || m.message == WM_LBUTTONUP) {
            POINT at = PenPoint(m.lParam);
            RECT old = m_rect;
            if (px) *px = at.x - offX;
            if (py) *py = at.y - offY;
            if (handle == kHitMiddle) {
                m_rect.right = m_rect.left + width;
                m_rect.bottom = m_rect.top + height;
            }
            AdjustRect(handle, &m_rect);
            bool up = m.message == WM_LBUTTONUP;
            bool changed = !SameRect(old, m_rect);
            if (changed || up) {
                if (drawn) DrawTrackerRect(&old, clip, loop.dc, view);
                drawn = false;
                OnChangedRect(old);
                if (!up) moved = true;
            }
            if (up) {
                m_upPoint = at;
                end = TrackEnd::PenUp;
                break;
            }
            if (changed) {
                DrawTrackerRect(&m_rect, clip, loop.dc, view);
                drawn = true;
            }
            continue;
        }
        if (cancel) {
            if (drawn) DrawTrackerRect(&m_rect, clip, loop.dc, view);
            drawn = false;
            end = TrackEnd::Cancelled;
            break;
        }
        // Anything else runs as usual. It may paint the view: the band is
        // taken away first and shown again after, so that XOR stays exact.
        if (drawn) Redraw(&m_rect, clip, loop.dc, view);
        DispatchMessage(&m);
        if (!IsWindow(view) || GetCapture() != view) {
            drawn = false;
            break;
        }
        if (drawn) Redraw(&m_rect, clip, loop.dc, view);
    }
    if (end == TrackEnd::CaptureLost && IsWindow(view)) {
        // The window that took the pen ran in between: the band on the
        // surface is not ours to erase any more. Paint the view afresh.
        InvalidateRect(view, nullptr, false);
        if (clip) InvalidateRect(clip, nullptr, false);
    }
    if (IsWindow(view) && GetCapture() == view) ReleaseCapture();
    SetEndFromRect(m_rect);
    return m_end = end;
}

bool CMapTracker::Track(HWND view, POINT p, bool allowInvert, HWND clip) {
    int hit = HitTest(p);
    if (hit == kHitNothing) return false;
    m_allowInvert = allowInvert;
    RECT saved = m_rect;
    bool moved = false;
    TrackEnd end = RunHandleLoop(hit, view, p, clip, false, moved);
    if (end != TrackEnd::PenUp || !moved) m_rect = saved;
    return !SameRect(saved, m_rect);
}

bool CMapTracker::TrackRubberBand(HWND view, POINT p, bool allowInvert) {
    if (GetCapture() != nullptr) {
        m_downPoint = m_upPoint = p;
        m_end = TrackEnd::Refused;
        return false;
    }
    m_allowInvert = allowInvert;
    m_rect = RECT{p.x, p.y, p.x, p.y};
    RECT saved = m_rect;
    bool moved = false;
    TrackEnd end = RunHandleLoop(kHitBottomRight, view, p, nullptr, false, moved);
    if (end != TrackEnd::PenUp || !moved) m_rect = saved;
    return !SameRect(saved, m_rect);
}

bool CMapTracker::TrackWithStyle(HWND view, int x, int y, bool allowInvert, int style) {
    m_rubberBandStyle = style;
    m_startPoint = m_endPoint = POINT{x, y};
    bool tracked = TrackRubberBand(view, POINT{x, y}, allowInvert);
    m_rubberBandStyle = kBandRectangle;
    return tracked;
}

bool CMapTracker::TrackLine(HWND view, int x, int y, bool allowInvert, POINT from,
                            const POINT* third) {
    m_rubberBandStyle = third ? kBandTwoSegments : kBandSegment;
    if (third) m_thirdPoint = *third;
    m_startPoint = from;
    m_endPoint = POINT{x, y};
    m_allowInvert = allowInvert;
    m_rect = RECT{from.x, from.y, x, y};
    RECT saved = m_rect;
    TrackHandle(kHitBottomRight, view, x, y, nullptr);
    m_rubberBandStyle = kBandRectangle;
    return m_end == TrackEnd::PenUp && !SameRect(saved, m_rect);
}

bool CMapTracker::TrackHandle(int handle, HWND view, int x, int y, HWND clip) {
    RECT saved = m_rect;
    bool moved = false;
    TrackEnd end = RunHandleLoop(handle, view, POINT{x, y}, clip, true, moved);
    if (end == TrackEnd::Refused) return false;
    if (end != TrackEnd::PenUp) m_rect = saved;
    return true;
}

bool CMapTracker::TrackFreehand(HWND view, int x, int y, bool polygon) {
    m_downPoint = m_upPoint = POINT{x, y};
    if (GetCapture() != nullptr || !IsWindow(view)) {
        m_end = TrackEnd::Refused;
        return false;
    }
    SetCapture(view);
    UpdateWindow(view);
    m_rubberBandStyle = polygon ? kBandFreehandPolygon : kBandFreehandLine;
    m_startPoint = m_endPoint = POINT{x, y};
    m_rect = RECT{x, y, x, y};
    const RECT saved = m_rect;
    m_pointCount = 0;
    if (!m_points) m_points = std::make_unique<POINT[]>(kMaxFreehandPoints);
    Loop loop(view, nullptr);
    bool drawn = false;
    bool everDrawn = false;
    TrackEnd end = TrackEnd::CaptureLost;
    MSG m;
    for (;;) {
        if (!GetMessage(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (!IsWindow(view) || GetCapture() != view) break;
        if (m.message == WM_MOUSEMOVE || m.message == WM_LBUTTONUP) {
            POINT at = PenPoint(m.lParam);
            bool up = m.message == WM_LBUTTONUP;
            bool fresh = m_pointCount == 0 || at.x != m_points[m_pointCount - 1].x ||
                         at.y != m_points[m_pointCount - 1].y;
            // The list is full: this point ends the gesture.
            if (fresh && m_pointCount >= kFreehandStop) up = true;
            RECT old = m_rect;
            m_rect.left = std::min(m_rect.left, at.x);
            m_rect.top = std::min(m_rect.top, at.y);
            m_rect.right = std::max(m_rect.right, at.x);
            m_rect.bottom = std::max(m_rect.bottom, at.y);
            bool changed = !SameRect(old, m_rect);
            if (changed || up || fresh) {
                if (drawn) DrawTrackerRect(&old, nullptr, loop.dc, view);
                drawn = false;
                OnChangedRect(old);
            }
            if (up) {
                m_upPoint = at;
                end = TrackEnd::PenUp;
                break;
            }
            if (fresh) m_points[m_pointCount++] = at;
            if (!changed && !fresh) continue;
            m_endPoint = at;
            DrawTrackerRect(&m_rect, nullptr, loop.dc, view);
            drawn = everDrawn = true;
            continue;
        }
        if (m.message == WM_RBUTTONDOWN || (m.message == WM_KEYDOWN && m.wParam == kVkEscape)) {
            if (drawn) DrawTrackerRect(&m_rect, nullptr, loop.dc, view);
            drawn = false;
            m_rect = saved;
            end = TrackEnd::Cancelled;
            break;
        }
        if (drawn) Redraw(&m_rect, nullptr, loop.dc, view);
        DispatchMessage(&m);
        if (!IsWindow(view) || GetCapture() != view) {
            drawn = false;
            break;
        }
        if (drawn) Redraw(&m_rect, nullptr, loop.dc, view);
    }
    if (end == TrackEnd::CaptureLost) {
        m_rect = saved;
        if (IsWindow(view)) InvalidateRect(view, nullptr, false);
    }
    if (IsWindow(view) && GetCapture() == view) ReleaseCapture();
    m_end = end;
    if (!everDrawn) m_rect = saved;
    m_rubberBandStyle = kBandRectangle;
    if (polygon && end == TrackEnd::PenUp) OrientFreehandPolygon();
    return end == TrackEnd::PenUp && !SameRect(saved, m_rect);
}

void CMapTracker::OrientFreehandPolygon() {
    int n = m_pointCount;
    if (n <= 2) return;
    // Twice the signed area in pixels (y down), the ring closed from the
    // last point to the first: positive runs anticlockwise on the map.
    double s = 0;
    for (int i = 0; i < n; ++i) {
        const POINT& a = m_points[(i + n - 1) % n];
        const POINT& b = m_points[i];
        s += static_cast<double>(b.x - a.x) * static_cast<double>(a.y + b.y);
    }
    if (s > 0) std::reverse(m_points.get(), m_points.get() + n);
}

// ---- drawing the band ----

void CMapTracker::SetEndFromRect(const RECT& r) {
    m_endPoint.x = r.left != m_startPoint.x ? r.left : r.right;
    m_endPoint.y = r.top != m_startPoint.y ? r.top : r.bottom;
}

void CMapTracker::DrawCrosshairAt(HDC dc, HWND view, POINT p) {
    RECT c{};
    GetClientRect(view, &c);
    int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    SetROP2(dc, R2_XORPEN);
    MoveToEx(dc, c.left, p.y, nullptr);
    LineTo(dc, c.right, p.y);
    MoveToEx(dc, p.x, c.top, nullptr);
    LineTo(dc, p.x, c.bottom);
    RestoreDC(dc, saved);
}

void CMapTracker::DrawFigure(HDC dc, const RECT& r) {
    const POINT s = m_startPoint, e = m_endPoint;
    auto line = [&](POINT a, POINT b) {
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
    };
    switch (m_rubberBandStyle) {
        case kBandRectangle:
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
            break;
        case kBandEllipse: {
            int w = r.right - r.left, h = r.bottom - r.top;
            Ellipse(dc, s.x - w, s.y - h, s.x + w, s.y + h);
            line(s, e);
            break;
        }
        case kBandLine:
        case kBandSegment:
            line(s, e);
            break;
        case kBandTwoSegments: {
            const POINT path[3] = {s, e, m_thirdPoint};
            Polyline(dc, path, 3);
            break;
        }
        case kBandFreehandLine:
        case kBandFreehandPolygon: {
            RECT focus = r;
            DrawFocusRect(dc, &focus);
            if (m_pointCount >= 2) {
                if (m_rubberBandStyle == kBandFreehandPolygon)
                    Polygon(dc, m_points.get(), m_pointCount);
                else
                    Polyline(dc, m_points.get(), m_pointCount);
            }
            break;
        }
        case kBandFocusRects:
            for (int grow = 0; grow <= 2; ++grow) {
                RECT g = r;
                InflateRect(&g, grow, grow);
                DrawFocusRect(dc, &g);
            }
            break;
        case kBandCircle: {
            double dx = e.x - s.x, dy = e.y - s.y;
            int radius = static_cast<int>(std::sqrt(dx * dx + dy * dy));
            Ellipse(dc, s.x - radius, s.y - radius, s.x + radius, s.y + radius);
            line(s, e);
            break;
        }
        default:
            line(s, e);
            break;
    }
}

void CMapTracker::DrawTrackerRect(const RECT* rect, HWND clip, HDC dc, HWND view) {
    if (!rect || !dc) return;
    if (m_rubberBandStyle != kBandFreehandLine && m_rubberBandStyle != kBandFreehandPolygon)
        SetEndFromRect(*rect);
    UpdateReadout(nullptr);
    if (m_crosshair) DrawCrosshairAt(dc, view, m_endPoint);
    RECT r = Normalized(*rect);
    if (clip && clip != view) {
        POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
        MapWindowPoints(view, clip, corners, 2);
        r = Normalized(RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y});
    }
    int saved = SaveDC(dc);
    gdi::OwnedPen pen(CreatePen(PS_SOLID, win::theme::Scale(3), 0xFFFFFF));
    SelectObject(dc, pen.get());
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    SetROP2(dc, R2_XORPEN);
    DrawFigure(dc, r);
    RestoreDC(dc, saved);
}

// ---- results ----

CDoubleRect CMapTracker::GetTrackRect() const {
    CDoubleRect out;
    ScreenToMap(m_rect.left, m_rect.bottom, out.xmin, out.ymin);
    ScreenToMap(m_rect.right, m_rect.top, out.xmax, out.ymax);
    out.Normalize();
    return out;
}

CDoubleRect CMapTracker::GetCircleRect() const {
    double cx, cy, ex, ey;
    ScreenToMap(m_startPoint.x, m_startPoint.y, cx, cy);
    ScreenToMap(m_endPoint.x, m_endPoint.y, ex, ey);
    double r = std::hypot(ex - cx, ey - cy);
    return CDoubleRect(cx - r, cy - r, cx + r, cy + r);
}

CDoubleRect CMapTracker::GetEllipseRect() const {
    double cx, cy;
    ScreenToMap(m_startPoint.x, m_startPoint.y, cx, cy);
    CDoubleRect t = GetTrackRect();
    double hw = std::fabs(t.xmax - t.xmin), hh = std::fabs(t.ymax - t.ymin);
    return CDoubleRect(cx - hw, cy - hh, cx + hw, cy + hh);
}

void CMapTracker::GetLineEnds(double& x1, double& y1, double& x2, double& y2) const {
    ScreenToMap(m_startPoint.x, m_startPoint.y, x1, y1);
    ScreenToMap(m_endPoint.x, m_endPoint.y, x2, y2);
}

void CMapTracker::GetEndPoint(double& x, double& y) const {
    ScreenToMap(m_endPoint.x, m_endPoint.y, x, y);
}

int CMapTracker::GetPointList(DoublePoint* points, CDoubleRect* bounds) const {
    CDoubleRect b(0, 0, -1, -1);
    for (int i = 0; i < m_pointCount; ++i) {
        double x, y;
        ScreenToMap(m_points[i].x, m_points[i].y, x, y);
        if (points) points[i] = DoublePoint{x, y};
        if (i == 0) {
            b = CDoubleRect(x, y, x, y);
        } else {
            b.xmin = std::min(b.xmin, x);
            b.ymin = std::min(b.ymin, y);
            b.xmax = std::max(b.xmax, x);
            b.ymax = std::max(b.ymax, y);
        }
    }
    if (bounds) *bounds = b;
    return m_pointCount;
}

int CMapTracker::GetShortSide() const {
    return std::min(std::abs(m_rect.right - m_rect.left), std::abs(m_rect.bottom - m_rect.top));
}
