#include "core/window_helpers.h"

#include <cstring>

#include "tests/core/ui_test_util.h"

namespace {

class WindowHelpersTest : public uitest::UiTest {};

TEST_F(WindowHelpersTest, PointsToHeightTruncatesTowardZero) {
    struct Case {
        int dpi, tenths, height;
    };
    const Case cases[] = {{96, 95, -12}, {96, 80, -10}, {96, 100, -13}, {96, 0, 0},
                          {192, 95, -25}, {192, 80, -21}, {96, -95, 12}};
    for (const Case& c : cases) {
        gdi::SetScreenMetrics({32, c.dpi, c.dpi});
        ResetScreenDpiForTests();
        EXPECT_EQ(PointsToFontHeight(c.tenths), c.height) << c.dpi << " " << c.tenths;
        EXPECT_EQ(PointsToPixels(c.tenths), -c.height) << c.dpi << " " << c.tenths;
    }
    // Read once: a later change of the screen needs the reset.
    gdi::SetScreenMetrics({32, 192, 192});
    EXPECT_EQ(PointsToFontHeight(95), -12);
}

TEST_F(WindowHelpersTest, FillLogFontFlagsAndFace) {
    struct Case {
        DWORD flags;
        LONG weight;
        BYTE italic, underline, strike;
    };
    const Case cases[] = {{0, 0, 0, 0, 0},       {1, 700, 0, 0, 0}, {2, 0, 1, 0, 0},
                          {4, 0, 0, 1, 0},       {8, 0, 0, 0, 1},   {15, 700, 1, 1, 1}};
    for (const Case& c : cases) {
        LOGFONT f;
        std::memset(static_cast<void*>(&f), 0x5A, sizeof f);
        FillLogFont(f, 100, u"Tahoma", 450, c.flags);
        EXPECT_EQ(f.lfHeight, -13);
        EXPECT_EQ(f.lfWidth, 0);
        EXPECT_EQ(f.lfEscapement, 450);
        EXPECT_EQ(f.lfOrientation, 450);
        EXPECT_EQ(f.lfWeight, c.weight) << c.flags;
        EXPECT_EQ(f.lfItalic, c.italic);
        EXPECT_EQ(f.lfUnderline, c.underline);
        EXPECT_EQ(f.lfStrikeOut, c.strike);
        EXPECT_EQ(f.lfCharSet, 1);
        EXPECT_EQ(f.lfOutPrecision, 0);
        EXPECT_EQ(WString(f.lfFaceName), u"Tahoma");
    }
    // A face longer than the record keeps its terminator.
    LOGFONT f;
    const WString longFace(40, u'F');
    FillLogFont(f, 80, longFace.c_str(), 0, 0);
    EXPECT_EQ(WString(f.lfFaceName), WString(31, u'F'));

    HFONT font = CreateFontFromSpec(120, u"Tahoma", 0, kFontBold | kFontItalic);
    ASSERT_NE(font, nullptr);
    LOGFONT back{};
    ASSERT_EQ(GetObject(font, sizeof back, &back), int(sizeof back));
    EXPECT_EQ(back.lfHeight, -16);
    EXPECT_EQ(back.lfWeight, 700);
    EXPECT_EQ(back.lfItalic, 1);
    DeleteObject(font);
}

int g_erases = 0;
LRESULT CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_ERASEBKGND) ++g_erases;
    return DefWindowProc(h, m, w, l);
}

TEST_F(WindowHelpersTest, InvalidateNoEraseRepaintsWithoutErasing) {
    WNDCLASS wc;
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = u"ZnEraseCounter";
    ASSERT_TRUE(RegisterClass(wc));
    HWND w = CreateWindowEx(0, u"ZnEraseCounter", u"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30,
                            nullptr, nullptr, nullptr, nullptr);
    ValidateRect(w, nullptr);
    g_erases = 0;
    InvalidateNoErase(w);
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(w, &update, false));
    EXPECT_EQ(update.right - update.left, 40);
    EXPECT_EQ(update.bottom - update.top, 30);
    PAINTSTRUCT ps;
    BeginPaint(w, &ps);
    EXPECT_FALSE(ps.fErase);
    EndPaint(w, &ps);
    EXPECT_EQ(g_erases, 0);
    // An erasing invalidation does erase, so the count above is meaningful.
    InvalidateRect(w, nullptr, true);
    BeginPaint(w, &ps);
    EndPaint(w, &ps);
    EXPECT_EQ(g_erases, 1);
    DestroyWindow(w);
}

}  // namespace
