#pragma once

#include <cstdint>
#include <functional>

#include "platform/Clock.h"
#include "platform/HException.h"

// Waiting for a probe that left the bus to come back: after restarting into its loader for an
// update, or after the update itself. The update's reopen and the command-line tool's read-back
// both wait this way.

// Eleven tries, one second apart: a restart takes well under a second, a slow hub a few more.
inline constexpr unsigned probeReturnAttempts = 11;
inline constexpr uint32_t probeReturnPauseMs = 1000;

// Waits `ms` before try number `attempt` (from 1) of `attempts`. The window pumps its events
// meanwhile; everything else sleeps on its clock (sleepingOn).
using ReturnPause = std::function<void(unsigned attempt, unsigned attempts, uint32_t ms)>;
ReturnPause sleepingOn(platform::Clock& clock);

// Runs `attempt` until it returns without an HException, at most probeReturnAttempts times, each
// try preceded by a pause of probeReturnPauseMs. The last try's HException propagates. Keeps
// nothing of its own: waits on several threads at once are independent.
template <typename Attempt>
auto awaitProbeReturn(Attempt&& attempt, const ReturnPause& pause) {
    for (unsigned tried = 1;; ++tried) {
        pause(tried, probeReturnAttempts, probeReturnPauseMs);
        try {
            return attempt();
        } catch (HException&) {
            if (tried == probeReturnAttempts)
                throw;
        }
    }
}
