#include "shell/app/map_app.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/language_module.h"
#include "core/dialog_ext.h"
#include "crs/datum_table.h"
#include "map/dialogs/add_layers_dlg.h"
#include "map/dialogs/add_server_dlg.h"
#include "map/dialogs/layers_dlg.h"
#include "map/dialogs/map_info_dlg.h"
#include "map/dialogs/new_shapefile_dlg.h"
#include "map/layers/map_doc.h"
#include "map/view/map_view.h"
#include "platform/win/frame_wnd.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/res/resource.h"
#include "platform/sys/registry.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/app/about_dlg.h"
#include "shell/app/program_shell.h"
#include "shell/app/splash.h"
#include "core/stylus.h"
#include "shell/shell_messages.h"

namespace {
CMapApp* g_app = nullptr;

constexpr const WChar* kInstanceSinkClass = u"ZarnipInstanceSink";
constexpr UINT kIdsUntitled = 61443;
constexpr UINT kIdsLoadingProfile = 7303;

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
// A line for the program's own tests (ZARNIP_TEST_TRACE names the file).
void TestTrace(const std::string& line) {
    const char* trace = std::getenv("ZARNIP_TEST_TRACE");
    if (!trace || !*trace) return;
    if (FILE* f = std::fopen(trace, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

bool FileExists(const WString& path) { return fs::GetFileAttributes(path) != fs::kInvalidAttributes; }
}  // namespace

CMapApp* GetMapApp() { return g_app; }

CMapApp::CMapApp() {
    if (!g_app) g_app = this;
}

CMapApp::~CMapApp() {
    if (m_instanceSink && IsWindow(m_instanceSink)) DestroyWindow(m_instanceSink);
    // The listener thread must not hand frames to a half-destroyed object.
    m_instance.Stop();
    if (g_app == this) g_app = nullptr;
}

void CMapApp::SetCommandLine(int argc, const char* const* argv) {
    m_cmdInfo = CCommandLineInfoExt();
    m_cmdInfo.Parse(argc, argv);
}

template <class F>
void CMapApp::Step(const char* name, F&& step) {
    auto start = std::chrono::steady_clock::now();
    step();
    m_steps.push_back({name, std::chrono::steady_clock::now() - start});
}

void CMapApp::UseProgramDocTemplate() {
    m_makeDocTemplate = [this] {
        return std::make_unique<win::SingleDocTemplate>(
            IDR_MAINFRAME, [] { return std::make_unique<CMapDoc>(); },
            [this] { return std::make_unique<CMainFrame>(this); },
            [](win::Document* doc) {
                auto view = std::make_unique<CMapView>();
                view->SetDocument(static_cast<CMapDoc*>(doc));
                return view;
            });
    };
}

HWND CMapApp::GetMainWindow() const {
    win::FrameWnd* frame = GetMainFrame();
    return frame ? frame->GetSafeHwnd() : nullptr;
}

IAppMainFrame* CMapApp::GetAppMainFrame() const { return dynamic_cast<IAppMainFrame*>(GetMainFrame()); }

CMapDoc* CMapApp::GetMapDocument() const {
    return docTemplate_ ? dynamic_cast<CMapDoc*>(docTemplate_->GetDocument()) : nullptr;
}

void CMapApp::SetStatusText(const WChar* text) {
    if (IMainWindow* main = GetMainWindowServices()) main->SetStatusText(text);
}

bool CMapApp::InitInstance() {
    m_steps.clear();
    bool ok = true;
    Step("single instance", [&] {
        // A second start hands its file to the running program.
        bool open = m_cmdInfo.m_shellCommand == CCommandLineInfoExt::FileOpen;
        ok = m_instance.Register(IDR_MAINFRAME, open ? m_cmdInfo.m_fileName : WString());
    });
    if (!ok) return false;
    // Messages from other programs arrive on the listener thread and are
    // handed over here through a hidden window.
    WNDCLASS sink;
    sink.lpfnWndProc = InstanceSinkProc;
    sink.lpszClassName = kInstanceSinkClass;
    RegisterClass(sink);
    m_instanceSink = CreateWindowEx(0, kInstanceSinkClass, u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr);
    m_instance.SetReceiver([this](InstanceFrame frame) { ReceiveInstanceFrame(std::move(frame)); });
    // The main frame is made with the instance's class.
    CMainFrame::SetInstanceClassName(m_instance.GetClassName());
    // The view's Layers command runs the program's Layers dialog.
    SetLayersDialogRunner([this](CMapDoc* doc) { return RunLayersDialog(doc, GetMainWindow()); });
    // The map view's menus and dialogs.
    InstallProgramShellServices();

    Step("soft input panel class", [] { RegisterSipPref(); });
    Step("profile key", [] { sys::SetProfileKey(kProfileCompany, u"Zarnip"); });
    Step("help file", [this] { SetHelpFilePath(u"Zarnip.htm#Main_Contents"); });
    Step("COM", [] {});  // the platform's COM needs no per-thread start
    Step("recent lists", [this] {
        m_recentFiles = std::make_unique<CRecentFileList>(CRecentFileList::kMapSection,
                                                          CRecentFileList::kMapEntryFormat, kRecentCount);
        m_recentFiles->Load();
        SetRecentFileList(m_recentFiles.get());
        m_recentLayers = std::make_unique<CRecentFileList>(u"Recent Layer List", u"Layer%d", kRecentCount,
                                                           kRecentLayerDisplayLength);
        m_recentLayers->Load();
    });
    Step("preferences", [this] {
        // Made with the defaults, the preferences file and the datum table.
        COptionsSheet* options = CreatePreferences();
        options->ReadLocation();
        SelectLocaleResources();
        SetProgramFont(options->GetDialogFont());
    });
    Step("configuration", [this] {
        LoadConfiguration(GetPreferences()->Data().paths.system + u"\\" + kConfigFileName);
    });
    Step("document template", [this] {
        if (m_makeDocTemplate) AddDocTemplate(m_makeDocTemplate());
        for (const WChar* extension : {u".znm", u".shp", u".mvd"})
            RegisterShellFileType(extension, u"Zarnip File");
    });
    Step("shell command", [&] {
        SetSplashEnabled(m_cmdInfo.m_showSplash);
        bool open = m_cmdInfo.m_shellCommand == CCommandLineInfoExt::FileOpen;
        ProcessShellCommand(open ? win::ShellCommand::FileOpen : win::ShellCommand::FileNew,
                            m_cmdInfo.m_fileName);
        // A document that does not open leaves the empty map (its own open
        // has said why): only a missing frame ends the program.
        ok = GetMainFrame() != nullptr;
    });
    if (!ok) return false;
    HWND main = GetMainWindow();
    if (!m_frame) m_frame = dynamic_cast<IConfigFrame*>(GetMainFrame());
    Step("show main window", [&] {
        ShowWindow(main, SW_SHOW);
        UpdateWindow(main);
        WString text = GetLanguageModule()->LoadString(kIdsLoadingProfile, true);
        SetStatusText(text.c_str());
    });
    Step("apply configuration", [this] { ApplyConfiguration(); });
    Step("applets", [this] {
        SetStatusText(u"Loading applets");
        LoadApplets(GetPreferences()->Data().paths.applets);
    });
    Step("application keys", [this] {
        if (IAppMainFrame* frame = GetAppMainFrame()) frame->AssociateApplicationKeys();
    });
    Step("connect script engine", [this] {
        SetStatusText(u"Connecting global script engine");
        if (m_scriptHost) m_scriptHost->SetScriptState(ScriptState::Connected);
    });
    Step("clean up", [this] {
        SetStatusText(u"Cleaning up");
        FreeConfiguration();
        SetStatusText(nullptr);
        ShowConfigurationReport();
    });
    Step("start-up event", [this] {
        FireApplicationEvent(1, 0);
    });
    Step("GPS open event", [] {
        if (GetGps()->IsGpsActive()) GetGps()->FireEvent(kEventOnOpen, 0);
    });
    Step("default map", [this] {
        if (m_cmdInfo.m_shellCommand == CCommandLineInfoExt::FileOpen) return;
        WString inDocuments = fs::GetDocumentsFolder() + u"\\" + kDefaultMapName;
        WString inData = GetPreferences()->Data().paths.data + u"\\" + kDefaultMapName;
        if (FileExists(inDocuments)) OpenDocumentFile(inDocuments);
        else if (FileExists(inData)) OpenDocumentFile(inData);
    });
    return true;
}

void CMapApp::FireApplicationEvent(int eventId, int id) {
    FireScriptEvent(m_scripting ? m_scripting->GetApplicationObject() : nullptr, eventId, true, id);
}

void CMapApp::LoadExtensions(HWND frame) {
    if (m_extensions) m_extensions->LoadAll(frame);
}

void CMapApp::ShowSplash(HWND frame) { ShowSplashWindow(frame); }

const CXmlNode* CMapApp::GetConfigurationRoot() {
    return m_config ? m_config->GetDocument().GetRoot() : nullptr;
}

void CMapApp::ExecuteScriptText(const WString& text) {
    if (m_scriptHost) m_scriptHost->ExecuteScriptText(text.c_str());
}

bool CMapApp::WriteGpsPort(const uint8_t* data, size_t size) {
    return m_gpsPort && m_gpsPort->IsOpen() && m_gpsPort->Write(data, size);
}

bool CMapApp::WriteAuxPort(const uint8_t* data, size_t size) {
    return m_auxPort && m_auxPort->IsOpen() && m_auxPort->Write(data, size);
}

bool CMapApp::RunOptions() { return m_options && m_options->Run(); }

std::vector<WString> CMapApp::AddLayerDialog(HWND parent) {
    CAddLayersDlg dialog(parent);
    if (dialog.DoModal() != IDOK) return {};
    return dialog.m_result;
}

WString CMapApp::AddInternetServerDialog(HWND parent) {
    CAddServerDlg dialog(parent);
    if (dialog.DoModal() != IDOK) return {};
    return dialog.m_savedPath;
}

WString CMapApp::NewLayerDialog(HWND parent) {
    CMapDoc* doc = GetMapDocument();
    WString path;
    if (!RunNewShapefileDialog(parent, path, doc ? doc->GetMapCoordSys() : nullptr)) return {};
    return path;
}

void CMapApp::MapInformationDialog(HWND parent, CMapDoc* doc) {
    if (!RunMapInfoDialog(parent, doc)) return;
    // The document's title changed: the caption shows it only when redrawn.
    if (win::FrameWnd* frame = GetMainFrame()) frame->OnUpdateFrameTitle();
}

void CMapApp::ResetProgramFont() { SetProgramFont(m_options ? m_options->GetDialogFont() : nullptr); }

int CMapApp::ExitInstance() {
    SetLayersDialogRunner(nullptr);
    if (m_scriptHost) m_scriptHost->StopEngine();
    if (m_forms) m_forms->DeleteForms();
    if (m_scripting) m_scripting->DeleteFormsAndApplets();
    if (m_recentLayers) m_recentLayers->Save();
    m_recentLayers.reset();
    // The preferences are written only when the user applies the options.
    if (GetPreferences() == m_options.get()) SetPreferences(nullptr);
    SetProgramFont(nullptr);
    m_optionPages.reset();
    m_options.reset();
    ReleaseDatumTable();
    SetRecentFileList(nullptr);
    if (m_recentFiles) m_recentFiles->Save();
    m_recentFiles.reset();
    docTemplate_.reset();
    m_frame = nullptr;
    // Only now that the document and its extension layers are closed: no
    // entry point of a module runs after its termination.
    if (m_extensions) m_extensions->TerminateAll();
    if (m_instanceSink && IsWindow(m_instanceSink)) DestroyWindow(m_instanceSink);
    m_instanceSink = nullptr;
    UninstallProgramShellServices();
    return CWinAppExt::ExitInstance();
}

bool CMapApp::PreTranslateMessage(MSG* msg) {
    if (IsStylusPointMessage(msg->message)) SetLastStylusPoint(msg->pt);
    if (m_extensions && m_extensions->PreTranslateMessage(msg)) return true;
    return CWinAppExt::PreTranslateMessage(msg);
}

win::Document* CMapApp::OpenDocumentFile(const WString& path) {
    auto* doc = dynamic_cast<CMapDoc*>(CWinAppExt::OpenDocumentFile(path));
    if (!doc) return nullptr;
    if (IsMapDocumentPath(path)) {
        if (!doc->GetMapTitle().empty()) doc->SetTitle(doc->GetMapTitle());
    } else {
        doc->SetTitle(GetLanguageModule()->LoadString(kIdsUntitled, true));
        doc->ClearPathName();
    }
    if (win::FrameWnd* frame = GetMainFrame()) frame->OnUpdateFrameTitle();
    return doc;
}

bool CMapApp::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    (void)code;
    constexpr UINT kAbout = 57664;
    constexpr UINT kNew = 57600;
    if (id != kAbout && id != kNew) return false;
    if (ui) return true;
    if (id == kAbout) ShowAboutDialog();
    else OpenDocumentFile(WString());
    return true;
}

COptionsSheet* CMapApp::CreatePreferences() {
    m_optionPages.reset();
    m_options.reset();
    m_options = std::make_unique<COptionsSheet>();
    m_optionPages = std::make_unique<COptionPages>(*m_options, m_extensions);
    // The Tracklog page counts and clears the open map's tracklog.
    m_options->m_tracklogLayer = [this]() -> CTracklogLayer* {
        CMapDoc* doc = GetMapDocument();
        return doc ? &doc->GetLayers().GetTracklog() : nullptr;
    };
    // The Extensions page is there when at least one module is loaded.
    m_options->m_extensionsLoaded = [this] { return m_extensions && m_extensions->GetCount() > 0; };
    SetPreferences(m_options.get());
    return m_options.get();
}

void CMapApp::SelectLocaleResources() {
    if (!GetPreferences()) return;
    GetLanguageModule()->LoadForLocale(GetPreferences()->Data().locale.lcid);
}

bool CMapApp::LoadConfiguration(WStringView path) {
    m_config.reset();
    WString full(path);
    if (full.find(u'\\') == WString::npos) full = fs::GetProgramFolder() + u"\\" + full;
    if (!FileExists(full)) return false;  // none is normal

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

void CMapApp::RegisterSystemObjects(IScriptHost* host) {
    if (m_scripting) m_scripting->RegisterSystemObjects(host);
    else if (m_registerSystemObjects) m_registerSystemObjects(host);
}

void CMapApp::LoadApplets(const WString& folder) {
    if (m_scripting) m_scripting->LoadApplets(folder);
}

void CMapApp::CreateScriptHost(const CXmlNode* root) {
    if (!m_scriptHost) m_scriptHost = GetScriptServices()->CreateScriptHost();
    if (!m_scriptHost) return;
    WString language = RootScriptLanguage(root);
    if (m_scriptHost->StartEngine(language.empty() ? nullptr : language.c_str()))
        RegisterSystemObjects(m_scriptHost.get());
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
            m_forms->ReadForms(forms, GetPreferences()->Data().locale.lcid, host);
        if (const CXmlNode* toolbars = config->FindChild(u"TOOLBARS")) {
            if (host) host->RunScriptElements(toolbars);
            if (m_frame) m_frame->LoadToolbars(toolbars, host);
        }
        if (const CXmlNode* statusbar = config->FindChild(u"STATUSBAR"); statusbar && m_frame)
            m_frame->ApplyStatusBarConfig(statusbar);
        LoadSystemObjects(host, config);
    }
    if (host) host->SetScriptState(ScriptState::Started);
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

void CMapApp::ShowConfigurationReport() {
    if (m_report.IsEmpty()) return;
    const CLanguageModule* language = GetLanguageModule();
    WString text = language->LoadString(IDS_CONFIG_PROBLEMS, true);
    for (const WString& line : m_report.Lines()) {
        text += u"\n" + line;
        std::fprintf(stderr, "zarnip: %s\n", text::ToUtf8(line).c_str());
    }
    WString caption = language->LoadString(IDR_MAINFRAME, true);
    caption = caption.substr(0, caption.find(u'\n'));
    MessageBox(GetMainWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

void CMapApp::ReceiveInstanceFrame(InstanceFrame frame) {
    {
        std::lock_guard<std::mutex> lock(m_pendingMutex);
        m_pendingFrames.push_back(std::move(frame));
    }
    PostMessage(m_instanceSink, WM_INSTANCE_FRAMES, 0, 0);
}

void CMapApp::DeliverInstanceFrames() {
    for (;;) {
        InstanceFrame frame;
        {
            std::lock_guard<std::mutex> lock(m_pendingMutex);
            if (m_pendingFrames.empty()) return;
            frame = std::move(m_pendingFrames.front());
            m_pendingFrames.pop_front();
        }
        HWND main = GetMainWindow();
        if (!main) continue;
        if (frame.kind == kInstanceRaise) {
            ShowWindow(main, SW_SHOW);
            SetForegroundWindow(main);
            TestTrace("raised");
            if (!frame.bytes.empty()) {
                // The file a second start was given (after the offer to save
                // a modified map).
                WString path = text::FromUtf8(std::string(frame.bytes.begin(), frame.bytes.end()));
                if (auto* doc = dynamic_cast<CMapDoc*>(OpenDocumentFile(path)))
                    TestTrace("opened " + text::ToUtf8(doc->GetTitle()));
            }
        } else if (frame.kind == kInstanceCopyData && frame.bytes.size() >= 4) {
            uint32_t kind;
            std::memcpy(&kind, frame.bytes.data(), 4);
            COPYDATASTRUCT record;
            record.dwData = kind;
            record.cbData = static_cast<DWORD>(frame.bytes.size() - 4);
            record.lpData = record.cbData ? frame.bytes.data() + 4 : nullptr;
            LRESULT handled = SendMessage(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
            TestTrace("copydata " + std::to_string(kind) + " " + std::to_string(record.cbData) + " " +
                      std::to_string(handled));
        }
    }
}

LRESULT CMapApp::InstanceSinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INSTANCE_FRAMES) {
        if (CMapApp* app = GetMapApp(); app && app->m_instanceSink == hwnd) app->DeliverInstanceFrames();
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}
