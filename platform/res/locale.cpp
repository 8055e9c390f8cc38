#include "platform/res/locale.h"

#include <atomic>

namespace res {

namespace {

constexpr LocaleInfo kLocales[] = {
    {0x0401, u"ARA", 1256, 720, true, u"العربية", u"المملكة العربية السعودية", u"Arabic",
     u"Saudi Arabia", 966, u"SAU"},
    {0x0402, u"BGR", 1251, 866, false, u"български", u"България", u"Bulgarian", u"Bulgaria", 359, u"BGR"},
    {0x0403, u"CAT", 1252, 850, false, u"català", u"Espanya", u"Catalan", u"Spain", 34, u"ESP"},
    {0x0404, u"CHT", 950, 950, false, u"中文(繁體)", u"台灣", u"Chinese (Traditional)", u"Taiwan", 886, u"TWN"},
    {0x0405, u"CSY", 1250, 852, false, u"čeština", u"Česká republika", u"Czech", u"Czech Republic", 420, u"CZE"},
    {0x0406, u"DAN", 1252, 850, false, u"dansk", u"Danmark", u"Danish", u"Denmark", 45, u"DNK"},
    {0x0407, u"DEU", 1252, 850, false, u"Deutsch", u"Deutschland", u"German", u"Germany", 49, u"DEU"},
    {0x0408, u"ELL", 1253, 737, false, u"Ελληνικά", u"Ελλάδα", u"Greek", u"Greece", 30, u"GRC"},
    {0x0409, u"ENU", 1252, 437, false, u"English", u"United States", u"English", u"United States", 1, u"USA"},
    {0x040A, u"ESP", 1252, 850, false, u"español", u"España", u"Spanish", u"Spain", 34, u"ESP"},
    {0x040B, u"FIN", 1252, 850, false, u"suomi", u"Suomi", u"Finnish", u"Finland", 358, u"FIN"},
    {0x040C, u"FRA", 1252, 850, false, u"français", u"France", u"French", u"France", 33, u"FRA"},
    {0x040D, u"HEB", 1255, 862, true, u"עברית", u"ישראל", u"Hebrew", u"Israel", 972, u"ISR"},
    {0x040E, u"HUN", 1250, 852, false, u"magyar", u"Magyarország", u"Hungarian", u"Hungary", 36, u"HUN"},
    {0x040F, u"ISL", 1252, 850, false, u"íslenska", u"Ísland", u"Icelandic", u"Iceland", 354, u"ISL"},
    {0x0410, u"ITA", 1252, 850, false, u"italiano", u"Italia", u"Italian", u"Italy", 39, u"ITA"},
    {0x0411, u"JPN", 932, 932, false, u"日本語", u"日本", u"Japanese", u"Japan", 81, u"JPN"},
    {0x0412, u"KOR", 949, 949, false, u"한국어", u"대한민국", u"Korean", u"Korea", 82, u"KOR"},
    {0x0413, u"NLD", 1252, 850, false, u"Nederlands", u"Nederland", u"Dutch", u"Netherlands", 31, u"NLD"},
    {0x0414, u"NOR", 1252, 850, false, u"norsk (bokmål)", u"Norge", u"Norwegian (Bokmål)",
     u"Norway", 47, u"NOR"},
    {0x0415, u"PLK", 1250, 852, false, u"polski", u"Polska", u"Polish", u"Poland", 48, u"POL"},
    {0x0416, u"PTB", 1252, 850, false, u"português", u"Brasil", u"Portuguese", u"Brazil", 55, u"BRA"},
    {0x0418, u"ROM", 1250, 852, false, u"română", u"România", u"Romanian", u"Romania", 40, u"ROU"},
    {0x0419, u"RUS", 1251, 866, false, u"русский", u"Россия", u"Russian", u"Russia", 7, u"RUS"},
    {0x041A, u"HRV", 1250, 852, false, u"hrvatski", u"Hrvatska", u"Croatian", u"Croatia", 385, u"HRV"},
    {0x041B, u"SKY", 1250, 852, false, u"slovenčina", u"Slovensko", u"Slovak", u"Slovakia", 421, u"SVK"},
    {0x041D, u"SVE", 1252, 850, false, u"svenska", u"Sverige", u"Swedish", u"Sweden", 46, u"SWE"},
    {0x041E, u"THA", 874, 874, false, u"ไทย", u"ไทย", u"Thai", u"Thailand", 66, u"THA"},
    {0x041F, u"TRK", 1254, 857, false, u"Türkçe", u"Türkiye", u"Turkish", u"Turkey", 90, u"TUR"},
    {0x0421, u"IND", 1252, 850, false, u"Bahasa Indonesia", u"Indonesia", u"Indonesian",
     u"Indonesia", 62, u"IDN"},
    {0x0422, u"UKR", 1251, 866, false, u"українська", u"Україна", u"Ukrainian", u"Ukraine", 380, u"UKR"},
    {0x0424, u"SLV", 1250, 852, false, u"slovenski", u"Slovenija", u"Slovenian", u"Slovenia", 386, u"SVN"},
    {0x0425, u"ETI", 1257, 775, false, u"eesti", u"Eesti", u"Estonian", u"Estonia", 372, u"EST"},
    {0x0426, u"LVI", 1257, 775, false, u"latviešu", u"Latvija", u"Latvian", u"Latvia", 371, u"LVA"},
    {0x0427, u"LTH", 1257, 775, false, u"lietuvių", u"Lietuva", u"Lithuanian", u"Lithuania", 370, u"LTU"},
    {0x0429, u"FAR", 1256, 720, true, u"فارسى", u"ایران", u"Persian", u"Iran", 98, u"IRN"},
    {0x042A, u"VIT", 1258, 1258, false, u"Tiếng Việt", u"Việt Nam", u"Vietnamese", u"Vietnam", 84, u"VNM"},
    {0x0804, u"CHS", 936, 936, false, u"中文(简体)", u"中华人民共和国", u"Chinese (Simplified)",
     u"People's Republic of China", 86, u"CHN"},
    {0x0807, u"DES", 1252, 850, false, u"Deutsch", u"Schweiz", u"German", u"Switzerland", 41, u"CHE"},
    {0x0809, u"ENG", 1252, 850, false, u"English", u"United Kingdom", u"English",
     u"United Kingdom", 44, u"GBR"},
    {0x080A, u"ESM", 1252, 850, false, u"español", u"México", u"Spanish", u"Mexico", 52, u"MEX"},
    {0x0816, u"PTG", 1252, 850, false, u"português", u"Portugal", u"Portuguese", u"Portugal", 351, u"PRT"},
    {0x0C07, u"DEA", 1252, 850, false, u"Deutsch", u"Österreich", u"German", u"Austria", 43, u"AUT"},
    {0x0C09, u"ENA", 1252, 850, false, u"English", u"Australia", u"English", u"Australia", 61, u"AUS"},
    {0x0C0A, u"ESN", 1252, 850, false, u"español", u"España", u"Spanish", u"Spain", 34, u"ESP"},
    {0x0C0C, u"FRC", 1252, 850, false, u"français", u"Canada", u"French", u"Canada", 2, u"CAN"},
    {0x100C, u"FRS", 1252, 850, false, u"français", u"Suisse", u"French", u"Switzerland", 41, u"CHE"},
};

std::atomic<DWORD> g_userLcid{0x0409};

}  // namespace

std::span<const LocaleInfo> AllLocales() {
    return kLocales;
}

const LocaleInfo* FindLocale(DWORD lcid) {
    lcid &= 0xFFFF;
    for (const auto& l : kLocales)
        if (l.lcid == lcid) return &l;
    for (const auto& l : kLocales)
        if ((l.lcid & 0x3FF) == (lcid & 0x3FF)) return &l;
    return nullptr;
}

const LocaleInfo* FindLocaleByAbbreviation(WStringView abbreviation) {
    for (const auto& l : kLocales)
        if (text::EqualsNoCase(l.abbreviation, abbreviation)) return &l;
    return nullptr;
}

DWORD GetUserDefaultLCID() {
    return g_userLcid;
}
void SetUserDefaultLCID(DWORD lcid) {
    g_userLcid = lcid ? lcid : 0x0409;
}

}  // namespace res
