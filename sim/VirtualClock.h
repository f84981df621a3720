#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/Clock.h"

namespace sim {

// Time for tests, benchmarks and the emulator: a sleep advances time at once, so a one-second
// pause or a sixty-second time-out costs nothing. The counter runs at 1 MHz so sub-millisecond
// spans are visible. `sleptMs`, when given, runs after every sleepMs: the emulator uses it to
// bring its testbed up to date, so that a probe that restarted into its loader is back by the
// time the program's pause before reopening it is over. Thread-safe: an emulated device may
// advance time from its own thread, and `sleptMs` may run on any thread that sleeps. Sleeps on
// several threads add up rather than overlap (two threads sleeping a second each move it on by
// two), so it keeps the time of one thread of work, not of parallel waits.
class VirtualClock final : public platform::Clock {
public:
    explicit VirtualClock(std::function<void()> sleptMs = {}) : afterSleep(std::move(sleptMs)) {}

    void sleepMs(uint32_t ms) override {
        advanceUs(uint64_t{ms} * 1000);
        if (afterSleep)
            afterSleep();
    }
    void sleepUs(uint64_t us) override { advanceUs(us); }
    uint32_t tickMs() override { return static_cast<uint32_t>(nowUs.load() / 1000); }
    int64_t counter() override { return static_cast<int64_t>(nowUs.load()); }
    int64_t counterFrequency() override { return 1'000'000; }

    void advanceUs(uint64_t us) { nowUs += us; }
    uint64_t elapsedUs() const { return nowUs.load(); }

private:
    const std::function<void()> afterSleep;
    std::atomic<uint64_t> nowUs{0};
};

}  // namespace sim
