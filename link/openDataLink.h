#pragma once

#include <cstdint>
#include <memory>

#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"

// Which carrier reaches a probe, by its product id.
enum class DataLinkKind {
    None,      // not a probe this program can talk to
    Ftdi,      // FTDI bridge, channel A
    PlainUsb,  // bulk OUT 0x01 / IN 0x81
};

DataLinkKind dataLinkKindFor(uint16_t productId);

// Opens the link that suits `device`, or answers null when its product id has none. Constructor
// exceptions (HException) propagate; nothing stays open when they do. Every link in the program,
// the reopened one of an update included, comes from here.
std::unique_ptr<HDataLink> openDataLink(const USBDeviceInfo& device);
