#include "platform/scripting/vbscript/vbs_dates.h"

#include <cmath>
#include <vector>

#include "platform/com/variant.h"
#include "platform/scripting/vbscript/vbs_locale.h"

namespace vbs {

const char16_t* const kMonthNames[12] = {u"January",   u"February", u"March",    u"April",
                                         u"May",       u"June",     u"July",     u"August",
                                         u"September", u"October",  u"November", u"December"};
const char16_t* const kDayNames[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                      u"Thursday", u"Friday", u"Saturday"};

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int d[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : d[m - 1];
}

namespace {
// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
long long CivilToDays(long long y, long long m, long long d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void DaysToCivil(long long z, int* y, int* m, int* d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long yy = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    *d = int(doy - (153 * mp + 2) / 5 + 1);
    *m = int(mp < 10 ? mp + 3 : mp - 9);
    *y = int(yy + (*m <= 2));
}

const long long kEpoch = CivilToDays(1899, 12, 30);
}  // namespace

double DaysFromCivil(int y, int m, int d) {
    // normalise the month first, then let the day roll over
    long long mm = (long long)m - 1;
    long long yy = y + (mm >= 0 ? mm / 12 : (mm - 11) / 12);
    mm = ((mm % 12) + 12) % 12;
    return double(CivilToDays(yy, mm + 1, 1) + (d - 1) - kEpoch);
}

double TimeFraction(int h, int m, int s) {
    return (h * 3600.0 + m * 60.0 + s) / 86400.0;
}

bool MakeDate(const DateParts& p, double* out) {
    double day = DaysFromCivil(p.year, p.month, p.day);
    double t = TimeFraction(p.hour, p.minute, p.second);
    double whole = std::floor(t);
    day += whole;
    t -= whole;
    if (day < -657434 || day > 2958465) return false;
    *out = day >= 0 ? day + t : day - t;
    return true;
}

DateParts SplitDate(double d) {
    DateParts p;
    double day = std::trunc(d);
    double frac = std::fabs(d - day);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += d < 0 ? -1 : 1;
    }
    DaysToCivil((long long)day + kEpoch, &p.year, &p.month, &p.day);
    p.hour = int(secs / 3600);
    p.minute = int(secs / 60 % 60);
    p.second = int(secs % 60);
    return p;
}

int DayOfWeek(double d) {
    long long day = (long long)std::trunc(d);
    // 1899-12-30 was a Saturday (7)
    long long w = ((day + 6) % 7 + 7) % 7;  // 0 Sunday
    return int(w) + 1;
}

bool ParseDateText(WStringView s, double* out) {
    // a date or time as the script locale writes it
    WString us;
    if (UsDateText(s, &us) && ParseDate(us, out)) return true;
    // the conversion rules first, then what the language accepts beyond them
    if (ParseDate(s, out)) return true;
    WString t = text::Trim(s);
    // a leading day name: "Wednesday, January 31, 2024"
    for (auto n : kDayNames) {
        WString day = n;
        for (size_t len : {day.size(), size_t(3)}) {
            if (t.size() > len &&
                text::EqualsNoCase(WStringView(t).substr(0, len),
                                   WStringView(day).substr(0, len)) &&
                (t[len] == ',' || t[len] == ' ')) {
                WString rest = text::Trim(WStringView(t).substr(len + 1));
                if (ParseDate(rest, out)) return true;
            }
        }
    }
    // "13/1/2024": a first number that cannot be a month is the day (not with
    // dots: "15.03.2026" is no date here)
    size_t a = t.find_first_of(u"/-");
    if (a != WString::npos) {
        size_t b = t.find(t[a], a + 1);
        if (b != WString::npos) {
            WString first = t.substr(0, a), second = t.substr(a + 1, b - a - 1);
            int32_t m = text::ParseLong(first), d = text::ParseLong(second);
            if (m > 12 && m <= 31 && d >= 1 && d <= 12) {
                WString swapped = second + t[a] + first + t.substr(b);
                if (ParseDate(swapped, out)) return true;
            }
        }
    }
    return false;
}

WString FormatDatePart(double d, int f) {
    DateParts p = SplitDate(d);
    switch (f) {
        case 1:
            return text::Format(u"%s, %s %d, %d", kDayNames[DayOfWeek(d) - 1],
                                kMonthNames[p.month - 1], p.day, p.year);
        case 2:
            return ShortDateText(p);
        case 3:
            return LongTimeText(p);
        case 4:
            return ShortTimeText(p);
        default:
            return GeneralDateText(d);
    }
}

}  // namespace vbs
