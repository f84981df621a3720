#include "emulator/BusClock.h"

#include <utility>

namespace emulator {

BusClock::BusClock(std::function<void()> onTimePassed) : timePassed(std::move(onTimePassed)) {}

void BusClock::sleepMs(uint32_t ms) {
    nowUs += uint64_t{ms} * 1000;
    if (timePassed)
        timePassed();
}

BusClockScope::BusClockScope(std::function<void()> timePassed) {
    auto owned = std::make_unique<BusClock>(std::move(timePassed));
    busClock = owned.get();
    previous = platform::installClock(std::move(owned));
}

BusClockScope::~BusClockScope() {
    platform::installClock(std::move(previous));
}

}  // namespace emulator
