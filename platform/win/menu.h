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
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

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
// From a menu resource (nullptr instance: the current resource module).
HMENU LoadMenu(HINSTANCE instance, const WChar* name);
// Shows a pop-up: WM_INITMENUPOPUP to the owner first; the choice comes back
// (TPM_RETURNCMD) or is posted to the owner as WM_COMMAND. Grey and disabled
// items cannot be chosen; 0 when the menu was dismissed.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect);

namespace win {

// Acts as the user: gets the menu and its screen point, returns the chosen
// command id (0 dismisses). Without one, every pop-up is dismissed.
using PopupMenuResponder = std::function<UINT(HMENU menu, POINT at, HWND owner)>;
void SetPopupMenuResponder(PopupMenuResponder responder);
struct PopupMenuRecord {
    HMENU menu;
    POINT at;
    UINT chosen;
};
std::vector<PopupMenuRecord> PopupMenuLog();
void ResetMenus();

}  // namespace win
