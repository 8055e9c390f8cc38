// Which features of a layer an identify finds: the candidates the layer's
// search gives for the search rectangle, then, for a shapefile layer, the
// tests of the point and rectangle modes. Other feature layers' candidates
// are their own answer and always count.
//
// Point mode: a line within the tolerance of the point, a polygon holding
// the point, every point and multipoint. Rectangle mode: a point feature
// whose box's lower-left corner (the point) lies in the rectangle, bounds
// included; any other feature whose box lies within the rectangle, else
// whose outline is within half the rectangle's diagonal of the point.
#pragma once

#include <functional>

#include "core/double_rect.h"

class CFeatureLayer;

struct IdentifySearch {
    double x = 0, y = 0;    // the identify point
    double tolerance = 0;   // the search radius of point mode
    CDoubleRect rect;       // the search rectangle
    bool pointMode = true;

    // Point mode around (x, y): the rectangle is the point +- tolerance.
    static IdentifySearch AtPoint(double x, double y, double tolerance);

    // Whether the record (from 1) counts.
    bool Counts(CFeatureLayer& layer, int record) const;
    // Calls `found` with each counted record (from 1) in the layer's order;
    // the number counted.
    int ForEach(CFeatureLayer& layer, const std::function<void(int record)>& found) const;
};
