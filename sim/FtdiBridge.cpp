#include "sim/FtdiBridge.h"

#include <algorithm>

namespace sim {

namespace {

struct ChannelPipes {
    uint8_t out;
    uint8_t in;
};

// Channel A..D: interface 0..3.
constexpr ChannelPipes kPipes[FtdiBridge::kChannels] = {
    {0x02, 0x81},
    {0x04, 0x83},
    {0x06, 0x85},
    {0x08, 0x87},
};

constexpr int kLoaderChannel = 0;
constexpr std::size_t kPayloadPerPacket = FtdiBridge::kPacketSize - FtdiBridge::kStatusBytes;

// Vendor requests (wIndex low byte: channel + 1; 0 also means channel A).
constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kReset = 0x00;  // wValue 0 reset, 1 purge RX, 2 purge TX
constexpr uint8_t kModemControl = 0x01;
constexpr uint8_t kFlowControl = 0x02;
constexpr uint8_t kBaudRate = 0x03;
constexpr uint8_t kDataCharacteristics = 0x04;
constexpr uint8_t kModemStatusRequest = 0x05;
constexpr uint8_t kSetLatency = 0x09;
constexpr uint8_t kGetLatency = 0x0A;
constexpr uint8_t kSetBitMode = 0x0B;

constexpr uint16_t kPurgeRx = 1;
constexpr uint16_t kPurgeTx = 2;

int channelOfIndex(uint16_t index) {
    const int low = index & 0xFF;
    if (low == 0)
        return 0;
    return low <= FtdiBridge::kChannels ? low - 1 : -1;
}

int channelOfOut(uint8_t endpoint) {
    for (int channel = 0; channel < FtdiBridge::kChannels; ++channel) {
        if (kPipes[channel].out == endpoint)
            return channel;
    }
    return -1;
}

int channelOfIn(uint8_t endpoint) {
    for (int channel = 0; channel < FtdiBridge::kChannels; ++channel) {
        if (kPipes[channel].in == endpoint)
            return channel;
    }
    return -1;
}

}  // namespace

FtdiBridge::FtdiBridge(ProbeLine& loaderLine) : line(loaderLine) {}

int FtdiBridge::interfaceOfEndpoint(uint8_t endpoint) const {
    const int channel = channelOfOut(endpoint);
    return channel >= 0 ? channel : channelOfIn(endpoint);
}

bool FtdiBridge::hasInterface(int interfaceNumber) const {
    return interfaceNumber >= 0 && interfaceNumber < kChannels;
}

int FtdiBridge::bulkOut(uint8_t endpoint, std::span<const uint8_t> data) {
    const int channel = channelOfOut(endpoint);
    if (channel < 0)
        return -1;
    if (channel == kLoaderChannel)
        line.receive(data);
    return static_cast<int>(data.size());
}

int FtdiBridge::bulkIn(uint8_t endpoint, std::span<uint8_t> buffer, TransferWait& wait,
                       bool timed) {
    const int channel = channelOfIn(endpoint);
    if (channel < 0)
        return -1;
    ReplyQueue& queue = channel == kLoaderChannel ? line.replies() : silence;
    // A latency of 0 would make the chip spin; it behaves as 1 ms.
    const uint64_t latencyUs =
        std::max<uint64_t>(1, channels[static_cast<std::size_t>(channel)].latencyMs) * 1000;
    std::size_t filled = 0;
    for (;;) {
        std::size_t ready = queue.readyBytes(wait.nowUs());
        // Less than a packet's payload waits for the latency timer. Without the timing model
        // data goes out at once, but an idle channel still waits, as the host's read loop
        // counts on time passing between status-only packets.
        if (ready < kPayloadPerPacket && (ready == 0 || timed)) {
            if (!wait.waitUs(latencyUs))
                return -1;
            ready = queue.readyBytes(wait.nowUs());
        }
        const std::size_t payload = std::min(ready, kPayloadPerPacket);
        const std::size_t packet = kStatusBytes + payload;
        const std::vector<uint8_t> bytes = queue.take(payload);
        if (buffer.size() - filled < packet)
            return -1;  // overflow: the packet does not fit the host's buffer and is lost
        buffer[filled] = kModemStatus;
        buffer[filled + 1] = kLineStatus;
        std::copy(bytes.begin(), bytes.end(), buffer.subspan(filled + kStatusBytes).begin());
        filled += packet;
        if (packet < kPacketSize || filled == buffer.size())
            return static_cast<int>(filled);
    }
}

void FtdiBridge::purge(int channel, bool received, bool transmitted) {
    if (channel != kLoaderChannel)
        return;
    if (received)
        line.replies().clear();
    if (transmitted)
        line.discardIncoming();
}

int FtdiBridge::control(const ControlSetup& setup, std::span<uint8_t> data) {
    const int channel = channelOfIndex(setup.index);
    if (channel < 0)
        return -1;
    Channel& state = channels[static_cast<std::size_t>(channel)];
    if (setup.requestType == kVendorOut) {
        switch (setup.request) {
            case kReset:
                if (setup.value > kPurgeTx)
                    return -1;
                purge(channel, setup.value != kPurgeTx, setup.value != kPurgeRx);
                return 0;
            case kSetLatency:
                state.latencyMs = static_cast<uint8_t>(setup.value);
                return 0;
            case kSetBitMode:
                state.bitMode = setup.value;
                return 0;
            case kModemControl:
            case kFlowControl:
            case kBaudRate:
            case kDataCharacteristics:
                return 0;  // accepted; the emulated line has no such settings
            default:
                return -1;
        }
    }
    if (setup.requestType == kVendorIn) {
        switch (setup.request) {
            case kGetLatency:
                if (data.empty())
                    return -1;
                data[0] = state.latencyMs;
                return 1;
            case kModemStatusRequest:
                if (data.size() < 2)
                    return -1;
                data[0] = kModemStatus;
                data[1] = kLineStatus;
                return 2;
            default:
                return -1;
        }
    }
    return -1;
}

void FtdiBridge::powerOn() {
    channels = {};
    silence.clear();
}

}  // namespace sim
