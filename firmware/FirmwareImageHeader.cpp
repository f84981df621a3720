#include "firmware/FirmwareImageHeader.h"

#include <cstring>

#include "firmware/VersionDescription.h"
#include "platform/LittleEndian.h"

std::optional<FirmwareImageHeader> parseFirmwareImageHeader(const uint8_t* bytes,
                                                            std::size_t length) {
    if (!bytes || length < firmwareImageHeaderFixedSize)
        return std::nullopt;
    FirmwareImageHeader header;
    header.magic = readLe32(bytes + 0);
    header.headerSize = readLe32(bytes + 4);
    header.payloadSize = readLe32(bytes + 8);
    header.payloadCrc = readLe32(bytes + 12);
    header.imageFormat = readLe32(bytes + 16);
    header.majorVersion = readLe16(bytes + 20);
    header.minorVersion = readLe16(bytes + 22);
    std::memcpy(header.buildText, bytes + 24, sizeof header.buildText);
    return header;
}

std::string versionDescription(const FirmwareImageHeader& header) {
    return versionDescription(header.majorVersion, header.minorVersion, header.buildText,
                              sizeof header.buildText);
}
