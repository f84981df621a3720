#include "sim/BulkPipes.h"

#include <algorithm>

namespace sim {

BulkPipes::BulkPipes(ProbeLine& loaderLine) : line(loaderLine) {}

int BulkPipes::interfaceOfEndpoint(uint8_t endpoint) const {
    return endpoint == kOutPipe || endpoint == kInPipe ? 0 : -1;
}

int BulkPipes::bulkOut(uint8_t endpoint, std::span<const uint8_t> data) {
    if (endpoint != kOutPipe)
        return -1;
    line.receive(data);
    return static_cast<int>(data.size());
}

int BulkPipes::bulkIn(uint8_t endpoint, std::span<uint8_t> buffer, TransferWait& wait, bool) {
    if (endpoint != kInPipe)
        return -1;
    ReplyQueue& queue = line.replies();
    std::size_t available = queue.readyInFirstChunk(wait.nowUs());
    while (available == 0) {
        const std::optional<uint64_t> readyAt = queue.nextReadyAt();
        if (!readyAt) {
            // Nothing is coming: the transfer runs into its time-out. One without a time-out
            // would hang for good, so it fails at once instead.
            const std::optional<uint64_t> left = wait.remainingUs();
            if (left)
                wait.waitUs(*left);
            return -1;
        }
        const uint64_t now = wait.nowUs();
        if (!wait.waitUs(*readyAt > now ? *readyAt - now : 0))
            return -1;
        available = queue.readyInFirstChunk(wait.nowUs());
    }
    // Whole packets while they fit; the last packet of the reply may be short. A packet larger
    // than what is left of the host's buffer is an overflow: it is lost and the transfer fails.
    std::size_t filled = 0;
    while (available > 0 && filled < buffer.size()) {
        const std::size_t packet = std::min(available, kPacketSize);
        const std::vector<uint8_t> bytes = queue.take(packet);
        if (buffer.size() - filled < packet)
            return -1;
        std::copy(bytes.begin(), bytes.end(), buffer.begin() + static_cast<std::ptrdiff_t>(filled));
        filled += packet;
        available -= packet;
    }
    return static_cast<int>(filled);
}

}  // namespace sim
