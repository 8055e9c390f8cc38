// The platform functions an extension module may call: plain C, exported
// under a prefix because the platform's own C++ declarations use the plain
// names. Each only forwards; the records are layout-identical (checked
// where the extension interface is tested).
#include "include/zarnip/znex.h"
#include "platform/com/variant.h"
#include "platform/gdi/gdi.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"

#define ZN_API extern "C" __attribute__((visibility("default")))

static_assert(sizeof(ZnxMsg) == sizeof(MSG) && sizeof(ZnxVariant) == sizeof(VARIANT));
static_assert(sizeof(ZnxCellRect) == sizeof(RECT) && sizeof(int32_t[2]) == sizeof(POINT));
static_assert(std::is_same_v<ZnxHwnd, HWND> && std::is_same_v<ZnxHdc, HDC>);
static_assert(std::is_same_v<ZnxDialogProc, DLGPROC>);

ZN_API intptr_t ZnxSendMessage(ZnxHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return SendMessage(window, message, wParam, lParam);
}
ZN_API int32_t ZnxPostMessage(ZnxHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostMessage(window, message, wParam, lParam) ? 1 : 0;
}
ZN_API ZnxBstr ZnxSysAllocString(const char16_t* text) { return SysAllocString(text); }
ZN_API ZnxBstr ZnxSysAllocStringLen(const char16_t* text, uint32_t length) {
    return SysAllocStringLen(text, length);
}
ZN_API void ZnxSysFreeString(ZnxBstr text) { SysFreeString(text); }
ZN_API uint32_t ZnxSysStringLen(ZnxBstr text) { return SysStringLen(text); }
ZN_API void ZnxVariantInit(ZnxVariant* value) { VariantInit(reinterpret_cast<VARIANT*>(value)); }
ZN_API ZnxHresult ZnxVariantClear(ZnxVariant* value) {
    return VariantClear(reinterpret_cast<VARIANT*>(value));
}
ZN_API int32_t ZnxMessageBox(ZnxHwnd owner, const char16_t* text, const char16_t* caption, uint32_t type) {
    return MessageBox(owner, text, caption, type);
}

ZN_API ZnxHgdiobj ZnxCreatePen(int32_t style, int32_t width, uint32_t colour) {
    return reinterpret_cast<HGDIOBJ>(CreatePen(style, width, colour));
}
ZN_API ZnxHgdiobj ZnxCreateSolidBrush(uint32_t colour) {
    return reinterpret_cast<HGDIOBJ>(CreateSolidBrush(colour));
}
ZN_API ZnxHgdiobj ZnxCreateFontIndirect(const LOGFONT* font) {
    return reinterpret_cast<HGDIOBJ>(CreateFontIndirect(font));
}
ZN_API ZnxHgdiobj ZnxGetStockObject(int32_t index) { return GetStockObject(index); }
ZN_API ZnxHgdiobj ZnxSelectObject(ZnxHdc dc, ZnxHgdiobj object) { return SelectObject(dc, object); }
ZN_API int32_t ZnxDeleteObject(ZnxHgdiobj object) { return DeleteObject(object); }
ZN_API int32_t ZnxMoveToEx(ZnxHdc dc, int32_t x, int32_t y) { return MoveToEx(dc, x, y, nullptr); }
ZN_API int32_t ZnxLineTo(ZnxHdc dc, int32_t x, int32_t y) { return LineTo(dc, x, y); }
ZN_API int32_t ZnxPolyline(ZnxHdc dc, const int32_t* points, int32_t count) {
    return Polyline(dc, reinterpret_cast<const POINT*>(points), count);
}
ZN_API int32_t ZnxPolygon(ZnxHdc dc, const int32_t* points, int32_t count) {
    return Polygon(dc, reinterpret_cast<const POINT*>(points), count);
}
ZN_API int32_t ZnxRectangle(ZnxHdc dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return Rectangle(dc, left, top, right, bottom);
}
ZN_API int32_t ZnxEllipse(ZnxHdc dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return Ellipse(dc, left, top, right, bottom);
}
ZN_API int32_t ZnxFillRect(ZnxHdc dc, const ZnxCellRect* rect, ZnxHgdiobj brush) {
    return FillRect(dc, reinterpret_cast<const RECT*>(rect), reinterpret_cast<HBRUSH>(brush));
}
ZN_API int32_t ZnxTextOut(ZnxHdc dc, int32_t x, int32_t y, const char16_t* text, int32_t count) {
    return TextOut(dc, x, y, text, count);
}
ZN_API uint32_t ZnxSetTextColor(ZnxHdc dc, uint32_t colour) { return SetTextColor(dc, colour); }
ZN_API int32_t ZnxSetBkMode(ZnxHdc dc, int32_t mode) { return SetBkMode(dc, mode); }

ZN_API intptr_t ZnxDialogBoxIndirectParam(const void* dialogTemplate, size_t size, ZnxHwnd parent,
                                          ZnxDialogProc proc, intptr_t initParam) {
    return DialogBoxIndirectParam(nullptr, dialogTemplate, size, parent, proc, initParam);
}
ZN_API int32_t ZnxEndDialog(ZnxHwnd dialog, intptr_t result) { return EndDialog(dialog, result) ? 1 : 0; }
ZN_API ZnxHwnd ZnxGetDlgItem(ZnxHwnd dialog, int32_t id) { return GetDlgItem(dialog, id); }
ZN_API int32_t ZnxSetWindowText(ZnxHwnd window, const char16_t* text) {
    return SetWindowText(window, text) ? 1 : 0;
}
