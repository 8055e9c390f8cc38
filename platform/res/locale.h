// The locale table: language ids (LCIDs), the three-letter abbreviations that
// name language libraries (Locales/<ABBR>.res), ANSI and OEM code pages,
// reading direction, and native and English names of language and country.
#pragma once

#include <span>

#include "platform/text/text.h"
#include "platform/types.h"

namespace res {

struct LocaleInfo {
    DWORD lcid;
    const char16_t* abbreviation;
    UINT ansiCodePage;
    UINT oemCodePage;
    bool rightToLeft;
    const char16_t* nativeLanguage;
    const char16_t* nativeCountry;
    const char16_t* englishLanguage;
    const char16_t* englishCountry;
    UINT countryCode;                    // the international dialling code (Canada 2)
    const char16_t* countryAbbreviation;  // ISO 3166 three letters
};

std::span<const LocaleInfo> AllLocales();
// The exact LCID, else the first row of the same primary language; nullptr
// when the language is unknown.
const LocaleInfo* FindLocale(DWORD lcid);
// By abbreviation, without regard to case.
const LocaleInfo* FindLocaleByAbbreviation(WStringView abbreviation);

// The user's and the system's locale (0x0409 unless set; tests set it).
DWORD GetUserDefaultLCID();
void SetUserDefaultLCID(DWORD lcid);

// How a locale writes numbers, currency, short dates and times.
enum class DateOrder : uint8_t { MonthDayYear, DayMonthYear, YearMonthDay };
struct LocaleFormats {
    DWORD lcid;
    const char16_t* tag;  // "de-de"
    char16_t decimal;     // ',' in German
    char16_t group;       // thousands: '.' in German, a no-break space in French
    char16_t dateSeparator;
    DateOrder dateOrder;
    bool dayTwoDigits;  // 05.03.2026
    bool monthTwoDigits;
    bool hour24;
    bool hourTwoDigits;
    bool designatorFirst;  // "AM 9:05:00"
    char16_t timeSeparator;
    const char16_t* am;  // the 12-hour clock's designators
    const char16_t* pm;
    const char16_t* currency;
    uint8_t currencyPositive;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    uint8_t currencyNegative;  // the sixteen negative forms, 0 "($1)" .. 15 "(1 $)"
    uint8_t currencyDigits;
};
// The formats of a locale of the table (the exact id, else the first of its
// primary language); nullptr when the language is unknown.
const LocaleFormats* FindLocaleFormats(DWORD lcid);
// A locale id by its tag ("en-gb", without regard to case); 0 when unknown.
DWORD FindLocaleByTag(WStringView tag);

}  // namespace res
