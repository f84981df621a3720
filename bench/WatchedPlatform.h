#pragma once

#include <memory>

#include "platform/Platform.h"

namespace bench {

// Another platform's listing and opening, watched as the benchmark chooses: by the Linux udev
// monitor, made even where no udev daemon runs (a testbed stands in for it, or a quiet machine
// sends nothing), or by nothing, so that every tick lists. Made before the window whose poll it
// serves, destroyed after it.
class WatchedPlatform final : public platform::Platform {
public:
    WatchedPlatform(platform::Platform& listing, bool udevMonitor)
        : inner(listing), monitor(udevMonitor) {}

    std::vector<std::optional<DeviceInterfaceNode>> listInterfaces(platform::InterfaceClass cls,
                                                                   int maxEntries) override {
        return inner.listInterfaces(cls, maxEntries);
    }
    std::unique_ptr<platform::UsbDevice> openUsbDevice(const std::string& path) override {
        return inner.openUsbDevice(path);
    }
    std::unique_ptr<platform::HidDevice> openHidDevice(const std::string& path) override {
        return inner.openHidDevice(path);
    }
    std::unique_ptr<platform::DeviceWatch> watchDevices(platform::InterfaceClass cls) override;

private:
    platform::Platform& inner;
    const bool monitor;
};

}  // namespace bench
