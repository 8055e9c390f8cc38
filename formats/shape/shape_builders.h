// Shape builders: a new record of the file's own type from a point, a
// rectangle, an ellipse, a segment or a point list, appended at once with a
// blank attribute row. Polygon rings are stored clockwise. Each returns the
// new record index, or -1 with nothing written.
#pragma once

#include "core/double_rect.h"
#include "formats/shape/shape_record.h"

int ShpAppendPoint(ShpHandle h, const DoublePoint& point);
int ShpAppendPointXY(ShpHandle h, double x, double y);
int ShpAppendPointM(ShpHandle h, double x, double y, double m);
int ShpAppendPointZM(ShpHandle h, double x, double y, double z, double m);
int ShpAppendRectangle(ShpHandle h, const CDoubleRect& rect);
int ShpAppendRectangleXY(ShpHandle h, double xmin, double ymin, double xmax, double ymax, double z,
                         double m);
// 4q + 1 points from the top, clockwise; q below 1 or a flat rectangle: -1.
int ShpAppendEllipse(ShpHandle h, const CDoubleRect& rect, int q);
int ShpAppendEllipseXY(ShpHandle h, double xmin, double ymin, double xmax, double ymax, int q,
                       double z, double m);
// Line files only.
int ShpAppendSegment(ShpHandle h, const DoublePoint& a, const DoublePoint& b);
int ShpAppendSegmentXY(ShpHandle h, double x1, double y1, double x2, double y2, double z, double m);
// Closed for polygon files (which need 3 distinct points); as given for lines.
int ShpAppendPointList(ShpHandle h, int count, const DoublePoint* points);
