#include "map/layers/raster_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/text_helpers.h"
#include "platform/fs/fs.h"
#include "platform/win/winconst.h"
#include "platform/win/window.h"

namespace {

std::string_view TrimAscii(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
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

int LargerScreenSide() { return std::max(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)); }

CRasterLayer::CRasterLayer() {
    SetCategory(LayerCategory::Image);
    SetDisplayClass(DisplayClass::Image);
    m_cache.tileFactor = 2;
    m_cache.cacheZoom = 0;
    m_cache.mark1 = -1;
    m_cache.mark2 = -1;
    m_cache.fullyLoaded = false;
    m_cache.cacheWindow = {-1, -1, -1, -1};
}

CRasterLayer::~CRasterLayer() = default;

bool CRasterLayer::ReadWorldFile(const WString& imagePath) {
    std::string bytes;
    if (!fs::ReadWholeFile(GetWorldFilePath(imagePath), &bytes)) return false;
    WorldFile w;
    if (!ParseWorldFile(bytes, w)) return false;
    m_cache.pixelWidth = m_cache.worldPixelWidth = w.pixelWidth;
    m_cache.pixelHeight = m_cache.worldPixelHeight = w.pixelHeight;
    m_cache.leftX = m_cache.worldLeftX = w.leftX;
    m_cache.topY = m_cache.worldTopY = w.topY;
    return true;
}

void CRasterLayer::ComputeExtent() {
    CDoubleRect extent;
    extent.xmin = m_cache.leftX;
    extent.xmax = m_cache.leftX + m_cache.imageWidth * m_cache.pixelWidth;
    extent.ymax = m_cache.topY;
    extent.ymin = m_cache.topY - m_cache.imageHeight * m_cache.pixelHeight;
    SetExtent(extent);
    m_cache.cacheExtent = extent;
}

void CRasterLayer::OnViewChanged() {
    if (!IsVisible() || m_cache.fullyLoaded) return;
    if (m_cache.cacheZoom == 1 && GetDrawExtent().IsInside(m_cache.cacheExtent)) return;
    if (!CDoubleRect::Intersect(&m_cache.visibleExtent, GetDrawExtent(), StoredExtent())) return;
    if (LoadViewImage(true)) return;

    double fx0, fy0, fx1, fy1;
    m_cache.MapToImagePixel(m_cache.visibleExtent.xmin, m_cache.visibleExtent.ymax, &fx0, &fy0);
    m_cache.MapToImagePixel(m_cache.visibleExtent.xmax, m_cache.visibleExtent.ymin, &fx1, &fy1);
    int left = TruncPixel(fx0), top = TruncPixel(fy0);
    // An edge on a pixel boundary ends with the pixel before it: the pixel
    // beyond would widen the window past the image.
    int right = std::max(left, TruncPixel(std::ceil(fx1)) - 1);
    int bottom = std::max(top, TruncPixel(std::ceil(fy1)) - 1);
    const int m = std::max(right - left + 1, bottom - top + 1);
    int ww, wh;
    if (m < m_cache.cacheWidth || m < m_cache.cacheHeight) {
        ww = m_cache.cacheWidth;
        wh = m_cache.cacheHeight;
    } else {
        ww = wh = m;
    }
    right = left + ww - 1;
    bottom = top + wh - 1;
    // A window past the image's last column or row moves back inside it.
    if (right > m_cache.fullImageWidth - 1) {
        right = m_cache.fullImageWidth - 1;
        left = m_cache.fullImageWidth - ww;
        if (left < 0) {
            left = 0;
            right = ww - 1;
        }
    }
    if (bottom > m_cache.fullImageHeight - 1) {
        bottom = m_cache.fullImageHeight - 1;
        top = m_cache.fullImageHeight - wh;
        if (top < 0) {
            top = 0;
            bottom = wh - 1;
        }
    }
    RECT window = {left, top, right, bottom};
    if (m_cache.cacheZoom >= 0 && EqualRect(&window, &m_cache.cacheWindow)) return;

    // The cache covers the window's pixels up to their outer edges.
    m_cache.ImagePixelToMap(left, top, &m_cache.cacheExtent.xmin, &m_cache.cacheExtent.ymax);
    m_cache.ImagePixelToMap(right + 1, bottom + 1, &m_cache.cacheExtent.xmax, &m_cache.cacheExtent.ymin);
    m_cache.cacheWindow = window;
    m_cache.cacheZoom = ww == m_cache.cacheWidth ? 1 : 999;
    m_cache.imageWidth = m_cache.cacheWidth;
    m_cache.imageHeight = m_cache.cacheHeight;
    m_cache.leftX = m_cache.cacheExtent.xmin;
    m_cache.topY = m_cache.cacheExtent.ymax;
    m_cache.pixelWidth = (m_cache.cacheExtent.xmax - m_cache.cacheExtent.xmin) / m_cache.cacheWidth;
    m_cache.pixelHeight = (m_cache.cacheExtent.ymax - m_cache.cacheExtent.ymin) / m_cache.cacheHeight;
    LoadViewImage(false);
}

bool CRasterLayer::Draw(HDC target, HDC second, double mapScale) {
    (void)second;
    (void)mapScale;
    return m_cache.Draw(target, *this, false);
}
