// The layer of 1,000,000 random points the identify benchmarks tap on: a
// shapefile with an ID table written by shapelib, our spatial bin index
// built beside it, and 1,000 taps on points (a miss now and then), all made
// once per run in a temporary root.
#pragma once

#include <shapefil.h>
#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

#include "map/layers/shape_layer.h"
#include "platform/fs/fs.h"

namespace points_bench {

constexpr int kPoints = 1000000;
constexpr int kTaps = 1000;
constexpr double kSide = 100000;
// Eight pixels at a view 240 pixels across 1% of the extent.
constexpr double kTolerance = kSide * 0.01 / 240 * 8;

inline const std::string& Root() {
    static const std::string root = [] {
        char tmpl[] = "/tmp/zn-hit-bench-XXXXXX";
        std::string r = mkdtemp(tmpl);
        setenv("ZARNIP_ROOT", r.c_str(), 1);
        fs::ResetConfiguration();
        return r;
    }();
    return root;
}

inline const std::vector<std::pair<double, double>>& Points() {
    static const std::vector<std::pair<double, double>> p = [] {
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> u(0, kSide);
        std::vector<std::pair<double, double>> v;
        v.reserve(kPoints);
        for (int i = 0; i < kPoints; ++i) v.emplace_back(u(rng), u(rng));
        return v;
    }();
    return p;
}

// Taps on points (found) and beside them (a miss now and then).
inline const std::vector<std::pair<double, double>>& Taps() {
    static const std::vector<std::pair<double, double>> t = [] {
        std::mt19937 rng(2);
        std::uniform_int_distribution<int> pick(0, kPoints - 1);
        std::uniform_real_distribution<double> off(-kTolerance, kTolerance);
        std::vector<std::pair<double, double>> v;
        for (int i = 0; i < kTaps; ++i) {
            auto p = Points()[static_cast<size_t>(pick(rng))];
            v.emplace_back(p.first + off(rng), p.second + off(rng));
        }
        return v;
    }();
    return t;
}

// The shapefile, its table (written by shapelib) and our .sbn index.
inline CShapeLayer& Layer() {
    static CShapeLayer* layer = [] {
        const std::string base = Root() + "/points";
        SHPHandle shp = SHPCreate(base.c_str(), SHPT_POINT);
        DBFHandle dbf = DBFCreate(base.c_str());
        DBFAddField(dbf, "ID", FTInteger, 9, 0);
        int i = 0;
        for (const auto& [x, y] : Points()) {
            SHPObject* o = SHPCreateSimpleObject(SHPT_POINT, 1, &x, &y, nullptr);
            SHPWriteObject(shp, -1, o);
            SHPDestroyObject(o);
            DBFWriteIntegerAttribute(dbf, i, 0, i);
            ++i;
        }
        SHPClose(shp);
        DBFClose(dbf);
        auto* l = new CShapeLayer();
        if (!l->OpenDataset(u"\\points.shp")) return static_cast<CShapeLayer*>(nullptr);
        if (!l->HasSpatialIndex() && !l->BuildSpatialIndex()) return static_cast<CShapeLayer*>(nullptr);
        return l;
    }();
    if (!layer) std::abort();
    return *layer;
}

inline const CDoubleRect kExtent(0, 0, kSide, kSide);

}  // namespace points_bench
