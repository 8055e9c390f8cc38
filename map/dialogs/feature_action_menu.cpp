#include "map/dialogs/feature_action_menu.h"

#include "map/services/main_window.h"
#include "map/view/map_view.h"
#include "platform/win/menu.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

UINT TrackFeatureActionMenu(HWND owner, HWND button, bool canSelect, bool canOpenLink) {
    HMENU menu = GetShellServices()->LoadImageMenu(IDR_MENU_FEATURE_ACTION);
    if (!menu) return 0;
    EnableMenuItem(menu, ID_FEATURE_SELECT, MF_BYCOMMAND | (canSelect ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, ID_FEATURE_HYPERLINK, MF_BYCOMMAND | (canOpenLink ? MF_ENABLED : MF_GRAYED));
    RECT r{};
    GetWindowRect(button, &r);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    // Opened towards the middle of the screen, so that it is seen whole.
    UINT flags = TPM_RETURNCMD;
    flags |= x > GetSystemMetrics(SM_CXSCREEN) / 2 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    flags |= y > GetSystemMetrics(SM_CYSCREEN) / 2 ? TPM_BOTTOMALIGN : TPM_TOPALIGN;
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr));
    DestroyMenu(menu);
    return chosen;
}

bool ForwardMenuOwnerMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if ((msg != WM_MEASUREITEM && msg != WM_DRAWITEM) || wParam != 0 || !CurrentMapView) return false;
    HWND frame = GetParent(CurrentMapView->GetSafeHwnd());
    if (!frame) return false;
    *result = SendMessage(frame, msg, wParam, lParam);
    return true;
}
