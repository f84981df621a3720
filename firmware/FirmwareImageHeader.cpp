#include "firmware/FirmwareImageHeader.h"

#include <cstring>

#include "firmware/VersionDescription.h"

namespace {

uint32_t le32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

uint16_t le16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

}  // namespace

std::optional<FirmwareImageHeader> parseFirmwareImageHeader(const uint8_t* bytes,
                                                            std::size_t length) {
    if (!bytes || length < firmwareImageHeaderFixedSize)
        return std::nullopt;
    FirmwareImageHeader header;
    header.magic = le32(bytes + 0);
    header.headerSize = le32(bytes + 4);
    header.payloadSize = le32(bytes + 8);
    header.payloadCrc = le32(bytes + 12);
    header.imageFormat = le32(bytes + 16);
    header.majorVersion = le16(bytes + 20);
    header.minorVersion = le16(bytes + 22);
    std::memcpy(header.buildText, bytes + 24, sizeof header.buildText);
    return header;
}

std::string versionDescription(const FirmwareImageHeader& header) {
    return versionDescription(header.majorVersion, header.minorVersion, header.buildText,
                              sizeof header.buildText);
}
