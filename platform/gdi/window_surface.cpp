// Window surfaces: the device contexts the window model hands out for a
// window (GetDC, BeginPaint) draw into a 32-bit surface that belongs to the
// window and keeps its pixels between paints, as the map view relies on. A
// change of the client size makes a new surface that keeps the overlapping
// pixels.
#include <map>

#include "platform/gdi/gdi_internal.h"
#include "platform/win/window.h"

namespace {

struct Entry {
    HBITMAP surface = nullptr;
    int w = 0, h = 0;
    int open = 0;  // DCs handed out and not yet released
};

std::map<HWND, Entry>& surfaces() {
    static std::map<HWND, Entry> m;
    return m;
}

void Purge() {
    auto& m = surfaces();
    for (auto it = m.begin(); it != m.end();) {
        if (!IsWindow(it->first) && it->second.open == 0) {
            DeleteObject(it->second.surface);
            it = m.erase(it);
        } else {
            ++it;
        }
    }
}

HDC GetWindowDc(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    Purge();
    RECT rc{};
    GetClientRect(hwnd, &rc);
    int w = std::max<int>(1, rc.right - rc.left), h = std::max<int>(1, rc.bottom - rc.top);
    Entry& e = surfaces()[hwnd];
    if (!e.surface || ((e.w != w || e.h != h) && e.open == 0)) {
        HBITMAP fresh = gdi::CreateSurface(w, h);
        if (!fresh) return nullptr;
        if (e.surface) {
            HDC from = gdi::CreateSurfaceDC(e.surface);
            HDC to = gdi::CreateSurfaceDC(fresh);
            BitBlt(to, 0, 0, std::min(w, e.w), std::min(h, e.h), from, 0, 0, SRCCOPY);
            DeleteDC(from);
            DeleteDC(to);
            DeleteObject(e.surface);
        }
        e.surface = fresh;
        e.w = w;
        e.h = h;
    }
    HDC dc = gdi::CreateSurfaceDC(e.surface);
    if (dc) ++e.open;
    return dc;
}

void ReleaseWindowDc(HWND hwnd, HDC dc) {
    auto& m = surfaces();
    auto it = m.find(hwnd);
    if (DeleteDC(dc) && it != m.end() && it->second.open > 0) --it->second.open;
}

}  // namespace

namespace gdi {

void InstallWindowSurfaces() {
    win::SetDcProvider(win::DcProvider{GetWindowDc, ReleaseWindowDc});
}

HBITMAP WindowSurface(HWND hwnd) {
    auto& m = surfaces();
    auto it = m.find(hwnd);
    return it == m.end() ? nullptr : it->second.surface;
}

void ResetWindowSurfacesForTests() {
    auto& m = surfaces();
    for (auto& e : m) DeleteObject(e.second.surface);
    m.clear();
}

}  // namespace gdi
