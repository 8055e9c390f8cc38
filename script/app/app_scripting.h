// The application's scripting: the application-level script objects, the
// applets and the Script window. The program makes one CAppScripting with
// its GPS receiver and auxiliary port and hands it to the application and
// the script services; every host that receives the system objects gets
// them from here.
#pragma once

#include <functional>
#include <memory>

#include "platform/com/com.h"
#include "shell/app/app_services.h"

class CApplets;
class CAuxPort;
class CExtensions;
class CForms;
class CGps;
class CScriptApplication;
class CScriptAUX;
class CScriptCommonDialog;
class CScriptStatusBar;
class CScriptTimer;
class CScriptToolBars;
class IConfigForms;
class IScriptHost;

// What the map and data script objects give the application's scripting.
// Their module installs one (SetAppDataObjects); until then the Map,
// Navigation and GPS items are not registered and the objects they stand
// for answer E_FAIL.
class IAppDataObjects {
public:
    virtual ~IAppDataObjects() = default;
    // The Map object, made at the first registration; one reference for the
    // caller, null when there is none.
    virtual IDispatch* CreateMapObject() { return nullptr; }
    // The Map object's Navigation object; one reference for the caller.
    virtual IDispatch* GetNavigationObject(IDispatch* map) {
        (void)map;
        return nullptr;
    }
    // The receiver's GPS object, made and given to the receiver when it has
    // none; one reference for the caller.
    virtual IDispatch* GetGpsObject(CGps* gps) {
        (void)gps;
        return nullptr;
    }
    // A data object by its CreateAppObject name ("recordset", ...) with one
    // reference, S_OK; S_FALSE when the name is not one of them.
    virtual HRESULT CreateDataObject(WStringView name, IDispatch* map, IDispatch** out) {
        (void)name;
        (void)map;
        *out = nullptr;
        return S_FALSE;
    }
};
void SetAppDataObjects(IAppDataObjects* objects);
IAppDataObjects* GetAppDataObjects();

// A forms collection's Forms object, AddRef'd. E_FAIL without forms, and
// while the forms' script classes are not installed (a plain counted
// object stands in then, and scripts get an error rather than an object
// without members).
HRESULT GetFormsScriptObject(CForms* forms, IDispatch** out);

class CAppScripting : public IAppScripting {
public:
    // Either may be null (tests).
    CAppScripting(CGps* gps, CAuxPort* aux);
    ~CAppScripting() override;
    CAppScripting(const CAppScripting&) = delete;
    CAppScripting& operator=(const CAppScripting&) = delete;

    // The global forms (the configuration's), null when there are none.
    void SetGlobalForms(CForms* forms) { m_globalForms = forms; }
    CForms* GetGlobalForms() const { return m_globalForms; }
    // The extension modules (null: none).
    void SetExtensions(CExtensions* extensions) { m_extensions = extensions; }
    CExtensions* GetExtensions() const { return m_extensions; }
    // The global script host (start-up sets it; applets share it).
    void SetGlobalHost(IScriptHost* host) { m_globalHost = host; }
    // Else the application's.
    IScriptHost* GetGlobalHost() const;

    // ---- IAppScripting ----
    void RegisterSystemObjects(IScriptHost* host) override;
    IDispatch* GetApplicationObject() override;
    void LoadApplets(const WString& folder) override;
    void DeleteFormsAndApplets() override;
    void ShowScriptWindow(HWND parent) override;

    // The objects (null before the first registration); not AddRef'd.
    CScriptApplication* Application() const { return m_application; }
    IDispatch* Map() const { return m_map; }
    CScriptToolBars* ToolBars() const { return m_toolBars; }
    CScriptStatusBar* StatusBar() const { return m_statusBar; }
    CScriptTimer* Timer() const { return m_timer; }
    CScriptCommonDialog* CommonDialog() const { return m_commonDialog; }
    CScriptAUX* AUX() const { return m_aux; }
    CGps* Gps() const { return m_gps; }
    CApplets& Applets() { return *m_applets; }

    // The one scripting object of the process (null while there is none).
    static CAppScripting* Get();

private:
    void CreateObjects();
    void ReleaseObjects();

    CGps* m_gps;
    CAuxPort* m_auxPort;
    CForms* m_globalForms = nullptr;
    CExtensions* m_extensions = nullptr;
    IScriptHost* m_globalHost = nullptr;
    std::unique_ptr<CApplets> m_applets;
    // One reference each, from the first registration to DeleteFormsAndApplets.
    CScriptApplication* m_application = nullptr;
    IDispatch* m_map = nullptr;
    IDispatch* m_navigation = nullptr;
    CScriptToolBars* m_toolBars = nullptr;
    CScriptStatusBar* m_statusBar = nullptr;
    CScriptCommonDialog* m_commonDialog = nullptr;
    CScriptTimer* m_timer = nullptr;
    CScriptAUX* m_aux = nullptr;
    bool m_created = false;
    std::unique_ptr<class CToolItemObjectFactory> m_toolItems;
};
