#include "map/view/tool_state.h"

namespace {

const MapToolInfo kTools[] = {
    {kToolZoomIn, 1800, "modezoomin", u"CUR_ZOOMIN"},
    {kToolZoomOut, 1801, "modezoomout", u"CUR_ZOOMOUT"},
    {kToolPan, 1802, "modepan", u"CUR_PAN"},
    {kToolMeasure, 1811, "modemeasure", u"CUR_MEASURE"},
    {kToolMeasureRadial, 1812, "modemeasureradial", u"CUR_MEASURE"},
    {kToolMeasureFreehand, 1813, "modefreehandmeasure", u"CUR_MEASURE"},
    {kToolIdentify, 1810, "modeidentify", u"CUR_IDENTIFY"},
    {kToolHyperlink, 1814, "modehyperlink", u"CUR_HYPERLINK"},
    {kToolGoTo, 1815, "modegoto", u"CUR_GOTO"},
    {kToolAdvancedSelect, 1816, "modeadvancedselect", u"CUR_ADVANCEDSELECT"},
    {kToolSelect, 1820, "modeselect", nullptr},
    {kToolVertexEdit, 1821, "modevertexedit", u"CUR_VERTEX"},
    {kToolPoint, 1822, "modedrawpoint", u"CUR_CROSS"},
    {kToolLine, 1823, "modedrawline", u"CUR_CROSS"},
    {kToolPolyline, 1824, "modedrawpolyline", u"CUR_CROSS"},
    {kToolFreehandLine, 1825, "modedrawfreehandline", u"CUR_CROSS"},
    {kToolRectangle, 1826, "modedrawrectangle", u"CUR_CROSS"},
    {kToolPolygon, 1827, "modedrawpolygon", u"CUR_CROSS"},
    {kToolCircle, 1829, "modedrawcircle", u"CUR_CROSS"},
    {kToolEllipse, 1828, "modedrawellipse", u"CUR_CROSS"},
    {kToolFreehandPolygon, 1830, "modedrawfreehandpolygon", u"CUR_CROSS"},
};

}  // namespace

const MapToolInfo* FindMapTool(MapToolId tool) {
    if (tool < kToolZoomIn || tool > kToolLastBuiltIn) return nullptr;
    return &kTools[tool - 1];
}

MapToolId MapToolOfCommand(UINT command) {
    for (const MapToolInfo& t : kTools)
        if (t.command == command) return t.tool;
    return kToolNone;
}

bool MapToolState::Choose(MapToolId tool) {
    if (tool == m_currentTool) {
        m_currentTool = kToolNone;
        return false;
    }
    m_currentTool = tool;
    return true;
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
