// The MrSID decoder on arbitrary bytes: the header, the whole coarsest
// level and a small full-resolution window decoded into pixels, then every
// subband record, block entry and band header, and the coefficients of
// small tiles. Run
//   build-fuzz/fuzz/sid_decode_fuzz -max_total_time=60 fuzz/corpus/sid
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"
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
    // The coarsest level, when it is small enough to be worth decoding whole.
    if (int64_t{cw} * ch <= 1 << 20 &&
        SidOpenImage("\\f.sid", &image, coarsest, 0, cw - 1, 0, ch - 1, cw * bands) == kSidOk) {
        std::vector<uint8_t> pixels(size_t(cw) * ch * bands);
        if (SidDecodeRegion("\\f.sid", image, nullptr, pixels.data(), {}) == kSidOk) SidCloseImage(image);
    }
    if (SidOpenImage("\\f.sid", &image, 0, 3, 34, 5, 36, 32 * bands) == kSidOk) {
        std::vector<uint8_t> pixels(32 * 32 * 3);
        if (SidDecodeRegion("\\f.sid", image, nullptr, pixels.data(), {}) == kSidOk) SidCloseImage(image);
    }
    if (SidGetMemoryCounters().blocks != 0) __builtin_trap();  // a decode left memory behind

    SidFile* f = SidOpenFile("\\f.sid");
    SidHeader h;
    if (!f || SidReadHeader(f, &h) != kSidOk) {
        SidCloseFile(f);
        return 0;
    }
    std::vector<int32_t> out(64 * 64);
    for (const SidTreeNode& leaf : SidBuildTree(h.width, h.height, static_cast<int>(h.levels))) {
        SidSubbandRecord rec;
        if (leaf.subband < 0 || SidReadSubbandRecord(f, h.bands, leaf.subband, &rec) != kSidOk)
            continue;
        for (uint32_t i = 0; i < rec.blocks && i < 16; ++i) {
            SidBlockEntry block;
            if (SidReadBlockEntry(f, h.bands, rec, i, leaf.width, leaf.height, &block) != kSidOk)
                break;
            for (uint32_t b = 0; b < h.bands; ++b) {
                SidBandData data;
                if (!block.bandOffset[b] ||
                    SidReadBandData(f, block.bandOffset[b], block, &data) != kSidOk)
                    continue;
                // The first tile, when it is small.
                const uint64_t bw = uint64_t{block.lastColumn} - block.firstColumn + 1;
                const uint64_t bh = uint64_t{block.lastRow} - block.firstRow + 1;
                const int tw = static_cast<int>(bw < data.tileWidth ? bw : data.tileWidth);
                const int th = static_cast<int>(bh < data.tileHeight ? bh : data.tileHeight);
                uint64_t at;
                if (int64_t{tw} * th > 4096 || SidReadTileOffset(f, data, 0, &at) != kSidOk ||
                    SidSeek(f, static_cast<int64_t>(at), 0))
                    continue;
                SidDecodeTileCoefficients(f, data.code, tw, th, 1, 40, 2, 30, out.data(), 64);
            }
        }
    }
    SidCloseFile(f);
    return 0;
}
