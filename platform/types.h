// Basic platform types shared by every platform module (windows, drawing,
// automation): integer widths, message parameters, points and rectangles, and
// opaque handle types. Handles are 32-bit tokens carried in a pointer-typed
// value, so they compare with nullptr and cannot be mixed up by accident.
// Only plain declarations live here; each module owns its own functions.
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using LONG = int32_t;
using BOOL = int;
using COLORREF = uint32_t;
// Message parameters and results are pointer-sized.
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct POINT {
    LONG x = 0;
    LONG y = 0;
};
struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};
// Right and bottom are exclusive.
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// Opaque handle types. Declaring the same alias again elsewhere is harmless.
struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HPEN__;
using HPEN = HPEN__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HRGN__;
using HRGN = HRGN__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HMENU__;
using HMENU = HMENU__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;

// A handle's 32-bit token and back (for the extension interface and logs).
template <class H>
inline uint32_t HandleToToken(H h) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}
template <class H>
inline H TokenToHandle(uint32_t token) {
    return reinterpret_cast<H>(static_cast<uintptr_t>(token));
}

inline WORD LOWORD(uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline WORD HIWORD(uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
inline BYTE LOBYTE(uintptr_t v) {
    return static_cast<BYTE>(v & 0xFF);
}
inline DWORD MAKELONG(WORD lo, WORD hi) {
    return DWORD(lo) | (DWORD(hi) << 16);
}
inline WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return MAKELONG(lo, hi);
}
inline LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return static_cast<LPARAM>(MAKELONG(lo, hi));
}
// Signed coordinates packed in a message parameter.
inline int GET_X_LPARAM(LPARAM lp) {
    return static_cast<int16_t>(lp & 0xFFFF);
}
inline int GET_Y_LPARAM(LPARAM lp) {
    return static_cast<int16_t>((lp >> 16) & 0xFFFF);
}
inline COLORREF RGB(int r, int g, int b) {
    return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}
inline int GetRValue(COLORREF c) {
    return c & 0xFF;
}
inline int GetGValue(COLORREF c) {
    return (c >> 8) & 0xFF;
}
inline int GetBValue(COLORREF c) {
    return (c >> 16) & 0xFF;
}
