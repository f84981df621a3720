#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// What goes into a made-up firmware image for tests and benchmarks.
struct ImageSpec {
    uint16_t majorVersion = 1;
    uint16_t minorVersion = 0;
    std::string buildText = "Build: virtual";  // at most 39 characters are kept
    uint32_t payloadSize = 4096;
    uint32_t headerSize = 0x40;  // 0x40, or 0x48 with two extension words
    uint32_t imageFormat = 1;
    uint32_t seed = 1;  // payload bytes are a pseudo-random sequence
};

// An image in the firmware image format (firmware/FirmwareImageHeader.h): the header, with the
// payload's CRC and any extension words zero, then the payload.
std::vector<uint8_t> buildFirmwareImage(const ImageSpec& spec);

}  // namespace sim
