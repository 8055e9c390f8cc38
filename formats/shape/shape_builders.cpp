#include "formats/shape/shape_builders.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "formats/shape/shape_extent.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"

namespace {

// Builds a one-part line or polygon of the file's type in the handle's
// buffer and appends it.
int AppendPart(ShpHandle h, std::vector<DoublePoint> pts, double z, double m) {
    const int type = ShpGetShapeType(h);
    if (!IsLineOrPolygonShapeType(type) || pts.empty()) return -1;
    const int n = static_cast<int>(pts.size());
    if (IsPolygonShapeType(type) && RingSignedArea(reinterpret_cast<uint8_t*>(pts.data()), n) < 0) {
        // Outer rings run clockwise in shapefiles.
        std::vector<DoublePoint> reversed(pts.rbegin(), pts.rend());
        pts = std::move(reversed);
    }
    if (!ShapeInitRecord(h, type, 1, n, nullptr)) return -1;
    ShapeRecord* r = ShpGetShapeBuffer(h);
    ShapeStoreInt(ShapeGetParts(r), 0);
    memcpy(ShapeGetPoints(r), pts.data(), 16 * pts.size());
    ShapeFillZ(r, z);
    ShapeFillM(r, m);
    ShpComputeShapeBounds(r);
    return ShpAppendShape(h, r);
}

}  // namespace

int ShpAppendPointZM(ShpHandle h, double x, double y, double z, double m) {
    if (!h) return -1;
    const int type = ShpGetShapeType(h);
    if (!IsPointShapeType(type)) return -1;
    if (!ShapeInitRecord(h, type, 0, 1, nullptr)) return -1;
    ShapeRecord* r = ShpGetShapeBuffer(h);
    ShapeStorePoint(ShapeBytes(r) + 4, 0, DoublePoint{x, y});
    ShapeFillZ(r, z);
    ShapeFillM(r, m);
    return ShpAppendShape(h, r);
}

int ShpAppendPoint(ShpHandle h, const DoublePoint& p) {
    return ShpAppendPointZM(h, p.x, p.y, 0, kNoDataMeasure);
}
int ShpAppendPointXY(ShpHandle h, double x, double y) {
    return ShpAppendPointZM(h, x, y, 0, kNoDataMeasure);
}
int ShpAppendPointM(ShpHandle h, double x, double y, double m) {
    return ShpAppendPointZM(h, x, y, 0, m);
}

int ShpAppendRectangleXY(ShpHandle h, double xmin, double ymin, double xmax, double ymax, double z,
                         double m) {
    if (!h) return -1;
    return AppendPart(h, {{xmin, ymax}, {xmax, ymax}, {xmax, ymin}, {xmin, ymin}, {xmin, ymax}}, z,
                      m);
}

int ShpAppendRectangle(ShpHandle h, const CDoubleRect& r) {
    return ShpAppendRectangleXY(h, r.xmin, r.ymin, r.xmax, r.ymax, 0, kNoDataMeasure);
}

int ShpAppendEllipseXY(ShpHandle h, double xmin, double ymin, double xmax, double ymax, int q,
                       double z, double m) {
    if (!h || q < 1 || q > 100000) return -1;
    const double rx = (xmax - xmin) * 0.5, ry = (ymax - ymin) * 0.5;
    if (!(rx != 0) || !(ry != 0) || !std::isfinite(rx) || !std::isfinite(ry)) return -1;
    const double cx = xmin + rx, cy = ymin + ry, d = rx / q;
    auto height = [&](double off) {
        const double t = 1 - off * off / (rx * rx);
        return ry * std::sqrt(t > 0 ? t : 0);
    };
    std::vector<DoublePoint> pts;
    for (int i = 0; i < q; ++i) pts.push_back({cx + i * d, cy + height(i * d)});
    for (int i = 0; i < q; ++i) pts.push_back({cx + (rx - i * d), cy - height(rx - i * d)});
    for (int i = 0; i < q; ++i) pts.push_back({cx - i * d, cy - height(i * d)});
    for (int i = 0; i < q; ++i) pts.push_back({cx - (rx - i * d), cy + height(rx - i * d)});
    pts.push_back(pts.front());
    return AppendPart(h, std::move(pts), z, m);
}

int ShpAppendEllipse(ShpHandle h, const CDoubleRect& r, int q) {
    return ShpAppendEllipseXY(h, r.xmin, r.ymin, r.xmax, r.ymax, q, 0, kNoDataMeasure);
}

int ShpAppendSegmentXY(ShpHandle h, double x1, double y1, double x2, double y2, double z,
                       double m) {
    if (!h || !IsPolylineShapeType(ShpGetShapeType(h))) return -1;
    return AppendPart(h, {{x1, y1}, {x2, y2}}, z, m);
}

int ShpAppendSegment(ShpHandle h, const DoublePoint& a, const DoublePoint& b) {
    return ShpAppendSegmentXY(h, a.x, a.y, b.x, b.y, 0, kNoDataMeasure);
}

int ShpAppendPointList(ShpHandle h, int count, const DoublePoint* points) {
    if (!h || count < 1 || !points) return -1;
    std::vector<DoublePoint> pts(points, points + count);
    if (IsPolygonShapeType(ShpGetShapeType(h))) {
        std::vector<DoublePoint> distinct;
        for (const DoublePoint& p : pts) {
            bool seen = false;
            for (const DoublePoint& q : distinct) seen = seen || (q.x == p.x && q.y == p.y);
            if (!seen) distinct.push_back(p);
            if (distinct.size() >= 3) break;
        }
        if (distinct.size() < 3) return -1;
        if (memcmp(&pts.front(), &pts.back(), 16) != 0) pts.push_back(pts.front());
    }
    return AppendPart(h, std::move(pts), 0, kNoDataMeasure);
}
