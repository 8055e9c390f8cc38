#include "core/folder_tree.h"

#include <vector>

#include "core/file_find.h"
#include "core/language_module.h"
#include "core/text_helpers.h"
#include "platform/fs/fs.h"
#include "platform/res/resource.h"
#include "resources/zres.h"

namespace {

// "X:\" roots take the pattern directly, other folders after a separator.
WString ListingPattern(const WString& folder) {
    const bool driveRoot = folder.size() == 3 && folder[1] == u':' && folder[2] == u'\\';
    if (driveRoot) return folder + u"*.*";
    WString f = folder;
    if (!f.empty() && f.back() == u'\\') f.pop_back();
    return f + u"\\*.*";
}

WString LastComponent(const WString& path) {
    WString p = path;
    while (p.size() > 1 && p.back() == u'\\') p.pop_back();
    const size_t slash = p.find_last_of(u'\\');
    return slash == WString::npos ? p : p.substr(slash + 1);
}

}  // namespace

CFolderTreeCtrl::~CFolderTreeCtrl() {
    if (m_imageList) ImageList_Destroy(m_imageList);
}

void CFolderTreeCtrl::SetImages(UINT bitmapId, int width, COLORREF maskColour) {
    m_bitmapId = bitmapId;
    m_imageWidth = width;
    m_maskColour = maskColour;
}

HTREEITEM CFolderTreeCtrl::InsertItem(HTREEITEM parent, const WString& text, int image,
                                      int selectedImage) {
    WString t = text;
    TVINSERTSTRUCT ins;
    ins.hParent = parent ? parent : TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.pszText = t.data();
    ins.item.iImage = image;
    ins.item.iSelectedImage = selectedImage;
    return reinterpret_cast<HTREEITEM>(
        SendMessage(GetSafeHwnd(), TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&ins)));
}

WString CFolderTreeCtrl::GetItemText(HTREEITEM item) const {
    WChar buffer[520] = {};
    TVITEM it;
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = item;
    it.pszText = buffer;
    it.cchTextMax = 520;
    if (!SendMessage(GetSafeHwnd(), TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it))) return {};
    return it.pszText ? WString(it.pszText) : WString();
}

HTREEITEM CFolderTreeCtrl::GetSelectedItem() const {
    return reinterpret_cast<HTREEITEM>(SendMessage(GetSafeHwnd(), TVM_GETNEXTITEM, TVGN_CARET, 0));
}

HTREEITEM CFolderTreeCtrl::FindChild(HTREEITEM parent, const WString& text) const {
    HWND h = GetSafeHwnd();
    HTREEITEM child = reinterpret_cast<HTREEITEM>(
        SendMessage(h, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT,
                    reinterpret_cast<LPARAM>(parent)));
    for (; child; child = reinterpret_cast<HTREEITEM>(
                      SendMessage(h, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child))))
        if (text::EqualsNoCase(GetItemText(child), text)) return child;
    return nullptr;
}

void CFolderTreeCtrl::DeleteChildren(HTREEITEM item) {
    HWND h = GetSafeHwnd();
    for (;;) {
        HTREEITEM child = reinterpret_cast<HTREEITEM>(
            SendMessage(h, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        if (!child) break;
        SendMessage(h, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));
    }
}

bool CFolderTreeCtrl::HasContent(const WString& folder) const {
    CFileFindCE find;
    bool more = find.FindFile(ListingPattern(folder).c_str());
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        if (find.IsDirectory()) return true;
        if (m_showFiles && !find.MatchesMask(fs::kAttrHidden)) return true;
    }
    return false;
}

void CFolderTreeCtrl::ListFolder(HTREEITEM parent, const WString& folder) {
    std::vector<WString> folders, files;
    CFileFindCE find;
    bool more = find.FindFile(ListingPattern(folder).c_str());
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        if (find.IsDirectory())
            folders.push_back(find.GetFilePath());
        else if (m_showFiles)
            files.push_back(find.GetFilePath());
    }
    SortStringArray(folders);
    SortStringArray(files);
    HWND h = GetSafeHwnd();
    SendMessage(h, WM_SETREDRAW, 0, 0);
    win::BeginWaitCursor();
    for (const WString& path : folders) {
        HTREEITEM item = InsertItem(parent, LastComponent(path), 0, 1);
        if (HasContent(path)) InsertItem(item, WString(), 0, 1);
    }
    for (const WString& path : files) InsertItem(parent, LastComponent(path), 0, 1);
    win::EndWaitCursor();
    SendMessage(h, WM_SETREDRAW, 1, 0);
}

bool CFolderTreeCtrl::Initialize(const WChar* rootPath, bool showFiles) {
    HWND h = GetSafeHwnd();
    if (!h) return false;
    SetWindowLong(h, GWL_STYLE,
                  static_cast<LONG>(static_cast<DWORD>(GetWindowLong(h, GWL_STYLE)) &
                                    ~TVS_EDITLABELS));
    SendMessage(h, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    if (m_imageList) {
        ImageList_Destroy(m_imageList);
        m_imageList = nullptr;
    }
    if (m_bitmapId) {
        m_imageList = ImageList_LoadBitmap(res::GetProgramModule(),
                                           MAKEINTRESOURCE(static_cast<WORD>(m_bitmapId)),
                                           m_imageWidth, 1, m_maskColour);
        SendMessage(h, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_imageList));
    }
    m_showFiles = showFiles;
    m_rootItem = nullptr;
    m_rootPath = rootPath ? WString(rootPath) : WString();
    if (m_rootPath.empty()) {
        CLanguageModule* lang = GetLanguageModule();
        const WString name = lang ? lang->LoadString(IDS_MY_COMPUTER, true) : u"My Computer";
        m_rootItem = InsertItem(nullptr, name, 0, 1);
        InsertItem(m_rootItem, WString(), 0, 1);
        return true;
    }
    if (m_rootPath.back() != u'\\') m_rootPath += u'\\';
    HTREEITEM top = InsertItem(nullptr, m_rootPath, 0, 1);
    ListFolder(top, m_rootPath);
    SendMessage(h, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
    return true;
}

WString CFolderTreeCtrl::GetItemPath(HTREEITEM item) const {
    std::vector<WString> parts;
    HWND h = GetSafeHwnd();
    for (HTREEITEM i = item; i; i = reinterpret_cast<HTREEITEM>(
                                   SendMessage(h, TVM_GETNEXTITEM, TVGN_PARENT,
                                               reinterpret_cast<LPARAM>(i)))) {
        if (i == m_rootItem) {
            parts.push_back(WString());  // the device root
            break;
        }
        parts.push_back(GetItemText(i));
    }
    WString path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (it != parts.rbegin() && (path.empty() || path.back() != u'\\')) path += u'\\';
        path += *it;
    }
    if (path.size() > 1 && path.back() == u'\\') path.pop_back();
    return path;
}

bool CFolderTreeCtrl::HandleNotify(LPARAM lParam) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (!hdr || hdr->hwndFrom != GetSafeHwnd() || hdr->code != TVN_ITEMEXPANDED) return false;
    const auto* nm = reinterpret_cast<const NMTREEVIEW*>(lParam);
    HTREEITEM item = nm->itemNew.hItem;
    DeleteChildren(item);
    if ((nm->action & 0x3) == TVE_EXPAND)
        ListFolder(item, GetItemPath(item));
    else
        InsertItem(item, WString(), 0, 1);
    return true;
}

bool CFolderTreeCtrl::SelectPath(const WString& path) {
    if (path.empty() || !fs::Exists(path)) return false;
    WString p = text::ToUpper(path);
    if (p.back() != u'\\') p += u'\\';
    std::vector<WString> parts;
    size_t start = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == u'\\') {
            parts.push_back(p.substr(start, i - start));
            start = i + 1;
        }
    }
    HWND h = GetSafeHwnd();
    // A tree with a root folder starts below its top item.
    HTREEITEM current = nullptr;
    size_t first = 0;
    if (!m_rootItem) {
        const WString root = text::ToUpper(m_rootPath);
        if (p.compare(0, root.size(), root) != 0) return false;
        current = reinterpret_cast<HTREEITEM>(SendMessage(h, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        parts.clear();
        start = root.size();
        for (size_t i = start; i < p.size(); ++i) {
            if (p[i] == u'\\') {
                parts.push_back(p.substr(start, i - start));
                start = i + 1;
            }
        }
    }
    SendMessage(h, WM_SETREDRAW, 0, 0);
    HTREEITEM reached = current;
    bool complete = true;
    for (size_t i = first; i < parts.size(); ++i) {
        HTREEITEM next = parts[i].empty() && i == 0 && m_rootItem ? m_rootItem
                                                                  : FindChild(current, parts[i]);
        if (!next) {
            complete = false;
            break;
        }
        current = reached = next;
        const UINT state = static_cast<UINT>(SendMessage(h, TVM_GETITEMSTATE,
                                                         reinterpret_cast<WPARAM>(current),
                                                         TVIS_EXPANDED));
        // Collapsed first, so that expanding lists the folder afresh.
        if (state & TVIS_EXPANDED)
            SendMessage(h, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(current));
        SendMessage(h, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(current));
    }
    const bool selected = complete && reached;
    if (selected) SendMessage(h, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(reached));
    SendMessage(h, WM_SETREDRAW, 1, 0);
    return selected;
}

// ---------------------------------------------------------------- browser

CDirectoryBrowserDlg::CDirectoryBrowserDlg(HWND parent, const WString& path)
    : CDialogExt(IDD_DIRECTORY_BROWSER, parent), m_path(path) {}

bool CDirectoryBrowserDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, true);
    m_tree.SubclassDlgItem(IDC_FOLDER_TREE, GetSafeHwnd());
    m_tree.SetImages(IDB_FOLDERS, 16, RGB(0, 0, 0));
    m_tree.Initialize(nullptr, false);
    m_tree.SelectPath(m_path);
    return true;
}

bool CDirectoryBrowserDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (m_tree.HandleNotify(lParam)) {
        *result = 0;
        return true;
    }
    return CDialogExt::OnNotify(wParam, lParam, result);
}

void CDirectoryBrowserDlg::OnOK() {
    HTREEITEM item = m_tree.GetSelectedItem();
    if (!item) return;
    m_path = m_tree.GetItemPath(item);
    EndDialog(IDOK);
}

bool BrowseForFolder(HWND parent, WString& path) {
    CDirectoryBrowserDlg dlg(parent, path);
    if (dlg.DoModal() != IDOK) return false;
    path = dlg.GetPath();
    return true;
}
