#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/Clock.h"

namespace platform {

// How often the user has asked the program to stop: Ctrl-C, SIGINT and SIGTERM (on Windows
// Ctrl-C and Ctrl-Break). A long command reads the count and decides what a press means to it;
// nothing is stopped behind its back. Every member may be called from any thread at once.
class Interrupt {
public:
    virtual ~Interrupt() = default;

    // The presses so far.
    virtual unsigned presses() const = 0;

    // Blocks for about `ms`, less once there are more than `seen` presses (at once when there
    // are already). Answers presses(); may now and then end early without a new press.
    virtual unsigned waitMs(uint32_t ms, unsigned seen) = 0;
};

// Presses made by calling press(): the interrupt of a run that catches no signal (it is never
// pressed), and of tests, which press it without a signal. Waits by sleeping on its clock.
class CountedInterrupt final : public Interrupt {
public:
    explicit CountedInterrupt(Clock& on) : clock(on) {}

    void press() { ++count; }
    unsigned presses() const override { return count.load(); }
    unsigned waitMs(uint32_t ms, unsigned seen) override {
        if (count.load() <= seen)
            clock.sleepMs(ms);
        // A virtual clock's sleep is over at once: a loop of waits still lets others run.
        std::this_thread::yield();
        return count.load();
    }

private:
    Clock& clock;
    std::atomic<unsigned> count{0};
};

// Catches the system's interrupts while it lives, counting each; destroying it gives them back
// to whatever handled them before. The first two presses are only counted. The third gives the
// system its default back and lets that press through, so that a program stuck where it no longer
// reads the count still ends as an uncaught Ctrl-C ends it. Waits in real time. One at a time in a
// process (signal dispositions are the process's): throws std::logic_error while another lives.
std::unique_ptr<Interrupt> catchInterrupts();

// The presses at which catchInterrupts' system handler gives the default back.
inline constexpr unsigned kPressesBeforeDefault = 3;

}  // namespace platform
