#include "platform/Platform.h"

namespace platform {

std::unique_ptr<DeviceWatch> Platform::watchDevices(InterfaceClass) {
    return nullptr;
}

std::unique_ptr<UsbDevice> Platform::tryOpenUsbDevice(const std::string& devicePath,
                                                      OpenFailure& failure) {
    auto device = openUsbDevice(devicePath);
    if (!device)
        failure = {};
    return device;
}

Platform& systemPlatform() {
    static const std::unique_ptr<Platform> system = makeSystemPlatform();
    return *system;
}

}  // namespace platform
