#include "platform/scripting/vbscript/vbs_dates.h"

#include <cmath>
#include <ctime>
#include <vector>

namespace vbs {

const char16_t* const kMonthNames[12] = {u"January", u"February", u"March",     u"April",
                                         u"May",     u"June",     u"July",      u"August",
                                         u"September", u"October", u"November", u"December"};
const char16_t* const kDayNames[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                      u"Thursday", u"Friday", u"Saturday"};

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

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

double TimeFraction(int h, int m, int s) { return (h * 3600.0 + m * 60.0 + s) / 86400.0; }

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

namespace {

int MonthFromName(WStringView w) {
    WString l = text::ToLower(w);
    if (l.size() < 3) return 0;
    for (int i = 0; i < 12; ++i) {
        WString n = text::ToLower(kMonthNames[i]);
        if (n.compare(0, l.size(), l) == 0 || (l.size() >= 3 && l == n.substr(0, 3))) return i + 1;
    }
    if (l == u"sept") return 9;
    return 0;
}

bool IsDayName(WStringView w) {
    WString l = text::ToLower(w);
    if (l.size() < 3) return false;
    for (auto n : kDayNames) {
        WString dn = text::ToLower(n);
        if (dn.compare(0, l.size(), l) == 0) return true;
    }
    return false;
}

int CurrentYear() {
    std::time_t t = std::time(nullptr);
    std::tm tm;
    localtime_r(&t, &tm);
    return tm.tm_year + 1900;
}

}  // namespace

bool ParseDateText(WStringView s, double* out) {
    // Tokens: numbers with the separator that follows them, words, AM/PM.
    struct Tk {
        int kind;  // 0 number, 1 month name, 2 am, 3 pm
        int value;
        WChar sep;  // separator after it: '/', '-', ':', '.', ' ', ','
        int digits;
    };
    std::vector<Tk> tks;
    size_t i = 0, n = s.size();
    while (i < n) {
        WChar c = s[i];
        if (c == ' ' || c == '\t' || c == ',') {
            if (!tks.empty() && (tks.back().sep == 0)) tks.back().sep = ' ';
            ++i;
            continue;
        }
        if (c >= '0' && c <= '9') {
            long v = 0;
            int dg = 0;
            while (i < n && s[i] >= '0' && s[i] <= '9') {
                v = v * 10 + (s[i] - '0');
                if (v > 100000) return false;
                ++i;
                ++dg;
            }
            Tk t{0, int(v), 0, dg};
            if (i < n && (s[i] == '/' || s[i] == '-' || s[i] == ':' || s[i] == '.')) {
                t.sep = s[i];
                ++i;
            }
            tks.push_back(t);
            continue;
        }
        if (text::IsBlank(c)) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && ((s[j] >= 'a' && s[j] <= 'z') || (s[j] >= 'A' && s[j] <= 'Z'))) ++j;
        if (j == i) return false;
        WStringView w = s.substr(i, j - i);
        i = j;
        if (i < n && (s[i] == '.' || s[i] == '-' || s[i] == '/')) ++i;
        WString l = text::ToLower(w);
        if (l == u"am" || l == u"a") {
            tks.push_back({2, 0, 0, 0});
        } else if (l == u"pm" || l == u"p") {
            tks.push_back({3, 0, 0, 0});
        } else if (int m = MonthFromName(w)) {
            tks.push_back({1, m, 0, 0});
        } else if (IsDayName(w)) {
            continue;
        } else {
            return false;
        }
    }
    if (tks.empty()) return false;
    // Time: numbers joined by ':' (and an optional AM/PM).
    int hour = -1, minute = 0, second = 0;
    std::vector<Tk> date;
    for (size_t k = 0; k < tks.size(); ++k) {
        const Tk& t = tks[k];
        if (t.kind == 0 && t.sep == ':') {
            if (hour >= 0) return false;
            hour = t.value;
            if (k + 1 >= tks.size() || tks[k + 1].kind != 0) return false;
            minute = tks[++k].value;
            if (tks[k].sep == ':') {
                if (k + 1 >= tks.size() || tks[k + 1].kind != 0) return false;
                second = tks[++k].value;
            }
            if (k + 1 < tks.size() && tks[k + 1].kind >= 2) {
                bool pm = tks[++k].kind == 3;
                if (hour < 1 || hour > 12) return false;
                if (hour == 12) hour = 0;
                if (pm) hour += 12;
            }
            continue;
        }
        if (t.kind == 0 && k + 1 < tks.size() && tks[k + 1].kind >= 2 && hour < 0) {
            // "10 PM"
            hour = t.value;
            bool pm = tks[++k].kind == 3;
            if (hour < 1 || hour > 12) return false;
            if (hour == 12) hour = 0;
            if (pm) hour += 12;
            continue;
        }
        if (t.kind >= 2) return false;
        date.push_back(t);
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
    double result = 0;
    if (!date.empty()) {
        int y = -1, m = -1, d = -1;
        int yearDigits = 0;
        auto fixYear = [&](int v, int dg) {
            yearDigits = dg;
            if (dg <= 2 && v < 100) return v < 30 ? 2000 + v : 1900 + v;
            return v;
        };
        // month given by name
        int named = -1;
        for (size_t k = 0; k < date.size(); ++k)
            if (date[k].kind == 1) named = int(k);
        if (named >= 0) {
            m = date[named].value;
            std::vector<Tk> nums;
            for (size_t k = 0; k < date.size(); ++k)
                if (int(k) != named) nums.push_back(date[k]);
            if (nums.size() == 1) {
                if (nums[0].value > 31 || nums[0].digits > 2) {
                    y = fixYear(nums[0].value, nums[0].digits);
                    d = 1;
                } else {
                    d = nums[0].value;
                    y = CurrentYear();
                }
            } else if (nums.size() == 2) {
                if (nums[0].digits > 2 || nums[0].value > 31) {
                    y = fixYear(nums[0].value, nums[0].digits);
                    d = nums[1].value;
                } else {
                    d = nums[0].value;
                    y = fixYear(nums[1].value, nums[1].digits);
                }
            } else {
                return false;
            }
        } else {
            if (date.size() == 3) {
                if (date[0].digits > 2) {  // y-m-d
                    y = fixYear(date[0].value, date[0].digits);
                    m = date[1].value;
                    d = date[2].value;
                } else {
                    m = date[0].value;
                    d = date[1].value;
                    y = fixYear(date[2].value, date[2].digits);
                    if (m > 12 && d <= 12) std::swap(m, d);
                }
            } else if (date.size() == 2) {
                if (date[0].digits > 2 || date[0].value > 31) {  // y/m
                    y = fixYear(date[0].value, date[0].digits);
                    m = date[1].value;
                    d = 1;
                } else if (date[1].digits > 2 || date[1].value > 31) {  // m/y
                    m = date[0].value;
                    y = fixYear(date[1].value, date[1].digits);
                    d = 1;
                } else {
                    m = date[0].value;
                    d = date[1].value;
                    if (m > 12 && d <= 12) std::swap(m, d);
                    y = CurrentYear();
                }
            } else {
                return false;
            }
        }
        (void)yearDigits;
        if (m < 1 || m > 12 || y < 100 || y > 9999 || d < 1 || d > DaysInMonth(y, m))
            return false;
        result = DaysFromCivil(y, m, d);
    } else if (hour < 0) {
        return false;
    }
    if (hour >= 0) {
        double t = TimeFraction(hour, minute, second);
        result = result >= 0 ? result + t : result - t;
    }
    *out = result;
    return true;
}

namespace {
WString TimeText(const DateParts& p) {
    int h = p.hour % 12;
    if (h == 0) h = 12;
    return text::Format(u"%d:%02d:%02d %s", h, p.minute, p.second, p.hour < 12 ? u"AM" : u"PM");
}
WString ShortDateText(const DateParts& p) {
    return text::Format(u"%d/%d/%d", p.month, p.day, p.year);
}
}  // namespace

WString FormatDate(double d) {
    DateParts p = SplitDate(d);
    bool hasDate = std::trunc(d) != 0;
    bool hasTime = p.hour || p.minute || p.second;
    if (hasDate && !hasTime) return ShortDateText(p);
    if (!hasDate) return TimeText(p);
    return ShortDateText(p) + u" " + TimeText(p);
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
            return TimeText(p);
        case 4:
            return text::Format(u"%02d:%02d", p.hour, p.minute);
        default:
            return FormatDate(d);
    }
}

}  // namespace vbs
