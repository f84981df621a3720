#pragma once

#include <array>
#include <cstdint>

#include "sim/UsbFace.h"

namespace sim {

// The four-channel FTDI bridge in front of probes 3 and 5, as far as the host can tell it from a
// real chip. Channel n (A..D) is interface n with the bulk pipes of the table in FtdiBridge.cpp;
// the probe's loader sits behind channel A, the other channels lead nowhere.
//
// Every bulk IN packet is at most 64 bytes and starts with two status bytes. The chip sends a
// full packet as soon as it holds 62 payload bytes; anything less waits for the latency timer,
// so an idle channel answers every read with a 2-byte status-only packet once the timer runs
// out. Such a short packet ends the host's transfer.
class FtdiBridge final : public UsbFace {
public:
    static constexpr int kChannels = 4;
    static constexpr uint8_t kDefaultLatencyMs = 16;
    static constexpr std::size_t kPacketSize = 64;
    static constexpr std::size_t kStatusBytes = 2;
    static constexpr uint8_t kModemStatus = 0x01;
    static constexpr uint8_t kLineStatus = 0x60;

    explicit FtdiBridge(ProbeLine& loaderLine);

    int interfaceOfEndpoint(uint8_t endpoint) const override;
    bool hasInterface(int interfaceNumber) const override;
    int bulkOut(uint8_t endpoint, std::span<const uint8_t> data) override;
    int bulkIn(uint8_t endpoint, std::span<uint8_t> buffer, TransferWait& wait,
               bool timed) override;
    int control(const ControlSetup& setup, std::span<uint8_t> data) override;
    void powerOn() override;

    uint8_t latencyMs(int channel) const {
        return channels[static_cast<std::size_t>(channel)].latencyMs;
    }
    // Mask in the low byte, mode in the high byte, as the bit-mode request carries them.
    uint16_t bitMode(int channel) const {
        return channels[static_cast<std::size_t>(channel)].bitMode;
    }

private:
    struct Channel {
        uint8_t latencyMs = kDefaultLatencyMs;
        uint16_t bitMode = 0;
    };

    void purge(int channel, bool received, bool transmitted);

    ProbeLine& line;
    ReplyQueue silence;  // what channels B..D have to say
    std::array<Channel, kChannels> channels{};
};

}  // namespace sim
