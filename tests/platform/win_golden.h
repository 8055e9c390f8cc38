// Golden pictures of windows: what a window shows on its top-level surface
// (frame included) compared pixel for pixel with a PNG in tests/data/golden.
//
// ZARNIP_UPDATE_GOLDEN=1 rewrites the pictures instead of comparing (then
// look at every changed one before committing). A failed comparison writes
// NAME.actual.png and NAME.diff.png (differing pixels in red over a faded
// copy) into golden-failures/ in the build folder.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/window.h"

namespace golden {

struct Picture {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB
};

// The window's pixels on its top-level surface.
inline Picture Capture(HWND hwnd) {
    Picture p;
    POINT client;
    int sw = 0, sh = 0, stride = 0;
    uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(hwnd, &client), &sw, &sh, &stride);
    RECT wr, cr;
    if (!px || !GetWindowRect(hwnd, &wr) || !GetClientRect(hwnd, &cr)) return p;
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    // A mirrored window's client x 0 is at its right edge.
    if (GetWindowLongPtr(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) origin.x -= cr.right;
    // Window's top-left in the surface: the client offset less the frame.
    int x0 = client.x - (origin.x - wr.left), y0 = client.y - (origin.y - wr.top);
    p.w = wr.right - wr.left;
    p.h = wr.bottom - wr.top;
    p.px.resize(size_t(p.w) * p.h);
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            int sx = x0 + x, sy = y0 + y;
            p.px[size_t(y) * p.w + x] = (sx >= 0 && sy >= 0 && sx < sw && sy < sh)
                                            ? px[size_t(sy) * (stride / 4) + sx] & 0xFFFFFF
                                            : 0;
        }
    return p;
}

inline bool Write(const std::string& path, const Picture& p) {
    std::vector<uint8_t> rgb(size_t(p.w) * p.h * 3);
    for (size_t i = 0; i < p.px.size(); ++i) {
        rgb[i * 3] = uint8_t(p.px[i] >> 16);
        rgb[i * 3 + 1] = uint8_t(p.px[i] >> 8);
        rgb[i * 3 + 2] = uint8_t(p.px[i]);
    }
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(p.w);
    img.height = static_cast<png_uint_32>(p.h);
    img.format = PNG_FORMAT_RGB;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return png_image_write_to_file(&img, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

inline bool Read(const std::string& path, Picture* p) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) return false;
    p->w = static_cast<int>(img.width);
    p->h = static_cast<int>(img.height);
    p->px.resize(size_t(p->w) * p->h);
    for (size_t i = 0; i < p->px.size(); ++i)
        p->px[i] = (uint32_t(rgb[i * 3]) << 16) | (uint32_t(rgb[i * 3 + 1]) << 8) | rgb[i * 3 + 2];
    return true;
}

inline bool Updating() {
    const char* v = std::getenv("ZARNIP_UPDATE_GOLDEN");
    return v && *v && std::string(v) != "0";
}

// Compares the window with tests/data/golden/NAME.png.
inline void Expect(const std::string& name, HWND hwnd) {
    Picture actual = Capture(hwnd);
    ASSERT_GT(actual.w, 0) << name;
    std::string path = std::string(ZN_TEST_DATA) + "/golden/" + name + ".png";
    if (Updating()) {
        ASSERT_TRUE(Write(path, actual)) << path;
        return;
    }
    Picture want;
    std::string out = std::string(ZN_BINARY_DIR) + "/golden-failures/" + name;
    if (!Read(path, &want)) {
        Write(out + ".actual.png", actual);
        ADD_FAILURE() << "no golden picture " << path << " (ZARNIP_UPDATE_GOLDEN=1 makes it)";
        return;
    }
    if (want.w == actual.w && want.h == actual.h && want.px == actual.px) return;
    Picture diff = actual;
    int differing = 0;
    for (size_t i = 0; i < diff.px.size(); ++i) {
        bool same = want.w == actual.w && want.h == actual.h && want.px[i] == actual.px[i];
        uint32_t g = ((actual.px[i] >> 16 & 0xFF) + (actual.px[i] >> 8 & 0xFF) +
                      (actual.px[i] & 0xFF)) / 3;
        g = 160 + g / 3;
        diff.px[i] = same ? (g << 16 | g << 8 | g) : 0xFF0000;
        differing += !same;
    }
    Write(out + ".actual.png", actual);
    Write(out + ".diff.png", diff);
    ADD_FAILURE() << name << ": " << differing << " pixels differ (" << actual.w << "x"
                  << actual.h << " against " << want.w << "x" << want.h << "); see " << out
                  << ".diff.png";
}

}  // namespace golden
