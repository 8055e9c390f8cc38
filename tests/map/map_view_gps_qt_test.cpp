// The GPS cursor with its accuracy circle and a destination label on Qt's
// offscreen display: what the desktop shows is the view's surface, pixel
// for pixel. The picture is kept beside the test log for review.
#include <QGuiApplication>
#include <QImage>

#include <cstring>

#include "map/services/gps.h"
#include "tests/map/offscreen_display.h"
#include "tests/map/view_harness.h"

namespace {

const auto* g_env = ::testing::AddGlobalTestEnvironment(new viewtest::OffscreenDisplay);
znqt::Display* Desktop() { return viewtest::OffscreenDisplay::Current(); }

// An open receiver at one fix on WGS 1984, with its errors.
class CFixedGps : public CInactiveGps {
public:
    CFixedGps() {
        Position().epe = 40;
        Position().fixQuality = 1;
    }
    bool IsGpsActive() override { return open; }
    bool Open(const WChar*, HWND, int, const GpsLocation&, const WChar*) override {
        return open = true;
    }
    void Close() override { open = false; }
    bool open = false;
    GpsFix GetProjectedFix() override { return fix; }
    GpsFix GetDatumFix() override { return fix; }
    GpsFix GetWgs84Fix() override { return fix; }
    GpsFix fix{NAN, NAN, 0, 0};
};

class MapViewGpsQt : public viewtest::ViewHarness {};

TEST_F(MapViewGpsQt, CursorCircleAndDestinationAsTheDesktopShowsThem) {
    ASSERT_NE(Desktop(), nullptr);
    CFixedGps gps;
    SetGps(&gps);
    AddLayer(new viewtest::CFillLayer(0x3C8C3C, {CDoubleRect(-122.73, 49.12, -122.70, 49.14)}));
    AddLayer(new viewtest::CFillLayer(0xC8DCF0, {CDoubleRect(-122.74, 49.11, -122.69, 49.15)}));
    UseExtent(CDoubleRect(-122.74, 49.11, -122.69, 49.15));
    OpenView();
    SetActiveWindow(frame_);
    view_->SetGoToDestination(-122.705, 49.137, nullptr);
    Repaint();
    PostMessage(View(), WM_COMMAND, ID_GPS_ENABLE, 0);
    Pump();
    view_->GetGpsCursor().SetQualityRadius(-1);
    // A fix moving north-east.
    GpsPosition fix;
    std::memset(&fix, 0, sizeof fix);
    fix.updateBits = 1;
    fix.longitude = -122.7199;
    fix.latitude = 49.1309;
    fix.fixQuality = 1;
    fix.sog = 3;
    fix.cog = 40;
    fix.epe = 400;
    gps.Position().epe = 400;
    gps.fix = GpsFix{fix.longitude, fix.latitude, 0, 0};
    SendMessage(View(), WM_GPS_POSITION, reinterpret_cast<WPARAM>(&fix), 0);
    Pump();
    ASSERT_TRUE(view_->GetGpsCursor().IsDrawn());
    EXPECT_EQ(view_->GetGpsCursor().Image(), 1);
    EXPECT_GT(view_->GetGpsCursor().AccuracyCircle().right - view_->GetGpsCursor().Point().x, 5);
    Desktop()->PresentNow();
    const QImage shown = Desktop()->Snapshot(frame_);
    ASSERT_FALSE(shown.isNull());
    shown.save("map_view_gps_qt.png");
    const std::vector<COLORREF> surface = Client();
    const int w = view_->GetClientWidth(), h = view_->GetClientHeight();
    int differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = surface[static_cast<size_t>(y * w + x)];
            differ += (shown.pixel(x, y) & 0xFFFFFF) !=
                      (QColor(GetRValue(c), GetGValue(c), GetBValue(c)).rgb() & 0xFFFFFF);
        }
    EXPECT_EQ(differ, 0);
    gps.Position().epe = 0;
    view_->HideGpsCursor();
    SetGps(nullptr);
}

}  // namespace
