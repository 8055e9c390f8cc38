// The binary word protocol: framing, decoding and message 1200, against
// gpsd's lexer and its reading of a real receiver log.
#include "gps/eart_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gps/gps_position.h"
#include "gps/serial_assembly.h"
#include "tests/support/run_command.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint16_t>;

std::vector<Bytes> Frame(const Bytes& bytes, const std::vector<int>& chunks) {
    CSerialAssembler a;
    a.SetFramer(CEartParser::FramePacket);
    std::vector<Bytes> packets;
    size_t at = 0, k = 0;
    while (at < bytes.size()) {
        const size_t n = std::min<size_t>(static_cast<size_t>(chunks[k++ % chunks.size()]), bytes.size() - at);
        a.Feed(bytes.data() + at, static_cast<int>(n),
               [&](const uint8_t* data, int length) { packets.emplace_back(data, data + length); });
        at += n;
    }
    return packets;
}

// A message as the framer delivers it, for the decoder rows.
Bytes Delivered(uint16_t id, const Words& data, bool dataChecksumOk = true) {
    Bytes b = EartFrameMessage(id, data);
    if (!data.empty()) b.resize(b.size() - 2);
    b.push_back(dataChecksumOk ? 1 : 0);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Shell(const std::string& command) {
    return testsupport::RunCommand(command);
}

std::vector<std::string> GpsdPackets(const std::string& path) {
    std::istringstream in(Shell("/usr/bin/python3 " + std::string(ZN_SOURCE_DIR) + "/tests/gps/gpsd_lexer.py " + path));
    std::vector<std::string> kinds;
    std::string kind, hex;
    while (in >> kind >> hex) kinds.push_back(kind);
    return kinds;
}

Bytes LogBody(const std::string& name) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/gps/" + name, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    while (!data.empty() && data[0] == '#') data.erase(0, data.find('\n') + 1);
    return Bytes(data.begin(), data.end());
}

int Id(const Bytes& packet) { return packet.size() >= 4 ? packet[2] | (packet[3] << 8) : -1; }

}  // namespace

TEST(EartFramer, Cases) {
    const Bytes m1 = EartFrameMessage(1135, {1, 2, 3});
    const Bytes empty = EartFrameMessage(1108, {});
    Bytes badHeader = m1;
    badHeader[8] ^= 1;
    Bytes badData = m1;
    badData[badData.size() - 1] ^= 1;
    Bytes withHandshake = EartFrameMessage(1135, Words(10, 0x0101));
    const Bytes hs{'E', 'A', 'R', 'T', 'H', 'A'};
    withHandshake.insert(withHandshake.begin() + 13, hs.begin(), hs.end());
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<std::pair<int, int>> packets;  // id (or 0 for the handshake), checksum flag
    } cases[] = {
        {"one message after noise", Cat({{0x00, 0xFF, 0x12}, m1}), {{1135, 1}}},
        {"a header checksum mismatch resynchronises", Cat({badHeader, m1}), {{1135, 1}}},
        {"a data checksum mismatch is delivered flagged", badData, {{1135, 0}}},
        {"n = 0 ends after the header", Cat({empty, m1}), {{1108, 1}, {1135, 1}}},
        {"the handshake within a message", Cat({withHandshake, m1}), {{0, 0}, {1135, 0}, {1135, 1}}},
    };
    for (const Case& c : cases)
        for (int chunk : {1, 2, 3, 5, 200}) {
            SCOPED_TRACE(testing::Message() << c.name << ", chunks of " << chunk);
            std::vector<std::pair<int, int>> got;
            for (const Bytes& p : Frame(c.bytes, {chunk}))
                {
                const bool hs = CEartParser::IsHandshake(p.data(), int(p.size()));
                got.emplace_back(hs ? 0 : Id(p), hs ? 0 : p.back());
            }
            EXPECT_EQ(got, c.packets);
        }

    // Both forms of the checksum of a word sum of 0x7FFF are accepted.
    const Words sum7fff{0x7000, 0x0FFF};
    EXPECT_EQ(EartChecksum(sum7fff.data(), 2), 0x7FFF);
    Bytes plain = EartFrameMessage(1135, sum7fff);
    plain[plain.size() - 2] = 0x01;
    plain[plain.size() - 1] = 0x80;
    for (const Bytes& b : {EartFrameMessage(1135, sum7fff), plain}) {
        const auto packets = Frame(b, {4});
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(packets[0].back(), 1);
    }

    // More than 256 data words: dropped, the next message is found.
    Bytes over = EartFrameMessage(1135, Words(257, 7));
    const auto afterOver = Frame(Cat({over, m1}), {64});
    ASSERT_FALSE(afterOver.empty());
    EXPECT_EQ(Id(afterOver.back()), 1135);
    EXPECT_EQ(afterOver.back().size(), 10u + 6 + 1);
}

TEST(EartDecoder, Messages) {
    CEartParser parser;
    auto fresh = [] {
        GpsPosition p;
        ResetGpsPosition(&p);
        return p;
    };
    auto w32 = [](Words& d, int k, int32_t v) {
        d[k] = static_cast<uint16_t>(v);
        d[k + 1] = static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16);
    };
    Words fix(55, 0);
    fix[2] = 9411;
    fix[6] = 7;
    fix[8] = 1327;
    fix[13] = 13, fix[14] = 6, fix[15] = 2005, fix[16] = 20, fix[17] = 42, fix[18] = 20;
    w32(fix, 21, static_cast<int32_t>(std::llround(-33.5 * M_PI / 180 * 1e8)));
    w32(fix, 23, static_cast<int32_t>(std::llround(151.25 * M_PI / 180 * 1e8)));
    w32(fix, 25, -1234);
    w32(fix, 28, 1000);                                        // 10 m/s
    fix[30] = static_cast<uint16_t>(std::lround(M_PI * 1000));  // south
    fix[31] = static_cast<uint16_t>(static_cast<int16_t>(std::lround(-0.9 * M_PI / 180 * 1e4)));
    fix[32] = 0xFFFF;  // -1 cm/s
    w32(fix, 34, 514);
    w32(fix, 36, 541);

    for (uint16_t validity : {0x0000, 0x0002, 0x0020, 0x0004}) {
        SCOPED_TRACE(validity);
        Words d = fix;
        d[4] = validity;
        GpsPosition p = fresh();
        const Bytes m = Delivered(1000, d);
        ASSERT_TRUE(parser.Decode(m.data(), int(m.size()), &p));
        const bool valid = (validity & 0x1F) == 0;
        EXPECT_EQ(p.fixQuality, valid ? 1 : 0);
        EXPECT_EQ(p.updateBits & ZN_GPS_UPDATE_POSITION, valid ? 1u : 0u);
        EXPECT_EQ(p.lastSequenceValue, 9411u);
        EXPECT_EQ(p.lastPacketId, 1000);
        EXPECT_EQ(p.receiverKind, 6);
        EXPECT_EQ(std::u16string(p.receiverName), u"Earthmate\u00AE");
        if (!valid) continue;
        EXPECT_NEAR(p.latitude, -33.5, 1e-6);  // units of 1e-8 radians
        EXPECT_NEAR(p.longitude, 151.25, 1e-6);
        EXPECT_NEAR(p.height, -12.34, 1e-12);
        EXPECT_NEAR(p.sog, 36.0, 1e-12);
        EXPECT_NEAR(p.cog, 180.0, 0.05);
        EXPECT_NEAR(p.magneticVariation, -0.9, 0.01);
        EXPECT_NEAR(p.velocityUp, -0.01, 1e-12);
        EXPECT_NEAR(p.hpe, 5.14, 1e-12);
        EXPECT_NEAR(p.reportedHpe, 5.14, 1e-12);
        EXPECT_NEAR(p.vpe, 5.41, 1e-12);
        EXPECT_EQ(p.satellitesUsed, 7);
        EXPECT_EQ(p.gpsWeek, 1327.0);
        EXPECT_EQ(p.utcTime[0], 2005);
        EXPECT_EQ(p.utcTime[3], 13);
        EXPECT_EQ(p.utcTime[6], 20);
    }

    {  // a data checksum error
        GpsPosition p = fresh();
        const Bytes m = Delivered(1000, fix, false);
        EXPECT_FALSE(parser.Decode(m.data(), int(m.size()), &p));
        EXPECT_EQ(p.errorCode, 1);
        EXPECT_STREQ(p.errorText, "Data Checksum Error");
        EXPECT_TRUE(std::isnan(p.latitude));
    }
    {  // 1002: channels
        Words d(51, 0);
        const uint16_t channels[][3] = {{0x5, 3, 45}, {0x4, 40, 30}, {0x1, 12, 20}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) d[9 + 3 * i + j] = channels[i][j];
        GpsPosition p = fresh();
        const Bytes m = Delivered(1002, d);
        ASSERT_TRUE(parser.Decode(m.data(), int(m.size()), &p));
        EXPECT_EQ(p.satellites[2].flags, ZN_GPS_SAT_USED | ZN_GPS_SAT_SIGNAL);
        EXPECT_EQ(p.satellites[2].snr, 45.0);
        EXPECT_EQ(p.satellites[11].flags, ZN_GPS_SAT_USED);
        EXPECT_EQ(p.updateBits, ZN_GPS_UPDATE_SATELLITES);
    }
    {  // 1003: DOPs, negative azimuths, PRN 40, more than twelve entries
        Words d(9 + 3 * 14, 0);
        d[3] = 250, d[4] = 200, d[5] = 110, d[6] = 170, d[7] = 90;
        d[8] = 14;
        for (int i = 0; i < 14; ++i) {
            d[9 + 3 * i] = static_cast<uint16_t>(i == 1 ? 40 : i + 1);
            d[9 + 3 * i + 1] = static_cast<uint16_t>(static_cast<int16_t>(std::lround(-M_PI / 2 * 1e4)));  // -90
            d[9 + 3 * i + 2] = static_cast<uint16_t>(std::lround(M_PI / 6 * 1e4 + 1));                    // 30
        }
        GpsPosition p = fresh();
        const Bytes m = Delivered(1003, d);
        ASSERT_TRUE(parser.Decode(m.data(), int(m.size()), &p));
        EXPECT_EQ(p.pdop, 2.0);
        EXPECT_EQ(p.tdop, 0.9);
        EXPECT_EQ(p.satellitesInView, 14);
        EXPECT_EQ(p.satellites[0].azimuth, 270);  // -90.0002 truncated, plus 360
        EXPECT_EQ(p.satellites[0].elevation, 30);
        EXPECT_EQ(p.satellites[1].flags, 0);       // entry 2 is PRN 40
        EXPECT_NE(p.satellites[11].flags, 0);      // the twelfth entry
        EXPECT_EQ(p.satellites[12].flags, 0);      // the thirteenth is not read
        // A short message reads only its own entries.
        Words shortD(d.begin(), d.begin() + 9 + 3 * 2);
        GpsPosition q = fresh();
        const Bytes s = Delivered(1003, shortD);
        ASSERT_TRUE(parser.Decode(s.data(), int(s.size()), &q));
        EXPECT_EQ(q.satellites[2].flags, 0);
    }
    {  // 1011: texts within the message
        Words d(30, 0);
        auto put = [&](int byte, const char* t) {
            for (int i = 0; t[i]; ++i) reinterpret_cast<uint8_t*>(d.data())[byte + i] = static_cast<uint8_t>(t[i]);
        };
        put(26, "2.11");
        put(46, "0123456789ABCD");  // runs to the end of the data: 14 bytes, no zero
        GpsPosition p = fresh();
        const Bytes m = Delivered(1011, d);
        ASSERT_TRUE(parser.Decode(m.data(), int(m.size()), &p));
        EXPECT_EQ(std::u16string(p.receiverInfo), u"Version 2.11 Date 0123456789ABCD");
    }
    {  // unknown ids change nothing
        GpsPosition p = fresh();
        const Bytes m = Delivered(1108, {1, 2});
        EXPECT_FALSE(parser.Decode(m.data(), int(m.size()), &p));
        EXPECT_EQ(p.receiverKind, 0);
    }
}

TEST(EartMessages, InitMessageIsWhatGpsdsLexerReads) {
    std::tm utc{};
    utc.tm_year = 126, utc.tm_mon = 11, utc.tm_mday = 10, utc.tm_hour = 19, utc.tm_min = 5, utc.tm_sec = 7;
    const Words d = EartBuildInitMessage(52.0626, -5.1385, 55.35, utc);
    ASSERT_EQ(d.size(), 21u);
    EXPECT_EQ(d[1], 12);
    EXPECT_EQ(d[5], 10);
    EXPECT_EQ(d[6], 12);
    EXPECT_EQ(d[7], 2026);
    EXPECT_EQ(d[10], 7);
    EXPECT_EQ(static_cast<int32_t>(d[13] | (d[14] << 16)), static_cast<int32_t>(-5.1385 * M_PI / 180 * 1e8));
    EXPECT_EQ(static_cast<int32_t>(d[15] | (d[16] << 16)), 5535);
    const Bytes wire = EartFrameMessage(1200, d);
    ASSERT_EQ(wire.size(), 54u);
    const auto back = Frame(wire, {3});
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(Id(back[0]), 1200);
    EXPECT_EQ(back[0].back(), 1);

    const std::string path = testing::TempDir() + "/eart1200.bin";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(wire.data()), std::streamsize(wire.size()));
    EXPECT_EQ(GpsdPackets(path), std::vector<std::string>{"5"});  // one packet of this protocol
}

TEST(EartReplay, ZodiacLogAgreesWithGpsd) {
    const std::string log = std::string(ZN_TEST_DATA) + "/gps/zodiac.log";
    const auto kinds = GpsdPackets(log);
    const auto packets = Frame(LogBody("zodiac.log"), {1, 9, 64, 3});
    EXPECT_EQ(kinds.size(), 63u);
    EXPECT_EQ(packets.size(), kinds.size());

    std::vector<std::string> tpvs;
    std::ifstream chk(log + ".chk");
    for (std::string line; std::getline(chk, line);)
        if (line.find("\"TPV\"") != std::string::npos) tpvs.push_back(line);
    auto number = [](const std::string& line, const char* key) {
        const std::string k = std::string("\"") + key + "\":";
        const size_t at = line.find(k);
        return at == std::string::npos ? NAN : std::strtod(line.c_str() + at + k.size(), nullptr);
    };
    CEartParser parser;
    GpsPosition p;
    ResetGpsPosition(&p);
    size_t fixes = 0;
    for (const Bytes& packet : packets) {
        p.updateBits = 0;
        const bool changed = parser.Decode(packet.data(), int(packet.size()), &p);
        if (Id(packet) != 1000) continue;
        ASSERT_TRUE(changed);
        ASSERT_LT(fixes, tpvs.size());
        const std::string& t = tpvs[fixes++];
        EXPECT_NEAR(p.latitude, number(t, "lat"), 1e-9) << t;
        EXPECT_NEAR(p.longitude, number(t, "lon"), 1e-9) << t;
        EXPECT_NEAR(p.height, number(t, "altHAE"), 1e-9) << t;
        EXPECT_NEAR(p.velocityUp, number(t, "climb"), 1e-9) << t;
    }
    EXPECT_EQ(fixes, 21u);
    EXPECT_NEAR(p.magneticVariation, -0.9, 0.1);
}

TEST(EartReplay, EarthmateLogHandshakes) {
    const auto packets = Frame(LogBody("earthmate.log"), {5, 1, 17});
    int handshakes = 0, fixes = 0;
    CEartParser parser;
    GpsPosition p;
    ResetGpsPosition(&p);
    for (const Bytes& packet : packets) {
        if (CEartParser::IsHandshake(packet.data(), int(packet.size()))) {
            ++handshakes;
            continue;
        }
        if (parser.Decode(packet.data(), int(packet.size()), &p) && Id(packet) == 1000) {
            ++fixes;
            EXPECT_EQ(p.fixQuality, 0);
            EXPECT_GE(p.lastSequenceValue, 36u);
        }
    }
    EXPECT_EQ(handshakes, 14);
    EXPECT_EQ(fixes, 7);
}
