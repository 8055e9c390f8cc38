// The toolbar (ToolbarWindow32) and the handheld's command bar built on it:
// buttons with images, states and styles (check, group, drop-down), strings,
// images from bitmap resources, tooltips that ask the parent for their text,
// toolbar resources, and menu bar buttons that open a menu resource's
// pop-ups. A horizontal bar narrower than its buttons ends in a chevron
// whose menu holds the buttons that do not fit.
#include <map>

#include "platform/res/formats.h"
#include "platform/res/resource.h"
#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/menu.h"
#include "platform/win/look.h"
#include "platform/win/input.h"
#include "platform/win/menu_window.h"

using namespace win::detail;

namespace {

constexpr int kSeparatorWidth = 8;
constexpr int kArrowWidth = 12;
constexpr int kChevronWidth = 14;
constexpr int kMenuCommandBase = 0xE100;  // commands of menu bar buttons

struct Button {
    int image = 0;
    int cmd = 0;
    BYTE state = TBSTATE_ENABLED;
    BYTE style = 0;
    uintptr_t data = 0;
    WString text;
    int cx = 0;  // 0: the standard width
};

struct ToolbarState : ControlState {
    std::vector<Button> buttons;
    HIMAGELIST images = nullptr;
    bool ownImages = false;
    SIZE bitmap{16, 15};  // the images as drawn
    SIZE source{16, 15};  // one image in the bitmaps added, at 96 dots per inch
    SIZE button{23, 22};
    HWND tooltip = nullptr;
    std::vector<WString> strings;
    DWORD exStyle = 0;
    std::map<int, HMENU> menus;  // menu bar buttons' pop-ups by command
    std::vector<HMENU> ownMenus;
    std::vector<uintptr_t> toolIds;
};

ToolbarState* StateOf(HWND h) {
    return Control<ToolbarState>(h);
}

int Count(const ToolbarState* st) {
    return static_cast<int>(st->buttons.size());
}

int IndexOf(const ToolbarState* st, int cmd) {
    for (int i = 0; i < Count(st); ++i)
        if (st->buttons[static_cast<size_t>(i)].cmd == cmd &&
            !(st->buttons[static_cast<size_t>(i)].style & TBSTYLE_SEP))
            return i;
    return -1;
}

bool Vertical(HWND h) {
    return StyleOf(h) & CCS_VERT;
}

// The space inside a button before its image or text, and between them.
int Margin() {
    return win::theme::Scale(3);
}

// A button's text as wide as the toolbar's font draws it.
SIZE TextSize(HWND h, const WString& text) {
    SIZE sz{0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, win::look::ControlFont(h));
    GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &sz);
    DeleteDC(dc);
    return sz;
}

bool HasArrow(const ToolbarState* st, const Button& b) {
    return (b.style & TBSTYLE_DROPDOWN) && (st->exStyle & TBSTYLE_EX_DRAWDDARROWS) &&
           !st->menus.count(b.cmd);
}

// A button's width: the standard one, or its own; grown for a text that
// sizes it and for a drop-down arrow beside the image.
int Width(HWND h, const ToolbarState* st, const Button& b) {
    int w = b.cx ? b.cx : st->button.cx;
    if ((b.style & TBSTYLE_AUTOSIZE) && !b.text.empty()) {
        int image = st->images && b.image >= 0 ? st->bitmap.cx + win::theme::Scale(2) : 0;
        w = std::max<int>(w, Margin() + image + TextSize(h, b.text).cx + 2 * Margin());
    }
    if (HasArrow(st, b)) w += win::theme::Scale(kArrowWidth);
    return w;
}

// The room a button takes along the bar: its width, or on a vertical bar
// its height.
int Extent(HWND h, const ToolbarState* st, const Button& b, bool vertical) {
    if (b.state & TBSTATE_HIDDEN) return 0;
    if (b.style & TBSTYLE_SEP) return b.image > 0 ? b.image : win::theme::Scale(kSeparatorWidth);
    return vertical ? st->button.cy : Width(h, st, b);
}

// A vertical bar is as wide as its widest button.
int ColumnWidth(HWND h, const ToolbarState* st) {
    int w = st->button.cx;
    for (const Button& b : st->buttons)
        if (!(b.state & TBSTATE_HIDDEN) && !(b.style & TBSTYLE_SEP)) w = std::max(w, Width(h, st, b));
    return w;
}

// Buttons with text are at least as high as their text needs.
int RowHeight(HWND h, const ToolbarState* st) {
    int cy = st->button.cy;
    for (const Button& b : st->buttons)
        if (!b.text.empty() && !(b.state & TBSTATE_HIDDEN))
            cy = std::max<int>(cy, TextSize(h, b.text).cy + 2 * Margin());
    return cy;
}

RECT ButtonRect(HWND h, const ToolbarState* st, int index) {
    bool vertical = Vertical(h);
    int at = 0;
    for (int i = 0; i < index; ++i)
        at += Extent(h, st, st->buttons[static_cast<size_t>(i)], vertical);
    const Button& b = st->buttons[static_cast<size_t>(index)];
    int ext = Extent(h, st, b, vertical);
    if (vertical) {
        // One button a row, the drop-down arrow beside its image.
        int w = (b.style & TBSTYLE_SEP) ? ColumnWidth(h, st) : Width(h, st, b);
        return RECT{0, at, w, at + ext};
    }
    return RECT{at, 0, at + ext, RowHeight(h, st)};
}

// The first button that does not fit before the chevron of a horizontal bar
// narrower than its buttons; -1 when all fit.
int FirstOverflowed(HWND h, const ToolbarState* st) {
    if (Vertical(h) || Count(st) == 0) return -1;
    RECT client;
    GetClientRect(h, &client);
    if (client.right <= 0 || ButtonRect(h, st, Count(st) - 1).right <= client.right) return -1;
    const int limit = client.right - win::theme::Scale(kChevronWidth);
    for (int i = 0; i < Count(st); ++i) {
        const Button& b = st->buttons[static_cast<size_t>(i)];
        if (!(b.state & TBSTATE_HIDDEN) && ButtonRect(h, st, i).right > limit) return i;
    }
    return -1;
}

RECT ChevronRect(HWND h, const ToolbarState* st) {
    RECT client;
    GetClientRect(h, &client);
    return RECT{client.right - win::theme::Scale(kChevronWidth), 0, client.right, RowHeight(h, st)};
}

// The chevron's menu: the buttons that do not fit, named by their tips (as
// the parent gives them) or texts; a drop-down button opens its own menu.
void RunChevron(HWND h, ToolbarState* st) {
    const int first = FirstOverflowed(h, st);
    if (first < 0) return;
    HMENU menu = CreatePopupMenu();
    for (int i = first; i < Count(st); ++i) {
        const Button b = st->buttons[static_cast<size_t>(i)];
        if ((b.style & TBSTYLE_SEP) || (b.state & TBSTATE_HIDDEN)) continue;
        NMTTDISPINFO di;
        di.hdr.hwndFrom = h;
        di.hdr.idFrom = static_cast<uintptr_t>(b.cmd);
        di.hdr.code = TTN_GETDISPINFO;
        WString name;
        if (HWND parent = GetParent(h)) {
            SendMessage(parent, WM_NOTIFY, static_cast<WPARAM>(b.cmd), reinterpret_cast<LPARAM>(&di.hdr));
            if (di.hinst && di.lpszText && IS_INTRESOURCE(di.lpszText))
                name = res::LoadStringText(di.hinst, static_cast<WORD>(reinterpret_cast<uintptr_t>(di.lpszText)));
            else if (di.lpszText && di.lpszText != LPSTR_TEXTCALLBACK)
                name = di.lpszText;
        }
        if (name.empty()) name = b.text;
        if (name.empty()) name = text::Format(u"%d", b.cmd);
        UINT flags = MF_STRING;
        if (!(b.state & TBSTATE_ENABLED)) flags |= MF_GRAYED;
        if (b.state & TBSTATE_CHECKED) flags |= MF_CHECKED;
        AppendMenu(menu, flags, static_cast<uintptr_t>(i + 1), name.c_str());
    }
    RECT c = ChevronRect(h, st);
    POINT at{c.right, c.bottom};
    ClientToScreen(h, &at);
    const int chosen = static_cast<int>(
        TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, at.x, at.y, 0, h, nullptr));
    DestroyMenu(menu);
    // A drop-down's menu, or the button's command.
    if (chosen > 0) win::ToolbarUserTap(h, chosen - 1, true);
}

void SyncTools(HWND h, ToolbarState* st) {
    if (!st->tooltip || !IsWindow(st->tooltip)) return;
    for (uintptr_t id : st->toolIds) {
        TOOLINFO ti;
        ti.hwnd = h;
        ti.uId = id;
        SendMessage(st->tooltip, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&ti));
    }
    st->toolIds.clear();
    for (int i = 0; i < Count(st); ++i) {
        const Button& b = st->buttons[static_cast<size_t>(i)];
        if (b.style & TBSTYLE_SEP) continue;
        TOOLINFO ti;
        ti.hwnd = h;
        ti.uId = static_cast<uintptr_t>(b.cmd);
        ti.rect = ButtonRect(h, st, i);
        ti.lpszText = LPSTR_TEXTCALLBACK;
        SendMessage(st->tooltip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti));
        st->toolIds.push_back(ti.uId);
    }
}

void Changed(HWND h, ToolbarState* st) {
    SyncTools(h, st);
    InvalidateRect(h, nullptr, true);
}

Button FromTb(const ToolbarState* st, const TBBUTTON& tb) {
    Button b;
    b.image = tb.iBitmap;
    b.cmd = tb.idCommand;
    b.state = tb.fsState;
    b.style = tb.fsStyle;
    b.data = tb.dwData;
    if (tb.iString >= 0 && static_cast<size_t>(tb.iString) < st->strings.size())
        b.text = st->strings[static_cast<size_t>(tb.iString)];
    else if (tb.iString > 0xFFFF)
        b.text = reinterpret_cast<const WChar*>(tb.iString);
    return b;
}

// Images from a bitmap resource (or a bitmap handle) added to the list: the
// bitmap is cut into images of the size given at 96 dots per inch, each
// then doubled (or so) to the size the bar draws on a denser screen.
int AddBitmap(ToolbarState* st, const TBADDBITMAP& ab) {
    if (!st->images) {
        st->images = ImageList_Create(st->bitmap.cx, st->bitmap.cy, ILC_COLOR | ILC_MASK, 0, 4);
        st->ownImages = true;
    }
    int first = ImageList_GetImageCount(st->images);
    HBITMAP bitmap = nullptr;
    if (ab.hInst)
        bitmap = LoadBitmap(ab.hInst, MAKEINTRESOURCE(static_cast<WORD>(ab.nID)));
    else if (ab.nID)
        bitmap = reinterpret_cast<HBITMAP>(ab.nID);
    else
        return first;
    bool added = win::AddScaledImages(st->images, bitmap, st->source.cx, st->source.cy,
                                      0x00C0C0C0) >= 0;
    if (ab.hInst && bitmap) DeleteObject(bitmap);
    return added ? first : -1;
}

void Paint(HWND h, ToolbarState* st) {
    ControlPaint p(h, COLOR_BTNFACE);
    HDC dc = p.dc();
    if (!dc) return;
    const int overflowed = FirstOverflowed(h, st);
    if (overflowed >= 0) {
        // Two small right-pointing wedges, a unit a pixel at 96 dots per inch.
        RECT c = ChevronRect(h, st);
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNTEXT));
        const int u = win::theme::Scale(1);
        const int cy = (c.top + c.bottom) / 2, x0 = (c.left + c.right) / 2 - 3 * u;
        for (int wedge = 0; wedge < 2; ++wedge)
            for (int k = 0; k < 3; ++k) {
                const int x = x0 + wedge * 4 * u + k * u;
                RECT line{x, cy - (3 - k) * u, x + u, cy + (3 - k) * u};
                FillRect(dc, &line, brush);
            }
        DeleteObject(brush);
    }
    for (int i = 0; i < Count(st); ++i) {
        if (overflowed >= 0 && i >= overflowed) break;
        const Button b = st->buttons[static_cast<size_t>(i)];
        if ((b.state & TBSTATE_HIDDEN) || (b.style & TBSTYLE_SEP)) continue;
        RECT r = ButtonRect(h, st, i);
        if (b.state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) {
            RECT e = r;
            DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
        }
        int x = r.left + Margin(), y = (r.top + r.bottom - st->bitmap.cy) / 2;
        if (st->images && b.image >= 0) {
            ImageList_Draw(st->images, b.image, dc, x, y,
                           (b.state & TBSTATE_ENABLED) ? ILD_TRANSPARENT : ILD_BLEND50);
            x += st->bitmap.cx + win::theme::Scale(2);
        }
        if (HasArrow(st, b)) {
            // The arrow part: a small downward triangle centred in it, in
            // rows of 5, 3 and 1 units (a unit a pixel at 96 dots per inch).
            const COLORREF ink = GetSysColor((b.state & TBSTATE_ENABLED) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
            HBRUSH brush = CreateSolidBrush(ink);
            const int u = win::theme::Scale(1);
            const int cx = r.right - win::theme::Scale(kArrowWidth) / 2, cy = (r.top + r.bottom) / 2 - u;
            for (int row = 0; row < 3; ++row) {
                RECT line{cx - (2 - row) * u, cy + row * u, cx + (3 - row) * u, cy + (row + 1) * u};
                FillRect(dc, &line, brush);
            }
            DeleteObject(brush);
        }
        if (!b.text.empty()) {
            SetTextColor(dc,
                         GetSysColor((b.state & TBSTATE_ENABLED) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
            RECT tr{x, r.top, r.right, r.bottom};
            DrawTextIn(dc, b.text, tr,
                       DT_LEFT | DT_VCENTER | DT_SINGLELINE | win::look::ReadingOrder(h));
        }
    }
}

BYTE* StateByCmd(ToolbarState* st, WPARAM cmd) {
    int i = IndexOf(st, static_cast<int>(cmd));
    return i < 0 ? nullptr : &st->buttons[static_cast<size_t>(i)].state;
}

LRESULT SetBit(HWND h, ToolbarState* st, WPARAM cmd, BYTE bit, bool on) {
    BYTE* s = StateByCmd(st, cmd);
    if (!s) return FALSE;
    BYTE now = on ? (*s | bit) : (*s & ~bit);
    if (now != *s) {
        *s = now;
        Changed(h, st);
    }
    return TRUE;
}

}  // namespace

namespace {
// The pen on the buttons goes on to the tooltip, which shows a held button's
// text.
void RelayToTip(HWND h, ToolbarState* st, UINT msg, WPARAM wp, LPARAM lp) {
    if (!st->tooltip || !IsWindow(st->tooltip)) return;
    MSG m{};
    m.hwnd = h;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    SendMessage(st->tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}
}  // namespace

LRESULT ToolbarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ToolbarState* st = EnsureControl<ToolbarState>(h);
    if (!st) return DefWindowProc(h, msg, wp, lp);
    switch (msg) {
        case WM_CREATE:
            // The standard button and image grow with the screen's dots per inch.
            st->button = SIZE{win::theme::Scale(23), win::theme::Scale(22)};
            st->bitmap = SIZE{win::theme::Scale(16), win::theme::Scale(15)};
            if (StyleOf(h) & TBSTYLE_TOOLTIPS) {
                st->tooltip = CreateWindowEx(0, TOOLTIPS_CLASS, u"", WS_POPUP, 0, 0, 0, 0, h,
                                             nullptr, nullptr, nullptr);
            }
            return 0;
        case WM_DESTROY:
            if (st->ownImages && st->images) ImageList_Destroy(st->images);
            st->images = nullptr;
            for (HMENU m : st->ownMenus) DestroyMenu(m);
            st->ownMenus.clear();
            if (st->tooltip && IsWindow(st->tooltip)) DestroyWindow(st->tooltip);
            return 0;
        case TB_BUTTONSTRUCTSIZE:
            return 0;
        case TB_ADDBUTTONS:
        case TB_INSERTBUTTON: {
            auto* tb = reinterpret_cast<const TBBUTTON*>(lp);
            if (!tb) return FALSE;
            if (msg == TB_ADDBUTTONS) {
                for (WPARAM i = 0; i < wp; ++i) st->buttons.push_back(FromTb(st, tb[i]));
            } else {
                int at = std::clamp(static_cast<int>(wp), 0, Count(st));
                st->buttons.insert(st->buttons.begin() + at, FromTb(st, *tb));
            }
            Changed(h, st);
            return TRUE;
        }
        case TB_DELETEBUTTON: {
            int i = static_cast<int>(wp);
            if (i < 0 || i >= Count(st)) return FALSE;
            st->buttons.erase(st->buttons.begin() + i);
            Changed(h, st);
            return TRUE;
        }
        case TB_BUTTONCOUNT:
            return Count(st);
        case TB_GETBUTTON: {
            auto* out = reinterpret_cast<TBBUTTON*>(lp);
            int i = static_cast<int>(wp);
            if (!out || i < 0 || i >= Count(st)) return FALSE;
            const Button& b = st->buttons[static_cast<size_t>(i)];
            out->iBitmap = b.image;
            out->idCommand = b.cmd;
            out->fsState = b.state;
            out->fsStyle = b.style;
            out->dwData = b.data;
            out->iString = b.text.empty() ? -1 : reinterpret_cast<intptr_t>(b.text.c_str());
            return TRUE;
        }
        case TB_COMMANDTOINDEX:
            return IndexOf(st, static_cast<int>(wp));
        case TB_ENABLEBUTTON:
            return SetBit(h, st, wp, TBSTATE_ENABLED, LOWORD(lp) != 0);
        case TB_CHECKBUTTON:
            return SetBit(h, st, wp, TBSTATE_CHECKED, LOWORD(lp) != 0);
        case TB_PRESSBUTTON:
            return SetBit(h, st, wp, TBSTATE_PRESSED, LOWORD(lp) != 0);
        case TB_HIDEBUTTON:
            return SetBit(h, st, wp, TBSTATE_HIDDEN, LOWORD(lp) != 0);
        case TB_ISBUTTONENABLED:
        case TB_ISBUTTONCHECKED:
        case TB_ISBUTTONPRESSED:
        case TB_ISBUTTONHIDDEN: {
            BYTE* s = StateByCmd(st, wp);
            if (!s) return 0;
            BYTE bit = msg == TB_ISBUTTONENABLED   ? TBSTATE_ENABLED
                       : msg == TB_ISBUTTONCHECKED ? TBSTATE_CHECKED
                       : msg == TB_ISBUTTONPRESSED ? TBSTATE_PRESSED
                                                   : TBSTATE_HIDDEN;
            return (*s & bit) != 0;
        }
        case TB_SETSTATE: {
            BYTE* s = StateByCmd(st, wp);
            if (!s) return FALSE;
            *s = static_cast<BYTE>(LOWORD(lp));
            Changed(h, st);
            return TRUE;
        }
        case TB_GETSTATE: {
            BYTE* s = StateByCmd(st, wp);
            return s ? *s : -1;
        }
        case TB_SETCMDID: {
            int i = static_cast<int>(wp);
            if (i < 0 || i >= Count(st)) return FALSE;
            st->buttons[static_cast<size_t>(i)].cmd = static_cast<int>(lp);
            SyncTools(h, st);
            return TRUE;
        }
        case TB_GETBITMAP: {
            int i = IndexOf(st, static_cast<int>(wp));
            return i < 0 ? -1 : st->buttons[static_cast<size_t>(i)].image;
        }
        case TB_ADDBITMAP: {
            auto* ab = reinterpret_cast<const TBADDBITMAP*>(lp);
            return ab ? AddBitmap(st, *ab) : -1;
        }
        case TB_ADDSTRING: {
            if (wp) {
                WString s =
                    res::LoadStringText(reinterpret_cast<HINSTANCE>(wp), static_cast<UINT>(lp));
                st->strings.push_back(s);
                return static_cast<LRESULT>(st->strings.size() - 1);
            }
            // Strings one after another, each terminated, ending with an empty one.
            auto* p = reinterpret_cast<const WChar*>(lp);
            if (!p) return -1;
            LRESULT first = static_cast<LRESULT>(st->strings.size());
            while (*p) {
                WString s(p);
                p += s.size() + 1;
                st->strings.push_back(std::move(s));
            }
            return first;
        }
        case TB_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            int i = static_cast<int>(wp);
            if (!r || i < 0 || i >= Count(st)) return FALSE;
            *r = ButtonRect(h, st, i);
            return TRUE;
        }
        case TB_GETRECT: {
            auto* r = reinterpret_cast<RECT*>(lp);
            int i = IndexOf(st, static_cast<int>(wp));
            if (!r || i < 0) return FALSE;
            *r = ButtonRect(h, st, i);
            return TRUE;
        }
        case TB_SETBUTTONSIZE:
            st->button = SIZE{std::max<LONG>(1, LOWORD(lp)), std::max<LONG>(1, HIWORD(lp))};
            Changed(h, st);
            return TRUE;
        case TB_GETBUTTONSIZE:
            return MAKELONG(static_cast<WORD>(st->button.cx), static_cast<WORD>(st->button.cy));
        case TB_SETBITMAPSIZE:
            // Given at 96 dots per inch; drawn larger on a denser screen.
            if (!LOWORD(lp) || !HIWORD(lp)) return FALSE;
            st->source = SIZE{LOWORD(lp), HIWORD(lp)};
            st->bitmap = SIZE{win::theme::Scale(LOWORD(lp)), win::theme::Scale(HIWORD(lp))};
            st->button = SIZE{std::max<LONG>(st->button.cx, st->bitmap.cx + win::theme::Scale(7)),
                              std::max<LONG>(st->button.cy, st->bitmap.cy + win::theme::Scale(7))};
            return TRUE;
        case TB_AUTOSIZE: {
            HWND parent = GetParent(h);
            if (!parent || (StyleOf(h) & (CCS_NORESIZE | CCS_NOPARENTALIGN))) return 0;
            RECT pc;
            GetClientRect(parent, &pc);
            if (Vertical(h))
                MoveWindow(h, 0, 0, ColumnWidth(h, st), pc.bottom, true);
            else
                MoveWindow(h, 0, 0, pc.right, RowHeight(h, st) + 2, true);
            return 0;
        }
        case TB_SETIMAGELIST: {
            HIMAGELIST old = st->images;
            if (st->ownImages && old) ImageList_Destroy(old), old = nullptr;
            st->images = reinterpret_cast<HIMAGELIST>(lp);
            st->ownImages = false;
            if (st->images) {
                int cx = 0, cy = 0;
                ImageList_GetIconSize(st->images, &cx, &cy);
                st->bitmap = SIZE{cx, cy};
            }
            InvalidateRect(h, nullptr, true);
            return reinterpret_cast<LRESULT>(old);
        }
        case TB_GETIMAGELIST:
            return reinterpret_cast<LRESULT>(st->images);
        case TB_SETTOOLTIPS:
            st->tooltip = reinterpret_cast<HWND>(wp);
            SyncTools(h, st);
            return 0;
        case TB_GETTOOLTIPS:
            return reinterpret_cast<LRESULT>(st->tooltip);
        case TB_SETSTYLE:
            SetWindowLongPtr(h, GWL_STYLE, static_cast<intptr_t>(static_cast<DWORD>(lp)));
            Changed(h, st);
            return 0;
        case TB_GETSTYLE:
            return static_cast<LRESULT>(StyleOf(h));
        case TB_SETEXTENDEDSTYLE: {
            DWORD old = st->exStyle;
            st->exStyle = static_cast<DWORD>(lp);
            Changed(h, st);
            return static_cast<LRESULT>(old);
        }
        case TB_GETEXTENDEDSTYLE:
            return static_cast<LRESULT>(st->exStyle);
        case TB_GETBUTTONINFO:
        case TB_SETBUTTONINFO: {
            auto* bi = reinterpret_cast<TBBUTTONINFO*>(lp);
            int i = IndexOf(st, static_cast<int>(wp));
            if (!bi || i < 0) return -1;
            Button& b = st->buttons[static_cast<size_t>(i)];
            if (msg == TB_GETBUTTONINFO) {
                if (bi->dwMask & TBIF_COMMAND) bi->idCommand = b.cmd;
                if (bi->dwMask & TBIF_IMAGE) bi->iImage = b.image;
                if (bi->dwMask & TBIF_STATE) bi->fsState = b.state;
                if (bi->dwMask & TBIF_STYLE) bi->fsStyle = b.style;
                if (bi->dwMask & TBIF_LPARAM) bi->lParam = b.data;
                if (bi->dwMask & TBIF_SIZE) bi->cx = static_cast<WORD>(Extent(h, st, b, false));
                if (bi->dwMask & TBIF_TEXT) CopyText(b.text, bi->pszText, bi->cchText);
                return i;
            }
            if (bi->dwMask & TBIF_COMMAND) b.cmd = bi->idCommand;
            if (bi->dwMask & TBIF_IMAGE) b.image = bi->iImage;
            if (bi->dwMask & TBIF_STATE) b.state = bi->fsState;
            if (bi->dwMask & TBIF_STYLE) b.style = bi->fsStyle;
            if (bi->dwMask & TBIF_LPARAM) b.data = bi->lParam;
            if (bi->dwMask & TBIF_SIZE) b.cx = bi->cx;
            if ((bi->dwMask & TBIF_TEXT) && bi->pszText) b.text = bi->pszText;
            Changed(h, st);
            return TRUE;
        }
        case WM_NOTIFY: {
            // Tooltips ask the toolbar; the toolbar's parent knows the texts.
            auto* nm = reinterpret_cast<NMHDR*>(lp);
            if (nm && nm->code == TTN_GETDISPINFO && GetParent(h))
                return SendMessage(GetParent(h), WM_NOTIFY, nm->idFrom, lp);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
            RelayToTip(h, st, msg, wp, lp);
            break;
        case WM_LBUTTONUP: {
            RelayToTip(h, st, msg, wp, lp);
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            const int overflowed = FirstOverflowed(h, st);
            if (overflowed >= 0) {
                RECT c = ChevronRect(h, st);
                if (PtInRect(&c, pt)) {
                    RunChevron(h, st);
                    return 0;
                }
            }
            for (int i = 0; i < (overflowed >= 0 ? overflowed : Count(st)); ++i) {
                RECT r = ButtonRect(h, st, i);
                if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) {
                    bool arrow = (st->buttons[static_cast<size_t>(i)].style & TBSTYLE_DROPDOWN) &&
                                 (st->exStyle & TBSTYLE_EX_DRAWDDARROWS) &&
                                 pt.x >= r.right - win::theme::Scale(kArrowWidth);
                    win::ToolbarUserTap(h, i, arrow);
                    break;
                }
            }
            return 0;
        }
        case WM_PAINT:
            Paint(h, st);
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {

bool LoadToolbarResource(HWND toolbar, HINSTANCE instance, WORD id) {
    auto tb = res::ParseToolbar(res::FindResourceData(instance, res::RT_TOOLBAR, id));
    if (!tb || !StateOf(toolbar)) return false;
    SendMessage(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(tb->width, tb->height));
    TBADDBITMAP ab;
    ab.hInst = instance ? instance : res::GetResourceHandle();
    ab.nID = id;
    if (SendMessage(toolbar, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&ab)) < 0) return false;
    int image = 0;
    std::vector<TBBUTTON> buttons;
    for (WORD cmd : tb->ids) {
        TBBUTTON b;
        if (cmd == 0) {
            b.fsStyle = static_cast<BYTE>(TBSTYLE_SEP);
        } else {
            b.iBitmap = image++;
            b.idCommand = cmd;
            b.fsState = TBSTATE_ENABLED;
        }
        b.iString = -1;
        buttons.push_back(b);
    }
    SendMessage(toolbar, TB_ADDBUTTONS, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    return true;
}

namespace {

bool IsMenuButton(const ToolbarState* st, int index) {
    if (index < 0 || index >= Count(st)) return false;
    const Button& b = st->buttons[static_cast<size_t>(index)];
    return st->menus.count(b.cmd) && !(b.state & TBSTATE_HIDDEN) && (b.state & TBSTATE_ENABLED);
}

// The menu bar: the button's pop-up opens below it, shown pressed while
// open; Left and Right, or a tap on another menu button, go on to that menu.
void RunMenuBar(HWND toolbar, int index, bool keys) {
    HWND parent = GetParent(toolbar);
    for (;;) {
        ToolbarState* st = StateOf(toolbar);
        if (!st || !IsMenuButton(st, index)) return;
        Button& b = st->buttons[static_cast<size_t>(index)];
        HMENU menu = st->menus[b.cmd];
        RECT r = ButtonRect(toolbar, st, index);
        POINT at{r.left, r.bottom};
        ClientToScreen(toolbar, &at);
        MenuBarLink link;
        link.bar = toolbar;
        link.keys = keys;
        link.hit = [toolbar](POINT screen) {
            ToolbarState* s = StateOf(toolbar);
            if (!s || win::input::WindowFromPoint(screen) != toolbar) return -1;
            ScreenToClient(toolbar, &screen);
            for (int i = 0; i < Count(s); ++i) {
                RECT br = ButtonRect(toolbar, s, i);
                if (PtInRect(&br, screen)) return i;
            }
            return -1;
        };
        b.state |= TBSTATE_PRESSED;
        InvalidateRect(toolbar, nullptr, false);
        SetMenuBarLink(&link);
        TrackPopupMenu(menu, TPM_LEFTALIGN, at.x, at.y, 0, parent, nullptr);
        SetMenuBarLink(nullptr);
        if (!IsWindow(toolbar) || !(st = StateOf(toolbar))) return;
        if (index < Count(st)) st->buttons[static_cast<size_t>(index)].state &= ~TBSTATE_PRESSED;
        InvalidateRect(toolbar, nullptr, false);
        if (link.tapped >= 0 && link.tapped != index && IsMenuButton(st, link.tapped)) {
            index = link.tapped;
            keys = false;
            continue;
        }
        if (!link.move) return;
        // The neighbouring menu button, round the bar.
        int n = Count(st), next = index;
        for (int k = 0; k < n; ++k) {
            next = (next + link.move + n) % n;
            if (IsMenuButton(st, next)) break;
        }
        index = next;
        keys = true;
    }
}

// The first command bar (a toolbar with menu buttons) among a window's
// descendants, bands included.
HWND FindMenuBar(HWND parent) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        if (ToolbarState* st = StateOf(c); st && !st->menus.empty()) return c;
        if (HWND inner = FindMenuBar(c)) return inner;
    }
    return nullptr;
}

}  // namespace

namespace detail {
bool EnterMenuBar(HWND top) {
    HWND bar = FindMenuBar(top);
    if (!bar) return false;
    ToolbarState* st = StateOf(bar);
    for (int i = 0; i < Count(st); ++i) {
        if (IsMenuButton(st, i)) {
            RunMenuBar(bar, i, true);
            return true;
        }
    }
    return false;
}
}  // namespace detail

int ToolbarFirstOverflowed(HWND toolbar) {
    ToolbarState* st = StateOf(toolbar);
    return st ? FirstOverflowed(toolbar, st) : -1;
}

void ToolbarChevronTap(HWND toolbar) {
    ToolbarState* st = StateOf(toolbar);
    if (st && IsWindowEnabled(toolbar)) RunChevron(toolbar, st);
}

void ToolbarUserTap(HWND toolbar, int index, bool onArrow) {
    ToolbarState* st = StateOf(toolbar);
    if (!st || index < 0 || index >= Count(st) || !IsWindowEnabled(toolbar)) return;
    Button b = st->buttons[static_cast<size_t>(index)];
    if ((b.style & TBSTYLE_SEP) || (b.state & TBSTATE_HIDDEN) || !(b.state & TBSTATE_ENABLED))
        return;
    HWND parent = GetParent(toolbar);
    if (st->menus.count(b.cmd)) {
        RunMenuBar(toolbar, index, false);
        return;
    }
    bool dropPart =
        (b.style & TBSTYLE_DROPDOWN) && (onArrow || !(st->exStyle & TBSTYLE_EX_DRAWDDARROWS));
    if (dropPart) {
        NMTOOLBAR nm;
        nm.iItem = b.cmd;
        nm.tbButton.iBitmap = b.image;
        nm.tbButton.idCommand = b.cmd;
        nm.tbButton.fsState = b.state;
        nm.tbButton.fsStyle = b.style;
        nm.tbButton.dwData = b.data;
        nm.rcButton = ButtonRect(toolbar, st, index);
        SendNotify(toolbar, TBN_DROPDOWN, &nm.hdr);
        return;
    }
    if (b.style & TBSTYLE_CHECK) {
        BYTE& s = st->buttons[static_cast<size_t>(index)].state;
        if ((b.style & TBSTYLE_GROUP) == TBSTYLE_GROUP) {
            // A check group: the buttons around this one of the same kind.
            int lo = index, hi = index;
            auto same = [&](int i) {
                return i >= 0 && i < Count(st) &&
                       (st->buttons[static_cast<size_t>(i)].style & TBSTYLE_CHECKGROUP) ==
                           TBSTYLE_CHECKGROUP;
            };
            while (same(lo - 1)) --lo;
            while (same(hi + 1)) ++hi;
            for (int i = lo; i <= hi; ++i)
                st->buttons[static_cast<size_t>(i)].state &= ~TBSTATE_CHECKED;
            s |= TBSTATE_CHECKED;
        } else {
            s ^= TBSTATE_CHECKED;
        }
        InvalidateRect(toolbar, nullptr, false);
    }
    if (parent)
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(b.cmd), BN_CLICKED),
                    reinterpret_cast<LPARAM>(toolbar));
}

}  // namespace win

HWND CommandBar_Create(HINSTANCE, HWND parent, int id) {
    InitCommonControls();
    HWND bar = CreateWindowEx(
        0, TOOLBARCLASSNAME, u"",
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_TOP, 0, 0, 0,
        0, parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    if (bar) SendMessage(bar, TB_AUTOSIZE, 0, 0);
    return bar;
}

bool CommandBar_AddBitmap(HWND bar, HINSTANCE instance, int bitmapId, int, int cx, int cy) {
    if (!StateOf(bar)) return false;
    SendMessage(bar, TB_SETBITMAPSIZE, 0, MAKELONG(static_cast<WORD>(cx), static_cast<WORD>(cy)));
    TBADDBITMAP ab;
    ab.hInst = instance ? instance : res::GetResourceHandle();
    ab.nID = static_cast<uintptr_t>(bitmapId);
    return SendMessage(bar, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&ab)) >= 0;
}

bool CommandBar_AddButtons(HWND bar, UINT count, const TBBUTTON* buttons) {
    return SendMessage(bar, TB_ADDBUTTONS, count, reinterpret_cast<LPARAM>(buttons)) != 0;
}

bool CommandBar_InsertMenubar(HWND bar, HINSTANCE instance, WORD menuId, int button) {
    ToolbarState* st = StateOf(bar);
    if (!st) return false;
    HMENU menu = LoadMenu(instance, MAKEINTRESOURCE(menuId));
    if (!menu) return false;
    st->ownMenus.push_back(menu);
    int at = std::clamp(button, 0, Count(st));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub) continue;
        Button b;
        b.image = I_IMAGENONE;
        b.cmd = kMenuCommandBase + static_cast<int>(st->menus.size());
        b.style = static_cast<BYTE>(TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE);
        b.text = GetMenuText(menu, static_cast<UINT>(i), MF_BYPOSITION);
        b.data = reinterpret_cast<uintptr_t>(sub);
        st->menus[b.cmd] = sub;
        st->buttons.insert(st->buttons.begin() + at++, b);
    }
    Changed(bar, st);
    // As high as the menus' texts need; in a band the bands place it.
    if (GetClassNameText(GetParent(bar)) != REBARCLASSNAME) SendMessage(bar, TB_AUTOSIZE, 0, 0);
    return true;
}

HMENU CommandBar_GetMenu(HWND bar, int button) {
    ToolbarState* st = StateOf(bar);
    if (!st || button < 0 || button >= Count(st)) return nullptr;
    auto it = st->menus.find(st->buttons[static_cast<size_t>(button)].cmd);
    return it == st->menus.end() ? nullptr : it->second;
}

int CommandBar_Height(HWND bar) {
    RECT r;
    return GetWindowRect(bar, &r) ? r.bottom - r.top : 0;
}

bool CommandBar_Show(HWND bar, bool show) {
    if (!IsWindow(bar)) return false;
    ShowWindow(bar, show ? SW_SHOW : SW_HIDE);
    return true;
}
