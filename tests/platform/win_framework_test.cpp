// The framework's window and dialog objects.
#include <gtest/gtest.h>

#include "platform/win/controls.h"
#include "platform/win/framework.h"
#include "platform/win/input.h"
#include "platform/win/msgbox.h"

namespace {

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { win::ResetForTests(); }
    void TearDown() override { win::ResetForTests(); }
};

struct ChoicesDialog : win::Dialog {
    int value = 5;
    int check = 1;
    std::vector<std::string> calls;
    explicit ChoicesDialog(HWND parent) : win::Dialog(100, parent) {}
    void PreCreateDialog(DialogTemplate& t) override {
        calls.push_back("precreate");
        t.exStyle |= WS_EX_CAPTIONOKBTN;
    }
    bool OnInitDialog() override {
        calls.push_back("init");
        return Dialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, 1030, value);
        DDV_MinMaxInt(dx, value, 0, 99);
        DDX_Check(dx, 1020, check);
    }
    void PostNcDestroy() override { calls.push_back("gone"); }
};

// The user puts an out-of-range value in and taps OK: refused with the
// prompt, focus on the field; then a good value and OK again.
struct Watch : ChoicesDialog {
    bool fixed = false;
    HWND seen = nullptr;
    Watch() : ChoicesDialog(nullptr) {}
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        seen = GetSafeHwnd();
        if (msg == WM_APP && !fixed) {
            fixed = true;
            EXPECT_EQ(GetFocus(), GetDlgItem(1030));
            SetDlgItemText(GetSafeHwnd(), 1030, u"42");
            CheckDlgButton(GetSafeHwnd(), 1020, BST_UNCHECKED);
            win::PressCaptionOk(GetSafeHwnd());
            return 0;
        }
        return ChoicesDialog::WindowProc(msg, w, l);
    }
};

TEST_F(FrameworkTest, ModalDialogObjectExchangesAndValidates) {
    Watch dlg;
    win::SetMessageBoxResponder([&](const win::MessageBoxRecord& r) {
        EXPECT_EQ(r.text, u"Please enter an integer between 0 and 99.");
        return IDOK;
    });
    win::PushModalHook([&](HWND d) {
        EXPECT_EQ(win::Wnd::FromHandlePermanent(d), &dlg);
        EXPECT_TRUE(GetWindowLong(d, GWL_EXSTYLE) & static_cast<LONG>(WS_EX_CAPTIONOKBTN));
        EXPECT_EQ(GetDlgItemTextString(d, 1030), u"5");
        EXPECT_EQ(IsDlgButtonChecked(d, 1020), BST_CHECKED);
        SetDlgItemText(d, 1030, u"120");
        win::PressCaptionOk(d);
        PostMessage(d, WM_APP, 0, 0);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(dlg.fixed);
    EXPECT_EQ(dlg.value, 42);
    EXPECT_EQ(dlg.check, 0);
    EXPECT_EQ(dlg.calls, (std::vector<std::string>{"precreate", "init", "gone"}));
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(IsWindow(dlg.seen));
    EXPECT_EQ(win::Wnd::FromHandlePermanent(dlg.seen), nullptr);
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
}

TEST_F(FrameworkTest, CancelEndsWithoutSaving) {
    ChoicesDialog dlg(nullptr);
    win::PushModalHook([](HWND d) {
        SetDlgItemText(d, 1030, u"77");
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.value, 5);
    struct Missing : win::Dialog {
        Missing() : win::Dialog(4242) {}
    } none;
    EXPECT_EQ(none.DoModal(), -1);
}

struct Panel : win::Wnd {
    std::vector<int> commands;
    bool OnCommand(WPARAM w, LPARAM) override {
        commands.push_back(LOWORD(w));
        return true;
    }
};

LRESULT PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProc(h, m, w, l);
}

TEST_F(FrameworkTest, WindowObjectsGetTheirMessagesAndLetGoOnDestroy) {
    WNDCLASS wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"Panel";
    RegisterClass(wc);
    Panel panel;
    ASSERT_TRUE(
        panel.CreateEx(0, u"Panel", u"p", WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, nullptr, 0));
    HWND b = CreateWindowEx(0, u"BUTTON", u"Go", WS_CHILD | WS_VISIBLE, 0, 0, 40, 14,
                            panel.GetSafeHwnd(), reinterpret_cast<HMENU>(1016), nullptr, nullptr);
    SendMessage(b, BM_CLICK, 0, 0);
    EXPECT_EQ(panel.commands, (std::vector<int>{1016}));
    // Default() reaches the class procedure: the text is still kept.
    SetWindowText(panel.GetSafeHwnd(), u"renamed");
    EXPECT_EQ(GetWindowTextString(panel.GetSafeHwnd()), u"renamed");
    HWND h = panel.GetSafeHwnd();
    EXPECT_TRUE(panel.DestroyWindow());
    EXPECT_EQ(panel.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(IsWindow(h));
    {
        Panel scoped;
        scoped.CreateEx(0, u"Panel", u"", WS_POPUP, RECT{}, nullptr, 0);
        h = scoped.GetSafeHwnd();
    }
    EXPECT_FALSE(IsWindow(h));  // the object took its window with it
}

}  // namespace

namespace {

// The program's message filter records the last stylus point and may drop
// messages; it sees the messages of nested loops too.
struct FilterApp : win::App {
    POINT lastStylus{-1, -1};
    std::vector<UINT> seen;
    bool PreTranslateMessage(MSG* m) override {
        seen.push_back(m->message);
        if (m->message == WM_LBUTTONDOWN) lastStylus = m->pt;
        if (m->message == WM_APP + 9) return true;  // dropped
        return App::PreTranslateMessage(m);
    }
};

struct Counter : win::Wnd {
    int apps = 0;
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg == WM_APP + 9 || msg == WM_APP + 8) ++apps;
        return Wnd::WindowProc(msg, w, l);
    }
};

TEST_F(FrameworkTest, ApplicationLoopFiltersEveryMessageAndEndsOnQuit) {
    WNDCLASS wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"Frame";
    RegisterClass(wc);
    FilterApp app;
    EXPECT_EQ(win::App::Current(), &app);
    Counter frame;
    frame.CreateEx(0, u"Frame", u"", WS_POPUP | WS_VISIBLE, RECT{10, 10, 110, 110}, nullptr, 0);
    win::input::TapAt(frame.GetSafeHwnd(), {5, 6});
    PostMessage(frame.GetSafeHwnd(), WM_APP + 9, 0, 0);
    PostMessage(frame.GetSafeHwnd(), WM_APP + 8, 0, 0);
    // A modal dialog opened from inside the loop: its messages pass the filter.
    ChoicesDialog dlg(frame.GetSafeHwnd());
    win::PushModalHook([](HWND d) {
        PostMessage(d, WM_APP + 9, 0, 0);
        win::input::Key(VK_ESCAPE);
    });
    PostMessage(frame.GetSafeHwnd(), WM_APP + 7, 0, 0);
    struct Opener : win::Wnd {
        ChoicesDialog* dlg;
        intptr_t result = 0;
        LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
            if (msg == WM_APP + 7) {
                result = dlg->DoModal();
                PostQuitMessage(3);
            }
            return Wnd::WindowProc(msg, w, l);
        }
    };
    Opener opener;
    opener.dlg = &dlg;
    HWND fh = frame.GetSafeHwnd();
    frame.Detach();
    opener.Attach(fh);
    EXPECT_EQ(app.Run(), 3);
    EXPECT_EQ(opener.result, IDCANCEL);
    EXPECT_EQ(app.lastStylus.x, 15);
    EXPECT_EQ(app.lastStylus.y, 16);
    EXPECT_EQ(std::count(app.seen.begin(), app.seen.end(), WM_APP + 9), 2);
    EXPECT_EQ(std::count(app.seen.begin(), app.seen.end(), WM_KEYDOWN), 1);
    EXPECT_EQ(frame.apps, 0);  // detached before the loop; the dropped one never arrived
}

TEST_F(FrameworkTest, ModelessDialogObjectGetsTheKeyboardInterfaceFromTheLoop) {
    ChoicesDialog dlg(nullptr);
    ASSERT_TRUE(dlg.Create());
    HWND d = dlg.GetSafeHwnd();
    SetFocus(GetDlgItem(d, 1030));
    win::input::Type(u"7");
    win::input::Key(VK_RETURN);
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (!win::PreTranslate(&m)) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
    }
    EXPECT_FALSE(win::IsDialogRunning(d));  // Enter pressed OK, which ended it
    EXPECT_EQ(dlg.value, 75);               // typed before the 5: the caret sits at the start
    dlg.DestroyWindow();
}

}  // namespace
