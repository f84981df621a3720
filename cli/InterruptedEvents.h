#pragma once

#include <mutex>
#include <vector>

#include "cli/UpdateEvents.h"
#include "platform/Interrupt.h"

namespace cli {

// Passes every event on to `inner` and keeps the finished records for the thread that runs the
// command, which reports them (take()). From the second press of `interrupt` on, a phase's
// beginning or step throws HException instead: the update stops at its next request, the
// procedure names the probe left part-way, and nothing else is cut short. One press lets every
// update run to its end. Thread-safe: the pool's workers tell it at once.
class InterruptedEvents final : public UpdateEvents {
public:
    InterruptedEvents(UpdateEvents& inner, const platform::Interrupt& interrupt)
        : next(inner), presses(interrupt) {}

    void started(const std::string& serial, const std::string& variant) override;
    void said(const std::string& serial, const std::string& line) override;
    void phaseBegan(const std::string& serial, const std::string& task, int steps,
                    const std::string& units) override;
    void stepped(const std::string& serial, int step, int steps) override;
    void phaseEnded(const std::string& serial, bool succeeded) override;
    void finished(const UpdateRecord& record) override;

    // The records finished since the last call, in finishing order.
    std::vector<UpdateRecord> take();
    // How many updates have finished so far.
    std::size_t finishedSoFar();

private:
    void stopWhenPressedTwice() const;

    UpdateEvents& next;
    const platform::Interrupt& presses;
    std::mutex mutex;
    std::vector<UpdateRecord> ended;
    std::size_t finishedCount = 0;
};

// Tells nothing: for a command that reports records alone.
class QuietEvents final : public UpdateEvents {
public:
    void started(const std::string&, const std::string&) override {}
    void said(const std::string&, const std::string&) override {}
    void phaseBegan(const std::string&, const std::string&, int, const std::string&) override {}
    void stepped(const std::string&, int, int) override {}
    void phaseEnded(const std::string&, bool) override {}
    void finished(const UpdateRecord&) override {}
};

}  // namespace cli
