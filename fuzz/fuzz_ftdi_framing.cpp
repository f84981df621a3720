// What an FTDI bridge sends on its bulk IN pipe, de-framed: first the plain function over one raw
// transfer, then the link's read loop over a transport that hands out whatever the input says,
// in any chunking, including counts the transport should never report.
//
// Input: byte 0 packet size, byte 1 payload room, byte 2 read length, then for the link a
// sequence of (transfer length, transfer bytes).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/Ftd2xxDataLink.h"
#include "link/FtdiFraming.h"
#include "sim/VirtualClock.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// The framing, as plainly as it can be said: every packet's first two bytes are status, the
// rest payload, and the room given is never exceeded.
std::vector<uint8_t> referencePayload(const std::vector<uint8_t>& raw, std::size_t packetSize,
                                      std::size_t room) {
    std::vector<uint8_t> payload;
    if (packetSize <= kFtdiStatusBytes)
        return payload;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (i % packetSize >= kFtdiStatusBytes && payload.size() < room)
            payload.push_back(raw[i]);
    }
    return payload;
}

void fuzzStrip(FuzzedDataProvider& input) {
    const std::size_t packetSize = input.ConsumeIntegral<uint8_t>();
    const std::size_t room = input.ConsumeIntegralInRange<std::size_t>(0, 512);
    const std::vector<uint8_t> raw =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 1024));
    // Exactly as large as asked, so that the sanitizer sees any write past it.
    std::vector<uint8_t> payload(room);
    const std::size_t kept = stripFtdiStatus(raw, payload, packetSize);
    const std::vector<uint8_t> expected = referencePayload(raw, packetSize, room);
    require(kept == expected.size());
    require(std::equal(expected.begin(), expected.end(), payload.begin()));
}

// A bridge whose bulk IN transfers deliver the input. Each transfer costs a millisecond, as the
// bridge's latency timer does, so that the read loop's time-out comes in the end.
class ScriptedBridge final : public Ftd2xxDataLink {
public:
    explicit ScriptedBridge(FuzzedDataProvider& source) : Ftd2xxDataLink(0), input(source) {}

    int write(const void*, unsigned length) override { return static_cast<int>(length); }
    bool vendorRequest(uint8_t, uint16_t, uint16_t) override { return true; }

    int rawRead(void* buffer, unsigned length) override {
        platform::currentClock().sleepMs(1);
        if (input.remaining_bytes() == 0) {
            // An idle bridge still sends its two status bytes.
            static_cast<uint8_t*>(buffer)[0] = 0x31;
            static_cast<uint8_t*>(buffer)[1] = 0x60;
            return 2;
        }
        const uint8_t kind = input.ConsumeIntegral<uint8_t>();
        if (kind == 0xFF) {
            faithful = false;  // what the failed call had taken is gone
            return -1;
        }
        const std::size_t wanted = input.ConsumeIntegralInRange<std::size_t>(0, 2 * length);
        const std::vector<uint8_t> bytes =
            input.ConsumeBytes<uint8_t>(std::min<std::size_t>(wanted, length));
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(buffer));
        if (kind == 0xFE && wanted != bytes.size()) {
            // A transport that reports more than it delivered: the link must stay within its
            // buffer, though what it then hands out is no longer the stream.
            faithful = false;
            return static_cast<int>(wanted);
        }
        const std::vector<uint8_t> payload = referencePayload(bytes, kFtdiPacketSize, SIZE_MAX);
        stream.insert(stream.end(), payload.begin(), payload.end());
        return static_cast<int>(bytes.size());
    }

    std::vector<uint8_t> stream;  // the payload the bridge sent, in order
    bool faithful = true;

private:
    FuzzedDataProvider& input;
};

void fuzzLinkRead(FuzzedDataProvider& input) {
    sim::VirtualClockScope clock;
    ScriptedBridge bridge(input);
    bridge.setTimeout(input.ConsumeIntegralInRange<unsigned>(0, 20));
    std::vector<uint8_t> received;
    for (int i = 0; i < 3; ++i) {
        const unsigned length = input.ConsumeIntegralInRange<unsigned>(0, 9000);
        std::vector<uint8_t> buffer(length);
        const int result = bridge.read(buffer.data(), length);
        require(result >= -1 && result <= static_cast<int>(length));
        if (result > 0)
            received.insert(received.end(), buffer.begin(), buffer.begin() + result);
    }
    // Every payload byte once, in the order sent, none made up; some may still be buffered.
    if (bridge.faithful) {
        require(received.size() <= bridge.stream.size());
        require(std::equal(received.begin(), received.end(), bridge.stream.begin()));
    }
    bridge.purge();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        fuzzStrip(input);
    else
        fuzzLinkRead(input);
    return 0;
}
