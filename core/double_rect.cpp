#include "core/double_rect.h"

#include <algorithm>

void CDoubleRect::Set(double x1, double y1, double x2, double y2) {
    xmin = x1;
    ymin = y1;
    xmax = x2;
    ymax = y2;
}

void CDoubleRect::SetFromCenter(double cx, double cy, double width, double height) {
    double hw = width * 0.5, hh = height * 0.5;
    xmin = cx - hw;
    xmax = cx + hw;
    ymin = cy - hh;
    ymax = cy + hh;
}

void CDoubleRect::GetCenter(double& x, double& y) const {
    x = xmin + (xmax - xmin) * 0.5;
    y = ymin + (ymax - ymin) * 0.5;
}

void CDoubleRect::GetCenterPoint(DoublePoint& point) const {
    GetCenter(point.x, point.y);
}

void CDoubleRect::SetEmpty() {
    Set(0, 0, -1, -1);
}

bool CDoubleRect::IsEmpty() const {
    return xmin == 0 && ymin == 0 && xmax == -1 && ymax == -1;
}

void CDoubleRect::Clear() {
    Set(0, 0, 0, 0);
}

bool CDoubleRect::IsNull() const {
    return xmin == xmax || ymin == ymax;
}

bool CDoubleRect::Equals(const CDoubleRect& o) const {
    return xmin == o.xmin && ymin == o.ymin && xmax == o.xmax && ymax == o.ymax;
}

void CDoubleRect::Scale(double factor) {
    double d = factor - 1;
    double ex = (xmax - xmin) * 0.5 * d, ey = (ymax - ymin) * 0.5 * d;
    xmin -= ex;
    xmax += ex;
    ymin -= ey;
    ymax += ey;
}

void CDoubleRect::Inflate(double dx, double dy) {
    xmin -= dx;
    xmax += dx;
    ymin -= dy;
    ymax += dy;
}

void CDoubleRect::Offset(double dx, double dy) {
    xmin += dx;
    xmax += dx;
    ymin += dy;
    ymax += dy;
}

bool CDoubleRect::Intersects(const CDoubleRect& o) const {
    return xmin <= o.xmax && xmax >= o.xmin && ymin <= o.ymax && ymax >= o.ymin;
}

bool CDoubleRect::IsInside(const CDoubleRect& o) const {
    return xmin >= o.xmin && xmin <= o.xmax && xmax >= o.xmin && xmax <= o.xmax && ymin >= o.ymin &&
           ymin <= o.ymax && ymax >= o.ymin && ymax <= o.ymax;
}

void CDoubleRect::Normalize() {
    if (xmin > xmax) std::swap(xmin, xmax);
    if (ymin > ymax) std::swap(ymin, ymax);
}

void CDoubleRect::GetCorners(DoublePoint points[5]) const {
    points[0] = {xmin, ymax};
    points[1] = {xmax, ymax};
    points[2] = {xmax, ymin};
    points[3] = {xmin, ymin};
    points[4] = {xmin, ymax};
}

namespace {
bool OpenOverlap(const CDoubleRect& a, const CDoubleRect& b) {
    return a.xmin < b.xmax && b.xmin < a.xmax && a.ymin < b.ymax && b.ymin < a.ymax;
}
}  // namespace

bool CDoubleRect::Intersect(CDoubleRect* result, const CDoubleRect& a, const CDoubleRect& b) {
    if (a.IsNull() || b.IsNull() || !OpenOverlap(a, b)) {
        if (result) result->Clear();
        return false;
    }
    if (result)
        result->Set(std::max(a.xmin, b.xmin), std::max(a.ymin, b.ymin), std::min(a.xmax, b.xmax),
                    std::min(a.ymax, b.ymax));
    return true;
}

bool CDoubleRect::Union(CDoubleRect& result, const CDoubleRect& a, const CDoubleRect& b) {
    // The empty marker is skipped like a null rectangle: taking part, its
    // 0 and -1 would stretch the union to the origin.
    bool skipA = a.IsNull() || a.IsEmpty(), skipB = b.IsNull() || b.IsEmpty();
    if (skipA && skipB) {
        result.Clear();
        return false;
    }
    // Copies first: result may alias a or b.
    CDoubleRect ra = a, rb = b;
    if (skipA)
        result = rb;
    else if (skipB)
        result = ra;
    else
        result.Set(std::min(ra.xmin, rb.xmin), std::min(ra.ymin, rb.ymin),
                   std::max(ra.xmax, rb.xmax), std::max(ra.ymax, rb.ymax));
    return true;
}

bool CDoubleRect::Subtract(CDoubleRect& result, const CDoubleRect& a, const CDoubleRect& b) {
    if (a.IsNull()) {
        result.Clear();
        return false;
    }
    CDoubleRect ra = a, rb = b, cut;
    result = ra;
    if (!Intersect(&cut, ra, rb)) return true;
    if (cut == ra) {
        result.Clear();
        return false;
    }
    if (cut.ymin == ra.ymin && cut.ymax == ra.ymax) {
        if (cut.xmin == ra.xmin)
            result.xmin = cut.xmax;
        else if (cut.xmax == ra.xmax)
            result.xmax = cut.xmin;
    } else if (cut.xmin == ra.xmin && cut.xmax == ra.xmax) {
        if (cut.ymin == ra.ymin)
            result.ymin = cut.ymax;
        else if (cut.ymax == ra.ymax)
            result.ymax = cut.ymin;
    }
    return true;
}
