// The add-in's Pack Shapefile command over the host's roles: the pack in
// place against GDAL's own repack, new and existing destinations, the
// dialog's boxes, and a failure at each step that leaves the user's files
// and map as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "desktop/host/feature_cursor.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/tools/pack_shapefile.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/spatial_index.h"
#include "crs/wkt.h"
#include "platform/fs/fs.h"
#include "tests/desktop/zntools3_test_util.h"
#include "tests/support/run_command.h"

namespace {

using namespace host;
using namespace zntools8;
using testsupport::RunCommand;
using zn3test::ReadAll;
using zn3test::WriteAll;
namespace fsys = std::filesystem;

struct Unanswered : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const char kUtm10[] =
    "PROJCS[\"NAD_1983_UTM_Zone_10N\",GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_American_1983\","
    "SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\","
    "0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],"
    "PARAMETER[\"False_Northing\",0.0],PARAMETER[\"Central_Meridian\",-123.0],PARAMETER[\"Scale_Factor\","
    "0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";

class Pack : public ::testing::Test {
protected:
    void SetUp() override {
        fs::SetDeviceRoot("/");
        fs::ClearMounts();
        fs::test::Reset();
        HostFaults::Reset();
        ShpResetForTests();
        folder = dir.Path("");
    }
    void TearDown() override {
        fs::test::Reset();
        HostFaults::Reset();
        fs::ResetConfiguration();
    }
    std::string P(const std::string& name) const { return dir.Path(name); }

    // A polygon shapefile of 12 records (NAME "row<i>", VALUE i * 1.25) with
    // records 2 and 7 deleted by the engine and rows 4 and 9 flagged '*' only
    // in the .dbf; language driver 0x57, a .prj and an index.
    void MakeDeletedRows(const std::string& name) {
        ShpHandle h = ShpCreate(fs::DevicePathFromHost(P(name + ".shp")).c_str(), kShapePolygon, 0);
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
            ASSERT_EQ(ShpAppendShape(h, RecordOfGeometry(g, storage)), i);
            ASSERT_TRUE(DbfReadRecord(t, i));
            DbfPutText(t, 0, text::FromUtf8("row" + std::to_string(i)).c_str());
            DbfPutNumber(t, 1, i * 1.25);
            ASSERT_TRUE(DbfWriteRecord(t, i));
        }
        for (int d : {2, 7}) ASSERT_EQ(ShpDeleteShape(h, d, 0), 1);
        for (int d : {4, 9}) ASSERT_TRUE(DbfDeleteRecord(t, d));
        CSpatialIndex index;
        ASSERT_TRUE(index.Rebuild(h));
        ShpClose(h);
        WriteAll(P(name + ".prj"), kUtm10);
    }

    // A map: a raster, the layer "Parcels" showing `dataset`, a layer of
    // another shapefile; the selected layer as given.
    std::shared_ptr<HostApplicationImpl> Open(const std::string& dataset, const std::string& selected,
                                              IHostUi& ui) {
        const std::string dmap =
            "<desktopmap version=\"1\"><map name=\"m\" selected=\"" + selected + "\">"
            "<layer kind=\"raster\" name=\"Ortho\" file=\"ortho.jpg\"/>"
            "<layer kind=\"feature\" name=\"Parcels\"><data workspace=\"" + folder + "\" dataset=\"" + dataset +
            "\"/><simplerenderer label=\"Parcels\"><simplefill hsv=\"120,100,50\" style=\"solid\"/>"
            "</simplerenderer></layer>"
            "<layer kind=\"feature\" name=\"Cities\"><data workspace=\"" + folder +
            "\" dataset=\"cities.gpkg\" wskind=\"ogr\"/></layer>"
            "</map></desktopmap>";
        const std::string path = dir.Write("m.dmap", dmap);
        DmapError e;
        auto app = OpenHostDocument(path, ui, &e);
        EXPECT_TRUE(app) << e.Text();
        return app;
    }

    ScriptedHostUi Ui(const std::string& answers) {
        int bad = 0;
        auto parsed = ParseAnswers(answers, &bad);
        EXPECT_TRUE(parsed) << "answers line " << bad;
        return ScriptedHostUi(parsed.value_or(std::deque<ScriptedAnswer>{}),
                              [](const std::string& prompt) { throw Unanswered(prompt); });
    }

    std::map<std::string, std::string> Snapshot(const std::string& prefix = "") const {
        std::map<std::string, std::string> files;
        for (const auto& e : fsys::directory_iterator(dir.Path("")))
            if (e.path().filename().string().rfind(prefix, 0) == 0 && e.path().extension() != ".dmap")
                files[e.path().filename().string()] = ReadAll(e.path().string());
        return files;
    }
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

    std::vector<std::string> LayerNames(IHostApplication& app) {
        std::vector<std::string> out;
        auto map = app.Document()->FocusMap();
        for (int i = 0; i < map->LayerCount(); ++i) out.push_back(map->Layer(i)->Name());
        return out;
    }
    std::string RendererLabel(IHostApplication& app, int index) {
        auto l = std::dynamic_pointer_cast<IHostGeoFeatureLayer>(app.Document()->FocusMap()->Layer(index));
        if (!l || !l->Renderer()) return "(none)";
        auto simple = std::dynamic_pointer_cast<IHostSimpleRenderer>(l->Renderer());
        return simple ? simple->Label() : "(other)";
    }

    zn3test::TempDir dir;
    std::string folder;
};

TEST_F(Pack, InPlaceEqualsGdalsRepackAndTheLayerComesBack) {
    MakeDeletedRows("del");
    // GDAL's own repack of a copy is the reference.
    fsys::create_directory(P("ref"));
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj"}) fsys::copy_file(P(std::string("del") + ext), P(std::string("ref/del") + ext));
    int st = -1;
    RunCommand("ogrinfo -q " + P("ref/del.shp") + " -sql 'REPACK del' 2>&1", &st);
    ASSERT_EQ(st, 0);

    ScriptedHostUi ui = Ui("");
    auto app = Open("del", "Parcels", ui);
    PackShapefileDialog d;
    d.Initialize(*app);
    d.Prefill();
    EXPECT_EQ(d.Path(0), folder + "/del");
    EXPECT_EQ(d.Path(1), folder + "/Parcels");
    EXPECT_TRUE(d.OkEnabled());
    d.Edit(1, folder + "/del");  // in place
    ASSERT_TRUE(d.Act("press", "&OK"));
    EXPECT_TRUE(d.Finished());
    EXPECT_EQ(d.DoneText(), "Finished!");
    EXPECT_EQ(d.ProgressMaximum(), 8);
    EXPECT_EQ(d.ProgressPeak(), 8);
    EXPECT_EQ(ui.Log().find("Failed"), std::string::npos) << ui.Log();

    // The same features as GDAL's repack holds.
    EXPECT_EQ(RunCommand("ogrinfo -al -q " + P("del.shp") + " | grep -v -e DBF_DATE -e Metadata", &st),
              RunCommand("ogrinfo -al -q " + P("ref/del.shp") + " | grep -v -e DBF_DATE -e Metadata", &st));
    const std::string dump = RunCommand("dbfdump " + P("del.dbf"), &st);
    EXPECT_EQ(dump.find("(DELETED)"), std::string::npos);
    EXPECT_EQ(dump, RunCommand("dbfdump " + P("ref/del.dbf"), &st));
    EXPECT_EQ(RunCommand("shpdump -ro " + P("del.shp") + " | tail -n +2", &st),
              RunCommand("shpdump -ro " + P("ref/del.shp") + " | tail -n +2", &st));
    EXPECT_EQ(static_cast<unsigned char>(ReadAll(P("del.dbf"))[29]), 0x57);
    CWktCoordSys a, b;
    ASSERT_TRUE(a.ReadPrjFile(fs::DevicePathFromHost(P("del.prj"))));
    ASSERT_TRUE(b.ParseWkt(text::FromUtf8(kUtm10)));
    EXPECT_TRUE(a.CreateProjection()->IsEqual(b.CreateProjection().get()));
    // No temporary or backup file stays.
    for (const auto& [name, bytes] : Snapshot()) EXPECT_EQ(name.find("____________"), std::string::npos) << name;

    // The new index answers like a scan of the boxes.
    ShpHandle h = ShpOpen(fs::DevicePathFromHost(P("del.shp")).c_str(), 0);
    ASSERT_NE(h, nullptr);
    CSpatialIndex index;
    ASSERT_TRUE(index.OpenForLayer(h));
    for (int q = 0; q < 20; ++q) {
        const CDoubleRect rect(550000 + 173.0 * q, 4177000 + 131.0 * q, 550300 + 211.0 * q, 4177400 + 160.0 * q);
        std::set<int> brute, found;
        for (int i = 0; i < ShpGetRecordCount(h); ++i) {
            CDoubleRect box;
            ShpGetShapeBounds(ShpReadShape(h, i), &box);
            if (box.Intersects(rect)) brute.insert(i);
        }
        index.QueryRect(rect, 0);
        const uint32_t* bits = index.GetResultData(0);
        for (int i = 0; i < ShpGetRecordCount(h); ++i) {
            CDoubleRect box;
            ShpGetShapeBounds(ShpReadShape(h, i), &box);
            if (bits && (bits[(i + 1) / 32] & (1u << ((i + 1) % 32))) && box.Intersects(rect)) found.insert(i);
        }
        EXPECT_EQ(found, brute) << q;
    }
    index.Close();
    ShpClose(h);

    // The layer is back at its place with its renderer, named after the class.
    EXPECT_EQ(LayerNames(*app), (std::vector<std::string>{"Ortho", "del", "Cities"}));
    EXPECT_EQ(RendererLabel(*app, 1), "Parcels");
    // And the document was saved with it.
    DmapError e;
    auto saved = ReadDmapFile(P("m.dmap"), &e);
    ASSERT_TRUE(saved) << e.Text();
    EXPECT_EQ(saved->maps[0].layers[1]->name, "del");
}

TEST_F(Pack, NewDestinationIsAddedOnTopAndTheSourceStays) {
    MakeDeletedRows("del");
    const auto source = Snapshot("del");
    ScriptedHostUi ui = Ui("");
    auto app = Open("del", "Parcels", ui);
    PackShapefileDialog d;
    d.Initialize(*app);
    d.Prefill();  // destination: the layer's name, a new shapefile
    ASSERT_TRUE(d.Act("press", "&OK"));
    EXPECT_EQ(d.DoneText(), "Finished!");
    EXPECT_EQ(Diff(source, Snapshot("del")), "");
    EXPECT_EQ(LayerNames(*app), (std::vector<std::string>{"Parcels", "Ortho", "Parcels", "Cities"}));
    EXPECT_TRUE(fsys::exists(P("Parcels.sbn")));
    EXPECT_FALSE(fsys::exists(P("Parcels.znl")));
    int st = -1;
    EXPECT_EQ(RunCommand("dbfdump " + P("Parcels.dbf"), &st).find("(DELETED)"), std::string::npos);
}

TEST_F(Pack, ExistingDestinationNoLayerShowsIsReplacedWithoutALayer) {
    MakeDeletedRows("del");
    MakeDeletedRows("other");
    ScriptedHostUi ui = Ui("");
    auto app = Open("del", "Parcels", ui);
    PackShapefileDialog d;
    d.Initialize(*app);
    d.Prefill();
    d.Edit(1, folder + "/other");
    ASSERT_TRUE(d.Act("press", "&OK"));
    EXPECT_EQ(d.DoneText(), "Finished!");
    EXPECT_EQ(LayerNames(*app), (std::vector<std::string>{"Ortho", "Parcels", "Cities"}));
    int st = -1;
    EXPECT_EQ(RunCommand("dbfdump " + P("other.dbf"), &st).find("(DELETED)"), std::string::npos);
}

TEST_F(Pack, BoxesFillOnlyFromAShapefileLayer) {
    ScriptedHostUi ui = Ui("");
    for (const char* selected : {"Ortho", "Cities", ""}) {
        SCOPED_TRACE(selected);
        auto app = Open("del", selected, ui);
        PackShapefileDialog d;
        d.Initialize(*app);
        d.Prefill();
        EXPECT_EQ(d.Path(0), "");
        EXPECT_EQ(d.Path(1), "");
        EXPECT_FALSE(d.OkEnabled());
        EXPECT_FALSE(d.Act("press", "&OK"));
        d.Edit(0, "   ");
        d.Edit(1, folder + "/x");
        EXPECT_FALSE(d.OkEnabled());
        d.Edit(0, folder + "/y");
        EXPECT_TRUE(d.OkEnabled());
        EXPECT_EQ(d.DoneText(), "");
    }
    // Browsing: the filter, the flags as the host knows them, the ".shp" cut,
    // and the source copied into an empty destination.
    ScriptedHostUi browse = Ui("file \"Select input shapefile\" path=" + folder + "/a.shp\n"
                               "file \"Save output shapefile as...\" cancel\n");
    auto app = Open("del", "", browse);
    PackShapefileDialog d;
    d.Initialize(*app);
    d.Browse(PackShapefileDialog::kSource);
    EXPECT_EQ(d.Path(0), folder + "/a");
    EXPECT_EQ(d.Path(1), folder + "/a");
    EXPECT_TRUE(d.OkEnabled());
    d.Browse(PackShapefileDialog::kDestination);
    EXPECT_EQ(d.Path(1), folder + "/a");
    EXPECT_EQ(MapFileDialogFlags(kPackOpenFlags), kFileCreatePrompt);
    EXPECT_EQ(MapFileDialogFlags(kPackSaveFlags), 0u);
    EXPECT_EQ(MapFileDialogFlags(0x1002), kFileMustExist | kFileOverwritePrompt);
}

// A failure at any write, rename or host call of the pack: the user's files
// byte for byte, the layer back at its place with its renderer and name, the
// failure message and no "Finished!"; in place and to a new destination.
TEST_F(Pack, EveryFailureLeavesFilesAndMapAsTheyWere) {
    MakeDeletedRows("del");
    const auto original = Snapshot();
    struct Case {
        std::string what;
        std::function<void(int)> arm;  // arms the k-th fault; k = 0 for the named ones
        int count;
    };
    std::vector<Case> cases = {
        {"write", [](int k) { fs::test::FailNthWrite(k); }, 400},
        {"full disk", [](int k) { fs::test::SetWriteBudget(static_cast<uint64_t>(k) * 700); }, 12},
        {"disk sync", [](int k) { fs::test::FailNthFlush(k); }, 60},
    };
    const char* ops[] = {"IHostWorkspaceFactory::OpenFromFile", "IHostWorkspace::CreateFeatureClass",
                         "IHostInsertCursor::InsertFeature", "IHostInsertCursor::Flush",
                         "IHostFeatureCursor::NextFeature", "IHostMap::DeleteLayer",
                         "IHostFeatureClass::AddIndex", "IHostMap::AddLayer", "IHostMap::MoveLayer",
                         "IHostGeoFeatureLayer::SetRenderer"};
    for (const char* op : ops)
        for (int n : {1, 2})
            cases.push_back({std::string(op) + " #" + std::to_string(n), [op, n](int) { HostFaults::FailNth(op, n); }, 1});
    for (const char* ext : {".shp", ".dbf", ".sbn", ".prj"})
        cases.push_back({std::string("rename of del") + ext, [this, ext](int) {
                             fs::test::FailPath(fs::DevicePathFromHost(P(std::string("del") + ext)), fs::kErrorAccessDenied);
                         }, 1});
    for (const bool inPlace : {true, false}) {
        int failures = 0;
        for (const Case& c : cases) {
            for (int k = 1; k <= c.count; ++k) {
                SCOPED_TRACE(c.what + " " + std::to_string(k) + (inPlace ? " in place" : " new"));
                ScriptedHostUi ui = Ui("message \"Zarnip Tools\" OK\n");
                auto app = Open("del", "Parcels", ui);
                PackShapefileDialog d;
                d.Initialize(*app);
                d.Prefill();
                if (inPlace) d.Edit(1, folder + "/del");
                c.arm(k);
                ASSERT_TRUE(d.Act("press", "&OK"));
                const bool failed = ui.Log().find("Failed to compact the shapefile!") != std::string::npos;
                fs::test::Reset();
                HostFaults::Reset();
                EXPECT_TRUE(d.Finished());
                if (!failed) {
                    // Success: the fault was never reached. Start again from the original.
                    EXPECT_EQ(d.DoneText(), "Finished!");
                    for (const auto& e : fsys::directory_iterator(dir.Path("")))
                        if (e.path().extension() != ".dmap") fsys::remove(e.path());
                    for (const auto& [name, bytes] : original) WriteAll(P(name), bytes);
                    break;
                }
                ++failures;
                EXPECT_NE(d.DoneText(), "Finished!");
                EXPECT_EQ(Diff(original, Snapshot()), "");
                EXPECT_EQ(LayerNames(*app), (std::vector<std::string>{"Ortho", "Parcels", "Cities"}));
                EXPECT_EQ(RendererLabel(*app, 1), "Parcels");
                EXPECT_NE(ui.Log().find("icon: stop"), std::string::npos);
            }
        }
        EXPECT_GT(failures, 30);
    }
}

// What each disk sync saw: the file, its size, and whether D still held its
// own bytes then.
struct SyncSeen {
    std::string path;
    uintmax_t size;
    bool destUntouched;
};
std::vector<SyncSeen> g_syncs;
std::string g_destShp, g_destShpBytes;

TEST_F(Pack, TheWholeCopyIsSyncedOnceBeforeItTakesTheNames) {
    MakeDeletedRows("del");
    g_syncs.clear();
    g_destShp = P("del.shp");
    g_destShpBytes = ReadAll(g_destShp);
    fs::test::OnFlush([](const std::string& path) {
        std::error_code e;
        g_syncs.push_back({path, fsys::file_size(path, e), ReadAll(g_destShp) == g_destShpBytes});
    });
    ScriptedHostUi ui = Ui("");
    auto app = Open("del", "Parcels", ui);
    PackShapefileDialog d;
    d.Initialize(*app);
    d.Prefill();
    d.Edit(1, folder + "/del");
    ASSERT_TRUE(d.Act("press", "&OK"));
    fs::test::OnFlush(nullptr);
    ASSERT_EQ(d.DoneText(), "Finished!");
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        SCOPED_TRACE(ext);
        const std::string temp = P(std::string("del____________TEMP") + ext);
        int syncs = 0;
        bool complete = false;
        for (const SyncSeen& s : g_syncs) {
            if (s.path != temp) continue;
            ++syncs;
            // The last sync holds every byte that is then renamed to D's name.
            complete = s.size == fsys::file_size(P(std::string("del") + ext)) && s.destUntouched;
        }
        EXPECT_TRUE(complete);
        // Not once per feature (ten are copied).
        EXPECT_LE(syncs, 4);
    }
}

TEST_F(Pack, LeftoverTempFilesGoAndBackupsRefuse) {
    MakeDeletedRows("del");
    WriteAll(P("del____________TEMP.shp"), "junk");
    WriteAll(P("del____________TEMP.dbf"), "junk");
    {
        ScriptedHostUi ui = Ui("");
        auto app = Open("del", "Parcels", ui);
        PackShapefileDialog d;
        d.Initialize(*app);
        d.Prefill();
        d.Edit(1, folder + "/del");
        ASSERT_TRUE(d.Act("press", "&OK"));
        EXPECT_EQ(d.DoneText(), "Finished!") << ui.Log();
        EXPECT_FALSE(fsys::exists(P("del____________TEMP.shp")));
    }
    WriteAll(P("del____________BACKUP.shp"), "the only copy");
    const auto before = Snapshot();
    ScriptedHostUi ui = Ui("message \"Zarnip Tools\" OK\n");
    auto app = Open("del", "Parcels", ui);
    PackShapefileDialog d;
    d.Initialize(*app);
    d.Prefill();
    d.Edit(1, folder + "/del");
    ASSERT_TRUE(d.Act("press", "&OK"));
    EXPECT_NE(ui.Log().find("Failed to compact the shapefile!\r\n"), std::string::npos);
    EXPECT_NE(d.DoneText(), "Finished!");
    EXPECT_EQ(Diff(before, Snapshot()), "");
}

// The command's click runs the whole dialog through the host's interface.
TEST_F(Pack, TheCommandRunsTheDialog) {
    MakeDeletedRows("del");
    ScriptedHostUi ui = Ui("dialog \"Zarnip Pack Shapefile Tool\" type=destination=" + folder + "/del press=&OK\n");
    auto app = Open("del", "Parcels", ui);
    ShowPackShapefile(*app);
    EXPECT_NE(ui.Log().find("source: " + folder + "/del"), std::string::npos) << ui.Log();
    EXPECT_EQ(ui.AnswersLeft(), 0u);
    EXPECT_EQ(LayerNames(*app), (std::vector<std::string>{"Ortho", "del", "Cities"}));
}

}  // namespace
