#pragma once

#include <array>

#include "platform/Platform.h"

namespace platform {

// The identifier each device interface class is registered under, in the form the system
// writes it. The generic USB device and HID classes carry the ones the USB world knows them by.
// The three further classes are ours: the first is the one the probes' driver package has the
// generic USB driver register besides the generic USB device class; nothing in this program asks
// for any of the three.
struct InterfaceClassGuid {
    InterfaceClass cls;
    const char* text;
};

inline constexpr std::array<InterfaceClassGuid, 5> interfaceClassGuids{{
    {InterfaceClass::UsbDevice, "{A5DCBF10-6530-11D2-901F-00C04FB951ED}"},
    {InterfaceClass::Hid, "{4D1E55B2-F16F-11CF-88CB-001111000030}"},
    {InterfaceClass::Extra1, "{C70D5EC4-A8AB-4638-B044-C86042954CA8}"},
    {InterfaceClass::Extra2, "{BB4D7AAF-C169-4901-BD2F-37775EB06732}"},
    {InterfaceClass::Extra3, "{24623093-8483-42C7-94D1-193914C7DF67}"},
}};

constexpr const char* interfaceClassGuid(InterfaceClass cls) {
    for (const auto& row : interfaceClassGuids) {
        if (row.cls == cls)
            return row.text;
    }
    return interfaceClassGuids.front().text;
}

}  // namespace platform
