#include "loader/PreciseDelay.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "sim/VirtualClock.h"

namespace {

// A clock whose sleep comes back after only part of the time, and whose counter moves on by a
// fixed step at every read, as a real counter does while the caller spins.
class EarlyWakingClock final : public platform::Clock {
public:
    EarlyWakingClock(int64_t ticksPerSecond, int64_t sleepTicksPerMs, int64_t readTicks)
        : frequency(ticksPerSecond), ticksSleptPerMs(sleepTicksPerMs), ticksPerRead(readTicks) {}

    void sleepMs(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms * ticksSleptPerMs;
    }
    uint32_t tickMs() override { return 0; }
    int64_t counter() override {
        ++reads;
        return now += ticksPerRead;
    }
    int64_t counterFrequency() override { return frequency; }

    int64_t now = 1000;
    int reads = 0;
    std::vector<uint32_t> sleeps;

private:
    int64_t frequency, ticksSleptPerMs, ticksPerRead;
};

// Installs `clock` for the lifetime of the guard.
class ClockScope {
public:
    explicit ClockScope(std::unique_ptr<platform::Clock> clock)
        : previous(platform::installClock(std::move(clock))) {}
    ~ClockScope() { platform::installClock(std::move(previous)); }

private:
    std::unique_ptr<platform::Clock> previous;
};

EarlyWakingClock& install(std::unique_ptr<ClockScope>& scope, int64_t frequency,
                          int64_t ticksSleptPerMs, int64_t ticksPerRead) {
    auto clock = std::make_unique<EarlyWakingClock>(frequency, ticksSleptPerMs, ticksPerRead);
    EarlyWakingClock& view = *clock;
    scope = std::make_unique<ClockScope>(std::move(clock));
    return view;
}

}  // namespace

TEST(PreciseDelay, SpinsPastAnEarlySleepToTheDeadline) {
    std::unique_ptr<ClockScope> scope;
    // 1 MHz counter; the sleep covers a quarter of the time.
    EarlyWakingClock& clock = install(scope, 1'000'000, 250, 7);
    const int64_t start = clock.now + 7;  // the first read is the start
    preciseDelay(1000);
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{1000});
    EXPECT_GE(clock.now, start + 1'000'000);
    EXPECT_LT(clock.now, start + 1'000'000 + 7);
}

TEST(PreciseDelay, FastCounterDoesNotOverflowTheDeadline) {
    std::unique_ptr<ClockScope> scope;
    // 3000 ms at 4e15 Hz: the 64-bit product would overflow. Half of it is slept.
    constexpr int64_t frequency = 4'000'000'000'000'000;
    constexpr int64_t step = 100'000'000'000'000;
    EarlyWakingClock& clock = install(scope, frequency, frequency / 2000, step);
    const int64_t start = clock.now + step;
    preciseDelay(3000);
    EXPECT_GE(clock.now, start + 3 * frequency);
    EXPECT_LT(clock.now, start + 3 * frequency + step);
}

TEST(PreciseDelay, WithoutACounterOnlySleepsAndOnTheVirtualClockTakesExactlyTheTime) {
    for (int64_t frequency : {0, -1}) {
        std::unique_ptr<ClockScope> scope;
        EarlyWakingClock& clock = install(scope, frequency, 1, 1);
        preciseDelay(1000);
        EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{1000});
        EXPECT_EQ(clock.reads, 0);
    }
    sim::VirtualClockScope time;
    preciseDelay(1000);
    EXPECT_EQ(time.clock().elapsedUs(), 1'000'000u);
}
