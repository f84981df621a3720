#include "cli/HistoryRecord.h"

#include "cli/CliMessages.h"
#include "firmware/UpdateHistory.h"

namespace cli {

void recordInHistory(const Console& console, const std::optional<std::string>& historyFile,
                     const UpdateRecord& record) {
    if (const std::optional<std::string> warning = recordUpdate(historyFile, record))
        fail(console, 0, record.serialNumber, messages::historyWarning(*warning));
}

}  // namespace cli
