#include "cli/ProbeSurvey.h"

#include "cli/FailureText.h"

#include "firmware/FirmwareImage.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/ProbeAssessment.h"
#include "firmware/UpdateProcedure.h"
#include "firmware/UserMessages.h"
#include "link/DeviceEnumeration.h"
#include "platform/HException.h"

namespace cli {

bool ProbeReport::updateAvailable() const {
    return state == ProbeState::Ready && offered && (installed != offered || holdsOffered == false);
}

std::vector<USBDeviceInfo> attachedProbes(platform::Context context) {
    return selectProbes(enumerateUSBDevices(context, 0, anyUsbId, anyUsbId));
}

ProbeReport describeProbe(const USBDeviceInfo& device) {
    const ProbeAssessment assessment = assessProbe(device);
    ProbeReport report;
    report.device = device;
    report.row = assessment.row;
    if (report.row && isValidImage(*report.row))
        report.offered = imageVersionDescription(*report.row);
    switch (assessment.situation) {
        case ProbeSituation::Ready:
            report.state = ProbeState::Ready;
            if (!report.offered)
                report.message = messages::invalidImage;
            break;
        case ProbeSituation::NotUpdatable:
            report.state = ProbeState::Unreachable;
            report.message = situationMessage(assessment.situation);
            break;
        default:
            report.state = ProbeState::Unsupported;
            report.message = situationMessage(assessment.situation);
            break;
    }
    return report;
}

ProbeReport surveyProbe(platform::Context context, const USBDeviceInfo& device, bool checkOffered) {
    ProbeReport report = describeProbe(device);
    if (report.state != ProbeState::Ready)
        return report;
    try {
        std::unique_ptr<HDataLink> link = openUpdateLink(context, device);
        report.installed = readInstalledFirmware(*link);
        if (checkOffered && report.offered && report.installed == report.offered) {
            // No progress to show: the table is written when every probe has been asked.
            const UpdateProgress quiet = [](int, int, const char*, const char*) {};
            report.holdsOffered = holdsImage(context, link, device, true, *report.row, quiet);
        }
    } catch (HException& e) {
        report.state = ProbeState::Error;
        report.message = failureText(e);
    }
    return report;
}

}  // namespace cli
