#pragma once

#include <ostream>
#include <string_view>

namespace cli {

// Where a command writes: what it was asked for goes to `out`, each failure as one line to
// `err`. `terminal` says that `out` is an interactive terminal, which gets progress bars
// instead of progress lines. Tests hand in string streams. Not synchronised: one thread writes
// to a console at a time.
struct Console {
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;
};

// Writes "velantrix-update-cli: " and the message (after "SERIAL: " when it concerns one probe)
// as one line to `err`, and answers `status`, so a command can `return fail(...)`.
int fail(const Console& console, int status, std::string_view message);
int fail(const Console& console, int status, std::string_view serialNumber,
         std::string_view message);

}  // namespace cli
