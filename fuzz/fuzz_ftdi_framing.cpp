// What an FTDI bridge sends on its bulk IN pipe: one raw transfer de-framed against the plain
// rule (two status bytes open every packet, and the room given is never exceeded), and the
// link's read loop over transfers of any size, a transport that reports counts it never
// delivered included.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "Require.h"
#include "link/Ftd2xxDataLink.h"
#include "link/FtdiFraming.h"
#include "sim/VirtualClock.h"

namespace {

std::vector<uint8_t> payloadOf(const std::vector<uint8_t>& raw, std::size_t packetSize,
                               std::size_t room) {
    std::vector<uint8_t> payload;
    for (std::size_t i = 0; i < raw.size() && packetSize > kFtdiStatusBytes; ++i) {
        if (i % packetSize >= kFtdiStatusBytes && payload.size() < room)
            payload.push_back(raw[i]);
    }
    return payload;
}

// A bridge whose transfers deliver the input, a millisecond each, so that time runs out at last.
class Bridge final : public Ftd2xxDataLink {
public:
    Bridge(platform::Clock& clock, FuzzedDataProvider& source)
        : Ftd2xxDataLink(clock, 0), input(source) {}
    int write(const void*, unsigned length) override { return static_cast<int>(length); }
    bool vendorRequest(uint8_t, uint16_t, uint16_t) override { return true; }
    int rawRead(void* buffer, unsigned length) override {
        clock().sleepMs(1);
        const std::vector<uint8_t> bytes =
            input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<unsigned>(0, length));
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(buffer));
        if (input.ConsumeIntegral<uint8_t>() == 0xFF) {
            faithful = false;  // the count is anybody's guess now, and so is what follows
            return input.ConsumeIntegralInRange<int>(-1, static_cast<int>(2 * length));
        }
        const std::vector<uint8_t> payload = payloadOf(bytes, kFtdiPacketSize, SIZE_MAX);
        stream.insert(stream.end(), payload.begin(), payload.end());
        return static_cast<int>(bytes.size());
    }

    std::vector<uint8_t> stream;  // the payload the bridge sent, in order
    bool faithful = true;

private:
    FuzzedDataProvider& input;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t packetSize = input.ConsumeIntegral<uint8_t>();
    std::vector<uint8_t> room(input.ConsumeIntegralInRange<std::size_t>(0, 512));
    const auto raw =
        input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 1024));
    const std::vector<uint8_t> expected = payloadOf(raw, packetSize, room.size());
    require(stripFtdiStatus(raw, room, packetSize) == expected.size());
    require(std::equal(expected.begin(), expected.end(), room.begin()));

    sim::VirtualClock clock;
    Bridge bridge(clock, input);
    bridge.setTimeout(input.ConsumeIntegralInRange<unsigned>(0, 20));
    std::vector<uint8_t> received;
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> buffer(input.ConsumeIntegralInRange<unsigned>(0, 9000));
        const int result = bridge.read(buffer.data(), static_cast<unsigned>(buffer.size()));
        require(result >= -1 && result <= static_cast<int>(buffer.size()));
        received.insert(received.end(), buffer.begin(), buffer.begin() + std::max(result, 0));
    }
    // Every payload byte once, in the order sent, none made up; some may still be buffered.
    require(!bridge.faithful ||
            (received.size() <= bridge.stream.size() &&
             std::equal(received.begin(), received.end(), bridge.stream.begin())));
    return 0;
}
