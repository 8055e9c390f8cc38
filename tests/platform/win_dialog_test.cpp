// Dialogs and basic controls on the null backend: templates from memory and
// from resources, modal loops, keyboard interface, data exchange, radio
// groups, list and combo boxes, edits, owner-draw buttons, message boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/res/resource.h"
#include "platform/sys/thread.h"
#include "platform/win/controls.h"
#include "platform/win/ddx.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/list_actions.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "tests/platform/win_template.h"

namespace {

std::vector<std::string> g_events;
std::function<intptr_t(HWND, UINT, WPARAM, LPARAM)> g_dlg;

intptr_t TestDlgProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND)
        g_events.push_back("cmd:" + std::to_string(LOWORD(wp)) + ":" + std::to_string(HIWORD(wp)));
    if (g_dlg) return g_dlg(h, msg, wp, lp);
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(h, LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

class WinDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        sys::SetClock(&clock_);
        g_events.clear();
        g_dlg = nullptr;
        owner_ = CreateWindowEx(0, kDialogClass, u"Owner", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        g_dlg = nullptr;
        win::ResetForTests();
        sys::SetClock(nullptr);
    }
    HWND Modeless(int id) {
        HWND d = CreateDialogParam(nullptr, MAKEINTRESOURCE(static_cast<WORD>(id)), owner_,
                                   TestDlgProc, 0);
        win::input::DrainQueue();
        g_events.clear();
        return d;
    }
    sys::FakeClock clock_;
    HWND owner_ = nullptr;
};

TEST_F(WinDialogTest, InMemoryTemplateBecomesWindowsInSystemDialogUnits) {
    auto bytes = wintest::DialogTemplate(
        u"Page", 160, 120,
        {{WS_CHILD | WS_VISIBLE | 0x0 /*SS_LEFT*/, 4, 4, 60, 8, 0x82, u"Name"},
         {WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 4, 14, 100, 12, 0x81, u""},
         {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY, 4, 30, 60, 10, 0x80,
          u"Done~~Tick when done"},
         {WS_CHILD | WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY, 4, 44, 60, 40, 0x83, u""},
         {WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 70, 44, 60, 12, 0x85, u""}});
    auto t = ParseDialogTemplate(bytes.data(), bytes.size());
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->hasFont);
    HWND page =
        CreateDialogIndirectParam(nullptr, bytes.data(), bytes.size(), owner_, TestDlgProc, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(GetWindowLong(page, GWL_EXSTYLE), 0x00010000);
    auto kids = GetChildren(page);
    ASSERT_EQ(kids.size(), 5u);
    const char16_t* classes[] = {u"STATIC", u"EDIT", u"BUTTON", u"LISTBOX", u"COMBOBOX"};
    for (size_t i = 0; i < kids.size(); ++i) {
        EXPECT_EQ(GetClassNameText(kids[i]), classes[i]);
        EXPECT_EQ(GetDlgCtrlID(kids[i]), static_cast<int>(4000 + i));
    }
    EXPECT_EQ(GetWindowTextString(kids[2]), u"Done~~Tick when done");
    // System base units 6 x 13: x * 6 / 4, y * 13 / 8.
    RECT r;
    GetWindowRect(kids[1], &r);
    POINT origin{0, 0};
    ClientToScreen(page, &origin);
    EXPECT_EQ(r.left - origin.x, 4 * 6 / 4);
    EXPECT_EQ(r.top - origin.y, 14 * 13 / 8);
    EXPECT_EQ(r.right - r.left, 100 * 6 / 4);
    RECT du{0, 0, 160, 120};
    MapDialogRect(page, &du);
    EXPECT_EQ(du.right, 240);
    EXPECT_EQ(du.bottom, 195);
    // The first tab stop has the focus after WM_INITDIALOG returned TRUE.
    EXPECT_EQ(GetFocus(), kids[1]);

    // A template that lies about its item count is refused.
    bytes[8] = 9;
    EXPECT_EQ(
        CreateDialogIndirectParam(nullptr, bytes.data(), bytes.size(), owner_, TestDlgProc, 0),
        nullptr);
}

TEST_F(WinDialogTest, HugeTemplateSizesGiveWindowsOfAPositiveSize) {
    // The largest point size and dialog units a template can hold.
    auto bytes = wintest::DialogTemplate(
        u"Big", 32767, 32767,
        {{WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 32767, 32767, 32767, 32767, 0x81, u""}}, 65535);
    HWND page =
        CreateDialogIndirectParam(nullptr, bytes.data(), bytes.size(), owner_, TestDlgProc, 0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(win::GetDialogFontPoints(page), 65535);
    for (HWND h : {page, GetChildren(page).at(0)}) {
        RECT r;
        GetWindowRect(h, &r);
        EXPECT_GT(r.right - r.left, 0);
        EXPECT_GT(r.bottom - r.top, 0);
    }
    RECT du{0, 0, 32767, 32767};
    MapDialogRect(page, &du);
    EXPECT_GT(du.right, 0);
    EXPECT_GT(du.bottom, 0);
}

TEST_F(WinDialogTest, TimerFiresInsideModalDialogAndOwnerIsDisabledMeanwhile) {
    bool ownerDisabledInside = false;
    g_dlg = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> intptr_t {
        if (msg == WM_INITDIALOG) {
            SetTimer(h, 9, 5000, nullptr);
            return TRUE;
        }
        if (msg == WM_TIMER && wp == 9) {
            ownerDisabledInside = !IsWindowEnabled(owner_);
            KillTimer(h, 9);
            EndDialog(h, 77);
            return TRUE;
        }
        return FALSE;
    };
    uint64_t t0 = clock_.NowMs();
    EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(100), owner_, TestDlgProc, 0), 77);
    EXPECT_TRUE(ownerDisabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(clock_.NowMs() - t0, 5000u);
    EXPECT_EQ(GetTopLevelWindows().size(), 1u);  // the dialog is gone
}

TEST_F(WinDialogTest, FocusReturnsToTheOwnersControlAfterAModalDialog) {
    HWND edit = CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 50, 12,
                               owner_, reinterpret_cast<HMENU>(7), nullptr, nullptr);
    SetFocus(edit);
    win::PushModalHook([](HWND d) {
        EXPECT_TRUE(IsChild(d, GetFocus()));
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(100), owner_, TestDlgProc, 0), IDCANCEL);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(GetActiveWindow(), owner_);
}

TEST_F(WinDialogTest, KeyboardAndCaptionButtonsEndTheDialog) {
    struct Case {
        const char* what;
        std::function<void(HWND)> user;
        intptr_t expect;
    } cases[] = {
        {"Enter presses the default button", [](HWND) { win::input::Key(VK_RETURN); }, IDOK},
        {"Escape cancels", [](HWND) { win::input::Key(VK_ESCAPE); }, IDCANCEL},
        {"caption OK", [](HWND d) { win::PressCaptionOk(d); }, IDOK},
        {"caption close", [](HWND d) { win::PressCaptionClose(d); }, IDCANCEL},
        {"tap on Cancel",
         [](HWND d) {
             win::input::TapAt(GetDlgItem(d, IDCANCEL), POINT{2, 2});
         },
         IDCANCEL},
    };
    for (const auto& c : cases) {
        win::PushModalHook(c.user);
        EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(100), owner_, TestDlgProc, 0), c.expect)
            << c.what;
    }
    // A disabled Cancel button makes the close box do nothing.
    g_dlg = [](HWND h, UINT msg, WPARAM wp, LPARAM) -> intptr_t {
        if (msg == WM_INITDIALOG) {
            EnableWindow(GetDlgItem(h, IDCANCEL), false);
            win::PressCaptionClose(h);
            PostMessage(h, WM_APP, 0, 0);
            return TRUE;
        }
        if (msg == WM_APP) EndDialog(h, 5);
        if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) EndDialog(h, IDCANCEL);
        return FALSE;
    };
    EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(100), owner_, TestDlgProc, 0), 5);
}

TEST_F(WinDialogTest, DataExchangeFailureKeepsDialogOpenWithFocusOnTheControl) {
    int value = 3;
    std::vector<std::pair<bool, DWORD>> failures;  // focus on the edit, selection end
    g_dlg = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> intptr_t {
        auto exchange = [&](CDataExchange* dx) {
            DDX_Text(dx, 1030, value);
            DDV_MinMaxInt(dx, value, 1, 10);
        };
        if (msg == WM_INITDIALOG) {
            UpdateDialogData(h, false, exchange);
            return TRUE;
        }
        if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
            if (UpdateDialogData(h, true, exchange)) {
                EndDialog(h, IDOK);
            } else {
                DWORD a = 0, b = 0;
                SendDlgItemMessage(h, 1030, EM_GETSEL, reinterpret_cast<WPARAM>(&a),
                                   reinterpret_cast<LPARAM>(&b));
                failures.emplace_back(GetFocus() == GetDlgItem(h, 1030), b);
                EXPECT_TRUE(win::IsDialogRunning(h));
            }
            return TRUE;
        }
        if (msg == WM_APP) {  // the user corrects the value and presses Enter again
            SetDlgItemText(h, 1030, reinterpret_cast<const WChar*>(wp));
            win::input::Key(VK_RETURN);
        }
        return FALSE;
    };
    std::vector<const WChar*> corrections = {u"x1", u"7"};
    size_t next = 0;
    win::SetMessageBoxResponder([&](const win::MessageBoxRecord& r) {
        HWND dlg = r.owner;
        PostMessage(dlg, WM_APP, reinterpret_cast<WPARAM>(corrections[next++]), 0);
        return IDOK;
    });
    win::PushModalHook([](HWND d) {
        EXPECT_EQ(GetDlgItemTextString(d, 1030), u"3");
        SetDlgItemText(d, 1030, u"42");
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(100), owner_, TestDlgProc, 0), IDOK);
    EXPECT_EQ(value, 7);
    auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, u"Please enter an integer between 1 and 10.");
    EXPECT_EQ(log[0].caption, u"Zarnip Test");
    EXPECT_EQ(log[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(log[1].text, u"Please enter an integer.");
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_TRUE(failures[0].first);
    EXPECT_EQ(failures[0].second, 2u);  // "42" selected
    EXPECT_TRUE(failures[1].first);
}

TEST_F(WinDialogTest, RadioGroupsUncheckOnlyWithinTheirGroup) {
    HWND d = Modeless(100);
    ASSERT_NE(d, nullptr);
    CheckRadioButton(d, 1013, 1014, 1013);
    win::input::TapAt(GetDlgItem(d, 1010), {1, 1});
    win::input::DrainQueue();
    win::input::TapAt(GetDlgItem(d, 1011), {1, 1});
    win::input::DrainQueue();
    EXPECT_EQ(IsDlgButtonChecked(d, 1010), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, 1011), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, 1012), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, 1013), BST_CHECKED);  // the other group stays
    EXPECT_EQ(g_events, (std::vector<std::string>{"cmd:1010:0", "cmd:1011:0"}));
    // Arrow keys move within the group and check as they go (the loop of a
    // modeless dialog hands messages to IsDialogMessage first).
    win::input::Key(VK_DOWN);
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessage(d, &m)) DispatchMessage(&m);
    EXPECT_EQ(GetFocus(), GetDlgItem(d, 1012));
    EXPECT_EQ(IsDlgButtonChecked(d, 1012), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, 1011), BST_UNCHECKED);
    int choice = -1;
    ASSERT_TRUE(UpdateDialogData(d, true, [&](CDataExchange* dx) { DDX_Radio(dx, 1010, choice); }));
    EXPECT_EQ(choice, 2);
    choice = 0;
    UpdateDialogData(d, false, [&](CDataExchange* dx) { DDX_Radio(dx, 1010, choice); });
    EXPECT_EQ(IsDlgButtonChecked(d, 1010), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, 1012), BST_UNCHECKED);
    // A pen that leaves the button before lifting does not click.
    g_events.clear();
    HWND check = GetDlgItem(d, 1020);
    win::input::PenDownAt(check, {1, 1});
    win::input::PenUpAt(check, {-30, 1});
    win::input::DrainQueue();
    EXPECT_EQ(IsDlgButtonChecked(d, 1020), BST_UNCHECKED);
    EXPECT_TRUE(g_events.empty());
}

TEST_F(WinDialogTest, SortedListBoxFollowsItsLocale) {
    HWND d = Modeless(100);
    HWND list = GetDlgItem(d, 1040);
    const char16_t* words[] = {u"Zebra", u"Äpfel", u"apple", u"Birne"};
    auto fill = [&] {
        SendMessage(list, LB_RESETCONTENT, 0, 0);
        for (auto* w : words) SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w));
    };
    auto order = [&] {
        std::vector<std::u16string> out;
        for (LRESULT i = 0; i < SendMessage(list, LB_GETCOUNT, 0, 0); ++i) {
            WChar buf[64];
            SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
            out.emplace_back(buf);
        }
        return out;
    };
    fill();
    EXPECT_EQ(order(), (std::vector<std::u16string>{u"Äpfel", u"apple", u"Birne", u"Zebra"}));
    SendMessage(list, LB_SETLOCALE, 0x041D, 0);  // Swedish: Ä after Z
    fill();
    EXPECT_EQ(order(), (std::vector<std::u16string>{u"apple", u"Birne", u"Zebra", u"Äpfel"}));
    // Item data and selection by prefix.
    SendMessage(list, LB_SETITEMDATA, 1, 1234);
    EXPECT_EQ(SendMessage(list, LB_GETITEMDATA, 1, 0), 1234);
    EXPECT_EQ(SendMessage(list, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(u"ze")),
              2);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(u"ze")),
              LB_ERR);
    // A user's tap notifies the parent (LBS_NOTIFY); a program's selection does not.
    g_events.clear();
    win::ListBoxUserSelect(list, 0);
    win::input::DrainQueue();
    EXPECT_EQ(g_events, (std::vector<std::string>{"cmd:1040:4", "cmd:1040:1"}));
    int tabs[] = {40, 80};
    SendMessage(list, LB_SETTABSTOPS, 2, reinterpret_cast<LPARAM>(tabs));
    EXPECT_EQ(win::ListBoxTabStops(list), (std::vector<int>{40, 80}));
    // Deleting below the selection moves it; deleting it clears it.
    SendMessage(list, LB_SETCURSEL, 2, 0);
    SendMessage(list, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 1);
    SendMessage(list, LB_DELETESTRING, 1, 0);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(WinDialogTest, ComboBoxesSortSelectAndNotify) {
    HWND d = Modeless(100);
    HWND combo = GetDlgItem(d, 1050);
    for (auto* w : {u"Polygon", u"Point", u"Line"})
        SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w));
    WChar buf[32];
    SendMessage(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(buf), u"Line");
    SendMessage(combo, CB_SETITEMDATA, 2, 99);
    EXPECT_EQ(SendMessage(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(u"pol")),
              2);
    EXPECT_EQ(GetWindowTextString(combo), u"Polygon");
    EXPECT_EQ(SendMessage(combo, CB_GETITEMDATA, SendMessage(combo, CB_GETCURSEL, 0, 0), 0), 99);
    EXPECT_EQ(SendMessage(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(u"x")),
              CB_ERR);
    g_events.clear();
    win::ComboUserSelect(combo, 1);
    win::input::DrainQueue();
    // setfocus, dropdown, selchange, selendok, closeup
    EXPECT_EQ(g_events, (std::vector<std::string>{"cmd:1050:3", "cmd:1050:7", "cmd:1050:1",
                                                  "cmd:1050:9", "cmd:1050:8"}));
    EXPECT_EQ(GetWindowTextString(combo), u"Point");
    SendMessage(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(GetWindowTextString(combo), u"");

    // A drop-down combo has its own edit text.
    HWND edit =
        CreateWindowEx(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_UPPERCASE, 0,
                       0, 50, 100, d, reinterpret_cast<HMENU>(1060), nullptr, nullptr);
    SendMessage(edit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"north"));
    SetFocus(edit);
    g_events.clear();
    win::input::Type(u"ab");
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(edit), u"AB");
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"cmd:1060:6", "cmd:1060:5", "cmd:1060:6", "cmd:1060:5"}));
    WChar item[16];
    SendMessage(edit, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::u16string(item), u"NORTH");
}

TEST_F(WinDialogTest, EditControlsTypeWithinTheirRules) {
    HWND d = Modeless(100);
    struct Case {
        DWORD style;
        int limit;
        std::u16string typed;
        std::u16string expect;
    } cases[] = {
        {0, 0, u"Hello", u"Hello"},        {ES_UPPERCASE, 0, u"abc", u"ABC"},
        {ES_LOWERCASE, 0, u"ABC", u"abc"}, {0, 3, u"abcdef", u"abc"},
        {ES_NUMBER, 0, u"1a2", u"12"},     {ES_READONLY, 0, u"abc", u""},
        {0, 0, u"ab\bc", u"ac"},           {ES_MULTILINE | ES_WANTRETURN, 0, u"a\rb", u"a\r\nb"},
        {ES_MULTILINE, 0, u"a\rb", u"ab"},
    };
    int id = 2000;
    for (const auto& c : cases) {
        HWND e =
            CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE | c.style, 0, 0, 50, 12, d,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(id++)), nullptr, nullptr);
        if (c.limit) SendMessage(e, EM_LIMITTEXT, static_cast<WPARAM>(c.limit), 0);
        SetFocus(e);
        win::input::Type(c.typed);
        win::input::DrainQueue();
        EXPECT_EQ(GetWindowTextString(e), c.expect) << "style " << c.style;
    }
    HWND pw = CreateWindowEx(0, u"EDIT", u"secret", WS_CHILD | ES_PASSWORD, 0, 0, 50, 12, d,
                             nullptr, nullptr, nullptr);
    EXPECT_EQ(SendMessage(pw, EM_GETPASSWORDCHAR, 0, 0), u'*');
    EXPECT_EQ(GetWindowTextString(pw), u"secret");
    HWND ml = CreateWindowEx(0, u"EDIT", u"one\r\ntwo\r\nthree", WS_CHILD | ES_MULTILINE, 0, 0, 50,
                             40, d, nullptr, nullptr, nullptr);
    EXPECT_EQ(SendMessage(ml, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessage(ml, EM_LINEINDEX, 2, 0), 10);
    EXPECT_EQ(SendMessage(ml, EM_LINELENGTH, 10, 0), 5);
    SendMessage(ml, EM_SETSEL, 5, 8);
    SendMessage(ml, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"2"));
    EXPECT_EQ(GetWindowTextString(ml), u"one\r\n2\r\nthree");
    EXPECT_TRUE(SendMessage(ml, EM_GETMODIFY, 0, 0));
}

TEST_F(WinDialogTest, OwnerDrawButtonReportsItsStates) {
    HWND d = CreateDialogParam(nullptr, u"DLG_NAMED", owner_, TestDlgProc, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(win::GetDialogFontName(d), u"Tahoma");
    EXPECT_FALSE(IsWindowVisible(d));  // no WS_VISIBLE in the template
    ShowWindow(d, SW_SHOW);
    std::vector<UINT> states;
    g_dlg = [&](HWND, UINT msg, WPARAM, LPARAM lp) -> intptr_t {
        if (msg == WM_DRAWITEM) {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            EXPECT_EQ(dis->CtlType, ODT_BUTTON);
            EXPECT_EQ(dis->CtlID, 1101u);
            states.push_back(dis->itemState);
            return TRUE;
        }
        return FALSE;
    };
    HWND b = GetDlgItem(d, 1101);
    win::input::PenDownAt(b, {2, 2});
    win::input::DrainQueue();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), ODS_SELECTED | ODS_FOCUS);
    win::input::PenUpAt(b, {2, 2});
    win::input::DrainQueue();
    EnableWindow(b, false);
    win::input::DrainQueue();
    EXPECT_EQ(states.back(), ODS_DISABLED);
    EXPECT_EQ(g_events, (std::vector<std::string>{"cmd:1101:0"}));
}

TEST_F(WinDialogTest, MessageBoxesAnswerByScriptOrDefaultButton) {
    struct Case {
        UINT type;
        int expect;
    } defaults[] = {{MB_OK | MB_ICONINFORMATION, IDOK},
                    {MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO},
                    {MB_YESNO | MB_ICONEXCLAMATION, IDYES},
                    {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL}};
    for (const auto& c : defaults) EXPECT_EQ(MessageBox(owner_, u"t", u"c", c.type), c.expect);
    bool ownerDisabled = false;
    win::SetMessageBoxResponder([&](const win::MessageBoxRecord&) {
        ownerDisabled = !IsWindowEnabled(owner_);
        return IDOK;
    });
    HWND edit = CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 12, owner_,
                               nullptr, nullptr, nullptr);
    SetFocus(edit);
    EXPECT_EQ(MessageBox(owner_, u"modal", u"c", MB_OK), IDOK);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    win::SetMessageBoxResponder(nullptr);
    win::QueueMessageBoxAnswers({IDYES, IDRETRY});
    EXPECT_EQ(MessageBox(owner_, u"Save?", u"Zarnip", MB_YESNO), IDYES);
    // An answer the box has no button for falls back to its default.
    EXPECT_EQ(MessageBox(owner_, u"Save?", u"Zarnip", MB_YESNO | MB_DEFBUTTON2), IDNO);
    auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[5].text, u"Save?");
    EXPECT_EQ(log[5].answer, IDYES);
    MessageBeep(0x30);
    MessageBeep(static_cast<UINT>(-1));
    EXPECT_EQ(win::BeepLog(), (std::vector<UINT>{0x30, static_cast<UINT>(-1)}));
}

TEST_F(WinDialogTest, CommonDialogsUseTheResponder) {
    OPENFILENAME ofn;
    ofn.hwndOwner = owner_;
    ofn.defExt = u"znm";
    ofn.title = u"Save Map";
    EXPECT_FALSE(GetSaveFileName(&ofn));  // no responder: cancelled
    win::SetCommonDialogResponder({[](OPENFILENAME& o, bool save) {
                                       o.file = save ? u"\\My Documents\\map" : u"\\a.shp";
                                       return true;
                                   },
                                   [](CHOOSECOLOR& cc) {
                                       cc.rgbResult = RGB(1, 2, 3);
                                       return true;
                                   },
                                   nullptr});
    EXPECT_TRUE(GetSaveFileName(&ofn));
    EXPECT_EQ(ofn.file, u"\\My Documents\\map.znm");
    CHOOSECOLOR cc;
    EXPECT_TRUE(ChooseColor(&cc));
    EXPECT_EQ(cc.rgbResult, RGB(1, 2, 3));
    LOGFONT lf;
    CHOOSEFONT cf;
    cf.lpLogFont = &lf;
    EXPECT_FALSE(ChooseFont(&cf));
    auto log = win::CommonDialogLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].title, u"Save Map");
    EXPECT_TRUE(log[1].accepted);
    EXPECT_FALSE(log[3].accepted);
}

}  // namespace

TEST_F(WinDialogTest, ModalWindowsTakeThePenHoweverTheyAreAnswered) {
    // A drag holds the capture; each modal window releases it as it opens.
    HWND inside = owner_;
    auto hold = [&] {
        SetCapture(owner_);
        ASSERT_EQ(GetCapture(), owner_);
        inside = owner_;
    };
    // Message boxes: from the queued answers and from the responder.
    hold();
    win::QueueMessageBoxAnswers({IDOK});
    EXPECT_EQ(MessageBox(owner_, u"Poor GPS fix", u"Zarnip", MB_OK), IDOK);
    EXPECT_EQ(GetCapture(), nullptr);
    hold();
    win::SetMessageBoxResponder([&](const win::MessageBoxRecord&) {
        inside = GetCapture();
        return IDOK;
    });
    MessageBox(owner_, u"No GPS data", u"Zarnip", MB_OK);
    win::SetMessageBoxResponder(nullptr);
    EXPECT_EQ(inside, nullptr);
    // A modal dialog.
    hold();
    win::PushModalHook([&](HWND d) {
        inside = GetCapture();
        win::PressCaptionClose(d);
    });
    EXPECT_EQ(DialogBoxParam(nullptr, MAKEINTRESOURCE(100), owner_, TestDlgProc, 0), IDCANCEL);
    EXPECT_EQ(inside, nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    // A pop-up menu answered by the responder.
    hold();
    HMENU menu = CreatePopupMenu();
    AppendMenu(menu, MF_STRING, 5, u"Item");
    win::SetPopupMenuResponder([&](HMENU, POINT, HWND) {
        inside = GetCapture();
        return 0u;
    });
    TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, owner_, nullptr);
    win::SetPopupMenuResponder(nullptr);
    DestroyMenu(menu);
    EXPECT_EQ(inside, nullptr);
}
