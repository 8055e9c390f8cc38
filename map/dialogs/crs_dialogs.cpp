#include "map/dialogs/crs_dialogs.h"

#include "core/language_module.h"
#include "crs/code_tables.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"

namespace {

WString Name(int32_t code) {
    const WChar* n = GetCrsCodeName(code);
    return n ? WString(n) : WString();
}

WString Number(double v) {
    return text::Format(u"%.15g", v);
}

WString TextLine(const WChar* name, const WString& value) {
    return text::Format(u"%s = %s", name, value.c_str());
}

WString NumberLine(const WChar* name, double value) {
    return text::Format(u"%s = %.15g", name, value);
}

WString Rotations(const DatumTransformation& r) {
    return text::Format(u"%.15g,%.15g,%.15g,%.15g", r.rx, r.ry, r.rz, r.ds);
}

WString Translations(const DatumTransformation& r) {
    return text::Format(u"%.15g,%.15g,%.15g", r.dx, r.dy, r.dz);
}

}  // namespace

double InverseFlattening(double f) {
    return f == 0 ? 0.0 : 1.0 / f;
}

WString DatumMethodName(int32_t method) {
    if (method == 0) return u"Unknown";
    return Name(method);
}

std::vector<WString> ProjectionInfoLines(const CCoordSys& cs) {
    const DatumTransformation& d = cs.m_datum;
    return {
        TextLine(u"Projection", cs.m_projectedName),
        TextLine(u"Projection Type", Name(cs.m_projectionCode)),
        TextLine(u"Projection Units", Name(cs.m_projectionUnitCode)),
        NumberLine(u"Projection Units Factor", cs.m_projectionUnitFactor),
        TextLine(u"Datum Name", d.datumName),
        TextLine(u"Spheroid Name", d.spheroidName),
        NumberLine(u"Semi-major Axis", cs.m_a),
        NumberLine(u"Inverse Flattening", InverseFlattening(cs.m_f)),
        NumberLine(u"False Easting", cs.m_falseEasting),
        NumberLine(u"False Northing", cs.m_falseNorthing),
        NumberLine(u"Scale Factor", cs.m_scaleFactor),
        NumberLine(u"Origin Longitude", cs.m_centralMeridian),
        NumberLine(u"Origin Latitude", cs.m_latitudeOfOrigin),
        NumberLine(u"Standard Parallel 1", cs.m_standardParallel1),
        NumberLine(u"Standard Parallel 2", cs.m_standardParallel2),
        NumberLine(u"Azimuth", cs.m_azimuth),
        NumberLine(u"Prime Meridian", cs.m_primeMeridianLongitude),
        TextLine(u"Prime Meridian Name", Name(cs.m_primeMeridianCode)),
        TextLine(u"Geographic Units", Name(cs.m_geographicUnitCode)),
        NumberLine(u"Geographic Units Factor", cs.m_geographicUnitFactor),
        TextLine(u"Method", Name(d.method)),
        NumberLine(u"dX", d.dx),
        NumberLine(u"dY", d.dy),
        NumberLine(u"dZ", d.dz),
        NumberLine(u"Rx", d.rx),
        NumberLine(u"Ry", d.ry),
        NumberLine(u"Rz", d.rz),
        NumberLine(u"Sc", d.ds),
    };
}

const std::vector<DatumColumn>& DatumListColumns() {
    static const std::vector<DatumColumn> columns = {
        {u"Name", 80}, {u"ID", 50}, {u"TranID", 50}, {u"Method", 80}, {u"Spheroid", 80},
        {u"A", 80},    {u"1/F", 80}, {u"DX", 50},    {u"DY", 50},     {u"DZ", 50},
        {u"RX", 50},   {u"RY", 50}, {u"RZ", 50},    {u"SF", 50},
    };
    return columns;
}

std::vector<DatumListRow> DatumListRows(const DatumTransformation& current, bool showAll) {
    LoadDatumTable();
    std::vector<DatumListRow> rows;
    const int32_t n = GetDatumCount();
    for (int32_t i = 0; i < n; ++i) {
        const DatumTransformation* r = GetDatumRow(i);
        if (!r) continue;
        if (!showAll && !text::EqualsNoCase(r->datumName, current.datumName)) continue;
        DatumListRow row;
        row.tableIndex = i;
        row.marked = i == 0 || (r->index != -1 && (r->index & kDatumDefaultFlag) != 0);
        row.cells = {r->datumName,
                     text::Format(u"%u", static_cast<uint32_t>(r->datumId)),
                     text::Format(u"%u", static_cast<uint32_t>(r->transformationId)),
                     Name(r->method),
                     r->spheroidName,
                     Number(r->a),
                     Number(InverseFlattening(r->f)),
                     Number(r->dx),
                     Number(r->dy),
                     Number(r->dz),
                     Number(r->rx),
                     Number(r->ry),
                     Number(r->rz),
                     Number(r->ds)};
        rows.push_back(std::move(row));
    }
    return rows;
}

// ---------------------------------------------------------------- projection

CProjectionInfoDlg::CProjectionInfoDlg(HWND parent, const CCoordSys* cs)
    : CDialogExt(IDD_PROJECTION_INFO, parent), m_cs(cs) {}

bool CProjectionInfoDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    AddAnchor(IDC_PROJECTION_LIST, kAnchorStretch, kAnchorStretch);
    HWND list = GetDlgItem(IDC_PROJECTION_LIST);
    if (m_cs) {
        for (const WString& line : ProjectionInfoLines(*m_cs))
            SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    return true;
}

void ShowProjectionInfo(HWND parent, const CCoordSys* cs) {
    CProjectionInfoDlg dlg(parent, cs);
    dlg.DoModal();
}

// ---------------------------------------------------------------- one row

CDatumTransformationDlg::CDatumTransformationDlg(HWND parent)
    : CDialogExt(IDD_DATUM_INFO, parent) {}

bool CDatumTransformationDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    auto set = [&](int id, const WString& t) { SetWindowText(GetDlgItem(id), t.c_str()); };
    set(IDC_DATUM_NAME, m_datumName);
    set(IDC_SPHEROID_NAME, m_spheroidName);
    set(IDC_SEMI_MAJOR, Number(m_a));
    set(IDC_INV_FLATTENING, Number(m_inverseFlattening));
    set(IDC_METHOD_NAME, m_methodName);
    set(IDC_ROTATIONS, m_rotations);
    set(IDC_TRANSLATIONS, m_translations);
    return true;
}

intptr_t CDatumTransformationDlg::ShowRow(const DatumTransformation& row) {
    m_datumName = row.datumName;
    m_spheroidName = row.spheroidName;
    m_a = row.a;
    m_inverseFlattening = InverseFlattening(row.f);
    m_methodName = DatumMethodName(row.method);
    m_rotations = Rotations(row);
    m_translations = Translations(row);
    return DoModal();
}

intptr_t CDatumTransformationDlg::ShowDatum(WStringView datumName) {
    const DatumTransformation* row = FindDatumByName(datumName);
    if (!row) {
        MessageBeep(0x10);
        return IDCANCEL;
    }
    const DatumTransformation copy = *row;
    return ShowRow(copy);
}

// ---------------------------------------------------------------- datums

CDatumsDlg::CDatumsDlg(HWND parent, const DatumTransformation& current, bool showAll)
    : CDialogExt(IDD_DATUMS, parent), m_current(current), m_showAll(showAll) {}

bool CDatumsDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    m_list.SubclassDlgItem(IDC_DATUM_LIST, GetSafeHwnd());
    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    int c = 0;
    for (const DatumColumn& col : DatumListColumns())
        m_list.InsertColumn(c++, col.heading, LVCFMT_LEFT, col.width);
    m_list.SetImageList(IDB_DEFAULT_MARK, 16, 1, RGB(255, 0, 255));
    AddAnchor(IDC_DATUM_LIST, kAnchorStretch, kAnchorStretch);
    AddAnchor(IDOK, kAnchorMove, kAnchorMove);
    AddAnchor(IDCANCEL, kAnchorMove, kAnchorMove);
    Fill();
    return true;
}

void CDatumsDlg::Fill() {
    m_list.DeleteAllItems();
    m_currentItem = -1;
    int item = 0;
    for (const DatumListRow& row : DatumListRows(m_current, m_showAll)) {
        const int at = m_list.InsertItem(item, row.cells[0].c_str(), row.marked ? 0 : -1);
        for (size_t c = 1; c < row.cells.size(); ++c)
            m_list.SetItemText(at, static_cast<int>(c), row.cells[c].c_str());
        m_list.SetItemData(at, row.tableIndex);
        const DatumTransformation* r = GetDatumRow(row.tableIndex);
        if (m_currentItem < 0 && r && *r == m_current) m_currentItem = at;
        ++item;
    }
    if (m_currentItem >= 0) m_list.SelectItem(m_currentItem);
}

void CDatumsDlg::OnOK() {
    const int item = m_list.GetNextItem(-1, LVNI_SELECTED);
    const DatumTransformation* row =
        item >= 0 ? GetDatumRow(static_cast<int32_t>(m_list.GetItemData(item))) : nullptr;
    if (row) {
        m_current = *row;
        // The choice holds for the map even when the table cannot keep it.
        if (!SaveDefaultDatums(m_current)) {
            CLanguageModule* lang = GetLanguageModule();
            if (lang)
                lang->MessageBox(IDS_DEFAULT_DATUM_NOT_SAVED, MB_OK | MB_ICONEXCLAMATION);
        }
    }
    EndDialog(IDOK);
}

bool ChooseDatumTransformation(HWND parent, DatumTransformation& row, bool showAll) {
    CDatumsDlg dlg(parent, row, showAll);
    if (dlg.DoModal() != IDOK) return false;
    row = dlg.GetCurrent();
    return true;
}
