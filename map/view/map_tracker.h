// The view's rectangle tracker: the selection box around the current
// feature, drawn dotted with optional resize handles, and the transform the
// tracker's read-out uses to turn pen points into map coordinates. The
// tracking loops are built by the pen tools.
#pragma once

#include "core/double_rect.h"
#include "platform/gdi/gdi.h"
#include "platform/types.h"

class CCoordSys;

class CMapTracker {
public:
    // Style bits.
    static constexpr UINT kSolidLine = 0x01;
    static constexpr UINT kDottedLine = 0x02;
    static constexpr UINT kResizeInside = 0x10;
    static constexpr UINT kResizeOutside = 0x20;
    // Handle mask: the four corners and the four side midpoints.
    static constexpr UINT kAllHandles = 0xFF;

    void SetTransform(const RECT& client, const CDoubleRect& extent);
    void ScreenToMap(int px, int py, double& x, double& y) const;
    void SetCoordSys(CCoordSys* cs) { m_coordSys = cs; }
    CCoordSys* GetCoordSys() const { return m_coordSys; }
    // Where the read-out goes: the status bar, its distance and coordinate
    // panes, decimal places, the coordinate switch and format.
    void SetReadout(HWND statusBar, int distancePane, int coordPane, int decimals, bool coords,
                    int format);
    void SetCoordinateFormat(int format) { m_coordFormat = format; }
    void SetHandleSize(int size) { m_handleSize = size; }
    int GetHandleSize() const { return m_handleSize; }

    // The rectangle's outline (dotted or solid) and the handles of the mask
    // (outside or inside the rectangle).
    void Draw(HDC dc) const;
    // Left <= right, top <= bottom.
    void NormalizeRect();

    RECT m_rect{};
    UINT m_style = kDottedLine | kResizeOutside;
    UINT m_handleMask = 0;
    int m_rubberBandStyle = 0;

    HWND m_statusBar = nullptr;
    int m_distancePane = 0;
    int m_coordPane = 1;
    int m_decimals = 1;
    bool m_showCoords = true;
    int m_coordFormat = 0;

private:
    RECT m_client{};
    CDoubleRect m_extent{0, 0, 1, 1};
    double m_scale = 1.0;
    CCoordSys* m_coordSys = nullptr;
    int m_handleSize = 8;
};
