// The datum table: loading znDatums.dbf through the dBASE engine, the
// look-ups, the DEFAULT flags written back, and the CCoordSys datum calls.
#include "crs/datum_table.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "../formats/dbf_test_util.h"
#include "crs/geographic.h"
#include "tools/datum_table_writer.h"

namespace {

DatumFileRow FileRow(const char16_t* datum, bool isDefault, int tranId,
                     const char16_t* method = u"Geocentric_Translation") {
    DatumFileRow r;
    r.isDefault = isDefault;
    r.datumId = 6267;
    r.transformationId = tranId;
    r.datum = datum;
    r.spheroid = u"Clarke_1866";
    r.a = 6378206.4;
    r.inverseFlattening = 294.978698213898;
    r.method = method;
    r.dx = -8;
    r.dy = 160;
    r.dz = 176;
    return r;
}

class DatumTableTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        SetDatumTableFile(u"");
    }
    void TearDown() override {
        SetDatumTableFile(u"");
        DbfRootTest::TearDown();
    }
    void Use(const std::vector<DatumFileRow>& rows, char defaultType = 'L') {
        ASSERT_TRUE(WriteDatumTable(u"\\znDatums.dbf", rows, defaultType));
        SetDatumTableFile(u"\\znDatums.dbf");
    }
};

// A row handed out stays readable when the table is freed or another file
// is loaded (the GPS receiver keeps its datum's row); only the release at
// exit frees it.
TEST_F(DatumTableTest, RowsHandedOutOutliveANewTable) {
    Use({FileRow(u"D_A", false, 1), FileRow(u"D_B", false, 2)});
    const DatumTransformation* kept = FindDatumByName(u"D_B");
    ASSERT_NE(kept, nullptr);
    const DatumTransformation copy = *kept;
    FreeDatumTable();
    Use({FileRow(u"D_C", false, 3)});
    EXPECT_EQ(FindDatumByName(u"D_B"), nullptr);
    EXPECT_EQ(*kept, copy);  // read after the table it came from was freed
    EXPECT_EQ(kept->transformationId, 2);
}

TEST_F(DatumTableTest, MissingFileLeavesTheBuiltInRow) {
    EXPECT_FALSE(SetDatumTableFile(u"\\nothing\\znDatums.dbf"));
    EXPECT_FALSE(LoadDatumTable());
    EXPECT_EQ(GetDatumCount(), 1);
    const DatumTransformation* w = FindDatumByName(u"wgs84");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(*w, Wgs84Datum());
    EXPECT_EQ(FindDatumByName(u"D_North_American_1927"), nullptr);
    EXPECT_EQ(CountDatumsByName(u"WGS84"), 1);
    EXPECT_EQ(FindDatumById(0), w);
    EXPECT_EQ(FindDatumByTransformId(0), w);
}

// A table that cannot be read whole (a read error at any row, or a file cut
// short) is reported and not used at all: only the built-in row remains.
TEST_F(DatumTableTest, TableReadInPartIsReportedAndNotUsed) {
    ASSERT_TRUE(WriteDatumTable(u"\\znDatums.dbf",
                                {FileRow(u"D_A", false, 1), FileRow(u"D_B", false, 2),
                                 FileRow(u"D_C", false, 3)},
                                'L'));
    EXPECT_TRUE(SetDatumTableFile(u"\\znDatums.dbf"));
    EXPECT_EQ(GetDatumCount(), 4);
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        fs::test::FailNthRead(n);
        const bool loaded = SetDatumTableFile(u"\\znDatums.dbf");
        const bool faulted = !fs::test::ReadFaultPending();
        fs::test::Reset();
        EXPECT_EQ(loaded, !faulted);
        EXPECT_EQ(GetDatumCount(), faulted ? 1 : 4);
        EXPECT_EQ(LoadDatumTable(), !faulted);
    }
    const std::string whole = Get("znDatums.dbf");
    Put("znDatums.dbf", whole.substr(0, whole.size() - 10));
    EXPECT_FALSE(SetDatumTableFile(u"\\znDatums.dbf"));
    EXPECT_EQ(GetDatumCount(), 1);
    EXPECT_EQ(FindDatumByName(u"D_A"), nullptr);
}

TEST_F(DatumTableTest, RowsAreReadFieldByField) {
    DatumFileRow r = FileRow(u"D_North_American_1927", false, 1173);
    r.rx = 0.5, r.ry = -0.25, r.rz = 1.125, r.ds = -3.5;
    // A name longer than 40 characters stays whole.
    DatumFileRow longName = FileRow(
        u"D_Reseau_Geodesique_des_Terres_Australes_et_Antarctiques_Francaises_2007", false, 9);
    DatumFileRow sphere = FileRow(u"D_Sphere", false, 10, u"Unknown");
    sphere.inverseFlattening = 0;
    DatumFileRow noCode = FileRow(u"D_Strange", false, 11, u"No_Such_Method");
    DatumFileRow blank = FileRow(u"D_Blank", false, 12, u"");
    Use({r, longName, sphere, noCode, blank});
    ASSERT_EQ(GetDatumCount(), 6);
    const DatumTransformation* row = FindDatumByTransformId(1173);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row, GetDatumRow(1));
    EXPECT_EQ(row->index, 0);
    EXPECT_EQ(row->datumId, 6267);
    EXPECT_EQ(row->datumName, u"D_North_American_1927");
    EXPECT_EQ(row->spheroidName, u"Clarke_1866");
    EXPECT_EQ(row->a, 6378206.4);
    EXPECT_NEAR(row->f, 1.0 / 294.978698213898, 1e-15);
    EXPECT_EQ(row->method, 9603);
    EXPECT_EQ(row->dx, -8);
    EXPECT_EQ(row->dz, 176);
    EXPECT_EQ(row->rx, 0.5);
    EXPECT_EQ(row->rz, 1.125);
    EXPECT_EQ(row->ds, -3.5);
    ASSERT_NE(FindDatumByName(longName.datum), nullptr);
    EXPECT_EQ(FindDatumByName(u"D_Sphere")->f, 0.0);     // a sphere, not f = inf
    EXPECT_EQ(FindDatumByName(u"D_Sphere")->method, 0);  // a code, not a method
    EXPECT_EQ(FindDatumByName(u"D_Strange")->method, -1);
    EXPECT_EQ(FindDatumByName(u"D_Blank")->method, -1);
}

TEST_F(DatumTableTest, DefaultFlagBreaksTies) {
    Use({FileRow(u"D_A", false, 1), FileRow(u"D_A", true, 2), FileRow(u"D_A", true, 3),
         FileRow(u"D_B", false, 4), FileRow(u"D_B", false, 5), FileRow(u"D_B", false, 6)});
    EXPECT_EQ(FindDatumByName(u"d_a")->transformationId, 2);
    EXPECT_EQ(FindDatumByName(u"D_B")->transformationId, 4);
    EXPECT_EQ(CountDatumsByName(u"D_A"), 3);
    EXPECT_EQ(GetDatumRow(2)->index, 1 | kDatumDefaultFlag);
}

TEST_F(DatumTableTest, DefaultFieldOfAnotherTypeReadsFalse) {
    Use({FileRow(u"D_A", false, 1), FileRow(u"D_A", true, 2)}, 'C');
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 1);
    EXPECT_EQ(GetDatumRow(2)->index, 1);
}

// A header counting far more rows than the file holds: refused as a whole,
// without reserving room for the rows it claims.
TEST_F(DatumTableTest, RecordCountBeyondTheFileIsRefused) {
    Use({FileRow(u"D_A", false, 1), FileRow(u"D_A", false, 2)});
    FreeDatumTable();
    std::string bytes = Get("znDatums.dbf");
    bytes[4] = '\xff', bytes[5] = '\xff', bytes[6] = '\xff', bytes[7] = '\x0f';  // 268 million
    Put("znDatums.dbf", bytes);
    EXPECT_FALSE(LoadDatumTable());
    EXPECT_EQ(GetDatumCount(), 1);
    EXPECT_EQ(CountDatumsByName(u"D_A"), 0);
}

TEST_F(DatumTableTest, SaveDefaultDatumsWritesTheFlags) {
    REQUIRE_TOOL("ogrinfo");
    Use({FileRow(u"D_A", false, 1), FileRow(u"D_A", true, 2), FileRow(u"D_A", false, 3),
         FileRow(u"D_B", true, 4)});
    DatumTransformation chosen = *FindDatumByTransformId(3);
    ASSERT_TRUE(SaveDefaultDatums(chosen));
    EXPECT_TRUE(chosen.index & kDatumDefaultFlag);
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 3);
    EXPECT_FALSE(FindDatumByTransformId(2)->index & kDatumDefaultFlag);
    EXPECT_TRUE(FindDatumByTransformId(4)->index & kDatumDefaultFlag);  // other name untouched
    // shapelib's dbfdump shows no logical values; GDAL's reader does.
    const std::string dump = RunTool("ogrinfo -al -q '" + Host("znDatums.dbf") + "'");
    std::vector<std::string> flags;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);)
        if (line.find("DEFAULT (") != std::string::npos)
            flags.push_back(line.substr(line.find('=') + 2));
    EXPECT_EQ(flags, (std::vector<std::string>{"F", "F", "T", "T"})) << dump;
    // The file read afresh agrees.
    FreeDatumTable();
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 3);

    // A stale row (its content differs) changes nothing.
    DatumTransformation stale = *FindDatumByTransformId(1);
    stale.dx = 99;
    EXPECT_FALSE(SaveDefaultDatums(stale));
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 3);
    FreeDatumTable();
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 3);
    // The built-in row is never flagged.
    DatumTransformation w = Wgs84Datum();
    EXPECT_FALSE(SaveDefaultDatums(w));
}

TEST_F(DatumTableTest, SaveDefaultDatumsThatCannotWriteChangesNothing) {
    Use({FileRow(u"D_A", true, 1), FileRow(u"D_A", false, 2)});
    const std::string before = Get("znDatums.dbf");
    DatumTransformation chosen = *FindDatumByTransformId(2);
    fs::test::FailPath(u"\\znDatums.dbf", fs::kErrorAccessDenied);
    EXPECT_FALSE(SaveDefaultDatums(chosen));
    fs::test::Reset();
    EXPECT_FALSE(chosen.index & kDatumDefaultFlag);
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 1);
    EXPECT_EQ(Get("znDatums.dbf"), before);
    // A write failing at any step: the call fails, the file is as it was and
    // the rows in memory keep their flags.
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        fs::test::FailNthWrite(n);
        const bool saved = SaveDefaultDatums(chosen);
        const bool faulted = !fs::test::WriteFaultPending();
        fs::test::Reset();
        if (!faulted) {
            EXPECT_TRUE(saved);
            break;
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(Get("znDatums.dbf"), before);
        EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 1);
        EXPECT_TRUE(FindDatumByTransformId(1)->index & kDatumDefaultFlag);
        EXPECT_FALSE(FindDatumByTransformId(2)->index & kDatumDefaultFlag);
    }
    EXPECT_EQ(FindDatumByName(u"D_A")->transformationId, 2);
}

TEST_F(DatumTableTest, CoordSysDatumCalls) {
    Use({FileRow(u"D_North_American_1927", false, 1173),
         FileRow(u"D_North_American_1927", false, 1174)});
    CGeographic g;
    EXPECT_TRUE(g.SetDatumByName(u"D_North_American_1927"));
    EXPECT_EQ(g.m_datum.transformationId, 1173);
    EXPECT_EQ(g.m_a, 6378206.4);
    EXPECT_EQ(g.m_transformationCount, 2);
    // Unknown name: the "WGS84" row, and false to say it fell back.
    EXPECT_FALSE(g.SetDatumByName(u"D_Nowhere"));
    EXPECT_EQ(g.m_datum, Wgs84Datum());
    EXPECT_TRUE(g.SetDatumRecord(nullptr));
    EXPECT_EQ(g.m_datum, Wgs84Datum());
}

}  // namespace
