#pragma once

#include <cstdint>
#include <vector>

#include "sim/FlashMemory.h"
#include "sim/FrameAssembler.h"

namespace sim {

// Flash work a command caused, for the timing model.
struct LoaderWork {
    uint32_t erasedBytes = 0;
    uint32_t writtenBytes = 0;
    uint32_t checkedBytes = 0;
};

struct LoaderReply {
    std::vector<uint8_t> bytes;
    LoaderWork work;
};

// The loader that stays resident in every probe: carries out one assembled request against the
// probe's flash and builds the reply. Memory commands and disconnect need a connected session;
// connect and info are answered at any time.
class ResidentLoader {
public:
    ResidentLoader(FlashMemory& flash, uint16_t versionMajor, uint16_t versionMinor);

    LoaderReply execute(const LoaderRequest& request);

    bool connected() const { return session; }
    // The session ends without a disconnect when the probe loses power or re-enumerates.
    void endSession() { session = false; }

    // A reply of the command's full size carrying `status` and nothing else (refused, busy).
    static std::vector<uint8_t> statusReply(uint8_t tag, uint8_t status);

private:
    std::vector<uint8_t> infoReply() const;

    FlashMemory& flash;
    uint16_t major;
    uint16_t minor;
    bool session = false;
};

}  // namespace sim
