// The polygon filler against an independent rasteriser. The block groups of
// a window of the public pyshp sample (tests/data/gdi, made once by
// tools/gdi_reference.sh) are filled as the shape drawing does it: world to
// device by truncation, every ring joined into one path through the first
// point, even-odd fill, no pen. gdal_rasterize burned the same polygons with
// pixel centres inside (no all-touched). The sampling rules differ (ours
// samples the truncated vertices at whole pixels), so pixels may differ next
// to an edge, never elsewhere. Filling every polygon with XOR also shows that
// neighbouring polygons tile without gaps or double-painted pixels.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/platform/gdi_picture.h"

namespace {

constexpr double kXmin = -122.47, kYmin = 37.70, kXmax = -122.39, kYmax = 37.80;
constexpr int kW = 240, kH = 300;

using Ring = std::vector<std::pair<double, double>>;

// Rings of each record (the WKT of one CSV line; multipolygon parts are rings
// of the same record, as in a shapefile).
std::vector<std::vector<Ring>> ReadRecords() {
    std::ifstream f(std::string(ZN_TEST_DATA) + "/gdi/blockgroups_window.csv");
    std::vector<std::vector<Ring>> out;
    std::string line;
    std::getline(f, line);  // header
    while (std::getline(f, line)) {
        size_t a = line.find('"'), b = line.find('"', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        std::string wkt = line.substr(a + 1, b - a - 1);
        std::vector<Ring> rings;
        Ring cur;
        bool inRing = false;
        for (size_t i = 0; i < wkt.size(); ++i) {
            char c = wkt[i];
            if (c == '(') {
                inRing = true;
                cur.clear();
            } else if (c == ')') {
                if (inRing && !cur.empty()) rings.push_back(cur);
                inRing = false;
                cur.clear();
            } else if (inRing && (c == '-' || (c >= '0' && c <= '9'))) {
                size_t used = 0;
                double x = std::stod(wkt.substr(i), &used);
                i += used;
                while (wkt[i] == ' ') ++i;
                double y = std::stod(wkt.substr(i), &used);
                i += used - 1;
                cur.emplace_back(x, y);
            }
        }
        if (!rings.empty()) out.push_back(rings);
    }
    return out;
}

const double kSx = kW / (kXmax - kXmin), kSy = kH / (kYmax - kYmin);
POINT ToDevice(double x, double y) {
    return POINT{static_cast<LONG>((x - kXmin) * kSx), kH - static_cast<LONG>((y - kYmin) * kSy)};
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / l2, 0.0, 1.0) : 0;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

TEST(GdiOracle, BlockGroupsMatchAnIndependentRasteriserAwayFromEdges) {
    auto records = ReadRecords();
    ASSERT_GT(records.size(), 100u);
    std::vector<std::string> reference;
    {
        std::ifstream f(std::string(ZN_TEST_DATA) + "/gdi/blockgroups_window.txt");
        std::string row;
        while (std::getline(f, row)) reference.push_back(row);
    }
    ASSERT_EQ(reference.size(), size_t(kH));

    gditest::Canvas c(kW, kH, gditest::kBlack);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    HBRUSH one = CreateSolidBrush(RGB(1, 0, 0));
    HBRUSH cover = CreateSolidBrush(RGB(0, 1, 0));
    SelectObject(c.dc, one);
    SetPolyFillMode(c.dc, ALTERNATE);
    for (const auto& rings : records) {
        // n points, then every ring followed by the record's first point.
        std::vector<POINT> path;
        POINT first = ToDevice(rings[0][0].first, rings[0][0].second);
        for (const Ring& r : rings) {
            for (auto& p : r) path.push_back(ToDevice(p.first, p.second));
            path.push_back(first);
        }
        SetROP2(c.dc, R2_XORPEN);
        Polygon(c.dc, path.data(), static_cast<int>(path.size()));
        // Coverage in a second bit, merged.
        SelectObject(c.dc, cover);
        SetROP2(c.dc, R2_MERGEPEN);
        Polygon(c.dc, path.data(), static_cast<int>(path.size()));
        SelectObject(c.dc, one);
    }
    SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(one);
    DeleteObject(cover);

    int burned = 0, mismatches = 0, farMismatches = 0, twice = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            COLORREF px = c.At(x, y);
            bool ours = (px & 0xFF00) != 0;
            if (ours && !(px & 0xFF)) ++twice;  // covered, even number of times
            bool theirs = reference[y][x] == '#';
            burned += theirs;
            if (ours == theirs) continue;
            ++mismatches;
            // Distance of the pixel centre from the nearest true edge.
            double best = 1e9;
            double cx = x + 0.5, cy = y + 0.5;
            for (const auto& rings : records)
                for (const Ring& r : rings)
                    for (size_t k = 0; k + 1 < r.size(); ++k) {
                        double ax = (r[k].first - kXmin) * kSx,
                               ay = kH - (r[k].second - kYmin) * kSy;
                        double bx = (r[k + 1].first - kXmin) * kSx,
                               by = kH - (r[k + 1].second - kYmin) * kSy;
                        best = std::min(best, SegmentDistance(cx, cy, ax, ay, bx, by));
                    }
            if (best > 1.5) {
                ++farMismatches;
                ADD_FAILURE() << "pixel " << x << "," << y << " differs " << best
                              << " px from any edge";
            }
        }
    }
    EXPECT_EQ(farMismatches, 0);
    EXPECT_LT(mismatches, burned / 50) << mismatches << " of " << burned;
    // Neighbouring polygons share their edges: no pixel was filled twice.
    EXPECT_EQ(twice, 0);
    std::printf("%d of %d burned pixels differ, all next to an edge\n", mismatches, burned);
}

}  // namespace
