#pragma once

#include <memory>

#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"

// Opens the link that the probe model table gives `device`, or answers null when its product id
// has none. Constructor exceptions (HException) propagate; nothing stays open when they do. Every
// link in the program, the reopened one of an update included, comes from here.
std::unique_ptr<HDataLink> openDataLink(const USBDeviceInfo& device);
