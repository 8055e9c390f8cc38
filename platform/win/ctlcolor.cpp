#include "platform/win/ctlcolor.h"

#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"

namespace win {

ControlColors QueryControlColors(HWND control) {
    ControlColors c;
    WString cls = GetClassNameText(control);
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(control, GWL_STYLE));
    UINT msg = WM_CTLCOLORSTATIC;
    bool editLike = text::EqualsNoCase(cls, u"EDIT") ||
                    (text::EqualsNoCase(cls, u"COMBOBOX") && (style & 3) != CBS_DROPDOWNLIST);
    if (editLike)
        msg = (style & ES_READONLY) || !IsWindowEnabled(control) ? WM_CTLCOLORSTATIC
                                                                 : WM_CTLCOLOREDIT;
    else if (text::EqualsNoCase(cls, u"LISTBOX") || text::EqualsNoCase(cls, u"COMBOBOX"))
        msg = WM_CTLCOLORLISTBOX;
    else if (text::EqualsNoCase(cls, u"BUTTON"))
        msg = WM_CTLCOLORBTN;
    else if (text::EqualsNoCase(cls, u"SCROLLBAR"))
        msg = WM_CTLCOLORSCROLLBAR;
    bool window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    c.text = GetSysColor(IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    c.background = GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE);
    HWND parent = GetParent(control);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc || !parent) {
        if (dc) DeleteDC(dc);
        return c;
    }
    SetTextColor(dc, c.text);
    SetBkColor(dc, c.background);
    LRESULT r =
        SendMessage(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    if (r) {
        c.brush = reinterpret_cast<HBRUSH>(r);
        c.text = GetTextColor(dc);
        c.background = GetBkColor(dc);
        c.fromParent = true;
    }
    DeleteDC(dc);
    return c;
}

}  // namespace win
