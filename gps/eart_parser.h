// The Earthmate binary word protocol: messages of 16-bit little-endian words
// after the sync word 0x81FF, with header and data checksums, and the
// "EARTHA" handshake text.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "include/zarnip/znex.h"

// The checksum of a run of words: the negated 16-bit sum, except that a sum
// of 0x7FFF gives 0x7FFF.
uint16_t EartChecksum(const uint16_t* words, int count);

// Message 1200: initial position (degrees, metres) and the UTC time given.
std::vector<uint16_t> EartBuildInitMessage(double latitude, double longitude, double height, const std::tm& utc);
// The wire bytes of a message: sync, id, n, flags 0, header checksum, data, data checksum.
std::vector<uint8_t> EartFrameMessage(uint16_t id, const std::vector<uint16_t>& data);

class CEartParser {
public:
    static constexpr int kMaxWords = 256;
    static constexpr int kHeaderBytes = 10;

    // The packet framer of the serial port. A message is delivered as its
    // header, its data words and one byte that is 1 when the data checksum
    // matched; the handshake as the six letters "EARTHA". The framer's state
    // lives in the packet buffer, after the room of the largest message.
    static bool FramePacket(const uint8_t* next, int* unread, uint8_t* packet, int* count);
    static bool IsHandshake(const uint8_t* packet, int count);

    // Decodes a delivered message into the record; true when it changed.
    bool Decode(const uint8_t* packet, int count, GpsPosition* position) const;
};
