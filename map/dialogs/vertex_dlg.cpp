#include "map/dialogs/vertex_dlg.h"

#include <cmath>
#include <numbers>

#include "core/text_helpers.h"
#include "formats/shape/shape_geometry.h"
#include "map/dialogs/coord_ddx.h"
#include "map/map_messages.h"
#include "map/services/gps.h"
#include "map/services/preferences.h"
#include "map/services/view_messages.h"
#include "map/view/map_view.h"
#include "platform/win/commctrl.h"
#include "platform/win/theme.h"
#include "resources/zres.h"

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

HWND ViewWindow(CMapView* view) {
    return view ? view->GetSafeHwnd() : nullptr;
}

}  // namespace

// ---- the Vertex dialog ----

CVertexDlg::CVertexDlg(CMapView* view, int shapeType, const SketchVertex& vertex,
                       bool startAveraging, HWND parent)
    : CDialogExt(IDD_VERTEX, parent ? parent : ViewWindow(view)),
      m_view(view),
      m_hasZ(ShapeTypeHasZ(shapeType)),
      m_hasM(ShapeTypeHasM(shapeType)),
      m_geographic(view && view->GetCoordinateEntryMode() == kCoordinateDms),
      m_vertex(vertex),
      m_finishWhenAveraged(startAveraging) {}

CVertexDlg::~CVertexDlg() = default;

WString CVertexDlg::CountText(int target, int averaged) {
    const int n = target - averaged;
    if (n == 0) return u"OK";
    if (n > 0) return text::Format(u"%d", n);
    return text::Format(u"+%d", averaged);
}

int CVertexDlg::AveragingTarget() const {
    return GetPreferences()->Data().gps.averagingVertex;
}

bool CVertexDlg::OnInitDialog() {
    bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    m_gpsButton.AutoLoad(GetSafeHwnd(), IDC_VERTEX_GPS, IDB_GPS_BUTTON_UP, IDB_GPS_BUTTON_DOWN,
                         IDB_GPS_BUTTON_FOCUS, IDB_GPS_BUTTON_DISABLED);
    EnableWindow(GetDlgItem(IDC_VERTEX_GPS), IsGpsActive());
    m_gpsButton.Refresh();
    EnableEdits(true);
    ShowWindow(GetDlgItem(IDC_VERTEX_PROGRESS), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_VERTEX_COUNT), SW_HIDE);
    if (m_finishWhenAveraged) StartAveraging();
    return result;
}

void CVertexDlg::DoDataExchange(CDataExchange* dx) {
    const int type = m_geographic ? kCoordinateDms : kCoordinateNumber;
    DDX_Coordinate(dx, IDC_VERTEX_X, m_vertex.x, type, false);
    DDX_Coordinate(dx, IDC_VERTEX_Y, m_vertex.y, type, true);
    DDX_Text(dx, IDC_VERTEX_Z, m_vertex.z);
    DDX_DoubleNoData(dx, IDC_VERTEX_M, m_vertex.m);
}

void CVertexDlg::EnableEdits(bool enable) {
    EnableWindow(GetDlgItem(IDC_VERTEX_X), enable);
    EnableWindow(GetDlgItem(IDC_VERTEX_Y), enable);
    EnableWindow(GetDlgItem(IDC_VERTEX_Z), enable && m_hasZ);
    EnableWindow(GetDlgItem(IDC_VERTEX_M), enable && m_hasM);
}

bool CVertexDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_VERTEX_GPS && HIWORD(wParam) == BN_CLICKED) {
        OnGpsButton();
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CVertexDlg::OnGpsButton() {
    IGps* gps = GetGps();
    if (!gps->IsGpsActive()) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    if (m_averaging) {
        gps->StartAveraging();
        UpdateCount();
        return;
    }
    const PreferencesData& prefs = GetPreferences()->Data();
    if (prefs.gps.averagingEnabled && prefs.gps.averagingVertex > 0) {
        StartAveraging();
        return;
    }
    // Keep what was typed in the other fields.
    if (!UpdateData(true)) return;
    // Through the view's capture: never a position without data.
    SketchVertex fix;
    if (!m_view || !m_view->GpsCapturePosition(fix, true)) return;
    m_vertex.x = fix.x;
    m_vertex.y = fix.y;
    m_vertex.z = fix.z;
    UpdateData(false);
}

void CVertexDlg::StartAveraging() {
    GetGps()->StartAveraging();
    HWND progress = GetDlgItem(IDC_VERTEX_PROGRESS);
    SendMessage(progress, PBM_SETRANGE32, 0, AveragingTarget());
    ShowWindow(progress, SW_SHOW);
    ShowWindow(GetDlgItem(IDC_VERTEX_COUNT), SW_SHOW);
    if (m_view) {
        m_view->SetAveragingListener(GetSafeHwnd());
        m_listenerSet = true;
    }
    m_averaging = true;
    EnableEdits(false);
    UpdateCount();
}

void CVertexDlg::UpdateCount() {
    const int averaged = GetGps()->GetAveragedCount();
    SetWindowText(GetDlgItem(IDC_VERTEX_COUNT), CountText(AveragingTarget(), averaged).c_str());
    SendMessage(GetDlgItem(IDC_VERTEX_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(averaged), 0);
}

void CVertexDlg::OnAveragedFix() {
    if (!m_averaging) return;
    UpdateCount();
    GpsFix fix = GetGps()->GetAveragedFix();
    m_vertex.x = fix.x;
    m_vertex.y = fix.y;
    m_vertex.z = fix.z;
    UpdateData(false);
    if (m_finishWhenAveraged && AveragingTarget() - GetGps()->GetAveragedCount() <= 0) {
        GetGps()->StopAveraging();
        m_averaging = false;
        OnOK();
    }
}

LRESULT CVertexDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_AVERAGING_GPSFIX) {
        OnAveragedFix();
        return 0;
    }
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

void CVertexDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (m_averaging && GetGps()->GetAveragedCount() < AveragingTarget()) {
        if (ShowMapMessage(IDP_AVERAGING_NOT_REACHED,
                           MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION, kBeepNone) != IDYES)
            return;
    }
    EndDialog(IDOK);
}

void CVertexDlg::OnDestroy() {
    if (m_listenerSet) {
        GetGps()->StopAveraging();
        if (m_view && m_view->GetAveragingListener() == GetSafeHwnd())
            m_view->SetAveragingListener(nullptr);
        m_listenerSet = false;
    }
    m_averaging = false;
    CDialogExt::OnDestroy();
}

bool DoVertexDialog(CMapView* view, int shapeType, SketchVertex& vertex, bool startAveraging) {
    CVertexDlg dialog(view, shapeType, vertex, startAveraging);
    if (dialog.DoModal() != IDOK) return false;
    vertex = dialog.GetVertex();
    return true;
}

// ---- the Relative Vertex dialog ----

CRelativeVertexDlg::CRelativeVertexDlg(CMapView* view, int shapeType,
                                       const SketchVertex& newVertex,
                                       const SketchVertex& reference, HWND parent)
    : CDialogExt(IDD_RELATIVE_VERTEX, parent ? parent : ViewWindow(view)),
      m_view(view),
      m_hasZ(ShapeTypeHasZ(shapeType)),
      m_hasM(ShapeTypeHasM(shapeType)),
      m_newVertex(newVertex),
      m_reference(reference) {
    Measure(reference, newVertex, m_hasZ, m_azimuth, m_length, m_slope);
}

void CRelativeVertexDlg::Measure(const SketchVertex& from, const SketchVertex& to, bool hasZ,
                                 double& azimuth, double& length, double& slope) {
    const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
    const double h = std::sqrt(dx * dx + dy * dy);
    azimuth = RoundToDecimals(std::atan2(dx, dy) * kDegrees, 2);
    slope = hasZ ? RoundToDecimals(std::atan2(dz, h) * kDegrees, 2) : 0;
    length = RoundToDecimals(std::sqrt(dx * dx + dy * dy + dz * dz), 3);
}

bool CRelativeVertexDlg::OnInitDialog() {
    m_gpsOpen = IsGpsActive();
    m_gpsRelative = m_gpsOpen ? 1 : 0;
    bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    EnableWindow(GetDlgItem(IDC_RELATIVE_SLOPE), m_hasZ);
    EnableWindow(GetDlgItem(IDC_VERTEX_M), m_hasM);
    EnableWindow(GetDlgItem(IDC_RELATIVE_GPS), m_gpsOpen);
    return result;
}

void CRelativeVertexDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_RELATIVE_LENGTH, m_length);
    DDX_Text(dx, IDC_RELATIVE_SLOPE, m_slope);
    DDV_MinMaxDouble(dx, m_slope, -90, 90);
    DDX_Check(dx, IDC_RELATIVE_GPS, m_gpsRelative);
    DDX_Text(dx, IDC_RELATIVE_AZIMUTH, m_azimuth);
    DDV_MinMaxDouble(dx, m_azimuth, -360, 360);
    DDX_DoubleNoData(dx, IDC_VERTEX_M, m_newVertex.m);
}

void CRelativeVertexDlg::OnOK() {
    if (!UpdateData(true)) return;
    const double s = m_slope / kDegrees, a = m_azimuth / kDegrees;
    const double d = m_length * std::cos(s);
    const double dz = m_length * std::sin(s);
    const double dx = d * std::sin(a), dy = d * std::cos(a);
    SketchVertex base = m_reference;
    if (m_gpsRelative && IsGpsActive()) {
        // Relative to a position without data there is no vertex.
        SketchVertex fix;
        if (!m_view || !m_view->GpsCapturePosition(fix, true)) return;
        base.x = fix.x;
        base.y = fix.y;
        base.z = fix.z;
    }
    m_newVertex.x = base.x + dx;
    m_newVertex.y = base.y + dy;
    m_newVertex.z = base.z + dz;
    EndDialog(IDOK);
}

bool RunRelativeVertexDialog(CMapView* view, int shapeType, SketchVertex& newVertex,
                             const SketchVertex& reference) {
    CRelativeVertexDlg dialog(view, shapeType, newVertex, reference);
    if (dialog.DoModal() != IDOK) return false;
    newVertex = dialog.GetNewVertex();
    return true;
}

// ---- the vertex list ----

bool CVertexListCtrl::Attach(HWND list) {
    if (!win::Wnd::Attach(list)) return false;
    SetWindowLong(list, GWL_STYLE, GetWindowLong(list, GWL_STYLE) | LVS_OWNERDRAWFIXED);
    SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    static const struct {
        const WChar* heading;
        int width;
    } columns[] = {{u"Part", 25}, {u"#", 25}, {u"X", 70}, {u"Y", 70}, {u"Z", 70}, {u"M", 45}};
    int i = 0;
    for (const auto& c : columns) InsertColumn(i++, c.heading, LVCFMT_LEFT, win::theme::Scale(c.width));
    return true;
}

void CVertexListCtrl::SetShape(const ShapeRecord* shape) {
    DeleteAllItems();
    m_shape = shape;
    if (!shape) return;
    const int n = ShpGetPointCount(shape);
    for (int i = 0; i < n; ++i) {
        int row = InsertItem(i, u"");
        SetItemData(row, i);
    }
}

WString CVertexListCtrl::CellText(int row, int column) const {
    if (!m_shape || row < 0 || row >= GetItemCount()) return {};
    const int index = static_cast<int>(GetItemData(row));
    const int n = ShpGetPointCount(m_shape);
    if (index < 0 || index >= n) return {};
    const int type = ShapeLoadInt(ShapeBytes(m_shape));
    int inPart = index;
    int part = ShapeFindPart(m_shape, index, &inPart);
    if (part < 0) {
        part = 0;
        inPart = index;
    }
    const uint8_t* points = ShapeGetPoints(m_shape);
    switch (column) {
        case 0:
            return text::Format(u"%d", part);
        case 1:
            return text::Format(u"%d", inPart);
        case 2:
        case 3: {
            if (!points) return {};
            DoublePoint p = ShapeLoadPoint(points, index);
            return text::Format(u" %.6lf", column == 2 ? p.x : p.y);
        }
        case 4: {
            const uint8_t* z = ShapeGetZArray(m_shape);
            if (!ShapeTypeHasZ(type) || !z) return {};
            return text::Format(u" %.6lf", ShapeLoadDouble(z + 8 * index));
        }
        case 5: {
            const uint8_t* m = ShapeGetMArray(m_shape);
            if (!ShapeTypeHasM(type) || !m) return {};
            double value = ShapeLoadDouble(m + 8 * index);
            if (IsNoDataMeasure(value)) return {};
            return text::Format(u" %.8lf", value);
        }
        default:
            return {};
    }
}

bool CVertexListCtrl::DrawItem(const DRAWITEMSTRUCT* item) {
    if (!item || item->hwndItem != GetSafeHwnd() || !GetSafeHwnd()) return false;
    HDC dc = item->hDC;
    const RECT& r = item->rcItem;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    HBRUSH back = CreateSolidBrush(GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    FillRect(dc, &r, back);
    DeleteObject(back);
    const COLORREF oldText =
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    int x = r.left;
    const int columns = GetColumnCount();
    for (int c = 0; c < columns; ++c) {
        const int width = static_cast<int>(SendMessage(GetSafeHwnd(), LVM_GETCOLUMNWIDTH, c, 0));
        WString cell = CellText(static_cast<int>(item->itemID), c);
        RECT cr{x + 1, r.top, x + width, r.bottom};
        if (!cell.empty())
            DrawText(dc, cell.c_str(), static_cast<int>(cell.size()), &cr,
                     DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        x += width;
    }
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
    return true;
}
