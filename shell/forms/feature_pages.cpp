#include "shell/forms/feature_pages.h"

#include "core/language_module.h"
#include "core/text_helpers.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"
#include "crs/unit_text.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_record.h"
#include "map/dialogs/coord_ddx.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/view_messages.h"
#include "map/view/map_view.h"
#include "platform/win/commctrl.h"
#include "platform/win/theme.h"
#include "resources/zres.h"
#include "shell/forms/feature_sheet.h"

namespace {

constexpr COLORREF kMaskColour = 0xFF00FF;
constexpr COLORREF kHighlightText = 0x0000FF;
// Asks the attribute list to limit the edit box it has just opened.
constexpr UINT WM_ATTRIBUTES_LIMITEDIT = WM_APP + 0x51;

char FieldType(DbfHandle table, int field) {
    return table ? DbfGetFieldType(table, field) : 0;
}

bool IsNumberType(char type) {
    return type == 'N' || type == 'F';
}

// Stores a value text into a field of the record buffer by the field's type.
// Numbers go through the table's number writer; false when the text is not
// a number or does not fit.
bool StoreFieldText(DbfHandle table, int field, const WString& text, uint8_t* record) {
    const char type = FieldType(table, field);
    if (IsNumberType(type)) {
        double value = 0;
        if (!ParseDouble(text.c_str(), value)) return false;
        return DbfPutNumber(table, field, value, record) != 0;
    }
    if (type == 'L') return DbfPutLogical(table, field, text.empty() ? ' ' : text[0], record) != 0;
    if (!CAttributeListCtrl::IsFieldEditable(type)) return false;
    DbfPutText(table, field, text.c_str(), record);
    return true;
}

bool HasZ(int type) {
    return (type >= 11 && type <= 20) || type == kShapeMultiPatch;
}

}  // namespace

// ---------------------------------------------------- CAttributeListCtrl --

CAttributeListCtrl::~CAttributeListCtrl() = default;

bool CAttributeListCtrl::Create(HWND list) {
    if (!list || !CListCtrlEx::Attach(list)) return false;
    SetExtendedStyle(LVS_EX_FULLROWSELECT);
    SetImageList(IDB_FIELD_TYPES, ListImages::Small, 16, kMaskColour);
    if (CLanguageModule* lang = GetLanguageModule(); lang && lang->IsRightToLeft()) {
        lang->ApplyRtlStyle(list);
        if (HWND header = GetHeader()) lang->ApplyRtlStyle(header);
    }
    InsertColumn(0, u"Value", LVCFMT_LEFT, win::theme::Scale(200));
    InsertColumn(1, u"Property", LVCFMT_LEFT, win::theme::Scale(80));
    SwapColumns(0, 1);
    return true;
}

void CAttributeListCtrl::Attach(CFeatureLayer* layer) {
    DeleteAllItems();
    m_table.Attach(layer ? layer->GetTable() : nullptr, false);
    DbfHandle h = m_table.Table();
    const int count = h ? DbfGetFieldCount(h) : 0;
    for (int field = 0; field < count; ++field) {
        const int row = InsertItem(field, u"");
        SetItemText(row, 1, DbfGetFieldName(h, field));
        SetItemData(row, field);
        SetFieldTypeImage(GetSafeHwnd(), row, static_cast<WChar>(DbfGetFieldType(h, field)));
    }
    m_edited.assign(static_cast<size_t>(count), false);
}

uint8_t* CAttributeListCtrl::OwnBuffer() {
    return m_table.Table() ? m_table.GetRecordBuffer() : nullptr;
}

void CAttributeListCtrl::FillValues(int record, const uint8_t* buffer) {
    DbfHandle h = m_table.Table();
    if (!h) return;
    if (record >= 0 && !DbfReadRecord(h, record, OwnBuffer())) return;
    if (!buffer || record >= 0) buffer = OwnBuffer();
    for (int row = 0; row < GetItemCount(); ++row) {
        const int field = static_cast<int>(GetItemData(row));
        SetItemText(row, 0, DbfGetString(h, field, buffer).c_str());
    }
    m_edited.assign(m_edited.size(), false);
}

bool CAttributeListCtrl::StoreValues(int record, uint8_t* buffer) {
    DbfHandle h = m_table.Table();
    if (!h) return false;
    uint8_t* target = buffer ? buffer : OwnBuffer();
    if (record >= 0 && !DbfReadRecord(h, record, target)) return false;
    bool ok = true;
    for (int row = 0; row < GetItemCount(); ++row) {
        const int field = static_cast<int>(GetItemData(row));
        if (field < 0 || static_cast<size_t>(field) >= m_edited.size() ||
            !m_edited[static_cast<size_t>(field)])
            continue;
        if (!StoreFieldText(h, field, GetItemText(row, 0), target)) ok = false;
    }
    if (record != -1 && !DbfWriteRecord(h, record, target)) return false;
    return ok;
}

bool CAttributeListCtrl::IsFieldEditable(char type) {
    return type != 'B' && type != 'I' && type != 'Y';
}

bool CAttributeListCtrl::FormatEdit(DbfHandle table, int field, WString& text) {
    const char type = FieldType(table, field);
    if (!IsFieldEditable(type)) return false;
    if (!IsNumberType(type)) return true;
    double value = 0;
    if (text.empty() || !ParseDouble(text.c_str(), value)) return false;
    // The number as the table stores it: a value the field cannot hold is
    // refused here rather than lost when the record is written.
    std::vector<uint8_t> scratch(static_cast<size_t>(DbfGetRecordLength(table)) + 1, ' ');
    if (!DbfPutNumber(table, field, value, scratch.data())) return false;
    text = DbfGetString(table, field, scratch.data());
    return true;
}

bool CAttributeListCtrl::OnBeginEdit(int item) {
    if (!m_editable || item < 0) return false;
    const int field = static_cast<int>(GetItemData(item));
    if (!IsFieldEditable(FieldType(m_table.Table(), field))) return false;
    PostMessage(GetSafeHwnd(), WM_ATTRIBUTES_LIMITEDIT, static_cast<WPARAM>(field), 0);
    return true;
}

bool CAttributeListCtrl::OnEndEdit(int item, const WChar* typed) {
    if (!typed || item < 0 || !m_editable) return false;
    const int field = static_cast<int>(GetItemData(item));
    WString text = typed;
    if (!FormatEdit(m_table.Table(), field, text)) {
        MessageBeep(MB_ICONHAND);
        return false;
    }
    if (field >= 0 && static_cast<size_t>(field) < m_edited.size())
        m_edited[static_cast<size_t>(field)] = true;
    if (text == typed) return true;
    SetItemText(item, 0, text.c_str());
    return false;
}

bool CAttributeListCtrl::HandleNotify(NMHDR* nm, LRESULT* result) {
    if (!nm || nm->hwndFrom != GetSafeHwnd()) return false;
    switch (nm->code) {
        case LVN_BEGINLABELEDIT: {
            const auto* info = reinterpret_cast<const NMLVDISPINFO*>(nm);
            *result = OnBeginEdit(info->item.iItem) ? FALSE : TRUE;
            return true;
        }
        case LVN_ENDLABELEDIT: {
            const auto* info = reinterpret_cast<const NMLVDISPINFO*>(nm);
            *result = OnEndEdit(info->item.iItem, info->item.pszText) ? TRUE : FALSE;
            return true;
        }
        case NM_CLICK: {
            // A tap on a field's name edits its value.
            const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(nm);
            if (click->iItem >= 0 && click->iSubItem == 1 && m_editable)
                SendMessage(GetSafeHwnd(), LVM_EDITLABEL, static_cast<WPARAM>(click->iItem), 0);
            *result = 0;
            return true;
        }
        case LVN_COLUMNCLICK: {
            const auto* list = reinterpret_cast<const NMLISTVIEW*>(nm);
            SortByColumn(list->iSubItem, false);
            *result = 0;
            return true;
        }
        case NM_CUSTOMDRAW: {
            auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
            if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
                *result = CDRF_NOTIFYITEMDRAW;
            } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                if (m_highlightField >= 0 &&
                    static_cast<int>(cd->nmcd.lItemlParam) == m_highlightField)
                    cd->clrText = kHighlightText;
                *result = CDRF_NEWFONT;
            } else {
                *result = CDRF_DODEFAULT;
            }
            return true;
        }
        default:
            return false;
    }
}

LRESULT CAttributeListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ATTRIBUTES_LIMITEDIT) {
        HWND edit = reinterpret_cast<HWND>(SendMessage(GetSafeHwnd(), LVM_GETEDITCONTROL, 0, 0));
        DbfHandle h = m_table.Table();
        const int field = static_cast<int>(wParam);
        if (edit && h && field >= 0 && field < DbfGetFieldCount(h))
            SendMessage(edit, EM_LIMITTEXT, static_cast<WPARAM>(DbfGetFieldLength(h, field)), 0);
        return 0;
    }
    return CListCtrlEx::WindowProc(msg, wParam, lParam);
}

// ----------------------------------------------------------- the pages --

CFeaturePage::CFeaturePage(UINT templateId, CFeatureSheet* sheet)
    : CPropertyPageExt(templateId, 0), m_sheet(sheet) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

// ---- Attributes ----

CFeatureAttributesPage::CFeatureAttributesPage(CFeatureSheet* sheet)
    : CFeaturePage(IDD_FEATURE_ATTRIBUTES, sheet) {}

bool CFeatureAttributesPage::OnInitDialog() {
    const bool r = CFeaturePage::OnInitDialog();
    m_list.Create(GetDlgItem(IDC_FEATURE_FIELDS));
    CShapeLayer* layer = m_sheet->GetLayer();
    m_list.Attach(layer);
    const WString& lookup = layer->m_renderer.m_lookupField;
    DbfHandle table = layer->GetTable();
    m_list.SetHighlightField(lookup.empty() || !table ? -1 : DbfFindField(table, lookup.c_str()));
    m_list.SetEditable(m_sheet->IsEditable());
    return r;
}

bool CFeatureAttributesPage::OnSetActive() {
    const bool r = CFeaturePage::OnSetActive();
    m_list.FillValues(-1, m_sheet->GetRecordBuffer());
    return r;
}

bool CFeatureAttributesPage::OnKillActive() {
    if (!CFeaturePage::OnKillActive()) return false;
    if (m_sheet->IsEditable()) m_list.StoreValues(-1, m_sheet->GetRecordBuffer());
    return true;
}

bool CFeatureAttributesPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (m_list.HandleNotify(reinterpret_cast<NMHDR*>(lParam), result)) return true;
    return CFeaturePage::OnNotify(wParam, lParam, result);
}

LRESULT CFeatureAttributesPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && m_list.GetSafeHwnd()) {
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), true);
    }
    return CFeaturePage::WindowProc(msg, wParam, lParam);
}

// ---- Symbology ----

CShapeSymbologyPage::CShapeSymbologyPage(CFeatureSheet* sheet)
    : CFeaturePage(IDD_FEATURE_SYMBOLOGY, sheet) {}

int CShapeSymbologyPage::ClassifyingField() const {
    CShapeLayer* layer = m_sheet->GetLayer();
    DbfHandle table = m_sheet->GetTable();
    const WString& lookup = layer->m_renderer.m_lookupField;
    return lookup.empty() || !table ? -1 : DbfFindField(table, lookup.c_str());
}

bool CShapeSymbologyPage::OnInitDialog() {
    const bool r = CFeaturePage::OnInitDialog();
    m_list.Attach(GetDlgItem(IDC_SYMBOLOGY_LIST));
    m_list.Initialize();
    m_list.FillFromRenderer(&m_sheet->GetLayer()->m_renderer);
    return r;
}

bool CShapeSymbologyPage::OnSetActive() {
    const bool r = CFeaturePage::OnSetActive();
    m_userChoice = false;
    const int field = ClassifyingField();
    if (field < 0) return r;
    m_selecting = true;
    m_list.SelectFocused();
    const CRenderer& renderer = m_sheet->GetLayer()->m_renderer;
    DbfHandle table = m_sheet->GetTable();
    const uint8_t* record = m_sheet->GetRecordBuffer();
    const CSymbol* found = nullptr;
    if (IsNumberType(FieldType(table, field)))
        found = renderer.FindClass(DbfGetNumber(table, field, record));
    else
        found = renderer.FindClass(text::Trim(DbfGetString(table, field, record)));
    if (found && renderer.GetClassCount() > 0) {
        const int index = static_cast<int>(found - renderer.GetClass(0));
        for (int row = 0; row < m_list.GetItemCount(); ++row)
            if (static_cast<int>(m_list.GetItemData(row)) == index) m_list.SelectItem(row);
    }
    m_selecting = false;
    return r;
}

bool CShapeSymbologyPage::OnKillActive() {
    if (!CFeaturePage::OnKillActive()) return false;
    // Only a class the user picked here changes the record: leaving the
    // page must not rewrite the classifying value.
    const int field = ClassifyingField();
    const CRenderer& renderer = m_sheet->GetLayer()->m_renderer;
    if (!m_sheet->IsEditable() || !m_userChoice || field < 0 || renderer.GetClassCount() == 0)
        return true;
    const int row = m_list.GetNextItem(-1, LVNI_SELECTED);
    const CSymbol* chosen =
        row >= 0 ? renderer.GetClass(static_cast<int>(m_list.GetItemData(row))) : nullptr;
    if (chosen && chosen->m_classKind != CSymbol::kClassDefault)
        StoreFieldText(m_sheet->GetTable(), field, chosen->m_value, m_sheet->GetRecordBuffer());
    m_userChoice = false;
    return true;
}

bool CShapeSymbologyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm && nm->hwndFrom == m_list.GetSafeHwnd() && nm->code == LVN_ITEMCHANGED && !m_selecting) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(nm);
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
            m_userChoice = true;
    }
    if (m_list.HandleNotify(nm, result)) return true;
    return CFeaturePage::OnNotify(wParam, lParam, result);
}

LRESULT CShapeSymbologyPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && m_list.GetSafeHwnd())
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), true);
    return CFeaturePage::WindowProc(msg, wParam, lParam);
}

// ---- Geography ----

CFeatureGeographyPage::CFeatureGeographyPage(CFeatureSheet* sheet)
    : CFeaturePage(IDD_FEATURE_GEOGRAPHY, sheet) {}

bool CFeatureGeographyPage::OnInitDialog() {
    const bool r = CFeaturePage::OnInitDialog();
    m_list.Attach(GetDlgItem(IDC_GEOGRAPHY_VERTICES));
    return r;
}

bool CFeatureGeographyPage::OnSetActive() {
    const bool r = CFeaturePage::OnSetActive();
    m_list.SetShape(m_sheet->GetShape());
    ComputeTexts();
    return r;
}

void CFeatureGeographyPage::ComputeTexts() {
    const ShapeRecord* shape = m_sheet->GetShape();
    const int points = shape ? ShpGetPointCount(shape) : 0;
    CCoordSys* cs = CurrentMapDoc ? CurrentMapDoc->GetMapCoordSys() : nullptr;
    // Geographic maps measure on the ellipsoid, in metres.
    int32_t unit = 9001;
    if (cs && cs->m_projectionCode != crs_code::kGeographic) unit = cs->m_projectionUnitCode;
    const int units = GetPreferences()->Data().display.units;
    m_length = u"N/A";
    m_area = u"N/A";
    if (points > 1) {
        double value = MeasureShapeLength(cs, shape);
        const WChar* label = ScaleDistanceForDisplay(units, unit, &value);
        m_length = text::Format(u"%.3f %s", value, label);
    }
    if (points > 2) {
        double value = MeasureShapeArea(cs, shape);
        const WChar* label = ScaleAreaForDisplay(units, unit, &value);
        m_area = text::Format(u"%.3f %s", value, label);
    }
    SetWindowText(GetDlgItem(IDC_GEOGRAPHY_LENGTH), m_length.c_str());
    SetWindowText(GetDlgItem(IDC_GEOGRAPHY_AREA), m_area.c_str());
}

void CFeatureGeographyPage::EditVertex(int row) {
    ShapeRecord* shape = m_sheet->GetShape();
    const auto& runner = GetVertexDialogRunners().vertex;
    if (!shape || row < 0 || !runner) return;
    const int index = static_cast<int>(m_list.GetItemData(row));
    SketchVertex vertex;
    if (ShpGetPartPoint(nullptr, index, &vertex.x, &vertex.y, &vertex.z, &vertex.m, shape) < 0)
        return;
    if (!runner(CurrentMapView, m_sheet->GetShapeType(), vertex, false)) return;
    ShpSetPartPoint(nullptr, index, vertex.x, vertex.y, vertex.z, vertex.m, shape);
    InvalidateRect(m_list.GetSafeHwnd(), nullptr, true);
    ComputeTexts();
}

bool CFeatureGeographyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm && nm->hwndFrom == m_list.GetSafeHwnd() && nm->code == NM_DBLCLK) {
        if (m_sheet->IsEditable()) EditVertex(m_list.GetNextItem(-1, LVNI_SELECTED));
        *result = 0;
        return true;
    }
    return CFeaturePage::OnNotify(wParam, lParam, result);
}

LRESULT CFeatureGeographyPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM &&
        m_list.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
        return TRUE;
    if (msg == WM_SIZE && m_list.GetSafeHwnd()) {
        RECT rc;
        GetWindowRect(m_list.GetSafeHwnd(), &rc);
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), rc.bottom - rc.top, true);
    }
    return CFeaturePage::WindowProc(msg, wParam, lParam);
}

// ---- Geography of points ----

CFeaturePointPage::CFeaturePointPage(CFeatureSheet* sheet)
    : CFeaturePage(IDD_FEATURE_POINT, sheet) {}

WString CFeaturePointPage::ProgressText(int count, int samples) {
    if (samples == count) return u"Ready";
    if (samples < count) return text::Format(u"%d", count - samples);
    return text::Format(u"+%d", samples);
}

bool CFeaturePointPage::OnInitDialog() {
    const bool r = CFeaturePage::OnInitDialog();
    m_gpsButton.AutoLoad(GetSafeHwnd(), IDC_POINT_GPS, IDB_GPS_BUTTON_UP, IDB_GPS_BUTTON_DOWN,
                         IDB_GPS_BUTTON_FOCUS, IDB_GPS_BUTTON_DISABLED);
    EnableWindow(GetDlgItem(IDC_POINT_GPS), IsGpsActive());
    m_gpsButton.Refresh();
    ShowWindow(GetDlgItem(IDC_POINT_PROGRESS), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_POINT_COUNT), SW_HIDE);
    if (m_sheet->IsAveraging()) ShowAveraging();
    return r;
}

void CFeaturePointPage::DoDataExchange(CDataExchange* dx) {
    const bool geographic =
        CurrentMapView && CurrentMapView->GetCoordinateEntryMode() == kCoordinateDms;
    const int type = geographic ? kCoordinateDms : kCoordinateNumber;
    DDX_Coordinate(dx, IDC_POINT_X, m_x, type, false);
    DDX_Coordinate(dx, IDC_POINT_Y, m_y, type, true);
    DDX_Text(dx, IDC_POINT_Z, m_z);
    DDX_DoubleNoData(dx, IDC_POINT_M, m_m);
}

void CFeaturePointPage::EnableEdits(bool enable) {
    const int type = m_sheet->GetShapeType();
    EnableWindow(GetDlgItem(IDC_POINT_X), enable);
    EnableWindow(GetDlgItem(IDC_POINT_Y), enable);
    EnableWindow(GetDlgItem(IDC_POINT_Z), enable && HasZ(type));
    EnableWindow(GetDlgItem(IDC_POINT_M), enable && ShapeTypeHasM(type));
}

bool CFeaturePointPage::OnSetActive() {
    const bool r = CFeaturePage::OnSetActive();
    m_sheet->GetPointVertex(m_x, m_y, m_z, m_m);
    EnableEdits(!m_sheet->IsAveraging());
    UpdateData(false);
    UpdateProgress();
    return r;
}

bool CFeaturePointPage::OnKillActive() {
    if (!m_sheet->IsEditable()) return true;
    if (!UpdateData(true)) return false;
    m_sheet->SetPointVertex(m_x, m_y, m_z, m_m);
    return true;
}

void CFeaturePointPage::ShowAveraging() {
    HWND progress = GetDlgItem(IDC_POINT_PROGRESS);
    SendMessage(progress, PBM_SETRANGE32, 0, GetPreferences()->Data().gps.averagingPoint);
    ShowWindow(progress, SW_SHOW);
    ShowWindow(GetDlgItem(IDC_POINT_COUNT), SW_SHOW);
    EnableEdits(false);
    UpdateProgress();
}

void CFeaturePointPage::UpdateProgress() {
    const int samples = GetGps()->GetAveragedCount();
    const int count = GetPreferences()->Data().gps.averagingPoint;
    SendMessage(GetDlgItem(IDC_POINT_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(samples), 0);
    SetWindowText(GetDlgItem(IDC_POINT_COUNT), ProgressText(count, samples).c_str());
}

void CFeaturePointPage::OnGpsButton() {
    IGps* gps = GetGps();
    if (!gps->IsGpsActive()) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    if (m_sheet->IsAveraging()) {
        gps->StartAveraging();
        UpdateProgress();
        return;
    }
    const PreferencesData& prefs = GetPreferences()->Data();
    if (prefs.gps.averagingEnabled && prefs.gps.averagingPoint > 0) {
        m_sheet->StartAveraging();
        ShowAveraging();
        return;
    }
    // What was typed in M stays.
    if (!UpdateData(true)) return;
    const GpsFix fix = gps->GetProjectedFix();
    m_x = fix.x;
    m_y = fix.y;
    m_z = fix.z;
    UpdateData(false);
}

void CFeaturePointPage::OnAveragedFix() {
    const GpsFix fix = GetGps()->GetAveragedFix();
    m_x = fix.x;
    m_y = fix.y;
    m_z = HasZ(m_sheet->GetShapeType()) ? fix.z : 0;
    UpdateData(false);
    UpdateProgress();
}

bool CFeaturePointPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_POINT_GPS && HIWORD(wParam) == BN_CLICKED) {
        OnGpsButton();
        return true;
    }
    return CFeaturePage::OnCommand(wParam, lParam);
}

LRESULT CFeaturePointPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_AVERAGING_GPSFIX) {
        OnAveragedFix();
        return 0;
    }
    return CFeaturePage::WindowProc(msg, wParam, lParam);
}
