#include "sim/ProbeFactory.h"

#include <stdexcept>
#include <utility>

namespace sim {

std::shared_ptr<VirtualProbe> makeProbe(uint16_t productId, std::string serial,
                                        std::span<const uint8_t> installedImage,
                                        const ProbeOptions& options) {
    const ProbeVariant* variant = findProbeVariant(productId);
    if (!variant)
        throw std::invalid_argument("no probe variant with product id " +
                                    std::to_string(productId));
    auto probe = std::make_shared<VirtualProbe>(*variant, std::move(serial), options.vendorId);
    if (!installedImage.empty())
        probe->installImage(installedImage);
    probe->setTiming(options.timing);
    return probe;
}

}  // namespace sim
