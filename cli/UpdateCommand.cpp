#include <algorithm>
#include <memory>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "cli/FailureText.h"
#include "cli/ProbeSurvey.h"
#include "cli/ProgressDisplay.h"
#include "cli/UpdateTarget.h"
#include "firmware/FirmwareImage.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateProcedure.h"
#include "firmware/UserMessages.h"
#include "platform/HException.h"

namespace cli {

namespace {

std::string describeTarget(const ProbeReport& report) {
    return displayText(report.device.serialNumber) + " (" +
           (report.row ? report.row->name : messages::productIdText(report.device.productId)) + ")";
}

// Finds the probe again by serial number and asks its loader, on a fresh link, what is
// installed now. After an update the probe may restart and enumerate afresh, so it is waited for
// as the update's reopen waits; throws HException with the last try's error when it does not
// come back.
std::optional<std::string> readBackInstalledFirmware(platform::Context context,
                                                     const std::string& serialNumber) {
    return awaitProbeReturn(
        [&] {
            const auto probes = attachedProbes(context);
            const auto probe = std::find_if(probes.begin(), probes.end(), [&](const auto& p) {
                return p.serialNumber == serialNumber;
            });
            if (probe == probes.end())
                throw HException(messages::didNotComeBack);
            const std::unique_ptr<HDataLink> link = openUpdateLink(context, *probe);
            return readInstalledFirmware(*link);
        },
        sleepingOn(context.clock));
}

}  // namespace

Target::Target(platform::Context on, const Console& out, const USBDeviceInfo& device)
    : context(on), console(out), report(describeProbe(device)), name(describeTarget(report)) {}

std::string versionText(const std::optional<std::string>& version) {
    return version ? displayText(*version) : messages::notInstalled;
}

// A probe that reports the version to install may still hold a partly written image (the header
// is the first block an update writes), so its flash is compared with the image before it is left
// alone.
bool holdsTargetImage(Target& target, const std::string& line) {
    target.console.out << target.name << ": " << line << '\n';
    ProgressDisplay progress(target.console.out, target.console.terminal);
    const bool same = holdsImage(target.context, target.link, target.report.device, true,
                                 *target.image, progress.callback());
    progress.finish(same);
    return same;
}

int install(Target& target, const std::string& line) {
    target.console.out << target.name << ": " << line << '\n';
    ProgressDisplay progress(target.console.out, target.console.terminal);
    try {
        installFirmware(target.context, target.link, target.report.device,
                        target.installed.has_value(), *target.image,
                        standardPhases(progress.callback()));
        progress.finish(true);
    } catch (HException& e) {
        progress.finish(false);
        // The loader reports the header of whatever image starts the region, and the header is
        // the first block written: a probe left half-written may read as up to date next time.
        if (progress.begun())
            target.console.out << target.name << ": " << messages::incompleteNotice << '\n';
        return fail(target.console, exitUpdateFailed, target.serial, failureText(e));
    }
    target.link.reset();
    return exitSuccess;
}

// Reads the installed version back on a fresh link and holds it to the offered one.
int confirm(const Target& target) {
    std::optional<std::string> now;
    try {
        now = readBackInstalledFirmware(target.context, target.serial);
    } catch (HException& e) {
        return fail(target.console, exitUpdateFailed, target.serial,
                    messages::cannotReadBack(failureText(e)));
    }
    // Verified by CRC, yet the loader does not report the image: say so rather than succeed.
    if (now != target.expected) {
        return fail(target.console, exitUpdateFailed, target.serial,
                    messages::reportsOtherVersion(versionText(now), versionText(target.expected)));
    }
    target.console.out << target.name << ": " << messages::installedNow(versionText(now)) << '\n';
    return exitSuccess;
}

namespace {

// Updates one probe. With `skipUnupdatable` (--all) a probe that cannot be updated is reported
// and passed over instead of failing the run.
int updateProbe(platform::Context context, const Console& console, const USBDeviceInfo& device,
                bool force, bool skipUnupdatable) {
    Target target(context, console, device);
    const ProbeReport& report = target.report;
    if (report.state != ProbeState::Ready || !report.offered) {
        if (!skipUnupdatable)
            return fail(console, exitFailure, target.serial, report.message);
        console.out << target.name << ": " << messages::skipped(displayText(report.message))
                    << '\n';
        return exitSuccess;
    }
    try {
        target.link = openUpdateLink(context, device);
        target.installed = readInstalledFirmware(*target.link);
        if (target.installed == report.offered && !force) {
            if (holdsTargetImage(target,
                                 messages::checkingOfferedVersion(versionText(target.installed)))) {
                console.out << target.name << ": "
                            << messages::alreadyUpToDate(versionText(target.installed)) << '\n';
                return exitSuccess;
            }
            console.out << target.name << ": " << messages::mismatchNotice << '\n';
        }
    } catch (HException& e) {
        return fail(console, exitUpdateFailed, target.serial, failureText(e));
    }
    const int installed = install(
        target, messages::installing(versionText(report.offered), versionText(target.installed)));
    return installed == exitSuccess ? confirm(target) : installed;
}

}  // namespace

int updateProbes(platform::Context context, const Console& console, const UpdateOptions& options) {
    const std::vector<USBDeviceInfo> probes = attachedProbes(context);
    if (probes.empty())
        return fail(console, exitNoProbe, messages::noProbe);

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
    } else if (options.all || probes.size() == 1) {
        targets = probes;
    } else {
        return fail(console, exitSeveralProbes, messages::severalProbesChoose);
    }

    // One after another; a probe that fails does not keep the others from their update.
    int status = exitSuccess;
    for (const USBDeviceInfo& target : targets) {
        const int result = updateProbe(context, console, target, options.force, options.all);
        if (status == exitSuccess)
            status = result;
    }
    return status;
}

}  // namespace cli
