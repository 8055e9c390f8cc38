// Registration of the built-in window classes.
#include <mutex>

#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/window_impl.h"

namespace win::detail {

void EnsureSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterSystemClass(u"BUTTON", ButtonProc, CS_DBLCLKS);
        RegisterSystemClass(u"STATIC", StaticProc, 0);
        RegisterSystemClass(u"EDIT", EditProc, CS_DBLCLKS);
        RegisterSystemClass(u"LISTBOX", ListBoxProc, CS_DBLCLKS);
        RegisterSystemClass(u"COMBOBOX", ComboBoxProc, CS_DBLCLKS);
        RegisterSystemClass(u"ComboLBox", ComboListProc, 0);
        RegisterSystemClass(u"SCROLLBAR", ScrollBarProc, CS_DBLCLKS);
        RegisterSystemClass(kDialogClass, DefDlgProc, CS_DBLCLKS);
        InitCommonControls();
    });
}

}  // namespace win::detail
