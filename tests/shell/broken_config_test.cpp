// A broken configuration file still gives a usable program: the built-in
// bars, the sample map drawn, one warning box naming what was wrong and the
// same lines on standard error. Each case starts the application in this
// process on the null display; one also starts the program itself on Qt's
// offscreen display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/language_module.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/view/map_view.h"
#include "platform/gdi/gdi.h"
#include "platform/win/doc_template.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "resources/zres.h"
#include "shell/app/map_app.h"
#include "shell/app/null_scripting.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/shell_doubles.h"
#include "tests/support/run_command.h"

namespace {

std::string Many(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += "<TOOLBUTTON command=\"\"/>";
    return out;
}

std::string Config(const std::string& toolbars) {
    return "<Zarnip><CONFIG><TOOLBARS>" + toolbars + "</TOOLBARS></CONFIG></Zarnip>";
}

struct Case {
    const char* what;
    std::string file;
    std::vector<std::string> lines;  // the report's lines
    const char* keyBox;              // a key taken twice says so too
};

std::vector<Case> Cases() {
    return {
        {"bad XML",
         "<Zarnip><CONFIG></Zarnip>",
         {"The configuration file \\Program\\System\\Zarnip.znx is not valid XML: XML parsing error. Unmatched tag: "
          "Expecting 'CONFIG' but encountered 'Zarnip' at line 1"},
         nullptr},
        {"another root",
         "<zarnip/>",
         {"The configuration file \\Program\\System\\Zarnip.znx was not used: its root element is \"zarnip\", not "
          "\"Zarnip\"."},
         nullptr},
        {"an unknown command",
         Config("<TOOLBAR name=\"x\"><TOOLBUTTON command=\"zoomsideways\"/></TOOLBAR>"),
         {"Toolbar \"x\": a TOOLBUTTON was left out: \"zoomsideways\" names no command."},
         nullptr},
        {"a number beyond the ids",
         Config("<TOOLBAR name=\"x\"><TOOLBUTTON command=\"#70000\"/></TOOLBAR>"),
         {"Toolbar \"x\": a TOOLBUTTON was left out: \"#70000\" names no command."},
         nullptr},
        {"shortcut F25",
         Config("<TOOLBAR name=\"x\"><TOOLBUTTON command=\"refresh\" shortcut=\"F25\"/></TOOLBAR>"),
         {"Toolbar \"x\": the shortcut \"F25\" binds no key (F1 to F24, A1 to A10)."},
         nullptr},
        {"F3 bound twice",
         Config("<TOOLBAR name=\"x\"><TOOLBUTTON command=\"refresh\" shortcut=\"F3\"/>"
                "<TOOLBUTTON command=\"zoomnext\" shortcut=\"F3\"/></TOOLBAR>"),
         {},
         "Function key F3 already assigned."},
        {"a 201st configured command",
         Config("<TOOLBAR name=\"y\">" + Many(201) + "</TOOLBAR>"),
         {"Toolbar \"y\": a TOOLBUTTON was left out: a run holds at most 200 configured commands."},
         nullptr},
    };
}

class BrokenConfiguration : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ResetLanguageModuleForTests();
        UseBuiltInLayerClass(LayerKind::Shape);
        SetScriptServices(&scripting_);
        const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
        ASSERT_EQ(std::system(("cp '" + samples + "'/* '" + Host("Docs") + "'/").c_str()), 0);
    }
    void TearDown() override {
        Stop();
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }
    bool Start() {
        app_ = std::make_unique<CMapApp>();
        app_->UseProgramDocTemplate();
        const std::string sample = Host("Docs/Sample.znm");
        const char* argv[] = {"zarnip", "--no-splash", sample.c_str()};
        app_->SetCommandLine(3, argv);
        return app_->InitInstance();
    }
    void Stop() {
        if (!app_) return;
        if (HWND main = app_->GetMainWindow()) DestroyWindow(main);
        app_->ExitInstance();
        app_.reset();
    }
    // The share of the view's pixels that are not its background.
    double DrawnShare() {
        CMainFrame* frame = CMainFrame::GetMainFrame();
        HWND view = frame->GetMapView()->GetSafeHwnd();
        InvalidateRect(view, nullptr, true);
        UpdateWindow(view);
        POINT o{};
        int w = 0, h = 0, stride = 0;
        uint32_t* px = gdi::SurfacePixels(win::GetWindowSurface(view, &o), &w, &h, &stride);
        RECT client;
        GetClientRect(view, &client);
        if (!px || client.right <= 0 || client.bottom <= 0) return 0;
        int drawn = 0;
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                if ((px[(y + o.y) * (stride / 4) + x + o.x] & 0xFFFFFF) != 0xFFFFFF) ++drawn;
        return static_cast<double>(drawn) / (client.right * client.bottom);
    }

    CNullScriptServices scripting_;
    std::unique_ptr<CMapApp> app_;
};

TEST_F(BrokenConfiguration, EachCaseGivesAUsableProgramAndOneWarning) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        Put("Program/System/Zarnip.znx", c.file);
        win::ClearMessageBoxLog();
        testing::internal::CaptureStderr();
        ASSERT_TRUE(Start());
        const std::string err = testing::internal::GetCapturedStderr();

        CMainFrame* frame = CMainFrame::GetMainFrame();
        ASSERT_NE(frame, nullptr);
        for (UINT bar : {128u, 129u, 130u}) EXPECT_NE(frame->GetCommandBars()->GetBuiltInBar(bar), nullptr) << bar;
        ASSERT_EQ(frame->GetMapDoc()->GetLayers().GetCount(), 1);
        EXPECT_GT(DrawnShare(), 0.3) << "the sample map is drawn";

        std::vector<win::MessageBoxRecord> boxes = win::MessageBoxLog();
        std::vector<std::string> warnings, others;
        for (const win::MessageBoxRecord& box : boxes)
            ((box.type & 0xF0) == MB_ICONWARNING ? warnings : others).push_back(Narrow(box.text));
        if (c.lines.empty()) {
            EXPECT_TRUE(warnings.empty());
        } else {
            ASSERT_EQ(warnings.size(), 1u);
            std::string expected =
                "The configuration file has problems; the program started without the parts named here:";
            for (const std::string& line : c.lines) {
                expected += "\n" + line;
                EXPECT_NE(err.find("zarnip: " + line + "\n"), std::string::npos) << err;
            }
            EXPECT_EQ(warnings[0], expected);
        }
        if (c.keyBox) EXPECT_EQ(others, std::vector<std::string>{c.keyBox});
        else EXPECT_TRUE(others.empty());
        Stop();
    }
}

TEST_F(BrokenConfiguration, TheProgramItselfStartsWithABrokenFile) {
    // The program finds its configuration in the system folder the
    // preferences name.
    ::mkdir(Host("System").c_str(), 0755);
    Put("System/Zarnip.znx", "<Zarnip><CONFIG></Zarnip>");
    Put("Docs/ZarnipPrefs.znx", "<Zarnip><PREFERENCES><PATHS system=\"\\System\"/></PREFERENCES></Zarnip>");
    ::mkdir(Host("config").c_str(), 0700);
    const std::string cmd = "QT_QPA_PLATFORM=offscreen ZARNIP_TEST_BOXES=1 ZARNIP_ROOT='" + root_ +
                            "' ZARNIP_DOCUMENTS='" + Host("Docs") + "' XDG_CONFIG_HOME='" + Host("config") +
                            "' ZARNIP_TEST_SCREENSHOT='" + Host("shot.bmp") + "' '" + ZN_APP +
                            "' --no-splash '" + Host("Docs/Sample.znm") + "' 2>'" + Host("stderr.txt") + "'";
    int status = -1;
    const std::string out = testsupport::RunCommand(cmd, &status);
    int vx = 0, vy = 0, vw = 0, vh = 0;
    const int got = std::sscanf(out.c_str(), "view %d %d %d %d", &vx, &vy, &vw, &vh);
    const std::string err = Get("stderr.txt");
    ASSERT_NE(status, -1) << err;
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(got, 4) << "the program showed its window after the box";
    const std::string line =
        "The configuration file \\System\\Zarnip.znx is not valid XML: XML parsing error. Unmatched tag: "
        "Expecting 'CONFIG' but encountered 'Zarnip' at line 1";
    EXPECT_NE(err.find("zarnip: " + line + "\n"), std::string::npos) << err;
    const std::string box =
        "box: The configuration file has problems; the program started without the parts named here:\n" + line +
        "\n";
    size_t at = err.find(box);
    EXPECT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("box: ", at + 1), std::string::npos) << "one box only: " << err;
}

}  // namespace
