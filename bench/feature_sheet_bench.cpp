// Re-targeting the modeless Feature Properties sheet to another record of
// blockgroups (43 fields) until its Attributes page shows the record, beside
// the floor: reading that record and formatting each field's text with the
// dBASE engine directly. Run build/bench/feature_sheet_bench.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/dbf/dbf_field.h"
#include "map/layers/shape_layer.h"
#include "platform/fs/fs.h"
#include "platform/win/commctrl.h"
#include "resources/zres.h"
#include "shell/forms/feature_sheet.h"

namespace {

const char kFixtures[] = "/work/shared/fixtures/shapefiles/";

// A device root holding a copy of blockgroups.
bool MakeRoot() {
    static const bool made = [] {
        char tmpl[] = "/tmp/zn-sheet-bench-XXXXXX";
        const std::string root = mkdtemp(tmpl);
        for (const char* ext : {".shp", ".shx", ".dbf"}) {
            std::error_code ec;
            std::filesystem::copy_file(std::string(kFixtures) + "blockgroups" + ext,
                                       root + "/blockgroups" + ext, ec);
            if (ec) return false;
        }
        setenv("ZARNIP_ROOT", root.c_str(), 1);
        fs::ResetConfiguration();
        return true;
    }();
    return made;
}

void Pump() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
}

void BM_RetargetSheet(benchmark::State& state) {
    if (!MakeRoot()) {
        state.SkipWithError("blockgroups not found");
        return;
    }
    InitCommonControls();
    CShapeLayer layer;
    if (!layer.Open(u"\\blockgroups.shp")) {
        state.SkipWithError("blockgroups does not open");
        return;
    }
    const int records = ShpGetRecordCount(layer.GetHandle());
    CFeatureSheet::Show(&layer, 0, kFeatureSheetIdentify);
    Pump();
    CFeatureSheet* sheet = GetFeatureSheet();
    if (!sheet) {
        state.SkipWithError("no sheet");
        return;
    }
    HWND list = GetDlgItem(sheet->m_attributesPage.GetSafeHwnd(), IDC_FEATURE_FIELDS);
    int record = 0;
    for (auto _ : state) {
        record = (record + 1) % records;
        PostMessage(sheet->GetSafeHwnd(), WM_FEATURESHEET_SHOWRECORD, static_cast<WPARAM>(-1),
                    record);
        Pump();
        benchmark::DoNotOptimize(list);
    }
    state.counters["fields"] = DbfGetFieldCount(layer.GetTable());
    DestroyFeatureSheet();
}
BENCHMARK(BM_RetargetSheet);

void BM_ReadAndFormatRecordFloor(benchmark::State& state) {
    if (!MakeRoot()) {
        state.SkipWithError("blockgroups not found");
        return;
    }
    DbfHandle table = DbfOpen(u"\\blockgroups.dbf", 0);
    if (!table) {
        state.SkipWithError("blockgroups.dbf does not open");
        return;
    }
    const int records = DbfGetRecordCount(table);
    const int fields = DbfGetFieldCount(table);
    std::vector<uint8_t> buffer(static_cast<size_t>(DbfGetRecordLength(table)));
    std::vector<WString> texts(static_cast<size_t>(fields));
    int record = 0;
    for (auto _ : state) {
        record = (record + 1) % records;
        DbfReadRecord(table, record, buffer.data());
        for (int f = 0; f < fields; ++f)
            texts[static_cast<size_t>(f)] = DbfGetString(table, f, buffer.data());
        benchmark::DoNotOptimize(texts.data());
    }
    DbfClose(table);
}
BENCHMARK(BM_ReadAndFormatRecordFloor);

}  // namespace

BENCHMARK_MAIN();
