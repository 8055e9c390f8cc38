#include "core/small_dialogs.h"

#include "core/language_module.h"
#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "resources/zres.h"

CMessageDlg::CMessageDlg(HWND parent, WString text)
    : CDialogExt(IDD_MESSAGE, parent), m_text(std::move(text)) {}

bool CMessageDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    AddAnchor(IDC_MESSAGE_TEXT, kAnchorStretch, kAnchorStretch);
    SetWindowText(GetDlgItem(IDC_MESSAGE_TEXT), m_text.c_str());
    // The application's title, whatever the template's caption.
    const WString title = res::LoadStringText(nullptr, IDS_APP_TITLE);
    if (!title.empty()) SetWindowText(GetSafeHwnd(), title.c_str());
    return true;
}

void ShowMessage(HWND parent, UINT stringId) {
    ShowMessage(parent, res::LoadStringText(nullptr, stringId));
}

void ShowMessage(HWND parent, const WString& text) {
    CMessageDlg dlg(parent, text);
    dlg.DoModal();
}

CPromptDlg::CPromptDlg(HWND parent, WString text)
    : CDialogExt(IDD_PROMPT, parent), m_text(std::move(text)) {}

CPromptDlg::~CPromptDlg() {
    if (GetSafeHwnd()) DestroyWindow();
    m_textFont.reset();
}

bool CPromptDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    CenterWindow(GetSafeHwnd(), GetParentHwnd());
    AddAnchor(IDC_PROMPT_TEXT, kAnchorStretch, kAnchorStretch);
    HWND edit = GetDlgItem(IDC_PROMPT_TEXT);
    HFONT own = reinterpret_cast<HFONT>(SendMessage(edit, WM_GETFONT, 0, 0));
    if (!own) own = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONT lf{};
    if (GetObject(own, sizeof lf, &lf) == static_cast<int>(sizeof lf)) {
        lf.lfWeight = 900;
        lf.lfHeight = static_cast<LONG>(lf.lfHeight * 1.2);  // truncated toward zero
        m_textFont.reset(CreateFontIndirect(&lf));
        SendMessage(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont.get()), 1);
    }
    SetWindowText(edit, m_text.c_str());
    // The answer has the focus, not the text.
    ::SetFocus(GetDlgItem(IDOK));
    return false;
}

void CPromptDlg::OnDestroy() {
    CDialogExt::OnDestroy();
    m_textFont.reset();
}

int ShowPrompt(HWND parent, const WString& text) {
    CPromptDlg dlg(parent, text);
    return static_cast<int>(dlg.DoModal());
}
