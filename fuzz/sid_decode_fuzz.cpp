// The MrSID header reader and view descriptors on arbitrary bytes: the
// header, then views of the coarsest level and of a small full-resolution
// window. Run
//   build-fuzz/fuzz/sid_decode_fuzz -max_total_time=60 fuzz/corpus/sid
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "formats/sid/sid_file.h"
#include "formats/sid/sid_memory.h"
#include "platform/fs/fs.h"

namespace {

const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-sid-fuzz-XXXXXX";
        std::string r = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", r.c_str(), 1);
        fs::ResetConfiguration();
        return r;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& root = Root();
    std::ofstream(root + "/f.sid", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    int bands, levels, width, height;
    uint8_t version[3];
    if (SidReadImageInfo("\\f.sid", &bands, &levels, &width, &height, version) != kSidOk) return 0;
    const int coarsest = levels;
    const int cw = static_cast<int>(SidLevelSize(static_cast<uint32_t>(width), coarsest));
    const int ch = static_cast<int>(SidLevelSize(static_cast<uint32_t>(height), coarsest));
    SidImage* image = nullptr;
    if (SidOpenImage("\\f.sid", &image, coarsest, 0, cw - 1, 0, ch - 1, cw * bands) == kSidOk) {
        int w, h;
        SidGetWindowWidth(image, &w);
        SidGetWindowHeight(image, &h);
        SidCloseImage(image);
    }
    if (SidOpenImage("\\f.sid", &image, 0, 3, 34, 5, 36, 32 * bands) == kSidOk) SidCloseImage(image);
    return 0;
}
