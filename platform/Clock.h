#pragma once

#include <cstdint>

namespace platform {

// Time as the program sees it. The program uses the steady clock; tests use a virtual clock
// whose sleeps advance time at once. A clock handed to several threads is called from all of them
// at once: the steady clock and sim's virtual clock allow that, and each sleep blocks only its
// caller.
class Clock {
public:
    virtual ~Clock() = default;
    // Blocks for about `ms` milliseconds; may return a little early.
    virtual void sleepMs(uint32_t ms) = 0;
    // Blocks for about `us` microseconds: emulated hardware keeps sub-millisecond time. The
    // default sleeps whole milliseconds, rounded up.
    virtual void sleepUs(uint64_t us);
    // Milliseconds since an arbitrary start; wraps around at 2^32.
    virtual uint32_t tickMs() = 0;
    // A high-resolution counter and its ticks per second (not positive when there is none).
    virtual int64_t counter() = 0;
    virtual int64_t counterFrequency() = 0;
};

// The program's one clock: std::chrono::steady_clock, with the thread's own sleeps. Nothing
// replaces it: code that is to run on other time is handed another clock.
Clock& steadyClock();

}  // namespace platform
