#include "sim/SimTime.h"

#include "platform/Clock.h"

namespace sim {

uint64_t nowUs() {
    platform::Clock& clock = platform::currentClock();
    const int64_t frequency = clock.counterFrequency();
    if (frequency <= 0)
        return uint64_t{clock.tickMs()} * 1000;
    // Split the conversion so that a nanosecond counter does not overflow the product.
    const auto counter = static_cast<uint64_t>(clock.counter());
    const auto perSecond = static_cast<uint64_t>(frequency);
    return counter / perSecond * 1'000'000 + counter % perSecond * 1'000'000 / perSecond;
}

void spendUs(uint64_t us) {
    if (us != 0)
        platform::currentClock().sleepUs(us);
}

}  // namespace sim
