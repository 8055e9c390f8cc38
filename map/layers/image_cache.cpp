#include "map/layers/image_cache.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "map/layers/layer.h"
#include "platform/fs/fs.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"

int TruncPixel(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(std::trunc(v), -1e9, 1e9));
}

namespace {

// "index red green blue": four decimal integers, blanks before each, as a
// C scan of "%d %d %d %d" takes them (anything may follow).
bool ReadPaletteLine(const std::string& line, int values[4]) {
    const char* p = line.data();
    const char* end = p + line.size();
    for (int i = 0; i < 4; ++i) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\v' || *p == '\f')) ++p;
        if (p < end && *p == '+') ++p;
        const auto [next, error] = std::from_chars(p, end, values[i]);
        if (error != std::errc()) return false;
        p = next;
    }
    return true;
}

}  // namespace

bool ReadPaletteFile(const WString& path, RGBQUAD palette[256]) {
    std::string bytes;
    if (!fs::ReadWholeFile(path, &bytes)) return false;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Lines are at most 80 characters; longer ones are not palette lines.
        if (line.empty() || line.size() > 80 || line[0] == '#') continue;
        int values[4];
        if (!ReadPaletteLine(line, values)) continue;
        const int index = values[0], red = values[1], green = values[2], blue = values[3];
        auto byte = [](int v) { return v >= 0 && v <= 255; };
        if (!byte(index) || !byte(red) || !byte(green) || !byte(blue)) continue;
        palette[index].rgbRed = static_cast<BYTE>(red);
        palette[index].rgbGreen = static_cast<BYTE>(green);
        palette[index].rgbBlue = static_cast<BYTE>(blue);
        palette[index].rgbReserved = 0;
    }
    return true;
}

void ImageCache::Free() {
    m_bitmap.reset();
    m_bits = nullptr;
    m_stride = 0;
}

void ImageCache::Adopt(gdi::OwnedBitmap bitmap) {
    Free();
    m_bitmap = std::move(bitmap);
}

bool ImageCache::Create(int width, int height, int paletteCount, const RGBQUAD* palette,
                        const WString* paletteFile, int bitsPerPixel) {
    Free();
    if (width <= 0 || height <= 0) return false;
    const int count = std::clamp(paletteCount, 0, 256);
    const int bits = bitsPerPixel ? bitsPerPixel : count > 0 ? 8 : 24;
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi->bmiHeader.biWidth = width;
    bmi->bmiHeader.biHeight = height;
    bmi->bmiHeader.biPlanes = 1;
    bmi->bmiHeader.biBitCount = static_cast<WORD>(bits);
    bmi->bmiHeader.biCompression = BI_RGB;
    bmi->bmiHeader.biSizeImage = static_cast<DWORD>(height * (((bits * width + 31) / 32) * 4));
    if (count > 0) {
        RGBQUAD* colours = bmi->bmiColors;
        if (palette) {
            std::memcpy(colours, palette, count * sizeof(RGBQUAD));
        } else {
            for (int i = 0; i < count; ++i) {
                // A single entry is black.
                BYTE v = count > 1 ? static_cast<BYTE>(i * 255 / (count - 1)) : 0;
                colours[i] = {v, v, v, 0};
            }
        }
        if (paletteFile) {
            RGBQUAD full[256] = {};
            std::memcpy(full, colours, count * sizeof(RGBQUAD));
            if (ReadPaletteFile(*paletteFile, full)) std::memcpy(colours, full, count * sizeof(RGBQUAD));
        }
        bmi->bmiHeader.biClrUsed = static_cast<DWORD>(count);
    }
    void* bitsPtr = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bitsPtr, nullptr, 0);
    if (!bitmap) return false;
    m_bitmap.reset(bitmap);
    m_bits = bitsPtr;
    m_stride = ((bits * width + 31) / 32) * 4;
    Clear();
    return true;
}

void ImageCache::Clear() {
    if (!m_bitmap) return;
    BITMAP bm{};
    if (!GetObject(m_bitmap.get(), sizeof bm, &bm)) return;
    static const WORD kDiagonal[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    gdi::OwnedBitmap pattern(CreateBitmap(8, 8, 1, 1, kDiagonal));
    gdi::OwnedBrush brush(CreatePatternBrush(pattern.get()));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(m_bitmap.get()));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    RECT all = {0, 0, bm.bmWidth, bm.bmHeight};
    FillRect(dc, &all, brush.get());
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
}

void ImageCache::MapToImagePixel(double x, double y, double* px, double* py) const {
    *px = (x - worldLeftX) / worldPixelWidth;
    *py = (worldTopY - y) / worldPixelHeight;
}

void ImageCache::ImagePixelToMap(double px, double py, double* x, double* y) const {
    *x = px * worldPixelWidth + worldLeftX;
    *y = worldTopY - py * worldPixelHeight;
}

void ImageCache::MapToCachePixel(double x, double y, int* px, int* py) const {
    *px = TruncPixel((x - leftX) / pixelWidth);
    *py = TruncPixel((topY - y) / pixelHeight);
}

bool ImageCache::Draw(HDC target, const CLayer& layer, bool clipToBitmap) const {
    if (!m_bitmap) return false;
    CDoubleRect part;
    if (!CDoubleRect::Intersect(&part, cacheExtent, layer.GetDrawExtent())) return false;
    if (clipToBitmap) {
        const CDoubleRect bitmapExtent(leftX, topY - pixelHeight * imageHeight, leftX + pixelWidth * imageWidth,
                                       topY);
        if (!CDoubleRect::Intersect(&part, part, bitmapExtent)) return false;
    }
    int sx0, sy0, sx1, sy1;
    MapToCachePixel(part.xmin, part.ymax, &sx0, &sy0);
    MapToCachePixel(part.xmax, part.ymin, &sx1, &sy1);
    if (clipToBitmap) {
        sx0 = std::clamp(sx0, 0, imageWidth);
        sx1 = std::clamp(sx1, 0, imageWidth);
        sy0 = std::clamp(sy0, 0, imageHeight);
        sy1 = std::clamp(sy1, 0, imageHeight);
        if (sx1 <= sx0 || sy1 <= sy0) return false;
    }
    const POINT d0 = layer.MapToDevice(part.xmin, part.ymax);
    const POINT d1 = layer.MapToDevice(part.xmax, part.ymin);
    HDC mem = CreateCompatibleDC(target);
    if (!mem) return false;
    HGDIOBJ old = SelectObject(mem, reinterpret_cast<HGDIOBJ>(m_bitmap.get()));
    if (!old) {
        MessageBeep(MB_ICONHAND);
        DeleteDC(mem);
        return false;
    }
    StretchBlt(target, d0.x, d0.y, d1.x - d0.x, d1.y - d0.y, mem, sx0, sy0, sx1 - sx0, sy1 - sy0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    return true;
}
