#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "cli/HistoryRecord.h"
#include "cli/InterruptedEvents.h"
#include "cli/ProbeSurvey.h"
#include "cli/ProbeUpdate.h"
#include "cli/TextTable.h"
#include "cli/UpdatePool.h"
#include "cli/UpdateSummary.h"
#include "cli/WatchArrivals.h"
#include "firmware/ProbeAssessment.h"
#include "link/WatchedDeviceListing.h"

namespace cli {

namespace {

// Finished updates are reported this often; the device watch is asked once a second, as the
// window's poll asks it (on Windows, where there is no watch, that lists once a second).
constexpr uint32_t kTickMs = 200;
constexpr uint32_t kLookEveryMs = 1000;

// "2.16" of "2.16 - Build: 2019032603.38702": the result line's short form.
std::string shortVersion(const std::optional<std::string>& version) {
    if (!version)
        return "-";
    return displayText(version->substr(0, version->find(" - ")));
}

std::string resultWord(const UpdateRecord& record) {
    switch (record.result) {
        case UpdateResult::Updated:
            return messages::resultOk;
        case UpdateResult::UpToDate:
            return messages::resultUpToDate;
        case UpdateResult::Skipped:
            return messages::resultSkipped(displayText(record.message));
        case UpdateResult::Failed:
            break;
    }
    return messages::resultFailed(displayText(record.message));
}

// Runs `watch`: the loop on the command's thread, the updates on the pool's workers.
class Watch {
public:
    Watch(platform::Context on, const Console& out, const WatchOptions& asked,
          platform::Interrupt& pressed)
        : context(on),
          console(out),
          options(asked),
          interrupt(pressed),
          listing(on),
          events(quiet, pressed),
          pool(on, events, asked.force, asked.jobs, &pressed) {}

    int run();

private:
    bool done() const { return options.count && ended >= *options.count; }
    void look();
    void reportFinished();
    void report(const UpdateRecord& record);
    void reportNotStarted();

    platform::Context context;
    const Console& console;
    const WatchOptions& options;
    platform::Interrupt& interrupt;
    WatchedDeviceListing listing;
    WatchArrivals arrivals;
    QuietEvents quiet;
    InterruptedEvents events;
    UpdatePool pool;
    std::vector<UpdateRecord> reported;
    unsigned running = 0;
    unsigned ended = 0;
    unsigned updated = 0;
    unsigned upToDate = 0;
    unsigned failed = 0;
};

int Watch::run() {
    console.out << messages::watching << '\n' << std::flush;
    unsigned seen = 0;
    std::optional<uint32_t> lookedAtMs;
    while (!done()) {
        const uint32_t now = context.clock.tickMs();
        if (!lookedAtMs || now - *lookedAtMs >= kLookEveryMs) {
            look();
            lookedAtMs = now;
        }
        seen = interrupt.waitMs(kTickMs, seen);
        // Stopped before anything else, so that nothing queued starts meanwhile.
        if (seen > 0) {
            pool.stop();
            console.out << messages::firstInterrupt << '\n' << std::flush;
            break;
        }
        reportFinished();
    }
    pool.stop();
    reportNotStarted();
    // The running ones end on their own, or at their next step after a second press.
    while (running > 0) {
        interrupt.waitMs(kTickMs, interrupt.presses());
        reportFinished();
    }
    pool.wait();
    writeSummary(console.out, reported);
    return summaryStatus(reported);
}

// Hands each new arrival to the pool, or names once what cannot be updated.
void Watch::look() {
    for (const USBDeviceInfo& device : arrivals.arrivals(selectProbes(listing.devices()))) {
        const ProbeReport report = describeProbe(device);
        if (report.state != ProbeState::Ready || !report.offered) {
            const std::string variant =
                report.row ? report.row->name : messages::productIdText(device.productId);
            console.out << probeName(device.serialNumber, variant) << ": "
                        << displayText(report.message) << '\n'
                        << std::flush;
            continue;
        }
        arrivals.started(device.serialNumber);
        ++running;
        pool.submit(device);
    }
}

void Watch::reportFinished() {
    for (const UpdateRecord& record : events.take()) {
        arrivals.ended(record.serialNumber);
        --running;
        report(record);
    }
}

void Watch::report(const UpdateRecord& record) {
    // On the disk before the line that says it is done.
    recordInHistory(console, options.historyFile, record);
    reported.push_back(record);
    ++ended;
    updated += record.result == UpdateResult::Updated ? 1 : 0;
    upToDate += record.result == UpdateResult::UpToDate ? 1 : 0;
    failed += record.result == UpdateResult::Failed ? 1 : 0;
    console.out << displayText(record.serialNumber) << "  " << record.variant << "  "
                << shortVersion(record.before) << " -> " << shortVersion(record.after) << "  "
                << resultWord(record) << "  " << messages::seconds(tenths(record.seconds)) << '\n';
    if (record.partWay) {
        console.out << probeName(record.serialNumber, record.variant) << ": "
                    << messages::incompleteNotice << '\n';
    }
    if (record.result == UpdateResult::Failed)
        fail(console, 0, record.serialNumber, record.message);
    console.out << messages::runningTotal(ended, updated, upToDate, failed) << '\n' << std::flush;
}

// The probes Ctrl-C kept from starting: each a record of its own, none a failure.
void Watch::reportNotStarted() {
    for (const USBDeviceInfo& device : pool.unfinished()) {
        --running;
        UpdateRecord record;
        record.serialNumber = device.serialNumber;
        const ProbeReport probe = describeProbe(device);
        record.variant = probe.row ? probe.row->name : "";
        record.result = UpdateResult::Skipped;
        record.message = messages::notStarted;
        report(record);
    }
}

}  // namespace

int watchProbes(platform::Context context, const Console& console, const WatchOptions& options,
                platform::Interrupt& interrupt) {
    Watch watch(context, console, options, interrupt);
    return watch.run();
}

}  // namespace cli
