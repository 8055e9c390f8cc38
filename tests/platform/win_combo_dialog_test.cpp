// A drop-down combo box in a dialog: while its list is down, Enter picks and
// Escape dismisses the list instead of pressing the dialog's buttons.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"

namespace {

std::vector<int> g_commands;

intptr_t Proc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND) {
        g_commands.push_back(LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

void Pump(HWND dlg) {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessage(dlg, &m)) continue;
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
}

TEST(ComboInDialog, EnterAndEscapeGoToTheOpenList) {
    struct Case {
        UINT key;
        int wantSel;
    };
    for (Case c : {Case{VK_RETURN, 1}, Case{VK_ESCAPE, 0}}) {
        win::ResetForTests();
        g_commands.clear();
        DialogTemplate t;
        t.style = WS_POPUP | WS_VISIBLE;
        t.cx = 120;
        t.cy = 100;
        DialogItemTemplate combo;
        combo.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST;
        combo.x = 4;
        combo.y = 4;
        combo.cx = 80;
        combo.cy = 60;
        combo.id = 10;
        combo.className = u"COMBOBOX";
        DialogItemTemplate ok;
        ok.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
        ok.x = 4;
        ok.y = 80;
        ok.cx = 40;
        ok.cy = 14;
        ok.id = IDOK;
        ok.className = u"BUTTON";
        ok.title = u"OK";
        t.items = {combo, ok};
        HWND dlg = CreateDialogFromTemplate(nullptr, t, nullptr, Proc, 0);
        ASSERT_TRUE(dlg);
        HWND cb = GetDlgItem(dlg, 10);
        for (const WChar* s : {u"Metres", u"Feet", u"Yards"})
            SendMessage(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendMessage(cb, CB_SETCURSEL, 0, 0);
        Pump(dlg);
        win::input::TapAt(cb, POINT{5, 5});
        Pump(dlg);
        ASSERT_TRUE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
        g_commands.clear();
        win::input::Key(VK_DOWN);
        win::input::Key(c.key);
        Pump(dlg);
        EXPECT_FALSE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
        EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), c.wantSel);
        for (int id : g_commands) EXPECT_NE(id, c.key == VK_RETURN ? IDOK : IDCANCEL);
        DestroyWindow(dlg);
    }
    win::ResetForTests();
}

}  // namespace
