#include "cli/CliArguments.h"
#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

namespace cli {

int runCli(platform::Context context, const std::vector<std::string>& args,
           const Console& console) {
    const ParsedArguments parsed = parseArguments(args);
    if (!parsed.request)
        return fail(console, exitUsage, parsed.error + messages::seeHelp);
    const CliRequest& request = *parsed.request;
    switch (request.command) {
        case Command::Help:
            console.out << messages::usage;
            return exitSuccess;
        case Command::Version:
            console.out << "velantrix-update-cli " VX_VERSION "\n";
            return exitSuccess;
        case Command::List:
            return listProbes(context, console, request.json, request.check);
        case Command::Update:
            if (request.image) {
                return updateFromImage(context, console,
                                       {*request.image, request.serial.value_or(""),
                                        request.allowOlder, request.force, request.historyFile});
            }
            return updateProbes(context, console,
                                {request.serial, request.all, request.force, request.jobs,
                                 request.json, request.historyFile});
        case Command::Images:
            if (request.exportDirectory)
                return exportImages(console, *request.exportDirectory, request.force);
            return showCatalogue(console);
        case Command::Inspect:
            return inspectImageFile(console, request.image.value_or(""));
        case Command::Notes:
            return showReleaseNotes(console, request.variant);
        case Command::Doctor:
            return diagnose(context, console, platform::systemAccessQueries());
        case Command::History:
            return showHistory(console, request.historyFile, request.serial, request.json);
    }
    return exitUsage;
}

}  // namespace cli
