#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ProbeSurvey.h"
#include "cli/ReportFormat.h"

namespace cli {

// A probe that fails to answer is part of the listing, not a failure of it: its row says what
// went wrong, and the exit status stays 0. With no probe at all the status says so, as it does
// for update.
int listProbes(platform::Context context, const Console& console, bool json, bool check) {
    std::vector<ProbeReport> reports;
    for (const USBDeviceInfo& probe : attachedProbes(context))
        reports.push_back(surveyProbe(context, probe, check));
    if (json)
        writeProbeJson(console.out, reports);
    else
        writeProbeTable(console.out, reports);
    return reports.empty() ? exitNoProbe : exitSuccess;
}

}  // namespace cli
