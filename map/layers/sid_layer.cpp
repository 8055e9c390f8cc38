#include "map/layers/sid_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/path.h"
#include "core/user_abort.h"
#include "map/map_messages.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"

CSidLayer::CSidLayer() { m_kind = kLayerSid; }

CSidLayer::~CSidLayer() { CloseDataset(); }

bool CSidLayer::OpenDataset(const WString& path) {
    if (!ReadWorldFile(path)) return false;
    if (!m_reader.Open(path) || m_reader.GetBands() >= 4) {
        // A newer generation, or bands the decoder does not know.
        if (m_reader.GetStatus() == kSidUnsupported || m_reader.GetBands() >= 4)
            ShowMapMessage(IDP_UNSUPPORTED_MRSID, MB_OK | MB_ICONEXCLAMATION, kBeepExclamation);
        CloseDataset();
        return false;
    }
    m_bands = m_reader.GetBands();
    m_levels = m_reader.GetLevels();
    // An image without levels has no view the reader can select.
    if (m_levels < 1) {
        CloseDataset();
        return false;
    }
    m_imageWidth = m_fullImageWidth = m_reader.GetImageWidth();
    m_imageHeight = m_fullImageHeight = m_reader.GetImageHeight();
    m_cacheWidth = std::max(m_reader.GetLevelWidth(m_levels - 1), GetSystemMetrics(SM_CXSCREEN));
    m_cacheHeight = std::max(m_reader.GetLevelHeight(m_levels - 1), GetSystemMetrics(SM_CYSCREEN));
    // One band: grey, overlaid by the palette file beside the image.
    const WString clr = CPath(path).GetPathWithoutExtension() + u".clr";
    if (!CreateCacheBitmap(m_cacheWidth, m_cacheHeight, m_bands == 1 ? 256 : 0, nullptr,
                           m_bands == 1 ? &clr : nullptr)) {
        CloseDataset();
        return false;
    }
    ComputeExtent();
    return true;
}

void CSidLayer::CloseDataset() { m_reader.Close(); }

void CSidLayer::GetInfoText(WString& text) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Cache Size=%d x %d\r\nImage Level=%d of %d\r\n", m_cacheWidth, m_cacheHeight,
                  m_currentLevel + 1, m_levels);
    text = WidenText(buf);
}

namespace {

int Pixel(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

}  // namespace

int CSidLayer::ChooseLevel(const CDoubleRect& visible, RECT* window) const {
    const double ew = m_extent.xmax - m_extent.xmin, eh = m_extent.ymax - m_extent.ymin;
    for (int level = 0; level < m_levels; ++level) {
        const int w = m_reader.GetLevelWidth(level), h = m_reader.GetLevelHeight(level);
        const double pw = ew / w, ph = eh / h;
        const double fx0 = (visible.xmin - m_worldLeftX) / pw, fy0 = (m_worldTopY - visible.ymax) / ph;
        const double fx1 = (visible.xmax - m_worldLeftX) / pw, fy1 = (m_worldTopY - visible.ymin) / ph;
        // The window's last pixel is the one before an edge on a pixel boundary.
        const int left = Pixel(std::floor(fx0)), top = Pixel(std::floor(fy0));
        const int right = std::max(left, Pixel(std::ceil(fx1)) - 1);
        const int bottom = std::max(top, Pixel(std::ceil(fy1)) - 1);
        *window = RECT{left, top, right, bottom};
        // The window must fit the cache bitmap it is decoded into.
        if (right - left + 1 <= m_cacheWidth && bottom - top + 1 <= m_cacheHeight) return level;
    }
    return m_levels - 1;
}

bool CSidLayer::LoadViewImage(bool firstChance) {
    if (!firstChance) return false;
    RECT window;
    const int level = ChooseLevel(m_visibleImageExtent, &window);
    if (level == m_currentLevel && m_cacheZoom >= 0 && m_visibleImageExtent.IsInside(m_cacheExtent)) return true;
    ClearCacheBitmap();
    m_decodedViews.push_back({level, window});
    const bool ok = m_reader.SelectView(level, &window, m_cacheStride) && m_reader.Draw(m_imageBitmap, &IsAbortRequested);
    if (!ok) {
        // Decode again on the next view change.
        m_refresh = true;
        m_currentLevel = -1;
        m_cacheZoom = -1;
        return true;
    }
    m_currentLevel = level;
    m_cacheZoom = level == 0 ? 1 : 9999;
    // The cache holds the decoded window's pixels, placed by their edges at
    // this level.
    RECT got;
    m_reader.GetExtent(&got);
    m_pixelWidth = (m_extent.xmax - m_extent.xmin) / m_reader.GetLevelWidth(level);
    m_pixelHeight = (m_extent.ymax - m_extent.ymin) / m_reader.GetLevelHeight(level);
    m_imageWidth = m_reader.GetWidth();
    m_imageHeight = m_reader.GetHeight();
    m_leftX = m_worldLeftX + got.left * m_pixelWidth;
    m_topY = m_worldTopY - got.top * m_pixelHeight;
    // A window reaching the level's edge ends exactly on the image's edge.
    const bool lastColumn = got.right == m_reader.GetLevelWidth(level) - 1;
    const bool lastRow = got.bottom == m_reader.GetLevelHeight(level) - 1;
    m_cacheExtent = CDoubleRect(got.left == 0 ? m_extent.xmin : m_leftX,
                                lastRow ? m_extent.ymin : m_topY - m_imageHeight * m_pixelHeight,
                                lastColumn ? m_extent.xmax : m_leftX + m_imageWidth * m_pixelWidth,
                                got.top == 0 ? m_extent.ymax : m_topY);
    return true;
}
