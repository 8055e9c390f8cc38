// Block transfers: BitBlt, StretchBlt (nearest neighbour), PatBlt,
// TransparentBlt and ScrollDC, with the ternary raster operations.
//
// Stretching samples the source at the centre of each destination pixel.
// A source rectangle that reaches past the bitmap keeps its scale, and the
// destination pixels whose source lies outside the bitmap are left as they
// were: nothing is ever read past the bitmap.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"

namespace gdi::detail {
bool DeviceRect(Dc* dc, const RECT* r, Target* t, RECT* out);
}

using namespace gdi::detail;

namespace {

// The result bit of a ternary operation for inputs P, S, D is bit
// (P << 2 | S << 1 | D) of the operation code.
inline uint32_t Rop3(uint8_t code, uint32_t P, uint32_t S, uint32_t D) {
    switch (code) {
        case 0xCC:
            return S;
        case 0xF0:
            return P;
        case 0x00:
            return 0;
        case 0xFF:
            return 0xFFFFFF;
        case 0x55:
            return ~D & 0xFFFFFF;
        case 0x66:
            return S ^ D;
        case 0x88:
            return S & D;
        case 0xEE:
            return S | D;
        case 0x5A:
            return P ^ D;
        case 0x33:
            return ~S & 0xFFFFFF;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((code >> i) & 1)) continue;
        r |= ((i & 4) ? P : ~P) & ((i & 2) ? S : ~S) & ((i & 1) ? D : ~D);
    }
    return r & 0xFFFFFF;
}

struct Source {
    Surface* s = nullptr;
    bool monoToColour = false;  // 1-bit source onto a colour target
    bool colourToMono = false;  // colour source onto a 1-bit target
    uint32_t fg = 0, bg = 0;    // target's text and background colours
    uint32_t srcBk = 0;         // source's background colour
};

// Source pixel as a colour of the target's kind.
inline uint32_t SourcePixel(const Source& src, int x, int y) {
    if (src.monoToColour) return src.s->GetRaw(x, y) ? src.bg : src.fg;
    uint32_t c = src.s->Get(x, y);
    if (src.colourToMono) return c == src.srcBk ? 0xFFFFFF : 0;
    return c;
}

// Source coordinate of the destination pixels first .. first + count - 1 of
// dstLen (centre sampling); -1 where it falls outside [0, limit). Only the
// visible pixels are sampled: a destination may be far larger than the surface.
void SampleTable(int64_t start, int64_t srcLen, int64_t dstLen, bool flip, int limit, int64_t first,
                 int64_t count, std::vector<int>* out) {
    out->resize(static_cast<size_t>(count));
    for (int64_t j = 0; j < count; ++j) {
        const int64_t jj = flip ? dstLen - 1 - (first + j) : first + j;
        const int64_t v = start + (2 * jj + 1) * srcLen / (2 * dstLen);
        (*out)[static_cast<size_t>(j)] = (v >= 0 && v < limit) ? static_cast<int>(v) : -1;
    }
}

// A negative extent runs from pos + len to pos, mirrored: made positive
// (in 64 bits, so the most negative int turns too). True when it flipped.
bool MakePositive(int64_t& pos, int64_t& len) {
    if (len >= 0) return false;
    pos += len;
    len = -len;
    return true;
}

BOOL Blit(HDC hdst, int x32, int y32, int w32, int h32, HDC hsrc, int sx32, int sy32, int sw32,
          int sh32, DWORD rop, const COLORREF* transparent) {
    Dc* dst = GetDc(hdst);
    if (!dst) return FALSE;
    uint8_t code = static_cast<uint8_t>((rop >> 16) & 0xFF);
    bool needSrc = (((code >> 2) ^ code) & 0x33) != 0 || transparent;
    bool needPat = (((code >> 4) ^ code) & 0x0F) != 0;
    Dc* srcDc = needSrc ? GetDc(hsrc) : nullptr;
    if (needSrc && !srcDc) return FALSE;
    if (w32 == 0 || h32 == 0 || (needSrc && (sw32 == 0 || sh32 == 0))) return TRUE;
    int64_t x = x32, y = y32, w = w32, h = h32, sx = sx32, sy = sy32, sw = sw32, sh = sh32;
    bool flipX = MakePositive(x, w), flipY = MakePositive(y, h);
    if (needSrc) {
        flipX ^= MakePositive(sx, sw);
        flipY ^= MakePositive(sy, sh);
    }
    // Images keep their orientation in a mirrored DC: the rectangle is
    // placed mirrored and filled as it is.
    Target t;
    if (!MakeRealTarget(dst, &t)) return TRUE;
    POINT off = DcOffset(dst);
    int64_t dx0 = x + off.x, dy0 = y + off.y;
    if (dst->mirrored) dx0 = MirrorAxis(dst) + 1 - (dx0 + w);
    // Destination rows and columns that can be touched.
    int64_t cx0 = std::max<int64_t>(dx0, t.bounds.left),
            cx1 = std::min<int64_t>(dx0 + w, t.bounds.right);
    int64_t cy0 = std::max<int64_t>(dy0, t.bounds.top),
            cy1 = std::min<int64_t>(dy0 + h, t.bounds.bottom);
    if (cx0 >= cx1 || cy0 >= cy1) return TRUE;

    Source src;
    std::vector<int> xs, ys;
    if (needSrc) {
        src.s = DcSurface(srcDc);
        if (!src.s) return FALSE;
        POINT so = DcOffset(srcDc);
        int64_t ssx = sx + so.x, ssy = sy + so.y;
        if (srcDc->mirrored) ssx = MirrorAxis(srcDc) + 1 - (ssx + sw);
        if (ssx < INT32_MIN || ssx > INT32_MAX || ssy < INT32_MIN || ssy > INT32_MAX) return TRUE;
        src.monoToColour = src.s->bpp == 1 && t.s->bpp != 1;
        src.colourToMono = src.s->bpp != 1 && t.s->bpp == 1;
        src.fg = ToPixel(dst->st.text);
        src.bg = ToPixel(dst->st.bk);
        src.srcBk = ToPixel(srcDc->st.bk);
        SampleTable(ssx, sw, w, flipX, src.s->width, cx0 - dx0, cx1 - cx0, &xs);
        SampleTable(ssy, sh, h, flipY, src.s->height, cy0 - dy0, cy1 - cy0, &ys);
    }
    Paint pat;
    bool hasPat = needPat && BrushPaint(dst, GetBrush(dst->st.brush), &pat, R2_COPYPEN);
    uint32_t transparentPx = transparent ? ToPixel(*transparent) : 0;

    const std::vector<RECT>& clip = *t.clip;
    Surface& ds = *t.s;
    // The quick route of plain copies from 4-, 8- and 24-bit sources onto
    // 32-bit surfaces, with the source's colour table as Surface::Get reads it.
    const bool quickColour = QuickDrawingOn() && needSrc && code == 0xCC && !transparent &&
                             ds.bpp == 32 && !src.monoToColour &&
                             (src.s->bpp == 4 || src.s->bpp == 8 || src.s->bpp == 24);
    // Whether the sampled columns follow each other (a copy at scale 1).
    bool consecutive = quickColour;
    for (size_t j = 1; consecutive && j < xs.size(); ++j) consecutive = xs[j] == xs[j - 1] + 1;
    // A copy at scale 1 from another 32-bit surface moves whole row runs.
    bool rowRuns = needSrc && code == 0xCC && !transparent && ds.bpp == 32 && src.s->bpp == 32 &&
                   src.s != &ds && !xs.empty() && xs[0] >= 0;
    for (size_t j = 1; rowRuns && j < xs.size(); ++j) rowRuns = xs[j] == xs[j - 1] + 1;
    uint32_t colours[256] = {};
    if (quickColour && src.s->bpp <= 8) {
        const size_t n = std::min<size_t>(src.s->palette.size(), size_t(1) << src.s->bpp);
        std::copy_n(src.s->palette.begin(), n, colours);
    }
    Touch(t.dirty, int(cx0), int(cy0), int(cx1), int(cy1));
    for (int64_t yy = cy0; yy < cy1; ++yy) {
        int row = static_cast<int>(yy);
        int srow = needSrc ? ys[yy - cy0] : 0;
        if (needSrc && srow < 0) continue;
        for (const RECT& r : clip) {
            if (r.top > row) break;
            if (row >= r.bottom) continue;
            int a = static_cast<int>(std::max<int64_t>(cx0, r.left));
            int b = static_cast<int>(std::min<int64_t>(cx1, r.right));
            if (a >= b) continue;
            // Plain copy between 32-bit surfaces.
            if (code == 0xCC && !transparent && ds.bpp == 32 && src.s->bpp == 32) {
                uint32_t* drow = ds.Row32(row);
                const uint32_t* srowp = src.s->Row32(srow);
                if (rowRuns) {
                    std::memcpy(drow + a, srowp + xs[a - cx0], sizeof(uint32_t) * (b - a));
                    continue;
                }
                for (int xx = a; xx < b; ++xx) {
                    int scol = xs[xx - cx0];
                    if (scol >= 0) drow[xx] = srowp[scol];
                }
                continue;
            }
            // Plain copy of an indexed or 24-bit source onto a 32-bit
            // surface: colours looked up in place.
            if (quickColour) {
                uint32_t* drow = ds.Row32(row);
                const uint8_t* srowp = src.s->Row(srow);
                switch (src.s->bpp) {
                    case 24: {
                        // Four bytes are read at once where they stay in the
                        // row. The sampled columns are monotonic, so those
                        // pixels are the middle of the span; the ends are
                        // read byte by byte.
                        const int whole = (src.s->stride - 4) / 3;
                        auto col = [&](int xx) { return xs[size_t(xx - cx0)]; };
                        auto bytewise = [&](int xx) {
                            const int scol = col(xx);
                            if (scol < 0) return;
                            const uint8_t* q = srowp + 3 * scol;
                            drow[xx] = uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16;
                        };
                        int i0 = a, i1 = b;
                        for (; i0 < i1 && (col(i0) < 0 || col(i0) > whole); ++i0) bytewise(i0);
                        for (; i1 > i0 && (col(i1 - 1) < 0 || col(i1 - 1) > whole); --i1)
                            bytewise(i1 - 1);
                        if (i0 < i1 && consecutive) {
                            // One source pixel per destination pixel.
                            const uint8_t* q = srowp + 3 * col(i0);
                            uint32_t* d = drow + i0;
                            for (int n = i1 - i0, k = 0; k < n; ++k) {
                                uint32_t v;
                                std::memcpy(&v, q + 3 * k, 4);
                                d[k] = v & 0xFFFFFF;
                            }
                            break;
                        }
                        for (int xx = i0; xx < i1; ++xx) {
                            uint32_t v;
                            std::memcpy(&v, srowp + 3 * col(xx), 4);
                            drow[xx] = v & 0xFFFFFF;
                        }
                        break;
                    }
                    case 8:
                        for (int xx = a; xx < b; ++xx) {
                            int scol = xs[xx - cx0];
                            if (scol >= 0) drow[xx] = colours[srowp[scol]];
                        }
                        break;
                    default:
                        for (int xx = a; xx < b; ++xx) {
                            int scol = xs[xx - cx0];
                            if (scol >= 0)
                                drow[xx] =
                                    colours[(srowp[scol >> 1] >> ((scol & 1) ? 0 : 4)) & 0xF];
                        }
                        break;
                }
                continue;
            }
            // Plain copy of any source onto a 32-bit surface.
            if (code == 0xCC && !transparent && ds.bpp == 32) {
                uint32_t* drow = ds.Row32(row);
                for (int xx = a; xx < b; ++xx) {
                    int scol = xs[xx - cx0];
                    if (scol >= 0) drow[xx] = SourcePixel(src, scol, srow);
                }
                continue;
            }
            for (int xx = a; xx < b; ++xx) {
                uint32_t S = 0, P = 0;
                if (needSrc) {
                    int scol = xs[xx - cx0];
                    if (scol < 0) continue;
                    S = SourcePixel(src, scol, srow);
                    if (transparent) {
                        if (S == transparentPx) continue;
                        ds.Set(xx, row, S);
                        continue;
                    }
                }
                if (needPat) {
                    if (!hasPat) {
                        P = 0;
                    } else if (pat.pattern) {
                        int px = (xx - pat.orgX) % pat.pw, py = (row - pat.orgY) % pat.ph;
                        if (px < 0) px += pat.pw;
                        if (py < 0) py += pat.ph;
                        P = pat.px[py * pat.pw + px];
                    } else {
                        P = pat.colour;
                    }
                }
                uint32_t D =
                    (code == 0xCC || code == 0xF0 || code == 0 || code == 0xFF || code == 0x33)
                        ? 0
                        : ds.Get(xx, row);
                ds.Set(xx, row, Rop3(code, P, S, D));
            }
        }
    }
    return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop) {
    return Blit(dst, x, y, width, height, src, sx, sy, width, height, rop, nullptr);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                int sourceWidth, int sourceHeight, DWORD rop) {
    return Blit(dst, x, y, width, height, src, sx, sy, sourceWidth, sourceHeight, rop, nullptr);
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                    int sourceWidth, int sourceHeight, COLORREF transparent) {
    return Blit(dst, x, y, width, height, src, sx, sy, sourceWidth, sourceHeight, SRCCOPY,
                &transparent);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    return Blit(hdc, x, y, width, height, nullptr, 0, 0, 0, 0, rop, nullptr);
}

BOOL ScrollDC(HDC hdc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
              RECT* updateRect) {
    Dc* dc = GetDc(hdc);
    if (!dc) return FALSE;
    Surface* s = DcSurface(dc);
    if (!s) return FALSE;
    POINT off = DcOffset(dc);
    RECT all{-off.x, -off.y, s->width - off.x, s->height - off.y};
    if (dc->surfaceDc) {
        RECT sc = dc->surfClip;
        OffsetRect(&sc, -off.x, -off.y);
        IntersectRect(&all, &all, &sc);
        // A window's DC scrolls what the window shows, never the pixels of
        // its parent or of its neighbours on the same surface.
        if (dc->hasVis) {
            RECT shown{};
            for (const RECT& r : dc->vis) UnionRect(&shown, &shown, &r);
            OffsetRect(&shown, -off.x, -off.y);
            IntersectRect(&all, &all, &shown);
        }
    }
    // A mirrored DC's rectangles and dx are in its mirrored x: worked on in
    // the view's own columns and turned back for the uncovered part.
    const int mirrorWidth = dc->mirrored ? dc->mirrorWidth : 0;
    auto flip = [&](RECT r) {
        return mirrorWidth ? RECT{mirrorWidth - r.right, r.top, mirrorWidth - r.left, r.bottom} : r;
    };
    if (mirrorWidth) dx = -dx;
    RECT area = scroll ? flip(*scroll) : all;
    IntersectRect(&area, &area, &all);
    RECT within = clip ? flip(*clip) : area;
    IntersectRect(&within, &within, &all);
    RECT from;
    IntersectRect(&from, &area, &within);
    RECT to = from;
    OffsetRect(&to, dx, dy);
    IntersectRect(&to, &to, &within);
    if (!IsRectEmpty(&to)) {
        int w = to.right - to.left, h = to.bottom - to.top;
        std::vector<uint32_t> buf(size_t(w) * h);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                buf[size_t(r) * w + c] =
                    s->GetRaw(to.left - dx + c + off.x, to.top - dy + r + off.y);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                s->SetRaw(to.left + c + off.x, to.top + r + off.y, buf[size_t(r) * w + c]);
        if (dc->surfaceDc)
            Touch(&dc->dirty, to.left + off.x, to.top + off.y, to.right + off.x,
                  to.bottom + off.y);
    }
    std::vector<RECT> uncovered =
        RegionCombine(RegionFromRect(within), RegionFromRect(to), RGN_DIFF);
    for (RECT& r : uncovered) r = flip(r);
    if (update) {
        Region* r = GetRegion(update);
        if (r) r->rects = uncovered;
    }
    if (updateRect) {
        RECT b{};
        for (const RECT& r : uncovered) UnionRect(&b, &b, &r);
        *updateRect = b;
    }
    return TRUE;
}
