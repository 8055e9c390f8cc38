#include "formats/dbf/dbf_field.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "formats/dbf/dbf_codepage.h"
#include "formats/dbf/dbf_internal.h"

using namespace dbf_detail;

namespace {

bool Valid(DbfHandle h, int field) {
    return h && field >= 0 && field < h->fieldCount;
}

const uint8_t* Rec(DbfHandle h, const uint8_t* record) {
    return record ? record : h->record.get();
}
uint8_t* Rec(DbfHandle h, uint8_t* record) {
    return record ? record : h->record.get();
}

bool IsNumberType(char t) {
    return t == 'N' || t == 'F';
}

void Fill(uint8_t* p, int n, uint8_t c) {
    memset(p, c, static_cast<size_t>(n));
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr int64_t kDays1601To1970 = 134774;
constexpr uint64_t kTicksPerDay = 864000000000ULL;

int DigitsValue(const uint8_t* p, int n) {
    WChar buf[8] = {};
    for (int i = 0; i < n; ++i) buf[i] = p[i];
    return text::ParseLong(buf);
}

}  // namespace

const WChar* DbfGetText(DbfHandle h, int field, WChar* buffer, const uint8_t* record) {
    if (!Valid(h, field)) return nullptr;
    thread_local WChar engine[256];
    const int len = FieldLength(h, field);
    const uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    if (buffer) return DbfTextFromTable(h->codePage, p, len, buffer, len);
    return DbfTextFromTable(h->codePage, p, len, engine, 255);
}

WString DbfGetString(DbfHandle h, int field, const uint8_t* record) {
    if (!Valid(h, field)) return WString();
    return DbfTextFromTable(h->codePage, Rec(h, record) + FieldOffset(h, field),
                            FieldLength(h, field));
}

int DbfPutText(DbfHandle h, int field, const WChar* value, uint8_t* record) {
    if (!Valid(h, field)) return 0;
    DbfTextToTable(h->codePage, value, -1, Rec(h, record) + FieldOffset(h, field),
                   FieldLength(h, field));
    return 0;
}

double DbfGetNumber(DbfHandle h, int field, const uint8_t* record) {
    if (!Valid(h, field) || !IsNumberType(FieldType(h, field))) return 0;
    const uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    int n = FieldLength(h, field);
    if (n > 63) n = 63;
    // The C number syntax without infinities, NaN or hex digits, read in
    // place: spaces, a sign, then a digit or the point must follow.
    const char* s = reinterpret_cast<const char*>(p);
    const char* end = s + n;
    while (s < end && (*s == ' ' || (*s >= '\t' && *s <= '\r'))) ++s;
    const char* first = s < end && (*s == '+' || *s == '-') ? s + 1 : s;
    if (first == end || !((*first >= '0' && *first <= '9') || *first == '.')) return 0;
    double value = 0;
    const std::from_chars_result r = std::from_chars(*s == '+' ? first : s, end, value);
    if (r.ec == std::errc()) return value;
    if (r.ec == std::errc::invalid_argument) return 0;
    // Out of range: the text parser gives the infinity or the tiny value.
    WChar buf[64];
    for (int i = 0; i < n; ++i) buf[i] = p[i];
    buf[n] = 0;
    return text::ParseDouble(buf);
}

int DbfPutNumber(DbfHandle h, int field, double value, uint8_t* record) {
    if (!Valid(h, field)) return 0;
    const char type = FieldType(h, field);
    if (type != 'C' && !IsNumberType(type)) return 0;
    uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    const int len = FieldLength(h, field);
    if (std::isnan(value)) {
        Fill(p, len, ' ');  // no value
        return 1;
    }
    // Formatted in the C rules whatever the process locale; wide enough for
    // any double at the most decimals a field can declare.
    char buf[700];
    std::to_chars_result r;
    if (type == 'C')
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    else
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                          static_cast<int>(Descriptor(h, field)[17]));
    const int n = r.ec == std::errc() ? static_cast<int>(r.ptr - buf) : len + 1;
    if (n > len || std::isinf(value)) {
        // Cut digits would store another number: mark the field as no value.
        Fill(p, len, '*');
        return 0;
    }
    if (type == 'C') {
        memcpy(p, buf, static_cast<size_t>(n));
        Fill(p + n, len - n, ' ');
    } else {
        Fill(p, len - n, ' ');
        memcpy(p + len - n, buf, static_cast<size_t>(n));
    }
    return 1;
}

int DbfGetInteger(DbfHandle h, int field, const uint8_t* record) {
    WChar buf[257];
    const WChar* s = DbfGetText(h, field, buf, record);
    if (!s || !*s) return 0;
    if (*s >= 1 && *s <= 32) ++s;
    return text::ParseLong(s);
}

int DbfPutInteger(DbfHandle h, int field, int value, uint8_t* record) {
    return DbfPutNumber(h, field, static_cast<double>(value), record);
}

int DbfGetLogical(DbfHandle h, int field, const uint8_t* record) {
    if (!Valid(h, field) || FieldType(h, field) != 'L' || FieldLength(h, field) < 1) return 0;
    const uint8_t c = Rec(h, record)[FieldOffset(h, field)];
    return c == 'T' || c == 't' || c == 'Y' || c == 'y' ? 1 : 0;
}

int DbfPutLogical(DbfHandle h, int field, int c, uint8_t* record) {
    if (!Valid(h, field) || FieldType(h, field) != 'L' || FieldLength(h, field) < 1) return 0;
    uint8_t v;
    switch (c) {
        case 0:
        case '0':
        case 'F':
        case 'N':
        case 'f':
        case 'n':
            v = 'F';
            break;
        case ' ':
        case '?':
            v = static_cast<uint8_t>(c);
            break;
        default:
            v = 'T';
            break;
    }
    Rec(h, record)[FieldOffset(h, field)] = v;
    return 1;
}

const DbfDateTime* DbfGetDate(DbfHandle h, int field, DbfDateTime* out, const uint8_t* record) {
    thread_local DbfDateTime engine;
    DbfDateTime* d = out ? out : &engine;
    *d = DbfDateTime{};
    if (!Valid(h, field)) return d;
    if (FieldType(h, field) != 'D') return nullptr;
    const uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    const int len = FieldLength(h, field);
    if (len < 8 || DbfIsBlank(h, field, record)) return d;
    d->year = static_cast<uint16_t>(DigitsValue(p, 4));
    d->month = static_cast<uint16_t>(DigitsValue(p + 4, 2));
    d->day = static_cast<uint16_t>(DigitsValue(p + 6, 2));
    return d;
}

int DbfPutDate(DbfHandle h, int field, const DbfDateTime* date, uint8_t* record) {
    if (!Valid(h, field) || !date) return 0;
    const char type = FieldType(h, field);
    if (type != 'C' && type != 'D') return 0;
    uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    const int len = FieldLength(h, field);
    if (type == 'D') {
        if (date->year == 0 || date->month == 0 || date->day == 0) {
            Fill(p, len, ' ');
            return 1;
        }
        const std::string s = text::FormatA("%04d%02d%02d", date->year, date->month, date->day);
        memcpy(p, s.data(), std::min<size_t>(s.size(), static_cast<size_t>(len)));
        return 1;
    }
    const std::string s = text::FormatA("%04d%02d%02d %02d%02d%02d", date->year, date->month,
                                        date->day, date->hour, date->minute, date->second);
    memcpy(p, s.data(), std::min<size_t>(s.size(), static_cast<size_t>(len)));
    return 1;
}

uint64_t DbfDateTimeToFileTime(const DbfDateTime& d) {
    if (d.year < 1601 || d.month < 1 || d.month > 12 || d.day < 1) return 0;
    const int64_t days = DaysFromCivil(d.year, d.month, d.day) + kDays1601To1970;
    return static_cast<uint64_t>(days) * kTicksPerDay +
           ((d.hour * 3600ULL + d.minute * 60ULL + d.second) * 1000ULL + d.milliseconds) * 10000ULL;
}

DbfDateTime DbfFileTimeToDateTime(uint64_t ft) {
    DbfDateTime d{};
    const int64_t days = static_cast<int64_t>(ft / kTicksPerDay);
    uint64_t rest = (ft % kTicksPerDay) / 10000;  // milliseconds of the day
    int y;
    unsigned m, day;
    CivilFromDays(days - kDays1601To1970, y, m, day);
    d.year = static_cast<uint16_t>(y);
    d.month = static_cast<uint16_t>(m);
    d.day = static_cast<uint16_t>(day);
    d.dayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    d.milliseconds = static_cast<uint16_t>(rest % 1000);
    rest /= 1000;
    d.second = static_cast<uint16_t>(rest % 60);
    d.minute = static_cast<uint16_t>(rest / 60 % 60);
    d.hour = static_cast<uint16_t>(rest / 3600);
    return d;
}

const uint64_t* DbfGetDateAsFileTime(DbfHandle h, int field, uint64_t* out, const uint8_t* record) {
    thread_local uint64_t engine;
    DbfDateTime d;
    if (!DbfGetDate(h, field, &d, record)) return nullptr;
    uint64_t* o = out ? out : &engine;
    *o = DbfDateTimeToFileTime(d);
    return o;
}

int DbfPutDateFromFileTime(DbfHandle h, int field, const uint64_t* fileTime, uint8_t* record) {
    if (!fileTime) return 0;
    const DbfDateTime d = DbfFileTimeToDateTime(*fileTime);
    return DbfPutDate(h, field, &d, record);
}

uint32_t DbfGetHex(DbfHandle h, int field, const uint8_t* record) {
    if (!Valid(h, field) || FieldType(h, field) != 'C') return 0;
    const uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    const int len = FieldLength(h, field);
    uint32_t value = 0;
    int digits = 0;
    for (int i = 0; i < len && digits < 8; ++i) {
        const uint8_t c = p[i];
        if (c < '!') continue;
        const int v = text::HexDigit(c);
        if (v < 0) {
            if (digits == 0) continue;
            break;
        }
        value = value << 4 | static_cast<uint32_t>(v);
        ++digits;
    }
    return value;
}

int DbfPutHex(DbfHandle h, int field, uint32_t value, uint8_t* record) {
    if (!Valid(h, field) || FieldType(h, field) != 'C') return 0;
    const WString s = text::Format(u"%08lX", static_cast<unsigned long>(value));
    const int len = FieldLength(h, field);
    const size_t skip = len < 8 ? static_cast<size_t>(8 - len) : 0;
    DbfPutText(h, field, s.c_str() + skip, record);
    return 1;
}

const uint8_t* DbfGetFieldBytes(DbfHandle h, int field, uint8_t* out, const uint8_t* record) {
    if (!Valid(h, field)) return nullptr;
    const uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    if (out) memcpy(out, p, static_cast<size_t>(FieldLength(h, field)));
    return p;
}

int DbfPutFieldBytes(DbfHandle h, int field, const uint8_t* bytes, uint8_t* record) {
    if (!Valid(h, field) || !bytes) return 0;
    memcpy(Rec(h, record) + FieldOffset(h, field), bytes,
           static_cast<size_t>(FieldLength(h, field)));
    return 1;
}

int DbfIsBlank(DbfHandle h, int field, const uint8_t* record) {
    if (!Valid(h, field)) return 0;
    const uint8_t* p = Rec(h, record) + FieldOffset(h, field);
    const int len = FieldLength(h, field);
    const bool numeric = DbfIsNumericField(h, field);
    for (int i = 0; i < len; ++i)
        if (p[i] != ' ' && !(numeric && p[i] == '*')) return 0;
    return 1;
}

int DbfBlankField(DbfHandle h, int field, uint8_t* record) {
    if (!Valid(h, field)) return 0;
    Fill(Rec(h, record) + FieldOffset(h, field), FieldLength(h, field), ' ');
    return 1;
}

int DbfIsNumericField(DbfHandle h, int field) {
    if (!Valid(h, field)) return 0;
    const char t = FieldType(h, field);
    return t == 'B' || t == 'F' || t == 'I' || t == 'N' || t == 'Y' ? 1 : 0;
}

int DbfIsTextField(DbfHandle h, int field) {
    if (!Valid(h, field)) return 0;
    const char t = FieldType(h, field);
    return t == 'C' || t == 'M' ? 1 : 0;
}

namespace {

struct StatsWalk {
    int field;
    double sum = 0, sumSq = 0, mean = 0;
    double minimum = std::numeric_limits<double>::max();
    double maximum = -std::numeric_limits<double>::max();
    int count = 0;
    bool second = false;
};

int StatsVisit(DbfHandle h, int, const uint8_t* data, void* user) {
    auto* w = static_cast<StatsWalk*>(user);
    // Deleted rows and empty fields hold no value.
    if (data[0] == '*' || DbfIsBlank(h, w->field, data)) return 1;
    const double v = DbfGetNumber(h, w->field, data);
    if (w->second) {
        w->sumSq += (v - w->mean) * (v - w->mean);
        return 1;
    }
    ++w->count;
    w->sum += v;
    if (v < w->minimum) w->minimum = v;
    if (v > w->maximum) w->maximum = v;
    return 1;
}

}  // namespace

int DbfFieldStatistics(DbfHandle h, int field, DbfFieldStats* stats, int first, int last) {
    if (!Valid(h, field) || !stats || !DbfIsNumericField(h, field)) return 0;
    *stats = DbfFieldStats{};
    stats->field = field;
    memcpy(stats->name, Descriptor(h, field), 10);
    StatsWalk w{field};
    if (!DbfForEachRecord(h, StatsVisit, &w, first, last)) return 0;
    stats->count = w.count;
    if (w.count == 0) return 1;
    stats->minimum = w.minimum;
    stats->maximum = w.maximum;
    stats->sum = w.sum;
    stats->mean = w.sum / w.count;
    if (w.count < 2) return 1;
    w.second = true;
    w.mean = stats->mean;
    DbfForEachRecord(h, StatsVisit, &w, first, last);
    stats->sumOfSquares = w.sumSq;
    stats->variance = w.sumSq / (w.count - 1);
    stats->standardDeviation = std::sqrt(stats->variance);
    return 1;
}

int DbfGetMinMax(DbfHandle h, int field, double* minimum, double* maximum) {
    if (!Valid(h, field) || !DbfIsNumericField(h, field)) return 0;
    StatsWalk w{field};
    if (!DbfForEachRecord(h, StatsVisit, &w, 0, -1)) return 0;
    if (minimum) *minimum = w.minimum;
    if (maximum) *maximum = w.maximum;
    return w.count > 0 ? 1 : 0;
}

namespace {
struct FindWalk {
    int field;
    WString wanted;
    bool matchCase;
    int found = -1;
};

int FindVisit(DbfHandle h, int record, const uint8_t* data, void* user) {
    auto* w = static_cast<FindWalk*>(user);
    if (data[0] == '*') return 1;
    WString value = DbfGetString(h, w->field, data);
    if (value.size() < w->wanted.size()) return 1;
    value.resize(w->wanted.size());
    const bool same = w->matchCase ? value == w->wanted : text::EqualsNoCase(value, w->wanted);
    if (!same) return 1;
    w->found = record;
    return 0;
}
}  // namespace

int DbfFindText(DbfHandle h, int field, const WChar* value, int matchCase, int first) {
    if (!Valid(h, field) || !value) return -1;
    FindWalk w{field, WString(value).substr(0, 255), matchCase != 0};
    if (!DbfForEachRecord(h, FindVisit, &w, first, -1)) return -1;
    return w.found;
}
