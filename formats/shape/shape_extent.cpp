#include "formats/shape/shape_extent.h"

#include <cmath>

#include "formats/dbf/file_io.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_internal.h"
#include "formats/shape/shp_visit.h"

void ExtentInitNew(ShapeExtent* e) {
    *e = ShapeExtent{0, 0, -1, -1, 0, 0, kNoDataMeasure, kNoDataMeasure};
}

void ExtentInitAccumulate(ShapeExtent* e) {
    *e = ShapeExtent{DBL_MAX, DBL_MAX, -DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX};
}

void ExtentFinish(ShapeExtent* e) {
    if (e->xmin == DBL_MAX && e->xmax == -DBL_MAX) {
        e->xmin = e->ymin = 0;
        e->xmax = e->ymax = -1;
    }
    if (e->zmin == DBL_MAX && e->zmax == -DBL_MAX) e->zmin = e->zmax = 0;
    if (e->mmin == DBL_MAX && e->mmax == -DBL_MAX) e->mmin = e->mmax = kNoDataMeasure;
}

void ExtentAddXY(ShapeExtent* e, double x, double y) {
    if (!shp_detail::IsRealXY(x, y)) return;
    e->xmin = std::fmin(e->xmin, x);
    e->xmax = std::fmax(e->xmax, x);
    e->ymin = std::fmin(e->ymin, y);
    e->ymax = std::fmax(e->ymax, y);
}

void ExtentAddZ(ShapeExtent* e, double z) {
    if (std::isnan(z)) return;
    e->zmin = std::fmin(e->zmin, z);
    e->zmax = std::fmax(e->zmax, z);
}

int ExtentAddM(ShapeExtent* e, double m) {
    if (IsNoDataMeasure(m)) return 1;
    e->mmin = std::fmin(e->mmin, m);
    e->mmax = std::fmax(e->mmax, m);
    return 0;
}

void ExtentAddPoint(ShapeExtent* e, const ShapeRecord* point) {
    const uint8_t* b = ShapeBytes(point);
    ExtentAddXY(e, ShapeLoadDouble(b + 4), ShapeLoadDouble(b + 12));
}

void ExtentAddPointM(ShapeExtent* e, const ShapeRecord* point) {
    ExtentAddPoint(e, point);
    ExtentAddM(e, ShapeLoadDouble(ShapeBytes(point) + 20));
}

void ExtentAddPointZ(ShapeExtent* e, const ShapeRecord* point) {
    ExtentAddPoint(e, point);
    ExtentAddZ(e, ShapeLoadDouble(ShapeBytes(point) + 20));
    ExtentAddM(e, ShapeLoadDouble(ShapeBytes(point) + 28));
}

void ExtentAddBox(ShapeExtent* e, const CDoubleRect& box) {
    if (box.IsEmpty()) return;
    ExtentAddXY(e, box.xmin, box.ymin);
    ExtentAddXY(e, box.xmax, box.ymax);
}

void ExtentOfXYPoints(CDoubleRect* box, int count, const uint8_t* points) {
    ShapeExtent e;
    ExtentInitAccumulate(&e);
    for (int i = 0; i < count && points; ++i) {
        const DoublePoint p = ShapeLoadPoint(points, i);
        ExtentAddXY(&e, p.x, p.y);
    }
    ExtentFinish(&e);
    *box = CDoubleRect(e.xmin, e.ymin, e.xmax, e.ymax);
}

int ExtentOfPoints(ShapeExtent* e, int count, const uint8_t* points, const uint8_t* z,
                   const uint8_t* m) {
    ExtentInitAccumulate(e);
    for (int i = 0; i < count && points; ++i) {
        const DoublePoint p = ShapeLoadPoint(points, i);
        ExtentAddXY(e, p.x, p.y);
        if (z) ExtentAddZ(e, ShapeLoadDouble(z + 8 * static_cast<size_t>(i)));
        if (m) ExtentAddM(e, ShapeLoadDouble(m + 8 * static_cast<size_t>(i)));
    }
    ExtentFinish(e);
    return 0;
}

namespace {

int AddPointRecord(ShpHandle, int, ShapeRecord* r, void* user) {
    auto* e = static_cast<ShapeExtent*>(user);
    // A record of another type is passed over, not the end of the walk.
    switch (ShpGetRecordShapeType(nullptr, r)) {
        case kShapePoint:
            ExtentAddPoint(e, r);
            break;
        case kShapePointZ:
            ExtentAddPointZ(e, r);
            break;
        case kShapePointM:
            ExtentAddPointM(e, r);
            break;
        default:
            break;
    }
    return 1;
}

void AddRanges(ShapeExtent* e, const ShapeRecord* r) {
    const uint8_t* zr = ShapeGetZRange(r);
    if (zr) {
        ExtentAddZ(e, ShapeLoadDouble(zr));
        ExtentAddZ(e, ShapeLoadDouble(zr + 8));
    }
    if (const uint8_t* mr = ShapeGetMRange(r)) {
        ExtentAddM(e, ShapeLoadDouble(mr));
        ExtentAddM(e, ShapeLoadDouble(mr + 8));
    }
}

int AddBoxRecord(ShpHandle, int, ShapeRecord* r, void* user) {
    auto* e = static_cast<ShapeExtent*>(user);
    CDoubleRect box;
    if (ShpGetShapeBounds(r, &box)) ExtentAddBox(e, box);
    AddRanges(e, r);
    return 1;
}

int RecomputeBoxRecord(ShpHandle, int, ShapeRecord* r, void* user) {
    auto* e = static_cast<ShapeExtent*>(user);
    ShpComputeShapeBounds(r);
    if (uint8_t* zr = ShapeGetZRange(r)) {
        ShapeExtent own;
        ExtentOfPoints(&own, ShpGetPointCount(r), ShapeGetPoints(r), ShapeGetZArray(r), nullptr);
        ShapeStoreDouble(zr, own.zmin);
        ShapeStoreDouble(zr + 8, own.zmax);
    }
    return AddBoxRecord(nullptr, 0, r, e);
}

}  // namespace

int ShpRecomputeExtent(ShpHandle h, int recomputeBoxes) {
    if (!h) return 0;
    if (recomputeBoxes && !(fioGetAccess(ShpGetMainFile(h)) & kFioWrite)) return 0;
    ShapeExtent e;
    ExtentInitAccumulate(&e);
    int result = 0;
    if (ShpGetRecordCount(h) > 0) {
        ShpVisitCallback callback = AddBoxRecord;
        if (IsPointShapeType(ShpGetShapeType(h)))
            callback = AddPointRecord;
        else if (recomputeBoxes)
            callback = RecomputeBoxRecord;
        result = ShpForEachMapped(h, callback, &e, nullptr, 0, -1, 0);
        if (!result) return 0;
    }
    ExtentFinish(&e);
    shp_detail::SetHeaderExtent(h, e);
    ShpSetHeaderChanged(h);
    // A header that did not reach the files stays pending and fails the call.
    return ShpWriteHeaders(h) ? result : 0;
}
