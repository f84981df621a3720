#pragma once

#include <cstdint>
#include <vector>

#include "link/USBDeviceInfo.h"
#include "platform/Context.h"
#include "platform/DeviceInterfaceNode.h"

// A filter value that accepts every vendor or product id.
inline constexpr uint32_t anyUsbId = 0xFFFFFFFF;

// The present USB devices of the interface class chosen by `kind` (0: every USB device, 3: HID
// devices) on the context's platform, one record per listed interface, in the platform's listing
// order. A filter other than anyUsbId keeps only devices whose parsed id equals it. Every failure
// below merely makes the result smaller or a record plainer; never throws. Keeps nothing between
// calls, so several threads may list at once.
std::vector<USBDeviceInfo> enumerateUSBDevices(platform::Context context, uint32_t kind,
                                               uint32_t vendorFilter, uint32_t productFilter);

// The same on the program's own system platform.
std::vector<USBDeviceInfo> enumerateUSBDevices(uint32_t kind, uint32_t vendorFilter,
                                               uint32_t productFilter);

// Copies of the records of `devices` whose vendor id equals `vendorId` (any vendor when it is
// negative) and whose product id is one of `productIds`, in their order.
std::vector<USBDeviceInfo> selectDevices(const std::vector<USBDeviceInfo>& devices,
                                         int32_t vendorId, const std::vector<int32_t>& productIds);

// The readable present interfaces of `cls`, from the first 127 entries of the platform listing.
std::vector<DeviceInterfaceNode> listDeviceInterfaces(platform::Context context,
                                                      platform::InterfaceClass cls);
