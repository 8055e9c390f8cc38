// Program text: UTF-16 strings, conversions, the one formatter, the one
// decimal parser and the one case fold. Nothing here reads the process locale.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

using WChar = char16_t;
using WString = std::u16string;
using WStringView = std::u16string_view;

namespace text {

// Code page numbers as the platform names them.
constexpr unsigned kCpAcp = 0;       // the system's ANSI code page (1252 here)
constexpr unsigned kCpLatin1 = 28591;
constexpr unsigned kCpUtf8 = 65001;
constexpr unsigned kAnsiCodePage = 1252;

// ---- UTF-8 / UTF-16 ----

// Decodes UTF-8. 4-byte sequences become surrogate pairs; CESU-8 (surrogates
// encoded as 3 bytes each) is accepted too. A malformed byte becomes U+FFFD.
WString FromUtf8(std::string_view s);
// Decodes one UTF-8 sequence at p (p < end, never reading at or past end) and
// moves p past it; false, with p moved one byte, for a byte that does not
// start a complete, well-formed sequence (the rules of FromUtf8).
bool DecodeUtf8(const char*& p, const char* end, char32_t& cp);
// Appends a code point as UTF-16 (a surrogate pair above 0xFFFF).
void AppendCodePoint(WString& out, char32_t cp);
// Encodes UTF-16 as UTF-8. A valid surrogate pair becomes one 4-byte sequence;
// a lone surrogate is written as its 3-byte form.
std::string ToUtf8(WStringView s);

// Latin-1 widening and narrowing; units above 0xFF become '?'.
WString FromLatin1(std::string_view s);
std::string ToLatin1(WStringView s);

// ---- code pages (through iconv) ----

// True when iconv knows the code page.
bool IsCodePageSupported(unsigned codePage);
// Bytes in a code page to UTF-16. Undecodable bytes become U+FFFD. An unknown
// code page decodes as Latin-1 and sets *ok to false.
WString FromCodePage(std::string_view bytes, unsigned codePage, bool* ok = nullptr);
// UTF-16 to bytes in a code page. Characters the code page lacks become '?'
// and set *lossless to false.
std::string ToCodePage(WStringView s, unsigned codePage, bool* lossless = nullptr);

// ---- formatting ----

// printf with the platform's wide rules: %s is a const WChar*, %S a const
// char*, %c a character widened as Latin-1/UTF-16 unit, %C a narrow char;
// %hs/%ls force narrow/wide. Numbers always in the C rules. I64 is accepted
// as a 64-bit length modifier.
WString Format(const WChar* fmt, ...);
WString FormatV(const WChar* fmt, va_list ap);
// Narrow printf in the C rules: %s narrow, %S/%ls wide.
std::string FormatA(const char* fmt, ...);
std::string FormatAV(const char* fmt, va_list ap);

// "%.15g"-style conversions without a format string.
WString DoubleToText(double v, int precision = 15);
WString IntToText(long long v);

// ---- parsing ----

// Decimal numbers in the C rules: leading blanks, sign, digits, fraction,
// exponent. No "nan", "inf" or hex. *end (if given) points past the last
// character used, or to s when nothing was parsed (the result is then 0).
// Overflow gives +-HUGE_VAL, as the C library does.
double ParseDouble(const WChar* s, const WChar** end = nullptr);
double ParseDouble(WStringView s, size_t* used = nullptr);
// The same for 8-bit text (numbers inside file formats and device sentences).
double ParseDoubleA(const char* s, const char** end = nullptr);
// Integers with the behaviour of a 32-bit `long`: out-of-range values clamp
// to INT32_MIN / INT32_MAX. base is 10 or 16 (16 accepts an optional 0x).
int32_t ParseLong(const WChar* s, const WChar** end = nullptr, int base = 10);
int32_t ParseLong(WStringView s, size_t* used = nullptr, int base = 10);
// Like a 32-bit `unsigned long` conversion: a leading '-' negates modulo 2^32;
// out-of-range values clamp to UINT32_MAX.
uint32_t ParseULong(const WChar* s, const WChar** end = nullptr, int base = 10);
uint32_t ParseULong(WStringView s, size_t* used = nullptr, int base = 10);

// ---- case ----

WChar ToLowerChar(WChar c);
WChar ToUpperChar(WChar c);
WString ToLower(WStringView s);
WString ToUpper(WStringView s);
// Compares after folding both sides to lower case: <0, 0, >0.
int CompareNoCase(WStringView a, WStringView b);
bool EqualsNoCase(WStringView a, WStringView b);
// Narrow variants for 8-bit names inside file formats (ASCII folding).
int CompareNoCaseA(std::string_view a, std::string_view b);

// ---- small helpers ----

// Length of a NUL-terminated UTF-16 string.
size_t Length(const WChar* s);
bool IsBlank(WChar c);  // space, tab, CR, LF, VT, FF
// The value of a hexadecimal digit (either case), -1 for any other character.
int HexDigit(unsigned c);
WString TrimLeft(WStringView s);
WString TrimRight(WStringView s);
WString Trim(WStringView s);

}  // namespace text
