// Walking a 100,000-record point shapefile from scripts against the same
// walk in C++ on the engines, in one run: (1) a VBScript Do Until rs.EOF
// loop reading two fields per record, (2) rs.Find with a two-field
// expression walked to the end, (3) loop (1) in JScript. The C++ side reads
// the same records, shapes and fields through CShapeFile and CDbfTable.
// Aim: at most 10 times the C++ time; the counters give the script time per
// record in microseconds.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>

#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_file.h"
#include "platform/fs/fs.h"
#include "script/data/script_recordset.h"
#include "script/script_host.h"
#include "script/script_services.h"

namespace {

constexpr int kRecords = 100000;
const WChar kPath[] = u"\\bench\\points.shp";

// Makes the shapefile once: a point and five fields per record.
void MakeShapefile() {
    static bool made = false;
    if (made) return;
    made = true;
    char tmpl[] = "/tmp/zn-rsbench-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    setenv("ZARNIP_ROOT", tmpl, 1);
    fs::ResetConfiguration();
    std::filesystem::create_directories(std::string(tmpl) + "/bench");
    ShpHandle h = ShpCreate(kPath, kShapePoint, kShpReadWrite);
    DbfHandle t = ShpGetTable(h);
    DbfAddField(t, u"NAME", 'C', 20, 0);
    DbfAddField(t, u"POP", 'N', 9, 0);
    DbfAddField(t, u"AREA", 'N', 12, 3);
    DbfAddField(t, u"CODE", 'C', 6, 0);
    DbfAddField(t, u"RANK", 'N', 4, 0);
    ShapeRecord* r = ShapeHeapRealloc(nullptr, ShapeRecordSize(kShapePoint, 1, 1));
    ShapeInitRecord(h, kShapePoint, 1, 1, r);
    std::vector<uint8_t> row(static_cast<size_t>(DbfGetRecordLength(t)) + 8);
    for (int i = 0; i < kRecords; ++i) {
        ShpSetPointXY(nullptr, i % 1000, i / 1000, r);
        ShpAppendShape(h, r);
        DbfBlankRecord(t, row.data());
        const WString name = i % 7 == 0 ? WString() : u"Place " + text::FromUtf8(std::to_string(i));
        DbfPutText(t, 0, name.c_str(), row.data());
        DbfPutNumber(t, 1, (i * 37) % 10000, row.data());
        DbfPutNumber(t, 2, i * 0.25, row.data());
        DbfPutText(t, 3, u"X1", row.data());
        DbfPutNumber(t, 4, i % 100, row.data());
        DbfWriteRecord(t, i, row.data());
    }
    ShapeFreeBuffer(r);
    ShpClose(h);
}

// The C++ walk: every record and shape, the two fields read.
double WalkCpp(bool predicate) {
    CShapeFile f;
    f.Open(kPath, 0);
    DbfHandle t = f.GetTable().Table();
    std::vector<uint8_t> row(static_cast<size_t>(DbfGetRecordLength(t)) + 8);
    double sum = 0;
    int hits = 0;
    for (int i = 0; i < kRecords; ++i) {
        DbfReadRecord(t, i, row.data());
        ShpReadShape(f.GetHandle(), i, f.ReserveBuffer(64));
        const WString name = DbfGetString(t, 0, row.data());
        const double pop = DbfGetNumber(t, 1, row.data());
        if (predicate)
            hits += pop > 5000 && !name.empty();
        else
            sum += pop + static_cast<double>(name.size());
    }
    return predicate ? hits : sum;
}

class ScriptRun {
public:
    explicit ScriptRun(const char16_t* language) {
        SetScriptServices(&services_);
        rs_ = ComPtr<IDispatch>(CScriptRecordset::Create());
        host_.StartEngine(language);
        host_.AddNamedItem(u"rs", rs_.Get(), 2);
        host_.SetScriptState(ScriptState::Started);
    }
    ~ScriptRun() { SetScriptServices(nullptr); }
    void Run(const char16_t* text) { host_.ExecuteString(text); }

private:
    CScriptServices services_;
    ComPtr<IDispatch> rs_;
    CScriptHost host_;
};

const char16_t kVbsLoop[] = uR"(
rs.Open "\bench\points.shp"
rs.MoveFirst
s = 0
Do Until rs.EOF
  s = s + rs.Fields("POP").Value + Len(rs.Fields("NAME").Value)
  rs.MoveNext
Loop
)";

const char16_t kVbsFind[] = uR"(
rs.Open "\bench\points.shp"
n = 0
b = rs.Find("[POP] > 5000 And [NAME] <> """"")
Do While b > 0
  n = n + 1
  b = rs.Find("[POP] > 5000 And [NAME] <> """"", Nothing, b)
Loop
)";

const char16_t kJsLoop[] = uR"(
rs.Open("\\bench\\points.shp");
rs.MoveFirst();
var s = 0;
while (!rs.EOF) {
  s += rs.Fields("POP").Value + rs.Fields("NAME").Value.length;
  rs.MoveNext();
}
)";

void Counters(benchmark::State& state) {
    state.counters["us_per_record"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kRecords / 1e6,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_WalkCpp(benchmark::State& state) {
    MakeShapefile();
    for (auto _ : state) benchmark::DoNotOptimize(WalkCpp(false));
    Counters(state);
}
void BM_FindCpp(benchmark::State& state) {
    MakeShapefile();
    for (auto _ : state) benchmark::DoNotOptimize(WalkCpp(true));
    Counters(state);
}
void BM_WalkVBScript(benchmark::State& state) {
    MakeShapefile();
    ScriptRun run(u"VBScript");
    for (auto _ : state) run.Run(kVbsLoop);
    Counters(state);
}
void BM_FindVBScript(benchmark::State& state) {
    MakeShapefile();
    ScriptRun run(u"VBScript");
    for (auto _ : state) run.Run(kVbsFind);
    Counters(state);
}
void BM_WalkJScript(benchmark::State& state) {
    MakeShapefile();
    ScriptRun run(u"JScript");
    for (auto _ : state) run.Run(kJsLoop);
    Counters(state);
}

BENCHMARK(BM_WalkCpp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkVBScript)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkJScript)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindCpp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindVBScript)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
