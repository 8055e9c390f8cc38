// The date-time picker (SysDateTimePick32): a date and time with a no-date
// state (DTS_SHOWNONE), a range, and a display format in the platform's
// picture syntax; a user's choices reach the parent as DTN_* notifications.
#include <ctime>

#include "platform/win/command.h"
#include "platform/win/common_impl.h"

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
};

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

namespace win {

WString FormatPickerTime(WStringView picture, const SYSTEMTIME& st) {
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
        i += n;
    }
    return out;
}

WString DateTimePickerText(HWND picker) {
    auto* st = Control<PickerState>(picker);
    if (!st || st->none) return WString();
    return FormatPickerTime(st->format.empty() ? DefaultFormat(picker) : st->format, st->time);
}

}  // namespace win

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
            SendNotify(h, NM_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            SendNotify(h, NM_KILLFOCUS);
            return 0;
        case WM_PAINT: {
            ControlPaint p(h);
            if (p.dc()) {
                RECT r;
                GetClientRect(h, &r);
                r.left += 2;
                DrawTextIn(p.dc(), win::DateTimePickerText(h), r,
                           DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            }
            return 0;
        }
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
