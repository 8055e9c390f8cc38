// The MrSID decoder's subband tree, subband windows and symbol code.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_file.h"
#include "tests/formats/sid_test_writer.h"
#include "tests/platform/fs_test_root.h"

namespace {

// The leaves in subband order.
std::vector<const SidTreeNode*> Leaves(const std::vector<SidTreeNode>& tree) {
    std::vector<const SidTreeNode*> leaves;
    for (const SidTreeNode& n : tree)
        if (n.subband >= 0) {
            if (leaves.size() <= static_cast<size_t>(n.subband)) leaves.resize(n.subband + 1);
            leaves[n.subband] = &n;
        }
    return leaves;
}

// Which child of its parent each leaf is, in subband order.
std::vector<int> ChildIndices(const std::vector<SidTreeNode>& tree) {
    std::vector<int> which(tree.size(), -1);
    for (const SidTreeNode& n : tree)
        for (int i = 0; i < 4; ++i)
            if (n.child[i] >= 0) which[n.child[i]] = i;
    std::vector<int> out;
    for (const SidTreeNode* leaf : Leaves(tree)) out.push_back(which[leaf - tree.data()]);
    return out;
}

TEST(SidTree, LeavesAreNumberedLowLowThenChildren213FromTheCoarsestLevel) {
    const auto two = SidBuildTree(100, 60, 2);
    ASSERT_EQ(Leaves(two).size(), 7u);
    EXPECT_EQ(ChildIndices(two), (std::vector<int>{0, 2, 1, 3, 2, 1, 3}));
    std::vector<int> depths;
    for (const SidTreeNode* l : Leaves(two)) depths.push_back(l->depth);
    EXPECT_EQ(depths, (std::vector<int>{2, 2, 2, 2, 1, 1, 1}));

    // No levels: the whole image is subband 0.
    const auto none = SidBuildTree(7, 3, 0);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].subband, 0);
    EXPECT_EQ(none[0].width, 7u);
    EXPECT_EQ(none[0].weight, 1.0f);
    EXPECT_TRUE(SidBuildTree(7, 3, 32).empty());
    EXPECT_TRUE(SidBuildTree(7, 3, -1).empty());
}

// The sample image: 618 x 1265, 5 levels, 16 subbands; low-pass halves round
// up and high-pass halves round down, so the coarsest subband is 20 x 40.
TEST(SidTree, SubbandSizesOfTheSample) {
    const auto tree = SidBuildTree(618, 1265, 5);
    const auto leaves = Leaves(tree);
    ASSERT_EQ(leaves.size(), 16u);
    // Computed independently: level sizes halve rounding up; a level's
    // x-high child is floor(w / 2) wide, its y-high child floor(h / 2) high.
    uint32_t w = 618, h = 1265;
    std::vector<std::pair<uint32_t, uint32_t>> levels;
    for (int l = 0; l <= 5; ++l) {
        levels.push_back({w, h});
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    EXPECT_EQ(leaves[0]->width, 20u);
    EXPECT_EQ(leaves[0]->height, 40u);
    for (int level = 1; level <= 5; ++level) {
        const auto [pw, ph] = levels[level - 1];
        const int first = 1 + 3 * (5 - level);  // subbands of children 2, 1, 3
        EXPECT_EQ(leaves[first]->width, pw / 2) << level;       // x-high, y-low
        EXPECT_EQ(leaves[first]->height, ph - ph / 2) << level;
        EXPECT_EQ(leaves[first + 1]->width, pw - pw / 2) << level;  // x-low, y-high
        EXPECT_EQ(leaves[first + 1]->height, ph / 2) << level;
        EXPECT_EQ(leaves[first + 2]->width, pw / 2) << level;   // high/high
        EXPECT_EQ(leaves[first + 2]->height, ph / 2) << level;
    }
    EXPECT_EQ(leaves[13]->width, 309u);
    EXPECT_EQ(leaves[13]->height, 633u);
    EXPECT_EQ(leaves[15]->height, 632u);
}

TEST(SidTree, Weights) {
    EXPECT_NEAR(SidLowWeight(), 1.149604f, 1e-6f);
    EXPECT_NEAR(SidHighWeight(), 0.8698648f, 1e-6f);
    const auto tree = SidBuildTree(64, 64, 2);
    const auto leaves = Leaves(tree);
    const float k = SidLowWeight(), g = SidHighWeight();
    // Each split multiplies by the x factor, then by the y factor, in float.
    const float kk = k * k;
    EXPECT_EQ(leaves[0]->weight, (kk * k) * k);
    EXPECT_EQ(leaves[1]->weight, (kk * g) * k);  // child 2: x high, y low
    EXPECT_EQ(leaves[2]->weight, (kk * k) * g);  // child 1: x low, y high
    EXPECT_EQ(leaves[3]->weight, (kk * g) * g);
    EXPECT_EQ(leaves[4]->weight, g * k);
    EXPECT_EQ(leaves[6]->weight, g * g);
    EXPECT_NEAR(k * g, 1.0f, 1e-6f);  // the pair is K and 1/K
}

TEST(SidTree, ChildWindowsCarryTheFilterMargins) {
    const struct {
        int min, max;
        bool high;
        uint32_t size;
        int wantMin, wantMax;
    } cases[] = {
        {0, 617, false, 309, 0, 308},  // the whole level
        {0, 617, true, 309, 0, 308},
        {300, 331, false, 309, 149, 167},
        {300, 331, true, 309, 148, 167},
        {301, 301, false, 309, 149, 152},  // one sample: ceil(298 / 2), trunc(304 / 2)
        {301, 301, true, 309, 148, 152},
        {0, 0, false, 10, 0, 1},
        {0, 0, true, 10, 0, 1},
        {700, 710, false, 309, 0, -1},  // right of the child: nothing
        {-20, -10, false, 309, 0, -1},  // left of it: nothing
        {-20, -5, true, 309, 0, -1},
        {-20, -4, true, 309, 0, 0},  // trunc(-1 / 2) is 0
        {0, 5, true, 0, 0, -1},  // an empty child
    };
    for (const auto& c : cases) {
        int lo = 99, hi = 99;
        SidChildWindow(c.min, c.max, c.high, c.size, &lo, &hi);
        EXPECT_EQ(lo, c.wantMin) << c.min << ".." << c.max << (c.high ? " high" : " low");
        EXPECT_EQ(hi, c.wantMax) << c.min << ".." << c.max << (c.high ? " high" : " low");
    }
}

// A bit source over a text of '0' and '1'.
struct Bits {
    std::string s;
    size_t at = 0;
    int operator()() { return at < s.size() ? s[at++] - '0' : -1; }
};

TEST(SidHuffman, CanonicalCodesShortestFirst) {
    // The 12-symbol table of the JPEG standard's example (luminance DC).
    const uint8_t counts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1};
    const uint8_t symbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    SidHuffman h;
    ASSERT_TRUE(h.Build(counts, symbols));
    EXPECT_EQ(SidHuffman::SymbolCount(counts), 12);
    const char* codes[12] = {"00",     "010",     "011",      "100",       "101",       "110",
                             "1110",   "11110",   "111110",   "1111110",   "11111110", "111111110"};
    for (int i = 0; i < 12; ++i) {
        Bits b{codes[i]};
        EXPECT_EQ(h.Decode(b), i) << codes[i];
        EXPECT_EQ(b.at, b.s.size()) << codes[i];
    }
    Bits none{std::string(16, '1')};
    EXPECT_EQ(h.Decode(none), -1);  // leads to no symbol
    Bits shortBits{"11"};
    EXPECT_EQ(h.Decode(shortBits), -1);  // runs out

    // 255 symbols in 8 bits and the last in 9: every code value is its symbol.
    uint8_t wide[16] = {};
    wide[7] = 255;
    wide[8] = 1;
    uint8_t all[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(h.Build(wide, all));
    for (int i : {0, 1, 100, 180, 254}) {
        std::string code;
        for (int bit = 7; bit >= 0; --bit) code += char('0' + ((i >> bit) & 1));
        Bits b{code};
        EXPECT_EQ(h.Decode(b), i);
    }
    Bits last{"111111110"};
    EXPECT_EQ(h.Decode(last), 255);
}

TEST(SidHuffman, RefusesCodesThatDoNotFit) {
    const struct {
        const char* what;
        std::vector<uint8_t> counts;
        bool ok;
    } cases[] = {
        {"empty", {}, true},
        {"two 1-bit codes", {2}, true},
        {"three 1-bit codes", {3}, false},
        {"four 2-bit codes", {0, 4}, true},
        {"one 1-bit and three 2-bit codes", {1, 3}, false},
        {"one 1-bit and two 2-bit codes", {1, 2}, true},
        {"65536 16-bit codes' worth", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255}, true},
        {"257 symbols", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 255}, false},
        {"255 8-bit codes, all a count byte holds", {0, 0, 0, 0, 0, 0, 0, 255}, true},
        {"over-subscribed at 16 bits", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3}, false},
    };
    uint8_t symbols[256] = {};
    for (const auto& c : cases) {
        uint8_t counts[16] = {};
        for (size_t i = 0; i < c.counts.size(); ++i) counts[i] = c.counts[i];
        SidHuffman h;
        EXPECT_EQ(h.Build(counts, symbols), c.ok) << c.what;
    }
}

// Forward 9/7 lifting (no scaling) with whole-sample symmetric extension,
// in double: the analysis whose inverse the decoder runs.
std::vector<float> Analyse(const std::vector<double>& signal, int origin) {
    const int n = static_cast<int>(signal.size());
    std::vector<double> x = signal;
    auto at = [&](int k) {
        if (n == 1) return 0;
        const int period = 2 * (n - 1);
        int i = ((k % period) + period) % period;
        return i >= n ? period - i : i;
    };
    auto step = [&](int parity, double c) {
        std::vector<double> y = x;
        for (int k = 0; k < n; ++k)
            if (((origin + k) & 1) == parity) y[k] = x[k] + c * (x[at(k - 1)] + x[at(k + 1)]);
        x = y;
    };
    step(1, -1.586134342);
    step(0, -0.052980118);
    step(1, 0.882911075);
    step(0, 0.443506852);
    return std::vector<float>(x.begin(), x.end());
}

TEST(SidSynthesis, InvertsTheAnalysisForEveryLengthAndOrigin) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-100, 100);
    for (int length = 2; length <= 40; ++length)
        for (int origin : {0, 1, 6, 7}) {
            std::vector<double> signal(length);
            for (double& v : signal) v = value(rng);
            std::vector<float> x = Analyse(signal, origin);
            std::vector<float> work(length + 2 * kSidSynthesisMargin);
            SidSynthesize1D(x.data(), origin, length, work.data());
            for (int k = 0; k < length; ++k)
                ASSERT_NEAR(x[k], signal[k], 2e-3) << "length " << length << " origin " << origin
                                                   << " at " << k;
        }
    float one = 6.0f;
    float work[1 + 2 * kSidSynthesisMargin];
    SidSynthesize1D(&one, 4, 1, work);
    EXPECT_EQ(one, 6.0f);  // a single low-pass sample stays
    SidSynthesize1D(&one, 3, 1, work);
    EXPECT_EQ(one, 3.0f);  // a single high-pass sample is halved
}

// A window's samples, rebuilt from the child windows with their margins,
// are bit for bit those of the whole sequence.
TEST(SidSynthesis, WindowWithMarginsEqualsTheWholeSequence) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> value(-50, 50);
    for (int length : {9, 10, 31, 64, 101}) {
        std::vector<float> whole(length);
        for (float& v : whole) v = value(rng);
        const std::vector<float> coded = whole;
        std::vector<float> work(length + 2 * kSidSynthesisMargin);
        SidSynthesize1D(whole.data(), 0, length, work.data());
        const uint32_t lows = (length + 1) / 2, highs = length / 2;
        for (int a = 0; a < length; ++a)
            for (int b = a; b < length; b += 3) {
                int l0, l1, h0, h1;
                SidChildWindow(a, b, false, lows, &l0, &l1);
                SidChildWindow(a, b, true, highs, &h0, &h1);
                int first = 2 * l0, last = 2 * l1;
                if (h0 <= h1) {
                    first = std::min(first, 2 * h0 + 1);
                    last = std::max(last, 2 * h1 + 1);
                }
                std::vector<float> run(coded.begin() + first, coded.begin() + last + 1);
                SidSynthesize1D(run.data(), first, static_cast<int>(run.size()), work.data());
                for (int k = a; k <= b; ++k)
                    ASSERT_EQ(std::bit_cast<uint32_t>(run[k - first]),
                              std::bit_cast<uint32_t>(whole[k]))
                        << "length " << length << " window " << a << ".." << b << " at " << k;
            }
    }
}

TEST(SidSamples, DequantisationAndColour) {
    const float t = 2.5f;
    EXPECT_EQ(SidDequantise(0, t), 0.0f);
    EXPECT_EQ(SidDequantise(7, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(SidDequantise(1, t), (1 - 0.44f) * t + 0.5f * t);
    EXPECT_FLOAT_EQ(SidDequantise(-3, t), (-3 + 0.44f) * t - 0.5f * t);
    EXPECT_EQ(SidDequantise(65535, 1.0f), -SidDequantise(-65535, 1.0f));
    float r, g, b;
    SidYiqToRgb(100, 0, 0, &r, &g, &b);
    EXPECT_EQ(r, 100.0f);
    EXPECT_EQ(g, 100.0f);
    EXPECT_EQ(b, 100.0f);
    SidYiqToRgb(100, 10, -20, &r, &g, &b);
    EXPECT_NEAR(r, 100 + 9.452161 - 12.654322, 1e-4);
    EXPECT_NEAR(g, 100 - 2.893519 + 12.037038, 1e-4);
    EXPECT_NEAR(b, 100 - 10.99537 - 34.25926, 1e-4);
}

class SidTileTest : public DeviceRootTest {
protected:
    SidHuffman Identity() {
        uint8_t counts[16] = {};
        counts[7] = 255;
        counts[8] = 1;
        uint8_t symbols[256];
        for (int i = 0; i < 256; ++i) symbols[i] = static_cast<uint8_t>(i);
        SidHuffman h;
        EXPECT_TRUE(h.Build(counts, symbols));
        return h;
    }
    // Decodes a w x h tile whole; the status, with the coefficients in *out.
    int Decode(const std::string& bytes, int w, int h, std::vector<int32_t>* out) {
        Put("t.bin", bytes);
        out->assign(static_cast<size_t>(w) * h, 7777);
        SidFile* f = SidOpenFile("\\t.bin");
        EXPECT_NE(f, nullptr);
        const int status =
            SidDecodeTileCoefficients(f, Identity(), w, h, 0, w - 1, 0, h - 1, out->data(), w);
        SidCloseFile(f);
        return status;
    }
};

TEST_F(SidTileTest, SymbolsRunsAndValues) {
    std::vector<int32_t> c;
    // 3 x 3: a run of 2, +5 (8 bits), -300 (16 bits), value 107 - 180,
    // 255 - 180, a 16-bit run of 1, +65535, -255.
    const std::string tile = TileWriter{}
                                 .Symbol(2)
                                 .Symbol(101, 5, 8)
                                 .Symbol(104, 300, 16)
                                 .Symbol(107)
                                 .Symbol(255)
                                 .Symbol(106, 1, 16)
                                 .Symbol(103, 65535, 16)
                                 .Symbol(102, 255, 8)
                                 .End();
    ASSERT_EQ(Decode(tile, 3, 3, &c), kSidOk);
    EXPECT_EQ(c, (std::vector<int32_t>{0, 0, 5, -300, -73, 75, 0, 65535, -255}));
    // 0xFF data bytes come stuffed: symbol 255's code and an 8-bit 255.
    EXPECT_NE(tile.find(std::string("\xFF\x00", 2)), std::string::npos);

    // A part of the tile: columns 1 to 2, rows 1 to 2, the rest dropped.
    Put("t.bin", tile);
    SidFile* f = SidOpenFile("\\t.bin");
    std::vector<int32_t> part(4, 9);
    ASSERT_EQ(SidDecodeTileCoefficients(f, Identity(), 3, 3, 1, 2, 1, 2, part.data(), 2), kSidOk);
    EXPECT_EQ(part, (std::vector<int32_t>{-73, 75, 65535, -255}));
    SidCloseFile(f);

    // An 8-bit run and runs of 0 zeros.
    ASSERT_EQ(Decode(TileWriter{}.Symbol(0).Symbol(105, 3, 8).Symbol(0).Symbol(181).End(), 2, 2, &c),
              kSidOk);
    EXPECT_EQ(c, (std::vector<int32_t>{0, 0, 0, 1}));
}

TEST_F(SidTileTest, EmptyTilesAndHostileData) {
    std::vector<int32_t> c;
    ASSERT_EQ(Decode(std::string("\xFF\xA3\xFF\xD9", 4), 4, 4, &c), kSidOk);
    EXPECT_EQ(c, std::vector<int32_t>(16, 7777));  // nothing coded, nothing written
    const struct {
        const char* what;
        std::string bytes;
        int w, h;
    } bad[] = {
        {"wrong marker", "\xFF\xA4\x00", 1, 1},
        {"no data", "\xFF\xA3", 1, 1},
        {"run past the tile", TileWriter{}.Symbol(5).End(), 2, 2},
        {"8-bit run past the tile", TileWriter{}.Symbol(105, 200, 8).End(), 10, 10},
        {"16-bit run past the tile", TileWriter{}.Symbol(1).Symbol(106, 4, 16).End(), 2, 2},
        {"tile ends early", TileWriter{}.Symbol(1).End(), 2, 2},
        {"file ends early", TileWriter{}.Symbol(1).End(false), 2, 2},
        {"value bits cut", TileWriter{}.Symbol(103).End(false).substr(0, 3), 1, 1},
        {"width 0", TileWriter{}.Symbol(1).End(), 0, 1},
        {"height 0", TileWriter{}.Symbol(1).End(), 1, 0},
    };
    for (const auto& b : bad) EXPECT_EQ(Decode(b.bytes, b.w, b.h, &c), kSidFailed) << b.what;

    // A code without the symbols the data uses.
    Put("t.bin", TileWriter{}.Symbol(0x80).End());
    uint8_t counts[16] = {1};
    const uint8_t symbols[1] = {1};
    SidHuffman one;
    ASSERT_TRUE(one.Build(counts, symbols));
    SidFile* f = SidOpenFile("\\t.bin");
    int32_t v;
    EXPECT_EQ(SidDecodeTileCoefficients(f, one, 1, 1, 0, 0, 0, 0, &v, 1), kSidFailed);
    SidCloseFile(f);
}

// The sample's coarsest subband is one 20 x 40 block in one tile: its
// first band decodes to exactly 800 coefficients.
TEST_F(SidTileTest, TheSamplesCoarsestTile) {
    std::filesystem::copy_file(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", Host("s.sid"));
    SidFile* f = SidOpenFile("\\s.sid");
    ASSERT_NE(f, nullptr);
    uint32_t record, blocks, bandData, rect[4], tileW, tileH, tileAt, quant;
    ASSERT_FALSE(SidSeek(f, 23, 0));
    ASSERT_FALSE(SidReadBE32(f, &record));
    ASSERT_FALSE(SidSeek(f, record, 0));
    ASSERT_EQ(SidReadByte(f), 0xFF);
    ASSERT_EQ(SidReadByte(f), 0xAC);
    ASSERT_FALSE(SidSeek(f, 2, 1));
    ASSERT_FALSE(SidReadBE32(f, &blocks));
    ASSERT_EQ(blocks, 1u);
    ASSERT_FALSE(SidReadBE32(f, &bandData));
    ASSERT_FALSE(SidSeek(f, 8, 1));
    for (uint32_t& r : rect) ASSERT_FALSE(SidReadBE32(f, &r));
    EXPECT_EQ((std::vector<uint32_t>(rect, rect + 4)), (std::vector<uint32_t>{0, 0, 19, 39}));
    ASSERT_FALSE(SidSeek(f, bandData, 0));
    ASSERT_EQ(SidReadByte(f), 0xFF);
    ASSERT_EQ(SidReadByte(f), 0xAA);
    uint8_t counts[16];
    ASSERT_EQ(SidRead(counts, 1, 16, f), 16u);
    std::vector<uint8_t> symbols(SidHuffman::SymbolCount(counts));
    ASSERT_EQ(SidRead(symbols.data(), 1, symbols.size(), f), symbols.size());
    SidHuffman code;
    ASSERT_TRUE(code.Build(counts, symbols.data()));
    ASSERT_FALSE(SidReadBE32(f, &quant));
    EXPECT_TRUE(std::isfinite(std::bit_cast<float>(quant)));
    ASSERT_FALSE(SidReadBE32(f, &tileW));
    ASSERT_FALSE(SidReadBE32(f, &tileH));
    ASSERT_FALSE(SidReadBE32(f, &tileAt));
    EXPECT_GE(tileW, 20u);
    EXPECT_GE(tileH, 40u);
    ASSERT_FALSE(SidSeek(f, tileAt, 0));
    std::vector<int32_t> c(800, 7777);
    ASSERT_EQ(SidDecodeTileCoefficients(f, code, 20, 40, 0, 19, 0, 39, c.data(), 20), kSidOk);
    int nonzero = 0;
    for (int32_t v : c) {
        EXPECT_NE(v, 7777);
        nonzero += v != 0;
    }
    EXPECT_GT(nonzero, 400);
    SidCloseFile(f);
}

std::string SampleBytes() {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Walks every record, block, band header and tile offset of a file; the
// first status that is not kSidOk.
int WalkRecords(const char* path) {
    SidHeader h;
    SidFile* f = SidOpenFile(path);
    if (!f) return kSidFailed;
    int status = SidReadHeader(f, &h);
    const auto tree = SidBuildTree(h.width, h.height, static_cast<int>(h.levels));
    for (const SidTreeNode& leaf : tree) {
        if (status != kSidOk) break;
        if (leaf.subband < 0) continue;
        SidSubbandRecord rec;
        status = SidReadSubbandRecord(f, h.bands, leaf.subband, &rec);
        for (uint32_t i = 0; status == kSidOk && i < rec.blocks; ++i) {
            SidBlockEntry block;
            status = SidReadBlockEntry(f, h.bands, rec, i, leaf.width, leaf.height, &block);
            for (uint32_t b = 0; status == kSidOk && b < h.bands; ++b) {
                if (!block.bandOffset[b]) continue;
                SidBandData data;
                status = SidReadBandData(f, block.bandOffset[b], block, &data);
                for (uint32_t t = 0; status == kSidOk && t < data.tilesAcross * data.tilesDown; ++t) {
                    uint64_t at;
                    status = SidReadTileOffset(f, data, t, &at);
                }
            }
        }
    }
    SidCloseFile(f);
    return status;
}

TEST_F(SidTileTest, RecordsOfTheSampleAndDamagedCopies) {
    const std::string sample = SampleBytes();
    Put("s.sid", sample);
    ASSERT_EQ(WalkRecords("\\s.sid"), kSidOk);
    {
        // The coarsest subband: one 20 x 40 block in one tile, with a dither phase.
        SidFile* f = SidOpenFile("\\s.sid");
        SidSubbandRecord rec;
        ASSERT_EQ(SidReadSubbandRecord(f, 3, 0, &rec), kSidOk);
        EXPECT_EQ(rec.offset, 93u);
        EXPECT_EQ(rec.blocks, 1u);
        EXPECT_EQ(rec.phaseY, 0x1E);
        SidBlockEntry block;
        ASSERT_EQ(SidReadBlockEntry(f, 3, rec, 0, 20, 40, &block), kSidOk);
        EXPECT_EQ(SidReadBlockEntry(f, 3, rec, 0, 19, 40, &block), kSidFailed);
        EXPECT_EQ(SidReadBlockEntry(f, 3, rec, 0, 20, 39, &block), kSidFailed);
        EXPECT_EQ(SidReadBlockEntry(f, 3, rec, 1, 20, 40, &block), kSidFailed);
        ASSERT_EQ(SidReadBlockEntry(f, 3, rec, 0, 20, 40, &block), kSidOk);
        SidBandData data;
        ASSERT_EQ(SidReadBandData(f, block.bandOffset[0], block, &data), kSidOk);
        EXPECT_EQ(data.tilesAcross * data.tilesDown, 1u);
        EXPECT_GT(data.quantisation, 0.0f);
        SidCloseFile(f);
    }
    auto with32 = [&](size_t at, uint32_t v) {
        std::string s = sample;
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
        return s;
    };
    auto withByte = [&](size_t at, uint8_t v) {
        std::string s = sample;
        s[at] = static_cast<char>(v);
        return s;
    };
    const struct {
        const char* what;
        std::string bytes;
    } damaged[] = {
        {"directory entry past the end", with32(23, 0xFFFFFF00u)},
        {"record marker", withByte(94, 0xAD)},
        {"block count the file cannot hold", with32(97, 0x10000000u)},
        {"block count 2^32 - 1", with32(97, 0xFFFFFFFFu)},
        {"band offset past the end", with32(105, 0x7FFFFFFFu)},
        {"block right of its subband", with32(121, 20)},
        {"block below its subband", with32(125, 40)},
        {"block with last column before first", with32(113, 20)},
        {"block of one row", with32(117, 39)},
        {"band data marker", withByte(130, 0xAB)},
        {"Huffman counts over 256", withByte(145, 255)},
        {"over-subscribed code", withByte(131, 3)},
        {"quantisation NaN", with32(148, 0x7FC00000u)},
        {"quantisation infinite", with32(148, 0x7F800000u)},
        {"tile width 0", with32(152, 0)},
        {"tile height 0", with32(156, 0)},
        {"tile offset past the end", with32(160, 0xFFFFFFF0u)},
    };
    for (const auto& d : damaged) {
        Put("d.sid", d.bytes);
        const int expected = std::string(d.what) == "block of one row" ? kSidOk : kSidFailed;
        EXPECT_EQ(WalkRecords("\\d.sid"), expected) << d.what;
    }
    // Cut short in the records or tile tables: refused, never read past the end.
    for (size_t n : {88ul, 95ul, 100ul, 120ul, 128ul, 135ul, 150ul, 162ul, 1000ul, 30000ul}) {
        Put("cut.sid", sample.substr(0, n));
        EXPECT_EQ(WalkRecords("\\cut.sid"), kSidFailed) << n;
    }
}

}  // namespace

namespace {

// Many columns lifted a line at a time give each column's 1-D result, bit
// for bit.
TEST(SidSynthesis, LinesEqualColumnsOneByOne) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> v(-300, 300);
    const int n = 5, m = kSidSynthesisMargin;
    for (int length : {1, 2, 3, 4, 7, 16, 33})
        for (int origin : {0, 1, 6, 13}) {
            std::vector<float> lines(size_t(length + 2 * m) * n);
            std::vector<std::vector<float>> cols(n, std::vector<float>(length));
            for (int k = 0; k < length; ++k)
                for (int c = 0; c < n; ++c) lines[(k + m) * n + c] = cols[c][k] = v(rng);
            SidSynthesizeLines(lines.data(), origin, length, n, n);
            std::vector<float> work(length + 2 * m);
            for (int c = 0; c < n; ++c) {
                SidSynthesize1D(cols[c].data(), origin, length, work.data());
                for (int k = 0; k < length; ++k)
                    ASSERT_EQ(std::bit_cast<uint32_t>(lines[(k + m) * n + c]), std::bit_cast<uint32_t>(cols[c][k]))
                        << length << " " << origin << " " << c << " " << k;
            }
        }
}

}  // namespace
