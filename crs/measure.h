// Distance, length and area. The planar family works on coordinates as they
// are; the measuring family takes the system into account: on a geographic
// system distances are ellipsoidal (metres) and areas are taken in a
// cylindrical equal-area projection centred on the ring (square metres);
// on any other system it is the planar family in projection units.
//
// Ellipsoidal distance: Sodano's non-iterative inverse to the second order in
// the flattening (E. M. Sodano, "General non-iterative solution of the inverse
// and direct geodetic problems", Bulletin Geodesique 75, 1965, pp. 69-89).
// Departure: the arc sigma from atan2(sin, cos) instead of asin(sin), so
// arcs over 90 degrees are measured, not their supplement.
// Accuracy against GeodSolve on WGS 1984 (tests/data/crs/geodesic_geodsolve.csv):
// about f^3 of the distance (4e-8: 0.4 mm at 14 km, 3 cm at 900 km, 0.5 m at
// 13 000 km), azimuths 2e-4 deg; nearly antipodal points are off by metres
// (12 m at 19 585 km) and their azimuths by half a degree. Areas: 1e-6 relative for cells of a
// degree (against Planimeter). A ring crossing 180 degrees is not measured right (its box spans the
// globe).
#pragma once

#include "core/double_rect.h"

class CCoordSys;
struct ShapeRecord;

// Azimuths in degrees clockwise from north (+y), in (0, 360]; null pointers
// skip them.
double PlanarDistance(double x1, double y1, double x2, double y2, double* forwardAzimuth = nullptr,
                      double* backAzimuth = nullptr);
double PlanarPointDistance(const DoublePoint& p1, const DoublePoint& p2,
                           double* forwardAzimuth = nullptr, double* backAzimuth = nullptr);
// Sum of the segment lengths; 0 for fewer than 2 points.
double PolylineLength(int n, const DoublePoint* points);
// Shoelace area, positive for a clockwise ring; 0 for fewer than 3 points.
double RingArea(int n, const DoublePoint* points);

// Distance in the unit of a between two positions (degrees) on the spheroid.
// Coincident points give 0 and NaN azimuths.
double EllipsoidDistance(double a, double f, double lon1, double lat1, double lon2, double lat2,
                         double* forwardAzimuth = nullptr, double* backAzimuth = nullptr);

double MeasureDistanceXY(CCoordSys* cs, double x1, double y1, double x2, double y2,
                         double* forwardAzimuth = nullptr, double* backAzimuth = nullptr);
double MeasureDistance(CCoordSys* cs, const DoublePoint& p1, const DoublePoint& p2,
                       double* forwardAzimuth = nullptr, double* backAzimuth = nullptr);
// p1 in s1, p2 in s2 (null: s1). Equal systems: MeasureDistance in s1; else
// the ellipsoidal distance on s1's spheroid (metres) after shifting p2 to
// s1's datum.
double MeasureDistanceBetween(CCoordSys* s1, const DoublePoint& p1, const DoublePoint& p2,
                              CCoordSys* s2, double* forwardAzimuth = nullptr,
                              double* backAzimuth = nullptr);
double MeasureLength(CCoordSys* cs, int n, const DoublePoint* points);
// Absolute area of a ring.
double MeasureArea(CCoordSys* cs, int n, const DoublePoint* points);
// The same, signed: clockwise positive. A polygon's area is the absolute value
// of the sum over its rings, so holes (anticlockwise) are subtracted.
double MeasureSignedArea(CCoordSys* cs, int n, const DoublePoint* points);

// Shapes (shape records): lengths of polyline and polygon shapes, areas of
// polygon shapes as the sum over their rings; 0 for other types or no parts.
double ShapeLength(const ShapeRecord* shape);
// Signed: clockwise outer rings count positive, holes negative.
double ShapeArea(const ShapeRecord* shape);
double MeasureShapeLength(CCoordSys* cs, const ShapeRecord* shape);
// |sum of the signed ring areas|: holes are subtracted.
double MeasureShapeArea(CCoordSys* cs, const ShapeRecord* shape);
