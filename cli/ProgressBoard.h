#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ConsoleEvents.h"
#include "platform/Clock.h"

namespace cli {

// update --all on a terminal: one line per probe (serial number, variant, phase and bar, or
// what was last said of it), the whole board redrawn in place with the cursor moved up over it.
// A probe's progress redraws at most every 100 ms of `clock`; its phases, sentences and end
// redraw at once. Failures go to `err` at end(), below the board, so that they cannot break it
// while it is redrawn. Thread-safe.
class ProgressBoard : public ConsoleEvents {
public:
    ProgressBoard(const Console& to, std::optional<std::string> history, platform::Clock& time);

    void started(const std::string& serial, const std::string& variant) override;
    void said(const std::string& serial, const std::string& line) override;
    void phaseBegan(const std::string& serial, const std::string& task, int steps,
                    const std::string& units) override;
    void stepped(const std::string& serial, int step, int steps) override;
    void phaseEnded(const std::string& serial, bool succeeded) override;
    void finished(const UpdateRecord& record) override;
    void end() override;

private:
    struct Line {
        std::string serial;
        std::string variant;
        std::string status;  // the phase, or the last sentence
        bool inPhase = false;
        int step = 0;
        int steps = 0;
        uint32_t drawnMs = 0;
    };
    Line& line(const std::string& serial);
    void draw();

    platform::Clock& clock;
    std::vector<Line> lines;  // in the order the probes started
    std::size_t drawn = 0;    // lines on the screen below the notice
    std::vector<UpdateRecord> failures;
};

}  // namespace cli
