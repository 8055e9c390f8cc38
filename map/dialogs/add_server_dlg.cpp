#include "map/dialogs/add_server_dlg.h"

#include "core/xml_node.h"
#include "map/map_messages.h"
#include "map/server/ombrix_connection.h"
#include "map/server/server_workspaces.h"
#include "map/services/preferences.h"
#include "platform/net/url.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

CAddServerDlg::CAddServerDlg(HWND parent)
    : CDialogExt(IDD_ADD_SERVER, parent), m_recent(u"Recent URL List", u"URL%d", 10) {}

CAddServerDlg::~CAddServerDlg() = default;

bool CAddServerDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    m_recent.Load();
    m_recent.FillComboBox(GetDlgItem(IDC_SERVER_URL));
    m_connect.AutoLoad(GetSafeHwnd(), IDC_SERVER_CONNECT, IDB_REFRESH_UP, IDB_REFRESH_DOWN, IDB_REFRESH_FOCUS,
                       IDB_REFRESH_DISABLED);
    AddAnchor(IDC_SERVER_URL, kAnchorStretch, kAnchorNone);
    AddAnchor(IDC_SERVER_CONNECT, kAnchorMove, kAnchorNone);
    AddAnchor(IDC_SERVER_LIST, kAnchorStretch, kAnchorStretch);
    m_services.SubclassDlgItem(IDC_SERVER_LIST, GetSafeHwnd());
    m_services.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    m_services.InsertColumn(0, u"Name", LVCFMT_LEFT, 150);
    m_services.InsertColumn(1, u"Description", LVCFMT_LEFT, 150);
    m_services.SetImageList(IDB_SERVER_SERVICES, ListImages::Small, 16, RGB(255, 0, 255));
    EnableOk(false);
    return true;
}

void CAddServerDlg::DoDataExchange(CDataExchange* dx) { DDX_CBString(dx, IDC_SERVER_URL, m_url); }

bool CAddServerDlg::CheckUrl() {
    if (!UpdateData(true)) return false;
    if (m_url.find(u"://") == WString::npos) {
        m_url = u"http://" + m_url;
        SetDlgItemText(GetSafeHwnd(), IDC_SERVER_URL, m_url.c_str());
    }
    // Only http and https: the connection speaks nothing else.
    std::optional<net::Url> url = net::ParseUrl(text::ToUtf8(m_url));
    if (!url) {
        ShowMapMessage(IDP_INVALID_URL, MB_OK | MB_ICONERROR, kBeepError);
        return false;
    }
    m_scheme = text::FromUtf8(url->scheme);
    m_server = text::FromUtf8(url->host);
    m_port = static_cast<uint16_t>(url->port);
    return true;
}

void CAddServerDlg::OnConnect() {
    m_services.DeleteAllItems();
    m_names.clear();
    EnableOk(false);
    if (!CheckUrl()) return;
    m_recent.Add(m_url);
    m_recent.FillComboBox(GetDlgItem(IDC_SERVER_URL));
    FetchCatalogue();
    EnableOk(m_services.GetItemCount() > 0);
}

void CAddServerDlg::FetchCatalogue() {
    COmbrixConnection connection(m_server, COmbrixConnection::kDefaultServlet, m_port);
    connection.SetScheme(m_scheme);
    CMapServerResponse response;
    win::BeginWaitCursor();
    const bool ok = connection.GetClientServices(response);
    win::EndWaitCursor();
    if (!ok) {
        // A request the user cancelled needs no message.
        if (!connection.WasCancelled())
            ShowMapMessage(IDP_SERVICES_FAILED, MB_OK | MB_ICONERROR, kBeepError, {m_server},
                           connection.GetErrorText());
        return;
    }
    const CXmlNode* root = response.GetRoot();
    const CXmlNode* answer = root ? root->FindChild(u"RESPONSE") : nullptr;
    const CXmlNode* services = answer ? answer->FindChild(u"SERVICES") : nullptr;
    if (!services) {
        ShowMapMessage(IDP_NO_SERVICES, MB_OK | MB_ICONERROR, kBeepError, {m_server});
        return;
    }
    for (int i = 0; i < services->GetChildCount(); ++i) {
        const CXmlNode* child = services->GetChild(i);
        if (!text::EqualsNoCase(child->GetAttribute(u"TYPE"), u"ImageServer")) continue;
        const WString name = child->GetAttribute(u"NAME");
        m_names.push_back(name);
        const int row = m_services.InsertItem(m_services.GetItemCount(), name.c_str(), 3);
        m_services.SetItemText(row, 1, child->GetAttribute(u"DESC").c_str());
        m_services.SetItemImage(row, 1, child->GetAttribute(u"ACCESS") == u"PUBLIC" ? 6 : 7);
        m_services.SetItemData(row, static_cast<LPARAM>(m_names.size() - 1));
        m_services.SetCheck(row, child->GetAttribute(u"STATUS") == u"ENABLED");
    }
    m_services.SortByColumn(0, false);
}

bool CAddServerDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_SERVER_CONNECT && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DBLCLK)) {
        OnConnect();
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

bool CAddServerDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
    if (nm && nm->hwndFrom == m_services.GetSafeHwnd() && nm->code == LVN_ENDLABELEDIT) {
        const auto* edit = reinterpret_cast<const NMLVDISPINFO*>(lParam);
        *result = edit->item.pszText ? 1 : 0;  // accepted as typed
        return true;
    }
    return CDialogExt::OnNotify(wParam, lParam, result);
}

void CAddServerDlg::OnOK() {
    if (!CheckUrl()) return;
    const int row = m_services.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        MessageBox(GetSafeHwnd(), u"No service selected", LoadMapString(IDS_APP_TITLE).c_str(),
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const WString name = m_services.GetItemText(row, 0);
    const size_t index = static_cast<size_t>(m_services.GetItemData(row));
    const WString service = index < m_names.size() ? m_names[index] : name;
    CServerWorkspaces workspaces;
    workspaces.AddImageServerWorkspace(name, m_url, service);

    CFileDialogEx dialog(false, u"mvd", (name + u".mvd").c_str(), OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                         u"Mapvault Definitions|*.mvd||", GetSafeHwnd());
    dialog.m_ofn.title = LoadMapString(IDS_SAVE_SERVER_TITLE);
    dialog.m_ofn.initialDir = GetPreferences()->Data().paths.data;
    if (dialog.DoModal() != IDOK) return;
    const WString path = dialog.GetPathName();
    if (!workspaces.Save(path)) {
        ShowMapMessage(IDP_ERROR_SAVING_MAP, MB_OK | MB_ICONERROR, kBeepError, {path});
        return;
    }
    m_savedPath = path;
    m_recent.Save();
    EndDialog(IDOK);
}
