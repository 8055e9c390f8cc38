// The record-offset index of a shapefile (`.shx`) and of a shape file pair
// (`.sbx`): a 100-byte header, then one 8-byte entry a record giving the
// record's offset in the main file and its content length, each a signed
// count of 16-bit words. Entries are big-endian; only the pair's prefixed
// read-only form stores them little-endian, after a prefix of 256 bytes.
// What marks a record deleted is each format's own (a zero length in `.shx`,
// the deletion marker in `.sbx`), so it stays with its reader.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/byte_order.h"

namespace index_entry {

constexpr int64_t kFirst = 100;
constexpr int64_t kSize = 8;

// Where entry `record` starts, `prefix` bytes into the file; also the size of
// an index of `record` entries.
constexpr int64_t Position(int64_t record, int64_t prefix = 0) {
    return prefix + kFirst + kSize * record;
}

// How many whole entries an index of `bytes` bytes (without a prefix) holds.
inline int Count(int64_t bytes) {
    return bytes < kFirst
               ? 0
               : static_cast<int>(std::min<int64_t>((bytes - kFirst) / kSize, 0x7FFFFFFF));
}

// An entry's numbers as stored, in 16-bit words.
struct Words {
    int32_t offset = 0;
    int32_t length = 0;
};

inline Words Decode(const uint8_t* entry, bool littleEndian = false) {
    if (littleEndian)
        return {static_cast<int32_t>(byte_order::LoadLe32(entry)),
                static_cast<int32_t>(byte_order::LoadLe32(entry + 4))};
    return {static_cast<int32_t>(byte_order::LoadBe32(entry)),
            static_cast<int32_t>(byte_order::LoadBe32(entry + 4))};
}

// Words to bytes; a negative count stays negative.
constexpr int64_t Bytes(int32_t words) {
    return 2 * int64_t{words};
}

// An entry for a record at `offset` with `length` content bytes (both even).
inline void Encode(uint8_t* entry, int64_t offset, int64_t length) {
    byte_order::StoreBe32(entry, static_cast<uint32_t>(offset / 2));
    byte_order::StoreBe32(entry + 4, static_cast<uint32_t>(length / 2));
}

}  // namespace index_entry
