#include "core/window_helpers.h"

#include <atomic>
#include <cstring>

#include "platform/win/window.h"

namespace {

std::atomic<int> g_dpi{0};

int ScreenDpi() {
    int dpi = g_dpi.load();
    if (dpi == 0) {
        dpi = gdi::GetScreenMetrics().logPixelsY;
        g_dpi.store(dpi);
    }
    return dpi;
}

}  // namespace

int PointsToFontHeight(int tenths) {
    return -(tenths * ScreenDpi()) / 720;
}

int PointsToPixels(int tenths) {
    return (tenths * ScreenDpi()) / 720;
}

void ResetScreenDpiForTests() {
    g_dpi.store(0);
}

void FillLogFont(LOGFONT& font, int tenths, const WChar* faceName, int angle, DWORD flags) {
    font = LOGFONT{};
    font.lfCharSet = 1;  // DEFAULT_CHARSET
    font.lfHeight = PointsToFontHeight(tenths);
    if (faceName) {
        size_t n = 0;
        while (n < LF_FACESIZE - 1 && faceName[n]) {
            font.lfFaceName[n] = faceName[n];
            ++n;
        }
    }
    font.lfEscapement = angle;
    font.lfOrientation = angle;
    if (flags & kFontBold) font.lfWeight = 700;
    if (flags & kFontItalic) font.lfItalic = 1;
    if (flags & kFontUnderline) font.lfUnderline = 1;
    if (flags & kFontStrikeOut) font.lfStrikeOut = 1;
}

HFONT CreateFontFromSpec(int tenths, const WChar* faceName, int angle, DWORD flags) {
    LOGFONT font;
    FillLogFont(font, tenths, faceName, angle, flags);
    return CreateFontIndirect(&font);
}

void InvalidateNoErase(HWND window) {
    InvalidateRect(window, nullptr, false);
}
