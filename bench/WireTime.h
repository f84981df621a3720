#pragma once

#include <cstdint>

#include "sim/TimingModel.h"

struct FirmwareImage;

namespace bench {

// How the probe's loader is reached. The FTDI bridge sends IN data in 64-byte packets that carry
// 62 payload bytes after two status bytes, and holds a packet with less payload until its latency
// timer runs out (the link sets it to 1 ms), which it restarts with every packet it sends, a
// status-only one included; plain bulk pipes send replies as they are.
enum class Carrier { FtdiBridge, PlainBulk };

// What one whole update needs from the USB wire and the probe, worked out from its request
// sequence alone: connect, erase in 8 KiB, write in 4 KiB, CRC in 8 KiB, disconnect. Whatever an
// update takes beyond this is the host's doing.
struct WireTime {
    uint64_t busUs = 0;         // whole full-speed frames of every control and bulk transfer
    uint64_t probeUs = 0;       // command handling and flash work, from the timing model
    uint64_t bridgeHoldUs = 0;  // ready short replies waiting for the bridge's next packet
    uint64_t pauseUs = 0;       // pauses the procedure itself prescribes (reopen)
    uint64_t longestExchangeUs = 0;
    int exchanges = 0;  // loader requests, each answered before the next
    int transfers = 0;  // USB transfers, control transfers included

    uint64_t totalUs() const { return busUs + probeUs + bridgeHoldUs + pauseUs; }
};

// `reopen`: the probe runs firmware of a variant that restarts into its loader on connect, so the
// update sends one connect that is never answered and waits a second before the real one.
WireTime updateWireTime(const sim::TimingModel& timing, Carrier carrier, const FirmwareImage& row,
                        bool reopen);

}  // namespace bench
