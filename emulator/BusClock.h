#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Clock.h"

namespace emulator {

// Virtual time, like sim::VirtualClock, whose passing the emulated bus notices at once: after
// every sleep, `timePassed` runs (EmulatedUsb::settle), so a probe that restarted into its loader
// is back in the testbed by the time the program's pause before reopening it is over. Sleeps by
// the program and by the virtual probes (a bridge's latency timer) cost no real time.
// Thread-safe; `timePassed` may run on any thread that sleeps.
class BusClock final : public platform::Clock {
public:
    explicit BusClock(std::function<void()> timePassed);

    void sleepMs(uint32_t ms) override;
    uint32_t tickMs() override { return static_cast<uint32_t>(nowUs.load() / 1000); }
    int64_t counter() override { return static_cast<int64_t>(nowUs.load()); }
    int64_t counterFrequency() override { return 1'000'000; }

    uint64_t elapsedUs() const { return nowUs.load(); }

private:
    const std::function<void()> timePassed;
    std::atomic<uint64_t> nowUs{0};
};

// Installs a BusClock for the lifetime of the guard and restores the previous clock after.
class BusClockScope {
public:
    explicit BusClockScope(std::function<void()> timePassed);
    ~BusClockScope();
    BusClockScope(const BusClockScope&) = delete;
    BusClockScope& operator=(const BusClockScope&) = delete;
    BusClock& clock() { return *busClock; }

private:
    BusClock* busClock;
    std::unique_ptr<platform::Clock> previous;
};

}  // namespace emulator
