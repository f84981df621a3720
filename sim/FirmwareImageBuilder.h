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
    uint32_t payloadSize = 4096;               // pseudo-random bytes, the same every time
};

// An image in the firmware image format (firmware/FirmwareImageHeader.h): a header of 64 bytes
// (format 1), then the payload.
std::vector<uint8_t> buildFirmwareImage(const ImageSpec& spec);

}  // namespace sim
