// The layout of a MrSID file as our decoder reads it, written from
// quantised coefficients: header, subband directory, subband records with
// their blocks, each band's data of a block with its Huffman code, tiles.
//
// The band data of the blocks are independent of each other: they are
// sized, and then written into their places, by several threads at once.
// The bytes do not depend on the number of threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "formats/sid/sid_memory.h"

// The sizes of blocks and tiles the encoder writes.
constexpr uint32_t kSidBlockSize = 256;
constexpr uint32_t kSidTileSize = 64;

// Where the layout writer gets the quantised coefficients of a band. Read
// is called from several threads at once, for different rectangles.
class SidCoefficientSource {
public:
    virtual ~SidCoefficientSource() = default;
    // Columns [x0, x0 + w) and rows [y0, y0 + h) of a subband, row by row,
    // into out (w x h values). False stops the writer.
    virtual bool Read(int band, int subband, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h,
                      int32_t* out) = 0;
};

struct SidLayout {
    uint32_t bands = 1;  // 1 or 3
    uint32_t levels = 1;
    uint32_t width = 1;
    uint32_t height = 1;
    float quantisation = 1.0f;
    uint32_t blockSize = kSidBlockSize;
    uint32_t tileWidth = kSidTileSize;
    uint32_t tileHeight = kSidTileSize;
    uint8_t phaseX = 0;  // dither phases of every subband
    uint8_t phaseY = 0;
    int threads = 0;  // 0: one per processor (at most 8)
};

// One block of n items from sid_memory, freed when it goes.
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
        if (n > SIZE_MAX / sizeof(T) - 1) return false;
        p_ = static_cast<T*>(SidAlloc(std::max<size_t>(n, 1) * sizeof(T)));
        return p_ != nullptr;
    }
    T* get() const { return p_; }
    T& operator[](size_t i) const { return p_[i]; }

private:
    T* p_ = nullptr;
};

// The bytes of a file, in memory from sid_memory.
class SidBytes {
public:
    SidBytes() = default;
    SidBytes(const SidBytes&) = delete;
    SidBytes& operator=(const SidBytes&) = delete;
    // Room for exactly n bytes, which are then the content (uninitialised);
    // false when the allocation fails.
    bool Resize(size_t n);
    uint8_t* data() const { return bytes_.get(); }
    size_t size() const { return size_; }

private:
    SidArray<uint8_t> bytes_;
    size_t size_ = 0;
};

// f(i, t) for every i below n on up to `threads` threads, t the thread's
// number (0 to threads - 1; fewer threads run when no more can be had).
// False when any call returned false (the rest are then skipped).
bool SidParallelFor(size_t n, int threads, const std::function<bool(size_t, int)>& f);

// Writes the whole file of `layout` into *out, or, with out null, only
// counts its bytes into *size (size may be null when out is not).
// `estimate` counts without the 0x00 stuffed after 0xFF bytes of tile data,
// which only writing the bits tells: a little less, and faster. kSidFailed
// when the layout is not one the decoder reads, the source or an
// allocation fails, or the file would pass the format's 32-bit offsets.
int SidWriteLayout(const SidLayout& layout, SidCoefficientSource& source, SidBytes* out, uint64_t* size,
                   bool estimate = false);

// The code lengths (1 to 16) of a Huffman code for symbol frequencies
// (0 for a symbol not used), limited to 16 bits with one code point of the
// longest length kept free (ISO/IEC 10918-1, Annex K.2), as the counts per
// length and the symbols in code order. False when no symbol is used.
bool SidBuildCodeLengths(const uint32_t freq[256], uint8_t counts[16], uint8_t symbols[256]);
