// List and combo boxes under real pen and key input: the notifications in
// order and the state after, and the combo box's pen path against the
// model's act-as-user function.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/list_actions.h"
#include "platform/win/window.h"
#include "platform/sys/thread.h"
#include "tests/platform/win_input_parent.h"
#include "win_golden.h"

namespace {

class WinListInputTest : public WinInputParentTest {
protected:    HWND Combo(DWORD style = CBS_DROPDOWNLIST) {
        HWND c = CreateWindowEx(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | style, 10, 10, 100,
                                80, parent_, reinterpret_cast<HMENU>(uintptr_t(5)), nullptr,
                                nullptr);
        for (const char16_t* t : {u"Alpha", u"Beta", u"Gamma", u"Delta"})
            SendMessage(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
        win::input::DrainQueue();
        g_notes.clear();
        return c;
    }
};

TEST_F(WinListInputTest, ComboPenPathMatchesTheUserSelection) {
    // The model's function first.
    HWND a = Combo();
    win::ComboUserSelect(a, 2);
    std::vector<WORD> modelNotes = g_notes;
    int modelSel = static_cast<int>(SendMessage(a, CB_GETCURSEL, 0, 0));
    DestroyWindow(a);
    SetFocus(nullptr);
    // Then a person: a tap on the field opens the list, a tap on the third
    // row picks it.
    HWND b = Combo();
    win::input::TapAt(b, POINT{20, 8});
    win::input::DrainQueue();
    HWND list = FindWindow(u"ComboLBox", nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(SendMessage(b, CB_GETDROPPEDSTATE, 0, 0));
    RECT lr;
    GetWindowRect(list, &lr);
    RECT br;
    GetWindowRect(b, &br);
    EXPECT_EQ(lr.top, br.bottom);  // right below the field
    win::input::TapAt(list, POINT{10, 2 * 13 + 5});
    win::input::DrainQueue();
    EXPECT_EQ(g_notes, modelNotes);
    EXPECT_EQ(SendMessage(b, CB_GETCURSEL, 0, 0), modelSel);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(modelNotes, (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE,
                                             CBN_SELENDOK, CBN_CLOSEUP}));
}

TEST_F(WinListInputTest, ComboListDismissedByATapOutsideOrEscape) {
    HWND c = Combo();
    SendMessage(c, CB_SETCURSEL, 1, 0);
    win::input::TapAt(c, POINT{20, 8});
    win::input::DrainQueue();
    g_notes.clear();
    // The tap outside ends the list and reaches nobody else.
    win::input::TapAt(parent_, POINT{150, 150});
    win::input::DrainQueue();
    EXPECT_EQ(g_notes, (std::vector<WORD>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(FindWindow(u"ComboLBox", nullptr), nullptr);
    // From the keyboard: Alt+Down opens, Down moves the mark, Escape cancels;
    // F4 opens, Down, Enter picks.
    g_notes.clear();
    SendMessage(c, WM_SYSKEYDOWN, VK_DOWN, 0);
    win::input::Key(VK_DOWN);
    win::input::Key(VK_ESCAPE);
    win::input::DrainQueue();
    EXPECT_EQ(g_notes, (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 1);
    g_notes.clear();
    win::input::Key(VK_F1 + 3);
    win::input::Key(VK_DOWN);
    win::input::Key(VK_RETURN);
    win::input::DrainQueue();
    EXPECT_EQ(g_notes, (std::vector<WORD>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 2);
    // Losing the focus while open cancels too.
    SendMessage(c, CB_SHOWDROPDOWN, TRUE, 0);
    g_notes.clear();
    SetFocus(nullptr);
    EXPECT_EQ(g_notes, (std::vector<WORD>{CBN_SELENDCANCEL, CBN_CLOSEUP, CBN_KILLFOCUS}));
    EXPECT_EQ(FindWindow(u"ComboLBox", nullptr), nullptr);
}

TEST_F(WinListInputTest, ListBoxKeysAndPen) {
    HWND l = CreateWindowEx(0, u"LISTBOX", u"", WS_CHILD | WS_VISIBLE | LBS_NOTIFY | WS_VSCROLL,
                            10, 10, 100, 40, parent_, reinterpret_cast<HMENU>(uintptr_t(6)),
                            nullptr, nullptr);
    for (const char16_t* t : {u"Ash", u"Birch", u"Cedar", u"Elm", u"Fir", u"Oak", u"Pine"})
        SendMessage(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    win::input::DrainQueue();
    win::input::TapAt(l, POINT{10, 13 + 5});
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(l, LB_GETCURSEL, 0, 0), 1);
    g_notes.clear();
    win::input::Key(VK_NEXT);  // a page less one row: three rows show
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(l, LB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(SendMessage(l, LB_GETTOPINDEX, 0, 0), 1);
    win::input::Char(u'p');  // type-ahead
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(l, LB_GETCURSEL, 0, 0), 6);
    EXPECT_EQ(SendMessage(l, LB_GETTOPINDEX, 0, 0), 4);
    EXPECT_EQ(g_notes, (std::vector<WORD>{LBN_SELCHANGE, LBN_SELCHANGE}));
    // A double tap on the current row.
    g_notes.clear();
    win::input::TapAt(l, POINT{10, 2 * 13 + 5});
    win::input::TapAt(l, POINT{10, 2 * 13 + 5});
    win::input::DrainQueue();
    EXPECT_EQ(g_notes, (std::vector<WORD>{LBN_DBLCLK}));
}

TEST_F(WinListInputTest, EditableComboFieldHasACaretAndASelection) {
    sys::FakeClock clock(1000);  // the caret stays in its first blink phase
    sys::SetClock(&clock);
    HWND c = Combo(CBS_DROPDOWN);
    SetFocus(c);
    win::input::Type(u"Ced");
    win::input::DrainQueue();
    POINT end{}, home{};
    ASSERT_TRUE(GetCaretPos(&end));
    win::input::Key(VK_HOME);
    win::input::DrainQueue();
    ASSERT_TRUE(GetCaretPos(&home));
    EXPECT_GT(end.x, home.x + 10);  // behind three letters
    EXPECT_EQ(end.y, home.y);
    // Shift+End selects the text; typing replaces the selection.
    win::input::KeyDown(VK_SHIFT);
    win::input::Key(VK_END);
    win::input::KeyUp(VK_SHIFT);
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(c, CB_GETEDITSEL, 0, 0), MAKELONG(0, 3));
    golden::Expect("combo_edit_selected", c);
    // Left ends the selection at its left side, as in an edit.
    win::input::Key(VK_LEFT);
    win::input::Type(u"x");
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(c), u"xCed");
    win::input::Key(VK_RIGHT);
    win::input::Key(VK_RIGHT);
    win::input::Type(u"y");
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(c), u"xCeyd");
    SetFocus(nullptr);  // the caret goes with the focus
    win::input::DrainQueue();
    EXPECT_FALSE(GetCaretPos(&end));
    sys::SetClock(nullptr);
}

// Read right to left, the field starts at its right edge and shows the
// selected units where they are drawn, even where they show apart: in
// Hebrew with digits, the last letter and the space after it stand at the
// left of the Hebrew, the first digits at the far left.
TEST_F(WinListInputTest, RightToLeftComboFieldShowsItsSelectionWhereItIsDrawn) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    HWND c = CreateWindowEx(WS_EX_RTLREADING, u"COMBOBOX", u"",
                            WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 10, 10, 100, 80, parent_,
                            reinterpret_cast<HMENU>(uintptr_t(5)), nullptr, nullptr);
    SetWindowText(c, u"\u05D0\u05D1\u05D2 123");
    SetFocus(c);
    SendMessage(c, CB_SETEDITSEL, 0, MAKELPARAM(2, 5));
    win::input::DrainQueue();
    golden::Expect("rtl_combo_edit_selected", c);
    SetFocus(nullptr);
    win::input::DrainQueue();
    DestroyWindow(c);
    sys::SetClock(nullptr);
}

}  // namespace
