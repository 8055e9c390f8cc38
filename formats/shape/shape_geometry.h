// Planar geometry on shape records in map units: point-in-rectangle and
// point-in-polygon tests, distances to lines, the nearest segment, a label
// point, segment intersection, ring area, the no-data measure, and the hit
// tests that find the feature under the stylus. Points are X then Y; point
// arrays are the 16-byte points of a record (read by copying). Points with a
// NaN coordinate are passed over.
#pragma once

#include <cstdint>

#include "core/double_rect.h"
#include "formats/shape/shape_record.h"

class ERecordSet;

int PointInRect(double x, double y, const CDoubleRect& extent);
int IsPointInRect(const DoublePoint& point, const CDoubleRect& extent);
int RectContainsPoint(const CDoubleRect& extent, const DoublePoint& point);
// 1 for NaN and for values at or below -1e39.
int IsNoDataMeasure(double m);
double* SetNoDataMeasure(double* m);

double Distance(const DoublePoint& a, const DoublePoint& b);
// The largest double for fewer than 2 points.
double DistanceToPolyline(const DoublePoint& p, const uint8_t* points, int n);
double DistanceToShape(const DoublePoint& p, const ShapeRecord* r);
// Index of the nearest segment with a perpendicular foot (a zero-length
// segment counts by its point), or -1.
int FindNearestSegment(const DoublePoint& p, int n, const uint8_t* points, DoublePoint* foot,
                       double* distance);
// Area centroid of a ring (fanned triangles); C/3 as a size measure, 0 for one
// or two points, -1 for none.
double GetLabelPoint(DoublePoint* out, const uint8_t* points, int n);
// Even-odd crossing test, half-open in Y so either winding gives the same
// answer for points level with a vertex.
int PointInRing(double x, double y, const uint8_t* points, int n);
int PointInShape(const DoublePoint& p, const ShapeRecord* r);
int PointInShape(double x, double y, const ShapeRecord* r);
// Positive for clockwise rings; 0 for fewer than 3 points.
double RingSignedArea(const uint8_t* points, int n);
int SegmentIntersection(DoublePoint* out, const DoublePoint& p1, const DoublePoint& p2,
                        const DoublePoint& p3, const DoublePoint& p4);

// Hit tests over a file (within an extent, or all), reading it mapped or
// record by record. The record index or -1; the distance gets the best one
// (the largest double when nothing was found).
int FindNearestPoint(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                     const CDoubleRect* extent, bool mapped);
int FindNearestLine(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                    const CDoubleRect* extent, bool mapped);
int FindContainingPolygon(ShpHandle h, const DoublePoint& p, double tolerance,
                          const CDoubleRect* extent, bool mapped);
// The same over the records whose bits are set (bit k: record index k - 1).
int FindNearestPointInSet(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                          int limit, int members, const uint32_t* words);
int FindNearestLineInSet(ShpHandle h, const DoublePoint& p, double tolerance, double* distance,
                         int limit, int members, const uint32_t* words);
int FindContainingPolygonInSet(ShpHandle h, const DoublePoint& p, double tolerance, int limit,
                               int members, const uint32_t* words);
