#pragma once

#include <cstdint>
#include <span>

#include "link/ProbeModels.h"

namespace sim {

// Vendor id under which the virtual probes enumerate: the program's own, so that it picks them
// out; a probe can be given another one (ProbeOptions).
inline constexpr uint16_t kVirtualProbeVendorId = probeVendorId;

// How a variant shows itself on USB.
enum class UsbFaceKind {
    FtdiBridge,      // four-channel FTDI bridge, loader behind channel A
    PlainBulk,       // bulk OUT 0x01 / IN 0x81 on interface 0
    DescriptorOnly,  // present on the bus, no interface this program speaks to
};

// One hardware variant: the program's probe model, and what only the emulated hardware knows.
// The firmware region starts where the firmware catalogue writes its image and is larger than
// that image, as the hardware's own memory map says.
struct ProbeVariant {
    uint16_t productId;
    const char* product;  // USB product string: the model's variant name
    UsbFaceKind face;
    uint32_t flashBase;
    uint32_t flashSize;
    // Running firmware, the probe answers a connect by re-enumerating into its loader.
    bool reopenAfterConnect;
    uint16_t loaderMajor;
    uint16_t loaderMinor;
};

inline constexpr const char* kProbeManufacturer = "Velantrix";
// How long a probe stays off the bus when it restarts into its loader.
inline constexpr uint32_t kReenumerationDelayMs = 300;

std::span<const ProbeVariant> probeVariants();
// The variant with this product id, or null.
const ProbeVariant* findProbeVariant(uint16_t productId);

}  // namespace sim
