#include "map/layers/jpeg_layer.h"

#include <algorithm>

#include "core/user_abort.h"

CJpegLayer::CJpegLayer() { SetKind(LayerKind::Jpeg); }

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
    Cache().imageWidth = Cache().fullImageWidth = m_reader.GetWidth();
    Cache().imageHeight = Cache().fullImageHeight = m_reader.GetHeight();
    Cache().tileFactor = std::max(2, (LargerScreenSide() + 255) / 256);
    Cache().cacheWidth = Cache().cacheHeight = Cache().tileFactor * 256;
    if (Cache().cacheWidth < Cache().imageWidth && Cache().cacheHeight < Cache().imageHeight) {
        bool ok;
        if (grey || m_reader.GetComponents() == 1) {
            RGBQUAD palette[256] = {};
            int count = m_reader.GetPalette(palette);
            ok = Cache().Create(Cache().cacheWidth, Cache().cacheHeight, count > 0 ? count : 256, count > 0 ? palette : nullptr,
                                   nullptr);
        } else {
            ok = Cache().Create(Cache().cacheWidth, Cache().cacheHeight, 0, nullptr, nullptr);
        }
        if (!ok) {
            CloseDataset();
            return false;
        }
    } else {
        ++m_wholeDecodes;
        gdi::OwnedBitmap whole(m_reader.ReadBitmap());
        if (!whole) {
            CloseDataset();
            return false;
        }
        Cache().Adopt(std::move(whole));
        Cache().fullyLoaded = true;
    }
    ComputeExtent();
    return true;
}

void CJpegLayer::CloseDataset() { m_reader.Close(); }

bool CJpegLayer::LoadViewImage(bool firstChance) {
    if (firstChance) return false;
    Cache().Clear();
    const RECT& w = Cache().cacheWindow;
    m_decodedWindows.push_back(w);
    if (!m_reader.DrawScaled(Cache().GetBitmap(), w.left, w.top, w.right - w.left + 1, w.bottom - w.top + 1,
                             &IsAbortRequested)) {
        // The next view change decodes again.
        Cache().cacheZoom = -1;
    }
    CDoubleRect cut;
    if (CDoubleRect::Intersect(&cut, Cache().cacheExtent, StoredExtent())) Cache().cacheExtent = cut;
    return false;
}
