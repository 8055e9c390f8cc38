// Number, currency, date and time formats of the locales of the table.
#include "platform/res/locale.h"

namespace res {

namespace {

constexpr char16_t kNbsp = 0x00A0;
constexpr auto MDY = DateOrder::MonthDayYear;
constexpr auto DMY = DateOrder::DayMonthYear;
constexpr auto YMD = DateOrder::YearMonthDay;

// lcid, tag, decimal, group, date separator, order, dd, MM, 24h, HH, designator
// first, time separator, AM, PM, currency, positive, negative, digits
constexpr LocaleFormats kFormats[] = {
    {0x0401, u"ar-sa", '.', ',', '/', DMY, true, true, false, false, false, ':', u"\u0635",
     u"\u0645", u"\u0631.\u0633.\u200F", 2, 12, 2},
    {0x0402, u"bg-bg", ',', kNbsp, '.', DMY, true, true, true, false, false, ':', u"", u"",
     u"\u043B\u0432.", 3, 8, 2},
    {0x0403, u"ca-es", ',', '.', '/', DMY, true, true, true, false, false, ':', u"", u"", u"\u20AC",
     3, 8, 2},
    {0x0404, u"zh-tw", '.', ',', '/', YMD, false, false, false, false, true, ':', u"\u4E0A\u5348",
     u"\u4E0B\u5348", u"NT$", 0, 1, 2},
    {0x0405, u"cs-cz", ',', kNbsp, '.', DMY, false, false, true, false, false, ':', u"", u"",
     u"K\u010D", 3, 8, 2},
    {0x0406, u"da-dk", ',', '.', '-', DMY, true, true, true, true, false, ':', u"", u"", u"kr.", 2,
     12, 2},
    {0x0407, u"de-de", ',', '.', '.', DMY, true, true, true, true, false, ':', u"", u"", u"\u20AC",
     3, 8, 2},
    {0x0408, u"el-gr", ',', '.', '/', DMY, false, false, false, false, false, ':', u"\u03C0\u03BC",
     u"\u03BC\u03BC", u"\u20AC", 3, 8, 2},
    {0x0409, u"en-us", '.', ',', '/', MDY, false, false, false, false, false, ':', u"AM", u"PM",
     u"$", 0, 0, 2},
    {0x040A, u"es-es_tradnl", ',', '.', '/', DMY, true, true, true, false, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x040B, u"fi-fi", ',', kNbsp, '.', DMY, false, false, true, false, false, '.', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x040C, u"fr-fr", ',', kNbsp, '/', DMY, true, true, true, true, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x040D, u"he-il", '.', ',', '/', DMY, true, true, true, true, false, ':', u"", u"", u"\u20AA",
     2, 12, 2},
    {0x040E, u"hu-hu", ',', kNbsp, '.', YMD, true, true, true, false, false, ':', u"", u"", u"Ft",
     3, 8, 2},
    {0x040F, u"is-is", ',', '.', '.', DMY, false, false, true, true, false, ':', u"", u"", u"kr.",
     3, 8, 0},
    {0x0410, u"it-it", ',', '.', '/', DMY, true, true, true, true, false, ':', u"", u"", u"\u20AC",
     2, 9, 2},
    {0x0411, u"ja-jp", '.', ',', '/', YMD, true, true, true, false, false, ':', u"", u"", u"\u00A5",
     0, 1, 0},
    {0x0412, u"ko-kr", '.', ',', '-', YMD, true, true, false, false, true, ':', u"\uC624\uC804",
     u"\uC624\uD6C4", u"\u20A9", 0, 1, 0},
    {0x0413, u"nl-nl", ',', '.', '-', DMY, false, false, true, false, false, ':', u"", u"",
     u"\u20AC", 2, 12, 2},
    {0x0414, u"nb-no", ',', kNbsp, '.', DMY, true, true, true, true, false, ':', u"", u"", u"kr", 2,
     12, 2},
    {0x0415, u"pl-pl", ',', kNbsp, '.', DMY, true, true, true, true, false, ':', u"", u"",
     u"z\u0142", 3, 8, 2},
    {0x0416, u"pt-br", ',', '.', '/', DMY, true, true, true, true, false, ':', u"", u"", u"R$", 2,
     9, 2},
    {0x0418, u"ro-ro", ',', '.', '.', DMY, true, true, true, true, false, ':', u"", u"", u"lei", 3,
     8, 2},
    {0x0419, u"ru-ru", ',', kNbsp, '.', DMY, true, true, true, false, false, ':', u"", u"",
     u"\u20BD", 3, 8, 2},
    {0x041A, u"hr-hr", ',', '.', '.', DMY, false, false, true, false, false, ':', u"", u"", u"kn",
     3, 8, 2},
    {0x041B, u"sk-sk", ',', kNbsp, '.', DMY, false, false, true, false, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x041D, u"sv-se", ',', kNbsp, '-', YMD, true, true, true, true, false, ':', u"", u"", u"kr", 3,
     8, 2},
    {0x041E, u"th-th", '.', ',', '/', DMY, false, false, true, false, false, ':', u"", u"",
     u"\u0E3F", 0, 1, 2},
    {0x041F, u"tr-tr", ',', '.', '.', DMY, true, true, true, true, false, ':', u"", u"", u"\u20BA",
     0, 1, 2},
    {0x0421, u"id-id", ',', '.', '/', DMY, true, true, true, true, false, '.', u"", u"", u"Rp", 0,
     1, 2},
    {0x0422, u"uk-ua", ',', kNbsp, '.', DMY, true, true, true, false, false, ':', u"", u"",
     u"\u20B4", 3, 8, 2},
    {0x0424, u"sl-si", ',', '.', '.', DMY, false, false, true, false, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x0425, u"et-ee", ',', kNbsp, '.', DMY, false, true, true, false, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x0426, u"lv-lv", ',', kNbsp, '.', DMY, true, true, true, true, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x0427, u"lt-lt", ',', kNbsp, '-', YMD, true, true, true, true, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x0429, u"fa-ir", '.', ',', '/', YMD, true, true, true, false, false, ':', u"", u"",
     u"\u0631\u06CC\u0627\u0644", 3, 8, 2},
    {0x042A, u"vi-vn", ',', '.', '/', DMY, true, true, true, false, false, ':', u"", u"", u"\u20AB",
     3, 8, 0},
    {0x0804, u"zh-cn", '.', ',', '/', YMD, false, false, true, false, false, ':', u"", u"",
     u"\u00A5", 0, 1, 2},
    {0x0807, u"de-ch", '.', '\'', '.', DMY, true, true, true, true, false, ':', u"", u"", u"CHF", 2,
     2, 2},
    {0x0809, u"en-gb", '.', ',', '/', DMY, true, true, true, true, false, ':', u"", u"", u"\u00A3",
     0, 1, 2},
    {0x080A, u"es-mx", '.', ',', '/', DMY, true, true, false, true, false, ':', u"a. m.", u"p. m.",
     u"$", 0, 1, 2},
    {0x0816, u"pt-pt", ',', kNbsp, '/', DMY, true, true, true, true, false, ':', u"", u"",
     u"\u20AC", 3, 8, 2},
    {0x0C07, u"de-at", ',', kNbsp, '.', DMY, true, true, true, true, false, ':', u"", u"",
     u"\u20AC", 2, 9, 2},
    {0x0C09, u"en-au", '.', ',', '/', DMY, false, true, false, false, false, ':', u"AM", u"PM",
     u"$", 0, 1, 2},
    {0x0C0A, u"es-es", ',', '.', '/', DMY, true, true, true, false, false, ':', u"", u"", u"\u20AC",
     3, 8, 2},
    {0x0C0C, u"fr-ca", ',', kNbsp, '-', YMD, true, true, true, true, false, ':', u"", u"", u"$", 3,
     8, 2},
    {0x100C, u"fr-ch", '.', '\'', '.', DMY, true, true, true, true, false, ':', u"", u"", u"CHF", 2,
     2, 2},
};

}  // namespace

const LocaleFormats* FindLocaleFormats(DWORD lcid) {
    const LocaleInfo* info = FindLocale(lcid);
    if (!info) return nullptr;
    for (const auto& f : kFormats)
        if (f.lcid == info->lcid) return &f;
    return nullptr;
}

DWORD FindLocaleByTag(WStringView tag) {
    for (const auto& f : kFormats)
        if (text::EqualsNoCase(f.tag, tag)) return f.lcid;
    return 0;
}

}  // namespace res
