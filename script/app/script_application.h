// Application: the scripts' entry to the program as a whole. It hands out
// the other application-level objects, reads the program's paths and
// version, keeps user properties for the run, reads and writes the registry
// profile, runs other programs, plays sounds and runs text in the global host.
#pragma once

#include <map>

#include "core/file_version_info.h"
#include "platform/com/com.h"
#include "script/script_object.h"

class CAppScripting;
class CScriptSystem;

class CScriptApplication : public CScriptConnectable<CScriptApplication> {
public:
    static const InterfaceDesc& Desc();
    static const CoclassDesc& Class();

    // A new object (count 0) of the application's scripting.
    static CScriptApplication* Create(CAppScripting* owner);

    HRESULT get_hWnd(int32_t* out);
    HRESULT get_hInstance(int32_t* out);
    HRESULT get_hResource(int32_t* out);
    HRESULT get_Forms(IDispatch** out);
    HRESULT get_Applets(IDispatch** out);
    HRESULT get_Extensions(IDispatch** out);
    HRESULT get_Map(IDispatch** out);
    HRESULT get_GPS(IDispatch** out);
    HRESULT get_ToolBars(IDispatch** out);
    HRESULT get_StatusBar(IDispatch** out);
    HRESULT get_Timer(IDispatch** out);
    HRESULT get_System(IDispatch** out);
    HRESULT get_LCID(int32_t* out);
    HRESULT get_Caption(BSTR* out);
    HRESULT put_Caption(BSTR value);
    HRESULT get_Properties(BSTR name, VARIANT* out);
    HRESULT put_Properties(BSTR name, VARIANT value);
    HRESULT get_UserProperties(BSTR name, VARIANT* out);
    HRESULT put_UserProperties(BSTR name, VARIANT value);
    HRESULT CreateAppObject(BSTR* typeName, IDispatch** out);
    HRESULT Quit();
    HRESULT Beep();
    HRESULT GetProfileString(BSTR section, BSTR entry, BSTR defaultValue, BSTR* out);
    HRESULT WriteProfileString(BSTR section, BSTR entry, BSTR value, int32_t* out);
    HRESULT GetProfileInt(BSTR section, BSTR entry, int32_t defaultValue, int32_t* out);
    HRESULT WriteProfileInt(BSTR section, BSTR entry, int32_t value, int32_t* out);
    HRESULT WaitCursor(int32_t code);
    HRESULT Run(BSTR application, BSTR parameters, int32_t waitTime, int32_t* out);
    HRESULT PlaySound(BSTR sound, int32_t flags, int16_t* out);
    HRESULT Activate();
    HRESULT Execute(BSTR script);

    // Forgets the owner (the application's scripting is going away).
    void Detach() { m_owner = nullptr; }

private:
    friend class DispatchObject<CScriptApplication>;
    CScriptApplication() = default;
    ~CScriptApplication() override;

    CAppScripting* m_owner = nullptr;
    CScriptSystem* m_system = nullptr;  // one reference once made
    CFileVersionInfo m_version;
    std::map<WString, ComVariant> m_userProperties;  // names compared with case
};
