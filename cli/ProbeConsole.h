#pragma once

#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "cli/ConsoleEvents.h"
#include "cli/ProgressDisplay.h"

namespace cli {

// Updates told on a console as `update` tells one probe's: its sentences after "SERIAL
// (variant): ", its phases through a ProgressDisplay (bars on a terminal, else a line as each
// begins and ends), the version it runs at the end, a failure as an error line. Thread-safe.
//
// With `many` (update --all off a terminal) several probes share the output, so each phase line
// starts with the probe's name too, and a probe that cannot be updated is reported as skipped
// instead of as a failure.
class ProbeConsole : public ConsoleEvents {
public:
    ProbeConsole(const Console& to, std::optional<std::string> history, bool many);

    void started(const std::string& serial, const std::string& variant) override;
    void said(const std::string& serial, const std::string& line) override;
    void phaseBegan(const std::string& serial, const std::string& task, int steps,
                    const std::string& units) override;
    void stepped(const std::string& serial, int step, int steps) override;
    void phaseEnded(const std::string& serial, bool succeeded) override;
    void finished(const UpdateRecord& record) override;

private:
    struct Probe {
        std::string name;
        std::ostringstream lines;  // with `many`, what the display wrote and was not yet passed on
        std::unique_ptr<ProgressDisplay> display;
    };
    Probe& probe(const std::string& serial);
    void passOn(Probe& probe);

    const bool many;
    std::map<std::string, Probe> probes;
};

}  // namespace cli
