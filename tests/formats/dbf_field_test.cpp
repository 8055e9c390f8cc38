// Field values in record buffers: the formats tables are written with,
// numbers independent of the process locale, overflow, and the statistics.
#include "formats/dbf/dbf_field.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "dbf_test_util.h"

namespace {

class DbfFields : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        h_ = DbfCreate(u"\\v.dbf", 0);
        ASSERT_NE(h_, nullptr);
        DbfAddField(h_, u"N82", 'N', 8, 2);    // 0
        DbfAddField(h_, u"N50", 'N', 5, 0);    // 1
        DbfAddField(h_, u"C4", 'C', 4, 0);     // 2
        DbfAddField(h_, u"C10", 'C', 10, 0);   // 3
        DbfAddField(h_, u"L", 'L', 1, 0);      // 4
        DbfAddField(h_, u"D", 'D', 8, 0);      // 5
        DbfAddField(h_, u"F103", 'F', 10, 3);  // 6
        DbfAddField(h_, u"N41", 'N', 4, 1);    // 7
        DbfBlankRecord(h_);
    }
    void TearDown() override {
        DbfClose(h_);
        DbfRootTest::TearDown();
    }
    std::string Raw(int field) {
        const uint8_t* p = DbfGetFieldBytes(h_, field);
        return std::string(reinterpret_cast<const char*>(p),
                           static_cast<size_t>(DbfGetFieldLength(h_, field)));
    }
    DbfHandle h_ = nullptr;
};

// Run under the C locale and under a comma-decimal one: the engine must not
// notice the difference.
void NumberRows(DbfFields* t, DbfHandle h) {
    struct {
        int field;
        double value;
        int result;
        const char* raw;
        double readBack;  // NaN: do not read back
    } rows[] = {
        {0, 3.14159, 1, "    3.14", 3.14},
        {0, -2.5, 1, "   -2.50", -2.5},
        {0, 12345.678, 1, "12345.68", 12345.68},
        {0, 123456.7, 0, "********", 0},  // too wide: no value, never other digits
        {1, 123456789, 0, "*****", 0},
        {1, 99999, 1, "99999", 99999},
        {1, NAN, 1, "     ", 0},
        {1, INFINITY, 0, "*****", 0},
        {2, 0.1, 1, "0.1 ", NAN},
        {2, 1.5e20, 0, "****", NAN},
        {3, 1.5e20, 1, "1.5e+20   ", NAN},
        {3, -0.000125, 1, "-0.000125 ", NAN},
        {6, 2.0 / 3, 1, "     0.667", 0.667},
        {7, -9.96, 0, "****", 0},  // rounds to -10.0, one too wide
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.raw);
        EXPECT_EQ(DbfPutNumber(h, r.field, r.value), r.result);
        const uint8_t* p = DbfGetFieldBytes(h, r.field);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), strlen(r.raw)), r.raw);
        if (!std::isnan(r.readBack)) {
            EXPECT_DOUBLE_EQ(DbfGetNumber(h, r.field), r.readBack);
        }
    }
    (void)t;
}

TEST_F(DbfFields, NumbersInTheCRules) {
    NumberRows(this, h_);
}

TEST_F(DbfFields, NumbersUnderACommaDecimalLocale) {
    const std::string saved = setlocale(LC_ALL, nullptr);
    ASSERT_TRUE(setlocale(LC_ALL, "de_DE.UTF-8"))
        << "de_DE.UTF-8 missing: tools/setup generates it";
    char probe[16];
    snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5") << "the locale is really active";
    NumberRows(this, h_);
    setlocale(LC_ALL, saved.c_str());
}

// Numbers as other programs leave them, read in the C syntax as the text
// module reads it (no infinities, NaN or hex; out-of-range values as strtod
// gives them).
TEST_F(DbfFields, NumbersWrittenByOthers) {
    struct {
        const char* raw;  // the 10 bytes of field F103
        double value;
    } rows[] = {
        {"  12.5    ", 12.5},   {"+3        ", 3},       {"   -0.000 ", -0.0},
        {".5        ", 0.5},    {"-.5       ", -0.5},    {"1e5       ", 1e5},
        {"1.5e+     ", 1.5},    {"1e999     ", INFINITY}, {"-1e999    ", -INFINITY},
        {"1e-400    ", 0},      {"4.9e-324  ", 4.9e-324}, {"+-5       ", 0},
        {"-inf      ", 0},      {"nan       ", 0},       {"0x10      ", 0},
        {"12 34     ", 12},     {"1,5       ", 1},       {"\t7        ", 7},
        {"**********", 0},      {"          ", 0},       {".         ", 0},
        {"-         ", 0},      {"5\0" "9       ", 5},   {"0.30000000", 0.3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.raw);
        ASSERT_EQ(DbfPutFieldBytes(h_, 6, reinterpret_cast<const uint8_t*>(r.raw)), 1);
        const double got = DbfGetNumber(h_, 6);
        EXPECT_EQ(got, r.value);
        EXPECT_EQ(std::signbit(got), std::signbit(r.value));
        WString wide;
        for (int i = 0; i < 10 && r.raw[i]; ++i) wide += static_cast<WChar>(r.raw[i]);
        EXPECT_EQ(got, text::ParseDouble(wide.c_str()));
    }
}

TEST_F(DbfFields, TextLogicalsDatesAndHex) {
    EXPECT_EQ(DbfPutText(h_, 3, u"Ab"), 0);
    EXPECT_EQ(Raw(3), "Ab        ");
    EXPECT_EQ(WString(DbfGetText(h_, 3)), u"Ab");
    WChar own[11];
    EXPECT_EQ(DbfGetText(h_, 3, own), own);
    EXPECT_EQ(WString(own), u"Ab");
    EXPECT_EQ(DbfGetText(h_, 99), nullptr);
    EXPECT_EQ(DbfGetText(h_, -1), nullptr);

    struct {
        int in;
        char stored;
        int get;
    } logicals[] = {{'y', 'T', 1}, {'n', 'F', 0}, {'?', '?', 0}, {0, 'F', 0},
                    {'0', 'F', 0}, {' ', ' ', 0}, {'T', 'T', 1}, {'x', 'T', 1}};
    for (const auto& l : logicals) {
        EXPECT_EQ(DbfPutLogical(h_, 4, l.in), 1);
        EXPECT_EQ(Raw(4)[0], l.stored) << l.in;
        EXPECT_EQ(DbfGetLogical(h_, 4), l.get) << l.in;
    }
    EXPECT_EQ(DbfPutLogical(h_, 3, 'T'), 0);  // not a logical field

    DbfDateTime d{2024, 2, 0, 29, 13, 5, 9, 0};
    EXPECT_EQ(DbfPutDate(h_, 5, &d), 1);
    EXPECT_EQ(Raw(5), "20240229");
    DbfDateTime back{};
    ASSERT_NE(DbfGetDate(h_, 5, &back), nullptr);
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.hour, 0);
    EXPECT_EQ(DbfPutDate(h_, 3, &d), 1);  // a C(10) gets date and time, cut
    EXPECT_EQ(Raw(3), "20240229 1");
    DbfDateTime zero{};
    EXPECT_EQ(DbfPutDate(h_, 5, &zero), 1);
    EXPECT_EQ(Raw(5), "        ");
    ASSERT_NE(DbfGetDate(h_, 5), nullptr);
    EXPECT_EQ(DbfGetDate(h_, 5)->year, 0);
    EXPECT_EQ(DbfGetDate(h_, 3), nullptr);  // not a date field
    EXPECT_EQ(DbfPutDate(h_, 4, &d), 0);

    // FILETIME: 2000-01-01 00:00 is 125911584000000000.
    const uint64_t y2k = 125911584000000000ULL;
    EXPECT_EQ(DbfPutDateFromFileTime(h_, 5, &y2k), 1);
    EXPECT_EQ(Raw(5), "20000101");
    uint64_t ft = 0;
    ASSERT_NE(DbfGetDateAsFileTime(h_, 5, &ft), nullptr);
    EXPECT_EQ(ft, y2k);
    EXPECT_EQ(DbfFileTimeToDateTime(y2k).dayOfWeek, 6);  // a Saturday

    struct {
        const char* field;
        uint32_t value;
    } hexes[] = {{" 1F 2A    ", 0x1F2A},     {"&H1F      ", 0x1F},       {"0x1F      ", 0},
                 {"zz12345678", 0x12345678}, {"123456789A", 0x12345678}, {"          ", 0}};
    for (const auto& x : hexes) {
        DbfPutFieldBytes(h_, 3, reinterpret_cast<const uint8_t*>(x.field));
        EXPECT_EQ(DbfGetHex(h_, 3), x.value) << x.field;
    }
    EXPECT_EQ(DbfPutHex(h_, 2, 0x1F2A), 1);
    EXPECT_EQ(Raw(2), "1F2A");
    EXPECT_EQ(DbfPutHex(h_, 3, 0x1F2A), 1);
    EXPECT_EQ(Raw(3), "00001F2A  ");
    EXPECT_EQ(DbfPutHex(h_, 1, 1), 0);

    DbfPutText(h_, 3, u" 42");
    EXPECT_EQ(DbfGetInteger(h_, 3), 42);
    DbfPutText(h_, 3, u"9999999999");
    EXPECT_EQ(DbfGetInteger(h_, 3), INT32_MAX);
    EXPECT_EQ(DbfPutInteger(h_, 1, -42), 1);
    EXPECT_EQ(Raw(1), "  -42");
}

TEST_F(DbfFields, BlanksAndTypes) {
    EXPECT_EQ(DbfIsBlank(h_, 0), 1);
    DbfPutFieldBytes(h_, 0, reinterpret_cast<const uint8_t*>("********"));
    EXPECT_EQ(DbfIsBlank(h_, 0), 1) << "stars are no value in numeric fields";
    DbfPutFieldBytes(h_, 2, reinterpret_cast<const uint8_t*>("****"));
    EXPECT_EQ(DbfIsBlank(h_, 2), 0);
    EXPECT_EQ(DbfBlankField(h_, 2), 1);
    EXPECT_EQ(DbfIsBlank(h_, 2), 1);
    EXPECT_EQ(Raw(4), "?") << "a blank record holds ? in logicals";
    EXPECT_EQ(DbfIsNumericField(h_, 0), 1);
    EXPECT_EQ(DbfIsNumericField(h_, 6), 1);
    EXPECT_EQ(DbfIsNumericField(h_, 2), 0);
    EXPECT_EQ(DbfIsTextField(h_, 2), 1);
    EXPECT_EQ(DbfIsTextField(h_, 5), 0);
    EXPECT_EQ(DbfGetNumber(h_, 4), 0.0);
    // A caller's buffer is used instead of the handle's.
    uint8_t* mine = DbfAllocRecordBuffer(h_);
    DbfBlankRecord(h_, mine);
    DbfPutText(h_, 2, u"mine", mine);
    EXPECT_EQ(WString(DbfGetText(h_, 2, nullptr, mine)), u"mine");
    EXPECT_EQ(WString(DbfGetText(h_, 2)), u"");
    DbfFreeRecordBuffer(mine);
}

class DbfStatistics : public DbfRootTest {};

TEST_F(DbfStatistics, SkipDeletedRowsAndBlankFields) {
    DbfHandle h = DbfCreate(u"\\s.dbf", 0);
    DbfAddField(h, u"V", 'N', 6, 1);
    DbfAddField(h, u"NAME", 'C', 8, 0);
    const double values[] = {2, 4, 4, 4, 5, 5, 7, 9};
    const WChar* names[] = {u"alpha", u"Abacus", u"beta", u"ab", u"x", u"y", u"z", u"w"};
    for (int i = 0; i < 8; ++i) {
        DbfBlankRecord(h);
        DbfPutNumber(h, 0, values[i]);
        DbfPutText(h, 1, names[i]);
        DbfWriteRecord(h, kDbfAppend);
    }
    DbfBlankRecord(h);  // a blank value
    DbfPutText(h, 1, u"abyss");
    DbfWriteRecord(h, kDbfAppend);
    DbfBlankRecord(h);  // a deleted row
    DbfPutNumber(h, 0, 1000);
    DbfPutText(h, 1, u"ABC");
    DbfWriteRecord(h, kDbfAppend);
    DbfDeleteRecord(h, 9);

    DbfFieldStats st{};
    ASSERT_EQ(DbfFieldStatistics(h, 0, &st), 1);
    EXPECT_EQ(st.count, 8);
    EXPECT_DOUBLE_EQ(st.mean, 5.0);
    EXPECT_DOUBLE_EQ(st.variance, 32.0 / 7);
    EXPECT_DOUBLE_EQ(st.standardDeviation, std::sqrt(32.0 / 7));
    EXPECT_DOUBLE_EQ(st.minimum, 2);
    EXPECT_DOUBLE_EQ(st.maximum, 9);
    EXPECT_DOUBLE_EQ(st.sum, 40);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(st.name), 1), "V");
    EXPECT_EQ(DbfFieldStatistics(h, 1, &st), 0) << "not numeric";
    ASSERT_EQ(DbfFieldStatistics(h, 0, &st, 2, 3), 1);
    EXPECT_EQ(st.count, 2);
    EXPECT_DOUBLE_EQ(st.variance, 0);

    double lo = 0, hi = 0;
    EXPECT_EQ(DbfGetMinMax(h, 0, &lo, &hi), 1);
    EXPECT_EQ(lo, 2);
    EXPECT_EQ(hi, 9);

    // The caller's current row and record buffer survive a search.
    ASSERT_EQ(DbfReadRecord(h, 4), 1);
    EXPECT_EQ(DbfFindText(h, 1, u"AB", 0, 0), 1);
    EXPECT_EQ(DbfFindText(h, 1, u"AB", 0, 2), 3);
    EXPECT_EQ(DbfFindText(h, 1, u"ab", 1, 0), 3);
    EXPECT_EQ(DbfFindText(h, 1, u"abc", 1, 0), -1) << "the deleted ABC is skipped";
    EXPECT_EQ(DbfFindText(h, 1, u"aby", 0, 0), 8);
    EXPECT_EQ(DbfFindText(h, 1, u"abyssal", 0, 0), -1);
    EXPECT_EQ(DbfGetCurrentRecord(h), 4);
    EXPECT_EQ(WString(DbfGetText(h, 1)), u"x");
    DbfClose(h);

    h = DbfCreate(u"\\e.dbf", 0);
    DbfAddField(h, u"V", 'N', 6, 1);
    ASSERT_EQ(DbfFieldStatistics(h, 0, &st), 1);
    EXPECT_EQ(st.count, 0);
    EXPECT_EQ(DbfGetMinMax(h, 0, &lo, &hi), 0) << "no value at all";
    DbfClose(h);
}

}  // namespace
