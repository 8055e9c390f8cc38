#include "shell/frame/image_menu.h"

#include <algorithm>
#include <memory>

#include "core/language_module.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"
#include "platform/win/theme.h"

namespace {

constexpr int kTextMax = 256;
// Sizes at 96 dots per inch, scaled with the screen like the images.
constexpr int kTextGap = 4;     // between the image column and the text
constexpr int kExtraWidth = 6;  // beside the image and the widened text
constexpr int kCheckFrame = 2;  // the checked image's frame

// Every image menu alive, newest last: owners find the menu of an item here.
std::vector<CImageMenu*>& Live() {
    static std::vector<CImageMenu*> live;
    return live;
}

// Menus handed out as plain handles, freed once their handle is gone or at
// shutdown (never by a static destructor).
std::vector<std::unique_ptr<CImageMenu>>& Detached() {
    static auto* detached = new std::vector<std::unique_ptr<CImageMenu>>;
    return *detached;
}

void PruneDetached() {
    auto& d = Detached();
    d.erase(std::remove_if(d.begin(), d.end(),
                           [](const std::unique_ptr<CImageMenu>& m) { return !IsMenu(m->GetHandle()); }),
            d.end());
}

bool HasOwnerDrawnItem(HMENU menu, UINT command) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFO mi;
        mi.fMask = MIIM_FTYPE | MIIM_ID;
        if (GetMenuItemInfo(menu, static_cast<UINT>(i), true, &mi) && mi.wID == command &&
            (mi.fType & MFT_OWNERDRAW))
            return true;
    }
    return false;
}

}  // namespace

CImageMenu::CImageMenu() { Live().push_back(this); }

CImageMenu::~CImageMenu() {
    auto& live = Live();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (m_menu && IsMenu(m_menu)) {
        // Pop-ups taken over from the source belong to the source.
        if (m_sourceSub && IsMenu(m_sourceSub)) {
            for (int i = GetMenuItemCount(m_menu) - 1; i >= 0; --i) {
                HMENU sub = GetSubMenu(m_menu, i);
                if (!sub) continue;
                for (int k = 0; k < GetMenuItemCount(m_sourceSub); ++k)
                    if (GetSubMenu(m_sourceSub, k) == sub) {
                        RemoveMenu(m_menu, static_cast<UINT>(i), MF_BYPOSITION);
                        break;
                    }
            }
        }
        if (m_menu != m_source) DestroyMenu(m_menu);
    }
    if (m_source && IsMenu(m_source)) DestroyMenu(m_source);
    if (m_images) ImageList_Destroy(m_images);
}

bool CImageMenu::LoadImages(UINT toolbarId) {
    if (m_images) ImageList_Destroy(m_images);
    m_images = nullptr;
    if (!m_toolbar.Load(toolbarId)) return false;
    // The images at the screen's size, as the toolbars draw them (doubled
    // at 192 dots per inch).
    m_images = win::LoadScaledImageList(nullptr, MAKEINTRESOURCE(static_cast<WORD>(toolbarId)),
                                        m_toolbar.GetImageWidth(), 1, kMaskColour);
    if (!m_images) return false;
    m_imageWidth = static_cast<WORD>(win::theme::Scale(m_toolbar.GetImageWidth()));
    m_imageHeight = static_cast<WORD>(win::theme::Scale(m_toolbar.GetImageHeight()));
    return true;
}

bool CImageMenu::LoadMenu(UINT menuId, int submenu, UINT toolbarId) {
    if (!m_menu) m_menu = CreatePopupMenu();
    LoadImages(toolbarId ? toolbarId : menuId);
    HMENU source = ::LoadMenu(nullptr, MAKEINTRESOURCE(static_cast<WORD>(menuId)));
    if (!source) return false;
    HMENU sub = GetSubMenu(source, submenu);
    if (!sub) {
        DestroyMenu(source);
        return false;
    }
    if (m_source) DestroyMenu(m_source);
    m_source = source;
    m_sourceSub = sub;
    CLanguageModule* language = GetLanguageModule();
    for (int i = 0; i < GetMenuItemCount(sub); ++i) {
        WChar buffer[kTextMax + 1] = {};
        MENUITEMINFO mi;
        mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        mi.dwTypeData = buffer;
        mi.cch = kTextMax;
        if (!GetMenuItemInfo(sub, static_cast<UINT>(i), true, &mi)) continue;
        WString itemText = buffer;
        WString translated;
        if (!(mi.fType & MFT_SEPARATOR) && mi.wID && language &&
            language->LoadString(mi.wID, translated, false) && !translated.empty()) {
            itemText = translated;
            MENUITEMINFO set;
            set.fMask = MIIM_STRING;
            set.dwTypeData = itemText.data();
            SetMenuItemInfo(sub, static_cast<UINT>(i), true, &set);
        }
        UINT state = mi.fState & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
        if (mi.fType & MFT_SEPARATOR) {
            AppendMenu(m_menu, MF_SEPARATOR, 0, nullptr);
        } else if (mi.hSubMenu) {
            AppendMenu(m_menu, MF_POPUP | state, reinterpret_cast<uintptr_t>(mi.hSubMenu), itemText.c_str());
        } else if (ImageOf(mi.wID) >= 0) {
            AppendMenu(m_menu, MF_OWNERDRAW | state, mi.wID, nullptr);
        } else {
            AppendMenu(m_menu, MF_STRING | state, mi.wID, itemText.c_str());
        }
    }
    return true;
}

bool CImageMenu::Insert(int position, UINT flags, uintptr_t idOrSubmenu, const WChar* text) {
    if (!m_menu) m_menu = CreatePopupMenu();
    bool ownerDrawn = flags & MF_OWNERDRAW;
    // An owner-drawn item's text argument would be its data: the text lives
    // in the source menu instead.
    const WChar* shown = ownerDrawn ? nullptr : text;
    bool ok = position < 0 ? AppendMenu(m_menu, flags, idOrSubmenu, shown)
                           : InsertMenu(m_menu, static_cast<UINT>(position), flags | MF_BYPOSITION,
                                        idOrSubmenu, shown);
    if (!ok) return false;
    if (ownerDrawn || !m_sourceSub) {
        if (!m_sourceSub) m_source = m_sourceSub = CreatePopupMenu();
        if (!(flags & MF_POPUP))
            AppendMenu(m_sourceSub, (flags & ~(MF_OWNERDRAW | MF_BYPOSITION)), idOrSubmenu, text);
    }
    return true;
}

bool CImageMenu::InsertItem(UINT flags, uintptr_t idOrSubmenu, const WChar* text) {
    return Insert(-1, flags, idOrSubmenu, text);
}

bool CImageMenu::InsertItemAt(UINT position, UINT flags, uintptr_t idOrSubmenu, const WChar* text) {
    return Insert(static_cast<int>(position), flags, idOrSubmenu, text);
}

uintptr_t CImageMenu::GetItemData(UINT idOrPosition, bool byPosition) const {
    MENUITEMINFO mi;
    mi.fMask = MIIM_DATA;
    if (!m_menu || !GetMenuItemInfo(m_menu, idOrPosition, byPosition, &mi)) return 0;
    return mi.dwItemData;
}

bool CImageMenu::SetItemData(UINT idOrPosition, uintptr_t value, bool byPosition) {
    MENUITEMINFO mi;
    mi.fMask = MIIM_DATA;
    mi.dwItemData = value;
    return m_menu && SetMenuItemInfo(m_menu, idOrPosition, byPosition, &mi);
}

int CImageMenu::GetItemIndex(UINT command) const {
    for (int i = 0; m_menu && i < GetMenuItemCount(m_menu); ++i)
        if (GetMenuItemID(m_menu, i) == command) return i;
    return -1;
}

int CImageMenu::ImageOf(UINT command) const { return m_images ? m_toolbar.ImageIndexOf(command) : -1; }

int CImageMenu::ImageFor(UINT command, uintptr_t data) const {
    int image = ImageOf(command);
    if (image < 0 && m_useItemData) image = ImageOf(static_cast<UINT>(data));
    return image;
}

WString CImageMenu::TextOf(UINT command, uintptr_t data) const {
    if (!m_sourceSub) return {};
    UINT id = command == 0 && m_useItemData ? static_cast<UINT>(data) : command;
    return GetMenuText(m_sourceSub, id, MF_BYCOMMAND);
}

UINT CImageMenu::Track(HWND owner, int x, int y, UINT flags) {
    if (!m_menu) return 0;
    return static_cast<UINT>(TrackPopupMenu(m_menu, flags | TPM_RETURNCMD, x, y, 0, owner, nullptr));
}

void CImageMenu::MeasureItem(MEASUREITEMSTRUCT* item) {
    WString t = TextOf(item->itemID, item->itemData);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    RECT r{};
    DrawText(dc, t.c_str(), static_cast<int>(t.size()), &r, DT_SINGLELINE | DT_EXPANDTABS | DT_CALCRECT);
    SelectObject(dc, old);
    DeleteDC(dc);
    item->itemWidth =
        static_cast<UINT>(r.right * 125 / 100 + m_imageWidth + win::theme::Scale(kExtraWidth));
    item->itemHeight = static_cast<UINT>(std::max<int>(GetSystemMetrics(SM_CYMENU), m_imageHeight));
}

void CImageMenu::DrawItem(const DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    RECT rc = item->rcItem;
    bool selected = item->itemState & ODS_SELECTED;
    bool dimmed = item->itemState & (ODS_GRAYED | ODS_DISABLED);
    COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU);
    COLORREF ink = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
    COLORREF oldText = SetTextColor(dc, ink);
    COLORREF oldBack = SetBkColor(dc, back);
    FillRect(dc, &rc, gdi::OwnedBrush(CreateSolidBrush(back)).get());
    if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &rc);

    int image = ImageFor(item->itemID, item->itemData);
    int top = rc.top + (rc.bottom - rc.top - m_imageHeight) / 2;
    if (image >= 0) {
        ImageList_Draw(m_images, image, dc, rc.left, top, dimmed ? ILD_BLEND50 : ILD_TRANSPARENT);
        if (item->itemState & ODS_CHECKED) {
            gdi::OwnedBrush red(CreateSolidBrush(kCheckedFrame));
            RECT frame{rc.left, top, rc.left + m_imageWidth, top + m_imageHeight};
            for (int k = 0; k < win::theme::Scale(kCheckFrame); ++k) {
                FrameRect(dc, &frame, red.get());
                InflateRect(&frame, -1, -1);
            }
        }
    }
    if (dimmed) SetTextColor(dc, kDisabledText);
    WString t = TextOf(item->itemID, item->itemData);
    RECT tr{rc.left + m_imageWidth + win::theme::Scale(kTextGap), rc.top, rc.right, rc.bottom};
    int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawText(dc, t.c_str(), static_cast<int>(t.size()), &tr, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_LEFT);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}

bool CImageMenu::HandleOwnerMessage(UINT msg, WPARAM, LPARAM lParam) {
    auto& live = Live();
    if (msg == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!mis || mis->CtlType != ODT_MENU) return false;
        for (auto it = live.rbegin(); it != live.rend(); ++it)
            if ((*it)->m_menu && HasOwnerDrawnItem((*it)->m_menu, mis->itemID)) {
                (*it)->MeasureItem(mis);
                return true;
            }
        return false;
    }
    if (msg == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (!dis || dis->CtlType != ODT_MENU) return false;
        HMENU menu = reinterpret_cast<HMENU>(dis->hwndItem);
        for (auto it = live.rbegin(); it != live.rend(); ++it)
            if ((*it)->m_menu == menu) {
                (*it)->DrawItem(dis);
                return true;
            }
    }
    return false;
}

HMENU LoadDetachedImageMenu(UINT menuId) {
    PruneDetached();
    auto menu = std::make_unique<CImageMenu>();
    if (!menu->LoadMenu(menuId, 0)) return nullptr;
    HMENU handle = menu->GetHandle();
    Detached().push_back(std::move(menu));
    return handle;
}

void FreeDetachedImageMenus() { Detached().clear(); }
