// The list view (SysListView32), report mode first: columns kept in its
// header control, rows of cells with text and image, item states with the
// state image (check boxes), sorting with a callback, hit tests, label editing
// with an edit control that the owner may move over a sub-item, and custom
// draw notifications when painting.
#include <algorithm>
#include <numeric>

#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"
#include "platform/win/label_edit.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

constexpr int kEditId = 1;

struct Cell {
    WString text;
    int image = I_IMAGECALLBACK;
    bool textCallback = false;
};

struct Row {
    std::vector<Cell> cells;  // by sub-item
    UINT state = 0;
    LPARAM lParam = 0;
    int indent = 0;
};

struct ListState : ControlState {
    HWND header = nullptr;
    std::vector<int> columnSubItem;  // column index -> sub-item
    std::vector<Row> rows;
    HIMAGELIST images[3] = {};
    DWORD exStyle = 0;
    int top = 0;  // first visible row
    int mark = -1;
    COLORREF bk = 0xFFFFFFFF;
};

ListState* StateOf(HWND h) {
    return Control<ListState>(h);
}

int Count(const ListState* st) {
    return static_cast<int>(st->rows.size());
}

Cell* CellOf(ListState* st, int item, int sub) {
    if (item < 0 || item >= Count(st) || sub < 0) return nullptr;
    auto& cells = st->rows[static_cast<size_t>(item)].cells;
    if (static_cast<size_t>(sub) >= cells.size()) cells.resize(static_cast<size_t>(sub) + 1);
    return &cells[static_cast<size_t>(sub)];
}

int HeaderHeight(HWND h) {
    if ((StyleOf(h) & LVS_NOCOLUMNHEADER) || (StyleOf(h) & LVS_TYPEMASK) != LVS_REPORT) return 0;
    return win::theme::Scale(kHeaderHeight);
}

int RowHeight(const ListState* st) {
    int cy = 0;
    if (st->images[LVSIL_SMALL]) ImageList_GetIconSize(st->images[LVSIL_SMALL], nullptr, &cy);
    return std::max(win::theme::Scale(16), cy + 1);
}

int ColumnCount(const ListState* st) {
    return static_cast<int>(st->columnSubItem.size());
}

int ColumnWidth(const ListState* st, int col) {
    HDITEM hd;
    hd.mask = HDI_WIDTH;
    if (!SendMessage(st->header, HDM_GETITEM, static_cast<WPARAM>(col),
                     reinterpret_cast<LPARAM>(&hd)))
        return 0;
    return hd.cxy;
}

// Columns in display order.
std::vector<int> DisplayOrder(const ListState* st) {
    std::vector<int> order(st->columnSubItem.size());
    if (!order.empty())
        SendMessage(st->header, HDM_GETORDERARRAY, order.size(),
                    reinterpret_cast<LPARAM>(order.data()));
    return order;
}

RECT ColumnStrip(const ListState* st, int col) {
    int x = 0;
    for (int c : DisplayOrder(st)) {
        int w = ColumnWidth(st, c);
        if (c == col) return RECT{x, 0, x + w, 0};
        x += w;
    }
    return RECT{};
}

int TotalWidth(const ListState* st) {
    int w = 0;
    for (int c = 0; c < ColumnCount(st); ++c) w += ColumnWidth(st, c);
    return w;
}

RECT RowRect(HWND h, const ListState* st, int item) {
    int rh = RowHeight(st);
    int y = HeaderHeight(h) + (item - st->top) * rh;
    RECT client;
    GetClientRect(h, &client);
    int width = ColumnCount(st) ? TotalWidth(st) : client.right;
    return RECT{0, y, width, y + rh};
}

int SmallImageWidth(const ListState* st) {
    int cx = 0;
    if (st->images[LVSIL_SMALL]) ImageList_GetIconSize(st->images[LVSIL_SMALL], &cx, nullptr);
    return cx;
}
int StateImageWidth(const ListState* st) {
    int cx = 0;
    if (st->images[LVSIL_STATE]) ImageList_GetIconSize(st->images[LVSIL_STATE], &cx, nullptr);
    if (!cx && (st->exStyle & LVS_EX_CHECKBOXES)) cx = 16;
    return cx;
}

// The rectangle of a cell (sub-item 0: the label, after state and images).
RECT CellRect(HWND h, const ListState* st, int item, int sub, int code) {
    RECT row = RowRect(h, st, item);
    int col = -1;
    for (int c = 0; c < ColumnCount(st); ++c)
        if (st->columnSubItem[static_cast<size_t>(c)] == sub) col = c;
    RECT strip = col >= 0 ? ColumnStrip(st, col) : RECT{0, 0, row.right, 0};
    RECT r{strip.left, row.top, strip.right, row.bottom};
    if (sub == 0 && code != LVIR_BOUNDS) {
        int left = r.left + StateImageWidth(st);
        int icon = SmallImageWidth(st);
        if (code == LVIR_ICON) return RECT{left, r.top, left + icon, r.bottom};
        r.left = left + icon;
    }
    return r;
}

LRESULT NotifyList(HWND h, UINT code, int item, int sub, UINT newState, UINT oldState,
                   UINT changed) {
    ListState* st = StateOf(h);
    NMLISTVIEW nm;
    nm.iItem = item;
    nm.iSubItem = sub;
    nm.uNewState = newState;
    nm.uOldState = oldState;
    nm.uChanged = changed;
    if (st && item >= 0 && item < Count(st)) nm.lParam = st->rows[static_cast<size_t>(item)].lParam;
    return SendNotify(h, code, &nm.hdr);
}

// Changes the state bits of one row, with LVN_ITEMCHANGING (non-zero refuses)
// and LVN_ITEMCHANGED; false when refused.
bool ChangeState(HWND h, int item, UINT state, UINT mask) {
    ListState* st = StateOf(h);
    if (!st || item < 0 || item >= Count(st)) return false;
    UINT old = st->rows[static_cast<size_t>(item)].state;
    UINT now = (old & ~mask) | (state & mask);
    if (now == old) return true;
    if (NotifyList(h, LVN_ITEMCHANGING, item, 0, now, old, LVIF_STATE)) return false;
    st = StateOf(h);
    if (!st || item >= Count(st)) return false;
    st->rows[static_cast<size_t>(item)].state = now;
    if ((now & LVIS_SELECTED) && !(old & LVIS_SELECTED)) st->mark = item;
    InvalidateRect(h, nullptr, false);
    NotifyList(h, LVN_ITEMCHANGED, item, 0, now, old, LVIF_STATE);
    return true;
}

// Sets the state of `item` (-1: every row), keeping single selection and one
// focused row.
bool SetItemState(HWND h, int item, UINT state, UINT mask) {
    ListState* st = StateOf(h);
    if (!st) return false;
    if (item == -1) {
        bool ok = true;
        for (int i = 0; st && i < Count(st); ++i, st = StateOf(h))
            ok &= ChangeState(h, i, state, mask);
        return ok;
    }
    if (item < 0 || item >= Count(st)) return false;
    if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && (StyleOf(h) & LVS_SINGLESEL)) {
        for (int i = 0; (st = StateOf(h)) && i < Count(st); ++i)
            if (i != item && (st->rows[static_cast<size_t>(i)].state & LVIS_SELECTED))
                ChangeState(h, i, 0, LVIS_SELECTED);
    }
    if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED)) {
        for (int i = 0; (st = StateOf(h)) && i < Count(st); ++i)
            if (i != item && (st->rows[static_cast<size_t>(i)].state & LVIS_FOCUSED))
                ChangeState(h, i, 0, LVIS_FOCUSED);
    }
    return ChangeState(h, item, state, mask);
}

void FillItem(HWND h, ListState* st, LVITEM* it) {
    if (it->iItem < 0 || it->iItem >= Count(st)) return;
    Row& row = st->rows[static_cast<size_t>(it->iItem)];
    Cell* cell = CellOf(st, it->iItem, it->iSubItem);
    bool askText = (it->mask & LVIF_TEXT) && cell->textCallback;
    bool askImage = (it->mask & LVIF_IMAGE) && cell->image == I_IMAGECALLBACK &&
                    (it->iSubItem == 0 || (st->exStyle & LVS_EX_SUBITEMIMAGES));
    if (it->mask & LVIF_TEXT) CopyText(cell->text, it->pszText, it->cchTextMax);
    if (it->mask & LVIF_IMAGE) it->iImage = cell->image;
    if (it->mask & LVIF_PARAM) it->lParam = row.lParam;
    if (it->mask & LVIF_STATE) it->state = row.state & it->stateMask;
    if (it->mask & LVIF_INDENT) it->iIndent = row.indent;
    if (askText || askImage) {
        NMLVDISPINFO di;
        di.item = *it;
        di.item.mask = (askText ? LVIF_TEXT : 0) | (askImage ? LVIF_IMAGE : 0);
        di.item.lParam = row.lParam;
        SendNotify(h, LVN_GETDISPINFO, &di.hdr);
        if (askImage) it->iImage = di.item.iImage;
        if (askText && di.item.pszText && di.item.pszText != it->pszText)
            CopyText(di.item.pszText, it->pszText, it->cchTextMax);
    }
}

bool SetItem(HWND h, ListState* st, const LVITEM& it) {
    if (it.iItem < 0 || it.iItem >= Count(st) || it.iSubItem < 0) return false;
    Row& row = st->rows[static_cast<size_t>(it.iItem)];
    Cell* cell = CellOf(st, it.iItem, it.iSubItem);
    if (it.mask & LVIF_TEXT) {
        cell->textCallback = it.pszText == LPSTR_TEXTCALLBACK;
        cell->text = (it.pszText && !cell->textCallback) ? WString(it.pszText) : WString();
    }
    if (it.mask & LVIF_IMAGE) cell->image = it.iImage;
    if (it.iSubItem == 0) {
        if (it.mask & LVIF_PARAM) row.lParam = it.lParam;
        if (it.mask & LVIF_INDENT) row.indent = it.iIndent;
    }
    InvalidateRect(h, nullptr, false);
    if ((it.mask & LVIF_STATE) && it.iSubItem == 0)
        return SetItemState(h, it.iItem, it.state, it.stateMask);
    return true;
}

int InsertItem(HWND h, ListState* st, const LVITEM& in) {
    if (in.iSubItem != 0) return -1;
    int at = std::clamp(in.iItem, 0, Count(st));
    DWORD style = StyleOf(h);
    if ((style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) && (in.mask & LVIF_TEXT) && in.pszText &&
        in.pszText != LPSTR_TEXTCALLBACK) {
        bool desc = style & LVS_SORTDESCENDING;
        at = 0;
        while (at < Count(st)) {
            int c =
                text::CompareNoCase(in.pszText, st->rows[static_cast<size_t>(at)].cells[0].text);
            if (desc ? c > 0 : c < 0) break;
            ++at;
        }
    }
    Row row;
    row.cells.resize(1);
    if (st->exStyle & LVS_EX_CHECKBOXES) row.state = INDEXTOSTATEIMAGEMASK(1);
    st->rows.insert(st->rows.begin() + at, row);
    if (st->mark >= at) ++st->mark;
    LVITEM copy = in;
    copy.iItem = at;
    copy.mask &= ~LVIF_STATE;
    SetItem(h, st, copy);
    st->rows[static_cast<size_t>(at)].state |=
        (in.mask & LVIF_STATE) ? (in.state & in.stateMask) : 0;
    NotifyList(h, LVN_INSERTITEM, at, 0, 0, 0, 0);
    InvalidateRect(h, nullptr, false);
    return at;
}

bool DeleteItem(HWND h, int item) {
    ListState* st = StateOf(h);
    if (!st || item < 0 || item >= Count(st)) return false;
    NotifyList(h, LVN_DELETEITEM, item, 0, 0, 0, 0);
    st = StateOf(h);
    if (!st || item >= Count(st)) return false;
    st->rows.erase(st->rows.begin() + item);
    if (st->mark == item)
        st->mark = -1;
    else if (st->mark > item)
        --st->mark;
    st->top = std::clamp(st->top, 0, std::max(0, Count(st) - 1));
    InvalidateRect(h, nullptr, true);
    return true;
}

int CountPerPage(HWND h, const ListState* st) {
    RECT client;
    GetClientRect(h, &client);
    return std::max(1, (client.bottom - HeaderHeight(h)) / RowHeight(st));
}

void EnsureVisible(HWND h, ListState* st, int item) {
    if (item < 0 || item >= Count(st)) return;
    int page = CountPerPage(h, st);
    if (item < st->top)
        st->top = item;
    else if (item >= st->top + page)
        st->top = item - page + 1;
    InvalidateRect(h, nullptr, false);
}

int HitTest(HWND h, ListState* st, LVHITTESTINFO* hi, bool sub) {
    hi->iItem = -1;
    hi->iSubItem = 0;
    hi->flags = LVHT_NOWHERE;
    int y = hi->pt.y - HeaderHeight(h);
    if (y < 0) {
        hi->flags = LVHT_ABOVE;
        return -1;
    }
    int item = st->top + y / RowHeight(st);
    if (item >= Count(st)) {
        hi->flags = LVHT_BELOW;
        return -1;
    }
    RECT row = RowRect(h, st, item);
    if (hi->pt.x < row.left || hi->pt.x >= row.right) return -1;
    hi->iItem = item;
    RECT icon = CellRect(h, st, item, 0, LVIR_ICON);
    if (hi->pt.x < icon.left - 0 && hi->pt.x >= icon.left - StateImageWidth(st))
        hi->flags = LVHT_ONITEMSTATEICON;
    else if (hi->pt.x >= icon.left && hi->pt.x < icon.right)
        hi->flags = LVHT_ONITEMICON;
    else
        hi->flags = LVHT_ONITEMLABEL;
    if (sub) {
        for (int c = 0; c < ColumnCount(st); ++c) {
            RECT s = ColumnStrip(st, c);
            if (hi->pt.x >= s.left && hi->pt.x < s.right)
                hi->iSubItem = st->columnSubItem[static_cast<size_t>(c)];
        }
    }
    return item;
}

// ---- label editing ----

void EndEdit(HWND h, bool cancel) {
    EndLabelEdit(h, cancel);
}

// The owner's LVN_ENDLABELEDIT; an accepted text becomes the item's label.
void FinishEdit(HWND h, int item, const WString* typed) {
    ListState* st = StateOf(h);
    if (!st) return;
    WString text = typed ? *typed : WString();
    NMLVDISPINFO di;
    di.item.mask = LVIF_TEXT;
    di.item.iItem = item;
    di.item.pszText = typed ? text.data() : nullptr;
    di.item.cchTextMax = static_cast<int>(text.size()) + 1;
    if (item >= 0 && item < Count(st)) di.item.lParam = st->rows[static_cast<size_t>(item)].lParam;
    LRESULT accept = SendNotify(h, LVN_ENDLABELEDIT, &di.hdr);
    st = StateOf(h);
    if (!st) return;
    if (typed && accept && item >= 0 && item < Count(st)) {
        st->rows[static_cast<size_t>(item)].cells[0].text = *typed;
        st->rows[static_cast<size_t>(item)].cells[0].textCallback = false;
    }
}

HWND BeginEdit(HWND h, int item) {
    ListState* st = StateOf(h);
    if (!st || item < 0 || item >= Count(st)) return nullptr;
    EndLabelEdit(h, false);
    st = StateOf(h);
    if (!st || item >= Count(st)) return nullptr;
    NMLVDISPINFO di;
    WChar buffer[260] = {};
    di.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    di.item.iItem = item;
    di.item.pszText = buffer;
    di.item.cchTextMax = 260;
    di.item.stateMask = 0xFFFFFFFF;
    FillItem(h, st, &di.item);
    if (SendNotify(h, LVN_BEGINLABELEDIT, &di.hdr)) return nullptr;  // the owner refused
    st = StateOf(h);
    if (!st || item >= Count(st)) return nullptr;
    return BeginLabelEdit(h, buffer, CellRect(h, st, item, 0, LVIR_LABEL), ES_AUTOHSCROLL, kEditId,
                          [item](HWND list, const WString* text) { FinishEdit(list, item, text); });
}

// ---- painting ----

// Text cut to a width with "..." at its end.
WString Ellipsis(HDC dc, const WString& text, int width) {
    auto measure = [&](const WString& t) {
        SIZE sz{};
        GetTextExtentPoint32(dc, t.data(), static_cast<int>(t.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    if (measure(text) <= width) return text;
    WString t = text;
    while (!t.empty()) {
        t.pop_back();
        if (!t.empty() && t.back() >= 0xD800 && t.back() < 0xDC00) t.pop_back();
        if (measure(t + u"...") <= width) return t + u"...";
    }
    return u"";
}

LRESULT CustomDraw(HWND h, HDC dc, DWORD stage, int item, int sub, RECT rc, UINT state,
                   LPARAM lParam, COLORREF* background = nullptr) {
    NMLVCUSTOMDRAW cd;
    cd.nmcd.dwDrawStage = stage;
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = rc;
    cd.nmcd.dwItemSpec = static_cast<uintptr_t>(item < 0 ? 0 : item);
    cd.nmcd.uItemState = state;
    cd.nmcd.lItemlParam = lParam;
    cd.clrText = GetSysColor(COLOR_WINDOWTEXT);
    cd.clrTextBk = GetSysColor(COLOR_WINDOW);
    cd.iSubItem = sub;
    LRESULT r = SendNotify(h, NM_CUSTOMDRAW, &cd.nmcd.hdr);
    SetTextColor(dc, cd.clrText);
    if (background) *background = cd.clrTextBk;
    return r;
}

void Paint(HWND h) {
    ControlPaint p(h, -1);
    HDC dc = p.dc();
    ListState* st = StateOf(h);
    if (!dc || !st) return;
    RECT client;
    GetClientRect(h, &client);
    LRESULT pre = CustomDraw(h, dc, CDDS_PREPAINT, -1, 0, client, 0, 0);
    if (pre & CDRF_SKIPDEFAULT) return;
    if (!(st = StateOf(h))) return;
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    int page = CountPerPage(h, st) + 1;
    for (int i = st->top; i < Count(st) && i < st->top + page; ++i) {
        if (!(st = StateOf(h))) return;
        const Row row = st->rows[static_cast<size_t>(i)];
        bool selected =
            (row.state & LVIS_SELECTED) && (GetFocus() == h || (StyleOf(h) & LVS_SHOWSELALWAYS));
        UINT cdState =
            (selected ? CDIS_SELECTED : 0) | ((row.state & LVIS_FOCUSED) ? CDIS_FOCUS : 0);
        RECT rr = RowRect(h, st, i);
        LRESULT itemRes = 0;
        COLORREF rowBk = GetSysColor(COLOR_WINDOW);
        // Each row starts from the window text colour: a selected row above
        // must not leave its highlight text colour behind.
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        if (pre & CDRF_NOTIFYITEMDRAW)
            itemRes =
                CustomDraw(h, dc, CDDS_ITEMPREPAINT, i, 0, rr, cdState, row.lParam, &rowBk);
        if (itemRes & CDRF_SKIPDEFAULT) continue;
        if (rowBk != GetSysColor(COLOR_WINDOW) && !selected) {
            // The row's background as the parent chose it.
            HBRUSH b = CreateSolidBrush(rowBk);
            FillRect(dc, &rr, b);
            DeleteObject(b);
        }
        if ((StyleOf(h) & LVS_OWNERDRAWFIXED) && (StyleOf(h) & LVS_TYPEMASK) == LVS_REPORT) {
            // The owner draws the whole row.
            DRAWITEMSTRUCT dis;
            dis.CtlType = ODT_LISTVIEW;
            dis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
            dis.itemID = static_cast<UINT>(i);
            dis.itemAction = ODA_DRAWENTIRE;
            dis.itemState = (selected ? ODS_SELECTED : 0) |
                            ((row.state & LVIS_FOCUSED) && GetFocus() == h ? ODS_FOCUS : 0);
            dis.hwndItem = h;
            dis.hDC = dc;
            dis.rcItem = rr;
            dis.itemData = static_cast<uintptr_t>(row.lParam);
            SendMessage(GetParent(h), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
            if (!(st = StateOf(h))) return;
            if (itemRes & CDRF_NOTIFYPOSTPAINT)
                CustomDraw(h, dc, CDDS_ITEMPOSTPAINT, i, 0, rr, cdState, row.lParam);
            continue;
        }
        if (selected) {
            RECT sel =
                (st->exStyle & LVS_EX_FULLROWSELECT) ? rr : CellRect(h, st, i, 0, LVIR_LABEL);
            HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
            FillRect(dc, &sel, b);
            DeleteObject(b);
        }
        const COLORREF rowText = GetTextColor(dc);
        int cols = std::max(1, ColumnCount(st));
        for (int c = 0; c < cols; ++c) {
            int sub = ColumnCount(st) ? st->columnSubItem[static_cast<size_t>(c)] : 0;
            RECT cr = CellRect(h, st, i, sub, LVIR_BOUNDS);
            if ((itemRes & CDRF_NOTIFYSUBITEMDRAW) &&
                (CustomDraw(h, dc, CDDS_ITEMPREPAINT | CDDS_SUBITEM, i, sub, cr, cdState,
                            row.lParam) &
                 CDRF_SKIPDEFAULT))
                continue;
            if (!(st = StateOf(h))) return;
            const bool highlighted = selected && (sub == 0 || (st->exStyle & LVS_EX_FULLROWSELECT));
            SetTextColor(dc, highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : rowText);
            if (sub == 0 && st->images[LVSIL_STATE] && (row.state & LVIS_STATEIMAGEMASK)) {
                ImageList_Draw(st->images[LVSIL_STATE], static_cast<int>(row.state >> 12) - 1, dc,
                               cr.left, cr.top, ILD_TRANSPARENT);
            }
            LVITEM it;
            WChar buffer[260] = {};
            it.mask = LVIF_TEXT | LVIF_IMAGE;
            it.iItem = i;
            it.iSubItem = sub;
            it.pszText = buffer;
            it.cchTextMax = 260;
            FillItem(h, st, &it);
            RECT label = sub == 0 ? CellRect(h, st, i, 0, LVIR_LABEL) : cr;
            if (st->images[LVSIL_SMALL] && it.iImage >= 0 &&
                (sub == 0 || (st->exStyle & LVS_EX_SUBITEMIMAGES))) {
                int left = sub == 0 ? CellRect(h, st, i, 0, LVIR_ICON).left : label.left;
                ImageList_Draw(st->images[LVSIL_SMALL], it.iImage, dc, left, label.top,
                               ILD_TRANSPARENT);
                if (sub != 0) label.left += SmallImageWidth(st);
            }
            label.left += 2;
            DrawTextIn(dc, Ellipsis(dc, buffer, label.right - label.left - 2), label,
                       DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX |
                           win::look::ReadingOrder(h));
        }
        if (st->exStyle & LVS_EX_GRIDLINES) {
            HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
            HPEN old = SelectObject(dc, pen);
            MoveToEx(dc, rr.left, rr.bottom - 1, nullptr);
            LineTo(dc, rr.right, rr.bottom - 1);
            SelectObject(dc, old);
            DeleteObject(pen);
        }
        if (itemRes & CDRF_NOTIFYPOSTPAINT)
            CustomDraw(h, dc, CDDS_ITEMPOSTPAINT, i, 0, rr, cdState, row.lParam);
    }
    if (pre & CDRF_NOTIFYPOSTPAINT) CustomDraw(h, dc, CDDS_POSTPAINT, -1, 0, client, 0, 0);
}

void LayoutHeader(HWND h, ListState* st) {
    if (!st->header) return;
    RECT client;
    GetClientRect(h, &client);
    int height = HeaderHeight(h);
    MoveWindow(st->header, 0, 0, std::max<int>(client.right, TotalWidth(st)), height, false);
    ShowWindow(st->header, height ? SW_SHOW : SW_HIDE);
}

LRESULT InsertColumn(HWND h, ListState* st, int index, const LVCOLUMN& col) {
    HDITEM hd;
    hd.mask = HDI_FORMAT | HDI_LPARAM;
    hd.fmt = (col.mask & LVCF_FMT) ? col.fmt : LVCFMT_LEFT;
    if (col.mask & LVCF_WIDTH) hd.mask |= HDI_WIDTH, hd.cxy = col.cx;
    if (col.mask & LVCF_TEXT) hd.mask |= HDI_TEXT, hd.pszText = col.pszText;
    if (col.mask & LVCF_IMAGE) hd.mask |= HDI_IMAGE, hd.iImage = col.iImage;
    if (col.mask & LVCF_ORDER) hd.mask |= HDI_ORDER, hd.iOrder = col.iOrder;
    int at = static_cast<int>(SendMessage(
        st->header, HDM_INSERTITEM, static_cast<WPARAM>(std::clamp(index, 0, ColumnCount(st))),
        reinterpret_cast<LPARAM>(&hd)));
    if (at < 0) return -1;
    int sub = (col.mask & LVCF_SUBITEM) ? col.iSubItem : at;
    st->columnSubItem.insert(st->columnSubItem.begin() + at, sub);
    LayoutHeader(h, st);
    InvalidateRect(h, nullptr, true);
    return at;
}

bool GetColumn(ListState* st, int index, LVCOLUMN* out) {
    if (index < 0 || index >= ColumnCount(st)) return false;
    HDITEM hd;
    hd.mask =
        HDI_FORMAT | HDI_WIDTH | HDI_ORDER | HDI_IMAGE | ((out->mask & LVCF_TEXT) ? HDI_TEXT : 0);
    hd.pszText = out->pszText;
    hd.cchTextMax = out->cchTextMax;
    SendMessage(st->header, HDM_GETITEM, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&hd));
    if (out->mask & LVCF_FMT) out->fmt = hd.fmt;
    if (out->mask & LVCF_WIDTH) out->cx = hd.cxy;
    if (out->mask & LVCF_SUBITEM) out->iSubItem = st->columnSubItem[static_cast<size_t>(index)];
    if (out->mask & LVCF_IMAGE) out->iImage = hd.iImage;
    if (out->mask & LVCF_ORDER) out->iOrder = hd.iOrder;
    return true;
}

bool SetColumn(HWND h, ListState* st, int index, const LVCOLUMN& in) {
    if (index < 0 || index >= ColumnCount(st)) return false;
    HDITEM hd;
    if (in.mask & LVCF_FMT) hd.mask |= HDI_FORMAT, hd.fmt = in.fmt;
    if (in.mask & LVCF_WIDTH) hd.mask |= HDI_WIDTH, hd.cxy = in.cx;
    if (in.mask & LVCF_TEXT) hd.mask |= HDI_TEXT, hd.pszText = in.pszText;
    if (in.mask & LVCF_IMAGE) hd.mask |= HDI_IMAGE, hd.iImage = in.iImage;
    if (in.mask & LVCF_ORDER) hd.mask |= HDI_ORDER, hd.iOrder = in.iOrder;
    if (in.mask & LVCF_SUBITEM) st->columnSubItem[static_cast<size_t>(index)] = in.iSubItem;
    bool ok = SendMessage(st->header, HDM_SETITEM, static_cast<WPARAM>(index),
                          reinterpret_cast<LPARAM>(&hd)) != 0;
    LayoutHeader(h, st);
    InvalidateRect(h, nullptr, true);
    return ok;
}

// Width that fits the column's texts (-1) or also its header text (-2).
int AutoWidth(HWND h, ListState* st, int col, bool withHeader) {
    HDC dc = GetDC(h);
    Window* w = Find(h);
    HFONT old = (w && w->font) ? SelectObject(dc, w->font) : nullptr;
    auto measure = [&](const WString& s) {
        SIZE sz{};
        GetTextExtentPoint32(dc, s.c_str(), static_cast<int>(s.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    int sub = st->columnSubItem[static_cast<size_t>(col)];
    int width = 0;
    for (int i = 0; i < Count(st); ++i) {
        LVITEM it;
        WChar buffer[260] = {};
        it.mask = LVIF_TEXT;
        it.iItem = i;
        it.iSubItem = sub;
        it.pszText = buffer;
        it.cchTextMax = 260;
        FillItem(h, st, &it);
        width = std::max(width, measure(buffer));
    }
    if (sub == 0) width += StateImageWidth(st) + SmallImageWidth(st);
    if (withHeader) {
        WChar buffer[260] = {};
        HDITEM hd;
        hd.mask = HDI_TEXT;
        hd.pszText = buffer;
        hd.cchTextMax = 260;
        SendMessage(st->header, HDM_GETITEM, static_cast<WPARAM>(col),
                    reinterpret_cast<LPARAM>(&hd));
        width = std::max(width, measure(buffer) + 8);
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(h, dc);
    return width + 6;
}

}  // namespace

LRESULT ListViewProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ListState* st = StateOf(h);
    if (!st && msg != WM_NCCREATE && msg != WM_CREATE) {
        st = EnsureControl<ListState>(h);
        if (!st) return DefWindowProc(h, msg, wp, lp);
    }
    int item = static_cast<int>(wp);
    switch (msg) {
        case WM_SETFONT:
            // The header shows its columns in the list's font.
            if (st && st->header) SendMessage(st->header, WM_SETFONT, wp, lp);
            break;
        case WM_CREATE: {
            st = EnsureControl<ListState>(h);
            st->header = CreateWindowEx(0, WC_HEADER, u"", WS_CHILD | HDS_HORZ | HDS_BUTTONS, 0, 0,
                                        0, 0, h, nullptr, nullptr, nullptr);
            LayoutHeader(h, st);
            return 0;
        }
        case WM_SIZE:
            LayoutHeader(h, st);
            return 0;
        case LVM_GETHEADER:
            return reinterpret_cast<LRESULT>(st->header);
        case LVM_GETITEMCOUNT:
            return Count(st);
        case LVM_INSERTITEM:
            return lp ? InsertItem(h, st, *reinterpret_cast<const LVITEM*>(lp)) : -1;
        case LVM_SETITEM:
            return lp && SetItem(h, st, *reinterpret_cast<const LVITEM*>(lp));
        case LVM_GETITEM: {
            auto* it = reinterpret_cast<LVITEM*>(lp);
            if (!it || it->iItem < 0 || it->iItem >= Count(st)) return FALSE;
            FillItem(h, st, it);
            return TRUE;
        }
        case LVM_SETITEMTEXT: {
            auto* it = reinterpret_cast<LVITEM*>(lp);
            if (!it) return FALSE;
            LVITEM copy;
            copy.mask = LVIF_TEXT;
            copy.iItem = item;
            copy.iSubItem = it->iSubItem;
            copy.pszText = it->pszText;
            return SetItem(h, st, copy);
        }
        case LVM_GETITEMTEXT: {
            auto* it = reinterpret_cast<LVITEM*>(lp);
            if (!it || item < 0 || item >= Count(st)) return 0;
            it->mask = LVIF_TEXT;
            it->iItem = item;
            FillItem(h, st, it);
            return it->pszText ? static_cast<LRESULT>(std::char_traits<WChar>::length(it->pszText))
                               : 0;
        }
        case LVM_SETITEMSTATE: {
            auto* it = reinterpret_cast<const LVITEM*>(lp);
            return it && SetItemState(h, item, it->state, it->stateMask);
        }
        case LVM_GETITEMSTATE:
            return item >= 0 && item < Count(st)
                       ? static_cast<LRESULT>(st->rows[static_cast<size_t>(item)].state &
                                              static_cast<UINT>(lp))
                       : 0;
        case LVM_DELETEITEM:
            return DeleteItem(h, item);
        case LVM_DELETEALLITEMS: {
            bool quiet = NotifyList(h, LVN_DELETEALLITEMS, -1, 0, 0, 0, 0) != 0;
            st = StateOf(h);
            if (!st) return FALSE;
            if (!quiet) {
                while (StateOf(h) && Count(StateOf(h)) > 0)
                    if (!DeleteItem(h, 0)) break;
            }
            if ((st = StateOf(h))) st->rows.clear(), st->top = 0, st->mark = -1;
            InvalidateRect(h, nullptr, true);
            return TRUE;
        }
        case LVM_GETNEXTITEM: {
            UINT flags = LOWORD(lp);
            UINT want = ((flags & LVNI_SELECTED) ? LVIS_SELECTED : 0) |
                        ((flags & LVNI_FOCUSED) ? LVIS_FOCUSED : 0);
            int step = (flags & LVNI_ABOVE) ? -1 : 1;
            int i = item < 0 ? (step > 0 ? 0 : Count(st) - 1) : item + step;
            for (; i >= 0 && i < Count(st); i += step)
                if ((st->rows[static_cast<size_t>(i)].state & want) == want) return i;
            return -1;
        }
        case LVM_GETSELECTEDCOUNT:
            return std::count_if(st->rows.begin(), st->rows.end(),
                                 [](const Row& r) { return (r.state & LVIS_SELECTED) != 0; });
        case LVM_GETSELECTIONMARK:
            return st->mark;
        case LVM_SETSELECTIONMARK: {
            int old = st->mark;
            st->mark = static_cast<int>(lp);
            return old;
        }
        case LVM_FINDITEM: {
            auto* fi = reinterpret_cast<const LVFINDINFO*>(lp);
            if (!fi) return -1;
            for (int i = item + 1; i < Count(st); ++i) {
                const Row& r = st->rows[static_cast<size_t>(i)];
                if ((fi->flags & LVFI_PARAM) && r.lParam == fi->lParam) return i;
                if ((fi->flags & (LVFI_STRING | LVFI_PARTIAL)) && fi->psz) {
                    WStringView want(fi->psz);
                    WStringView have(r.cells[0].text);
                    if (fi->flags & LVFI_PARTIAL) have = have.substr(0, want.size());
                    if (text::EqualsNoCase(have, want)) return i;
                }
            }
            return -1;
        }
        case LVM_SORTITEMS:
        case LVM_SORTITEMSEX: {
            auto cmp = reinterpret_cast<PFNLVCOMPARE>(lp);
            if (!cmp) return FALSE;
            std::vector<int> idx(st->rows.size());
            std::iota(idx.begin(), idx.end(), 0);
            std::vector<Row> rows = st->rows;
            bool byIndex = msg == LVM_SORTITEMSEX;
            std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
                LPARAM la = byIndex ? a : rows[static_cast<size_t>(a)].lParam;
                LPARAM lb = byIndex ? b : rows[static_cast<size_t>(b)].lParam;
                return cmp(la, lb, static_cast<LPARAM>(wp)) < 0;
            });
            if (!(st = StateOf(h)) || st->rows.size() != rows.size()) return FALSE;
            for (size_t i = 0; i < idx.size(); ++i) st->rows[i] = rows[static_cast<size_t>(idx[i])];
            st->mark = -1;
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case LVM_INSERTCOLUMN:
            return lp ? InsertColumn(h, st, item, *reinterpret_cast<const LVCOLUMN*>(lp)) : -1;
        case LVM_DELETECOLUMN:
            if (item < 0 || item >= ColumnCount(st)) return FALSE;
            SendMessage(st->header, HDM_DELETEITEM, wp, 0);
            st->columnSubItem.erase(st->columnSubItem.begin() + item);
            LayoutHeader(h, st);
            InvalidateRect(h, nullptr, true);
            return TRUE;
        case LVM_GETCOLUMN:
            return lp && GetColumn(st, item, reinterpret_cast<LVCOLUMN*>(lp));
        case LVM_SETCOLUMN:
            return lp && SetColumn(h, st, item, *reinterpret_cast<const LVCOLUMN*>(lp));
        case LVM_GETCOLUMNWIDTH:
            return item >= 0 && item < ColumnCount(st) ? ColumnWidth(st, item) : 0;
        case LVM_SETCOLUMNWIDTH: {
            if (item < 0 || item >= ColumnCount(st)) return FALSE;
            LVCOLUMN col;
            col.mask = LVCF_WIDTH;
            int want = static_cast<int>(static_cast<int16_t>(LOWORD(lp)));
            col.cx = want < 0 ? AutoWidth(h, st, item, want == -2) : want;
            return SetColumn(h, st, item, col);
        }
        case LVM_SETCOLUMNORDERARRAY:
            return SendMessage(st->header, HDM_SETORDERARRAY, wp, lp);
        case LVM_GETCOLUMNORDERARRAY:
            return SendMessage(st->header, HDM_GETORDERARRAY, wp, lp);
        case LVM_SETIMAGELIST: {
            if (wp > 2) return 0;
            HIMAGELIST old = st->images[wp];
            st->images[wp] = reinterpret_cast<HIMAGELIST>(lp);
            InvalidateRect(h, nullptr, true);
            return reinterpret_cast<LRESULT>(old);
        }
        case LVM_GETIMAGELIST:
            return wp <= 2 ? reinterpret_cast<LRESULT>(st->images[wp]) : 0;
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            DWORD old = st->exStyle;
            DWORD mask = wp ? static_cast<DWORD>(wp) : 0xFFFFFFFF;
            st->exStyle = (old & ~mask) | (static_cast<DWORD>(lp) & mask);
            if ((st->exStyle & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES))
                for (Row& r : st->rows)
                    if (!(r.state & LVIS_STATEIMAGEMASK)) r.state |= INDEXTOSTATEIMAGEMASK(1);
            InvalidateRect(h, nullptr, true);
            return static_cast<LRESULT>(old);
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return static_cast<LRESULT>(st->exStyle);
        case LVM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r || item < 0 || item >= Count(st)) return FALSE;
            int code = r->left;
            *r = code == LVIR_BOUNDS || code == LVIR_SELECTBOUNDS ? RowRect(h, st, item)
                                                                  : CellRect(h, st, item, 0, code);
            return TRUE;
        }
        case LVM_GETSUBITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r || item < 0 || item >= Count(st)) return FALSE;
            int sub = r->top, code = r->left;
            *r = sub == 0 && code == LVIR_BOUNDS ? RowRect(h, st, item)
                                                 : CellRect(h, st, item, sub, code);
            return TRUE;
        }
        case LVM_HITTEST:
        case LVM_SUBITEMHITTEST: {
            auto* hi = reinterpret_cast<LVHITTESTINFO*>(lp);
            return hi ? HitTest(h, st, hi, msg == LVM_SUBITEMHITTEST) : -1;
        }
        case LVM_ENSUREVISIBLE:
            EnsureVisible(h, st, item);
            return item >= 0 && item < Count(st);
        case LVM_GETTOPINDEX:
            return st->top;
        case LVM_GETCOUNTPERPAGE:
            return CountPerPage(h, st);
        case LVM_REDRAWITEMS:
        case LVM_UPDATE:
            InvalidateRect(h, nullptr, false);
            return TRUE;
        case LVM_SETITEMCOUNT:
            st->rows.reserve(wp);
            return TRUE;
        case LVM_SETBKCOLOR:
            st->bk = static_cast<COLORREF>(lp);
            return TRUE;
        case LVM_GETBKCOLOR:
            return st->bk == 0xFFFFFFFF ? GetSysColor(COLOR_WINDOW) : st->bk;
        case LVM_EDITLABEL:
            if (item < 0) {
                EndEdit(h, true);
                return 0;
            }
            if (!(StyleOf(h) & LVS_EDITLABELS)) return 0;
            SetFocus(h);
            return reinterpret_cast<LRESULT>(BeginEdit(h, item));
        case LVM_GETEDITCONTROL:
            return reinterpret_cast<LRESULT>(LabelEditOf(h));
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lp);
            if (nm && nm->hwndFrom == st->header && nm->code == HDN_ITEMCHANGED)
                InvalidateRect(h, nullptr, true);  // a column was resized
            if (nm && nm->hwndFrom == st->header && nm->code == HDN_ITEMCLICK &&
                !(StyleOf(h) & LVS_NOSORTHEADER)) {
                auto* hn = reinterpret_cast<NMHEADER*>(lp);
                NotifyList(h, LVN_COLUMNCLICK, -1, hn->iItem, 0, 0, 0);
            }
            return 0;
        }
        case WM_SETFOCUS:
            SendNotify(h, NM_SETFOCUS);
            InvalidateRect(h, nullptr, false);
            return 0;
        case WM_KILLFOCUS:
            SendNotify(h, NM_KILLFOCUS);
            InvalidateRect(h, nullptr, false);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KEYDOWN: {
            NMLVKEYDOWN kd;
            kd.wVKey = static_cast<WORD>(wp);
            SendNotify(h, LVN_KEYDOWN, &kd.hdr);
            if (!(st = StateOf(h))) return 0;
            int focus = static_cast<int>(
                SendMessage(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
            int to = focus;
            if (wp == VK_DOWN) to = std::min(focus + 1, Count(st) - 1);
            if (wp == VK_UP) to = std::max(focus - 1, 0);
            if (wp == VK_HOME) to = 0;
            if (wp == VK_END) to = Count(st) - 1;
            if (to != focus && to >= 0) {
                if (StyleOf(h) & LVS_SINGLESEL) {
                    SetItemState(h, to, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                } else {
                    SetItemState(h, -1, 0, LVIS_SELECTED);
                    SetItemState(h, to, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                }
                if ((st = StateOf(h))) EnsureVisible(h, st, to);
            }
            if (wp == VK_RETURN) SendNotify(h, NM_RETURN);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            LVHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            HitTest(h, st, &hi, true);
            win::ListViewUserTap(h, hi.iItem, hi.iSubItem, hi.flags == LVHT_ONITEMSTATEICON);
            return 0;
        }
        case WM_LBUTTONDBLCLK: {
            LVHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            HitTest(h, st, &hi, true);
            win::ListViewUserDoubleTap(h, hi.iItem, hi.iSubItem);
            return 0;
        }
        case WM_PAINT:
            Paint(h);
            return 0;
        case WM_DESTROY:
            ForgetLabelEdit(h);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {

void ListViewUserTap(HWND list, int item, int subItem, bool onStateIcon) {
    ListState* st = StateOf(list);
    if (!st || !IsWindowEnabled(list)) return;
    if (GetFocus() != list) SetFocus(list);
    if (!(st = StateOf(list))) return;
    if (item >= 0 && item < Count(st) && onStateIcon && (st->exStyle & LVS_EX_CHECKBOXES)) {
        UINT s = st->rows[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK;
        SetItemState(list, item, INDEXTOSTATEIMAGEMASK(s == INDEXTOSTATEIMAGEMASK(2) ? 1 : 2),
                     LVIS_STATEIMAGEMASK);
    } else if (item >= 0 && item < Count(st)) {
        if (!(StyleOf(list) & LVS_SINGLESEL))
            for (int i = 0; (st = StateOf(list)) && i < Count(st); ++i)
                if (i != item) ChangeState(list, i, 0, LVIS_SELECTED);
        SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    } else {
        SetItemState(list, -1, 0, LVIS_SELECTED);
    }
    NMITEMACTIVATE nm;
    nm.iItem = item;
    nm.iSubItem = subItem;
    if ((st = StateOf(list)) && item >= 0 && item < Count(st)) {
        RECT r = CellRect(list, st, item, subItem, LVIR_BOUNDS);
        nm.ptAction = POINT{r.left + 1, r.top + 1};
    }
    SendNotify(list, NM_CLICK, &nm.hdr);
}

void ListViewUserDoubleTap(HWND list, int item, int subItem) {
    if (!StateOf(list)) return;
    NMITEMACTIVATE nm;
    nm.iItem = item;
    nm.iSubItem = subItem;
    SendNotify(list, NM_DBLCLK, &nm.hdr);
    if (item >= 0) {
        NMITEMACTIVATE act;
        act.iItem = item;
        act.iSubItem = subItem;
        SendNotify(list, LVN_ITEMACTIVATE, &act.hdr);
    }
}

void ListViewUserColumnClick(HWND list, int column) {
    ListState* st = StateOf(list);
    if (!st) return;
    RECT r;
    if (!SendMessage(st->header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&r)))
        return;
    SendMessage(st->header, WM_LBUTTONUP, 0, MAKELPARAM(r.left + 1, r.top + 1));
}

void ListViewUserEndEdit(HWND list, bool cancel) {
    if (HWND edit = LabelEditOf(list))
        SendMessage(edit, WM_KEYDOWN, cancel ? VK_ESCAPE : VK_RETURN, 0);
}

}  // namespace win
