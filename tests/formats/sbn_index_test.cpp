// The spatial bin index: the golden pair written by a desktop GIS, the
// builder's bin placement and record splitting, and queries.
#include "formats/shape/sbn_index.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/file_stream.h"
#include "formats/shape/record_set.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/spatial_index.h"
#include "shape_test_util.h"

namespace {

const std::string kShape = std::string(ZN_TEST_DATA) + "/shape/";

class SbnTest : public DbfRootTest {
protected:
    void CopySet(const std::string& title, std::initializer_list<const char*> exts) {
        for (const char* e : exts) CopyIn(kShape + title + e, title + e);
    }
    static std::string Read(const std::string& host) {
        std::ifstream in(host, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// Rebuilding blockgroups gives the desktop tool's files byte for byte: this
// pins quantisation, bin choice, merging, chain order, record splitting and
// both headers.
TEST_F(SbnTest, RebuildMatchesDesktopToolBytes) {
    CopySet("blockgroups", {".shp", ".shx", ".dbf"});
    ShpHandle h = ShpOpen(u"\\blockgroups.shp", 0);
    ASSERT_NE(h, nullptr);
    CSpatialIndex index;
    ASSERT_TRUE(index.Rebuild(h));
    ShpClose(h);
    const std::string sbn = Get("blockgroups.sbn"), sbx = Get("blockgroups.sbx");
    const std::string goldSbn = Read(kShape + "blockgroups.sbn");
    const std::string goldSbx = Read(kShape + "blockgroups.sbx");
    ASSERT_EQ(sbn.size(), goldSbn.size());
    ASSERT_EQ(sbx.size(), goldSbx.size());
    for (size_t i = 0; i < sbn.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(sbn[i]), static_cast<uint8_t>(goldSbn[i]))
            << "sbn byte " << i;
    for (size_t i = 0; i < sbx.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(sbx[i]), static_cast<uint8_t>(goldSbx[i]))
            << "sbx byte " << i;
}

}  // namespace

namespace {

uint32_t BE(const std::string& s, size_t at) {
    return byte_order::LoadBe32(reinterpret_cast<const uint8_t*>(s.data() + at));
}

// Bin table entry b (1-based) of an .sbn written by us: (first record, count).
std::pair<uint32_t, uint32_t> TableEntry(const std::string& sbn, int b) {
    const size_t at = 108 + 8 * static_cast<size_t>(b - 1);
    return {BE(sbn, at), BE(sbn, at + 4)};
}

TEST(SbnBuilder, LevelsGrowWithTheShapeCount) {
    struct {
        int shapes, levels;
    } cases[] = {{0, 2},
                 {1, 2},
                 {24, 2},
                 {25, 3},
                 {56, 3},
                 {57, 4},
                 {663, 7},
                 {8 * ((1 << 18) - 1), 18},
                 {8 * ((1 << 18) - 1) + 1, 19},
                 {100000000, 19}};
    for (auto c : cases) EXPECT_EQ(ESpatialIndexBuilder::LevelsFor(c.shapes), c.levels) << c.shapes;
}

TEST(SbnBuilder, BinPlacementWithTwoLevels) {
    ESpatialIndexBuilder b(24, EExtent(0, 0, 255, 255));
    ASSERT_EQ(b.GetLevels(), 2);
    struct {
        uint8_t rect[4];
        int bin;
    } cases[] = {{{129, 0, 200, 10}, 2}, {{0, 0, 128, 10}, 3}, {{100, 0, 200, 10}, 1}};
    for (auto& c : cases) EXPECT_EQ(b.FindBin(c.rect), c.bin);
}

TEST(SbnBuilder, QuantisationClampsAndHandlesZeroWidth) {
    // A zero-width extent (points on one vertical line) uses the full grid.
    ESpatialIndexBuilder line(3, EExtent(5, 0, 5, 100));
    uint8_t r[4];
    line.Quantise(EExtent(5, 50, 5, 50), r);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[2], 1);
    EXPECT_EQ(r[1], 127);
    EXPECT_EQ(r[3], 128);
    ESpatialIndexBuilder b(3, EExtent(0, 0, 1, 1));
    b.Quantise(EExtent(0, 0, 1, 1), r);
    EXPECT_EQ((std::vector<int>{r[0], r[1], r[2], r[3]}), (std::vector<int>{0, 0, 255, 255}));
    // Outside the extent, inverted, NaN, or past the announced count: refused.
    EXPECT_FALSE(b.AddShape(1, EExtent(-1, 0, 0.5, 0.5)));
    EXPECT_FALSE(b.AddShape(1, EExtent(0.6, 0, 0.5, 0.5)));
    EXPECT_FALSE(b.AddShape(1, EExtent(NAN, 0, 0.5, 0.5)));
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(b.AddShape(i, EExtent(0, 0, 0.5, 0.5)));
    EXPECT_FALSE(b.AddShape(4, EExtent(0, 0, 0.5, 0.5)));
}

class SbnWriteTest : public SbnTest {};

TEST_F(SbnWriteTest, LargeBinsSplitIntoRecordsOfAHundred) {
    ESpatialIndexBuilder b(250, EExtent(0, 0, 255, 255));
    for (int i = 1; i <= 250; ++i) ASSERT_TRUE(b.AddShape(i, EExtent(0, 0, 255, 255)));
    b.Write(u"\\big.sbn");
    const std::string sbn = Get("big.sbn"), sbx = Get("big.sbx");
    EXPECT_EQ(BE(sbn, 28), 250u);
    EXPECT_EQ(BE(sbn, 104), 4u);  // one table entry (8 bytes = 4 words)
    EXPECT_EQ(TableEntry(sbn, 1), std::make_pair(2u, 250u));
    ASSERT_EQ(sbx.size(), 100u + 4 * 8);
    EXPECT_EQ(BE(sbx, 108 + 4), 400u);  // 100 features
    EXPECT_EQ(BE(sbx, 116 + 4), 400u);
    EXPECT_EQ(BE(sbx, 124 + 4), 200u);  // 50 features
    ESpatialIndex index;
    ASSERT_TRUE(index.Open(u"\\big.sbn"));
    ERecordSet set(250);
    EXPECT_EQ(index.Query(EExtent(10, 10, 11, 11), set), 250);
    EXPECT_EQ(set.Count(), 250);
}

TEST_F(SbnWriteTest, SparseSiblingsMergeIntoTheirParent) {
    // Three levels; bin 2 is the upper x half, its children 4 (upper y) and 5.
    for (int parentShapes : {2, 3}) {
        ESpatialIndexBuilder b(25, EExtent(0, 0, 255, 255));
        ASSERT_EQ(b.GetLevels(), 3);
        int n = 0;
        for (int i = 0; i < parentShapes; ++i)
            ASSERT_TRUE(b.AddShape(++n, EExtent(200, 100, 209, 200)));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(b.AddShape(++n, EExtent(200, 200, 209, 209)));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(b.AddShape(++n, EExtent(200, 10, 209, 19)));
        b.Write(u"\\m.sbn");
        const std::string sbn = Get("m.sbn");
        if (parentShapes == 2) {
            EXPECT_EQ(BE(sbn, 104), 8u);  // table of two bins: the merge emptied 4 and 5
            EXPECT_EQ(TableEntry(sbn, 2).second, 8u);
        } else {
            EXPECT_EQ(BE(sbn, 104), 20u);  // five bins
            EXPECT_EQ(TableEntry(sbn, 2).second, 3u);
            EXPECT_EQ(TableEntry(sbn, 4).second, 3u);
            EXPECT_EQ(TableEntry(sbn, 5).second, 3u);
        }
        ESpatialIndex index;
        ASSERT_TRUE(index.Open(u"\\m.sbn"));
        ERecordSet set(25);
        EXPECT_EQ(index.Query(EExtent(205, 205, 206, 206), set), 3);
        for (int r = parentShapes + 1; r <= parentShapes + 3; ++r) EXPECT_TRUE(set.Contains(r));
    }
}

TEST_F(SbnWriteTest, QueriesOnTheGoldenIndex) {
    CopySet("blockgroups", {".sbn", ".sbx"});
    ESpatialIndex index;
    ASSERT_TRUE(index.Open(u"\\blockgroups.sbn"));
    EXPECT_EQ(index.GetShapeCount(), 663);
    const EExtent e = index.GetExtent();
    // The whole extent: every record without reading a bin.
    ERecordSet all(663);
    EXPECT_EQ(index.Query(EExtent(e.xmin - 1, e.ymin - 1, e.xmax + 1, e.ymax + 1), all), 663);
    EXPECT_EQ(all.Count(), 663);
    // A stale index (the table has fewer rows now): count and set agree.
    ERecordSet fewer(600);
    EXPECT_EQ(index.Query(EExtent(e.xmin - 1, e.ymin - 1, e.xmax + 1, e.ymax + 1), fewer), 600);
    EXPECT_EQ(fewer.Count(), 600);
    // Touching the extent's edge still walks the tree; missing it gives 0.
    ERecordSet edge(663);
    EXPECT_GT(index.Query(EExtent(e.xmax, e.ymin, e.xmax + 1, e.ymax), edge), 0);
    ERecordSet none(663);
    EXPECT_EQ(index.Query(EExtent(e.xmax + 1, e.ymin, e.xmax + 2, e.ymax), none), 0);
    // A query far wider than the extent on one axis only.
    const double w = (e.xmax - e.xmin) * 1e7;
    const double cy = (e.ymin + e.ymax) / 2;
    ERecordSet wide(663);
    EXPECT_GT(index.Query(EExtent(e.xmin - w, cy, e.xmax + w, cy), wide), 0);
}

TEST_F(SbnWriteTest, SpatialIndexObject) {
    CopySet("blockgroups", {".shp", ".shx", ".dbf"});
    ShpHandle h = ShpOpen(u"\\blockgroups.shp", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CSpatialIndex::DeleteForLayer(h));  // nothing to delete
    CSpatialIndex index;
    EXPECT_FALSE(index.OpenForLayer(h));
    ASSERT_TRUE(index.Rebuild(h));
    ASSERT_TRUE(index.OpenForLayer(h));
    EXPECT_TRUE(index.IsOpen());
    EXPECT_EQ(index.GetResultData(1), nullptr);
    CDoubleRect box;
    ShpGetBounds(h, &box);
    EXPECT_EQ(index.QueryRect(box, 0), 663);
    // Result 2 appears on demand and is emptied before each query.
    CDoubleRect corner(box.xmin, box.ymin, box.xmin + (box.xmax - box.xmin) / 10,
                       box.ymin + (box.ymax - box.ymin) / 10);
    const int first = index.QueryRect(corner, 2);
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 663);
    EXPECT_EQ(index.QueryRect(corner, 2), first);
    EXPECT_EQ(index.GetResultSet(2)->Count(), first);
    ASSERT_NE(index.GetResultData(2), nullptr);
    // While open, nobody else can delete or rebuild its files (as on the
    // device); its own rebuild reopens it on the new files.
    CSpatialIndex other;
    EXPECT_FALSE(other.Rebuild(h));
    EXPECT_FALSE(CSpatialIndex::DeleteForLayer(h));
    EXPECT_TRUE(index.Rebuild(h));
    EXPECT_TRUE(index.IsOpen());
    EXPECT_EQ(index.QueryRect(box, 0), 663);
    EXPECT_TRUE(index.CloseAndDelete());
    EXPECT_FALSE(HostExists("blockgroups.sbn"));
    EXPECT_FALSE(HostExists("blockgroups.sbx"));
    ShpClose(h);
}

// An emptied layer that had an index ends its rebuild cleanly, with no
// index left: every edit session's end would raise an error otherwise.
TEST_F(SbnWriteTest, EmptyAndDeletedOnlyShapefilesGetNoIndex) {
    ShpHandle h = ShpCreate(u"\\empty.shp", kShapePoint, kShpReadWrite);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ShpAppendPointXY(h, 1, 2), 0);
    ASSERT_EQ(ShpAppendPointXY(h, 3, 4), 1);
    CSpatialIndex index;
    ASSERT_TRUE(index.Rebuild(h));
    EXPECT_TRUE(HostExists("empty.sbn"));
    ASSERT_EQ(ShpDeleteShape(h, 0, 0), 1);
    ASSERT_EQ(ShpDeleteShape(h, 1, 0), 1);
    EXPECT_TRUE(index.Rebuild(h));
    EXPECT_FALSE(HostExists("empty.sbn"));
    EXPECT_FALSE(HostExists("empty.sbx"));
    ShpClose(h);
}


// A rebuild writes the new pair beside the old one: a failure at any write,
// at the new files' creation or at either rename keeps the old pair byte for
// byte, and the rebuild says it failed.
TEST_F(SbnWriteTest, RebuildFailuresKeepTheOldPair) {
    CopySet("blockgroups", {".shp", ".shx", ".dbf", ".sbn", ".sbx"});
    const std::string oldSbn = Get("blockgroups.sbn"), oldSbx = Get("blockgroups.sbx");
    // The old pair differs from what the rebuild writes (its shape count).
    std::string staleSbn = oldSbn;
    staleSbn[31] = static_cast<char>(staleSbn[31] + 1);
    ShpHandle h = ShpOpen(u"\\blockgroups.shp", 0);
    ASSERT_NE(h, nullptr);
    auto intact = [&] {
        EXPECT_EQ(Get("blockgroups.sbn"), staleSbn);
        EXPECT_EQ(Get("blockgroups.sbx"), oldSbx);
        for (const char* left : {"blockgroups~.sbn", "blockgroups~.sbx", "blockgroups~old.sbn",
                                 "blockgroups~old.sbx"})
            EXPECT_FALSE(HostExists(left)) << left;
    };
    auto rebuild = [&] {
        CSpatialIndex index;
        try {
            return index.Rebuild(h);
        } catch (const CFileException&) {
            return false;
        }
    };
    Put("blockgroups.sbn", staleSbn);
    int writes = 0;
    for (int n = 1; n < 100; ++n) {
        SCOPED_TRACE(n);
        fs::test::FailNthWrite(n);
        const bool ok = rebuild();
        fs::test::Reset();
        if (ok) break;
        intact();
        writes = n;
    }
    EXPECT_GT(writes, 2);
    for (const char16_t* path : {u"\\blockgroups~.sbn", u"\\blockgroups~.sbx",
                                 u"\\blockgroups.sbn", u"\\blockgroups.sbx",
                                 u"\\blockgroups~old.sbx", u"\\blockgroups~old.sbn"}) {
        SCOPED_TRACE(text::ToUtf8(path));
        Put("blockgroups.sbn", staleSbn);
        Put("blockgroups.sbx", oldSbx);
        fs::test::FailPath(path, fs::kErrorAccessDenied);
        EXPECT_FALSE(rebuild());
        fs::test::Reset();
        intact();
    }
    // The old pair open elsewhere cannot be replaced either.
    {
        ESpatialIndex holder;
        ASSERT_TRUE(holder.Open(u"\\blockgroups.sbn"));
        EXPECT_FALSE(rebuild());
    }
    intact();
    ASSERT_TRUE(rebuild());
    EXPECT_EQ(Get("blockgroups.sbn"), oldSbn);
    EXPECT_EQ(Get("blockgroups.sbx"), oldSbx);
    ShpClose(h);
}

// Records that exist but cannot be read do not turn into an empty index in
// place of a valid one.
TEST_F(SbnWriteTest, RebuildOfUnreadableShapesFailsAndKeepsTheIndex) {
    CopySet("blockgroups", {".shp", ".shx", ".dbf", ".sbn", ".sbx"});
    const std::string sbn = Get("blockgroups.sbn"), sbx = Get("blockgroups.sbx");
    std::string shx = Get("blockgroups.shx");
    for (size_t at = 100; at + 8 <= shx.size(); at += 8) byte_order::StoreBe32(reinterpret_cast<uint8_t*>(shx.data() + at), 0x7FFFFFF0);
    Put("blockgroups.shx", shx);
    ShpHandle h = ShpOpen(u"\\blockgroups.shp", 0);
    ASSERT_NE(h, nullptr);
    CSpatialIndex index;
    EXPECT_FALSE(index.Rebuild(h));
    EXPECT_EQ(Get("blockgroups.sbn"), sbn);
    EXPECT_EQ(Get("blockgroups.sbx"), sbx);
    ShpClose(h);
}

// Shapes with infinite coordinates are left out of the index, which stays
// readable and finds the others.
TEST_F(SbnWriteTest, NonFiniteShapesAreLeftOut) {
    ShpHandle h = ShpCreate(u"\\inf.shp", kShapePoint, kShpReadWrite);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ShpAppendPointXY(h, 1, 2), 0);
    ASSERT_EQ(ShpAppendPointXY(h, INFINITY, 4), 1);
    ASSERT_EQ(ShpAppendPointXY(h, 3, -INFINITY), 2);
    ASSERT_EQ(ShpAppendPointXY(h, 5, 6), 3);
    CSpatialIndex index;
    ASSERT_TRUE(index.Rebuild(h));
    ASSERT_TRUE(index.OpenForLayer(h));
    EXPECT_EQ(index.GetIndex().GetExtent().xmax, 5);
    EXPECT_GE(index.QueryRect(CDoubleRect(0.5, 1.5, 1.5, 2.5), 0), 1);
    EXPECT_TRUE(index.GetResultSet(0)->Contains(1));
    EXPECT_GE(index.QueryRect(CDoubleRect(4.5, 5.5, 5.5, 6.5), 0), 1);
    EXPECT_TRUE(index.GetResultSet(0)->Contains(4));
    index.Close();
    ShpClose(h);
    ESpatialIndexBuilder builder(1, EExtent(0, 0, 1, 1));
    EXPECT_FALSE(builder.AddShape(1, EExtent(0, 0, INFINITY, 1)));
    EXPECT_FALSE(builder.AddShape(1, EExtent(NAN, 0, 1, 1)));
}

}  // namespace

namespace {

class StaleIndexTest : public DbfRootTest {
protected:
    // Points (i, i) for i < n, with an index made for them.
    ShpHandle MakeIndexed(int n) {
        ShpHandle h = ShpCreate(u"\\p.shp", kShapePoint, 0);
        EXPECT_NE(h, nullptr);
        for (int i = 0; i < n; ++i) EXPECT_EQ(ShpAppendPointXY(h, i, i), i);
        CSpatialIndex index;
        EXPECT_TRUE(index.Rebuild(h));
        EXPECT_TRUE(index.OpenForLayer(h));
        return h;
    }
};

// An index whose count or extent no longer fits its shapefile is not used;
// a rebuilt one is.
TEST_F(StaleIndexTest, IndexThatNoLongerFitsIsTreatedAsAbsent) {
    ShpHandle h = MakeIndexed(3);
    CSpatialIndex index;
    ASSERT_EQ(ShpAppendPointXY(h, 1, 1), 3);  // one record more, inside the extent
    EXPECT_FALSE(index.OpenForLayer(h));
    EXPECT_FALSE(index.IsOpen());
    ASSERT_TRUE(index.Rebuild(h));
    EXPECT_TRUE(index.OpenForLayer(h));
    index.Close();
    // The same count, one shape moved outside the index's grid.
    ShpClose(h);
    h = ShpOpen(u"\\p.shp", kShpReadWrite);
    ASSERT_NE(h, nullptr);
    ShapeInitRecord(h, kShapePoint, 0, 1, nullptr);
    ShpSetPartPoint(h, 0, 50, 50, 0, kNoDataMeasure, ShpGetShapeBuffer(h));
    ASSERT_EQ(ShpUpdateShape(h, 0), 0);
    EXPECT_FALSE(index.OpenForLayer(h));
    ASSERT_TRUE(index.Rebuild(h));
    EXPECT_TRUE(index.OpenForLayer(h));
    ShpClose(h);
}

// A shapefile created over an old one whose index cannot be removed is not
// created: every old file stays as it was.
TEST_F(StaleIndexTest, CreateOverAShapefileWhoseIndexStaysFails) {
    ShpClose(MakeIndexed(3));
    const char* const names[] = {"p.shp", "p.shx", "p.dbf", "p.sbn", "p.sbx"};
    std::vector<std::string> before;
    for (const char* n : names) before.push_back(Get(n));
    for (const char16_t* held : {u"\\p.sbn", u"\\p.sbx"}) {
        fs::test::FailPath(held, fs::kErrorSharingViolation);
        EXPECT_EQ(ShpCreate(u"\\p.shp", kShapePoint, 0), nullptr);
        EXPECT_EQ(ShpGetError(nullptr), kShpErrShpCreate);
        fs::test::Reset();
        for (size_t i = 0; i < 5; ++i) EXPECT_EQ(Get(names[i]), before[i]) << names[i];
    }
    // Without the fault the old index goes with the old shapes.
    ShpHandle h = ShpCreate(u"\\p.shp", kShapePoint, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(fs::Exists(u"\\p.sbn"));
    EXPECT_FALSE(fs::Exists(u"\\p.sbx"));
    EXPECT_EQ(ShpClose(h), 1);
}

}  // namespace
