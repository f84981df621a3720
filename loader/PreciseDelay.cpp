#include "loader/PreciseDelay.h"

#include <limits>

namespace {

__extension__ typedef __int128 WideCount;

// Counter ticks in `ms` milliseconds: the product first, so nothing is lost to rounding, taken
// in 128 bits so that a fast counter cannot overflow it; clamped so the deadline stays
// representable.
int64_t deadlineAfter(int64_t start, uint32_t ms, int64_t frequency) {
    const WideCount deadline = start + WideCount{ms} * frequency / 1000;
    return deadline > std::numeric_limits<int64_t>::max() ? std::numeric_limits<int64_t>::max()
                                                          : static_cast<int64_t>(deadline);
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
