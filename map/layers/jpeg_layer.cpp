#include "map/layers/jpeg_layer.h"

#include <algorithm>

#include "core/user_abort.h"

CJpegLayer::CJpegLayer() { m_kind = kLayerJpeg; }

CJpegLayer::~CJpegLayer() { m_reader.Close(); }

bool CJpegLayer::OpenDataset(const WString& path) {
    if (!ReadWorldFile(path)) return false;
    if (!m_reader.Open(path)) {
        CloseDataset();
        return false;
    }
    // A palette display with fewer than 8 bits of colour gets grey output.
    const bool grey = (GetDeviceCaps(nullptr, RASTERCAPS) & RC_PALETTE) && GetDeviceCaps(nullptr, COLORRES) < 8;
    if (grey) m_reader.SetGrayscale();
    m_imageWidth = m_fullImageWidth = m_reader.GetWidth();
    m_imageHeight = m_fullImageHeight = m_reader.GetHeight();
    m_cacheTileFactor = std::max(2, (LargerScreenSide() + 255) / 256);
    m_cacheWidth = m_cacheHeight = m_cacheTileFactor * 256;
    if (m_cacheWidth < m_imageWidth && m_cacheHeight < m_imageHeight) {
        bool ok;
        if (grey || m_reader.GetComponents() == 1) {
            RGBQUAD palette[256] = {};
            int count = m_reader.GetPalette(palette);
            ok = CreateCacheBitmap(m_cacheWidth, m_cacheHeight, count > 0 ? count : 256, count > 0 ? palette : nullptr,
                                   nullptr);
        } else {
            ok = CreateCacheBitmap(m_cacheWidth, m_cacheHeight, 0, nullptr, nullptr);
        }
        if (!ok) {
            CloseDataset();
            return false;
        }
    } else {
        ++m_wholeDecodes;
        HBITMAP whole = m_reader.ReadBitmap();
        if (!whole) {
            CloseDataset();
            return false;
        }
        FreeCacheBitmap();
        m_imageBitmap = whole;
        m_imageFullyLoaded = true;
    }
    ComputeExtent();
    return true;
}

void CJpegLayer::CloseDataset() { m_reader.Close(); }

bool CJpegLayer::LoadViewImage(bool firstChance) {
    if (firstChance) return false;
    ClearCacheBitmap();
    const RECT& w = m_cacheWindow;
    m_decodedWindows.push_back(w);
    if (!m_reader.DrawScaled(m_imageBitmap, w.left, w.top, w.right - w.left + 1, w.bottom - w.top + 1, &IsAbortRequested)) {
        // The next view change decodes again.
        m_cacheZoom = -1;
    }
    CDoubleRect cut;
    if (CDoubleRect::Intersect(&cut, m_cacheExtent, m_extent)) m_cacheExtent = cut;
    return false;
}
