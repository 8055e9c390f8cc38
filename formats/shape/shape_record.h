// Shape records: one shape in memory, laid out byte for byte as the content
// of a shapefile record (type word first, then the geometry, little-endian).
// The doubles of a record sit at offsets that are not multiples of 8 (the box
// starts at byte 4), so every value is copied in and out, never read through
// a double pointer; accessors hand out byte pointers and the Load/Store
// helpers below.
//
// Counts inside a record are trusted by the accessors: the engine checks a
// record read from a file once (ShapeValidateRecord) before it hands it out.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/double_rect.h"
#include "core/no_data.h"

struct ShpFile;
using ShpHandle = ShpFile*;
// The bytes of a record's content; no alignment is assumed.
struct ShapeRecord;

enum ShapeType : int {
    kShapeNull = 0,
    kShapePoint = 1,
    kShapePolyline = 3,
    kShapePolygon = 5,
    kShapeMultiPoint = 8,
    kShapePointZ = 11,
    kShapePolylineZ = 13,
    kShapePolygonZ = 15,
    kShapeMultiPointZ = 18,
    kShapePointM = 21,
    kShapePolylineM = 23,
    kShapePolygonM = 25,
    kShapeMultiPointM = 28,
    kShapeMultiPatch = 31,
};


// Box, Z range and M range (Xmin, Ymin, Xmax, Ymax, Zmin, Zmax, Mmin, Mmax).
struct ShapeExtent {
    double xmin, ymin, xmax, ymax, zmin, zmax, mmin, mmax;
};

// ---- unaligned values ----
inline double ShapeLoadDouble(const void* p) {
    double d;
    memcpy(&d, p, 8);
    return d;
}
inline void ShapeStoreDouble(void* p, double d) {
    memcpy(p, &d, 8);
}
inline int32_t ShapeLoadInt(const void* p) {
    int32_t v;
    memcpy(&v, p, 4);
    return v;
}
inline void ShapeStoreInt(void* p, int32_t v) {
    memcpy(p, &v, 4);
}
inline uint8_t* ShapeBytes(ShapeRecord* r) {
    return reinterpret_cast<uint8_t*>(r);
}
inline const uint8_t* ShapeBytes(const ShapeRecord* r) {
    return reinterpret_cast<const uint8_t*>(r);
}
inline ShapeRecord* AsShapeRecord(void* p) {
    return static_cast<ShapeRecord*>(p);
}
inline const ShapeRecord* AsShapeRecord(const void* p) {
    return static_cast<const ShapeRecord*>(p);
}
// Point i of a point array (16 bytes per point).
inline DoublePoint ShapeLoadPoint(const uint8_t* points, int i) {
    DoublePoint p;
    memcpy(&p, points + 16 * static_cast<size_t>(i), 16);
    return p;
}
inline void ShapeStorePoint(uint8_t* points, int i, DoublePoint p) {
    memcpy(points + 16 * static_cast<size_t>(i), &p, 16);
}

// ---- types ----
// 0 point (points and multipoints), 1 line, 2 polygon, -1 none.
int GetShapeTypeGeometryClass(int type);
// The class of the file's header type; -1 without a handle.
int GetShapeGeometryClass(ShpHandle h);
bool IsPointShapeType(int type);
bool IsPolylineShapeType(int type);
bool IsPolygonShapeType(int type);
bool IsMultiPointShapeType(int type);
bool IsLineOrPolygonShapeType(int type);
bool IsShapeTypeZ(int type);
bool IsShapeTypeZM(int type);
// Types this system can size, build and write (not null, multipatch or unknown).
bool IsBuildableShapeType(int type);
bool ShapeTypeHasZ(int type);  // carries Z values (11, 13, 15, 18)
bool ShapeTypeHasM(int type);  // carries M values (every type above 10)

// ---- buffers ----
// The shape heap: blocks carry their capacity.
void* ShapeHeapInit();
// A zero-filled block of (size / 256 + 1) * 256 bytes, or `old` itself when
// it is already large enough. Contents are not kept. On failure null, and
// `old` stays valid (the caller still owns it).
ShapeRecord* ShapeHeapRealloc(ShapeRecord* old, size_t size);
// As above but keeps the contents (vertex inserts).
ShapeRecord* ShapeHeapGrow(ShapeRecord* old, size_t size);
// Capacity of a shape-heap block; 0 for anything else.
size_t ShapeHeapCapacity(const ShapeRecord* buffer);
void ShapeFreeBuffer(ShapeRecord* buffer);
int64_t ShapeHeapLiveBlocks();
// Test hook: the k-th allocation from now fails (0: off).
void ShapeHeapFailAllocation(int k);

// The handle's buffer grown to size; null on failure (the old buffer kept).
ShapeRecord* ShpReserveShapeBuffer(ShpHandle h, size_t size);
ShapeRecord* ShpGetShapeBuffer(ShpHandle h);

// Byte size of a full record; 0 for null, multipatch, unknown types and
// negative counts.
size_t ShapeRecordSize(int type, int partCount, int pointCount);
size_t ShapeGetRecordSize(const ShapeRecord* r);
size_t ShpGetShapeSize(ShpHandle h, const ShapeRecord* r);
// True when a record's type and counts fit `length` bytes of content and its
// part starts are increasing from 0 and below the point count. Records of
// types this system cannot size pass when at least the type word is there.
bool ShapeValidateRecord(const ShapeRecord* r, size_t length);

ShapeRecord* ShapeAllocRecord(ShpHandle h, int type, int partCount, int pointCount);
// Writes the type and counts into `r`, or into the handle's buffer grown to
// the record's size. 1, or 0 when there is neither or growing failed.
int ShapeInitRecord(ShpHandle h, int type, int partCount, int pointCount, ShapeRecord* r);

// ---- members (null when the type has none) ----
int ShpGetRecordShapeType(ShpHandle h, const ShapeRecord* r);
uint8_t* ShapeGetPoints(ShapeRecord* r);
const uint8_t* ShapeGetPoints(const ShapeRecord* r);
uint8_t* ShapeGetParts(ShapeRecord* r);  // 32-bit part starts
const uint8_t* ShapeGetParts(const ShapeRecord* r);
uint8_t* ShapeGetZRange(ShapeRecord* r);
uint8_t* ShapeGetZArray(ShapeRecord* r);
const uint8_t* ShapeGetZArray(const ShapeRecord* r);
uint8_t* ShapeGetMRange(ShapeRecord* r);
uint8_t* ShapeGetMArray(ShapeRecord* r);
const uint8_t* ShapeGetMArray(const ShapeRecord* r);
const uint8_t* ShapeGetZRange(const ShapeRecord* r);
const uint8_t* ShapeGetMRange(const ShapeRecord* r);

int ShpGetPointCount(const ShapeRecord* r);
int ShapeGetPartCount(const ShapeRecord* r);
int ShapeGetPartPointCount(const ShapeRecord* r, int part);
// First point index of the part (and its last in *last); -1 out of range.
int ShapeGetPartRange(const ShapeRecord* r, int part, int* last);
// The part holding point `index` (and the index within it); -1 when none.
int ShapeFindPart(const ShapeRecord* r, int index, int* indexInPart);

// X/Y box; other types leave `box` as it is. False then.
bool ShpGetShapeBounds(const ShapeRecord* r, CDoubleRect* box);
bool ShpGetShapeExtent(ShpHandle h, ShapeExtent* extent, const ShapeRecord* r);
// Recomputes the box of a polyline, polygon or multipoint from its points
// (the empty box without points; NaN points are passed over).
void ShpComputeShapeBounds(ShapeRecord* r);
void ShapeFillZ(ShapeRecord* r, double z);
void ShapeFillM(ShapeRecord* r, double m);
void ShapeResetValues(ShapeRecord* r);

// ---- points of point shapes (record or the handle's buffer) ----
int ShpGetPoint(ShpHandle h, DoublePoint* point, const ShapeRecord* r = nullptr);
int ShpGetPointXY(ShpHandle h, double* x, double* y, const ShapeRecord* r = nullptr);
int ShpSetPointFromRecord(ShpHandle h, const DoublePoint* point, ShapeRecord* r = nullptr);
int ShpSetPointXY(ShpHandle h, double x, double y, ShapeRecord* r = nullptr);

// ---- vertices by part and index within it; 1 or 0 ----
// A part below 0 means part 0; one at or above the part count fails. The
// getters clamp the index into the part; the setters fail outside it.
int ShpGetVertex(ShpHandle h, int part, int index, DoublePoint* point,
                 const ShapeRecord* r = nullptr);
int ShpSetVertex(ShpHandle h, int part, int index, const DoublePoint* point,
                 ShapeRecord* r = nullptr);
int ShpGetVertexXY(ShpHandle h, int part, int index, double* x, double* y,
                   const ShapeRecord* r = nullptr);
int ShpSetVertexXY(ShpHandle h, int part, int index, double x, double y, ShapeRecord* r = nullptr);
// Only for types with Z values; 0 otherwise.
int ShpGetVertexXYZ(ShpHandle h, int part, int index, double* x, double* y, double* z,
                    const ShapeRecord* r = nullptr);
int ShpSetVertexXYZ(ShpHandle h, int part, int index, double x, double y, double z,
                    ShapeRecord* r = nullptr);

// ---- vertices by overall index; the index, or -1 ----
int ShpGetPartPoint(ShpHandle h, int index, double* x, double* y, double* z, double* m,
                    const ShapeRecord* r = nullptr);
int ShpGetPartPointXY(ShpHandle h, int index, double point[2], const ShapeRecord* r = nullptr);
int ShpGetPartPointXYM(ShpHandle h, int index, double point[3], const ShapeRecord* r = nullptr);
int ShpGetPartPointXYZM(ShpHandle h, int index, double point[4], const ShapeRecord* r = nullptr);
int ShpSetPartPoint(ShpHandle h, int index, double x, double y, double z, double m,
                    ShapeRecord* r = nullptr);
int ShpSetPartPointXY(ShpHandle h, int index, double x, double y, ShapeRecord* r = nullptr);
int ShpSetPartPointXYM(ShpHandle h, int index, double x, double y, double m,
                       ShapeRecord* r = nullptr);
int ShpSetPartPointXYZM(ShpHandle h, int index, double x, double y, double z, double m,
                        ShapeRecord* r = nullptr);

// Inserts a vertex. Without a record the handle's buffer grows as needed; a
// record given must have room: `capacity` bytes (0: its shape-heap capacity).
// The position, or -1.
int ShpInsertVertex(ShpHandle h, int index, double x, double y, double z, double m,
                    ShapeRecord* r = nullptr, size_t capacity = 0);
int ShpInsertVertexXY(ShpHandle h, int index, double x, double y, ShapeRecord* r = nullptr,
                      size_t capacity = 0);
int ShpInsertVertexXYM(ShpHandle h, int index, double x, double y, double m,
                       ShapeRecord* r = nullptr, size_t capacity = 0);
int ShpInsertVertexXYZM(ShpHandle h, int index, double x, double y, double z, double m,
                        ShapeRecord* r = nullptr, size_t capacity = 0);
// Removes a vertex; rings keep at least 4 points and lines 2. The index, or -1.
int ShpDeleteVertex(ShpHandle h, int index, ShapeRecord* r = nullptr);
