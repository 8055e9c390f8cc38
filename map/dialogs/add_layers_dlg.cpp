#include "map/dialogs/add_layers_dlg.h"

#include <algorithm>

#include "core/file_find.h"
#include "core/folder_tree.h"
#include "core/language_module.h"
#include "core/shell_helpers.h"
#include "formats/raster/rpf_frame.h"
#include "map/layers/internet_layer.h"
#include "map/layers/layer.h"
#include "map/layers/map_doc.h"
#include "map/server/server_workspaces.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/win/controls.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

namespace {

struct StorageRoot {
    const WChar* folder;
    const WChar* caption;
    int icon;  // -1: main memory's, by the kind of device
};
constexpr StorageRoot kRoots[] = {
    {u"", u"Main Memory", -1},
    {u"\\Storage Card", u"Storage Card", CLayerBrowserTree::kIconCard},
    {u"\\Storage Card2", u"Storage Card 2", CLayerBrowserTree::kIconCard},
    {u"\\Slot2", u"Storage Card 2", CLayerBrowserTree::kIconCard},
    {u"\\IPAQ File Store", u"IPAQ File Store", CLayerBrowserTree::kIconPocketMemory},
};

constexpr UINT kUnchecked = 1;
constexpr UINT kChecked = 2;

WString Join(const WString& folder, const WString& name) {
    if (!folder.empty() && folder.back() == u'\\') return folder + name;
    return folder + u"\\" + name;
}

bool EndsWithNoCase(const WString& text, WStringView tail) {
    return text.size() >= tail.size() &&
           text::EqualsNoCase(WStringView(text).substr(text.size() - tail.size()), tail);
}

bool StartsWithNoCase(const WString& text, const WString& head) {
    return text.size() >= head.size() && text::EqualsNoCase(WStringView(text).substr(0, head.size()), head);
}

WString WidenText(const char* s) {
    WString out;
    for (; s && *s; ++s) out += static_cast<WChar>(static_cast<unsigned char>(*s));
    return out;
}

}  // namespace

// ---------------------------------------------------------------- tree

CLayerBrowserTree::~CLayerBrowserTree() {
    if (m_icons) ImageList_Destroy(m_icons);
    if (m_states) ImageList_Destroy(m_states);
}

bool CLayerBrowserTree::Setup(HWND dialog, int id) {
    if (!Attach(::GetDlgItem(dialog, id))) return false;
    if (CLanguageModule* lang = GetLanguageModule()) lang->ApplyRtlStyle(GetSafeHwnd());
    m_personal = GetSpecialFolderPath(nullptr, kFolderPersonal);
    return true;
}

HTREEITEM CLayerBrowserTree::Insert(HTREEITEM parent, const WString& text, int image, int selectedImage,
                                    LPARAM data, bool box) {
    TVINSERTSTRUCT ins;
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    ins.item.pszText = const_cast<WChar*>(text.c_str());
    ins.item.iImage = image;
    ins.item.iSelectedImage = selectedImage;
    ins.item.lParam = data;
    ins.item.state = box ? INDEXTOSTATEIMAGEMASK(kUnchecked) : 0;
    ins.item.stateMask = TVIS_STATEIMAGEMASK;
    return reinterpret_cast<HTREEITEM>(SendMessage(GetSafeHwnd(), TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
}

LPARAM CLayerBrowserTree::DataOf(HTREEITEM item) const {
    TVITEM it;
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = item;
    SendMessage(GetSafeHwnd(), TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
    return it.lParam;
}

void CLayerBrowserTree::SetData(HTREEITEM item, LPARAM data) {
    TVITEM it;
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = item;
    it.lParam = data;
    SendMessage(GetSafeHwnd(), TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
}

HTREEITEM CLayerBrowserTree::Child(HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(GetSafeHwnd(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM CLayerBrowserTree::Next(HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessage(GetSafeHwnd(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

bool CLayerBrowserTree::IsChecked(HTREEITEM item) const {
    const UINT state = static_cast<UINT>(
        SendMessage(GetSafeHwnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(kChecked);
}

void CLayerBrowserTree::ToggleCheck(HTREEITEM item) {
    if (!item) return;
    ExpandFolder(item);
    TVITEM it;
    it.mask = TVIF_STATE | TVIF_HANDLE;
    it.hItem = item;
    it.stateMask = TVIS_STATEIMAGEMASK;
    SendMessage(GetSafeHwnd(), TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
    if ((it.state & TVIS_STATEIMAGEMASK) == 0) return;  // a storage location has no box
    it.state = INDEXTOSTATEIMAGEMASK(IsChecked(item) ? kUnchecked : kChecked);
    SendMessage(GetSafeHwnd(), TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
}

void CLayerBrowserTree::ExpandFolder(HTREEITEM item) {
    const LPARAM data = DataOf(item);
    HTREEITEM child = Child(item);
    if (!child || data >= 0) return;
    const WString folder = m_folders[static_cast<size_t>(-data - 1)];
    SetData(item, 0);
    SendMessage(GetSafeHwnd(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    if (FillFolder(folder, true, item) == 0)
        SendMessage(GetSafeHwnd(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
}

bool CLayerBrowserTree::HandleNotify(NMHDR* nm, LRESULT* result) {
    if (!nm || nm->hwndFrom != GetSafeHwnd()) return false;
    if (nm->code == NM_CLICK) {
        // A tap on an item's box (beside its icon) toggles it.
        TVHITTESTINFO hit;
        hit.pt = GetMessagePos();
        ScreenToClient(GetSafeHwnd(), &hit.pt);
        SendMessage(GetSafeHwnd(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.hItem && (hit.flags & TVHT_ONITEMICON)) ToggleCheck(hit.hItem);
        *result = 0;
        return true;
    }
    if (nm->code == TVN_ITEMEXPANDING) {
        const auto* tv = reinterpret_cast<const NMTREEVIEW*>(nm);
        if (tv->action & TVE_EXPAND) ExpandFolder(tv->itemNew.hItem);
        *result = 0;
        return true;
    }
    return false;
}

void CLayerBrowserTree::SetPath(const WString& path, bool force) {
    if (!force && m_builds > 0 && text::EqualsNoCase(path, m_path)) return;
    m_path = path;
    m_isPersonal = text::EqualsNoCase(m_path, m_personal);
    m_inPersonal = StartsWithNoCase(m_path, m_personal);
    Rebuild();
}

void CLayerBrowserTree::Rebuild() {
    win::BeginWaitCursor();
    ++m_builds;
    HWND tree = GetSafeHwnd();
    if (!m_icons) {
        m_icons = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(IDB_FOLDERS), 16, 1, RGB(255, 255, 255));
        m_states = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(IDB_BROWSER_CHECKS), 13, 1, RGB(255, 255, 255));
        SendMessage(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_icons));
        SendMessage(tree, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(m_states));
    }
    SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    m_files.clear();
    m_folders.clear();
    bool expanded = false;
    for (const StorageRoot& root : kRoots) {
        const bool main = root.folder[0] == 0;
        const int icon = root.icon >= 0 ? root.icon : IsPocketPC() ? kIconPocketMemory : kIconMemory;
        const WString base(root.folder);
        // A location that is not there shows nothing.
        if (!main && !fs::Exists(base)) continue;
        HTREEITEM item = Insert(TVI_ROOT, root.caption, icon, icon, 0, false);
        WString folder = base + m_path;
        if (!main && m_isPersonal && fs::Exists(Join(base, u"ignore_my_docs"))) folder = base;
        int added = 0;
        if (fs::Exists(folder)) {
            added = FillFolder(folder, true, item);
        } else if (!main) {
            added = FillFolder(base.empty() ? WString(u"\\") : base, true, item);
        } else if (!m_isPersonal) {
            added = FillFolder(m_personal, true, item);
        }
        if (added == 0) {
            SendMessage(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
        } else if (!expanded) {
            SendMessage(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
            expanded = true;
        }
    }
    win::EndWaitCursor();
}

int CLayerBrowserTree::FillFolder(const WString& folder, bool subfolders, HTREEITEM parent) {
    int added = 0;
    std::vector<WString> folders;
    CFileFindCE find;
    bool more = find.FindFile(Join(folder, u"*.*").c_str());
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        const WString path = find.GetFilePath();
        if (find.IsDirectory()) {
            // An internet layer's cache is the program's own, not a dataset.
            if (subfolders && !EndsWithNoCase(path, u".mvd.cache")) folders.push_back(path);
        } else if (AddFileItem(path, parent)) {
            ++added;
        }
    }
    find.Close();
    SendMessage(GetSafeHwnd(), TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(parent));
    std::sort(folders.begin(), folders.end(),
              [](const WString& a, const WString& b) { return text::CompareNoCase(a, b) < 0; });
    for (const WString& path : folders) {
        if (!FolderHasDatasets(path)) continue;
        m_folders.push_back(path);
        const WString name = path.substr(path.find_last_of(u'\\') + 1);
        HTREEITEM item = Insert(parent, name, kIconFolder, kIconFolderOpen,
                                -static_cast<LPARAM>(m_folders.size()), true);
        Insert(item, u"Dummy", kIconFolder, kIconFolder, 0, false);
        ++added;
    }
    return added;
}

bool CLayerBrowserTree::FolderHasDatasets(const WString& folder) const {
    CFileFindCE find;
    bool more = find.FindFile(Join(folder, u"*.*").c_str());
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots() || find.IsDirectory()) continue;
        const WString path = find.GetFilePath();
        LayerKind kind = LayerKind::None;
        DisplayClass cls = DisplayClass::None;
        if (IsMapDocumentPath(path) || ClassifyLayerFile(path, &kind, &cls)) return true;
    }
    return false;
}

bool CLayerBrowserTree::AddFileItem(const WString& path, HTREEITEM parent) {
    const WString name = path.substr(path.find_last_of(u'\\') + 1);
    int icon = kIconOther;
    WString text = name;
    if (IsMapDocumentPath(path)) {
        icon = kIconMap;
    } else {
        LayerKind kind = LayerKind::None;
        DisplayClass cls = DisplayClass::None;
        const LayerExtensionInfo* extension = nullptr;
        if (!ClassifyLayerFile(path, &kind, &cls, &extension)) return false;
        switch (cls) {
            case DisplayClass::Point: icon = kIconPoint; break;
            case DisplayClass::Line: icon = kIconLine; break;
            case DisplayClass::Polygon: icon = kIconPolygon; break;
            case DisplayClass::Image: icon = kIconImage; break;
            default: icon = kIconOther; break;
        }
        if (kind == LayerKind::Rpf) {
            CRpfFrame frame;
            if (!frame.Open(path)) return false;
            text = text::Format(u"%s (%s)", name.c_str(), WidenText(frame.GetSeries().shortName).c_str());
        } else if (kind == LayerKind::Internet) {
            CServerWorkspaces workspaces;
            WString wsName, url, service;
            if (workspaces.Load(path) && workspaces.FindImageServerWorkspace(wsName, url, service)) {
                m_files.push_back(path);
                Insert(parent, name, kIconServer, kIconServer, static_cast<LPARAM>(m_files.size()), true);
            }
            return true;
        } else if (kind == LayerKind::Extension && extension && extension->icon) {
            auto known = std::find_if(m_extensionIcons.begin(), m_extensionIcons.end(),
                                      [&](const auto& e) { return e.first == extension->extension; });
            if (known != m_extensionIcons.end()) {
                icon = known->second;
            } else {
                const int added = ImageList_AddIcon(m_icons, extension->icon);
                if (added >= 0) {
                    m_extensionIcons.emplace_back(extension->extension, added);
                    icon = added;
                }
            }
        }
    }
    m_files.push_back(path);
    Insert(parent, text, icon, icon, static_cast<LPARAM>(m_files.size()), true);
    return true;
}

void CLayerBrowserTree::Collect(HTREEITEM item, bool underChecked, std::vector<WString>& paths) {
    for (; item; item = Next(item)) {
        const bool checked = underChecked || IsChecked(item);
        const LPARAM data = DataOf(item);
        // Only datasets: a folder never opened stands for nothing listed.
        if (data > 0 && checked) paths.push_back(m_files[static_cast<size_t>(data - 1)]);
        if (HTREEITEM child = Child(item)) Collect(child, checked, paths);
    }
}

int CLayerBrowserTree::CollectChecked(std::vector<WString>& paths, bool useSelection) {
    paths.clear();
    Collect(Child(TVI_ROOT), false, paths);
    if (useSelection && paths.empty()) {
        HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessage(GetSafeHwnd(), TVM_GETNEXTITEM, TVGN_CARET, 0));
        if (selected) {
            const LPARAM data = DataOf(selected);
            if (data > 0)
                paths.push_back(m_files[static_cast<size_t>(data - 1)]);
            else if (HTREEITEM child = Child(selected))
                Collect(child, true, paths);
        }
    }
    return static_cast<int>(paths.size());
}

// ---------------------------------------------------------------- dialog

CAddLayersDlg::CAddLayersDlg(HWND parent)
    : CDialogExt(IDD_ADD_LAYERS, parent), m_recent(u"Recent Path List", u"Path%d", 10) {}

CAddLayersDlg::~CAddLayersDlg() = default;

bool CAddLayersDlg::OnInitDialog() {
    m_path = GetPreferences()->Data().paths.data;
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    m_tree.Setup(GetSafeHwnd(), IDC_ADD_LAYERS_TREE);
    m_refresh.AutoLoad(GetSafeHwnd(), IDC_ADD_LAYERS_REFRESH, IDB_REFRESH_UP, IDB_REFRESH_DOWN, IDB_REFRESH_FOCUS,
                       IDB_REFRESH_DISABLED);
    m_browse.AutoLoad(GetSafeHwnd(), IDC_ADD_LAYERS_BROWSE, IDB_BROWSE_UP, IDB_BROWSE_DOWN, 0, IDB_BROWSE_DISABLED);
    AddAnchor(IDC_ADD_LAYERS_TREE, kAnchorStretch, kAnchorStretch);
    AddAnchor(IDC_ADD_LAYERS_PATH, kAnchorStretch, kAnchorNone);
    AddAnchor(IDC_ADD_LAYERS_REFRESH, kAnchorMove, kAnchorNone);
    AddAnchor(IDC_ADD_LAYERS_BROWSE, kAnchorMove, kAnchorNone);
    m_recent.Load();
    m_recent.Add(m_path);
    HWND combo = GetDlgItem(IDC_ADD_LAYERS_PATH);
    m_recent.FillComboBox(combo);
    SetWindowText(combo, m_path.c_str());
    m_tree.SetPath(m_path, false);
    return true;
}

void CAddLayersDlg::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_ADD_LAYERS_PATH, m_path); }

void CAddLayersDlg::Refresh(bool force) {
    if (!UpdateData(true)) return;
    m_recent.Add(m_path);
    HWND combo = GetDlgItem(IDC_ADD_LAYERS_PATH);
    m_recent.FillComboBox(combo);
    SetWindowText(combo, m_path.c_str());
    m_tree.SetPath(m_path, force);
}

void CAddLayersDlg::OnBrowse() {
    WString path = GetDlgItemTextString(GetSafeHwnd(), IDC_ADD_LAYERS_PATH);
    if (!BrowseForFolder(GetSafeHwnd(), path)) return;
    SetDlgItemText(GetSafeHwnd(), IDC_ADD_LAYERS_PATH, path.c_str());
    Refresh(false);
}

bool CAddLayersDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == IDC_ADD_LAYERS_PATH) {
        if (code == CBN_KILLFOCUS) Refresh(false);
        if (code == CBN_CLOSEUP) Refresh(true);
        return true;
    }
    if (id == IDC_ADD_LAYERS_REFRESH && code == BN_CLICKED) {
        Refresh(true);
        return true;
    }
    if (id == IDC_ADD_LAYERS_BROWSE && (code == BN_CLICKED || code == BN_DBLCLK)) {
        OnBrowse();
        return true;
    }
    return CDialogExt::OnCommand(wParam, lParam);
}

bool CAddLayersDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (m_tree.HandleNotify(reinterpret_cast<NMHDR*>(lParam), result)) return true;
    return CDialogExt::OnNotify(wParam, lParam, result);
}

void CAddLayersDlg::OnOK() {
    if (m_tree.CollectChecked(m_result, false) == 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    m_recent.Save();
    EndDialog(IDOK);
}
