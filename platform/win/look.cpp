#include "platform/win/look.h"

#include <algorithm>

namespace win::look {

namespace {

HBRUSH Sys(int index) {
    return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(index + 1));
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    HPEN old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace

void FillSys(HDC dc, const RECT& r, int colourIndex) {
    FillRect(dc, &r, Sys(colourIndex));
}

HFONT ControlFont(HWND hwnd) {
    auto f = reinterpret_cast<HFONT>(SendMessage(hwnd, WM_GETFONT, 0, 0));
    return f ? f : reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

RECT PushButtonFrame(HDC dc, RECT r, bool pressed, bool isDefault) {
    if (isDefault) {
        FrameRect(dc, &r, Sys(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (pressed) {
        FrameRect(dc, &r, Sys(COLOR_BTNSHADOW));
        InflateRect(&r, -1, -1);
        FillSys(dc, r, COLOR_BTNFACE);
        InflateRect(&r, -1, -1);
        OffsetRect(&r, 1, 1);
    } else {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST | BF_MIDDLE);
    }
    return r;
}

void Label(HDC dc, const WString& text, RECT r, UINT format, bool enabled, COLORREF colour) {
    int mode = SetBkMode(dc, TRANSPARENT);
    COLORREF old;
    if (!enabled) {
        RECT e = r;
        OffsetRect(&e, 1, 1);
        old = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawText(dc, text.c_str(), static_cast<int>(text.size()), &e, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        old = SetTextColor(dc, colour);
    }
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    SetTextColor(dc, old);
    SetBkMode(dc, mode);
}

bool StartsAtRight(HWND hwnd) {
    auto ex = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
    return (ex & WS_EX_RTLREADING) && !(ex & WS_EX_LAYOUTRTL);
}

UINT ReadingOrder(HWND hwnd) {
    auto ex = static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_EXSTYLE));
    return (ex & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) ? DT_RTLREADING : 0;
}

void Focus(HDC dc, RECT r) {
    DrawFocusRect(dc, &r);
}

int CheckSize() {
    return theme::Scale(13);
}

void CheckBox(HDC dc, RECT box, int state, bool enabled, bool pressed) {
    RECT r = box;
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillSys(dc, r, (!enabled || pressed || state == 2) ? COLOR_BTNFACE : COLOR_WINDOW);
    if (state == 0) return;
    COLORREF c = GetSysColor(enabled && state != 2 ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    // A tick of three-pixel-thick strokes, as wide as the inside allows.
    int w = r.right - r.left;
    int unit = std::max(1, w / 9);
    int x0 = r.left + unit, y0 = r.top + (r.bottom - r.top) / 2 - unit;
    int down = 2 * unit, up = 4 * unit;
    // The tick is a picture: a mirrored DC shows it the right way round.
    bool flip = gdi::IsSurfaceMirrored(dc);
    auto fx = [&](int x) { return flip ? r.left + r.right - 1 - x : x; };
    for (int k = 0; k < 3 * unit; ++k) {
        Line(dc, fx(x0), y0 + k, fx(x0 + down), y0 + down + k, c);
        Line(dc, fx(x0 + down), y0 + down + k, fx(x0 + down + up + 1), y0 + down - up + k - 1, c);
    }
}

void RadioButton(HDC dc, RECT box, bool checked, bool enabled, bool pressed) {
    int s = box.right - box.left;
    HPEN none = reinterpret_cast<HPEN>(GetStockObject(NULL_PEN));
    HPEN oldPen = SelectObject(dc, none);
    // Outer ring: shadow above and left, highlight below and right; inner
    // ring: dark shadow and light; then the white (or grey) middle.
    struct Ring {
        int inset, tl, br;
    } rings[] = {{0, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT},
                 {std::max(1, s / 12), COLOR_3DDKSHADOW, COLOR_3DLIGHT}};
    for (const Ring& g : rings) {
        RECT rr = box;
        InflateRect(&rr, -g.inset, -g.inset);
        HBRUSH br = CreateSolidBrush(GetSysColor(g.br));
        HBRUSH old = SelectObject(dc, br);
        Ellipse(dc, rr.left, rr.top, rr.right + 1, rr.bottom + 1);
        SelectObject(dc, old);
        DeleteObject(br);
        HBRUSH tl = CreateSolidBrush(GetSysColor(g.tl));
        old = SelectObject(dc, tl);
        Ellipse(dc, rr.left, rr.top, rr.right, rr.bottom);
        SelectObject(dc, old);
        DeleteObject(tl);
    }
    int inset = 2 * std::max(1, s / 12);
    HBRUSH mid =
        CreateSolidBrush(GetSysColor((!enabled || pressed) ? COLOR_BTNFACE : COLOR_WINDOW));
    HBRUSH old = SelectObject(dc, mid);
    Ellipse(dc, box.left + inset, box.top + inset, box.right - inset + 1, box.bottom - inset + 1);
    SelectObject(dc, old);
    DeleteObject(mid);
    if (checked) {
        int d = std::max(4, s / 3);
        int cx = box.left + (s - d) / 2, cy = box.top + (s - d) / 2;
        HBRUSH dot =
            CreateSolidBrush(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        old = SelectObject(dc, dot);
        Ellipse(dc, cx, cy, cx + d + 1, cy + d + 1);
        SelectObject(dc, old);
        DeleteObject(dot);
    }
    SelectObject(dc, oldPen);
}

void ArrowGlyph(HDC dc, RECT r, Arrow dir, bool enabled) {
    int w = r.right - r.left, h = r.bottom - r.top;
    int size = std::max(2, (std::min(w, h) - 1) / 2);  // rows from base to tip
    int cx = r.left + (w - 1) / 2, cy = r.top + (h - 1) / 2;
    auto draw = [&](int ox, int oy, int colour) {
        for (int i = 0; i < size; ++i) {
            int half = size - 1 - i;  // row 0 is the base
            int along = 0;
            switch (dir) {
                case Arrow::Down:
                case Arrow::Right:
                    along = -size / 2 + i;
                    break;
                case Arrow::Up:
                case Arrow::Left:
                    along = size - 1 - size / 2 - i;
                    break;
            }
            RECT q = (dir == Arrow::Up || dir == Arrow::Down)
                         ? RECT{cx - half, cy + along, cx + half + 1, cy + along + 1}
                         : RECT{cx + along, cy - half, cx + along + 1, cy + half + 1};
            OffsetRect(&q, ox, oy);
            FillRect(dc, &q, Sys(colour));
        }
    };
    if (!enabled) draw(1, 1, COLOR_BTNHIGHLIGHT);
    draw(0, 0, enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
}

void ArrowButton(HDC dc, RECT r, Arrow dir, bool pressed, bool enabled) {
    RECT in = r;
    if (pressed) {
        FrameRect(dc, &in, Sys(COLOR_BTNSHADOW));
        InflateRect(&in, -1, -1);
        FillSys(dc, in, COLOR_BTNFACE);
        OffsetRect(&in, 1, 1);
    } else {
        DrawEdge(dc, &in, EDGE_RAISED, BF_RECT | BF_ADJUST | BF_MIDDLE);
    }
    ArrowGlyph(dc, in, dir, enabled);
}

ScrollLayout LayoutScrollBar(RECT r, bool vertical, const ScrollState& s) {
    ScrollLayout l;
    int len = vertical ? r.bottom - r.top : r.right - r.left;
    int thick = vertical ? r.right - r.left : r.bottom - r.top;
    int arrow = std::min(thick, len / 2);
    auto span = [&](int a, int b) {
        return vertical ? RECT{r.left, r.top + a, r.right, r.top + b}
                        : RECT{r.left + a, r.top, r.left + b, r.bottom};
    };
    l.lineUp = span(0, arrow);
    l.lineDown = span(len - arrow, len);
    l.track = span(arrow, len - arrow);
    int track = len - 2 * arrow;
    int range = s.max - s.min + 1;
    int minThumb = theme::Scale(8);
    if (range <= 0 || track < minThumb || (s.page > 0 && s.page >= range)) return l;
    int thumb = s.page > 0 ? static_cast<int>(int64_t(track) * s.page / range) : thick;
    thumb = std::clamp(thumb, minThumb, track);
    int steps = range - std::max(s.page, 1);
    int at = steps > 0 ? static_cast<int>(int64_t(track - thumb) * (s.pos - s.min) / steps) : 0;
    at = std::clamp(at, 0, track - thumb);
    l.thumb = span(arrow + at, arrow + at + thumb);
    l.thumbShown = true;
    return l;
}

ScrollPart HitScrollBar(const ScrollLayout& l, bool vertical, POINT p) {
    if (PtInRect(&l.lineUp, p)) return ScrollPart::LineUp;
    if (PtInRect(&l.lineDown, p)) return ScrollPart::LineDown;
    if (!PtInRect(&l.track, p)) return ScrollPart::None;
    if (!l.thumbShown) return ScrollPart::None;
    if (PtInRect(&l.thumb, p)) return ScrollPart::Thumb;
    int v = vertical ? p.y : p.x;
    int t = vertical ? l.thumb.top : l.thumb.left;
    return v < t ? ScrollPart::PageUp : ScrollPart::PageDown;
}

int ScrollPosAt(const ScrollLayout& l, bool vertical, const ScrollState& s, int thumbStart) {
    int trackStart = vertical ? l.track.top : l.track.left;
    int track = vertical ? l.track.bottom - l.track.top : l.track.right - l.track.left;
    int thumb = vertical ? l.thumb.bottom - l.thumb.top : l.thumb.right - l.thumb.left;
    int steps = s.max - s.min + 1 - std::max(s.page, 1);
    if (track <= thumb || steps <= 0) return s.min;
    int at = std::clamp(thumbStart - trackStart, 0, track - thumb);
    return s.min + static_cast<int>((int64_t(at) * steps + (track - thumb) / 2) / (track - thumb));
}

void DrawScrollBar(HDC dc, RECT r, bool vertical, const ScrollState& s, ScrollPart pressed,
                   bool enabled) {
    ScrollLayout l = LayoutScrollBar(r, vertical, s);
    bool active = enabled && l.thumbShown;
    ArrowButton(dc, l.lineUp, vertical ? Arrow::Up : Arrow::Left, pressed == ScrollPart::LineUp,
                active);
    ArrowButton(dc, l.lineDown, vertical ? Arrow::Down : Arrow::Right,
                pressed == ScrollPart::LineDown, active);
    // The track: a checkerboard of face and highlight; a pressed page area
    // darkens.
    static const WORD bits[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP pat = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH checker = CreatePatternBrush(pat);
    auto fillTrack = [&](RECT q, bool dark) {
        if (IsRectEmpty(&q)) return;
        COLORREF fg = SetTextColor(dc, GetSysColor(dark ? COLOR_3DDKSHADOW : COLOR_BTNFACE));
        COLORREF bg = SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        FillRect(dc, &q, checker);
        SetTextColor(dc, fg);
        SetBkColor(dc, bg);
    };
    if (!l.thumbShown) {
        fillTrack(l.track, false);
    } else {
        RECT before = l.track, after = l.track;
        if (vertical) {
            before.bottom = l.thumb.top;
            after.top = l.thumb.bottom;
        } else {
            before.right = l.thumb.left;
            after.left = l.thumb.right;
        }
        fillTrack(before, pressed == ScrollPart::PageUp);
        fillTrack(after, pressed == ScrollPart::PageDown);
        RECT t = l.thumb;
        DrawEdge(dc, &t, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
    DeleteObject(checker);
    DeleteObject(pat);
}

}  // namespace win::look
