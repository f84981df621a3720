#pragma once

#include <optional>
#include <string>

namespace platform {

// The usbdevfs node (/dev/bus/usb/BBB/DDD) that the USB device at sysfs directory `sysfsPath`
// has now, from its `busnum` and `devnum` attributes. The sysfs path of a port stays put while
// the node changes each time the device re-enumerates, so the node is looked up at every open.
// Null when the directory or either attribute is missing or not a number in 1..999.
std::optional<std::string> usbDeviceNodeOf(const std::string& sysfsPath);

}  // namespace platform
