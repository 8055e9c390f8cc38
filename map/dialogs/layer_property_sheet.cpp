#include "map/dialogs/layer_property_sheet.h"

#include <cmath>

#include "map/dialogs/font_dlg.h"
#include "map/layers/feature_layer.h"
#include "map/layers/layer.h"
#include "map/layers/shape_layer.h"
#include "map/services/preferences.h"
#include "map/symbology/font_attributes.h"
#include "map/view/map_view.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

const COLORREF kMagenta = RGB(255, 0, 255);

// The tab images of bitmap 325.
constexpr int kImageAttributes = 1;
constexpr int kImageSymbology = 2;
constexpr int kImageGeography = 3;
constexpr int kImageHyperlink = 4;
constexpr int kImageInformation = 5;
constexpr int kImageScale = 6;
constexpr int kImagePointStyle = 7;
constexpr int kImageLineStyle = 8;
constexpr int kImagePolygonStyle = 9;
constexpr int kImageLabels = 22;

double CurrentMapScale() {
    return CurrentMapView ? CurrentMapView->GetMapScale(true) : 0.0;
}

void FillFieldCombo(HWND combo, CFeatureLayer* layer) {
    for (int i = 0; i < layer->GetFieldCount(); ++i) {
        const WString name = layer->GetFieldName(i);
        SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

int PenWidthInt(const CSymbol& symbol) { return static_cast<int>(symbol.m_pen.lopnWidth.x); }

}  // namespace

// ---------------------------------------------------------------- base page

CLayerPage::CLayerPage(UINT templateId) : CPropertyPageExt(templateId, templateId) {}

bool CLayerPage::OnInitDialog() {
    SetupControls();
    return CPropertyPageExt::OnInitDialog();
}

void CLayerPage::AddColor(int id, COLORREF* colour) {
    Color c{id, colour, std::make_unique<CColorButton>()};
    c.button->SubclassDlgItem(id, GetSafeHwnd());
    c.button->SetColor(*colour);
    m_colors.push_back(std::move(c));
}

void CLayerPage::AddScaleButton(int id, int edit) {
    m_scaleButtons.emplace_back(id, edit);
    auto button = std::make_unique<win::BitmapButton>();
    button->AutoLoad(GetSafeHwnd(), id, IDB_SCALE_UP, IDB_SCALE_DOWN, IDB_SCALE_FOCUS,
                     IDB_SCALE_DISABLED);
    m_bitmaps.push_back(std::move(button));
}

void CLayerPage::AddFontButton(int id) {
    auto button = std::make_unique<win::BitmapButton>();
    button->AutoLoad(GetSafeHwnd(), id, IDB_FONT_UP, IDB_FONT_DOWN, IDB_FONT_FOCUS, IDB_FONT_DISABLED);
    m_bitmaps.push_back(std::move(button));
}

void CLayerPage::ExchangeColors(CDataExchange* dx) {
    for (Color& c : m_colors) {
        if (dx->m_bSaveAndValidate)
            *c.value = c.button->GetColor();
        else
            c.button->SetColor(*c.value);
    }
}

void CLayerPage::SetSpinRange(int spin, int low, int high) {
    SendDlgItemMessage(GetSafeHwnd(), spin, UDM_SETRANGE32, static_cast<WPARAM>(low), high);
}

bool CLayerPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    for (Color& c : m_colors)
        if (c.button->OnParentCommand(wParam, lParam)) return true;
    if (HIWORD(wParam) == BN_CLICKED) {
        for (const auto& [button, edit] : m_scaleButtons) {
            if (LOWORD(wParam) != button) continue;
            SetDlgItemText(GetSafeHwnd(), edit, text::Format(u"%.15g", CurrentMapScale()).c_str());
            return true;
        }
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

LRESULT CLayerPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM) {
        for (Color& c : m_colors)
            if (c.button->OnParentDrawItem(lParam)) return 1;
    }
    if (msg == WM_ENABLE || msg == WM_SETFOCUS || msg == WM_KILLFOCUS)
        for (auto& b : m_bitmaps) b->Refresh();
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- pages

CLayerInfoPage::CLayerInfoPage(CLayer* layer) : CLayerPage(IDD_PAGE_INFORMATION), m_layer(layer) {}

void CLayerInfoPage::SetupControls() {
    const bool advanced = m_layer->HasPropertiesDialog();
    ShowWindow(GetDlgItem(IDC_INFO_ADVANCED), advanced ? SW_SHOW : SW_HIDE);
    EnableWindow(GetDlgItem(IDC_INFO_ADVANCED), advanced);
}

void CLayerInfoPage::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_INFO_NAME, m_name);
    DDV_MaxChars(dx, m_name, 254);
    DDX_Text(dx, IDC_INFO_COMMENTS, m_comments);
    DDV_MaxChars(dx, m_comments, 254);
}

bool CLayerInfoPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_INFO_ADVANCED && HIWORD(wParam) == BN_CLICKED) {
        if (m_layer->ShowPropertiesDialog(GetSafeHwnd()) == 1) SetModified(true);
        return true;
    }
    return CLayerPage::OnCommand(wParam, lParam);
}

CLayerGeographyPage::CLayerGeographyPage() : CLayerPage(IDD_PAGE_GEOGRAPHY) {}

void CLayerGeographyPage::DoDataExchange(CDataExchange* dx) {
    if (!dx->m_bSaveAndValidate) DDX_Text(dx, IDC_GEOGRAPHY_TEXT, m_text);
}

namespace {
UINT StyleTemplate(CSymbolStylePage::Kind kind) {
    switch (kind) {
        case CSymbolStylePage::Kind::Point: return IDD_PAGE_POINT_STYLE;
        case CSymbolStylePage::Kind::Line: return IDD_PAGE_LINE_STYLE;
        default: return IDD_PAGE_POLYGON_STYLE;
    }
}
}  // namespace

CSymbolStylePage::CSymbolStylePage(Kind kind) : CLayerPage(StyleTemplate(kind)), m_kind(kind) {}

void CSymbolStylePage::SetupControls() {
    switch (m_kind) {
        case Kind::Point:
            AddColor(IDC_POINT_OUTLINE, &m_outline);
            AddColor(IDC_POINT_FILL_COLOR, &m_fill);
            SetSpinRange(IDC_POINT_SIZE_SPIN, 0, 72);
            break;
        case Kind::Line:
            FillLineStyleCombo(GetSafeHwnd(), IDC_STYLE_LIST);
            AddColor(IDC_LINE_COLOR, &m_outline);
            SetSpinRange(IDC_STYLE_WIDTH_SPIN, 0, 10);
            break;
        case Kind::Polygon:
            FillLineStyleCombo(GetSafeHwnd(), IDC_STYLE_LIST);
            AddColor(IDC_POLYGON_OUTLINE, &m_outline);
            AddColor(IDC_POLYGON_FILL_COLOR, &m_fill);
            SetSpinRange(IDC_STYLE_WIDTH_SPIN, 0, 10);
            break;
    }
}

void CSymbolStylePage::DoDataExchange(CDataExchange* dx) {
    ExchangeColors(dx);
    if (m_kind == Kind::Point) {
        DDX_Check(dx, IDC_POINT_FILL, m_filled);
        DDX_Text(dx, IDC_POINT_SIZE, m_size);
        DDV_MinMaxInt(dx, m_size, 0, 72);
        DDX_Check(dx, IDC_POINT_DEFAULT, m_saveDefault);
        return;
    }
    DDX_CBIndex(dx, IDC_STYLE_LIST, m_style);
    DDX_Text(dx, IDC_STYLE_WIDTH, m_width);
    DDV_MinMaxInt(dx, m_width, 0, 10);
    if (m_kind == Kind::Polygon) DDX_Check(dx, IDC_POLYGON_FILL, m_filled);
    DDX_Check(dx, m_kind == Kind::Line ? IDC_LINE_DEFAULT : IDC_POLYGON_DEFAULT, m_saveDefault);
}

void CSymbolStylePage::CopyIn(const CSymbol& symbol) {
    m_outline = symbol.m_pen.lopnColor;
    m_fill = symbol.m_fillColor;
    m_filled = symbol.m_brushKind != CSymbol::kBrushNone ? 1 : 0;
    m_size = symbol.m_size;
    // Styles other than solid and dash show no selection.
    m_style = symbol.m_pen.lopnStyle <= 1 ? static_cast<int>(symbol.m_pen.lopnStyle) : -1;
    m_width = PenWidthInt(symbol);
    m_start = {m_filled, m_size, m_style, m_width};
}

void CSymbolStylePage::CopyOut(CSymbol& symbol) const {
    symbol.m_pen.lopnColor = m_outline;
    if (m_kind != Kind::Line) symbol.m_fillColor = m_fill;
    // A fill the user did not switch keeps its kind (a hatch stays a hatch).
    if (m_kind != Kind::Line && m_filled != m_start.filled)
        symbol.m_brushKind = m_filled ? CSymbol::kBrushSolid : CSymbol::kBrushNone;
    if (m_kind == Kind::Point) {
        if (m_size != m_start.size) symbol.m_size = m_size;
        return;
    }
    // No selection keeps the pen's style (none, dot...) rather than a style
    // the next save would write as solid.
    if (m_style >= 0 && m_style != m_start.style) symbol.m_pen.lopnStyle = static_cast<UINT>(m_style);
    // The page shows whole pixels: a width of 2.7 stays unless changed.
    if (m_width != m_start.width) symbol.SetLineWidth(m_width);
}

CLabelsPage::CLabelsPage(CFeatureLayer* layer) : CLayerPage(IDD_PAGE_LABELS), m_layer(layer) {}

void CLabelsPage::CopyIn() {
    const CLabelRenderer& labels = m_layer->m_labelRenderer;
    const CTextSymbol& text = labels.m_textSymbol;
    m_size = m_startSize = text.m_size / 10;
    m_color = text.m_textColor;
    m_blockout = text.m_blockoutColor;
    m_opaque = text.m_blockout ? 1 : 0;
    m_on = labels.m_visible ? 1 : 0;
    m_field = -1;
    for (int i = 0; i < m_layer->GetFieldCount(); ++i)
        if (text::EqualsNoCase(m_layer->GetFieldName(i), labels.m_field)) m_field = i;
    m_minScale = labels.m_minScale;
    m_maxScale = labels.m_maxScale;
    m_referenceScale = labels.m_referenceScale;
    m_range = m_minScale == 0 && m_maxScale == 0 ? 0 : 1;
}

void CLabelsPage::CopyOut() {
    CLabelRenderer& labels = m_layer->m_labelRenderer;
    CTextSymbol& text = labels.m_textSymbol;
    if (m_size != m_startSize) text.m_size = m_size * 10;
    text.m_textColor = m_color;
    text.m_blockoutColor = m_blockout;
    text.m_blockout = m_opaque != 0;
    labels.m_visible = m_on != 0;
    labels.m_minScale = m_minScale;
    labels.m_maxScale = m_maxScale;
    labels.m_referenceScale = m_referenceScale;
    if (m_fontChosen)
        text.SetFontRecord(m_font);
    else
        text.CreateFont();
    if (m_field >= 0 && m_field < m_layer->GetFieldCount()) {
        labels.m_field = m_layer->GetFieldName(m_field);
        m_layer->m_labelField = m_field;
    }
}

void CLabelsPage::SetupControls() {
    FillFieldCombo(GetDlgItem(IDC_LABELS_FIELD), m_layer);
    AddColor(IDC_LABELS_COLOR, &m_color);
    AddColor(IDC_LABELS_BLOCKOUT, &m_blockout);
    SetSpinRange(IDC_LABELS_SIZE_SPIN, 1, 72);
    AddFontButton(IDC_LABELS_FONT);
    AddScaleButton(IDC_LABELS_REF_S, IDC_LABELS_REF);
    AddScaleButton(IDC_LABELS_IN_S, IDC_LABELS_MIN);
    AddScaleButton(IDC_LABELS_OUT_S, IDC_LABELS_MAX);
}

void CLabelsPage::DoDataExchange(CDataExchange* dx) {
    ExchangeColors(dx);
    DDX_Check(dx, IDC_LABELS_ON, m_on);
    DDX_CBIndex(dx, IDC_LABELS_FIELD, m_field);
    DDX_Text(dx, IDC_LABELS_SIZE, m_size);
    DDV_MinMaxInt(dx, m_size, 1, 72);
    DDX_DoubleDefault(dx, IDC_LABELS_REF, m_referenceScale, 0);
    DDX_Check(dx, IDC_LABELS_OPAQUE, m_opaque);
    DDX_Radio(dx, IDC_LABELS_SAME, m_range);
    DDX_DoubleDefault(dx, IDC_LABELS_MIN, m_minScale, 0);
    DDX_DoubleDefault(dx, IDC_LABELS_MAX, m_maxScale, 0);
    if (!dx->m_bSaveAndValidate) UpdateEnabling();
}

void CLabelsPage::UpdateEnabling() {
    const bool on = IsDlgButtonChecked(GetSafeHwnd(), IDC_LABELS_ON) != 0;
    const bool range = IsDlgButtonChecked(GetSafeHwnd(), IDC_LABELS_RANGE) != 0;
    for (int id : {IDC_LABELS_FIELD_LABEL, IDC_LABELS_FIELD, IDC_LABELS_FONT, IDC_LABELS_SIZE_LABEL,
                   IDC_LABELS_SIZE, IDC_LABELS_SIZE_SPIN, IDC_LABELS_REF_LABEL, IDC_LABELS_REF,
                   IDC_LABELS_REF_S, IDC_LABELS_COLOR_LABEL, IDC_LABELS_COLOR, IDC_LABELS_OPAQUE,
                   IDC_LABELS_BLOCKOUT, IDC_LABELS_SAME, IDC_LABELS_RANGE, IDC_LABELS_IN_LABEL,
                   IDC_LABELS_OUT_LABEL})
        EnableWindow(GetDlgItem(id), on);
    for (int id : {IDC_LABELS_MIN, IDC_LABELS_MAX, IDC_LABELS_IN_S, IDC_LABELS_OUT_S})
        EnableWindow(GetDlgItem(id), on && range);
}

bool CLabelsPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == BN_CLICKED) {
        if (id == IDC_LABELS_FONT) {
            OnFont();
            return true;
        }
        if (id == IDC_LABELS_SAME) {
            SetDlgItemText(GetSafeHwnd(), IDC_LABELS_MIN, u"");
            SetDlgItemText(GetSafeHwnd(), IDC_LABELS_MAX, u"");
            m_minScale = m_maxScale = 0;
        }
        if (id == IDC_LABELS_ON || id == IDC_LABELS_SAME || id == IDC_LABELS_RANGE) {
            const bool r = CLayerPage::OnCommand(wParam, lParam);
            UpdateEnabling();
            return r;
        }
    }
    return CLayerPage::OnCommand(wParam, lParam);
}

void CLabelsPage::OnFont() {
    LOGFONT font = m_fontChosen ? m_font : m_layer->m_labelRenderer.m_textSymbol.m_fontRecord;
    BOOL ok = 0;
    const int points = static_cast<int>(GetDlgItemInt(GetSafeHwnd(), IDC_LABELS_SIZE, &ok, false));
    font.lfHeight = FontPointsToHeight(ok ? points : m_size);
    if (!ChooseFontDlg(GetSafeHwnd(), font)) return;
    // Held by the page: the layer takes it with the sheet's OK.
    m_font = font;
    m_fontChosen = true;
    SetDlgItemInt(GetSafeHwnd(), IDC_LABELS_SIZE, static_cast<UINT>(FontHeightToPoints(font.lfHeight)),
                  false);
}

CSymbologyPage::CSymbologyPage(CLayer* layer) : CLayerPage(IDD_PAGE_SYMBOLOGY), m_layer(layer) {}

void CSymbologyPage::SetupControls() {
    m_list.SubclassDlgItem(IDC_SYMBOLOGY_LIST, GetSafeHwnd());
    m_list.Initialize();
    if (auto* shape = dynamic_cast<CShapeLayer*>(m_layer))
        m_list.FillFromRenderer(&shape->m_renderer);
    else if (auto* legend = dynamic_cast<ILegendSource*>(m_layer))
        m_list.FillFromExtensionLayer(legend);
}

void CSymbologyPage::DoDataExchange(CDataExchange* dx) { DDX_Check(dx, IDC_SYMBOLOGY_USE, m_use); }

bool CSymbologyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (m_list.HandleNotify(reinterpret_cast<NMHDR*>(lParam), result)) return true;
    return CLayerPage::OnNotify(wParam, lParam, result);
}

bool CSymbologyPage::OnApply() {
    m_list.ApplyChecks();
    return CLayerPage::OnApply();
}

CHyperlinkPage::CHyperlinkPage(CFeatureLayer* layer) : CLayerPage(IDD_PAGE_HYPERLINK), m_layer(layer) {}

void CHyperlinkPage::SetupControls() {
    HWND combo = GetDlgItem(IDC_HYPERLINK_FIELD);
    SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"<None>"));
    FillFieldCombo(combo, m_layer);
}

void CHyperlinkPage::DoDataExchange(CDataExchange* dx) { DDX_CBIndex(dx, IDC_HYPERLINK_FIELD, m_index); }

CAttributesPage::CAttributesPage(CFeatureLayer* layer) : CLayerPage(IDD_PAGE_ATTRIBUTES), m_layer(layer) {}

void CAttributesPage::SetupControls() {
    m_list.Setup(GetSafeHwnd(), IDC_ATTRIBUTES_LIST);
    m_list.ShowLayer(m_layer);
}

bool CAttributesPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (m_list.HandleCustomDraw(reinterpret_cast<NMHDR*>(lParam), result)) return true;
    return CLayerPage::OnNotify(wParam, lParam, result);
}

CScalePage::CScalePage() : CLayerPage(IDD_PAGE_SCALE) {}

void CScalePage::SetupControls() {
    AddScaleButton(IDC_SCALE_IN_S, IDC_SCALE_MIN);
    AddScaleButton(IDC_SCALE_OUT_S, IDC_SCALE_MAX);
}

void CScalePage::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, IDC_SCALE_ALL, m_range);
    DDX_DoubleDefault(dx, IDC_SCALE_MIN, m_minScale, 0);
    DDX_DoubleDefault(dx, IDC_SCALE_MAX, m_maxScale, 0);
    if (!dx->m_bSaveAndValidate) UpdateEnabling();
}

void CScalePage::UpdateEnabling() {
    const bool range = IsDlgButtonChecked(GetSafeHwnd(), IDC_SCALE_RANGE) != 0;
    for (int id : {IDC_SCALE_MIN, IDC_SCALE_MAX, IDC_SCALE_IN_S, IDC_SCALE_OUT_S})
        EnableWindow(GetDlgItem(id), range);
}

bool CScalePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == BN_CLICKED && (id == IDC_SCALE_ALL || id == IDC_SCALE_RANGE)) {
        if (id == IDC_SCALE_ALL) {
            SetDlgItemText(GetSafeHwnd(), IDC_SCALE_MIN, u"");
            SetDlgItemText(GetSafeHwnd(), IDC_SCALE_MAX, u"");
            m_minScale = m_maxScale = 0;
        }
        const bool r = CLayerPage::OnCommand(wParam, lParam);
        UpdateEnabling();
        return r;
    }
    return CLayerPage::OnCommand(wParam, lParam);
}

// ---------------------------------------------------------------- sheet

CLayerPropertySheet::CLayerPropertySheet(CLayer* layer, UINT captionId, HWND parent, UINT startPage)
    : CPropertySheetExt(captionId, parent, startPage), m_layer(layer) {
    m_psh.dwFlags |= PSH_NOAPPLYNOW;
    const DisplayClass cls = layer->GetDisplayClass();
    IPreferences* prefs = GetPreferences();
    if (cls == DisplayClass::Grid) {
        m_gridPage = prefs->CreateGridStylePage();
        if (m_gridPage) Add(m_gridPage.get(), -1);
        return;
    }
    if (cls == DisplayClass::Tracklog) {
        m_tracklogPage = prefs->CreateTracklogPage();
        if (m_tracklogPage) Add(m_tracklogPage.get(), -1);
        return;
    }
    auto* feature = dynamic_cast<CFeatureLayer*>(layer);
    m_info = std::make_unique<CLayerInfoPage>(layer);
    Add(m_info.get(), kImageInformation);
    if (feature && (cls == DisplayClass::Point || cls == DisplayClass::Line || cls == DisplayClass::Polygon)) {
        m_labels = std::make_unique<CLabelsPage>(feature);
        Add(m_labels.get(), kImageLabels);
        const auto kind = cls == DisplayClass::Point  ? CSymbolStylePage::Kind::Point
                          : cls == DisplayClass::Line ? CSymbolStylePage::Kind::Line
                                                      : CSymbolStylePage::Kind::Polygon;
        m_style = std::make_unique<CSymbolStylePage>(kind);
        Add(m_style.get(), kind == CSymbolStylePage::Kind::Point  ? kImagePointStyle
                           : kind == CSymbolStylePage::Kind::Line ? kImageLineStyle
                                                                  : kImagePolygonStyle);
    }
    if (layer->HasLegendClasses()) {
        m_symbology = std::make_unique<CSymbologyPage>(layer);
        Add(m_symbology.get(), kImageSymbology);
    }
    if (feature && layer->HasAttributes() && layer->GetKind() != LayerKind::Internet) {
        m_hyperlink = std::make_unique<CHyperlinkPage>(feature);
        Add(m_hyperlink.get(), kImageHyperlink);
        m_attributes = std::make_unique<CAttributesPage>(feature);
        Add(m_attributes.get(), kImageAttributes);
    }
    if (layer->GetKind() != LayerKind::System) {
        m_scale = std::make_unique<CScalePage>();
        Add(m_scale.get(), kImageScale);
    }
    m_geographyPage = std::make_unique<CLayerGeographyPage>();
    Add(m_geographyPage.get(), kImageGeography);
}

CLayerPropertySheet::~CLayerPropertySheet() {
    if (GetSafeHwnd()) ::DestroyWindow(GetSafeHwnd());
}

void CLayerPropertySheet::Add(win::PropertyPage* page, int image) {
    AddPage(page);
    m_order.push_back(page);
    if (image >= 0) m_images.emplace_back(page, image);
}

bool CLayerPropertySheet::OnInitDialog() {
    CPropertySheetExt::OnInitDialog();
    HWND tabs = GetTabControl();
    if (tabs && !m_images.empty()) {
        HIMAGELIST images = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(IDB_OPTION_TABS), 16, 1, kMagenta);
        if (images) SendMessage(tabs, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        for (const auto& [page, image] : m_images) SetPageImage(page, image);
    }
    return true;
}

void CLayerPropertySheet::CopyIn() {
    CLayer* layer = m_layer;
    auto* feature = dynamic_cast<CFeatureLayer*>(layer);
    if (m_info) {
        m_info->m_name = layer->GetName();
        m_info->m_comments = layer->GetComments();
    }
    if (m_geographyPage) m_geographyPage->m_text = m_geography;
    if (m_style && feature) m_style->CopyIn(feature->m_defaultSymbol);
    if (m_labels) m_labels->CopyIn();
    if (m_symbology) m_symbology->m_use = layer->UsesRenderer() ? 1 : 0;
    if (m_hyperlink) m_hyperlink->m_index = layer->GetHyperlinkField() + 1;
    if (m_scale) {
        m_scale->m_minScale = layer->GetMinScale();
        m_scale->m_maxScale = layer->GetMaxScale();
        m_scale->m_range = m_scale->m_minScale == 0 && m_scale->m_maxScale == 0 ? 0 : 1;
    }
}

void CLayerPropertySheet::CopyOut() {
    CLayer* layer = m_layer;
    auto* feature = dynamic_cast<CFeatureLayer*>(layer);
    IPreferences* prefs = GetPreferences();
    if (m_info) {
        layer->SetName(m_info->m_name);
        layer->SetComments(m_info->m_comments);
    }
    bool writePreferences = false;
    if (m_style && feature) {
        m_style->CopyOut(feature->m_defaultSymbol);
        feature->m_defaultSymbol.CreateBrush();
        if (m_style->m_saveDefault) {
            PreferencesData::DefaultSymbols& defaults = prefs->Data().defaultsymbols;
            CSymbol& target = m_style->m_kind == CSymbolStylePage::Kind::Point  ? defaults.point
                              : m_style->m_kind == CSymbolStylePage::Kind::Line ? defaults.line
                                                                                : defaults.polygon;
            const CSymbol& source = feature->m_defaultSymbol;
            target.SetType(m_style->m_kind == CSymbolStylePage::Kind::Point  ? CSymbol::kTypeSimpleMarker
                           : m_style->m_kind == CSymbolStylePage::Kind::Line ? CSymbol::kTypeSimpleLine
                                                                             : CSymbol::kTypeSimplePolygon);
            target.m_pen = source.m_pen;
            target.m_lineWidth = source.m_lineWidth;
            target.m_fillColor = source.m_fillColor;
            target.m_brushKind = source.m_brushKind;
            target.m_size = source.m_size;
            target.CreateBrush();
            writePreferences = true;
        }
    }
    if (m_labels) m_labels->CopyOut();
    if (m_symbology) layer->SetUsesRenderer(m_symbology->m_use != 0);
    if (m_hyperlink) layer->SetHyperlinkField(m_hyperlink->m_index - 1);
    if (m_scale) {
        layer->SetMinScale(m_scale->m_range ? m_scale->m_minScale : 0);
        layer->SetMaxScale(m_scale->m_range ? m_scale->m_maxScale : 0);
    }
    if (m_gridPage) {
        PreferencesData::MapGrid& grid = prefs->Data().mapgrid;
        grid.line.CreateBrush();
        grid.text.CreateFont();
        writePreferences = true;
    }
    if (m_tracklogPage) writePreferences = true;
    if (writePreferences) prefs->WritePreferences();
}

bool CLayerPropertySheet::RunModal() {
    CopyIn();
    if (DoModal() != IDOK) return false;
    CopyOut();
    return true;
}

bool RunLayerPropertySheet(CLayer* layer, const WString& geography, HWND parent) {
    if (!layer) return false;
    CLayerPropertySheet sheet(layer, IDS_LAYER_PROPERTIES, parent);
    if (sheet.GetPageCount() == 0) return false;
    sheet.m_geography = geography;
    return sheet.RunModal();
}
