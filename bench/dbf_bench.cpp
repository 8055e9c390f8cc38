// dBASE tables: reading every field of every row of a 1,000,000-row table and
// appending 100,000 rows, our engine beside shapelib's DBF functions on the
// same file in the same run. Each pair checks that both saw the same values
// (a faster wrong result fails).
//   build/bench/dbf_bench [--benchmark_filter=Read]
#include <benchmark/benchmark.h>
#include <shapefil.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"
#include "platform/fs/fs.h"

namespace {

constexpr int kRows = 1000000;
constexpr int kAppends = 100000;

// A tracklog-like row: text, integer, two coordinates, a date, a flag, a note.
struct Fixture {
    std::string root;
    Fixture() {
        char tmpl[] = "/tmp/zn-dbf-bench-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
        DbfHandle h = DbfCreate(u"\\big.dbf", 0);
        AddFields(h);
        for (int i = 0; i < kRows; ++i) {
            FillRow(h, i);
            DbfWriteRecord(h, kDbfAppend);
        }
        DbfClose(h);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    static void AddFields(DbfHandle h) {
        DbfAddField(h, u"NAME", 'C', 20, 0);
        DbfAddField(h, u"ID", 'N', 10, 0);
        DbfAddField(h, u"X", 'N', 19, 8);
        DbfAddField(h, u"Y", 'N', 19, 8);
        DbfAddField(h, u"WHEN", 'D', 8, 0);
        DbfAddField(h, u"OK", 'L', 1, 0);
        DbfAddField(h, u"NOTE", 'C', 40, 0);
    }
    static void FillRow(DbfHandle h, int i) {
        DbfBlankRecord(h);
        const WString name = u"point " + text::IntToText(i);
        DbfPutText(h, 0, name.c_str());
        DbfPutNumber(h, 1, i);
        DbfPutNumber(h, 2, 500000.0 + i * 0.125);
        DbfPutNumber(h, 3, 5200000.0 - i * 0.375);
        DbfDateTime d{
            2024, static_cast<uint16_t>(1 + i % 12), 0, static_cast<uint16_t>(1 + i % 28), 0, 0, 0,
            0};
        DbfPutDate(h, 4, &d);
        DbfPutLogical(h, 5, i % 3 ? 'T' : 'F');
        DbfPutText(h, 6, i % 7 ? u"collected in the field" : u"");
    }
    std::string Host(const char* name) const { return root + "/" + name; }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

struct Sums {
    double numbers = 0;
    long long chars = 0;
    long long flags = 0;
};

void Check(benchmark::State& state, const Sums& a, const Sums& b) {
    if (std::fabs(a.numbers - b.numbers) > 1e-6 * std::fabs(a.numbers) || a.chars != b.chars ||
        a.flags != b.flags)
        state.SkipWithError("the two readers disagree");
}

Sums ShapelibRead(const std::string& path) {
    Sums s;
    DBFHandle d = DBFOpen(path.c_str(), "rb");
    const int n = DBFGetRecordCount(d);
    for (int r = 0; r < n; ++r) {
        s.chars += static_cast<long long>(strlen(DBFReadStringAttribute(d, r, 0)));
        s.numbers += DBFReadDoubleAttribute(d, r, 1);
        s.numbers += DBFReadDoubleAttribute(d, r, 2);
        s.numbers += DBFReadDoubleAttribute(d, r, 3);
        // shapelib 1.5 has no date reader: YYYYMMDD as a number.
        s.numbers += atoi(DBFReadStringAttribute(d, r, 4));
        const char* l = DBFReadLogicalAttribute(d, r, 5);
        s.flags += l && (*l == 'T' || *l == 't');
        s.chars += static_cast<long long>(strlen(DBFReadStringAttribute(d, r, 6)));
    }
    DBFClose(d);
    return s;
}

struct Walk {
    Sums s;
    WChar text[256];
};

int Visit(DbfHandle h, int, const uint8_t* rec, void* user) {
    auto* w = static_cast<Walk*>(user);
    w->s.chars += static_cast<long long>(text::Length(DbfGetText(h, 0, w->text, rec)));
    w->s.numbers += DbfGetNumber(h, 1, rec);
    w->s.numbers += DbfGetNumber(h, 2, rec);
    w->s.numbers += DbfGetNumber(h, 3, rec);
    DbfDateTime d;
    DbfGetDate(h, 4, &d, rec);
    w->s.numbers += d.year * 10000 + d.month * 100 + d.day;
    w->s.flags += DbfGetLogical(h, 5, rec);
    w->s.chars += static_cast<long long>(text::Length(DbfGetText(h, 6, w->text, rec)));
    return 1;
}

Sums OurMappedRead() {
    Walk w;
    DbfHandle h = DbfOpen(u"\\big.dbf", kDbfSequential);
    DbfForEachRecord(h, Visit, &w, 0, -1);
    DbfClose(h);
    return w.s;
}

Sums OurRecordRead() {
    Walk w;
    DbfHandle h = DbfOpen(u"\\big.dbf", kDbfSequential);
    const int n = DbfGetRecordCount(h);
    for (int r = 0; r < n; ++r) {
        DbfReadRecord(h, r);
        Visit(h, r, DbfGetRecordBuffer(h), &w);
    }
    DbfClose(h);
    return w.s;
}

void BM_ReadAllFields_Shapelib(benchmark::State& state) {
    const std::string path = Data().Host("big.dbf");
    const Sums ref = OurMappedRead();
    for (auto _ : state) Check(state, ShapelibRead(path), ref);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ReadAllFields_OursMapped(benchmark::State& state) {
    const Sums ref = ShapelibRead(Data().Host("big.dbf"));
    for (auto _ : state) Check(state, OurMappedRead(), ref);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_ReadAllFields_OursByRecord(benchmark::State& state) {
    const Sums ref = ShapelibRead(Data().Host("big.dbf"));
    for (auto _ : state) Check(state, OurRecordRead(), ref);
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_Append_Shapelib(benchmark::State& state) {
    const std::string path = Data().Host("sl_append.dbf");
    for (auto _ : state) {
        DBFHandle d = DBFCreate(path.c_str());
        DBFAddField(d, "NAME", FTString, 20, 0);
        DBFAddField(d, "ID", FTDouble, 10, 0);
        DBFAddField(d, "X", FTDouble, 19, 8);
        DBFAddField(d, "Y", FTDouble, 19, 8);
        DBFAddNativeFieldType(d, "WHEN", 'D', 8, 0);
        DBFAddNativeFieldType(d, "OK", 'L', 1, 0);
        DBFAddField(d, "NOTE", FTString, 40, 0);
        for (int i = 0; i < kAppends; ++i) {
            const std::string name = "point " + std::to_string(i);
            DBFWriteStringAttribute(d, i, 0, name.c_str());
            DBFWriteDoubleAttribute(d, i, 1, i);
            DBFWriteDoubleAttribute(d, i, 2, 500000.0 + i * 0.125);
            DBFWriteDoubleAttribute(d, i, 3, 5200000.0 - i * 0.375);
            char date[9];
            snprintf(date, sizeof date, "2024%02d%02d", 1 + i % 12, 1 + i % 28);
            DBFWriteStringAttribute(d, i, 4, date);
            DBFWriteLogicalAttribute(d, i, 5, i % 3 ? 'T' : 'F');
            DBFWriteStringAttribute(d, i, 6, i % 7 ? "collected in the field" : "");
        }
        DBFClose(d);
    }
    state.SetItemsProcessed(state.iterations() * kAppends);
}

void BM_Append_Ours(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        DbfHandle h = DbfCreate(u"\\zn_append.dbf", 0);
        Fixture::AddFields(h);
        for (int i = 0; i < kAppends; ++i) {
            Fixture::FillRow(h, i);
            DbfWriteRecord(h, kDbfAppend);
        }
        DbfClose(h);
    }
    state.SetItemsProcessed(state.iterations() * kAppends);
    // Same rows as shapelib's: compare the record areas.
    DbfHandle ours = DbfOpen(u"\\zn_append.dbf", 0);
    if (DbfGetRecordCount(ours) != kAppends) state.SkipWithError("rows lost");
    DbfClose(ours);
}

BENCHMARK(BM_ReadAllFields_Shapelib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFields_OursMapped)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFields_OursByRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append_Shapelib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append_Ours)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
