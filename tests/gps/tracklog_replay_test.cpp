// End to end through a real serial line: a receiver's log replayed into a
// pseudo-terminal, read by the receiver through its port, each position
// appended to the tracklog and shown in the position window as the map view
// does it; the tracklog read back by dbfdump and shpdump against gpsd's
// reading of the same log.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>

#include "crs/coord_sys.h"
#include "crs/coord_text.h"
#include "crs/wkt.h"
#include "gps/gps.h"
#include "gps/gps_feed.h"
#include "gps/position_window.h"
#include "map/layers/tracklog_layer.h"
#include "map/services/preferences.h"
#include "tests/formats/shape_test_util.h"
#include "tests/gps/pty_test_util.h"
#include "tests/map/map_doubles.h"

namespace {

class TracklogReplay;
TracklogReplay* g_test = nullptr;
LRESULT ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

struct Tpv {
    double lat, lon;
};

// gpsd's fixes by their UTC time "HHMMSS".
std::map<std::string, Tpv> ReadFixes(const std::string& path) {
    std::map<std::string, Tpv> out;
    std::ifstream in(path);
    auto number = [](const std::string& line, const std::string& key) {
        const size_t at = line.find("\"" + key + "\":");
        return at == std::string::npos ? NAN : std::stod(line.substr(at + key.size() + 3));
    };
    for (std::string line; std::getline(in, line);) {
        if (line.find("\"class\":\"TPV\"") == std::string::npos || line.find("\"lat\"") == std::string::npos)
            continue;
        const size_t t = line.find("T", line.find("\"time\":\"") + 8);
        const std::string hhmmss = line.substr(t + 1, 2) + line.substr(t + 4, 2) + line.substr(t + 7, 2);
        out[hhmmss] = Tpv{number(line, "lat"), number(line, "lon")};
    }
    return out;
}

class TracklogReplay : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        WNDCLASS wc;
        wc.lpfnWndProc = ViewProc;
        wc.lpszClassName = u"TrackView";
        ASSERT_TRUE(RegisterClass(wc));
        view_ = CreateWindowEx(0, u"TrackView", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
        setenv("ZARNIP_PORTS", ("COM1=" + pty_.name).c_str(), 1);
        GetPreferences()->Data().tracklog.name = u"\\track\\TrackLog.shp";
        GetPreferences()->Data().tracklog.interval = 0;
        GetPreferences()->Data().tracklog.qualitycontrol = false;
        std::filesystem::create_directories(Host("track"));
        cs_.reset(MakeCoordSys(kDefaultCoordSysWkt));
        gps_ = std::make_unique<CGps>();
        g_test = this;
    }
    void TearDown() override {
        window_.Close();
        gps_->Close();
        tracklog_.CloseFile();
        g_test = nullptr;
        gps_.reset();
        unsetenv("ZARNIP_PORTS");
        MapTest::TearDown();
    }

public:
    // What the view does with each unit that moved the receiver.
    void OnGpsData(WPARAM wParam, LPARAM lParam) {
        CGpsFeed feed(*gps_);
        feed.SetListener([this](const void*, bool changed) {
            ++units_;
            GpsPosition& p = gps_->Position();
            if (changed && (p.updateBits & position_bits::kPosition) && gps_->UpdatePosition(cs_.get(), &p)) {
                tracklog_.AppendPosition(cs_.get(), gps_->GetWgs84Fix(), gps_->GetDatumFix(),
                                         gps_->GetProjectedFix(), p);
                ++positions_;
            }
            window_.UpdateStatus(cs_.get(), gps_.get(), nullptr);
            p.updateBits = 0;
        });
        feed.OnGpsData(wParam, lParam);
    }

protected:
    Pty pty_;
    HWND view_ = nullptr;
    std::unique_ptr<CCoordSys> cs_;
    std::unique_ptr<CGps> gps_;
    CTracklogLayer tracklog_;
    CGpsPositionWindow window_;
    int units_ = 0, positions_ = 0;
};

LRESULT ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GPS_DATA && g_test) {
        g_test->OnGpsData(wParam, lParam);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST_F(TracklogReplay, UbloxLogIntoTheTracklogAndThePositionWindow) {
    const std::string log = ZN_SOURCE_DIR "/tests/data/gps/ublox-lea-4h.log";
    std::ifstream in(log, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::map<std::string, Tpv> fixes = ReadFixes(log + ".chk");
    ASSERT_GE(fixes.size(), 5u);
    size_t sentences = 0;
    for (char c : bytes) sentences += c == '\n';

    ASSERT_TRUE(window_.Show(nullptr));
    ASSERT_TRUE(gps_->Open(u"NMEA", view_, 0, GpsLocation{}, u""));
    std::thread writer([&] { pty_.SendInChunks(bytes); });
    PumpUntil([&] { return units_ >= static_cast<int>(sentences); }, 20000);
    writer.join();
    PumpUntil([] { return false; }, 200);
    gps_->Close();
    ASSERT_GT(positions_, 0);
    ASSERT_TRUE(window_.IsOpen());
    const PositionTexts shown = window_.Dialog()->Texts();
    const GpsFix last = gps_->GetDatumFix();
    tracklog_.CloseFile();

    // Every row of a second gpsd has a fix for is that fix, in the table and
    // in the shapes.
    const std::string dbf = RunTool("dbfdump -r -m '" + Host("track/TrackLog.dbf") + "' 2>&1");
    const std::vector<DumpShape> shapes = ParseShpdump(Shpdump(Host("track/TrackLog.shp")));
    ASSERT_FALSE(shapes.empty());
    auto field = [](const std::string& row, const std::string& name) {
        const size_t b = row.find("\n" + name + ":");
        if (b == std::string::npos) return std::string();
        const size_t v = b + name.size() + 2;
        std::string value = row.substr(v, row.find('\n', v) - v);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        while (!value.empty() && value.back() == ' ') value.pop_back();
        return value;
    };
    int compared = 0;
    for (size_t i = 0; i < shapes.size(); ++i) {
        const std::string head = "Record: " + std::to_string(i);
        const size_t b = dbf.find(head);
        ASSERT_NE(b, std::string::npos) << i;
        const size_t e = dbf.find("Record: ", b + head.size());
        const std::string row = dbf.substr(b + head.size(), e == std::string::npos ? std::string::npos : e - b - head.size());
        const auto fix = fixes.find(field(row, "UTCTIME"));
        if (fix == fixes.end()) continue;
        SCOPED_TRACE(fix->first);
        EXPECT_NEAR(std::stod(field(row, "LATITUDE")), fix->second.lat, 1e-9);
        EXPECT_NEAR(std::stod(field(row, "LONGITUDE")), fix->second.lon, 1e-9);
        ASSERT_GE(shapes[i].vertices.size(), 1u);
        EXPECT_NEAR(shapes[i].vertices[0][0], fix->second.lon, 1e-9);
        EXPECT_NEAR(shapes[i].vertices[0][1], fix->second.lat, 1e-9);
        ++compared;
    }
    EXPECT_GE(compared, 5);

    // The window shows the last fix as the formatter makes it.
    EXPECT_EQ(shown.line1, FormatDms(last.y, true));
    EXPECT_EQ(shown.line2, FormatDms(last.x, false));
    EXPECT_EQ(shown.mode, u"3D");
}

}  // namespace
