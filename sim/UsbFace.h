#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "sim/ReplyQueue.h"

namespace sim {

struct ControlSetup {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
};

// The probe's microcontroller as its USB face sees it: where command bytes go, what purging the
// incoming side discards, and the replies waiting to be sent.
class ProbeLine {
public:
    virtual void receive(std::span<const uint8_t> bytes) = 0;
    virtual void discardIncoming() = 0;
    virtual ReplyQueue& replies() = 0;

protected:
    ~ProbeLine() = default;
};

// Lets a transfer wait on the clock without holding the probe's lock.
class TransferWait {
public:
    virtual uint64_t nowUs() = 0;
    // Waits `us`. False when the transfer's time-out came first (the wait then used up the rest
    // of it) or the probe left the bus meanwhile.
    virtual bool waitUs(uint64_t us) = 0;
    // Time left before the transfer's time-out; nothing when it has none.
    virtual std::optional<uint64_t> remainingUs() = 0;

protected:
    ~TransferWait() = default;
};

// What a probe variant shows on USB: its interfaces and endpoints, how bulk transfers carry
// bytes to and from its microcontroller, and the control requests it knows. Called with the
// probe's lock held; only TransferWait releases it.
class UsbFace {
public:
    virtual ~UsbFace() = default;

    virtual int interfaceOfEndpoint(uint8_t endpoint) const = 0;
    virtual bool hasInterface(int interfaceNumber) const = 0;
    // Bytes accepted, or -1 for an endpoint that takes none.
    virtual int bulkOut(uint8_t endpoint, std::span<const uint8_t> data) = 0;
    // Bytes delivered, or -1 (no such endpoint, overflow, time-out, probe gone). `timed` says
    // whether the timing model is on.
    virtual int bulkIn(uint8_t endpoint, std::span<uint8_t> buffer, TransferWait& wait,
                       bool timed) = 0;
    // Data-stage bytes moved, or -1 for a request the face refuses (stall).
    virtual int control(const ControlSetup& setup, std::span<uint8_t> data) = 0;
    // Back to the state after power-on or a bus reset.
    virtual void powerOn() = 0;
};

// A face with descriptors only: no interface this program can use.
std::unique_ptr<UsbFace> makeDescriptorOnlyFace();

}  // namespace sim
