// The current tool of the map view and the pointer state the tools work
// with: the last pointer position in pixels and map units, the start and
// last point of a pan drag, and the pen tolerance (the reach of a tap in
// map units).
#pragma once

#include <cstdint>

#include "platform/text/text.h"
#include "platform/types.h"

// The tools of the view: 0 none, 1-21 built in, 1000 + command id for a
// tool of the configuration (commands 9000-9199).
using MapToolId = int32_t;
constexpr MapToolId kToolNone = 0;
constexpr MapToolId kToolZoomIn = 1;
constexpr MapToolId kToolZoomOut = 2;
constexpr MapToolId kToolPan = 3;
constexpr MapToolId kToolMeasure = 4;
constexpr MapToolId kToolMeasureRadial = 5;
constexpr MapToolId kToolMeasureFreehand = 6;
constexpr MapToolId kToolIdentify = 7;
constexpr MapToolId kToolHyperlink = 8;
constexpr MapToolId kToolGoTo = 9;
constexpr MapToolId kToolAdvancedSelect = 10;
constexpr MapToolId kToolSelect = 11;
constexpr MapToolId kToolVertexEdit = 12;
constexpr MapToolId kToolPoint = 13;
constexpr MapToolId kToolLine = 14;
constexpr MapToolId kToolPolyline = 15;
constexpr MapToolId kToolFreehandLine = 16;
constexpr MapToolId kToolRectangle = 17;
constexpr MapToolId kToolPolygon = 18;
constexpr MapToolId kToolCircle = 19;
constexpr MapToolId kToolEllipse = 20;
constexpr MapToolId kToolFreehandPolygon = 21;
constexpr MapToolId kToolLastBuiltIn = 21;
// A configured tool is this plus its command id.
constexpr MapToolId kToolConfiguredBase = 1000;

inline bool IsConfiguredTool(MapToolId tool) {
    return tool >= kToolConfiguredBase;
}

// A built-in tool: the command that chooses it, the command's name in the
// main frame's table and the name of its cursor resource (null: the system
// default).
struct MapToolInfo {
    MapToolId tool;
    UINT command;
    const char* name;
    const WChar* cursor;
};
// Null for 0, a configured tool or an unknown number.
const MapToolInfo* FindMapTool(MapToolId tool);
// kToolNone when the command chooses no built-in tool.
MapToolId MapToolOfCommand(UINT command);

class MapToolState {
public:
    MapToolId Current() const { return m_currentTool; }
    // Choosing the current tool again turns it off: false.
    bool Choose(MapToolId tool);

    // The preferences' tolerance in pixels at the view's x scale.
    void SetPenTolerance(int tolerancePixels, double xScale);
    double PenTolerance() const { return m_penTolerance; }

    void SetPointer(POINT pixel, double mapX, double mapY);
    POINT Pointer() const { return POINT{m_pointerX, m_pointerY}; }
    double PointerMapX() const { return m_pointerMapX; }
    double PointerMapY() const { return m_pointerMapY; }

    void StartPan(POINT at) {
        m_panStart = m_panLast = at;
        m_panning = true;
    }
    void MovePan(POINT to) { m_panLast = to; }
    void EndPan() { m_panning = false; }
    bool IsPanning() const { return m_panning; }

    // The last pen position in the view, for every tool.
    void SetLastPen(POINT p) { m_lastPen = p; }
    POINT LastPen() const { return m_lastPen; }
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
    bool m_panning = false;
    POINT m_lastPen{};
};
