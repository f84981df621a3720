#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// The sentences the firmware layer says, word for word: about the attached probes, and what an
// update says while it runs and when it fails. The window's status line and the command-line
// tool both take them from here; the links' and the loader's own sentences are in
// link/LinkMessages.h and loader/LoaderMessages.h.
namespace messages {

// A 32-bit value as the image header is described: "0x" and upper-case hex digits, no padding
// ("0x40", "0xCAFEF00D").
inline std::string hexText(uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

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

// Why an image file cannot be installed: each follows the file's name ("FILE: is ...").
inline std::string imageFileUnreadable(const std::string& why) {
    return "cannot be read: " + why;
}
inline constexpr const char* imageFileChanged = "changed while it was being read";
inline std::string imageFileTooLarge(std::uintmax_t size, std::size_t limit) {
    return "is " + std::to_string(size) + " bytes, larger than " + std::to_string(limit >> 20) +
           " MiB: no Velantrix firmware is that large";
}
inline std::string imageFileShorterThanHeader(std::size_t size, std::size_t headerSize) {
    return "is shorter than its header (" + std::to_string(size) + " of " +
           std::to_string(headerSize) + " bytes)";
}
inline std::string imageFileWrongMagic(uint32_t magic, uint32_t expected) {
    return "is not a Velantrix firmware image (it starts with " + hexText(magic) + ", not " +
           hexText(expected) + ")";
}
inline std::string imageFileWrongHeaderSize(uint32_t headerSize, const std::string& variant,
                                            uint32_t variantHeaderSize) {
    return "has a header of " + hexText(headerSize) + " bytes, but images for the " + variant +
           " have " + hexText(variantHeaderSize);
}
inline std::string imageFileUnknownHeaderSize(uint32_t headerSize) {
    return "has a header of " + hexText(headerSize) +
           " bytes, which no Velantrix variant's image has";
}
inline std::string imageFileWrongSize(std::size_t size, uint32_t headerSize, uint32_t payloadSize) {
    return "is " + std::to_string(size) + " bytes, but its header says " + hexText(headerSize) +
           " + " + std::to_string(payloadSize) + " bytes of payload";
}
inline std::string imageFileWrongCrc(uint32_t computed, uint32_t stored) {
    return "has a payload whose CRC is " + hexText(computed) + ", not the " + hexText(stored) +
           " its header says";
}

// When an update cannot be added to the history: a warning only, the update is what it was.
inline std::string historyNotWritten(const std::string& path, const std::string& reason) {
    return "the update was not recorded in the history " + path + ": " + reason;
}
inline constexpr const char* historyWithoutHome =
    "the update was not recorded in the history: no home folder is set to keep it in";

}  // namespace messages
