// Pop-up menus as real windows (class "#32768") with their own nested loop:
// items drawn in the classic look, chosen by pen or keys, cascading
// submenus. Used when no responder answers and a display is present (or a
// test asked for real windows).
//
// A right-to-left menu (TPM_LAYOUTRTL, or an owner with a mirrored layout)
// is a mirrored window: its items are laid out and hit-tested as in the
// left-to-right menu, in its own client coordinates, which run from its
// right edge, and its DC draws them mirrored (check marks keep their
// orientation, text reads right to left). Its submenus cascade to the left.
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/win/backend.h"
#include "platform/win/controls.h"
#include "platform/win/look.h"
#include "platform/win/menu.h"
#include "platform/win/menu_window.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

bool g_realWindows = false;

struct Entry {
    UINT flags = 0;
    UINT id = 0;
    HMENU popup = nullptr;
    WString text, accel;
    uintptr_t data = 0;
    RECT rc{};
    bool Selectable() const { return !(flags & MF_SEPARATOR); }
    bool Enabled() const { return !(flags & (MF_GRAYED | MF_DISABLED)); }
};

struct Level {
    HMENU menu = nullptr;
    HWND hwnd = nullptr;
    std::vector<Entry> items;
    int hot = -1;
};

struct Loop {
    HWND owner = nullptr;
    bool rtl = false;  // the menus are mirrored
    MenuBarLink* bar = nullptr;
    std::vector<std::unique_ptr<Level>> levels;
    bool done = false;
    UINT chosen = 0;
};

Loop* g_loop = nullptr;
MenuBarLink* g_barLink = nullptr;

HFONT MenuFont() {
    return reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

// An item of type MFT_RIGHTORDER reads right to left in any menu (a
// mirrored menu's DC reads every item so).
UINT ReadingOf(const Entry& e) {
    return (e.flags & MFT_RIGHTORDER) ? DT_RTLREADING : 0;
}

// Reads the menu's items and measures them (owner-drawn ones by the owner).
std::vector<Entry> Measure(HMENU menu, HWND owner, SIZE* size) {
    std::vector<Entry> out;
    int n = GetMenuItemCount(menu);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, MenuFont());
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int rowH = tm.tmHeight + theme::Scale(4);
    int sepH = theme::Scale(8);
    int column = theme::Scale(16);
    int textW = 0, accelW = 0, y = theme::Scale(2);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFO mi;
        WChar buf[256] = {};
        mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STRING;
        mi.dwTypeData = buf;
        mi.cch = 255;
        GetMenuItemInfo(menu, static_cast<UINT>(i), true, &mi);
        Entry e;
        e.flags = (mi.fState & (MF_GRAYED | MF_DISABLED | MF_CHECKED)) |
                  (mi.fType & (MF_SEPARATOR | MF_OWNERDRAW | MFT_RIGHTORDER)) |
                  (mi.hSubMenu ? MF_POPUP : 0);
        e.id = mi.wID;
        e.popup = mi.hSubMenu;
        e.data = mi.dwItemData;
        WString t = buf;
        size_t tab = t.find(u'\t');
        e.text = t.substr(0, tab);
        if (tab != WString::npos) e.accel = t.substr(tab + 1);
        int h = rowH;
        if (e.flags & MF_SEPARATOR) {
            h = sepH;
        } else if (e.flags & MF_OWNERDRAW) {
            MEASUREITEMSTRUCT mis;
            mis.CtlType = ODT_MENU;
            mis.itemID = e.id;
            mis.itemData = e.data;
            if (owner) SendMessage(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
            h = static_cast<int>(std::clamp<UINT>(mis.itemHeight, 1, 1024));
            textW = std::max(textW, static_cast<int>(std::min<UINT>(mis.itemWidth, 2048)));
        } else {
            RECT r{};
            DrawText(dc, e.text.c_str(), static_cast<int>(e.text.size()), &r,
                     DT_SINGLELINE | DT_CALCRECT | ReadingOf(e));
            textW = std::max(textW, static_cast<int>(r.right));
            SIZE a{};
            GetTextExtentPoint32(dc, e.accel.data(), static_cast<int>(e.accel.size()), &a);
            accelW = std::max(accelW, static_cast<int>(a.cx));
        }
        e.rc = RECT{theme::Scale(2), y, 0, y + h};
        y += h;
        out.push_back(std::move(e));
    }
    DeleteDC(dc);
    int width = column + textW + (accelW ? column + accelW : 0) + column + theme::Scale(4);
    // Never wider than the screen: a long item is cut at the menu's edge.
    width = std::min(width, std::max(GetSystemMetrics(SM_CXSCREEN), column * 4));
    for (Entry& e : out) e.rc.right = width - theme::Scale(2);
    size->cx = width;
    size->cy = y + theme::Scale(2);
    return out;
}

Level* LevelOf(HWND h) {
    if (!g_loop) return nullptr;
    for (auto& l : g_loop->levels)
        if (l->hwnd == h) return l.get();
    return nullptr;
}

void Paint(HWND h, HDC dc) {
    Level* l = LevelOf(h);
    RECT rc;
    GetClientRect(h, &rc);
    RECT edge = rc;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT | BF_ADJUST);
    look::FillSys(dc, edge, COLOR_MENU);
    if (!l) return;
    SelectObject(dc, MenuFont());
    int column = theme::Scale(16);
    for (size_t i = 0; i < l->items.size(); ++i) {
        const Entry& e = l->items[i];
        bool hot = static_cast<int>(i) == l->hot;
        if (e.flags & MF_SEPARATOR) {
            RECT line{e.rc.left + 1, (e.rc.top + e.rc.bottom) / 2 - 1, e.rc.right - 1,
                      (e.rc.top + e.rc.bottom) / 2 + 1};
            DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
            continue;
        }
        if (e.flags & MF_OWNERDRAW) {
            DRAWITEMSTRUCT dis;
            dis.CtlType = ODT_MENU;
            dis.itemID = e.id;
            dis.itemAction = ODA_DRAWENTIRE;
            dis.itemState = (hot ? ODS_SELECTED : 0) | ((e.flags & MF_GRAYED) ? ODS_GRAYED : 0) |
                            ((e.flags & MF_DISABLED) ? ODS_DISABLED : 0) |
                            ((e.flags & MF_CHECKED) ? ODS_CHECKED : 0);
            dis.hwndItem = reinterpret_cast<HWND>(l->menu);
            dis.hDC = dc;
            dis.rcItem = e.rc;
            dis.itemData = e.data;
            if (g_loop && g_loop->owner)
                SendMessage(g_loop->owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
            continue;
        }
        COLORREF ink = GetSysColor(COLOR_MENUTEXT);
        if (hot) {
            FillRect(dc, &e.rc, GetSysColorBrush(COLOR_HIGHLIGHT));
            ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
        }
        bool enabled = e.Enabled();
        if (!enabled && hot) ink = GetSysColor(COLOR_GRAYTEXT);
        RECT t = e.rc;
        t.left += column;
        t.right -= column;
        UINT fmt = DT_SINGLELINE | DT_VCENTER | ReadingOf(e);
        look::Label(dc, e.text, t, fmt | DT_LEFT, enabled || hot, ink);
        if (!enabled && hot) look::Label(dc, e.text, t, fmt | DT_LEFT, true, ink);
        if (!e.accel.empty())
            look::Label(dc, e.accel, t, fmt | DT_RIGHT | DT_NOPREFIX, enabled || hot, ink);
        if (e.flags & MF_CHECKED) {
            // A tick in the left column (the right one of a mirrored menu).
            // The tick is a picture: a mirrored DC shows it the right way
            // round, flipped within its column.
            int s = std::min(column, static_cast<int>(e.rc.bottom - e.rc.top)) - theme::Scale(4);
            int x = e.rc.left + (column - s) / 2, y = (e.rc.top + e.rc.bottom - s) / 2;
            int u = std::max(1, s / 7);
            bool flip = gdi::IsSurfaceMirrored(dc);
            auto fx = [&](int px) { return flip ? 2 * e.rc.left + column - 1 - px : px; };
            HPEN pen = CreatePen(PS_SOLID, 1, ink);
            HPEN old = SelectObject(dc, pen);
            for (int k = 0; k < 2 * u; ++k) {
                POINT a{fx(x + u), y + 3 * u + k}, b{fx(x + 3 * u), y + 5 * u + k},
                    c{fx(x + 7 * u), y + u + k};
                MoveToEx(dc, a.x, a.y, nullptr);
                LineTo(dc, b.x, b.y);
                LineTo(dc, c.x, c.y);
            }
            SelectObject(dc, old);
            DeleteObject(pen);
        }
        if (e.popup) {
            RECT a{e.rc.right - column, e.rc.top, e.rc.right, e.rc.bottom};
            HBRUSH b = GetSysColorBrush(hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
            int size = std::max(2, (a.bottom - a.top) / 4);
            int cx = a.left + (a.right - a.left) / 2 - size / 2, cy = (a.top + a.bottom) / 2;
            for (int i2 = 0; i2 < size; ++i2) {
                RECT q{cx + i2, cy - (size - 1 - i2), cx + i2 + 1, cy + (size - i2)};
                FillRect(dc, &q, b);
            }
        }
    }
}

LRESULT MenuProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            Paint(h, dc);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefWindowProc(h, msg, wp, lp);
    }
}

// Where a menu opens: at a point by the TPM_ alignment flags (a top menu),
// or beside its parent's item (a cascade).
struct Anchor {
    int x = 0, y = 0;
    UINT flags = 0;
    const RECT* parent = nullptr;  // the parent menu's screen rectangle
    int itemTop = 0, itemBottom = 0;  // the parent item's rows on the screen
};

int ScreenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}

// Places a menu of this size at x, y by the alignment flags, kept on the
// screen. A mirrored menu takes the horizontal flags from its right edge.
POINT Place(SIZE s, int x, int y, UINT flags, bool rtl) {
    UINT h = flags & (TPM_CENTERALIGN | TPM_RIGHTALIGN);
    if (rtl && h != TPM_CENTERALIGN) h ^= TPM_RIGHTALIGN;
    if (h & TPM_RIGHTALIGN) x -= s.cx;
    else if (h & TPM_CENTERALIGN) x -= s.cx / 2;
    if (flags & TPM_BOTTOMALIGN) y -= s.cy;
    else if (flags & TPM_VCENTERALIGN) y -= s.cy / 2;
    int sw = ScreenWidth(), sh = GetSystemMetrics(SM_CYSCREEN);
    x = std::clamp(x, 0, std::max(0, sw - static_cast<int>(s.cx)));
    y = std::clamp(y, 0, std::max(0, sh - static_cast<int>(s.cy)));
    return POINT{x, y};
}

// A cascade overlaps its parent a little, on the side it cascades to: the
// right, or the left in a mirrored menu, and the other side when the screen
// has no room for it there. On a screen too narrow for either side it opens
// below its parent item (above when there is no room below), so that the
// item stays in sight.
POINT PlaceCascade(SIZE s, const Anchor& a, bool rtl) {
    const RECT& parent = *a.parent;
    int overlap = theme::Scale(3);
    int toRight = parent.right - overlap, toLeft = parent.left + overlap - s.cx;
    bool rightFits = toRight + s.cx <= ScreenWidth(), leftFits = toLeft >= 0;
    // Pushed back onto the screen, a cascade may still cover the parent's
    // arrow column, never its texts.
    const int rightCover = parent.right - std::min(toRight, ScreenWidth() - static_cast<int>(s.cx));
    const int leftCover = std::max(toLeft, 0) + static_cast<int>(s.cx) - parent.left;
    if (!rightFits && !leftFits && std::min(rightCover, leftCover) <= theme::Scale(16)) {
        rightFits = rightCover <= leftCover;
        leftFits = !rightFits;
    }
    if (!rightFits && !leftFits) {
        const int indent = theme::Scale(12);
        const int x = rtl ? parent.right - indent - s.cx : parent.left + indent;
        const bool below = a.itemBottom + s.cy <= GetSystemMetrics(SM_CYSCREEN) || a.itemTop - s.cy < 0;
        return Place(s, x, below ? a.itemBottom : a.itemTop - s.cy, TPM_LEFTALIGN, false);
    }
    int x = rtl ? (leftFits || !rightFits ? toLeft : toRight)
                : (rightFits || !leftFits ? toRight : toLeft);
    return Place(s, x, a.y, TPM_LEFTALIGN, false);
}

Level* Open(HMENU menu, const Anchor& anchor) {
    UINT flags = anchor.flags;
    if (g_loop->owner && !(flags & TPM_NONOTIFY))
        SendMessage(g_loop->owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                    static_cast<LPARAM>(g_loop->levels.size()));
    if (!IsMenu(menu) || !g_loop) return nullptr;
    auto level = std::make_unique<Level>();
    level->menu = menu;
    SIZE size{};
    level->items = Measure(menu, g_loop->owner, &size);
    POINT at = anchor.parent ? PlaceCascade(size, anchor, g_loop->rtl)
                             : Place(size, anchor.x, anchor.y, flags, g_loop->rtl);
    Level* l = level.get();
    g_loop->levels.push_back(std::move(level));
    DWORD ex = WS_EX_TOPMOST | (g_loop->rtl ? WS_EX_LAYOUTRTL : 0);
    l->hwnd = CreateWindowEx(ex, u"#32768", u"", WS_POPUP, at.x, at.y, size.cx, size.cy,
                             g_loop->owner, nullptr, nullptr, nullptr);
    ShowWindow(l->hwnd, SW_SHOWNA);
    return l;
}

void CloseFrom(size_t depth) {
    while (g_loop->levels.size() > depth) {
        HWND w = g_loop->levels.back()->hwnd;
        g_loop->levels.pop_back();
        if (IsWindow(w)) DestroyWindow(w);
    }
}

void SetHot(Level* l, int i) {
    if (l->hot == i) return;
    l->hot = i;
    InvalidateRect(l->hwnd, nullptr, false);
}

size_t DepthOf(Level* l) {
    for (size_t i = 0; i < g_loop->levels.size(); ++i)
        if (g_loop->levels[i].get() == l) return i;
    return 0;
}

// Opens the hot item's submenu beside it.
void OpenSub(Level* l) {
    if (l->hot < 0) return;
    const Entry& e = l->items[static_cast<size_t>(l->hot)];
    if (!e.popup || !e.Enabled()) return;
    size_t depth = DepthOf(l);
    if (g_loop->levels.size() > depth + 1 && g_loop->levels[depth + 1]->menu == e.popup) return;
    CloseFrom(depth + 1);
    RECT wr;
    GetWindowRect(l->hwnd, &wr);
    Anchor a;
    a.parent = &wr;
    a.y = wr.top + e.rc.top - theme::Scale(2);
    a.itemTop = wr.top + e.rc.top;
    a.itemBottom = wr.top + e.rc.bottom;
    Open(e.popup, a);
}

void Choose(const Entry& e) {
    if (!e.Enabled() || e.popup || (e.flags & MF_SEPARATOR)) return;
    g_loop->chosen = e.id;
    g_loop->done = true;
}

void Step(Level* l, int dir) {
    int n = static_cast<int>(l->items.size());
    if (n == 0) return;
    int i = l->hot;
    for (int k = 0; k < n; ++k) {
        i = i < 0 ? (dir > 0 ? 0 : n - 1) : (i + dir + n) % n;
        if (l->items[static_cast<size_t>(i)].Selectable()) break;
    }
    SetHot(l, i);
}

void Key(UINT vk) {
    Level* top = g_loop->levels.back().get();
    // In a mirrored menu submenus open towards the left: Left opens one and
    // Right closes it (on a mirrored menu bar, Left goes on to the next menu,
    // which stands to the left).
    if (g_loop->rtl && (vk == VK_LEFT || vk == VK_RIGHT)) vk = vk == VK_LEFT ? VK_RIGHT : VK_LEFT;
    switch (vk) {
        case VK_UP:
            Step(top, -1);
            break;
        case VK_DOWN:
            Step(top, 1);
            break;
        case VK_RIGHT:
            OpenSub(top);
            if (g_loop->levels.back().get() != top) {
                Step(g_loop->levels.back().get(), 1);
            } else if (g_loop->bar) {
                g_loop->bar->move = 1;  // on to the next menu of the bar
                g_loop->done = true;
            }
            break;
        case VK_LEFT:
            if (g_loop->levels.size() > 1) {
                CloseFrom(g_loop->levels.size() - 1);
            } else if (g_loop->bar) {
                g_loop->bar->move = -1;
                g_loop->done = true;
            }
            break;
        case VK_RETURN:
            if (top->hot >= 0) {
                const Entry& e = top->items[static_cast<size_t>(top->hot)];
                if (e.popup) {
                    OpenSub(top);
                    if (g_loop->levels.back().get() != top) Step(g_loop->levels.back().get(), 1);
                } else {
                    Choose(e);
                }
            }
            break;
        case VK_ESCAPE:
            if (g_loop->levels.size() > 1)
                CloseFrom(g_loop->levels.size() - 1);
            else
                g_loop->done = true;
            break;
        default:
            break;
    }
}

void Mnemonic(WChar c) {
    Level* top = g_loop->levels.back().get();
    WChar want = text::ToLowerChar(c);
    for (size_t i = 0; i < top->items.size(); ++i) {
        const WString& t = top->items[i].text;
        size_t amp = t.find(u'&');
        while (amp != WString::npos && amp + 1 < t.size() && t[amp + 1] == u'&')
            amp = t.find(u'&', amp + 2);
        if (amp == WString::npos || amp + 1 >= t.size()) continue;
        if (text::ToLowerChar(t[amp + 1]) != want) continue;
        SetHot(top, static_cast<int>(i));
        Key(VK_RETURN);
        return;
    }
}

// The deepest open menu under a screen point, and the item there.
Level* Under(POINT screen, int* item) {
    *item = -1;
    for (auto it = g_loop->levels.rbegin(); it != g_loop->levels.rend(); ++it) {
        RECT wr;
        GetWindowRect((*it)->hwnd, &wr);
        if (!PtInRect(&wr, screen)) continue;
        POINT p = screen;  // in the menu's own client coordinates (mirrored or not)
        ScreenToClient((*it)->hwnd, &p);
        for (size_t i = 0; i < (*it)->items.size(); ++i)
            if (PtInRect(&(*it)->items[i].rc, p) && (*it)->items[i].Selectable())
                *item = static_cast<int>(i);
        return it->get();
    }
    return nullptr;
}

}  // namespace

void SetMenuBarLink(MenuBarLink* link) {
    g_barLink = link;
}

void SetRealWindowsForTests(bool on) {
    g_realWindows = on;
}

bool WantRealWindows() {
    return g_realWindows || GetDisplayBackend().HasCapability(BackendCapability::Display);
}

UINT RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    static bool registered = false;
    if (!registered) {
        RegisterSystemClass(u"#32768", MenuProc, 0);
        registered = true;
    }
    if (g_loop) return 0;  // one menu at a time
    Loop loop;
    loop.owner = owner;
    loop.rtl = (flags & TPM_LAYOUTRTL) ||
               (owner && (GetWindowLongPtr(owner, GWL_EXSTYLE) & WS_EX_LAYOUTRTL));
    loop.bar = g_barLink;
    g_barLink = nullptr;
    g_loop = &loop;
    Anchor anchor;
    anchor.x = x;
    anchor.y = y;
    anchor.flags = flags;
    Level* root = Open(menu, anchor);
    if (!root) {
        g_loop = nullptr;
        return 0;
    }
    if (loop.bar && loop.bar->keys) Step(root, 1);
    HWND rootWnd = root->hwnd;
    SetCapture(rootWnd);
    bool penDown = false;
    MSG m;
    while (!loop.done) {
        if (!GetMessage(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (owner && !IsWindow(owner)) break;
        if (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) {
            Key(static_cast<UINT>(m.wParam));
            TranslateMessage(&m);
            continue;
        }
        if (m.message == WM_KEYUP || m.message == WM_SYSKEYUP) continue;
        if (m.message == WM_CHAR) {
            Mnemonic(static_cast<WChar>(m.wParam));
            continue;
        }
        if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) {
            int item = -1;
            Level* l = Under(m.pt, &item);
            bool down = m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONDBLCLK ||
                        m.message == WM_RBUTTONDOWN;
            bool up = m.message == WM_LBUTTONUP || m.message == WM_RBUTTONUP;
            if (down) {
                penDown = true;
                if (!l) {  // a tap outside dismisses and goes no further
                    // On the menu bar it opens that button's menu instead.
                    if (loop.bar && loop.bar->hit) loop.bar->tapped = loop.bar->hit(m.pt);
                    loop.done = true;
                    continue;
                }
            }
            if (l && (penDown || m.message == WM_MOUSEMOVE)) {
                if (penDown || item >= 0) {
                    CloseFrom(DepthOf(l) + 1);
                    SetHot(l, item);
                    OpenSub(l);
                }
            }
            if (up && penDown) {
                penDown = false;
                if (l && item >= 0)
                    Choose(l->items[static_cast<size_t>(item)]);
                else if (!l)
                    loop.done = true;  // dragged off every menu: nothing chosen
            }
            continue;
        }
        if (m.message == WM_NCLBUTTONDOWN) {
            loop.done = true;
            continue;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
        if (GetCapture() != rootWnd && IsWindow(rootWnd)) SetCapture(rootWnd);
    }
    if (GetCapture() == rootWnd) ReleaseCapture();
    CloseFrom(0);
    g_loop = nullptr;
    return loop.chosen;
}

}  // namespace win::detail
