// The desktop host's data roles against independent readers: conversions
// against ogr2ogr's two-step reference (project, then filter in the
// projected system), deleted rows against GDAL and dbfdump, code pages,
// written .prj files against our reader, projinfo and gdalsrsinfo, the
// spatial index against a brute-force scan, OGR sources, rasters against
// gdalinfo, and every write failing in turn.
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "crs/datum_table.h"
#include "crs/wkt.h"
#include "desktop/host/feature_cursor.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_log.h"
#include "desktop/host/host_names.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/ogr_workspace.h"
#include "desktop/host/role_factories.h"
#include "desktop/host/shapefile_workspace.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/spatial_index.h"
#include "platform/fs/fs.h"
#include "tests/desktop/zntools3_test_util.h"
#include "tests/support/run_command.h"

namespace {

using namespace host;
using testsupport::RunCommand;
using zn3test::ReadAll;
using zn3test::TempDir;
using zn3test::WriteAll;

namespace fsys = std::filesystem;

const std::string kShapes = std::string(ZN_TEST_DATA) + "/shape/";
const std::string kDbf = std::string(ZN_TEST_DATA) + "/dbf/";
const std::string kSid = std::string(ZN_TEST_DATA) + "/mrsid/";
const std::string kDatums = std::string(ZN_SOURCE_DIR) + "/data/System/znDatums.dbf";

const char kNad83Geo[] =
    "GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\",SPHEROID[\"GRS_1980\","
    "6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
const char kWgs84Geo[] =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
const char kNad27Geo[] =
    "GEOGCS[\"GCS_North_American_1927\",DATUM[\"D_North_American_1927\",SPHEROID[\"Clarke_1866\","
    "6378206.4,294.9786982]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
const std::string kUtm10Tail =
    ",PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],"
    "PARAMETER[\"False_Northing\",0.0],PARAMETER[\"Central_Meridian\",-123.0],"
    "PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";
const std::string kNad83Utm10 = "PROJCS[\"NAD_1983_UTM_Zone_10N\"," + std::string(kNad83Geo) + kUtm10Tail;
const std::string kWgs84Utm10 = "PROJCS[\"WGS_1984_UTM_Zone_10N\"," + std::string(kWgs84Geo) + kUtm10Tail;

// The visible extent of the map (UTM 10N), through the middle of San Francisco.
const HostEnvelope kExtent{548000, 4176000, 553000, 4181000};

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// ------------------------------------------------------------------ reading with GDAL

struct Feat {
    std::map<std::string, std::string> attrs;
    std::vector<std::pair<double, double>> points;  // every vertex in order
};

void CollectPoints(OGRGeometryH g, std::vector<std::pair<double, double>>& out) {
    if (!g) return;
    if (OGR_G_GetGeometryCount(g) > 0) {
        for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i) CollectPoints(OGR_G_GetGeometryRef(g, i), out);
        return;
    }
    for (int i = 0; i < OGR_G_GetPointCount(g); ++i) out.emplace_back(OGR_G_GetX(g, i), OGR_G_GetY(g, i));
}

// The features as GDAL lists them (ogrinfo -al), in order.
std::vector<Feat> ReadWithGdal(const std::string& path) {
    EnsureGdal();
    std::vector<Feat> out;
    GDALDatasetH ds = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    EXPECT_NE(ds, nullptr) << path;
    if (!ds) return out;
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    OGR_L_ResetReading(layer);
    while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
        Feat x;
        for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i)
            x.attrs[OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, i))] =
                OGR_F_IsFieldSetAndNotNull(f, i) ? OGR_F_GetFieldAsString(f, i) : "(null)";
        CollectPoints(OGR_F_GetGeometryRef(f), x.points);
        out.push_back(std::move(x));
        OGR_F_Destroy(f);
    }
    GDALClose(ds);
    return out;
}

// Attribute values of one field in order.
std::vector<std::string> Column(const std::vector<Feat>& fs, const std::string& field) {
    std::vector<std::string> out;
    for (const Feat& f : fs) out.push_back(f.attrs.at(field));
    return out;
}

// The same features with the same values, vertices within `tolerance`.
void ExpectSameFeatures(const std::vector<Feat>& ours, const std::vector<Feat>& ref, double tolerance,
                        const std::string& key) {
    ASSERT_EQ(ours.size(), ref.size());
    std::map<std::string, const Feat*> byKey;
    for (const Feat& f : ref) byKey[f.attrs.at(key)] = &f;
    double worst = 0;
    for (const Feat& f : ours) {
        auto it = byKey.find(f.attrs.at(key));
        ASSERT_NE(it, byKey.end()) << f.attrs.at(key);
        const Feat& r = *it->second;
        for (const auto& [name, value] : r.attrs) {
            auto mine = f.attrs.find(name);
            ASSERT_NE(mine, f.attrs.end()) << name;
            // Reals compare as numbers: widths differ between writers.
            char* end1 = nullptr;
            char* end2 = nullptr;
            const double a = std::strtod(mine->second.c_str(), &end1);
            const double b = std::strtod(value.c_str(), &end2);
            if (*end1 == 0 && *end2 == 0 && !mine->second.empty() && !value.empty())
                EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(b))) << name;
            else
                EXPECT_EQ(mine->second, value) << name;
        }
        ASSERT_EQ(f.points.size(), r.points.size()) << f.attrs.at(key);
        for (size_t i = 0; i < f.points.size(); ++i) {
            worst = std::max(worst, std::hypot(f.points[i].first - r.points[i].first,
                                               f.points[i].second - r.points[i].second));
        }
    }
    EXPECT_LE(worst, tolerance);
}

// ------------------------------------------------------------------ fixture

class HostData : public ::testing::Test {
protected:
    void SetUp() override {
        fs::SetDeviceRoot("/");
        fs::ClearMounts();
        fs::test::Reset();
        HostFaults::Reset();
        ShpResetForTests();
        ClearHostLog();
        SetDatumTableFile(fs::DevicePathFromHost(kDatums));
        ASSERT_FALSE(dir.Path("").empty());
    }
    void TearDown() override {
        fs::test::Reset();
        HostFaults::Reset();
        fs::ResetConfiguration();
    }

    std::string P(const std::string& name) const { return dir.Path(name); }

    // A copy of a sample shapefile under a name, with a .prj of the text.
    void CopySample(const std::string& sample, const std::string& name, const std::string& prj) {
        for (const char* ext : {".shp", ".shx", ".dbf"})
            fsys::copy_file(kShapes + sample + ext, P(name + ext), fsys::copy_options::overwrite_existing);
        if (!prj.empty()) WriteAll(P(name + ".prj"), prj);
    }

    // Shapefiles made by ogr2ogr from GeoJSON (UTM 10N): an L-shaped line
    // and an L-shaped polygon whose boxes overlap the extent but which
    // never enter it, a line crossing it without a vertex inside, and a
    // polygon holding the whole extent.
    void MakeLShapes() {
        const std::string lines = R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"NAME":"L-line"},"geometry":{"type":"LineString","coordinates":[[547000,4182000],[547000,4175000],[554000,4175000]]}},
{"type":"Feature","properties":{"NAME":"crossing"},"geometry":{"type":"LineString","coordinates":[[547000,4178000],[554000,4178500]]}}]})";
        const std::string polys = R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"NAME":"L-poly"},"geometry":{"type":"Polygon","coordinates":[[[546000,4183000],[547500,4183000],[547500,4175500],[555000,4175500],[555000,4174000],[546000,4174000],[546000,4183000]]]}},
{"type":"Feature","properties":{"NAME":"around"},"geometry":{"type":"Polygon","coordinates":[[[540000,4170000],[560000,4170000],[560000,4190000],[540000,4190000],[540000,4170000]]]}}]})";
        WriteAll(P("lines.geojson"), lines);
        WriteAll(P("polys.geojson"), polys);
        for (const char* n : {"lines", "polys"}) {
            int st = -1;
            RunCommand("ogr2ogr -f 'ESRI Shapefile' -a_srs EPSG:26910 " + Quote(P(std::string(n) + ".shp")) +
                           " " + Quote(P(std::string(n) + ".geojson")) + " 2>&1",
                       &st);
            ASSERT_EQ(st, 0) << n;
            WriteAll(P(std::string(n) + ".prj"), kNad83Utm10);
        }
    }

    std::shared_ptr<IHostSpatialReference> Ref(const std::string& text) const {
        return SpatialReferenceFromPrj(text);
    }

    // Converts dir/in into dir/out with the fields of the source checked.
    std::vector<int> Convert(const std::string& in, const std::string& out, const std::string& targetPrj,
                             const IHostSpatialFilter* filter = nullptr,
                             const std::vector<int>* selection = nullptr,
                             const std::string& factory = kShapefileWorkspaceFactory) {
        auto src = factory == kShapefileWorkspaceFactory ? OpenShapefileClass(dir.Path(""), in)
                                                         : OpenOgrClass(dir.Path(""), in);
        auto checker = CreateFieldChecker();
        checker->SetInputWorkspace(src->Dataset()->Workspace());
        std::vector<HostField> fields;
        checker->Validate(src->Fields(), &fields);
        HostGeometryDef def = src->GeometryDef();
        def.reference = targetPrj.empty() ? nullptr : Ref(targetPrj);
        src.reset();
        return CreateFeatureDataConverter()->Convert(
            FeatureClassName(dir.Path(""), factory, in), filter, selection,
            FeatureClassName(dir.Path(""), kShapefileWorkspaceFactory, out), def, fields, 1000);
    }

    std::shared_ptr<IHostSpatialFilter> Filter(const HostEnvelope& e) {
        auto f = CreateSpatialFilter();
        f->SetGeometry(e);
        f->SetIntersects(true);
        return f;
    }

    // ogr2ogr's reference: project into the map's system, then filter there.
    void Reference(const std::string& in, const std::string& out, const std::string& prj,
                   const HostEnvelope* e) {
        WriteAll(P("map.prj"), prj);
        int st = -1;
        const std::string step1 = e ? P(out + "_projected.shp") : P(out + ".shp");
        RunCommand("ogr2ogr -t_srs " + Quote(P("map.prj")) + " " + Quote(step1) + " " + Quote(P(in + ".shp")) +
                       " 2>&1",
                   &st);
        ASSERT_EQ(st, 0);
        if (!e) return;
        char spat[200];
        std::snprintf(spat, sizeof spat, "%.3f %.3f %.3f %.3f", e->xmin, e->ymin, e->xmax, e->ymax);
        RunCommand("ogr2ogr -spat " + std::string(spat) + " " + Quote(P(out + ".shp")) + " " + Quote(step1) +
                       " 2>&1",
                   &st);
        ASSERT_EQ(st, 0);
    }

    // The names of the files that differ between two snapshots.
    static std::string Diff(const std::map<std::string, std::string>& a,
                            const std::map<std::string, std::string>& b) {
        std::string out;
        for (const auto& [n, bytes] : a) {
            auto it = b.find(n);
            if (it == b.end()) out += " -" + n;
            else if (it->second != bytes) out += " ~" + n;
        }
        for (const auto& [n, bytes] : b)
            if (!a.count(n)) out += " +" + n;
        return out;
    }
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& e : fsys::directory_iterator(dir.Path("")))
            files[e.path().filename().string()] = ReadAll(e.path().string());
        return files;
    }

    // A polygon shapefile "del" of 12 records (NAME "row<i>"), with records
    // 2 and 7 deleted by the engine and rows 4 and 9 flagged '*' only in
    // the .dbf, as other programs delete.
    void MakeDeletedRows() {
        ShpHandle h = ShpCreate(fs::DevicePathFromHost(P("del.shp")).c_str(), kShapePolygon, 0);
        ASSERT_NE(h, nullptr);
        DbfHandle t = ShpGetTable(h);
        ASSERT_EQ(DbfAddField(t, "NAME", 'C', 10, 0), 0);
        ASSERT_EQ(DbfAddField(t, "VALUE", 'N', 8, 2), 1);
        DbfSetLanguageDriverId(t, 0x57);
        std::vector<uint8_t> storage;
        for (int i = 0; i < 12; ++i) {
            HostGeometry g;
            g.shapeType = kShapePolygon;
            g.parts = {0};
            const double x = 550000 + 400.0 * i, y = 4177000 + 300.0 * i;
            g.points = {{x, y}, {x, y + 200}, {x + 200, y + 200}, {x + 200, y}, {x, y}};
            ShapeRecord* r = RecordOfGeometry(g, storage);
            ASSERT_EQ(ShpAppendShape(h, r), i);
            ASSERT_TRUE(DbfReadRecord(t, i));
            DbfPutText(t, 0, text::FromUtf8("row" + std::to_string(i)).c_str());
            DbfPutNumber(t, 1, i * 1.25);
            ASSERT_TRUE(DbfWriteRecord(t, i));
        }
        for (int d : {2, 7}) ASSERT_EQ(ShpDeleteShape(h, d, 0), 1);
        for (int d : {4, 9}) ASSERT_TRUE(DbfDeleteRecord(t, d));
        ShpClose(h);
        WriteAll(P("del.prj"), kNad83Utm10);
    }

    TempDir dir;
};

// ------------------------------------------------------------------ conversion

TEST_F(HostData, ConversionMatchesOgr2ogrProjectedAndFiltered) {
    CopySample("blockgroups", "bg", kNad83Geo);
    MakeLShapes();
    auto filter = Filter(kExtent);
    for (const char* in : {"bg", "lines", "polys"}) {
        SCOPED_TRACE(in);
        const std::string out = std::string(in) + "_out";
        EXPECT_TRUE(Convert(in, out, kNad83Utm10, filter.get()).empty());
        Reference(in, std::string(in) + "_ref", kNad83Utm10, &kExtent);
        const auto ours = ReadWithGdal(P(out + ".shp"));
        const auto ref = ReadWithGdal(P(std::string(in) + "_ref.shp"));
        ExpectSameFeatures(ours, ref, 0.001, in == std::string("bg") ? "BKG_KEY" : "NAME");
        if (in == std::string("bg")) {
            // The extent cuts through the city: some of it, not all.
            EXPECT_GT(ours.size(), 10u);
            EXPECT_LT(ours.size(), 663u);
        }
    }
    // The L shapes stay out although their boxes overlap; the crossing line
    // and the polygon around the extent are kept.
    EXPECT_EQ(Column(ReadWithGdal(P("lines_out.shp")), "NAME"), std::vector<std::string>{"crossing"});
    EXPECT_EQ(Column(ReadWithGdal(P("polys_out.shp")), "NAME"), std::vector<std::string>{"around"});

    // Vertices against cs2cs on the same coordinates.
    const auto src = ReadWithGdal(P("bg.shp"));
    const auto ours = ReadWithGdal(P("bg_out.shp"));
    std::map<std::string, const Feat*> byKey;
    for (const Feat& f : src) byKey[f.attrs.at("BKG_KEY")] = &f;
    std::string input;
    std::vector<std::pair<double, double>> mine;
    for (const Feat& f : ours) {
        const Feat& s = *byKey.at(f.attrs.at("BKG_KEY"));
        ASSERT_EQ(s.points.size(), f.points.size());
        for (size_t i = 0; i < s.points.size(); i += 7) {
            char line[100];
            std::snprintf(line, sizeof line, "%.12f %.12f\n", s.points[i].first, s.points[i].second);
            input += line;
            mine.push_back(f.points[i]);
        }
    }
    WriteAll(P("cs2cs.in"), input);
    int st = -1;
    const std::string out = RunCommand("cs2cs -f %.6f +proj=longlat +datum=NAD83 +to +proj=utm +zone=10 +datum=NAD83 " +
                                            Quote(P("cs2cs.in")),
                                        &st);
    ASSERT_EQ(st, 0);
    std::istringstream lines(out);
    size_t k = 0;
    double x, y, z;
    for (; lines >> x >> y >> z; ++k) {
        ASSERT_LT(k, mine.size());
        EXPECT_NEAR(mine[k].first, x, 0.001);
        EXPECT_NEAR(mine[k].second, y, 0.001);
    }
    EXPECT_EQ(k, mine.size());
}

TEST_F(HostData, SelectionsGiveExactlyThoseRecords) {
    CopySample("blockgroups", "bg", kNad83Geo);
    const auto all = ReadWithGdal(P("bg.shp"));
    const std::vector<int> picked = {17, 0, 4};
    EXPECT_TRUE(Convert("bg", "sel", kNad83Utm10, nullptr, &picked).empty());
    const auto keys = Column(ReadWithGdal(P("sel.shp")), "BKG_KEY");
    EXPECT_EQ(keys, (std::vector<std::string>{all[0].attrs.at("BKG_KEY"), all[4].attrs.at("BKG_KEY"),
                                               all[17].attrs.at("BKG_KEY")}));

    const std::vector<int> none;
    EXPECT_TRUE(Convert("bg", "empty", kNad83Utm10, nullptr, &none).empty());
    int st = -1;
    const std::string info = RunCommand("ogrinfo -so -al " + Quote(P("empty.shp")) + " 2>&1", &st);
    EXPECT_EQ(st, 0);
    EXPECT_NE(info.find("Feature Count: 0"), std::string::npos) << info;
    EXPECT_NE(info.find("BKG_KEY: String (12.0)"), std::string::npos) << info;
}

// Pairs without a datum shift compare exactly with PROJ; a shift our table
// carries out compares within its own tolerance; a shift it cannot carry out
// fails and writes nothing.
TEST_F(HostData, SystemPairs) {
    CopySample("blockgroups", "wgs", kWgs84Geo);
    EXPECT_TRUE(Convert("wgs", "wgs_utm", kWgs84Utm10).empty());
    Reference("wgs", "wgs_ref", kWgs84Utm10, nullptr);
    ExpectSameFeatures(ReadWithGdal(P("wgs_utm.shp")), ReadWithGdal(P("wgs_ref.shp")), 0.001, "BKG_KEY");

    // A state plane copy in US feet, made by ogr2ogr, back to geographic.
    CopySample("blockgroups", "bg", kNad83Geo);
    int st = -1;
    RunCommand("ogr2ogr -t_srs EPSG:2227 " + Quote(P("sp.shp")) + " " + Quote(P("bg.shp")) + " 2>&1", &st);
    ASSERT_EQ(st, 0);
    EXPECT_TRUE(Convert("sp", "sp_geo", kNad83Geo).empty());
    ExpectSameFeatures(ReadWithGdal(P("sp_geo.shp")), ReadWithGdal(P("bg.shp")), 1e-8, "BKG_KEY");

    // NAD 1927 into WGS 1984 UTM: our table's geocentric translation, as
    // cs2cs carries it out when given the same numbers.
    CopySample("blockgroups", "n27", kNad27Geo);
    EXPECT_TRUE(Convert("n27", "n27_utm", kWgs84Utm10).empty());
    const DatumTransformation* row = FindDatumByName(u"D_North_American_1927");
    ASSERT_NE(row, nullptr);
    char proj[300];
    std::snprintf(proj, sizeof proj,
                  "+proj=longlat +ellps=clrk66 +towgs84=%.6f,%.6f,%.6f +no_defs +to +proj=utm +zone=10 "
                  "+datum=WGS84",
                  row->dx, row->dy, row->dz);
    const auto src = ReadWithGdal(P("n27.shp"));
    const auto ours = ReadWithGdal(P("n27_utm.shp"));
    ASSERT_EQ(src.size(), ours.size());
    std::string input;
    for (size_t i = 0; i < src.size(); i += 50)
        input += std::to_string(src[i].points[0].first) + " " + std::to_string(src[i].points[0].second) + "\n";
    WriteAll(P("n27.in"), input);
    std::istringstream lines(RunCommand("cs2cs -f %.4f " + std::string(proj) + " " + Quote(P("n27.in")), &st));
    ASSERT_EQ(st, 0);
    double x, y, z;
    for (size_t i = 0; lines >> x >> y >> z; i += 50) {
        // The input went through %f (6 decimals, 0.1 m): compare at 0.2 m.
        EXPECT_NEAR(ours[i].points[0].first, x, 0.2);
        EXPECT_NEAR(ours[i].points[0].second, y, 0.2);
    }

    // A datum the table shifts only by grid files: refused, nothing written.
    // The table is the shipped one with such a row added.
    fsys::copy_file(kDatums, P("datums.dbf"));
    {
        DbfHandle t = DbfOpen(P("datums.dbf").c_str(), kDbfReadWrite);
        ASSERT_NE(t, nullptr);
        ASSERT_TRUE(DbfBlankRecord(t));
        DbfPutLogical(t, DbfFindField(t, "DEFAULT"), 'T');
        DbfPutNumber(t, DbfFindField(t, "DATUMID"), 9999);
        DbfPutNumber(t, DbfFindField(t, "GEOGTRANID"), 99999);
        DbfPutText(t, DbfFindField(t, "DATUM"), u"D_Grid_Test");
        DbfPutText(t, DbfFindField(t, "SPHEROID"), u"Clarke_1866");
        DbfPutNumber(t, DbfFindField(t, "A"), 6378206.4);
        DbfPutNumber(t, DbfFindField(t, "INVERSE_F"), 294.978698213898);
        DbfPutText(t, DbfFindField(t, "METHOD"), u"NTv2");
        ASSERT_TRUE(DbfWriteRecord(t, kDbfAppend));
        DbfClose(t);
    }
    SetDatumTableFile(fs::DevicePathFromHost(P("datums.dbf")));
    CopySample("blockgroups", "grid",
               "GEOGCS[\"GCS_Grid\",DATUM[\"D_Grid_Test\",SPHEROID[\"Clarke_1866\",6378206.4,"
               "294.9786982]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    const auto before = Snapshot();
    try {
        Convert("grid", "grid_out", kWgs84Utm10);
        ADD_FAILURE() << "a grid shift converted";
    } catch (const HostError& e) {
        EXPECT_NE(std::string(e.what()).find("grid files"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Diff(before, Snapshot()), "");
}

// ------------------------------------------------------------------ deleted rows

TEST_F(HostData, DeletedRowsAreSkippedEverywhere) {
    MakeDeletedRows();
    auto cls = OpenShapefileClass(dir.Path(""), "del");
    EXPECT_EQ(cls->FeatureCount(), 8);
    std::vector<std::string> names;
    auto cursor = cls->Search(nullptr, true);
    HostFeature* first = nullptr;
    while (HostFeature* f = cursor->NextFeature()) {
        if (!first) first = f;
        EXPECT_EQ(f, first);  // recycled
        names.push_back(std::get<std::string>(f->values[0]));
    }
    cursor.reset();
    cls.reset();
    // GDAL skips both kinds of deleted rows as well.
    EXPECT_EQ(names, Column(ReadWithGdal(P("del.shp")), "NAME"));
    EXPECT_EQ(names, (std::vector<std::string>{"row0", "row1", "row3", "row5", "row6", "row8", "row10",
                                                "row11"}));

    EXPECT_TRUE(Convert("del", "del_out", kNad83Utm10).empty());
    int st = -1;
    EXPECT_NE(RunCommand("dbfdump " + Quote(P("del.dbf")), &st).find("(DELETED)"), std::string::npos);
    const std::string dump = RunCommand("dbfdump " + Quote(P("del_out.dbf")), &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(dump.find("(DELETED)"), std::string::npos) << dump;
    EXPECT_EQ(Column(ReadWithGdal(P("del_out.shp")), "NAME"), names);
    EXPECT_EQ(Column(ReadWithGdal(P("del_out.shp")), "VALUE"), Column(ReadWithGdal(P("del.shp")), "VALUE"));
}

// ------------------------------------------------------------------ code pages and fields

TEST_F(HostData, CodePagesSurviveConversion) {
    CopySample("blockgroups", "bg", kNad83Geo);
    CopySample("releaseArea20090407", "rel", kNad83Geo);
    fsys::copy_file(kDbf + "releaseArea20090407.cpg", P("rel.cpg"));
    WriteAll(P("bg_out.cpg"), "1251");  // an earlier export's
    EXPECT_TRUE(Convert("bg", "bg_out", kNad83Geo).empty());
    EXPECT_TRUE(Convert("rel", "rel_out", kNad83Geo).empty());
    EXPECT_EQ(static_cast<unsigned char>(ReadAll(P("bg_out.dbf"))[29]), 0x57);
    EXPECT_FALSE(fsys::exists(P("bg_out.cpg")));
    EXPECT_EQ(ReadAll(P("rel_out.cpg")), ReadAll(P("rel.cpg")));
    int st = -1;
    for (const char* n : {"bg", "rel"}) {
        // dbfdump shows the same table on both sides.
        const std::string a = RunCommand("dbfdump " + Quote(P(std::string(n) + ".dbf")), &st);
        const std::string b = RunCommand("dbfdump " + Quote(P(std::string(n) + "_out.dbf")), &st);
        EXPECT_EQ(st, 0);
        EXPECT_FALSE(a.empty());
        // Our engine writes field names in capitals, as the handheld does.
        auto upper = [](std::string s) {
            const size_t eol = s.find('\n');
            std::transform(s.begin(), s.begin() + static_cast<long>(eol), s.begin(),
                           [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
            return s;
        };
        EXPECT_EQ(upper(a), upper(b)) << n;
    }
}

TEST_F(HostData, FieldCheckerTable) {
    auto checker = CreateFieldChecker();
    auto field = [](const std::string& name, char type, int length, int decimals = 0) {
        HostField f;
        f.name = name;
        f.type = type;
        f.length = length;
        f.decimals = decimals;
        return f;
    };
    HostField shape;
    shape.name = "Shape";
    shape.type = 'G';
    shape.fieldType = kFieldGeometry;
    shape.geometryDef = std::make_shared<HostGeometryDef>();
    shape.geometryDef->codePageFile = "UTF-8";
    const std::vector<HostField> in = {
        field("POPULATION_1990", 'N', 9),  field("population_1991", 'N', 12),
        field("Name", 'C', 300),           field("NAME", 'C', 20),
        field("name", 'C', 20),            field("first name", 'C', 20),
        field("1990", 'N', 19, 11),        field("Straße_länge", 'C', 10),
        field("日本語の名前です", 'C', 10), field("when", 'D', 8),
        field("ok", 'L', 1),               field("blob", 'B', 10),
        shape,
    };
    std::vector<HostField> out;
    checker->Validate(in, &out);
    ASSERT_EQ(out.size(), in.size());
    const struct {
        const char* name;
        char type;
        int length, decimals;
    } expected[] = {
        {"POPULATION", 'N', 10, 0}, {"populati_1", 'N', 19, 0}, {"Name", 'C', 254, 0},
        {"NAME_1", 'C', 20, 0},     {"name_2", 'C', 20, 0},       {"first_name", 'C', 20, 0},
        {"_1990", 'N', 19, 11},     {"Straße_l", 'C', 10, 0},   {"日本語", 'C', 10, 0},
        {"when", 'D', 8, 0},        {"ok", 'L', 1, 0},            {"blob", 'C', 254, 0},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(in[i].name);
        EXPECT_EQ(out[i].name, expected[i].name);
        EXPECT_EQ(out[i].type, expected[i].type);
        EXPECT_EQ(out[i].length, expected[i].length);
        EXPECT_EQ(out[i].decimals, expected[i].decimals);
        EXPECT_LE(out[i].name.size(), 10u);
    }
    EXPECT_EQ(out.back().type, 'G');
    // The renames, old to new, for the layer file's references.
    const auto renames = checker->Renames();
    EXPECT_EQ(renames.front(), (std::pair<std::string, std::string>{"POPULATION_1990", "POPULATION"}));
    EXPECT_EQ(std::count_if(renames.begin(), renames.end(), [](auto& r) { return r.first == "Name"; }), 0);
    EXPECT_EQ(renames.size(), 8u);
    // A text longer than 254 is noted in the host log.
    const auto log = HostLogLines();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](auto& l) { return l.find("254") != std::string::npos; }));
}

TEST_F(HostData, FieldCheckerMapsEachOgrTypeOfAGeoPackage) {
    WriteAll(P("types.csv"),
             "WKT,s,i,big,r,d,b,dt\n"
             "\"POINT (1 2)\",text,7,12345678901,1.5,2020-01-02,true,2020-01-02T03:04:05\n");
    int st = -1;
    RunCommand("ogr2ogr -f GPKG " + Quote(P("types.gpkg")) + " " + Quote(P("types.csv")) +
                   " -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES -nln types"
                   " -oo AUTODETECT_SIZE_LIMIT=0 -a_srs EPSG:4326 2>&1",
               &st);
    ASSERT_EQ(st, 0);
    auto cls = OpenOgrClass(dir.Path(""), "types.gpkg");
    auto checker = CreateFieldChecker();
    checker->SetInputWorkspace(cls->Dataset()->Workspace());
    std::vector<HostField> out;
    checker->Validate(cls->Fields(), &out);
    std::map<std::string, std::string> got;
    for (const HostField& f : out)
        got[f.name] = std::string(1, f.type) + std::to_string(f.length) + "." + std::to_string(f.decimals);
    EXPECT_EQ(got["s"], "C254.0");
    EXPECT_EQ(got["i"], "N10.0");
    EXPECT_EQ(got["big"], "N19.0");
    EXPECT_EQ(got["r"], "N19.11");
    EXPECT_EQ(got["d"], "D8.0");
    EXPECT_EQ(got["b"], "L1.0");
    EXPECT_EQ(got["dt"], "C254.0");
    EXPECT_TRUE(checker->Renames().empty());
}

// ------------------------------------------------------------------ .prj

TEST_F(HostData, WrittenPrjIsTheMapsSystem) {
    CopySample("blockgroups", "bg", kNad83Geo);
    EXPECT_TRUE(Convert("bg", "bg_out", kNad83Utm10).empty());
    CWktCoordSys mapWkt, outWkt;
    ASSERT_TRUE(mapWkt.ParseWkt(text::FromUtf8(kNad83Utm10)));
    ASSERT_TRUE(outWkt.ReadPrjFile(fs::DevicePathFromHost(P("bg_out.prj"))));
    auto a = mapWkt.CreateProjection();
    auto b = outWkt.CreateProjection();
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->IsEqual(b.get()));
    int st = -1;
    const std::string proj4 = RunCommand("gdalsrsinfo -o proj4 " + Quote(P("bg_out.prj")) + " 2>&1", &st);
    EXPECT_EQ(st, 0);
    EXPECT_NE(proj4.find("+proj=utm +zone=10"), std::string::npos) << proj4;
    EXPECT_NE(proj4.find("+datum=NAD83"), std::string::npos) << proj4;
    const std::string info = RunCommand("projinfo -o PROJ " + Quote("@" + P("bg_out.prj")) + " 2>&1", &st);
    EXPECT_NE(info.find("+proj=utm +zone=10"), std::string::npos) << info;
}

// ------------------------------------------------------------------ index

TEST_F(HostData, AddIndexAnswersLikeABruteForceScan) {
    CopySample("blockgroups", "bg", kNad83Geo);
    EXPECT_TRUE(Convert("bg", "idx", "").empty());
    auto cls = OpenShapefileClass(dir.Path(""), "idx");
    try {
        cls->AddIndex("Sp_Idx", {"NAME"});
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "only spatial indexes are supported");
    }
    cls->AddIndex("Sp_Idx", {"Shape"});
    cls.reset();
    ASSERT_TRUE(fsys::exists(P("idx.sbn")));
    ASSERT_TRUE(fsys::exists(P("idx.sbx")));

    ShpHandle h = ShpOpen(fs::DevicePathFromHost(P("idx.shp")).c_str(), 0);
    ASSERT_NE(h, nullptr);
    const int n = ShpGetRecordCount(h);
    std::vector<CDoubleRect> boxes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) ASSERT_TRUE(ShpGetShapeBounds(ShpReadShape(h, i), &boxes[static_cast<size_t>(i)]));
    CSpatialIndex index;
    ASSERT_TRUE(index.OpenForLayer(h));
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) / static_cast<double>(1u << 24);
    };
    CDoubleRect all;
    ShpGetBounds(h, &all);
    for (int q = 0; q < 20; ++q) {
        const double x = all.xmin + next() * (all.xmax - all.xmin);
        const double y = all.ymin + next() * (all.ymax - all.ymin);
        const CDoubleRect rect(x, y, x + next() * 0.05, y + next() * 0.05);
        std::set<int> brute;
        for (int i = 0; i < n; ++i)
            if (boxes[static_cast<size_t>(i)].Intersects(rect)) brute.insert(i);
        index.QueryRect(rect, 0);
        const uint32_t* bits = index.GetResultData(0);
        ASSERT_NE(bits, nullptr);
        std::set<int> found;
        // Candidates may be coarser than the boxes: every box hit must be
        // among them, and each candidate's box must be near the query.
        for (int i = 0; i < n; ++i)
            if (bits[(i + 1) / 32] & (1u << ((i + 1) % 32))) found.insert(i);
        for (int i : brute) EXPECT_TRUE(found.count(i)) << "query " << q << " record " << i;
        std::set<int> exact;
        for (int i : found)
            if (boxes[static_cast<size_t>(i)].Intersects(rect)) exact.insert(i);
        EXPECT_EQ(exact, brute) << "query " << q;
    }
    index.Close();
    ShpClose(h);
}

// ------------------------------------------------------------------ OGR sources

TEST_F(HostData, OgrWorkspacesReadLikeOgrinfoAndRefuseWrites) {
    WriteAll(P("pts.geojson"), R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"NAME":"a","N":1,"R":2.5},"geometry":{"type":"Point","coordinates":[-122.4,37.7]}},
{"type":"Feature","properties":{"NAME":"b","N":2,"R":-1.25},"geometry":{"type":"Point","coordinates":[-122.5,37.8]}}]})");
    WriteAll(P("lns.json"), R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"NAME":"x"},"geometry":{"type":"LineString","coordinates":[[1,2],[3,4],[5,7]]}},
{"type":"Feature","properties":{"NAME":"y"},"geometry":{"type":"MultiLineString","coordinates":[[[0,0],[1,1]],[[2,2],[3,1]]]}}]})");
    int st = -1;
    RunCommand("ogr2ogr -f GPKG " + Quote(P("pts.gpkg")) + " " + Quote(P("pts.geojson")) + " 2>&1", &st);
    ASSERT_EQ(st, 0);
    RunCommand("ogr2ogr -f GeoJSON " + Quote(P("lns.geojson")) + " " + Quote(P("lns.json")) + " 2>&1", &st);
    ASSERT_EQ(st, 0);

    const struct {
        const char* file;
        const char* category;
        int shapeType;
    } cases[] = {{"pts.gpkg", "GeoPackage Feature Class", 1}, {"lns.geojson", "GeoJSON Feature Class", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto ws = CreateWorkspaceFactory(kOgrWorkspaceFactory)->OpenFromFile(dir.Path(""));
        EXPECT_EQ(ws->Kind(), WorkspaceKind::Ogr);
        auto cls = ws->OpenFeatureClass(c.file);
        EXPECT_EQ(cls->Dataset()->Category(), c.category);
        EXPECT_EQ(cls->ShapeType(), c.shapeType);
        const auto ref = ReadWithGdal(P(c.file));
        EXPECT_EQ(cls->FeatureCount(), static_cast<int>(ref.size()));
        const auto fields = cls->Fields();
        auto cursor = cls->Search(nullptr, false);
        size_t k = 0;
        while (HostFeature* f = cursor->NextFeature()) {
            ASSERT_LT(k, ref.size());
            for (size_t i = 0; i < fields.size(); ++i) {
                if (fields[i].type == 'G' || fields[i].type == 'I') continue;
                const std::string want = ref[k].attrs.at(fields[i].name);
                const HostValue& v = f->values[i];
                if (auto* s = std::get_if<std::string>(&v)) EXPECT_EQ(*s, want);
                if (auto* n = std::get_if<int64_t>(&v)) EXPECT_EQ(std::to_string(*n), want);
                if (auto* d = std::get_if<double>(&v)) EXPECT_DOUBLE_EQ(*d, std::stod(want));
            }
            ASSERT_EQ(f->shape.points.size(), ref[k].points.size());
            for (size_t i = 0; i < f->shape.points.size(); ++i) {
                EXPECT_EQ(f->shape.points[i].x, ref[k].points[i].first);
                EXPECT_EQ(f->shape.points[i].y, ref[k].points[i].second);
            }
            ++k;
        }
        EXPECT_EQ(k, ref.size());
        for (auto call : {std::function<void()>([&] { cls->Insert(true); }),
                          std::function<void()>([&] { ws->CreateFeatureClass("n", fields, "Shape"); })}) {
            try {
                call();
                ADD_FAILURE();
            } catch (const HostError& e) {
                EXPECT_STREQ(e.what(), "read-only data source");
            }
        }
    }
    // The GeoPackage converts into a shapefile in the map's system.
    EXPECT_TRUE(Convert("pts.gpkg", "pts_out", kNad83Utm10, nullptr, nullptr, kOgrWorkspaceFactory).empty());
    const auto out = ReadWithGdal(P("pts_out.shp"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].attrs.at("NAME"), "b");
    EXPECT_NEAR(out[0].points[0].first, 551082.0, 2000);  // somewhere in the city, projected

    // Coverages open nothing.
    try {
        CreateWorkspaceFactory(kTesselWorkspaceFactory)->OpenFromFile(dir.Path(""));
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "coverage data not supported");
    }
}

// ------------------------------------------------------------------ rasters

std::string JsonValue(const std::string& json, const std::string& key) {
    const size_t at = json.find("\"" + key + "\"");
    if (at == std::string::npos) return {};
    size_t from = json.find(':', at) + 1;
    while (json[from] == ' ') ++from;
    size_t to = from;
    int depth = 0;
    for (; to < json.size(); ++to) {
        if (json[to] == '[') ++depth;
        if (json[to] == ']') --depth;
        if (json[from] == '[' && depth == 0) {
            ++to;
            break;
        }
        if (depth == 0 && (json[to] == ',' || json[to] == '\n' || json[to] == '}')) break;
    }
    std::string v = json.substr(from, to - from);
    v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
            v.end());
    return v;
}

TEST_F(HostData, RastersMatchGdalinfo) {
    // A 40 x 30 colour picture as PPM, then JPEG, BMP and GeoTIFF.
    std::string ppm = "P6\n40 30\n255\n";
    for (int i = 0; i < 40 * 30; ++i) ppm += std::string{char(i), char(i * 3), char(i * 7)};
    WriteAll(P("pic.ppm"), ppm);
    int st = -1;
    RunCommand("cjpeg -outfile " + Quote(P("pic.jpg")) + " " + Quote(P("pic.ppm")), &st);
    ASSERT_EQ(st, 0);
    RunCommand("gdal_translate -q -of BMP " + Quote(P("pic.ppm")) + " " + Quote(P("pic.bmp")), &st);
    ASSERT_EQ(st, 0);
    RunCommand("gdal_translate -q -of GTiff -a_ullr 550000 4180000 554000 4177000 -a_srs EPSG:26910 " +
                   Quote(P("pic.ppm")) + " " + Quote(P("pic.tif")),
               &st);
    ASSERT_EQ(st, 0);
    WriteAll(P("PIC.JGW"), "10\n0\n0\n-10\n550005\n4179995\n");
    for (const char* f : {"pic.jpg", "pic.bmp", "pic.tif"}) {
        SCOPED_TRACE(f);
        auto r = CreateRasterDataset(P(f));
        const std::string json = RunCommand("gdalinfo -json " + Quote(P(f)), &st);
        ASSERT_EQ(st, 0);
        EXPECT_EQ("\"" + r->Format() + "\"", JsonValue(json, "driverShortName"));
        EXPECT_EQ("[" + std::to_string(r->Width()) + "," + std::to_string(r->Height()) + "]", JsonValue(json, "size"));
        EXPECT_EQ(r->BandCount(), 3);
        double g[6];
        const bool has = r->GeoReference(g);
        if (f == std::string("pic.bmp")) {
            EXPECT_FALSE(has);
            continue;
        }
        ASSERT_TRUE(has);
        // gdalinfo gives the corner of the first pixel; the world file its centre.
        char want[200];
        std::snprintf(want, sizeof want, "[%g,%g,%g,%g,%g,%g]", g[4] - g[0] / 2 - g[2] / 2, g[0], g[2],
                      g[5] - g[1] / 2 - g[3] / 2, g[1], g[3]);
        std::string got = JsonValue(json, "geoTransform");
        // Compare number by number.
        std::vector<double> a, b;
        for (auto* v : {&got}) {
            std::string s = v->substr(1, v->size() - 2);
            std::replace(s.begin(), s.end(), ',', ' ');
            std::istringstream in(s);
            for (double d; in >> d;) a.push_back(d);
        }
        std::string w(want);
        w = w.substr(1, w.size() - 2);
        std::replace(w.begin(), w.end(), ',', ' ');
        std::istringstream in(w);
        for (double d; in >> d;) b.push_back(d);
        ASSERT_EQ(a.size(), 6u) << json;
        for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(a[i], b[i], 1e-6) << i;
    }
    // The JPEG's world file was found under another letter case.
    double g[6];
    ASSERT_TRUE(CreateRasterDataset(P("pic.jpg"))->GeoReference(g));
    EXPECT_EQ(g[4], 550005);
    try {
        CreateRasterDataset(P("pic.tif"))->CopyTo(CreateWorkspaceFactory(kRasterWorkspaceFactory)->OpenFromFile(dir.Path("")), "x");
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "only MrSID datasets are copied");
    }
}

TEST_F(HostData, MrSidDatasetsAndTheirCopy) {
    fsys::copy_file(kSid + "n13250i.sid", P("chart.sid"));
    fsys::copy_file(kSid + "n13250i.sdw", P("CHART.SDW"));
    fsys::copy_file(kSid + "n13250i.prj", P("chart.prj"));
    auto r = CreateRasterDataset(P("chart.sid"));
    EXPECT_EQ(r->Format(), "MrSID");
    EXPECT_EQ(r->Width(), 618);
    EXPECT_EQ(r->Height(), 1265);
    EXPECT_EQ(r->BandCount(), 3);
    double g[6];
    ASSERT_TRUE(r->GeoReference(g));  // N.SDW found
    fsys::create_directory(P("out"));
    auto ws = CreateWorkspaceFactory(kRasterWorkspaceFactory)->OpenFromFile(P("out"));
    r->CopyTo(ws, "N");
    EXPECT_EQ(ReadAll(P("out/N.sid")), ReadAll(kSid + "n13250i.sid"));
    EXPECT_EQ(ReadAll(P("out/N.sdw")), ReadAll(kSid + "n13250i.sdw"));

    // The system: none and the same are accepted, another is not.
    auto same = SpatialReferenceFromPrj(ReadAll(kSid + "n13250i.prj"));
    EXPECT_NO_THROW(r->SetSpatialReference(same));
    EXPECT_THROW(r->SetSpatialReference(SpatialReferenceFromPrj(kWgs84Geo)), HostError);
    fsys::remove(P("chart.prj"));
    EXPECT_NO_THROW(CreateRasterDataset(P("chart.sid"))->SetSpatialReference(same));
}

// ------------------------------------------------------------------ faults

// Each write, in turn, fails (and then the disk fills, and then a rename
// fails): the call raises with the reason, leaves no output and no
// temporary file, and the source stays byte for byte.
TEST_F(HostData, EveryWriteOfAConversionCanFail) {
    MakeDeletedRows();
    fsys::copy_file(kDbf + "releaseArea20090407.cpg", P("del.cpg"));
    const auto before = Snapshot();
    int failures = 0;
    for (int k = 1;; ++k) {
        fs::test::Reset();
        fs::test::FailNthWrite(k);
        try {
            Convert("del", "out", kNad83Geo);
        } catch (const HostError& e) {
            ++failures;
            EXPECT_FALSE(std::string(e.what()).empty());
            EXPECT_EQ(Diff(before, Snapshot()), "") << "write " << k << ": " << e.what();
            continue;
        }
        const bool reached = !fs::test::WriteFaultPending();
        fs::test::Reset();
        EXPECT_FALSE(reached) << "write " << k << " failed but the conversion succeeded";
        break;
    }
    EXPECT_GT(failures, 5);
    EXPECT_FALSE(fsys::exists(P("out~new.shp")));
    EXPECT_TRUE(fsys::exists(P("out.shp")));
    for (const auto& e : fsys::directory_iterator(dir.Path(""))) {
        const std::string n = e.path().filename().string();
        if (n.rfind("out", 0) == 0) fsys::remove(e.path());
    }
    for (uint64_t budget : {0ull, 200ull, 1000ull, 2000ull}) {
        fs::test::Reset();
        fs::test::SetWriteBudget(budget);
        EXPECT_THROW(Convert("del", "out", kNad83Geo), HostError) << budget;
        EXPECT_EQ(Diff(before, Snapshot()), "") << budget;
    }
    // Every disk sync up to the last one (before the new files take their
    // names) can fail; the conversion then leaves the folder as it was.
    int syncFailures = 0;
    for (int k = 1; k < 50; ++k) {
        fs::test::Reset();
        fs::test::FailNthFlush(k);
        try {
            Convert("del", "out", kNad83Geo);
        } catch (const HostError& e) {
            ++syncFailures;
            EXPECT_EQ(Diff(before, Snapshot()), "") << "sync " << k << ": " << e.what();
            continue;
        }
        break;
    }
    EXPECT_GT(syncFailures, 2);
    for (const auto& e : fsys::directory_iterator(dir.Path(""))) {
        const std::string n = e.path().filename().string();
        if (n.rfind("out", 0) == 0) fsys::remove(e.path());
    }
    for (const char* ext : {".shp", ".dbf", ".prj", ".cpg"}) {
        fs::test::Reset();
        fs::test::FailPath(fs::DevicePathFromHost(P(std::string("out") + ext)), fs::kErrorAccessDenied);
        EXPECT_THROW(Convert("del", "out", kNad83Geo), HostError) << ext;
        EXPECT_EQ(Diff(before, Snapshot()), "") << ext;
    }
    fs::test::Reset();
    // An existing target is never written over.
    EXPECT_TRUE(Convert("del", "out", kNad83Geo).empty());
    try {
        Convert("del", "out", kNad83Geo);
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "output exists");
    }
}

TEST_F(HostData, ClassCreationAndIndexFailCleanly) {
    MakeDeletedRows();
    auto src = OpenShapefileClass(dir.Path(""), "del");
    const auto fields = src->Fields();
    src.reset();
    auto ws = OpenShapefileWorkspace(dir.Path(""));
    const auto before = Snapshot();
    for (int k = 1;; ++k) {
        fs::test::Reset();
        fs::test::FailNthWrite(k);
        try {
            ws->CreateFeatureClass("made", fields, "Shape");
        } catch (const HostError& e) {
            EXPECT_EQ(Diff(before, Snapshot()), "") << "write " << k << ": " << e.what();
            continue;
        }
        fs::test::Reset();
        break;
    }
    fs::test::Reset();
    try {
        ws->CreateFeatureClass("made", fields, "Shape");
        ADD_FAILURE();
    } catch (const HostError& e) {
        EXPECT_STREQ(e.what(), "already exists");
    }
    // The index: each write fails in turn; no index files stay behind.
    const auto withClass = Snapshot();
    auto cls = ws->OpenFeatureClass("del");
    for (int k = 1; k < 200; ++k) {
        fs::test::Reset();
        fs::test::FailNthWrite(k);
        try {
            cls->AddIndex("Sp_Idx", {"Shape"});
        } catch (const HostError& e) {
            EXPECT_EQ(Diff(withClass, Snapshot()), "") << "write " << k << ": " << e.what();
            continue;
        }
        fs::test::Reset();
        break;
    }
    fs::test::Reset();
    EXPECT_TRUE(fsys::exists(P("del.sbn")));
}

TEST_F(HostData, RasterCopyFailsWithoutLeavingFiles) {
    fsys::copy_file(kSid + "n13250i.sid", P("chart.sid"));
    fsys::copy_file(kSid + "n13250i.sdw", P("chart.sdw"));
    fsys::create_directory(P("out"));
    auto r = CreateRasterDataset(P("chart.sid"));
    auto ws = CreateWorkspaceFactory(kRasterWorkspaceFactory)->OpenFromFile(P("out"));
    for (int k = 1;; ++k) {
        fs::test::Reset();
        fs::test::FailNthWrite(k);
        try {
            r->CopyTo(ws, "N");
        } catch (const HostError&) {
            EXPECT_TRUE(fsys::is_empty(P("out"))) << k;
            continue;
        }
        fs::test::Reset();
        break;
    }
    for (const char* ext : {".sid", ".sdw"}) {
        fsys::remove_all(P("out"));
        fsys::create_directory(P("out"));
        fs::test::Reset();
        fs::test::FailPath(fs::DevicePathFromHost(P(std::string("out/N") + ext)), fs::kErrorAccessDenied);
        EXPECT_THROW(r->CopyTo(ws, "N"), HostError);
        EXPECT_TRUE(fsys::is_empty(P("out"))) << ext;
    }
    fs::test::Reset();
}

// Every operation of these roles can be made to fail by name.
TEST_F(HostData, HostFaultsReachTheDataRoles) {
    CopySample("blockgroups", "bg", kNad83Geo);
    const char* operations[] = {"IHostFeatureClass::FeatureCount", "IHostFeatureClass::Search",
                                "IHostFeatureCursor::NextFeature", "IHostFeatureDataConverter::Convert",
                                "IHostFieldChecker::Validate", "IHostWorkspace::CreateFeatureClass",
                                "IHostRasterDataset::CopyTo", "IHostFeatureClass::AddIndex"};
    for (const char* op : operations) {
        SCOPED_TRACE(op);
        HostFaults::Reset();
        HostFaults::FailAlways(op);
        bool raised = false;
        try {
            const std::string o = op;
            if (o.find("Convert") != std::string::npos || o.find("Validate") != std::string::npos ||
                o.find("CreateFeatureClass") != std::string::npos) {
                Convert("bg", "f", kNad83Geo);
            } else if (o.find("Raster") != std::string::npos) {
                fsys::copy_file(kSid + "n13250i.sid", P("c.sid"), fsys::copy_options::overwrite_existing);
                CreateRasterDataset(P("c.sid"))->CopyTo(OpenShapefileWorkspace(dir.Path("")), "n");
            } else {
                auto cls = OpenShapefileClass(dir.Path(""), "bg");
                cls->FeatureCount();
                cls->Search(nullptr, true)->NextFeature();
                cls->AddIndex("i", {"Shape"});
            }
        } catch (const HostError& e) {
            raised = std::string(e.what()) == std::string(op) + " failed";
        }
        EXPECT_TRUE(raised);
        EXPECT_FALSE(fsys::exists(P("f.shp")));
    }
}

}  // namespace
