// Reads a 24- or 32-bit .bmp file (as Qt writes screenshots) without our own
// loaders, so a test compares the program's pictures with an independent
// reading of the file.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/types.h"

namespace testbmp {

struct Picture {
    int w = 0, h = 0;
    std::vector<COLORREF> px;  // top row first
    COLORREF At(int x, int y) const { return px[static_cast<size_t>(y * w + x)]; }
};

// False for a file that is missing, cut or of another depth.
inline bool ReadBmp(const std::string& path, Picture& pic) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    auto u32 = [&](size_t o) {
        return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | static_cast<uint32_t>(b[o + 3]) << 24;
    };
    const uint32_t off = u32(10);
    const int32_t w = static_cast<int32_t>(u32(18)), rawH = static_cast<int32_t>(u32(22));
    const int bpp = b[28];
    if ((bpp != 24 && bpp != 32) || w <= 0 || rawH == 0) return false;
    const int h = rawH < 0 ? -rawH : rawH;
    const size_t stride = (static_cast<size_t>(w) * static_cast<size_t>(bpp / 8) + 3) & ~size_t{3};
    if (off + stride * static_cast<size_t>(h) > b.size()) return false;
    pic.w = w;
    pic.h = h;
    pic.px.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = b.data() + off + stride * static_cast<size_t>(rawH < 0 ? y : h - 1 - y);
        for (int x = 0; x < w; ++x, p += bpp / 8) pic.px[static_cast<size_t>(y * w + x)] = RGB(p[2], p[1], p[0]);
    }
    return true;
}

}  // namespace testbmp
