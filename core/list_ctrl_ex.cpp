#include "core/list_ctrl_ex.h"

#include <algorithm>
#include <numeric>

#include "platform/res/resource.h"
#include "platform/win/dialog.h"

namespace {

HIMAGELIST LoadProgramBitmap(UINT bitmapId, int width, int grow, COLORREF mask) {
    return ImageList_LoadBitmap(res::GetProgramModule(),
                                MAKEINTRESOURCE(static_cast<WORD>(bitmapId)), width, grow, mask);
}

bool GetHeaderItem(HWND header, int i, HDITEM& item) {
    return header && SendMessage(header, HDM_GETITEM, static_cast<WPARAM>(i),
                                 reinterpret_cast<LPARAM>(&item)) != 0;
}

bool SetHeaderItem(HWND header, int i, HDITEM& item) {
    return header && SendMessage(header, HDM_SETITEM, static_cast<WPARAM>(i),
                                 reinterpret_cast<LPARAM>(&item)) != 0;
}

int HeaderCount(HWND header) {
    return header ? static_cast<int>(SendMessage(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int HeaderSetImage(HWND header, int i, int image) {
    HDITEM item;
    item.mask = HDI_IMAGE | HDI_FORMAT;
    if (!GetHeaderItem(header, i, item)) return -1;
    const int old = item.iImage;
    item.mask = HDI_IMAGE | HDI_FORMAT;
    item.iImage = image;
    if (image < 0)
        item.fmt &= ~HDF_IMAGE;
    else
        item.fmt |= HDF_IMAGE;
    SetHeaderItem(header, i, item);
    return old;
}

int HeaderGetImage(HWND header, int i) {
    HDITEM item;
    item.mask = HDI_IMAGE;
    return GetHeaderItem(header, i, item) ? item.iImage : -1;
}

LPARAM HeaderGetData(HWND header, int i) {
    HDITEM item;
    item.mask = HDI_LPARAM;
    return GetHeaderItem(header, i, item) ? item.lParam : 0;
}

bool HeaderSetData(HWND header, int i, LPARAM value) {
    HDITEM item;
    item.mask = HDI_LPARAM;
    item.lParam = value;
    return SetHeaderItem(header, i, item);
}

}  // namespace

void MapPointsToWindow(HWND from, POINT* points, int count, HWND to) {
    for (int i = 0; i < count; ++i) {
        ClientToScreen(from, &points[i]);
        if (to) ScreenToClient(to, &points[i]);
    }
}

// ---------------------------------------------------------------- header

CHeaderCtrlEx::~CHeaderCtrlEx() {
    if (m_imageList) ImageList_Destroy(m_imageList);
}

int CHeaderCtrlEx::InsertItem(int index, const WChar* text, int width, int format,
                              HBITMAP bitmap, LPARAM data) {
    HWND h = GetSafeHwnd();
    if (index < 0) index = HeaderCount(h);
    WString t = text ? WString(text) : WString();
    HDITEM item;
    item.mask = HDI_TEXT | HDI_LPARAM;
    item.pszText = t.data();
    item.lParam = data;
    if (width != -1) {
        item.mask |= HDI_WIDTH;
        item.cxy = width;
    }
    if (format != 0) {
        item.mask |= HDI_FORMAT;
        item.fmt = format;
    }
    if (bitmap) {
        item.mask |= HDI_BITMAP;
        item.hbm = bitmap;
    }
    return static_cast<int>(
        SendMessage(h, HDM_INSERTITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

void CHeaderCtrlEx::DeleteAllItems() {
    for (int i = GetItemCount() - 1; i >= 0; --i)
        SendMessage(GetSafeHwnd(), HDM_DELETEITEM, static_cast<WPARAM>(i), 0);
}

int CHeaderCtrlEx::GetItemCount() const {
    return HeaderCount(GetSafeHwnd());
}

int CHeaderCtrlEx::GetItemWidth(int i) const {
    HDITEM item;
    item.mask = HDI_WIDTH;
    return GetHeaderItem(GetSafeHwnd(), i, item) ? item.cxy : 0;
}

bool CHeaderCtrlEx::SetItemWidth(int i, int width) {
    HDITEM item;
    item.mask = HDI_WIDTH;
    item.cxy = width;
    return SetHeaderItem(GetSafeHwnd(), i, item);
}

int CHeaderCtrlEx::GetTotalWidth() const {
    int total = 0;
    for (int i = 0; i < GetItemCount(); ++i) total += GetItemWidth(i);
    return total;
}

LPARAM CHeaderCtrlEx::GetItemData(int i) const {
    return HeaderGetData(GetSafeHwnd(), i);
}

bool CHeaderCtrlEx::SetItemData(int i, LPARAM value) {
    return HeaderSetData(GetSafeHwnd(), i, value);
}

bool CHeaderCtrlEx::SetImageList(UINT bitmapId, int width, COLORREF maskColour) {
    HIMAGELIST list = LoadProgramBitmap(bitmapId, width, 1, maskColour);
    if (!list) return false;
    SendMessage(GetSafeHwnd(), HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    if (m_imageList) ImageList_Destroy(m_imageList);
    m_imageList = list;
    return true;
}

int CHeaderCtrlEx::SetItemImage(int i, int image) {
    return HeaderSetImage(GetSafeHwnd(), i, image);
}

int CHeaderCtrlEx::GetItemImage(int i) const {
    return HeaderGetImage(GetSafeHwnd(), i);
}

// ---------------------------------------------------------------- list

CListCtrlEx::~CListCtrlEx() {
    for (HIMAGELIST list : m_imageLists) ImageList_Destroy(list);
}

int CListCtrlEx::InsertColumn(int index, const WChar* heading, int format, int width) {
    WString t = heading ? WString(heading) : WString();
    LVCOLUMN col;
    col.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = format;
    col.pszText = t.data();
    col.iSubItem = index;
    if (width >= 0) {
        col.mask |= LVCF_WIDTH;
        col.cx = width;
    }
    return static_cast<int>(SendMessage(GetSafeHwnd(), LVM_INSERTCOLUMN,
                                        static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrlEx::GetColumnCount() const {
    return HeaderCount(GetHeader());
}

int CListCtrlEx::InsertItem(int index, const WChar* text, int image) {
    WString t = text ? WString(text) : WString();
    LVITEM item;
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = t.data();
    item.iImage = image;
    return static_cast<int>(
        SendMessage(GetSafeHwnd(), LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListCtrlEx::SetItemText(int item, int subItem, const WChar* text) {
    WString t = text ? WString(text) : WString();
    LVITEM it;
    it.iSubItem = subItem;
    it.pszText = t.data();
    return SendMessage(GetSafeHwnd(), LVM_SETITEMTEXT, static_cast<WPARAM>(item),
                       reinterpret_cast<LPARAM>(&it)) != 0;
}

WString CListCtrlEx::GetItemText(int item, int subItem) const {
    for (int size = 256;; size *= 2) {
        WString buffer(static_cast<size_t>(size), u'\0');
        LVITEM it;
        it.iSubItem = subItem;
        it.pszText = buffer.data();
        it.cchTextMax = size;
        const int n = static_cast<int>(SendMessage(GetSafeHwnd(), LVM_GETITEMTEXT,
                                                   static_cast<WPARAM>(item),
                                                   reinterpret_cast<LPARAM>(&it)));
        if (n < size - 1 || size >= (1 << 20)) {
            buffer.resize(static_cast<size_t>(std::max(n, 0)));
            return buffer;
        }
    }
}

bool CListCtrlEx::SetItemData(int item, LPARAM data) {
    LVITEM it;
    it.mask = LVIF_PARAM;
    it.iItem = item;
    it.lParam = data;
    return SendMessage(GetSafeHwnd(), LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it)) != 0;
}

LPARAM CListCtrlEx::GetItemData(int item) const {
    LVITEM it;
    it.mask = LVIF_PARAM;
    it.iItem = item;
    if (!SendMessage(GetSafeHwnd(), LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it))) return 0;
    return it.lParam;
}

int CListCtrlEx::GetItemCount() const {
    return static_cast<int>(SendMessage(GetSafeHwnd(), LVM_GETITEMCOUNT, 0, 0));
}

bool CListCtrlEx::DeleteItem(int item) {
    return SendMessage(GetSafeHwnd(), LVM_DELETEITEM, static_cast<WPARAM>(item), 0) != 0;
}

bool CListCtrlEx::DeleteAllItems() {
    return SendMessage(GetSafeHwnd(), LVM_DELETEALLITEMS, 0, 0) != 0;
}

int CListCtrlEx::GetNextItem(int start, UINT flags) const {
    return static_cast<int>(SendMessage(GetSafeHwnd(), LVM_GETNEXTITEM,
                                        static_cast<WPARAM>(start), static_cast<LPARAM>(flags)));
}

UINT CListCtrlEx::GetItemState(int item, UINT mask) const {
    return static_cast<UINT>(SendMessage(GetSafeHwnd(), LVM_GETITEMSTATE,
                                         static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
}

bool CListCtrlEx::SetItemState(int item, UINT state, UINT mask) {
    LVITEM it;
    it.state = state;
    it.stateMask = mask;
    return SendMessage(GetSafeHwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                       reinterpret_cast<LPARAM>(&it)) != 0;
}

HWND CListCtrlEx::GetHeader() const {
    return reinterpret_cast<HWND>(SendMessage(GetSafeHwnd(), LVM_GETHEADER, 0, 0));
}

DWORD CListCtrlEx::SetExtendedStyle(DWORD style) {
    return static_cast<DWORD>(
        SendMessage(GetSafeHwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}

void CListCtrlEx::SwapColumns(int i, int j) {
    const int n = GetColumnCount();
    if (i < 0 || j < 0 || i >= n || j >= n) return;
    std::vector<int> order(static_cast<size_t>(n));
    SendMessage(GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(n),
                reinterpret_cast<LPARAM>(order.data()));
    std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(j)]);
    SendMessage(GetSafeHwnd(), LVM_SETCOLUMNORDERARRAY, static_cast<WPARAM>(n),
                reinterpret_cast<LPARAM>(order.data()));
}

int CListCtrlEx::SetItemImage(int item, int subItem, int image) {
    const int old = GetItemImage(item, subItem);
    LVITEM it;
    it.mask = LVIF_IMAGE;
    it.iItem = item;
    it.iSubItem = subItem;
    it.iImage = (image == kNoImage || image < 0) ? -1 : image;
    SendMessage(GetSafeHwnd(), LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
    return old;
}

int CListCtrlEx::GetItemImage(int item, int subItem) const {
    LVITEM it;
    it.mask = LVIF_IMAGE;
    it.iItem = item;
    it.iSubItem = subItem;
    if (!SendMessage(GetSafeHwnd(), LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it))) return -1;
    return it.iImage;
}

bool CListCtrlEx::SetImageList(UINT bitmapId, ListImages which, int width, COLORREF maskColour) {
    HIMAGELIST list = LoadProgramBitmap(bitmapId, width, 1, maskColour);
    if (!list) return false;
    SendMessage(GetSafeHwnd(), LVM_SETIMAGELIST, static_cast<WPARAM>(which),
                reinterpret_cast<LPARAM>(list));
    m_imageLists.push_back(list);
    return true;
}

bool CListCtrlEx::SetImageList(UINT bitmapId, int width, int grow, COLORREF maskColour) {
    HIMAGELIST list = LoadProgramBitmap(bitmapId, width, grow, maskColour);
    if (!list) return false;
    SendMessage(GetSafeHwnd(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list));
    m_imageLists.push_back(list);
    return true;
}

void CListCtrlEx::SetColumnWidths(std::initializer_list<int> widths) {
    int column = 0;
    for (int w : widths)
        SendMessage(GetSafeHwnd(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column++),
                    static_cast<LPARAM>(w));
}

void CListCtrlEx::SelectItem(int item) {
    SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessage(GetSafeHwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), 0);
}

void CListCtrlEx::SelectFocused() {
    const int item = GetNextItem(-1, LVNI_FOCUSED);
    if (item < 0) return;
    SetItemState(item, LVIS_SELECTED, LVIS_SELECTED);
    SendMessage(GetSafeHwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), 0);
}

void CListCtrlEx::DeselectFirst() {
    const int item = GetNextItem(-1, LVNI_SELECTED);
    if (item >= 0) SetItemState(item, LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

namespace {

struct Row {
    std::vector<WString> texts;
    std::vector<int> images;
    LPARAM data = 0;
    UINT state = 0;
};

}  // namespace

void CListCtrlEx::SortByColumn(int column, bool caseSensitive) {
    const int n = GetItemCount();
    const int columns = std::max(GetColumnCount(), 1);
    if (column < 0 || column >= columns || n < 2) return;
    constexpr UINT kStates = LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK;
    std::vector<Row> rows(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        Row& r = rows[static_cast<size_t>(i)];
        for (int c = 0; c < columns; ++c) {
            r.texts.push_back(GetItemText(i, c));
            r.images.push_back(GetItemImage(i, c));
        }
        r.data = GetItemData(i);
        r.state = GetItemState(i, kStates);
    }
    const size_t key = static_cast<size_t>(column);
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        return caseSensitive ? a.texts[key] < b.texts[key]
                             : text::CompareNoCase(a.texts[key], b.texts[key]) < 0;
    });
    SendMessage(GetSafeHwnd(), WM_SETREDRAW, 0, 0);
    for (int i = 0; i < n; ++i) {
        Row& r = rows[static_cast<size_t>(i)];
        for (int c = 0; c < columns; ++c) {
            LVITEM it;
            it.mask = LVIF_TEXT | LVIF_IMAGE;
            it.iItem = i;
            it.iSubItem = c;
            it.pszText = r.texts[static_cast<size_t>(c)].data();
            it.iImage = r.images[static_cast<size_t>(c)];
            SendMessage(GetSafeHwnd(), LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&it));
        }
        SetItemData(i, r.data);
        SetItemState(i, r.state, kStates);
    }
    SendMessage(GetSafeHwnd(), WM_SETREDRAW, 1, 0);
}

void CListCtrlEx::SetItemNumber(int item, int subItem, double value, bool emptyIfZero) {
    const WString t = (value == 0 && emptyIfZero) ? WString() : text::Format(u"%.15g", value);
    SetItemText(item, subItem, t.c_str());
}

void CListCtrlEx::SetColumnData(int column, LPARAM value) {
    HeaderSetData(GetHeader(), column, value);
}

LPARAM CListCtrlEx::GetColumnData(int column) const {
    return HeaderGetData(GetHeader(), column);
}

int CListCtrlEx::SetColumnImage(int column, int image) {
    return HeaderSetImage(GetHeader(), column, image);
}

int CListCtrlEx::GetColumnImage(int column) const {
    return HeaderGetImage(GetHeader(), column);
}

void CListCtrlEx::DeleteAllColumns() {
    for (int n = GetColumnCount(); n > 0; --n) SendMessage(GetSafeHwnd(), LVM_DELETECOLUMN, 0, 0);
}

bool CListCtrlEx::CopyItem(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= GetItemCount()) return false;
    const int columns = std::max(GetColumnCount(), 1);
    WString first = GetItemText(from, 0);
    LVITEM it;
    it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    it.iItem = to;
    it.pszText = first.data();
    it.iImage = GetItemImage(from, 0);
    it.lParam = GetItemData(from);
    const int at = static_cast<int>(
        SendMessage(GetSafeHwnd(), LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it)));
    if (at < 0) return false;
    const int source = at <= from ? from + 1 : from;
    for (int c = 1; c < columns; ++c) {
        WString t = GetItemText(source, c);
        LVITEM cell;
        cell.mask = LVIF_TEXT | LVIF_IMAGE;
        cell.iItem = at;
        cell.iSubItem = c;
        cell.pszText = t.data();
        cell.iImage = GetItemImage(source, c);
        SendMessage(GetSafeHwnd(), LVM_SETITEM, 0, reinterpret_cast<LPARAM>(&cell));
    }
    return true;
}

bool CListCtrlEx::MoveItem(int from, int to) {
    if (to < 0) to = 0;
    if (from == to || from < 0) return false;
    if (!CopyItem(from, to)) return false;
    DeleteItem(to <= from ? from + 1 : from);
    return true;
}

int CListCtrlEx::SubItemHitTest(int item, POINT point, RECT* rect) const {
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (!SendMessage(GetSafeHwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(item),
                     reinterpret_cast<LPARAM>(&row)))
        return -1;
    int x = row.left;
    const int columns = GetColumnCount();
    // The strips lie in display order, which need not be column order.
    std::vector<int> order(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) order[static_cast<size_t>(c)] = c;
    if (columns > 0)
        SendMessage(GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(columns),
                    reinterpret_cast<LPARAM>(order.data()));
    for (int c : order) {
        const int w = static_cast<int>(
            SendMessage(GetSafeHwnd(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
        const RECT strip{x, row.top, x + w, row.bottom};
        if (point.x >= strip.left && point.x < strip.right && point.y >= strip.top &&
            point.y < strip.bottom) {
            if (rect) *rect = strip;
            return c;
        }
        x += w;
    }
    return -1;
}

void CListCtrlEx::SetCheck(int item, bool on) {
    SetItemState(item, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK);
}

bool CListCtrlEx::GetCheck(int item) const {
    return ((GetItemState(item, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) != 1;
}
