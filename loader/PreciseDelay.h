#pragma once

#include <cstdint>

#include "platform/Clock.h"

// Pauses for at least `ms` milliseconds on `clock`: an ordinary sleep, then a spin on the
// high-resolution counter in case the sleep came back early. Without a counter (frequency not
// positive) it only sleeps. Blocks only its caller.
void preciseDelay(platform::Clock& clock, uint32_t ms);
