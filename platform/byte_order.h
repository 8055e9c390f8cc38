// Fixed-size integers stored in a stated byte order, whatever the host's:
// each file format says which order its fields use (the shapefile header is
// partly big-endian, dBASE and bitmap files are little-endian). Floating
// values are IEEE 754 single or double, moved as their bit patterns.
#pragma once

#include <bit>
#include <cstdint>

namespace byte_order {

inline uint16_t LoadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t LoadBe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t LoadBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
inline uint64_t LoadBe64(const uint8_t* p) {
    return uint64_t{LoadBe32(p)} << 32 | LoadBe32(p + 4);
}
inline float LoadBeFloat(const uint8_t* p) {
    return std::bit_cast<float>(LoadBe32(p));
}
inline double LoadBeDouble(const uint8_t* p) {
    return std::bit_cast<double>(LoadBe64(p));
}
inline void StoreLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreBe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void StoreBeFloat(uint8_t* p, float v) {
    StoreBe32(p, std::bit_cast<uint32_t>(v));
}

}  // namespace byte_order
