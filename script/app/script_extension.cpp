#include "script/app/script_extension.h"

#include "core/file_version_info.h"
#include "platform/win/window.h"
#include "script/member_ids.h"
#include "shell/extensions/extension.h"

const InterfaceDesc& CScriptExtension::Desc() {
    using C = CScriptExtension;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IExtension", ScriptLibGuid(kLibIExtension))
            .PropGet(u"Name", p::Name, &C::get_Name)
            .PropGet(u"CodeName", p::CodeName, &C::get_CodeName)
            .PropGet(u"Version", p::Version, &C::get_Version)
            .Method(u"ShowAbout", m::ShowAbout, &C::ShowAbout)
            .Method(u"ShowProperties", m::ShowProperties, &C::ShowProperties, {}, VT_BOOL)
            .Method(u"Escape", m::Escape, &C::Escape,
                    {Param(u"pParam1").Optional(), Param(u"pParam2").Optional(), Param(u"pParam3").Optional()})
            .Build();
    return d;
}

const CoclassDesc& CScriptExtension::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibExtension), u"Extension", &Desc(), nullptr};
    return c;
}

CScriptExtension* CScriptExtension::Create(CExtension* extension) {
    auto* o = new CScriptExtension;
    o->m_extension = extension;
    return o;
}

HRESULT CScriptExtension::get_Name(BSTR* out) {
    *out = SysAllocString(m_extension->GetName());
    return S_OK;
}

HRESULT CScriptExtension::get_CodeName(BSTR* out) {
    *out = SysAllocString(m_extension->GetCodeText());
    return S_OK;
}

HRESULT CScriptExtension::get_Version(BSTR* out) {
    CFileVersionInfo version(m_extension->GetDevicePath());
    *out = SysAllocString(version.GetProductVersion());
    return S_OK;
}

HRESULT CScriptExtension::ShowAbout() {
    m_extension->DialogAbout(win::GetMainWindow());
    return S_OK;
}

HRESULT CScriptExtension::ShowProperties(int16_t* out) {
    *out = m_extension->DialogProperties(win::GetMainWindow()) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptExtension::Escape(VARIANT* param1, VARIANT* param2, VARIANT* param3, VARIANT* out) {
    return m_extension->Escape(0, param1, param2, param3, out);
}
