#include "shell/app/about_dlg.h"

#include <algorithm>

#include "core/file_version_info.h"
#include "core/language_module.h"
#include "core/shell_helpers.h"
#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/app/splash.h"
#include "shell/app/system_info_dlg.h"

namespace {
int g_ledCounters[2] = {0, 0};

// A label as wide as its text needs in its font (the face shown may be wider
// than the one the template was laid out for); the control to its right
// moves along, keeping the gap, and stays inside the dialog.
void FitLabel(HWND dialog, HWND label, HWND follower) {
    if (!label) return;
    WString text = GetWindowTextString(label);
    HDC dc = GetDC(label);
    if (!dc) return;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessage(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE size{};
    GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (old) SelectObject(dc, old);
    ReleaseDC(label, dc);
    auto rectOf = [&](HWND h) {
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT l = rectOf(label);
    int needed = static_cast<int>(size.cx) + 1;
    if (needed <= l.right - l.left) return;
    MoveWindow(label, l.left, l.top, needed, l.bottom - l.top, true);
    if (!follower) return;
    RECT f = rectOf(follower), client;
    GetClientRect(dialog, &client);
    int left = l.left + needed + std::max(0, static_cast<int>(f.left - l.right));
    int width = std::min(static_cast<int>(f.right - f.left), static_cast<int>(client.right) - left);
    MoveWindow(follower, left, f.top, std::max(0, width), f.bottom - f.top, true);
}
}  // namespace

CAboutDlg::CAboutDlg() : CDialogExt(IDD_ABOUT) {}

int CAboutDlg::GetLedCounter(int led) { return led == 0 || led == 1 ? g_ledCounters[led] : 0; }

void CAboutDlg::ResetLedCountersForTests() { g_ledCounters[0] = g_ledCounters[1] = 0; }

bool CAboutDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    CenterWindow(GetSafeHwnd(), nullptr);

    CFileVersionInfo version;
    m_version = version.GetProductVersion();
    if (version.IsDebugBuild()) m_version += u"D";
    m_owner = GetOwnerName();
    m_organization = GetOwnerText2();
    m_credits.clear();
    for (UINT id : {IDS_CREDITS_PROGRAM, IDS_CREDITS_DISPLAY, IDS_CREDITS_LIBRARIES, IDS_CREDITS_SCRIPTING,
                    IDS_CREDITS_JPEG})
        m_credits += GetLanguageModule()->LoadString(id, true);
    UpdateData(false);

    // The pictures of the icon and bitmap controls.
    HINSTANCE module = res::GetProgramModule();
    m_icons[0] = LoadIcon(module, MAKEINTRESOURCE(IDR_MAINFRAME));
    m_icons[1] = LoadIcon(module, MAKEINTRESOURCE(IDI_LED));
    m_ledBitmap.reset(LoadBitmap(module, MAKEINTRESOURCE(IDB_LED)));
    SendMessage(GetDlgItem(IDC_ABOUT_ICON), STM_SETICON, reinterpret_cast<WPARAM>(m_icons[0]), 0);
    SendMessage(GetDlgItem(IDC_ABOUT_LED0), STM_SETICON, reinterpret_cast<WPARAM>(m_icons[1]), 0);
    SendMessage(GetDlgItem(IDC_ABOUT_LED1), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_ledBitmap.get()));
    FitLabel(GetSafeHwnd(), GetDlgItem(IDC_ABOUT_VERSION_LABEL), GetDlgItem(IDC_ABOUT_VERSION));
    return true;
}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
    CDialogExt::DoDataExchange(dx);
    DDX_Text(dx, IDC_ABOUT_OWNER, m_owner);
    DDX_Text(dx, IDC_ABOUT_ORGANIZATION, m_organization);
    DDX_Text(dx, IDC_ABOUT_VERSION, m_version);
    DDX_Text(dx, IDC_ABOUT_CREDITS, m_credits);
}

void CAboutDlg::OnLedClicked(int led) {
    int& counter = g_ledCounters[led];
    if (led == 0) {
        SetLed(0, counter, 500, 100, 400, 0, 0);
        counter = (counter + 1) % 5;
        MessageBeep(MB_OK);
    } else {
        SetLed(1, counter, 0, 0, 0, 0, 0);
        counter = (counter + 1) % 2;
    }
}

bool CAboutDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const WORD code = HIWORD(wParam);
    switch (LOWORD(wParam)) {
        case IDC_ABOUT_ICON:
            if (code != STN_CLICKED) return false;
            ShowSplashWindow(GetParentHwnd() ? GetParentHwnd() : win::GetMainWindow());
            return true;
        case IDC_ABOUT_SYSTEM_INFO:
            if (code != BN_CLICKED && code != BN_DBLCLK) return false;
            {
                CSystemInfoDlg info(GetSafeHwnd());
                info.DoModal();
            }
            return true;
        case IDC_ABOUT_LED0:
        case IDC_ABOUT_LED1:
            if (code != STN_CLICKED) return false;
            OnLedClicked(LOWORD(wParam) == IDC_ABOUT_LED0 ? 0 : 1);
            return true;
        default:
            return CDialogExt::OnCommand(wParam, lParam);
    }
}

LRESULT CAboutDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        LRESULT result = CDialogExt::WindowProc(msg, wParam, lParam);
        for (HICON& icon : m_icons) {
            if (icon) DestroyIcon(icon);
            icon = nullptr;
        }
        m_ledBitmap.reset();
        return result;
    }
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

void ShowAboutDialog() {
    CAboutDlg dialog;
    dialog.DoModal();
}
