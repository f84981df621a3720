#include "platform/Platform.h"

namespace platform {

std::unique_ptr<DeviceWatch> Platform::watchDevices(InterfaceClass) {
    return nullptr;
}

Platform& systemPlatform() {
    static const std::unique_ptr<Platform> system = makeSystemPlatform();
    return *system;
}

}  // namespace platform
