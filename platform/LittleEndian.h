#pragma once

#include <cstddef>
#include <cstdint>

// Every multi-byte field that the probe, its loader frames, its images and USB setup packets
// carry is little-endian, whatever the host's byte order.

inline uint16_t readLe16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

inline uint32_t readLe32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

// Stores the low `bytes` bytes of `value` at `at`, least significant first.
inline void writeLe(uint8_t* at, uint32_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}
