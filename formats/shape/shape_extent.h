// Shape extents: the box, Z range and M range of a shapefile's header, their
// fixed initial values and their accumulation from points and boxes.
#pragma once

#include "core/double_rect.h"
#include "formats/shape/shape_record.h"

// Box 0, 0, -1, -1 (empty), Z 0, 0, M no-data.
void ExtentInitNew(ShapeExtent* e);
// Minima the largest double, maxima the most negative.
void ExtentInitAccumulate(ShapeExtent* e);
// Axes that received nothing get the values of a new file.
void ExtentFinish(ShapeExtent* e);
// Points with a NaN or no-data coordinate are passed over.
void ExtentAddXY(ShapeExtent* e, double x, double y);
void ExtentAddZ(ShapeExtent* e, double z);
// Nonzero (and nothing added) for a no-data m.
int ExtentAddM(ShapeExtent* e, double m);
// X and Y of a point record; plus its M; plus its Z and M.
void ExtentAddPoint(ShapeExtent* e, const ShapeRecord* point);
void ExtentAddPointM(ShapeExtent* e, const ShapeRecord* point);
void ExtentAddPointZ(ShapeExtent* e, const ShapeRecord* point);
// Skips the empty box.
void ExtentAddBox(ShapeExtent* e, const CDoubleRect& box);
// X/Y box of `count` points (16 bytes each); the empty box for none.
void ExtentOfXYPoints(CDoubleRect* box, int count, const uint8_t* points);
// Box plus Z and M ranges (no-data M values passed over); returns 0.
int ExtentOfPoints(ShapeExtent* e, int count, const uint8_t* points, const uint8_t* z,
                   const uint8_t* m);
// Recomputes the header's extent from every live record and writes the
// headers. With recomputeBoxes each record's box (and Z range) is also
// recomputed in the file, which must then be open for writing (else 0).
// 0 also when the headers could not be written (they stay pending).
int ShpRecomputeExtent(ShpHandle h, int recomputeBoxes);
