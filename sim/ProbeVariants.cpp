#include "sim/ProbeVariants.h"

#include <vector>

#include "firmware/FirmwareImage.h"

namespace sim {

namespace {

// What the probe model table does not say: the size of each model's flash region and the
// version its loader reports.
struct Hardware {
    uint16_t productId;
    uint32_t flashSize;
    uint16_t loaderMajor;
    uint16_t loaderMinor;
};

constexpr Hardware kHardware[] = {
    {3, 0x3E000, 1, 4}, {4, 0x1A000, 1, 2},  {5, 0x0E000, 1, 0},
    {6, 0x78000, 2, 1}, {16, 0x7A000, 1, 3},
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

std::vector<ProbeVariant> makeVariants() {
    std::vector<ProbeVariant> variants;
    for (const Hardware& hardware : kHardware) {
        for (const ProbeModel& model : probeModels) {
            if (model.productId != hardware.productId)
                continue;
            variants.push_back({model.productId, model.variantName, faceOf(model.link),
                                firmwareCatalogue[model.catalogueRow].address, hardware.flashSize,
                                model.reopenAfterConnect, hardware.loaderMajor,
                                hardware.loaderMinor});
        }
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
