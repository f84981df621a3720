#include "sim/ProbeVariants.h"

namespace sim {

namespace {

// clang-format off
constexpr ProbeVariant kVariants[] = {
    // id  product               face                       flash base  size     reopen loader
    {3,  "Velantrix Heron",   UsbFaceKind::FtdiBridge,     0x00002000, 0x3E000, false, 1, 4},
    {4,  "Velantrix Wren",    UsbFaceKind::DescriptorOnly, 0x00006000, 0x1A000, true,  1, 2},
    {5,  "Velantrix Egret",   UsbFaceKind::FtdiBridge,     0x00002000, 0x0E000, false, 1, 0},
    {6,  "Velantrix Osprey",  UsbFaceKind::PlainBulk,      0x1A008000, 0x78000, true,  2, 1},
    {16, "Velantrix Kestrel", UsbFaceKind::DescriptorOnly, 0x00006000, 0x7A000, true,  1, 3},
};
// clang-format on

}  // namespace

std::span<const ProbeVariant> probeVariants() {
    return kVariants;
}

const ProbeVariant* findProbeVariant(uint16_t productId) {
    for (const ProbeVariant& variant : kVariants) {
        if (variant.productId == productId)
            return &variant;
    }
    return nullptr;
}

}  // namespace sim
