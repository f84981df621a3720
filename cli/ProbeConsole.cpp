#include "cli/ProbeConsole.h"

#include "cli/ProbeUpdate.h"

namespace cli {

ProbeConsole::ProbeConsole(const Console& to, std::optional<std::string> history, bool several)
    : ConsoleEvents(to, std::move(history)), many(several) {}

ProbeConsole::Probe& ProbeConsole::probe(const std::string& serial) {
    Probe& probe = probes[serial];
    if (!probe.display) {
        // Lines of several probes are passed on whole, so that they never interleave.
        probe.display = many ? std::make_unique<ProgressDisplay>(probe.lines, false)
                             : std::make_unique<ProgressDisplay>(console.out, console.terminal);
    }
    return probe;
}

void ProbeConsole::passOn(Probe& probe) {
    std::string line;
    std::istringstream written(probe.lines.str());
    while (std::getline(written, line))
        console.out << probe.name << ": " << line << '\n';
    probe.lines.str({});
}

void ProbeConsole::started(const std::string& serial, const std::string& variant) {
    const auto lock = hold();
    probe(serial).name = probeName(serial, variant);
}

void ProbeConsole::said(const std::string& serial, const std::string& line) {
    const auto lock = hold();
    console.out << probe(serial).name << ": " << line << '\n';
}

void ProbeConsole::phaseBegan(const std::string& serial, const std::string& task, int steps,
                              const std::string& units) {
    const auto lock = hold();
    Probe& p = probe(serial);
    p.display->report(0, steps, task.c_str(), units.c_str());
    passOn(p);
}

void ProbeConsole::stepped(const std::string& serial, int step, int steps) {
    const auto lock = hold();
    Probe& p = probe(serial);
    p.display->report(step, steps, nullptr, nullptr);
    passOn(p);
}

void ProbeConsole::phaseEnded(const std::string& serial, bool succeeded) {
    const auto lock = hold();
    Probe& p = probe(serial);
    p.display->finish(succeeded);
    passOn(p);
}

void ProbeConsole::finished(const UpdateRecord& finished) {
    const auto lock = hold();
    record(finished);
    const std::string& serial = finished.serialNumber;
    const bool failure = finished.result == UpdateResult::Failed ||
                         (finished.result == UpdateResult::Skipped && !many);
    if (failure)
        fail(console, 0, serial, finished.message);
    else
        console.out << probe(serial).name << ": " << outcomeSentence(finished) << '\n';
    probes.erase(serial);
}

}  // namespace cli
