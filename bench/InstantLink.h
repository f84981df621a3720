#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "link/HDataLink.h"

namespace bench {

// A link whose far end accepts every loader request at once and does nothing: what is left of
// an exchange over it is the host's own protocol work (framing, checks, the CRC). Replies carry
// the reply tag, status 1 and zeros (so a CRC check answers "mismatch", which is no error).
class InstantLink final : public HDataLink {
public:
    explicit InstantLink(platform::Clock& clock) : HDataLink(clock) {}

    int write(const void* buffer, unsigned length) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        // Request frames are 5 or 13 bytes; the data of a write request is longer.
        if (length == 5 || length == 13)
            lastTag = bytes[0];
        return static_cast<int>(length);
    }

    int read(void* buffer, unsigned length) override {
        std::array<uint8_t, 128> reply{};
        reply[0] = static_cast<uint8_t>(0xFF - lastTag);
        reply[1] = 1;
        const unsigned n = std::min<unsigned>(length, reply.size());
        std::memcpy(buffer, reply.data(), n);
        return static_cast<int>(n);
    }

private:
    uint8_t lastTag = 0;
};

}  // namespace bench
