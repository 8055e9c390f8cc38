#include "script/app/script_extensions.h"

#include "script/app/script_extension.h"
#include "script/member_ids.h"
#include "shell/extensions/extensions.h"

const InterfaceDesc& CScriptExtensions::Desc() {
    using C = CScriptExtensions;
    static const InterfaceDesc d = InterfaceBuilder<C>(u"IExtensions", ScriptLibGuid(kLibIExtensions))
                                       .PropGet(u"_NewEnum", dispid::kNewEnum, &C::get__NewEnum)
                                       .PropGet(u"Count", dispid::prop::Count, &C::get_Count)
                                       .Method(u"Item", dispid::kDefault, &C::Item, {Param(u"Index")})
                                       .Build();
    return d;
}

const CoclassDesc& CScriptExtensions::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibExtensions), u"Extensions", &Desc(), nullptr};
    return c;
}

CScriptExtensions* CScriptExtensions::Create(CExtensions* list) {
    auto* o = new CScriptExtensions;
    o->m_list = list;
    return o;
}

void CScriptExtensions::InstallFactories() {
    SetExtensionObjectFactory([](CExtension* extension) -> IDispatch* {
        auto* o = CScriptExtension::Create(extension);
        o->AddRef();
        return o;
    });
    CExtensions::SetCollectionObjectFactory([](CExtensions* list) -> IDispatch* {
        auto* o = CScriptExtensions::Create(list);
        o->AddRef();
        return o;
    });
}

void CScriptExtensions::RemoveFactories() {
    SetExtensionObjectFactory(nullptr);
    CExtensions::SetCollectionObjectFactory(nullptr);
}

HRESULT CScriptExtensions::get__NewEnum(IUnknown** out) {
    *out = NewCollectionEnumerator(this);
    return S_OK;
}

HRESULT CScriptExtensions::get_Count(int32_t* out) {
    *out = m_list->GetCount();
    return S_OK;
}

HRESULT CScriptExtensions::Item(VARIANT index, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const VARIANT* v = VariantDeref(&index);
    CExtension* found = nullptr;
    if (v->vt == VT_BSTR) {
        // Codes are compared as written.
        WStringView code = BstrView(v->bstrVal);
        for (int i = 0; i < m_list->GetCount(); ++i)
            if (m_list->GetAt(i)->GetCodeText() == code) {
                found = m_list->GetAt(i);
                break;
            }
        if (!found) return S_OK;
    } else {
        ComVariant n;
        if (FAILED(VariantChangeType(&n, v, 0, VT_I4))) return E_FAIL;
        if (n.lVal < 1 || n.lVal > m_list->GetCount()) return E_INVALIDARG;
        found = m_list->GetAt(n.lVal - 1);
    }
    *out = found->GetDispatch(true);
    return *out ? S_OK : E_FAIL;
}
