// Well-known text from .prj files: any bytes, read as the .prj reader reads
// them (one character per byte), must parse or fail without reading outside
// the text; what parses must build a system and write back.
#include <cstddef>
#include <cstdint>

#include "crs/wkt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WString text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) text.push_back(static_cast<WChar>(data[i]));
    CWktCoordSys w;
    if (w.ParseWkt(text)) {
        auto cs = w.CreateProjection();
        if (cs) {
            const WString again = FormatWkt(*cs, true);
            (void)again;
            double x, y;
            cs->GeographicToProjected(10.0, 50.0, &x, &y);
        }
    }
    return 0;
}
