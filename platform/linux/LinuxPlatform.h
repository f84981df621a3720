#pragma once

#include "platform/Platform.h"

namespace platform {

// The real system: libudev for listing, libusb over the kernel's usbdevfs for transfers,
// hidraw for HID strings. Nothing is opened until a device is.
//
// Threads: every call may run on several threads at once. libudev objects must not be shared
// between threads at all, so each listing and each HID open makes its own `struct udev` and
// drops it before it returns, and a watch keeps its own for its life (used on the thread that
// made it). libusb's one context (LinuxUsbDevice.cpp) serves every thread, as libusb allows.
// libudev reads the environment: nothing may set variables while another thread lists.
class LinuxPlatform final : public Platform {
public:
    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(InterfaceClass cls,
                                                                   int maxEntries) override;
    std::unique_ptr<UsbDevice> openUsbDevice(const std::string& devicePath) override;
    // The errno of opening the node, or of the first request on it, and the node's path.
    std::unique_ptr<UsbDevice> tryOpenUsbDevice(const std::string& devicePath,
                                                OpenFailure& failure) override;
    std::unique_ptr<HidDevice> openHidDevice(const std::string& devicePath) override;
    // A udev monitor, made only where the udev daemon runs: without it no event ever comes.
    std::unique_ptr<DeviceWatch> watchDevices(InterfaceClass cls) override;
};

// The parts of the Linux backend, each in a file of its own.
std::vector<std::optional<DeviceInterfaceNode>> linuxListInterfaces(InterfaceClass cls,
                                                                    int maxEntries);
std::unique_ptr<UsbDevice> linuxOpenUsbDevice(const std::string& devicePath);
std::unique_ptr<UsbDevice> linuxOpenUsbDevice(const std::string& devicePath, OpenFailure& failure);
std::unique_ptr<HidDevice> linuxOpenHidDevice(const std::string& devicePath);
// Whether the udev daemon runs, which alone announces devices after its rules ran.
bool udevDaemonRuns();
// A monitor on the udev daemon's events for `cls`, whether or not the daemon runs (a umockdev
// testbed sends them in its place); null when libudev cannot make one.
std::unique_ptr<DeviceWatch> linuxWatchDevices(InterfaceClass cls);

}  // namespace platform
