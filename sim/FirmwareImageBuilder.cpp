#include "sim/FirmwareImageBuilder.h"

#include <algorithm>

#include "firmware/FirmwareImageHeader.h"
#include "loader/Crc32.h"

namespace sim {

std::vector<uint8_t> buildFirmwareImage(const ImageSpec& spec) {
    constexpr uint32_t headerSize = firmwareImageHeaderFixedSize;
    std::vector<uint8_t> image(headerSize + spec.payloadSize, 0);

    uint32_t state = 1;
    for (std::size_t i = headerSize; i < image.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[i] = static_cast<uint8_t>(state >> 24);
    }

    FirmwareImageHeader header;
    header.magic = firmwareImageMagic;
    header.headerSize = headerSize;
    header.payloadSize = spec.payloadSize;
    header.payloadCrc = crc32(image.data() + headerSize, spec.payloadSize);
    header.imageFormat = 1;
    header.majorVersion = spec.majorVersion;
    header.minorVersion = spec.minorVersion;
    const std::size_t textLength = std::min(spec.buildText.size(), sizeof header.buildText - 1);
    std::copy_n(spec.buildText.begin(), textLength, header.buildText);
    const auto fixedPart = encodeFirmwareImageHeader(header);
    std::copy(fixedPart.begin(), fixedPart.end(), image.begin());
    return image;
}

}  // namespace sim
