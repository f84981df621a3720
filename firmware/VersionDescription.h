#pragma once

#include <cstdint>
#include <string>

// "major.minor - build text", the way both the offered image and the installed firmware are
// described. The build text is taken up to its NUL (or `buildTextMax` bytes), byte for byte.
std::string versionDescription(uint16_t major, uint16_t minor, const char* buildText,
                               std::size_t buildTextMax);
