#include "platform/com/variant.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <vector>

#include "platform/com/com.h"

// The layout crosses the extension interface: keep it fixed.
static_assert(sizeof(VARIANT) == 24, "VARIANT must be 24 bytes");
static_assert(offsetof(VARIANT, vt) == 0);
static_assert(offsetof(VARIANT, lVal) == 8);
static_assert(offsetof(VARIANT, dblVal) == 8);
static_assert(offsetof(VARIANT, bstrVal) == 8);
static_assert(offsetof(VARIANT, brecVal) == 8);
static_assert(sizeof(CY) == 8);
static_assert(sizeof(SAFEARRAYBOUND) == 8);

// ---------------------------------------------------------------- BSTR

namespace {

uint32_t* BstrHeader(BSTR s) {
    return reinterpret_cast<uint32_t*>(s) - 1;
}

BSTR AllocBytes(uint32_t len) {
    if (len > 0x3FFFFFF0u) return nullptr;
    size_t bytes = sizeof(uint32_t) + (static_cast<size_t>(len) + 1) * sizeof(WChar);
    auto* block = static_cast<uint32_t*>(std::malloc(bytes));
    if (!block) return nullptr;
    block[0] = len * static_cast<uint32_t>(sizeof(WChar));
    BSTR s = reinterpret_cast<BSTR>(block + 1);
    s[len] = 0;
    return s;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* s, uint32_t len) {
    BSTR r = AllocBytes(len);
    if (!r) return nullptr;
    if (s)
        std::memcpy(r, s, len * sizeof(WChar));
    else
        std::memset(r, 0, len * sizeof(WChar));
    return r;
}

BSTR SysAllocStringByteLen(const char* s, uint32_t bytes) {
    BSTR r = AllocBytes((bytes + 1) / 2);
    if (!r) return nullptr;
    *BstrHeader(r) = bytes;
    char* p = reinterpret_cast<char*>(r);
    if (s)
        std::memcpy(p, s, bytes);
    else
        std::memset(p, 0, bytes);
    if (bytes & 1) p[bytes] = 0;
    return r;
}

BSTR SysAllocString(const OLECHAR* s) {
    if (!s) return nullptr;
    return SysAllocStringLen(s, static_cast<uint32_t>(text::Length(s)));
}

BSTR SysAllocString(WStringView s) {
    return SysAllocStringLen(s.data() ? s.data() : u"", static_cast<uint32_t>(s.size()));
}

void SysFreeString(BSTR s) {
    if (s) std::free(BstrHeader(s));
}

uint32_t SysStringLen(BSTR s) {
    return s ? *BstrHeader(s) / sizeof(WChar) : 0;
}
uint32_t SysStringByteLen(BSTR s) {
    return s ? *BstrHeader(s) : 0;
}

bool SysReAllocStringLen(BSTR* ps, const OLECHAR* s, uint32_t len) {
    if (!ps) return false;
    BSTR n = SysAllocStringLen(s, len);
    if (!n) return false;
    SysFreeString(*ps);
    *ps = n;
    return true;
}

bool SysReAllocString(BSTR* ps, const OLECHAR* s) {
    if (!s) s = u"";
    return SysReAllocStringLen(ps, s, static_cast<uint32_t>(text::Length(s)));
}

BSTR AllocBstr(const OLECHAR* s) {
    BSTR r = SysAllocString(s ? s : u"");
    if (!r) throw std::bad_alloc();
    return r;
}

BSTR ReallocBstr(BSTR* ps, const OLECHAR* s) {
    if (!SysReAllocString(ps, s)) throw std::bad_alloc();
    return *ps;
}

// ---------------------------------------------------------------- basics

void VariantInit(VARIANT* v) {
    std::memset(v, 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    const bool pointer = (v->vt & (VT_BYREF | VT_ARRAY)) != 0 || v->vt == VT_BSTR ||
                         v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN || v->vt == VT_RECORD;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            if (v->parray) {
                HRESULT hr = SafeArrayDestroy(v->parray);
                if (FAILED(hr)) return hr;
            }
        } else {
            switch (v->vt) {
                case VT_BSTR:
                    SysFreeString(v->bstrVal);
                    break;
                case VT_DISPATCH:
                    if (v->pdispVal) v->pdispVal->Release();
                    break;
                case VT_UNKNOWN:
                    if (v->punkVal) v->punkVal->Release();
                    break;
                default:
                    break;
            }
        }
    }
    // As on the platform, a plain value's bits stay where they were (the
    // program reads a cleared event result's stored value); pointers are
    // zeroed so nothing dangles.
    v->vt = VT_EMPTY;
    if (pointer) v->brecVal = {nullptr, nullptr};
    return S_OK;
}

namespace {

bool IsKnownScalar(VARTYPE t) {
    switch (t) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_UNKNOWN:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

// Copies a by-value scalar (owned data duplicated) from a raw value pointer.
HRESULT CopyValue(VARIANT* dst, VARTYPE t, const void* p) {
    VariantInit(dst);
    if (t & VT_ARRAY) {
        SAFEARRAY* copy = nullptr;
        SAFEARRAY* const* src = static_cast<SAFEARRAY* const*>(p);
        if (*src) {
            HRESULT hr = SafeArrayCopy(*src, &copy);
            if (FAILED(hr)) return hr;
        }
        dst->vt = t;
        dst->parray = copy;
        return S_OK;
    }
    switch (t) {
        case VT_EMPTY:
        case VT_NULL:
            break;
        case VT_I1:
        case VT_UI1:
            std::memcpy(&dst->bVal, p, 1);
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            std::memcpy(&dst->iVal, p, 2);
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
        case VT_R4:
            std::memcpy(&dst->lVal, p, 4);
            break;
        case VT_R8:
        case VT_DATE:
        case VT_CY:
        case VT_I8:
        case VT_UI8:
            std::memcpy(&dst->llVal, p, 8);
            break;
        case VT_BSTR: {
            BSTR s = *static_cast<const BSTR*>(p);
            if (s) {
                dst->bstrVal =
                    SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s));
                if (!dst->bstrVal) return E_OUTOFMEMORY;
            }
            break;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* u = *static_cast<IUnknown* const*>(p);
            if (u) u->AddRef();
            dst->punkVal = u;
            break;
        }
        default:
            return DISP_E_BADVARTYPE;
    }
    dst->vt = t;
    return S_OK;
}

}  // namespace

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
    if (!dst || !src) return E_INVALIDARG;
    if (dst == src) return S_OK;
    VARIANT tmp;
    if (src->vt & VT_BYREF) {
        VariantInit(&tmp);
        tmp = *src;
    } else if (src->vt == VT_VARIANT) {
        return DISP_E_BADVARTYPE;
    } else {
        if (!(src->vt & VT_ARRAY) && !IsKnownScalar(src->vt)) return DISP_E_BADVARTYPE;
        HRESULT hr = CopyValue(&tmp, src->vt, &src->llVal);
        if (FAILED(hr)) return hr;
    }
    VariantClear(dst);
    *dst = tmp;
    return S_OK;
}

const VARIANT* VariantDeref(const VARIANT* v) {
    for (int depth = 0; v && v->vt == (VT_BYREF | VT_VARIANT) && depth < 16; ++depth)
        v = v->pvarVal;
    return v;
}

VARIANT* VariantDeref(VARIANT* v) {
    return const_cast<VARIANT*>(VariantDeref(static_cast<const VARIANT*>(v)));
}

HRESULT VariantCopyInd(VARIANT* dst, const VARIANT* src) {
    if (!dst || !src) return E_INVALIDARG;
    src = VariantDeref(src);
    if (!src) return E_INVALIDARG;
    if (!(src->vt & VT_BYREF)) {
        if (dst == src) return S_OK;
        return VariantCopy(dst, src);
    }
    if (!src->byref) return E_INVALIDARG;
    VARIANT tmp;
    HRESULT hr = CopyValue(&tmp, src->vt & ~VT_BYREF, src->byref);
    if (FAILED(hr)) return hr;
    if (dst != src) VariantClear(dst);
    *dst = tmp;
    return S_OK;
}

// ---------------------------------------------------------------- dates

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yy + (*m <= 2));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysInMonth(int y, int m) {
    static const int k[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : k[m - 1];
}

// Splits a DATE into calendar day (days from the OLE epoch) and seconds of day.
bool SplitDate(DATE d, int64_t* day, int* seconds) {
    if (!(d >= kMinDate - 1 && d <= kMaxDate + 1)) return false;
    double whole = std::trunc(d);
    double frac = std::fabs(d - whole);
    int64_t dayIndex = static_cast<int64_t>(whole);
    long secs = std::lround(frac * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        dayIndex += 1;
    }
    *day = dayIndex;
    *seconds = static_cast<int>(secs);
    return true;
}

DATE JoinDate(int64_t day, int seconds) {
    double t = seconds / 86400.0;
    // For days before the epoch the time still counts forward from the day.
    return day >= 0 ? static_cast<double>(day) + t : static_cast<double>(day) - t;
}

}  // namespace

bool DateFromParts(int year, int month, int day, int hour, int minute, int second, DATE* out) {
    // Carry months into years first, then days through the calendar.
    int64_t y = year, m = month;
    y += (m - 1 >= 0) ? (m - 1) / 12 : -((12 - m) / 12);
    m = ((m - 1) % 12 + 12) % 12 + 1;
    if (y < 100 || y > 9999 + 1) return false;
    int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), 1) - kOleEpoch + (day - 1);
    int64_t secs = static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + second;
    int64_t carry = secs >= 0 ? secs / 86400 : -((86399 - secs) / 86400);
    days += carry;
    secs -= carry * 86400;
    DATE r = JoinDate(days, static_cast<int>(secs));
    if (r < kMinDate || r > kMaxDate) return false;
    *out = r;
    return true;
}

bool SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* out) {
    if (!st || !out) return false;
    if (st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
        st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 ||
        st->wSecond > 59 || st->wYear < 100 || st->wYear > 9999)
        return false;
    return DateFromParts(st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond, out);
}

bool VariantTimeToSystemTime(DATE d, SYSTEMTIME* out) {
    if (!out || !(d >= kMinDate && d <= kMaxDate + 1.0 / 86400)) return false;
    int64_t day;
    int secs;
    if (!SplitDate(d, &day, &secs)) return false;
    int y, m, dd;
    CivilFromDays(day + kOleEpoch, &y, &m, &dd);
    if (y < 100 || y > 9999) return false;
    out->wYear = static_cast<uint16_t>(y);
    out->wMonth = static_cast<uint16_t>(m);
    out->wDay = static_cast<uint16_t>(dd);
    // 1899-12-30 was a Saturday (6).
    out->wDayOfWeek = static_cast<uint16_t>((((day + 6) % 7) + 7) % 7);
    out->wHour = static_cast<uint16_t>(secs / 3600);
    out->wMinute = static_cast<uint16_t>(secs / 60 % 60);
    out->wSecond = static_cast<uint16_t>(secs % 60);
    out->wMilliseconds = 0;
    return true;
}

WString FormatDate(DATE d) {
    int64_t day;
    int secs;
    if (!SplitDate(d, &day, &secs)) return WString();
    WString out;
    if (day != 0) {
        int y, m, dd;
        CivilFromDays(day + kOleEpoch, &y, &m, &dd);
        out = text::Format(u"%d/%d/%d", m, dd, y);
    }
    if (day == 0 || secs != 0) {
        int h = secs / 3600;
        int h12 = h % 12 == 0 ? 12 : h % 12;
        if (!out.empty()) out += u' ';
        out += text::Format(u"%d:%02d:%02d %s", h12, secs / 60 % 60, secs % 60,
                            h < 12 ? u"AM" : u"PM");
    }
    return out;
}

// ---------------------------------------------------------------- numbers as text

WString FormatR8(double d) {
    if (std::isnan(d)) return u"-1.#IND";
    if (std::isinf(d)) return d > 0 ? u"1.#INF" : u"-1.#INF";
    WString s = text::DoubleToText(d, 15);
    for (auto& c : s)
        if (c == u'e') c = u'E';
    return s;
}

WString FormatR4(float f) {
    if (std::isnan(f) || std::isinf(f)) return FormatR8(f);
    WString s = text::DoubleToText(f, 7);
    for (auto& c : s)
        if (c == u'e') c = u'E';
    return s;
}

WString FormatCy(CY c) {
    int64_t v = c.int64;
    bool neg = v < 0;
    uint64_t mag = neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    WString s = text::IntToText(static_cast<long long>(mag / 10000));
    uint64_t frac = mag % 10000;
    if (frac) {
        WString f = text::Format(u"%04u", static_cast<unsigned>(frac));
        while (!f.empty() && f.back() == u'0') f.pop_back();
        s += u'.';
        s += f;
    }
    return neg ? u"-" + s : s;
}

namespace {

bool IsSpace(WChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0;
}

WStringView TrimView(WStringView s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool ParseNumber(WStringView in, double* out) {
    WStringView s = TrimView(in);
    if (s.empty()) return false;
    if (s.size() >= 2 && s[0] == u'&') {
        int base = (s[1] == u'H' || s[1] == u'h') ? 16 : (s[1] == u'O' || s[1] == u'o') ? 8 : 0;
        if (!base) return false;
        WStringView digits = s.substr(2);
        if (digits.empty() || digits.size() > (base == 16 ? 8u : 11u)) return false;
        uint64_t v = 0;
        for (WChar c : digits) {
            int dv = text::HexDigit(c);
            if (dv < 0 || dv >= base) return false;
            v = v * base + dv;
        }
        if (v > 0xFFFFFFFFu) return false;
        // Hex and octal literals are 32-bit patterns: &HFFFFFFFF is -1.
        *out = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
        return true;
    }
    std::u16string buf;
    size_t i = 0;
    if (s[i] == u'+' || s[i] == u'-') buf += s[i++];
    bool digits = false;
    for (; i < s.size(); ++i) {
        WChar c = s[i];
        if (c >= u'0' && c <= u'9') {
            buf += c;
            digits = true;
        } else if (c == u',' && digits && i + 1 < s.size() && s[i + 1] >= u'0' &&
                   s[i + 1] <= u'9') {
            continue;  // grouping
        } else {
            break;
        }
    }
    if (i < s.size() && s[i] == u'.') {
        buf += u'.';
        for (++i; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
            buf += s[i];
            digits = true;
        }
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        size_t j = i + 1;
        std::u16string exp = u"e";
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) exp += s[j++];
        size_t start = j;
        while (j < s.size() && s[j] >= u'0' && s[j] <= u'9') exp += s[j++];
        if (j == start) return false;
        buf += exp;
        i = j;
    }
    if (i != s.size()) return false;
    size_t used = 0;
    double v = text::ParseDouble(buf, &used);
    if (used != buf.size()) return false;
    *out = v;
    return true;  // may be infinite: the caller reports the overflow
}

namespace {

int MonthFromName(WStringView w) {
    static const char16_t* const kNames[] = {u"january",   u"february", u"march",    u"april",
                                             u"may",       u"june",     u"july",     u"august",
                                             u"september", u"october",  u"november", u"december"};
    if (w.size() < 3) return 0;
    WString lw = text::ToLower(w);
    for (int m = 0; m < 12; ++m) {
        WStringView n(kNames[m]);
        if (lw.size() <= n.size() && n.substr(0, lw.size()) == lw) return m + 1;
    }
    return 0;
}

struct DateToken {
    enum Kind { kNumber, kWord, kSep } kind;
    WString text;
    int value = 0;
    int digits = 0;
};

}  // namespace

bool ParseDate(WStringView in, DATE* out) {
    WStringView s = TrimView(in);
    if (s.empty()) return false;
    std::vector<DateToken> toks;
    for (size_t i = 0; i < s.size();) {
        WChar c = s[i];
        if (IsSpace(c)) {
            ++i;
        } else if (c >= u'0' && c <= u'9') {
            DateToken t{DateToken::kNumber, {}};
            long long v = 0;
            while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
                v = v * 10 + (s[i] - u'0');
                if (v > 100000) return false;
                t.text += s[i++];
            }
            t.value = static_cast<int>(v);
            t.digits = static_cast<int>(t.text.size());
            toks.push_back(t);
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            DateToken t{DateToken::kWord, {}};
            while (i < s.size() &&
                   ((s[i] >= u'a' && s[i] <= u'z') || (s[i] >= u'A' && s[i] <= u'Z')))
                t.text += s[i++];
            toks.push_back(t);
        } else if (c == u'/' || c == u'-' || c == u':' || c == u',' || c == u'.') {
            toks.push_back(DateToken{DateToken::kSep, WString(1, c)});
            ++i;
        } else {
            return false;
        }
    }
    // Time: n ':' n [':' n] [AM|PM], or n AM|PM.
    int hour = -1, minute = 0, second = 0;
    std::vector<DateToken> rest;
    for (size_t i = 0; i < toks.size(); ++i) {
        auto isNum = [&](size_t k) {
            return k < toks.size() && toks[k].kind == DateToken::kNumber;
        };
        auto isSep = [&](size_t k, char16_t c) {
            return k < toks.size() && toks[k].kind == DateToken::kSep && toks[k].text[0] == c;
        };
        auto ampm = [&](size_t k) -> int {
            if (k >= toks.size() || toks[k].kind != DateToken::kWord) return 0;
            WString w = text::ToLower(toks[k].text);
            if (w == u"am" || w == u"a") return 1;
            if (w == u"pm" || w == u"p") return 2;
            return 0;
        };
        if (hour < 0 && isNum(i) && (isSep(i + 1, u':') || ampm(i + 1))) {
            hour = toks[i].value;
            size_t k = i + 1;
            if (isSep(k, u':')) {
                if (!isNum(k + 1)) return false;
                minute = toks[k + 1].value;
                k += 2;
                if (isSep(k, u':')) {
                    if (!isNum(k + 1)) return false;
                    second = toks[k + 1].value;
                    k += 2;
                }
            }
            if (int ap = ampm(k)) {
                if (hour < 1 || hour > 12) return false;
                if (ap == 1 && hour == 12) hour = 0;
                if (ap == 2 && hour != 12) hour += 12;
                ++k;
            }
            if (hour > 23 || minute > 59 || second > 59) return false;
            i = k - 1;
            continue;
        }
        rest.push_back(toks[i]);
    }
    // Date: numbers and at most one month name, separated by / - , . or blanks.
    std::vector<DateToken> parts;
    int monthByName = 0;
    int seps = 0;
    WChar sep = 0;
    for (auto& t : rest) {
        if (t.kind == DateToken::kSep) {
            if (t.text[0] == u':') return false;
            if (t.text[0] == u'/' || t.text[0] == u'-' || t.text[0] == u'.') {
                if (sep && sep != t.text[0] && !monthByName) return false;
                sep = t.text[0];
                ++seps;
            }
            continue;
        }
        if (t.kind == DateToken::kWord) {
            int m = MonthFromName(t.text);
            if (!m || monthByName) return false;
            monthByName = m;
            parts.push_back(t);
            continue;
        }
        parts.push_back(t);
    }
    int64_t dayIndex = 0;
    if (!parts.empty()) {
        int y = 0, m = 0, d = 0;
        auto year2 = [](const DateToken& t) {
            if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
            return t.value;
        };
        if (monthByName) {
            std::vector<DateToken> nums;
            size_t namePos = 0;
            for (size_t k = 0; k < parts.size(); ++k) {
                if (parts[k].kind == DateToken::kWord)
                    namePos = k;
                else
                    nums.push_back(parts[k]);
            }
            m = monthByName;
            if (nums.size() == 1) {
                d = nums[0].value;
                std::time_t now = std::time(nullptr);
                std::tm tmv{};
                localtime_r(&now, &tmv);
                y = tmv.tm_year + 1900;
            } else if (nums.size() == 2) {
                // "Jan 5 2020", "5 Jan 2020", "2020 Jan 5"
                if (nums[0].digits >= 3 || (namePos == 1 && nums[0].value > 31)) {
                    y = year2(nums[0]);
                    d = nums[1].value;
                } else {
                    d = nums[0].value;
                    y = year2(nums[1]);
                }
            } else {
                return false;
            }
        } else if (parts.size() == 3) {
            if (parts[0].digits >= 3 || parts[0].value > 31) {  // Y-M-D
                y = year2(parts[0]);
                m = parts[1].value;
                d = parts[2].value;
            } else {  // M/D/Y
                m = parts[0].value;
                d = parts[1].value;
                y = year2(parts[2]);
            }
        } else if (parts.size() == 2 && seps >= 1) {  // M/D of this year
            m = parts[0].value;
            d = parts[1].value;
            std::time_t now = std::time(nullptr);
            std::tm tmv{};
            localtime_r(&now, &tmv);
            y = tmv.tm_year + 1900;
        } else {
            return false;
        }
        if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
        dayIndex = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - kOleEpoch;
    } else if (hour < 0) {
        return false;
    }
    *out = JoinDate(dayIndex, hour < 0 ? 0 : hour * 3600 + minute * 60 + second);
    return true;
}

// ---------------------------------------------------------------- VariantChangeType

namespace {

// A numeric source reduced to one of two exact forms.
struct Number {
    bool isInt = true;
    int64_t i = 0;
    double d = 0;
    bool isCy = false;  // i holds currency units (value * 10000)
    double AsDouble() const {
        if (isCy) return static_cast<double>(i) / 10000.0;
        return isInt ? static_cast<double>(i) : d;
    }
};

bool IsNumericVt(VARTYPE t) {
    switch (t) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

bool ToNumber(const VARIANT* v, Number* n) {
    switch (v->vt) {
        case VT_EMPTY:
            n->i = 0;
            return true;
        case VT_I1:
            n->i = v->cVal;
            return true;
        case VT_I2:
            n->i = v->iVal;
            return true;
        case VT_BOOL:
            n->i = v->boolVal;
            return true;
        case VT_I4:
        case VT_INT:
            n->i = v->lVal;
            return true;
        case VT_I8:
            n->i = v->llVal;
            return true;
        case VT_UI1:
            n->i = v->bVal;
            return true;
        case VT_UI2:
            n->i = v->uiVal;
            return true;
        case VT_UI4:
        case VT_UINT:
            n->i = v->ulVal;
            return true;
        case VT_UI8:
            if (v->ullVal > static_cast<uint64_t>(INT64_MAX)) {
                n->isInt = false;
                n->d = static_cast<double>(v->ullVal);
            } else {
                n->i = static_cast<int64_t>(v->ullVal);
            }
            return true;
        case VT_R4:
            n->isInt = false;
            n->d = v->fltVal;
            return true;
        case VT_R8:
            n->isInt = false;
            n->d = v->dblVal;
            return true;
        case VT_DATE:
            n->isInt = false;
            n->d = v->date;
            return true;
        case VT_CY:
            n->isCy = true;
            n->i = v->cyVal.int64;
            return true;
        default:
            return false;
    }
}

// Round half to even.
double RoundEven(double d) {
    double r = std::floor(d);
    double diff = d - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return r;
}

// Integer value of a number, rounding as the platform does; false on overflow.
bool ToInteger(const Number& n, int64_t lo, int64_t hi, int64_t* out) {
    if (n.isCy) {
        int64_t q = n.i / 10000, r = n.i % 10000;
        // Half to even on the fractional units.
        if (r > 5000 || (r == 5000 && (q & 1))) ++q;
        if (r < -5000 || (r == -5000 && (q & 1))) --q;
        if (q < lo || q > hi) return false;
        *out = q;
        return true;
    }
    if (n.isInt) {
        if (n.i < lo || n.i > hi) return false;
        *out = n.i;
        return true;
    }
    if (std::isnan(n.d)) return false;
    double r = RoundEven(n.d);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return false;
    if (r >= 9.2233720368547758e18) return false;
    *out = static_cast<int64_t>(r);
    return true;
}

HRESULT NumberTo(const Number& n, VARTYPE vt, VARIANT* out) {
    int64_t i;
    VariantInit(out);
    switch (vt) {
        case VT_I1:
            if (!ToInteger(n, INT8_MIN, INT8_MAX, &i)) return DISP_E_OVERFLOW;
            out->cVal = static_cast<int8_t>(i);
            break;
        case VT_UI1:
            if (!ToInteger(n, 0, UINT8_MAX, &i)) return DISP_E_OVERFLOW;
            out->bVal = static_cast<uint8_t>(i);
            break;
        case VT_I2:
            if (!ToInteger(n, INT16_MIN, INT16_MAX, &i)) return DISP_E_OVERFLOW;
            out->iVal = static_cast<int16_t>(i);
            break;
        case VT_UI2:
            if (!ToInteger(n, 0, UINT16_MAX, &i)) return DISP_E_OVERFLOW;
            out->uiVal = static_cast<uint16_t>(i);
            break;
        case VT_I4:
        case VT_INT:
            if (!ToInteger(n, INT32_MIN, INT32_MAX, &i)) return DISP_E_OVERFLOW;
            out->lVal = static_cast<int32_t>(i);
            break;
        case VT_UI4:
        case VT_UINT:
            if (!ToInteger(n, 0, UINT32_MAX, &i)) return DISP_E_OVERFLOW;
            out->ulVal = static_cast<uint32_t>(i);
            break;
        case VT_I8:
            if (!ToInteger(n, INT64_MIN, INT64_MAX, &i)) return DISP_E_OVERFLOW;
            out->llVal = i;
            break;
        case VT_UI8:
            if (!n.isInt && !n.isCy && n.d >= 9.2233720368547758e18) {
                double r = RoundEven(n.d);
                if (r >= 1.8446744073709552e19) return DISP_E_OVERFLOW;
                out->ullVal = static_cast<uint64_t>(r);
                break;
            }
            if (!ToInteger(n, 0, INT64_MAX, &i)) return DISP_E_OVERFLOW;
            out->ullVal = static_cast<uint64_t>(i);
            break;
        case VT_R4: {
            double d = n.AsDouble();
            if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
            out->fltVal = static_cast<float>(d);
            break;
        }
        case VT_R8:
            out->dblVal = n.AsDouble();
            break;
        case VT_DATE: {
            double d = n.AsDouble();
            if (!(d >= kMinDate && d < kMaxDate + 1.0 / 86400)) return DISP_E_OVERFLOW;
            out->date = d;
            break;
        }
        case VT_CY: {
            if (n.isCy) {
                out->cyVal.int64 = n.i;
                break;
            }
            if (n.isInt) {
                if (n.i > INT64_MAX / 10000 || n.i < INT64_MIN / 10000) return DISP_E_OVERFLOW;
                out->cyVal.int64 = n.i * 10000;
                break;
            }
            double r = RoundEven(n.d * 10000.0);
            if (!(r > -9.2233720368547758e18 && r < 9.2233720368547758e18)) return DISP_E_OVERFLOW;
            out->cyVal.int64 = static_cast<int64_t>(r);
            break;
        }
        case VT_BOOL: {
            bool nz = n.isInt || n.isCy ? n.i != 0 : n.d != 0.0;
            out->boolVal = nz ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    out->vt = vt;
    return S_OK;
}

WString NumberText(const VARIANT* v, uint16_t flags) {
    switch (v->vt) {
        case VT_R4:
            return FormatR4(v->fltVal);
        case VT_R8:
            return FormatR8(v->dblVal);
        case VT_DATE:
            return FormatDate(v->date);
        case VT_CY:
            return FormatCy(v->cyVal);
        case VT_BOOL:
            if (flags & VARIANT_ALPHABOOL) return v->boolVal ? u"True" : u"False";
            return v->boolVal ? u"-1" : u"0";
        case VT_UI8:
            return text::FromLatin1(std::to_string(v->ullVal));
        default: {
            Number n;
            ToNumber(v, &n);
            return text::IntToText(n.i);
        }
    }
}

HRESULT FromText(WStringView s, VARTYPE vt, VARIANT* out) {
    VariantInit(out);
    if (vt == VT_DATE) {
        DATE d;
        if (ParseDate(s, &d)) {
            out->vt = VT_DATE;
            out->date = d;
            return S_OK;
        }
        double num;
        if (!ParseNumber(s, &num)) return DISP_E_TYPEMISMATCH;
        Number n;
        n.isInt = false;
        n.d = num;
        return NumberTo(n, VT_DATE, out);
    }
    if (vt == VT_BOOL) {
        WStringView t = TrimView(s);
        if (text::EqualsNoCase(t, u"true") || text::EqualsNoCase(t, u"#true#")) {
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_TRUE;
            return S_OK;
        }
        if (text::EqualsNoCase(t, u"false") || text::EqualsNoCase(t, u"#false#")) {
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_FALSE;
            return S_OK;
        }
    }
    double num;
    if (!ParseNumber(s, &num)) return DISP_E_TYPEMISMATCH;
    if (!std::isfinite(num)) return DISP_E_OVERFLOW;
    Number n;
    n.isInt = false;
    n.d = num;
    return NumberTo(n, vt, out);
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANT* dst, const VARIANT* srcIn, LCID, uint16_t flags, VARTYPE vt) {
    if (!dst || !srcIn) return E_INVALIDARG;
    if (vt & VT_BYREF) return DISP_E_TYPEMISMATCH;
    // Read through references.
    VARIANT local;
    VariantInit(&local);
    const VARIANT* src = VariantDeref(srcIn);
    if (!src) return E_INVALIDARG;
    ComVariant held;  // keeps a dereferenced or default value alive
    if (src->vt & VT_BYREF) {
        if (!src->byref) return E_INVALIDARG;
        HRESULT hr = VariantCopyInd(&held, src);
        if (FAILED(hr)) return hr;
        src = &held;
    }
    // Objects give their default value unless an object is wanted.
    if ((src->vt == VT_DISPATCH) && vt != VT_DISPATCH && vt != VT_UNKNOWN && vt != VT_VARIANT) {
        if (!src->pdispVal) return DISP_E_TYPEMISMATCH;
        if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
        ComVariant value;
        HRESULT hr = GetDefaultValue(src->pdispVal, &value);
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        if (value.vt == VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        held = std::move(value);
        src = &held;
    }
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = S_OK;
    VARTYPE from = src->vt;
    if (vt == VT_VARIANT || vt == from) {
        hr = VariantCopy(&result, src);
    } else if (vt & VT_ARRAY) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (from & VT_ARRAY) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (vt == VT_EMPTY) {
        hr = S_OK;  // anything can be emptied
    } else if (vt == VT_NULL) {
        if (from != VT_EMPTY)
            hr = DISP_E_TYPEMISMATCH;
        else
            result.vt = VT_NULL;
    } else if (from == VT_NULL) {
        hr = DISP_E_TYPEMISMATCH;
    } else if (vt == VT_BSTR) {
        if (from == VT_EMPTY) {
            result.vt = VT_BSTR;
            result.bstrVal = SysAllocString(u"");
        } else if (IsNumericVt(from)) {
            result.vt = VT_BSTR;
            result.bstrVal = SysAllocString(NumberText(src, flags));
        } else {
            hr = DISP_E_TYPEMISMATCH;
        }
        if (SUCCEEDED(hr) && !result.bstrVal) hr = E_OUTOFMEMORY;
    } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (from == VT_EMPTY) {
            result.vt = vt;
            result.punkVal = nullptr;
        } else if (from == VT_DISPATCH || from == VT_UNKNOWN) {
            if (!src->punkVal) {
                result.vt = vt;
            } else {
                void* p = nullptr;
                hr = src->punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                                  &p);
                if (SUCCEEDED(hr)) {
                    result.vt = vt;
                    result.punkVal = static_cast<IUnknown*>(p);
                } else {
                    hr = DISP_E_TYPEMISMATCH;
                }
            }
        } else {
            hr = DISP_E_TYPEMISMATCH;
        }
    } else if (vt == VT_ERROR) {
        if (from == VT_I4 || from == VT_UI4 || from == VT_INT || from == VT_I2 || from == VT_UI2) {
            Number n;
            ToNumber(src, &n);
            result.vt = VT_ERROR;
            result.scode = static_cast<SCODE>(n.i);
        } else {
            hr = DISP_E_TYPEMISMATCH;
        }
    } else if (from == VT_BSTR) {
        hr = FromText(BstrView(src->bstrVal), vt, &result);
    } else {
        Number n;
        if (!ToNumber(src, &n))
            hr = DISP_E_TYPEMISMATCH;
        else
            hr = NumberTo(n, vt, &result);
    }
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    VariantClear(dst);
    *dst = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, uint16_t flags, VARTYPE vt) {
    return VariantChangeTypeEx(dst, src, LOCALE_EN_US, flags, vt);
}

// ---------------------------------------------------------------- builders

void VariantFromBool(VARIANT* v, bool b) {
    VariantInit(v);
    v->vt = VT_BOOL;
    v->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}
void VariantFromDouble(VARIANT* v, double d) {
    VariantInit(v);
    v->vt = VT_R8;
    v->dblVal = d;
}
void VariantFromLong(VARIANT* v, int32_t n) {
    VariantInit(v);
    v->vt = VT_I4;
    v->lVal = n;
}
void VariantFromShort(VARIANT* v, int16_t n) {
    VariantInit(v);
    v->vt = VT_I2;
    v->iVal = n;
}
void VariantFromByte(VARIANT* v, uint8_t n) {
    VariantInit(v);
    v->vt = VT_UI1;
    v->bVal = n;
}
void VariantFromDate(VARIANT* v, DATE d) {
    VariantInit(v);
    v->vt = VT_DATE;
    v->date = d;
}
bool VariantFromSystemTime(VARIANT* v, const SYSTEMTIME* st) {
    DATE d;
    VariantInit(v);
    if (!SystemTimeToVariantTime(st, &d)) return false;
    VariantFromDate(v, d);
    return true;
}
void VariantFromBstr(VARIANT* v, BSTR s) {
    VariantInit(v);
    v->vt = VT_BSTR;
    v->bstrVal = s;
}
void VariantFromString(VARIANT* v, WStringView s) {
    VariantInit(v);
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(s);
    if (!v->bstrVal) throw std::bad_alloc();
}
void VariantFromDispatch(VARIANT* v, IDispatch* d) {
    VariantInit(v);
    v->vt = VT_DISPATCH;
    v->pdispVal = d;
    if (d) d->AddRef();
}
