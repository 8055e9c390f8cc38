#include "formats/sid/sid_decode.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "formats/sid/sid_file.h"

float SidLowWeight() { return std::bit_cast<float>(0x3F932639u); }   // 1.149604
float SidHighWeight() { return std::bit_cast<float>(0x3F5EAF75u); }  // 0.8698648

namespace {

void Split(std::vector<SidTreeNode>& nodes, int at, int levels) {
    if (nodes[at].depth >= levels) return;
    for (int i = 0; i < 4; ++i) {
        const SidTreeNode& parent = nodes[at];
        const bool xHigh = i >= 2, yHigh = i & 1;
        SidTreeNode c;
        c.width = xHigh ? parent.width / 2 : parent.width - parent.width / 2;
        c.height = yHigh ? parent.height / 2 : parent.height - parent.height / 2;
        c.weight = parent.weight * (xHigh ? SidHighWeight() : SidLowWeight());
        c.weight = c.weight * (yHigh ? SidHighWeight() : SidLowWeight());
        c.depth = parent.depth + 1;
        nodes.push_back(c);
        nodes[at].child[i] = static_cast<int>(nodes.size()) - 1;
    }
    Split(nodes, nodes[at].child[0], levels);
}

void Number(std::vector<SidTreeNode>& nodes, int at, int* next) {
    SidTreeNode& n = nodes[at];
    if (n.child[0] < 0) {
        n.subband = (*next)++;
        return;
    }
    for (int i : {0, 2, 1, 3}) Number(nodes, nodes[at].child[i], next);
}

int CeilDiv2(int64_t v) { return static_cast<int>(v >= 0 ? (v + 1) / 2 : -((-v) / 2)); }

}  // namespace

std::vector<SidTreeNode> SidBuildTree(uint32_t width, uint32_t height, int levels) {
    std::vector<SidTreeNode> nodes;
    if (levels < 0 || levels > 31) return nodes;
    nodes.reserve(4 * static_cast<size_t>(levels) + 1);
    SidTreeNode root;
    root.width = width;
    root.height = height;
    nodes.push_back(root);
    Split(nodes, 0, levels);
    int next = 0;
    Number(nodes, 0, &next);
    return nodes;
}

void SidChildWindow(int parentMin, int parentMax, bool highPass, uint32_t childSize, int* min,
                    int* max) {
    int64_t lo = CeilDiv2(int64_t{parentMin} - (highPass ? 5 : 3));
    // trunc((max + 3) / 2): toward zero, also for windows left of the image.
    const int64_t top = int64_t{parentMax} + 3;
    int64_t hi = top >= 0 ? top / 2 : -((-top) / 2);
    if (lo < 0) lo = 0;
    if (hi > int64_t{childSize} - 1) hi = int64_t{childSize} - 1;
    if (lo > hi) {
        *min = 0;
        *max = -1;
        return;
    }
    *min = static_cast<int>(lo);
    *max = static_cast<int>(hi);
}

int SidHuffman::SymbolCount(const uint8_t counts[16]) {
    int n = 0;
    for (int i = 0; i < 16; ++i) n += counts[i];
    return n;
}

bool SidHuffman::Build(const uint8_t counts[16], const uint8_t* symbols) {
    const int total = SymbolCount(counts);
    if (total > 256) return false;
    // Canonical codes, shortest first; a length with more codes than the
    // room the shorter ones leave is over-subscribed.
    int32_t code = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        count_[len] = n;
        valueIndex_[len] = index;
        minCode_[len] = code;
        if (int64_t{code} + n > (int64_t{1} << len)) return false;
        code += n;
        maxCode_[len] = code - 1;
        index += n;
        code <<= 1;
    }
    std::memset(symbols_, 0, sizeof symbols_);
    if (total) std::memcpy(symbols_, symbols, static_cast<size_t>(total));
    return true;
}

float SidDequantise(int32_t q, float t) {
    if (t == 0.0f || q == 0) return 0.0f;
    const float offset = std::bit_cast<float>(0x3EE147AEu);  // 0.44
    const float v = static_cast<float>(q);
    return q > 0 ? (v - offset) * t + 0.5f * t : (v + offset) * t - 0.5f * t;
}

void SidSynthesize1D(float* x, int origin, int length, float* work) {
    if (length <= 0) return;
    if (length == 1) {
        if (origin & 1) x[0] = x[0] / 2.0f;
        return;
    }
    // Extend symmetrically about the first and last samples, then lift over
    // the extended run; every output inside the run sees only real or
    // mirrored samples.
    constexpr int m = kSidSynthesisMargin;
    const int period = 2 * (length - 1);
    for (int k = -m; k < length + m; ++k) {
        int i = k % period;
        if (i < 0) i += period;
        if (i >= length) i = period - i;
        work[k + m] = x[i];
    }
    const float delta = std::bit_cast<float>(0x3EE31359u);  // 0.4435070
    const float gamma = std::bit_cast<float>(0x3F620675u);  // 0.8829110
    const float beta = std::bit_cast<float>(0x3D59018Eu);   // 0.05298
    const float alpha = std::bit_cast<float>(0x3FCB0670u);  // 1.586134
    const int total = length + 2 * m;
    // Index j of work is place origin - m + j: low-pass where that is even.
    const int firstLow = ((origin - m) & 1) ? 1 : 0;
    const int firstHigh = 1 - firstLow;
    for (int j = firstLow + 2; j < total - 1; j += 2) work[j] -= delta * (work[j - 1] + work[j + 1]);
    for (int j = firstHigh + 2; j < total - 1; j += 2) work[j] -= gamma * (work[j - 1] + work[j + 1]);
    for (int j = firstLow + 2; j < total - 1; j += 2) work[j] += beta * (work[j - 1] + work[j + 1]);
    for (int j = firstHigh + 2; j < total - 1; j += 2) work[j] += alpha * (work[j - 1] + work[j + 1]);
    for (int k = 0; k < length; ++k) x[k] = work[k + m];
}

void SidYiqToRgb(float y, float i, float q, float* r, float* g, float* b) {
    *r = y + std::bit_cast<float>(0x3F71F9AEu) * i + std::bit_cast<float>(0x3F21F9AEu) * q;
    *g = y + std::bit_cast<float>(0xBE9425EDu) * i - std::bit_cast<float>(0x3F1A12F7u) * q;
    *b = y - std::bit_cast<float>(0x3F8CBDA1u) * i + std::bit_cast<float>(0x3FDB425Fu) * q;
}

namespace {

// Bits of tile data, most significant first, with the 0xFF stuffing undone.
class BitReader {
public:
    explicit BitReader(SidFile* file) : file_(file) {}
    // 0 or 1, or -1 at the end of the tile or the file.
    int Bit() {
        if (bits_ == 0) {
            if (ended_) return -1;
            int b = SidReadByte(file_);
            if (b < 0) return End();
            if (b == 0xFF) {
                const int next = SidReadByte(file_);
                if (next != 0) return End();
            }
            byte_ = b;
            bits_ = 8;
        }
        --bits_;
        return (byte_ >> bits_) & 1;
    }
    // n bits (n <= 16), or -1.
    int32_t Bits(int n) {
        int32_t v = 0;
        for (int i = 0; i < n; ++i) {
            const int b = Bit();
            if (b < 0) return -1;
            v = v << 1 | b;
        }
        return v;
    }

private:
    int End() {
        ended_ = true;
        return -1;
    }
    SidFile* file_;
    int byte_ = 0;
    int bits_ = 0;
    bool ended_ = false;
};

}  // namespace

int SidDecodeTileCoefficients(SidFile* file, const SidHuffman& code, int width, int height, int c0,
                              int c1, int r0, int r1, int32_t* out, int outStride) {
    if (width < 1 || height < 1) return kSidFailed;
    if (SidReadByte(file) != 0xFF || SidReadByte(file) != 0xA3) return kSidFailed;
    // A tile that ends at once: nothing coded.
    const uint64_t start = SidTell(file);
    const int first = SidReadByte(file);
    const int second = SidReadByte(file);
    if (first == 0xFF && second > 0) {
        SidSeek(file, static_cast<int64_t>(start), 0);
        return kSidOk;
    }
    if (SidSeek(file, static_cast<int64_t>(start), 0)) return kSidFailed;
    const int64_t total = int64_t{width} * height;
    BitReader bits(file);
    int64_t at = 0;
    auto store = [&](int32_t v) {
        const int64_t row = at / width, column = at % width;
        if (row >= r0 && row <= r1 && column >= c0 && column <= c1)
            out[(row - r0) * outStride + (column - c0)] = v;
        ++at;
    };
    while (at < total) {
        const int symbol = code.Decode([&] { return bits.Bit(); });
        if (symbol < 0) return kSidFailed;
        int64_t zeros = 0;
        if (symbol <= 100) {
            zeros = symbol;
        } else if (symbol == 105 || symbol == 106) {
            zeros = bits.Bits(symbol == 105 ? 8 : 16);
            if (zeros < 0) return kSidFailed;
        } else if (symbol >= 101 && symbol <= 104) {
            const int32_t v = bits.Bits(symbol <= 102 ? 8 : 16);
            if (v < 0) return kSidFailed;
            store(symbol & 1 ? v : -v);
            continue;
        } else {
            store(symbol - 180);
            continue;
        }
        if (zeros > total - at) return kSidFailed;
        for (int64_t k = 0; k < zeros; ++k) store(0);
    }
    return kSidOk;
}

int SidReadSubbandRecord(SidFile* file, uint32_t bands, int subband, SidSubbandRecord* record) {
    *record = SidSubbandRecord{};
    uint32_t at;
    if (subband < 0 || SidSeek(file, 23 + 4 * int64_t{subband}, 0) || SidReadBE32(file, &at))
        return kSidFailed;
    if (at >= SidFileSize(file) || SidSeek(file, at, 0)) return kSidFailed;
    if (SidReadByte(file) != 0xFF || SidReadByte(file) != 0xAC) return kSidFailed;
    const int px = SidReadByte(file), py = SidReadByte(file);
    uint32_t blocks;
    if (px < 0 || py < 0 || SidReadBE32(file, &blocks)) return kSidFailed;
    const uint64_t entry = (uint64_t{bands} + 4) * 4;
    if (blocks > (SidFileSize(file) - SidTell(file)) / entry) return kSidFailed;
    record->offset = at;
    record->phaseX = static_cast<uint8_t>(px);
    record->phaseY = static_cast<uint8_t>(py);
    record->blocks = blocks;
    return kSidOk;
}

int SidReadBlockEntry(SidFile* file, uint32_t bands, const SidSubbandRecord& record, uint32_t i,
                      uint32_t width, uint32_t height, SidBlockEntry* block) {
    *block = SidBlockEntry{};
    if (i >= record.blocks || bands > 3) return kSidFailed;
    const uint64_t at = record.offset + 8 + uint64_t{i} * (uint64_t{bands} + 4) * 4;
    if (SidSeek(file, static_cast<int64_t>(at), 0)) return kSidFailed;
    for (uint32_t b = 0; b < bands; ++b) {
        if (SidReadBE32(file, &block->bandOffset[b])) return kSidFailed;
        if (block->bandOffset[b] >= SidFileSize(file)) return kSidFailed;
    }
    if (SidReadBE32(file, &block->firstColumn) || SidReadBE32(file, &block->firstRow) ||
        SidReadBE32(file, &block->lastColumn) || SidReadBE32(file, &block->lastRow))
        return kSidFailed;
    if (block->firstColumn > block->lastColumn || block->lastColumn >= width ||
        block->firstRow > block->lastRow || block->lastRow >= height)
        return kSidFailed;
    return kSidOk;
}

int SidReadBandData(SidFile* file, uint64_t offset, const SidBlockEntry& block, SidBandData* data) {
    if (offset == 0 || offset >= SidFileSize(file) || SidSeek(file, static_cast<int64_t>(offset), 0))
        return kSidFailed;
    if (SidReadByte(file) != 0xFF || SidReadByte(file) != 0xAA) return kSidFailed;
    uint8_t counts[16];
    uint8_t symbols[256];
    if (SidRead(counts, 1, 16, file) != 16) return kSidFailed;
    const int n = SidHuffman::SymbolCount(counts);
    if (n > 256 || (n && SidRead(symbols, 1, static_cast<size_t>(n), file) != static_cast<size_t>(n)))
        return kSidFailed;
    if (!data->code.Build(counts, symbols)) return kSidFailed;
    uint32_t quant;
    if (SidReadBE32(file, &quant) || SidReadBE32(file, &data->tileWidth) ||
        SidReadBE32(file, &data->tileHeight))
        return kSidFailed;
    data->quantisation = std::bit_cast<float>(quant);
    if (!std::isfinite(data->quantisation)) return kSidFailed;
    if (data->tileWidth < 1 || data->tileHeight < 1) return kSidFailed;
    const uint64_t bw = uint64_t{block.lastColumn} - block.firstColumn + 1;
    const uint64_t bh = uint64_t{block.lastRow} - block.firstRow + 1;
    const uint64_t across = (bw + data->tileWidth - 1) / data->tileWidth;
    const uint64_t down = (bh + data->tileHeight - 1) / data->tileHeight;
    data->tileTable = SidTell(file);
    const uint64_t room = (SidFileSize(file) - data->tileTable) / 4;
    if (across > room || down > room / across) return kSidFailed;
    data->tilesAcross = static_cast<uint32_t>(across);
    data->tilesDown = static_cast<uint32_t>(down);
    return kSidOk;
}

int SidReadTileOffset(SidFile* file, const SidBandData& data, uint32_t i, uint64_t* offset) {
    if (uint64_t{i} >= uint64_t{data.tilesAcross} * data.tilesDown) return kSidFailed;
    uint32_t at;
    if (SidSeek(file, static_cast<int64_t>(data.tileTable + 4ull * i), 0) || SidReadBE32(file, &at))
        return kSidFailed;
    if (at >= SidFileSize(file)) return kSidFailed;
    *offset = at;
    return kSidOk;
}
