#include "firmware/ProbeReturn.h"

#include "platform/Clock.h"

void sleepBeforeAttempt(unsigned /*attempt*/, unsigned /*attempts*/, uint32_t ms) {
    platform::currentClock().sleepMs(ms);
}
