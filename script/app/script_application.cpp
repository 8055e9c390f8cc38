#include "script/app/script_application.h"

#include <string>

#include "core/shell_helpers.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/res/resource.h"
#include "platform/sys/registry.h"
#include "platform/sys/shell.h"
#include "platform/win/window.h"
#include "script/app/app_scripting.h"
#include "script/app/applets.h"
#include "script/app/script_file.h"
#include "script/app/script_inet.h"
#include "script/app/script_ombrix.h"
#include "script/app/script_status_bar.h"
#include "script/app/script_system.h"
#include "script/app/script_timer.h"
#include "script/app/script_tool_bars.h"
#include "script/data/script_data_objects.h"
#include "script/member_ids.h"
#include "script/script_host.h"
#include "shell/extensions/extensions.h"
#include "shell/forms/forms.h"

#include <sys/stat.h>
#include <unistd.h>

const InterfaceDesc& CScriptApplication::Desc() {
    using C = CScriptApplication;
    namespace p = dispid::prop;
    namespace m = dispid::method;
    static const InterfaceDesc d =
        InterfaceBuilder<C>(u"IApplication", ScriptLibGuid(kLibIApplication))
            .PropGet(u"hWnd", p::hWnd, &C::get_hWnd)
            .PropGet(u"hInstance", p::hInstance, &C::get_hInstance)
            .PropGet(u"hResource", p::hResource, &C::get_hResource)
            .PropGet(u"Forms", p::Forms, &C::get_Forms)
            .PropGet(u"Applets", p::Applets, &C::get_Applets)
            .PropGet(u"Extensions", p::Extensions, &C::get_Extensions)
            .PropGet(u"Map", p::Map, &C::get_Map)
            .PropGet(u"GPS", p::GPS, &C::get_GPS)
            .PropGet(u"ToolBars", p::ToolBars, &C::get_ToolBars)
            .PropGet(u"StatusBar", p::StatusBar, &C::get_StatusBar)
            .PropGet(u"Timer", p::Timer, &C::get_Timer)
            .PropGet(u"System", p::System, &C::get_System)
            .PropGet(u"LCID", p::LCID, &C::get_LCID)
            .PropGet(u"Caption", p::Caption, &C::get_Caption)
            .PropPut(u"Caption", p::Caption, &C::put_Caption)
            .PropGet(u"Properties", p::Properties, &C::get_Properties, {Param(u"Property")})
            .PropPut(u"Properties", p::Properties, &C::put_Properties, {Param(u"Property")})
            .PropGet(u"UserProperties", p::UserProperties, &C::get_UserProperties, {Param(u"Name")})
            .PropPut(u"UserProperties", p::UserProperties, &C::put_UserProperties, {Param(u"Name")})
            .Method(u"CreateAppObject", m::CreateAppObject, &C::CreateAppObject,
                    {Param(u"pTypeName")})
            .Method(u"Quit", m::Quit, &C::Quit)
            .Method(u"Beep", m::Beep, &C::Beep)
            .Method(u"GetProfileString", m::GetProfileString, &C::GetProfileString,
                    {Param(u"Section"), Param(u"Entry"), Param(u"Default").Optional(u"")})
            .Method(u"WriteProfileString", m::WriteProfileString, &C::WriteProfileString,
                    {Param(u"Section"), Param(u"Entry"), Param(u"Value")}, VT_I4)
            .Method(u"GetProfileInt", m::GetProfileInt, &C::GetProfileInt,
                    {Param(u"Section"), Param(u"Entry"), Param(u"Default").Optional(int32_t{0})})
            .Method(u"WriteProfileInt", m::WriteProfileInt, &C::WriteProfileInt,
                    {Param(u"Section"), Param(u"Entry"), Param(u"Value")}, VT_I4)
            .Method(u"WaitCursor", m::WaitCursor, &C::WaitCursor, {Param(u"Code")})
            .Method(u"Run", m::Run, &C::Run,
                    {Param(u"Application"), Param(u"Parameters").Optional(u""),
                     Param(u"WaitTime").Optional(int32_t{0})})
            .Method(u"PlaySound", m::PlaySound, &C::PlaySound,
                    {Param(u"Sound"), Param(u"Flags").Optional(int32_t{0})}, VT_BOOL)
            .Method(u"Activate", m::Activate, &C::Activate)
            .Method(u"Execute", m::Execute, &C::Execute, {Param(u"Script")})
            .Build();
    return d;
}

const CoclassDesc& CScriptApplication::Class() {
    static const CoclassDesc c{ScriptLibGuid(kLibApplication), u"Application", &Desc(),
                               ScriptEventInterface(kLibIApplicationEvents)};
    return c;
}

CScriptApplication* CScriptApplication::Create(CAppScripting* owner) {
    auto* o = new CScriptApplication;
    o->m_owner = owner;
    return o;
}

CScriptApplication::~CScriptApplication() {
    if (m_system) m_system->Release();
}

namespace {

HRESULT Hand(IDispatch* object, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = object;
    if (!object) return E_FAIL;
    object->AddRef();
    return S_OK;
}

int32_t Token(HWND h) { return static_cast<int32_t>(HandleToToken(h)); }

}  // namespace

HRESULT CScriptApplication::get_hWnd(int32_t* out) {
    *out = Token(win::GetMainWindow());
    return S_OK;
}

HRESULT CScriptApplication::get_hInstance(int32_t* out) {
    *out = static_cast<int32_t>(HandleToToken(res::GetProgramModule()));
    return S_OK;
}

HRESULT CScriptApplication::get_hResource(int32_t* out) {
    *out = static_cast<int32_t>(HandleToToken(res::GetResourceHandle()));
    return S_OK;
}

HRESULT CScriptApplication::get_Forms(IDispatch** out) {
    return GetFormsScriptObject(m_owner ? m_owner->GetGlobalForms() : nullptr, out);
}

HRESULT CScriptApplication::get_Applets(IDispatch** out) {
    return Hand(m_owner ? m_owner->Applets().GetScriptObject() : nullptr, out);
}

HRESULT CScriptApplication::get_Extensions(IDispatch** out) {
    CExtensions* extensions = m_owner ? m_owner->GetExtensions() : nullptr;
    if (!extensions) return Hand(nullptr, out);
    *out = extensions->GetScriptObject(true);
    return *out ? S_OK : E_FAIL;
}

HRESULT CScriptApplication::get_Map(IDispatch** out) { return Hand(m_owner ? m_owner->Map() : nullptr, out); }

HRESULT CScriptApplication::get_GPS(IDispatch** out) {
    *out = nullptr;
    IAppDataObjects* data = GetAppDataObjects();
    if (!data || !m_owner) return E_FAIL;
    *out = data->GetGpsObject(m_owner->Gps());
    return *out ? S_OK : E_FAIL;
}

HRESULT CScriptApplication::get_ToolBars(IDispatch** out) {
    return Hand(m_owner ? static_cast<IDispatch*>(m_owner->ToolBars()) : nullptr, out);
}

HRESULT CScriptApplication::get_StatusBar(IDispatch** out) {
    return Hand(m_owner ? static_cast<IDispatch*>(m_owner->StatusBar()) : nullptr, out);
}

HRESULT CScriptApplication::get_Timer(IDispatch** out) {
    return Hand(m_owner ? static_cast<IDispatch*>(m_owner->Timer()) : nullptr, out);
}

HRESULT CScriptApplication::get_System(IDispatch** out) {
    if (!m_system) {
        m_system = CScriptSystem::Create();
        m_system->AddRef();
    }
    return Hand(m_system, out);
}

HRESULT CScriptApplication::get_LCID(int32_t* out) {
    *out = static_cast<int32_t>(GetPreferences()->Data().locale.lcid);
    return S_OK;
}

HRESULT CScriptApplication::get_Caption(BSTR* out) {
    HWND main = win::GetMainWindow();
    *out = SysAllocString(main ? GetWindowTextString(main) : WString());
    return S_OK;
}

HRESULT CScriptApplication::put_Caption(BSTR value) {
    HWND main = win::GetMainWindow();
    if (main) SetWindowText(main, WString(BstrView(value)).c_str());
    return S_OK;
}

HRESULT CScriptApplication::get_Properties(BSTR name, VARIANT* out) {
    WStringView n = BstrView(name);
    const PreferencesData::Paths& paths = GetPreferences()->Data().paths;
    const DWORD ms = m_version.GetProductVersionMS(), ls = m_version.GetProductVersionLS();
    auto number = [out](int v) {
        VariantFromLong(out, v);
        return S_OK;
    };
    auto string = [out](WStringView v) {
        VariantFromString(out, v);
        return S_OK;
    };
    if (text::EqualsNoCase(n, u"DataPath")) return string(paths.data);
    if (text::EqualsNoCase(n, u"AppletsPath")) return string(paths.applets);
    if (text::EqualsNoCase(n, u"SystemPath")) return string(paths.system);
    if (text::EqualsNoCase(n, u"MajorVersion")) return number(HIWORD(ms));
    if (text::EqualsNoCase(n, u"MinorVersion")) return number(LOWORD(ms));
    if (text::EqualsNoCase(n, u"Revision")) return number(HIWORD(ls));
    if (text::EqualsNoCase(n, u"BuildNumber")) return number(LOWORD(ls));
    if (text::EqualsNoCase(n, u"ProductVersion"))
        return string(text::Format(u"%d.%d.%d.%d", HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls)));
    return E_INVALIDARG;
}

HRESULT CScriptApplication::put_Properties(BSTR name, VARIANT) {
    if (!text::EqualsNoCase(BstrView(name), u"Dummy")) return E_INVALIDARG;
    MessageBeep(0);
    return S_OK;
}

HRESULT CScriptApplication::get_UserProperties(BSTR name, VARIANT* out) {
    auto it = m_userProperties.find(WString(BstrView(name)));
    if (it == m_userProperties.end()) return S_OK;  // left as given: Empty
    return VariantCopy(out, &it->second);
}

HRESULT CScriptApplication::put_UserProperties(BSTR name, VARIANT value) {
    ComVariant copy;
    HRESULT hr = VariantCopyInd(&copy, &value);
    if (FAILED(hr)) return hr;
    m_userProperties[WString(BstrView(name))] = std::move(copy);
    return S_OK;
}

HRESULT CScriptApplication::CreateAppObject(BSTR* typeName, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!typeName) return E_INVALIDARG;
    WStringView name = BstrView(*typeName);
    IDispatch* made = nullptr;
    if (text::EqualsNoCase(name, u"inet")) made = CScriptINet::Create();
    else if (text::EqualsNoCase(name, u"Ombrix")) made = CScriptOmbrix::Create();
    else if (text::EqualsNoCase(name, u"file")) made = CScriptFile::Create();
    if (made) {
        made->AddRef();
        *out = made;
        return S_OK;
    }
    // The map's data objects come with the map's scripting: a point takes
    // the map's coordinate system, so none is made before the map is there.
    IAppDataObjects* data = GetAppDataObjects();
    if (data && m_owner && m_owner->Map()) {
        HRESULT hr = data->CreateDataObject(name, m_owner->Map(), out);
        if (hr == S_OK) return S_OK;
    }
    return E_FAIL;
}

HRESULT CScriptApplication::Quit() {
    HWND main = win::GetMainWindow();
    if (!main || !IsWindow(main)) return E_HANDLE;
    PostMessage(main, WM_QUIT, 0, 0);
    return S_OK;
}

HRESULT CScriptApplication::Beep() {
    MessageBeep(0xFFFFFFFF);
    return S_OK;
}

HRESULT CScriptApplication::GetProfileString(BSTR section, BSTR entry, BSTR defaultValue, BSTR* out) {
    *out = SysAllocString(
        sys::GetProfileString(BstrView(section), BstrView(entry), BstrView(defaultValue)));
    return S_OK;
}

HRESULT CScriptApplication::WriteProfileString(BSTR section, BSTR entry, BSTR value, int32_t* out) {
    WString v(BstrView(value));
    *out = sys::WriteProfileString(BstrView(section), BstrView(entry), v.c_str()) ? 1 : 0;
    return S_OK;
}

HRESULT CScriptApplication::GetProfileInt(BSTR section, BSTR entry, int32_t defaultValue, int32_t* out) {
    *out = sys::GetProfileInt(BstrView(section), BstrView(entry), defaultValue);
    return S_OK;
}

HRESULT CScriptApplication::WriteProfileInt(BSTR section, BSTR entry, int32_t value, int32_t* out) {
    *out = sys::WriteProfileInt(BstrView(section), BstrView(entry), value) ? 1 : 0;
    return S_OK;
}

HRESULT CScriptApplication::WaitCursor(int32_t code) {
    if (code > 0) win::BeginWaitCursor();
    else if (code < 0) win::EndWaitCursor();
    // 0 restores the cursor a dialog took away: the model's cursor follows
    // the count, so there is nothing to put back.
    return S_OK;
}

HRESULT CScriptApplication::Run(BSTR application, BSTR parameters, int32_t waitTime, int32_t* out) {
    *out = 0;
    WString program(BstrView(application));
    if (program.empty()) return E_FAIL;
    std::string hostProgram = text::ToUtf8(program);
    // A device path names a file; a bare name is looked up on the search path.
    if (program.find(u'\\') != WString::npos) {
        hostProgram = fs::HostPath(program);
        struct stat st {};
        if (stat(hostProgram.c_str(), &st) != 0) return E_FAIL;
        if (S_ISREG(st.st_mode) && access(hostProgram.c_str(), X_OK) != 0) {
            // A document: the desktop opens it, as the shell would.
            return sys::ShellOpen(hostProgram) ? S_OK : E_FAIL;
        }
    }
    sys::RunResult r = sys::RunProgram(hostProgram, text::ToUtf8(BstrView(parameters)), waitTime);
    if (!r.started) return E_FAIL;
    *out = r.exitCode;
    return S_OK;
}

HRESULT CScriptApplication::PlaySound(BSTR sound, int32_t, int16_t* out) {
    *out = sys::PlayWaveFile(fs::HostPath(BstrView(sound))) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CScriptApplication::Activate() {
    HWND main = win::GetMainWindow();
    if (main) SetForegroundWindow(main);
    return S_OK;
}

HRESULT CScriptApplication::Execute(BSTR script) {
    if (m_owner && m_owner->GetGlobalHost())
        m_owner->GetGlobalHost()->ExecuteScriptText(WString(BstrView(script)).c_str());
    return S_OK;
}
