#include "firmware/InstalledFirmware.h"

#include "firmware/FirmwareImageHeader.h"
#include "firmware/VersionDescription.h"
#include "loader/LoaderProtocol.h"

namespace {

constexpr uint32_t recognisedFormat = 1;

}  // namespace

bool holdsRecognisedFirmware(const LoaderInfo& info) {
    return info.firmwareMagic == firmwareImageMagic && info.firmwareFormat == recognisedFormat;
}

std::string installedFirmwareDescription(const LoaderInfo& info) {
    return versionDescription(info.firmwareMajor, info.firmwareMinor, info.firmwareBuildText,
                              sizeof info.firmwareBuildText - 1);
}

std::optional<std::string> readInstalledFirmware(HDataLink& link) {
    LoaderInfo info{};
    getLoaderInfo(link, info);
    if (!holdsRecognisedFirmware(info))
        return std::nullopt;
    return installedFirmwareDescription(info);
}
