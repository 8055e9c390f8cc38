// Synthetic pictures for the MrSID encoder's tests and benchmark: a scene
// with edges, texture and noise, a gradient and a checkerboard.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace sidscene {

// Pixels of width x height with `bands` samples side by side.
inline std::vector<uint8_t> Scene(int width, int height, int bands, uint32_t seed = 7) {
    std::vector<uint8_t> px(size_t(width) * height * bands);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Fields with hard edges, a road, rings of texture and noise.
            double v[3];
            const bool field = (x / 97 + y / 61) % 2 == 0;
            v[0] = field ? 70 : 150;
            v[1] = field ? 120 : 110;
            v[2] = field ? 60 : 90;
            const double d = std::hypot(x - width * 0.6, y - height * 0.4);
            const double ring = 40 * std::sin(d / 3.0);
            for (double& c : v) c += ring * (d < std::min(width, height) * 0.25 ? 1 : 0.2);
            if (std::abs((x - y / 2) % 180) < 6) v[0] = v[1] = v[2] = 235;  // a road
            if ((x / 8 + y / 8) % 2 && x > width * 0.8) v[2] += 50;           // a pattern
            for (int b = 0; b < bands; ++b) {
                const double s = (bands == 1 ? (v[0] + v[1] + v[2]) / 3 : v[b]) + noise(rng);
                px[(size_t(y) * width + x) * bands + b] = uint8_t(std::clamp(s, 0.0, 255.0));
            }
        }
    return px;
}

inline std::vector<uint8_t> Gradient(int width, int height, int bands) {
    std::vector<uint8_t> px(size_t(width) * height * bands);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < bands; ++b)
                px[(size_t(y) * width + x) * bands + b] =
                    uint8_t((x * 255 / std::max(1, width - 1) + b * y * 255 / std::max(1, height - 1)) / (1 + b));
    return px;
}

inline std::vector<uint8_t> Checkerboard(int width, int height, int bands, int cell = 4) {
    std::vector<uint8_t> px(size_t(width) * height * bands);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < bands; ++b)
                px[(size_t(y) * width + x) * bands + b] = ((x / cell + y / cell) % 2) ? uint8_t(230 - 40 * b) : uint8_t(20 + 30 * b);
    return px;
}

}  // namespace sidscene
