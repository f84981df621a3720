#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/DeviceInterfaceNode.h"

namespace platform {

// Reads one sysfs attribute of a usb_device ("idVendor", "serial", ...); absent when the device
// has no such attribute or it cannot be read.
using SysAttributeReader = std::function<std::optional<std::string>(const char* name)>;

// The listing entry of a USB device from its sysfs attributes: the instance identifier composed
// from idVendor, idProduct and serial (with `portPath`, the device's sysfs name such as "1-2.3",
// standing in for a missing serial), manufacturer and product as they are, and `devicePath`.
// Null when the ids cannot be read, which makes the entry an empty slot of the listing.
std::optional<DeviceInterfaceNode> composeUsbInterfaceNode(const SysAttributeReader& attribute,
                                                           const std::string& portPath,
                                                           const std::string& devicePath);

// An id attribute such as "1a2b": one to four hexadecimal digits, optionally followed by
// whitespace. Null for anything else.
std::optional<uint16_t> parseSysfsUsbId(const std::string& text);

}  // namespace platform
