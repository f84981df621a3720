#include "firmware/VersionDescription.h"

#include <cstring>

std::string versionNumber(FirmwareVersion version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

std::string versionDescription(uint16_t major, uint16_t minor, const char* buildText,
                               std::size_t buildTextMax) {
    const std::size_t length = buildText ? strnlen(buildText, buildTextMax) : 0;
    return versionNumber({major, minor}) + " - " + std::string(buildText ? buildText : "", length);
}
