#include "map/view/view_transform.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"

namespace {

// Truncation toward zero of a pixel offset, held to the 32-bit range.
int64_t TruncatePixels(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int64_t>(v);
}

int SaturateInt(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

}  // namespace

bool IsFiniteRect(const CDoubleRect& r) {
    return std::isfinite(r.xmin) && std::isfinite(r.ymin) && std::isfinite(r.xmax) &&
           std::isfinite(r.ymax);
}

void ViewTransform::SetExtent(const CDoubleRect& extent) {
    if (IsFiniteRect(extent)) m_extent = extent;
}

void ViewTransform::Offset(double dx, double dy) {
    m_extent.Offset(dx, dy);
    m_originX = m_extent.xmin;
    m_originY = m_extent.ymin;
}

bool ViewTransform::Fit() {
    if (!HasArea() || !IsFiniteRect(m_extent)) return false;
    CDoubleRect e = m_extent;
    double originX = e.xmin, originY = e.ymin;
    if (e.xmax == e.xmin) {
        e.xmin -= 0.1;
        e.xmax += 0.1;
    }
    if (e.ymax == e.ymin) {
        e.ymin -= 0.1;
        e.ymax += 0.1;
    }
    double xs = m_clientWidth / (e.xmax - e.xmin);
    double ys = m_clientHeight / (e.ymax - e.ymin);
    double s = std::min(xs, ys);
    if (!(s > 0) || !std::isfinite(s)) return false;
    m_originX = originX;
    m_originY = originY;
    m_xScale = m_yScale = s;
    SetExtent(ScreenRectToMap(RECT{0, 0, m_clientWidth, m_clientHeight}));
    return true;
}

void ViewTransform::ScreenToMap(int px, int py, double& x, double& y) const {
    x = static_cast<double>(px) / m_xScale + m_originX;
    y = static_cast<double>(m_clientHeight - static_cast<int64_t>(py)) / m_yScale + m_originY;
}

void ViewTransform::MapToScreen(double x, double y, int& px, int& py) const {
    px = SaturateInt(TruncatePixels((x - m_originX) * m_xScale));
    py = SaturateInt(m_clientHeight - TruncatePixels((y - m_originY) * m_yScale));
}

POINT ViewTransform::MapPointToScreen(const DoublePoint& p) const {
    int x, y;
    MapToScreen(p.x, p.y, x, y);
    return POINT{x, y};
}

CDoubleRect ViewTransform::ScreenRectToMap(const RECT& r) const {
    CDoubleRect out;
    ScreenToMap(r.left, r.top, out.xmin, out.ymax);
    ScreenToMap(r.right, r.bottom, out.xmax, out.ymin);
    return out;
}

int ViewTransform::GroundDistanceToPixels(double metres, double latitude, CCoordSys* cs) const {
    if (!cs || cs->m_projectionCode == 0) return 0;
    double mapUnits;
    if (cs->m_projectionCode == crs_code::kGeographic) {
        // Metres per degree of longitude along the given parallel.
        double perDegree = MeasureDistanceXY(cs, 0, latitude, 1, latitude);
        if (!(perDegree > 0)) return 0;
        mapUnits = metres / perDegree;
    } else {
        double factor = cs->m_projectionUnitFactor;
        if (!(factor > 0)) return 0;
        mapUnits = metres / factor;
    }
    return SaturateInt(TruncatePixels(mapUnits * m_xScale));
}
