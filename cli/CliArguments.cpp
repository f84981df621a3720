#include "cli/CliArguments.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace cli {

namespace {

struct CommandName {
    std::string_view name;
    Command command;
};

constexpr std::array<CommandName, 6> commandNames{{
    {"list", Command::List},
    {"update", Command::Update},
    {"images", Command::Images},
    {"notes", Command::Notes},
    {"help", Command::Help},
    {"--version", Command::Version},
}};

bool isHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

ParsedArguments failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

// Applies one option of `request.command` at args[i]; may consume the next argument as its
// value. Answers an error text, empty when the option was accepted.
std::string applyOption(CliRequest& request, const std::vector<std::string>& args, std::size_t& i) {
    const std::string& arg = args[i];
    switch (request.command) {
        case Command::List:
            if (arg == "--json") {
                request.json = true;
                return {};
            }
            break;
        case Command::Update:
            if (arg == "--all") {
                request.all = true;
                return {};
            }
            if (arg == "--force") {
                request.force = true;
                return {};
            }
            if (arg == "--serial" || arg.starts_with("--serial=")) {
                if (request.serial)
                    return "--serial given twice";
                if (arg == "--serial") {
                    if (i + 1 >= args.size())
                        return "--serial needs a serial number";
                    request.serial = args[++i];
                } else {
                    request.serial = arg.substr(std::string_view("--serial=").size());
                }
                if (request.serial->empty())
                    return "--serial needs a serial number";
                return {};
            }
            break;
        case Command::Notes:
            if (!arg.starts_with("-") && request.variant.empty()) {
                request.variant = arg;
                return {};
            }
            if (!arg.starts_with("-"))
                return "notes takes one variant name";
            break;
        case Command::Help:
        case Command::Version:
        case Command::Images:
            break;
    }
    return arg.starts_with("-") ? "unknown option '" + arg + "'"
                                : "unexpected argument '" + arg + "'";
}

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& args) {
    if (std::any_of(args.begin(), args.end(), isHelp))
        return {CliRequest{}, {}};
    if (args.empty())
        return failure("no command given");

    const auto named = std::find_if(commandNames.begin(), commandNames.end(),
                                    [&](const CommandName& c) { return c.name == args[0]; });
    if (named == commandNames.end()) {
        return failure(args[0].starts_with("-") ? "unknown option '" + args[0] + "'"
                                                : "unknown command '" + args[0] + "'");
    }

    CliRequest request;
    request.command = named->command;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (std::string error = applyOption(request, args, i); !error.empty())
            return failure(std::move(error));
    }
    if (request.command == Command::Update && request.all && request.serial)
        return failure("--serial and --all exclude each other");
    if (request.command == Command::Notes && request.variant.empty())
        return failure("notes needs a variant name, e.g. 'notes heron'");
    return {request, {}};
}

const char* usageText() {
    return "Usage: velantrix-update-cli COMMAND [OPTIONS]\n"
           "\n"
           "Installs the firmware this program carries into attached Velantrix probes.\n"
           "\n"
           "Commands:\n"
           "  list [--json]                  every attached Velantrix: serial number, variant,\n"
           "                                 installed and offered firmware, update state\n"
           "  update [--serial S | --all] [--force]\n"
           "                                 install the offered firmware into the one attached\n"
           "                                 probe, the one with serial number S, or every\n"
           "                                 probe that can be updated; a probe that reports\n"
           "                                 the offered version is checked block by block and\n"
           "                                 left alone when its flash holds the image\n"
           "                                 (--force installs without checking)\n"
           "  images                         the firmware images this program carries\n"
           "  notes VARIANT                  the release notes of a variant's image\n"
           "                                 (e.g. 'heron' or 'Velantrix Heron')\n"
           "\n"
           "Options:\n"
           "  -h, --help                     show this text\n"
           "  --version                      show the program's version\n"
           "\n"
           "Exit status: 0 success, 1 the probe cannot be updated, 2 wrong command line,\n"
           "3 no probe attached (or none with that serial number), 4 several probes attached\n"
           "and none chosen, 5 the probe failed while being read or updated.\n";
}

}  // namespace cli
