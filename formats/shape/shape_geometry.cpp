#include "formats/shape/shape_geometry.h"

#include <cfloat>
#include <cmath>

#include "formats/shape/shp_visit.h"

namespace {

bool HasNaN(const DoublePoint& p) {
    return std::isnan(p.x) || std::isnan(p.y);
}

// The point of segment a-b nearest to p; a for a segment of length 0.
DoublePoint NearestOnSegment(const DoublePoint& p, const DoublePoint& a, const DoublePoint& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    if (!(l2 > 0)) return a;
    const double u = ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2;
    if (u <= 0) return a;
    if (u >= 1) return b;
    return DoublePoint{a.x + u * dx, a.y + u * dy};
}

}  // namespace

int PointInRect(double x, double y, const CDoubleRect& e) {
    return e.xmin <= x && x <= e.xmax && e.ymin <= y && y <= e.ymax ? 1 : 0;
}
int IsPointInRect(const DoublePoint& p, const CDoubleRect& e) {
    return PointInRect(p.x, p.y, e);
}
int RectContainsPoint(const CDoubleRect& e, const DoublePoint& p) {
    return PointInRect(p.x, p.y, e);
}

int IsNoDataMeasure(double m) {
    return IsNoDataValue(m) ? 1 : 0;
}

double* SetNoDataMeasure(double* m) {
    if (m) *m = kNoDataMeasure;
    return m;
}

double Distance(const DoublePoint& a, const DoublePoint& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

double DistanceToPolyline(const DoublePoint& p, const uint8_t* points, int n) {
    double best = DBL_MAX;
    if (!points || n < 2) return best;
    DoublePoint a = ShapeLoadPoint(points, 0);
    for (int i = 1; i < n && best > 0; ++i) {
        const DoublePoint b = ShapeLoadPoint(points, i);
        if (!HasNaN(a) && !HasNaN(b)) {
            const double d = Distance(p, NearestOnSegment(p, a, b));
            if (d < best) best = d;
        }
        a = b;
    }
    return best;
}

double DistanceToShape(const DoublePoint& p, const ShapeRecord* r) {
    if (!r || !IsLineOrPolygonShapeType(ShpGetRecordShapeType(nullptr, r))) return DBL_MAX;
    const int parts = ShapeGetPartCount(r);
    const uint8_t* points = ShapeGetPoints(r);
    double best = DBL_MAX;
    for (int k = parts - 1; k >= 0 && best > 0; --k) {
        int last;
        const int first = ShapeGetPartRange(r, k, &last);
        if (first < 0) continue;
        const double d =
            DistanceToPolyline(p, points + 16 * static_cast<size_t>(first), last - first + 1);
        if (d < best) best = d;
    }
    return best;
}

int FindNearestSegment(const DoublePoint& p, int n, const uint8_t* points, DoublePoint* foot,
                       double* distance) {
    if (!points || n < 2) return -1;
    int bestIndex = -1;
    double best = DBL_MAX;
    DoublePoint bestFoot{};
    for (int i = 0; i + 1 < n; ++i) {
        const DoublePoint a = ShapeLoadPoint(points, i);
        const DoublePoint b = ShapeLoadPoint(points, i + 1);
        if (HasNaN(a) || HasNaN(b)) continue;
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double l2 = dx * dx + dy * dy;
        DoublePoint f;
        double d;
        if (!(l2 > 0)) {
            // A repeated vertex (GPS tracks have them): measure to the point.
            f = a;
            d = Distance(p, a);
        } else {
            const double u = ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2;
            if (u < 0 || u > 1) continue;
            const double s = ((a.y - p.y) * dx - (a.x - p.x) * dy) / l2;
            f = DoublePoint{a.x + u * dx, a.y + u * dy};
            d = std::fabs(s) * std::sqrt(l2);
        }
        if (d == 0) {
            if (foot) *foot = f;
            if (distance) *distance = 0;
            return i;
        }
        if (d < best) {
            best = d;
            bestIndex = i;
            bestFoot = f;
        }
    }
    if (bestIndex >= 0) {
        if (foot) *foot = bestFoot;
        if (distance) *distance = best;
    }
    return bestIndex;
}

double GetLabelPoint(DoublePoint* out, const uint8_t* points, int n) {
    if (!out) return -1.0;
    if (!points || n <= 0) {
        *out = DoublePoint{0, 0};
        return -1.0;
    }
    const DoublePoint p0 = ShapeLoadPoint(points, 0);
    if (n == 1) {
        *out = p0;
        return 0;
    }
    if (n == 2) {
        const DoublePoint p1 = ShapeLoadPoint(points, 1);
        *out = DoublePoint{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
        return 0;
    }
    double sx = 0, sy = 0, c = 0;
    for (int k = 0; k + 1 < n; ++k) {
        const DoublePoint a = ShapeLoadPoint(points, k);
        const DoublePoint b = ShapeLoadPoint(points, k + 1);
        const double cross = (a.x - p0.x) * (b.y - p0.y) - (b.x - p0.x) * (a.y - p0.y);
        sx += (p0.x + a.x + b.x) * cross;
        sy += (p0.y + a.y + b.y) * cross;
        c += cross;
    }
    if (c == 0) {
        *out = p0;
        return 0;
    }
    *out = DoublePoint{sx / (3 * c), sy / (3 * c)};
    return c / 3;
}

int PointInRing(double x, double y, const uint8_t* points, int n) {
    if (!points || n < 2) return 0;
    int inside = 0;
    DoublePoint a = ShapeLoadPoint(points, 0);
    for (int i = 1; i < n; ++i) {
        const DoublePoint b = ShapeLoadPoint(points, i);
        // Half-open in Y: a vertex level with the point belongs to the edges
        // above it, whichever way the ring runs.
        if (!HasNaN(a) && !HasNaN(b) && (a.y > y) != (b.y > y)) {
            const double cx = a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
            if (x < cx) inside ^= 1;
        }
        a = b;
    }
    return inside;
}

int PointInShape(const DoublePoint& p, const ShapeRecord* r) {
    if (!r || HasNaN(p)) return 0;
    const int parts = ShapeGetPartCount(r);
    const uint8_t* points = ShapeGetPoints(r);
    if (!points || !IsLineOrPolygonShapeType(ShpGetRecordShapeType(nullptr, r))) return 0;
    if (parts < 2) return PointInRing(p.x, p.y, points, ShpGetPointCount(r));
    int inside = 0;
    for (int k = 0; k < parts; ++k) {
        int last;
        const int first = ShapeGetPartRange(r, k, &last);
        if (first < 0) continue;
        inside ^= PointInRing(p.x, p.y, points + 16 * static_cast<size_t>(first), last - first + 1);
    }
    return inside;
}

int PointInShape(double x, double y, const ShapeRecord* r) {
    return PointInShape(DoublePoint{x, y}, r);
}

double RingSignedArea(const uint8_t* points, int n) {
    if (!points || n < 3) return 0;
    double sum = 0;
    DoublePoint prev = ShapeLoadPoint(points, n - 1);
    for (int i = 0; i < n; ++i) {
        const DoublePoint p = ShapeLoadPoint(points, i);
        sum += (p.y + prev.y) * (p.x - prev.x);
        prev = p;
    }
    return sum / 2;
}

int SegmentIntersection(DoublePoint* out, const DoublePoint& p1, const DoublePoint& p2,
                        const DoublePoint& p3, const DoublePoint& p4) {
    const double d = (p2.x - p1.x) * (p4.y - p3.y) - (p2.y - p1.y) * (p4.x - p3.x);
    if (d == 0) return 0;
    const double ua = ((p4.x - p3.x) * (p1.y - p3.y) - (p4.y - p3.y) * (p1.x - p3.x)) / d;
    const double ub = ((p2.x - p1.x) * (p1.y - p3.y) - (p2.y - p1.y) * (p1.x - p3.x)) / d;
    if (!(ua >= 0 && ua <= 1 && ub >= 0 && ub <= 1)) return 0;
    if (out) *out = DoublePoint{p1.x + ua * (p2.x - p1.x), p1.y + ua * (p2.y - p1.y)};
    return 1;
}

// ---- hit tests ----

namespace {

struct Hit {
    DoublePoint p;
    double tolerance;
    CDoubleRect box;  // the query point grown by the tolerance
    double best = DBL_MAX;
    int record = -1;
};

bool MeetsBox(const ShapeRecord* r, const CDoubleRect& box) {
    CDoubleRect b;
    return ShpGetShapeBounds(r, &b) && b.xmin <= box.xmax && b.xmax >= box.xmin &&
           b.ymin <= box.ymax && b.ymax >= box.ymin;
}

int VisitPoint(ShpHandle, int record, ShapeRecord* r, void* user) {
    Hit* hit = static_cast<Hit*>(user);
    // Every point of a multipoint counts, not the corner of its box.
    const int n = ShpGetPointCount(r);
    const uint8_t* points = ShapeGetPoints(r);
    for (int i = 0; i < n && points; ++i) {
        const DoublePoint q = ShapeLoadPoint(points, i);
        if (HasNaN(q)) continue;
        const double d = Distance(hit->p, q);
        if (d <= hit->tolerance && d < hit->best) {
            hit->best = d;
            hit->record = record;
            if (d == 0) return 0;
        }
    }
    return 1;
}

int VisitLine(ShpHandle, int record, ShapeRecord* r, void* user) {
    Hit* hit = static_cast<Hit*>(user);
    if (!MeetsBox(r, hit->box)) return 1;
    const double d = DistanceToShape(hit->p, r);
    if (d <= hit->tolerance && d < hit->best) {
        hit->best = d;
        hit->record = record;
        if (d == 0) return 0;
    }
    return 1;
}

int VisitPolygon(ShpHandle, int record, ShapeRecord* r, void* user) {
    Hit* hit = static_cast<Hit*>(user);
    if (!MeetsBox(r, hit->box) || !PointInShape(hit->p, r)) return 1;
    hit->record = record;
    hit->best = 0;
    return 0;
}

Hit MakeHit(const DoublePoint& p, double tolerance) {
    Hit hit;
    hit.p = p;
    hit.tolerance = tolerance;
    hit.box = CDoubleRect(p.x - tolerance, p.y - tolerance, p.x + tolerance, p.y + tolerance);
    return hit;
}

int RunFile(ShpHandle h, ShpVisitCallback visit, Hit& hit, const CDoubleRect* extent, bool mapped) {
    if (mapped)
        ShpForEachMapped(h, visit, &hit, extent, 0, -1, 0);
    else
        ShpForEachRead(h, visit, &hit, extent, 0, -1, 0);
    return hit.record;
}

}  // namespace

int FindNearestPoint(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                     const CDoubleRect* extent, bool mapped) {
    Hit hit = MakeHit(p, tolerance);
    const int record = h ? RunFile(h, VisitPoint, hit, extent, mapped) : -1;
    if (distance) *distance = hit.best;
    return record;
}

int FindNearestLine(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                    const CDoubleRect* extent, bool mapped) {
    Hit hit = MakeHit(p, tolerance);
    CDoubleRect grown;
    const CDoubleRect* e = nullptr;
    if (extent) {
        grown = *extent;
        grown.xmin -= tolerance, grown.ymin -= tolerance;
        grown.xmax += tolerance, grown.ymax += tolerance;
        e = &grown;
    }
    const int record = h ? RunFile(h, VisitLine, hit, e, mapped) : -1;
    if (distance) *distance = hit.best;
    return record;
}

int FindContainingPolygon(ShpHandle h, const DoublePoint& p, double tolerance,
                          const CDoubleRect* extent, bool mapped) {
    Hit hit = MakeHit(p, tolerance);
    return h ? RunFile(h, VisitPolygon, hit, extent, mapped) : -1;
}

int FindNearestPointInSet(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                          int limit, int members, const uint32_t* words) {
    Hit hit = MakeHit(p, tolerance);
    if (h) ShpForEachInSet(h, VisitPoint, &hit, limit, members, words, 0);
    if (distance) *distance = hit.best;
    return hit.record;
}

int FindNearestLineInSet(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                         int limit, int members, const uint32_t* words) {
    Hit hit = MakeHit(p, tolerance);
    if (h) ShpForEachInSet(h, VisitLine, &hit, limit, members, words, 0);
    if (distance) *distance = hit.best;
    return hit.record;
}

int FindContainingPolygonInSet(ShpHandle h, const DoublePoint& p, double tolerance, int limit,
                               int members, const uint32_t* words) {
    Hit hit = MakeHit(p, tolerance);
    if (h) ShpForEachInSet(h, VisitPolygon, &hit, limit, members, words, 0);
    return hit.record;
}
