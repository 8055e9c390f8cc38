// The edit control under real pen and key input (null backend): the caret,
// selection by pen and by Shift with the arrows, the clipboard messages, and
// characters outside the basic plane kept whole.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "platform/sys/thread.h"
#include "tests/platform/win_input_parent.h"

namespace {

class WinEditInputTest : public WinInputParentTest {
protected:
    HWND Edit(const char16_t* text, DWORD style = ES_AUTOHSCROLL, int w = 100, int h = 18) {
        HWND e = CreateWindowEx(0, u"EDIT", text, WS_CHILD | WS_VISIBLE | style, 10, 10, w, h,
                                parent_, reinterpret_cast<HMENU>(uintptr_t(7)), nullptr, nullptr);
        win::input::DrainQueue();
        g_notes.clear();
        return e;
    }
    static std::pair<DWORD, DWORD> Sel(HWND e) {
        DWORD a = 0, b = 0;
        SendMessage(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        return {a, b};
    }
    static std::pair<DWORD, DWORD> ComboSel(HWND c) {
        DWORD a = 0, b = 0;
        SendMessage(c, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        return {a, b};
    }
    // Client x where the caret stands before character n of the text: text
    // starts one pixel in, measured in the system font.
    static int XBefore(const WString& text, size_t n) {
        HDC dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        SIZE sz{};
        GetTextExtentPoint32(dc, text.data(), static_cast<int>(n), &sz);
        DeleteDC(dc);
        return 1 + sz.cx;
    }
};

TEST_F(WinEditInputTest, PenPlacesTheCaretAndDragSelects) {
    WString text = u"Field value";
    HWND e = Edit(text.c_str());
    win::input::TapAt(e, POINT{XBefore(text, 3) + 1, 8});
    win::input::DrainQueue();
    EXPECT_EQ(GetFocus(), e);
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{3}, DWORD{3}));
    POINT caret;
    ASSERT_TRUE(GetCaretPos(&caret));
    EXPECT_EQ(caret.x, XBefore(text, 3));
    EXPECT_TRUE(win::IsCaretDrawn());
    // A drag from character 1 to character 7 selects between them.
    win::input::PenDownAt(e, POINT{XBefore(text, 1), 8});
    win::input::PenMoveAt(e, POINT{XBefore(text, 4), 8});
    win::input::PenMoveAt(e, POINT{XBefore(text, 7), 8});
    win::input::PenUpAt(e, POINT{XBefore(text, 7), 8});
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{1}, DWORD{7}));
    EXPECT_EQ(GetCapture(), nullptr);
    // A double tap selects the word under the pen.
    win::input::TapAt(e, POINT{XBefore(text, 8), 8});
    win::input::TapAt(e, POINT{XBefore(text, 8), 8});
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{6}, DWORD{11}));
}

// Read right to left, Hebrew starts at the field's right edge: the caret
// before character n stands n characters' width left of it, and taps and
// drags find the characters there.
TEST_F(WinEditInputTest, RightToLeftCaretFollowsTheShownOrder) {
    WString text = u"\u05D0\u05D1\u05D2\u05D3";
    HWND e = CreateWindowEx(WS_EX_RTLREADING, u"EDIT", text.c_str(),
                            WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 100, 18, parent_,
                            reinterpret_cast<HMENU>(uintptr_t(7)), nullptr, nullptr);
    win::input::DrainQueue();
    auto ext = [&](size_t n) { return XBefore(text, n) - 1; };
    // Taps a second apart: never a double tap.
    struct FakeTime {
        sys::FakeClock clock{1000};
        FakeTime() { sys::SetClock(&clock); }
        ~FakeTime() { sys::SetClock(nullptr); }
    } time;
    sys::FakeClock& clock = time.clock;
    SetFocus(e);
    SendMessage(e, EM_SETSEL, 0, 0);
    POINT caret;
    ASSERT_TRUE(GetCaretPos(&caret));
    const int right = caret.x;  // before the first character: the text's right end
    EXPECT_GT(right, 100 - 8);
    for (size_t n : {size_t(2), size_t(1), size_t(4)}) {
        clock.Advance(1000);
        win::input::TapAt(e, POINT{right - ext(n) + 1, 8});
        win::input::DrainQueue();
        EXPECT_EQ(Sel(e), std::make_pair(DWORD(n), DWORD(n))) << n;
        ASSERT_TRUE(GetCaretPos(&caret));
        EXPECT_EQ(caret.x, right - ext(n)) << n;
    }
    clock.Advance(1000);
    win::input::PenDownAt(e, POINT{right, 8});
    win::input::PenMoveAt(e, POINT{right - ext(3), 8});
    win::input::PenUpAt(e, POINT{right - ext(3), 8});
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{0}, DWORD{3}));
}

TEST_F(WinEditInputTest, DraggingPastTheEndScrollsTheField) {
    WString text = u"A long value that cannot fit in the field";
    HWND e = Edit(text.c_str(), ES_AUTOHSCROLL, 60);
    win::input::PenDownAt(e, POINT{2, 8});
    for (int i = 0; i < 60; ++i) win::input::PenMoveAt(e, POINT{70, 8});
    win::input::PenUpAt(e, POINT{70, 8});
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{0}, DWORD(text.size())));
    POINT caret;
    ASSERT_TRUE(GetCaretPos(&caret));
    EXPECT_LE(caret.x, 60);  // the caret stays in view
}

TEST_F(WinEditInputTest, ShiftWithArrowsHomeAndEndSelects) {
    HWND e = Edit(u"abcdef");
    SetFocus(e);
    win::input::Key(VK_RIGHT);
    win::input::KeyDown(VK_SHIFT);
    win::input::Key(VK_RIGHT);
    win::input::Key(VK_RIGHT);
    win::input::KeyUp(VK_SHIFT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{1}, DWORD{3}));
    win::input::Key(VK_LEFT);  // collapses to the left end
    win::input::KeyDown(VK_SHIFT);
    win::input::Key(VK_END);
    win::input::KeyUp(VK_SHIFT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{1}, DWORD{6}));
    win::input::KeyDown(VK_SHIFT);
    win::input::Key(VK_HOME);
    win::input::KeyUp(VK_SHIFT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{0}, DWORD{1}));
}

TEST_F(WinEditInputTest, ClipboardRoundTripWithControlKeys) {
    HWND e = Edit(u"copy me");
    SetFocus(e);
    SendMessage(e, EM_SETSEL, 0, 4);
    win::input::KeyDown(VK_CONTROL);
    win::input::Key('C');
    win::input::KeyUp(VK_CONTROL);
    win::input::Key(VK_END);
    win::input::KeyDown(VK_CONTROL);
    win::input::Key('V');
    win::input::KeyUp(VK_CONTROL);
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(e), u"copy mecopy");
    SendMessage(e, EM_SETSEL, 0, 5);
    win::input::KeyDown(VK_CONTROL);
    win::input::Key('X');
    win::input::KeyUp(VK_CONTROL);
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(e), u"mecopy");
    EXPECT_EQ(win::ClipboardText(), u"copy ");
    // No stray characters from the control keys.
    EXPECT_EQ(std::count(g_notes.begin(), g_notes.end(), EN_CHANGE), 2);
}

TEST_F(WinEditInputTest, CharacterOutsideTheBasicPlaneStaysWhole) {
    HWND e = Edit(u"");
    SetFocus(e);
    win::input::Type(u"a\U0001F600b");
    win::input::DrainQueue();
    ASSERT_EQ(GetWindowTextString(e), u"a\U0001F600b");
    win::input::Key(VK_LEFT);
    win::input::Key(VK_LEFT);  // over the pair in one step
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{1}, DWORD{1}));
    win::input::KeyDown(VK_SHIFT);
    win::input::Key(VK_RIGHT);
    win::input::KeyUp(VK_SHIFT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{1}, DWORD{3}));
    win::input::Key(VK_RIGHT);
    win::input::Char(u'\b');  // backspace takes the pair
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(e), u"ab");
    win::input::Type(u"\U0001F600");
    win::input::Key(VK_LEFT);
    win::input::Key(VK_DELETE);
    win::input::DrainQueue();
    EXPECT_EQ(GetWindowTextString(e), u"ab");
    // A selection set between the halves of a pair is still drawn and
    // deleted whole by the next key.
    SendMessage(e, EM_SETSEL, 2, 2);
    EXPECT_EQ(GetWindowTextString(e).size(), 2u);
}

TEST_F(WinEditInputTest, MultiLineUpDownAndScrolling) {
    HWND e = Edit(u"one\r\ntwo\r\nthree\r\nfour\r\nfive", ES_MULTILINE | ES_AUTOVSCROLL, 100, 30);
    SetFocus(e);
    SendMessage(e, EM_SETSEL, 1, 1);
    win::input::Key(VK_DOWN);
    win::input::Key(VK_DOWN);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e).second, 11u);  // "th|ree"... at the same x in line three
    EXPECT_GT(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    win::input::Key(VK_UP);
    win::input::Key(VK_UP);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e).second, 1u);
    EXPECT_EQ(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessage(e, EM_LINESCROLL, 0, 3);
    EXPECT_EQ(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 3);
    SendMessage(e, EM_SCROLLCARET, 0, 0);
    EXPECT_EQ(SendMessage(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

// The arrows move the caret as the text is shown, where runs read right to
// left: each Left lands further left on the screen, each Right further
// right, and no caret place of the line is skipped. Hebrew (H) with digits
// and Latin; positions are worked out from the shown order by hand.
TEST_F(WinEditInputTest, ArrowsMoveTheCaretInTheShownOrder) {
    const WString hebrew3 = u"\u05D0\u05D1\u05D2", shalom = u"\u05E9\u05DC\u05D5\u05DD";
    struct Case {
        const char* name;
        DWORD ex, style;
        WString text;
        size_t from;
        UINT key;
        std::vector<size_t> steps;  // the caret after each press, the last one held
        bool combo = false;         // the editable field of a drop-down combo box
    };
    const Case cases[] = {
        // Shown "123 HHH": the digits stay left to right at the left end.
        {"rtl digits left", WS_EX_RTLREADING, 0, hebrew3 + u" 123", 0, VK_LEFT,
         {1, 2, 3, 7, 6, 5, 4, 4}},
        {"rtl digits right", WS_EX_RTLREADING, 0, hebrew3 + u" 123", 4, VK_RIGHT,
         {5, 6, 7, 3, 2, 1, 0, 0}},
        {"rtl latin", WS_EX_RTLREADING, 0, shalom + u" abc", 0, VK_LEFT,
         {1, 2, 3, 4, 8, 7, 6, 5, 5}},
        // Arabic joins its letters; digits after it stay left to right. The
        // lam-alef ligature is one shape, passed in one step.
        {"arabic digits", WS_EX_RTLREADING, 0, u"\u0633\u0641\u0631 42", 0, VK_LEFT,
         {1, 2, 3, 6, 5, 4, 4}},
        {"arabic ligature", WS_EX_RTLREADING, 0, u"\u0633\u0644\u0627\u0645", 0, VK_LEFT,
         {1, 3, 4, 4}},
        // Right-aligned, read left to right: shown "12HHH".
        {"right aligned", 0, ES_RIGHT, hebrew3 + u"12", 0, VK_LEFT, {1, 2, 5, 4, 3, 3}},
        {"mirrored", WS_EX_LAYOUTRTL | WS_EX_RTLREADING, 0, hebrew3 + u" 123", 0, VK_LEFT,
         {1, 2, 3, 7, 6, 5, 4, 4}},
        // Left to right with a Hebrew word: shown "ab HH".
        {"ltr hebrew", 0, 0, u"ab \u05D0\u05D1", 0, VK_RIGHT, {1, 2, 5, 4, 3, 3}},
        // Two lines read right to left: Left goes on from the first line's
        // left end to the start of the second.
        {"rtl lines", WS_EX_RTLREADING, ES_MULTILINE, u"\u05D0\u05D1\r\n\u05D2\u05D3", 0,
         VK_LEFT, {1, 2, 4, 5, 6, 6}},
        {"rtl lines back", WS_EX_RTLREADING, ES_MULTILINE, u"\u05D0\u05D1\r\n\u05D2\u05D3", 6,
         VK_RIGHT, {5, 4, 2, 1, 0, 0}},
        // A combo box's field moves its caret as the edit does.
        {"combo rtl digits", WS_EX_RTLREADING, 0, hebrew3 + u" 123", 0, VK_LEFT,
         {1, 2, 3, 7, 6, 5, 4, 4}, true},
        {"combo rtl latin", WS_EX_RTLREADING, 0, shalom + u" abc", 5, VK_RIGHT,
         {6, 7, 8, 4, 3, 2, 1, 0, 0}, true},
        {"combo ltr hebrew", 0, 0, u"ab \u05D0\u05D1", 0, VK_RIGHT, {1, 2, 5, 4, 3, 3}, true},
        {"combo mirrored", WS_EX_LAYOUTRTL, 0, hebrew3 + u" 123", 0, VK_LEFT,
         {1, 2, 3, 7, 6, 5, 4, 4}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND e = c.combo ? CreateWindowEx(c.ex, u"COMBOBOX", u"",
                                          WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                          10, 10, 120, 100, parent_,
                                          reinterpret_cast<HMENU>(uintptr_t(7)), nullptr, nullptr)
                         : CreateWindowEx(c.ex, u"EDIT", c.text.c_str(),
                                          WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | c.style, 10,
                                          10, 120, c.style & ES_MULTILINE ? 40 : 18, parent_,
                                          reinterpret_cast<HMENU>(uintptr_t(7)), nullptr, nullptr);
        if (c.combo) SetWindowText(e, c.text.c_str());
        win::input::DrainQueue();
        SetFocus(e);
        if (c.combo) SendMessage(e, CB_SETEDITSEL, 0, MAKELPARAM(c.from, c.from));
        else SendMessage(e, EM_SETSEL, c.from, c.from);
        win::input::DrainQueue();
        auto screenX = [&] {
            POINT p;
            EXPECT_TRUE(GetCaretPos(&p));
            ClientToScreen(e, &p);
            return p.x;
        };
        int x = screenX();
        for (size_t i = 0; i < c.steps.size(); ++i) {
            size_t before = (c.combo ? ComboSel(e) : Sel(e)).second;
            win::input::Key(c.key);
            win::input::DrainQueue();
            ASSERT_EQ(c.combo ? ComboSel(e) : Sel(e),
                      std::make_pair(DWORD(c.steps[i]), DWORD(c.steps[i])))
                << i;
            int now = screenX();
            bool sameLine = !(c.style & ES_MULTILINE) ||
                            SendMessage(e, EM_LINEFROMCHAR, before, 0) ==
                                SendMessage(e, EM_LINEFROMCHAR, c.steps[i], 0);
            if (c.steps[i] != before && sameLine) {
                if (c.key == VK_LEFT) EXPECT_LT(now, x) << i;
                else EXPECT_GT(now, x) << i;
            }
            x = now;
        }
        DestroyWindow(e);
    }
}

// Without Shift an arrow ends a selection at its end shown on the arrow's
// side; with Shift the selection grows in the shown direction.
TEST_F(WinEditInputTest, ArrowsEndAndGrowSelectionsOnTheShownSide) {
    HWND e = CreateWindowEx(WS_EX_RTLREADING, u"EDIT", u"\u05D0\u05D1\u05D2 123",
                            WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 120, 18, parent_,
                            reinterpret_cast<HMENU>(uintptr_t(7)), nullptr, nullptr);
    win::input::DrainQueue();
    SetFocus(e);
    SendMessage(e, EM_SETSEL, 0, 2);
    win::input::Key(VK_LEFT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{2}, DWORD{2}));
    SendMessage(e, EM_SETSEL, 0, 2);
    win::input::Key(VK_RIGHT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{0}, DWORD{0}));
    // From the right end, Shift+Left three times and on past the space into
    // the digits' right end.
    win::input::KeyDown(VK_SHIFT);
    for (int i = 0; i < 4; ++i) win::input::Key(VK_LEFT);
    win::input::KeyUp(VK_SHIFT);
    win::input::DrainQueue();
    EXPECT_EQ(Sel(e), std::make_pair(DWORD{0}, DWORD{7}));
}

}  // namespace
