#include "desktop/host/spatial_filter.h"

#include "desktop/host/host_faults.h"
#include <algorithm>

#include "formats/shape/shape_geometry.h"

namespace host {

void SpatialFilter::SetGeometry(const HostEnvelope& envelope) {
    HostFaults::Check("IHostSpatialFilter::SetGeometry");
    if (!(envelope.xmin <= envelope.xmax && envelope.ymin <= envelope.ymax))
        throw HostError("not an extent");
    m_envelope = envelope;
    m_set = true;
}

HostEnvelope SpatialFilter::Geometry() const {
    HostFaults::Check("IHostSpatialFilter::Geometry");
    if (!m_set) throw HostError("the filter has no geometry");
    return m_envelope;
}

void SpatialFilter::SetIntersects(bool intersects) {
    HostFaults::Check("IHostSpatialFilter::SetIntersects");
    m_intersects = intersects;
}

bool SpatialFilter::Intersects() const {
    HostFaults::Check("IHostSpatialFilter::Intersects");
    return m_intersects;
}

void SpatialFilter::SetOutputSpatialReference(std::shared_ptr<IHostSpatialReference> reference) {
    HostFaults::Check("IHostSpatialFilter::SetOutputSpatialReference");
    m_reference = std::move(reference);
}

std::shared_ptr<IHostSpatialReference> SpatialFilter::OutputSpatialReference() const {
    HostFaults::Check("IHostSpatialFilter::OutputSpatialReference");
    return m_reference;
}

bool ShapeMeetsRect(const ShapeRecord* r, const CDoubleRect& rect) {
    if (!r) return false;
    const int type = ShpGetRecordShapeType(nullptr, r);
    if (!IsBuildableShapeType(type)) return false;
    const uint8_t* points = ShapeGetPoints(r);
    const int n = ShpGetPointCount(r);
    if (!points || n <= 0) return false;
    for (int i = 0; i < n; ++i) {
        const DoublePoint p = ShapeLoadPoint(points, i);
        if (PointInRect(p.x, p.y, rect)) return true;
    }
    if (!IsLineOrPolygonShapeType(type)) return false;
    // No vertex inside: the shape meets the rectangle only where a segment
    // crosses one of its edges, or where a polygon holds the whole rectangle.
    const DoublePoint corners[4] = {
        {rect.xmin, rect.ymin}, {rect.xmax, rect.ymin}, {rect.xmax, rect.ymax}, {rect.xmin, rect.ymax}};
    const int parts = ShapeGetPartCount(r);
    for (int k = 0; k < parts; ++k) {
        int last;
        const int first = ShapeGetPartRange(r, k, &last);
        if (first < 0) continue;
        for (int i = first; i < last; ++i) {
            const DoublePoint a = ShapeLoadPoint(points, i), b = ShapeLoadPoint(points, i + 1);
            // Segments whose box misses the rectangle cannot cross it.
            if (std::max(a.x, b.x) < rect.xmin || std::min(a.x, b.x) > rect.xmax ||
                std::max(a.y, b.y) < rect.ymin || std::min(a.y, b.y) > rect.ymax)
                continue;
            for (int e = 0; e < 4; ++e)
                if (SegmentIntersection(nullptr, a, b, corners[e], corners[(e + 1) % 4])) return true;
        }
    }
    if (IsPolygonShapeType(type)) {
        for (const DoublePoint& c : corners)
            if (PointInShape(c, r)) return true;
    }
    return false;
}

ShapeTest::ShapeTest(const IHostSpatialFilter* filter) {
    if (!filter) return;
    const HostEnvelope e = filter->Geometry();
    m_rect = CDoubleRect(e.xmin, e.ymin, e.xmax, e.ymax);
    m_intersects = filter->Intersects();
    m_active = true;
}

bool ShapeTest::Passes(const ShapeRecord* r) const {
    if (!m_active) return true;
    if (m_intersects) return ShapeMeetsRect(r, m_rect);
    if (!r) return false;
    const int type = ShpGetRecordShapeType(nullptr, r);
    if (IsPointShapeType(type)) {
        const uint8_t* p = ShapeGetPoints(r);
        if (!p) return false;
        const DoublePoint q = ShapeLoadPoint(p, 0);
        return PointInRect(q.x, q.y, m_rect);
    }
    CDoubleRect box;
    return ShpGetShapeBounds(r, &box) && box.Intersects(m_rect);
}

}  // namespace host
