// Tooltips (tooltips_class32): tools (a rectangle of a window, or a whole
// window) with a text, a string resource or a text the owner gives on
// request (TTN_GETDISPINFO); the tip shown while the pen is held on a tool.
// The pen reaches the tip relayed by the tool's window (TTM_RELAYEVENT), or,
// for tools added with TTF_SUBCLASS, through the tip's own window procedure
// put in front of the tool window's.
#include <map>

#include "platform/res/resource.h"
#include "platform/win/common_impl.h"
#include "platform/win/dialog.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    uintptr_t id = 0;
    RECT rect;
    HINSTANCE hinst = nullptr;
    WString text;
    bool callback = false;
    WORD stringId = 0;
    LPARAM lParam = 0;
};

constexpr uintptr_t kHoldTimer = 1;
constexpr int kDefaultHoldMs = 500;

struct TipState : ControlState {
    std::vector<Tool> tools;
    bool active = true;
    WString shown;
    bool visible = false;
    HWND held = nullptr;  // where the pen went down, until it lifts or moves off
    POINT heldAt{};       // in the client area of `held`
    POINT heldScreen{};
    int holdMs = kDefaultHoldMs;
};

void Pop(HWND h, TipState* st) {
    KillTimer(h, kHoldTimer);
    st->held = nullptr;
    if (st->visible) {
        st->visible = false;
        st->shown.clear();
        ShowWindow(h, SW_HIDE);
    }
}

// Shown below the pen, as wide as its text, kept on the screen.
void PlaceTip(HWND h, TipState* st) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, win::look::ControlFont(h));
    RECT r{0, 0, 0, 0};
    DrawText(dc, st->shown.c_str(), static_cast<int>(st->shown.size()), &r,
             DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    DeleteDC(dc);
    int w = r.right + 6, ht = r.bottom + 4;
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    int x = std::clamp(static_cast<int>(st->heldScreen.x), 0, std::max(0, sw - w));
    int y = st->heldScreen.y + win::theme::Scale(20);
    if (y + ht > sh) y = std::max(0, static_cast<int>(st->heldScreen.y) - ht - win::theme::Scale(4));
    SetWindowPos(h, HWND_TOPMOST, x, y, w, ht, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(h, nullptr, true);
}

// ---- tools that are watched through their window (TTF_SUBCLASS) ----

struct Watch {
    WNDPROC original = nullptr;
    std::vector<HWND> tips;
};

std::map<HWND, Watch>& Watches() {
    static auto* watches = new std::map<HWND, Watch>;
    return *watches;
}

LRESULT WatchProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto it = Watches().find(w);
    if (it == Watches().end()) return DefWindowProc(w, msg, wp, lp);
    WNDPROC original = it->second.original;
    if (msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP) {
        std::vector<HWND> tips = it->second.tips;  // a tip may go while it is told
        MSG m{};
        m.hwnd = w;
        m.message = msg;
        m.wParam = wp;
        m.lParam = lp;
        for (HWND tip : tips)
            if (IsWindow(tip)) SendMessage(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
    } else if (msg == WM_NCDESTROY) {
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtr(w, GWLP_WNDPROC)) == &WatchProc)
            SetWindowLongPtr(w, GWLP_WNDPROC, reinterpret_cast<intptr_t>(original));
        Watches().erase(w);
    }
    return CallWindowProc(original, w, msg, wp, lp);
}

HWND WatchedWindow(const Tool& t) {
    return (t.flags & TTF_IDISHWND) ? reinterpret_cast<HWND>(t.id) : t.hwnd;
}

void StartWatching(HWND tip, const Tool& t) {
    HWND w = WatchedWindow(t);
    if (!(t.flags & TTF_SUBCLASS) || !IsWindow(w)) return;
    Watch& watch = Watches()[w];
    if (!watch.original)
        watch.original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtr(w, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&WatchProc)));
    if (std::find(watch.tips.begin(), watch.tips.end(), tip) == watch.tips.end())
        watch.tips.push_back(tip);
}

// The tip no longer watches the window unless another of its tools needs it;
// the window gets its procedure back when no tip watches it (and nobody put
// another in front since).
void StopWatching(HWND tip, const std::vector<Tool>& tools, HWND w) {
    auto it = Watches().find(w);
    if (it == Watches().end()) return;
    for (const Tool& t : tools)
        if ((t.flags & TTF_SUBCLASS) && WatchedWindow(t) == w) return;
    auto& tips = it->second.tips;
    tips.erase(std::remove(tips.begin(), tips.end(), tip), tips.end());
    if (!tips.empty()) return;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtr(w, GWLP_WNDPROC)) == &WatchProc) {
        SetWindowLongPtr(w, GWLP_WNDPROC, reinterpret_cast<intptr_t>(it->second.original));
        Watches().erase(it);
    }
}

Tool FromInfo(const TOOLINFO& ti) {
    Tool t;
    t.flags = ti.uFlags;
    t.hwnd = ti.hwnd;
    t.id = ti.uId;
    t.rect = ti.rect;
    t.hinst = ti.hinst;
    t.lParam = ti.lParam;
    if (ti.lpszText == LPSTR_TEXTCALLBACK)
        t.callback = true;
    else if (ti.lpszText && IS_INTRESOURCE(ti.lpszText))
        t.stringId = static_cast<WORD>(reinterpret_cast<uintptr_t>(ti.lpszText));
    else if (ti.lpszText)
        t.text = ti.lpszText;
    return t;
}

Tool* FindTool(TipState* st, HWND hwnd, uintptr_t id) {
    for (Tool& t : st->tools)
        if (t.hwnd == hwnd && t.id == id) return &t;
    return nullptr;
}

WString TextOf(HWND tip, const Tool& t) {
    if (t.stringId) return res::LoadStringText(t.hinst, t.stringId);
    if (!t.callback) return t.text;
    NMTTDISPINFO di;
    di.hdr.hwndFrom = tip;
    di.hdr.idFrom = t.id;
    di.hdr.code = TTN_GETDISPINFO;
    di.uFlags = t.flags;
    di.lParam = t.lParam;
    SendMessage(t.hwnd, WM_NOTIFY, t.id, reinterpret_cast<LPARAM>(&di.hdr));
    if (di.hinst && di.lpszText && IS_INTRESOURCE(di.lpszText))
        return res::LoadStringText(di.hinst,
                                   static_cast<WORD>(reinterpret_cast<uintptr_t>(di.lpszText)));
    if (di.lpszText && di.lpszText != LPSTR_TEXTCALLBACK) return WString(di.lpszText);
    return WString(di.szText);
}

}  // namespace

LRESULT ToolTipProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    TipState* st = EnsureControl<TipState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    auto* ti = reinterpret_cast<TOOLINFO*>(lp);
    switch (msg) {
        case TTM_ADDTOOL: {
            if (!ti) return FALSE;
            Tool added = FromInfo(*ti);
            if (Tool* t = FindTool(st, ti->hwnd, ti->uId)) {
                HWND before = WatchedWindow(*t);
                *t = added;
                StopWatching(h, st->tools, before);
            } else {
                st->tools.push_back(added);
            }
            StartWatching(h, added);
            return TRUE;
        }
        case TTM_DELTOOL: {
            Tool* t = ti ? FindTool(st, ti->hwnd, ti->uId) : nullptr;
            if (!t) return 0;
            HWND watched = WatchedWindow(*t);
            st->tools.erase(st->tools.begin() + (t - st->tools.data()));
            StopWatching(h, st->tools, watched);
            return 0;
        }
        case TTM_GETTOOLCOUNT:
            return static_cast<LRESULT>(st->tools.size());
        case TTM_GETTOOLINFO: {
            Tool* t = ti ? FindTool(st, ti->hwnd, ti->uId) : nullptr;
            if (!t) return FALSE;
            ti->uFlags = t->flags;
            ti->rect = t->rect;
            ti->hinst = t->hinst;
            ti->lParam = t->lParam;
            if (t->callback)
                ti->lpszText = LPSTR_TEXTCALLBACK;
            else if (ti->lpszText)
                CopyText(t->text, ti->lpszText, 80);
            return TRUE;
        }
        case TTM_SETTOOLINFO:
        case TTM_UPDATETIPTEXT: {
            Tool* t = ti ? FindTool(st, ti->hwnd, ti->uId) : nullptr;
            if (!t) return 0;
            Tool n = FromInfo(*ti);
            if (msg == TTM_UPDATETIPTEXT) {
                t->text = n.text, t->callback = n.callback, t->stringId = n.stringId;
                if (ti->hinst) t->hinst = ti->hinst;
            } else {
                HWND before = WatchedWindow(*t);
                *t = n;
                StopWatching(h, st->tools, before);
                StartWatching(h, n);
            }
            if (st->visible) st->shown = TextOf(h, *t);
            return 0;
        }
        case TTM_NEWTOOLRECT:
            if (Tool* t = ti ? FindTool(st, ti->hwnd, ti->uId) : nullptr) t->rect = ti->rect;
            return 0;
        case TTM_GETTEXT: {
            Tool* t = ti ? FindTool(st, ti->hwnd, ti->uId) : nullptr;
            if (t && ti->lpszText)
                CopyText(TextOf(h, *t), ti->lpszText, wp ? static_cast<int>(wp) : 80);
            return 0;
        }
        case TTM_ACTIVATE:
            st->active = wp != 0;
            if (!st->active) st->visible = false, st->shown.clear();
            return 0;
        case TTM_POP:
            Pop(h, st);
            return 0;
        case TTM_SETDELAYTIME:
            if (wp == TTDT_AUTOMATIC || wp == TTDT_INITIAL) {
                int ms = static_cast<int16_t>(LOWORD(lp));
                st->holdMs = ms < 0 ? kDefaultHoldMs : ms;
            }
            return 0;
        case TTM_RELAYEVENT: {
            // The pen on a tool: held still long enough, the tip shows; it goes
            // when the pen lifts or moves away.
            const MSG* m = reinterpret_cast<const MSG*>(lp);
            if (!m || !st->active) return 0;
            POINT p{GET_X_LPARAM(m->lParam), GET_Y_LPARAM(m->lParam)};
            if (m->message == WM_LBUTTONDOWN) {
                Pop(h, st);
                st->held = m->hwnd;
                st->heldAt = p;
                st->heldScreen = p;
                ClientToScreen(m->hwnd, &st->heldScreen);
                SetTimer(h, kHoldTimer, static_cast<UINT>(st->holdMs), nullptr);
            } else if (m->message == WM_MOUSEMOVE && st->held) {
                int slack = win::theme::Scale(3);
                if (m->hwnd != st->held || std::abs(p.x - st->heldAt.x) > slack ||
                    std::abs(p.y - st->heldAt.y) > slack)
                    Pop(h, st);
            } else if (m->message == WM_LBUTTONUP) {
                Pop(h, st);
            }
            return 0;
        }
        case WM_DESTROY: {
            KillTimer(h, kHoldTimer);
            std::vector<Tool> tools = std::move(st->tools);
            st->tools.clear();
            for (const Tool& t : tools) StopWatching(h, st->tools, WatchedWindow(t));
            break;
        }
        case WM_TIMER:
            if (wp != kHoldTimer) break;
            KillTimer(h, kHoldTimer);
            if (st->held && IsWindow(st->held)) {
                HWND owner = st->held;
                POINT at = st->heldAt;
                if (!win::ToolTipHover(h, owner, at).empty() && (st = Control<TipState>(h)))
                    PlaceTip(h, st);
            }
            return 0;
        case WM_PAINT: {
            // The tip in the tooltip colours, framed.
            ControlPaint p(h, COLOR_INFOBK);
            if (HDC dc = p.dc()) {
                RECT r;
                GetClientRect(h, &r);
                FrameRect(dc, &r, GetSysColorBrush(COLOR_INFOTEXT));
                InflateRect(&r, -2, -1);
                SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
                DrawTextIn(dc, st->shown, r,
                           DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX |
                               win::look::ReadingOrder(h));
            }
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {

WString ToolTipHover(HWND tooltip, HWND owner, POINT client) {
    auto* st = Control<TipState>(tooltip);
    if (!st || !st->active) return WString();
    for (size_t i = 0; i < st->tools.size(); ++i) {
        Tool t = st->tools[i];
        bool hit;
        if (t.flags & TTF_IDISHWND) {
            hit = reinterpret_cast<HWND>(t.id) == owner;
        } else {
            hit = t.hwnd == owner && client.x >= t.rect.left && client.x < t.rect.right &&
                  client.y >= t.rect.top && client.y < t.rect.bottom;
        }
        if (!hit) continue;
        WString text = TextOf(tooltip, t);
        if (!(st = Control<TipState>(tooltip))) return WString();
        if (text.empty()) return WString();
        st->shown = text;
        st->visible = true;
        ShowWindow(tooltip, SW_SHOWNA);
        NMHDR nm;
        nm.hwndFrom = tooltip;
        nm.idFrom = t.id;
        nm.code = TTN_SHOW;
        SendMessage(t.hwnd, WM_NOTIFY, t.id, reinterpret_cast<LPARAM>(&nm));
        return text;
    }
    return WString();
}

WString ToolTipShownText(HWND tooltip) {
    auto* st = Control<TipState>(tooltip);
    return st && st->visible ? st->shown : WString();
}

}  // namespace win
