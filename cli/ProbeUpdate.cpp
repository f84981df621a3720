#include "cli/ProbeUpdate.h"

#include "cli/CliMessages.h"
#include "cli/DisplayText.h"
#include "cli/FailureText.h"
#include "cli/UpdateTarget.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateProcedure.h"
#include "platform/HException.h"

namespace cli {

std::string probeName(const std::string& serial, const std::string& variant) {
    return displayText(serial) + " (" + variant + ")";
}

namespace {

// Opens the probe and reads what it runs; a probe that reports the offered version is
// block-checked unless forced. Whether it holds the offered image already; throws HException.
bool alreadyHoldsOffered(Target& target, bool force) {
    target.link = openUpdateLink(target.context, target.report.device);
    target.installed = readInstalledFirmware(*target.link);
    target.record.before = target.installed;
    if (target.installed != target.report.offered || force)
        return false;
    if (holdsTargetImage(target, messages::checkingOfferedVersion(versionText(target.installed))))
        return true;
    target.say(messages::mismatchNotice);
    return false;
}

// The sequence, the result its record is to end with.
UpdateResult runUpdate(Target& target, bool force) {
    const ProbeReport& report = target.report;
    if (report.state != ProbeState::Ready || !report.offered) {
        target.record.message = report.message;
        return UpdateResult::Skipped;
    }
    try {
        if (alreadyHoldsOffered(target, force)) {
            target.record.after = target.installed;
            return UpdateResult::UpToDate;
        }
    } catch (HException& e) {
        target.record.message = failureText(e);
        return UpdateResult::Failed;
    }
    const bool done = install(
        target, messages::installing(versionText(report.offered), versionText(target.installed)));
    return done && confirm(target) ? UpdateResult::Updated : UpdateResult::Failed;
}

}  // namespace

UpdateRecord updateProbe(platform::Context context, const USBDeviceInfo& device, bool force,
                         UpdateEvents& events) {
    Target target(context, events, device);
    UpdateResult result = UpdateResult::Failed;
    try {
        result = runUpdate(target, force);
    } catch (const std::exception& e) {
        // Nothing but HException is expected below; a worker must still end with a record.
        target.record.message = e.what();
    }
    return finishTarget(target, result);
}

std::string outcomeSentence(const UpdateRecord& record) {
    switch (record.result) {
        case UpdateResult::Updated:
            return messages::installedNow(versionText(record.after));
        case UpdateResult::UpToDate:
            return messages::alreadyUpToDate(versionText(record.after));
        case UpdateResult::Skipped:
            return messages::skipped(displayText(record.message));
        case UpdateResult::Failed:
            break;
    }
    return {};
}

}  // namespace cli
