// Indexes we build, read back by shapelib's independent reader and by ogrinfo,
// compared with a brute-force scan; and a table of corrupted indexes.
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "formats/shape/mapped_file.h"
#include "formats/shape/record_set.h"
#include "formats/shape/sbn_index.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/spatial_index.h"
#include "shape_test_util.h"

namespace {

const std::string kShape = std::string(ZN_TEST_DATA) + "/shape/";

class SbnOracleTest : public DbfRootTest {
protected:
    // Builds an index of the boxes (record number = position + 1) and checks
    // random queries: our candidates and shapelib's both hold every box that
    // really meets the query.
    void CheckQueries(const std::vector<EExtent>& boxes, const std::vector<EExtent>& queries) {
        EExtent extent = boxes[0];
        for (const EExtent& b : boxes) {
            extent.xmin = std::min(extent.xmin, b.xmin);
            extent.ymin = std::min(extent.ymin, b.ymin);
            extent.xmax = std::max(extent.xmax, b.xmax);
            extent.ymax = std::max(extent.ymax, b.ymax);
        }
        const int n = static_cast<int>(boxes.size());
        ESpatialIndexBuilder builder(n, extent);
        for (int i = 0; i < n; ++i) ASSERT_TRUE(builder.AddShape(i + 1, boxes[static_cast<size_t>(i)]));
        builder.Write(u"\\r.sbn");

        SBNSearchHandle sbn = SBNOpenDiskTree(Host("r.sbn").c_str(), nullptr);
        ASSERT_NE(sbn, nullptr) << "shapelib refuses our index";
        ESpatialIndex index;
        ASSERT_TRUE(index.Open(u"\\r.sbn"));
        for (const EExtent& q : queries) {
            ERecordSet ours(n);
            const int count = index.Query(q, ours);
            EXPECT_EQ(count, ours.Count());
            double lo[4] = {q.xmin, q.ymin, 0, 0}, hi[4] = {q.xmax, q.ymax, 0, 0};
            int found = 0;
            int* ids = SBNSearchDiskTree(sbn, lo, hi, &found);
            std::set<int> theirs;
            for (int i = 0; i < found; ++i) theirs.insert(ids[i] + 1);  // 0-based ids
            SBNSearchFreeIds(ids);
            for (int i = 0; i < n; ++i) {
                if (!q.Intersects(boxes[static_cast<size_t>(i)])) continue;
                ASSERT_TRUE(ours.Contains(i + 1)) << "we lost record " << i + 1;
                ASSERT_TRUE(theirs.count(i + 1)) << "shapelib lost record " << i + 1;
            }
        }
        SBNCloseDiskTree(sbn);
    }
};

TEST_F(SbnOracleTest, RandomBoxesAndPoints) {
    std::mt19937 rng(20261210);
    std::uniform_real_distribution<double> u(-1000, 3000), size(0, 200);
    std::vector<EExtent> boxes;
    for (int i = 0; i < 3000; ++i) {
        const double x = u(rng), y = u(rng) / 2;
        // Every third a point, then a zero-width box, then a true box.
        if (i % 3 == 0)
            boxes.emplace_back(x, y, x, y);
        else if (i % 3 == 1)
            boxes.emplace_back(x, y, x, y + size(rng));
        else
            boxes.emplace_back(x, y, x + size(rng), y + size(rng));
    }
    std::vector<EExtent> queries;
    for (int i = 0; i < 400; ++i) {
        const double x = u(rng), y = u(rng) / 2;
        const double w = i % 4 == 0 ? 0 : size(rng) * 3;
        queries.emplace_back(x, y, x + w, y + size(rng));
    }
    CheckQueries(boxes, queries);
}

// A query's candidates are the same on a bin's first read, on later reads,
// once a large bin is kept in memory, and through a mapped window smaller
// than the file (features read through a buffer): every box that meets the
// query, and only features whose cells meet the query's widened by one cell
// on its upper sides. The extent is 0 to 255, so a coordinate's cell is its
// integer part.
TEST_F(SbnOracleTest, CandidatesAreTheSameOnEveryReadOfABin) {
    std::mt19937 rng(1211);
    std::uniform_real_distribution<double> u(0, 255), size(0, 12);
    std::vector<EExtent> boxes = {{0, 0, 0, 0}, {255, 255, 255, 255}};
    for (int i = 0; i < 7000; ++i) {
        const double x = u(rng), y = u(rng);
        boxes.emplace_back(x, y, x, y);
    }
    // Large bins: points on the root's split line and on two lower ones,
    // short boxes across them.
    for (int i = 0; i < 2500; ++i) {
        const double t = u(rng);
        if (i % 5 == 4)
            boxes.emplace_back(127.5, t, std::min(255.0, 128.5 + size(rng)), t);
        else if (i % 2)
            boxes.emplace_back(128.2, t, 128.2, t);
        else
            boxes.emplace_back(t / 2, 64, t / 2, 64);
    }
    for (int i = 0; i < 500; ++i) {
        const double x = u(rng), y = u(rng);
        boxes.emplace_back(x, y, std::min(255.0, x + size(rng)), std::min(255.0, y + size(rng)));
    }
    const int n = static_cast<int>(boxes.size());
    ESpatialIndexBuilder builder(n, EExtent(0, 0, 255, 255));
    std::vector<std::array<uint8_t, 4>> cells(boxes.size());
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(builder.AddShape(i + 1, boxes[static_cast<size_t>(i)]));
        builder.Quantise(boxes[static_cast<size_t>(i)], cells[static_cast<size_t>(i)].data());
    }
    builder.Write(u"\\x.sbn");
    ASSERT_GT(std::filesystem::file_size(Host("x.sbn")), 0x10000u);

    std::vector<EExtent> queries = {{128, 0, 128, 255}, {0, 64, 255, 64}, {-5, -5, 0, 0},
                                    {254.5, 254.5, 300, 300}, {100, 100, 100, 100}};
    for (int i = 0; i < 300; ++i) {
        const double x = u(rng), y = u(rng);
        queries.emplace_back(x, y, x + size(rng) * (i % 3), y + size(rng) * (i % 4));
    }
    auto cell = [](double v) { return static_cast<int>(std::clamp(v, 0.0, 255.0)); };
    std::vector<std::unique_ptr<ERecordSet>> first(queries.size());
    for (const uint32_t window : {EFileIO::kWholeFile, 0x10000u}) {
        EFileIO::SetMapWindowSize(window);
        ESpatialIndex index;
        ASSERT_TRUE(index.Open(u"\\x.sbn"));
        for (int round = 0; round < 4; ++round) {
            for (size_t k = 0; k < queries.size(); ++k) {
                const EExtent& q = queries[k];
                SCOPED_TRACE(testing::Message() << "window " << window << ", round " << round
                                                << ", query " << k);
                auto found = std::make_unique<ERecordSet>(n);
                const int count = index.Query(q, *found);
                EXPECT_EQ(count, found->Count());
                if (!first[k]) {
                    const int qx0 = cell(q.xmin), qy0 = cell(q.ymin);
                    const int qx1 = cell(q.xmax + 1), qy1 = cell(q.ymax + 1);
                    for (int i = 0; i < n; ++i) {
                        const auto& c = cells[static_cast<size_t>(i)];
                        const bool near = c[0] <= qx1 && c[2] >= qx0 && c[1] <= qy1 && c[3] >= qy0;
                        if (q.Intersects(boxes[static_cast<size_t>(i)]))
                            ASSERT_TRUE(found->Contains(i + 1)) << "lost record " << i + 1;
                        else if (!near)
                            ASSERT_FALSE(found->Contains(i + 1)) << "far record " << i + 1;
                    }
                    first[k] = std::move(found);
                } else {
                    ASSERT_TRUE(*found->GetBits() == *first[k]->GetBits());
                }
            }
        }
    }
    EFileIO::ResetForTests();
}

TEST_F(SbnOracleTest, DegenerateExtentsLoseNothing) {
    // All points on one vertical line: the extent has zero width.
    std::vector<EExtent> line;
    for (int i = 0; i < 500; ++i) line.emplace_back(7.5, i * 0.25, 7.5, i * 0.25);
    std::vector<EExtent> queries = {{7, 10, 8, 20}, {7.5, 0, 7.5, 0}, {7.5, 124.75, 7.5, 124.75},
                                    {-1e9, 50, 1e9, 51}, {7.5, -5, 7.6, 500}};
    CheckQueries(line, queries);
    // One zero-width box among boxes, and a query 1e7 extents wide on x only.
    std::vector<EExtent> boxes = {{0, 0, 10, 10}, {5, 0, 5, 10}, {0, 5, 10, 5}, {2, 2, 3, 3}};
    CheckQueries(boxes, {{-1e8, 4, 1e8, 4.5}, {5, 5, 5, 5}, {4.9, -1, 5.1, 11}});
}

TEST_F(SbnOracleTest, OgrinfoUsesOurIndexWithTheSameCount) {
    REQUIRE_TOOL("ogrinfo");
    for (const char* e : {".shp", ".shx", ".dbf"}) CopyIn(kShape + "blockgroups" + e, std::string("bg") + e);
    ShpHandle h = ShpOpen(u"\\bg.shp", 0);
    ASSERT_NE(h, nullptr);
    CSpatialIndex index;
    ASSERT_TRUE(index.Rebuild(h));
    ShpClose(h);
    const std::string cmd = "ogrinfo --config CPL_DEBUG ON -ro -al -so -spat -122.45 37.75 -122.40 37.80 '" +
                            Host("bg.shp") + "' 2>&1";
    const std::string with = RunTool(cmd);
    EXPECT_NE(with.find("Used spatial index"), std::string::npos) << with;
    auto featureCount = [](const std::string& out) {
        const size_t p = out.find("Feature Count: ");
        return p == std::string::npos ? -1 : atoi(out.c_str() + p + 15);
    };
    std::filesystem::remove(Host("bg.sbn"));
    std::filesystem::remove(Host("bg.sbx"));
    const std::string without = RunTool(cmd);
    EXPECT_GT(featureCount(with), 0);
    EXPECT_EQ(featureCount(with), featureCount(without));
}

// Damaged indexes: an index that would hide features is refused at open
// (callers then scan the shapes), and one that opens returns every feature
// that meets a query, as a brute-force scan of the shapes does.
TEST_F(SbnOracleTest, CorruptedIndexes) {
    CopyIn(kShape + "blockgroups.sbn", "g.sbn");
    CopyIn(kShape + "blockgroups.sbx", "g.sbx");
    const std::string sbn = Get("g.sbn"), sbx = Get("g.sbx");
    std::vector<EExtent> boxes;
    SHPHandle shp = SHPOpen((kShape + "blockgroups.shp").c_str(), "rb");
    ASSERT_NE(shp, nullptr);
    for (int i = 0; i < shp->nRecords; ++i) {
        SHPObject* o = SHPReadObject(shp, i);
        ASSERT_NE(o, nullptr);
        boxes.emplace_back(o->dfXMin, o->dfYMin, o->dfXMax, o->dfYMax);
        SHPDestroyObject(o);
    }
    SHPClose(shp);
    auto put32 = [](std::string& s, size_t at, uint32_t v) {
        byte_order::StoreBe32(reinterpret_cast<uint8_t*>(s.data() + at), v);
    };
    // The first bin that holds features (its table entry's offset in `.sbn`).
    size_t used = 0;
    for (size_t at = 108; at + 8 <= sbn.size(); at += 8)
        if (byte_order::LoadBe32(reinterpret_cast<const uint8_t*>(sbn.data() + at + 4)) > 0) {
            used = at;
            break;
        }
    ASSERT_GT(used, 0u);
    struct Case {
        const char* what;
        std::function<void(std::string&, std::string&)> damage;
        bool opens;
    } cases[] = {
        {"file code", [&](std::string& m, std::string&) { put32(m, 0, 1234); }, false},
        {"truncated header", [](std::string& m, std::string&) { m.resize(60); }, false},
        {"inverted extent", [](std::string& m, std::string&) { std::swap_ranges(m.begin() + 32, m.begin() + 40, m.begin() + 48); }, false},
        {"negative shape count", [&](std::string& m, std::string&) { put32(m, 28, 0x80000000u); }, false},
        {"shape count below the bins'", [&](std::string& m, std::string&) { put32(m, 28, 10); }, false},
        {"table entry past the records", [&](std::string& m, std::string&) { put32(m, used, 100000); }, false},
        {"table entry at the table", [&](std::string& m, std::string&) { put32(m, used, 1); }, false},
        {"negative first record", [&](std::string& m, std::string&) { put32(m, used, 0xFFFFFFFFu); }, false},
        {"negative bin count", [&](std::string& m, std::string&) { put32(m, used + 4, 0xFFFFFFFFu); }, false},
        {"huge bin count", [&](std::string& m, std::string&) { put32(m, used + 4, 0x7FFFFFFF); }, false},
        {"table longer than the file", [&](std::string& m, std::string& x) { put32(m, 104, 0x7FFFFFF0); put32(x, 104, 0x7FFFFFF0); }, false},
        {"index entry past the end", [&](std::string&, std::string& x) { put32(x, 116, 0x40000000); }, false},
        {"main file cut short", [](std::string& m, std::string&) { m.resize(m.size() / 2); }, false},
        {"main file missing its last byte", [](std::string& m, std::string&) { m.resize(m.size() - 1); }, false},
        {"index file cut short", [](std::string&, std::string& x) { x.resize(x.size() - 8); }, false},
        {"index claims more entries", [&](std::string&, std::string& x) { put32(x, 24, 0x7FFFFFFF); }, true},
        {"index file empty", [](std::string&, std::string& x) { x.clear(); }, false},
        {"length of an unused record odd", [&](std::string& m, std::string& x) { put32(x, 132, 3); (void)m; }, true},
        {"intact", [](std::string&, std::string&) {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string m = sbn, x = sbx;
        c.damage(m, x);
        Put("g.sbn", m);
        Put("g.sbx", x);
        ESpatialIndex index;
        ASSERT_EQ(index.Open(u"\\g.sbn"), c.opens);
        if (!c.opens) continue;
        for (const EExtent& q : {EExtent(-122.5, 37.7, -122.4, 37.8), EExtent(-123, 37, -122.4, 38),
                                 EExtent(-122.42, 37.75, -122.42, 37.75)}) {
            ERecordSet set(663);
            const int n = index.Query(q, set);
            EXPECT_EQ(n, set.Count());
            // The candidates filtered by their boxes are exactly the brute
            // force hits, and the index narrows a small query down: one that
            // handed out every record would not pass.
            std::vector<int> hits, brute;
            for (size_t i = 0; i < boxes.size(); ++i) {
                const int record = static_cast<int>(i) + 1;
                if (!q.Intersects(boxes[i])) continue;
                brute.push_back(record);
                if (set.Contains(record)) hits.push_back(record);
            }
            EXPECT_EQ(hits, brute);
            EXPECT_FALSE(brute.empty());
            if (brute.size() < boxes.size() / 2) EXPECT_LT(n, static_cast<int>(boxes.size()));
        }
    }
}


// Damaged copies of a desktop-made shapefile with its index. Each is refused
// with the engine's error, or opens with its damage reported (or its index
// refused, so callers scan) and every shape still reachable.
TEST_F(SbnOracleTest, DamagedCopiesOfADesktopShapefile) {
    const char* exts[] = {".shp", ".shx", ".dbf", ".sbn", ".sbx"};
    std::map<std::string, std::string> good;
    for (const char* e : exts) {
        CopyIn(kShape + "blockgroups" + e, std::string("d") + e);
        good[e] = Get(std::string("d") + e);
    }
    auto put32 = [](std::string& s, size_t at, uint32_t v) {
        byte_order::StoreBe32(reinterpret_cast<uint8_t*>(s.data() + at), v);
    };
    size_t used = 0;  // the table entry of the first bin that holds features
    for (size_t at = 108; !used && at + 8 <= good[".sbn"].size(); at += 8)
        if (byte_order::LoadBe32(reinterpret_cast<const uint8_t*>(good[".sbn"].data() + at + 4)) > 0) used = at;
    ASSERT_GT(used, 0u);
    enum Outcome { kRefused, kIndexRefused, kDamageReported };
    struct Case {
        const char* what;
        const char* file;
        std::function<void(std::string&)> damage;
        Outcome outcome;
    } cases[] = {
        {"truncated .sbn", ".sbn", [](std::string& b) { b.resize(b.size() * 2 / 3); }, kIndexRefused},
        {"truncated .sbx", ".sbx", [](std::string& b) { b.resize(b.size() - 16); }, kIndexRefused},
        {"bin entry past the end", ".sbn", [&](std::string& b) { put32(b, used, 900000); }, kIndexRefused},
        {"negative bin count", ".sbn", [&](std::string& b) { put32(b, used + 4, 0xFFFFFFF0u); }, kIndexRefused},
        {"negative shape count", ".sbn", [&](std::string& b) { put32(b, 28, 0x80000000u); }, kIndexRefused},
        {".shx shorter than its header", ".shx", [](std::string& b) { b.resize(60); }, kRefused},
        {"truncated .shx", ".shx", [](std::string& b) { b.resize(b.size() / 2); }, kDamageReported},
        {"truncated .dbf", ".dbf", [](std::string& b) { b.resize(b.size() / 2); }, kDamageReported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* e : exts) Put(std::string("d") + e, good[e]);
        std::string bytes = good[c.file];
        c.damage(bytes);
        Put(std::string("d") + c.file, bytes);
        ShpHandle h = ShpOpen(u"\\d.shp", 0);
        if (c.outcome == kRefused) {
            EXPECT_EQ(h, nullptr);
            EXPECT_EQ(ShpGetError(nullptr), kShpErrHeader);
            std::printf("[ damaged  ] %-30s refused at open, engine error %d\n", c.what, ShpGetError(nullptr));
            continue;
        }
        ASSERT_NE(h, nullptr);
        CSpatialIndex index;
        const bool indexed = index.OpenForLayer(h);
        EXPECT_EQ(indexed, c.outcome != kIndexRefused);
        EXPECT_EQ(ShpIsDamaged(h), c.outcome == kDamageReported ? 1 : 0);
        if (c.outcome == kDamageReported) EXPECT_EQ(ShpGetError(h), kShpErrDamaged);
        // Every shape is reachable, through the index when it opened.
        EXPECT_EQ(ShpGetRecordCount(h), 663);
        int readable = 0;
        for (int i = 0; i < ShpGetRecordCount(h); ++i) readable += ShpReadShape(h, i) ? 1 : 0;
        EXPECT_EQ(readable, 663);
        if (indexed) {
            CDoubleRect box;
            ShpGetBounds(h, &box);
            EXPECT_EQ(index.QueryRect(box, 0), 663);
        }
        // A damaged shapefile takes no edit that could make it worse.
        if (c.outcome == kDamageReported) {
            index.Close();
            ShpClose(h);
            h = ShpOpen(u"\\d.shp", kShpReadWrite);
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(ShpAppendPointXY(h, -122.4, 37.7), -1);
            EXPECT_EQ(ShpGetError(h), kShpErrDamaged);
            EXPECT_EQ(ShpDeleteShape(h, 0, 0), 0);
        }
        ShpClose(h);
        EXPECT_EQ(Get(std::string("d") + c.file), bytes);
        std::printf("[ damaged  ] %-30s %s; %d of 663 shapes readable\n", c.what,
                    c.outcome == kIndexRefused ? "index refused, shapes scanned"
                                               : "opened, damage reported",
                    readable);
    }
}

}  // namespace
