// TSIP framing, decoding and the earth-centred conversion, against
// geographiclib's CartConvert and gpsd's lexer and reports.
#include "gps/tsip_parser.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gps/gps_position.h"
#include "gps/serial_assembly.h"
#include "tests/support/run_command.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Feeds bytes in chunks through the port's assembler with the TSIP framer.
std::vector<Bytes> Frame(const Bytes& bytes, const std::vector<int>& chunks) {
    CSerialAssembler a;
    a.SetFramer(CTsipParser::FramePacket);
    std::vector<Bytes> packets;
    size_t at = 0, k = 0;
    while (at < bytes.size()) {
        const size_t n = std::min<size_t>(static_cast<size_t>(chunks[k++ % chunks.size()]), bytes.size() - at);
        a.Feed(bytes.data() + at, static_cast<int>(n), [&](const uint8_t* data, int length) {
            packets.emplace_back(data + 1, data + length);  // id and data
        });
        at += n;
    }
    return packets;
}

Bytes Be(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return {uint8_t(b >> 24), uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b)};
}
Bytes Be(double v) {
    uint64_t b;
    std::memcpy(&b, &v, 8);
    Bytes out;
    for (int s = 56; s >= 0; s -= 8) out.push_back(uint8_t(b >> s));
    return out;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Shell(const std::string& command) {
    return testsupport::RunCommand(command);
}

Bytes LogBody(const std::string& name) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/gps/" + name, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    while (!data.empty() && data[0] == '#') data.erase(0, data.find('\n') + 1);
    return Bytes(data.begin(), data.end());
}

}  // namespace

TEST(TsipFramer, Cases) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<Bytes> packets;
    } cases[] = {
        {"plain", {0x10, 0x82, 0x02, 0x10, 0x03}, {{0x82, 0x02}}},
        {"10 10 03 inside data", {0x10, 0x5C, 0x10, 0x10, 0x03, 0x07, 0x10, 0x03}, {{0x5C, 0x10, 0x03, 0x07}}},
        {"DLE and another byte start a new packet", {0x10, 0x41, 0x01, 0x10, 0x46, 0x00, 0x00, 0x10, 0x03},
         {{0x46, 0x00, 0x00}}},
        {"garbage before, DLE DLE and DLE ETX resync", {0x55, 0x03, 0x10, 0x03, 0x10, 0x10, 0x82, 0x01, 0x10, 0x03},
         {{0x82, 0x01}}},
        {"DLE 00 is no start", {0x10, 0x00, 0x82, 0x10, 0x03}, {}},
    };
    for (const Case& c : cases)
        for (int chunk : {1, 2, 3, 64}) {
            SCOPED_TRACE(testing::Message() << c.name << ", chunks of " << chunk);
            EXPECT_EQ(Frame(c.bytes, {chunk}), c.packets);
        }

    // 256 data bytes pass; the 257th drops the packet and the framer idles
    // until the next start.
    Bytes full{0x10, 0x8F};
    full.insert(full.end(), 256, 0x20);
    full.insert(full.end(), {0x10, 0x03});
    ASSERT_EQ(Frame(full, {100}).size(), 1u);
    EXPECT_EQ(Frame(full, {100})[0].size(), 257u);
    Bytes over{0x10, 0x8F};
    over.insert(over.end(), 257, 0x20);
    over.insert(over.end(), {0x10, 0x03, 0x10, 0x82, 0x01, 0x10, 0x03});
    EXPECT_EQ(Frame(over, {7}), (std::vector<Bytes>{{0x82, 0x01}}));
}

TEST(TsipFramer, WritePacketRoundTrip) {
    std::mt19937 random(30);
    for (int round = 0; round < 50; ++round) {
        TsipPacket p{static_cast<uint8_t>(0x20 + round), {}};
        const int n = static_cast<int>(random() % 257);
        for (int i = 0; i < n; ++i) p.data.push_back(random() % 3 == 0 ? 0x10 : static_cast<uint8_t>(random() % 4 + 1));
        const Bytes wire = CTsipParser::WritePacket(p);
        const std::vector<Bytes> back = Frame(wire, {static_cast<int>(random() % 9 + 1)});
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0][0], p.id);
        EXPECT_EQ(Bytes(back[0].begin() + 1, back[0].end()), p.data);
    }
    EXPECT_EQ(CTsipParser::WritePacket(TsipPollRequest(0)), (Bytes{0x10, 0x35, 0x1E, 0x02, 0x01, 0x02, 0x10, 0x03}));
    EXPECT_EQ(CTsipParser::WritePacket(TsipPollRequest(8)), (Bytes{0x10, 0x3C, 0x00, 0x10, 0x03}));
    for (int step : {1, 2, 4}) EXPECT_TRUE(TsipPollRequest(step).data.empty());
    EXPECT_EQ(TsipProtocolConfiguration(1, 1, 7, 2, 2).data, Bytes{1});
    EXPECT_EQ(TsipProtocolConfiguration(1, 7, 7, 2, 4).data, (Bytes{1, 7, 7, 3, 0, 0, 0, 2, 4, 0}));
    EXPECT_EQ(TsipInitialPosition(0x32, 90.0, 0.0, 10.0).data, Cat({Be(float(M_PI / 2)), Be(0.0f), Be(10.0f)}));
}

TEST(TsipDecoder, Packets) {
    const Bytes zeroEcef = Cat({Be(0.0), Be(0.0), Be(0.0), Be(0.0), Be(0.0f)});
    const Bytes nearCentre = Cat({Be(500000.0), Be(0.0), Be(0.0), Be(0.0), Be(0.0f)});
    const Bytes nanEcef = Cat({Be(NAN), Be(6378137.0), Be(0.0), Be(0.0), Be(0.0f)});
    const Bytes equator = Cat({Be(6378137.0 + 100), Be(0.0), Be(0.0), Be(0.0), Be(0.0f)});
    const Bytes sat5c = Cat({{7, 0, 0, 0}, Be(8.0f), Be(0.0f), Be(float(M_PI / 4)), Be(float(-0.5)), {0, 0, 0, 0}});
    struct Case {
        const char* name;
        uint8_t id;
        Bytes data;
        bool result;
        uint32_t bits;
        std::function<void(const GpsPosition&)> check;
    } cases[] = {
        {"0x83 at the equator", 0x83, equator, true, 0x1,
         [](const GpsPosition& p) {
             EXPECT_NEAR(p.latitude, 0.0, 1e-12);
             EXPECT_NEAR(p.longitude, 0.0, 1e-12);
             EXPECT_NEAR(p.height, 100.0, 1e-6);
         }},
        {"0x83 all zero is no fix", 0x83, zeroEcef, false, 0,
         [](const GpsPosition& p) { EXPECT_TRUE(std::isnan(p.latitude)); }},
        {"0x83 near the centre", 0x83, nearCentre, false, 0,
         [](const GpsPosition& p) { EXPECT_TRUE(std::isnan(p.latitude)); }},
        {"0x83 not finite", 0x83, nanEcef, false, 0,
         [](const GpsPosition& p) { EXPECT_TRUE(std::isnan(p.longitude)); }},
        {"0x83 short", 0x83, Bytes(equator.begin(), equator.end() - 1), false, 0,
         [](const GpsPosition&) {}},
        {"0x42 singles", 0x42, Cat({Be(6378237.0f), Be(0.0f), Be(0.0f), Be(0.0f)}), true, 0x1,
         [](const GpsPosition& p) {
             EXPECT_NEAR(p.height, 100.0, 1e-3);
             EXPECT_EQ(p.modeBits & 1, 1u);
         }},
        {"0x84", 0x84, Cat({Be(M_PI / 4), Be(-M_PI / 2), Be(12.5), Be(0.0), Be(0.0f)}), true, 0x1,
         [](const GpsPosition& p) {
             EXPECT_NEAR(p.latitude, 45.0, 1e-12);
             EXPECT_NEAR(p.longitude, -90.0, 1e-12);
             EXPECT_EQ(p.height, 12.5);
         }},
        {"0x84 not finite", 0x84, Cat({Be(NAN), Be(0.0), Be(12.5), Be(0.0), Be(0.0f)}), false, 0,
         [](const GpsPosition& p) { EXPECT_TRUE(std::isnan(p.height)); }},
        {"0x4A", 0x4A,
         Cat({Be(float(M_PI / 6)), Be(float(M_PI / 3)), Be(5.0f), Be(0.0f), Be(0.0f)}), true, 0x1,
         [](const GpsPosition& p) {
             EXPECT_NEAR(p.latitude, 30.0, 1e-5);
             EXPECT_NEAR(p.longitude, 60.0, 1e-5);
         }},
        {"0x56 south", 0x56, Cat({Be(0.0f), Be(-1.0f), Be(0.0f), Be(0.0f), Be(0.0f)}), true, 0x880,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.cog, 180.0);
             EXPECT_NEAR(p.sog, 3.6, 1e-12);
             EXPECT_EQ(p.velocityNorth, -1.0);
         }},
        {"0x56 west", 0x56, Cat({Be(-1.0f), Be(0.0f), Be(0.0f), Be(0.0f), Be(0.0f)}), true, 0x880,
         [](const GpsPosition& p) { EXPECT_EQ(p.cog, 270.0); }},
        {"0x5C", 0x5C, sat5c, true, 0x10,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.satellites[6].flags, ZN_GPS_SAT_IN_VIEW | ZN_GPS_SAT_SIGNAL);
             EXPECT_EQ(p.satellites[6].snr, std::trunc(20 * std::log(8.0) + 27));
             EXPECT_EQ(p.satellites[6].elevation, 45);
             EXPECT_EQ(p.satellites[6].azimuth, 331);  // -28.6 degrees
         }},
        {"0x5C PRN 0", 0x5C, Cat({{0, 0, 0, 0}, Bytes(sat5c.begin() + 4, sat5c.end())}), false, 0,
         [](const GpsPosition& p) { EXPECT_EQ(p.satellites[0].flags, 0); }},
        {"0x5C PRN 40", 0x5C, Cat({{40, 0, 0, 0}, Bytes(sat5c.begin() + 4, sat5c.end())}), false, 0,
         [](const GpsPosition&) {}},
        {"0x47 levels 0 and -1", 0x47, Cat({{3, 1}, Be(0.0f), {2}, Be(-1.0f), {3}, Be(20.0f)}),
         true, 0x10,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.satellitesInView, 3);
             EXPECT_EQ(p.satellites[0].snr, 0.0);
             EXPECT_EQ(p.satellites[0].flags, ZN_GPS_SAT_IN_VIEW);
             EXPECT_EQ(p.satellites[1].snr, 0.0);
             EXPECT_EQ(p.satellites[2].flags, ZN_GPS_SAT_IN_VIEW | ZN_GPS_SAT_SIGNAL);
         }},
        {"0x47 wrong length still counts", 0x47, Cat({{5, 1}, Be(10.0f)}), false, 0,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.satellitesInView, 5);
             EXPECT_EQ(p.satellites[0].flags, 0);
         }},
        {"0x6D", 0x6D, Cat({{0x34}, Be(2.0f), Be(1.5f), Be(1.25f), Be(1.0f), {3, 9, 50}}), true,
         0x16,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.satellitesUsed, 3);
             EXPECT_EQ(p.modeBits & 1, 1u);
             EXPECT_EQ(p.fixQuality, 1);
             EXPECT_EQ(p.hdop, 1.5);
             EXPECT_EQ(p.satellites[2].flags, ZN_GPS_SAT_USED);
             EXPECT_EQ(p.satellites[8].flags, ZN_GPS_SAT_USED);
         }},
        {"0x6D wrong length sets its counts", 0x6D, Cat({{0x23}, Be(2.0f)}), false, 0,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.satellitesUsed, 2);
             EXPECT_EQ(p.modeBits & 1, 0u);
             EXPECT_TRUE(std::isnan(p.pdop));
         }},
        {"0x82 without a fix",
         0x82,
         {1},
         true,
         0,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.fixQuality, 0);
             EXPECT_EQ(p.modeBits & 2, 2u);
         }},
        {"0x13",
         0x13,
         {0x8E, 0x4A},
         true,
         0,
         [](const GpsPosition& p) {
             EXPECT_EQ(p.errorCode, -1);
             EXPECT_STREQ(p.errorText, "8E/4ABad Packet ID/Length");
         }},
        {"0x13 short",
         0x13,
         {0x8E},
         true,
         0,
         [](const GpsPosition& p) { EXPECT_STREQ(p.errorText, "Bad Packet ID/Length"); }},
        {"unhandled",
         0x8F,
         {0x20, 1, 2},
         true,
         0,
         [](const GpsPosition& p) { EXPECT_EQ(p.lastPacketId, 0x8F); }},
        {"0x41 length", 0x41, {1, 2, 3}, false, 0, [](const GpsPosition&) {}},
    };
    CTsipParser parser;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GpsPosition p;
        ResetGpsPosition(&p);
        p.modeBits = 0;
        EXPECT_EQ(parser.Decode(c.id, c.data.data(), static_cast<int>(c.data.size()), &p), c.result);
        EXPECT_EQ(p.updateBits, c.bits);
        c.check(p);
    }

    // 0x82 with a fix: differential for modes 1 and 3 only.
    for (int mode : {0, 1, 2, 3}) {
        GpsPosition p;
        ResetGpsPosition(&p);
        p.fixQuality = 1;
        const uint8_t m = static_cast<uint8_t>(mode);
        parser.Decode(0x82, &m, 1, &p);
        EXPECT_EQ(p.fixQuality, mode == 1 || mode == 3 ? 2 : 1) << mode;
    }
    // The packet name only while the raw display is on; the raw sentence is emptied.
    GpsPosition p;
    ResetGpsPosition(&p);
    std::strcpy(p.rawSentence, "$GPGGA");
    parser.Decode(0x41, nullptr, 0, &p);
    EXPECT_STREQ(p.packetName, "");
    EXPECT_STREQ(p.rawSentence, "");
    p.stateBits = ZN_GPS_STATE_RAW_DISPLAY;
    parser.Decode(0x46, nullptr, 0, &p);
    EXPECT_STREQ(p.packetName, "Health of Reciever");
}

// Satellite angles come in radians as floats: every whole degree comes back
// as itself (not a hair low and cut to the degree below), and angles out of
// range or not finite give no satellite data, never a value out of range.
TEST(TsipDecoder, SatelliteAnglesRoundToTheDegree) {
    CTsipParser parser;
    auto packet = [](float elevation, float azimuth) {
        return Cat({{7, 0, 0, 0}, Be(8.0f), Be(0.0f), Be(elevation), Be(azimuth), {0, 0, 0, 0}});
    };
    const double toRadians = M_PI / 180;
    for (int degrees = 0; degrees < 360; ++degrees) {
        SCOPED_TRACE(degrees);
        GpsPosition p;
        ResetGpsPosition(&p);
        const int elevation = degrees % 181 - 90;
        const Bytes d = packet(float(elevation * toRadians), float(degrees * toRadians));
        ASSERT_TRUE(parser.Decode(0x5C, d.data(), int(d.size()), &p));
        EXPECT_EQ(p.satellites[6].elevation, elevation);
        EXPECT_EQ(p.satellites[6].azimuth, degrees);
    }
    struct Row {
        const char* what;
        float elevation, azimuth;
        bool data;
        int wantElevation, wantAzimuth;
    } rows[] = {
        {"a turn less a hair", float(0.5), float(2 * M_PI - 1e-7), true, 29, 0},
        {"negative azimuth", float(0.1), float(-M_PI / 2), true, 6, 270},
        {"a million radians", 1e6f, 0.5f, false, 0, 0},
        {"azimuth of a million radians", 0.5f, 1e6f, false, 0, 0},
        {"elevation past the zenith", float(1.6), 0.5f, false, 0, 0},
        {"not a number", NAN, 0.5f, false, 0, 0},
        {"infinite", 0.5f, INFINITY, false, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        GpsPosition p;
        ResetGpsPosition(&p);
        const Bytes d = packet(r.elevation, r.azimuth);
        EXPECT_EQ(parser.Decode(0x5C, d.data(), int(d.size()), &p), r.data);
        if (!r.data) {
            EXPECT_EQ(p.satellites[6].flags, 0);
            EXPECT_EQ(p.updateBits & ZN_GPS_UPDATE_SATELLITES, 0u);
            continue;
        }
        EXPECT_EQ(p.satellites[6].elevation, r.wantElevation);
        EXPECT_EQ(p.satellites[6].azimuth, r.wantAzimuth);
    }
}

TEST(TsipDecoder, Course) {
    EXPECT_EQ(TsipCourse(0, 0), 0.0);
    EXPECT_EQ(TsipCourse(0, -1), 180.0);
    EXPECT_EQ(TsipCourse(-1, 0), 270.0);
    EXPECT_NEAR(TsipCourse(1, 1), 45.0, 1e-12);
    EXPECT_NEAR(TsipCourse(-1, 1), 315.0, 1e-12);
    EXPECT_EQ(TsipCourse(-1e-9, 1), 0.0);  // within 1e-7 of a full turn
    EXPECT_GT(TsipCourse(-1e-6, 1), 359.9);
}

TEST(TsipDecoder, EarthCentredAgainstCartConvert) {
    // Geodetic points to earth-centred by CartConvert; ours must bring them back.
    const double points[][3] = {{0, 0, 0},       {0, 120, -100},    {45, -75, 0},  {45, 10, 9000},
                                {-45, 170, 500}, {89.99, 30, 1000}, {-89.9, -150, -100}, {60, -179.999, 4000}};
    std::string input;
    for (const auto& pt : points) input += std::to_string(pt[0]) + " " + std::to_string(pt[1]) + " " + std::to_string(pt[2]) + "\n";
    const std::string out = Shell("printf '" + input + "' | CartConvert -p 9");
    std::istringstream lines(out);
    CTsipParser parser;
    int n = 0;
    for (const auto& pt : points) {
        double x, y, z;
        ASSERT_TRUE(lines >> x >> y >> z) << "CartConvert (geographiclib-tools) missing?";
        double lon, lat, h;
        ASSERT_TRUE(parser.EcefToGeodetic(x, y, z, &lon, &lat, &h));
        EXPECT_NEAR(lat, pt[0], 1e-9) << n;
        EXPECT_NEAR(lon, pt[1], 1e-9) << n;
        EXPECT_NEAR(h, pt[2], 1e-3) << n;
        ++n;
    }
}

TEST(TsipReplay, PacketsAsGpsdsLexerFindsThem) {
    for (const char* name : {"trimble-lasseniq-bin2d.log", "trimble-lassen_iq.log", "trimble-smt-360.log"}) {
        SCOPED_TRACE(name);
        const std::string lexed =
            Shell(std::string("/usr/bin/python3 ") + ZN_SOURCE_DIR + "/tests/gps/gpsd_lexer.py " + ZN_TEST_DATA + "/gps/" + name);
        std::vector<uint8_t> ids;  // of gpsd's TSIP packets, in order
        std::istringstream in(lexed);
        std::string kind, hex;
        while (in >> kind >> hex) {
            ASSERT_GE(hex.size(), 4u);
            ids.push_back(static_cast<uint8_t>(std::stoi(hex.substr(2, 2), nullptr, 16)));
        }
        ASSERT_FALSE(ids.empty()) << "python3-gps missing?";
        const std::vector<Bytes> ours = Frame(LogBody(name), {1, 13, 64, 7, 300});
        ASSERT_EQ(ours.size(), ids.size());
        for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ours[i][0], ids[i]) << i;
    }
}

TEST(TsipReplay, PositionsEqualGpsdsReports) {
    std::vector<std::array<double, 3>> tpvs;
    std::ifstream chk(std::string(ZN_TEST_DATA) + "/gps/trimble-lasseniq-bin2d.log.chk");
    std::string line;
    auto number = [&](const char* key, double* v) {
        const std::string k = std::string("\"") + key + "\":";
        const size_t at = line.find(k);
        if (at == std::string::npos) return false;
        *v = std::strtod(line.c_str() + at + k.size(), nullptr);
        return true;
    };
    while (std::getline(chk, line)) {
        double lat, lon, alt;
        if (line.find("\"TPV\"") != std::string::npos && number("lat", &lat) && number("lon", &lon) && number("altHAE", &alt))
            tpvs.push_back({lat, lon, alt});
    }
    ASSERT_FALSE(tpvs.empty());
    CTsipParser parser;
    GpsPosition p;
    ResetGpsPosition(&p);
    int positions = 0;
    for (const Bytes& packet : Frame(LogBody("trimble-lasseniq-bin2d.log"), {5, 11, 200})) {
        p.updateBits = 0;
        parser.Decode(packet[0], packet.data() + 1, static_cast<int>(packet.size()) - 1, &p);
        if (packet[0] != 0x83) continue;
        ASSERT_TRUE(p.updateBits & ZN_GPS_UPDATE_POSITION);
        ++positions;
        bool found = false;
        for (const auto& t : tpvs)
            found = found || (std::fabs(t[0] - p.latitude) <= 1e-8 && std::fabs(t[1] - p.longitude) <= 1e-8 &&
                              std::fabs(t[2] - p.height) <= 1e-3);
        EXPECT_TRUE(found) << p.latitude << " " << p.longitude << " " << p.height;
    }
    EXPECT_GT(positions, 10);

    // A log of unhandled packets only changes no position.
    GpsPosition q;
    ResetGpsPosition(&q);
    for (const Bytes& packet : Frame(LogBody("trimble-smt-360.log"), {64}))
        parser.Decode(packet[0], packet.data() + 1, static_cast<int>(packet.size()) - 1, &q);
    EXPECT_TRUE(std::isnan(q.latitude));
    EXPECT_EQ(q.updateBits & ZN_GPS_UPDATE_POSITION, 0u);
}
