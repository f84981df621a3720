#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/Context.h"

// One run of the tool in-process on `context`, its output going to a file rather than a
// terminal. Commands that reach no probe may run on the program's own context.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun cliRun(const std::vector<std::string>& args,
                     platform::Context context = platform::systemContext()) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::runCli(context, args, {out, err, false});
    return {status, out.str(), err.str()};
}
