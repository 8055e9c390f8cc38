// Pop-up menus as real windows on the null backend: the picture of a
// cascade with grey and checked items, and choosing by keys and by pen.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/window.h"
#include "win_golden.h"

namespace {

std::vector<UINT> g_inits;
std::function<void()> g_whileOpen;  // runs once the menu loop is idle

LRESULT OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_INITMENUPOPUP) g_inits.push_back(static_cast<UINT>(l));
    if (m == WM_TIMER && w == 77) {
        KillTimer(h, 77);
        if (g_whileOpen) {
            auto f = std::move(g_whileOpen);
            g_whileOpen = nullptr;
            f();
        }
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class WinMenuWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_inits.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"MenuOwner";
        RegisterClass(wc);
        owner_ = CreateWindowEx(0, u"MenuOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
        SetFocus(owner_);
        win::input::DrainQueue();
        win::UseRealWindows(true);
        menu_ = CreatePopupMenu();
        sub_ = CreatePopupMenu();
        AppendMenu(sub_, MF_STRING, 21, u"&North up");
        AppendMenu(sub_, MF_STRING | MF_CHECKED, 22, u"&Track up");
        AppendMenu(menu_, MF_STRING, 11, u"&Zoom in\tF5");
        AppendMenu(menu_, MF_STRING | MF_GRAYED, 12, u"&Pan");
        AppendMenu(menu_, MF_SEPARATOR, 0, nullptr);
        AppendMenu(menu_, MF_STRING | MF_CHECKED, 13, u"&GPS");
        AppendMenu(menu_, MF_POPUP, reinterpret_cast<uintptr_t>(sub_), u"&Orientation");
    }
    void TearDown() override {
        g_whileOpen = nullptr;
        win::ResetForTests();
    }
    UINT Track() {
        return static_cast<UINT>(
            TrackPopupMenu(menu_, TPM_RETURNCMD, 20, 30, 0, owner_, nullptr));
    }
    // Queues what happens once the menu shows and is idle.
    void WhileOpen(std::function<void()> f) {
        g_whileOpen = std::move(f);
        SetTimer(owner_, 77, 0, nullptr);
    }
    HWND owner_ = nullptr;
    HMENU menu_ = nullptr, sub_ = nullptr;
};

std::vector<HWND> MenuWindows() {
    std::vector<HWND> out;
    for (HWND h : GetTopLevelWindows())
        if (GetClassNameText(h) == u"#32768") out.push_back(h);
    return out;
}

TEST_F(WinMenuWindowTest, CascadeByKeysPicturedThenChosen) {
    // Down to "Orientation" (the grey item can be passed over), Right opens
    // it, then the picture, then Down and Enter choose "Track up".
    for (int i = 0; i < 4; ++i) win::input::Key(VK_DOWN);
    win::input::Key(VK_RIGHT);
    WhileOpen([] {
        std::vector<HWND> menus = MenuWindows();
        ASSERT_EQ(menus.size(), 2u);
        golden::Expect("menu_popup", menus[0]);
        golden::Expect("menu_submenu", menus[1]);
        win::input::Key(VK_DOWN);
        win::input::Key(VK_RETURN);
    });
    EXPECT_EQ(Track(), 22u);
    EXPECT_TRUE(MenuWindows().empty());
    EXPECT_EQ(GetCapture(), nullptr);
    // The owner heard of the top menu and of the cascade.
    EXPECT_EQ(g_inits.size(), 2u);
}

TEST_F(WinMenuWindowTest, GreyItemsCannotBeChosenAndEscapeCloses) {
    win::input::Key(VK_DOWN);
    win::input::Key(VK_DOWN);  // "Pan", grey
    win::input::Key(VK_RETURN);
    win::input::Char(u'p');  // its mnemonic does nothing either
    win::input::Key(VK_ESCAPE);
    EXPECT_EQ(Track(), 0u);
    // Escape in a cascade closes one level; Left does too.
    win::input::Char(u'o');
    win::input::Key(VK_ESCAPE);
    win::input::Char(u'g');
    EXPECT_EQ(Track(), 13u);
}

int RowHeight() {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    DeleteDC(dc);
    return tm.tmHeight + 4;
}

TEST_F(WinMenuWindowTest, PenDragIntoTheCascadeAndRelease) {
    WhileOpen([] {
        std::vector<HWND> menus = MenuWindows();
        ASSERT_EQ(menus.size(), 1u);
        RECT wr;
        GetWindowRect(menus[0], &wr);
        int row = RowHeight();
        int orientationTop = 2 + 3 * row + 8;  // three rows and a separator
        // Down on the first item, dragged down to "Orientation", which opens
        // its cascade beside it, across into the cascade, released on
        // "North up".
        win::input::PenDown(POINT{wr.left + 30, wr.top + 2 + row / 2});
        win::input::PenMove(POINT{wr.left + 30, wr.top + orientationTop + row / 2});
        POINT north{wr.right + 20, wr.top + orientationTop - 2 + 2 + row / 2};
        win::input::PenMove(north);
        win::input::PenUp(north);
    });
    EXPECT_EQ(Track(), 21u);
}

TEST_F(WinMenuWindowTest, GreyItemTappedByPenIsNotChosen) {
    WhileOpen([] {
        RECT wr;
        GetWindowRect(MenuWindows().at(0), &wr);
        int row = RowHeight();
        POINT pan{wr.left + 30, wr.top + 2 + row + row / 2};
        win::input::PenDown(pan);
        win::input::PenUp(pan);  // nothing: the menu stays open
        win::input::Key(VK_ESCAPE);
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_EQ(win::PopupMenuLog().back().chosen, 0u);
}

TEST_F(WinMenuWindowTest, ReleaseOutsideOrTapOutsideChoosesNothing) {
    WhileOpen([] {
        RECT wr;
        GetWindowRect(MenuWindows().at(0), &wr);
        win::input::PenDown(POINT{wr.left + 30, wr.top + 8});
        win::input::PenUp(POINT{wr.right + 50, wr.bottom + 50});
    });
    EXPECT_EQ(Track(), 0u);
    WhileOpen([] {
        win::input::PenDown(POINT{230, 310});
        win::input::PenUp(POINT{230, 310});
    });
    EXPECT_EQ(Track(), 0u);
    EXPECT_TRUE(MenuWindows().empty());
    // Without real windows and without a responder the menu is dismissed.
    win::UseRealWindows(false);
    EXPECT_EQ(Track(), 0u);
    EXPECT_TRUE(MenuWindows().empty());
}

}  // namespace
