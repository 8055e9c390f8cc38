// Internal objects of the drawing module: the handle table, pixel surfaces,
// pens, brushes, bitmaps, regions, fonts, device contexts, and the span
// painter that every figure ends in. Not for use outside platform/gdi.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gdi/gdi.h"

// Nothing here leaves the library: calls between its files stay direct.
#pragma GCC visibility push(hidden)

namespace gdi::detail {

enum class Kind : uint8_t { None = 0, Pen, Brush, Dc, Font, Bitmap, Region, Icon };

struct Object {
    Kind kind = Kind::None;
    bool stock = false;
    int selected = 0;  // number of DCs (and saved states) holding it
    virtual ~Object() = default;
};

// Colours inside the rasteriser are pixels: 0x00RRGGBB, as a 32-bit DIB holds
// them in memory (blue byte first).
inline uint32_t ToPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ToColorRef(uint32_t p) {
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

// Frees a surface's pixels: a large picture is mapped by itself (`mapped`
// bytes), in large pages where the system gives them.
struct SurfaceBytesFree {
    size_t mapped;
    SurfaceBytesFree(size_t bytes = 0) : mapped(bytes) {}
    void operator()(uint8_t* p) const;
};

// Pixels of a bitmap in any supported layout (1, 4, 8, 24, 32 bits per pixel).
struct Surface {
    int width = 0;
    int height = 0;
    int bpp = 32;
    int stride = 0;                 // bytes per row
    bool bottomUp = false;          // DIB sections with positive height
    uint8_t* bits = nullptr;        // first row in memory
    // Owns bits. Zeroed by the allocator: a large picture's pages are not
    // touched until it is drawn on.
    std::unique_ptr<uint8_t[], SurfaceBytesFree> storage;
    size_t storageSize = 0;
    std::vector<uint32_t> palette;  // pixels, for bpp <= 8
    bool isDib = false;

    uint8_t* Row(int y) const {
        return bits + static_cast<ptrdiff_t>(bottomUp ? height - 1 - y : y) * stride;
    }
    uint32_t* Row32(int y) const { return reinterpret_cast<uint32_t*>(Row(y)); }
    // Colour of a pixel as 0x00RRGGBB.
    uint32_t Get(int x, int y) const;
    // Raw value (palette index for indexed surfaces).
    uint32_t GetRaw(int x, int y) const;
    void SetRaw(int x, int y, uint32_t v) const;
    // Writes a colour, as the nearest palette entry on indexed surfaces.
    void Set(int x, int y, uint32_t pixel) const;
    uint32_t Nearest(uint32_t pixel) const;
    uint32_t NearestSearch(uint32_t pixel) const;
    // Last colours matched to the palette (fills repeat one or two colours).
    mutable uint32_t nearKey[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    mutable uint32_t nearIndex[2] = {0, 0};
    void PaletteChanged() const { nearKey[0] = nearKey[1] = 0xFFFFFFFF; }
    void Allocate(int w, int h, int bitsPerPixel, bool bottom);
};

struct Pen : Object {
    int style = PS_SOLID;
    int width = 1;  // 0 means one pixel
    COLORREF colour = 0;
};

struct Bitmap : Object {
    Surface s;
};

struct Brush : Object {
    UINT style = BS_SOLID;
    COLORREF colour = 0;
    int hatch = 0;
    // Patterns: monochrome (bits, 1 = background) or colour pixels.
    int pw = 0, ph = 0;
    bool mono = false;
    std::vector<uint8_t> monoBits;  // pw * ph, 0 or 1
    std::vector<uint32_t> pixels;   // pw * ph
};

// Region: non-overlapping rectangles in y-x bands (rows sorted by top, then left).
struct Region : Object {
    std::vector<RECT> rects;
};

struct FontImpl;  // text.cpp
struct Font : Object {
    LOGFONT lf;
    std::shared_ptr<FontImpl> impl;  // made on first use
};

struct Icon : Object {
    ICONINFO info;  // bitmaps owned by the icon
    ~Icon() override;
};

struct DcState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    COLORREF text = 0;
    COLORREF bk = 0xFFFFFF;
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int fillMode = ALTERNATE;
    int stretchMode = BLACKONWHITE;
    UINT textAlign = TA_LEFT | TA_TOP;
    POINT brushOrg;
    POINT cur;
    POINT viewportOrg;
    bool hasClip = false;
    std::vector<RECT> clip;  // in DC (viewport) coordinates
};

struct Dc : Object {
    DcState st;
    std::vector<DcState> saved;
    bool memory = false;
    bool surfaceDc = false;  // bound to a caller's surface bitmap
    POINT surfOrigin;
    RECT surfClip;  // in surface pixels
    // Visible region of a window's view (surface pixels): what its siblings
    // and children leave of it. Application clipping stays inside it.
    bool hasVis = false;
    std::vector<RECT> vis;
    // Surface pixels written since the owner last asked (surface DCs only).
    RECT dirty{};
    // Clip rectangles in surface pixels, rebuilt when dirty.
    bool clipDirty = true;
    std::vector<RECT> effClip;
    // Mirrored layout (a right-to-left window's view): logical x runs from
    // the right edge of a view mirrorWidth pixels wide. Figures are worked
    // out as if unmirrored and flipped where pixels are written; effClip
    // then holds the clip in those unmirrored coordinates, realClip the
    // surface's own.
    bool mirrored = false;
    int mirrorWidth = 0;
    std::vector<RECT> realClip;
};

// ---- handle table ----
// Tokens: low 24 bits slot index + 1, high 8 bits the slot's generation, so a
// stale handle of a reused slot is refused.
struct Slot {
    std::unique_ptr<Object> obj;
    uint8_t gen = 1;
};
struct HandleTable {
    // Objects still alive at exit go while the table stands: an icon
    // deletes its bitmaps through it.
    ~HandleTable() {
        for (size_t i = 0; i < slots.size(); ++i) slots[i].obj.reset();
    }
    std::vector<Slot> slots;
    std::vector<uint32_t> freeList;
    int live = 0;
};
inline HandleTable& Handles() {
    static HandleTable t;
    return t;
}
uint32_t AddObject(std::unique_ptr<Object> obj);
inline Object* LookupAny(const void* handle) {
    uint32_t token = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
    uint32_t index = (token & 0xFFFFFF);
    if (index == 0) return nullptr;
    --index;
    HandleTable& t = Handles();
    if (index >= t.slots.size()) return nullptr;
    Slot& s = t.slots[index];
    if (!s.obj || s.gen != (token >> 24)) return nullptr;
    return s.obj.get();
}
inline Object* Lookup(const void* handle, Kind kind) {
    Object* o = LookupAny(handle);
    return (o && o->kind == kind) ? o : nullptr;
}
template <class T, Kind K>
T* Get(const void* h) {
    return static_cast<T*>(Lookup(h, K));
}
inline Pen* GetPen(const void* h) {
    return Get<Pen, Kind::Pen>(h);
}
inline Brush* GetBrush(const void* h) {
    return Get<Brush, Kind::Brush>(h);
}
inline Bitmap* GetBitmap(const void* h) {
    return Get<Bitmap, Kind::Bitmap>(h);
}
inline Region* GetRegion(const void* h) {
    return Get<Region, Kind::Region>(h);
}
inline Font* GetFont(const void* h) {
    return Get<Font, Kind::Font>(h);
}
inline Dc* GetDc(const void* h) {
    return Get<Dc, Kind::Dc>(h);
}
inline uint32_t HandleToken(const void* h) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}
template <class H>
H Handle(uint32_t token) {
    return reinterpret_cast<H>(static_cast<uintptr_t>(token));
}

// Surface and effective clip of a DC (clip in surface pixels, never empty of
// meaning: an empty list draws nothing).
Surface* DcSurface(Dc* dc);
const std::vector<RECT>& DcClip(Dc* dc);
// Logical to surface offset of a DC.
inline POINT DcOffset(const Dc* dc) {
    return {dc->st.viewportOrg.x + dc->surfOrigin.x, dc->st.viewportOrg.y + dc->surfOrigin.y};
}
// Surface column that the unmirrored column x of a mirrored DC lands on
// (x itself when the DC is not mirrored); a span [x0, x1) lands on
// [MirrorAxis - x1 + 1, MirrorAxis - x0 + 1).
inline int MirrorAxis(const Dc* dc) {
    return 2 * dc->surfOrigin.x + dc->mirrorWidth - 1;
}
std::vector<RECT> MirrorRects(const std::vector<RECT>& rects, int axis);
// A logical rectangle of a DC in the surface's own pixels (offset, and
// flipped when the DC is mirrored).
inline RECT SurfaceRect(const Dc* dc, const RECT& r) {
    const POINT off = DcOffset(dc);
    RECT s{r.left + off.x, r.top + off.y, r.right + off.x, r.bottom + off.y};
    if (dc->mirrored) {
        const int a = MirrorAxis(dc);
        s = RECT{a + 1 - s.right, s.top, a + 1 - s.left, s.bottom};
    }
    return s;
}
// The clip in the surface's own pixels (differs from DcClip only when mirrored).
const std::vector<RECT>& DcRealClip(Dc* dc);
bool InClip(const std::vector<RECT>& clip, int x, int y);

// ---- region helpers (region.cpp) ----
std::vector<RECT> RegionCombine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode);
std::vector<RECT> RegionFromRect(const RECT& r);

// ---- painting (raster.cpp) ----
// What a span is filled with and how it is combined with the surface.
struct Paint {
    bool pattern = false;
    uint32_t colour = 0;  // solid colour pixel
    int rop2 = R2_COPYPEN;
    // Pattern: pw x ph pixels, with per-pixel "draw" mask (hatch background
    // in transparent mode is not drawn), anchored at the brush origin.
    int pw = 0, ph = 0;
    std::vector<uint32_t> px;
    std::vector<uint8_t> on;
    int orgX = 0, orgY = 0;
    // Pattern rows in the pixel values of one 8- or 24-bit target, each
    // repeated over a whole number of periods plus one, made as spans first
    // need them (the quick route of copied pattern spans, raster.cpp);
    // BrushPaint forgets them.
    mutable const Surface* linesFor = nullptr;
    mutable int linePixels = 0;              // a multiple of pw
    mutable std::vector<uint8_t> lineState;  // per row: 0 not made, 1 made, 2 not fully drawn
    mutable std::vector<uint8_t> lines;      // ph rows of (linePixels + pw) pixels
};
// Paint of a brush in a DC (text and background colours, background mode and
// brush origin taken from the DC). False for a null brush.
bool BrushPaint(Dc* dc, const Brush* b, Paint* out, int rop2);
void SolidPaint(uint32_t pixel, int rop2, Paint* out);

// Whether figures may take their quick routes (gdi::SetQuickDrawing).
inline bool& QuickDrawingOn() {
    static bool on = true;
    return on;
}

struct Target {
    Surface* s = nullptr;
    const std::vector<RECT>* clip = nullptr;
    RECT bounds{};          // union box of the clip
    RECT* dirty = nullptr;  // grows with what is written, when tracked
    bool mirrored = false;  // columns flip about axis where pixels are written
    int axis = 0;
};
// Records that surface pixels in [x0, x1) x [y0, y1) may have changed.
inline void Touch(RECT* dirty, int x0, int y0, int x1, int y1) {
    if (!dirty || x0 >= x1 || y0 >= y1) return;
    if (dirty->left >= dirty->right) {
        *dirty = RECT{x0, y0, x1, y1};
        return;
    }
    if (x0 < dirty->left) dirty->left = x0;
    if (y0 < dirty->top) dirty->top = y0;
    if (x1 > dirty->right) dirty->right = x1;
    if (y1 > dirty->bottom) dirty->bottom = y1;
}
// A target whose spans can be written straight into its rows: one clipping
// rectangle (its bounds), unmirrored, a 32-bit surface, quick routes on.
inline bool Direct(const Target& t) {
    return QuickDrawingOn() && t.clip->size() == 1 && !t.mirrored && t.s->bpp == 32;
}
// One pixel of a solid colour on a 32-bit surface, combined as the span
// painter combines it.
inline void Solid32(uint32_t* d, uint32_t c, int rop2);
bool MakeTarget(Dc* dc, Target* t);
// A target in the surface's own pixels, also for a mirrored DC (text and
// images, which are placed mirrored but not flipped).
bool MakeRealTarget(Dc* dc, Target* t);
// Fills [x0, x1) of row y (surface pixels), clipped.
void FillSpan(const Target& t, const Paint& p, int y, int x0, int x1);
void FillRectS(const Target& t, const Paint& p, RECT r);
void PlotPixel(const Target& t, const Paint& p, int x, int y);
// The pen (p) and destination (d) pixels combined by a binary raster
// operation (R2_*).
inline uint32_t Rop2(int mode, uint32_t p, uint32_t d) {
    uint32_t r;
    switch (mode) {
        case R2_BLACK:
            r = 0;
            break;
        case R2_NOTMERGEPEN:
            r = ~(d | p);
            break;
        case R2_MASKNOTPEN:
            r = d & ~p;
            break;
        case R2_NOTCOPYPEN:
            r = ~p;
            break;
        case R2_MASKPENNOT:
            r = p & ~d;
            break;
        case R2_NOT:
            r = ~d;
            break;
        case R2_XORPEN:
            r = d ^ p;
            break;
        case R2_NOTMASKPEN:
            r = ~(d & p);
            break;
        case R2_MASKPEN:
            r = d & p;
            break;
        case R2_NOTXORPEN:
            r = ~(d ^ p);
            break;
        case R2_NOP:
            r = d;
            break;
        case R2_MERGENOTPEN:
            r = d | ~p;
            break;
        case R2_MERGEPENNOT:
            r = p | ~d;
            break;
        case R2_MERGEPEN:
            r = d | p;
            break;
        case R2_WHITE:
            r = 0xFFFFFF;
            break;
        default:
            r = p;
            break;
    }
    return r & 0xFFFFFF;
}
inline void Solid32(uint32_t* d, uint32_t c, int rop2) {
    switch (rop2) {
        case R2_COPYPEN:
            *d = c;
            return;
        case R2_XORPEN:
            *d ^= c;
            return;
        case R2_NOT:
            *d = ~*d & 0xFFFFFF;
            return;
        case R2_NOP:
            return;
        default:
            *d = Rop2(rop2, c, *d);
            return;
    }
}

// Span collector: figures with overlapping parts (wide strokes, rings) gather
// their spans per row first, so that every pixel is painted once.
struct SpanSet {
    int top = 0;
    int count = 0;  // rows in use; the rest keep their storage for the next figure
    std::vector<std::vector<std::pair<int, int>>> rows;
    void Reset(int top, int bottom);
    void Add(int y, int x0, int x1);
    void Paint(const Target& t, const gdi::detail::Paint& p);
};

// Polygon scan conversion into spans: pixel (x, y) is inside when the point
// (x, y) is, with left and top edges in and right and bottom edges out.
// points are surface pixels (64-bit to allow saturated input).
struct IPoint {
    int64_t x, y;
};
void FillPolygon(const Target& t, const Paint& p, const IPoint* pts, const int* counts, int polys,
                 bool winding);

}  // namespace gdi::detail

#pragma GCC visibility pop
