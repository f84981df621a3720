#include "loader/PreciseDelay.h"

#include <limits>

namespace {

// Counter ticks in `ms` milliseconds, ms * frequency / 1000 without rounding: taken apart as
// ms * (frequency / 1000) + ms * (frequency % 1000) / 1000, so that no product overflows 64 bits
// even for a fast counter; clamped so the deadline stays representable.
int64_t deadlineAfter(int64_t start, uint32_t ms, int64_t frequency) {
    constexpr int64_t latest = std::numeric_limits<int64_t>::max();
    const int64_t whole = frequency / 1000;
    if (ms != 0 && whole > latest / ms)
        return latest;
    const int64_t rest = frequency % 1000 * ms / 1000;
    if (whole * ms > latest - rest)
        return latest;
    const int64_t ticks = whole * ms + rest;
    return start > 0 && ticks > latest - start ? latest : start + ticks;
}

}  // namespace

void preciseDelay(platform::Clock& clock, uint32_t ms) {
    const int64_t frequency = clock.counterFrequency();
    if (frequency <= 0) {
        clock.sleepMs(ms);
        return;
    }
    const int64_t deadline = deadlineAfter(clock.counter(), ms, frequency);
    clock.sleepMs(ms);
    while (clock.counter() < deadline) {
    }
}
