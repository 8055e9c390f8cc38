#include "shell/app/map_app.h"

#include "core/language_module.h"
#include "map/services/preferences.h"
#include "resources/zres.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"

namespace {
CMapApp* g_app = nullptr;

// The language of the root's first SCRIPT child, when it names one.
WString RootScriptLanguage(const CXmlNode* root) {
    if (!root) return {};
    for (int i = 0; i < root->GetChildCount(); ++i) {
        const CXmlNode* e = root->GetChild(i);
        if (e->GetName() != u"SCRIPT") continue;
        WString language = e->GetAttribute(u"language");
        if (!language.empty()) return language;
    }
    return {};
}
// A report line from the language library.
WString Message(UINT id, const WString& insert1, const WString& insert2 = {}) {
    WString text;
    GetLanguageModule()->FormatString2(text, id, insert1.c_str(), insert2.c_str());
    return text;
}
}  // namespace

CMapApp* GetMapApp() { return g_app; }

CMapApp::CMapApp() {
    if (!g_app) g_app = this;
}

CMapApp::~CMapApp() {
    if (g_app == this) g_app = nullptr;
}

COptionsSheet* CMapApp::CreatePreferences() {
    m_options.reset();
    m_options = std::make_unique<COptionsSheet>();
    SetPreferences(m_options.get());
    return m_options.get();
}

bool CMapApp::LoadConfiguration(WStringView path) {
    m_config.reset();
    WString full(path);
    if (full.find(u'\\') == WString::npos) full = fs::GetProgramFolder() + u"\\" + full;
    if (fs::GetFileAttributes(full) == fs::kInvalidAttributes) return false;  // none is normal

    auto config = std::make_unique<CConfigXmlFile>();
    CXmlDocument& doc = config->GetDocument();
    if (!doc.LoadFile(full, GetPreferences()->GetAnsiCodePage()) && doc.GetErrorCode() == 0) {
        m_report.Add(Message(IDS_CONFIG_UNREADABLE, full));
        return false;
    }
    if (!doc.GetRoot()) {
        m_report.Add(Message(IDS_CONFIG_NOT_XML, full, doc.GetErrorText()));
        return false;
    }
    if (doc.GetRoot()->GetName() != CConfigXmlFile::kRootName) {
        m_report.Add(Message(IDS_CONFIG_WRONG_ROOT, full, doc.GetRoot()->GetName()));
        return false;
    }
    m_config = std::move(config);
    return true;
}

void CMapApp::CreateScriptHost(const CXmlNode* root) {
    if (!m_scriptHost) m_scriptHost = GetScriptServices()->CreateScriptHost();
    if (!m_scriptHost) return;
    WString language = RootScriptLanguage(root);
    if (m_scriptHost->StartEngine(language.empty() ? nullptr : language.c_str()) &&
        m_registerSystemObjects)
        m_registerSystemObjects(m_scriptHost.get());
}

bool CMapApp::ApplyConfiguration() {
    if (!m_config) {
        CreateScriptHost(nullptr);
        return false;
    }
    const CXmlNode* root = m_config->GetDocument().GetRoot();
    if (!m_scriptHost) m_scriptHost = GetScriptServices()->CreateScriptHost();
    if (m_scriptHost && m_config->IsDebug()) m_scriptHost->CreateHeap();
    CreateScriptHost(root);
    IScriptHost* host = m_scriptHost.get();
    if (host) host->RunScriptElements(root);
    if (const CXmlNode* config = FindConfigElement(root)) {
        if (const CXmlNode* forms = config->FindChild(u"FORMS"); forms && m_forms)
            m_forms->ReadForms(forms, GetPreferences()->Data().locale.lcid);
        if (const CXmlNode* toolbars = config->FindChild(u"TOOLBARS")) {
            if (host) host->RunScriptElements(toolbars);
            if (m_frame) m_frame->LoadToolbars(toolbars, host);
        }
        if (const CXmlNode* statusbar = config->FindChild(u"STATUSBAR"); statusbar && m_frame)
            m_frame->ApplyStatusBarConfig(statusbar);
        LoadSystemObjects(host, config);
    }
    if (host) host->SetScriptState(1);
    return true;
}

bool CMapApp::LoadSystemObjects(IScriptHost* host, const CXmlNode* element) {
    if (!host || !element) return false;
    const CXmlNode* objects = element->FindChild(u"SYSTEMOBJECTS");
    if (!objects) return false;
    for (int i = 0; i < objects->GetChildCount(); ++i) {
        const CXmlNode* e = objects->GetChild(i);
        host->BindElementEvents(e, e->GetName().c_str());
    }
    return true;
}

void CMapApp::FreeConfiguration() { m_config.reset(); }
