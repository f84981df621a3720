#include "link/FtdiFraming.h"

#include <algorithm>
#include <cstring>

std::size_t stripFtdiStatus(std::span<const uint8_t> raw, std::span<uint8_t> payload,
                            std::size_t packetSize) {
    if (packetSize <= kFtdiStatusBytes)
        return 0;
    std::size_t kept = 0;
    // Advancing by the packet actually taken (not by packetSize) keeps the walk from wrapping
    // around for any packet size.
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t packet = std::min(packetSize, raw.size() - start);
        if (packet > kFtdiStatusBytes) {
            const std::size_t take = std::min(packet - kFtdiStatusBytes, payload.size() - kept);
            if (take == 0)
                break;
            std::memcpy(payload.data() + kept, raw.data() + start + kFtdiStatusBytes, take);
            kept += take;
        }
        start += packet;
    }
    return kept;
}
