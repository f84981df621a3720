#include "platform/Clock.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace platform {

void Clock::sleepUs(uint64_t us) {
    const uint64_t ms = (us + 999) / 1000;
    sleepMs(ms > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(ms));
}

namespace {

class SteadyClock final : public Clock {
public:
    void sleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    uint32_t tickMs() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    int64_t counter() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int64_t counterFrequency() override { return 1'000'000'000; }
};

}  // namespace

Clock& steadyClock() {
    static SteadyClock steady;
    return steady;
}

}  // namespace platform
