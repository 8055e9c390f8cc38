#include "map/view/vertex_markers.h"

#include "platform/win/theme.h"

void VertexMarkers::SetTolerance(int tolerance) {
    m_size = win::theme::Scale(tolerance < 3 ? 4 : tolerance + 1);
}
