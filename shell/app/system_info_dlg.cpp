#include "shell/app/system_info_dlg.h"

#include <algorithm>

#include "platform/win/controls.h"
#include "resources/zres.h"

namespace {
std::unique_ptr<ISystemInfoProvider> (*g_factory)() = nullptr;
}  // namespace

void CSystemInfoDlg::SetProviderFactoryForTests(std::unique_ptr<ISystemInfoProvider> (*factory)()) {
    g_factory = factory;
}

CSystemInfoDlg::CSystemInfoDlg(HWND parent, std::unique_ptr<ISystemInfoProvider> provider)
    : CDialogExt(IDD_SYSTEM_INFO, parent), m_provider(std::move(provider)) {}

bool CSystemInfoDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    AddAnchor(IDC_SYSTEM_INFO_LIST, kAnchorStretch, kAnchorStretch);
    if (!m_provider) m_provider = g_factory ? g_factory() : CreateSystemInfoProvider();
    HWND list = GetDlgItem(IDC_SYSTEM_INFO_LIST);
    SendMessage(list, LB_RESETCONTENT, 0, 0);
    // Wide enough to scroll to the end of the longest line.
    int widest = 0;
    HDC dc = GetDC(list);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessage(list, WM_GETFONT, 0, 0));
    HGDIOBJ old = dc && font ? SelectObject(dc, font) : nullptr;
    for (const WString& line : BuildSystemInfoLines(*m_provider)) {
        SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        if (dc && GetTextExtentPoint32(dc, line.c_str(), static_cast<int>(line.size()), &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    if (old) SelectObject(dc, old);
    if (dc) ReleaseDC(list, dc);
    SendMessage(list, LB_SETHORIZONTALEXTENT, WPARAM(widest + 4), 0);
    return true;
}
