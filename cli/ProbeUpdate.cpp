#include "cli/ProbeUpdate.h"

#include "cli/DisplayText.h"

namespace cli {

std::string probeName(const std::string& serial, const std::string& variant) {
    return displayText(serial) + " (" + variant + ")";
}

UpdateRecord updateProbe(platform::Context, const USBDeviceInfo& device, bool,
                         UpdateEvents& events) {
    UpdateRecord record;
    record.serialNumber = device.serialNumber;
    events.finished(record);
    return record;
}

}  // namespace cli
