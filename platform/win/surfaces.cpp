// The drawing surfaces behind windows and the screen. Drawing itself is the
// graphics module's; this only keeps one surface per window and hands out
// device contexts on it.
#include <map>

#include "platform/gdi/gdi.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {
std::map<HWND, HBITMAP> g_surfaces;  // nullptr key: the screen

SIZE SurfaceSize(HWND hwnd) {
    if (!hwnd) return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT r;
    GetClientRect(hwnd, &r);
    return SIZE{std::max<LONG>(r.right, 1), std::max<LONG>(r.bottom, 1)};
}
}  // namespace

HBITMAP Surface(HWND hwnd) {
    SIZE want = SurfaceSize(hwnd);
    auto it = g_surfaces.find(hwnd);
    if (it != g_surfaces.end()) {
        int w = 0, h = 0, stride = 0;
        if (gdi::SurfacePixels(it->second, &w, &h, &stride) && w == want.cx && h == want.cy)
            return it->second;
        if (!DeleteObject(it->second)) return it->second;  // still selected: keep it
        g_surfaces.erase(it);
    }
    HBITMAP s = gdi::CreateSurface(want.cx, want.cy);
    if (s) g_surfaces[hwnd] = s;
    return s;
}

HDC SurfaceDC(HWND hwnd) {
    HBITMAP s = Surface(hwnd);
    return s ? gdi::CreateSurfaceDC(s) : nullptr;
}

void ReleaseSurfaceDC(HDC dc) {
    DeleteDC(dc);
}

void DropSurface(HWND hwnd) {
    auto it = g_surfaces.find(hwnd);
    if (it == g_surfaces.end()) return;
    DeleteObject(it->second);
    g_surfaces.erase(it);
}

void DropAllSurfaces() {
    for (auto& [h, s] : g_surfaces) DeleteObject(s);
    g_surfaces.clear();
}

}  // namespace win::detail

namespace win {
HBITMAP GetWindowSurface(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    return detail::Surface(hwnd);
}
}  // namespace win
