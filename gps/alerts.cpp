#include "gps/alerts.h"

#include "core/shell_helpers.h"
#include "map/map_messages.h"
#include "map/services/view_messages.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

const AlertDef kAlertTable[kAlertCount] = {
    {alert::kNoData, u"nogpsdata", IDI_ALERT_ERROR, IDS_ALERT_NO_DATA, IDP_NO_GPS_DATA, false},
    {alert::kMaxPdop, u"maxpdop", 0, IDS_ALERT_MAX_PDOP, IDP_MAX_PDOP_EXCEEDED, false},
    {alert::kMaxEpe, u"maxepe", 0, IDS_ALERT_MAX_EPE, IDP_MAX_EPE_EXCEEDED, false},
    {alert::kNoFix, u"nofix", 0, IDS_ALERT_NO_FIX, IDP_NO_POSITION_FIX, false},
    {alert::kNotDgps, u"notdgps", 0, IDS_ALERT_NOT_DGPS, IDP_NOT_DGPS_FIX, false},
    {alert::kNot3D, u"not3d", 0, IDS_ALERT_NOT_3D, IDP_NOT_3D_FIX, false},
    {alert::kDestination, u"approachingdestination", IDI_ALERT_INFO, IDS_ALERT_DESTINATION,
     IDP_APPROACHING_DESTINATION, true},
};

namespace {

// Set while an alert dialog shows.
bool g_dialogShowing = false;

constexpr UINT kErrorBeep = 0x10;
constexpr UINT kWarningBeep = 0x30;
constexpr UINT kInformationBeep = 0x40;

void Notify(HWND notify, int key) {
    if (notify && IsWindow(notify))
        SendMessage(notify, WM_COMMONDIALOG_CLOSED, static_cast<WPARAM>(key), 0);
}

}  // namespace

HFONT CreateHeavyFont(HWND control, double heightFactor) {
    HFONT font = reinterpret_cast<HFONT>(SendMessage(control, WM_GETFONT, 0, 0));
    if (!font) font = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONT lf{};
    if (!font || GetObject(font, sizeof lf, &lf) != sizeof lf) return nullptr;
    lf.lfWeight = 900;
    // Truncated toward zero, so a negative (character) height stays so.
    lf.lfHeight = static_cast<LONG>(lf.lfHeight * heightFactor);
    return CreateFontIndirect(&lf);
}

const AlertDef* FindAlert(int key) {
    if (key < 0 || key >= kAlertCount) return nullptr;
    return &kAlertTable[key];
}

bool IsAlertDialogShowing() { return g_dialogShowing; }

bool PlayAlertSound(const AlertDef& row, const AlertSettings& settings, bool force) {
    if (!force && !settings.play) return false;
    if (!settings.sound.empty() && PlaySoundFile(settings.sound.c_str())) return true;
    UINT beep = kWarningBeep;
    if (row.icon == IDI_ALERT_ERROR)
        beep = kErrorBeep;
    else if (row.icon == IDI_ALERT_INFO)
        beep = kInformationBeep;
    MessageBeep(beep);
    return false;
}

intptr_t ShowAlertDialog(HWND parent, const AlertDef& row, const AlertSettings& settings,
                         HWND notify) {
    if (g_dialogShowing) return 0;
    g_dialogShowing = true;
    intptr_t result;
    {
        CAlertDlg dialog(parent, row, settings, notify);
        result = dialog.DoModal();
    }
    g_dialogShowing = false;
    return result;
}

void RaiseAlert(HWND parent, int key, HWND notify) {
    const AlertDef* row = FindAlert(key);
    if (!row) return;
    if (!parent) parent = win::GetMainWindow();
    const AlertSettings settings = GetAlertSettings()[key];
    if (settings.show) {
        ShowAlertDialog(parent, *row, settings, notify);
        return;
    }
    Notify(notify, key);
    PlayAlertSound(*row, settings, false);
}

CAlertDlg::CAlertDlg(HWND parent, const AlertDef& row, const AlertSettings& settings, HWND notify)
    : CDialogExt(IDD_ALERT, parent), m_row(row), m_settings(settings), m_notify(notify) {}

bool CAlertDlg::OnInitDialog() {
    PlayAlertSound(m_row, m_settings, false);
    const bool result = CDialogExt::OnInitDialog();
    AddAnchor(IDC_ALERT_TEXT, kAnchorStretch, kAnchorStretch);
    CenterWindow(GetSafeHwnd(), GetParentHwnd());

    HWND text = GetDlgItem(IDC_ALERT_TEXT);
    m_textFont.reset(CreateHeavyFont(text, 1.2));
    if (m_textFont) SendMessage(text, WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont.get()), 1);

    if (m_autoCloseMs > 0) SetTimer(GetSafeHwnd(), kCloseTimer, m_autoCloseMs, nullptr);

    // The template's icon unless the row names its own.
    const int iconId = m_row.icon != 0 ? m_row.icon : IDI_ALERT_WARNING;
    if (HICON icon = LoadIcon(nullptr, MAKEINTRESOURCE(static_cast<WORD>(iconId)))) {
        SendMessage(GetDlgItem(IDC_ALERT_ICON), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        m_iconId = iconId;
    }

    SetWindowText(text, LoadMapString(m_row.message).c_str());

    HWND ok = GetDlgItem(IDOK);
    EnableWindow(ok, m_row.okButton);
    ShowWindow(ok, m_row.okButton ? SW_SHOW : SW_HIDE);
    return result;
}

void CAlertDlg::OnOK() {
    // Only the OK button notifies; the timer and Cancel do not.
    if (!m_row.okButton) return;
    Notify(m_notify, m_row.key);
    EndDialog(IDOK);
}

LRESULT CAlertDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kCloseTimer) {
        KillTimer(GetSafeHwnd(), kCloseTimer);
        EndDialog(IDCANCEL);
        return 0;
    }
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

void CAlertDlg::OnDestroy() {
    KillTimer(GetSafeHwnd(), kCloseTimer);
    CDialogExt::OnDestroy();
    m_textFont.reset();
}
