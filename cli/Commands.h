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
};

int listProbes(platform::Context context, const Console& console, bool json);
int updateProbes(platform::Context context, const Console& console, const UpdateOptions& options);
int showCatalogue(const Console& console);
int showReleaseNotes(const Console& console, std::string_view variant);
// Checks what opening the attached probes takes on this system, answered by `system`.
int diagnose(platform::Context context, const Console& console,
             const platform::AccessQueries& system);

// Parses `args` (the arguments after the program name) and runs what they ask for on `context`.
int runCli(platform::Context context, const std::vector<std::string>& args, const Console& console);

}  // namespace cli
