// Progress bar, track bar, up-down, date-time picker, tooltips and status bar
// on the null backend: their messages, and what a user's actions send to the
// owner, in order.
#include <gtest/gtest.h>

#include "platform/sys/thread.h"
#include "win_ctl_harness.h"

namespace {

using ctltest::CtlTest;
using Lines = std::vector<std::string>;
using SmallControlsTest = CtlTest;

TEST_F(SmallControlsTest, ProgressBarRangeStepAndPosition) {
    HWND bar = Child(PROGRESS_CLASS, 0, 70, RECT{0, 0, 100, 10});
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 0);
    SendMessage(bar, PBM_SETRANGE32, 0, 100000);  // beyond 16 bits
    EXPECT_EQ(SendMessage(bar, PBM_GETRANGE, FALSE, 0), 100000);
    EXPECT_EQ(SendMessage(bar, PBM_SETSTEP, 30000, 0), 10);
    EXPECT_EQ(SendMessage(bar, PBM_STEPIT, 0, 0), 0);
    EXPECT_EQ(SendMessage(bar, PBM_STEPIT, 0, 0), 30000);
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 60000);
    SendMessage(bar, PBM_STEPIT, 0, 0);
    SendMessage(bar, PBM_STEPIT, 0, 0);  // past the end: round again
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 20000);
    EXPECT_EQ(SendMessage(bar, PBM_SETPOS, 500000, 0), 20000);
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 100000);  // clamped
    PBRANGE r;
    SendMessage(bar, PBM_SETRANGE, 0, MAKELPARAM(10, 20));
    SendMessage(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.iLow, 10);
    EXPECT_EQ(r.iHigh, 20);
    EXPECT_EQ(SendMessage(bar, PBM_GETPOS, 0, 0), 20);
}

TEST_F(SmallControlsTest, TrackBarTicksBuddiesAndUserMoves) {
    HWND left = Child(u"STATIC", 0, 71, RECT{0, 0, 30, 12}, u"0");
    HWND bar = Child(TRACKBAR_CLASS, TBS_AUTOTICKS, 72, RECT{50, 40, 150, 70});
    SendMessage(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    EXPECT_EQ(SendMessage(bar, TBM_GETNUMTICS, 0, 0), 11);
    SendMessage(bar, TBM_SETTICFREQ, 5, 0);
    EXPECT_EQ(SendMessage(bar, TBM_GETNUMTICS, 0, 0), 3);
    SendMessage(bar, TBM_SETPOS, TRUE, 42);
    EXPECT_EQ(SendMessage(bar, TBM_GETPOS, 0, 0), 10);  // clamped into the range
    SendMessage(bar, TBM_SETPOS, TRUE, 4);

    // A left buddy sits just before the bar, centred on it.
    SendMessage(bar, TBM_SETBUDDY, TRUE, reinterpret_cast<LPARAM>(left));
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessage(bar, TBM_GETBUDDY, TRUE, 0)), left);
    RECT b;
    GetWindowRect(left, &b);
    EXPECT_EQ(b.right, 50);
    EXPECT_EQ(b.top, 49);

    win::TrackBarUserDrag(bar, {5, 6, 12});
    EXPECT_EQ(Take(), Lines({"WM_HSCROLL 5 5", "WM_HSCROLL 5 6", "WM_HSCROLL 5 10",
                             "WM_HSCROLL 4 10", "WM_HSCROLL 8 0"}));
    SendMessage(bar, TBM_SETPAGESIZE, 0, 3);
    win::TrackBarUserAction(bar, TB_PAGEUP);
    EXPECT_EQ(SendMessage(bar, TBM_GETPOS, 0, 0), 7);
    EXPECT_EQ(Take(), Lines({"WM_HSCROLL 2 0", "WM_HSCROLL 8 0"}));

    HWND vert = Child(TRACKBAR_CLASS, TBS_VERT, 73, RECT{0, 100, 20, 200});
    SendMessage(vert, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(SendMessage(vert, TBM_GETPOS, 0, 0), 1);
    EXPECT_EQ(Take(), Lines({"WM_VSCROLL 1 0", "WM_VSCROLL 8 0"}));
}

TEST_F(SmallControlsTest, UpDownWritesItsBuddyAndAsksBeforeEachStep) {
    HWND edit = Child(u"EDIT", 0, 74, RECT{10, 10, 110, 30});
    HWND spin = Child(UPDOWN_CLASS, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 75,
                      RECT{0, 0, 16, 20});
    SendMessage(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    RECT er, sr;
    GetWindowRect(edit, &er);
    GetWindowRect(spin, &sr);
    EXPECT_EQ(er.right - er.left, 84);  // the buddy gave up the arrows' room
    EXPECT_EQ(sr.left, er.right);
    EXPECT_EQ(sr.bottom - sr.top, 20);

    SendMessage(spin, UDM_SETRANGE32, static_cast<WPARAM>(-5), 2000000);
    int lo = 0, hi = 0;
    SendMessage(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    EXPECT_EQ(lo, -5);
    EXPECT_EQ(hi, 2000000);
    SendMessage(spin, UDM_SETPOS32, 0, 1234567);
    EXPECT_EQ(GetWindowTextString(edit), u"1,234,567");
    SendMessage(spin, UDM_SETPOS32, 0, -3);
    EXPECT_EQ(GetWindowTextString(edit), u"-3");

    // The user types into the buddy, then taps the up arrow.
    SetWindowText(edit, u"1,999,999");
    Take();
    win::UpDownUserStep(spin, +1);
    EXPECT_EQ(GetWindowTextString(edit), u"2,000,000");
    // The position travels in 16 bits of the scroll message.
    EXPECT_EQ(Take(), Lines({"UDN_DELTAPOS 75", "WM_COMMAND 74 1024", "WM_COMMAND 74 768",
                             "WM_VSCROLL 4 -31616", "WM_VSCROLL 8 -31616"}));
    win::UpDownUserStep(spin, +1);  // at the top: stays
    EXPECT_EQ(SendMessage(spin, UDM_GETPOS32, 0, 0), 2000000);

    // The owner can refuse a step or change its size.
    int delta = 0;
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT* r) {
        if (nm->code != UDN_DELTAPOS) return false;
        auto* ud = reinterpret_cast<NMUPDOWN*>(nm);
        if (delta) ud->iDelta = delta;
        *r = delta == 0;
        return true;
    };
    win::UpDownUserStep(spin, -1);
    EXPECT_EQ(SendMessage(spin, UDM_GETPOS32, 0, 0), 2000000);
    delta = -10;
    win::UpDownUserStep(spin, -1);
    EXPECT_EQ(SendMessage(spin, UDM_GETPOS32, 0, 0), 1999990);
    ctltest::Answer() = nullptr;

    // Text that is no number is reported.
    SetWindowText(edit, u"12a");
    BOOL error = FALSE;
    SendMessage(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
    EXPECT_TRUE(error);

    // Without separators, with wrapping, horizontally.
    HWND edit2 = Child(u"EDIT", 0, 76, RECT{10, 40, 110, 60});
    HWND spin2 =
        Child(UPDOWN_CLASS, UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_WRAP | UDS_HORZ | UDS_ALIGNLEFT,
              77, RECT{0, 0, 16, 20});
    SendMessage(spin2, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit2), 0);
    GetWindowRect(edit2, &er);
    GetWindowRect(spin2, &sr);
    EXPECT_EQ(sr.right, er.left);
    SendMessage(spin2, UDM_SETRANGE32, 0, 9999);
    SendMessage(spin2, UDM_SETPOS32, 0, 9999);
    EXPECT_EQ(GetWindowTextString(edit2), u"9999");
    Take();
    win::UpDownUserStep(spin2, +1);
    EXPECT_EQ(GetWindowTextString(edit2), u"0");
    Lines heard = Take();
    EXPECT_EQ(heard.back(), "WM_HSCROLL 8 0");
}

SYSTEMTIME Date(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<uint16_t>(y);
    st.wMonth = static_cast<uint16_t>(m);
    st.wDay = static_cast<uint16_t>(d);
    st.wHour = static_cast<uint16_t>(h);
    st.wMinute = static_cast<uint16_t>(mi);
    st.wSecond = static_cast<uint16_t>(s);
    return st;
}

TEST_F(SmallControlsTest, PictureFormatsOfThePicker) {
    struct Case {
        const WChar* picture;
        SYSTEMTIME when;
        const WChar* want;
    };
    const Case cases[] = {
        {u"dd'/'MM'/'yyyy", Date(2024, 3, 5), u"05/03/2024"},
        {u"d/M/yy", Date(2009, 11, 7), u"7/11/09"},
        {u"hh:mm tt", Date(2024, 3, 5, 14, 7), u"02:07 PM"},
        {u"h:mm t", Date(2024, 3, 5, 0, 30), u"12:30 A"},
        {u"HH:mm:ss", Date(2024, 3, 5, 9, 8, 7), u"09:08:07"},
        {u"dddd, MMMM d", Date(2024, 2, 29), u"Thursday, February 29"},
        {u"ddd MMM", Date(2000, 1, 1), u"Sat Jan"},
        {u"h 'o''clock'", Date(2024, 1, 1, 17), u"5 o'clock"},
        {u"''yy", Date(1999, 1, 1), u"'99"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(win::FormatPickerTime(c.picture, c.when), c.want) << text::ToUtf8(c.picture);
}

TEST_F(SmallControlsTest, DateTimePickerValidNoneRangeAndUserChanges) {
    HWND dtp = Child(DATETIMEPICK_CLASS, DTS_SHOWNONE, 78, RECT{0, 0, 120, 20});
    SYSTEMTIME now{};
    EXPECT_EQ(SendMessage(dtp, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&now)),
              static_cast<LRESULT>(GDT_VALID));
    EXPECT_GE(now.wYear, 2020);  // starts at the current local time

    SendMessage(dtp, DTM_SETFORMAT, 0, reinterpret_cast<LPARAM>(u"dd'/'MM'/'yyyy"));
    SYSTEMTIME d = Date(2024, 3, 5, 10, 0);
    EXPECT_TRUE(SendMessage(dtp, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&d)));
    EXPECT_EQ(GetWindowTextString(dtp), u"05/03/2024");
    SYSTEMTIME back{};
    SendMessage(dtp, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(back.wDay, 5);
    EXPECT_EQ(back.wDayOfWeek, 2);  // a Tuesday

    // Impossible dates and dates outside the range are refused.
    SYSTEMTIME bad = Date(2023, 2, 29);
    EXPECT_FALSE(SendMessage(dtp, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&bad)));
    bad = Date(1500, 1, 1);
    EXPECT_FALSE(SendMessage(dtp, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&bad)));
    SYSTEMTIME range[2] = {Date(2000, 1, 1), Date(2030, 12, 31)};
    EXPECT_TRUE(
        SendMessage(dtp, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range)));
    bad = Date(2031, 1, 1);
    EXPECT_FALSE(SendMessage(dtp, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&bad)));
    EXPECT_EQ(GetWindowTextString(dtp), u"05/03/2024");

    // The no-date state.
    EXPECT_TRUE(SendMessage(dtp, DTM_SETSYSTEMTIME, GDT_NONE, 0));
    EXPECT_EQ(SendMessage(dtp, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&back)),
              static_cast<LRESULT>(GDT_NONE));
    EXPECT_EQ(GetWindowTextString(dtp), u"");
    HWND plain = Child(DATETIMEPICK_CLASS, DTS_TIMEFORMAT, 79);
    EXPECT_FALSE(SendMessage(plain, DTM_SETSYSTEMTIME, GDT_NONE, 0));
    SendMessage(plain, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&d));
    EXPECT_EQ(win::DateTimePickerText(plain), u"10:00:00 AM");

    // The user ticks the box, then picks a date in the drop-down.
    Take();
    NMDATETIMECHANGE seen;
    ctltest::Answer() = [&](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code == DTN_DATETIMECHANGE) seen = *reinterpret_cast<NMDATETIMECHANGE*>(nm);
        return false;
    };
    win::DateTimeUserCheck(dtp, true);
    EXPECT_EQ(seen.dwFlags, static_cast<DWORD>(GDT_VALID));
    win::DateTimeUserPick(dtp, Date(2025, 12, 24));
    EXPECT_EQ(seen.st.wYear, 2025);
    EXPECT_EQ(GetWindowTextString(dtp), u"24/12/2025");
    EXPECT_EQ(Take(), Lines({"DTN_DATETIMECHANGE 78", "NM_SETFOCUS 78", "DTN_DROPDOWN 78",
                             "DTN_DATETIMECHANGE 78", "DTN_CLOSEUP 78"}));
    win::DateTimeUserCheck(dtp, false);
    EXPECT_EQ(seen.dwFlags, static_cast<DWORD>(GDT_NONE));
}

TEST_F(SmallControlsTest, TooltipsShowFixedAndRequestedTexts) {
    HWND button = Child(u"BUTTON", 0, 80, RECT{100, 100, 150, 120}, u"Go");
    HWND tip = CreateWindowEx(0, TOOLTIPS_CLASS, u"", WS_POPUP, 0, 0, 0, 0, host_, nullptr, nullptr,
                              nullptr);
    TOOLINFO area;
    area.hwnd = host_;
    area.uId = 1;
    area.rect = RECT{0, 0, 50, 50};
    area.lpszText = const_cast<WChar*>(u"Corner");
    EXPECT_TRUE(SendMessage(tip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&area)));
    TOOLINFO whole;
    whole.uFlags = TTF_IDISHWND;
    whole.hwnd = host_;
    whole.uId = reinterpret_cast<uintptr_t>(button);
    whole.lpszText = LPSTR_TEXTCALLBACK;
    SendMessage(tip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&whole));
    EXPECT_EQ(SendMessage(tip, TTM_GETTOOLCOUNT, 0, 0), 2);

    EXPECT_EQ(win::ToolTipHover(tip, host_, POINT{10, 10}), u"Corner");
    EXPECT_EQ(win::ToolTipShownText(tip), u"Corner");
    EXPECT_EQ(win::ToolTipHover(tip, host_, POINT{60, 60}), u"");
    ctltest::Answer() = [](HWND, NMHDR* nm, LRESULT*) {
        if (nm->code != TTN_GETDISPINFO) return false;
        auto* di = reinterpret_cast<NMTTDISPINFO*>(nm);
        std::u16string t = u"Start the track";
        std::copy(t.begin(), t.end(), di->szText);
        return true;
    };
    Take();
    EXPECT_EQ(win::ToolTipHover(tip, button, POINT{1, 1}), u"Start the track");
    EXPECT_EQ(Take(),
              Lines({"TTN_GETDISPINFO " + std::to_string(reinterpret_cast<uintptr_t>(button)),
                     "TTN_SHOW " + std::to_string(reinterpret_cast<uintptr_t>(button))}));
    area.lpszText = const_cast<WChar*>(u"Other");
    SendMessage(tip, TTM_UPDATETIPTEXT, 0, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(win::ToolTipHover(tip, host_, POINT{10, 10}), u"Other");
    SendMessage(tip, TTM_ACTIVATE, FALSE, 0);
    EXPECT_EQ(win::ToolTipHover(tip, host_, POINT{10, 10}), u"");
}

// Tools added with TTF_SUBCLASS need no relaying: the tip watches the pen
// through the tool's window, shows its text while the pen is held there and
// hides when it lifts or moves away; the window still gets every message.
TEST_F(SmallControlsTest, SubclassingTooltipsShowWhileThePenIsHeldOnTheTool) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    HWND go = Child(u"BUTTON", 0, 80, RECT{100, 100, 150, 120}, u"Go");
    HWND stop = Child(u"BUTTON", 0, 81, RECT{100, 140, 150, 160}, u"Stop");
    const intptr_t goProc = GetWindowLongPtr(go, GWLP_WNDPROC);
    const intptr_t hostProc = GetWindowLongPtr(host_, GWLP_WNDPROC);
    HWND tip = CreateWindowEx(0, TOOLTIPS_CLASS, u"", WS_POPUP, 0, 0, 0, 0, host_, nullptr, nullptr,
                              nullptr);
    TOOLINFO whole;
    whole.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    whole.hwnd = host_;
    whole.uId = reinterpret_cast<uintptr_t>(go);
    whole.lpszText = const_cast<WChar*>(u"Start the track");
    TOOLINFO corner;
    corner.uFlags = TTF_SUBCLASS;
    corner.hwnd = host_;
    corner.uId = 1;
    corner.rect = RECT{0, 0, 50, 50};
    corner.lpszText = const_cast<WChar*>(u"Corner");
    TOOLINFO relayed;  // no TTF_SUBCLASS: nobody tells the tip about this one
    relayed.uFlags = TTF_IDISHWND;
    relayed.hwnd = host_;
    relayed.uId = reinterpret_cast<uintptr_t>(stop);
    relayed.lpszText = const_cast<WChar*>(u"Stop the track");
    for (TOOLINFO* t : {&whole, &corner, &relayed})
        ASSERT_TRUE(SendMessage(tip, TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(t)));
    EXPECT_NE(GetWindowLongPtr(go, GWLP_WNDPROC), goProc);

    struct Case {
        HWND window;
        POINT at;
        std::u16string shown;
        Lines heard;  // what the host heard once the pen lifted
    };
    const std::string goId = std::to_string(reinterpret_cast<uintptr_t>(go));
    const Case cases[] = {
        {go, POINT{5, 5}, u"Start the track", Lines{"TTN_SHOW " + goId, "WM_COMMAND 80 0"}},
        {host_, POINT{10, 10}, u"Corner", Lines{"TTN_SHOW 1"}},
        {host_, POINT{60, 60}, u"", Lines{}},
        {stop, POINT{5, 5}, u"", Lines{"WM_COMMAND 81 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.shown.begin(), c.shown.end()));
        Take();
        win::input::PenDownAt(c.window, c.at);
        win::input::DrainQueue();
        clock.Advance(499);
        win::input::DrainQueue();
        EXPECT_EQ(win::ToolTipShownText(tip), u"");
        clock.Advance(1);
        win::input::DrainQueue();
        EXPECT_EQ(win::ToolTipShownText(tip), c.shown);
        EXPECT_EQ(IsWindowVisible(tip) != 0, !c.shown.empty());
        win::input::PenUpAt(c.window, c.at);
        win::input::DrainQueue();
        EXPECT_FALSE(IsWindowVisible(tip));
        EXPECT_EQ(win::ToolTipShownText(tip), u"");
        EXPECT_EQ(Take(), c.heard);
    }

    // Moved away before the time: no tip; after it: the tip goes.
    win::input::PenDownAt(go, POINT{5, 5});
    win::input::PenMoveAt(go, POINT{30, 5});
    win::input::DrainQueue();
    clock.Advance(1000);
    win::input::DrainQueue();
    EXPECT_EQ(win::ToolTipShownText(tip), u"");
    win::input::PenUpAt(go, POINT{30, 5});
    win::input::PenDownAt(go, POINT{5, 5});
    win::input::DrainQueue();
    clock.Advance(500);
    win::input::DrainQueue();
    EXPECT_TRUE(IsWindowVisible(tip));
    win::input::PenMoveAt(go, POINT{30, 5});
    win::input::DrainQueue();
    EXPECT_FALSE(IsWindowVisible(tip));
    win::input::PenUpAt(go, POINT{30, 5});
    win::input::DrainQueue();

    // The windows get their own procedures back with the last tool that
    // watched them, or with the tip.
    SendMessage(tip, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&whole));
    EXPECT_EQ(GetWindowLongPtr(go, GWLP_WNDPROC), goProc);
    EXPECT_NE(GetWindowLongPtr(host_, GWLP_WNDPROC), hostProc);
    DestroyWindow(tip);
    EXPECT_EQ(GetWindowLongPtr(host_, GWLP_WNDPROC), hostProc);
    sys::SetClock(nullptr);
}

TEST_F(SmallControlsTest, StatusBarPanesAtTheBottomOfItsParent) {
    HWND sb = CreateStatusWindow(WS_CHILD | WS_VISIBLE, u"Ready", host_, 59393);
    ASSERT_NE(sb, nullptr);
    RECT r;
    GetWindowRect(sb, &r);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(r.right - r.left, 240);
    WChar buf[64] = {};
    EXPECT_EQ(LOWORD(SendMessage(sb, SB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf))), 5);
    EXPECT_EQ(std::u16string(buf), u"Ready");

    int parts[3] = {80, 160, -1};
    EXPECT_TRUE(SendMessage(sb, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts)));
    EXPECT_EQ(SendMessage(sb, SB_GETPARTS, 0, 0), 3);
    EXPECT_TRUE(
        SendMessage(sb, SB_SETTEXT, 1 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(u"12.5 m")));
    LRESULT got = SendMessage(sb, SB_GETTEXT, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(buf), u"12.5 m");
    EXPECT_EQ(HIWORD(static_cast<uintptr_t>(got)), SBT_NOBORDERS);
    EXPECT_FALSE(SendMessage(sb, SB_SETTEXT, 3, reinterpret_cast<LPARAM>(u"x")));
    SendMessage(sb, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 160);
    EXPECT_EQ(r.right, 240);

    // The parent grows and tells the bar; the bar follows the bottom edge.
    MoveWindow(host_, 0, 0, 240, 200, false);
    SendMessage(sb, WM_SIZE, 0, 0);
    GetWindowRect(sb, &r);
    EXPECT_EQ(r.bottom, 200);

    SendMessage(sb, SB_SIMPLE, TRUE, 0);
    SendMessage(sb, SB_SETTEXT, SB_SIMPLEID, reinterpret_cast<LPARAM>(u"Busy"));
    SendMessage(sb, SB_GETTEXT, SB_SIMPLEID, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(buf), u"Busy");
    SendMessage(sb, SB_SIMPLE, FALSE, 0);
    SendMessage(sb, SB_GETTEXT, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(buf), u"12.5 m");  // the panes kept their texts
}

}  // namespace
