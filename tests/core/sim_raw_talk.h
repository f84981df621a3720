#pragma once

// Raw loader frames through the platform seam, for the virtual probe's own tests: just enough
// host to drive the probe, without the program's links.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/LittleEndian.h"
#include "platform/Platform.h"
#include "sim/FtdiBridge.h"
#include "sim/LoaderWire.h"
#include "sim/SimTime.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"

namespace simtest {

inline std::vector<uint8_t> frame(sim::Command command, uint32_t address = 0, uint32_t length = 0) {
    std::vector<uint8_t> bytes;
    bytes.reserve(sim::kMemoryRequestSize);
    bytes.push_back(sim::commandTag(command));
    for (const uint8_t b : sim::kCommandSignature)
        bytes.push_back(b);
    if (sim::requestSize(command) == sim::kMemoryRequestSize) {
        bytes.resize(sim::kMemoryRequestSize);
        writeLe(bytes.data() + 5, address, 4);
        writeLe(bytes.data() + 9, length, 4);
    }
    return bytes;
}

inline uint32_t le32(const std::vector<uint8_t>& bytes, std::size_t offset) {
    return readLe32(bytes.data() + offset);
}

// An open probe with its loader pipes. For a bridge, `receive` strips the two status bytes of
// every 64-byte packet and keeps reading until enough payload came or the time is up.
class RawTalk {
public:
    RawTalk(const std::string& path, bool bridge)
        : device(platform::currentPlatform().openUsbDevice(path)),
          ftdi(bridge),
          out(bridge ? 0x02 : 0x01),
          in(0x81) {
        if (device)
            device->claimInterface(0);
    }

    bool open() const { return device != nullptr; }
    platform::UsbDevice& usb() { return *device; }

    int send(std::vector<uint8_t> bytes) {
        return device->bulkTransfer(out, bytes.data(), static_cast<int>(bytes.size()), 1000);
    }

    std::vector<uint8_t> receive(std::size_t count, unsigned timeoutMs = 1000) {
        if (!ftdi) {
            std::vector<uint8_t> bytes(count);
            const int n =
                device->bulkTransfer(in, bytes.data(), static_cast<int>(count), timeoutMs);
            bytes.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
            lastResult = n;
            return bytes;
        }
        const uint64_t start = sim::nowUs();
        std::vector<uint8_t> payload;
        while (payload.size() < count) {
            std::vector<uint8_t> raw(4096);
            const int n = device->bulkTransfer(in, raw.data(), 4096, 1000);
            lastResult = n;
            if (n < 0)
                break;
            for (int packet = 0; packet < n; packet += 64) {
                const int end = std::min(n, packet + 64);
                for (int i = packet + 2; i < end; ++i)
                    payload.push_back(raw[static_cast<std::size_t>(i)]);
            }
            if (sim::nowUs() - start > uint64_t{timeoutMs} * 1000)
                break;
        }
        return payload;
    }

    // One loader exchange: frame, write data if any, then the reply of the command's size.
    std::vector<uint8_t> command(sim::Command command, uint32_t address = 0, uint32_t length = 0,
                                 std::span<const uint8_t> data = {}) {
        if (send(frame(command, address, length)) < 0)
            return {};
        if (!data.empty() && send({data.begin(), data.end()}) < 0)
            return {};
        return receive(sim::replySize(command));
    }

    int lastResult = 0;

private:
    std::unique_ptr<platform::UsbDevice> device;
    bool ftdi;
    uint8_t out;
    uint8_t in;
};

// Every test of the virtual probe runs on a virtual clock and a fresh virtual bus.
class SimTest : public ::testing::Test {
protected:
    sim::VirtualClock& clock() { return clockScope.clock(); }
    sim::VirtualBus& bus() { return busScope.bus(); }

    sim::VirtualClockScope clockScope;
    sim::VirtualBusScope busScope;
};

}  // namespace simtest
