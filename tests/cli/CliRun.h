#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"

// One run of the tool in-process, its output going to a file rather than a terminal.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun cliRun(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::runCli(args, {out, err, false});
    return {status, out.str(), err.str()};
}
