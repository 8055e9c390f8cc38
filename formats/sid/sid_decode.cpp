#include "formats/sid/sid_decode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "formats/sid/sid_file.h"
#include "formats/sid/sid_memory.h"
#include "platform/byte_order.h"

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

bool SidAssignCodes(const uint8_t counts[16], uint16_t* codes, uint8_t* lengths) {
    // Canonical codes (ISO/IEC 10918-1, Annex C), shortest first; a length
    // with more codes than the room the shorter ones leave is over-subscribed.
    int32_t code = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        if (int64_t{code} + n > (int64_t{1} << len)) return false;
        for (int k = 0; k < n; ++k, ++index) {
            if (codes) codes[index] = static_cast<uint16_t>(code + k);
            if (lengths) lengths[index] = static_cast<uint8_t>(len);
        }
        code = (code + n) << 1;
    }
    return true;
}

bool SidHuffman::Build(const uint8_t counts[16], const uint8_t* symbols) {
    const int total = SymbolCount(counts);
    if (total > 256) return false;
    uint16_t codes[256];
    if (!SidAssignCodes(counts, codes, nullptr)) return false;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        count_[len] = n;
        valueIndex_[len] = index;
        minCode_[len] = n ? codes[index] : 0;
        maxCode_[len] = n ? codes[index + n - 1] : -1;
        index += n;
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

namespace {

// Where place k of a run of `length` (at least 2) samples comes from under
// whole-sample symmetric extension about its first and last samples.
int MirrorIndex(int k, int length) {
    const int period = 2 * (length - 1);
    int i = k % period;
    if (i < 0) i += period;
    return i >= length ? period - i : i;
}

// The four lifting steps of the 9/7 wavelet without its scaling step.
const float kDelta = std::bit_cast<float>(0x3EE31359u);  // 0.4435070
const float kGamma = std::bit_cast<float>(0x3F620675u);  // 0.8829110
const float kBeta = std::bit_cast<float>(0x3D59018Eu);   // 0.05298
const float kAlpha = std::bit_cast<float>(0x3FCB0670u);  // 1.586134

// The lifting steps over `total` lines of n samples, line j at
// lines + j x stride; line `firstLow` and every second one after it are
// low-pass. Synthesis runs the steps in one order, analysis undoes them in
// the other. Each sample sees the same operations whichever way the samples
// are grouped into lines.
void Lift(float* lines, int total, size_t stride, int n, int firstLow, bool analysis) {
    const int firstHigh = 1 - firstLow;
    auto step = [&](int first, float k, bool add) {
        for (int j = first + 2; j < total - 1; j += 2) {
            const float* a = lines + static_cast<size_t>(j - 1) * stride;
            float* b = lines + static_cast<size_t>(j) * stride;
            const float* c = lines + static_cast<size_t>(j + 1) * stride;
            if (add)
                for (int i = 0; i < n; ++i) b[i] += k * (a[i] + c[i]);
            else
                for (int i = 0; i < n; ++i) b[i] -= k * (a[i] + c[i]);
        }
    };
    if (analysis) {
        step(firstHigh, kAlpha, false);
        step(firstLow, kBeta, false);
        step(firstHigh, kGamma, true);
        step(firstLow, kDelta, true);
        return;
    }
    step(firstLow, kDelta, false);
    step(firstHigh, kGamma, false);
    step(firstLow, kBeta, true);
    step(firstHigh, kAlpha, true);
}

// One run in place, extended symmetrically about its first and last
// samples; every output inside the run sees only real or mirrored samples.
void LiftRun(float* x, int origin, int length, float* work, bool analysis) {
    if (length <= 0) return;
    if (length == 1) {
        // A lone sample at an odd place is a high-pass one (JPEG 2000 rule).
        if (origin & 1) x[0] = analysis ? x[0] * 2.0f : x[0] / 2.0f;
        return;
    }
    constexpr int m = kSidSynthesisMargin;
    for (int k = -m; k < 0; ++k) work[k + m] = x[MirrorIndex(k, length)];
    std::memcpy(work + m, x, sizeof(float) * static_cast<size_t>(length));
    for (int k = length; k < length + m; ++k) work[k + m] = x[MirrorIndex(k, length)];
    // Index j of work is place origin - m + j: low-pass where that is even.
    Lift(work, length + 2 * m, 1, 1, ((origin - m) & 1) ? 1 : 0, analysis);
    std::memcpy(x, work + m, sizeof(float) * static_cast<size_t>(length));
}

void LiftLines(float* lines, int origin, int length, size_t stride, int n, bool analysis) {
    if (length <= 0) return;
    constexpr int m = kSidSynthesisMargin;
    if (length == 1) {
        float* line = lines + static_cast<size_t>(m) * stride;
        if (origin & 1)
            for (int i = 0; i < n; ++i) line[i] = analysis ? line[i] * 2.0f : line[i] / 2.0f;
        return;
    }
    for (int k = -m; k < 0; ++k)
        std::memcpy(lines + static_cast<size_t>(k + m) * stride,
                    lines + static_cast<size_t>(MirrorIndex(k, length) + m) * stride, sizeof(float) * n);
    for (int k = length; k < length + m; ++k)
        std::memcpy(lines + static_cast<size_t>(k + m) * stride,
                    lines + static_cast<size_t>(MirrorIndex(k, length) + m) * stride, sizeof(float) * n);
    Lift(lines, length + 2 * m, stride, n, ((origin - m) & 1) ? 1 : 0, analysis);
}

}  // namespace

void SidSynthesize1D(float* x, int origin, int length, float* work) {
    LiftRun(x, origin, length, work, false);
}

void SidSynthesizeLines(float* lines, int origin, int length, size_t stride, int n) {
    LiftLines(lines, origin, length, stride, n, false);
}

void SidAnalyze1D(float* x, int origin, int length, float* work) { LiftRun(x, origin, length, work, true); }

void SidAnalyzeLines(float* lines, int origin, int length, size_t stride, int n) {
    LiftLines(lines, origin, length, stride, n, true);
}

void SidYiqToRgb(float y, float i, float q, float* r, float* g, float* b) {
    const auto& m = kSidYiqToRgb;
    *r = y + m[0][1] * i + m[0][2] * q;
    *g = y + m[1][1] * i + m[1][2] * q;
    *b = y + m[2][1] * i + m[2][2] * q;
}

void SidRgbToYiq(float r, float g, float b, float* y, float* i, float* q) {
    const auto& m = kSidRgbToYiq;
    *y = m[0][0] * r + m[0][1] * g + m[0][2] * b;
    *i = m[1][0] * r + m[1][1] * g + m[1][2] * b;
    *q = m[2][0] * r + m[2][1] * g + m[2][2] * b;
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
    uint8_t quant[4];
    if (SidRead(quant, 1, 4, file) != 4 || SidReadBE32(file, &data->tileWidth) ||
        SidReadBE32(file, &data->tileHeight))
        return kSidFailed;
    data->quantisation = byte_order::LoadBeFloat(quant);
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

// ---- decoding a view ----

float SidDither(uint32_t x, uint32_t y) {
    // The encoder's noise table is 128 x 128; only these first values are
    // known, and the rest count as zero (they leave the quantisation noise
    // as it is instead of adding a guess of our own).
    static const float row0[10] = {-0.164586f, 0.124951f, -0.201814f, 0.185233f, 0.038652f,
                                   0.1429f,    0.096097f, -0.065617f, 0.186952f, 0.122548f};
    static const float row1[4] = {0.178876f, 0.144467f, 0.039238f, -0.200255f};
    x %= 128;
    y %= 128;
    if (y == 0 && x < 10) return row0[x];
    if (y == 1 && x < 4) return row1[x];
    return 0.0f;
}

namespace {

struct Window {
    int c0 = 0, c1 = -1, r0 = 0, r1 = -1;
    bool Empty() const { return c0 > c1 || r0 > r1; }
    int Width() const { return c1 - c0 + 1; }
    int Height() const { return r1 - r0 + 1; }
};

// A float array from the decode heap.
float* Floats(int64_t n) {
    if (n <= 0) n = 1;
    return static_cast<float*>(SidAlloc(static_cast<size_t>(n) * sizeof(float)));
}

// The file of one decode, closed on every way out.
struct FileCloser {
    SidFile* f = nullptr;
    ~FileCloser() { SidCloseFile(f); }
};

class RegionDecoder {
public:
    RegionDecoder(SidFile* file, const SidHeader& header, int level, const SidProgress& progress)
        : file_(file), header_(header), level_(level), progress_(progress) {
        const float levelGain = static_cast<float>(std::pow(1.5133294761940657, level));
        levelScale_ = 1.0f / levelGain;
    }

    bool BuildTree() {
        tree_ = SidBuildTree(header_.width, header_.height, static_cast<int>(header_.levels));
        if (tree_.empty()) return false;
        root_ = 0;
        for (int i = 0; i < level_; ++i) {
            root_ = tree_[root_].child[0];
            if (root_ < 0) return false;
        }
        window_.assign(tree_.size(), Window{});
        samples_.assign(tree_.size(), nullptr);
        return true;
    }

    // Decodes one band over `window` (inside the level); the samples of the
    // window, row by row, come out in *out.
    int DecodeBand(int band, const Window& window, float** out) {
        band_ = band;
        SetWindow(root_, window);
        const int status = DecodeNode(root_);
        if (status != kSidOk) return status;
        *out = samples_[root_];
        samples_[root_] = nullptr;
        return kSidOk;
    }

    bool Ask(int done, int total) { return !progress_ || progress_(done, total) == 0; }

private:
    void SetWindow(int node, const Window& w) {
        window_[node] = w;
        const SidTreeNode& n = tree_[node];
        if (n.child[0] < 0) return;
        for (int i = 0; i < 4; ++i) {
            const int c = n.child[i];
            Window cw;
            if (!w.Empty()) {
                SidChildWindow(w.c0, w.c1, i >= 2, tree_[c].width, &cw.c0, &cw.c1);
                SidChildWindow(w.r0, w.r1, (i & 1) != 0, tree_[c].height, &cw.r0, &cw.r1);
            }
            SetWindow(c, cw);
        }
    }

    int DecodeNode(int node) {
        if (window_[node].Empty()) return kSidOk;
        const SidTreeNode& n = tree_[node];
        if (n.child[0] < 0) return DecodeLeaf(node);
        for (int i = 0; i < 4; ++i) {
            const int status = DecodeNode(n.child[i]);
            if (status != kSidOk) return status;
        }
        return Rebuild(node);
    }

    int DecodeLeaf(int node) {
        const SidTreeNode& n = tree_[node];
        const Window& w = window_[node];
        const int ww = w.Width();
        float* out = static_cast<float*>(SidCalloc(static_cast<size_t>(ww) * w.Height(), sizeof(float)));
        if (!out) return kSidFailed;
        samples_[node] = out;
        SidSubbandRecord record;
        if (SidReadSubbandRecord(file_, header_.bands, n.subband, &record) != kSidOk) return kSidFailed;
        for (uint32_t i = 0; i < record.blocks; ++i) {
            SidBlockEntry block;
            if (SidReadBlockEntry(file_, header_.bands, record, i, n.width, n.height, &block) != kSidOk)
                return kSidFailed;
            if (block.firstColumn > static_cast<uint32_t>(w.c1) || block.firstRow > static_cast<uint32_t>(w.r1) ||
                block.lastColumn < static_cast<uint32_t>(w.c0) || block.lastRow < static_cast<uint32_t>(w.r0))
                continue;
            const uint32_t at = block.bandOffset[band_];
            if (at == 0) continue;
            const int status = DecodeBlock(node, record, block, at, out);
            if (status != kSidOk) return status;
        }
        return kSidOk;
    }

    int DecodeBlock(int node, const SidSubbandRecord& record, const SidBlockEntry& block, uint32_t at,
                    float* out) {
        const SidTreeNode& n = tree_[node];
        const Window& w = window_[node];
        SidBandData data;
        if (SidReadBandData(file_, at, block, &data) != kSidOk) return kSidFailed;
        const float step = levelScale_ / n.weight * data.quantisation;
        // The tiles that meet the window.
        const int64_t bc0 = block.firstColumn, br0 = block.firstRow;
        const int64_t tw = data.tileWidth, th = data.tileHeight;
        const int64_t txFirst = std::max<int64_t>(0, (w.c0 - bc0) / tw);
        const int64_t txLast = std::min<int64_t>(data.tilesAcross - 1, (w.c1 - bc0) / tw);
        const int64_t tyFirst = std::max<int64_t>(0, (w.r0 - br0) / th);
        const int64_t tyLast = std::min<int64_t>(data.tilesDown - 1, (w.r1 - br0) / th);
        for (int64_t ty = tyFirst; ty <= tyLast; ++ty) {
            for (int64_t tx = txFirst; tx <= txLast; ++tx) {
                const int64_t tc0 = bc0 + tx * tw, tr0 = br0 + ty * th;
                const int64_t tc1 = std::min<int64_t>(tc0 + tw - 1, block.lastColumn);
                const int64_t tr1 = std::min<int64_t>(tr0 + th - 1, block.lastRow);
                const int64_t ic0 = std::max<int64_t>(tc0, w.c0), ic1 = std::min<int64_t>(tc1, w.c1);
                const int64_t ir0 = std::max<int64_t>(tr0, w.r0), ir1 = std::min<int64_t>(tr1, w.r1);
                if (ic0 > ic1 || ir0 > ir1) continue;
                uint64_t offset;
                if (SidReadTileOffset(file_, data, static_cast<uint32_t>(ty * data.tilesAcross + tx), &offset) !=
                        kSidOk ||
                    SidSeek(file_, static_cast<int64_t>(offset), 0))
                    return kSidFailed;
                const int iw = static_cast<int>(ic1 - ic0 + 1), ih = static_cast<int>(ir1 - ir0 + 1);
                auto* q = static_cast<int32_t*>(SidCalloc(static_cast<size_t>(iw) * ih, sizeof(int32_t)));
                if (!q) return kSidFailed;
                if (SidDecodeTileCoefficients(file_, data.code, static_cast<int>(tc1 - tc0 + 1),
                                              static_cast<int>(tr1 - tr0 + 1), static_cast<int>(ic0 - tc0),
                                              static_cast<int>(ic1 - tc0), static_cast<int>(ir0 - tr0),
                                              static_cast<int>(ir1 - tr0), q, iw) != kSidOk)
                    return kSidFailed;
                for (int r = 0; r < ih; ++r) {
                    if (!Ask(r, ih)) return kSidStopped;
                    const uint32_t y = static_cast<uint32_t>(ir0 + r);
                    float* dst = out + (static_cast<int64_t>(y) - w.r0) * w.Width() + (ic0 - w.c0);
                    const int32_t* src = q + static_cast<int64_t>(r) * iw;
                    for (int c = 0; c < iw; ++c) {
                        float v = SidDequantise(src[c], step);
                        // The first band was coded with dither added.
                        if (band_ == 0)
                            v = v - step * SidDither(static_cast<uint32_t>(ic0 + c) + record.phaseX,
                                                     y + record.phaseY);
                        dst[c] = v;
                    }
                }
                SidFree(q);
            }
        }
        return kSidOk;
    }

    // One interleaved run: `low` samples at even places, `high` at odd
    // ones, from their windows [lo0, lo1] and [hi0, hi1] (either may be
    // empty). The run's first place and length, or false when the two do not
    // make one unbroken run covering [want0, want1].
    static bool Run(int lo0, int lo1, int hi0, int hi1, int want0, int want1, int* first, int* length) {
        const bool hasLow = lo0 <= lo1, hasHigh = hi0 <= hi1;
        if (!hasLow && !hasHigh) return false;
        int64_t s = INT64_MAX, e = INT64_MIN;
        if (hasLow) s = std::min<int64_t>(s, 2 * int64_t{lo0}), e = std::max<int64_t>(e, 2 * int64_t{lo1});
        if (hasHigh) s = std::min<int64_t>(s, 2 * int64_t{hi0} + 1), e = std::max<int64_t>(e, 2 * int64_t{hi1} + 1);
        // Every even place of the run from `low`, every odd one from `high`.
        const int64_t evenFirst = (s + 1) / 2, evenLast = e / 2;
        const int64_t oddFirst = s / 2, oddLast = (e - 1) >> 1;  // k of place 2k + 1
        if (evenFirst <= evenLast && (!hasLow || evenFirst != lo0 || evenLast != lo1)) return false;
        if (oddFirst <= oddLast && (!hasHigh || oddFirst != hi0 || oddLast != hi1)) return false;
        if (want0 < s || want1 > e) return false;
        *first = static_cast<int>(s);
        *length = static_cast<int>(e - s + 1);
        return true;
    }

    int Rebuild(int node) {
        const SidTreeNode& n = tree_[node];
        const Window& w = window_[node];
        const Window* cw[4];
        const float* cs[4];
        for (int i = 0; i < 4; ++i) {
            cw[i] = &window_[n.child[i]];
            cs[i] = samples_[n.child[i]];
        }
        // Children 0 and 1 share their columns, 2 and 3 theirs.
        if (cw[0]->c0 != cw[1]->c0 || cw[0]->c1 != cw[1]->c1 || cw[2]->c0 != cw[3]->c0 ||
            cw[2]->c1 != cw[3]->c1)
            return kSidFailed;
        const int wh = w.Height(), wwid = w.Width();
        int rowFirst[2], rowLen[2];
        for (int g = 0; g < 2; ++g) {
            const Window& lo = *cw[2 * g];
            const Window& hi = *cw[2 * g + 1];
            const bool columns = cw[2 * g]->c0 <= cw[2 * g]->c1;
            if (!columns) continue;
            if (!Run(lo.Empty() ? 0 : lo.r0, lo.Empty() ? -1 : lo.r1, hi.Empty() ? 0 : hi.r0,
                     hi.Empty() ? -1 : hi.r1, w.r0, w.r1, &rowFirst[g], &rowLen[g]))
                return kSidFailed;
        }
        const Window& xl = *cw[0];
        const Window& xh = *cw[2];
        int colFirst, colLen;
        if (!Run(xl.c0, xl.c1, xh.c0, xh.c1, w.c0, w.c1, &colFirst, &colLen)) return kSidFailed;
        float* columnBlocks[2] = {nullptr, nullptr};
        const int longest = colLen;
        float* run = Floats(longest);
        float* work = Floats(longest + 2 * kSidSynthesisMargin);
        if (!run || !work) return kSidFailed;

        // Columns: the x-low and the x-high children, each synthesised down
        // its columns a whole row of samples at a time, kept row by row over
        // the node's rows.
        constexpr int m = kSidSynthesisMargin;
        float* columns[2] = {nullptr, nullptr};
        for (int g = 0; g < 2; ++g) {
            const Window& lo = *cw[2 * g];
            const Window& hi = *cw[2 * g + 1];
            if (lo.c0 > lo.c1) continue;
            if (!Ask(g, 2)) return kSidStopped;
            const int ncol = lo.Width();
            const size_t line = static_cast<size_t>(ncol);
            float* lines = Floats((int64_t{rowLen[g]} + 2 * m) * ncol);
            if (!lines) return kSidFailed;
            for (int k = 0; k < rowLen[g]; ++k) {
                const int place = rowFirst[g] + k;
                const float* src = (place & 1) ? cs[2 * g + 1] + int64_t{(place - 1) / 2 - hi.r0} * ncol
                                               : cs[2 * g] + int64_t{place / 2 - lo.r0} * ncol;
                std::memcpy(lines + (k + m) * line, src, sizeof(float) * line);
            }
            SidSynthesizeLines(lines, rowFirst[g], rowLen[g], line, ncol);
            columns[g] = lines + (w.r0 - rowFirst[g] + m) * line;
            columnBlocks[g] = lines;
        }
        for (int i = 0; i < 4; ++i) {
            SidFree(samples_[n.child[i]]);
            samples_[n.child[i]] = nullptr;
        }
        // Rows: x-low columns at even places, x-high at odd ones.
        float* out = Floats(int64_t{wwid} * wh);
        if (!out) return kSidFailed;
        samples_[node] = out;
        for (int y = 0; y < wh; ++y) {
            if (!Ask(y, wh)) return kSidStopped;
            for (int k = 0; k < colLen; ++k) {
                const int place = colFirst + k;
                run[k] = (place & 1) ? columns[1][int64_t{y} * xh.Width() + (place - 1) / 2 - xh.c0]
                                     : columns[0][int64_t{y} * xl.Width() + place / 2 - xl.c0];
            }
            SidSynthesize1D(run, colFirst, colLen, work);
            std::memcpy(out + int64_t{y} * wwid, run + (w.c0 - colFirst), sizeof(float) * static_cast<size_t>(wwid));
        }
        SidFree(columnBlocks[0]);
        SidFree(columnBlocks[1]);
        SidFree(run);
        SidFree(work);
        return kSidOk;
    }

    SidFile* file_;
    SidHeader header_;
    int level_;
    const SidProgress& progress_;
    float levelScale_ = 1.0f;
    int band_ = 0;
    std::vector<SidTreeNode> tree_;
    int root_ = 0;
    std::vector<Window> window_;
    std::vector<float*> samples_;
};

int Decode(const char* path, SidImage* image, const uint8_t* lookup, uint8_t* buffer,
           const SidProgress& progress) {
    FileCloser file{SidOpenFile(path)};
    if (!file.f) return kSidFailed;
    SidHeader h;
    if (SidReadHeader(file.f, &h) != kSidOk) return kSidFailed;
    // The file must still be the one the view was opened on.
    if (image->levels != static_cast<int>(h.levels) || image->width != static_cast<int>(h.width) ||
        image->height != static_cast<int>(h.height) || image->level < 0 || image->level > image->levels)
        return kSidFailed;
    const int64_t vw = int64_t{image->lastColumn} - image->firstColumn + 1;
    const int64_t vh = int64_t{image->lastRow} - image->firstRow + 1;
    if (vw <= 0 || vh <= 0) return kSidOk;
    const int64_t stride = image->stride;
    if (stride < vw * h.bands || vh > static_cast<int64_t>(kSidMaxViewBytes) / (vw * h.bands))
        return kSidFailed;
    const int lw = static_cast<int>(SidLevelSize(h.width, image->level));
    const int lh = static_cast<int>(SidLevelSize(h.height, image->level));
    Window w{std::max(image->firstColumn, 0), std::min(image->lastColumn, lw - 1),
             std::max(image->firstRow, 0), std::min(image->lastRow, lh - 1)};
    if (w.Empty() || w.c0 != image->firstColumn || w.c1 != image->lastColumn || w.r0 != image->firstRow ||
        w.r1 != image->lastRow)
        std::memset(buffer, 0, static_cast<size_t>(vh * stride));
    if (w.Empty()) return kSidOk;

    RegionDecoder decoder(file.f, h, image->level, progress);
    if (!decoder.BuildTree()) return kSidFailed;
    const int bands = static_cast<int>(h.bands);
    auto** planes = static_cast<float**>(SidCalloc(static_cast<size_t>(bands), sizeof(float*)));
    if (!planes) return kSidFailed;
    for (int b = 0; b < bands; ++b) {
        const int status = decoder.DecodeBand(b, w, &planes[b]);
        if (status != kSidOk) return status;
    }
    const int64_t n = int64_t{w.Width()} * w.Height();
    if (bands == 3) {
        for (int64_t i = 0; i < n; ++i)
            SidYiqToRgb(planes[0][i], planes[1][i], planes[2][i], &planes[0][i], &planes[1][i], &planes[2][i]);
    }
    const int rows = w.Height(), cols = w.Width();
    for (int b = 0; b < bands; ++b) {
        for (int r = 0; r < rows; ++r) {
            const float* src = planes[b] + int64_t{r} * cols;
            uint8_t* dst = buffer + (int64_t{w.r0} - image->firstRow + r) * stride +
                           (int64_t{w.c0} - image->firstColumn) * bands + b;
            for (int c = 0; c < cols; ++c) {
                const float v = src[c];
                // Truncated toward zero and clamped; NaN counts as 0.
                const int s = v > 0.0f ? (v < 255.0f ? static_cast<int>(v) : 255) : 0;
                dst[int64_t{c} * bands] = lookup ? lookup[s] : static_cast<uint8_t>(s);
            }
            if (!decoder.Ask(b * rows + r + 1, bands * rows)) return kSidStopped;
        }
    }
    return kSidOk;
}

}  // namespace

int SidDecodeRegion(const char* path, SidImage* image, const uint8_t* lookup, uint8_t* buffer,
                    const SidProgress& progress) {
    if (!image) return kSidFailed;
    int status;
    {
        // Whatever the decode leaves is freed when its heap goes.
        SidDecodeHeap heap;
        status = buffer ? Decode(path, image, lookup, buffer, progress) : kSidFailed;
    }
    // After a failure or a stop the caller holds no view.
    if (status != kSidOk) SidCloseImage(image);
    return status;
}
