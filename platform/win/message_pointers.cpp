#include "platform/win/message_pointers.h"

#include <algorithm>
#include <iterator>

#include "platform/text/text.h"
#include "platform/win/controls.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"

namespace win {

namespace {

// Messages below WM_USER whose parameters are addresses, for any window.
constexpr UINT kPointerMessages[] = {
    WM_CREATE, WM_SETTEXT, WM_GETTEXT, WM_DRAWITEM, WM_MEASUREITEM, WM_WINDOWPOSCHANGED,
    WM_COPYDATA, WM_NOTIFY, WM_HELP, WM_NCCREATE,
    // Edit controls.
    EM_GETSEL, 0x00B2 /* EM_GETRECT */, 0x00B3 /* EM_SETRECT */, 0x00B4 /* EM_SETRECTNP */,
    EM_REPLACESEL, EM_GETLINE, 0x00CB /* EM_SETTABSTOPS */,
    // Scroll bars.
    SBM_GETRANGE, SBM_SETSCROLLINFO, SBM_GETSCROLLINFO,
    // Combo boxes.
    CB_GETEDITSEL, CB_ADDSTRING, 0x0145 /* CB_DIR */, CB_GETLBTEXT, CB_INSERTSTRING, CB_FINDSTRING,
    CB_SELECTSTRING, CB_GETDROPPEDCONTROLRECT, CB_FINDSTRINGEXACT,
    // List boxes.
    LB_ADDSTRING, LB_INSERTSTRING, LB_GETTEXT, LB_SELECTSTRING, 0x018D /* LB_DIR */, LB_FINDSTRING,
    LB_GETSELITEMS, LB_SETTABSTOPS, 0x0198 /* LB_GETITEMRECT */, LB_FINDSTRINGEXACT,
};

// The basic controls: their messages from WM_USER up take numbers only.
constexpr const char16_t* kBasicClasses[] = {u"BUTTON", u"EDIT", u"STATIC", u"LISTBOX", u"COMBOBOX",
                                             u"SCROLLBAR"};

}  // namespace

bool MessageCarriesPointer(HWND target, UINT msg) {
    if (std::find(std::begin(kPointerMessages), std::end(kPointerMessages), msg) !=
        std::end(kPointerMessages))
        return true;
    if (msg < WM_USER) return false;
    const WString cls = GetClassNameText(target);
    for (const char16_t* basic : kBasicClasses)
        if (text::EqualsNoCase(cls, basic)) return false;
    return true;
}

}  // namespace win
