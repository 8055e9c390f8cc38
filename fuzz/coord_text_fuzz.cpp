// Typed coordinates: any text must parse or be refused, and what parses must
// format in every form without a crash.
#include <cstddef>
#include <cstdint>

#include "crs/coord_text.h"
#include "crs/mgrs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WString text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<WChar>(data[i] | (data[i + 1] << 8)));
    bool ok = false;
    const double v = ParseCoordinate(text, &ok);
    (void)FormatDms(v, true);
    (void)FormatDmm(v, false);
    (void)FormatDmsForEdit(v, false);
    (void)FormatDmmForEdit(v, true);
    static CMGRSConverter mgrs;
    (void)mgrs.Format(v, v / 2.0, Wgs84Datum());
    return 0;
}
