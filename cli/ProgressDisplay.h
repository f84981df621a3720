#pragma once

#include <ostream>
#include <string>

#include "firmware/UpdateProcedure.h"

namespace cli {

// Shows the update procedure's progress reports: on a terminal a bar per phase redrawn in
// place, otherwise one plain line when a phase starts and one when it ends, for logs. One update,
// on one thread, reports to a display.
//
// A phase that fails still reports its total last, so reaching the total does not yet mean the
// phase is done. A phase is shown as complete only when the procedure moves on to the next one
// or finish(true) is called; finish(false) shows it stopped where its last good request ended.
class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& stream, bool onTerminal) : out(stream), terminal(onTerminal) {}

    // The UpdateProgress contract: a new `taskdesc` starts a phase at 0 of `steps`; steps -1
    // keeps the total.
    void report(int newStep, int steps, const char* taskdesc, const char* unitName);

    // A callback for installFirmware that reports here. This object must outlive it.
    UpdateProgress callback() {
        return [this](int s, int n, const char* t, const char* u) { report(s, n, t, u); };
    }

    // Ends the phase still open, if any.
    void finish(bool succeeded);

    // Whether a phase was begun: from then on the probe's firmware region has been touched.
    bool begun() const { return anyPhase; }

private:
    void closePhase(bool succeeded);
    void drawBar(int shown, const char* suffix);
    std::string amount(int shown) const;

    std::ostream& out;
    bool terminal;
    bool open = false;
    bool anyPhase = false;
    std::string task;
    std::string units;
    int total = 0;
    int step = 0;
    int stepBefore = 0;  // the step of the report before the latest one
    int drawnPercent = -1;
};

}  // namespace cli
