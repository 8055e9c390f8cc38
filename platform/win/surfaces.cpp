// The drawing surfaces behind windows and the screen. Drawing itself is the
// graphics module's; this keeps one surface per top-level window (frame
// included), hands out device contexts that are clipped views into it, and
// tells the display backend which parts to present.
#include <algorithm>
#include <map>

#include "platform/gdi/gdi.h"
#include "platform/win/backend.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

std::map<HWND, HBITMAP> g_surfaces;  // top-level windows; nullptr: the screen

struct DcRecord {
    HWND hwnd = nullptr;  // nullptr: the screen
    HWND top = nullptr;
    bool paint = false;
};
std::map<HDC, DcRecord> g_dcs;
// Drawn during painting, presented when the queue is next looked at.
std::map<HWND, RECT> g_pending;

HWND TopOf(HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && w->parent) {
        hwnd = w->parent;
        w = Find(hwnd);
    }
    return w ? hwnd : nullptr;
}

RECT Offset(RECT r, int dx, int dy) {
    OffsetRect(&r, dx, dy);
    return r;
}

SIZE SurfaceSize(HWND top) {
    if (!top) return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT r;
    GetWindowRect(top, &r);
    return SIZE{std::max<LONG>(r.right - r.left, 1), std::max<LONG>(r.bottom - r.top, 1)};
}

HBITMAP TopSurface(HWND top) {
    SIZE want = SurfaceSize(top);
    auto it = g_surfaces.find(top);
    if (it != g_surfaces.end()) {
        int w = 0, h = 0, stride = 0;
        if (gdi::SurfacePixels(it->second, &w, &h, &stride) && w == want.cx && h == want.cy)
            return it->second;
        if (!DeleteObject(it->second)) return it->second;  // still selected: keep it
        g_surfaces.erase(it);
    }
    HBITMAP s = gdi::CreateSurface(want.cx, want.cy);
    if (s) g_surfaces[top] = s;
    return s;
}

// Top-level windows from the bottom of the z-order up: the newest is on top,
// and topmost windows lie above the rest.
std::vector<HWND> TopsBottomUp() {
    std::vector<HWND> normal, topmost;
    for (HWND h : GetTopLevelWindows()) {
        Window* w = Find(h);
        if (!w) continue;
        ((w->exStyle & WS_EX_TOPMOST) ? topmost : normal).push_back(h);
    }
    normal.insert(normal.end(), topmost.begin(), topmost.end());
    return normal;
}

void AddDirty(HWND top, const RECT& r) {
    auto [it, fresh] = g_pending.try_emplace(top, r);
    if (!fresh) UnionRect(&it->second, &it->second, &r);
}

// Rectangle of a window (whole or client) in its top-level surface.
RECT AreaInSurface(HWND hwnd, HWND top, bool client) {
    RECT topRect, r;
    GetWindowRect(top, &topRect);
    if (client) {
        GetClientRect(hwnd, &r);
        POINT o = ClientOrigin(hwnd);
        OffsetRect(&r, o.x, o.y);
    } else {
        GetWindowRect(hwnd, &r);
    }
    return Offset(r, -topRect.left, -topRect.top);
}

// What of a window's view may be drawn on: within every ancestor's client
// area, without the siblings above it where WS_CLIPSIBLINGS asks, and without
// its children where WS_CLIPCHILDREN asks. Surface pixels.
HRGN VisibleRegion(HWND hwnd, HWND top, bool client) {
    RECT area = AreaInSurface(hwnd, top, client);
    for (HWND a = hwnd; a != top;) {
        Window* w = Find(a);
        if (!w || !(w->style & WS_VISIBLE)) return CreateRectRgn(0, 0, 0, 0);
        a = w->parent;
        RECT pc = AreaInSurface(a, top, true);
        IntersectRect(&area, &area, &pc);
    }
    HRGN rgn = CreateRectRgnIndirect(&area);
    HRGN cut = CreateRectRgn(0, 0, 0, 0);
    auto exclude = [&](HWND other) {
        Window* o = Find(other);
        if (!o || !(o->style & WS_VISIBLE)) return;
        RECT r = AreaInSurface(other, top, false);
        SetRectRgn(cut, r.left, r.top, r.right, r.bottom);
        CombineRgn(rgn, rgn, cut, RGN_DIFF);
    };
    for (HWND a = hwnd; a != top;) {
        Window* w = Find(a);
        if (!w) break;
        if (w->style & WS_CLIPSIBLINGS) {
            // Earlier siblings lie above later ones.
            for (HWND s : GetChildren(w->parent)) {
                if (s == a) break;
                exclude(s);
            }
        }
        a = w->parent;
    }
    if (Window* w = Find(hwnd); w && (w->style & WS_CLIPCHILDREN))
        for (HWND c : GetChildren(hwnd)) exclude(c);
    DeleteObject(cut);
    return rgn;
}

void Present(HWND top, const RECT& r) {
    if (IsRectEmpty(&r)) return;
    if (top && !IsWindow(top)) return;
    GetDisplayBackend().SurfaceDirty(top, r);
}

// Copies what was drawn on the composed screen back into the surfaces of the
// windows that show it, each pixel to the topmost visible window there.
void ScreenToSurfaces(HBITMAP screen, const RECT& drawn) {
    HDC src = gdi::CreateSurfaceDC(screen);
    HRGN covered = CreateRectRgn(0, 0, 0, 0);
    HRGN part = CreateRectRgn(0, 0, 0, 0);
    std::vector<HWND> tops = TopsBottomUp();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* w = Find(*it);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        RECT wr, hit;
        GetWindowRect(*it, &wr);
        if (!IntersectRect(&hit, &wr, &drawn)) continue;
        SetRectRgn(part, hit.left, hit.top, hit.right, hit.bottom);
        if (CombineRgn(part, part, covered, RGN_DIFF) != NULLREGION) {
            OffsetRgn(part, -wr.left, -wr.top);
            HDC dst = gdi::CreateSurfaceDC(TopSurface(*it));
            SelectClipRgn(dst, part);
            BitBlt(dst, 0, 0, wr.right - wr.left, wr.bottom - wr.top, src, wr.left, wr.top,
                   SRCCOPY);
            RECT box;
            GetRgnBox(part, &box);
            DeleteDC(dst);
            Present(*it, box);
        }
        SetRectRgn(part, wr.left, wr.top, wr.right, wr.bottom);
        CombineRgn(covered, covered, part, RGN_OR);
    }
    DeleteObject(part);
    DeleteObject(covered);
    DeleteDC(src);
}

}  // namespace

// The screen as a person sees it: every shown top-level surface at its place,
// from the bottom of the z-order up.
HBITMAP ComposeScreen() {
    HBITMAP screen = TopSurface(nullptr);
    HDC dst = gdi::CreateSurfaceDC(screen);
    PatBlt(dst, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), BLACKNESS);
    for (HWND h : TopsBottomUp()) {
        Window* w = Find(h);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        RECT wr;
        GetWindowRect(h, &wr);
        HDC src = gdi::CreateSurfaceDC(TopSurface(h));
        BitBlt(dst, wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top, src, 0, 0, SRCCOPY);
        DeleteDC(src);
    }
    gdi::TakeSurfaceDirty(dst, nullptr);
    DeleteDC(dst);
    return screen;
}

HDC WindowViewDC(HWND hwnd, bool client, bool paint, const RECT* paintArea) {
    if (!hwnd) {
        HDC dc = gdi::CreateSurfaceDC(ComposeScreen());
        if (dc) g_dcs[dc] = DcRecord{nullptr, nullptr, false};
        return dc;
    }
    HWND top = TopOf(hwnd);
    if (!top) return nullptr;
    HBITMAP s = TopSurface(top);
    if (!s) return nullptr;
    RECT area = AreaInSurface(hwnd, top, client);
    HDC dc = gdi::CreateSurfaceDC(s, POINT{area.left, area.top});
    if (!dc) return nullptr;
    // A mirrored window's client area draws mirrored: its x runs from the
    // right edge. Its frame stays as it is, as its hit testing does.
    bool mirrored = client && (GetWindowLongPtr(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    if (mirrored) gdi::SetSurfaceMirror(dc, area.right - area.left);
    HRGN vis = VisibleRegion(hwnd, top, client);
    if (paintArea) {
        RECT u = *paintArea;
        if (mirrored) u = RECT{area.right - area.left - u.right, u.top,
                               area.right - area.left - u.left, u.bottom};
        HRGN upd = CreateRectRgnIndirect(&u);
        OffsetRgn(upd, area.left, area.top);
        CombineRgn(vis, vis, upd, RGN_AND);
        DeleteObject(upd);
    }
    gdi::SetSurfaceVisibleRegion(dc, vis);
    DeleteObject(vis);
    g_dcs[dc] = DcRecord{hwnd, top, paint};
    return dc;
}

bool ReleaseWindowViewDC(HDC dc) {
    auto it = g_dcs.find(dc);
    if (it == g_dcs.end()) return false;
    DcRecord rec = it->second;
    g_dcs.erase(it);
    RECT drawn;
    bool any = gdi::TakeSurfaceDirty(dc, &drawn);
    if (!rec.hwnd) {
        auto s = g_surfaces.find(nullptr);
        if (any && s != g_surfaces.end()) ScreenToSurfaces(s->second, drawn);
    } else if (any) {
        // Drawing outside painting (feedback, progressive copies) is shown at
        // once; painting is shown when the queue is next looked at.
        if (rec.paint)
            AddDirty(rec.top, drawn);
        else
            Present(rec.top, drawn);
    }
    DeleteDC(dc);
    return true;
}

void PresentPendingDrawing() {
    if (g_pending.empty()) return;
    std::map<HWND, RECT> pending = std::move(g_pending);
    g_pending.clear();
    for (auto& [top, r] : pending) Present(top, r);
}

void DropSurface(HWND hwnd) {
    g_pending.erase(hwnd);
    auto it = g_surfaces.find(hwnd);
    if (it == g_surfaces.end()) return;
    DeleteObject(it->second);
    g_surfaces.erase(it);
}

void DropAllSurfaces() {
    for (auto& [dc, rec] : g_dcs) DeleteDC(dc);
    g_dcs.clear();
    g_pending.clear();
    for (auto& [h, s] : g_surfaces) DeleteObject(s);
    g_surfaces.clear();
}

// Parents first; children from the bottom of the z-order up (the first-made
// sibling is on top, so it paints last).
std::vector<HWND> PaintOrder() {
    std::vector<HWND> out;
    auto visit = [&](auto&& self, HWND h) -> void {
        out.push_back(h);
        std::vector<HWND> kids = GetChildren(h);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) self(self, *it);
    };
    for (HWND top : TopsBottomUp()) visit(visit, top);
    return out;
}

}  // namespace win::detail

namespace win {

HBITMAP GetWindowSurface(HWND hwnd, POINT* clientOffset) {
    if (clientOffset) *clientOffset = POINT{};
    if (!hwnd) return detail::ComposeScreen();
    HWND top = detail::TopOf(hwnd);
    if (!top) return nullptr;
    if (clientOffset) {
        RECT a = detail::AreaInSurface(hwnd, top, true);
        *clientOffset = POINT{a.left, a.top};
    }
    return detail::TopSurface(top);
}

}  // namespace win
