#include "formats/shape/shape_record.h"

#include <cmath>
#include <mutex>
#include <unordered_map>

#include "formats/dbf/engine_heap.h"
#include "formats/shape/shape_extent.h"
#include "formats/shape/shp_internal.h"

namespace {

// The type tests, inlined where records are taken apart for every drawn
// feature; the exported functions below give the same answers.
inline bool PointType(int t) {
    return t == 1 || t == 11 || t == 21;
}
inline bool PolylineType(int t) {
    return t == 3 || t == 13 || t == 23;
}
inline bool PolygonType(int t) {
    return t == 5 || t == 15 || t == 25;
}
inline bool MultiPointType(int t) {
    return t == 8 || t == 18 || t == 28;
}
inline bool LineOrPolygonType(int t) {
    return PolylineType(t) || PolygonType(t);
}
inline bool BuildableType(int t) {
    return PointType(t) || MultiPointType(t) || LineOrPolygonType(t);
}
inline bool HasZ(int t) {
    return t == 11 || t == 13 || t == 15 || t == 18;
}
inline bool HasM(int t) {
    return BuildableType(t) && t > 10;
}

// Where each member of a record lies; 0 for members the type lacks.
struct Layout {
    int type = 0;
    int parts = 0;
    int points = 0;
    size_t box = 0, partStarts = 0, pointArray = 0, zRange = 0, z = 0, mRange = 0, m = 0;
    size_t size = 0;
};

Layout LayoutOf(int type, int p, int n) {
    Layout l;
    l.type = type;
    if (p < 0 || n < 0) return l;
    const size_t np = static_cast<size_t>(n);
    switch (type) {
        case kShapePoint:
            l.pointArray = 4;
            l.points = 1;
            l.size = 20;
            return l;
        case kShapePointM:
            l.pointArray = 4;
            l.m = 20;
            l.points = 1;
            l.size = 28;
            return l;
        case kShapePointZ:
            l.pointArray = 4;
            l.z = 20;
            l.m = 28;
            l.points = 1;
            l.size = 36;
            return l;
        default:
            break;
    }
    size_t end;
    if (MultiPointType(type)) {
        l.box = 4;
        l.pointArray = 40;
        l.points = n;
        l.parts = 1;
        end = 40 + 16 * np;
    } else if (LineOrPolygonType(type)) {
        l.box = 4;
        l.partStarts = 44;
        l.pointArray = 44 + 4 * static_cast<size_t>(p);
        l.points = n;
        l.parts = p;
        end = l.pointArray + 16 * np;
    } else {
        return l;
    }
    if (HasZ(type)) {
        l.zRange = end;
        l.z = end + 16;
        end = l.z + 8 * np;
    }
    if (HasM(type)) {
        l.mRange = end;
        l.m = end + 16;
        end = l.m + 8 * np;
    }
    l.size = end;
    return l;
}

Layout LayoutOf(const ShapeRecord* r) {
    if (!r) return Layout{};
    const uint8_t* b = ShapeBytes(r);
    const int type = ShapeLoadInt(b);
    if (MultiPointType(type)) return LayoutOf(type, 1, ShapeLoadInt(b + 36));
    if (LineOrPolygonType(type))
        return LayoutOf(type, ShapeLoadInt(b + 36), ShapeLoadInt(b + 40));
    return LayoutOf(type, 0, 0);
}

zn::EngineHeap& Heap() {
    static zn::EngineHeap heap("shape");
    return heap;
}

// Capacities of live blocks, so a block's size is known without asking the
// allocator and a pointer that is not a block is told apart.
std::unordered_map<const void*, size_t>& Capacities() {
    static std::unordered_map<const void*, size_t> map;
    return map;
}
std::mutex& CapacityLock() {
    static std::mutex m;
    return m;
}

ShapeRecord* NewBlock(size_t size) {
    if (size > (SIZE_MAX >> 1)) return nullptr;
    const size_t capacity = (size / 256 + 1) * 256;
    void* p = Heap().Alloc(capacity);
    if (!p) return nullptr;
    std::lock_guard lock(CapacityLock());
    Capacities()[p] = capacity;
    return AsShapeRecord(p);
}

ShapeRecord* Buffer(ShpHandle h, ShapeRecord* r) {
    return r ? r : (h ? h->buffer : nullptr);
}
const ShapeRecord* Buffer(ShpHandle h, const ShapeRecord* r) {
    return r ? r : (h ? h->buffer : nullptr);
}

double Ld(const uint8_t* b, size_t off) {
    return ShapeLoadDouble(b + off);
}
void St(uint8_t* b, size_t off, double v) {
    ShapeStoreDouble(b + off, v);
}

// Copies X, Y, Z and M of vertex `from` to vertex `to`.
void CopyVertex(uint8_t* b, const Layout& l, int from, int to) {
    memmove(b + l.pointArray + 16 * static_cast<size_t>(to),
            b + l.pointArray + 16 * static_cast<size_t>(from), 16);
    if (l.z) St(b, l.z + 8 * static_cast<size_t>(to), Ld(b, l.z + 8 * static_cast<size_t>(from)));
    if (l.m) St(b, l.m + 8 * static_cast<size_t>(to), Ld(b, l.m + 8 * static_cast<size_t>(from)));
}

void WriteVertex(uint8_t* b, const Layout& l, int i, double x, double y, double z, double m) {
    ShapeStorePoint(b + l.pointArray, i, DoublePoint{x, y});
    if (l.z) St(b, l.z + 8 * static_cast<size_t>(i), z);
    if (l.m) St(b, l.m + 8 * static_cast<size_t>(i), m);
}

// The resolved part range for the by-part accessors; false when out of range.
bool PartRange(const ShapeRecord* r, const Layout& l, int part, int* first, int* last) {
    if (PointType(l.type)) {
        *first = *last = 0;
        return true;
    }
    if (part < 0) part = 0;
    if (MultiPointType(l.type)) {
        if (part > 0 || l.points < 1) return false;
        *first = 0;
        *last = l.points - 1;
        return true;
    }
    *first = ShapeGetPartRange(r, part, last);
    return *first >= 0 && *last >= *first;
}

}  // namespace

namespace shp_detail {

bool IsRealXY(double x, double y) {
    return !std::isnan(x) && !std::isnan(y) && x != kNoDataMeasure && y != kNoDataMeasure;
}

void HeaderAddXY(ShpFile* h, double x, double y, bool first) {
    if (!IsRealXY(x, y)) return;
    ShapeExtent e = HeaderExtent(h);
    // The empty box 0,0,-1,-1 of a new file holds nothing yet.
    if (first || e.xmin > e.xmax || e.ymin > e.ymax) {
        e.xmin = e.xmax = x;
        e.ymin = e.ymax = y;
    }
    ExtentAddXY(&e, x, y);
    SetHeaderExtent(h, e);
    h->headerChanged = true;
}

}  // namespace shp_detail

// ---- types ----

int GetShapeTypeGeometryClass(int type) {
    switch (type) {
        case 1:
        case 8:
        case 11:
        case 18:
        case 21:
        case 28:
            return 0;
        case 3:
        case 13:
        case 23:
            return 1;
        case 5:
        case 15:
        case 25:
        case 31:
            return 2;
        default:
            return -1;
    }
}

int GetShapeGeometryClass(ShpHandle h) {
    return h ? GetShapeTypeGeometryClass(shp_detail::HeaderType(h)) : -1;
}

bool IsPointShapeType(int t) {
    return PointType(t);
}
bool IsPolylineShapeType(int t) {
    return PolylineType(t);
}
bool IsPolygonShapeType(int t) {
    return PolygonType(t);
}
bool IsMultiPointShapeType(int t) {
    return MultiPointType(t);
}
bool IsLineOrPolygonShapeType(int t) {
    return LineOrPolygonType(t);
}
bool IsShapeTypeZ(int t) {
    return (t >= 11 && t <= 20) || t == 31;
}
bool IsShapeTypeZM(int t) {
    return t > 10;
}
bool IsBuildableShapeType(int t) {
    return BuildableType(t);
}
bool ShapeTypeHasZ(int t) {
    return HasZ(t);
}
bool ShapeTypeHasM(int t) {
    return HasM(t);
}

// ---- buffers ----

void* ShapeHeapInit() {
    return &Heap();
}

ShapeRecord* ShapeHeapRealloc(ShapeRecord* old, size_t size) {
    if (old && ShapeHeapCapacity(old) >= size) return old;
    // The new block first: on failure the caller keeps the old one.
    ShapeRecord* block = NewBlock(size);
    if (!block) return nullptr;
    ShapeFreeBuffer(old);
    return block;
}

ShapeRecord* ShapeHeapGrow(ShapeRecord* old, size_t size) {
    const size_t capacity = ShapeHeapCapacity(old);
    if (old && capacity >= size) return old;
    ShapeRecord* block = NewBlock(size);
    if (!block) return nullptr;
    if (old) memcpy(block, old, capacity);
    ShapeFreeBuffer(old);
    return block;
}

size_t ShapeHeapCapacity(const ShapeRecord* buffer) {
    if (!buffer) return 0;
    std::lock_guard lock(CapacityLock());
    auto it = Capacities().find(buffer);
    return it == Capacities().end() ? 0 : it->second;
}

void ShapeFreeBuffer(ShapeRecord* buffer) {
    if (!buffer) return;
    {
        std::lock_guard lock(CapacityLock());
        if (Capacities().erase(buffer) == 0) return;  // not ours
    }
    Heap().Free(buffer);
}

int64_t ShapeHeapLiveBlocks() {
    return Heap().LiveBlocks();
}

void ShapeHeapFailAllocation(int k) {
    Heap().FailAllocation(k);
}

ShapeRecord* ShpReserveShapeBuffer(ShpHandle h, size_t size) {
    if (!h) return nullptr;
    ShapeRecord* b = ShapeHeapRealloc(h->buffer, size);
    if (b) h->buffer = b;
    return b;
}

ShapeRecord* ShpGetShapeBuffer(ShpHandle h) {
    return h ? h->buffer : nullptr;
}

size_t ShapeRecordSize(int type, int partCount, int pointCount) {
    return LayoutOf(type, partCount, pointCount).size;
}

size_t ShapeGetRecordSize(const ShapeRecord* r) {
    return LayoutOf(r).size;
}

size_t ShpGetShapeSize(ShpHandle h, const ShapeRecord* r) {
    return ShapeGetRecordSize(Buffer(h, r));
}

bool ShapeValidateRecord(const ShapeRecord* r, size_t length) {
    if (!r || length < 4) return false;
    const uint8_t* b = ShapeBytes(r);
    const int type = ShapeLoadInt(b);
    if (!BuildableType(type)) return true;
    if (PointType(type)) return length >= 20;
    if (length < 40) return false;
    const int p = MultiPointType(type) ? 1 : (length >= 44 ? ShapeLoadInt(b + 36) : -1);
    const int n = MultiPointType(type) ? ShapeLoadInt(b + 36) : ShapeLoadInt(b + 40);
    if (p < 0 || n < 0) return false;
    // Everything up to the points must be there; Z and M tails are checked by
    // the reader, which fills what a file leaves out.
    const Layout l = LayoutOf(type, p, n);
    if (l.pointArray + 16 * static_cast<size_t>(n) > length) return false;
    if (l.partStarts) {
        int prev = -1;
        for (int i = 0; i < p; ++i) {
            const int s = ShapeLoadInt(b + l.partStarts + 4 * static_cast<size_t>(i));
            if (s < 0 || s >= n || s <= prev || (i == 0 && s != 0)) return false;
            prev = s;
        }
    }
    return true;
}

ShapeRecord* ShapeAllocRecord(ShpHandle h, int type, int partCount, int pointCount) {
    if (!h) return nullptr;
    if (type == kShapeNull) return h->buffer;
    const size_t size = ShapeRecordSize(type, partCount, pointCount);
    if (size == 0) return nullptr;
    return ShpReserveShapeBuffer(h, size);
}

int ShapeInitRecord(ShpHandle h, int type, int partCount, int pointCount, ShapeRecord* r) {
    if (!r) r = ShapeAllocRecord(h, type, partCount, pointCount);
    if (!r) return 0;
    uint8_t* b = ShapeBytes(r);
    ShapeStoreInt(b, type);
    if (MultiPointType(type)) {
        ShapeStoreInt(b + 36, pointCount);
    } else if (LineOrPolygonType(type)) {
        ShapeStoreInt(b + 36, partCount);
        ShapeStoreInt(b + 40, pointCount);
    }
    return 1;
}

// ---- members ----

int ShpGetRecordShapeType(ShpHandle h, const ShapeRecord* r) {
    r = Buffer(h, r);
    return r ? ShapeLoadInt(ShapeBytes(r)) : 0;
}

#define ZN_MEMBER(Name, field)                              \
    uint8_t* Name(ShapeRecord* r) {                         \
        const Layout l = LayoutOf(r);                       \
        return l.field ? ShapeBytes(r) + l.field : nullptr; \
    }                                                       \
    const uint8_t* Name(const ShapeRecord* r) {             \
        return Name(const_cast<ShapeRecord*>(r));           \
    }
ZN_MEMBER(ShapeGetPoints, pointArray)
ZN_MEMBER(ShapeGetParts, partStarts)
ZN_MEMBER(ShapeGetZRange, zRange)
ZN_MEMBER(ShapeGetZArray, z)
ZN_MEMBER(ShapeGetMRange, mRange)
ZN_MEMBER(ShapeGetMArray, m)
#undef ZN_MEMBER

int ShpGetPointCount(const ShapeRecord* r) {
    const Layout l = LayoutOf(r);
    return l.size ? l.points : 0;
}

int ShapeGetPartCount(const ShapeRecord* r) {
    const Layout l = LayoutOf(r);
    if (!l.size) return -1;
    return LineOrPolygonType(l.type) ? l.parts : 1;
}

int ShapeGetPartPointCount(const ShapeRecord* r, int part) {
    const Layout l = LayoutOf(r);
    if (!l.size) return -1;
    if (!LineOrPolygonType(l.type)) return l.points;
    int last;
    const int first = ShapeGetPartRange(r, part, &last);
    return first < 0 ? -1 : last - first + 1;
}

int ShapeGetPartRange(const ShapeRecord* r, int part, int* last) {
    const Layout l = LayoutOf(r);
    if (!l.partStarts || part < 0 || part >= l.parts) return -1;
    const uint8_t* b = ShapeBytes(r);
    const int first = ShapeLoadInt(b + l.partStarts + 4 * static_cast<size_t>(part));
    const int next = part + 1 < l.parts
                         ? ShapeLoadInt(b + l.partStarts + 4 * static_cast<size_t>(part + 1))
                         : l.points;
    if (last) *last = next - 1;
    return first;
}

int ShapeFindPart(const ShapeRecord* r, int index, int* indexInPart) {
    const Layout l = LayoutOf(r);
    if (!l.size || index < 0 || index >= l.points) return -1;
    if (!LineOrPolygonType(l.type)) {
        if (indexInPart) *indexInPart = index;
        return 0;
    }
    for (int part = l.parts - 1; part >= 0; --part) {
        int last;
        const int first = ShapeGetPartRange(r, part, &last);
        if (index >= first && index <= last) {
            if (indexInPart) *indexInPart = index - first;
            return part;
        }
    }
    return -1;
}

bool ShpGetShapeBounds(const ShapeRecord* r, CDoubleRect* box) {
    const Layout l = LayoutOf(r);
    if (!l.size || !box) return false;
    const uint8_t* b = ShapeBytes(r);
    if (PointType(l.type)) {
        box->xmin = box->xmax = Ld(b, 4);
        box->ymin = box->ymax = Ld(b, 12);
    } else {
        memcpy(box, b + 4, 32);
    }
    return true;
}

bool ShpGetShapeExtent(ShpHandle h, ShapeExtent* extent, const ShapeRecord* r) {
    r = Buffer(h, r);
    CDoubleRect box;
    if (!extent || !ShpGetShapeBounds(r, &box)) return false;
    const Layout l = LayoutOf(r);
    const uint8_t* b = ShapeBytes(r);
    *extent =
        ShapeExtent{box.xmin, box.ymin, box.xmax, box.ymax, 0, 0, kNoDataMeasure, kNoDataMeasure};
    if (l.zRange) {
        extent->zmin = Ld(b, l.zRange);
        extent->zmax = Ld(b, l.zRange + 8);
    } else if (l.z) {
        extent->zmin = extent->zmax = Ld(b, l.z);
    }
    if (l.mRange) {
        extent->mmin = Ld(b, l.mRange);
        extent->mmax = Ld(b, l.mRange + 8);
    } else if (l.m) {
        extent->mmin = extent->mmax = Ld(b, l.m);
    }
    return true;
}

void ShpComputeShapeBounds(ShapeRecord* r) {
    const Layout l = LayoutOf(r);
    if (!l.box) return;
    uint8_t* b = ShapeBytes(r);
    CDoubleRect box(0, 0, -1, -1);
    bool any = false;
    for (int i = 0; i < l.points; ++i) {
        const DoublePoint p = ShapeLoadPoint(b + l.pointArray, i);
        if (std::isnan(p.x) || std::isnan(p.y)) continue;
        if (!any) {
            box = CDoubleRect(p.x, p.y, p.x, p.y);
            any = true;
            continue;
        }
        box.xmin = std::fmin(box.xmin, p.x);
        box.ymin = std::fmin(box.ymin, p.y);
        box.xmax = std::fmax(box.xmax, p.x);
        box.ymax = std::fmax(box.ymax, p.y);
    }
    memcpy(b + 4, &box, 32);
}

void ShapeFillZ(ShapeRecord* r, double z) {
    const Layout l = LayoutOf(r);
    if (!l.z) return;
    uint8_t* b = ShapeBytes(r);
    if (l.zRange) {
        St(b, l.zRange, z);
        St(b, l.zRange + 8, z);
    }
    for (int i = 0; i < l.points; ++i) St(b, l.z + 8 * static_cast<size_t>(i), z);
}

void ShapeFillM(ShapeRecord* r, double m) {
    const Layout l = LayoutOf(r);
    if (!l.m) return;
    uint8_t* b = ShapeBytes(r);
    if (l.mRange) {
        St(b, l.mRange, m);
        St(b, l.mRange + 8, m);
    }
    for (int i = 0; i < l.points; ++i) St(b, l.m + 8 * static_cast<size_t>(i), m);
}

void ShapeResetValues(ShapeRecord* r) {
    const Layout l = LayoutOf(r);
    if (!l.size) return;
    uint8_t* b = ShapeBytes(r);
    for (int i = 0; i < l.points; ++i) ShapeStorePoint(b + l.pointArray, i, DoublePoint{0, 0});
    if (l.z)
        for (int i = 0; i < l.points; ++i) St(b, l.z + 8 * static_cast<size_t>(i), 0);
    if (l.m)
        for (int i = 0; i < l.points; ++i) St(b, l.m + 8 * static_cast<size_t>(i), kNoDataMeasure);
}

// ---- points of point shapes ----

int ShpGetPoint(ShpHandle h, DoublePoint* point, const ShapeRecord* r) {
    r = Buffer(h, r);
    if (!r || !point) return 0;
    const int type = ShapeLoadInt(ShapeBytes(r));
    if (type != kShapePoint && type != kShapePointZ) return 0;
    *point = ShapeLoadPoint(ShapeBytes(r) + 4, 0);
    return 1;
}

int ShpGetPointXY(ShpHandle h, double* x, double* y, const ShapeRecord* r) {
    r = Buffer(h, r);
    if (!r || !PointType(ShapeLoadInt(ShapeBytes(r)))) return 0;
    const DoublePoint p = ShapeLoadPoint(ShapeBytes(r) + 4, 0);
    if (x) *x = p.x;
    if (y) *y = p.y;
    return 1;
}

namespace {
int SetPoint(ShpHandle h, double x, double y, ShapeRecord* r, bool withPointM) {
    r = Buffer(h, r);
    if (!r) return 0;
    const int type = ShapeLoadInt(ShapeBytes(r));
    if (type != kShapePoint && type != kShapePointZ && !(withPointM && type == kShapePointM))
        return 0;
    ShapeStorePoint(ShapeBytes(r) + 4, 0, DoublePoint{x, y});
    if (h) shp_detail::HeaderAddXY(h, x, y, false);
    return 1;
}
}  // namespace

int ShpSetPointFromRecord(ShpHandle h, const DoublePoint* point, ShapeRecord* r) {
    return point ? SetPoint(h, point->x, point->y, r, false) : 0;
}

int ShpSetPointXY(ShpHandle h, double x, double y, ShapeRecord* r) {
    return SetPoint(h, x, y, r, true);
}

// ---- vertices by part ----

namespace {

// Resolves (part, index) to an overall index; clamp for getters.
int ResolveVertex(const ShapeRecord* r, int part, int index, bool clamp) {
    const Layout l = LayoutOf(r);
    if (!l.size || l.points < 1) return -1;
    int first, last;
    if (!PartRange(r, l, part, &first, &last)) return -1;
    if (PointType(l.type)) return index == 0 || clamp ? 0 : -1;
    if (index < 0) return clamp ? first : -1;
    if (first + static_cast<int64_t>(index) > last) return clamp ? last : -1;
    return first + index;
}

}  // namespace

int ShpGetVertexXY(ShpHandle h, int part, int index, double* x, double* y, const ShapeRecord* r) {
    r = Buffer(h, r);
    const int i = ResolveVertex(r, part, index, true);
    if (i < 0) return 0;
    const DoublePoint p = ShapeLoadPoint(ShapeGetPoints(r), i);
    if (x) *x = p.x;
    if (y) *y = p.y;
    return 1;
}

int ShpGetVertex(ShpHandle h, int part, int index, DoublePoint* point, const ShapeRecord* r) {
    return point ? ShpGetVertexXY(h, part, index, &point->x, &point->y, r) : 0;
}

int ShpGetVertexXYZ(ShpHandle h, int part, int index, double* x, double* y, double* z,
                    const ShapeRecord* r) {
    r = Buffer(h, r);
    const uint8_t* zs = ShapeGetZArray(r);
    const int i = ResolveVertex(r, part, index, true);
    if (i < 0 || !zs) return 0;
    ShpGetVertexXY(h, part, index, x, y, r);
    if (z) *z = ShapeLoadDouble(zs + 8 * static_cast<size_t>(i));
    return 1;
}

int ShpSetVertexXY(ShpHandle h, int part, int index, double x, double y, ShapeRecord* r) {
    r = Buffer(h, r);
    const int i = ResolveVertex(r, part, index, false);
    if (i < 0) return 0;
    double z = 0, m = kNoDataMeasure;
    ShpGetPartPoint(h, i, nullptr, nullptr, &z, &m, r);
    return ShpSetPartPoint(h, i, x, y, z, m, r) >= 0 ? 1 : 0;
}

int ShpSetVertex(ShpHandle h, int part, int index, const DoublePoint* point, ShapeRecord* r) {
    return point ? ShpSetVertexXY(h, part, index, point->x, point->y, r) : 0;
}

int ShpSetVertexXYZ(ShpHandle h, int part, int index, double x, double y, double z,
                    ShapeRecord* r) {
    r = Buffer(h, r);
    const int i = ResolveVertex(r, part, index, false);
    if (i < 0 || !ShapeGetZArray(r)) return 0;
    double m = kNoDataMeasure;
    ShpGetPartPoint(h, i, nullptr, nullptr, nullptr, &m, r);
    return ShpSetPartPoint(h, i, x, y, z, m, r) >= 0 ? 1 : 0;
}

// ---- vertices by overall index ----

int ShpGetPartPoint(ShpHandle h, int index, double* x, double* y, double* z, double* m,
                    const ShapeRecord* r) {
    r = Buffer(h, r);
    const Layout l = LayoutOf(r);
    if (!l.size || index < 0 || index >= l.points) return -1;
    const uint8_t* b = ShapeBytes(r);
    const DoublePoint p = ShapeLoadPoint(b + l.pointArray, index);
    if (x) *x = p.x;
    if (y) *y = p.y;
    if (z) *z = l.z ? Ld(b, l.z + 8 * static_cast<size_t>(index)) : 0.0;
    if (m) *m = l.m ? Ld(b, l.m + 8 * static_cast<size_t>(index)) : kNoDataMeasure;
    return index;
}

int ShpGetPartPointXY(ShpHandle h, int index, double point[2], const ShapeRecord* r) {
    return ShpGetPartPoint(h, index, &point[0], &point[1], nullptr, nullptr, r);
}
int ShpGetPartPointXYM(ShpHandle h, int index, double point[3], const ShapeRecord* r) {
    return ShpGetPartPoint(h, index, &point[0], &point[1], nullptr, &point[2], r);
}
int ShpGetPartPointXYZM(ShpHandle h, int index, double point[4], const ShapeRecord* r) {
    return ShpGetPartPoint(h, index, &point[0], &point[1], &point[2], &point[3], r);
}

int ShpSetPartPoint(ShpHandle h, int index, double x, double y, double z, double m,
                    ShapeRecord* r) {
    r = Buffer(h, r);
    const Layout l = LayoutOf(r);
    if (!l.size || index < 0 || index >= l.points) return -1;
    uint8_t* b = ShapeBytes(r);
    WriteVertex(b, l, index, x, y, z, m);
    if (PolygonType(l.type)) {
        int within;
        const int part = ShapeFindPart(r, index, &within);
        int last;
        const int first = ShapeGetPartRange(r, part, &last);
        if (first >= 0 && last > first) {
            if (index == first) CopyVertex(b, l, first, last);
            if (index == last) CopyVertex(b, l, last, first);
        }
    }
    ShpComputeShapeBounds(r);
    return index;
}

int ShpSetPartPointXY(ShpHandle h, int index, double x, double y, ShapeRecord* r) {
    return ShpSetPartPoint(h, index, x, y, 0, kNoDataMeasure, r);
}
int ShpSetPartPointXYM(ShpHandle h, int index, double x, double y, double m, ShapeRecord* r) {
    return ShpSetPartPoint(h, index, x, y, 0, m, r);
}
int ShpSetPartPointXYZM(ShpHandle h, int index, double x, double y, double z, double m,
                        ShapeRecord* r) {
    return ShpSetPartPoint(h, index, x, y, z, m, r);
}

// ---- insert and delete ----

int ShpInsertVertex(ShpHandle h, int index, double x, double y, double z, double m, ShapeRecord* r,
                    size_t capacity) {
    const bool handleBuffer = !r;
    r = Buffer(h, r);
    Layout l = LayoutOf(r);
    if (!l.size || PointType(l.type) || l.points == INT32_MAX) return -1;
    const int n = l.points;
    const int pos = index < 0 ? 0 : (index > n ? n : index);
    const Layout grown = LayoutOf(l.type, l.parts, n + 1);
    if (handleBuffer) {
        ShapeRecord* g = ShapeHeapGrow(r, grown.size);
        if (!g) return -1;
        h->buffer = r = g;
    } else {
        if (capacity == 0) capacity = ShapeHeapCapacity(r);
        if (capacity < grown.size) return -1;
    }
    uint8_t* b = ShapeBytes(r);
    const size_t tail = static_cast<size_t>(n - pos);
    // Move from the back so nothing is overwritten before it has moved.
    if (l.m) {
        const double mr0 = l.mRange ? Ld(b, l.mRange) : 0, mr1 = l.mRange ? Ld(b, l.mRange + 8) : 0;
        memmove(b + grown.m + 8 * (static_cast<size_t>(pos) + 1), b + l.m + 8 * pos, 8 * tail);
        memmove(b + grown.m, b + l.m, 8 * static_cast<size_t>(pos));
        if (l.mRange) {
            St(b, grown.mRange, mr0);
            St(b, grown.mRange + 8, mr1);
        }
    }
    if (l.z) {
        const double zr0 = Ld(b, l.zRange), zr1 = Ld(b, l.zRange + 8);
        memmove(b + grown.z + 8 * (static_cast<size_t>(pos) + 1), b + l.z + 8 * pos, 8 * tail);
        memmove(b + grown.z, b + l.z, 8 * static_cast<size_t>(pos));
        St(b, grown.zRange, zr0);
        St(b, grown.zRange + 8, zr1);
    }
    memmove(b + l.pointArray + 16 * (static_cast<size_t>(pos) + 1),
            b + l.pointArray + 16 * static_cast<size_t>(pos), 16 * tail);
    WriteVertex(b, grown, pos, x, y, z, m);
    // The part that receives the vertex, from the old starts: one inserted at
    // a part's start belongs to that part, one at n to the last part.
    int part = 0;
    if (l.partStarts) {
        part = l.parts - 1;
        for (int k = 0; k < l.parts; ++k) {
            const int s = ShapeLoadInt(b + l.partStarts + 4 * static_cast<size_t>(k));
            const int next = k + 1 < l.parts
                                 ? ShapeLoadInt(b + l.partStarts + 4 * static_cast<size_t>(k + 1))
                                 : n + 1;
            if (pos >= s && pos < next) {
                part = k;
                break;
            }
        }
        for (int k = part + 1; k < l.parts; ++k) {
            uint8_t* s = b + l.partStarts + 4 * static_cast<size_t>(k);
            ShapeStoreInt(s, ShapeLoadInt(s) + 1);
        }
        ShapeStoreInt(b + 40, n + 1);
    } else {
        ShapeStoreInt(b + 36, n + 1);
    }
    ShpComputeShapeBounds(r);
    if (PolygonType(l.type)) {
        int last;
        const int first = ShapeGetPartRange(r, part, &last);
        if (pos == first) CopyVertex(b, grown, first, last);
        if (pos == last) CopyVertex(b, grown, last, first);
    }
    return pos;
}

int ShpInsertVertexXY(ShpHandle h, int index, double x, double y, ShapeRecord* r, size_t capacity) {
    return ShpInsertVertex(h, index, x, y, 0, kNoDataMeasure, r, capacity);
}
int ShpInsertVertexXYM(ShpHandle h, int index, double x, double y, double m, ShapeRecord* r,
                       size_t capacity) {
    return ShpInsertVertex(h, index, x, y, 0, m, r, capacity);
}
int ShpInsertVertexXYZM(ShpHandle h, int index, double x, double y, double z, double m,
                        ShapeRecord* r, size_t capacity) {
    return ShpInsertVertex(h, index, x, y, z, m, r, capacity);
}

int ShpDeleteVertex(ShpHandle h, int index, ShapeRecord* r) {
    r = Buffer(h, r);
    const Layout l = LayoutOf(r);
    if (!l.size || PointType(l.type)) return -1;
    if (index < 0 || index >= l.points) return -1;
    const int part = ShapeFindPart(r, index, nullptr);
    if (part < 0) return -1;
    const int partPoints = ShapeGetPartPointCount(r, part);
    if (PolygonType(l.type) && partPoints <= 4) return -1;
    if (PolylineType(l.type) && partPoints <= 2) return -1;
    int oldLast = 0;
    const int first = l.partStarts ? ShapeGetPartRange(r, part, &oldLast) : 0;
    uint8_t* b = ShapeBytes(r);
    const int n = l.points;
    const size_t tail = static_cast<size_t>(n - index - 1);
    const Layout shrunk = LayoutOf(l.type, l.parts, n - 1);
    memmove(b + l.pointArray + 16 * static_cast<size_t>(index),
            b + l.pointArray + 16 * (static_cast<size_t>(index) + 1), 16 * tail);
    // Z block (range + values) then M block, each pulled down to its new place.
    if (l.z) {
        const double zr0 = Ld(b, l.zRange), zr1 = Ld(b, l.zRange + 8);
        memmove(b + shrunk.z, b + l.z, 8 * static_cast<size_t>(index));
        memmove(b + shrunk.z + 8 * static_cast<size_t>(index),
                b + l.z + 8 * (static_cast<size_t>(index) + 1), 8 * tail);
        St(b, shrunk.zRange, zr0);
        St(b, shrunk.zRange + 8, zr1);
    }
    if (l.m) {
        const double mr0 = Ld(b, l.mRange), mr1 = Ld(b, l.mRange + 8);
        memmove(b + shrunk.m, b + l.m, 8 * static_cast<size_t>(index));
        memmove(b + shrunk.m + 8 * static_cast<size_t>(index),
                b + l.m + 8 * (static_cast<size_t>(index) + 1), 8 * tail);
        St(b, shrunk.mRange, mr0);
        St(b, shrunk.mRange + 8, mr1);
    }
    if (l.partStarts) {
        for (int k = part + 1; k < l.parts; ++k) {
            uint8_t* s = b + l.partStarts + 4 * static_cast<size_t>(k);
            ShapeStoreInt(s, ShapeLoadInt(s) - 1);
        }
        ShapeStoreInt(b + 40, n - 1);
    } else {
        ShapeStoreInt(b + 36, n - 1);
    }
    ShpComputeShapeBounds(r);
    if (PolygonType(l.type)) {
        const int last = oldLast - 1;
        if (index == first) CopyVertex(b, shrunk, first, last);
        if (index == oldLast) CopyVertex(b, shrunk, last, first);
    }
    return index;
}
