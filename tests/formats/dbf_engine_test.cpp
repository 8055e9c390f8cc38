// The dBASE engine: byte layout of what it writes, seeking and record
// operations, damaged input, and clean-up when any step fails.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dbf_test_util.h"
#include "formats/dbf/dbf_field.h"

namespace {

uint16_t U16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
}
uint32_t U32(const std::string& b, size_t at) {
    return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

class DbfEngine : public DbfRootTest {
protected:
    // A table of one C(10) field holding "r0".."r{n-1}".
    DbfHandle MakeRows(const WChar* path, int n) {
        DbfHandle h = DbfCreate(path, 0);
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(DbfAddField(h, u"NAME", 'C', 10, 0), 0);
        for (int i = 0; i < n; ++i) {
            DbfBlankRecord(h);
            DbfPutText(h, 0, text::Format(u"r%d", i).c_str());
            EXPECT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
        }
        return h;
    }
    // Puts the table's date of last update (bytes 1-3) in the past, so
    // that a write stamping today's date shows.
    void Backdate(const std::string& rel) const {
        std::string b = Get(rel);
        b.replace(1, 3, "\x65\x01\x02");  // 2001-01-02
        Put(rel, b);
    }
};

TEST_F(DbfEngine, EmptyTableIs34BytesAndReopens) {
    DbfHandle h = DbfCreate(u"\\empty.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetError(nullptr), 0);
    EXPECT_EQ(DbfClose(h), 1);
    const std::string b = Get("empty.dbf");
    ASSERT_EQ(b.size(), 34u);
    EXPECT_EQ(b[0], 0x03);
    EXPECT_EQ(U32(b, 4), 0u);
    EXPECT_EQ(U16(b, 8), 33);
    EXPECT_EQ(U16(b, 10), 1);
    EXPECT_EQ(b[29], 0x03);
    EXPECT_EQ(b[32], 0x0D);
    EXPECT_EQ(b[33], 0x1A);
    h = DbfOpen(u"\\empty.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetFieldCount(h), 0);
    EXPECT_EQ(DbfGetRecordCount(h), 0);
    DbfClose(h);
}

TEST_F(DbfEngine, FieldDefaultsAndLayout) {
    DbfHandle h = DbfCreate(u"\\f.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfAddField(h, u"name", 'C', 0, 3), 0);
    EXPECT_EQ(DbfAddField(h, u"averylongname", 'N', 0, 0), 1);
    EXPECT_EQ(DbfGetFieldLength(h, 0), 255);
    EXPECT_EQ(DbfGetFieldDecimals(h, 0), 0);
    EXPECT_EQ(DbfGetFieldLength(h, 1), 18);
    EXPECT_EQ(DbfGetFieldDecimals(h, 1), 6);
    EXPECT_EQ(DbfGetRecordLength(h), 274);
    EXPECT_EQ(DbfGetHeaderLength(h), 97);
    EXPECT_EQ(WString(DbfGetFieldName(h, 0)), u"NAME");
    EXPECT_EQ(WString(DbfGetFieldName(h, 1)), u"AVERYLONGN");
    EXPECT_EQ(DbfFindField(h, u"averylongn"), 1);
    EXPECT_EQ(DbfFindField(h, "Name"), 0);  // the 8-bit form
    EXPECT_EQ(DbfFindField(h, u"none"), -1);
    struct {
        char type;
        int length, decimals, wantLength, wantDecimals;
    } defaults[] = {{'D', 3, 2, 8, 0},  {'L', 9, 1, 1, 0}, {'M', 0, 4, 10, 0},
                    {'N', 0, 2, 10, 2}, {'N', 7, 3, 7, 3}, {'F', 12, 4, 12, 4}};
    int index = 2;
    for (const auto& d : defaults) {
        ASSERT_EQ(DbfAddField(h, u"X", d.type, d.length, d.decimals), index) << d.type;
        EXPECT_EQ(DbfGetFieldLength(h, index), d.wantLength) << d.type;
        EXPECT_EQ(DbfGetFieldDecimals(h, index), d.wantDecimals) << d.type;
        ++index;
    }
    DbfClose(h);
    const std::string b = Get("f.dbf");
    EXPECT_EQ(U16(b, 8), 32 * 8 + 33);
    EXPECT_EQ(U32(b, 32 + 32 + 12), 256u) << "the engine writes its field offsets";
    EXPECT_EQ(b.substr(32, 11), std::string("NAME\0\0\0\0\0\0\0", 11));
}

TEST_F(DbfEngine, AppendWritesRowEndMarkAndCount) {
    // The local date before and after the writes: the header holds one of
    // them, even when midnight passes in between.
    auto today = [] {
        const time_t now = time(nullptr);
        struct tm local {};
        localtime_r(&now, &local);
        return std::string{static_cast<char>(local.tm_year), static_cast<char>(local.tm_mon + 1),
                           static_cast<char>(local.tm_mday)};
    };
    const std::string before = today();
    DbfHandle h = MakeRows(u"\\a.dbf", 1);
    DbfClose(h);
    const std::string after = today();
    const std::string b = Get("a.dbf");
    ASSERT_EQ(b.size(), 65u + 11 + 1);
    EXPECT_EQ(U32(b, 4), 1u);
    EXPECT_EQ(b.substr(65, 11), " r0        ");
    EXPECT_EQ(b.back(), 0x1A);
    EXPECT_TRUE(b.substr(1, 3) == before || b.substr(1, 3) == after);
}

TEST_F(DbfEngine, SeekAndDeleteTable) {
    DbfHandle h = MakeRows(u"\\s.dbf", 5);
    ASSERT_EQ(DbfDeleteRecord(h, 3), 1);
    EXPECT_EQ(DbfGetRecordCount(h), 5);
    struct {
        int from, position, want;
    } cases[] = {
        {2, kDbfNext, 4},  {4, kDbfPrevious, 2},  {0, 3, -1},        {0, 2, 2},  {0, kDbfLast, 4},
        {0, kDbfFirst, 0}, {0, kDbfPrevious, -1}, {4, kDbfNext, -1}, {0, 5, -1},  // the end mark is
                                                                                  // not a row
    };
    for (const auto& c : cases) {
        ASSERT_EQ(DbfSeek(h, c.from), c.from);
        EXPECT_EQ(DbfSeekActive(h, c.position), c.want) << c.from << " " << c.position;
    }
    // Stepping off either end fails quietly.
    DbfSeek(h, 0);
    EXPECT_EQ(DbfSeek(h, kDbfPrevious), -1);
    DbfSeek(h, 4);
    EXPECT_EQ(DbfSeek(h, kDbfNext), -1);
    EXPECT_EQ(DbfGetError(h), 0);
    EXPECT_EQ(DbfSeek(h, kDbfAppend), 5);
    EXPECT_EQ(DbfIsEndMarkAtPosition(h), 1);
    EXPECT_EQ(DbfIsActiveAtPosition(h), 0);
    // Writing a row outside the table is refused, the end mark stays.
    EXPECT_EQ(DbfWriteRecord(h, 5), 0);
    EXPECT_EQ(DbfGetError(h), kDbfErrSeek);
    EXPECT_EQ(DbfWriteRecord(h, 9), 0);
    EXPECT_EQ(DbfDeleteRecord(h, 5), 0);
    EXPECT_EQ(DbfIsEndMarkAtPosition(h), 1);
    // Reads put the file position back at the row's start.
    ASSERT_EQ(DbfReadRecord(h, 3), 1);
    EXPECT_EQ(DbfIsRecordActive(h), 0);
    EXPECT_EQ(DbfIsActiveAtPosition(h), 0);
    ASSERT_EQ(DbfReadRecord(h, 2), 1);
    EXPECT_EQ(WString(DbfGetText(h, 0)), u"r2");
    EXPECT_EQ(DbfGetCurrentRecord(h), 2);
    DbfClose(h);
    EXPECT_EQ(Get("s.dbf").size(), 65u + 5 * 11 + 1);
}

TEST_F(DbfEngine, RecordCountGrowsAndCuts) {
    DbfHandle h = MakeRows(u"\\c.dbf", 3);
    ASSERT_EQ(DbfSetRecordCount(h, 6, '*'), 1);
    EXPECT_EQ(DbfGetRecordCount(h), 6);
    ASSERT_EQ(DbfReadRecord(h, 5), 1);
    EXPECT_EQ(DbfIsRecordActive(h), 0);
    ASSERT_EQ(DbfSetRecordCount(h, 2), 1);
    DbfClose(h);
    std::string b = Get("c.dbf");
    EXPECT_EQ(b.size(), 65u + 2 * 11 + 1);
    EXPECT_EQ(b.back(), 0x1A);
    EXPECT_EQ(U32(b, 4), 2u);
    h = DbfOpen(u"\\c.dbf", kDbfReadWrite);
    ASSERT_EQ(DbfRemoveAllRecords(h), 1);
    DbfClose(h);
    b = Get("c.dbf");
    EXPECT_EQ(b.size(), 66u);
    EXPECT_EQ(U32(b, 4), 0u);
}

TEST_F(DbfEngine, FieldsAreRefusedWhenTheyWouldBreakTheTable) {
    DbfHandle h = MakeRows(u"\\r.dbf", 1);
    // Rows exist: a new descriptor would move the record area.
    EXPECT_EQ(DbfAddField(h, u"LATE", 'C', 5, 0), -1);
    EXPECT_EQ(DbfGetError(h), kDbfErrField);
    DbfClose(h);
    EXPECT_EQ(Get("r.dbf").substr(65, 3), " r0");

    h = DbfCreate(u"\\wide.dbf", 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(DbfAddField(h, u"W", 'C', 255, 0), i);
    // 65536 would wrap the 16-bit record length; 65535 is the most.
    EXPECT_EQ(DbfAddField(h, u"W", 'C', 255, 0), -1);
    EXPECT_EQ(DbfAddField(h, u"W", 'C', 254, 0), 256);
    EXPECT_EQ(DbfGetRecordLength(h), 0xFFFF);
    DbfClose(h);

    h = DbfCreate(u"\\many.dbf", 0);
    for (int i = 0; i < kDbfMaxFields; ++i) ASSERT_EQ(DbfAddField(h, u"F", 'L', 1, 0), i);
    EXPECT_EQ(DbfAddField(h, u"F", 'L', 1, 0), -1);
    DbfClose(h);
    h = DbfOpen(u"\\many.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetFieldCount(h), kDbfMaxFields);
    DbfClose(h);
}

// Damaged or crafted files: each row is a valid two-field table with one
// change. Every one must fail with the engine's error, or open and stay
// within the bytes that exist.
// A cut table keeps the count its header claims, but every walk to an
// active row passes over the rows the file does not hold in one step: a
// 33-byte table that claims a billion rows, and one cut after two rows.
TEST_F(DbfEngine, WalksSkipTheRowsACutTableDoesNotHold) {
    std::string bare(32, '\0');
    bare[0] = 0x03;
    const uint32_t billion = 1000000000u;
    memcpy(&bare[4], &billion, 4);
    bare[8] = 33;  // header length: no fields, the terminator only
    bare[10] = 1;  // record length: the deletion flag
    bare += "\x0D";
    ASSERT_EQ(bare.size(), 33u);
    Put("bare.dbf", bare);
    DbfHandle h = DbfOpen(u"\\bare.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetRecordCount(h), 1000000000);
    for (int position : {kDbfLast, kDbfFirst, kDbfNext, kDbfPrevious, 999999999})
        EXPECT_EQ(DbfSeekActive(h, position), -1) << position;
    DbfClose(h);

    h = MakeRows(u"\\cut.dbf", 4);
    ASSERT_EQ(DbfDeleteRecord(h, 1), 1);
    DbfClose(h);
    std::string cut = Get("cut.dbf");
    memcpy(&cut[4], &billion, 4);
    cut.resize(65 + 2 * 11 + 5);  // two rows and part of the third
    Put("cut.dbf", cut);
    h = DbfOpen(u"\\cut.dbf", 0);
    ASSERT_NE(h, nullptr);
    struct {
        int from, position, want;
    } cases[] = {
        {0, kDbfLast, 0},
        {0, kDbfFirst, 0},
        {0, kDbfNext, -1},
        {1, kDbfPrevious, 0},
        {500000000, kDbfPrevious, 0},
        {500000000, kDbfNext, -1},
        {0, 2, -1},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(DbfSeek(h, c.from), c.from);
        EXPECT_EQ(DbfSeekActive(h, c.position), c.want) << c.from << " " << c.position;
    }
    DbfClose(h);
}

TEST_F(DbfEngine, DamagedInputTable) {
    DbfHandle h = DbfCreate(u"\\good.dbf", 0);
    DbfAddField(h, u"A", 'C', 4, 0);
    DbfAddField(h, u"B", 'N', 5, 1);
    for (int i = 0; i < 3; ++i) {
        DbfBlankRecord(h);
        DbfPutText(h, 0, u"abcd");
        DbfPutNumber(h, 1, i);
        DbfWriteRecord(h, kDbfAppend);
    }
    DbfClose(h);
    const std::string good = Get("good.dbf");  // header 97, records 10 bytes
    ASSERT_EQ(good.size(), 97u + 30 + 1);
    auto with = [&](size_t at, std::string bytes) {
        std::string b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    std::string many = good.substr(0, 32);
    for (int i = 0; i < 1025; ++i) many += good.substr(32, 32);
    many += "\x0D";
    std::string blankEnd = good;
    blankEnd[96] = ' ';
    struct Case {
        const char* what;
        std::string bytes;
        int code;     // expected open error, 0 when it must open
        int records;  // rows readable when it opens
        int count;    // rows the table reports (more than readable: damaged)
    } cases[] = {
        {"empty file", "", kDbfErrHeader, 0, 0},
        {"short header", good.substr(0, 20), kDbfErrHeader, 0, 0},
        {"no descriptors", good.substr(0, 32), kDbfErrDescriptor, 0, 0},
        {"cut descriptor", good.substr(0, 50), kDbfErrDescriptor, 0, 0},
        {"no terminator", good.substr(0, 96), kDbfErrDescriptor, 0, 0},
        {"1025 descriptors", many, kDbfErrTooManyFields, 0, 0},
        {"record length below fields", with(10, std::string("\x05\x00", 2)), kDbfErrHeader, 0, 0},
        {"record length 0", with(10, std::string("\x00\x00", 2)), kDbfErrHeader, 0, 0},
        {"header over descriptors", with(8, std::string("\x30\x00", 2)), kDbfErrHeader, 0, 0},
        {"count above int", with(4, "\xFF\xFF\xFF\xFF"), kDbfErrHeader, 0, 0},
        {"dBASE 7", with(0, "\x8C"), kDbfErrHeader, 0, 0},
        {"blank ends descriptors", blankEnd, 0, 3, 3},
        {"rows cut", good.substr(0, 97 + 15), 0, 1, 3},
        {"count too high", with(4, std::string("\x40\x00\x00\x00", 4)), 0, 3, 64},
        {"padded record length", with(10, std::string("\x0C\x00", 2)), 0, 2, 3},
        {"longer header", with(8, std::string("\x62\x00", 2)), 0, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put("bad.dbf", c.bytes);
        const int64_t blocks = DbfHeap().LiveBlocks();
        DbfHandle t = DbfOpen(u"\\bad.dbf", 0);
        if (c.code) {
            EXPECT_EQ(t, nullptr);
            EXPECT_EQ(DbfGetError(nullptr), c.code);
            EXPECT_EQ(DbfHeap().LiveBlocks(), blocks);
            EXPECT_EQ(fs::test::OpenFileCount(), 0u);
            continue;
        }
        ASSERT_NE(t, nullptr);
        // A cut table keeps its count and says it is damaged; reading never
        // goes past the file, and nothing may be written to it.
        EXPECT_EQ(DbfGetRecordCount(t), c.count);
        const bool damaged = c.count > c.records;
        EXPECT_EQ(DbfIsDamaged(t), damaged ? 1 : 0);
        EXPECT_EQ(DbfGetError(t), damaged ? kDbfErrDamaged : 0);
        int readable = 0;
        for (int i = 0; i < DbfGetRecordCount(t); ++i) readable += DbfReadRecord(t, i);
        EXPECT_EQ(readable, c.records);
        int visited = 0;
        DbfForEachRecord(
            t,
            [](DbfHandle th, int, const uint8_t* data, void* user) {
                ++*static_cast<int*>(user);
                DbfGetNumber(th, 1, data);
                return 1;
            },
            &visited, 0, -1);
        EXPECT_EQ(visited, c.records);
        DbfMap(t);
        EXPECT_EQ(DbfGetMappedRecord(t, c.records), nullptr);
        DbfUnmap(t);
        if (damaged) {
            ASSERT_EQ(DbfSetWritable(t, 1), 1);
            EXPECT_EQ(DbfWriteRecord(t, 0), 0);
            EXPECT_EQ(DbfWriteRecord(t, kDbfAppend), 0);
            EXPECT_EQ(DbfDeleteRecord(t, 0), 0);
            EXPECT_EQ(DbfSetRecordCount(t, c.records), 0);
            EXPECT_EQ(DbfRemoveAllRecords(t), 0);
            EXPECT_EQ(DbfAddField(t, u"C", 'C', 2, 0), -1);
            EXPECT_EQ(DbfGetError(t), kDbfErrDamaged);
        }
        DbfClose(t);
        if (damaged) {
            EXPECT_EQ(Get("bad.dbf"), c.bytes);
        }
    }
}

TEST_F(DbfEngine, HeapRefusesSizesThatWouldWrap) {
    const int64_t blocks = DbfHeap().LiveBlocks();
    for (size_t bytes : {SIZE_MAX, SIZE_MAX - 1, SIZE_MAX - alignof(std::max_align_t)})
        EXPECT_EQ(DbfHeap().Alloc(bytes), nullptr) << bytes;
    EXPECT_EQ(DbfHeap().LiveBlocks(), blocks);
    void* odd = DbfHeap().Alloc(3);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(DbfHeap().LiveBlocks(), blocks + 1);
    DbfHeap().Free(odd);
}

TEST_F(DbfEngine, EveryFailedOpenStepCleansUp) {
    DbfHandle h = MakeRows(u"\\o.dbf", 2);
    DbfClose(h);
    const int64_t blocks = DbfHeap().LiveBlocks();
    const int64_t fioBlocks = fioHeap().LiveBlocks();
    // Each allocation of the open in turn: handle, descriptors, record buffer.
    for (int k = 1; k <= 3; ++k) {
        DbfHeap().FailAllocation(k);
        EXPECT_EQ(DbfOpen(u"\\o.dbf", 0), nullptr) << k;
        EXPECT_EQ(DbfGetError(nullptr), kDbfErrMemory) << k;
        EXPECT_EQ(DbfHeap().LiveBlocks(), blocks);
        EXPECT_EQ(fs::test::OpenFileCount(), 0u);
    }
    DbfHeap().ResetFaults();
    fioHeap().FailAllocation(1);  // the file record: the open file must not leak
    EXPECT_EQ(DbfOpen(u"\\o.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrOpen);
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
    fioResetForTests();
    fs::test::FailNthRead(1);
    EXPECT_EQ(DbfOpen(u"\\o.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrHeader);
    fs::test::FailNthRead(2);
    EXPECT_EQ(DbfOpen(u"\\o.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrDescriptor);
    EXPECT_EQ(DbfOpen(u"\\missing.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrOpen);
    uint32_t sys = 0;
    DbfGetError(nullptr, &sys);
    EXPECT_EQ(sys, fs::kErrorFileNotFound);
    EXPECT_EQ(DbfHeap().LiveBlocks(), blocks);
    EXPECT_EQ(fioHeap().LiveBlocks(), fioBlocks);
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
    // A successful open clears the last open error.
    h = DbfOpen(u"\\o.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetError(nullptr), 0);
    DbfClose(h);
}

TEST_F(DbfEngine, FailedCreateLeavesNoFile) {
    const int64_t blocks = DbfHeap().LiveBlocks();
    fs::test::FailNthWrite(1);
    EXPECT_EQ(DbfCreate(u"\\n.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrHeaderWrite);
    EXPECT_FALSE(fs::Exists(u"\\n.dbf"));
    fs::test::FailNthWrite(2);
    EXPECT_EQ(DbfCreate(u"\\n.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrDescriptorWrite);
    EXPECT_FALSE(fs::Exists(u"\\n.dbf"));
    for (int k = 1; k <= 2; ++k) {
        DbfHeap().FailAllocation(k);
        EXPECT_EQ(DbfCreate(u"\\n.dbf", 0), nullptr);
        EXPECT_EQ(DbfGetError(nullptr), kDbfErrMemory);
    }
    fs::test::FailPath(u"\\n.dbf", fs::kErrorAccessDenied);
    EXPECT_EQ(DbfCreate(u"\\n.dbf", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrCreate);
    EXPECT_EQ(DbfHeap().LiveBlocks(), blocks);
    EXPECT_EQ(fs::test::OpenFileCount(), 0u);
}

// A create over an existing table makes the new one beside it: a failure at
// any step (the temporary file, either header write, memory, the rename, the
// old table held open elsewhere) leaves the old table as it was.
TEST_F(DbfEngine, FailedCreateOverATableKeepsTheOldOne) {
    DbfClose(MakeRows(u"\\old.dbf", 3));
    const std::string old = Get("old.dbf");
    const int64_t blocks = DbfHeap().LiveBlocks();
    struct Step {
        const char* what;
        std::function<void()> inject;
        int code;
    } steps[] = {
        {"temporary file", [] { fs::test::FailPath(u"\\old.dbf~", fs::kErrorAccessDenied); },
         kDbfErrCreate},
        {"header", [] { fs::test::FailNthWrite(1); }, kDbfErrHeaderWrite},
        {"descriptors", [] { fs::test::FailNthWrite(2); }, kDbfErrDescriptorWrite},
        {"memory", [] { DbfHeap().FailAllocation(2); }, kDbfErrMemory},
        {"rename", [] { fs::test::FailPath(u"\\old.dbf", fs::kErrorAccessDenied); }, kDbfErrCreate},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.inject();
        EXPECT_EQ(DbfCreate(u"\\old.dbf", 0), nullptr);
        EXPECT_EQ(DbfGetError(nullptr), step.code);
        fs::test::Reset();
        DbfHeap().ResetFaults();
        EXPECT_EQ(Get("old.dbf"), old);
        EXPECT_FALSE(fs::Exists(u"\\old.dbf~"));
        EXPECT_EQ(fs::test::OpenFileCount(), 0u);
        EXPECT_EQ(DbfHeap().LiveBlocks(), blocks);
    }
    DbfHandle reader = DbfOpen(u"\\old.dbf", 0);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(DbfCreate(u"\\old.dbf", 0), nullptr);
    DbfClose(reader);
    EXPECT_EQ(Get("old.dbf"), old);

    // Without a fault the new table takes the name, open for writing as usual.
    DbfHandle h = DbfCreate(u"\\old.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetPath(h), WString(u"\\old.dbf"));
    ASSERT_EQ(DbfAddField(h, u"X", 'C', 3, 0), 0);
    EXPECT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
    EXPECT_EQ(DbfOpen(u"\\old.dbf", kDbfReadWrite), nullptr);  // still shared for reading only
    DbfClose(h);
    EXPECT_FALSE(fs::Exists(u"\\old.dbf~"));
    DbfHandle back = DbfOpen(u"\\old.dbf", 0);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(DbfGetRecordCount(back), 1);
    EXPECT_EQ(DbfGetFieldCount(back), 1);
    DbfClose(back);
}

// Each failed write is reported and leaves the file byte for byte as it
// was, its date of last update too.
TEST_F(DbfEngine, FailedWritesReportAndKeepTheTable) {
    ASSERT_EQ(DbfClose(MakeRows(u"\\w.dbf", 2)), 1);
    Backdate("w.dbf");
    const std::string before = Get("w.dbf");
    DbfHandle h = DbfOpen(u"\\w.dbf", kDbfReadWrite);
    ASSERT_NE(h, nullptr);
    DbfBlankRecord(h);
    DbfPutText(h, 0, u"new");
    fs::test::FailNthWrite(1);  // the row and its end mark
    EXPECT_EQ(DbfWriteRecord(h, kDbfAppend), 0);
    EXPECT_EQ(DbfGetError(h), kDbfErrWrite);
    EXPECT_EQ(Get("w.dbf"), before);
    fs::test::FailNthWrite(2);  // the header with the new count
    EXPECT_EQ(DbfWriteRecord(h, kDbfAppend), 0);
    EXPECT_EQ(DbfGetError(h), kDbfErrHeaderWrite);
    EXPECT_EQ(DbfGetRecordCount(h), 2);
    EXPECT_EQ(Get("w.dbf"), before);
    fs::test::FailNthWrite(1);  // a row written in place
    EXPECT_EQ(DbfWriteRecord(h, 1), 0);
    EXPECT_EQ(DbfGetError(h), kDbfErrWrite);
    fs::test::FailNthWrite(1);
    EXPECT_EQ(DbfDeleteRecord(h, 0), 0);
    EXPECT_EQ(DbfGetError(h), kDbfErrDeleteFlag);
    fs::test::Reset();
    EXPECT_EQ(DbfClose(h), 1);
    EXPECT_EQ(Get("w.dbf"), before);
    h = DbfOpen(u"\\w.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetRecordCount(h), 2);
    EXPECT_EQ(DbfSeekActive(h, 0), 0);
    EXPECT_EQ(DbfSeek(h, kDbfAppend), 2);
    EXPECT_EQ(DbfIsEndMarkAtPosition(h), 1);
    uint32_t sys = 0;
    WChar msg[256];
    EXPECT_EQ(DbfGetError(h, &sys, msg), 0);
    DbfClose(h);
}

TEST_F(DbfEngine, CloseAndFlushReportFailedWrites) {
    ASSERT_EQ(DbfClose(MakeRows(u"\\c.dbf", 2)), 1);
    Backdate("c.dbf");
    const std::string before = Get("c.dbf");
    DbfHandle h = DbfOpen(u"\\c.dbf", kDbfReadWrite);
    ASSERT_NE(h, nullptr);
    // A flush that cannot reach the disk is reported.
    fs::test::FailNthFlush(1);
    EXPECT_EQ(DbfFlush(h), 0);
    EXPECT_EQ(DbfGetError(h), kDbfErrWrite);
    // A pending header (a new language driver) that cannot be written at
    // close is reported, and the file is as it was.
    DbfSetLanguageDriverId(h, 0x57);
    fs::test::FailNthWrite(1);
    EXPECT_EQ(DbfClose(h), 0);
    fs::test::Reset();
    EXPECT_EQ(Get("c.dbf"), before);
    // The same change without a fault reaches the file, and only that byte moves.
    h = DbfOpen(u"\\c.dbf", kDbfReadWrite);
    ASSERT_NE(h, nullptr);
    DbfSetLanguageDriverId(h, 0x57);
    EXPECT_EQ(DbfClose(h), 1);
    std::string expected = before;
    expected[29] = 0x57;
    const std::string after = Get("c.dbf");
    ASSERT_EQ(after.size(), expected.size());
    // The date of last update (bytes 1-3) is rewritten with the header.
    EXPECT_EQ(after.substr(4), expected.substr(4));
    EXPECT_EQ(after[0], expected[0]);
}

// A field whose definition cannot be written leaves the table as it was, in
// the file (its date of last update too) and in the handle; without a
// fault, GDAL reads the new field.
TEST_F(DbfEngine, FailedAddFieldLeavesTheTableAsItWas) {
    REQUIRE_TOOL("ogrinfo");
    bool done = false;
    for (int n = 1; n <= 10 && !done; ++n) {
        SCOPED_TRACE(n);
        DbfHandle h = DbfCreate(u"\\f.dbf", 0);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(DbfAddField(h, u"NAME", 'C', 10, 0), 0);
        ASSERT_EQ(DbfClose(h), 1);
        Backdate("f.dbf");
        const std::string before = Get("f.dbf");
        h = DbfOpen(u"\\f.dbf", kDbfReadWrite);
        ASSERT_NE(h, nullptr);
        fs::test::FailNthWrite(n);
        const int added = DbfAddField(h, u"COUNT", 'N', 6, 0);
        const bool faulted = !fs::test::WriteFaultPending();
        fs::test::Reset();
        if (faulted) {
            EXPECT_EQ(added, -1);
            EXPECT_EQ(Get("f.dbf"), before);
            EXPECT_EQ(DbfGetFieldCount(h), 1);
            EXPECT_EQ(DbfClose(h), 1);
            EXPECT_EQ(Get("f.dbf"), before);
            continue;
        }
        done = true;
        EXPECT_EQ(added, 1);
        DbfBlankRecord(h);
        DbfPutText(h, 0, u"a");
        DbfPutInteger(h, 1, 42);
        ASSERT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
        EXPECT_EQ(DbfClose(h), 1);
        const std::string out = RunTool("ogrinfo -ro -al -q '" + Host("f.dbf") + "'");
        EXPECT_NE(out.find("NAME (String) = a"), std::string::npos) << out;
        EXPECT_NE(out.find("COUNT (Integer) = 42"), std::string::npos) << out;
    }
    EXPECT_TRUE(done);
}

TEST_F(DbfEngine, ErrorTextAndCustomMessage) {
    DbfHandle h = MakeRows(u"\\e.dbf", 1);
    fs::SetLastError(5);
    DbfSetError(h, kDbfErrRead);
    int code = 0;
    uint32_t sys = 0;
    EXPECT_EQ(WString(DbfGetErrorInfo(h, &code, &sys)), u"DBF Error:5 WinError:5(00000005)");
    EXPECT_EQ(code, kDbfErrRead);
    char narrow[256];
    DbfGetErrorInfo(h, &code, &sys, narrow);
    EXPECT_STREQ(narrow, "DBF Error:5 WinError:5(00000005)");
    DbfSetError(h, 9, u"row %d of %s", 4, u"roads");
    EXPECT_EQ(WString(DbfGetErrorInfo(h)), u"row 4 of roads");
    DbfClose(h);
}

TEST_F(DbfEngine, WritabilityAndSharing) {
    DbfHandle h = MakeRows(u"\\m.dbf", 2);
    DbfClose(h);
    h = DbfOpen(u"\\m.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfIsWritable(h), 0);
    EXPECT_EQ(DbfIsFileWritable(h), 1);
    // A second reader is fine; a writer that stops others' writes is not
    // refused by a plain reader either (it shares writes).
    DbfHandle r = DbfOpen(u"\\m.dbf", 0);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(DbfSetWritable(h, 1), 1);
    EXPECT_EQ(DbfIsWritable(h), 1);
    // Another writer now conflicts with our write access shared for reading only.
    EXPECT_EQ(DbfOpen(u"\\m.dbf", kDbfReadWrite), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrOpen);
    // Create over an open table is refused: its views would lose their bytes.
    EXPECT_EQ(DbfCreate(u"\\M.DBF", 0), nullptr);
    EXPECT_EQ(DbfGetError(nullptr), kDbfErrCreate);
    // A new language driver id reaches the file when write access goes.
    DbfSetLanguageDriverId(h, 0x57);
    ASSERT_EQ(DbfSetWritable(h, 0), 1);
    EXPECT_EQ(static_cast<uint8_t>(Get("m.dbf")[29]), 0x57);
    EXPECT_EQ(DbfIsWritable(h), 0);
    ASSERT_EQ(DbfReadRecord(h, 1), 1);
    EXPECT_EQ(WString(DbfGetText(h, 0)), u"r1");
    DbfClose(r);
    DbfClose(h);
    fs::test::SetReadOnly(u"\\m.dbf", true);
    h = DbfOpen(u"\\m.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfIsFileWritable(h), 0);
    EXPECT_EQ(DbfSetWritable(h, 1), 0);
    EXPECT_EQ(DbfIsWritable(h), 0);
    ASSERT_EQ(DbfReadRecord(h, 0), 1);
    DbfClose(h);
}

TEST_F(DbfEngine, DeleteFileAndCreateLike) {
    DbfHandle h = MakeRows(u"\\d.dbf", 1);
    DbfAddField(h, u"X", 'N', 4, 1);  // refused: rows exist
    DbfHandle like = DbfCreateLike(u"\\like.dbf", h);
    ASSERT_NE(like, nullptr);
    EXPECT_EQ(DbfGetFieldCount(like), 1);
    EXPECT_EQ(WString(DbfGetFieldName(like, 0)), u"NAME");
    EXPECT_EQ(DbfGetRecordCount(like), 0);
    EXPECT_EQ(WString(DbfGetPath(like)), u"\\like.dbf");
    char narrow[64];
    EXPECT_STREQ(DbfGetPath(like, narrow), "\\like.dbf");
    DbfClose(like);
    EXPECT_EQ(DbfDeleteFile(h), 1);
    EXPECT_FALSE(fs::Exists(u"\\d.dbf"));
}

TEST_F(DbfEngine, CodePageAtOpen) {
    DbfHandle h = MakeRows(u"\\cp.dbf", 0);
    DbfClose(h);
    struct {
        uint8_t ldid;
        const char* cpg;  // null: no .cpg file
        unsigned want;
    } cases[] = {
        {0x57, "1251", 1252},  {0xFF, "1251", 0},      {0x00, nullptr, 0},  {0x00, "1252", 1252},
        {0x00, "88591", 0},    {0x00, "UTF-8", 65001}, {0x00, "big5", 950}, {0x00, "OEM", 437},
        {0xC9, nullptr, 1251}, {0x69, nullptr, 0},  // 620 is not known here
    };
    for (const auto& c : cases) {
        std::string b = Get("cp.dbf");
        b[29] = static_cast<char>(c.ldid);
        Put("cp.dbf", b);
        std::remove(Host("cp.cpg").c_str());
        if (c.cpg) Put("cp.cpg", c.cpg);
        h = DbfOpen(u"\\cp.dbf", 0);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(DbfGetCodePage(h), c.want) << int(c.ldid) << " " << (c.cpg ? c.cpg : "-");
        DbfClose(h);
    }
    std::string b = Get("cp.dbf");
    b[29] = 0;
    Put("cp.dbf", b);
    Put("cp.cpg", "utf8\r\n");
    h = DbfOpen(u"\\cp.dbf", 0);
    EXPECT_EQ(DbfSetCodePage(h, 10006), -1);
    EXPECT_EQ(DbfGetCodePage(h), 65001u);
    EXPECT_EQ(DbfSetCodePage(h, 1250), 65001);
    EXPECT_EQ(DbfGetCodePage(h), 1250u);
    DbfClose(h);
}

TEST_F(DbfEngine, NarrowBuildReadsTheSameTable) {
    DbfHandle h = MakeRows(u"\\n8.dbf", 2);
    DbfClose(h);
    h = DbfOpen("\\n8.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(DbfGetFieldName<char>(h, 0, nullptr), "NAME");
    EXPECT_EQ(DbfSeekActive(h, kDbfLast), 1);
    DbfClose(h);
    EXPECT_EQ(DbfOpen("\\none.dbf", 0), nullptr);
    char msg[256];
    EXPECT_EQ(DbfGetError(nullptr, nullptr, msg), kDbfErrOpen);
    EXPECT_STREQ(msg, "DBF Error:2 WinError:2(00000002)");
}

}  // namespace

// A write failing anywhere in a create-like gives either a full copy of the
// fields or no table at all, never a table that is missing fields.
TEST_F(DbfEngine, CreateLikeWithFailingWritesLeavesNoPartialTable) {
    DbfHandle source = DbfCreate(u"\\src.dbf", 0);
    ASSERT_NE(source, nullptr);
    ASSERT_GE(DbfAddField(source, u"NAME", 'C', 20, 0), 0);
    ASSERT_GE(DbfAddField(source, u"HEIGHT", 'N', 10, 2), 0);
    ASSERT_GE(DbfAddField(source, u"SEEN", 'D', 8, 0), 0);
    bool sawFailure = false;
    for (int n = 1; n <= 12; ++n) {
        fs::test::FailNthWrite(n);
        DbfHandle like = DbfCreateLike(u"\\like.dbf", source);
        fs::test::Reset();
        if (!like) {
            sawFailure = true;
            EXPECT_FALSE(fs::Exists(u"\\like.dbf")) << n;
            continue;
        }
        DbfClose(like);
        DbfHandle back = DbfOpen(u"\\like.dbf", 0);
        ASSERT_NE(back, nullptr) << n;
        EXPECT_EQ(DbfGetFieldCount(back), 3) << n;
        DbfClose(back);
        fs::DeleteFile(u"\\like.dbf");
    }
    EXPECT_TRUE(sawFailure);
    DbfClose(source);
}
