// The dBASE header and record reader on arbitrary bytes: open, every field of
// every row by record and by the mapped walk, the code page from a .cpg. Run
//   build-fuzz/fuzz/dbf_read_fuzz -max_total_time=60 fuzz/corpus/dbf
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"
#include "platform/fs/fs.h"

namespace {

const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-dbf-fuzz-XXXXXX";
        std::string r = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", r.c_str(), 1);
        fs::ResetConfiguration();
        return r;
    }();
    return root;
}

int VisitAll(DbfHandle h, int, const uint8_t* rec, void*) {
    WChar buf[257];
    for (int f = 0; f < DbfGetFieldCount(h); ++f) {
        DbfGetText(h, f, buf, rec);
        DbfGetNumber(h, f, rec);
        DbfGetDate(h, f, nullptr, rec);
        DbfGetLogical(h, f, rec);
        DbfGetHex(h, f, rec);
        DbfIsBlank(h, f, rec);
    }
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& root = Root();
    // The first byte, when the header leaves the language driver id 0,
    // picks a .cpg text.
    static const char* cpgs[] = {"UTF-8", "1251", "big5", "932", "ANSI"};
    {
        std::ofstream(root + "/f.dbf", std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        std::ofstream(root + "/f.cpg") << cpgs[size ? data[0] % 5 : 0];
    }
    DbfHandle h = DbfOpen(u"\\f.dbf", 0);
    if (!h) return 0;
    const int n = DbfGetRecordCount(h);
    for (int r = 0; r < n && r < 64; ++r) {
        if (DbfReadRecord(h, r)) VisitAll(h, r, DbfGetRecordBuffer(h), nullptr);
    }
    DbfForEachRecord(h, VisitAll, nullptr, 0, -1);
    DbfFieldStats st;
    DbfFieldStatistics(h, 0, &st);
    DbfFindText(h, 0, u"a", 0, 0);
    DbfSeekActive(h, kDbfLast);
    DbfSeekActive(h, kDbfFirst);
    DbfClose(h);
    return 0;
}
