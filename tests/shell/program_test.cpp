// The program itself on Qt's offscreen display: what it shows after its
// first paint is, pixel for pixel, what the same main window draws in this
// process on the null display; the blockgroups polygons cover what
// gdal_rasterize burns for them; and a start/stop cycle ends cleanly (under
// the asan preset LeakSanitizer watches it).
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/view/map_view.h"
#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/doc_template.h"
#include "platform/win/input.h"
#include "resources/zres.h"
#include "shell/app/map_app.h"
#include "shell/app/null_scripting.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/shell_doubles.h"
#include "tests/support/bmp_reader.h"
#include "tests/support/run_command.h"

namespace {

using testbmp::Picture;
using testbmp::ReadBmp;

class ProgramTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
        ASSERT_EQ(std::system(("mkdir -p -m 700 '" + Host("Maps") + "' '" + Host("Blocks") + "' '" + Host("config") +
                               "' '" + Host("run") + "' && cp '" + samples + "'/* '" + Host("Maps") + "'/ && cp '" + std::string(ZN_SOURCE_DIR) +
                               "/data/System/Zarnip.znx' '" + Host("Program/System") + "'/ && cp '" + samples +
                               "'/blockgroups.s* '" + samples + "'/blockgroups.dbf '" + samples +
                               "'/blockgroups.prj '" + Host("Blocks") + "'/")
                                  .c_str()),
                  0);
        // The blockgroups alone, one solid colour with outlines of the same
        // colour, no labels, no scale bar.
        Put("Blocks/blockgroups.znl",
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Zarnip><LAYER name=\"Blocks\"><SYMBOLOGY>"
            "<SIMPLERENDERER><SIMPLEPOLYGONSYMBOL filltype=\"solid\" fillcolor=\"200,0,0\" "
            "boundarytype=\"solid\" boundarywidth=\"1\" boundarycolor=\"200,0,0\"/></SIMPLERENDERER>"
            "</SYMBOLOGY></LAYER></Zarnip>\n");
        std::string sample = Get("Maps/Sample.znm");
        size_t bookmarks = sample.find("<BOOKMARKS/>");
        ASSERT_NE(bookmarks, std::string::npos);
        std::string blocks = sample;
        size_t scaleBar = blocks.find("<SCALEBAR visible=\"true\"/>");
        ASSERT_NE(scaleBar, std::string::npos);
        blocks.replace(scaleBar, 26, "<SCALEBAR visible=\"false\"/>");
        Put("Blocks/Blocks.znm", blocks);
        ASSERT_EQ(std::system(("xmllint --noout '" + Host("Blocks/Blocks.znm") + "'").c_str()), 0);
        // This process keeps its lock and profile where the program does.
        setenv("XDG_RUNTIME_DIR", Host("run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", Host("config").c_str(), 1);
    }
    void TearDown() override {
        if (app_) {
            if (CMainFrame* frame = CMainFrame::GetMainFrame()) DestroyWindow(frame->GetSafeHwnd());
            app_->ExitInstance();
            app_.reset();
        }
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }

    // The environment both the program and this process work in.
    std::string Env() const {
        return "QT_QPA_PLATFORM=offscreen ZARNIP_SCALE=1 ZARNIP_SCREEN=240x320 ZARNIP_ROOT='" + root_ +
               "' ZARNIP_DOCUMENTS='" + Host("Docs") + "' XDG_CONFIG_HOME='" + Host("config") +
               "' XDG_RUNTIME_DIR='" + Host("run") + "' ";
    }

    // Runs the program on a map (a host path) until its first paint; the
    // window as shown and where the view lies in it. The exit code.
    int RunProgram(const std::string& map, Picture& shot, RECT& view) {
        const std::string file = Host("shot.bmp");
        std::remove(file.c_str());
        std::string cmd = Env() + "ZARNIP_TEST_SCREENSHOT='" + file + "' '" + ZN_APP + "' --no-splash '" + map +
                          "' 2>'" + Host("stderr.txt") + "'";
        int status = -1;
        const std::string out = testsupport::RunCommand(cmd, &status);
        int vx = 0, vy = 0, vw = 0, vh = 0;
        int got = std::sscanf(out.c_str(), "view %d %d %d %d", &vx, &vy, &vw, &vh);
        if (got != 4 || !ReadBmp(file, shot)) return -1;
        view = RECT{vx, vy, vx + vw, vy + vh};
        return status;
    }

    // The same program in this process on the null display: the
    // application started as main starts it, with the same configuration.
    CMainFrame* OpenHere(const std::string& map) {
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        win::SetScreenSize(240, 320);
        UseBuiltInLayerClass(LayerKind::Shape);
        SetScriptServices(&scripting_);
        app_ = std::make_unique<CMapApp>();
        CMapApp* app = app_.get();
        const char* argv[] = {"zarnip", "--no-splash", map.c_str()};
        app->SetCommandLine(3, argv);
        app->m_makeDocTemplate = [app] {
            return std::make_unique<win::SingleDocTemplate>(
                IDR_MAINFRAME, [] { return std::make_unique<CMapDoc>(); },
                [app] { return std::make_unique<CMainFrame>(app); },
                [](win::Document* doc) {
                    auto view = std::make_unique<CMapView>();
                    view->SetDocument(static_cast<CMapDoc*>(doc));
                    return view;
                });
        };
        if (!app->InitInstance()) return nullptr;
        win::input::DrainQueue();
        return CMainFrame::GetMainFrame();
    }

    // The frame's whole surface.
    static Picture Surface(HWND frame) {
        HBITMAP surface = win::GetWindowSurface(frame, nullptr);
        Picture pic;
        int stride = 0;
        uint32_t* px = gdi::SurfacePixels(surface, &pic.w, &pic.h, &stride);
        for (int y = 0; y < pic.h; ++y)
            for (int x = 0; x < pic.w; ++x) {
                uint32_t p = px[static_cast<size_t>(y) * static_cast<size_t>(stride / 4) + static_cast<size_t>(x)];
                pic.px.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
            }
        return pic;
    }

    static int Differ(const Picture& a, const Picture& b) {
        if (a.w != b.w || a.h != b.h) return -1;
        int n = 0;
        for (size_t i = 0; i < a.px.size(); ++i) n += a.px[i] != b.px[i];
        return n;
    }

    CNullScriptServices scripting_;
    std::unique_ptr<CMapApp> app_;
};

TEST_F(ProgramTest, ShowsTheSampleMapWithBarsAndStatusBarAsTheWindowModelDrawsThem) {
    Picture shot;
    RECT viewRect;
    ASSERT_EQ(RunProgram(Host("Maps/Sample.znm"), shot, viewRect), 0) << Get("stderr.txt");

    CMainFrame* frame = OpenHere(Host("Maps/Sample.znm"));
    ASSERT_NE(frame, nullptr);
    // What the picture must show, read from the model: the main and browse
    // bars with their drop-down arrows, the status bar's four panes with a
    // "1:N" scale.
    CCommandBars* bars = frame->GetCommandBars();
    for (UINT id : {kMainBarId, kBrowseBarId}) {
        CToolBarExt* bar = bars->GetBuiltInBar(id);
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(bar->IsVisible());
        EXPECT_GT(bar->GetCount(), 3);
    }
    EXPECT_TRUE(bars->GetBuiltInBar(kBrowseBarId)->GetButtonStyle(
                    bars->GetBuiltInBar(kBrowseBarId)->CommandToIndex(1800)) & TBSTYLE_DROPDOWN);
    EXPECT_FALSE(bars->GetBuiltInBar(kDrawBarId)->IsVisible());
    EXPECT_EQ(SendMessage(frame->GetMainStatusBar(), SB_GETPARTS, 0, 0), 4);
    WString scale = frame->GetPaneText(2);
    EXPECT_EQ(scale.substr(0, 2), u"1:") << text::ToUtf8(scale);
    EXPECT_GT(text::ParseLong(scale.substr(2)), 0);

    // The display adds nothing: the whole window, pixel for pixel.
    Picture here = Surface(frame->GetSafeHwnd());
    EXPECT_EQ(Differ(shot, here), 0);
    POINT offset{};
    win::GetWindowSurface(frame->GetMapView()->GetSafeHwnd(), &offset);
    EXPECT_EQ(viewRect.left, offset.x);
    EXPECT_EQ(viewRect.top, offset.y);
}

TEST_F(ProgramTest, BlockgroupsCoverWhatGdalRasterizeBurns) {
    Picture shot;
    RECT v;
    ASSERT_EQ(RunProgram(Host("Blocks/Blocks.znm"), shot, v), 0) << Get("stderr.txt");
    CMainFrame* frame = OpenHere(Host("Blocks/Blocks.znm"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(Differ(shot, Surface(frame->GetSafeHwnd())), 0);

    // gdal_rasterize over the view's extent at the view's size: the
    // polygons (pixel centres inside), and every pixel their edges touch.
    const int w = v.right - v.left, h = v.bottom - v.top;
    // The window of map coordinates the view's pixels cover, from its own
    // transform (pixel corners).
    CDoubleRect e;
    frame->GetMapView()->ScreenToMap(0, h, e.xmin, e.ymin);
    frame->GetMapView()->ScreenToMap(w, 0, e.xmax, e.ymax);
    char window[256];
    std::snprintf(window, sizeof window, "-te %.17g %.17g %.17g %.17g -ts %d %d", e.xmin, e.ymin, e.xmax, e.ymax, w,
                  h);
    const std::string cmd = "cd '" + Host("Blocks") + "' && gdal_rasterize -q -burn 1 -ot Byte -of GTiff " + window +
                            " blockgroups.shp burn.tif && gdal_translate -q -of AAIGrid burn.tif burn.asc && "
                            "ogr2ogr -q -nlt MULTILINESTRING edges.shp blockgroups.shp && gdal_rasterize -q -at "
                            "-burn 1 -ot Byte -of GTiff " + window +
                            " edges.shp edges.tif && gdal_translate -q -of AAIGrid edges.tif edges.asc";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    auto grid = [&](const std::string& name) {
        std::ifstream in(Host("Blocks/" + name));
        std::string line;
        std::vector<int> cells;
        while (std::getline(in, line)) {
            if (line.empty() || std::isalpha(static_cast<unsigned char>(line[0]))) continue;
            std::istringstream ls(line);
            int value;
            while (ls >> value) cells.push_back(value);
        }
        return cells;
    };
    std::vector<int> burn = grid("burn.asc"), edges = grid("edges.asc");
    ASSERT_EQ(burn.size(), static_cast<size_t>(w * h));
    ASSERT_EQ(edges.size(), burn.size());
    // A pixel touches an edge when the edge passes through it or through a
    // pixel beside it (the outline is a pixel wide, drawn from whole-pixel
    // vertices).
    auto touches = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int X = x + dx, Y = y + dy;
                if (X >= 0 && Y >= 0 && X < w && Y < h && edges[static_cast<size_t>(Y * w + X)]) return true;
            }
        return false;
    };
    // Pixels no edge touches: inside a polygon the fill, outside the view's
    // white background.
    int inside = 0, outside = 0, wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y * w + x);
            if (touches(x, y)) continue;
            const bool in = burn[i] != 0;
            COLORREF c = shot.At(v.left + x, v.top + y);
            (in ? inside : outside)++;
            if (c != (in ? RGB(200, 0, 0) : RGB(255, 255, 255)) && ++wrong <= 5)
                ADD_FAILURE() << x << "," << y << " inside " << in << " colour " << std::hex << c;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(inside, w * h / 20);
    EXPECT_GT(outside, w * h / 5);
}

TEST_F(ProgramTest, StartAndExitEndCleanly) {
    // Exit is chosen after the first paint; the program ends with 0 and,
    // in the sanitizer build, LeakSanitizer finds nothing.
    std::string cmd = Env() + "ZARNIP_TEST_EXIT=1 LSAN_OPTIONS=suppressions='" + std::string(ZN_SOURCE_DIR) +
                      "/tools/lsan.supp' '" + ZN_APP + "' --no-splash '" + Host("Maps/Sample.znm") + "' 2>'" +
                      Host("stderr.txt") + "'";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << Get("stderr.txt");
    EXPECT_EQ(Get("stderr.txt").find("Sanitizer"), std::string::npos) << Get("stderr.txt");
}

}  // namespace
