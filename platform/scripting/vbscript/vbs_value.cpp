#include "platform/scripting/vbscript/vbs_value.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/scripting/vbscript/vbs_dates.h"
#include "platform/scripting/vbscript/vbs_locale.h"

namespace vbs {

const char16_t kRuntimeSource[] = u"VBScript runtime error";
const char16_t kCompileSource[] = u"VBScript compilation error";

void Throw(int number, WStringView detail) {
    VbsError e;
    e.number = number;
    e.hr = HrOfNumber(number);
    e.description = ErrorText(number);
    e.source = kRuntimeSource;
    e.detail = WString(detail);
    throw e;
}

// The language's numbers of the platform's failure codes; any other code
// stays as it is (a negative Err.Number).
int32_t NumberOfHr(HRESULT hr) {
    if ((uint32_t(hr) & 0xFFFF0000u) == 0x800A0000u) return int32_t(hr & 0xFFFF);
    static const struct {
        uint32_t hr;
        int16_t number;
    } kTable[] = {
        {0x80004001, 445}, {0x80004002, 430}, {0x80020001, 438}, {0x80020003, 438},
        {0x80020004, 448}, {0x80020005, 13},  {0x80020006, 438}, {0x80020007, 446},
        {0x80020008, 458}, {0x8002000A, 6},   {0x8002000B, 9},   {0x8002000C, 447},
        {0x8002000D, 10},  {0x8002000E, 450}, {0x8002000F, 449}, {0x80020011, 451},
        {0x8002802F, 453}, {0x80028CA0, 13},  {0x80028CA1, 9},   {0x80028CA2, 57},
        {0x80028CA3, 322}, {0x80030002, 432}, {0x80030003, 76},  {0x80030004, 67},
        {0x80030005, 70},  {0x80030008, 7},   {0x80030012, 67},  {0x80030013, 70},
        {0x8003001D, 57},  {0x8003001E, 57},  {0x80030020, 75},  {0x80030021, 70},
        {0x80030050, 58},  {0x80030070, 61},  {0x800300FC, 53},  {0x80030100, 70},
        {0x80030101, 70},  {0x80030103, 57},  {0x80040154, 429}, {0x800401E3, 429},
        {0x800401E6, 432}, {0x800401EA, 432}, {0x800401F3, 429}, {0x800401F5, 429},
        {0x800401FE, 429}, {0x80070005, 70},  {0x8007000E, 7},   {0x80070057, 5},
        {0x800706BA, 462}, {0x80080005, 429},
    };
    for (const auto& m : kTable)
        if (uint32_t(hr) == m.hr) return m.number;
    return hr;
}

HRESULT HrOfNumber(int32_t number) {
    if (number < 0) return number;  // already an HRESULT
    if (number > 0 && number <= 0xFFFF) return HRESULT(0x800A0000u | uint32_t(number));
    return number;
}

void ThrowHr(HRESULT hr, EXCEPINFO* ei, WStringView detail) {
    VbsError e;
    e.detail = WString(detail);
    if (hr == DISP_E_EXCEPTION && ei) {
        if (ei->pfnDeferredFillIn) ei->pfnDeferredFillIn(ei);
        HRESULT sc = ei->wCode ? HrOfNumber(ei->wCode) : ei->scode;
        if (sc == 0) sc = E_FAIL;
        e.hr = sc;
        e.number = NumberOfHr(sc);
        e.description = WString(BstrView(ei->bstrDescription));
        e.source = WString(BstrView(ei->bstrSource));
        e.helpFile = WString(BstrView(ei->bstrHelpFile));
        e.helpContext = int32_t(ei->dwHelpContext);
        ClearExcepInfo(ei);
    } else {
        if (ei) ClearExcepInfo(ei);
        e.hr = hr;
        e.number = NumberOfHr(hr);
        if (e.number > 0) e.hr = HrOfNumber(e.number);
        // keep the member's own failure code when it is not one of ours
        if (e.number == hr) e.hr = hr;
        e.source = kRuntimeSource;
    }
    if (e.description.empty() && e.number > 0) e.description = ErrorText(e.number);
    if (e.description.empty()) e.description = ErrorText(507);
    throw e;
}

bool IsObjectVt(VARTYPE vt) {
    return vt == VT_DISPATCH || vt == VT_UNKNOWN;
}

void Assign(VARIANT* dst, const VARIANT* src) {
    const VARIANT* s = Target(src);
    if (s->vt & VT_BYREF) {
        VariantCopyInd(dst, s);
    } else {
        VariantCopy(dst, s);
    }
}

void MoveInto(VARIANT* dst, Value& src) {
    VariantClear(dst);
    *dst = src.Detach();
}

void ValueOf(const VARIANT* v, Value* out) {
    const VARIANT* t = Target(v);
    if (t->vt == VT_DISPATCH || t->vt == VT_UNKNOWN) {
        IDispatch* d = nullptr;
        if (t->vt == VT_DISPATCH) d = t->pdispVal;
        ComPtr<IDispatch> qd;
        if (t->vt == VT_UNKNOWN && t->punkVal) {
            if (FAILED(t->punkVal->QueryInterface(IID_IDispatch, qd.ReceiveVoid()))) Throw(438);
            d = qd.Get();
        }
        if (!d) Throw(91);
        Value r;
        EXCEPINFO ei{};
        DISPPARAMS dp{nullptr, nullptr, 0, 0};
        HRESULT hr =
            d->Invoke(DISPID_VALUE, IID_NULL, LOCALE_EN_US, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                      &dp, r.Receive(), &ei, nullptr);
        if (FAILED(hr)) {
            if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME) Throw(438);
            ThrowHr(hr, &ei);
        }
        if (r.vt == VT_DISPATCH || r.vt == VT_UNKNOWN) {
            // a default member that is itself an object: one more step
            Value inner;
            ValueOf(&r, &inner);
            *out = std::move(inner);
            return;
        }
        *out = std::move(r);
        return;
    }
    Assign(out->Receive(), t);
}

namespace {

// Reads through references and objects into a plain value.
struct Plain {
    Value hold;
    const VARIANT* v;
    explicit Plain(const VARIANT* src) {
        v = Target(src);
        if (IsObjectVt(v->vt) || (v->vt & VT_BYREF)) {
            ValueOf(v, &hold);
            v = &hold;
        }
    }
};

[[noreturn]] void ThrowConv(HRESULT hr) {
    if (hr == DISP_E_OVERFLOW) Throw(6);
    Throw(13);
}

}  // namespace

bool TextToNumber(WStringView s, double* out) {
    const res::LocaleFormats& f = ScriptFormats();
    if (f.decimal == u'.' && f.group == u',') return ParseNumber(s, out);
    return ParseNumber(CNumberText(s), out);
}

double ToDouble(const VARIANT* src) {
    Plain p(src);
    const VARIANT* v = p.v;
    switch (v->vt) {
        case VT_EMPTY:
            return 0;
        case VT_NULL:
            Throw(94);
        case VT_I2:
            return v->iVal;
        case VT_I4:
        case VT_INT:
            return v->lVal;
        case VT_UI1:
            return v->bVal;
        case VT_R4:
            return v->fltVal;
        case VT_R8:
        case VT_DATE:
            return v->dblVal;
        case VT_BOOL:
            return v->boolVal ? -1 : 0;
        case VT_CY:
            return double(v->cyVal.int64) / 10000.0;
        case VT_BSTR: {
            double d;
            if (!TextToNumber(BstrView(v->bstrVal), &d)) Throw(13);
            return d;
        }
        default: {
            Value r;
            HRESULT hr = VariantChangeType(&r, v, 0, VT_R8);
            if (FAILED(hr)) ThrowConv(hr);
            return r.dblVal;
        }
    }
}

namespace {
double RoundEven(double d) {
    double r = std::nearbyint(d);  // default rounding mode: half to even
    return r;
}
}  // namespace

int32_t ToLong(const VARIANT* src) {
    Plain p(src);
    const VARIANT* v = p.v;
    switch (v->vt) {
        case VT_I2:
            return v->iVal;
        case VT_I4:
        case VT_INT:
            return v->lVal;
        case VT_UI1:
            return v->bVal;
        case VT_BOOL:
            return v->boolVal ? -1 : 0;
        case VT_EMPTY:
            return 0;
        default: {
            double d = RoundEven(ToDouble(v));
            if (!(d >= -2147483648.0 && d <= 2147483647.0)) Throw(6);
            return int32_t(d);
        }
    }
}

int16_t ToInteger(const VARIANT* v) {
    int32_t l;
    const VARIANT* t = Target(v);
    if (t->vt == VT_I2) return t->iVal;
    double d = RoundEven(ToDouble(t));
    if (!(d >= -32768.0 && d <= 32767.0)) Throw(6);
    l = int32_t(d);
    return int16_t(l);
}

bool ToBool(const VARIANT* src) {
    Plain p(src);
    const VARIANT* v = p.v;
    switch (v->vt) {
        case VT_BOOL:
            return v->boolVal != 0;
        case VT_EMPTY:
            return false;
        case VT_NULL:
            Throw(94);
        case VT_BSTR: {
            WStringView s = BstrView(v->bstrVal);
            WString t = text::Trim(s);
            // "#TRUE#" and "#FALSE#" are how Booleans are written to files
            if (text::EqualsNoCase(t, u"true") || text::EqualsNoCase(t, u"#true#")) return true;
            if (text::EqualsNoCase(t, u"false") || text::EqualsNoCase(t, u"#false#")) return false;
            double d;
            if (!TextToNumber(s, &d)) Throw(13);
            return d != 0;
        }
        default:
            return ToDouble(v) != 0;
    }
}

WString NumberText(double d) {
    return LocalNumberText(FormatR8(d));
}

WString ToStr(const VARIANT* src) {
    Plain p(src);
    const VARIANT* v = p.v;
    switch (v->vt) {
        case VT_BSTR:
            return WString(BstrView(v->bstrVal));
        case VT_EMPTY:
            return WString();
        case VT_NULL:
            Throw(94);
        case VT_BOOL:
            return v->boolVal ? u"True" : u"False";
        case VT_I2:
            return text::IntToText(v->iVal);
        case VT_I4:
        case VT_INT:
            return text::IntToText(v->lVal);
        case VT_UI1:
            return text::IntToText(v->bVal);
        case VT_R8:
            return v->dblVal == 0 ? WString(u"0")
                                  : LocalNumberText(FormatR8(v->dblVal));  // no "-0"
        case VT_R4:
            return v->fltVal == 0 ? WString(u"0") : LocalNumberText(FormatR4(v->fltVal));
        case VT_CY:
            return LocalNumberText(FormatCy(v->cyVal));
        case VT_DATE:
            return GeneralDateText(v->date);
        default: {
            if (v->vt & VT_ARRAY) Throw(13);
            Value r;
            HRESULT hr = VariantChangeType(&r, v, VARIANT_ALPHABOOL, VT_BSTR);
            if (FAILED(hr)) ThrowConv(hr);
            return WString(BstrView(r.bstrVal));
        }
    }
}

double ToDate(const VARIANT* src) {
    Plain p(src);
    const VARIANT* v = p.v;
    if (v->vt == VT_DATE) return v->date;
    if (v->vt == VT_NULL) Throw(94);
    if (v->vt == VT_BSTR) {
        double d;
        if (ParseDateText(BstrView(v->bstrVal), &d)) return d;
        if (TextToNumber(BstrView(v->bstrVal), &d)) {
            if (d < -657434.0 || d >= 2958466.0) Throw(6);
            return d;
        }
        Throw(13);
    }
    double d = ToDouble(v);
    if (d < -657434.0 || d >= 2958466.0) Throw(6);
    return d;
}

void Convert(const VARIANT* src, VARTYPE vt, Value* out) {
    Plain p(src);
    const VARIANT* v = p.v;
    if (v->vt == VT_NULL) Throw(94);
    if (v->vt & VT_ARRAY) Throw(13);
    switch (vt) {
        case VT_BSTR:
            VariantFromString(out->Receive(), ToStr(v));
            return;
        case VT_BOOL:
            VariantFromBool(out->Receive(), ToBool(v));
            return;
        case VT_DATE:
            VariantFromDate(out->Receive(), ToDate(v));
            return;
        case VT_R8:
            VariantFromDouble(out->Receive(), ToDouble(v));
            return;
        case VT_I4:
            VariantFromLong(out->Receive(), ToLong(v));
            return;
        case VT_I2:
            VariantFromShort(out->Receive(), ToInteger(v));
            return;
        default:
            break;
    }
    const VARIANT* in = v;
    Value tmp;
    if (v->vt == VT_BSTR && vt != VT_BSTR) {
        // numbers from text by our rules first (grouping, &H)
        VariantFromDouble(&tmp, ToDouble(v));
        in = &tmp;
    }
    Value r;
    HRESULT hr = VariantChangeType(&r, in, VARIANT_ALPHABOOL, vt);
    if (FAILED(hr)) ThrowConv(hr);
    *out = std::move(r);
}

bool Truth(const VARIANT* src) {
    const VARIANT* v = Target(src);
    if (v->vt == VT_BOOL) return v->boolVal != 0;
    if (v->vt == VT_NULL) return false;
    Plain p(v);
    if (p.v->vt == VT_NULL) return false;
    return ToBool(p.v);
}

// ---- arithmetic ----

namespace {

// Ranks for the result type of arithmetic.
enum Rank { kByte = 1, kInt = 2, kLong = 3, kSingle = 4, kDouble = 5, kCur = 6 };

// Host values of the integer types the language has no name for (signed
// bytes, unsigned words and longs, 64-bit) neither compute nor compare.
bool IsForeignIntVt(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
            return true;
        default:
            return false;
    }
}

int RankOf(VARTYPE vt) {
    switch (vt) {
        case VT_UI1:
            return kByte;
        case VT_I2:
        case VT_BOOL:
        case VT_EMPTY:
            return kInt;
        case VT_I4:
        case VT_INT:
            return kLong;
        case VT_R4:
            return kSingle;
        case VT_R8:
        case VT_DATE:
        case VT_BSTR:
            return kDouble;
        case VT_CY:
            return kCur;
        default:
            Throw(IsForeignIntVt(vt) ? 458 : 13);
    }
}

int64_t IntOf(const VARIANT* v) {
    switch (v->vt) {
        case VT_UI1:
            return v->bVal;
        case VT_I2:
            return v->iVal;
        case VT_BOOL:
            return v->boolVal ? -1 : 0;
        case VT_I4:
        case VT_INT:
            return v->lVal;
        default:
            return 0;
    }
}

void SetInt(Value* out, int64_t r, int rank) {
    VARIANT* o = out->Receive();
    if (rank <= kByte && r >= 0 && r <= 255) {
        VariantFromByte(o, uint8_t(r));
    } else if (rank <= kInt && r >= -32768 && r <= 32767) {
        VariantFromShort(o, int16_t(r));
    } else if (r >= INT32_MIN && r <= INT32_MAX) {
        VariantFromLong(o, int32_t(r));
    } else {
        VariantFromDouble(o, double(r));
    }
}

void SetCurrency(Value* out, long double scaled) {
    if (!(scaled >= -9.2233720368547758e18L && scaled <= 9.2233720368547758e18L)) Throw(6);
    VARIANT* o = out->Receive();
    o->vt = VT_CY;
    o->cyVal.int64 = int64_t(std::llround(scaled));
}

int64_t CurOf(const VARIANT* v) {
    if (v->vt == VT_CY) return v->cyVal.int64;
    return int64_t(std::llround((long double)ToDouble(v) * 10000.0L));
}

void CheckFinite(double d) {
    if (!std::isfinite(d)) Throw(6);
}

}  // namespace

void Arith(Op op, const VARIANT* pa, const VARIANT* pb, Value* out) {
    Plain A(pa), B(pb);
    const VARIANT* a = A.v;
    const VARIANT* b = B.v;
    if ((a->vt & VT_ARRAY) || (b->vt & VT_ARRAY)) Throw(13);
    if (a->vt == VT_NULL || b->vt == VT_NULL) {
        out->Receive()->vt = VT_NULL;
        return;
    }
    if (op == Op::Add) {
        if (a->vt == VT_BSTR && b->vt == VT_BSTR) {
            Concat(a, b, out);
            return;
        }
        if (a->vt == VT_BSTR && b->vt == VT_EMPTY) {
            Assign(out->Receive(), a);
            return;
        }
        if (b->vt == VT_BSTR && a->vt == VT_EMPTY) {
            Assign(out->Receive(), b);
            return;
        }
    }
    if (op == Op::Pow) {
        double x = ToDouble(a), y = ToDouble(b);
        if (x == 0 && y < 0) Throw(5);
        if (x < 0 && y != std::floor(y)) Throw(5);
        double r = std::pow(x, y);
        CheckFinite(r);
        VariantFromDouble(out->Receive(), r);
        return;
    }
    if (op == Op::IDiv || op == Op::Mod) {
        int ra = RankOf(a->vt), rb = RankOf(b->vt);
        int32_t x = ToLong(a), y = ToLong(b);
        if (y == 0) Throw(11);
        int64_t r = op == Op::IDiv ? int64_t(x) / y : int64_t(x) % y;
        int rank = std::max(ra, rb) <= kInt ? std::max(ra, rb) : kLong;
        SetInt(out, r, rank);
        return;
    }
    if (op == Op::Div) {
        double x = ToDouble(a), y = ToDouble(b);
        if (y == 0) Throw(x == 0 ? 6 : 11);
        double r = x / y;
        CheckFinite(r);
        VariantFromDouble(out->Receive(), r);
        return;
    }
    // + - *: dates first
    bool dateA = a->vt == VT_DATE, dateB = b->vt == VT_DATE;
    if ((dateA || dateB) && op != Op::Mul) {
        double x = ToDouble(a), y = ToDouble(b);
        double r = op == Op::Add ? x + y : x - y;
        if (op == Op::Sub && dateA && dateB) {
            VariantFromDouble(out->Receive(), r);
            return;
        }
        if (r < -657434.0 || r >= 2958466.0) Throw(6);
        VariantFromDate(out->Receive(), r);
        return;
    }
    int ra = RankOf(a->vt), rb = RankOf(b->vt);
    int rank = std::max(ra, rb);
    if (rank == kSingle && (ra == kLong || rb == kLong)) rank = kDouble;
    if (rank <= kLong) {
        int64_t x = IntOf(a), y = IntOf(b);
        int64_t r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
        if (ra == kByte && rb == kByte)
            SetInt(out, r, kByte);
        else
            SetInt(out, r, std::max(rank, int(kInt)));
        return;
    }
    if (rank == kCur) {
        int64_t x = CurOf(a), y = CurOf(b);
        long double r;
        if (op == Op::Add)
            r = (long double)x + y;
        else if (op == Op::Sub)
            r = (long double)x - y;
        else
            r = (long double)x * y / 10000.0L;
        SetCurrency(out, r);
        return;
    }
    double x = ToDouble(a), y = ToDouble(b);
    double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
    CheckFinite(r);
    if (rank == kSingle) {
        if (std::fabs(r) <= std::numeric_limits<float>::max()) {
            VARIANT* o = out->Receive();
            o->vt = VT_R4;
            o->fltVal = float(r);
            return;
        }
    }
    VariantFromDouble(out->Receive(), r);
}

void Concat(const VARIANT* pa, const VARIANT* pb, Value* out) {
    Plain A(pa), B(pb);
    const VARIANT* a = A.v;
    const VARIANT* b = B.v;
    if (a->vt == VT_NULL && b->vt == VT_NULL) {
        out->Receive()->vt = VT_NULL;
        return;
    }
    if (a->vt == VT_BSTR && b->vt == VT_BSTR) {
        // joined as bytes: strings built by ChrB may end in half a character
        uint32_t la = SysStringByteLen(a->bstrVal), lb = SysStringByteLen(b->bstrVal);
        if (uint64_t(la) + lb > 0x7FFFFFE0u) Throw(14);
        BSTR s = SysAllocStringByteLen(nullptr, la + lb);
        if (!s) Throw(7);
        auto* p = reinterpret_cast<char*>(s);
        if (la) std::memcpy(p, a->bstrVal, la);
        if (lb) std::memcpy(p + la, b->bstrVal, lb);
        VariantFromBstr(out->Receive(), s);
        return;
    }
    WString r = a->vt == VT_NULL ? WString() : ToStr(a);
    if (b->vt != VT_NULL) r += ToStr(b);
    VariantFromString(out->Receive(), r);
}

void Negate(const VARIANT* pa, Value* out) {
    Plain A(pa);
    const VARIANT* a = A.v;
    switch (a->vt) {
        case VT_NULL:
            out->Receive()->vt = VT_NULL;
            return;
        case VT_EMPTY:
            VariantFromShort(out->Receive(), 0);
            return;
        case VT_UI1:
        case VT_I2:
        case VT_BOOL:
        case VT_I4:
        case VT_INT:
            SetInt(out, -IntOf(a), a->vt == VT_I4 || a->vt == VT_INT ? kLong : kInt);
            return;
        case VT_R4: {
            VARIANT* o = out->Receive();
            o->vt = VT_R4;
            o->fltVal = -a->fltVal;
            return;
        }
        case VT_CY:
            SetCurrency(out, -(long double)a->cyVal.int64);
            return;
        case VT_DATE:
            VariantFromDate(out->Receive(), -a->date);
            return;
        default:
            if (a->vt & VT_ARRAY) Throw(13);
            VariantFromDouble(out->Receive(), -ToDouble(a));
    }
}

namespace {
// Operand of a logical operator: kind 0 Boolean, 1 Byte, 2 Integer, 3 Long, 4 Null.
int LogicOperand(const VARIANT* v, int32_t* val) {
    switch (v->vt) {
        case VT_NULL:
            *val = 0;
            return 4;
        case VT_BOOL:
            *val = v->boolVal ? -1 : 0;
            return 0;
        case VT_UI1:
            *val = v->bVal;
            return 1;
        case VT_EMPTY:
            *val = 0;
            return 3;  // Empty And Empty is a Long
        case VT_I2:
            *val = v->iVal;
            return 2;
        case VT_BSTR: {
            WString t = text::Trim(BstrView(v->bstrVal));
            if (text::EqualsNoCase(t, u"true") || text::EqualsNoCase(t, u"#true#")) {
                *val = -1;
                return 0;
            }
            if (text::EqualsNoCase(t, u"false") || text::EqualsNoCase(t, u"#false#")) {
                *val = 0;
                return 0;
            }
            *val = ToLong(v);
            return 3;
        }
        default:
            if (v->vt & VT_ARRAY) Throw(13);
            *val = ToLong(v);
            return 3;
    }
}

void SetLogic(Value* out, int32_t r, int ka, int kb) {
    int k = std::max(ka == 4 ? 0 : ka, kb == 4 ? 0 : kb);
    if (ka == 4) k = kb;
    if (kb == 4) k = ka;
    VARIANT* o = out->Receive();
    if (k == 0)
        VariantFromBool(o, r != 0);
    else if (k == 1)
        VariantFromByte(o, uint8_t(r));
    else if (k == 2)
        VariantFromShort(o, int16_t(r));
    else
        VariantFromLong(o, r);
}
}  // namespace

void NotOp(const VARIANT* pa, Value* out) {
    Plain A(pa);
    int32_t x;
    int k = LogicOperand(A.v, &x);
    if (k == 4) {
        out->Receive()->vt = VT_NULL;
        return;
    }
    SetLogic(out, ~x, k, k);
}

void Logic(Op op, const VARIANT* pa, const VARIANT* pb, Value* out) {
    Plain A(pa), B(pb);
    int32_t x, y;
    int ka = LogicOperand(A.v, &x), kb = LogicOperand(B.v, &y);
    bool na = ka == 4, nb = kb == 4;
    if (na || nb) {
        // Null with a value: And gives 0 when the value is 0, Or gives the
        // value when it is not 0, and x Imp y is (Not x) Or y; the rest is Null
        int32_t other = na ? y : x;
        int k = na ? kb : ka;
        if (!(na && nb)) {
            // the value's own bits (a Byte's Not is a Byte)
            int32_t mask = k == 1 ? 0xFF : k == 2 ? 0xFFFF : -1;
            int32_t r = 0;
            bool known = false;
            switch (op) {
                case Op::And:
                    known = other == 0;
                    break;
                case Op::Or:
                    known = other != 0;
                    r = other;
                    break;
                case Op::Imp:
                    r = na ? y : ~x & mask;
                    known = r != 0;
                    break;
                default:
                    break;
            }
            if (known) {
                if (k == 2) r = int16_t(r);
                SetLogic(out, r, ka, kb);
                return;
            }
        }
        out->Receive()->vt = VT_NULL;
        return;
    }
    int32_t r = 0;
    switch (op) {
        case Op::And:
            r = x & y;
            break;
        case Op::Or:
            r = x | y;
            break;
        case Op::Xor:
            r = x ^ y;
            break;
        case Op::Eqv:
            r = ~(x ^ y);
            break;
        case Op::Imp:
            r = ~x | y;
            break;
        default:
            break;
    }
    SetLogic(out, r, ka, kb);
}

// ---- comparison ----

int CompareText(WStringView a, WStringView b, bool textCompare) {
    if (textCompare) {
        int c = text::CompareNoCase(a, b);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

namespace {
bool IsNumericVt(VARTYPE vt) {
    switch (vt) {
        case VT_UI1:
        case VT_I2:
        case VT_I4:
        case VT_INT:
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
int Cmp(double x, double y) {
    return x < y ? -1 : x > y ? 1 : 0;
}
}  // namespace

int Compare(const VARIANT* pa, const VARIANT* pb, bool textCompare, Lit litA, Lit litB) {
    Plain A(pa), B(pb);
    const VARIANT* a = A.v;
    const VARIANT* b = B.v;
    // an array compares with nothing, not even Null
    if ((a->vt & VT_ARRAY) || (b->vt & VT_ARRAY)) Throw(13);
    if (IsForeignIntVt(a->vt) || IsForeignIntVt(b->vt)) Throw(458);
    if (a->vt == VT_NULL || b->vt == VT_NULL) return 2;
    bool sa = a->vt == VT_BSTR, sb = b->vt == VT_BSTR;
    if (sa && sb) return CompareText(BstrView(a->bstrVal), BstrView(b->bstrVal), textCompare);
    if (a->vt == VT_EMPTY && b->vt == VT_EMPTY) return 0;
    if (sa && b->vt == VT_EMPTY) return CompareText(BstrView(a->bstrVal), u"", textCompare);
    if (sb && a->vt == VT_EMPTY) return CompareText(u"", BstrView(b->bstrVal), textCompare);
    if (sa || sb) {
        if (!IsNumericVt(sa ? b->vt : a->vt)) Throw(13);
        if ((sa && litB == Lit::Number) || (sb && litA == Lit::Number))
            return Cmp(ToDouble(a), ToDouble(b));
        if ((sa && litA == Lit::Text) || (sb && litB == Lit::Text)) {
            WString ta = sa ? WString(BstrView(a->bstrVal)) : ToStr(a);
            WString tb = sb ? WString(BstrView(b->bstrVal)) : ToStr(b);
            return CompareText(ta, tb, textCompare);
        }
        return sa ? 1 : -1;
    }
    if (a->vt == VT_I2 && b->vt == VT_I2) return Cmp(a->iVal, b->iVal);
    if (a->vt == VT_I4 && b->vt == VT_I4) return Cmp(a->lVal, b->lVal);
    if (a->vt == VT_CY && b->vt == VT_CY)
        return a->cyVal.int64 < b->cyVal.int64 ? -1 : a->cyVal.int64 > b->cyVal.int64 ? 1 : 0;
    return Cmp(ToDouble(a), ToDouble(b));
}

WString TypeNameOf(const VARIANT* src) {
    const VARIANT* v = Target(src);
    VARTYPE vt = v->vt & ~VT_BYREF;
    if (vt & VT_ARRAY) return u"Variant()";
    switch (vt) {
        case VT_EMPTY:
            return u"Empty";
        case VT_NULL:
            return u"Null";
        case VT_I2:
            return u"Integer";
        case VT_I4:
        case VT_INT:
            return u"Long";
        case VT_R4:
            return u"Single";
        case VT_R8:
            return u"Double";
        case VT_CY:
            return u"Currency";
        case VT_DATE:
            return u"Date";
        case VT_BSTR:
            return u"String";
        case VT_BOOL:
            return u"Boolean";
        case VT_UI1:
            return u"Byte";
        case VT_ERROR:
            return u"Error";
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (!v->pdispVal) return u"Nothing";
            return u"Object";
        default:
            return u"Unknown";
    }
}

}  // namespace vbs
