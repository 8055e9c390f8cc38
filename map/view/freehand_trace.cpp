#include "map/view/freehand_trace.h"

FreehandTrace::FreehandTrace()
    : m_pen(CreatePen(PS_SOLID, 3, 0x000000)), m_points(std::make_unique<POINT[]>(kMaxPoints)) {}
