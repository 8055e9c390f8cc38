// LISTBOX and COMBOBOX, which share one item list model.
#include <algorithm>
#include <optional>
#include <utility>

#include "platform/res/locale.h"
#include "platform/win/controls.h"
#include "platform/win/ctlcolor.h"
#include "platform/win/look.h"
#include "platform/win/menu.h"
#include "platform/win/nonclient.h"
#include "platform/win/list_actions.h"
#include "platform/win/shown_line.h"
#include "platform/win/window_impl.h"

using namespace win::detail;

namespace win {

namespace {

// Primary collation key of a character: letters without accents, folded.
WChar BaseLetter(WChar c) {
    static const char16_t* const kFrom = u"ÀÁÂÃÄÅàáâãäåÇçÈÉÊËèéêëÌÍÎÏìíîïÑñÒÓÔÕÖòóôõöÙÚÛÜùúûüÝýÿ";
    static const char16_t* const kTo = u"aaaaaaaaaaaacceeeeeeeeiiiiiiiinnooooooooooouuuuuuuuyyy";
    for (size_t i = 0; kFrom[i]; ++i)
        if (kFrom[i] == c) return kTo[i];
    return text::ToLowerChar(c);
}

// Letters that some languages sort after z, in their order.
int NordicRank(DWORD lang, WChar c) {
    WChar l = text::ToLowerChar(c);
    if (lang == 0x1D || lang == 0x0B) {  // Swedish, Finnish: å ä ö
        if (l == u'å') return 1;
        if (l == u'ä') return 2;
        if (l == u'ö') return 3;
    }
    if (lang == 0x06 || lang == 0x14) {  // Danish, Norwegian: æ ø å
        if (l == u'æ') return 1;
        if (l == u'ø') return 2;
        if (l == u'å') return 3;
    }
    return 0;
}

}  // namespace

int CompareForLocale(DWORD lcid, WStringView a, WStringView b) {
    DWORD lang = lcid & 0x3FF;
    size_t n = std::min(a.size(), b.size());
    auto key = [lang](WChar c) -> uint32_t {
        int rank = NordicRank(lang, c);
        return rank ? 0x10000u + static_cast<uint32_t>(rank) : BaseLetter(c);
    };
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = key(a[i]), y = key(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Equal at the primary level: accents, then case decide.
    for (size_t i = 0; i < n; ++i) {
        WChar x = text::ToLowerChar(a[i]), y = text::ToLowerChar(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] > b[i] ? -1 : 1;  // lower case first
    return 0;
}

}  // namespace win

namespace {

int ItemHeight() {
    return win::theme::Scale(13);
}

struct Item {
    WString text;
    uintptr_t data = 0;
    bool selected = false;
};

struct ListModel {
    std::vector<Item> items;
    int cur = -1;
    int top = 0;
    int anchor = -1;
    DWORD lcid = res::GetUserDefaultLCID();
    std::vector<int> tabStops;
    int hExtent = 0;    // LB_SETHORIZONTALEXTENT: how wide the rows may be drawn
    int left = 0;       // pixels scrolled to the left within that width
    int rowHeight = 0;  // set by WM_MEASUREITEM or LB_SETITEMHEIGHT; 0: the standard

    int Insert(int index, WString s, bool sorted) {
        if (sorted) {
            index = 0;
            while (index < static_cast<int>(items.size()) &&
                   win::CompareForLocale(lcid, items[static_cast<size_t>(index)].text, s) <= 0)
                ++index;
        } else if (index < 0 || index > static_cast<int>(items.size())) {
            if (index != -1) return -1;
            index = static_cast<int>(items.size());
        }
        items.insert(items.begin() + index, Item{std::move(s)});
        if (cur >= index) ++cur;
        return index;
    }
    int Delete(int index) {
        if (index < 0 || index >= static_cast<int>(items.size())) return -1;
        items.erase(items.begin() + index);
        if (cur == index)
            cur = -1;
        else if (cur > index)
            --cur;
        return static_cast<int>(items.size());
    }
    bool Valid(intptr_t i) const { return i >= 0 && i < static_cast<intptr_t>(items.size()); }
    // Prefix (or exact) search without regard to case, after `start`, wrapping.
    int FindText(int start, WStringView s, bool exact) const {
        int n = static_cast<int>(items.size());
        if (n == 0) return -1;
        if (start < -1 || start >= n) start = -1;
        for (int k = 1; k <= n; ++k) {
            int i = (start + k) % n;
            const WString& t = items[static_cast<size_t>(i)].text;
            if (exact ? text::EqualsNoCase(t, s)
                      : (t.size() >= s.size() &&
                         text::EqualsNoCase(WStringView(t).substr(0, s.size()), s)))
                return i;
        }
        return -1;
    }
};

LRESULT CopyText(const WString& s, LPARAM lp) {
    auto* buf = reinterpret_cast<WChar*>(lp);
    if (buf) {
        std::copy(s.begin(), s.end(), buf);
        buf[s.size()] = 0;
    }
    return static_cast<LRESULT>(s.size());
}

DWORD Style(HWND h) {
    return static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
}

// The message numbers of one kind of list (list box or combo box).
struct ListMessages {
    UINT add, insert, remove, count, getText, getTextLen, find, findExact, getData, setData,
        setLocale, getLocale;
};
constexpr ListMessages kListBoxMessages{
    LB_ADDSTRING,  LB_INSERTSTRING,    LB_DELETESTRING, LB_GETCOUNT,    LB_GETTEXT,   LB_GETTEXTLEN,
    LB_FINDSTRING, LB_FINDSTRINGEXACT, LB_GETITEMDATA,  LB_SETITEMDATA, LB_SETLOCALE, LB_GETLOCALE};
constexpr ListMessages kComboMessages{CB_ADDSTRING,   CB_INSERTSTRING,    CB_DELETESTRING,
                                      CB_GETCOUNT,    CB_GETLBTEXT,       CB_GETLBTEXTLEN,
                                      CB_FINDSTRING,  CB_FINDSTRINGEXACT, CB_GETITEMDATA,
                                      CB_SETITEMDATA, CB_SETLOCALE,       CB_GETLOCALE};

// The item messages both kinds share; nullopt for any other message.
// `adjust` changes added texts (the combo box's case styles).
std::optional<LRESULT> ItemMessage(ListModel& m, const ListMessages& k, bool sorted,
                                   WString (*adjust)(DWORD, WString), DWORD style, UINT msg,
                                   WPARAM wp, LPARAM lp) {
    intptr_t i = static_cast<int>(wp);
    size_t at = static_cast<size_t>(i);
    if (msg == k.add || msg == k.insert) {
        const WChar* s = reinterpret_cast<const WChar*>(lp);
        WString t = s ? s : u"";
        if (adjust) t = adjust(style, std::move(t));
        int r =
            m.Insert(msg == k.add ? -1 : static_cast<int>(i), std::move(t), msg == k.add && sorted);
        return r < 0 ? LRESULT(-1) : r;
    }
    if (msg == k.remove) return m.Delete(static_cast<int>(i));
    if (msg == k.count) return static_cast<LRESULT>(m.items.size());
    if (msg == k.getText) return m.Valid(i) ? CopyText(m.items[at].text, lp) : -1;
    if (msg == k.getTextLen) return m.Valid(i) ? static_cast<LRESULT>(m.items[at].text.size()) : -1;
    if (msg == k.find || msg == k.findExact) {
        const WChar* s = reinterpret_cast<const WChar*>(lp);
        return m.FindText(static_cast<int>(i), s ? s : u"", msg == k.findExact);
    }
    if (msg == k.getData) return m.Valid(i) ? static_cast<LRESULT>(m.items[at].data) : -1;
    if (msg == k.setData) {
        if (!m.Valid(i)) return -1;
        m.items[at].data = static_cast<uintptr_t>(lp);
        return 0;
    }
    if (msg == k.setLocale)
        return static_cast<LRESULT>(std::exchange(m.lcid, static_cast<DWORD>(wp)));
    if (msg == k.getLocale) return static_cast<LRESULT>(m.lcid);
    return std::nullopt;
}

// ---------------------------------------------------------------- LISTBOX

struct ListBoxState : ControlState {
    ListModel list;
    bool focused = false;
};

// The row height of a list box (its own one when measured), or the standard.
int RowHeight(HWND h) {
    ListBoxState* st = Control<ListBoxState>(h);
    return st && st->list.rowHeight > 0 ? st->list.rowHeight : ItemHeight();
}

// The tab stops of a row in pixels (given in quarters of the average
// character width): the list, then every last stop again up to `width`.
std::vector<int> TabPixels(HDC dc, const std::vector<int>& stops, int width) {
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int unit = std::max(1, static_cast<int>(tm.tmAveCharWidth));
    std::vector<int> px;
    for (int s : stops) px.push_back(s * unit / 4);
    int every = (stops.empty() ? 32 : stops.back()) * unit / 4;
    if (every <= 0) every = 8 * unit;
    int last = px.empty() ? 0 : px.back();
    for (int at = (last / every + 1) * every; at <= width + every; at += every) px.push_back(at);
    return px;
}

// Text with tab stops at x; read right to left, it ends at x instead and
// its first piece stands at the right.
void TabbedText(HDC dc, int x, int y, const WString& t, const std::vector<int>& stops, int width,
                bool rtl = false) {
    std::vector<int> px = TabPixels(dc, stops, width);
    int n = static_cast<int>(t.size()), count = static_cast<int>(px.size());
    if (rtl) {
        UINT align = SetTextAlign(dc, TA_RTLREADING);
        DWORD ext = GetTabbedTextExtent(dc, t.data(), n, count, px.data());
        int left = x - static_cast<int>(ext & 0xFFFF);
        TabbedTextOut(dc, left, y, t.data(), n, count, px.data(), left);
        SetTextAlign(dc, align);
        return;
    }
    TabbedTextOut(dc, x, y, t.data(), n, count, px.data(), x);
}

// Rows of items from `top`, the selected ones in highlight colours.
void PaintRows(HWND h, HDC dc, const ListModel& m, int top, bool multi, int hot, bool focused,
               const win::ControlColors& colours) {
    RECT rc;
    GetClientRect(h, &rc);
    FillRect(dc, &rc, colours.Background());
    SelectObject(dc, win::look::ControlFont(h));
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int ih = RowHeight(h);
    bool enabled = IsWindowEnabled(h);
    COLORREF ink = colours.fromParent ? colours.text
                                      : GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    for (int i = top, y = 0; i < static_cast<int>(m.items.size()) && y < rc.bottom; ++i, y += ih) {
        const Item& it = m.items[static_cast<size_t>(i)];
        RECT r{0, y, rc.right, y + ih};
        bool sel = multi ? it.selected : i == hot;
        if (sel) {
            FillRect(dc, &r, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_HIGHLIGHT + 1)));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(dc, ink);
        }
        if (win::look::StartsAtRight(h)) {
            // Right-to-left reading: rows stand at the right edge.
            TabbedText(dc, r.right - 2 + m.left, y + (ih - tm.tmHeight) / 2, it.text, m.tabStops,
                       rc.right, true);
        } else {
            TabbedText(dc, r.left + 2 - m.left, y + (ih - tm.tmHeight) / 2, it.text, m.tabStops,
                       std::max<int>(rc.right, m.hExtent));
        }
        if (focused && i == (m.cur < 0 ? 0 : m.cur)) win::look::Focus(dc, r);
    }
}

void OwnerDrawRows(HWND h, HDC dc, const ListModel& m, bool multi, bool focused) {
    RECT rc;
    GetClientRect(h, &rc);
    int ih = RowHeight(h);
    for (int i = m.top, y = 0; i < static_cast<int>(m.items.size()) && y < rc.bottom; ++i, y += ih) {
        const Item& it = m.items[static_cast<size_t>(i)];
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_LISTBOX;
        dis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
        dis.itemID = static_cast<UINT>(i);
        dis.itemAction = ODA_DRAWENTIRE;
        bool sel = multi ? it.selected : i == m.cur;
        dis.itemState = (sel ? ODS_SELECTED : 0) | (focused && i == m.cur ? ODS_FOCUS : 0) |
                        (IsWindowEnabled(h) ? 0 : ODS_DISABLED);
        dis.hwndItem = h;
        dis.hDC = dc;
        dis.rcItem = RECT{0, y, rc.right, y + ih};
        dis.itemData = it.data;
        SendMessage(GetParent(h), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    }
}

int VisibleRows(HWND h) {
    RECT rc;
    GetClientRect(h, &rc);
    return std::max(1, static_cast<int>(rc.bottom) / RowHeight(h));
}

// Keeps the current item in view and the window's scroll bar in step.
void Reveal(HWND h, ListModel& m) {
    int vis = VisibleRows(h);
    if (m.cur >= 0) {
        if (m.cur < m.top) m.top = m.cur;
        if (m.cur >= m.top + vis) m.top = m.cur - vis + 1;
    }
    m.top = std::clamp(m.top, 0, std::max(0, static_cast<int>(m.items.size()) - vis));
}

// The horizontal bar of a list box wider inside than its window.
void SyncHorizontalBar(HWND h, const ListModel& m) {
    if (!(GetWindowLongPtr(h, GWL_STYLE) & WS_HSCROLL)) return;
    RECT rc;
    GetClientRect(h, &rc);
    SCROLLINFO si, now;
    si.fMask = now.fMask = SIF_ALL;
    si.nMax = std::max(0, m.hExtent - 1);
    si.nPage = static_cast<UINT>(std::max<LONG>(1, rc.right));
    si.nPos = m.left;
    GetScrollInfo(h, SB_HORZ, &now);
    if (now.nMax == si.nMax && now.nPage == si.nPage && now.nPos == si.nPos) return;
    SetScrollInfo(h, SB_HORZ, &si, false);
    DrawNonClient(h);
}

void SyncBar(HWND h, const ListModel& m) {
    SyncHorizontalBar(h, m);
    if (!(GetWindowLongPtr(h, GWL_STYLE) & WS_VSCROLL)) return;
    SCROLLINFO si, now;
    si.fMask = now.fMask = SIF_ALL;
    si.nMax = std::max(0, static_cast<int>(m.items.size()) - 1);
    si.nPage = static_cast<UINT>(VisibleRows(h));
    si.nPos = m.top;
    GetScrollInfo(h, SB_VERT, &now);
    if (now.nMax == si.nMax && now.nPage == si.nPage && now.nPos == si.nPos) return;
    SetScrollInfo(h, SB_VERT, &si, false);
    DrawNonClient(h);
}

int ScrollTarget(HWND h, const ListModel& m, WPARAM wp) {
    int vis = VisibleRows(h);
    switch (LOWORD(wp)) {
        case SB_LINEUP: return m.top - 1;
        case SB_LINEDOWN: return m.top + 1;
        case SB_PAGEUP: return m.top - vis;
        case SB_PAGEDOWN: return m.top + vis;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: return static_cast<int16_t>(HIWORD(wp));
        default: return m.top;
    }
}

bool MultiSel(DWORD style) {
    return style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL);
}

void ListNotify(HWND h, WORD code) {
    if (Style(h) & LBS_NOTIFY) NotifyParent(h, code);
}

// The user picks an item (click or arrow key).
void ListUserSelect(HWND h, ListBoxState* st, int index) {
    if (!st->list.Valid(index)) return;
    if (MultiSel(Style(h))) {
        auto& it = st->list.items[static_cast<size_t>(index)];
        it.selected = !it.selected;
        st->list.cur = index;
        ListNotify(h, LBN_SELCHANGE);
        return;
    }
    if (st->list.cur == index) return;
    st->list.cur = index;
    InvalidateRect(h, nullptr, false);
    ListNotify(h, LBN_SELCHANGE);
}

}  // namespace

LRESULT ListBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ListBoxState* st = EnsureControl<ListBoxState>(h);
    if (!st) return 0;
    ListModel& m = st->list;
    DWORD style = Style(h);
    intptr_t iw = static_cast<int>(wp);
    if (auto r = ItemMessage(m, kListBoxMessages, style & LBS_SORT, nullptr, style, msg, wp, lp)) {
        if (msg == LB_ADDSTRING || msg == LB_INSERTSTRING || msg == LB_DELETESTRING)
            InvalidateRect(h, nullptr, true);
        return *r;
    }
    switch (msg) {
        case LB_RESETCONTENT:
            m.items.clear();
            m.cur = -1;
            m.top = 0;
            InvalidateRect(h, nullptr, true);
            return 0;
        case LB_SETCURSEL:
            if (MultiSel(style)) return LB_ERR;
            if (iw != -1 && !m.Valid(iw)) {
                m.cur = -1;
                return LB_ERR;
            }
            m.cur = static_cast<int>(iw);
            InvalidateRect(h, nullptr, false);
            return iw == -1 ? LB_ERR : iw;
        case LB_GETCURSEL:
            if (MultiSel(style)) return m.cur;
            return m.cur;
        case LB_SETSEL:
            if (!MultiSel(style)) return LB_ERR;
            if (lp == -1) {
                for (auto& it : m.items) it.selected = wp != 0;
            } else if (m.Valid(lp)) {
                m.items[static_cast<size_t>(lp)].selected = wp != 0;
            } else {
                return LB_ERR;
            }
            return 0;
        case LB_GETSEL:
            if (!m.Valid(iw)) return LB_ERR;
            return MultiSel(style) ? m.items[static_cast<size_t>(iw)].selected : m.cur == iw;
        case LB_GETSELCOUNT: {
            if (!MultiSel(style)) return LB_ERR;
            return std::count_if(m.items.begin(), m.items.end(),
                                 [](const Item& i) { return i.selected; });
        }
        case LB_GETSELITEMS: {
            if (!MultiSel(style)) return LB_ERR;
            auto* out = reinterpret_cast<int*>(lp);
            int n = 0;
            for (size_t i = 0; i < m.items.size() && n < static_cast<int>(wp); ++i)
                if (m.items[i].selected) out[n++] = static_cast<int>(i);
            return n;
        }
        case LB_SELECTSTRING: {
            const WChar* s = reinterpret_cast<const WChar*>(lp);
            int i = m.FindText(static_cast<int>(iw), s ? s : u"", false);
            if (i < 0) return LB_ERR;
            if (!MultiSel(style)) {
                m.cur = i;
                InvalidateRect(h, nullptr, false);
            }
            return i;
        }
        case LB_SETTABSTOPS: {
            if (!(style & LBS_USETABSTOPS)) return FALSE;
            m.tabStops.clear();
            auto* stops = reinterpret_cast<const int*>(lp);
            if (wp == 0) {
                m.tabStops.push_back(32);  // every 32 dialog units / 4
            } else if (wp == 1 && stops) {
                m.tabStops.push_back(stops[0]);
            } else if (stops) {
                m.tabStops.assign(stops, stops + wp);
            }
            return TRUE;
        }
        case LB_SETHORIZONTALEXTENT: {
            RECT rc;
            GetClientRect(h, &rc);
            m.hExtent = std::max(0, static_cast<int>(wp));
            m.left = std::clamp(m.left, 0, std::max(0, m.hExtent - static_cast<int>(rc.right)));
            SyncHorizontalBar(h, m);
            InvalidateRect(h, nullptr, false);
            return 0;
        }
        case WM_HSCROLL: {
            RECT rc;
            GetClientRect(h, &rc);
            int page = std::max<int>(1, rc.right), line = win::theme::Scale(8), to = m.left;
            switch (LOWORD(wp)) {
                case SB_LINEUP: to -= line; break;
                case SB_LINEDOWN: to += line; break;
                case SB_PAGEUP: to -= page; break;
                case SB_PAGEDOWN: to += page; break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: to = static_cast<int16_t>(HIWORD(wp)); break;
                default: break;
            }
            to = std::clamp(to, 0, std::max(0, m.hExtent - page));
            if (to != m.left) {
                m.left = to;
                SyncHorizontalBar(h, m);
                InvalidateRect(h, nullptr, false);
            }
            return 0;
        }
        case LB_SETITEMHEIGHT:
            if (LOWORD(lp) == 0 || LOWORD(lp) > 255) return LB_ERR;
            m.rowHeight = LOWORD(lp);
            InvalidateRect(h, nullptr, true);
            return 0;
        case LB_GETITEMHEIGHT:
            return RowHeight(h);
        case WM_CREATE:
            if (style & LBS_OWNERDRAWFIXED) {
                // The owner says how high its rows are, once.
                MEASUREITEMSTRUCT mis;
                mis.CtlType = ODT_LISTBOX;
                mis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
                mis.itemHeight = static_cast<UINT>(ItemHeight());
                RECT rc;
                GetClientRect(h, &rc);
                mis.itemWidth = static_cast<UINT>(rc.right);
                if (HWND parent = GetParent(h))
                    SendMessage(parent, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
                if (mis.itemHeight > 0 && mis.itemHeight <= 255)
                    m.rowHeight = static_cast<int>(mis.itemHeight);
            }
            break;
        case LB_GETHORIZONTALEXTENT:
            return m.hExtent;
        case LB_SETTOPINDEX:
            if (!m.Valid(iw)) return LB_ERR;
            m.top = static_cast<int>(iw);
            return 0;
        case LB_GETTOPINDEX:
            return m.top;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            SetFocus(h);
            if (!IsWindow(h)) return 0;
            int index = m.top + GET_Y_LPARAM(lp) / RowHeight(h);
            if (!m.Valid(index)) return 0;
            if (msg == WM_LBUTTONDBLCLK && index == m.cur) {
                ListNotify(h, LBN_DBLCLK);
                return 0;
            }
            ListUserSelect(h, st, index);
            return 0;
        }
        case WM_KEYDOWN: {
            int n = static_cast<int>(m.items.size());
            if (n == 0) return 0;
            int to = m.cur;
            int page = std::max(1, VisibleRows(h) - 1);
            if (wp == VK_DOWN)
                to = std::min(n - 1, m.cur + 1);
            else if (wp == VK_UP)
                to = std::max(0, m.cur - 1);
            else if (wp == VK_HOME)
                to = 0;
            else if (wp == VK_END)
                to = n - 1;
            else if (wp == VK_NEXT)
                to = std::min(n - 1, std::max(m.cur, 0) + page);
            else if (wp == VK_PRIOR)
                to = std::max(0, m.cur - page);
            else
                return 0;
            ListUserSelect(h, st, to);
            Reveal(h, m);
            InvalidateRect(h, nullptr, false);
            return 0;
        }
        case WM_CHAR: {
            // Type-ahead: the next item starting with the letter.
            WChar one[1] = {static_cast<WChar>(wp)};
            if (one[0] < 0x20) return 0;
            int i = m.FindText(m.cur, WStringView(one, 1), false);
            if (i >= 0 && i != m.cur) {
                ListUserSelect(h, st, i);
                Reveal(h, m);
                InvalidateRect(h, nullptr, false);
            }
            return 0;
        }
        case WM_VSCROLL:
            m.top = ScrollTarget(h, m, wp);
            m.top = std::clamp(m.top, 0, std::max(0, static_cast<int>(m.items.size()) - VisibleRows(h)));
            InvalidateRect(h, nullptr, false);
            return 0;
        case WM_SETFOCUS:
            st->focused = true;
            InvalidateRect(h, nullptr, false);
            ListNotify(h, LBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            st->focused = false;
            InvalidateRect(h, nullptr, false);
            ListNotify(h, LBN_KILLFOCUS);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            if (style & LBS_OWNERDRAWFIXED) {
                win::ControlColors colours = win::QueryControlColors(h, dc);
                RECT rc;
                GetClientRect(h, &rc);
                FillRect(dc, &rc, colours.Background());
                OwnerDrawRows(h, dc, m, MultiSel(style), st->focused);
            } else {
                PaintRows(h, dc, m, m.top, MultiSel(style), m.cur, st->focused,
                          win::QueryControlColors(h, dc));
            }
            EndPaint(h, &ps);
            SyncBar(h, m);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// ---------------------------------------------------------------- COMBOBOX

namespace {

// A combo box window has the height of its closed field; the height it was
// created with is that of the open drop-down.
int ComboFieldHeight() {
    return win::theme::Scale(20);
}

struct ComboState : ControlState {
    ListModel list;
    int droppedHeight = 0;
    bool dropped = false;
    size_t limit = 0;
    size_t selStart = 0, selEnd = 0;
    bool focused = false;
    HWND dropList = nullptr;  // the open drop-down
    int hot = -1;             // the item marked in it
    bool armed = false;       // the pen went down in it
};

bool IsDropList(DWORD style) {
    return (style & 3) == CBS_DROPDOWNLIST;
}

WString CaseOf(DWORD style, WString s) {
    if (style & CBS_UPPERCASE) return text::ToUpper(s);
    if (style & CBS_LOWERCASE) return text::ToLower(s);
    return s;
}

void SetEditText(HWND h, const WString& s) {
    Window* w = Find(h);
    if (w) w->text = s;
    InvalidateRect(h, nullptr, false);
}

void SelectItem(HWND h, ComboState* st, int index) {
    st->list.cur = st->list.Valid(index) ? index : -1;
    SetEditText(h, st->list.cur >= 0 ? st->list.items[static_cast<size_t>(index)].text : WString());
}

// Opens the drop-down: a pop-up below the field, as high as the combo box
// was made, marking the current item.
void OpenList(HWND h, ComboState* st) {
    if (st->dropList && IsWindow(st->dropList)) return;
    RECT wr;
    GetWindowRect(h, &wr);
    int height = std::max(st->droppedHeight - (wr.bottom - wr.top), ItemHeight() + 2);
    int rows = static_cast<int>(st->list.items.size());
    DWORD style = WS_POPUP | WS_BORDER;
    if (rows * ItemHeight() > height - 2) style |= WS_VSCROLL;
    else height = std::max(rows, 1) * ItemHeight() + 2;
    st->hot = st->list.cur;
    st->armed = false;
    st->list.top = 0;
    HWND list = CreateWindowEx(WS_EX_TOPMOST, u"ComboLBox", u"", style, wr.left, wr.bottom,
                               wr.right - wr.left, height, h, nullptr, nullptr, nullptr);
    if (!list) return;
    st->dropList = list;
    SetWindowLongPtr(list, GWLP_USERDATA, reinterpret_cast<intptr_t>(h));
    SendMessage(list, WM_SETFONT, SendMessage(h, WM_GETFONT, 0, 0), 0);
    Reveal(list, st->list);
    if (st->hot >= 0) {
        int vis = VisibleRows(list);
        if (st->hot >= vis) st->list.top = std::min(st->hot, rows - vis);
    }
    ShowWindow(list, SW_SHOWNA);
    SetCapture(list);
    InvalidateRect(h, nullptr, false);
}

void CloseList(HWND h, ComboState* st) {
    HWND list = st->dropList;
    st->dropList = nullptr;
    st->armed = false;
    if (list && IsWindow(list)) {
        if (GetCapture() == list) ReleaseCapture();
        DestroyWindow(list);
    }
    if (IsWindow(h)) InvalidateRect(h, nullptr, false);
}

// Ends a drop-down: with a pick, as the user's selection does (change,
// ok, close-up); without, as a cancel.
void EndDrop(HWND h, ComboState* st, int pick) {
    if (!st->dropped) return;
    if (pick >= 0 && st->list.Valid(pick)) {
        bool changed = st->list.cur != pick;
        SelectItem(h, st, pick);
        if (changed) NotifyParent(h, CBN_SELCHANGE);
        if (!IsWindow(h)) return;
        NotifyParent(h, CBN_SELENDOK);
    } else {
        NotifyParent(h, CBN_SELENDCANCEL);
    }
    if (!IsWindow(h)) return;
    st->dropped = false;
    CloseList(h, st);
    NotifyParent(h, CBN_CLOSEUP);
}

// The editable field's text reads right to left with the reading bit or a
// mirrored layout (as it is drawn).
UINT FieldTextOptions(HWND h) {
    return win::look::ReadingOrder(h) ? ETO_RTLREADING : 0;
}

void PaintCombo(HWND h, ComboState* st, HDC dc) {
    DWORD style = Style(h);
    RECT rc;
    GetClientRect(h, &rc);
    win::ControlColors colours = win::QueryControlColors(h, dc);
    RECT r = rc;
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    bool enabled = IsWindowEnabled(h);
    RECT button = r;
    button.left = std::max(r.left, r.right - GetSystemMetrics(SM_CXVSCROLL));
    win::look::ArrowButton(dc, button, win::look::Arrow::Down, st->dropped, enabled);
    RECT field = r;
    field.right = button.left;
    FillRect(dc, &field, colours.Background());
    SelectObject(dc, win::look::ControlFont(h));
    SetBkMode(dc, TRANSPARENT);
    COLORREF ink = colours.fromParent ? colours.text
                                      : GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    const WString& t = Find(h)->text;
    RECT tr = field;
    InflateRect(&tr, -1, -1);
    if (IsDropList(style) && st->focused && !st->dropped) {
        FillRect(dc, &tr, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_HIGHLIGHT + 1)));
        RECT text = tr;
        text.left += 1;
        win::look::Label(dc, t, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, true,
                         GetSysColor(COLOR_HIGHLIGHTTEXT));
        win::look::Focus(dc, tr);
        return;
    }
    RECT text = tr;
    text.left += 1;
    UINT align = (win::look::StartsAtRight(h) ? DT_RIGHT : DT_LEFT) | win::look::ReadingOrder(h);
    win::look::Label(dc, t, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | align, enabled, ink);
    // An editable field with the keys: its selection, and the caret at its end.
    if (IsDropList(style) || !st->focused) return;
    size_t a = std::min({st->selStart, st->selEnd, t.size()});
    size_t b = std::min(std::max(st->selStart, st->selEnd), t.size());
    size_t caret = std::min(st->selEnd, t.size());
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int top = text.top + (text.bottom - text.top - tm.tmHeight) / 2;
    win::detail::ShownLine line(dc, t, 0, t.size(), FieldTextOptions(h));
    int left = text.left;
    if (align & DT_RIGHT) {
        SIZE sz{};
        GetTextExtentPoint32(dc, t.c_str(), static_cast<int>(t.size()), &sz);
        left = text.right - sz.cx;
    }
    auto xAt = [&](size_t i) { return left + line.CaretX(i); };
    if (a < b && line.Plain()) {
        RECT sel{xAt(a), top, xAt(b), top + tm.tmHeight};
        FillRect(dc, &sel, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_HIGHLIGHT + 1)));
        win::look::Label(dc, t.substr(a, b - a), sel, DT_SINGLELINE | DT_TOP | DT_NOPREFIX, true,
                         GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else if (a < b) {
        // Runs read right to left: the selected units may show apart. Their
        // places in highlight, and the text again in highlight text there.
        HRGN sel = CreateRectRgn(0, 0, 0, 0);
        for (size_t i = a; i < b; ++i) {
            const gdi::TextUnitPlace& q = line.Places()[i];
            RECT r{left + q.left, top, left + q.right, top + tm.tmHeight};
            IntersectRect(&r, &r, &field);
            HRGN one = CreateRectRgnIndirect(&r);
            CombineRgn(sel, sel, one, RGN_OR);
            DeleteObject(one);
        }
        FillRgn(dc, sel, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_HIGHLIGHT + 1)));
        int saved = SaveDC(dc);
        SelectClipRgn(dc, sel);
        win::look::Label(dc, t, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | align, true,
                         GetSysColor(COLOR_HIGHLIGHTTEXT));
        RestoreDC(dc, saved);
        DeleteObject(sel);
    }
    SetCaretPos(std::clamp(xAt(caret), static_cast<int>(field.left),
                           static_cast<int>(field.right) - 2),
                top);
}

// What f gives for the field's text as it is shown (ShownLine).
template <class F>
size_t OnFieldLine(HWND h, const WString& t, F f) {
    HDC dc = GetDC(h);
    HFONT old = SelectObject(dc, win::look::ControlFont(h));
    size_t result = f(win::detail::ShownLine(dc, t, 0, t.size(), FieldTextOptions(h)));
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return result;
}

}  // namespace

LRESULT ComboBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ComboState* st = EnsureControl<ComboState>(h);
    if (!st) return 0;
    ListModel& m = st->list;
    DWORD style = Style(h);
    intptr_t iw = static_cast<int>(wp);
    if (auto r = ItemMessage(m, kComboMessages, style & CBS_SORT, CaseOf, style, msg, wp, lp))
        return *r;
    switch (msg) {
        case WM_CREATE: {
            Window* w = Find(h);
            st->droppedHeight = w->rect.bottom - w->rect.top;
            if ((style & 3) != CBS_SIMPLE)
                w->rect.bottom = w->rect.top + std::min(st->droppedHeight, ComboFieldHeight());
            return 0;
        }
        case CB_GETDROPPEDCONTROLRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r) return CB_ERR;
            GetWindowRect(h, r);
            r->bottom = r->top + std::max(st->droppedHeight, ComboFieldHeight());
            return CB_OKAY;
        }
        case CB_RESETCONTENT:
            m.items.clear();
            m.cur = -1;
            SetEditText(h, WString());
            return CB_OKAY;
        case CB_SETCURSEL:
            SelectItem(h, st, static_cast<int>(iw));
            return m.cur < 0 ? CB_ERR : m.cur;
        case CB_GETCURSEL:
            return m.cur;
        case CB_SELECTSTRING: {
            const WChar* s = reinterpret_cast<const WChar*>(lp);
            int i = m.FindText(static_cast<int>(iw), s ? s : u"", false);
            if (i < 0) return CB_ERR;
            SelectItem(h, st, i);
            return i;
        }
        case CB_SHOWDROPDOWN:
            if ((wp != 0) != st->dropped) {
                st->dropped = wp != 0;
                if (st->dropped) {
                    NotifyParent(h, CBN_DROPDOWN);
                    if (IsWindow(h) && st->dropped) OpenList(h, st);
                } else {
                    CloseList(h, st);
                    NotifyParent(h, CBN_CLOSEUP);
                }
            }
            return TRUE;
        case CB_GETDROPPEDSTATE:
            return st->dropped;
        case CB_LIMITTEXT:
            st->limit = wp;
            return TRUE;
        case CB_GETEDITSEL: {
            if (wp) *reinterpret_cast<DWORD*>(wp) = static_cast<DWORD>(st->selStart);
            if (lp) *reinterpret_cast<DWORD*>(lp) = static_cast<DWORD>(st->selEnd);
            return MAKELONG(static_cast<WORD>(st->selStart), static_cast<WORD>(st->selEnd));
        }
        case CB_SETEDITSEL: {
            if (IsDropList(style)) return CB_ERR;
            size_t n = Find(h)->text.size();
            int a = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp)));
            int b = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp)));
            st->selStart = a < 0 ? n : std::min<size_t>(static_cast<size_t>(a), n);
            st->selEnd = b < 0 ? n : std::min<size_t>(static_cast<size_t>(b), n);
            // The field shows the new selection and its caret.
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case WM_SETTEXT: {
            const WChar* s = reinterpret_cast<const WChar*>(lp);
            if (IsDropList(style)) {
                int i = m.FindText(-1, s ? s : u"", true);
                if (i < 0) return CB_ERR;
                SelectItem(h, st, i);
                return TRUE;
            }
            SetEditText(h, s ? s : u"");
            st->selStart = st->selEnd = 0;
            return TRUE;
        }
        case WM_CHAR: {
            WChar c = static_cast<WChar>(wp);
            if (IsDropList(style)) {
                // Typing in a drop-down list selects the next entry with that initial.
                WChar one[1] = {c};
                int i = m.FindText(m.cur, WStringView(one, 1), false);
                if (i >= 0 && i != m.cur) {
                    SelectItem(h, st, i);
                    NotifyParent(h, CBN_SELCHANGE);
                }
                return 0;
            }
            WString& t = Find(h)->text;
            size_t a = std::min({st->selStart, st->selEnd, t.size()});
            size_t b = std::min(std::max(st->selStart, st->selEnd), t.size());
            if (c == 8) {
                if (a == b) {
                    if (a == 0) return 0;
                    --a;
                }
                t.erase(a, b - a);
            } else if (c >= 0x20) {
                WString ins = CaseOf(style, WString(1, c));
                if (st->limit && t.size() - (b - a) + 1 > st->limit) {
                    MessageBeep(0);
                    return 0;
                }
                t.replace(a, b - a, ins);
                ++a;
            } else {
                return 0;
            }
            st->selStart = st->selEnd = a;
            m.cur = -1;
            NotifyParent(h, CBN_EDITUPDATE);
            NotifyParent(h, CBN_EDITCHANGE);
            return 0;
        }
        case WM_SYSKEYDOWN:
            if (wp == VK_DOWN || wp == VK_UP) {
                if (st->dropped)
                    EndDrop(h, st, st->hot);
                else
                    SendMessage(h, CB_SHOWDROPDOWN, TRUE, 0);
                return 0;
            }
            break;
        case WM_KEYDOWN: {
            if (wp == VK_F1 + 3) {  // F4 opens and closes the list
                if (st->dropped)
                    EndDrop(h, st, st->hot);
                else
                    SendMessage(h, CB_SHOWDROPDOWN, TRUE, 0);
                return 0;
            }
            int n = static_cast<int>(m.items.size());
            if (st->dropped) {
                if (wp == VK_RETURN) {
                    EndDrop(h, st, st->hot);
                } else if (wp == VK_ESCAPE) {
                    EndDrop(h, st, -1);
                } else if (n > 0 && (wp == VK_DOWN || wp == VK_UP)) {
                    st->hot = wp == VK_DOWN ? std::min(n - 1, st->hot + 1) : std::max(0, st->hot - 1);
                    if (st->dropList) {
                        ListModel view = m;
                        view.cur = st->hot;
                        Reveal(st->dropList, view);
                        m.top = view.top;
                        InvalidateRect(st->dropList, nullptr, false);
                    }
                }
                return 0;
            }
            if (!IsDropList(style) &&
                (wp == VK_LEFT || wp == VK_RIGHT || wp == VK_HOME || wp == VK_END)) {
                // The caret in the field, moved by the arrows in the order
                // the text is shown, as in an edit; Shift extends the
                // selection, and without it an arrow ends a selection at its
                // side shown in the arrow's direction.
                const WString& t = Find(h)->text;
                size_t len = t.size(), at = std::min(st->selEnd, len);
                bool shift = GetKeyState(VK_SHIFT) < 0;
                int dir = wp == VK_LEFT ? -1 : 1;
                if (wp == VK_LEFT || wp == VK_RIGHT) {
                    size_t a = std::min({st->selStart, st->selEnd, len});
                    size_t b = std::min(std::max(st->selStart, st->selEnd), len);
                    at = OnFieldLine(h, t, [&](const win::detail::ShownLine& line) {
                        if (!shift && a != b) return line.Side(a, b, dir);
                        size_t to = line.Step(at, dir);
                        return to == WString::npos ? at : to;
                    });
                }
                if (wp == VK_HOME) at = 0;
                if (wp == VK_END) at = len;
                st->selEnd = at;
                if (!shift) st->selStart = at;
                InvalidateRect(h, nullptr, false);
                return 0;
            }
            if (n == 0 || (wp != VK_DOWN && wp != VK_UP)) return 0;
            int to = wp == VK_DOWN ? std::min(n - 1, m.cur + 1) : std::max(0, m.cur - 1);
            if (to != m.cur) {
                SelectItem(h, st, to);
                NotifyParent(h, CBN_SELCHANGE);
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
            SetFocus(h);
            if (IsWindow(h)) SendMessage(h, CB_SHOWDROPDOWN, !st->dropped, 0);
            return 0;
        case WM_SETFOCUS:
            st->focused = true;
            if (!IsDropList(style)) {
                // The editable field's caret; painting places it.
                HDC dc = GetDC(h);
                SelectObject(dc, win::look::ControlFont(h));
                TEXTMETRIC tm;
                GetTextMetrics(dc, &tm);
                ReleaseDC(h, dc);
                CreateCaret(h, nullptr, 1, tm.tmHeight);
                ShowCaret(h);
            }
            InvalidateRect(h, nullptr, false);
            NotifyParent(h, CBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            st->focused = false;
            if (!IsDropList(style)) DestroyCaret();
            InvalidateRect(h, nullptr, false);
            if (st->dropped) {
                st->dropped = false;
                CloseList(h, st);
                NotifyParent(h, CBN_SELENDCANCEL);
                if (IsWindow(h)) NotifyParent(h, CBN_CLOSEUP);
            }
            if (IsWindow(h)) NotifyParent(h, CBN_KILLFOCUS);
            return 0;
        case WM_DESTROY:
            CloseList(h, st);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            PaintCombo(h, st, dc);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_GETDLGCODE:
            // While the list is down, Enter picks and Escape dismisses it
            // instead of pressing the dialog's buttons.
            if (st->dropped && (wp == VK_RETURN || wp == VK_ESCAPE))
                return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

LRESULT ComboListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    HWND combo = reinterpret_cast<HWND>(GetWindowLongPtr(h, GWLP_USERDATA));
    ComboState* st = Control<ComboState>(combo);
    if (!st || st->dropList != h) return DefWindowProc(h, msg, wp, lp);
    ListModel& m = st->list;
    auto itemAt = [&](POINT p) {
        RECT rc;
        GetClientRect(h, &rc);
        if (!PtInRect(&rc, p)) return -1;
        int i = m.top + p.y / ItemHeight();
        return m.Valid(i) ? i : -1;
    };
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            RECT wr, sr;
            GetWindowRect(h, &wr);
            GetClientRect(h, &sr);
            POINT screen = p;
            ClientToScreen(h, &screen);
            if (!PtInRect(&wr, screen)) {
                // A tap outside dismisses the list and goes no further.
                EndDrop(combo, st, -1);
                return 0;
            }
            if (!PtInRect(&sr, p)) {
                // The list's own scroll bar.
                LRESULT hit = NonClientHit(h, screen);
                if (GetCapture() == h) ReleaseCapture();
                NonClientButtonDown(h, hit, screen);
                if (IsWindow(h) && st->dropList == h) SetCapture(h);
                return 0;
            }
            st->armed = true;
            [[fallthrough]];
        }
        case WM_MOUSEMOVE: {
            if (msg == WM_MOUSEMOVE && !st->armed) return 0;
            int i = itemAt(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            if (i >= 0 && i != st->hot) {
                st->hot = i;
                InvalidateRect(h, nullptr, false);
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            if (!st->armed) return 0;  // the lift of the tap that opened the list
            int i = itemAt(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            st->armed = false;
            if (i >= 0) EndDrop(combo, st, i);
            return 0;
        }
        case WM_VSCROLL:
            m.top = std::clamp(ScrollTarget(h, m, wp), 0,
                               std::max(0, static_cast<int>(m.items.size()) - VisibleRows(h)));
            InvalidateRect(h, nullptr, false);
            return 0;
        case WM_CAPTURECHANGED:
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            PaintRows(h, dc, m, m.top, false, st->hot, false, win::QueryControlColors(h, dc));
            EndPaint(h, &ps);
            SyncBar(h, m);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {

void ComboUserSelect(HWND combo, int index) {
    ComboState* st = Control<ComboState>(combo);
    if (!st || !st->list.Valid(index)) return;
    SetFocus(combo);
    if (!IsWindow(combo)) return;
    if (!st->dropped) SendMessage(combo, CB_SHOWDROPDOWN, TRUE, 0);
    if (!IsWindow(combo)) return;
    bool changed = st->list.cur != index;
    SelectItem(combo, st, index);
    if (changed) NotifyParent(combo, CBN_SELCHANGE);
    if (!IsWindow(combo)) return;
    NotifyParent(combo, CBN_SELENDOK);
    if (!IsWindow(combo)) return;
    st->dropped = false;
    CloseList(combo, st);
    NotifyParent(combo, CBN_CLOSEUP);
}

void ListBoxUserSelect(HWND list, int index) {
    ListBoxState* st = Control<ListBoxState>(list);
    if (!st) return;
    SetFocus(list);
    if (IsWindow(list)) ListUserSelect(list, st, index);
}

std::vector<int> ListBoxTabStops(HWND list) {
    ListBoxState* st = Control<ListBoxState>(list);
    return st ? st->list.tabStops : std::vector<int>{};
}

}  // namespace win
