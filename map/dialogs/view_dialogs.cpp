#include "map/dialogs/view_dialogs.h"

#include "map/dialogs/coord_ddx.h"
#include "map/view/map_view.h"
#include "platform/win/controls.h"
#include "platform/win/ddx.h"
#include "resources/zres.h"

// ---- Set View Coordinates ----

CViewCoordsDlg::CViewCoordsDlg(const CDoubleRect& extent, bool geographic, HWND parent)
    : CDialogExt(IDD_VIEW_COORDS, parent),
      m_xmax(extent.xmax),
      m_ymax(extent.ymax),
      m_xmin(extent.xmin),
      m_ymin(extent.ymin),
      m_geographic(geographic) {
    CenterFromExtent();
}

void CViewCoordsDlg::CenterFromExtent() {
    m_centerX = (m_xmax - m_xmin) * 0.5 + m_xmin;
    m_centerY = (m_ymax - m_ymin) * 0.5 + m_ymin;
}

bool CViewCoordsDlg::OnInitDialog() {
    bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    SetMode(false);
    return result;
}

void CViewCoordsDlg::DoDataExchange(CDataExchange* dx) {
    const int type = m_geographic ? kCoordinateDms : kCoordinateNumber;
    DDX_Coordinate(dx, IDC_VIEW_COORDS_XMAX, m_xmax, type, false);
    DDX_Coordinate(dx, IDC_VIEW_COORDS_YMAX, m_ymax, type, true);
    DDX_Coordinate(dx, IDC_VIEW_COORDS_XMIN, m_xmin, type, false);
    DDX_Coordinate(dx, IDC_VIEW_COORDS_YMIN, m_ymin, type, true);
    DDX_Coordinate(dx, IDC_VIEW_COORDS_CX, m_centerX, type, false);
    DDX_Coordinate(dx, IDC_VIEW_COORDS_CY, m_centerY, type, true);
}

void CViewCoordsDlg::SetMode(bool center) {
    m_centerMode = center;
    CheckRadioButton(GetSafeHwnd(), IDC_VIEW_COORDS_CENTER, IDC_VIEW_COORDS_EXTENT,
                     center ? IDC_VIEW_COORDS_CENTER : IDC_VIEW_COORDS_EXTENT);
}

bool CViewCoordsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    // The edit that had the focus loses it as the dialog closes: the
    // values and the mode are final by then.
    if (code == EN_KILLFOCUS && m_closing) return true;
    if (code == EN_KILLFOCUS && (id == IDC_VIEW_COORDS_CX || id == IDC_VIEW_COORDS_CY)) {
        SetMode(true);
        const double oldX = m_centerX, oldY = m_centerY;
        if (UpdateData(true)) {
            const double dx = m_centerX - oldX, dy = m_centerY - oldY;
            m_xmin += dx;
            m_xmax += dx;
            m_ymin += dy;
            m_ymax += dy;
        }
        UpdateData(false);
        return true;
    }
    if (code == EN_KILLFOCUS &&
        (id == IDC_VIEW_COORDS_XMAX || id == IDC_VIEW_COORDS_YMAX ||
         id == IDC_VIEW_COORDS_XMIN || id == IDC_VIEW_COORDS_YMIN)) {
        SetMode(false);
        if (UpdateData(true)) CenterFromExtent();
        UpdateData(false);
        return true;
    }
    if (id == IDC_VIEW_COORDS_VIEW && code == STN_CLICKED) {
        if (CurrentMapView) {
            const CDoubleRect& e = CurrentMapView->GetExtent();
            UpdateData(true);
            m_xmin = e.xmin;
            m_ymin = e.ymin;
            m_xmax = e.xmax;
            m_ymax = e.ymax;
            CenterFromExtent();
            UpdateData(false);
        }
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CViewCoordsDlg::OnOK() {
    if (!UpdateData(true)) return;
    // The radio buttons only say which applies.
    m_centerMode = IsDlgButtonChecked(GetSafeHwnd(), IDC_VIEW_COORDS_CENTER) == BST_CHECKED;
    m_closing = true;
    EndDialog(IDOK);
}

// ---- Set Map Scale ----

CMapScaleDlg::CMapScaleDlg(double scale, HWND parent)
    : CDialogExt(IDD_MAP_SCALE, parent), m_scale(scale) {}

bool CMapScaleDlg::OnInitDialog() {
    bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    return result;
}

void CMapScaleDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_MAP_SCALE, m_scale);
}

void CMapScaleDlg::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

bool RunMapScaleDialog(HWND owner, double& scale) {
    CMapScaleDlg dialog(scale, owner);
    if (dialog.DoModal() != IDOK) return false;
    scale = dialog.m_scale;
    return true;
}
