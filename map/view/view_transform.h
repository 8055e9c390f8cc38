// The display transform of the map view: the client size, the extent shown
// and the origin and scales that turn map coordinates into window pixels
// and back. Map y grows upward, pixel y downward.
#pragma once

#include <cstdint>

#include "core/double_rect.h"
#include "platform/types.h"

class CCoordSys;

class ViewTransform {
public:
    void SetClientSize(int width, int height) {
        m_clientWidth = width;
        m_clientHeight = height;
    }
    int ClientWidth() const { return m_clientWidth; }
    int ClientHeight() const { return m_clientHeight; }
    bool HasArea() const { return m_clientWidth > 0 && m_clientHeight > 0; }

    const CDoubleRect& Extent() const { return m_extent; }
    // A non-finite extent is kept out.
    void SetExtent(const CDoubleRect& extent);
    // Moves the extent by (dx, dy), the origin with it.
    void Offset(double dx, double dy);

    // The scales for the extent at the client size, one for both axes (the
    // extent's longer side fills the window), and the extent grown to the
    // window's shape. A window without area, a non-finite extent or scale
    // keeps the last transform: false.
    bool Fit();

    double XScale() const { return m_xScale; }
    double YScale() const { return m_yScale; }

    void ScreenToMap(int px, int py, double& x, double& y) const;
    // Truncated toward zero and held to the 32-bit range.
    void MapToScreen(double x, double y, int& px, int& py) const;
    POINT MapPointToScreen(const DoublePoint& p) const;
    // The top-left corner gives xmin and ymax, the bottom-right xmax and ymin.
    CDoubleRect ScreenRectToMap(const RECT& r) const;
    // A ground distance in metres as whole pixels at the given latitude;
    // 0 without a coordinate system or with an unknown one.
    int GroundDistanceToPixels(double metres, double latitude, CCoordSys* cs) const;

private:
    int32_t m_clientWidth = 0;
    int32_t m_clientHeight = 0;
    double m_originX = 0;
    double m_originY = 0;
    double m_xScale = 1.0;
    double m_yScale = 1.0;
    CDoubleRect m_extent{-180, -90, 180, 90};
};

bool IsFiniteRect(const CDoubleRect& r);
