#pragma once

#include <vector>

#include "firmware/FirmwareImage.h"
#include "link/USBDeviceInfo.h"

// What is attached, as the window's poll and the command-line tool both judge it.
enum class ProbeSituation {
    NoProbe,        // no probe of ours
    SeveralProbes,  // more than one probe of ours
    Unsupported,    // one probe of ours that the catalogue has no image for
    NotUpdatable,   // one probe with an image, but no link to it over USB
    Ready,          // one probe this program can update
};

struct ProbeAssessment {
    ProbeSituation situation = ProbeSituation::NoProbe;
    USBDeviceInfo device;                // the one probe; empty for NoProbe and SeveralProbes
    const FirmwareImage* row = nullptr;  // its catalogue row: NotUpdatable and Ready only
};

// The probes among the listed USB devices: our vendor id and a product id of the probe model
// table, in listing order.
std::vector<USBDeviceInfo> selectProbes(const std::vector<USBDeviceInfo>& listing);

// Judges one probe by itself (NoProbe and SeveralProbes never come out).
ProbeAssessment assessProbe(const USBDeviceInfo& probe);

// Judges the probes selected from a listing: none, several, or the one probe by assessProbe.
ProbeAssessment assessProbes(const std::vector<USBDeviceInfo>& probes);

// The sentence that tells the user about `situation` (messages in firmware/UserMessages.h).
const char* situationMessage(ProbeSituation situation);
