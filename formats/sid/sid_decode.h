// The MrSID decoder's wavelet side: the subband tree, the windows each
// subband needs, and the Huffman code of the coefficient symbols.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct SidFile;

// ---- subband tree ----

// One node of the tree. The root is the full image; child i of a node is
// 2 x (x filter) + (y filter), 0 low-pass and 1 high-pass, and only child 0
// splits again. Leaves carry their subband number.
struct SidTreeNode {
    uint32_t width = 0;
    uint32_t height = 0;
    float weight = 1.0f;
    int subband = -1;  // leaves only
    int depth = 0;     // splits from the root
    int child[4] = {-1, -1, -1, -1};
};

// The per-axis weights of the low- and high-pass filters.
float SidLowWeight();
float SidHighWeight();

// The tree of an image with `levels` decomposition levels (0 to 31), root
// first. Leaves are numbered depth-first visiting children 0, 2, 1, 3, so the
// coarsest low/low subband is 0 and there are 3 x levels + 1 of them.
std::vector<SidTreeNode> SidBuildTree(uint32_t width, uint32_t height, int levels);

// The window of a child from its parent's [min, max] on one axis, with the
// synthesis filter's margins, clipped to the child's size; empty (min > max)
// when nothing of the child is needed.
void SidChildWindow(int parentMin, int parentMax, bool highPass, uint32_t childSize, int* min,
                    int* max);

// ---- samples ----

// A quantised value q with step t, in float arithmetic: 0 for q = 0 (and for
// every q when t is 0), else moved 0.44 towards zero and centred in its step.
float SidDequantise(int32_t q, float t);

// Rebuilds in place an interleaved run of `length` samples whose first one
// sits at `origin` of its sequence (even places low-pass, odd places
// high-pass), by the inverse 9/7 lifting without its scaling step, with
// whole-sample symmetric extension at both ends of the run. `work` holds
// length + 2 x kSidSynthesisMargin floats.
constexpr int kSidSynthesisMargin = 8;
void SidSynthesize1D(float* x, int origin, int length, float* work);

// The same synthesis on many sequences side by side: `length` lines of n
// samples (line k at lines + (k + kSidSynthesisMargin) x stride), with room
// for kSidSynthesisMargin lines before and after. Every sample comes out as
// SidSynthesize1D would give it.
void SidSynthesizeLines(float* lines, int origin, int length, size_t stride, int n);

// The inverse of the two above: the forward 9/7 lifting without its scaling
// step, on the same constants and with the same extension, turning a run of
// samples into interleaved low-pass (even places) and high-pass (odd places)
// ones. A lone sample at an odd place is doubled.
void SidAnalyze1D(float* x, int origin, int length, float* work);
void SidAnalyzeLines(float* lines, int origin, int length, size_t stride, int n);

// ---- colour ----

// Luminance and chrominance (Y, I, Q) to red, green and blue: row k gives
// the k-th of red, green, blue from (Y, I, Q).
inline constexpr float kSidYiqToRgb[3][3] = {
    {1.0f, std::bit_cast<float>(0x3F71F9AEu), std::bit_cast<float>(0x3F21F9AEu)},     // 0.9452161 0.6327161
    {1.0f, std::bit_cast<float>(0xBE9425EDu), -std::bit_cast<float>(0x3F1A12F7u)},    // -0.2893519 -0.6018519
    {1.0f, -std::bit_cast<float>(0x3F8CBDA1u), std::bit_cast<float>(0x3FDB425Fu)}};  // -1.099537 1.712963

namespace sid_detail {
struct Matrix3 {
    float m[3][3];
};
// The inverse of a float matrix, worked out in double and rounded once.
constexpr Matrix3 Invert(const float (&a)[3][3]) {
    double d[3][3] = {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) d[r][c] = a[r][c];
    const double det = d[0][0] * (d[1][1] * d[2][2] - d[1][2] * d[2][1]) -
                       d[0][1] * (d[1][0] * d[2][2] - d[1][2] * d[2][0]) +
                       d[0][2] * (d[1][0] * d[2][1] - d[1][1] * d[2][0]);
    Matrix3 out{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            // Cofactor of (c, r) over the determinant.
            const int r0 = (c + 1) % 3, r1 = (c + 2) % 3, c0 = (r + 1) % 3, c1 = (r + 2) % 3;
            out.m[r][c] = static_cast<float>((d[r0][c0] * d[r1][c1] - d[r0][c1] * d[r1][c0]) / det);
        }
    return out;
}
inline constexpr Matrix3 kRgbToYiq = Invert(kSidYiqToRgb);
}  // namespace sid_detail

// Red, green and blue to (Y, I, Q): the exact inverse of kSidYiqToRgb.
inline constexpr const float (&kSidRgbToYiq)[3][3] = sid_detail::kRgbToYiq.m;

void SidYiqToRgb(float y, float i, float q, float* r, float* g, float* b);
void SidRgbToYiq(float r, float g, float b, float* y, float* i, float* q);

// ---- Huffman code of the coefficient symbols ----

// The canonical codes of counts[k] codes of length k + 1, in code order:
// code i is codes[i] in its lowest lengths[i] bits (either array may be
// null; they hold the sum of the counts). False when some length has more
// codes than the shorter ones leave room for.
bool SidAssignCodes(const uint8_t counts[16], uint16_t* codes, uint8_t* lengths);

// A canonical code built from the number of codes of each length 1 to 16
// and the symbols in code order.
class SidHuffman {
public:
    // False when the counts add up to more than 256, or more codes of some
    // length than the lengths before leave room for (an over-subscribed code).
    bool Build(const uint8_t counts[16], const uint8_t* symbols);
    // The number of symbols Build expects after the counts (0 to 4080 before
    // the check).
    static int SymbolCount(const uint8_t counts[16]);
    // Decodes one symbol; `bit` gives the next bit (0 or 1, or -1 when there
    // is none). -1 when the bits lead to no symbol of the code or run out.
    template <typename NextBit>
    int Decode(NextBit&& bit) const {
        int32_t code = 0;
        for (int len = 1; len <= 16; ++len) {
            const int b = bit();
            if (b < 0) return -1;
            code = code << 1 | b;
            if (count_[len] && code <= maxCode_[len])
                return symbols_[valueIndex_[len] + code - minCode_[len]];
        }
        return -1;
    }

private:
    int32_t minCode_[17] = {};
    int32_t maxCode_[17] = {};
    int valueIndex_[17] = {};
    int count_[17] = {};
    uint8_t symbols_[256] = {};
};

// ---- tile coefficients ----

// Decodes the coefficients of one tile of width x height, in raster order,
// from the file position (marker 0xFF 0xA3 first; 0xFF 0x00 in the data is a
// 0xFF byte, any other byte after 0xFF ends the tile). Those inside columns
// [c0, c1] and rows [r0, r1] of the tile go to out[(row - r0) x outStride +
// column - c0]; the rest are dropped. A tile that ends at once has no
// coefficients and leaves `out` alone. Fails on a wrong marker, a symbol the
// code does not know, a run or value past the tile's coefficient count, or
// a tile that ends early.
int SidDecodeTileCoefficients(SidFile* file, const SidHuffman& code, int width, int height, int c0,
                              int c1, int r0, int r1, int32_t* out, int outStride);

// ---- subband records and band data ----

struct SidSubbandRecord {
    uint64_t offset = 0;  // of the record in the file
    uint8_t phaseX = 0;   // dither phases
    uint8_t phaseY = 0;
    uint32_t blocks = 0;
};

// A block entry: where each band's data is (0: none), and its rectangle.
struct SidBlockEntry {
    uint32_t bandOffset[3] = {0, 0, 0};
    uint32_t firstColumn = 0, firstRow = 0, lastColumn = 0, lastRow = 0;
};

// Reads the record of a subband through the directory: marker 0xFF 0xAC,
// phases and a block count whose entries the file holds.
int SidReadSubbandRecord(SidFile* file, uint32_t bands, int subband, SidSubbandRecord* record);
// Reads block entry i of a record; its rectangle must lie inside the
// subband (width x height) and every band offset inside the file.
int SidReadBlockEntry(SidFile* file, uint32_t bands, const SidSubbandRecord& record, uint32_t i,
                      uint32_t width, uint32_t height, SidBlockEntry* block);

struct SidBandData {
    SidHuffman code;
    float quantisation = 0;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    uint32_t tilesAcross = 0;
    uint32_t tilesDown = 0;
    uint64_t tileTable = 0;  // file offset of the tile offsets
};

// Reads a block's data header for one band at `offset`: marker 0xFF 0xAA,
// a code that fits, a finite quantisation value, tiles of at least 1 x 1 and
// a table of tile offsets inside the file.
int SidReadBandData(SidFile* file, uint64_t offset, const SidBlockEntry& block, SidBandData* data);
// The file offset of tile i (raster order) of a block, checked against the file.
int SidReadTileOffset(SidFile* file, const SidBandData& data, uint32_t i, uint64_t* offset);

// ---- decoding a view ----

struct SidImage;

// Asked between rows with (rows done, rows in all); non-zero stops the decode.
using SidProgress = std::function<int(int, int)>;

// Decodes the view of `image` into `buffer`: rows of the window at
// `image->stride` bytes, the bands of a pixel side by side (red, green, blue
// for three bands), each sample truncated, clamped to 0..255 and passed
// through `lookup` (256 bytes, optional). Parts of the window outside the
// level are zero; a window of negative width or height writes nothing.
// Returns kSidOk, kSidFailed or kSidStopped; after a failure or a stop the
// descriptor has been closed and must not be used again. Working memory
// lives in its own decode heap, so nothing else is touched.
int SidDecodeRegion(const char* path, SidImage* image, const uint8_t* lookup, uint8_t* buffer,
                    const SidProgress& progress);

// The dither removed from the first band at subband column x, row y.
float SidDither(uint32_t x, uint32_t y);
