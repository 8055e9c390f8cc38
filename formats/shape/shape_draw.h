// Shapefile drawing: shapes turned into device points through a world to
// device transform and drawn with the platform's drawing calls.
//
// The transform is a value here; the shapefile handle carries one (set by the
// layer before drawing) once the engine holds it, and the handle forms of
// these calls pass it on. Device points go to one process-wide buffer that
// grows to the largest shape drawn and is valid until the next transformation.
#pragma once

#include <cstdint>

#include "core/double_rect.h"
#include "formats/shape/shape_record.h"
#include "platform/gdi/gdi.h"

struct ShpDrawTransform {
    RECT device{};      // every caller gives left = top = 0 and the surface size
    CDoubleRect world;  // the map extent mapped onto the device rectangle
    int width = 0;
    int height = 0;
    double scaleX = 0;
    double scaleY = 0;
};

// Device coordinates are clamped to this magnitude before the conversion to
// 32 bits, so that far zoom-ins stay defined; the rasteriser clips them.
constexpr double kShpDeviceLimit = 134217728.0;  // 2^27

// Stores the device rectangle and world extent and computes the scales. A
// world extent narrower than 1e-13 in x or y (a single point) is widened by
// 1.0 on both sides in that direction, so no scale divides by zero.
void ShpSetDrawTransform(ShpDrawTransform* t, const RECT& device, const CDoubleRect& world);
// x = trunc((X - Xmin) * scale X), y = height - trunc((Y - Ymin) * scale Y).
POINT ShpWorldToDevice(const ShpDrawTransform& t, double x, double y);
// left = x(Xmin), top = y(Ymax), right = x(Xmax), bottom = y(Ymin).
RECT ShpWorldRectToDevice(const ShpDrawTransform& t, const CDoubleRect& r);

// The point buffer with room for count points; null for a negative count or
// when memory runs out.
POINT* ShpReservePoints(int count);
// count points (16 bytes each, unaligned) to device points in the buffer.
POINT* ShpTransformPoints(const ShpDrawTransform& t, int count, const uint8_t* points);
// A polygon's n points, then every ring followed by the record's very first
// point (n + p entries): one path that, filled alternately, shows the holes.
// Null for a record without points or parts.
POINT* ShpTransformRings(const ShpDrawTransform& t, const ShapeRecord* r);

// Each part drawn as its own polyline (polygon), from the last part to the
// first; a part count of 1 draws everything at once, 0 draws nothing. 0 for a
// negative part count, part starts outside the points, or a failing call.
// starts points at 32-bit part starts (unaligned, as in a record).
int ShpPolylineParts(HDC dc, const POINT* points, int total, const uint8_t* starts, int partCount);
int ShpPolygonParts(HDC dc, const POINT* points, int total, const uint8_t* starts, int partCount);

// Transforms and draws one polyline.
int ShpDrawPolyline(const ShpDrawTransform& t, HDC dc, int count, const uint8_t* points);
// One polyline or polygon record: polygons filled ring by ring when fill is
// set (holes not cut), else outlined. Other types draw nothing (result 1).
int ShpDrawShape(const ShpDrawTransform& t, HDC dc, const ShapeRecord* r, bool fill);
// A polygon record as the polygon drawer draws it: one ring filled with the
// current pen and brush; several rings filled as the joined path without a
// pen, then each ring outlined with the pen.
int ShpDrawPolygonRecord(const ShpDrawTransform& t, HDC dc, const ShapeRecord* r);

// Largest point count the buffer has held (tests).
int ShpPointBufferSize();

// ---- the handle's transform and the walks that draw ----

class ERecordSet;

// Stores the handle's transform; a null world extent takes the header's box.
void ShpSetDrawTransform(ShpHandle h, const RECT& device, const CDoubleRect* world);
const ShpDrawTransform* ShpGetDrawTransform(ShpHandle h);
POINT ShpWorldToDevice(ShpHandle h, double x, double y);
RECT ShpWorldRectToDevice(ShpHandle h, const CDoubleRect& r);
POINT* ShpTransformPoints(ShpHandle h, int count, const uint8_t* points);
POINT* ShpTransformRings(ShpHandle h, const ShapeRecord* r);
int ShpDrawPolyline(ShpHandle h, HDC dc, int count, const uint8_t* points);
// A null record draws the handle's buffer.
int ShpDrawShape(ShpHandle h, HDC dc, const ShapeRecord* r, bool fill);

// Phases of the drawing callback.
constexpr int kShpDrawBegin = 0;
constexpr int kShpDrawEnd = 1;
constexpr int kShpDrawBeforeRecord = 2;
constexpr int kShpDrawAfterRecord = 3;
// Flags of ShpDrawRecords and ShpForEachInExtent.
constexpr int kShpDrawMapped = 1;  // walk the mapped `.shp`, else read record by record
constexpr int kShpDrawFillPolygons = 2;

struct ShpDrawContext;
// Called with record -1 and no shape in phases 0 and 1. In phase 2 a result
// of 0 skips the record's drawing; other results are not used.
using ShpDrawCallback = int (*)(ShpDrawContext* context, ShpHandle h, int record,
                                const ShapeRecord* shape);
struct ShpDrawContext {
    int phase = 0;
    int flags = 0;
    HDC drawDc = nullptr;
    HDC screenDc = nullptr;  // where the drawing is copied every 1024 records, or null
    void* user = nullptr;
    ShpDrawCallback callback = nullptr;
    POINT point{};  // device point of the current point record
};

// Draws every record (in the extent, when given) into drawDc with the pen,
// brush and text colour selected there: points as one pixel in the text
// colour, lines part by part, polygons filled (flag) as joined rings and
// outlined, other classes outlined. After records 0, 1024, 2048 ... the
// drawing's width x height is copied to screenDc. The walk's result.
int ShpDrawRecords(ShpHandle h, HDC drawDc, HDC screenDc, const CDoubleRect* extent, int flags,
                   ShpDrawCallback callback, void* user);

// Visitors handing each record's device points to a callback: points (and
// multipoints, by the lower-left corner of their box) also as x and y; lines
// their transformed points; polygons their joined rings. Return nonzero to go
// on. Files of no geometry class are not visited (result 0).
using ShpPointsCallback = int (*)(ShpHandle h, int record, const ShapeRecord* shape, POINT* points,
                                  void* user, int x, int y);
int ShpForEachInExtent(ShpHandle h, const CDoubleRect* extent, int flags,
                       ShpPointsCallback callback, void* user);
// Records of a record set's words (bit k: record number k); always 1.
int ShpForEachInList(ShpHandle h, int limit, int members, const uint32_t* words,
                     ShpPointsCallback callback, void* user);
// Record indexes from next(user) until it gives -1; 1, or 0 on a read or
// memory failure.
int ShpForEachFromSource(ShpHandle h, int (*next)(void* user), ShpPointsCallback callback,
                         void* user);
