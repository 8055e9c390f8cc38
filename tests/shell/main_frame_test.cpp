// The main frame on the null display: its creation, the status bar panes,
// the messages extensions, other programs and the auxiliary port send it,
// the extension services, adding layers and its own commands.
#include "shell/frame/main_frame.h"

#include <cstring>
#include <fstream>

#include "core/recent_file_list.h"
#include "core/xml_node.h"
#include "map/layers/layer_factory.h"
#include "map/layers/layer.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/view/map_view.h"
#include "platform/com/variant.h"
#include "platform/win/commctrl.h"
#include "platform/win/doc_template.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/theme.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"
#include "shell/options/options_sheet.h"
#include "tests/shell/shell_doubles.h"

namespace {

// Records what the frame asks of the application.
class CRecordingFrameHost : public IMainFrameHost {
public:
    std::vector<std::string> calls;
    std::function<void()> onLoadExtensions;
    std::vector<WString> scripts;
    std::vector<std::string> gpsWrites, auxWrites;
    bool gpsOpen = false, auxOpen = false;
    bool optionsResult = false;
    std::vector<WString> addLayerPaths;
    IGpsPort* auxPort = nullptr;
    std::vector<WPARAM> auxData;
    CRecentFileList recentLayers{u"Recent Layer List", u"Layer%d", 9, 30};

    void LoadExtensions(HWND) override {
        calls.push_back("LoadExtensions");
        if (onLoadExtensions) onLoadExtensions();
    }
    void ShowSplash(HWND) override { calls.push_back("ShowSplash"); }
    const CXmlNode* GetConfigurationRoot() override { return configRoot; }
    const CXmlNode* configRoot = nullptr;
    void FireApplicationEvent(int eventId, int id) override {
        calls.push_back("event " + std::to_string(eventId) + " " + std::to_string(id));
    }
    void ExecuteScriptText(const WString& text) override { scripts.push_back(text); }
    bool WriteGpsPort(const uint8_t* data, size_t size) override {
        if (gpsOpen) gpsWrites.emplace_back(reinterpret_cast<const char*>(data), size);
        return gpsOpen;
    }
    bool WriteAuxPort(const uint8_t* data, size_t size) override {
        if (auxOpen) auxWrites.emplace_back(reinterpret_cast<const char*>(data), size);
        return auxOpen;
    }
    IGpsPort* GetAuxPort() override { return auxPort; }
    void OnAuxData(WPARAM data) override { auxData.push_back(data); }
    CRecentFileList* GetRecentLayers() override { return &recentLayers; }
    bool RunOptions() override {
        calls.push_back("RunOptions");
        return optionsResult;
    }
    void ResetProgramFont() override { calls.push_back("ResetProgramFont"); }
    void OpenMap(const WString& path) override { calls.push_back("OpenMap " + text::ToUtf8(path)); }
    std::vector<WString> AddLayerDialog(HWND) override { return addLayerPaths; }
    WString AddInternetServerDialog(HWND) override { return serverFile; }
    WString NewLayerDialog(HWND) override { return newLayer; }
    WString newLayer;
    WString serverFile;
};

// An auxiliary port whose reader waits on notification 7.
class CFakePort : public IGpsPort {
public:
    uint32_t current = 7;
    std::vector<uint32_t> acknowledged;
    uint32_t AcceptNotification(WPARAM wParam, LPARAM) override {
        return static_cast<uint32_t>(wParam) == current ? current : 0;
    }
    void Acknowledge(uint32_t n) override { acknowledged.push_back(n); }
    WString GetErrorText() override { return {}; }
};

// Notes the preference notices the view receives.
std::vector<UINT> g_viewMessages;
WNDPROC g_viewProc = nullptr;
LRESULT NotingViewProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_VIEW_PREFSCHANGED) g_viewMessages.push_back(msg);
    return CallWindowProc(g_viewProc, h, msg, w, l);
}

class MainFrameTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        UseBuiltInLayerClass(LayerKind::Shape);
        for (const char* ext : {"shp", "shx", "dbf", "prj"}) {
            std::ifstream in(std::string(ZN_SOURCE_DIR) + "/data/Samples/blockgroups." + ext, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            Put(std::string("Docs/a.") + ext, bytes);
            Put(std::string("Docs/b.") + ext, bytes);
        }
        // Layer a has a "*" bookmark on a corner of the data.
        Put("Docs/a.znl",
            "<Zarnip><LAYER name=\"A\"><BOOKMARKS><BOOKMARK name=\"*\" minx=\"-122.45\" miny=\"37.75\" "
            "maxx=\"-122.40\" maxy=\"37.80\"/></BOOKMARKS></LAYER></Zarnip>");
        app_ = std::make_unique<win::App>();
        app_->AddDocTemplate(std::make_unique<win::SingleDocTemplate>(
            128, [] { return std::make_unique<CMapDoc>(); },
            [this] { return std::make_unique<CMainFrame>(&host_); },
            [](win::Document* doc) {
                auto view = std::make_unique<CMapView>();
                view->SetDocument(static_cast<CMapDoc*>(doc));
                return view;
            }));
    }
    void TearDown() override {
        app_.reset();
        ShellTest::TearDown();
    }
    CMainFrame* Open() {
        app_->ProcessShellCommand(win::ShellCommand::FileNew, {});
        frame_ = CMainFrame::GetMainFrame();
        return frame_;
    }
    HWND Frame() const { return frame_->GetSafeHwnd(); }
    CMapDoc* Doc() const { return frame_->GetMapDoc(); }
    std::unique_ptr<CXmlDocument> Xml(const char* text) {
        auto doc = std::make_unique<CXmlDocument>();
        EXPECT_TRUE(doc->Parse(text::FromUtf8(text)));
        return doc;
    }

    CRecordingFrameHost host_;
    std::unique_ptr<win::App> app_;
    CMainFrame* frame_ = nullptr;
};

TEST_F(MainFrameTest, CreationRunsItsStepsInOrderAndBuildsTheBars) {
    bool viewAtExtensions = false, statusAtExtensions = true;
    host_.onLoadExtensions = [&] {
        CMainFrame* f = CMainFrame::GetMainFrame();
        viewAtExtensions = f->GetMapView() != nullptr;
        statusAtExtensions = f->GetMainStatusBar() != nullptr;
    };
    COptionsSheet options;
    SetPreferences(&options);
    ASSERT_NE(Open(), nullptr);
    SetPreferences(nullptr);
    EXPECT_EQ(options.m_psh.hwndParent, Frame());  // the options' dialogs belong to the frame
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"LoadExtensions", "ShowSplash"}));
    EXPECT_TRUE(viewAtExtensions);
    EXPECT_FALSE(statusAtExtensions);
    EXPECT_EQ(GetMainWindowServices(), frame_);
    EXPECT_TRUE(GetWindowLongPtr(Frame(), GWL_STYLE) & 0x8);

    HWND status = frame_->GetMainStatusBar();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(GetDlgCtrlID(status), 59393);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtr(status, GWL_STYLE)), CMainFrame::kStatusBarStyle);
    EXPECT_EQ(SendMessage(status, SB_GETPARTS, 0, 0), 4);
    EXPECT_EQ(frame_->GetPaneWidth(2), 0);  // the scale pane starts hidden

    // The strip with the built-in bars sits above the view, the status bar below.
    ASSERT_NE(frame_->GetCommandBars()->GetStripWindow(), nullptr);
    RECT strip, view, bar;
    GetWindowRect(frame_->GetCommandBars()->GetStripWindow(), &strip);
    GetWindowRect(frame_->GetMapView()->GetSafeHwnd(), &view);
    GetWindowRect(status, &bar);
    EXPECT_GT(strip.bottom, strip.top);
    EXPECT_EQ(view.top, strip.bottom);
    EXPECT_EQ(view.bottom, bar.top);
    for (UINT id : {kMainBarId, kBrowseBarId, kDrawBarId})
        EXPECT_NE(frame_->GetCommandBars()->GetBuiltInBar(id), nullptr) << id;
}

TEST_F(MainFrameTest, TheStripDocksWhereTheConfigurationSays) {
    for (const char* align : {"left", "L", "right", "bottom", "x"}) {
        SCOPED_TRACE(align);
        auto config = Xml((std::string("<Zarnip><CONFIG><TOOLBARS align=\"") + align + "\"/></CONFIG></Zarnip>").c_str());
        host_.configRoot = config->GetRoot();
        Open();
        HWND strip = frame_->GetCommandBars()->GetStripWindow();
        ASSERT_NE(strip, nullptr);
        RECT s, v, client;
        GetWindowRect(strip, &s);
        GetWindowRect(frame_->GetMapView()->GetSafeHwnd(), &v);
        MapWindowPoints(nullptr, Frame(), reinterpret_cast<POINT*>(&s), 2);
        MapWindowPoints(nullptr, Frame(), reinterpret_cast<POINT*>(&v), 2);
        GetClientRect(Frame(), &client);
        const char a = align[0];
        EXPECT_GT(s.right - s.left, 0);
        EXPECT_GT(s.bottom - s.top, 0);
        if (a == 'l' || a == 'L') {
            EXPECT_EQ(s.left, 0);
            EXPECT_EQ(v.left, s.right);
            EXPECT_EQ(v.top, 0);
        } else if (a == 'r') {
            EXPECT_EQ(s.right, client.right);
            EXPECT_EQ(v.right, s.left);
        } else if (a == 'b') {
            // Above the status bar, below the view.
            EXPECT_EQ(v.bottom, s.top);
            EXPECT_EQ(v.top, 0);
        } else {
            EXPECT_EQ(s.top, 0);
            EXPECT_EQ(v.top, s.bottom);
        }
        DestroyWindow(Frame());
        host_.configRoot = nullptr;
    }
}

TEST_F(MainFrameTest, GpsPositionsGoToTheViewAndTheHiddenDrawBarIsAskedFor) {
    Open();
    HWND view = frame_->GetMapView()->GetSafeHwnd();
    static std::vector<std::pair<WPARAM, LPARAM>> seen;
    seen.clear();
    static WNDPROC old = nullptr;
    old = reinterpret_cast<WNDPROC>(SetWindowLongPtr(
        view, GWL_WNDPROC, reinterpret_cast<intptr_t>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_GPS_POSITION) {
                seen.emplace_back(w, l);
                return 0;
            }
            return CallWindowProc(old, h, m, w, l);
        })));
    SendMessage(Frame(), WM_GPS_POSITION, 0x1234, 99);
    SetWindowLongPtr(view, GWL_WNDPROC, reinterpret_cast<intptr_t>(old));
    EXPECT_EQ(seen, (std::vector<std::pair<WPARAM, LPARAM>>{{0x1234, 0}}));

    // The draw bar starts hidden: refreshing the edit bar asks for it.
    frame_->RefreshEditToolbar();
    MSG m;
    bool posted = false;
    while (PeekMessage(&m, Frame(), WM_COMMAND, WM_COMMAND, PM_REMOVE))
        posted |= LOWORD(m.wParam) == CMainFrame::kCmdShowDrawBar;
    EXPECT_TRUE(posted);
}

TEST_F(MainFrameTest, StatusPanesFollowTheConfiguration) {
    struct Case {
        const char* config;  // null: no STATUSBAR element
        unsigned scale;
        const char16_t* scaleText;
        bool scaleShown;
        const char16_t* modeText;
    } cases[] = {
        {nullptr, 25000, u"1:25000", true, u"V"},
        {"<STATUSBAR scale=\"false\" rockermode=\"true\"/>", 25000, u"", false, u"V"},
        {"<STATUSBAR scale=\"true\"/>", 25000, u"1:25000", true, u""},
        {"<STATUSBAR scale=\"true\"/>", 0, u"", false, u""},
        {"<STATUSBAR/>", 25000, u"", false, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config ? c.config : "none");
        Open();
        std::unique_ptr<CXmlDocument> xml;
        if (c.config) {
            xml = Xml(c.config);
            frame_->ApplyStatusBarConfig(xml->GetRoot());
        }
        frame_->SetScaleText(c.scale);
        frame_->SetModeIndicator(1);
        EXPECT_EQ(frame_->GetPaneText(2), c.scaleText);
        EXPECT_EQ(frame_->GetPaneWidth(2) != 0, c.scaleShown);
        EXPECT_EQ(frame_->GetPaneText(3), c.modeText);
        EXPECT_TRUE(frame_->IsStatusBarShown());
        DestroyWindow(Frame());
    }
    // Shown then 0: hidden again; "visible" false hides the bar.
    Open();
    frame_->SetScaleText(5000);
    EXPECT_EQ(frame_->GetPaneWidth(2), 50);
    frame_->SetScaleText(0);
    EXPECT_EQ(frame_->GetPaneWidth(2), 0);
    auto hidden = Xml("<STATUSBAR visible=\"false\"/>");
    frame_->ApplyStatusBarConfig(hidden->GetRoot());
    EXPECT_FALSE(frame_->IsStatusBarShown());
}

// The scale pane shows every digit of the scale: as many dark pixels as the
// same text drawn alone in the status bar's font. Its width
// of 50 was chosen for a narrower face than ours.
TEST_F(MainFrameTest, TheScalePaneShowsEveryDigitOfTheScale) {
    Open();
    HWND bar = frame_->GetMainStatusBar();
    HFONT font = reinterpret_cast<HFONT>(SendMessage(bar, WM_GETFONT, 0, 0));
    auto darkIn = [](uint32_t* px, int stride, RECT r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const uint32_t c = px[y * (stride / 4) + x];
                n += (c & 0xFF) < 0x70 && (c >> 8 & 0xFF) < 0x70 && (c >> 16 & 0xFF) < 0x70;
            }
        return n;
    };
    for (unsigned scale : {5000u, 313005u, 4294967295u}) {
        SCOPED_TRACE(scale);
        frame_->SetScaleText(scale);
        InvalidateRect(bar, nullptr, true);
        UpdateWindow(bar);
        RECT pane{};
        SendMessage(bar, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&pane));
        POINT o{};
        int w = 0, h = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(bar, &o), &w, &h, &stride);
        ASSERT_NE(px, nullptr);
        OffsetRect(&pane, o.x, o.y);
        const int shown = darkIn(px, stride, pane);

        const WString text = frame_->GetPaneText(2);
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = gdi::CreateSurface(300, 40);
        HBITMAP oldBitmap = SelectObject(dc, bitmap);
        HFONT oldFont = font ? SelectObject(dc, font) : nullptr;
        RECT all{0, 0, 300, 40};
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0);
        TextOut(dc, 10, 10, text.c_str(), static_cast<int>(text.size()));
        int bw = 0, bh = 0, bstride = 0;
        uint32_t* alone = gdi::SurfacePixels(bitmap, &bw, &bh, &bstride);
        ASSERT_NE(alone, nullptr);
        const int drawn = darkIn(alone, bstride, all);
        if (oldFont) SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        EXPECT_GT(drawn, 20);
        EXPECT_EQ(shown, drawn) << text::ToUtf8(text);
    }
    EXPECT_EQ(frame_->GetPaneWidth(2), 50);  // the configured width is kept
}

TEST_F(MainFrameTest, StatusTextKeepsAtMost160Characters) {
    Open();
    WString longText(200, u'x');
    frame_->SetStatusTextF(u"%s!", longText.c_str());
    EXPECT_EQ(frame_->GetPaneText(0), WString(160, u'x'));
    frame_->SetStatusText(u"Loading");
    EXPECT_EQ(frame_->GetPaneText(0), u"Loading");
    frame_->SetStatusTextF(nullptr);
    EXPECT_EQ(frame_->GetPaneText(0), u"");
}

TEST_F(MainFrameTest, ExtensionMessagesAndServices) {
    Open();
    // 0x8103: the signed low word is the event's ID.
    SendMessage(Frame(), WM_EXT_FIREEVENT, 0xFFFF, 0);
    SendMessage(Frame(), WM_EXT_FIREEVENT, 0x12345, 0);
    EXPECT_EQ(host_.calls.back(), "event 39 9029");
    EXPECT_EQ(host_.calls[host_.calls.size() - 2], "event 39 -1");

    // 0x8102: services 1 to 6, nothing else.
    EXPECT_EQ(SendMessage(Frame(), WM_EXT_GETSERVICE, 0, 0), 0);
    EXPECT_EQ(SendMessage(Frame(), WM_EXT_GETSERVICE, 7, 0), 0);
    for (WPARAM n = 1; n <= 6; ++n) EXPECT_NE(SendMessage(Frame(), WM_EXT_GETSERVICE, n, 0), 0) << n;
    using ToMap = int (*)(int, const double*, int, double*);
    using ToScreen = int (*)(int, const double*, int, int32_t*);
    using FromScreen = int (*)(int, const int32_t*, int, double*);
    auto toMap = reinterpret_cast<ToMap>(SendMessage(Frame(), WM_EXT_GETSERVICE, 1, 0));
    auto toLayer = reinterpret_cast<ToMap>(SendMessage(Frame(), WM_EXT_GETSERVICE, 2, 0));
    auto toScreen = reinterpret_cast<ToScreen>(SendMessage(Frame(), WM_EXT_GETSERVICE, 3, 0));
    auto fromScreen = reinterpret_cast<FromScreen>(SendMessage(Frame(), WM_EXT_GETSERVICE, 4, 0));

    const double in[2] = {-122.42, 37.77};
    double out[2] = {99, 99};
    int32_t pix[2] = {99, 99};
    // Without layers every index is bad: 0 and the output untouched.
    EXPECT_EQ(toMap(0, in, 1, out), 0);
    ASSERT_NE(frame_->AddLayerFile(u"\\Docs\\a.shp"), nullptr);
    struct Bad {
        int layer, count;
        bool nullIn, nullOut;
    } bad[] = {{-1, 1, false, false}, {1, 1, false, false}, {0, -1, false, false},
               {0, 1, true, false},   {0, 1, false, true}};
    for (const Bad& b : bad) {
        const double* i = b.nullIn ? nullptr : in;
        EXPECT_EQ(toMap(b.layer, i, b.count, b.nullOut ? nullptr : out), 0);
        EXPECT_EQ(toLayer(b.layer, i, b.count, b.nullOut ? nullptr : out), 0);
        EXPECT_EQ(toScreen(b.layer, i, b.count, b.nullOut ? nullptr : pix), 0);
        EXPECT_EQ(fromScreen(b.layer, b.nullIn ? nullptr : pix, b.count, b.nullOut ? nullptr : out), 0);
    }
    EXPECT_EQ(out[0], 99);
    EXPECT_EQ(pix[0], 99);
    // A good call: to the screen and back lands within a pixel.
    EXPECT_EQ(toMap(0, in, 1, out), 1);
    EXPECT_DOUBLE_EQ(out[0], in[0]);
    EXPECT_EQ(toScreen(0, in, 1, pix), 1);
    POINT expected = frame_->GetMapView()->MapPointToScreen(DoublePoint{in[0], in[1]});
    EXPECT_EQ(pix[0], expected.x);
    EXPECT_EQ(pix[1], expected.y);
    EXPECT_EQ(fromScreen(0, pix, 1, out), 1);
    EXPECT_NEAR(out[0], in[0], 0.001);
    EXPECT_NEAR(out[1], in[1], 0.001);
    EXPECT_EQ(toMap(0, in, 0, out), 1);  // no points is a good call
}

TEST_F(MainFrameTest, ShowMessageUsesTheInformationIconAndFreesASystemString) {
    Open();
    win::ClearMessageBoxLog();
    win::SetMessageBoxResponder([](const win::MessageBoxRecord&) { return IDOK; });
    BSTR text = SysAllocString(u"From the extension");
    SendMessage(Frame(), WM_EXT_SHOWMESSAGE, reinterpret_cast<WPARAM>(text), 1);
    const WChar plain[] = u"Plain";
    SendMessage(Frame(), WM_EXT_SHOWMESSAGE, reinterpret_cast<WPARAM>(plain), 0);
    const auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, u"From the extension");
    EXPECT_EQ(log[0].type & 0xF0, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(log[1].text, u"Plain");
}

TEST_F(MainFrameTest, CopyDataFromOtherPrograms) {
    Open();
    auto send = [&](uintptr_t kind, const void* data, DWORD size) {
        COPYDATASTRUCT cds;
        cds.dwData = kind;
        cds.cbData = size;
        cds.lpData = const_cast<void*>(data);
        return SendMessage(Frame(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    };
    // Kind 1: the byte count bounds the text, an odd last byte is dropped,
    // the first zero unit ends it.
    const char16_t script[] = u"MsgBox 1\0Rest";
    EXPECT_EQ(send(1, script, 8 * 2 + 1), TRUE);
    EXPECT_EQ(send(1, script, sizeof script), TRUE);
    EXPECT_EQ(send(1, script, 3 * 2), TRUE);
    EXPECT_EQ(host_.scripts, (std::vector<WString>{u"MsgBox 1", u"MsgBox 1", u"Msg"}));
    // Kinds 2 and 3: true also while the port is closed, and nothing written.
    EXPECT_EQ(send(2, "$GPGGA", 6), TRUE);
    EXPECT_TRUE(host_.gpsWrites.empty());
    host_.auxOpen = true;
    EXPECT_EQ(send(3, "AT\r", 3), TRUE);
    EXPECT_EQ(host_.auxWrites, std::vector<std::string>{"AT\r"});
    // Another kind goes to the framework.
    EXPECT_EQ(send(9, "x", 1), FALSE);
}

TEST_F(MainFrameTest, AuxDataIsAcknowledgedOnlyWhenCurrent) {
    Open();
    CFakePort port;
    // No open port: dropped.
    SendMessage(Frame(), WM_GPS_DATA, 7, reinterpret_cast<LPARAM>(&port));
    host_.auxPort = &port;
    SendMessage(Frame(), WM_GPS_DATA, 6, reinterpret_cast<LPARAM>(&port));  // stale
    CFakePort other;
    SendMessage(Frame(), WM_GPS_DATA, 7, reinterpret_cast<LPARAM>(&other));  // not the AUX port
    EXPECT_TRUE(port.acknowledged.empty());
    EXPECT_TRUE(host_.auxData.empty());
    SendMessage(Frame(), WM_GPS_DATA, 7, reinterpret_cast<LPARAM>(&port));
    EXPECT_EQ(host_.auxData, std::vector<WPARAM>{7});
    EXPECT_EQ(port.acknowledged, std::vector<uint32_t>{7});
}

TEST_F(MainFrameTest, AddingLayersZoomsAsTheirCountAndBookmarksSay) {
    Open();
    CMapView* view = frame_->GetMapView();
    // One layer with a "*" bookmark: its extent.
    CLayer* a = frame_->AddLayerFile(u"\\Docs\\a.shp");
    ASSERT_NE(a, nullptr);
    CDoubleRect star;
    ASSERT_TRUE(a->GetBookmarks().GetExtentByName(u"*", star));
    CDoubleRect shown = view->GetExtent();
    EXPECT_TRUE(shown.xmin <= star.xmin + 1e-9 && shown.xmax >= star.xmax - 1e-9);
    CDoubleRect whole;
    a->GetExtent(whole);
    EXPECT_LT(shown.xmax - shown.xmin, (whole.xmax - whole.xmin) / 2);
    EXPECT_TRUE(Doc()->IsModified());
    // The same dataset again is the layer already open.
    EXPECT_EQ(frame_->AddLayerFile(u"\\Docs\\a.shp"), a);
    EXPECT_EQ(Doc()->GetLayers().GetCount(), 1);
    EXPECT_EQ(frame_->AddLayerFile(u"\\Docs\\missing.shp"), nullptr);
    DestroyWindow(Frame());

    // Two at once through Add Layer: the full extent, though one has "*".
    Open();
    host_.addLayerPaths = {u"\\Docs\\a.shp", u"\\Docs\\b.shp", u"\\Docs\\none.shp"};
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdAddLayer, 0);
    ASSERT_EQ(Doc()->GetLayers().GetCount(), 2);
    shown = frame_->GetMapView()->GetExtent();
    CDoubleRect full;
    Doc()->GetLayers().GetAt(0)->GetExtent(full);
    EXPECT_TRUE(shown.xmin <= full.xmin + 1e-9 && shown.xmax >= full.xmax - 1e-9 &&
                shown.ymin <= full.ymin + 1e-9 && shown.ymax >= full.ymax - 1e-9);
    EXPECT_EQ(host_.recentLayers.GetEntries(), (std::vector<WString>{u"\\Docs\\b.shp", u"\\Docs\\a.shp"}));
}

TEST_F(MainFrameTest, OpenMapAsksForAMapFileInTheDataFolder) {
    Open();
    OPENFILENAME seen;
    int asked = 0;
    win::CommonDialogResponder responder;
    responder.file = [&](OPENFILENAME& ofn, bool save) {
        seen = ofn;
        ofn.file = u"\\Docs\\Roads.znm";
        return !save && ++asked == 2;  // cancelled first, then chosen
    };
    win::SetCommonDialogResponder(responder);
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdOpenMap, 0);
    EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "OpenMap \\Docs\\Roads.znm"), 0);
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdOpenMap, 0);
    EXPECT_EQ(host_.calls.back(), "OpenMap \\Docs\\Roads.znm");
    EXPECT_EQ(seen.title, u"Open Zarnip Map");
    EXPECT_EQ(seen.flags & 0x1004, 0x1004u);
    EXPECT_EQ(seen.defExt, u"znm");
    EXPECT_EQ(seen.initialDir, GetPreferences()->Data().paths.data);
    EXPECT_EQ(seen.filter.substr(0, 33), WString(u"Zarnip Map Documents\0*.znm\0Shapefiles", 33));
    EXPECT_EQ(seen.hwndOwner, Frame());
}

// A shell that cannot open web addresses.
class CNoBrowserShell : public IShellServices {
public:
    std::vector<WString> urls;
    const LayerExtensionInfo* FindLayerExtension(WStringView) override { return nullptr; }
    bool ShowFeatureSheet(CLayer*, int, int) override { return false; }
    bool IsFeatureSheetOpen() override { return false; }
    void CloseFeatureSheet() override {}
    void IdentifyFeature(CLayer*, int) override {}
    bool BrowseField(HWND, CFeatureLayer*&, int&) override { return false; }
    HMENU LoadImageMenu(UINT) override { return nullptr; }
    int ShellExecuteFile(HWND, const WChar*) override { return 0; }
    int OpenUrlShortcut(HWND, const WChar* url) override {
        urls.emplace_back(url);
        return 0;
    }
};

TEST_F(MainFrameTest, PortalFailureAndAServerLayerAskedFor) {
    Open();
    CNoBrowserShell shell;
    SetShellServices(&shell);
    win::ClearMessageBoxLog();
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdMapvault, 0);
    SetShellServices(nullptr);
    EXPECT_EQ(shell.urls, std::vector<WString>{CMainFrame::kMapvaultUrl});
    auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, WString(u"Error opening the Mapvault internet site ") + CMainFrame::kMapvaultUrl +
                               u". You might not have an Internet Browser installed on your system.");
    EXPECT_EQ(log[0].type & 0xF0, static_cast<UINT>(MB_ICONHAND));

    // The new server file: "No" adds nothing, "Yes" adds it and zooms the
    // empty map to it.
    host_.serverFile = u"\\Docs\\a.shp";
    win::ClearMessageBoxLog();
    win::QueueMessageBoxAnswers({IDNO, IDYES});
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdAddInternetServer, 0);
    EXPECT_EQ(Doc()->GetLayers().GetCount(), 0);
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdAddInternetServer, 0);
    EXPECT_EQ(Doc()->GetLayers().GetCount(), 1);
    log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].text, u"Do you want to add the new IMS layer \\Docs\\a.shp to the current map ?");
    EXPECT_EQ(host_.recentLayers.GetEntries(), std::vector<WString>{u"\\Docs\\a.shp"});
    EXPECT_TRUE(Doc()->IsModified());
}

TEST_F(MainFrameTest, NewLayerBecomesTheEditLayerAndPanningFrameIsWritten) {
    COptionsSheet options;
    options.InitDefaults();
    SetPreferences(&options);
    Open();
    host_.newLayer = u"\\Docs\\b.shp";
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdNewLayer, 0);
    ASSERT_EQ(Doc()->GetLayers().GetCount(), 1);
    CLayer* layer = Doc()->GetLayers().GetAt(0);
    EXPECT_EQ(Doc()->GetLayers().GetEditLayer(layer->GetDisplayClass()), layer);
    EXPECT_EQ(host_.recentLayers.GetEntries(), std::vector<WString>{u"\\Docs\\b.shp"});
    EXPECT_TRUE(Doc()->IsModified());

    // Panning Frame: checked while set, written to the preferences file.
    EXPECT_EQ(frame_->QueryCommand(CMainFrame::kCmdTogglePanFrame).m_nCheck, 0);
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdTogglePanFrame, 0);
    EXPECT_TRUE(options.Data().display.panframe);
    EXPECT_EQ(frame_->QueryCommand(CMainFrame::kCmdTogglePanFrame).m_nCheck, 1);
    EXPECT_EQ(XPath("Docs/ZarnipPrefs.znx", "string(//DISPLAY/@panframe)"), "true");
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdTogglePanFrame, 0);
    EXPECT_FALSE(options.Data().display.panframe);
    EXPECT_EQ(XPath("Docs/ZarnipPrefs.znx", "string(//DISPLAY/@panframe)"), "");
    DestroyWindow(Frame());
    SetPreferences(nullptr);
}

TEST_F(MainFrameTest, OptionsTellTheViewWhateverTheResult) {
    Open();
    HWND view = frame_->GetMapView()->GetSafeHwnd();
    g_viewMessages.clear();
    g_viewProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(view, GWL_WNDPROC, reinterpret_cast<intptr_t>(&NotingViewProc)));
    for (bool ok : {false, true}) {
        host_.optionsResult = ok;
        SendMessage(Frame(), WM_COMMAND, ok ? CMainFrame::kCmdOptions : CMainFrame::kCmdOptions2, 0);
    }
    SetWindowLongPtr(view, GWL_WNDPROC, reinterpret_cast<intptr_t>(g_viewProc));
    EXPECT_EQ(g_viewMessages, (std::vector<UINT>{WM_VIEW_PREFSCHANGED, WM_VIEW_PREFSCHANGED}));
    EXPECT_EQ(std::count(host_.calls.begin(), host_.calls.end(), "RunOptions"), 2);
    EXPECT_EQ(host_.calls.back(), "ResetProgramFont");
}

TEST_F(MainFrameTest, StatusBarCommandTimerAndShutdown) {
    Open();
    EXPECT_EQ(frame_->QueryCommand(CMainFrame::kCmdToggleStatusBar).m_nCheck, 1);
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdToggleStatusBar, 0);
    EXPECT_FALSE(frame_->IsStatusBarShown());
    EXPECT_EQ(frame_->QueryCommand(CMainFrame::kCmdToggleStatusBar).m_nCheck, 0);
    RECT client, view;
    GetClientRect(Frame(), &client);
    GetWindowRect(frame_->GetMapView()->GetSafeHwnd(), &view);
    MapWindowPoints(nullptr, Frame(), reinterpret_cast<POINT*>(&view), 2);
    EXPECT_EQ(view.bottom, client.bottom);

    host_.calls.clear();
    SendMessage(Frame(), WM_TIMER, 10101, 0);
    SendMessage(Frame(), WM_TIMER, 5, 0);
    EXPECT_EQ(host_.calls, std::vector<std::string>{"event 30 0"});

    // Exit: the shutdown event while the window still exists, then nothing
    // points at the frame any more.
    SendMessage(Frame(), WM_COMMAND, CMainFrame::kCmdExit, 0);
    EXPECT_EQ(app_->Run(), 0);
    EXPECT_EQ(host_.calls.back(), "event 2 0");
    EXPECT_EQ(CMainFrame::GetMainFrame(), nullptr);
    EXPECT_EQ(GetMainWindowServices(), nullptr);
}

// Every toggle shows its state as a check mark in the Tools menu and its
// Toolbars submenu, before and after it is switched.
TEST_F(MainFrameTest, TogglesShowTheirStateInTheMenus) {
    Open();
    CCommandBars* bars = frame_->GetCommandBars();
    CToolBarExt* main = bars->GetBuiltInBar(kMainBarId);
    ASSERT_NE(main, nullptr);
    const int tools = main->CommandToIndex(1034);
    ASSERT_GE(tools, 0);
    // The checked items of the Tools menu as shown, the Toolbars submenu
    // opened as the menu loop opens cascades.
    auto checkedItems = [&] {
        std::vector<UINT> checked;
        win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND owner) {
            std::vector<HMENU> menus{menu};
            for (size_t k = 0; k < menus.size(); ++k) {
                for (int i = 0; i < GetMenuItemCount(menus[k]); ++i) {
                    if (HMENU sub = GetSubMenu(menus[k], i)) {
                        SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), 0);
                        menus.push_back(sub);
                    } else if (GetMenuState(menus[k], static_cast<UINT>(i), MF_BYPOSITION) &
                               MF_CHECKED) {
                        checked.push_back(GetMenuItemID(menus[k], i));
                    }
                }
            }
            return 0u;
        });
        bars->ShowButtonMenu(1034, tools, RECT{0, 0, 20, 20}, main);
        win::SetPopupMenuResponder(nullptr);
        std::sort(checked.begin(), checked.end());
        return checked;
    };
    // Status bar 1038 and browse bar 1036 shown, panning frame 1074 and
    // edit bar 1035 not.
    EXPECT_EQ(checkedItems(), (std::vector<UINT>{1036, 1038}));
    for (UINT id : {1035u, 1036u, 1038u, 1074u}) SendMessage(Frame(), WM_COMMAND, id, 0);
    EXPECT_EQ(checkedItems(), (std::vector<UINT>{1035, 1074}));
}

}  // namespace
