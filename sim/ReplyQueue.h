#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace sim {

// Bytes the probe has to send to the host, in chunks (one per reply), each available from the
// moment its work is done. A bridge chip streams the chunks together; a plain bulk endpoint
// sends each chunk as a transfer of its own.
class ReplyQueue {
public:
    void push(std::vector<uint8_t> bytes, uint64_t readyAtUs);

    // Bytes available at `nowUs`, counted across chunks up to the first one still in the works.
    std::size_t readyBytes(uint64_t nowUs) const;
    // Bytes left in the first chunk when it is available at `nowUs`, else 0.
    std::size_t readyInFirstChunk(uint64_t nowUs) const;
    // When the first chunk becomes available; nothing when the queue is empty.
    std::optional<uint64_t> nextReadyAt() const;

    // Removes up to `count` bytes from the front, across chunks.
    std::vector<uint8_t> take(std::size_t count);
    void clear() { chunks.clear(); }
    bool empty() const { return chunks.empty(); }

private:
    struct Chunk {
        std::vector<uint8_t> bytes;
        std::size_t sent = 0;
        uint64_t readyAtUs = 0;
        std::size_t left() const { return bytes.size() - sent; }
    };
    std::deque<Chunk> chunks;
};

}  // namespace sim
