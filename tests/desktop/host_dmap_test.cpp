// The desktop host's .dmap documents: what a document reads as, that saving
// gives the same model and bytes, strict refusal of bad documents, the
// spatial reference against independent readers, and saves that fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>

#include "crs/wkt.h"
#include "desktop/host/dmap_io.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "platform/fs/fs.h"
#include "tests/desktop/zntools3_test_util.h"

namespace {

using namespace host;
using zn3test::ReadAll;
using zn3test::TempDir;

const std::string kData = std::string(ZN_TEST_DATA) + "/desktop/";
const std::string kSchema = std::string(ZN_SOURCE_DIR) + "/desktop/host/dmap.rng";

class DesktopHost : public ::testing::Test {
protected:
    void SetUp() override {
        fs::SetDeviceRoot("/");
        fs::ClearMounts();
        fs::test::Reset();
        HostFaults::Reset();
    }
    void TearDown() override {
        fs::test::Reset();
        HostFaults::Reset();
        fs::ResetConfiguration();
    }
};

DDocument ReadFixture(const std::string& name) {
    DmapError e;
    auto d = ReadDmapFile(kData + name, &e);
    EXPECT_TRUE(d) << e.Text();
    return d ? *d : DDocument{};
}

bool ValidatesAgainstSchema(const std::string& path) {
    return zn3test::Run("xmllint --noout --relaxng '" + kSchema + "' '" + path + "'") == 0;
}

TEST_F(DesktopHost, TheFixtureReadsAsWritten) {
    const DDocument d = ReadFixture("layers.dmap");
    ASSERT_EQ(d.maps.size(), 2u);
    EXPECT_EQ(d.focus, "Layers");
    const DMap& m = d.maps[1];
    EXPECT_EQ(m.referenceScale, 24000);
    EXPECT_EQ(m.selected, "Roads");
    ASSERT_TRUE(m.view);
    EXPECT_EQ(m.view->xmin, 580000);
    EXPECT_EQ(m.view->ymax, 4515000);
    ASSERT_TRUE(m.coordSys);
    EXPECT_EQ(m.coordSys->prj, "crs/utm18.prj");

    // Layer order, groups and kinds.
    std::vector<std::string> names;
    for (const auto& l : m.layers) names.push_back(l->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Roads", "Boroughs", "Cities", "Stations", "Dots",
                                               "Ortho", "Base", "Notes"}));
    EXPECT_EQ(m.layers[5]->kind, DLayerKind::Raster);
    EXPECT_EQ(m.layers[5]->file, "img/ortho.jpg");
    ASSERT_EQ(m.layers[6]->kind, DLayerKind::Group);
    ASSERT_EQ(m.layers[6]->children.size(), 2u);
    EXPECT_EQ(m.layers[6]->children[1]->kind, DLayerKind::Raster);
    EXPECT_EQ(m.layers[7]->kind, DLayerKind::Annotation);

    // Roads: scales, flags, selection, a simple renderer with rotation, labels.
    const DLayer& roads = *m.layers[0];
    EXPECT_EQ(roads.maxScale, 50000);
    EXPECT_EQ(roads.minScale, 0);
    EXPECT_TRUE(roads.symbolsScale);
    EXPECT_TRUE(roads.showLabels);
    EXPECT_EQ(roads.hyperlinkField, "URL");
    EXPECT_EQ(roads.selection, (std::vector<int>{0, 4, 17}));
    ASSERT_TRUE(roads.renderer);
    EXPECT_EQ(roads.renderer->kind, RendererKind::Simple);
    EXPECT_TRUE(roads.renderer->hasRotation);
    EXPECT_EQ(roads.renderer->rotationField, "ANGLE");
    EXPECT_EQ(roads.renderer->rotationType, 1);
    ASSERT_TRUE(roads.renderer->symbol);
    EXPECT_EQ(roads.renderer->symbol->kind, SymbolKind::Line);
    EXPECT_EQ(roads.renderer->symbol->width, 1.5);
    EXPECT_EQ(roads.renderer->symbol->color, MakeRgb(200, 0, 0));
    EXPECT_EQ(roads.renderer->symbol->style, "dash");
    ASSERT_EQ(roads.labelClasses.size(), 1u);
    const DLabelClass& lc = roads.labelClasses[0];
    EXPECT_TRUE(lc.engineFlag);
    EXPECT_FALSE(lc.classFlag);
    EXPECT_EQ(lc.minScale, 1000);
    EXPECT_EQ(lc.maxScale, 100000);
    EXPECT_EQ(lc.font.name, "DejaVu Sans");
    EXPECT_EQ(lc.font.size, 82500);
    EXPECT_TRUE(lc.font.bold);
    EXPECT_TRUE(lc.font.underline);
    EXPECT_FALSE(lc.font.italic);
    EXPECT_EQ(lc.angle, 15);

    // Boroughs: a unique-value renderer whose colours are given as hsv.
    const DLayer& boroughs = *m.layers[1];
    EXPECT_FALSE(boroughs.visible);
    EXPECT_EQ(boroughs.minScale, 5000);
    ASSERT_TRUE(boroughs.renderer);
    const DRenderer& uv = *boroughs.renderer;
    EXPECT_EQ(uv.kind, RendererKind::UniqueValue);
    EXPECT_EQ(uv.fields, (std::vector<std::string>{"BoroName", "BoroCode"}));
    EXPECT_EQ(uv.defaultLabel, "other");
    ASSERT_TRUE(uv.defaultSymbol);
    EXPECT_EQ(uv.defaultSymbol->color, MakeRgb(204, 204, 204));  // hsv 0,0,80
    EXPECT_EQ(uv.defaultSymbol->style, "hollow");
    ASSERT_TRUE(uv.defaultSymbol->outline);
    ASSERT_EQ(uv.groups.size(), 1u);
    ASSERT_EQ(uv.groups[0].classes.size(), 2u);
    EXPECT_EQ(uv.groups[0].classes[0].symbol->color, MakeRgb(0, 128, 0));  // hsv 120,100,50
    EXPECT_EQ(uv.groups[0].classes[1].symbol->kind, SymbolKind::OtherFill);
    EXPECT_EQ(uv.groups[0].classes[1].symbol->outline->lineKind, LineKind::Cartographic);

    // Cities: class breaks with a character marker and an empty symbol.
    const DRenderer& cb = *m.layers[2]->renderer;
    EXPECT_EQ(m.layers[2]->data->kind, WorkspaceKind::Ogr);
    EXPECT_EQ(cb.kind, RendererKind::ClassBreaks);
    EXPECT_EQ(cb.field, "POP");
    ASSERT_EQ(cb.breaks.size(), 3u);
    EXPECT_EQ(cb.breaks[1].value, 1e6);
    EXPECT_EQ(cb.breaks[1].symbol->kind, SymbolKind::CharacterMarker);
    EXPECT_EQ(cb.breaks[1].symbol->index, 65);
    EXPECT_EQ(cb.breaks[1].symbol->font.charset, 2);
    EXPECT_FALSE(cb.breaks[2].symbol);

    // Stations: a multi-layer marker; Dots: a renderer of another kind.
    const DSymbol& ml = *m.layers[3]->renderer->symbol;
    ASSERT_EQ(ml.layers.size(), 2u);
    EXPECT_EQ(ml.layers[0]->kind, SymbolKind::CharacterMarker);
    EXPECT_EQ(ml.layers[1]->style, "x");
    EXPECT_EQ(m.layers[4]->renderer->kind, RendererKind::Other);
    EXPECT_EQ(m.layers[4]->renderer->otherKind, "dotdensity");
}

TEST_F(DesktopHost, SavingGivesTheSameModelAndASecondSaveTheSameBytes) {
    TempDir dir;
    for (const std::string fixture :
         {kData + "layers.dmap", std::string(ZN_SOURCE_DIR) + "/data/desktop/sample.dmap"}) {
        SCOPED_TRACE(fixture);
        EXPECT_TRUE(ValidatesAgainstSchema(fixture));
        DmapError e;
        auto first = ReadDmapFile(fixture, &e);
        ASSERT_TRUE(first) << e.Text();
        std::string why;
        ASSERT_TRUE(SaveDmapFile(*first, dir.Path("a.dmap"), &why)) << why;
        EXPECT_TRUE(ValidatesAgainstSchema(dir.Path("a.dmap")));
        auto second = ReadDmapFile(dir.Path("a.dmap"), &e);
        ASSERT_TRUE(second) << e.Text();
        EXPECT_EQ(*first, *second);
        ASSERT_TRUE(SaveDmapFile(*second, dir.Path("b.dmap"), &why)) << why;
        EXPECT_EQ(ReadAll(dir.Path("a.dmap")), ReadAll(dir.Path("b.dmap")));
    }
}

TEST_F(DesktopHost, BadDocumentsAreRefusedWithTheirLineAndName) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    const std::string head =
        "<?xml version=\"1.0\"?>\n<desktopmap version=\"1\">\n<map name=\"m\">\n";
    const std::string tail = "</map>\n</desktopmap>\n";
    std::string deep = head;
    for (int i = 0; i < kMaxLayerNesting + 1; ++i) deep += "<layer kind=\"group\" name=\"g\">";
    for (int i = 0; i < kMaxLayerNesting + 1; ++i) deep += "</layer>";
    deep += "\n" + tail;
    struct Case {
        const char* what;
        std::string text;
        int line;
        const char* name;  // part of the error's name, or "" for a parse error
    };
    const Case cases[] = {
        {"not XML", "this is not a map", 1, ""},
        {"truncated", head + "<layer kind=\"annotation\" na", 4, ""},
        {"unknown element", head + "<legend/>\n" + tail, 4, "<legend>"},
        {"unknown attribute",
         head + "<layer kind=\"annotation\" name=\"n\" colour=\"1\"/>\n" + tail, 4, "colour"},
        {"missing attribute", head + "<layer kind=\"annotation\"/>\n" + tail, 4, "name"},
        {"comma decimal", head + "<view xmin=\"1,5\" ymin=\"0\" xmax=\"2\" ymax=\"2\"/>\n" + tail,
         4, "xmin"},
        {"nan", head + "<view xmin=\"nan\" ymin=\"0\" xmax=\"2\" ymax=\"2\"/>\n" + tail, 4, "xmin"},
        {"bytes the declared encoding cannot convert",
         "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>\n<desktopmap version=\"1\"><map name=\"\x1b$B\"/></desktopmap>",
         2, ""},
        {"version 2", "<desktopmap version=\"2\"><map name=\"m\"/></desktopmap>", 1, "version"},
        {"nested too deep", deep, 4, "<layer>"},
        {"entity expansion",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;\">]>\n"
         "<desktopmap version=\"1\"><map name=\"&b;\"/></desktopmap>",
         2, ""},
        {"external entity naming a FIFO",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE d [<!ENTITY x SYSTEM \"" + dir.Path("fifo") +
             "\">]>\n"
             "<desktopmap version=\"1\"><map name=\"&x;\"/></desktopmap>",
         2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zn3test::StderrCapture err;
        DmapError e;
        auto d = ReadDmap(c.text, &e);
        EXPECT_FALSE(d);
        EXPECT_EQ(e.line, c.line) << e.Text();
        EXPECT_NE(e.name.find(c.name), std::string::npos) << e.Text();
        EXPECT_FALSE(e.message.empty());
        EXPECT_EQ(err.Take(), "");
        // The same through a file, and through the host's opening.
        const std::string path = dir.Write("bad.dmap", c.text);
        ScriptedHostUi ui({}, [](const std::string&) { throw std::runtime_error("prompted"); });
        EXPECT_FALSE(OpenHostDocument(path, ui, &e));
    }
    // The document itself a FIFO: refused at once, never read.
    DmapError e;
    EXPECT_FALSE(ReadDmapFile(dir.Path("fifo"), &e));
    EXPECT_NE(e.message.find("not a regular file"), std::string::npos);
}

TEST_F(DesktopHost, FailedSavesKeepTheOldDocumentAndLeaveNothingBeside) {
    TempDir dir;
    const DDocument model = ReadFixture("layers.dmap");
    DDocument changed = ReadFixture("layers.dmap");
    changed.maps[1].layers[0]->visible = false;
    const std::string path = dir.Path("map.dmap");
    std::string why;
    ASSERT_TRUE(SaveDmapFile(model, path, &why));
    const std::string before = ReadAll(path);
    const size_t size = WriteDmap(changed).size();

    auto expectUnchanged = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(ReadAll(path), before);
        size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path(""))) {
            (void)e;
            ++files;
        }
        EXPECT_EQ(files, 1u);
        EXPECT_FALSE(why.empty());
        why.clear();
        fs::test::Reset();
    };
    for (int k = 1; k <= 3; ++k) {
        fs::test::FailNthWrite(k);
        if (SaveDmapFile(changed, path, &why)) {
            // Fewer writes than k: the save went through; put the old one back.
            fs::test::Reset();
            EXPECT_GT(k, 1) << "the first write cannot succeed";
            ASSERT_TRUE(SaveDmapFile(model, path, &why));
            ASSERT_EQ(ReadAll(path), before);
            break;
        }
        expectUnchanged("k-th write fails");
    }
    for (uint64_t budget : {uint64_t{0}, uint64_t{1}, uint64_t{size / 2}, uint64_t{size - 1}}) {
        fs::test::SetWriteBudget(budget);
        EXPECT_FALSE(SaveDmapFile(changed, path, &why));
        expectUnchanged("disk full");
    }
    fs::test::FailPath(fs::DevicePathFromHost(path), fs::kErrorAccessDenied);
    EXPECT_FALSE(SaveDmapFile(changed, path, &why));
    expectUnchanged("rename refused");

    // Through the document role: an error, and the old bytes.
    ScriptedHostUi ui({}, [](const std::string&) { throw std::runtime_error("prompted"); });
    DmapError e;
    auto app = OpenHostDocument(path, ui, &e);
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->Document()->FocusMap()->Layer(0)->Visible());
    app->Document()->FocusMap()->Layer(0)->SetVisible(false);
    fs::test::SetWriteBudget(10);
    EXPECT_THROW(app->Document()->Save(), HostError);
    fs::test::Reset();
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_TRUE(app->Session().Modified());
    app->Document()->Save();
    EXPECT_FALSE(app->Session().Modified());
    EXPECT_NE(ReadAll(path), before);
}

// The spatial reference's name and text, and the .prj it writes read back by
// independent tools as the same system.
TEST_F(DesktopHost, SpatialReferencesAgreeWithIndependentReaders) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string wkt;
    };
    const Case cases[] = {
        {"NAD_1983_UTM_Zone_10N",
         "PROJCS[\"NAD_1983_UTM_Zone_10N\",GEOGCS[\"GCS_North_American_1983\",DATUM[\"D_North_"
         "American_1983\","
         "SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT["
         "\"Degree\",0.0174532925199433]],"
         "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER["
         "\"False_Northing\",0.0],"
         "PARAMETER[\"Central_Meridian\",-123.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER["
         "\"Latitude_Of_Origin\",0.0],"
         "UNIT[\"Meter\",1.0]]"},
        {"NAD_1983_StatePlane_California_III_FIPS_0403_Feet",
         "PROJCS[\"NAD_1983_StatePlane_California_III_FIPS_0403_Feet\",GEOGCS[\"GCS_North_American_"
         "1983\","
         "DATUM[\"D_North_American_1983\",SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM["
         "\"Greenwich\",0.0],"
         "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Lambert_Conformal_Conic\"],"
         "PARAMETER[\"False_Easting\",6561666.666666666],PARAMETER[\"False_Northing\",1640416."
         "666666667],"
         "PARAMETER[\"Central_Meridian\",-120.5],PARAMETER[\"Standard_Parallel_1\",37."
         "06666666666667],"
         "PARAMETER[\"Standard_Parallel_2\",38.43333333333333],PARAMETER[\"Latitude_Of_Origin\",36."
         "5],"
         "UNIT[\"Foot_US\",0.3048006096012192]]"},
        {"GCS_WGS_1984",
         "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298."
         "257223563]],"
         "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]"},
    };
    // PROJ strings compared word by word, numbers to 12 significant digits
    // (the .prj holds 15; a false northing in feet converts to metres with
    // a last-digit difference).
    auto sameProj = [](const std::string& a, const std::string& b) {
        std::istringstream sa(a), sb(b);
        std::string wa, wb;
        while (true) {
            const bool ra = static_cast<bool>(sa >> wa), rb = static_cast<bool>(sb >> wb);
            if (ra != rb) return false;
            if (!ra) return true;
            const size_t ea = wa.find('='), eb = wb.find('=');
            if (wa.substr(0, ea) != wb.substr(0, eb)) return false;
            if (wa == wb) continue;
            if (ea == std::string::npos || eb == std::string::npos) return false;
            char* endA = nullptr;
            char* endB = nullptr;
            const double va = std::strtod(wa.c_str() + ea + 1, &endA),
                         vb = std::strtod(wb.c_str() + eb + 1, &endB);
            if (*endA || *endB || std::fabs(va - vb) > 1e-12 * std::max(1.0, std::fabs(va)))
                return false;
        }
    };
    auto proj = [](const std::string& tool, const std::string& file) {
        const std::string cmd = tool == "projinfo"
                                    ? "projinfo -o PROJ -q \"$(cat '" + file + "')\" 2>/dev/null"
                                    : "gdalsrsinfo -o proj4 '" + file + "' 2>/dev/null";
        std::string s = zn3test::Output(cmd);
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\''))
            s.pop_back();
        while (!s.empty() && (s.front() == '\'' || s.front() == '\n')) s.erase(s.begin());
        return s;
    };
    ScriptedHostUi ui({}, [](const std::string&) { throw std::runtime_error("prompted"); });
    // The spatial reference of a one-map document with this coordsys (none: no system).
    auto referenceOf = [&](std::optional<DCoordSys> cs) -> std::shared_ptr<IHostSpatialReference> {
        DDocument d;
        d.maps.push_back({});
        d.maps[0].name = "m";
        d.maps[0].coordSys = cs;
        std::string why;
        EXPECT_TRUE(SaveDmapFile(d, dir.Path("m.dmap"), &why)) << why;
        DmapError e;
        auto app = OpenHostDocument(dir.Path("m.dmap"), ui, &e);
        EXPECT_TRUE(app) << e.Text();
        return app ? app->Document()->FocusMap()->SpatialReference() : nullptr;
    };
    for (const Case& c : cases) {
        for (bool inlineText : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (inlineText ? " inline" : " .prj"));
            const std::string source = dir.Write("source.prj", c.wkt);
            auto sr = referenceOf(inlineText ? DCoordSys{"", "", c.wkt} : DCoordSys{"", "source.prj", ""});
            ASSERT_TRUE(sr);
            EXPECT_EQ(sr->Name(), c.name);
            sr->WritePrjFile(dir.Path("out.prj"));
            for (const char* tool : {"projinfo", "gdalsrsinfo"}) {
                const std::string expected = proj(tool, source);
                ASSERT_FALSE(expected.empty()) << tool;
                const std::string ours = proj(tool, dir.Path("out.prj"));
                EXPECT_TRUE(sameProj(ours, expected))
                    << tool << "\n ours: " << ours << "\n peer: " << expected;
            }
            // The handheld reads it back as the same system.
            CWktCoordSys a, b;
            ASSERT_TRUE(a.ReadPrjFile(fs::DevicePathFromHost(dir.Path("out.prj"))));
            ASSERT_TRUE(b.ParseWkt(text::FromUtf8(c.wkt)));
            auto csA = a.CreateProjection();
            auto csB = b.CreateProjection();
            ASSERT_TRUE(csA && csB);
            EXPECT_TRUE(csA->IsEqual(csB.get()));
            EXPECT_EQ(sr->Text(), ReadAll(dir.Path("out.prj")));
        }
    }
    // Unknown: a text that does not parse keeps its text; a projection the
    // handheld cannot compute likewise; no system gives none.
    const std::string unknownTexts[] = {
        "PROJCS[\"broken\",GEOGCS[",
        "PROJCS[\"Odd\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137."
        "0,298.257223563]],"
        "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Nowhere_"
        "Projection\"],"
        "UNIT[\"Meter\",1.0]]",
    };
    for (const std::string& t : unknownTexts) {
        auto sr = referenceOf(DCoordSys{"", "", t});
        ASSERT_TRUE(sr);
        EXPECT_EQ(sr->Name(), "Unknown");
        EXPECT_EQ(sr->Text(), t);
    }
    EXPECT_FALSE(referenceOf(std::nullopt));
}

}  // namespace
