// Shared by the raster tests: generated pictures, the oracle tools' outputs
// (djpeg, gdal_translate) parsed into plain pixel arrays, and DIB sections
// read back pixel by pixel.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dbf_test_util.h"
#include "platform/gdi/gdi.h"

// Top-down RGB (3 bytes a pixel) or grey (1 byte).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette;  // RGB triples, for indexed pictures
    const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * channels]; }
};

// A deterministic test picture with gradients, edges and noise.
inline std::string MakePpm(int w, int h, unsigned seed = 1) {
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    uint32_t r = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            r = r * 1103515245u + 12345u;
            const uint8_t noise = static_cast<uint8_t>((r >> 16) & 31);
            s += static_cast<char>((x * 255 / (w > 1 ? w - 1 : 1)) ^ noise);
            s += static_cast<char>(((y * 255 / (h > 1 ? h - 1 : 1)) + noise) & 255);
            s += static_cast<char>(((x / 8 + y / 8) % 2) ? 220 - noise : 30 + noise);
        }
    return s;
}

// P5/P6 with maxval 255.
inline Picture ParsePnm(const std::string& s) {
    Picture p;
    if (s.size() < 3 || s[0] != 'P' || (s[1] != '5' && s[1] != '6')) return p;
    p.channels = s[1] == '6' ? 3 : 1;
    size_t i = 2;
    int values[3];
    for (int& v : values) {
        while (i < s.size() && (isspace(static_cast<unsigned char>(s[i])) || s[i] == '#')) {
            if (s[i] == '#')
                while (i < s.size() && s[i] != '\n') ++i;
            else
                ++i;
        }
        v = 0;
        while (i < s.size() && isdigit(static_cast<unsigned char>(s[i]))) v = v * 10 + (s[i++] - '0');
    }
    ++i;
    p.width = values[0];
    p.height = values[1];
    const size_t n = static_cast<size_t>(p.width) * p.height * p.channels;
    if (s.size() < i + n) return Picture{};
    p.pixels.assign(s.begin() + static_cast<long>(i), s.begin() + static_cast<long>(i + n));
    return p;
}

inline uint32_t Le32(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8) |
           (static_cast<uint8_t>(s[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}

// An uncompressed 8- or 24-bit BMP as djpeg writes it: indices with the
// palette, or RGB.
inline Picture ParseBmp(const std::string& s) {
    Picture p;
    if (s.size() < 54 || s[0] != 'B' || s[1] != 'M') return p;
    const uint32_t offset = Le32(s, 10);
    p.width = static_cast<int>(Le32(s, 18));
    const auto h = static_cast<int32_t>(Le32(s, 22));
    p.height = h < 0 ? -h : h;
    const int bits = static_cast<uint8_t>(s[28]);
    p.channels = bits == 8 ? 1 : 3;
    if (bits == 8) {
        uint32_t used = Le32(s, 46);
        if (used == 0) used = 256;
        for (uint32_t k = 0; k < used; ++k) {
            const size_t at = 14 + Le32(s, 14) + 4 * k;
            p.palette.push_back(static_cast<uint8_t>(s[at + 2]));
            p.palette.push_back(static_cast<uint8_t>(s[at + 1]));
            p.palette.push_back(static_cast<uint8_t>(s[at]));
        }
    }
    const size_t stride = static_cast<size_t>(((bits * p.width + 31) / 32) * 4);
    p.pixels.resize(static_cast<size_t>(p.width) * p.height * p.channels);
    for (int y = 0; y < p.height; ++y) {
        const size_t row = offset + stride * static_cast<size_t>(h > 0 ? p.height - 1 - y : y);
        for (int x = 0; x < p.width; ++x) {
            uint8_t* d = &p.pixels[(static_cast<size_t>(y) * p.width + x) * p.channels];
            if (bits == 8) {
                d[0] = static_cast<uint8_t>(s[row + x]);
            } else {
                d[0] = static_cast<uint8_t>(s[row + 3 * x + 2]);
                d[1] = static_cast<uint8_t>(s[row + 3 * x + 1]);
                d[2] = static_cast<uint8_t>(s[row + 3 * x]);
            }
        }
    }
    return p;
}

// A DIB section (8-bit indices with palette, or 24-bit) as a top-down picture.
inline Picture FromDib(HBITMAP bitmap) {
    Picture p;
    DIBSECTION ds{};
    if (!bitmap || GetObject(bitmap, sizeof ds, &ds) != static_cast<int>(sizeof ds) || !ds.dsBm.bmBits) return p;
    const int bits = ds.dsBmih.biBitCount;
    if (bits != 8 && bits != 24) return p;
    p.width = ds.dsBmih.biWidth;
    const int h = ds.dsBmih.biHeight;
    p.height = h < 0 ? -h : h;
    p.channels = bits == 8 ? 1 : 3;
    const auto* base = static_cast<const uint8_t*>(ds.dsBm.bmBits);
    const size_t stride = static_cast<size_t>(DibStride(bits, p.width));
    p.pixels.resize(static_cast<size_t>(p.width) * p.height * p.channels);
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = base + stride * static_cast<size_t>(h > 0 ? p.height - 1 - y : y);
        for (int x = 0; x < p.width; ++x) {
            uint8_t* d = &p.pixels[(static_cast<size_t>(y) * p.width + x) * p.channels];
            if (bits == 8) {
                d[0] = row[x];
            } else {
                d[0] = row[3 * x + 2];
                d[1] = row[3 * x + 1];
                d[2] = row[3 * x];
            }
        }
    }
    if (bits == 8) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
        RGBQUAD colours[256];
        const UINT n = GetDIBColorTable(dc, 0, 256, colours);
        for (UINT k = 0; k < n; ++k) {
            p.palette.push_back(colours[k].rgbRed);
            p.palette.push_back(colours[k].rgbGreen);
            p.palette.push_back(colours[k].rgbBlue);
        }
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    return p;
}

// Any bitmap read back as RGB through a memory DC.
inline Picture RgbOf(HBITMAP bitmap) {
    Picture p;
    BITMAP bm{};
    if (!bitmap || !GetObject(bitmap, sizeof bm, &bm)) return p;
    p.width = bm.bmWidth;
    p.height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    p.channels = 3;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(bitmap));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            p.pixels.push_back(static_cast<uint8_t>(c & 0xFF));
            p.pixels.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
            p.pixels.push_back(static_cast<uint8_t>((c >> 16) & 0xFF));
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    return p;
}

// Indexed pictures compared as the colours they show.
inline Picture Expanded(const Picture& p) {
    if (p.channels != 1 || p.palette.empty()) return p;
    Picture e = p;
    e.channels = 3;
    e.palette.clear();
    e.pixels.clear();
    for (uint8_t i : p.pixels)
        for (int k = 0; k < 3; ++k) e.pixels.push_back(3u * i + k < p.palette.size() ? p.palette[3u * i + k] : 0);
    return e;
}

// The first differing pixel, for a readable failure.
inline std::string FirstDifference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels)
        return "sizes differ: " + std::to_string(a.width) + "x" + std::to_string(a.height) + "x" +
               std::to_string(a.channels) + " vs " + std::to_string(b.width) + "x" + std::to_string(b.height) +
               "x" + std::to_string(b.channels);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (std::memcmp(a.At(x, y), b.At(x, y), static_cast<size_t>(a.channels)) != 0)
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " differs";
    return "";
}
