// Shared by the binary GPS protocol fuzz targets: arbitrary bytes in
// arbitrary chunks through a protocol's framer, each packet into its
// decoder. The record's bytes outside its fields never change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gps/gps_position.h"
#include "gps/serial_assembly.h"

template <typename Parser>
int FuzzFramedProtocol(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static Parser parser;
    static GpsPosition position, guard;
    ResetGpsPosition(&position);
    std::memset(position.reserved304, 0x5A, sizeof position.reserved304);
    std::memset(position.reserved3504, 0xA5, sizeof position.reserved3504);
    std::memcpy(&guard, &position, sizeof position);

    CSerialAssembler assembler;
    assembler.SetFramer(Parser::FramePacket);
    const int chunk = data[0] % 17 + 1;
    for (size_t at = 1; at < size; at += static_cast<size_t>(chunk)) {
        const size_t n = size - at < static_cast<size_t>(chunk) ? size - at : static_cast<size_t>(chunk);
        assembler.Feed(data + at, static_cast<int>(n),
                       [&](const uint8_t* packet, int count) { parser.Decode(packet, count, &position); });
    }
    if (std::memcmp(position.reserved304, guard.reserved304, sizeof guard.reserved304) != 0 ||
        std::memcmp(position.reserved3504, guard.reserved3504, sizeof guard.reserved3504) != 0 ||
        std::memcmp(position.reserved4512, guard.reserved4512, sizeof guard.reserved4512) != 0)
        std::abort();
    return 0;
}
