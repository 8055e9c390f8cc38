// The script locale of the VBScript engine: numbers, currency, short dates
// and times are written and read as the locale writes them (SetLocale
// changes it; the user's locale to start with). Nothing here depends on the
// process's C locale.
#pragma once

#include "platform/res/locale.h"
#include "platform/scripting/vbscript/vbs_dates.h"

namespace vbs {

// The formats of the locale the running script is in; US English when no
// script runs.
const res::LocaleFormats& ScriptFormats();
// The formats of a locale id of the table; nullptr for any other id.
const res::LocaleFormats* ExactLocaleFormats(DWORD lcid);

// Makes a locale the script locale until the scope ends (a null one changes
// nothing). Engines set theirs where a script starts running.
class LocaleScope {
public:
    explicit LocaleScope(const res::LocaleFormats* f);
    ~LocaleScope();
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
    // Changes the script locale of the running script.
    static void Switch(const res::LocaleFormats* f);

private:
    const res::LocaleFormats* saved_;
    bool active_;
};

// A number written by the C rules ("-1.5E+20") in the script locale's form.
WString LocalNumberText(WString s);
// Text in the script locale's number form as the number reader takes it:
// groups dropped, the decimal mark a '.'. Unchanged in a locale that writes
// numbers by the C rules.
WString CNumberText(WStringView s);
// A date and time text of the script locale in the form the date reader
// takes (month/day/year, AM and PM, ':' between hours and minutes); false
// when there was nothing to change.
bool UsDateText(WStringView s, WString* out);

// Date and time as the script locale writes them.
WString ShortDateText(const DateParts& p);
WString LongTimeText(const DateParts& p);
WString ShortTimeText(const DateParts& p);
// The general form: the date, and the time when there is one (only the time
// for a time alone).
WString GeneralDateText(double d);

}  // namespace vbs
