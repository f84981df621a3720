#include "sim/ReplyQueue.h"

#include <algorithm>

namespace sim {

void ReplyQueue::push(std::vector<uint8_t> bytes, uint64_t readyAtUs) {
    if (bytes.empty())
        return;
    // Replies leave in order: one never overtakes the reply before it.
    if (!chunks.empty())
        readyAtUs = std::max(readyAtUs, chunks.back().readyAtUs);
    chunks.push_back({std::move(bytes), 0, readyAtUs});
}

std::size_t ReplyQueue::readyBytes(uint64_t nowUs) const {
    std::size_t count = 0;
    for (const Chunk& chunk : chunks) {
        if (chunk.readyAtUs > nowUs)
            break;
        count += chunk.left();
    }
    return count;
}

std::size_t ReplyQueue::readyInFirstChunk(uint64_t nowUs) const {
    if (chunks.empty() || chunks.front().readyAtUs > nowUs)
        return 0;
    return chunks.front().left();
}

std::optional<uint64_t> ReplyQueue::nextReadyAt() const {
    if (chunks.empty())
        return std::nullopt;
    return chunks.front().readyAtUs;
}

std::vector<uint8_t> ReplyQueue::take(std::size_t count) {
    std::vector<uint8_t> out;
    while (count > 0 && !chunks.empty()) {
        Chunk& chunk = chunks.front();
        const std::size_t n = std::min(count, chunk.left());
        const auto first = chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.sent);
        out.insert(out.end(), first, first + static_cast<std::ptrdiff_t>(n));
        chunk.sent += n;
        count -= n;
        if (chunk.left() == 0)
            chunks.pop_front();
    }
    return out;
}

}  // namespace sim
