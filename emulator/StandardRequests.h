#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "sim/UsbFace.h"
#include "sim/VirtualDevice.h"

namespace emulator {

// The standard requests on the default pipe that the USB device framework answers on every
// device; the virtual probes' faces know only their vendor requests. `descriptors` is the
// device's descriptor block (usbDescriptors). Answers the data-stage bytes (the descriptor cut
// to the length asked for), -1 for a standard request the device refuses (stall), and nothing
// for a request that is not a standard one.
std::optional<int> answerStandardRequest(const sim::ControlSetup& setup, std::span<uint8_t> data,
                                         const sim::DeviceDescriptor& descriptor,
                                         std::span<const uint8_t> descriptors);

}  // namespace emulator
