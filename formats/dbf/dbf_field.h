// Single field values inside a record buffer of a dBASE table: text through
// the table's code page, numbers, logicals, dates, hexadecimal numbers and
// raw bytes, plus statistics, minimum/maximum and a prefix text search.
// Every value call takes (handle, field index, value, record buffer or null);
// null means the handle's own record buffer. A bad index does nothing and
// gives the call's failure value.
#pragma once

#include <cstdint>

#include "formats/dbf/dbf_engine.h"

// The platform's date and time record.
struct DbfDateTime {
    uint16_t year;
    uint16_t month;
    uint16_t dayOfWeek;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

struct DbfFieldStats {
    int32_t field;
    int32_t count;
    double minimum;
    double maximum;
    double sum;
    double mean;
    double variance;
    double standardDeviation;
    double sumOfSquares;  // of the deviations from the mean
    uint8_t name[10];
};

// Text without trailing blanks, into buffer (field length + 1 characters) or
// an engine buffer of 256 characters (per thread, valid until the next call).
const WChar* DbfGetText(DbfHandle h, int field, WChar* buffer = nullptr,
                        const uint8_t* record = nullptr);
WString DbfGetString(DbfHandle h, int field, const uint8_t* record = nullptr);
// Blank-fills the field and writes the text in the table's code page; 0.
int DbfPutText(DbfHandle h, int field, const WChar* text, uint8_t* record = nullptr);

// N and F fields read as decimal numbers; other types give 0.
double DbfGetNumber(DbfHandle h, int field, const uint8_t* record = nullptr);
// N and F: right-aligned with the field's decimals; C: "%.15g". A number that
// does not fit fills the field with '*' (no value) and gives 0; NaN blanks
// the field. 1 on success, 0 for other types.
int DbfPutNumber(DbfHandle h, int field, double value, uint8_t* record = nullptr);
int DbfGetInteger(DbfHandle h, int field, const uint8_t* record = nullptr);
int DbfPutInteger(DbfHandle h, int field, int value, uint8_t* record = nullptr);
int DbfGetLogical(DbfHandle h, int field, const uint8_t* record = nullptr);
int DbfPutLogical(DbfHandle h, int field, int character, uint8_t* record = nullptr);

// D fields; null for other types. Without out, an engine buffer (per thread).
const DbfDateTime* DbfGetDate(DbfHandle h, int field, DbfDateTime* out = nullptr,
                              const uint8_t* record = nullptr);
// D: "YYYYMMDD" (8 blanks for an empty date); C: "YYYYMMDD HHMMSS" cut at the
// field length. 1, or 0 for other types.
int DbfPutDate(DbfHandle h, int field, const DbfDateTime* date, uint8_t* record = nullptr);
// FILETIME: 100 ns units since 1601-01-01.
const uint64_t* DbfGetDateAsFileTime(DbfHandle h, int field, uint64_t* out = nullptr,
                                     const uint8_t* record = nullptr);
int DbfPutDateFromFileTime(DbfHandle h, int field, const uint64_t* fileTime,
                           uint8_t* record = nullptr);
uint64_t DbfDateTimeToFileTime(const DbfDateTime& date);
DbfDateTime DbfFileTimeToDateTime(uint64_t fileTime);

uint32_t DbfGetHex(DbfHandle h, int field, const uint8_t* record = nullptr);
int DbfPutHex(DbfHandle h, int field, uint32_t value, uint8_t* record = nullptr);

// The field's address in the record (copied to out when given); null for a
// bad index.
const uint8_t* DbfGetFieldBytes(DbfHandle h, int field, uint8_t* out = nullptr,
                                const uint8_t* record = nullptr);
int DbfPutFieldBytes(DbfHandle h, int field, const uint8_t* bytes, uint8_t* record = nullptr);

int DbfIsBlank(DbfHandle h, int field, const uint8_t* record = nullptr);
int DbfBlankField(DbfHandle h, int field, uint8_t* record = nullptr);
int DbfIsNumericField(DbfHandle h, int field);  // B F I N Y
int DbfIsTextField(DbfHandle h, int field);     // C M

// Over the live records with a value in the field, first to last (-1: the
// last). 1, or 0 for a bad or non-numeric field or an unmappable file.
// With no value at all, count is 0 and the other figures are 0.
int DbfFieldStatistics(DbfHandle h, int field, DbfFieldStats* stats, int first = 0, int last = -1);
// Minimum and maximum of the live records with a value; 0 for a bad or
// non-numeric field or when no record has a value.
int DbfGetMinMax(DbfHandle h, int field, double* minimum, double* maximum);
// The first live record from `first` on whose field starts with the text
// (ignoring case unless matchCase); -1 when none. The handle's current record
// and record buffer are left as they were.
int DbfFindText(DbfHandle h, int field, const WChar* text, int matchCase, int first = 0);
