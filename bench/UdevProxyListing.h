#pragma once

#include <cstddef>

namespace bench {

// The calls the Linux lister makes for every USB device (an enumeration by subsystem, then per
// entry: a device from its sysfs path, its devtype, five sysfs attributes, its name), made on
// the devices of another subsystem that this machine does have. On a machine without USB devices
// this is the nearest measure of what each listed device costs on real sysfs. Answers how many
// devices it went through.
std::size_t udevProxyListing(const char* subsystem);

}  // namespace bench
