#include "platform/win/menu.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/gdi/gdi.h"
#include "platform/res/formats.h"
#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/menu_window.h"

namespace {

// The item type bits that MENUITEMINFO's fType carries.
constexpr UINT kTypeBits = MF_OWNERDRAW | MF_SEPARATOR | MFT_RIGHTORDER | MFT_RIGHTJUSTIFY;

struct Item {
    UINT flags = 0;
    UINT id = 0;
    HMENU popup = nullptr;
    WString text;
    uintptr_t data = 0;
};

struct Menu {
    bool isPopup = false;
    std::vector<Item> items;
};

struct Menus {
    std::map<uint32_t, Menu> menus;
    uint32_t next = 0x00080000;
    win::PopupMenuResponder responder;
    std::vector<win::PopupMenuRecord> log;
};

Menus& M() {
    static Menus* m = new Menus;
    return *m;
}

Menu* Get(HMENU h) {
    auto it = M().menus.find(HandleToToken(h));
    return it == M().menus.end() ? nullptr : &it->second;
}

HMENU NewMenu(bool popup) {
    uint32_t token = M().next;
    M().next += 4;
    M().menus[token].isPopup = popup;
    return TokenToHandle<HMENU>(token);
}

// The item by position, or by command id searched through pop-ups.
Item* FindItem(HMENU h, UINT item, UINT flags, HMENU* owner = nullptr, size_t* index = nullptr) {
    Menu* m = Get(h);
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return nullptr;
        if (owner) *owner = h;
        if (index) *index = item;
        return &m->items[item];
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        Item& it = m->items[i];
        if (!(it.flags & MF_POPUP) && it.id == item && !(it.flags & MF_SEPARATOR)) {
            if (owner) *owner = h;
            if (index) *index = i;
            return &it;
        }
        if (it.flags & MF_POPUP)
            if (Item* found = FindItem(it.popup, item, flags, owner, index)) return found;
    }
    return nullptr;
}

Item MakeItem(UINT flags, uintptr_t idOrPopup, const WChar* text) {
    Item it;
    it.flags = flags & ~MF_BYPOSITION;
    if (flags & MF_POPUP)
        it.popup = reinterpret_cast<HMENU>(idOrPopup);
    else
        it.id = static_cast<UINT>(idOrPopup);
    if (flags & MF_OWNERDRAW)
        it.data = reinterpret_cast<uintptr_t>(text);
    else if (text && !(flags & MF_SEPARATOR))
        it.text = text;
    return it;
}

HMENU Build(const std::vector<res::MenuItem>& items, bool popup) {
    HMENU h = NewMenu(popup);
    for (const auto& src : items) {
        UINT flags = src.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
        if (src.flags & res::MF_POPUP) {
            HMENU sub = Build(src.children, true);
            AppendMenu(h, flags | MF_POPUP, reinterpret_cast<uintptr_t>(sub), src.text.c_str());
        } else if (src.IsSeparator()) {
            AppendMenu(h, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenu(h, flags, src.id, src.text.c_str());
        }
    }
    return h;
}

}  // namespace

HMENU CreateMenu() {
    return NewMenu(false);
}
HMENU CreatePopupMenu() {
    return NewMenu(true);
}
bool IsMenu(HMENU menu) {
    return Get(menu) != nullptr;
}

bool DestroyMenu(HMENU menu) {
    Menu* m = Get(menu);
    if (!m) return false;
    std::vector<HMENU> subs;
    for (auto& it : m->items)
        if (it.flags & MF_POPUP) subs.push_back(it.popup);
    M().menus.erase(HandleToToken(menu));
    for (HMENU s : subs) DestroyMenu(s);
    return true;
}

bool AppendMenu(HMENU menu, UINT flags, uintptr_t idOrPopup, const WChar* text) {
    Menu* m = Get(menu);
    if (!m) return false;
    if ((flags & MF_POPUP) && !Get(reinterpret_cast<HMENU>(idOrPopup))) return false;
    m->items.push_back(MakeItem(flags, idOrPopup, text));
    return true;
}

bool InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t idOrPopup, const WChar* text) {
    Menu* m = Get(menu);
    if (!m) return false;
    size_t index = m->items.size();
    if (flags & MF_BYPOSITION) {
        if (position < m->items.size()) index = position;
    } else {
        HMENU owner = nullptr;
        if (!FindItem(menu, position, MF_BYCOMMAND, &owner, &index)) {
            index = m->items.size();
        } else {
            m = Get(owner);
        }
    }
    m->items.insert(m->items.begin() + static_cast<ptrdiff_t>(index),
                    MakeItem(flags, idOrPopup, text));
    return true;
}

static bool RemoveItem(HMENU menu, UINT position, UINT flags, bool destroy) {
    HMENU owner = nullptr;
    size_t index = 0;
    Item* it = FindItem(menu, position, flags, &owner, &index);
    if (!it) return false;
    HMENU popup = (it->flags & MF_POPUP) ? it->popup : nullptr;
    Menu* m = Get(owner);
    m->items.erase(m->items.begin() + static_cast<ptrdiff_t>(index));
    if (destroy && popup) DestroyMenu(popup);
    return true;
}

bool DeleteMenu(HMENU menu, UINT position, UINT flags) {
    return RemoveItem(menu, position, flags, true);
}
bool RemoveMenu(HMENU menu, UINT position, UINT flags) {
    return RemoveItem(menu, position, flags, false);
}

int GetMenuItemCount(HMENU menu) {
    Menu* m = Get(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    Menu* m = Get(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size())
        return static_cast<UINT>(-1);
    const Item& it = m->items[static_cast<size_t>(position)];
    return (it.flags & MF_POPUP) ? static_cast<UINT>(-1) : it.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
    Menu* m = Get(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    const Item& it = m->items[static_cast<size_t>(position)];
    return (it.flags & MF_POPUP) ? it.popup : nullptr;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    Item* it = FindItem(menu, item, flags);
    if (!it) return static_cast<DWORD>(-1);
    DWORD old = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return old;
}

int EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    Item* it = FindItem(menu, item, flags);
    if (!it) return -1;
    int old = static_cast<int>(it->flags & (MF_GRAYED | MF_DISABLED));
    it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return old;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    Item* it = FindItem(menu, item, flags);
    if (!it) return static_cast<UINT>(-1);
    UINT state = it->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
    if (it->flags & MF_POPUP) state |= static_cast<UINT>(GetMenuItemCount(it->popup)) << 8;
    return state;
}

WString GetMenuText(HMENU menu, UINT item, UINT flags) {
    Item* it = FindItem(menu, item, flags);
    return it ? it->text : WString();
}

int GetMenuString(HMENU menu, UINT item, WChar* buffer, int size, UINT flags) {
    Item* it = FindItem(menu, item, flags);
    if (!it) return 0;
    if (!buffer || size <= 0) return static_cast<int>(it->text.size());
    int n = std::min<int>(size - 1, static_cast<int>(it->text.size()));
    std::copy_n(it->text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

HMENU LoadMenu(HINSTANCE instance, const WChar* name) {
    auto items = res::ParseMenu(
        res::FindResourceData(instance, res::RT_MENU, res::ResName::FromPointer(name)));
    if (!items) return nullptr;
    return Build(*items, false);
}

bool GetMenuItemInfo(HMENU menu, UINT item, bool byPosition, MENUITEMINFO* info) {
    Item* it = FindItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!it || !info) return false;
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = it->flags & kTypeBits;
    if (info->fMask & MIIM_STATE) info->fState = it->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    if (info->fMask & MIIM_ID) info->wID = it->id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = (it->flags & MF_POPUP) ? it->popup : nullptr;
    if (info->fMask & MIIM_DATA) info->dwItemData = it->data;
    if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
        if (info->dwTypeData && info->cch > 0) {
            UINT n = std::min<UINT>(info->cch - 1, static_cast<UINT>(it->text.size()));
            std::copy_n(it->text.data(), n, info->dwTypeData);
            info->dwTypeData[n] = 0;
            info->cch = n;
        } else {
            info->cch = static_cast<UINT>(it->text.size());
        }
    }
    return true;
}

bool SetMenuItemInfo(HMENU menu, UINT item, bool byPosition, const MENUITEMINFO* info) {
    Item* it = FindItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!it || !info) return false;
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE))
        it->flags = (it->flags & ~kTypeBits) | (info->fType & kTypeBits);
    if (info->fMask & MIIM_STATE)
        it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED | MF_CHECKED)) |
                    (info->fState & (MF_GRAYED | MF_DISABLED | MF_CHECKED));
    if (info->fMask & MIIM_ID) it->id = info->wID;
    if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu) {
        if (!Get(info->hSubMenu)) return false;
        it->popup = info->hSubMenu;
        it->flags |= MF_POPUP;
    }
    if (info->fMask & MIIM_DATA) it->data = info->dwItemData;
    if ((info->fMask & (MIIM_STRING | MIIM_TYPE)) && info->dwTypeData) it->text = info->dwTypeData;
    return true;
}

namespace {

// Owner-drawn items of a pop-up are measured, then drawn one below the other
// on a surface, as the pop-up shows them.
void DrawOwnerItems(HMENU menu, HWND owner) {
    Menu* m = Get(menu);
    if (!m || !owner) return;
    struct Drawn {
        Item item;
        UINT width, height;
    };
    std::vector<Drawn> items;
    for (const Item& it : m->items)
        if (it.flags & MF_OWNERDRAW) items.push_back(Drawn{it, 0, 0});
    if (items.empty()) return;
    int width = 0, height = 0;
    for (Drawn& d : items) {
        MEASUREITEMSTRUCT mis;
        mis.CtlType = ODT_MENU;
        mis.itemID = d.item.id;
        mis.itemData = d.item.data;
        SendMessage(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
        d.width = mis.itemWidth;
        d.height = mis.itemHeight;
        width = std::max<int>(width, static_cast<int>(mis.itemWidth));
        height += static_cast<int>(mis.itemHeight);
    }
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 || !IsWindow(owner)) return;
    HBITMAP surface = gdi::CreateSurface(width, height);
    HDC dc = gdi::CreateSurfaceDC(surface);
    int y = 0;
    for (const Drawn& d : items) {
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_MENU;
        dis.itemID = d.item.id;
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = ((d.item.flags & MF_GRAYED) ? ODS_GRAYED : 0) |
                        ((d.item.flags & MF_DISABLED) ? ODS_DISABLED : 0) |
                        ((d.item.flags & MF_CHECKED) ? ODS_CHECKED : 0);
        dis.hwndItem = reinterpret_cast<HWND>(menu);
        dis.hDC = dc;
        dis.rcItem = RECT{0, y, width, y + static_cast<int>(d.height)};
        dis.itemData = d.item.data;
        SendMessage(owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
        if (!IsWindow(owner)) break;
        y += static_cast<int>(d.height);
    }
    DeleteDC(dc);
    DeleteObject(surface);
}

}  // namespace

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    if (!Get(menu)) return FALSE;
    if (owner && !(flags & TPM_NONOTIFY))
        SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    if (!Get(menu)) return FALSE;
    UINT chosen = 0;
    if (M().responder) {
        // As the menu window does: the open menu holds the pen.
        ReleaseCapture();
        DrawOwnerItems(menu, owner);
        if (!Get(menu)) return FALSE;
        chosen = M().responder(menu, POINT{x, y}, owner);
    } else if (win::detail::WantRealWindows()) {
        // The loop sends WM_INITMENUPOPUP for cascades; the top one is sent.
        chosen = win::detail::RunPopupMenu(menu, flags | TPM_NONOTIFY, x, y, owner);
    } else {
        DrawOwnerItems(menu, owner);
    }
    if (!Get(menu)) return FALSE;
    if (chosen) {
        Item* it = FindItem(menu, chosen, MF_BYCOMMAND);
        if (!it || (it->flags & (MF_GRAYED | MF_DISABLED))) chosen = 0;
    }
    M().log.push_back(win::PopupMenuRecord{menu, POINT{x, y}, chosen});
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen && owner) PostMessage(owner, WM_COMMAND, chosen, 0);
    return chosen != 0;
}

namespace win {
void SetPopupMenuResponder(PopupMenuResponder responder) {
    M().responder = std::move(responder);
}
std::vector<PopupMenuRecord> PopupMenuLog() {
    return M().log;
}
void UseRealWindows(bool on) {
    win::detail::SetRealWindowsForTests(on);
}
void ResetMenus() {
    win::detail::SetRealWindowsForTests(false);
    M().menus.clear();
    M().responder = nullptr;
    M().log.clear();
}
}  // namespace win
