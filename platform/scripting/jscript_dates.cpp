// Date texts as the classic engine reads them (Date.parse and new Date(text)):
// "Jan 20 2009 UTC", "January 20, 2009", "20 jan 2009 10:30 PM", "7/02/17
// UTC", "1970/01/01", "12Au91", and the engine's own toString and
// toUTCString output ("Sat Dec 30 00:00:00 UTC+0100 1899", "Sat, 30 Dec 1899
// 00:00:00 UTC"). Month and day names may be cut to their first letters (two
// at least; "Ma" is March, "Ju" June), two-digit years are 19xx, day names,
// text in parentheses and stray separators are ignored; without a zone the
// time is local. ISO 8601 ("2009-01-20", "2009-01-20T10:00:00Z") is no date.
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/scripting/jscript_internal.h"

namespace jscript {

namespace {

struct DateParts {
    double year = NAN, month = NAN, day = NAN;
    double hour = 0, minute = 0, second = 0;
    bool pm = false, am = false, bc = false;
    bool utc = false;
    double offsetMinutes = 0;  // east of UTC, when utc
};

// Whether the n letters at w begin name (at least minLen of them).
bool WordIs(const char* w, size_t n, const char* name, size_t minLen) {
    size_t len = std::strlen(name);
    if (n < minLen || n > len) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(w[i])) != name[i]) return false;
    return true;
}

// Parses into p; false when the text is not a date.
bool ParseClassicDate(const char* s, DateParts* p) {
    static const char* const kMonths[] = {"january",   "february", "march",    "april",
                                          "may",       "june",     "july",     "august",
                                          "september", "october",  "november", "december"};
    static const char* const kDays[] = {"sunday",   "monday", "tuesday", "wednesday",
                                        "thursday", "friday", "saturday"};
    struct Zone {
        const char* name;
        int offset;
    };
    static const Zone kZones[] = {{"utc", 0},    {"gmt", 0},    {"ut", 0},     {"z", 0},
                                  {"est", -300}, {"edt", -240}, {"cst", -360}, {"cdt", -300},
                                  {"mst", -420}, {"mdt", -360}, {"pst", -480}, {"pdt", -420}};
    double numbers[3];
    size_t widths[3];
    int loose = 0;  // numbers not yet placed
    bool haveTime = false, sawZone = false;
    const char* c = s;
    while (*c) {
        unsigned char ch = static_cast<unsigned char>(*c);
        if (std::isspace(ch) || ch == ',' || ch == '.' || ch == ';' || ch == '_' ||
            ((ch == '-' || ch == '/' || ch == '+') &&
             !std::isdigit(static_cast<unsigned char>(c[1])))) {
            ++c;  // separators, and signs and slashes before no number
        } else if (ch == '(') {
            int depth = 0;
            do {
                if (*c == '(') ++depth;
                if (*c == ')') --depth;
                ++c;
            } while (*c && depth > 0);
        } else if (std::isalpha(ch)) {
            const char* w = c;
            while (std::isalpha(static_cast<unsigned char>(*c)) || *c == '.') ++c;
            size_t n = static_cast<size_t>(c - w);
            while (n > 0 && w[n - 1] == '.') --n;
            bool known = false;
            for (int m = 0; m < 12 && !known; ++m)
                if (WordIs(w, n, kMonths[m], 2)) {
                    if (!std::isnan(p->month)) {
                        // "Jan 20 2009" gave the month already: a second one is wrong.
                        return false;
                    }
                    p->month = m;
                    known = true;
                }
            for (int d = 0; d < 7 && !known; ++d)
                if (WordIs(w, n, kDays[d], 2)) known = true;
            if (!known && (WordIs(w, n, "am", 2) || WordIs(w, n, "a.m", 3))) known = p->am = true;
            if (!known && (WordIs(w, n, "pm", 2) || WordIs(w, n, "p.m", 3))) known = p->pm = true;
            if (!known && (WordIs(w, n, "bc", 2) || WordIs(w, n, "b.c", 3))) known = p->bc = true;
            if (!known && (WordIs(w, n, "ad", 2) || WordIs(w, n, "a.d", 3))) known = true;
            for (const Zone& z : kZones)
                if (!known && n == std::strlen(z.name) && WordIs(w, n, z.name, n)) {
                    p->utc = true;
                    p->offsetMinutes = z.offset;
                    sawZone = true;
                    known = true;
                }
            if (!known) return false;
        } else if ((ch == '+' || ch == '-') && std::isdigit(static_cast<unsigned char>(c[1])) &&
                   (sawZone || haveTime || loose > 0)) {
            // A zone offset: +0100, -05, +1:30.
            int sign = ch == '-' ? -1 : 1;
            ++c;
            char* end = nullptr;
            long v = std::strtol(c, &end, 10);
            size_t digits = static_cast<size_t>(end - c);
            c = end;
            double minutes;
            if (*c == ':' && std::isdigit(static_cast<unsigned char>(c[1]))) {
                ++c;
                long mm = std::strtol(c, &end, 10);
                c = end;
                minutes = v * 60.0 + mm;
            } else if (digits > 2) {
                minutes = (v / 100) * 60.0 + (v % 100);
            } else {
                minutes = v * 60.0;
            }
            p->utc = true;
            p->offsetMinutes = sawZone ? p->offsetMinutes + sign * minutes : sign * minutes;
        } else if (std::isdigit(ch)) {
            char* end = nullptr;
            const char* used = nullptr;
            double v = text::ParseDoubleA(c, &used);
            end = const_cast<char*>(used);
            size_t digits = static_cast<size_t>(end - c);
            if (std::memchr(c, '.', digits) || std::memchr(c, 'e', digits) ||
                std::memchr(c, 'E', digits)) {
                // The decimal reader went too far: read the integer only.
                v = static_cast<double>(std::strtol(c, &end, 10));
                digits = static_cast<size_t>(end - c);
            }
            c = end;
            if (*c == ':') {
                // A time: h:mm[:ss]
                if (haveTime) return false;
                haveTime = true;
                p->hour = v;
                ++c;
                if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
                p->minute = static_cast<double>(std::strtol(c, &end, 10));
                c = end;
                if (*c == ':' && std::isdigit(static_cast<unsigned char>(c[1]))) {
                    ++c;
                    p->second = static_cast<double>(std::strtol(c, &end, 10));
                    c = end;
                }
            } else if (*c == '/' || (*c == '-' && std::isdigit(static_cast<unsigned char>(c[1])) &&
                                     std::isnan(p->month))) {
                // a year first with dashes is ISO 8601, which is no date here
                if (*c == '-' && digits > 2) return false;
                // A short date: m/d/y, or y/m/d when the first number is a year.
                char sep = *c;
                double parts[3] = {v, NAN, NAN};
                int k = 1;
                while (*c == sep && k < 3 && std::isdigit(static_cast<unsigned char>(c[1]))) {
                    ++c;
                    parts[k++] = static_cast<double>(std::strtol(c, &end, 10));
                    c = end;
                }
                if (k < 2 || !std::isnan(p->month)) return false;
                if (digits > 2 || v > 31) {
                    if (k < 3) return false;
                    p->year = parts[0];
                    p->month = parts[1] - 1;
                    p->day = parts[2];
                } else {
                    p->month = parts[0] - 1;
                    p->day = parts[1];
                    if (k == 3) p->year = parts[2];
                }
            } else {
                if (loose >= 3) return false;
                widths[loose] = digits;
                numbers[loose++] = v;
            }
        } else {
            return false;
        }
    }
    // Place the loose numbers: a year is long or beyond 31, else a day
    // comes first.
    for (int i = 0; i < loose; ++i) {
        double v = numbers[i];
        bool longNumber = widths[i] > 2 || v > 31;
        if (longNumber && std::isnan(p->year))
            p->year = v;
        else if (!longNumber && std::isnan(p->day))
            p->day = v;
        else if (std::isnan(p->year))
            p->year = v;
        else
            return false;
    }
    if (std::isnan(p->year) || std::isnan(p->month) || std::isnan(p->day)) return false;
    if (p->year < 100 && !p->bc) p->year += 1900;
    if (p->bc) p->year = 1 - p->year;
    if (p->pm || p->am) {
        if (p->hour < 1 || p->hour > 12) return false;
        if (p->pm && p->hour < 12) p->hour += 12;
        if (p->am && p->hour == 12) p->hour = 0;
    }
    if (p->month < 0 || p->month > 11 || p->day < 1 || p->day > 31 || p->hour > 24 ||
        p->minute > 59 || p->second > 59)
        return false;
    return true;
}

}  // namespace

}  // namespace jscript

extern "C" int zn_jscript_parse_date(void* context, const char* text) {
    auto* ctx = static_cast<duk_context*>(context);
    jscript::DateParts p;
    if (!text || !jscript::ParseClassicDate(text, &p)) return 0;
    // Through the engine's own Date so local time is reckoned as it does.
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "Date");
    duk_remove(ctx, -2);
    if (p.utc) {
        duk_get_prop_string(ctx, -1, "UTC");
        duk_remove(ctx, -2);
    }
    duk_push_number(ctx, p.year);
    duk_push_number(ctx, p.month);
    duk_push_number(ctx, p.day);
    duk_push_number(ctx, p.hour);
    duk_push_number(ctx, p.minute);
    duk_push_number(ctx, p.second);
    if (p.utc) {
        duk_call(ctx, 6);
        double t = duk_get_number(ctx, -1) - p.offsetMinutes * 60000.0;
        duk_pop(ctx);
        duk_push_number(ctx, t);
    } else {
        duk_new(ctx, 6);
        duk_push_string(ctx, "getTime");
        duk_call_prop(ctx, -2, 0);
        duk_remove(ctx, -2);
    }
    return 1;
}
