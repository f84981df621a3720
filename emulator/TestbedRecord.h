#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/VirtualDevice.h"

namespace emulator {

// One stay of a USB device on the emulated bus, as the kernel would publish it.
struct UsbDeviceEntry {
    std::string sysfsPath;  // "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2"
    int busnum = 1;
    int devnum = 0;
    sim::DeviceDescriptor descriptor;
    std::vector<uint8_t> descriptors;  // usbDescriptors()
};

// "/dev/bus/usb/001/005".
std::string usbNodePath(int busnum, int devnum);

// The device in umockdev's record format (umockdev_testbed_add_from_string): its sysfs
// directory with the attributes libudev and libusb read (ids, strings, bus and device number,
// the binary `descriptors`), the udev properties of a usb_device, and its usbdevfs node whose
// content is the descriptor block, which is what reading a real node gives. Texts and binary
// values go as upper-case hex (H: and N: lines) so that any byte survives; text attributes end
// in a newline as the kernel writes them.
std::string testbedRecord(const UsbDeviceEntry& entry);

}  // namespace emulator
