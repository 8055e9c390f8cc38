#include "script/data/script_point.h"

#include "crs/code_tables.h"
#include "crs/measure.h"
#include "crs/mgrs.h"
#include "formats/shape/shape_geometry.h"
#include "script/data/script_rect.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptPoint::Desc() {
    using C = CScriptPoint;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISPoint", ScriptLibGuid(kLibISPoint))
            .PropGet(u"ShapeType", p::ShapeType, &C::get_ShapeType)
            .PropGet(u"x", p::x, &C::get_x)
            .PropPut(u"x", p::x, &C::put_x)
            .PropGet(u"y", p::y, &C::get_y)
            .PropPut(u"y", p::y, &C::put_y)
            .PropGet(u"Z", p::Z, &C::get_Z)
            .PropPut(u"Z", p::Z, &C::put_Z)
            .PropGet(u"Measure", p::Measure, &C::get_Measure)
            .PropPut(u"Measure", p::Measure, &C::put_Measure)
            .PropGet(u"IsMeasured", p::IsMeasured, &C::get_IsMeasured, {}, VT_BOOL)
            .PropGet(u"Extent", p::Extent, &C::get_Extent)
            .PropGet(u"CoordinateSystem", p::CoordinateSystem, &C::get_CoordinateSystem)
            .PropGet(u"MGRS", p::MGRS, &C::get_MGRS)
            .PropPut(u"MGRS", p::MGRS, &C::put_MGRS)
            .Method(u"DistanceTo", m::DistanceTo, &C::DistanceTo, {Param(u"Shape")})
            .Method(u"BearingTo", m::BearingTo, &C::BearingTo, {Param(u"Shape")})
            .Build();
    return d;
}

const CoclassDesc& CScriptPoint::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSPoint), u"SPoint", &Desc(), nullptr};
    return c;
}

CScriptPoint* CScriptPoint::Create(int32_t shapeType, double x, double y, double z, double m,
                                   CScriptCoordSys* cs) {
    auto* o = new CScriptPoint;
    o->m_shapeType = shapeType;
    o->m_x = x;
    o->m_y = y;
    o->m_z = z;
    o->m_m = m;
    o->m_cs = ComPtr<CScriptCoordSys>(cs);
    return o;
}

ComPtr<CScriptPoint> CScriptPoint::From(IDispatch* object) {
    ComPtr<IDispatch> d;
    if (!object || FAILED(object->QueryInterface(Desc().iid, d.ReceiveVoid())) || !d) return {};
    // Only this class answers its interface.
    return ComPtr<CScriptPoint>(static_cast<CScriptPoint*>(d.Get()));
}

HRESULT CScriptPoint::get_ShapeType(int32_t* out) {
    *out = m_shapeType;
    return S_OK;
}
HRESULT CScriptPoint::get_x(double* out) {
    *out = m_x;
    return S_OK;
}
HRESULT CScriptPoint::put_x(double value) {
    m_x = value;
    return S_OK;
}
HRESULT CScriptPoint::get_y(double* out) {
    *out = m_y;
    return S_OK;
}
HRESULT CScriptPoint::put_y(double value) {
    m_y = value;
    return S_OK;
}
HRESULT CScriptPoint::get_Z(double* out) {
    *out = m_z;
    return S_OK;
}
HRESULT CScriptPoint::put_Z(double value) {
    m_z = value;
    return S_OK;
}
HRESULT CScriptPoint::get_Measure(double* out) {
    *out = m_m;
    return S_OK;
}
HRESULT CScriptPoint::put_Measure(double value) {
    m_m = value;
    return S_OK;
}

HRESULT CScriptPoint::get_IsMeasured(int16_t* out) {
    *out = m_shapeType > 10 && !IsNoDataMeasure(m_m) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptPoint::get_Extent(IDispatch** out) {
    CScriptRect* r = CScriptRect::Create(m_cs.Get());
    r->m_left = r->m_right = m_x;
    r->m_bottom = r->m_top = m_y;
    r->m_floor = r->m_ceiling = m_z;
    r->m_minMeasure = r->m_maxMeasure = m_m;
    *out = r;
    r->AddRef();
    return S_OK;
}

HRESULT CScriptPoint::get_CoordinateSystem(IDispatch** out) {
    return HandOutCoordSys(m_cs.Get(), out);
}

HRESULT CScriptPoint::get_MGRS(BSTR* out) {
    *out = nullptr;
    CCoordSys* cs = nullptr;
    if (!m_cs || FAILED(ScriptSystemOf(m_cs.Get(), &cs)) || cs->m_projectionCode == 0)
        return E_FAIL;
    double lon = m_x, lat = m_y;
    if (cs->m_projectionCode != crs_code::kGeographic)
        cs->ProjectedToGeographic(m_x, m_y, &lon, &lat);
    CMGRSConverter converter;
    *out = SysAllocString(converter.Format(lon, lat, cs->m_datum));
    return S_OK;
}

HRESULT CScriptPoint::put_MGRS(BSTR) {
    return E_NOTIMPL;
}

HRESULT CScriptPoint::Measure(IDispatch* shape, double* distance, double* bearing) {
    ComPtr<CScriptPoint> other = From(shape);
    if (!other) return E_NOINTERFACE;
    CCoordSys* mine = nullptr;
    CCoordSys* theirs = nullptr;
    if (FAILED(ScriptSystemOf(m_cs.Get(), &mine)) ||
        FAILED(ScriptSystemOf(other->m_cs.Get(), &theirs)))
        return E_FAIL;
    const DoublePoint a{m_x, m_y};
    const DoublePoint b{other->m_x, other->m_y};
    *distance = mine ? MeasureDistanceBetween(mine, a, b, theirs, bearing)
                     : PlanarPointDistance(a, b, bearing);
    return S_OK;
}

HRESULT CScriptPoint::DistanceTo(IDispatch* shape, double* out) {
    *out = 0.0;
    double bearing;
    return Measure(shape, out, &bearing);
}

HRESULT CScriptPoint::BearingTo(IDispatch* shape, double* out) {
    *out = 0.0;
    double distance;
    return Measure(shape, &distance, out);
}
