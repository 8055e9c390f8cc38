#include "map/layers/rpf_layer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/path.h"
#include "core/user_abort.h"
#include "map/layers/map_doc.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"

CRpfLayer::CRpfLayer() {
    m_kind = kLayerRpf;
    m_cacheTileFactor = LargerScreenSide() < 513 ? 2 : 6;
    const int bits = GetDeviceCaps(nullptr, BITSPIXEL);
    m_colourMode = bits <= 4 ? 2 : bits < 8 ? 1 : 0;
}

CRpfLayer::~CRpfLayer() { CloseDataset(); }

CCoordSys* CRpfLayer::GetCoordSys() {
    if (CCoordSys* own = CLayer::GetCoordSys()) return own;
    // Frames are in WGS 1984 degrees unless a .prj says otherwise.
    CWktCoordSys wkt;
    if (!wkt.ParseWkt(CMapDoc::kDefaultWkt)) return nullptr;
    return wkt.CreateProjection().release();
}

void CRpfLayer::GetInfoText(WString& text) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "CacheLevel=%d\r\nCache Size=%d x %d\r\n", m_cacheTileFactor, m_cacheWidth,
                  m_cacheHeight);
    text = WidenText(buf);
}

bool CRpfLayer::OpenDataset(const WString& path) {
    if (!m_frame.Open(path)) return false;
    m_cacheWidth = m_cacheHeight = m_imageWidth = m_imageHeight = m_cacheTileFactor * 256;
    m_fullImageWidth = m_fullImageHeight = CRpfFrame::kSubframes * CRpfFrame::kSubframeSize;
    // A frame whose colours or codebook cannot be read would draw wrong
    // pixels: it does not open.
    if (!m_frame.ReadColorTables(m_colourMode) || !m_frame.ReadCompression()) {
        CloseDataset();
        return false;
    }
    m_paletteCount = m_colourMode == 1 ? 32 : m_colourMode == 2 ? 16 : 216;
    RGBQUAD palette[256] = {};
    const CRpfFrame::Colour* colours = m_frame.GetPalette();
    const int have = std::min(m_paletteCount, m_frame.GetPaletteCount());
    for (int i = 0; i < have; ++i) palette[i] = {colours[i].blue, colours[i].green, colours[i].red, 0};
    if (!CreateCacheBitmap(m_cacheWidth, m_cacheHeight, m_paletteCount, palette, nullptr,
                           m_paletteCount <= 16 ? 4 : 8)) {
        CloseDataset();
        return false;
    }
    const double* c = m_frame.GetCoverage();
    double north, west, south, east;
    m_frame.PixelToGround(0, 0, &north, &west);
    m_frame.PixelToGround(m_fullImageWidth, m_fullImageHeight, &south, &east);
    (void)c;
    m_extent = CDoubleRect(west, south, east, north);
    m_cacheExtent = m_extent;
    m_worldLeftX = m_leftX = west;
    m_worldTopY = m_topY = north;
    m_worldPixelWidth = (east - west) / m_fullImageWidth;
    m_worldPixelHeight = (north - south) / m_fullImageHeight;
    m_pixelWidth = m_worldPixelWidth;
    m_pixelHeight = m_worldPixelHeight;
    m_subframe.assign(CRpfFrame::kSubframeBytes, 0);
    CPath file(path);
    WString title = file.GetFileName();
    m_name = title + u" - " + WidenText(m_frame.GetSeries().shortName) + u" (CADRG/CIB)";
    m_comments = WidenText(m_frame.GetSeries().description);
    return true;
}

void CRpfLayer::CloseDataset() {
    m_subframe.clear();
    m_subframe.shrink_to_fit();
    m_frame.Close();
    m_loadedColumn = m_loadedRow = m_loadedSide = -1;
}

bool CRpfLayer::LoadViewImage(bool firstChance) {
    if (!firstChance) return false;
    int c0, r0, c1, r1;
    m_frame.GroundToSubframe(m_visibleImageExtent.ymax, m_visibleImageExtent.xmin, &c0, &r0);
    // A lower-right corner on a subframe boundary belongs to the subframe
    // before it: half a frame pixel inside decides.
    m_frame.GroundToSubframe(m_visibleImageExtent.ymin + m_worldPixelHeight / 2,
                             m_visibleImageExtent.xmax - m_worldPixelWidth / 2, &c1, &r1);
    int side = std::max({c1 - c0, r1 - r0, m_cacheTileFactor - 1});
    if (side % 2 == 0) ++side;
    while (c0 > 0 && c0 + side > 5) --c0;
    while (r0 > 0 && r0 + side > 5) --r0;
    if (c0 == m_loadedColumn && r0 == m_loadedRow && side == m_loadedSide) return true;
    if (ReadSubframes(c0, r0, side + 1)) {
        m_loadedColumn = c0;
        m_loadedRow = r0;
        m_loadedSide = side;
    } else {
        // A half-filled cache is read again on the next view change.
        m_loadedColumn = m_loadedRow = m_loadedSide = -1;
        m_cacheZoom = -1;
    }
    return true;
}

bool CRpfLayer::ReadSubframes(int firstColumn, int firstRow, int count) {
    if (!m_imageBits || m_subframe.empty()) return false;
    const int size = CRpfFrame::kSubframeSize;
    m_cacheZoom = static_cast<double>(count * size) / m_cacheWidth;
    const int step = std::max(1, (count * size) / m_cacheWidth);
    const int cellW = m_cacheWidth / count;
    const int cellH = m_cacheHeight / count;
    // The cache's georeference is that of the window's subframes.
    double north, west, south, east;
    m_frame.PixelToGround(firstColumn * size, firstRow * size, &north, &west);
    m_frame.PixelToGround((firstColumn + count) * size, (firstRow + count) * size, &south, &east);
    m_cacheExtent = CDoubleRect(west, south, east, north);
    m_leftX = west;
    m_topY = north;
    m_imageWidth = m_cacheWidth;
    m_imageHeight = m_cacheHeight;
    m_pixelWidth = (east - west) / m_cacheWidth;
    m_pixelHeight = (north - south) / m_cacheHeight;
    auto* bits = static_cast<uint8_t*>(m_imageBits);
    std::memset(bits, 0, static_cast<size_t>(m_cacheStride) * m_cacheHeight);
    const bool packed = m_colourMode == 2;
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < count; ++c) {
            const int column = firstColumn + c, row = firstRow + r;
            if (column > 5 || row > 5) continue;
            ++m_subframeReads;
            if (!m_frame.ReadSubframe(row * CRpfFrame::kSubframes + column, m_subframe.data())) continue;
            for (int y = 0; y < cellH; ++y) {
                const int cacheRow = r * cellH + y;
                // Bottom-up rows.
                uint8_t* out = bits + static_cast<size_t>(m_cacheHeight - 1 - cacheRow) * m_cacheStride;
                const uint8_t* in = m_subframe.data() + static_cast<size_t>(y * step) * size;
                for (int x = 0; x < cellW; ++x) {
                    const int cx = c * cellW + x;
                    const uint8_t v = in[x * step];
                    if (packed) {
                        uint8_t& b = out[cx / 2];
                        b = (cx % 2 == 0) ? static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4))
                                          : static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
                    } else {
                        out[cx] = v;
                    }
                }
            }
            if (IsAbortRequested()) return false;
        }
    }
    return true;
}
