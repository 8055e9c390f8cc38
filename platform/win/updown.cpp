// The up-down control (msctls_updown32): a 32-bit range (either way round),
// a position, a buddy window that it sits beside and whose text holds the
// integer (UDS_SETBUDDYINT, with thousands separators unless
// UDS_NOTHOUSANDS), and the UDN_DELTAPOS notification that may refuse or
// change a step.
#include <algorithm>

#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

struct UpDownState : ControlState {
    int lower = 100, upper = 0;  // the platform's default range runs backwards
    int pos = 0;
    int base = 10;
    HWND buddy = nullptr;
    int held = 0;  // +1 the up (or right) arrow is held, -1 the other, 0 none
    bool over = false;
};

constexpr uintptr_t kRepeatTimer = 0xFFFF0003;

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
    // Mapped point by point, so that in a mirrored parent the rectangle
    // comes out with left and right exchanged: its left is the smaller.
    POINT corners[2] = {{b.left, b.top}, {b.right, b.bottom}};
    if (parent) MapWindowPoints(nullptr, parent, corners, 2);
    POINT tl{std::min(corners[0].x, corners[1].x), corners[0].y};
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

// The two halves: the first is the up (or, across, the left) arrow.
void Halves(HWND h, RECT* first, RECT* second) {
    RECT r;
    GetClientRect(h, &r);
    *first = *second = r;
    if (StyleOf(h) & UDS_HORZ)
        first->right = second->left = (r.left + r.right) / 2;
    else
        first->bottom = second->top = (r.top + r.bottom) / 2;
}

void Paint(HWND h, UpDownState* st) {
    ControlPaint p(h, COLOR_BTNFACE);
    if (!p.dc()) return;
    RECT a, b;
    Halves(h, &a, &b);
    bool horz = StyleOf(h) & UDS_HORZ;
    bool enabled = IsWindowEnabled(h);
    // Up (or right) increases: in a horizontal control the second half.
    int firstDelta = horz ? -1 : 1;
    namespace lk = win::look;
    lk::ArrowButton(p.dc(), a, horz ? lk::Arrow::Left : lk::Arrow::Up,
                    st->held == firstDelta && st->over, enabled);
    lk::ArrowButton(p.dc(), b, horz ? lk::Arrow::Right : lk::Arrow::Down,
                    st->held == -firstDelta && st->over, enabled);
}

int DeltaAt(HWND h, POINT p) {
    RECT a, b;
    Halves(h, &a, &b);
    bool horz = StyleOf(h) & UDS_HORZ;
    if (PtInRect(&a, p)) return horz ? -1 : 1;
    if (PtInRect(&b, p)) return horz ? 1 : -1;
    return 0;
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
            int d = DeltaAt(h, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            if (!d || !IsWindowEnabled(h)) return 0;
            // Held: shown pressed, one step now, more on the timer.
            st->held = d;
            st->over = true;
            SetCapture(h);
            InvalidateRect(h, nullptr, false);
            win::UpDownUserStep(h, d);
            if (IsWindow(h)) SetTimer(h, kRepeatTimer, 400, nullptr);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (st->held) {
                bool over = DeltaAt(h, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}) == st->held;
                if (over != st->over) {
                    st->over = over;
                    InvalidateRect(h, nullptr, false);
                }
            }
            return 0;
        case WM_TIMER:
            if (wp == kRepeatTimer && st->held) {
                SetTimer(h, kRepeatTimer, 100, nullptr);
                if (st->over) win::UpDownUserStep(h, st->held);
                return 0;
            }
            break;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (st->held) {
                st->held = 0;
                KillTimer(h, kRepeatTimer);
                if (msg == WM_LBUTTONUP && GetCapture() == h) ReleaseCapture();
                InvalidateRect(h, nullptr, false);
            }
            return 0;
        case WM_PAINT:
            Paint(h, st);
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
