// The Add Layer(s) dialog: a tree of the device's storage locations and
// their folders holding datasets the program opens, with check boxes, for
// a folder path typed, chosen from the recent paths or browsed for. OK
// gives the checked datasets' paths.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "core/dialog_ext.h"
#include "core/mru_list.h"
#include "platform/win/commctrl.h"
#include "platform/win/framework.h"

// Storage locations, then the folders with something to open (expanded on
// demand) and the datasets in them.
class CLayerBrowserTree : public win::Wnd {
public:
    ~CLayerBrowserTree() override;
    bool Setup(HWND dialog, int id);
    // Without force, the current path again (without regard to case)
    // changes nothing.
    void SetPath(const WString& path, bool force);
    const WString& GetPath() const { return m_path; }
    // The checked datasets' paths and those under checked folders; with
    // `useSelection`, the selected item when nothing is checked. The count.
    int CollectChecked(std::vector<WString>& paths, bool useSelection);
    // The box of an item, as a tap on it or the space key toggles it.
    void ToggleCheck(HTREEITEM item);
    bool IsChecked(HTREEITEM item) const;
    // Lists a folder item's contents the first time it opens.
    void ExpandFolder(HTREEITEM item);
    // The owner's WM_NOTIFY: true when it was the tree's.
    bool HandleNotify(NMHDR* nm, LRESULT* result);
    // The number of times the tree was built (tests).
    int GetBuildCount() const { return m_builds; }

    // Icons of the image list.
    static constexpr int kIconFolderOpen = 2, kIconFolder = 4, kIconPoint = 5, kIconLine = 6,
                         kIconPolygon = 7, kIconImage = 8, kIconOther = 9, kIconServer = 13,
                         kIconMap = 16, kIconCard = 35, kIconPocketMemory = 36, kIconMemory = 37;

private:
    void Rebuild();
    int FillFolder(const WString& folder, bool subfolders, HTREEITEM parent);
    bool AddFileItem(const WString& path, HTREEITEM parent);
    bool FolderHasDatasets(const WString& folder) const;
    HTREEITEM Insert(HTREEITEM parent, const WString& text, int image, int selectedImage, LPARAM data,
                     bool box);
    void Collect(HTREEITEM item, bool underChecked, std::vector<WString>& paths);
    LPARAM DataOf(HTREEITEM item) const;
    void SetData(HTREEITEM item, LPARAM data);
    HTREEITEM Child(HTREEITEM item) const;
    HTREEITEM Next(HTREEITEM item) const;

    WString m_path;
    WString m_personal;
    HIMAGELIST m_icons = nullptr;
    HIMAGELIST m_states = nullptr;
    // Item data: a file's position + 1, or minus a folder's position + 1.
    std::vector<WString> m_files;
    std::vector<WString> m_folders;
    std::vector<std::pair<const void*, int>> m_extensionIcons;
    bool m_isPersonal = false;
    bool m_inPersonal = false;
    int m_builds = 0;
};

class CAddLayersDlg : public CDialogExt {
public:
    explicit CAddLayersDlg(HWND parent = nullptr);
    ~CAddLayersDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override;

    void Refresh(bool force);
    void OnBrowse();
    CLayerBrowserTree& Tree() { return m_tree; }

    // After OK: the checked datasets.
    std::vector<WString> m_result;

private:
    WString m_path;
    CLayerBrowserTree m_tree;
    CMruList m_recent;
    win::BitmapButton m_refresh;
    win::BitmapButton m_browse;
};
