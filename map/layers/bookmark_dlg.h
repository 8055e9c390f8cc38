// The Bookmark dialog (one bookmark's name, extent and global flag) and the
// Bookmarks dialog (the main window's list: edit and delete).
#pragma once

#include "core/dialog_ext.h"
#include "map/layers/bookmarks.h"

class CBookmarkDlg : public CDialogExt {
public:
    CBookmarkDlg(CBookmark* bookmark, HWND parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

    CBookmark* m_bookmark;
    WString m_name;
    int m_global = 0;
    double m_xmin = 0;
    double m_ymin = 0;
    double m_xmax = 0;
    double m_ymax = 0;
};

// True when the dialog closed with OK (the bookmark then holds the fields).
bool RunBookmarkDialog(HWND parent, CBookmark* bookmark);

class CBookmarksDlg : public CDialogExt {
public:
    CBookmarksDlg(CBookmarkList& list, HWND parent = nullptr);

    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnEdit();
    void OnDelete();
    void UpdateButtons();

private:
    HWND List() const { return GetDlgItem(1199); }
    CBookmark* Selected(int* index = nullptr) const;
    CBookmarkList& m_list;
};
