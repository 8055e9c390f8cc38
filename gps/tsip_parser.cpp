#include "gps/tsip_parser.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "gps/gps_position.h"
#include "platform/byte_order.h"

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEtx = 0x03;
const double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kDegrees = 180.0 / std::numbers::pi;

// Framer states, byte 0 of the packet buffer.
enum : uint8_t { kIdle = 0, kAfterStart = 1, kInPacket = 2, kDleInPacket = 3 };

using byte_order::LoadBeDouble;
using byte_order::LoadBeFloat;

void PutSingle(std::vector<uint8_t>* out, float v) {
    uint8_t bytes[4];
    byte_order::StoreBeFloat(bytes, v);
    out->insert(out->end(), bytes, bytes + 4);
}

const char* PacketName(uint8_t id) {
    switch (id) {
        case 0x13: return "Packet send error";
        case 0x41: return "GPS Time";
        case 0x42: return "Single Precision XYZ ECEF";
        case 0x43: return "Velocity XYZ ECEF";
        case 0x44: return "Satellite Selection";
        case 0x45: return "Software Version Information";
        case 0x46: return "Health of Reciever";
        case 0x47: return "Signal Levels For All Satellites";
        case 0x4A: return "Single Precision LLA";
        case 0x4B: return "Machine/Code ID and Status";
        case 0x55: return "I/O Options";
        case 0x56: return "Velocity Fix (ENU)";
        case 0x5C: return "Satellite Tracking Status";
        case 0x6D: return "All-In-View Satellite Selection";
        case 0x82: return "Differential Position Fix Mode";
        case 0x83: return "Double Precision XYZ ECEF";
        case 0x84: return "Double precision LLA";
        case 0xBC: return "Protocol Configuration";
        default: return "<Unhandled packet>";
    }
}

}  // namespace

TsipPacket TsipPollRequest(int step) {
    switch (((step % 5) + 5) % 5) {
        case 0: return {0x35, {0x1E, 0x02, 0x01, 0x02}};
        case 1: return {0x26, {}};
        case 2: return {0x24, {}};
        case 3: return {0x3C, {0x00}};
        default: return {0x27, {}};
    }
}

TsipPacket TsipInitialPosition(uint8_t id, double latitude, double longitude, double height) {
    TsipPacket p{id, {}};
    PutSingle(&p.data, static_cast<float>(latitude * std::numbers::pi / 180.0));
    PutSingle(&p.data, static_cast<float>(longitude * std::numbers::pi / 180.0));
    PutSingle(&p.data, static_cast<float>(height));
    return p;
}

TsipPacket TsipProtocolConfiguration(uint8_t port, uint8_t inBaud, uint8_t outBaud, uint8_t inProtocol,
                                     uint8_t outProtocol) {
    if (inBaud <= 1) return {0xBC, {port}};
    return {0xBC, {port, inBaud, outBaud, 3, 0, 0, 0, inProtocol, outProtocol, 0}};
}

double TsipCourse(double east, double north) {
    if (east == 0.0 && north == 0.0) return 0.0;
    const double e = std::fabs(east), n = std::fabs(north);
    double angle = e <= n ? std::atan(e / n) : std::numbers::pi / 2 - std::atan(n / e);
    if (north < 0) angle = std::numbers::pi - angle;
    if (east < 0) angle = -angle;
    angle = std::fmod(angle, kTwoPi);
    if (angle < 0) angle += kTwoPi;
    if (std::fabs(angle - kTwoPi) < 1e-7) angle = 0.0;
    return angle * kDegrees;
}

double TsipSnr(double level) {
    if (!(level > 0.0) || !std::isfinite(level)) return 0.0;
    return std::trunc(20.0 * std::log(level) + 27.0);
}

void CTsipParser::SetEllipsoid(double a, double f) {
    m_a = a;
    m_f = f;
    m_e2 = 2 * f - f * f;
}

bool CTsipParser::FramePacket(const uint8_t* next, int* unread, uint8_t* packet, int* count) {
    if (*count == 0) packet[0] = kIdle;
    while (*unread > 0) {
        const uint8_t b = *next++;
        --*unread;
        switch (packet[0]) {
            case kIdle:
                if (b == kDle) {
                    packet[0] = kAfterStart;
                    *count = 1;
                }
                break;
            case kAfterStart:
                if (b == 0x00 || b == kEtx) {
                    packet[0] = kIdle;
                    *count = 0;
                } else if (b != kDle) {
                    packet[0] = kInPacket;
                    packet[1] = b;
                    *count = 2;
                }
                break;
            case kInPacket:
                if (b == kDle) {
                    packet[0] = kDleInPacket;
                    break;
                }
                if (*count - 2 >= kMaxData) {  // too long: dropped
                    packet[0] = kIdle;
                    *count = 0;
                    break;
                }
                packet[(*count)++] = b;
                break;
            case kDleInPacket:
                if (b == kEtx) {
                    packet[0] = kIdle;
                    return true;
                }
                if (b == kDle) {
                    if (*count - 2 >= kMaxData) {
                        packet[0] = kIdle;
                        *count = 0;
                        break;
                    }
                    packet[(*count)++] = b;
                    packet[0] = kInPacket;
                    break;
                }
                packet[0] = kInPacket;  // a new packet starts with this id
                packet[1] = b;
                *count = 2;
                break;
            default:
                packet[0] = kIdle;
                *count = 0;
                break;
        }
    }
    return false;
}

std::vector<uint8_t> CTsipParser::WritePacket(const TsipPacket& packet) {
    std::vector<uint8_t> out{kDle, packet.id};
    for (uint8_t b : packet.data) {
        out.push_back(b);
        if (b == kDle) out.push_back(kDle);
    }
    out.push_back(kDle);
    out.push_back(kEtx);
    return out;
}

bool CTsipParser::EcefToGeodetic(double x, double y, double z, double* longitude, double* latitude,
                                 double* height) const {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
    const double p = std::sqrt(x * x + y * y);
    const double r = std::sqrt(p * p + z * z);
    if (!(r >= 1.0e6)) return false;  // no fix: receivers send 0, 0, 0
    const double mu = std::atan2(z * ((1 - m_f) + m_e2 * m_a / r), p);
    const double s = std::sin(mu), c = std::cos(mu);
    const double lat = std::atan2(z * (1 - m_f) + m_e2 * m_a * s * s * s, (1 - m_f) * (p - m_e2 * m_a * c * c * c));
    const double sl = std::sin(lat);
    *height = p * std::cos(lat) + z * sl - m_a * std::sqrt(1 - m_e2 * sl * sl);
    *longitude = std::atan2(y, x) * kDegrees;
    *latitude = lat * kDegrees;
    return true;
}

bool CTsipParser::Decode(const uint8_t* packet, int count, GpsPosition* position) const {
    if (count < 2) return false;
    return Decode(packet[1], packet + 2, count - 2, position);
}

bool CTsipParser::Decode(uint8_t id, const uint8_t* d, int length, GpsPosition* p) const {
    p->lastPacketId = id;
    std::memset(p->rawSentence, 0, sizeof p->rawSentence);
    std::memset(p->packetName, 0, sizeof p->packetName);
    if (p->stateBits & ZN_GPS_STATE_RAW_DISPLAY) CopyGpsText(p->packetName, sizeof p->packetName, PacketName(id));

    switch (id) {
        case 0x13: {
            p->errorCode = -1;
            char text[64];
            if (length >= 2)
                std::snprintf(text, sizeof text, "%02X/%02XBad Packet ID/Length", d[0], d[1]);
            else
                std::snprintf(text, sizeof text, "Bad Packet ID/Length");
            CopyGpsText(p->errorText, sizeof p->errorText, text);
            return true;
        }
        case 0x41: return length == 10;
        case 0x42: {
            if (length != 16) return false;
            double lon, lat, h;
            const double x = LoadBeFloat(d), y = LoadBeFloat(d + 4), z = LoadBeFloat(d + 8);
            if (!EcefToGeodetic(x, y, z, &lon, &lat, &h)) return false;
            p->longitude = lon;
            p->latitude = lat;
            p->height = h;
            p->modeBits |= 0x1;
            p->updateBits |= ZN_GPS_UPDATE_POSITION;
            return true;
        }
        case 0x43: return length == 20;
        case 0x44:
        case 0x45: return true;
        case 0x46: return length == 2;
        case 0x47: {
            if (length < 1) return false;
            const int n = d[0];
            p->satellitesInView = static_cast<uint16_t>(n);
            if (length != 1 + 5 * n) return false;
            for (GpsSatellite& s : p->satellites) s.flags &= ~0xF;
            for (int i = 0; i < n; ++i) {
                const uint8_t* e = d + 1 + 5 * i;
                GpsSatellite* slot = GpsSatelliteSlot(p, e[0]);
                if (!slot) continue;
                slot->snr = TsipSnr(LoadBeFloat(e + 1));
                slot->flags |= ZN_GPS_SAT_IN_VIEW;
                if (slot->snr > 0) slot->flags |= ZN_GPS_SAT_SIGNAL;
            }
            p->updateBits |= ZN_GPS_UPDATE_SATELLITES;
            return true;
        }
        case 0x4A: {
            if (length != 20) return false;
            const double lat = LoadBeFloat(d) * kDegrees, lon = LoadBeFloat(d + 4) * kDegrees;
            if (!std::isfinite(lat) || !std::isfinite(lon)) return false;
            p->latitude = lat;
            p->longitude = lon;
            p->height = LoadBeFloat(d + 8);
            p->updateBits |= ZN_GPS_UPDATE_POSITION;
            return true;
        }
        case 0x4B: return length == 3;
        case 0x55: return length == 4;
        case 0x56: {
            if (length != 20) return false;
            const double east = LoadBeFloat(d), north = LoadBeFloat(d + 4);
            p->velocityEast = east;
            p->velocityNorth = north;
            p->sog = std::sqrt(east * east + north * north) * 3.6;
            p->cog = TsipCourse(east, north);
            p->updateBits |= ZN_GPS_UPDATE_SPEED | ZN_GPS_UPDATE_VELOCITY;
            return true;
        }
        case 0x5C: {
            if (length != 24) return false;
            GpsSatellite* slot = GpsSatelliteSlot(p, d[0]);
            if (!slot) return false;  // PRN 0, or a satellite without a slot
            // Radians to the nearest whole degree: a float that means 68
            // arrives as 67.999997. Angles out of their range, or not
            // numbers, are no satellite data.
            const double elevation = std::round(LoadBeFloat(d + 12) * kDegrees);
            double azimuth = std::round(LoadBeFloat(d + 16) * kDegrees);
            if (azimuth < 0) azimuth += 360;
            if (!(elevation >= -90 && elevation <= 90) || !(azimuth >= 0 && azimuth <= 360))
                return false;
            slot->snr = TsipSnr(LoadBeFloat(d + 4));
            slot->elevation = static_cast<int16_t>(elevation);
            slot->azimuth = static_cast<int16_t>(azimuth == 360 ? 0 : azimuth);
            slot->flags &= ~(ZN_GPS_SAT_SIGNAL | ZN_GPS_SAT_FLAG4 | ZN_GPS_SAT_FLAG8);
            slot->flags |= ZN_GPS_SAT_IN_VIEW;
            if (slot->snr > 0) slot->flags |= ZN_GPS_SAT_SIGNAL;
            p->updateBits |= ZN_GPS_UPDATE_SATELLITES;
            return true;
        }
        case 0x6D: {
            if (length < 1) return false;
            const int dimension = d[0] & 0x7, n = d[0] >> 4;
            if (dimension == 4)
                p->modeBits |= 0x1;
            else
                p->modeBits &= ~0x1u;
            p->satellitesUsed = static_cast<uint16_t>(n);
            if (length != 17 + n) return false;
            p->pdop = LoadBeFloat(d + 1);
            p->hdop = LoadBeFloat(d + 5);
            p->vdop = LoadBeFloat(d + 9);
            p->tdop = LoadBeFloat(d + 13);
            p->fixQuality = n > 2 ? 1 : 0;
            for (GpsSatellite& s : p->satellites) s.flags &= ~ZN_GPS_SAT_USED;
            for (int i = 0; i < n; ++i)
                if (GpsSatellite* slot = GpsSatelliteSlot(p, d[17 + i])) slot->flags |= ZN_GPS_SAT_USED;
            p->updateBits |= ZN_GPS_UPDATE_FIX | ZN_GPS_UPDATE_DOP | ZN_GPS_UPDATE_SATELLITES;
            return true;
        }
        case 0x82: {
            if (length != 1) return false;
            const int m = d[0];
            if (p->fixQuality != 0 && (m == 1 || m == 3)) {
                p->fixQuality = 2;
                p->updateBits |= ZN_GPS_UPDATE_FIX;
            }
            if (m == 1)
                p->modeBits |= 0x2;
            else
                p->modeBits &= ~0x2u;
            return true;
        }
        case 0x83: {
            if (length != 36) return false;
            double lon, lat, h;
            const double x = LoadBeDouble(d), y = LoadBeDouble(d + 8), z = LoadBeDouble(d + 16);
            if (!EcefToGeodetic(x, y, z, &lon, &lat, &h)) return false;
            p->longitude = lon;
            p->latitude = lat;
            p->height = h;
            p->updateBits |= ZN_GPS_UPDATE_POSITION;
            return true;
        }
        case 0x84: {
            if (length != 36) return false;
            const double lat = LoadBeDouble(d) * kDegrees, lon = LoadBeDouble(d + 8) * kDegrees;
            if (!std::isfinite(lat) || !std::isfinite(lon)) return false;
            p->latitude = lat;
            p->longitude = lon;
            p->height = LoadBeDouble(d + 16);
            p->updateBits |= ZN_GPS_UPDATE_POSITION;
            return true;
        }
        case 0xBC: return length == 10;
        default: return true;
    }
}
