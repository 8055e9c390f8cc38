// Shapefile drawing: the world to device transform, the shared point buffer,
// joined rings and part-by-part drawing.
#include "formats/shape/shape_draw.h"

#include <cmath>
#include <new>
#include <vector>

namespace {

// Grows to the largest request and is never given back.
std::vector<POINT>& pointBuffer() {
    static std::vector<POINT> buffer;
    return buffer;
}

int ToDevice(double v) {
    if (std::isnan(v)) return 0;
    if (v > kShpDeviceLimit) v = kShpDeviceLimit;
    if (v < -kShpDeviceLimit) v = -kShpDeviceLimit;
    return static_cast<int>(v);  // truncation toward zero
}

int32_t PartStart(const uint8_t* starts, int i) {
    return ShapeLoadInt(starts + 4 * static_cast<size_t>(i));
}

// Part starts must rise from 0 within the points.
bool PartsValid(const uint8_t* starts, int partCount, int total) {
    int prev = -1;
    for (int i = 0; i < partCount; ++i) {
        int s = PartStart(starts, i);
        if (s < 0 || s > total || s < prev || (i == 0 && s != 0)) return false;
        prev = s;
    }
    return true;
}

template <class Draw>
int DrawParts(HDC dc, const POINT* points, int total, const uint8_t* starts, int partCount,
              Draw draw) {
    if (partCount < 0 || total < 0) return 0;
    if (partCount == 0) return 1;
    if (partCount == 1) return draw(dc, points, total) ? 1 : 0;
    if (!starts || !PartsValid(starts, partCount, total)) return 0;
    for (int i = partCount - 1; i >= 0; --i) {
        int from = PartStart(starts, i);
        int to = i + 1 < partCount ? PartStart(starts, i + 1) : total;
        if (!draw(dc, points + from, to - from)) return 0;
    }
    return 1;
}

}  // namespace

void ShpSetDrawTransform(ShpDrawTransform* t, const RECT& device, const CDoubleRect& world) {
    t->device = device;
    t->world = world;
    if (!(t->world.xmax - t->world.xmin >= 1e-13)) {
        t->world.xmin -= 1.0;
        t->world.xmax += 1.0;
    }
    if (!(t->world.ymax - t->world.ymin >= 1e-13)) {
        t->world.ymin -= 1.0;
        t->world.ymax += 1.0;
    }
    t->width = device.right - device.left;
    t->height = device.bottom - device.top;
    t->scaleX = t->width / (t->world.xmax - t->world.xmin);
    t->scaleY = t->height / (t->world.ymax - t->world.ymin);
}

POINT ShpWorldToDevice(const ShpDrawTransform& t, double x, double y) {
    int dx = ToDevice((x - t.world.xmin) * t.scaleX);
    int dy = ToDevice((y - t.world.ymin) * t.scaleY);
    return POINT{dx, static_cast<LONG>(static_cast<int64_t>(t.height) - dy)};
}

RECT ShpWorldRectToDevice(const ShpDrawTransform& t, const CDoubleRect& r) {
    POINT a = ShpWorldToDevice(t, r.xmin, r.ymax);
    POINT b = ShpWorldToDevice(t, r.xmax, r.ymin);
    return RECT{a.x, a.y, b.x, b.y};
}

POINT* ShpReservePoints(int count) {
    if (count < 0) return nullptr;
    std::vector<POINT>& b = pointBuffer();
    if (static_cast<size_t>(count) > b.size()) {
        try {
            b.resize(count);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return b.data();
}

int ShpPointBufferSize() {
    return static_cast<int>(pointBuffer().size());
}

POINT* ShpTransformPoints(const ShpDrawTransform& t, int count, const uint8_t* points) {
    POINT* out = ShpReservePoints(count);
    if (!out) return nullptr;
    for (int i = 0; i < count; ++i) {
        DoublePoint p = ShapeLoadPoint(points, i);
        out[i] = ShpWorldToDevice(t, p.x, p.y);
    }
    return out;
}

POINT* ShpTransformRings(const ShpDrawTransform& t, const ShapeRecord* r) {
    int n = ShpGetPointCount(r), parts = ShapeGetPartCount(r);
    if (n <= 0 || parts <= 0) return nullptr;
    const uint8_t* starts = ShapeGetParts(r);
    if (!PartsValid(starts, parts, n)) return nullptr;
    POINT* out = ShpReservePoints(2 * n + parts);
    if (!out) return nullptr;
    const uint8_t* pts = ShapeGetPoints(r);
    for (int i = 0; i < n; ++i) {
        DoublePoint p = ShapeLoadPoint(pts, i);
        out[i] = ShpWorldToDevice(t, p.x, p.y);
    }
    int k = n;
    for (int part = 0; part < parts; ++part) {
        int from = PartStart(starts, part);
        int to = part + 1 < parts ? PartStart(starts, part + 1) : n;
        for (int i = from; i < to; ++i) out[k++] = out[i];
        out[k++] = out[0];
    }
    return out;
}

int ShpPolylineParts(HDC dc, const POINT* points, int total, const uint8_t* starts, int partCount) {
    return DrawParts(dc, points, total, starts, partCount,
                     [](HDC d, const POINT* p, int n) { return n < 2 || Polyline(d, p, n); });
}

int ShpPolygonParts(HDC dc, const POINT* points, int total, const uint8_t* starts, int partCount) {
    return DrawParts(dc, points, total, starts, partCount,
                     [](HDC d, const POINT* p, int n) { return n < 2 || Polygon(d, p, n); });
}

int ShpDrawPolyline(const ShpDrawTransform& t, HDC dc, int count, const uint8_t* points) {
    if (count < 2) return count >= 0 ? 1 : 0;
    POINT* p = ShpTransformPoints(t, count, points);
    return p && Polyline(dc, p, count) ? 1 : 0;
}

int ShpDrawShape(const ShpDrawTransform& t, HDC dc, const ShapeRecord* r, bool fill) {
    if (!r) return 0;
    int type = ShapeLoadInt(ShapeBytes(r));
    bool line = IsPolylineShapeType(type), polygon = IsPolygonShapeType(type);
    if (!line && !polygon) return 1;
    int n = ShpGetPointCount(r);
    POINT* p = ShpTransformPoints(t, n, ShapeGetPoints(r));
    if (!p) return 0;
    if (polygon && fill) return ShpPolygonParts(dc, p, n, ShapeGetParts(r), ShapeGetPartCount(r));
    return ShpPolylineParts(dc, p, n, ShapeGetParts(r), ShapeGetPartCount(r));
}

int ShpDrawPolygonRecord(const ShpDrawTransform& t, HDC dc, const ShapeRecord* r) {
    int n = ShpGetPointCount(r), parts = ShapeGetPartCount(r);
    POINT* p = ShpTransformRings(t, r);
    if (!p) return parts == 0 ? 1 : 0;
    if (parts == 1) return Polygon(dc, p, n) ? 1 : 0;
    HPEN old = SelectObject(dc, reinterpret_cast<HPEN>(GetStockObject(NULL_PEN)));
    BOOL ok = Polygon(dc, p + n, n + parts);
    SelectObject(dc, old);
    return ok && ShpPolylineParts(dc, p, n, ShapeGetParts(r), parts) ? 1 : 0;
}
