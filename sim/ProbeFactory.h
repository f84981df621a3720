#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "sim/TimingModel.h"
#include "sim/VirtualProbe.h"

namespace sim {

struct ProbeOptions {
    uint16_t vendorId = kVirtualProbeVendorId;
    std::optional<TimingModel> timing;  // off when absent
};

// A probe of the catalogue variant `productId` (3, 4, 5, 6 or 16) with this serial number, its
// flash holding `installedImage` at the start of the firmware region (erased when empty). It
// starts its firmware on power-up when the image has a valid header, its loader otherwise.
// Throws std::invalid_argument for an unknown product id or an image larger than the region.
std::shared_ptr<VirtualProbe> makeProbe(uint16_t productId, std::string serial,
                                        std::span<const uint8_t> installedImage = {},
                                        const ProbeOptions& options = {});

}  // namespace sim
