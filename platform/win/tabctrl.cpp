// The tab control (SysTabControl32): tabs with text, image, data and state,
// the selection with its notifications, rectangles and the display area.
#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

constexpr int kTabHeight = 20;

struct Tab {
    WString text;
    int image = -1;
    LPARAM lParam = 0;
    DWORD state = 0;
    bool rtlReading = false;
};

struct TabState : ControlState {
    std::vector<Tab> tabs;
    int sel = -1;
    int focus = -1;
    HIMAGELIST images = nullptr;
};

int Count(const TabState* st) {
    return static_cast<int>(st->tabs.size());
}

int TabWidth(const TabState* st, const Tab& t) {
    int cx = 0;
    if (st->images && t.image >= 0) ImageList_GetIconSize(st->images, &cx, nullptr);
    return static_cast<int>(t.text.size()) * win::theme::Scale(6) + win::theme::Scale(12) + cx;
}

RECT TabRect(HWND h, const TabState* st, int index) {
    RECT client;
    GetClientRect(h, &client);
    int x = 0;
    for (int i = 0; i < index; ++i) x += TabWidth(st, st->tabs[static_cast<size_t>(i)]);
    int w = TabWidth(st, st->tabs[static_cast<size_t>(index)]);
    bool bottom = StyleOf(h) & TCS_BOTTOM;
    int top = bottom ? client.bottom - win::theme::Scale(kTabHeight) : 0;
    return RECT{x, top, x + w, top + win::theme::Scale(kTabHeight)};
}

void Paint(HWND h, TabState* st) {
    ControlPaint p(h, COLOR_BTNFACE);
    HDC dc = p.dc();
    if (!dc) return;
    for (int i = 0; i < Count(st); ++i) {
        RECT r = TabRect(h, st, i);
        RECT edge = r;
        DrawEdge(dc, &edge, i == st->sel ? EDGE_RAISED : EDGE_ETCHED, BF_RECT);
        const Tab& t = st->tabs[static_cast<size_t>(i)];
        r.left += 4;
        if (st->images && t.image >= 0) {
            int cx = 0, cy = 0;
            ImageList_GetIconSize(st->images, &cx, &cy);
            ImageList_Draw(st->images, t.image, dc, r.left, (r.top + r.bottom - cy) / 2,
                           ILD_TRANSPARENT);
            r.left += cx + 2;
        }
        DrawTextIn(dc, t.text, r,
                   DT_LEFT | DT_VCENTER | DT_SINGLELINE | (t.rtlReading ? DT_RTLREADING : 0) |
                       win::look::ReadingOrder(h));
    }
}

}  // namespace

LRESULT TabControlProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    TabState* st = EnsureControl<TabState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    int index = static_cast<int>(wp);
    switch (msg) {
        case TCM_GETITEMCOUNT:
            return Count(st);
        case TCM_INSERTITEM: {
            auto* in = reinterpret_cast<const TCITEM*>(lp);
            if (!in || index < 0) return -1;
            int at = std::min(index, Count(st));
            Tab t;
            if ((in->mask & TCIF_TEXT) && in->pszText) t.text = in->pszText;
            if (in->mask & TCIF_IMAGE) t.image = in->iImage;
            if (in->mask & TCIF_PARAM) t.lParam = in->lParam;
            if (in->mask & TCIF_STATE) t.state = in->dwState & in->dwStateMask;
            t.rtlReading = in->mask & TCIF_RTLREADING;
            st->tabs.insert(st->tabs.begin() + at, t);
            if (st->sel >= at) ++st->sel;
            if (st->sel < 0) st->sel = 0;  // the first tab is selected
            InvalidateRect(h, nullptr, true);
            return at;
        }
        case TCM_SETITEM: {
            auto* in = reinterpret_cast<const TCITEM*>(lp);
            if (!in || index < 0 || index >= Count(st)) return FALSE;
            Tab& t = st->tabs[static_cast<size_t>(index)];
            if ((in->mask & TCIF_TEXT) && in->pszText) t.text = in->pszText;
            if (in->mask & TCIF_IMAGE) t.image = in->iImage;
            if (in->mask & TCIF_PARAM) t.lParam = in->lParam;
            if (in->mask & TCIF_STATE)
                t.state = (t.state & ~in->dwStateMask) | (in->dwState & in->dwStateMask);
            if (in->mask & TCIF_RTLREADING) t.rtlReading = true;
            InvalidateRect(h, nullptr, true);
            return TRUE;
        }
        case TCM_GETITEM: {
            auto* out = reinterpret_cast<TCITEM*>(lp);
            if (!out || index < 0 || index >= Count(st)) return FALSE;
            const Tab& t = st->tabs[static_cast<size_t>(index)];
            if (out->mask & TCIF_TEXT) CopyText(t.text, out->pszText, out->cchTextMax);
            if (out->mask & TCIF_IMAGE) out->iImage = t.image;
            if (out->mask & TCIF_PARAM) out->lParam = t.lParam;
            if (out->mask & TCIF_STATE) out->dwState = t.state & out->dwStateMask;
            if (out->mask & TCIF_RTLREADING && !t.rtlReading) out->mask &= ~TCIF_RTLREADING;
            return TRUE;
        }
        case TCM_DELETEITEM:
            if (index < 0 || index >= Count(st)) return FALSE;
            st->tabs.erase(st->tabs.begin() + index);
            if (st->sel == index)
                st->sel = -1;
            else if (st->sel > index)
                --st->sel;
            InvalidateRect(h, nullptr, true);
            return TRUE;
        case TCM_DELETEALLITEMS:
            st->tabs.clear();
            st->sel = st->focus = -1;
            InvalidateRect(h, nullptr, true);
            return TRUE;
        case TCM_GETCURSEL:
            return st->sel;
        case TCM_SETCURSEL: {
            // No notifications: a program's change of tab is silent.
            if (index < 0 || index >= Count(st)) return -1;
            int old = st->sel;
            st->sel = index;
            InvalidateRect(h, nullptr, true);
            return old;
        }
        case TCM_GETCURFOCUS:
            return st->focus >= 0 ? st->focus : st->sel;
        case TCM_SETCURFOCUS:
            st->focus = index;
            return 0;
        case TCM_SETIMAGELIST: {
            HIMAGELIST old = st->images;
            st->images = reinterpret_cast<HIMAGELIST>(lp);
            InvalidateRect(h, nullptr, true);
            return reinterpret_cast<LRESULT>(old);
        }
        case TCM_GETIMAGELIST:
            return reinterpret_cast<LRESULT>(st->images);
        case TCM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r || index < 0 || index >= Count(st)) return FALSE;
            *r = TabRect(h, st, index);
            return TRUE;
        }
        case TCM_GETROWCOUNT:
            return Count(st) ? 1 : 0;
        case TCM_HITTEST: {
            auto* hi = reinterpret_cast<TCHITTESTINFO*>(lp);
            if (!hi) return -1;
            for (int i = 0; i < Count(st); ++i) {
                RECT r = TabRect(h, st, i);
                if (hi->pt.x >= r.left && hi->pt.x < r.right && hi->pt.y >= r.top &&
                    hi->pt.y < r.bottom) {
                    hi->flags = 6;  // on the item
                    return i;
                }
            }
            hi->flags = 1;
            return -1;
        }
        case TCM_ADJUSTRECT: {
            // wp true: display rectangle to window rectangle; false: the reverse.
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r) return 0;
            bool bottom = StyleOf(h) & TCS_BOTTOM;
            int tabs = Count(st) ? win::theme::Scale(kTabHeight) : 0;
            int sign = wp ? -1 : 1;
            r->left += sign * 2, r->right -= sign * 2;
            if (bottom)
                r->top += sign * 2, r->bottom -= sign * (tabs + 2);
            else
                r->top += sign * (tabs + 2), r->bottom -= sign * 2;
            return 0;
        }
        case WM_LBUTTONDOWN: {
            TCHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            int i = static_cast<int>(SendMessage(h, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
            if (i >= 0) win::TabUserSelect(h, i);
            return 0;
        }
        case WM_KEYDOWN: {
            int to = st->sel;
            if (wp == VK_RIGHT) to = std::min(st->sel + 1, Count(st) - 1);
            if (wp == VK_LEFT) to = std::max(st->sel - 1, 0);
            if (to != st->sel && to >= 0) win::TabUserSelect(h, to);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_PAINT:
            Paint(h, st);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {
void TabUserSelect(HWND tab, int index) {
    auto* st = Control<TabState>(tab);
    if (!st || index < 0 || index >= Count(st) || index == st->sel || !IsWindowEnabled(tab)) return;
    if (SendNotify(tab, TCN_SELCHANGING)) return;
    if (!(st = Control<TabState>(tab)) || index >= Count(st)) return;
    st->sel = index;
    InvalidateRect(tab, nullptr, true);
    SendNotify(tab, TCN_SELCHANGE);
}
}  // namespace win
