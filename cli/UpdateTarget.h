#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "cli/ProbeSurvey.h"
#include "link/HDataLink.h"
#include "platform/Context.h"

struct FirmwareImage;

// The steps `update` takes with one probe, whether it installs the carried image or a file's.
namespace cli {

// One probe on its way through `update`: what is known of it and the link it is updated on. The
// link that reads the installed version is the one the update starts on, as in the window's
// panel. One thread works a target.
struct Target {
    Target(platform::Context on, const Console& out, const USBDeviceInfo& device);

    const platform::Context context;
    const Console& console;
    const ProbeReport report;
    const std::string& serial = report.device.serialNumber;
    const std::string name;  // "SERIAL (variant)"
    std::unique_ptr<HDataLink> link;
    std::optional<std::string> installed;
    // What goes onto the probe and what its loader is to report afterwards: the catalogue's image
    // and version, or a file's.
    const FirmwareImage* image = report.row;
    std::optional<std::string> expected = report.offered;
};

// A version for the user, or "not installed".
std::string versionText(const std::optional<std::string>& version);

// Whether the probe's flash holds `target.image`, block by block, after a line saying so.
// Throws HException.
bool holdsTargetImage(Target& target, const std::string& line);

// Says `line` (what goes where), then installs `target.image` with progress; the exit status.
int install(Target& target, const std::string& line);

// Reads the installed version back on a fresh link and holds it to `target.expected`.
int confirm(const Target& target);

}  // namespace cli
