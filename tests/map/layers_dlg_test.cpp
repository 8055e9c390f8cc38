// The Layers dialog on a map of point, line and two polygon shapefiles with
// the grid and the tracklog, driven as the user drives it; what it leaves in
// the layers, the document and the map document it then writes.
#include "map/dialogs/layers_dlg.h"

#include "crs/coord_sys.h"
#include "map/services/script_events.h"
#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "tests/map/view_harness.h"
#include "tests/platform/win_golden.h"
#include "tests/support/run_command.h"

namespace {

using Cell = CLayerListCtrl;

class LayersDialog : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        MakePointShapefile("d", "pts", {"10 10", "20 20"});
        ASSERT_TRUE(ShellIn("d",
                            "shpcreate lines arc >/dev/null && shpadd lines 0 0 50 50 >/dev/null && "
                            "dbfcreate lines -s NAME 20 >/dev/null && dbfadd lines.dbf L1 >/dev/null && "
                            "for p in polyA polyB; do shpcreate $p polygon >/dev/null && "
                            "shpadd $p 0 0 0 40 40 40 40 0 0 0 >/dev/null && dbfcreate $p -s NAME 20 "
                            ">/dev/null && dbfadd $p.dbf P >/dev/null; done"));
        // Added each on top: pts, lines, polyA, polyB from the head.
        ASSERT_TRUE(OpenShapefileView({"polyB", "polyA", "lines", "pts"}));
        ASSERT_EQ(Layers().GetCount(), 4);
        for (int i = 0; i < 4; ++i) Layer(i)->SetIdentify(false);
    }
    void TearDown() override {
        win::ClearModalHooks();
        SetLayersDialogRunner(nullptr);
        ViewHarness::TearDown();
    }
    CLayerList& Layers() { return doc_.GetLayers(); }
    CLayer* Layer(int i) { return Layers().GetAt(i); }
    static HWND List(HWND dlg) { return GetDlgItem(dlg, IDC_LAYERS_LIST); }
    static int Image(HWND dlg, int row, int column) {
        LVITEM item;
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iSubItem = column;
        SendMessage(List(dlg), LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    static LPARAM Data(HWND dlg, int row) {
        LVITEM item;
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessage(List(dlg), LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&item));
        return item.lParam;
    }
    static int Count(HWND dlg) { return static_cast<int>(SendMessage(List(dlg), LVM_GETITEMCOUNT, 0, 0)); }
    static int SelectedRow(HWND dlg) {
        return static_cast<int>(SendMessage(List(dlg), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    static WString Title(HWND dlg, int row) {
        WChar buf[64] = {};
        LVITEM item;
        item.iSubItem = 0;
        item.pszText = buf;
        item.cchTextMax = 64;
        SendMessage(List(dlg), LVM_GETITEMTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return buf;
    }
    static std::vector<bool> Buttons(HWND dlg) {
        std::vector<bool> on;
        for (int id : {IDC_LAYERS_PP, IDC_LAYERS_UP, IDC_LAYERS_DN, IDC_LAYERS_DL})
            on.push_back(IsWindowEnabled(GetDlgItem(dlg, id)));
        return on;
    }
    static void Press(HWND dlg, int id) {
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    }
    std::vector<WString> Names() {
        std::vector<WString> names;
        for (int i = 0; i < Layers().GetCount(); ++i) names.push_back(Layer(i)->GetName());
        return names;
    }
    // Runs the dialog with `act` as the user; the dialog's result.
    bool Run(std::function<void(HWND)> act) {
        win::PushModalHook([&](HWND dlg) {
            act(dlg);
            win::PressCaptionOk(dlg);
        });
        return RunLayersDialog(&doc_, nullptr);
    }
};

TEST_F(LayersDialog, RowsButtonStatesAndCellClicks) {
    Layer(0)->SetVisible(false);  // pts starts hidden
    Layers().m_layersChanged = true;
    const bool changed = Run([&](HWND dlg) {
        // Opening clears the changed flag.
        EXPECT_FALSE(Layers().m_layersChanged);
        struct Row {
            LPARAM data;
            int icon;
            WString title;
        };
        const Row rows[] = {{-1, 13, Layers().GetTracklog().GetName()},
                            {-2, 14, Layers().GetGrid().GetName()},
                            {0, 6, u"pts.shp"}, {1, 7, u"lines.shp"}, {2, 8, u"polyA.shp"}, {3, 8, u"polyB.shp"}};
        ASSERT_EQ(Count(dlg), 6);
        for (int r = 0; r < 6; ++r) {
            EXPECT_EQ(Data(dlg, r), rows[r].data) << r;
            EXPECT_EQ(Image(dlg, r, Cell::kColumnTitle), rows[r].icon) << r;
            EXPECT_EQ(Title(dlg, r), rows[r].title) << r;
        }
        EXPECT_EQ(Image(dlg, 2, Cell::kColumnVisible), Cell::kImageOff);
        // The grid and the tracklog cannot be edited: no edit cell.
        EXPECT_NE(Image(dlg, 0, Cell::kColumnEdit), Cell::kImageOff);
        EXPECT_NE(Image(dlg, 0, Cell::kColumnEdit), Cell::kImageOn);

        // PP, UP, DN, DL by selection.
        struct States {
            int row;
            std::vector<bool> on;
        };
        EXPECT_EQ(Buttons(dlg), (std::vector<bool>{false, false, false, false}));
        for (const States& s : {States{0, {false, false, false, false}}, States{1, {false, false, false, false}},
                                States{2, {true, false, true, true}}, States{5, {true, true, false, true}},
                                States{3, {true, true, true, true}}}) {
            win::ListViewUserTap(List(dlg), s.row);
            EXPECT_EQ(Buttons(dlg), s.on) << "row " << s.row;
        }

        // Identify on a hidden layer makes it visible, and its visible cell
        // shows that at once.
        win::ListViewUserTap(List(dlg), 2, Cell::kColumnIdentify);
        EXPECT_TRUE(Layer(0)->GetIdentify());
        EXPECT_TRUE(Layer(0)->IsVisible());
        EXPECT_EQ(Image(dlg, 2, Cell::kColumnIdentify), Cell::kImageOn);
        EXPECT_EQ(Image(dlg, 2, Cell::kColumnVisible), Cell::kImageOn);
        // The visible cell hides it again.
        win::ListViewUserTap(List(dlg), 2, Cell::kColumnVisible);
        EXPECT_FALSE(Layer(0)->IsVisible());

        // The second polygon layer made editable clears the first's cell.
        win::ListViewUserTap(List(dlg), 4, Cell::kColumnEdit);
        EXPECT_EQ(Layers().GetEditLayer(DisplayClass::Polygon), Layer(2));
        win::ListViewUserTap(List(dlg), 5, Cell::kColumnEdit);
        EXPECT_EQ(Layers().GetEditLayer(DisplayClass::Polygon), Layer(3));
        EXPECT_EQ(Image(dlg, 4, Cell::kColumnEdit), Cell::kImageOff);
        EXPECT_EQ(Image(dlg, 5, Cell::kColumnEdit), Cell::kImageOn);
        // Off again: editing stops for the class.
        win::ListViewUserTap(List(dlg), 5, Cell::kColumnEdit);
        EXPECT_EQ(Layers().GetEditLayer(DisplayClass::Polygon), nullptr);
        EXPECT_EQ(Image(dlg, 5, Cell::kColumnEdit), Cell::kImageOff);

        // A layer whose file cannot be written does not become the edit
        // layer: the cell stays off after the message.
        fs::test::SetReadOnly(u"\\d\\lines.shp", true);
        fs::test::SetReadOnly(u"\\d\\lines.dbf", true);
        win::ListViewUserTap(List(dlg), 3, Cell::kColumnEdit);
        EXPECT_EQ(Layers().GetEditLayer(DisplayClass::Line), nullptr);
        EXPECT_EQ(Image(dlg, 3, Cell::kColumnEdit), Cell::kImageOff);
        ASSERT_FALSE(MessageTexts().empty());
        EXPECT_EQ(MessageTexts().back(), u"Error enabling write mode on layer 'lines.shp'");
        EXPECT_TRUE(Layers().m_layersChanged);
    });
    EXPECT_TRUE(changed);
}

TEST_F(LayersDialog, HeaderClicksMovesAndRemoval) {
    for (int i = 0; i < 4; ++i) Layer(i)->SetVisible(i % 2 == 0);
    EXPECT_TRUE(Run([&](HWND dlg) {
        win::ClearMessageBoxLog();
        // Show all, then hide all; each sets the changed flag.
        win::ListViewUserColumnClick(List(dlg), Cell::kColumnVisible);
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(Layer(i)->IsVisible()) << i;
        EXPECT_TRUE(Layers().m_layersChanged);
        EXPECT_EQ(Image(dlg, 3, Cell::kColumnVisible), Cell::kImageOn);
        win::ListViewUserColumnClick(List(dlg), Cell::kColumnVisible);
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(Layer(i)->IsVisible()) << i;
        // The grid and the tracklog are left alone.
        EXPECT_EQ(Image(dlg, 3, Cell::kColumnVisible), Cell::kImageOff);
        win::ListViewUserColumnClick(List(dlg), Cell::kColumnIdentify);
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(Layer(i)->GetIdentify()) << i;

        // UP at the head and DN at the tail change nothing; a move takes
        // the selection along.
        win::ListViewUserTap(List(dlg), 2);
        Press(dlg, IDC_LAYERS_UP);
        EXPECT_EQ(Names(), (std::vector<WString>{u"pts.shp", u"lines.shp", u"polyA.shp", u"polyB.shp"}));
        Press(dlg, IDC_LAYERS_DN);
        Press(dlg, IDC_LAYERS_DN);
        EXPECT_EQ(Names(), (std::vector<WString>{u"lines.shp", u"polyA.shp", u"pts.shp", u"polyB.shp"}));
        EXPECT_EQ(SelectedRow(dlg), 4);
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_LAYERS_DN, BN_DBLCLK),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_LAYERS_DN)));
        EXPECT_EQ(Names(), (std::vector<WString>{u"lines.shp", u"polyA.shp", u"polyB.shp", u"pts.shp"}));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_LAYERS_DN)));
        Press(dlg, IDC_LAYERS_DN);
        EXPECT_EQ(Names(), (std::vector<WString>{u"lines.shp", u"polyA.shp", u"polyB.shp", u"pts.shp"}));

        // DL asks; No keeps the layer, Yes closes and removes it.
        CLayer* pts = Layer(3);
        IDispatch* object = pts->GetScriptObject(false);
        win::QueueMessageBoxAnswers({IDNO, IDYES});
        Press(dlg, IDC_LAYERS_DL);
        EXPECT_EQ(Layers().GetCount(), 4);
        Press(dlg, IDC_LAYERS_DL);
        EXPECT_EQ(Names(), (std::vector<WString>{u"lines.shp", u"polyA.shp", u"polyB.shp"}));
        auto log = win::MessageBoxLog();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].text, u"Are you sure you want to remove the layer '\\d\\pts.shp' ?");
        EXPECT_EQ(log[0].type & 0xFF, MB_YESNO | MB_ICONQUESTION);
        bool closed = false;
        for (const auto& e : script_.events) closed |= e.source == object && e.id == kEventOnClose;
        EXPECT_TRUE(closed);
        EXPECT_EQ(Count(dlg), 5);
    }));
}

TEST_F(LayersDialog, MapProjectionFromAFileAndTheDatum) {
    // UTM 33 on the North American datum of 1927, which has several shifts.
    std::string nad27 = text::ToUtf8(kUtm33Wkt);
    nad27.replace(nad27.find("D_WGS_1984"), 10, "D_North_American_1927");
    nad27.replace(nad27.find("\"WGS_1984\",6378137.0,298.257223563"), 33, "\"Clarke_1866\",6378206.4,294.9786982");
    Put("d/utm.prj", nad27);
    Put("d/bad.prj", "this is no projection");
    Put("d/odd.prj",
        "PROJCS[\"odd\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
        "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],"
        "PROJECTION[\"Mystery_Projection\"],UNIT[\"Meter\",1.0]]");
    WString answer;
    win::SetCommonDialogResponder({[&](OPENFILENAME& ofn, bool save) {
                                       EXPECT_FALSE(save);
                                       EXPECT_EQ(ofn.title, u"Choose Map Projection Definition File");
                                       ofn.file = answer;
                                       return true;
                                   },
                                   nullptr, nullptr});
    CCoordSys* before = doc_.GetMapCoordSys();
    const WString beforeName = before ? before->m_projectedName : WString();
    Run([&](HWND dlg) {
        win::ClearMessageBoxLog();
        answer = u"\\d\\bad.prj";
        Press(dlg, IDC_LAYERS_CP);
        EXPECT_EQ(doc_.GetMapCoordSys(), before);
        EXPECT_TRUE(win::MessageBoxLog().empty());
        answer = u"\\d\\odd.prj";
        Press(dlg, IDC_LAYERS_CP);
        EXPECT_EQ(doc_.GetMapCoordSys(), before);
        ASSERT_EQ(win::MessageBoxLog().size(), 1u);
        EXPECT_EQ(win::MessageBoxLog()[0].text,
                  u"The coordinate system in '\\d\\odd.prj' is not supported. The map keeps its own.");
        answer = u"\\d\\utm.prj";
        Press(dlg, IDC_LAYERS_CP);
        ASSERT_TRUE(doc_.GetMapCoordSys());
        EXPECT_EQ(doc_.GetMapCoordSys()->m_projectedName, u"WGS_1984_UTM_Zone_33N");

        // PRJ shows the system; DTM's OK sets the datum chosen.
        win::PushModalHook([](HWND info) {
            EXPECT_EQ(GetWindowTextString(info), u"Projection Information");
            win::PressCaptionOk(info);
        });
        Press(dlg, IDC_LAYERS_PRJ);
        win::PushModalHook([](HWND datums) {
            HWND list = GetDlgItem(datums, IDC_DATUM_LIST);
            ASSERT_GT(static_cast<int>(SendMessage(list, LVM_GETITEMCOUNT, 0, 0)), 1);
            win::ListViewUserTap(list, 1);
            win::PressCaptionOk(datums);
        });
        const DatumTransformation old = doc_.GetMapCoordSys()->m_datum;
        Press(dlg, IDC_LAYERS_DTM);
        const DatumTransformation& now = doc_.GetMapCoordSys()->m_datum;
        EXPECT_EQ(now.datumName, old.datumName);
        EXPECT_TRUE(now.dx != old.dx || now.dy != old.dy || now.dz != old.dz);
    });
    (void)beforeName;
}

TEST_F(LayersDialog, TheLayersCommandRedrawsAndTheDocumentKeepsTheChanges) {
    SetLayersDialogRunner([](CMapDoc* doc) { return RunLayersDialog(doc, nullptr); });
    doc_.SetModifiedFlag(false);
    const int refreshes = mainWindow_.refreshCount;
    (void)refreshes;
    win::PushModalHook([&](HWND dlg) {
        win::ListViewUserTap(List(dlg), 5);       // polyB to the head
        for (int i = 0; i < 3; ++i) Press(dlg, IDC_LAYERS_UP);
        win::ListViewUserTap(List(dlg), 3, Cell::kColumnVisible);  // pts hidden
        win::ListViewUserTap(List(dlg), 4, Cell::kColumnIdentify);  // lines identify
        win::ListViewUserTap(List(dlg), 5, Cell::kColumnEdit);      // polyA edited
        win::PressCaptionOk(dlg);
    });
    Command(ID_VIEW_LAYERS);
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(Names(), (std::vector<WString>{u"polyB.shp", u"pts.shp", u"lines.shp", u"polyA.shp"}));
    ASSERT_TRUE(doc_.WriteMapFile(u"\\d\\out.znm"));
    const std::string file = Host("d/out.znm");
    auto xpath = [&](const std::string& expr) {
        std::string out = testsupport::RunCommand("xmllint --xpath '" + expr + "' '" + file + "' 2>/dev/null");
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    };
    EXPECT_EQ(xpath("string(//LAYER[1]/@name)"), "polyB.shp");
    EXPECT_EQ(xpath("string(//LAYER[2]/@name)"), "pts.shp");
    EXPECT_EQ(xpath("string(//LAYER[2]/@visible)"), "false");
    EXPECT_EQ(xpath("string(//LAYER[3]/@identify)"), "true");
    EXPECT_EQ(xpath("string(//LAYER[4]/@edit)"), "true");
    EXPECT_EQ(xpath("count(//LAYER[@edit=\"true\"])"), "1");
}

TEST_F(LayersDialog, Picture) {
    Layer(1)->SetVisible(false);
    Layer(2)->SetIdentify(true);
    Run([&](HWND dlg) {
        win::ListViewUserTap(List(dlg), 4, Cell::kColumnEdit);
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        golden::Expect("layers_dialog", dlg);
    });
}

}  // namespace
