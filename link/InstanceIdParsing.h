#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What an instance identifier such as "USB\VID_1A2B&PID_0006\1234abCD" tells about a device.
struct ParsedInstanceId {
    uint16_t vendorId = 0;   // 0 when the identifier holds none
    uint16_t productId = 0;  // 0 when the identifier holds none
    std::string serialNumber;
};

// Splits the identifier at its backslashes and reads the ids from the second component and the
// serial number from the third. Null when there are fewer than three components (a root hub's
// identifier, for instance), which the enumeration skips.
std::optional<ParsedInstanceId> parseInstanceId(const std::string& instanceId);
