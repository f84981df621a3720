#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What became of one probe's update: what the command-line tool reports in its summary and
// what the history file keeps, from the window and the command-line tool alike. A plain value,
// copied freely between threads.

// How one probe's update ended.
enum class UpdateResult {
    Updated,   // the image was installed and the loader reports it
    UpToDate,  // the probe held the image already (block-checked); nothing was written
    Skipped,   // the probe cannot be updated (unsupported, no link); nothing was tried
    Failed,    // the update was tried and failed; `message` says why
};

struct UpdateRecord {
    std::string timeUtc;  // when the update ended, ISO 8601 in UTC: "2026-12-07T12:34:56Z"
    std::string serialNumber;
    std::string variant;                   // the catalogue row's name, e.g. "Velantrix Heron"
    std::optional<std::string> before;     // the installed version as the loader reported it
    std::optional<std::string> after;      // the version the loader reports afterwards
    uint32_t imageSize = 0;                // bytes of the image installed (or to be installed)
    uint32_t imageCrc = 0;                 // CRC-32 of those bytes
    std::optional<std::string> imageFile;  // the file it came from; null for the carried image
    UpdateResult result = UpdateResult::Failed;
    std::string message;   // why it failed, or what was said of it; empty when all went well
    double seconds = 0;    // from the first request to the end
    bool partWay = false;  // the firmware region was touched and not completed
    std::string programVersion;
};
