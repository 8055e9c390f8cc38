// GPS on the map end to end: the program's receiver reads logged receivers
// through the serial port from a pseudo-terminal, on the real clock; the
// view moves its cursor, records the tracklog and captures a point, which
// agree with gpsd's own reading of the same log (its .chk reports).
#include <stdlib.h>

#include <cmath>
#include <fstream>
#include <regex>

#include "gps/gps.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "resources/zres.h"
#include "tests/gps/pty_test_util.h"
#include "tests/map/edit_harness.h"

using namespace viewtest;

namespace {

struct LonLat {
    double lon, lat;
};

// The positions of the TPV reports of a log's .chk file, in order.
std::vector<LonLat> GpsdFixes(const std::string& log) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/gps/" + log + ".chk");
    std::vector<LonLat> out;
    const std::regex lat("\"lat\":(-?[0-9.]+)"), lon("\"lon\":(-?[0-9.]+)");
    for (std::string line; std::getline(in, line);) {
        std::smatch a, b;
        if (line.find("\"TPV\"") == std::string::npos || !std::regex_search(line, a, lat) ||
            !std::regex_search(line, b, lon))
            continue;
        out.push_back({std::stod(b[1]), std::stod(a[1])});
    }
    return out;
}

class MapViewGpsPty : public EditHarness {
protected:
    void SetUp() override {
        EditHarness::SetUp();
        setenv("ZARNIP_PORTS", ("COM1=" + pty_.name).c_str(), 1);
        gps_ = std::make_unique<CGps>();
        SetGps(gps_.get());
        GetPreferences()->Data().gps.protocol = u"NMEA";
        GetPreferences()->Data().tracklog.name = u"\\Docs\\Track.shp";
        GetPreferences()->Data().tracklog.qualitycontrol = false;
    }
    void TearDown() override {
        gps_->Close();
        SetGps(nullptr);
        EditHarness::TearDown();
        gps_.reset();
        unsetenv("ZARNIP_PORTS");
    }
    // The edit map (geographic) with the GPS opened by its command, the
    // program's clock and the frame's relay.
    void OpenGps() {
        OpenEditView();
        sys::SetClock(nullptr);
        mainWindow_.relayGpsTo = View();
        PostMessage(View(), WM_COMMAND, ID_GPS_ENABLE, 0);
        PumpUntil([&] { return gps_->IsGpsActive(); }, 2000);
        ASSERT_TRUE(gps_->IsGpsActive());
    }
    bool At(const LonLat& p) {
        const GpsFix f = gps_->GetDatumFix();
        return std::fabs(f.x - p.lon) < 1e-7 && std::fabs(f.y - p.lat) < 1e-7;
    }

    Pty pty_;
    std::unique_ptr<CGps> gps_;
};

TEST_F(MapViewGpsPty, ALoggedReceiverMovesTheCursorFillsTheTracklogAndGivesThePoint) {
    OpenGps();
    const std::vector<LonLat> fixes = GpsdFixes("ublox-lea-4h.log");
    ASSERT_GT(fixes.size(), 3u);
    // Before the log's first fix a point is refused.
    const std::string points = Tool("shpdump d/pts.shp");
    win::ClearMessageBoxLog();
    PostMessage(View(), WM_COMMAND, ID_GPS_ADDPOINT, 0);
    PumpUntil([&] { return !win::MessageBoxLog().empty(); }, 2000);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, LoadMapString(IDP_NO_POSITION_FIX));
    EXPECT_EQ(Tool("shpdump d/pts.shp"), points);

    PostMessage(View(), WM_COMMAND, ID_GPS_TRACKLOG, 0);
    PumpUntil([&] { return doc_.GetLayers().GetTracklog().IsFileOpen(); }, 2000);
    ASSERT_TRUE(doc_.GetLayers().GetTracklog().IsFileOpen());
    pty_.SendInChunks(GpsLogBody("ublox-lea-4h.log"));
    PumpUntil([&] { return At(fixes.back()); }, 20000);
    ASSERT_TRUE(At(fixes.back()));

    // The cursor sits on the last fix.
    int px, py;
    view_->MapToScreen(fixes.back().lon, fixes.back().lat, px, py);
    EXPECT_EQ(view_->GetGpsCursor().Point().x, px);
    EXPECT_EQ(view_->GetGpsCursor().Point().y, py);

    // The captured point, read by another tool.
    points_->SetShowEditForm(false);
    PostMessage(View(), WM_COMMAND, ID_GPS_ADDPOINT, 0);
    const int records = ShpGetRecordCount(points_->GetHandle());
    PumpUntil([&] { return ShpGetRecordCount(points_->GetHandle()) > records; }, 2000);
    const std::string dump = Tool("ogrinfo -ro -al -q d/pts.shp | grep POINT | tail -1");
    double x = NAN, y = NAN;
    ASSERT_EQ(std::sscanf(dump.c_str(), " POINT (%lf %lf", &x, &y), 2) << dump;
    EXPECT_NEAR(x, fixes.back().lon, 1e-7);
    EXPECT_NEAR(y, fixes.back().lat, 1e-7);

    // Every tracklog row is one of gpsd's fixes.
    CTracklogLayer& track = doc_.GetLayers().GetTracklog();
    const int rows = track.GetRecordCount();
    EXPECT_GT(rows, 3);
    for (int i = 0; i < rows; ++i) {
        double lon = 0, lat = 0;
        ASSERT_TRUE(track.ReadPoint(i, &lon, &lat));
        bool known = false;
        for (const LonLat& f : fixes)
            known |= std::fabs(f.lon - lon) < 1e-7 && std::fabs(f.lat - lat) < 1e-7;
        EXPECT_TRUE(known) << i << ": " << lon << " " << lat;
    }
    // Closing while data still flows.
    pty_.SendInChunks(GpsLogBody("ublox-lea-4h.log"));
    PostMessage(View(), WM_COMMAND, ID_GPS_ENABLE, 0);
    PumpUntil([&] { return !gps_->IsGpsActive(); }, 2000);
    EXPECT_FALSE(gps_->IsGpsActive());
    PumpUntil([] { return false; }, 200);
}

TEST_F(MapViewGpsPty, AMultiConstellationReceiverMovesTheCursorAlongItsTrack) {
    OpenGps();
    const std::vector<LonLat> fixes = GpsdFixes("neo-m8n.log");
    ASSERT_GT(fixes.size(), 1u);
    std::vector<POINT> seen;
    const std::string body = GpsLogBody("neo-m8n.log");
    pty_.SendInChunks(body);
    PumpUntil(
        [&] {
            const POINT p = view_->GetGpsCursor().Point();
            if (view_->GetGpsCursor().IsDrawn() &&
                (seen.empty() || seen.back().x != p.x || seen.back().y != p.y))
                seen.push_back(p);
            return At(fixes.back());
        },
        20000);
    ASSERT_TRUE(At(fixes.back()));
    int px, py;
    view_->MapToScreen(fixes.back().lon, fixes.back().lat, px, py);
    EXPECT_EQ(view_->GetGpsCursor().Point().x, px);
    EXPECT_EQ(view_->GetGpsCursor().Point().y, py);
    EXPECT_GT(seen.size(), 1u);
}

}  // namespace
