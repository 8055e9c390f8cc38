// BUTTON, STATIC, EDIT and SCROLLBAR, and the dialog item helpers.
#include "platform/win/controls.h"

#include <algorithm>

#include "platform/win/clipboard.h"
#include "platform/win/ctlcolor.h"
#include "platform/win/list_actions.h"
#include "platform/win/look.h"
#include "platform/win/nonclient.h"
#include "platform/win/shown_line.h"
#include "platform/win/window_impl.h"

using namespace win::detail;

namespace {

DWORD Style(HWND h) {
    return static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
}
HWND Parent(HWND h) {
    Window* w = Find(h);
    return w ? w->parent : nullptr;
}
POINT PointOf(LPARAM lp) {
    return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
}
bool InClient(HWND h, POINT p) {
    RECT r;
    GetClientRect(h, &r);
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// ---------------------------------------------------------------- BUTTON

struct ButtonState : ControlState {
    WPARAM check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
    HGDIOBJ image = nullptr;
};

bool IsRadio(DWORD type) {
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// The buttons of the radio group holding `button`: from the previous
// WS_GROUP sibling up to the next one.
std::vector<HWND> RadioGroup(HWND button) {
    std::vector<HWND> sibs = GetChildren(Parent(button));
    auto it = std::find(sibs.begin(), sibs.end(), button);
    if (it == sibs.end()) return {button};
    auto first = it;
    while (first != sibs.begin() && !(Style(*first) & WS_GROUP)) --first;
    std::vector<HWND> out;
    for (auto i = first; i != sibs.end(); ++i) {
        if (i != first && (Style(*i) & WS_GROUP)) break;
        out.push_back(*i);
    }
    return out;
}

void DrawOwnerButton(HWND h, ButtonState* st, HDC dc, UINT action) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
    dis.itemAction = action;
    dis.itemState = (st->pushed ? ODS_SELECTED : 0) | (IsWindowEnabled(h) ? 0 : ODS_DISABLED) |
                    (st->focused ? ODS_FOCUS : 0);
    dis.hwndItem = h;
    bool own = !dc;
    dis.hDC = own ? GetDC(h) : dc;
    GetClientRect(h, &dis.rcItem);
    SendMessage(Parent(h), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    if (own) ReleaseDC(h, dis.hDC);
}

// Draws a bitmap centred in r.
void CentredBitmap(HDC dc, HGDIOBJ image, RECT r) {
    BITMAP bm;
    if (!image || !GetObject(image, sizeof bm, &bm)) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, image);
    BitBlt(dc, r.left + (r.right - r.left - bm.bmWidth) / 2,
           r.top + (r.bottom - r.top - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight, mem, 0, 0,
           SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

UINT TextAlignment(DWORD style, UINT fallback) {
    switch (style & BS_CENTER) {
        case BS_LEFT:
            return DT_LEFT;
        case BS_RIGHT:
            return DT_RIGHT;
        case BS_CENTER:
            return DT_CENTER;
        default:
            return fallback;
    }
}

void PaintButton(HWND h, ButtonState* st, HDC dc) {
    DWORD style = Style(h), type = style & BS_TYPEMASK;
    RECT rc;
    GetClientRect(h, &rc);
    bool enabled = IsWindowEnabled(h);
    win::ControlColors colours = win::QueryControlColors(h, dc);
    HFONT oldFont = SelectObject(dc, win::look::ControlFont(h));
    WString text = GetWindowTextString(h);
    UINT lines = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
    if (win::look::StartsAtRight(h)) lines |= DT_RIGHT;
    lines |= win::look::ReadingOrder(h);
    COLORREF ink = colours.fromParent ? colours.text : GetSysColor(COLOR_BTNTEXT);
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        bool pressed = st->pushed || st->check == BST_CHECKED;
        RECT in = win::look::PushButtonFrame(dc, rc, pressed, type == BS_DEFPUSHBUTTON);
        if ((style & BS_BITMAP) && st->image) {
            CentredBitmap(dc, st->image, in);
        } else {
            RECT t = in;
            InflateRect(&t, -2, 0);
            UINT fmt = TextAlignment(style, DT_CENTER) | lines;
            if (style & BS_MULTILINE) {
                // Centre the block of lines vertically.
                RECT calc = t;
                DrawText(dc, text.c_str(), int(text.size()), &calc, fmt | DT_CALCRECT);
                int hgt = calc.bottom - calc.top;
                t.top += std::max(0, (t.bottom - t.top - hgt) / 2);
            }
            win::look::Label(dc, text, t, fmt, enabled, ink);
        }
        if (st->focused) {
            RECT f = in;
            InflateRect(&f, -1, -1);
            win::look::Focus(dc, f);
        }
    } else if (type == BS_GROUPBOX) {
        // Frame and label only: the inside belongs to the controls in it.
        TEXTMETRIC tm;
        GetTextMetrics(dc, &tm);
        RECT frame = rc;
        frame.top += tm.tmHeight / 2;
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        if (!text.empty()) {
            RECT t{rc.left + win::theme::Scale(8), rc.top, rc.right - win::theme::Scale(8),
                   rc.top + tm.tmHeight};
            RECT calc = t;
            DrawText(dc, text.c_str(), int(text.size()), &calc, DT_SINGLELINE | DT_CALCRECT);
            t.right = std::min(t.right, calc.right + 2);
            if (TextAlignment(style, DT_LEFT) == DT_RIGHT || win::look::StartsAtRight(h))
                OffsetRect(&t, rc.right - win::theme::Scale(8) - t.right, 0);
            RECT back = t;
            back.left -= 2;
            FillRect(dc, &back, colours.Background());
            win::look::Label(dc, text, t, DT_SINGLELINE | DT_LEFT | win::look::ReadingOrder(h),
                             enabled, ink);
        }
    } else {
        FillRect(dc, &rc, colours.Background());
        int box = win::look::CheckSize();
        bool leftText = (style & BS_LEFTTEXT) || win::look::StartsAtRight(h);
        RECT b{rc.left, rc.top + (rc.bottom - rc.top - box) / 2, rc.left + box, 0};
        if (leftText) b.left = rc.right - box, b.right = rc.right;
        b.bottom = b.top + box;
        if (IsRadio(type))
            win::look::RadioButton(dc, b, st->check == BST_CHECKED, enabled, st->pushed);
        else
            win::look::CheckBox(dc, b, static_cast<int>(st->check), enabled, st->pushed);
        RECT t = rc;
        int gap = win::theme::Scale(4);
        if (leftText)
            t.right = b.left - gap;
        else
            t.left = b.right + gap;
        UINT fmt =
            TextAlignment(style, leftText && win::look::StartsAtRight(h) ? DT_RIGHT : DT_LEFT) |
            lines;
        RECT calc = t;
        DrawText(dc, text.c_str(), int(text.size()), &calc, fmt | DT_CALCRECT);
        int tw = calc.right - calc.left, th = calc.bottom - calc.top;
        RECT label = t;
        if (fmt & DT_RIGHT)
            label.left = label.right - tw;
        else if (fmt & DT_CENTER)
            label.left += (t.right - t.left - tw) / 2;
        label.right = std::min(t.right, label.left + tw);
        label.top = t.top + std::max(0, (t.bottom - t.top - th) / 2);
        label.bottom = std::min(t.bottom, label.top + th);
        win::look::Label(dc, text, label, (fmt & ~(DT_VCENTER | DT_CENTER | DT_RIGHT)) | DT_LEFT,
                         enabled, ink);
        if (st->focused) {
            RECT f = label;
            InflateRect(&f, 1, 1);
            IntersectRect(&f, &f, &rc);
            win::look::Focus(dc, f);
        }
    }
    SelectObject(dc, oldFont);
}

// A state change: an owner-drawn button is drawn at once with the action
// that changed; the others paint again.
void ButtonChanged(HWND h, ButtonState* st, UINT action) {
    if ((Style(h) & BS_TYPEMASK) == BS_OWNERDRAW && IsWindowVisible(h))
        DrawOwnerButton(h, st, nullptr, action);
    else
        InvalidateRect(h, nullptr, false);
}

void ButtonClicked(HWND h) {
    ButtonState* st = EnsureControl<ButtonState>(h);
    DWORD type = Style(h) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) {
        st->check = st->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    } else if (type == BS_AUTO3STATE) {
        st->check = (st->check + 1) % 3;
    } else if (type == BS_AUTORADIOBUTTON) {
        for (HWND b : RadioGroup(h)) {
            if (b == h) continue;
            if (IsRadio(Style(b) & BS_TYPEMASK)) SendMessage(b, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        st->check = BST_CHECKED;
    }
    if (type != BS_OWNERDRAW) InvalidateRect(h, nullptr, false);
    NotifyParent(h, BN_CLICKED);
}

}  // namespace

LRESULT ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ButtonState* st = EnsureControl<ButtonState>(h);
    if (!st) return 0;
    DWORD style = Style(h);
    DWORD type = style & BS_TYPEMASK;
    switch (msg) {
        case BM_GETCHECK:
            return static_cast<LRESULT>(st->check);
        case BM_SETCHECK:
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_GROUPBOX) return 0;
            st->check = (type == BS_3STATE || type == BS_AUTO3STATE) ? std::min<WPARAM>(wp, 2)
                                                                     : (wp ? BST_CHECKED : 0);
            InvalidateRect(h, nullptr, false);
            return 0;
        case BM_GETSTATE:
            return static_cast<LRESULT>(st->check | (st->pushed ? BST_PUSHED : 0) |
                                        (st->focused ? BST_FOCUS : 0));
        case BM_SETSTATE:
            st->pushed = wp != 0;
            InvalidateRect(h, nullptr, false);
            return 0;
        case BM_SETSTYLE:
            SetWindowLongPtr(h, GWL_STYLE, (style & ~0xFFFFu) | (wp & 0xFFFF));
            if (LOWORD(lp)) InvalidateRect(h, nullptr, true);
            return 0;
        case BM_CLICK:
            if (type != BS_GROUPBOX && IsWindowEnabled(h)) ButtonClicked(h);
            return 0;
        case BM_SETIMAGE: {
            HGDIOBJ old = st->image;
            st->image = reinterpret_cast<HGDIOBJ>(lp);
            return reinterpret_cast<LRESULT>(old);
        }
        case BM_GETIMAGE:
            return reinterpret_cast<LRESULT>(st->image);
        case WM_GETDLGCODE:
            if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (type == BS_PUSHBUTTON || type == BS_OWNERDRAW)
                return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            if (IsRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
            if (type == BS_GROUPBOX) return DLGC_STATIC;
            return DLGC_BUTTON;
        case WM_LBUTTONDBLCLK:
            if ((IsRadio(type) || type == BS_OWNERDRAW) && (style & BS_NOTIFY)) {
                NotifyParent(h, BN_DBLCLK);
                return 0;
            }
            // Push buttons and check boxes that ask for notifications are
            // told of the double tap, and its second tap still presses them.
            if (type != BS_GROUPBOX && (style & BS_NOTIFY)) {
                NotifyParent(h, BN_DBLCLK);
                if (!IsWindow(h)) return 0;
            }
            [[fallthrough]];
        case WM_LBUTTONDOWN:
            if (type == BS_GROUPBOX) return 0;
            SetFocus(h);
            if (!IsWindow(h)) return 0;
            st->pushed = true;
            SetCapture(h);
            ButtonChanged(h, st, ODA_SELECT);
            return 0;
        case WM_LBUTTONUP: {
            if (!st->pushed) return 0;
            st->pushed = false;
            bool had = GetCapture() == h;
            if (had) ReleaseCapture();
            ButtonChanged(h, st, ODA_SELECT);
            if (InClient(h, PointOf(lp))) ButtonClicked(h);
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != h && st->pushed) {
                st->pushed = false;
                InvalidateRect(h, nullptr, false);
            }
            return 0;
        case WM_KEYDOWN:
            if (wp == VK_SPACE) st->pushed = true;
            return 0;
        case WM_KEYUP:
            if (wp == VK_SPACE && st->pushed) {
                st->pushed = false;
                ButtonClicked(h);
            }
            return 0;
        case WM_SETFOCUS:
            st->focused = true;
            if (style & BS_NOTIFY) NotifyParent(h, BN_SETFOCUS);
            if (IsWindow(h)) ButtonChanged(h, st, ODA_FOCUS);
            return 0;
        case WM_KILLFOCUS:
            st->focused = false;
            st->pushed = false;
            if (style & BS_NOTIFY) NotifyParent(h, BN_KILLFOCUS);
            if (IsWindow(h)) ButtonChanged(h, st, ODA_FOCUS);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            if (type == BS_OWNERDRAW)
                DrawOwnerButton(h, st, dc, ODA_DRAWENTIRE);
            else
                PaintButton(h, st, dc);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // painting covers it (a group box leaves its inside alone)
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// ---------------------------------------------------------------- STATIC

namespace {
struct StaticState : ControlState {
    HGDIOBJ image = nullptr;
    HICON icon = nullptr;
};

void PaintStatic(HWND h, StaticState* st, HDC dc) {
    DWORD style = Style(h), type = style & SS_TYPEMASK;
    RECT rc;
    GetClientRect(h, &rc);
    win::ControlColors colours = win::QueryControlColors(h, dc);
    FillRect(dc, &rc, colours.Background());
    if (type == SS_ICON) {
        HICON icon = st->icon ? st->icon : reinterpret_cast<HICON>(st->image);
        if (icon) DrawIcon(dc, 0, 0, icon);
        return;
    }
    if (type == SS_BITMAP) {
        BITMAP bm;
        if (!st->image || !GetObject(st->image, sizeof bm, &bm)) return;
        int x = 0, y = 0;
        if (style & SS_CENTERIMAGE) {
            x = (rc.right - bm.bmWidth) / 2;
            y = (rc.bottom - bm.bmHeight) / 2;
        }
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, st->image);
        BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        return;
    }
    if (type > SS_RIGHT) return;
    HFONT oldFont = SelectObject(dc, win::look::ControlFont(h));
    UINT fmt = DT_WORDBREAK | DT_EXPANDTABS;
    fmt |= type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    if (win::look::StartsAtRight(h) && type == SS_LEFT) fmt = (fmt & ~DT_LEFT) | DT_RIGHT;
    fmt |= win::look::ReadingOrder(h);
    if (style & SS_NOPREFIX) fmt |= DT_NOPREFIX;
    COLORREF ink = colours.fromParent ? colours.text : GetSysColor(COLOR_WINDOWTEXT);
    win::look::Label(dc, GetWindowTextString(h), rc, fmt, IsWindowEnabled(h), ink);
    SelectObject(dc, oldFont);
}
}  // namespace

LRESULT StaticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    StaticState* st = EnsureControl<StaticState>(h);
    if (!st) return 0;
    DWORD style = Style(h);
    switch (msg) {
        case STM_SETIMAGE: {
            HGDIOBJ old = st->image;
            st->image = reinterpret_cast<HGDIOBJ>(lp);
            InvalidateRect(h, nullptr, true);
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETIMAGE:
            return reinterpret_cast<LRESULT>(st->image);
        case STM_SETICON: {
            HICON old = st->icon;
            st->icon = reinterpret_cast<HICON>(wp);
            InvalidateRect(h, nullptr, true);
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(st->icon);
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_LBUTTONUP:
            if (style & SS_NOTIFY) NotifyParent(h, STN_CLICKED);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (style & SS_NOTIFY) NotifyParent(h, STN_DBLCLK);
            return 0;
        case WM_SETTEXT: {
            LRESULT r = DefWindowProc(h, msg, wp, lp);
            InvalidateRect(h, nullptr, true);
            return r;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            PaintStatic(h, st, dc);
            EndPaint(h, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// ---------------------------------------------------------------- EDIT

namespace {

struct EditState : ControlState {
    size_t selStart = 0, selEnd = 0;  // selEnd is where the caret is
    size_t limit = 0;                 // 0: the default
    bool modified = false;
    WChar passwordChar = 0;
    bool focused = false;
    bool tracking = false;  // the pen is selecting
    int scrollX = 0;        // pixels scrolled off the left
    int firstLine = 0;      // first visible line of a multi-line edit
};

size_t EditLimit(HWND h, EditState* st) {
    if (st->limit) return st->limit;
    return (Style(h) & ES_MULTILINE) ? 0x7FFFFFFE : 0x7FFE;
}

WString& EditText(HWND h) {
    return Find(h)->text;
}

void EditChanged(HWND h, EditState* st) {
    st->modified = true;
    InvalidateRect(h, nullptr, true);
    NotifyParent(h, EN_UPDATE);
    NotifyParent(h, EN_CHANGE);
}

// Replaces the selection with `in`, within the limit; false when nothing fit.
bool EditReplace(HWND h, EditState* st, WStringView in, bool typed) {
    WString& t = EditText(h);
    size_t a = std::min(st->selStart, st->selEnd), b = std::max(st->selStart, st->selEnd);
    a = std::min(a, t.size());
    b = std::min(b, t.size());
    WString ins(in);
    DWORD style = Style(h);
    if (typed && (style & ES_UPPERCASE)) ins = text::ToUpper(ins);
    if (typed && (style & ES_LOWERCASE)) ins = text::ToLower(ins);
    size_t room = EditLimit(h, st) - std::min(EditLimit(h, st), t.size() - (b - a));
    if (ins.size() > room) {
        ins.resize(room);
        NotifyParent(h, EN_MAXTEXT);
        if (!IsWindow(h)) return false;
        if (ins.empty()) return false;
    }
    t.replace(a, b - a, ins);
    st->selStart = st->selEnd = a + ins.size();
    return true;
}

std::vector<std::pair<size_t, size_t>> EditLines(const WString& t) {
    std::vector<std::pair<size_t, size_t>> lines;  // start, length
    size_t start = 0;
    for (;;) {
        size_t nl = t.find(u"\r\n", start);
        if (nl == WString::npos) {
            lines.emplace_back(start, t.size() - start);
            return lines;
        }
        lines.emplace_back(start, nl - start);
        start = nl + 2;
    }
}

// ---- display ----

struct VisualLine {
    size_t start = 0, length = 0;  // in the text
};

// What a DC with the edit's font needs to lay the text out.
struct EditView {
    HWND h = nullptr;
    HDC dc = nullptr;
    HFONT old = nullptr;
    bool own = false;
    WString shown;  // the text as drawn (password characters)
    std::vector<VisualLine> lines;
    RECT area{};  // where text goes, client coordinates
    int lineH = 0;
    bool multi = false;

    EditView(HWND hwnd, EditState* st, HDC paintDc) : h(hwnd), dc(paintDc) {
        if (!dc) {
            dc = GetDC(h);
            own = true;
        }
        old = SelectObject(dc, win::look::ControlFont(h));
        DWORD style = Style(h);
        multi = (style & ES_MULTILINE) != 0;
        const WString& t = Find(h)->text;
        shown = st->passwordChar && !multi ? WString(t.size(), st->passwordChar) : t;
        TEXTMETRIC tm;
        GetTextMetrics(dc, &tm);
        lineH = tm.tmHeight;
        GetClientRect(h, &area);
        area.left += 1;
        area.right -= 1;
        if (multi) area.top += 1;
        else area.top += std::max(0, std::min(1, int(area.bottom - lineH)));
        Layout(style);
    }
    ~EditView() {
        SelectObject(dc, old);
        if (own) ReleaseDC(h, dc);
    }
    int Width(size_t start, size_t n) const {
        if (n == 0) return 0;
        SIZE sz{};
        GetTextExtentPoint32(dc, shown.data() + start, static_cast<int>(n), &sz);
        return sz.cx;
    }
    void Layout(DWORD style) {
        lines.clear();
        if (!multi) {
            lines.push_back({0, shown.size()});
            return;
        }
        bool wrap = !(style & ES_AUTOHSCROLL) && !(style & WS_HSCROLL);
        int width = area.right - area.left;
        size_t start = 0;
        for (;;) {
            size_t nl = shown.find(u"\r\n", start);
            size_t end = nl == WString::npos ? shown.size() : nl;
            // Break the paragraph at blanks, or inside a word too long.
            size_t a = start;
            while (wrap && a < end && Width(a, end - a) > width) {
                size_t fit = a;
                for (size_t i = a; i < end; i = StepRight(shown, i)) {
                    if (Width(a, StepRight(shown, i) - a) > width) break;
                    fit = StepRight(shown, i);
                }
                size_t brk = fit;
                for (size_t i = fit; i > a; --i)
                    if (shown[i - 1] == u' ') {
                        brk = i;
                        break;
                    }
                if (brk == a) brk = std::max(fit, StepRight(shown, a));
                lines.push_back({a, brk - a});
                a = brk;
            }
            lines.push_back({a, end - a});
            if (nl == WString::npos) break;
            start = nl + 2;
        }
    }
    int LineOf(size_t pos) const {
        for (size_t i = lines.size(); i-- > 0;)
            if (lines[i].start <= pos) return static_cast<int>(i);
        return 0;
    }
    int VisibleLines() const { return std::max(1, int(area.bottom - area.top) / std::max(1, lineH)); }
    // Left of a line's text before scrolling (alignment of a single line).
    int LineLeft(const VisualLine& l) const {
        DWORD style = Style(h);
        int w = Width(l.start, l.length), room = area.right - area.left;
        if (w >= room) return area.left;
        if (style & ES_CENTER) return area.left + (room - w) / 2;
        if ((style & ES_RIGHT) || win::look::StartsAtRight(h)) return area.right - w;
        return area.left;
    }
    // Text options of the lines: right-to-left reading with the reading bit.
    UINT TextOptions() const {
        return (GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_RTLREADING) ? ETO_RTLREADING : 0;
    }
    ShownLine Shown(const VisualLine& l) const {
        return ShownLine(dc, shown, l.start, l.length, TextOptions());
    }
    // Where each unit of a line shows, when the line needs more than its
    // widths from the left (runs read right to left); empty otherwise.
    std::vector<gdi::TextUnitPlace> Places(const VisualLine& l) const { return Shown(l).Places(); }
    // The caret's x in a line (from its left) before its unit k, or at its end.
    int CaretX(const VisualLine& l, size_t k) const { return Shown(l).CaretX(k); }
    // Whether lines read right to left (the side Left leaves them by).
    bool RightToLeftLines() const { return TextOptions() || win::look::StartsAtRight(h); }
    // The caret position next to pos in the shown order: towards the left of
    // the screen for dir < 0, the right for dir > 0. Where runs read right
    // to left, that is not the next unit in the text. Past the line's end in
    // that direction, the neighbouring line in reading order (multi-line), or
    // pos itself.
    size_t ShownStep(size_t pos, int dir) const {
        int li = LineOf(pos);
        const VisualLine& l = lines[static_cast<size_t>(li)];
        ShownLine line = Shown(l);
        if (line.Plain()) return dir < 0 ? StepLeft(shown, pos) : StepRight(shown, pos);
        size_t to = line.Step(std::min(pos, l.start + l.length) - l.start, dir);
        if (to != WString::npos) return l.start + to;
        if (!multi) return pos;
        // Off the line's shown end: on to the next line or back to the
        // previous one, by the way the lines read.
        bool forward = (dir < 0) == RightToLeftLines();
        if (forward && li + 1 < static_cast<int>(lines.size()))
            return lines[static_cast<size_t>(li) + 1].start;
        if (!forward && li > 0) {
            const VisualLine& prev = lines[static_cast<size_t>(li) - 1];
            return prev.start + prev.length;
        }
        return pos;
    }
    // Of two positions a <= b, the one shown further left (dir < 0) or right.
    size_t ShownSide(size_t a, size_t b, int dir) const {
        const VisualLine& l = lines[static_cast<size_t>(LineOf(a))];
        if (LineOf(a) != LineOf(b)) return dir < 0 ? a : b;
        return l.start + Shown(l).Side(a - l.start, b - l.start, dir);
    }
    // The text position nearest to a client point.
    size_t Hit(const EditState* st, POINT p) const {
        int li = multi ? st->firstLine + (p.y - area.top) / std::max(1, lineH) : 0;
        li = std::clamp(li, 0, static_cast<int>(lines.size()) - 1);
        const VisualLine& l = lines[static_cast<size_t>(li)];
        int x = p.x - LineLeft(l) + (multi ? 0 : st->scrollX);
        ShownLine line = Shown(l);
        if (!line.Plain()) {
            // Runs read right to left: the nearest caret position.
            size_t best = l.start;
            int dist = INT32_MAX;
            for (size_t i = l.start;; i = StepRight(shown, i)) {
                int d = std::abs(line.CaretX(i - l.start) - x);
                if (d < dist) dist = d, best = i;
                if (i >= l.start + l.length) break;
            }
            return best;
        }
        size_t best = l.start;
        for (size_t i = l.start; i < l.start + l.length;) {
            size_t next = StepRight(shown, i);
            int a = Width(l.start, i - l.start), b = Width(l.start, next - l.start);
            if (x < (a + b + 1) / 2) return i;
            best = next;
            i = next;
        }
        return best;
    }
    POINT CaretAt(const EditState* st, size_t pos) const {
        int li = LineOf(pos);
        const VisualLine& l = lines[static_cast<size_t>(li)];
        int x = LineLeft(l) + CaretX(l, std::min(pos, l.start + l.length) - l.start);
        if (!multi) x -= st->scrollX;
        int y = area.top + (multi ? (li - st->firstLine) * lineH : 0);
        return POINT{x, y};
    }
    // Scrolls so that the caret is in view.
    void Reveal(EditState* st) const {
        size_t caret = std::min(st->selEnd, shown.size());
        if (multi) {
            int li = LineOf(caret);
            if (li < st->firstLine) st->firstLine = li;
            if (li >= st->firstLine + VisibleLines()) st->firstLine = li - VisibleLines() + 1;
            return;
        }
        const VisualLine& l = lines[0];
        int room = area.right - area.left - 1;
        int cx = CaretX(l, caret - l.start);
        int total = Width(l.start, l.length);
        if (cx - st->scrollX > room) st->scrollX = cx - room;
        if (cx < st->scrollX) st->scrollX = std::max(0, cx - room / 3);
        if (total - st->scrollX < room) st->scrollX = std::max(0, total - room);
        if (total <= room) st->scrollX = 0;
    }
};

bool ShowsSelection(HWND h, const EditState* st) {
    return st->focused || (Style(h) & ES_NOHIDESEL);
}

void UpdateWindowBars(HWND h, const EditView& v, const EditState* st) {
    DWORD style = Style(h);
    if (!v.multi || !(style & WS_VSCROLL)) return;
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = static_cast<int>(v.lines.size()) - 1;
    si.nPage = static_cast<UINT>(v.VisibleLines());
    si.nPos = st->firstLine;
    SCROLLINFO now;
    now.fMask = SIF_ALL;
    GetScrollInfo(h, SB_VERT, &now);
    if (now.nMax != si.nMax || now.nPage != si.nPage || now.nPos != si.nPos) {
        SetScrollInfo(h, SB_VERT, &si, false);
        DrawNonClient(h);
    }
}

void PlaceCaret(HWND h, EditState* st) {
    if (!st->focused) return;
    EditView v(h, st, nullptr);
    v.Reveal(st);
    POINT p = v.CaretAt(st, std::min(st->selEnd, v.shown.size()));
    SetCaretPos(p.x, p.y);
}

void PaintEdit(HWND h, EditState* st, HDC dc) {
    win::ControlColors colours = win::QueryControlColors(h, dc);
    RECT rc;
    GetClientRect(h, &rc);
    FillRect(dc, &rc, colours.Background());
    EditView v(h, st, dc);
    v.Reveal(st);
    bool enabled = IsWindowEnabled(h);
    COLORREF ink = colours.fromParent ? colours.text
                                      : GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    size_t a = std::min(st->selStart, st->selEnd), b = std::max(st->selStart, st->selEnd);
    if (!ShowsSelection(h, st)) a = b = 0;
    SetBkMode(dc, TRANSPARENT);
    HRGN clip = CreateRectRgn(v.area.left - 1, 0, v.area.right + 1, rc.bottom);
    SelectClipRgn(dc, clip);
    DeleteObject(clip);
    int visible = v.multi ? v.VisibleLines() + 1 : 1;
    for (int k = 0; k < visible; ++k) {
        size_t li = static_cast<size_t>((v.multi ? st->firstLine : 0) + k);
        if (li >= v.lines.size()) break;
        const VisualLine& l = v.lines[li];
        int x = v.LineLeft(l) - (v.multi ? 0 : st->scrollX);
        int y = v.area.top + k * v.lineH;
        size_t end = l.start + l.length;
        std::vector<gdi::TextUnitPlace> places = v.Places(l);
        if (!places.empty()) {
            // Runs read right to left: the line as a whole, then the
            // selected units' places in highlight colours.
            UINT opts = v.TextOptions();
            SetTextColor(dc, ink);
            ExtTextOut(dc, x, y, opts, nullptr, v.shown.data() + l.start,
                       static_cast<UINT>(l.length), nullptr);
            HRGN sel = CreateRectRgn(0, 0, 0, 0);
            for (size_t i = std::max(a, l.start); i < std::min(b, end); ++i) {
                const gdi::TextUnitPlace& q = places[i - l.start];
                RECT r{x + q.left, y, x + q.right, y + v.lineH};
                HRGN one = CreateRectRgnIndirect(&r);
                CombineRgn(sel, sel, one, RGN_OR);
                DeleteObject(one);
            }
            RECT box;
            if (GetRgnBox(sel, &box) != NULLREGION) {
                FillRgn(dc, sel, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_HIGHLIGHT + 1)));
                int saved = SaveDC(dc);
                HRGN field = CreateRectRgn(v.area.left - 1, 0, v.area.right + 1, rc.bottom);
                CombineRgn(sel, sel, field, RGN_AND);
                DeleteObject(field);
                SelectClipRgn(dc, sel);
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
                ExtTextOut(dc, x, y, opts, nullptr, v.shown.data() + l.start,
                           static_cast<UINT>(l.length), nullptr);
                RestoreDC(dc, saved);
            }
            DeleteObject(sel);
            continue;
        }
        // Three runs: before, inside and after the selection.
        size_t cuts[4] = {l.start, std::clamp(a, l.start, end), std::clamp(b, l.start, end), end};
        for (int r = 0; r < 3; ++r) {
            size_t from = cuts[r], to = cuts[r + 1];
            if (from >= to) continue;
            int x0 = x + v.Width(l.start, from - l.start);
            int w = v.Width(from, to - from);
            if (r == 1) {
                RECT sel{x0, y, x0 + w, y + v.lineH};
                FillRect(dc, &sel, reinterpret_cast<HBRUSH>(uintptr_t(COLOR_HIGHLIGHT + 1)));
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            } else {
                SetTextColor(dc, ink);
            }
            TextOut(dc, x0, y, v.shown.data() + from, static_cast<int>(to - from));
        }
    }
    SelectClipRgn(dc, nullptr);
    UpdateWindowBars(h, v, st);
    if (st->focused) {
        POINT p = v.CaretAt(st, std::min(st->selEnd, v.shown.size()));
        SetCaretPos(p.x, p.y);
    }
}

// Moves the caret, extending the selection when asked.
void EditMoveTo(HWND h, EditState* st, size_t to, bool extend) {
    st->selEnd = to;
    if (!extend) st->selStart = to;
    InvalidateRect(h, nullptr, false);
    PlaceCaret(h, st);
}

size_t WordStart(const WString& t, size_t i) {
    while (i > 0 && t[i - 1] != u' ' && t[i - 1] != u'\n') --i;
    return i;
}
size_t WordEnd(const WString& t, size_t i) {
    while (i < t.size() && t[i] != u' ' && t[i] != u'\r') ++i;
    return i;
}

}  // namespace

LRESULT EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    EditState* st = EnsureControl<EditState>(h);
    if (!st) return 0;
    DWORD style = Style(h);
    switch (msg) {
        case WM_CREATE:
            if (style & ES_PASSWORD) st->passwordChar = u'*';
            return 0;
        case WM_SETTEXT: {
            DefWindowProc(h, msg, wp, lp);
            st->selStart = st->selEnd = 0;
            st->modified = false;
            InvalidateRect(h, nullptr, true);
            NotifyParent(h, EN_UPDATE);
            NotifyParent(h, EN_CHANGE);
            return TRUE;
        }
        case WM_CHAR: {
            if (style & ES_READONLY) {
                MessageBeep(0);
                return 0;
            }
            WChar c = static_cast<WChar>(wp);
            WString& t = EditText(h);
            if (c == 8) {  // backspace: a surrogate pair goes whole
                if (st->selStart == st->selEnd) {
                    if (st->selStart == 0) return 0;
                    st->selStart = StepLeft(t, std::min(st->selStart, t.size()));
                }
                EditReplace(h, st, u"", false);
                EditChanged(h, st);
                PlaceCaret(h, st);
                return 0;
            }
            if (c == u'\r') {
                if (!(style & ES_MULTILINE) || !(style & ES_WANTRETURN)) return 0;
                if (EditReplace(h, st, u"\r\n", true)) EditChanged(h, st);
                return 0;
            }
            if (c < 0x20 && c != u'\t') return 0;
            if (c == u'\t' && !(style & ES_MULTILINE)) return 0;
            if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) {
                MessageBeep(0);
                return 0;
            }
            WChar one[1] = {c};
            if (EditReplace(h, st, WStringView(one, 1), true)) EditChanged(h, st);
            PlaceCaret(h, st);
            return 0;
        }
        case WM_KEYDOWN: {
            WString& t = EditText(h);
            size_t caret = std::min(st->selEnd, t.size());
            bool shift = GetKeyState(VK_SHIFT) < 0;
            if (GetKeyState(VK_CONTROL) < 0) {
                UINT cmd = wp == 'C' ? WM_COPY : wp == 'X' ? WM_CUT : wp == 'V' ? WM_PASTE : 0;
                if (cmd) SendMessage(h, cmd, 0, 0);
                return 0;
            }
            switch (wp) {
                case VK_DELETE:
                    if (style & ES_READONLY) return 0;
                    if (st->selStart == st->selEnd) {
                        if (caret >= t.size()) return 0;
                        st->selStart = caret;
                        st->selEnd = StepRight(t, caret);
                    }
                    EditReplace(h, st, u"", false);
                    EditChanged(h, st);
                    PlaceCaret(h, st);
                    return 0;
                case VK_LEFT:
                case VK_RIGHT: {
                    // The arrows move the caret as the text is shown.
                    int dir = wp == VK_LEFT ? -1 : 1;
                    EditView v(h, st, nullptr);
                    if (!shift && st->selStart != st->selEnd) {
                        // Without Shift a selection collapses to the side
                        // shown in the arrow's direction.
                        size_t a = std::min(st->selStart, st->selEnd),
                               b = std::max(st->selStart, st->selEnd);
                        caret = v.ShownSide(std::min(a, t.size()), std::min(b, t.size()), dir);
                    } else {
                        caret = v.ShownStep(caret, dir);
                    }
                    break;
                }
                case VK_HOME:
                case VK_END:
                case VK_UP:
                case VK_DOWN:
                case VK_PRIOR:
                case VK_NEXT: {
                    if (!(style & ES_MULTILINE)) {
                        if (wp == VK_HOME) caret = 0;
                        else if (wp == VK_END) caret = t.size();
                        else return 0;
                        break;
                    }
                    EditView v(h, st, nullptr);
                    int li = v.LineOf(caret);
                    const VisualLine& l = v.lines[static_cast<size_t>(li)];
                    if (wp == VK_HOME) {
                        caret = l.start;
                        break;
                    }
                    if (wp == VK_END) {
                        caret = l.start + l.length;
                        break;
                    }
                    int step = (wp == VK_UP || wp == VK_DOWN) ? 1 : v.VisibleLines();
                    int to = std::clamp(li + ((wp == VK_UP || wp == VK_PRIOR) ? -step : step), 0,
                                        static_cast<int>(v.lines.size()) - 1);
                    if (wp == VK_PRIOR || wp == VK_NEXT)
                        st->firstLine = std::max(0, st->firstLine + (to - li));
                    POINT at = v.CaretAt(st, caret);
                    at.y = v.area.top + (to - st->firstLine) * v.lineH;
                    caret = v.Hit(st, at);
                    break;
                }
                default:
                    return 0;
            }
            EditMoveTo(h, st, caret, shift);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            SetFocus(h);
            if (!IsWindow(h)) return 0;
            size_t at;
            {
                EditView v(h, st, nullptr);
                at = v.Hit(st, PointOf(lp));
            }
            EditMoveTo(h, st, at, (wp & MK_SHIFT) != 0);
            st->tracking = true;
            SetCapture(h);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (st->tracking) {
                // Past the field's ends the hit is the first or last visible
                // character and Reveal scrolls on.
                EditView v(h, st, nullptr);
                POINT p = PointOf(lp);
                size_t at = v.Hit(st, p);
                if (!v.multi) {
                    if (p.x < v.area.left) at = StepLeft(v.shown, at);
                    if (p.x >= v.area.right) at = StepRight(v.shown, at);
                } else if (p.y < v.area.top && st->firstLine > 0) {
                    --st->firstLine;
                }
                if (at != st->selEnd) EditMoveTo(h, st, at, true);
            }
            return 0;
        case WM_LBUTTONUP:
            if (st->tracking) {
                st->tracking = false;
                if (GetCapture() == h) ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            st->tracking = false;
            return 0;
        case WM_LBUTTONDBLCLK: {
            const WString& t = EditText(h);
            size_t at;
            {
                EditView v(h, st, nullptr);
                at = v.Hit(st, PointOf(lp));
            }
            st->selStart = WordStart(t, at);
            EditMoveTo(h, st, WordEnd(t, at), true);
            return 0;
        }
        case WM_SETFOCUS: {
            st->focused = true;
            EditView v(h, st, nullptr);
            CreateCaret(h, nullptr, 1, v.lineH);
            PlaceCaret(h, st);
            ShowCaret(h);
            InvalidateRect(h, nullptr, false);
            NotifyParent(h, EN_SETFOCUS);
            return 0;
        }
        case WM_KILLFOCUS:
            st->focused = false;
            DestroyCaret();
            InvalidateRect(h, nullptr, false);
            NotifyParent(h, EN_KILLFOCUS);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            PaintEdit(h, st, dc);
            EndPaint(h, &ps);
            return 0;
        }
        case WM_COPY:
        case WM_CUT: {
            size_t a = std::min(st->selStart, st->selEnd), b = std::max(st->selStart, st->selEnd);
            const WString& t = EditText(h);
            if (a >= b || (style & ES_PASSWORD)) return 0;
            if (!win::PutClipboardText(WStringView(t).substr(a, std::min(b, t.size()) - a)))
                return 0;
            if (msg == WM_CUT && !(style & ES_READONLY)) {
                EditReplace(h, st, u"", false);
                EditChanged(h, st);
                PlaceCaret(h, st);
            }
            return 0;
        }
        case WM_CLEAR:
            if (style & ES_READONLY || st->selStart == st->selEnd) return 0;
            EditReplace(h, st, u"", false);
            EditChanged(h, st);
            PlaceCaret(h, st);
            return 0;
        case WM_PASTE: {
            if (style & ES_READONLY) return 0;
            WString in = win::ClipboardText();
            if (!(style & ES_MULTILINE)) in = in.substr(0, in.find_first_of(u"\r\n"));
            if (EditReplace(h, st, in, false)) EditChanged(h, st);
            PlaceCaret(h, st);
            return 0;
        }
        case EM_SCROLLCARET: {
            EditView v(h, st, nullptr);
            v.Reveal(st);
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case EM_GETFIRSTVISIBLELINE:
            return (style & ES_MULTILINE) ? st->firstLine : 0;
        case EM_LINESCROLL: {
            if (!(style & ES_MULTILINE)) return FALSE;
            EditView v(h, st, nullptr);
            st->firstLine = std::clamp(st->firstLine + static_cast<int>(lp), 0,
                                       std::max(0, static_cast<int>(v.lines.size()) - 1));
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case WM_VSCROLL: {
            if (!(style & ES_MULTILINE)) return 0;
            EditView v(h, st, nullptr);
            int last = std::max(0, static_cast<int>(v.lines.size()) - v.VisibleLines());
            int to = st->firstLine;
            switch (LOWORD(wp)) {
                case SB_LINEUP: --to; break;
                case SB_LINEDOWN: ++to; break;
                case SB_PAGEUP: to -= v.VisibleLines(); break;
                case SB_PAGEDOWN: to += v.VisibleLines(); break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: to = static_cast<int16_t>(HIWORD(wp)); break;
                default: return 0;
            }
            st->firstLine = std::clamp(to, 0, last);
            InvalidateRect(h, nullptr, false);
            return 0;
        }
        case WM_GETDLGCODE: {
            LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
            if ((style & ES_MULTILINE) && (style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
            return code;
        }
        case EM_GETSEL: {
            size_t a = std::min(st->selStart, st->selEnd), b = std::max(st->selStart, st->selEnd);
            if (wp) *reinterpret_cast<DWORD*>(wp) = static_cast<DWORD>(a);
            if (lp) *reinterpret_cast<DWORD*>(lp) = static_cast<DWORD>(b);
            return MAKELONG(static_cast<WORD>(std::min<size_t>(a, 0xFFFF)),
                            static_cast<WORD>(std::min<size_t>(b, 0xFFFF)));
        }
        case EM_SETSEL: {
            size_t n = EditText(h).size();
            intptr_t a = static_cast<intptr_t>(static_cast<int>(wp));
            intptr_t b = static_cast<intptr_t>(static_cast<int>(lp));
            if (a == -1) {
                st->selStart = st->selEnd = std::min(st->selEnd, n);
                return 0;
            }
            if (b < 0) b = static_cast<intptr_t>(n);
            st->selStart = std::min<size_t>(static_cast<size_t>(std::max<intptr_t>(a, 0)), n);
            st->selEnd = std::min<size_t>(static_cast<size_t>(b), n);
            // The caret goes to the selection's end and the field shows the
            // new selection.
            PlaceCaret(h, st);
            InvalidateRect(h, nullptr, false);
            return 0;
        }
        case EM_REPLACESEL: {
            const WChar* s = reinterpret_cast<const WChar*>(lp);
            if (EditReplace(h, st, s ? WStringView(s) : WStringView(), false)) EditChanged(h, st);
            return 0;
        }
        case EM_LIMITTEXT:
            st->limit = static_cast<size_t>(wp);
            return 0;
        case EM_GETLIMITTEXT:
            return static_cast<LRESULT>(EditLimit(h, st));
        case EM_GETMODIFY:
            return st->modified;
        case EM_SETMODIFY:
            st->modified = wp != 0;
            return 0;
        case EM_SETREADONLY:
            SetWindowLongPtr(h, GWL_STYLE, wp ? (style | ES_READONLY) : (style & ~ES_READONLY));
            return TRUE;
        case EM_SETPASSWORDCHAR:
            st->passwordChar = static_cast<WChar>(wp);
            return 0;
        case EM_GETPASSWORDCHAR:
            return st->passwordChar;
        case EM_GETLINECOUNT:
            return static_cast<LRESULT>(EditLines(EditText(h)).size());
        case EM_LINEINDEX: {
            auto lines = EditLines(EditText(h));
            intptr_t line = static_cast<int>(wp);
            if (line < 0) {
                size_t caret = st->selEnd;
                for (size_t i = lines.size(); i-- > 0;)
                    if (lines[i].first <= caret) return static_cast<LRESULT>(lines[i].first);
                return 0;
            }
            return static_cast<size_t>(line) < lines.size()
                       ? static_cast<LRESULT>(lines[static_cast<size_t>(line)].first)
                       : -1;
        }
        case EM_LINEFROMCHAR: {
            auto lines = EditLines(EditText(h));
            size_t ch = static_cast<int>(wp) < 0 ? st->selEnd : wp;
            for (size_t i = lines.size(); i-- > 0;)
                if (lines[i].first <= ch) return static_cast<LRESULT>(i);
            return 0;
        }
        case EM_LINELENGTH: {
            auto lines = EditLines(EditText(h));
            size_t ch = static_cast<int>(wp) < 0 ? st->selEnd : wp;
            for (size_t i = lines.size(); i-- > 0;)
                if (lines[i].first <= ch) return static_cast<LRESULT>(lines[i].second);
            return 0;
        }
        case EM_GETLINE: {
            auto lines = EditLines(EditText(h));
            auto* buf = reinterpret_cast<WChar*>(lp);
            if (wp >= lines.size() || !buf) return 0;
            size_t cap = buf[0];  // the first unit holds the buffer size
            size_t n = std::min(cap, lines[wp].second);
            std::copy_n(EditText(h).data() + lines[wp].first, n, buf);
            return static_cast<LRESULT>(n);
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// ---------------------------------------------------------------- scroll bars

namespace {
Window::Bar* BarOf(HWND h, int bar) {
    Window* w = Find(h);
    if (!w || bar < 0 || bar > 2) return nullptr;
    return &w->bars[bar];
}
void ClampBar(Window::Bar* b) {
    int maxPos = b->max - std::max(0, static_cast<int>(b->page) - 1);
    b->pos = std::clamp(b->pos, b->min, std::max(b->min, maxPos));
}
}  // namespace

int SetScrollInfo(HWND h, int bar, const SCROLLINFO* si, bool redraw) {
    Window::Bar* b = BarOf(h, bar);
    if (!b || !si) return 0;
    if (si->fMask & SIF_RANGE) {
        b->min = si->nMin;
        b->max = si->nMax;
    }
    if (si->fMask & SIF_PAGE) b->page = si->nPage;
    if (si->fMask & SIF_POS) b->pos = si->nPos;
    ClampBar(b);
    if (redraw) InvalidateRect(h, nullptr, false);
    return b->pos;
}

bool GetScrollInfo(HWND h, int bar, SCROLLINFO* si) {
    Window::Bar* b = BarOf(h, bar);
    if (!b || !si) return false;
    if (si->fMask & SIF_RANGE) {
        si->nMin = b->min;
        si->nMax = b->max;
    }
    if (si->fMask & SIF_PAGE) si->nPage = static_cast<UINT>(b->page);
    if (si->fMask & SIF_POS) si->nPos = b->pos;
    if (si->fMask & SIF_TRACKPOS) si->nTrackPos = b->trackPos;
    return true;
}

int SetScrollPos(HWND h, int bar, int pos, bool redraw) {
    Window::Bar* b = BarOf(h, bar);
    if (!b) return 0;
    int old = b->pos;
    b->pos = pos;
    ClampBar(b);
    if (redraw) InvalidateRect(h, nullptr, false);
    return old;
}

int GetScrollPos(HWND h, int bar) {
    Window::Bar* b = BarOf(h, bar);
    return b ? b->pos : 0;
}

bool SetScrollRange(HWND h, int bar, int minPos, int maxPos, bool redraw) {
    Window::Bar* b = BarOf(h, bar);
    if (!b) return false;
    b->min = minPos;
    b->max = maxPos;
    ClampBar(b);
    if (redraw) InvalidateRect(h, nullptr, false);
    return true;
}

LRESULT ScrollBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case SBM_SETPOS:
            return SetScrollPos(h, SB_CTL, static_cast<int>(wp), lp != 0);
        case SBM_GETPOS:
            return GetScrollPos(h, SB_CTL);
        case SBM_SETRANGE:
            SetScrollRange(h, SB_CTL, static_cast<int>(wp), static_cast<int>(lp), false);
            return 0;
        case SBM_GETRANGE: {
            Window::Bar* b = BarOf(h, SB_CTL);
            if (b && wp) *reinterpret_cast<int*>(wp) = b->min;
            if (b && lp) *reinterpret_cast<int*>(lp) = b->max;
            return 0;
        }
        case SBM_SETSCROLLINFO:
            return SetScrollInfo(h, SB_CTL, reinterpret_cast<const SCROLLINFO*>(lp), wp != 0);
        case SBM_GETSCROLLINFO:
            return GetScrollInfo(h, SB_CTL, reinterpret_cast<SCROLLINFO*>(lp));
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT rc;
            GetClientRect(h, &rc);
            Window::Bar* b = BarOf(h, SB_CTL);
            win::look::ScrollState s{b->min, b->max, b->page, b->pos};
            win::look::DrawScrollBar(dc, rc, (Style(h) & SBS_VERT) != 0, s, PressedScrollPart(h),
                                     IsWindowEnabled(h));
            EndPaint(h, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            RECT rc;
            GetClientRect(h, &rc);
            TrackScrollBar(h, SB_CTL, rc, (Style(h) & SBS_VERT) != 0, PointOf(lp));
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// ---------------------------------------------------------------- helpers

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessage(item, msg, wParam, lParam) : 0;
}

bool SetDlgItemText(HWND dialog, int id, const WChar* text) {
    HWND item = GetDlgItem(dialog, id);
    return item && SetWindowText(item, text);
}

WString GetDlgItemTextString(HWND dialog, int id) {
    return GetWindowTextString(GetDlgItem(dialog, id));
}

bool SetDlgItemInt(HWND dialog, int id, UINT value, bool isSigned) {
    WString s = isSigned ? text::IntToText(static_cast<int>(value)) : text::IntToText(value);
    return SetDlgItemText(dialog, id, s.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, bool isSigned) {
    if (translated) *translated = FALSE;
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    WString s = text::Trim(GetWindowTextString(item));
    if (s.empty()) return 0;
    size_t used = 0;
    if (isSigned) {
        int32_t v = text::ParseLong(s, &used);
        if (used != s.size()) return 0;
        if (translated) *translated = TRUE;
        return static_cast<UINT>(v);
    }
    if (s[0] == u'-') return 0;
    uint32_t v = text::ParseULong(s, &used);
    if (used != s.size()) return 0;
    if (translated) *translated = TRUE;
    return v;
}

bool CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return false;
    SendMessage(item, BM_SETCHECK, check, 0);
    return true;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessage(dialog, id, BM_GETCHECK, 0, 0));
}

bool CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        if (HWND item = GetDlgItem(dialog, id))
            SendMessage(item, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
}

namespace win {

void ScrollBarUserAction(HWND bar, WORD code, int thumbPos) {
    Window* w = Find(bar);
    if (!w || !w->parent || !IsWindowEnabled(bar)) return;
    if (code == SB_THUMBTRACK) w->bars[SB_CTL].trackPos = thumbPos;
    UINT msg = (w->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    WORD pos =
        (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) ? static_cast<WORD>(thumbPos) : 0;
    SendMessage(w->parent, msg, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(bar));
}

}  // namespace win
