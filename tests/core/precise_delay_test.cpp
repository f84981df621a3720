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
    // Frequency, ticks per read, and the counter's end: past the first read and three seconds
    // of ticks, before a second read more. At 4e15 ticks a second, 3 s of ticks overflow 64 bits
    // when multiplied by 1000 first. Without a counter it is never read.
    // clang-format off
    const struct { int64_t frequency, step, from, below; } clocks[] = {
        {1'000'000, 7, 3'001'007, 3'001'014}, {0, 1, 4000, 4001}, {-1, 1, 4000, 4001},
        {4'000'000'000'000'000, 100'000'000'000'000,
         12'100'000'000'001'000, 12'200'000'000'001'000}};
    // clang-format on
    for (const auto& [frequency, step, from, below] : clocks) {
        EarlyWakingClock clock(frequency, step);
        preciseDelay(clock, 3000);
        EXPECT_EQ(clock.slept, 3000u);
        EXPECT_GE(clock.now, from);
        EXPECT_LT(clock.now, below);
    }
}
