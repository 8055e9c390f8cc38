// LISTBOX and COMBOBOX, which share one item list model.
#include <algorithm>
#include <optional>
#include <utility>

#include "platform/res/locale.h"
#include "platform/win/controls.h"
#include "platform/win/list_actions.h"
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

constexpr int kItemHeight = 13;

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
    int hExtent = 0;

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
};

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
        case LB_SETHORIZONTALEXTENT:
            m.hExtent = static_cast<int>(wp);
            return 0;
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
            int index = m.top + GET_Y_LPARAM(lp) / kItemHeight;
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
            if (wp == VK_DOWN)
                to = std::min(n - 1, m.cur + 1);
            else if (wp == VK_UP)
                to = std::max(0, m.cur - 1);
            else if (wp == VK_HOME)
                to = 0;
            else if (wp == VK_END)
                to = n - 1;
            else
                return 0;
            ListUserSelect(h, st, to);
            return 0;
        }
        case WM_SETFOCUS:
            ListNotify(h, LBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            ListNotify(h, LBN_KILLFOCUS);
            return 0;
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
constexpr int kComboFieldHeight = 20;

struct ComboState : ControlState {
    ListModel list;
    int droppedHeight = 0;
    bool dropped = false;
    size_t limit = 0;
    size_t selStart = 0, selEnd = 0;
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
                w->rect.bottom = w->rect.top + std::min(st->droppedHeight, kComboFieldHeight);
            return 0;
        }
        case CB_GETDROPPEDCONTROLRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            if (!r) return CB_ERR;
            GetWindowRect(h, r);
            r->bottom = r->top + std::max(st->droppedHeight, kComboFieldHeight);
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
                NotifyParent(h, st->dropped ? CBN_DROPDOWN : CBN_CLOSEUP);
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
        case WM_KEYDOWN: {
            int n = static_cast<int>(m.items.size());
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
            NotifyParent(h, CBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            if (st->dropped) {
                st->dropped = false;
                NotifyParent(h, CBN_SELENDCANCEL);
                if (IsWindow(h)) NotifyParent(h, CBN_CLOSEUP);
            }
            if (IsWindow(h)) NotifyParent(h, CBN_KILLFOCUS);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
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
