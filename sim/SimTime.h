#pragma once

#include <cstdint>

// Time as the emulated devices see it: whatever clock the process runs on (platform/Clock.h),
// read and spent in microseconds. With a virtual clock installed, spending time advances it at
// once and exactly; with the steady clock it sleeps, rounded up to whole milliseconds.
namespace sim {

uint64_t nowUs();
void spendUs(uint64_t us);

}  // namespace sim
