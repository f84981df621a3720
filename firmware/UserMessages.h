#pragma once

#include <string>

// The sentences the firmware layer says, word for word: about the attached probes, and what an
// update says while it runs and when it fails. The window's status line and the command-line
// tool both take them from here; the links' and the loader's own sentences are in
// link/LinkMessages.h and loader/LoaderMessages.h.
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
// The update's phases: what each says while it runs, and the prefix its failures carry in front
// of the loader's message.
inline constexpr const char* erasing = "Erasing memory, do not remove Velantrix";
inline constexpr const char* downloading = "Downloading firmware, do not remove Velantrix";
inline constexpr const char* verifying = "Verifying firmware";
inline constexpr const char* checking = "Checking firmware";
inline constexpr const char* eraseFailed = "Erase failed : ";
inline constexpr const char* downloadFailed = "Download failed : ";
inline constexpr const char* verifyFailed = "Verify failed : ";
inline constexpr const char* checkFailed = "Check failed : ";
// What a phase's progress counts.
inline constexpr const char* progressUnits = "bytes";
// A block whose CRC on the probe differs from the image's.
inline constexpr const char* crcMismatch = "crc check mismatch";
// A link was asked for a model that has none; the assessment keeps this from happening.
inline constexpr const char* noUsbLink =
    "this Velantrix variant cannot be updated over its USB connection";

}  // namespace messages
