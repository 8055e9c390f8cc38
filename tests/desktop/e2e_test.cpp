// The export wizard end to end. A desktop map made here from public data is
// exported by the real host stand-in with the real add-in, answered by a
// script; the output is checked on the desktop side with GDAL's tools, then
// opened headless by the handheld's map engine and compared, pixel for
// pixel, with GDAL's rasterisation of the same data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "formats/message_sink.h"
#include "map/layers/layer_factory.h"
#include "platform/win/msgbox.h"
#include "tests/map/view_harness.h"
#include "tests/support/run_command.h"

namespace {

using viewtest::ViewHarness;

// The map's view on the desktop, in NAD 1983 / UTM 10N.
constexpr double kXmin = 539000, kYmin = 4172000, kXmax = 552000, kYmax = 4184000;
constexpr int kWidth = 480, kHeight = 640;

// The block groups' classes by AMERI_ES, as the desktop map colours them.
struct PolygonClass {
    const char* where;
    COLORREF fill;
};
const PolygonClass kPolygonClasses[] = {
    {"AMERI_ES = 0", RGB(230, 230, 160)},
    {"AMERI_ES = 8", RGB(100, 150, 230)},
    {"AMERI_ES = 9", RGB(120, 200, 120)},
    {"AMERI_ES NOT IN (0, 8, 9)", RGB(200, 200, 200)},
};
// The names' colour, 200,0,200, blended with what lies under the text's
// edges: red and blue well above green.
bool IsLabelInk(COLORREF c) {
    return GetRValue(c) >= 120 && GetBValue(c) >= 120 &&
           GetGValue(c) + 80 <= std::min(GetRValue(c), GetBValue(c));
}

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// ogrinfo's features with what names the file left out: the layer's name,
// the .dbf's date, the field types' spellings (a 10-digit integer field is
// Integer64 to GDAL, a 9-digit one Integer) and the geometry lines, which
// come back apart as their numbers.
struct Features {
    std::vector<std::string> lines;
    std::vector<double> coordinates;
};
Features ReadFeatures(const std::string& ogrinfo) {
    Features out;
    std::istringstream in(ogrinfo);
    static const std::regex kType(R"( \((Integer64|Integer|Real|String|Date)\) = )");
    static const std::regex kNumber(R"(-?[0-9]+(\.[0-9]+)?(e[-+]?[0-9]+)?)");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Layer name:", 0) == 0 ||
            line.find("DBF_DATE_LAST_UPDATE") != std::string::npos || line == "Metadata:" ||
            line.rfind("INFO:", 0) == 0)
            continue;
        if (line.rfind("OGRFeature(", 0) == 0) {
            out.lines.push_back("feature " + line.substr(line.find("):") + 2));
        } else if (line.find("POINT") != std::string::npos ||
                   line.find("POLYGON") != std::string::npos) {
            for (std::sregex_iterator i(line.begin(), line.end(), kNumber), end; i != end; ++i)
                out.coordinates.push_back(std::stod(i->str()));
            out.lines.push_back(line.substr(0, line.find('(')));
        } else {
            out.lines.push_back(std::regex_replace(line, kType, " = "));
        }
    }
    return out;
}

struct Rgb {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};
Rgb ReadPpm(const std::string& bytes) {
    Rgb out;
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    in >> magic >> out.width >> out.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255) return {};
    out.pixels.resize(static_cast<size_t>(out.width) * out.height * 3);
    in.read(reinterpret_cast<char*>(out.pixels.data()),
            static_cast<std::streamsize>(out.pixels.size()));
    return out;
}

class DesktopToHandheld : public ViewHarness {
protected:
    // Runs a command with the test's folder as the working folder; its
    // output, and its status in *status.
    std::string Run(const std::string& command, int* status) {
        return testsupport::RunCommand("cd '" + Host("") + "' && " + command + " 2>&1", status);
    }
    std::string MustRun(const std::string& command) {
        int status = -1;
        std::string out = Run(command, &status);
        EXPECT_EQ(status, 0) << command << "\n" << out;
        return out;
    }

    // The wizard run: everything checked, the current map extent, map
    // "E2E" into folder `out`; `env` is put before the host's command.
    void RunWizard(const std::string& env) {
        Put("answers",
            "dialog \"Zarnip Map Wizard\" press=\"Next >\" choose=\"Current map extent\" "
            "press=\"Next >\" type=\"txtFolderName=" +
                Host("out") + "\" type=\"txtMapName=E2E\" press=\"&Finish\" press=\"&OK\"\n");
        MustRun("mkdir -p out && " + env + " PELLUM_ADDINS='" + Host("addins.ini") +
                "' QT_QPA_PLATFORM=offscreen '" ZN_PELLUM
                "' d/e2e.dmap --answers answers --log log "
                "--press 'Zarnip Map Wizard'");
        // The wizard's own dialog and nothing else: no message of any kind.
        const std::string log = Get("log");
        int prompts = 0;
        std::istringstream in(log);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line[0] == '[') ++prompts;
        EXPECT_EQ(prompts, 1) << log;
        EXPECT_EQ(log.rfind("[dialog] Zarnip Map Wizard\n", 0), 0u) << log;
    }

    // What xmllint prints for an expression; a string's one trailing line
    // end, which some versions add, is dropped.
    std::string Xpath(const std::string& file, const std::string& expression) {
        std::string out = MustRun("xmllint --xpath '" + expression + "' '" + Host(file) + "'");
        if (expression.rfind("string(", 0) == 0 && !out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
};

TEST_F(DesktopToHandheld, ExportedMapOpensAsTheDesktopDrewIt) {
    // The fixture and the add-in registered with the host.
    MustRun("'" ZN_SOURCE_DIR "/tests/desktop/make_e2e_fixture.sh' '" ZN_SOURCE_DIR "' d");
    MustRun("PELLUM_ADDINS='" + Host("addins.ini") + "' '" ZN_REGISTER_TOOL "'");
    RunWizard("");
    if (HasFailure()) return;

    // --- The desktop side ---
    // The shapefiles equal GDAL's two-step conversion: to the map's system,
    // then cut to the view's extent; vertices within a millimetre.
    const std::string spat = Num(kXmin) + " " + Num(kYmin) + " " + Num(kXmax) + " " + Num(kYmax);
    MustRun(
        "ogr2ogr -t_srs d/utm10.prj ref_blockgroups_all.shp d/blockgroups.shp && "
        "ogr2ogr -spat " +
        spat +
        " ref_blockgroups.shp ref_blockgroups_all.shp && "
        "ogr2ogr -t_srs d/utm10.prj ref_places_all.shp d/places.gpkg && "
        "ogr2ogr -spat " +
        spat + " ref_places.shp ref_places_all.shp");
    for (const auto& [ours, theirs] :
         std::map<std::string, std::string>{{"out/blockgroups.shp", "ref_blockgroups.shp"},
                                            {"out/Places.shp", "ref_places.shp"}}) {
        SCOPED_TRACE(ours);
        Features a = ReadFeatures(MustRun("ogrinfo -al -q " + ours));
        Features b = ReadFeatures(MustRun("ogrinfo -al -q " + theirs));
        EXPECT_EQ(a.lines, b.lines);
        ASSERT_EQ(a.coordinates.size(), b.coordinates.size());
        double worst = 0;
        for (size_t i = 0; i < a.coordinates.size(); ++i)
            worst = std::max(worst, std::fabs(a.coordinates[i] - b.coordinates[i]));
        EXPECT_LT(worst, 0.001);
        EXPECT_GT(a.lines.size(), 10u);
    }
    // The places against cs2cs, one by one (five lie in the extent).
    const std::string cs2cs = MustRun(
        "ogrinfo -q -al d/places.gpkg | sed -n 's/.*POINT (\\(.*\\) \\(.*\\))/\\1 \\2/p' | "
        "cs2cs -f %.4f +proj=longlat +datum=NAD83 +to +proj=utm +zone=10 +datum=NAD83");
    const Features places = ReadFeatures(MustRun("ogrinfo -al -q out/Places.shp"));
    std::vector<std::pair<double, double>> utm;
    {
        std::istringstream in(cs2cs);
        double x, y, z;
        while (in >> x >> y >> z)
            if (x > kXmin && x < kXmax && y > kYmin && y < kYmax) utm.emplace_back(x, y);
    }
    ASSERT_EQ(utm.size(), 5u) << cs2cs;
    ASSERT_EQ(places.coordinates.size(), 10u);
    for (size_t i = 0; i < utm.size(); ++i) {
        EXPECT_NEAR(places.coordinates[2 * i], utm[i].first, 0.001);
        EXPECT_NEAR(places.coordinates[2 * i + 1], utm[i].second, 0.001);
    }

    // The map file: the view's envelope, the system, and the layers that
    // were exported (the grey photo was refused), in the desktop's order.
    EXPECT_EQ(Xpath("out/E2E.znm", "string(//ENVELOPE/@minx)"), "539000");
    EXPECT_EQ(Xpath("out/E2E.znm", "string(//ENVELOPE/@maxy)"), "4184000");
    EXPECT_EQ(Xpath("out/E2E.znm", "//DATASET/@name"),
              " name=\"Places.shp\"\n name=\"blockgroups.shp\"\n name=\"Coast.sid\"\n");
    EXPECT_NE(Xpath("out/E2E.znm", "string(//COORDSYS/@string)").find("NAD_1983_UTM_Zone_10N"),
              std::string::npos);
    // The layer files: the renderers' fields and classes, the labels.
    EXPECT_EQ(Xpath("out/blockgroups.znl", "string(//VALUEMAPRENDERER/@lookupfield)"), "AMERI_ES");
    EXPECT_EQ(Xpath("out/blockgroups.znl", "//EXACT/@value"),
              " value=\"0\"\n value=\"8\"\n value=\"9\"\n");
    EXPECT_EQ(Xpath("out/blockgroups.znl", "string(//OTHER/SIMPLEPOLYGONSYMBOL/@fillcolor)"),
              "200,200,200");
    EXPECT_EQ(Xpath("out/Places.znl", "string(//VALUEMAPRENDERER/@lookupfield)"), "POP");
    EXPECT_EQ(Xpath("out/Places.znl", "//RANGE/@upper"),
              " upper=\"1000\"\n upper=\"10000\"\n upper=\"1000000\"\n");
    EXPECT_EQ(Xpath("out/Places.znl", "string(//SIMPLELABELRENDERER/@field)"), "NAME");
    EXPECT_EQ(Xpath("out/Places.znl", "string(//SIMPLELABELRENDERER/TEXTSYMBOL/@fontcolor)"),
              "200,0,200");
    // The refused photo left only its .prj.
    EXPECT_TRUE(HostExists("out/Grey.prj"));
    EXPECT_FALSE(HostExists("out/Grey.sid"));

    // The summary, with the folder and the sizes masked.
    {
        std::string summary = Get("out/Summary.txt");
        const std::string folder = Host("out");
        for (size_t at; (at = summary.find(folder)) != std::string::npos;)
            summary.replace(at, folder.size(), "<folder>");
        summary = std::regex_replace(summary, std::regex(R"(\([0-9]+ kb\))"), "(# kb)");
        std::ifstream in(ZN_TEST_DATA "/desktop/e2e_summary.txt", std::ios::binary);
        const std::string golden{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(summary, golden);
    }

    // The photo's world file as the handheld reads it (the outer corner of
    // the upper-left pixel) against GDAL's reading of the source.
    {
        std::vector<double> sdw;
        std::istringstream in(Get("out/Coast.sdw"));
        for (double v; in >> v;) sdw.push_back(v);
        ASSERT_EQ(sdw.size(), 6u);
        const std::string info = MustRun("gdalinfo d/coast.jpg");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            info, m, std::regex(R"(Upper Left\s*\(\s*([-0-9.]+),\s*([-0-9.]+)\))")));
        EXPECT_DOUBLE_EQ(sdw[4], std::stod(m[1]));
        EXPECT_DOUBLE_EQ(sdw[5], std::stod(m[2]));
        ASSERT_TRUE(
            std::regex_search(info, m, std::regex(R"(Pixel Size = \(([-0-9.]+),([-0-9.]+)\))")));
        EXPECT_DOUBLE_EQ(sdw[0], std::stod(m[1]));
        EXPECT_DOUBLE_EQ(sdw[3], std::stod(m[2]));
    }

    // Under a comma-decimal locale the same run writes the same bytes.
    MustRun("mv out out.first");
    RunWizard("LC_ALL=de_DE.UTF-8");
    for (const auto& entry : std::filesystem::directory_iterator(Host("out.first"))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        std::string first = Get("out.first/" + name), second = Get("out/" + name);
        if (name == "Summary.txt" || name == "E2E.znm") {
            // They name the output folder, which the second run shares.
            const std::string folder = Host("out.first");
            for (size_t at; (at = first.find(folder)) != std::string::npos;)
                first.replace(at, folder.size(), Host("out"));
        }
        EXPECT_TRUE(first == second);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host("out")), {}),
              std::distance(std::filesystem::directory_iterator(Host("out.first")), {}));

    // --- The handheld side ---
    UseBuiltInLayerClass(LayerKind::Shape);
    UseBuiltInLayerClass(LayerKind::Sid);
    std::vector<std::string> sunk;
    ESetMessageSink(
        [&sunk](const WString& text, const WString&) { sunk.push_back(text::ToUtf8(text)); });
    ASSERT_TRUE(doc_.OnOpenDocument(u"\\out\\E2E.znm"));
    doc_.SetScaleBarVisible(false);
    CreateView(kWidth, kHeight);
    view_->ZoomToExtent(CDoubleRect(kXmin, kYmin, kXmax, kYmax), false, 1.0);
    Pump();
    Repaint();
    ESetMessageSink(nullptr);
    EXPECT_TRUE(sunk.empty()) << sunk.front();
    EXPECT_TRUE(win::MessageBoxLog().empty());
    ASSERT_EQ(doc_.GetLayers().GetCount(), 3);

    const std::vector<COLORREF> px = Client();
    const CDoubleRect e = view_->GetExtent();
    const std::string te = Num(e.xmin) + " " + Num(e.ymin) + " " + Num(e.xmax) + " " + Num(e.ymax);
    const std::string ts = std::to_string(kWidth) + " " + std::to_string(kHeight);
    // The picture for a person.
    {
        std::string ppm = "P6\n" + ts + "\n255\n";
        for (COLORREF c : px) ppm += {char(GetRValue(c)), char(GetGValue(c)), char(GetBValue(c))};
        Put("view.ppm", ppm);
        MustRun("gdal_translate -q -of PNG view.ppm '" ZN_ARTEFACT_DIR "/e2e_handheld_view.png'");
    }
    auto at = [&](int x, int y) {
        return px[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)];
    };

    // Polygons: GDAL burns each polygon's number and class over the view;
    // two pixels into a polygon the view shows the class's fill.
    std::vector<int32_t> burn(static_cast<size_t>(kWidth) * kHeight), touched(burn.size());
    auto readBurn = [&](const char* file, std::vector<int32_t>& into) {
        std::ifstream in(Host(file), std::ios::binary);
        in.read(reinterpret_cast<char*>(into.data()),
                static_cast<std::streamsize>(into.size() * 4));
        ASSERT_EQ(in.gcount(), static_cast<std::streamsize>(into.size() * 4));
    };
    for (size_t c = 0; c < std::size(kPolygonClasses); ++c) {
        const std::string sql = "SELECT (rowid + 1) * 8 + " + std::to_string(c + 1) +
                                " AS v, geometry FROM ref_blockgroups WHERE " +
                                kPolygonClasses[c].where;
        MustRun(std::string("gdal_rasterize -q ") +
                (c == 0 ? "-init 0 -ot Int32 -of ENVI -te " + te + " -ts " + ts : "") +
                " -dialect SQLite -sql '" + sql + "' -a v ref_blockgroups.shp burn.bin");
    }
    MustRun("gdal_rasterize -q -init 0 -ot Int32 -of ENVI -te " + te + " -ts " + ts +
            " -at -burn 1 ref_blockgroups.shp touched.bin");
    readBurn("burn.bin", burn);
    readBurn("touched.bin", touched);
    // The places' markers and names lie over the polygons: left out.
    std::vector<bool> overlaid(burn.size());
    for (const auto& [x, y] : utm) {
        int sx = 0, sy = 0;
        view_->MapToScreen(x, y, sx, sy);
        for (int py = std::max(0, sy - 12); py < std::min(kHeight, sy + 13); ++py)
            for (int qx = std::max(0, sx - 12); qx < std::min(kWidth, sx + 100); ++qx)
                overlaid[static_cast<size_t>(py) * kWidth + qx] = true;
    }
    int interior = 0, right = 0;
    int perClass[4] = {};
    for (int y = 2; y < kHeight - 2; ++y)
        for (int x = 2; x < kWidth - 2; ++x) {
            const int32_t v = burn[static_cast<size_t>(y) * kWidth + x];
            if (v == 0) continue;
            bool uniform = true;
            for (int dy = -2; dy <= 2 && uniform; ++dy)
                for (int dx = -2; dx <= 2 && uniform; ++dx)
                    uniform = burn[static_cast<size_t>(y + dy) * kWidth + x + dx] == v;
            if (!uniform || overlaid[static_cast<size_t>(y) * kWidth + x]) continue;
            ++interior;
            ++perClass[v % 8 - 1];
            if (at(x, y) == kPolygonClasses[v % 8 - 1].fill) ++right;
        }
    EXPECT_GT(interior, 50000);
    for (int c = 0; c < 4; ++c) EXPECT_GT(perClass[c], 50) << kPolygonClasses[c].where;
    EXPECT_GE(right, interior * 0.995) << right << " of " << interior;

    // Points: each place in the extent shows its class's colour at its
    // pixel, and its name in the label colour beside it.
    const int pops[] = {40000, 800, 5000, 60000, 3000};
    for (size_t i = 0; i < utm.size(); ++i) {
        SCOPED_TRACE(i);
        int sx = 0, sy = 0;
        view_->MapToScreen(utm[i].first, utm[i].second, sx, sy);
        ASSERT_TRUE(sx >= 0 && sx < kWidth && sy >= 0 && sy < kHeight);
        const COLORREF want = pops[i] <= 1000    ? RGB(255, 0, 0)
                              : pops[i] <= 10000 ? RGB(0, 160, 0)
                                                 : RGB(0, 0, 255);
        EXPECT_EQ(at(sx, sy), want);
        int text = 0;
        for (int y = std::max(0, sy - 30); y < std::min(kHeight, sy + 30); ++y)
            for (int x = std::max(0, sx - 60); x < std::min(kWidth, sx + 60); ++x)
                if (IsLabelInk(at(x, y))) ++text;
        EXPECT_GT(text, 5);
    }

    // The photo, under the polygons: where no polygon covers it, the view
    // equals GDAL's reading of the exported image at its corners.
    {
        std::vector<double> sdw;
        std::istringstream in(Get("out/Coast.sdw"));
        for (double v; in >> v;) sdw.push_back(v);
        const double ulx = sdw[4], uly = sdw[5], lrx = ulx + 560 * sdw[0],
                     lry = uly + 1280 * sdw[3];
        MustRun("gdal_translate -q -of PNM -a_ullr " + Num(ulx) + " " + Num(uly) + " " + Num(lrx) +
                " " + Num(lry) + " -projwin " + Num(e.xmin) + " " + Num(e.ymax) + " " +
                Num(e.xmax) + " " + Num(e.ymin) + " -outsize " + ts +
                " -r nearest d/coast.jpg ref_photo.ppm");
        const Rgb ref = ReadPpm(Get("ref_photo.ppm"));
        ASSERT_EQ(ref.width, kWidth);
        double squared = 0;
        int n = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double mx = e.xmin + (x + 0.5) * (e.xmax - e.xmin) / kWidth;
                const double my = e.ymax - (y + 0.5) * (e.ymax - e.ymin) / kHeight;
                if (!(mx > ulx + 50 && mx < lrx - 50 && my < uly - 50 && my > lry + 50)) continue;
                if (touched[static_cast<size_t>(y) * kWidth + x]) continue;
                const COLORREF c = at(x, y);
                const uint8_t* r = &ref.pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
                for (int k = 0; k < 3; ++k) {
                    const int ours = k == 0 ? GetRValue(c) : k == 1 ? GetGValue(c) : GetBValue(c);
                    squared += double(ours - r[k]) * (ours - r[k]);
                }
                ++n;
            }
        ASSERT_GT(n, 5000);
        const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / (3.0 * n)));
        RecordProperty("photo_psnr", Num(psnr));
        // 44.9 dB when pinned (2026-12-11), 1 dB below: the image at 20:1.
        EXPECT_GE(psnr, 43.9) << n << " pixels";
    }

    // Out of the labels' scale range the names are gone.
    view_->SetMapScale(400000);
    Pump();
    Repaint();
    int text = 0;
    for (COLORREF c : Client()) text += IsLabelInk(c);
    EXPECT_EQ(text, 0);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

}  // namespace
