// NMEA 0183 sentences into the GPS position record.
#pragma once

#include <cstdint>

#include "include/zarnip/znex.h"

// The XOR of the characters after '$' up to '*' (or the end).
uint8_t NmeaChecksum(const char* sentence);
// True when the two characters after '*' are the checksum in upper-case
// hexadecimal. A sentence without '*' has no valid checksum.
bool NmeaCheckChecksum(const char* sentence);

class CNmeaParser {
public:
    // Parses one sentence (a line from the port; a trailing CR or LF is no
    // part of it) into the record. True when the record may have changed.
    bool ParseSentence(const char* sentence, GpsPosition* position);
    void SetChecksumRequired(bool required) { m_checksumRequired = required ? 1 : 0; }

    static constexpr int kMaxSentence = 255;

private:
    enum Seen { kGGA, kGLL, kGSA, kGSV, kHDG, kRMC, kRRE, kVTG, kZDA, kDPT, kMTW,
                kPashrSat, kPashrPos, kPGRME, kPGRMT, kPGRMV, kPMGNVER, kPRWIRID, kPRWIZCH,
                kSeenCount };

    // Field readers: each reads the next field. The checksum after '*' is
    // never a field; past the last field the cursor is null.
    bool ReadField();
    bool SkipField() { return ReadField(); }
    int ReadInt();
    double ReadDouble(bool noData);
    char ReadChar();
    double ReadDegMin();
    bool ReadTime();
    bool ReadDate();
    void CopyTime();

    bool ParseGGA();
    bool ParseGLL();
    bool ParseHDG();
    bool ParseRMC();
    bool ParseGSA();
    bool ParseGSV();
    bool ParseVTG();
    bool ParseZDA();
    bool ParseDPT();
    bool ParseMTW();
    bool ParsePGRME();
    bool ParsePGRMT();
    bool ParsePGRMV();
    bool ParsePASHR();
    bool ParsePMGNVER();
    bool ParsePRWIRID();
    bool ParsePRWIZCH();

    GpsPosition* m_position = nullptr;
    char m_sentence[256] = {};
    const char* m_cursor = nullptr;
    char m_field[64] = {};
    int32_t m_checksumRequired = 1;
    uint16_t m_time[8] = {};
    uint8_t m_seen[kSeenCount] = {};
};
