// The NMEA parser's reading of a receiver log against gpsd's reports of
// the same log (its .chk file): positions, heights, speeds and courses per
// second of UTC time, the DOPs of each GSA and the satellites of each
// complete GSV group.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "gps/gps_position.h"
#include "gps/nmea_parser.h"

namespace nmea_oracle {

inline bool Near(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

inline std::vector<std::string> LogLines(const std::string& name) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/gps/" + name, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        lines.push_back(line);
    }
    return lines;
}

inline bool Number(const std::string& json, const char* key, double* value) {
    const std::string k = std::string("\"") + key + "\":";
    const size_t at = json.find(k);
    if (at == std::string::npos) return false;
    *value = std::strtod(json.c_str() + at + k.size(), nullptr);
    return true;
}

struct Sat {
    int prn, el, az;
    double ss;
    bool used;
    auto Key() const { return std::tie(prn, el, az, ss); }
    bool operator<(const Sat& o) const { return std::tie(prn, el, az, ss, used) < std::tie(o.prn, o.el, o.az, o.ss, o.used); }
    bool operator==(const Sat& o) const = default;
};

struct Sky {
    double pdop = NAN, hdop = NAN, vdop = NAN;
    std::vector<Sat> sats;  // PRN 1 to 32
    bool hasSatellites = false;
};

struct Snapshot {
    int second;  // of the day, -1 without time
    double lat, lon, height, sog, cog;
};

struct Replay {
    std::vector<Snapshot> snapshots;
    std::vector<std::tuple<double, double, double>> gsaDops;
    std::vector<std::vector<Sat>> gsvGroups;
    std::set<int> qualities;
};

// Notes what the record holds after `line` was parsed into it and clears its
// update bits, as the map view does after each position.
inline void Collect(Replay& r, const std::string& line, GpsPosition& p) {
    const uint32_t bits = p.updateBits;
    p.updateBits = 0;
    const bool hasTime = p.utcTime[4] || p.utcTime[5] || p.utcTime[6];
    r.snapshots.push_back({hasTime ? p.utcTime[4] * 3600 + p.utcTime[5] * 60 + p.utcTime[6] : -1,
                           p.latitude, p.longitude, p.height, p.sog, p.cog});
    if (bits & 0x2) r.qualities.insert(p.fixQuality);
    const std::string address = line.substr(0, line.find(','));
    if (address.size() == 6 && address.substr(3) == "GSA" && (bits & ZN_GPS_UPDATE_DOP))
        r.gsaDops.emplace_back(p.pdop, p.hdop, p.vdop);
    if (address.size() == 6 && address.substr(3) == "GSV" && (bits & ZN_GPS_UPDATE_SATELLITES)) {
        std::vector<Sat> group;
        for (int k = 0; k < 32; ++k)
            if (p.satellites[k].flags & ZN_GPS_SAT_IN_VIEW)
                group.push_back({k + 1, p.satellites[k].elevation, p.satellites[k].azimuth,
                                 p.satellites[k].snr, (p.satellites[k].flags & ZN_GPS_SAT_USED) != 0});
        r.gsvGroups.push_back(group);
    }
}

inline Replay ReplayLog(const std::vector<std::string>& lines) {
    Replay r;
    CNmeaParser parser;
    GpsPosition p;
    ResetGpsPosition(&p);
    for (const std::string& line : lines) {
        EXPECT_TRUE(parser.ParseSentence((line + "\r").c_str(), &p) || p.errorCode == 0) << line;
        Collect(r, line, p);
    }
    return r;
}

struct Tpv {
    int second;  // -1 without time
    std::string json;
};

inline void ReadChk(const std::string& name, std::vector<Tpv>* tpvs, std::vector<Sky>* skies) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/gps/" + name + ".chk");
    std::string line;
    static const std::regex timeOfDay(R"("time":"[0-9-]+T(\d\d):(\d\d):(\d\d))");
    static const std::regex sat(R"(\{"PRN":(\d+),[^}]*?"az":([-0-9.]+),"el":([-0-9.]+)(?:,"ss":([0-9.]+))?,"used":(true|false))");
    while (std::getline(in, line)) {
        if (line.find("\"class\":\"TPV\"") != std::string::npos) {
            std::smatch m;
            int second = -1;
            if (std::regex_search(line, m, timeOfDay))
                second = std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]);
            tpvs->push_back({second, line});
        } else if (line.find("\"class\":\"SKY\"") != std::string::npos) {
            Sky sky;
            Number(line, "pdop", &sky.pdop);
            Number(line, "hdop", &sky.hdop);
            Number(line, "vdop", &sky.vdop);
            sky.hasSatellites = line.find("\"satellites\"") != std::string::npos;
            for (std::sregex_iterator it(line.begin(), line.end(), sat), end; it != end; ++it) {
                const int prn = std::stoi((*it)[1]);
                if (prn < 1 || prn > 32) continue;
                sky.sats.push_back({prn, static_cast<int>(std::stod((*it)[3])), static_cast<int>(std::stod((*it)[2])),
                                    (*it)[4].matched ? std::stod((*it)[4]) : 0.0, (*it)[5] == "true"});
            }
            std::sort(sky.sats.begin(), sky.sats.end());
            skies->push_back(sky);
        }
    }
}


// Lines as they came from the port (each may still carry its CR).
inline void ExpectReplayAgreesWithGpsd(const std::string& name, const Replay& r);

inline void ExpectAgreesWithGpsd(const std::string& name, const std::vector<std::string>& lines) {
    ExpectReplayAgreesWithGpsd(name, ReplayLog(lines));
}

inline void ExpectReplayAgreesWithGpsd(const std::string& name, const Replay& r) {
    std::vector<Tpv> tpvs;
    std::vector<Sky> skies;
    ReadChk(name, &tpvs, &skies);
    const bool fullHeight = name == "garmin17n.log" || name == "ublox-lea-4h.log" || name == "neo-m8n.log";

    int positions = 0;
    size_t next = 0;  // logs without time are matched in order
    for (const Tpv& t : tpvs) {
        double lat, lon;
        if (!Number(t.json, "lat", &lat) || !Number(t.json, "lon", &lon)) continue;
        ++positions;
        auto samePlace = [&](const Snapshot& s) { return Near(s.lat, lat, 1e-9) && Near(s.lon, lon, 1e-9); };
        bool found = false;
        if (t.second < 0) {
            for (; next < r.snapshots.size() && !found; ++next) found = samePlace(r.snapshots[next]);
        } else {
            for (const Snapshot& s : r.snapshots) found = found || (s.second == t.second && samePlace(s));
        }
        EXPECT_TRUE(found) << t.json;
        if (!fullHeight || t.second < 0) continue;
        double alt, speed, track;
        auto some = [&](auto pred) {
            for (const Snapshot& s : r.snapshots)
                if (s.second == t.second && pred(s)) return true;
            return false;
        };
        if (Number(t.json, "altHAE", &alt))
            EXPECT_TRUE(some([&](const Snapshot& s) { return Near(s.height, alt, 1e-4); })) << t.json;
        if (Number(t.json, "speed", &speed))
            EXPECT_TRUE(some([&](const Snapshot& s) { return Near(s.sog, speed * 3.6, 0.002); })) << t.json;
        if (Number(t.json, "track", &track))
            EXPECT_TRUE(some([&](const Snapshot& s) { return Near(s.cog, track, 1e-4); })) << t.json;
    }
    EXPECT_GT(positions, 0);

    if (name != "nmea-fuzzy-cases.log" && name != "rst39.log") {
        EXPECT_FALSE(r.gsaDops.empty());
        for (const auto& [pdop, hdop, vdop] : r.gsaDops) {
            bool found = false;
            for (const Sky& s : skies)
                found = found || (Near(s.pdop, pdop, 0.005) && Near(s.hdop, hdop, 0.005) && Near(s.vdop, vdop, 0.005));
            EXPECT_TRUE(found) << pdop << " " << hdop << " " << vdop;
        }
    }
    if (name == "ublox-lea-4h.log" || name == "GPSmap-76S.log" || name == "neo-m8n.log") {
        const bool withUsed = name != "neo-m8n.log";
        EXPECT_FALSE(r.gsvGroups.empty());
        for (const std::vector<Sat>& group : r.gsvGroups) {
            bool found = false;
            for (const Sky& s : skies) {
                if (!s.hasSatellites || s.sats.size() != group.size()) continue;
                bool same = true;
                for (size_t i = 0; i < group.size() && same; ++i)
                    same = group[i].Key() == s.sats[i].Key() && (!withUsed || group[i].used == s.sats[i].used);
                found = found || same;
            }
            std::ostringstream text;
            for (const Sat& s : group) text << s.prn << "/" << s.el << "/" << s.az << "/" << s.ss << (s.used ? "u " : " ");
            EXPECT_TRUE(found) << text.str();
        }
    }
    if (name == "GPSmap-76S.log") EXPECT_TRUE(r.qualities.count(8));
}

}  // namespace nmea_oracle
