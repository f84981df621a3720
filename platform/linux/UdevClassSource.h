#pragma once

#include <array>

#include "platform/Platform.h"

namespace platform {

// Where udev keeps the interfaces of a class. A HID interface is listed as its hidraw node, whose
// strings and ids come from the usb_device above it; the three further classes list nothing here.
struct UdevClassSource {
    InterfaceClass cls;
    const char* subsystem;
    const char* devtype;  // null: any
};

inline constexpr std::array<UdevClassSource, 2> udevClassSources{{
    {InterfaceClass::UsbDevice, "usb", "usb_device"},
    {InterfaceClass::Hid, "hidraw", nullptr},
}};

// The source of `cls`, or null for a class udev does not hold.
inline const UdevClassSource* udevSourceFor(InterfaceClass cls) {
    for (const auto& source : udevClassSources) {
        if (source.cls == cls)
            return &source;
    }
    return nullptr;
}

}  // namespace platform
