#include "map/layers/raster_layer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/text_helpers.h"
#include "map/layers/bitmap_layer.h"
#include "map/layers/jpeg_layer.h"
#include "map/layers/rpf_layer.h"
#include "map/layers/sid_layer.h"
#include "platform/fs/fs.h"
#include "platform/win/winconst.h"
#include "platform/win/window.h"

namespace {

std::string_view TrimAscii(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

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

bool ParseWorldFile(std::string_view text, WorldFile& out) {
    double v[6];
    size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        if (pos > text.size()) return false;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = TrimAscii(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) return false;
        if (!ParseDocumentNumber(WidenText(line), v[i]) || !std::isfinite(v[i])) return false;
    }
    // A zero pixel size would divide every transform by zero.
    if (v[0] == 0 || v[3] == 0) return false;
    out.pixelWidth = v[0];
    out.pixelHeight = -v[3];
    out.leftX = v[4];
    out.topY = v[5];
    return true;
}

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

int LargerScreenSide() { return std::max(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)); }

void RegisterRasterLayerClasses() {
    SetLayerClass(kLayerBitmap, [](const LayerExtensionInfo*) -> CLayer* { return new CBitmapLayer(); });
    SetLayerClass(kLayerJpeg, [](const LayerExtensionInfo*) -> CLayer* { return new CJpegLayer(); });
    SetLayerClass(kLayerRpf, [](const LayerExtensionInfo*) -> CLayer* { return new CRpfLayer(); });
    SetLayerClass(kLayerSid, [](const LayerExtensionInfo*) -> CLayer* { return new CSidLayer(); });
}

CRasterLayer::CRasterLayer() {
    m_category = 1;
    m_displayClass = 4;
    m_cacheTileFactor = 2;
    m_cacheZoom = 0;
    m_cacheMark1 = -1;
    m_cacheMark2 = -1;
    m_imageFullyLoaded = false;
    m_cacheWindow = {-1, -1, -1, -1};
}

CRasterLayer::~CRasterLayer() { FreeCacheBitmap(); }

void CRasterLayer::FreeCacheBitmap() {
    if (m_imageBitmap) DeleteObject(m_imageBitmap);
    m_imageBitmap = nullptr;
    m_imageBits = nullptr;
}

bool CRasterLayer::ReadWorldFile(const WString& imagePath) {
    std::string bytes;
    if (!fs::ReadWholeFile(GetWorldFilePath(imagePath), &bytes)) return false;
    WorldFile w;
    if (!ParseWorldFile(bytes, w)) return false;
    m_pixelWidth = m_worldPixelWidth = w.pixelWidth;
    m_pixelHeight = m_worldPixelHeight = w.pixelHeight;
    m_leftX = m_worldLeftX = w.leftX;
    m_topY = m_worldTopY = w.topY;
    return true;
}

void CRasterLayer::ComputeExtent() {
    m_extent.xmin = m_leftX;
    m_extent.xmax = m_leftX + m_imageWidth * m_pixelWidth;
    m_extent.ymax = m_topY;
    m_extent.ymin = m_topY - m_imageHeight * m_pixelHeight;
    m_cacheExtent = m_extent;
}

bool CRasterLayer::CreateCacheBitmap(int width, int height, int paletteCount, const RGBQUAD* palette,
                                     const WString* paletteFile, int bitsPerPixel) {
    FreeCacheBitmap();
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
    m_imageBitmap = bitmap;
    m_imageBits = bitsPtr;
    m_cacheStride = ((bits * width + 31) / 32) * 4;
    ClearCacheBitmap();
    return true;
}

void CRasterLayer::ClearCacheBitmap() {
    if (!m_imageBitmap) return;
    BITMAP bm{};
    if (!GetObject(m_imageBitmap, sizeof bm, &bm)) return;
    static const WORD kDiagonal[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, kDiagonal);
    HBRUSH brush = CreatePatternBrush(pattern);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(m_imageBitmap));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    RECT all = {0, 0, bm.bmWidth, bm.bmHeight};
    FillRect(dc, &all, brush);
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(brush);
    DeleteObject(pattern);
}

void CRasterLayer::MapToImagePixel(double x, double y, double* px, double* py) const {
    *px = (x - m_worldLeftX) / m_worldPixelWidth;
    *py = (m_worldTopY - y) / m_worldPixelHeight;
}

void CRasterLayer::ImagePixelToMap(double px, double py, double* x, double* y) const {
    *x = px * m_worldPixelWidth + m_worldLeftX;
    *y = m_worldTopY - py * m_worldPixelHeight;
}

namespace {
int TruncPixel(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(std::trunc(v), -1e9, 1e9));
}
}  // namespace

void CRasterLayer::MapToCachePixel(double x, double y, int* px, int* py) const {
    *px = TruncPixel((x - m_leftX) / m_pixelWidth);
    *py = TruncPixel((m_topY - y) / m_pixelHeight);
}

void CRasterLayer::OnViewChanged() {
    if (!m_visible || m_imageFullyLoaded) return;
    if (m_cacheZoom == 1 && m_drawExtent.IsInside(m_cacheExtent)) return;
    if (!CDoubleRect::Intersect(&m_visibleImageExtent, m_drawExtent, m_extent)) return;
    if (LoadViewImage(true)) return;

    double fx0, fy0, fx1, fy1;
    MapToImagePixel(m_visibleImageExtent.xmin, m_visibleImageExtent.ymax, &fx0, &fy0);
    MapToImagePixel(m_visibleImageExtent.xmax, m_visibleImageExtent.ymin, &fx1, &fy1);
    int left = TruncPixel(fx0), top = TruncPixel(fy0);
    // An edge on a pixel boundary ends with the pixel before it: the pixel
    // beyond would widen the window past the image.
    int right = std::max(left, TruncPixel(std::ceil(fx1)) - 1);
    int bottom = std::max(top, TruncPixel(std::ceil(fy1)) - 1);
    const int m = std::max(right - left + 1, bottom - top + 1);
    int ww, wh;
    if (m < m_cacheWidth || m < m_cacheHeight) {
        ww = m_cacheWidth;
        wh = m_cacheHeight;
    } else {
        ww = wh = m;
    }
    right = left + ww - 1;
    bottom = top + wh - 1;
    // A window past the image's last column or row moves back inside it.
    if (right > m_fullImageWidth - 1) {
        right = m_fullImageWidth - 1;
        left = m_fullImageWidth - ww;
        if (left < 0) {
            left = 0;
            right = ww - 1;
        }
    }
    if (bottom > m_fullImageHeight - 1) {
        bottom = m_fullImageHeight - 1;
        top = m_fullImageHeight - wh;
        if (top < 0) {
            top = 0;
            bottom = wh - 1;
        }
    }
    RECT window = {left, top, right, bottom};
    if (m_cacheZoom >= 0 && EqualRect(&window, &m_cacheWindow)) return;

    // The cache covers the window's pixels up to their outer edges.
    ImagePixelToMap(left, top, &m_cacheExtent.xmin, &m_cacheExtent.ymax);
    ImagePixelToMap(right + 1, bottom + 1, &m_cacheExtent.xmax, &m_cacheExtent.ymin);
    m_cacheWindow = window;
    m_cacheZoom = ww == m_cacheWidth ? 1 : 999;
    m_imageWidth = m_cacheWidth;
    m_imageHeight = m_cacheHeight;
    m_leftX = m_cacheExtent.xmin;
    m_topY = m_cacheExtent.ymax;
    m_pixelWidth = (m_cacheExtent.xmax - m_cacheExtent.xmin) / m_cacheWidth;
    m_pixelHeight = (m_cacheExtent.ymax - m_cacheExtent.ymin) / m_cacheHeight;
    LoadViewImage(false);
}

bool CRasterLayer::Draw(HDC target, HDC second, double mapScale) {
    (void)second;
    (void)mapScale;
    if (!m_imageBitmap) return false;
    CDoubleRect part;
    if (!CDoubleRect::Intersect(&part, m_cacheExtent, m_drawExtent)) return false;
    int sx0, sy0, sx1, sy1;
    MapToCachePixel(part.xmin, part.ymax, &sx0, &sy0);
    MapToCachePixel(part.xmax, part.ymin, &sx1, &sy1);
    POINT d0 = MapToDevice(part.xmin, part.ymax);
    POINT d1 = MapToDevice(part.xmax, part.ymin);
    HDC mem = CreateCompatibleDC(target);
    if (!mem) return false;
    HGDIOBJ old = SelectObject(mem, reinterpret_cast<HGDIOBJ>(m_imageBitmap));
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
