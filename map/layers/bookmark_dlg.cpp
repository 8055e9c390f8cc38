#include "map/layers/bookmark_dlg.h"

#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "platform/win/controls.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

CBookmarkDlg::CBookmarkDlg(CBookmark* bookmark, HWND parent)
    : CDialogExt(IDD_BOOKMARK, parent), m_bookmark(bookmark) {
    if (bookmark) {
        m_name = bookmark->m_name;
        m_global = bookmark->m_global ? 1 : 0;
        m_xmin = bookmark->m_extent.xmin;
        m_ymin = bookmark->m_extent.ymin;
        m_xmax = bookmark->m_extent.xmax;
        m_ymax = bookmark->m_extent.ymax;
    }
}

bool CBookmarkDlg::OnInitDialog() {
    bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    return result;
}

void CBookmarkDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_BOOKMARK_NAME, m_name);
    DDV_MaxChars(dx, m_name, 254);
    DDX_Check(dx, IDC_BOOKMARK_GLOBAL, m_global);
    DDX_Text(dx, IDC_BOOKMARK_XMIN, m_xmin);
    DDX_Text(dx, IDC_BOOKMARK_YMAX, m_ymax);
    DDX_Text(dx, IDC_BOOKMARK_XMAX, m_xmax);
    DDX_Text(dx, IDC_BOOKMARK_YMIN, m_ymin);
}

bool CBookmarkDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_BOOKMARK_VIEW && HIWORD(wParam) == STN_CLICKED) {
        CDoubleRect extent;
        IMainWindow* main = GetMainWindowServices();
        if (main && main->GetViewExtent(extent)) {
            UpdateData(true);
            m_xmin = extent.xmin;
            m_ymin = extent.ymin;
            m_xmax = extent.xmax;
            m_ymax = extent.ymax;
            UpdateData(false);
        }
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CBookmarkDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (m_bookmark) {
        m_bookmark->m_name = m_name;
        m_bookmark->m_global = m_global != 0;
        m_bookmark->m_extent = CDoubleRect(m_xmin, m_ymin, m_xmax, m_ymax);
    }
    EndDialog(IDOK);
}

bool RunBookmarkDialog(HWND parent, CBookmark* bookmark) {
    CBookmarkDlg dialog(bookmark, parent);
    return dialog.DoModal() == IDOK;
}

CBookmarksDlg::CBookmarksDlg(CBookmarkList& list, HWND parent)
    : CDialogExt(IDD_BOOKMARKS, parent), m_list(list) {}

bool CBookmarksDlg::OnInitDialog() {
    bool result = CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    HWND list = List();
    for (int i = 0; i < m_list.GetCount(); ++i) {
        CBookmark* b = m_list.GetAt(i);
        LRESULT item = SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(b->m_name.c_str()));
        if (item >= 0) SendMessage(list, LB_SETITEMDATA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(b));
    }
    UpdateButtons();
    return result;
}

CBookmark* CBookmarksDlg::Selected(int* index) const {
    LRESULT item = SendMessage(List(), LB_GETCURSEL, 0, 0);
    if (index) *index = static_cast<int>(item);
    if (item < 0) return nullptr;
    return reinterpret_cast<CBookmark*>(SendMessage(List(), LB_GETITEMDATA, static_cast<WPARAM>(item), 0));
}

bool CBookmarksDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_BOOKMARK_EDIT:
            if (HIWORD(wParam) == BN_CLICKED) OnEdit();
            return true;
        case IDC_BOOKMARK_DELETE:
            if (HIWORD(wParam) == BN_CLICKED) OnDelete();
            return true;
        case 1199:
            if (HIWORD(wParam) == LBN_SELCHANGE) UpdateButtons();
            if (HIWORD(wParam) == LBN_DBLCLK) OnEdit();
            return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CBookmarksDlg::OnEdit() {
    int index = -1;
    CBookmark* bookmark = Selected(&index);
    if (!bookmark) return;
    if (RunBookmarkDialog(GetSafeHwnd(), bookmark)) {
        // The name may have changed: the item moves to its sorted place.
        SendMessage(List(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        LRESULT item = SendMessage(List(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(bookmark->m_name.c_str()));
        if (item >= 0) {
            SendMessage(List(), LB_SETITEMDATA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(bookmark));
            SendMessage(List(), LB_SETCURSEL, static_cast<WPARAM>(item), 0);
        }
    }
    UpdateButtons();
}

void CBookmarksDlg::OnDelete() {
    int index = -1;
    CBookmark* bookmark = Selected(&index);
    if (!bookmark) return;
    if (ShowMapMessage(IDP_DELETE_BOOKMARK, MB_YESNO | MB_ICONQUESTION, kBeepNone) == IDYES) {
        SendMessage(List(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        m_list.Delete(bookmark);
    }
    UpdateButtons();
}

void CBookmarksDlg::UpdateButtons() {
    bool selected = SendMessage(List(), LB_GETCURSEL, 0, 0) >= 0;
    EnableWindow(GetDlgItem(IDC_BOOKMARK_EDIT), selected);
    EnableWindow(GetDlgItem(IDC_BOOKMARK_DELETE), selected);
}
