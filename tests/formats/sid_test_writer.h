// Hand-made MrSID files for tests: tile data in an 8-bit identity code and
// whole generation-2 files built from coefficient arrays.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/sid/sid_decode.h"

// Tile data in the identity code: symbols 0 to 254 are their own 8-bit
// codes, 255 is 111111110. Stuffs 0xFF, pads with 1 bits, ends with FF D9.
struct TileWriter {
    std::string bytes = "\xFF\xA3";
    uint32_t acc = 0;
    int bits = 0;
    void Put(uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc = acc << 1 | ((v >> i) & 1);
            if (++bits == 8) Flush();
        }
    }
    void Flush() {
        bytes += static_cast<char>(acc);
        if ((acc & 0xFF) == 0xFF) bytes += '\0';
        acc = 0;
        bits = 0;
    }
    TileWriter& Symbol(int s, uint32_t extra = 0, int extraBits = 0) {
        if (s == 255) Put(0x1FE, 9);
        else Put(static_cast<uint32_t>(s), 8);
        Put(extra, extraBits);
        return *this;
    }
    // One coefficient (runs of zeros are written by Coefficients).
    TileWriter& Value(int32_t v) {
        if (v >= -73 && v <= 75 && v != 0) return Symbol(v + 180);
        const uint32_t m = static_cast<uint32_t>(v < 0 ? -v : v);
        if (m <= 255) return Symbol(v < 0 ? 102 : 101, m, 8);
        return Symbol(v < 0 ? 104 : 103, m, 16);
    }
    TileWriter& Coefficients(const std::vector<int32_t>& c) {
        size_t i = 0;
        while (i < c.size()) {
            if (c[i] != 0) {
                Value(c[i++]);
                continue;
            }
            size_t run = 0;
            while (i + run < c.size() && c[i + run] == 0 && run < 255) ++run;
            if (run <= 100) Symbol(static_cast<int>(run));
            else Symbol(105, static_cast<uint32_t>(run), 8);
            i += run;
        }
        return *this;
    }
    std::string End(bool marker = true) {
        while (bits) Put(1, 1);
        return bytes + (marker ? "\xFF\xD9" : "");
    }
};

// A whole file: every subband one block of one band set, cut into tiles.
// Subband sizes come from the tree; coefficients default to zero.
struct SidFileWriter {
    uint32_t bands = 1, levels = 0, width = 1, height = 1;
    uint32_t tileWidth = 64, tileHeight = 64;
    float quantisation = 1.0f;
    uint8_t phaseX = 0, phaseY = 0;
    // coefficients[band][subband], row-major over the subband.
    std::vector<std::vector<std::vector<int32_t>>> coefficients;
    // Replaces the data of every tile when set.
    std::string tileOverride;

    std::vector<SidTreeNode> Leaves() const {
        std::vector<SidTreeNode> leaves(3 * levels + 1);
        for (const SidTreeNode& n : SidBuildTree(width, height, static_cast<int>(levels)))
            if (n.subband >= 0) leaves[static_cast<size_t>(n.subband)] = n;
        return leaves;
    }
    std::vector<int32_t>& At(uint32_t band, int subband) {
        const auto leaves = Leaves();
        coefficients.resize(bands);
        for (auto& b : coefficients) {
            b.resize(leaves.size());
            for (size_t s = 0; s < leaves.size(); ++s)
                b[s].resize(size_t{leaves[s].width} * leaves[s].height);
        }
        return coefficients[band][static_cast<size_t>(subband)];
    }

    static void BE32(std::string& s, uint32_t v) {
        for (int i = 3; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
    }
    static void SetBE32(std::string& s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * (3 - i)));
    }

    std::string Write() {
        At(0, 0);  // sizes the arrays
        const auto leaves = Leaves();
        std::string s = "msid\x01\x00\x01";
        s.resize(7);
        s[5] = 0;
        for (uint32_t v : {bands, levels, width, height}) BE32(s, v);
        const size_t dir = s.size();
        s.resize(s.size() + 4 * leaves.size());
        for (size_t sb = 0; sb < leaves.size(); ++sb) {
            const uint32_t w = leaves[sb].width, h = leaves[sb].height;
            SetBE32(s, dir + 4 * sb, static_cast<uint32_t>(s.size()));
            const size_t record = s.size();
            s += "\xFF\xAC";
            s += static_cast<char>(phaseX);
            s += static_cast<char>(phaseY);
            const bool empty = w == 0 || h == 0;
            BE32(s, empty ? 0 : 1);
            if (empty) continue;
            const size_t entry = s.size();
            for (uint32_t b = 0; b < bands; ++b) BE32(s, 0);
            for (uint32_t v : {0u, 0u, w - 1, h - 1}) BE32(s, v);
            (void)record;
            for (uint32_t b = 0; b < bands; ++b) {
                SetBE32(s, entry + 4 * b, static_cast<uint32_t>(s.size()));
                s += "\xFF\xAA";
                std::string counts(16, '\0');
                counts[7] = static_cast<char>(255);
                counts[8] = 1;
                s += counts;
                for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
                BE32(s, std::bit_cast<uint32_t>(quantisation));
                BE32(s, tileWidth);
                BE32(s, tileHeight);
                const uint32_t across = (w + tileWidth - 1) / tileWidth;
                const uint32_t down = (h + tileHeight - 1) / tileHeight;
                const size_t table = s.size();
                s.resize(s.size() + 4 * size_t{across} * down);
                const auto& c = coefficients[b][sb];
                for (uint32_t ty = 0; ty < down; ++ty)
                    for (uint32_t tx = 0; tx < across; ++tx) {
                        SetBE32(s, table + 4 * (size_t{ty} * across + tx), static_cast<uint32_t>(s.size()));
                        if (!tileOverride.empty()) {
                            s += tileOverride;
                            continue;
                        }
                        std::vector<int32_t> tile;
                        for (uint32_t y = ty * tileHeight; y < std::min(h, (ty + 1) * tileHeight); ++y)
                            for (uint32_t x = tx * tileWidth; x < std::min(w, (tx + 1) * tileWidth); ++x)
                                tile.push_back(c[size_t{y} * w + x]);
                        s += TileWriter{}.Coefficients(tile).End();
                    }
            }
        }
        return s;
    }
};

// A one-band file made from a three-band one: the band count becomes 1 and
// every subband record is written again at the end with only the first
// band's data offset; the directory points at the new records, and the band
// data stays where it was.
inline std::string SidOneBandCopy(const std::string& three) {
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | uint8_t(three[at + i]);
        return v;
    };
    std::string s = three;
    SidFileWriter::SetBE32(s, 7, 1);
    const uint32_t levels = be32(11);
    for (uint32_t sb = 0; sb < 3 * levels + 1; ++sb) {
        const uint32_t record = be32(23 + 4 * sb);
        const uint32_t blocks = be32(record + 4);
        SidFileWriter::SetBE32(s, 23 + 4 * sb, static_cast<uint32_t>(s.size()));
        s += three.substr(record, 8);
        for (uint32_t b = 0; b < blocks; ++b) {
            const size_t entry = record + 8 + size_t{b} * 28;
            s += three.substr(entry, 4);        // band 0
            s += three.substr(entry + 12, 16);  // the rectangle
        }
    }
    return s;
}
