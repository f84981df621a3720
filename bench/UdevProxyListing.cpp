#include "bench/UdevProxyListing.h"

#include "platform/linux/UdevHandles.h"

namespace bench {

namespace {

// Present on every tty device, as idVendor, idProduct, serial, manufacturer and product are on
// a USB device.
constexpr const char* attributes[] = {"dev", "uevent", "power/control", "power/runtime_status",
                                      "power/runtime_active_time"};

}  // namespace

std::size_t udevProxyListing(const char* subsystem) {
    using platform::UdevHandle;
    const UdevHandle<udev> context(udev_new());
    if (!context)
        return 0;
    const UdevHandle<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), subsystem) < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0)
        return 0;
    std::size_t count = 0;
    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumeration.get())) {
        const UdevHandle<udev_device> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(item)));
        if (!device)
            continue;
        udev_device_get_devtype(device.get());
        for (const char* attribute : attributes)
            udev_device_get_sysattr_value(device.get(), attribute);
        udev_device_get_sysname(device.get());
        udev_device_get_syspath(device.get());
        ++count;
    }
    return count;
}

}  // namespace bench
