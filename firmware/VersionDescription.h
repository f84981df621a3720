#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A firmware version as the image header and the loader give it.
struct FirmwareVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    friend constexpr bool operator==(const FirmwareVersion&, const FirmwareVersion&) = default;
    // Older: a lower major version, or the same major and a lower minor, both as numbers (2.9 is
    // older than 2.10).
    friend constexpr bool operator<(const FirmwareVersion& a, const FirmwareVersion& b) {
        return a.major != b.major ? a.major < b.major : a.minor < b.minor;
    }
};

// "major.minor", e.g. "2.16": how every version is numbered on screen and in file names.
std::string versionNumber(FirmwareVersion version);

// "major.minor - build text", the way both the offered image and the installed firmware are
// described. The build text is taken up to its NUL (or `buildTextMax` bytes), byte for byte.
std::string versionDescription(uint16_t major, uint16_t minor, const char* buildText,
                               std::size_t buildTextMax);
