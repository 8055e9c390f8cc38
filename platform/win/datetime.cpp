// The date-time picker (SysDateTimePick32): a date and time with a no-date
// state (DTS_SHOWNONE), a range, and a display format in the platform's
// picture syntax; a user's choices reach the parent as DTN_* notifications.
#include <ctime>
#include <string_view>
#include <vector>

#include "platform/win/command.h"
#include "platform/win/common_impl.h"
#include "platform/win/look.h"

using namespace win::detail;

namespace {

const char16_t* const kDays[] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                 u"Thursday", u"Friday", u"Saturday"};
const char16_t* const kMonths[] = {u"January",   u"February", u"March",    u"April",
                                   u"May",       u"June",     u"July",     u"August",
                                   u"September", u"October",  u"November", u"December"};

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}
int DayOfWeek(int y, int m, int d) {
    // Sakamoto's method; 0 = Sunday.
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}
bool Valid(const SYSTEMTIME& s) {
    return s.wYear >= 1601 && s.wYear <= 9999 && s.wMonth >= 1 && s.wMonth <= 12 && s.wDay >= 1 &&
           s.wDay <= DaysIn(s.wYear, s.wMonth) && s.wHour < 24 && s.wMinute < 60 &&
           s.wSecond < 60 && s.wMilliseconds < 1000;
}
// Orders two times (date and time of day); milliseconds are ignored.
int Compare(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    auto key = [](const SYSTEMTIME& s) {
        return ((((static_cast<int64_t>(s.wYear) * 13 + s.wMonth) * 32 + s.wDay) * 24 + s.wHour) *
                    60 +
                s.wMinute) *
                   60 +
               s.wSecond;
    };
    int64_t ka = key(a), kb = key(b);
    return ka < kb ? -1 : ka > kb ? 1 : 0;
}

struct PickerState : ControlState {
    SYSTEMTIME time{};
    bool none = false;
    WString format;  // empty: the style's default
    DWORD rangeFlags = 0;
    SYSTEMTIME range[2]{};
    bool dropped = false;
    HWND calendar = nullptr;  // the open drop-down
    int field = -1;           // the field chosen by keys or pen, -1: none yet
    WString typed;            // digits typed into it so far
    bool focused = false;
};

// The drop-down calendar: the month shown and the picker it belongs to.
struct CalendarState : ControlState {
    HWND picker = nullptr;
    int year = 2000, month = 1;
};

// Parts of the picker: the no-date box at the left, the drop button at the
// right.
RECT CheckRect(HWND h) {
    RECT r;
    GetClientRect(h, &r);
    int s = win::look::CheckSize();
    int top = (r.bottom - s) / 2;
    return RECT{2, top, 2 + s, top + s};
}
RECT DropRect(HWND h) {
    RECT r;
    GetClientRect(h, &r);
    return RECT{std::max<LONG>(0, r.right - GetSystemMetrics(SM_CXVSCROLL)), 0, r.right, r.bottom};
}

// Calendar layout: title row, weekday row, six week rows of seven days.
struct CalendarLayout {
    int cell = 0, rowH = 0;
    RECT title{}, prev{}, next{};
    int gridTop = 0;
};
CalendarLayout LayoutCalendar(HWND cal) {
    RECT r;
    GetClientRect(cal, &r);
    CalendarLayout l;
    l.cell = (r.right - 2) / 7;
    l.rowH = (r.bottom - 2) / 8;
    l.title = RECT{1, 1, r.right - 1, 1 + l.rowH};
    l.prev = RECT{2, 2, 2 + l.rowH - 2, l.rowH};
    l.next = RECT{r.right - l.rowH, 2, r.right - 2, l.rowH};
    l.gridTop = 1 + 2 * l.rowH;
    return l;
}
RECT DayCell(const CalendarLayout& l, int index) {
    int col = index % 7, row = index / 7;
    return RECT{1 + col * l.cell, l.gridTop + row * l.rowH, 1 + (col + 1) * l.cell,
                l.gridTop + (row + 1) * l.rowH};
}

WString DefaultFormat(HWND h) {
    DWORD style = StyleOf(h);
    if ((style & DTS_TIMEFORMAT) == DTS_TIMEFORMAT) return u"h:mm:ss tt";
    if (style & DTS_LONGDATEFORMAT) return u"dddd, MMMM dd, yyyy";
    return u"M/d/yyyy";
}

bool InRange(const PickerState* st, const SYSTEMTIME& s) {
    if ((st->rangeFlags & GDTR_MIN) && Compare(s, st->range[0]) < 0) return false;
    if ((st->rangeFlags & GDTR_MAX) && Compare(s, st->range[1]) > 0) return false;
    return true;
}

LRESULT NotifyChange(HWND h, PickerState* st) {
    NMDATETIMECHANGE nm;
    nm.dwFlags = st->none ? GDT_NONE : GDT_VALID;
    nm.st = st->time;
    return SendNotify(h, DTN_DATETIMECHANGE, &nm.nmhdr);
}

}  // namespace

void GetLocalTime(SYSTEMTIME* out) {
    if (!out) return;
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    time_t secs = ts.tv_sec;
    localtime_r(&secs, &tm);
    out->wYear = static_cast<uint16_t>(tm.tm_year + 1900);
    out->wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
    out->wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    out->wDay = static_cast<uint16_t>(tm.tm_mday);
    out->wHour = static_cast<uint16_t>(tm.tm_hour);
    out->wMinute = static_cast<uint16_t>(tm.tm_min);
    out->wSecond = static_cast<uint16_t>(std::min(tm.tm_sec, 59));
    out->wMilliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
}

namespace {
// A field of the shown text: the picture letter, how often it repeats, and
// where its text stands.
struct Span {
    WChar c = 0;
    size_t n = 0;
    size_t begin = 0, end = 0;
};
WString FormatWithSpans(WStringView picture, const SYSTEMTIME& st, std::vector<Span>* spans);
}  // namespace

namespace win {

WString FormatPickerTime(WStringView picture, const SYSTEMTIME& st) {
    return FormatWithSpans(picture, st, nullptr);
}

}  // namespace win

namespace {

WString FormatWithSpans(WStringView picture, const SYSTEMTIME& st, std::vector<Span>* spans) {
    WString out;
    auto two = [](int v) { return text::Format(u"%02d", v); };
    size_t i = 0;
    while (i < picture.size()) {
        WChar c = picture[i];
        if (c == u'\'') {
            // Quoted text; '' inside or outside quotes is one quote.
            ++i;
            if (i < picture.size() && picture[i] == u'\'') {
                out += u'\'';
                ++i;
                continue;
            }
            while (i < picture.size()) {
                if (picture[i] == u'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
                        out += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        size_t n = 1;
        while (i + n < picture.size() && picture[i + n] == c) ++n;
        size_t begin = out.size();
        int hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
        int dow = st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1
                      ? DayOfWeek(st.wYear, st.wMonth, st.wDay)
                      : st.wDayOfWeek % 7;
        const char16_t* month = st.wMonth >= 1 && st.wMonth <= 12 ? kMonths[st.wMonth - 1] : u"";
        switch (c) {
            case u'd':
                if (n == 1)
                    out += text::Format(u"%d", st.wDay);
                else if (n == 2)
                    out += two(st.wDay);
                else if (n == 3)
                    out += WString(kDays[dow]).substr(0, 3);
                else
                    out += kDays[dow];
                break;
            case u'M':
                if (n == 1)
                    out += text::Format(u"%d", st.wMonth);
                else if (n == 2)
                    out += two(st.wMonth);
                else if (n == 3)
                    out += WString(month).substr(0, 3);
                else
                    out += month;
                break;
            case u'y':
                if (n == 1)
                    out += text::Format(u"%d", st.wYear % 10);
                else if (n == 2)
                    out += two(st.wYear % 100);
                else
                    out += text::Format(u"%d", st.wYear);
                break;
            case u'h':
                out += n == 1 ? text::Format(u"%d", hour12) : two(hour12);
                break;
            case u'H':
                out += n == 1 ? text::Format(u"%d", st.wHour) : two(st.wHour);
                break;
            case u'm':
                out += n == 1 ? text::Format(u"%d", st.wMinute) : two(st.wMinute);
                break;
            case u's':
                out += n == 1 ? text::Format(u"%d", st.wSecond) : two(st.wSecond);
                break;
            case u't':
                out += st.wHour < 12 ? (n == 1 ? u"A" : u"AM") : (n == 1 ? u"P" : u"PM");
                break;
            default:
                out.append(n, c);
                break;
        }
        if (spans && std::u16string_view(u"dMyhHmst").find(c) != std::u16string_view::npos &&
            !(c == u'd' && n > 2))
            spans->push_back(Span{c, n, begin, out.size()});
        i += n;
    }
    return out;
}

}  // namespace

namespace win {

WString DateTimePickerText(HWND picker) {
    auto* st = Control<PickerState>(picker);
    if (!st || st->none) return WString();
    return FormatPickerTime(st->format.empty() ? DefaultFormat(picker) : st->format, st->time);
}

}  // namespace win

namespace {

void CloseCalendar(HWND picker, PickerState* st) {
    HWND cal = st->calendar;
    st->calendar = nullptr;
    if (cal && IsWindow(cal)) {
        if (GetCapture() == cal) ReleaseCapture();
        DestroyWindow(cal);
    }
    if (!(st = Control<PickerState>(picker))) return;
    st->dropped = false;
    InvalidateRect(picker, nullptr, false);
    SendNotify(picker, DTN_CLOSEUP);
}

void OpenCalendar(HWND picker, PickerState* st) {
    SendNotify(picker, DTN_DROPDOWN);
    if (!(st = Control<PickerState>(picker))) return;
    st->dropped = true;
    RECT wr;
    GetWindowRect(picker, &wr);
    int w = win::theme::Scale(150), h = win::theme::Scale(130);
    // A mirrored picker drops a mirrored calendar, lined up with its right
    // edge.
    DWORD rtl = static_cast<DWORD>(GetWindowLongPtr(picker, GWL_EXSTYLE)) &
                (WS_EX_LAYOUTRTL | WS_EX_RTLREADING);
    int x = std::clamp(static_cast<int>((rtl & WS_EX_LAYOUTRTL) ? wr.right - w : wr.left), 0,
                       std::max(0, GetSystemMetrics(SM_CXSCREEN) - w));
    HWND cal = CreateWindowEx(WS_EX_TOPMOST | rtl, MONTHCAL_CLASS, u"", WS_POPUP | WS_BORDER, x,
                              wr.bottom, w, h, picker, nullptr, nullptr, nullptr);
    if (!cal) return;
    auto* cs = EnsureControl<CalendarState>(cal);
    cs->picker = picker;
    SYSTEMTIME t = st->time;
    if (st->none) GetLocalTime(&t);
    cs->year = t.wYear;
    cs->month = t.wMonth;
    st->calendar = cal;
    ShowWindow(cal, SW_SHOWNA);
    SetCapture(cal);
    InvalidateRect(picker, nullptr, false);
}

void PaintPicker(HWND h, PickerState* st, HDC dc) {
    RECT rc;
    GetClientRect(h, &rc);
    bool enabled = IsWindowEnabled(h);
    FillRect(dc, &rc, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    SelectObject(dc, win::look::ControlFont(h));
    RECT text = rc;
    text.left += 2;
    if (StyleOf(h) & DTS_SHOWNONE) {
        RECT box = CheckRect(h);
        win::look::CheckBox(dc, box, st->none ? 0 : 1, enabled, false);
        text.left = box.right + 3;
    }
    if (!(StyleOf(h) & DTS_UPDOWN)) {
        RECT b = DropRect(h);
        win::look::ArrowButton(dc, b, win::look::Arrow::Down, st->dropped, enabled);
        text.right = b.left;
    }
    COLORREF ink = GetSysColor(enabled && !st->none ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    // The date stays shown (greyed) while the no-date box is clear.
    std::vector<Span> spans;
    WString t = FormatWithSpans(st->format.empty() ? DefaultFormat(h) : st->format, st->time, &spans);
    UINT order = win::look::ReadingOrder(h);
    win::look::Label(dc, t, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | order, true,
                     ink);
    // The chosen field in the selection colours while the picker has the keys.
    if (st->focused && !st->none && !order && st->field >= 0 &&
        st->field < static_cast<int>(spans.size())) {
        const Span& f = spans[static_cast<size_t>(st->field)];
        SIZE before{}, width{};
        GetTextExtentPoint32(dc, t.c_str(), static_cast<int>(f.begin), &before);
        GetTextExtentPoint32(dc, t.c_str() + f.begin, static_cast<int>(f.end - f.begin), &width);
        TEXTMETRIC tm;
        GetTextMetrics(dc, &tm);
        int top = text.top + (text.bottom - text.top - tm.tmHeight) / 2;
        RECT hi{text.left + before.cx, top, text.left + before.cx + width.cx, top + tm.tmHeight};
        FillRect(dc, &hi, GetSysColorBrush(COLOR_HIGHLIGHT));
        win::look::Label(dc, t.substr(f.begin, f.end - f.begin), hi,
                         DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX, true,
                         GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
}

std::vector<Span> SpansOf(HWND h, const PickerState* st) {
    std::vector<Span> spans;
    FormatWithSpans(st->format.empty() ? DefaultFormat(h) : st->format, st->time, &spans);
    return spans;
}

// Sets the time when it is a valid one within the range; the parent hears of
// a change.
bool ApplyTime(HWND h, PickerState* st, SYSTEMTIME t) {
    if (!Valid(t) || !InRange(st, t)) return false;
    t.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(t.wYear, t.wMonth, t.wDay));
    bool changed = Compare(st->time, t) != 0;
    st->time = t;
    InvalidateRect(h, nullptr, false);
    if (changed) NotifyChange(h, st);
    return true;
}

int Wrap(int v, int lo, int hi) {
    int n = hi - lo + 1;
    return lo + ((v - lo) % n + n) % n;
}

// Up and Down: the field one step on, round its range; the day is kept
// within the month.
void StepField(HWND h, PickerState* st, WChar c, int delta) {
    SYSTEMTIME t = st->time;
    switch (c) {
        case u'y': t.wYear = static_cast<uint16_t>(std::clamp(t.wYear + delta, 1601, 9999)); break;
        case u'M': t.wMonth = static_cast<uint16_t>(Wrap(t.wMonth + delta, 1, 12)); break;
        case u'd': t.wDay = static_cast<uint16_t>(Wrap(t.wDay + delta, 1, DaysIn(t.wYear, t.wMonth))); break;
        case u'h':
        case u'H': t.wHour = static_cast<uint16_t>(Wrap(t.wHour + delta, 0, 23)); break;
        case u'm': t.wMinute = static_cast<uint16_t>(Wrap(t.wMinute + delta, 0, 59)); break;
        case u's': t.wSecond = static_cast<uint16_t>(Wrap(t.wSecond + delta, 0, 59)); break;
        case u't': t.wHour = static_cast<uint16_t>((t.wHour + 12) % 24); break;
        default: return;
    }
    t.wDay = static_cast<uint16_t>(std::min<int>(t.wDay, DaysIn(t.wYear, t.wMonth)));
    ApplyTime(h, st, t);
}

// Digits typed into a field: applied as soon as they make a value the field
// can take; the next field follows when no further digit could fit.
void TypeDigit(HWND h, PickerState* st, const std::vector<Span>& spans, WChar digit) {
    const Span& f = spans[static_cast<size_t>(st->field)];
    if (f.c == u't') return;
    st->typed += digit;
    int v = 0;
    for (WChar d : st->typed) v = v * 10 + (d - u'0');
    int width = f.c == u'y' ? (f.n <= 2 ? 2 : 4) : 2;
    SYSTEMTIME t = st->time;
    int most = 0;
    switch (f.c) {
        case u'y': {
            if (static_cast<int>(st->typed.size()) < width) return;
            t.wYear = static_cast<uint16_t>(width == 2 ? t.wYear / 100 * 100 + v : v);
            most = 9999;
            break;
        }
        case u'M': t.wMonth = static_cast<uint16_t>(v); most = 12; break;
        case u'd': t.wDay = static_cast<uint16_t>(v); most = DaysIn(t.wYear, t.wMonth); break;
        case u'h':
            t.wHour = static_cast<uint16_t>((v % 12) + (t.wHour >= 12 ? 12 : 0));
            most = 12;
            if (v == 0) return;
            break;
        case u'H': t.wHour = static_cast<uint16_t>(v); most = 23; break;
        case u'm': t.wMinute = static_cast<uint16_t>(v); most = 59; break;
        case u's': t.wSecond = static_cast<uint16_t>(v); most = 59; break;
        default: return;
    }
    if (v > most || !ApplyTime(h, st, t)) {
        st->typed.clear();  // not a value of this field: start again
        return;
    }
    if (static_cast<int>(st->typed.size()) >= width || v * 10 > most) {
        st->typed.clear();
        if (st->field + 1 < static_cast<int>(spans.size())) ++st->field;
        InvalidateRect(h, nullptr, false);
    }
}

// The field under a point of the text, or -1.
int FieldAt(HWND h, PickerState* st, POINT pt) {
    if (win::look::ReadingOrder(h)) return -1;
    int left = 2;
    if (StyleOf(h) & DTS_SHOWNONE) left = CheckRect(h).right + 3;
    HDC dc = GetDC(h);
    SelectObject(dc, win::look::ControlFont(h));
    WString t = win::FormatPickerTime(st->format.empty() ? DefaultFormat(h) : st->format, st->time);
    std::vector<Span> spans = SpansOf(h, st);
    int found = -1;
    for (size_t i = 0; i < spans.size() && found < 0; ++i) {
        SIZE a{}, b{};
        GetTextExtentPoint32(dc, t.c_str(), static_cast<int>(spans[i].begin), &a);
        GetTextExtentPoint32(dc, t.c_str(), static_cast<int>(spans[i].end), &b);
        if (pt.x >= left + a.cx && pt.x < left + b.cx) found = static_cast<int>(i);
    }
    ReleaseDC(h, dc);
    return found;
}

}  // namespace

LRESULT MonthCalProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* cs = Control<CalendarState>(h);
    if (!cs) return DefWindowProc(h, msg, wp, lp);
    HWND picker = cs->picker;
    auto* ps = Control<PickerState>(picker);
    CalendarLayout l = LayoutCalendar(h);
    int first = DayOfWeek(cs->year, cs->month, 1);
    switch (msg) {
        case WM_PAINT: {
            ControlPaint p(h, COLOR_WINDOW);
            HDC dc = p.dc();
            if (!dc) return 0;
            SelectObject(dc, win::look::ControlFont(picker));
            win::look::FillSys(dc, l.title, COLOR_ACTIVECAPTION);
            WString title = WString(kMonths[cs->month - 1]) + u" " + text::IntToText(cs->year);
            win::look::Label(dc, title, l.title, DT_CENTER | DT_VCENTER | DT_SINGLELINE, true,
                             GetSysColor(COLOR_CAPTIONTEXT));
            win::look::ArrowButton(dc, l.prev, win::look::Arrow::Left, false, true);
            win::look::ArrowButton(dc, l.next, win::look::Arrow::Right, false, true);
            for (int d = 0; d < 7; ++d) {
                RECT c = DayCell(l, d);
                OffsetRect(&c, 0, -l.rowH);
                win::look::Label(dc, WString(1, kDays[d][0]), c,
                                 DT_CENTER | DT_VCENTER | DT_SINGLELINE, true,
                                 GetSysColor(COLOR_ACTIVECAPTION));
            }
            RECT line{1, l.gridTop - 1, 1 + 7 * l.cell, l.gridTop};
            win::look::FillSys(dc, line, COLOR_GRAYTEXT);
            int days = DaysIn(cs->year, cs->month);
            for (int d = 1; d <= days; ++d) {
                RECT c = DayCell(l, first + d - 1);
                bool sel = ps && !ps->none && ps->time.wYear == cs->year &&
                           ps->time.wMonth == cs->month && ps->time.wDay == d;
                if (sel) win::look::FillSys(dc, c, COLOR_HIGHLIGHT);
                win::look::Label(dc, text::IntToText(d), c, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                                 true, GetSysColor(sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            }
            return 0;
        }
        case WM_LBUTTONDOWN: {
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            RECT rc;
            GetClientRect(h, &rc);
            if (!ps) return 0;
            if (!PtInRect(&rc, pt)) {  // a tap outside closes it unchanged
                CloseCalendar(picker, ps);
                return 0;
            }
            if (PtInRect(&l.prev, pt) || PtInRect(&l.next, pt)) {
                int m = cs->month + (PtInRect(&l.prev, pt) ? -1 : 1);
                if (m < 1) m = 12, --cs->year;
                if (m > 12) m = 1, ++cs->year;
                cs->month = m;
                InvalidateRect(h, nullptr, false);
                return 0;
            }
            if (pt.y < l.gridTop || l.cell <= 0 || l.rowH <= 0) return 0;
            int index = (pt.x - 1) / l.cell + 7 * ((pt.y - l.gridTop) / l.rowH);
            int day = index - first + 1;
            if (day < 1 || day > DaysIn(cs->year, cs->month)) return 0;
            SYSTEMTIME when = ps->time;
            when.wYear = static_cast<uint16_t>(cs->year);
            when.wMonth = static_cast<uint16_t>(cs->month);
            when.wDay = static_cast<uint16_t>(day);
            if (Valid(when) && InRange(ps, when)) {
                bool changed = ps->none || Compare(ps->time, when) != 0;
                ps->time = when;
                ps->time.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(cs->year, cs->month, day));
                ps->none = false;
                if (changed) NotifyChange(picker, ps);
            }
            if ((ps = Control<PickerState>(picker))) CloseCalendar(picker, ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

LRESULT DateTimeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PickerState* st = Control<PickerState>(h);
    if (!st) {
        st = EnsureControl<PickerState>(h);
        if (!st) return DefWindowProc(h, msg, wp, lp);
        GetLocalTime(&st->time);
        st->time.wMilliseconds = 0;
    }
    switch (msg) {
        case DTM_GETSYSTEMTIME: {
            auto* out = reinterpret_cast<SYSTEMTIME*>(lp);
            if (!out) return GDT_ERROR;
            if (st->none) return GDT_NONE;
            *out = st->time;
            return GDT_VALID;
        }
        case DTM_SETSYSTEMTIME: {
            if (wp == GDT_NONE) {
                if (!(StyleOf(h) & DTS_SHOWNONE)) return FALSE;
                st->none = true;
                InvalidateRect(h, nullptr, false);
                return TRUE;
            }
            auto* in = reinterpret_cast<const SYSTEMTIME*>(lp);
            if (wp != GDT_VALID || !in || !Valid(*in) || !InRange(st, *in)) return FALSE;
            st->time = *in;
            st->time.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(in->wYear, in->wMonth, in->wDay));
            st->none = false;
            InvalidateRect(h, nullptr, false);
            return TRUE;
        }
        case DTM_SETRANGE: {
            auto* in = reinterpret_cast<const SYSTEMTIME*>(lp);
            if (!in && wp) return FALSE;
            if (((wp & GDTR_MIN) && !Valid(in[0])) || ((wp & GDTR_MAX) && !Valid(in[1])))
                return FALSE;
            st->rangeFlags = static_cast<DWORD>(wp & (GDTR_MIN | GDTR_MAX));
            if (wp & GDTR_MIN) st->range[0] = in[0];
            if (wp & GDTR_MAX) st->range[1] = in[1];
            // The current time moves into the range.
            if ((st->rangeFlags & GDTR_MIN) && Compare(st->time, st->range[0]) < 0)
                st->time = st->range[0];
            if ((st->rangeFlags & GDTR_MAX) && Compare(st->time, st->range[1]) > 0)
                st->time = st->range[1];
            return TRUE;
        }
        case DTM_GETRANGE: {
            auto* out = reinterpret_cast<SYSTEMTIME*>(lp);
            if (out) out[0] = st->range[0], out[1] = st->range[1];
            return st->rangeFlags;
        }
        case DTM_SETFORMAT:
            st->format = lp ? WString(reinterpret_cast<const WChar*>(lp)) : WString();
            InvalidateRect(h, nullptr, false);
            return TRUE;
        case DTM_GETMONTHCAL:
            return 0;
        case WM_GETTEXT:
            return CopyText(win::DateTimePickerText(h), reinterpret_cast<WChar*>(lp),
                            static_cast<int>(wp));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(win::DateTimePickerText(h).size());
        case WM_SETFOCUS:
            st->focused = true;
            InvalidateRect(h, nullptr, false);
            SendNotify(h, NM_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            st->focused = false;
            st->typed.clear();
            InvalidateRect(h, nullptr, false);
            SendNotify(h, NM_KILLFOCUS);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KEYDOWN: {
            if (st->none || !IsWindowEnabled(h)) return 0;
            std::vector<Span> spans = SpansOf(h, st);
            int n = static_cast<int>(spans.size());
            if (n == 0) return 0;
            if (wp == VK_LEFT || wp == VK_RIGHT) {
                int step = wp == VK_RIGHT ? 1 : -1;
                st->field = st->field < 0 ? (step > 0 ? 0 : n - 1) : std::clamp(st->field + step, 0, n - 1);
                st->typed.clear();
                InvalidateRect(h, nullptr, false);
            } else if (wp == VK_UP || wp == VK_DOWN) {
                if (st->field < 0 || st->field >= n) st->field = 0;
                st->typed.clear();
                StepField(h, st, spans[static_cast<size_t>(st->field)].c, wp == VK_UP ? 1 : -1);
            }
            return 0;
        }
        case WM_CHAR: {
            WChar c = static_cast<WChar>(wp);
            if (st->none || !IsWindowEnabled(h) || c < u'0' || c > u'9') return 0;
            std::vector<Span> spans = SpansOf(h, st);
            if (spans.empty()) return 0;
            if (st->field < 0 || st->field >= static_cast<int>(spans.size())) st->field = 0;
            TypeDigit(h, st, spans, c);
            return 0;
        }
        case WM_PAINT: {
            ControlPaint p(h, -1);
            if (p.dc()) PaintPicker(h, st, p.dc());
            return 0;
        }
        case WM_LBUTTONDOWN: {
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (!IsWindowEnabled(h)) return 0;
            SetFocus(h);
            if (!(st = Control<PickerState>(h))) return 0;
            RECT box = CheckRect(h), drop = DropRect(h);
            if ((StyleOf(h) & DTS_SHOWNONE) && PtInRect(&box, pt)) {
                win::DateTimeUserCheck(h, st->none);
                return 0;
            }
            if (!(StyleOf(h) & DTS_UPDOWN) && PtInRect(&drop, pt) && !st->dropped) {
                OpenCalendar(h, st);
                return 0;
            }
            // A tap on a field chooses it for the keys.
            int field = st->none ? -1 : FieldAt(h, st, pt);
            if (field >= 0 && (st = Control<PickerState>(h))) {
                st->field = field;
                st->typed.clear();
                InvalidateRect(h, nullptr, false);
            }
            return 0;
        }
        case WM_DESTROY:
            if (st->calendar && IsWindow(st->calendar)) DestroyWindow(st->calendar);
            st->calendar = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

namespace win {

void DateTimeUserPick(HWND picker, const SYSTEMTIME& when) {
    auto* st = Control<PickerState>(picker);
    if (!st || !IsWindowEnabled(picker)) return;
    SetFocus(picker);
    SendNotify(picker, DTN_DROPDOWN);
    if (!(st = Control<PickerState>(picker))) return;
    st->dropped = true;
    if (Valid(when) && InRange(st, when)) {
        bool changed = st->none || Compare(st->time, when) != 0;
        st->time = when;
        st->time.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(when.wYear, when.wMonth, when.wDay));
        st->none = false;
        InvalidateRect(picker, nullptr, false);
        if (changed) NotifyChange(picker, st);
    }
    if (!(st = Control<PickerState>(picker))) return;
    st->dropped = false;
    SendNotify(picker, DTN_CLOSEUP);
}

void DateTimeUserCheck(HWND picker, bool checked) {
    auto* st = Control<PickerState>(picker);
    if (!st || !(StyleOf(picker) & DTS_SHOWNONE) || st->none == !checked) return;
    st->none = !checked;
    InvalidateRect(picker, nullptr, false);
    NotifyChange(picker, st);
}

}  // namespace win
