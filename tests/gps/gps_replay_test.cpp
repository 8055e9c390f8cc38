// Receiver logs written byte for byte to a pseudo-terminal in chunks of
// pseudo-random size, received by the serial port's reader thread and
// handed to the protocol parsers, against gpsd's reading of the same logs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gps/eart_parser.h"
#include "gps/serial_port.h"
#include "tests/gps/pty_test_util.h"
#include "gps/tsip_parser.h"
#include "platform/win/window.h"
#include "tests/gps/nmea_oracle.h"

namespace {

std::vector<std::string>* g_units = nullptr;
CSerialPort* g_port = nullptr;

LRESULT UnitProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GPS_DATA && g_port && g_units) {
        GpsAcknowledgeGuard guard(g_port, wParam, lParam);
        if (!guard.Notification()) return 0;
        int length = 0;
        if (const uint8_t* data = g_port->AcceptedData(&length))
            g_units->emplace_back(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

class GpsReplay : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        WNDCLASS wc;
        wc.lpfnWndProc = UnitProc;
        wc.lpszClassName = u"GpsReplay";
        ASSERT_TRUE(RegisterClass(wc));
        window_ = CreateWindowEx(0, u"GpsReplay", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        setenv("ZARNIP_PORTS", ("COM1=" + pty_.name).c_str(), 1);
        g_port = &port_;
        g_units = &units_;
    }
    void TearDown() override {
        port_.Close();
        g_port = nullptr;
        g_units = nullptr;
        unsetenv("ZARNIP_PORTS");
        win::ResetForTests();
    }
    // Writes the bytes in chunks of 1 to 97 bytes (fixed seed) and pumps the
    // window until `done` or the limit.
    void Replay(const std::string& bytes, const std::function<bool()>& done) {
        std::thread writer([&] { pty_.SendInChunks(bytes); });
        PumpUntil(done, 30000);
        writer.join();
    }
    Pty pty_;
    CSerialPort port_;
    std::vector<std::string> units_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(GpsReplay, NmeaLogsThroughTheLine) {
    for (const char* name : {"ublox-lea-4h.log", "garmin17n.log", "GPSmap-76S.log", "neo-m8n.log",
                             "nmea-fuzzy-cases.log", "rst39.log"}) {
        SCOPED_TRACE(name);
        units_.clear();
        ASSERT_TRUE(port_.Open(nullptr));
        ASSERT_TRUE(port_.StartReader(window_, false));
        const std::string body = GpsLogBody(name);
        std::vector<std::string> expected;  // the log's lines, each with its CR
        for (size_t at = 0; at < body.size();) {
            const size_t end = body.find('\n', at);
            expected.push_back(body.substr(at, end - at));
            at = end == std::string::npos ? body.size() : end + 1;
        }
        Replay(body, [&] { return units_.size() >= expected.size(); });
        port_.Close();
        EXPECT_EQ(units_, expected);
        nmea_oracle::ExpectAgreesWithGpsd(name, units_);
    }
}

TEST_F(GpsReplay, TsipAndBinaryWordPackets) {
    struct Case {
        const char* name;
        CSerialAssembler::Framer framer;
        size_t packets;  // as gpsd's lexer counts them
    } cases[] = {
        {"trimble-lasseniq-bin2d.log", CTsipParser::FramePacket, 198},
        {"trimble-lassen_iq.log", CTsipParser::FramePacket, 168},
        {"trimble-smt-360.log", CTsipParser::FramePacket, 118},
        {"zodiac.log", CEartParser::FramePacket, 63},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        units_.clear();
        port_.SetFramer(c.framer);
        ASSERT_TRUE(port_.Open(nullptr));
        ASSERT_TRUE(port_.StartReader(window_, false));
        Replay(GpsLogBody(c.name), [&] { return units_.size() >= c.packets; });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
        port_.Close();
        EXPECT_EQ(units_.size(), c.packets);
    }
    // Positions of the TSIP log through the line equal gpsd's.
    units_.clear();
    port_.SetFramer(CTsipParser::FramePacket);
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, false));
    Replay(GpsLogBody("trimble-lasseniq-bin2d.log"), [&] { return units_.size() >= 198; });
    port_.Close();
    std::vector<std::array<double, 3>> tpvs;
    std::ifstream chk(std::string(ZN_TEST_DATA) + "/gps/trimble-lasseniq-bin2d.log.chk");
    for (std::string line; std::getline(chk, line);) {
        double lat, lon, alt;
        if (line.find("\"TPV\"") != std::string::npos && nmea_oracle::Number(line, "lat", &lat) &&
            nmea_oracle::Number(line, "lon", &lon) && nmea_oracle::Number(line, "altHAE", &alt))
            tpvs.push_back({lat, lon, alt});
    }
    CTsipParser parser;
    GpsPosition p;
    ResetGpsPosition(&p);
    int positions = 0;
    for (const std::string& u : units_) {
        const auto* packet = reinterpret_cast<const uint8_t*>(u.data());
        p.updateBits = 0;
        parser.Decode(packet, static_cast<int>(u.size()), &p);
        if (!(p.updateBits & ZN_GPS_UPDATE_POSITION)) continue;
        ++positions;
        bool found = false;
        for (const auto& t : tpvs)
            found = found || (std::fabs(t[0] - p.latitude) <= 1e-8 && std::fabs(t[1] - p.longitude) <= 1e-8 &&
                              std::fabs(t[2] - p.height) <= 1e-3);
        EXPECT_TRUE(found) << p.latitude << " " << p.longitude;
    }
    EXPECT_GT(positions, 10);
}
