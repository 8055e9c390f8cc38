// Automation values: HRESULT, BSTR, VARIANT, SAFEARRAY and their operations.
//
// Contract:
// - VARIANT has a fixed C layout (24 bytes, value at offset 8) because it
//   crosses the extension module interface; the static_asserts in variant.cpp
//   and the tests pin it. Every union member starts at offset 8, so a value can
//   be read through the member of its C type whatever its VT alias (I4/INT,
//   I2/BOOL, R8/DATE).
// - BSTR is length-prefixed UTF-16 (char16_t): a 32-bit byte count precedes
//   the characters and a NUL follows them. A null BSTR means "".
// - A VARIANT owns what it holds (BSTR, interface reference, SAFEARRAY) unless
//   VT_BYREF is set, in which case it only points at storage owned elsewhere.
//   VariantClear frees what is owned and leaves VT_EMPTY; as on the platform
//   it leaves the bits of a plain value (a cleared VT_BOOL still holds -1 in
//   boolVal; the program reads cleared event results that way), while
//   pointers are zeroed.
// - VariantChangeType follows fixed, locale-independent rules (the US English
//   conventions of the platform: '.' decimal, ',' grouping, M/D/YYYY dates,
//   h:mm:ss AM/PM times); integers round half to even; out-of-range values give
//   DISP_E_OVERFLOW; text that is no number or date gives DISP_E_TYPEMISMATCH.
//   Objects convert through their default member (DISPID 0).
// - DATE is an OLE date: days since 1899-12-30 with the time of day as the
//   fraction; for negative dates the fraction counts forward from the day.
// - CY (currency) is a 64-bit integer scaled by 10,000.
// - SAFEARRAY: any number of dimensions; rgsabound[i] describes dimension i+1
//   as passed to SafeArrayCreate, indices are given in the same order, and
//   dimension 1 varies fastest in memory.
// - VT_DECIMAL and VT_RECORD are not supported (DISP_E_BADVARTYPE).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/text/text.h"

// ---- basic types ----

typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef uint32_t LCID;
typedef int32_t DISPID;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef double DATE;
typedef WChar* BSTR;
typedef WChar OLECHAR;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr uint16_t HRESULT_CODE(HRESULT hr) {
    return static_cast<uint16_t>(hr & 0xFFFF);
}

// ---- result codes ----

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000F);
constexpr HRESULT DISP_E_DIVBYZERO = static_cast<HRESULT>(0x80020012);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802B);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);

// ---- VARTYPE ----

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// Flags of VariantChangeType.
enum : uint16_t {
    VARIANT_NOVALUEPROP = 0x01,  // do not call an object's default member
    VARIANT_ALPHABOOL = 0x02,    // booleans to text as "True"/"False" (else "-1"/"0")
};

struct IUnknown;
struct IDispatch;

// Currency: value times 10,000.
union CY {
    int64_t int64;
    struct {
        uint32_t Lo;
        int32_t Hi;
    };
};

struct SAFEARRAYBOUND {
    uint32_t cElements;
    int32_t lLbound;
};

// Feature bits of SAFEARRAY::fFeatures.
enum : uint16_t {
    FADF_AUTO = 0x0001,
    FADF_STATIC = 0x0002,
    FADF_FIXEDSIZE = 0x0010,
    FADF_BSTR = 0x0100,
    FADF_UNKNOWN = 0x0200,
    FADF_DISPATCH = 0x0400,
    FADF_VARIANT = 0x0800,
    FADF_HAVEVARTYPE = 0x0080,
};

struct SAFEARRAY {
    uint16_t cDims;
    uint16_t fFeatures;
    uint32_t cbElements;
    uint32_t cLocks;
    VARTYPE vt;  // element type (ours: kept in the header rather than before it)
    uint16_t reserved;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];  // cDims entries
};

struct VARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        int64_t llVal;
        uint64_t ullVal;
        int32_t lVal;
        uint8_t bVal;
        int16_t iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        uint8_t* pbVal;
        int16_t* piVal;
        int32_t* plVal;
        int64_t* pllVal;
        float* pfltVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        int8_t cVal;
        uint16_t uiVal;
        uint32_t ulVal;
        int32_t intVal;
        uint32_t uintVal;
        int8_t* pcVal;
        uint16_t* puiVal;
        uint32_t* pulVal;
        int32_t* pintVal;
        uint32_t* puintVal;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } brecVal;
    };
};
typedef VARIANT VARIANTARG;

// ---- BSTR ----

BSTR SysAllocString(const OLECHAR* s);
BSTR SysAllocStringLen(const OLECHAR* s, uint32_t len);  // s may be null: zero-filled
BSTR SysAllocString(WStringView s);
void SysFreeString(BSTR s);
uint32_t SysStringLen(BSTR s);      // characters; 0 for null
uint32_t SysStringByteLen(BSTR s);  // bytes
// A string of any number of bytes (an odd one leaves half a character); s may be null.
BSTR SysAllocStringByteLen(const char* s, uint32_t bytes);
// Replaces *ps with a copy of s; false (and *ps unchanged) when out of memory.
bool SysReAllocString(BSTR* ps, const OLECHAR* s);
bool SysReAllocStringLen(BSTR* ps, const OLECHAR* s, uint32_t len);
// The BSTR's text as a string view (embedded NULs kept).
inline WStringView BstrView(BSTR s) {
    return s ? WStringView(s, SysStringLen(s)) : WStringView();
}

// ---- VARIANT operations ----

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
// Deep copy: BSTRs duplicated, interfaces AddRef'd, arrays copied; by-reference
// values stay by-reference. dst is cleared first.
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);
// Like VariantCopy, but a by-reference source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* dst, const VARIANT* src);
// Converts src to type vt into dst (dst may equal src). A by-reference src is
// read through. On failure dst is left unchanged.
HRESULT VariantChangeType(VARIANT* dst, const VARIANT* src, uint16_t flags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANT* dst, const VARIANT* src, LCID lcid, uint16_t flags,
                            VARTYPE vt);

// The value a variant refers to: itself, or for VT_BYREF|VT_VARIANT the target
// (followed through nested references).
const VARIANT* VariantDeref(const VARIANT* v);
VARIANT* VariantDeref(VARIANT* v);

// ---- dates ----

struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;  // 0 = Sunday
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// OLE date range: 1 January 100 to 31 December 9999.
constexpr DATE kMinDate = -657434.0;
constexpr DATE kMaxDate = 2958465.99998843;

// Whole seconds are rounded; milliseconds are ignored, as the platform does.
bool SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* out);
bool VariantTimeToSystemTime(DATE d, SYSTEMTIME* out);
// Date from parts with the platform's carrying rules (month 13 = January of
// the next year, day 0 = last day of the previous month, ...). False when out
// of range.
bool DateFromParts(int year, int month, int day, int hour, int minute, int second, DATE* out);

// ---- SAFEARRAY ----

SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
uint32_t SafeArrayGetDim(const SAFEARRAY* psa);
uint32_t SafeArrayGetElemsize(const SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* vt);
HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out);  // dim from 1
HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, uint32_t dim, int32_t* out);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const int32_t* indices, void** out);
// Copies the element out (BSTRs duplicated, VARIANTs deep-copied, interfaces AddRef'd).
HRESULT SafeArrayGetElement(SAFEARRAY* psa, const int32_t* indices, void* out);
// Copies the value in, releasing what the element held.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, const int32_t* indices, const void* value);
HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** out);
// Changes the last dimension's bounds, keeping the elements that remain.
HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* lastDim);
// Total number of elements.
uint64_t SafeArrayCount(const SAFEARRAY* psa);

// ---- VARIANT builders (each initialises *v; strings are copied) ----

void VariantFromBool(VARIANT* v, bool b);
void VariantFromDouble(VARIANT* v, double d);
void VariantFromLong(VARIANT* v, int32_t n);
void VariantFromShort(VARIANT* v, int16_t n);
void VariantFromByte(VARIANT* v, uint8_t n);
void VariantFromDate(VARIANT* v, DATE d);
bool VariantFromSystemTime(VARIANT* v, const SYSTEMTIME* st);
void VariantFromBstr(VARIANT* v, BSTR s);  // takes ownership of s
void VariantFromString(VARIANT* v, WStringView s);
void VariantFromDispatch(VARIANT* v, IDispatch* d);  // AddRef's d (null allowed)
BSTR AllocBstr(const OLECHAR* s);
BSTR ReallocBstr(BSTR* ps, const OLECHAR* s);

// ---- text forms used by the conversions (exposed for the engines) ----

// Number to text as VariantChangeType writes it: up to 15 significant digits
// for doubles, 7 for singles, exponent as "1E+20".
WString FormatR8(double d);
WString FormatR4(float f);
WString FormatCy(CY c);
// Date to text: "M/D/YYYY", "h:mm:ss AM", or both separated by a space.
WString FormatDate(DATE d);
// Text to number with the conversion rules (blanks around, sign, grouping
// commas, decimals, exponent, &H hex and &O octal). False when no number.
bool ParseNumber(WStringView s, double* out);
// Text to date: M/D/Y, Y-M-D, month names, times with AM/PM. False when no date.
bool ParseDate(WStringView s, DATE* out);

// ---- C++ helper: an owning VARIANT ----

class ComVariant : public VARIANT {
public:
    ComVariant() { VariantInit(this); }
    ComVariant(const VARIANT& v) {
        VariantInit(this);
        VariantCopy(this, &v);
    }
    ComVariant(const ComVariant& v) : ComVariant(static_cast<const VARIANT&>(v)) {}
    ComVariant(ComVariant&& v) noexcept {
        static_cast<VARIANT&>(*this) = v;
        VariantInit(&v);
    }
    explicit ComVariant(int32_t n) { VariantFromLong(this, n); }
    explicit ComVariant(double d) { VariantFromDouble(this, d); }
    explicit ComVariant(bool b) { VariantFromBool(this, b); }
    explicit ComVariant(WStringView s) { VariantFromString(this, s); }
    explicit ComVariant(const char16_t* s) { VariantFromString(this, s); }
    explicit ComVariant(IDispatch* d) { VariantFromDispatch(this, d); }
    ~ComVariant() { VariantClear(this); }
    ComVariant& operator=(const ComVariant& v) {
        if (this != &v) VariantCopy(this, &v);
        return *this;
    }
    ComVariant& operator=(ComVariant&& v) noexcept {
        if (this != &v) {
            VariantClear(this);
            static_cast<VARIANT&>(*this) = v;
            VariantInit(&v);
        }
        return *this;
    }
    // Hands the value over to the caller (this becomes empty).
    VARIANT Detach() {
        VARIANT r = *this;
        VariantInit(this);
        return r;
    }
    // Clears and returns the raw VARIANT to be filled by a callee.
    VARIANT* Receive() {
        VariantClear(this);
        return this;
    }
    HRESULT ChangeType(VARTYPE to, uint16_t flags = 0) {
        return VariantChangeType(this, this, flags, to);
    }
};
