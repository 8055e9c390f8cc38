#include "gps/eart_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "gps/gps_position.h"

namespace {

constexpr uint16_t kSync = 0x81FF;
constexpr int kStateOffset = 3072;  // past header, 256 data words and the checksum flag
constexpr uint8_t kMagic = 0xE5;

enum : uint8_t { kSearch = 0, kId, kCount, kFlags, kHeaderSum, kData, kDataSum };

// The framer's state, kept in the packet buffer between chunks.
struct FramerState {
    uint8_t magic;
    uint8_t state;
    uint8_t havePending;
    uint8_t pending;
    uint8_t previous;
    uint8_t window[6];
    uint16_t words;
    uint16_t sum;
    uint16_t header[5];
};

uint16_t Fold(uint16_t sum) { return sum == 0x7FFF ? 0x7FFF : static_cast<uint16_t>(0x10000 - sum); }

// Either form of the checksum is accepted: the rule above and plain negation
// differ only for the sum 0x7FFF.
bool ChecksumMatches(uint16_t sum, uint16_t word) {
    return word == Fold(sum) || word == static_cast<uint16_t>(0x10000 - sum);
}

void PutWord(uint8_t* at, uint16_t w) {
    at[0] = static_cast<uint8_t>(w);
    at[1] = static_cast<uint8_t>(w >> 8);
}

const char* MessageName(int id) {
    switch (id) {
        case 1000: return "Geodetic Position Status Output";
        case 1002: return "Channel Summary";
        case 1003: return "Visible Satellites";
        case 1011: return "Receiver ID";
        case 1135: return "EEPROM Update";
        default: return nullptr;
    }
}

}  // namespace

uint16_t EartChecksum(const uint16_t* words, int count) {
    uint16_t sum = 0;
    for (int i = 0; i < count; ++i) sum = static_cast<uint16_t>(sum + words[i]);
    return Fold(sum);
}

std::vector<uint16_t> EartBuildInitMessage(double latitude, double longitude, double height, const std::tm& utc) {
    std::vector<uint16_t> d(21, 0);
    d[1] = 12;
    d[5] = static_cast<uint16_t>(utc.tm_mday);
    d[6] = static_cast<uint16_t>(utc.tm_mon + 1);
    d[7] = static_cast<uint16_t>(utc.tm_year + 1900);
    d[8] = static_cast<uint16_t>(utc.tm_hour);
    d[9] = static_cast<uint16_t>(utc.tm_min);
    d[10] = static_cast<uint16_t>(utc.tm_sec);
    auto put32 = [&](int k, double v) {
        const double clamped = std::isfinite(v) ? std::fmax(std::fmin(v, 2147483647.0), -2147483648.0) : 0.0;
        const uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(clamped));
        d[k] = static_cast<uint16_t>(u);
        d[k + 1] = static_cast<uint16_t>(u >> 16);
    };
    put32(11, latitude * std::numbers::pi / 180.0 * 1e8);
    put32(13, longitude * std::numbers::pi / 180.0 * 1e8);
    put32(15, height * 100.0);
    return d;
}

std::vector<uint8_t> EartFrameMessage(uint16_t id, const std::vector<uint16_t>& data) {
    const uint16_t header[4] = {kSync, id, static_cast<uint16_t>(data.size()), 0};
    std::vector<uint16_t> words(header, header + 4);
    words.push_back(EartChecksum(header, 4));
    words.insert(words.end(), data.begin(), data.end());
    if (!data.empty()) words.push_back(EartChecksum(data.data(), static_cast<int>(data.size())));
    std::vector<uint8_t> bytes;
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}

bool CEartParser::IsHandshake(const uint8_t* packet, int count) {
    return count == 6 && std::memcmp(packet, "EARTHA", 6) == 0;
}

bool CEartParser::FramePacket(const uint8_t* next, int* unread, uint8_t* packet, int* count) {
    FramerState s;
    std::memcpy(&s, packet + kStateOffset, sizeof s);
    if (s.magic != kMagic) {
        std::memset(&s, 0, sizeof s);
        s.magic = kMagic;
    }
    *count = 0;
    bool complete = false;
    while (*unread > 0 && !complete) {
        const uint8_t b = *next++;
        --*unread;
        std::memmove(s.window, s.window + 1, 5);
        s.window[5] = b;
        if (std::memcmp(s.window, "EARTHA", 6) == 0) {
            std::memcpy(packet, "EARTHA", 6);
            *count = 6;
            std::memset(s.window, 0, sizeof s.window);
            complete = true;
            break;
        }
        uint16_t word;
        if (s.state == kSearch) {
            word = static_cast<uint16_t>(s.previous | (b << 8));
            s.previous = b;
            if (word == kSync) {
                s.header[0] = kSync;
                s.sum = kSync;
                s.state = kId;
                s.havePending = 0;
            }
            continue;
        }
        if (!s.havePending) {
            s.pending = b;
            s.havePending = 1;
            continue;
        }
        s.havePending = 0;
        word = static_cast<uint16_t>(s.pending | (b << 8));
        switch (s.state) {
            case kId:
            case kCount:
            case kFlags:
                s.header[s.state] = word;
                s.sum = static_cast<uint16_t>(s.sum + word);
                ++s.state;
                break;
            case kHeaderSum:
                if (!ChecksumMatches(s.sum, word) || s.header[2] > kMaxWords) {
                    s.state = kSearch;
                    s.previous = 0;
                    break;
                }
                s.header[4] = word;
                s.sum = 0;
                s.words = 0;
                if (s.header[2] == 0) {  // no data: no data checksum either
                    for (int i = 0; i < 5; ++i) PutWord(packet + 2 * i, s.header[i]);
                    packet[kHeaderBytes] = 1;
                    *count = kHeaderBytes + 1;
                    s.state = kSearch;
                    s.previous = 0;
                    complete = true;
                    break;
                }
                s.state = kData;
                break;
            case kData:
                if (s.words >= kMaxWords) {  // cannot happen with n <= 256; kept as a guard
                    s.state = kSearch;
                    s.previous = 0;
                    break;
                }
                PutWord(packet + kHeaderBytes + 2 * s.words, word);
                s.sum = static_cast<uint16_t>(s.sum + word);
                if (++s.words == s.header[2]) s.state = kDataSum;
                break;
            case kDataSum: {
                for (int i = 0; i < 5; ++i) PutWord(packet + 2 * i, s.header[i]);
                const int end = kHeaderBytes + 2 * s.words;
                packet[end] = ChecksumMatches(s.sum, word) ? 1 : 0;
                *count = end + 1;
                s.state = kSearch;
                s.previous = 0;
                complete = true;
                break;
            }
            default:
                s.state = kSearch;
                break;
        }
    }
    std::memcpy(packet + kStateOffset, &s, sizeof s);
    return complete;
}

bool CEartParser::Decode(const uint8_t* packet, int count, GpsPosition* p) const {
    if (count < kHeaderBytes + 1 || IsHandshake(packet, count)) return false;
    auto headerWord = [&](int i) { return static_cast<uint16_t>(packet[2 * i] | (packet[2 * i + 1] << 8)); };
    const int id = headerWord(1);
    const int n = (count - kHeaderBytes - 1) / 2;
    const uint8_t* data = packet + kHeaderBytes;
    auto w = [&](int k) -> uint16_t { return k < n ? static_cast<uint16_t>(data[2 * k] | (data[2 * k + 1] << 8)) : 0; };
    auto s16 = [&](int k) { return static_cast<int16_t>(w(k)); };
    auto u32 = [&](int k) { return static_cast<uint32_t>(w(k)) | (static_cast<uint32_t>(w(k + 1)) << 16); };
    auto s32 = [&](int k) { return static_cast<int32_t>(u32(k)); };

    p->lastPacketId = id;
    p->lastSequenceValue = w(2);
    if (!packet[count - 1]) {
        p->errorCode = 1;
        CopyGpsText(p->errorText, sizeof p->errorText, "Data Checksum Error");
        return false;
    }
    p->rawSentence[0] = 0;
    p->packetName[0] = 0;
    const double pi = std::numbers::pi;
    switch (id) {
        case 1000: {
            if (n < 41) return false;
            const bool valid = (w(4) & 0x1F) == 0;
            p->fixQuality = valid ? 1 : 0;
            if (valid) {
                p->latitude = s32(21) * 1.8e-6 / pi;
                p->longitude = s32(23) * 1.8e-6 / pi;
                p->height = s32(25) * 0.01;
            }
            p->satellitesUsed = w(6);
            p->gpsWeek = w(8);
            p->sog = u32(28) * 0.01 * 3.6;
            p->cog = w(30) * 0.18 / pi;
            p->magneticVariation = s16(31) * 0.018 / pi;
            p->velocityUp = s16(32) * 0.01;
            p->utcTime[3] = w(13);
            p->utcTime[1] = w(14);
            p->utcTime[0] = w(15);
            p->utcTime[4] = w(16);
            p->utcTime[5] = w(17);
            p->utcTime[6] = w(18);
            p->reportedHpe = u32(34) * 0.01;
            p->hpe = p->reportedHpe;
            p->vpe = u32(36) * 0.01;
            p->extraError232 = u32(38);
            p->extraError200 = w(40);
            p->updateBits |= ZN_GPS_UPDATE_FIX | ZN_GPS_UPDATE_ERROR | ZN_GPS_UPDATE_TIME | ZN_GPS_UPDATE_DATE |
                             ZN_GPS_UPDATE_SPEED | (valid ? ZN_GPS_UPDATE_POSITION : 0);
            break;
        }
        case 1002: {
            for (GpsSatellite& s : p->satellites)
                s.flags &= ~(ZN_GPS_SAT_SIGNAL | ZN_GPS_SAT_FLAG4 | ZN_GPS_SAT_FLAG8 | ZN_GPS_SAT_USED);
            for (int i = 0; i < 12 && 9 + 3 * i + 2 < n; ++i) {
                const int k = 9 + 3 * i;
                GpsSatellite* slot = GpsSatelliteSlot(p, w(k + 1));
                if (!slot) continue;
                if (w(k) & 0x1) slot->flags |= ZN_GPS_SAT_USED;
                if (w(k) & 0x4) slot->flags |= ZN_GPS_SAT_SIGNAL;
                slot->snr = w(k + 2);
            }
            p->updateBits |= ZN_GPS_UPDATE_SATELLITES;
            break;
        }
        case 1003: {
            if (n < 9) return false;
            p->gdop = s16(3) * 0.01;
            p->pdop = s16(4) * 0.01;
            p->hdop = s16(5) * 0.01;
            p->vdop = s16(6) * 0.01;
            p->tdop = s16(7) * 0.01;
            ClearGpsSatellites(p);
            p->satellitesInView = w(8);
            const int entries = std::min<int>({12, w(8), (n - 9) / 3});
            for (int i = 0; i < entries; ++i) {
                const int k = 9 + 3 * i;
                GpsSatellite* slot = GpsSatelliteSlot(p, w(k));
                if (!slot) continue;
                int azimuth = static_cast<int>(std::trunc(s16(k + 1) * 0.018 / pi));
                if (azimuth < 0) azimuth += 360;
                slot->azimuth = static_cast<int16_t>(azimuth);
                slot->elevation = static_cast<int16_t>(std::trunc(s16(k + 2) * 0.018 / pi));
                slot->flags |= ZN_GPS_SAT_IN_VIEW;
            }
            p->updateBits |= ZN_GPS_UPDATE_DOP | ZN_GPS_UPDATE_SATELLITES;
            break;
        }
        case 1011: {
            const int bytes = 2 * n;
            auto text = [&](int from) {
                std::string t;
                for (int i = from; i < bytes && data[i]; ++i) t += static_cast<char>(data[i]);
                return t;
            };
            const std::string info = "Version " + text(26) + " Date " + text(46);
            CopyGpsText(p->receiverInfo, 40, info.c_str());
            break;
        }
        case 1135: break;
        default: return false;
    }
    if (p->stateBits & ZN_GPS_STATE_RAW_DISPLAY) CopyGpsText(p->packetName, sizeof p->packetName, MessageName(id));
    if (p->receiverKind != 6) {
        p->receiverKind = 6;
        p->identityBits |= 0x1;
        CopyGpsText(p->receiverName, 40, u"Earthmate\u00AE");
    }
    return true;
}
