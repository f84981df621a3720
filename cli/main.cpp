// velantrix-update-cli: the updater for machines without a display. Everything it does is in
// the commands; this only binds them to the process's streams.
#include <iostream>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "platform/Context.h"
#include "platform/HException.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"

int main(int argc, char** argv) {
    platform::showOutputAsUtf8();
    const cli::Console console{std::cout, std::cerr, platform::standardOutputIsTerminal()};
    try {
        return cli::runCli(platform::systemContext(),
                           std::vector<std::string>(argv + 1, argv + argc), console,
                           platform::catchInterrupts);
    } catch (HException& e) {
        return cli::fail(console, cli::exitFailure, e.message());
    } catch (std::exception& e) {
        return cli::fail(console, cli::exitFailure, e.what());
    }
}
