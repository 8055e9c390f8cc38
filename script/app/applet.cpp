#include "script/app/applet.h"

#include "core/language_module.h"
#include "core/xml_node.h"
#include "map/layers/shape_layer.h"
#include "map/services/preferences.h"
#include "platform/com/objects.h"
#include "script/app/app_scripting.h"
#include "script/app/script_applet.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "shell/forms/forms.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/main_frame.h"

namespace {

// A boolean attribute as applets write it: true when it begins with "t".
bool FlagAttribute(const CXmlNode* element, WStringView name) {
    WString v = element->GetAttribute(name);
    return !v.empty() && (v[0] == u't' || v[0] == u'T');
}

// The locale of a LOCALE element: decimal, or hexadecimal after "0x".
DWORD LocaleAttribute(const CXmlNode* locale, DWORD def) {
    WString v = locale->GetAttribute(u"lcid");
    if (v.empty()) return def;
    if (v.size() > 2 && v[0] == u'0' && (v[1] == u'x' || v[1] == u'X'))
        return static_cast<DWORD>(text::ParseULong(WStringView(v).substr(2), nullptr, 16));
    return static_cast<DWORD>(text::ParseLong(WStringView(v)));
}

WString FileNameOf(const WString& path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == WString::npos ? path : path.substr(slash + 1);
}

WString FolderOf(const WString& path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == WString::npos ? WString() : path.substr(0, slash);
}

}  // namespace

CApplet::CApplet() = default;

CApplet::~CApplet() {
    // The applet's forms and engine go before its object: their handlers
    // may still hold it.
    m_ownForms.reset();
    if (m_ownHost) m_ownHost->StopEngine();
    if (m_object) {
        m_object->Detach();
        m_object->Release();
    }
    m_ownHost.reset();
}

std::unique_ptr<CApplet> CApplet::Load(IScriptHost* globalHost, CForms* globalForms, const WString& path) {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    return Load(globalHost, globalForms, path, frame ? frame->GetCommandBars() : nullptr);
}

std::unique_ptr<CApplet> CApplet::Load(IScriptHost* globalHost, CForms* globalForms, const WString& path,
                                       CCommandBars* bars) {
    CXmlDocument doc;
    if (!doc.LoadFile(path, GetPreferences()->GetAnsiCodePage())) return nullptr;
    const CXmlNode* root = doc.GetRoot();
    if (!root || root->GetName() != u"Zarnip") return nullptr;
    const CXmlNode* applet = FindElementDepthFirst(root, u"APPLET");
    if (!applet) return nullptr;
    std::unique_ptr<CApplet> a(new CApplet);
    if (!a->Setup(globalHost, globalForms, root, applet, path, bars)) return nullptr;
    return a;
}

bool CApplet::Setup(IScriptHost* globalHost, CForms* globalForms, const CXmlNode* root, const CXmlNode* applet,
                    const WString& path, CCommandBars* bars) {
    m_object = CScriptApplet::Create(this);
    m_object->AddRef();
    m_lcid = GetPreferences()->Data().locale.lcid;
    if (const CXmlNode* locale = applet->FindChild(u"LOCALE")) m_lcid = LocaleAttribute(locale, m_lcid);
    m_rightToLeft = IsRightToLeftLanguage(m_lcid);
    m_name = applet->GetAttribute(u"name");
    if (m_name.empty()) m_name = FileNameOf(path);
    m_global = FlagAttribute(applet, u"global");
    m_globalHost = globalHost;
    m_globalForms = globalForms;

    IScriptHost* host = globalHost;
    if (!m_global) {
        m_ownHost = std::make_unique<CScriptHost>();
        if (FlagAttribute(root, u"debug")) m_ownHost->CreateHeap();
        m_ownHost->SetLocale(m_lcid);
        if (!m_ownHost->StartEngine(nullptr)) return false;
        m_ownHost->AddNamedItem(u"Applet", m_object, 6);
        if (CAppScripting* scripting = CAppScripting::Get()) scripting->RegisterSystemObjects(m_ownHost.get());
        if (LayerFormsFactory factory = GetLayerFormsFactory()) m_ownForms = factory(m_ownHost.get());
        host = m_ownHost.get();
    }
    if (host) {
        host->RunScriptElements(root);
        // A global applet's event attributes stay unbound: the global host
        // has no "Applet" item to bind them to.
        if (m_global) host->RunScriptElements(applet);
        else host->BindElementEvents(applet, u"Applet");
    }
    // Toolbars, as TOOLBAR children of APPLET or of its TOOLBARS.
    if (bars) {
        const WString folder = FolderOf(path);
        bars->LoadToolbars(applet, host, folder);
        for (int i = 0; i < applet->GetChildCount(); ++i) {
            const CXmlNode* child = applet->GetChild(i);
            if (child->GetName() != u"TOOLBARS") continue;
            if (host) host->RunScriptElements(child);
            bars->LoadToolbars(child, host, folder);
        }
    }
    if (const CXmlNode* forms = applet->FindChild(u"FORMS")) {
        if (m_global && m_globalForms) m_globalForms->ReadForms(forms, m_lcid, host);
        else if (m_ownForms) m_ownForms->ReadForms(forms, m_lcid);
    }
    if (host) {
        if (const CXmlNode* objects = applet->FindChild(u"SYSTEMOBJECTS"))
            for (int i = 0; i < objects->GetChildCount(); ++i) {
                const CXmlNode* e = objects->GetChild(i);
                host->BindElementEvents(e, e->GetName().c_str());
            }
    }
    return true;
}

void CApplet::Start() {
    // A global applet's code runs when the global host connects at the end
    // of start-up, and it has no events of its own.
    if (m_global || !m_ownHost) return;
    m_ownHost->SetScriptState(ScriptState::Connected);
    FireScriptEventNow(m_object, 3, true, 0);
}

IScriptHost* CApplet::GetHost() const { return m_global ? m_globalHost : m_ownHost.get(); }

IDispatch* CApplet::GetScriptObject(bool add) {
    if (m_object && add) m_object->AddRef();
    return m_object;
}

HRESULT CApplet::GetFormsObject(IDispatch** out) {
    return GetFormsScriptObject(m_global ? m_globalForms : dynamic_cast<CForms*>(m_ownForms.get()), out);
}

void CApplet::Execute(const WString& text) {
    if (IScriptHost* host = GetHost()) host->ExecuteScriptText(text.c_str());
}
