#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Turns a NUL-terminated UTF-16 answer of a HID device into 8-bit text by keeping the low
// 8 bits of every unit, up to the first zero unit or `maxUnits` units. No code-page conversion:
// 0x00E9 becomes the single byte 0xE9.
std::string narrowUtf16(const uint16_t* units, std::size_t maxUnits);
