// NMEA lines from any bytes into one long-lived parser, so that the seen
// flags and the satellite slots accumulate across inputs; every other line
// is parsed without the checksum requirement. The record's bytes outside
// its fields must never change.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gps/gps_position.h"
#include "gps/nmea_parser.h"

namespace {

// Fields of the record by offset: reserved bytes are everything else.
bool IsReserved(size_t offset) {
    struct Range {
        size_t begin, end;
    } reserved[] = {{4, 24},     {32, 40},    {72, 104},   {126, 128},  {304, 440},
                    {464, 666},  {670, 680},  {3504, 4024}, {4332, 4336}, {4512, 4552}};
    for (const Range& r : reserved)
        if (offset >= r.begin && offset < r.end) return true;
    if (offset >= 688 && offset < 3504 && (offset - 688) % 88 >= 16) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CNmeaParser parser;
    static GpsPosition position;
    static bool ready = false;
    static unsigned count = 0;
    if (!ready) {
        ResetGpsPosition(&position);
        std::memset(position.reserved4, 0x5A, sizeof position.reserved4);
        ready = true;
    }
    static GpsPosition before;
    std::memcpy(&before, &position, sizeof position);

    std::string line(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find('\n', start);
        if (end == std::string::npos) end = line.size();
        const std::string one = line.substr(start, end - start);
        parser.SetChecksumRequired((count++ & 1) == 0);
        parser.ParseSentence(one.c_str(), &position);
        start = end + 1;
    }

    const auto* a = reinterpret_cast<const uint8_t*>(&before);
    const auto* b = reinterpret_cast<const uint8_t*>(&position);
    for (size_t i = 0; i < sizeof position; ++i)
        if (IsReserved(i) && a[i] != b[i]) std::abort();
    return 0;
}
