// The Add Internet Server dialog: a server URL typed or taken from the
// recent URLs, the server's image services listed on connecting, and the
// chosen one saved as a server workspaces (.mvd) file.
#pragma once

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "core/mru_list.h"
#include "platform/win/framework.h"

class CAddServerDlg : public CDialogExt {
public:
    explicit CAddServerDlg(HWND parent = nullptr);
    ~CAddServerDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override;

    void OnConnect();
    CListCtrlEx& Services() { return m_services; }

    // After OK: the saved workspaces file.
    WString m_savedPath;

private:
    // Completes and parses the URL; false after telling the user.
    bool CheckUrl();
    void FetchCatalogue();

    WString m_url;
    WString m_scheme;
    WString m_server;
    uint16_t m_port = 0;
    CMruList m_recent;
    CListCtrlEx m_services;
    win::BitmapButton m_connect;
    // The catalogue's service names, one per row (the row's item data is
    // its index): a renamed row still asks for the service by its name.
    std::vector<WString> m_names;
};
