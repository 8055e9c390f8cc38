#include "script/data/script_points.h"

#include "formats/shape/shape_extent.h"
#include "platform/com/objects.h"
#include "script/data/script_point.h"
#include "script/data/script_rect.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptPoints::Desc() {
    using C = CScriptPoints;
    namespace p = dispid::prop;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISPoints", ScriptLibGuid(kLibISPoints))
            .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
            .PropGet(u"ShapeType", p::ShapeType, &C::get_ShapeType)
            .PropGet(u"Count", p::Count, &C::get_Count)
            .PropGet(u"Extent", p::Extent, &C::get_Extent)
            .PropGet(u"CoordinateSystem", p::CoordinateSystem, &C::get_CoordinateSystem)
            .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
            .Build();
    return d;
}

const CoclassDesc& CScriptPoints::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSPoints), u"SPoints", &Desc(), nullptr};
    return c;
}

CScriptPoints* CScriptPoints::Create(ScriptShapePtr shape, int32_t part, CScriptCoordSys* cs) {
    auto* o = new CScriptPoints;
    o->m_shape = std::move(shape);
    o->m_part = part;
    o->m_cs = ComPtr<CScriptCoordSys>(cs);
    return o;
}

HRESULT ScriptCollectionIndex(const VARIANT& index, int32_t* out) {
    ComVariant n;
    if (FAILED(VariantChangeType(&n, VariantDeref(&index), 0, VT_I4))) return E_FAIL;
    *out = n.lVal;
    return S_OK;
}

void CScriptPoints::Range(int* first, int* count) const {
    const ShapeRecord* r = m_shape->Record();
    if (IsMultiPointShapeType(m_shape->Type())) {
        *first = 0;
        *count = ShpGetPointCount(r);
        return;
    }
    int last = 0;
    *first = ShapeGetPartRange(r, m_part, &last);
    *count = *first < 0 ? 0 : ShapeGetPartPointCount(r, m_part);
    if (*first < 0) *first = 0;
}

HRESULT CScriptPoints::get__NewEnum(IUnknown** out) {
    if (!out) return E_POINTER;
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptPoints::get_ShapeType(int32_t* out) {
    *out = m_shape ? m_shape->Type() : 0;
    return S_OK;
}

HRESULT CScriptPoints::get_Count(int32_t* out) {
    *out = 0;
    if (!m_shape) return E_FAIL;
    int first, count;
    Range(&first, &count);
    *out = count;
    return S_OK;
}

HRESULT CScriptPoints::get_Extent(IDispatch** out) {
    *out = nullptr;
    if (!m_shape) return E_FAIL;
    const ShapeRecord* r = m_shape->Record();
    ShapeExtent e;
    if (IsMultiPointShapeType(m_shape->Type())) {
        if (!ShpGetShapeExtent(nullptr, &e, r)) return E_FAIL;
    } else {
        int first, count;
        Range(&first, &count);
        const uint8_t* z = ShapeGetZArray(r);
        const uint8_t* m = ShapeGetMArray(r);
        ExtentOfPoints(&e, count, ShapeGetPoints(r) + 16 * static_cast<size_t>(first),
                       z ? z + 8 * static_cast<size_t>(first) : nullptr,
                       m ? m + 8 * static_cast<size_t>(first) : nullptr);
    }
    *out = CScriptRect::FromExtent(e, m_cs.Get());
    (*out)->AddRef();
    return S_OK;
}

HRESULT CScriptPoints::get_CoordinateSystem(IDispatch** out) {
    return HandOutCoordSys(m_cs.Get(), out);
}

HRESULT CScriptPoints::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_shape) return E_FAIL;
    int32_t position;
    if (FAILED(ScriptCollectionIndex(index, &position))) return E_FAIL;
    int first, count;
    Range(&first, &count);
    if (position < 1 || position > count) return E_INVALIDARG;
    double v[4];
    if (ShpGetPartPointXYZM(nullptr, first + position - 1, v, m_shape->Record()) < 0) return E_FAIL;
    *out = CScriptPoint::Create(11, v[0], v[1], v[2], v[3], m_cs.Get());
    (*out)->AddRef();
    return S_OK;
}
