#include "cli/UpdateAll.h"

#include <algorithm>
#include <memory>

#include "cli/CliMessages.h"
#include "cli/JsonEvents.h"
#include "cli/ProbeConsole.h"
#include "cli/ProbeSurvey.h"
#include "cli/ProgressBoard.h"
#include "cli/UpdatePool.h"
#include "cli/UpdateSummary.h"
#include "cli/UpdateTarget.h"

namespace cli {

namespace {

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

UpdateRecord leftAlone(UpdateEvents& events, const USBDeviceInfo& probe) {
    UpdateRecord record;
    record.serialNumber = probe.serialNumber;
    record.variant = variantOf(describeProbe(probe));
    record.message = messages::sharedSerial;
    events.started(record.serialNumber, record.variant);
    events.finished(record);
    return record;
}

}  // namespace

int updateAll(platform::Context context, const Console& console,
              const std::vector<USBDeviceInfo>& probes, const UpdateOptions& options) {
    const std::unique_ptr<ConsoleEvents> display = displayFor(context, console, options);
    std::vector<UpdateRecord> records;
    {
        UpdatePool pool(context, *display, options.force, options.jobs);
        for (const USBDeviceInfo& probe : probes) {
            if (sharesSerial(probes, probe))
                records.push_back(leftAlone(*display, probe));
            else
                pool.submit(probe);
        }
        pool.close();
        const std::vector<UpdateRecord> done = pool.wait();
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
