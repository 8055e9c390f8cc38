// The track bar (msctls_trackbar32): range, position, line and page sizes,
// ticks, vertical bars and buddy windows; a user's moves reach the parent as
// WM_HSCROLL or WM_VSCROLL with the TB_* codes.
#include <set>

#include "platform/win/common_impl.h"

using namespace win::detail;

namespace {

// Sizes given at 96 dots per inch, at the screen's.
int S(int at96) {
    return win::theme::Scale(at96);
}

struct TrackState : ControlState {
    int min = 0, max = 100, pos = 0;
    int line = 1, page = 20;
    int freq = 1;
    std::set<int> ticks;
    HWND buddy[2] = {};  // left/top, right/bottom
    bool dragging = false;
    int grab = 0;  // pen offset from the thumb's centre
};

// Pixel of a value along the channel, and back; the painting and the pen
// share them.
struct Track {
    int lo = 6, len = 1;
    long span = 1;
    int min = 0;
    int At(int v) const { return static_cast<int>(lo + len * static_cast<long>(v - min) / span); }
    int ValueAt(int px) const {
        long d = static_cast<long>(px - lo) * span;
        return min + static_cast<int>((d + (d >= 0 ? len / 2 : -len / 2)) / len);
    }
};
Track TrackOf(HWND h, const TrackState* st) {
    RECT r;
    GetClientRect(h, &r);
    bool vert = StyleOf(h) & TBS_VERT;
    Track t;
    t.span = std::max(1, st->max - st->min);
    t.lo = S(6);
    t.len = std::max<int>(1, (vert ? r.bottom : r.right) - 2 * t.lo);
    t.min = st->min;
    return t;
}

int Clamp(const TrackState* st, int v) {
    return std::clamp(v, st->min, std::max(st->min, st->max));
}

void Notify(HWND h, WORD code, int pos) {
    UINT msg = (StyleOf(h) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    HWND parent = GetParent(h);
    if (parent)
        SendMessage(parent, msg, MAKEWPARAM(code, static_cast<WORD>(pos)),
                    reinterpret_cast<LPARAM>(h));
}

// Places a buddy beside the bar: before it (left or top) or after it.
void PlaceBuddy(HWND h, HWND buddy, bool before) {
    if (!buddy || !IsWindow(buddy)) return;
    RECT bar, b;
    GetWindowRect(h, &bar);
    GetWindowRect(buddy, &b);
    int w = b.right - b.left, ht = b.bottom - b.top;
    POINT at;
    if (StyleOf(h) & TBS_VERT)
        at = POINT{(bar.left + bar.right - w) / 2, before ? bar.top - ht : bar.bottom};
    else
        at = POINT{before ? bar.left - w : bar.right, (bar.top + bar.bottom - ht) / 2};
    HWND parent = GetParent(buddy);
    if (parent) ScreenToClient(parent, &at);
    MoveWindow(buddy, at.x, at.y, w, ht, true);
}

void Paint(HWND h, TrackState* st) {
    ControlPaint p(h, COLOR_BTNFACE);
    HDC dc = p.dc();
    if (!dc) return;
    RECT r;
    GetClientRect(h, &r);
    bool vert = StyleOf(h) & TBS_VERT;
    Track track = TrackOf(h, st);
    auto at = [&](int v) { return track.At(v); };
    int e = S(6), c = S(2);
    RECT channel = vert ? RECT{r.right / 2 - c, e, r.right / 2 + c, r.bottom - e}
                        : RECT{e, r.bottom / 2 - c, r.right - e, r.bottom / 2 + c};
    DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT);
    if ((StyleOf(h) & TBS_AUTOTICKS) && !(StyleOf(h) & TBS_NOTICKS)) {
        for (int v : st->ticks) {
            int x = at(v);
            if (vert)
                MoveToEx(dc, r.right - S(4), x, nullptr), LineTo(dc, r.right - 1, x);
            else
                MoveToEx(dc, x, r.bottom - S(4), nullptr), LineTo(dc, x, r.bottom - 1);
        }
    }
    int t = at(st->pos);
    int half = S(4), in = S(2);
    RECT thumb = vert ? RECT{in, t - half, r.right - in, t + half}
                      : RECT{t - half, in, t + half, r.bottom - in};
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
}

void AutoTicks(TrackState* st) {
    st->ticks.clear();
    if (st->freq <= 0) return;
    for (long v = st->min; v <= st->max; v += st->freq) st->ticks.insert(static_cast<int>(v));
}

}  // namespace

LRESULT TrackBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    TrackState* st = EnsureControl<TrackState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    auto redraw = [&] {
        if (wp) InvalidateRect(h, nullptr, false);
    };
    switch (msg) {
        case WM_CREATE:
            if (StyleOf(h) & TBS_AUTOTICKS) AutoTicks(st);
            return 0;
        case TBM_GETPOS:
            return st->pos;
        case TBM_SETPOS:
            st->pos = Clamp(st, static_cast<int>(lp));
            redraw();
            return 0;
        case TBM_GETRANGEMIN:
            return st->min;
        case TBM_GETRANGEMAX:
            return st->max;
        case TBM_SETRANGE:
            st->min = static_cast<int16_t>(LOWORD(lp)), st->max = static_cast<int16_t>(HIWORD(lp));
            if (StyleOf(h) & TBS_AUTOTICKS) AutoTicks(st);
            st->pos = Clamp(st, st->pos);
            redraw();
            return 0;
        case TBM_SETRANGEMIN:
        case TBM_SETRANGEMAX:
            (msg == TBM_SETRANGEMIN ? st->min : st->max) = static_cast<int>(lp);
            if (StyleOf(h) & TBS_AUTOTICKS) AutoTicks(st);
            st->pos = Clamp(st, st->pos);
            redraw();
            return 0;
        case TBM_SETTICFREQ:
            st->freq = static_cast<int>(wp);
            if (StyleOf(h) & TBS_AUTOTICKS) AutoTicks(st);
            InvalidateRect(h, nullptr, false);
            return 0;
        case TBM_SETTIC:
            if (static_cast<int>(lp) < st->min || static_cast<int>(lp) > st->max) return FALSE;
            st->ticks.insert(static_cast<int>(lp));
            return TRUE;
        case TBM_GETTIC: {
            if (wp >= st->ticks.size()) return -1;
            auto it = st->ticks.begin();
            std::advance(it, static_cast<long>(wp));
            return *it;
        }
        case TBM_CLEARTICS:
            st->ticks.clear();
            redraw();
            return 0;
        case TBM_GETNUMTICS: {
            // The ends count, as the platform's does.
            if (StyleOf(h) & TBS_NOTICKS) return 0;
            std::set<int> all = st->ticks;
            all.insert(st->min), all.insert(st->max);
            return static_cast<LRESULT>(all.size());
        }
        case TBM_SETPAGESIZE: {
            int old = st->page;
            st->page = static_cast<int>(lp);
            return old;
        }
        case TBM_GETPAGESIZE:
            return st->page;
        case TBM_SETLINESIZE: {
            int old = st->line;
            st->line = static_cast<int>(lp);
            return old;
        }
        case TBM_GETLINESIZE:
            return st->line;
        case TBM_SETBUDDY: {
            size_t side = wp ? 0 : 1;  // TRUE: left or top
            HWND old = st->buddy[side];
            st->buddy[side] = reinterpret_cast<HWND>(lp);
            PlaceBuddy(h, st->buddy[side], side == 0);
            return reinterpret_cast<LRESULT>(old);
        }
        case TBM_GETBUDDY:
            return reinterpret_cast<LRESULT>(st->buddy[wp ? 0 : 1]);
        case WM_KEYDOWN: {
            bool vert = StyleOf(h) & TBS_VERT;
            WORD code = 0xFFFF;
            if (wp == VK_LEFT || wp == VK_UP) code = TB_LINEUP;
            if (wp == VK_RIGHT || wp == VK_DOWN) code = TB_LINEDOWN;
            if (wp == VK_PRIOR) code = TB_PAGEUP;
            if (wp == VK_NEXT) code = TB_PAGEDOWN;
            if (wp == VK_HOME) code = TB_TOP;
            if (wp == VK_END) code = TB_BOTTOM;
            (void)vert;
            if (code != 0xFFFF) win::TrackBarUserAction(h, code);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            if (!IsWindowEnabled(h)) return 0;
            SetFocus(h);
            if (!(st = Control<TrackState>(h))) return 0;
            bool vert = StyleOf(h) & TBS_VERT;
            int along = vert ? GET_Y_LPARAM(lp) : GET_X_LPARAM(lp);
            int thumb = TrackOf(h, st).At(st->pos);
            if (std::abs(along - thumb) > S(4)) {
                // Beside the thumb: a page towards the pen.
                win::TrackBarUserAction(h, along < thumb ? TB_PAGEUP : TB_PAGEDOWN);
                return 0;
            }
            st->dragging = true;
            st->grab = along - thumb;
            SetCapture(h);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (st->dragging) {
                bool vert = StyleOf(h) & TBS_VERT;
                int along = (vert ? GET_Y_LPARAM(lp) : GET_X_LPARAM(lp)) - st->grab;
                int v = Clamp(st, TrackOf(h, st).ValueAt(along));
                if (v != st->pos) {
                    st->pos = v;
                    InvalidateRect(h, nullptr, false);
                    Notify(h, TB_THUMBTRACK, v);
                }
            }
            return 0;
        case WM_LBUTTONUP:
            if (st->dragging) {
                st->dragging = false;
                if (GetCapture() == h) ReleaseCapture();
                if (!(st = Control<TrackState>(h))) return 0;
                Notify(h, TB_THUMBPOSITION, st->pos);
                if (IsWindow(h)) Notify(h, TB_ENDTRACK, 0);
            }
            return 0;
        case WM_CAPTURECHANGED:
            st->dragging = false;
            return 0;
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
void TrackBarUserDrag(HWND trackbar, const std::vector<int>& positions) {
    auto* st = Control<TrackState>(trackbar);
    if (!st || !IsWindowEnabled(trackbar)) return;
    SetFocus(trackbar);
    for (int p : positions) {
        if (!(st = Control<TrackState>(trackbar))) return;
        st->pos = Clamp(st, p);
        InvalidateRect(trackbar, nullptr, false);
        Notify(trackbar, TB_THUMBTRACK, st->pos);
    }
    if (!(st = Control<TrackState>(trackbar))) return;
    Notify(trackbar, TB_THUMBPOSITION, st->pos);
    if (IsWindow(trackbar)) Notify(trackbar, TB_ENDTRACK, 0);
}

void TrackBarUserAction(HWND trackbar, WORD code) {
    auto* st = Control<TrackState>(trackbar);
    if (!st || !IsWindowEnabled(trackbar)) return;
    int p = st->pos;
    switch (code) {
        case TB_LINEUP:
            p -= st->line;
            break;
        case TB_LINEDOWN:
            p += st->line;
            break;
        case TB_PAGEUP:
            p -= st->page;
            break;
        case TB_PAGEDOWN:
            p += st->page;
            break;
        case TB_TOP:
            p = st->min;
            break;
        case TB_BOTTOM:
            p = st->max;
            break;
        default:
            return;
    }
    st->pos = Clamp(st, p);
    InvalidateRect(trackbar, nullptr, false);
    Notify(trackbar, code, 0);
    if (IsWindow(trackbar)) Notify(trackbar, TB_ENDTRACK, 0);
}
}  // namespace win
