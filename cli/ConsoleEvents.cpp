#include "cli/ConsoleEvents.h"

#include <chrono>

#include "cli/HistoryRecord.h"
#include "firmware/UpdateHistory.h"

namespace cli {

UpdateRecord ConsoleEvents::record(const UpdateRecord& finished) const {
    UpdateRecord kept = finished;
    kept.timeUtc = utcTimestamp(std::chrono::system_clock::now());
    kept.programVersion = VX_VERSION;
    recordInHistory(console, historyFile, kept);
    return kept;
}

}  // namespace cli
