// Coordinate text: geographic coordinates as degrees, minutes and seconds
// (DMS), degrees and decimal minutes (DMM) or plain numbers; the display
// texts (with the degree sign), the edit-field texts and the parser that
// reads any of them back.
//
// Every form shows the absolute value and a hemisphere letter (S and W below
// zero). Formatting rounds the value to the resolution shown before it is
// split, so a value just below a whole minute never shows 60 seconds.
#pragma once

#include "platform/text/text.h"

// 'N'/'S' for a latitude, 'E'/'W' for a longitude; 0 counts as N/E.
WChar HemisphereLetter(double value, bool isLatitude);

// Degrees, whole minutes, seconds (+0.000005 s, carried into minutes and
// degrees when that reaches 60) and the letter of |value|.
void DegreesToDms(double value, bool isLatitude, int* degrees, int* minutes, double* seconds,
                  WChar* letter);
void SplitDms(double value, bool isLatitude, int* degrees, int* minutes, double* seconds,
              WChar* letter);
// Whole degrees and decimal minutes of |value|.
void DegreesToDmm(double value, bool isLatitude, int* degrees, double* minutes, WChar* letter);
void SplitDmm(double value, bool isLatitude, int* degrees, double* minutes, WChar* letter);

// Display: " 12°20'44.444"N", down to "117°30'W" or "  0°N" when the
// smaller parts are 0 (thousandths of a second shown).
WString FormatDms(double value, bool isLatitude);
// Display: " 33°30.0000'S".
WString FormatDmm(double value, bool isLatitude);
// Edit fields: "117 30 00.000 W" and "33 30.000000000 S".
WString FormatDmsForEdit(double value, bool isLatitude);
WString FormatDmmForEdit(double value, bool isLatitude);

// Reads "45.25", "-45.25", "45 30 E", "N 45 30 15.5", "45°30'N" and the like:
// one to three numbers (degrees, minutes, seconds) with a hemisphere letter
// or sign at either end. Returns decimal degrees; 0 with *ok false for text
// that is not a coordinate.
double ParseCoordinate(WStringView text, bool* ok = nullptr);
// |degrees| + minutes/60 + seconds/3600, negative when degrees is.
double DmsToDegrees(int degrees, int minutes, double seconds);

// A new string from a format and one integer.
WString FormatCString(const WChar* format, int value);
