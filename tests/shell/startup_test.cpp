// Start-up and shutdown of the application with a recording main frame,
// view, script host and main-window services, on the null backend.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/language_module.h"
#include "map/layers/layer_factory.h"
#include "map/layers/bookmarks.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/services/main_window.h"
#include "map/view/map_view.h"
#include "platform/sys/device.h"
#include "platform/sys/registry.h"
#include "platform/win/frame_wnd.h"
#include "platform/win/msgbox.h"
#include "platform/win/view.h"
#include "platform/win/window.h"
#include "shell/app/map_app.h"
#include "shell/app/splash.h"
#include "core/stylus.h"
#include "resources/zres.h"
#include "script/script_services.h"
#include "tests/shell/shell_doubles.h"

namespace {

// The script services of the journal, with the events they fire and the
// script text they were asked to run.
class CStartupHost : public CJournalHost {
public:
    using CJournalHost::CJournalHost;
    bool SetScriptState(ScriptState state) override {
        journal->push_back("SetScriptState " + std::to_string(static_cast<int>(state)));
        return true;
    }
    void StopEngine() override { journal->push_back("StopEngine"); }
    bool ExecuteScriptText(const WChar* text) override {
        journal->push_back("Execute " + Narrow(text));
        return true;
    }
    std::vector<std::string>* journal;
};

class CStartupScripts : public CJournalScriptServices {
public:
    void FireScriptEvent(IDispatch*, int eventId, bool, int) override {
        journal.push_back("Fire " + std::to_string(eventId));
    }
    std::unique_ptr<IScriptHost> CreateScriptHost() override {
        journal.push_back("CreateScriptHost");
        auto host = std::make_unique<CStartupHost>(&journal);
        host->journal = &journal;
        return host;
    }
};

// The main window's status pane.
class CStatusJournal : public IMainWindow {
public:
    explicit CStatusJournal(std::vector<std::string>* journal) : journal_(journal) {}
    void SetStatusText(const WChar* text) override {
        journal_->push_back("Status " + (text ? Narrow(text) : std::string("(clear)")));
    }
    void SetModeIndicator(int) override {}
    void SetScaleText(unsigned) override {}
    void ShowStatusBar(bool) override {}
    bool IsStatusBarShown() override { return true; }
    void RefreshView() override {}
    void SetToolButtonImage(UINT) override {}
    void RefreshEditToolbar() override {}
    void FireCommandEvent(UINT, int) override {}
    int RunBoundKeyCommand(int, int) override { return 0; }
    HWND GetMainStatusBar() override { return nullptr; }
    CBookmarkList& GetBookmarks() override { return bookmarks_; }
    bool GetViewExtent(CDoubleRect&) override { return false; }
    LRESULT OnGpsPosition(GpsPosition*) override { return 0; }

private:
    std::vector<std::string>* journal_;
    CBookmarkList bookmarks_;
};

class CFakeView : public win::View {
public:
    void OnDraw(HDC) override {}
};

class CFakeMainFrame : public win::FrameWnd, public IConfigFrame, public IAppMainFrame {
public:
    explicit CFakeMainFrame(std::vector<std::string>* journal) : journal_(journal) {}
    int OnCreate(CREATESTRUCT* cs) override {
        journal_->push_back("CreateFrame");
        return FrameWnd::OnCreate(cs);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_DESTROY) {
            if (CMapApp* app = GetMapApp()) app->FireApplicationEvent(2, 0);
        }
        return FrameWnd::WindowProc(msg, wParam, lParam);
    }
    void LoadToolbars(const CXmlNode*, IScriptHost*) override { journal_->push_back("LoadToolbars"); }
    void ApplyStatusBarConfig(const CXmlNode*) override { journal_->push_back("ApplyStatusBarConfig"); }
    void AssociateApplicationKeys() override { journal_->push_back("AssociateApplicationKeys"); }

private:
    std::vector<std::string>* journal_;
};

class CFakeExtensions : public IAppExtensions {
public:
    bool PreTranslateMessage(MSG* msg) override {
        seen.push_back(msg->message);
        return msg->message == eat;
    }
    void LoadAll(HWND) override { journal->push_back("LoadAll"); }
    void TerminateAll() override { journal->push_back("TerminateAll"); }
    std::vector<UINT> seen;
    UINT eat = 0;
    std::vector<std::string>* journal = nullptr;
};

class CFakePort : public IPortWriter {
public:
    bool IsOpen() override { return open; }
    bool Write(const uint8_t* data, size_t size) override {
        written.insert(written.end(), data, data + size);
        return true;
    }
    bool open = false;
    std::vector<uint8_t> written;
};

const char kMap[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Zarnip><MAP name=\"%s\"><PROPERTIES>"
    "<ENVELOPE minx=\"0\" miny=\"0\" maxx=\"10\" maxy=\"10\"/></PROPERTIES></MAP></Zarnip>\n";

std::string MapText(const std::string& title) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, kMap, title.c_str());
    return buffer;
}

class Startup : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        SetScriptServices(&scripts_);
        SetMainWindowServices(&status_);
        ResetLanguageModuleForTests();
        UseBuiltInLayerClass(LayerKind::Shape);
        extensions_.journal = &Journal();
        MakeApp();
    }
    // The program's own main frame and map view instead of the fakes.
    void UseProgramFrame() { app_->UseProgramDocTemplate(); }
    void MakeApp() {
        app_.reset();
        app_ = std::make_unique<CMapApp>();
        app_->m_extensions = &extensions_;
        app_->m_gpsPort = &gps_port_;
        app_->m_auxPort = &aux_port_;
        app_->m_makeDocTemplate = [this] {
            return std::make_unique<win::SingleDocTemplate>(
                IDR_MAINFRAME, [] { return std::make_unique<CMapDoc>(); },
                [this] { return std::make_unique<CFakeMainFrame>(&Journal()); },
                [](win::Document*) { return std::make_unique<CFakeView>(); });
        };
    }
    void TearDown() override {
        Stop();
        app_.reset();
        SetMainWindowServices(nullptr);
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }
    std::vector<std::string>& Journal() { return scripts_.journal; }
    bool Start(std::vector<const char*> words = {}) {
        words.insert(words.begin(), "zarnip");
        app_->SetCommandLine(static_cast<int>(words.size()), words.data());
        return app_->InitInstance();
    }
    // The frame's destruction, then the shutdown.
    int Stop() {
        if (!app_ || !app_->GetMapRecentFileList()) return -1;
        if (HWND main = app_->GetMainWindow()) DestroyWindow(main);
        return app_->ExitInstance();
    }
    CMapDoc* Document() { return app_->GetMapDocument(); }
    void PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            MSG m;
            while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessage(&m);
            }
            if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    CStartupScripts scripts_;
    CStatusJournal status_{&scripts_.journal};
    CFakeExtensions extensions_;
    CFakePort gps_port_;
    CFakePort aux_port_;
    std::unique_ptr<CMapApp> app_;
};

std::string ReadTestData(const std::string& relative) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> StepNames(const CMapApp& app) {
    std::vector<std::string> names;
    for (const StartupStep& step : app.GetStartupSteps()) names.push_back(step.name);
    return names;
}

TEST_F(Startup, TheStepsRunInOrderAndShutdownUndoesThem) {
    Put("Program/System/Zarnip.znx",
        "<Zarnip><CONFIG><TOOLBARS/><STATUSBAR scale=\"false\"/></CONFIG></Zarnip>");
    ASSERT_TRUE(Start());
    EXPECT_EQ(StepNames(*app_),
              (std::vector<std::string>{"single instance", "soft input panel class", "profile key", "help file",
                                        "COM", "recent lists", "preferences", "configuration",
                                        "document template", "shell command", "show main window",
                                        "apply configuration", "applets", "application keys",
                                        "connect script engine", "clean up", "start-up event",
                                        "GPS open event", "default map"}));
    EXPECT_EQ(Journal(), (std::vector<std::string>{
                             "CreateFrame", "Status Loading Application Profile…", "CreateScriptHost",
                             "StartEngine default", "LoadToolbars", "ApplyStatusBarConfig", "SetScriptState 1",
                             "Status Loading applets", "AssociateApplicationKeys",
                             "Status Connecting global script engine", "SetScriptState 2", "Status Cleaning up",
                             "Status (clear)", "Fire 1"}));
    HWND main = app_->GetMainWindow();
    ASSERT_TRUE(main);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(app_->GetConfiguration(), nullptr);  // freed in step 16
    EXPECT_EQ(Narrow(app_->GetHelpFilePath()), "Zarnip.htm#Main_Contents");
    EXPECT_EQ(Narrow(sys::GetProfileKey()), "Software\\QOVA\\Zarnip");
    for (const WChar* extension : {u".znm", u".shp", u".mvd"}) {
        sys::RegValue value;
        ASSERT_TRUE(sys::RegQueryValue(sys::Hive::ClassesRoot, extension, u"", &value));
    }
    EXPECT_TRUE(win::MessageBoxLog().empty());

    Journal().clear();
    app_->GetRecentLayerList()->Add(u"\\Docs\\roads.shp");
    EXPECT_EQ(Stop(), 0);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Fire 2", "StopEngine", "TerminateAll"}));
    EXPECT_EQ(app_->GetOptions(), nullptr);
    EXPECT_TRUE(HostList("Docs").empty()) << "the preferences are deleted, not written";
    EXPECT_EQ(Narrow(sys::GetProfileString(u"Recent Layer List", u"Layer1")), "\\Docs\\roads.shp");
    EXPECT_EQ(app_->GetRecentLayerList(), nullptr);
}

TEST_F(Startup, NothingOptionalIsNeeded) {
    // No Zarnip.znx, no ZarnipPrefs.znx, no Locales, no Extensions, no Applets.
    ASSERT_TRUE(Start());
    EXPECT_TRUE(IsWindow(app_->GetMainWindow()));
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_NE(std::find(Journal().begin(), Journal().end(), "StartEngine default"), Journal().end());
    ASSERT_NE(Document(), nullptr);
    EXPECT_TRUE(Document()->GetLayers().GetCount() == 0);
}

TEST_F(Startup, TheCommandLineDecidesTheSplash) {
    for (bool splash : {true, false}) {
        SCOPED_TRACE(splash ? "shown" : "--no-splash");
        UseProgramFrame();
        SetMainWindowServices(nullptr);
        std::vector<const char*> words;
        if (!splash) words.push_back("--no-splash");
        ASSERT_TRUE(Start(words));
        EXPECT_EQ(IsSplashEnabled(), splash);
        HWND shown = GetSplashWindow();
        EXPECT_EQ(shown != nullptr, splash);
        if (shown) EXPECT_EQ(GetOwner(shown), app_->GetMainWindow());
        EXPECT_EQ(Stop(), 0);
        EXPECT_EQ(GetSplashWindow(), nullptr) << "it goes with its owner";
        MakeApp();
    }
    SetSplashEnabled(true);
}

TEST_F(Startup, TheDefaultMapAndTheCommandLine) {
    ::mkdir(Host("Data").c_str(), 0755);
    Put("Docs/ZarnipPrefs.znx", "<Zarnip><PREFERENCES><PATHS data=\"\\Data\"/></PREFERENCES></Zarnip>");
    Put("Data/Zarnip.znm", MapText("From data"));
    Put("Docs/Named.znm", MapText("Named"));
    struct Row {
        const char* what;
        bool inDocuments;
        std::vector<const char*> words;
        const char* title;
    } rows[] = {
        {"only the data folder's", false, {}, "From data"},
        {"the documents folder's wins", true, {}, "From documents"},
        {"a named file keeps both out", true, {"/Docs/Named.znm"}, "Named"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.inDocuments) Put("Docs/Zarnip.znm", MapText("From documents"));
        std::vector<const char*> words = row.words;
        std::string host;
        if (!words.empty()) {
            host = Host(words[0] + 1);
            words[0] = host.c_str();
        }
        ASSERT_TRUE(Start(words));
        ASSERT_NE(Document(), nullptr);
        EXPECT_EQ(Narrow(Document()->GetTitle()), row.title);
        EXPECT_EQ(Stop(), 0);
        MakeApp();
    }
}

TEST_F(Startup, DocumentsAreTitledAndAFailedOpenKeepsTheProgram) {
    for (const char* name : {"blockgroups.shp", "blockgroups.shx", "blockgroups.dbf"})
        Put(std::string("Docs/") + name, ReadTestData(std::string("shape/") + name));
    Put("Docs/Titled.znm", MapText("Bay Area"));
    Put("Docs/Plain.znm", MapText(""));
    std::string missing = Host("Docs/Missing.znm");
    ASSERT_TRUE(Start({missing.c_str()}));
    ASSERT_TRUE(IsWindow(app_->GetMainWindow()));
    ASSERT_NE(Document(), nullptr);
    EXPECT_TRUE(Document()->GetLayers().GetCount() == 0);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u) << "the document says why it did not open";

    struct Row {
        const WChar* path;
        const char* title;
        const char* pathName;
    } rows[] = {
        {u"\\Docs\\blockgroups.shp", "Untitled", ""},
        {u"\\Docs\\Titled.znm", "Bay Area", "\\Docs\\Titled.znm"},
        {u"\\Docs\\Plain.znm", "Plain.znm", "\\Docs\\Plain.znm"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        ASSERT_NE(app_->OpenDocumentFile(row.path), nullptr);
        EXPECT_EQ(Narrow(Document()->GetTitle()), row.title);
        EXPECT_EQ(Narrow(Document()->GetPathName()), row.pathName);
    }
    EXPECT_EQ(app_->OpenDocumentFile(u"\\Docs\\Missing.znm"), nullptr);
    EXPECT_TRUE(IsWindow(app_->GetMainWindow()));

    // New, at the end of the frame's command chain.
    ASSERT_NE(app_->OpenDocumentFile(u"\\Docs\\Titled.znm"), nullptr);
    win::FrameWnd* frame = app_->GetMainFrame();
    EXPECT_TRUE(frame->QueryCommand(57600).m_bEnabled);
    EXPECT_TRUE(frame->QueryCommand(57664).m_bEnabled);
    EXPECT_TRUE(frame->RouteCommand(57600));
    EXPECT_EQ(Narrow(Document()->GetTitle()), "Untitled");
    EXPECT_EQ(Narrow(Document()->GetPathName()), "");
}

TEST_F(Startup, TheRecentLayerListKeepsNineShortNames) {
    sys::SetProfileKey(CWinAppExt::kProfileCompany, u"Zarnip");
    for (int i = 1; i <= 11; ++i)
        sys::WriteProfileString(u"Recent Layer List", text::Format(u"Layer%d", i),
                                text::Format(u"\\Storage Card\\Survey %d\\Parcels and roads\\layer%d.shp", i, i)
                                    .c_str());
    ASSERT_TRUE(Start());
    CRecentFileList* layers = app_->GetRecentLayerList();
    ASSERT_EQ(layers->GetCount(), 9);
    for (int i = 0; i < 9; ++i) {
        WString shown = layers->GetDisplayName(i);
        EXPECT_LE(shown.size(), 30u) << Narrow(shown);
        EXPECT_NE(shown.find(text::Format(u"layer%d.shp", i + 1)), WString::npos) << Narrow(shown);
    }
}

TEST_F(Startup, TheFilterKeepsTheTapPointAndOffersEveryMessageToTheExtensions) {
    ASSERT_TRUE(Start());
    HWND main = app_->GetMainWindow();
    auto send = [&](UINT message, LONG x, LONG y) {
        MSG m;
        m.hwnd = main;
        m.message = message;
        m.pt = {x, y};
        return app_->PreTranslateMessage(&m);
    };
    struct Row {
        UINT message;
        bool recorded;
    } rows[] = {{WM_MOUSEMOVE, true},      {WM_LBUTTONDOWN, true}, {WM_LBUTTONDBLCLK, true},
                {WM_RBUTTONDOWN, true},    {WM_RBUTTONDBLCLK, true}, {WM_LBUTTONUP, false},
                {WM_RBUTTONUP, false},     {WM_KEYDOWN, false}};
    for (const Row& row : rows) {
        SetLastStylusPoint({-1, -1});
        send(row.message, 12, 34);
        POINT p = GetLastStylusPoint();
        EXPECT_EQ(p.x == 12 && p.y == 34, row.recorded) << row.message;
    }
    // A tap, then its button-up somewhere else.
    send(WM_LBUTTONDOWN, 50, 60);
    send(WM_LBUTTONUP, 80, 90);
    EXPECT_EQ(GetLastStylusPoint().x, 50);
    EXPECT_EQ(GetLastStylusPoint().y, 60);
    EXPECT_EQ(extensions_.seen.size(), std::size(rows) + 2);
    // A message an extension takes is dropped, after its point was kept.
    extensions_.eat = WM_LBUTTONDOWN;
    EXPECT_TRUE(send(WM_LBUTTONDOWN, 7, 8));
    EXPECT_EQ(GetLastStylusPoint().x, 7);
    EXPECT_FALSE(send(WM_MOUSEMOVE, 9, 9));
}

TEST_F(Startup, TheInputPanelClassIsMadeOnlyWithoutTheShellsControls) {
    auto makes = [] {
        HWND h = CreateWindowEx(0, u"SIPPREF", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
        if (h) DestroyWindow(h);
        return h != nullptr;
    };
    EXPECT_FALSE(makes());
    static int calls = 0;
    using InitFunction = int (*)();
    InitFunction init = [] { return ++calls, 1; };
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls", reinterpret_cast<void*>(init));
    EXPECT_TRUE(CWinAppExt::RegisterSipPref());
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(makes());
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls", nullptr);
    EXPECT_TRUE(CWinAppExt::RegisterSipPref());
    EXPECT_TRUE(makes());
}

TEST_F(Startup, CopyDataFromOtherPrograms) {
    UseProgramFrame();
    SetMainWindowServices(nullptr);
    ASSERT_TRUE(Start());
    HWND main = app_->GetMainWindow();
    Journal().clear();
    auto send = [&](uintptr_t kind, std::vector<uint8_t> bytes) {
        COPYDATASTRUCT record;
        record.dwData = kind;
        record.cbData = static_cast<DWORD>(bytes.size());
        record.lpData = bytes.empty() ? nullptr : bytes.data();
        return SendMessage(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    };
    auto wide = [](const char* text, bool terminate) {
        std::vector<uint8_t> out;
        for (const char* p = text; *p; ++p) out.insert(out.end(), {static_cast<uint8_t>(*p), 0});
        if (terminate) out.insert(out.end(), {0, 0});
        return out;
    };
    EXPECT_EQ(send(1, wide("MsgBox 1", true)), 1);
    std::vector<uint8_t> odd = wide("Beep", false);
    odd.push_back('x');  // a lone last byte
    EXPECT_EQ(send(1, odd), 1);
    std::vector<uint8_t> cut = wide("A", false);
    cut.insert(cut.end(), {0, 0, 'B', 0});  // nothing after the first zero unit
    EXPECT_EQ(send(1, cut), 1);
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Execute MsgBox 1", "Execute Beep", "Execute A"}));

    // Closed ports: handled, nothing written.
    EXPECT_EQ(send(2, {'$', 'G'}), 1);
    EXPECT_EQ(send(3, {'A'}), 1);
    EXPECT_TRUE(gps_port_.written.empty() && aux_port_.written.empty());
    gps_port_.open = aux_port_.open = true;
    EXPECT_EQ(send(2, {'$', 'G', 0, 'P'}), 1);
    EXPECT_EQ(send(3, {'A'}), 1);
    EXPECT_EQ(gps_port_.written, (std::vector<uint8_t>{'$', 'G', 0, 'P'}));
    EXPECT_EQ(aux_port_.written, (std::vector<uint8_t>{'A'}));
    EXPECT_EQ(send(4, {'A'}), 0) << "other kinds go to the framework";
}

TEST_F(Startup, AnotherInstanceRaisesThisOneAndItsMessagesArrive) {
    UseProgramFrame();
    SetMainWindowServices(nullptr);
    ASSERT_TRUE(Start());
    HWND main = app_->GetMainWindow();
    ShowWindow(main, SW_HIDE);
    Journal().clear();
    const WString className = app_->GetSingleInstance().GetClassName();
    EXPECT_EQ(Narrow(className), "AfxZarnip Class");
    {
        CMapApp second;
        EXPECT_FALSE(second.InitInstance());
        EXPECT_EQ(StepNames(second), std::vector<std::string>{"single instance"});
    }
    PumpUntil([&] { return IsWindowVisible(main); });
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(GetForegroundWindow(), main);

    std::vector<uint8_t> frame = {1, 0, 0, 0};
    for (char c : std::string("Beep")) frame.insert(frame.end(), {static_cast<uint8_t>(c), 0});
    ASSERT_TRUE(CSingleInstance::SendToHolder(className, kInstanceCopyData, frame));
    auto executed = [&] {
        std::vector<std::string> lines;
        for (const std::string& line : Journal())
            if (line.rfind("Execute ", 0) == 0) lines.push_back(line);
        return lines;
    };
    PumpUntil([&] { return !executed().empty(); });
    EXPECT_EQ(executed(), std::vector<std::string>{"Execute Beep"});
}

TEST_F(Startup, ConfigurationProblemsAreShownOnce) {
    Put("Program/System/Zarnip.znx", "<zarnip/>");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(Start());
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    const win::MessageBoxRecord box = win::MessageBoxLog()[0];
    EXPECT_EQ(Narrow(box.text),
              "The configuration file has problems; the program started without the parts named here:\n"
              "The configuration file \\Program\\System\\Zarnip.znx was not used: its root element is "
              "\"zarnip\", not \"Zarnip\".");
    EXPECT_EQ(Narrow(box.caption), "Zarnip");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_NE(err.find("its root element is \"zarnip\""), std::string::npos) << err;
    EXPECT_TRUE(IsWindowVisible(app_->GetMainWindow()));
}

}  // namespace

// The same start and stop with the program's own script services: the
// configuration's script runs in a real engine, the host stops at shutdown,
// and nothing is left behind (the address sanitizer's build checks that).
class StartupWithScriptHost : public Startup {
protected:
    void SetUp() override {
        Startup::SetUp();
        SetScriptServices(&host_services_);
    }
    CScriptServices host_services_;
};

TEST_F(StartupWithScriptHost, TheConfigurationsScriptRunsAndTheHostStopsAtShutdown) {
    win::ClearMessageBoxLog();
    Put("Program/System/Zarnip.znx",
        "<Zarnip><SCRIPT>MsgBox \"started\" &amp; (1 + 1)</SCRIPT><CONFIG>"
        "<TOOLBARS/><STATUSBAR scale=\"false\"/></CONFIG></Zarnip>");
    ASSERT_TRUE(Start());
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"started2");
    ASSERT_NE(app_->GetScriptHost(), nullptr);
    EXPECT_TRUE(app_->GetScriptHost()->IsStarted());
    EXPECT_EQ(Stop(), 0);
}
