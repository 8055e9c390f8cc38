#include "script/data/script_rect.h"

#include <algorithm>

#include "crs/measure.h"
#include "script/data/script_point.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptRect::Desc() {
    using C = CScriptRect;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISRect", ScriptLibGuid(kLibISRect))
            .PropGet(u"Left", p::Left, &C::get_Left)
            .PropPut(u"Left", p::Left, &C::put_Left)
            .PropGet(u"Right", p::Right, &C::get_Right)
            .PropPut(u"Right", p::Right, &C::put_Right)
            .PropGet(u"Bottom", p::Bottom, &C::get_Bottom)
            .PropPut(u"Bottom", p::Bottom, &C::put_Bottom)
            .PropGet(u"Top", p::Top, &C::get_Top)
            .PropPut(u"Top", p::Top, &C::put_Top)
            .PropGet(u"Width", p::Width, &C::get_Width)
            .PropGet(u"Height", p::Height, &C::get_Height)
            .PropGet(u"Ceiling", p::Ceiling, &C::get_Ceiling)
            .PropPut(u"Ceiling", p::Ceiling, &C::put_Ceiling)
            .PropGet(u"Floor", p::Floor, &C::get_Floor)
            .PropPut(u"Floor", p::Floor, &C::put_Floor)
            .PropGet(u"Depth", p::Depth, &C::get_Depth)
            .PropGet(u"MinimumMeasure", p::MinimumMeasure, &C::get_MinimumMeasure)
            .PropPut(u"MinimumMeasure", p::MinimumMeasure, &C::put_MinimumMeasure)
            .PropGet(u"MaximumMeasure", p::MaximumMeasure, &C::get_MaximumMeasure)
            .PropPut(u"MaximumMeasure", p::MaximumMeasure, &C::put_MaximumMeasure)
            .PropGet(u"MeasureRange", p::MeasureRange, &C::get_MeasureRange)
            .PropGet(u"Center", p::Center, &C::get_Center)
            .PropGet(u"CoordinateSystem", p::CoordinateSystem, &C::get_CoordinateSystem)
            .PropGet(u"Perimeter", p::Perimeter, &C::get_Perimeter)
            .PropGet(u"Area", p::Area, &C::get_Area)
            .Method(u"ScaleRectangle", m::ScaleRectangle, &C::ScaleRectangle, {Param(u"Factor")})
            .Method(u"Inset", m::Inset, &C::Inset, {Param(u"dx"), Param(u"dy")})
            .Method(u"Offset", m::Offset, &C::Offset, {Param(u"dx"), Param(u"dy")})
            .Method(u"IsPointIn", m::IsPointIn, &C::IsPointIn, {Param(u"Point")}, VT_BOOL)
            .Build();
    return d;
}

const CoclassDesc& CScriptRect::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSRect), u"SRect", &Desc(), nullptr};
    return c;
}

CScriptRect* CScriptRect::Create(CScriptCoordSys* cs) {
    auto* o = new CScriptRect;
    o->m_cs = ComPtr<CScriptCoordSys>(cs);
    return o;
}

CScriptRect* CScriptRect::FromBox(const CDoubleRect& box, CScriptCoordSys* cs) {
    CScriptRect* o = Create(cs);
    o->m_left = box.xmin;
    o->m_bottom = box.ymin;
    o->m_right = box.xmax;
    o->m_top = box.ymax;
    return o;
}

CScriptRect* CScriptRect::FromExtent(const ShapeExtent& e, CScriptCoordSys* cs) {
    CScriptRect* o = Create(cs);
    o->m_left = e.xmin;
    o->m_bottom = e.ymin;
    o->m_right = e.xmax;
    o->m_top = e.ymax;
    o->m_floor = e.zmin;
    o->m_ceiling = e.zmax;
    o->m_minMeasure = e.mmin;
    o->m_maxMeasure = e.mmax;
    return o;
}

ComPtr<CScriptRect> CScriptRect::From(IDispatch* object) {
    ComPtr<IDispatch> d;
    if (!object || FAILED(object->QueryInterface(Desc().iid, d.ReceiveVoid())) || !d) return {};
    return ComPtr<CScriptRect>(static_cast<CScriptRect*>(d.Get()));
}

CDoubleRect CScriptRect::Normalized() const {
    CDoubleRect box;
    box.xmin = std::min(m_left, m_right);
    box.xmax = std::max(m_left, m_right);
    box.ymin = std::min(m_bottom, m_top);
    box.ymax = std::max(m_bottom, m_top);
    return box;
}

#define ZN_RECT_VALUE(NAME, FIELD)                  \
    HRESULT CScriptRect::get_##NAME(double* out) {  \
        *out = FIELD;                               \
        return S_OK;                                \
    }                                               \
    HRESULT CScriptRect::put_##NAME(double value) { \
        FIELD = value;                              \
        return S_OK;                                \
    }
ZN_RECT_VALUE(Left, m_left)
ZN_RECT_VALUE(Right, m_right)
ZN_RECT_VALUE(Bottom, m_bottom)
ZN_RECT_VALUE(Top, m_top)
ZN_RECT_VALUE(Ceiling, m_ceiling)
ZN_RECT_VALUE(Floor, m_floor)
ZN_RECT_VALUE(MinimumMeasure, m_minMeasure)
ZN_RECT_VALUE(MaximumMeasure, m_maxMeasure)
#undef ZN_RECT_VALUE

HRESULT CScriptRect::get_Width(double* out) {
    *out = m_right - m_left;
    return S_OK;
}
HRESULT CScriptRect::get_Height(double* out) {
    *out = m_top - m_bottom;
    return S_OK;
}
HRESULT CScriptRect::get_Depth(double* out) {
    *out = m_ceiling - m_floor;
    return S_OK;
}
HRESULT CScriptRect::get_MeasureRange(double* out) {
    *out = m_maxMeasure - m_minMeasure;
    return S_OK;
}

HRESULT CScriptRect::get_Center(IDispatch** out) {
    CScriptPoint* p =
        CScriptPoint::Create(11, m_left + (m_right - m_left) / 2, m_bottom + (m_top - m_bottom) / 2,
                             m_floor + (m_ceiling - m_floor) / 2,
                             m_minMeasure + (m_maxMeasure - m_minMeasure) / 2, m_cs.Get());
    *out = p;
    p->AddRef();
    return S_OK;
}

HRESULT CScriptRect::get_CoordinateSystem(IDispatch** out) {
    return HandOutCoordSys(m_cs.Get(), out);
}

namespace {
// The rectangle's ring, clockwise from the top left corner.
void Ring(const CScriptRect& r, DoublePoint ring[5]) {
    ring[0] = {r.m_left, r.m_top};
    ring[1] = {r.m_right, r.m_top};
    ring[2] = {r.m_right, r.m_bottom};
    ring[3] = {r.m_left, r.m_bottom};
    ring[4] = ring[0];
}
}  // namespace

HRESULT CScriptRect::get_Perimeter(double* out) {
    *out = 0.0;
    CCoordSys* cs = nullptr;
    if (FAILED(ScriptSystemOf(m_cs.Get(), &cs))) return E_FAIL;
    DoublePoint ring[5];
    Ring(*this, ring);
    *out = cs ? MeasureLength(cs, 5, ring) : PolylineLength(5, ring);
    return S_OK;
}

HRESULT CScriptRect::get_Area(double* out) {
    *out = 0.0;
    CCoordSys* cs = nullptr;
    if (FAILED(ScriptSystemOf(m_cs.Get(), &cs))) return E_FAIL;
    DoublePoint ring[5];
    Ring(*this, ring);
    *out = cs ? MeasureArea(cs, 5, ring) : RingArea(5, ring);
    return S_OK;
}

HRESULT CScriptRect::ScaleRectangle(double factor) {
    const double dx = (m_right - m_left) / 2 * (factor - 1);
    const double dy = (m_top - m_bottom) / 2 * (factor - 1);
    m_left -= dx;
    m_right += dx;
    m_bottom -= dy;
    m_top += dy;
    return S_OK;
}

HRESULT CScriptRect::Inset(double dx, double dy) {
    m_left += dx;
    m_right -= dx;
    m_bottom += dy;
    m_top -= dy;
    return S_OK;
}

HRESULT CScriptRect::Offset(double dx, double dy) {
    m_left += dx;
    m_right += dx;
    m_bottom += dy;
    m_top += dy;
    return S_OK;
}

HRESULT CScriptRect::IsPointIn(IDispatch* point, int16_t* out) {
    *out = VARIANT_FALSE;
    ComPtr<CScriptPoint> p = CScriptPoint::From(point);
    if (!p) return E_NOINTERFACE;
    const bool in = m_left <= p->m_x && p->m_x <= m_right && m_bottom <= p->m_y && p->m_y <= m_top;
    *out = in ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
