#include "cli/InterruptedEvents.h"

#include <utility>

#include "cli/CliMessages.h"
#include "platform/HException.h"

namespace cli {

void InterruptedEvents::stopWhenPressedTwice() const {
    if (presses.presses() >= 2)
        throw HException(messages::stoppedByInterrupt);
}

void InterruptedEvents::started(const std::string& serial, const std::string& variant) {
    next.started(serial, variant);
}

void InterruptedEvents::said(const std::string& serial, const std::string& line) {
    next.said(serial, line);
}

void InterruptedEvents::phaseBegan(const std::string& serial, const std::string& task, int steps,
                                   const std::string& units) {
    stopWhenPressedTwice();
    next.phaseBegan(serial, task, steps, units);
}

void InterruptedEvents::stepped(const std::string& serial, int step, int steps) {
    stopWhenPressedTwice();
    next.stepped(serial, step, steps);
}

void InterruptedEvents::phaseEnded(const std::string& serial, bool succeeded) {
    next.phaseEnded(serial, succeeded);
}

void InterruptedEvents::finished(const UpdateRecord& record) {
    next.finished(record);
    const std::lock_guard lock(mutex);
    ended.push_back(record);
    ++finishedCount;
}

std::size_t InterruptedEvents::finishedSoFar() {
    const std::lock_guard lock(mutex);
    return finishedCount;
}

std::vector<UpdateRecord> InterruptedEvents::take() {
    const std::lock_guard lock(mutex);
    return std::exchange(ended, {});
}

}  // namespace cli
