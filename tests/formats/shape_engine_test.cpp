#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "formats/dbf/dbf_field.h"
#include "formats/shape/record_set.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/shape_extent.h"
#include "formats/shape/shp_internal.h"
#include "formats/shape/shp_visit.h"
#include "shape_test_util.h"

namespace {

const std::string kFixtures = std::string(ZN_TEST_DATA) + "/shape";

class ShapeEngineTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ShpResetForTests();
        ShpSetAbortPoll(nullptr);
    }
    void TearDown() override {
        ShpSetAbortPoll(nullptr);
        DbfRootTest::TearDown();
    }
    int64_t Size(const std::string& rel) const {
        std::error_code ec;
        const auto s = std::filesystem::file_size(Host(rel), ec);
        return ec ? -1 : static_cast<int64_t>(s);
    }
    // Builds a record of `type` with the given parts into the handle's buffer.
    ShapeRecord* Make(ShpHandle h, int type, const std::vector<std::vector<DoublePoint>>& parts,
                      double z = 0, double m = kNoDataMeasure) {
        int n = 0;
        for (auto& p : parts) n += static_cast<int>(p.size());
        const int np = IsLineOrPolygonShapeType(type) ? static_cast<int>(parts.size()) : 0;
        EXPECT_EQ(ShapeInitRecord(h, type, np, n, nullptr), 1);
        ShapeRecord* r = ShpGetShapeBuffer(h);
        int i = 0;
        for (size_t k = 0; k < parts.size(); ++k) {
            if (ShapeGetParts(r)) ShapeStoreInt(ShapeGetParts(r) + 4 * k, i);
            for (const DoublePoint& p : parts[k]) {
                ShpSetPartPoint(h, i, p.x, p.y, z + i, m == kNoDataMeasure ? m : m + i, r);
                ++i;
            }
        }
        if (ShapeGetZRange(r)) {
            ShapeStoreDouble(ShapeGetZRange(r), z);
            ShapeStoreDouble(ShapeGetZRange(r) + 8, z + n - 1);
        }
        if (ShapeGetMRange(r) && m != kNoDataMeasure) {
            ShapeStoreDouble(ShapeGetMRange(r), m);
            ShapeStoreDouble(ShapeGetMRange(r) + 8, m + n - 1);
        } else if (ShapeGetMRange(r)) {
            ShapeFillM(r, kNoDataMeasure);
        }
        ShpComputeShapeBounds(r);
        return r;
    }
};

std::vector<std::vector<DoublePoint>> PartsFor(int type) {
    if (IsPointShapeType(type)) return {{{3, 4}}};
    if (IsMultiPointShapeType(type)) return {{{1, 2}, {3, 4}, {-5, 6}}};
    if (IsPolygonShapeType(type))
        return {{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}},
                {{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}}};
    return {{{0, 0}, {1, 1}, {2, 0}}, {{5, 5}, {6, 7}}};
}

}  // namespace

TEST_F(ShapeEngineTest, NewFileAndFirstPointAreByteExact) {
    Put("old.sbn", "x");
    Put("old.ain", "x");
    ShpHandle h = ShpCreate(u"\\old.shp", kShapePoint, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(std::filesystem::exists(Host("old.sbn")));
    EXPECT_FALSE(std::filesystem::exists(Host("old.ain")));
    EXPECT_EQ(Size("old.shp"), 100);
    EXPECT_EQ(Size("old.shx"), 100);
    const std::string empty = Get("old.shp");
    EXPECT_EQ(byte_order::LoadBe32(reinterpret_cast<const uint8_t*>(empty.data()) + 24), 50u);
    ASSERT_EQ(ShpAppendPointXY(h, 3, 4), 0);
    ShpClose(h);

    const std::string shp = Get("old.shp"), shx = Get("old.shx");
    const auto* s = reinterpret_cast<const uint8_t*>(shp.data());
    const auto* x = reinterpret_cast<const uint8_t*>(shx.data());
    EXPECT_EQ(shp.size(), 128u);
    EXPECT_EQ(byte_order::LoadBe32(s + 24), 64u);
    EXPECT_EQ(byte_order::LoadBe32(x + 24), 54u);
    EXPECT_EQ(byte_order::LoadBe32(x + 100), 50u);
    EXPECT_EQ(byte_order::LoadBe32(x + 104), 10u);
    EXPECT_EQ(byte_order::LoadBe32(s + 100), 1u);
    EXPECT_EQ(byte_order::LoadBe32(s + 104), 10u);
    EXPECT_EQ(ShapeLoadDouble(s + 36), 3);
    EXPECT_EQ(ShapeLoadDouble(s + 60), 4);

    REQUIRE_TOOL("shpcreate");
    REQUIRE_TOOL("shpadd");
    RunTool("cd '" + root_ + "' && shpcreate peer point && shpadd peer 3 4");
    // Only the empty header's box and M range may differ; after the append
    // the box agrees, and the M range is this engine's no-data.
    const std::string peer = Get("peer.shp");
    EXPECT_EQ(peer.substr(100), shp.substr(100));
    EXPECT_EQ(peer.substr(0, 84), shp.substr(0, 84));
    EXPECT_EQ(Get("peer.shx").substr(24, 60), shx.substr(24, 60));
}

TEST_F(ShapeEngineTest, EveryTypeReadsBackThroughShpdumpAndOgrinfo) {
    REQUIRE_TOOL("shpdump");
    REQUIRE_TOOL("ogrinfo");
    for (int type : {1, 3, 5, 8, 11, 13, 15, 18, 21, 23, 25, 28}) {
        SCOPED_TRACE(type);
        const std::string name = "t" + std::to_string(type);
        const WString path = text::FromUtf8("\\" + name + ".shp");
        ShpHandle h = ShpCreate(path.c_str(), type, 0);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(DbfAddField(ShpGetTable(h), "NAME", 'C', 10, 0), 0);
        const double m = ShapeTypeHasM(type) ? 100 : kNoDataMeasure;
        ASSERT_EQ(ShpAppendShape(h, Make(h, type, PartsFor(type), 7, m)), 0);
        ASSERT_EQ(ShpAppendShape(h, Make(h, type, PartsFor(type), 1, kNoDataMeasure)), 1);
        for (int i = 0; i < 2; ++i) {
            DbfReadRecord(ShpGetTable(h), i);
            DbfPutText(ShpGetTable(h), 0, i ? u"second" : u"first");
            DbfWriteRecord(ShpGetTable(h), i);
        }
        ShpClose(h);

        h = ShpOpen(path.c_str(), 0);
        ASSERT_NE(h, nullptr);
        ExpectMatchesShpdump(h, Host(name + ".shp"));
        // The header's Z and M ranges were kept current on append.
        ShapeExtent e;
        ShpGetFullExtent(h, &e);
        if (ShapeTypeHasZ(type)) {
            EXPECT_EQ(e.zmin, 1);
        }
        if (ShapeTypeHasM(type)) {
            EXPECT_EQ(e.mmin, 100);
        }
        ShpClose(h);

        const std::string info = RunTool("ogrinfo -ro -al -so '" + Host(name + ".shp") + "'");
        EXPECT_NE(info.find("Feature Count: 2"), std::string::npos) << info;
        const std::string ext = IsPointShapeType(type) ? "(3.000000, 4.000000)" : "";
        if (!ext.empty()) {
            EXPECT_NE(info.find(ext), std::string::npos) << info;
        }
        const std::string all = RunTool("ogrinfo -ro -al '" + Host(name + ".shp") + "'");
        EXPECT_NE(all.find("NAME (String) = second"), std::string::npos) << all;
        const char* wkt = type == 1    ? "POINT (3 4)"
                          : type == 3  ? "MULTILINESTRING ((0 0,1 1,2 0),(5 5,6 7))"
                          : type == 5  ? "POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))"
                          : type == 8  ? "MULTIPOINT ((1 2),(3 4),(-5 6))"
                          : type == 11 ? "POINT ZM (3 4 7 100)"
                          : type == 21 ? "POINT M (3 4 100)"
                                       : "";
        if (*wkt) {
            EXPECT_NE(all.find(wkt), std::string::npos) << all;
        }
        // shpdump -validate finds no wrongly wound rings in what we wrote.
        const std::string valid = RunTool("shpdump -validate '" + Host(name + ".shp") + "'");
        EXPECT_EQ(valid.find("wrong direction"), std::string::npos) << valid;
    }
}

TEST_F(ShapeEngineTest, PublicSamplesMatchShpdump) {
    REQUIRE_TOOL("shpdump");
    struct Sample {
        const char* name;
        int type, count;
    } samples[] = {{"blockgroups", 5, 663}, {"NullTest", 1, 3},   {"balancing", 1, 7},
                   {"linez", 13, 1},        {"multipoint", 8, 1}, {"releaseArea20090407", 15, 1}};
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.name);
        for (const char* ext : {".shp", ".shx", ".dbf"})
            CopyIn(kFixtures + "/" + s.name + ext, std::string(s.name) + ext);
        const WString path = text::FromUtf8(std::string("\\") + s.name + ".shp");
        ShpHandle h = ShpOpen(path.c_str(), 0);
        ASSERT_NE(h, nullptr) << ShpGetError(nullptr);
        EXPECT_EQ(ShpGetShapeType(h), s.type);
        EXPECT_EQ(ShpGetRecordCount(h), s.count);
        ExpectMatchesShpdump(h, Host(std::string(s.name) + ".shp"));
        // The mapped walk and the reading walk agree with each other.
        std::vector<int> a, b;
        auto collect = [](ShpHandle, int i, ShapeRecord*, void* u) {
            static_cast<std::vector<int>*>(u)->push_back(i);
            return 1;
        };
        EXPECT_EQ(ShpForEachMapped(h, collect, &a, nullptr, 0, -1, 0), 1);
        EXPECT_EQ(ShpForEachRead(h, collect, &b, nullptr, 0, -1, 0), 1);
        EXPECT_EQ(a, b);
        ShpClose(h);
    }
}

TEST_F(ShapeEngineTest, GdalLinesWithoutMeasuresReadAsNoData) {
    REQUIRE_TOOL("ogr2ogr");
    Put("in.geojson",
        R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"a":1},)"
        R"("geometry":{"type":"LineString","coordinates":[[1,2,3],[4,5,6]]}},)"
        R"({"type":"Feature","properties":{"a":2},"geometry":{"type":"LineString",)"
        R"("coordinates":[[7,8,9],[10,11,12],[13,14,15]]}}]})");
    RunTool("cd '" + root_ + "' && ogr2ogr -f 'ESRI Shapefile' -dim XYZ gdal.shp in.geojson");
    ShpHandle h = ShpOpen(u"\\gdal.shp", 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ShpGetShapeType(h), kShapePolylineZ);
    // Read record 1 first into a buffer full of stale values from record 0.
    ShpReadShape(h, 0);
    ShapeRecord* r = ShpReadShape(h, 1);
    ASSERT_NE(r, nullptr);
    double p[4];
    ASSERT_EQ(ShpGetPartPointXYZM(h, 2, p, r), 2);
    EXPECT_EQ(p[2], 15);
    EXPECT_TRUE(IsNoDataMeasure(p[3]));
    EXPECT_TRUE(IsNoDataMeasure(ShapeLoadDouble(ShapeGetMRange(r))));
    // The mapped walk hands over completed records too.
    auto check = [](ShpHandle, int, ShapeRecord* s, void* u) {
        *static_cast<int*>(u) += IsNoDataMeasure(ShapeLoadDouble(ShapeGetMArray(s))) ? 1 : 0;
        return 1;
    };
    int noData = 0;
    ShpForEachMapped(h, check, &noData, nullptr, 0, -1, 0);
    EXPECT_EQ(noData, 2);
    ShpClose(h);
}

TEST_F(ShapeEngineTest, EditsKeepTheThreeFilesInStep) {
    ShpHandle h = ShpCreate(u"\\e.shp", kShapePolyline, 0);
    ASSERT_NE(h, nullptr);
    DbfAddField(ShpGetTable(h), "ID", 'N', 5, 0);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(ShpAppendSegmentXY(h, i, 0, i + 1, 1, 0, kNoDataMeasure), i);
        DbfReadRecord(ShpGetTable(h), i);
    }
    // Delete a middle record: index length 0, offset kept, count unchanged.
    const int64_t offset = ShpGetRecordOffset(h, 1);
    ASSERT_EQ(ShpDeleteShape(h, 1, 1), 1);
    EXPECT_EQ(ShpIsRecordDeleted(h, 1), 1);
    EXPECT_EQ(ShpGetRecordOffset(h, 1), offset);
    EXPECT_EQ(ShpGetRecordCount(h), 4);
    // Delete the last with truncation: all three shrink.
    const int64_t shp = Size("e.shp"), shx = Size("e.shx"), dbf = Size("e.dbf");
    ASSERT_EQ(ShpDeleteShape(h, 3, 1), 1);
    EXPECT_EQ(ShpGetRecordCount(h), 3);
    EXPECT_LT(Size("e.shp"), shp);
    EXPECT_EQ(Size("e.shx"), shx - 8);
    EXPECT_LT(Size("e.dbf"), dbf);
    // Grow a middle record: it moves to the end and the old one is deleted.
    const DoublePoint line[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
    ShapeRecord* grown = Make(h, kShapePolyline, {{line, line + 4}});
    EXPECT_EQ(ShpUpdateShape(h, 0, grown), 3);
    EXPECT_EQ(ShpIsRecordDeleted(h, 0), 1);
    // Grow the last record: it stays where it is.
    grown = Make(h, kShapePolyline, {{line, line + 4}, {line, line + 3}});
    EXPECT_EQ(ShpUpdateShape(h, 3, grown), 3);
    // An in-place update outside the header box widens it.
    ShapeRecord* far = Make(h, kShapePolyline, {{{500, 500}, {600, 700}}});
    EXPECT_EQ(ShpUpdateShape(h, 2, far), 2);
    CDoubleRect box;
    ShpGetBounds(h, &box);
    EXPECT_EQ(box.xmax, 600);
    EXPECT_EQ(box.ymax, 700);
    // Rewriting a deleted record or with another type is refused.
    EXPECT_EQ(ShpRewriteShape(h, 1, far), -1);
    EXPECT_EQ(ShpGetError(h), kShpErrDeleted);
    ShpClose(h);

    REQUIRE_TOOL("ogrinfo");
    // The summary counts rows; the listing skips the deleted ones.
    const std::string info = RunTool("ogrinfo -ro -al -so '" + Host("e.shp") + "'");
    EXPECT_NE(info.find("Feature Count: 4"), std::string::npos) << info;
    EXPECT_NE(info.find("(600.000000, 700.000000)"), std::string::npos) << info;
    const std::string all = RunTool("ogrinfo -ro -al '" + Host("e.shp") + "'");
    EXPECT_NE(all.find("LINESTRING (500 500,600 700)"), std::string::npos) << all;
    EXPECT_NE(all.find("MULTILINESTRING ((0 0,1 1,2 2,3 3),(0 0,1 1,2 2))"), std::string::npos)
        << all;
    EXPECT_EQ(all.find("OGRFeature(e):0"), std::string::npos) << all;
    EXPECT_EQ(all.find("OGRFeature(e):1"), std::string::npos) << all;
}

TEST_F(ShapeEngineTest, FailedAppendsLeaveTheFilesInStep) {
    for (int budget : {0, 4, 8, 20, 30}) {
        SCOPED_TRACE(budget);
        ShpHandle h = ShpCreate(u"\\f.shp", kShapePolygonZ, 0);
        ASSERT_NE(h, nullptr);
        DbfAddField(ShpGetTable(h), "ID", 'N', 5, 0);
        ASSERT_EQ(ShpAppendRectangle(h, CDoubleRect(0, 0, 1, 1)), 0);
        fs::test::SetWriteBudget(static_cast<uint64_t>(budget));
        EXPECT_EQ(ShpAppendRectangle(h, CDoubleRect(0, 0, 2, 2)), -1);
        EXPECT_NE(ShpGetError(h), 0);
        fs::test::Reset();
        ShpClose(h);
        h = ShpOpen(u"\\f.shp", 0);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(ShpGetRecordCount(h), 1);
        EXPECT_EQ(ShpGetIndexCount(h), 1);
        EXPECT_NE(ShpReadShape(h, 0), nullptr);
        ShpClose(h);
    }
    // A delete on a read-only handle reports failure.
    ShpHandle h = ShpOpen(u"\\f.shp", 0);
    EXPECT_EQ(ShpDeleteShape(h, 0, 0), 0);
    EXPECT_EQ(ShpIsRecordDeleted(h, 0), 0);
    ShpClose(h);
}

// The bulk count agrees with the record-by-record test, over more records
// than one block of reads holds: deleted through the engine, in the table
// alone, and a record number zeroed in the main file alone.
TEST_F(ShapeEngineTest, LiveRecordsAreCountedAsTheRecordTestTellsThem) {
    ShpHandle h = ShpCreate(u"\\many.shp", kShapePoint, 0);
    ASSERT_NE(h, nullptr);
    DbfAddField(ShpGetTable(h), "ID", 'N', 6, 0);
    const int n = 50000;  // 1.4 MB of records
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(ShpAppendPointXY(h, i, i), i);
        DbfReadRecord(ShpGetTable(h), i);
    }
    for (int i = 7; i < n; i += 997) ASSERT_EQ(ShpDeleteShape(h, i, 0), 1);
    for (int i = 11; i < n; i += 1999) DbfDeleteRecord(ShpGetTable(h), i);
    const uint8_t zero[4] = {};
    for (int i : {3, 45000}) fioWriteAt(ShpGetMainFile(h), ShpGetRecordOffset(h, i), zero, 4);
    auto oneByOne = [&] {
        int live = 0;
        for (int i = 0; i < ShpGetRecordCount(h); ++i) live += ShpIsRecordDeleted(h, i) ? 0 : 1;
        return live;
    };
    const int expected = oneByOne();
    EXPECT_LT(expected, n - 70);
    EXPECT_EQ(ShpCountLiveRecords(h), expected);
    ShpClose(h);
    h = ShpOpen(u"\\many.shp", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ShpCountLiveRecords(h), expected);
    EXPECT_EQ(oneByOne(), expected);
    ShpClose(h);
}

// A deleted record cannot be updated: in place the edit would stay invisible,
// and moved it would come back as another deleted record. Either way the
// caller would be told it worked.
TEST_F(ShapeEngineTest, UpdatesOfADeletedRecordAreRefused) {
    ShpHandle h = ShpCreate(u"\\del.shp", kShapePolyline, 0);
    ASSERT_NE(h, nullptr);
    DbfAddField(ShpGetTable(h), "ID", 'N', 5, 0);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(ShpAppendSegmentXY(h, i, 0, i + 1, 1, 0, 0), i);
    ASSERT_EQ(ShpDeleteShape(h, 0, 0), 1);
    const DoublePoint line[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
    for (bool grows : {false, true}) {
        SCOPED_TRACE(grows);
        ShapeRecord* r = grows ? Make(h, kShapePolyline, {{line, line + 4}})
                               : Make(h, kShapePolyline, {{{9, 9}, {8, 8}}});
        EXPECT_EQ(ShpUpdateShape(h, 0, r), -1);
        EXPECT_EQ(ShpGetError(h), kShpErrDeleted);
        EXPECT_EQ(ShpGetRecordCount(h), 2);
        EXPECT_EQ(ShpIsRecordDeleted(h, 0), 1);
    }
    ShpClose(h);
}

// A header that cannot be written is reported by flush and close, not lost
// silently; it stays pending, so a later flush can still write it.
TEST_F(ShapeEngineTest, FlushAndCloseReportAHeaderThatWasNotWritten) {
    ShpHandle h = ShpCreate(u"\\hf.shp", kShapePolyline, 0);
    ASSERT_NE(h, nullptr);
    ShpSetHeaderChanged(h);
    fs::test::FailNthWrite(1);
    EXPECT_EQ(ShpFlush(h), 0);
    EXPECT_EQ(ShpGetError(h), kShpErrWriteHeader);
    fs::test::Reset();
    EXPECT_EQ(ShpFlush(h), 1);
    ShpSetHeaderChanged(h);
    fs::test::FailNthWrite(1);
    EXPECT_EQ(ShpClose(h), 0);
    fs::test::Reset();
}

// A write failing anywhere in a create-like gives either a shapefile with all
// the source's fields or no files at all.
TEST_F(ShapeEngineTest, CreateLikeWithFailingWritesLeavesNoPartialCopy) {
    ShpHandle source = ShpCreate(u"\\src.shp", kShapePolyline, 0);
    ASSERT_NE(source, nullptr);
    for (const char* name : {"ID", "ROAD", "LANES"}) DbfAddField(ShpGetTable(source), name, 'N', 6, 0);
    bool sawFailure = false;
    for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        fs::test::FailNthWrite(n);
        ShpHandle like = ShpCreateLike(u"\\like.shp", source);
        fs::test::Reset();
        if (!like) {
            sawFailure = true;
            for (const char16_t* f : {u"\\like.shp", u"\\like.shx", u"\\like.dbf"})
                EXPECT_FALSE(fs::Exists(f));
            continue;
        }
        ShpClose(like);
        ShpHandle back = ShpOpen(u"\\like.shp", 0);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(DbfGetFieldCount(ShpGetTable(back)), 3);
        ShpClose(back);
        for (const char16_t* f : {u"\\like.shp", u"\\like.shx", u"\\like.dbf"}) fs::DeleteFile(f);
    }
    EXPECT_TRUE(sawFailure);
    ShpClose(source);
}

TEST_F(ShapeEngineTest, DamagedFilesGiveTheEnginesError) {
    ShpHandle h = ShpCreate(u"\\ok.shp", kShapePolyline, 0);
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < 3; ++i) ShpAppendSegmentXY(h, i, 0, i + 1, 1, 0, 0);
    ShpClose(h);
    const std::string shp = Get("ok.shp"), shx = Get("ok.shx"), dbf = Get("ok.dbf");
    auto be = [](std::string& s, size_t at, uint32_t v) {
        byte_order::StoreBe32(reinterpret_cast<uint8_t*>(&s[at]), v);
    };
    struct Case {
        const char* what;
        std::function<void(std::string&, std::string&)> damage;
    } cases[] = {
        {"truncated shp", [](std::string& s, std::string&) { s.resize(s.size() - 20); }},
        {"header longer than file", [&](std::string& s, std::string&) { be(s, 24, 100000); }},
        {"negative content length",
         [&](std::string& s, std::string&) { be(s, 188 + 4, 0xFFFFFFF0); }},
        {"content past end", [&](std::string& s, std::string&) { be(s, 276 + 4, 5000); }},
        {"index offset past end", [&](std::string&, std::string& x) { be(x, 100 + 16, 90000); }},
        {"index into header", [&](std::string&, std::string& x) { be(x, 100 + 8, 10); }},
        {"shx shorter than dbf", [](std::string&, std::string& x) { x.resize(x.size() - 8); }},
        {"point count huge", [&](std::string& s, std::string&) { be(s, 196 + 40, 0xFFFF); }},
        {"part start past points",
         [&](std::string& s, std::string&) { be(s, 196 + 44, 0x09000000); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string s = shp, x = shx;
        c.damage(s, x);
        Put("bad.shp", s);
        Put("bad.shx", x);
        Put("bad.dbf", dbf);
        h = ShpOpen(u"\\bad.shp", 0);
        ASSERT_NE(h, nullptr);
        int bad = 0;
        for (int i = 0; i < ShpGetRecordCount(h); ++i) bad += ShpReadShape(h, i) ? 0 : 1;
        const std::string what = c.what;
        if (what == "header longer than file") {
            EXPECT_EQ(bad, 0);  // the length field is not trusted
            ShpClose(h);
            continue;
        }
        if (what == "shx shorter than dbf") {
            // The cut entry is found again in `.shp`; the damage is reported.
            EXPECT_EQ(bad, 0);
            EXPECT_EQ(ShpGetRecordCount(h), 3);
            EXPECT_EQ(ShpIsDamaged(h), 1);
            EXPECT_EQ(ShpGetError(h), kShpErrDamaged);
            ShpClose(h);
            continue;
        }
        EXPECT_GT(bad, 0);
        auto any = [](ShpHandle, int, ShapeRecord*, void*) { return 1; };
        const int mapped = ShpForEachMapped(h, any, nullptr, nullptr, 0, -1, 0);
        const int read = ShpForEachRead(h, any, nullptr, nullptr, 0, -1, 0);
        if (what != "shx shorter than dbf") {
            EXPECT_EQ(mapped, 0);
            EXPECT_EQ(read, 0);
            EXPECT_EQ(ShpGetError(h), kShpErrShape);
        }
        ShpClose(h);
    }
    Put("bad.shp", std::string("\0\0\x27\x0B", 4) + shp.substr(4));
    Put("bad.shx", shx);
    EXPECT_EQ(ShpOpen(u"\\bad.shp", 0), nullptr);
    EXPECT_EQ(ShpGetError(nullptr), kShpErrFileCode);
    EXPECT_EQ(ShpOpen(u"\\v1.2\\roads", 0), nullptr);
    EXPECT_EQ(ShpGetError(nullptr), kShpErrNoExtension);
}

TEST_F(ShapeEngineTest, CreateThatFailsLeavesNothingBehind) {
    fs::test::FailPath(u"\\c.dbf", fs::kErrorAccessDenied);
    EXPECT_EQ(ShpCreate(u"\\c.shp", kShapePoint, 0), nullptr);
    EXPECT_EQ(ShpGetError(nullptr), kShpErrDbfCreate);
    EXPECT_FALSE(std::filesystem::exists(Host("c.shp")));
    EXPECT_FALSE(std::filesystem::exists(Host("c.shx")));
}

TEST_F(ShapeEngineTest, WalksSkipDeletedRecordsFilterAndStop) {
    ShpHandle h = ShpCreate(u"\\w.shp", kShapePoint, 0);
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < 5; ++i) ShpAppendPointXY(h, i, i);
    ShpDeleteShape(h, 1, 0);
    // Deleted only in the .dbf, as other programs do.
    DbfDeleteRecord(ShpGetTable(h), 3);
    std::vector<int> seen;
    auto collect = [](ShpHandle, int i, ShapeRecord*, void* u) {
        static_cast<std::vector<int>*>(u)->push_back(i);
        return 1;
    };
    ShpForEachMapped(h, collect, &seen, nullptr, 0, -1, 0);
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 4}));
    seen.clear();
    const CDoubleRect edge(2, 2, 4, 4);  // points on the edge count
    ShpForEachRead(h, collect, &seen, &edge, 0, -1, 0);
    EXPECT_EQ(seen, (std::vector<int>{2, 4}));
    seen.clear();
    const CDoubleRect miss(50, 50, 60, 60);
    EXPECT_EQ(ShpForEachMapped(h, collect, &seen, &miss, 0, -1, 0), 1);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(fioGetView(ShpGetMainFile(h)), nullptr);

    // Set visits: bit k is record index k - 1; a uniform set visits all.
    ERecordSet all(5);
    all.AddRange(0, 6);
    ShpForEachInSet(h, collect, &seen, all, 0);
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 4}));
    seen.clear();
    ERecordSet some(5);
    some.Add(1), some.Add(3), some.Add(5);
    ShpForEachInSet(h, collect, &seen, 5, 2, some.GetWords(), 0);
    EXPECT_EQ(seen, (std::vector<int>{0, 2}));
    seen.clear();
    auto stop = [](ShpHandle, int i, ShapeRecord*, void* u) {
        static_cast<std::vector<int>*>(u)->push_back(i);
        return 0;
    };
    ShpForEachInSet(h, stop, &seen, 5, 3, some.GetWords(), 0);
    EXPECT_EQ(seen, (std::vector<int>{0}));
    // An abort stops a walk after the record visited.
    seen.clear();
    ShpSetAbortPoll([] { return true; });
    ShpForEachMapped(h, collect, &seen, nullptr, 0, -1, kShpVisitPollAbort);
    EXPECT_EQ(seen.size(), 1u);
    ShpClose(h);
}

TEST_F(ShapeEngineTest, RecomputeExtentWidensAStaleBoxAndKeepsMeasures) {
    ShpHandle h = ShpCreate(u"\\x.shp", kShapePolylineM, 0);
    ASSERT_NE(h, nullptr);
    ShpAppendShape(h, Make(h, kShapePolylineM, {{{0, 0}, {1, 1}}}, 0, 5));
    ShpAppendShape(h, Make(h, kShapePolylineM, {{{2, 2}, {30, 40}}}, 0, 8));
    // Make the header stale, as another program might leave it.
    ShapeExtent stale{0, 0, 1, 1, 0, 0, kNoDataMeasure, kNoDataMeasure};
    memcpy(ShpGetHeader(h) + 36, &stale, sizeof stale);
    ASSERT_EQ(ShpRecomputeExtent(h, 1), 1);
    ShapeExtent e;
    ShpGetFullExtent(h, &e);
    EXPECT_EQ(e.xmax, 30);
    EXPECT_EQ(e.ymax, 40);
    EXPECT_EQ(e.mmin, 5);
    EXPECT_EQ(e.mmax, 9);
    // A header that cannot be written is a failure, not a recomputed extent.
    fs::test::FailNthWrite(1);
    EXPECT_EQ(ShpRecomputeExtent(h, 0), 0);
    EXPECT_EQ(ShpGetError(h), kShpErrWriteHeader);
    fs::test::Reset();
    ShpClose(h);
    h = ShpOpen(u"\\x.shp", 0);
    EXPECT_EQ(ShpRecomputeExtent(h, 1), 0);  // read-only: no writes into the file
    EXPECT_EQ(ShpRecomputeExtent(h, 0), 1);
    ShpClose(h);
    REQUIRE_TOOL("shpdump");
    EXPECT_NE(Shpdump(Host("x.shp")).find("to  (30,40,0,9)"), std::string::npos);
}

TEST_F(ShapeEngineTest, OutOfOrderFileKeepsIndexOrder) {
    // Record 0 rewritten at the end of .shp, as some programs do.
    ShpHandle h = ShpCreate(u"\\o.shp", kShapePoint, 0);
    for (int i = 0; i < 3; ++i) ShpAppendPointXY(h, i, i);
    ShpClose(h);
    std::string shp = Get("o.shp"), shx = Get("o.shx");
    std::string moved = shp.substr(100, 28);
    ShapeStoreDouble(&moved[12], 9);  // x of the new copy
    shp += moved;
    byte_order::StoreBe32(reinterpret_cast<uint8_t*>(&shp[24]),
                        static_cast<uint32_t>(shp.size() / 2));
    byte_order::StoreBe32(reinterpret_cast<uint8_t*>(&shx[100]), 100 / 2 + 3 * 14);
    Put("o.shp", shp);
    Put("o.shx", shx);
    h = ShpOpen(u"\\o.shp", kShpReadWrite);
    std::vector<double> xs;
    auto collect = [](ShpHandle, int, ShapeRecord* r, void* u) {
        static_cast<std::vector<double>*>(u)->push_back(ShapeLoadDouble(ShapeBytes(r) + 4));
        return 1;
    };
    ShpForEachMapped(h, collect, &xs, nullptr, 0, -1, 0);
    EXPECT_EQ(xs, (std::vector<double>{9, 1, 2}));
    // Truncating the last record keeps record 0's copy stored after it.
    ASSERT_EQ(ShpTruncateLast(h), 1);
    ASSERT_NE(ShpReadShape(h, 0), nullptr);
    EXPECT_EQ(ShapeLoadDouble(ShapeBytes(ShpGetShapeBuffer(h)) + 4), 9);
    ShpClose(h);
}

// Cutting the last record fails cleanly at any write: the three files keep
// the same records (all of them, byte for byte, or all but the last).
TEST_F(ShapeEngineTest, TruncateLastFailuresKeepTheFilesInStep) {
    for (int n = 1; n < 20; ++n) {
        SCOPED_TRACE(n);
        ShpHandle h = ShpCreate(u"\\t.shp", kShapePoint, 0);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(DbfAddField(ShpGetTable(h), u"N", 'N', 4, 0), 0);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(ShpAppendPointXY(h, i, i), i);
            DbfBlankRecord(ShpGetTable(h));
            DbfPutNumber(ShpGetTable(h), 0, i + 10);
            ASSERT_EQ(DbfWriteRecord(ShpGetTable(h), i), 1);
        }
        ShpClose(h);
        const std::string files[3] = {Get("t.shp"), Get("t.shx"), Get("t.dbf")};
        h = ShpOpen(u"\\t.shp", kShpReadWrite);
        ASSERT_NE(h, nullptr);
        fs::test::FailNthWrite(n);
        const int ok = ShpTruncateLast(h);
        fs::test::Reset();
        ShpClose(h);
        h = ShpOpen(u"\\t.shp", 0);
        ASSERT_NE(h, nullptr);
        const int count = ShpGetRecordCount(h);
        EXPECT_EQ(ShpGetIndexCount(h), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_NE(ShpReadShape(h, i), nullptr);
            EXPECT_EQ(DbfReadRecord(ShpGetTable(h), i), 1);
            EXPECT_EQ(DbfGetNumber(ShpGetTable(h), 0), i + 10);
        }
        ShpClose(h);
        if (ok) {
            EXPECT_EQ(count, 2);
            break;
        }
        if (count == 3) {
            EXPECT_EQ(Get("t.shp"), files[0]);
            EXPECT_EQ(Get("t.shx"), files[1]);
        } else {
            EXPECT_EQ(count, 2);
        }
    }
}

// A process appending points is killed at random moments: every time, the
// files open in shpdump and ogrinfo with the record count our engine gives,
// and the last record is whole (x = n, y = 2n for record n).
TEST_F(ShapeEngineTest, KilledAppendLeavesFilesEveryReaderAgreesOn) {
    REQUIRE_TOOL("shpdump");
    REQUIRE_TOOL("ogrinfo");
    ShpHandle h = ShpCreate(u"\\\\k.shp", kShapePoint, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(DbfAddField(ShpGetTable(h), u"N", 'N', 9, 0), 0);
    ShpClose(h);
    std::mt19937 random(16);
    int grew = 0, last = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        // The child says when its first record is whole, so a busy machine
        // that is slow to start it still kills it in the middle of appending.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            ShpHandle w = ShpOpen(u"\\\\k.shp", kShpReadWrite);
            if (!w) _exit(2);
            for (int n = ShpGetRecordCount(w);; ++n) {
                if (ShpAppendPointXY(w, n, 2.0 * n) != n) {
                    // Say why, so that a failure shows the engine's reason.
                    std::fprintf(stderr, "append %d: error %d, %s; shp/shx/dbf counts %d/%d/%d\n", n,
                                 ShpGetError(w), text::ToUtf8(ShpGetErrorText(w)).c_str(),
                                 ShpGetRecordCount(w), ShpGetIndexCount(w),
                                 DbfGetRecordCount(ShpGetTable(w)));
                    _exit(3);
                }
                DbfBlankRecord(ShpGetTable(w));
                DbfPutNumber(ShpGetTable(w), 0, n);
                if (!DbfWriteRecord(ShpGetTable(w), n)) _exit(4);
                if (ready[1] >= 0) {
                    if (write(ready[1], "r", 1) != 1) _exit(5);
                    close(ready[1]);
                    ready[1] = -1;
                }
            }
        }
        close(ready[1]);
        char byte = 0;
        const ssize_t got = read(ready[0], &byte, 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << status;
        ASSERT_EQ(got, 1) << "the child wrote no record";

        h = ShpOpen(u"\\\\k.shp", 0);
        ASSERT_NE(h, nullptr);
        const int count = ShpGetRecordCount(h);
        if (count > 0) {
            ShapeRecord* r = ShpReadShape(h, count - 1);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(ShapeLoadDouble(ShapeBytes(r) + 4), count - 1);
            EXPECT_EQ(ShapeLoadDouble(ShapeBytes(r) + 12), 2.0 * (count - 1));
            ASSERT_EQ(DbfReadRecord(ShpGetTable(h), count - 1), 1);
            if (count - 2 >= last) {
                // The row is filled in after its append; the one before is
                // whole when this round appended it (a row left blank by the
                // child killed last round stays blank).
                ASSERT_EQ(DbfReadRecord(ShpGetTable(h), count - 2), 1);
                EXPECT_EQ(DbfGetNumber(ShpGetTable(h), 0), count - 2);
            }
        }
        ShpClose(h);
        if (count > last) ++grew;
        last = count;

        const std::string dump = RunTool("shpdump '" + Host("k.shp") + "' 2>&1");
        const size_t at = dump.find("# of Shapes: ");
        ASSERT_NE(at, std::string::npos) << dump.substr(0, 300);
        EXPECT_EQ(atoi(dump.c_str() + at + 13), count);
        if (count > 0) {
            const std::string tail = dump.substr(dump.rfind("Shape:"));
            EXPECT_NE(tail.find("Shape:" + std::to_string(count - 1)), std::string::npos) << tail;
            char want[64];
            std::snprintf(want, sizeof want, "(%.15g,", static_cast<double>(count - 1));
            EXPECT_NE(tail.find(want), std::string::npos) << tail;
        }
        const std::string info = RunTool("ogrinfo -ro -so -al '" + Host("k.shp") + "' 2>&1");
        const size_t fc = info.find("Feature Count: ");
        ASSERT_NE(fc, std::string::npos) << info;
        EXPECT_EQ(atoi(info.c_str() + fc + 15), count);
    }
    EXPECT_GT(grew, 10);
}

// Only what a killed append of ours leaves is cut back: a table with a row
// more than the shapes, or a `.shx` that counts an entry more than the
// table, is refused and kept as it is.
TEST_F(ShapeEngineTest, AppendNeverCutsWhatOthersWrote) {
    ShpHandle h = ShpCreate(u"\\o.shp", kShapePoint, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ShpAppendPointXY(h, 1, 1), 0);
    ASSERT_EQ(ShpAppendPointXY(h, 2, 2), 1);
    ASSERT_EQ(DbfWriteRecord(ShpGetTable(h), kDbfAppend), 1);  // a row without a shape
    EXPECT_EQ(ShpGetRecordCount(h), 2);
    EXPECT_EQ(ShpAppendPointXY(h, 3, 3), -1);
    EXPECT_EQ(ShpGetError(h), kShpErrFileLimit);
    EXPECT_EQ(DbfGetRecordCount(ShpGetTable(h)), 3);
    ShpClose(h);

    // A table one row short of a counted `.shx`.
    h = ShpCreate(u"\\p.shp", kShapePoint, 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(ShpAppendPointXY(h, i, i), i);
    ShpClose(h);
    const std::string pshx = Get("p.shx");
    // A `.shx` length left stale by another writer by more than one record
    // hides nothing.
    std::string stale = pshx;
    byte_order::StoreBe32(reinterpret_cast<uint8_t*>(&stale[24]), 50);
    Put("p.shx", stale);
    h = ShpOpen(u"\\p.shp", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ShpGetRecordCount(h), 3);
    ShpClose(h);
    Put("p.shx", pshx);
    h = ShpOpen(u"\\p.shp", kShpReadWrite);
    ASSERT_EQ(DbfSetRecordCount(ShpGetTable(h), 2), 1);
    const std::string cut = Get("p.dbf");
    EXPECT_EQ(ShpAppendPointXY(h, 9, 9), -1);
    ShpClose(h);
    EXPECT_EQ(Get("p.shx"), pshx);
    EXPECT_EQ(Get("p.dbf"), cut);
}

TEST_F(ShapeEngineTest, FilesFromOtherProgramsReadCorrectly) {
    REQUIRE_TOOL("shpadd");
    REQUIRE_TOOL("ogr2ogr");
    REQUIRE_TOOL("shpdump");
    const char* made[][2] = {
        {"point", "1 2"},
        {"arc", "0 0 1 1 2 0 + 5 5 6 7"},
        {"polygon", "0 0 0 10 10 10 10 0 0 0 + 2 2 4 2 4 4 2 4 2 2"},
        {"multipoint", "1 2 3 4 -5 6"},
        {"arcm", "-m 0 0 7 1 1 8 + 2 2 9 3 3 10"},
        {"polygonz", "-z 0 0 1 0 5 2 5 5 3 0 0 1"},
        {"multipointz", "-zm 1 1 2 3 4 4 5 6"},
    };
    int k = 0;
    for (const auto& m : made) {
        const std::string name = "s" + std::to_string(k++);
        SCOPED_TRACE(m[0]);
        RunTool("cd '" + root_ + "' && shpcreate " + name + " " + m[0] + " && shpadd " + name +
                " " + m[1] + " && shpadd " + name + " " + m[1]);
        // shpcreate makes no table: give it one row per shape.
        DbfHandle t = DbfCreate(text::FromUtf8("\\" + name + ".dbf").c_str(), 0);
        DbfAddField(t, "ID", 'N', 4, 0);
        DbfSetRecordCount(t, 2);
        DbfClose(t);
        ShpHandle h = ShpOpen(text::FromUtf8("\\" + name + ".shp").c_str(), 0);
        ASSERT_NE(h, nullptr) << ShpGetError(nullptr);
        EXPECT_EQ(ShpGetRecordCount(h), 2);
        ExpectMatchesShpdump(h, Host(name + ".shp"));
        ShpClose(h);
    }
    const char* wkt[] = {
        "LINESTRING ZM (1 2 3 4,5 6 7 8)",
        "POINT M (1 2 4)",
        "POINT ZM (1 2 3 4)",
        "POLYGON Z ((0 0 1,0 10 2,10 10 3,10 0 4,0 0 1),(2 2 5,4 2 6,4 4 7,2 4 8,2 2 5))",
        "MULTIPOINT Z ((1 2 3),(4 5 6))",
        "MULTILINESTRING M ((0 0 1,1 1 2),(5 5 3,6 6 4))",
    };
    for (const char* w : wkt) {
        SCOPED_TRACE(w);
        Put("g.csv", std::string("id,wkt\n1,\"") + w + "\"\n");
        std::filesystem::remove(Host("g.shp"));
        RunTool("cd '" + root_ +
                "' && rm -f g.shp g.shx g.dbf && ogr2ogr -f 'ESRI Shapefile' g.shp g.csv -oo "
                "GEOM_POSSIBLE_NAMES=wkt -oo KEEP_GEOM_COLUMNS=NO 2>&1");
        ShpHandle h = ShpOpen(u"\\g.shp", 0);
        ASSERT_NE(h, nullptr) << ShpGetError(nullptr);
        ExpectMatchesShpdump(h, Host("g.shp"));
        ShpClose(h);
    }
}

// Seeded points on vertex rows against SpatiaLite's ST_Contains (through
// GDAL's SQLite dialect) on the same polygons, boundary points left out.
TEST_F(ShapeEngineTest, ContainmentAgreesWithSpatiaLite) {
    REQUIRE_TOOL("ogrinfo");
    const std::string probe =
        RunTool("ogrinfo :memory: -dialect SQLite -sql \"SELECT spatialite_version()\" 2>&1");
    ASSERT_NE(probe.find("spatialite_version"), std::string::npos)
        << "GDAL without SpatiaLite: run tools/setup\n" << probe;
    std::filesystem::create_directory(Host("sl"));
    ShpHandle polys = ShpCreate(u"\\sl\\poly.shp", kShapePolygon, 0);
    DbfAddField(ShpGetTable(polys), "ID", 'N', 5, 0);
    const std::vector<std::vector<std::vector<DoublePoint>>> shapes = {
        {{{0, 1}, {1, 2}, {2, 1}, {1, 0}, {0, 1}}},                       // clockwise diamond
        {{{4, 1}, {5, 0}, {6, 1}, {5, 2}, {4, 1}}},                       // anticlockwise
        {{{7, 1}, {8, 3}, {10, 3}, {11, 1}, {10, -1}, {8, -1}, {7, 1}}},  // hexagon
        {{{0, 4}, {0, 12}, {8, 12}, {8, 4}, {0, 4}}, {{2, 6}, {5, 6}, {5, 9}, {2, 9}, {2, 6}}},
    };
    for (const auto& s : shapes) ASSERT_GE(ShpAppendShape(polys, Make(polys, kShapePolygon, s)), 0);
    ShpHandle pts = ShpCreate(u"\\sl\\pts.shp", kShapePoint, 0);
    DbfAddField(ShpGetTable(pts), "ID", 'N', 5, 0);
    std::mt19937 rng(2026);
    std::vector<DoublePoint> points;
    for (int i = 0; i < 1000; ++i) {
        // Integer rows meet the vertices; quarter columns miss the vertical edges.
        const DoublePoint p{static_cast<int>(rng() % 48) * 0.25 - 0.375,
                            static_cast<double>(static_cast<int>(rng() % 15) - 2)};
        points.push_back(p);
        ShpAppendPointXY(pts, p.x, p.y);
    }
    ShpClose(pts);

    const std::string out =
        RunTool("ogrinfo '" + Host("sl") +
                "' -q -dialect SQLite -sql \"SELECT pts.rowid AS p, poly.rowid AS g, "
                "ST_Contains(poly.geometry, pts.geometry) AS c FROM pts, poly\"");
    std::istringstream in(out);
    std::string line;
    int p = -1, g = -1, compared = 0;
    while (std::getline(in, line)) {
        if (sscanf(line.c_str(), "  p (Integer) = %d", &p) == 1) continue;
        if (sscanf(line.c_str(), "  g (Integer) = %d", &g) == 1) continue;
        int c;
        if (sscanf(line.c_str(), "  c (Integer) = %d", &c) != 1) continue;
        ShapeRecord* r = ShpReadShape(polys, g);
        ASSERT_NE(r, nullptr);
        const DoublePoint q = points[static_cast<size_t>(p)];
        if (DistanceToShape(q, r) < 1e-12) continue;  // on the boundary
        EXPECT_EQ(PointInShape(q, r), c) << q.x << "," << q.y << " in " << g;
        ++compared;
    }
    EXPECT_GT(compared, 3000);
    ShpClose(polys);
}

// Features as GDAL lists them (deleted rows left out): "ID|WKT" lines.
std::vector<std::string> OgrFeatures(const std::string& hostShp) {
    int status = -1;
    const std::string out = RunTool("ogrinfo -ro -al -q '" + hostShp + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<std::string> features;
    std::istringstream in(out);
    std::string line, id;
    while (std::getline(in, line)) {
        if (line.rfind("  ID (Integer) = ", 0) == 0) id = line.substr(17);
        if (line.rfind("  LINESTRING", 0) == 0) features.push_back(id + "|" + line.substr(2));
    }
    return features;
}

// Every write of an append, an update (same size, smaller, larger in the
// middle, larger at the end) and a delete fails in turn: the call reports
// the failure and the three files are byte for byte as before, the table's
// date of last update (set in the past here) too. The first run without a
// failure gives exactly the edit, as GDAL reads it.
TEST_F(ShapeEngineTest, FailedWriteAtEachStepLeavesTheFilesAsTheyWere) {
    REQUIRE_TOOL("ogrinfo");
    enum Op { kAppend, kSameSize, kSmaller, kGrowMiddle, kGrowLast, kDelete };
    const std::vector<DoublePoint> two = {{9, 9}, {8, 8}};
    const std::vector<DoublePoint> five = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}};
    const std::string r0 = "0|LINESTRING (0 0,1 1)", r1 = "1|LINESTRING (1 0,2 1,3 2)",
                      r2 = "2|LINESTRING (2 0,3 1,4 2,5 3)",
                      line2 = "LINESTRING (9 9,8 8)",
                      line5 = "LINESTRING (0 0,1 1,2 2,3 3,4 4)";
    const struct {
        Op op;
        std::vector<std::string> expected;
    } cases[] = {
        {kAppend, {r0, r1, r2, "0|" + line5}},
        {kSameSize, {"0|" + line2, r1, r2}},
        {kSmaller, {r0, r1, "2|" + line2}},
        {kGrowMiddle, {r0, r2, "1|" + line5}},
        {kGrowLast, {r0, r1, "2|" + line5}},
        {kDelete, {r0, r2}},
    };
    const char* const files[] = {"d.shp", "d.shx", "d.dbf"};
    for (const auto& c : cases) {
        bool done = false;
        for (int n = 1; n <= 30 && !done; ++n) {
            SCOPED_TRACE(testing::Message() << "op " << c.op << " write " << n);
            ShpHandle h = ShpCreate(u"\\d.shp", kShapePolyline, 0);
            ASSERT_NE(h, nullptr);
            ASSERT_EQ(DbfAddField(ShpGetTable(h), "ID", 'N', 5, 0), 0);
            for (int i = 0; i < 3; ++i) {
                std::vector<DoublePoint> line;
                for (int k = 0; k < i + 2; ++k) line.push_back({double(i + k), double(k)});
                ASSERT_EQ(ShpAppendShape(h, Make(h, kShapePolyline, {line})), i);
                DbfPutInteger(ShpGetTable(h), 0, i);
                ASSERT_EQ(DbfWriteRecord(ShpGetTable(h), i), 1);
            }
            ASSERT_EQ(ShpClose(h), 1);
            std::string table = Get("d.dbf");
            table.replace(1, 3, "\x65\x01\x02");  // 2001-01-02
            Put("d.dbf", table);
            std::vector<std::string> before;
            for (const char* f : files) before.push_back(Get(f));

            h = ShpOpen(u"\\d.shp", kShpReadWrite);
            ASSERT_NE(h, nullptr);
            ShapeRecord* r =
                Make(h, kShapePolyline,
                     {c.op == kSameSize || c.op == kSmaller ? two : five});
            int result = 0;
            fs::test::FailNthWrite(n, fs::kErrorDiskFull);
            switch (c.op) {
                case kAppend: result = ShpAppendShape(h, r) == 3; break;
                case kSameSize: result = ShpUpdateShape(h, 0, r) == 0; break;
                case kSmaller: result = ShpUpdateShape(h, 2, r) == 2; break;
                case kGrowMiddle: result = ShpUpdateShape(h, 1, r) == 3; break;
                case kGrowLast: result = ShpUpdateShape(h, 2, r) == 2; break;
                case kDelete: result = ShpDeleteShape(h, 1, 0); break;
            }
            // Whether the fault was reached: the countdown is used up.
            const bool faulted = fs::test::WriteFaultPending() == false;
            fs::test::Reset();
            if (c.op == kAppend && result) {
                DbfPutInteger(ShpGetTable(h), 0, 0);
                ASSERT_EQ(DbfWriteRecord(ShpGetTable(h), 3), 1);
            }
            const int closed = ShpClose(h);
            if (faulted) {
                EXPECT_EQ(result, 0) << "a failed write reported as success";
                EXPECT_EQ(closed, 1);
                for (size_t f = 0; f < 3; ++f) EXPECT_EQ(Get(files[f]), before[f]) << files[f];
                continue;
            }
            done = true;
            ASSERT_EQ(result, 1);
            EXPECT_EQ(closed, 1);
            EXPECT_EQ(OgrFeatures(Host("d.shp")), c.expected);
            // shpdump and dbfdump list every record, as we read them.
            // shpdump stops at a deleted record (its index entry keeps the
            // offset with length 0), which GDAL reads above.
            h = ShpOpen(u"\\d.shp", 0);
            ASSERT_NE(h, nullptr);
            if (c.op != kGrowMiddle && c.op != kDelete) ExpectMatchesShpdump(h, Host("d.shp"));
            std::string ours;
            for (int i = 0; i < DbfGetRecordCount(ShpGetTable(h)); ++i) {
                ASSERT_EQ(DbfReadRecord(ShpGetTable(h), i), 1);
                ours += "ID: " + std::to_string(DbfGetInteger(ShpGetTable(h), 0)) + "\n";
            }
            ShpClose(h);
            std::string theirs;
            std::istringstream dump(RunTool("dbfdump -m '" + Host("d.dbf") + "' 2>&1"));
            for (std::string line; std::getline(dump, line);)
                if (line.rfind("ID:", 0) == 0) theirs += "ID: " + std::to_string(atoi(line.c_str() + 3)) + "\n";
            EXPECT_EQ(theirs, ours);
            EXPECT_GT(n, 1) << "the edit needs at least one write";
        }
        EXPECT_TRUE(done);
    }
}

namespace {

// A create over an old shapefile that fails at any write, flush or file
// name leaves every old file (and nothing else) as it was; a create that
// goes through replaces the shapes, the table and the index under the old
// names.
TEST_F(ShapeEngineTest, CreateOverAShapefileThatFailsKeepsTheOldOne) {
    REQUIRE_TOOL("shpdump");
    REQUIRE_TOOL("dbfdump");
    auto snapshot = [this] {
        std::vector<std::pair<std::string, std::string>> files;
        for (const std::string& name : HostList(""))
            files.emplace_back(name, name == "src" ? "" : Get(name));
        return files;
    };
    // The source of the fields copied by ShpCreateLike.
    std::filesystem::create_directory(Host("src"));
    ShpHandle source = ShpCreate(u"\\src\\s.shp", kShapePoint, 0);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(DbfAddField(ShpGetTable(source), "NAME", 'C', 12, 0), 0);
    ASSERT_EQ(DbfAddField(ShpGetTable(source), "SIZE", 'N', 6, 2), 1);
    enum Fault { kWrite, kFlush };
    for (const bool like : {false, true}) {
        for (const Fault fault : {kWrite, kFlush}) {
            bool done = false;
            for (int n = 1; n <= 40 && !done; ++n) {
                SCOPED_TRACE(testing::Message() << (like ? "like" : "create") << " fault "
                                                << fault << " at " << n);
                ShpHandle h = ShpCreate(u"\\d.shp", kShapePolyline, 0);
                ASSERT_NE(h, nullptr);
                ASSERT_EQ(DbfAddField(ShpGetTable(h), "ID", 'N', 5, 0), 0);
                for (int i = 0; i < 3; ++i) {
                    ASSERT_EQ(ShpAppendShape(h, Make(h, kShapePolyline, {{{0, 0}, {1.0 + i, 1}}})), i);
                    DbfPutInteger(ShpGetTable(h), 0, i);
                    ASSERT_EQ(DbfWriteRecord(ShpGetTable(h), i), 1);
                }
                ASSERT_EQ(ShpClose(h), 1);
                Put("d.sbn", "old index");
                Put("d.sbx", "old index entries");
                const auto before = snapshot();

                if (fault == kWrite) fs::test::FailNthWrite(n);
                if (fault == kFlush) fs::test::FailNthFlush(n);
                // Another letter case: the old names are kept.
                h = like ? ShpCreateLike(u"\\D.SHP", source) : ShpCreate(u"\\D.SHP", kShapePoint, 0);
                const bool faulted =
                    fault == kWrite ? !fs::test::WriteFaultPending() : h == nullptr;
                fs::test::Reset();
                if (faulted) {
                    EXPECT_EQ(h, nullptr) << "a failed create reported as success";
                    if (h) ShpClose(h);
                    EXPECT_EQ(snapshot(), before);
                    continue;
                }
                done = true;
                ASSERT_NE(h, nullptr);
                ASSERT_EQ(ShpClose(h), 1);
                EXPECT_EQ(HostList(""), (std::vector<std::string>{"d.dbf", "d.shp", "d.shx", "src"}));
                const std::string shapes = Shpdump(Host("d.shp"));
                EXPECT_NE(shapes.find("Shapefile Type: Point   # of Shapes: 0"), std::string::npos)
                    << shapes;
                const std::string table = RunTool("dbfdump -h '" + Host("d.dbf") + "' 2>&1");
                EXPECT_EQ(table.find("ID"), std::string::npos) << table;
                EXPECT_EQ(table.find("NAME") != std::string::npos, like) << table;
                EXPECT_EQ(table.find("SIZE") != std::string::npos, like) << table;
            }
            EXPECT_TRUE(done);
        }
    }
    ShpClose(source);
    // A file that cannot be moved aside stops the create with its own error.
    const struct {
        const char16_t* held;
        int error;
    } held[] = {{u"\\d.shp", kShpErrShpCreate}, {u"\\d.shx", kShpErrShxCreate},
                {u"\\d.dbf", kShpErrDbfCreate}, {u"\\d.sbx", kShpErrShpCreate}};
    ShpClose(ShpCreate(u"\\d.shp", kShapePoint, 0));
    Put("d.sbn", "old index");
    Put("d.sbx", "old index entries");
    const auto before = snapshot();
    for (const auto& c : held) {
        fs::test::FailPath(c.held, fs::kErrorSharingViolation);
        EXPECT_EQ(ShpCreate(u"\\d.shp", kShapePolyline, 0), nullptr);
        EXPECT_EQ(ShpGetError(nullptr), c.error);
        fs::test::Reset();
        EXPECT_EQ(snapshot(), before);
    }
}

}  // namespace
