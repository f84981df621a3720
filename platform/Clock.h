#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// Time as the program sees it. The program uses the steady clock; tests use a virtual clock
// whose sleeps advance time at once.
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

// The clock of this process: the steady clock unless another one was installed.
Clock& currentClock();

// Makes `replacement` the clock of this process and hands back the previous one.
std::unique_ptr<Clock> installClock(std::unique_ptr<Clock> replacement);

}  // namespace platform
