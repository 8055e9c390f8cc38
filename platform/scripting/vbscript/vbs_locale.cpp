#include "platform/scripting/vbscript/vbs_locale.h"

#include <cmath>

#include "platform/com/variant.h"

namespace vbs {

namespace {

const res::LocaleFormats& UsFormats() {
    static const res::LocaleFormats* us = res::FindLocaleFormats(0x0409);
    return *us;
}

thread_local const res::LocaleFormats* t_formats = nullptr;

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Reads 1 to maxDigits digits at s[*i].
bool ReadNumber(WStringView s, size_t* i, size_t maxDigits, int* value, size_t* digits) {
    size_t start = *i;
    int v = 0;
    while (*i < s.size() && IsDigit(s[*i]) && *i - start < maxDigits)
        v = v * 10 + (s[(*i)++] - u'0');
    *digits = *i - start;
    *value = v;
    return *digits > 0 && !(*i < s.size() && IsDigit(s[*i]));
}

WString TwoDigits(int v, bool pad) {
    return text::Format(pad ? u"%02d" : u"%d", v);
}

}  // namespace

const res::LocaleFormats& ScriptFormats() {
    return t_formats ? *t_formats : UsFormats();
}

const res::LocaleFormats* ExactLocaleFormats(DWORD lcid) {
    const res::LocaleFormats* f = res::FindLocaleFormats(lcid);
    return f && f->lcid == lcid ? f : nullptr;
}

LocaleScope::LocaleScope(const res::LocaleFormats* f) : saved_(t_formats), active_(f != nullptr) {
    if (active_) t_formats = f;
}

LocaleScope::~LocaleScope() {
    if (active_) t_formats = saved_;
}

void LocaleScope::Switch(const res::LocaleFormats* f) {
    t_formats = f;
}

WString LocalNumberText(WString s) {
    const char16_t mark = ScriptFormats().decimal;
    if (mark != u'.')
        for (auto& c : s)
            if (c == u'.') c = mark;
    return s;
}

WString CNumberText(WStringView s) {
    const res::LocaleFormats& f = ScriptFormats();
    if (f.decimal == u'.' && f.group == u',') return WString(s);
    WString out;
    out.reserve(s.size());
    for (char16_t c : s) {
        if (c == f.group || (f.group == 0x00A0 && c == u' ')) continue;
        if (c == f.decimal)
            out += u'.';
        else if (c == u'.' || c == u',')
            out += u'\x1';  // the other mark is no part of a number here
        else
            out += c;
    }
    return out;
}

namespace {

// A short date of a day-first or year-first locale at the start of s as
// month/day[/year]; the rest of s in *rest. False when s starts otherwise.
bool MonthFirstDate(WStringView s, const res::LocaleFormats& f, WString* date, WStringView* rest) {
    size_t i = 0;
    while (i < s.size() && s[i] == u' ') ++i;
    int a, b, c = 0;
    size_t da, db, dc = 0;
    if (!ReadNumber(s, &i, 4, &a, &da)) return false;
    if (i >= s.size()) return false;
    char16_t sep = s[i];
    if (sep != f.dateSeparator && sep != u'/' && sep != u'-') return false;
    ++i;
    if (!ReadNumber(s, &i, 2, &b, &db)) return false;
    bool three = i + 1 < s.size() && s[i] == sep && IsDigit(s[i + 1]);
    if (three) {
        ++i;
        if (!ReadNumber(s, &i, 4, &c, &dc)) return false;
    }
    // where times are written with the same mark, h.mm.ss is a time
    if (sep == f.timeSeparator && three && dc <= 2) return false;
    // a separator the locale writes after the year ("2026. 03. 15.") ends the date
    if (i < s.size() && s[i] == sep && sep == u'.') ++i;
    int day, month;
    WString year;
    if (da > 2 || f.dateOrder == res::DateOrder::YearMonthDay) {
        if (!three && da > 2) return false;
        if (three) year = text::IntToText(a);
        month = three ? b : a;  // "3/15" is month and day
        day = three ? c : b;
    } else {
        day = a;
        month = b;
        if (three) year = text::IntToText(c);
    }
    *date =
        text::IntToText(month) + u"/" + text::IntToText(day) + (year.empty() ? u"" : u"/" + year);
    *rest = s.substr(i);
    return true;
}

}  // namespace

bool UsDateText(WStringView s, WString* out) {
    const res::LocaleFormats& f = ScriptFormats();
    if (&f == &UsFormats()) return false;
    WString date;
    WStringView rest = s;
    if (f.dateOrder != res::DateOrder::MonthDayYear) MonthFirstDate(s, f, &date, &rest);
    // the time: its separator a ':', the locale's designators AM and PM at its end
    WString time(rest);
    if (f.timeSeparator != u':')
        for (auto& ch : time)
            if (ch == f.timeSeparator) ch = u':';
    WString designator;
    for (int k = 0; k < 2; ++k) {
        WStringView d = k ? f.pm : f.am;
        size_t at = d.empty() ? WString::npos : time.find(d);
        if (at != WString::npos) {
            time.erase(at, d.size());
            designator = k ? u" PM" : u" AM";
            break;
        }
    }
    if (!designator.empty()) time = text::Trim(time) + designator;
    if (date.empty() && time == rest) return false;
    *out = date.empty() ? time : date + (time.empty() || time[0] == u' ' ? u"" : u" ") + time;
    return true;
}

WString ShortDateText(const DateParts& p) {
    const res::LocaleFormats& f = ScriptFormats();
    WString d = TwoDigits(p.day, f.dayTwoDigits), m = TwoDigits(p.month, f.monthTwoDigits);
    WString y = text::Format(u"%04d", p.year);
    WString sep(1, f.dateSeparator);
    switch (f.dateOrder) {
        case res::DateOrder::DayMonthYear:
            return d + sep + m + sep + y;
        case res::DateOrder::YearMonthDay:
            return y + sep + m + sep + d;
        default:
            return m + sep + d + sep + text::IntToText(p.year);
    }
}

WString LongTimeText(const DateParts& p) {
    const res::LocaleFormats& f = ScriptFormats();
    WString sep(1, f.timeSeparator);
    if (f.hour24)
        return TwoDigits(p.hour, f.hourTwoDigits) + sep + TwoDigits(p.minute, true) + sep +
               TwoDigits(p.second, true);
    int h = p.hour % 12 == 0 ? 12 : p.hour % 12;
    WString t = TwoDigits(h, f.hourTwoDigits) + sep + TwoDigits(p.minute, true) + sep +
                TwoDigits(p.second, true);
    WString designator = p.hour < 12 ? f.am : f.pm;
    return f.designatorFirst ? designator + u" " + t : t + u" " + designator;
}

WString ShortTimeText(const DateParts& p) {
    return text::Format(u"%02d", p.hour) + ScriptFormats().timeSeparator +
           text::Format(u"%02d", p.minute);
}

WString GeneralDateText(double d) {
    if (&ScriptFormats() == &UsFormats()) return ::FormatDate(d);
    DateParts p = SplitDate(d);
    bool hasDay = std::trunc(d) != 0;
    bool hasTime = p.hour || p.minute || p.second;
    WString out;
    if (hasDay) out = ShortDateText(p);
    if (!hasDay || hasTime) {
        if (!out.empty()) out += u' ';
        out += LongTimeText(p);
    }
    return out;
}

}  // namespace vbs
