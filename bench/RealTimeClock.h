#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/Clock.h"

namespace bench {

// The steady clock with sleeps to the microsecond, for a virtual bus whose probes are to take
// their modelled time in real time: probes worked on by several threads at once then wait side
// by side, as on real ports (the virtual clock adds such waits up). The program's own steady
// clock sleeps whole milliseconds, too coarse for the probe's frames. Keeps no state: any thread
// may use it at once.
class RealTimeClock final : public platform::Clock {
public:
    void sleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    void sleepUs(uint64_t us) override {
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
    uint32_t tickMs() override {
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch()).count());
    }
    int64_t counter() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch()).count();
    }
    int64_t counterFrequency() override { return 1'000'000'000; }

private:
    static std::chrono::steady_clock::duration sinceEpoch() {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
};

}  // namespace bench
