// The header control (SysHeader32): items with text, width, format, bitmap,
// image and data, in a display order of their own; rectangles and hit tests.
#include <algorithm>

#include "platform/win/command.h"
#include "platform/win/commctrl.h"
#include "platform/win/common_impl.h"
#include "platform/win/window_impl.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

struct HeaderItem {
    int cxy = 0;
    WString text;
    int fmt = 0;
    LPARAM lParam = 0;
    int image = 0;
    HBITMAP bitmap = nullptr;
};

struct HeaderState : ControlState {
    std::vector<HeaderItem> items;
    std::vector<int> order;  // display position -> item index
    HIMAGELIST images = nullptr;
    int tracking = -1;  // the item whose divider the pen drags
    int grabX = 0, grabWidth = 0;
};

void CopyItemOut(const HeaderItem& it, int order, HDITEM* out) {
    if (out->mask & HDI_WIDTH) out->cxy = it.cxy;
    if (out->mask & HDI_TEXT) CopyText(it.text, out->pszText, out->cchTextMax);
    if (out->mask & HDI_FORMAT) out->fmt = it.fmt;
    if (out->mask & HDI_LPARAM) out->lParam = it.lParam;
    if (out->mask & HDI_IMAGE) out->iImage = it.image;
    if (out->mask & HDI_BITMAP) out->hbm = it.bitmap;
    if (out->mask & HDI_ORDER) out->iOrder = order;
}

void CopyItemIn(const HDITEM& in, HeaderItem* it) {
    if (in.mask & HDI_WIDTH) it->cxy = std::max(0, in.cxy);
    if ((in.mask & HDI_TEXT) && in.pszText && in.pszText != LPSTR_TEXTCALLBACK)
        it->text = in.pszText;
    if (in.mask & HDI_FORMAT) it->fmt = in.fmt;
    if (in.mask & HDI_LPARAM) it->lParam = in.lParam;
    if (in.mask & HDI_IMAGE) it->image = in.iImage;
    if (in.mask & HDI_BITMAP) it->bitmap = in.hbm;
}

int OrderOf(const HeaderState* st, int index) {
    auto it = std::find(st->order.begin(), st->order.end(), index);
    return it == st->order.end() ? -1 : static_cast<int>(it - st->order.begin());
}

RECT ItemRect(HWND h, const HeaderState* st, int index) {
    RECT client;
    GetClientRect(h, &client);
    int x = 0;
    for (int pos = 0; pos < static_cast<int>(st->order.size()); ++pos) {
        int i = st->order[static_cast<size_t>(pos)];
        int w = st->items[static_cast<size_t>(i)].cxy;
        if (i == index) return RECT{x, 0, x + w, client.bottom};
        x += w;
    }
    return RECT{};
}

LRESULT NotifyItem(HWND h, UINT code, int index, HDITEM* item) {
    NMHEADER nm;
    nm.iItem = index;
    nm.pitem = item;
    return SendNotify(h, code, &nm.hdr);
}

void Paint(HWND h, HeaderState* st) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (dc) {
        RECT client;
        GetClientRect(h, &client);
        HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        FillRect(dc, &client, face);
        DeleteObject(face);
        SetBkMode(dc, TRANSPARENT);
        // The font it was given (a report list gives its own).
        if (auto font = reinterpret_cast<HFONT>(SendMessage(h, WM_GETFONT, 0, 0)))
            SelectObject(dc, font);
        for (size_t i = 0; i < st->items.size(); ++i) {
            RECT r = ItemRect(h, st, static_cast<int>(i));
            RECT edge = r;
            DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
            r.left += win::theme::Scale(4);
            const HeaderItem& it = st->items[i];
            if ((it.fmt & HDF_IMAGE) && st->images) {
                int cx = 0, cy = 0;
                ImageList_GetIconSize(st->images, &cx, &cy);
                ImageList_Draw(st->images, it.image, dc, r.left, (r.top + r.bottom - cy) / 2,
                               ILD_TRANSPARENT);
                r.left += cx + win::theme::Scale(2);
            }
            UINT align = (it.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT    ? DT_RIGHT
                         : (it.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                                                                    : DT_LEFT;
            UINT reading = ((it.fmt & HDF_RTLREADING) ? DT_RTLREADING : 0) |
                           win::look::ReadingOrder(h);
            DrawText(dc, it.text.c_str(), static_cast<int>(it.text.size()), &r,
                     align | DT_VCENTER | DT_SINGLELINE | reading);
        }
    }
    EndPaint(h, &ps);
}

}  // namespace

LRESULT HeaderProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    HeaderState* st = EnsureControl<HeaderState>(h);
    if (!st) return 0;
    int count = static_cast<int>(st->items.size());
    int index = static_cast<int>(wp);
    switch (msg) {
        case HDM_GETITEMCOUNT:
            return count;
        case HDM_INSERTITEM: {
            auto* in = reinterpret_cast<const HDITEM*>(lp);
            if (!in) return -1;
            int at = std::clamp(index, 0, count);
            HeaderItem it;
            CopyItemIn(*in, &it);
            st->items.insert(st->items.begin() + at, it);
            for (int& o : st->order)
                if (o >= at) ++o;
            int pos = (in->mask & HDI_ORDER) ? std::clamp(in->iOrder, 0, count) : at;
            st->order.insert(st->order.begin() + pos, at);
            InvalidateRect(h, nullptr, true);
            return at;
        }
        case HDM_DELETEITEM: {
            if (index < 0 || index >= count) return FALSE;
            st->items.erase(st->items.begin() + index);
            st->order.erase(st->order.begin() + OrderOf(st, index));
            for (int& o : st->order)
                if (o > index) --o;
            InvalidateRect(h, nullptr, true);
            return TRUE;
        }
        case HDM_GETITEM: {
            auto* out = reinterpret_cast<HDITEM*>(lp);
            if (!out || index < 0 || index >= count) return FALSE;
            CopyItemOut(st->items[static_cast<size_t>(index)], OrderOf(st, index), out);
            return TRUE;
        }
        case HDM_SETITEM: {
            auto* in = reinterpret_cast<HDITEM*>(lp);
            if (!in || index < 0 || index >= count) return FALSE;
            if (NotifyItem(h, HDN_ITEMCHANGING, index, in)) return FALSE;
            CopyItemIn(*in, &st->items[static_cast<size_t>(index)]);
            if (in->mask & HDI_ORDER) {
                st->order.erase(st->order.begin() + OrderOf(st, index));
                st->order.insert(st->order.begin() + std::clamp(in->iOrder, 0, count - 1), index);
            }
            NotifyItem(h, HDN_ITEMCHANGED, index, in);
            InvalidateRect(h, nullptr, true);
            return TRUE;
        }
        case HDM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r || index < 0 || index >= count) return FALSE;
            *r = ItemRect(h, st, index);
            return TRUE;
        }
        case HDM_HITTEST: {
            auto* hi = reinterpret_cast<HDHITTESTINFO*>(lp);
            if (!hi) return -1;
            hi->iItem = -1;
            hi->flags = HHT_NOWHERE;
            for (int i = 0; i < count; ++i) {
                RECT r = ItemRect(h, st, i);
                if (hi->pt.x >= r.left && hi->pt.x < r.right && hi->pt.y >= r.top &&
                    hi->pt.y < r.bottom) {
                    hi->iItem = i;
                    hi->flags = hi->pt.x >= r.right - 3 ? HHT_ONDIVIDER : HHT_ONHEADER;
                }
            }
            return hi->iItem;
        }
        case HDM_LAYOUT: {
            auto* layout = reinterpret_cast<HDLAYOUT*>(lp);
            if (!layout || !layout->prc || !layout->pwpos) return FALSE;
            int height = (GetWindowLongPtr(h, GWL_STYLE) & HDS_HIDDEN) ? 0 : win::theme::Scale(kHeaderHeight);
            RECT* rc = layout->prc;
            *layout->pwpos =
                WINDOWPOS{h, nullptr, rc->left, rc->top, rc->right - rc->left, height, 0};
            rc->top += height;
            return TRUE;
        }
        case HDM_SETIMAGELIST: {
            HIMAGELIST old = st->images;
            st->images = reinterpret_cast<HIMAGELIST>(lp);
            InvalidateRect(h, nullptr, true);
            return reinterpret_cast<LRESULT>(old);
        }
        case HDM_GETIMAGELIST:
            return reinterpret_cast<LRESULT>(st->images);
        case HDM_ORDERTOINDEX:
            return index >= 0 && index < count ? st->order[static_cast<size_t>(index)] : index;
        case HDM_GETORDERARRAY: {
            auto* out = reinterpret_cast<int*>(lp);
            if (!out || index != count) return FALSE;
            std::copy(st->order.begin(), st->order.end(), out);
            return TRUE;
        }
        case HDM_SETORDERARRAY: {
            auto* in = reinterpret_cast<const int*>(lp);
            if (!in || index != count) return FALSE;
            std::vector<int> order(in, in + count), sorted = order;
            std::sort(sorted.begin(), sorted.end());
            for (int i = 0; i < count; ++i)
                if (sorted[static_cast<size_t>(i)] != i) return FALSE;  // not a permutation
            st->order = order;
            InvalidateRect(h, nullptr, true);
            return TRUE;
        }
        case WM_LBUTTONDOWN: {
            HDHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (SendMessage(h, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)) >= 0 &&
                hi.flags == HHT_ONDIVIDER && (st = EnsureControl<HeaderState>(h))) {
                // Dragging a divider resizes the column to its left.
                st->tracking = hi.iItem;
                st->grabX = hi.pt.x;
                st->grabWidth = st->items[static_cast<size_t>(hi.iItem)].cxy;
                SetCapture(h);
            }
            return 0;
        }
        case WM_MOUSEMOVE:
            if (st->tracking >= 0 && st->tracking < count) {
                HDITEM it;
                it.mask = HDI_WIDTH;
                it.cxy = std::max(0, st->grabWidth + GET_X_LPARAM(lp) - st->grabX);
                if (it.cxy != st->items[static_cast<size_t>(st->tracking)].cxy)
                    SendMessage(h, HDM_SETITEM, static_cast<WPARAM>(st->tracking),
                                reinterpret_cast<LPARAM>(&it));
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != h) st->tracking = -1;
            return 0;
        case WM_LBUTTONUP: {
            if (st->tracking >= 0) {
                int item = st->tracking;
                st->tracking = -1;
                if (GetCapture() == h) ReleaseCapture();
                if ((st = EnsureControl<HeaderState>(h)) && item < static_cast<int>(st->items.size())) {
                    HDITEM it;
                    it.mask = HDI_WIDTH;
                    it.cxy = st->items[static_cast<size_t>(item)].cxy;
                    NotifyItem(h, HDN_ENDTRACK, item, &it);
                }
                return 0;
            }
            HDHITTESTINFO hi;
            hi.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (SendMessage(h, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)) >= 0 &&
                (GetWindowLongPtr(h, GWL_STYLE) & HDS_BUTTONS))
                NotifyItem(h, HDN_ITEMCLICK, hi.iItem, nullptr);
            return 0;
        }
        case WM_PAINT:
            Paint(h, st);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}
