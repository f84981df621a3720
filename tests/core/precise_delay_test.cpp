#include "loader/PreciseDelay.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Clock.h"

namespace {

// A clock whose sleeps come back after a quarter of the time, and whose counter moves on by a
// step at every read, as a real counter does while the caller spins.
struct EarlyWakingClock final : platform::Clock {
    EarlyWakingClock(int64_t ticksPerSecond, int64_t ticksPerRead)
        : frequency(ticksPerSecond), step(ticksPerRead) {}
    void sleepMs(uint32_t ms) override {
        slept += ms;
        now += ms * std::max<int64_t>(frequency / 4000, 1);
    }
    uint32_t tickMs() override { return 0; }
    int64_t counter() override { return now += step; }
    int64_t counterFrequency() override { return frequency; }
    const int64_t frequency, step;
    int64_t now = 1000;
    uint32_t slept = 0;
};

}  // namespace

TEST(PreciseDelay, SleepsThenSpinsToTheDeadlineAndWithoutACounterOnlySleeps) {
    // At 4e15 ticks a second, 3 s of ticks overflow 64 bits when multiplied by 1000 first.
    const std::pair<int64_t, int64_t> clocks[] = {
        {1'000'000, 7}, {4'000'000'000'000'000, 100'000'000'000'000}, {0, 1}, {-1, 1}};
    for (const auto& [frequency, step] : clocks) {
        EarlyWakingClock clock(frequency, step);
        preciseDelay(clock, 3000);
        EXPECT_EQ(clock.slept, 3000u);
        if (frequency > 0) {  // the first read, then three seconds of ticks
            EXPECT_GE(clock.now, 1000 + step + 3 * frequency);
            EXPECT_LT(clock.now, 1000 + 2 * step + 3 * frequency);
        } else {
            EXPECT_EQ(clock.now, 4000);  // the counter was never read
        }
    }
}
