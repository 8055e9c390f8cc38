// The notification-area (tray) icons of the shell: add, modify, delete, with
// a recorder for tests and a tap that sends the icon's callback message.
#pragma once

#include <vector>

#include "platform/win/window.h"

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

struct NOTIFYICONDATA {
    DWORD cbSize = sizeof(NOTIFYICONDATA);
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    WChar szTip[64] = {};
};

// False for an add of an existing icon or a change of a missing one.
bool Shell_NotifyIcon(DWORD message, const NOTIFYICONDATA* data);

namespace win {
// The icons now in the notification area, in the order they were added.
std::vector<NOTIFYICONDATA> TrayIcons();
// The user taps the icon: its window gets the callback message with the
// icon id and WM_LBUTTONDOWN, then WM_LBUTTONUP (posted).
bool TapTrayIcon(HWND hwnd, UINT id);
void ResetTray();
}  // namespace win
