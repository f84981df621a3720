#include "firmware/FirmwareImageHeader.h"

#include <cstring>

#include "firmware/VersionDescription.h"
#include "platform/LittleEndian.h"

std::optional<FirmwareImageHeader> parseFirmwareImageHeader(const uint8_t* bytes,
                                                            std::size_t length) {
    if (!bytes || length < firmwareImageHeaderFixedSize)
        return std::nullopt;
    namespace at = imageHeaderOffset;
    FirmwareImageHeader header;
    header.magic = readLe32(bytes + at::magic);
    header.headerSize = readLe32(bytes + at::headerSize);
    header.payloadSize = readLe32(bytes + at::payloadSize);
    header.payloadCrc = readLe32(bytes + at::payloadCrc);
    header.imageFormat = readLe32(bytes + at::imageFormat);
    header.majorVersion = readLe16(bytes + at::majorVersion);
    header.minorVersion = readLe16(bytes + at::minorVersion);
    std::memcpy(header.buildText, bytes + at::buildText, sizeof header.buildText);
    return header;
}

std::array<uint8_t, firmwareImageHeaderFixedSize> encodeFirmwareImageHeader(
    const FirmwareImageHeader& header) {
    namespace at = imageHeaderOffset;
    std::array<uint8_t, firmwareImageHeaderFixedSize> bytes{};
    writeLe(bytes.data() + at::magic, header.magic, 4);
    writeLe(bytes.data() + at::headerSize, header.headerSize, 4);
    writeLe(bytes.data() + at::payloadSize, header.payloadSize, 4);
    writeLe(bytes.data() + at::payloadCrc, header.payloadCrc, 4);
    writeLe(bytes.data() + at::imageFormat, header.imageFormat, 4);
    writeLe(bytes.data() + at::majorVersion, header.majorVersion, 2);
    writeLe(bytes.data() + at::minorVersion, header.minorVersion, 2);
    std::memcpy(bytes.data() + at::buildText, header.buildText, sizeof header.buildText);
    return bytes;
}

std::string versionDescription(const FirmwareImageHeader& header) {
    return versionDescription(header.majorVersion, header.minorVersion, header.buildText,
                              sizeof header.buildText);
}
