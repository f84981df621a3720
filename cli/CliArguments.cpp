#include "cli/CliArguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "cli/CliMessages.h"

namespace cli {

namespace {

struct CommandName {
    std::string_view name;
    Command command;
};

constexpr std::array<CommandName, 9> commandNames{{
    {"list", Command::List},
    {"update", Command::Update},
    {"images", Command::Images},
    {"notes", Command::Notes},
    {"inspect", Command::Inspect},
    {"doctor", Command::Doctor},
    {"help", Command::Help},
    {"--version", Command::Version},
    {"history", Command::History},
}};

bool isHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

ParsedArguments failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

// `--name VALUE` or `--name=VALUE` at args[i] into `value`. Nothing when args[i] is another
// option; otherwise an error text, empty when taken.
std::optional<std::string> takeValue(std::string_view name, const std::string& needsValue,
                                     std::optional<std::string>& value,
                                     const std::vector<std::string>& args, std::size_t& i) {
    const std::string& arg = args[i];
    const std::string prefix = std::string(name) + "=";
    if (arg != name && !arg.starts_with(prefix))
        return std::nullopt;
    if (value)
        return messages::optionTwice(name);
    if (arg == name) {
        if (i + 1 >= args.size())
            return needsValue;
        value = args[++i];
    } else {
        value = arg.substr(prefix.size());
    }
    return value->empty() ? needsValue : std::string();
}

// The options about image files (update --image, images --export, inspect), as applyOption
// takes them. Nothing when args[i] is none of them.
std::optional<std::string> applyImageOption(CliRequest& request,
                                            const std::vector<std::string>& args, std::size_t& i) {
    const std::string& arg = args[i];
    const bool update = request.command == Command::Update;
    if (update && arg == "--allow-older") {
        request.allowOlder = true;
        return std::string();
    }
    if (update)
        return takeValue("--image", messages::imageNeedsFile, request.image, args, i);
    if (request.command == Command::Images && arg == "--force") {
        request.force = true;
        return std::string();
    }
    if (request.command == Command::Images)
        return takeValue("--export", messages::exportNeedsFolder, request.exportDirectory, args, i);
    if (request.command == Command::Inspect && !arg.starts_with("-") && !request.image) {
        request.image = arg;
        return std::string();
    }
    return std::nullopt;
}

// `--history FILE` of the commands that record updates or read them, and the options of
// `history`, as applyOption takes them. Nothing when args[i] is none of them.
std::optional<std::string> applyHistoryOption(CliRequest& request,
                                              const std::vector<std::string>& args,
                                              std::size_t& i) {
    const bool history = request.command == Command::History;
    if (history || request.command == Command::Update) {
        if (auto taken =
                takeValue("--history", messages::historyNeedsFile, request.historyFile, args, i))
            return taken;
    }
    if (history && args[i] == "--json")
        return (request.json = true, std::string());
    if (history)
        return takeValue("--serial", messages::serialNeedsValue, request.serial, args, i);
    return std::nullopt;
}

// `--jobs N` of update --all into `request.jobs`, N a whole number from 1. Nothing when args[i]
// is another option; otherwise an error text, empty when taken.
std::optional<std::string> applyJobsOption(CliRequest& request,
                                           const std::vector<std::string>& args, std::size_t& i) {
    std::optional<std::string> text;
    if (request.jobs != 0 && (args[i] == "--jobs" || args[i].starts_with("--jobs=")))
        return messages::optionTwice("--jobs");
    auto taken = takeValue("--jobs", messages::jobsNeedsNumber, text, args, i);
    if (!taken || !taken->empty())
        return taken;
    const std::string_view digits = *text;
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), jobs);
    if (error != std::errc() || end != digits.data() + digits.size() || jobs == 0)
        return messages::jobsNeedsNumber;
    request.jobs = jobs;
    return std::string();
}

// The switches of `update` and its --jobs, as applyOption takes them. Nothing when args[i] is
// none of them.
std::optional<std::string> applyUpdateFlag(CliRequest& request,
                                           const std::vector<std::string>& args, std::size_t& i) {
    static constexpr std::pair<std::string_view, bool CliRequest::*> flags[] = {
        {"--all", &CliRequest::all},
        {"--force", &CliRequest::force},
        {"--json", &CliRequest::json}};
    for (const auto& [name, flag] : flags) {
        if (args[i] == name)
            return (request.*flag = true, std::string());
    }
    return applyJobsOption(request, args, i);
}

// Applies one option of `request.command` at args[i]; may consume the next argument as its
// value. Answers an error text, empty when the option was accepted.
std::string applyOption(CliRequest& request, const std::vector<std::string>& args, std::size_t& i) {
    const std::string& arg = args[i];
    if (auto taken = applyImageOption(request, args, i))
        return *taken;
    if (auto taken = applyHistoryOption(request, args, i))
        return *taken;
    switch (request.command) {
        case Command::List:
            if (arg == "--json") {
                request.json = true;
                return {};
            }
            if (arg == "--check") {
                request.check = true;
                return {};
            }
            break;
        case Command::Update:
            if (auto taken = applyUpdateFlag(request, args, i))
                return *taken;
            if (arg == "--serial" || arg.starts_with("--serial=")) {
                if (request.serial)
                    return messages::serialTwice;
                if (arg == "--serial") {
                    if (i + 1 >= args.size())
                        return messages::serialNeedsValue;
                    request.serial = args[++i];
                } else {
                    request.serial = arg.substr(std::string_view("--serial=").size());
                }
                if (request.serial->empty())
                    return messages::serialNeedsValue;
                return {};
            }
            break;
        case Command::Notes:
            if (!arg.starts_with("-") && request.variant.empty()) {
                request.variant = arg;
                return {};
            }
            if (!arg.starts_with("-"))
                return messages::notesTakesOne;
            break;
        case Command::Help:
        case Command::Version:
        case Command::Images:
        case Command::Inspect:
        case Command::Doctor:
        case Command::History:
            break;
    }
    return arg.starts_with("-") ? messages::unknownOption(arg) : messages::unexpectedArgument(arg);
}

// What goes with a file: the probe chosen by name, and nothing that only an install of the
// carried image or an export means.
std::string imageRule(const CliRequest& request) {
    switch (request.command) {
        case Command::Update:
            if (request.image && request.all)
                return messages::imageNotWithAll;
            if (request.image && !request.serial)
                return messages::imageNeedsSerial;
            if (request.allowOlder && !request.image)
                return messages::allowOlderNeedsImage;
            return {};
        case Command::Images:
            return request.force && !request.exportDirectory ? messages::forceNeedsExport
                                                             : std::string();
        case Command::Inspect:
            return request.image ? std::string() : messages::inspectNeedsFile;
        default:
            return {};
    }
}

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& args) {
    if (std::any_of(args.begin(), args.end(), isHelp))
        return {CliRequest{}, {}};
    if (args.empty())
        return failure(messages::noCommand);

    const auto named = std::find_if(commandNames.begin(), commandNames.end(),
                                    [&](const CommandName& c) { return c.name == args[0]; });
    if (named == commandNames.end()) {
        return failure(args[0].starts_with("-") ? messages::unknownOption(args[0])
                                                : messages::unknownCommand(args[0]));
    }

    CliRequest request;
    request.command = named->command;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (std::string error = applyOption(request, args, i); !error.empty())
            return failure(std::move(error));
    }
    if (request.command == Command::Update && request.all && request.serial)
        return failure(messages::serialOrAll);
    if (request.command == Command::Update && !request.all && (request.jobs || request.json))
        return failure(messages::manyNeedsAll);
    if (request.command == Command::Notes && request.variant.empty())
        return failure(messages::notesNeedsVariant);
    if (std::string error = imageRule(request); !error.empty())
        return failure(std::move(error));
    return {request, {}};
}

}  // namespace cli
