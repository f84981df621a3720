#pragma once

#include <libudev.h>

#include <memory>

namespace platform {

// Drops the reference a libudev call handed out.
struct UdevUnref {
    void operator()(udev* handle) const { udev_unref(handle); }
    void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
    void operator()(udev_device* handle) const { udev_device_unref(handle); }
    void operator()(udev_monitor* handle) const { udev_monitor_unref(handle); }
    void operator()(udev_queue* handle) const { udev_queue_unref(handle); }
};

template <typename Handle>
using UdevHandle = std::unique_ptr<Handle, UdevUnref>;

}  // namespace platform
