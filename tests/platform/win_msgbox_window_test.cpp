// Message boxes as real windows on the null backend: the picture, and the
// answers from Enter, Escape, a mnemonic, a tap and the close button, the
// same in the left-to-right box and in the mirrored one (MB_RTLREADING,
// with a Hebrew text).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

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

// A box's direction: the bits added to every type, and its text.
struct Dir {
    const char* name;
    UINT bits;
    const char16_t* text;
};
// Save the changes to the map before closing it?
const char16_t* const kHebrewText =
    u"\u05DC\u05E9\u05DE\u05D5\u05E8 \u05D0\u05EA \u05D4\u05E9\u05D9\u05E0\u05D5\u05D9\u05D9\u05DD "
    u"\u05D1\u05DE\u05E4\u05D4 \u05DC\u05E4\u05E0\u05D9 \u05E9\u05E1\u05D5\u05D2\u05E8\u05D9\u05DD "
    u"\u05D0\u05D5\u05EA\u05D4?";
const Dir kDirs[] = {{"ltr", 0, u"Save the changes to the map before closing it?"},
                     {"rtl", MB_RTLREADING, kHebrewText}};

class WinMsgBoxWindowTest : public ::testing::TestWithParam<Dir> {
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
    const Dir& dir() const { return GetParam(); }
    bool rtl() const { return dir().bits & MB_RTLREADING; }
    int Ask(UINT type, const char16_t* text = nullptr) {
        return MessageBox(owner_, text ? text : dir().text, u"Zarnip", type | dir().bits);
    }
    static HWND Box() { return FindWindow(u"ZnMessageBox", nullptr); }
    HWND owner_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Directions, WinMsgBoxWindowTest, ::testing::ValuesIn(kDirs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(WinMsgBoxWindowTest, PictureAndEnterOnTheDefaultButton) {
    WhileOpen([this] {
        ASSERT_NE(Box(), nullptr);
        EXPECT_FALSE(IsWindowEnabled(owner_));  // modal
        EXPECT_EQ((GetWindowLongPtr(Box(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rtl());
        golden::Expect(std::string(rtl() ? "rtl_" : "") + "msgbox_question_yesnocancel", Box());
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(Box(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(win::BeepLog().back(), MB_ICONQUESTION);
    EXPECT_EQ(win::MessageBoxLog().back().answer, IDNO);
}

TEST_P(WinMsgBoxWindowTest, EscapeAnswersCancelOnlyWhereThereIsOne) {
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

TEST_P(WinMsgBoxWindowTest, TapOnAButtonAndTheCloseButton) {
    WhileOpen([] {
        HWND retry = GetDlgItem(Box(), IDRETRY);
        ASSERT_NE(retry, nullptr);
        win::input::TapAt(retry, POINT{5, 5});
    });
    EXPECT_EQ(Ask(MB_RETRYCANCEL | MB_ICONERROR), IDRETRY);
    WhileOpen([] { win::PressCaptionClose(Box()); });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
    // A tap where "No" is shown, by screen point: the middle button either
    // way; the first button stands at the right of a mirrored box.
    WhileOpen([this] {
        RECT yes, no;
        GetWindowRect(GetDlgItem(Box(), IDYES), &yes);
        GetWindowRect(GetDlgItem(Box(), IDNO), &no);
        EXPECT_EQ(yes.left > no.left, rtl());
        POINT at{(no.left + no.right) / 2, (no.top + no.bottom) / 2};
        win::input::PenDown(at);
        win::input::PenUp(at);
    });
    EXPECT_EQ(Ask(MB_YESNOCANCEL), IDNO);
}

// The arrows move the default along the buttons as they are shown: Left
// goes to the button at the left, which in a mirrored box is the next one.
TEST_P(WinMsgBoxWindowTest, ArrowsMoveAlongTheButtonsAsShown) {
    WhileOpen([this] {
        win::input::Key(rtl() ? VK_RIGHT : VK_LEFT);  // from "No" to "Yes"
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_DEFBUTTON2), IDYES);
    WhileOpen([this] {
        win::input::Key(rtl() ? VK_LEFT : VK_RIGHT);  // from "No" to "Cancel"
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_DEFBUTTON2), IDCANCEL);
    WhileOpen([] {
        win::input::Key(VK_TAB);  // Tab follows the buttons' order either way
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Ask(MB_YESNOCANCEL | MB_DEFBUTTON2), IDCANCEL);
}

// The mirrored box is the mirror image of the left-to-right box with the
// same text: the same frame on the screen, with its children and its icon
// mirrored within the client area.
class WinMsgBoxMirrorTest : public WinMsgBoxWindowTest {};
INSTANTIATE_TEST_SUITE_P(Hebrew, WinMsgBoxMirrorTest, ::testing::Values(kDirs[1]),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(WinMsgBoxMirrorTest, MirroredBoxIsTheMirrorImage) {
    struct Shown {
        RECT box{};
        int clientW = 0;
        std::vector<RECT> kids;  // on the screen, from the client area's left edge
        RECT icon{};             // the icon's blue, likewise
    } shown[2];
    for (int rtl = 0; rtl < 2; ++rtl) {
        Shown& s = shown[rtl];
        WhileOpen([&s, rtl] {
            HWND box = Box();
            ASSERT_NE(box, nullptr);
            GetWindowRect(box, &s.box);
            RECT cr;
            GetClientRect(box, &cr);
            s.clientW = cr.right;
            POINT origin{0, 0};
            ClientToScreen(box, &origin);
            int left = rtl ? origin.x - cr.right : origin.x;
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                RECT r;
                GetWindowRect(c, &r);
                OffsetRect(&r, -left, -origin.y);
                s.kids.push_back(r);
            }
            golden::Picture p = golden::Capture(box);
            s.icon = RECT{p.w, p.h, -1, -1};
            for (int y = 0; y < p.h; ++y)
                for (int x = 0; x < p.w; ++x)
                    if (p.px[size_t(y) * p.w + x] == 0x0000FF) {
                        s.icon.left = std::min<int>(s.icon.left, x);
                        s.icon.top = std::min<int>(s.icon.top, y);
                        s.icon.right = std::max<int>(s.icon.right, x + 1);
                        s.icon.bottom = std::max<int>(s.icon.bottom, y + 1);
                    }
            OffsetRect(&s.icon, s.box.left - left, s.box.top - origin.y);
            win::input::Key(VK_ESCAPE);
        });
        MessageBox(owner_, kHebrewText, u"Zarnip",
                   MB_YESNOCANCEL | MB_ICONQUESTION | (rtl ? MB_RTLREADING : 0));
    }
    const Shown &a = shown[0], &b = shown[1];
    EXPECT_TRUE(EqualRect(&a.box, &b.box));
    ASSERT_EQ(a.clientW, b.clientW);
    ASSERT_EQ(a.kids.size(), 4u);  // the text and three buttons
    ASSERT_EQ(b.kids.size(), a.kids.size());
    auto mirrored = [&](RECT r) { return RECT{a.clientW - r.right, r.top, a.clientW - r.left, r.bottom}; };
    for (size_t i = 0; i < a.kids.size(); ++i) {
        RECT m = mirrored(a.kids[i]);
        EXPECT_TRUE(EqualRect(&b.kids[i], &m)) << i;
    }
    ASSERT_GT(a.icon.right, a.icon.left);
    RECT m = mirrored(a.icon);
    EXPECT_TRUE(EqualRect(&b.icon, &m));
}

// MB_RIGHT sets the lines of the text flush right: each line of a
// left-to-right box ends where the longest one does; a mirrored box shows
// them so with or without it (its text starts at the right).
TEST_P(WinMsgBoxMirrorTest, RightSetsTheTextFlushRight) {
    const char16_t* english = u"Saved.\nThe map is on the card.";
    // Saved. The map is on the card.
    const char16_t* hebrew = u"\u05E0\u05E9\u05DE\u05E8.\n\u05D4\u05DE\u05E4\u05D4 "
                             u"\u05E0\u05DE\u05E6\u05D0\u05EA \u05D1\u05DB\u05E8\u05D8\u05D9\u05E1.";
    const UINT types[] = {MB_OK, MB_OK | MB_RIGHT, MB_RTLREADING, MB_RTLREADING | MB_RIGHT};
    std::vector<std::vector<int>> inkRight;
    for (UINT type : types) {
        WhileOpen([&inkRight] {
            golden::Picture p = golden::Capture(GetWindow(Box(), GW_CHILD));
            // The rightmost dark pixel of the first and of the second line.
            std::vector<int> rights;
            for (int y0 : {0, p.h / 2}) {
                int right = -1;
                for (int y = y0; y < y0 + p.h / 2; ++y)
                    for (int x = 0; x < p.w; ++x)
                        if ((p.px[size_t(y) * p.w + x] & 0xFF) < 0x40) right = std::max(right, x);
                rights.push_back(right);
            }
            inkRight.push_back(rights);
            win::input::Key(VK_RETURN);
        });
        MessageBox(owner_, (type & MB_RTLREADING) ? hebrew : english, u"Zarnip", type);
    }
    ASSERT_EQ(inkRight.size(), 4u);
    EXPECT_LT(inkRight[0][0], inkRight[0][1] - 20);  // ragged right
    for (size_t i = 1; i < 4; ++i)
        EXPECT_LE(std::abs(inkRight[i][0] - inkRight[i][1]), 1) << types[i];  // flush right
}

// A message box with a long path, on both screen shapes at scale 1 and 2:
// the path wraps, and the box with its text and buttons lies inside the
// screen.
TEST(WinMsgBoxFit, ALongPathWrapsAndTheBoxStaysOnTheScreen) {
    struct Screen {
        int w, h, dpi;
    };
    const Screen screens[] = {{240, 320, 96}, {320, 240, 96}, {480, 640, 192}, {640, 480, 192}};
    const WString path =
        u"Error opening map '\\Storage Card\\Field Work\\Harbour Survey "
        u"2026\\Moorings_and_buoys_of_the_"
        u"east_basin_final_version.znm'\nThe file was not found.";
    for (const Screen& s : screens) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        win::ResetForTests();
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, s.dpi, s.dpi});
        win::SetScreenSize(s.w, s.h);
        WNDCLASS wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"BoxOwner";
        RegisterClass(wc);
        HWND owner = CreateWindowEx(0, u"BoxOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, s.w, s.h,
                                    nullptr, nullptr, nullptr, nullptr);
        win::input::DrainQueue();
        win::UseRealWindows(true);
        int checked = 0;
        g_whileOpen = [&] {
            HWND box = FindWindow(u"ZnMessageBox", nullptr);
            ASSERT_NE(box, nullptr);
            auto inside = [&](HWND h) {
                RECT r;
                GetWindowRect(h, &r);
                EXPECT_GE(r.left, 0);
                EXPECT_GE(r.top, 0);
                EXPECT_LE(r.right, s.w);
                EXPECT_LE(r.bottom, s.h);
                ++checked;
            };
            inside(box);
            for (HWND child = GetWindow(box, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                inside(child);
            win::input::Key(VK_RETURN);
        };
        SetTimer(owner, 78, 0, nullptr);
        EXPECT_EQ(MessageBox(owner, path.c_str(), u"Zarnip", MB_OK | MB_ICONERROR), IDOK);
        EXPECT_EQ(checked, 3) << "the box, its text and its button";
        DestroyWindow(owner);
    }
    win::ResetForTests();
}

}  // namespace
