#pragma once

#include <vector>

#include "cli/Commands.h"
#include "link/USBDeviceInfo.h"

namespace cli {

// update --all of `probes` (the attached ones, not empty): every one at once on a pool, told on
// the display that suits the console (a board on a terminal, lines off it, JSON Lines with
// --json), then the summary. Probes that share a serial number are left alone and fail: the
// read-back finds a probe by serial number. The exit status (cli/UpdateSummary.h).
int updateAll(platform::Context context, const Console& console,
              const std::vector<USBDeviceInfo>& probes, const UpdateOptions& options);

}  // namespace cli
