// The standard function library and the built-in constants.
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "platform/scripting/vbscript/vbs_dates.h"
#include "platform/scripting/vbscript/vbs_interp.h"
#include "platform/scripting/vbscript/vbs_locale.h"
#include "platform/scripting/vbscript/vbs_objects.h"

namespace vbs {

namespace {

using A = ArgList;

// Longest string the functions build (characters); beyond: "Out of string space".
constexpr int32_t kMaxString = 1 << 28;

bool Has(const A& a, size_t i) {
    return i < a.size() && !a[i].missing;
}
const VARIANT* Arg0(const A& a, size_t i) {
    return a[i].Get();
}
bool IsNull(const A& a, size_t i) {
    return Has(a, i) && Arg0(a, i)->vt == VT_NULL;
}
void SetNull(Value* out) {
    out->Receive()->vt = VT_NULL;
}
void SetStr(Value* out, WStringView s) {
    VariantFromString(out->Receive(), s);
}
void SetLong(Value* out, int32_t n) {
    VariantFromLong(out->Receive(), n);
}
void SetInt(Value* out, int16_t n) {
    VariantFromShort(out->Receive(), n);
}
void SetBool(Value* out, bool b) {
    VariantFromBool(out->Receive(), b);
}
void SetDbl(Value* out, double d) {
    if (!std::isfinite(d)) Throw(6);
    VariantFromDouble(out->Receive(), d);
}
void SetDate(Value* out, double d) {
    if (d < -657434.0 || d >= 2958466.0) Throw(5);
    VariantFromDate(out->Receive(), d);
}
// Number of the compare argument (0 binary, 1 text).
bool TextMode(const A& a, size_t i) {
    if (!Has(a, i)) return false;
    int32_t m = ToLong(Arg0(a, i));
    if (m < 0 || m > 2) Throw(5);
    return m != 0;
}
int32_t LongArg(const A& a, size_t i, int32_t def) {
    return Has(a, i) ? ToLong(Arg0(a, i)) : def;
}
WString StrArg(const A& a, size_t i) {
    return ToStr(Arg0(a, i));
}
// Value with an object replaced by its default value.
void Val(const A& a, size_t i, Value* out) {
    ValueOf(Arg0(a, i), out);
}

// ---- conversion ----

void FnCBool(Interp&, A& a, Value* o) {
    SetBool(o, ToBool(Arg0(a, 0)));
}
void FnCByte(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) Throw(94);
    if (v.vt == VT_BOOL) return VariantFromByte(o->Receive(), v.boolVal ? 255 : 0);
    double d = std::nearbyint(ToDouble(&v));
    if (d < 0 || d > 255) Throw(6);
    VariantFromByte(o->Receive(), uint8_t(d));
}
void FnCCur(Interp&, A& a, Value* o) {
    Convert(Arg0(a, 0), VT_CY, o);
}
void FnCDate(Interp&, A& a, Value* o) {
    VariantFromDate(o->Receive(), ToDate(Arg0(a, 0)));
}
void FnCDbl(Interp&, A& a, Value* o) {
    SetDbl(o, ToDouble(Arg0(a, 0)));
}
void FnCInt(Interp&, A& a, Value* o) {
    SetInt(o, ToInteger(Arg0(a, 0)));
}
void FnCLng(Interp&, A& a, Value* o) {
    SetLong(o, ToLong(Arg0(a, 0)));
}
void FnCSng(Interp&, A& a, Value* o) {
    double d = ToDouble(Arg0(a, 0));
    if (std::fabs(d) > 3.402823466e38) Throw(6);
    VARIANT* r = o->Receive();
    r->vt = VT_R4;
    r->fltVal = float(d);
}
void FnCStr(Interp&, A& a, Value* o) {
    SetStr(o, ToStr(Arg0(a, 0)));
}

WString Radix(const VARIANT* v, int bits, int shift) {
    Value x;
    ValueOf(v, &x);
    uint32_t n;
    bool narrow = x.vt == VT_I2 || x.vt == VT_UI1 || x.vt == VT_BOOL || x.vt == VT_EMPTY;
    int32_t l = ToLong(&x);
    n = narrow && l < 0 ? uint32_t(uint16_t(l)) : uint32_t(l);
    (void)bits;
    WString r;
    const char* digits = "0123456789ABCDEF";
    do {
        r.insert(r.begin(), WChar(digits[n & ((1u << shift) - 1)]));
        n >>= shift;
    } while (n);
    return r;
}
void FnHex(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    SetStr(o, Radix(Arg0(a, 0), 16, 4));
}
void FnOct(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    SetStr(o, Radix(Arg0(a, 0), 8, 3));
}
void FnAsc(Interp&, A& a, Value* o) {
    WString s = StrArg(a, 0);
    if (s.empty()) Throw(5);
    std::string b = text::ToCodePage(s.substr(0, 1), 1252);
    SetInt(o, b.empty() ? 63 : int16_t(uint8_t(b[0])));
}
void FnAscW(Interp&, A& a, Value* o) {
    WString s = StrArg(a, 0);
    if (s.empty()) Throw(5);
    SetInt(o, int16_t(s[0]));
}
void FnChr(Interp&, A& a, Value* o) {
    int32_t n = ToLong(Arg0(a, 0));
    if (n < 0 || n > 255) Throw(5);
    char c = char(n);
    SetStr(o, n < 128 ? WString(1, WChar(n)) : text::FromCodePage(std::string_view(&c, 1), 1252));
}
void FnChrW(Interp&, A& a, Value* o) {
    int32_t n = ToLong(Arg0(a, 0));
    if (n < -32768 || n > 65535) Throw(5);
    SetStr(o, WString(1, WChar(uint16_t(n))));
}

// ---- math ----

// Applies f keeping Null; f gets the number.
template <class F>
void Math1(A& a, Value* o, F f) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) return SetNull(o);
    SetDbl(o, f(ToDouble(&v)));
}
void FnAbs(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    switch (v.vt) {
        case VT_NULL:
            return SetNull(o);
        case VT_EMPTY:
            return SetInt(o, 0);
        case VT_I2:
            if (v.iVal == -32768) return SetLong(o, 32768);
            return SetInt(o, int16_t(std::abs(v.iVal)));
        case VT_I4:
            if (v.lVal == INT32_MIN) return SetDbl(o, 2147483648.0);
            return SetLong(o, std::abs(v.lVal));
        case VT_UI1:
            *o = std::move(v);
            return;
        case VT_BOOL:
            return SetInt(o, v.boolVal ? 1 : 0);
        case VT_R4:
            v.fltVal = std::fabs(v.fltVal);
            *o = std::move(v);
            return;
        case VT_CY:
            if (v.cyVal.int64 < 0) v.cyVal.int64 = -v.cyVal.int64;
            *o = std::move(v);
            return;
        case VT_DATE:
            VariantFromDate(o->Receive(), std::fabs(v.date));
            return;
        default:
            SetDbl(o, std::fabs(ToDouble(&v)));
    }
}
void IntFix(A& a, Value* o, bool isInt) {
    Value v;
    Val(a, 0, &v);
    auto f = [&](double d) { return isInt ? std::floor(d) : std::trunc(d); };
    switch (v.vt) {
        case VT_NULL:
            return SetNull(o);
        case VT_EMPTY:
            return SetInt(o, 0);
        case VT_I2:
        case VT_I4:
        case VT_UI1:
            *o = std::move(v);
            return;
        case VT_BOOL:
            return SetInt(o, v.boolVal ? -1 : 0);
        case VT_R4:
            v.fltVal = float(f(v.fltVal));
            *o = std::move(v);
            return;
        case VT_CY: {
            double d = f(double(v.cyVal.int64) / 10000.0);
            v.cyVal.int64 = int64_t(d) * 10000;
            *o = std::move(v);
            return;
        }
        case VT_DATE:
            VariantFromDate(o->Receive(), f(v.date));
            return;
        default:
            SetDbl(o, f(ToDouble(&v)));
    }
}
void FnInt(Interp&, A& a, Value* o) {
    IntFix(a, o, true);
}
void FnFix(Interp&, A& a, Value* o) {
    IntFix(a, o, false);
}
void FnSgn(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) Throw(94);
    double d = ToDouble(&v);
    SetInt(o, d > 0 ? 1 : d < 0 ? -1 : 0);
}
void FnSqr(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) {
        if (d < 0) Throw(5);
        return std::sqrt(d);
    });
}
void FnExp(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) { return std::exp(d); });
}
void FnLog(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) {
        if (d <= 0) Throw(5);
        return std::log(d);
    });
}
void FnSin(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) { return std::sin(d); });
}
void FnCos(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) { return std::cos(d); });
}
void FnTan(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) { return std::tan(d); });
}
void FnAtn(Interp&, A& a, Value* o) {
    Math1(a, o, [](double d) { return std::atan(d); });
}
void FnRnd(Interp& in, A& a, Value* o) {
    double arg = Has(a, 0) ? ToDouble(Arg0(a, 0)) : 1;
    VARIANT* r = o->Receive();
    r->vt = VT_R4;
    r->fltVal = float(in.RandomNext(arg, Has(a, 0)));
}
void FnRandomize(Interp& in, A& a, Value* o) {
    in.Randomize(Has(a, 0) ? ToDouble(Arg0(a, 0)) : 0, Has(a, 0));
    o->Receive();
}
// Round half to even at a number of decimals.
double RoundTo(double d, int n) {
    if (n == 0) return std::nearbyint(d);
    double p = std::pow(10.0, n);
    double x = d * p;
    // guard against representation noise (2.675 * 100 = 267.49999...)
    double r = std::nearbyint(x);
    if (std::fabs(x - r) == 0.5) return r / p;
    double rounded = std::round(x * 1e6) / 1e6;
    return std::nearbyint(rounded) / p;
}
void FnRound(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) return SetNull(o);
    int32_t n = LongArg(a, 1, 0);
    if (n < 0) Throw(5);
    switch (v.vt) {
        case VT_I2:
        case VT_I4:
        case VT_UI1:
            *o = std::move(v);
            return;
        case VT_BOOL:
            return SetBool(o, v.boolVal != 0);  // a Boolean stays one
        case VT_EMPTY:
            return SetInt(o, 0);
        case VT_R4: {
            VARIANT* r = o->Receive();
            r->vt = VT_R4;
            r->fltVal = float(RoundTo(v.fltVal, n));
            return;
        }
        case VT_CY: {
            double d = RoundTo(double(v.cyVal.int64) / 10000.0, std::min(n, 4));
            VARIANT* r = o->Receive();
            r->vt = VT_CY;
            r->cyVal.int64 = std::llround(d * 10000.0);
            return;
        }
        case VT_DATE:
            VariantFromDate(o->Receive(), RoundTo(v.date, n));
            return;
        default:
            SetDbl(o, RoundTo(ToDouble(&v), n));
    }
}

// ---- strings ----

template <class F>
void Str1(A& a, Value* o, F f) {
    if (IsNull(a, 0)) return SetNull(o);
    SetStr(o, f(StrArg(a, 0)));
}
void FnLen(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    SetLong(o, int32_t(StrArg(a, 0).size()));
}
// The byte functions see a string as the bytes of its UTF-16 storage (low
// byte first); their results may end in half a character.
std::string ByteImage(const A& a, size_t i) {
    const VARIANT* v = Arg0(a, i);
    if (v->vt == VT_BSTR)
        return std::string(reinterpret_cast<const char*>(v->bstrVal ? v->bstrVal : u""),
                           SysStringByteLen(v->bstrVal));
    WString s = StrArg(a, i);
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}
void SetBytes(Value* out, std::string_view b) {
    VARIANT* o = out->Receive();
    o->bstrVal = SysAllocStringByteLen(b.data(), uint32_t(b.size()));
    if (!o->bstrVal) Throw(7);
    o->vt = VT_BSTR;
}
void FnLenB(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    SetLong(o, int32_t(ByteImage(a, 0).size()));
}
void FnLeftB(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    std::string b = ByteImage(a, 0);
    int32_t n = ToLong(Arg0(a, 1));
    if (n < 0) Throw(5);
    SetBytes(o, std::string_view(b).substr(0, size_t(n)));
}
void FnRightB(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    std::string b = ByteImage(a, 0);
    int32_t n = ToLong(Arg0(a, 1));
    if (n < 0) Throw(5);
    size_t k = std::min(b.size(), size_t(n));
    SetBytes(o, std::string_view(b).substr(b.size() - k));
}
void FnMidB(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    std::string b = ByteImage(a, 0);
    int32_t start = ToLong(Arg0(a, 1));
    if (start < 1) Throw(5);
    size_t n = std::string::npos;
    if (Has(a, 2)) {
        int32_t l = ToLong(Arg0(a, 2));
        if (l < 0) Throw(5);
        n = size_t(l);
    }
    if (size_t(start) > b.size()) return SetBytes(o, {});
    SetBytes(o, std::string_view(b).substr(size_t(start - 1), n));
}
// The optional start of InStr and InStrB: the index of the searched string
// and the start; false when either string is Null.
bool InStrHead(const A& a, size_t* i, int32_t* start) {
    *i = 0;
    *start = 1;
    if (a.size() >= 3) {
        if (IsNull(a, 0)) Throw(94);
        *start = ToLong(Arg0(a, 0));
        if (*start < 1) Throw(5);
        *i = 1;
    }
    return !IsNull(a, *i) && !IsNull(a, *i + 1);
}
void FnInStrB(Interp&, A& a, Value* o) {
    size_t i;
    int32_t start;
    if (!InStrHead(a, &i, &start)) return SetNull(o);
    TextMode(a, i + 2);  // checked; bytes compare as they are
    std::string h = ByteImage(a, i), n = ByteImage(a, i + 1);
    if (size_t(start) > h.size()) return SetLong(o, 0);
    if (n.empty()) return SetLong(o, start);
    size_t p = h.find(n, size_t(start - 1));
    SetLong(o, p == std::string::npos ? 0 : int32_t(p + 1));
}
void FnAscB(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    std::string b = ByteImage(a, 0);
    if (b.empty()) Throw(5);
    SetInt(o, int16_t(uint8_t(b[0])));
}
void FnChrB(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    int32_t n = ToLong(Arg0(a, 0));
    if (n < 0 || n > 255) Throw(5);
    char c = char(n);
    SetBytes(o, std::string_view(&c, 1));
}
void FnLeft(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    WString s = StrArg(a, 0);
    int32_t n = ToLong(Arg0(a, 1));
    if (n < 0) Throw(5);
    SetStr(o, WStringView(s).substr(0, size_t(n)));
}
void FnRight(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    WString s = StrArg(a, 0);
    int32_t n = ToLong(Arg0(a, 1));
    if (n < 0) Throw(5);
    size_t k = std::min(s.size(), size_t(n));
    SetStr(o, WStringView(s).substr(s.size() - k));
}
void FnMid(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) return SetNull(o);
    WString s = StrArg(a, 0);
    int32_t start = ToLong(Arg0(a, 1));
    if (start < 1) Throw(5);
    size_t n = WString::npos;
    if (Has(a, 2)) {
        int32_t l = ToLong(Arg0(a, 2));
        if (l < 0) Throw(5);
        n = size_t(l);
    }
    if (size_t(start) > s.size()) return SetStr(o, u"");
    SetStr(o, WStringView(s).substr(size_t(start - 1), n));
}
void FnLCase(Interp&, A& a, Value* o) {
    Str1(a, o, [](const WString& s) { return text::ToLower(s); });
}
void FnUCase(Interp&, A& a, Value* o) {
    Str1(a, o, [](const WString& s) { return text::ToUpper(s); });
}
WString TrimSpaces(const WString& s, bool left, bool right) {
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ') ++b;
    if (right)
        while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}
void FnLTrim(Interp&, A& a, Value* o) {
    Str1(a, o, [](const WString& s) { return TrimSpaces(s, true, false); });
}
void FnRTrim(Interp&, A& a, Value* o) {
    Str1(a, o, [](const WString& s) { return TrimSpaces(s, false, true); });
}
void FnTrim(Interp&, A& a, Value* o) {
    Str1(a, o, [](const WString& s) { return TrimSpaces(s, true, true); });
}
void FnSpace(Interp&, A& a, Value* o) {
    int32_t n = ToLong(Arg0(a, 0));
    if (n < 0) Throw(5);
    if (n > kMaxString) Throw(14);
    SetStr(o, WString(size_t(n), u' '));
}
void FnString(Interp&, A& a, Value* o) {
    if (IsNull(a, 0) || IsNull(a, 1)) return SetNull(o);
    int32_t n = ToLong(Arg0(a, 0));
    if (n < 0) Throw(5);
    if (n > kMaxString) Throw(14);
    Value c;
    Val(a, 1, &c);
    WChar ch;
    if (c.vt == VT_BSTR) {
        WStringView s = BstrView(c.bstrVal);
        if (s.empty()) Throw(5);
        ch = s[0];
    } else {
        ch = WChar(ToLong(&c) & 0xFF);
    }
    SetStr(o, WString(size_t(n), ch));
}
void FnStrReverse(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    WString s = StrArg(a, 0);
    SetStr(o, WString(s.rbegin(), s.rend()));
}

size_t Find(WStringView h, WStringView n, size_t from, bool text) {
    if (!text) return h.find(n, from);
    WString hl = text::ToLower(h), nl = text::ToLower(n);
    return hl.find(nl, from);
}
size_t RFind(WStringView h, WStringView n, size_t from, bool text) {
    if (!text) return h.rfind(n, from);
    WString hl = text::ToLower(h), nl = text::ToLower(n);
    return hl.rfind(nl, from);
}

void FnInStr(Interp&, A& a, Value* o) {
    size_t i;
    int32_t start;
    if (!InStrHead(a, &i, &start)) return SetNull(o);
    bool text = TextMode(a, i + 2);
    WString h = StrArg(a, i), n = StrArg(a, i + 1);
    if (size_t(start) > h.size()) return SetLong(o, 0);
    if (n.empty()) return SetLong(o, start);
    size_t p = Find(h, n, size_t(start - 1), text);
    SetLong(o, p == WString::npos ? 0 : int32_t(p + 1));
}
void FnInStrRev(Interp&, A& a, Value* o) {
    if (IsNull(a, 0) || IsNull(a, 1)) Throw(94);
    WString h = StrArg(a, 0), n = StrArg(a, 1);
    int32_t start = LongArg(a, 2, -1);
    if (start == 0 || start < -1) Throw(5);
    bool text = TextMode(a, 3);
    if (start == -1) start = int32_t(h.size());
    if (n.empty()) return SetLong(o, start);
    if (size_t(start) > h.size()) return SetLong(o, 0);
    if (n.size() > size_t(start)) return SetLong(o, 0);
    size_t p = RFind(WStringView(h).substr(0, size_t(start)), n, WString::npos, text);
    SetLong(o, p == WString::npos ? 0 : int32_t(p + 1));
}
void FnStrComp(Interp&, A& a, Value* o) {
    if (IsNull(a, 0) || IsNull(a, 1)) return SetNull(o);
    bool text = TextMode(a, 2);
    SetInt(o, int16_t(CompareText(StrArg(a, 0), StrArg(a, 1), text)));
}
void FnReplace(Interp&, A& a, Value* o) {
    if (IsNull(a, 0) || IsNull(a, 1) || IsNull(a, 2)) Throw(94);
    WString s = StrArg(a, 0), find = StrArg(a, 1), with = StrArg(a, 2);
    int32_t start = LongArg(a, 3, 1);
    int32_t count = LongArg(a, 4, -1);
    bool text = TextMode(a, 5);
    if (start < 1 || count < -1) Throw(5);
    if (size_t(start) > s.size()) return SetStr(o, u"");
    // the result starts at start, as the function defines
    WString src = s.substr(size_t(start - 1));
    if (find.empty() || count == 0) return SetStr(o, src);
    WString out;
    size_t pos = 0;
    int32_t done = 0;
    while (count < 0 || done < count) {
        size_t p = Find(src, find, pos, text);
        if (p == WString::npos) break;
        out.append(src, pos, p - pos);
        out += with;
        pos = p + find.size();
        ++done;
    }
    out.append(src, pos, WString::npos);
    SetStr(o, out);
}

SAFEARRAY* NewVector(size_t n) {
    SAFEARRAYBOUND b{uint32_t(n), 0};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &b);
    if (!sa) Throw(7);
    return sa;
}
void SetArray(Value* o, SAFEARRAY* sa) {
    VARIANT* r = o->Receive();
    r->vt = VT_ARRAY | VT_VARIANT;
    r->parray = sa;
}
void SetArrayOfStrings(Value* o, const std::vector<WString>& parts) {
    SAFEARRAY* sa = NewVector(parts.size());
    VARIANT* d = static_cast<VARIANT*>(sa->pvData);
    for (size_t i = 0; i < parts.size(); ++i) VariantFromString(&d[i], parts[i]);
    SetArray(o, sa);
}

void FnSplit(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    WString s = StrArg(a, 0);
    WString delim = Has(a, 1) ? StrArg(a, 1) : WString(u" ");
    int32_t limit = LongArg(a, 2, -1);
    bool text = TextMode(a, 3);
    if (limit < -1) Throw(5);
    std::vector<WString> parts;
    if (s.empty() || limit == 0) return SetArrayOfStrings(o, parts);
    if (delim.empty()) {
        parts.push_back(s);
        return SetArrayOfStrings(o, parts);
    }
    size_t pos = 0;
    for (;;) {
        if (limit > 0 && int32_t(parts.size()) == limit - 1) {
            parts.push_back(s.substr(pos));
            break;
        }
        size_t p = Find(s, delim, pos, text);
        if (p == WString::npos) {
            parts.push_back(s.substr(pos));
            break;
        }
        parts.push_back(s.substr(pos, p - pos));
        pos = p + delim.size();
    }
    SetArrayOfStrings(o, parts);
}

SAFEARRAY* VectorArg(const A& a, size_t i) {
    const VARIANT* v = Target(Arg0(a, i));
    if (v->vt == VT_NULL) Throw(94);
    if (!(v->vt & VT_ARRAY) || !v->parray) Throw(13);
    if (SafeArrayGetDim(v->parray) != 1) Throw(5);
    return v->parray;
}
void FnJoin(Interp&, A& a, Value* o) {
    SAFEARRAY* sa = VectorArg(a, 0);
    WString delim = Has(a, 1) ? StrArg(a, 1) : WString(u" ");
    uint64_t n = SafeArrayCount(sa);
    WString r;
    for (uint64_t i = 0; i < n; ++i) {
        if (i) r += delim;
        Value el;
        int32_t ix = sa->rgsabound[0].lLbound + int32_t(i);
        void* p;
        SafeArrayPtrOfIndex(sa, &ix, &p);
        if (sa->vt == VT_VARIANT) {
            const VARIANT* e = static_cast<VARIANT*>(p);
            if (Target(e)->vt != VT_NULL) r += ToStr(e);
        }
    }
    SetStr(o, r);
}
void FnFilter(Interp&, A& a, Value* o) {
    SAFEARRAY* sa = VectorArg(a, 0);
    if (IsNull(a, 1)) Throw(94);
    WString val = StrArg(a, 1);
    bool include = Has(a, 2) ? ToBool(Arg0(a, 2)) : true;
    bool text = TextMode(a, 3);
    std::vector<WString> out;
    uint64_t n = SafeArrayCount(sa);
    VARIANT* d = static_cast<VARIANT*>(sa->pvData);
    for (uint64_t i = 0; i < n; ++i) {
        if (Target(&d[i])->vt == VT_NULL) Throw(94);
        WString s = ToStr(&d[i]);
        bool has = Find(s, val, 0, text) != WString::npos;
        if (has == include) out.push_back(s);
    }
    SetArrayOfStrings(o, out);
}

// ---- number formatting ----

// digits: decimals (-1 = 2); lead/parens/group: -2 default, -1 true, 0 false.
WString FormatNumberText(double d, int digits, int lead, int parens, int group) {
    if (digits == -1) digits = 2;
    if (digits < -1 || digits > 255) Throw(5);
    bool neg = d < 0;
    double ad = std::fabs(d);
    // round half away from zero at the decimals (the tiny nudge keeps 0.125
    // from printing as 0.12 through its binary form)
    char buf[1024];
    auto res = std::to_chars(buf, buf + sizeof buf, ad + (ad == 0 ? 0 : ad * 1e-15),
                             std::chars_format::fixed, digits);
    if (res.ec != std::errc()) Throw(6);
    std::string s(buf, res.ptr);
    size_t dot = s.find('.');
    std::string ip = dot == std::string::npos ? s : s.substr(0, dot);
    std::string fp = dot == std::string::npos ? "" : s.substr(dot + 1);
    bool zeroResult = true;
    for (char c : s)
        if (c >= '1' && c <= '9') zeroResult = false;
    if (zeroResult) neg = false;
    if (ip == "0" && lead == 0 && digits > 0) ip.clear();
    // in the script locale's marks
    const res::LocaleFormats& f = ScriptFormats();
    WString w;
    for (size_t i = 0; i < ip.size(); ++i) {
        if (group != 0 && i > 0 && (ip.size() - i) % 3 == 0) w += f.group;
        w += char16_t(ip[i]);
    }
    if (digits > 0) w += f.decimal + text::FromLatin1(fp);
    if (neg) w = parens == -1 ? u"(" + w + u")" : u"-" + w;
    return w;
}
int Tri(const A& a, size_t i) {
    return Has(a, i) ? ToLong(Arg0(a, i)) : -2;
}
void FnFormatNumber(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) Throw(13);
    SetStr(o, FormatNumberText(ToDouble(&v), LongArg(a, 1, -1), Tri(a, 2), Tri(a, 3), Tri(a, 4)));
}
void FnFormatCurrency(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) Throw(13);
    double d = ToDouble(&v);
    int parens = Tri(a, 3);
    const res::LocaleFormats& f = ScriptFormats();
    int digits = LongArg(a, 1, -1);
    if (digits == -1) digits = f.currencyDigits;
    WString n = FormatNumberText(std::fabs(d), digits, Tri(a, 2), 0, Tri(a, 4));
    WString cur = f.currency;
    bool neg = d < 0 && n.find_first_of(u"123456789") != WString::npos;
    WString r;
    if (!neg) {
        static const char16_t* const kPositive[] = {u"$n", u"n$", u"$ n", u"n $"};
        r = kPositive[f.currencyPositive & 3];
    } else if (parens == 0) {
        // a minus sign where the locale puts one, never brackets
        static const char16_t* const kMinus[] = {
            u"-$n",  u"-$n",  u"$-n",  u"$n-",  u"-n$",  u"-n$",  u"n-$",  u"n$-",
            u"-n $", u"-$ n", u"n $-", u"$ n-", u"$ -n", u"n- $", u"-$ n", u"-n $"};
        r = kMinus[f.currencyNegative & 15];
    } else if (parens == -1 || f.currencyNegative == 0 || f.currencyNegative == 4 ||
               f.currencyNegative == 14 || f.currencyNegative == 15) {
        // brackets: asked for, or the locale's own form
        static const char16_t* const kBracket[] = {u"($n)", u"(n$)", u"($ n)", u"(n $)"};
        r = kBracket[f.currencyPositive & 3];
    } else {
        static const char16_t* const kNegative[] = {
            u"($n)", u"-$n",  u"$-n",  u"$n-",  u"(n$)", u"-n$",  u"n-$",   u"n$-",
            u"-n $", u"-$ n", u"n $-", u"$ n-", u"$ -n", u"n- $", u"($ n)", u"(n $)"};
        r = kNegative[f.currencyNegative & 15];
    }
    WString out;
    for (char16_t c : r) {
        if (c == u'$')
            out += cur;
        else if (c == u'n')
            out += n;
        else
            out += c;
    }
    SetStr(o, out);
}
void FnFormatPercent(Interp&, A& a, Value* o) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) Throw(13);
    SetStr(o, FormatNumberText(ToDouble(&v) * 100, LongArg(a, 1, -1), Tri(a, 2), Tri(a, 3),
                               Tri(a, 4)) +
                  u"%");
}
void FnFormatDateTime(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    double d = ToDate(Arg0(a, 0));
    int32_t f = LongArg(a, 1, 0);
    if (f < 0 || f > 4) Throw(5);
    SetStr(o, FormatDatePart(d, f));
}

// ---- dates ----

double NowValue() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm;
    localtime_r(&t, &tm);
    DateParts p{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    double d = 0;
    MakeDate(p, &d);
    return d;
}
void FnNow(Interp&, A&, Value* o) {
    VariantFromDate(o->Receive(), NowValue());
}
void FnDate(Interp&, A&, Value* o) {
    VariantFromDate(o->Receive(), std::floor(NowValue()));
}
void FnTime(Interp&, A&, Value* o) {
    double n = NowValue();
    VariantFromDate(o->Receive(), n - std::floor(n));
}
void FnTimer(Interp&, A&, Value* o) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm;
    localtime_r(&t, &tm);
    double ms = double(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000) / 1000.0;
    VARIANT* r = o->Receive();
    r->vt = VT_R4;
    r->fltVal = float(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec + ms);
}
template <class F>
void DatePartFn(A& a, Value* o, F f) {
    if (IsNull(a, 0)) return SetNull(o);
    double d = ToDate(Arg0(a, 0));
    SetInt(o, int16_t(f(SplitDate(d), d)));
}
void FnYear(Interp&, A& a, Value* o) {
    DatePartFn(a, o, [](const DateParts& p, double) { return p.year; });
}
void FnMonth(Interp&, A& a, Value* o) {
    DatePartFn(a, o, [](const DateParts& p, double) { return p.month; });
}
void FnDay(Interp&, A& a, Value* o) {
    DatePartFn(a, o, [](const DateParts& p, double) { return p.day; });
}
void FnHour(Interp&, A& a, Value* o) {
    DatePartFn(a, o, [](const DateParts& p, double) { return p.hour; });
}
void FnMinute(Interp&, A& a, Value* o) {
    DatePartFn(a, o, [](const DateParts& p, double) { return p.minute; });
}
void FnSecond(Interp&, A& a, Value* o) {
    DatePartFn(a, o, [](const DateParts& p, double) { return p.second; });
}
int FirstDay(const A& a, size_t i) {
    int32_t f = LongArg(a, i, 1);
    if (f < 0 || f > 7) Throw(5);
    return f == 0 ? 1 : f;
}
int WeekdayOf(double d, int fdow) {
    return (DayOfWeek(d) - fdow + 7) % 7 + 1;
}
void FnWeekday(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    double d = ToDate(Arg0(a, 0));
    SetInt(o, int16_t(WeekdayOf(d, FirstDay(a, 1))));
}
void FnWeekdayName(Interp&, A& a, Value* o) {
    int32_t n = ToLong(Arg0(a, 0));
    bool ab = Has(a, 1) && ToBool(Arg0(a, 1));
    int fdow = FirstDay(a, 2);
    if (n < 1 || n > 7) Throw(5);
    WString name = kDayNames[(n - 1 + fdow - 1) % 7];
    SetStr(o, ab ? name.substr(0, 3) : name);
}
void FnMonthName(Interp&, A& a, Value* o) {
    int32_t n = ToLong(Arg0(a, 0));
    bool ab = Has(a, 1) && ToBool(Arg0(a, 1));
    if (n < 1 || n > 12) Throw(5);
    WString name = kMonthNames[n - 1];
    SetStr(o, ab ? name.substr(0, 3) : name);
}
int FixYear(int y) {
    return y >= 0 && y < 30 ? 2000 + y : y >= 30 && y < 100 ? 1900 + y : y;
}
void FnDateSerial(Interp&, A& a, Value* o) {
    if (IsNull(a, 0) || IsNull(a, 1) || IsNull(a, 2)) Throw(94);
    int32_t y = FixYear(ToInteger(Arg0(a, 0))), m = ToInteger(Arg0(a, 1)),
            d = ToInteger(Arg0(a, 2));
    SetDate(o, DaysFromCivil(y, m, d));
}
void FnTimeSerial(Interp&, A& a, Value* o) {
    int32_t h = ToInteger(Arg0(a, 0)), m = ToInteger(Arg0(a, 1)), s = ToInteger(Arg0(a, 2));
    double t = (h * 3600.0 + m * 60.0 + s) / 86400.0;
    // negative times count back from midnight: keep the fraction positive
    double day = std::floor(t);
    double frac = t - day;
    SetDate(o, day >= 0 ? day + frac : day - frac);
}
void FnDateValue(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    double d = ToDate(Arg0(a, 0));
    VariantFromDate(o->Receive(), std::trunc(d));
}
void FnTimeValue(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    double d = ToDate(Arg0(a, 0));
    VariantFromDate(o->Receive(), std::fabs(d - std::trunc(d)));
}
void FnIsDate(Interp&, A& a, Value* o) {
    if (IsObjectVt(Target(Arg0(a, 0))->vt)) return SetBool(o, false);  // Nothing too
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_DATE) return SetBool(o, true);
    if (v.vt != VT_BSTR) return SetBool(o, false);
    double d;
    SetBool(o, ParseDateText(BstrView(v.bstrVal), &d));
}

WString Interval(const A& a, size_t i) {
    WString s = text::ToLower(StrArg(a, i));
    static const char16_t* known[] = {u"yyyy", u"q",  u"m", u"y", u"d",
                                      u"w",    u"ww", u"h", u"n", u"s"};
    for (auto k : known)
        if (s == k) return s;
    Throw(5);
}
double AddMonths(double d, int64_t months) {
    DateParts p = SplitDate(d);
    int64_t total = int64_t(p.year) * 12 + (p.month - 1) + months;
    int y = int(total / 12);
    int m = int(total % 12) + 1;
    if (y < 100 || y > 9999) Throw(5);
    p.year = y;
    p.month = m;
    p.day = std::min(p.day, DaysInMonth(y, m));
    double r;
    if (!MakeDate(p, &r)) Throw(5);
    return r;
}
// Seconds since the epoch day 0 with the time counted forward.
double AbsSeconds(double d) {
    DateParts p = SplitDate(d);
    return DaysFromCivil(p.year, p.month, p.day) * 86400.0 + p.hour * 3600.0 + p.minute * 60.0 +
           p.second;
}
double FromAbsSeconds(double s) {
    double day = std::floor(s / 86400.0);
    double frac = (s - day * 86400.0) / 86400.0;
    return day >= 0 ? day + frac : day - frac;
}
void FnDateAdd(Interp&, A& a, Value* o) {
    WString iv = Interval(a, 0);
    if (IsNull(a, 1) || IsNull(a, 2)) return SetNull(o);
    double n = std::trunc(ToDouble(Arg0(a, 1)));
    double d = ToDate(Arg0(a, 2));
    double r;
    if (iv == u"yyyy")
        r = AddMonths(d, int64_t(n) * 12);
    else if (iv == u"q")
        r = AddMonths(d, int64_t(n) * 3);
    else if (iv == u"m")
        r = AddMonths(d, int64_t(n));
    else {
        double secs = iv == u"ww" ? n * 7 * 86400
                                  : (iv == u"h"   ? n * 3600
                                     : iv == u"n" ? n * 60
                                     : iv == u"s" ? n
                                                  : n * 86400);
        r = FromAbsSeconds(AbsSeconds(d) + secs);
    }
    SetDate(o, r);
}
int WeekOfYear(double d, int fdow, int fwoy);
void FnDateDiff(Interp&, A& a, Value* o) {
    WString iv = Interval(a, 0);
    if (IsNull(a, 1) || IsNull(a, 2)) return SetNull(o);
    double d1 = ToDate(Arg0(a, 1)), d2 = ToDate(Arg0(a, 2));
    int fdow = FirstDay(a, 3);
    DateParts p1 = SplitDate(d1), p2 = SplitDate(d2);
    double s1 = AbsSeconds(d1), s2 = AbsSeconds(d2);
    double day1 = std::floor(s1 / 86400), day2 = std::floor(s2 / 86400);
    double r;
    if (iv == u"yyyy")
        r = p2.year - p1.year;
    else if (iv == u"q")
        r = (p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3);
    else if (iv == u"m")
        r = (p2.year * 12 + p2.month) - (p1.year * 12 + p1.month);
    else if (iv == u"y" || iv == u"d")
        r = day2 - day1;
    else if (iv == u"w")
        r = std::trunc((day2 - day1) / 7);
    else if (iv == u"ww") {
        double w1 = day1 - ((int(std::fmod(day1 + 6, 7) + 7) % 7 + 1 - fdow + 7) % 7);
        double w2 = day2 - ((int(std::fmod(day2 + 6, 7) + 7) % 7 + 1 - fdow + 7) % 7);
        r = (w2 - w1) / 7;
    } else if (iv == u"h")
        r = std::floor(s2 / 3600) - std::floor(s1 / 3600);
    else if (iv == u"n")
        r = std::floor(s2 / 60) - std::floor(s1 / 60);
    else
        r = s2 - s1;
    if (std::fabs(r) <= 2147483647.0)
        SetLong(o, int32_t(r));
    else
        SetDbl(o, r);
}
int DayOfYear(const DateParts& p) {
    return int(DaysFromCivil(p.year, p.month, p.day) - DaysFromCivil(p.year, 1, 1)) + 1;
}
int WeekOfYear(double d, int fdow, int fwoy) {
    DateParts p = SplitDate(d);
    double jan1 = DaysFromCivil(p.year, 1, 1);
    int w1 = WeekdayOf(jan1, fdow) - 1;  // days of the first partial week before jan 1
    int doy = DayOfYear(p);
    int week = (doy - 1 + w1) / 7 + 1;
    if (fwoy == 2 && w1 >= 4) --week;
    if (fwoy == 3 && w1 != 0) --week;
    if (week == 0) return WeekOfYear(DaysFromCivil(p.year - 1, 12, 31), fdow, fwoy);
    if (fwoy == 2 && week == 53) {
        // belongs to week 1 of next year when that year starts the week early enough
        double jn = DaysFromCivil(p.year + 1, 1, 1);
        int wn = WeekdayOf(jn, fdow) - 1;
        if (wn < 4 && wn > 0) return 1;
    }
    return week;
}
void FnDatePart(Interp&, A& a, Value* o) {
    WString iv = Interval(a, 0);
    if (IsNull(a, 1)) return SetNull(o);
    double d = ToDate(Arg0(a, 1));
    int fdow = FirstDay(a, 2);
    int32_t fwoy = LongArg(a, 3, 1);
    if (fwoy < 0 || fwoy > 3) Throw(5);
    if (fwoy == 0) fwoy = 1;
    DateParts p = SplitDate(d);
    int r;
    if (iv == u"yyyy")
        r = p.year;
    else if (iv == u"q")
        r = (p.month - 1) / 3 + 1;
    else if (iv == u"m")
        r = p.month;
    else if (iv == u"y")
        r = DayOfYear(p);
    else if (iv == u"d")
        r = p.day;
    else if (iv == u"w")
        r = WeekdayOf(d, fdow);
    else if (iv == u"ww")
        r = WeekOfYear(d, fdow, fwoy);
    else if (iv == u"h")
        r = p.hour;
    else if (iv == u"n")
        r = p.minute;
    else
        r = p.second;
    SetInt(o, int16_t(r));
}

// ---- arrays and types ----

void FnArray(Interp&, A& a, Value* o) {
    SAFEARRAY* sa = NewVector(a.size());
    VARIANT* d = static_cast<VARIANT*>(sa->pvData);
    for (size_t i = 0; i < a.size(); ++i) Assign(&d[i], a[i].Get());
    SetArray(o, sa);
}
void Bound(A& a, Value* o, bool upper) {
    const VARIANT* v = Target(Arg0(a, 0));
    Value dv;  // an object's default member may give the array
    if (IsObjectVt(v->vt)) {
        ValueOf(v, &dv);
        v = &dv;
    }
    if (!(v->vt & VT_ARRAY)) Throw(13);
    if (!v->parray) Throw(9);
    int32_t dim = LongArg(a, 1, 1);
    if (dim < 1 || uint32_t(dim) > SafeArrayGetDim(v->parray)) Throw(9);
    int32_t r;
    if (upper)
        SafeArrayGetUBound(v->parray, uint32_t(dim), &r);
    else
        SafeArrayGetLBound(v->parray, uint32_t(dim), &r);
    SetLong(o, r);
}
void FnUBound(Interp&, A& a, Value* o) {
    Bound(a, o, true);
}
void FnLBound(Interp&, A& a, Value* o) {
    Bound(a, o, false);
}
void FnIsArray(Interp&, A& a, Value* o) {
    SetBool(o, (Target(Arg0(a, 0))->vt & VT_ARRAY) != 0);
}
void FnIsEmpty(Interp&, A& a, Value* o) {
    SetBool(o, Target(Arg0(a, 0))->vt == VT_EMPTY);
}
void FnIsNull(Interp&, A& a, Value* o) {
    const VARIANT* v = Target(Arg0(a, 0));
    // An object with a default value is Null when that value is.
    Value hold;
    if (v->vt == VT_DISPATCH && v->pdispVal) {
        try {
            ValueOf(v, &hold);
        } catch (const VbsError&) {
            return SetBool(o, false);
        }
        v = &hold;
    }
    SetBool(o, v->vt == VT_NULL);
}
void FnIsObject(Interp&, A& a, Value* o) {
    SetBool(o, IsObjectVt(Target(Arg0(a, 0))->vt));
}
void FnIsNumeric(Interp&, A& a, Value* o) {
    const VARIANT* v = Target(Arg0(a, 0));
    Value hold;
    if (IsObjectVt(v->vt)) {
        try {
            ValueOf(v, &hold);
        } catch (const VbsError&) {
            return SetBool(o, false);
        }
        v = &hold;
    }
    switch (v->vt) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_BOOL:
        case VT_UI1:
            return SetBool(o, true);
        case VT_BSTR: {
            double d;
            return SetBool(o, TextToNumber(BstrView(v->bstrVal), &d));
        }
        default:
            return SetBool(o, false);
    }
}
void FnTypeName(Interp& in, A& a, Value* o) {
    SetStr(o, in.TypeName(Arg0(a, 0)));
}
void FnVarType(Interp&, A& a, Value* o) {
    const VARIANT* v = Target(Arg0(a, 0));
    VARTYPE vt = v->vt & ~VT_BYREF;
    if (vt & VT_ARRAY) return SetInt(o, int16_t(VT_ARRAY | VT_VARIANT));
    if (vt == VT_INT) vt = VT_I4;
    if (vt == VT_UNKNOWN) vt = VT_DISPATCH;
    if (vt == VT_DISPATCH && v->pdispVal) {
        // an object with a default value answers that value's type
        Value dv;
        try {
            ValueOf(v, &dv);
            return SetInt(o, int16_t(dv.vt));
        } catch (const VbsError&) {
        }
    }
    SetInt(o, int16_t(vt));
}

// ---- host and engine ----

void FnMsgBox(Interp& in, A& a, Value* o) {
    WString prompt = IsNull(a, 0) ? WString(u"Null") : StrArg(a, 0);
    int32_t flags = LongArg(a, 1, 0);
    WString title = Has(a, 2) ? StrArg(a, 2) : WString(u"VBScript");
    int r = in.Host() ? in.Host()->MessageBox(prompt, title, flags) : 1;
    SetInt(o, int16_t(r));
}
void FnInputBox(Interp& in, A& a, Value* o) {
    WString prompt = StrArg(a, 0);
    WString title = Has(a, 1) ? StrArg(a, 1) : WString(u"VBScript");
    WString def = Has(a, 2) ? StrArg(a, 2) : WString();
    WString r;
    if (in.Host() && in.Host()->InputBox(prompt, title, def, &r))
        SetStr(o, r);
    else
        o->Receive();
}
void FnRGB(Interp&, A& a, Value* o) {
    auto c = [&](size_t i) {
        int32_t v = ToLong(Arg0(a, i));
        if (v < 0) Throw(5);
        return std::min(v, 255);
    };
    SetLong(o, c(0) | (c(1) << 8) | (c(2) << 16));
}
void FnScriptEngine(Interp&, A&, Value* o) {
    SetStr(o, u"VBScript");
}
void FnMajor(Interp&, A&, Value* o) {
    SetLong(o, 5);
}
void FnMinor(Interp&, A&, Value* o) {
    SetLong(o, 8);
}
void FnBuild(Interp&, A&, Value* o) {
    SetLong(o, 16384);
}
void FnGetLocale(Interp& in, A&, Value* o) {
    SetLong(o, int32_t(in.Locale()));
}
// SetLocale(id or tag): a locale of the platform's table ("de-de", 1031);
// none, 0 and the default ids (1024, 2048) are the user's. Gives the old id.
void FnSetLocale(Interp& in, A& a, Value* o) {
    int32_t old = int32_t(in.Locale());
    DWORD lcid = 0;
    if (Has(a, 0)) {
        Value v;
        Val(a, 0, &v);
        if (v.vt == VT_NULL) Throw(94);
        double n;
        if (v.vt == VT_BSTR && !TextToNumber(BstrView(v.bstrVal), &n)) {
            WString tag = text::Trim(BstrView(v.bstrVal));
            if (!tag.empty()) {
                lcid = res::FindLocaleByTag(tag);
                if (!lcid) Throw(5);
            }
        } else {
            int32_t l = ToLong(&v);
            if (l < 0) Throw(5);
            lcid = DWORD(l);
        }
    }
    if (lcid == 0 || lcid == 1024 || lcid == 2048) lcid = res::GetUserDefaultLCID();
    if (!in.SetLocale(lcid)) Throw(5);
    SetLong(o, old);
}
void FnErr(Interp& in, A&, Value* o) {
    VariantFromDispatch(o->Receive(), static_cast<IDispatch*>(in.Err()));
}
// Text compiled at run time that does not compile: its syntax error number,
// as an error the script can catch.
[[noreturn]] void ThrowSyntax(const SyntaxError& s) {
    VbsError e;
    e.number = s.number;
    e.hr = HrOfNumber(s.number);
    e.description = ErrorText(s.number);
    e.source = kCompileSource;
    throw e;
}
// The text of Eval, Execute, ExecuteGlobal and GetRef: Null is 94, anything
// but a text 5.
WString CodeArg(const A& a) {
    Value v;
    Val(a, 0, &v);
    if (v.vt == VT_NULL) Throw(94);
    if (v.vt != VT_BSTR) Throw(5);
    return WString(BstrView(v.bstrVal));
}
void FnEval(Interp& in, A& a, Value* o) {
    WString code = CodeArg(a);
    try {
        in.EvalCode(code, in.CurrentFrame(), o);
    } catch (const SyntaxError& e) {
        ThrowSyntax(e);
    }
}
void FnExecute(Interp& in, A& a, Value* o) {
    WString code = CodeArg(a);
    try {
        in.ExecuteCode(code, in.CurrentFrame(), false);
    } catch (const SyntaxError& e) {
        ThrowSyntax(e);
    }
    o->Receive();
}
void FnExecuteGlobal(Interp& in, A& a, Value* o) {
    WString code = CodeArg(a);
    try {
        in.ExecuteCode(code, nullptr, true);
    } catch (const SyntaxError& e) {
        ThrowSyntax(e);
    }
    o->Receive();
}
void FnGetRef(Interp& in, A& a, Value* o) {
    WString name = Fold(CodeArg(a));
    const Proc* p = in.FindProc(name);
    if (!p) Throw(5);
    IDispatch* d = in.MakeProcRef(p);
    VariantFromDispatch(o->Receive(), d);
}
void FnCreateObject(Interp&, A& a, Value* o) {
    WString name = text::ToLower(StrArg(a, 0));
    if (name == u"vbscript.regexp") {
        IDispatch* d = NewRegExp();
        VariantFromDispatch(o->Receive(), d);
        d->Release();
        return;
    }
    Throw(429, StrArg(a, 0));
}
void FnGetObject(Interp&, A&, Value*) {
    Throw(429);
}

WString EscapeText(const WString& s) {
    static const char16_t* safe = u"@*_+-./";
    WString r;
    for (WChar c : s) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            (c < 128 && std::char_traits<char16_t>::find(safe, 7, c))) {
            r += c;
        } else if (c < 256) {
            r += text::Format(u"%%%02X", unsigned(c));
        } else {
            r += text::Format(u"%%u%04X", unsigned(c));
        }
    }
    return r;
}
WString UnescapeText(const WString& s) {
    WString r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            if (i + 5 < s.size() + 0 && (s[i + 1] == 'u' || s[i + 1] == 'U')) {
                int v = 0;
                bool ok = true;
                for (int k = 2; k < 6; ++k) {
                    int h = text::HexDigit(s[i + k]);
                    if (h < 0) ok = false;
                    v = v * 16 + std::max(h, 0);
                }
                if (ok) {
                    r += WChar(v);
                    i += 5;
                    continue;
                }
            }
            if (i + 2 < s.size() && text::HexDigit(s[i + 1]) >= 0 &&
                text::HexDigit(s[i + 2]) >= 0) {
                r += WChar(text::HexDigit(s[i + 1]) * 16 + text::HexDigit(s[i + 2]));
                i += 2;
                continue;
            }
        }
        r += s[i];
    }
    return r;
}
void FnEscape(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    Str1(a, o, EscapeText);
}
void FnUnescape(Interp&, A& a, Value* o) {
    if (IsNull(a, 0)) Throw(94);
    Str1(a, o, UnescapeText);
}

}  // namespace

const std::vector<Interp::BuiltinDef>& BuiltinTable() {
    static const std::vector<Interp::BuiltinDef> table = {
        {u"CBool", FnCBool, 1, 1},
        {u"CByte", FnCByte, 1, 1},
        {u"CCur", FnCCur, 1, 1},
        {u"CDate", FnCDate, 1, 1},
        {u"CDbl", FnCDbl, 1, 1},
        {u"CInt", FnCInt, 1, 1},
        {u"CLng", FnCLng, 1, 1},
        {u"CSng", FnCSng, 1, 1},
        {u"CStr", FnCStr, 1, 1},
        {u"Hex", FnHex, 1, 1},
        {u"Oct", FnOct, 1, 1},
        {u"Asc", FnAsc, 1, 1},
        {u"AscW", FnAscW, 1, 1},
        {u"Chr", FnChr, 1, 1},
        {u"ChrW", FnChrW, 1, 1},
        {u"Abs", FnAbs, 1, 1},
        {u"Int", FnInt, 1, 1},
        {u"Fix", FnFix, 1, 1},
        {u"Sgn", FnSgn, 1, 1},
        {u"Sqr", FnSqr, 1, 1},
        {u"Exp", FnExp, 1, 1},
        {u"Log", FnLog, 1, 1},
        {u"Sin", FnSin, 1, 1},
        {u"Cos", FnCos, 1, 1},
        {u"Tan", FnTan, 1, 1},
        {u"Atn", FnAtn, 1, 1},
        {u"Rnd", FnRnd, 0, 1},
        {u"Randomize", FnRandomize, 0, 1},
        {u"Round", FnRound, 1, 2},
        {u"Len", FnLen, 1, 1},
        {u"LenB", FnLenB, 1, 1},
        {u"LeftB", FnLeftB, 2, 2},
        {u"RightB", FnRightB, 2, 2},
        {u"MidB", FnMidB, 2, 3},
        {u"InStrB", FnInStrB, 2, 4},
        {u"AscB", FnAscB, 1, 1},
        {u"ChrB", FnChrB, 1, 1},
        {u"Left", FnLeft, 2, 2},
        {u"Right", FnRight, 2, 2},
        {u"Mid", FnMid, 2, 3},
        {u"LCase", FnLCase, 1, 1},
        {u"UCase", FnUCase, 1, 1},
        {u"LTrim", FnLTrim, 1, 1},
        {u"RTrim", FnRTrim, 1, 1},
        {u"Trim", FnTrim, 1, 1},
        {u"Space", FnSpace, 1, 1},
        {u"String", FnString, 2, 2},
        {u"StrReverse", FnStrReverse, 1, 1},
        {u"InStr", FnInStr, 2, 4},
        {u"InStrRev", FnInStrRev, 2, 4},
        {u"StrComp", FnStrComp, 2, 3},
        {u"Replace", FnReplace, 3, 6},
        {u"Split", FnSplit, 1, 4},
        {u"Join", FnJoin, 1, 2},
        {u"Filter", FnFilter, 2, 4},
        {u"FormatNumber", FnFormatNumber, 1, 5},
        {u"FormatCurrency", FnFormatCurrency, 1, 5},
        {u"FormatPercent", FnFormatPercent, 1, 5},
        {u"FormatDateTime", FnFormatDateTime, 1, 2},
        {u"Now", FnNow, 0, 0},
        {u"Date", FnDate, 0, 0},
        {u"Time", FnTime, 0, 0},
        {u"Timer", FnTimer, 0, 0},
        {u"Year", FnYear, 1, 1},
        {u"Month", FnMonth, 1, 1},
        {u"Day", FnDay, 1, 1},
        {u"Hour", FnHour, 1, 1},
        {u"Minute", FnMinute, 1, 1},
        {u"Second", FnSecond, 1, 1},
        {u"Weekday", FnWeekday, 1, 2},
        {u"WeekdayName", FnWeekdayName, 1, 3},
        {u"MonthName", FnMonthName, 1, 2},
        {u"DateSerial", FnDateSerial, 3, 3},
        {u"TimeSerial", FnTimeSerial, 3, 3},
        {u"DateValue", FnDateValue, 1, 1},
        {u"TimeValue", FnTimeValue, 1, 1},
        {u"IsDate", FnIsDate, 1, 1},
        {u"DateAdd", FnDateAdd, 3, 3},
        {u"DateDiff", FnDateDiff, 3, 5},
        {u"DatePart", FnDatePart, 2, 4},
        {u"Array", FnArray, 0, 1 << 20},
        {u"UBound", FnUBound, 1, 2},
        {u"LBound", FnLBound, 1, 2},
        {u"IsArray", FnIsArray, 1, 1},
        {u"IsEmpty", FnIsEmpty, 1, 1},
        {u"IsNull", FnIsNull, 1, 1},
        {u"IsObject", FnIsObject, 1, 1},
        {u"IsNumeric", FnIsNumeric, 1, 1},
        {u"TypeName", FnTypeName, 1, 1},
        {u"VarType", FnVarType, 1, 1},
        {u"MsgBox", FnMsgBox, 1, 5},
        {u"InputBox", FnInputBox, 1, 7},
        {u"RGB", FnRGB, 3, 3},
        {u"ScriptEngine", FnScriptEngine, 0, 0},
        {u"ScriptEngineMajorVersion", FnMajor, 0, 0},
        {u"ScriptEngineMinorVersion", FnMinor, 0, 0},
        {u"ScriptEngineBuildVersion", FnBuild, 0, 0},
        {u"GetLocale", FnGetLocale, 0, 0},
        {u"SetLocale", FnSetLocale, 0, 1},
        {u"Err", FnErr, 0, 0},
        {u"Eval", FnEval, 1, 1},
        {u"Execute", FnExecute, 1, 1},
        {u"ExecuteGlobal", FnExecuteGlobal, 1, 1},
        {u"GetRef", FnGetRef, 1, 1},
        {u"CreateObject", FnCreateObject, 1, 2},
        {u"GetObject", FnGetObject, 0, 2},
        {u"Escape", FnEscape, 1, 1},
        {u"Unescape", FnUnescape, 1, 1},
    };
    return table;
}

bool BuiltinConstant(const WString& lname, Value* out) {
    struct C {
        const char16_t* name;
        int kind;  // 0 long, 1 string, 2 bool, 3 int
        int32_t n;
        const char16_t* s;
    };
    static const C consts[] = {
        {u"vbcrlf", 1, 0, u"\r\n"},
        {u"vbcr", 1, 0, u"\r"},
        {u"vblf", 1, 0, u"\n"},
        {u"vbnewline", 1, 0, u"\r\n"},
        {u"vbtab", 1, 0, u"\t"},
        {u"vbformfeed", 1, 0, u"\f"},
        {u"vbverticaltab", 1, 0, u"\v"},
        {u"vbnullstring", 1, 0, u""},
        {u"vbtrue", 3, -1, nullptr},
        {u"vbfalse", 3, 0, nullptr},
        {u"vbusedefault", 3, -2, nullptr},
        {u"vbobjecterror", 0, int32_t(0x80040000), nullptr},
        {u"vbbinarycompare", 0, 0, nullptr},
        {u"vbtextcompare", 0, 1, nullptr},
        {u"vbdatabasecompare", 0, 2, nullptr},
        {u"vbusesystemdayofweek", 3, 0, nullptr},
        {u"vbsunday", 3, 1, nullptr},
        {u"vbmonday", 3, 2, nullptr},
        {u"vbtuesday", 3, 3, nullptr},
        {u"vbwednesday", 3, 4, nullptr},
        {u"vbthursday", 3, 5, nullptr},
        {u"vbfriday", 3, 6, nullptr},
        {u"vbsaturday", 3, 7, nullptr},
        {u"vbusesystem", 3, 0, nullptr},
        {u"vbfirstjan1", 3, 1, nullptr},
        {u"vbfirstfourdays", 3, 2, nullptr},
        {u"vbfirstfullweek", 3, 3, nullptr},
        {u"vbgeneraldate", 3, 0, nullptr},
        {u"vblongdate", 3, 1, nullptr},
        {u"vbshortdate", 3, 2, nullptr},
        {u"vblongtime", 3, 3, nullptr},
        {u"vbshorttime", 3, 4, nullptr},
        {u"vbempty", 3, 0, nullptr},
        {u"vbnull", 3, 1, nullptr},
        {u"vbinteger", 3, 2, nullptr},
        {u"vblong", 3, 3, nullptr},
        {u"vbsingle", 3, 4, nullptr},
        {u"vbdouble", 3, 5, nullptr},
        {u"vbcurrency", 3, 6, nullptr},
        {u"vbdate", 3, 7, nullptr},
        {u"vbstring", 3, 8, nullptr},
        {u"vbobject", 3, 9, nullptr},
        {u"vberror", 3, 10, nullptr},
        {u"vbboolean", 3, 11, nullptr},
        {u"vbvariant", 3, 12, nullptr},
        {u"vbdataobject", 3, 13, nullptr},
        {u"vbdecimal", 3, 14, nullptr},
        {u"vbbyte", 3, 17, nullptr},
        {u"vbarray", 3, 8192, nullptr},
        {u"vbokonly", 3, 0, nullptr},
        {u"vbokcancel", 3, 1, nullptr},
        {u"vbabortretryignore", 3, 2, nullptr},
        {u"vbyesnocancel", 3, 3, nullptr},
        {u"vbyesno", 3, 4, nullptr},
        {u"vbretrycancel", 3, 5, nullptr},
        {u"vbcritical", 3, 16, nullptr},
        {u"vbquestion", 3, 32, nullptr},
        {u"vbexclamation", 3, 48, nullptr},
        {u"vbinformation", 3, 64, nullptr},
        {u"vbdefaultbutton1", 3, 0, nullptr},
        {u"vbdefaultbutton2", 3, 256, nullptr},
        {u"vbdefaultbutton3", 3, 512, nullptr},
        {u"vbdefaultbutton4", 3, 768, nullptr},
        {u"vbapplicationmodal", 3, 0, nullptr},
        {u"vbsystemmodal", 3, 4096, nullptr},
        {u"vbmsgboxhelpbutton", 0, 16384, nullptr},
        {u"vbmsgboxsetforeground", 0, 65536, nullptr},
        {u"vbmsgboxright", 0, 524288, nullptr},
        {u"vbmsgboxrtlreading", 0, 1048576, nullptr},
        {u"vbok", 3, 1, nullptr},
        {u"vbcancel", 3, 2, nullptr},
        {u"vbabort", 3, 3, nullptr},
        {u"vbretry", 3, 4, nullptr},
        {u"vbignore", 3, 5, nullptr},
        {u"vbyes", 3, 6, nullptr},
        {u"vbno", 3, 7, nullptr},
        {u"vbblack", 0, 0x000000, nullptr},
        {u"vbred", 0, 0x0000FF, nullptr},
        {u"vbgreen", 0, 0x00FF00, nullptr},
        {u"vbyellow", 0, 0x00FFFF, nullptr},
        {u"vbblue", 0, 0xFF0000, nullptr},
        {u"vbmagenta", 0, 0xFF00FF, nullptr},
        {u"vbcyan", 0, 0xFFFF00, nullptr},
        {u"vbwhite", 0, 0xFFFFFF, nullptr},
    };
    if (lname == u"vbnullchar") {
        VariantFromString(out->Receive(), WStringView(u"\0", 1));
        return true;
    }
    for (const C& c : consts) {
        if (lname != c.name) continue;
        VARIANT* o = out->Receive();
        switch (c.kind) {
            case 0:
                VariantFromLong(o, c.n);
                break;
            case 1:
                VariantFromString(o, c.s);
                break;
            case 2:
                VariantFromBool(o, c.n != 0);
                break;
            default:
                VariantFromShort(o, int16_t(c.n));
                break;
        }
        return true;
    }
    return false;
}

}  // namespace vbs
