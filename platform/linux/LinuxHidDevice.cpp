#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/UdevHandles.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/Utf8Widening.h"

namespace platform {

namespace {

std::optional<std::string> sysAttribute(udev_device* device, const char* name) {
    const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// Writes `text` into the caller's buffer as NUL-terminated UTF-16, cut short to fit.
bool answer(const std::optional<std::string>& text, uint16_t* buffer, std::size_t bytes) {
    if (!text || bytes < sizeof(uint16_t))
        return false;
    const std::u16string wide = widenUtf8(*text);
    const std::size_t units = std::min(wide.size(), bytes / sizeof(uint16_t) - 1);
    std::copy_n(wide.begin(), units, buffer);
    buffer[units] = 0;
    return true;
}

// The string descriptors of a USB device as sysfs holds them (UTF-8); absent when it has none.
struct DeviceStrings {
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> serial;
};

// A hidraw node held open while its strings are asked for. The kernel already keeps the device's
// string descriptors in sysfs, so the answers come from there rather than from requests on the
// node. It keeps no udev object: any one thread at a time may ask it.
class LinuxHidDevice final : public HidDevice {
public:
    LinuxHidDevice(UniqueFd openNode, DeviceStrings deviceStrings)
        : node(std::move(openNode)), strings(std::move(deviceStrings)) {}

    bool manufacturerString(uint16_t* buffer, std::size_t bytes) override {
        return answer(strings.manufacturer, buffer, bytes);
    }
    bool productString(uint16_t* buffer, std::size_t bytes) override {
        return answer(strings.product, buffer, bytes);
    }
    bool serialNumberString(uint16_t* buffer, std::size_t bytes) override {
        return answer(strings.serial, buffer, bytes);
    }

private:
    UniqueFd node;
    DeviceStrings strings;
};

}  // namespace

std::unique_ptr<HidDevice> linuxOpenHidDevice(const std::string& devicePath) {
    const UdevHandle<udev> context(udev_new());
    if (!context)
        return nullptr;
    const UdevHandle<udev_device> device(
        udev_device_new_from_syspath(context.get(), devicePath.c_str()));
    if (!device)
        return nullptr;
    const char* subsystem = udev_device_get_subsystem(device.get());
    const char* nodePath = udev_device_get_devnode(device.get());
    if (!subsystem || std::strcmp(subsystem, "hidraw") != 0 || !nodePath)
        return nullptr;
    UniqueFd node(::open(nodePath, O_RDWR | O_CLOEXEC));
    if (!node)
        return nullptr;
    udev_device* usbDevice =
        udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device");
    DeviceStrings strings{sysAttribute(usbDevice, "manufacturer"),
                          sysAttribute(usbDevice, "product"), sysAttribute(usbDevice, "serial")};
    return std::make_unique<LinuxHidDevice>(std::move(node), std::move(strings));
}

}  // namespace platform
