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
    SetKind(LayerKind::Rpf);
    Cache().tileFactor = LargerScreenSide() < 513 ? 2 : 6;
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
    std::snprintf(buf, sizeof buf, "CacheLevel=%d\r\nCache Size=%d x %d\r\n", Cache().tileFactor, Cache().cacheWidth,
                  Cache().cacheHeight);
    text = WidenText(buf);
}

bool CRpfLayer::OpenDataset(const WString& path) {
    if (!m_frame.Open(path)) return false;
    Cache().cacheWidth = Cache().cacheHeight = Cache().imageWidth = Cache().imageHeight = Cache().tileFactor * 256;
    Cache().fullImageWidth = Cache().fullImageHeight = CRpfFrame::kSubframes * CRpfFrame::kSubframeSize;
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
    if (!Cache().Create(Cache().cacheWidth, Cache().cacheHeight, m_paletteCount, palette, nullptr,
                           m_paletteCount <= 16 ? 4 : 8)) {
        CloseDataset();
        return false;
    }
    const double* c = m_frame.GetCoverage();
    double north, west, south, east;
    m_frame.PixelToGround(0, 0, &north, &west);
    m_frame.PixelToGround(Cache().fullImageWidth, Cache().fullImageHeight, &south, &east);
    (void)c;
    SetExtent(CDoubleRect(west, south, east, north));
    Cache().cacheExtent = StoredExtent();
    Cache().worldLeftX = Cache().leftX = west;
    Cache().worldTopY = Cache().topY = north;
    Cache().worldPixelWidth = (east - west) / Cache().fullImageWidth;
    Cache().worldPixelHeight = (north - south) / Cache().fullImageHeight;
    Cache().pixelWidth = Cache().worldPixelWidth;
    Cache().pixelHeight = Cache().worldPixelHeight;
    m_subframe.assign(CRpfFrame::kSubframeBytes, 0);
    CPath file(path);
    WString title = file.GetFileName();
    SetName(title + u" - " + WidenText(m_frame.GetSeries().shortName) + u" (CADRG/CIB)");
    SetComments(WidenText(m_frame.GetSeries().description));
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
    m_frame.GroundToSubframe(Cache().visibleExtent.ymax, Cache().visibleExtent.xmin, &c0, &r0);
    // A lower-right corner on a subframe boundary belongs to the subframe
    // before it: half a frame pixel inside decides.
    m_frame.GroundToSubframe(Cache().visibleExtent.ymin + Cache().worldPixelHeight / 2,
                             Cache().visibleExtent.xmax - Cache().worldPixelWidth / 2, &c1, &r1);
    int side = std::max({c1 - c0, r1 - r0, Cache().tileFactor - 1});
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
        Cache().cacheZoom = -1;
    }
    return true;
}

bool CRpfLayer::ReadSubframes(int firstColumn, int firstRow, int count) {
    if (!Cache().GetBits() || m_subframe.empty()) return false;
    const int size = CRpfFrame::kSubframeSize;
    Cache().cacheZoom = static_cast<double>(count * size) / Cache().cacheWidth;
    const int step = std::max(1, (count * size) / Cache().cacheWidth);
    const int cellW = Cache().cacheWidth / count;
    const int cellH = Cache().cacheHeight / count;
    // The cache's georeference is that of the window's subframes.
    double north, west, south, east;
    m_frame.PixelToGround(firstColumn * size, firstRow * size, &north, &west);
    m_frame.PixelToGround((firstColumn + count) * size, (firstRow + count) * size, &south, &east);
    Cache().cacheExtent = CDoubleRect(west, south, east, north);
    Cache().leftX = west;
    Cache().topY = north;
    Cache().imageWidth = Cache().cacheWidth;
    Cache().imageHeight = Cache().cacheHeight;
    Cache().pixelWidth = (east - west) / Cache().cacheWidth;
    Cache().pixelHeight = (north - south) / Cache().cacheHeight;
    auto* bits = static_cast<uint8_t*>(Cache().GetBits());
    std::memset(bits, 0, static_cast<size_t>(Cache().GetStride()) * Cache().cacheHeight);
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
                uint8_t* out = bits + static_cast<size_t>(Cache().cacheHeight - 1 - cacheRow) * Cache().GetStride();
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
