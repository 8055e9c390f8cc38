// Rectangle regions and clipping. A region is a list of non-overlapping
// rectangles in y-x bands, so every combination is a band-by-band interval
// operation.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"

namespace gdi::detail {

namespace {

using Intervals = std::vector<std::pair<int, int>>;

Intervals BandIntervals(const std::vector<RECT>& rs, int y0, int y1) {
    Intervals v;
    for (const RECT& r : rs)
        if (r.top <= y0 && r.bottom >= y1) v.emplace_back(r.left, r.right);
    std::sort(v.begin(), v.end());
    Intervals m;
    for (auto& iv : v) {
        if (!m.empty() && iv.first <= m.back().second)
            m.back().second = std::max(m.back().second, iv.second);
        else
            m.push_back(iv);
    }
    return m;
}

bool Member(const Intervals& v, int x) {
    for (auto& iv : v)
        if (x >= iv.first && x < iv.second) return true;
    return false;
}

Intervals Combine(const Intervals& a, const Intervals& b, int mode) {
    std::vector<int> xs;
    for (auto& iv : a) xs.insert(xs.end(), {iv.first, iv.second});
    for (auto& iv : b) xs.insert(xs.end(), {iv.first, iv.second});
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    Intervals out;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        bool ia = Member(a, xs[i]), ib = Member(b, xs[i]);
        bool in = false;
        switch (mode) {
            case RGN_AND:
                in = ia && ib;
                break;
            case RGN_OR:
                in = ia || ib;
                break;
            case RGN_XOR:
                in = ia != ib;
                break;
            case RGN_DIFF:
                in = ia && !ib;
                break;
            default:
                in = ia;
                break;
        }
        if (!in) continue;
        if (!out.empty() && out.back().second == xs[i])
            out.back().second = xs[i + 1];
        else
            out.emplace_back(xs[i], xs[i + 1]);
    }
    return out;
}

}  // namespace

std::vector<RECT> RegionFromRect(const RECT& r) {
    if (r.left >= r.right || r.top >= r.bottom) return {};
    return {r};
}

std::vector<RECT> RegionCombine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
    std::vector<int> ys;
    for (const RECT& r : a) ys.insert(ys.end(), {int(r.top), int(r.bottom)});
    for (const RECT& r : b) ys.insert(ys.end(), {int(r.top), int(r.bottom)});
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<RECT> out;
    Intervals prev;
    size_t prevStart = 0;
    int prevBottom = 0;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        int y0 = ys[i], y1 = ys[i + 1];
        Intervals iv = Combine(BandIntervals(a, y0, y1), BandIntervals(b, y0, y1), mode);
        if (iv.empty()) {
            prev.clear();
            continue;
        }
        if (!prev.empty() && prevBottom == y0 && iv == prev) {
            for (size_t k = prevStart; k < out.size(); ++k) out[k].bottom = y1;
        } else {
            prevStart = out.size();
            for (auto& x : iv) out.push_back(RECT{x.first, y0, x.second, y1});
            prev = iv;
        }
        prevBottom = y1;
    }
    return out;
}

}  // namespace gdi::detail

using namespace gdi::detail;

namespace {

int RegionType(const std::vector<RECT>& r) {
    return r.empty() ? NULLREGION : r.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT Box(const std::vector<RECT>& rs) {
    if (rs.empty()) return RECT{};
    RECT b = rs[0];
    for (const RECT& r : rs) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto r = std::make_unique<Region>();
    r->kind = Kind::Region;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    r->rects = RegionFromRect(RECT{left, top, right, bottom});
    return Handle<HRGN>(AddObject(std::move(r)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    Region* r = GetRegion(rgn);
    if (!r) return FALSE;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    r->rects = RegionFromRect(RECT{left, top, right, bottom});
    return TRUE;
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    Region* d = GetRegion(dst);
    Region* ra = GetRegion(a);
    if (!d || !ra) return ERROR;
    if (mode == RGN_COPY) {
        d->rects = ra->rects;
        return RegionType(d->rects);
    }
    Region* rb = GetRegion(b);
    if (!rb || mode < RGN_AND || mode > RGN_DIFF) return ERROR;
    d->rects = RegionCombine(ra->rects, rb->rects, mode);
    return RegionType(d->rects);
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    Region* r = GetRegion(rgn);
    if (!r) return ERROR;
    for (RECT& q : r->rects) OffsetRect(&q, dx, dy);
    return RegionType(r->rects);
}

int GetRgnBox(HRGN rgn, RECT* out) {
    Region* r = GetRegion(rgn);
    if (!r || !out) return ERROR;
    *out = Box(r->rects);
    return RegionType(r->rects);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    Region* r = GetRegion(rgn);
    if (!r) return FALSE;
    for (const RECT& q : r->rects)
        if (PtInRect(&q, POINT{x, y})) return TRUE;
    return FALSE;
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
    Region* r = GetRegion(rgn);
    if (!r || !rect) return FALSE;
    RECT tmp;
    for (const RECT& q : r->rects)
        if (IntersectRect(&tmp, &q, rect)) return TRUE;
    return FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    Region* ra = GetRegion(a);
    Region* rb = GetRegion(b);
    if (!ra || !rb) return FALSE;
    return RegionCombine(ra->rects, rb->rects, RGN_XOR).empty();
}

// ---- clipping ----

namespace {

// The whole drawable area of a DC in its device coordinates.
std::vector<RECT> Everything(Dc* dc) {
    Surface* s = DcSurface(dc);
    if (!s) return {};
    RECT r{0, 0, s->width, s->height};
    if (dc->surfaceDc) IntersectRect(&r, &r, &dc->surfClip);
    OffsetRect(&r, -dc->surfOrigin.x, -dc->surfOrigin.y);
    return RegionFromRect(r);
}

int ClipResult(Dc* dc) {
    dc->clipDirty = true;
    return RegionType(DcClip(dc));
}

}  // namespace

int SelectClipRgn(HDC hdc, HRGN rgn) {
    Dc* dc = GetDc(hdc);
    if (!dc) return ERROR;
    if (!rgn) {
        dc->st.hasClip = false;
        dc->st.clip.clear();
        return ClipResult(dc);
    }
    Region* r = GetRegion(rgn);
    if (!r) return ERROR;
    dc->st.hasClip = true;
    dc->st.clip = r->rects;
    return ClipResult(dc);
}

int GetClipRgn(HDC hdc, HRGN out) {
    Dc* dc = GetDc(hdc);
    Region* r = GetRegion(out);
    if (!dc || !r) return -1;
    if (!dc->st.hasClip) return 0;
    r->rects = dc->st.clip;
    return 1;
}

int GetClipBox(HDC hdc, RECT* out) {
    Dc* dc = GetDc(hdc);
    if (!dc || !out) return ERROR;
    const std::vector<RECT>& c = DcClip(dc);
    RECT b = Box(c);
    POINT off = DcOffset(dc);
    if (!c.empty()) OffsetRect(&b, -off.x, -off.y);
    *out = b;
    return RegionType(c);
}

namespace {

// The clip region combined with a logical rectangle.
int CombineClipRect(HDC hdc, int left, int top, int right, int bottom, int mode) {
    Dc* dc = GetDc(hdc);
    if (!dc) return ERROR;
    RECT r{left, top, right, bottom};
    OffsetRect(&r, dc->st.viewportOrg.x, dc->st.viewportOrg.y);
    const std::vector<RECT> base = dc->st.hasClip ? dc->st.clip : Everything(dc);
    dc->st.clip = RegionCombine(base, RegionFromRect(r), mode);
    dc->st.hasClip = true;
    return ClipResult(dc);
}

}  // namespace

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    return CombineClipRect(hdc, left, top, right, bottom, RGN_AND);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    return CombineClipRect(hdc, left, top, right, bottom, RGN_DIFF);
}
