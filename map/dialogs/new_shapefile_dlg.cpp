#include "map/dialogs/new_shapefile_dlg.h"

#include <algorithm>

#include "core/file_stream.h"
#include "core/language_module.h"
#include "core/path.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "formats/dbf/dbf_codepage.h"
#include "formats/dbf/dbf_table.h"
#include "formats/shape/shape_file.h"
#include "map/dialogs/field_dlg.h"
#include "map/layers/feature_layer.h"
#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

const WChar* const kShapeTypeNames[9] = {u"Point",   u"Polyline",  u"Polygon",  u"PointZ",  u"PolylineZ",
                                         u"PolygonZ", u"PointM",   u"PolylineM", u"PolygonM"};

WString FieldName(const DbfFieldInfo& field) {
    return WString(field.name, std::find(field.name, field.name + 10, u'\0'));
}

// The companions a shapefile's name stands for, the code page file too.
const WChar* const kCompanions[] = {u"shp", u"shx", u"dbf", u"sbn", u"sbx", u"ain", u"aih", u"prj", u"cpg"};

void DeleteCompanions(const WString& path) {
    for (const WChar* extension : kCompanions) {
        CPath p(path);
        p.SetExtension(extension);
        if (fs::Exists(p.GetPath())) fs::DeleteFile(p.GetPath());
    }
}

}  // namespace

// ---------------------------------------------------------------- list

bool CFieldListCtrl::Setup(HWND dialog, int id) {
    if (!SubclassDlgItem(id, dialog)) return false;
    if (CLanguageModule* lang = GetLanguageModule()) {
        lang->ApplyRtlStyle(GetSafeHwnd());
        lang->ApplyRtlStyle(GetHeader());
    }
    InsertColumn(0, u"Field", LVCFMT_LEFT, 95);
    InsertColumn(1, u"Type", LVCFMT_LEFT, 40);
    InsertColumn(2, u"Size", LVCFMT_LEFT, 40);
    InsertColumn(3, u"Precision", LVCFMT_LEFT, 60);
    SetExtendedStyle(LVS_EX_FULLROWSELECT);
    SetImageList(IDB_FIELD_TYPES, ListImages::Small, 16, RGB(255, 0, 255));
    return true;
}

void CFieldListCtrl::ShowLayer(CFeatureLayer* layer) {
    m_layer = layer;
    Fill();
}

void CFieldListCtrl::ShowTable(DbfHandle table) {
    m_table = table;
    m_layer = nullptr;
    Fill();
}

void CFieldListCtrl::Fill() {
    DeleteAllItems();
    const int count = m_layer ? m_layer->GetFieldCount() : m_table ? DbfGetFieldCount(m_table) : 0;
    for (int i = 0; i < count; ++i) {
        DbfFieldInfo field{};
        WString name;
        if (m_layer) {
            name = m_layer->GetFieldName(i);
            field.type = static_cast<char>(m_layer->GetFieldType(i));
            field.length = static_cast<uint8_t>(m_layer->GetFieldWidth(i));
            field.decimals = static_cast<uint8_t>(m_layer->GetFieldDecimals(i));
        } else {
            const WChar* n = DbfGetFieldName(m_table, i);
            name = n ? n : u"";
            field.type = DbfGetFieldType(m_table, i);
            field.length = static_cast<uint8_t>(DbfGetFieldLength(m_table, i));
            field.decimals = static_cast<uint8_t>(DbfGetFieldDecimals(m_table, i));
        }
        std::copy_n(name.begin(), std::min<size_t>(name.size(), 10), field.name);
        AddField(field);
    }
}

int CFieldListCtrl::AddField(const DbfFieldInfo& field) {
    const int row = GetItemCount();
    const WString name = FieldName(field);
    InsertItem(row, name.c_str());
    const WChar type[2] = {static_cast<WChar>(field.type), 0};
    SetItemText(row, 1, type);
    SetItemText(row, 2, text::Format(u"%d", field.length).c_str());
    SetItemText(row, 3, text::Format(u"%d", field.decimals).c_str());
    SetItemData(row, row);
    SetFieldTypeImage(GetSafeHwnd(), row, type[0]);
    return row;
}

bool CFieldListCtrl::GetField(int row, DbfFieldInfo& field) const {
    if (row < 0 || row >= GetItemCount()) return false;
    field = DbfFieldInfo{};
    const WString name = GetItemText(row, 0);
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 10), field.name);
    const WString type = GetItemText(row, 1);
    field.type = type.empty() ? 'C' : static_cast<char>(type[0]);
    field.length = static_cast<uint8_t>(text::ParseLong(GetItemText(row, 2)));
    field.decimals = static_cast<uint8_t>(text::ParseLong(GetItemText(row, 3)));
    return true;
}

bool CFieldListCtrl::HandleCustomDraw(NMHDR* nm, LRESULT* result) {
    if (!nm || nm->hwndFrom != GetSafeHwnd() || nm->code != NM_CUSTOMDRAW) return false;
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(nm);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
               static_cast<int>(draw->nmcd.lItemlParam) == m_highlightField && m_highlightField >= 0) {
        draw->clrText = RGB(255, 0, 0);
        *result = CDRF_NEWFONT;
    } else {
        *result = 0;
    }
    return true;
}

// ---------------------------------------------------------------- dialog

CNewShapefileDlg::CNewShapefileDlg(const WString& path, const CCoordSys* coordSys, HWND parent)
    : CDialogExt(IDD_NEW_SHAPEFILE, parent), m_path(path), m_coordSys(coordSys) {}

CNewShapefileDlg::~CNewShapefileDlg() = default;

bool CNewShapefileDlg::OnInitDialog() {
    const unsigned cp = GetPreferences()->GetAnsiCodePage();
    m_codePage = text::IsCodePageSupported(cp) ? static_cast<int>(cp) : 0;
    HWND types = GetDlgItem(IDC_NEWSHP_TYPE);
    for (const WChar* name : kShapeTypeNames)
        SendMessage(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    m_fields.Setup(GetSafeHwnd(), IDC_NEWSHP_FIELDS);
    m_delete.AutoLoad(GetSafeHwnd(), IDC_NEWSHP_DELETE, IDB_DELETE_UP, IDB_DELETE_DOWN, IDB_DELETE_FOCUS,
                      IDB_DELETE_DISABLED);
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    AddAnchor(IDC_NEWSHP_FIELDS, kAnchorStretch, kAnchorStretch);
    for (int id : {IDC_NEWSHP_DELETE, IDC_NEWSHP_ADD, IDC_NEWSHP_IMPORT}) AddAnchor(id, kAnchorNone, kAnchorMove);
    UpdateButtons();
    return true;
}

void CNewShapefileDlg::DoDataExchange(CDataExchange* dx) {
    DDX_CBIndex(dx, IDC_NEWSHP_TYPE, m_typeIndex);
    DDX_IntDefault(dx, IDC_NEWSHP_CODEPAGE, m_codePage, 0);
}

void CNewShapefileDlg::UpdateButtons() {
    EnableWindow(GetDlgItem(IDC_NEWSHP_DELETE), m_fields.GetNextItem(-1, LVNI_SELECTED) >= 0);
    m_delete.Refresh();
    EnableOk(m_fields.GetItemCount() > 0);
}

bool CNewShapefileDlg::IsNameFree(const WString& name, bool tell) const {
    const WString key = text::ToUpper(WStringView(name).substr(0, 10));
    for (int row = 0; row < m_fields.GetItemCount(); ++row) {
        if (text::ToUpper(WStringView(m_fields.GetItemText(row, 0)).substr(0, 10)) != key) continue;
        if (tell) ShowMapMessage(IDP_DUPLICATE_FIELD, MB_OK | MB_ICONEXCLAMATION, kBeepExclamation, {name});
        return false;
    }
    return true;
}

void CNewShapefileDlg::OnAddField() {
    DbfFieldInfo field{};
    // The first free default name.
    WString name;
    for (int n = m_fields.GetItemCount() + 1;; ++n) {
        name = text::Format(u"FIELD%d", n);
        if (IsNameFree(name, false)) break;
    }
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 10), field.name);
    field.type = 'C';
    field.length = 10;
    field.decimals = 0;
    while (RunFieldDialog(GetSafeHwnd(), field)) {
        if (IsNameFree(FieldName(field), true)) {
            m_fields.AddField(field);
            break;
        }
    }
    UpdateButtons();
}

void CNewShapefileDlg::OnDeleteField() {
    const int row = m_fields.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    m_fields.DeleteItem(row);
    UpdateButtons();
}

void CNewShapefileDlg::OnImportFields() {
    CFileDialogEx dialog(true, u"dbf", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, u"DBF files|*.dbf||",
                         GetSafeHwnd());
    dialog.m_ofn.title = LoadMapString(IDS_IMPORT_FIELDS_TITLE);
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.data;
    if (dialog.DoModal() != IDOK) return;
    const WString path = dialog.GetPathName();
    CDbfTable table;
    if (!table.Open(path.c_str(), 0)) {
        ShowMapMessage(IDP_ERROR_OPENING, MB_OK | MB_ICONERROR, kBeepError, {path});
        return;
    }
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        DbfFieldInfo field{};
        if (!table.GetFieldInfo(i, &field)) continue;
        if (IsNameFree(FieldName(field), true)) m_fields.AddField(field);
    }
    table.Close();
    UpdateButtons();
}

bool CNewShapefileDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (code == BN_CLICKED || (code == BN_DBLCLK && id == IDC_NEWSHP_DELETE)) {
        switch (id) {
            case IDC_NEWSHP_ADD: OnAddField(); return true;
            case IDC_NEWSHP_DELETE: OnDeleteField(); return true;
            case IDC_NEWSHP_IMPORT: OnImportFields(); return true;
            default: break;
        }
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

bool CNewShapefileDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    NMHDR* nm = reinterpret_cast<NMHDR*>(lParam);
    if (m_fields.HandleCustomDraw(nm, result)) return true;
    if (nm && nm->hwndFrom == m_fields.GetSafeHwnd() && nm->code == LVN_ITEMCHANGED) {
        UpdateButtons();
        return true;
    }
    return CDialogExt::OnNotify(wParam, lParam, result);
}

bool CNewShapefileDlg::Create(const WString& path) {
    const int type = kShapeTypes[std::clamp(m_typeIndex, 0, 8)];
    // Old companions of the same name would describe another shapefile: an
    // index of other shapes, another projection, another code page.
    DeleteCompanions(path);
    CShapeFile shapefile;
    auto fail = [&] {
        ShowMapMessage(IDS_ERROR_CREATING_SHAPEFILE, MB_OK | MB_ICONERROR, kBeepError, {path});
        return false;
    };
    if (!shapefile.Create(path.c_str(), type, 0)) return fail();
    DbfHandle table = shapefile.GetTable().Table();
    CPath cpg(path);
    cpg.SetExtension(u"cpg");
    bool ok = true;
    if (m_codePage > 0) {
        const int ldid = DbfCodePageToLdid(static_cast<unsigned>(m_codePage));
        ok = DbfSetLanguageDriverId(table, ldid > 0 ? ldid : 0) >= 0;
        if (ok && ldid <= 0) ok = WriteTextFile(cpg.GetPath(), text::Format(u"%d\r\n", m_codePage), 0);
    }
    for (int row = 0; ok && row < m_fields.GetItemCount(); ++row) {
        DbfFieldInfo field{};
        m_fields.GetField(row, field);
        ok = DbfAddFields(table, 1, &field) >= 0;
    }
    if (!ok) {
        // A table without all its fields is no shapefile the user asked for.
        shapefile.DeleteFiles();
        shapefile.Close(true);
        if (fs::Exists(cpg.GetPath())) fs::DeleteFile(cpg.GetPath());
        return fail();
    }
    shapefile.Close(true);
    return true;
}

void CNewShapefileDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (m_fields.GetItemCount() == 0) return;
    CFileDialogEx dialog(false, u"shp", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, u"Shapefiles|*.shp||",
                         GetSafeHwnd());
    dialog.m_ofn.title = LoadMapString(IDS_CREATE_SHAPEFILE_TITLE);
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.data;
    if (dialog.DoModal() != IDOK) return;
    WString path = dialog.GetPathName();
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') path.erase(0, 1);
    CPath shp(path);
    shp.SetExtension(u"shp");
    path = shp.GetPath();
    if (!Create(path)) return;
    m_path = path;
    EndDialog(IDOK);
}

bool RunNewShapefileDialog(HWND parent, WString& path, const CCoordSys* coordSys) {
    CNewShapefileDlg dialog(path, coordSys, parent);
    if (dialog.DoModal() != IDOK) return false;
    path = dialog.GetPath();
    if (coordSys && coordSys->m_projectionCode != 0) {
        CPath prj(path);
        prj.SetExtension(u"prj");
        WritePrjFile(prj.GetPath(), *coordSys);
    }
    return true;
}
