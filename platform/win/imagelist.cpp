// Image lists: equal-sized images kept as 32-bit pixels with transparency,
// filled from bitmaps (with a mask bitmap or a mask colour), icons and bitmap
// resources, and drawn into device contexts.
#include <map>
#include <mutex>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/res/formats.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/common_impl.h"
#include "platform/win/dialog.h"

namespace {

constexpr uint32_t kTransparent = 0xFF000000;  // a pixel that is not drawn

struct ImageList {
    int cx = 0, cy = 0;
    int grow = 1;
    UINT flags = 0;
    COLORREF bk = CLR_NONE;
    std::vector<std::vector<uint32_t>> images;  // cx * cy pixels, 0x00RRGGBB
};

struct Lists {
    std::mutex lock;
    std::map<uint32_t, ImageList> lists;
    uint32_t next = 0x000C0000;
};
Lists& L() {
    static Lists* l = new Lists;
    return *l;
}
ImageList* Get(HIMAGELIST h) {
    auto it = L().lists.find(HandleToToken(h));
    return it == L().lists.end() ? nullptr : &it->second;
}

uint32_t ToPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
COLORREF ToColor(uint32_t p) {
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// The pixels of any bitmap, copied through a 32-bit surface.
bool ReadBitmap(HBITMAP bmp, int* w, int* h, std::vector<uint32_t>* out) {
    BITMAP info;
    if (!bmp || GetObject(bmp, sizeof(info), &info) != sizeof(info)) return false;
    *w = info.bmWidth;
    *h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    if (*w <= 0 || *h <= 0) return false;
    HBITMAP surface = gdi::CreateSurface(*w, *h);
    HDC dst = gdi::CreateSurfaceDC(surface);
    HDC src = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(src, bmp);
    BitBlt(dst, 0, 0, *w, *h, src, 0, 0, SRCCOPY);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteDC(dst);
    int sw = 0, sh = 0, stride = 0;
    uint32_t* px = gdi::SurfacePixels(surface, &sw, &sh, &stride);
    out->assign(static_cast<size_t>(*w) * *h, 0);
    for (int y = 0; y < *h && px; ++y)
        for (int x = 0; x < *w; ++x)
            (*out)[static_cast<size_t>(y) * *w + x] =
                px[static_cast<size_t>(y) * (stride / 4) + x] & 0xFFFFFF;
    DeleteObject(surface);
    return px != nullptr;
}

// Slices a strip into images; pixels for which `clear` holds are transparent.
template <class Clear>
int AddStrip(ImageList* il, int w, int h, const std::vector<uint32_t>& px, Clear clear) {
    if (il->cx <= 0 || w < il->cx) return -1;
    int first = static_cast<int>(il->images.size());
    for (int n = 0; n + il->cx <= w; n += il->cx) {
        std::vector<uint32_t> img(static_cast<size_t>(il->cx) * il->cy, kTransparent);
        for (int y = 0; y < il->cy && y < h; ++y)
            for (int x = 0; x < il->cx; ++x) {
                size_t at = static_cast<size_t>(y) * w + n + x;
                if (!clear(at)) img[static_cast<size_t>(y) * il->cx + x] = px[at];
            }
        il->images.push_back(std::move(img));
    }
    return first;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int grow) {
    if (cx <= 0 || cy <= 0) return nullptr;
    std::lock_guard g(L().lock);
    uint32_t token = L().next;
    L().next += 4;
    ImageList& il = L().lists[token];
    il.cx = cx, il.cy = cy, il.flags = flags, il.grow = grow < 1 ? 1 : grow;
    return TokenToHandle<HIMAGELIST>(token);
}

bool ImageList_Destroy(HIMAGELIST list) {
    std::lock_guard g(L().lock);
    return L().lists.erase(HandleToToken(list)) != 0;
}

int ImageList_GetImageCount(HIMAGELIST list) {
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    return il ? static_cast<int>(il->images.size()) : 0;
}

bool ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    if (!il) return false;
    if (cx) *cx = il->cx;
    if (cy) *cy = il->cy;
    return true;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
    int w = 0, h = 0, mw = 0, mh = 0;
    std::vector<uint32_t> px, mpx;
    if (!ReadBitmap(image, &w, &h, &px)) return -1;
    bool hasMask = mask && ReadBitmap(mask, &mw, &mh, &mpx) && mw == w && mh == h;
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    if (!il) return -1;
    return AddStrip(il, w, h, px,
                    [&](size_t at) { return hasMask && (mpx[at] & 0xFFFFFF) == 0xFFFFFF; });
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask) {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    if (!ReadBitmap(image, &w, &h, &px)) return -1;
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    if (!il) return -1;
    uint32_t key = mask == CLR_DEFAULT ? px[0] : ToPixel(mask);
    bool none = mask == CLR_NONE;
    return AddStrip(il, w, h, px, [&](size_t at) { return !none && px[at] == key; });
}

int ImageList_AddIcon(HIMAGELIST list, HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return -1;
    // An icon of another size is resized to the list's images.
    BITMAP bm{};
    int cx = 0, cy = 0, r = -1;
    if (info.hbmColor && GetObject(info.hbmColor, sizeof bm, &bm) == sizeof bm &&
        ImageList_GetIconSize(list, &cx, &cy)) {
        int h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        if (bm.bmWidth == cx && h == cy) {
            r = ImageList_Add(list, info.hbmColor, info.hbmMask);
        } else if (HIMAGELIST one = ImageList_Create(bm.bmWidth, h, ILC_COLOR | ILC_MASK, 1, 1)) {
            if (ImageList_Add(one, info.hbmColor, info.hbmMask) == 0 &&
                win::detail::AppendImages(list, one))
                r = ImageList_GetImageCount(list) - 1;
            ImageList_Destroy(one);
        }
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return r;
}

bool ImageList_Remove(HIMAGELIST list, int index) {
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    if (!il) return false;
    if (index == -1) {
        il->images.clear();
        return true;
    }
    if (index < 0 || index >= static_cast<int>(il->images.size())) return false;
    il->images.erase(il->images.begin() + index);
    return true;
}

HBITMAP LoadBitmap(HINSTANCE instance, const WChar* name) {
    auto data = res::FindResourceData(instance, res::RT_BITMAP, res::ResName::FromPointer(name));
    auto dib = res::ParseDib(data);
    if (!dib) return nullptr;
    // The resource is a bitmap file without its file header: put one back.
    std::vector<uint8_t> file(14 + data.size());
    file[0] = 'B', file[1] = 'M';
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, static_cast<uint32_t>(14 + dib->bitsOffset));
    std::copy(data.begin(), data.end(), file.begin() + 14);
    return LoadDibFromMemory(file.data(), file.size());
}

namespace {
// A bitmap file around DIB pieces: the header (with the height given), the
// colour table and the rows.
HBITMAP DibFromParts(std::span<const uint8_t> header, int32_t height, std::span<const uint8_t> colors,
                     std::span<const uint8_t> rows) {
    std::vector<uint8_t> file(14 + header.size() + colors.size() + rows.size());
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, static_cast<uint32_t>(14 + header.size() + colors.size()));
    std::copy(header.begin(), header.end(), file.begin() + 14);
    put32(14 + 8, static_cast<uint32_t>(height));
    put32(14 + 20, 0);  // image size: from the rows
    std::copy(colors.begin(), colors.end(), file.begin() + 14 + static_cast<std::ptrdiff_t>(header.size()));
    std::copy(rows.begin(), rows.end(),
              file.begin() + 14 + static_cast<std::ptrdiff_t>(header.size() + colors.size()));
    return LoadDibFromMemory(file.data(), file.size());
}
}  // namespace

namespace {
// An icon or cursor image (a DIB whose height counts the AND mask's rows
// too) as an icon with the hot spot given.
HICON IconFromImage(std::span<const uint8_t> data, bool icon, DWORD hotX, DWORD hotY) {
    auto dib = res::ParseDib(data, true);
    if (!dib || dib->headerSize < 40 || dib->compression != 0) return nullptr;
    const int32_t height = dib->height < 0 ? -dib->height : dib->height;
    const size_t maskStride = ((static_cast<size_t>(dib->width) + 31) / 32) * 4;
    if (dib->maskOffset + maskStride * static_cast<size_t>(height) > data.size()) return nullptr;
    auto header = data.subspan(0, dib->headerSize);
    HBITMAP color = DibFromParts(header, height, data.subspan(dib->colorTableOffset, dib->bitsOffset - dib->colorTableOffset),
                                 data.subspan(dib->bitsOffset, dib->maskOffset - dib->bitsOffset));
    // The mask: a 1-bit picture with black (0) and white (1).
    std::vector<uint8_t> maskHeader(header.begin(), header.begin() + 40);
    maskHeader[14] = 1, maskHeader[15] = 0;  // bit count
    for (int i = 32; i < 40; ++i) maskHeader[static_cast<size_t>(i)] = 0;  // colours used, important
    maskHeader[0] = 40, maskHeader[1] = maskHeader[2] = maskHeader[3] = 0;
    const uint8_t blackWhite[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    HBITMAP mask = DibFromParts(maskHeader, height, blackWhite,
                                data.subspan(dib->maskOffset, maskStride * static_cast<size_t>(height)));
    HICON out = nullptr;
    if (color && mask) {
        ICONINFO info;
        info.fIcon = icon ? TRUE : FALSE;
        info.xHotspot = hotX;
        info.yHotspot = hotY;
        info.hbmMask = mask;
        info.hbmColor = color;
        out = CreateIconIndirect(&info);
    }
    if (color) DeleteObject(color);
    if (mask) DeleteObject(mask);
    return out;
}

// Cursors loaded by name, once each: a cursor is shared, never destroyed.
std::mutex g_cursorLock;
std::map<std::pair<HINSTANCE, WString>, HCURSOR> g_cursors;
}  // namespace

HICON LoadIcon(HINSTANCE instance, const WChar* name, int size) {
    auto data = res::FindIconImage(instance, res::ResName::FromPointer(name), size);
    return IconFromImage(data, true, 0, 0);
}

HCURSOR LoadCursor(HINSTANCE instance, const WChar* name) {
    if (reinterpret_cast<uintptr_t>(name) < 0x10000)
        return LoadCursor(instance, reinterpret_cast<uintptr_t>(name));
    WString key = text::ToUpper(WStringView(name));
    std::lock_guard<std::mutex> lock(g_cursorLock);
    auto found = g_cursors.find({instance, key});
    if (found != g_cursors.end()) return found->second;
    // A cursor group: a header of type 2, then 14-byte entries whose last
    // word names the RT_CURSOR resource; that one starts with the hot spot.
    auto group = res::FindResourceData(instance, res::RT_GROUP_CURSOR, res::ResName::FromPointer(name));
    if (group.size() < 6 + 14 || group[2] != 2 || group[3] != 0) return nullptr;
    WORD id = static_cast<WORD>(group[6 + 12] | (group[6 + 13] << 8));
    auto image = res::FindResourceData(instance, res::RT_CURSOR, id);
    if (image.size() < 4) return nullptr;
    DWORD hotX = static_cast<DWORD>(image[0] | (image[1] << 8));
    DWORD hotY = static_cast<DWORD>(image[2] | (image[3] << 8));
    HCURSOR cursor = IconFromImage(image.subspan(4), false, hotX, hotY);
    if (cursor) g_cursors[{instance, key}] = cursor;
    return cursor;
}

namespace win::detail {
// A bitmap resource cut into a new list of images `cx` wide; `scaled` makes
// the list's images the screen's size (a 96 dots-per-inch strip doubled at 192).
HIMAGELIST LoadBitmapImages(HINSTANCE instance, const WChar* name, int cx, int grow,
                            COLORREF mask, bool scaled) {
    HBITMAP bmp = LoadBitmap(instance, name);
    if (!bmp) return nullptr;
    BITMAP info{};
    GetObject(bmp, sizeof info, &info);
    const int h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    const UINT flags = ILC_COLOR | (mask == CLR_NONE ? 0 : ILC_MASK);
    HIMAGELIST list = scaled ? ImageList_Create(theme::Scale(cx), theme::Scale(h), flags, 0, grow)
                             : ImageList_Create(cx, h, flags, 0, grow);
    const int added = !list     ? -1
                      : scaled ? win::AddScaledImages(list, bmp, cx, h, mask)
                               : ImageList_AddMasked(list, bmp, mask);
    if (list && added < 0) {
        ImageList_Destroy(list);
        list = nullptr;
    }
    DeleteObject(bmp);
    return list;
}
}  // namespace win::detail

HIMAGELIST ImageList_LoadBitmap(HINSTANCE instance, const WChar* name, int cx, int grow,
                                COLORREF mask) {
    return win::detail::LoadBitmapImages(instance, name, cx, grow, mask, false);
}

bool ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
    std::vector<uint32_t> img;
    int cx = 0, cy = 0;
    COLORREF bk = CLR_NONE;
    {
        std::lock_guard g(L().lock);
        ImageList* il = Get(list);
        if (!il || index < 0 || index >= static_cast<int>(il->images.size())) return false;
        img = il->images[static_cast<size_t>(index)];
        cx = il->cx, cy = il->cy, bk = il->bk;
    }
    uint32_t hl = ToPixel(GetSysColor(COLOR_HIGHLIGHT));
    int blend = (style & ILD_BLEND50) ? 2 : (style & ILD_BLEND25) ? 4 : 0;
    // A mirrored DC places the image mirrored but keeps its orientation.
    const bool mirrored = gdi::IsSurfaceMirrored(dc);
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i) {
            uint32_t p = img[static_cast<size_t>(j) * cx + i];
            if (p == kTransparent) {
                if (bk == CLR_NONE || (style & ILD_TRANSPARENT)) continue;
                p = ToPixel(bk);
            }
            if (blend) {
                // 1/blend of the highlight colour over the image
                uint32_t out = 0;
                for (int s = 0; s < 24; s += 8) {
                    uint32_t a = (p >> s) & 0xFF, b = (hl >> s) & 0xFF;
                    out |= ((a * (blend - 1) + b) / blend) << s;
                }
                p = out;
            }
            SetPixel(dc, x + (mirrored ? cx - 1 - i : i), y + j, ToColor(p));
        }
    return true;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF colour) {
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    if (!il) return CLR_NONE;
    COLORREF old = il->bk;
    il->bk = colour;
    return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list) {
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    return il ? il->bk : CLR_NONE;
}

namespace win::detail {
bool AppendImages(HIMAGELIST dst, HIMAGELIST src) {
    std::lock_guard g(L().lock);
    ImageList* d = Get(dst);
    ImageList* s = Get(src);
    if (!d || !s) return false;
    auto copy = s->images;  // dst may be src
    if (d->cx != s->cx || d->cy != s->cy) {
        for (auto& img : copy) {
            std::vector<uint32_t> sized(static_cast<size_t>(d->cx) * d->cy);
            for (int y = 0; y < d->cy; ++y) {
                size_t row = static_cast<size_t>(y * s->cy / d->cy) * s->cx;
                for (int x = 0; x < d->cx; ++x)
                    sized[static_cast<size_t>(y) * d->cx + x] = img[row + x * s->cx / d->cx];
            }
            img = std::move(sized);
        }
    }
    d->images.insert(d->images.end(), copy.begin(), copy.end());
    return true;
}
}  // namespace win::detail

namespace win {
int AddScaledImages(HIMAGELIST list, HBITMAP bitmap, int cx, int cy, COLORREF mask) {
    if (!list || !bitmap || cx <= 0 || cy <= 0) return -1;
    int first = ImageList_GetImageCount(list);
    HIMAGELIST strip =
        ImageList_Create(cx, cy, ILC_COLOR | (mask == CLR_NONE ? 0 : ILC_MASK), 0, 4);
    bool added = strip && ImageList_AddMasked(strip, bitmap, mask) >= 0 &&
                 detail::AppendImages(list, strip);
    if (strip) ImageList_Destroy(strip);
    return added ? first : -1;
}

HIMAGELIST LoadScaledImageList(HINSTANCE instance, const WChar* name, int cx, int grow,
                               COLORREF mask) {
    return detail::LoadBitmapImages(instance, name, cx, grow, mask, true);
}

void ResetImageLists() {
    std::lock_guard g(L().lock);
    L().lists.clear();
}

COLORREF ImageListPixel(HIMAGELIST list, int index, int x, int y) {
    std::lock_guard g(L().lock);
    ImageList* il = Get(list);
    if (!il || index < 0 || index >= static_cast<int>(il->images.size()) || x < 0 || y < 0 ||
        x >= il->cx || y >= il->cy)
        return CLR_NONE;
    uint32_t p = il->images[static_cast<size_t>(index)][static_cast<size_t>(y) * il->cx + x];
    return p == kTransparent ? CLR_NONE : ToColor(p);
}
}  // namespace win
