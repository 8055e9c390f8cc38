#include "script/data/script_polyline.h"

#include "crs/measure.h"
#include "script/data/script_parts.h"
#include "script/data/script_polygon.h"
#include "script/data/script_rect.h"
#include "script/member_ids.h"

template <class T>
HRESULT CScriptShapeObject<T>::get_Parts(IDispatch** out) {
    *out = nullptr;
    if (!m_shape) return E_FAIL;
    *out = CScriptParts::Create(m_shape, m_cs.Get());
    (*out)->AddRef();
    return S_OK;
}

template <class T>
HRESULT CScriptShapeObject<T>::get_ShapeType(int32_t* out) {
    *out = m_shape ? m_shape->Type() : 0;
    return S_OK;
}

template <class T>
HRESULT CScriptShapeObject<T>::get_Extent(IDispatch** out) {
    *out = nullptr;
    ShapeExtent e;
    if (!m_shape || !ShpGetShapeExtent(nullptr, &e, m_shape->Record())) return E_FAIL;
    *out = CScriptRect::FromExtent(e, m_cs.Get());
    (*out)->AddRef();
    return S_OK;
}

template <class T>
HRESULT CScriptShapeObject<T>::get_CoordinateSystem(IDispatch** out) {
    return HandOutCoordSys(m_cs.Get(), out);
}

// An empty line has no length to give.
template <class T>
HRESULT CScriptShapeObject<T>::get_Length(double* out) {
    *out = 0.0;
    CCoordSys* cs = nullptr;
    if (!m_shape || FAILED(ScriptSystemOf(m_cs.Get(), &cs))) return E_FAIL;
    *out = cs ? MeasureShapeLength(cs, m_shape->Record()) : ShapeLength(m_shape->Record());
    return S_OK;
}

template class CScriptShapeObject<CScriptPolyline>;
template class CScriptShapeObject<CScriptPolygon>;

const InterfaceDesc& CScriptPolyline::Desc() {
    using C = CScriptPolyline;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISPolyline", ScriptLibGuid(kLibISPolyline))
            .PropGet(u"Parts", dispid::kDefault, &C::get_Parts)
            .PropGet(u"ShapeType", p::ShapeType, &C::get_ShapeType)
            .PropGet(u"Extent", p::Extent, &C::get_Extent)
            .PropGet(u"CoordinateSystem", p::CoordinateSystem, &C::get_CoordinateSystem)
            .PropGet(u"Length", p::Length, &C::get_Length)
            .Build();
    return d;
}

const CoclassDesc& CScriptPolyline::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSPolyline), u"SPolyline", &Desc(), nullptr};
    return c;
}
