#include "cli/ProbeSurvey.h"

#include "app/HException.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UpdateProcedure.h"
#include "link/DeviceEnumeration.h"
#include "link/ProbeIds.h"
#include "link/openDataLink.h"
#include "loader/LoaderInfo.h"
#include "loader/LoaderProtocol.h"

namespace cli {

namespace {

constexpr const char* unsupportedMessage =
    "The attached Velantrix is not supported by Velantrix Update.";
constexpr const char* unreachableMessage =
    "this Velantrix variant cannot be updated over its USB connection";
constexpr const char* invalidImageMessage = "Invalid Firmware Image";

}  // namespace

bool ProbeReport::updateAvailable() const {
    return state == ProbeState::Ready && offered && installed != offered;
}

std::vector<USBDeviceInfo> attachedProbes() {
    const std::vector<int32_t> productIds(probeProductIds.begin(), probeProductIds.end());
    return selectDevices(enumerateUSBDevices(0, anyUsbId, anyUsbId), probeVendorId, productIds);
}

ProbeReport describeProbe(const USBDeviceInfo& device) {
    ProbeReport report;
    report.device = device;
    report.row = findFirmwareImage(device);
    if (!report.row) {
        report.state = ProbeState::Unsupported;
        report.message = unsupportedMessage;
        return report;
    }
    if (isValidImage(*report.row))
        report.offered = imageVersionDescription(*report.row);
    // Checked before any link is made: a variant without one is never handed a missing link.
    if (dataLinkKindFor(device.productId) == DataLinkKind::None) {
        report.state = ProbeState::Unreachable;
        report.message = unreachableMessage;
        return report;
    }
    report.state = ProbeState::Ready;
    if (!report.offered)
        report.message = invalidImageMessage;
    return report;
}

std::optional<std::string> readInstalledFirmware(HDataLink& link) {
    LoaderInfo info{};
    getLoaderInfo(link, info);
    if (!holdsRecognisedFirmware(info))
        return std::nullopt;
    return installedFirmwareDescription(info);
}

ProbeReport surveyProbe(const USBDeviceInfo& device) {
    ProbeReport report = describeProbe(device);
    if (report.state != ProbeState::Ready)
        return report;
    try {
        const std::unique_ptr<HDataLink> link = openUpdateLink(device);
        report.installed = readInstalledFirmware(*link);
    } catch (HException& e) {
        report.state = ProbeState::Error;
        report.message = e.message();
    }
    return report;
}

}  // namespace cli
