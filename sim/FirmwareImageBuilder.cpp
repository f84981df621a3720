#include "sim/FirmwareImageBuilder.h"

#include <algorithm>

#include "firmware/FirmwareImageHeader.h"
#include "loader/Crc32.h"
#include "platform/LittleEndian.h"

namespace sim {

namespace {

constexpr std::size_t kBuildTextField = 40;
constexpr std::size_t kBuildTextOffset = 24;

}  // namespace

std::vector<uint8_t> buildFirmwareImage(const ImageSpec& spec) {
    const uint32_t headerSize = std::max<uint32_t>(spec.headerSize, 0x40);
    std::vector<uint8_t> image(headerSize + spec.payloadSize, 0);

    uint32_t state = spec.seed ? spec.seed : 1;
    for (std::size_t i = headerSize; i < image.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[i] = static_cast<uint8_t>(state >> 24);
    }

    writeLe(image.data() + 0, firmwareImageMagic, 4);
    writeLe(image.data() + 4, headerSize, 4);
    writeLe(image.data() + 8, spec.payloadSize, 4);
    writeLe(image.data() + 12, crc32(image.data() + headerSize, spec.payloadSize), 4);
    writeLe(image.data() + 16, spec.imageFormat, 4);
    writeLe(image.data() + 20, spec.majorVersion, 2);
    writeLe(image.data() + 22, spec.minorVersion, 2);
    const std::size_t textLength = std::min(spec.buildText.size(), kBuildTextField - 1);
    std::copy_n(spec.buildText.begin(), textLength, image.begin() + kBuildTextOffset);
    return image;
}

}  // namespace sim
