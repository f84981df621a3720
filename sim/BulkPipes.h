#pragma once

#include "sim/UsbFace.h"

namespace sim {

// The plain bulk face of probe 6: interface 0 with bulk OUT 0x01 and bulk IN 0x81, straight to
// the loader. Each reply goes out as a transfer of its own, in 64-byte packets; a reply shorter
// than the host asked for ends with a short packet and so ends the transfer early. A read with
// nothing to send waits until a reply is ready or the transfer's time-out ends it.
class BulkPipes final : public UsbFace {
public:
    static constexpr uint8_t kOutPipe = 0x01;
    static constexpr uint8_t kInPipe = 0x81;
    static constexpr std::size_t kPacketSize = 64;

    explicit BulkPipes(ProbeLine& loaderLine);

    int interfaceOfEndpoint(uint8_t endpoint) const override;
    bool hasInterface(int interfaceNumber) const override { return interfaceNumber == 0; }
    int bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override;
    int bulkIn(uint8_t endpoint, std::span<uint8_t> buffer, TransferWait& wait,
               bool timed) override;
    int control(const ControlSetup&, std::span<uint8_t>) override { return -1; }
    void powerOn() override {}

private:
    ProbeLine& line;
};

}  // namespace sim
