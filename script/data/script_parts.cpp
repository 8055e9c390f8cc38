#include "script/data/script_parts.h"

#include "platform/com/objects.h"
#include "script/data/script_points.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptParts::Desc() {
    using C = CScriptParts;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"ISParts", ScriptLibGuid(kLibISParts))
            .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
            .PropGet(u"Count", dispid::prop::Count, &C::get_Count)
            .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
            .Build();
    return d;
}

const CoclassDesc& CScriptParts::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibSParts), u"SParts", &Desc(), nullptr};
    return c;
}

CScriptParts* CScriptParts::Create(ScriptShapePtr shape, CScriptCoordSys* cs) {
    auto* o = new CScriptParts;
    o->m_shape = std::move(shape);
    o->m_cs = ComPtr<CScriptCoordSys>(cs);
    return o;
}

HRESULT CScriptParts::get__NewEnum(IUnknown** out) {
    if (!out) return E_POINTER;
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptParts::get_Count(int32_t* out) {
    *out = 0;
    if (!m_shape) return E_FAIL;
    *out = ShapeGetPartCount(m_shape->Record());
    return S_OK;
}

HRESULT CScriptParts::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_shape) return E_FAIL;
    int32_t position;
    if (FAILED(ScriptCollectionIndex(index, &position))) return E_FAIL;
    if (position < 1 || position > ShapeGetPartCount(m_shape->Record())) return E_INVALIDARG;
    *out = CScriptPoints::Create(m_shape, position - 1, m_cs.Get());
    (*out)->AddRef();
    return S_OK;
}
