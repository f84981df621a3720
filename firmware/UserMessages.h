#pragma once

#include <string>

// The sentences the program says about the attached probes, word for word; the window's status
// line and the command-line tool both take them from here.
namespace messages {

inline constexpr const char* noProbe =
    "No devices connected, attach the Velantrix you wish to configure.";
inline constexpr const char* severalProbes =
    "Multiple devices connected, attach only one Velantrix.";
inline constexpr const char* unsupported =
    "The attached Velantrix is not supported by Velantrix Update.";
inline constexpr const char* notUpdatable =
    "The attached Velantrix cannot be updated over its USB connection by Velantrix Update.";
inline constexpr const char* ready = "Device ready.";
// Shown in place of a version when the program's own image for the probe is unusable.
inline constexpr const char* invalidImage = "Invalid Firmware Image";
// While an update waits for a probe that restarted into its loader to come back.
inline std::string waitingForProbe(unsigned attempt, unsigned attempts) {
    return "Waiting for the Velantrix to come back (attempt " + std::to_string(attempt) + " of " +
           std::to_string(attempts) + ")";
}
// A link was asked for a model that has none; the assessment keeps this from happening.
inline constexpr const char* noUsbLink =
    "this Velantrix variant cannot be updated over its USB connection";

}  // namespace messages
