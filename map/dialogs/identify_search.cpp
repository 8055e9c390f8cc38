#include "map/dialogs/identify_search.h"

#include <cmath>

#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/feature_layer.h"

IdentifySearch IdentifySearch::AtPoint(double x, double y, double tolerance) {
    IdentifySearch s;
    s.x = x;
    s.y = y;
    s.tolerance = tolerance;
    s.rect = CDoubleRect(x - tolerance, y - tolerance, x + tolerance, y + tolerance);
    s.pointMode = true;
    return s;
}

bool IdentifySearch::Counts(CFeatureLayer& layer, int record) const {
    if (layer.GetKind() != LayerKind::Shape) return true;
    ShpHandle shp = layer.GetShapeFile();
    if (!shp) return true;
    const ShapeRecord* shape = ShpReadShape(shp, IndexFromRecordNumber(record));
    if (!shape) return false;
    const int geometry = GetShapeTypeGeometryClass(ShpGetRecordShapeType(shp, shape));
    if (geometry < 0) return false;  // a null shape
    const DoublePoint at{x, y};
    if (pointMode) {
        if (geometry == 1) return DistanceToShape(at, shape) <= tolerance;
        if (geometry == 2) return PointInShape(at, shape) != 0;
        return true;
    }
    CDoubleRect bounds;
    if (!ShpGetShapeBounds(shape, &bounds)) return false;
    if (geometry == 0)
        return bounds.xmin >= rect.xmin && bounds.xmin <= rect.xmax && bounds.ymin >= rect.ymin &&
               bounds.ymin <= rect.ymax;
    if (bounds.xmin >= rect.xmin && bounds.xmax <= rect.xmax && bounds.ymin >= rect.ymin &&
        bounds.ymax <= rect.ymax)
        return true;
    const double halfW = (rect.xmax - rect.xmin) / 2, halfH = (rect.ymax - rect.ymin) / 2;
    return DistanceToShape(at, shape) <= std::sqrt(halfW * halfW + halfH * halfH);
}

int IdentifySearch::ForEach(CFeatureLayer& layer, const std::function<void(int record)>& found) const {
    int counted = 0;
    for (int record = layer.FindNext(0, &rect); record > 0; record = layer.FindNext(record, &rect)) {
        if (!Counts(layer, record)) continue;
        ++counted;
        found(record);
    }
    return counted;
}
