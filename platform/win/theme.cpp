#include "platform/win/theme.h"

#include <array>

#include "platform/gdi/gdi.h"
#include "platform/win/window.h"

namespace {

std::array<HBRUSH, kSysColorCount> g_brushes{};

}  // namespace

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return gdi::SystemColour(index);
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    HBRUSH& b = g_brushes[static_cast<size_t>(index)];
    if (!b || GetObjectType(b) != OBJ_BRUSH) b = CreateSolidBrush(gdi::SystemColour(index));
    return b;
}

namespace win::theme {

int Scale(int at96) {
    int dpi = gdi::GetScreenMetrics().logPixelsY;
    if (dpi <= 0 || dpi == 96) return at96;
    return (at96 * dpi + 48) / 96;
}

void ResetForTests() {
    for (HBRUSH& b : g_brushes) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
}

}  // namespace win::theme
