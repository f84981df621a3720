#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/ProbeSurvey.h"
#include "cli/UpdateEvents.h"
#include "firmware/UpdateRecord.h"
#include "link/HDataLink.h"
#include "platform/Context.h"

struct FirmwareImage;

// The steps `update` takes with one probe, whether it installs the carried image or a file's,
// on one probe or on many at once.
namespace cli {

// One probe on its way through `update`: what is known of it, the link it is updated on and its
// record so far. The link that reads the installed version is the one the update starts on, as
// in the window's panel. One thread works a target; targets of different probes share nothing
// but the context and the events, which are both made for several threads.
struct Target {
    Target(platform::Context on, UpdateEvents& sink, const USBDeviceInfo& device);

    const platform::Context context;
    UpdateEvents& events;
    const ProbeReport report;
    const std::string& serial = report.device.serialNumber;
    std::unique_ptr<HDataLink> link;
    std::optional<std::string> installed;
    // What goes onto the probe and what its loader is to report afterwards: the catalogue's image
    // and version, or a file's.
    const FirmwareImage* image = report.row;
    std::optional<std::string> expected = report.offered;
    UpdateRecord record;
    const uint32_t startedMs;

    void say(const std::string& line) const { events.said(serial, line); }
};

// A version for the user, or "not installed".
std::string versionText(const std::optional<std::string>& version);

// The variant as the tool names a probe: the catalogue row's name, else its product id.
std::string variantOf(const ProbeReport& report);

// Whether the probe's flash holds `target.image`, block by block, after a line saying so.
// Throws HException.
bool holdsTargetImage(Target& target, const std::string& line);

// Says `line` (what goes where), then installs `target.image` with progress. False when it
// failed, the record saying how (finish it with finishTarget).
bool install(Target& target, const std::string& line);

// Reads the installed version back on a fresh link and holds it to `target.expected`; false
// when that fails, the record saying how.
bool confirm(Target& target);

// Ends the record (`result`, `message` unless one is there, the seconds since the target was
// made), tells the events it finished and answers it.
UpdateRecord finishTarget(Target& target, UpdateResult result, const std::string& message = {});

}  // namespace cli
