// A GPS protocol module run by the real receiver: it frames the sentences
// on the reader thread and fills the position record, which then holds what
// gpsd read from the same log.
#include <gtest/gtest.h>

#include <cmath>

#include "gps/gps.h"
#include "gps/gps_feed.h"
#include "shell/extensions/gps_extension.h"
#include "tests/extensions/ext_fixture.h"
#include "tests/gps/nmea_oracle.h"
#include "tests/gps/pty_test_util.h"

namespace {

CGps* g_gps = nullptr;
std::vector<std::pair<double, double>> g_positions;

LRESULT GpsViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GPS_DATA && g_gps) {
        CGpsFeed feed(*g_gps);
        feed.SetListener([](const void*, bool changed) {
            if (changed) g_positions.emplace_back(g_gps->Position().latitude, g_gps->Position().longitude);
        });
        feed.OnGpsData(wParam, lParam);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST_F(ExtensionTest, GpsModuleFillsThePositionRecord) {
    CExtensions& list = Load({"testgps"});
    auto* gps = dynamic_cast<CGpsExtension*>(list.FindGpsExtension(CodeFromText(u"test")));
    ASSERT_NE(gps, nullptr);
    EXPECT_TRUE(gps->HasRxHandler());
    EXPECT_FALSE(gps->HasPoll());
    const uint32_t handle = gps->GPSOpen(-1, main_, 3, GpsLocation{21.0, 52.2, 100, 0}, u"");
    EXPECT_EQ(handle, 0x47505301u);
    GpsPosition position;
    std::memset(&position, 0, sizeof position);
    const char gga[] = "$GPGGA,093802,5213.1439,N,02100.6511,E,2,10,0.9,137.2,M,36.2,M,,*43\r\n";
    EXPECT_EQ(gps->GPSParse(handle, gga, &position), 1);
    EXPECT_NEAR(position.latitude, 52.219065, 1e-9);
    EXPECT_NEAR(position.longitude, 21.010851667, 1e-9);
    EXPECT_TRUE(position.updateBits & ZN_GPS_UPDATE_POSITION);
    EXPECT_EQ(gps->GPSParse(handle, "$GPGSA,A,3*00\r\n", &position), 0);
    gps->GPSClose(handle);
    EXPECT_NE(ModuleLog(gps).find("Open 0 3 21.0 52.2"), std::string::npos);
}

TEST_F(ExtensionTest, ReceiverRunsTheModuleOverASerialLine) {
    CExtensions& list = Load({"testgps"});
    SetGpsExtensions(&list);
    Pty pty;
    setenv("ZARNIP_PORTS", ("COM1=" + pty.name + ";GPS1=" + pty.name).c_str(), 1);
    WNDCLASS wc;
    wc.lpfnWndProc = GpsViewProc;
    wc.lpszClassName = u"ExtGpsView";
    RegisterClass(wc);
    HWND view = CreateWindowEx(0, u"ExtGpsView", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    {
        CGps receiver;
        g_gps = &receiver;
        g_positions.clear();
        ASSERT_TRUE(receiver.Open(u"test", view, 0, GpsLocation{}, u""));
        EXPECT_EQ(receiver.CurrentExtension(), list.FindGpsExtension(CodeFromText(u"test")));
        const std::string log = GpsLogBody("garmin17n.log");
        std::thread writer([&] { pty.SendInChunks(log); });
        PumpUntil([&] { return g_positions.size() >= 2; }, 20000);
        writer.join();
        receiver.Close();
        g_gps = nullptr;
    }
    // Every position equals one of gpsd's, to the precision of the sentences
    // (1e-4 minutes).
    std::vector<nmea_oracle::Tpv> tpvs;
    std::vector<nmea_oracle::Sky> skies;
    nmea_oracle::ReadChk("garmin17n.log", &tpvs, &skies);
    ASSERT_EQ(g_positions.size(), 2u);
    for (const auto& [lat, lon] : g_positions) {
        bool found = false;
        for (const nmea_oracle::Tpv& t : tpvs) {
            double tlat, tlon;
            if (nmea_oracle::Number(t.json, "lat", &tlat) && nmea_oracle::Number(t.json, "lon", &tlon) &&
                std::fabs(tlat - lat) < 1e-4 / 60 && std::fabs(tlon - lon) < 1e-4 / 60)
                found = true;
        }
        EXPECT_TRUE(found) << lat << " " << lon;
    }
    EXPECT_EQ(LinesStartingWith(ModuleLog(list.GetAt(0)), "testgps Close").size(), 1u);
    SetGpsExtensions(nullptr);
    unsetenv("ZARNIP_PORTS");
    DestroyWindow(view);
}

}  // namespace
