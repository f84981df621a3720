#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"

struct FirmwareImage;

namespace cli {

// Where an attached probe stands with this program.
enum class ProbeState {
    Ready,        // its loader answered; `installed` and `offered` are known
    Unsupported,  // a probe of ours that the catalogue has no image for
    Unreachable,  // the catalogue has its image, but there is no link to it over USB
    Error,        // the link or the loader failed; `message` says how
};

struct ProbeReport {
    USBDeviceInfo device;
    const FirmwareImage* row = nullptr;  // null when Unsupported
    ProbeState state = ProbeState::Error;
    std::optional<std::string> installed;  // null: not installed, or not asked (state not Ready)
    std::optional<std::string> offered;    // null without a row or with an invalid image
    std::string message;                   // why not; empty when Ready with a valid image
    // Whether the flash holds the offered image block for block; asked (list --check) only of a
    // probe that reports the offered version, which its header alone may claim.
    std::optional<bool> holdsOffered;

    // Ready, an image to offer, and the probe runs something else (or nothing we recognise, or a
    // flash the block check found different).
    bool updateAvailable() const;
};

// The attached supported-vendor probes with a product id of ours, in the platform's order:
// the same selection the window's poll makes.
std::vector<USBDeviceInfo> attachedProbes(platform::Context context);

// Everything but the loader's answer: the catalogue row, the offered version and, for a probe
// that cannot be updated, why not. The state is Ready when nothing stands in the way yet.
ProbeReport describeProbe(const USBDeviceInfo& device);

// describeProbe, then, for a probe that can be reached, a link of its own to ask the loader.
// Never throws: device errors end up in the report. Keeps nothing: probes may be surveyed on
// several threads at once.
// With `checkOffered`, a probe that reports the offered version also gets the block check on the
// same link, as `update` makes it before leaving a probe alone. That connects to the loader, so
// a probe that restarts into its loader on connect does so; hence only on request.
ProbeReport surveyProbe(platform::Context context, const USBDeviceInfo& device,
                        bool checkOffered = false);

}  // namespace cli
