#include "script/app/script_dlg.h"

#include <algorithm>
#include <iterator>

#include "core/file_stream.h"
#include "core/language_module.h"
#include "core/shell_helpers.h"
#include "map/services/preferences.h"
#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "script/app/app_scripting.h"
#include "script/script_host.h"
#include "shell/app/win_app_ext.h"

namespace {

constexpr int kButtonIds[3] = {IDC_SCRIPT_LOAD, IDC_SCRIPT_SAVE, IDOK};
constexpr UINT kPictureIds[3][4] = {
    {IDB_OPEN_BUTTON_UP, IDB_OPEN_BUTTON_DOWN, IDB_OPEN_BUTTON_FOCUS, IDB_OPEN_BUTTON_DISABLED},
    {IDB_SAVE_BUTTON_UP, IDB_SAVE_BUTTON_DOWN, IDB_SAVE_BUTTON_FOCUS, IDB_SAVE_BUTTON_DISABLED},
    {IDB_SCRIPT_RUN_UP, IDB_SCRIPT_RUN_DOWN, IDB_SCRIPT_RUN_FOCUS, IDB_SCRIPT_RUN_DISABLED},
};
// The shell's input panel requests.
constexpr int kSipUp = 0, kSipDown = 1;
// A fixed-pitch face of the modern family.
constexpr BYTE kFixedPitchModern = 0x01 | 0x30;

// A picture's pixels on this display: the pictures are drawn for 96 dots
// per inch and grow with the screen, as the bars' images do.
int Scaled(int pixels) {
    const int dpi = gdi::GetScreenMetrics().logPixelsX;
    return pixels * (dpi > 0 ? dpi : 96) / 96;
}

// Shows one error of a file the window could not read or write.
void FileErrorBox(HWND owner, UINT id, const WString& path) {
    WString text;
    const WString reason = fs::ErrorText(fs::GetLastError());
    GetLanguageModule()->FormatString2(text, id, path.c_str(), reason.c_str());
    MessageBox(owner, text.c_str(), GetLanguageModule()->LoadString(IDS_APP_TITLE, true).c_str(),
               MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

CScriptDlg::CScriptDlg(HWND parent) : CDialogExt(IDD_SCRIPT, parent), m_host(std::make_unique<CScriptHost>()) {
    // Errors name their line from the kept text.
    m_host->CreateHeap();
    CWinAppExt::RegisterSipPref();
}

CScriptDlg::~CScriptDlg() {
    if (m_host) {
        m_host->SetScriptStateHr(SCRIPTSTATE_DISCONNECTED);
        m_host->StopEngine();
    }
}

bool CScriptDlg::OnInitDialog() {
    const bool result = CDialogExt::OnInitDialog();
    for (int b = 0; b < 3; ++b) {
        for (int s = 0; s < 4; ++s)
            m_pictures[b][s].reset(LoadBitmap(nullptr, MAKEINTRESOURCE(static_cast<WORD>(kPictureIds[b][s]))));
        // Each button takes the size of its pictures.
        BITMAP bm{};
        if (HWND button = GetDlgItem(kButtonIds[b]); button && m_pictures[b][0] &&
                                                     GetObject(m_pictures[b][0].get(), sizeof bm, &bm)) {
            SetWindowPos(button, nullptr, 0, 0, Scaled(bm.bmWidth), Scaled(bm.bmHeight), SWP_NOMOVE | SWP_NOZORDER);
        }
    }
    AddAnchor(IDC_SCRIPT_TEXT, kAnchorStretch, kAnchorStretch);
    LOGFONT lf = GetPreferences()->Data().fonts.dialog;
    lf.lfPitchAndFamily = kFixedPitchModern;
    const WString face = u"Courier New";
    std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), WChar(0));
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    m_editFont.reset(CreateFontIndirect(&lf));
    if (m_editFont) SendMessage(GetDlgItem(IDC_SCRIPT_TEXT), WM_SETFONT, reinterpret_cast<WPARAM>(m_editFont.get()), 1);
    if (m_host->StartEngine(nullptr)) {
        m_host->SetSiteWindow(GetSafeHwnd());
        if (CAppScripting* scripting = CAppScripting::Get()) scripting->RegisterSystemObjects(m_host.get());
    }
    return result;
}

void CScriptDlg::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_SCRIPT_TEXT, m_text); }

void CScriptDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (!m_host->IsStarted()) return;
    SCRIPTSTATE state = SCRIPTSTATE_UNINITIALIZED;
    if (IActiveScript* engine = m_host->GetEngine()) engine->GetScriptState(&state);
    if (state == SCRIPTSTATE_CONNECTED) m_host->SetScriptStateHr(SCRIPTSTATE_DISCONNECTED);
    m_host->ExecuteString(m_text.c_str());
    // Connecting hooks up the handlers the text defined.
    m_host->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
}

void CScriptDlg::OnLoad() {
    CFileDialogEx dialog(true, u"txt", m_path.empty() ? nullptr : m_path.c_str(), 0x1004, kFilter, GetSafeHwnd());
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.applets;
    if (dialog.DoModal() != IDOK) return;
    const WString path = dialog.GetPathName();
    WString text;
    if (!ReadTextFile(path, text, 1)) {
        FileErrorBox(GetSafeHwnd(), IDS_SCRIPT_NOT_LOADED, path);
        return;  // the text stays as it was
    }
    m_path = path;
    m_text = std::move(text);
    UpdateData(false);
}

void CScriptDlg::OnSave() {
    CFileDialogEx dialog(false, u"txt", m_path.empty() ? nullptr : m_path.c_str(), 2, kFilter, GetSafeHwnd());
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.applets;
    if (dialog.DoModal() != IDOK) return;
    if (!UpdateData(true)) return;
    const WString path = dialog.GetPathName();
    m_path = path;
    // The user must not believe a script was saved that was not.
    if (!WriteTextFile(path, m_text, 1)) FileErrorBox(GetSafeHwnd(), IDS_SCRIPT_NOT_SAVED, path);
}

bool CScriptDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_SCRIPT_LOAD && code == BN_CLICKED) {
        OnLoad();
        return true;
    }
    if (id == IDC_SCRIPT_SAVE && code == BN_CLICKED) {
        OnSave();
        return true;
    }
    if (id == IDC_SCRIPT_TEXT && (code == EN_SETFOCUS || code == EN_KILLFOCUS)) {
        SipPreference(GetSafeHwnd(), code == EN_SETFOCUS ? kSipUp : kSipDown);
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

bool CScriptDlg::DrawButton(const DRAWITEMSTRUCT* item) {
    int b = 0;
    while (b < 3 && kButtonIds[b] != static_cast<int>(item->CtlID)) ++b;
    if (b == 3) return false;
    int state = 0;
    if (item->itemState & ODS_DISABLED) state = 3;
    else if (item->itemState & ODS_SELECTED) state = 1;
    else if (item->itemState & ODS_FOCUS) state = 2;
    HBITMAP picture = m_pictures[b][state] ? m_pictures[b][state].get() : m_pictures[b][0].get();
    if (!picture) return false;
    HDC source = CreateCompatibleDC(item->hDC);
    HBITMAP old = SelectObject(source, picture);
    const RECT& r = item->rcItem;
    BITMAP bm{};
    GetObject(picture, sizeof bm, &bm);
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, bm.bmWidth, bm.bmHeight,
               SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    return true;
}

LRESULT CScriptDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM && DrawButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return 1;
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

void CScriptDlg::OnDestroy() {
    // Handlers defined in the window stop with it.
    if (m_host) {
        m_host->SetScriptStateHr(SCRIPTSTATE_DISCONNECTED);
        m_host->StopEngine();
    }
    CDialogExt::OnDestroy();
}
