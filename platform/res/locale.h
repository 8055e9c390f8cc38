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

}  // namespace res
