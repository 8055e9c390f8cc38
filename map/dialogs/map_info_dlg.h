// The Map Information dialog: the title of the open map, which the map
// document keeps as its MAP element's name.
#pragma once

#include "core/dialog_ext.h"

class CMapDoc;

class CMapInfoDlg : public CDialogExt {
public:
    explicit CMapInfoDlg(CMapDoc* doc, HWND parent = nullptr);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

    WString m_title;

private:
    CMapDoc* m_doc;
};

// True on OK: the title is then the map's title and the document's, and the
// document is marked modified. The caller redraws the frame's caption.
bool RunMapInfoDialog(HWND parent, CMapDoc* doc);
