// The tree view (SysTreeView32): items with text, images, data and state in
// a tree, navigation, expansion with its notifications, the caret item,
// sorting, hit tests and label editing.
#include <cstring>
#include <map>
#include <memory>

#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"
#include "platform/win/label_edit.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

struct Node {
    HTREEITEM self = nullptr;
    Node* parent = nullptr;
    std::vector<Node*> children;
    WString text;
    bool textCallback = false;
    int image = 0, selectedImage = 0;
    int cChildren = 0;  // I_CHILDRENCALLBACK is not kept: 0 or 1 as told
    bool childrenSet = false;
    UINT state = 0;
    LPARAM lParam = 0;
    bool deleting = false;
};

struct TreeState : ControlState {
    Node root;
    std::map<uintptr_t, std::unique_ptr<Node>> nodes;
    uintptr_t next = 0x10;
    Node* caret = nullptr;
    Node* firstVisible = nullptr;
    HIMAGELIST images[3] = {};
    int indent = 19;
};

TreeState* StateOf(HWND h) {
    return Control<TreeState>(h);
}

Node* NodeOf(TreeState* st, HTREEITEM item) {
    if (!item) return nullptr;
    if (item == TVI_ROOT) return &st->root;
    auto it = st->nodes.find(reinterpret_cast<uintptr_t>(item));
    return it == st->nodes.end() ? nullptr : it->second.get();
}

int RowHeight(const TreeState* st) {
    int cy = 0;
    if (st->images[TVSIL_NORMAL]) ImageList_GetIconSize(st->images[TVSIL_NORMAL], nullptr, &cy);
    return std::max(win::theme::Scale(16), cy + 1);
}

bool IsExpanded(const Node* n) {
    return n->state & TVIS_EXPANDED;
}

// Visible items in order (children of expanded items only).
void VisibleItems(const Node* n, std::vector<const Node*>* out) {
    for (const Node* c : n->children) {
        out->push_back(c);
        if (IsExpanded(c)) VisibleItems(c, out);
    }
}

int Depth(const Node* n) {
    int d = 0;
    for (const Node* p = n->parent; p && p->parent; p = p->parent) ++d;
    return d;
}

void FillItem(HWND h, TreeState* st, Node* n, TVITEM* it) {
    if (it->mask & TVIF_TEXT) CopyText(n->text, it->pszText, it->cchTextMax);
    if (it->mask & TVIF_IMAGE) it->iImage = n->image;
    if (it->mask & TVIF_SELECTEDIMAGE) it->iSelectedImage = n->selectedImage;
    if (it->mask & TVIF_PARAM) it->lParam = n->lParam;
    if (it->mask & TVIF_STATE) it->state = n->state & it->stateMask;
    if (it->mask & TVIF_CHILDREN)
        it->cChildren = n->childrenSet ? n->cChildren : (n->children.empty() ? 0 : 1);
    if ((it->mask & TVIF_TEXT) && n->textCallback) {
        NMTVDISPINFO di;
        di.item = *it;
        di.item.mask = TVIF_TEXT;
        di.item.hItem = n->self;
        di.item.lParam = n->lParam;
        SendNotify(h, TVN_GETDISPINFO, &di.hdr);
        if (di.item.pszText && di.item.pszText != it->pszText)
            CopyText(di.item.pszText, it->pszText, it->cchTextMax);
    }
    (void)st;
}

void SetItem(Node* n, const TVITEM& it) {
    if (it.mask & TVIF_TEXT) {
        n->textCallback = it.pszText == LPSTR_TEXTCALLBACK;
        n->text = (it.pszText && !n->textCallback) ? WString(it.pszText) : WString();
    }
    if (it.mask & TVIF_IMAGE) n->image = it.iImage;
    if (it.mask & TVIF_SELECTEDIMAGE) n->selectedImage = it.iSelectedImage;
    if (it.mask & TVIF_PARAM) n->lParam = it.lParam;
    if (it.mask & TVIF_STATE) {
        UINT mask = it.stateMask & ~TVIS_SELECTED;  // selection goes through the caret
        n->state = (n->state & ~mask) | (it.state & mask);
    }
    if (it.mask & TVIF_CHILDREN) n->cChildren = it.cChildren, n->childrenSet = true;
}

LRESULT NotifyTree(HWND h, UINT code, UINT action, Node* oldNode, Node* newNode) {
    NMTREEVIEW nm;
    nm.action = action;
    auto fill = [](Node* n, TVITEM* it) {
        if (!n) return;
        it->mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        it->hItem = n->self;
        it->state = n->state;
        it->lParam = n->lParam;
        it->iImage = n->image;
        it->iSelectedImage = n->selectedImage;
    };
    fill(oldNode, &nm.itemOld);
    fill(newNode, &nm.itemNew);
    return SendNotify(h, code, &nm.hdr);
}

HTREEITEM Insert(HWND h, TreeState* st, const TVINSERTSTRUCT& in) {
    Node* parent = in.hParent ? NodeOf(st, in.hParent) : &st->root;
    if (!parent) return nullptr;
    auto node = std::make_unique<Node>();
    Node* n = node.get();
    n->self = reinterpret_cast<HTREEITEM>(st->next);
    st->next += 4;
    n->parent = parent;
    SetItem(n, in.item);
    auto& sibs = parent->children;
    auto at = sibs.end();
    if (in.hInsertAfter == TVI_FIRST) {
        at = sibs.begin();
    } else if (in.hInsertAfter == TVI_SORT) {
        at = std::find_if(sibs.begin(), sibs.end(),
                          [&](const Node* s) { return text::CompareNoCase(n->text, s->text) < 0; });
    } else if (in.hInsertAfter && in.hInsertAfter != TVI_LAST) {
        Node* after = NodeOf(st, in.hInsertAfter);
        auto it = std::find(sibs.begin(), sibs.end(), after);
        if (it != sibs.end()) at = it + 1;
    }
    sibs.insert(at, n);
    st->nodes[reinterpret_cast<uintptr_t>(n->self)] = std::move(node);
    InvalidateRect(h, nullptr, false);
    return n->self;
}

void Delete(HWND h, TreeState* st, Node* n);

void DeleteChildren(HWND h, TreeState* st, Node* n) {
    // Children being deleted already stay in the list until they go.
    for (size_t left = n->children.size(); left > 0; --left) {
        auto it = std::find_if(n->children.rbegin(), n->children.rend(),
                               [](const Node* c) { return !c->deleting; });
        if (it == n->children.rend()) break;
        Delete(h, st, *it);
    }
}

void Delete(HWND h, TreeState* st, Node* n) {
    // An owner that deletes the same item again while told of its deletion
    // finds it already going.
    if (n->deleting) return;
    n->deleting = true;
    DeleteChildren(h, st, n);
    NotifyTree(h, TVN_DELETEITEM, 0, n, nullptr);
    auto& sibs = n->parent->children;
    sibs.erase(std::remove(sibs.begin(), sibs.end(), n), sibs.end());
    if (st->caret == n) st->caret = nullptr;
    if (st->firstVisible == n) st->firstVisible = nullptr;
    st->nodes.erase(reinterpret_cast<uintptr_t>(n->self));
    InvalidateRect(h, nullptr, false);
}

bool Expand(HWND h, TreeState* st, Node* n, UINT action) {
    if (!n || n == &st->root) return false;
    UINT code = action & 0x3;
    bool expand = code == TVE_EXPAND || (code == TVE_TOGGLE && !IsExpanded(n));
    bool hasKids = !n->children.empty() || (n->childrenSet && n->cChildren);
    if (!hasKids) return false;
    if (expand == IsExpanded(n) && !(action & TVE_COLLAPSERESET)) return true;
    HTREEITEM self = n->self;
    if (NotifyTree(h, TVN_ITEMEXPANDING, expand ? TVE_EXPAND : TVE_COLLAPSE, nullptr, n))
        return false;
    if (!(st = StateOf(h)) || !(n = NodeOf(st, self))) return false;
    if (expand)
        n->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    else
        n->state &= ~TVIS_EXPANDED;
    if (!expand && (action & TVE_COLLAPSERESET)) {
        n->state &= ~TVIS_EXPANDEDONCE;
        DeleteChildren(h, st, n);
    }
    InvalidateRect(h, nullptr, false);
    NotifyTree(h, TVN_ITEMEXPANDED, expand ? TVE_EXPAND : TVE_COLLAPSE, nullptr, n);
    return true;
}

bool Select(HWND h, TreeState* st, Node* n, UINT cause) {
    if (n == st->caret) return true;
    Node* old = st->caret;
    HTREEITEM want = n ? n->self : nullptr;
    if (NotifyTree(h, TVN_SELCHANGING, cause, old, n)) return false;
    if (!(st = StateOf(h))) return false;
    n = want ? NodeOf(st, want) : nullptr;
    if (want && !n) return false;
    if (st->caret) st->caret->state &= ~TVIS_SELECTED;
    old = st->caret;
    st->caret = n;
    if (n) {
        n->state |= TVIS_SELECTED;
        for (Node* p = n->parent; p && p != &st->root; p = p->parent)
            if (!IsExpanded(p)) Expand(h, st, p, TVE_EXPAND);
    }
    InvalidateRect(h, nullptr, false);
    NotifyTree(h, TVN_SELCHANGED, cause, old, n);
    return true;
}

Node* Sibling(Node* n, int step) {
    auto& sibs = n->parent->children;
    auto it = std::find(sibs.begin(), sibs.end(), n);
    long i = (it - sibs.begin()) + step;
    if (i < 0 || i >= static_cast<long>(sibs.size())) return nullptr;
    return sibs[static_cast<size_t>(i)];
}

Node* Next(TreeState* st, Node* from, UINT code) {
    switch (code) {
        case TVGN_ROOT:
            return st->root.children.empty() ? nullptr : st->root.children.front();
        case TVGN_CARET:
            return st->caret;
        case TVGN_FIRSTVISIBLE:
            return st->firstVisible ? st->firstVisible : Next(st, nullptr, TVGN_ROOT);
        default:
            break;
    }
    if (!from) return nullptr;
    switch (code) {
        case TVGN_NEXT:
            return from == &st->root ? nullptr : Sibling(from, 1);
        case TVGN_PREVIOUS:
            return from == &st->root ? nullptr : Sibling(from, -1);
        case TVGN_PARENT:
            return from->parent == &st->root ? nullptr : from->parent;
        case TVGN_CHILD:
            return from->children.empty() ? nullptr : from->children.front();
        case TVGN_NEXTVISIBLE:
        case TVGN_PREVIOUSVISIBLE: {
            std::vector<const Node*> vis;
            VisibleItems(&st->root, &vis);
            auto it = std::find(vis.begin(), vis.end(), from);
            if (it == vis.end()) return nullptr;
            if (code == TVGN_NEXTVISIBLE)
                return it + 1 == vis.end() ? nullptr : const_cast<Node*>(*(it + 1));
            return it == vis.begin() ? nullptr : const_cast<Node*>(*(it - 1));
        }
        default:
            return nullptr;
    }
}

RECT ItemRect(HWND h, TreeState* st, Node* n, bool textOnly) {
    std::vector<const Node*> vis;
    VisibleItems(&st->root, &vis);
    auto it = std::find(vis.begin(), vis.end(), n);
    if (it == vis.end()) return RECT{};
    auto first = std::find(vis.begin(), vis.end(), Next(st, nullptr, TVGN_FIRSTVISIBLE));
    long row = (it - vis.begin()) - (first == vis.end() ? 0 : first - vis.begin());
    int rh = RowHeight(st);
    RECT client;
    GetClientRect(h, &client);
    RECT r{0, static_cast<LONG>(row * rh), client.right, static_cast<LONG>((row + 1) * rh)};
    if (textOnly) {
        int levels = Depth(n) + ((StyleOf(h) & TVS_LINESATROOT) ? 1 : 0);
        int cx = 0;
        if (st->images[TVSIL_NORMAL]) ImageList_GetIconSize(st->images[TVSIL_NORMAL], &cx, nullptr);
        r.left = levels * st->indent + cx + win::theme::Scale(3);
        r.right = r.left + static_cast<LONG>(n->text.size()) * win::theme::Scale(6) +
                  win::theme::Scale(4);
    }
    return r;
}

// ---- label editing (the list view's editor) ----

// The owner's TVN_ENDLABELEDIT; an accepted text becomes the item's label.
// The item is looked up afresh: it may have gone while the edit was open.
void FinishEdit(HWND h, HTREEITEM self, const WString* typed) {
    TreeState* st = StateOf(h);
    Node* n = st ? NodeOf(st, self) : nullptr;
    WString text = typed ? *typed : WString();
    NMTVDISPINFO di;
    di.item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM;
    di.item.hItem = n ? self : nullptr;
    di.item.pszText = typed ? text.data() : nullptr;
    di.item.lParam = n ? n->lParam : 0;
    LRESULT accept = SendNotify(h, TVN_ENDLABELEDIT, &di.hdr);
    if (typed && accept && (st = StateOf(h)) && (n = NodeOf(st, self))) n->text = *typed;
}

HWND BeginEdit(HWND h, TreeState* st, Node* n) {
    if (!n || !(StyleOf(h) & TVS_EDITLABELS)) return nullptr;
    HTREEITEM self = n->self;
    EndLabelEdit(h, false);
    if (!(st = StateOf(h)) || !(n = NodeOf(st, self))) return nullptr;
    NMTVDISPINFO di;
    di.item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM;
    di.item.hItem = self;
    di.item.pszText = n->text.data();
    di.item.lParam = n->lParam;
    if (SendNotify(h, TVN_BEGINLABELEDIT, &di.hdr)) return nullptr;
    if (!(st = StateOf(h)) || !(n = NodeOf(st, self))) return nullptr;
    RECT r = ItemRect(h, st, n, true);
    r.right = std::max<LONG>(r.right, r.left + 40);
    return BeginLabelEdit(h, n->text, r, 0, 0,
                          [self](HWND tree, const WString* text) { FinishEdit(tree, self, text); });
}

void Paint(HWND h) {
    ControlPaint p(h);
    TreeState* st = StateOf(h);
    HDC dc = p.dc();
    if (!dc || !st) return;
    std::vector<const Node*> vis;
    VisibleItems(&st->root, &vis);
    DWORD style = StyleOf(h);
    bool atRoot = style & TVS_LINESATROOT;
    auto hasNext = [](const Node* n) {
        const auto& sibs = n->parent->children;
        return !sibs.empty() && sibs.back() != n;
    };
    // Lines and buttons are drawn in units of a pixel at 96 dots per inch:
    // on a denser screen the same picture, each unit a square of pixels.
    const int u = win::theme::Scale(1);
    auto dotted = [&](int x0, int y0, int x1, int y1) {
        // Every other unit, on a grid so that lines meet cleanly.
        COLORREF c = GetSysColor(COLOR_GRAYTEXT);
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                if (((x / u + y / u) & 1) == 0) SetPixel(dc, x, y, c);
    };
    const int box = win::theme::Scale(9), sign = win::theme::Scale(5);
    for (const Node* c : vis) {
        Node* n = const_cast<Node*>(c);
        RECT r = ItemRect(h, st, n, true);
        if (r.bottom <= 0) continue;
        RECT row = ItemRect(h, st, n, false);
        int level = Depth(n) + (atRoot ? 1 : 0);
        int mid = (row.top + row.bottom) / 2;
        if (level > 0) {
            int cx = (level - 1) * st->indent + st->indent / 2;
            cx -= cx % u;  // lines on the unit grid
            if (style & TVS_HASLINES) {
                bool first = n->parent == &st->root && n->parent->children.front() == n;
                dotted(cx, first ? mid : row.top, cx + u - 1,
                       hasNext(n) ? row.bottom - 1 : mid + u - 1);
                dotted(cx, mid, cx + st->indent / 2 + u - 1, mid + u - 1);
                // The lines of ancestors that have siblings still to come.
                int lv = level - 1;
                for (const Node* a = n->parent; a && a->parent && lv > 0; a = a->parent, --lv)
                    if (hasNext(a)) {
                        int ax = (lv - 1) * st->indent + st->indent / 2;
                        ax -= ax % u;
                        dotted(ax, row.top, ax + u - 1, row.bottom - 1);
                    }
            }
            bool kids = n->childrenSet ? n->cChildren != 0 : !n->children.empty();
            if ((style & TVS_HASBUTTONS) && kids) {
                // A framed square centred on the lines, with a minus, or a
                // plus while collapsed.
                int left = cx - (box - u) / 2, top = mid - (box - u) / 2;
                RECT frame{left, top, left + box, top + box};
                FillRect(dc, &frame, GetSysColorBrush(COLOR_WINDOW));
                for (int k = 0; k < u; ++k) {
                    FrameRect(dc, &frame, GetSysColorBrush(COLOR_GRAYTEXT));
                    InflateRect(&frame, -1, -1);
                }
                int across = left + (box - sign) / 2, centre = top + (box - u) / 2;
                RECT bar{across, centre, across + sign, centre + u};
                FillRect(dc, &bar, GetSysColorBrush(COLOR_WINDOWTEXT));
                if (!IsExpanded(n)) {
                    int down = top + (box - sign) / 2, middle = left + (box - u) / 2;
                    RECT up{middle, down, middle + u, down + sign};
                    FillRect(dc, &up, GetSysColorBrush(COLOR_WINDOWTEXT));
                }
            }
        }
        if (st->images[TVSIL_NORMAL]) {
            int cx = 0;
            ImageList_GetIconSize(st->images[TVSIL_NORMAL], &cx, nullptr);
            ImageList_Draw(st->images[TVSIL_NORMAL], n == st->caret ? n->selectedImage : n->image,
                           dc, r.left - cx - 1, r.top, ILD_TRANSPARENT);
        }
        TVITEM it;
        WChar buffer[260] = {};
        it.mask = TVIF_TEXT;
        it.pszText = buffer;
        it.cchTextMax = 260;
        FillItem(h, st, n, &it);
        SIZE ext{};
        GetTextExtentPoint32(dc, buffer, static_cast<int>(std::char_traits<WChar>::length(buffer)),
                             &ext);
        r.right = r.left + ext.cx + win::theme::Scale(4);
        if (n == st->caret) {
            HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
            FillRect(dc, &r, b);
            DeleteObject(b);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        }
        RECT text = r;
        text.left += win::theme::Scale(2);
        DrawTextIn(dc, buffer, text,
                   DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX |
                       win::look::ReadingOrder(h));
    }
}

}  // namespace

LRESULT TreeViewProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    TreeState* st = EnsureControl<TreeState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    auto item = reinterpret_cast<HTREEITEM>(lp);
    switch (msg) {
        case TVM_INSERTITEM:
            return lp ? reinterpret_cast<LRESULT>(
                            Insert(h, st, *reinterpret_cast<const TVINSERTSTRUCT*>(lp)))
                      : 0;
        case TVM_DELETEITEM: {
            if (!lp || item == TVI_ROOT) {
                DeleteChildren(h, st, &st->root);
                return TRUE;
            }
            Node* n = NodeOf(st, item);
            if (!n) return FALSE;
            Delete(h, st, n);
            return TRUE;
        }
        case TVM_GETCOUNT:
            return static_cast<LRESULT>(st->nodes.size());
        case TVM_GETITEM: {
            auto* it = reinterpret_cast<TVITEM*>(lp);
            Node* n = it ? NodeOf(st, it->hItem) : nullptr;
            if (!n || n == &st->root) return FALSE;
            FillItem(h, st, n, it);
            return TRUE;
        }
        case TVM_SETITEM: {
            auto* it = reinterpret_cast<const TVITEM*>(lp);
            Node* n = it ? NodeOf(st, it->hItem) : nullptr;
            if (!n || n == &st->root) return FALSE;
            SetItem(n, *it);
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case TVM_GETITEMSTATE: {
            Node* n = NodeOf(st, reinterpret_cast<HTREEITEM>(wp));
            return n ? static_cast<LRESULT>(n->state & static_cast<UINT>(lp)) : 0;
        }
        case TVM_EXPAND:
            return Expand(h, st, NodeOf(st, item), static_cast<UINT>(wp));
        case TVM_GETNEXTITEM: {
            Node* from = NodeOf(st, item);
            Node* n = Next(st, from, static_cast<UINT>(wp));
            return n ? reinterpret_cast<LRESULT>(n->self) : 0;
        }
        case TVM_SELECTITEM: {
            Node* n = lp ? NodeOf(st, item) : nullptr;
            if (lp && !n) return FALSE;
            if (wp == TVGN_CARET) return Select(h, st, n, TVC_UNKNOWN);
            if (wp == TVGN_FIRSTVISIBLE) {
                st->firstVisible = n;
                InvalidateRect(h, nullptr, false);
                return TRUE;
            }
            if (wp == TVGN_DROPHILITE) {
                for (auto& [k, node] : st->nodes) node->state &= ~TVIS_DROPHILITED;
                if (n) n->state |= TVIS_DROPHILITED;
                return TRUE;
            }
            return FALSE;
        }
        case TVM_ENSUREVISIBLE: {
            Node* n = NodeOf(st, item);
            if (!n) return FALSE;
            for (Node* p = n->parent; p && p != &st->root; p = p->parent)
                if (!IsExpanded(p)) Expand(h, st, p, TVE_EXPAND);
            return TRUE;
        }
        case TVM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r) return FALSE;
            HTREEITEM item;  // the item comes in the rectangle's first bytes
            std::memcpy(&item, r, sizeof item);
            Node* n = NodeOf(st, item);
            if (!n || n == &st->root) return FALSE;
            std::vector<const Node*> vis;
            VisibleItems(&st->root, &vis);
            if (std::find(vis.begin(), vis.end(), n) == vis.end()) return FALSE;
            *r = ItemRect(h, st, n, wp != 0);
            return TRUE;
        }
        case TVM_HITTEST: {
            auto* hi = reinterpret_cast<TVHITTESTINFO*>(lp);
            if (!hi) return 0;
            hi->hItem = nullptr;
            hi->flags = TVHT_NOWHERE;
            std::vector<const Node*> vis;
            VisibleItems(&st->root, &vis);
            for (const Node* c : vis) {
                Node* n = const_cast<Node*>(c);
                RECT row = ItemRect(h, st, n, false), label = ItemRect(h, st, n, true);
                if (hi->pt.y < row.top || hi->pt.y >= row.bottom) continue;
                hi->hItem = n->self;
                int cx = 0;
                if (st->images[TVSIL_NORMAL])
                    ImageList_GetIconSize(st->images[TVSIL_NORMAL], &cx, nullptr);
                if (hi->pt.x >= label.left && hi->pt.x < label.right)
                    hi->flags = TVHT_ONITEMLABEL;
                else if (hi->pt.x >= label.left - cx - win::theme::Scale(3) && hi->pt.x < label.left)
                    hi->flags = TVHT_ONITEMICON;
                else if (hi->pt.x >= label.right)
                    hi->flags = TVHT_ONITEMRIGHT;
                else if (hi->pt.x >= label.left - cx - win::theme::Scale(3) - st->indent)
                    hi->flags = TVHT_ONITEMBUTTON;
                else
                    hi->flags = TVHT_ONITEMINDENT;
            }
            return reinterpret_cast<LRESULT>(hi->hItem);
        }
        case TVM_SETIMAGELIST: {
            if (wp > 2) return 0;
            HIMAGELIST old = st->images[wp];
            st->images[wp] = reinterpret_cast<HIMAGELIST>(lp);
            InvalidateRect(h, nullptr, false);
            return reinterpret_cast<LRESULT>(old);
        }
        case TVM_GETIMAGELIST:
            return wp <= 2 ? reinterpret_cast<LRESULT>(st->images[wp]) : 0;
        case TVM_GETINDENT:
            return st->indent;
        case TVM_SETINDENT:
            st->indent = std::max(0, static_cast<int>(wp));
            return 0;
        case TVM_SORTCHILDREN:
        case TVM_SORTCHILDRENCB: {
            Node* parent;
            std::function<bool(const Node*, const Node*)> less;
            if (msg == TVM_SORTCHILDREN) {
                parent = NodeOf(st, item);
                less = [](const Node* a, const Node* b) {
                    return text::CompareNoCase(a->text, b->text) < 0;
                };
            } else {
                auto* cb = reinterpret_cast<const TVSORTCB*>(lp);
                if (!cb || !cb->lpfnCompare) return FALSE;
                parent = NodeOf(st, cb->hParent ? cb->hParent : TVI_ROOT);
                auto f = cb->lpfnCompare;
                LPARAM data = cb->lParam;
                less = [f, data](const Node* a, const Node* b) {
                    return f(a->lParam, b->lParam, data) < 0;
                };
            }
            if (!parent) return FALSE;
            std::stable_sort(parent->children.begin(), parent->children.end(), less);
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case TVM_EDITLABEL:
            return reinterpret_cast<LRESULT>(BeginEdit(h, st, NodeOf(st, item)));
        case TVM_GETEDITCONTROL:
            return reinterpret_cast<LRESULT>(LabelEditOf(h));
        case TVM_ENDEDITLABELNOW:
            EndLabelEdit(h, wp != 0);
            return TRUE;
        case WM_KEYDOWN: {
            Node* c = st->caret;
            Node* to = nullptr;
            if (wp == VK_DOWN)
                to = c ? Next(st, c, TVGN_NEXTVISIBLE) : Next(st, nullptr, TVGN_ROOT);
            if (wp == VK_UP && c) to = Next(st, c, TVGN_PREVIOUSVISIBLE);
            if (wp == VK_RIGHT && c) {
                if (!IsExpanded(c))
                    Expand(h, st, c, TVE_EXPAND);
                else
                    to = Next(st, c, TVGN_CHILD);
            }
            if (wp == VK_LEFT && c) {
                if (IsExpanded(c))
                    Expand(h, st, c, TVE_COLLAPSE);
                else
                    to = Next(st, c, TVGN_PARENT);
            }
            if (to) Select(h, st, to, TVC_BYKEYBOARD);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN: {
            TVHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            SendMessage(h, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi));
            SetFocus(h);
            if (hi.hItem && hi.flags == TVHT_ONITEMBUTTON)
                win::TreeViewUserToggle(h, hi.hItem);
            else if (hi.hItem && (hi.flags & TVHT_ONITEM))
                win::TreeViewUserSelect(h, hi.hItem);
            return 0;
        }
        case WM_LBUTTONDBLCLK: {
            TVHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            SendMessage(h, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi));
            if (!SendNotify(h, NM_DBLCLK) && hi.hItem && IsWindow(h))
                win::TreeViewUserToggle(h, hi.hItem);
            return 0;
        }
        case WM_SETFOCUS:
            SendNotify(h, NM_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            SendNotify(h, NM_KILLFOCUS);
            return 0;
        case WM_PAINT:
            Paint(h);
            return 0;
        case WM_CREATE:
            st->indent = win::theme::Scale(19);  // wider on a denser screen
            break;
        case WM_DESTROY:
            ForgetLabelEdit(h);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {
void TreeViewUserSelect(HWND tree, HTREEITEM item) {
    TreeState* st = StateOf(tree);
    Node* n = st ? NodeOf(st, item) : nullptr;
    if (!n || n == &st->root) return;
    if (GetFocus() != tree) SetFocus(tree);
    if ((st = StateOf(tree)) && (n = NodeOf(st, item))) Select(tree, st, n, TVC_BYMOUSE);
    if (IsWindow(tree)) SendNotify(tree, NM_CLICK);
}
void TreeViewUserToggle(HWND tree, HTREEITEM item) {
    TreeState* st = StateOf(tree);
    Node* n = st ? NodeOf(st, item) : nullptr;
    if (n && n != &st->root) Expand(tree, st, n, TVE_TOGGLE);
}
}  // namespace win
