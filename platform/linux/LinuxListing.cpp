#include "platform/linux/LinuxPlatform.h"

namespace platform {

// Placeholder until the libudev listing lands.
std::vector<std::optional<DeviceInterfaceNode>> linuxListInterfaces(InterfaceClass, int) {
    return {};
}

std::unique_ptr<HidDevice> linuxOpenHidDevice(const std::string&) {
    return nullptr;
}

}  // namespace platform
