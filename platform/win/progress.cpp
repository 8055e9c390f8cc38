// The progress bar (msctls_progress32): range, position and step.
#include "platform/win/common_impl.h"

using namespace win::detail;

namespace {

struct ProgressState : ControlState {
    int low = 0, high = 100, pos = 0, step = 10;
};

// Sets the position within the range; returns the previous one.
int SetPos(HWND h, ProgressState* st, int pos) {
    int old = st->pos;
    st->pos = std::clamp(pos, std::min(st->low, st->high), std::max(st->low, st->high));
    if (st->pos != old) InvalidateRect(h, nullptr, false);
    return old;
}

void Paint(HWND h, ProgressState* st) {
    ControlPaint p(h, COLOR_BTNFACE);
    if (!p.dc()) return;
    RECT r;
    GetClientRect(h, &r);
    DrawEdge(p.dc(), &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    InflateRect(&r, -1, -1);
    if (st->high == st->low) return;
    bool vert = StyleOf(h) & PBS_VERTICAL;
    long span = static_cast<long>(st->high) - st->low;
    long done = static_cast<long>(st->pos) - st->low;
    int len = vert ? r.bottom - r.top : r.right - r.left;
    int filled = static_cast<int>(len * done / span);
    // Blocks two thirds as long as the bar is thick, a pixel apart.
    int thick = vert ? r.right - r.left : r.bottom - r.top;
    int block = std::max(2, thick * 2 / 3);
    HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
    for (int at = 0; at < filled; at += block + 1) {
        int end = std::min(at + block, len);
        RECT q = vert ? RECT{r.left, r.bottom - end, r.right, r.bottom - at}
                      : RECT{r.left + at, r.top, r.left + end, r.bottom};
        FillRect(p.dc(), &q, b);
    }
    DeleteObject(b);
}

}  // namespace

LRESULT ProgressProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ProgressState* st = EnsureControl<ProgressState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    switch (msg) {
        case PBM_SETRANGE: {
            LRESULT old = MAKELONG(static_cast<WORD>(st->low), static_cast<WORD>(st->high));
            st->low = LOWORD(lp), st->high = HIWORD(lp);
            SetPos(h, st, st->pos);
            return old;
        }
        case PBM_SETRANGE32: {
            LRESULT old = MAKELONG(static_cast<WORD>(st->low), static_cast<WORD>(st->high));
            st->low = static_cast<int>(wp), st->high = static_cast<int>(lp);
            SetPos(h, st, st->pos);
            return old;
        }
        case PBM_GETRANGE: {
            if (auto* r = reinterpret_cast<PBRANGE*>(lp)) r->iLow = st->low, r->iHigh = st->high;
            return wp ? st->low : st->high;
        }
        case PBM_SETPOS:
            return SetPos(h, st, static_cast<int>(wp));
        case PBM_GETPOS:
            return st->pos;
        case PBM_DELTAPOS:
            return SetPos(h, st, st->pos + static_cast<int>(wp));
        case PBM_SETSTEP: {
            int old = st->step;
            st->step = static_cast<int>(wp);
            return old;
        }
        case PBM_STEPIT: {
            // Past the end it starts again from the bottom, as the platform's does.
            int old = st->pos;
            int next = st->pos + st->step;
            if (next > std::max(st->low, st->high))
                next = st->low + (next - std::max(st->low, st->high));
            SetPos(h, st, next);
            return old;
        }
        case WM_PAINT:
            Paint(h, st);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}
