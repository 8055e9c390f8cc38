// The shipped datum table data/System/znDatums.dbf (tools/make_datum_table.sh):
// read by independent tools, one DEFAULT per datum name, and every datum
// named in the .prj fixture set found in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "../formats/dbf_test_util.h"
#include "crs/datum_table.h"
#include "crs/wkt.h"

namespace {

const std::string kTable = std::string(ZN_SOURCE_DIR) + "/data/System/znDatums.dbf";

class ShippedDatumTable : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("ZARNIP_ROOT");
        fs::ResetConfiguration();
        SetDatumTableFile(fs::DevicePathFromHost(kTable));
    }
    void TearDown() override { SetDatumTableFile(u""); }
};

TEST_F(ShippedDatumTable, LoadsWithItsWgs84RowAndOneDefaultPerName) {
    ASSERT_GT(GetDatumCount(), 700);
    const DatumTransformation* w = FindDatumByName(u"D_WGS_1984");
    ASSERT_NE(w, nullptr);
    EXPECT_NE(w->index, -1);
    EXPECT_TRUE(IsWgs84Identity(*w));
    EXPECT_EQ(w->spheroidName, u"WGS_1984");
    std::map<WString, int> defaults, rows;
    for (int i = 1; i < GetDatumCount(); ++i) {
        const DatumTransformation* r = GetDatumRow(i);
        ++rows[text::ToUpper(r->datumName)];
        if (r->index & kDatumDefaultFlag) ++defaults[text::ToUpper(r->datumName)];
        EXPECT_GT(r->a, 6.0e6);
        EXPECT_TRUE(r->method == 0 || r->method == 9603 || r->method == 9606 || r->method == 9607)
            << r->transformationId;
    }
    for (const auto& [name, n] : rows) EXPECT_EQ(defaults[name], 1) << text::ToUtf8(name);
    // Names longer than 40 characters are whole.
    EXPECT_NE(FindDatumByName(
                  u"D_Reseau_Geodesique_des_Terres_Australes_et_Antarctiques_Francaises_2007"),
              nullptr);
}

TEST_F(ShippedDatumTable, EveryPrjFixtureDatumHasARow) {
    const auto dir = std::filesystem::path(ZN_TEST_DATA) / "crs" / "prj";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".prj") continue;
        CWktCoordSys w;
        ASSERT_TRUE(w.ReadPrjFile(fs::DevicePathFromHost(entry.path().string()))) << entry.path();
        if (w.m_datumName.rfind(u"D_Unknown", 0) == 0) continue;  // made up by the writer
        const DatumTransformation* row = FindDatumByName(w.m_datumName);
        ASSERT_NE(row, nullptr) << text::ToUtf8(w.m_datumName);
        EXPECT_NE(row->index, -1);
        auto cs = w.CreateProjection();
        EXPECT_TRUE(w.m_datumFound);
        EXPECT_EQ(cs->m_datum, *row);
        ++checked;
    }
    EXPECT_GE(checked, 20);
    // NAD27 shifts: not the identity.
    const DatumTransformation* nad27 = FindDatumByName(u"D_North_American_1927");
    ASSERT_NE(nad27, nullptr);
    EXPECT_EQ(nad27->method, 9603);
    EXPECT_EQ(nad27->spheroidName, u"Clarke_1866");
}

TEST_F(ShippedDatumTable, IndependentReadersAgree) {
    REQUIRE_TOOL("dbfdump");
    int status = -1;
    const std::string header = RunTool("dbfdump -h '" + kTable + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(header.find("Type=L"), std::string::npos) << header.substr(0, 400);
    EXPECT_NE(header.find("Title=`DEFAULT'"), std::string::npos);
    REQUIRE_TOOL("ogrinfo");
    const std::string info = RunTool("ogrinfo -so -al '" + kTable + "' 2>&1", &status);
    EXPECT_NE(info.find("Feature Count: " + std::to_string(GetDatumCount() - 1)), std::string::npos)
        << info;
}

}  // namespace

namespace {

// Every row of the shipped table against PROJ's database: the method and the
// seven parameters of its EPSG transformation, in the table's units (metres,
// arc-seconds, parts per million). The table is written by our own writer,
// so only this comparison shows it holds what EPSG says.
TEST_F(ShippedDatumTable, EveryRowAgreesWithProjDb) {
    REQUIRE_TOOL("sqlite3");
    const std::string db = "/usr/share/proj/proj.db";
    ASSERT_TRUE(std::filesystem::exists(db)) << "proj.db missing: run tools/setup";
    int status = -1;
    const std::string out = RunTool(
        "sqlite3 -separator ' ' '" + db +
            "' \"SELECT h.code, h.method_code, h.tx * t.conv_factor, h.ty * t.conv_factor, "
            "h.tz * t.conv_factor, h.rx * r.conv_factor, h.ry * r.conv_factor, "
            "h.rz * r.conv_factor, h.scale_difference * s.conv_factor FROM "
            "helmert_transformation h JOIN unit_of_measure t ON t.auth_name = "
            "h.translation_uom_auth_name AND t.code = h.translation_uom_code LEFT JOIN "
            "unit_of_measure r ON r.auth_name = h.rotation_uom_auth_name AND r.code = "
            "h.rotation_uom_code LEFT JOIN unit_of_measure s ON s.auth_name = "
            "h.scale_difference_uom_auth_name AND s.code = h.scale_difference_uom_code "
            "WHERE h.auth_name = 'EPSG'\"",
        &status);
    ASSERT_EQ(status, 0) << out;
    struct Epsg {
        int method;
        double p[7];
    };
    std::map<int, Epsg> epsg;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        int code = 0;
        Epsg e{};
        f >> code >> e.method;
        for (double& v : e.p) {
            std::string t;
            f >> t;
            v = t.empty() ? 0.0 : std::stod(t);
        }
        epsg[code] = e;
    }
    ASSERT_GT(epsg.size(), 500u);
    const double kArcSecond = 3.14159265358979323846 / 180.0 / 3600.0;
    int compared = 0;
    for (int i = 1; i < GetDatumCount(); ++i) {
        const DatumTransformation* r = GetDatumRow(i);
        if (r->transformationId == 0) continue;  // the WGS 1984 row itself
        SCOPED_TRACE(testing::Message() << "EPSG:" << r->transformationId);
        const auto it = epsg.find(r->transformationId);
        ASSERT_NE(it, epsg.end());
        const Epsg& e = it->second;
        EXPECT_EQ(r->method, e.method);
        EXPECT_TRUE(IsDatumShiftSupported(*r));
        const double ours[7] = {r->dx, r->dy, r->dz, r->rx, r->ry, r->rz, r->ds};
        const double theirs[7] = {e.p[0], e.p[1], e.p[2], e.p[3] / kArcSecond,
                                  e.p[4] / kArcSecond, e.p[5] / kArcSecond, e.p[6] * 1e6};
        for (int k = 0; k < 7; ++k) EXPECT_NEAR(ours[k], theirs[k], 1e-6) << "parameter " << k;
        ++compared;
    }
    EXPECT_GT(compared, 700);
}

}  // namespace
