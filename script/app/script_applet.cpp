#include "script/app/script_applet.h"

#include "script/app/applet.h"
#include "script/member_ids.h"

const InterfaceDesc& CScriptApplet::Desc() {
    using C = CScriptApplet;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IApplet", ScriptLibGuid(kLibIApplet))
            .PropGet(u"Name", dispid::prop::Name, &C::get_Name)
            .PropGet(u"Forms", dispid::prop::Forms, &C::get_Forms)
            .Method(u"Execute", dispid::method::Execute, &C::Execute, {Param(u"Script")})
            .Build();
    return d;
}

const CoclassDesc& CScriptApplet::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibApplet), u"Applet", &Desc(),
                               ScriptEventInterface(kLibIAppletEvents)};
    return c;
}

CScriptApplet* CScriptApplet::Create(CApplet* applet) {
    auto* o = new CScriptApplet;
    o->m_applet = applet;
    return o;
}

HRESULT CScriptApplet::get_Name(BSTR* out) {
    if (!m_applet) return E_FAIL;
    *out = SysAllocString(m_applet->GetName());
    return S_OK;
}

HRESULT CScriptApplet::get_Forms(IDispatch** out) {
    if (!m_applet) return E_FAIL;
    return m_applet->GetFormsObject(out);
}

HRESULT CScriptApplet::Execute(BSTR script) {
    if (m_applet) m_applet->Execute(WString(BstrView(script)));
    return S_OK;
}
