// The desktop host's feature converter and the pack's copy beside GDAL's
// GDALVectorTranslate (ogr2ogr as a library, in this process, with the same
// options and shapefile output), on one layer made once: 100,000 polygons of
// 20 vertices in a geographic system, ten attribute fields.
//   convert/projected   into UTM 10N               ogr2ogr -t_srs
//   convert/filtered    the same, about half kept  ogr2ogr -t_srs -spat -spat_srs
//   convert/plain       no projection              ogr2ogr
//   pack                10 % of the rows deleted   ogr2ogr (which skips them)
//   wizard              the map export wizard's    ogr2ogr
//                       run: shapefile, layer file,
//                       map file and summary
// The pack flushes every feature to the system, as the command does, and
// syncs the copy to the disk once (before its index is built).
#include <benchmark/benchmark.h>
#include <gdal.h>
#include <gdal_utils.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "crs/datum_table.h"
#include "desktop/host/feature_cursor.h"
#include "desktop/host/host_names.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/host/ogr_workspace.h"
#include "desktop/host/role_factories.h"
#include "desktop/host/shapefile_workspace.h"
#include "desktop/tools/entry_points.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shp_engine.h"
#include "platform/fs/fs.h"

namespace {

using namespace host;
namespace fsys = std::filesystem;

constexpr int kFeatures = 100000;
constexpr int kPackFeatures = kFeatures;
const char kGeo[] =
    "GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\",SPHEROID[\"GRS_1980\","
    "6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
const std::string kUtm =
    "PROJCS[\"NAD_1983_UTM_Zone_10N\"," + std::string(kGeo) +
    ",PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],"
    "PARAMETER[\"False_Northing\",0.0],PARAMETER[\"Central_Meridian\",-123.0],"
    "PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";
// West half of the layer, in UTM 10N.
const HostEnvelope kHalf{300000, 3000000, 528000, 6000000};

std::string g_dir;

void Write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// The layer "src" (and "del", the same with every tenth row deleted).
void MakeLayer(const std::string& name, bool deleteTenth, int count) {
    ShpHandle h = ShpCreate(fs::DevicePathFromHost(g_dir + "/" + name + ".shp").c_str(), kShapePolygon, 0);
    DbfHandle t = ShpGetTable(h);
    for (int f = 0; f < 10; ++f) {
        const std::string n = "F" + std::to_string(f);
        if (f % 3 == 0)
            DbfAddField(t, n.c_str(), 'C', 16, 0);
        else
            DbfAddField(t, n.c_str(), 'N', 12, f % 3 == 1 ? 0 : 4);
    }
    std::vector<uint8_t> storage;
    HostGeometry g;
    g.shapeType = kShapePolygon;
    g.parts = {0};
    for (int i = 0; i < count; ++i) {
        const double cx = -123.9 + 1.8 * (i % 1000) / 1000.0, cy = 36.0 + 3.0 * (i / 1000) / 100.0;
        g.points.clear();
        for (int k = 0; k < 20; ++k) {
            const double a = -2 * M_PI * k / 19;
            g.points.push_back({cx + 0.0005 * std::cos(a), cy + 0.0005 * std::sin(a)});
        }
        ShpAppendShape(h, RecordOfGeometry(g, storage));
        DbfReadRecord(t, i);
        for (int f = 0; f < 10; ++f) {
            if (f % 3 == 0)
                DbfPutText(t, f, text::FromUtf8("value " + std::to_string(i * 10 + f)).c_str());
            else
                DbfPutNumber(t, f, i * 0.5 + f);
        }
        DbfWriteRecord(t, i);
    }
    if (deleteTenth)
        for (int i = 0; i < count; i += 10) DbfDeleteRecord(t, i);
    ShpClose(h);
    Write(g_dir + "/" + name + ".prj", kGeo);
}

void Setup() {
    if (!g_dir.empty()) return;
    char t[] = "/tmp/zn-export-bench-XXXXXX";
    g_dir = mkdtemp(t);
    fs::SetDeviceRoot("/");
    EnsureGdal();
    SetDatumTableFile(fs::DevicePathFromHost(ZN_SOURCE_DIR "/data/System/znDatums.dbf"));
    MakeLayer("src", false, kFeatures);
    MakeLayer("del", true, kPackFeatures);
    Write(g_dir + "/utm.prj", kUtm);
}

void RemoveOutput(const std::string& name) {
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg", ".sbn", ".sbx"})
        fsys::remove(g_dir + "/" + name + ext);
}

void Ours(benchmark::State& state, const std::string& target, bool filtered) {
    Setup();
    for (auto _ : state) {
        state.PauseTiming();
        RemoveOutput("ours");
        state.ResumeTiming();
        auto src = OpenShapefileClass(g_dir, "src");
        auto checker = CreateFieldChecker();
        checker->SetInputWorkspace(src->Dataset()->Workspace());
        std::vector<HostField> fields;
        checker->Validate(src->Fields(), &fields);
        HostGeometryDef def = src->GeometryDef();
        def.reference = SpatialReferenceFromPrj(target);
        src.reset();
        auto filter = CreateSpatialFilter();
        filter->SetGeometry(kHalf);
        CreateFeatureDataConverter()->Convert(
            FeatureClassName(g_dir, kShapefileWorkspaceFactory, "src"), filtered ? filter.get() : nullptr,
            nullptr, FeatureClassName(g_dir, kShapefileWorkspaceFactory, "ours"), def, fields, 1000);
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

void Gdal(benchmark::State& state, const std::string& source, std::vector<std::string> args) {
    Setup();
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        RemoveOutput("gdal");
        state.ResumeTiming();
        GDALVectorTranslateOptions* o = GDALVectorTranslateOptionsNew(argv.data(), nullptr);
        GDALDatasetH in = GDALOpenEx((g_dir + "/" + source + ".shp").c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        int err = 0;
        GDALDatasetH out = GDALVectorTranslate((g_dir + "/gdal.shp").c_str(), nullptr, 1, &in, o, &err);
        GDALClose(out);
        GDALClose(in);
        GDALVectorTranslateOptionsFree(o);
        if (err) state.SkipWithError("GDALVectorTranslate failed");
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

void BM_ConvertProjected_Ours(benchmark::State& s) { Ours(s, kUtm, false); }
void BM_ConvertProjected_Ogr2ogr(benchmark::State& s) {
    Setup();
    Gdal(s, "src", {"-f", "ESRI Shapefile", "-t_srs", g_dir + "/utm.prj"});
}
void BM_ConvertFiltered_Ours(benchmark::State& s) { Ours(s, kUtm, true); }
void BM_ConvertFiltered_Ogr2ogr(benchmark::State& s) {
    Setup();
    Gdal(s, "src", {"-f", "ESRI Shapefile", "-t_srs", g_dir + "/utm.prj", "-spat", "300000", "3000000",
                    "528000", "6000000", "-spat_srs", g_dir + "/utm.prj"});
}
void BM_ConvertPlain_Ours(benchmark::State& s) { Ours(s, kGeo, false); }
void BM_ConvertPlain_Ogr2ogr(benchmark::State& s) { Gdal(s, "src", {"-f", "ESRI Shapefile"}); }

// The pack's copy: every row the cursor gives, through a buffered insert
// cursor flushed after each feature, as the pack does; AddIndex syncs it.
void BM_Pack_Ours(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        state.PauseTiming();
        RemoveOutput("packed");
        state.ResumeTiming();
        auto src = OpenShapefileClass(g_dir, "del");
        const auto fields = src->Fields();
        auto target = OpenShapefileWorkspace(g_dir)->CreateFeatureClass("packed", fields, "Shape");
        auto insert = target->Insert(true);
        HostFeature buffer = target->CreateFeatureBuffer();
        auto cursor = src->Search(nullptr, true);
        while (HostFeature* f = cursor->NextFeature()) {
            for (size_t i = 0; i < fields.size(); ++i)
                if (fields[i].editable && fields[i].fieldType != kFieldOID && fields[i].fieldType != kFieldGeometry)
                    buffer.values[i] = f->values[i];
            buffer.shape = f->shape;
            insert->InsertFeature(buffer);
            insert->Flush();
        }
        insert->Flush();
        insert.reset();
        target->AddIndex("Sp_Idx", {"Shape"});
    }
    state.SetItemsProcessed(state.iterations() * kPackFeatures);
}
// The whole wizard through the scripted host: the layer in a desktop map
// of its own system (as ogr2ogr's plain copy), the full layer extent, into
// a fresh folder each time.
void BM_Wizard_Ours(benchmark::State& state) {
    Setup();
    Write(g_dir + "/bench.dmap",
          "<desktopmap version=\"1\"><map name=\"m\"><coordsys prj=\"src.prj\"/>"
          "<view xmin=\"-124\" ymin=\"35.9\" xmax=\"-122\" ymax=\"39.1\"/>"
          "<layer kind=\"feature\" name=\"src\"><data workspace=\".\" dataset=\"src\"/>"
          "<simplerenderer><simplefill color=\"200,180,120\"/></simplerenderer></layer>"
          "</map></desktopmap>");
    const std::string out = g_dir + "/wizard";
    const std::string answers = "dialog \"Zarnip Map Wizard\" press=\"Next >\" choose=\"Full layer extent\" "
                                "press=\"Next >\" type=\"txtFolderName=" + out +
                                "\" type=\"txtMapName=Bench\" press=\"&Finish\" press=\"&OK\"\n";
    for (auto _ : state) {
        state.PauseTiming();
        fsys::remove_all(out);
        fsys::create_directory(out);
        int bad = 0;
        auto parsed = ParseAnswers(answers, &bad);
        ScriptedHostUi ui(*parsed, [](const std::string& prompt) { throw std::runtime_error(prompt); });
        DmapError e;
        auto app = OpenHostDocument(g_dir + "/bench.dmap", ui, &e);
        if (!app) {
            state.SkipWithError(e.Text().c_str());
            break;
        }
        auto map = app->Document()->FocusMap();
        state.ResumeTiming();
        zntools8::RunMapWizard(*app, map, {map->Layer(0)});
        state.PauseTiming();
        if (!fsys::exists(out + "/src.shp") || !fsys::exists(out + "/Bench.znm") ||
            !fsys::exists(out + "/Summary.txt") || ui.AnswersLeft() != 0)
            state.SkipWithError("the wizard did not write its files");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

void BM_Pack_Ogr2ogr(benchmark::State& s) {
    Gdal(s, "del", {"-f", "ESRI Shapefile"});
    s.SetItemsProcessed(s.iterations() * kPackFeatures);
}

BENCHMARK(BM_ConvertProjected_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ConvertProjected_Ogr2ogr)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ConvertFiltered_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ConvertFiltered_Ogr2ogr)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ConvertPlain_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ConvertPlain_Ogr2ogr)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Pack_Ours)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Pack_Ogr2ogr)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Wizard_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_dir.empty()) fsys::remove_all(g_dir);
    return 0;
}
