#include "firmware/InstalledFirmware.h"

#include "firmware/FirmwareImageHeader.h"
#include "firmware/VersionDescription.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"

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

std::optional<InstalledFirmware> readInstalledVersion(HDataLink& link) {
    const unsigned readMs = link.readTimeoutMs();
    const unsigned writeMs = link.writeTimeoutMs();
    link.setTimeout(loaderInfoTimeoutMs);
    LoaderInfo info{};
    try {
        getLoaderInfo(link, info);
    } catch (HException&) {
        link.setTimeouts(readMs, writeMs);
        throw;
    }
    link.setTimeouts(readMs, writeMs);
    if (!holdsRecognisedFirmware(info))
        return std::nullopt;
    return InstalledFirmware{{info.firmwareMajor, info.firmwareMinor},
                             installedFirmwareDescription(info)};
}

std::optional<std::string> readInstalledFirmware(HDataLink& link) {
    const auto installed = readInstalledVersion(link);
    return installed ? std::optional(installed->description) : std::nullopt;
}
