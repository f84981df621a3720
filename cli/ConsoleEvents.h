#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "cli/UpdateEvents.h"

namespace cli {

// What every display of updates shares: one console, written under one lock, and the history
// each finished update goes into before the display reports it. Derived displays take hold()
// in each of their events; the console is then theirs alone, whichever worker calls.
class ConsoleEvents : public UpdateEvents {
public:
    // Every update is over: what a display keeps until then is written now.
    virtual void end() {}

protected:
    ConsoleEvents(const Console& to, std::optional<std::string> history)
        : console(to), historyFile(std::move(history)) {}

    std::unique_lock<std::mutex> hold() { return std::unique_lock(mutex); }

    // Under hold(): stamps the record with the time and this program's version, appends it to
    // the history (a warning on `err` when that fails) and answers it as kept.
    UpdateRecord record(const UpdateRecord& finished) const;

    const Console& console;

private:
    const std::optional<std::string> historyFile;
    std::mutex mutex;
};

}  // namespace cli
