#include "platform/win/ctlcolor.h"

#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/theme.h"

namespace win {

namespace {

UINT ColorMessage(HWND control, bool* window) {
    WString cls = GetClassNameText(control);
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(control, GWL_STYLE));
    UINT msg = WM_CTLCOLORSTATIC;
    bool editLike = text::EqualsNoCase(cls, u"EDIT") ||
                    (text::EqualsNoCase(cls, u"COMBOBOX") && (style & 3) != CBS_DROPDOWNLIST);
    if (editLike)
        msg = (style & ES_READONLY) || !IsWindowEnabled(control) ? WM_CTLCOLORSTATIC
                                                                 : WM_CTLCOLOREDIT;
    else if (text::EqualsNoCase(cls, u"LISTBOX") || text::EqualsNoCase(cls, u"COMBOBOX") ||
             text::EqualsNoCase(cls, u"ComboLBox"))
        msg = WM_CTLCOLORLISTBOX;
    else if (text::EqualsNoCase(cls, u"BUTTON") || text::EqualsNoCase(cls, u"TTBUTTON"))
        msg = WM_CTLCOLORBTN;
    else if (text::EqualsNoCase(cls, u"SCROLLBAR"))
        msg = WM_CTLCOLORSCROLLBAR;
    *window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    return msg;
}

}  // namespace

ControlColors QueryControlColors(HWND control, HDC paintDc) {
    ControlColors c;
    bool window = false;
    UINT msg = ColorMessage(control, &window);
    c.text = GetSysColor(IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    c.background = GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE);
    HWND parent = GetParent(control);
    // A drop-down list asks its combo box's parent.
    if (text::EqualsNoCase(GetClassNameText(control), u"ComboLBox") && parent)
        parent = GetParent(parent);
    HDC dc = paintDc ? paintDc : CreateCompatibleDC(nullptr);
    SetTextColor(dc, c.text);
    SetBkColor(dc, c.background);
    LRESULT r = parent ? SendMessage(parent, msg, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(control))
                       : 0;
    if (r) {
        c.brush = reinterpret_cast<HBRUSH>(r);
        c.text = GetTextColor(dc);
        c.background = GetBkColor(dc);
        c.fromParent = true;
    }
    if (!paintDc) DeleteDC(dc);
    return c;
}

ControlColors QueryControlColors(HWND control) {
    return QueryControlColors(control, nullptr);
}

HBRUSH ControlColors::Background() const {
    return brush ? brush : GetSysColorBrush(background == GetSysColor(COLOR_WINDOW) ? COLOR_WINDOW
                                                                                   : COLOR_BTNFACE);
}

}  // namespace win
