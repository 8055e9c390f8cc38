#include "formats/sid/sid_encode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <queue>
#include <vector>

#include "formats/sid/sid_file.h"
#include "formats/sid/sid_memory.h"
#include "platform/byte_order.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

int SidEncodeLevels(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return 0;
    uint32_t side = std::max(width, height);
    int levels = 0;
    do {
        side = side - side / 2;
        ++levels;
    } while (side > kSidCoarsestSide && levels < static_cast<int>(kSidMaxLevels));
    return levels;
}

// ---- memory ----

namespace {

// One block from sid_memory, freed when it goes.
template <typename T>
class SidArray {
public:
    SidArray() = default;
    ~SidArray() { SidFree(p_); }
    SidArray(const SidArray&) = delete;
    SidArray& operator=(const SidArray&) = delete;
    bool Allocate(size_t n) {
        SidFree(p_);
        p_ = nullptr;
        if (n > SIZE_MAX / sizeof(T)) return false;
        p_ = static_cast<T*>(SidAlloc(std::max<size_t>(n, 1) * sizeof(T)));
        return p_ != nullptr;
    }
    T* get() const { return p_; }
    T& operator[](size_t i) const { return p_[i]; }

private:
    T* p_ = nullptr;
};

}  // namespace

SidBytes::~SidBytes() { SidFree(data_); }

bool SidBytes::Reserve(size_t n) {
    if (n <= capacity_) return true;
    auto* p = static_cast<uint8_t*>(SidAlloc(n));
    if (!p) return false;
    if (size_) std::memcpy(p, data_, size_);
    SidFree(data_);
    data_ = p;
    capacity_ = n;
    return true;
}

// ---- Huffman code lengths ----

bool SidBuildCodeLengths(const uint32_t freq[256], uint8_t counts[16], uint8_t symbols[256]) {
    // Huffman's construction over the used symbols and one reserved symbol
    // of the least weight, whose code point is dropped at the end so that no
    // code is all ones (padding bits never form a symbol).
    struct Node {
        uint64_t weight;
        int order;  // ties: the later-made node first, then the higher symbol
        int parent;
    };
    std::vector<Node> nodes;
    nodes.reserve(2 * 257);
    int used = 0;
    for (int s = 0; s < 256; ++s)
        if (freq[s]) {
            nodes.push_back({freq[s], s, -1});
            ++used;
        }
    if (used == 0) return false;
    nodes.push_back({1, 256, -1});  // the reserved code point
    const int leaves = static_cast<int>(nodes.size());
    auto later = [&](int a, int b) {
        if (nodes[a].weight != nodes[b].weight) return nodes[a].weight > nodes[b].weight;
        return nodes[a].order < nodes[b].order;
    };
    std::priority_queue<int, std::vector<int>, decltype(later)> heap(later);
    for (int i = 0; i < leaves; ++i) heap.push(i);
    int made = 257;
    while (heap.size() > 1) {
        const int a = heap.top();
        heap.pop();
        const int b = heap.top();
        heap.pop();
        nodes.push_back({nodes[a].weight + nodes[b].weight, made++, -1});
        const int p = static_cast<int>(nodes.size()) - 1;
        nodes[a].parent = p;
        nodes[b].parent = p;
        heap.push(p);
    }
    // Code sizes by depth, then counts per size.
    std::vector<int> size(static_cast<size_t>(leaves));
    int bits[600] = {};
    for (int i = 0; i < leaves; ++i) {
        int d = 0;
        for (int n = i; nodes[n].parent >= 0; n = nodes[n].parent) ++d;
        size[static_cast<size_t>(i)] = d;
        ++bits[d];
    }
    // Annex K.2, Figure K.3: no code longer than 16 bits.
    for (int i = 599; i > 16; --i) {
        while (bits[i] > 0) {
            int j = i - 2;
            while (bits[j] == 0) --j;
            bits[i] -= 2;
            bits[i - 1] += 1;
            bits[j + 1] += 2;
            bits[j] -= 1;
        }
    }
    // Drop the reserved code point: the last code of the longest length.
    int longest = 16;
    while (bits[longest] == 0) --longest;
    --bits[longest];
    // Symbols by their code size before the limit, then by value (Annex K.2,
    // Figure K.4), handed out to the lengths in order.
    std::vector<std::pair<int, int>> bySize;
    for (int i = 0; i < leaves; ++i)
        if (nodes[i].order < 256) bySize.push_back({size[static_cast<size_t>(i)], nodes[i].order});
    std::sort(bySize.begin(), bySize.end());
    for (int len = 1; len <= 16; ++len) counts[len - 1] = static_cast<uint8_t>(bits[len]);
    for (int k = 0; k < used; ++k) symbols[k] = static_cast<uint8_t>(bySize[static_cast<size_t>(k)].second);
    return true;
}

// ---- the layout ----

namespace {

// A coded symbol with the raw bits that follow it.
struct Coded {
    uint8_t symbol;
    uint8_t extraBits;
    uint16_t extra;
};

// The symbols of one tile's coefficients in raster order; the count.
size_t Symbolise(const int32_t* q, size_t n, Coded* out) {
    size_t k = 0, i = 0;
    while (i < n) {
        const int32_t v = q[i];
        if (v != 0) {
            if (v >= -73 && v <= 75) {
                out[k++] = {static_cast<uint8_t>(v + 180), 0, 0};
            } else {
                const uint32_t m = static_cast<uint32_t>(v < 0 ? -int64_t{v} : v);
                if (m <= 255) out[k++] = {static_cast<uint8_t>(v < 0 ? 102 : 101), 8, static_cast<uint16_t>(m)};
                else out[k++] = {static_cast<uint8_t>(v < 0 ? 104 : 103), 16, static_cast<uint16_t>(m)};
            }
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < n && q[i + run] == 0 && run < 65535) ++run;
        if (run <= 100) out[k++] = {static_cast<uint8_t>(run), 0, 0};
        else if (run <= 255) out[k++] = {105, 8, static_cast<uint16_t>(run)};
        else out[k++] = {106, 16, static_cast<uint16_t>(run)};
        i += run;
    }
    return k;
}

}  // namespace

// Bytes to a SidBytes whose room was reserved, or only counted.
class SidLayoutWriter {
public:
    // Without `out`, counts the bytes; with `estimate` too, leaves out the
    // 0x00 after 0xFF data bytes, which only writing the bits tells.
    explicit SidLayoutWriter(SidBytes* out, bool estimate = false) : out_(out), estimate_(estimate && !out) {}
    uint64_t Size() const { return size_; }
    void Byte(uint8_t b) {
        if (out_) out_->data_[out_->size_++] = b;
        ++size_;
    }
    void Bytes(const void* p, size_t n) {
        if (out_) {
            std::memcpy(out_->data_ + out_->size_, p, n);
            out_->size_ += n;
        }
        size_ += n;
    }
    void BE32(uint32_t v) {
        uint8_t b[4];
        byte_order::StoreBe32(b, v);
        Bytes(b, 4);
    }
    void PatchBE32(uint64_t at, uint32_t v) {
        if (out_) byte_order::StoreBe32(out_->data_ + at, v);
    }
    // Tile data: the bits MSB first, 0x00 after every 0xFF byte.
    void Bits(uint32_t v, int n) {
        if (estimate_) {
            bits_ += n;
            size_ += static_cast<uint64_t>(bits_ >> 3);
            bits_ &= 7;
            return;
        }
        acc_ = (acc_ << n) | (v & ((uint64_t{1} << n) - 1));
        bits_ += n;
        while (bits_ >= 8) {
            bits_ -= 8;
            const uint8_t b = static_cast<uint8_t>(acc_ >> bits_);
            Byte(b);
            if (b == 0xFF) Byte(0);
        }
        acc_ &= (uint64_t{1} << bits_) - 1;
    }
    // Pads the last byte with 1 bits.
    void EndBits() {
        if (bits_) Bits((1u << (8 - bits_)) - 1, 8 - bits_);
    }

private:
    SidBytes* out_;
    bool estimate_;
    uint64_t size_ = 0;
    uint64_t acc_ = 0;
    int bits_ = 0;
};

namespace {

class Layout {
public:
    Layout(const SidLayout& layout, SidCoefficientSource& source, SidLayoutWriter& w)
        : l_(layout), source_(source), w_(w) {}

    bool Write() {
        if (l_.bands != 1 && l_.bands != 3) return false;
        if (l_.blockSize < 1 || l_.tileWidth < 1 || l_.tileHeight < 1) return false;
        const auto tree = SidBuildTree(l_.width, l_.height, static_cast<int>(l_.levels));
        if (tree.empty()) return false;
        const int leaves = 3 * static_cast<int>(l_.levels) + 1;
        std::vector<const SidTreeNode*> leaf(static_cast<size_t>(leaves));
        for (const SidTreeNode& n : tree)
            if (n.subband >= 0) leaf[static_cast<size_t>(n.subband)] = &n;
        const uint64_t blockArea = uint64_t{l_.blockSize} * l_.blockSize;
        const uint64_t tileArea = uint64_t{l_.tileWidth} * l_.tileHeight;
        if (blockArea > (1u << 26) || tileArea > (1u << 24)) return false;
        if (!q_.Allocate(blockArea) || !coded_.Allocate(blockArea) || !gather_.Allocate(tileArea) ||
            !tileSymbols_.Allocate(size_t{l_.blockSize / std::min(l_.blockSize, l_.tileWidth) + 1} *
                                   (l_.blockSize / std::min(l_.blockSize, l_.tileHeight) + 1)))
            return false;
        tileCapacity_ = size_t{l_.blockSize / std::min(l_.blockSize, l_.tileWidth) + 1} *
                        (l_.blockSize / std::min(l_.blockSize, l_.tileHeight) + 1);

        // Header.
        w_.Bytes("msid", 4);
        const uint8_t version[3] = {1, 0, 1};
        w_.Bytes(version, 3);
        for (uint32_t v : {l_.bands, l_.levels, l_.width, l_.height}) w_.BE32(v);
        const uint64_t directory = w_.Size();
        for (int s = 0; s < leaves; ++s) w_.BE32(0);
        for (int s = 0; s < leaves; ++s) {
            if (!Fits()) return false;
            w_.PatchBE32(directory + 4 * static_cast<uint64_t>(s), static_cast<uint32_t>(w_.Size()));
            if (!Subband(s, *leaf[static_cast<size_t>(s)])) return false;
        }
        return Fits();
    }

private:
    // Offsets are 32 bits.
    bool Fits() const { return w_.Size() <= 0xFFFFFFFFu; }

    bool Subband(int s, const SidTreeNode& n) {
        const uint32_t bs = l_.blockSize;
        const uint32_t across = n.width == 0 ? 0 : (n.width + bs - 1) / bs;
        const uint32_t down = n.height == 0 ? 0 : (n.height + bs - 1) / bs;
        const uint32_t blocks = across * down;
        w_.Bytes("\xFF\xAC", 2);
        w_.Byte(l_.phaseX);
        w_.Byte(l_.phaseY);
        w_.BE32(blocks);
        const uint64_t entries = w_.Size();
        const uint64_t entrySize = (uint64_t{l_.bands} + 4) * 4;
        for (uint32_t b = 0; b < blocks; ++b) {
            const uint32_t bx = b % across, by = b / across;
            for (uint32_t k = 0; k < l_.bands; ++k) w_.BE32(0);
            w_.BE32(bx * bs);
            w_.BE32(by * bs);
            w_.BE32(std::min(n.width, (bx + 1) * bs) - 1);
            w_.BE32(std::min(n.height, (by + 1) * bs) - 1);
        }
        for (uint32_t b = 0; b < blocks; ++b) {
            const uint32_t bx = b % across, by = b / across;
            const uint32_t x0 = bx * bs, y0 = by * bs;
            const uint32_t bw = std::min(n.width, x0 + bs) - x0, bh = std::min(n.height, y0 + bs) - y0;
            for (uint32_t k = 0; k < l_.bands; ++k) {
                if (!Fits()) return false;
                const uint64_t at = w_.Size();
                bool written = false;
                if (!Band(static_cast<int>(k), s, x0, y0, bw, bh, &written)) return false;
                if (written) w_.PatchBE32(entries + b * entrySize + 4 * k, static_cast<uint32_t>(at));
            }
        }
        return true;
    }

    // The data of one band of one block, unless all its coefficients are 0.
    bool Band(int band, int s, uint32_t x0, uint32_t y0, uint32_t bw, uint32_t bh, bool* written) {
        const uint32_t tw = l_.tileWidth, th = l_.tileHeight;
        const uint32_t across = (bw + tw - 1) / tw, down = (bh + th - 1) / th;
        if (size_t{across} * down > tileCapacity_) return false;
        int32_t* q = q_.get();
        if (!source_.Read(band, s, x0, y0, bw, bh, q)) return false;
        // The symbols of every tile, and their frequencies over the block.
        uint32_t freq[256] = {};
        size_t used = 0;
        for (uint32_t ty = 0; ty < down; ++ty)
            for (uint32_t tx = 0; tx < across; ++tx) {
                const uint32_t c0 = tx * tw, r0 = ty * th;
                const uint32_t cw = std::min(bw, c0 + tw) - c0, ch = std::min(bh, r0 + th) - r0;
                Coded* out = coded_.get() + used;
                size_t k = 0;
                bool any = false;
                for (uint32_t r = 0; r < ch && !any; ++r) {
                    const int32_t* row = q + size_t{r0 + r} * bw + c0;
                    for (uint32_t c = 0; c < cw; ++c)
                        if (row[c]) {
                            any = true;
                            break;
                        }
                }
                if (any) k = SymboliseTile(q + size_t{r0} * bw + c0, bw, cw, ch, out);
                tileSymbols_[size_t{ty} * across + tx] = static_cast<uint32_t>(k);
                for (size_t i = 0; i < k; ++i) ++freq[out[i].symbol];
                used += k;
            }
        if (used == 0) return true;
        uint8_t counts[16], symbols[256];
        if (!SidBuildCodeLengths(freq, counts, symbols)) return false;
        const int nsym = SidHuffman::SymbolCount(counts);
        uint16_t codes[256];
        uint8_t lengths[256];
        if (!SidAssignCodes(counts, codes, lengths)) return false;
        uint16_t codeOf[256] = {};
        uint8_t lengthOf[256] = {};
        for (int i = 0; i < nsym; ++i) {
            codeOf[symbols[i]] = codes[i];
            lengthOf[symbols[i]] = lengths[i];
        }
        *written = true;
        w_.Bytes("\xFF\xAA", 2);
        w_.Bytes(counts, 16);
        w_.Bytes(symbols, static_cast<size_t>(nsym));
        w_.BE32(std::bit_cast<uint32_t>(l_.quantisation));
        w_.BE32(tw);
        w_.BE32(th);
        const uint64_t table = w_.Size();
        for (uint32_t i = 0; i < across * down; ++i) w_.BE32(0);
        const Coded* c = coded_.get();
        for (uint32_t i = 0; i < across * down; ++i) {
            if (!Fits()) return false;
            w_.PatchBE32(table + 4 * uint64_t{i}, static_cast<uint32_t>(w_.Size()));
            w_.Bytes("\xFF\xA3", 2);
            const uint32_t k = tileSymbols_[i];
            for (uint32_t j = 0; j < k; ++j, ++c) {
                w_.Bits(codeOf[c->symbol], lengthOf[c->symbol]);
                if (c->extraBits) w_.Bits(c->extra, c->extraBits);
            }
            w_.EndBits();
            w_.Bytes("\xFF\xD9", 2);
        }
        return true;
    }

    // A tile of cw x ch inside rows `stride` apart, in raster order.
    size_t SymboliseTile(const int32_t* q, uint32_t stride, uint32_t cw, uint32_t ch, Coded* out) {
        if (stride == cw) return Symbolise(q, size_t{cw} * ch, out);
        for (uint32_t r = 0; r < ch; ++r)
            std::memcpy(gather_.get() + size_t{r} * cw, q + size_t{r} * stride, sizeof(int32_t) * cw);
        return Symbolise(gather_.get(), size_t{cw} * ch, out);
    }

    const SidLayout& l_;
    SidCoefficientSource& source_;
    SidLayoutWriter& w_;
    SidArray<int32_t> q_;
    SidArray<Coded> coded_;
    SidArray<uint32_t> tileSymbols_;
    SidArray<int32_t> gather_;
    size_t tileCapacity_ = 0;
};

}  // namespace

namespace {

// The file's size without the stuffed bytes of tile data, which is all a
// search for Q needs (they are a fraction of a percent).
int EstimateLayout(const SidLayout& layout, SidCoefficientSource& source, uint64_t* size) {
    SidLayoutWriter writer(nullptr, true);
    Layout l(layout, source, writer);
    if (!l.Write()) return kSidFailed;
    *size = writer.Size();
    return kSidOk;
}

}  // namespace

namespace {

// Writes the file into room for exactly `n` bytes, n from a count before.
int WriteCounted(const SidLayout& layout, SidCoefficientSource& source, uint64_t n, SidBytes* out) {
    if (n > SIZE_MAX || !out->Reserve(static_cast<size_t>(n))) return kSidFailed;
    SidLayoutWriter writer(out);
    Layout l(layout, source, writer);
    return l.Write() && writer.Size() == n ? kSidOk : kSidFailed;
}

}  // namespace

int SidWriteLayout(const SidLayout& layout, SidCoefficientSource& source, SidBytes* out, uint64_t* size) {
    // Count first, then (with `out`) write into exactly that room.
    SidLayoutWriter counter(nullptr);
    Layout l(layout, source, counter);
    if (!l.Write()) return kSidFailed;
    if (out && WriteCounted(layout, source, counter.Size(), out) != kSidOk) return kSidFailed;
    if (size) *size = counter.Size();
    return kSidOk;
}

// ---- encoding an image ----

namespace {

// The coefficients of every band in one plane each, subbands where the
// analysis leaves them: child 1 of a node below child 0, child 2 to its
// right, child 3 below that.
class Coefficients : public SidCoefficientSource {
public:
    bool Prepare(uint32_t width, uint32_t height, uint32_t bands, int levels) {
        width_ = width;
        height_ = height;
        bands_ = bands;
        tree_ = SidBuildTree(width, height, levels);
        if (tree_.empty()) return false;
        leafX_.assign(3 * static_cast<size_t>(levels) + 1, 0);
        leafY_.assign(leafX_.size(), 0);
        weight_.assign(leafX_.size(), 1.0f);
        Place(0, 0, 0);
        const size_t n = size_t{width} * height;
        for (uint32_t b = 0; b < bands; ++b)
            if (!plane_[b].Allocate(n)) return false;
        return true;
    }

    // Band b from 8-bit pixels: Y, I, Q for three bands; the first band
    // +0.5 so that the decoder's truncation rounds.
    bool Load(uint32_t b, const uint8_t* pixels, size_t stride) {
        float* p = plane_[b].get();
        for (uint32_t y = 0; y < height_; ++y) {
            const uint8_t* row = pixels + y * stride;
            float* dst = p + size_t{y} * width_;
            if (bands_ == 1) {
                for (uint32_t x = 0; x < width_; ++x) dst[x] = static_cast<float>(row[x]) + 0.5f;
                continue;
            }
            const float* m = kSidRgbToYiq[b];
            const float add = b == 0 ? 0.5f : 0.0f;
            for (uint32_t x = 0; x < width_; ++x) {
                const uint8_t* s = row + 3 * size_t{x};
                dst[x] = m[0] * s[0] + m[1] * s[1] + m[2] * s[2] + add;
            }
        }
        return true;
    }

    // Every level of 2-D analysis of band b: rows, then columns.
    bool Analyse(uint32_t b) {
        float* p = plane_[b].get();
        constexpr int m = kSidSynthesisMargin;
        constexpr uint32_t strip = 64;
        const uint32_t longest = std::max(width_, height_);
        SidArray<float> run, work, half, lines;
        if (!run.Allocate(longest) || !work.Allocate(longest + 2 * m) || !half.Allocate(longest) ||
            !lines.Allocate((size_t{height_} + 2 * m) * strip))
            return false;
        for (int node = 0; tree_[node].child[0] >= 0; node = tree_[node].child[0]) {
            const uint32_t w = tree_[node].width, h = tree_[node].height;
            const uint32_t wl = w - w / 2, hl = h - h / 2;
            for (uint32_t y = 0; y < h; ++y) {
                float* row = p + size_t{y} * width_;
                std::memcpy(run.get(), row, sizeof(float) * w);
                SidAnalyze1D(run.get(), 0, static_cast<int>(w), work.get());
                for (uint32_t x = 0; x < w; ++x) row[(x & 1) ? wl + x / 2 : x / 2] = run[x];
            }
            for (uint32_t x0 = 0; x0 < w; x0 += strip) {
                const uint32_t n = std::min(strip, w - x0);
                for (uint32_t y = 0; y < h; ++y)
                    std::memcpy(lines.get() + (size_t{y} + m) * n, p + size_t{y} * width_ + x0, sizeof(float) * n);
                SidAnalyzeLines(lines.get(), 0, static_cast<int>(h), n, static_cast<int>(n));
                for (uint32_t y = 0; y < h; ++y)
                    std::memcpy(p + size_t{(y & 1) ? hl + y / 2 : y / 2} * width_ + x0,
                                lines.get() + (size_t{y} + m) * n, sizeof(float) * n);
            }
        }
        return true;
    }

    // The largest step magnitude of any subband: the Q at which every
    // quantised value fits in 16 bits (dither included).
    float FinestStep() const {
        double q = 0;
        for (size_t s = 0; s < leafX_.size(); ++s) {
            const SidTreeNode& n = *leafNode_[s];
            float big = 0;
            for (uint32_t b = 0; b < bands_; ++b)
                for (uint32_t y = 0; y < n.height; ++y) {
                    const float* row = plane_[b].get() + size_t{leafY_[s] + y} * width_ + leafX_[s];
                    for (uint32_t x = 0; x < n.width; ++x) big = std::max(big, std::fabs(row[x]));
                }
            // |c| / t + 0.44 + 0.21 (the largest dither) below 32767.
            q = std::max(q, double{big} * weight_[s] / 32766.0);
        }
        return static_cast<float>(std::max(q, 1e-6));
    }

    void SetQuantisation(float q) { quantisation_ = q; }

    bool Read(int band, int subband, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, int32_t* out) override {
        const size_t s = static_cast<size_t>(subband);
        // The step RegionDecoder uses at level 0.
        const float t = quantisation_ / weight_[s];
        const float inverse = 1.0f / t;
        const float* base = plane_[band].get() + size_t{leafY_[s] + y0} * width_ + leafX_[s] + x0;
        for (uint32_t y = 0; y < h; ++y) {
            const float* src = base + size_t{y} * width_;
            int32_t* dst = out + size_t{y} * w;
            for (uint32_t x = 0; x < w; ++x) dst[x] = Quantise(src[x], inverse);
            // The first band carries the dither the decoder removes; the
            // table is zero past its first two rows and ten columns.
            if (band == 0 && ((y0 + y) % 128) < 2)
                for (uint32_t x = 0; x < w; ++x) {
                    const float d = SidDither(x0 + x, y0 + y);
                    if (d != 0.0f) dst[x] = Quantise(src[x] + t * d, inverse);
                }
        }
        return true;
    }

private:
    // The inverse of SidDequantise: (|q| + 0.06) t holds [|q| - 0.44, |q| + 0.56) t.
    // At most 32767, so that 16 bits hold every value.
    static int32_t Quantise(float c, float inverse) {
        const float a = std::min(std::fabs(c) * inverse + 0.44f, 32767.0f);
        const int32_t q = static_cast<int32_t>(a);  // a >= 0: truncation is floor
        return c < 0 ? -q : q;
    }

    void Place(int node, uint32_t x, uint32_t y) {
        const SidTreeNode& n = tree_[node];
        if (n.child[0] < 0) {
            const size_t s = static_cast<size_t>(n.subband);
            leafX_[s] = x;
            leafY_[s] = y;
            weight_[s] = n.weight;
            if (leafNode_.size() < leafX_.size()) leafNode_.resize(leafX_.size());
            leafNode_[s] = &n;
            return;
        }
        const uint32_t wl = n.width - n.width / 2, hl = n.height - n.height / 2;
        for (int i = 0; i < 4; ++i) Place(n.child[i], x + (i >= 2 ? wl : 0), y + ((i & 1) ? hl : 0));
    }

    uint32_t width_ = 0, height_ = 0, bands_ = 0;
    std::vector<SidTreeNode> tree_;
    std::vector<uint32_t> leafX_, leafY_;
    std::vector<float> weight_;
    std::vector<const SidTreeNode*> leafNode_;
    SidArray<float> plane_[3];
    float quantisation_ = 1.0f;
};

bool RatioIsValid(double r) { return std::isfinite(r) && r > 1.0; }

int Encode(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bands, size_t stride,
           const SidEncodeSettings& settings, SidBytes* file, SidEncodeStats* stats) {
    if (!pixels || !file || width == 0 || height == 0 || width > kSidMaxSize || height > kSidMaxSize ||
        (bands != 1 && bands != 3) || stride < size_t{width} * bands)
        return kSidFailed;
    const bool givenStep = settings.quantisation > 0.0f && std::isfinite(settings.quantisation);
    if (!givenStep && !RatioIsValid(settings.ratio)) return kSidFailed;
    SidLayout layout;
    layout.bands = bands;
    layout.levels = static_cast<uint32_t>(SidEncodeLevels(width, height));
    layout.width = width;
    layout.height = height;

    Coefficients c;
    if (!c.Prepare(width, height, bands, static_cast<int>(layout.levels))) return kSidFailed;
    for (uint32_t b = 0; b < bands; ++b)
        if (!c.Load(b, pixels, stride) || !c.Analyse(b)) return kSidFailed;
    const float finest = c.FinestStep();
    SidEncodeStats st;
    st.finestStep = finest;

    auto sizeAt = [&](float q, uint64_t* n) {
        c.SetQuantisation(q);
        layout.quantisation = q;
        ++st.trials;
        return EstimateLayout(layout, c, n) == kSidOk;
    };
    float q = finest;
    if (givenStep) {
        q = std::max(settings.quantisation, finest);
    } else {
        const double raw = static_cast<double>(width) * height * bands;
        const uint64_t target = static_cast<uint64_t>(raw / settings.ratio);
        st.target = target;
        // Bracket the target between lo (too big) and hi (small enough),
        // starting from a Q that suits photographs at about 20:1; then
        // narrow it in log Q, guessing by the slope of log size over log Q.
        double lo = 0, hi = 0, loSize = 0, hiSize = 0;
        double at = std::max<double>(finest, 16.0);
        uint64_t n;
        if (!sizeAt(static_cast<float>(at), &n)) return kSidFailed;
        bool bracketed = false, useFinest = false;
        if (n <= target) {
            hi = at, hiSize = static_cast<double>(n);
            while (!bracketed) {
                if (hi <= finest) {
                    useFinest = true;  // compresses further even at the finest step
                    break;
                }
                at = std::max<double>(finest, hi / 4);
                if (!sizeAt(static_cast<float>(at), &n)) return kSidFailed;
                if (n <= target) hi = at, hiSize = static_cast<double>(n);
                else lo = at, loSize = static_cast<double>(n), bracketed = true;
            }
        } else {
            lo = at, loSize = static_cast<double>(n);
            for (int i = 0; i < 64 && !bracketed; ++i) {
                at = lo * 4;
                if (!sizeAt(static_cast<float>(at), &n)) return kSidFailed;
                if (n <= target) hi = at, hiSize = static_cast<double>(n), bracketed = true;
                else if (static_cast<double>(n) >= loSize) break;  // the structure alone passes the target
                else lo = at, loSize = static_cast<double>(n);
            }
            useFinest = !bracketed;
        }
        if (useFinest) {
            q = finest;
        } else {
            for (int i = 0; i < 24; ++i) {
                if (hiSize >= 0.98 * target || hi / lo < 1.0005) break;
                double guess;
                const double ls = std::log(loSize), hs = std::log(hiSize), t = std::log(double(target) * 0.99);
                if (i % 3 == 2 || ls <= hs) guess = std::sqrt(lo * hi);
                else guess = std::exp(std::log(lo) + (std::log(hi) - std::log(lo)) * (ls - t) / (ls - hs));
                guess = std::clamp(guess, lo * 1.0001, hi / 1.0001);
                if (!sizeAt(static_cast<float>(guess), &n)) return kSidFailed;
                if (n <= target) hi = guess, hiSize = static_cast<double>(n);
                else lo = guess, loSize = static_cast<double>(n);
            }
            q = static_cast<float>(hi);
        }
    }
    // The stuffed bytes may push the file past the target: a little
    // coarser until it fits.
    for (int i = 0;; ++i) {
        c.SetQuantisation(q);
        layout.quantisation = q;
        if (SidWriteLayout(layout, c, nullptr, &st.bytes) != kSidOk) return kSidFailed;
        if (givenStep || st.target == 0 || st.bytes <= st.target || q == finest || i == 20) break;
        q = q * 1.005f;
    }
    if (WriteCounted(layout, c, st.bytes, file) != kSidOk) return kSidFailed;
    st.quantisation = q;
    st.peakBytes = SidGetMemoryCounters().requestedPeak;
    if (stats) *stats = st;
    return kSidOk;
}

}  // namespace

int SidEncodeImage(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bands, size_t stride,
                   const SidEncodeSettings& settings, SidBytes* file, SidEncodeStats* stats) {
    return Encode(pixels, width, height, bands, stride, settings, file, stats);
}

int SidEncodeFile(const char* path, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bands,
                  size_t stride, const SidEncodeSettings& settings, SidEncodeStats* stats) {
    if (!path) return kSidFailed;
    SidBytes file;
    if (Encode(pixels, width, height, bands, stride, settings, &file, stats) != kSidOk) return kSidFailed;
    return fs::WriteWholeFile(text::FromUtf8(path), file.data(), file.size()) ? kSidOk : kSidFailed;
}
