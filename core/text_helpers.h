// Small text and number helpers used across the program: rounding, parsing
// user-typed numbers, hexadecimal digits, trailing counters, case-insensitive
// search and sorting, id/name tables, quote-aware character replacement, and
// the centroid of a pixel polygon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

// floor(x * 10^n + 0.5) / 10^n.
double RoundToDecimals(double x, int n);
// A whole field holding one number, blanks and tabs around it allowed. False
// (value 0 for null text) when there is anything else. A zero result counts
// only when the number starts with the digit 0, so "-0" and ".0" are refused.
bool ParseDouble(const WChar* text, double& value);
// The leading hexadecimal digits; stops at the first other character.
int HexTextToInt(WStringView text);
// Counts the trailing digits up by one ("Layer19" -> "Layer20"); a carry out
// of the first digit is dropped ("Layer9" -> "Layer0"). False when the text
// does not end in a digit.
bool IncrementTrailingNumber(WString& text);
// Radix 10 writes a sign; other radixes (2..36) write the 32-bit pattern.
WString IntToText(int n, int radix = 10);
int TextToInt(WStringView text);
// "%.15g".
WString DoubleToText(double x);
WString WidenText(std::string_view text);
// Units above 0xFF become '?'.
std::string NarrowText(WStringView text);
bool IsNumberChar(WChar ch);
// The leading run of number characters (digits, signs, points) as a double.
double ParseLeadingNumber(const char* text);

// Reads a number of a document or layer file: the C rules, and a decimal
// comma when the text holds a comma and no point (files written in a
// desktop user's locale). False when the text is not a number.
bool ParseDocumentNumber(WStringView text, double& value);

// The first position of `pattern` in `text` without regard to case; null for
// a null or empty text, `text` itself for an empty pattern.
const WChar* FindTextNoCase(const WChar* text, const WChar* pattern);
// Whether the text begins with the prefix, without regard to case.
bool StartsWithNoCase(WStringView text, WStringView prefix);
// Ascending without regard to case; entries that compare equal keep their order.
void SortStringArray(std::vector<WString>& array);

// Rows of a table of ids and names, ended by a row whose name is null.
struct IdNameEntry {
    int32_t id;
    const WChar* name;
};
const WChar* FindNameById(const IdNameEntry* table, int32_t id);
int32_t FindIdByName(const IdNameEntry* table, WStringView name, bool caseSensitive);

// With `quotesMatter`, double quotes switch counting (or replacing) off and
// on; the quotes themselves are never counted and always copied.
int CountCharOutsideQuotes(WStringView text, WChar ch, bool quotesMatter);
WString ReplaceCharOutsideQuotes(WStringView text, WChar ch1, WStringView text1, WChar ch2,
                                 WStringView text2, bool quotesMatter);

// (0,0) for no points, the point for one, the midpoint for two, else the
// area-weighted centroid of the polygon (its first point when the area is 0).
POINT ComputeCentroid(const POINT* points, int count);
