#include "firmware/VersionDescription.h"

#include <cstring>

std::string versionDescription(uint16_t major, uint16_t minor, const char* buildText,
                               std::size_t buildTextMax) {
    const std::size_t length = buildText ? strnlen(buildText, buildTextMax) : 0;
    return std::to_string(major) + "." + std::to_string(minor) + " - " +
           std::string(buildText ? buildText : "", length);
}
