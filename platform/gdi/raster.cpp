// The rasteriser: span painting with brushes and ROP2 modes, lines, wide
// strokes, polygons, rectangles and ellipses.
//
// Sampling rules (kept by every figure so that shapes tile without gaps or
// overlaps): a filled figure covers pixel (x, y) when the point (x, y) lies
// inside it, with left and top edges inside and right and bottom edges
// outside. Thin lines step one pixel along their major axis; the minor
// coordinate is rounded, halves away from the start point.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/gdi/gdi_internal.h"

namespace gdi::detail {

namespace {

using i128 = __int128;

// The platform's hatch patterns, one byte per row, leftmost pixel in the high
// bit; set bits are the hatch lines.
const uint8_t kHatch[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal "\"
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal "/"
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0xFF, 0x08},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

// Quotients rounded down and up (b > 0). Most operands fit 64 bits, where the
// division is much cheaper than the 128-bit one.
inline bool Fits64(i128 v) {
    return v >= INT64_MIN && v <= INT64_MAX;
}
inline int64_t FloorDiv(i128 a, i128 b) {
    if (Fits64(a) && Fits64(b)) {
        int64_t x = static_cast<int64_t>(a), y = static_cast<int64_t>(b), q = x / y;
        return (x % y != 0 && x < 0) ? q - 1 : q;
    }
    i128 q = a / b;
    if ((a % b) != 0 && a < 0) --q;
    return static_cast<int64_t>(q);
}
inline int64_t CeilDiv(i128 a, i128 b) {
    if (Fits64(a) && Fits64(b)) {
        int64_t x = static_cast<int64_t>(a), y = static_cast<int64_t>(b), q = x / y;
        return (x % y != 0 && x > 0) ? q + 1 : q;
    }
    i128 q = a / b;
    if ((a % b) != 0 && a > 0) ++q;
    return static_cast<int64_t>(q);
}
inline int Clamp32(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT_MIN / 2, INT_MAX / 2));
}

}  // namespace

void SolidPaint(uint32_t pixel, int rop2, Paint* out) {
    out->pattern = false;
    out->colour = pixel & 0xFFFFFF;
    out->rop2 = rop2;
}

bool BrushPaint(Dc* dc, const Brush* b, Paint* out, int rop2) {
    // Paints may be kept between figures: lines made for the last brush,
    // colours or colour table are made again.
    out->linesFor = nullptr;
    if (!b || b->style == BS_NULL) return false;
    POINT off = DcOffset(dc);
    out->rop2 = rop2;
    out->orgX = dc->st.brushOrg.x + off.x;
    out->orgY = dc->st.brushOrg.y + off.y;
    if (b->style == BS_SOLID) {
        SolidPaint(ToPixel(b->colour), rop2, out);
        return true;
    }
    out->pattern = true;
    uint32_t fg = ToPixel(dc->st.text), bg = ToPixel(dc->st.bk);
    if (b->style == BS_HATCHED) {
        out->pw = out->ph = 8;
        out->px.assign(64, bg);
        out->on.assign(64, 1);
        bool transparent = dc->st.bkMode == TRANSPARENT;
        uint32_t line = ToPixel(b->colour);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool set = (kHatch[b->hatch][y] >> (7 - x)) & 1;
                if (set) {
                    out->px[y * 8 + x] = line;
                } else if (transparent) {
                    out->on[y * 8 + x] = 0;
                }
            }
        return true;
    }
    out->pw = b->pw;
    out->ph = b->ph;
    out->on.assign(size_t(b->pw) * b->ph, 1);
    if (b->mono) {
        // 0 bits in the text colour, 1 bits in the background colour, opaque
        // whatever the background mode.
        out->px.resize(b->monoBits.size());
        for (size_t i = 0; i < b->monoBits.size(); ++i) out->px[i] = b->monoBits[i] ? bg : fg;
    } else {
        out->px = b->pixels;
    }
    return true;
}

namespace {
bool TargetOn(Dc* dc, Target* t, const std::vector<RECT>& clip) {
    t->clip = &clip;
    if (t->clip->empty()) return false;
    RECT b = (*t->clip)[0];
    for (const RECT& r : *t->clip) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    t->bounds = b;
    t->dirty = dc->surfaceDc ? &dc->dirty : nullptr;
    return true;
}
}  // namespace

bool MakeTarget(Dc* dc, Target* t) {
    t->s = DcSurface(dc);
    if (!t->s) return false;
    t->mirrored = dc->mirrored;
    t->axis = dc->mirrored ? MirrorAxis(dc) : 0;
    return TargetOn(dc, t, DcClip(dc));
}

bool MakeRealTarget(Dc* dc, Target* t) {
    t->s = DcSurface(dc);
    if (!t->s) return false;
    t->mirrored = false;
    t->axis = 0;
    return TargetOn(dc, t, DcRealClip(dc));
}

namespace {

inline int PatIndex(const Paint& p, int x, int y) {
    int px = (x - p.orgX) % p.pw;
    if (px < 0) px += p.pw;
    int py = (y - p.orgY) % p.ph;
    if (py < 0) py += p.ph;
    return py * p.pw + px;
}

void Run32(const Surface& s, const Paint& p, int y, int x0, int x1) {
    uint32_t* row = s.Row32(y);
    if (!p.pattern) {
        uint32_t c = p.colour;
        switch (p.rop2) {
            case R2_COPYPEN:
                std::fill(row + x0, row + x1, c);
                return;
            case R2_XORPEN:
                for (int x = x0; x < x1; ++x) row[x] ^= c;
                return;
            case R2_NOT:
                for (int x = x0; x < x1; ++x) row[x] = ~row[x] & 0xFFFFFF;
                return;
            case R2_NOP:
                return;
            default:
                for (int x = x0; x < x1; ++x) row[x] = Rop2(p.rop2, c, row[x]);
                return;
        }
    }
    int py = (y - p.orgY) % p.ph;
    if (py < 0) py += p.ph;
    const uint32_t* prow = p.px.data() + size_t(py) * p.pw;
    const uint8_t* orow = p.on.data() + size_t(py) * p.pw;
    int px = (x0 - p.orgX) % p.pw;
    if (px < 0) px += p.pw;
    // The two passes of a transparent stipple (mask, then merge) and plain
    // copies, combined inline; the rest through Rop2.
    switch (p.rop2) {
        case R2_COPYPEN:
            for (int x = x0; x < x1; ++x) {
                if (orow[px]) row[x] = prow[px];
                if (++px == p.pw) px = 0;
            }
            return;
        case R2_MASKNOTPEN:
            for (int x = x0; x < x1; ++x) {
                if (orow[px]) row[x] = row[x] & ~prow[px] & 0xFFFFFF;
                if (++px == p.pw) px = 0;
            }
            return;
        case R2_MERGEPEN:
            for (int x = x0; x < x1; ++x) {
                if (orow[px]) row[x] = (row[x] | prow[px]) & 0xFFFFFF;
                if (++px == p.pw) px = 0;
            }
            return;
        default:
            for (int x = x0; x < x1; ++x) {
                if (orow[px]) row[x] = Rop2(p.rop2, prow[px], row[x]);
                if (++px == p.pw) px = 0;
            }
            return;
    }
}

void RunAny(const Surface& s, const Paint& p, int y, int x0, int x1) {
    for (int x = x0; x < x1; ++x) {
        uint32_t src;
        if (p.pattern) {
            int i = PatIndex(p, x, y);
            if (!p.on[i]) continue;
            src = p.px[i];
        } else {
            src = p.colour;
        }
        uint32_t out = p.rop2 == R2_COPYPEN ? src : Rop2(p.rop2, src, s.Get(x, y));
        s.Set(x, y, out);
    }
}

// Pattern spans copied onto an 8- or 24-bit surface: each pattern row is
// matched to the surface's pixel values once, repeated into a line, and
// copied in pieces of whole periods. The same pixels as RunAny; false where
// this route does not apply (other depths, ROP2 modes, patterns of more
// than a few megabytes of lines, or a row of the pattern that is not fully
// drawn).
bool CopyPatternRun(const Surface& s, const Paint& p, int y, int x0, int x1) {
    if (!QuickDrawingOn() || !p.pattern || p.rop2 != R2_COPYPEN || (s.bpp != 8 && s.bpp != 24))
        return false;
    const int bytes = s.bpp / 8;
    if (p.linesFor != &s) {
        const size_t linePixels = size_t(p.pw) * ((256 + size_t(p.pw) - 1) / size_t(p.pw));
        if (size_t(p.ph) * (linePixels + size_t(p.pw)) * bytes > (size_t(4) << 20)) return false;
        p.linesFor = &s;
        p.linePixels = int(linePixels);
        p.lineState.assign(size_t(p.ph), 0);
        p.lines.assign(size_t(p.ph) * size_t(p.linePixels + p.pw) * bytes, 0);
    }
    int py = (y - p.orgY) % p.ph;
    if (py < 0) py += p.ph;
    const size_t lineBytes = size_t(p.linePixels + p.pw) * bytes;
    uint8_t* line = p.lines.data() + size_t(py) * lineBytes;
    uint8_t& state = p.lineState[size_t(py)];
    if (state == 0) {
        const uint32_t* prow = p.px.data() + size_t(py) * p.pw;
        const uint8_t* orow = p.on.data() + size_t(py) * p.pw;
        state = 1;
        for (int k = 0; k < p.pw; ++k) {
            if (!orow[k]) state = 2;
            const uint32_t v = s.Nearest(prow[k]);
            for (int j = k; j < p.linePixels + p.pw; j += p.pw)
                for (int c = 0; c < bytes; ++c) line[size_t(j) * bytes + c] = uint8_t(v >> (8 * c));
        }
    }
    if (state != 1) return false;
    int px = (x0 - p.orgX) % p.pw;
    if (px < 0) px += p.pw;
    const uint8_t* from = line + size_t(px) * bytes;
    uint8_t* to = s.Row(y) + size_t(x0) * bytes;
    for (int n = x1 - x0; n > 0;) {
        const int m = std::min(n, p.linePixels);
        std::memcpy(to, from, size_t(m) * bytes);
        to += size_t(m) * bytes;
        n -= m;
    }
    return true;
}

inline void Run(const Surface& s, const Paint& p, int y, int x0, int x1) {
    if (s.bpp == 32)
        Run32(s, p, y, x0, x1);
    else if (!CopyPatternRun(s, p, y, x0, x1))
        RunAny(s, p, y, x0, x1);
}

}  // namespace

namespace {
// Writes a clipped span, flipped onto the surface's own columns when the
// target is mirrored.
inline void Put(const Target& t, const Paint& p, int y, int a, int b) {
    if (t.mirrored) {
        int ra = t.axis + 1 - b, rb = t.axis + 1 - a;
        Touch(t.dirty, ra, y, rb, y + 1);
        if (!p.pattern) {
            Run(*t.s, p, y, ra, rb);
            return;
        }
        // Patterns keep their phase in the unmirrored columns, so that the
        // result is the mirror image.
        for (int x = a; x < b; ++x) {
            int i = PatIndex(p, x, y);
            if (!p.on[i]) continue;
            int rx = t.axis - x;
            const Surface& s = *t.s;
            s.Set(rx, y, p.rop2 == R2_COPYPEN ? p.px[i] : Rop2(p.rop2, p.px[i], s.Get(rx, y)));
        }
        return;
    }
    Touch(t.dirty, a, y, b, y + 1);
    Run(*t.s, p, y, a, b);
}
}  // namespace

void FillSpan(const Target& t, const Paint& p, int y, int x0, int x1) {
    if (y < t.bounds.top || y >= t.bounds.bottom || x0 >= x1) return;
    if (p.rop2 == R2_NOP) return;
    const std::vector<RECT>& clip = *t.clip;
    if (clip.size() == 1) {
        int a = std::max(x0, t.bounds.left), b = std::min(x1, t.bounds.right);
        if (a < b) Put(t, p, y, a, b);
        return;
    }
    for (const RECT& r : clip) {
        if (r.top > y) break;
        if (y >= r.bottom) continue;
        int a = std::max(x0, static_cast<int>(r.left)), b = std::min(x1, static_cast<int>(r.right));
        if (a < b) Put(t, p, y, a, b);
    }
}

namespace {
// n > 0 pixels of one colour. Short runs, the most common in map drawing,
// are written by overlapping stores without a loop.
inline void FillPixels(uint32_t* d, int n, uint32_t c) {
    if (n <= 3) {
        d[0] = c;
        d[n >> 1] = c;
        d[n - 1] = c;
        return;
    }
    const uint64_t two = uint64_t(c) << 32 | c;
    if (n <= 8) {
        std::memcpy(d, &two, 8);
        std::memcpy(d + 2, &two, 8);
        std::memcpy(d + n - 4, &two, 8);
        std::memcpy(d + n - 2, &two, 8);
        return;
    }
    std::fill(d, d + n, c);
}

// A span of a direct target, clipped to its bounds.
inline void DirectSpan(const Target& t, const Paint& p, int y, int x0, int x1) {
    int a = std::max(x0, static_cast<int>(t.bounds.left));
    int b = std::min(x1, static_cast<int>(t.bounds.right));
    if (a >= b || p.rop2 == R2_NOP) return;
    Touch(t.dirty, a, y, b, y + 1);
    if (!p.pattern && p.rop2 == R2_COPYPEN) {
        FillPixels(t.s->Row32(y) + a, b - a, p.colour);
        return;
    }
    Run32(*t.s, p, y, a, b);
}
}  // namespace

void FillRectS(const Target& t, const Paint& p, RECT r) {
    r.top = std::max(r.top, t.bounds.top);
    r.bottom = std::min(r.bottom, t.bounds.bottom);
    for (int y = r.top; y < r.bottom; ++y) FillSpan(t, p, y, r.left, r.right);
}

void PlotPixel(const Target& t, const Paint& p, int x, int y) {
    if (x < t.bounds.left || x >= t.bounds.right || y < t.bounds.top || y >= t.bounds.bottom)
        return;
    if (t.clip->size() > 1 && !InClip(*t.clip, x, y)) return;
    Put(t, p, y, x, x + 1);
}

void SpanSet::Reset(int t, int b) {
    top = t;
    size_t n = b > t ? size_t(b - t) : 0;
    if (rows.size() < n) rows.resize(n);
    for (size_t i = 0; i < n; ++i) rows[i].clear();
    count = static_cast<int>(n);
}

void SpanSet::Add(int y, int x0, int x1) {
    if (x0 >= x1 || y < top || y >= top + count) return;
    rows[y - top].emplace_back(x0, x1);
}

void SpanSet::Paint(const Target& t, const gdi::detail::Paint& p) {
    if (QuickDrawingOn()) {
        // Rows hold a few spans: sorted by their starts in place, merged, and
        // written straight into a direct target. Ties need no order: the
        // merged spans are the same.
        const bool direct = Direct(t);
        for (int i = 0; i < count; ++i) {
            auto& r = rows[size_t(i)];
            const size_t m = r.size();
            if (!m) continue;
            for (size_t k = 1; k < m; ++k) {
                std::pair<int, int> v = r[k];
                size_t j = k;
                for (; j > 0 && r[j - 1].first > v.first; --j) r[j] = r[j - 1];
                r[j] = v;
            }
            const int y = top + i;
            int a = r[0].first, b = r[0].second;
            for (size_t k = 1; k <= m; ++k) {
                if (k < m && r[k].first <= b) {
                    b = std::max(b, r[k].second);
                    continue;
                }
                if (direct) {
                    if (y >= t.bounds.top && y < t.bounds.bottom) DirectSpan(t, p, y, a, b);
                } else {
                    FillSpan(t, p, y, a, b);
                }
                if (k < m) {
                    a = r[k].first;
                    b = r[k].second;
                }
            }
        }
        return;
    }
    for (size_t i = 0; i < size_t(count); ++i) {
        auto& r = rows[i];
        if (r.empty()) continue;
        std::sort(r.begin(), r.end());
        int a = r[0].first, b = r[0].second;
        for (size_t k = 1; k < r.size(); ++k) {
            if (r[k].first <= b) {
                b = std::max(b, r[k].second);
            } else {
                FillSpan(t, p, top + int(i), a, b);
                a = r[k].first;
                b = r[k].second;
            }
        }
        FillSpan(t, p, top + int(i), a, b);
    }
}

// ---- polygons ----

namespace {

// One scan for every polygon, in two widths. Points within 2^29 of the origin
// (what every ordinary drawing has) take 32-bit edges set up with 64-bit
// products; others (saturated input) 64-bit edges with 128-bit products. The
// crossing on a row is the exact ceiling of the edge's x there, stepped by
// whole and fractional parts, so both widths give the same pixels.
constexpr int64_t kSmall = int64_t(1) << 29;

bool SmallPoints(const IPoint* pts, const int* counts, int polys) {
    int64_t total = 0;
    for (int k = 0; k < polys; ++k) total += counts[k];
    for (int64_t i = 0; i < total; ++i)
        if (pts[i].x < -kSmall || pts[i].x > kSmall || pts[i].y < -kSmall || pts[i].y > kSmall)
            return false;
    return true;
}

// Products of two coordinates, and quotients by a positive divisor.
template <class T>
struct Wider;
template <>
struct Wider<int32_t> {
    using type = int64_t;
};
template <>
struct Wider<int64_t> {
    using type = i128;
};
inline int64_t CeilQuotient(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}
inline int64_t CeilQuotient(i128 a, i128 b) {
    return CeilDiv(a, b);
}

template <class T>
struct Edge {
    T yTop, yBottom;  // rows [yTop, yBottom)
    T q;              // ceil of the crossing x on the current row
    T rem;            // q * dy - N, in [0, dy)
    T dy, dxq, dxr;
    int32_t dir;

    void Step() {
        q += dxq;
        rem -= dxr;
        if (rem < 0) {
            rem += dy;
            ++q;
        }
    }
};

template <class T>
struct PolyScratch {
    std::vector<Edge<T>> edges;
    std::vector<Edge<T>> active;
    // Even-odd figures by rows: each row's crossings in xs from rowStart.
    std::vector<uint32_t> rowStart, rowFill;
    std::vector<T> xs;
};
// Even-odd figures with at most this many row crossings are filled by rows.
constexpr size_t kBucketCrossings = size_t(1) << 18;
template <class T>
PolyScratch<T>& scratch() {
    static PolyScratch<T> s;
    return s;
}

template <class T, class Emit>
void ScanPolygon(const IPoint* pts, const int* counts, int polys, bool winding, int clipTop,
                 int clipBottom, Emit&& emit) {
    using W = typename Wider<T>::type;
    PolyScratch<T>& sc = scratch<T>();
    size_t total = 0;
    for (int k = 0; k < polys; ++k) total += size_t(counts[k]);
    if (sc.edges.size() < total) sc.edges.resize(total);
    if (sc.active.size() < total) sc.active.resize(total);
    Edge<T>* edges = sc.edges.data();
    size_t count = 0, crossings = 0;
    T rowTop = std::numeric_limits<T>::max(), rowBottom = std::numeric_limits<T>::min();
    const IPoint* base = pts;
    for (int k = 0; k < polys; ++k) {
        int n = counts[k];
        for (int i = 0; i < n; ++i) {
            IPoint a = base[i], b = base[i + 1 == n ? 0 : i + 1];
            if (a.y == b.y) continue;
            int dir = 1;
            if (a.y > b.y) {
                std::swap(a, b);
                dir = -1;
            }
            int64_t top = std::max<int64_t>(a.y, clipTop);
            int64_t bottom = std::min<int64_t>(b.y, clipBottom);
            if (top >= bottom) continue;
            // dy > 0, and dx / dy, the crossing and the remainder fit T.
            const T dy = static_cast<T>(b.y - a.y), dx = static_cast<T>(b.x - a.x);
            T dxq = dx / dy;
            if (dx - dxq * dy != 0 && dx < 0) --dxq;
            Edge<T> e;
            if (top == a.y) {
                // The crossing on the first row is the vertex itself.
                e.q = static_cast<T>(a.x);
                e.rem = 0;
            } else {
                const W num = W(a.x) * dy + W(top - a.y) * dx;
                const W q = CeilQuotient(num, W(dy));
                e.q = static_cast<T>(q);
                e.rem = static_cast<T>(q * dy - num);
            }
            e.yTop = static_cast<T>(top);
            e.yBottom = static_cast<T>(bottom);
            e.dy = dy;
            e.dxq = dxq;
            e.dxr = dx - dxq * dy;
            e.dir = dir;
            edges[count++] = e;
            rowTop = std::min(rowTop, e.yTop);
            rowBottom = std::max(rowBottom, e.yBottom);
            crossings += size_t(e.yBottom - e.yTop);
        }
        base += n;
    }
    if (!count) return;
    if (!winding && crossings <= kBucketCrossings) {
        // Even-odd: every edge drops its crossing into each of its rows; a
        // row's crossings, sorted, pair up into its spans.
        const size_t rows = size_t(rowBottom - rowTop);
        if (sc.rowStart.size() < rows + 1) sc.rowStart.resize(rows + 1);
        if (sc.rowFill.size() < rows) sc.rowFill.resize(rows);
        if (sc.xs.size() < crossings) sc.xs.resize(crossings);
        uint32_t* start = sc.rowStart.data();
        uint32_t* fill = sc.rowFill.data();
        T* xs = sc.xs.data();
        std::fill(start, start + rows + 1, 0u);
        for (size_t i = 0; i < count; ++i) {
            start[edges[i].yTop - rowTop] += 1;
            start[edges[i].yBottom - rowTop] -= 1;
        }
        // Crossings per row, then where each row's crossings begin.
        uint32_t running = 0, at = 0;
        for (size_t r = 0; r < rows; ++r) {
            running += start[r];
            fill[r] = at;
            start[r] = at;
            at += running;
        }
        start[rows] = at;
        for (size_t i = 0; i < count; ++i) {
            Edge<T> e = edges[i];
            uint32_t* f = fill + (e.yTop - rowTop);
            for (T y = e.yTop; y < e.yBottom; ++y, ++f) {
                xs[(*f)++] = e.q;
                e.Step();
            }
        }
        for (size_t r = 0; r < rows; ++r) {
            T* x = xs + start[r];
            const uint32_t m = start[r + 1] - start[r];
            if (m == 2) {
                if (x[0] > x[1]) std::swap(x[0], x[1]);
            } else {
                for (uint32_t i = 1; i < m; ++i) {
                    T v = x[i];
                    uint32_t j = i;
                    for (; j > 0 && x[j - 1] > v; --j) x[j] = x[j - 1];
                    x[j] = v;
                }
            }
            const int y = static_cast<int>(rowTop + T(r));
            for (uint32_t i = 0; i + 1 < m; i += 2) emit(y, x[i], x[i + 1]);
        }
        return;
    }
    std::sort(edges, edges + count,
              [](const Edge<T>& a, const Edge<T>& b) { return a.yTop < b.yTop; });
    Edge<T>* active = sc.active.data();
    size_t next = 0, m = 0;
    T y = edges[0].yTop;
    while (next < count || m) {
        if (!m && y < edges[next].yTop) y = edges[next].yTop;
        while (next < count && edges[next].yTop == y) active[m++] = edges[next++];
        // Insertion sort by crossing: the order barely changes between rows.
        for (size_t i = 1; i < m; ++i) {
            if (active[i - 1].q <= active[i].q) continue;
            Edge<T> e = active[i];
            size_t j = i;
            while (j > 0 && active[j - 1].q > e.q) {
                active[j] = active[j - 1];
                --j;
            }
            active[j] = e;
        }
        const int row = static_cast<int>(y);
        if (!winding) {
            for (size_t i = 0; i + 1 < m; i += 2) emit(row, active[i].q, active[i + 1].q);
        } else {
            int wind = 0;
            T start = 0;
            for (size_t i = 0; i < m; ++i) {
                int before = wind;
                wind += active[i].dir;
                if (before == 0 && wind != 0) start = active[i].q;
                if (before != 0 && wind == 0) emit(row, start, active[i].q);
            }
        }
        ++y;
        size_t w = 0;
        for (size_t i = 0; i < m; ++i) {
            Edge<T> e = active[i];
            if (e.yBottom <= y) continue;
            e.Step();
            active[w++] = e;
        }
        m = w;
    }
}

}  // namespace

void FillPolygon(const Target& t, const Paint& p, const IPoint* pts, const int* counts, int polys,
                 bool winding) {
    if (QuickDrawingOn() && SmallPoints(pts, counts, polys)) {
        if (Direct(t)) {
            ScanPolygon<int32_t>(pts, counts, polys, winding, t.bounds.top, t.bounds.bottom,
                                 [&](int y, int x0, int x1) { DirectSpan(t, p, y, x0, x1); });
        } else {
            ScanPolygon<int32_t>(pts, counts, polys, winding, t.bounds.top, t.bounds.bottom,
                                 [&](int y, int x0, int x1) { FillSpan(t, p, y, x0, x1); });
        }
        return;
    }
    ScanPolygon<int64_t>(pts, counts, polys, winding, t.bounds.top, t.bounds.bottom,
                         [&](int y, int64_t x0, int64_t x1) {
                             if (x1 <= t.bounds.left || x0 >= t.bounds.right) return;
                             FillSpan(t, p, y, Clamp32(x0), Clamp32(x1));
                         });
}

}  // namespace gdi::detail

using namespace gdi::detail;

// ---- pens: thin lines, dashes, wide strokes ----

namespace {

struct DashPattern {
    int len = 0;
    const uint8_t* on = nullptr;
};

const uint8_t* MakeDash(std::initializer_list<int> runs, uint8_t* buf, int* len) {
    int n = 0;
    bool on = true;
    for (int r : runs) {
        for (int i = 0; i < r; ++i) buf[n++] = on;
        on = !on;
    }
    *len = n;
    return buf;
}

DashPattern DashFor(int style) {
    static uint8_t dash[24], dot[6], dashdot[24], dashdotdot[24];
    static int ldash, ldot, ldd, lddd;
    static bool init = false;
    if (!init) {
        MakeDash({18, 6}, dash, &ldash);
        MakeDash({3, 3}, dot, &ldot);
        MakeDash({9, 6, 3, 6}, dashdot, &ldd);
        MakeDash({9, 3, 3, 3, 3, 3}, dashdotdot, &lddd);
        init = true;
    }
    switch (style) {
        case PS_DASH:
            return {ldash, dash};
        case PS_DOT:
            return {ldot, dot};
        case PS_DASHDOT:
            return {ldd, dashdot};
        case PS_DASHDOTDOT:
            return {lddd, dashdotdot};
    }
    return {};
}

struct PenContext {
    Dc* dc = nullptr;
    Target t;
    Pen* pen = nullptr;
    Paint paint;
    Paint gap;  // opaque gaps of dashed pens
    bool gapOn = false;
    DashPattern dash;
    int64_t dashPos = 0;
    POINT off;
    bool direct = false;  // the target takes quick segments
};

bool MakePen(Dc* dc, PenContext* pc) {
    pc->dc = dc;
    pc->pen = GetPen(dc->st.pen);
    if (!pc->pen || pc->pen->style == PS_NULL) return false;
    if (!MakeTarget(dc, &pc->t)) return false;
    pc->direct = Direct(pc->t);
    SolidPaint(ToPixel(pc->pen->colour), dc->st.rop2, &pc->paint);
    pc->off = DcOffset(dc);
    // Dashed pens wider than one pixel draw solid, as on the handheld.
    if (pc->pen->width <= 1) pc->dash = DashFor(pc->pen->style);
    if (pc->dash.len && dc->st.bkMode == OPAQUE) {
        SolidPaint(ToPixel(dc->st.bk), dc->st.rop2, &pc->gap);
        pc->gapOn = true;
    }
    return true;
}

// Moves the dash phase on by n steps; a solid pen stays at phase 0 (no
// division on the path every outline segment takes).
inline void AdvanceDash(PenContext& pc, int64_t n) {
    pc.dashPos = pc.dash.len ? (pc.dashPos + n) % pc.dash.len : 0;
}

// Range of steps i in [0, n) where lo <= start + round(i * a / d) * s < hi,
// with a >= 0, d > 0; round halves away from the start.
void MinorRange(int64_t start, int s, int64_t a, int64_t d, int64_t lo, int64_t hi, int64_t* i0,
                int64_t* i1) {
    // offset(i) = floor((2 i a + d) / (2 d)), non-decreasing in i.
    // Wanted offsets k: lo <= start + s k < hi.
    int64_t kmin, kmax;
    if (s > 0) {
        kmin = lo - start;
        kmax = hi - 1 - start;
    } else {
        kmin = start - (hi - 1);
        kmax = start - lo;
    }
    if (kmax < 0 || kmin > kmax) {
        *i0 = 1;
        *i1 = 0;
        return;
    }
    if (a == 0) {
        if (kmin <= 0 && 0 <= kmax) {
            *i0 = 0;
            *i1 = INT64_MAX;
        } else {
            *i0 = 1;
            *i1 = 0;
        }
        return;
    }
    // offset(i) >= k  <=>  2ia + d >= 2kd  <=>  i >= (2k - 1) d / (2a)
    auto firstAtLeast = [&](int64_t k) -> int64_t {
        if (k <= 0) return 0;
        return CeilDiv(i128(2 * k - 1) * d, i128(2) * a);
    };
    *i0 = firstAtLeast(kmin);
    *i1 = firstAtLeast(kmax + 1) - 1;
}

// A thin segment whose end points lie inside the one clipping rectangle of
// a direct target, so every pixel of it does: written straight into the
// rows, stepped as the general route steps.
void QuickThinSegment(PenContext& pc, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    int64_t dx = x1 - x0, dy = y1 - y0;
    int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    bool xMajor = adx >= ady;
    const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx, n = major;
    const Surface& s = *pc.t.s;
    const ptrdiff_t rowStep = s.bottomUp ? -ptrdiff_t(s.stride >> 2) : ptrdiff_t(s.stride >> 2);
    const ptrdiff_t stepX = dx < 0 ? -1 : 1, stepY = dy < 0 ? -rowStep : rowStep;
    const ptrdiff_t majorStep = xMajor ? stepX : stepY, minorStep = xMajor ? stepY : stepX;
    uint32_t* p = s.Row32(int(y0)) + x0;
    const int64_t D = 2 * major, step = 2 * minor;
    int64_t rem = major;
    const uint32_t colour = pc.paint.colour;
    const int rop = pc.paint.rop2;
    // Steps written first and last (off(i) as the general route rounds it).
    int64_t first = 0, last = n - 1;
    if (!pc.dash.len) {
        if (rop == R2_COPYPEN) {
            for (int64_t i = 0; i < n; ++i, rem += step, p += majorStep) {
                if (rem >= D) {
                    rem -= D;
                    p += minorStep;
                }
                *p = colour;
            }
        } else if (rop != R2_NOP) {
            for (int64_t i = 0; i < n; ++i, rem += step, p += majorStep) {
                if (rem >= D) {
                    rem -= D;
                    p += minorStep;
                }
                Solid32(p, colour, rop);
            }
        }
    } else {
        const uint32_t gap = pc.gap.colour;
        int64_t d = pc.dashPos % pc.dash.len;
        first = -1;
        for (int64_t i = 0; i < n; ++i, rem += step, p += majorStep) {
            if (rem >= D) {
                rem -= D;
                p += minorStep;
            }
            bool on = pc.dash.on[d];
            if (++d == pc.dash.len) d = 0;
            if (!on && !pc.gapOn) continue;
            Solid32(p, on ? colour : gap, rop);
            if (first < 0) first = i;
            last = i;
        }
    }
    AdvanceDash(pc, n);
    if (first < 0 || !pc.t.dirty) return;
    auto at = [&](int64_t i, int64_t* x, int64_t* y) {
        int64_t off = (2 * i * minor + major) / (2 * major);
        int64_t a = xMajor ? i : off, b = xMajor ? off : i;
        *x = x0 + (dx < 0 ? -a : a);
        *y = y0 + (dy < 0 ? -b : b);
    };
    int64_t ax, ay, bx, by;
    at(first, &ax, &ay);
    at(last, &bx, &by);
    Touch(pc.t.dirty, int(std::min(ax, bx)), int(std::min(ay, by)), int(std::max(ax, bx)) + 1,
          int(std::max(ay, by)) + 1);
}

// One thin segment in surface pixels, without its end point.
void ThinSegment(PenContext& pc, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    int64_t dx = x1 - x0, dy = y1 - y0;
    int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    bool xMajor = adx >= ady;
    int64_t n = xMajor ? adx : ady;  // steps, end point left out
    if (n == 0) return;
    const RECT& b = pc.t.bounds;
    if (pc.direct && x0 >= b.left && x0 < b.right && x1 >= b.left && x1 < b.right &&
        y0 >= b.top && y0 < b.bottom && y1 >= b.top && y1 < b.bottom) {
        QuickThinSegment(pc, x0, y0, x1, y1);
        return;
    }
    int64_t i0 = 0, i1 = n - 1;
    // Major axis range.
    auto majorRange = [&](int64_t start, int s, int64_t lo, int64_t hi) {
        int64_t a0, a1;
        if (s > 0) {
            a0 = lo - start;
            a1 = hi - 1 - start;
        } else {
            a0 = start - (hi - 1);
            a1 = start - lo;
        }
        i0 = std::max(i0, a0);
        i1 = std::min(i1, a1);
    };
    int64_t m0, m1;
    if (xMajor) {
        majorRange(x0, sx, b.left, b.right);
        MinorRange(y0, sy, ady, adx, b.top, b.bottom, &m0, &m1);
    } else {
        majorRange(y0, sy, b.top, b.bottom);
        MinorRange(x0, sx, adx, ady, b.left, b.right, &m0, &m1);
    }
    i0 = std::max(i0, m0);
    i1 = std::min(i1, m1);
    bool multiClip = pc.t.clip->size() > 1;
    int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    if (i0 > i1) {
        AdvanceDash(pc, n);
        return;
    }
    // off(i) = floor((2 i minor + major) / (2 major)), stepped exactly.
    const int64_t D = 2 * major, step = 2 * minor;
    const i128 n0 = i128(2) * i0 * minor + major;
    int64_t off = FloorDiv(n0, D);
    int64_t rem = static_cast<int64_t>(n0 - i128(off) * D);
    for (int64_t i = i0; i <= i1; ++i, rem += step) {
        if (rem >= D) {
            rem -= D;
            ++off;
        }
        int64_t px, py;
        if (xMajor) {
            px = x0 + sx * i;
            py = y0 + sy * off;
        } else {
            py = y0 + sy * i;
            px = x0 + sx * off;
        }
        const Paint* paint = &pc.paint;
        if (pc.dash.len) {
            if (!pc.dash.on[(pc.dashPos + i) % pc.dash.len]) {
                if (!pc.gapOn) continue;
                paint = &pc.gap;
            }
        }
        int x = static_cast<int>(px), y = static_cast<int>(py);
        if (multiClip && !InClip(*pc.t.clip, x, y)) continue;
        if (pc.t.mirrored) x = pc.t.axis - x;
        Touch(pc.t.dirty, x, y, x + 1, y + 1);
        Run(*pc.t.s, *paint, y, x, x + 1);
    }
    AdvanceDash(pc, n);
}

struct WideScratch {
    SpanSet set;
};
WideScratch& wideScratch() {
    static WideScratch w;
    return w;
}

// Liang-Barsky clip of a segment to a box; false when nothing is left.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double l, double t, double r,
                 double b) {
    double t0 = 0, t1 = 1, dx = bx - ax, dy = by - ay;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double u = q / p;
        if (p < 0) {
            if (u > t1) return false;
            if (u > t0) t0 = u;
        } else {
            if (u < t0) return false;
            if (u < t1) t1 = u;
        }
        return true;
    };
    if (!edge(-dx, ax - l) || !edge(dx, r - ax) || !edge(-dy, ay - t) || !edge(dy, b - ay))
        return false;
    double nax = ax + t0 * dx, nay = ay + t0 * dy;
    bx = ax + t1 * dx;
    by = ay + t1 * dy;
    ax = nax;
    ay = nay;
    return true;
}

// Rows of a convex polygon given in doubles, sampled at integer points.
void CollectConvex(SpanSet& set, const double* xs, const double* ys, int n) {
    double minY = ys[0], maxY = ys[0];
    for (int i = 1; i < n; ++i) {
        minY = std::min(minY, ys[i]);
        maxY = std::max(maxY, ys[i]);
    }
    int y0 = std::max(static_cast<int>(std::ceil(minY)), set.top);
    int y1 = std::min(static_cast<int>(std::ceil(maxY)), set.top + set.count);
    for (int y = y0; y < y1; ++y) {
        double lo = 1e300, hi = -1e300;
        for (int i = 0; i < n; ++i) {
            double ax = xs[i], ay = ys[i], bx = xs[(i + 1) % n], by = ys[(i + 1) % n];
            if (ay == by) continue;
            if (ay > by) {
                std::swap(ax, bx);
                std::swap(ay, by);
            }
            if (y < ay || y >= by) continue;
            double x = ax + (y - ay) * (bx - ax) / (by - ay);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        if (lo <= hi) set.Add(y, static_cast<int>(std::ceil(lo)), static_cast<int>(std::ceil(hi)));
    }
}

// A round pen tip: pixels whose centre offset lies strictly inside the
// radius; even widths centre half a pixel up and left, like their strokes.
void CollectDisc(SpanSet& set, double px, double py, int w) {
    double r = w / 2.0, c = (w % 2 == 0) ? 0.5 : 0.0;
    double cx = px - c, cy = py - c;
    int y0 = static_cast<int>(std::floor(cy - r)), y1 = static_cast<int>(std::ceil(cy + r));
    for (int y = y0; y <= y1; ++y) {
        double d = y - cy, h2 = r * r - d * d;
        if (h2 <= 0) continue;
        double h = std::sqrt(h2);
        int x0 = static_cast<int>(std::floor(cx - h)) + 1;
        int x1 = static_cast<int>(std::ceil(cx + h));
        set.Add(y, x0, x1);
    }
}

// Rounding of doubles known to lie well within the int range.
inline int CeilSmall(double v) {
    int i = static_cast<int>(v);
    return i + (static_cast<double>(i) < v);
}
inline int FloorSmall(double v) {
    int i = static_cast<int>(v);
    return i - (v < static_cast<double>(i));
}

struct WideRows {
    std::vector<double> lo, hi;
};
WideRows& wideRows() {
    static WideRows w;
    return w;
}

// CollectConvex for figures near the surface: each edge walks only its own
// rows, computing the same crossings.
void CollectConvexQuick(SpanSet& set, const double* xs, const double* ys, int n) {
    double minY = ys[0], maxY = ys[0];
    for (int i = 1; i < n; ++i) {
        minY = std::min(minY, ys[i]);
        maxY = std::max(maxY, ys[i]);
    }
    const int y0 = std::max(CeilSmall(minY), set.top);
    const int y1 = std::min(CeilSmall(maxY), set.top + set.count);
    if (y0 >= y1) return;
    WideRows& w = wideRows();
    const size_t rows = size_t(y1 - y0);
    if (w.lo.size() < rows) {
        w.lo.resize(rows);
        w.hi.resize(rows);
    }
    std::fill(w.lo.begin(), w.lo.begin() + ptrdiff_t(rows), 1e300);
    std::fill(w.hi.begin(), w.hi.begin() + ptrdiff_t(rows), -1e300);
    for (int i = 0; i < n; ++i) {
        double ax = xs[i], ay = ys[i], bx = xs[(i + 1) % n], by = ys[(i + 1) % n];
        if (ay == by) continue;
        if (ay > by) {
            std::swap(ax, bx);
            std::swap(ay, by);
        }
        // Rows y with ay <= y < by.
        const int ya = std::max(CeilSmall(ay), y0), yb = std::min(CeilSmall(by), y1);
        for (int y = ya; y < yb; ++y) {
            double x = ax + (y - ay) * (bx - ax) / (by - ay);
            double& l = w.lo[size_t(y - y0)];
            double& h = w.hi[size_t(y - y0)];
            l = std::min(l, x);
            h = std::max(h, x);
        }
    }
    for (int y = y0; y < y1; ++y) {
        double l = w.lo[size_t(y - y0)], h = w.hi[size_t(y - y0)];
        if (l <= h) set.Add(y, CeilSmall(l), CeilSmall(h));
    }
}

void CollectDiscQuick(SpanSet& set, double px, double py, int w) {
    double r = w / 2.0, c = (w % 2 == 0) ? 0.5 : 0.0;
    double cx = px - c, cy = py - c;
    int y0 = FloorSmall(cy - r), y1 = CeilSmall(cy + r);
    for (int y = y0; y <= y1; ++y) {
        double d = y - cy, h2 = r * r - d * d;
        if (h2 <= 0) continue;
        double h = std::sqrt(h2);
        set.Add(y, FloorSmall(cx - h) + 1, CeilSmall(cx + h));
    }
}

// Pens up to this width near the surface take the quick collectors.
constexpr int kQuickPen = 4096;

void WideStroke(PenContext& pc, const IPoint* p, int n, bool closed) {
    int w = pc.pen->width;
    const RECT& b = pc.t.bounds;
    SpanSet& set = wideScratch().set;
    if (QuickDrawingOn()) {
        // Only the rows the stroke can reach: its points' rows and the pen
        // around them.
        int64_t lo = p[0].y, hi = p[0].y;
        for (int i = 1; i < n; ++i) {
            lo = std::min(lo, p[i].y);
            hi = std::max(hi, p[i].y);
        }
        int64_t top = std::max<int64_t>(b.top, lo - w - 2);
        int64_t bottom = std::min<int64_t>(b.bottom, hi + w + 3);
        if (top >= bottom) return;
        set.Reset(static_cast<int>(top), static_cast<int>(bottom));
    } else {
        set.Reset(b.top, b.bottom);
    }
    double m = w + 2.0;
    double L = b.left - m, R = b.right + m, T = b.top - m, B = b.bottom + m;
    const bool quick = QuickDrawingOn() && w <= kQuickPen && b.left > -kSmall &&
                       b.right < kSmall && b.top > -kSmall && b.bottom < kSmall;
    int segs = closed ? n : n - 1;
    for (int i = 0; i < segs; ++i) {
        double ax = double(p[i].x), ay = double(p[i].y);
        double bx = double(p[(i + 1) % n].x), by = double(p[(i + 1) % n].y);
        if (!ClipSegment(ax, ay, bx, by, L, T, R, B)) continue;
        double dx = bx - ax, dy = by - ay, len = std::hypot(dx, dy);
        if (len > 0) {
            double nx = -dy / len * (w / 2.0), ny = dx / len * (w / 2.0);
            double xs[4] = {ax + nx, bx + nx, bx - nx, ax - nx};
            double ys[4] = {ay + ny, by + ny, by - ny, ay - ny};
            if (quick)
                CollectConvexQuick(set, xs, ys, 4);
            else
                CollectConvex(set, xs, ys, 4);
        }
    }
    for (int i = 0; i < n; ++i) {
        double x = double(p[i].x), y = double(p[i].y);
        if (x < L || x > R || y < T || y > B) continue;
        if (quick)
            CollectDiscQuick(set, x, y, w);
        else
            CollectDisc(set, x, y, w);
    }
    set.Paint(pc.t, pc.paint);
}

void StrokePath(PenContext& pc, const IPoint* p, int n, bool closed) {
    if (n < 2) return;
    if (pc.pen->width > 1) {
        WideStroke(pc, p, n, closed);
        return;
    }
    for (int i = 0; i + 1 < n; ++i) ThinSegment(pc, p[i].x, p[i].y, p[i + 1].x, p[i + 1].y);
    if (closed) ThinSegment(pc, p[n - 1].x, p[n - 1].y, p[0].x, p[0].y);
}

std::vector<IPoint>& pointScratch() {
    static std::vector<IPoint> v;
    return v;
}

const IPoint* ToSurface(Dc* dc, const POINT* pts, int n) {
    auto& v = pointScratch();
    v.resize(n);
    POINT off = DcOffset(dc);
    for (int i = 0; i < n; ++i) v[i] = IPoint{int64_t(pts[i].x) + off.x, int64_t(pts[i].y) + off.y};
    return v.data();
}

// Row span [x0, x1) of the ellipse inscribed in a box, sampled at pixel
// centres; false when the row misses it.
bool EllipseRowUncached(int64_t l, int64_t t, int64_t r, int64_t b, int64_t y, int64_t* x0,
                        int64_t* x1);

// A row of an ellipse depends only on its size and the row's place in it:
// small ones (point markers, drawn by the thousand) keep each row's span,
// relative to the left edge, in a small table.
bool EllipseRow(int64_t l, int64_t t, int64_t r, int64_t b, int64_t y, int64_t* x0, int64_t* x1) {
    const int64_t W = r - l, H = b - t;
    if (W <= 0 || H <= 0 || y < t || y >= b) return false;
    if (W >= 64 || H >= 64) return EllipseRowUncached(l, t, r, b, y, x0, x1);
    struct Row {
        int32_t key = 0;  // 1 + size and row; 0 empty
        int8_t left = 0, right = 0;
        bool inside = false;
    };
    // Initial-exec: the library is loaded with the program, so the table is
    // reached without a call.
    [[gnu::tls_model("initial-exec")]] thread_local Row rows[1024];
    const int64_t row = y - t;
    const auto key = static_cast<int32_t>(1 + ((W << 12) | (H << 6) | row));
    Row& kept = rows[(W * 131 + H * 31 + row) & 1023];
    if (kept.key != key) {
        int64_t a = 0, c = 0;
        kept.inside = EllipseRowUncached(0, 0, W, H, row, &a, &c);
        kept.left = static_cast<int8_t>(a);
        kept.right = static_cast<int8_t>(c);
        kept.key = key;
    }
    if (!kept.inside) return false;
    *x0 = l + kept.left;
    *x1 = l + kept.right;
    return true;
}

bool EllipseRowUncached(int64_t l, int64_t t, int64_t r, int64_t b, int64_t y, int64_t* x0,
                        int64_t* x1) {
    int64_t W = r - l, H = b - t;
    if (W <= 0 || H <= 0 || y < t || y >= b) return false;
    int64_t Y = 2 * y + 1 - (t + b);
    // Exact in 128 bits up to 2^28 pixels a side; beyond that (far outside
    // any surface) in long double.
    const bool exact = W <= (int64_t(1) << 28) && H <= (int64_t(1) << 28);
    auto inside = [&](int64_t x) {
        int64_t X = 2 * x + 1 - (l + r);
        if (exact) return i128(X) * X * H * H + i128(Y) * Y * W * W <= i128(W) * W * H * H;
        long double u = (long double)X / W, v = (long double)Y / H;
        return u * u + v * v <= 1.0L;
    };
    if (std::abs(Y) > H) return false;
    double xm = double(W) * std::sqrt(std::max(0.0, 1.0 - double(Y) * Y / (double(H) * H)));
    int64_t right = static_cast<int64_t>(std::floor((xm + double(l + r) - 1) / 2));
    while (!inside(right) && right > l) --right;
    while (inside(right + 1)) ++right;
    if (!inside(right)) return false;
    int64_t left = l + r - 1 - right;  // mirror image
    *x0 = left;
    *x1 = right + 1;
    return true;
}

// Rounded rectangle row: corners are quarter ellipses of ew x eh.
bool RoundRow(int64_t l, int64_t t, int64_t r, int64_t b, int64_t ew, int64_t eh, int64_t y,
              int64_t* x0, int64_t* x1) {
    if (r <= l || b <= t || y < t || y >= b) return false;
    ew = std::min(ew, r - l);
    eh = std::min(eh, b - t);
    if (ew < 2 || eh < 2) {
        *x0 = l;
        *x1 = r;
        return true;
    }
    int64_t a, c;
    if (y < t + eh / 2) {
        if (!EllipseRow(l, t, l + ew, t + eh, y, &a, &c)) return false;
        *x0 = a;
        EllipseRow(r - ew, t, r, t + eh, y, &a, &c);
        *x1 = c;
        return true;
    }
    if (y >= b - eh / 2) {
        if (!EllipseRow(l, b - eh, l + ew, b, y, &a, &c)) return false;
        *x0 = a;
        EllipseRow(r - ew, b - eh, r, b, y, &a, &c);
        *x1 = c;
        return true;
    }
    *x0 = l;
    *x1 = r;
    return true;
}

using RowFn = bool (*)(int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t*,
                       int64_t*);

bool EllipseRowFn(int64_t l, int64_t t, int64_t r, int64_t b, int64_t, int64_t, int64_t y,
                  int64_t* x0, int64_t* x1) {
    return EllipseRow(l, t, r, b, y, x0, x1);
}

// A closed curved figure: brush inside, pen ring of the pen's width.
void CurvedFigure(Dc* dc, int64_t l, int64_t t, int64_t r, int64_t b, int64_t ew, int64_t eh,
                  RowFn row) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    POINT off = DcOffset(dc);
    l += off.x;
    r += off.x;
    t += off.y;
    b += off.y;
    Target tg;
    if (!MakeTarget(dc, &tg)) return;
    Pen* pen = GetPen(dc->st.pen);
    bool hasPen = pen && pen->style != PS_NULL;
    int w = hasPen ? pen->width : 0;
    if (!hasPen) {
        // Without a pen the figure is one pixel smaller at right and bottom.
        --r;
        --b;
    }
    Paint fill, ring;
    bool hasFill = BrushPaint(dc, GetBrush(dc->st.brush), &fill, dc->st.rop2);
    if (hasPen) SolidPaint(ToPixel(pen->colour), dc->st.rop2, &ring);
    int64_t y0 = std::max<int64_t>(t, tg.bounds.top), y1 = std::min<int64_t>(b, tg.bounds.bottom);
    for (int64_t y = y0; y < y1; ++y) {
        int64_t a0, a1, i0 = 0, i1 = 0;
        if (!row(l, t, r, b, ew, eh, y, &a0, &a1)) continue;
        bool inner = w ? row(l + w, t + w, r - w, b - w, ew - 2 * w, eh - 2 * w, y, &i0, &i1)
                       : (i0 = a0, i1 = a1, true);
        int yy = static_cast<int>(y);
        if (!inner) {
            if (hasPen) FillSpan(tg, ring, yy, Clamp32(a0), Clamp32(a1));
            continue;
        }
        if (hasPen) {
            FillSpan(tg, ring, yy, Clamp32(a0), Clamp32(i0));
            FillSpan(tg, ring, yy, Clamp32(i1), Clamp32(a1));
        }
        if (hasFill) FillSpan(tg, fill, yy, Clamp32(i0), Clamp32(i1));
    }
}

}  // namespace

// ---- figures ----

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
    Dc* dc = GetDc(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->st.cur;
    dc->st.cur = {x, y};
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, POINT* out) {
    Dc* dc = GetDc(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.cur;
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    Dc* dc = GetDc(hdc);
    if (!dc) return FALSE;
    POINT pts[2] = {dc->st.cur, {x, y}};
    dc->st.cur = {x, y};
    PenContext pc;
    if (!MakePen(dc, &pc)) return TRUE;
    StrokePath(pc, ToSurface(dc, pts, 2), 2, false);
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
    Dc* dc = GetDc(hdc);
    if (!dc || !points || count < 2) return FALSE;
    PenContext pc;
    if (!MakePen(dc, &pc)) return TRUE;
    StrokePath(pc, ToSurface(dc, points, count), count, false);
    return TRUE;
}

BOOL PolyPolygon(HDC hdc, const POINT* points, const int* counts, int polygons) {
    Dc* dc = GetDc(hdc);
    if (!dc || !points || !counts || polygons <= 0) return FALSE;
    int total = 0;
    for (int i = 0; i < polygons; ++i) {
        if (counts[i] < 2) return FALSE;
        total += counts[i];
    }
    const IPoint* p = ToSurface(dc, points, total);
    Target t;
    if (!MakeTarget(dc, &t)) return TRUE;
    // Kept between figures: a pattern brush's pixels are rebuilt in place.
    static Paint fill;
    if (BrushPaint(dc, GetBrush(dc->st.brush), &fill, dc->st.rop2))
        FillPolygon(t, fill, p, counts, polygons, dc->st.fillMode == WINDING);
    PenContext pc;
    if (MakePen(dc, &pc)) {
        for (int i = 0; i < polygons; ++i) {
            pc.dashPos = 0;
            StrokePath(pc, p, counts[i], true);
            p += counts[i];
        }
    }
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
    return PolyPolygon(hdc, points, &count, 1);
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    Dc* dc = GetDc(hdc);
    if (!dc) return FALSE;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    Target t;
    if (!MakeTarget(dc, &t)) return TRUE;
    POINT off = DcOffset(dc);
    int64_t l = int64_t(left) + off.x, tp = int64_t(top) + off.y;
    int64_t r = int64_t(right) + off.x, b = int64_t(bottom) + off.y;
    Pen* pen = GetPen(dc->st.pen);
    bool hasPen = pen && pen->style != PS_NULL;
    Paint fill;
    bool hasFill = BrushPaint(dc, GetBrush(dc->st.brush), &fill, dc->st.rop2);
    auto fillRect = [&](const Paint& p, int64_t a, int64_t c, int64_t d, int64_t e) {
        if (a < c && d < e) FillRectS(t, p, RECT{Clamp32(a), Clamp32(d), Clamp32(c), Clamp32(e)});
    };
    if (!hasPen) {
        // Without a pen the rectangle is one pixel smaller at right and bottom.
        if (hasFill) fillRect(fill, l, r - 1, tp, b - 1);
        return TRUE;
    }
    int w = pen->width;
    // The frame is centred on the border pixels (l, t) .. (r - 1, b - 1); an
    // inside-frame pen keeps it within the rectangle.
    int64_t ol = l, ot = tp, orr = r, ob = b;
    if (pen->style != PS_INSIDEFRAME) {
        ol -= (w - 1) / 2;
        ot -= (w - 1) / 2;
        orr += w / 2;
        ob += w / 2;
    }
    int64_t il = ol + w, it = ot + w, ir = orr - w, ib = ob - w;
    if (hasFill) fillRect(fill, il, ir, it, ib);
    PenContext pc;
    if (!MakePen(dc, &pc)) return TRUE;
    if (w <= 1 && pc.dash.len) {
        IPoint q[4] = {{l, tp}, {r - 1, tp}, {r - 1, b - 1}, {l, b - 1}};
        StrokePath(pc, q, 4, true);
        return TRUE;
    }
    if (il >= ir || it >= ib) {
        fillRect(pc.paint, ol, orr, ot, ob);
        return TRUE;
    }
    fillRect(pc.paint, ol, orr, ot, it);
    fillRect(pc.paint, ol, orr, ib, ob);
    fillRect(pc.paint, ol, il, it, ib);
    fillRect(pc.paint, ir, orr, it, ib);
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    Dc* dc = GetDc(hdc);
    if (!dc) return FALSE;
    CurvedFigure(dc, left, top, right, bottom, 0, 0, EllipseRowFn);
    return TRUE;
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height) {
    Dc* dc = GetDc(hdc);
    if (!dc) return FALSE;
    CurvedFigure(dc, left, top, right, bottom, std::abs(width), std::abs(height), RoundRow);
    return TRUE;
}

namespace {

// The surface pixel of a logical point, when it lies inside the clipping.
bool ClippedPixel(HDC hdc, int x, int y, Surface** s, int* sx, int* sy) {
    Dc* dc = GetDc(hdc);
    Target t;
    if (!dc || !MakeTarget(dc, &t)) return false;
    POINT off = DcOffset(dc);
    int64_t px = int64_t(x) + off.x, py = int64_t(y) + off.y;
    if (px < t.bounds.left || px >= t.bounds.right || py < t.bounds.top || py >= t.bounds.bottom)
        return false;
    if (!InClip(*t.clip, int(px), int(py))) return false;
    *s = t.s;
    *sx = t.mirrored ? t.axis - int(px) : int(px);
    *sy = int(py);
    return true;
}

}  // namespace

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour) {
    Surface* s;
    int sx, sy;
    if (!ClippedPixel(hdc, x, y, &s, &sx, &sy)) return CLR_INVALID;
    Dc* dc = GetDc(hdc);
    if (dc->surfaceDc) Touch(&dc->dirty, sx, sy, sx + 1, sy + 1);
    s->Set(sx, sy, ToPixel(colour));
    return ToColorRef(s->Get(sx, sy));
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    Surface* s;
    int sx, sy;
    if (!ClippedPixel(hdc, x, y, &s, &sx, &sy)) return CLR_INVALID;
    return ToColorRef(s->Get(sx, sy));
}

namespace gdi::detail {

// The classic system colours: the one table the window system's
// GetSysColor, edges and system-colour brushes all read.
COLORREF SysColour(int index) {
    static const COLORREF table[] = {
        0xC0C0C0,  // 0 scroll bar
        0x808000,  // 1 desktop
        0x800000,  // 2 active caption
        0x808080,  // 3 inactive caption
        0xC0C0C0,  // 4 menu
        0xFFFFFF,  // 5 window
        0x000000,  // 6 window frame
        0x000000,  // 7 menu text
        0x000000,  // 8 window text
        0xFFFFFF,  // 9 caption text
        0xC0C0C0,  // 10 active border
        0xC0C0C0,  // 11 inactive border
        0x808080,  // 12 application workspace
        0x800000,  // 13 highlight
        0xFFFFFF,  // 14 highlight text
        0xC0C0C0,  // 15 button face
        0x808080,  // 16 button shadow
        0x808080,  // 17 grey text
        0x000000,  // 18 button text
        0xC0C0C0,  // 19 inactive caption text
        0xFFFFFF,  // 20 button highlight
        0x000000,  // 21 3-D dark shadow
        0xC0C0C0,  // 22 3-D light
        0x000000,  // 23 tooltip text
        0xE1FFFF,  // 24 tooltip background
        0xC0C0C0,  // 25 static control background
        0x000000,  // 26 static control text
    };
    if (index < 0 || index >= int(std::size(table))) return 0xC0C0C0;
    return table[index];
}

}  // namespace gdi::detail

namespace gdi {
COLORREF SystemColour(int index) {
    return detail::SysColour(index);
}
}  // namespace gdi

namespace gdi::detail {

// A brush argument that is a system colour index + 1 (values below any
// object token), or a real brush.
bool ResolveBrush(Dc* dc, HBRUSH brush, Paint* out, int rop2) {
    uintptr_t v = reinterpret_cast<uintptr_t>(brush);
    if (v > 0 && v <= 64) {
        SolidPaint(ToPixel(SysColour(int(v) - 1)), rop2, out);
        return true;
    }
    return BrushPaint(dc, GetBrush(brush), out, rop2);
}

bool DeviceRect(Dc* dc, const RECT* r, Target* t, RECT* out) {
    if (!r || !MakeTarget(dc, t)) return false;
    POINT off = DcOffset(dc);
    *out = RECT{Clamp32(int64_t(r->left) + off.x), Clamp32(int64_t(r->top) + off.y),
                Clamp32(int64_t(r->right) + off.x), Clamp32(int64_t(r->bottom) + off.y)};
    return out->left < out->right && out->top < out->bottom;
}

}  // namespace gdi::detail

namespace {

// The rectangle operations: `op(dc, target, device rectangle)` runs when the
// rectangle is not empty. FALSE only without a DC or a rectangle.
template <class Op>
BOOL OnDeviceRect(HDC hdc, const RECT* rect, Op op) {
    Dc* dc = GetDc(hdc);
    if (!dc || !rect) return FALSE;
    Target t;
    RECT r;
    if (DeviceRect(dc, rect, &t, &r)) op(dc, t, r);
    return TRUE;
}

}  // namespace

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    return OnDeviceRect(hdc, rect, [&](Dc* dc, const Target& t, const RECT& r) {
        Paint p;
        if (ResolveBrush(dc, brush, &p, R2_COPYPEN)) FillRectS(t, p, r);
    });
}

BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
    Dc* dc = GetDc(hdc);
    Region* g = GetRegion(rgn);
    if (!dc || !g) return FALSE;
    for (const RECT& r : g->rects) FillRect(hdc, &r, brush);
    return TRUE;
}

// The one-pixel border of a rectangle, every pixel once.
static void FillFrame(const Target& t, const Paint& p, const RECT& r) {
    FillRectS(t, p, RECT{r.left, r.top, r.right, r.top + 1});
    if (r.bottom - r.top > 1) FillRectS(t, p, RECT{r.left, r.bottom - 1, r.right, r.bottom});
    FillRectS(t, p, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1});
    if (r.right - r.left > 1) FillRectS(t, p, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1});
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    return OnDeviceRect(hdc, rect, [&](Dc* dc, const Target& t, const RECT& r) {
        Paint p;
        if (ResolveBrush(dc, brush, &p, R2_COPYPEN)) FillFrame(t, p, r);
    });
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
    return OnDeviceRect(hdc, rect, [](Dc*, const Target& t, const RECT& r) {
        Paint p;
        SolidPaint(0, R2_NOT, &p);
        FillRectS(t, p, r);
    });
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    return OnDeviceRect(hdc, rect, [](Dc*, const Target& t, const RECT& r) {
        // Every other pixel of the one-pixel frame is inverted (XOR with
        // white), on a checkerboard anchored at the surface origin, so a
        // second call erases it.
        Paint p;
        p.pattern = true;
        p.rop2 = R2_XORPEN;
        p.pw = p.ph = 2;
        p.px = {0xFFFFFF, 0, 0, 0xFFFFFF};
        p.on = {1, 0, 0, 1};
        FillFrame(t, p, r);
    });
}

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags) {
    Dc* dc = GetDc(hdc);
    if (!dc || !rect) return FALSE;
    RECT r = *rect;
    // System colour numbers of the light and dark sides, outer then inner.
    enum { kHilight = 20, kLight = 22, kShadow = 16, kDkShadow = 21, kFace = 15 };
    struct Ring {
        UINT raised, sunken;
        int tlRaised, brRaised, tlSunken, brSunken;
    };
    const Ring rings[2] = {
        {BDR_RAISEDOUTER, BDR_SUNKENOUTER, kLight, kDkShadow, kShadow, kHilight},
        {BDR_RAISEDINNER, BDR_SUNKENINNER, kHilight, kShadow, kDkShadow, kLight}};
    for (int k = 0; k < 2; ++k) {
        const Ring& g = rings[k];
        int tl, br;
        if (edge & g.raised) {
            tl = g.tlRaised;
            br = g.brRaised;
        } else if (edge & g.sunken) {
            tl = g.tlSunken;
            br = g.brSunken;
        } else {
            continue;
        }
        if (flags & BF_FLAT) tl = br = (k == 0 ? kShadow : kFace);
        if (flags & BF_MONO) tl = br = (k == 0 ? 6 : 5);
        HBRUSH tlb = reinterpret_cast<HBRUSH>(uintptr_t(tl + 1));
        HBRUSH brb = reinterpret_cast<HBRUSH>(uintptr_t(br + 1));
        if (flags & BF_TOP) {
            RECT q{r.left, r.top, r.right, r.top + 1};
            FillRect(hdc, &q, tlb);
        }
        if (flags & BF_LEFT) {
            RECT q{r.left, r.top, r.left + 1, r.bottom};
            FillRect(hdc, &q, tlb);
        }
        if (flags & BF_BOTTOM) {
            RECT q{r.left, r.bottom - 1, r.right, r.bottom};
            FillRect(hdc, &q, brb);
        }
        if (flags & BF_RIGHT) {
            RECT q{r.right - 1, r.top, r.right, r.bottom};
            FillRect(hdc, &q, brb);
        }
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_RIGHT) --r.right;
        if (flags & BF_BOTTOM) --r.bottom;
    }
    if (flags & BF_MIDDLE) FillRect(hdc, &r, reinterpret_cast<HBRUSH>(uintptr_t(kFace + 1)));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

namespace gdi {
void SetQuickDrawing(bool on) {
    detail::QuickDrawingOn() = on;
}
}  // namespace gdi
