#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class Command { Help, Version, List, Update, Images, Notes, Inspect, Doctor, History };

// What the command line asks for. Fields that do not belong to `command` keep their defaults.
// `serial` and `json` serve `history` as well.
struct CliRequest {
    Command command = Command::Help;
    bool json = false;                           // list, update --all
    bool check = false;                          // list
    std::optional<std::string> serial;           // update
    bool all = false;                            // update
    unsigned jobs = 0;                           // update --all --jobs N: at most N at once
    bool force = false;                          // update, images --export
    std::string variant;                         // notes
    std::optional<std::string> image;            // update --image FILE, inspect FILE
    bool allowOlder = false;                     // update --image
    std::optional<std::string> exportDirectory;  // images --export DIR
    std::optional<std::string> historyFile;      // --history FILE: update, watch, history
};

// Either a request or the one-line reason why the arguments make none.
struct ParsedArguments {
    std::optional<CliRequest> request;
    std::string error;
};

// `args` are the arguments after the program name. "--help" anywhere wins over everything else,
// so a half-typed command line can still ask for help.
ParsedArguments parseArguments(const std::vector<std::string>& args);

}  // namespace cli
