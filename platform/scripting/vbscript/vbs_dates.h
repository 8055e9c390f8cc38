// Date arithmetic and fixed-rule date text for the VBScript engine. Dates are
// OLE dates: days since 1899-12-30, the fraction the time of day (for negative
// dates the fraction still counts forward from midnight).
#pragma once

#include "platform/text/text.h"

namespace vbs {

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

// Days from 1899-12-30 to y-m-d (proleptic Gregorian); months and days out of
// range roll over as DateSerial does.
double DaysFromCivil(int y, int m, int d);
// Whole date from its parts; false when outside 100-01-01 .. 9999-12-31.
bool MakeDate(const DateParts& p, double* out);
// Seconds since midnight as a day fraction.
double TimeFraction(int h, int m, int s);
// Splits an OLE date into parts (time rounded to the second).
DateParts SplitDate(double d);
// Day of week 1 = Sunday .. 7 = Saturday.
int DayOfWeek(double d);
bool IsLeapYear(int y);
int DaysInMonth(int y, int m);

// Date text as CDate reads it: the conversion rules (ParseDate) plus a
// leading day name and day/month order when the first number cannot be a
// month. False when the text is no date.
bool ParseDateText(WStringView s, double* out);

// FormatDateTime's named formats 0..4 (0 is the conversion's general form).
WString FormatDatePart(double d, int namedFormat);

extern const char16_t* const kMonthNames[12];
extern const char16_t* const kDayNames[7];

}  // namespace vbs
