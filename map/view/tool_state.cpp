#include "map/view/tool_state.h"

void MapToolState::Choose(MapToolId tool) {
    m_currentTool = (tool == m_currentTool) ? kToolNone : tool;
}

void MapToolState::SetPenTolerance(int tolerancePixels, double xScale) {
    m_penTolerance = tolerancePixels / xScale;
}

void MapToolState::SetPointer(POINT pixel, double mapX, double mapY) {
    m_pointerX = pixel.x;
    m_pointerY = pixel.y;
    m_pointerMapX = mapX;
    m_pointerMapY = mapY;
}
