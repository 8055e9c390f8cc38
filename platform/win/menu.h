// Menus: menu handles with items (text, command id, pop-ups, grey, checked,
// separators), menus loaded from menu resources, and pop-up menus, which the
// null backend answers through a scripted responder.
#pragma once

#include <functional>
#include <vector>

#include "platform/win/window.h"

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_OWNERDRAW = 0x0100;  // the text argument is the item's data
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_RIGHTJUSTIFY = 0x4000;  // kept; this model has no window menu bar to place it in
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;
// A mirrored menu (as is any menu whose owner window is mirrored): items
// read right to left from the right edge, submenus cascade to the left, Left
// opens a submenu and Right closes it, and the horizontal alignment flags
// are taken from the menu's right edge (TPM_LEFTALIGN puts x at its right).
constexpr UINT TPM_LAYOUTRTL = 0x8000;

HMENU CreateMenu();
HMENU CreatePopupMenu();
bool DestroyMenu(HMENU menu);  // with its pop-ups
bool IsMenu(HMENU menu);
// idOrPopup is the command id, or the HMENU of a pop-up with MF_POPUP.
bool AppendMenu(HMENU menu, UINT flags, uintptr_t idOrPopup, const WChar* text);
bool InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t idOrPopup, const WChar* text);
bool DeleteMenu(HMENU menu, UINT position, UINT flags);  // destroys a pop-up
bool RemoveMenu(HMENU menu, UINT position, UINT flags);  // keeps a pop-up
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);  // -1 for pop-ups
HMENU GetSubMenu(HMENU menu, int position);
// Previous state (MF_CHECKED / MF_GRAYED bits), or -1 when the item is missing.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
int EnableMenuItem(HMENU menu, UINT item, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuString(HMENU menu, UINT item, WChar* buffer, int size, UINT flags);
WString GetMenuText(HMENU menu, UINT item, UINT flags);
// Item details by command or position (byPosition), for image menus: type
// (MFT_OWNERDRAW items are drawn by the owner), state, id, pop-up, the item's
// own data and the text.
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_STRING = 0x0040;
constexpr UINT MIIM_FTYPE = 0x0100;
constexpr UINT MIIM_TYPE = 0x0010;  // type and text together
constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_OWNERDRAW = MF_OWNERDRAW;
constexpr UINT MFT_SEPARATOR = MF_SEPARATOR;
constexpr UINT MFT_RIGHTORDER = 0x2000;  // the item reads right to left
constexpr UINT MFT_RIGHTJUSTIFY = MF_RIGHTJUSTIFY;
constexpr UINT MFS_GRAYED = 0x0003;
constexpr UINT MFS_CHECKED = MF_CHECKED;
struct MENUITEMINFO {
    UINT cbSize = sizeof(MENUITEMINFO);
    UINT fMask = 0;
    UINT fType = 0;
    UINT fState = 0;
    UINT wID = 0;
    HMENU hSubMenu = nullptr;
    uintptr_t dwItemData = 0;
    WChar* dwTypeData = nullptr;  // text buffer (get) or text (set)
    UINT cch = 0;
};
bool GetMenuItemInfo(HMENU menu, UINT item, bool byPosition, MENUITEMINFO* info);
bool SetMenuItemInfo(HMENU menu, UINT item, bool byPosition, const MENUITEMINFO* info);
// Owner-drawn items: the owner measures them (WM_MEASUREITEM) and draws them
// (WM_DRAWITEM, CtlType ODT_MENU, hwndItem the menu) when the pop-up opens.
constexpr UINT ODT_MENU = 1;
struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    uintptr_t itemData = 0;
};

// From a menu resource (nullptr instance: the current resource module).
HMENU LoadMenu(HINSTANCE instance, const WChar* name);
// Shows a pop-up: WM_INITMENUPOPUP to the owner first, then owner-drawn
// items are measured and drawn on a surface of the pop-up's size; the choice comes back
// (TPM_RETURNCMD) or is posted to the owner as WM_COMMAND. Grey and disabled
// items cannot be chosen; 0 when the menu was dismissed.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect);

namespace win {

// Acts as the user: gets the menu and its screen point, returns the chosen
// command id (0 dismisses). Without one, every pop-up is dismissed.
using PopupMenuResponder = std::function<UINT(HMENU menu, POINT at, HWND owner)>;
void SetPopupMenuResponder(PopupMenuResponder responder);
// Without a responder, pop-up menus (and the other scripted dialogs that
// support it) become real windows with their own loop when a display is
// present; this asks for them on the null backend too (tests).
void UseRealWindows(bool on);
struct PopupMenuRecord {
    HMENU menu;
    POINT at;
    UINT chosen;
};
std::vector<PopupMenuRecord> PopupMenuLog();
void ResetMenus();

}  // namespace win
