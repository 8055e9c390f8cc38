// Window surfaces: DCs of a window draw into a surface that keeps its pixels
// between paints and follows the client size.
#include "platform/win/winconst.h"
#include "platform/win/window.h"
#include "tests/platform/gdi_picture.h"

namespace {

LRESULT PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProc(h, m, w, l);
}

TEST(GdiWindows, SurfacesKeepTheirPixelsBetweenPaints) {
    win::ResetForTests();
    gdi::InstallWindowSurfaces();
    WNDCLASS wc;
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"Canvas";
    ASSERT_TRUE(RegisterClass(wc));
    HWND w = CreateWindowEx(0, u"Canvas", u"", WS_POPUP | WS_VISIBLE, 0, 0, 20, 10, nullptr,
                            nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    HDC dc = GetDC(w);
    ASSERT_NE(dc, nullptr);
    SetPixel(dc, 3, 4, gditest::kRed);
    ReleaseDC(w, dc);
    PAINTSTRUCT ps;
    HDC paint = BeginPaint(w, &ps);
    EXPECT_EQ(GetPixel(paint, 3, 4), gditest::kRed);
    EXPECT_EQ(GetDeviceCaps(paint, HORZRES), gdi::GetScreenMetrics().width);
    EndPaint(w, &ps);
    // A larger client area keeps what was drawn.
    MoveWindow(w, 0, 0, 40, 30, false);
    dc = GetDC(w);
    EXPECT_EQ(GetPixel(dc, 3, 4), gditest::kRed);
    EXPECT_EQ(GetPixel(dc, 39, 29), gditest::kBlack);  // new pixels start black
    ReleaseDC(w, dc);
    BITMAP bm;
    GetObject(gdi::WindowSurface(w), sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 40);
    DestroyWindow(w);
    win::ResetForTests();
    gdi::ResetWindowSurfacesForTests();
}

}  // namespace
