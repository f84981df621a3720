#include "loader/Crc32.h"

#include <array>

namespace {

// Entry i is the remainder of i shifted into the top byte, divided by the polynomial.
constexpr std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i << 24;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
        }
        table[i] = value;
    }
    return table;
}

constexpr std::array<uint32_t, 256> table = makeTable();

}  // namespace

uint32_t crc32(const uint8_t* data, std::size_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc = table[((crc >> 24) ^ data[i]) & 0xFFu] ^ (crc << 8);
    }
    return crc ^ 0xFFFFFFFFu;
}
