#include <algorithm>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "cli/ProbeConsole.h"
#include "cli/UpdateTarget.h"
#include "firmware/FirmwareImage.h"
#include "firmware/ImageFile.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateProcedure.h"
#include "firmware/UserMessages.h"
#include "platform/HException.h"

namespace cli {

namespace {

// What stands between a sound file and the probe once its loader has said what it runs: an older
// version, or the very same image. Empty when the install may go ahead; throws HException.
std::string objection(Target& target, const ImageUpdateOptions& options, FirmwareVersion file,
                      const std::optional<InstalledFirmware>& installed) {
    if (installed && file < installed->version && !options.allowOlder)
        return messages::olderThanInstalled(versionText(target.expected), installed->description);
    if (options.force || target.installed != target.expected)
        return {};
    if (holdsTargetImage(target, messages::checkingFile(versionText(target.expected))))
        return messages::sameAsInstalled;
    target.say(messages::fileDiffersNotice);
    return {};
}

// Opens the probe, reads what it runs and weighs the file against it: the refusal, empty when
// the install may go ahead. Throws HException.
std::string openAndWeigh(Target& target, const ImageUpdateOptions& options,
                         const FirmwareImageHeader& header) {
    target.link = openUpdateLink(target.context, target.report.device);
    const std::optional<InstalledFirmware> installed = readInstalledVersion(*target.link);
    if (installed)
        target.installed = installed->description;
    target.record.before = target.installed;
    return objection(target, options, versionOf(header), installed);
}

}  // namespace

int updateFromImage(platform::Context context, const Console& console,
                    const ImageUpdateOptions& options) {
    // Read once, here: everything after works on these bytes, so a file changed on disk
    // meanwhile cannot reach the probe half old and half new.
    const ImageFileRead file = readImageFile(options.path);
    if (!file.refusal.empty())
        return fail(console, exitImageRefused, options.path, file.refusal);

    const std::vector<USBDeviceInfo> probes = attachedProbes(context);
    const auto chosen = [&](const USBDeviceInfo& p) { return p.serialNumber == options.serial; };
    const auto count = std::count_if(probes.begin(), probes.end(), chosen);
    if (count == 0)
        return fail(console, exitNoProbe, messages::noProbeWithSerial(options.serial));
    if (count > 1)
        return fail(console, exitSeveralProbes, messages::severalWithSerial(options.serial));
    const USBDeviceInfo device = *std::find_if(probes.begin(), probes.end(), chosen);
    const ProbeReport report = describeProbe(device);
    if (report.state != ProbeState::Ready)
        return fail(console, exitFailure, device.serialNumber, report.message);
    const ImageFileCheck check = checkImageFile(file.bytes, report.row);
    if (!check.refusal.empty())
        return fail(console, exitImageRefused, options.path, check.refusal);

    ProbeConsole events(console, options.historyFile, false);
    Target target(context, events, device);
    const FirmwareImage image = imageInPlaceOf(*target.report.row, file.bytes);
    target.image = &image;
    target.expected = versionDescription(*check.header);
    target.record.imageFile = options.path;
    try {
        // A refusal is no update: nothing was written, and nothing is recorded.
        if (std::string no = openAndWeigh(target, options, *check.header); !no.empty())
            return fail(console, exitImageRefused, options.path, no);
    } catch (HException& e) {
        finishTarget(target, UpdateResult::Failed, e.message());
        return exitUpdateFailed;
    }
    const bool done =
        install(target, messages::installingFile(options.path, versionText(target.expected),
                                                 versionText(target.installed)));
    const UpdateRecord record = finishTarget(
        target, done && confirm(target) ? UpdateResult::Updated : UpdateResult::Failed);
    return record.result == UpdateResult::Updated ? exitSuccess : exitUpdateFailed;
}

}  // namespace cli
