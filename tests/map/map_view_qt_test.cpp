// The program on Qt's offscreen display: the sample map in the view, as the
// display presents it, equals the headless window surface of the same state
// pixel for pixel. The picture is kept as a test artefact for review.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/window_helpers.h"
#include "map/layers/layer_factory.h"
#include "map/layers/shape_layer.h"
#include "map/symbology/font_attributes.h"
#include "tests/map/view_harness.h"
#include "tests/support/bmp_reader.h"
#include "tests/support/run_command.h"

namespace {

using viewtest::ViewHarness;

class MapViewQt : public ViewHarness {
protected:
    void TearDown() override {
        ViewHarness::TearDown();
        SetDpi(96);
    }
    static void SetDpi(int dpi) {
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, dpi, dpi});
        ResetFontMetricsForTests();
        ResetScreenDpiForTests();
    }
};

// At display scale 1 and 2 (192 dpi): the program's picture, kept as
// map_view_sample.png and map_view_sample_x2.png.
TEST_F(MapViewQt, ScreenshotEqualsTheHeadlessSurface) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        const std::string base =
            std::string(ZN_ARTEFACT_DIR) + "/map_view_sample" + (scale == 1 ? "" : "_x2");
        const std::string shot = base + ".bmp", png = base + ".png";
        const std::string sample = std::string(ZN_SOURCE_DIR) + "/data/Samples/Sample.znm";
        // The program's lock, socket and profile stay in the test's folder.
        const std::string run =
            "XDG_RUNTIME_DIR='" + root_ + "' XDG_CONFIG_HOME='" + root_ +
            "' QT_QPA_PLATFORM=offscreen ZARNIP_SCALE=" + std::to_string(scale) +
            " ZARNIP_ROOT=/ ZARNIP_TEST_SCREENSHOT=";
        std::string cmd = "cd '" + root_ + "' && " + run + "'" + shot + "' '" + ZN_APP + "' '" +
                          sample + "' 2>/dev/null && " + run + "'" + png + "' '" + ZN_APP + "' '" +
                          sample + "' > /dev/null 2>&1";
        int status = -1;
        const std::string out = testsupport::RunCommand(cmd, &status);
        int vx = 0, vy = 0, vw = 0, vh = 0;
        int got = std::sscanf(out.c_str(), "view %d %d %d %d", &vx, &vy, &vw, &vh);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(got, 4);
        testbmp::Picture shotPicture;
        ASSERT_TRUE(testbmp::ReadBmp(shot, shotPicture));
        const int w = shotPicture.w, h = shotPicture.h;
        const std::vector<COLORREF>& picture = shotPicture.px;

        // The same map in a headless view of the same size, at the same dpi.
        SetDpi(96 * scale);
        UseBuiltInLayerClass(LayerKind::Shape);
        const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
        ASSERT_TRUE(ShellIn("Samples", "cp '" + samples + "'/* ."));
        ASSERT_TRUE(doc_.OnOpenDocument(u"\\Samples\\Sample.znm"));
        if (view_) {
            doc_.RemoveView(view_.get());
            view_.reset();
            DestroyWindow(frame_);
        }
        CreateView(vw, vh);
        std::vector<COLORREF> headless = Client();
        ASSERT_LE(vx + vw, w);
        ASSERT_LE(vy + vh, h);
        int differ = 0;
        for (int y = 0; y < vh; ++y)
            for (int x = 0; x < vw; ++x)
                differ += picture[static_cast<size_t>((vy + y) * w + vx + x)] !=
                          headless[static_cast<size_t>(y * vw + x)];
        EXPECT_EQ(differ, 0);
    }
}

}  // namespace
