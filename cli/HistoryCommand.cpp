#include <algorithm>
#include <charconv>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "firmware/UpdateHistory.h"
#include "platform/HistoryFile.h"

namespace cli {

namespace {

using Row = std::vector<std::string>;

// A record's texts are UTF-8 and came from a file anyone may edit: control characters (C0, DEL,
// C1) are shown as '?', so that a line cannot move the cursor or recolour the screen.
std::string displayUtf8(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        const bool c1 =
            c == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1) {
            out += '?';
            at += c1 ? 1 : 0;
        } else {
            out += text[at];
        }
    }
    return out;
}

// Columns as wide as the characters they show (UTF-8: every byte but continuation bytes).
std::size_t widthOf(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void writeColumns(std::ostream& out, const std::vector<Row>& rows) {
    std::vector<std::size_t> widths(rows.front().size());
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], widthOf(row[i]));
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - widthOf(row[i]) + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

Row rowOf(const UpdateRecord& record) {
    char seconds[32];
    const auto end = std::to_chars(seconds, seconds + sizeof seconds, record.seconds,
                                   std::chars_format::fixed, 1)
                         .ptr;
    Row row{record.timeUtc,
            record.serialNumber,
            record.variant,
            record.before.value_or("-") + " -> " + record.after.value_or("-"),
            resultName(record.result),
            std::string(seconds, end),
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
