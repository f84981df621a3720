#include <algorithm>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ProbeConsole.h"
#include "cli/ProbeSurvey.h"
#include "cli/ProbeUpdate.h"
#include "cli/UpdateAll.h"

namespace cli {

namespace {

int statusOf(const UpdateRecord& record) {
    switch (record.result) {
        case UpdateResult::Updated:
        case UpdateResult::UpToDate:
            return exitSuccess;
        case UpdateResult::Skipped:
            return exitFailure;
        case UpdateResult::Failed:
            break;
    }
    return exitUpdateFailed;
}

}  // namespace

int updateProbes(platform::Context context, const Console& console, const UpdateOptions& options) {
    const std::vector<USBDeviceInfo> probes = attachedProbes(context);
    if (probes.empty())
        return fail(console, exitNoProbe, messages::noProbe);
    if (options.all)
        return updateAll(context, console, probes, options);

    std::vector<USBDeviceInfo> targets;
    if (options.serialNumber) {
        std::copy_if(probes.begin(), probes.end(), std::back_inserter(targets),
                     [&](const auto& p) { return p.serialNumber == *options.serialNumber; });
        if (targets.empty()) {
            return fail(console, exitNoProbe, messages::noProbeWithSerial(*options.serialNumber));
        }
        if (targets.size() > 1) {
            return fail(console, exitSeveralProbes,
                        messages::severalWithSerial(*options.serialNumber));
        }
    } else if (probes.size() == 1) {
        targets = probes;
    } else {
        return fail(console, exitSeveralProbes, messages::severalProbesChoose);
    }
    ProbeConsole events(console, options.historyFile, false);
    return statusOf(updateProbe(context, targets.front(), options.force, events));
}

}  // namespace cli
