// Windows bitmap files into DIB sections. Every size, count and offset of the
// file is checked against the bytes that exist before it is used.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/byte_order.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi_internal.h"

using namespace gdi::detail;

namespace {

// Bitmap files are little-endian.
using byte_order::LoadLe16;
using byte_order::LoadLe32;
int32_t I32(const uint8_t* p) {
    return static_cast<int32_t>(LoadLe32(p));
}

int Shift(uint32_t mask) {
    int s = 0;
    if (!mask) return 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}
int Bits(uint32_t mask) {
    mask >>= Shift(mask);
    int n = 0;
    while (mask & 1) {
        mask >>= 1;
        ++n;
    }
    return n;
}
uint32_t Channel(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    uint32_t c = (v & mask) >> Shift(mask);
    int n = Bits(mask);
    if (n >= 8) return c >> (n - 8);
    // Rounded, as other readers of these files expand short channels.
    const uint32_t max = (1u << n) - 1;
    return n ? (c * 255 + max / 2) / max : 0;
}

// RLE8 / RLE4 decoding into bottom-up rows of an 8- or 4-bit surface.
bool DecodeRle(const uint8_t* p, size_t n, Surface& s, bool four) {
    // y counts rows from the bottom. x stops at the row's end: what runs
    // past it is dropped, so long runs and deltas cannot make it wrap.
    int x = 0, y = 0;
    size_t i = 0;
    auto put = [&](int v) {
        if (x >= s.width) return;
        if (y < s.height) s.SetRaw(x, s.height - 1 - y, static_cast<uint32_t>(v));
        ++x;
    };
    while (i + 1 < n) {
        uint8_t a = p[i], b = p[i + 1];
        i += 2;
        if (a > 0) {
            for (int k = 0; k < a; ++k) put(four ? ((k & 1) ? (b & 0xF) : (b >> 4)) : b);
            continue;
        }
        if (b == 0) {  // end of line
            x = 0;
            ++y;
        } else if (b == 1) {  // end of bitmap
            return true;
        } else if (b == 2) {  // delta
            if (i + 1 >= n) return false;
            x = std::min(x + p[i], s.width);
            y += p[i + 1];
            i += 2;
        } else {  // absolute run of b pixels, padded to 16 bits
            size_t bytes = four ? (size_t(b) + 1) / 2 : b;
            if (i + bytes > n) return false;
            for (int k = 0; k < b; ++k)
                put(four ? ((k & 1) ? (p[i + k / 2] & 0xF) : (p[i + k / 2] >> 4)) : p[i + k]);
            i += bytes + (bytes & 1);
        }
        if (y > s.height) return true;
    }
    return true;
}

}  // namespace

HBITMAP LoadDibFromMemory(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (!p || size < 14 + 12 || p[0] != 'B' || p[1] != 'M') return nullptr;
    uint32_t offBits = LoadLe32(p + 10);
    const uint8_t* ih = p + 14;
    uint32_t hsize = LoadLe32(ih);
    if (hsize < 12 || 14 + size_t(hsize) > size) return nullptr;
    int32_t width, height;
    int bpp;
    uint32_t compression = BI_RGB, clrUsed = 0;
    int paletteEntrySize = 4;
    if (hsize == 12) {
        width = LoadLe16(ih + 4);
        height = static_cast<int16_t>(LoadLe16(ih + 6));
        bpp = LoadLe16(ih + 10);
        paletteEntrySize = 3;
    } else {
        if (hsize < 40) return nullptr;
        width = I32(ih + 4);
        height = I32(ih + 8);
        bpp = LoadLe16(ih + 14);
        compression = LoadLe32(ih + 16);
        clrUsed = LoadLe32(ih + 32);
    }
    if (width <= 0 || height == 0 || height == INT32_MIN || width > 32767) return nullptr;
    bool topDown = height < 0;
    int h = topDown ? -height : height;
    if (h > 32767) return nullptr;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bpp == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    if (compression == 3) {  // bit fields
        if (bpp != 16 && bpp != 32) return nullptr;
        const uint8_t* m = hsize >= 52 ? ih + 40 : ih + hsize;
        if (size_t(m - p) + 12 > size) return nullptr;
        for (int k = 0; k < 3; ++k) masks[k] = LoadLe32(m + 4 * k);
    } else if (compression == 1) {
        if (bpp != 8 || topDown) return nullptr;
    } else if (compression == 2) {
        if (bpp != 4 || topDown) return nullptr;
    } else if (compression != BI_RGB) {
        return nullptr;
    }
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return nullptr;

    // Palette.
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        uint32_t n = clrUsed ? clrUsed : (1u << bpp);
        if (n > (1u << bpp)) n = 1u << bpp;
        // (Bit-field masks come only with 16 and 32 bits, which have no palette.)
        size_t palOff = 14 + size_t(hsize);
        if (palOff + size_t(n) * paletteEntrySize > size) return nullptr;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* q = p + palOff + size_t(i) * paletteEntrySize;
            palette.push_back((uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0]);
        }
    }

    // The pixel data must be there before anything is allocated: plain rows
    // whole, run-length data at least one byte per 256 pixels.
    if (offBits >= size) return nullptr;
    size_t avail = size - offBits;
    size_t srcStride = size_t(DibStride(bpp, width));
    if (compression == 1 || compression == 2) {
        if (uint64_t(width) * uint64_t(h) > uint64_t(avail) * 256) return nullptr;
    } else if (srcStride * h > avail) {
        return nullptr;
    }

    int outBpp = bpp == 2 ? 8 : bpp == 16 ? 24 : bpp;
    // Header and a full colour table (set from the file's palette below).
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    info->bmiHeader = BITMAPINFOHEADER{};
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = topDown ? -h : h;
    info->bmiHeader.biBitCount = static_cast<WORD>(outBpp);
    void* bits = nullptr;
    HBITMAP hb = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hb) return nullptr;
    Surface& s = GetBitmap(hb)->s;
    if (outBpp <= 8) {
        s.palette = palette;
        s.palette.resize(size_t(1) << outBpp, 0);
    }
    const uint8_t* src = p + offBits;
    if (compression == 1 || compression == 2) {
        if (!DecodeRle(src, avail, s, compression == 2)) {
            DeleteObject(hb);
            return nullptr;
        }
        return hb;
    }
    for (int r = 0; r < h; ++r) {
        // File rows are stored in the same order as the section's memory rows.
        const uint8_t* row = src + srcStride * r;
        uint8_t* out = s.bits + size_t(s.stride) * r;
        if (bpp == outBpp && compression == BI_RGB) {
            std::memcpy(out, row, std::min<size_t>(srcStride, s.stride));
            continue;
        }
        int y = topDown ? r : h - 1 - r;
        for (int x = 0; x < width; ++x) {
            if (bpp == 2) {
                s.SetRaw(x, y, (row[x >> 2] >> (6 - 2 * (x & 3))) & 3);
            } else {
                uint32_t v = bpp == 16 ? LoadLe16(row + 2 * x) : LoadLe32(row + 4 * x);
                s.SetRaw(x, y,
                         (Channel(v, masks[0]) << 16) | (Channel(v, masks[1]) << 8) |
                             Channel(v, masks[2]));
            }
        }
    }
    return hb;
}

HBITMAP LoadDibFile(const WChar* hostPath) {
    if (!hostPath) return nullptr;
    // A folder, a FIFO or a file that cannot be read gives no picture.
    std::string data;
    if (!fs::ReadWholeHostFile(text::ToUtf8(hostPath), &data)) return nullptr;
    return LoadDibFromMemory(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}
