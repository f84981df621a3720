#include "cli/UpdateAll.h"

#include <algorithm>
#include <memory>

#include "cli/CliMessages.h"
#include "cli/InterruptedEvents.h"
#include "cli/JsonEvents.h"
#include "cli/ProbeConsole.h"
#include "cli/ProbeSurvey.h"
#include "cli/ProgressBoard.h"
#include "cli/UpdatePool.h"
#include "cli/UpdateSummary.h"
#include "cli/UpdateTarget.h"

namespace cli {

namespace {

// How often a wait for the updates looks at Ctrl-C when nothing wakes it.
constexpr uint32_t kInterruptTickMs = 200;

std::unique_ptr<ConsoleEvents> displayFor(platform::Context context, const Console& console,
                                          const UpdateOptions& options) {
    if (options.json)
        return std::make_unique<JsonEvents>(console, options.historyFile);
    if (console.terminal)
        return std::make_unique<ProgressBoard>(console, options.historyFile, context.clock);
    return std::make_unique<ProbeConsole>(console, options.historyFile, true);
}

bool sharesSerial(const std::vector<USBDeviceInfo>& probes, const USBDeviceInfo& probe) {
    return std::count_if(probes.begin(), probes.end(),
                         [&](const auto& p) { return p.serialNumber == probe.serialNumber; }) > 1;
}

UpdateRecord leftAlone(UpdateEvents& events, const USBDeviceInfo& probe, const char* why,
                       UpdateResult result = UpdateResult::Failed) {
    UpdateRecord record;
    record.serialNumber = probe.serialNumber;
    record.variant = variantOf(describeProbe(probe));
    record.message = why;
    record.result = result;
    events.started(record.serialNumber, record.variant);
    events.finished(record);
    return record;
}

// The pool's records once every update has ended. The first Ctrl-C keeps the queued ones from
// starting (each a record of its own, skipped); the running ones stop at a second press, through
// the events.
std::vector<UpdateRecord> awaitUpdates(UpdatePool& pool, InterruptedEvents& events,
                                       std::size_t submitted, const UpdateOptions& options,
                                       const Console& console) {
    if (options.interrupt) {
        unsigned seen = 0;
        while (events.finishedSoFar() + pool.unfinished().size() < submitted) {
            const unsigned now = options.interrupt->waitMs(kInterruptTickMs, seen);
            if (seen == 0 && now > 0) {
                pool.stop();
                console.err << messages::firstInterrupt << '\n' << std::flush;
            }
            seen = now;
        }
    }
    std::vector<UpdateRecord> records = pool.wait();
    for (const USBDeviceInfo& probe : pool.unfinished()) {
        records.push_back(leftAlone(events, probe, messages::notStarted, UpdateResult::Skipped));
    }
    return records;
}

}  // namespace

int updateAll(platform::Context context, const Console& console,
              const std::vector<USBDeviceInfo>& probes, const UpdateOptions& options) {
    const std::unique_ptr<ConsoleEvents> display = displayFor(context, console, options);
    std::vector<UpdateRecord> records;
    {
        platform::CountedInterrupt never(context.clock);
        InterruptedEvents stopping(*display, options.interrupt ? *options.interrupt : never);
        UpdatePool pool(context, stopping, options.force, options.jobs, options.interrupt);
        std::size_t submitted = 0;
        for (const USBDeviceInfo& probe : probes) {
            if (sharesSerial(probes, probe)) {
                records.push_back(leftAlone(*display, probe, messages::sharedSerial));
            } else {
                pool.submit(probe);
                ++submitted;
            }
        }
        pool.close();
        const std::vector<UpdateRecord> done =
            awaitUpdates(pool, stopping, submitted, options, console);
        records.insert(records.end(), done.begin(), done.end());
    }
    display->end();
    // The summary in the listing's order, whatever order the probes finished in.
    const auto rank = [&](const UpdateRecord& r) {
        return std::find_if(probes.begin(), probes.end(),
                            [&](const auto& p) { return p.serialNumber == r.serialNumber; }) -
               probes.begin();
    };
    std::stable_sort(records.begin(), records.end(),
                     [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    if (!options.json)
        writeSummary(console.out, records);
    return summaryStatus(records);
}

}  // namespace cli
