#include "script/data/script_polygon.h"

#include <cmath>

#include "crs/measure.h"
#include "formats/shape/shape_geometry.h"
#include "script/data/script_point.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptPolygon::Desc() {
    using C = CScriptPolygon;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISPolygon", ScriptLibGuid(kLibISPolygon))
            .PropGet(u"Parts", dispid::kDefault, &C::get_Parts)
            .PropGet(u"ShapeType", p::ShapeType, &C::get_ShapeType)
            .PropGet(u"Extent", p::Extent, &C::get_Extent)
            .PropGet(u"CoordinateSystem", p::CoordinateSystem, &C::get_CoordinateSystem)
            .PropGet(u"Perimeter", p::Perimeter, &C::get_Length)
            .PropGet(u"Area", p::Area, &C::get_Area)
            .Method(u"IsPointIn", dispid::method::IsPointIn, &C::IsPointIn, {Param(u"Point")},
                    VT_BOOL)
            .Build();
    return d;
}

const CoclassDesc& CScriptPolygon::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSPolygon), u"SPolygon", &Desc(), nullptr};
    return c;
}

// Holes count against the area whichever way the rings run.
HRESULT CScriptPolygon::get_Area(double* out) {
    *out = 0.0;
    CCoordSys* cs = nullptr;
    if (!m_shape || FAILED(ScriptSystemOf(m_cs.Get(), &cs))) return E_FAIL;
    *out = cs ? MeasureShapeArea(cs, m_shape->Record()) : std::fabs(ShapeArea(m_shape->Record()));
    return S_OK;
}

HRESULT CScriptPolygon::IsPointIn(IDispatch* point, int16_t* out) {
    *out = VARIANT_FALSE;
    ComPtr<CScriptPoint> p = CScriptPoint::From(point);
    if (!p) return E_NOINTERFACE;
    if (!m_shape) return E_FAIL;
    *out = PointInShape(p->m_x, p->m_y, m_shape->Record()) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
