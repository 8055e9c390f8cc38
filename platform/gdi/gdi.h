// Drawing services of the platform: device contexts on 32-bit pixel surfaces
// (and on indexed and 24-bit DIB sections), pens, brushes, fonts, bitmaps,
// regions, raster operations, blits and text. Everything is our own
// rasteriser; glyphs come from FreeType through fontconfig.
//
// Conventions kept exactly: colours are 0x00BBGGRR (the high byte, e.g. the
// colour chooser's 0x02000000 marker, is ignored when drawing); rectangles and
// ellipses leave out their right and bottom edges; a polyline leaves out its
// last pixel; monochrome patterns paint 0 bits in the text colour and 1 bits
// in the background colour whatever the background mode; text is anchored at
// the top-left of its character cell and rotated about it.
//
// Handles are 32-bit tokens (platform/types.h). All calls belong to the user
// interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/text/text.h"
#include "platform/types.h"

// ---- stock objects ----
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// ---- object types (GetObjectType) ----
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;

// ---- pens ----
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

struct LOGPEN {
    UINT lopnStyle = 0;
    POINT lopnWidth;  // only x is used
    COLORREF lopnColor = 0;
};

// ---- brushes ----
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;
constexpr UINT BS_PATTERN = 3;
constexpr UINT BS_DIBPATTERNPT = 6;

constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

struct LOGBRUSH {
    UINT lbStyle = 0;
    COLORREF lbColor = 0;
    uintptr_t lbHatch = 0;
};

// ---- background modes, ROP2, fill modes ----
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

// ---- raster operations of blits (ternary: pattern, source, destination) ----
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// ---- bitmaps and DIB sections ----
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;
};

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};
struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;  // positive: bottom-up rows; negative: top-down
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = BI_RGB;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
// The colour table follows the header; it may hold up to 256 entries when the
// structure heads a larger block.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
};

// Row stride of a DIB: rows are padded to 32 bits.
inline int DibStride(int bitsPerPixel, int width) {
    return ((bitsPerPixel * width + 31) / 32) * 4;
}

// ---- fonts and text ----
constexpr int LF_FACESIZE = 32;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;

struct LOGFONT {
    LONG lfHeight = 0;  // < 0: character (em) height in pixels; > 0: cell height
    LONG lfWidth = 0;
    LONG lfEscapement = 0;  // tenths of a degree, counter-clockwise
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    WChar lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(LOGFONT) == 92, "the font record is 92 bytes");

struct TEXTMETRIC {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 0;
    LONG tmDigitizedAspectY = 0;
    WChar tmFirstChar = 0;
    WChar tmLastChar = 0;
    WChar tmDefaultChar = 0;
    WChar tmBreakChar = 0;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0;
    BYTE tmCharSet = 0;
};

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
constexpr UINT ETO_RTLREADING = 0x0080;

constexpr UINT TA_LEFT = 0;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT TA_RTLREADING = 256;

constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_TABSTOP = 0x0080;
constexpr UINT DT_RTLREADING = 0x00020000;

constexpr DWORD RASTER_FONTTYPE = 0x0001;
constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;
using FONTENUMPROC = int (*)(const LOGFONT*, const TEXTMETRIC*, DWORD fontType, LPARAM);

// ---- device capabilities ----
constexpr int HORZSIZE = 4;  // millimetres
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMBRUSHES = 16;
constexpr int NUMPENS = 18;
constexpr int NUMFONTS = 22;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int ASPECTX = 40;
constexpr int ASPECTY = 42;
constexpr int ASPECTXY = 44;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int NUMRESERVED = 106;
constexpr int COLORRES = 108;  // colour resolution of a palette display
constexpr int RC_BITBLT = 1;
constexpr int RC_BANDING = 2;
constexpr int RC_SCALING = 4;
constexpr int RC_BITMAP64 = 8;
constexpr int RC_DI_BITMAP = 0x0080;
constexpr int RC_PALETTE = 0x0100;
constexpr int RC_DIBTODEV = 0x0200;
constexpr int RC_STRETCHBLT = 0x0800;
constexpr int RC_STRETCHDIB = 0x2000;

// ---- regions ----
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

// ---- edges ----
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_RECT = 0x000F;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_SOFT = 0x1000;
constexpr UINT BF_ADJUST = 0x2000;
constexpr UINT BF_FLAT = 0x4000;
constexpr UINT BF_MONO = 0x8000;

// ---- object handles ----
// Any drawing object handle passes where an HGDIOBJ is taken.
template <class T>
concept GdiHandlePointee =
    std::is_same_v<T, HGDIOBJ__> || std::is_same_v<T, HPEN__> || std::is_same_v<T, HBRUSH__> ||
    std::is_same_v<T, HFONT__> || std::is_same_v<T, HBITMAP__> || std::is_same_v<T, HRGN__>;
struct AnyGdiObject {
    HGDIOBJ h = nullptr;
    AnyGdiObject(std::nullptr_t) {}
    template <GdiHandlePointee T>
    AnyGdiObject(T* p) : h(reinterpret_cast<HGDIOBJ>(p)) {}
    operator HGDIOBJ() const { return h; }
};

// ---- device contexts ----
HDC CreateCompatibleDC(HDC hdc);  // a memory DC holding a 1 x 1 monochrome bitmap
BOOL DeleteDC(HDC hdc);
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int savedDc);  // negative: relative to the latest save
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
// Selecting a typed handle gives back the previous object of that type.
template <GdiHandlePointee T>
requires(!std::is_same_v<T, HGDIOBJ__>) T* SelectObject(HDC hdc, T* obj) {
    return reinterpret_cast<T*>(SelectObject(hdc, reinterpret_cast<HGDIOBJ>(obj)));
}
HGDIOBJ GetCurrentObject(HDC hdc, UINT objectType);
HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(AnyGdiObject obj);  // refused while the object is selected somewhere
DWORD GetObjectType(AnyGdiObject obj);
int GetObject(AnyGdiObject obj, int size, void* out);
COLORREF SetTextColor(HDC hdc, COLORREF colour);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF colour);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int SetROP2(HDC hdc, int mode);
int GetROP2(HDC hdc);
int SetPolyFillMode(HDC hdc, int mode);
int GetPolyFillMode(HDC hdc);
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetBrushOrgEx(HDC hdc, POINT* out);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* out);
int GetDeviceCaps(HDC hdc, int index);

// ---- pens, brushes ----
HPEN CreatePen(int style, int width, COLORREF colour);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF colour);
HBRUSH CreateHatchBrush(int style, COLORREF colour);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT usage);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);

// ---- figures ----
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL LineTo(HDC hdc, int x, int y);
BOOL GetCurrentPositionEx(HDC hdc, POINT* out);
BOOL Polyline(HDC hdc, const POINT* points, int count);
BOOL Polygon(HDC hdc, const POINT* points, int count);
BOOL PolyPolygon(HDC hdc, const POINT* points, const int* counts, int polygons);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour);
COLORREF GetPixel(HDC hdc, int x, int y);  // CLR_INVALID outside the surface or clip
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- bitmaps ----
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset);
UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colours);
UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colours);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                int sourceWidth, int sourceHeight, DWORD rop);
// Copies the source with the pixels of one colour left out.
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy,
                    int sourceWidth, int sourceHeight, COLORREF transparent);
BOOL ScrollDC(HDC hdc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
              RECT* updateRect);
// Reads a Windows bitmap file (1, 2, 4, 8, 16, 24 or 32 bits per pixel,
// uncompressed or RLE) into a DIB section. Two-bit files become 8-bit sections
// with their 4-colour palette. Null on any fault of the file.
HBITMAP LoadDibFile(const WChar* hostPath);
HBITMAP LoadDibFromMemory(const void* data, size_t size);

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
// Stretching always samples the nearest pixel; the mode is kept and reported.
int SetStretchBltMode(HDC hdc, int mode);
int GetStretchBltMode(HDC hdc);

// ---- icons: a colour bitmap and a monochrome mask ----
struct ICONINFO {
    BOOL fIcon = TRUE;
    DWORD xHotspot = 0;
    DWORD yHotspot = 0;
    HBITMAP hbmMask = nullptr;   // 1 bit: 1 keeps the screen, 0 takes the colour
    HBITMAP hbmColor = nullptr;  // null: the mask is twice as high (AND over XOR)
};
constexpr UINT DI_MASK = 1;
constexpr UINT DI_IMAGE = 2;
constexpr UINT DI_NORMAL = 3;
// The icon keeps copies of the bitmaps; the caller still owns them.
HICON CreateIconIndirect(const ICONINFO* info);
// Gives copies of the icon's bitmaps, which the caller deletes.
BOOL GetIconInfo(HICON icon, ICONINFO* out);
BOOL DestroyIcon(HICON icon);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH flickerFree, UINT flags);

// ---- regions and clipping ----
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* out);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush);
int SelectClipRgn(HDC hdc, HRGN rgn);  // a copy; null removes the clip region
int GetClipRgn(HDC hdc, HRGN out);     // 1 when a clip region exists, 0 without
int GetClipBox(HDC hdc, RECT* out);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);

// ---- fonts and text ----
HFONT CreateFontIndirect(const LOGFONT* font);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const WChar* face);
BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const WChar* text,
                UINT count, const int* dx);
BOOL TextOut(HDC hdc, int x, int y, const WChar* text, int count);
int DrawText(HDC hdc, const WChar* text, int count, RECT* rect, UINT format);
BOOL GetTextExtentPoint32(HDC hdc, const WChar* text, int count, SIZE* out);
// Text with tabs expanded to the given stops (pixels from tabOrigin; none:
// every eight average characters; one: every stops[0] pixels). Gives the
// width in the low and the height in the high word.
LONG TabbedTextOut(HDC hdc, int x, int y, const WChar* text, int count, int tabPositions,
                   const int* tabStops, int tabOrigin);
DWORD GetTabbedTextExtent(HDC hdc, const WChar* text, int count, int tabPositions,
                          const int* tabStops);
BOOL GetTextExtentExPoint(HDC hdc, const WChar* text, int count, int maxExtent, int* fit,
                          int* partialExtents, SIZE* out);
BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* out);
int GetTextFace(HDC hdc, int count, WChar* out);
int EnumFontFamilies(HDC hdc, const WChar* family, FONTENUMPROC proc, LPARAM param);

// ---- rectangle helpers ----
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL IsRectEmpty(const RECT* r);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* r, POINT p);
BOOL EqualRect(const RECT* a, const RECT* b);

// ---- platform-side extras (not in the handheld's interface) ----
namespace gdi {

// A device context that draws straight into a bitmap that the caller owns and
// keeps (a window's surface, which stays readable between paints). The DC
// cannot select another bitmap. origin is where the DC's (0, 0) lies on the
// surface; the DC clips to clip (in surface pixels) or, when null, to the
// whole surface.
HDC CreateSurfaceDC(HBITMAP surface, POINT origin = {}, const RECT* clip = nullptr);
// Limits a surface DC to a region in surface pixels (a window's visible
// part: what its siblings and children leave), beneath any clipping the
// drawing code selects. Null lifts the limit.
BOOL SetSurfaceVisibleRegion(HDC hdc, HRGN visible);
// Mirrors a surface DC, as a right-to-left window's views are: logical x
// runs leftwards from the right edge of a view `width` pixels wide, which
// starts at the DC's origin. Figures come out as the mirror image; text
// still reads as it should and images keep their orientation. Text drawn
// through a mirrored DC reads right to left. A width of 0 ends mirroring.
BOOL SetSurfaceMirror(HDC hdc, int width);
BOOL IsSurfaceMirrored(HDC hdc);
// The box of surface pixels a surface DC wrote since it was made or last
// asked; false (and an empty box) when it wrote nothing.
BOOL TakeSurfaceDirty(HDC hdc, RECT* out);
// A 32-bit top-down surface bitmap for a window of the given size.
HBITMAP CreateSurface(int width, int height);
// The pixels of a 32-bit bitmap: 0x00RRGGBB per pixel, rows top first.
// Null for other formats.
uint32_t* SurfacePixels(HBITMAP bitmap, int* width, int* height, int* stride);

// Screen properties reported by GetDeviceCaps; tests pin them. The screen
// size is the device's (sys::GetScreenWidth and GetScreenHeight).
struct ScreenMetrics {
    int bitsPerPixel = 32;
    int logPixelsX = 96;
    int logPixelsY = 96;
};
void SetScreenMetrics(const ScreenMetrics& metrics);
ScreenMetrics GetScreenMetrics();

// Where each UTF-16 unit of a line drawn from x 0 shows (logical units of
// the DC), and whether it belongs to a run read right to left: the caret
// before a unit stands at its right edge then, else at its left. options
// takes ETO_RTLREADING.
struct TextUnitPlace {
    int left = 0, right = 0;
    bool rtl = false;
};
BOOL GetTextUnitPlaces(HDC hdc, const WChar* text, int count, UINT options, TextUnitPlace* out);

// Which installed face stands in for a face name that is not installed
// (documented in font.cpp).
WString SubstituteFace(const WString& face, int charSet);

// The system colour table (indexes as GetSysColor takes them; a brush
// argument of index + 1 fills in that colour).
COLORREF SystemColour(int index);

// Number of live objects (leak checks in tests).
int LiveObjectCount();

// Figures are drawn by quick routes where the target allows (a 32-bit
// surface, one clipping rectangle, coordinates of ordinary size); off, every
// figure takes the general route. Both give the same pixels: tests draw
// with each and compare.
void SetQuickDrawing(bool on);

// Restores the process-wide state (screen metrics, font cache) for tests.
void ResetForTests();

}  // namespace gdi
