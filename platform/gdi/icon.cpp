// Icons: a colour bitmap drawn through a monochrome mask (mask bit 1 keeps
// the screen, 0 takes the colour), and the font and stretch-mode odds and ends.
#include <cstring>

#include "platform/gdi/gdi_internal.h"

using namespace gdi::detail;

namespace gdi::detail {
Icon::~Icon() {
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}
}  // namespace gdi::detail

namespace {

// A copy of a bitmap with the same layout and pixels.
HBITMAP CopyBitmap(HBITMAP src) {
    Bitmap* b = GetBitmap(src);
    if (!b) return nullptr;
    HBITMAP copy = CreateBitmap(b->s.width, b->s.height, 1, b->s.bpp, nullptr);
    Bitmap* c = GetBitmap(copy);
    if (!c) {
        DeleteObject(copy);
        return nullptr;
    }
    for (int y = 0; y < b->s.height; ++y) std::memcpy(c->s.Row(y), b->s.Row(y), b->s.stride);
    c->s.palette = b->s.palette;
    return copy;
}

Icon* GetIcon(const void* h) {
    return Get<Icon, Kind::Icon>(h);
}

}  // namespace

HICON CreateIconIndirect(const ICONINFO* info) {
    if (!info || !GetBitmap(info->hbmMask)) return nullptr;
    if (info->hbmColor && !GetBitmap(info->hbmColor)) return nullptr;
    auto icon = std::make_unique<Icon>();
    icon->kind = Kind::Icon;
    icon->info = *info;
    icon->info.hbmMask = CopyBitmap(info->hbmMask);
    icon->info.hbmColor = info->hbmColor ? CopyBitmap(info->hbmColor) : nullptr;
    // An icon without its mask (or without the colour it was given) cannot be drawn;
    // the destructor deletes whichever copy was made.
    if (!icon->info.hbmMask || (info->hbmColor && !icon->info.hbmColor)) return nullptr;
    return Handle<HICON>(AddObject(std::move(icon)));
}

BOOL GetIconInfo(HICON h, ICONINFO* out) {
    Icon* icon = GetIcon(h);
    if (!icon || !out) return FALSE;
    *out = icon->info;
    out->hbmMask = CopyBitmap(icon->info.hbmMask);
    out->hbmColor = icon->info.hbmColor ? CopyBitmap(icon->info.hbmColor) : nullptr;
    if (!out->hbmMask || (icon->info.hbmColor && !out->hbmColor)) {
        DeleteObject(out->hbmMask);
        DeleteObject(out->hbmColor);
        out->hbmMask = out->hbmColor = nullptr;
        return FALSE;
    }
    return TRUE;
}

BOOL DestroyIcon(HICON h) {
    if (!GetIcon(h)) return FALSE;
    return DeleteObject(reinterpret_cast<HGDIOBJ>(h));
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON h, int width, int height, UINT, HBRUSH, UINT flags) {
    Icon* icon = GetIcon(h);
    if (!icon || !GetDc(hdc)) return FALSE;
    Bitmap* mask = GetBitmap(icon->info.hbmMask);
    if (!mask) return FALSE;
    int w = mask->s.width;
    int ih = icon->info.hbmColor ? mask->s.height : mask->s.height / 2;
    if (width <= 0) width = w;
    if (height <= 0) height = ih;
    if (!flags) flags = DI_NORMAL;
    HDC mem = CreateCompatibleDC(hdc);
    COLORREF text = SetTextColor(hdc, 0x000000);
    COLORREF bk = SetBkColor(hdc, 0xFFFFFF);
    HBITMAP old = SelectObject(mem, icon->info.hbmMask);
    if (flags & DI_MASK) StretchBlt(hdc, x, y, width, height, mem, 0, 0, w, ih, SRCAND);
    if (flags & DI_IMAGE) {
        if (icon->info.hbmColor) {
            SelectObject(mem, icon->info.hbmColor);
            StretchBlt(hdc, x, y, width, height, mem, 0, 0, w, ih, SRCINVERT);
        } else {
            StretchBlt(hdc, x, y, width, height, mem, 0, ih, w, ih, SRCINVERT);
        }
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    SetTextColor(hdc, text);
    SetBkColor(hdc, bk);
    return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) {
    return DrawIconEx(hdc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

int SetStretchBltMode(HDC hdc, int mode) {
    Dc* dc = GetDc(hdc);
    if (!dc || mode < BLACKONWHITE || mode > 4) return 0;
    int prev = dc->st.stretchMode;
    dc->st.stretchMode = mode;
    return prev;
}

int GetStretchBltMode(HDC hdc) {
    Dc* dc = GetDc(hdc);
    return dc ? dc->st.stretchMode : 0;
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const WChar* face) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = static_cast<BYTE>(italic);
    lf.lfUnderline = static_cast<BYTE>(underline);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    for (int i = 0; face && face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
    return CreateFontIndirect(&lf);
}
