#pragma once

#include <atomic>
#include <cstdint>

#include "platform/Clock.h"

namespace sim {

// Time for tests: a sleep advances time at once, so a one-second pause or a sixty-second
// time-out costs nothing. The counter runs at 1 MHz so sub-millisecond spans are visible.
// Thread-safe: an emulated device may advance time from its own thread.
class VirtualClock final : public platform::Clock {
public:
    void sleepMs(uint32_t ms) override { advanceUs(uint64_t{ms} * 1000); }
    uint32_t tickMs() override { return static_cast<uint32_t>(nowUs.load() / 1000); }
    int64_t counter() override { return static_cast<int64_t>(nowUs.load()); }
    int64_t counterFrequency() override { return 1'000'000; }

    void advanceUs(uint64_t us) { nowUs += us; }
    uint64_t elapsedUs() const { return nowUs.load(); }

private:
    std::atomic<uint64_t> nowUs{0};
};

// Installs a virtual clock for the lifetime of the guard and restores the previous clock after.
class VirtualClockScope {
public:
    VirtualClockScope();
    ~VirtualClockScope();
    VirtualClockScope(const VirtualClockScope&) = delete;
    VirtualClockScope& operator=(const VirtualClockScope&) = delete;
    VirtualClock& clock() { return *virtualClock; }

private:
    VirtualClock* virtualClock;
    std::unique_ptr<platform::Clock> previous;
};

}  // namespace sim
