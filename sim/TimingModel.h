#pragma once

#include <cstdint>

#include "sim/ResidentLoader.h"

namespace sim {

// How long things take on a real probe, for benchmarks on the virtual clock. Off by default:
// without it transfers and flash work cost no time, and only waits that the protocol itself
// defines (a bridge's latency timer, a transfer that is never answered) pass time.
//
// The figures are those of a USB full-speed link and a small microcontroller's on-chip flash.
struct TimingModel {
    uint32_t frameUs = 1000;            // full-speed frame
    uint32_t packetBytes = 64;          // full-speed bulk packet
    uint32_t bulkPacketsPerFrame = 19;  // what fits into a frame beside the other traffic
    uint32_t controlTransferUs = 1000;  // setup, data and status stages, one frame
    uint32_t eraseUsPer8KiB = 20000;    // sector erase
    uint32_t writeUsPer4KiB = 9000;     // programming, word by word
    uint32_t crcUsPerKiB = 60;          // table-driven CRC over flash
    uint32_t commandUs = 50;            // decoding a command and building its reply
};

// Whole frames needed to move `bytes` over bulk packets (a zero-length packet takes one).
uint64_t bulkTransferUs(const TimingModel& timing, uint64_t bytes);
// Time the probe is busy with a command before its reply is ready.
uint64_t loaderWorkUs(const TimingModel& timing, const LoaderWork& work);

}  // namespace sim
