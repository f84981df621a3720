#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Console.h"
#include "platform/AccessQueries.h"
#include "platform/Context.h"

// The tool's commands. Each runs to the end in the calling thread, writes to the console it is
// given and answers the process's exit status (cli/ExitStatus.h); none throws HException. Those
// that reach probes list, open and wait on the context they are given.
namespace cli {

struct UpdateOptions {
    std::optional<std::string> serialNumber;  // only the probe with this serial number
    bool all = false;                         // every probe that can be updated
    bool force = false;                       // install even over the offered version
    unsigned jobs = 0;                        // --all: at most this many at once (0: all)
    bool json = false;                        // --all: JSON Lines of the events
    std::optional<std::string> historyFile;   // the history, instead of the user's own
};

// An image file into the one probe with `serial`: its variant's address and reopen rule.
struct ImageUpdateOptions {
    std::string path;
    std::string serial;
    bool allowOlder = false;  // even when older than what the probe runs
    bool force = false;       // even when the probe holds it already
    std::optional<std::string> historyFile;
};

int listProbes(platform::Context context, const Console& console, bool json, bool check);
int updateProbes(platform::Context context, const Console& console, const UpdateOptions& options);
int updateFromImage(platform::Context context, const Console& console,
                    const ImageUpdateOptions& options);
int showCatalogue(const Console& console);
int exportImages(const Console& console, const std::string& directory, bool force);
int inspectImageFile(const Console& console, const std::string& path);
int showReleaseNotes(const Console& console, std::string_view variant);
// Checks what opening the attached probes takes on this system, answered by `system`.
int diagnose(platform::Context context, const Console& console,
             const platform::AccessQueries& system);

// The updates recorded in the history (`historyFile`, or the user's own when null), oldest
// first, those of the probe with `serial` alone when given: a table, or with `json` the lines as
// they are kept. Lines that hold no record are named in a warning; no file is no update yet.
int showHistory(const Console& console, const std::optional<std::string>& historyFile,
                const std::optional<std::string>& serial, bool json);

// Parses `args` (the arguments after the program name) and runs what they ask for on `context`.
int runCli(platform::Context context, const std::vector<std::string>& args, const Console& console);

}  // namespace cli
