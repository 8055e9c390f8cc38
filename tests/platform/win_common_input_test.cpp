// Pen input on the painted common controls gives the same notifications, in
// the same order, as the model's functions that act as the user.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/sys/thread.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "win_golden.h"

namespace {

struct Note {
    UINT msg;
    UINT code;
    int pos;
    bool operator==(const Note&) const = default;
};
std::vector<Note> g_notes;

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        if (hdr->code != NM_CUSTOMDRAW) g_notes.push_back({m, hdr->code, 0});
        return 0;
    }
    if (m == WM_HSCROLL || m == WM_VSCROLL) {
        g_notes.push_back({m, LOWORD(w), static_cast<int16_t>(HIWORD(w))});
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

class WinCommonInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_notes.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = u"CommonInputParent";
        RegisterClass(wc);
    }
    void TearDown() override {
        sys::SetClock(nullptr);
        win::ResetForTests();
    }
    HWND Make(const char16_t* cls, DWORD style, int w, int h,
              const std::function<void(HWND)>& setup) {
        HWND parent = CreateWindowEx(0, u"CommonInputParent", u"", WS_POPUP | WS_VISIBLE, 0, 0,
                                     200, 200, nullptr, nullptr, nullptr, nullptr);
        HWND c = CreateWindowEx(0, cls, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, parent,
                                reinterpret_cast<HMENU>(uintptr_t(3)), nullptr, nullptr);
        if (setup) setup(c);
        win::input::DrainQueue();
        g_notes.clear();
        return c;
    }
    // Runs the model's function on one control and the pen on another made
    // the same way; both give the same notifications.
    void Same(const char16_t* cls, DWORD style, int w, int h,
              const std::function<void(HWND)>& setup, const std::function<void(HWND)>& model,
              const std::function<void(HWND)>& pen) {
        HWND a = Make(cls, style, w, h, setup);
        model(a);
        win::input::DrainQueue();
        std::vector<Note> want = g_notes;
        DestroyWindow(GetParent(a));
        HWND b = Make(cls, style, w, h, setup);
        pen(b);
        win::input::DrainQueue();
        EXPECT_EQ(g_notes, want);
        EXPECT_FALSE(want.empty());
        EXPECT_EQ(GetCapture(), nullptr);
    }
};

void ThreeTabs(HWND h) {
    for (const char16_t* t : {u"General", u"Units", u"GPS"}) {
        TCITEM it;
        it.mask = TCIF_TEXT;
        it.pszText = const_cast<WChar*>(t);
        SendMessage(h, TCM_INSERTITEM, 99, reinterpret_cast<LPARAM>(&it));
    }
}

TEST_F(WinCommonInputTest, TabTap) {
    Same(
        WC_TABCONTROL, 0, 150, 40, ThreeTabs, [](HWND h) { win::TabUserSelect(h, 2); },
        [](HWND h) {
            RECT r;
            SendMessage(h, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r));
            win::input::TapAt(h, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        });
    EXPECT_EQ(g_notes, (std::vector<Note>{{WM_NOTIFY, TCN_SELCHANGING, 0},
                                          {WM_NOTIFY, TCN_SELCHANGE, 0}}));
}

TEST_F(WinCommonInputTest, TrackBarDrag) {
    auto range = [](HWND h) { SendMessage(h, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10)); };
    // 112 pixels wide: the channel runs from 6 to 106, ten pixels a step.
    Same(
        TRACKBAR_CLASS, 0, 112, 24, range,
        [](HWND h) { win::TrackBarUserDrag(h, {2, 5}); },
        [](HWND h) {
            win::input::PenDownAt(h, POINT{6, 12});
            win::input::PenMoveAt(h, POINT{26, 12});
            win::input::PenMoveAt(h, POINT{56, 12});
            win::input::PenUpAt(h, POINT{56, 12});
        });
    EXPECT_EQ(g_notes.back(), (Note{WM_HSCROLL, TB_ENDTRACK, 0}));
    EXPECT_EQ(g_notes[1], (Note{WM_HSCROLL, TB_THUMBTRACK, 5}));
}

TEST_F(WinCommonInputTest, UpDownTapAndHeldRepeat) {
    auto range = [](HWND h) { SendMessage(h, UDM_SETRANGE32, 0, 100); };
    Same(
        UPDOWN_CLASS, 0, 16, 24, range, [](HWND h) { win::UpDownUserStep(h, 1); },
        [](HWND h) { win::input::TapAt(h, POINT{8, 4}); });
    // Held on the lower arrow: a step at once, then on the timer until the
    // pen lifts.
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    HWND h = Make(UPDOWN_CLASS, 0, 16, 24, [](HWND u) {
        SendMessage(u, UDM_SETRANGE32, 0, 100);
        SendMessage(u, UDM_SETPOS32, 0, 50);
    });
    win::input::PenDownAt(h, POINT{8, 20});
    win::input::DrainQueue();
    clock.Advance(400);
    win::input::DrainQueue();
    clock.Advance(100);
    win::input::DrainQueue();
    win::input::PenUpAt(h, POINT{8, 20});
    win::input::DrainQueue();
    clock.Advance(1000);
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(h, UDM_GETPOS32, 0, 0), 47);
}

TEST_F(WinCommonInputTest, ListViewTap) {
    auto rows = [](HWND h) {
        LVCOLUMN c;
        c.mask = LVCF_WIDTH | LVCF_TEXT;
        c.cx = 80;
        c.pszText = const_cast<WChar*>(u"Name");
        SendMessage(h, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&c));
        for (int i = 0; i < 3; ++i) {
            LVITEM it;
            it.mask = LVIF_TEXT;
            it.iItem = i;
            it.pszText = const_cast<WChar*>(u"Row");
            SendMessage(h, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
        }
    };
    Same(
        WC_LISTVIEW, LVS_REPORT, 100, 80, rows, [](HWND h) { win::ListViewUserTap(h, 1); },
        [](HWND h) {
            RECT r;
            r.left = LVIR_BOUNDS;
            SendMessage(h, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
            win::input::TapAt(h, POINT{r.left + 10, (r.top + r.bottom) / 2});
        });
}

TEST_F(WinCommonInputTest, DraggingAHeaderDividerResizesTheColumn) {
    HWND lv = Make(WC_LISTVIEW, LVS_REPORT, 150, 80, [](HWND h) {
        LVCOLUMN c;
        c.mask = LVCF_WIDTH | LVCF_TEXT;
        c.cx = 60;
        c.pszText = const_cast<WChar*>(u"Name");
        SendMessage(h, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&c));
        SendMessage(h, LVM_INSERTCOLUMN, 1, reinterpret_cast<LPARAM>(&c));
    });
    auto header = reinterpret_cast<HWND>(SendMessage(lv, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    win::input::PenDownAt(header, POINT{59, 5});
    win::input::PenMoveAt(header, POINT{70, 5});
    win::input::PenMoveAt(header, POINT{89, 5});
    win::input::PenUpAt(header, POINT{89, 5});
    win::input::DrainQueue();
    EXPECT_EQ(SendMessage(lv, LVM_GETCOLUMNWIDTH, 0, 0), 90);
    EXPECT_EQ(SendMessage(lv, LVM_GETCOLUMNWIDTH, 1, 0), 60);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WinCommonInputTest, DateTimePickFromTheCalendar) {
    auto feb = [](HWND h) {
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 2;
        t.wDay = 1;
        SendMessage(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    };
    SYSTEMTIME want{};
    Same(
        DATETIMEPICK_CLASS, 0, 110, 20, feb,
        [&want](HWND h) {
            SendMessage(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&want));
            want.wDay = 14;
            win::DateTimeUserPick(h, want);
        },
        [](HWND h) {
            RECT r;
            GetClientRect(h, &r);
            win::input::TapAt(h, POINT{r.right - 4, 8});
            win::input::DrainQueue();
            HWND cal = FindWindow(MONTHCAL_CLASS, nullptr);
            ASSERT_NE(cal, nullptr);
            // 1 February 2024 is a Thursday: the 14th is a Wednesday in the
            // third week row.
            RECT c;
            GetClientRect(cal, &c);
            int cell = (c.right - 2) / 7, row = (c.bottom - 2) / 8;
            win::input::TapAt(cal, POINT{1 + 3 * cell + cell / 2, 1 + 2 * row + 2 * row + row / 2});
        });
    EXPECT_EQ(g_notes.front().code, static_cast<UINT>(NM_SETFOCUS));
    EXPECT_EQ(g_notes.back().code, DTN_CLOSEUP);
    EXPECT_EQ(FindWindow(MONTHCAL_CLASS, nullptr), nullptr);
}

TEST_F(WinCommonInputTest, DateTimeFieldsFromKeysAndPen) {
    HWND h = Make(DATETIMEPICK_CLASS, 0, 110, 20, [](HWND p) {
        SendMessage(p, DTM_SETFORMAT, 0, reinterpret_cast<LPARAM>(u"dd'/'MM'/'yyyy"));
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 1;
        t.wDay = 31;
        SendMessage(p, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
    });
    SetFocus(h);
    win::input::DrainQueue();
    g_notes.clear();
    auto shown = [h] { return GetWindowTextString(h); };
    struct Step {
        std::function<void()> act;
        const char16_t* want;
    };
    const Step steps[] = {
        {[] { win::input::Key(VK_RIGHT); }, u"31/01/2024"},      // the day chosen
        {[] { win::input::Key(VK_DOWN); }, u"30/01/2024"},       // one down
        {[] { win::input::Key(VK_RIGHT); }, u"30/01/2024"},      // the month chosen
        {[] { win::input::Key(VK_UP); }, u"29/02/2024"},         // the day kept in February
        {[] { win::input::Type(u"11"); }, u"29/11/2024"},        // typed; on to the year
        {[] { win::input::Type(u"2025"); }, u"29/11/2025"},
        {[] { win::input::Type(u"13"); }, u"29/11/2025"},        // no 13th month: ignored
        {[] { win::input::Key(VK_LEFT); }, u"29/11/2025"},
        {[] { win::input::Key(VK_LEFT); }, u"29/11/2025"},       // back at the day
        {[] { win::input::Type(u"5"); }, u"05/11/2025"},         // no day 50: at once
    };
    for (const Step& s : steps) {
        s.act();
        win::input::DrainQueue();
        EXPECT_EQ(shown(), s.want);
    }
    // One change notification for each change of value (the "1" of "11"
    // already makes January).
    int changes = 0;
    for (const Note& n : g_notes) changes += n.code == DTN_DATETIMECHANGE;
    EXPECT_EQ(changes, 6);
    // The month follows the day typed last; the pen chooses the year.
    golden::Expect("datetime_field_month", h);
    win::input::TapAt(h, POINT{70, 10});
    win::input::DrainQueue();
    win::input::Key(VK_DOWN);
    win::input::DrainQueue();
    EXPECT_EQ(shown(), u"05/11/2024");
}

}  // namespace
