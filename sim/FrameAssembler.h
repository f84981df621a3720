#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/LoaderWire.h"

namespace sim {

// One complete request as the loader's receive path assembled it.
struct LoaderRequest {
    uint8_t tag = 0;
    // Unknown tag or wrong signature: the loader refuses it and drops the rest of the transfer.
    bool malformed = false;
    uint32_t address = 0;
    uint32_t length = 0;
    // A write's data bytes, as far as they were kept (see FrameAssembler).
    std::vector<uint8_t> data;
    // A write longer than any region: its data was counted off but not kept.
    bool dataDropped = false;

    Command command() const { return static_cast<Command>(tag); }
};

// Turns the byte stream arriving on the loader's pipe into requests. Transfer boundaries do not
// matter: a frame may arrive in pieces and a write's data in the same or later transfers. Zero
// bytes between frames are filler and skipped, so that the host's blocks of zeros that
// resynchronise the line produce no answer.
class FrameAssembler {
public:
    // Writes longer than this are counted off without keeping their data.
    static constexpr uint32_t kMaxKeptData = 1u << 20;

    // Feeds one OUT transfer; answers the requests it completed, in arrival order. After a
    // malformed frame the rest of the transfer is dropped.
    std::vector<LoaderRequest> feed(std::span<const uint8_t> bytes);
    // Forgets a partial frame and write data still expected.
    void discard();
    // True while a frame or a write's data is partly received.
    bool midFrame() const { return !header.empty() || dataExpected > 0; }

private:
    std::vector<uint8_t> header;
    LoaderRequest pendingWrite;
    uint32_t dataExpected = 0;
};

}  // namespace sim
