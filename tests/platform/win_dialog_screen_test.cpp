// Dialogs on the screen: the background (the face colour, or the brush the
// procedure gives for WM_CTLCOLORDLG) and dialog units at the screen's DPI.
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/theme.h"

namespace {

HBRUSH g_brush = nullptr;

intptr_t Proc(HWND, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_CTLCOLORDLG) return reinterpret_cast<intptr_t>(g_brush);
    return FALSE;
}

COLORREF CentreOf(HWND dlg) {
    POINT off{};
    HBITMAP s = win::GetWindowSurface(dlg, &off);
    int w = 0, h = 0, stride = 0;
    const uint32_t* px = gdi::SurfacePixels(s, &w, &h, &stride);
    RECT cr;
    GetClientRect(dlg, &cr);
    uint32_t p = px[(off.y + cr.bottom / 2) * (stride / 4) + off.x + cr.right / 2];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST(DialogBackground, FaceOrTheProceduresBrush) {
    struct Case {
        HBRUSH brush;
        COLORREF want;
    };
    HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
    for (Case c : {Case{nullptr, GetSysColor(COLOR_BTNFACE)}, Case{red, RGB(200, 0, 0)}}) {
        win::ResetForTests();
        g_brush = c.brush;
        DialogTemplate t;
        t.style = WS_POPUP | WS_VISIBLE;
        t.cx = 40;
        t.cy = 30;
        HWND dlg = CreateDialogFromTemplate(nullptr, t, nullptr, Proc, 0);
        ASSERT_TRUE(dlg);
        win::input::DrainQueue();
        EXPECT_EQ(CentreOf(dlg), c.want);
        DestroyWindow(dlg);
    }
    DeleteObject(red);
    win::ResetForTests();
}

TEST(DialogUnits, FollowTheScreenDpi) {
    struct Case {
        int dpi, points;
        LONG x, y;
    };
    for (Case c : {Case{96, 8, 6, 13}, Case{192, 8, 12, 26}, Case{144, 8, 9, 20},
                   Case{96, 10, 8, 16}, Case{192, 10, 15, 33}}) {
        gdi::ScreenMetrics m;
        m.logPixelsX = m.logPixelsY = c.dpi;
        gdi::SetScreenMetrics(m);
        SIZE base = win::DialogBaseUnitsForFont(c.points);
        EXPECT_EQ(base.cx, c.x) << c.dpi << " dpi, " << c.points << " points";
        EXPECT_EQ(base.cy, c.y) << c.dpi << " dpi, " << c.points << " points";
    }
    // A font size no template can really hold stays in range.
    SIZE huge = win::DialogBaseUnitsForFont(65535);
    EXPECT_GT(huge.cx, 0);
    EXPECT_LE(huge.cy, 1 << 20);
    gdi::ResetForTests();
}

}  // namespace
