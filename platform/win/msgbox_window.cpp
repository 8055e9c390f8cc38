// Message boxes as real windows: an icon, the text wrapped, the buttons of
// the type, and a nested loop until one answers.
//
// MB_RTLREADING gives the mirror image: a mirrored window (its children
// take the layout) with the icon at the right, the buttons in mirrored order
// and the caption and text read right to left. MB_RIGHT sets the text flush
// right; a mirrored box already does, as its text starts at the right.
#include <algorithm>

#include "platform/win/controls.h"
#include "platform/win/look.h"
#include "platform/win/menu_window.h"
#include "platform/win/msgbox.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

struct Box {
    UINT type = 0;
    int answer = 0;
    std::vector<HWND> buttons;
    RECT icon{};
};
Box* g_box = nullptr;

const WChar* ButtonText(int id) {
    switch (id) {
        case IDOK: return u"OK";
        case IDCANCEL: return u"Cancel";
        case IDYES: return u"&Yes";
        case IDNO: return u"&No";
        case IDABORT: return u"&Abort";
        case IDRETRY: return u"&Retry";
        case IDIGNORE: return u"&Ignore";
        default: return u"";
    }
}

bool HasCancel(UINT type) {
    auto b = MessageBoxButtons(type);
    return std::find(b.begin(), b.end(), IDCANCEL) != b.end();
}

// Escape and the close button: Cancel when there is one; an OK-only box
// answers OK; otherwise they do nothing.
int CancelAnswer(UINT type) {
    if (HasCancel(type)) return IDCANCEL;
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : 0;
}

void DrawIcon(HDC dc, RECT r, UINT icon) {
    HPEN none = reinterpret_cast<HPEN>(GetStockObject(NULL_PEN));
    HPEN oldPen = SelectObject(dc, none);
    COLORREF fill = icon == MB_ICONERROR ? RGB(255, 0, 0)
                    : icon == MB_ICONEXCLAMATION ? RGB(255, 255, 0)
                                                 : RGB(0, 0, 255);
    HBRUSH b = CreateSolidBrush(fill);
    HBRUSH old = SelectObject(dc, b);
    if (icon == MB_ICONEXCLAMATION) {
        POINT tri[3] = {{(r.left + r.right) / 2, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
        Polygon(dc, tri, 3);
    } else {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    SelectObject(dc, old);
    DeleteObject(b);
    SelectObject(dc, oldPen);
    const WChar* mark = icon == MB_ICONERROR      ? u"X"
                        : icon == MB_ICONQUESTION ? u"?"
                        : icon == MB_ICONEXCLAMATION ? u"!"
                                                     : u"i";
    LOGFONT lf{};
    GetObject(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    lf.lfHeight = -(r.bottom - r.top) * 2 / 3;
    HFONT f = CreateFontIndirect(&lf);
    HFONT of = SelectObject(dc, f);
    RECT t = r;
    if (icon == MB_ICONEXCLAMATION) t.top += (r.bottom - r.top) / 6;
    look::Label(dc, mark, t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, true,
                icon == MB_ICONEXCLAMATION ? RGB(0, 0, 0) : RGB(255, 255, 255));
    SelectObject(dc, of);
    DeleteObject(f);
}

LRESULT BoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (g_box && HIWORD(wp) == BN_CLICKED) {
                g_box->answer = LOWORD(wp);
                return 0;
            }
            break;
        case WM_CLOSE:
            if (g_box) g_box->answer = CancelAnswer(g_box->type);
            return 0;
        case WM_ERASEBKGND: {
            RECT rc;
            GetClientRect(h, &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            if (g_box && (g_box->type & MB_ICONMASK))
                DrawIcon(dc, g_box->icon, g_box->type & MB_ICONMASK);
            EndPaint(h, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

// Left and Right move along the buttons as they are shown: in a mirrored
// box the next button stands to the left.
void MoveFocus(int dir) {
    auto& b = g_box->buttons;
    auto it = std::find(b.begin(), b.end(), GetFocus());
    int i = it == b.end() ? 0 : static_cast<int>(it - b.begin());
    int n = static_cast<int>(b.size());
    i = (i + dir + n) % n;
    SetFocus(b[static_cast<size_t>(i)]);
    // The focused push button is the default one.
    for (HWND x : b)
        SendMessage(x, BM_SETSTYLE, x == b[static_cast<size_t>(i)] ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                    TRUE);
}

// The text with every word that is wider than `width` broken into pieces
// that fit (after a folder separator where one fits), so that a long path
// wraps instead of widening the box past the screen.
WString BreakLongWords(HDC dc, const WString& text, int width) {
    auto fits = [&](const WString& piece) {
        SIZE size{};
        GetTextExtentPoint32(dc, piece.c_str(), static_cast<int>(piece.size()), &size);
        return size.cx <= width;
    };
    WString out;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find_first_of(u" \n", i);
        if (end == WString::npos) end = text.size();
        WString word = text.substr(i, end - i);
        while (!word.empty() && !fits(word)) {
            // The longest head that fits, ended at a separator if it has one.
            size_t take = 1;
            while (take < word.size() && fits(word.substr(0, take + 1))) ++take;
            size_t cut = word.find_last_of(u"\\/", take - 1);
            if (cut != WString::npos && cut > 0) take = cut + 1;
            out += word.substr(0, take);
            out += u'\n';
            word.erase(0, take);
        }
        out += word;
        if (end < text.size()) out += text[end];
        i = end + 1;
    }
    return out;
}

}  // namespace

int RunMessageBox(HWND owner, const WString& givenText, const WString& caption, UINT type) {
    static bool registered = false;
    if (!registered) {
        RegisterSystemClass(u"ZnMessageBox", BoxProc, 0);
        registered = true;
    }
    if (g_box) return 0;
    Box box;
    box.type = type;
    bool rtl = (type & MB_RTLREADING) != 0;
    MessageBeep(type & MB_ICONMASK);
    // Measure: the text wraps within most of the screen's width.
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    int margin = theme::Scale(8), iconSide = (type & MB_ICONMASK) ? theme::Scale(32) : 0;
    int maxText = std::max(theme::Scale(60), GetSystemMetrics(SM_CXSCREEN) - 4 * margin - iconSide);
    const WString text = BreakLongWords(dc, givenText, maxText);
    RECT tr{0, 0, maxText, 0};
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &tr,
             DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX | (rtl ? DT_RTLREADING : 0));
    DeleteDC(dc);
    std::vector<int> ids = MessageBoxButtons(type);
    int bw = theme::Scale(50), bh = theme::Scale(20), gap = theme::Scale(6);
    int buttonsW = static_cast<int>(ids.size()) * bw + (static_cast<int>(ids.size()) - 1) * gap;
    int textLeft = margin + (iconSide ? iconSide + margin : 0);
    int clientW = std::max(textLeft + static_cast<int>(tr.right) + margin, buttonsW + 2 * margin);
    int textH = std::max(static_cast<int>(tr.bottom), iconSide);
    int clientH = margin + textH + margin + bh + margin;
    DWORD style = WS_POPUP | WS_CAPTION | (CancelAnswer(type) ? WS_SYSMENU : 0);
    RECT m = GetNonClientMargins(style, 0);
    int w = clientW + m.left + m.right, hgt = clientH + m.top + m.bottom;
    // Centred, and never past the screen's top-left corner.
    int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
    int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - hgt) / 2);
    HWND top = owner;
    while (top && (GetWindowLongPtr(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
    g_box = &box;
    DWORD ex = WS_EX_TOPMOST | (rtl ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0);
    HWND h = CreateWindowEx(ex, u"ZnMessageBox", caption.c_str(), style, x, y, w, hgt, top,
                            nullptr, nullptr, nullptr);
    if (!h) {
        g_box = nullptr;
        return 0;
    }
    box.icon = RECT{margin, margin, margin + iconSide, margin + iconSide};
    DWORD align = (type & MB_RIGHT) && !rtl ? SS_RIGHT : SS_LEFT;
    CreateWindowEx(0, u"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | align | SS_NOPREFIX,
                   textLeft, margin, static_cast<int>(tr.right), textH, h, nullptr, nullptr,
                   nullptr);
    int def = static_cast<int>((type & MB_DEFMASK) >> 8);
    if (def >= static_cast<int>(ids.size())) def = 0;
    int bx = (clientW - buttonsW) / 2, by = margin + textH + margin;
    for (size_t i = 0; i < ids.size(); ++i) {
        DWORD bs = static_cast<int>(i) == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        box.buttons.push_back(CreateWindowEx(
            0, u"BUTTON", ButtonText(ids[i]), WS_CHILD | WS_VISIBLE | WS_TABSTOP | bs,
            bx + static_cast<int>(i) * (bw + gap), by, bw, bh, h,
            reinterpret_cast<HMENU>(static_cast<uintptr_t>(ids[i])), nullptr, nullptr));
    }
    bool disabled = top && IsWindowEnabled(top);
    HWND oldFocus = GetFocus();
    if (disabled) EnableWindow(top, false);
    ShowWindow(h, SW_SHOW);
    SetActiveWindow(h);
    SetFocus(box.buttons[static_cast<size_t>(def)]);
    MSG msg;
    while (!box.answer && IsWindow(h)) {
        if (!GetMessage(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message == WM_KEYDOWN) {
            if (msg.wParam == VK_RETURN) {
                auto it = std::find(box.buttons.begin(), box.buttons.end(), GetFocus());
                box.answer = it != box.buttons.end() ? GetDlgCtrlID(*it) : ids[size_t(def)];
                continue;
            }
            if (msg.wParam == VK_ESCAPE) {
                box.answer = CancelAnswer(type);
                continue;
            }
            if (msg.wParam == VK_TAB) {
                MoveFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
                continue;
            }
            if (msg.wParam == VK_RIGHT || msg.wParam == VK_LEFT) {
                MoveFocus((msg.wParam == VK_RIGHT) != rtl ? 1 : -1);
                continue;
            }
        }
        if (msg.message == WM_CHAR) {
            // Mnemonics of the buttons.
            WChar c = text::ToLowerChar(static_cast<WChar>(msg.wParam));
            for (int id : ids) {
                WString t = ButtonText(id);
                size_t amp = t.find(u'&');
                if (amp != WString::npos && text::ToLowerChar(t[amp + 1]) == c) box.answer = id;
            }
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    if (disabled && IsWindow(top)) EnableWindow(top, true);
    if (IsWindow(h)) DestroyWindow(h);
    g_box = nullptr;
    if (oldFocus && IsWindow(oldFocus)) SetFocus(oldFocus);
    return box.answer;
}

}  // namespace win::detail
