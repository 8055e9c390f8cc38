#include "platform/win/shell_notify.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex g_m;
std::vector<NOTIFYICONDATA> g_icons;

NOTIFYICONDATA* FindIcon(HWND hwnd, UINT id) {
    for (auto& i : g_icons)
        if (i.hWnd == hwnd && i.uID == id) return &i;
    return nullptr;
}

void Apply(NOTIFYICONDATA& to, const NOTIFYICONDATA& from) {
    if (from.uFlags & NIF_MESSAGE) to.uCallbackMessage = from.uCallbackMessage;
    if (from.uFlags & NIF_ICON) to.hIcon = from.hIcon;
    if (from.uFlags & NIF_TIP) std::copy(std::begin(from.szTip), std::end(from.szTip), to.szTip);
    to.szTip[63] = 0;
}
}  // namespace

bool Shell_NotifyIcon(DWORD message, const NOTIFYICONDATA* data) {
    if (!data) return false;
    std::lock_guard<std::mutex> lock(g_m);
    NOTIFYICONDATA* icon = FindIcon(data->hWnd, data->uID);
    switch (message) {
        case NIM_ADD: {
            if (icon) return false;
            NOTIFYICONDATA n;
            n.hWnd = data->hWnd;
            n.uID = data->uID;
            Apply(n, *data);
            n.uFlags = data->uFlags;
            g_icons.push_back(n);
            return true;
        }
        case NIM_MODIFY:
            if (!icon) return false;
            Apply(*icon, *data);
            icon->uFlags |= data->uFlags;
            return true;
        case NIM_DELETE:
            return std::erase_if(g_icons, [&](const NOTIFYICONDATA& i) {
                       return i.hWnd == data->hWnd && i.uID == data->uID;
                   }) > 0;
        default:
            return false;
    }
}

namespace win {

std::vector<NOTIFYICONDATA> TrayIcons() {
    std::lock_guard<std::mutex> lock(g_m);
    return g_icons;
}

bool TapTrayIcon(HWND hwnd, UINT id) {
    UINT msg;
    {
        std::lock_guard<std::mutex> lock(g_m);
        NOTIFYICONDATA* icon = FindIcon(hwnd, id);
        if (!icon || !(icon->uFlags & NIF_MESSAGE)) return false;
        msg = icon->uCallbackMessage;
    }
    PostMessage(hwnd, msg, id, WM_LBUTTONDOWN);
    PostMessage(hwnd, msg, id, WM_LBUTTONUP);
    return true;
}

void ResetTray() {
    std::lock_guard<std::mutex> lock(g_m);
    g_icons.clear();
}

}  // namespace win
