#include <algorithm>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
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
    target.console.out << target.name << ": " << messages::fileDiffersNotice << '\n';
    return {};
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
    Target target(context, console, *std::find_if(probes.begin(), probes.end(), chosen));
    if (target.report.state != ProbeState::Ready)
        return fail(console, exitFailure, target.serial, target.report.message);

    const ImageFileCheck check = checkImageFile(file.bytes, target.report.row);
    if (!check.refusal.empty())
        return fail(console, exitImageRefused, options.path, check.refusal);
    const FirmwareImage image = imageInPlaceOf(*target.report.row, file.bytes);
    target.image = &image;
    target.expected = versionDescription(*check.header);
    try {
        target.link = openUpdateLink(context, target.report.device);
        const std::optional<InstalledFirmware> installed = readInstalledVersion(*target.link);
        if (installed)
            target.installed = installed->description;
        if (std::string no = objection(target, options, versionOf(*check.header), installed);
            !no.empty())
            return fail(console, exitImageRefused, options.path, no);
    } catch (HException& e) {
        return fail(console, exitUpdateFailed, target.serial, e.message());
    }
    const int status =
        install(target, messages::installingFile(options.path, versionText(target.expected),
                                                 versionText(target.installed)));
    return status == exitSuccess ? confirm(target) : status;
}

}  // namespace cli
