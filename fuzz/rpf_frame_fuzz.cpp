// The RPF frame reader over arbitrary file contents: headers, location
// table, colour tables, converters, codebook and every subframe.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/raster/rpf_frame.h"
#include "platform/fs/fs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-rpf-fuzz-XXXXXX";
        const char* made = mkdtemp(tmpl);
        std::string r = made ? made : "/tmp";
        fs::SetDeviceRoot(r);
        return r;
    }();
    if (FILE* f = fopen((root + "/f.tl1").c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
    CRpfFrame frame;
    if (!frame.Open(u"\\f.tl1")) return 0;
    std::vector<uint8_t> sub(CRpfFrame::kSubframeBytes);
    for (int table = 0; table < 3; ++table) {
        if (!frame.ReadColorTables(table) || !frame.ReadCompression()) continue;
        for (int i = 0; i < 36; ++i) frame.ReadSubframe(i, sub.data());
    }
    double lat, lon;
    frame.PixelToGround(100, 100, &lat, &lon);
    frame.GroundToSubframe(lat, lon, nullptr, nullptr);
    return 0;
}
