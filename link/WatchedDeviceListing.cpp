#include "link/WatchedDeviceListing.h"

#include "link/DeviceEnumeration.h"

WatchedDeviceListing::WatchedDeviceListing(platform::Context on)
    : context(on), watch(context.platform.watchDevices(platform::InterfaceClass::UsbDevice)) {}

WatchedDeviceListing::~WatchedDeviceListing() = default;

const std::vector<USBDeviceInfo>& WatchedDeviceListing::devices() {
    // The watch is asked first and every time: what it reports now is in the listing below, and
    // must not make the next call list again.
    const bool changed = !watch || watch->mayHaveChanged();
    const uint32_t now = context.clock.tickMs();
    if (changed || !listedAtMs || now - *listedAtMs >= kRelistMs) {
        listed = enumerateUSBDevices(context, 0, anyUsbId, anyUsbId);
        listedAtMs = now;
    }
    return listed;
}
