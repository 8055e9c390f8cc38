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

CSidLayer::CSidLayer() { SetKind(LayerKind::Sid); }

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
    Cache().imageWidth = Cache().fullImageWidth = m_reader.GetImageWidth();
    Cache().imageHeight = Cache().fullImageHeight = m_reader.GetImageHeight();
    // The cache takes the screen, or the whole coarsest level when that is
    // larger, up to a few screens: a file may declare any size, and a view
    // costs a small multiple of what it shows.
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    Cache().cacheWidth = std::max(sw, std::min(m_reader.GetLevelWidth(m_levels - 1), kSidCacheScreens * sw));
    Cache().cacheHeight = std::max(sh, std::min(m_reader.GetLevelHeight(m_levels - 1), kSidCacheScreens * sh));
    // One band: grey, overlaid by the palette file beside the image.
    const WString clr = CPath(path).GetPathWithoutExtension() + u".clr";
    if (!Cache().Create(Cache().cacheWidth, Cache().cacheHeight, m_bands == 1 ? 256 : 0, nullptr,
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
    std::snprintf(buf, sizeof buf, "Cache Size=%d x %d\r\nImage Level=%d of %d\r\n", Cache().cacheWidth, Cache().cacheHeight,
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
    const double ew = StoredExtent().xmax - StoredExtent().xmin, eh = StoredExtent().ymax - StoredExtent().ymin;
    for (int level = 0; level < m_levels; ++level) {
        const int w = m_reader.GetLevelWidth(level), h = m_reader.GetLevelHeight(level);
        const double pw = ew / w, ph = eh / h;
        const double fx0 = (visible.xmin - Cache().worldLeftX) / pw, fy0 = (Cache().worldTopY - visible.ymax) / ph;
        const double fx1 = (visible.xmax - Cache().worldLeftX) / pw, fy1 = (Cache().worldTopY - visible.ymin) / ph;
        // The window's last pixel is the one before an edge on a pixel boundary.
        const int left = Pixel(std::floor(fx0)), top = Pixel(std::floor(fy0));
        const int right = std::max(left, Pixel(std::ceil(fx1)) - 1);
        const int bottom = std::max(top, Pixel(std::ceil(fy1)) - 1);
        *window = RECT{left, top, right, bottom};
        // The window must fit the cache bitmap it is decoded into.
        if (right - left + 1 <= Cache().cacheWidth && bottom - top + 1 <= Cache().cacheHeight) return level;
    }
    return m_levels - 1;
}

bool CSidLayer::LoadViewImage(bool firstChance) {
    if (!firstChance) return false;
    RECT window;
    const int level = ChooseLevel(Cache().visibleExtent, &window);
    // Only the coarsest level's window can be larger than the cache: it is
    // reduced by a whole factor until it fits.
    const int columns = std::min(window.right, m_reader.GetLevelWidth(level) - 1) - std::max(0, window.left) + 1;
    const int rows = std::min(window.bottom, m_reader.GetLevelHeight(level) - 1) - std::max(0, window.top) + 1;
    const int factor = std::max({1, (columns + Cache().cacheWidth - 1) / Cache().cacheWidth,
                                 (rows + Cache().cacheHeight - 1) / Cache().cacheHeight});
    if (level == m_currentLevel && factor == m_currentFactor && Cache().cacheZoom >= 0 &&
        Cache().visibleExtent.IsInside(Cache().cacheExtent))
        return true;
    Cache().Clear();
    m_decodedViews.push_back({level, window});
    const bool ok = m_reader.SelectView(level, &window, factor == 1 ? Cache().GetStride() : 0, factor) &&
                    m_reader.Draw(Cache().GetBitmap(), &IsAbortRequested);
    if (!ok) {
        // Decode again on the next view change.
        SetRefresh(true);
        m_currentLevel = -1;
        Cache().cacheZoom = -1;
        return true;
    }
    m_currentLevel = level;
    m_currentFactor = factor;
    Cache().cacheZoom = level == 0 && factor == 1 ? 1 : 9999;
    // The cache holds the decoded window's pixels, placed by their edges at
    // this level.
    RECT got;
    m_reader.GetExtent(&got);
    const double levelPixelWidth = (StoredExtent().xmax - StoredExtent().xmin) / m_reader.GetLevelWidth(level);
    const double levelPixelHeight = (StoredExtent().ymax - StoredExtent().ymin) / m_reader.GetLevelHeight(level);
    Cache().pixelWidth = levelPixelWidth * factor;
    Cache().pixelHeight = levelPixelHeight * factor;
    Cache().imageWidth = m_reader.GetOutputWidth();
    Cache().imageHeight = m_reader.GetOutputHeight();
    Cache().leftX = Cache().worldLeftX + got.left * levelPixelWidth;
    Cache().topY = Cache().worldTopY - got.top * levelPixelHeight;
    // A window reaching the level's edge ends exactly on the image's edge.
    const bool lastColumn = got.right == m_reader.GetLevelWidth(level) - 1;
    const bool lastRow = got.bottom == m_reader.GetLevelHeight(level) - 1;
    Cache().cacheExtent = CDoubleRect(got.left == 0 ? StoredExtent().xmin : Cache().leftX,
                                lastRow ? StoredExtent().ymin : Cache().topY - Cache().imageHeight * Cache().pixelHeight,
                                lastColumn ? StoredExtent().xmax : Cache().leftX + Cache().imageWidth * Cache().pixelWidth,
                                got.top == 0 ? StoredExtent().ymax : Cache().topY);
    return true;
}
