#include "platform/text/text.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace text {

namespace {

// Locale objects made once; never installed globally.
locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

locale_t UnicodeCtype() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return l ? l : newlocale(LC_CTYPE_MASK, "C", nullptr);
    }();
    return loc;
}

// Runs snprintf with the C locale on this thread only.
std::string CFormat(const char* spec, ...) __attribute__((format(printf, 1, 2)));
std::string CFormat(const char* spec, ...) {
    locale_t old = uselocale(CLocale());
    char buf[512];
    va_list ap;
    va_start(ap, spec);
    int n = vsnprintf(buf, sizeof buf, spec, ap);
    va_end(ap);
    std::string out;
    if (n >= 0 && n < static_cast<int>(sizeof buf)) {
        out.assign(buf, n);
    } else if (n >= 0) {
        out.resize(n + 1);
        va_start(ap, spec);
        vsnprintf(out.data(), out.size(), spec, ap);
        va_end(ap);
        out.resize(n);
    }
    uselocale(old);
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

const char* IconvName(unsigned cp, char* buf, size_t size) {
    if (cp == kCpAcp) cp = kAnsiCodePage;
    switch (cp) {
        case kCpUtf8: return "UTF-8";
        case 20127: return "ASCII";
        case 10000: return "MACINTOSH";
        case 10029: return "MAC-CENTRALEUROPE";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 1200: return "UTF-16LE";
        case 1201: return "UTF-16BE";
        default: break;
    }
    if (cp >= 28591 && cp <= 28606) {
        snprintf(buf, size, "ISO-8859-%u", cp - 28590);
        return buf;
    }
    snprintf(buf, size, "CP%u", cp);
    return buf;
}

// One iconv descriptor per code page and direction, per thread.
struct ConverterCache {
    std::map<std::pair<unsigned, bool>, iconv_t> map;
    ~ConverterCache() {
        for (auto& [key, cd] : map)
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

iconv_t Converter(unsigned cp, bool toWide) {
    thread_local ConverterCache converters;
    auto& cache = converters.map;
    auto key = std::make_pair(cp == kCpAcp ? kAnsiCodePage : cp, toWide);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    char buf[32];
    const char* name = IconvName(cp, buf, sizeof buf);
    iconv_t cd = toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE");
    cache.emplace(key, cd);
    return cd;
}

bool IsWindows125x(unsigned cp) {
    return cp == kCpAcp || (cp >= 1250 && cp <= 1258);
}

// A byte of 0x80-0x9F that a 125x page leaves undefined (iconv refuses it).
bool IsUndefined125xByte(unsigned cp, unsigned b) {
    if (!IsWindows125x(cp) || b < 0x80 || b > 0x9F) return false;
    iconv_t cd = Converter(cp, true);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[1] = {static_cast<char>(b)};
    char* ip = in;
    size_t inLeft = 1;
    char16_t unit;
    char* op = reinterpret_cast<char*>(&unit);
    size_t outLeft = sizeof unit;
    const bool undefined = iconv(cd, &ip, &inLeft, &op, &outLeft) == static_cast<size_t>(-1);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return undefined;
}

bool IsSpaceChar(unsigned c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int DigitValue(unsigned c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A' + 10);
    return 99;
}

// Shared integer scanner: returns the magnitude (saturated at 2^33) and sign.
template <typename Ch>
const Ch* ScanInteger(const Ch* s, int base, uint64_t& mag, bool& neg, bool& any) {
    const Ch* p = s;
    mag = 0;
    neg = false;
    any = false;
    while (IsSpaceChar(static_cast<unsigned>(*p))) ++p;
    if (*p == '+' || *p == '-') neg = (*p++ == '-');
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) p += 2;
    for (; DigitValue(static_cast<unsigned>(*p)) < base; ++p) {
        any = true;
        if (mag < (uint64_t{1} << 33)) mag = mag * base + DigitValue(static_cast<unsigned>(*p));
    }
    return any ? p : s;
}

// Accepts the C decimal syntax without nan/inf/hex; copies it to buf.
template <typename Ch>
const Ch* ScanDecimal(const Ch* s, std::string& buf) {
    const Ch* p = s;
    buf.clear();
    while (IsSpaceChar(static_cast<unsigned>(*p))) ++p;
    if (*p == '+' || *p == '-') buf += static_cast<char>(*p++);
    bool digits = false;
    while (*p >= '0' && *p <= '9') buf += static_cast<char>(*p++), digits = true;
    if (*p == '.') {
        buf += '.';
        ++p;
        while (*p >= '0' && *p <= '9') buf += static_cast<char>(*p++), digits = true;
    }
    if (!digits) return s;
    if (*p == 'e' || *p == 'E') {
        const Ch* q = p + 1;
        std::string e = "e";
        if (*q == '+' || *q == '-') e += static_cast<char>(*q++);
        if (*q >= '0' && *q <= '9') {
            while (*q >= '0' && *q <= '9') e += static_cast<char>(*q++);
            buf += e;
            p = q;
        }
    }
    return p;
}

// ---- the formatter, shared by the wide and the narrow forms ----

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1, precision = -1;
    enum Len { kNone, kHH, kH, kL, kLL, kBigL, kZ, kJ, kT } len = kNone;
    bool wideForced = false, narrowForced = false;
};

template <typename Out>
void Pad(Out& out, size_t have, const Spec& sp) {
    if (sp.width > 0 && have < static_cast<size_t>(sp.width))
        out.append(static_cast<size_t>(sp.width) - have, ' ');
}

template <typename Ch, typename Out, typename Wide, typename Narrow>
void FormatImpl(Out& out, const Ch* f, va_list ap, Wide appendWide, Narrow appendNarrow) {
    while (*f) {
        if (*f != '%') {
            out += *f++;
            continue;
        }
        const Ch* start = f++;
        if (*f == '%') {
            out += '%';
            ++f;
            continue;
        }
        Spec sp;
        for (;; ++f) {
            if (*f == '-') sp.left = true;
            else if (*f == '+') sp.plus = true;
            else if (*f == ' ') sp.space = true;
            else if (*f == '#') sp.alt = true;
            else if (*f == '0') sp.zero = true;
            else break;
        }
        if (*f == '*') {
            sp.width = va_arg(ap, int);
            if (sp.width < 0) sp.left = true, sp.width = -sp.width;
            ++f;
        } else {
            while (*f >= '0' && *f <= '9') sp.width = (sp.width < 0 ? 0 : sp.width) * 10 + (*f++ - '0');
        }
        if (*f == '.') {
            ++f;
            sp.precision = 0;
            if (*f == '*') {
                sp.precision = va_arg(ap, int);
                ++f;
            } else {
                while (*f >= '0' && *f <= '9') sp.precision = sp.precision * 10 + (*f++ - '0');
            }
        }
        for (bool more = true; more;) {
            switch (*f) {
                case 'h':
                    if (f[1] == 'h') sp.len = Spec::kHH, ++f;
                    else sp.len = Spec::kH, sp.narrowForced = true;
                    ++f;
                    break;
                case 'l':
                    if (f[1] == 'l') sp.len = Spec::kLL, ++f;
                    else sp.len = Spec::kL, sp.wideForced = true;
                    ++f;
                    break;
                case 'w': sp.wideForced = true, ++f; break;
                case 'L': sp.len = Spec::kBigL, ++f; break;
                case 'z': sp.len = Spec::kZ, ++f; break;
                case 'j': sp.len = Spec::kJ, ++f; break;
                case 't': sp.len = Spec::kT, ++f; break;
                case 'I':
                    if (f[1] == '6' && f[2] == '4') sp.len = Spec::kLL, f += 3;
                    else if (f[1] == '3' && f[2] == '2') sp.len = Spec::kNone, f += 3;
                    else more = false;
                    break;
                default: more = false;
            }
        }
        Ch conv = *f;
        if (!conv) {
            for (const Ch* p = start; p != f; ++p) out += *p;
            break;
        }
        ++f;
        // Numeric conversions go through the C library in the C locale.
        std::string cs = "%";
        if (sp.left) cs += '-';
        if (sp.plus) cs += '+';
        if (sp.space) cs += ' ';
        if (sp.alt) cs += '#';
        if (sp.zero) cs += '0';
        if (sp.width >= 0) cs += std::to_string(sp.width);
        if (sp.precision >= 0) cs += '.' + std::to_string(sp.precision);
        std::string num;
        switch (conv) {
            case 'd':
            case 'i': {
                long long v;
                switch (sp.len) {
                    case Spec::kHH: v = static_cast<signed char>(va_arg(ap, int)); break;
                    case Spec::kH: v = static_cast<short>(va_arg(ap, int)); break;
                    case Spec::kL: v = va_arg(ap, long); break;
                    case Spec::kLL: v = va_arg(ap, long long); break;
                    case Spec::kZ:
                    case Spec::kT: v = va_arg(ap, ptrdiff_t); break;
                    case Spec::kJ: v = va_arg(ap, intmax_t); break;
                    default: v = va_arg(ap, int);
                }
                num = CFormat((cs + "lld").c_str(), v);
                break;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                unsigned long long v;
                switch (sp.len) {
                    case Spec::kHH: v = static_cast<unsigned char>(va_arg(ap, unsigned)); break;
                    case Spec::kH: v = static_cast<unsigned short>(va_arg(ap, unsigned)); break;
                    case Spec::kL: v = va_arg(ap, unsigned long); break;
                    case Spec::kLL: v = va_arg(ap, unsigned long long); break;
                    case Spec::kZ:
                    case Spec::kT: v = va_arg(ap, size_t); break;
                    case Spec::kJ: v = va_arg(ap, uintmax_t); break;
                    default: v = va_arg(ap, unsigned);
                }
                num = CFormat((cs + "ll" + static_cast<char>(conv)).c_str(), v);
                break;
            }
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (sp.len == Spec::kBigL)
                    num = CFormat((cs + 'L' + static_cast<char>(conv)).c_str(), va_arg(ap, long double));
                else
                    num = CFormat((cs + static_cast<char>(conv)).c_str(), va_arg(ap, double));
                break;
            case 'p': num = CFormat("%p", va_arg(ap, void*)); break;
            case 'n': (void)va_arg(ap, void*); break;  // never written
            case 'c':
            case 'C': {
                unsigned v = va_arg(ap, unsigned);
                // %c is the format's own width unless forced; %C the other one.
                bool wide = (conv == 'c') == (sizeof(Ch) == 2);
                if (sp.wideForced) wide = true;
                if (sp.narrowForced) wide = false;
                WChar w = wide ? static_cast<WChar>(v & 0xFFFF) : static_cast<WChar>(v & 0xFF);
                if (!sp.left) Pad(out, 1, sp);
                if (!wide && sizeof(Ch) == 1) out += static_cast<Ch>(v & 0xFF);
                else appendWide(out, WStringView(&w, 1));
                if (sp.left) Pad(out, 1, sp);
                break;
            }
            case 's':
            case 'S': {
                bool wide = (conv == 's') == (sizeof(Ch) == 2);
                if (sp.wideForced) wide = true;
                if (sp.narrowForced) wide = false;
                const void* p = va_arg(ap, const void*);
                size_t before = out.size();
                if (wide) {
                    WStringView v = p ? WStringView(static_cast<const WChar*>(p)) : WStringView(u"(null)");
                    if (sp.precision >= 0 && v.size() > static_cast<size_t>(sp.precision)) v = v.substr(0, sp.precision);
                    size_t units = sizeof(Ch) == 2 ? v.size() : ToUtf8(v).size();
                    if (!sp.left) Pad(out, units, sp);
                    appendWide(out, v);
                } else {
                    std::string_view v = p ? std::string_view(static_cast<const char*>(p)) : std::string_view("(null)");
                    if (sp.precision >= 0 && v.size() > static_cast<size_t>(sp.precision)) v = v.substr(0, sp.precision);
                    if (!sp.left) Pad(out, v.size(), sp);
                    appendNarrow(out, v);
                }
                if (sp.left) Pad(out, out.size() - before, sp);
                break;
            }
            default:
                // Unknown conversion: copy it as written.
                for (const Ch* p = start; p != f; ++p) out += *p;
                continue;
        }
        for (char c : num) out += static_cast<Ch>(c);
    }
}

}  // namespace

// ---------------------------------------------------------------- UTF-8

bool DecodeUtf8(const char*& p, const char* end, char32_t& cp) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    const unsigned c = u[0];
    const int n = c >= 0xF0 && c <= 0xF4   ? 3
                  : c >= 0xE0 && c <= 0xEF ? 2
                  : c >= 0xC2 && c <= 0xDF ? 1
                                           : -1;
    if (n < 0 || end - p <= n) {
        ++p;
        return false;
    }
    uint32_t v = c & (0x3F >> n);
    for (int i = 1; i <= n; ++i) {
        if ((u[i] & 0xC0) != 0x80) {
            ++p;
            return false;
        }
        v = (v << 6) | (u[i] & 0x3F);
    }
    // Overlong forms are refused; surrogates (CESU-8) are kept as units.
    if ((n == 2 && v < 0x800) || (n == 3 && (v < 0x10000 || v > 0x10FFFF))) {
        ++p;
        return false;
    }
    p += n + 1;
    cp = v;
    return true;
}

void AppendCodePoint(WString& out, char32_t cp) {
    if (cp > 0xFFFF) {
        cp -= 0x10000;
        out += static_cast<WChar>(0xD800 + (cp >> 10));
        out += static_cast<WChar>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<WChar>(cp);
    }
}

WString FromUtf8(std::string_view s) {
    WString out;
    out.reserve(s.size());
    const char* p = s.data();
    const char* e = p + s.size();
    while (p < e) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            out += static_cast<WChar>(*p++);
            continue;
        }
        char32_t cp;
        if (DecodeUtf8(p, e, cp))
            AppendCodePoint(out, cp);
        else
            out += u'\uFFFD';
    }
    return out;
}

std::string ToUtf8(WStringView s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, c);
    }
    return out;
}

WString FromLatin1(std::string_view s) {
    WString out(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<unsigned char>(s[i]);
    return out;
}

std::string ToLatin1(WStringView s) {
    std::string out(s.size(), '\0');
    for (size_t i = 0; i < s.size(); ++i) out[i] = s[i] > 0xFF ? '?' : static_cast<char>(s[i]);
    return out;
}

// ---------------------------------------------------------------- code pages

bool IsCodePageSupported(unsigned codePage) {
    return Converter(codePage, true) != reinterpret_cast<iconv_t>(-1);
}

WString FromCodePage(std::string_view bytes, unsigned codePage, bool* ok) {
    if (ok) *ok = true;
    if (codePage == kCpUtf8) return FromUtf8(bytes);
    iconv_t cd = Converter(codePage, true);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        if (ok) *ok = false;
        return FromLatin1(bytes);
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    WString out;
    out.reserve(bytes.size());
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char16_t buf[256];
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buf);
        size_t oLeft = sizeof buf;
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, (sizeof buf - oLeft) / 2);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated sequence): replace one byte. The
            // 125x pages leave a few bytes of 0x80-0x9F undefined; the platform
            // passes those through as the control units of the same value, so
            // they survive a read and write.
            const auto b = static_cast<unsigned char>(*in);
            out += IsWindows125x(codePage) && b >= 0x80 && b <= 0x9F ? static_cast<WChar>(b) : u'\uFFFD';
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush: the 1255 and 1258 converters hold the last letter back in
    // case a combining mark follows it.
    char* o = reinterpret_cast<char*>(buf);
    size_t oLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buf, (sizeof buf - oLeft) / 2);
    return out;
}

std::string ToCodePage(WStringView s, unsigned codePage, bool* lossless) {
    if (lossless) *lossless = true;
    if (codePage == kCpUtf8) return ToUtf8(s);
    iconv_t cd = Converter(codePage, false);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::string r = ToLatin1(s);
        if (lossless) {
            for (WChar c : s)
                if (c > 0xFF) *lossless = false;
        }
        return r;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(s.size());
    char* in = reinterpret_cast<char*>(const_cast<WChar*>(s.data()));
    size_t inLeft = s.size() * 2;
    char buf[512];
    while (inLeft > 0) {
        char* o = buf;
        size_t oLeft = sizeof buf;
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, sizeof buf - oLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            auto u = static_cast<uint16_t>(static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8));
            if (IsUndefined125xByte(codePage, u)) {
                // The reverse of the pass-through in FromCodePage.
                out += static_cast<char>(u);
                in += 2;
                inLeft -= 2;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            out += '?';
            if (lossless) *lossless = false;
            size_t skip = (u >= 0xD800 && u < 0xDC00 && inLeft >= 4) ? 4 : 2;
            skip = std::min(skip, inLeft);
            in += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Flush any shift state.
    char* o = buf;
    size_t oLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buf, sizeof buf - oLeft);
    return out;
}

// ---------------------------------------------------------------- formatting

WString FormatV(const WChar* fmt, va_list ap) {
    WString out;
    va_list copy;
    va_copy(copy, ap);
    FormatImpl<WChar>(
        out, fmt, copy, [](WString& o, WStringView v) { o.append(v); },
        [](WString& o, std::string_view v) { o += FromUtf8(v); });
    va_end(copy);
    return out;
}

WString Format(const WChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    WString r = FormatV(fmt, ap);
    va_end(ap);
    return r;
}

std::string FormatAV(const char* fmt, va_list ap) {
    std::string out;
    va_list copy;
    va_copy(copy, ap);
    FormatImpl<char>(
        out, fmt, copy, [](std::string& o, WStringView v) { o += ToUtf8(v); },
        [](std::string& o, std::string_view v) { o.append(v); });
    va_end(copy);
    return out;
}

std::string FormatA(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string r = FormatAV(fmt, ap);
    va_end(ap);
    return r;
}

WString DoubleToText(double v, int precision) {
    return FromLatin1(CFormat("%.*g", precision, v));
}

WString IntToText(long long v) { return FromLatin1(std::to_string(v)); }

// ---------------------------------------------------------------- parsing

double ParseDouble(const WChar* s, const WChar** end) {
    std::string buf;
    const WChar* p = ScanDecimal(s, buf);
    if (end) *end = p;
    if (p == s) return 0.0;
    return strtod_l(buf.c_str(), nullptr, CLocale());
}

double ParseDoubleA(const char* s, const char** end) {
    std::string buf;
    const char* p = ScanDecimal(s, buf);
    if (end) *end = p;
    if (p == s) return 0.0;
    return strtod_l(buf.c_str(), nullptr, CLocale());
}

namespace {
// A view form of a parser taking a terminated text: the view is copied to
// give it its terminator.
template <typename Parse>
auto ParseView(WStringView s, size_t* used, Parse parse) {
    const WString z(s);
    const WChar* end = z.c_str();
    const auto v = parse(z.c_str(), &end);
    if (used) *used = static_cast<size_t>(end - z.c_str());
    return v;
}
}  // namespace

double ParseDouble(WStringView s, size_t* used) {
    return ParseView(s, used, [](const WChar* p, const WChar** e) { return ParseDouble(p, e); });
}

int32_t ParseLong(const WChar* s, const WChar** end, int base) {
    uint64_t mag;
    bool neg, any;
    const WChar* p = ScanInteger(s, base, mag, neg, any);
    if (end) *end = p;
    if (!any) return 0;
    if (neg) return mag > uint64_t{1} << 31 ? INT32_MIN : static_cast<int32_t>(-static_cast<int64_t>(mag));
    return mag > INT32_MAX ? INT32_MAX : static_cast<int32_t>(mag);
}

int32_t ParseLong(WStringView s, size_t* used, int base) {
    return ParseView(s, used,
                     [base](const WChar* p, const WChar** e) { return ParseLong(p, e, base); });
}

uint32_t ParseULong(const WChar* s, const WChar** end, int base) {
    uint64_t mag;
    bool neg, any;
    const WChar* p = ScanInteger(s, base, mag, neg, any);
    if (end) *end = p;
    if (!any) return 0;
    if (mag > UINT32_MAX) return UINT32_MAX;
    return neg ? static_cast<uint32_t>(0u - static_cast<uint32_t>(mag)) : static_cast<uint32_t>(mag);
}

uint32_t ParseULong(WStringView s, size_t* used, int base) {
    return ParseView(s, used,
                     [base](const WChar* p, const WChar** e) { return ParseULong(p, e, base); });
}

// ---------------------------------------------------------------- case

WChar ToLowerChar(WChar c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<WChar>(c + 32) : c;
    if (c >= 0xD800 && c < 0xE000) return c;
    wint_t r = towlower_l(c, UnicodeCtype());
    return r > 0xFFFF ? c : static_cast<WChar>(r);
}

WChar ToUpperChar(WChar c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<WChar>(c - 32) : c;
    if (c >= 0xD800 && c < 0xE000) return c;
    wint_t r = towupper_l(c, UnicodeCtype());
    return r > 0xFFFF ? c : static_cast<WChar>(r);
}

WString ToLower(WStringView s) {
    WString r(s);
    for (auto& c : r) c = ToLowerChar(c);
    return r;
}

WString ToUpper(WStringView s) {
    WString r(s);
    for (auto& c : r) c = ToUpperChar(c);
    return r;
}

int CompareNoCase(WStringView a, WStringView b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        WChar x = ToLowerChar(a[i]), y = ToLowerChar(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool EqualsNoCase(WStringView a, WStringView b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

int CompareNoCaseA(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// ---------------------------------------------------------------- helpers

size_t Length(const WChar* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

bool IsBlank(WChar c) { return IsSpaceChar(c); }

int HexDigit(unsigned c) {
    const int d = DigitValue(c);
    return d < 16 ? d : -1;
}

WString TrimLeft(WStringView s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return WString(s.substr(i));
}

WString TrimRight(WStringView s) {
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return WString(s.substr(0, n));
}

WString Trim(WStringView s) { return TrimRight(TrimLeft(s)); }

}  // namespace text
