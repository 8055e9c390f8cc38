#include "gps/nmea_parser.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gps/gps_position.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // lower case and anything else count as zero
}

bool IsDigits(const char* s, int n) {
    for (int i = 0; i < n; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

int TwoDigits(const char* s) { return (s[0] - '0') * 10 + (s[1] - '0'); }

}  // namespace

uint8_t NmeaChecksum(const char* sentence) {
    const char* s = sentence;
    if (*s == '$') ++s;
    uint8_t sum = 0;
    for (; *s && *s != '*'; ++s) sum ^= static_cast<uint8_t>(*s);
    return sum;
}

bool NmeaCheckChecksum(const char* sentence) {
    const char* star = std::strchr(sentence, '*');
    if (!star || !star[1] || !star[2]) return false;
    const int given = HexDigit(star[1]) * 16 + HexDigit(star[2]);
    return given == NmeaChecksum(sentence);
}

bool CNmeaParser::ReadField() {
    if (!m_cursor) {
        m_field[0] = 0;
        return false;
    }
    size_t n = 0;
    const char* p = m_cursor;
    while (*p && *p != ',' && *p != '*') {
        if (n + 1 < sizeof m_field) m_field[n++] = *p;  // a long field is cut
        ++p;
    }
    m_field[n] = 0;
    // Reading ends at the checksum: what follows '*' is not a field.
    m_cursor = (*p == ',') ? p + 1 : nullptr;
    return true;
}

int CNmeaParser::ReadInt() {
    if (!ReadField()) return 0;
    long v = 0;
    for (const char* p = m_field; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > 1000000000) break;
    }
    return static_cast<int>(v);
}

double CNmeaParser::ReadDouble(bool noData) {
    if (!ReadField()) return 0.0;
    if (!m_field[0]) return noData ? kGpsNoData : 0.0;
    return text::ParseDoubleA(m_field);
}

char CNmeaParser::ReadChar() {
    if (!ReadField()) return 0;
    return m_field[0];
}

double CNmeaParser::ReadDegMin() {
    const double v = ReadDouble(false);
    const double d = std::floor(v / 100.0);
    const double m = v - 100.0 * d;
    return d + std::floor(m) / 60.0 + (v - std::floor(v)) / 60.0;
}

bool CNmeaParser::ReadTime() {
    if (!ReadField()) return false;
    if (std::strlen(m_field) < 6 || !IsDigits(m_field, 6)) return false;
    const int h = TwoDigits(m_field), m = TwoDigits(m_field + 2), s = TwoDigits(m_field + 4);
    if (h > 23 || m > 59 || s > 59) return false;
    m_time[4] = static_cast<uint16_t>(h);
    m_time[5] = static_cast<uint16_t>(m);
    m_time[6] = static_cast<uint16_t>(s);
    return true;
}

bool CNmeaParser::ReadDate() {
    if (!ReadField()) return false;
    if (std::strlen(m_field) < 6 || !IsDigits(m_field, 6)) return false;
    const int d = TwoDigits(m_field), mo = TwoDigits(m_field + 2), y = TwoDigits(m_field + 4);
    if (d < 1 || d > 31 || mo < 1 || mo > 12) return false;
    m_time[3] = static_cast<uint16_t>(d);
    m_time[1] = static_cast<uint16_t>(mo);
    m_time[0] = static_cast<uint16_t>(2000 + y);
    return true;
}

void CNmeaParser::CopyTime() { std::memcpy(m_position->utcTime, m_time, sizeof m_time); }

bool CNmeaParser::ParseSentence(const char* sentence, GpsPosition* position) {
    m_position = position;
    size_t length = std::strlen(sentence);
    while (length > 0 && (sentence[length - 1] == '\r' || sentence[length - 1] == '\n')) --length;
    std::memset(position->rawSentence, 0, sizeof position->rawSentence);
    std::memcpy(position->rawSentence, sentence,
                length < sizeof position->rawSentence ? length : sizeof position->rawSentence - 1);
    if (length > static_cast<size_t>(kMaxSentence)) return false;
    std::memcpy(m_sentence, sentence, length);
    m_sentence[length] = 0;
    m_cursor = m_sentence;

    if (m_sentence[0] != '$') {
        position->errorCode = 2;
        return false;
    }
    if (m_checksumRequired && !NmeaCheckChecksum(m_sentence)) {
        position->errorCode = 1;
        return false;
    }
    if (!ReadField()) return false;
    const char* address = m_field + 1;
    CopyGpsText(position->packetName, sizeof position->packetName, address);

    struct Handler {
        const char* name;
        bool (CNmeaParser::*parse)();
    };
    if (address[0] == 'P') {
        static const Handler proprietary[] = {
            {"GRME", &CNmeaParser::ParsePGRME},     {"GRMT", &CNmeaParser::ParsePGRMT},
            {"GRMV", &CNmeaParser::ParsePGRMV},     {"ASHR", &CNmeaParser::ParsePASHR},
            {"MGNVER", &CNmeaParser::ParsePMGNVER}, {"RWIRID", &CNmeaParser::ParsePRWIRID},
            {"RWIZCH", &CNmeaParser::ParsePRWIZCH},
        };
        for (const Handler& h : proprietary)
            if (std::strcmp(address + 1, h.name) == 0) return (this->*h.parse)();
        return true;
    }
    if (std::strlen(address) < 2) return true;
    static const Handler talker[] = {
        {"RMC", &CNmeaParser::ParseRMC}, {"GSV", &CNmeaParser::ParseGSV},
        {"GGA", &CNmeaParser::ParseGGA}, {"GLL", &CNmeaParser::ParseGLL},
        {"GSA", &CNmeaParser::ParseGSA}, {"HDG", &CNmeaParser::ParseHDG},
        {"VTG", &CNmeaParser::ParseVTG}, {"ZDA", &CNmeaParser::ParseZDA},
        {"RRE", nullptr},                {"DPT", &CNmeaParser::ParseDPT},
        {"MTW", &CNmeaParser::ParseMTW},
    };
    for (const Handler& h : talker)
        if (std::strcmp(address + 2, h.name) == 0) {
            if (!h.parse) {
                m_seen[kRRE] = 1;
                return true;
            }
            return (this->*h.parse)();
        }
    return true;
}

bool CNmeaParser::ParseGGA() {
    m_seen[kGGA] = 1;
    GpsPosition* p = m_position;
    ReadTime();
    double lat = ReadDegMin();
    if (ReadChar() == 'S') lat = -lat;
    double lon = ReadDegMin();
    if (ReadChar() == 'W') lon = -lon;
    p->fixQuality = static_cast<uint16_t>(ReadInt());
    p->satellitesUsed = static_cast<uint16_t>(ReadInt());
    p->hdop = ReadDouble(true);
    const double altitude = ReadDouble(false);
    SkipField();
    const double separation = ReadDouble(false);
    SkipField();
    p->dgpsAge = ReadInt();
    p->dgpsStation = ReadInt();
    p->updateBits |= ZN_GPS_UPDATE_FIX;
    if (p->fixQuality == 0) return true;
    p->longitude = lon;
    p->latitude = lat;
    p->height = altitude + separation;
    CopyTime();
    p->updateBits |= ZN_GPS_UPDATE_POSITION | ZN_GPS_UPDATE_DOP | ZN_GPS_UPDATE_TIME;
    return true;
}

bool CNmeaParser::ParseGLL() {
    if (m_seen[kGGA] || m_seen[kRMC]) return false;
    m_seen[kGLL] = 1;
    GpsPosition* p = m_position;
    double lat = ReadDegMin();
    if (ReadChar() == 'S') lat = -lat;
    double lon = ReadDegMin();
    if (ReadChar() == 'W') lon = -lon;
    ReadTime();
    if (ReadChar() == 'A') {
        p->longitude = lon;
        p->latitude = lat;
        CopyTime();
        p->fixQuality = 1;
        p->updateBits |= ZN_GPS_UPDATE_POSITION | ZN_GPS_UPDATE_FIX | ZN_GPS_UPDATE_TIME;
    } else {
        p->fixQuality = 0;
        p->updateBits |= ZN_GPS_UPDATE_FIX;
    }
    return true;
}

bool CNmeaParser::ParseHDG() {
    m_seen[kHDG] = 1;
    for (int i = 0; i < 5; ++i) SkipField();
    return true;
}

bool CNmeaParser::ParseRMC() {
    m_seen[kRMC] = 1;
    GpsPosition* p = m_position;
    ReadTime();
    if (ReadChar() != 'A') {
        p->fixQuality = 0;
        p->updateBits |= ZN_GPS_UPDATE_FIX;
        return true;
    }
    if (m_seen[kGGA]) {
        for (int i = 0; i < 4; ++i) SkipField();
    } else {
        double lat = ReadDegMin();
        if (ReadChar() == 'S') lat = -lat;
        double lon = ReadDegMin();
        if (ReadChar() == 'W') lon = -lon;
        p->longitude = lon;
        p->latitude = lat;
        p->updateBits |= ZN_GPS_UPDATE_POSITION;
    }
    const double knots = ReadDouble(true);
    p->sog = IsNoData(knots) ? kGpsNoData : knots * 1.852;
    p->cog = ReadDouble(true);
    ReadDate();
    double variation = ReadDouble(false);
    if (ReadChar() == 'W') variation = -variation;
    p->magneticVariation = variation;
    CopyTime();
    p->updateBits |= ZN_GPS_UPDATE_TIME | ZN_GPS_UPDATE_DATE | ZN_GPS_UPDATE_SPEED;
    return true;
}

// Each GSA marks the satellites of its own solution only: a receiver that
// sends one GSA per satellite system ends up with the used flags of the last.
bool CNmeaParser::ParseGSA() {
    m_seen[kGSA] = 1;
    GpsPosition* p = m_position;
    ClearGpsSatellites(p);
    if (ReadChar() == 'M')
        p->modeBits |= 0x2;
    else
        p->modeBits &= ~0x2u;
    if (ReadInt() == 3)
        p->modeBits |= 0x1;
    else
        p->modeBits &= ~0x1u;
    for (int i = 0; i < 12; ++i)
        if (GpsSatellite* slot = GpsSatelliteSlot(p, ReadInt())) slot->flags |= ZN_GPS_SAT_USED;
    const double pdop = ReadDouble(true), hdop = ReadDouble(true), vdop = ReadDouble(true);
    p->pdop = pdop;
    p->hdop = hdop;
    p->vdop = vdop;
    if (!(IsNoData(pdop) && IsNoData(hdop) && IsNoData(vdop))) p->updateBits |= ZN_GPS_UPDATE_DOP;
    return true;
}

bool CNmeaParser::ParseGSV() {
    GpsPosition* p = m_position;
    const int total = ReadInt();
    const int number = ReadInt();
    if (number == 1 && !m_seen[kGSA]) ClearGpsSatellites(p);
    m_seen[kGSV] = 1;
    p->satellitesInView = static_cast<uint16_t>(ReadInt());
    // Only complete groups of four fields describe a satellite.
    while (m_cursor) {
        int prn = 0, elevation = 0, azimuth = 0;
        double snr = 0.0;
        prn = ReadInt();
        if (!m_cursor) break;
        elevation = ReadInt();
        if (!m_cursor) break;
        azimuth = ReadInt();
        if (!m_cursor) break;
        snr = ReadDouble(false);
        GpsSatellite* slot = GpsSatelliteSlot(p, prn);
        if (!slot) continue;
        slot->flags |= ZN_GPS_SAT_IN_VIEW;
        slot->elevation = static_cast<int16_t>(elevation);
        slot->azimuth = static_cast<int16_t>(azimuth);
        slot->snr = snr;
        if (snr > 0.0) {
            slot->flags &= ~(ZN_GPS_SAT_FLAG4 | ZN_GPS_SAT_FLAG8);
            slot->flags |= ZN_GPS_SAT_SIGNAL;
        }
    }
    if (number == total) p->updateBits |= ZN_GPS_UPDATE_SATELLITES;
    return true;
}

bool CNmeaParser::ParseVTG() {
    m_seen[kVTG] = 1;
    GpsPosition* p = m_position;
    p->cog = ReadDouble(true);
    SkipField();
    SkipField();
    SkipField();
    SkipField();
    SkipField();
    p->sog = ReadDouble(true);
    SkipField();
    p->updateBits |= ZN_GPS_UPDATE_SPEED;
    return true;
}

bool CNmeaParser::ParseZDA() {
    m_seen[kZDA] = 1;
    ReadTime();
    const bool haveDay = ReadField() && m_field[0];
    const int day = atoi(m_field);
    const bool haveMonth = ReadField() && m_field[0];
    const int month = atoi(m_field);
    const bool haveYear = ReadField() && std::strlen(m_field) == 4 && IsDigits(m_field, 4);
    const int year = haveYear ? atoi(m_field) : 0;
    if (haveDay && haveMonth && haveYear && day >= 1 && day <= 31 && month >= 1 && month <= 12) {
        m_time[3] = static_cast<uint16_t>(day);
        m_time[1] = static_cast<uint16_t>(month);
        m_time[0] = static_cast<uint16_t>(year);
    }
    CopyTime();
    m_position->updateBits |= ZN_GPS_UPDATE_TIME | ZN_GPS_UPDATE_DATE;
    return true;
}

bool CNmeaParser::ParseDPT() {
    m_seen[kDPT] = 1;
    m_position->depth = ReadDouble(true);
    m_position->depthOffset = ReadDouble(true);
    m_position->updateBits |= ZN_GPS_UPDATE_DEPTH;
    return true;
}

bool CNmeaParser::ParseMTW() {
    m_seen[kMTW] = 1;
    m_position->waterTemperature = ReadDouble(true);
    m_position->updateBits |= ZN_GPS_UPDATE_DEPTH;
    return true;
}

bool CNmeaParser::ParsePGRME() {
    m_seen[kPGRME] = 1;
    GpsPosition* p = m_position;
    const double hpe = ReadDouble(true);
    p->reportedHpe = hpe;
    p->hpe = hpe;
    SkipField();
    p->vpe = ReadDouble(true);
    SkipField();
    p->epe = ReadDouble(true);
    SkipField();
    p->updateBits |= ZN_GPS_UPDATE_ERROR;
    return true;
}

bool CNmeaParser::ParsePGRMT() {
    m_seen[kPGRMT] = 1;
    GpsPosition* p = m_position;
    if (!ReadField()) return false;
    CopyGpsText(p->receiverName, 40, m_field);
    for (int i = 0; i < 6; ++i) SkipField();
    p->receiverTemperature = ReadInt();
    p->receiverKind = 4;
    p->updateBits |= ZN_GPS_UPDATE_IDENTITY;
    return true;
}

bool CNmeaParser::ParsePGRMV() {
    m_seen[kPGRMV] = 1;
    GpsPosition* p = m_position;
    p->velocityEast = ReadDouble(false);
    p->velocityNorth = ReadDouble(false);
    p->velocityUp = ReadDouble(false);
    p->updateBits |= ZN_GPS_UPDATE_VELOCITY;
    return true;
}

bool CNmeaParser::ParsePASHR() {
    GpsPosition* p = m_position;
    p->receiverKind = 2;
    if (!ReadField()) return false;
    if (std::strcmp(m_field, "POS") == 0) {
        m_seen[kPashrPos] = 1;
        // Position type: empty is no fix, 0 autonomous, 1 and above differential.
        const bool haveType = ReadField() && m_field[0];
        const int type = haveType ? atoi(m_field) : 0;
        const int used = ReadInt();
        ReadTime();
        double lat = ReadDegMin();
        if (ReadChar() == 'S') lat = -lat;
        double lon = ReadDegMin();
        if (ReadChar() == 'W') lon = -lon;
        const double altitude = ReadDouble(false);
        SkipField();
        const double course = ReadDouble(true);
        const double speed = ReadDouble(true);
        const double climb = ReadDouble(true);
        const double pdop = ReadDouble(true), hdop = ReadDouble(true), vdop = ReadDouble(true),
                     tdop = ReadDouble(true);
        if (!haveType) {
            p->fixQuality = 0;
            p->updateBits |= ZN_GPS_UPDATE_FIX;
            return true;
        }
        p->fixQuality = type == 0 ? 1 : 2;
        p->satellitesUsed = static_cast<uint16_t>(used);
        p->cog = course;
        p->sog = speed;
        p->velocityUp = climb;
        p->pdop = pdop;
        p->hdop = hdop;
        p->vdop = vdop;
        p->tdop = tdop;
        p->longitude = lon;
        p->latitude = lat;
        p->height = altitude;
        CopyTime();
        p->updateBits |= ZN_GPS_UPDATE_POSITION | ZN_GPS_UPDATE_FIX | ZN_GPS_UPDATE_DOP |
                         ZN_GPS_UPDATE_TIME | ZN_GPS_UPDATE_SPEED;
        return true;
    }
    if (std::strcmp(m_field, "SAT") == 0) {
        m_seen[kPashrSat] = 1;
        ClearGpsSatellites(p);
        const int count = ReadInt();
        p->satellitesUsed = static_cast<uint16_t>(count);
        p->satellitesInView = static_cast<uint16_t>(count);
        for (int i = 0; i < count && m_cursor; ++i) {
            const int prn = ReadInt();
            const int azimuth = ReadInt();
            const int elevation = ReadInt();
            const int snr = ReadInt();
            const char usage = ReadChar();
            if (GpsSatellite* slot = GpsSatelliteSlot(p, prn)) {
                slot->elevation = static_cast<int16_t>(elevation);
                slot->azimuth = static_cast<int16_t>(azimuth);
                slot->snr = snr;
                slot->flags |= ZN_GPS_SAT_IN_VIEW;
                if (usage == 'U') slot->flags |= ZN_GPS_SAT_USED;
            }
        }
        p->updateBits |= ZN_GPS_UPDATE_SATELLITES;
        return true;
    }
    return false;
}

bool CNmeaParser::ParsePMGNVER() {
    m_seen[kPMGNVER] = 1;
    GpsPosition* p = m_position;
    if (p->receiverKind == 3) return true;
    p->productNumber = ReadInt();
    ReadField();
    CopyGpsText(p->receiverInfo, 40, m_field);
    ReadField();
    CopyGpsText(p->receiverName, 40, m_field);
    p->receiverKind = 3;
    p->updateBits |= ZN_GPS_UPDATE_IDENTITY;
    return true;
}

bool CNmeaParser::ParsePRWIRID() {
    m_seen[kPRWIRID] = 1;
    GpsPosition* p = m_position;
    if (p->receiverKind == 5) return true;
    SkipField();
    ReadField();
    char info[160];
    std::strcpy(info, m_field);
    std::strcat(info, " ");
    if (ReadField()) std::strcat(info, m_field);
    CopyGpsText(p->receiverInfo, 40, info);
    CopyGpsText(p->receiverName, 40, u"Rockwell");
    p->receiverKind = 5;
    p->updateBits |= ZN_GPS_UPDATE_IDENTITY;
    return true;
}

bool CNmeaParser::ParsePRWIZCH() {
    m_seen[kPRWIZCH] = 1;
    for (int i = 0; i < 24; ++i) SkipField();
    m_position->updateBits |= ZN_GPS_UPDATE_SATELLITES;
    return true;
}
