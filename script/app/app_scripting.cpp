#include "script/app/app_scripting.h"

#include "gps/aux_port.h"
#include "script/app/applets.h"
#include "script/app/script_application.h"
#include "script/app/script_aux.h"
#include "script/app/script_common_dialog.h"
#include "script/app/script_dlg.h"
#include "script/app/script_extensions.h"
#include "script/app/script_status_bar.h"
#include "script/app/script_timer.h"
#include "script/app/script_tool_bars.h"
#include "script/app/script_tool_item_object.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "script/type_library.h"
#include "shell/app/map_app.h"
#include "shell/forms/forms.h"
#include "shell/frame/command_bars.h"

namespace {
IAppDataObjects* g_dataObjects = nullptr;
CAppScripting* g_scripting = nullptr;

template <class T>
void ReleaseInto(T*& object) {
    if (object) {
        T* o = object;
        object = nullptr;
        o->Release();
    }
}
}  // namespace

void SetAppDataObjects(IAppDataObjects* objects) { g_dataObjects = objects; }
IAppDataObjects* GetAppDataObjects() { return g_dataObjects; }

CAppScripting* CAppScripting::Get() { return g_scripting; }

HRESULT GetFormsScriptObject(CForms* forms, IDispatch** out) {
    *out = nullptr;
    if (!forms) return E_FAIL;
    ComPtr<IDispatch> object = ComPtr<IDispatch>::Adopt(forms->GetScriptObject());
    ComPtr<IDispatch> typed;
    if (!object || FAILED(object->QueryInterface(ScriptLibGuid(kLibIForms), typed.ReceiveVoid()))) return E_FAIL;
    *out = typed.Detach();
    return S_OK;
}

CAppScripting::CAppScripting(CGps* gps, CAuxPort* aux)
    : m_gps(gps), m_auxPort(aux), m_applets(std::make_unique<CApplets>()),
      m_toolItems(std::make_unique<CToolItemObjectFactory>()) {
    g_scripting = this;
    // Configured commands read from now on get their ToolItem objects here.
    SetToolItemObjectFactory(m_toolItems.get());
    CScriptExtensions::InstallFactories();
}

CAppScripting::~CAppScripting() {
    DeleteFormsAndApplets();
    CScriptExtensions::RemoveFactories();
    SetToolItemObjectFactory(nullptr);
    if (g_scripting == this) g_scripting = nullptr;
}

void CAppScripting::CreateObjects() {
    m_created = true;
    m_application = CScriptApplication::Create(this);
    m_application->AddRef();
    if (g_dataObjects) m_map = g_dataObjects->CreateMapObject();
    if (g_dataObjects && m_map) m_navigation = g_dataObjects->GetNavigationObject(m_map);
    m_toolBars = CScriptToolBars::Create();
    m_toolBars->AddRef();
    m_statusBar = CScriptStatusBar::Create();
    m_statusBar->AddRef();
    m_commonDialog = CScriptCommonDialog::Create();
    m_commonDialog->AddRef();
    m_timer = CScriptTimer::Create();
    m_timer->AddRef();
    if (m_auxPort) {
        m_aux = CScriptAUX::Create(m_auxPort);
        m_aux->AddRef();
        // The port fires its events on the object; it holds no count.
        m_auxPort->SetScriptSource(m_aux);
    }
}

void CAppScripting::RegisterSystemObjects(IScriptHost* host) {
    if (!host) return;
    if (!m_created) CreateObjects();
    if (!m_application) return;  // released at exit
    host->AddNamedItem(u"Application", m_application, 14);
    if (m_map) host->AddNamedItem(u"Map", m_map, 14);
    if (m_navigation) host->AddNamedItem(u"Navigation", m_navigation, 14);
    if (g_dataObjects) {
        if (IDispatch* gps = g_dataObjects->GetGpsObject(m_gps)) {
            host->AddNamedItem(u"GPS", gps, 6);
            gps->Release();
        }
    }
    if (m_aux) host->AddNamedItem(u"AUX", m_aux, 6);
    host->AddNamedItem(u"CommonDialog", m_commonDialog, 14);
    host->AddNamedItem(u"ThisEvent", &ThisEvent(), 14);
}

IDispatch* CAppScripting::GetApplicationObject() { return m_application; }

IScriptHost* CAppScripting::GetGlobalHost() const {
    if (m_globalHost) return m_globalHost;
    CMapApp* app = GetMapApp();
    return app ? app->GetScriptHost() : nullptr;
}

void CAppScripting::LoadApplets(const WString& folder) {
    m_applets->SetGlobal(GetGlobalHost(), m_globalForms);
    m_applets->LoadFolder(folder);
}

void CAppScripting::ReleaseObjects() {
    if (m_auxPort) m_auxPort->SetScriptSource(nullptr);
    if (m_aux) m_aux->Detach();
    ReleaseInto(m_aux);
    if (m_timer) m_timer->Stop();
    ReleaseInto(m_timer);
    ReleaseInto(m_commonDialog);
    ReleaseInto(m_statusBar);
    ReleaseInto(m_toolBars);
    ReleaseInto(m_navigation);
    ReleaseInto(m_map);
    if (m_application) m_application->Detach();
    ReleaseInto(m_application);
}

void CAppScripting::DeleteFormsAndApplets() {
    m_applets->DeleteAll();
    ReleaseObjects();
}

void CAppScripting::ShowScriptWindow(HWND parent) {
    CScriptDlg dialog(parent);
    dialog.DoModal();
}
