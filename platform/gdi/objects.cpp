// Handle table, surfaces, pens, brushes, bitmaps and device context state.
#include <algorithm>
#include <cstring>
#include <new>

#include <sys/mman.h>

#include "platform/gdi/gdi_internal.h"
#include "platform/sys/device.h"

namespace gdi::detail {

namespace {

// Stock objects by number; the last slot is the memory DCs' default bitmap.
constexpr int kDefaultBitmap = 18;
uint32_t stockTokens[19] = {};

ScreenMetrics& metrics() {
    static ScreenMetrics m;
    return m;
}

}  // namespace

uint32_t AddObject(std::unique_ptr<Object> obj) {
    HandleTable& t = Handles();
    uint32_t index;
    if (!t.freeList.empty()) {
        index = t.freeList.back();
        t.freeList.pop_back();
    } else {
        if (t.slots.size() >= 0xFFFFFE) return 0;
        index = static_cast<uint32_t>(t.slots.size());
        t.slots.emplace_back();
    }
    t.slots[index].obj = std::move(obj);
    ++t.live;
    return (uint32_t(t.slots[index].gen) << 24) | (index + 1);
}

static void RemoveObject(const void* handle) {
    uint32_t token = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
    uint32_t index = (token & 0xFFFFFF) - 1;
    HandleTable& t = Handles();
    Slot& s = t.slots[index];
    s.obj.reset();
    s.gen = static_cast<uint8_t>(s.gen == 255 ? 1 : s.gen + 1);
    t.freeList.push_back(index);
    --t.live;
}

// ---- surfaces ----

void SurfaceBytesFree::operator()(uint8_t* p) const {
    if (mapped)
        munmap(p, mapped);
    else
        std::free(p);
}

void Surface::Allocate(int w, int h, int bitsPerPixel, bool bottom) {
    width = w;
    height = h;
    bpp = bitsPerPixel;
    stride = DibStride(bpp, w);
    bottomUp = bottom;
    storageSize = static_cast<size_t>(stride) * h;
    storage.reset();
    // Pictures of 8 MiB and more: a fresh mapping in 2 MiB pages takes a few
    // hundred page faults where small pages take thousands.
    constexpr size_t kLarge = size_t(8) << 20;
    if (storageSize >= kLarge) {
        void* p = mmap(nullptr, storageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0);
        if (p != MAP_FAILED) {
            madvise(p, storageSize, MADV_HUGEPAGE);
            storage = std::unique_ptr<uint8_t[], SurfaceBytesFree>(static_cast<uint8_t*>(p),
                                                                   SurfaceBytesFree(storageSize));
        }
    }
    if (!storage)
        storage = std::unique_ptr<uint8_t[], SurfaceBytesFree>(
            static_cast<uint8_t*>(std::calloc(storageSize ? storageSize : 1, 1)), SurfaceBytesFree(0));
    if (!storage) throw std::bad_alloc();
    bits = storage.get();
}

uint32_t Surface::GetRaw(int x, int y) const {
    const uint8_t* row = Row(y);
    switch (bpp) {
        case 32:
            return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
        case 24:
            return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
        case 8:
            return row[x];
        case 4:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return 0;
}

void Surface::SetRaw(int x, int y, uint32_t v) const {
    uint8_t* row = Row(y);
    switch (bpp) {
        case 32:
            reinterpret_cast<uint32_t*>(row)[x] = v & 0xFFFFFF;
            break;
        case 24:
            row[3 * x] = v & 0xFF;
            row[3 * x + 1] = (v >> 8) & 0xFF;
            row[3 * x + 2] = (v >> 16) & 0xFF;
            break;
        case 8:
            row[x] = static_cast<uint8_t>(v);
            break;
        case 4: {
            int sh = (x & 1) ? 0 : 4;
            row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0xF << sh)) | ((v & 0xF) << sh));
            break;
        }
        case 1: {
            int sh = 7 - (x & 7);
            row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1 << sh)) | ((v & 1) << sh));
            break;
        }
    }
}

uint32_t Surface::Get(int x, int y) const {
    uint32_t raw = GetRaw(x, y);
    if (bpp > 8) return raw;
    return raw < palette.size() ? palette[raw] : 0;
}

uint32_t Surface::Nearest(uint32_t pixel) const {
    if (bpp > 8) return pixel & 0xFFFFFF;
    pixel &= 0xFFFFFF;
    if (nearKey[0] == pixel) return nearIndex[0];
    if (nearKey[1] == pixel) return nearIndex[1];
    uint32_t index = NearestSearch(pixel);
    nearKey[1] = nearKey[0];
    nearIndex[1] = nearIndex[0];
    nearKey[0] = pixel;
    nearIndex[0] = index;
    return index;
}

uint32_t Surface::NearestSearch(uint32_t pixel) const {
    uint32_t best = 0;
    int bestD = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i) {
        uint32_t q = palette[i];
        int dr = int((q >> 16) & 0xFF) - int((pixel >> 16) & 0xFF);
        int dg = int((q >> 8) & 0xFF) - int((pixel >> 8) & 0xFF);
        int db = int(q & 0xFF) - int(pixel & 0xFF);
        int d = dr * dr + dg * dg + db * db;
        if (d < bestD) {
            bestD = d;
            best = static_cast<uint32_t>(i);
            if (d == 0) break;
        }
    }
    return best;
}

void Surface::Set(int x, int y, uint32_t pixel) const {
    SetRaw(x, y, Nearest(pixel));
}

// ---- device contexts ----

Surface* DcSurface(Dc* dc) {
    Bitmap* b = GetBitmap(dc->st.bitmap);
    return b ? &b->s : nullptr;
}

static RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) r = RECT{0, 0, 0, 0};
    return r;
}

const std::vector<RECT>& DcClip(Dc* dc) {
    if (!dc->clipDirty) return dc->effClip;
    dc->clipDirty = false;
    dc->effClip.clear();
    dc->realClip.clear();
    Surface* s = DcSurface(dc);
    if (!s) return dc->effClip;
    RECT box{0, 0, s->width, s->height};
    if (dc->surfaceDc) box = Intersect(box, dc->surfClip);
    if (box.right <= box.left) return dc->effClip;
    if (!dc->mirrored) {
        if (!dc->st.hasClip) {
            dc->effClip.push_back(box);
        } else {
            for (const RECT& r : dc->st.clip) {
                RECT q{r.left + dc->surfOrigin.x, r.top + dc->surfOrigin.y,
                       r.right + dc->surfOrigin.x, r.bottom + dc->surfOrigin.y};
                q = Intersect(q, box);
                if (q.right > q.left) dc->effClip.push_back(q);
            }
        }
        if (dc->hasVis) dc->effClip = RegionCombine(dc->effClip, dc->vis, RGN_AND);
        return dc->effClip;
    }
    // Mirrored: what the surface allows, flipped into the unmirrored
    // coordinates the figures are worked out in, then the application's clip.
    std::vector<RECT> base{box};
    if (dc->hasVis) base = RegionCombine(base, dc->vis, RGN_AND);
    std::vector<RECT> flipped = MirrorRects(base, MirrorAxis(dc));
    if (dc->st.hasClip) {
        std::vector<RECT> app;
        for (const RECT& r : dc->st.clip)
            app.push_back(RECT{r.left + dc->surfOrigin.x, r.top + dc->surfOrigin.y,
                               r.right + dc->surfOrigin.x, r.bottom + dc->surfOrigin.y});
        flipped = RegionCombine(flipped, app, RGN_AND);
    }
    dc->effClip = flipped;
    dc->realClip = MirrorRects(flipped, MirrorAxis(dc));
    return dc->effClip;
}

const std::vector<RECT>& DcRealClip(Dc* dc) {
    const std::vector<RECT>& c = DcClip(dc);
    return dc->mirrored ? dc->realClip : c;
}

std::vector<RECT> MirrorRects(const std::vector<RECT>& rects, int axis) {
    std::vector<RECT> out;
    out.reserve(rects.size());
    for (const RECT& r : rects)
        out.push_back(RECT{axis + 1 - r.right, r.top, axis + 1 - r.left, r.bottom});
    // Back into bands: combining with nothing sorts and merges.
    return RegionCombine(out, {}, RGN_OR);
}

bool InClip(const std::vector<RECT>& clip, int x, int y) {
    for (const RECT& r : clip) {
        if (r.top > y) break;
        if (y < r.bottom && x >= r.left && x < r.right) return true;
    }
    return false;
}

}  // namespace gdi::detail

using namespace gdi::detail;

namespace {

template <class T>
T* NewObject(Kind k, uint32_t* token) {
    auto obj = std::make_unique<T>();
    obj->kind = k;
    T* raw = obj.get();
    *token = AddObject(std::move(obj));
    return *token ? raw : nullptr;
}

uint32_t MakePen(int style, int width, COLORREF colour) {
    uint32_t tok;
    Pen* p = NewObject<Pen>(Kind::Pen, &tok);
    if (!p) return 0;
    // An unknown style draws solid.
    if (style < PS_SOLID || style > PS_INSIDEFRAME) style = PS_SOLID;
    p->style = style;
    p->width = width < 1 ? 1 : width;
    p->colour = colour;
    return tok;
}

uint32_t MakeSolidBrush(COLORREF colour, UINT style = BS_SOLID) {
    uint32_t tok;
    Brush* b = NewObject<Brush>(Kind::Brush, &tok);
    if (!b) return 0;
    b->style = style;
    b->colour = colour;
    return tok;
}

// The stock faces keep their size on the screen: 12 pixels at 96 dots per
// inch, 24 at 192.
LONG StockFontHeight() {
    return -std::max(1, (12 * metrics().logPixelsY + 48) / 96);
}

void DefaultFont(LOGFONT* lf) {
    *lf = LOGFONT{};
    lf->lfHeight = StockFontHeight();
    lf->lfWeight = FW_NORMAL;
    const char* face = "Tahoma";
    for (int i = 0; face[i]; ++i) lf->lfFaceName[i] = static_cast<WChar>(face[i]);
}

int& stockFontsDpi() {
    static int dpi = 0;
    return dpi;
}

uint32_t& StockToken(int index) {
    return gdi::detail::stockTokens[index];
}

void EnsureStock() {
    if (StockToken(WHITE_BRUSH)) return;
    auto stock = [](uint32_t tok) {
        LookupAny(Handle<void*>(tok))->stock = true;
        return tok;
    };
    StockToken(WHITE_BRUSH) = stock(MakeSolidBrush(0xFFFFFF));
    StockToken(LTGRAY_BRUSH) = stock(MakeSolidBrush(0xC0C0C0));
    StockToken(GRAY_BRUSH) = stock(MakeSolidBrush(0x808080));
    StockToken(DKGRAY_BRUSH) = stock(MakeSolidBrush(0x404040));
    StockToken(BLACK_BRUSH) = stock(MakeSolidBrush(0x000000));
    StockToken(NULL_BRUSH) = stock(MakeSolidBrush(0, BS_NULL));
    StockToken(WHITE_PEN) = stock(MakePen(PS_SOLID, 1, 0xFFFFFF));
    StockToken(BLACK_PEN) = stock(MakePen(PS_SOLID, 1, 0));
    StockToken(NULL_PEN) = stock(MakePen(PS_NULL, 1, 0));
    LOGFONT lf;
    DefaultFont(&lf);
    auto font = [&] { return stock(gdi::detail::HandleToken(CreateFontIndirect(&lf))); };
    StockToken(SYSTEM_FONT) = font();
    StockToken(DEFAULT_GUI_FONT) = font();
    StockToken(12) = font();  // variable-pitch font
    StockToken(14) = font();  // device default font
    const char* fixedFace = "Courier New";
    std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), WChar(0));
    for (int i = 0; fixedFace[i]; ++i) lf.lfFaceName[i] = static_cast<WChar>(fixedFace[i]);
    for (int fixed : {10, 11, 16}) StockToken(fixed) = font();
    stockFontsDpi() = metrics().logPixelsY;
    // The default bitmap of memory DCs: 1 x 1 monochrome.
    HBITMAP mono = CreateBitmap(1, 1, 1, 1, nullptr);
    StockToken(kDefaultBitmap) = stock(gdi::detail::HandleToken(mono));
}

// A new screen resolution resizes the stock fonts made before it.
void ScaleStockFonts() {
    if (!StockToken(WHITE_BRUSH) || stockFontsDpi() == metrics().logPixelsY) return;
    stockFontsDpi() = metrics().logPixelsY;
    const LONG height = StockFontHeight();
    for (int index : {SYSTEM_FONT, DEFAULT_GUI_FONT, 12, 14, 10, 11, 16}) {
        if (auto* f = static_cast<Font*>(Lookup(Handle<void*>(StockToken(index)), Kind::Font))) {
            f->lf.lfHeight = height;
            f->impl.reset();
        }
    }
}

Dc* DcOf(HDC h) {
    return GetDc(h);
}

void Select(Object* o) {
    if (o) ++o->selected;
}
void Unselect(const void* h) {
    Object* o = LookupAny(h);
    if (o && o->selected > 0) --o->selected;
}
void SelectState(const DcState& st) {
    Select(LookupAny(st.pen));
    Select(LookupAny(st.brush));
    Select(LookupAny(st.font));
    Select(LookupAny(st.bitmap));
}
void UnselectState(const DcState& st) {
    Unselect(st.pen);
    Unselect(st.brush);
    Unselect(st.font);
    Unselect(st.bitmap);
}

HDC NewDc(bool memory) {
    EnsureStock();
    uint32_t tok;
    Dc* dc = NewObject<Dc>(Kind::Dc, &tok);
    if (!dc) return nullptr;
    dc->memory = memory;
    dc->st.pen = Handle<HPEN>(StockToken(BLACK_PEN));
    dc->st.brush = Handle<HBRUSH>(StockToken(WHITE_BRUSH));
    dc->st.font = Handle<HFONT>(StockToken(SYSTEM_FONT));
    dc->st.bitmap = Handle<HBITMAP>(StockToken(kDefaultBitmap));
    SelectState(dc->st);
    return Handle<HDC>(tok);
}

}  // namespace

// ---- public interface ----

HDC CreateCompatibleDC(HDC) {
    return NewDc(true);
}

BOOL DeleteDC(HDC hdc) {
    Dc* dc = DcOf(hdc);
    if (!dc) return FALSE;
    UnselectState(dc->st);
    for (const DcState& s : dc->saved) UnselectState(s);
    RemoveObject(hdc);
    return TRUE;
}

int SaveDC(HDC hdc) {
    Dc* dc = DcOf(hdc);
    if (!dc) return 0;
    dc->saved.push_back(dc->st);
    SelectState(dc->st);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedDc) {
    Dc* dc = DcOf(hdc);
    if (!dc) return FALSE;
    int n = static_cast<int>(dc->saved.size());
    int level = savedDc < 0 ? n + 1 + savedDc : savedDc;
    if (level < 1 || level > n) return FALSE;
    DcState st = dc->saved[level - 1];
    // A surface DC keeps its surface.
    if (dc->surfaceDc) st.bitmap = dc->st.bitmap;
    UnselectState(dc->st);
    for (int i = level - 1; i < n; ++i) UnselectState(dc->saved[i]);
    dc->saved.resize(level - 1);
    dc->st = st;
    SelectState(dc->st);
    dc->clipDirty = true;
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    Dc* dc = DcOf(hdc);
    Object* o = LookupAny(obj);
    if (!dc || !o) return nullptr;
    void** slot = nullptr;
    switch (o->kind) {
        case Kind::Pen:
            slot = reinterpret_cast<void**>(&dc->st.pen);
            break;
        case Kind::Brush:
            slot = reinterpret_cast<void**>(&dc->st.brush);
            break;
        case Kind::Font:
            slot = reinterpret_cast<void**>(&dc->st.font);
            break;
        case Kind::Bitmap: {
            if (!dc->memory || dc->surfaceDc) return nullptr;
            // A bitmap lives in one memory DC at a time; the stock 1 x 1
            // bitmap every memory DC starts with is shared by all of them.
            if (o->selected > 0 && !o->stock && HandleToken(obj) != HandleToken(dc->st.bitmap))
                return nullptr;
            slot = reinterpret_cast<void**>(&dc->st.bitmap);
            dc->clipDirty = true;
            // The clip region is dropped with a new bitmap.
            dc->st.hasClip = false;
            dc->st.clip.clear();
            break;
        }
        case Kind::Region: {
            int r = SelectClipRgn(hdc, reinterpret_cast<HRGN>(obj));
            return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(r));
        }
        default:
            return nullptr;
    }
    void* prev = *slot;
    // The pen, brush or font already there: nothing changes (a bitmap is
    // taken again above, which drops the clip region).
    if (prev == reinterpret_cast<void*>(obj) && o->kind != Kind::Bitmap)
        return reinterpret_cast<HGDIOBJ>(prev);
    Unselect(prev);
    *slot = reinterpret_cast<void*>(obj);
    Select(o);
    return reinterpret_cast<HGDIOBJ>(prev);
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    Dc* dc = DcOf(hdc);
    if (!dc) return nullptr;
    switch (type) {
        case OBJ_PEN:
            return reinterpret_cast<HGDIOBJ>(dc->st.pen);
        case OBJ_BRUSH:
            return reinterpret_cast<HGDIOBJ>(dc->st.brush);
        case OBJ_FONT:
            return reinterpret_cast<HGDIOBJ>(dc->st.font);
        case OBJ_BITMAP:
            return reinterpret_cast<HGDIOBJ>(dc->st.bitmap);
    }
    return nullptr;
}

HGDIOBJ GetStockObject(int index) {
    EnsureStock();
    if (index < 0 || index > DEFAULT_GUI_FONT) return nullptr;
    return Handle<HGDIOBJ>(StockToken(index));
}

BOOL DeleteObject(AnyGdiObject obj) {
    Object* o = LookupAny(obj);
    if (!o || o->kind == Kind::Dc) return FALSE;
    if (o->stock) return TRUE;
    if (o->selected > 0) return FALSE;
    RemoveObject(obj);
    return TRUE;
}

DWORD GetObjectType(AnyGdiObject obj) {
    Object* o = LookupAny(obj);
    if (!o) return 0;
    switch (o->kind) {
        case Kind::Pen:
            return OBJ_PEN;
        case Kind::Brush:
            return OBJ_BRUSH;
        case Kind::Font:
            return OBJ_FONT;
        case Kind::Bitmap:
            return OBJ_BITMAP;
        case Kind::Region:
            return OBJ_REGION;
        case Kind::Dc:
            return static_cast<Dc*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
        default:
            return 0;
    }
}

int GetObject(AnyGdiObject obj, int size, void* out) {
    Object* o = LookupAny(obj);
    if (!o) return 0;
    switch (o->kind) {
        case Kind::Pen: {
            auto* p = static_cast<Pen*>(o);
            LOGPEN lp;
            lp.lopnStyle = p->style;
            lp.lopnWidth = {p->width, 0};
            lp.lopnColor = p->colour;
            if (!out) return sizeof lp;
            if (size < int(sizeof lp)) return 0;
            std::memcpy(out, &lp, sizeof lp);
            return sizeof lp;
        }
        case Kind::Brush: {
            auto* b = static_cast<Brush*>(o);
            LOGBRUSH lb;
            lb.lbStyle = b->style;
            lb.lbColor = b->colour;
            lb.lbHatch = b->style == BS_HATCHED ? b->hatch : 0;
            if (!out) return sizeof lb;
            if (size < int(sizeof lb)) return 0;
            std::memcpy(out, &lb, sizeof lb);
            return sizeof lb;
        }
        case Kind::Font: {
            auto* f = static_cast<Font*>(o);
            if (!out) return sizeof(LOGFONT);
            if (size < int(sizeof(LOGFONT))) return 0;
            std::memcpy(out, &f->lf, sizeof(LOGFONT));
            return sizeof(LOGFONT);
        }
        case Kind::Bitmap: {
            auto* b = static_cast<Bitmap*>(o);
            DIBSECTION ds;
            ds.dsBm.bmWidth = b->s.width;
            ds.dsBm.bmHeight = b->s.height;
            ds.dsBm.bmWidthBytes = b->s.stride;
            ds.dsBm.bmBitsPixel = static_cast<WORD>(b->s.bpp);
            ds.dsBm.bmBits = b->s.isDib ? b->s.bits : nullptr;
            ds.dsBmih.biWidth = b->s.width;
            ds.dsBmih.biHeight = b->s.bottomUp ? b->s.height : -b->s.height;
            ds.dsBmih.biBitCount = static_cast<WORD>(b->s.bpp);
            ds.dsBmih.biSizeImage = static_cast<DWORD>(b->s.stride) * b->s.height;
            ds.dsBmih.biClrUsed = static_cast<DWORD>(b->s.palette.size());
            if (!out) return sizeof(BITMAP);
            if (b->s.isDib && size >= int(sizeof ds)) {
                std::memcpy(out, &ds, sizeof ds);
                return sizeof ds;
            }
            if (size < int(sizeof(BITMAP))) return 0;
            std::memcpy(out, &ds.dsBm, sizeof(BITMAP));
            return sizeof(BITMAP);
        }
        default:
            return 0;
    }
}

COLORREF SetTextColor(HDC hdc, COLORREF v) {
    Dc* dc = DcOf(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF prev = dc->st.text;
    dc->st.text = v;
    return prev;
}
COLORREF GetTextColor(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc ? dc->st.text : CLR_INVALID;
}
COLORREF SetBkColor(HDC hdc, COLORREF v) {
    Dc* dc = DcOf(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF prev = dc->st.bk;
    dc->st.bk = v;
    return prev;
}
COLORREF GetBkColor(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc ? dc->st.bk : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
    Dc* dc = DcOf(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int prev = dc->st.bkMode;
    dc->st.bkMode = mode;
    return prev;
}
int GetBkMode(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc ? dc->st.bkMode : 0;
}
int SetROP2(HDC hdc, int mode) {
    Dc* dc = DcOf(hdc);
    if (!dc || mode < R2_BLACK || mode > R2_WHITE) return 0;
    int prev = dc->st.rop2;
    dc->st.rop2 = mode;
    return prev;
}
int GetROP2(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc ? dc->st.rop2 : 0;
}
int SetPolyFillMode(HDC hdc, int mode) {
    Dc* dc = DcOf(hdc);
    if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
    int prev = dc->st.fillMode;
    dc->st.fillMode = mode;
    return prev;
}
int GetPolyFillMode(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc ? dc->st.fillMode : 0;
}
UINT SetTextAlign(HDC hdc, UINT align) {
    Dc* dc = DcOf(hdc);
    if (!dc) return 0xFFFFFFFF;
    UINT prev = dc->st.textAlign;
    dc->st.textAlign = align;
    return prev;
}
UINT GetTextAlign(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc ? dc->st.textAlign : 0xFFFFFFFF;
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous) {
    Dc* dc = DcOf(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->st.brushOrg;
    dc->st.brushOrg = {x, y};
    return TRUE;
}
BOOL GetBrushOrgEx(HDC hdc, POINT* out) {
    Dc* dc = DcOf(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.brushOrg;
    return TRUE;
}
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) {
    Dc* dc = DcOf(hdc);
    if (!dc) return FALSE;
    if (previous) *previous = dc->st.viewportOrg;
    dc->st.viewportOrg = {x, y};
    return TRUE;
}
BOOL GetViewportOrgEx(HDC hdc, POINT* out) {
    Dc* dc = DcOf(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.viewportOrg;
    return TRUE;
}

// Every DC, memory DCs included, reports the display's capabilities.
int GetDeviceCaps(HDC, int index) {
    const gdi::ScreenMetrics& m = metrics();
    switch (index) {
        case HORZRES:
            return sys::GetScreenWidth();
        case VERTRES:
            return sys::GetScreenHeight();
        case BITSPIXEL:
            return m.bitsPerPixel;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case RASTERCAPS:
            // Block transfers of any size, stretched or not; a display of 8
            // bits or fewer works through a palette. No banding, scaling or
            // device-independent bitmap transfers.
            return RC_BITBLT | RC_BITMAP64 | RC_STRETCHBLT | (m.bitsPerPixel <= 8 ? RC_PALETTE : 0);
        case HORZSIZE:
            return m.logPixelsX > 0 ? (sys::GetScreenWidth() * 254 + m.logPixelsX * 5) / (m.logPixelsX * 10) : 0;
        case VERTSIZE:
            return m.logPixelsY > 0 ? (sys::GetScreenHeight() * 254 + m.logPixelsY * 5) / (m.logPixelsY * 10) : 0;
        case ASPECTX:
        case ASPECTY:
            return 36;  // square pixels
        case ASPECTXY:
            return 51;  // the diagonal of a 36 by 36 pixel
        case SIZEPALETTE:
            return m.bitsPerPixel <= 8 ? 1 << m.bitsPerPixel : 0;
        case NUMRESERVED:
            return m.bitsPerPixel <= 8 ? 20 : 0;
        case NUMBRUSHES:
        case NUMPENS:
            return m.bitsPerPixel <= 8 ? 1 << m.bitsPerPixel : -1;  // more than a table could list
        case NUMFONTS:
            return 0;  // no device fonts: all are drawn by the program
        case COLORRES:
            return m.bitsPerPixel <= 8 ? m.bitsPerPixel : 0;
        case LOGPIXELSX:
            return m.logPixelsX;
        case LOGPIXELSY:
            return m.logPixelsY;
    }
    return 0;
}

// ---- pens and brushes ----

HPEN CreatePen(int style, int width, COLORREF colour) {
    return Handle<HPEN>(MakePen(style, width, colour));
}
HPEN CreatePenIndirect(const LOGPEN* pen) {
    if (!pen) return nullptr;
    return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}
HBRUSH CreateSolidBrush(COLORREF colour) {
    return Handle<HBRUSH>(MakeSolidBrush(colour));
}

HBRUSH CreateHatchBrush(int style, COLORREF colour) {
    if (style < HS_HORIZONTAL || style > HS_DIAGCROSS) return nullptr;
    uint32_t tok;
    Brush* b = NewObject<Brush>(Kind::Brush, &tok);
    if (!b) return nullptr;
    b->style = BS_HATCHED;
    b->colour = colour;
    b->hatch = style;
    return Handle<HBRUSH>(tok);
}

// Pattern from a bitmap's pixels (copied: the brush stays valid when the
// bitmap is deleted).
static HBRUSH PatternFromSurface(const Surface& s, UINT style) {
    if (s.width <= 0 || s.height <= 0) return nullptr;
    uint32_t tok;
    Brush* b = NewObject<Brush>(Kind::Brush, &tok);
    if (!b) return nullptr;
    b->style = style;
    b->pw = s.width;
    b->ph = s.height;
    b->mono = s.bpp == 1 && style == BS_PATTERN;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            if (b->mono)
                b->monoBits.push_back(static_cast<uint8_t>(s.GetRaw(x, y)));
            else
                b->pixels.push_back(s.Get(x, y));
        }
    return Handle<HBRUSH>(tok);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    Bitmap* b = GetBitmap(bitmap);
    return b ? PatternFromSurface(b->s, BS_PATTERN) : nullptr;
}

HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT) {
    if (!packedDib) return nullptr;
    const auto* info = static_cast<const BITMAPINFO*>(packedDib);
    const BITMAPINFOHEADER& h = info->bmiHeader;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bm) return nullptr;
    int colours = h.biBitCount <= 8 ? (h.biClrUsed ? int(h.biClrUsed) : 1 << h.biBitCount) : 0;
    const uint8_t* src = reinterpret_cast<const uint8_t*>(packedDib) + h.biSize + 4 * colours;
    Bitmap* b = GetBitmap(bm);
    std::memcpy(b->s.bits, src, b->s.storageSize);
    HBRUSH br = PatternFromSurface(b->s, BS_DIBPATTERNPT);
    DeleteObject(bm);
    return br;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    switch (lb->lbStyle) {
        case BS_SOLID:
            return CreateSolidBrush(lb->lbColor);
        case BS_NULL:
            return reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        case BS_HATCHED:
            return CreateHatchBrush(static_cast<int>(lb->lbHatch), lb->lbColor);
        case BS_PATTERN:
            return CreatePatternBrush(Handle<HBITMAP>(uint32_t(lb->lbHatch)));
        case BS_DIBPATTERNPT:
            return CreateDIBPatternBrushPt(reinterpret_cast<const void*>(lb->lbHatch),
                                           DIB_RGB_COLORS);
    }
    return nullptr;
}

// ---- bitmaps ----

static HBITMAP NewBitmap(int w, int h, int bpp, bool bottomUp, bool dib, Bitmap** out) {
    if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return nullptr;
    if (int64_t(DibStride(bpp, w)) * h > (int64_t(1) << 30)) return nullptr;
    uint32_t tok;
    Bitmap* b = NewObject<Bitmap>(Kind::Bitmap, &tok);
    if (!b) return nullptr;
    b->s.Allocate(w, h, bpp, bottomUp);
    b->s.isDib = dib;
    if (out) *out = b;
    return Handle<HBITMAP>(tok);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
    if (planes != 1) return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
    Bitmap* b = nullptr;
    HBITMAP h = NewBitmap(width, height, static_cast<int>(bpp), false, false, &b);
    if (!h) return nullptr;
    if (bpp == 1) b->s.palette = {0x000000, 0xFFFFFF};
    if (bpp == 4 || bpp == 8) {
        // The standard 16-colour table.
        static const uint32_t vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                         0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                         0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        b->s.palette.assign(vga, vga + 16);
        if (bpp == 8) b->s.palette.resize(256, 0);
    }
    if (bits) {
        // Device-dependent bitmaps take rows padded to 16 bits.
        int srcStride = ((width * static_cast<int>(bpp) + 15) / 16) * 2;
        int copy = std::min(srcStride, b->s.stride);
        const auto* src = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y) std::memcpy(b->s.Row(y), src + y * srcStride, copy);
    }
    return h;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    Dc* dc = DcOf(hdc);
    if (!dc) return nullptr;
    Surface* s = DcSurface(dc);
    // A memory DC still holding its default bitmap makes monochrome bitmaps.
    if (dc->memory && !dc->surfaceDc && s && s->bpp == 1)
        return CreateBitmap(width, height, 1, 1, nullptr);
    return CreateBitmap(width, height, 1, 32, nullptr);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD) {
    if (bits) *bits = nullptr;
    if (!info) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
    if (h.biCompression != BI_RGB || h.biPlanes != 1) return nullptr;
    if (h.biHeight == INT32_MIN) return nullptr;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    Bitmap* b = nullptr;
    HBITMAP hb = NewBitmap(h.biWidth, height, bpp, h.biHeight > 0, true, &b);
    if (!hb) return nullptr;
    if (bpp <= 8) {
        int n = h.biClrUsed ? static_cast<int>(std::min<DWORD>(h.biClrUsed, 1u << bpp)) : 1 << bpp;
        for (int i = 0; i < n; ++i) {
            const RGBQUAD& q = info->bmiColors[i];
            b->s.palette.push_back((uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) |
                                   q.rgbBlue);
        }
        b->s.palette.resize(size_t(1) << bpp, 0);
    }
    if (bits) *bits = b->s.bits;
    return hb;
}

static Surface* SelectedDib(HDC hdc) {
    Dc* dc = DcOf(hdc);
    if (!dc) return nullptr;
    Surface* s = DcSurface(dc);
    return (s && s->isDib && s->bpp <= 8) ? s : nullptr;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colours) {
    Surface* s = SelectedDib(hdc);
    if (!s || !colours || start >= s->palette.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(s->palette.size()) - start);
    for (UINT i = 0; i < n; ++i)
        s->palette[start + i] = (uint32_t(colours[i].rgbRed) << 16) |
                                (uint32_t(colours[i].rgbGreen) << 8) | colours[i].rgbBlue;
    s->PaletteChanged();
    return n;
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colours) {
    Surface* s = SelectedDib(hdc);
    if (!s || !colours || start >= s->palette.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(s->palette.size()) - start);
    for (UINT i = 0; i < n; ++i) {
        uint32_t p = s->palette[start + i];
        colours[i] = RGBQUAD{BYTE(p & 0xFF), BYTE((p >> 8) & 0xFF), BYTE((p >> 16) & 0xFF), 0};
    }
    return n;
}

// ---- rectangle helpers ----

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
    if (!r) return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(RECT* r) {
    return SetRect(r, 0, 0, 0, 0);
}
BOOL IsRectEmpty(const RECT* r) {
    return !r || r->left >= r->right || r->top >= r->bottom;
}
BOOL InflateRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}
BOOL OffsetRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (r.left >= r.right || r.top >= r.bottom) {
        *out = RECT{};
        return FALSE;
    }
    *out = r;
    return TRUE;
}
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *out = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                    std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(out);
}
BOOL PtInRect(const RECT* r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}

// ---- extras ----

namespace gdi {

HBITMAP CreateSurface(int width, int height) {
    return NewBitmap(width, height, 32, false, false, nullptr);
}

HDC CreateSurfaceDC(HBITMAP surface, POINT origin, const RECT* clip) {
    Bitmap* b = GetBitmap(surface);
    if (!b) return nullptr;
    HDC h = NewDc(false);
    Dc* dc = DcOf(h);
    if (!dc) return nullptr;
    Unselect(dc->st.bitmap);
    dc->st.bitmap = surface;
    Select(b);
    dc->surfaceDc = true;
    dc->memory = false;
    dc->surfOrigin = origin;
    dc->surfClip = clip ? *clip : RECT{0, 0, b->s.width, b->s.height};
    dc->clipDirty = true;
    return h;
}

BOOL SetSurfaceMirror(HDC hdc, int width) {
    Dc* dc = DcOf(hdc);
    if (!dc || !dc->surfaceDc) return FALSE;
    dc->mirrored = width > 0;
    dc->mirrorWidth = std::max(0, width);
    dc->clipDirty = true;
    return TRUE;
}

BOOL IsSurfaceMirrored(HDC hdc) {
    Dc* dc = DcOf(hdc);
    return dc && dc->mirrored;
}

BOOL SetSurfaceVisibleRegion(HDC hdc, HRGN visible) {
    Dc* dc = DcOf(hdc);
    if (!dc || !dc->surfaceDc) return FALSE;
    if (!visible) {
        dc->hasVis = false;
        dc->vis.clear();
    } else {
        Region* r = GetRegion(visible);
        if (!r) return FALSE;
        dc->hasVis = true;
        dc->vis = r->rects;
    }
    dc->clipDirty = true;
    return TRUE;
}

BOOL TakeSurfaceDirty(HDC hdc, RECT* out) {
    Dc* dc = DcOf(hdc);
    if (out) *out = RECT{};
    if (!dc || !dc->surfaceDc || dc->dirty.left >= dc->dirty.right) return FALSE;
    if (out) *out = dc->dirty;
    dc->dirty = RECT{};
    return TRUE;
}

uint32_t* SurfacePixels(HBITMAP bitmap, int* width, int* height, int* stride) {
    Bitmap* b = GetBitmap(bitmap);
    if (!b || b->s.bpp != 32 || b->s.bottomUp) return nullptr;
    if (width) *width = b->s.width;
    if (height) *height = b->s.height;
    if (stride) *stride = b->s.stride;
    return reinterpret_cast<uint32_t*>(b->s.bits);
}

void SetScreenMetrics(const ScreenMetrics& m) {
    metrics() = m;
    ScaleStockFonts();
}
ScreenMetrics GetScreenMetrics() {
    return metrics();
}
int LiveObjectCount() {
    return Handles().live;
}

void ResetFontsForTests();  // text.cpp
void ResetForTests() {
    metrics() = ScreenMetrics{};
    ScaleStockFonts();
    detail::QuickDrawingOn() = true;
    ResetFontsForTests();
}

}  // namespace gdi
