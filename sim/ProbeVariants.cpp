#include "sim/ProbeVariants.h"

#include <vector>

namespace sim {

namespace {

// What the probe model table does not say: where each model's flash region lies and the version
// its loader reports. The region is the hardware's own, not read from the firmware catalogue, so
// that an update aimed at the wrong address shows as one.
struct Hardware {
    uint16_t productId;
    uint32_t flashBase;
    uint32_t flashSize;
    uint16_t loaderMajor;
    uint16_t loaderMinor;
};

constexpr Hardware kHardware[] = {
    {3, 0x2000, 0x3E000, 1, 4},     {4, 0x6000, 0x1A000, 1, 2},  {5, 0x2000, 0x0E000, 1, 0},
    {6, 0x1A008000, 0x78000, 2, 1}, {16, 0x6000, 0x7A000, 1, 3},
};

UsbFaceKind faceOf(LinkKind link) {
    switch (link) {
        case LinkKind::FtdiBridge:
            return UsbFaceKind::FtdiBridge;
        case LinkKind::PlainBulk:
            return UsbFaceKind::PlainBulk;
        case LinkKind::None:
            break;
    }
    return UsbFaceKind::DescriptorOnly;
}

// A model the virtual hardware knows no memory map for gets a plain one: a region of 1 MiB
// where the model's image goes, and loader 1.0. So a model added to the table can be tried on a
// virtual probe (and the emulator) at once.
Hardware hardwareOf(const ProbeModel& model) {
    for (const Hardware& hardware : kHardware) {
        if (hardware.productId == model.productId)
            return hardware;
    }
    return {model.productId, model.imageAddress, 0x100000, 1, 0};
}

std::vector<ProbeVariant> makeVariants() {
    std::vector<ProbeVariant> variants;
    for (const ProbeModel& model : probeModels) {
        const Hardware hardware = hardwareOf(model);
        variants.push_back({model.productId, model.variantName, faceOf(model.link),
                            hardware.flashBase, hardware.flashSize, model.reopenAfterConnect,
                            hardware.loaderMajor, hardware.loaderMinor});
    }
    return variants;
}

}  // namespace

std::span<const ProbeVariant> probeVariants() {
    static const std::vector<ProbeVariant> variants = makeVariants();
    return variants;
}

const ProbeVariant* findProbeVariant(uint16_t productId) {
    for (const ProbeVariant& variant : probeVariants()) {
        if (variant.productId == productId)
            return &variant;
    }
    return nullptr;
}

}  // namespace sim
