#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/UpdateRecord.h"

// The history of updates: one line of JSON (JSON Lines) per update, appended by the window and
// the command-line tool alike, and read back by `history`. Plain functions that keep no state;
// any thread may call them at once.
//
// A line is one flat object, its keys always in this order:
//   {"time":"2026-12-07T12:34:56Z","serial":"H001","variant":"Velantrix Heron",
//    "before":"2.10 - Build: old","after":"2.16 - Build: 2019032603.38702",
//    "imageSize":112408,"imageCrc":"0x6E1C0B1A","imageFile":null,"result":"updated",
//    "message":"","seconds":3.412,"partWay":false,"programVersion":"1.0.0"}
// before, after and imageFile are null when unknown (no firmware recognised, not read back,
// the carried image); result is "updated", "up-to-date", "skipped" or "failed"; seconds has
// millisecond digits. Texts are UTF-8, written as they are but for quotes, backslashes and
// control characters, which are escaped; a byte that starts no valid UTF-8 sequence is read as
// the Latin-1 character it is in a probe's own texts, so that every line is valid UTF-8.

// The record as one line, without the line end.
std::string encodeHistoryLine(const UpdateRecord& record);

// The record a line holds; null for a line that is not such an object (torn, garbled). Keys
// it does not know are passed over; of those above, time, serial and result must be there.
std::optional<UpdateRecord> decodeHistoryLine(std::string_view line);

// `text` as a JSON string, quotes included, escaped as a line's texts are: for other JSON
// Lines that carry the same texts (the command-line tool's update events).
std::string jsonStringOf(std::string_view text);

// How `result` is named in a line and in the `history` table.
const char* resultName(UpdateResult result);

// "2026-12-07T12:34:56Z": `when` in UTC, to the second.
std::string utcTimestamp(std::chrono::system_clock::time_point when);

struct HistoryEntry {
    std::size_t lineNumber;  // from 1
    std::string line;        // as it stands in the file
    UpdateRecord record;
};

// The history file read through: its records oldest first, and the numbers of the lines that
// are no records (an empty line is none of either). `missing` when there is no file; `error`
// when it cannot be read, with the system's reason.
struct HistoryRead {
    bool missing = false;
    std::string error;
    std::vector<HistoryEntry> entries;
    std::vector<std::size_t> skippedLines;
};
HistoryRead readHistory(const std::string& path);

// Appends `record` to the history file `path`, or, when null, to the one in this user's state
// folder (platform/HistoryFile.h), flushed to the disk before it returns. An empty time is now,
// an empty program version this program's. Null when recorded, else the warning to give: an
// update that was not recorded is still what it was. Never throws.
std::optional<std::string> recordUpdate(const std::optional<std::string>& path,
                                        UpdateRecord record);
