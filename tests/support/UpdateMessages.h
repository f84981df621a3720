#pragma once

#include <set>
#include <string>

// Every text an update may end with: a loader, link or verify message, alone (connect,
// disconnect, making a link) or behind a phase's prefix. Tests and fuzz targets check that a
// failure is always one of these, never something half-built or empty.
inline const std::set<std::string>& updateFailureMessages() {
    static const std::set<std::string> texts = [] {
        const char* messages[] = {
            "write timed out",
            "hardware error: target JTAG adapter data link read timed out",
            "connect failed",
            "connect failed, unexpected tag returned",
            "disconnect failed",
            "disconnect failed, unexpected tag returned",
            "memory erase failed",
            "memory erase failed, unexpected tag returned",
            "memory write failed",
            "memory write failed, unexpected tag returned",
            "crc check mismatch",
            "Cannot open USB driver",
            "Cannot claim USB interface",
            "cannot reset FTDI device",
            "cannot purge RX",
            "cannot purge TX",
            "Cannot set latency timer",
        };
        std::set<std::string> all;
        for (const char* prefix : {"", "Erase failed : ", "Download failed : ", "Verify failed : "})
            for (const char* message : messages)
                all.insert(std::string(prefix) + message);
        return all;
    }();
    return texts;
}
