#pragma once

#include <optional>
#include <string>

#include "cli/Console.h"
#include "firmware/UpdateRecord.h"

namespace cli {

// Appends `record` to the history (`historyFile`, or the user's own when null), on the disk
// when this returns: call it before the update is reported done. A history that cannot be
// written is one warning line on `console.err` ("velantrix-update-cli: SERIAL: warning: ...")
// and changes nothing else. Writes to the console, so only on the console's thread; a worker
// thread calls ::recordUpdate (firmware/UpdateHistory.h), which prints nothing and answers the
// warning.
void recordInHistory(const Console& console, const std::optional<std::string>& historyFile,
                     const UpdateRecord& record);

}  // namespace cli
