// Message boxes as real windows on the null backend: the picture, and the
// answers from Enter, Escape, a mnemonic, a tap and the close button.
#include <gtest/gtest.h>

#include <functional>

#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "win_golden.h"

namespace {

std::function<void()> g_whileOpen;

LRESULT OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER && w == 78) {
        KillTimer(h, 78);
        if (auto f = std::move(g_whileOpen)) {
            g_whileOpen = nullptr;
            f();
        }
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class WinMsgBoxWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        WNDCLASS wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"BoxOwner";
        RegisterClass(wc);
        owner_ = CreateWindowEx(0, u"BoxOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
        SetFocus(owner_);
        win::input::DrainQueue();
        win::UseRealWindows(true);
    }
    void TearDown() override {
        g_whileOpen = nullptr;
        win::ResetForTests();
    }
    void WhileOpen(std::function<void()> f) {
        g_whileOpen = std::move(f);
        SetTimer(owner_, 78, 0, nullptr);
    }
    int Ask(UINT type) {
        return MessageBox(owner_, u"Save the changes to the map before closing it?", u"Zarnip",
                          type);
    }
    static HWND Box() { return FindWindow(u"ZnMessageBox", nullptr); }
    HWND owner_ = nullptr;
};

TEST_F(WinMsgBoxWindowTest, PictureAndEnterOnTheDefaultButton) {
    WhileOpen([this] {
        ASSERT_NE(Box(), nullptr);
        EXPECT_FALSE(IsWindowEnabled(owner_));  // modal
        golden::Expect("msgbox_question_yesnocancel", Box());
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(Box(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(win::BeepLog().back(), MB_ICONQUESTION);
    EXPECT_EQ(win::MessageBoxLog().back().answer, IDNO);
}

TEST_F(WinMsgBoxWindowTest, EscapeAnswersCancelOnlyWhereThereIsOne) {
    WhileOpen([] { win::input::Key(VK_ESCAPE); });
    EXPECT_EQ(Ask(MB_OKCANCEL), IDCANCEL);
    WhileOpen([] { win::input::Key(VK_ESCAPE); });
    EXPECT_EQ(Ask(MB_OK | MB_ICONINFORMATION), IDOK);
    // A yes/no box ignores Escape; its mnemonic answers.
    WhileOpen([] {
        win::input::Key(VK_ESCAPE);
        win::input::Char(u'y');
    });
    EXPECT_EQ(Ask(MB_YESNO), IDYES);
}

TEST_F(WinMsgBoxWindowTest, TapOnAButtonAndTheCloseButton) {
    WhileOpen([] {
        HWND retry = GetDlgItem(Box(), IDRETRY);
        ASSERT_NE(retry, nullptr);
        win::input::TapAt(retry, POINT{5, 5});
    });
    EXPECT_EQ(Ask(MB_RETRYCANCEL | MB_ICONERROR), IDRETRY);
    WhileOpen([] { win::PressCaptionClose(Box()); });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
}

}  // namespace
