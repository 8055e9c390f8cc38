// A MrSID file of our own encoder on the map: the layer opens it with its
// world file, draws it at three scales, and the image's corners land where
// the world file puts them.
#include <cstdlib>
#include <string>

#include "formats/sid/sid_encode.h"
#include "map/layers/sid_layer.h"
#include "tests/map/view_harness.h"

namespace {

// 600 x 400 pixels in four flat quadrants; pixel size 1, the outer corner of
// the upper-left pixel at (1000, 3000): the image covers x 1000..1600 and
// y 2600..3000.
constexpr int kW = 600, kH = 400;
const uint8_t kQuadrant[4][3] = {{220, 30, 30}, {30, 200, 40}, {40, 50, 210}, {230, 220, 40}};

class SidEncodedLayerTest : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        std::string px(size_t(kW) * kH * 3, '\0');
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                for (int b = 0; b < 3; ++b)
                    px[(size_t(y) * kW + x) * 3 + b] = char(kQuadrant[(y >= kH / 2) * 2 + (x >= kW / 2)][b]);
        Put("d/photo.sdw", "1\n0\n0\n-1\n1000\n3000\n");
        ASSERT_EQ(SidEncodeFile("\\d\\photo.sid", reinterpret_cast<const uint8_t*>(px.data()), kW, kH, 3, kW * 3,
                                SidEncodeSettings{}),
                  kSidOk);
        UseBuiltInLayerClass(LayerKind::Sid);
    }

    static bool Near(COLORREF c, const uint8_t* rgb, int tolerance) {
        return std::abs(int(GetRValue(c)) - rgb[0]) <= tolerance && std::abs(int(GetGValue(c)) - rgb[1]) <= tolerance &&
               std::abs(int(GetBValue(c)) - rgb[2]) <= tolerance;
    }
    COLORREF At(double x, double y) {
        int px, py;
        view_->MapToScreen(x, y, px, py);
        EXPECT_TRUE(px >= 0 && py >= 0 && px < view_->GetClientWidth() && py < view_->GetClientHeight()) << px << "," << py;
        return Pixel(px, py);
    }
};

TEST_F(SidEncodedLayerTest, CornersLandWhereTheWorldFilePutsThem) {
    UseExtent(CDoubleRect(900, 2500, 1700, 3100));
    OpenView();
    CLayer* layer = nullptr;
    ASSERT_TRUE(doc_.AddLayerFromPath(u"\\d\\photo.sid", &layer));
    auto* sid = dynamic_cast<CSidLayer*>(layer);
    ASSERT_NE(sid, nullptr);
    EXPECT_EQ(sid->Extent(), CDoubleRect(1000, 2600, 1600, 3000));

    // 1:1 with the view's pixels on whole map units: device (x - 900,
    // 3100 - y). The upper-left image pixel is device pixel (100, 100).
    view_->ZoomToExtent(CDoubleRect(900, 2800, 1140, 3100), false, 1.0);
    Pump();
    Repaint();
    ASSERT_EQ(view_->GetExtent(), CDoubleRect(900, 2800, 1140, 3100));
    EXPECT_EQ(sid->GetCurrentLevel(), 0);
    EXPECT_TRUE(Near(Pixel(100, 100), kQuadrant[0], 12)) << std::hex << Pixel(100, 100);
    EXPECT_TRUE(Near(Pixel(139, 100), kQuadrant[0], 12));
    for (POINT out : {POINT{99, 99}, POINT{99, 100}, POINT{100, 99}, POINT{139, 99}, POINT{99, 160}})
        EXPECT_FALSE(Near(Pixel(out.x, out.y), kQuadrant[0], 60)) << out.x << "," << out.y;

    const struct {
        const char* what;
        CDoubleRect view;  // map units
        int level;         // the level the layer decodes
    } scales[] = {
        {"2:1 at the lower-right corner", CDoubleRect(1360, 2300, 1840, 2900), 0},
        {"the whole image", CDoubleRect(950, 2300, 1650, 3300), 1},
    };
    for (const auto& s : scales) {
        SCOPED_TRACE(s.what);
        view_->ZoomToExtent(s.view, false, 1.0);
        Pump();
        Repaint();
        EXPECT_EQ(sid->GetCurrentLevel(), s.level);
        const CDoubleRect e = view_->GetExtent();
        const double unit = (e.xmax - e.xmin) / view_->GetClientWidth();  // map units per device pixel
        // Each visible corner: the device pixels 1.5 pixels inside show the
        // quadrant's colour, those 1.5 pixels outside do not.
        const struct {
            double x, y;
            int sx, sy;  // towards the inside
            int quadrant;
        } corners[] = {{1000, 3000, 1, -1, 0}, {1600, 3000, -1, -1, 1}, {1000, 2600, 1, 1, 2}, {1600, 2600, -1, 1, 3}};
        int seen = 0;
        for (const auto& c : corners) {
            const double inX = c.x + c.sx * 1.5 * unit, inY = c.y + c.sy * 1.5 * unit;
            const double outX = c.x - c.sx * 1.5 * unit, outY = c.y - c.sy * 1.5 * unit;
            if (outX < e.xmin || outX > e.xmax || outY < e.ymin || outY > e.ymax) continue;
            ++seen;
            SCOPED_TRACE(c.quadrant);
            EXPECT_TRUE(Near(At(inX, inY), kQuadrant[c.quadrant], 12)) << std::hex << At(inX, inY);
            EXPECT_FALSE(Near(At(outX, inY), kQuadrant[c.quadrant], 60)) << std::hex << At(outX, inY);
            EXPECT_FALSE(Near(At(inX, outY), kQuadrant[c.quadrant], 60)) << std::hex << At(inX, outY);
        }
        EXPECT_GE(seen, 1);
    }
}

}  // namespace
