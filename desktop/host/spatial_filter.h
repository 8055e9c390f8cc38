// The spatial filter: a rectangle and the relation features must have with
// it. Relation 1 (intersects) is a true test on the geometry, edges
// included: a point inside the rectangle, a vertex inside or a segment
// crossing an edge, or (for polygons) a corner of the rectangle inside the
// polygon. A box test alone would keep an L-shaped line whose box overlaps
// the rectangle while the line itself stays outside.
#pragma once

#include "core/double_rect.h"
#include "desktop/host/host_interfaces.h"
#include "formats/shape/shape_record.h"

namespace host {

class SpatialFilter : public IHostSpatialFilter {
public:
    void SetGeometry(const HostEnvelope& envelope) override;
    HostEnvelope Geometry() const override;
    void SetIntersects(bool intersects) override;
    bool Intersects() const override;
    void SetOutputSpatialReference(std::shared_ptr<IHostSpatialReference> reference) override;
    std::shared_ptr<IHostSpatialReference> OutputSpatialReference() const override;

private:
    HostEnvelope m_envelope;
    bool m_set = false;
    bool m_intersects = true;
    std::shared_ptr<IHostSpatialReference> m_reference;
};

// Whether the shape meets the rectangle (closed): points, multipoints,
// lines and polygons; a null shape never does.
bool ShapeMeetsRect(const ShapeRecord* r, const CDoubleRect& rect);
// A filter's test taken once (the rectangle and relation at that time):
// the true test for relation 1, the box test otherwise; every shape passes
// without a filter.
class ShapeTest {
public:
    explicit ShapeTest(const IHostSpatialFilter* filter);
    bool Passes(const ShapeRecord* r) const;
    bool Any() const { return !m_active; }

private:
    bool m_active = false;
    bool m_intersects = true;
    CDoubleRect m_rect;
};

}  // namespace host
