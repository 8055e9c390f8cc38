#include "platform/win/theme.h"

#include <array>

#include "platform/gdi/gdi.h"
#include "platform/win/window.h"

namespace {

const std::array<COLORREF, kSysColorCount> kColours = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // background
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3-D dark shadow
    RGB(192, 192, 192),  // 3-D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(192, 192, 192),  // static control background
    RGB(0, 0, 0),        // static control text
};

std::array<HBRUSH, kSysColorCount> g_brushes{};

}  // namespace

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= kSysColorCount) return 0;
    return kColours[static_cast<size_t>(index)];
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    HBRUSH& b = g_brushes[static_cast<size_t>(index)];
    if (!b || GetObjectType(b) != OBJ_BRUSH) b = CreateSolidBrush(kColours[size_t(index)]);
    return b;
}

namespace win::theme {

int Scale(int at96) {
    int dpi = gdi::GetScreenMetrics().logPixelsY;
    if (dpi <= 0 || dpi == 96) return at96;
    return (at96 * dpi + 48) / 96;
}

HBRUSH ClassBrush(HBRUSH classValue) {
    uintptr_t v = reinterpret_cast<uintptr_t>(classValue);
    if (v > 0 && v <= kSysColorCount) return GetSysColorBrush(static_cast<int>(v - 1));
    return classValue;
}

void ResetForTests() {
    for (HBRUSH& b : g_brushes) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
}

}  // namespace win::theme
