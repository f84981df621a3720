#include "sim/TimingModel.h"

namespace sim {

namespace {

uint64_t ceilDiv(uint64_t a, uint64_t b) {
    return b == 0 ? 0 : (a + b - 1) / b;
}

}  // namespace

uint64_t bulkTransferUs(const TimingModel& timing, uint64_t bytes) {
    const uint64_t packets = bytes == 0 ? 1 : ceilDiv(bytes, timing.packetBytes);
    return ceilDiv(packets, timing.bulkPacketsPerFrame) * timing.frameUs;
}

uint64_t loaderWorkUs(const TimingModel& timing, const LoaderWork& work) {
    return timing.commandUs + ceilDiv(uint64_t{work.erasedBytes} * timing.eraseUsPer8KiB, 8192) +
           ceilDiv(uint64_t{work.writtenBytes} * timing.writeUsPer4KiB, 4096) +
           ceilDiv(uint64_t{work.checkedBytes} * timing.crcUsPerKiB, 1024);
}

}  // namespace sim
