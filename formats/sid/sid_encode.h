// The MrSID encoder: the exact inverse of our decoder (sid_decode.h).
//
// An image of 1 or 3 bands of 8-bit samples becomes a generation-2 file:
// colour to Y, I, Q (three bands), L levels of 9/7 analysis (rows, then
// columns), a dead-zone quantiser whose step per subband is Q over the
// subband's weight (dither added to the first band), blocks of 256 x 256,
// tiles of 64 x 64 and one Huffman code per block and band. Q is the one
// number chosen: by bisection on the exact file size for a compression
// ratio, or given.
//
// All working memory comes from sid_memory (SidAlloc), so its counters show
// the encoder's peak and its failure injection reaches every allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/sid/sid_decode.h"

// The sizes of blocks and tiles the encoder writes.
constexpr uint32_t kSidBlockSize = 256;
constexpr uint32_t kSidTileSize = 64;
// The longest side of the coarsest level the encoder aims at.
constexpr uint32_t kSidCoarsestSide = 256;

// The smallest L >= 1 for which the coarsest level's longer side is at most
// kSidCoarsestSide (never above kSidMaxLevels); 0 for an empty size.
int SidEncodeLevels(uint32_t width, uint32_t height);

// ---- the layout: quantised coefficients to file bytes ----

// Where the layout writer gets the quantised coefficients of a band.
class SidCoefficientSource {
public:
    virtual ~SidCoefficientSource() = default;
    // Columns [x0, x0 + w) and rows [y0, y0 + h) of a subband, row by row,
    // into out (w x h values). False stops the writer (a failed allocation).
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
};

// Growable bytes in memory from sid_memory.
class SidBytes {
public:
    SidBytes() = default;
    ~SidBytes();
    SidBytes(const SidBytes&) = delete;
    SidBytes& operator=(const SidBytes&) = delete;
    // Room for n bytes in all; false when the allocation fails.
    bool Reserve(size_t n);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    friend class SidLayoutWriter;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Writes the whole file of `layout` into *out (its size exactly reserved
// first), or, with out null, only counts its bytes into *size. kSidFailed
// when the source or an allocation fails, or the file would pass the 32-bit
// offsets of the format.
int SidWriteLayout(const SidLayout& layout, SidCoefficientSource& source, SidBytes* out, uint64_t* size);

// ---- encoding an image ----

struct SidEncodeSettings {
    // Raw bytes (width x height x bands) over file bytes; a finite number
    // above 1. The file is at most raw / ratio bytes and as close to it as
    // the steps allow; an image that compresses further at the finest step
    // comes out smaller, and one whose fixed structure alone passes the
    // target is written at the finest step.
    double ratio = 20.0;
    // Above 0: this Q instead of the ratio, raised to the finest step (the
    // Q at which every quantised value fits in 16 bits). kSidFinestStep
    // asks for that step.
    float quantisation = 0.0f;
};
constexpr float kSidFinestStep = 1e-30f;

struct SidEncodeStats {
    float quantisation = 0;   // Q written
    float finestStep = 0;     // the smallest Q allowed
    uint64_t bytes = 0;       // file size
    uint64_t target = 0;      // raw / ratio (0 with a given Q)
    uint64_t peakBytes = 0;   // working memory asked of sid_memory
    int trials = 0;           // sizes computed while looking for Q
};

// Encodes `pixels`: height rows `stride` bytes apart, each of width pixels
// with `bands` (1 or 3) samples side by side (red, green, blue). kSidOk,
// or kSidFailed for bad arguments (sizes 0 or above kSidMaxSize, another
// band count, a bad ratio) and failed allocations.
int SidEncodeImage(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bands, size_t stride,
                   const SidEncodeSettings& settings, SidBytes* file, SidEncodeStats* stats = nullptr);
// The same, written to a UTF-8 device path whole through a temporary file
// and a rename: on failure neither the target nor a temporary file is
// left, and an older file keeps its bytes.
int SidEncodeFile(const char* path, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bands,
                  size_t stride, const SidEncodeSettings& settings, SidEncodeStats* stats = nullptr);

// ---- pieces shared with tests ----

// The code lengths (1 to 16) of a Huffman code for symbol frequencies
// (0 for a symbol not used), limited to 16 bits with one code point of the
// longest length kept free (ISO/IEC 10918-1, Annex K.2), as the counts per
// length and the symbols in code order. False when no symbol is used.
bool SidBuildCodeLengths(const uint32_t freq[256], uint8_t counts[16], uint8_t symbols[256]);
