#include "firmware/FirmwareImage.h"

bool isValidImage(const FirmwareImage& image) {
    const auto header = parseFirmwareImageHeader(image.data, image.size);
    return header && header->magic == firmwareImageMagic;
}

std::string imageVersionDescription(const FirmwareImage& image) {
    if (!isValidImage(image))
        return {};
    return versionDescription(*parseFirmwareImageHeader(image.data, image.size));
}
