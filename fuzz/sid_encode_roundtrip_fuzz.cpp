// The MrSID encoder against our decoder on arbitrary pictures: the bytes
// give a width and height (1 to 64), 1 or 3 bands, a step and the pixels.
// The file must decode at every level, a small window must equal its crop
// of the whole level, and at the finest step every sample must come back
// within 1. Run
//   build-fuzz/fuzz/sid_encode_roundtrip_fuzz -max_total_time=60
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_encode.h"
#include "formats/sid/sid_file.h"
#include "platform/fs/fs.h"

namespace {

void Root() {
    static const bool done = [] {
        char tmpl[] = "/tmp/zn-sid-encode-fuzz-XXXXXX";
        setenv("ZARNIP_ROOT", mkdtemp(tmpl), 1);
        fs::ResetConfiguration();
        return true;
    }();
    (void)done;
}

bool Decode(int level, int c0, int c1, int r0, int r1, int bands, std::vector<uint8_t>* px) {
    const int w = c1 - c0 + 1, h = r1 - r0 + 1;
    px->assign(size_t(w) * h * bands, 0);
    SidImage* image = nullptr;
    if (SidOpenImage("\\f.sid", &image, level, c0, c1, r0, r1, w * bands) != kSidOk) return false;
    if (SidDecodeRegion("\\f.sid", image, nullptr, px->data(), {}) != kSidOk) return false;
    SidCloseImage(image);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    Root();
    const uint32_t width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    const uint32_t bands = (data[2] & 1) ? 3 : 1;
    // Step: 0 the finest, else a Q from 2^-4 to 2^11.
    const int stepCode = data[3] % 16;
    const float q = stepCode == 0 ? kSidFinestStep : static_cast<float>(1 << stepCode) / 16.0f;
    std::vector<uint8_t> px(size_t(width) * height * bands);
    for (size_t i = 0; i < px.size(); ++i) px[i] = size > 4 ? data[4 + i % (size - 4)] : 0;
    SidEncodeSettings settings;
    settings.quantisation = q;
    if (SidEncodeFile("\\f.sid", px.data(), width, height, bands, size_t(width) * bands, settings) != kSidOk) abort();
    const int levels = SidEncodeLevels(width, height);
    for (int level = 0; level <= levels; ++level) {
        const int w = int(SidLevelSize(width, level)), h = int(SidLevelSize(height, level));
        std::vector<uint8_t> whole, window;
        if (!Decode(level, 0, w - 1, 0, h - 1, int(bands), &whole)) abort();
        const int c0 = data[0] % w, r0 = data[1] % h, c1 = std::min(w - 1, c0 + 5), r1 = std::min(h - 1, r0 + 3);
        if (!Decode(level, c0, c1, r0, r1, int(bands), &window)) abort();
        for (int y = r0; y <= r1; ++y)
            if (std::memcmp(window.data() + size_t(y - r0) * (c1 - c0 + 1) * bands,
                            whole.data() + (size_t(y) * w + c0) * bands, size_t(c1 - c0 + 1) * bands) != 0)
                abort();
        if (level == 0 && stepCode == 0)
            for (size_t i = 0; i < px.size(); ++i)
                if (std::abs(int(whole[i]) - int(px[i])) > 1) abort();
    }
    return 0;
}
