#pragma once

#include <cstdint>
#include <string>

// One attached USB device as the enumeration found it. A plain value: copies own their texts.
struct USBDeviceInfo {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serialNumber;
    std::string manufacturer;
    std::string deviceDescription;
    uint32_t interfaceKind = 0;
    std::string devicePath;  // on Linux the sysfs path, stable across re-enumeration on a port

    bool operator==(const USBDeviceInfo&) const = default;
};
