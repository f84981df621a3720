#include "platform/windows/WindowsPlatform.h"

namespace platform {

std::vector<std::optional<DeviceInterfaceNode>> WindowsPlatform::listInterfaces(InterfaceClass cls,
                                                                                int maxEntries) {
    return windowsListInterfaces(api, cls, maxEntries);
}

std::unique_ptr<UsbDevice> WindowsPlatform::openUsbDevice(const std::string& devicePath) {
    const std::lock_guard lock(opening);
    return windowsOpenUsbDevice(api, winUsb, devicePath);
}

std::unique_ptr<UsbDevice> WindowsPlatform::tryOpenUsbDevice(const std::string& devicePath,
                                                             OpenFailure& failure) {
    const std::lock_guard lock(opening);
    return windowsOpenUsbDevice(api, winUsb, devicePath, failure);
}

std::unique_ptr<HidDevice> WindowsPlatform::openHidDevice(const std::string& devicePath) {
    const std::lock_guard lock(opening);
    return windowsOpenHidDevice(api, hid, devicePath);
}

std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<WindowsPlatform>(systemApi());
}

}  // namespace platform
