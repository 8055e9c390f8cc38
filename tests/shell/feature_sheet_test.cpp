// The Feature Properties sheet over real shapefiles in the map view: what
// OK writes (read back by shapelib's and GDAL's tools), what Cancel and
// failed writes leave, the one modeless sheet the view re-targets, the
// averaging of a new point, the highlight on the view's surface and the
// built-in pages.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "core/xml_node.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_draw.h"
#include "map/services/gps.h"
#include "map/services/preferences.h"
#include "map/services/view_messages.h"
#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/propsheet.h"
#include "resources/zres.h"
#include "shell/forms/feature_sheet.h"
#include "shell/forms/forms.h"
#include "tests/map/edit_harness.h"
#include "tests/shell/forms_fixture.h"

namespace {

// The view's Clear Selected command.
constexpr UINT kClearSelectedCommand = 1031;

// The shell services of the program as far as the feature sheet goes; the
// recording double for the rest.
class SheetShell : public CRecordingShell {
public:
    bool ShowFeatureSheet(CLayer* layer, int record, int mode) override {
        sheets.push_back({layer, record, mode});
        return CFeatureSheet::Show(layer, record, mode);
    }
    bool IsFeatureSheetOpen() override { return ::IsFeatureSheetOpen(); }
    void CloseFeatureSheet() override { ::CloseFeatureSheet(); }
    bool IsFeatureSheetWindow() override { return ::IsFeatureSheetWindow(); }
    bool GetFeatureSheetShape(CDoubleRect& bounds) override {
        return ::GetFeatureSheetShape(bounds);
    }
    void DrawFeatureSheetShape(HDC dc) override { ::DrawFeatureSheetShape(dc); }
    void ForgetLayer(CLayer* layer) override { ForgetFeatureSheetLayer(layer); }
};

// The view's script services, which also give forms their script objects.
class FormAwareScript : public CRecordingScript {
public:
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return true; }
    int Count(IDispatch* source, int id) const {
        int n = 0;
        for (const auto& e : events) n += e.source == source && e.id == id;
        return n;
    }
};

// A receiver that is open and averages what the test feeds it.
class AveragingGps : public CInactiveGps {
public:
    bool active = true;
    int starts = 0;
    int stops = 0;
    int samples = 0;
    GpsFix averaged{};
    GpsFix projected{};
    bool IsGpsActive() override { return active; }
    void StartAveraging() override {
        ++starts;
        samples = 0;
        Position().stateBits |= ZN_GPS_STATE_AVERAGING;
    }
    void StopAveraging() override {
        ++stops;
        Position().stateBits &= ~ZN_GPS_STATE_AVERAGING;
    }
    GpsFix GetAveragedFix() override { return averaged; }
    GpsFix GetProjectedFix() override { return projected; }
    int32_t GetAveragedCount() override { return samples; }
    bool Averaging() { return (Position().stateBits & ZN_GPS_STATE_AVERAGING) != 0; }
};

HWND PageWindow(HWND sheet, int index) {
    SendMessage(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
}

int ActiveIndex(HWND sheet) {
    SendMessage(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    auto page = static_cast<WPARAM>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
    SendMessage(sheet, PSM_HWNDTOINDEX, page, 0);
    return static_cast<int>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
}

void TapTab(HWND sheet, int index) {
    SendMessage(sheet, PSM_GETTABCONTROL, 0, 0);
    win::TabUserSelect(reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT)), index);
    Pump();
}

void TapButton(HWND window, int id) {
    SendMessage(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    Pump();
}

WString Text(HWND window) {
    WChar buffer[300] = {};
    GetWindowText(window, buffer, 300);
    return buffer;
}

WString ItemText(HWND list, int item, int sub) {
    WChar buffer[300] = {};
    LVITEM it{};
    it.iSubItem = sub;
    it.pszText = buffer;
    it.cchTextMax = 300;
    SendMessage(list, LVM_GETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    return buffer;
}

// The user edits a row's value in place; false when editing did not start.
bool EditValue(HWND list, int row, const WChar* text) {
    HWND edit = reinterpret_cast<HWND>(SendMessage(list, LVM_EDITLABEL, static_cast<WPARAM>(row), 0));
    if (!edit) return false;
    Pump();
    SetWindowText(edit, text);
    win::ListViewUserEndEdit(list, false);
    Pump();
    return true;
}

std::vector<std::string> Lines(const std::string& text, const std::string& with) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(with) != std::string::npos) out.push_back(line);
    return out;
}

}  // namespace

class FeatureSheetTest : public viewtest::EditHarness {
protected:
    void SetUp() override {
        EditHarness::SetUp();
        InitCommonControls();
        win::ClearModalHooks();
        SetShellServices(&sheetShell_);
        SetScriptServices(&formScript_);
        SetGps(&gps_);
        ResetFeatureSheetForTests();
    }
    void TearDown() override {
        ResetFeatureSheetForTests();
        win::ClearModalHooks();
        win::SetMessageBoxResponder(nullptr);
        SetVertexDialogRunners({});
        SetGps(nullptr);
        SetFormScriptObjects(nullptr);
        SetShellServices(&shell_);
        for (CShapeLayer* layer : {feat_, way_})
            if (layer) layer->m_forms.reset();
        SetScriptServices(&script_);
        EditHarness::TearDown();
    }

    // "feat": points P1 (20 30, VAL 1.25) and P2 (70 80, VAL 2); "way": the
    // line L1 10 20 - 30 20 - 30 40; both edit layers of the view.
    void OpenFeatures(bool editable = true) {
        ASSERT_TRUE(ShellIn("d",
                            "shpcreate feat point >/dev/null && dbfcreate feat -s NAME 10 -n VAL 8 2"
                            " >/dev/null && shpadd feat 20 30 >/dev/null && dbfadd feat.dbf P1 1.25"
                            " >/dev/null && shpadd feat 70 80 >/dev/null && dbfadd feat.dbf P2 2"
                            " >/dev/null && shpcreate way arc >/dev/null && dbfcreate way -s NAME 10"
                            " >/dev/null && shpadd way 10 20 30 20 30 40 >/dev/null && dbfadd way.dbf"
                            " L1 >/dev/null"));
        // A projected map: lengths in metres.
        UseCoordSys(MakeCoordSys(kUtm33Wkt));
        ASSERT_NE(OpenShapefileView({"way", "feat"}), nullptr);
        CLayerList& layers = doc_.GetLayers();
        for (int i = 0; i < layers.GetCount(); ++i) {
            auto* layer = dynamic_cast<CShapeLayer*>(layers.GetAt(i));
            if (!layer) continue;
            if (editable) layers.SetEditLayer(layer);
            (layer->GetDisplayClass() == DisplayClass::Point ? feat_ : way_) = layer;
        }
        ASSERT_TRUE(feat_ && way_);
    }
    // A form of the layer read from its FORMS markup.
    void GiveForm(CShapeLayer* layer, const std::string& forms) {
        SetFormScriptObjects(&scripting_);
        Put("d/forms.xml", "<X>" + forms + "</X>");
        ASSERT_TRUE(formsDoc_.LoadFile(u"\\d\\forms.xml"));
        layer->m_forms = CreateLayerForms(&scripting_);
        layer->m_forms->ReadForms(formsDoc_.GetRoot()->FindChild(u"FORMS"), 1033);
        ASSERT_NE(layer->GetForm(true), nullptr);
    }
    // Runs a modal sheet whose user acts through `user`.
    bool RunModal(CLayer* layer, int record, int mode, const std::function<void(HWND)>& user) {
        bool ran = false;
        win::PushModalHook([&](HWND sheet) {
            ran = true;
            Pump();
            user(sheet);
        });
        const bool ok = CFeatureSheet::Show(layer, record, mode);
        if (!ran) win::ClearModalHooks();
        return ok;
    }
    std::string Dump(const std::string& command) const { return Tool(command); }

public:
    SheetShell sheetShell_;
    FormAwareScript formScript_;
    AveragingGps gps_;
    CFormScripting scripting_;
    CXmlDocument formsDoc_;
    CShapeLayer* feat_ = nullptr;
    CShapeLayer* way_ = nullptr;
};

// ---- what OK writes, what Cancel and failures leave ----

TEST_F(FeatureSheetTest, OkWritesTheEditedAttributeAndVertexThatOtherToolsRead) {
    OpenFeatures();
    EXPECT_TRUE(RunModal(feat_, 0, kFeatureSheetEdit, [&](HWND sheet) {
        HWND list = GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS);
        EXPECT_EQ(ItemText(list, 1, 0), u"    1.25");
        EXPECT_TRUE(EditValue(list, 1, u"3.5"));
        EXPECT_EQ(ItemText(list, 1, 0), u"    3.50");
        TapTab(sheet, 1);
        HWND point = PageWindow(sheet, 1);
        EXPECT_EQ(Text(GetDlgItem(point, IDC_POINT_X)), u"20");
        SetWindowText(GetDlgItem(point, IDC_POINT_X), u"25");
        TapButton(sheet, IDOK);
    }));
    EXPECT_EQ(Lines(Dump("dbfdump d/feat.dbf"), "P1"),
              std::vector<std::string>{"P1             3.50 "});
    EXPECT_NE(Dump("shpdump d/feat.shp").find("Shape:0 (Point)  nVertices=1, nParts=0\n  Bounds:(25,30, 0)"), std::string::npos)
        << Dump("shpdump d/feat.shp");
    const std::string ogr = Dump("ogrinfo -al -q d/feat.shp");
    EXPECT_NE(ogr.find("VAL (Real) = 3.50\n"), std::string::npos) << ogr;
    EXPECT_NE(ogr.find("POINT (25 30)"), std::string::npos) << ogr;
    // The other feature is as it was.
    EXPECT_NE(ogr.find("VAL (Real) = 2.00\n"), std::string::npos) << ogr;
    EXPECT_NE(ogr.find("POINT (70 80)"), std::string::npos) << ogr;

    // A vertex of the line through the vertex dialog of the Geography page.
    VertexDialogRunners runners;
    runners.vertex = [](CMapView*, int, SketchVertex& v, bool averaging) {
        EXPECT_FALSE(averaging);
        EXPECT_EQ(v.x, 30);
        EXPECT_EQ(v.y, 20);
        v.x = 35;
        v.y = 15;
        return true;
    };
    SetVertexDialogRunners(std::move(runners));
    EXPECT_TRUE(RunModal(way_, 0, kFeatureSheetEdit, [&](HWND sheet) {
        TapTab(sheet, 1);
        HWND page = PageWindow(sheet, 1);
        EXPECT_EQ(Text(GetDlgItem(page, IDC_GEOGRAPHY_LENGTH)), u"40.000 m");
        HWND list = GetDlgItem(page, IDC_GEOGRAPHY_VERTICES);
        win::ListViewUserTap(list, 1);
        win::ListViewUserDoubleTap(list, 1);
        Pump();
        const double expected = std::hypot(25.0, 5.0) + std::hypot(5.0, 25.0);
        EXPECT_EQ(Text(GetDlgItem(page, IDC_GEOGRAPHY_LENGTH)),
                  text::Format(u"%.3f m", expected));
        TapButton(sheet, IDOK);
    }));
    const std::string way = Dump("ogrinfo -al -q d/way.shp");
    EXPECT_NE(way.find("LINESTRING (10 20,35 15,30 40)"), std::string::npos) << way;
}

TEST_F(FeatureSheetTest, CancelLeavesBothFilesByteIdentical) {
    OpenFeatures();
    const auto before = Take("feat");
    EXPECT_FALSE(RunModal(feat_, 0, kFeatureSheetEdit, [&](HWND sheet) {
        EXPECT_TRUE(EditValue(GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS), 0, u"Changed"));
        TapTab(sheet, 1);
        SetWindowText(GetDlgItem(PageWindow(sheet, 1), IDC_POINT_Y), u"99");
        TapTab(sheet, 0);
        TapButton(sheet, IDCANCEL);
    }));
    const auto after = Take("feat");
    EXPECT_EQ(after.shp, before.shp);
    EXPECT_EQ(after.shx, before.shx);
    EXPECT_EQ(after.dbf, before.dbf);
}

TEST_F(FeatureSheetTest, AFailedWriteIsReportedAndLeavesTheFileItFailedOn) {
    struct Case {
        const char* name;
        bool editLayer;       // opened for writing
        int failingWrite;     // 0 none
        const char* failing;  // the file whose write fails: "shp" or "dbf"
    };
    // OK writes the shape's content, the two headers' boxes, then the record.
    const Case cases[] = {
        {"read-only files", false, 0, "shp"},
        {"the shape write fails", true, 1, "shp"},
        {"the record write fails", true, 4, "dbf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc_.GetLayers().RemoveAll();
        feat_ = way_ = nullptr;
        if (view_) {
            doc_.RemoveView(view_.get());
            view_.reset();
        }
        if (frame_) DestroyWindow(frame_);
        frame_ = nullptr;
        ShellIn("d", "rm -f feat.* way.*");
        OpenFeatures(c.editLayer);
        const auto before = Take("feat");
        win::ClearMessageBoxLog();
        const bool ok = RunModal(feat_, 0, kFeatureSheetEdit, [&](HWND sheet) {
            EXPECT_TRUE(EditValue(GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS), 1, u"7"));
            TapTab(sheet, 1);
            SetWindowText(GetDlgItem(PageWindow(sheet, 1), IDC_POINT_X), u"21");
            if (c.failingWrite) fs::test::FailNthWrite(c.failingWrite);
            TapButton(sheet, IDOK);
        });
        fs::test::Reset();
        EXPECT_FALSE(ok);
        const auto boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_FALSE(boxes[0].text.empty());
        const auto after = Take("feat");
        // Nothing of the edit is left behind: neither the file that failed
        // nor, when the record failed, the shape written before it.
        EXPECT_EQ(after.dbf, before.dbf);
        EXPECT_EQ(after.shp.substr(100), before.shp.substr(100));
    }
}

TEST_F(FeatureSheetTest, ANewFeatureStartsWithTheFormsDefaultValues) {
    OpenFeatures();
    GiveForm(feat_,
             "<FORMS><EDITFORM name=\"F\"><PAGE name=\"P\"><EDIT name=\"E\" field=\"NAME\" "
             "defaultvalue=\"Oak\"/></PAGE></EDITFORM></FORMS>");
    scripting_.values["Oak"] = "Oak";
    int pages = 0;
    EXPECT_TRUE(RunModal(feat_, 1, kFeatureSheetNew, [&](HWND sheet) {
        SendMessage(sheet, PSM_GETTABCONTROL, 0, 0);
        pages = static_cast<int>(SendMessage(
            reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT)), TCM_GETITEMCOUNT, 0, 0));
        TapButton(sheet, IDOK);
    }));
    // The form's page, Attributes and the point page.
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(Lines(Dump("dbfdump d/feat.dbf"), "2.00"),
              std::vector<std::string>{"Oak            2.00 "});
}

TEST_F(FeatureSheetTest, LayersWithoutAShapefileGetNoSheet) {
    OpenFeatures();
    CTestExtensionLayer extension;
    EXPECT_FALSE(CFeatureSheet::Show(&extension, 0, kFeatureSheetIdentify));
    EXPECT_FALSE(CFeatureSheet::Show(&extension, 0, kFeatureSheetEdit));
    EXPECT_EQ(CFeatureSheet::ConstructionCount(), 0);
    EXPECT_EQ(GetFeatureSheet(), nullptr);
}

// ---- the modeless sheet ----

TEST_F(FeatureSheetTest, TheModelessSheetIsRetargetedWithinALayerAndMadeAgainForAnother) {
    OpenFeatures();
    GiveForm(feat_,
             "<FORMS><IDENTIFYFORM name=\"F\" OnRefresh=\"x\"><PAGE name=\"P\"><EDIT name=\"E\" "
             "field=\"NAME\"/></PAGE></IDENTIFYFORM></FORMS>");
    EXPECT_FALSE(GetShellServices()->ShowFeatureSheet(feat_, 0, kFeatureSheetIdentify));
    Pump();
    CFeatureSheet* sheet = GetFeatureSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(IsFeatureSheetOpen());
    EXPECT_FALSE(sheet->IsEditable());
    EXPECT_EQ(sheet->GetRecord(), 0);
    HWND window = sheet->GetSafeHwnd();
    // The form's page, Attributes, the point page.
    EXPECT_EQ(sheet->GetPageCount(), 3);
    TapTab(window, 1);
    HWND list = GetDlgItem(PageWindow(window, 1), IDC_FEATURE_FIELDS);
    EXPECT_EQ(ItemText(list, 0, 0), u"P1");
    // Read-only: no value can be edited.
    EXPECT_EQ(SendMessage(list, LVM_EDITLABEL, 0, 0), 0);

    auto* form = static_cast<CForm*>(feat_->GetForm(false));
    ASSERT_NE(form->m_scriptObject, nullptr);
    const int refreshes = formScript_.Count(form->m_scriptObject, kFormEventOnRefresh);
    EXPECT_FALSE(GetShellServices()->ShowFeatureSheet(feat_, 1, kFeatureSheetIdentify));
    Pump();
    EXPECT_EQ(GetFeatureSheet(), sheet);
    EXPECT_EQ(CFeatureSheet::ConstructionCount(), 1);
    EXPECT_EQ(sheet->GetRecord(), 1);
    EXPECT_EQ(ActiveIndex(window), 1);
    EXPECT_EQ(ItemText(list, 0, 0), u"P2");
    EXPECT_EQ(formScript_.Count(form->m_scriptObject, kFormEventOnRefresh), refreshes + 1);

    // Zoom to selected with no current feature takes the sheet's feature.
    view_->SelectFeature(nullptr, -1, true);
    Command(ID_VIEW_ZOOMTOSELECTED);
    const CDoubleRect e = view_->GetExtent();
    EXPECT_TRUE(e.xmin <= 70 && e.xmax >= 70 && e.ymin <= 80 && e.ymax >= 80);
    EXPECT_LT(e.xmax - e.xmin, 100);

    // Another layer: a new sheet.
    EXPECT_FALSE(GetShellServices()->ShowFeatureSheet(way_, 0, kFeatureSheetIdentify));
    Pump();
    EXPECT_EQ(CFeatureSheet::ConstructionCount(), 2);
    ASSERT_NE(GetFeatureSheet(), nullptr);
    EXPECT_EQ(GetFeatureSheet()->GetLayer(), way_);
    EXPECT_FALSE(IsWindow(window));

    // OK hides it; the next identify shows it again; clearing the
    // selection destroys it.
    TapButton(GetFeatureSheet()->GetSafeHwnd(), IDOK);
    EXPECT_FALSE(IsFeatureSheetWindow());
    GetShellServices()->ShowFeatureSheet(way_, 0, kFeatureSheetIdentify);
    Pump();
    EXPECT_TRUE(IsFeatureSheetWindow());
    EXPECT_EQ(CFeatureSheet::ConstructionCount(), 2);
    Command(kClearSelectedCommand);
    EXPECT_EQ(GetFeatureSheet(), nullptr);

    // A layer leaving the map takes its sheet with it; another layer's stays.
    GetShellServices()->ShowFeatureSheet(way_, 0, kFeatureSheetIdentify);
    Pump();
    ASSERT_TRUE(doc_.GetLayers().RemoveLayer(feat_));
    feat_ = nullptr;
    EXPECT_NE(GetFeatureSheet(), nullptr);
    ASSERT_TRUE(doc_.GetLayers().RemoveLayer(way_));
    way_ = nullptr;
    EXPECT_EQ(GetFeatureSheet(), nullptr);
    Repaint();
}

TEST_F(FeatureSheetTest, TheSheetShowsThePagesTheLayerAndItsFormAllow) {
    OpenFeatures();
    struct Case {
        const char* name;
        CShapeLayer* FeatureSheetTest::*layer;
        const char* forms;  // none: no form
        bool classes;       // the renderer has legend classes
        std::vector<UINT> pages;
    };
    const Case cases[] = {
        {"point layer", &FeatureSheetTest::feat_, nullptr, false,
         {IDD_FEATURE_ATTRIBUTES, IDD_FEATURE_POINT}},
        {"line layer with classes", &FeatureSheetTest::way_, nullptr, true,
         {IDD_FEATURE_ATTRIBUTES, IDD_FEATURE_SYMBOLOGY, IDD_FEATURE_GEOGRAPHY}},
        {"form hides Geography", &FeatureSheetTest::way_,
         "<FORMS><EDITFORM name=\"F\" geographypagevisible=\"false\"><PAGE name=\"P\"/></EDITFORM>"
         "</FORMS>",
         true, {0, IDD_FEATURE_ATTRIBUTES, IDD_FEATURE_SYMBOLOGY}},
        {"form hides Attributes and Symbology", &FeatureSheetTest::feat_,
         "<FORMS><EDITFORM name=\"F\" attributespagevisible=\"false\" "
         "symbologypagevisible=\"false\"><PAGE name=\"P\"/></EDITFORM></FORMS>",
         true, {0, IDD_FEATURE_POINT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CShapeLayer* layer = this->*c.layer;
        if (c.forms) GiveForm(layer, c.forms);
        if (c.classes) {
            Put("d/classes.znl",
                "<Zarnip><LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"NAME\">"
                "<EXACT value=\"L1\"><SIMPLELINESYMBOL/></EXACT></VALUEMAPRENDERER></SYMBOLOGY>"
                "</LAYER></Zarnip>");
            ASSERT_TRUE(layer->m_renderer.ReadLayerFile(u"\\d\\classes.znl"));
        }
        {
            CFeatureSheet sheet(layer, 0, true, IDS_FEATURE_PROPERTIES);
            std::vector<UINT> pages;
            for (int i = 0; i < sheet.GetPageCount(); ++i) {
                auto* page = dynamic_cast<CPropertyPageExt*>(sheet.GetPage(i));
                pages.push_back(page ? page->GetTemplateId() : 0);
            }
            EXPECT_EQ(pages, c.pages);
        }
        // The forms go after the sheet that uses them.
        layer->m_forms.reset();
    }
}

// ---- averaging ----

TEST_F(FeatureSheetTest, TheSheetFollowsTheAveragingOfANewPoint) {
    OpenFeatures();
    GetPreferences()->Data().gps.averagingPoint = 10;
    auto fix = [&](int samples) {
        gps_.samples = samples;
        gps_.averaged = GpsFix{};
        gps_.averaged.x = 40 + samples;
        gps_.averaged.y = 50;
        SendMessage(view_->GetAveragingListener(), WM_AVERAGING_GPSFIX, 0, 0);
        Pump();
    };
    // Averaging runs as the point is captured.
    gps_.StartAveraging();
    int questions = 0;
    win::SetMessageBoxResponder([&](const win::MessageBoxRecord& r) {
        ++questions;
        EXPECT_NE(r.text.find(u"Position averaging default not reached"), WString::npos);
        return IDNO;
    });
    EXPECT_TRUE(RunModal(feat_, 1, kFeatureSheetNew, [&](HWND sheet) {
        EXPECT_EQ(view_->GetAveragingListener(), sheet);
        const WString title = Text(sheet);
        EXPECT_EQ(title, u"Feature Properties");
        fix(5);
        EXPECT_EQ(Text(sheet), u"Feature Properties [50%]");
        // OK before the count is reached asks; No keeps the sheet averaging.
        TapButton(sheet, IDOK);
        EXPECT_EQ(questions, 1);
        EXPECT_TRUE(win::IsDialogRunning(sheet));
        EXPECT_TRUE(gps_.Averaging());
        TapTab(sheet, 1);
        HWND point = PageWindow(sheet, 1);
        EXPECT_EQ(Text(GetDlgItem(point, IDC_POINT_X)), u"45");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(point, IDC_POINT_X)));
        EXPECT_EQ(Text(GetDlgItem(point, IDC_POINT_COUNT)), u"5");
        fix(10);
        EXPECT_EQ(Text(sheet), title);
        EXPECT_FALSE(gps_.Averaging());
        EXPECT_EQ(Text(GetDlgItem(point, IDC_POINT_COUNT)), u"Ready");
        // Fixes after the averaging stopped change nothing.
        fix(11);
        EXPECT_EQ(Text(GetDlgItem(point, IDC_POINT_X)), u"50");
        TapButton(sheet, IDOK);
    }));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(gps_.starts, 1);
    EXPECT_EQ(view_->GetAveragingListener(), nullptr);
    EXPECT_NE(Dump("ogrinfo -al -q d/feat.shp").find("POINT (50 50)"), std::string::npos);
}

TEST_F(FeatureSheetTest, ACountOfZeroCompletesAndDestroyingStopsTheAveraging) {
    OpenFeatures();
    gps_.StartAveraging();
    GetPreferences()->Data().gps.averagingPoint = 0;
    EXPECT_FALSE(RunModal(feat_, 1, kFeatureSheetEdit, [&](HWND sheet) {
        gps_.samples = 3;
        SendMessage(sheet, WM_AVERAGING_GPSFIX, 0, 0);
        EXPECT_EQ(Text(sheet), u"Feature Properties");
        EXPECT_FALSE(gps_.Averaging());
        TapButton(sheet, IDCANCEL);
    }));
    // Destroyed while averaging: the receiver stops, the view forgets it.
    gps_.StartAveraging();
    GetPreferences()->Data().gps.averagingPoint = 10;
    const int stops = gps_.stops;
    EXPECT_FALSE(RunModal(feat_, 1, kFeatureSheetEdit, [&](HWND sheet) {
        EXPECT_EQ(view_->GetAveragingListener(), sheet);
        TapButton(sheet, IDCANCEL);
    }));
    EXPECT_EQ(gps_.stops, stops + 1);
    EXPECT_EQ(view_->GetAveragingListener(), nullptr);
}

TEST_F(FeatureSheetTest, ThePointPageTakesTheGpsPosition) {
    OpenFeatures();
    struct Case {
        const char* name;
        bool active;
        bool enabled;
        int count;
        const char* x;  // X after the tap
        int beeps;
        bool averaging;
    };
    const Case cases[] = {
        {"averaging off", true, false, 5, "12", 0, false},
        {"averaging with count 0", true, true, 0, "12", 0, false},
        {"averaging", true, true, 5, "20", 0, true},
        {"GPS not active", false, true, 5, "20", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gps_.active = c.active;
        gps_.Position().stateBits = 0;
        gps_.projected = GpsFix{};
        gps_.projected.x = 12;
        gps_.projected.y = 13;
        GetPreferences()->Data().gps.averagingEnabled = c.enabled;
        GetPreferences()->Data().gps.averagingPoint = c.count;
        const size_t beeps = win::BeepLog().size();
        RunModal(feat_, 0, kFeatureSheetEdit, [&](HWND sheet) {
            TapTab(sheet, 1);
            HWND page = PageWindow(sheet, 1);
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_POINT_GPS)) != 0, c.active);
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_POINT_Z)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_POINT_M)));
            TapButton(page, IDC_POINT_GPS);
            EXPECT_EQ(Text(GetDlgItem(page, IDC_POINT_X)), text::FromUtf8(c.x));
            EXPECT_EQ(gps_.Averaging(), c.averaging);
            EXPECT_EQ(IsWindowVisible(GetDlgItem(page, IDC_POINT_PROGRESS)) != 0, c.averaging);
            if (c.averaging) {
                EXPECT_EQ(Text(GetDlgItem(page, IDC_POINT_COUNT)), u"5");
            }
            TapButton(sheet, IDCANCEL);
        });
        EXPECT_EQ(static_cast<int>(win::BeepLog().size() - beeps), c.beeps);
    }
}

TEST(FeaturePointPage, ProgressTextCountsDownThenUp) {
    const std::vector<std::pair<int, const char16_t*>> rows = {
        {0, u"5"}, {1, u"4"}, {4, u"1"}, {5, u"Ready"}, {6, u"+6"}};
    for (const auto& [samples, text] : rows)
        EXPECT_EQ(CFeaturePointPage::ProgressText(5, samples), text) << samples;
}

// ---- the highlight of the modeless sheet's feature ----

namespace {

// The pixels with `draw` done over them, as the view's surface would show it.
std::vector<COLORREF> DrawnOver(const std::vector<COLORREF>& base, int w, int h,
                                const std::function<void(HDC)>& draw) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
    int bw = 0, bh = 0, stride = 0;
    uint32_t* px = gdi::SurfacePixels(bitmap, &bw, &bh, &stride);
    if (!px || bw < w || bh < h) {
        ADD_FAILURE() << "no surface of " << w << "x" << h;
        return {};
    }
    auto at = [&](int x, int y) -> uint32_t& {
        return px[static_cast<size_t>(y) * static_cast<size_t>(stride / 4) + static_cast<size_t>(x)];
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = base[static_cast<size_t>(y * w + x)];
            at(x, y) = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
        }
    draw(dc);
    std::vector<COLORREF> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(viewtest::SurfaceToColorref(at(x, y)));
    SelectObject(dc, old);
    DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
    DeleteDC(dc);
    return out;
}

int Differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n + static_cast<int>(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

}  // namespace

TEST_F(FeatureSheetTest, TheModelessSheetsFeatureIsHighlightedOnTheView) {
    OpenFeatures();
    PreferencesData& prefs = GetPreferences()->Data();
    prefs.display.highlightwidth = 4;
    prefs.display.highlightcolor = RGB(0, 200, 0);
    const int w = view_->GetClientWidth(), h = view_->GetClientHeight();
    Repaint();
    const std::vector<COLORREF> plain = Client();

    GetShellServices()->ShowFeatureSheet(feat_, 1, kFeatureSheetIdentify);
    Pump();
    Repaint();
    const POINT p = ShpWorldToDevice(feat_->GetHandle(), 70, 80);
    const auto point = DrawnOver(plain, w, h, [&](HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 4, RGB(0, 200, 0));
        HGDIOBJ oldPen = SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, p.x - 4, p.y - 4, p.x + 4, p.y + 4);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
    });
    EXPECT_GT(Differences(plain, point), 0);
    EXPECT_EQ(Differences(Client(), point), 0);

    // A line through the engine's drawing; a hidden sheet draws nothing.
    GetShellServices()->ShowFeatureSheet(way_, 0, kFeatureSheetIdentify);
    Pump();
    Repaint();
    const auto line = DrawnOver(plain, w, h, [&](HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 4, RGB(0, 200, 0));
        HGDIOBJ oldPen = SelectObject(dc, reinterpret_cast<HGDIOBJ>(pen));
        ShpDrawShape(way_->GetHandle(), dc, ShpReadShape(way_->GetHandle(), 0), false);
        SelectObject(dc, oldPen);
        DeleteObject(reinterpret_cast<HGDIOBJ>(pen));
    });
    EXPECT_GT(Differences(plain, line), 0);
    EXPECT_EQ(Differences(Client(), line), 0);
    TapButton(GetFeatureSheet()->GetSafeHwnd(), IDCANCEL);
    Repaint();
    EXPECT_EQ(Differences(Client(), plain), 0);
}

// ---- the pages ----

class FeaturePagesTest : public FeatureSheetTest {
protected:
    // "attrs": one point with a field of each type the list shows.
    void OpenAttributes() {
        OpenFeatures();
        // dbfcreate makes C and N fields; the others are retyped in place.
        ASSERT_TRUE(ShellIn(
            "d",
            "shpcreate attrs point >/dev/null && dbfcreate attrs -s NAME 10 -n VAL 8 2 -n RATIO"
            " 10 3 -s OK 1 -s CNT 4 -s AMT 8 -s BIN 8 -s WHEN 8 >/dev/null && shpadd attrs 5 5"
            " >/dev/null && dbfadd attrs.dbf Oak 1.25 0.5 T 7 9 1 20040307 >/dev/null"));
        const std::pair<int, char> retype[] = {{2, 'F'}, {3, 'L'}, {4, 'I'}, {5, 'Y'}, {6, 'B'},
                                               {7, 'D'}};
        std::string dbf = Get("d/attrs.dbf");
        for (const auto& [field, type] : retype) dbf[static_cast<size_t>(32 + 32 * field + 11)] = type;
        Put("d/attrs.dbf", dbf);
        pristine_ = dbf;
        Reopen();
    }
    // The layer again over the table as it was made.
    void Reopen() {
        if (attrs_) doc_.GetLayers().RemoveLayer(attrs_);
        attrs_ = nullptr;
        Put("d/attrs.dbf", pristine_);
        CLayer* layer = nullptr;
        ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\attrs.shp", &layer));
        attrs_ = dynamic_cast<CShapeLayer*>(layer);
        ASSERT_NE(attrs_, nullptr);
        doc_.GetLayers().SetEditLayer(attrs_);
    }
    // The first record's bytes in the file.
    std::string Record() const {
        const std::string dbf = Get("d/attrs.dbf");
        auto le16 = [&](size_t at) { return size_t(uint8_t(dbf[at])) | size_t(uint8_t(dbf[at + 1])) << 8; };
        return dbf.substr(le16(8), le16(10));
    }
    // Where a field lies in a record: after the deletion flag and the fields
    // before it.
    std::pair<size_t, size_t> FieldSpan(int field) const {
        const std::string dbf = Get("d/attrs.dbf");
        size_t at = 1;
        for (int i = 0; i < field; ++i) at += uint8_t(dbf[static_cast<size_t>(32 + 32 * i + 16)]);
        return {at, uint8_t(dbf[static_cast<size_t>(32 + 32 * field + 16)])};
    }

    CShapeLayer* attrs_ = nullptr;
    std::string pristine_;
};

TEST_F(FeaturePagesTest, TheAttributeListStoresWhatEachFieldCanHold) {
    OpenAttributes();
    const std::string original = Record();
    struct Case {
        const char* name;
        int field;
        const WChar* typed;
        bool edits;          // editing starts
        const WChar* shown;  // the cell after the edit
        const char* stored;  // the field's bytes after OK (null: unchanged)
    };
    const Case cases[] = {
        {"a number reformatted", 1, u"3.5", true, u"    3.50", "    3.50"},
        {"a number too wide", 1, u"12345678", true, u"    1.25", nullptr},
        {"an empty number", 1, u"", true, u"    1.25", nullptr},
        {"not a number", 1, u"abc", true, u"    1.25", nullptr},
        {"a float", 2, u"2.5", true, u"     2.500", "     2.500"},
        {"an empty logical", 3, u"", true, u"", " "},
        {"a logical", 3, u"F", true, u"F", "F"},
        {"a text", 0, u"Elm", true, u"Elm", "Elm       "},
        {"a date", 7, u"20240101", true, u"20240101", "20240101"},
        {"an integer", 4, u"8", false, u"7", nullptr},
        {"a currency", 5, u"8", false, u"9", nullptr},
        {"a binary", 6, u"8", false, u"1", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reopen();
        bool edited = false;
        const bool ok = RunModal(attrs_, 0, kFeatureSheetEdit, [&](HWND sheet) {
            HWND list = GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS);
            edited = EditValue(list, c.field, c.typed);
            EXPECT_EQ(ItemText(list, c.field, 0), c.shown);
            // Leaving the page and coming back shows what was stored.
            TapTab(sheet, 1);
            TapTab(sheet, 0);
            EXPECT_EQ(ItemText(list, c.field, 0), c.shown);
            TapButton(sheet, IDOK);
        });
        EXPECT_TRUE(ok);
        EXPECT_EQ(edited, c.edits);
        std::string expected = original;
        if (c.stored) {
            const auto [at, length] = FieldSpan(c.field);
            ASSERT_EQ(std::string(c.stored).size(), length);
            expected.replace(at, length, c.stored);
        }
        EXPECT_EQ(Record(), expected);
    }
    // The numbers as shapelib's own dump reads them.
    Reopen();
    RunModal(attrs_, 0, kFeatureSheetEdit, [&](HWND sheet) {
        HWND list = GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS);
        EditValue(list, 1, u"-7.126");
        EditValue(list, 2, u"1e3");
        TapButton(sheet, IDOK);
    });
    EXPECT_EQ(Lines(Dump("dbfdump d/attrs.dbf"), "Oak").at(0).substr(0, 30),
              "Oak           -7.13   1000.000");
}

TEST_F(FeaturePagesTest, TheClassifyingFieldIsDrawnInRed) {
    OpenAttributes();
    Put("d/classes.znl",
        "<Zarnip><LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"OK\">"
        "<EXACT value=\"T\"><SIMPLEMARKERSYMBOL/></EXACT></VALUEMAPRENDERER></SYMBOLOGY>"
        "</LAYER></Zarnip>");
    ASSERT_TRUE(attrs_->m_renderer.ReadLayerFile(u"\\d\\classes.znl"));
    RunModal(attrs_, 0, kFeatureSheetEdit, [&](HWND sheet) {
        HWND list = GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS);
        InvalidateRect(list, nullptr, true);
        UpdateWindow(list);
        RECT row{};
        int redRows = 0;
        POINT offset{};
        HBITMAP surface = win::GetWindowSurface(list, &offset);
        int w = 0, h = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(surface, &w, &h, &stride);
        ASSERT_NE(px, nullptr);
        for (int item = 0; item < 8; ++item) {
            row.left = LVIR_BOUNDS;
            SendMessage(list, LVM_GETITEMRECT, static_cast<WPARAM>(item),
                        reinterpret_cast<LPARAM>(&row));
            bool red = false;
            for (int y = std::max(0, static_cast<int>(row.top) + offset.y);
                 y < std::min(h, static_cast<int>(row.bottom) + offset.y); ++y)
                for (int x = 0; x < w; ++x)
                    red |= px[static_cast<size_t>(y) * static_cast<size_t>(stride / 4) +
                              static_cast<size_t>(x)] == 0xFF0000;
            if (red) {
                ++redRows;
                EXPECT_EQ(item, 3);
            }
        }
        EXPECT_EQ(redRows, 1);
        TapButton(sheet, IDCANCEL);
    });
}

TEST_F(FeaturePagesTest, TheSymbologyPageWritesOnlyAClassTheUserChose) {
    OpenFeatures();
    // Classes on NAME; the second feature's value matches none of them.
    ASSERT_TRUE(ShellIn("d", "shpadd way 40 50 60 50 >/dev/null && dbfadd way.dbf X9 >/dev/null"));
    doc_.GetLayers().RemoveAll();
    CLayer* layer = nullptr;
    ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\way.shp", &layer));
    way_ = dynamic_cast<CShapeLayer*>(layer);
    feat_ = nullptr;
    doc_.GetLayers().SetEditLayer(way_);
    Put("d/classes.znl",
        "<Zarnip><LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"NAME\">"
        "<EXACT value=\"L1\"><SIMPLELINESYMBOL/></EXACT><EXACT value=\"L2\"><SIMPLELINESYMBOL/>"
        "</EXACT></VALUEMAPRENDERER></SYMBOLOGY></LAYER></Zarnip>");
    ASSERT_TRUE(way_->m_renderer.ReadLayerFile(u"\\d\\classes.znl"));
    for (int record : {0, 1}) {
        SCOPED_TRACE(record);
        const std::string before = Get("d/way.dbf");
        RunModal(way_, record, kFeatureSheetEdit, [&](HWND sheet) {
            HWND list = GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS);
            const WString name = ItemText(list, 0, 0);
            TapTab(sheet, 1);
            HWND symbols = GetDlgItem(PageWindow(sheet, 1), IDC_SYMBOLOGY_LIST);
            // The feature's class is selected (row 0 is the class of other
            // values; X9 has none).
            EXPECT_EQ(SendMessage(symbols, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED),
                      record == 0 ? 1 : -1);
            TapTab(sheet, 2);
            TapTab(sheet, 1);
            TapTab(sheet, 0);
            EXPECT_EQ(ItemText(list, 0, 0), name);
            TapButton(sheet, IDOK);
        });
        EXPECT_EQ(Get("d/way.dbf"), before);
    }
    // Choosing a class writes its value.
    RunModal(way_, 1, kFeatureSheetEdit, [&](HWND sheet) {
        TapTab(sheet, 1);
        win::ListViewUserTap(GetDlgItem(PageWindow(sheet, 1), IDC_SYMBOLOGY_LIST), 2);
        Pump();
        TapTab(sheet, 0);
        EXPECT_EQ(ItemText(GetDlgItem(PageWindow(sheet, 0), IDC_FEATURE_FIELDS), 0, 0), u"L2");
        TapButton(sheet, IDOK);
    });
    EXPECT_EQ(Lines(Dump("dbfdump d/way.dbf"), "L"), (std::vector<std::string>{"L1         ", "L2         "}));
}

TEST_F(FeaturePagesTest, TheGeographyPageMeasuresInTheChosenUnits) {
    OpenFeatures();
    // One line of 1 point, one of 2 and a closed one (a square of 3 km).
    ASSERT_TRUE(ShellIn("d",
                        "shpcreate m arc >/dev/null && dbfcreate m -s NAME 4 >/dev/null && shpadd m"
                        " 5 5 >/dev/null && dbfadd m.dbf A >/dev/null && shpadd m 0 0 3000 4000"
                        " >/dev/null && dbfadd m.dbf B >/dev/null && shpcreate g polygon >/dev/null"
                        " && dbfcreate g -s NAME 4 >/dev/null && shpadd g 0 0 0 3000 3000 3000 3000 0"
                        " 0 0 >/dev/null && dbfadd g.dbf C >/dev/null"));
    CLayer* m = nullptr;
    CLayer* g = nullptr;
    ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\m.shp", &m));
    ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\g.shp", &g));
    struct Case {
        CLayer* layer;
        int record;
        int units;
        const WChar* length;
        const WChar* area;
    };
    const Case cases[] = {
        {m, 0, 0, u"N/A", u"N/A"},
        {m, 1, 0, u"5.000 km", u"N/A"},
        {g, 0, 0, u"12.000 km", u"900.000 ha"},
        {g, 0, 1, u"7.456 mi", u"2223.940 acres"},
        {g, 0, 2, u"6.479 NM", u"9000000.000 m²"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text::ToUtf8(c.length));
        GetPreferences()->Data().display.units = c.units;
        GetShellServices()->ShowFeatureSheet(c.layer, c.record, kFeatureSheetIdentify);
        Pump();
        HWND sheet = GetFeatureSheet()->GetSafeHwnd();
        TapTab(sheet, 1);
        HWND page = PageWindow(sheet, 1);
        EXPECT_EQ(Text(GetDlgItem(page, IDC_GEOGRAPHY_LENGTH)), c.length);
        EXPECT_EQ(Text(GetDlgItem(page, IDC_GEOGRAPHY_AREA)), c.area);
        TapTab(sheet, 0);
    }
}

TEST_F(FeaturePagesTest, GeographicMapsMeasureOnTheEllipsoid) {
    // Reference values from GeographicLib (tests/data/shell/make_feature_measures.sh).
    std::map<std::string, double> reference;
    std::ifstream table(ZN_SOURCE_DIR "/tests/data/shell/feature_measures.txt");
    for (std::string key; table >> key;) {
        if (key[0] == '#') {
            std::getline(table, key);
            continue;
        }
        table >> reference[key];
    }
    ASSERT_EQ(reference.size(), 2u);
    ASSERT_TRUE(ShellIn("d",
                        "shpcreate geo arc >/dev/null && dbfcreate geo -s NAME 4 >/dev/null && shpadd"
                        " geo 10 20 10.1 20.1 10.2 20.05 >/dev/null && dbfadd geo.dbf A >/dev/null &&"
                        " shpcreate geoarea polygon >/dev/null && dbfcreate geoarea -s NAME 4"
                        " >/dev/null && shpadd geoarea 10 20 10 20.1 10.1 20.1 10.1 20 10 20"
                        " >/dev/null && dbfadd geoarea.dbf B >/dev/null"));
    // The harness's map is geographic on WGS 1984.
    ASSERT_NE(OpenShapefileView({"geo", "geoarea"}), nullptr);
    CLayerList& layers = doc_.GetLayers();
    auto number = [](const WString& text) { return std::stod(text::ToUtf8(text)); };
    for (int i = 0; i < layers.GetCount(); ++i) {
        CLayer* layer = layers.GetAt(i);
        GetShellServices()->ShowFeatureSheet(layer, 0, kFeatureSheetIdentify);
        Pump();
        HWND sheet = GetFeatureSheet()->GetSafeHwnd();
        TapTab(sheet, 1);
        HWND page = PageWindow(sheet, 1);
        const WString length = Text(GetDlgItem(page, IDC_GEOGRAPHY_LENGTH));
        const WString area = Text(GetDlgItem(page, IDC_GEOGRAPHY_AREA));
        if (layer->GetDisplayClass() == DisplayClass::Line) {
            ASSERT_EQ(length.substr(length.size() - 3), u" km");
            // Geodesic: to the text's last digit.
            EXPECT_NEAR(number(length) * 1000, reference["length_m"], 0.5);
        } else {
            ASSERT_EQ(area.substr(area.size() - 3), u" ha");
            // The area of the equal-area projection of the polygon's straight
            // sides: within 1e-4 of the geodesic polygon at this size.
            EXPECT_NEAR(number(area) * 1e4, reference["area_m2"], reference["area_m2"] * 1e-4);
        }
    }
}

TEST_F(FeaturePagesTest, ThePointPageOffersZAndMByShapeType) {
    OpenFeatures();
    ASSERT_TRUE(ShellIn("d",
                        "shpcreate pz pointz >/dev/null && dbfcreate pz -s NAME 4 >/dev/null && shpadd"
                        " pz 5 5 </dev/null >/dev/null && dbfadd pz.dbf A >/dev/null && shpcreate pm pointm"
                        " >/dev/null && dbfcreate pm -s NAME 4 >/dev/null && shpadd pm 5 5 >/dev/null"
                        " </dev/null && dbfadd pm.dbf B >/dev/null"));
    CLayer* pz = nullptr;
    CLayer* pm = nullptr;
    ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\pz.shp", &pz));
    ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\pm.shp", &pm));
    doc_.GetLayers().SetEditLayer(pm);
    struct Case {
        const char* name;
        CLayer* layer;
        bool z, m;
        const WChar* zText;
    };
    const Case cases[] = {
        {"point", feat_, false, false, u"0"},
        {"point with Z", pz, true, true, u"0"},
        {"point with M", pm, false, true, u"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunModal(c.layer, 0, kFeatureSheetEdit, [&](HWND sheet) {
            TapTab(sheet, 1);
            HWND page = PageWindow(sheet, 1);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_POINT_X)));
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_POINT_Z)) != 0, c.z);
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(page, IDC_POINT_M)) != 0, c.m);
            EXPECT_EQ(Text(GetDlgItem(page, IDC_POINT_Z)), c.zText);
            TapButton(sheet, IDCANCEL);
        });
    }
    // An M without data shows empty, and an emptied M is stored without data.
    for (const WChar* typed : {u"2.5", u""}) {
        EXPECT_TRUE(RunModal(pm, 0, kFeatureSheetEdit, [&](HWND sheet) {
            TapTab(sheet, 1);
            SetWindowText(GetDlgItem(PageWindow(sheet, 1), IDC_POINT_M), typed);
            TapButton(sheet, IDOK);
        }));
        RunModal(pm, 0, kFeatureSheetEdit, [&](HWND sheet) {
            TapTab(sheet, 1);
            EXPECT_EQ(Text(GetDlgItem(PageWindow(sheet, 1), IDC_POINT_M)), typed);
            TapButton(sheet, IDCANCEL);
        });
    }
}
