#include "bench/WatchScope.h"

#include "platform/Platform.h"
#include "platform/linux/LinuxPlatform.h"

namespace bench {

class WatchScope::Watched final : public platform::Platform {
public:
    Watched(std::unique_ptr<platform::Platform> wrapped, bool udevMonitor)
        : inner(std::move(wrapped)), monitor(udevMonitor) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                   int maxEntries) override {
        return inner->listInterfaces(cls, maxEntries);
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& path) override {
        return inner->openUsbDevice(path);
    }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& path) override {
        return inner->openHidDevice(path);
    }
    std::unique_ptr<platform::DeviceWatch> watchDevices(platform::InterfaceClass cls) override {
        return monitor ? platform::linuxWatchDevices(cls) : nullptr;
    }

    std::unique_ptr<platform::Platform> inner;

private:
    const bool monitor;
};

WatchScope::WatchScope(bool udevMonitor) {
    platform::currentPlatform();  // the system platform, if none was installed yet
    auto watched = std::make_unique<Watched>(nullptr, udevMonitor);
    installed = watched.get();
    installed->inner = platform::installPlatform(std::move(watched));
}

WatchScope::~WatchScope() {
    platform::installPlatform(std::move(installed->inner));
}

}  // namespace bench
