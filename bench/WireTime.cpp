#include "bench/WireTime.h"

#include <algorithm>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "firmware/UpdateProcedure.h"
#include "loader/LoaderFrames.h"

namespace bench {

namespace {

// The update's block sizes and the loader's frame sizes, as the program has them.
constexpr uint32_t eraseBlock = erasePhase.block;
constexpr uint32_t writeBlock = downloadPhase.block;
constexpr uint32_t crcBlock = verifyPhase.block;
constexpr uint32_t shortRequestBytes = shortRequestSize;
constexpr uint32_t memoryRequestBytes = memoryRequestSize;
constexpr uint32_t statusReplyBytes = statusReplySize;
constexpr uint32_t crcReplyBytes = crcReplySize;
constexpr uint32_t bridgePayloadPerPacket = 62;
constexpr uint64_t bridgeLatencyUs = 1000;  // the latency timer the FTDI link programs
constexpr uint64_t reopenPauseUs = 1'000'000;
// The bridge's rhythm below is worked out for replies that go in one short packet.
static_assert(statusReplyBytes < bridgePayloadPerPacket && crcReplyBytes < bridgePayloadPerPacket);

uint64_t ceilDiv(uint64_t a, uint64_t b) {
    return (a + b - 1) / b;
}

// One loader request: what goes out, what the probe does, what comes back.
struct Exchange {
    std::vector<uint32_t> outTransfers;  // bytes of each bulk OUT transfer
    uint64_t workUs = 0;
    uint32_t replyBytes = 0;  // 0: the probe never answers
    int controlTransfers = 0;
};

class Ledger {
public:
    Ledger(const sim::TimingModel& figures, Carrier kind) : timing(figures), carrier(kind) {}

    void add(const Exchange& exchange) {
        uint64_t bus =
            uint64_t{timing.controlTransferUs} * static_cast<uint64_t>(exchange.controlTransfers);
        for (const uint32_t bytes : exchange.outTransfers)
            bus += framesUs(std::max<uint64_t>(1, ceilDiv(bytes, timing.packetBytes)));
        uint64_t hold = 0;
        if (exchange.replyBytes > 0) {
            const uint64_t packetPayload =
                carrier == Carrier::FtdiBridge ? bridgePayloadPerPacket : timing.packetBytes;
            bus += framesUs(ceilDiv(exchange.replyBytes, packetPayload));
            if (carrier == Carrier::FtdiBridge && exchange.replyBytes % bridgePayloadPerPacket)
                hold = bridgeHoldUs(exchange.workUs);
        }
        const int transfers = exchange.controlTransfers +
                              static_cast<int>(exchange.outTransfers.size()) +
                              (exchange.replyBytes > 0 ? 1 : 0);
        total.busUs += bus;
        total.probeUs += exchange.workUs;
        total.bridgeHoldUs += hold;
        total.longestExchangeUs = std::max(total.longestExchangeUs, bus + exchange.workUs + hold);
        total.exchanges += 1;
        total.transfers += transfers;
    }

    void pause(uint64_t us) { total.pauseUs += us; }

    // The probe's time for a command that erases, writes or sums `bytes`.
    uint64_t workUs(uint64_t erased, uint64_t written, uint64_t checked) const {
        return timing.commandUs + ceilDiv(erased * timing.eraseUsPer8KiB, 8192) +
               ceilDiv(written * timing.writeUsPer4KiB, 4096) +
               ceilDiv(checked * timing.crcUsPerKiB, 1024);
    }

    const WireTime& result() const { return total; }

private:
    // How long a short reply, ready `workUs` after its request went out, waits in the bridge.
    // The host reads from the moment the request is out; the bridge answers each read when its
    // latency timer runs out, with a status-only packet while the reply is not ready, and each
    // such packet is a transfer of its own, a whole frame. So the bridge sends on a rhythm of
    // one latency period and one frame from the request's end, and the reply goes with the
    // first packet whose timer ran out after it was ready (its own frame is counted as bus
    // time). (Counting a fixed latency period from the moment the reply is ready, as this
    // did before, missed the status packets' frames: a write, ready 9.05 ms after its data, is
    // seen almost a millisecond later than that, a short command's reply 50 us earlier.)
    uint64_t bridgeHoldUs(uint64_t workUs) const {
        const uint64_t rhythm = bridgeLatencyUs + timing.frameUs;
        const uint64_t waits =
            workUs > bridgeLatencyUs ? ceilDiv(workUs - bridgeLatencyUs, rhythm) : 0;
        return bridgeLatencyUs + waits * rhythm - workUs;
    }

    // A transfer occupies whole frames, at most bulkPacketsPerFrame packets in each.
    uint64_t framesUs(uint64_t packets) const {
        return ceilDiv(packets, timing.bulkPacketsPerFrame) * timing.frameUs;
    }

    const sim::TimingModel& timing;
    const Carrier carrier;
    WireTime total;
};

// Full blocks, then the rest: the same split the update procedure makes.
template <typename PerBlock>
void inBlocks(uint32_t size, uint32_t block, PerBlock perBlock) {
    for (uint32_t done = 0; done < size; done += block)
        perBlock(std::min(block, size - done));
}

}  // namespace

WireTime updateWireTime(const sim::TimingModel& timing, Carrier carrier, const FirmwareImage& row,
                        bool reopen) {
    Ledger ledger(timing, carrier);
    // The FTDI link purges both directions (two vendor requests) around connect and disconnect.
    const int purge = carrier == Carrier::FtdiBridge ? 2 : 0;
    if (reopen) {
        ledger.add({{shortRequestBytes}, 0, 0, purge});
        ledger.pause(reopenPauseUs);
    }
    ledger.add({{shortRequestBytes}, ledger.workUs(0, 0, 0), statusReplyBytes, purge});
    inBlocks(row.size, eraseBlock, [&](uint32_t n) {
        ledger.add({{memoryRequestBytes}, ledger.workUs(n, 0, 0), statusReplyBytes, 0});
    });
    inBlocks(row.size, writeBlock, [&](uint32_t n) {
        ledger.add({{memoryRequestBytes, n}, ledger.workUs(0, n, 0), statusReplyBytes, 0});
    });
    inBlocks(row.size, crcBlock, [&](uint32_t n) {
        ledger.add({{memoryRequestBytes}, ledger.workUs(0, 0, n), crcReplyBytes, 0});
    });
    ledger.add({{shortRequestBytes}, ledger.workUs(0, 0, 0), statusReplyBytes, purge});
    return ledger.result();
}

}  // namespace bench
