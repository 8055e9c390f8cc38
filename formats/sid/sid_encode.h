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
// All working memory comes from sid_memory (SidAlloc), allocated by the
// calling thread, so its counters show the encoder's peak and its failure
// injection reaches every allocation. The bands are analysed, and the
// blocks sized and written, by several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_layout.h"

// The longest side of the coarsest level the encoder aims at.
constexpr uint32_t kSidCoarsestSide = 256;

// The smallest L >= 1 for which the coarsest level's longer side is at most
// kSidCoarsestSide (never above kSidMaxLevels); 0 for an empty size.
int SidEncodeLevels(uint32_t width, uint32_t height);

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
    // Threads for the analysis and the blocks; 0: one per processor (at
    // most 8) from a megasample on, else one. The bytes written do not
    // depend on it.
    int threads = 0;
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
