// Shapefile drawing: the world to device transform, the shared point buffer,
// joined rings and part-by-part drawing.
#include "formats/shape/shape_draw.h"

#include <cmath>
#include <new>
#include <vector>

#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_internal.h"
#include "formats/shape/shp_visit.h"

namespace {

// Grows to the largest request and is never given back. One per drawing
// thread: two threads drawing at once never share it.
std::vector<POINT>& pointBuffer() {
    thread_local std::vector<POINT> buffer;
    return buffer;
}

inline int ToDevice(double v) {
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

namespace {
// Inlined into the loops that convert every point of a record.
inline POINT DeviceOf(const ShpDrawTransform& t, double x, double y) {
    int dx = ToDevice((x - t.world.xmin) * t.scaleX);
    int dy = ToDevice((y - t.world.ymin) * t.scaleY);
    return POINT{dx, static_cast<LONG>(static_cast<int64_t>(t.height) - dy)};
}
}  // namespace

POINT ShpWorldToDevice(const ShpDrawTransform& t, double x, double y) {
    return DeviceOf(t, x, y);
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
        out[i] = DeviceOf(t, p.x, p.y);
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
        out[i] = DeviceOf(t, p.x, p.y);
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

// ---- the handle's transform ----

void ShpSetDrawTransform(ShpHandle h, const RECT& device, const CDoubleRect* world) {
    if (!h) return;
    CDoubleRect box;
    if (world)
        box = *world;
    else
        ShpGetBounds(h, &box);
    ShpSetDrawTransform(&h->draw, device, box);
}

const ShpDrawTransform* ShpGetDrawTransform(ShpHandle h) {
    return h ? &h->draw : nullptr;
}

POINT ShpWorldToDevice(ShpHandle h, double x, double y) {
    return ShpWorldToDevice(h->draw, x, y);
}
RECT ShpWorldRectToDevice(ShpHandle h, const CDoubleRect& r) {
    return ShpWorldRectToDevice(h->draw, r);
}
POINT* ShpTransformPoints(ShpHandle h, int count, const uint8_t* points) {
    return ShpTransformPoints(h->draw, count, points);
}
POINT* ShpTransformRings(ShpHandle h, const ShapeRecord* r) {
    return ShpTransformRings(h->draw, r);
}
int ShpDrawPolyline(ShpHandle h, HDC dc, int count, const uint8_t* points) {
    return ShpDrawPolyline(h->draw, dc, count, points);
}
int ShpDrawShape(ShpHandle h, HDC dc, const ShapeRecord* r, bool fill) {
    if (!h) return 0;
    return ShpDrawShape(h->draw, dc, r ? r : ShpGetShapeBuffer(h), fill);
}

// ---- drawing walks ----

namespace {

// Device point of a point record's first coordinate pair; for a multipoint
// that pair is the lower-left corner of its box.
POINT FirstPoint(const ShpDrawTransform& t, const ShapeRecord* r) {
    const uint8_t* b = ShapeBytes(r);
    return ShpWorldToDevice(t, ShapeLoadDouble(b + 4), ShapeLoadDouble(b + 12));
}

struct DrawWalk {
    ShpDrawContext* ctx;
    int (*drawer)(DrawWalk&, ShpHandle, int, ShapeRecord*);
};

int Phase(ShpDrawContext* c, int phase, ShpHandle h, int record, const ShapeRecord* r) {
    c->phase = phase;
    return c->callback ? c->callback(c, h, record, r) : 1;
}

// The progressive copy after records 0, 1024, 2048 ...
void CopyToScreen(ShpDrawContext* c, ShpHandle h, int record) {
    if (!c->screenDc || record % 1024 != 0) return;
    BitBlt(c->screenDc, 0, 0, h->draw.width, h->draw.height, c->drawDc, 0, 0, SRCCOPY);
}

int PointDrawer(DrawWalk& w, ShpHandle h, int record, ShapeRecord* r) {
    ShpDrawContext* c = w.ctx;
    c->point = FirstPoint(h->draw, r);
    if (Phase(c, kShpDrawBeforeRecord, h, record, r)) {
        SetPixel(c->drawDc, c->point.x, c->point.y, GetTextColor(c->drawDc));
        Phase(c, kShpDrawAfterRecord, h, record, r);
    }
    return 1;
}

int LineDrawer(DrawWalk& w, ShpHandle h, int record, ShapeRecord* r) {
    ShpDrawContext* c = w.ctx;
    if (Phase(c, kShpDrawBeforeRecord, h, record, r)) {
        int n = ShpGetPointCount(r);
        POINT* p = ShpTransformPoints(h->draw, n, ShapeGetPoints(r));
        if (p) ShpPolylineParts(c->drawDc, p, n, ShapeGetParts(r), ShapeGetPartCount(r));
        Phase(c, kShpDrawAfterRecord, h, record, r);
    }
    return 1;
}

int PolygonDrawer(DrawWalk& w, ShpHandle h, int record, ShapeRecord* r) {
    ShpDrawContext* c = w.ctx;
    if (Phase(c, kShpDrawBeforeRecord, h, record, r)) {
        ShpDrawPolygonRecord(h->draw, c->drawDc, r);
        Phase(c, kShpDrawAfterRecord, h, record, r);
    }
    return 1;
}

int ShapeDrawer(DrawWalk& w, ShpHandle h, int record, ShapeRecord* r) {
    ShpDrawContext* c = w.ctx;
    Phase(c, kShpDrawBeforeRecord, h, record, r);
    ShpDrawShape(h->draw, c->drawDc, r, false);
    Phase(c, kShpDrawAfterRecord, h, record, r);
    return 1;
}

int VisitDraw(ShpHandle h, int record, ShapeRecord* shape, void* user) {
    auto& w = *static_cast<DrawWalk*>(user);
    int go = w.drawer(w, h, record, shape);
    CopyToScreen(w.ctx, h, record);
    return go;
}

}  // namespace

int ShpDrawRecords(ShpHandle h, HDC drawDc, HDC screenDc, const CDoubleRect* extent, int flags,
                   ShpDrawCallback callback, void* user) {
    if (!h) return 0;
    ShpDrawContext ctx;
    ctx.flags = flags;
    ctx.drawDc = drawDc;
    ctx.screenDc = screenDc;
    ctx.user = user;
    ctx.callback = callback;
    DrawWalk walk{&ctx, ShapeDrawer};
    switch (GetShapeGeometryClass(h)) {
        case 0:
            walk.drawer = PointDrawer;
            break;
        case 1:
            walk.drawer = LineDrawer;
            break;
        case 2:
            walk.drawer = (flags & kShpDrawFillPolygons) ? PolygonDrawer : LineDrawer;
            break;
    }
    Phase(&ctx, kShpDrawBegin, h, -1, nullptr);
    int result = (flags & kShpDrawMapped)
                     ? ShpForEachMapped(h, VisitDraw, &walk, extent, 0, -1, kShpVisitPollAbort)
                     : ShpForEachRead(h, VisitDraw, &walk, extent, 0, -1, kShpVisitPollAbort);
    Phase(&ctx, kShpDrawEnd, h, -1, nullptr);
    return result;
}

// ---- visitors ----

namespace {

struct PointsWalk {
    ShpPointsCallback callback;
    void* user;
    int geometryClass;
};

// Converts a record by the file's class and hands it on.
int Convert(const PointsWalk& w, ShpHandle h, int record, ShapeRecord* r) {
    switch (w.geometryClass) {
        case 0: {
            POINT p = FirstPoint(h->draw, r);
            POINT* buf = ShpReservePoints(1);
            if (!buf) return 0;
            buf[0] = p;
            return w.callback(h, record, r, buf, w.user, p.x, p.y);
        }
        case 1: {
            POINT* p = ShpTransformPoints(h->draw, ShpGetPointCount(r), ShapeGetPoints(r));
            return p ? w.callback(h, record, r, p, w.user, 0, 0) : 1;
        }
        case 2: {
            POINT* p = ShpTransformRings(h->draw, r);
            return p ? w.callback(h, record, r, p, w.user, 0, 0) : 1;
        }
    }
    return 0;
}

int VisitPoints(ShpHandle h, int record, ShapeRecord* shape, void* user) {
    return Convert(*static_cast<PointsWalk*>(user), h, record, shape);
}

bool Visitable(ShpHandle h, ShpPointsCallback callback, PointsWalk* w, void* user) {
    if (!h || !callback) return false;
    *w = PointsWalk{callback, user, GetShapeGeometryClass(h)};
    return w->geometryClass >= 0 && w->geometryClass <= 2;
}

}  // namespace

int ShpForEachInExtent(ShpHandle h, const CDoubleRect* extent, int flags,
                       ShpPointsCallback callback, void* user) {
    PointsWalk w;
    if (!Visitable(h, callback, &w, user)) return 0;
    return (flags & kShpDrawMapped)
               ? ShpForEachMapped(h, VisitPoints, &w, extent, 0, -1, kShpVisitPollAbort)
               : ShpForEachRead(h, VisitPoints, &w, extent, 0, -1, kShpVisitPollAbort);
}

int ShpForEachInList(ShpHandle h, int limit, int members, const uint32_t* words,
                     ShpPointsCallback callback, void* user) {
    PointsWalk w;
    if (!Visitable(h, callback, &w, user)) return 0;
    ShpForEachInSet(h, VisitPoints, &w, limit, members, words, kShpVisitPollAbort);
    return 1;
}

int ShpForEachFromSource(ShpHandle h, int (*next)(void* user), ShpPointsCallback callback,
                         void* user) {
    PointsWalk w;
    if (!next || !Visitable(h, callback, &w, user)) return 0;
    CAbortCheck aborted = ShpAbortCheck();
    for (int record = next(user); record != -1; record = next(user)) {
        if (record < 0 || record >= ShpGetIndexCount(h)) continue;
        if (ShpIsRecordDeleted(h, record) || ShpGetContentLength(h, record) <= 4) continue;
        ShapeRecord* r = ShpReadShape(h, record);
        if (!r) return 0;  // the engine's read or memory error is set
        if (ShpGetRecordShapeType(h, r) == kShapeNull) continue;
        if (!Convert(w, h, record, r)) break;
        if (aborted()) break;
    }
    return 1;
}
