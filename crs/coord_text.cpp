#include "crs/coord_text.h"

#include <cmath>
#include <cstdint>

WChar HemisphereLetter(double value, bool isLatitude) {
    if (value < 0.0) return isLatitude ? u'S' : u'W';
    return isLatitude ? u'N' : u'E';
}

namespace {

// |value| for splitting into whole degrees; 0 for a value no int can count
// (not finite, or far beyond any coordinate), whose conversion to int would
// be undefined.
double SplitMagnitude(double value) {
    const double v = std::fabs(value);
    return v < 2147483647.0 ? v : 0.0;
}

}  // namespace

void DegreesToDms(double value, bool isLatitude, int* degrees, int* minutes, double* seconds,
                  WChar* letter) {
    *letter = HemisphereLetter(value, isLatitude);
    const double v = SplitMagnitude(value);
    int d = static_cast<int>(std::floor(v));
    const double m = (v - d) * 60.0;
    int mi = static_cast<int>(m);
    double s = (m - mi) * 60.0 + 0.000005;
    if (s >= 60.0) {
        s -= 60.0;
        if (++mi == 60) mi = 0, ++d;
    }
    *degrees = d;
    *minutes = mi;
    *seconds = s;
}

void SplitDms(double value, bool isLatitude, int* degrees, int* minutes, double* seconds,
              WChar* letter) {
    DegreesToDms(value, isLatitude, degrees, minutes, seconds, letter);
}

void DegreesToDmm(double value, bool isLatitude, int* degrees, double* minutes, WChar* letter) {
    *letter = HemisphereLetter(value, isLatitude);
    const double v = SplitMagnitude(value);
    *degrees = static_cast<int>(v);
    *minutes = (v - *degrees) * 60.0;
}

void SplitDmm(double value, bool isLatitude, int* degrees, double* minutes, WChar* letter) {
    DegreesToDmm(value, isLatitude, degrees, minutes, letter);
}

namespace {

// |value| as a whole number of units, `perDegree` units to the degree:
// degrees and the remainder split from one integer, so the carry is exact.
struct Rounded {
    int64_t degrees;
    int64_t rest;  // units below a degree
};

Rounded RoundTo(double value, int64_t perDegree, bool truncateWithEpsilon = false) {
    const double units = std::fabs(value) * static_cast<double>(perDegree);
    // Far outside any coordinate: keep the count in range; the text is
    // still a number, just not a meaningful one.
    const double capped = units < 9.0e15 ? units : 9.0e15;
    const int64_t n = truncateWithEpsilon ? static_cast<int64_t>(std::floor(capped + 0.005))
                                          : static_cast<int64_t>(std::llround(capped));
    return {n / perDegree, n % perDegree};
}

int Int(int64_t v) {
    return static_cast<int>(v);
}

}  // namespace

WString FormatDms(double value, bool isLatitude) {
    const WChar letter = HemisphereLetter(value, isLatitude);
    if (!std::isfinite(value)) return WString();
    // Thousandths of a second; the +0.000005 s of the split, then truncation.
    const Rounded r = RoundTo(value, 3600000, true);
    const int d = Int(r.degrees);
    const int m = Int(r.rest / 60000);
    const int whole = Int(r.rest % 60000 / 1000);
    const int thousandths = Int(r.rest % 1000);
    if (thousandths != 0)
        return text::Format(u"%3d\u00B0%02d'%02d.%03d\"%c", d, m, whole, thousandths, letter);
    if (whole != 0) return text::Format(u"%3d\u00B0%02d'%02d\"%c", d, m, whole, letter);
    if (m != 0) return text::Format(u"%3d\u00B0%02d'%c", d, m, letter);
    return text::Format(u"%3d\u00B0%c", d, letter);
}

WString FormatDmm(double value, bool isLatitude) {
    const WChar letter = HemisphereLetter(value, isLatitude);
    if (!std::isfinite(value)) return WString();
    const Rounded r = RoundTo(value, 600000);  // 1/10000 minute
    return text::Format(u"%3d\u00B0%7.4f'%c", Int(r.degrees), static_cast<double>(r.rest) / 10000.0,
                        letter);
}

WString FormatDmsForEdit(double value, bool isLatitude) {
    const WChar letter = HemisphereLetter(value, isLatitude);
    if (!std::isfinite(value)) return WString();
    const Rounded r = RoundTo(value, 3600000);  // thousandths of a second
    return text::Format(u"%d %02d %06.3lf %c", Int(r.degrees), Int(r.rest / 60000),
                        static_cast<double>(r.rest % 60000) / 1000.0, letter);
}

WString FormatDmmForEdit(double value, bool isLatitude) {
    const WChar letter = HemisphereLetter(value, isLatitude);
    if (!std::isfinite(value)) return WString();
    const Rounded r = RoundTo(value, 60000000000LL);  // 1e-9 minute
    return text::Format(u"%d %012.9lf %c", Int(r.degrees),
                        static_cast<double>(r.rest) / 1000000000.0, letter);
}

double DmsToDegrees(int degrees, int minutes, double seconds) {
    const double v = std::abs(degrees) + minutes / 60.0 + seconds / 3600.0;
    return degrees < 0 ? -v : v;
}

namespace {

bool IsDigit(WChar c) {
    return c >= u'0' && c <= u'9';
}
bool IsLetter(WChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
bool IsNegativeMark(WChar c) {
    return c == u'S' || c == u'W' || c == u's' || c == u'w' || c == u'-';
}
bool IsSeparator(WChar c) {
    // The marks of the display texts read as blanks, so those parse back.
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00B0' || c == u'\'' ||
           c == u'"';
}

}  // namespace

double ParseCoordinate(WStringView input, bool* ok) {
    if (ok) *ok = false;
    WString s(input);
    for (auto& c : s)
        if (IsSeparator(c)) c = u' ';
    s = text::Trim(s);
    if (s.empty()) return 0.0;
    bool negative = false;
    // A hemisphere letter at the end, or a letter or sign at the front.
    if (!IsDigit(s.back()) && s.back() != u'.') {
        if (!IsLetter(s.back())) return 0.0;
        negative = IsNegativeMark(s.back());
        s.pop_back();
        s = text::Trim(s);
    }
    if (!s.empty() && (IsLetter(s.front()) || s.front() == u'+' || s.front() == u'-')) {
        negative = negative || IsNegativeMark(s.front());
        s.erase(0, 1);
        s = text::Trim(s);
    }
    double parts[3] = {0.0, 0.0, 0.0};
    int count = 0;
    size_t pos = 0;
    while (pos < s.size()) {
        if (count == 3) return 0.0;  // more than degrees, minutes and seconds
        const WChar c = s[pos];
        if (!IsDigit(c) && c != u'.') return 0.0;  // signs and letters inside
        size_t used = 0;
        const double v = text::ParseDouble(WStringView(s).substr(pos), &used);
        if (used == 0) return 0.0;
        parts[count++] = v;
        pos += used;
        if (pos < s.size() && s[pos] != u' ') return 0.0;
        while (pos < s.size() && s[pos] == u' ') ++pos;
    }
    if (count == 0) return 0.0;
    const double v = parts[0] + parts[1] / 60.0 + parts[2] / 3600.0;
    if (ok) *ok = true;
    return negative ? -v : v;
}

WString FormatCString(const WChar* format, int value) {
    return text::Format(format, value);
}
