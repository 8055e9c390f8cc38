// The Layer Properties sheet on real shapefile layers: the pages it shows,
// an untouched OK that leaves every value (and the written map document)
// as it was, Cancel, the defaults it saves to the preferences, and the
// checks that keep a page open.
#include "map/dialogs/layer_property_sheet.h"

#include "map/dialogs/layers_dlg.h"
#include "map/layers/shape_layer.h"
#include "platform/win/list_actions.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/propsheet.h"
#include "resources/zres.h"
#include "tests/map/view_harness.h"
#include "tests/platform/win_golden.h"

namespace {

// Preferences that count their writes and may offer a grid page.
class CRecordingPreferences : public CPlainPreferences {
public:
    bool WritePreferences() override {
        ++writes;
        return true;
    }
    std::unique_ptr<win::PropertyPage> CreateGridStylePage() override {
        if (!offerGrid) return nullptr;
        auto page = std::make_unique<CPropertyPageExt>(IDD_PAGE_GEOGRAPHY, IDD_PAGE_GEOGRAPHY);
        gridPage = page.get();
        return page;
    }
    int writes = 0;
    bool offerGrid = false;
    win::PropertyPage* gridPage = nullptr;
};

class LayerPropertySheet : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        SetPreferences(&prefs_);
        MakePointShapefile("d", "pts", {"10 10", "20 20"});
        ASSERT_TRUE(ShellIn("d",
                            "shpcreate poly polygon >/dev/null && shpadd poly 0 0 0 40 40 40 40 0 0 0 "
                            ">/dev/null && dbfcreate poly -s NAME 20 -s LINK 40 >/dev/null && "
                            "dbfadd poly.dbf P x >/dev/null"));
        ASSERT_TRUE(OpenShapefileView({"poly", "pts"}));
    }
    void TearDown() override {
        win::ClearModalHooks();
        SetPreferences(nullptr);
        ViewHarness::TearDown();
    }
    CFeatureLayer* Points() { return dynamic_cast<CFeatureLayer*>(doc_.GetLayers().GetAt(0)); }
    CFeatureLayer* Polygons() { return dynamic_cast<CFeatureLayer*>(doc_.GetLayers().GetAt(1)); }
    static HWND Page(CLayerPropertySheet& sheet) { return sheet.GetActivePage()->GetSafeHwnd(); }
    static std::vector<UINT> Templates(const CLayerPropertySheet& sheet) {
        std::vector<UINT> out;
        for (win::PropertyPage* page : sheet.Pages())
            out.push_back(dynamic_cast<CPropertyPageExt*>(page)->GetTemplateId());
        return out;
    }
    // The map document as written now.
    std::string Written() {
        EXPECT_TRUE(doc_.WriteMapFile(u"\\d\\map.znm"));
        return Get("d/map.znm");
    }
    // Sets the polygon layer to the look that a round trip through the
    // pages could lose.
    void Decorate() {
        CFeatureLayer* poly = Polygons();
        CXmlDocument xml;
        ASSERT_TRUE(xml.Parse(
            u"<LAYER><SYMBOLOGY><SIMPLERENDERER><SIMPLEPOLYGONSYMBOL filltype=\"bdiagonal\" "
            u"fillcolor=\"10,20,30\" boundarytype=\"dash\" boundarywidth=\"2.7\" "
            u"boundarycolor=\"200,0,0\"/></SIMPLERENDERER><SIMPLELABELRENDERER field=\"NAME\" "
            u"minscale=\"1000\" maxscale=\"250000\"><TEXTSYMBOL font=\"Tahoma\" fontsize=\"9\" "
            u"fontcolor=\"0,0,255\" blockout=\"255,255,0\"/></SIMPLELABELRENDERER></SYMBOLOGY></LAYER>"));
        poly->ReadXml(xml.GetRoot());
        poly->m_labelRenderer.m_textSymbol.m_size = 85;  // 8.5 points
        poly->m_labelRenderer.m_visible = true;
        poly->SetMinScale(500);
        Points()->m_defaultSymbol.m_pen.lopnStyle = 5;  // no outline
    }

    CRecordingPreferences prefs_;
};

TEST_F(LayerPropertySheet, PagesFollowTheLayer) {
    CLayerPropertySheet poly(Polygons(), IDS_LAYER_PROPERTIES);
    EXPECT_EQ(Templates(poly), (std::vector<UINT>{IDD_PAGE_INFORMATION, IDD_PAGE_LABELS, IDD_PAGE_POLYGON_STYLE,
                                                  IDD_PAGE_HYPERLINK, IDD_PAGE_ATTRIBUTES, IDD_PAGE_SCALE,
                                                  IDD_PAGE_GEOGRAPHY}));
    CLayerPropertySheet pts(Points(), IDS_LAYER_PROPERTIES);
    EXPECT_EQ(Templates(pts), (std::vector<UINT>{IDD_PAGE_INFORMATION, IDD_PAGE_LABELS, IDD_PAGE_POINT_STYLE,
                                                 IDD_PAGE_HYPERLINK, IDD_PAGE_ATTRIBUTES, IDD_PAGE_SCALE,
                                                 IDD_PAGE_GEOGRAPHY}));
    // The grid shows only the preferences' page, and none without one.
    CLayerPropertySheet none(&doc_.GetLayers().GetGrid(), IDS_LAYER_PROPERTIES);
    EXPECT_EQ(none.GetPageCount(), 0);
    EXPECT_FALSE(RunLayerPropertySheet(&doc_.GetLayers().GetGrid(), u"", nullptr));
    prefs_.offerGrid = true;
    CLayerPropertySheet grid(&doc_.GetLayers().GetGrid(), IDS_LAYER_PROPERTIES);
    ASSERT_EQ(grid.GetPageCount(), 1);
    EXPECT_EQ(grid.Pages()[0], prefs_.gridPage);
    // OK writes the preferences once; Cancel writes nothing.
    win::PushModalHook([&](HWND) { grid.PressButton(PSBTN_OK); });
    EXPECT_TRUE(grid.RunModal());
    EXPECT_EQ(prefs_.writes, 1);
    CLayerPropertySheet grid2(&doc_.GetLayers().GetGrid(), IDS_LAYER_PROPERTIES);
    win::PushModalHook([&](HWND) { grid2.PressButton(PSBTN_CANCEL); });
    EXPECT_FALSE(grid2.RunModal());
    EXPECT_EQ(prefs_.writes, 1);
}

TEST_F(LayerPropertySheet, OkWithoutEditsChangesNothingAndCancelKeepsEdits) {
    Decorate();
    const std::string before = Written();
    for (CFeatureLayer* layer : {Polygons(), Points()}) {
        CLayerPropertySheet sheet(layer, IDS_LAYER_PROPERTIES);
        sheet.m_geography = LayerGeographyText(layer);
        win::PushModalHook([&](HWND) {
            // Every page visited, nothing touched.
            for (int i = 0; i < sheet.GetPageCount(); ++i) sheet.SetActivePage(i);
            sheet.PressButton(PSBTN_OK);
        });
        ASSERT_TRUE(sheet.RunModal());
    }
    EXPECT_EQ(Written(), before);
    const CSymbol& s = Polygons()->m_defaultSymbol;
    EXPECT_EQ(s.m_lineWidth, 2.7);
    EXPECT_EQ(s.m_brushKind, CSymbol::kBrushHatch);
    EXPECT_EQ(Points()->m_defaultSymbol.m_pen.lopnStyle, 5u);
    EXPECT_EQ(Polygons()->m_labelRenderer.m_textSymbol.m_size, 85);
    EXPECT_TRUE(Polygons()->m_labelRenderer.m_textSymbol.m_blockout);

    // Edits on several pages and a font from "F", then Cancel.
    CLayerPropertySheet sheet(Polygons(), IDS_LAYER_PROPERTIES);
    win::PushModalHook([&](HWND) {
        SetDlgItemText(Page(sheet), IDC_INFO_NAME, u"Changed");
        sheet.SetActivePage(1);
        win::PushModalHook([](HWND font) {
            SendMessage(GetDlgItem(font, IDC_FONT_BOLD), BM_CLICK, 0, 0);
            win::PressCaptionOk(font);
        });
        SendMessage(Page(sheet), WM_COMMAND, MAKEWPARAM(IDC_LABELS_FONT, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(Page(sheet), IDC_LABELS_FONT)));
        sheet.SetActivePage(2);
        SetDlgItemText(Page(sheet), IDC_STYLE_WIDTH, u"9");
        sheet.SetActivePage(5);
        SendMessage(GetDlgItem(Page(sheet), IDC_SCALE_ALL), BM_CLICK, 0, 0);
        // A value that does not read is no reason to stop a Cancel.
        SetDlgItemText(Page(sheet), IDC_SCALE_MAX, u"abc");
        win::ClearMessageBoxLog();
        sheet.PressButton(PSBTN_CANCEL);
        EXPECT_TRUE(win::MessageBoxLog().empty());
    });
    EXPECT_FALSE(sheet.RunModal());
    EXPECT_EQ(Written(), before);
    EXPECT_EQ(Polygons()->m_labelRenderer.m_textSymbol.m_fontRecord.lfWeight, 400);
}

TEST_F(LayerPropertySheet, OkTakesTheEditsAndSavesGlobalDefaults) {
    Decorate();
    CLayerPropertySheet sheet(Polygons(), IDS_LAYER_PROPERTIES);
    win::PushModalHook([&](HWND) {
        SetDlgItemText(Page(sheet), IDC_INFO_NAME, u"Parcels");
        sheet.SetActivePage(1);
        HWND labels = Page(sheet);
        // Same range as the layer clears both label scales.
        SendMessage(GetDlgItem(labels, IDC_LABELS_SAME), BM_CLICK, 0, 0);
        EXPECT_EQ(GetDlgItemTextString(labels, IDC_LABELS_MIN), u"");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(labels, IDC_LABELS_MIN)));
        SendMessage(GetDlgItem(labels, IDC_LABELS_ON), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(labels, IDC_LABELS_FIELD)));
        SendMessage(GetDlgItem(labels, IDC_LABELS_ON), BM_CLICK, 0, 0);
        // "S" puts the map's scale into the reference scale.
        SendMessage(labels, WM_COMMAND, MAKEWPARAM(IDC_LABELS_REF_S, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(labels, IDC_LABELS_REF_S)));
        EXPECT_EQ(GetDlgItemTextString(labels, IDC_LABELS_REF),
                  text::Format(u"%.15g", view_->GetMapScale(true)));
        sheet.SetActivePage(2);
        SetDlgItemText(Page(sheet), IDC_STYLE_WIDTH, u"4");
        sheet.SetActivePage(3);
        win::ComboUserSelect(GetDlgItem(Page(sheet), IDC_HYPERLINK_FIELD), 2);  // LINK
        sheet.SetActivePage(4);
        // The Attributes page lists the layer's fields.
        EXPECT_EQ(SendMessage(GetDlgItem(Page(sheet), IDC_ATTRIBUTES_LIST), LVM_GETITEMCOUNT, 0, 0), 2);
        sheet.SetActivePage(5);
        HWND scale = Page(sheet);
        SetDlgItemText(scale, IDC_SCALE_MAX, u"abc");
        sheet.PressButton(PSBTN_OK);
        // The scale does not read: the sheet stays on its page.
        EXPECT_EQ(sheet.GetActiveIndex(), 5);
        ASSERT_FALSE(win::MessageBoxLog().empty());
        EXPECT_EQ(win::MessageBoxLog().back().text, u"Please enter a number.");
        SendMessage(GetDlgItem(scale, IDC_SCALE_ALL), BM_CLICK, 0, 0);
        sheet.PressButton(PSBTN_OK);
    });
    ASSERT_TRUE(sheet.RunModal());
    CFeatureLayer* poly = Polygons();
    EXPECT_EQ(poly->GetName(), u"Parcels");
    EXPECT_EQ(poly->m_labelRenderer.m_minScale, 0);
    EXPECT_EQ(poly->m_labelRenderer.m_maxScale, 0);
    EXPECT_EQ(poly->m_labelRenderer.m_referenceScale, view_->GetMapScale(true));
    EXPECT_EQ(poly->m_defaultSymbol.m_lineWidth, 4);
    EXPECT_EQ(poly->m_defaultSymbol.m_brushKind, CSymbol::kBrushHatch);
    EXPECT_EQ(poly->GetHyperlinkField(), 1);
    EXPECT_EQ(poly->GetMinScale(), 0);
    EXPECT_EQ(prefs_.writes, 0);

    // Fill Points off and "Save as Global Default": new point layers hollow.
    prefs_.Data().defaultsymbols.point.m_brushKind = CSymbol::kBrushSolid;
    Points()->m_defaultSymbol.m_brushKind = CSymbol::kBrushSolid;
    CLayerPropertySheet pts(Points(), IDS_LAYER_PROPERTIES);
    win::PushModalHook([&](HWND) {
        pts.SetActivePage(2);
        CheckDlgButton(Page(pts), IDC_POINT_FILL, BST_UNCHECKED);
        CheckDlgButton(Page(pts), IDC_POINT_DEFAULT, BST_CHECKED);
        pts.PressButton(PSBTN_OK);
    });
    ASSERT_TRUE(pts.RunModal());
    EXPECT_EQ(Points()->m_defaultSymbol.m_brushKind, CSymbol::kBrushNone);
    EXPECT_EQ(prefs_.Data().defaultsymbols.point.m_brushKind, CSymbol::kBrushNone);
    EXPECT_EQ(prefs_.writes, 1);
}

TEST_F(LayerPropertySheet, PropertiesFromTheLayersDialogRefillTheList) {
    win::PushModalHook([&](HWND dlg) {
        win::ListViewUserTap(GetDlgItem(dlg, IDC_LAYERS_LIST), 3);  // poly
        win::PushModalHook([](HWND sheet) {
            HWND page = reinterpret_cast<HWND>(SendMessage(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            SetDlgItemText(page, IDC_INFO_NAME, u"Parcels");
            win::input::DrainQueue();
            UpdateWindow(sheet);
            for (HWND child : GetChildren(sheet)) UpdateWindow(child);
            // The page lies over the tab control: drawn last.
            InvalidateRect(page, nullptr, TRUE);
            UpdateWindow(page);
            for (HWND child : GetChildren(page)) {
                InvalidateRect(child, nullptr, TRUE);
                UpdateWindow(child);
            }
            golden::Expect("layer_properties_information", sheet);
            SendMessage(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        });
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_LAYERS_PP, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_LAYERS_PP)));
        WChar title[64] = {};
        LVITEM item;
        item.pszText = title;
        item.cchTextMax = 64;
        SendMessage(GetDlgItem(dlg, IDC_LAYERS_LIST), LVM_GETITEMTEXT, 3, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(WString(title), u"Parcels");
        win::PressCaptionOk(dlg);
    });
    EXPECT_TRUE(RunLayersDialog(&doc_, nullptr));
    EXPECT_EQ(Polygons()->GetName(), u"Parcels");
}

}  // namespace
