#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32/BZIP2: polynomial 0x04C11DB7, initial 0xFFFFFFFF, MSB first, final XOR 0xFFFFFFFF.
// The probe computes the same over its memory; "123456789" gives 0xFC891918.
uint32_t crc32(const uint8_t* data, std::size_t length);
