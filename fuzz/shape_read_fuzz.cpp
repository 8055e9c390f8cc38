// Reads arbitrary bytes as a shapefile: the input is a 16-bit `.shx` length,
// the `.shx` bytes, then the `.shp` bytes; the `.dbf` holds one row per index
// entry. Every record is read, walked (mapped and reading) and looked at
// through the accessors and the geometry functions.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/dbf/dbf_engine.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_visit.h"
#include "platform/fs/fs.h"

namespace {

void SetUpRoot() {
    static bool done = false;
    if (done) return;
    char tmpl[] = "/tmp/zn-shape-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    fs::SetDeviceRoot(tmpl);
    done = true;
}

void Write(const char16_t* path, const uint8_t* data, size_t n) {
    fs::File f;
    if (!f.Open(path, fs::kGenericRead | fs::kGenericWrite, 0, fs::kCreateAlways)) abort();
    size_t put = 0;
    if (n) f.Write(data, n, &put);
}

// Touches everything a drawing or hit test would read.
int Look(ShpHandle h, int, ShapeRecord* r, void* user) {
    double sum = 0, p[4];
    for (int i = 0; i < ShpGetPointCount(r); ++i)
        if (ShpGetPartPointXYZM(h, i, p, r) >= 0) sum += p[0] + p[1] + p[2] + p[3];
    for (int k = 0; k < ShapeGetPartCount(r); ++k) sum += ShapeGetPartPointCount(r, k);
    sum += PointInShape(DoublePoint{1, 1}, r) + DistanceToShape(DoublePoint{0, 0}, r);
    *static_cast<double*>(user) += sum;
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpRoot();
    if (size < 2) return 0;
    const size_t shxLength = std::min<size_t>(size - 2, data[0] | data[1] << 8);
    Write(u"\\f.shx", data + 2, shxLength);
    Write(u"\\f.shp", data + 2 + shxLength, size - 2 - shxLength);
    DbfHandle t = DbfCreate(u"\\f.dbf", 0);
    if (!t) abort();
    DbfAddField(t, "A", 'N', 4, 0);
    DbfSetRecordCount(t, shxLength > 100 ? static_cast<int>((shxLength - 100) / 8) + 1 : 0);
    DbfClose(t);

    ShpHandle h = ShpOpen(u"\\f.shp", 0);
    if (!h) return 0;
    double sink = 0;
    for (int i = 0; i < ShpGetRecordCount(h); ++i)
        if (ShapeRecord* r = ShpReadShape(h, i)) Look(h, i, r, &sink);
    ShpForEachMapped(h, Look, &sink, nullptr, 0, -1, 0);
    ShpForEachRead(h, Look, &sink, nullptr, 0, -1, 0);
    const CDoubleRect window(0, 0, 10, 10);
    ShpForEachMapped(h, Look, &sink, &window, 0, -1, 0);
    ShpClose(h);
    return sink == 12345.678 ? 1 : 0;
}
