#include <algorithm>
#include <memory>

#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "cli/ProbeSurvey.h"
#include "cli/ProgressDisplay.h"
#include "firmware/FirmwareImage.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateProcedure.h"
#include "firmware/UserMessages.h"
#include "platform/HException.h"

namespace cli {

namespace {

constexpr const char* severalProbesMessage =
    "Multiple devices connected, choose one with --serial or update all with --all.";
constexpr const char* incompleteNotice =
    "the update stopped part-way and the firmware may be incomplete even if its version reads "
    "as installed; repeat it with --force";

std::string describeTarget(const ProbeReport& report) {
    return displayText(report.device.serialNumber) + " (" +
           (report.row ? report.row->name
                       : "product id " + std::to_string(report.device.productId)) +
           ")";
}

std::string versionText(const std::optional<std::string>& version) {
    return version ? displayText(*version) : "not installed";
}

// Finds the probe again by serial number and asks its loader, on a fresh link, what is
// installed now. After an update the probe may restart and enumerate afresh, so it is waited for
// as the update's reopen waits; throws HException with the last try's error when it does not
// come back.
std::optional<std::string> readBackInstalledFirmware(const std::string& serialNumber) {
    return awaitProbeReturn([&] {
        const auto probes = attachedProbes();
        const auto probe = std::find_if(probes.begin(), probes.end(), [&](const auto& p) {
            return p.serialNumber == serialNumber;
        });
        if (probe == probes.end())
            throw HException("the Velantrix did not come back after the update");
        const std::unique_ptr<HDataLink> link = openUpdateLink(*probe);
        return readInstalledFirmware(*link);
    });
}

// Updates one probe. With `skipUnupdatable` (--all) a probe that cannot be updated is reported
// and passed over instead of failing the run.
int updateProbe(const Console& console, const USBDeviceInfo& device, bool force,
                bool skipUnupdatable) {
    const ProbeReport report = describeProbe(device);
    const std::string& serial = device.serialNumber;
    const std::string target = describeTarget(report);
    if (report.state != ProbeState::Ready || !report.offered) {
        if (!skipUnupdatable)
            return fail(console, exitFailure, serial, report.message);
        console.out << target << ": skipped, " << displayText(report.message) << '\n';
        return exitSuccess;
    }

    // The link that reads the installed version is the one the update starts on, as in the
    // window's panel.
    std::unique_ptr<HDataLink> link;
    std::optional<std::string> installed;
    try {
        link = openUpdateLink(device);
        installed = readInstalledFirmware(*link);
    } catch (HException& e) {
        return fail(console, exitUpdateFailed, serial, e.message());
    }
    if (installed == report.offered && !force) {
        console.out << target << ": already up to date (" << versionText(installed) << ")\n";
        return exitSuccess;
    }

    console.out << target << ": installing " << versionText(report.offered) << " over "
                << versionText(installed) << '\n';
    ProgressDisplay progress(console.out, console.terminal);
    try {
        installFirmware(link, device, installed.has_value(), *report.row,
                        standardPhases(progress.callback()));
        progress.finish(true);
    } catch (HException& e) {
        progress.finish(false);
        // The loader reports the header of whatever image starts the region, and the header is
        // the first block written: a probe left half-written may read as up to date next time.
        if (progress.begun())
            console.out << target << ": " << incompleteNotice << '\n';
        return fail(console, exitUpdateFailed, serial, e.message());
    }
    link.reset();

    std::optional<std::string> now;
    try {
        now = readBackInstalledFirmware(serial);
    } catch (HException& e) {
        return fail(console, exitUpdateFailed, serial,
                    "cannot read the installed firmware back: " + e.message());
    }
    // Verified by CRC, yet the loader does not report the image: say so rather than succeed.
    if (now != report.offered) {
        return fail(console, exitUpdateFailed, serial,
                    "the loader reports " + versionText(now) + " after the update, not " +
                        versionText(report.offered));
    }
    console.out << target << ": installed version now " << versionText(now) << '\n';
    return exitSuccess;
}

}  // namespace

int updateProbes(const Console& console, const UpdateOptions& options) {
    const std::vector<USBDeviceInfo> probes = attachedProbes();
    if (probes.empty())
        return fail(console, exitNoProbe, messages::noProbe);

    std::vector<USBDeviceInfo> targets;
    if (options.serialNumber) {
        std::copy_if(probes.begin(), probes.end(), std::back_inserter(targets),
                     [&](const auto& p) { return p.serialNumber == *options.serialNumber; });
        if (targets.empty()) {
            return fail(
                console, exitNoProbe,
                "no Velantrix with serial number " + *options.serialNumber + " is attached");
        }
        if (targets.size() > 1) {
            return fail(console, exitSeveralProbes,
                        "several Velantrix report serial number " + *options.serialNumber);
        }
    } else if (options.all || probes.size() == 1) {
        targets = probes;
    } else {
        return fail(console, exitSeveralProbes, severalProbesMessage);
    }

    // One after another; a probe that fails does not keep the others from their update.
    int status = exitSuccess;
    for (const USBDeviceInfo& target : targets) {
        const int result = updateProbe(console, target, options.force, options.all);
        if (status == exitSuccess)
            status = result;
    }
    return status;
}

}  // namespace cli
