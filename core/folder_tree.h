// A lazy tree of the device's folders (and optionally files), filled one
// folder at a time when the user expands it, and the folder browser dialog
// built on it.
#pragma once

#include "core/dialog_ext.h"
#include "platform/win/commctrl.h"
#include "platform/win/framework.h"

class CFolderTreeCtrl : public win::Wnd {
public:
    CFolderTreeCtrl() = default;
    ~CFolderTreeCtrl() override;

    bool SubclassDlgItem(int id, HWND parent) { return Attach(::GetDlgItem(parent, id)); }
    // The bitmap of the image list (image 0 a closed folder, 1 an open one).
    void SetImages(UINT bitmapId, int width, COLORREF maskColour);

    // An empty or null root shows the whole device under "My Computer";
    // otherwise the root folder is the one top item, listed at once.
    bool Initialize(const WChar* rootPath, bool showFiles);
    // Expands the tree down to the path and selects it; false when nothing
    // exists there (the tree is then unchanged) or it is not in the tree.
    bool SelectPath(const WString& path);
    // The path of an item: its text and its ancestors' joined by `\`;
    // "My Computer" adds nothing.
    WString GetItemPath(HTREEITEM item) const;
    HTREEITEM GetRootItem() const { return m_rootItem; }
    HTREEITEM GetSelectedItem() const;
    HTREEITEM FindChild(HTREEITEM parent, const WString& text) const;
    WString GetItemText(HTREEITEM item) const;

    // The tree's expansion notifications, passed on by the parent: true when
    // handled.
    bool HandleNotify(LPARAM lParam);

private:
    void ListFolder(HTREEITEM parent, const WString& folder);
    void DeleteChildren(HTREEITEM item);
    HTREEITEM InsertItem(HTREEITEM parent, const WString& text, int image, int selectedImage);
    bool HasContent(const WString& folder) const;

    UINT m_bitmapId = 0;
    int m_imageWidth = 16;
    COLORREF m_maskColour = 0;
    HIMAGELIST m_imageList = nullptr;
    bool m_showFiles = false;
    WString m_rootPath;
    HTREEITEM m_rootItem = nullptr;
};

// Runs the folder browser with `path` selected; on OK `path` becomes the
// chosen folder and true is returned.
bool BrowseForFolder(HWND parent, WString& path);

class CDirectoryBrowserDlg : public CDialogExt {
public:
    CDirectoryBrowserDlg(HWND parent, const WString& path);
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    const WString& GetPath() const { return m_path; }
    CFolderTreeCtrl& Tree() { return m_tree; }

private:
    WString m_path;
    CFolderTreeCtrl m_tree;
};
