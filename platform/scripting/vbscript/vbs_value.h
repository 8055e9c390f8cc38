// VBScript value semantics on top of VARIANT: the run-time error type,
// coercions, operators and comparisons of the language.
#pragma once

#include <string>

#include "platform/com/com.h"
#include "platform/scripting/vbscript/vbs_ast.h"

namespace vbs {

using Value = ComVariant;

// A run-time error in flight. number is the VBScript error number (or the
// whole HRESULT as a negative number for foreign failures); hr is what a host
// sees as the scode.
struct VbsError {
    int32_t number = 0;
    HRESULT hr = 0;
    WString description;
    WString source;
    WString detail;  // the name involved, shown in error reports
    WString helpFile;
    int32_t helpContext = 0;
    int line = -1, col = -1;
    const Program* prog = nullptr;  // where line and col are
};

// Standard error of a number; detail is a name shown in reports.
[[noreturn]] void Throw(int number, WStringView detail = {});
// Error from a failed COM call (EXCEPINFO consumed when given).
[[noreturn]] void ThrowHr(HRESULT hr, EXCEPINFO* ei = nullptr, WStringView detail = {});
// The VBScript number of an HRESULT.
int32_t NumberOfHr(HRESULT hr);
HRESULT HrOfNumber(int32_t number);

extern const char16_t kRuntimeSource[];  // "VBScript runtime error"
extern const char16_t kCompileSource[];  // "VBScript compilation error"

// The value a VARIANT refers to (through VT_BYREF|VT_VARIANT chains).
inline VARIANT* Target(VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}
inline const VARIANT* Target(const VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

// Copies src (read through references; typed by-reference values become
// plain values).
void Assign(VARIANT* dst, const VARIANT* src);
// Moves a temporary into dst.
void MoveInto(VARIANT* dst, Value& src);

bool IsObjectVt(VARTYPE vt);
inline bool IsArray(const VARIANT* v) {
    return (Target(v)->vt & VT_ARRAY) != 0;
}

// The value in value context: an object's default member, else a copy.
// Throws 438 when an object has no default member.
void ValueOf(const VARIANT* v, Value* out);

// Conversions with the language's errors (13 Type mismatch, 6 Overflow, 94
// Invalid use of Null).
double ToDouble(const VARIANT* v);
int32_t ToLong(const VARIANT* v);  // banker's rounding
int16_t ToInteger(const VARIANT* v);
bool ToBool(const VARIANT* v);
WString ToStr(const VARIANT* v);
double ToDate(const VARIANT* v);
// Change to a type with the language's errors.
void Convert(const VARIANT* v, VARTYPE vt, Value* out);
// Number from text with the conversion rules; false when no number.
bool TextToNumber(WStringView s, double* out);

// Condition truth for If/While/Do: Null is False.
bool Truth(const VARIANT* v);

// Operators. Operands are values (no objects; ValueOf first).
void Arith(Op op, const VARIANT* a, const VARIANT* b, Value* out);
void Concat(const VARIANT* a, const VARIANT* b, Value* out);
void Logic(Op op, const VARIANT* a, const VARIANT* b, Value* out);
void Negate(const VARIANT* a, Value* out);
void NotOp(const VARIANT* a, Value* out);
// What an operand of a comparison was written as: a text against a number
// compares by whether each side is a literal of the comparison itself.
enum class Lit : uint8_t { None, Text, Number, Bool };  // Number: numeric or date literal

// Comparison: -1, 0, 1, or 2 when Null is involved. Text against a number,
// Boolean or date:
// - a numeric or date literal turns the text into a number (13 when it is none);
// - else a text literal compares with the other side's text;
// - else the text is the greater.
int Compare(const VARIANT* a, const VARIANT* b, bool textCompare = false, Lit litA = Lit::None,
            Lit litB = Lit::None);

// TypeName of a value.
WString TypeNameOf(const VARIANT* v);

// Text comparison without regard to case (for vbTextCompare).
int CompareText(WStringView a, WStringView b, bool textCompare);

// Double to the text CStr gives.
WString NumberText(double d);

}  // namespace vbs
