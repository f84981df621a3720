#pragma once

#include <string>

#include "cli/UpdateEvents.h"
#include "firmware/UpdateRecord.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"

namespace cli {

// One probe's whole update on the calling thread, on links of its own: assess it, open it, read
// what is installed, block-check a probe that reports the offered version (unless `force`),
// install, find it again by serial number and read the version back. Tells `events` as it goes
// and answers the record (all but timeUtc and programVersion); never throws. Keeps nothing
// between calls: updates of different probes may run on several threads at once.
UpdateRecord updateProbe(platform::Context context, const USBDeviceInfo& device, bool force,
                         UpdateEvents& events);

// The line that ends a probe's update on standard output, after its name: the version it now
// runs, that it was up to date, or why it was skipped. Empty for a failure, which is an error
// line with the record's message.
std::string outcomeSentence(const UpdateRecord& record);

}  // namespace cli
