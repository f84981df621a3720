#pragma once

#include <optional>
#include <string>

#include "firmware/VersionDescription.h"
#include "link/HDataLink.h"
#include "loader/LoaderInfo.h"

// What the probe's loader reports about the firmware above it. The firmware fields mean
// something only for an image the loader recognised: one that opens with the image magic, in
// format 1.
bool holdsRecognisedFirmware(const LoaderInfo& info);

// "major.minor - build text" of the installed firmware, formed exactly like the description of
// an offered image. Meaningful only when holdsRecognisedFirmware(info).
std::string installedFirmwareDescription(const LoaderInfo& info);

// A loader answers its information request at once. The window asks it while building the
// probe's panel on its poll, so a probe that does not answer is given up on long before an
// update's 60 s bound, and the window is not frozen for a minute: within 2 s, and a little less,
// so that with the 1 s an FTDI bridge link spends draining the channel when it opens, the window
// is answering again within 3 s.
inline constexpr unsigned loaderInfoTimeoutMs = 1950;

// Asks the loader over `link`, bounded by loaderInfoTimeoutMs (the link's own bounds are put
// back afterwards): the installed firmware's description, or nothing when the loader does not
// recognise an image. Throws HException as getLoaderInfo does.
std::optional<std::string> readInstalledFirmware(HDataLink& link);

// The same, with the version as numbers, for holding it against another.
struct InstalledFirmware {
    FirmwareVersion version;
    std::string description;
};
std::optional<InstalledFirmware> readInstalledVersion(HDataLink& link);
