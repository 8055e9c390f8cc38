// Small pictures for the drawing tests: a memory DC on a 32-bit surface, and
// its pixels as rows of characters through a colour legend, so that expected
// pictures are written by hand in the test.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace gditest {

constexpr COLORREF kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00,
                   kBlue = 0xFF0000, kYellow = 0x00FFFF, kGrey = 0x808080;

// Legend used by Picture(): '.' white, '#' black, 'r' red, 'g' green,
// 'b' blue, 'y' yellow, '+' grey, '?' anything else.
inline char Symbol(COLORREF c) {
    static const std::map<COLORREF, char> legend = {{kWhite, '.'}, {kBlack, '#'}, {kRed, 'r'},
                                                    {kGreen, 'g'}, {kBlue, 'b'},  {kYellow, 'y'},
                                                    {kGrey, '+'}};
    auto it = legend.find(c);
    return it == legend.end() ? '?' : it->second;
}

// A memory DC with a w x h 32-bit bitmap filled with one colour.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HBITMAP old = nullptr;
    int w, h;
    Canvas(int width, int height, COLORREF fill = kWhite) : w(width), h(height) {
        HDC screen = CreateCompatibleDC(nullptr);
        bitmap = gdi::CreateSurface(w, h);
        DeleteDC(screen);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bitmap);
        HBRUSH b = CreateSolidBrush(fill);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    // The surface's colour at (x, y), whatever the DC's clipping.
    COLORREF At(int x, int y) const {
        int sw, sh, stride;
        const uint32_t* px = gdi::SurfacePixels(bitmap, &sw, &sh, &stride);
        uint32_t p = px[y * (stride / 4) + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::vector<std::string> Picture() const {
        std::vector<std::string> rows;
        for (int y = 0; y < h; ++y) {
            std::string row;
            for (int x = 0; x < w; ++x) row.push_back(Symbol(At(x, y)));
            rows.push_back(row);
        }
        return rows;
    }
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px.push_back(At(x, y));
        return px;
    }
};

inline std::string Show(const std::vector<std::string>& rows) {
    std::string s = "\n";
    for (const auto& r : rows) s += r + "\n";
    return s;
}

#define EXPECT_PICTURE(canvas, ...)                \
    EXPECT_EQ(::gditest::Show((canvas).Picture()), \
              ::gditest::Show(std::vector<std::string>{__VA_ARGS__}))

}  // namespace gditest
