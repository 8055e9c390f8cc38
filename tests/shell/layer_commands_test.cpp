// The layer management commands of the program's main window, run by the
// real application object on the sample map: each opens its dialog and the
// frame and document show what the dialog changed.
#include <algorithm>
#include <cstring>

#include "crs/coord_sys.h"
#include "platform/win/commctrl.h"
#include "platform/win/msgbox.h"

#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/view/map_view.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/doc_template.h"
#include "platform/win/input.h"
#include "resources/zres.h"
#include "shell/app/map_app.h"
#include "shell/app/null_scripting.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/shell_doubles.h"

namespace {

class LayerCommands : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
        ASSERT_EQ(std::system(("mkdir -p -m 700 '" + Host("Maps") + "' '" + Host("config") + "' '" +
                               Host("run") + "' && cp '" + samples + "'/* '" + Host("Maps") + "'/ && cp '" +
                               std::string(ZN_SOURCE_DIR) + "/data/System/Zarnip.znx' '" +
                               Host("Program/System") + "'/")
                                  .c_str()),
                  0);
        setenv("XDG_RUNTIME_DIR", Host("run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", Host("config").c_str(), 1);
    }
    void TearDown() override {
        win::ClearModalHooks();
        if (app_) {
            if (CMainFrame* frame = CMainFrame::GetMainFrame()) DestroyWindow(frame->GetSafeHwnd());
            app_->ExitInstance();
            app_.reset();
        }
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }

    // The program started as main starts it, on a map (a host path).
    CMainFrame* Open(const std::string& map) {
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        win::SetScreenSize(240, 320);
        UseBuiltInLayerClass(LayerKind::Shape);
        SetScriptServices(&scripting_);
        app_ = std::make_unique<CMapApp>();
        CMapApp* app = app_.get();
        const char* argv[] = {"zarnip", "--no-splash", map.c_str()};
        app->SetCommandLine(3, argv);
        app->UseProgramDocTemplate();
        if (!app->InitInstance()) return nullptr;
        win::input::DrainQueue();
        return CMainFrame::GetMainFrame();
    }
    CMapDoc* Doc() const { return app_->GetMapDocument(); }
    static void Command(CMainFrame* frame, UINT id) {
        SendMessage(frame->GetSafeHwnd(), WM_COMMAND, id, 0);
        win::input::DrainQueue();
    }

    CNullScriptServices scripting_;
    std::unique_ptr<CMapApp> app_;
};

TEST_F(LayerCommands, MapPropertiesRetitlesTheMapAndTheCaption) {
    CMainFrame* frame = Open(Host("Maps/Sample.znm"));
    ASSERT_TRUE(frame);
    Doc()->SetModifiedFlag(false);
    win::PushModalHook([](HWND dlg) {
        SetDlgItemText(dlg, IDC_MAP_INFO_TITLE, u"North Block");
        win::PressCaptionOk(dlg);
    });
    Command(frame, CMainFrame::kCmdMapProperties);
    EXPECT_EQ(Doc()->GetMapTitle(), u"North Block");
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_EQ(GetWindowTextString(frame->GetSafeHwnd()), u"North Block - Zarnip");

    // Cancel leaves title, caption and the modified flag.
    Doc()->SetModifiedFlag(false);
    win::PushModalHook([](HWND dlg) {
        SetDlgItemText(dlg, IDC_MAP_INFO_TITLE, u"Other");
        win::PressCaptionClose(dlg);
    });
    Command(frame, CMainFrame::kCmdMapProperties);
    EXPECT_EQ(Doc()->GetMapTitle(), u"North Block");
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_EQ(GetWindowTextString(frame->GetSafeHwnd()), u"North Block - Zarnip");
}

TEST_F(LayerCommands, NewLayerIsAddedAsTheEditLayerOfItsClass) {
    CMainFrame* frame = Open(Host("Maps/Sample.znm"));
    ASSERT_TRUE(frame);
    win::SetCommonDialogResponder({[](OPENFILENAME& ofn, bool save) {
                                       EXPECT_TRUE(save);
                                       ofn.file = u"\\Maps\\fresh.shp";
                                       return true;
                                   },
                                   nullptr, nullptr});
    win::PushModalHook([](HWND dlg) {
        win::PushModalHook([](HWND field) { win::PressCaptionOk(field); });
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_NEWSHP_ADD, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_NEWSHP_ADD)));
        win::PressCaptionOk(dlg);
    });
    const int before = Doc()->GetLayers().GetCount();
    Command(frame, CMainFrame::kCmdNewLayer);
    ASSERT_EQ(Doc()->GetLayers().GetCount(), before + 1);
    CLayer* added = Doc()->FindLayerByPath(u"\\Maps\\fresh.shp");
    ASSERT_TRUE(added);
    EXPECT_EQ(Doc()->GetLayers().GetEditLayer(DisplayClass::Point), added);
    // The map's own system went with it.
    EXPECT_EQ(HostList("Maps").end() != std::find(HostList("Maps").begin(), HostList("Maps").end(), "fresh.prj"),
              Doc()->GetMapCoordSys() && Doc()->GetMapCoordSys()->m_projectionCode != 0);
}

TEST_F(LayerCommands, LayersAndAddLayerChangeTheMap) {
    CMainFrame* frame = Open(Host("Maps/Sample.znm"));
    ASSERT_TRUE(frame);
    CLayerList& layers = Doc()->GetLayers();
    ASSERT_GT(layers.GetCount(), 0);
    CLayer* first = layers.GetAt(0);
    const bool visible = first->IsVisible();
    Doc()->SetModifiedFlag(false);
    // Layers: the first layer's visible cell.
    win::PushModalHook([](HWND dlg) {
        win::ListViewUserTap(GetDlgItem(dlg, IDC_LAYERS_LIST), 2, 1);
        win::PressCaptionOk(dlg);
    });
    Command(frame, 1025);
    EXPECT_NE(first->IsVisible(), visible);
    EXPECT_TRUE(Doc()->IsModified());

    // Add Layer: the datasets of a folder, checked by a tap on its box.
    ASSERT_EQ(std::system(("mkdir -p '" + Host("More") + "' && cp '" + Host("Maps") + "'/blockgroups.s* '" +
                           Host("Maps") + "'/blockgroups.dbf '" + Host("More") + "'/")
                              .c_str()),
              0);
    const int before = layers.GetCount();
    win::PushModalHook([](HWND dlg) {
        SetDlgItemText(dlg, IDC_ADD_LAYERS_PATH, u"\\More");
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_ADD_LAYERS_REFRESH, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_ADD_LAYERS_REFRESH)));
        HWND tree = GetDlgItem(dlg, IDC_ADD_LAYERS_TREE);
        HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        HTREEITEM file = reinterpret_cast<HTREEITEM>(
            SendMessage(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
        ASSERT_TRUE(file);
        RECT label{};
        *reinterpret_cast<HTREEITEM*>(&label) = file;
        SendMessage(tree, TVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&label));
        win::input::TapAt(tree, POINT{label.left - 6, (label.top + label.bottom) / 2});
        win::input::DrainQueue();
        win::PressCaptionOk(dlg);
    });
    Command(frame, CMainFrame::kCmdAddLayer);
    EXPECT_EQ(layers.GetCount(), before + 1);
    EXPECT_TRUE(Doc()->FindLayerByPath(u"\\More\\blockgroups.shp"));
}

TEST_F(LayerCommands, TheExtensionFontServiceRunsTheProgramsFontDialog) {
    LOGFONT font{};
    std::memcpy(font.lfFaceName, u"Tahoma", 14);
    font.lfHeight = -16;
    win::PushModalHook([](HWND dlg) {
        EXPECT_EQ(GetWindowTextString(dlg), u"Font");
        EXPECT_TRUE(GetDlgItem(dlg, IDC_FONT_FACES));
        SendMessage(GetDlgItem(dlg, IDC_FONT_BOLD), BM_CLICK, 0, 0);
        win::PressCaptionOk(dlg);
    });
    EXPECT_EQ(CMainFrame::ServiceChooseFont(nullptr, &font), 1);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(WString(font.lfFaceName), u"Tahoma");
    EXPECT_EQ(CMainFrame::ServiceChooseFont(nullptr, nullptr), 0);
}

}  // namespace
