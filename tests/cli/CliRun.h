#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "platform/Context.h"
#include "tests/support/VirtualProbes.h"

// Every update the tool runs is recorded: a test program that runs it records into a state
// folder of its own, never the user's. One folder for every run: appending to it at once is what
// the history is made for.
inline const std::string cliStateFolder = testing::TempDir() + "vx-cli-state";
#ifdef _WIN32
inline const int ownStateFolder = _putenv_s("LOCALAPPDATA", cliStateFolder.c_str());
#else
inline const int ownStateFolder = ::setenv("XDG_STATE_HOME", cliStateFolder.c_str(), 1);
#endif

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

inline const std::string heron = "2.16 - Build: 2019032603.38702";  // the carried Heron image

// The tool against virtual probes on a virtual bus and clock.
struct CliProbes : VirtualProbes {
    CliRun cli(const std::vector<std::string>& args) { return cliRun(args, context); }
    // The carried image for `productId`, as a probe may hold it already, with `patch` over its
    // bytes from `at`.
    static std::vector<uint8_t> imageOf(uint16_t productId, std::size_t at = 0,
                                        const std::vector<uint8_t>& patch = {}) {
        const FirmwareImage& row = rowOf(productId);
        std::vector<uint8_t> bytes(row.data, row.data + row.size);
        std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    }
};
