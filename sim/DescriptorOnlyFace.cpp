#include "sim/UsbFace.h"

namespace sim {

namespace {

class DescriptorOnlyFace final : public UsbFace {
public:
    int interfaceOfEndpoint(uint8_t) const override { return -1; }
    bool hasInterface(int) const override { return false; }
    int bulkOut(uint8_t, std::span<const uint8_t>) override { return -1; }
    int bulkIn(uint8_t, std::span<uint8_t>, TransferWait&, bool) override { return -1; }
    int control(const ControlSetup&, std::span<uint8_t>) override { return -1; }
    void powerOn() override {}
};

}  // namespace

std::unique_ptr<UsbFace> makeDescriptorOnlyFace() {
    return std::make_unique<DescriptorOnlyFace>();
}

}  // namespace sim
