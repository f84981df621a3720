#pragma once

#include <cstdint>

#include "platform/Clock.h"

// Time as the emulated devices see it: the clock of the bus they are plugged into, read and spent
// in microseconds. On a virtual clock, spending time advances it at once and exactly; on the
// steady clock it sleeps, rounded up to whole milliseconds.
namespace sim {

uint64_t nowUs(platform::Clock& clock);
void spendUs(platform::Clock& clock, uint64_t us);

}  // namespace sim
