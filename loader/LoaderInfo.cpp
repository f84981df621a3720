#include "loader/LoaderInfo.h"

#include "firmware/VersionDescription.h"

bool holdsRecognisedFirmware(const LoaderInfo& info) {
    return info.firmwareMagic == installedFirmwareMagic &&
           info.firmwareFormat == installedFirmwareFormat;
}

std::string installedFirmwareDescription(const LoaderInfo& info) {
    return versionDescription(info.firmwareMajor, info.firmwareMinor, info.firmwareBuildText,
                              sizeof info.firmwareBuildText - 1);
}
