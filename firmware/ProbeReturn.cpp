#include "firmware/ProbeReturn.h"

ReturnPause sleepingOn(platform::Clock& clock) {
    return [&clock](unsigned, unsigned, uint32_t ms) { clock.sleepMs(ms); };
}
