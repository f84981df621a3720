#pragma once

#include <memory>

#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"

// Opens the link that the probe model table gives `device`, on the context's platform and clock,
// or answers null when its product id has none. Constructor exceptions (HException) propagate;
// nothing stays open when they do. Every link in the program, the reopened one of an update
// included, comes from here. May be called from several threads at once.
std::unique_ptr<HDataLink> openDataLink(platform::Context context, const USBDeviceInfo& device);

// The same on the program's own system platform and steady clock.
std::unique_ptr<HDataLink> openDataLink(const USBDeviceInfo& device);
