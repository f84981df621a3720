#pragma once

#include <optional>
#include <string>
#include <string_view>

// The file system part of the update history: where it lives and how a line is added to it.
// Plain functions that keep no state; any thread may call them at once, and two programs may
// append to one file at once.
namespace platform {

// Where a file operation failed: the path it was done on and the system's own reason
// ("Permission denied").
struct FileFailure {
    std::string path;
    std::string reason;
};

// The history file in this user's state folder: $XDG_STATE_HOME/velantrix-update/history.jsonl,
// or ~/.local/state/velantrix-update/history.jsonl when that is not set (Linux);
// %LOCALAPPDATA%\Velantrix Update\history.jsonl (Windows). Null when the system names no such
// folder (no home). Reads the environment only; never blocks, never throws.
std::optional<std::string> defaultHistoryPath();

// Appends `line` and a line end to the file at `path`, made when missing (with the folders
// above it when `makeFolders`), in one write, and flushes it to the disk before it returns:
// lines that several programs append at once never interleave, and a line that was appended
// survives a crash. A file whose last line was torn (a power cut) gets a line end first, so that
// the torn line takes no good one with it. Nothing is ever truncated or rewritten. Blocks until
// the disk has the line. Null when written, else where and why it failed.
std::optional<FileFailure> appendLineDurably(const std::string& path, std::string_view line,
                                             bool makeFolders);

}  // namespace platform
