// The spatial bin index reader on arbitrary bytes: the input is split into an
// `.sbn` and an `.sbx` (the first two bytes give the `.sbx` length), opened
// with both header forms and queried. Run
//   build-fuzz/fuzz/sbn_read_fuzz -max_total_time=60 fuzz/corpus/sbn
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "formats/shape/record_set.h"
#include "formats/shape/sbn_index.h"
#include "platform/fs/fs.h"

namespace {

const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-sbn-fuzz-XXXXXX";
        std::string r = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", r.c_str(), 1);
        fs::ResetConfiguration();
        return r;
    }();
    return root;
}

void Write(const std::string& name, const uint8_t* data, size_t n) {
    std::ofstream(Root() + "/" + name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t sbx = (size_t{data[0]} << 8) | data[1];
    data += 2;
    size -= 2;
    if (sbx > size) sbx = size;
    Write("f.sbx", data, sbx);
    Write("f.sbn", data + sbx, size - sbx);
    for (bool doubles : {true, false}) {
        ESpatialIndex index;
        if (!index.Open(u"\\f.sbn", doubles)) continue;
        const EExtent e = index.GetExtent();
        const double w = e.xmax - e.xmin, h = e.ymax - e.ymin;
        const EExtent queries[] = {{e.xmin, e.ymin, e.xmin + w / 3, e.ymin + h / 3},
                                   {e.xmin + w / 2, e.ymin, e.xmin + w / 2, e.ymax},
                                   {e.xmin - 1, e.ymin - 1, e.xmax + 1, e.ymax + 1},
                                   {-1e300, -1e300, 1e300, 1e300}};
        // Repeated, so that large bins are also answered from memory.
        for (int round = 0; round < 4; ++round) {
            for (const EExtent& q : queries) {
                ERecordSet set(1000);
                if (index.Query(q, set) != set.Count()) abort();
            }
        }
    }
    return 0;
}
