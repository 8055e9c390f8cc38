// The application object: start-up and shutdown, the message filter, the
// configuration file from loading to freeing, the global script host, the
// recent-layer list and the report of configuration problems.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/config_xml_file.h"
#include "core/recent_file_list.h"
#include "map/services/script_events.h"
#include "shell/app/app_services.h"
#include "shell/app/command_line.h"
#include "shell/app/win_app_ext.h"
#include "shell/config/configuration.h"
#include "shell/frame/main_frame.h"
#include "platform/win/command.h"
#include "platform/win/doc_template.h"
#include "shell/options/option_pages.h"
#include "shell/options/options_sheet.h"

class CMapDoc;

// One step of start-up as it ran: its name and how long it took.
struct StartupStep {
    const char* name;
    std::chrono::nanoseconds time;
};

// The application is also what the main frame asks of the rest of the
// program (its host).
class CMapApp : public CWinAppExt, public IMainFrameHost, public CCmdTarget {
public:
    static constexpr const WChar* kConfigFileName = u"Zarnip.znx";
    static constexpr const WChar* kDefaultMapName = u"Zarnip.znm";
    static constexpr int kRecentCount = 9;
    static constexpr int kRecentLayerDisplayLength = 30;

    CMapApp();
    ~CMapApp() override;

    // The words after the program name, before InitInstance.
    void SetCommandLine(int argc, const char* const* argv);
    const CCommandLineInfoExt& GetCommandLineInfo() const { return m_cmdInfo; }

    // The start-up sequence; false ends the program.
    bool InitInstance() override;
    // The shutdown sequence, then the framework's exit code.
    int ExitInstance() override;
    // Records the stylus point, offers the message to the extensions, then
    // to the framework's own filtering.
    bool PreTranslateMessage(MSG* msg) override;

    // Opens through the document template and titles the document: a map
    // document with a map title takes the title; any other dataset becomes
    // "Untitled" without a path, so that saving asks for a map file. Null
    // when it did not open (the empty map stays).
    win::Document* OpenDocumentFile(const WString& path) override;
    CMapDoc* GetMapDocument() const;

    // The application's commands at the end of the frame's chain: About
    // (57664) and New (57600).
    bool OnCmdMsg(UINT id, int code, CCmdUI* ui) override;

    // Makes the one preferences object (defaults only) and installs it for
    // every reader; kept until ExitInstance.
    COptionsSheet* CreatePreferences();
    COptionsSheet* GetOptions() const { return m_options.get(); }
    // The language library of the preferences' locale becomes the source of
    // every later text.
    void SelectLocaleResources() override;

    // A path without a folder is taken in the program folder. A missing
    // file is normal; an unreadable one, one that is not XML or one with
    // another root leaves no configuration and a line in the report.
    bool LoadConfiguration(WStringView path);
    // False when there is no configuration to apply (the script host is
    // then made with no root).
    bool ApplyConfiguration();
    void CreateScriptHost(const CXmlNode* root);
    void FreeConfiguration();
    // Binds the event attributes of each child of the element's
    // SYSTEMOBJECTS to the named item of the child's name.
    static bool LoadSystemObjects(IScriptHost* host, const CXmlNode* element);
    void RegisterSystemObjects(IScriptHost* host);
    void LoadApplets(const WString& folder);
    // One warning box with the report's lines (each also on standard
    // error); nothing when the report is empty.
    void ShowConfigurationReport();

    // ---- the main frame's host ----
    void LoadExtensions(HWND frame) override;
    void ShowSplash(HWND frame) override;
    const CXmlNode* GetConfigurationRoot() override;
    void FireApplicationEvent(int eventId, int id) override;
    IScriptHost* GetScriptHost() override { return m_scriptHost.get(); }
    void ExecuteScriptText(const WString& text) override;
    void ScriptEditorDialog(HWND parent) override {
        if (m_scripting) m_scripting->ShowScriptWindow(parent);
    }
    bool WriteGpsPort(const uint8_t* data, size_t size) override;
    bool WriteAuxPort(const uint8_t* data, size_t size) override;
    CRecentFileList* GetRecentLayers() override { return m_recentLayers.get(); }
    void OpenMap(const WString& path) override { OpenDocumentFile(path); }
    bool RunOptions() override;
    // The layer management dialogs of the frame's commands.
    void MapInformationDialog(HWND parent, CMapDoc* doc) override;
    WString NewLayerDialog(HWND parent) override;
    std::vector<WString> AddLayerDialog(HWND parent) override;
    WString AddInternetServerDialog(HWND parent) override;
    void ResetProgramFont() override;
    IBarExtensions* GetBarExtensions() override {
        return m_extensions ? m_extensions->GetBarExtensions() : nullptr;
    }

    CConfigXmlFile* GetConfiguration() const { return m_config.get(); }
    CConfigurationReport& GetConfigurationReport() { return m_report; }
    // Null before start-up and after exit.
    CRecentFileList* GetRecentLayerList() const { return m_recentLayers.get(); }
    CRecentFileList* GetMapRecentFileList() const { return m_recentFiles.get(); }
    HWND GetMainWindow() const;
    IAppMainFrame* GetAppMainFrame() const;
    // The steps of the last start-up, in the order they ran.
    const std::vector<StartupStep>& GetStartupSteps() const { return m_steps; }

    // The main window and the forms, set before applying. Start-up sets the
    // frame from the document template when it is not set.
    IConfigFrame* m_frame = nullptr;
    IConfigForms* m_forms = nullptr;
    // Registers the system objects with the global host once its engine
    // has started (when there is no scripting object).
    std::function<void(IScriptHost*)> m_registerSystemObjects;
    // Makes the document template (start-up step 9): the map document, the
    // main frame and the map view. Without one start-up fails at the shell
    // command.
    std::function<std::unique_ptr<win::SingleDocTemplate>()> m_makeDocTemplate;
    // The program's template: map document, CMainFrame hosted by this
    // application, map view.
    void UseProgramDocTemplate();
    // Not owned; null where the part is not there.
    IAppExtensions* m_extensions = nullptr;
    IAppScripting* m_scripting = nullptr;
    IPortWriter* m_gpsPort = nullptr;
    IPortWriter* m_auxPort = nullptr;
    // The auxiliary port's notifications to the main frame: the port they
    // come from and what takes the data (set by the program).
    IGpsPort* GetAuxPort() override { return m_auxNotifier; }
    void OnAuxData(WPARAM data) override {
        if (m_onAuxData) m_onAuxData(data);
    }
    IGpsPort* m_auxNotifier = nullptr;
    std::function<void(WPARAM)> m_onAuxData;

private:
    template <class F>
    void Step(const char* name, F&& step);
    void SetStatusText(const WChar* text);
    // The peer's messages, handed from the listener thread to this one.
    void ReceiveInstanceFrame(InstanceFrame frame);
    void DeliverInstanceFrames();
    static LRESULT InstanceSinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    CCommandLineInfoExt m_cmdInfo;
    std::unique_ptr<COptionsSheet> m_options;
    // The sheet's pages; gone before the sheet.
    std::unique_ptr<COptionPages> m_optionPages;
    std::unique_ptr<CConfigXmlFile> m_config;
    std::unique_ptr<IScriptHost> m_scriptHost;
    std::unique_ptr<CRecentFileList> m_recentFiles;
    std::unique_ptr<CRecentFileList> m_recentLayers;
    CConfigurationReport m_report;
    std::vector<StartupStep> m_steps;
    HWND m_instanceSink = nullptr;
    std::mutex m_pendingMutex;
    std::deque<InstanceFrame> m_pendingFrames;
};

// The process's application object, when one exists.
CMapApp* GetMapApp();
