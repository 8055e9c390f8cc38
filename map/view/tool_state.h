// The current tool of the map view and the pointer state the tools work
// with: the last pointer position in pixels and map units, the start and
// last point of a pan drag, and the pen tolerance (the reach of a tap in
// map units).
#pragma once

#include <cstdint>

#include "platform/types.h"

// Tools of the view (the pen tools are filled in by the tool code).
using MapToolId = int32_t;
constexpr MapToolId kToolNone = 0;
constexpr MapToolId kToolMeasure = 4;
constexpr MapToolId kToolVertexEdit = 12;

class MapToolState {
public:
    MapToolId Current() const { return m_currentTool; }
    // Choosing the current tool again turns it off.
    void Choose(MapToolId tool);

    // The preferences' tolerance in pixels at the view's x scale.
    void SetPenTolerance(int tolerancePixels, double xScale);
    double PenTolerance() const { return m_penTolerance; }

    void SetPointer(POINT pixel, double mapX, double mapY);
    POINT Pointer() const { return POINT{m_pointerX, m_pointerY}; }
    double PointerMapX() const { return m_pointerMapX; }
    double PointerMapY() const { return m_pointerMapY; }

    void StartPan(POINT at) { m_panStart = m_panLast = at; }
    void MovePan(POINT to) { m_panLast = to; }
    POINT PanStart() const { return m_panStart; }
    POINT PanLast() const { return m_panLast; }

private:
    MapToolId m_currentTool = kToolNone;
    int32_t m_pointerX = 0;
    int32_t m_pointerY = 0;
    double m_pointerMapX = 0;
    double m_pointerMapY = 0;
    double m_penTolerance = 0;
    POINT m_panStart{};
    POINT m_panLast{};
};
