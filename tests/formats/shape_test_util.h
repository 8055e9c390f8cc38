// Shared by the shapefile tests: a temporary device root (from the dBASE
// tests) and a reader of shpdump's listing, the independent oracle.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "dbf_test_util.h"
#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"

struct DumpShape {
    int index = -1;
    std::string type;
    int parts = 0;
    // x, y, z and, when shpdump prints it, m.
    std::vector<std::vector<double>> vertices;
};

// The shapes of a `shpdump -precision 17` listing.
inline std::vector<DumpShape> ParseShpdump(const std::string& out) {
    std::vector<DumpShape> shapes;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Shape:", 0) == 0) {
            DumpShape s;
            s.index = atoi(line.c_str() + 6);
            const size_t open = line.find('('), close = line.find(')');
            s.type = line.substr(open + 1, close - open - 1);
            const size_t np = line.find("nParts=");
            if (np != std::string::npos) s.parts = atoi(line.c_str() + np + 7);
            shapes.push_back(s);
            continue;
        }
        const size_t p = line.find('(');
        if (shapes.empty() || p == std::string::npos || line.find("Bounds") != std::string::npos ||
            line.find(" to ") != std::string::npos)
            continue;
        std::vector<double> v;
        const char* c = line.c_str() + p + 1;
        while (*c && *c != ')') {
            char* end;
            v.push_back(strtod(c, &end));
            c = end;
            while (*c == ',' || *c == ' ') ++c;
        }
        shapes.back().vertices.push_back(v);
    }
    return shapes;
}

inline std::string Shpdump(const std::string& hostPath) {
    return RunTool("shpdump -precision 17 '" + hostPath + "' 2>&1");
}

// Compares every vertex of every record we read with shpdump's listing.
inline void ExpectMatchesShpdump(ShpHandle h, const std::string& hostPath) {
    const std::string listing = Shpdump(hostPath);
    const std::vector<DumpShape> dump = ParseShpdump(listing);
    ASSERT_EQ(static_cast<int>(dump.size()), ShpGetIndexCount(h)) << listing;
    for (const DumpShape& s : dump) {
        SCOPED_TRACE("record " + std::to_string(s.index));
        ShapeRecord* r = ShpReadShape(h, s.index);
        ASSERT_NE(r, nullptr) << text::ToUtf8(ShpGetErrorText(h));
        const int n = ShpGetRecordShapeType(h, r) == 0 ? 0 : ShpGetPointCount(r);
        ASSERT_EQ(n, static_cast<int>(s.vertices.size()));
        const int type = ShpGetRecordShapeType(h, r);
        for (int i = 0; i < n; ++i) {
            double x, y, z, m;
            ShpGetPartPoint(h, i, &x, &y, &z, &m, r);
            const auto& v = s.vertices[static_cast<size_t>(i)];
            EXPECT_EQ(x, v[0]);
            EXPECT_EQ(y, v[1]);
            if (ShapeTypeHasZ(type)) {
                EXPECT_EQ(z, v[2]);
            }
            if (v.size() > 3 && ShapeTypeHasM(type)) {
                // "No data" on one side only where the other has none too
                // (shpdump prints its own no-data as -1e39 or below).
                const bool ours = IsNoDataMeasure(m), theirs = v[3] < -1e38;
                EXPECT_EQ(ours, theirs) << m << " vs " << v[3];
                if (!ours && !theirs) EXPECT_EQ(m, v[3]);
            } else if (ShapeTypeHasM(type)) {
                // A record without its measure section: shpdump prints none.
                EXPECT_TRUE(IsNoDataMeasure(m)) << m;
            }
        }
    }
}
