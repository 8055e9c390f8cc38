// The status bar (msctls_statusbar32): panes with text, icons, drawing flags
// and tips, a simple mode with one pane, and its place at the bottom of the
// parent, which it takes again whenever it is told the parent's size.
#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"
#include "platform/win/look.h"
#include "platform/win/theme.h"

using namespace win::detail;

namespace {

constexpr int kBarHeight = 20;

struct Pane {
    int right = -1;
    WString text;
    WPARAM flags = 0;
    HICON icon = nullptr;
    WString tip;
};

struct StatusState : ControlState {
    std::vector<Pane> panes = std::vector<Pane>(1);
    Pane simple;
    bool isSimple = false;
    int minHeight = kBarHeight;
};

Pane* PaneOf(StatusState* st, WPARAM index) {
    if (st->isSimple && index == SB_SIMPLEID) return &st->simple;
    if (index >= st->panes.size()) return nullptr;
    return &st->panes[index];
}

RECT PaneRect(HWND h, StatusState* st, size_t index) {
    RECT client;
    GetClientRect(h, &client);
    if (st->isSimple) return client;
    int left = index == 0 ? 0 : st->panes[index - 1].right;
    int right = st->panes[index].right < 0 ? client.right : st->panes[index].right;
    return RECT{left, client.top, right, client.bottom};
}

void Reposition(HWND h, StatusState* st) {
    HWND parent = GetParent(h);
    DWORD style = StyleOf(h);
    if (!parent || (style & CCS_NOPARENTALIGN) || (style & CCS_NORESIZE)) return;
    RECT pc;
    GetClientRect(parent, &pc);
    // The bar holds a line of the system font, which grows with the screen's
    // dots per inch.
    int height = std::max(st->minHeight, win::theme::Scale(kBarHeight));
    bool top = (style & CCS_BOTTOM) == CCS_TOP;
    MoveWindow(h, 0, top ? 0 : pc.bottom - height, pc.right, height, true);
}

void Paint(HWND h, StatusState* st) {
    ControlPaint p(h, COLOR_BTNFACE);
    HDC dc = p.dc();
    if (!dc) return;
    size_t n = st->isSimple ? 1 : st->panes.size();
    for (size_t i = 0; i < n; ++i) {
        const Pane& pane = st->isSimple ? st->simple : st->panes[i];
        RECT r = PaneRect(h, st, i);
        if (!(pane.flags & SBT_NOBORDERS)) {
            RECT e = r;
            DrawEdge(dc, &e, (pane.flags & SBT_POPOUT) ? EDGE_RAISED : BDR_SUNKENOUTER, BF_RECT);
        }
        if (pane.flags & SBT_OWNERDRAW) {
            DRAWITEMSTRUCT dis;
            dis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
            dis.itemID = static_cast<UINT>(i);
            dis.hwndItem = h;
            dis.hDC = dc;
            dis.rcItem = r;
            dis.itemData = reinterpret_cast<uintptr_t>(pane.text.c_str());
            SendMessage(GetParent(h), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
            continue;
        }
        r.left += 3;
        if (pane.icon) {
            DrawIconEx(dc, r.left, r.top + 2, pane.icon, 16, 16, 0, nullptr, DI_NORMAL);
            r.left += 18;
        }
        // Tabs split the text: left, centred, right.
        WString parts[3];
        int k = 0;
        for (WChar c : pane.text) {
            if (c == u'\t' && k < 2)
                ++k;
            else
                parts[k] += c;
        }
        UINT reading =
            ((pane.flags & SBT_RTLREADING) ? DT_RTLREADING : 0) | win::look::ReadingOrder(h);
        DrawTextIn(dc, parts[0], r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | reading);
        DrawTextIn(dc, parts[1], r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | reading);
        DrawTextIn(dc, parts[2], r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | reading);
    }
}

}  // namespace

LRESULT StatusBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    StatusState* st = EnsureControl<StatusState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    switch (msg) {
        case WM_CREATE:
            Reposition(h, st);
            return 0;
        case WM_SIZE:
            Reposition(h, st);
            return 0;
        case SB_SETPARTS: {
            auto* rights = reinterpret_cast<const int*>(lp);
            if (!rights || wp == 0 || wp > 256) return FALSE;
            st->panes.resize(wp);
            for (size_t i = 0; i < wp; ++i) st->panes[i].right = rights[i];
            InvalidateRect(h, nullptr, true);
            return TRUE;
        }
        case SB_GETPARTS: {
            auto* out = reinterpret_cast<int*>(lp);
            for (size_t i = 0; out && i < wp && i < st->panes.size(); ++i)
                out[i] = st->panes[i].right;
            return static_cast<LRESULT>(st->panes.size());
        }
        case SB_SETTEXT:
        case WM_SETTEXT: {
            WPARAM index = msg == WM_SETTEXT ? 0 : (wp & 0xFF);
            Pane* pane = PaneOf(st, index);
            if (!pane) return FALSE;
            auto* t = reinterpret_cast<const WChar*>(lp);
            pane->text = (t && !(wp & SBT_OWNERDRAW)) ? WString(t) : WString();
            if (wp & SBT_OWNERDRAW) pane->text.clear();
            pane->flags = msg == WM_SETTEXT ? 0 : (wp & 0xFF00);
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case SB_GETTEXT:
        case SB_GETTEXTLENGTH: {
            Pane* pane = PaneOf(st, wp);
            if (!pane) return 0;
            if (msg == SB_GETTEXT) {
                auto* out = reinterpret_cast<WChar*>(lp);
                if (out) {
                    std::copy(pane->text.begin(), pane->text.end(), out);
                    out[pane->text.size()] = 0;
                }
            }
            return MAKELONG(static_cast<WORD>(pane->text.size()), static_cast<WORD>(pane->flags));
        }
        case WM_GETTEXT:
            return CopyText(st->panes[0].text, reinterpret_cast<WChar*>(lp), static_cast<int>(wp));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(st->panes[0].text.size());
        case SB_SIMPLE:
            st->isSimple = wp != 0;
            InvalidateRect(h, nullptr, true);
            return 0;
        case SB_ISSIMPLE:
            return st->isSimple;
        case SB_GETRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r || (!st->isSimple && wp >= st->panes.size())) return FALSE;
            *r = PaneRect(h, st, st->isSimple ? 0 : wp);
            return TRUE;
        }
        case SB_GETBORDERS: {
            auto* b = reinterpret_cast<int*>(lp);
            if (b) b[0] = 0, b[1] = 2, b[2] = 2;
            return TRUE;
        }
        case SB_SETMINHEIGHT:
            st->minHeight = static_cast<int>(wp);
            return 0;
        case SB_SETICON: {
            Pane* pane = PaneOf(st, wp);
            if (!pane) return FALSE;
            pane->icon = reinterpret_cast<HICON>(lp);
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case SB_GETICON: {
            Pane* pane = PaneOf(st, wp);
            return pane ? reinterpret_cast<LRESULT>(pane->icon) : 0;
        }
        case SB_SETTIPTEXT: {
            Pane* pane = PaneOf(st, wp);
            if (pane) pane->tip = lp ? WString(reinterpret_cast<const WChar*>(lp)) : WString();
            return 0;
        }
        case SB_GETTIPTEXT: {
            Pane* pane = PaneOf(st, LOWORD(wp));
            return pane ? CopyText(pane->tip, reinterpret_cast<WChar*>(lp), HIWORD(wp)) : 0;
        }
        case WM_LBUTTONUP:
            SendNotify(h, NM_CLICK);
            return 0;
        case WM_PAINT:
            Paint(h, st);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

HWND CreateStatusWindow(LONG style, const WChar* text, HWND parent, UINT id) {
    InitCommonControls();
    HWND h = CreateWindowEx(0, STATUSCLASSNAME, text, static_cast<DWORD>(style), 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    if (h && text) SendMessage(h, SB_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return h;
}
