#include "map/dialogs/field_dlg.h"

#include <algorithm>

#include "platform/win/controls.h"
#include "resources/zres.h"

namespace {
constexpr char kTypes[] = "CNDL";
}

CFieldDlg::CFieldDlg(const DbfFieldInfo& field, HWND parent) : CDialogExt(IDD_FIELD, parent), m_field(field) {
    m_name = WString(field.name, std::find(field.name, field.name + 11, u'\0'));
    m_width = field.length;
    m_decimals = field.decimals;
    switch (field.type) {
        case 'N': m_type = 1; break;
        case 'D': m_type = 2; break;
        case 'L': m_type = 3; break;
        default: m_type = 0; break;
    }
}

char CFieldDlg::TypeLetter() const { return kTypes[std::clamp(m_type, 0, 3)]; }

bool CFieldDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    SendDlgItemMessage(GetSafeHwnd(), IDC_FIELD_NAME, EM_LIMITTEXT, 10, 0);
    UpdateEnabling();
    return true;
}

void CFieldDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Radio(dx, IDC_FIELD_CHARACTER, m_type);
    DDX_Text(dx, IDC_FIELD_NAME, m_name);
    DDV_MaxChars(dx, m_name, 10);
    DDX_Text(dx, IDC_FIELD_WIDTH, m_width);
    DDV_MinMaxInt(dx, m_width, 1, 254);
    DDX_Text(dx, IDC_FIELD_DECIMALS, m_decimals);
    DDV_MinMaxInt(dx, m_decimals, 0, 15);
}

void CFieldDlg::UpdateEnabling() {
    HWND dlg = GetSafeHwnd();
    int type = 0;
    for (int i = 0; i < 4; ++i)
        if (IsDlgButtonChecked(dlg, IDC_FIELD_CHARACTER + i)) type = i;
    EnableWindow(GetDlgItem(IDC_FIELD_WIDTH), type == 0 || type == 1);
    EnableWindow(GetDlgItem(IDC_FIELD_DECIMALS), type == 1);
    EnableOk(!GetDlgItemTextString(dlg, IDC_FIELD_NAME).empty());
}

void CFieldDlg::OnTypeChosen() {
    if (!UpdateData(true)) return;
    if (m_type != 1) m_decimals = 0;
    if (m_type == 2) m_width = 8;
    if (m_type == 3) m_width = 1;
    UpdateData(false);
    UpdateEnabling();
}

bool CFieldDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id >= IDC_FIELD_CHARACTER && id <= IDC_FIELD_LOGICAL && code == BN_CLICKED) {
        const bool r = CDialogExt::OnCommand(wParam, lParam);
        OnTypeChosen();
        return r;
    }
    if (id == IDC_FIELD_NAME && code == EN_CHANGE) {
        UpdateEnabling();
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

void CFieldDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (m_name.empty()) return;
    std::fill(std::begin(m_field.name), std::end(m_field.name), u'\0');
    std::copy_n(m_name.begin(), std::min<size_t>(m_name.size(), 10), m_field.name);
    m_field.type = TypeLetter();
    m_field.length = static_cast<uint8_t>(m_width);
    m_field.decimals = static_cast<uint8_t>(m_decimals);
    EndDialog(IDOK);
}

bool RunFieldDialog(HWND parent, DbfFieldInfo& field) {
    CFieldDlg dialog(field, parent);
    if (dialog.DoModal() != IDOK) return false;
    field = dialog.GetField();
    return true;
}
