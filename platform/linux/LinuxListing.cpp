#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/UdevClassSource.h"
#include "platform/linux/UdevHandles.h"
#include "platform/linux/UsbInterfaceNode.h"

namespace platform {

namespace {

// The usb_device that `device` is or sits below; null for a device on another bus. The parent
// belongs to `device`.
udev_device* usbDeviceOf(udev_device* device) {
    const char* devtype = udev_device_get_devtype(device);
    if (devtype && std::string(devtype) == "usb_device")
        return device;
    return udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
}

std::optional<DeviceInterfaceNode> readEntry(udev_device* device, udev_device* usbDevice) {
    const SysAttributeReader attribute = [usbDevice](const char* name) {
        const char* value = udev_device_get_sysattr_value(usbDevice, name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const char* portPath = udev_device_get_sysname(usbDevice);
    const char* devicePath = udev_device_get_syspath(device);
    if (!portPath || !devicePath)
        return std::nullopt;
    return composeUsbInterfaceNode(attribute, portPath, devicePath);
}

}  // namespace

std::vector<std::optional<DeviceInterfaceNode>> linuxListInterfaces(InterfaceClass cls,
                                                                    int maxEntries) {
    std::vector<std::optional<DeviceInterfaceNode>> entries;
    const UdevClassSource* source = udevSourceFor(cls);
    if (!source || maxEntries <= 0)
        return entries;
    const UdevHandle<udev> context(udev_new());
    if (!context)
        return entries;
    const UdevHandle<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration ||
        udev_enumerate_add_match_subsystem(enumeration.get(), source->subsystem) < 0 ||
        (source->devtype &&
         udev_enumerate_add_match_property(enumeration.get(), "DEVTYPE", source->devtype) < 0) ||
        udev_enumerate_scan_devices(enumeration.get()) < 0)
        return entries;

    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumeration.get())) {
        if (entries.size() >= static_cast<std::size_t>(maxEntries))
            break;
        // A device that left between the scan and now can't be read: an empty slot.
        const UdevHandle<udev_device> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(item)));
        if (!device) {
            entries.emplace_back();
            continue;
        }
        udev_device* usbDevice = usbDeviceOf(device.get());
        if (!usbDevice)
            continue;  // a HID device on another bus (Bluetooth, I2C) is no USB device
        entries.push_back(readEntry(device.get(), usbDevice));
    }
    return entries;
}

}  // namespace platform
