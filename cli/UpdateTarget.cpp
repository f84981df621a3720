#include "cli/UpdateTarget.h"

#include <algorithm>

#include "cli/CliMessages.h"
#include "cli/DisplayText.h"
#include "cli/FailureText.h"
#include "firmware/FirmwareImage.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateProcedure.h"
#include "loader/Crc32.h"
#include "platform/HException.h"

namespace cli {

namespace {

// Turns the procedure's progress reports into phase events for one probe. Which phase is open
// is kept here, so that every display sees a phase begin, step and end the same way.
class PhaseEvents {
public:
    explicit PhaseEvents(const Target& of) : target(of) {}

    UpdateProgress callback() {
        return [this](int step, int steps, const char* task, const char* units) {
            report(step, steps, task, units);
        };
    }
    void finish(bool succeeded) {
        if (open)
            target.events.phaseEnded(target.serial, succeeded);
        open = false;
    }
    bool begun() const { return anyPhase; }

private:
    void report(int step, int steps, const char* task, const char* units) {
        if (task) {
            finish(true);
            open = anyPhase = true;
            target.events.phaseBegan(target.serial, task, steps, units ? units : "");
        } else if (open) {
            target.events.stepped(target.serial, step, steps);
        }
    }

    const Target& target;
    bool open = false;
    bool anyPhase = false;
};

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

// What the record says of the probe before and of the image, once both are known.
void noteImage(Target& target) {
    target.record.before = target.installed;
    target.record.imageSize = target.image->size;
    target.record.imageCrc = crc32(target.image->data, target.image->size);
}

}  // namespace

std::string versionText(const std::optional<std::string>& version) {
    return version ? displayText(*version) : messages::notInstalled;
}

std::string variantOf(const ProbeReport& report) {
    return report.row ? report.row->name : messages::productIdText(report.device.productId);
}

Target::Target(platform::Context on, UpdateEvents& sink, const USBDeviceInfo& device)
    : context(on), events(sink), report(describeProbe(device)), startedMs(on.clock.tickMs()) {
    record.serialNumber = serial;
    record.variant = variantOf(report);
    events.started(serial, record.variant);
}

// A probe that reports the version to install may still hold a partly written image (the header
// is the first block an update writes), so its flash is compared with the image before it is left
// alone.
bool holdsTargetImage(Target& target, const std::string& line) {
    target.say(line);
    noteImage(target);
    PhaseEvents phases(target);
    bool same = false;
    try {
        same = holdsImage(target.context, target.link, target.report.device, true, *target.image,
                          phases.callback());
    } catch (HException&) {
        phases.finish(false);
        throw;
    }
    phases.finish(same);
    return same;
}

bool install(Target& target, const std::string& line) {
    target.say(line);
    noteImage(target);
    PhaseEvents phases(target);
    try {
        installFirmware(target.context, target.link, target.report.device,
                        target.installed.has_value(), *target.image,
                        standardPhases(phases.callback()));
        phases.finish(true);
    } catch (HException& e) {
        phases.finish(false);
        // The loader reports the header of whatever image starts the region, and the header is
        // the first block written: a probe left half-written may read as up to date next time.
        target.record.partWay = phases.begun();
        if (phases.begun())
            target.say(messages::incompleteNotice);
        target.record.message = failureText(e);
        return false;
    }
    target.link.reset();
    return true;
}

bool confirm(Target& target) {
    std::optional<std::string> now;
    try {
        now = readBackInstalledFirmware(target.context, target.serial);
    } catch (HException& e) {
        target.record.message = messages::cannotReadBack(failureText(e));
        return false;
    }
    target.record.after = now;
    // Verified by CRC, yet the loader does not report the image: say so rather than succeed.
    if (now != target.expected) {
        target.record.message =
            messages::reportsOtherVersion(versionText(now), versionText(target.expected));
        return false;
    }
    return true;
}

UpdateRecord finishTarget(Target& target, UpdateResult result, const std::string& message) {
    target.link.reset();
    UpdateRecord& record = target.record;
    record.result = result;
    if (record.message.empty())
        record.message = message;
    record.seconds = static_cast<uint32_t>(target.context.clock.tickMs() - target.startedMs) / 1e3;
    target.events.finished(record);
    return record;
}

}  // namespace cli
