#include "core/text_helpers.h"

#include <algorithm>
#include <cmath>

double RoundToDecimals(double x, int n) {
    double f = std::pow(10.0, n);
    return std::floor(x * f + 0.5) / f;
}

bool ParseDouble(const WChar* text, double& value) {
    value = 0;
    if (!text) return false;
    while (*text == u' ' || *text == u'\t') ++text;
    const WChar* end = text;
    value = text::ParseDouble(text, &end);
    if (end == text) return false;
    if (value == 0 && *text != u'0') return false;
    while (*end == u' ' || *end == u'\t') ++end;
    return *end == 0;
}

int HexTextToInt(WStringView text) {
    uint32_t v = 0;
    for (WChar c : text) {
        const int d = text::HexDigit(c);
        if (d < 0) break;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int>(v);
}

bool IncrementTrailingNumber(WString& text) {
    if (text.empty() || text.back() < u'0' || text.back() > u'9') return false;
    for (size_t i = text.size(); i-- > 0;) {
        WChar& c = text[i];
        if (c < u'0' || c > u'9') break;
        if (c != u'9') {
            ++c;
            break;
        }
        c = u'0';
    }
    return true;
}

WString IntToText(int n, int radix) {
    if (radix == 10 || radix < 2 || radix > 36) return text::IntToText(n);
    uint32_t v = static_cast<uint32_t>(n);
    WString out;
    do {
        int d = v % radix;
        out += static_cast<WChar>(d < 10 ? u'0' + d : u'a' + d - 10);
        v /= radix;
    } while (v);
    std::reverse(out.begin(), out.end());
    return out;
}

int TextToInt(WStringView text) {
    return text::ParseLong(text);
}

WString DoubleToText(double x) {
    return text::Format(u"%.15g", x);
}

WString WidenText(std::string_view text) {
    return text::FromLatin1(text);
}

std::string NarrowText(WStringView text) {
    return text::ToLatin1(text);
}

bool IsNumberChar(WChar ch) {
    return (ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'-' || ch == u'.';
}

bool StartsWithNoCase(WStringView text, WStringView prefix) {
    return text.size() >= prefix.size() && text::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

double ParseLeadingNumber(const char* text) {
    WString run;
    if (text)
        for (; *text && IsNumberChar(static_cast<unsigned char>(*text)); ++text) run += *text;
    return text::ParseDouble(WStringView(run));
}

const WChar* FindTextNoCase(const WChar* text, const WChar* pattern) {
    if (!text || !*text) return nullptr;
    if (!pattern || !*pattern) return text;
    for (const WChar* t = text; *t; ++t) {
        const WChar *a = t, *b = pattern;
        while (*a && *b && text::ToLowerChar(*a) == text::ToLowerChar(*b)) ++a, ++b;
        if (!*b) return t;
        if (!*a) break;
    }
    return nullptr;
}

void SortStringArray(std::vector<WString>& array) {
    std::stable_sort(array.begin(), array.end(), [](const WString& a, const WString& b) {
        return text::CompareNoCase(a, b) < 0;
    });
}

const WChar* FindNameById(const IdNameEntry* table, int32_t id) {
    for (; table && table->name; ++table)
        if (table->id == id) return table->name;
    return nullptr;
}

int32_t FindIdByName(const IdNameEntry* table, WStringView name, bool caseSensitive) {
    for (; table && table->name; ++table)
        if (caseSensitive ? name == table->name : text::EqualsNoCase(name, table->name))
            return table->id;
    return -1;
}

int CountCharOutsideQuotes(WStringView text, WChar ch, bool quotesMatter) {
    int n = 0;
    bool quoted = false;
    for (WChar c : text) {
        if (quotesMatter && c == u'"')
            quoted = !quoted;
        else if (c == ch && !quoted)
            ++n;
    }
    return n;
}

WString ReplaceCharOutsideQuotes(WStringView text, WChar ch1, WStringView text1, WChar ch2,
                                 WStringView text2, bool quotesMatter) {
    WString out;
    out.reserve(text.size());
    bool quoted = false;
    for (WChar c : text) {
        if (quotesMatter && c == u'"') {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == ch1) {
            out += text1;
        } else if (!quoted && c == ch2) {
            out += text2;
        } else {
            out += c;
        }
    }
    return out;
}

POINT ComputeCentroid(const POINT* points, int count) {
    if (!points || count < 1) return {};
    if (count == 1) return points[0];
    if (count == 2)
        return {static_cast<LONG>((int64_t(points[0].x) + points[1].x) / 2),
                static_cast<LONG>((int64_t(points[0].y) + points[1].y) / 2)};
    // Wide sums: 32-bit ones overflow once a polygon spans a few thousand
    // pixels, and 64-bit ones near the ends of the coordinate range.
    using Wide = __int128;
    Wide sx = 0, sy = 0, area2 = 0;
    const POINT& p0 = points[0];
    for (int i = 1; i + 1 < count; ++i) {
        const POINT &p1 = points[i], &p2 = points[i + 1];
        Wide a = Wide(int64_t(p1.x) - p0.x) * (int64_t(p2.y) - p0.y) -
                 Wide(int64_t(p2.x) - p0.x) * (int64_t(p1.y) - p0.y);
        sx += Wide(int64_t(p0.x) + p1.x + p2.x) * a;
        sy += Wide(int64_t(p0.y) + p1.y + p2.y) * a;
        area2 += a;
    }
    if (area2 == 0) return p0;
    return {static_cast<LONG>(sx / (3 * area2)), static_cast<LONG>(sy / (3 * area2))};
}

bool ParseDocumentNumber(WStringView input, double& value) {
    WString t = text::Trim(input);
    if (t.find(u',') != WString::npos && t.find(u'.') == WString::npos)
        for (auto& c : t)
            if (c == u',') c = u'.';
    if (t.empty()) return false;
    size_t used = 0;
    double v = text::ParseDouble(WStringView(t), &used);
    if (used != t.size()) return false;
    value = v;
    return true;
}
