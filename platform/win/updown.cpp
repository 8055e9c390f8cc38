// The up-down control (msctls_updown32): a 32-bit range (either way round),
// a position, a buddy window that it sits beside and whose text holds the
// integer (UDS_SETBUDDYINT, with thousands separators unless
// UDS_NOTHOUSANDS), and the UDN_DELTAPOS notification that may refuse or
// change a step.
#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"

using namespace win::detail;

namespace {

struct UpDownState : ControlState {
    int lower = 100, upper = 0;  // the platform's default range runs backwards
    int pos = 0;
    int base = 10;
    HWND buddy = nullptr;
};

int Clamp(const UpDownState* st, int v) {
    return std::clamp(v, std::min(st->lower, st->upper), std::max(st->lower, st->upper));
}

WString FormatInt(HWND h, const UpDownState* st) {
    if (st->base == 16) return text::Format(u"0x%04X", st->pos);
    unsigned magnitude =
        st->pos < 0 ? 0u - static_cast<unsigned>(st->pos) : static_cast<unsigned>(st->pos);
    WString digits = text::Format(u"%u", magnitude);
    bool group = !(StyleOf(h) & UDS_NOTHOUSANDS);
    WString out = st->pos < 0 ? u"-" : u"";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (group && i > 0 && (digits.size() - i) % 3 == 0) out += u',';
        out += digits[i];
    }
    return out;
}

void SetBuddyInt(HWND h, UpDownState* st) {
    if ((StyleOf(h) & UDS_SETBUDDYINT) && st->buddy && IsWindow(st->buddy))
        SetWindowText(st->buddy, FormatInt(h, st).c_str());
}

// Reads the buddy's integer (separators ignored); false when it is not one.
bool GetBuddyInt(HWND h, UpDownState* st) {
    if (!(StyleOf(h) & UDS_SETBUDDYINT) || !st->buddy || !IsWindow(st->buddy)) return true;
    WString t;
    for (WChar c : GetWindowTextString(st->buddy))
        if (c != u',' && c != u' ') t += c;
    size_t used = 0;
    int32_t v = text::ParseLong(t, &used, st->base == 16 ? 16 : 10);
    if (t.empty() || used != t.size()) return false;
    st->pos = Clamp(st, static_cast<int>(v));
    return true;
}

void Align(HWND h, UpDownState* st) {
    DWORD style = StyleOf(h);
    if (!st->buddy || !(style & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT))) return;
    HWND parent = GetParent(st->buddy);
    RECT b;
    GetWindowRect(st->buddy, &b);
    POINT tl{b.left, b.top};
    if (parent) ScreenToClient(parent, &tl);
    RECT me;
    GetWindowRect(h, &me);
    int w = me.right - me.left;
    if (w <= 0) w = 16;
    int bw = b.right - b.left, bh = b.bottom - b.top;
    // The buddy gives up the room the arrows take.
    if (style & UDS_ALIGNLEFT) {
        MoveWindow(h, tl.x, tl.y, w, bh, true);
        MoveWindow(st->buddy, tl.x + w, tl.y, std::max(0, bw - w), bh, true);
    } else {
        MoveWindow(st->buddy, tl.x, tl.y, std::max(0, bw - w), bh, true);
        MoveWindow(h, tl.x + std::max(0, bw - w), tl.y, w, bh, true);
    }
}

void SetBuddy(HWND h, UpDownState* st, HWND buddy) {
    st->buddy = buddy;
    Align(h, st);
    SetBuddyInt(h, st);
}

void Paint(HWND h) {
    ControlPaint p(h, COLOR_BTNFACE);
    if (!p.dc()) return;
    RECT r;
    GetClientRect(h, &r);
    bool horz = StyleOf(h) & UDS_HORZ;
    RECT a = r, b = r;
    if (horz)
        a.right = b.left = (r.left + r.right) / 2;
    else
        a.bottom = b.top = (r.top + r.bottom) / 2;
    DrawEdge(p.dc(), &a, EDGE_RAISED, BF_RECT);
    DrawEdge(p.dc(), &b, EDGE_RAISED, BF_RECT);
}

}  // namespace

LRESULT UpDownProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    UpDownState* st = EnsureControl<UpDownState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    switch (msg) {
        case WM_CREATE:
            if (StyleOf(h) & UDS_AUTOBUDDY) {
                // The window created just before this one.
                HWND prev = GetWindow(h, GW_HWNDPREV);
                if (prev) SetBuddy(h, st, prev);
            }
            return 0;
        case UDM_SETRANGE:
            st->upper = static_cast<int16_t>(LOWORD(lp));
            st->lower = static_cast<int16_t>(HIWORD(lp));
            st->pos = Clamp(st, st->pos);
            return 0;
        case UDM_GETRANGE:
            return MAKELONG(static_cast<WORD>(st->upper), static_cast<WORD>(st->lower));
        case UDM_SETRANGE32:
            st->lower = static_cast<int>(wp), st->upper = static_cast<int>(lp);
            st->pos = Clamp(st, st->pos);
            return 0;
        case UDM_GETRANGE32:
            if (auto* lo = reinterpret_cast<int*>(wp)) *lo = st->lower;
            if (auto* hi = reinterpret_cast<int*>(lp)) *hi = st->upper;
            return 0;
        case UDM_SETPOS:
        case UDM_SETPOS32: {
            int old = st->pos;
            int want = msg == UDM_SETPOS ? static_cast<int16_t>(LOWORD(lp)) : static_cast<int>(lp);
            st->pos = Clamp(st, want);
            SetBuddyInt(h, st);
            return old;
        }
        case UDM_GETPOS: {
            bool ok = GetBuddyInt(h, st);
            return MAKELONG(static_cast<WORD>(st->pos), ok ? 0 : 1);
        }
        case UDM_GETPOS32: {
            bool ok = GetBuddyInt(h, st);
            if (auto* err = reinterpret_cast<BOOL*>(lp)) *err = ok ? FALSE : TRUE;
            return st->pos;
        }
        case UDM_SETBUDDY: {
            HWND old = st->buddy;
            SetBuddy(h, st, reinterpret_cast<HWND>(wp));
            return reinterpret_cast<LRESULT>(old);
        }
        case UDM_GETBUDDY:
            return reinterpret_cast<LRESULT>(st->buddy);
        case UDM_SETBASE: {
            if (wp != 10 && wp != 16) return 0;
            int old = st->base;
            st->base = static_cast<int>(wp);
            SetBuddyInt(h, st);
            return old;
        }
        case UDM_GETBASE:
            return st->base;
        case UDM_SETACCEL:
            return TRUE;
        case UDM_GETACCEL:
            return 0;
        case WM_LBUTTONDOWN: {
            RECT r;
            GetClientRect(h, &r);
            int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
            bool up =
                (StyleOf(h) & UDS_HORZ) ? x >= (r.left + r.right) / 2 : y < (r.top + r.bottom) / 2;
            win::UpDownUserStep(h, up ? 1 : -1);
            return 0;
        }
        case WM_PAINT:
            Paint(h);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {
void UpDownUserStep(HWND updown, int delta) {
    auto* st = Control<UpDownState>(updown);
    if (!st || !IsWindowEnabled(updown)) return;
    GetBuddyInt(updown, st);
    if (st->upper < st->lower) delta = -delta;
    NMUPDOWN nm;
    nm.iPos = st->pos;
    nm.iDelta = delta;
    bool refused = SendNotify(updown, UDN_DELTAPOS, &nm.hdr) != 0;
    if (!(st = Control<UpDownState>(updown))) return;
    if (!refused) {
        long lo = std::min(st->lower, st->upper), hi = std::max(st->lower, st->upper);
        long next = static_cast<long>(st->pos) + nm.iDelta;
        if (next > hi || next < lo) {
            if (StyleOf(updown) & UDS_WRAP)
                next = next > hi ? lo : hi;
            else
                next = std::clamp(next, lo, hi);
        }
        if (next != st->pos) {
            st->pos = static_cast<int>(next);
            SetBuddyInt(updown, st);
        }
    }
    UINT msg = (StyleOf(updown) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    HWND parent = GetParent(updown);
    if (!parent) return;
    SendMessage(parent, msg, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(st->pos)),
                reinterpret_cast<LPARAM>(updown));
    if (IsWindow(updown))
        SendMessage(parent, msg, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(st->pos)),
                    reinterpret_cast<LPARAM>(updown));
}
}  // namespace win
