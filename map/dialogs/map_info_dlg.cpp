#include "map/dialogs/map_info_dlg.h"

#include "map/layers/map_doc.h"
#include "resources/zres.h"

CMapInfoDlg::CMapInfoDlg(CMapDoc* doc, HWND parent) : CDialogExt(IDD_MAP_INFO, parent), m_doc(doc) {}

bool CMapInfoDlg::OnInitDialog() {
    // A map without a title (a dataset opened as a map) shows the name in
    // the window's caption.
    m_title = m_doc->GetMapTitle();
    if (m_title.empty()) m_title = m_doc->GetTitle();
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    return true;
}

void CMapInfoDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_MAP_INFO_TITLE, m_title);
}

void CMapInfoDlg::OnOK() {
    if (!UpdateData(true)) return;
    m_doc->SetMapTitle(m_title);
    m_doc->SetTitle(m_title);
    m_doc->SetModifiedFlag(true);
    EndDialog(IDOK);
}

bool RunMapInfoDialog(HWND parent, CMapDoc* doc) {
    if (!doc) return false;
    CMapInfoDlg dialog(doc, parent);
    return dialog.DoModal() == IDOK;
}
