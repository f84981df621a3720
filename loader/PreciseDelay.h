#pragma once

#include <cstdint>

// Pauses for at least `ms` milliseconds on the process clock: an ordinary sleep, then a spin on
// the high-resolution counter in case the sleep came back early. Without a counter (frequency
// not positive) it only sleeps.
void preciseDelay(uint32_t ms);
