// The non-client area: borders, the caption with its OK and close buttons,
// the window scroll bars; where a point falls in it; and the loops that track
// the pen on a caption button or a scroll bar.
#include "platform/win/nonclient.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/look.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

constexpr uintptr_t kRepeatTimer = 0xFFFF0001;
constexpr UINT kRepeatFirstMs = 400;
constexpr UINT kRepeatMs = 100;

bool Captioned(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION;
}

// Rectangles in window coordinates (0, 0 at the window's top-left).
struct Frame {
    RECT window{}, client{}, caption{}, okButton{}, closeButton{}, vscroll{}, hscroll{},
        corner{};
    bool hasOk = false, hasClose = false, hasV = false, hasH = false;
};

Frame Layout(HWND h) {
    Frame f;
    Window* w = Find(h);
    if (!w) return f;
    f.window = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    RECT m = GetNonClientMargins(w->style, w->exStyle);
    f.client = RECT{m.left, m.top, f.window.right - m.right, f.window.bottom - m.bottom};
    if (Captioned(w->style)) {
        int cap = GetSystemMetrics(SM_CYCAPTION);
        f.caption = RECT{1, 1, f.window.right - 1, 1 + cap - 1};
        int side = std::max(0, cap - 1 - theme::Scale(4));
        int gap = theme::Scale(2);
        int right = f.caption.right - gap;
        int top = f.caption.top + (f.caption.bottom - f.caption.top - side) / 2;
        if (w->style & WS_SYSMENU) {
            f.closeButton = RECT{right - side - theme::Scale(2), top, right, top + side};
            f.hasClose = true;
            right = f.closeButton.left - gap;
        }
        if (w->exStyle & WS_EX_CAPTIONOKBTN) {
            f.okButton = RECT{right - side - theme::Scale(8), top, right, top + side};
            f.hasOk = true;
        }
        if (w->exStyle & WS_EX_LAYOUTRTL) {
            // A mirrored window has its caption buttons at the left.
            int W = f.window.right;
            for (RECT* b : {&f.closeButton, &f.okButton})
                *b = RECT{W - b->right, b->top, W - b->left, b->bottom};
        }
    }
    int sb = GetSystemMetrics(SM_CXVSCROLL), sbh = GetSystemMetrics(SM_CYHSCROLL);
    int barLeft = (w->exStyle & WS_EX_LAYOUTRTL) ? f.client.left - sb : f.client.right;
    if (w->style & WS_VSCROLL) {
        f.vscroll = RECT{barLeft, f.client.top, barLeft + sb, f.client.bottom};
        f.hasV = true;
    }
    if (w->style & WS_HSCROLL) {
        f.hscroll = RECT{f.client.left, f.client.bottom, f.client.right, f.client.bottom + sbh};
        f.hasH = true;
    }
    if (f.hasV && f.hasH) f.corner = RECT{barLeft, f.client.bottom, barLeft + sb, f.client.bottom + sbh};
    return f;
}

look::ScrollState BarState(HWND h, int bar) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(h, bar, &si);
    return look::ScrollState{si.nMin, si.nMax, static_cast<int>(si.nPage), si.nPos};
}

// The pressed part shown while a tracking loop runs.
struct Pressed {
    HWND hwnd = nullptr;
    LRESULT hit = HTNOWHERE;
    look::ScrollPart part = look::ScrollPart::None;
};
Pressed g_pressed;

void DrawCaptionButton(HDC dc, RECT r, bool pressed, bool ok) {
    RECT in = look::PushButtonFrame(dc, r, pressed, false);
    int w = in.right - in.left, hgt = in.bottom - in.top;
    if (ok) {
        LOGFONT lf{};
        GetObject(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
        lf.lfWeight = FW_BOLD;
        lf.lfHeight = -std::max(6, hgt - 4);
        HFONT f = CreateFontIndirect(&lf);
        HFONT old = SelectObject(dc, f);
        look::Label(dc, u"OK", in, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, true,
                    GetSysColor(COLOR_BTNTEXT));
        SelectObject(dc, old);
        DeleteObject(f);
        return;
    }
    // The close cross: two strokes two pixels thick.
    int s = std::min(w, hgt) - 2 * std::max(2, hgt / 4);
    if (s < 2) return;
    int x0 = in.left + (w - s) / 2, y0 = in.top + (hgt - s) / 2;
    HBRUSH b = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNTEXT + 1));
    for (int i = 0; i < s; ++i) {
        RECT a{x0 + i, y0 + i, x0 + i + 2, y0 + i + 1};
        RECT c{x0 + s - 1 - i - 1, y0 + i, x0 + s - i, y0 + i + 1};
        FillRect(dc, &a, b);
        FillRect(dc, &c, b);
    }
}

}  // namespace

void DrawNonClient(HWND h) {
    Window* w = Find(h);
    if (!w) return;
    DWORD style = w->style, ex = w->exStyle;
    Frame f = Layout(h);
    if (EqualRect(&f.client, &f.window)) return;
    HDC dc = GetWindowDC(h);
    if (!dc) return;
    // The window DC is not mirrored; parts drawn as mirror images are drawn
    // through it mirrored about the window, from their left-to-right places.
    bool mirror = (ex & WS_EX_LAYOUTRTL) != 0;
    auto unmirror = [&](RECT b) {
        return mirror ? RECT{f.window.right - b.right, b.top, f.window.right - b.left, b.bottom} : b;
    };
    RECT r = f.window;
    if (Captioned(style)) {
        FrameRect(dc, &r, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOWFRAME + 1)));
        InflateRect(&r, -1, -1);
        bool active = GetActiveWindow() == h || !GetParent(h) || (style & WS_CHILD);
        look::FillSys(dc, f.caption, active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
        RECT line{f.caption.left, f.caption.bottom, f.caption.right, f.caption.bottom + 1};
        look::FillSys(dc, line, COLOR_WINDOWFRAME);
        LOGFONT lf{};
        GetObject(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
        lf.lfWeight = FW_BOLD;
        HFONT font = CreateFontIndirect(&lf);
        HFONT old = SelectObject(dc, font);
        RECT title = f.caption;
        UINT fmt = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
        if (ex & WS_EX_LAYOUTRTL) {
            title.right -= theme::Scale(4);
            if (f.hasOk) title.left = f.okButton.right;
            else if (f.hasClose) title.left = f.closeButton.right;
        } else {
            title.left += theme::Scale(4);
            if (f.hasOk) title.right = f.okButton.left;
            else if (f.hasClose) title.right = f.closeButton.left;
        }
        if (ex & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) fmt |= DT_RIGHT | DT_RTLREADING;
        look::Label(dc, w->text, title, fmt, true,
                    GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        SelectObject(dc, old);
        DeleteObject(font);
        bool held = g_pressed.hwnd == h;
        // A mirrored window shows its caption buttons as the mirror image
        // of the left-to-right ones, bevels included, as its controls are.
        if (mirror) gdi::SetSurfaceMirror(dc, f.window.right);
        if (f.hasOk)
            DrawCaptionButton(dc, unmirror(f.okButton), held && g_pressed.hit == HTCAPTIONOK, true);
        if (f.hasClose)
            DrawCaptionButton(dc, unmirror(f.closeButton), held && g_pressed.hit == HTCLOSE, false);
        if (mirror) gdi::SetSurfaceMirror(dc, 0);
        r.top = f.caption.bottom + 1;
    } else if (style & WS_DLGFRAME) {
        int t = GetSystemMetrics(SM_CXDLGFRAME);
        RECT e = r;
        DrawEdge(dc, &e, EDGE_RAISED, BF_RECT | BF_ADJUST);
        for (int i = 2; i < t; ++i) {
            FrameRect(dc, &e, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1)));
            InflateRect(&e, -1, -1);
        }
        r = e;
    } else if (style & WS_BORDER) {
        FrameRect(dc, &r, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_WINDOWFRAME + 1)));
        InflateRect(&r, -1, -1);
    }
    if (ex & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (ex & WS_EX_STATICEDGE) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    bool enabled = IsWindowEnabled(h);
    auto part = [&](int bar) {
        bool mine = g_pressed.hwnd == h && g_pressed.hit == (bar == SB_VERT ? HTVSCROLL : HTHSCROLL);
        return mine ? g_pressed.part : look::ScrollPart::None;
    };
    // A mirrored window shows its scroll bars as the mirror image of the
    // left-to-right ones: the horizontal bar's line-left arrow and the
    // thumb's first position at the right, and both bars' bevels lit from
    // the right.
    if (mirror) gdi::SetSurfaceMirror(dc, f.window.right);
    if (f.hasV)
        look::DrawScrollBar(dc, unmirror(f.vscroll), true, BarState(h, SB_VERT), part(SB_VERT),
                            enabled);
    if (f.hasH)
        look::DrawScrollBar(dc, unmirror(f.hscroll), false, BarState(h, SB_HORZ), part(SB_HORZ),
                            enabled);
    if (mirror) gdi::SetSurfaceMirror(dc, 0);
    if (f.hasV && f.hasH) look::FillSys(dc, f.corner, COLOR_BTNFACE);
    ReleaseDC(h, dc);
}

LRESULT NonClientHit(HWND h, POINT screen) {
    RECT wr;
    if (!GetWindowRect(h, &wr)) return HTNOWHERE;
    POINT p{screen.x - wr.left, screen.y - wr.top};
    Frame f = Layout(h);
    if (!PtInRect(&f.window, p)) return HTNOWHERE;
    if (PtInRect(&f.client, p)) return HTCLIENT;
    if (f.hasClose && PtInRect(&f.closeButton, p)) return HTCLOSE;
    if (f.hasOk && PtInRect(&f.okButton, p)) return HTCAPTIONOK;
    if (!IsRectEmpty(&f.caption) && PtInRect(&f.caption, p)) return HTCAPTION;
    if (f.hasV && PtInRect(&f.vscroll, p)) return HTVSCROLL;
    if (f.hasH && PtInRect(&f.hscroll, p)) return HTHSCROLL;
    return HTBORDER;
}

namespace {

// Runs a nested loop until the pen is lifted; `onMove` sees every pen
// position (window coordinates), `onTimer` every repeat tick.
template <class Move, class Tick>
void TrackPen(HWND h, Move onMove, Tick onTimer) {
    SetCapture(h);
    MSG m;
    for (;;) {
        if (!GetMessage(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (!IsWindow(h)) return;
        if (m.message == WM_TIMER && m.hwnd == h && m.wParam == kRepeatTimer) {
            onTimer();
            continue;
        }
        if (m.message == WM_MOUSEMOVE || m.message == WM_LBUTTONUP) {
            RECT wr;
            GetWindowRect(h, &wr);
            POINT p{m.pt.x - wr.left, m.pt.y - wr.top};
            onMove(p, m.message == WM_LBUTTONUP);
            if (m.message == WM_LBUTTONUP) break;
            continue;
        }
        if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) continue;
        if (m.message == WM_CAPTURECHANGED && m.hwnd == h) break;
        TranslateMessage(&m);
        DispatchMessage(&m);
        if (GetCapture() != h) break;
    }
    if (GetCapture() == h) ReleaseCapture();
}

void TrackCaptionButton(HWND h, LRESULT hit) {
    Frame f = Layout(h);
    RECT button = hit == HTCLOSE ? f.closeButton : f.okButton;
    g_pressed = Pressed{h, hit, look::ScrollPart::None};
    DrawNonClient(h);
    bool inside = true;
    TrackPen(
        h,
        [&](POINT p, bool up) {
            bool now = PtInRect(&button, p) && !up;
            if (now != inside || up) {
                inside = now;
                g_pressed.hit = inside ? hit : HTNOWHERE;
                DrawNonClient(h);
            }
            if (up && PtInRect(&button, p)) {
                if (hit == HTCLOSE)
                    PressCaptionClose(h);
                else
                    PressCaptionOk(h);
            }
        },
        [] {});
    g_pressed = Pressed{};
    if (IsWindow(h)) DrawNonClient(h);
}

}  // namespace

void TrackScrollBar(HWND h, int bar, RECT barRect, bool vertical, POINT start, bool mirrored) {
    // barRect and start in the coordinates the pen positions arrive in:
    // window coordinates for window bars, client coordinates for a control
    // (whose window and client coincide). A mirrored bar is worked on as the
    // unmirrored one, with the pen's x mirrored about the bar.
    mirrored = mirrored && !vertical;
    auto unmirror = [&](POINT p) {
        if (mirrored) p.x = barRect.left + barRect.right - 1 - p.x;
        return p;
    };
    start = unmirror(start);
    HWND notify = bar == SB_CTL ? GetParent(h) : h;
    UINT msg = vertical ? WM_VSCROLL : WM_HSCROLL;
    LPARAM from = bar == SB_CTL ? reinterpret_cast<LPARAM>(h) : 0;
    look::ScrollState s = BarState(h, bar);
    look::ScrollLayout l = look::LayoutScrollBar(barRect, vertical, s);
    look::ScrollPart part = look::HitScrollBar(l, vertical, start);
    if (part == look::ScrollPart::None || !IsWindowEnabled(h)) return;
    auto send = [&](WORD code, int pos) {
        if (IsWindow(notify)) SendMessage(notify, msg, MAKEWPARAM(code, static_cast<WORD>(pos)), from);
    };
    auto redraw = [&] {
        if (bar == SB_CTL)
            InvalidateRect(h, nullptr, false), UpdateWindow(h);
        else
            DrawNonClient(h);
    };
    WORD code = part == look::ScrollPart::LineUp     ? SB_LINEUP
                : part == look::ScrollPart::LineDown ? SB_LINEDOWN
                : part == look::ScrollPart::PageUp   ? SB_PAGEUP
                                                     : SB_PAGEDOWN;
    g_pressed = Pressed{h, bar == SB_VERT ? HTVSCROLL : bar == SB_HORZ ? HTHSCROLL : HTCLIENT, part};
    if (part == look::ScrollPart::Thumb) {
        int grab = vertical ? start.y - l.thumb.top : start.x - l.thumb.left;
        int pos = s.pos;
        TrackPen(
            h,
            [&](POINT p, bool up) {
                p = unmirror(p);
                if (!up) {
                    int at = (vertical ? p.y : p.x) - grab;
                    pos = look::ScrollPosAt(l, vertical, s, at);
                    if (Window* w = Find(h)) w->bars[bar].trackPos = pos;
                    send(SB_THUMBTRACK, pos);
                    return;
                }
                send(SB_THUMBPOSITION, pos);
            },
            [] {});
        g_pressed = Pressed{};
        send(SB_ENDSCROLL, 0);
        if (IsWindow(h)) redraw();
        return;
    }
    bool over = true;
    redraw();
    send(code, 0);
    SetTimer(h, kRepeatTimer, kRepeatFirstMs, nullptr);
    TrackPen(
        h,
        [&](POINT p, bool up) {
            p = unmirror(p);
            // The part under the pen may move as the thumb moves.
            s = BarState(h, bar);
            l = look::LayoutScrollBar(barRect, vertical, s);
            bool now = !up && look::HitScrollBar(l, vertical, p) == part;
            if (now != over) {
                over = now;
                g_pressed.part = over ? part : look::ScrollPart::None;
                redraw();
            }
        },
        [&] {
            SetTimer(h, kRepeatTimer, kRepeatMs, nullptr);
            if (!over) return;
            s = BarState(h, bar);
            l = look::LayoutScrollBar(barRect, vertical, s);
            POINT c = CursorPoint();
            if (bar != SB_CTL) {
                RECT wr;
                GetWindowRect(h, &wr);
                c = POINT{c.x - wr.left, c.y - wr.top};
            } else {
                ScreenToClient(h, &c);
            }
            // Page repeats stop when the thumb reaches the pen.
            if (look::HitScrollBar(l, vertical, unmirror(c)) != part) return;
            send(code, 0);
        });
    KillTimer(h, kRepeatTimer);
    g_pressed = Pressed{};
    send(SB_ENDSCROLL, 0);
    if (IsWindow(h)) redraw();
}

bool NonClientButtonDown(HWND h, LRESULT hit, POINT screen) {
    switch (hit) {
        case HTCLOSE:
        case HTCAPTIONOK:
            TrackCaptionButton(h, hit);
            return true;
        case HTVSCROLL:
        case HTHSCROLL: {
            Frame f = Layout(h);
            RECT wr;
            GetWindowRect(h, &wr);
            POINT p{screen.x - wr.left, screen.y - wr.top};
            bool v = hit == HTVSCROLL;
            bool mirrored = (GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
            TrackScrollBar(h, v ? SB_VERT : SB_HORZ, v ? f.vscroll : f.hscroll, v, p, mirrored);
            return true;
        }
        default:
            return false;
    }
}

look::ScrollPart PressedScrollPart(HWND h) {
    return g_pressed.hwnd == h ? g_pressed.part : look::ScrollPart::None;
}

}  // namespace win::detail
