#include "formats/sid/sid_encode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <thread>
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

namespace {

// The coefficients of every band in one plane each, subbands where the
// analysis leaves them: child 1 of a node below child 0, child 2 to its
// right, child 3 below that.
class Coefficients : public SidCoefficientSource {
public:
    bool Prepare(uint32_t width, uint32_t height, uint32_t bands, int levels, int threads) {
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
        constexpr int m = kSidSynthesisMargin;
        const uint32_t longest = std::max(width, height);
        for (uint32_t b = 0; b < bands; ++b)
            if (!plane_[b].Allocate(n)) return false;
        // Scratch for each thread, from this one.
        threads_ = std::max(threads, 1);
        scratch_ = std::vector<Scratch>(static_cast<size_t>(threads_));
        for (Scratch& k : scratch_)
            if (!k.run.Allocate(longest) || !k.work.Allocate(longest + 2 * m) ||
                !k.lines.Allocate((size_t{height} + 2 * m) * kStrip))
                return false;
        return true;
    }

    // Band b from 8-bit pixels: Y, I, Q for three bands; the first band
    // +0.5 so that the decoder's truncation rounds.
    void Load(uint32_t b, const uint8_t* pixels, size_t stride, uint32_t y0, uint32_t y1) {
        float* p = plane_[b].get();
        for (uint32_t y = y0; y < y1; ++y) {
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
    }

    // Every level of 2-D analysis of band b: rows, then columns.
    // Every level of 2-D analysis of band b: rows, then columns, each
    // share of rows or columns on a thread of its own.
    bool Analyse(uint32_t b) {
        float* p = plane_[b].get();
        constexpr int m = kSidSynthesisMargin;
        constexpr uint32_t rowsAtOnce = 32;
        for (int node = 0; tree_[node].child[0] >= 0; node = tree_[node].child[0]) {
            const uint32_t w = tree_[node].width, h = tree_[node].height;
            const uint32_t wl = w - w / 2, hl = h - h / 2;
            const bool rows = SidParallelFor((h + rowsAtOnce - 1) / rowsAtOnce, threads_, [&](size_t i, int t) {
                float* run = scratch_[static_cast<size_t>(t)].run.get();
                float* work = scratch_[static_cast<size_t>(t)].work.get();
                const uint32_t y0 = static_cast<uint32_t>(i) * rowsAtOnce, y1 = std::min(h, y0 + rowsAtOnce);
                for (uint32_t y = y0; y < y1; ++y) {
                    float* row = p + size_t{y} * width_;
                    std::memcpy(run, row, sizeof(float) * w);
                    SidAnalyze1D(run, 0, static_cast<int>(w), work);
                    for (uint32_t x = 0; x < w; ++x) row[(x & 1) ? wl + x / 2 : x / 2] = run[x];
                }
                return true;
            });
            const bool columns = SidParallelFor((w + kStrip - 1) / kStrip, threads_, [&](size_t i, int t) {
                float* lines = scratch_[static_cast<size_t>(t)].lines.get();
                const uint32_t x0 = static_cast<uint32_t>(i) * kStrip, n = std::min(kStrip, w - x0);
                for (uint32_t y = 0; y < h; ++y)
                    std::memcpy(lines + (size_t{y} + m) * n, p + size_t{y} * width_ + x0, sizeof(float) * n);
                SidAnalyzeLines(lines, 0, static_cast<int>(h), n, static_cast<int>(n));
                for (uint32_t y = 0; y < h; ++y)
                    std::memcpy(p + size_t{(y & 1) ? hl + y / 2 : y / 2} * width_ + x0, lines + (size_t{y} + m) * n,
                                sizeof(float) * n);
                return true;
            });
            if (!rows || !columns) return false;
        }
        return true;
    }

    // The smallest Q at which every quantised value of band b fits in 16
    // bits (dither included).
    double FinestStep(uint32_t b) const {
        double q = 0;
        for (size_t s = 0; s < leafX_.size(); ++s) {
            const SidTreeNode& n = *leafNode_[s];
            float big = 0;
            for (uint32_t y = 0; y < n.height; ++y) {
                const float* row = plane_[b].get() + size_t{leafY_[s] + y} * width_ + leafX_[s];
                for (uint32_t x = 0; x < n.width; ++x) big = std::max(big, std::fabs(row[x]));
            }
            // |c| / t + 0.44 + 0.21 (the largest dither) below 32767.
            q = std::max(q, double{big} * weight_[s] / 32766.0);
        }
        return q;
    }

    // Loads and analyses every band; the finest step of all.
    float LoadAndAnalyse(const uint8_t* pixels, size_t stride) {
        constexpr uint32_t rowsAtOnce = 64;
        for (uint32_t b = 0; b < bands_; ++b) {
            SidParallelFor((height_ + rowsAtOnce - 1) / rowsAtOnce, threads_, [&](size_t i, int) {
                const uint32_t y0 = static_cast<uint32_t>(i) * rowsAtOnce;
                Load(b, pixels, stride, y0, std::min(height_, y0 + rowsAtOnce));
                return true;
            });
            Analyse(b);
        }
        double finest[3] = {0, 0, 0};
        SidParallelFor(bands_, threads_, [&](size_t b, int) {
            finest[b] = FinestStep(static_cast<uint32_t>(b));
            return true;
        });
        return static_cast<float>(std::max({finest[0], finest[1], finest[2], 1e-6}));
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
    static constexpr uint32_t kStrip = 64;  // columns analysed side by side
    struct Scratch {
        SidArray<float> run, work, lines;
    };
    SidArray<float> plane_[3];
    int threads_ = 1;
    std::vector<Scratch> scratch_;
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

    // Threads pay off from about a megasample on.
    const bool small = uint64_t{width} * height * bands < (uint64_t{1} << 20);
    const int threads = settings.threads > 0 ? settings.threads
                        : small             ? 1
                                            : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    layout.threads = threads;
    Coefficients c;
    if (!c.Prepare(width, height, bands, static_cast<int>(layout.levels), threads)) return kSidFailed;
    const float finest = c.LoadAndAnalyse(pixels, stride);
    SidEncodeStats st;
    st.finestStep = finest;

    auto sizeAt = [&](float q, uint64_t* n) {
        c.SetQuantisation(q);
        layout.quantisation = q;
        ++st.trials;
        return SidWriteLayout(layout, c, nullptr, n, true) == kSidOk;
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
        if (SidWriteLayout(layout, c, file, &st.bytes) != kSidOk) return kSidFailed;
        if (givenStep || st.target == 0 || st.bytes <= st.target || q == finest || i == 20) break;
        q = q * 1.005f;
    }
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
