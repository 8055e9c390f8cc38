// Pop-up menus that show each command's toolbar image (16 pixels at 96 dots
// per inch, scaled with the screen) left of its text. Built from a menu
// resource and the toolbar resource of the same number, or item by item;
// the items with images are owner-drawn, so the window that tracks the menu
// passes its WM_MEASUREITEM and WM_DRAWITEM on
// (CImageMenu::HandleOwnerMessage).
#pragma once

#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"
#include "platform/win/controls.h"
#include "platform/win/menu.h"
#include "shell/frame/bar_controls.h"

class CImageMenu {
public:
    static constexpr COLORREF kMaskColour = 0xC0C0C0;
    static constexpr COLORREF kCheckedFrame = 0x0000FF;
    static constexpr COLORREF kDisabledText = 0x808080;

    CImageMenu();
    virtual ~CImageMenu();
    CImageMenu(const CImageMenu&) = delete;
    CImageMenu& operator=(const CImageMenu&) = delete;

    // Builds the pop-up from the submenu at the index of the menu resource,
    // with the images of the toolbar resource (0: the menu's own number).
    // False when the menu resource is missing.
    bool LoadMenu(UINT menuId, int submenu = 0, UINT toolbarId = 0);
    // The toolbar resource's image size and commands and the bitmap of the
    // same id as images; false (and no images) when either is missing.
    bool LoadImages(UINT toolbarId);

    // Appends (or inserts at a position) to the shown menu; an owner-drawn
    // item, or any item of a menu without a source, also goes to the source
    // menu so that its text is found when drawing. For MF_POPUP the id is
    // the submenu's handle.
    bool InsertItem(UINT flags, uintptr_t idOrSubmenu, const WChar* text);
    bool InsertItemAt(UINT position, UINT flags, uintptr_t idOrSubmenu, const WChar* text);
    uintptr_t GetItemData(UINT idOrPosition, bool byPosition) const;
    bool SetItemData(UINT idOrPosition, uintptr_t value, bool byPosition);
    // The position of a command in the shown menu, -1 when absent.
    int GetItemIndex(UINT command) const;
    // The image of a command, -1 when the toolbar resource lacks it.
    int ImageOf(UINT command) const;

    HMENU GetHandle() const { return m_menu; }
    HMENU GetSourceMenu() const { return m_sourceSub; }
    HIMAGELIST GetImageList() const { return m_images; }
    // The images' size on the screen.
    int GetImageWidth() const { return m_imageWidth; }
    int GetImageHeight() const { return m_imageHeight; }
    // Items whose command has no image are looked up by their item data.
    void SetUseItemData(bool on) { m_useItemData = on; }

    // The toolbar button that owns this menu (configured bars' drop-downs).
    int m_buttonIndex = 0;

    // Shows the menu; the chosen command (0 when none).
    UINT Track(HWND owner, int x, int y, UINT flags = TPM_LEFTALIGN);

    virtual void MeasureItem(MEASUREITEMSTRUCT* item);
    virtual void DrawItem(const DRAWITEMSTRUCT* item);

    // An owner's WM_MEASUREITEM or WM_DRAWITEM for an item of a live image
    // menu: handled (true) or not for us.
    static bool HandleOwnerMessage(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    WString TextOf(UINT command, uintptr_t data) const;
    int ImageFor(UINT command, uintptr_t data) const;
    bool Insert(int position, UINT flags, uintptr_t idOrSubmenu, const WChar* text);

    HMENU m_menu = nullptr;       // shown
    HMENU m_source = nullptr;     // the loaded resource (or our own holder)
    HMENU m_sourceSub = nullptr;  // its pop-up that the items come from
    WORD m_imageWidth = 16, m_imageHeight = 16;
    CToolBarResource m_toolbar;  // the command of each image
    HIMAGELIST m_images = nullptr;
    bool m_useItemData = false;
};

// A menu resource's first pop-up as a plain menu handle for callers that
// track it themselves (the map view's context menus); the image menu behind
// it lives until the handle is destroyed. Null when the resource is missing.
HMENU LoadDetachedImageMenu(UINT menuId);
// Frees the image menus behind every handle given out (at shutdown).
void FreeDetachedImageMenus();
