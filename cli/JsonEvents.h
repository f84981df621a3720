#pragma once

#include <map>
#include <string>

#include "cli/ConsoleEvents.h"

namespace cli {

// update --all --json: one JSON object per event on `out`, one a line (JSON Lines), for scripts:
//   {"event":"started","serial":S,"variant":V}
//   {"event":"said","serial":S,"line":L}
//   {"event":"phase","serial":S,"task":T,"steps":N,"units":U}
//   {"event":"progress","serial":S,"step":n,"steps":N,"percent":P}   P a multiple of 10 below 100
//   {"event":"phaseEnded","serial":S,"ok":B}
//   {"event":"finished","time":..., then the record's keys as the history keeps them}
// Texts as the history writes them (UTF-8, escaped). Failures are error lines on `err` as well.
// Thread-safe.
class JsonEvents : public ConsoleEvents {
public:
    JsonEvents(const Console& to, std::optional<std::string> history)
        : ConsoleEvents(to, std::move(history)) {}

    void started(const std::string& serial, const std::string& variant) override;
    void said(const std::string& serial, const std::string& line) override;
    void phaseBegan(const std::string& serial, const std::string& task, int steps,
                    const std::string& units) override;
    void stepped(const std::string& serial, int step, int steps) override;
    void phaseEnded(const std::string& serial, bool succeeded) override;
    void finished(const UpdateRecord& record) override;

private:
    struct Phase {
        int steps = 0;
        int percent = 0;  // the last multiple of 10 told
    };
    void write(const std::string& event, const std::string& serial, const std::string& rest);

    std::map<std::string, Phase> phases;
};

}  // namespace cli
