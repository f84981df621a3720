#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "link/USBDeviceInfo.h"
#include "platform/Context.h"

// Every present USB device as enumerateUSBDevices(context, 0, anyUsbId, anyUsbId) lists it, for a
// caller that asks once a second for as long as it runs. Listing walks sysfs, device by device;
// the platform's watch says when anything came or went, so the last listing is handed out again
// until it does. Made, asked and destroyed on one thread, which its watch requires; another
// thread that needs a listing lists for itself or makes a listing of its own.
class WatchedDeviceListing {
public:
    // Makes the watch on the context's platform now; lists on the first call. The listing's age
    // is read from the context's clock.
    explicit WatchedDeviceListing(platform::Context context);
    ~WatchedDeviceListing();
    WatchedDeviceListing(const WatchedDeviceListing&) = delete;
    WatchedDeviceListing& operator=(const WatchedDeviceListing&) = delete;

    // The present devices: listed afresh when the watch reports a change or an error, when the
    // last listing is kRelistMs old, and at every call where the platform has no watch.
    // Never throws.
    const std::vector<USBDeviceInfo>& devices();

    // However quiet the watch, a listing is trusted no longer than this: an event lost on the
    // way costs at most this long.
    static constexpr uint32_t kRelistMs = 30000;

private:
    const platform::Context context;
    std::unique_ptr<platform::DeviceWatch> watch;
    std::vector<USBDeviceInfo> listed;
    std::optional<uint32_t> listedAtMs;
};
