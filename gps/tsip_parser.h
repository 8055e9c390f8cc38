// TSIP: the DLE-framed binary protocol of some receivers. Framing for the
// serial port's packet mode, decoding into the position record, the
// earth-centred conversion, and the request packets.
#pragma once

#include <cstdint>
#include <vector>

#include "include/zarnip/znex.h"

struct TsipPacket {
    uint8_t id = 0;
    std::vector<uint8_t> data;
};

// The request of a poll step (0 to 4, taken modulo 5).
TsipPacket TsipPollRequest(int step);
// 0x32 (at open) or 0x2B: an initial position in degrees and metres.
TsipPacket TsipInitialPosition(uint8_t id, double latitude, double longitude, double height);
// 0xBC: only the port byte when the input baud code is 0 or 1.
TsipPacket TsipProtocolConfiguration(uint8_t port, uint8_t inBaud, uint8_t outBaud, uint8_t inProtocol,
                                     uint8_t outProtocol);

// Course in degrees, [0, 360), of a velocity given east and north.
double TsipCourse(double east, double north);
// SNR of a signal level: the integer part of 20 ln x + 27; 0 for x <= 0.
double TsipSnr(double level);

class CTsipParser {
public:
    static constexpr int kMaxData = 256;

    CTsipParser() { SetEllipsoid(6378137.0, 1.0 / 298.257223563); }
    void SetEllipsoid(double a, double f);

    // The packet framer of the serial port. Its state lives in the packet
    // buffer: byte 0 the state, byte 1 the packet id, then the data; a
    // complete packet is delivered in that form.
    static bool FramePacket(const uint8_t* next, int* unread, uint8_t* packet, int* count);

    // Decodes a packet as the framer delivers it (state, id, data).
    bool Decode(const uint8_t* packet, int count, GpsPosition* position) const;
    bool Decode(uint8_t id, const uint8_t* data, int length, GpsPosition* position) const;

    // The wire bytes: DLE, id, data with every DLE doubled, DLE ETX.
    static std::vector<uint8_t> WritePacket(const TsipPacket& packet);

    // Earth-centred to geodetic on the parser's ellipsoid; false for a point
    // that is not finite or less than 1000 km from the earth's centre.
    bool EcefToGeodetic(double x, double y, double z, double* longitude, double* latitude,
                        double* height) const;

private:
    double m_a = 0, m_f = 0, m_e2 = 0;
};
