#include "formats/sid/sid_layout.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <functional>
#include <queue>
#include <thread>
#include <vector>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_file.h"
#include "platform/byte_order.h"

bool SidBytes::Resize(size_t n) {
    size_ = 0;
    if (!bytes_.Allocate(n)) return false;
    size_ = n;
    return true;
}

bool SidParallelFor(size_t n, int threads, const std::function<bool(size_t, int)>& f) {
    std::atomic<size_t> next{0};
    std::atomic<bool> ok{true};
    auto run = [&](int t) {
        for (size_t i; ok.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < n;)
            if (!f(i, t)) ok = false;
    };
    std::vector<std::thread> others;
    const int wanted = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(threads, 1)), std::max<size_t>(n, 1)));
    for (int t = 1; t < wanted; ++t) {
        try {
            others.emplace_back(run, t);
        } catch (...) {
            break;  // the threads there are do the rest
        }
    }
    run(0);
    for (std::thread& t : others) t.join();
    return ok;
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

// Bytes at their places in the file, or only counted.
class Writer {
public:
    // At `at` of `file` (null: counting); `estimate` leaves out the 0x00
    // after 0xFF data bytes.
    Writer(uint8_t* file, uint64_t at, bool estimate) : file_(file), estimate_(estimate && !file), size_(at) {}
    uint64_t Size() const { return size_; }
    void Byte(uint8_t b) {
        if (file_) file_[size_] = b;
        ++size_;
    }
    void Bytes(const void* p, size_t n) {
        if (file_) std::memcpy(file_ + size_, p, n);
        size_ += n;
    }
    void BE32(uint32_t v) {
        uint8_t b[4];
        byte_order::StoreBe32(b, v);
        Bytes(b, 4);
    }
    void PatchBE32(uint64_t at, uint32_t v) {
        if (file_) byte_order::StoreBe32(file_ + at, v);
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
    uint8_t* file_;
    bool estimate_;
    uint64_t size_;
    uint64_t acc_ = 0;
    int bits_ = 0;
};

// The data of one band of one block of a subband.
struct Chunk {
    int subband;
    int band;
    uint32_t x0, y0, w, h;
    uint64_t size = 0;    // 0: all coefficients are 0, nothing written
    uint64_t offset = 0;  // in the file
};

// The working memory of one thread.
struct Worker {
    SidArray<int32_t> q;
    SidArray<Coded> coded;
    SidArray<uint32_t> tileSymbols;
    SidArray<int32_t> gather;
    size_t tileCapacity = 0;
    bool Allocate(const SidLayout& l) {
        const size_t blockArea = size_t{l.blockSize} * l.blockSize;
        tileCapacity = size_t{(l.blockSize + l.tileWidth - 1) / l.tileWidth} * ((l.blockSize + l.tileHeight - 1) / l.tileHeight);
        return q.Allocate(blockArea) && coded.Allocate(blockArea) && tileSymbols.Allocate(tileCapacity) &&
               gather.Allocate(size_t{l.tileWidth} * l.tileHeight);
    }
};

// A tile of cw x ch inside rows `stride` apart, in raster order.
size_t SymboliseTile(Worker& k, const int32_t* q, uint32_t stride, uint32_t cw, uint32_t ch, Coded* out) {
    if (stride == cw) return Symbolise(q, size_t{cw} * ch, out);
    for (uint32_t r = 0; r < ch; ++r)
        std::memcpy(k.gather.get() + size_t{r} * cw, q + size_t{r} * stride, sizeof(int32_t) * cw);
    return Symbolise(k.gather.get(), size_t{cw} * ch, out);
}

// Writes (or counts) a chunk's band data at the writer's place: marker,
// code, Q, tile size, tile offsets and tiles. Nothing when every
// coefficient is 0.
bool BandData(const SidLayout& l, SidCoefficientSource& source, Worker& k, const Chunk& c, Writer& w) {
    const uint32_t tw = l.tileWidth, th = l.tileHeight;
    const uint32_t across = (c.w + tw - 1) / tw, down = (c.h + th - 1) / th;
    if (size_t{across} * down > k.tileCapacity) return false;
    int32_t* q = k.q.get();
    if (!source.Read(c.band, c.subband, c.x0, c.y0, c.w, c.h, q)) return false;
    // The symbols of every tile, and their frequencies over the block.
    uint32_t freq[256] = {};
    size_t used = 0;
    for (uint32_t ty = 0; ty < down; ++ty)
        for (uint32_t tx = 0; tx < across; ++tx) {
            const uint32_t c0 = tx * tw, r0 = ty * th;
            const uint32_t cw = std::min(c.w, c0 + tw) - c0, ch = std::min(c.h, r0 + th) - r0;
            Coded* out = k.coded.get() + used;
            bool any = false;
            for (uint32_t r = 0; r < ch && !any; ++r) {
                const int32_t* row = q + size_t{r0 + r} * c.w + c0;
                for (uint32_t x = 0; x < cw && !any; ++x) any = row[x] != 0;
            }
            const size_t n = any ? SymboliseTile(k, q + size_t{r0} * c.w + c0, c.w, cw, ch, out) : 0;
            k.tileSymbols[size_t{ty} * across + tx] = static_cast<uint32_t>(n);
            for (size_t i = 0; i < n; ++i) ++freq[out[i].symbol];
            used += n;
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
    w.Bytes("\xFF\xAA", 2);
    w.Bytes(counts, 16);
    w.Bytes(symbols, static_cast<size_t>(nsym));
    w.BE32(std::bit_cast<uint32_t>(l.quantisation));
    w.BE32(tw);
    w.BE32(th);
    const uint64_t table = w.Size();
    for (uint32_t i = 0; i < across * down; ++i) w.BE32(0);
    const Coded* s = k.coded.get();
    for (uint32_t i = 0; i < across * down; ++i) {
        // Offsets are 32 bits.
        if (w.Size() > 0xFFFFFFFFu) return false;
        w.PatchBE32(table + 4 * uint64_t{i}, static_cast<uint32_t>(w.Size()));
        w.Bytes("\xFF\xA3", 2);
        const uint32_t n = k.tileSymbols[i];
        for (uint32_t j = 0; j < n; ++j, ++s) {
            w.Bits(codeOf[s->symbol], lengthOf[s->symbol]);
            if (s->extraBits) w.Bits(s->extra, s->extraBits);
        }
        w.EndBits();
        w.Bytes("\xFF\xD9", 2);
    }
    return true;
}

// f(i, worker) for every i below n, a worker to each thread.
bool RunParallel(size_t n, std::vector<Worker>& workers, const std::function<bool(size_t, Worker&)>& f) {
    return SidParallelFor(n, static_cast<int>(workers.size()),
                          [&](size_t i, int t) { return f(i, workers[static_cast<size_t>(t)]); });
}

}  // namespace

int SidWriteLayout(const SidLayout& l, SidCoefficientSource& source, SidBytes* out, uint64_t* size, bool estimate) {
    if (l.bands != 1 && l.bands != 3) return kSidFailed;
    if (l.blockSize < 1 || l.blockSize > 4096 || l.tileWidth < 1 || l.tileHeight < 1 ||
        uint64_t{l.tileWidth} * l.tileHeight > (1u << 24))
        return kSidFailed;
    const auto tree = SidBuildTree(l.width, l.height, static_cast<int>(l.levels));
    if (tree.empty()) return kSidFailed;
    const size_t leaves = 3 * size_t{l.levels} + 1;
    std::vector<const SidTreeNode*> leaf(leaves);
    for (const SidTreeNode& n : tree)
        if (n.subband >= 0) leaf[static_cast<size_t>(n.subband)] = &n;

    // Every band of every block, in file order.
    const uint32_t bs = l.blockSize;
    std::vector<uint32_t> blocks(leaves), across(leaves);
    std::vector<Chunk> chunks;
    for (size_t s = 0; s < leaves; ++s) {
        const SidTreeNode& n = *leaf[s];
        across[s] = n.width == 0 ? 0 : (n.width + bs - 1) / bs;
        const uint32_t down = n.height == 0 ? 0 : (n.height + bs - 1) / bs;
        blocks[s] = across[s] * down;
        for (uint32_t b = 0; b < blocks[s]; ++b) {
            const uint32_t x0 = b % across[s] * bs, y0 = b / across[s] * bs;
            for (uint32_t k = 0; k < l.bands; ++k)
                chunks.push_back({static_cast<int>(s), static_cast<int>(k), x0, y0, std::min(n.width, x0 + bs) - x0,
                                  std::min(n.height, y0 + bs) - y0});
        }
    }
    size_t threads = l.threads > 0 ? static_cast<size_t>(l.threads)
                                   : std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    threads = std::max<size_t>(1, std::min(threads, chunks.size()));
    // Working memory comes from the calling thread, before any other starts.
    std::vector<Worker> workers(threads);
    for (Worker& k : workers)
        if (!k.Allocate(l)) return kSidFailed;

    // Sizes, then places.
    if (!RunParallel(chunks.size(), workers, [&](size_t i, Worker& k) {
            Writer w(nullptr, 0, estimate && !out);
            if (!BandData(l, source, k, chunks[i], w)) return false;
            chunks[i].size = w.Size();
            return true;
        }))
        return kSidFailed;
    const uint64_t entrySize = (uint64_t{l.bands} + 4) * 4;
    uint64_t at = kSidHeaderSize + 4 * uint64_t{leaves};
    std::vector<uint64_t> record(leaves);
    size_t c = 0;
    for (size_t s = 0; s < leaves; ++s) {
        record[s] = at;
        at += 8 + blocks[s] * entrySize;
        for (uint32_t b = 0; b < blocks[s] * l.bands; ++b, ++c) {
            chunks[c].offset = chunks[c].size ? at : 0;
            at += chunks[c].size;
        }
    }
    // Every offset in the file is 32 bits.
    if (at > 0xFFFFFFFFu) return kSidFailed;
    if (size) *size = at;
    if (!out) return kSidOk;

    if (!out->Resize(static_cast<size_t>(at))) return kSidFailed;
    Writer w(out->data(), 0, false);
    w.Bytes("msid", 4);
    const uint8_t version[3] = {1, 0, 1};
    w.Bytes(version, 3);
    for (uint32_t v : {l.bands, l.levels, l.width, l.height}) w.BE32(v);
    for (size_t s = 0; s < leaves; ++s) w.BE32(static_cast<uint32_t>(record[s]));
    c = 0;
    for (size_t s = 0; s < leaves; ++s) {
        Writer r(out->data(), record[s], false);
        r.Bytes("\xFF\xAC", 2);
        r.Byte(l.phaseX);
        r.Byte(l.phaseY);
        r.BE32(blocks[s]);
        for (uint32_t b = 0; b < blocks[s]; ++b) {
            for (uint32_t k = 0; k < l.bands; ++k, ++c) r.BE32(static_cast<uint32_t>(chunks[c].offset));
            const Chunk& first = chunks[c - l.bands];
            for (uint32_t v : {first.x0, first.y0, first.x0 + first.w - 1, first.y0 + first.h - 1}) r.BE32(v);
        }
    }
    return RunParallel(chunks.size(), workers, [&](size_t i, Worker& k) {
               if (!chunks[i].size) return true;
               Writer cw(out->data(), chunks[i].offset, false);
               return BandData(l, source, k, chunks[i], cw) && cw.Size() == chunks[i].offset + chunks[i].size;
           })
               ? kSidOk
               : kSidFailed;
}
