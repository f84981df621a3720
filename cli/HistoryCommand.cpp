#include <algorithm>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/TextTable.h"
#include "firmware/UpdateHistory.h"
#include "platform/HistoryFile.h"

namespace cli {

namespace {

Row rowOf(const UpdateRecord& record) {
    Row row{record.timeUtc,
            record.serialNumber,
            record.variant,
            record.before.value_or("-") + " -> " + record.after.value_or("-"),
            resultName(record.result),
            tenths(record.seconds),
            record.message};
    std::transform(row.begin(), row.end(), row.begin(), displayUtf8);
    return row;
}

std::string lineNumbers(const std::vector<std::size_t>& lines) {
    std::string text;
    for (const std::size_t line : lines)
        text += (text.empty() ? "" : ", ") + std::to_string(line);
    return text;
}

}  // namespace

int showHistory(const Console& console, const std::optional<std::string>& historyFile,
                const std::optional<std::string>& serial, bool json) {
    const std::optional<std::string> path =
        historyFile ? historyFile : platform::defaultHistoryPath();
    HistoryRead read;
    read.missing = true;
    if (path)
        read = readHistory(*path);
    if (!read.error.empty())
        return fail(console, exitFailure, messages::historyUnreadable(*path, read.error));
    if (!read.skippedLines.empty())
        fail(console, 0, messages::historyLinesSkipped(*path, lineNumbers(read.skippedLines)));
    std::vector<Row> rows{
        Row(std::begin(messages::historyHeading), std::end(messages::historyHeading))};
    for (const HistoryEntry& entry : read.entries) {
        if (serial && entry.record.serialNumber != *serial)
            continue;
        if (json)
            console.out << entry.line << '\n';
        rows.push_back(rowOf(entry.record));
    }
    if (!json && rows.size() > 1)
        writeColumns(console.out, rows);
    else if (!json)
        console.out << (serial ? messages::noUpdatesRecordedOf(*serial)
                               : std::string(messages::noUpdatesRecorded))
                    << '\n';
    return exitSuccess;
}

}  // namespace cli
