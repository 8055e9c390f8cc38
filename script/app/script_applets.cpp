#include "script/app/script_applets.h"

#include "script/app/applet.h"
#include "script/app/applets.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptApplets::Desc() {
    using C = CScriptApplets;
    static const InterfaceDesc d = InterfaceBuilder<C>(u"IApplets", ScriptLibGuid(kLibIApplets))
                                       .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
                                       .PropGet(u"Count", dispid::prop::Count, &C::get_Count)
                                       .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
                                       .Build();
    return d;
}

const CoclassDesc& CScriptApplets::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibApplets), u"Applets", &Desc(), nullptr};
    return c;
}

CScriptApplets* CScriptApplets::Create(CApplets* list) {
    auto* o = new CScriptApplets;
    o->m_list = list;
    return o;
}

HRESULT CScriptApplets::get__NewEnum(IUnknown** out) {
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptApplets::get_Count(int32_t* out) {
    *out = m_list ? m_list->GetCount() : 0;
    return S_OK;
}

HRESULT CScriptApplets::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_list) return S_OK;
    const VARIANT* v = VariantDeref(&index);
    int position = -1;
    if (v->vt == VT_BSTR) {
        position = m_list->IndexOf(BstrView(v->bstrVal));
    } else {
        ComVariant n;
        if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return E_INVALIDARG;
        position = n.lVal - 1;
    }
    // A name or position that matches no applet answers Nothing.
    if (CApplet* applet = m_list->GetAt(position)) *out = applet->GetScriptObject(true);
    return S_OK;
}
