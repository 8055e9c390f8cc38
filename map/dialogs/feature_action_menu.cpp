#include "map/dialogs/feature_action_menu.h"

#include "map/services/main_window.h"
#include "platform/win/menu.h"
#include "platform/win/window.h"
#include "resources/zres.h"

UINT TrackFeatureActionMenu(HWND owner, HWND button, bool canSelect, bool canOpenLink) {
    HMENU menu = GetShellServices()->LoadImageMenu(IDR_MENU_FEATURE_ACTION);
    if (!menu) return 0;
    EnableMenuItem(menu, ID_FEATURE_SELECT, MF_BYCOMMAND | (canSelect ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, ID_FEATURE_HYPERLINK, MF_BYCOMMAND | (canOpenLink ? MF_ENABLED : MF_GRAYED));
    RECT r{};
    GetWindowRect(button, &r);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RETURNCMD, (r.left + r.right) / 2,
                                                         (r.top + r.bottom) / 2, 0, owner, nullptr));
    DestroyMenu(menu);
    return chosen;
}
