#include "sim/SimTime.h"

namespace sim {

uint64_t nowUs(platform::Clock& clock) {
    const int64_t frequency = clock.counterFrequency();
    if (frequency <= 0)
        return uint64_t{clock.tickMs()} * 1000;
    // Split the conversion so that a nanosecond counter does not overflow the product.
    const auto counter = static_cast<uint64_t>(clock.counter());
    const auto perSecond = static_cast<uint64_t>(frequency);
    return counter / perSecond * 1'000'000 + counter % perSecond * 1'000'000 / perSecond;
}

void spendUs(platform::Clock& clock, uint64_t us) {
    if (us != 0)
        clock.sleepUs(us);
}

}  // namespace sim
