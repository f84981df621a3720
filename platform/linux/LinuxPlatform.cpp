#include "platform/linux/LinuxPlatform.h"

namespace platform {

std::vector<std::optional<DeviceInterfaceNode>> LinuxPlatform::listInterfaces(InterfaceClass cls,
                                                                              int maxEntries) {
    return linuxListInterfaces(cls, maxEntries);
}

std::unique_ptr<UsbDevice> LinuxPlatform::openUsbDevice(const std::string& devicePath) {
    return linuxOpenUsbDevice(devicePath);
}

std::unique_ptr<UsbDevice> LinuxPlatform::tryOpenUsbDevice(const std::string& devicePath,
                                                           OpenFailure& failure) {
    return linuxOpenUsbDevice(devicePath, failure);
}

std::unique_ptr<HidDevice> LinuxPlatform::openHidDevice(const std::string& devicePath) {
    return linuxOpenHidDevice(devicePath);
}

std::unique_ptr<DeviceWatch> LinuxPlatform::watchDevices(InterfaceClass cls) {
    return udevDaemonRuns() ? linuxWatchDevices(cls) : nullptr;
}

std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<LinuxPlatform>();
}

}  // namespace platform
