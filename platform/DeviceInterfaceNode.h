#pragma once

#include <optional>
#include <string>

// One present device interface as the platform lists it, before any parsing.
struct DeviceInterfaceNode {
    std::string instanceId;                   // "USB\VID_vvvv&PID_pppp\<serial or made-up part>"
    std::optional<std::string> manufacturer;  // absent when the device gives none
    std::optional<std::string> description;   // absent when the device gives none
    std::string devicePath;                   // what Platform::openUsbDevice accepts
};
