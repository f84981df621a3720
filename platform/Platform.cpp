#include "platform/Platform.h"

namespace platform {

namespace {
std::unique_ptr<Platform>& installed() {
    static std::unique_ptr<Platform> instance;
    return instance;
}
}  // namespace

std::unique_ptr<DeviceWatch> Platform::watchDevices(InterfaceClass) {
    return nullptr;
}

Platform& currentPlatform() {
    auto& instance = installed();
    if (!instance)
        instance = makeSystemPlatform();
    return *instance;
}

std::unique_ptr<Platform> installPlatform(std::unique_ptr<Platform> replacement) {
    auto previous = std::move(installed());
    installed() = std::move(replacement);
    return previous;
}

}  // namespace platform
