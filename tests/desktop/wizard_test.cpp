// The map export wizard through the scripted host: its navigation, the
// export of feature and image layers with the replace answers shared by
// both, the summary, and the files the run leaves in the output folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/tools/entry_points.h"
#include "desktop/tools/export_data.h"
#include "desktop/tools/export_summary.h"
#include "desktop/tools/wizard_model.h"
#include "map/layers/layer_factory.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "tests/map/map_doubles.h"
#include "tests/support/run_command.h"

namespace {

using namespace host;
using namespace zntools8;

struct Unanswered : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Wizard : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        UseBuiltInLayerClass(LayerKind::Shape);
        HostFaults::Reset();
        Put("w/utm.prj", text::ToUtf8(kUtm33Wkt));
        ASSERT_TRUE(ShellIn("w", "mkdir -p ../out"));
    }
    void TearDown() override {
        HostFaults::Reset();
        fs::test::Reset();
        MapTest::TearDown();
    }
    void MakeUi(const std::string& answers) {
        int bad = 0;
        auto parsed = ParseAnswers(answers, &bad);
        ASSERT_TRUE(parsed) << "answers line " << bad;
        m_ui = std::make_unique<ScriptedHostUi>(
            *parsed, [](const std::string& prompt) { throw Unanswered(prompt); });
    }
    // A document over folder w with point shapefiles a and b and the map in UTM 33.
    std::shared_ptr<HostApplicationImpl> Open(const std::string& layers,
                                              const std::string& coordsys = "utm.prj") {
        for (const char* n : {"a", "b"}) {
            ShellIn("w", std::string("test -f ") + n + ".shp || (shpcreate " + n +
                             " point >/dev/null && dbfcreate " + n +
                             " -s NAME 20 >/dev/null && shpadd " + n +
                             " 512400 5000 >/dev/null && dbfadd " + n + ".dbf A >/dev/null && shpadd " +
                             n + " 900000 5000 >/dev/null && dbfadd " + n + ".dbf B >/dev/null)");
        }
        Put("w/m.dmap", "<desktopmap version=\"1\"><map name=\"m\">" +
                            (coordsys.empty() ? std::string()
                                              : "<coordsys prj=\"" + coordsys + "\"/>") +
                            "<view xmin=\"512345\" ymin=\"0\" xmax=\"612345\" ymax=\"10000\"/>" +
                            layers + "</map></desktopmap>");
        DmapError e;
        auto app = OpenHostDocument(Host("w/m.dmap"), *m_ui, &e);
        EXPECT_TRUE(app) << e.Text();
        return app;
    }
    static std::string Feature(const std::string& name, const std::string& dataset,
                               const std::string& extra = {}) {
        return "<layer kind=\"feature\" name=\"" + name + "\"><data workspace=\".\" dataset=\"" +
               dataset + "\"/><simplerenderer><simplemarker/></simplerenderer>" + extra +
               "</layer>";
    }
    std::unique_ptr<WizardModel> Model(HostApplicationImpl& app) {
        auto map = app.Document()->FocusMap();
        std::vector<std::shared_ptr<IHostLayer>> layers;
        for (int i = 0; i < map->LayerCount(); ++i) layers.push_back(map->Layer(i));
        return std::make_unique<WizardModel>(app, map, layers);
    }
    std::unique_ptr<ScriptedHostUi> m_ui;
};

// (pane, button) -> pane, Back/Next/Finish enabled, Finish's text, focus.
TEST_F(Wizard, NavigationTable) {
    MakeUi("message \"Output Folder\" OK\n");
    auto app = Open(Feature("A", "a"));
    auto w = Model(*app);
    struct Row {
        int button;
        int pane;
        bool back, next, finish;
        const char* finishText;
        const char* focus;
    };
    EXPECT_FALSE(w->Enabled(WizardModel::kBack));
    EXPECT_FALSE(w->Enabled(WizardModel::kFinish));
    const Row rows[] = {
        {WizardModel::kNext, 1, false, true, false, "&Finish", "next"},
        {WizardModel::kNext, 2, true, false, true, "&Finish", "folder"},
        {WizardModel::kBack, 1, false, true, false, "&Finish", "next"},
        {WizardModel::kNext, 2, true, false, true, "&Finish", "folder"},
        // Finish with an empty folder stays on pane 2.
        {WizardModel::kFinish, 2, true, false, true, "&Finish", "folder"},
    };
    for (const Row& r : rows) {
        w->Navigate(r.button);
        SCOPED_TRACE(r.pane);
        EXPECT_EQ(w->Pane(), r.pane);
        EXPECT_EQ(w->Enabled(WizardModel::kBack), r.back);
        EXPECT_EQ(w->Enabled(WizardModel::kNext), r.next);
        EXPECT_EQ(w->Enabled(WizardModel::kFinish), r.finish);
        EXPECT_EQ(w->ButtonText(WizardModel::kFinish), r.finishText);
        EXPECT_EQ(w->Focus(), r.focus);
        EXPECT_FALSE(w->Finished());
    }
    // Pane 1 cannot go back to pane 0.
    w->Navigate(WizardModel::kBack);
    EXPECT_EQ(w->Pane(), 1);
    w->Navigate(WizardModel::kBack);
    EXPECT_EQ(w->Pane(), 1);
    EXPECT_NE(m_ui->Log().find("Please specify an output folder"), std::string::npos);
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

TEST_F(Wizard, BackAndNextKeepTheCheckMarks) {
    MakeUi("");
    auto app = Open(Feature("A", "a") + Feature("B", "b"));
    auto w = Model(*app);
    w->Navigate(WizardModel::kNext);
    ASSERT_EQ(w->Entries().size(), 2u);
    EXPECT_TRUE(w->Act("tick", "lvwLayers=B"));
    w->Navigate(WizardModel::kNext);
    w->Navigate(WizardModel::kBack);
    EXPECT_TRUE(w->Entries()[0].checked);
    EXPECT_FALSE(w->Entries()[1].checked);
}

TEST_F(Wizard, AMapWithoutASystemIsRefused) {
    for (const std::string& prj : {std::string(), std::string("blank.prj")}) {
        Put("w/blank.prj", "   ");
        MakeUi("message \"Error\" OK\n");
        auto app = Open(Feature("A", "a"), prj);
        auto w = Model(*app);
        w->Navigate(WizardModel::kNext);
        EXPECT_TRUE(w->Finished());
        EXPECT_NE(m_ui->Log().find("A projection has not been set in Pellum.\r\nPlease set a "
                                   "projection before running the wizard.\r\n(Right-click on data "
                                   "frame, and select the\r\nCoordinate System tab)"),
                  std::string::npos)
            << m_ui->Log();
    }
}

TEST_F(Wizard, EmptyMapNameIsRefused) {
    MakeUi("message \"Export Map\" OK\n");
    auto app = Open(Feature("A", "a"));
    auto w = Model(*app);
    w->Navigate(WizardModel::kNext);
    w->Navigate(WizardModel::kNext);
    w->SetFolderText(Host("out"));
    w->SetMapNameText("");
    w->Navigate(WizardModel::kFinish);
    EXPECT_EQ(w->Pane(), 2);
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

// The whole run through the command's entry point and the scripted host.
TEST_F(Wizard, RunWritesShapefilesLayerFilesMapAndSummary) {
    MakeUi("dialog \"Zarnip Map Wizard\" press=\"Next >\" choose=\"Current map extent\" press=\"Next >\" "
           "type=\"txtFolderName=" + Host("out") + "\" type=\"txtMapName=My Map.znm\" "
           "press=\"&Finish\" press=\"&OK\"\n");
    auto app = Open(Feature("Alpha", "a") + Feature("B", "b"));
    Put("w/Alpha.vbs", "' form script\r\n");
    auto map = app->Document()->FocusMap();
    std::vector<std::shared_ptr<IHostLayer>> layers{map->Layer(0), map->Layer(1)};
    RunMapWizard(*app, map, layers);
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
    // Written under the layer's name; only the feature inside the extent.
    EXPECT_TRUE(HostExists("out/Alpha.shp"));
    EXPECT_TRUE(HostExists("out/Alpha.dbf"));
    EXPECT_TRUE(HostExists("out/Alpha.znl"));
    EXPECT_EQ(Get("out/Alpha.vbs"), "' form script\r\n");
    EXPECT_TRUE(HostExists("out/B.shp"));
    EXPECT_FALSE(HostExists("out/B.vbs"));
    EXPECT_TRUE(HostExists("out/My Map.znm"));
    const std::string summary = Get("out/Summary.txt");
    const std::string head =
        "Summary\r\n-------\r\n\r\nOutput Folder:       " + Host("out") + "\r\n";
    EXPECT_EQ(summary.substr(0, head.size()), head);
    EXPECT_NE(summary.find("Map Name:            My Map.znm\r\n"), std::string::npos);
    EXPECT_NE(summary.find("Feature Layers:      2\r\nImage Layers         0\r\n"),
              std::string::npos);
    EXPECT_NE(summary.find("Feature Layer Name:  Alpha\r\nNumber of Features:  1\r\n"),
              std::string::npos)
        << summary;
    EXPECT_EQ(summary.substr(summary.size() - 6), "\r\n\r\n\r\n");
    int status = -1;
    const std::string info = testsupport::RunCommand(
        "ogrinfo -q -al '" + Host("out/Alpha.shp") + "' 2>&1 | grep -c 'POINT'", &status);
    EXPECT_EQ(info, "1\n");
}

TEST_F(Wizard, SelectedFeaturesWithNoSelectionExportNothing) {
    MakeUi("dialog \"Zarnip Map Wizard\" press=\"Next >\" choose=\"Selected features\" press=\"Next >\" "
           "type=\"txtFolderName=" + Host("out") + "\" press=\"&Finish\" press=\"&OK\"\n");
    auto app = Open(Feature("A", "a"));
    auto map = app->Document()->FocusMap();
    RunMapWizard(*app, map, {map->Layer(0)});
    EXPECT_FALSE(HostExists("out/Zarnip.znm"));
    EXPECT_FALSE(HostExists("out/A.shp"));
    const std::string summary = Get("out/Summary.txt");
    EXPECT_NE(summary.find("Total File Size:     (1 kb)\r\n\r\nTotal Layers:        0\r\n"),
              std::string::npos)
        << summary;
}

// Rows in order: output exists, answer -> asked, exported.
TEST_F(Wizard, ReplaceAnswersCarryOverTheRun) {
    struct Case {
        const char* name;
        std::string answers;
        std::vector<bool> exists;
        std::vector<bool> exported;
        int asked;
    };
    const Case cases[] = {
        {"no then existing", "No\nNo\n", {true, true}, {false, false}, 2},
        {"no then missing", "No\n", {true, false}, {false, true}, 1},
        {"yes to all", "Yes to &All\n", {true, true}, {true, true}, 1},
        {"cancel", "Cancel\n", {true, false}, {false, false}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShellIn("w", "rm -rf ../out && mkdir ../out");
        std::string answers;
        size_t start = 0;
        while (start < c.answers.size()) {
            const size_t end = c.answers.find('\n', start);
            answers += "dialog \"Confirm File Replace\" press=\"" +
                       c.answers.substr(start, end - start) + "\"\n";
            start = end + 1;
        }
        MakeUi(answers);
        auto app = Open(Feature("A", "a") + Feature("B", "b"));
        auto map = app->Document()->FocusMap();
        const char* names[] = {"A", "B"};
        for (int i = 0; i < 2; ++i)
            if (c.exists[i]) {
                Put(std::string("out/") + names[i] + ".shp", "old");
                Put(std::string("out/") + names[i] + ".sbn", "old");
            }
        ExportData data(*app);
        for (int i = 0; i < 2; ++i) {
            auto layer = std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(i));
            auto out = data.ExportToShapefile(*map, layer, Host("out"), 0);
            EXPECT_EQ(out != nullptr, c.exported[i]) << names[i];
            if (c.exported[i]) {
                EXPECT_FALSE(HostExists(std::string("out/") + names[i] + ".sbn"));
            }
            if (c.exists[i] && !c.exported[i]) {
                EXPECT_EQ(Get(std::string("out/") + names[i] + ".shp"), "old");
            }
        }
        EXPECT_EQ(m_ui->AnswersLeft(), 0u);
        size_t asked = 0;
        for (size_t p = m_ui->Log().find("[dialog] Confirm"); p != std::string::npos;
             p = m_ui->Log().find("[dialog] Confirm", p + 1))
            ++asked;
        EXPECT_EQ(asked, static_cast<size_t>(c.asked));
    }
}

TEST_F(Wizard, UnsafeAndDuplicateNamesAreRefusedBeforeAnythingIsDeleted) {
    const std::vector<std::string> unsafe = {"../x", "a/b", "  ", "", "a:b", "a?", "a|b", "x\ty", ".."};
    for (const auto& name : unsafe) EXPECT_FALSE(UnsafeFileNameReason(name).empty()) << name;
    for (const std::string name : {"Roads", "My roads", "Caf\xC3\xA9", "a.b"})
        EXPECT_TRUE(UnsafeFileNameReason(name).empty()) << name;

    MakeUi("message \"Export Shapefile\" OK\nmessage \"Export Shapefile\" OK\n");
    auto app = Open(Feature("A", "a") + Feature("A", "b") + Feature("../A", "a"));
    Put("A.shp", "outside");
    auto map = app->Document()->FocusMap();
    ExportData data(*app);
    std::vector<bool> got;
    for (int i = 0; i < 3; ++i)
        got.push_back(data.ExportToShapefile(
                          *map, std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(i)),
                          Host("out"), 0) != nullptr);
    EXPECT_EQ(got, (std::vector<bool>{true, false, false}));
    EXPECT_NE(m_ui->Log().find("a layer of this name was already exported"), std::string::npos)
        << m_ui->Log();
    EXPECT_EQ(Get("A.shp"), "outside");
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

TEST_F(Wizard, AnEarlyFailureDeletesNothingAndShowsOneBox) {
    MakeUi("message \"Export Error\" OK\n");
    auto app = Open(Feature("A", "a"));
    Put("out/A.shp", "old");
    HostFaults::FailAlways("IHostFeatureLayer::Dataset", "no dataset");
    auto map = app->Document()->FocusMap();
    ExportData data(*app);
    EXPECT_FALSE(data.ExportToShapefile(
        *map, std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(0)), Host("out"), 0));
    EXPECT_EQ(Get("out/A.shp"), "old");
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
    EXPECT_NE(m_ui->Log().find("Could not export A.\r\nno dataset"), std::string::npos)
        << m_ui->Log();
}

TEST_F(Wizard, AnIndexThatCannotBeDeletedSkipsTheLayer) {
    MakeUi("dialog \"Confirm File Replace\" press=\"&Yes\"\nmessage \"Export Shapefile\" OK\n");
    auto app = Open(Feature("A", "a"));
    Put("out/A.shp", "old");
    Put("out/A.sbn", "old");
    fs::test::FailPath(fs::DevicePathFromHost(Host("out/A.sbn")), fs::kErrorAccessDenied);
    auto map = app->Document()->FocusMap();
    ExportData data(*app);
    EXPECT_FALSE(data.ExportToShapefile(
        *map, std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(0)), Host("out"), 0));
    fs::test::Reset();
    EXPECT_TRUE(HostExists("out/A.sbn"));
    EXPECT_FALSE(HostExists("out/A.dbf"));
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

TEST(Summary, KilobyteText) {
    const std::pair<uint64_t, const char*> rows[] = {
        {0, "(1 kb)"}, {999, "(1 kb)"}, {1000, "(1 kb)"}, {2500, "(2 kb)"},
        {5000000000ull, "(5000000 kb)"}};
    for (const auto& [bytes, text] : rows) EXPECT_EQ(KilobyteText(bytes), text) << bytes;
}

// ------------------------------------------------------------------ images

class ImageExport : public Wizard {
protected:
    // A 3-band (or grey) JPEG of 64 x 48 placed by a world file in UTM 33.
    void MakeJpeg(const std::string& relative, bool grey) {
        std::string ppm = std::string(grey ? "P5" : "P6") + "\n64 48\n255\n";
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                for (int c = 0; c < (grey ? 1 : 3); ++c)
                    ppm += static_cast<char>((x * 4 + y * 2 + c * 60) & 0xFF);
        Put("img.pnm", ppm);
        ASSERT_TRUE(ShellIn(".", std::string("cjpeg ") + (grey ? "-grayscale " : "") +
                                     "-outfile '" + relative + ".jpg' img.pnm"));
        Put(relative + ".jgw", "10\n0\n0\n-10\n512350\n9990\n");
    }
    static std::string Raster(const std::string& name, const std::string& file) {
        return "<layer kind=\"raster\" name=\"" + name + "\" file=\"" + file + "\"/>";
    }
    std::shared_ptr<IHostRasterLayer> Export(ExportData& data, HostApplicationImpl& app, int i) {
        auto map = app.Document()->FocusMap();
        return data.ExportToJPEG(
            *map, std::dynamic_pointer_cast<IHostRasterLayer>(map->Layer(i)), Host("out"));
    }
};

TEST_F(ImageExport, AMrSidWithItsWorldFileIsCopiedFromAFolderWithAccents) {
    MakeUi("");
    const std::string folder = "w/Orthofotos C\xC3\xB4te";
    ShellIn(".", "mkdir -p '" + folder + "' && cp " ZN_SOURCE_DIR "/tests/data/mrsid/n13250i.sid " +
                     "" ZN_SOURCE_DIR "/tests/data/mrsid/n13250i.sdw '" + folder + "/'");
    auto app = Open(Raster("Ortho", "Orthofotos C\xC3\xB4te/n13250i.sid"));
    ExportData data(*app);
    EXPECT_TRUE(Export(data, *app, 0));
    EXPECT_EQ(Get("out/Ortho.sid"), Get(folder + "/n13250i.sid"));
    EXPECT_EQ(Get("out/Ortho.sdw"), Get(folder + "/n13250i.sdw"));
    EXPECT_TRUE(HostExists("out/Ortho.prj"));
    EXPECT_EQ(m_ui->Log(), "");
}

TEST_F(ImageExport, AThreeBandImageIsEncodedAndOthersAreNot) {
    MakeUi("");
    MakeJpeg("w/photo", false);
    MakeJpeg("w/grey", true);
    auto app = Open(Raster("Photo", "photo.jpg") + Raster("Grey", "grey.jpg"));
    ExportData data(*app);
    EXPECT_TRUE(Export(data, *app, 0));
    EXPECT_TRUE(HostExists("out/Photo.sid"));
    EXPECT_TRUE(HostExists("out/Photo.sdw"));
    EXPECT_TRUE(HostExists("out/Photo.prj"));
    // One band: no image, no message, and the .prj all the same.
    EXPECT_FALSE(Export(data, *app, 1));
    EXPECT_FALSE(HostExists("out/Grey.sid"));
    EXPECT_TRUE(HostExists("out/Grey.prj"));
    EXPECT_EQ(m_ui->Log(), "");
}

TEST_F(ImageExport, AnEncoderFailureGivesNoImageAndNoBox) {
    MakeUi("");
    MakeJpeg("w/photo", false);
    auto app = Open(Raster("Photo", "photo.jpg"));
    HostFaults::FailAlways("IHostMrSidEncoder::Encode");
    ExportData data(*app);
    EXPECT_FALSE(Export(data, *app, 0));
    EXPECT_TRUE(HostExists("out/Photo.prj"));
    EXPECT_EQ(m_ui->Log(), "");
}

TEST_F(ImageExport, TheSizeTestPassesAtItsLimitAndRefusesAbove) {
    MakeUi("message \"Export image\" OK\n");
    ASSERT_TRUE(ShellIn("w", "gdal_create -q -of GTiff -co COMPRESS=DEFLATE -outsize 5000 10000 "
                             "-bands 1 limit.tif && gdal_create -q -of GTiff -co COMPRESS=DEFLATE "
                             "-outsize 4000 4200 -bands 3 big.tif"));
    auto app = Open(Raster("Limit", "limit.tif") + Raster("Big", "big.tif"));
    ExportData data(*app);
    // 5e7 passes the size test and is then refused for its one band, silently.
    EXPECT_FALSE(Export(data, *app, 0));
    EXPECT_EQ(m_ui->Log(), "");
    EXPECT_TRUE(HostExists("out/Limit.prj"));
    EXPECT_FALSE(Export(data, *app, 1));
    EXPECT_NE(m_ui->Log().find("Could not export Big to a MrSID file.\r\nThe file is too large."),
              std::string::npos)
        << m_ui->Log();
    EXPECT_FALSE(HostExists("out/Big.prj"));
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

// A Cancel stored by a shapefile: later shapefiles return none at once, a
// raster without output is written, one with output is skipped unasked.
TEST_F(ImageExport, CancelIsHonouredDifferentlyByImages) {
    MakeUi("dialog \"Confirm File Replace\" press=Cancel\n");
    MakeJpeg("w/photo", false);
    auto app = Open(Feature("A", "a") + Feature("B", "b") + Raster("Photo", "photo.jpg") +
                    Raster("Old", "photo.jpg"));
    Put("out/A.shp", "old");
    Put("out/Old.sid", "old");
    auto map = app->Document()->FocusMap();
    ExportData data(*app);
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(data.ExportToShapefile(
            *map, std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(i)), Host("out"), 0));
    EXPECT_FALSE(HostExists("out/B.shp"));
    EXPECT_TRUE(Export(data, *app, 2));
    EXPECT_FALSE(Export(data, *app, 3));
    EXPECT_EQ(Get("out/Old.sid"), "old");
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

// ------------------------------------------------------------------ summary and faults

TEST_F(Wizard, SummaryGoldenTextAndItsFile) {
    MakeUi("");
    auto app = Open(Feature("A", "a"));
    Put("out/a.shp", std::string(2500, 'x'));
    Put("out/a.dbf", std::string(999, 'x'));
    Put("out/a.shx", "");
    Put("out/Photo.sid", std::string(4000, 'x'));
    auto map = app->Document()->FocusMap();
    auto feature = std::dynamic_pointer_cast<IHostFeatureLayer>(app->Objects().FeatureLayer(
        app->Objects().WorkspaceFactory(kShapefileWorkspaceFactory)->OpenFromFile(Host("w"))
            ->OpenFeatureClass("a")));
    ASSERT_TRUE(feature);
    feature->SetName("a");
    SummaryInput in;
    in.outputFolder = Host("out");
    in.mapName = "Caf\xC3\xA9";
    in.map = map;
    in.featureLayers = {feature};
    in.labelFonts = {"Arial", "Courier New"};
    in.symbolFonts = {"QOVA Default Marker"};
    struct Img : IHostRasterLayer {
        std::string n;
        std::string Name() const override { return n; }
        void SetName(const std::string&) override {}
        bool Visible() const override { return true; }
        void SetVisible(bool) override {}
        double MinimumScale() const override { return 0; }
        double MaximumScale() const override { return 0; }
        bool Is(LayerRole r) const override { return r == LayerRole::Raster; }
        std::string FilePath() const override { return {}; }
        std::shared_ptr<IHostRasterDataset> Raster() const override { return nullptr; }
    };
    auto photo = std::make_shared<Img>();
    photo->n = "Photo";
    auto gone = std::make_shared<Img>();
    gone->n = "Gone";
    in.imageLayers = {photo, gone};
    const std::string report = BuildSummary(in);
    EXPECT_EQ(report,
              "Summary\r\n-------\r\n\r\n"
              "Output Folder:       " + Host("out") + "\r\n"
              "Map Name:            Caf\xC3\xA9.znm\r\n\r\n"
              "Projection:          " + map->SpatialReference()->Name() + "\r\n"
              "Total File Size:     (7 kb)\r\n\r\n"
              "Total Layers:        3\r\n"
              "Feature Layers:      1\r\n"
              "Image Layers         2\r\n\r\n"
              "Label Fonts:         Arial\r\n"
              "                     Courier New\r\n"
              "Symbol Fonts:        QOVA Default Marker\r\n\r\n"
              "Feature Layer Name:  a\r\n"
              "Number of Features:  2\r\n"
              "Size of -shp:        (2 kb)\r\n"
              "        -dbf:        (1 kb)\r\n"
              "        -shx:        (1 kb)\r\n"
              "        -znl:        (missing)\r\n\r\n\r\n"
              "Image Layer Name:    Photo\r\n"
              "Size of -sid:        (4 kb)\r\n\r\n"
              "Image Layer Name:    Gone\r\n\r\n\r\n");
    std::string error;
    ASSERT_TRUE(WriteSummaryFile(Host("out"), report, 1252, &error)) << error;
    const std::string bytes = Get("out/Summary.txt");
    EXPECT_NE(bytes.find("Caf\xE9.znm"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 8), "\r\n\r\n\r\n\r\n");
    // A rerun replaces the file; a failing write keeps the old one whole.
    ASSERT_TRUE(WriteSummaryFile(Host("out"), "x", text::kCpUtf8, &error));
    EXPECT_EQ(Get("out/Summary.txt"), "x\r\n");
    fs::test::FailNthWrite(1);
    EXPECT_FALSE(WriteSummaryFile(Host("out"), report, text::kCpUtf8, &error));
    EXPECT_FALSE(error.empty());
    fs::test::Reset();
    EXPECT_EQ(Get("out/Summary.txt"), "x\r\n");
}

TEST_F(Wizard, AFullDiskDuringAConversionLeavesNoPartialFiles) {
    MakeUi("message \"Export Shapefile\" OK\n");
    auto app = Open(Feature("A", "a"));
    auto map = app->Document()->FocusMap();
    ExportData data(*app);
    fs::test::FailNthWrite(2);
    EXPECT_FALSE(data.ExportToShapefile(
        *map, std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(0)), Host("out"), 0));
    fs::test::Reset();
    EXPECT_EQ(HostList("out"), std::vector<std::string>{});
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

TEST_F(Wizard, AFailedFormScriptCopyShowsTheExportErrorBox) {
    MakeUi("message \"Export Error\" OK\n");
    auto app = Open(Feature("A", "a"));
    Put("w/A.vbs", "' script");
    fs::test::FailPath(fs::DevicePathFromHost(Host("out/A.vbs")), fs::kErrorAccessDenied);
    auto map = app->Document()->FocusMap();
    ExportData data(*app);
    EXPECT_TRUE(data.ExportToShapefile(
        *map, std::dynamic_pointer_cast<IHostFeatureLayer>(map->Layer(0)), Host("out"), 0));
    fs::test::Reset();
    EXPECT_EQ(m_ui->AnswersLeft(), 0u);
}

}  // namespace
